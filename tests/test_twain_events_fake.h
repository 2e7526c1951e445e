// test_twain_events_fake.h
// A scripted stand-in for the DSM's entry point, set straight into a
// connection: it records every triplet it is sent, answers the ones the
// events, cameras, reset and roll-back code use as the test arranges, and
// hands out containers from its own memory functions so that a test can
// see whether every container was freed.
#ifndef DRAVO_TEST_TWAIN_EVENTS_FAKE_H
#define DRAVO_TEST_TWAIN_EVENTS_FAKE_H

#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "test_twain_impl_support.h"

struct FakeCall
{
    TW_UINT32 twdg;
    TW_UINT16 twdat;
    TW_UINT16 twmsg;
    bool blDest;
    TW_UINT16 twCap;            // DAT_CAPABILITY: the capability
    TW_BOOL twShowUI;           // DAT_USERINTERFACE: ShowUI
    TW_HANDLE hParent;          // DAT_USERINTERFACE: hParent
    std::string szInputName;    // DAT_FILESYSTEM: InputName
};

// What the fake answers.  One instance per process; Reset() before each test.
struct FakeDsm
{
    std::vector<FakeCall> acalls;
    std::set<void *> setLive;       // containers alive from the fake's allocator
    int iFrees = 0;

    TW_UINT16 twccStatus = TWCC_SEQERROR;   // DAT_STATUS answer
    TW_UINT16 twrcDisable = TWRC_SUCCESS;   // MSG_DISABLEDS answer

    bool blDeviceEvent = true;              // DAT_DEVICEEVENT MSG_GET succeeds
    TW_DEVICEEVENT twdeviceevent;

    std::vector<std::string> aszFiles;      // DAT_FILESYSTEM entries (none: the source has no file system)
    size_t u64FileNext = 0;

    TW_UINT16 twPixelType = TWPT_BW;        // ICAP_PIXELTYPE current value
    bool blRgbAllowed = true;
    bool blBwAllowed = true;
    TW_UINT16 twConType = TWON_ONEVALUE;    // container type of MSG_GETCURRENT
    bool blNullHandle = false;              // MSG_GETCURRENT succeeds without a container
    bool blShortContainer = false;          // MSG_GETCURRENT answers a one-value of only 2 bytes
    void *pvShort = nullptr;                // that container (its bytes after 2 are a guard)
    bool blGuardBroken = false;             // something wrote past the 2 bytes

    TW_UINT16 twrcOpen = TWRC_SUCCESS;      // MSG_OPENDS
    TW_IDENTITY twidentityOpened;           // what MSG_OPENDS gives the source

    // Called with every triplet before it is answered (a test may look at
    // the connection in the middle of a call, or make the call slow).
    std::function<void(TW_UINT16 a_twdat, TW_UINT16 a_twmsg)> onCall;

    void Reset()
    {
        for (void *pv : setLive)
        {
            free(pv);
        }
        *this = FakeDsm();
        memset(&twdeviceevent, 0, sizeof(twdeviceevent));
        memset(&twidentityOpened, 0, sizeof(twidentityOpened));
    }

    // The triplets sent, as "DAT/MSG" pairs in hexadecimal.
    std::vector<std::pair<TW_UINT16, TW_UINT16>> Triplets() const
    {
        std::vector<std::pair<TW_UINT16, TW_UINT16>> a;
        for (const FakeCall &c : acalls)
        {
            a.push_back({c.twdat, c.twmsg});
        }
        return a;
    }
    int Count(TW_UINT16 a_twdat, TW_UINT16 a_twmsg) const
    {
        int n = 0;
        for (const FakeCall &c : acalls)
        {
            n += (c.twdat == a_twdat) && (c.twmsg == a_twmsg);
        }
        return n;
    }
};

// A field of a packed TWAIN structure, by value (the test macros bind
// references, which a misaligned field must not get).
template <class T> T Packed(T a_value)
{
    return a_value;
}

inline FakeDsm &Fake()
{
    static FakeDsm s_fakedsm;
    return s_fakedsm;
}

inline TW_HANDLE FakeMemAllocate(TW_UINT32 a_u32Size)
{
    void *pv = calloc(1, a_u32Size ? a_u32Size : 1);
    Fake().setLive.insert(pv);
    return pv;
}

// The short container: an item type, then guard bytes that stand for the
// memory beyond the source's allocation.
#define FAKE_SHORTSIZE 2
#define FAKE_GUARDSIZE 32
#define FAKE_GUARD 0xA5

