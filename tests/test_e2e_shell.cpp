// End-to-end tests of the shell through the real program: start-up, the
// prompt loop, the first command, the tokenizer, the interpreter's own
// commands and the built-in commands that need no TWAIN object.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::Green;
using shelltest::Prompt;
using shelltest::Red;
using shelltest::Shell;

namespace
{
// The bytes of a literal, NUL bytes included.
template <size_t N> std::string Bytes(const char (&a_ach)[N])
{
    return std::string(a_ach, N - 1);
}
} // namespace

// ---------------------------------------------------------------------------
// Start-up, end of input, exit status
// ---------------------------------------------------------------------------

// The end of input ends like exit; the exit words take no number; the
// status is the one chosen, or the last codes', cut to 16 bits (which the
// system shows as its low byte).
TEST(E2eShellStart, ExitStatusFromTheWordsAndTheLastCodes)
{
    // With a TWAIN object setexitstatus takes its last codes (the last
    // command's), also when ifstatus or return copied older ones.
    const std::string szOpen = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n";
    const std::string szRefused = szOpen + "set ICAP_XRESOLUTION 700\n";
    const std::string szSetAgain = szRefused + "ifstatus TWRC_FAILURE\nset ICAP_XRESOLUTION 200\n"; // (no end at the prompt)
    const std::string szTwice = szOpen + "ui enableds\nui enableds\n";
    // A command the program refuses itself leaves a failure, also after
    // another refusal; rows with a test run as a script that ends with it.
    const std::string szList = "twcreate 2.4\ndsmopen\ndsmlist\n";
    const char *szBad = "TWRC_FAILURE AND TWCC_BADVALUE", *szNoDs = "TWRC_FAILURE AND TWCC_NODS";
    const char *szSeq = "TWRC_FAILURE AND TWCC_SEQERROR";
    const struct
    {
        std::string szInput;
        std::vector<std::string> aszArgs;
        int iStatus;
        const char *szTest = nullptr;
    } acase[] = {
        {szOpen + "set ICAP_BITDEPTH 16\n", {}, 10, szBad},
        {szTwice + "set ICAP_BITDEPTH 16\n", {}, 10, szBad},
        {szOpen + "set ICAP_NOSUCHCAP 3\n", {}, 10, szBad},
        {szOpen + "set ICAP_NOSUCHCAP 3\nget ICAP_NOSUCHCAP\necho kept\n", {}, 10, szBad},
        {szOpen + "set ICAP_XRESOLUTION\n", {}, 10, szBad},
        {szOpen + "dscap ICAP_NOSUCHCAP\n", {}, 10, szBad},
        {szList + "dsmset 7\n", {}, 3, szNoDs},
        {szList + "dsmset 1\ndsmset 7\ndsopen\n", {}, 3, szNoDs},
        // (out of sequence: the second open and choice found a source open)
        {szList + "dsmset 7\ndsopen \"Simulated Scanner\"\ndsclose\ndsopen\ndsopen\n", {}, 11, szSeq},
        {szList + "dsmset 7\ndsmset 1\ndsopen\ndsmset 1\n", {}, 11, szSeq},
        {"twcreate 2.4\ndsmopen\nset ICAP_NOSUCHCAP 3\n", {}, 11, szSeq},
        {"dsmopen\n", {}, 11, szSeq},
        {szOpen + "di closeds\ndi\n", {}, 12, "TWRC_FAILURE AND TWCC_BADDEST"},
        {szRefused + "setexitstatus\nexit\n", {}, 10},
        {szRefused + "return\nsetexitstatus\nexit\n", {}, 10},
        {szSetAgain + "setexitstatus\nexit\n", {}, 0},
        {szSetAgain + "return\nsetexitstatus\nexit\n", {}, 0},
        {szTwice + "setexitstatus\nexit\n", {}, 11},
        {szTwice + "return\nsetexitstatus\nexit\n", {}, 11},
        {"twcreate\nsetexitstatus\nexit\n", {}, 0},
        {"twcreate\nreturn\nsetexitstatus\nexit\n", {}, 0},
        {"", {}, 0},
        {"setexitstatus TWRC_CANCEL\n", {}, 3},
        {"setexitstatus TWRC_CANCEL\nexit\n", {}, 3},
        {"setexitstatus TWCC_NOMEDIA", {}, 29},   // a last line without a line feed still runs
        {"setexitstatus TWCC_DENIED\nexit 5\necho never\n", {}, 16},
        {"QUIT\necho never\n", {}, 0},
        {"setexitstatus TWRC_BUSY\nq\n", {}, 10},
        {"setexitstatus NOT_A_STATUS\nexit\n", {}, 255},
        {"setexitstatus 7\nexit\n", {}, 255},
        {"setexitstatus twcc_filenotfound\nexit\n", {}, 18},
        {"return TWRC_FAILURE TWCC_BADCAP\nsetexitstatus\nexit\n", {}, 6},
        {"return TWRC_FAILURE TWCC_SUCCESS\nsetexitstatus\nexit\n", {}, 1},
        {"return TWRC_CANCEL TWCC_BADCAP\nsetexitstatus\nexit\n", {}, 3},
        {"setexitstatus\nexit\n", {}, 0},
        {"echo first\n", {"setexitstatus", "TWCC_BADVALUE"}, 10},   // as the first command
    };
    Shell sh;
    for (const auto &c : acase)
    {
        if (c.szTest)
            sh.Dir().Write("t.txt", c.szInput + "ifstatus " + c.szTest + "\necho pass\nend\n");
        e2e::Result r = sh.Run(c.szTest ? "run t\nsetexitstatus\nexit\n" : c.szInput, c.aszArgs);
        EXPECT_EQ(r.status, c.iStatus) << c.szInput;
        EXPECT_FALSE(sh.Has(Bold("never"))) << c.szInput;
        EXPECT_EQ(sh.Has(Bold("pass")), c.szTest != nullptr) << c.szInput;
    }
    // The banner, the terminal title and the prompt, then nothing but the end.
    e2e::Result r = sh.Run("exit\n");
    EXPECT_EQ(r.out, shelltest::Banner() + "\r\n" + Prompt(0));
    EXPECT_EQ(r.err.rfind("\033]2;Dravo (64-bit,0)\007", 0), 0u) << r.err;
    EXPECT_EQ(sh.Run("").out, r.out);
}

