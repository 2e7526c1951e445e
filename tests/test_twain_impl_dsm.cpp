// test_twain_impl_dsm.cpp
// A connection against the stand-in DSM and the simulated scanner of this
// build, with every triplet it sends recorded on the way: opening and closing
// the DSM (the application identity, the entry call's recording and status
// flag, choosing a source, the library kept while a source may be open), the
// source's events (report lines, flags, state moves, auto-disable, the
// discard counter, the device events), the wait command, the memory
// families, opening and closing sources, the camera walks and roll-back
// where the source answers badly (configured faults), and the DSM's count of
// live blocks.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "clookup.h"
#include "test_twain_impl_support.h"

namespace
{

typedef unsigned long (*DiagFunction)(void);
typedef std::vector<std::pair<TW_UINT16, TW_UINT16>> Triplets;

// Records every triplet on its way to the real DSM, and can make the
// source slow to answer the disable and the device-event request.
struct SpyCall
{
    TW_UINT16 twdat;
    TW_UINT16 twmsg;
    bool blDest;
    TW_BOOL twShowUI;
    TW_UINT16 twrc;
};
struct Spy
{
    std::mutex mutex;
    std::vector<SpyCall> acalls;
    DSMENTRYPROC pfnReal = nullptr;
    bool blSlow = false;
};
Spy &TheSpy()
{
    static Spy s_spy;
    return s_spy;
}
TW_UINT16 SpyEntry(pTW_IDENTITY a_pOrigin, pTW_IDENTITY a_pDest, TW_UINT32 a_twdg, TW_UINT16 a_twdat,
                   TW_UINT16 a_twmsg, TW_MEMREF a_pdata)
{
    Spy &spy = TheSpy();
    {
        std::lock_guard<std::mutex> lock(spy.mutex);
        TW_BOOL twShowUI = ((a_twdat == DAT_USERINTERFACE) && a_pdata) ? static_cast<TW_USERINTERFACE *>(a_pdata)->ShowUI : 0;
        spy.acalls.push_back({a_twdat, a_twmsg, a_pDest != nullptr, twShowUI, 0});
    }
    if (spy.blSlow && ((a_twdat == DAT_USERINTERFACE) || (a_twdat == DAT_DEVICEEVENT)))
    {
        COsTime::Sleep(400, __FILE__, __LINE__);
    }
    TW_UINT16 twrc = spy.pfnReal(a_pOrigin, a_pDest, a_twdg, a_twdat, a_twmsg, a_pdata);
    std::lock_guard<std::mutex> lock(spy.mutex);
    spy.acalls.back().twrc = twrc;
    return twrc;
}

class TwainSimTest : public TwainImplTest
{
protected:
    void SetUp() override
    {
        TwainImplTest::SetUp();
        // Keep the DSM loaded across the connection's own loading and
        // unloading, to read its allocation counter.
        m_pvDsm = dlopen(DRAVO_SIM_DSM_PATH, RTLD_NOW);
        ASSERT_NE(m_pvDsm, nullptr) << "the stand-in DSM is not built (target platform_all): " << dlerror();
        m_pfnLive = reinterpret_cast<DiagFunction>(dlsym(m_pvDsm, "TwainDsmDiagLiveAllocations"));
        ASSERT_NE(m_pfnLive, nullptr);
        m_ulLive = m_pfnLive();
        m_szConfig = m_env.Services().Dir() / "sim.cfg";
        Config("");
        setenv("SIMSCANNER_CONFIG", m_szConfig.c_str(), 1);
        unsetenv("TWAINDSM_SOURCES");
    }
    void TearDown() override
    {
        m_ptwainimpl.reset();
        unsetenv("SIMSCANNER_CONFIG");
        if (m_pvDsm)
        {
            EXPECT_EQ(m_pfnLive(), m_ulLive) << "every block of the DSM went back";
            dlclose(m_pvDsm);
        }
    }
    void Config(const std::string &a_szText)
    {
        e2e::WriteFile(m_szConfig, a_szText);
    }

    // A connection with the named source open, the spy in its path, the
    // log cleared.
    void Open(const char *a_szProtocol = "1.9", const char *a_szSource = "Simulated Scanner")
    {
        m_ptwainimpl.reset();
        m_ptwainimpl = MakeTwainImpl(a_szProtocol);
        ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
        ASSERT_EQ(m_ptwainimpl->DSOpen(a_szSource), TWRC_SUCCESS);
        ASSERT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSOPEN);
        TheSpy().pfnReal = m_ptwainimpl->m_pfnDsmEntryProc;
        TheSpy().blSlow = false;
        m_ptwainimpl->m_pfnDsmEntryProc = SpyEntry;
        SpyClear();
        m_log.Clear();
    }
    // The source enabled without its interface (state 5).
    void Enable()
    {
        TW_USERINTERFACE twuserinterface = {0, 0, nullptr};
        ASSERT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twuserinterface, false, false),
                  TWRC_SUCCESS);
        m_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);   // an event may have raised it further
    }
    void SpyClear()
    {
        std::lock_guard<std::mutex> lock(TheSpy().mutex);
        TheSpy().acalls.clear();
    }
    std::vector<SpyCall> Calls()
    {
        std::lock_guard<std::mutex> lock(TheSpy().mutex);
        return TheSpy().acalls;
    }
    Triplets Sent()
    {
        Triplets a;
        for (const SpyCall &call : Calls())
        {
            a.push_back({call.twdat, call.twmsg});
        }
        return a;
    }
    std::vector<std::string> Lines()
    {
        return m_log.Lines();
    }
    // An event report: empty line, report, empty line.
    static std::vector<std::string> Report(const std::string &a_szLine)
    {
        return {"", a_szLine, ""};
    }
    uint8_t Flag(int a_iFlag)
    {
        return m_ptwainimpl->m_au8Event[a_iFlag].load();
    }
    TW_UINT16 Wait(std::initializer_list<const char *> a_aszWords)
    {
        return m_ptwainimpl->DSWait(TwainWords(a_aszWords));
    }

    void *m_pvDsm = nullptr;
    DiagFunction m_pfnLive = nullptr;
    unsigned long m_ulLive = 0;
    std::string m_szConfig;
};

