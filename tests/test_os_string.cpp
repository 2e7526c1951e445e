// test_os_string.cpp
// Bounded string operations: what fits is written, what does not fit leaves
// the destination alone and names the operation in the services log. (The
// trim and the counted append, which no part of the program uses, and the
// Pascal conversion, which changes nothing on this platform, are left
// untested.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>
#include <string>

#include "osservices.h"
#include "test_os_support.h"

class OsStringTest : public ::testing::Test
{
protected:
    OsTestServices m_services;
};

// Each row: the copy into a buffer of the given size that holds a text (the
// rest 'x'), its answer, what the buffer holds after, and the log line.
TEST_F(OsStringTest, BoundedCopiesWriteOnlyWhatFitsWithItsTerminator)
{
    enum EOP { CPY, CAT, NCPY };
    struct Case
    {
        EOP eop;
        size_t uSize;
        const char* szBefore;
        const char* szSource;
        size_t uCount;
        bool blDone;
        const char* szAfter;
        const char* szLog;
    };
    const Case acase[] = {
        {CPY, 8, "", "1234567", 0, true, "1234567", nullptr},   // 7 + terminator = 8
        {CPY, 8, "1234567", "", 0, true, "", nullptr},
        {CPY, 8, "old", "12345678", 0, false, "old", "SStrCpy failed...<12345678>"},   // exactly one too long
        {CPY, 8, "old", nullptr, 0, false, "old", nullptr},
        {CPY, 0, "", "a", 0, false, "", nullptr},
        {CAT, 8, "abc", "defg", 0, true, "abcdefg", nullptr},   // 3 + 4 + 1 = 8
        {CAT, 8, "abcdefg", "h", 0, false, "abcdefg", "SStrCat failed...<h>"},
        {CAT, 0, "", "h", 0, false, "", nullptr},
        // Ncpy: a source longer than the count gives the count's characters
        // without terminator; within the count, source and terminator; a large
        // count is fine while the source fits, a long source while the count fits.
        {NCPY, 8, "", "abcdef", 3, true, "abcxxxxx", nullptr},
        {NCPY, 8, "", "ab", 5, true, "ab", nullptr},
        {NCPY, 8, "", "abcdefg", 100, true, "abcdefg", nullptr},
        {NCPY, 8, "", "0123456789", 7, true, "0123456x", nullptr},
        {NCPY, 4, "old", "abcd", 4, false, "old", "SStrNcpy failed...<abcd>"},
        {NCPY, 4, "old", "a", 0, false, "old", nullptr},
    };
    for (const Case& c : acase)
    {
        std::vector<char> ach(std::max<size_t>(c.uSize, 4), 'x');
        memcpy(ach.data(), c.szBefore, strlen(c.szBefore) + 1);
        char* szDone = nullptr;
        switch (c.eop)
        {
            case CPY: szDone = COsString::SStrCpy(ach.data(), c.uSize, c.szSource); break;
            case CAT: szDone = COsString::SStrCat(ach.data(), c.uSize, c.szSource); break;
            case NCPY: szDone = COsString::SStrNcpy(ach.data(), c.uSize, c.szSource, c.uCount); break;
        }
        SCOPED_TRACE(std::to_string(&c - acase));
        EXPECT_EQ(szDone, c.blDone ? ach.data() : nullptr);
        EXPECT_EQ(std::string(ach.data(), strnlen(ach.data(), ach.size())), c.szAfter);
        EXPECT_TRUE(c.szLog == nullptr || m_services.LogHas(c.szLog)) << c.szLog;
    }
    // A null destination is refused and logged with the pointers.
    EXPECT_EQ(nullptr, COsString::SStrCpy(nullptr, 8, "a"));
    EXPECT_TRUE(m_services.LogHas("SStrCpy failed...(nil) 8 "));
}

TEST_F(OsStringTest, PrintfReportsCutOutput)
{
    char szBuffer[8];
    EXPECT_EQ(7, COsString::SStrPrintf(szBuffer, sizeof(szBuffer), "%d-%s", 123, "abc"));
    EXPECT_STREQ("123-abc", szBuffer);
    EXPECT_EQ(-1, COsString::SStrPrintf(szBuffer, sizeof(szBuffer), "%s", "123456789"));
    EXPECT_STREQ("1234567", szBuffer);     // the cut text stays
    EXPECT_TRUE(m_services.LogHas("SStrPrintf failed...<%s>"));
    EXPECT_EQ(-1, COsString::SStrPrintf(nullptr, 8, "x"));
}

