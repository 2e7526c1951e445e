// test_e2e_events.cpp
// Events the simulated scanner sends on its own after it was opened, caught
// by the wait command of the real program: close OK with and without
// auto-disable, device events with their report lines (the custom
// lamp warm-up event too), the order in which a wait picks its event, the
// time-out, and two TWAIN objects each receiving only their own events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::SimShell;

namespace
{

// An event report: an empty line, the report, an empty line.
std::vector<std::string> Report(const std::string &a_szLine)
{
    return {"", a_szLine, ""};
}

const char s_szOpen[] = "twcreate\ndsmopen\ndsopen \"Simulated Scanner\"\n";
// Close OK ends a settings-only enable: the simulated user closes the
// dialog 300 ms after it opened.
const char s_szUiOnly[] = "dat_userinterface msg_enabledsuionly\n";
const char s_szCloseOk[] = "[scanner]\nuionly.reply = none\non enableuionly send MSG_CLOSEDSOK after 300 ms\n";

} // namespace

TEST(E2eEvents, ACloseOkSendsTheDisableUnlessClearNoAutoTurnedItOff)
{
    for (bool blNoAuto : {false, true})
    {
        SCOPED_TRACE(blNoAuto);
        SimShell sh(s_szCloseOk);
        sh.Dir().Write("w.txt", std::string(blNoAuto ? "wait clearnoauto\n" : "") + "wait 10000 msg_closedsok\n" +
                                    (blNoAuto ? "" : "dat_userinterface msg_disableds\n") +
                                    "ifstatus msg_closedsok\n echo got close ok\nend\n");
        e2e::Result r = sh.Run(std::string(s_szOpen) + s_szUiOnly + "run w\nexit\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(sh.HasSequence(Report("  *** Got MSG_CLOSEDSOK..."))) << r.out;
        EXPECT_TRUE(sh.Has(Bold("got close ok")));
        EXPECT_EQ(sh.Journal({"send", "MSG_CLOSEDSOK"}).size(), 1u);
        if (blNoAuto)
        {
            EXPECT_TRUE(sh.Journal({"MSG_DISABLEDS"}).empty());
            EXPECT_EQ(sh.CountAffixed("TWRC_", ""), 0);
            continue;
        }
        // The wait returns only once the event was handled whole: the script's
        // own disable comes after the automatic one, in state 4.
        EXPECT_TRUE(sh.HasInOrder({"  *** Got MSG_CLOSEDSOK...", "TWRC_FAILURE/TWCC_SEQERROR", Bold("got close ok")}))
            << r.out;
        // ShowUI 0, ModalUI 0, no parent.
        EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS", "state=5->4",
                              "data=000000000000000000000000"}).size(),
                  1u);
    }
}

