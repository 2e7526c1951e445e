// test_e2e_device_faults.cpp
// Device triplets against a source that misbehaves in ways that once kept
// the program going for ever, or made it leak what the source handed over.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

// A file system that answers its first entry again never reaches the end of
// its list: the listing and the camera walk of a validation stop there
// instead of running for ever.
TEST(E2eDeviceFaults, AFileSystemListingEndsWhenAnEntryComesAgain)
{
    SimShell sh("fault refuse DG_CONTROL DAT_FILESYSTEM MSG_GETNEXTFILE rc=TWRC_SUCCESS\n"
                "fault refuse DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS\n");
    sh.UnsetEnv("SIMSCANNER_JOURNAL");
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nfs\nget querysupport validate\nexit\n");
    EXPECT_EQ(sh.CountAffixed("00 OutputName.........", ""), 1);
    EXPECT_EQ(sh.CountAffixed("01 OutputName.........", ""), 0);
    EXPECT_TRUE(sh.Has("*** /Camera_Color_Top listed again, the listing ends ***"));
    EXPECT_EQ(sh.CountAffixed("  processing ", "..."), 1);
    EXPECT_TRUE(sh.HasInOrder({"  state 5 test...", "  ...failed on MSG_ENABLEDS"}));
}

// A journal or an exported profile that names a FIFO is not waited for:
// no journal, and the export fails.
TEST(E2eDeviceFaults, TheSourceDoesNotWaitOnAFifo)
{
    SimShell sh;
    ASSERT_EQ(mkfifo(sh.Dir().File("fifo").c_str(), 0600), 0);
    sh.SetEnv("SIMSCANNER_JOURNAL", sh.Dir().File("fifo"));
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\ndat_profiles msg_profileexport fifo\nexit\n");
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 4, 4})) << "the source opened";
    EXPECT_TRUE(sh.Has("TWRC_FAILURE/TWCC_FILEWRITEERROR"));
}

// A source that hands over a container or a handle and answers other than
// TWRC_SUCCESS still hands it over: the program frees it whatever the code
// (the DSM counts its blocks; the sanitizer build also reports any leak).
TEST(E2eDeviceFaults, WhatTheSourceHandsOverIsFreedWhateverItAnswers)
{
    struct Case
    {
        std::string szConfig;
        std::string szCommands;
    };
    const std::string szAnswer = " MSG_GET rc=TWRC_CHECKSTATUS\n";
    const std::vector<Case> acase = {
        {"fault answer DG_CONTROL DAT_CAPABILITY * rc=TWRC_CHECKSTATUS\n",
         "get ICAP_PIXELTYPE\nget current ICAP_PIXELTYPE\nreset ICAP_PIXELTYPE\ndat_capability msg_get ICAP_PIXELTYPE\n"
         "set ICAP_PIXELTYPE TWPT_RGB\ndscap ICAP_PIXELTYPE\ndump\nwi\nget all ICAP_IMAGEFORMAT\n"},
        {"fault answer DG_CONTROL DAT_CUSTOMDSDATA" + szAnswer + "fault answer DG_CONTROL DAT_CUSTOMDSDATAGROUP" +
             szAnswer + "fault answer DG_CONTROL DAT_ECDO" + szAnswer + "fault answer DG_CONTROL DAT_OCPBUTTONS" +
             szAnswer + "fault answer DG_CONTROL DAT_PROFILES" + szAnswer +
             "fault answer DG_CONTROL DAT_CONSUMABLEMETERS" + szAnswer + "fault answer DG_IMAGE DAT_EXTIMAGEINFO" +
             szAnswer + "cap ICAP_EXTIMAGEINFO onevalue bool TRUE\n",
         "dat_customdsdata\ndat_customdsdatagroup msg_get 1\necdo\nob\npr\ndat_consumablemeters\n"
         "ui msg_enableds\nwait 20000 msg_xferready\nxn\nex msg_get TWEI_BARCODETEXT\npx msg_endxfer\npx msg_reset\n"
         "ui msg_disableds\n"},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szCommands);
        SimShell sh(c.szConfig);
        sh.KeepDsmLog();
        sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n" + c.szCommands + "exit\n");
        EXPECT_GE(sh.Journal({"rc=TWRC_CHECKSTATUS", "fault=answer"}).size(), 6u);
        sh.ExpectDsmMemoryReturned();
    }
}