// ---------------------------------------------------------------------------
// The first command from the program arguments
// ---------------------------------------------------------------------------

// The arguments are joined, quoted where they hold blanks, echoed and run;
// exit ends at once, an unknown command goes on to the prompt.
TEST(E2eShellFirstCommand, ArgumentsAreJoinedQuotedEchoedAndRun)
{
    const std::string szFirst = shelltest::Banner() + "\r\n\033[32mtw0>>>\033[0m ";
    const struct
    {
        std::vector<std::string> aszArgs;
        const char *szInput;
        std::string szOut;
    } acase[] = {
        {{"echo", "a b", "c\td", "e"}, "exit\n",
         szFirst + "echo \"a b\" \"c\td\" e\r\n" + Bold("\"a b\" \"c\td\" e") + "\r\n" + Prompt(0)},
        {{"exit"}, "echo never\n", szFirst + "exit\r\n"},
        {{"nonsense", "x"}, "exit\n", szFirst + "nonsense x\r\n%%unrecognized command, enter HELP for list\r\n" + Prompt(0)},
    };
    Shell sh;
    for (const auto &c : acase)
    {
        e2e::Result r = sh.Run(c.szInput, c.aszArgs);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.szOut);
    }
}

// ---------------------------------------------------------------------------
// Lines, words, comments, labels
// ---------------------------------------------------------------------------