// ---------------------------------------------------------------------------
// The DSM
// ---------------------------------------------------------------------------
// The identity lines, the refused second open and the reopen as #0 run end
// to end (test_e2e_dsm.cpp); here what only the connection shows.
TEST_F(TwainSimTest, OpenFillsTheIdentityAndCloseZeroesTheConnection)
{
    m_ptwainimpl = MakeTwainImpl("2.3", "TWLG_ENGLISH_USA", 2);
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->GetTwDsm(), "TWAINDSM");
    const TW_IDENTITY &twidentity = m_ptwainimpl->m_twidentityApp;
    TW_UINT32 twId = twidentity.Id;
    EXPECT_NE(twId, 0u);
    EXPECT_EQ(twidentity.Version.Language, TWLG_ENGLISH_USA);
    EXPECT_EQ(twidentity.Version.Country, 1);
    EXPECT_STREQ(twidentity.Version.Info, "2008/07/16 1.0.0");
    EXPECT_STREQ(twidentity.Manufacturer, "WEXTO");
    EXPECT_EQ(strlen(twidentity.ProductFamily), 2u);
    EXPECT_STREQ(twidentity.ProductName, "Dravo #2");

    // Callbacks addressed to this application reach this connection, also
    // after the close, which clears the event flags and the discard counter.
    m_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY] = 1;
    m_ptwainimpl->m_i32DiscardXferReady = 3;
    for (int ii = 0; ii < 2; ii++)
    {
        {
            std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
            TW_IDENTITY twidentityDest = {};
            twidentityDest.Id = twId;
            EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentityDest), m_ptwainimpl.get());
        }
        m_ptwainimpl->DSMClose();
    }
    EXPECT_EQ(m_ptwainimpl->m_pfnDsmEntryProc, nullptr);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 0);
    EXPECT_EQ(m_ptwainimpl->m_i32DiscardXferReady.load(), 0);
    EXPECT_STREQ(m_ptwainimpl->GetTwDsm(), "");
    EXPECT_NE(m_ptwainimpl->m_plookup, nullptr);
    EXPECT_EQ(m_ptwainimpl->m_u32ProtocolMajor, 2u);
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->m_twidentityApp.Version.Language, 0);
}

// (a refusal of the DSM with its own condition code, the status request
// that keeps the last return code, and the status flag the stress test
// compares condition codes with: test_e2e_control.cpp, test_e2e_dsm.cpp,
// test_e2e_stress.cpp)
TEST_F(TwainSimTest, EntryRecordsNothingForANullStatusRecord)
{
    m_ptwainimpl = MakeTwainImpl("2.3");
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    TW_IDENTITY twidentity = {};
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity, false, false), TWRC_FAILURE);
    m_ptwainimpl->m_twccLast = 77;
    m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, nullptr, false, false);
    EXPECT_EQ(m_ptwainimpl->m_twccLast, 77);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_FAILURE);
}

// Listing and choosing by index and fragment run end to end
// (test_e2e_dsm.cpp); here the case of a fragment and the ProductName variable.
TEST_F(TwainSimTest, ChooseByCaseSensitiveFragmentOrByTheProductNameVariable)
{
    m_ptwainimpl = MakeTwainImpl("2.3");
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    m_ptwainimpl->DSMList(TwainWords({"dsmlist", "silent"}));
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset", "simulated"})), TWRC_FAILURE);
    EXPECT_TRUE(m_env.Services().LogHas("driver not found...<simulated>"));
    CVar var;
    CVar *pvarSaved = g_pvar;
    g_pvar = &var;
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset"})), TWRC_FAILURE);
    EXPECT_TRUE(m_env.Services().LogHas("must specify an index or a string from dsmlist..."));
    var.Set("ProductName", "ZAV");
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset"})), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_twidentityDs.ProductName, "Simulated Scanner ZAV");
    g_pvar = pvarSaved;
}

