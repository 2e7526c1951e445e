// test_platform_sim_filesystem.cpp
//
// The camera list of a source with a file system, set by the configuration:
// a file system without cameras still has its root, and a list of its own
// is listed and addressed as the built-in one.

#include "test_platform_sim.h"

using namespace simtest;

namespace
{
class SimFileSystemTest : public SimTest
{
};

TW_FILESYSTEM Named(const char* a_szName)
{
    TW_FILESYSTEM twfs = {};
    std::snprintf(twfs.InputName, sizeof(twfs.InputName), "%s", a_szName);
    return twfs;
}
}

TEST_F(SimFileSystemTest, WithoutCamerasTheRootStillAnswers)
{
    Config("[camera]\ncameras =\n");
    App app(kCamera);
    ASSERT_TRUE(app.Opened());
    // The root's record, by name and as the current directory.
    for (const char* szName : {"/", ""})
    {
        TW_FILESYSTEM twfs = Named(szName);
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs), TWRC_SUCCESS) << szName;
        EXPECT_STREQ(twfs.OutputName, "/");
        EXPECT_EQ(+twfs.FileType, TWFY_DIRECTORY);
        EXPECT_EQ(twfs.NumberOfFiles, 0);
    }
    TW_FILESYSTEM twfs = Named("/");
    twfs.Context = reinterpret_cast<TW_MEMREF>(0x1234);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs), TWRC_ENDOFLIST);
    EXPECT_EQ(twfs.Context, nullptr);
    for (const char* szName : {"/Camera_Color_Top", "Camera_Color_Top", ""})
    {
        twfs = Named(szName);
        EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs)), TWCC_FILENOTFOUND)
            << szName;
    }
    twfs = Named("/");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
    EXPECT_EQ(+twfs.FileType, TWFY_DIRECTORY);
    // The settings for all cameras still answer; a capture has no camera.
    TW_SETUPMEMXFER twsetup;
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &twsetup), TWRC_SUCCESS);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    TW_USERINTERFACE twui = {};
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui)), TWCC_NOMEDIA);
}

TEST_F(SimFileSystemTest, AConfiguredListIsListedAndAddressed)
{
    Config("[camera]\ncameras = /Front_Gray /Rear_Bottom\n"
           "cameras = /a/b\ncameras = /x /x\n"   // errors: the list stays
           "[scanner]\ncameras =\n");            // error: no file system
    {
        App appScanner(kScanner);
        ASSERT_TRUE(appScanner.Opened());
        EXPECT_EQ(JournalWith({"config", " scanner error=", "no file system"}).size(), 1u);
        TW_FILESYSTEM twfs = Named("/");
        EXPECT_EQ(appScanner.FailCc(appScanner.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs)), TWCC_BADPROTOCOL);
    }
    App app(kCamera);
    ASSERT_TRUE(app.Opened());
    EXPECT_EQ(JournalWith({"config", " camera error="}).size(), 2u);
    TW_FILESYSTEM twfs = Named("/");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Front_Gray");
    EXPECT_EQ(+twfs.FileType, TWFY_CAMERATOP);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Rear_Bottom");
    EXPECT_EQ(+twfs.FileType, TWFY_CAMERABOTTOM);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &twfs), TWRC_ENDOFLIST);
    Container con;
    for (auto pair : {std::make_pair("/Front_Gray", TWPT_GRAY), std::make_pair("/Rear_Bottom", TWPT_RGB)})
    {
        twfs = Named(pair.first);
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
        ASSERT_EQ(app.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
        EXPECT_EQ(con.Int(0), pair.second) << pair.first;
    }
}
