// test_e2e_stress.cpp
// The stress test, its vibration loops, the scan-rate measurement and the
// Data Source probe through the real program and the simulated scanner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::SimShell;

namespace
{

std::string Title(const std::string &a_szDat)
{
    return "\033[31m\033[1m" + a_szDat + " stress test...\033[0m";
}

} // namespace

TEST(E2eStress, ZavSourcePassesEveryTestThatAppliesThenRunsTheBattery)
{
    // The source stays in state 5 while enabled, however slowly the lines
    // below follow each other.
    SimShell sh("[zav]\nxferready.delay = 600000\n");
    sh.KeepDsmLog();
    sh.Run("twstress 2.4 ZAV\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"set to Simulated Scanner ZAV", "DAT_CAPABILITY passed...", "DAT_CUSTOMDSDATA passed...",
                               "DAT_ENTRYPOINT skipped...", "DAT_EVENT passed...", "DAT_FILESYSTEM skipped...",
                               "DAT_IDENTITY passed...", "DAT_SETUPFILEXFER passed...", "DAT_SETUPMEMXFER passed...",
                               "DAT_STATUS passed...", "DAT_USERINTERFACE passed...", "DAT_XFERGROUP passed...",
                               "DAT_STATUSRAW passed...",
                               "This section runs very slowly when using TWAIN_32.DLL, this is normal...",
                               "the last CTwain object has been destroyed (none left)..."}));
    EXPECT_TRUE(sh.HasSequence({"  MSG_GET NULL (should fail)", "  MSG_GETDEFAULT", "  MSG_GETDEFAULT NULL (should fail)",
                                "  MSG_GETFIRST NULL (should fail)", "  MSG_GETNEXT NULL (should fail)",
                                "  MSG_USERSELECT NULL (should fail)", "  MSG_OPENDS NULL (should fail)",
                                "  MSG_CLOSEDS NULL (should fail)", "DAT_IDENTITY passed..."}));
    EXPECT_TRUE(sh.HasSequence({"  Go to state 5...", "  MSG_QUERYSUPPORT ICAP_XFERMECH (should pass)",
                                "  MSG_GET ICAP_XFERMECH (should pass)", "  MSG_SET ICAP_XFERMECH (should fail)",
                                "  MSG_RESET ICAP_XFERMECH (should fail)", "  Go to state 4...",
                                "DAT_CAPABILITY passed..."}));
    // The maker's device takes its transfer group before the transfer; the
    // set of the capability test was refused in state 5 as out of sequence.
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_XFERGROUP/MSG_SET", "state=4->4", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_SET", "state=5->5", "cc=TWCC_SEQERROR"}).size(), 1u);
    // The battery ran on the source.
    EXPECT_GT(sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_SET", "state=4->4"}).size(), 100u);
    sh.ExpectDsmMemoryReturned();
    EXPECT_EQ(sh.Result().status, 0);
}

