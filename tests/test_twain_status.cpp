// test_twain_status.cpp
// Names of return and condition codes, forced codes and the status test.
#include <gtest/gtest.h>

#include <cstring>

#include "test_twain_impl_support.h"

namespace
{

class TwainStatusTest : public TwainImplTest
{
protected:
    // Forces the last codes as the return command does.
    void Codes(TW_UINT16 a_twrc, TW_UINT16 a_twcc)
    {
        m_ptwainimpl->m_twrcLast = a_twrc;
        m_ptwainimpl->m_twccLast = a_twcc;
    }
    bool IfStatus(std::initializer_list<const char *> a_aszWords)
    {
        TwainWords words(a_aszWords);
        return m_ptwainimpl->DSIfStatus(words, nullptr, nullptr);
    }
};

// ---------------------------------------------------------------------------
// Code names
// ---------------------------------------------------------------------------
TEST_F(TwainStatusTest, NamesFromTheSymbolTableWithHexadecimalFallbacks)
{
    char szTwrc[64], szTwcc[64];
    m_ptwainimpl->GetStatusStrings(TWRC_FAILURE, TWCC_BADVALUE, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), false);
    EXPECT_STREQ(szTwrc, "TWRC_FAILURE");
    EXPECT_STREQ(szTwcc, "TWCC_BADVALUE");

    m_ptwainimpl->GetStatusStrings(0x1234, 0x4321, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), false);
    EXPECT_STREQ(szTwrc, "TWRC_0x1234");
    EXPECT_STREQ(szTwcc, "TWCC_0x4321");

    // A small buffer gets a cut, terminated name.
    char szSmall[6];
    m_ptwainimpl->GetStatusStrings(TWRC_CANCEL, 0, szSmall, sizeof(szSmall), nullptr, 0, false);
    EXPECT_STREQ(szSmall, "TWRC_");
}

TEST_F(TwainStatusTest, AskingForTheStatusReplacesTheConditionCode)
{
    // Without a DSM the status request fails and the condition code is the
    // zeroed status record's.
    char szTwrc[64], szTwcc[64];
    m_ptwainimpl->GetStatusStrings(TWRC_FAILURE, TWCC_BUMMER, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
    EXPECT_STREQ(szTwrc, "TWRC_FAILURE");
    EXPECT_STREQ(szTwcc, "TWCC_SUCCESS");
    EXPECT_TRUE(m_env.Services().LogHas("Entry can't be called till the driver is opened..."));
}

TEST_F(TwainStatusTest, NamesWithoutSymbolTableAreHexadecimal)
{
    // A connection whose table is empty names nothing.
    char szCwd[4096];
    ASSERT_NE(getcwd(szCwd, sizeof(szCwd)), nullptr);
    ASSERT_EQ(chdir("/"), 0);
    auto ptwainimpl = MakeTwainImpl();
    ASSERT_EQ(chdir(szCwd), 0);
    char szTwrc[64], szTwcc[64];
    ptwainimpl->GetStatusStrings(TWRC_SUCCESS, TWCC_SUCCESS, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), false);
    EXPECT_STREQ(szTwrc, "TWRC_0x0");
    EXPECT_STREQ(szTwcc, "TWCC_0x0");
}

// ---------------------------------------------------------------------------
// Forced codes
// ---------------------------------------------------------------------------
TEST_F(TwainStatusTest, ReturnSetsBothCodesByName)
{
    TW_UINT16 twrc = 0, twcc = 0;
    EXPECT_EQ(m_ptwainimpl->DSReturn(TwainWords({"return", "TWRC_FAILURE", "twcc_badvalue"}), &twrc, &twcc),
              TWRC_FAILURE);
    EXPECT_EQ(twrc, TWRC_FAILURE);
    EXPECT_EQ(twcc, TWCC_BADVALUE);
    EXPECT_TRUE(IfStatus({"ifstatus", "TWCC_BADVALUE"}));

    // Unknown names change nothing and are reported.
    EXPECT_EQ(m_ptwainimpl->DSReturn(TwainWords({"return", "TWRC_NOPE", "TWCC_NOPE"}), &twrc, &twcc), TWRC_FAILURE);
    EXPECT_EQ(twcc, TWCC_BADVALUE);
    EXPECT_TRUE(m_env.Services().LogHas("bad return code...TWRC_NOPE"));
    EXPECT_TRUE(m_env.Services().LogHas("bad condition code...TWCC_NOPE"));

    // An empty first word leaves both alone (the list ends there).
    EXPECT_EQ(m_ptwainimpl->DSReturn(TwainWords({"return", "", "TWCC_SUCCESS"}), &twrc, &twcc), TWRC_FAILURE);
    EXPECT_EQ(twcc, TWCC_BADVALUE);
    EXPECT_EQ(m_ptwainimpl->DSReturn(TwainWords({"return", "TWRC_CANCEL"}), &twrc, &twcc), TWRC_CANCEL);
    EXPECT_EQ(twcc, TWCC_BADVALUE);
}

