// Unit tests of the test log (CLog) and the test program's variables (CVar):
// capture, the record file, the comparison with expected data, the width of
// a variable.
// The console, the prefixes and line ends, recording and replaying run
// through the program: test_e2e_shell.cpp, test_e2e_script.cpp.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <unistd.h>

#include "clog.h"
#include "e2e_run.h"
#include "osservices.h"

namespace
{
// Expected lines in the layout the shell keeps them.
struct Expected
{
    std::vector<std::array<char, CLOG_DATALINESIZE>> lines;
    explicit Expected(const std::vector<std::string> &a_lines)
    {
        for (const auto &l : a_lines)
        {
            std::array<char, CLOG_DATALINESIZE> a{};
            snprintf(a.data(), a.size(), "%s", l.c_str());
            lines.push_back(a);
        }
    }
    const char (*Data() const)[CLOG_DATALINESIZE]
    {
        return reinterpret_cast<const char(*)[CLOG_DATALINESIZE]>(lines.data());
    }
    int Count() const { return static_cast<int>(lines.size()); }
};

// Every test gets a fresh log (console: standard output) and variables.
class CLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pvarSaved = g_pvar;
        m_plogSaved = g_plog;
        g_pvar = new CVar;
        m_plog = new CLog(nullptr);
        g_plog = m_plog;
    }
    void TearDown() override
    {
        delete m_plog;
        delete g_pvar;
        g_plog = m_plogSaved;
        g_pvar = m_pvarSaved;
    }
    std::vector<std::string> Captured()
    {
        std::vector<std::string> v;
        for (int ii = 0; ii < m_plog->DataCount(); ii++)
            v.push_back(m_plog->DataLine(ii));
        return v;
    }
    void Plain(const char *a_szText, ELOGSTS a_elogsts = ELOGSTS_PLAIN)
    {
        m_plog->Log(__FILE__, __LINE__, false, a_elogsts, CLOG_CODEPAGE, "%s", a_szText);
    }
    void Transcript(const char *a_szText)
    {
        m_plog->Log(__FILE__, __LINE__, true, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s", a_szText);
    }

    CLog *m_plog = nullptr;
    CVar *m_pvarSaved = nullptr;
    CLog *m_plogSaved = nullptr;
    e2e::TempDir m_tmp;
};
} // namespace

TEST_F(CLogTest, DataCaptureKeepsPlainLinesWithoutLineEnd)
{
    m_plog->ConsoleSet("off");
    Plain("before");
    m_plog->DataSet("on");
    g_pvar->Set("ScriptName", "s");
    Plain("one");
    Plain("two", ELOGSTS_ERROR);
    m_plog->DataSet("off");
    Plain("after");
    EXPECT_EQ(Captured(), (std::vector<std::string>{"one", "DRAVO.ERROR(s):   two"}));
    // "on" again empties the area.
    m_plog->DataSet("on");
    EXPECT_EQ(m_plog->DataCount(), 0);
    // A severity-5 line with no script running has empty parentheses.
    g_pvar->Set("ScriptName", "");
    Plain("x", ELOGSTS_ERROR);
    EXPECT_EQ(Captured(), (std::vector<std::string>{"DRAVO.ERROR():   x"}));
    // A text holding "%" is stored as it is, never used as a format again.
    m_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s", "%%error, %s %d");
    EXPECT_EQ(Captured().back(), "%%error, %s %d");
}

TEST_F(CLogTest, CaptureStopsAtItsSizeAndTheComparisonFails)
{
    m_plog->ConsoleSet("off");
    m_plog->DataSet("on");
    testing::internal::CaptureStderr();
    for (int ii = 0; ii < CLOG_DATALINES + 5; ii++)
        Plain("line");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m_plog->DataCount(), CLOG_DATALINES);
    EXPECT_EQ(e2e::Count(err, "data capture is full"), 1);

    std::vector<std::string> lines(CLOG_DATALINES, "line");
    Expected expected(lines);
    testing::internal::CaptureStdout();
    m_plog->ConsoleSet("on");
    EXPECT_GE(m_plog->DataCompare(expected.Data(), expected.Count()), 0);
    testing::internal::GetCapturedStdout();
}

// (the record file's transcript and data block: test_e2e_script.cpp)
TEST_F(CLogTest, ARecordingStartsAFreshCaptureAndEndsIt)
{
    m_plog->ConsoleSet("off");
    m_plog->DataSet("on");
    Plain("stale line");
    m_plog->RecordSet("on", m_tmp.File("rec").c_str());
    EXPECT_EQ(m_plog->DataCount(), 0);
    Transcript("echo hi");
    Plain("hi");
    m_plog->RecordSet("off", nullptr);
    Plain("later");
    EXPECT_EQ(Captured(), (std::vector<std::string>{"tw>>> echo hi", "hi"}));
}