inline void FakeMemFree(TW_HANDLE a_handle)
{
    if (a_handle && (a_handle == Fake().pvShort))
    {
        const uint8_t *pu8 = static_cast<const uint8_t *>(a_handle);
        for (int ii = FAKE_SHORTSIZE; ii < FAKE_GUARDSIZE; ii++)
        {
            Fake().blGuardBroken = Fake().blGuardBroken || (pu8[ii] != FAKE_GUARD);
        }
        Fake().pvShort = nullptr;
    }
    // Only what the fake made is freed here; anything else is a family error.
    if (Fake().setLive.erase(a_handle))
    {
        free(a_handle);
        Fake().iFrees++;
    }
    else
    {
        ADD_FAILURE() << "the fake DSM was asked to free memory it did not allocate: " << a_handle;
    }
}

inline TW_MEMREF FakeMemLock(TW_HANDLE a_handle)
{
    return a_handle;
}

inline void FakeMemUnlock(TW_HANDLE)
{
}

inline TW_HANDLE FakeOneValue(TW_UINT16 a_twty, TW_UINT32 a_twItem)
{
    TW_HANDLE handle = FakeMemAllocate(sizeof(TW_ONEVALUE));
    TwSetU16(static_cast<uint8_t *>(handle) + offsetof(TW_ONEVALUE, ItemType), a_twty);
    TwSetU32(static_cast<uint8_t *>(handle) + offsetof(TW_ONEVALUE, Item), a_twItem);
    return handle;
}

inline TW_UINT16 FakeCapability(TW_UINT16 a_twmsg, TW_CAPABILITY *a_ptwcapability)
{
    FakeDsm &f = Fake();
    switch (a_twmsg)
    {
        case MSG_GETCURRENT:
            if (a_ptwcapability->Cap != ICAP_PIXELTYPE)
            {
                return TWRC_FAILURE;
            }
            a_ptwcapability->ConType = f.twConType;
            a_ptwcapability->hContainer = f.blNullHandle ? nullptr : FakeOneValue(TWTY_UINT16, f.twPixelType);
            if (f.blShortContainer && a_ptwcapability->hContainer)
            {
                FakeMemFree(a_ptwcapability->hContainer);
                f.iFrees--;
                uint8_t *pu8 = static_cast<uint8_t *>(FakeMemAllocate(FAKE_GUARDSIZE));
                memset(pu8 + FAKE_SHORTSIZE, FAKE_GUARD, FAKE_GUARDSIZE - FAKE_SHORTSIZE);
                TwSetU16(pu8, TWTY_UINT16);
                f.pvShort = pu8;
                a_ptwcapability->hContainer = pu8;
            }
            return TWRC_SUCCESS;
        case MSG_SET:
        {
            if ((a_ptwcapability->Cap != ICAP_PIXELTYPE) || (a_ptwcapability->ConType != TWON_ONEVALUE) ||
                !a_ptwcapability->hContainer)
            {
                return TWRC_FAILURE;
            }
            TW_UINT32 twItem = TwGetU32(static_cast<uint8_t *>(a_ptwcapability->hContainer) + offsetof(TW_ONEVALUE, Item));
            if (((twItem == TWPT_RGB) && !f.blRgbAllowed) || ((twItem == TWPT_BW) && !f.blBwAllowed))
            {
                return TWRC_FAILURE;
            }
            f.twPixelType = static_cast<TW_UINT16>(twItem);
            return TWRC_SUCCESS;
        }
        default:
            return TWRC_FAILURE;
    }
}