// A connection destroyed while a source may be open keeps the DSM library
// loaded; one destroyed in state 3 or below releases it.  (Checked with a
// library the system can unload: the stand-in DSM itself never unloads.)
TEST_F(TwainSimTest, DestructionAboveState3KeepsTheLibraryLoaded)
{
    const std::string szLibrary = DRAVO_BINARY_DIR "/tests/platform_fixtures/sources/broken.ds";
    ASSERT_EQ(dlopen(szLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "loaded before the test";

    auto Loaded = [&](ETWSTATE a_etwstate) {
        auto ptwainimpl = MakeTwainImpl();
        ptwainimpl->m_posfileDsm = new COsFile();
        EXPECT_EQ(ptwainimpl->m_posfileDsm->SharedLibraryLoad(szLibrary.c_str()), OS_STS_OK);
        COsString::SStrCpy(ptwainimpl->m_szDsmPath, sizeof(ptwainimpl->m_szDsmPath), szLibrary.c_str());
        ptwainimpl->SetTwState(a_etwstate);
        ptwainimpl.reset();
        void *pvLibrary = dlopen(szLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (pvLibrary)
        {
            dlclose(pvLibrary);
        }
        return pvLibrary != nullptr;
    };
    EXPECT_FALSE(Loaded(ETWSTATE_DSMOPEN));
    EXPECT_TRUE(Loaded(ETWSTATE_DSOPEN));
}

// ---------------------------------------------------------------------------
// Transfer ready, close requests, auto-disable
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, TransferReadySetsTheFlagAndState6UnlessTheDiscardCounterSwallowsIt)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->m_i32DiscardXferReady = -3;   // negative: discards nothing
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_XFERREADY..."));
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
    EXPECT_EQ(m_ptwainimpl->m_i32DiscardXferReady.load(), -3);
    EXPECT_TRUE(Calls().empty()) << "a transfer-ready event sends nothing";

    m_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY] = 0;
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_log.Clear();
    m_ptwainimpl->m_i32DiscardXferReady = 2;
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 0);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSENABLED);
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    std::vector<std::string> aszExpected = {"", "  *** Discarding MSG_XFERREADY... (2)", "",
                                            "", "  *** Discarding MSG_XFERREADY... (1)", "",
                                            "", "  *** Got MSG_XFERREADY...",            ""};
    EXPECT_EQ(Lines(), aszExpected);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
    EXPECT_EQ(m_ptwainimpl->m_i32DiscardXferReady.load(), 0);

    // An enable that returns after the event keeps state 6.
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    m_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    m_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSENABLED);
}

TEST_F(TwainSimTest, CloseEventsDisableTheSourceWhenAutoDisableIsOn)
{
    struct Case
    {
        TW_UINT16 twmsg;
        ETWSTATE etwstateFrom;
        bool blAutoDisable;
        bool blEnabled;   // the source is enabled: it accepts the disable
        std::vector<std::string> aszLines;
        ETWSTATE etwstateTo;
    };
    const std::vector<std::string> aszReq = Report("  *** Got MSG_CLOSEDSREQ...");
    std::vector<std::string> aszRefused = aszReq;
    aszRefused.push_back("TWRC_FAILURE/TWCC_SEQERROR");
    std::vector<std::string> aszClosed = aszReq;   // the DSM no longer knows the source
    aszClosed.push_back("TWRC_FAILURE/TWCC_BADDEST");
    const Case acase[] = {
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, true, true, aszReq, ETWSTATE_DSOPEN},
        {MSG_CLOSEDSOK, ETWSTATE_XFERREADY, true, true, Report("  *** Got MSG_CLOSEDSOK..."), ETWSTATE_DSOPEN},
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, true, false, aszRefused, ETWSTATE_DSOPEN},   // the state still drops
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, false, true, aszReq, ETWSTATE_DSENABLED},    // only the flag
        {MSG_CLOSEDSREQ, ETWSTATE_DSMOPEN, true, false, aszClosed, ETWSTATE_DSMOPEN},     // source closed already
    };
    Config("xferready.delay = 600000\n");
    for (const Case &c : acase)
    {
        SCOPED_TRACE(std::to_string(&c - acase));
        Open();
        if (c.blEnabled)
        {
            Enable();
        }
        SpyClear();
        m_log.Clear();
        m_ptwainimpl->m_blAutoDisable = c.blAutoDisable;
        m_ptwainimpl->SetTwState(c.etwstateFrom);
        m_ptwainimpl->ProcessEvent(c.twmsg);
        EXPECT_EQ(Lines(), c.aszLines);
        EXPECT_EQ(Flag(ETWEVENT_CLOSEDSREQ), c.twmsg == MSG_CLOSEDSREQ);
        EXPECT_EQ(Flag(ETWEVENT_CLOSEDSOK), c.twmsg == MSG_CLOSEDSOK);
        EXPECT_EQ(m_ptwainimpl->GetTwState(), c.etwstateTo);
        std::vector<SpyCall> acalls = Calls();
        if (!c.blAutoDisable)
        {
            EXPECT_TRUE(acalls.empty());
            continue;
        }
        ASSERT_EQ(acalls.size(), c.blEnabled ? 1u : 2u);   // with DAT_STATUS
        EXPECT_EQ(acalls[0].twdat, DAT_USERINTERFACE);
        EXPECT_EQ(acalls[0].twmsg, MSG_DISABLEDS);
        EXPECT_EQ(acalls[0].blDest, c.etwstateFrom != ETWSTATE_DSMOPEN);
        EXPECT_EQ(acalls[0].twShowUI, 0);
        if (c.blEnabled)
        {
            // Now in state 4, the source opens again.
            TW_USERINTERFACE twuserinterface = {0, 0, nullptr};
            EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twuserinterface, false, false),
                      TWRC_SUCCESS);
        }
    }
}

