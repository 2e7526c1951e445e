// simsource.cpp
//
// The simulated Data Source library and its entry point DS_Entry (see
// simsource.h).

#include "simsource.h"

#include "simblock.h"
#include "simnames.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace
{
// The exception a "fault throw" line makes DS_Entry throw.
class CSimThrownFault : public std::runtime_error
{
public:
    CSimThrownFault() : std::runtime_error("simulated scanner: configured exception out of DS_Entry") {}
};

const char* EnvOrEmpty(const char* a_szName)
{
    const char* sz = std::getenv(a_szName);
    return (sz != nullptr) ? sz : "";
}

// Whether a fault line is one for MSG_OPENDS, which comes before any session
// exists: refusals, exceptions and crashes.
bool IsOpenFault(const SimFault& a_fault)
{
    return (a_fault.m_u32Dg == kSimAny || a_fault.m_u32Dg == DG_CONTROL) && (a_fault.m_u32Dat == kSimAny || a_fault.m_u32Dat == DAT_IDENTITY) &&
           (a_fault.m_u32Msg == kSimAny || a_fault.m_u32Msg == MSG_OPENDS) &&
           (a_fault.m_eAction == eSimFaultRefuse || a_fault.m_eAction == eSimFaultThrow || a_fault.m_eAction == eSimFaultCrash) &&
           !a_fault.m_blNullData;   // an open comes with its identity
}

const char* FaultName(ESimFaultAction a_eAction)
{
    switch (a_eAction)
    {
        case eSimFaultRefuse:       return "refuse";
        case eSimFaultThrow:        return "throw";
        case eSimFaultConType:      return "contype";
        case eSimFaultItemType:     return "itemtype";
        case eSimFaultBadIndex:     return "badindex";
        case eSimFaultUnterminated: return "unterminated";
        case eSimFaultWrongSize:    return "wrongsize";
        case eSimFaultNullHandle:   return "nullhandle";
        case eSimFaultAnswer:       return "answer";
        case eSimFaultCrash:        return "crash";
        case eSimFaultRewind:       return "rewind";
        case eSimFaultSwap:         return "swap";
        case eSimFaultNoPlace:      return "noplace";
        case eSimFaultImageSize:    return "imagesize";
        case eSimFaultCompression:  return "compression";
        case eSimFaultOffset:       return "offset";
    }
    return "?";
}
}

CSimSource::CSimSource()
{
    std::memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
}

CSimSource::~CSimSource()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

void CSimSource::LoadEnvironment()
{
    m_szJournal = EnvOrEmpty("SIMSCANNER_JOURNAL");
    m_szConfigPath = EnvOrEmpty("SIMSCANNER_CONFIG");
}

void CSimSource::JournalConfigErrors(const SimConfig& a_config)
{
    for (const std::string& szError : a_config.m_aszErrors)
    {
        std::fprintf(stderr, "simscanner: %s\n", szError.c_str());
        SimJournalNote(m_szJournal, "config", a_config.m_profile.m_szKey, "error=\"" + szError + "\"");
    }
}

