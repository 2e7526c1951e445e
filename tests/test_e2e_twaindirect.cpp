// End-to-end tests of dat_twaindirect against the simulated scanner: a task
// from the built-in default, a file and the line itself, the replies the
// source gives, refusals, and the certification runner over a folder tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::Red;
using shelltest::SimShell;

namespace
{
const std::string s_szStars(61, '*');
const std::string s_szOpen = "twcreate 2.4\ndsmopen\ndsmlist silent\ndsmset \"Simulated Scanner\"\ndsopen\n";

// A certification file: header values, the marker, the task.
std::string TestFile(const std::string &a_szSummary, const std::string &a_szExpect, const std::string &a_szTask)
{
    return "{\"category\": \"configure\", \"summary\": \"" + a_szSummary + "\", \"description\": \"about " + a_szSummary +
           "\"" + a_szExpect + "}\r\n***DATADATADATA***\r\n" + a_szTask;
}

const std::string s_szGood = "{\"actions\":[{\"action\":\"configure\"}]}";
const std::string s_szBadValue = "{\"actions\":[{\"action\":\"configure\",\"streams\":[{\"exception\":\"fail\","
                                 "\"sources\":[{\"source\":\"scanner\"}]}]}]}";
} // namespace

TEST(E2eTwainDirect, TasksFromTheDefaultAFileAndTheLine)
{
    SimShell sh;
    sh.Dir().Write("task.json", s_szBadValue);
    sh.Dir().MakeDir("folder");
    sh.Run(s_szOpen + "dat_twaindirect msg_settask\ndat_twaindirect msg_settask task.json\n"
                      "dat_twaindirect msg_settask {\"actions\":[{\"action\":\"configure\"},]}\n"
                      "dat_twaindirect msg_settask folder\ndat_twaindirect settask\ndat_twaindirect\n");
    // The default task goes out with its tabs; the reply shows each tab as
    // two blanks.
    EXPECT_TRUE(sh.HasSequence({s_szStars, "{", "\t\"actions\": [", "\t\t{", "\t\t\t\"action\": \"configure\","}));
    EXPECT_TRUE(sh.HasSequence({"", "", s_szStars, "{", "  \"actions\": [", "    {", "      \"action\": \"configure\",",
                                "      \"results\": {", "        \"success\": true", "      }", "    }", "  ]", "}"}));
    // A file's task: a value the device lacks, under exception "fail".
    EXPECT_TRUE(sh.HasSequence({s_szStars, s_szBadValue}));
    EXPECT_TRUE(sh.HasSequence({"        \"success\": false,", "        \"code\": \"invalidValue\",",
                                "        \"jsonKey\": \"actions[0].streams[0].sources[0].source\""}));
    // The line's own text: not JSON, so the offset of the fault.
    EXPECT_TRUE(sh.HasSequence({"        \"code\": \"invalidJson\",", "        \"characterOffset\": 35"}));
    // A folder is no task file; other words (the short settask too) are misuse.
    EXPECT_TRUE(sh.HasSequence({"", "*** file not found folder ***"}));
    EXPECT_TRUE(sh.HasSequence({"", "*** unrecognized command settask ***"}));
    EXPECT_TRUE(sh.HasSequence({"", "*** unrecognized command  ***"}));
    std::vector<std::string> aszCalls = sh.Journal({"DG_CONTROL/DAT_TWAINDIRECT/MSG_SETTASK", "rc=TWRC_SUCCESS"});
    EXPECT_EQ(aszCalls.size(), 3u);
    // The request as the source received it: SizeOf 42, SendSize the task
    // with its terminator (1,035 bytes for the default).
    ASSERT_FALSE(aszCalls.empty());
    EXPECT_NE(aszCalls[0].find("data=2a00000000000000000"), std::string::npos) << aszCalls[0];
    EXPECT_NE(aszCalls[0].find("0b04000000000000"), std::string::npos) << aszCalls[0];
}

// (the sources that do not know the triplet: test_platform_sim_device.cpp)
TEST(E2eTwainDirect, RefusalsAndAMissingReply)
{
    // The third reply lacks its NUL and claims more bytes than its block
    // holds: it is read up to the block's end only.  The fourth comes with
    // TWRC_CHECKSTATUS: shown after the codes (and released).
    SimShell sh("fault nullhandle DG_CONTROL DAT_TWAINDIRECT MSG_SETTASK times=1\n"
                "fault wrongsize DG_CONTROL DAT_TWAINDIRECT MSG_SETTASK skip=1 times=1 value=64\n"
                "fault answer DG_CONTROL DAT_TWAINDIRECT MSG_SETTASK skip=1 rc=TWRC_CHECKSTATUS\n");
    sh.Dir().Write("t.txt", "dat_twaindirect msg_settask\nifstatus not twrc_success\necho no reply\nend\n"
                            "dat_twaindirect msg_settask\nifstatus twrc_success\necho reply\nend\n"
                            "dat_twaindirect msg_settask\nifstatus twrc_success\necho long reply\nend\n"
                            "dat_twaindirect msg_settask\n");
    sh.Run(s_szOpen + "run t\n");
    EXPECT_TRUE(sh.HasSequence({"", "", s_szStars, "(no data)"}));
    EXPECT_TRUE(sh.HasInOrder({Bold("no reply"), Bold("reply"), "        \"success\": true", Bold("long reply")}));
    EXPECT_TRUE(sh.HasSequence({"TWRC_CHECKSTATUS/TWCC_SUCCESS", "", "", s_szStars, "{", "  \"actions\": ["}));
}