TEST_F(TwainSimTest, TheEventObjectIsSignalledByAnAutoDisable)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->CreateMainWindow();
    ASSERT_NE(m_ptwainimpl->m_posthread, nullptr);
    EXPECT_EQ(m_ptwainimpl->m_posthread->WaitEvent(0), OS_STS_TIMEOUT);
    m_ptwainimpl->ProcessEvent(MSG_CLOSEDSOK);
    EXPECT_EQ(m_ptwainimpl->m_posthread->WaitEvent(0), OS_STS_OK);
    m_ptwainimpl->DestroyMainWindow();
    EXPECT_EQ(m_ptwainimpl->m_posthread, nullptr);
    m_ptwainimpl->DestroyMainWindow();   // nothing left: harmless
}

// ---------------------------------------------------------------------------
// Device events, sent by the source
// ---------------------------------------------------------------------------
struct DeviceEventCase
{
    const char *szEvent;
    int iFlag;   // -1: only the device-event flag
    const char *szLine;
};

class TwainDeviceEventTest : public TwainSimTest, public testing::WithParamInterface<DeviceEventCase>
{
};

TEST_P(TwainDeviceEventTest, FetchesTheEventPrintsItsLineAndSetsItsFlag)
{
    const DeviceEventCase &c = GetParam();
    Config(std::string("xferready.delay = 600000\ncap CAP_DEVICEEVENT array uint16 ") + c.szEvent +
           "\non enable send MSG_DEVICEEVENT " + c.szEvent + " devicename=usb:1-2 timebeforefirstcapture=4500\n");
    Open();
    Enable();
    ASSERT_EQ(Wait({"wait", "20000", "deviceevent"}), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report(c.szLine));
    EXPECT_EQ(Sent(), (Triplets{{DAT_USERINTERFACE, MSG_ENABLEDS}, {DAT_DEVICEEVENT, MSG_GET}}));
    EXPECT_TRUE(Calls().back().blDest);
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        bool blExpected = (ii == ETWEVENT_DEVICEEVENT) || (ii == c.iFlag);
        EXPECT_EQ(Flag(ii), blExpected ? 1 : 0) << "flag " << ii;
    }
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSENABLED);
}

// The flag is the event's place after the first device-event flag: the
// first and the last standard event, a name and a time in the line, and
// events of no name. (The lamp warm-up, a device added and a paper jam,
// reported and waited for through the program: test_e2e_events.cpp.)
INSTANTIATE_TEST_SUITE_P(
    Events, TwainDeviceEventTest,
    testing::Values(
        DeviceEventCase{"TWDE_CHECKAUTOMATICCAPTURE", 4, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKAUTOMATICCAPTURE)"},
        DeviceEventCase{"TWDE_DEVICEREMOVED", 13, "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEREMOVED,<usb:1-2>)"},
        DeviceEventCase{"TWDE_POWERSAVENOTIFY", 20, "  *** Got MSG_DEVICEEVENT (TWDE_POWERSAVENOTIFY)"},
        DeviceEventCase{"TWDE_LAMPWARMUP", ETWEVENT_LAMPWARMUP, "  *** Got MSG_DEVICEEVENT (TWDE_LAMPWARMUP,4500)"},
        DeviceEventCase{"17", -1, "  *** Got MSG_DEVICEEVENT (0x11)"},
        DeviceEventCase{"0x8001", -1, "  *** Got MSG_DEVICEEVENT (0x8001)"}));

