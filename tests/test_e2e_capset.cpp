// test_e2e_capset.cpp
// set against the simulated scanner: the container each command line builds
// (as the source's journal records it), and the lines of bad command words.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Hex;
using shelltest::SimShell;

namespace
{

const std::string s_szOpen = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n";
const std::string s_szPixelType = "\033[1mICAP_PIXELTYPE                  0101\033[0m";

} // namespace

// Every container and item type: the bytes the source received, and
// whether the source's current value (MSG_GETCURRENT) was fetched first.
TEST(E2eCapSet, EachLineSendsTheContainerItsWordsDescribe)
{
    struct Case
    {
        std::string szLine;
        std::string szContainer;
        bool blCurrent = false;
    };
    const std::string sz33(33, 'a');
    const std::vector<Case> acase = {
        // The source's current value with the item replaced (an enumerated FIX32, a symbol).
        {"set ICAP_XRESOLUTION 300", "container=07002c01000000000000 ", true},
        {"set ICAP_PIXELTYPE TWPT_RGB", "container=04000200000000000000 ", true},
        // A ranged FIX32 and ranged integers (8 bytes, sign-extended).
        {"set ICAP_BRIGHTNESS -1.25", "container=0700feff00c000000000 ", true},
        {"set 0x810a,TWON_RANGE,TWTY_INT32 -3", "container=0200fdffffffffffffff ", true},
        {"set CAP_XFERCOUNT 5", "container=01000500000000000000 ", true},
        // New one-value containers from the three-part word.
        {"set 0x8111,TWON_ONEVALUE,TWTY_UINT16 1000", "container=0400e803000000000000 "},
        {"set 8100,0x5,0x0 -100", "container=00009c00000000000000 "},
        {"set 0x8108,TWON_0x5,TWTY_0x2 -3", "container=0200fdffffffffffffff "},
        {"set 0x8120,TWON_ONEVALUE,TWTY_FRAME 1 2 3.5 4", "container=080001000000020000000300008004000000 "},
        {"set 0x8124,TWON_ONEVALUE,TWTY_STR32 " + sz33, "container=0900" + Hex(sz33) + "00 "},
        {"set CAP_AUTHOR \"Jane Doe\"", "container=0b00" + Hex("Jane Doe") + "0000"},
        // Several values: an enumeration (current index of the matching word, else 999), a range, an array.
        {"set ICAP_PIXELTYPE TWPT_GRAY TWPT_BW TWPT_GRAY",
         "container=040002000000000000000100000000000000000000000000000000000100 "},
        {"set ICAP_PIXELTYPE TWPT_RGB TWPT_BW TWPT_GRAY",
         "container=04000200000000000000e703000000000000000000000000000000000100 "},
        {"set 0x810a,TWON_RANGE,TWTY_INT32 3 -3 3 2",
         "container=0200fdffffffffffffff0300000000000000020000000000000000000000000000000300000000000000 "},
        {"set CAP_SUPPORTEDCAPS 4353 #257 CAP_XFERCOUNT", "container=04000300000000000000011101010000 "},
        {"set CAP_SUPPORTEDCAPS CAP_XFERCOUNT onevalue", "container=04000100000000000000 "},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szLine);
        SimShell sh;
        e2e::Result r = sh.Run(s_szOpen + c.szLine + "\nexit\n");
        EXPECT_EQ(r.status, 0);
        std::vector<std::string> aszSet = sh.Journal({"DAT_CAPABILITY/MSG_SET "});
        ASSERT_EQ(aszSet.size(), 1u) << r.out;
        EXPECT_NE(aszSet[0].find(c.szContainer), std::string::npos) << aszSet[0];
        std::vector<std::string> aszCap = sh.Journal({"DAT_CAPABILITY/"});
        auto itSet = std::find(aszCap.begin(), aszCap.end(), aszSet[0]);
        bool blCurrent = (itSet != aszCap.begin()) && ((itSet - 1)->find("/MSG_GETCURRENT ") != std::string::npos);
        EXPECT_EQ(blCurrent, c.blCurrent);
    }
}