TEST(E2eTwainDirect, CertificationRunner)
{
    SimShell sh;
    e2e::TempDir &dir = sh.Dir();
    dir.MakeDir("cert");
    dir.MakeDir("cert/b");
    dir.MakeDir("cert/a");
    dir.Write("cert/stray.txt", TestFile("stray", "", s_szGood));
    const std::string szSuccess = ", \"expectedSuccess\": \"true\"";
    dir.Write("cert/a/1.txt", TestFile("good task", szSuccess, s_szGood));
    dir.Write("cert/a/2.txt", TestFile("bad source", szSuccess, s_szBadValue));
    dir.Write("cert/a/3.txt", "{\"summary\": \"no marker\"}\n" + s_szGood);
    dir.Write("cert/a/4.txt", TestFile("bad header", ",,", s_szGood));
    dir.Write("cert/b/1.txt",
              TestFile("bad source expected",
                       ", \"expectedSuccess\": \"false\", \"expectedCode\": \"invalidValue\", \"expectedJsonKey\": "
                       "\"actions[0].streams[0].sources[0].source\", \"expectedValues\": [{\"jsonKey\": "
                       "\"actions[0].action\", \"value\": \"configure\"}]",
                       s_szBadValue));
    dir.Write("cert/b/2.txt", TestFile("good values", szSuccess + ", \"expectedValues\": [{\"jsonKey\": "
                                                                  "\"actions[0].action\", \"value\": \"configure\"}, "
                                                                  "{\"jsonKey\": \"actions[0].results.code\", \"value\": \"x\"}]",
                                       s_szGood));

    const std::string szBlue = "\033[34m\033[1m************************************************\033[0m";
    sh.Run(s_szOpen + "dat_twaindirect test cert\n");
    EXPECT_TRUE(sh.HasInOrder({
        "", Bold("configure: good task"), "about good task", dir.Path() + "/cert/a/1.txt", "\033[32m\033[1m***pass***\033[0m",
        "", Bold("configure: bad source"), "about bad source", dir.Path() + "/cert/a/2.txt", Red("***FAIL***"),
        Red("Expected: <true> <> <> <>"), Red("Received: <false> <invalidValue> <> <actions[0].streams[0].sources[0].source>"),
        Bold("configure: bad source expected"), "\033[32m\033[1m***pass***\033[0m",
        Bold("configure: good values"), Red("***FAIL***"), Red("Expected: <x> in <actions[0].results.code>"),
        Red("Received: <> "), " ", " ", szBlue, Bold("pass: 2"), Bold("fail: 2"), szBlue}));
    for (const char *szSkipped : {"no marker", "bad header", "stray"})
        EXPECT_EQ(sh.CountAffixed("\033[1mconfigure: " + std::string(szSkipped), ""), 0) << szSkipped;

    // Filter words choose by summary; a root without folders counts nothing.
    sh.Run(s_szOpen + "dat_twaindirect test cert values expected\ndat_twaindirect test nowhere\n");
    EXPECT_TRUE(sh.HasInOrder({Bold("configure: bad source expected"), Bold("configure: good values"), Bold("pass: 1"),
                               Bold("fail: 1"), Bold("pass: 0"), Bold("fail: 0")}));
    EXPECT_FALSE(sh.Has(Bold("configure: good task")));

    // A source that crashes fails the test, whatever the test expected.
    SimShell shCrash("fault crash DG_CONTROL DAT_TWAINDIRECT MSG_SETTASK times=1\n");
    shCrash.Dir().MakeDir("cert");
    shCrash.Dir().MakeDir("cert/b");
    shCrash.Dir().Write("cert/b/1.txt", e2e::ReadFile(dir.Path() + "/cert/b/1.txt"));
    shCrash.Run(s_szOpen + "dat_twaindirect test cert\n");
    EXPECT_TRUE(shCrash.HasInOrder({Red("TWRC_FAILURE/crashed"), Bold("pass: 0"), Bold("fail: 1")}));
}