// ---------------------------------------------------------------------------
// The status test
// ---------------------------------------------------------------------------
TEST_F(TwainStatusTest, CopiesTheCodesOutFirst)
{
    Codes(TWRC_CANCEL, TWCC_DENIED);
    TW_UINT16 twrc = 0, twcc = 0;
    EXPECT_FALSE(m_ptwainimpl->DSIfStatus(TwainWords({"ifstatus"}), &twrc, &twcc));
    EXPECT_EQ(twrc, TWRC_CANCEL);
    EXPECT_EQ(twcc, TWCC_DENIED);
}

// Each row: the last codes, the last event, the words, the answer.
TEST_F(TwainStatusTest, TermsOperatorsAndEventsFromLeftToRight)
{
    struct Case
    {
        TW_UINT16 twrc, twcc;
        const char *szEvent;
        std::vector<const char *> aszWords;
        bool blTrue;
    };
    const Case acase[] = {
        {TWRC_CANCEL, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "OR", "TWRC_CANCEL"}, true},
        {TWRC_CANCEL, TWCC_SUCCESS, "", {"TWRC_SUCCESS"}, false},
        {TWRC_CANCEL, TWCC_SUCCESS, "", {"twrc_cancel"}, true},
        // NOT TWRC_SUCCESS AND TWCC_BADCAP: true only when both hold.
        {TWRC_FAILURE, TWCC_BADCAP, "", {"NOT", "TWRC_SUCCESS", "AND", "TWCC_BADCAP"}, true},
        {TWRC_FAILURE, TWCC_BADVALUE, "", {"NOT", "TWRC_SUCCESS", "AND", "TWCC_BADCAP"}, false},
        {TWRC_SUCCESS, TWCC_BADCAP, "", {"not", "TWRC_SUCCESS", "and", "TWCC_BADCAP"}, false},
        // Left to right: (SUCCESS OR FAILURE) AND BADCAP, not SUCCESS OR (FAILURE AND BADCAP).
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "OR", "TWRC_FAILURE", "AND", "TWCC_BADCAP"}, false},
        // The operator stays until changed: A AND B C means (A AND B) AND C.
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "AND", "TWCC_SUCCESS", "TWRC_FAILURE"}, false},
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_FAILURE", "TWRC_SUCCESS"}, true},
        // NOT before an operator is cancelled.
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_FAILURE", "NOT", "OR", "TWRC_SUCCESS"}, true},
        // The custom busy code by number or by its obsolete name, the standard one likewise.
        {TWRC_BUSY_CUSTOM, 0, "", {"0x8001"}, true},
        {TWRC_BUSY_CUSTOM, 0, "", {"obs_twrc_busy"}, true},
        {TWRC_BUSY_CUSTOM, 0, "", {"0x8002"}, false},
        {TWRC_BUSY, 0, "", {"OBS_TWRC_BUSY"}, true},
        {TWRC_BUSY, 0, "", {"0xa"}, true},
        {TWRC_FAILURE, 0, "", {"obs_twrc_busy"}, false},
        // A bad term, even under NOT, makes the whole test false.
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"NOT", "TWTY_INT16"}, false},
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "OR", "TWPT_RGB"}, false},
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "OR", "nonsense"}, false},
        // Event names compare with the last event.
        {TWRC_SUCCESS, TWCC_SUCCESS, "", {"MSG_XFERREADY"}, false},
        {TWRC_SUCCESS, TWCC_SUCCESS, "MSG_XFERREADY", {"msg_xferready"}, true},
        {TWRC_SUCCESS, TWCC_SUCCESS, "MSG_XFERREADY", {"TWDE_PAPERJAM"}, false},
        {TWRC_SUCCESS, TWCC_SUCCESS, "TWDE_PAPERJAM", {"TWDE_PAPERJAM", "AND", "TWRC_SUCCESS"}, true},
        {TWRC_SUCCESS, TWCC_SUCCESS, "TWDE_PAPERJAM", {"NOT", "TWDE_PAPERJAM"}, false},
        // The word list ends at an empty word.
        {TWRC_FAILURE, TWCC_SUCCESS, "", {"TWRC_SUCCESS", "", "OR", "TWRC_FAILURE"}, false},
        {TWRC_FAILURE, TWCC_SUCCESS, "", {""}, false},
    };
    for (const Case &c : acase)
    {
        Codes(c.twrc, c.twcc);
        strcpy(m_ptwainimpl->m_szLastEvent, c.szEvent);
        std::vector<const char *> aszWords = {"ifstatus"};
        aszWords.insert(aszWords.end(), c.aszWords.begin(), c.aszWords.end());
        aszWords.insert(aszWords.end(), {nullptr, nullptr});
        EXPECT_EQ(m_ptwainimpl->DSIfStatus(aszWords.data(), nullptr, nullptr), c.blTrue) << c.aszWords[0] << " row " << (&c - acase);
    }
    EXPECT_TRUE(m_env.Services().LogHas("not is in a bad place..."));
    EXPECT_TRUE(m_env.Services().LogHas("bad test...TWTY_INT16"));
    EXPECT_TRUE(m_env.Services().LogHas("bad test...nonsense"));
}

} // namespace