TEST(E2eStress, StandardSourceWalksItsCamerasAndStopsAtTheTransferGroup)
{
    SimShell sh;
    sh.Run("twstress 2.0 \"Simulated Camera\"\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  MSG_GETINFO", "  MSG_GETFIRSTFILE/MSG_GETNEXTFILE",
                                "  MSG_CHANGEDIRECTORY to /Camera_Color_Top", "  MSG_CHANGEDIRECTORY to /Camera_Color_Bottom",
                                "  MSG_CHANGEDIRECTORY to /Camera_Gray_Top", "  MSG_CHANGEDIRECTORY to /Camera_Gray_Bottom",
                                "  MSG_CHANGEDIRECTORY to /Camera_Bitonal_Top",
                                "  MSG_CHANGEDIRECTORY to /Camera_Bitonal_Bottom", "  MSG_CHANGEDIRECTORY to /",
                                "DAT_FILESYSTEM passed..."}));
    EXPECT_TRUE(sh.HasSequence({"  MSG_GET NULL (should fail)", "  MSG_SET NULL (should fail)", "  MSG_GET", "  MSG_SET",
                                "DAT_XFERGROUP failed...", "the last CTwain object has been destroyed (none left)..."}));
    EXPECT_FALSE(sh.Has(Title("DAT_STATUSRAW")));
    EXPECT_FALSE(sh.Has("This section runs very slowly when using TWAIN_32.DLL, this is normal..."));
    // Every test closed what it opened.
    EXPECT_EQ(sh.Journal({"camera DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(),
              sh.Journal({"camera DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size());
}

TEST(E2eStress, AFaultySourceEndsTheRunAtItsTest)
{
    // The first null attempt of DAT_EVENT answered as unknown: skipped; the
    // good MSG_GET of DAT_SETUPMEMXFER refused: failed, nothing after it.
    SimShell sh("[zav]\nfault refuse DG_CONTROL DAT_EVENT MSG_PROCESSEVENT cc=TWCC_BADPROTOCOL times=1\n"
                "fault refuse DG_CONTROL DAT_SETUPMEMXFER MSG_GET skip=1\n");
    sh.Run("twcreate 2.0\ntwstress 2.0 ZAV\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  MSG_PROCESSEVENT NULL (should fail)", "DAT_EVENT skipped...", ""}));
    EXPECT_TRUE(sh.HasSequence({"  MSG_GETDEFAULT NULL (should fail)", "  MSG_GET", "DAT_SETUPMEMXFER failed...",
                                "CTwain object: #0"}));
    EXPECT_FALSE(sh.Has(Title("DAT_STATUS")));
    // The test object took the second slot and gave it back.
    EXPECT_TRUE(sh.HasInOrder({"CTwain object: #0", "CTwain object: #1", "CTwain object: #0"}));
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(),
              sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size());
}

TEST(E2eStress, VibrationLoopsPrintTheirDelaysAndLeaveNothingBehind)
{
    // Each UI-only pass waits a second: the second enable is refused.
    SimShell sh("[zav]\nfault refuse DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDSUIONLY skip=1\n");
    sh.KeepDsmLog();
    sh.Run("twstress 2.0 ZAV openonly 0 5 2\ntwstress 2.0 ZAV uionly 0 1 1\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"set to Simulated Scanner ZAV", "MSG_OPENDS/MSG_CLOSEDS Test", "0 millisecond delay...",
                               "5 millisecond delay...", "10 millisecond delay...",
                               "the last CTwain object has been destroyed (none left)...",
                               "MSG_ENABLEDS/MSG_DISABLEDS SHOWUI==1 Test", "0 millisecond delay...", "Test #0...",
                               "Test #1...", "MSG_ENABLEDSUIONLY failed...",
                               "the last CTwain object has been destroyed (none left)..."}));
    EXPECT_FALSE(sh.Has("15 millisecond delay..."));
    EXPECT_FALSE(sh.Has("1 millisecond delay..."));
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(), 31u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_USERINTERFACE/MSG_ENABLEDSUIONLY", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    sh.ExpectDsmMemoryReturned();

    // A bound (start x count x step) that an int does not hold; the open is
    // refused before the first delay.
    SimShell shHuge("[zav]\nfault refuse DG_CONTROL DAT_IDENTITY MSG_OPENDS\n");
    shHuge.Run("twstress 2.0 ZAV openonly 2000000000 2000000000 2000000000\nexit\n");
    EXPECT_TRUE(shHuge.HasSequence({"2000000000 millisecond delay...", "DSOpen failed..."}));

    // The transfer-free loop says a refused enable or disable on standard
    // error, as the scan test does, and ends.
    for (const std::string szMsg : {"MSG_ENABLEDS", "MSG_DISABLEDS"})
    {
        SimShell shScan("[zav]\npages = 20\nfault refuse DG_CONTROL DAT_USERINTERFACE " + szMsg +
                        " cc=TWCC_NOMEDIA skip=1 times=1\n");
        shScan.Run("twstress 2.0 ZAV scanonly\nexit\n");
        EXPECT_NE(shScan.Result().err.find(szMsg + " failed...1\r\n"), std::string::npos) << shScan.Result().err;
        EXPECT_TRUE(shScan.HasInOrder({"Test #1...", "the last CTwain object has been destroyed (none left)..."}));
        EXPECT_FALSE(shScan.Has("Test #2..."));
    }
}

TEST(E2eStress, ACrashIsNeverTheFailureANullAttemptExpects)
{
    // A source that crashes at every null attempt of one test (those judged
    // by the return code too): the test fails on its first one, said as its
    // status line says a crash, and the run ends there with all closed.
    const struct
    {
        const char *szDat;
        const char *szFirstNull;
        const char *szNext;
    } arow[] = {
        {"DAT_CAPABILITY", "MSG_GET", "DAT_CUSTOMDSDATA"},      {"DAT_CUSTOMDSDATA", "MSG_GET", "DAT_ENTRYPOINT"},
        {"DAT_EVENT", "MSG_PROCESSEVENT", "DAT_FILESYSTEM"},    {"DAT_FILESYSTEM", "MSG_CHANGEDIRECTORY", "DAT_IDENTITY"},
        {"DAT_SETUPFILEXFER", "MSG_GET", "DAT_SETUPMEMXFER"},   {"DAT_SETUPMEMXFER", "MSG_GET", "DAT_STATUS"},
        {"DAT_STATUS", "MSG_GET", "DAT_USERINTERFACE"},         {"DAT_USERINTERFACE", "MSG_ENABLEDS", "DAT_XFERGROUP"},
        {"DAT_XFERGROUP", "MSG_GET", "DAT_STATUSRAW"},          {"DAT_STATUSRAW", "MSG_GET", nullptr},
    };
    for (const auto &row : arow)
    {
        SCOPED_TRACE(row.szDat);
        SimShell sh(std::string("[zav]\nxferready.delay = 600000\nfault crash * ") + row.szDat + " * data=null\n");
        sh.Run("twstress 2.4 ZAV\nexit\n");
        EXPECT_TRUE(sh.HasSequence({"  " + std::string(row.szFirstNull) + " NULL (should fail)", "  TWRC_FAILURE/crashed",
                                    std::string(row.szDat) + " failed..."}))
            << sh.Result().out;
        EXPECT_FALSE(row.szNext && sh.Has(Title(row.szNext)));
        EXPECT_FALSE(sh.Has("This section runs very slowly when using TWAIN_32.DLL, this is normal..."));
        EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(),
                  sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size());
    }

    // Nor is a crash inside the walk of the file system an empty one.
    SimShell sh("[camera]\nfault crash DG_CONTROL DAT_FILESYSTEM MSG_GETFIRSTFILE skip=1\n");
    sh.Run("twstress 2.4 Camera\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  MSG_GETFIRSTFILE/MSG_GETNEXTFILE", "  TWRC_FAILURE/crashed", "DAT_FILESYSTEM failed..."}))
        << sh.Result().out;
}

