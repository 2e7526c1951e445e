// End-to-end tests of the script language through the real program: script
// files and their arguments, labels and jumps, blocks, status and difference
// tests, messages and counters, timers, data blocks and the ways of running
// a script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::Green;
using shelltest::Red;
using shelltest::Shell;
using shelltest::Yellow;

namespace
{
std::string Err(const std::string &a_script, const std::string &a_text)
{
    return "DRAVO.ERROR(" + a_script + "):   " + a_text;
}
} // namespace

// ---------------------------------------------------------------------------
// Finding and running script files
// ---------------------------------------------------------------------------

TEST(E2eScriptFiles, ArgumentsAreQuotedSubstituted)
{
    Shell sh;
    sh.Dir().Write("t.txt", "echo {1}\necho {2}\necho \"{2}\"\necho {3}\nsetvar ProductName {2}\ngetvar ProductName\n");
    e2e::Result r = sh.Run("run t a \"b c\"\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "tw0>>> echo \"a\"", Bold("a"),
                                                     "tw0>>> echo \"b c\"", Bold("b c"), "tw0>>> echo \"b c\"",
                                                     Bold("b c"), "tw0>>> echo \"\"", "",
                                                     "tw0>>> setvar ProductName \"b c\"", "tw0>>> getvar ProductName",
                                                     "ProductName=b c"}));
}

TEST(E2eScriptFiles, SixteenArgumentsAndNoMore)
{
    Shell sh;
    sh.Dir().Write("many.txt", "echo {16}\necho {10}{1}\necho {17}\n");
    std::string line = "run many";
    for (int ii = 1; ii <= 17; ii++)
        line += " a" + std::to_string(ii);
    sh.Run(line + "\nexit\n");
    EXPECT_TRUE(sh.Has(Bold("a16")));
    EXPECT_TRUE(sh.Has("tw0>>> echo \"a10\"\"a1\""));
    EXPECT_TRUE(sh.Has("tw0>>> echo {17}"));
}

TEST(E2eScriptFiles, DesktopPlaceholder)
{
    Shell sh;
    sh.Dir().Write("d.txt", "echo {desktop}/x\n");
    sh.Run("run d\nexit\n");
    ASSERT_EQ(sh.Lines().size(), 3u);
    std::string shown = sh.Lines()[2];
    EXPECT_EQ(shown.rfind("\033[1m", 0), 0u);
    EXPECT_NE(shown.find("/x"), std::string::npos);
    EXPECT_EQ(shown.find("{desktop}"), std::string::npos);
    // The desktop folder lies in the home folder the test gave the program.
    EXPECT_NE(shown.find(sh.Dir().Path()), std::string::npos) << shown;
}

TEST(E2eScriptFiles, NameResolutionAndListing)
{
    Shell sh;
    sh.Dir().Write("plain", "echo plain\n");
    sh.Dir().Write("plain.txt", "echo plain.txt\n");
    sh.Dir().Write("other.twain", "echo other.twain\n");
    sh.Dir().Write("b.txt", "");
    sh.Dir().MakeDir("folder.txt");
    sh.Run("run plain\nrun other\nrun missing\nrun folder\nrun\nexit\n");
    EXPECT_TRUE(sh.Has(Bold("plain")));
    EXPECT_FALSE(sh.Has(Bold("plain.txt")));
    EXPECT_TRUE(sh.Has(Bold("other.twain")));
    EXPECT_EQ(sh.CountOf("file not found..."), 2);
    EXPECT_TRUE(sh.HasSequence({"Scripts", "~~~~~~~", "  b", "  plain", "  other"}));
}

