// test_platform_sim_events.cpp
//
// Events of the simulated sources: sent through the DSM's callback from the
// source's own thread after the call that caused them has returned (close OK
// after a settings-only enable, waited for by dscap: test_e2e_capbattery.cpp),
// device events answered by DAT_DEVICEEVENT, configured events and delays,
// calls back into the source from the callback, the DAT_EVENT path of a
// source that has no callback, an event the DSM refuses, and the event queue
// under many enable and disable cycles.

#include "test_platform_sim.h"

using namespace simtest;

namespace
{
using SimEventsTest = SimTest;

void SetHook(std::function<void(TW_UINT16)> a_pfn)
{
    std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
    Callbacks::Get().m_pfnHook = a_pfn;
}

TW_UINT16 SetDeviceEvents(App& a_app, std::initializer_list<TW_UINT16> a_au16)
{
    std::vector<std::vector<unsigned char>> aau8;
    for (TW_UINT16 u16 : a_au16)
    {
        aau8.push_back(Item<TW_UINT16>(u16));
    }
    return a_app.SetCap(MSG_SET, CAP_DEVICEEVENT, TWON_ARRAY, List(TWON_ARRAY, TWTY_UINT16, aau8));
}
}

TEST_F(SimEventsTest, XferReadyComesFromTheSourceThreadAfterEnableReturned)
{
    App& app = Open(kScanner);
    ASSERT_EQ(app.m_u16Callback, TWRC_SUCCESS);
    TW_USERINTERFACE twui = {};
    twui.ShowUI = 1;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    Event event;
    ASSERT_TRUE(app.WaitEvent(MSG_XFERREADY, 20000, &event));
    EXPECT_NE(event.m_threadid, std::this_thread::get_id());
    // The source finished the enable (its journal line is written as its call
    // ends) before it sent the event.
    std::vector<std::string> aszEnable = JournalWith({"call", "MSG_ENABLEDS", "rc=TWRC_SUCCESS"});
    std::vector<std::string> aszReady = JournalWith({"send", "MSG_XFERREADY"});
    ASSERT_EQ(aszEnable.size(), 1u);
    ASSERT_EQ(aszReady.size(), 1u);
    EXPECT_LT(std::stoul(aszEnable[0].substr(5)), std::stoul(aszReady[0].substr(5)));
    EXPECT_EQ(event.m_u32OriginId, +app.Ds().Id);
    // The source is in state 6: it answers the image information.
    TW_IMAGEINFO twinfo;
    EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(JournalWith({"send", "DAT_NULL/MSG_XFERREADY", "state=5->6"}).size(), 1u);
}

TEST_F(SimEventsTest, DisableBeforeTheEventCancelsIt)
{
    Config("xferready.delay = 300\n");
    App& app = Open(kScanner);
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui), TWRC_SUCCESS);
    EXPECT_FALSE(app.WaitEvent(MSG_XFERREADY, 600));
    // Enabled again, the event comes after its delay.
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(app.EnableAndWait());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST_F(SimEventsTest, ConfiguredCloseRequestOnlyWhileEnabledAfterItsDelay)
{
    Config("uionly.reply = none\non open send MSG_CLOSEDSREQ after 20 ms\n"
           "on enableuionly send MSG_CLOSEDSREQ after 200 ms\n");
    App& app = Open(kScanner);
    EXPECT_FALSE(app.WaitEvent(MSG_CLOSEDSREQ, 300)) << "not asked for in state 4";
    auto start = std::chrono::steady_clock::now();
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &twui), TWRC_SUCCESS);
    ASSERT_TRUE(app.WaitEvent(MSG_CLOSEDSREQ));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(180));
    EXPECT_FALSE(app.WaitEvent(MSG_CLOSEDSOK, 300));
    EXPECT_EQ(JournalWith({"send", "MSG_CLOSEDSREQ", "state=5->5"}).size(), 1u);
}

