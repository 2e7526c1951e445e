// End-to-end tests of a recording of lines longer than a capture line, and
// of the busy return code with and without a TWAIN object.
#include <gtest/gtest.h>

#include <string>

#include "test_e2e_shell_helpers.h"

using shelltest::Shell;

TEST(E2eReplay, LongLinesAreRecordedCutAndReplayPassing)
{
    Shell sh;
    sh.SetEnv("ZAV_LOGDIR", sh.Dir().File("log"));
    std::string longText(300, 'x');
    sh.Run("log record on long\necho " + longText + "\nwarn " + longText + "\nlog record off\nrun long\nexit\n");
    EXPECT_EQ(sh.CountOf("pass..."), 1);
    EXPECT_EQ(sh.CountAffixed("Fail at line", ""), 0);
    // The data block keeps every line cut to 255 characters, none empty.
    std::string text = sh.Dir().Read("long.txt");
    std::string block = text.substr(text.find("datadatadata") + 12);
    for (std::string head : {"tw>>> echo ", "\033[1m", "DRAVO.WARNING(): \033[33m\033[1m"})
        EXPECT_NE(block.find("\n" + head + std::string(255 - head.size(), 'x') + "\r\n"), std::string::npos) << head;
    // Warnings reach the services log with its debug level at 0.
    EXPECT_NE(sh.Dir().Read("log/dravo.log").find("DRAVO.WARNING(long): "), std::string::npos);
}

// "return TWRC_BUSY" sets the code the name has: the symbol table's 0x8001
// with a TWAIN object, the shell's own 10 without one.
TEST(E2eBusy, BusyCodeWithAndWithoutATwainObject)
{
    Shell sh;
    sh.Dir().Write("busy.txt", "return TWRC_BUSY\n");
    sh.Dir().Write("test.txt", "ifstatus 0x8001\necho hex\nend\nifstatus TWRC_BUSY\necho name\nend\n"
                               "ifstatus obs_twrc_busy\necho either\nend\n");
    EXPECT_EQ(sh.Run("run busy\nrun test\nsetexitstatus\nexit\n").status, 10);
    EXPECT_FALSE(sh.Has(shelltest::Bold("hex")));
    EXPECT_TRUE(sh.Has(shelltest::Bold("name")));

    EXPECT_EQ(sh.Run("twcreate\nrun busy\nrun test\nsetexitstatus\nexit\n").status, 0x8001 & 0xff);
    EXPECT_TRUE(sh.Has(shelltest::Bold("hex")));
    EXPECT_TRUE(sh.Has(shelltest::Bold("name")));
    EXPECT_TRUE(sh.Has(shelltest::Bold("either")));
}
