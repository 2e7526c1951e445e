// fixture_ds.cpp
//
// A minimal Data Source for the DSM tests. Each fixture library is this file
// built with its own identity (compile definitions):
//   FIXTURE_NAME, FIXTURE_DS2 (1: protocol 2.x with DF_DS2), FIXTURE_OPEN_FAILS_CC
//   (non-zero: MSG_OPENDS fails with that condition code), FIXTURE_UNTERMINATED
//   (1: every text of the identity fills its field without a terminator).
// It keeps one connection per application, answers DAT_STATUS, and offers the
// custom triplets of fixture_ds.h to probe what the DSM passes through.

#include "fixture_ds.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#ifndef FIXTURE_NAME
#define FIXTURE_NAME "Fixture Source"
#endif
#ifndef FIXTURE_DS2
#define FIXTURE_DS2 1
#endif
#ifndef FIXTURE_OPEN_FAILS_CC
#define FIXTURE_OPEN_FAILS_CC 0
#endif
#ifndef FIXTURE_UNTERMINATED
#define FIXTURE_UNTERMINATED 0
#endif

namespace
{
// Waits for (or, on its own thread, lets go of) a connection's event thread.
void Finish(std::thread& a_thread)
{
    if (!a_thread.joinable())
    {
        return;
    }
    if (a_thread.get_id() == std::this_thread::get_id())
    {
        a_thread.detach();
    }
    else
    {
        a_thread.join();
    }
}

struct Connection
{
    ~Connection() { Finish(thread); }

    TW_IDENTITY  twApp;
    TW_IDENTITY  twSelf;
    std::thread  thread;
    TW_UINT16    u16EventRc = TWRC_FAILURE;   // written by the event thread, read after join
};

std::mutex                                      s_mtx;
std::map<TW_UINT32, std::shared_ptr<Connection>> s_mapconnection;
TW_ENTRYPOINT                                   s_twentrypoint;
bool                                            s_blEntryPoint = false;
std::atomic<TW_UINT16>                          s_u16Cc{TWCC_SUCCESS};

template <size_t N>
void SetText(char (&a_sz)[N], const char* a_szText)
{
    if (FIXTURE_UNTERMINATED)
    {
        memset(a_sz, 'Z', N);   // no terminator anywhere in the field
        return;
    }
    snprintf(a_sz, N, "%s", a_szText);
}

void FillIdentity(TW_IDENTITY* a_ptwidentity)
{
    memset(a_ptwidentity, 0, sizeof(*a_ptwidentity));
    a_ptwidentity->Version.MajorNum = 1;
    a_ptwidentity->Version.MinorNum = 2;
    a_ptwidentity->Version.Language = TWLG_ENGLISH_USA;
    a_ptwidentity->Version.Country = TWCY_USA;
    SetText(a_ptwidentity->Version.Info, "fixture 1.2");
    a_ptwidentity->ProtocolMajor = FIXTURE_DS2 ? 2 : 1;
    a_ptwidentity->ProtocolMinor = FIXTURE_DS2 ? 4 : 9;
    a_ptwidentity->SupportedGroups = DG_CONTROL | DG_IMAGE | (FIXTURE_DS2 ? DF_DS2 : 0);
    SetText(a_ptwidentity->Manufacturer, "Fixture Works");
    SetText(a_ptwidentity->ProductFamily, "Fixtures");
    SetText(a_ptwidentity->ProductName, FIXTURE_NAME);
}

std::shared_ptr<Connection> Find(const TW_IDENTITY* a_ptwOrigin)
{
    if (!a_ptwOrigin)
    {
        return nullptr;
    }
    const TW_UINT32 u32Id = a_ptwOrigin->Id;   // packed field: copied, never referenced
    auto it = s_mapconnection.find(u32Id);
    return it == s_mapconnection.end() ? nullptr : it->second;
}

TW_UINT16 Fail(TW_UINT16 a_u16Cc)
{
    s_u16Cc = a_u16Cc;
    return TWRC_FAILURE;
}

TW_UINT16 Event(pTW_IDENTITY a_ptwOrigin, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    FixtureEvent* pfixtureevent = static_cast<FixtureEvent*>(a_pData);
    std::shared_ptr<Connection> pconnection;
    DSMENTRYPROC pfnDsmEntry = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        pconnection = Find(a_ptwOrigin);
        if (!pconnection || !pfixtureevent)
        {
            return Fail(TWCC_BADVALUE);
        }
        pfnDsmEntry = s_blEntryPoint ? s_twentrypoint.DSM_Entry : nullptr;
    }
    std::thread threadOld;
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        threadOld = std::move(pconnection->thread);
    }
    Finish(threadOld);
    if (a_u16Msg == MSG_FIXTURE_JOIN)
    {
        pfixtureevent->ReturnCode = pconnection->u16EventRc;
        return TWRC_SUCCESS;
    }
    if (!pfnDsmEntry)
    {
        return Fail(TWCC_SEQERROR);   // no DSM entry point: a 1.x source cannot send
    }
    TW_UINT16 u16Message = pfixtureevent->Message;
    // Started under the lock, so that a close coming from the thread itself
    // finds it in its connection.
    std::lock_guard<std::mutex> lock(s_mtx);
    pconnection->thread = std::thread([pconnection, pfnDsmEntry, u16Message]() {
        pconnection->u16EventRc =
            pfnDsmEntry(&pconnection->twSelf, &pconnection->twApp, DG_CONTROL, DAT_NULL, u16Message, nullptr);
    });
    return TWRC_SUCCESS;
}