TW_UINT16 CSimSource::Entry(pTW_IDENTITY a_ptwidentityOrigin, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData,
                            bool& a_blCrash)
{
    a_blCrash = false;
    SimJournalCall call;
    call.m_szSource = SimBuiltInProfile().m_szKey;
    call.m_u32Dg = a_u32Dg;
    call.m_u16Dat = a_u16Dat;
    call.m_u16Msg = a_u16Msg;
    TW_UINT16 u16Rc = TWRC_FAILURE;
    bool blThrow = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::uint64_t u64Token = m_u64NextToken++;
        m_u64CurrentToken = u64Token;
        CSimSession* psession = nullptr;
        try
        {
            bool blHandled = false;
            u16Rc = Control(a_ptwidentityOrigin, a_u32Dg, a_u16Dat, a_u16Msg, a_pData, call, blHandled, a_blCrash);
            if (!blHandled)
            {
                auto it = m_mapsession.find(static_cast<TW_UINT32>(a_ptwidentityOrigin->Id));
                auto itOpen = m_mapOpenCondition.find(static_cast<TW_UINT32>(a_ptwidentityOrigin->Id));
                if (it == m_mapsession.end() && (a_u32Dg & DG_MASK) == DG_CONTROL && a_u16Dat == DAT_STATUS && a_u16Msg == MSG_GET &&
                    a_pData != nullptr && itOpen != m_mapOpenCondition.end())
                {
                    // Why the last MSG_OPENDS of this application failed.
                    call.m_iStateBefore = call.m_iStateAfter = 3;
                    static_cast<pTW_STATUS>(a_pData)->ConditionCode = itOpen->second;
                    static_cast<pTW_STATUS>(a_pData)->Data = 0;
                    u16Rc = TWRC_SUCCESS;
                    call.m_u16Cc = itOpen->second;
                }
                else if (it == m_mapsession.end())
                {
                    // Not open for this application: there is no state to answer from.
                    u16Rc = TWRC_FAILURE;
                    call.m_u16Cc = TWCC_SEQERROR;
                    call.m_iStateBefore = 3;
                    call.m_iStateAfter = 3;
                }
                else
                {
                    psession = it->second.get();
                    call.m_iStateBefore = psession->GetState();
                    const SimFault* pfault = psession->MatchFault(a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
                    if (pfault != nullptr)
                    {
                        call.m_szNote = std::string("fault=") + FaultName(pfault->m_eAction);
                    }
                    if (pfault != nullptr && pfault->m_eAction == eSimFaultRefuse)
                    {
                        psession->SetCondition(pfault->m_u16Cc);
                        u16Rc = pfault->m_u16Rc;
                        call.m_u16Cc = pfault->m_u16Cc;
                    }
                    else if (pfault != nullptr && (pfault->m_eAction == eSimFaultThrow || pfault->m_eAction == eSimFaultCrash))
                    {
                        (pfault->m_eAction == eSimFaultThrow ? blThrow : a_blCrash) = true;
                        call.m_blRc = false;
                        call.m_blCc = false;
                    }
                    else if (pfault != nullptr && pfault->m_eAction == eSimFaultAnswer)
                    {
                        // Carried out as usual; what it achieved stands, only
                        // its answer is the configured one.
                        const bool blNative = (a_u32Dg & DG_MASK) == DG_IMAGE && a_u16Dat == DAT_IMAGENATIVEXFER && a_pData != nullptr;
                        void* pvBefore = blNative ? TwGetPtr(a_pData) : nullptr;
                        psession->SetActiveFault(nullptr);
                        u16Rc = psession->Dispatch(a_u32Dg, a_u16Dat, a_u16Msg, a_pData, call);
                        if (u16Rc != TWRC_FAILURE)
                        {
                            if (blNative && u16Rc == TWRC_XFERDONE && pfault->m_u16Rc == TWRC_CANCEL)
                            {
                                psession->WithdrawNativeImage(a_pData, pvBefore);
                            }
                            psession->SetCondition(pfault->m_u16Cc);
                            u16Rc = pfault->m_u16Rc;
                            call.m_u16Cc = pfault->m_u16Cc;
                        }
                    }
                    else
                    {
                        psession->SetActiveFault(pfault);
                        u16Rc = psession->Dispatch(a_u32Dg, a_u16Dat, a_u16Msg, a_pData, call);
                    }
                    call.m_iStateAfter = psession->GetState();
                }
            }
        }
        catch (const CSimThrownFault&)
        {
            // Thrown on once the lock is released.
            blThrow = true;
            call.m_blRc = false;
            call.m_blCc = false;
        }
        catch (const std::bad_alloc&)
        {
            u16Rc = TWRC_FAILURE;
            call.m_u16Cc = TWCC_LOWMEMORY;
        }
        catch (...)
        {
            u16Rc = TWRC_FAILURE;
            call.m_u16Cc = TWCC_BUMMER;
        }
        if (psession != nullptr && u16Rc == TWRC_FAILURE && call.m_u16Cc != psession->GetCondition() && a_u16Dat != DAT_STATUS && !blThrow &&
            !a_blCrash)
        {
            psession->SetCondition(call.m_u16Cc);
        }
        call.m_u16Rc = u16Rc;
        m_u64CurrentToken = 0;
        SimJournalWrite(m_szJournal, call);
        ReleaseToken(u64Token);
    }
    if (blThrow)
    {
        throw CSimThrownFault();
    }
    return u16Rc;
}