TEST(E2eScriptFiles, StarRunOverSeveralFiles)
{
    Shell sh;
    sh.Dir().Write("s1.txt", "echo one\n");
    sh.Dir().Write("s2.txt", "echo two\nbogus\necho not reached\n");
    sh.Dir().Write("s3.txt", "echo three\n");
    sh.Run("run s*.txt\nrun none*.txt\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"tw0>>>", "tw0>>>", "tw0>>>", "tw0>>> run s1.txt", "tw0>>> echo one", Bold("one")}));
    EXPECT_TRUE(sh.HasSequence({"tw0>>>", "tw0>>>", "tw0>>>", "tw0>>> run s2.txt"}));
    // A stop in one file does not prevent the following ones.
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    EXPECT_TRUE(sh.HasSequence({"tw0>>>", "tw0>>>", "tw0>>>", "tw0>>> run s3.txt", "tw0>>> echo three", Bold("three")}));
    // A pattern that matches nothing prints nothing.
    EXPECT_EQ(sh.CountOf("tw0>>>"), 9);
}

TEST(E2eScriptFiles, BlankLinesAndCrLfKeepTheLineNumbers)
{
    Shell sh;
    sh.Dir().Write("crlf.txt", "repeat 2\r\n\r\necho body\r\n\r\nend\r\necho after\r\n");
    sh.Dir().Write("lf.txt", "\nrepeat 2\n\n\necho body\nend\n");
    sh.Run("run crlf\nrun lf\nexit\n");
    EXPECT_EQ(sh.CountOf(Bold("body")), 4);
    EXPECT_EQ(sh.CountOf("tw0>>> "), 9);
    EXPECT_TRUE(sh.Has(Bold("after")));
}

// At most 8,191 lines, each of at most 511 characters: past either limit
// the script stops, and the prompt goes on.
TEST(E2eScriptFiles, LineCountAndLineLengthLimits)
{
    Shell sh;
    std::string ok, tooMany;
    for (int ii = 0; ii < 8191; ii++)
        ok += ";\n";
    ok += "echo last\n";
    tooMany = ok + ";\n";
    sh.Dir().Write("ok.txt", ok);
    sh.Dir().Write("big.txt", tooMany);
    sh.Dir().Write("long.txt", "echo " + std::string(600, 'x') + "\necho not reached\n");
    sh.Run("run ok\nrun big\nrun long\necho back\ntally\nexit\n");
    EXPECT_EQ(sh.CountOf(Bold("last")), 1);
    EXPECT_TRUE(sh.Has("buffer overflow...(8192 lines in script)"));
    EXPECT_TRUE(sh.Has(Err("long", Red("%%line too long (605 characters, at most 511)"))));
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    EXPECT_TRUE(sh.Has(Bold("back")));
    EXPECT_TRUE(sh.Has(Red("Errors: 1, Warnings: 0")));
}

// ---------------------------------------------------------------------------
// Stopping scripts: unrecognised words, return, exit, quit
// ---------------------------------------------------------------------------

TEST(E2eScriptStop, UnrecognizedWordStopsTheScriptAndCounts)
{
    Shell sh;
    sh.Dir().Write("u.txt", "echo before\nfrobnicate now\necho after\n");
    e2e::Result r = sh.Run("run u\necho prompt\ntally\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasSequence({"tw0>>> frobnicate now",
                                Err("u", Red("%%unrecognized command (frobnicate), enter HELP for list"))}));
    EXPECT_FALSE(sh.Has(Bold("after")));
    EXPECT_TRUE(sh.Has(Bold("prompt")));
    EXPECT_TRUE(sh.Has(Red("Errors: 1, Warnings: 0")));
}

TEST(E2eScriptStop, ReturnInsideABlockLeavesTheCallersBlocksIntact)
{
    // The called script returns from inside an open block; the caller's
    // repeat must still see its own "end" and run its body three times.
    Shell sh;
    sh.Dir().Write("sub.txt", "ifstatus TWRC_SUCCESS\n  return\nend\necho not reached\n");
    sh.Dir().Write("caller.txt", "repeat 3\n  run sub\n  echo body\nend\necho after\n");
    sh.Run("run caller\nrun caller\nexit\n");
    EXPECT_EQ(sh.CountOf(Bold("body")), 6);
    EXPECT_EQ(sh.CountOf(Bold("after")), 2);
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    EXPECT_FALSE(sh.Has("too many nested blocks"));
}

