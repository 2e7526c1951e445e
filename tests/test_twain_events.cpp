// test_twain_events.cpp
// Events of the Data Source and the wait command, on a connection wired to
// a scripted DSM entry point: the report lines, the flags, the state moves,
// the auto-disable request, the discard counter, every form of the wait
// words and the order in which a wait picks its event; and the families of
// the memory handles.
#include <gtest/gtest.h>

#include <cctype>
#include <thread>

#include "test_twain_events_fake.h"

namespace
{

class TwainEventsTest : public FakeConnectionTest
{
protected:
    TwainEventsTest() : FakeConnectionTest(ETWSTATE_DSENABLED) {}
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
        TwainWords words(a_aszWords);
        return m_ptwainimpl->DSWait(words);
    }
};

// ---------------------------------------------------------------------------
// Transfer ready and the discard counter
// ---------------------------------------------------------------------------
TEST_F(TwainEventsTest, TransferReadySetsTheFlagAndState6UnlessTheDiscardCounterSwallowsIt)
{
    m_ptwainimpl->m_i32DiscardXferReady = -3;   // negative: discards nothing
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_XFERREADY..."));
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
    EXPECT_EQ(m_ptwainimpl->m_i32DiscardXferReady.load(), -3);
    EXPECT_TRUE(Fake().acalls.empty()) << "a transfer-ready event sends nothing";

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
}

TEST_F(TwainEventsTest, AnEnableThatReturnsAfterTheTransferReadyEventKeepsState6)
{
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);   // arrives while MSG_ENABLEDS is under way
    m_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    m_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSENABLED);
}

// ---------------------------------------------------------------------------
// Close requests and auto-disable
// ---------------------------------------------------------------------------
TEST_F(TwainEventsTest, CloseEventsDisableTheSourceWhenAutoDisableIsOn)
{
    struct Case
    {
        TW_UINT16 twmsg;
        ETWSTATE etwstateFrom;
        bool blAutoDisable;
        TW_UINT16 twrcDisable;
        std::vector<std::string> aszLines;
        ETWSTATE etwstateTo;
    };
    const std::vector<std::string> aszReq = Report("  *** Got MSG_CLOSEDSREQ...");
    std::vector<std::string> aszRefused = aszReq;
    aszRefused.push_back("TWRC_FAILURE/TWCC_SEQERROR");
    const Case acase[] = {
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, true, TWRC_SUCCESS, aszReq, ETWSTATE_DSOPEN},
        {MSG_CLOSEDSOK, ETWSTATE_XFERREADY, true, TWRC_SUCCESS, Report("  *** Got MSG_CLOSEDSOK..."), ETWSTATE_DSOPEN},
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, true, TWRC_FAILURE, aszRefused, ETWSTATE_DSOPEN},   // the state still drops
        {MSG_CLOSEDSREQ, ETWSTATE_DSENABLED, false, TWRC_SUCCESS, aszReq, ETWSTATE_DSENABLED},   // only the flag
        {MSG_CLOSEDSREQ, ETWSTATE_DSMOPEN, true, TWRC_SUCCESS, aszReq, ETWSTATE_DSMOPEN},        // source closed already
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(std::to_string(&c - acase));
        Fake().Reset();
        m_log.Clear();
        m_ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSREQ] = 0;
        m_ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSOK] = 0;
        Fake().twrcDisable = c.twrcDisable;
        m_ptwainimpl->m_blAutoDisable = c.blAutoDisable;
        m_ptwainimpl->SetTwState(c.etwstateFrom);
        m_ptwainimpl->ProcessEvent(c.twmsg);
        EXPECT_EQ(Lines(), c.aszLines);
        EXPECT_EQ(Flag(ETWEVENT_CLOSEDSREQ), c.twmsg == MSG_CLOSEDSREQ);
        EXPECT_EQ(Flag(ETWEVENT_CLOSEDSOK), c.twmsg == MSG_CLOSEDSOK);
        EXPECT_EQ(m_ptwainimpl->GetTwState(), c.etwstateTo);
        if (!c.blAutoDisable)
        {
            EXPECT_TRUE(Fake().acalls.empty());
        }
        if (!c.blAutoDisable || (c.etwstateFrom == ETWSTATE_DSMOPEN))
        {
            continue;
        }
        ASSERT_EQ(Fake().Triplets().size(), (c.twrcDisable == TWRC_SUCCESS) ? 1u : 2u);   // with DAT_STATUS
        const FakeCall &call = Fake().acalls[0];
        EXPECT_EQ(call.twdg, DG_CONTROL);
        EXPECT_EQ(call.twdat, DAT_USERINTERFACE);
        EXPECT_EQ(call.twmsg, MSG_DISABLEDS);
        EXPECT_TRUE(call.blDest);
        EXPECT_EQ(call.twShowUI, 0);
        EXPECT_EQ(call.hParent, nullptr);
    }
}

