// test_e2e_capbattery.cpp
// dscap against the simulated scanner: the nine steps, the set and constrain
// walks, the container error tests with a strict and with a lenient source,
// the camera walk, and the options of the command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

namespace
{
const std::string s_szOpen = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n";
const std::string s_szPixelType = "\033[1mICAP_PIXELTYPE                  0101\033[0m";

// The index lines of one enumeration walk of three items.
const std::vector<std::string> s_aszIndexes = {"", "  *** set index (0)***", "", "  *** set index (1)***", "",
                                               "  *** set index (2)***", "", "  *** restore original index (0)***"};
} // namespace

TEST(E2eCapBattery, TheNineStepsWalkEveryIndexAndSpoilTheContainer)
{
    SimShell sh;
    e2e::Result r = sh.Run(s_szOpen + "dscap ICAP_PIXELTYPE\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({"reset with MSG_RESETALL...", "---MACHINE---0000077f-----------------------",
                               "---MSG_QUERYSUPPORT--------------------", "---MSG_GETCURRENT----------------------",
                               "---MSG_GETDEFAULT----------------------", "---MSG_GET-----------------------------",
                               "---MSG_RESET---------------------------", "---MSG_GET/MSG_SET (TW_ONEVALUE)-------",
                               "---MSG_SET (Each Item)-----------------", "---MSG_SET (Constrain)-----------------",
                               "---MSG_SET (Error Test)----------------"}));
    EXPECT_EQ(sh.CountOf("  *** set index (1)***"), 2);
    // The set walk: the current index 0, 1, 2 and back; the constraint walk:
    // one-item lists of each value, then the whole list (both sides above 2.01).
    std::vector<std::string> aszSet = sh.Journal({"DAT_CAPABILITY/MSG_SET ", "data=0101"});
    std::vector<std::string> aszConstraint = sh.Journal({"DAT_CAPABILITY/MSG_SETCONSTRAINT ", "data=0101"});
    ASSERT_EQ(aszConstraint.size(), 4u);
    EXPECT_NE(aszConstraint[2].find("container=04000100000000000000000000000000000000000000000000000200 "),
              std::string::npos)
        << aszConstraint[2];
    // The error test's strict source refuses every spoiled container and
    // shows nothing; the restore is not needed.
    EXPECT_TRUE(sh.HasSequence({"---MSG_SET (Error Test)----------------", s_szPixelType,
                                "  TEST: send bad container type", "        TWRC_FAILURE/TWCC_BADVALUE",
                                "  TEST: set null hcontainer", "        TWRC_FAILURE/TWCC_BADVALUE",
                                "  TEST: set bad item type", "        TWRC_FAILURE/TWCC_BADVALUE",
                                "  TEST: duplicate last item in enumeration", "        TWRC_CHECKSTATUS/TWCC_SUCCESS",
                                "  TEST: set value to NumItems+1", "        TWRC_FAILURE/TWCC_BADVALUE",
                                "  TEST: set first enum to dead beef", "        TWRC_FAILURE/TWCC_BADVALUE",
                                "  TEST: set empty enumeration", "        TWRC_FAILURE/TWCC_BADVALUE"}))
        << r.out;
    EXPECT_FALSE(sh.Has("  TEST: restore original settings"));
    EXPECT_EQ(aszSet.size(), 1u + 4u + 7u) << "one-value step, set walk, error test";
}

TEST(E2eCapBattery, RangesWalkMinimumMaximumAndBack)
{
    SimShell sh;
    sh.Run(s_szOpen + "dscap ICAP_BRIGHTNESS CAP_SUPPORTEDCAPS CAP_AUTHOR\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"  *** set minimum value (signed=64536 unsigned=64536 float=-1000)***",
                               "  *** set maximum value (signed=1000 unsigned=1000 float=1000)***",
                               "  *** restore original value (signed=0 unsigned=0 float=0)***",
                               "  *** constrain to the minimum ***", "  *** constrain to the maximum ***",
                               "  *** restore original value ***", "  TEST: set bad step",
                               "  TEST: set minimum larger than maximum", "  TEST: set fractional value"}));
    EXPECT_TRUE(sh.HasInOrder({"  *** we can't do any set tests on a TW_ARRAY...",
                               "  *** we can't do any constrain tests on a TW_ARRAY...",
                               "  TEST: duplicate last item in array", "  TEST: add 0xbeef to end of array list",
                               "  *** we can't do any set tests on a TW_ONEVALUE...",
                               "  *** we can't do any constrain tests on a TW_ONEVALUE...",
                               "  TEST: send bad item type"}));
    // The minimum of the constraint walk: minimum = maximum = current, no step.
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_SETCONSTRAINT ", "data=0111",
                          "container=070018fc00000000000018fc0000000000000000000000000000000000000000000018fc000000000000 "})
                  .size(),
              1u);
}