// The capability handler's set messages: the same containers, no read-back.
TEST(E2eCapSet, TheCapabilityHandlerSetsAndConstrainsWithoutReadingBack)
{
    SimShell sh;
    sh.Run(s_szOpen + "dat_capability msg_setconstraint ICAP_PIXELTYPE TWPT_BW TWPT_BW TWPT_GRAY\n"
                      "dat_capability msg_set ICAP_PIXELTYPE TWPT_GRAY\nexit\n");
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_SETCONSTRAINT ",
                          "container=040002000000000000000000000000000000000000000000000000000100 "})
                  .size(),
              1u);
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_SET ", "container=04000100000000000000 ", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_TRUE(sh.Journal({"DAT_CAPABILITY/MSG_GET "}).empty());
    EXPECT_FALSE(sh.Has(s_szPixelType));
}

// set reads the capability back and shows it; a refusal names its codes,
// the condition code only when AutoDatStatus asks for it.
TEST(E2eCapSet, TheReadBackFollowsEverySetAndARefusalNamesItsCodes)
{
    SimShell sh;
    sh.Run(s_szOpen + "set ICAP_PIXELTYPE TWPT_GRAY\nset ICAP_BITDEPTH #8\nsetvar AutoDatStatus false\n"
                      "set 0x8111,TWON_ONEVALUE,TWTY_UINT16 7\nsetvar AutoDatStatus true\n"
                      "set 0x8111,TWON_ONEVALUE,TWTY_UINT16 7\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"\033[1mICAP_PIXELTYPE                  0101\033[0m", "  curidx: TWPT_GRAY (1)"}));
    // A bit depth by its number symbol, shown by it.
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_SET ", "data=2b11", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_TRUE(sh.HasSequence({"\033[1mICAP_BITDEPTH                   112b\033[0m", "  curidx: #8 (0)"}));
    // The read-back names the record: a hexadecimal id as CAP_%x, as get does.
    EXPECT_TRUE(sh.HasInOrder({"TWRC_FAILURE/TWCC_SUCCESS", "\033[1mCAP_8111                        8111\033[0m",
                               "TWRC_FAILURE/TWCC_BADVALUE", "\033[1mCAP_8111                        8111\033[0m"}));
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_GET ", "data=1181"}).size(), 2u);
}

// Bad words: one line each, nothing sent.
TEST(E2eCapSet, BadWordsPrintTheirLineAndSendNothing)
{
    struct Case
    {
        std::string szLine;
        std::string szOut;
    };
    const std::vector<Case> acase = {
        {"set", "*** must specify a capability name ***"},
        {"set ICAP_XRESOLUTION", "*** must provide a value ***"},
        {"set 0x1,5 1", "*** must specify three hex numbers: cap, container-type, data-type ***"},
        {"set ICAP_NOPE 1", "*** ICAP_NOPE not found ***"},
        {"set ICAP_PIXELTYPE,TWON_NOPE,TWTY_UINT16 1", "*** ICAP_PIXELTYPE,TWON_NOPE,TWTY_UINT16 not found ***"},
        {"set ICAP_PIXELTYPE 2", "*** 2 not found ***"},
        {"set ICAP_BITDEPTH 8", "*** 8 not found ***"},
        {"set 0x8120,TWON_ONEVALUE,TWTY_FRAME 1 2 3", "*** missing arguments (we need left, top, right, bottom) ***"},
        {"set 0x810a,TWON_RANGE,TWTY_INT32 1 2 3", "*** missing arguments (we need current, min, max, step) ***"},
        {"set CAP_AUTHOR a b", "*** cannot constrain a TW_ONEVALUE... ***"},
        {"set 0x8134,TWON_ONEVALUE,TWTY_STR1024 x", "*** unrecognized datatype...13 ***"},
        {"set 0x1,0x9,0x4 1", "*** unrecognized container...9 ***"},
        {"set ICAP_PIXELTYPE TWPT_BW TWPT_NOPE", "*** TWPT_NOPE not found ***"},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szLine);
        SimShell sh;
        e2e::Result r = sh.Run(s_szOpen + c.szLine + "\nexit\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(sh.Has(c.szOut)) << r.out;
        EXPECT_TRUE(sh.Journal({"DAT_CAPABILITY/MSG_SET"}).empty());
    }
}

// The codes a command leaves are its own triplet's, whatever the triplets
// after it (a read-back, a display) answer: a script's ifstatus block sets
// the exit status from them.  Each row: the source's configuration and name,
// the command, the journal text of what follows its triplet (when a source
// answers it), and the exit status (the condition code of a refusal, 0 after
// a success).
TEST(E2eCapSet, TheCodesACommandLeavesAreThoseOfItsOwnTriplet)
{
    const std::string szGetRefused = "fault refuse DG_CONTROL DAT_CAPABILITY MSG_GET\n";
    const std::string szSetRefused = "fault refuse DG_CONTROL DAT_CAPABILITY MSG_SET cc=TWCC_BADVALUE\n";
    const std::string szCamera = "[camera]\ngroups = 0x40001003\n";
    const std::string szEnum = "ICAP_PIXELTYPE TWPT_BW TWPT_BW TWPT_GRAY";
    const std::string szLayout = "dat_imagelayout set 0 0 8.5 11 1 1 1";
    const struct
    {
        std::string szConfig;
        std::string szSource;
        std::string szLine;
        std::string szAfter;
        int iStatus;
    } acase[] = {
        {"", "Simulated Scanner", "set ICAP_XRESOLUTION 5000", "DAT_CAPABILITY/MSG_GET ", 10},
        {szGetRefused, "Simulated Scanner", "set ICAP_XRESOLUTION 200", "DAT_CAPABILITY/MSG_GET ", 0},
        {szSetRefused, "Simulated Scanner", "set " + szEnum, "DAT_CAPABILITY/MSG_GET ", 10},
        {szGetRefused, "Simulated Scanner", "set " + szEnum, "DAT_CAPABILITY/MSG_GET ", 0},
        {szSetRefused + szGetRefused, "Simulated Scanner", "set ICAP_XRESOLUTION 200", "", 10},
        {szSetRefused, "Simulated Scanner", "dat_capability msg_set ICAP_PIXELTYPE TWPT_GRAY", "", 10},
        {"", "Simulated Scanner", "dat_capability msg_set ICAP_PIXELTYPE TWPT_GRAY", "", 0},
        {"fault refuse DG_CONTROL DAT_CAPABILITY MSG_SETCONSTRAINT cc=TWCC_BADVALUE\n", "Simulated Scanner",
         "dat_capability msg_setconstraint " + szEnum, "", 10},
        {"", "Simulated Scanner", "dat_capability msg_setconstraint " + szEnum, "", 0},
        {"fault refuse DG_IMAGE DAT_IMAGELAYOUT MSG_SET cc=TWCC_BADVALUE\n", "Simulated Scanner", szLayout, "", 10},
        {"fault refuse DG_IMAGE DAT_IMAGELAYOUT MSG_GET\n", "Simulated Scanner", szLayout, "DAT_IMAGELAYOUT/MSG_GET ", 0},
        {"fault refuse DG_CUSTOM DAT_STATUSRAW MSG_SET cc=TWCC_BADVALUE\n", "Simulated Scanner ZAV", "dat_statusraw set",
         "", 10},
        {"fault refuse DG_CUSTOM DAT_STATUSRAW MSG_GET\n", "Simulated Scanner ZAV", "dat_statusraw set",
         "DAT_STATUSRAW/MSG_GET ", 0},
        {"", "", "dat_identity set \"No Such Source\"", "", 3},
        {"", "", "dat_identity set \"Simulated Scanner 1.x\"", "", 0},
        {"", "Simulated Scanner", "di msg_getdefault", "", 9},    // the source refuses, and says why
        {"", "Simulated Scanner", "ui enableds\ndi msg_closeds", "", 11},    // the DSM keeps the source's reason
        {szCamera + "fault refuse DG_CONTROL DAT_WINDOW MSG_ADDWINDOW cc=TWCC_DENIED\n", "Simulated Camera", "wi add",
         "", 16},
        {szCamera + szGetRefused, "Simulated Camera", "wi add", "DAT_CAPABILITY/MSG_GET ", 0},
    };
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szConfig + c.szLine);
        SimShell sh(c.szConfig);
        sh.Dir().Write("s.txt", c.szLine + "\nifstatus TWRC_FAILURE\n  setexitstatus\nend\n");
        // (The DSM answers the identity commands in state 3 only.)
        std::string szOpen = c.szSource.empty() ? "" : "dsopen \"" + c.szSource + "\"\n";
        e2e::Result r = sh.Run("twcreate 2.4\ndsmopen\n" + szOpen + "setvar AutoDatStatus true\nrun s\nexit\n");
        EXPECT_EQ(r.status, c.iStatus) << r.out;
        if (!c.szAfter.empty())
        {
            EXPECT_FALSE(sh.Journal({c.szAfter, c.iStatus ? "rc=TWRC_SUCCESS" : "rc=TWRC_FAILURE"}).empty());
        }
    }
}