TEST(E2eEvents, DeviceEventsAreFetchedAndReported)
{
    SimShell sh("[scanner]\n"
                  "cap CAP_DEVICEEVENT array uint16 TWDE_LAMPWARMUP TWDE_DEVICEADDED TWDE_PAPERJAM TWDE_CHECKBATTERY\n"
                  "on open send MSG_DEVICEEVENT TWDE_LAMPWARMUP after 200 ms timebeforefirstcapture=3000\n"
                  "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED after 250 ms devicename=usb:1-4\n"
                  "on open send MSG_DEVICEEVENT TWDE_PAPERJAM after 300 ms\n"
                  "uionly.reply = none\non enableuionly send MSG_CLOSEDSOK after 400 ms\n");
    sh.Dir().Write("w.txt", "wait clearnoauto\n"
                            "wait 10000 msg_closedsok\n"
                            "wait 1 deviceevent\n"
                            "ifstatus twrc_success\n echo any device event\nend\n"
                            "wait 1 twde_paperjam twde_lampwarmup\n"
                            "ifstatus twde_lampwarmup\n echo warm-up first\nend\n"
                            "wait 1 twde_paperjam twde_deviceadded\n"
                            "ifstatus twde_deviceadded\n echo device added before paper jam\nend\n"
                            "wait 1 twde_checkbattery\n"
                            "ifstatus twrc_datanotavailable\n echo no battery event\nend\n");
    e2e::Result r = sh.Run(std::string(s_szOpen) + s_szUiOnly + "run w\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasSequence(Report("  *** Got MSG_DEVICEEVENT (TWDE_LAMPWARMUP,3000)"))) << r.out;
    EXPECT_TRUE(sh.HasSequence(Report("  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:1-4>)")));
    EXPECT_TRUE(sh.HasSequence(Report("  *** Got MSG_DEVICEEVENT (TWDE_PAPERJAM)")));
    EXPECT_TRUE(sh.Has(Bold("warm-up first")));
    EXPECT_TRUE(sh.Has(Bold("any device event")));
    EXPECT_TRUE(sh.Has(Bold("device added before paper jam")));
    EXPECT_TRUE(sh.Has(Bold("no battery event")));
    // Each event was fetched once, from the callback.
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_DEVICEEVENT/MSG_GET", "rc=TWRC_SUCCESS"}).size(), 3u);
}

// What a wait leaves as the last return code: 9 after a time-out, 1 after a
// bad word; a wait without a source does nothing.
TEST(E2eEvents, AWaitThatCatchesNothingSetsTheLastReturnCode)
{
    const struct
    {
        std::string szInput;
        int iStatus;
        const char *szLine;
    } acase[] = {
        {std::string(s_szOpen) + "wait 250 msg_xferready\nifstatus msg_xferready\n echo never\nend\n", 9, nullptr},
        {std::string(s_szOpen) + "wait 100000 msg_xferready tomorrow\n", 1, "unrecognized event...<tomorrow>"},
        {"twcreate\ndsmopen\nreturn TWRC_CANCEL\nwait 100000 msg_xferready\n", 3, nullptr},
    };
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szInput);
        SimShell sh;
        sh.Dir().Write("w.txt", c.szInput);
        e2e::Result r = sh.Run("run w\nreturn\nsetexitstatus\nexit\n");
        EXPECT_EQ(r.status, c.iStatus);
        EXPECT_FALSE(sh.Has(Bold("never")));
        EXPECT_TRUE(!c.szLine || sh.Has(c.szLine)) << r.out;
    }
}

TEST(E2eEvents, TwoObjectsEachReceiveOnlyTheirOwnEvents)
{
    // Object 0 opens the scanner, which reports a device; object 1 (the most
    // recently made) opens the ZAV source, which says close OK.
    SimShell sh("[scanner]\ncap CAP_DEVICEEVENT array uint16 TWDE_DEVICEADDED\n"
                "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED after 400 ms devicename=usb:3\n"
                "[zav]\nuionly.reply = none\non enableuionly send MSG_CLOSEDSOK after 400 ms\n");
    sh.Dir().Write("w.txt", "wait 10000 msg_closedsok\n"
                            "ifstatus msg_closedsok\n echo one close ok\nend\n"
                            "wait 500 twde_deviceadded\n"
                            "ifstatus twrc_datanotavailable\n echo one no device event\nend\n"
                            "twset 0\n"
                            "wait 10000 twde_deviceadded\n"
                            "ifstatus twde_deviceadded\n echo zero device event\nend\n"
                            "wait 500 msg_closedsok\n"
                            "ifstatus twrc_datanotavailable\n echo zero no close ok\nend\n");
    e2e::Result r = sh.Run(std::string(s_szOpen) + "twcreate\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n" + s_szUiOnly + "run w\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has(Bold("one close ok")));
    EXPECT_TRUE(sh.Has(Bold("one no device event")));
    EXPECT_TRUE(sh.Has(Bold("zero device event")));
    EXPECT_TRUE(sh.Has(Bold("zero no close ok")));
    EXPECT_EQ(sh.CountOf("  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:3>)"), 1);
    EXPECT_EQ(sh.CountOf("  *** Got MSG_CLOSEDSOK..."), 1);
    // The auto-disable went to the source that said close OK.
    EXPECT_TRUE(sh.Journal({"scanner DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS"}).empty());
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_DEVICEEVENT/MSG_GET", "rc=TWRC_SUCCESS"}).size(), 1u);
}