// A lenient source takes the spoiled containers: the read-back shows each
// one (the display never reads past them) and the first value goes back.
TEST(E2eCapBattery, ALenientSourceShowsEachSpoiledContainerAndIsRestored)
{
    SimShell sh("cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_GRAY TWPT_RGB lenient\n"
                "cap CAP_DEVICEEVENT array uint16 1 2 3 lenient\n"
                "cap ICAP_BRIGHTNESS range fix32 5 5 1 lenient\n");
    e2e::Result r = sh.Run(s_szOpen + "dscap ICAP_PIXELTYPE CAP_DEVICEEVENT ICAP_BRIGHTNESS\nget ICAP_PIXELTYPE\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({"  TEST: set bad item type", "        TWRC_SUCCESS/TWCC_SUCCESS", "  typ:    0xffff",
                               "  TEST: set empty enumeration", "        TWRC_SUCCESS/TWCC_SUCCESS",
                               "  num:    0", "  TEST: restore original settings", "        TWRC_SUCCESS/TWCC_SUCCESS"}))
        << r.out;
    EXPECT_TRUE(sh.HasInOrder({"  TEST: add 0xbeef to end of array list", "        TWRC_SUCCESS/TWCC_SUCCESS",
                               "  item:   0xbeef", "  TEST: restore original settings"}));
    // A range whose minimum is its maximum stops after the bad step.
    EXPECT_TRUE(sh.HasInOrder({"\033[1mICAP_BRIGHTNESS                 1101\033[0m", "  TEST: set bad step"}));
    EXPECT_FALSE(sh.Has("  TEST: set minimum larger than maximum"));
    EXPECT_EQ(sh.CountOf("  TEST: restore original settings"), 3);
    EXPECT_TRUE(sh.HasSequence({s_szPixelType, "  curidx: TWPT_BW (0)", "  defidx: TWPT_BW (0)",
                                "  typ:    TWTY_UINT16", "  num:    3"}))
        << "restored";
}

// Query-support flags: 0 counts as bitonal and colour (one battery per
// camera, then back to the directory that was current); the machine bit
// alone runs it once.
TEST(E2eCapBattery, TheFlagsChooseMachineOrEveryCamera)
{
    SimShell sh("cap ICAP_GAMMA enum fix32 1 2 query=0\ncap ICAP_ROTATION enum fix32 0 90 query=0x1000\n");
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\ndscap ICAP_GAMMA ICAP_ROTATION\n"
           "dscap ICAP_XRESOLUTION current ICAP_YRESOLUTION\nexit\n");
    for (const char *szCamera : {"/Camera_Color_Top", "/Camera_Gray_Bottom", "/Camera_Bitonal_Bottom"})
        EXPECT_EQ(sh.CountOf(std::string("---") + szCamera + "---00006000-----------------------"), 1) << szCamera;
    EXPECT_TRUE(sh.HasSequence({"", "", "", "---/Camera_Color_Bottom---00006000-----------------------"}));
    EXPECT_TRUE(sh.Has("---MACHINE---00001000-----------------------"));
    EXPECT_TRUE(sh.Has("---/---0000077f-----------------------")) << "current: the camera of now";
    EXPECT_EQ(sh.CountOf("---MSG_QUERYSUPPORT--------------------"), 6 + 1 + 1) << "current ends the command";
    std::vector<std::string> aszCd = sh.Journal({"DAT_FILESYSTEM/MSG_CHANGEDIRECTORY"});
    ASSERT_FALSE(aszCd.empty());
    EXPECT_NE(aszCd.back().find("data=2f00"), std::string::npos) << "back to the root";
}

TEST(E2eCapBattery, OptionsAndMisuse)
{
    SimShell sh("uionly.reply = MSG_CLOSEDSREQ\n");
    sh.Run(s_szOpen + "dscap\ndscap ICAP_XRESOLUTION ICAP_NOPE\ndscap ICAP_PIXELTYPE ui\ndscap ICAP_XRESOLUTION current\n"
                      "dscap all\nexit\n");
    EXPECT_TRUE(sh.Has("must specify a capability or 'all'..."));
    EXPECT_TRUE(sh.Has("*** ICAP_NOPE not found ***"));
    // The waiting form: the cancelled dialog ends the walk after its first index.
    EXPECT_TRUE(sh.HasSequence({"", "  *** set index (0)***", "  curidx: TWPT_BW (0)"}));
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_ENABLEDSUIONLY", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_TRUE(sh.Has("*** ui not found ***"));
    EXPECT_TRUE(sh.Has("*** filesystem failed ***")) << "no file system on the scanner";
    // dscap all: every capability of the table, the unsupported ones in one line.
    EXPECT_TRUE(sh.Has("*** ACAP_XFERMECH querysupport failed ***"));
    EXPECT_GT(sh.CountOf("---MSG_SET (Error Test)----------------"), 40);
}

