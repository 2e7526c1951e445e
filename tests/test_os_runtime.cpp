// test_os_runtime.cpp
// Threads, child processes, events, time and the language table. (The
// synchronisation objects of the services are used by no part of the
// program.)
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "osservices.h"
#include "test_os_support.h"

class OsRuntimeTest : public ::testing::Test
{
protected:
    OsTestServices m_services;
};

// ---------------------------------------------------------------------------
// Threads and child processes
// ---------------------------------------------------------------------------

// (threads started by the object: no part of the program starts one)
TEST_F(OsRuntimeTest, TheObjectsEventIsSetAndReset)
{
    COsThread osthread;
    EXPECT_EQ(OS_STS_OK, osthread.ThreadWait(-1));     // no thread: at once
    EXPECT_EQ(OS_STS_TIMEOUT, osthread.WaitEvent(10));
    EXPECT_EQ(OS_STS_OK, osthread.SetEvent(1));
    EXPECT_EQ(OS_STS_OK, osthread.WaitEvent(0));
    EXPECT_EQ(OS_STS_OK, osthread.WaitEvent(-1));       // stays set
    EXPECT_EQ(OS_STS_OK, osthread.SetEvent(0));
    EXPECT_EQ(OS_STS_TIMEOUT, osthread.WaitEvent(10));
    std::thread threadSetter([&osthread] {
        COsTime::Sleep(20, __FILE__, __LINE__);
        osthread.SetEvent(7);
    });
    EXPECT_EQ(OS_STS_OK, osthread.WaitEvent(5000));
    threadSetter.join();
}

// (a program that is missing: test_e2e_shell.cpp)
TEST_F(OsRuntimeTest, SpawnRunsAProgramWithItsArgumentVectorUpToAnEmptyArgument)
{
    COsThread osthread;
    std::string szOut = m_services.Dir() / "out.txt";
    // The arguments reach the program untouched: no shell sees them.
    std::string szScript = "printf '%s|' \"$@\" > '" + szOut + "'";
    ASSERT_EQ(OS_STS_OK, osthread.Spawn(0, "sh", "sh", "-c", szScript.c_str(), "sh", "a b", "$HOME;x", "", "y", nullptr));
    int iExitCode = -1;
    ASSERT_EQ(OS_STS_OK, osthread.SpawnWait(5000, &iExitCode));
    EXPECT_EQ(0, iExitCode);
    EXPECT_EQ("a b|$HOME;x|", e2e::ReadFile(szOut));
    EXPECT_EQ(OS_STS_NOT_FOUND, osthread.SpawnWait(0, &iExitCode));

    ASSERT_EQ(OS_STS_OK, osthread.Spawn(0, "false", "false", nullptr));
    ASSERT_EQ(OS_STS_OK, osthread.SpawnWait(5000, &iExitCode));
    EXPECT_EQ(1, iExitCode);
    EXPECT_EQ(OS_STS_FAIL, osthread.Spawn(0, "", "", nullptr));
    EXPECT_EQ(OS_STS_FAIL, osthread.Spawn(0, nullptr, nullptr, nullptr));
}

TEST_F(OsRuntimeTest, AChildLeftRunningIsReapedWhenTheObjectGoes)
{
    COsThread* posthread = new COsThread;
    ASSERT_EQ(OS_STS_OK, posthread->Spawn(0, "sleep", "sleep", "0.05", nullptr));
    delete posthread;   // must neither block nor leave a zombie behind
    COsTime::Sleep(200, __FILE__, __LINE__);
}

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------

TEST(OsTime, SleepAndPerformanceTicks)
{
    EXPECT_EQ(1000000000ULL, OsTimeGetPerformanceResolution());
    uint64_t u64Start = OsTimeGetPerformanceTick();
    COsTime::Sleep(30, __FILE__, __LINE__);
    double dElapsed = OsTimeGetPerformanceDiff(u64Start);
    EXPECT_GE(dElapsed, 0.029);
    EXPECT_GE(OsTimeGetPerformanceTick() - u64Start, 29000000ULL);
    u64Start = OsTimeGetPerformanceTick();
    COsTime::Sleep(-5, __FILE__, __LINE__);
    COsTime::Sleep(0, __FILE__, __LINE__);
    EXPECT_LT(OsTimeGetPerformanceDiff(u64Start), 0.5);
    EXPECT_EQ(0.0, OsTimeGetPerformanceDiff(OsTimeGetPerformanceTick() + 1000000000ULL));
    char szStamp[32];
    EXPECT_EQ(OS_STS_OK, COsTime::GetTimeStamp(szStamp, sizeof(szStamp)));
    EXPECT_EQ(23u, strlen(szStamp));
    EXPECT_EQ(OS_STS_DESTINATION_TOO_SMALL, COsTime::GetTimeStamp(szStamp, 10));
}