TEST(E2eShellLines, CommentsLabelsAndEmptyLinesDoNothingUnknownWordsAreSaid)
{
    Shell sh;
    e2e::Result r = sh.Run("; a comment\n! another\n\n   \nlabel:\ngoto label\n   echo   indented\n"
                           "bogus word\nEcHo Mixed\nend\nforeachitem\nexit\n");
    EXPECT_EQ(r.status, 0);
    // Six lines printed nothing; the indented line is read from its first
    // word; two blanks make an empty word 1, which prints an empty text.
    // Command words are read in any case; the block words need a script.
    const std::string szUnknown = "%%unrecognized command, enter HELP for list";
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "", szUnknown, Bold("Mixed"), szUnknown,
                                                     szUnknown}));
}

TEST(E2eShellLines, QuotesGroupWords)
{
    Shell sh;
    sh.Run("setvar ProductName \"a  b\"\ngetvar productname\n"
           "setvar ProductName 'x \"y\"'\ngetvar ProductName\n"
           "setvar ProductName \"it's\"\ngetvar ProductName\n"
           "setvar ProductName \"\"\ngetvar ProductName\n"
           "setvar Language \"open\tquote\n getvar Language\n"
           "setvar ProductName 'a b' <task \ngetvar ProductName\n"
           "setvar ProductName \"x y\" dat_twaindirect\ngetvar ProductName\n"
           "exit\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "ProductName=a  b", "ProductName=x \"y\"",
                                                     "ProductName=it's", "ProductName=", "Language=open quote",
                                                     "ProductName='a", "ProductName=\"x"}));
}

TEST(E2eShellLines, VariablesAndTheirErrors)
{
    Shell sh;
    sh.Run("setvar\nsetvar ProductName\nsetvar Colour blue\n"
           "setvar ProductName 0123456789012345678901234567890123\ngetvar ProductName\n"
           "setvar AUTODATSTATUS false\ngetvar autodatstatus\ngetvar nothing\ngetvar\nexit\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "must specify a key and a value...",
                                                     "must specify a value (use \"\" for an empty value)...",
                                                     "Error setting value...<Colour> <blue>",
                                                     "ProductName is too long (at most 31 characters)..."
                                                     "<0123456789012345678901234567890123>",
                                                     "Error setting value...<ProductName> "
                                                     "<0123456789012345678901234567890123>",
                                                     "ProductName=",
                                                     "AutoDatStatus=false", "Value not found <nothing>...",
                                                     "Language=TWLG_ENGLISH_USA", "ProductName=",
                                                     "ProtocolVersion=1.9", "ScriptName=", "AutoDatStatus=false"}));
    // The configured name is said to be too long as the program starts.
    ASSERT_TRUE(sh.Dir().MakeDir("cfg"));
    sh.Dir().Write("cfg/const.ini", "[dsIdentity]\nInitProductName=Simulated Scanner With A Long Name\n");
    sh.SetEnv("ZAV_OSCFGDIR", sh.Dir().File("cfg"));
    sh.Run("getvar ProductName\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{"InitProductName is too long (at most 31 characters)..."
                                                     "<Simulated Scanner With A Long Name>",
                                                     shelltest::Banner(), "ProductName="}));
}

TEST(E2eShellLines, MessageTextsAtThePrompt)
{
    Shell sh;
    sh.Run("info hello world  \ninfo   three blanks\necho \"quoted text\"\necho a \"b c\"\ninfonofile one\n"
           "warn two words\nerror bad thing\nerrorsilent quiet\ntally\nexit\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(),
                                                     "DRAVO.INFO():    " + Green("hello world  "),
                                                     "DRAVO.INFO():    ",
                                                     Bold("quoted text"), Bold("a \"b c\""), Green("one"),
                                                     "DRAVO.WARNING(): \033[33m\033[1mtwo words\033[0m",
                                                     "DRAVO.ERROR():   " + Red("bad thing"),
                                                     "DRAVO.ERROR():   " + Red("quiet"),
                                                     Red("Errors: 2, Warnings: 1")}));
}