TEST_F(SimEventsTest, CloseOkOnlyWhileEnabledForTheUserInterfaceOnly)
{
    Config("xferready.delay = 60000\non open send MSG_CLOSEDSOK after 20 ms\non enable send MSG_CLOSEDSOK after 20 ms\n");
    App& app = Open(kScanner);
    EXPECT_FALSE(app.WaitEvent(MSG_CLOSEDSOK, 200)) << "not in state 4";
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    EXPECT_FALSE(app.WaitEvent(MSG_CLOSEDSOK, 200)) << "not while enabled to scan";
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui), TWRC_SUCCESS);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &twui), TWRC_SUCCESS);
    ASSERT_TRUE(app.WaitEvent(MSG_CLOSEDSOK));
    EXPECT_EQ(JournalWith({"send", "MSG_CLOSEDSOK", "state=5->5"}).size(), 1u);
}

TEST_F(SimEventsTest, DeviceEventsOnlyWhenAskedFor)
{
    Config("on enable send MSG_DEVICEEVENT TWDE_LAMPWARMUP after 10 ms timebeforefirstcapture=3000\n"
           "on enable send MSG_DEVICEEVENT TWDE_PAPERJAM\n"
           "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED devicename=\"usb:1\"\n");
    App& app = Open(kScanner);
    // Not asked for in CAP_DEVICEEVENT: nothing comes.
    ASSERT_TRUE(app.EnableAndWait());
    EXPECT_EQ(app.EventCount(MSG_DEVICEEVENT), 0u);
    TW_DEVICEEVENT twde;
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &twde)), TWCC_SEQERROR);
    app.Close();

    Callbacks::Get().m_aevent.clear();
    App& app2 = Open(kScanner);
    ASSERT_EQ(SetDeviceEvents(app2, {TWDE_LAMPWARMUP}), TWRC_SUCCESS);
    ASSERT_TRUE(app2.EnableAndWait());
    ASSERT_TRUE(app2.WaitEvent(MSG_DEVICEEVENT));
    std::memset(&twde, 0, sizeof(twde));
    ASSERT_EQ(app2.Call(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &twde), TWRC_SUCCESS);
    EXPECT_EQ(+twde.Event, static_cast<TW_UINT32>(TWDE_LAMPWARMUP));
    EXPECT_EQ(+twde.TimeBeforeFirstCapture, 3000u);
    // One event, one answer; the paper jam was not asked for.
    EXPECT_EQ(app2.Call(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &twde), TWRC_FAILURE);
    EXPECT_EQ(app2.EventCount(MSG_DEVICEEVENT), 1u);
    EXPECT_EQ(JournalWith({"send", "MSG_DEVICEEVENT", "event=TWDE_LAMPWARMUP"}).size(), 1u);
}

TEST_F(SimEventsTest, CallbackMayCallTheSourceBack)
{
    Config("xferready.delay = 1000\n"
           "on enable send MSG_DEVICEEVENT TWDE_DEVICEREADY after 20 ms\n"
           "on enable send MSG_CLOSEDSREQ after 60 ms\n");
    App& app = Open(kScanner);
    ASSERT_EQ(SetDeviceEvents(app, {TWDE_DEVICEREADY}), TWRC_SUCCESS);
    std::atomic<int> iDeviceRc(-1);
    std::atomic<TW_UINT32> u32Event(0xFFFF);
    std::atomic<int> iDisableRc(-1);
    SetHook([&](TW_UINT16 a_u16Msg) {
        // As the program does on its callback's thread.
        if (a_u16Msg == MSG_DEVICEEVENT)
        {
            TW_DEVICEEVENT twde = {};
            iDeviceRc = app.Call(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &twde);
            u32Event = twde.Event;
        }
        if (a_u16Msg == MSG_CLOSEDSREQ)
        {
            TW_USERINTERFACE twui = {};
            iDisableRc = app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui);
        }
    });
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    ASSERT_TRUE(app.WaitEvent(MSG_CLOSEDSREQ));
    EXPECT_EQ(iDeviceRc.load(), TWRC_SUCCESS);
    EXPECT_EQ(u32Event.load(), static_cast<TW_UINT32>(TWDE_DEVICEREADY));
    EXPECT_EQ(iDisableRc.load(), TWRC_SUCCESS);
    // Disabled from the callback: the pending MSG_XFERREADY never comes.
    EXPECT_FALSE(app.WaitEvent(MSG_XFERREADY, 1300));
    SetHook(nullptr);
}