// Each row: the script s (run by outer.txt too), the typed lines and the
// program's arguments, the exit status, and the lines that show it went on
// where it must; no "not reached" line shows anywhere.
TEST(E2eScriptStop, ReturnExitQuitAndTheWaysOfRunningAScript)
{
    const struct
    {
        const char *szScript;
        const char *szInput;
        std::vector<std::string> aszArgs;
        int iStatus;
        std::vector<std::string> aszShown;
        std::vector<std::string> aszHidden;
    } acase[] = {
        // return ends only the script, with its codes.
        {"echo in\nreturn TWRC_CANCEL TWCC_BADVALUE\necho not reached\n", "run s\nsetexitstatus\nexit\n", {}, 3,
         {Bold("in")}, {}},
        // exit ends every caller, quit only the script.
        {"setexitstatus TWCC_PAPERJAM\nexit\necho not reached\n", "run outer\necho not reached\n", {}, 20, {},
         {Bold("outer goes on")}},
        {"quit\necho not reached\n", "run outer\necho prompt goes on\nexit\n", {}, 0,
         {Bold("outer goes on"), Bold("prompt goes on")}, {}},
        // The prompt's answer "q" stops the script.
        {"prompt\necho not reached\n", "run s\nq\necho prompt\nexit\n", {}, 0,
         {"press enter key to continue..." + Bold("prompt")}, {}},
        {"setexitstatus TWCC_DENIED\nexit\n", "runsilent s\necho not reached\n", {}, 16, {}, {}},
        {"echo debugging\n", "rundebug s\necho after\nexit\n", {}, 0, {Bold("debugging"), Bold("after")}, {}},
        // A script as the first command, with its arguments.
        {"echo {1}\nsetexitstatus TWCC_BADDEST\nexit\n", "echo not reached\n", {"run", "s", "x y"}, 12,
         {"\033[32mtw0>>>\033[0m run s \"x y\"", Bold("x y")}, {}},
    };
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szScript);
        Shell sh;
        sh.Dir().Write("s.txt", c.szScript);
        sh.Dir().Write("outer.txt", "run s\necho outer goes on\n");
        e2e::Result r = sh.Run(c.szInput, c.aszArgs);
        EXPECT_EQ(r.status, c.iStatus);
        EXPECT_FALSE(sh.Has(Bold("not reached"))) << r.out;
        for (const std::string &szLine : c.aszShown)
            EXPECT_TRUE(sh.Has(szLine)) << szLine << "\n" << r.out;
        for (const std::string &szLine : c.aszHidden)
            EXPECT_FALSE(sh.Has(szLine)) << szLine;
    }
}

// ---------------------------------------------------------------------------
// Labels and jumps
// ---------------------------------------------------------------------------

TEST(E2eScriptGoto, ForwardOutOfNestedBlocksAndBackwardOutOfABlock)
{
    Shell sh;
    sh.Dir().Write("g.txt", "ifstatus TWRC_SUCCESS\n"
                            "  ifstatus TWRC_SUCCESS\n"
                            "    goto out\n"
                            "    echo skipped 1\n"
                            "  end\n"
                            "  echo skipped 2\n"
                            "end\n"
                            "echo skipped 3\n"
                            "  out:  \n"
                            "echo done\n");
    sh.Dir().Write("b.txt", "goto second\n"
                            "first:\n"
                            "echo first\n"
                            "goto done\n"
                            "second:\n"
                            "echo second\n"
                            "repeat 1\n"
                            "  goto first\n"
                            "end\n"
                            "done:\n"
                            "echo done\n");
    e2e::Result r = sh.Run("run g\nrun b\nbogus\nexit\n");
    EXPECT_FALSE(sh.Has(Bold("skipped 1")));
    EXPECT_FALSE(sh.Has(Bold("skipped 2")));
    EXPECT_FALSE(sh.Has(Bold("skipped 3")));
    EXPECT_TRUE(sh.HasInOrder({Bold("done"), Bold("second"), Bold("first"), Bold("done")}));
    // Back at the prompt at depth 0: an unknown word is the prompt's message.
    EXPECT_TRUE(sh.Has("%%unrecognized command, enter HELP for list"));
    EXPECT_EQ(r.status, 0);
}

TEST(E2eScriptGoto, MissingLabelEndsTheScriptNormally)
{
    Shell sh;
    sh.Dir().Write("m.txt", "goto nowhere\necho not reached\n");
    sh.Dir().Write("caller.txt", "run m\necho caller goes on\n");
    // Labels are case-sensitive whole lines.
    sh.Dir().Write("c.txt", "goto Here\nhere:\necho lower\nHere: extra\necho upper-ish\n");
    sh.Run("run caller\ngoto m\nrun c\ntally\nexit\n");
    EXPECT_TRUE(sh.Has("Failed to find goto label...nowhere:"));
    EXPECT_TRUE(sh.Has("Failed to find goto label...Here:"));
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    EXPECT_TRUE(sh.Has(Bold("caller goes on")));
    EXPECT_TRUE(sh.Has(Green("Errors: 0, Warnings: 0")));
}

