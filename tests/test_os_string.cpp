// test_os_string.cpp
// Bounded string operations: what fits is written, what does not fit leaves
// the destination alone and names the operation in the services log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "osservices.h"
#include "test_os_support.h"

class OsStringTest : public ::testing::Test
{
protected:
    OsTestServices m_services;
};

TEST_F(OsStringTest, CpyCopiesWhenTheSourceFitsWithItsTerminator)
{
    char szBuffer[8];
    memset(szBuffer, 'x', sizeof(szBuffer));
    EXPECT_EQ(szBuffer, COsString::SStrCpy(szBuffer, sizeof(szBuffer), "1234567"));  // 7 + terminator = 8
    EXPECT_STREQ("1234567", szBuffer);
    EXPECT_EQ(szBuffer, COsString::SStrCpy(szBuffer, sizeof(szBuffer), ""));
    EXPECT_STREQ("", szBuffer);
}

TEST_F(OsStringTest, CpyWritesNothingWhenTheSourceDoesNotFit)
{
    char szBuffer[8] = "old";
    EXPECT_EQ(nullptr, COsString::SStrCpy(szBuffer, sizeof(szBuffer), "12345678"));   // exactly one too long
    EXPECT_STREQ("old", szBuffer);
    EXPECT_TRUE(m_services.LogHas("SStrCpy failed...<12345678>"));
}

TEST_F(OsStringTest, CpyRefusesNullArgumentsAndZeroSize)
{
    char szBuffer[8] = "old";
    EXPECT_EQ(nullptr, COsString::SStrCpy(nullptr, 8, "a"));
    EXPECT_EQ(nullptr, COsString::SStrCpy(szBuffer, 8, nullptr));
    EXPECT_EQ(nullptr, COsString::SStrCpy(szBuffer, 0, "a"));
    EXPECT_STREQ("old", szBuffer);
    EXPECT_TRUE(m_services.LogHas("SStrCpy failed...(nil) 8 "));
}

TEST_F(OsStringTest, CatAppendsOnlyWhenBothTextsAndTheTerminatorFit)
{
    char szBuffer[8] = "abc";
    EXPECT_EQ(szBuffer, COsString::SStrCat(szBuffer, sizeof(szBuffer), "defg"));   // 3 + 4 + 1 = 8
    EXPECT_STREQ("abcdefg", szBuffer);
    EXPECT_EQ(nullptr, COsString::SStrCat(szBuffer, sizeof(szBuffer), "h"));
    EXPECT_STREQ("abcdefg", szBuffer);
    EXPECT_TRUE(m_services.LogHas("SStrCat failed...<h>"));
    EXPECT_EQ(nullptr, COsString::SStrCat(szBuffer, 0, "h"));
}

TEST_F(OsStringTest, NcpyCopiesAtMostCountCharacters)
{
    char szBuffer[8];
    memset(szBuffer, 'x', sizeof(szBuffer));
    // Source longer than the count: the count's characters, no terminator.
    EXPECT_EQ(szBuffer, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "abcdef", 3));
    EXPECT_EQ(0, memcmp(szBuffer, "abcxxxxx", 8));
    // Source within the count: source and terminator.
    EXPECT_EQ(szBuffer, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "ab", 5));
    EXPECT_STREQ("ab", szBuffer);
    // A count larger than the buffer is fine while the source fits.
    EXPECT_EQ(szBuffer, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "abcdefg", 100));
    EXPECT_STREQ("abcdefg", szBuffer);
    // A long source is fine while the count fits.
    EXPECT_EQ(szBuffer, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "0123456789", 7));
    EXPECT_EQ(0, memcmp(szBuffer, "0123456", 7));
}

TEST_F(OsStringTest, NcpyRefusesWhenCountAndSourceBothReachTheSize)
{
    char szBuffer[4] = "old";
    EXPECT_EQ(nullptr, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "abcd", 4));
    EXPECT_STREQ("old", szBuffer);
    EXPECT_TRUE(m_services.LogHas("SStrNcpy failed...<abcd>"));
    EXPECT_EQ(nullptr, COsString::SStrNcpy(szBuffer, sizeof(szBuffer), "a", 0));
    EXPECT_STREQ("old", szBuffer);
}

TEST_F(OsStringTest, NcatAppendsTheSmallerOfCountAndSource)
{
    char szBuffer[8] = "ab";
    EXPECT_EQ(szBuffer, COsString::SStrNcat(szBuffer, sizeof(szBuffer), "cdefghij", 3));
    EXPECT_STREQ("abcde", szBuffer);
    EXPECT_EQ(szBuffer, COsString::SStrNcat(szBuffer, sizeof(szBuffer), "f", 100));
    EXPECT_STREQ("abcdef", szBuffer);
    EXPECT_EQ(nullptr, COsString::SStrNcat(szBuffer, sizeof(szBuffer), "ghij", 4));
    EXPECT_STREQ("abcdef", szBuffer);
    EXPECT_TRUE(m_services.LogHas("SStrNcat failed...<ghij>"));
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

TEST_F(OsStringTest, TrimDropsOuterWhiteSpaceAndWorksInPlace)
{
    char szBuffer[16];
    EXPECT_EQ(szBuffer, COsString::SStrTrim(szBuffer, sizeof(szBuffer), " \t a b \r\n"));
    EXPECT_STREQ("a b", szBuffer);
    char szInPlace[16] = "  xyz  ";
    EXPECT_EQ(szInPlace, COsString::SStrTrim(szInPlace, sizeof(szInPlace), szInPlace));
    EXPECT_STREQ("xyz", szInPlace);
    char szSmall[3] = "ok";
    EXPECT_EQ(nullptr, COsString::SStrTrim(szSmall, sizeof(szSmall), "  abc "));
    EXPECT_STREQ("ok", szSmall);
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

TEST(OsStringPascal, ConversionLeavesTheTextUnchanged)
{
    char szText[8] = "abc";
    COsString::StrConvertCToPascal(szText, sizeof(szText));
    EXPECT_STREQ("abc", szText);
}