TEST_F(TwainSimTest, AFailedDeviceEventRequestIsReportedAndKeepsTheDeviceEventFlag)
{
    Config("xferready.delay = 600000\ncap CAP_DEVICEEVENT array uint16 TWDE_PAPERJAM\n"
           "on enable send MSG_DEVICEEVENT TWDE_PAPERJAM\nfault refuse DG_CONTROL DAT_DEVICEEVENT MSG_GET\n");
    Open();
    Enable();
    ASSERT_EQ(Wait({"wait", "20000", "deviceevent"}), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_DEVICEEVENT (get device event failed)..."));
    EXPECT_EQ(Flag(ETWEVENT_TWDE_FIRST + TWDE_PAPERJAM), 0);
}

// A source that fills the device name to its last byte (the simulated
// scanner always ends its texts); the sanitizer build catches any read past
// the field.
TW_UINT16 UnterminatedDeviceEvent(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16 a_twdat, TW_UINT16, TW_MEMREF a_pdata)
{
    if (a_twdat != DAT_DEVICEEVENT)
    {
        return TWRC_FAILURE;
    }
    TW_DEVICEEVENT *ptwdeviceevent = static_cast<TW_DEVICEEVENT *>(a_pdata);
    memset(ptwdeviceevent, 0, sizeof(*ptwdeviceevent));
    ptwdeviceevent->Event = TWDE_DEVICEREMOVED;
    memset(ptwdeviceevent->DeviceName, 'x', sizeof(ptwdeviceevent->DeviceName));
    ptwdeviceevent->BatteryMinutes = 0x4141414141414141UL;
    return TWRC_SUCCESS;
}

TEST_F(TwainSimTest, ADeviceNameWithoutTerminatorStaysInsideItsField)
{
    Open();
    m_ptwainimpl->m_pfnDsmEntryProc = UnterminatedDeviceEvent;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    m_ptwainimpl->m_pfnDsmEntryProc = SpyEntry;
    EXPECT_EQ(Lines().size(), 3u);
    EXPECT_EQ(Flag(ETWEVENT_TWDE_FIRST + TWDE_DEVICEREMOVED), 1);
}

// ---------------------------------------------------------------------------
// Other messages and the callback's sorting
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, TheCallbackTakesBothFormsOfDeliveryAndReportsAnythingElse)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->m_blAutoDisable = false;
    m_ptwainimpl->ProcessEvent(0x0999);
    EXPECT_EQ(Lines(), Report("  *** Unrecognized event...DG_CONTROL/DAT_NULL/0x999"));
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DAT_CALLBACK, MSG_INVOKE_CALLBACK, MSG_CLOSEDSOK, nullptr),
              TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_CLOSEDSOK), 1);
    m_log.Clear();
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DG_IMAGE, DAT_NULL, MSG_CLOSEDSREQ, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report("  *** Got a weird event...0x2/0x0/0x102"));
    EXPECT_EQ(Flag(ETWEVENT_CLOSEDSREQ), 0);

    // The static callback reaches the most recent connection when the
    // destination is unknown.
    m_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY] = 0;
    TW_IDENTITY twidentity = {};
    EXPECT_EQ(CTwainImpl::TwnCallBackProc(nullptr, &twidentity, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
              TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    m_ptwainimpl.reset();
    EXPECT_EQ(CTwainImpl::s_ptwainimpl.load(), nullptr);
    EXPECT_EQ(CTwainImpl::TwnCallBackProc(nullptr, &twidentity, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
              TWRC_FAILURE);
}

// ---------------------------------------------------------------------------
// The wait command
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, AWaitWithoutWordsOrWithoutItsEventTimesOutAndAFlagSetEndsItAtOnce)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);   // set, but not wanted
    EXPECT_EQ(Wait({"wait"}), TWRC_DATANOTAVAILABLE);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_DATANOTAVAILABLE);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "");
    EXPECT_EQ(Wait({"wait", ""}), TWRC_DATANOTAVAILABLE);
    m_ptwainimpl->m_twrcLast = TWRC_SUCCESS;
    m_log.Clear();
    EXPECT_EQ(Wait({"wait", "countdown", "150", "msg_closedsok"}), TWRC_DATANOTAVAILABLE);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_DATANOTAVAILABLE);
    EXPECT_TRUE(Lines().empty()) << "the countdown is not a log line";

    m_ptwainimpl->m_twrcLast = 0x55;
    EXPECT_EQ(Wait({"wait", "infinite", "msg_xferready"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_XFERREADY");
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, 0x55) << "a hit leaves the last return code alone";
    EXPECT_EQ(Wait({"wait", "forever", "MSG_XFERREADY"}), TWRC_SUCCESS);
    EXPECT_EQ(Wait({"wait", "-1", "Msg_XferReady"}), TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
}

TEST_F(TwainSimTest, AWaitEndsOnlyOnceItsEventWasHandledWhole)
{
    // The source is slow to answer the callback's own requests: the wait
    // must not return in the middle of them, so that what the script does
    // next finds the report printed, the source disabled and the state moved.
    Config("xferready.delay = 600000\ncap CAP_DEVICEEVENT array uint16 TWDE_PAPERJAM\n"
           "on enable send MSG_DEVICEEVENT TWDE_PAPERJAM after 50 ms\non enable send MSG_CLOSEDSREQ after 1500 ms\n");
    Open();
    TheSpy().blSlow = true;
    Enable();
    EXPECT_EQ(Wait({"wait", "20000", "deviceevent"}), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_DEVICEEVENT (TWDE_PAPERJAM)")) << "the report is printed before";
    EXPECT_EQ(Flag(ETWEVENT_TWDE_FIRST + TWDE_PAPERJAM), 1);
    m_log.Clear();
    EXPECT_EQ(Wait({"wait", "20000", "msg_closedsreq"}), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSOPEN) << "the disable has already moved the state";
    EXPECT_EQ(Lines(), Report("  *** Got MSG_CLOSEDSREQ..."));
    EXPECT_EQ(Sent().back(), std::make_pair(static_cast<TW_UINT16>(DAT_USERINTERFACE), static_cast<TW_UINT16>(MSG_DISABLEDS)));
}

TEST_F(TwainSimTest, AWaitTakesTheFirstWantedFlagInItsOwnOrderAndKnowsEveryWordInAnyCase)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->m_blAutoDisable = false;
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    m_ptwainimpl->ProcessEvent(MSG_CLOSEDSREQ);
    m_ptwainimpl->ProcessEvent(MSG_CLOSEDSOK);
    EXPECT_EQ(Wait({"wait", "10", "msg_xferready", "msg_closedsreq", "msg_closedsok"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_CLOSEDSOK");
    EXPECT_EQ(Wait({"wait", "10", "msg_xferready", "msg_closedsreq"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_CLOSEDSREQ");

    // Any device event comes before the device-offline event, but after a
    // battery check and the lamp warm-up.
    struct Order
    {
        int iFlag;
        std::initializer_list<const char *> aszWords;
        const char *szHit;
    };
    const Order aorder[] = {
        {ETWEVENT_TWDE_FIRST + TWDE_DEVICEOFFLINE, {"wait", "10", "twde_deviceoffline", "deviceevent"}, "DEVICEEVENT"},
        {ETWEVENT_TWDE_FIRST + TWDE_CHECKBATTERY, {"wait", "10", "DEVICEEVENT", "TWDE_CHECKBATTERY", "MSG_CLOSEDSOK"},
         "TWDE_CHECKBATTERY"},
        {ETWEVENT_LAMPWARMUP, {"wait", "10", "twde_lampwarmup", "msg_xferready"}, "TWDE_LAMPWARMUP"},
    };
    for (const Order &o : aorder)
    {
        m_ptwainimpl->m_au8Event[ETWEVENT_DEVICEEVENT] = 1;
        m_ptwainimpl->m_au8Event[o.iFlag] = 1;
        EXPECT_EQ(m_ptwainimpl->DSWait(TwainWords(o.aszWords)), TWRC_SUCCESS);
        EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, o.szHit);
    }

    const char *aszWords[] = {"msg_xferready",          "msg_closedsok",         "msg_closedsreq",
                              "deviceevent",            "twde_checkautomaticcapture", "twde_checkbattery",
                              "twde_checkdeviceonline", "twde_checkflash",       "twde_checkpowersupply",
                              "twde_checkresolution",   "twde_deviceadded",      "twde_deviceoffline",
                              "twde_deviceready",       "twde_deviceremoved",    "twde_imagecaptured",
                              "twde_imagedeleted",      "twde_paperdoublefeed",  "twde_paperjam",
                              "twde_lampfailure",       "twde_powersave",        "twde_powersavenotify",
                              "twde_lampwarmup"};
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        m_ptwainimpl->m_au8Event[ii] = 0;
    }
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        m_ptwainimpl->m_au8Event[ii] = 1;
        EXPECT_EQ(Wait({"wait", "5", aszWords[ii]}), TWRC_SUCCESS) << aszWords[ii];
        std::string szUpper = aszWords[ii];
        for (char &c : szUpper)
        {
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(std::string(m_ptwainimpl->m_szLastEvent), szUpper);
        m_ptwainimpl->m_au8Event[ii] = 0;
    }
}

TEST_F(TwainSimTest, ClearClearsEveryFlagOrTheNamedOnesAndSetsAutoDisable)
{
    // clearnoauto with events: only those flags, auto-disable off; clear alone: every flag, auto-disable on.
    Open();
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        m_ptwainimpl->m_au8Event[ii] = 1;
    }
    EXPECT_EQ(Wait({"wait", "CLEARNOAUTO", "MSG_XFERREADY", "twde_lampwarmup"}), TWRC_SUCCESS);
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        bool blCleared = (ii == ETWEVENT_XFERREADY) || (ii == ETWEVENT_LAMPWARMUP);
        EXPECT_EQ(Flag(ii), blCleared ? 0 : 1) << "flag " << ii;
    }
    EXPECT_FALSE(m_ptwainimpl->m_blAutoDisable.load());
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        m_ptwainimpl->m_au8Event[ii] = 1;
    }
    EXPECT_EQ(Wait({"wait", "clear"}), TWRC_SUCCESS);
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        EXPECT_EQ(Flag(ii), 0) << "flag " << ii;
    }
    EXPECT_TRUE(m_ptwainimpl->m_blAutoDisable.load());
}

// ---------------------------------------------------------------------------
// Memory handles
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, AHandleIsFreedByTheFamilyThatAllocatedIt)
{
    // Made by the services layer before the DSM's functions are known...
    m_ptwainimpl = MakeTwainImpl("2.4");
    uint64_t u64Blocks = g_posmem->GetAllocationCount();
    TW_HANDLE handleOs = m_ptwainimpl->DsMemAlloc(64);
    ASSERT_NE(handleOs, nullptr);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks + 1);
    EXPECT_EQ(static_cast<uint8_t *>(m_ptwainimpl->DsMemLock(handleOs))[63], 0) << "zero-filled";
    m_ptwainimpl->DsMemUnlock(handleOs);

    // ...and one by the DSM once it is.
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    ASSERT_EQ(m_ptwainimpl->DSOpen("Simulated Scanner"), TWRC_SUCCESS);
    DSM_MEMALLOCATE pfnAllocate = m_ptwainimpl->m_twentrypoint.DSM_MemAllocate;   // by value: a packed field
    ASSERT_NE(pfnAllocate, nullptr);
    TW_HANDLE handleDsm = m_ptwainimpl->DsMemAlloc(32);
    ASSERT_NE(handleDsm, nullptr);
    EXPECT_EQ(m_pfnLive(), m_ulLive + 1);
    EXPECT_NE(m_ptwainimpl->DsMemLock(handleDsm), nullptr);
    m_ptwainimpl->DsMemUnlock(handleDsm);

    // The first goes back to the services layer although the DSM's
    // functions are now known.
    m_ptwainimpl->DsMemFree(handleOs);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks);
    EXPECT_EQ(m_pfnLive(), m_ulLive + 1);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_EQ(m_pfnLive(), m_ulLive);

    // Handles of the source are freed by the current family.
    TW_HANDLE handleSource = pfnAllocate(10);
    EXPECT_EQ(m_pfnLive(), m_ulLive + 1);
    m_ptwainimpl->DsMemFree(handleSource);
    EXPECT_EQ(m_pfnLive(), m_ulLive);
    m_ptwainimpl->DsMemFree(nullptr);
    EXPECT_EQ(m_ptwainimpl->DsMemAlloc(-1), nullptr);
}