TEST(E2eShellLines, PercentSignsInTypedTextArePrintedAsTyped)
{
    Shell sh;
    sh.Dir().Write("p%s.txt", "bogus%s%n%%\n");
    e2e::Result r = sh.Run("echo 100% %s %n %%\ninfo %d%%x\nsetvar ProductName %s%%\ngetvar ProductName\n"
                           "getvar %n\nlog record on rec%n\necho %%%%\nlog record off\nrun p%s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has(Bold("100% %s %n %%")));
    EXPECT_TRUE(sh.Has("DRAVO.INFO():    " + Green("%d%%x")));
    EXPECT_TRUE(sh.Has("ProductName=%s%%"));
    EXPECT_TRUE(sh.Has("Value not found <%n>..."));
    EXPECT_TRUE(sh.Has(Bold("%%%%")));
    EXPECT_TRUE(sh.Has("DRAVO.ERROR(p%s):   " + Red("%%unrecognized command (bogus%s%n%%), enter HELP for list")));
    std::string text = sh.Dir().Read("rec%n.txt");
    EXPECT_NE(text.find("echo %%%%\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("tw>>> echo %%%%\r\n\033[1m%%%%\033[0m\r\n"), std::string::npos) << text;
}

TEST(E2eShellLines, OverlongLinesAndTooManyWordsGetAClearError)
{
    Shell sh;
    std::string l511 = "echo " + std::string(506, 'a');
    std::string l600 = "echo " + std::string(595, 'b');
    std::string l3000 = "echo " + std::string(2995, 'c');
    std::string szWords = "echo";
    for (int ii = 0; ii < 69; ii++)
        szWords += " w";
    e2e::Result r = sh.Run(l511 + "\n" + l600 + "\n" + l3000 + "\necho after\n" + szWords + "\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has(Bold(std::string(506, 'a'))));
    EXPECT_TRUE(sh.Has("%%error, line too long (600 characters, at most 511), ignored..."));
    EXPECT_TRUE(sh.Has("%%error, line too long (more than 511 characters), ignored..."));
    EXPECT_TRUE(sh.HasSequence({Bold("after"), "%%error, too many words (70), only the first 63 are used..."}));
    EXPECT_EQ(sh.Lines().size(), 7u);
}

// A NUL byte ends its own line, typed or in a script; the lines after it
// run, and a data block after it is still loaded for the comparison.
TEST(E2eShellLines, ANulByteCutsOnlyItsOwnLine)
{
    Shell sh;
    sh.Dir().Write("nul.txt", Bytes("echo first\x00hidden\x01\xff\n") + "echo second\r\n" + Bytes("\x00\x00\n") +
                                  "echo third\n");
    sh.Dir().Write("nuldata.txt", Bytes("; note\x00 dropped\n") +
                                      "log data on\necho same\nlog data off\nlog compare\nexit\n"
                                      "datadatadata\ntw>>> echo same\n\033[1msame\033[0m\ntw>>> log data off\n"
                                      "datadatadata\n");
    e2e::Result r = sh.Run(Bytes("echo a\0b\n") + "echo next\nrun nul\nrun nuldata\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasSequence({shelltest::Banner(), Bold("a"), Bold("next")})) << r.out;
    EXPECT_TRUE(sh.HasInOrder({Bold("first"), Bold("second"), Bold("third"), "pass..."})) << r.out;
    EXPECT_EQ(r.out.find("hidden"), std::string::npos);
}

TEST(E2eShellLines, SizeCountAndColor)
{
    Shell sh;
    e2e::Result r = sh.Run("size\ncount\ncount\ncolor off\nlog record on rec\nhelp\necho b\nwarn w\nlog record off\n"
                           "bogus\ncolor\ncolor blue\ncolor on\necho c\nexit\n");
    EXPECT_TRUE(sh.Has("TW_INT32=8 TW_UINT32=8 TW_IDENTITY=164"));
    EXPECT_NE(shelltest::WithoutPrompts(r.out).find("1\r2\r"), std::string::npos);
    EXPECT_EQ(e2e::Count(r.out, "must specify on or off...\r\n"), 2);
    // Colour is on at first; off takes every escape out of the console
    // (prompts, help, messages) but not out of the record file; on puts
    // them back.
    size_t posOff = r.out.find("tw0>>> ");
    size_t posOn = r.out.rfind("must specify on or off...");
    ASSERT_LT(posOff, posOn);
    EXPECT_LT(r.out.find('\033'), posOff);
    EXPECT_EQ(r.out.substr(posOff, posOn - posOff).find('\033'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(Bold("c"), posOn), std::string::npos);
    EXPECT_NE(sh.Dir().Read("rec.txt").find(Bold("b")), std::string::npos);
}

TEST(E2eShellLines, PromptWaitsForALine)
{
    Shell sh;
    e2e::Result r = sh.Run("prompt\nanything\nprompt Continue?\nq\necho after\nprompt\n");
    EXPECT_EQ(r.status, 0);
    std::string out = shelltest::WithoutPrompts(r.out);
    EXPECT_NE(out.find("press enter key to continue..."), std::string::npos);
    EXPECT_NE(out.find("Continue?"), std::string::npos);
    // At the prompt "q" does not stop anything; the end of input returns.
    EXPECT_NE(out.find(Bold("after")), std::string::npos);
    EXPECT_EQ(out.find("anything"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Block words typed at the prompt
// ---------------------------------------------------------------------------

// The difference commands have no level below the prompt; a repeat typed
// there leaves the depth raised, so that "end" is no longer the prompt's.
TEST(E2eShellBlocks, BlockWordsAtThePrompt)
{
    Shell sh;
    e2e::Result r = sh.Run("setdiff twrunargs.u32Count 4\nifdiff twrunargs\nrepeat 3\nend\necho not reached\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has("setdiff works only inside a script or block (there is no level below the prompt)..."));
    EXPECT_TRUE(sh.Has("ifdiff works only inside a script or block (there is no level below the prompt)..."));
    EXPECT_TRUE(sh.Has("DRAVO.ERROR():   " + Red("%%unrecognized command (end), enter HELP for list")));
    EXPECT_FALSE(sh.Has(Bold("not reached")));
}

// ---------------------------------------------------------------------------
// Built-in commands without a TWAIN object
// ---------------------------------------------------------------------------

TEST(E2eShellBuiltin, TwainCommandsWithoutAnObject)
{
    Shell sh;
    e2e::Result r = sh.Run("twlist\ndsmopen\ndsmset 0\ndsmset\ndsmfind x\ndsmfind\ndsmlist\ndsmclose\ndisplay 1 2\n"
                           "dat_autocolorlearn set\ndat_calibrate get\ndat_capability msg_get ICAP_UNITS\ndat_ecdo\necdo\n"
                           "dat_firmwaredownload set x\nfd set x\ndat_iccprofile\ndat_identity\ndi\ndvi\nob\nex\nii\n"
                           "set ICAP_PIXELTYPE TWPT_RGB\ntwstress\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.CountOf("%%error, no current CTwain object..."), 22);
    EXPECT_TRUE(sh.Has("%%error, missing argument (must specify string)"));
    EXPECT_EQ(sh.Lines().size(), 24u);
}

TEST(E2eShellBuiltin, TwainObjectSlots)
{
    Shell sh;
    // Numbers beyond the int range are out of range too, never another slot.
    e2e::Result r = sh.Run("twcreate\ntwcreate\ntwcreate 2.4\ntwcreate 1.9 TWLG_ENGLISH_USA\ntwcreate\n"
                           "twlist\ntwdestroy 1\ntwcreate\ntwset 4\ntwset -1\ntwdestroy 7\ntwset 4294967296\n"
                           "twdestroy 4294967296\ntwdestroy -4294967296\ntwset\ntwdestroy\ntwset x\ntwlist\nexit\n");
    EXPECT_EQ(r.status, 0);
    const std::string szRange = "%%error, number must be in range 0 - 3";
    EXPECT_EQ(sh.Lines(),
              (std::vector<std::string>{shelltest::Banner(), "CTwain object: #0", "CTwain object: #1",
                                        "CTwain object: #2", "CTwain object: #3",
                                        "%%error, no room for another CTwain object...", "  0 - dsm closed",
                                        "  1 - dsm closed", "  2 - dsm closed", "\033[1m*\033[0m 3 - dsm closed",
                                        "CTwain object: #1", szRange, szRange, szRange, szRange, szRange, szRange,
                                        "%%error, missing argument (must specify a number)",
                                        "%%error, missing argument (must specify a number)", "CTwain object: #0",
                                        "\033[1m*\033[0m 0 - dsm closed", "  1 - dsm closed", "  2 - dsm closed",
                                        "  3 - dsm closed"}));
}

TEST(E2eShellBuiltin, DestroyingObjectsMovesTheCurrentOne)
{
    Shell sh;
    e2e::Result r = sh.Run("twcreate\ntwcreate\ntwcreate\ntwdestroy 1\ntwdestroy 2\ntwdestroy 5\ntwdestroy 1\n"
                           "twdestroy 0\ntwlist\ndsmopen\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "CTwain object: #0", "CTwain object: #1",
                                                     "CTwain object: #2", "CTwain object: #0",
                                                     "%%error, number must be in range 0 - 3",
                                                     "%%error, no object at this index...",
                                                     "the last CTwain object has been destroyed (none left)...",
                                                     "%%error, no current CTwain object..."}));
    // The terminal title: at start-up, then after each destruction.
    EXPECT_EQ(e2e::Count(r.err, "\033]2;Dravo (64-bit,0)\007"), 4) << r.err;
}

TEST(E2eShellBuiltin, MemorySlots)
{
    Shell sh;
    // A slot number beyond the int range names no slot (slot 3 keeps its block).
    sh.Run("mem alloc 3 1000\nmem alloc 3 1000\nmem alloc 4294967299 20\nmem free 4294967299\nmem\nmem free 3\n"
           "mem free 3\nmem alloc 16 10\nmem alloc 2 abc\nmem alloc 2\nmem alloc 2 -5\nmem free\nmem free 99\n"
           "mem bogus\nexit\n");
    EXPECT_EQ(sh.Lines(),
              (std::vector<std::string>{shelltest::Banner(), "Must specify a slot number between 0 and 15...",
                                        "Must specify a slot number between 0 and 15...",
                                        "Free Contiguous #0: 1073741824", "Free Contiguous #1: 0",
                                        "Free Contiguous #2: 0", "Free Contiguous #3: 0", "Free Contiguous #4: 0",
                                        "Allocated #3: 1000", "Must specify a slot number between 0 and 15...",
                                        "Must specify a size greater than 0...",
                                        "Must specify a slot number and a size...", "Failed to allocate the memory...",
                                        "Must specify a slot number...", "Must specify a slot number between 0 and 15...",
                                        "unrecognized argument to mem command..."}));
}

TEST(E2eShellBuiltin, LogSubcommands)
{
    Shell sh;
    e2e::Result r = sh.Run("log\nlog bogus\nlog console off\ngetvar Language\necho message\nlog CONSOLE on\n"
                           "getvar ProductName\n"
                           "log data maybe\nlog compare\nexit\n");
    EXPECT_NE(r.err.find("Console output is on...\r\nData save is off...\r\nRecording is off...\r\n"), std::string::npos);
    EXPECT_NE(r.err.find("must specify on or off...\r\n"), std::string::npos);
    EXPECT_TRUE(sh.Has("unrecognized log command..."));
    EXPECT_FALSE(sh.Has("Language=TWLG_ENGLISH_USA"));
    // The message commands show themselves whatever the console switch.
    EXPECT_TRUE(sh.Has(Bold("message")));
    EXPECT_TRUE(sh.Has("ProductName="));
    // No expected data: the comparison fails instead of passing.
    EXPECT_TRUE(sh.Has("Fail: there is no expected data to compare with..."));
    EXPECT_FALSE(sh.Has("pass..."));
}

TEST(E2eShellBuiltin, DirectoriesAndCurrentDirectory)
{
    Shell sh;
    sh.Dir().MakeDir("beta");
    sh.Dir().MakeDir("alpha");
    sh.Dir().MakeDir("alpha/inner");
    sh.Dir().Write("file.txt", "x");
    sh.Run("dir\ncd alpha\npwd\nls\ncd nosuch\npwd ..\nll\nexit\n");
    char szReal[4096];
    ASSERT_NE(realpath(sh.Dir().Path().c_str(), szReal), nullptr);
    std::string root = szReal;
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "Directories", "~~~~~~~~~~~", "  Desktop",
                                                     "  alpha", "  beta", root + "/alpha", "Directories",
                                                     "~~~~~~~~~~~", "  inner", "no such directory...", "Directories",
                                                     "~~~~~~~~~~~", "  Desktop", "  alpha", "  beta"}));
}

namespace
{
// Puts a stand-in program in a folder put first on the PATH.
void FakeProgram(Shell &a_sh, const std::string &a_name, const std::string &a_script)
{
    a_sh.Dir().MakeDir("bin");
    std::string path = a_sh.Dir().File("bin/" + a_name);
    a_sh.Dir().Write("bin/" + a_name, "#!/bin/sh\n" + a_script);
    chmod(path.c_str(), 0755);
    const char *szPath = getenv("PATH");
    a_sh.SetEnv("PATH", a_sh.Dir().File("bin") + ":" + (szPath ? szPath : "/usr/bin:/bin"));
}
} // namespace

TEST(E2eShellBuiltin, EditRunsTheEditorWithAnArgumentVector)
{
    Shell sh;
    // The stand-in editor records its arguments and writes $DRAVO_EDIT_TEXT
    // into the file when it is set.
    FakeProgram(sh, "vi",
                "echo \"$#:$1\" >> \"$HOME/vi.log\"\n"
                "if [ -n \"$DRAVO_EDIT_TEXT\" ]; then printf '%s' \"$DRAVO_EDIT_TEXT\" > \"$1\"; fi\n");
    sh.Run("edit\nedit empty\nsetenv DRAVO_EDIT_TEXT hello\nedit kept\nedit x.twain\n"
           "edit 'two words;$(touch pwned)'\nsetenv DRAVO_EDIT_TEXT\nedit gone\nexit\n");
    EXPECT_TRUE(sh.Has("enter the name of a script..."));
    EXPECT_EQ(sh.Dir().Read("vi.log"), "1:empty.txt\n1:kept.txt\n1:x.twain\n1:two words;$(touch pwned).txt\n1:gone.txt\n");
    EXPECT_FALSE(sh.Dir().Exists("empty.txt"));
    EXPECT_EQ(sh.Dir().Read("kept.txt"), "hello");
    EXPECT_TRUE(sh.Dir().Exists("x.twain"));
    EXPECT_FALSE(sh.Dir().Exists("pwned"));
    EXPECT_FALSE(sh.Dir().Exists("gone.txt"));
}

TEST(E2eShellBuiltin, ViewChecksTheFileAndRunsTheViewer)
{
    Shell sh;
    FakeProgram(sh, "view", "echo \"$#:$1\" >> \"$HOME/view.log\"\n");
    sh.Dir().Write("Desktop/notes.txt", "n");
    sh.Dir().Write("here.txt", "h");
    sh.Run("view\nview missing.txt\nview here.txt\nview (ossettings,desktopdirectory)\n"
           "view (ossettings,desktopdirectory)notes.txt\nview (ossettings,desktopdirectory)nothing.txt\nexit\n");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{shelltest::Banner(), "enter the name of a text file...",
                                                     "File not found..", "Bad cfg path..", "File not found.."}));
    std::string log = sh.Dir().Read("view.log");
    EXPECT_EQ(e2e::Lines(log).size(), 2u) << log;
    EXPECT_EQ(e2e::Lines(log)[0], "1:here.txt");
    EXPECT_NE(log.find("/Desktop/notes.txt"), std::string::npos);
}

TEST(E2eShellBuiltin, SystemStartsNothingThatIsMissing)
{
    if (access("/usr/bin/gnome-terminal", X_OK) == 0)
        GTEST_SKIP() << "a terminal program is installed: system would open a window";
    Shell sh;
    e2e::Result r = sh.Run("system\nsystem ls -l\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has("%%error, unable to start <ls>..."));
}