TEST_F(TwainEventsTest, TheEventObjectIsSignalledByAnAutoDisable)
{
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
// Device events
// ---------------------------------------------------------------------------
struct DeviceEventCase
{
    TW_UINT32 twEvent;
    int iFlag;           // -1: only the device-event flag
    const char *szLine;
};

class TwainDeviceEventTest : public TwainEventsTest, public testing::WithParamInterface<DeviceEventCase>
{
};

TEST_P(TwainDeviceEventTest, FetchesTheEventPrintsItsLineAndSetsItsFlag)
{
    const DeviceEventCase &c = GetParam();
    Fake().twdeviceevent.Event = c.twEvent;
    snprintf(Fake().twdeviceevent.DeviceName, sizeof(Fake().twdeviceevent.DeviceName), "%s", "usb:1-2");
    Fake().twdeviceevent.TimeBeforeFirstCapture = 4500;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Lines(), Report(c.szLine));
    ASSERT_EQ(Fake().acalls.size(), 1u);
    EXPECT_EQ(Fake().acalls[0].twdat, DAT_DEVICEEVENT);
    EXPECT_EQ(Fake().acalls[0].twmsg, MSG_GET);
    EXPECT_TRUE(Fake().acalls[0].blDest);
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        bool blExpected = (ii == ETWEVENT_DEVICEEVENT) || (ii == c.iFlag);
        EXPECT_EQ(Flag(ii), blExpected ? 1 : 0) << "flag " << ii;
    }
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSENABLED);
}

INSTANTIATE_TEST_SUITE_P(
    AllEvents, TwainDeviceEventTest,
    testing::Values(
        DeviceEventCase{TWDE_CHECKAUTOMATICCAPTURE, 4, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKAUTOMATICCAPTURE)"},
        DeviceEventCase{TWDE_CHECKBATTERY, 5, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKBATTERY)"},
        DeviceEventCase{TWDE_CHECKDEVICEONLINE, 6, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKDEVICEONLINE)"},
        DeviceEventCase{TWDE_CHECKFLASH, 7, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKFLASH)"},
        DeviceEventCase{TWDE_CHECKPOWERSUPPLY, 8, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKPOWERSUPPLY)"},
        DeviceEventCase{TWDE_CHECKRESOLUTION, 9, "  *** Got MSG_DEVICEEVENT (TWDE_CHECKRESOLUTION)"},
        DeviceEventCase{TWDE_DEVICEADDED, 10, "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:1-2>)"},
        DeviceEventCase{TWDE_DEVICEOFFLINE, 11, "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEOFFLINE)"},
        DeviceEventCase{TWDE_DEVICEREADY, 12, "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEREADY)"},
        DeviceEventCase{TWDE_DEVICEREMOVED, 13, "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEREMOVED,<usb:1-2>)"},
        DeviceEventCase{TWDE_IMAGECAPTURED, 14, "  *** Got MSG_DEVICEEVENT (TWDE_IMAGECAPTURED)"},
        DeviceEventCase{TWDE_IMAGEDELETED, 15, "  *** Got MSG_DEVICEEVENT (TWDE_IMAGEDELETED)"},
        DeviceEventCase{TWDE_PAPERDOUBLEFEED, 16, "  *** Got MSG_DEVICEEVENT (TWDE_PAPERDOUBLEFEED)"},
        DeviceEventCase{TWDE_PAPERJAM, 17, "  *** Got MSG_DEVICEEVENT (TWDE_PAPERJAM)"},
        DeviceEventCase{TWDE_LAMPFAILURE, 18, "  *** Got MSG_DEVICEEVENT (TWDE_LAMPFAILURE)"},
        DeviceEventCase{TWDE_POWERSAVE, 19, "  *** Got MSG_DEVICEEVENT (TWDE_POWERSAVE)"},
        DeviceEventCase{TWDE_POWERSAVENOTIFY, 20, "  *** Got MSG_DEVICEEVENT (TWDE_POWERSAVENOTIFY)"},
        DeviceEventCase{TWDE_LAMPWARMUP, ETWEVENT_LAMPWARMUP, "  *** Got MSG_DEVICEEVENT (TWDE_LAMPWARMUP,4500)"},
        DeviceEventCase{17, -1, "  *** Got MSG_DEVICEEVENT (0x11)"},
        DeviceEventCase{0x8001, -1, "  *** Got MSG_DEVICEEVENT (0x8001)"}));