TW_UINT16 Memory(TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    FixtureMemory* pfixturememory = static_cast<FixtureMemory*>(a_pData);
    TW_ENTRYPOINT twentrypoint;
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        if (!s_blEntryPoint || !pfixturememory)
        {
            return Fail(TWCC_SEQERROR);
        }
        twentrypoint = s_twentrypoint;
    }
    if (a_u16Msg == MSG_FIXTURE_SEND)
    {
        pfixturememory->Handle = twentrypoint.DSM_MemAllocate(pfixturememory->Size);
        return pfixturememory->Handle ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    }
    twentrypoint.DSM_MemFree(pfixturememory->Handle);
    pfixturememory->Handle = nullptr;
    return TWRC_SUCCESS;
}
} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG,
                                                                     TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData)
{
    if (DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_GET)
    {
        if (!pData)
        {
            return TWRC_FAILURE;
        }
        FillIdentity(static_cast<TW_IDENTITY*>(pData));
        return TWRC_SUCCESS;
    }
    if (DG == DG_CONTROL && DAT == DAT_ENTRYPOINT && MSG == MSG_SET)
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        memcpy(&s_twentrypoint, pData, sizeof(s_twentrypoint));
        s_blEntryPoint = true;
        return TWRC_SUCCESS;
    }
    if (DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_OPENDS)
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        if (FIXTURE_OPEN_FAILS_CC)
        {
            return Fail(FIXTURE_OPEN_FAILS_CC);
        }
        if (!pOrigin || !pData || Find(pOrigin))
        {
            return Fail(TWCC_SEQERROR);
        }
        std::shared_ptr<Connection> pconnection = std::make_shared<Connection>();
        pconnection->twApp = *pOrigin;
        pconnection->twSelf = *static_cast<TW_IDENTITY*>(pData);
        const TW_UINT32 u32Id = pOrigin->Id;
        s_mapconnection[u32Id] = pconnection;
        s_u16Cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS)
    {
        std::shared_ptr<Connection> pconnection;
        std::thread thread;
        {
            std::lock_guard<std::mutex> lock(s_mtx);
            pconnection = Find(pOrigin);
            if (!pconnection)
            {
                return Fail(TWCC_SEQERROR);
            }
            const TW_UINT32 u32Id = pOrigin->Id;
            s_mapconnection.erase(u32Id);
            thread = std::move(pconnection->thread);
        }
        Finish(thread);
        return TWRC_SUCCESS;
    }
    if (DG == DG_CONTROL && DAT == DAT_STATUS && MSG == MSG_GET)
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        if (!pData)
        {
            return Fail(TWCC_BADVALUE);
        }
        TW_STATUS twstatus = {};
        twstatus.ConditionCode = s_u16Cc.exchange(TWCC_SUCCESS);
        memcpy(pData, &twstatus, sizeof(twstatus));
        return TWRC_SUCCESS;
    }
    if (DAT == FIXTURE_DAT_ECHO)   // in any data group
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        std::shared_ptr<Connection> pconnection = Find(pOrigin);
        FixtureEcho* pfixtureecho = static_cast<FixtureEcho*>(pData);
        if (!pconnection || !pfixtureecho)
        {
            return Fail(TWCC_BADVALUE);
        }
        pfixtureecho->DG = DG;
        pfixtureecho->DAT = DAT;
        pfixtureecho->MSG = MSG;
        pfixtureecho->OriginId = pOrigin->Id;
        pfixtureecho->OwnId = pconnection->twSelf.Id;
        pfixtureecho->Payload = pfixtureecho->Payload + 1;
        return TWRC_SUCCESS;
    }
    if (DG == FIXTURE_DG && DAT == FIXTURE_DAT_EVENT)
    {
        return Event(pOrigin, MSG, pData);
    }
    if (DG == FIXTURE_DG && DAT == FIXTURE_DAT_MEMORY)
    {
        return Memory(MSG, pData);
    }
    if (DG == FIXTURE_DG && DAT == FIXTURE_DAT_THROW)
    {
        throw std::runtime_error("fixture source failure");
    }
    std::lock_guard<std::mutex> lock(s_mtx);
    return Fail(TWCC_BADPROTOCOL);
}