// The fault of this MSG_OPENDS.  Its skip= and times= count the opens of
// this library, line by line (the library stays loaded), as a session
// counts its own triplets.
const SimFault* CSimSource::OpenFault(const SimConfig& a_config)
{
    const std::size_t uCount = a_config.m_afault.size();
    m_au32OpenSeen.resize(std::max(m_au32OpenSeen.size(), uCount), 0);
    m_au32OpenFired.resize(m_au32OpenSeen.size(), 0);
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        const SimFault& fault = a_config.m_afault[ii];
        if (!IsOpenFault(fault) || m_au32OpenSeen[ii]++ < fault.m_u32Skip || m_au32OpenFired[ii] >= fault.m_u32Times)
        {
            continue;
        }
        m_au32OpenFired[ii]++;
        return &fault;
    }
    return nullptr;
}

// The triplets the library answers itself: the identity request of the DSM,
// the DSM's entry points, and opening and closing.
TW_UINT16 CSimSource::Control(pTW_IDENTITY a_ptwidentityOrigin, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                              TW_MEMREF a_pData, SimJournalCall& a_call, bool& a_blHandled, bool& a_blCrash)
{
    a_blHandled = true;
    if (a_pData == nullptr)
    {
        a_call.m_szData = "null";
    }
    bool blControl = (a_u32Dg & DG_MASK) == DG_CONTROL;
    if (a_ptwidentityOrigin == nullptr)
    {
        // Only the DSM asks without an origin: who are you?
        a_call.m_iStateBefore = a_call.m_iStateAfter = 3;
        if (!blControl || a_u16Dat != DAT_IDENTITY || a_u16Msg != MSG_GET || a_pData == nullptr)
        {
            a_call.m_u16Cc = (a_pData == nullptr) ? TWCC_BADVALUE : TWCC_BADPROTOCOL;
            return TWRC_FAILURE;
        }
        LoadEnvironment();
        SimConfig config = SimLoadConfig(SimBuiltInProfile(), m_szConfigPath.c_str());
        pTW_IDENTITY ptwidentity = static_cast<pTW_IDENTITY>(a_pData);
        TW_UINT32 u32Id = ptwidentity->Id;
        std::memcpy(ptwidentity, &config.m_profile.m_twidentity, sizeof(TW_IDENTITY));
        ptwidentity->Id = u32Id;
        a_call.m_u16Cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (blControl && a_u16Dat == DAT_ENTRYPOINT)
    {
        a_call.m_iStateBefore = a_call.m_iStateAfter = 3;
        if (a_pData != nullptr)
        {
            a_call.m_szData = SimHex(a_pData, sizeof(TW_ENTRYPOINT));
        }
        if (a_u16Msg != MSG_SET || a_pData == nullptr)
        {
            a_call.m_u16Cc = (a_pData == nullptr) ? TWCC_BADVALUE : TWCC_BADPROTOCOL;
            return TWRC_FAILURE;
        }
        std::memcpy(&m_twentrypoint, a_pData, sizeof(TW_ENTRYPOINT));
        a_call.m_u16Cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (blControl && a_u16Dat == DAT_IDENTITY && a_u16Msg == MSG_OPENDS)
    {
        a_call.m_iStateBefore = a_call.m_iStateAfter = 3;
        if (a_pData == nullptr)
        {
            a_call.m_u16Cc = TWCC_BADVALUE;
            return TWRC_FAILURE;
        }
        a_call.m_szData = SimHex(a_pData, sizeof(TW_IDENTITY));
        TW_UINT32 u32AppId = static_cast<TW_UINT32>(a_ptwidentityOrigin->Id);
        m_mapOpenCondition.erase(u32AppId);
        if (m_mapsession.count(u32AppId) != 0)
        {
            a_call.m_u16Cc = TWCC_SEQERROR;   // already open for this application
            return TWRC_FAILURE;
        }
        LoadEnvironment();
        SimConfig config = SimLoadConfig(SimBuiltInProfile(), m_szConfigPath.c_str());
        JournalConfigErrors(config);
        const SimFault* pfault = OpenFault(config);
        if (pfault != nullptr)
        {
            a_call.m_szNote = std::string("fault=") + FaultName(pfault->m_eAction);
            if (pfault->m_eAction == eSimFaultThrow)
            {
                throw CSimThrownFault();
            }
            if (pfault->m_eAction == eSimFaultCrash)
            {
                // Nothing opened, nothing kept: DS_Entry crashes on return.
                a_call.m_blRc = false;
                a_call.m_blCc = false;
                a_blCrash = true;
                return TWRC_FAILURE;
            }
            a_call.m_u16Cc = pfault->m_u16Cc;
            m_mapOpenCondition[u32AppId] = pfault->m_u16Cc;
            return pfault->m_u16Rc;
        }
        pTW_IDENTITY ptwidentity = static_cast<pTW_IDENTITY>(a_pData);
        TW_IDENTITY twidentityDs = config.m_profile.m_twidentity;
        twidentityDs.Id = ptwidentity->Id;
        std::memcpy(ptwidentity, &twidentityDs, sizeof(TW_IDENTITY));
        std::unique_ptr<CSimSession> psession(new CSimSession(*this, *a_ptwidentityOrigin, twidentityDs, config));
        CSimSession* psessionNew = psession.get();
        m_mapsession[u32AppId] = std::move(psession);
        psessionNew->Trigger(eSimTriggerOpen);
        a_call.m_iStateAfter = 4;
        a_call.m_u16Cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (blControl && a_u16Dat == DAT_IDENTITY && a_u16Msg == MSG_CLOSEDS)
    {
        auto it = m_mapsession.find(static_cast<TW_UINT32>(a_ptwidentityOrigin->Id));
        if (a_pData != nullptr)
        {
            a_call.m_szData = SimHex(a_pData, sizeof(TW_IDENTITY));
        }
        if (it == m_mapsession.end())
        {
            a_call.m_iStateBefore = a_call.m_iStateAfter = 3;
            a_call.m_u16Cc = TWCC_SEQERROR;
            return TWRC_FAILURE;
        }
        CSimSession& session = *it->second;
        a_call.m_iStateBefore = a_call.m_iStateAfter = session.GetState();
        const SimFault* pfault = session.MatchFault(a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
        if (pfault != nullptr && (pfault->m_eAction == eSimFaultRefuse || pfault->m_eAction == eSimFaultThrow))
        {
            a_call.m_szNote = std::string("fault=") + FaultName(pfault->m_eAction);
            if (pfault->m_eAction == eSimFaultThrow)
            {
                throw CSimThrownFault();
            }
            session.SetCondition(pfault->m_u16Cc);
            a_call.m_u16Cc = pfault->m_u16Cc;
            return pfault->m_u16Rc;
        }
        if (session.GetState() != 4)
        {
            // Closing is for a source that is not enabled.
            session.SetCondition(TWCC_SEQERROR);
            a_call.m_u16Cc = TWCC_SEQERROR;
            return TWRC_FAILURE;
        }
        CancelEvents(it->first);
        m_mapsession.erase(it);
        a_call.m_iStateAfter = 3;
        a_call.m_u16Cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    a_blHandled = false;
    return TWRC_FAILURE;
}

void CSimSource::PostEvent(const SimEvent& a_event, std::uint32_t a_u32DelayMs)
{
    DueKey duekey(std::chrono::steady_clock::now() + std::chrono::milliseconds(a_u32DelayMs), m_u64Order++);
    if (m_u64CurrentToken != 0)
    {
        m_aheld.push_back(Held{duekey, m_u64CurrentToken, a_event});
    }
    else
    {
        m_mapdue.emplace(duekey, a_event);
    }
    if (!m_blStarted)
    {
        m_blStarted = true;
        m_thread = std::thread(&CSimSource::Worker, this);
    }
    m_cv.notify_all();
}

void CSimSource::CancelEvents(TW_UINT32 a_u32AppId)
{
    for (auto it = m_mapdue.begin(); it != m_mapdue.end();)
    {
        it = (it->second.m_u32AppId == a_u32AppId) ? m_mapdue.erase(it) : std::next(it);
    }
    m_aheld.erase(std::remove_if(m_aheld.begin(), m_aheld.end(),
                                 [a_u32AppId](const Held& a_held) { return a_held.m_event.m_u32AppId == a_u32AppId; }),
                  m_aheld.end());
}

void CSimSource::ReleaseToken(std::uint64_t a_u64Token)
{
    auto itKept = std::stable_partition(m_aheld.begin(), m_aheld.end(),
                                        [a_u64Token](const Held& a_held) { return a_held.m_u64Token != a_u64Token; });
    if (itKept == m_aheld.end())
    {
        return;
    }
    for (auto it = itKept; it != m_aheld.end(); ++it)
    {
        m_mapdue.emplace(it->m_duekey, it->m_event);
    }
    m_aheld.erase(itKept, m_aheld.end());
    m_cv.notify_all();
}

// The event thread: sends each event once its delay has passed and the call
// that posted it has returned, through the DSM, without holding the lock.
void CSimSource::Worker()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_blStop)
    {
        if (m_mapdue.empty())
        {
            m_cv.wait(lock);
            continue;
        }
        // A copy: the queue changes while the wait has the lock released.
        const std::chrono::steady_clock::time_point timeDue = m_mapdue.begin()->first.first;
        if (timeDue > std::chrono::steady_clock::now())
        {
            m_cv.wait_until(lock, timeDue);
            continue;
        }
        SimEvent event = m_mapdue.begin()->second;
        m_mapdue.erase(m_mapdue.begin());
        auto itSession = m_mapsession.find(event.m_u32AppId);
        if (itSession == m_mapsession.end())
        {
            continue;
        }
        CSimSession* psession = itSession->second.get();
        SimJournalCall call;
        call.m_szDirection = "send";
        call.m_szSource = SimBuiltInProfile().m_szKey;
        call.m_u32Dg = DG_CONTROL;
        call.m_u16Dat = DAT_NULL;
        call.m_u16Msg = event.m_u16Msg;
        call.m_iStateBefore = psession->GetState();
        if (!psession->PrepareEvent(event, HasCallback()))
        {
            continue;
        }
        call.m_iStateAfter = psession->GetState();
        call.m_blRc = false;
        call.m_blCc = false;
        if (event.m_u16Msg == MSG_DEVICEEVENT)
        {
            call.m_szNote = "event=" + SimValueNameOrHex("TWDE_", event.m_twdeviceevent.Event);
        }
        TW_IDENTITY twidentityDs = psession->DsIdentity();
        TW_IDENTITY twidentityApp = psession->AppIdentity();
        DSMENTRYPROC pfnDsmEntry = m_twentrypoint.DSM_Entry;
        std::string szJournal = m_szJournal;
        lock.unlock();
        SimJournalWrite(szJournal, call);
        TW_UINT16 twrc = pfnDsmEntry(&twidentityDs, &twidentityApp, DG_CONTROL, DAT_NULL, event.m_u16Msg, nullptr);
        lock.lock();
        if (twrc != TWRC_SUCCESS)
        {
            // Not delivered: the session (when it is still the same one)
            // takes back what the event changed.
            itSession = m_mapsession.find(event.m_u32AppId);
            if (itSession != m_mapsession.end() && itSession->second.get() == psession)
            {
                psession->EventRefused(event);
            }
        }
    }
}

CSimSource& SimSourceInstance()
{
    static CSimSource s_source;
    return s_source;
}

namespace
{
// A segmentation fault on the calling thread: a write to an address that is
// never mapped (the first page), not known as such to the compiler.
void SimCrash()
{
    volatile std::uintptr_t uAddress = 16;
    *reinterpret_cast<volatile int*>(uAddress) = 0;
    std::raise(SIGSEGV);   // not reached
}
}

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                                                    TW_MEMREF pData)
{
    // The caller is the DSM: the one that can tell the sizes of its blocks.
    SimBlockNoteDsm(__builtin_return_address(0));
    bool blCrash = false;
    TW_UINT16 u16Rc = SimSourceInstance().Entry(pOrigin, DG, DAT, MSG, pData, blCrash);
    if (blCrash)
    {
        SimCrash();
    }
    return u16Rc;
}