TEST_F(CLogTest, RecordFileNames)
{
    std::string middle = m_tmp.File("a.txt.keep");
    m_plog->RecordSet("on", middle.c_str());
    m_plog->RecordSet("off", nullptr);
    EXPECT_TRUE(m_tmp.Exists("a.txt.keep"));
    EXPECT_FALSE(m_tmp.Exists("a.txt.keep.txt"));

    std::string twain = m_tmp.File("b.twain");
    m_plog->RecordSet("on", twain.c_str());
    m_plog->RecordSet("off", nullptr);
    EXPECT_TRUE(m_tmp.Exists("b.twain"));
}

TEST_F(CLogTest, TranscriptIsCapturedOnlyWhileRecording)
{
    m_plog->DataSet("on");
    testing::internal::CaptureStdout();
    Transcript("echo hi");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m_plog->DataCount(), 0);
    // Recording: captured even while the data capture is off.
    std::string name = m_tmp.File("r2.txt");
    m_plog->ConsoleSet("off");
    m_plog->RecordSet("on", name.c_str());
    m_plog->DataSet("off");
    Transcript("cmd");
    Plain("output");
    std::string longCommand(250, 'c');
    Transcript(longCommand.c_str());
    EXPECT_EQ(Captured(), (std::vector<std::string>{"tw>>> cmd", "tw>>> " + std::string(249, 'c')}));
    m_plog->RecordSet("off", nullptr);
}

TEST_F(CLogTest, RecordUsageErrorsGoToStandardError)
{
    std::string name = m_tmp.File("r3");
    testing::internal::CaptureStderr();
    m_plog->RecordSet("on", nullptr);
    m_plog->RecordSet("off", nullptr);
    m_plog->RecordSet("sideways", nullptr);
    m_plog->RecordSet("on", name.c_str());
    m_plog->RecordSet("on", name.c_str());
    m_plog->ConsoleSet("off");
    m_plog->Status();
    m_plog->RecordSet("off", nullptr);
    m_plog->RecordSet("on", (m_tmp.File("missing-folder") + "/x").c_str());
    // A full disk: said once, however many lines follow.
    std::string full = m_tmp.File("full.txt");
    ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
    m_plog->RecordSet("on", full.c_str());
    Transcript("one");
    Transcript("two");
    m_plog->RecordSet("off", nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "must specify a filename...\r\n"
                                                      "record isn't running...\r\n"
                                                      "must specify on or off...\r\n"
                                                      "recording is already on...\r\n"
                                                      "Console output is off...\r\n"
                                                      "Data save is on...\r\n"
                                                      "Recording is on...\r\n"
                                                      "unable to create file...\r\n"
                                                      "unable to write record file, the recording is incomplete...\r\n");
}

// (an expected line missing, and no expected data: test_e2e_script.cpp,
// test_e2e_shell.cpp)
TEST_F(CLogTest, DataCompareIgnoresCaseAndFailsOnAMissingLine)
{
    m_plog->ConsoleSet("off");
    m_plog->DataSet("on");
    Plain("one");
    Plain("Two");
    m_plog->DataSet("off");
    Expected same({"ONE", "two"});
    EXPECT_EQ(m_plog->DataCompare(same.Data(), same.Count()), -1);
    m_plog->ConsoleSet("on");

    Expected longer({"one", "two", "three"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(m_plog->DataCompare(longer.Data(), longer.Count()), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Fail at line 2\r\n"
                                                      "Got:      <>\r\n"
                                                      "Expected: <three>\r\n");
}

// The variables, their listing and the keys' errors run end to end
// (test_e2e_shell.cpp); here the widest value that fits.
TEST_F(CLogTest, AVariableHoldsAt31CharactersAndKeepsItsValueOtherwise)
{
    EXPECT_EQ(g_pvar->Set("productname", std::string(31, 'y').c_str()), 0);
    EXPECT_STREQ(g_pvar->Get("ProductName", false), std::string(31, 'y').c_str());
    EXPECT_EQ(g_pvar->Set("PRODUCTNAME", std::string(32, 'x').c_str()), 1);
    EXPECT_STREQ(g_pvar->Get("ProductName", false), std::string(31, 'y').c_str());
}