TEST_F(SimEventsTest, SourceWithoutCallbackDeliversEventsThroughDatEvent)
{
    App& app = Open(kScanner1x);
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    // The first protocol generation: the application polls DAT_EVENT.
    TW_EVENT twevent = {};
    TW_UINT16 u16Rc = TWRC_NOTDSEVENT;
    for (int ii = 0; ii < 2000 && u16Rc == TWRC_NOTDSEVENT; ii++)
    {
        u16Rc = app.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twevent);
        if (u16Rc == TWRC_NOTDSEVENT)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ASSERT_EQ(u16Rc, TWRC_DSEVENT);
    EXPECT_EQ(twevent.TWMessage, MSG_XFERREADY);
    EXPECT_EQ(app.EventCount(MSG_XFERREADY), 0u);
    TW_IMAGEINFO twinfo;
    EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twevent), TWRC_NOTDSEVENT);
}

TEST_F(SimEventsTest, EventsOfAClosedSourceAreDropped)
{
    Config("cap CAP_DEVICEEVENT array uint16 TWDE_PAPERJAM\non open send MSG_DEVICEEVENT TWDE_PAPERJAM after 150 ms\n");
    {
        App app(kScanner);
        ASSERT_TRUE(app.Opened());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
    EXPECT_TRUE(Callbacks::Get().m_aevent.empty());
}

TEST_F(SimEventsTest, AnEventTheDsmRefusesLeavesTheStateUnchanged)
{
    // No callback registered: the DSM cannot deliver MSG_XFERREADY.
    App& app = Open(kScanner, true, false);
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS);
    for (int ii = 0; ii < 2000 && JournalWith({"send", "MSG_XFERREADY"}).empty(); ii++)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(JournalWith({"send", "MSG_XFERREADY"}).size(), 1u);
    // The source took state 6 before it sent; once the DSM refused, it is
    // back in state 5: no image information, and the disable works.
    TW_IMAGEINFO twinfo;
    TW_UINT16 u16Cc = 0xFFFF;
    for (int ii = 0; ii < 2000 && u16Cc != TWCC_SEQERROR; ii++)
    {
        u16Cc = app.FailCc(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo));
        if (u16Cc != TWCC_SEQERROR)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_EQ(u16Cc, TWCC_SEQERROR);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui), TWRC_SUCCESS);
}

TEST_F(SimEventsTest, ManyEnableDisableCyclesWhileAnEventWaits)
{
    // The event thread waits for the far event while every enable adds one
    // and every disable takes it away again.
    Config("xferready.delay = 60000\non open send MSG_DEVICEEVENT TWDE_PAPERJAM after 600000 ms\n");
    App& app = Open(kScanner);
    TW_USERINTERFACE twui = {};
    for (int ii = 0; ii < 5000; ii++)
    {
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui), TWRC_SUCCESS) << ii;
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui), TWRC_SUCCESS) << ii;
    }
}

TEST_F(SimEventsTest, ManyConfiguredEventsAllArrive)
{
    // Configured in reverse order of their times, all due within a second of
    // the enable (at open, the first would race the callback's registration).
    const std::size_t uCount = 70000;
    std::string szConfig = "uionly.reply = none\n";
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        szConfig += "on enableuionly send MSG_CLOSEDSOK after " + std::to_string(1000 - ii * 1000 / uCount) + "\n";
    }
    Config(szConfig);
    unsetenv("SIMSCANNER_JOURNAL");
    App& app = Open(kScanner);
    TW_USERINTERFACE twui = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &twui), TWRC_SUCCESS);
    // Polled, so that the callback seldom waits for the test's lock; a busy
    // machine may take long, so only 10 s without any progress ends the wait.
    std::size_t uSeen = 0;
    for (int iIdle = 0; iIdle < 200 && uSeen < uCount; iIdle++)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::size_t uNow = app.EventCount(MSG_CLOSEDSOK);
        if (uNow != uSeen)
        {
            uSeen = uNow;
            iIdle = 0;
        }
    }
    EXPECT_EQ(app.EventCount(MSG_CLOSEDSOK), uCount);
}