TEST(E2eStress, EachTestIsJudgedOnItsOwnStepsAnswers)
{
    // The DSM keeps the condition code of a failure it answered until it is
    // read: DAT_IDENTITY's MSG_GETDEFAULT passes after a refused null
    // attempt.  A run that stops does so on the source's own refusal of its
    // step (DAT_XFERGROUP MSG_SET in state 4).  The first-generation source
    // gets no null attempts.
    const struct
    {
        std::string szName;
        std::vector<std::string> aszLines;
        bool blNulls;
    } arow[] = {
        {"\"Simulated Scanner\"", {"  MSG_GETDEFAULT", "  MSG_GETDEFAULT NULL (should fail)", "DAT_IDENTITY passed...",
                                  "DAT_STATUS passed...", "DAT_XFERGROUP failed..."}, true},
        {"\"Simulated Camera\"", {"  MSG_GETDEFAULT", "DAT_IDENTITY passed...", "DAT_XFERGROUP failed..."}, true},
        {"\"Scanner 1.x\"", {"set to Simulated Scanner 1.x", "DAT_CUSTOMDSDATA passed...", "DAT_IDENTITY passed...",
                             "DAT_STATUS passed...", "DAT_USERINTERFACE passed...", "DAT_XFERGROUP failed..."}, false},
    };
    for (const auto &row : arow)
    {
        SimShell sh;
        sh.Run("twstress 2.4 " + row.szName + "\nexit\n");
        EXPECT_TRUE(sh.HasInOrder(row.aszLines)) << sh.Result().out;
        EXPECT_EQ(sh.CountAffixed("  MSG_", " NULL (should fail)") > 0, row.blNulls) << row.szName;
        EXPECT_EQ(sh.Journal({"DG_CONTROL/DAT_XFERGROUP/MSG_SET", "state=4->4", "cc=TWCC_SEQERROR"}).size(), 1u);
    }
}

TEST(E2eStress, ScanRateCountsImagesAndEndsWithTheBatch)
{
    SimShell sh("[scanner]\npages = 2\n");
    sh.Run("twstress 2.0 \"Simulated Scanner\" scan 3\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"Scan Performance Test", "Images:          2"}));
    EXPECT_EQ(sh.CountAffixed("Total Seconds:   ", " seconds"), 1);
    EXPECT_EQ(sh.CountAffixed("Seconds / Image: ", " seconds"), 1);
    EXPECT_EQ(sh.CountAffixed("Images / Minute: ", ""), 1);
    EXPECT_EQ(sh.CountAffixed("Sheets / Minute: ", ""), 1);
    // Memory transfers into the one application-owned block, set up first.
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_CAPABILITY/MSG_SET", "data=03010500", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_PENDINGXFERS/MSG_ENDXFER", "rc=TWRC_SUCCESS"}).size(), 2u);
    EXPECT_TRUE(sh.Journal({"DAT_IMAGEMEMXFER", "rc=TWRC_FAILURE"}).empty());
    EXPECT_EQ(sh.Result().err.find("failed..."), std::string::npos);
    // Each poll refused before the first image has its condition read at once.
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_STATUS/MSG_GET "}).size(),
              sh.Journal({"scanner DG_IMAGE/DAT_IMAGEINFO/MSG_GET ", "rc=TWRC_FAILURE"}).size());
}

