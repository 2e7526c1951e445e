// test_platform_sim_standard.cpp
//
// States in which the simulated sources take triplets, as a TWAIN Data
// Source must: a triplet out of its states fails with TWCC_SEQERROR.

#include "test_platform_sim.h"

using namespace simtest;

namespace
{
class SimStandardTest : public SimTest
{
};
}

TEST_F(SimStandardTest, FileSystemChangesDirectoryInStateFourOnly)
{
    App app(kCamera);
    ASSERT_TRUE(app.Opened());
    ASSERT_TRUE(app.EnableAndWait());
    TW_FILESYSTEM twfs = {};
    std::snprintf(twfs.InputName, sizeof(twfs.InputName), "%s", "/Camera_Gray_Top");
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs)), TWCC_SEQERROR);
    // Information is read during the transfer too (state 7).
    TW_HANDLE h = nullptr;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h), TWRC_XFERDONE);
    app.Free(h);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Camera_Gray_Top");
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs)), TWCC_SEQERROR);
}
