// End-to-end tests of the embedded script: a program made with makescript
// runs its script at once with its own arguments and exits with the
// script's status, or leaves the typed lines to a console kept off;
// runscript and dumpscript without a script; unpackage.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::Shell;

namespace
{
// Runs a program made by makescript with the shell's folders (or, for
// HOME and ZAV_LOGDIR, the paths in a_env).
e2e::Result RunCopy(Shell &a_sh, const std::string &a_szCopy, const std::vector<std::string> &a_aszArgs,
                    const std::string &a_szInput = "", const std::map<std::string, std::string> &a_env = {})
{
    e2e::Options opt;
    opt.args = a_aszArgs;
    opt.input = a_szInput;
    opt.cwd = a_sh.Dir().Path();
    opt.setEnv["HOME"] = a_sh.Dir().Path();
    opt.setEnv["ZAV_LOGDIR"] = a_sh.Dir().File("log");
    for (const auto &kv : a_env)
        opt.setEnv[kv.first] = kv.second;
    opt.unsetEnv = {"ZAV_DEBUG", "ZAV_OSCFGDIR", "XDG_CONFIG_HOME"};
    e2e::Result r = e2e::Run(a_sh.Dir().File("Desktop/" + a_szCopy), opt);
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_FALSE(r.timedOut);
    return r;
}

mode_t Mode(const std::string &a_szPath)
{
    struct stat st;
    return stat(a_szPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
} // namespace

TEST(E2eEmbedded, MadeProgramRunsItsScriptWithItsArguments)
{
    Shell sh;
    sh.Dir().MakeDir("log");
    sh.Dir().Write("test.txt", "; the script\r\necho got {1} and {2} and {3}\r\ndumpscript\r\n"
                               "setexitstatus TWRC_CANCEL\r\nreturn\r\necho not reached\r\n");
    sh.Dir().Write("goon.txt", "echo from the script\n");
    sh.Dir().Write("empty.txt", "");
    sh.Run("makescript goon\nmakescript test\nmakescript missing\nmakescript empty\nmakescript\n"
           "makescriptandexit test.txt\necho not reached\n");
    EXPECT_TRUE(sh.HasInOrder({"Script not found...", "Update failed...", "Must specify a script name..."}));
    EXPECT_FALSE(sh.Has(Bold("not reached")));
    // Failures leave no copy behind; the copy is executable, not writable by others.
    EXPECT_FALSE(sh.Dir().Exists("Desktop/dravo_missing"));
    EXPECT_FALSE(sh.Dir().Exists("Desktop/dravo_empty"));
    EXPECT_EQ(Mode(sh.Dir().File("Desktop/dravo_test")), 0755u);

    // No prompt: the script runs first with words 1 to 3 (a blank kept), and
    // its status is the program's.
    e2e::Result r = RunCopy(sh, "dravo_test", {"a", "b c", "d", "e"}, "echo typed\n");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out.find("\033[32m\033[1mtw0>>>\033[0m "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(Bold("got \"a\" and \"b c\" and \"d\"")), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not reached"), std::string::npos);
    EXPECT_EQ(r.out.find("typed"), std::string::npos);
    // The script came out of the copy byte for byte (dumpscript), and to the
    // log folder for its run.
    EXPECT_EQ(sh.Dir().Read("Desktop/script.txt"), sh.Dir().Read("test.txt"));
    EXPECT_EQ(sh.Dir().Read("log/script.txt"), sh.Dir().Read("test.txt"));

    // A log folder that cannot be written runs nothing: standard error says
    // why and the status fails.  A desktop that cannot be written makes
    // dumpscript say so on the console kept off.
    const std::string szFile = sh.Dir().File("test.txt");
    r = RunCopy(sh, "dravo_test", {"a"}, "", {{"ZAV_LOGDIR", szFile + "/sub"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unable to write the embedded script to <" + szFile + "/sub/script.txt>: Not a directory...\r\n"),
              std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("got"), std::string::npos) << r.out;
    r = RunCopy(sh, "dravo_test", {"a"}, "", {{"HOME", szFile}});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("\r\nUnable to open file...<" + szFile + "/script.txt>\r\n"), std::string::npos) << r.out;

    // A script that does not end the program leaves the typed lines to the
    // prompt with the console still off: nothing of the first command
    // ("runscript ...") is echoed, plain lines stay hidden, the message
    // commands show themselves.
    r = RunCopy(sh, "dravo_goon", {"a", "b c"}, "getvar Language\necho typed\nexit\n");
    EXPECT_EQ(r.status, 0);
    std::string szOut = shelltest::WithoutPrompts(r.out);
    EXPECT_EQ(szOut.rfind(shelltest::Banner() + "\r\n", 0), 0u);
    for (const char *szHidden : {"runscript", "unrecognized", "Language="})
        EXPECT_EQ(szOut.find(szHidden), std::string::npos) << szHidden;
    EXPECT_NE(szOut.find(Bold("from the script") + "\r\n" + Bold("typed") + "\r\n"), std::string::npos) << szOut;
}

TEST(E2eEmbedded, WithoutScriptAndUnpackage)
{
    Shell sh;
    sh.Dir().Write("Desktop/plain.pkg", "not a package at all");
    sh.Dir().Write("Desktop/real.pkg", std::string("ZAVPKG01") + std::string(600, '\1'));
    e2e::Result r = sh.Run("runscript x a b\ndumpscript\nunpackage\nunpackage none.pkg\nunpackage plain.pkg\n"
                           "unpackage real.pkg\n");
    EXPECT_EQ(r.status, 0);
    const std::string szDesktop = sh.Dir().File("Desktop/");
    EXPECT_EQ(sh.Lines(), (std::vector<std::string>{
                              shelltest::Banner(), "SCRIPT not found...", "SCRIPT not found...",
                              "Unable to unpackage <" + szDesktop + "none.pkg>: file not found...",
                              "Unable to unpackage <" + szDesktop + "plain.pkg>: not a package this build can read...",
                              "Unable to unpackage <" + szDesktop + "real.pkg>: not a package this build can read..."}));
    EXPECT_FALSE(sh.Dir().Exists("Desktop/script.txt"));
    // Nothing is unpacked from a package this build cannot read.
    EXPECT_EQ(rmdir(sh.Dir().File("Desktop/dravo_unpackage").c_str()), 0) << "the folder is there and empty";
}

TEST(E2eEmbedded, TheDeviceLogScript)
{
    Shell sh;
    sh.Dir().MakeDir("log");
    sh.Run("makescript " DRAVO_SOURCE_DIR "/scripts/getlog\n");
    ASSERT_TRUE(sh.Dir().Exists("Desktop/dravo_getlog"));

    // One argument: the usage, with the sources listed.
    e2e::Result r = RunCopy(sh, "dravo_getlog", {"Simulated Scanner ZAV"});
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> aszLines = e2e::Lines(r.out);
    for (const std::string &szLine :
         {std::string("  3 - Simulated Scanner ZAV"),
          Bold("usage: dravo_getlog \"<Data Source name>\" <full path of the log file>"),
          Bold("Linux: ./dravo_getlog \"Simulated Scanner ZAV\" /tmp/scanner.qnlog")})
        EXPECT_NE(std::find(aszLines.begin(), aszLines.end(), szLine), aszLines.end()) << szLine << "\n" << r.out;

    // The log itself needs the device-log command of the program.
    sh.Run("dat_log\n");
    if (sh.Has("%%unrecognized command, enter HELP for list"))
        GTEST_SKIP() << "this build has no dat_log command yet";
    const std::string szLog = sh.Dir().File("scanner.qnlog");
    r = RunCopy(sh, "dravo_getlog", {"Simulated Scanner ZAV", szLog});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(sh.Dir().Read("scanner.qnlog").rfind("Simulated Scanner ZAV service log\n", 0), 0u);
    EXPECT_NE(r.out.find(Bold("getlog: the log of \"Simulated Scanner ZAV\" is in \"" + szLog + "\"")), std::string::npos)
        << r.out;
}
