// End-to-end tests of the shell's TWAIN object slots with the stand-in DSM
// open, and of a command forwarded to the current object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Shell;

namespace
{

const std::string s_szCurrent = "\033[1m*\033[0m";
} // namespace

TEST(E2eShellTwain, SlotsWithTheDsmOpen)
{
    Shell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ntwcreate\ntwlist\ntwdestroy 1\ntwlist\ntwcreate\ntwset 0\ntwlist\n"
                           "twdestroy 0\ntwlist\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 0, 0, 3, 3, 0, 3, 3, 0, 0}));
    EXPECT_TRUE(sh.HasSequence({"  0 - dsm open", s_szCurrent + " 1 - dsm closed"}));
    // Destroying the current object makes the one left current, and writes
    // its title: once when the DSM opened, once when slot 0 became current.
    EXPECT_TRUE(sh.HasSequence({"CTwain object: #0", s_szCurrent + " 0 - dsm open"}));
    EXPECT_EQ(e2e::Count(r.err, "\033]2;Dravo (64-bit,3)\007"), 2) << r.err;
    EXPECT_TRUE(sh.HasSequence({"CTwain object: #0", s_szCurrent + " 0 - dsm open", "  1 - dsm closed"}));
    EXPECT_TRUE(sh.HasSequence({"CTwain object: #1", s_szCurrent + " 1 - dsm closed"}));
    EXPECT_FALSE(sh.Has("%%error, failed to open the DSM..."));
}

TEST(E2eShellTwain, DsmCloseAndTeardownOfSeveralObjects)
{
    Shell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsmclose\ntwcreate\ntwcreate\ndsmopen\ntwdestroy 1\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 0, 0, 0, 3, 3}));
    // The teardown closes the DSM of slot 2: the last title shows state 0.
    size_t last = r.err.rfind("\033]2;");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(r.err.substr(last), "\033]2;Dravo (64-bit,0)\007");
}

// display sets what its words give (an empty word keeps the value) and shows both.
TEST(E2eShellTwain, DisplayForwardsToTheCurrentObject)
{
    Shell sh;
    sh.Run("twcreate\ndisplay\ndisplay 3 50\ndisplay \"\" 75\ndisplay 7\nexit\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "CTwain object: #0", "Images..............0",
                                                     "Image Size (%)......0", "Images..............3",
                                                     "Image Size (%)......50", "Images..............3",
                                                     "Image Size (%)......75", "Images..............7",
                                                     "Image Size (%)......75"}));
}