TEST_F(OsStringTest, CatfAppendsNothingWhenItDoesNotFit)
{
    char szBuffer[8] = "ab";
    EXPECT_EQ(3, COsString::SStrCatf(szBuffer, sizeof(szBuffer), "%03d", 7));
    EXPECT_STREQ("ab007", szBuffer);
    EXPECT_EQ(-1, COsString::SStrCatf(szBuffer, sizeof(szBuffer), "%s", "xyz"));
    EXPECT_STREQ("ab007", szBuffer);
    EXPECT_EQ(2, COsString::SStrCatf(szBuffer, sizeof(szBuffer), "%s", "xy"));
    EXPECT_STREQ("ab007xy", szBuffer);
}

TEST_F(OsStringTest, TokSkipsLeadingSeparatorsAndEnds)
{
    char szText[] = ",,one,two,,three,";
    char* szContext = nullptr;
    EXPECT_STREQ("one", COsString::SStrTok(szText, ",", &szContext));
    EXPECT_STREQ("two", COsString::SStrTok(nullptr, ",", &szContext));
    EXPECT_STREQ("three", COsString::SStrTok(nullptr, ",", &szContext));
    EXPECT_EQ(nullptr, COsString::SStrTok(nullptr, ",", &szContext));
    char szOther[] = "a b";
    EXPECT_EQ(nullptr, COsString::SStrTok(szOther, nullptr, &szContext));
    EXPECT_EQ(nullptr, COsString::SStrTok(szOther, " ", nullptr));
}

TEST_F(OsStringTest, ReplaceFirstAllAbsentAndTooLong)
{
    char szBuffer[32] = "a@@b@@c";
    EXPECT_EQ(OS_STS_OK, COsString::SStrReplace(szBuffer, sizeof(szBuffer), "@@", "-", false));
    EXPECT_STREQ("a-b@@c", szBuffer);
    EXPECT_EQ(OS_STS_OK, COsString::SStrReplace(szBuffer, sizeof(szBuffer), "@@", "@@@@", true));
    EXPECT_STREQ("a-b@@@@c", szBuffer);    // the replacement is not scanned again
    EXPECT_EQ(OS_STS_NOT_FOUND, COsString::SStrReplace(szBuffer, sizeof(szBuffer), "zz", "y", true));

    char szSmall[8] = "\t\t\t";
    EXPECT_EQ(OS_STS_FAIL, COsString::SStrReplace(szSmall, sizeof(szSmall), "\t", "   ", true));
    EXPECT_STREQ("      \t", szSmall);     // two replaced, the third would not fit
    EXPECT_EQ(OS_STS_FAIL, COsString::SStrReplace(szSmall, sizeof(szSmall), "", "x", true));
}

TEST_F(OsStringTest, FromNumDecimalHexAndBadBase)
{
    char szBuffer[16];
    EXPECT_STREQ("-42", COsString::SStrFromNum(-42, szBuffer, sizeof(szBuffer), 10));
    EXPECT_STREQ("ff", COsString::SStrFromNum(255, szBuffer, sizeof(szBuffer), 16));
    EXPECT_STREQ("ffffffff", COsString::SStrFromNum(-1, szBuffer, sizeof(szBuffer), 16));
    EXPECT_EQ(szBuffer, COsString::SStrFromNum(1, szBuffer, sizeof(szBuffer), 8));
    EXPECT_STREQ("ffffffff", szBuffer);    // unchanged
    EXPECT_TRUE(m_services.LogHas("SStrFromNum failed...unsupported base 8"));
    EXPECT_EQ(nullptr, COsString::SStrFromNum(1, nullptr, 16, 10));
    char szSmall[3] = "ok";
    EXPECT_EQ(nullptr, COsString::SStrFromNum(1234, szSmall, sizeof(szSmall), 10));
    EXPECT_STREQ("ok", szSmall);
}

TEST(OsStringHex, StrToFastHexReadsUpToTheFirstNonDigit)
{
    EXPECT_EQ(0x1234u, COsString::StrToFastHex("1234"));
    EXPECT_EQ(0xABCDEFu, COsString::StrToFastHex("0xabcDEF"));
    EXPECT_EQ(0x10u, COsString::StrToFastHex("0X10"));
    EXPECT_EQ(0x12u, COsString::StrToFastHex("12g4"));
    EXPECT_EQ(0u, COsString::StrToFastHex(""));
    EXPECT_EQ(0u, COsString::StrToFastHex("0x"));
    EXPECT_EQ(0u, COsString::StrToFastHex("g1"));
    EXPECT_EQ(0u, COsString::StrToFastHex(" 1"));
    EXPECT_EQ(0xFFFFFFFFu, COsString::StrToFastHex("ffffffff"));
    EXPECT_EQ(0u, COsString::StrToFastHex(nullptr));
}