TEST(E2eCapBattery, TheWaitingFormGoesOnWhenTheDialogIsConfirmed)
{
    SimShell sh;
    sh.Run(s_szOpen + "dscap ICAP_PIXELTYPE ui\nexit\n");
    EXPECT_TRUE(sh.HasInOrder(s_aszIndexes));
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_ENABLEDSUIONLY", "rc=TWRC_SUCCESS"}).size(), 4u);
    EXPECT_EQ(sh.PromptStates().back(), 4);
}

// A first-generation source has no callback for its close message: each
// step disables it again and the walk goes on instead of waiting for ever.
TEST(E2eCapBattery, TheWaitingFormDoesNotHangOnASourceWithoutCallback)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner 1.x\"\ndscap ICAP_PIXELTYPE ui\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"  *** set index (2)***", "  *** restore original index (2)***"}));
    EXPECT_EQ(sh.CountOf("  *** no close message from the source, going on ***"), 4);
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_DISABLEDS", "rc=TWRC_SUCCESS"}).size(), 4u);
    EXPECT_EQ(sh.PromptStates().back(), 4);
}

// Every container the battery sends holds all its header claims, whatever
// the source answered before; the source refuses and notes one that claims
// more than its block (the sanitizer build reports any read past it).
TEST(E2eCapBattery, EveryContainerSentHoldsWhatItsHeaderClaims)
{
    struct Case
    {
        std::string szConfig;
        std::string szCapability;
        std::string szSent;                         // a container the source took
        std::vector<std::string> aszOut;
        bool blShort = false;                       // an answer claimed more than its block
    };
    const std::vector<Case> acase = {
        // Step 6 with a 1,026-byte string item: a one-value of 1,028 bytes.
        {"cap CAP_AUTHOR array str1024 abc def\n", "CAP_AUTHOR", "container=0d006162" + std::string(2048, '0') + " ",
         {"---MSG_GET/MSG_SET (TW_ONEVALUE)-------", "\033[1mCAP_AUTHOR                      1000\033[0m",
          "  typ:    TWTY_STR1024", "  item:   <ab>"}},
        // The restore after a lenient source kept a bad item type: a whole one-value.
        {"cap ICAP_XRESOLUTION onevalue uint16 256 lenient\n", "ICAP_XRESOLUTION",
         "container=04000001000000000000 rc=TWRC_SUCCESS",
         {"  TEST: restore original settings", "        TWRC_SUCCESS/TWCC_SUCCESS"}},
        // The set walk over an answer that claims 11 items and holds 7: what it
        // holds (the C library may tell a block a few bytes longer than asked).
        {"fault wrongsize DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_XRESOLUTION\n", "ICAP_XRESOLUTION",
         "container=0700", {"", "  *** set index (6)***"}, true},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szConfig);
        SimShell sh(c.szConfig);
        e2e::Result r = sh.Run(s_szOpen + "dscap " + c.szCapability + "\nexit\n");
        EXPECT_TRUE(sh.Journal({"DAT_CAPABILITY/MSG_SET ", "error="}).empty());
        EXPECT_FALSE(sh.Journal({"DAT_CAPABILITY/MSG_SET ", c.szSent, "rc=TWRC_SUCCESS"}).empty());
        EXPECT_TRUE(sh.HasInOrder(c.aszOut)) << r.out;
        // The set walk said when the block held fewer items than claimed.
        EXPECT_EQ(sh.CountAffixed("  *** NumItems 11, only ", " items readable ***") > 0, c.blShort);
    }
}

// A source answering every capability request with a malformed container:
// the commands print what they can and end normally (the sanitizer build
// reports any read or write past a container).
TEST(E2eCapBattery, MalformedAnswersCannotCrashTheCommands)
{
    for (const char *szFault : {"contype", "itemtype", "badindex", "unterminated", "wrongsize", "wrongsize value=100000",
                                "nullhandle"})
    {
        SCOPED_TRACE(szFault);
        SimShell sh(std::string("fault ") + szFault + " DG_CONTROL DAT_CAPABILITY *\n");
        sh.UnsetEnv("SIMSCANNER_JOURNAL");
        e2e::Result r = sh.Run(s_szOpen + "dscap ICAP_PIXELTYPE CAP_DEVICEEVENT ICAP_BRIGHTNESS CAP_AUTHOR ICAP_HALFTONES\n"
                                          "get ICAP_PIXELTYPE\nset ICAP_XRESOLUTION 300\nset ICAP_PIXELTYPE TWPT_RGB\n"
                                          "dump\ndscap CAP_SUPPORTEDCAPS validate\nexit\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(sh.Has("---Validating--------------------------"));
    }
}
