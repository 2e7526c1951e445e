// test_e2e_capget.cpp
// get and reset against the simulated scanner: the read forms, the camera
// windows, the state 5 and 6 validations and the misuse lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::SimShell;

namespace
{
const std::string s_szOpen = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n";
const std::string s_szPixelType = "\033[1mICAP_PIXELTYPE                  0101\033[0m";
} // namespace

TEST(E2eCapGet, EachFormSendsItsMessageAndShowsTheAnswerAndMisuseIsSaid)
{
    SimShell sh;
    e2e::Result r = sh.Run(s_szOpen + "get ICAP_PIXELTYPE\nget current ICAP_PIXELTYPE\nget default icap_pixeltype\n"
                                      "get querysupport ICAP_PIXELTYPE\nget 1118\nset ICAP_PIXELTYPE TWPT_RGB\n"
                                      "reset ICAP_PIXELTYPE\nreset 102\nget\nget current\nget all\nget ICAP_NOPE\nreset\n"
                                      "exit\n");
    EXPECT_EQ(r.status, 0);
    for (const char *szMsg : {"MSG_GET ", "MSG_GETCURRENT ", "MSG_GETDEFAULT ", "MSG_QUERYSUPPORT ", "MSG_RESET "})
        EXPECT_FALSE(sh.Journal({std::string("DAT_CAPABILITY/") + szMsg, "data=0101", "rc=TWRC_SUCCESS"}).empty())
            << szMsg;
    EXPECT_TRUE(sh.HasSequence({s_szPixelType, "  typ:    TWTY_INT32",
                                "  item:   0x0000077f (GET,GETCURRENT,GETDEFAULT,SET,SETCONSTRAINT,RESET)"}));
    EXPECT_TRUE(sh.Has("\033[1mCAP_1118                        1118\033[0m")) << "a hexadecimal id";
    EXPECT_TRUE(sh.Has("\033[1mCAP_102                         0102\033[0m")) << "a hexadecimal reset";
    EXPECT_TRUE(sh.HasSequence({s_szPixelType, "  curidx: TWPT_BW (0)"})) << "the reset's answer";
    // The misuse lines.
    EXPECT_EQ(sh.CountOf("*** must have one argument ***"), 2);
    EXPECT_EQ(sh.CountOf("*** must have two arguments ***"), 2);
    EXPECT_TRUE(sh.Has("*** ICAP_NOPE not found ***"));
}

// get all: one line per camera window, then the window that was current.
TEST(E2eCapGet, AllShowsTheCurrentValueOfEveryWindow)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nget all ICAP_IMAGEFORMAT\nexit\n");
    std::vector<std::string> aszPrefix = {"FB00: ", "RB00: ", "FC00: ", "RC00: ", "FB01: ", "FC01: "};
    for (const std::string &szPrefix : aszPrefix)
        EXPECT_EQ(sh.CountAffixed(szPrefix, ""), 1) << szPrefix;
    std::vector<std::string> aszSet = sh.Journal({"DAT_CAPABILITY/MSG_SET ", "data=b480"});
    ASSERT_EQ(aszSet.size(), 7u);
    EXPECT_NE(aszSet.back().find("container=04000200"), std::string::npos) << "back to TWWC_BASE_COLOR_FRONT";
}

// The validations enable the source, read, and leave it disabled again
// with the program's state following the source's.
TEST(E2eCapGet, TheGetValidationReadsInStatesFiveAndSix)
{
    SimShell sh;
    e2e::Result r = sh.Run(s_szOpen + "get ICAP_PIXELTYPE validate\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({"  Validating MSG_GET...", "  state 5 test...", "  ...passed", s_szPixelType,
                               "  state 6 test...", "  ...passed", s_szPixelType}))
        << r.out;
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_DISABLEDS", "rc=TWRC_SUCCESS", "state=5->4"}).size(), 1u);
    EXPECT_EQ(sh.PromptStates().back(), 4);
}

TEST(E2eCapGet, ARefusedEnableEndsAValidation)
{
    SimShell sh("fault refuse DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS\n");
    sh.Run(s_szOpen + "get current ICAP_XRESOLUTION validate\nget querysupport validate\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"", "  Validating MSG_GETCURRENT...", "  state 5 test...", "  ...failed on MSG_ENABLEDS"}));
    // The query-support walk: every id per camera (colour, then bitonal).
    EXPECT_TRUE(sh.HasInOrder({"  Validating MSG_QUERYSUPPORT...", "  processing TWPT_RGB...", "Fail: 0x0000",
                               "  processing TWPT_BW...", "Fail: 0x0000", "  state 5 test...",
                               "  ...failed on MSG_ENABLEDS"}));
    EXPECT_FALSE(sh.Has("Fail: 0x0101"));
    int iFails = sh.CountAffixed("Fail: 0x", "");
    EXPECT_EQ(iFails % 2, 0);
    EXPECT_GT(iFails, 2 * 65000);
}