// A source whose image never ends (every block TWRC_SUCCESS, without data,
// or after a first image, with that image's byte count): past what the
// image holds the transfer fails, said as the test's other failures, and
// everything is closed.
TEST(E2eStress, ScanRateEndsWhenTheSourceNeverEndsItsImage)
{
    const struct
    {
        const char *szSkip;
        const char *szImages;
    } acase[] = {{"", "Images:          0"}, {" skip=1", "Images:          1"}};
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szSkip);
        SimShell sh(std::string("[scanner]\nfault refuse DG_IMAGE DAT_IMAGEMEMXFER MSG_GET rc=TWRC_SUCCESS cc=TWCC_SUCCESS") +
                    c.szSkip + "\n");
        sh.Run("twstress 2.0 \"Simulated Scanner\" scan 3\nexit\n");
        EXPECT_NE(sh.Result().err.find("DAT_IMAGEMEMXFER failed...1 (no end of the image after "), std::string::npos)
            << sh.Result().err;
        EXPECT_TRUE(sh.HasInOrder({"Scan Performance Test", c.szImages, "the last CTwain object has been destroyed (none left)..."}));
        EXPECT_EQ(sh.Journal({"DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    }
}

TEST(E2eStress, AFileSystemListThatNeverEndsFailsItsTest)
{
    // Past the null attempt every MSG_GETNEXTFILE answers the same entry again.
    SimShell sh("[camera]\nfault refuse DG_CONTROL DAT_FILESYSTEM MSG_GETNEXTFILE rc=TWRC_SUCCESS cc=TWCC_SUCCESS skip=1\n");
    sh.Run("twstress 2.4 Camera\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  /Camera_Color_Top listed again, no TWRC_ENDOFLIST", "DAT_FILESYSTEM failed..."}))
        << sh.Result().out;
}

TEST(E2eStress, AnEnableAnsweredCheckStatusIsUndoneOnTheWayBack)
{
    // The source enabled itself with its user interface: the capability
    // test fails (it wants TWRC_SUCCESS), the scan goes on, and both
    // disable the source before closing it.
    SimShell sh("[scanner]\nfault answer DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS rc=TWRC_CHECKSTATUS\n");
    sh.Run("twstress 2.0 \"Simulated Scanner\"\ntwstress 2.0 \"Simulated Scanner\" scan 2\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"  Go to state 5...", "DAT_CAPABILITY failed...", "Scan Performance Test",
                               "Images:          2"}));
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS", "rc=TWRC_SUCCESS"}).size(), 2u);
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(), 2u);
}

TEST(E2eStress, ProbeListsIdentityLayoutAndCapabilitiesPerCamera)
{
    SimShell sh;
    sh.Run("twcreate 2.0\ndsmopen\ndsprobe\ndsopen \"Simulated Scanner ZAV\"\ndsprobe\nexit\n");
    // In state 3 nothing: the next line is the open's identity line.
    EXPECT_TRUE(sh.HasSequence({"DSM: DF_DSM2 found...", "Simulated Scanner ZAV ver=1.0 twn=2.4 grp=DS2,CUSTOM,IMAGE,CONTROL"}));
    EXPECT_TRUE(sh.HasSequence({"reset with MSG_RESETALL...", "", "DAT_IDENTITY", "Manufacturer:     WEXTO",
                                "ProductFamily:    DV", "ProductName:      Dravo #0", "Protocol:         2.0",
                                "SupportedGroups:  0x30001003", "Version:          1.0", "Country:          1",
                                "Language:         13", "Info:             2008/07/16 1.0.0", "",
                                "---TWPT_RGB----------------------------------", "", "DAT_IMAGELAYOUT",
                                "DocumentNumber:   1", "PageNumber:       1", "FrameNumber:      1",
                                "Frame:            1", "Frame:            left:0 top:0 right:8.5 bottom:11", "",
                                Bold("CAP_XFERCOUNT                   0001")}));
    EXPECT_TRUE(sh.HasInOrder({"---TWPT_RGB----------------------------------", Bold("ICAP_PIXELTYPE                  0101"),
                               "  curidx: TWPT_RGB (2)", "", "", "---TWPT_BW----------------------------------",
                               Bold("ICAP_PIXELTYPE                  0101"), "  curidx: TWPT_BW (0)"}));
    // Capabilities the symbol table does not name show up too.
    EXPECT_EQ(sh.CountOf(Bold("0x8100                          8100")), 2);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_GET ", "data=ffff"}).size(), 2u);
    // Each refusal's condition is read at once (and none else), the file
    // system's too.
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_STATUS/MSG_GET "}).size(),
              sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_GET ", "rc=TWRC_FAILURE"}).size() +
                  sh.Journal({"zav DG_CONTROL/DAT_FILESYSTEM/MSG_GETFIRSTFILE ", "rc=TWRC_FAILURE"}).size());
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_FILESYSTEM/MSG_GETFIRSTFILE ", "rc=TWRC_FAILURE"}).size(), 1u);
}