// ---------------------------------------------------------------------------
// Languages and conversions
// ---------------------------------------------------------------------------

// (every friendly name of the symbol table: test_twain_defs.cpp)
TEST_F(OsRuntimeTest, LanguagesByFriendlyNameAndSymbol)
{
    EXPECT_EQ(OS_LANGUAGE_ENGLISH_USA, COsLocale::GetLanguageId("English_USA"));
    EXPECT_EQ(OS_LANGUAGE_ENGLISH_USA, COsLocale::GetLanguageId("TWLG_ENGLISH_USA"));
    EXPECT_EQ(OS_LANGUAGE_ENGLISH_USA, COsLocale::GetLanguageId("TWLG_USA"));
    EXPECT_EQ(OS_LANGUAGE_FRENCH_CANADIAN, COsLocale::GetLanguageId("french canadian"));
    EXPECT_EQ(static_cast<EOSLANGUAGE>(62), COsLocale::GetLanguageId("german-swiss"));
    EXPECT_EQ(OS_LANGUAGE_UNKNOWN, COsLocale::GetLanguageId("klingon"));
    EXPECT_EQ(OS_LANGUAGE_UNKNOWN, COsLocale::GetLanguageId(""));
    EXPECT_EQ(OS_LANGUAGE_UNKNOWN, COsLocale::GetLanguageId(nullptr));
}

TEST_F(OsRuntimeTest, SetLanguageByNameAndId)
{
    ASSERT_NE(nullptr, g_poslocale);
    EXPECT_EQ(OS_LANGUAGE_AUTO, g_poslocale->GetLanguage());
    EXPECT_EQ(OS_STS_OK, g_poslocale->SetLanguage("GERMAN"));
    EXPECT_EQ(OS_LANGUAGE_GERMAN, g_poslocale->GetLanguage());
    EXPECT_EQ(OS_STS_FAIL, g_poslocale->SetLanguage("klingon"));
    EXPECT_EQ(OS_LANGUAGE_GERMAN, g_poslocale->GetLanguage());
    EXPECT_TRUE(m_services.LogHas("SetLanguage could not find language klingon"));
    EXPECT_EQ(OS_STS_OK, g_poslocale->SetLanguage(OS_LANGUAGE_AUTO));
    EXPECT_EQ(OS_STS_FAIL, g_poslocale->SetLanguage(static_cast<EOSLANGUAGE>(114)));
    g_poslog->SetDebugLevel(1);
    EXPECT_EQ(OS_STS_OK, g_poslocale->SetLanguage("auto"));
    EXPECT_TRUE(m_services.LogHas("SetLanguage(auto)"));
}

TEST_F(OsRuntimeTest, TextConversionsAreBoundedCopies)
{
    char szBuffer[8];
    EXPECT_EQ(7, COsLocale::CopyUtf8FromString(szBuffer, sizeof(szBuffer), "h\xC3\xA9llo"));
    EXPECT_STREQ("h\xC3\xA9llo", szBuffer);
    EXPECT_EQ(8, COsLocale::CopyStringFromUtf8(szBuffer, sizeof(szBuffer), "1234567"));
    EXPECT_EQ(0, COsLocale::CopyStringFromUtf8(szBuffer, sizeof(szBuffer), "12345678"));
    EXPECT_STREQ("1234567", szBuffer);
    EXPECT_EQ(8, COsLocale::CopyStringFromUtf8(szBuffer, sizeof(szBuffer), szBuffer));    // onto itself
    EXPECT_STREQ("1234567", szBuffer);
    EXPECT_EQ(0, COsLocale::CopyUtf8FromString(nullptr, 8, "x"));
}