TEST_F(TwainEventsTest, AFailedDeviceEventRequestIsReportedAndKeepsTheDeviceEventFlag)
{
    Fake().blDeviceEvent = false;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_DEVICEEVENT (get device event failed)..."));
    EXPECT_EQ(Flag(ETWEVENT_DEVICEEVENT), 1);
}

TEST_F(TwainEventsTest, ADeviceNameWithoutTerminatorStaysInsideItsField)
{
    // The sanitizer build catches any read past the field.
    Fake().twdeviceevent.Event = TWDE_DEVICEREMOVED;
    memset(Fake().twdeviceevent.DeviceName, 'x', sizeof(Fake().twdeviceevent.DeviceName));
    Fake().twdeviceevent.BatteryMinutes = 0x4141414141414141UL;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Lines().size(), 3u);
    EXPECT_EQ(Flag(ETWEVENT_TWDE_FIRST + TWDE_DEVICEREMOVED), 1);
}

// ---------------------------------------------------------------------------
// Other messages and the callback's sorting
// ---------------------------------------------------------------------------
TEST_F(TwainEventsTest, AnUnknownMessageIsReported)
{
    m_ptwainimpl->ProcessEvent(0x0999);
    EXPECT_EQ(Lines(), Report("  *** Unrecognized event...DG_CONTROL/DAT_NULL/0x999"));
}

TEST_F(TwainEventsTest, TheCallbackTakesBothFormsOfDeliveryAndReportsAnythingElse)
{
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
    m_log.Clear();
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DAT_CALLBACK, MSG_INVOKE_CALLBACK, MSG_CLOSEDSOK, nullptr),
              TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_CLOSEDSOK), 1);
    m_log.Clear();
    EXPECT_EQ(m_ptwainimpl->TwnCallBack(nullptr, nullptr, DG_IMAGE, DAT_NULL, MSG_CLOSEDSREQ, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report("  *** Got a weird event...0x2/0x0/0x102"));
    EXPECT_EQ(Flag(ETWEVENT_CLOSEDSREQ), 0);
}