TEST_F(TwainSimTest, AHandleOfAClosedDsmIsNeitherFreedNorLockedByTheServicesLayer)
{
    Open("2.4");
    TW_HANDLE handleDsm = m_ptwainimpl->DsMemAlloc(16);
    ASSERT_NE(handleDsm, nullptr);
    m_ptwainimpl->RollBack(ETWSTATE_DSOPEN, ETWSTATE_NONE);
    uint64_t u64Blocks = g_posmem->GetAllocationCount();
    EXPECT_EQ(m_ptwainimpl->DsMemLock(handleDsm), nullptr);
    m_ptwainimpl->DsMemUnlock(handleDsm);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks);
    EXPECT_EQ(m_pfnLive(), m_ulLive + 1) << "left to its own family";
    // Once that DSM is back, the handle can still be freed by it.
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    ASSERT_EQ(m_ptwainimpl->DSOpen("Simulated Scanner"), TWRC_SUCCESS);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_EQ(m_pfnLive(), m_ulLive);
}

TEST_F(TwainSimTest, CapabilityAnswersAreKeptForTheScriptTests)
{
    Open("2.3");
    EXPECT_EQ(m_ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_get", "CAP_XFERCOUNT"})), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->m_twcapability.Cap, CAP_XFERCOUNT);
    EXPECT_EQ(m_ptwainimpl->m_twonevalue.ItemType, TWTY_INT16);
    EXPECT_EQ(memcmp(&m_ptwainimpl->m_twonevalue, &m_ptwainimpl->m_twonevalueExpected, sizeof(TW_ONEVALUE)), 0);
    EXPECT_EQ(m_ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_get", "8116"})), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->m_twrange.ItemType, TWTY_UINT32);
    EXPECT_EQ(static_cast<uint32_t>(m_ptwainimpl->m_twrangeExpected.MaxValue), 4294967295u);
    // A refusal keeps nothing and gives 1.
    EXPECT_EQ(m_ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_getcurrent", "7777"})), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->m_twcapability.Cap, 0x8116);
}

// ---------------------------------------------------------------------------
// Opening and closing
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, TheSourcesLanguageBecomesCurrent)
{
    ASSERT_NE(g_poslocale, nullptr);
    const std::pair<const char *, EOSLANGUAGE> acase[] = {{"TWLG_GERMAN", OS_LANGUAGE_GERMAN},
                                                          {"TWLG_ENGLISH_USA", OS_LANGUAGE_ENGLISH_USA},
                                                          {"0x7777", OS_LANGUAGE_ENGLISH_USA}};   // none: unchanged
    for (const auto &c : acase)
    {
        Config(std::string("language = ") + c.first + "\n");
        Open();
        EXPECT_EQ(g_poslocale->GetLanguage(), c.second) << c.first;
    }
}

TEST_F(TwainSimTest, TheCustomValuesAndTheProtocolsFollowTheLastOpenedSource)
{
    Open("1.9", "Simulated Scanner ZAV");
    EXPECT_TRUE(m_ptwainimpl->m_plookup->GetCustomValues());
    EXPECT_FALSE(m_ptwainimpl->m_blBothAbove201) << "the application speaks 1.9";
    Config("[zav]\ninfo = sim ZAV v2.4\n");
    Open("2.3", "Simulated Scanner ZAV");
    EXPECT_FALSE(m_ptwainimpl->m_plookup->GetCustomValues()) << "only a leading ZAV v counts";
    EXPECT_TRUE(m_ptwainimpl->m_blBothAbove201);
    Config("protocol = 2.1\n");
    Open("2.3");
    EXPECT_FALSE(m_ptwainimpl->m_blBothAbove201) << "2.1 is not above 2.01";
}

TEST_F(TwainSimTest, ALongNameIsCutNeverDroppedAndNoSourceIsNoClose)
{
    Open();
    m_ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
    // Chosen with dsmset, then opened by name: the name wins, cut to its field
    // (an empty name would open the default source).
    m_ptwainimpl->m_twidentityDs.Id = 9;
    EXPECT_EQ(m_ptwainimpl->DSOpen("A name far too long for the thirty-four byte field"), TWRC_FAILURE);
    EXPECT_STREQ(m_ptwainimpl->m_twidentityDs.ProductName, "A name far too long for the thirt");
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSMOPEN);
    EXPECT_EQ(Sent(), (Triplets{{DAT_IDENTITY, MSG_OPENDS}, {DAT_STATUS, MSG_GET}})) << "no callback registered";

    // (a close, to the DSM or to the source when asked: test_e2e_dsm.cpp,
    // test_e2e_dsopen.cpp)
    SpyClear();
    m_ptwainimpl->m_twidentityDs.Id = 0;
    EXPECT_EQ(m_ptwainimpl->DSClose(nullptr), TWRC_FAILURE);
    EXPECT_TRUE(Calls().empty()) << "no source: nothing is sent";
}

// ---------------------------------------------------------------------------
// Cameras
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, TheCameraNameIsCutToTheCallersBuffer)
{
    Open("2.4", "Simulated Camera");
    char szCamera[8];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "/Camera");
    EXPECT_EQ(m_ptwainimpl->FirstCamera(nullptr, 0), TWRC_SUCCESS);
}