inline TW_UINT16 FakeDsmEntry(pTW_IDENTITY, pTW_IDENTITY a_ptwidentityDest, TW_UINT32 a_twdg, TW_UINT16 a_twdat,
                              TW_UINT16 a_twmsg, TW_MEMREF a_pdata)
{
    FakeDsm &f = Fake();
    FakeCall call{a_twdg, a_twdat, a_twmsg, a_ptwidentityDest != nullptr, 0, 0, nullptr, ""};
    if ((a_twdat == DAT_CAPABILITY) && a_pdata)
    {
        call.twCap = static_cast<TW_CAPABILITY *>(a_pdata)->Cap;
    }
    if ((a_twdat == DAT_USERINTERFACE) && a_pdata)
    {
        call.twShowUI = static_cast<TW_USERINTERFACE *>(a_pdata)->ShowUI;
        call.hParent = static_cast<TW_USERINTERFACE *>(a_pdata)->hParent;
    }
    if ((a_twdat == DAT_FILESYSTEM) && a_pdata)
    {
        call.szInputName = static_cast<TW_FILESYSTEM *>(a_pdata)->InputName;
    }
    f.acalls.push_back(call);
    if (f.onCall)
    {
        f.onCall(a_twdat, a_twmsg);
    }

    switch (a_twdat)
    {
        case DAT_STATUS:
            static_cast<TW_STATUS *>(a_pdata)->ConditionCode = f.twccStatus;
            return TWRC_SUCCESS;
        case DAT_USERINTERFACE:
            return (a_twmsg == MSG_DISABLEDS) ? f.twrcDisable : TWRC_SUCCESS;
        case DAT_DEVICEEVENT:
            if (!f.blDeviceEvent)
            {
                return TWRC_FAILURE;
            }
            memcpy(a_pdata, &f.twdeviceevent, sizeof(f.twdeviceevent));
            return TWRC_SUCCESS;
        case DAT_FILESYSTEM:
        {
            TW_FILESYSTEM *ptwfilesystem = static_cast<TW_FILESYSTEM *>(a_pdata);
            if (a_twmsg == MSG_GETFIRSTFILE)
            {
                f.u64FileNext = 0;
            }
            if ((a_twmsg == MSG_GETFIRSTFILE) || (a_twmsg == MSG_GETNEXTFILE))
            {
                if (f.aszFiles.empty())
                {
                    return TWRC_FAILURE;
                }
                if (f.u64FileNext >= f.aszFiles.size())
                {
                    return TWRC_ENDOFLIST;
                }
                snprintf(ptwfilesystem->OutputName, sizeof(ptwfilesystem->OutputName), "%s",
                         f.aszFiles[f.u64FileNext++].c_str());
                return TWRC_SUCCESS;
            }
            return (a_twmsg == MSG_CHANGEDIRECTORY) ? TWRC_SUCCESS : TWRC_FAILURE;
        }
        case DAT_CAPABILITY:
            return FakeCapability(a_twmsg, static_cast<TW_CAPABILITY *>(a_pdata));
        case DAT_IDENTITY:
            if (a_twmsg == MSG_OPENDS)
            {
                if (f.twrcOpen == TWRC_SUCCESS)
                {
                    memcpy(a_pdata, &f.twidentityOpened, sizeof(TW_IDENTITY));
                }
                return f.twrcOpen;
            }
            return TWRC_SUCCESS;
        default:
            return TWRC_SUCCESS;
    }
}

// Connects a connection to the fake: its entry point, the fake's memory
// functions, a known source (Id 7) and the given state.
inline void FakeConnect(CTwainImpl *a_ptwainimpl, ETWSTATE a_etwstate)
{
    a_ptwainimpl->m_pfnDsmEntryProc = FakeDsmEntry;
    a_ptwainimpl->m_twentrypoint.Size = sizeof(TW_ENTRYPOINT);
    a_ptwainimpl->m_twentrypoint.DSM_MemAllocate = FakeMemAllocate;
    a_ptwainimpl->m_twentrypoint.DSM_MemFree = FakeMemFree;
    a_ptwainimpl->m_twentrypoint.DSM_MemLock = FakeMemLock;
    a_ptwainimpl->m_twentrypoint.DSM_MemUnlock = FakeMemUnlock;
    a_ptwainimpl->m_twidentityDs.Id = 7;
    // A second-generation source: the DSM hands its memory functions only to
    // a source that announces DF_DS2, so the source's containers are its.
    a_ptwainimpl->m_twidentityDs.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
    snprintf(a_ptwainimpl->m_twidentityDs.ProductName, sizeof(a_ptwainimpl->m_twidentityDs.ProductName), "%s",
             "Fake Scanner");
    a_ptwainimpl->SetTwState(a_etwstate);
}

// A fixture with one connection wired to the fake in the given state, its
// printed lines collected from the start of each test.
class FakeConnectionTest : public testing::Test
{
protected:
    explicit FakeConnectionTest(ETWSTATE a_etwstate) : m_etwstate(a_etwstate) {}
    void SetUp() override
    {
        ASSERT_TRUE(m_env.HaveLookup()) << "the symbol table (tools/lookup.xml) is not built";
        Fake().Reset();
        m_ptwainimpl = MakeTwainImpl("1.9");
        FakeConnect(m_ptwainimpl.get(), m_etwstate);
        m_log.Clear();
    }
    void TearDown() override
    {
        m_ptwainimpl.reset();
        Fake().Reset();
    }
    // The lines printed since the last Clear().
    std::vector<std::string> Lines() { return m_log.Lines(); }

    ETWSTATE m_etwstate;
    TwainTestEnv m_env;
    TwainTestLog m_log;
    std::unique_ptr<CTwainImpl> m_ptwainimpl;
};

#endif // DRAVO_TEST_TWAIN_EVENTS_FAKE_H