TEST_F(TwainEventsTest, TheStaticCallbackReachesTheMostRecentConnectionWhenTheDestinationIsUnknown)
{
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
TEST_F(TwainEventsTest, AWaitWithoutWordsOrWithoutItsEventTimesOut)
{
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
}

TEST_F(TwainEventsTest, AFlagAlreadySetEndsTheWaitAtOnceAndStaysSet)
{
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    m_ptwainimpl->m_twrcLast = 0x55;
    EXPECT_EQ(Wait({"wait", "infinite", "msg_xferready"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_XFERREADY");
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, 0x55) << "a hit leaves the last return code alone";
    EXPECT_EQ(Wait({"wait", "forever", "MSG_XFERREADY"}), TWRC_SUCCESS);
    EXPECT_EQ(Wait({"wait", "-1", "Msg_XferReady"}), TWRC_SUCCESS);
    EXPECT_EQ(Flag(ETWEVENT_XFERREADY), 1);
}

TEST_F(TwainEventsTest, AWaitEndsOnlyOnceItsEventWasHandledWhole)
{
    // The source is slow to answer the callback's own requests: the wait
    // must not return in the middle of them, so that what the script does
    // next finds the source disabled, the state moved and the report printed.
    Fake().onCall = [](TW_UINT16 a_twdat, TW_UINT16) {
        if ((a_twdat == DAT_USERINTERFACE) || (a_twdat == DAT_DEVICEEVENT))
        {
            COsTime::Sleep(400, __FILE__, __LINE__);
        }
    };
    std::thread threadClose([this]() { m_ptwainimpl->ProcessEvent(MSG_CLOSEDSREQ); });
    EXPECT_EQ(Wait({"wait", "20000", "msg_closedsreq"}), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSOPEN) << "the disable has already moved the state";
    EXPECT_EQ(Lines(), Report("  *** Got MSG_CLOSEDSREQ..."));
    threadClose.join();

    m_log.Clear();
    Fake().twdeviceevent.Event = TWDE_PAPERJAM;
    std::thread threadDevice([this]() { m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT); });
    EXPECT_EQ(Wait({"wait", "20000", "deviceevent"}), TWRC_SUCCESS);
    EXPECT_EQ(Lines(), Report("  *** Got MSG_DEVICEEVENT (TWDE_PAPERJAM)")) << "the report is printed before";
    threadDevice.join();
    EXPECT_EQ(Flag(ETWEVENT_TWDE_FIRST + TWDE_PAPERJAM), 1);
}

TEST_F(TwainEventsTest, AWaitTakesTheFirstWantedFlagInItsOwnOrder)
{
    m_ptwainimpl->m_blAutoDisable = false;
    m_ptwainimpl->ProcessEvent(MSG_XFERREADY);
    m_ptwainimpl->ProcessEvent(MSG_CLOSEDSREQ);
    m_ptwainimpl->ProcessEvent(MSG_CLOSEDSOK);
    EXPECT_EQ(Wait({"wait", "10", "msg_xferready", "msg_closedsreq", "msg_closedsok"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_CLOSEDSOK");
    EXPECT_EQ(Wait({"wait", "10", "msg_xferready", "msg_closedsreq"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "MSG_CLOSEDSREQ");

    // Any device event comes before the device-offline event, but after a
    // battery check.
    Fake().twdeviceevent.Event = TWDE_DEVICEOFFLINE;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Wait({"wait", "10", "twde_deviceoffline", "deviceevent"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "DEVICEEVENT");
    Fake().twdeviceevent.Event = TWDE_CHECKBATTERY;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Wait({"wait", "10", "DEVICEEVENT", "TWDE_CHECKBATTERY", "MSG_CLOSEDSOK"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "TWDE_CHECKBATTERY");
    Fake().twdeviceevent.Event = TWDE_LAMPWARMUP;
    m_ptwainimpl->ProcessEvent(MSG_DEVICEEVENT);
    EXPECT_EQ(Wait({"wait", "10", "twde_lampwarmup", "msg_xferready"}), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_szLastEvent, "TWDE_LAMPWARMUP");
}

TEST_F(TwainEventsTest, ClearClearsEveryFlagOrTheNamedOnesAndSetsAutoDisable)
{
    // clearnoauto with events: only those flags, auto-disable off; clear alone: every flag, auto-disable on.
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

TEST_F(TwainEventsTest, EveryEventWordIsAcceptedInAnyCase)
{
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

// ---------------------------------------------------------------------------
// Memory handles
// ---------------------------------------------------------------------------
TEST_F(TwainEventsTest, AHandleIsFreedByTheFamilyThatAllocatedIt)
{
    // Made by the services layer before the DSM's functions are known...
    DSM_MEMALLOCATE pfnAllocate = m_ptwainimpl->m_twentrypoint.DSM_MemAllocate;
    m_ptwainimpl->m_twentrypoint.DSM_MemAllocate = nullptr;
    m_ptwainimpl->m_twentrypoint.DSM_MemFree = nullptr;
    m_ptwainimpl->m_twentrypoint.DSM_MemLock = nullptr;
    m_ptwainimpl->m_twentrypoint.DSM_MemUnlock = nullptr;
    uint64_t u64Blocks = g_posmem->GetAllocationCount();
    TW_HANDLE handleOs = m_ptwainimpl->DsMemAlloc(64);
    ASSERT_NE(handleOs, nullptr);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks + 1);
    EXPECT_EQ(static_cast<uint8_t *>(m_ptwainimpl->DsMemLock(handleOs))[63], 0) << "zero-filled";
    m_ptwainimpl->DsMemUnlock(handleOs);

    // ...and one by the DSM once it is.
    FakeConnect(m_ptwainimpl.get(), ETWSTATE_DSOPEN);
    EXPECT_EQ(Packed(m_ptwainimpl->m_twentrypoint.DSM_MemAllocate), pfnAllocate);
    TW_HANDLE handleDsm = m_ptwainimpl->DsMemAlloc(32);
    ASSERT_NE(handleDsm, nullptr);
    EXPECT_EQ(Fake().setLive.count(handleDsm), 1u);
    EXPECT_EQ(m_ptwainimpl->DsMemLock(handleDsm), handleDsm);
    m_ptwainimpl->DsMemUnlock(handleDsm);

    // The first goes back to the services layer although the DSM's
    // functions are now known (the fake fails the test otherwise).
    m_ptwainimpl->DsMemFree(handleOs);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks);
    EXPECT_EQ(Fake().iFrees, 0);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_EQ(Fake().iFrees, 1);
    EXPECT_TRUE(Fake().setLive.empty());
}

TEST_F(TwainEventsTest, AHandleOfAClosedDsmIsNeitherFreedNorLockedByTheServicesLayer)
{
    TW_HANDLE handleDsm = m_ptwainimpl->DsMemAlloc(16);
    ASSERT_NE(handleDsm, nullptr);
    uint64_t u64Blocks = g_posmem->GetAllocationCount();
    memset(&m_ptwainimpl->m_twentrypoint, 0, sizeof(m_ptwainimpl->m_twentrypoint));   // the DSM was closed
    EXPECT_EQ(m_ptwainimpl->DsMemLock(handleDsm), nullptr);
    m_ptwainimpl->DsMemUnlock(handleDsm);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_EQ(g_posmem->GetAllocationCount(), u64Blocks);
    EXPECT_EQ(Fake().setLive.count(handleDsm), 1u) << "left to its own family";
    // Once that DSM is back, the handle can still be freed by it.
    FakeConnect(m_ptwainimpl.get(), ETWSTATE_DSOPEN);
    m_ptwainimpl->DsMemFree(handleDsm);
    EXPECT_TRUE(Fake().setLive.empty());
}

TEST_F(TwainEventsTest, HandlesOfTheSourceAreFreedByTheCurrentFamily)
{
    TW_HANDLE handleSource = FakeMemAllocate(10);   // a container the source made
    m_ptwainimpl->DsMemFree(handleSource);
    EXPECT_EQ(Fake().iFrees, 1);
    m_ptwainimpl->DsMemFree(nullptr);
    EXPECT_EQ(m_ptwainimpl->DsMemAlloc(-1), nullptr);
}

} // namespace