TEST(E2eScriptGoto, UnbalancedJumpIsRefused)
{
    Shell sh;
    // Jumping forward across an "end" that closes nothing this script opened.
    sh.Dir().Write("u.txt", "goto after\nend\nafter:\necho not reached\n");
    sh.Run("run u\necho prompt\nexit\n");
    EXPECT_TRUE(sh.Has(Err("u", Red("%%error, goto after leaves the blocks unbalanced (depth 0, allowed 1 to 15)"))));
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    EXPECT_TRUE(sh.Has(Bold("prompt")));
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

TEST(E2eScriptBlocks, RepeatCountsAndCounterLines)
{
    Shell sh;
    sh.Dir().Write("r.txt", "repeat 3\n  echo body\n  end\necho after\n");
    sh.Dir().Write("n.txt", "repeat 2\nrepeat 3\necho inner\nend\necho outer\nend\n");
    // Zero, one and a word run the body once; no number at all is said.
    sh.Dir().Write("z.txt", "repeat 0\necho zero\nend\nrepeat 1\necho one\nend\nrepeat x\necho word\nend\n"
                            "repeat\necho no number\n");
    // The most negative count runs the body once, like any count below 1.
    sh.Dir().Write("neg.txt", "repeat -2147483648\necho once\nend\necho past\n");
    // A count past the counter's range is held at its largest value (not
    // cut to its low bits); the prompt's answer "q" stops the loop.
    sh.Dir().Write("huge.txt", "repeat 4294967298\necho in\nprompt\nend\n");
    e2e::Result r = sh.Run("run r\nrun n\nrun z\nrun neg\nrun huge\n\nq\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.CountOf(Bold("inner")), 6);
    EXPECT_EQ(sh.CountOf(Bold("outer")), 2);
    EXPECT_EQ(sh.CountOf(Bold("body")), 3);
    EXPECT_TRUE(sh.HasSequence({"tw0>>>   end", "tw0>>>", "tw0>>>   count 2", "tw0>>>   echo body"}));
    EXPECT_TRUE(sh.HasSequence({"tw0>>>   end", "tw0>>>", "tw0>>>   count 1", "tw0>>>   echo body"}));
    EXPECT_TRUE(sh.Has(Bold("after")));
    for (const char *szOnce : {"zero", "one", "word", "no number", "once"})
        EXPECT_EQ(sh.CountOf(Bold(szOnce)), 1) << szOnce;
    EXPECT_TRUE(sh.Has(Err("z", "must specify a number...")));
    EXPECT_TRUE(sh.Has(Bold("past")));
    EXPECT_EQ(sh.CountOf(Bold("in")), 2);
    EXPECT_TRUE(sh.Has("tw0>>> count 2147483646")) << e2e::Count(r.out, "count");
}

TEST(E2eScriptBlocks, StatusTestsOnReturnedCodes)
{
    Shell sh;
    sh.Dir().Write("s.txt", "ifstatus TWRC_FAILURE AND TWCC_SEQERROR\n echo both\nend\n"
                            "ifstatus TWRC_SUCCESS OR TWCC_SEQERROR\n echo either\nend\n"
                            "ifstatus not TWRC_SUCCESS\n echo not success\nend\n"
                            "ifstatus TWRC_SUCCESS\n echo never 1\n"
                            " ifstatus TWRC_FAILURE\n  echo never 2\n end\n"
                            " repeat 3\n  echo never 3\n end\n"
                            " echo never 4\nend\n"
                            "ifstatus TWRC_FAILURE AND TWCC_BADCAP\n echo never 5\nend\n"
                            "ifstatus NOT TWRC_FAILURE OR TWCC_SEQERROR\n echo not-or\nend\n"
                            "ifstatus no_such_name\n echo never 6\nend\n"
                            "ifstatus\n echo never 7\nend\n"
                            "echo finished\n");
    // Without a TWAIN object and through one with the DSM open: the same answers.
    for (const std::string szPrefix : {"", "twcreate\ndsmopen\n"})
    {
        SCOPED_TRACE(szPrefix);
        e2e::Result r = sh.Run(szPrefix + "return TWRC_FAILURE TWCC_SEQERROR\nrun s\nbogus\nsetexitstatus\nexit\n");
        EXPECT_EQ(r.status, 11);
        EXPECT_TRUE(sh.Has((szPrefix.empty() ? "tw0" : "tw3") + std::string(">>> ifstatus TWRC_SUCCESS")));
        EXPECT_TRUE(sh.Has(Bold("both")));
        EXPECT_TRUE(sh.Has(Bold("either")));
        EXPECT_TRUE(sh.Has(Bold("not success")));
        EXPECT_TRUE(sh.Has(Bold("not-or")));
        for (int ii = 1; ii <= 7; ii++)
            EXPECT_FALSE(sh.Has(Bold("never " + std::to_string(ii)))) << ii;
        EXPECT_TRUE(sh.Has(Bold("finished")));
        EXPECT_TRUE(sh.Has("%%unrecognized command, enter HELP for list"));
    }
}

TEST(E2eScriptBlocks, NestingAndRecursionStopAtFifteenLevels)
{
    Shell sh;
    // A script takes level 1; fourteen blocks reach level 15.
    std::string deep, tooDeep;
    for (int ii = 0; ii < 14; ii++)
        deep += "ifstatus TWRC_SUCCESS\n";
    deep += "echo deepest\n";
    for (int ii = 0; ii < 14; ii++)
        deep += "end\n";
    deep += "echo out\n";
    for (int ii = 0; ii < 15; ii++)
        tooDeep += "repeat 2\n";
    tooDeep += "echo never\n";
    sh.Dir().Write("deep.txt", deep);
    sh.Dir().Write("toodeep.txt", tooDeep);
    sh.Dir().Write("self.txt", "echo in\nrun self\n");
    e2e::Result r = sh.Run("run deep\nrun toodeep\necho alive\nrun self\nbogus\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has(Bold("deepest")));
    EXPECT_TRUE(sh.Has(Bold("out")));
    const std::string szTooMany = Red("%%error, too many nested blocks and scripts (at most 15 levels)");
    EXPECT_TRUE(sh.Has(Err("toodeep", szTooMany)));
    EXPECT_FALSE(sh.Has(Bold("never")));
    EXPECT_TRUE(sh.Has(Bold("alive")));
    EXPECT_EQ(sh.CountOf(Bold("in")), 15);
    EXPECT_EQ(sh.CountOf(Err("self", szTooMany)), 1);
    // Every run unwound: the prompt is back at depth 0.
    EXPECT_TRUE(sh.Has("%%unrecognized command, enter HELP for list"));
}

TEST(E2eScriptBlocks, DifferenceTestsOnRunArguments)
{
    // Without a TWAIN object and through one: the same answers.
    for (const std::string szPrefix : {"", "twcreate\n"})
    {
        SCOPED_TRACE(szPrefix);
        Shell sh;
        sh.Dir().Write("d.txt", "setdiff twrunargs.u32Count 4\n"
                                "ifdiff twrunargs\n echo differ\nend\n"
                                "ifdiff not twrunargs\n echo same\nend\n");
        sh.Run(szPrefix + "run d a b\nrun d a\nexit\n");
        EXPECT_EQ(sh.CountOf(Bold("same")), 1);
        EXPECT_EQ(sh.CountOf(Bold("differ")), 1);
        EXPECT_TRUE(sh.HasInOrder({Bold("same"), Bold("differ")}));

        sh.Dir().Write("a.txt", "setdiff twrunargs.szArg3 y\n"
                                "ifdiff twrunargs\n echo differ\nend\n"
                                "setdiff twrunargs.SZARG3 {1}\n"
                                "ifdiff twrunargs\n echo still\nend\n");
        sh.Run(szPrefix + "run a x\nexit\n");
        EXPECT_TRUE(sh.Has(Bold("differ")));
        EXPECT_FALSE(sh.Has(Bold("still")));
    }
}

TEST(E2eScriptBlocks, DifferenceCommandErrors)
{
    Shell sh;
    sh.Dir().Write("e.txt", "setdiff\nsetdiff foo 1\nsetdiff twrunargs.bogus 1\nsetdiff twrunargs.szArg11 1\n"
                            "ifdiff\n echo never 1\nend\n"
                            "ifdiff bogus\n echo never 2\nend\n"
                            "ifdiff not bogus\n echo not bogus\nend\n");
    sh.Run("run e\nexit\n");
    EXPECT_TRUE(sh.HasInOrder({"Missing target name...", "Unrecognized target...<foo>",
                               "Unrecognized target...<twrunargs.bogus>", "Unrecognized target...<twrunargs.szArg11>",
                               "Please specify an argument to 'ifdiff'...", "Unrecognized 'ifdiff' structure...<bogus>",
                               "Unrecognized 'ifdiff' structure...<bogus>"}));
    EXPECT_FALSE(sh.Has(Bold("never 1")));
    EXPECT_FALSE(sh.Has(Bold("never 2")));
    EXPECT_TRUE(sh.Has(Bold("not bogus")));
}

// ---------------------------------------------------------------------------
// Messages, tally, timers, variables
// ---------------------------------------------------------------------------

TEST(E2eScriptState, MessagesCarryTheScriptNameAndCount)
{
    Shell sh;
    sh.Dir().Write("m.txt", "info hello there\ninfonofile plain\necho bold\nwarn careful now\nwarning again\n"
                            "warn\nerrorsilent quiet one\ngetvar ScriptName\n");
    sh.Run("run m\ntally\ngetvar ScriptName\ntally clear\ntally\nwarn w\ntally\ntally bogus\nexit\n");
    EXPECT_TRUE(sh.Has("DRAVO.INFO(m):    " + Green("hello there")));
    EXPECT_TRUE(sh.Has(Green("plain")));
    EXPECT_TRUE(sh.Has(Bold("bold")));
    EXPECT_TRUE(sh.Has("DRAVO.WARNING(m): " + Yellow("careful now")));
    EXPECT_TRUE(sh.Has("DRAVO.WARNING(m): " + Yellow("again")));
    EXPECT_TRUE(sh.Has("DRAVO.WARNING(m): "));
    EXPECT_TRUE(sh.Has(Err("m", Red("quiet one"))));
    EXPECT_TRUE(sh.Has("ScriptName=m"));
    EXPECT_TRUE(sh.Has("ScriptName="));
    EXPECT_TRUE(sh.HasInOrder({Red("Errors: 1, Warnings: 2"), Green("Errors: 0, Warnings: 0"),
                               Yellow("Errors: 0, Warnings: 1"), "DRAVO.ERROR():   unrecognized command..."}));
}

TEST(E2eScriptState, Timers)
{
    Shell sh;
    sh.Dir().Write("t.txt", "timer start\ntimer pause\ntimer resume\ntimer\ntimer stop\n");
    sh.Run("run t\ntimer pause\ntimer resume\ntimer stop\ntimer start pause\ntimer pause\ntimer resume\n"
           "timer resume\ntimer clear\ntimer stop\ntimer bogus\nexit\n");
    // The two magenta lines: counts 1 and 2, a number of seconds each.
    std::string magenta = "DRAVO.ERROR(t):   \033[35m\033[1mTimer(1) Count=";
    EXPECT_EQ(sh.CountAffixed(magenta + "1 Total=", "s\033[0m"), 1);
    EXPECT_EQ(sh.CountAffixed(magenta + "2 Total=", "s\033[0m"), 1);
    // The listing of a running timer reports the time up to now.
    bool blListed = false;
    for (const auto &l : sh.Lines())
    {
        double dTotal = -1.0, dAverage = -1.0;
        char szEnd[8] = "";
        if (sscanf(l.c_str(), "Timer(01) Count=2 Total=%lfs Average=%lf%7s", &dTotal, &dAverage, szEnd) == 3)
        {
            blListed = true;
            EXPECT_STREQ(szEnd, "s");
            EXPECT_LT(dTotal, 60.0) << l;
            EXPECT_GE(dTotal, 0.0) << l;
            EXPECT_NEAR(dAverage * 2, dTotal, 1e-6) << l;
        }
    }
    EXPECT_TRUE(blListed);
    EXPECT_EQ(sh.CountOf("DRAVO.ERROR():   timer underflow..."), 4);
    EXPECT_TRUE(sh.Has("DRAVO.ERROR():   must start or resume first..."));
    EXPECT_TRUE(sh.Has("DRAVO.ERROR():   must pause..."));
    EXPECT_TRUE(sh.Has("DRAVO.ERROR():   unrecognized command..."));
    // Sixteen starts overflow the timer stack once.
    std::string input;
    for (int ii = 0; ii < 16; ii++)
        input += "timer start\n";
    sh.Run(input + "exit\n");
    EXPECT_EQ(sh.CountOf("DRAVO.ERROR():   timer overflow..."), 1);
}

// ---------------------------------------------------------------------------
// Data blocks and the record file
// ---------------------------------------------------------------------------

TEST(E2eScriptData, DataBlockComparedPassAndFail)
{
    Shell sh;
    std::string body = "log data on\necho hello\nlog data off\nlog compare\n";
    sh.Dir().Write("pass.txt", body + "datadatadata\ntw0>>> echo hello\n\033[1mhello\033[0m\ntw0>>> log data off\n"
                                      "DATADATADATA\n");
    sh.Dir().Write("fail.txt", body + "datadatadata\ntw0>>> echo hello\ngoodbye\ntw0>>> log data off\ndatadatadata\n");
    sh.Dir().Write("short.txt", body + "datadatadata\ntw0>>> echo hello\ndatadatadata\n");
    // An empty expected line is a line of its own: output without it fails.
    sh.Dir().Write("gap.txt", body + "datadatadata\ntw0>>> echo hello\n\n\033[1mhello\033[0m\ntw0>>> log data off\n"
                                     "datadatadata\n");
    // A data block still open at the end of its script is closed there, with
    // the lines it holds; then the prompt takes commands again.
    sh.Dir().Write("cut.txt", body + "datadatadata\ntw>>> echo hello\n");
    sh.Run("run pass\nrun fail\nrun short\nrun gap\nrun cut\necho after\nexit\n");
    EXPECT_EQ(sh.CountOf("pass..."), 1);
    EXPECT_TRUE(sh.HasSequence({"Fail at line 1", "Got:      <" + Bold("hello") + ">", "Expected: <goodbye>"}));
    EXPECT_TRUE(sh.HasSequence({"Fail at line 1", "Got:      <" + Bold("hello") + ">", "Expected: <>"}));
    EXPECT_EQ(sh.CountOf("Expected: <>"), 3);
    EXPECT_TRUE(sh.Has("DRAVO.ERROR():   " +
                       Red("%%error, data block of cut not closed by datadatadata, closed after 1 lines")));
    EXPECT_TRUE(sh.Has(Bold("after")));
}

TEST(E2eScriptData, RecordingReplaysAsAPassingScriptAndFailsOnceChanged)
{
    Shell sh;
    sh.Dir().Write("sub.txt", "echo from sub\ninfo note\n");
    // "echo" alone prints an empty line, which the data block keeps as an
    // empty line; the transcript holds the typed "run sub" only, the data
    // block the script's lines too.
    e2e::Result r = sh.Run("log record on rec\necho hi\necho\ninfo there\nsetvar ProductName x\nrun sub\n"
                           "log record off\nrun rec\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.Dir().Read("rec.txt"), "log data on\r\n"
                                        "echo hi\r\n"
                                        "echo\r\n"
                                        "info there\r\n"
                                        "setvar ProductName x\r\n"
                                        "run sub\r\n"
                                        "log data off\r\n"
                                        "log compare\r\n"
                                        "datadatadata\r\n"
                                        "tw>>> echo hi\r\n"
                                        "\033[1mhi\033[0m\r\n"
                                        "tw>>> echo\r\n"
                                        "\r\n"
                                        "tw>>> info there\r\n"
                                        "DRAVO.INFO():    \033[32m\033[1mthere\033[0m\r\n"
                                        "tw>>> setvar ProductName x\r\n"
                                        "tw>>> run sub\r\n"
                                        "tw0>>> echo from sub\r\n"
                                        "\033[1mfrom sub\033[0m\r\n"
                                        "tw0>>> info note\r\n"
                                        "DRAVO.INFO(sub):    \033[32m\033[1mnote\033[0m\r\n"
                                        "tw>>> log data off\r\n"
                                        "datadatadata\r\n");
    EXPECT_EQ(sh.CountOf("pass..."), 1);
    EXPECT_EQ(sh.CountAffixed("Fail at line", ""), 0);

    // Other output than the recorded fails the replay.
    std::string text = sh.Dir().Read("rec.txt");
    size_t pos = text.find("\033[1mhi");
    ASSERT_NE(pos, std::string::npos);
    text.replace(pos, 6, "\033[1mho");
    sh.Dir().Write("rec.txt", text);
    sh.Run("run rec\nexit\n");
    EXPECT_FALSE(sh.Has("pass..."));
    EXPECT_TRUE(sh.Has("Fail at line 1"));

    // A recording still running at the exit keeps its transcript only.
    sh.Run("log record on open\necho hi\nexit\n");
    EXPECT_EQ(sh.Dir().Read("open.txt"), "log data on\r\necho hi\r\nexit\r\n");
}

// ---------------------------------------------------------------------------
// The ways of running a script
// ---------------------------------------------------------------------------

TEST(E2eScriptRun, RunSilentHidesTheScriptAndRestoresTheConsole)
{
    Shell sh;
    // Plain lines are hidden; the message commands show themselves.
    sh.Dir().Write("quiet.txt", "size\necho message\n");
    sh.Dir().Write("loud.txt", "getvar ProtocolVersion\nerror visible now\ngetvar Language\n");
    sh.Run("runsilent quiet\nsize\nrunsilent loud\ngetvar AutoDatStatus\nexit\n");
    EXPECT_FALSE(sh.Has("tw0>>> size"));
    EXPECT_FALSE(sh.Has("tw0>>> echo message"));
    EXPECT_TRUE(sh.Has(Bold("message")));
    EXPECT_EQ(sh.CountOf("TW_INT32=8 TW_UINT32=8 TW_IDENTITY=164"), 1);
    EXPECT_FALSE(sh.Has("ProtocolVersion=1.9"));
    EXPECT_TRUE(sh.Has(Err("loud", Red("visible now"))));
    // After an error the console stays on for the rest of the script.
    EXPECT_TRUE(sh.Has("tw0>>> getvar Language"));
    EXPECT_TRUE(sh.Has("Language=TWLG_ENGLISH_USA"));
    EXPECT_TRUE(sh.Has("AutoDatStatus=true"));
}

TEST(E2eScriptState, EveryStatusNameHasItsValue)
{
    const std::vector<std::pair<std::string, int>> names = {
        {"TWRC_SUCCESS", 0},          {"TWRC_FAILURE", 1},         {"TWRC_CHECKSTATUS", 2},
        {"TWRC_CANCEL", 3},           {"TWRC_DSEVENT", 4},         {"TWRC_NOTDSEVENT", 5},
        {"TWRC_XFERDONE", 6},         {"TWRC_ENDOFLIST", 7},       {"TWRC_INFONOTSUPPORTED", 8},
        {"TWRC_DATANOTAVAILABLE", 9}, {"TWRC_BUSY", 10},           {"TWCC_SUCCESS", 0},
        {"TWCC_BUMMER", 1},           {"TWCC_LOWMEMORY", 2},       {"TWCC_NODS", 3},
        {"TWCC_MAXCONNECTIONS", 4},   {"TWCC_OPERATIONERROR", 5},  {"TWCC_BADCAP", 6},
        {"TWCC_BADPROTOCOL", 9},      {"TWCC_BADVALUE", 10},       {"TWCC_SEQERROR", 11},
        {"TWCC_BADDEST", 12},         {"TWCC_CAPUNSUPPORTED", 13}, {"TWCC_CAPBADOPERATION", 14},
        {"TWCC_CAPSEQERROR", 15},     {"TWCC_DENIED", 16},         {"TWCC_FILEEXISTS", 17},
        {"TWCC_FILENOTFOUND", 18},    {"TWCC_NOTEMPTY", 19},       {"TWCC_PAPERJAM", 20},
        {"TWCC_PAPERDOUBLEFEED", 21}, {"TWCC_FILEWRITEERROR", 22}, {"TWCC_CHECKDEVICEONLINE", 23},
        {"TWCC_INTERLOCK", 24},       {"TWCC_DAMAGEDCORNER", 25},  {"TWCC_FOCUSERROR", 26},
        {"TWCC_DOCTOOLIGHT", 27},     {"TWCC_DOCTOODARK", 28},     {"TWCC_NOMEDIA", 29},
        {"twcc_nomedia", 29},         {"TWCC_NOMEDIA2", 255},      {"TWRC_SCANNERLOCKED", 255},
        {"TWCC_7", 255}};
    Shell sh;
    for (const auto &n : names)
    {
        e2e::Result r = sh.Run("setexitstatus " + n.first + "\nexit\n");
        EXPECT_EQ(r.status, n.second) << n.first;
    }
    // The status test knows the same names: after "return" with a code,
    // a test of that name is true.
    sh.Dir().Write("t.txt", "ifstatus {1}\n echo yes\nend\nifstatus not {1}\n echo no\nend\n");
    sh.Run("return TWRC_DATANOTAVAILABLE TWCC_DOCTOODARK\nrun t TWRC_DATANOTAVAILABLE\nrun t TWCC_DOCTOODARK\n"
           "run t TWCC_BADCAP\nexit\n");
    EXPECT_EQ(sh.CountOf(Bold("yes")), 2);
    EXPECT_EQ(sh.CountOf(Bold("no")), 1);
}