TEST_F(TwainSimTest, ThePixelTypeWalkFollowsWhatTheSourceAllows)
{
    // Without colour: one bitonal camera.
    Config("cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_GRAY default=TWPT_GRAY\n");
    Open("2.4");
    char szCamera[64] = "unchanged";
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "TWPT_BW");
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_XFERDONE);

    // Every pixel type refused: no camera.
    Config("cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_GRAY TWPT_RGB default=TWPT_GRAY\n"
           "fault refuse DG_CONTROL DAT_CAPABILITY MSG_SET cap=ICAP_PIXELTYPE\n");
    Open("2.4");
    snprintf(szCamera, sizeof(szCamera), "%s", "unchanged");
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_STREQ(szCamera, "unchanged");
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
}

TEST_F(TwainSimTest, AMalformedPixelTypeIsFreedAndNeverWritten)
{
    char szCamera[64];
    for (const char *szFault : {"contype", "nullhandle"})
    {
        SCOPED_TRACE(szFault);
        Config(std::string("fault ") + szFault + " DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=ICAP_PIXELTYPE value=4\n");
        Open("2.4");
        m_ptwainimpl->m_twidentityDs.ProtocolMajor = 1;   // resets through the pixel type
        EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
        EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
        EXPECT_EQ(m_ptwainimpl->DSResetall(), TWRC_FAILURE);
        for (const SpyCall &call : Calls())
        {
            EXPECT_NE(call.twmsg, MSG_SET);
        }
    }
}

