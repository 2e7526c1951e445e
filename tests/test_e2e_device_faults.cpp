// test_e2e_device_faults.cpp
// Device triplets against a source that misbehaves in ways that once kept
// the program going for ever.
#include <gtest/gtest.h>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

// A file system that answers its first entry again never reaches the end of
// its list: the listing stops there instead of running for ever.
TEST(E2eDeviceFaults, AFileSystemListingEndsWhenAnEntryComesAgain)
{
    SimShell sh("fault refuse DG_CONTROL DAT_FILESYSTEM MSG_GETNEXTFILE rc=TWRC_SUCCESS\n");
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nfs\nexit\n");
    EXPECT_EQ(sh.CountAffixed("00 OutputName.........", ""), 1);
    EXPECT_EQ(sh.CountAffixed("01 OutputName.........", ""), 0);
    EXPECT_TRUE(sh.Has("*** /Camera_Color_Top listed again, the listing ends ***"));
}
