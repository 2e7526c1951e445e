// test_e2e_filesystem.cpp
// dat_filesystem against a camera source configured without cameras: the
// root still answers, the listing is empty, and the camera walk of dscap
// falls back to the pixel types (colour, then bitonal).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

TEST(E2eFileSystem, WithoutCamerasTheRootAnswersAndTheWalkTakesPixelTypes)
{
    SimShell sh("[camera]\ncameras =\ncap ICAP_GAMMA enum fix32 1 2 query=0\n");
    e2e::Result r = sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nfs\nfs info\n"
                           "fs cd /Camera_Color_Top\nfs cd /\ndscap ICAP_GAMMA\nexit\n");
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> aszRoot = {"  OutputName........./",
                                              "  FileType...........6",
                                              "  InputName..........",
                                              "  CreateTimeDate.....2000/01/01 12:00:00.000",
                                              "  ModifiedTimeDate...2000/01/01 12:00:00.000",
                                              "  DeviceGroupMask....0x00000001",
                                              "  FreeSpace..........0",
                                              "  NumberOfFiles......0",
                                              "  NumberOfSnippets...0",
                                              ""};
    EXPECT_TRUE(sh.HasSequence(aszRoot)) << r.out;
    EXPECT_FALSE(sh.Has("00 OutputName.........")) << "an empty listing";
    EXPECT_EQ(sh.Journal({"DAT_FILESYSTEM/MSG_GETFIRSTFILE", "rc=TWRC_ENDOFLIST"}).size(), 2u) << "fs and dscap";
    EXPECT_TRUE(sh.HasSequence({"*** unrecognized name.../Camera_Color_Top ***", "TWRC_FAILURE/TWCC_FILENOTFOUND"}));
    EXPECT_TRUE(sh.Has("  InputName........../")) << "cd /";
    EXPECT_TRUE(sh.HasInOrder({"---TWPT_RGB---00006000-----------------------",
                               "---TWPT_BW---00006000-----------------------"}));
    EXPECT_EQ(sh.CountOf("---MSG_SET (Error Test)----------------"), 2);
    EXPECT_FALSE(sh.Has("*** filesystem failed ***"));
    std::vector<std::string> aszCd = sh.Journal({"DAT_FILESYSTEM/MSG_CHANGEDIRECTORY"});
    ASSERT_FALSE(aszCd.empty());
    EXPECT_NE(aszCd.back().find("data=2f00"), std::string::npos) << "back to the root";
    EXPECT_NE(aszCd.back().find("rc=TWRC_SUCCESS"), std::string::npos);
}

// The listing, the camera walk of dscap and the stress test's walk go to the
// end of a long list, and end a list that goes round at its first name again
// (a cut listing is a failure for ifstatus; the stress test fails).
TEST(E2eFileSystem, WalksEndWhereTheSourceEnds)
{
    const struct
    {
        const char *szConfig;
        int iEntries;
        std::vector<std::string> aszEnd;
    } acase[] = {
        {"cameras.count = 10000\n", 10000, {"9999 OutputName.........\033[1m/Camera_10000\033[0m", "DAT_FILESYSTEM passed..."}},
        {"cameras.count = 3\ncameras.loop = on\n", 3,
         {"*** /Camera_1 listed again, the listing ends ***", "\033[1mcut\033[0m",
          "  /Camera_1 listed again, no TWRC_ENDOFLIST", "DAT_FILESYSTEM failed..."}},
    };
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szConfig);
        SimShell sh(std::string("[camera]\ncap ICAP_GAMMA onevalue fix32 1 query=0 readonly\n") + c.szConfig);
        sh.UnsetEnv("SIMSCANNER_JOURNAL");
        sh.Dir().Write("s.txt", "fs\nifstatus TWRC_FAILURE\n  echo cut\nend\ndscap ICAP_GAMMA\n");
        e2e::Result r = sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nrun s\ntwstress 2.4 Camera\nexit\n");
        EXPECT_EQ(sh.CountAffixed("   NumberOfSnippets...", ""), c.iEntries);
        EXPECT_EQ(sh.CountAffixed("---/Camera_", "---00006000-----------------------"), c.iEntries);
        EXPECT_EQ(sh.CountAffixed("  MSG_CHANGEDIRECTORY to /Camera_", ""), c.iEntries);
        EXPECT_TRUE(sh.HasInOrder(c.aszEnd));
        EXPECT_EQ(sh.Has("\033[1mcut\033[0m"), c.iEntries == 3);
    }
}
