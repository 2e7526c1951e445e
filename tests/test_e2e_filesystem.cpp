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