TEST_F(TwainSimTest, AContainerShorterThanAOneValueIsNeverWrittenPast)
{
    // The source claims a one-value but gave only its item type: the new
    // pixel type goes out in a container of the program's own (the
    // sanitizer build catches a write past the source's two bytes).
    Config("cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_GRAY TWPT_RGB default=TWPT_GRAY\n"
           "fault wrongsize DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=ICAP_PIXELTYPE\n");
    Open("2.4");
    char szCamera[64];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "TWPT_RGB");
    m_ptwainimpl->m_twidentityDs.ProtocolMajor = 1;
    EXPECT_EQ(m_ptwainimpl->DSResetall(), TWRC_SUCCESS);
    int iSets = 0;
    for (const SpyCall &call : Calls())
    {
        if (call.twmsg == MSG_SET)
        {
            EXPECT_EQ(call.twrc, TWRC_SUCCESS) << "the source took the program's container";
            iSets++;
        }
    }
    EXPECT_EQ(iSets, 2);
}

// ---------------------------------------------------------------------------
// Roll-back: one step at a time, whatever the source answers
// ---------------------------------------------------------------------------
TEST_F(TwainSimTest, ARollBackTakesTheStepsTheStateStillAllows)
{
    struct Case
    {
        ETWSTATE etwstateNow, etwstateFrom, etwstateTo;
        Triplets atSent;
        ETWSTATE etwstateEnd;
    };
    const Case acase[] = {
        {ETWSTATE_XFERRING, ETWSTATE_XFERRING, ETWSTATE_NONE,
         {{DAT_PENDINGXFERS, MSG_ENDXFER}, {DAT_PENDINGXFERS, MSG_RESET}, {DAT_USERINTERFACE, MSG_DISABLEDS},
          {DAT_IDENTITY, MSG_CLOSEDS}, {DAT_PARENT, MSG_CLOSEDSM}},
         ETWSTATE_NONE},
        {ETWSTATE_DSENABLED, ETWSTATE_XFERRING, ETWSTATE_DSOPEN, {{DAT_USERINTERFACE, MSG_DISABLEDS}}, ETWSTATE_DSOPEN},
        // The source refuses the reset and the disable (it is in state 4):
        {ETWSTATE_XFERREADY, ETWSTATE_XFERREADY, ETWSTATE_DSMOPEN,
         {{DAT_PENDINGXFERS, MSG_RESET}, {DAT_USERINTERFACE, MSG_DISABLEDS}, {DAT_IDENTITY, MSG_CLOSEDS}},
         ETWSTATE_DSMOPEN},
        {ETWSTATE_XFERRING, ETWSTATE_DSOPEN, ETWSTATE_DSOPEN, {}, ETWSTATE_XFERRING},   // a lower start does nothing
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(std::to_string(&c - acase));
        Open();
        m_ptwainimpl->SetTwState(c.etwstateNow);
        m_ptwainimpl->RollBack(c.etwstateFrom, c.etwstateTo);
        EXPECT_EQ(Sent(), c.atSent);
        EXPECT_EQ(m_ptwainimpl->GetTwState(), c.etwstateEnd);
        for (const SpyCall &call : Calls())
        {
            EXPECT_EQ(call.twShowUI, call.twmsg == MSG_DISABLEDS);
        }
    }
    m_ptwainimpl->m_pfnDsmEntryProc = nullptr;
    m_ptwainimpl->RollBack(ETWSTATE_XFERRING, ETWSTATE_NONE);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERRING) << "no DSM: nothing happens";
    m_ptwainimpl->m_pfnDsmEntryProc = SpyEntry;
    m_ptwainimpl->RollBack(ETWSTATE_XFERRING, ETWSTATE_NONE);
}

} // namespace
