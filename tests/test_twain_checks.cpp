// test_twain_checks.cpp
// The checks a script makes through a connection: names of return and
// condition codes, forced codes and the status test; expected values (the
// setdiff target table, the ifdiff comparison) and the run arguments of each
// script level.
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
    // (names from the table: every refusal the program prints, test_e2e_*.cpp)
    char szTwrc[64], szTwcc[64];
    m_ptwainimpl->GetStatusStrings(0x1234, 0x4321, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), false);
    EXPECT_STREQ(szTwrc, "TWRC_0x1234");
    EXPECT_STREQ(szTwcc, "TWCC_0x4321");

    // A small buffer gets a cut, terminated name.
    char szSmall[6];
    m_ptwainimpl->GetStatusStrings(TWRC_CANCEL, 0, szSmall, sizeof(szSmall), nullptr, 0, false);
    EXPECT_STREQ(szSmall, "TWRC_");

    // A connection whose table is empty names nothing.
    char szCwd[4096];
    ASSERT_NE(getcwd(szCwd, sizeof(szCwd)), nullptr);
    ASSERT_EQ(chdir("/"), 0);
    auto ptwainimpl = MakeTwainImpl();
    ASSERT_EQ(chdir(szCwd), 0);
    ptwainimpl->GetStatusStrings(TWRC_SUCCESS, TWCC_SUCCESS, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), false);
    EXPECT_STREQ(szTwrc, "TWRC_0x0");
    EXPECT_STREQ(szTwcc, "TWCC_0x0");
}

// The answers of the status requests, [0] the source's, [1] the DSM's, and
// how often each was asked; every other triplet fails.
TW_UINT16 s_atwrcStatus[2], s_atwccStatus[2];
int s_aiAsked[2];
TW_UINT16 StatusLevels(pTW_IDENTITY, pTW_IDENTITY a_pDest, TW_UINT32, TW_UINT16 a_twdat, TW_UINT16, TW_MEMREF a_pdata)
{
    int iLevel = a_pDest ? 0 : 1;
    if (a_twdat != DAT_STATUS)
        return TWRC_FAILURE;
    s_aiAsked[iLevel]++;
    static_cast<TW_STATUS *>(a_pdata)->ConditionCode = s_atwccStatus[iLevel];
    return s_atwrcStatus[iLevel];
}

// A failure's condition is asked of whoever answered it; when the source
// cannot say, the DSM; when nobody can, it is TWCC_BUMMER (never SUCCESS).
TEST_F(TwainStatusTest, AskingForTheStatusReplacesTheConditionCode)
{
    // Without a DSM both requests fail.
    char szTwrc[64], szTwcc[64];
    m_ptwainimpl->GetStatusStrings(TWRC_FAILURE, TWCC_BADCAP, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
    EXPECT_STREQ(szTwrc, "TWRC_FAILURE");
    EXPECT_STREQ(szTwcc, "TWCC_BUMMER");
    EXPECT_TRUE(m_env.Services().LogHas("Entry can't be called till the driver is opened..."));

    // Each row: the triplet goes to the source, the two answers, the code
    // and how often each was asked.
    const struct
    {
        bool blSource;
        TW_UINT16 twrcDs, twccDs, twrcDsm, twccDsm;
        const char *szTwcc;
        int iDs, iDsm;
    } acase[] = {
        {true, TWRC_SUCCESS, TWCC_BADCAP, TWRC_SUCCESS, TWCC_DENIED, "TWCC_BADCAP", 1, 0},
        {true, TWRC_FAILURE, 0, TWRC_SUCCESS, TWCC_BADDEST, "TWCC_BADDEST", 1, 1},
        {true, TWRC_FAILURE, 0, TWRC_SUCCESS, TWCC_SUCCESS, "TWCC_BUMMER", 1, 1},
        {true, TWRC_FAILURE, 0, TWRC_FAILURE, TWCC_BADDEST, "TWCC_BUMMER", 1, 1},
        {false, TWRC_SUCCESS, TWCC_DENIED, TWRC_FAILURE, TWCC_BADDEST, "TWCC_BUMMER", 0, 1},
        {false, TWRC_SUCCESS, TWCC_DENIED, TWRC_SUCCESS, TWCC_SUCCESS, "TWCC_SUCCESS", 0, 1},
    };
    m_ptwainimpl->m_pfnDsmEntryProc = StatusLevels;
    m_ptwainimpl->m_twidentityDs.Id = 1;
    m_ptwainimpl->m_etwstate = ETWSTATE_DSOPEN;
    for (const auto &c : acase)
    {
        s_atwrcStatus[0] = c.twrcDs, s_atwccStatus[0] = c.twccDs, s_atwrcStatus[1] = c.twrcDsm;
        s_atwccStatus[1] = c.twccDsm, s_aiAsked[0] = s_aiAsked[1] = 0;
        TW_CAPABILITY twcapability = {};
        m_ptwainimpl->DsmEntry(DG_CONTROL, c.blSource ? DAT_CAPABILITY : DAT_PARENT, MSG_GET, &twcapability, 0, 0);
        m_ptwainimpl->GetStatusStrings(TWRC_FAILURE, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
        EXPECT_STREQ(szTwcc, c.szTwcc) << c.twrcDs << c.twrcDsm;
        EXPECT_TRUE(IfStatus({"ifstatus", c.szTwcc}));
        EXPECT_EQ(s_aiAsked[0], c.iDs);
        EXPECT_EQ(s_aiAsked[1], c.iDsm);
    }
    m_ptwainimpl->m_pfnDsmEntryProc = nullptr;
    m_ptwainimpl->m_etwstate = ETWSTATE_NONE;
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
// Each row: the last codes, the last event, the words, the answer.
TEST_F(TwainStatusTest, TermsOperatorsAndEventsFromLeftToRight)
{
    // The codes are copied out first, whatever the words.
    Codes(TWRC_CANCEL, TWCC_DENIED);
    TW_UINT16 twrc = 0, twcc = 0;
    EXPECT_FALSE(m_ptwainimpl->DSIfStatus(TwainWords({"ifstatus"}), &twrc, &twcc));
    EXPECT_EQ(twrc, TWRC_CANCEL);
    EXPECT_EQ(twcc, TWCC_DENIED);

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

class TwainDiffTest : public TwainImplTest
{
protected:
    TW_UINT16 SetDiff(std::initializer_list<const char *> a_aszWords, TW_UINT32 a_u32Level = 0)
    {
        TwainWords words(a_aszWords);
        return m_ptwainimpl->DSSetDiff(words, a_u32Level);
    }
    bool IfDiff(std::initializer_list<const char *> a_aszWords, TW_UINT32 a_u32Level = 0)
    {
        TwainWords words(a_aszWords);
        return m_ptwainimpl->DSIfDiff(words, a_u32Level);
    }
    void RunArgs(TW_UINT32 a_u32Level, std::vector<const char *> a_aszArgs)
    {
        a_aszArgs.resize(TWRUNARGS_ARGCOUNT, nullptr);
        m_ptwainimpl->DSSetRunArgs(a_u32Level, a_aszArgs.data());
    }
    CTwainImpl &Impl()
    {
        return *m_ptwainimpl;
    }
};

// ---------------------------------------------------------------------------
// Run arguments
// ---------------------------------------------------------------------------
TEST_F(TwainDiffTest, RunArgsCountThePresentWords)
{
    RunArgs(2, {"w1", "w2", "w3", "w4", "", "w6", "w7", "w8", "w9", "w10"});
    const twrunargs &twrunargs2 = Impl().m_atwrunargs[2];
    EXPECT_EQ(twrunargs2.u32Count, 9u);
    EXPECT_STREQ(twrunargs2.szArg4, "w4");
    EXPECT_STREQ(twrunargs2.szArg5, "");
    EXPECT_STREQ(twrunargs2.szArg6, "w6");
    EXPECT_STREQ(twrunargs2.szArg10, "w10");
    EXPECT_EQ(memcmp(&Impl().m_atwrunargsExpected[2], &twrunargs2, sizeof(twrunargs)), 0);
    // Other levels stay as they were.
    EXPECT_EQ(Impl().m_atwrunargs[1].u32Count, 0u);

    // A new line clears the level first; a long word is cut to its slot.
    std::string szLong(600, 'x');
    RunArgs(2, {szLong.c_str()});
    EXPECT_EQ(twrunargs2.u32Count, 1u);
    EXPECT_EQ(std::string(twrunargs2.szArg1), std::string(TWRUNARGS_ARGSIZE - 1, 'x'));
    EXPECT_STREQ(twrunargs2.szArg2, "");
    EXPECT_EQ(Impl().DSSetRunArgs(TWAINIMPL_RUNARGLEVELS, nullptr), 1);
}

TEST_F(TwainDiffTest, NoLevelBelowThePrompt)
{
    TW_UINT32 twLevelPrompt = static_cast<TW_UINT32>(-1);
    EXPECT_EQ(SetDiff({"setdiff", "twrunargs.u32Count", "4"}, twLevelPrompt), 1);
    EXPECT_EQ(m_log.Last(), "twrunargs needs a running script, there is no level below the prompt...");
    EXPECT_EQ(SetDiff({"setdiff", "twrunargs.u32Count", "4"}, 0xFFFFFFFFUL), 1);
    // "no difference": false, and true with not.
    EXPECT_FALSE(IfDiff({"ifdiff", "twrunargs"}, twLevelPrompt));
    EXPECT_TRUE(IfDiff({"ifdiff", "not", "twrunargs"}, twLevelPrompt));
    EXPECT_EQ(SetDiff({"setdiff", "twrunargs.u32Count", "4"}, TWAINIMPL_RUNARGLEVELS), 1);
    EXPECT_EQ(m_log.Last(), "twrunargs level out of range...64");
    // The other structures do not depend on the level.
    EXPECT_EQ(SetDiff({"setdiff", "tw_pendingxfers.count", "2"}, twLevelPrompt), 0);
}

// ---------------------------------------------------------------------------
// The target table: one row per kind of field
// ---------------------------------------------------------------------------
struct NumberCase
{
    const char *szTarget;
    const char *szValue;
    size_t u64Offset;       // in the expected copy
    size_t u64Width;
    long long llExpected;   // the bytes of the field, read little-endian
};

class TwainDiffNumbers : public TwainDiffTest, public testing::WithParamInterface<NumberCase>
{
protected:
    const uint8_t *Expected(const char *a_szTarget)
    {
        CTwainImpl &impl = Impl();
        const std::pair<std::string, const void *> apair[] = {
            {"tw_customdsdata", &impl.m_twcustomdsdataExpected},
            {"tw_customdsdatagroup", &impl.m_twcustomdsdatagroupExpected},
            {"tw_deviceinfo", &impl.m_twdeviceinfoExpected},
            {"tw_imageinfo", &impl.m_twimageinfoExpected},
            {"tw_imagelayout", &impl.m_twimagelayoutExpected},
            {"tw_onevalue", &impl.m_twonevalueExpected},
            {"tw_pendingxfers", &impl.m_twpendingxfersExpected},
            {"tw_range", &impl.m_twrangeExpected},
            {"tw_setupfilexfer", &impl.m_twsetupfilexferExpected},
            {"tw_setupmemxfer", &impl.m_twsetupmemxferExpected},
            {"tw_calibrate", &impl.m_twcalibrateExpected},
        };
        std::string sz(a_szTarget);
        for (const auto &pair : apair)
        {
            if (pair.first == sz.substr(0, sz.find('.')))
            {
                return static_cast<const uint8_t *>(pair.second);
            }
        }
        return nullptr;
    }
};

TEST_P(TwainDiffNumbers, StoresTheValueInItsField)
{
    const NumberCase &c = GetParam();
    ASSERT_EQ(SetDiff({"setdiff", c.szTarget, c.szValue}), 0) << c.szTarget;
    const uint8_t *pu8 = Expected(c.szTarget);
    ASSERT_NE(pu8, nullptr);
    long long llField = 0;
    memcpy(&llField, pu8 + c.u64Offset, c.u64Width);
    if (c.u64Width < 8)
    {
        // Sign-extend what the expectation holds in the field's width.
        long long llMask = (1LL << (8 * c.u64Width)) - 1;
        EXPECT_EQ(llField & llMask, c.llExpected & llMask) << c.szTarget;
    }
    else
    {
        EXPECT_EQ(llField, c.llExpected) << c.szTarget;
    }
    // Nothing beyond the field was written.
    size_t u64End = c.u64Offset + c.u64Width;
    if (u64End < 10)
    {
        EXPECT_EQ(pu8[u64End], 0) << c.szTarget;
    }
    // The received copy is untouched, so the structure now differs.
    std::string szStruct(c.szTarget);
    szStruct = szStruct.substr(0, szStruct.find('.'));
    EXPECT_EQ(IfDiff({"ifdiff", szStruct.c_str()}), c.llExpected != 0) << c.szTarget;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TwainDiffNumbers,
    testing::Values(
        NumberCase{"tw_customdsdata.infolength", "4096", 0, 8, 4096},
        NumberCase{"tw_customdsdata.hdata", "77", 8, 8, 77},
        NumberCase{"tw_customdsdatagroup.infolength", "12", 0, 8, 12},
        NumberCase{"tw_customdsdatagroup.hdata", "13", 8, 8, 13},
        NumberCase{"tw_customdsdatagroup.group", "twcdg_group_sortbarcode", 16, 2, 4},
        NumberCase{"tw_calibrate.calibrationtype", "TWCAL_CALIBRATIONTYPE_PATCHREADER", 0, 2, 10},
        NumberCase{"tw_calibrate.calibrationtype", "TWCAL_CALIBRATIONTYPE_MICROPHONETEST", 0, 2, 11},
        NumberCase{"tw_deviceinfo.dwfields", "5", 0, 8, 5},
        NumberCase{"tw_deviceinfo.dwmodelnumber", "6", 8, 8, 6},
        NumberCase{"tw_deviceinfo.dwhostadapter", "7", 784, 8, 7},
        NumberCase{"tw_deviceinfo.dwtarget", "8", 792, 8, 8},
        NumberCase{"tw_deviceinfo.dwfirmware", "9", 1056, 8, 9},
        NumberCase{"tw_imageinfo.xresolution", "300", 0, 4, 300},
        NumberCase{"tw_imageinfo.yresolution.whole", "-2", 4, 2, -2},
        NumberCase{"tw_imageinfo.yresolution.frac", "32768", 6, 2, 32768},
        NumberCase{"tw_imageinfo.imagewidth", "2550", 8, 8, 2550},
        NumberCase{"tw_imageinfo.imagelength", "-1", 16, 8, -1},
        NumberCase{"tw_imageinfo.samplesperpixel", "3", 24, 2, 3},
        NumberCase{"tw_imageinfo.bitsperpixel", "24", 42, 2, 24},
        NumberCase{"tw_imageinfo.pixeltype", "TWPT_RGB", 46, 2, 2},
        NumberCase{"tw_imageinfo.compression", "twcp_group4", 48, 2, 5},
        NumberCase{"tw_imageinfo.planar", "TWPC_PLANAR", 44, 2, 1},
        NumberCase{"tw_imagelayout.frame.left", "1", 0, 4, 1},
        NumberCase{"tw_imagelayout.frame.top.whole", "2", 4, 2, 2},
        NumberCase{"tw_imagelayout.frame.right.frac", "16384", 10, 2, 16384},
        NumberCase{"tw_imagelayout.frame.bottom", "11", 12, 4, 11},
        NumberCase{"tw_imagelayout.documentnumber", "1", 16, 8, 1},
        NumberCase{"tw_imagelayout.pagenumber", "2", 24, 8, 2},
        NumberCase{"tw_imagelayout.framenumber", "3", 32, 8, 3},
        NumberCase{"tw_onevalue.item", "123456789012", 2, 8, 123456789012LL},
        NumberCase{"tw_pendingxfers.count", "65535", 0, 2, 65535},
        NumberCase{"tw_pendingxfers.eoj", "100000", 2, 8, 100000},
        NumberCase{"tw_range.itemtype", "4", 0, 2, 4},
        NumberCase{"tw_range.minvalue", "-100", 2, 8, -100},
        NumberCase{"tw_range.maxvalue", "100", 10, 8, 100},
        NumberCase{"tw_range.stepsize", "5", 18, 8, 5},
        NumberCase{"tw_range.defaultvalue", "50", 26, 8, 50},
        NumberCase{"tw_range.currentvalue", "75", 34, 8, 75},
        NumberCase{"tw_setupfilexfer.format", "4", 256, 2, 4},
        NumberCase{"tw_setupfilexfer.vrefnum", "-1", 258, 2, -1},
        NumberCase{"tw_setupmemxfer.minbufsize", "70000", 0, 8, 70000},
        NumberCase{"tw_setupmemxfer.maxbufsize", "1048576", 8, 8, 1048576},
        NumberCase{"tw_setupmemxfer.preferred", "65537", 16, 8, 65537}),
    [](const testing::TestParamInfo<NumberCase> &a_info) { return TwainTestName(a_info.param.szTarget, a_info.index); });

TEST_F(TwainDiffTest, FixedPointWithoutPartClearsTheFraction)
{
    Impl().m_twimageinfoExpected.XResolution.Frac = 0x1234;
    EXPECT_EQ(SetDiff({"setdiff", "tw_imageinfo.xresolution", "200"}), 0);
    EXPECT_EQ(Impl().m_twimageinfoExpected.XResolution.Whole, 200);
    EXPECT_EQ(Impl().m_twimageinfoExpected.XResolution.Frac, 0);
    EXPECT_EQ(SetDiff({"setdiff", "tw_imageinfo.xresolution.frac", "32768"}), 0);
    EXPECT_EQ(Impl().m_twimageinfoExpected.XResolution.Whole, 200);
    EXPECT_EQ(Impl().m_twimageinfoExpected.XResolution.Frac, 32768);
}

TEST_F(TwainDiffTest, BitsPerSampleTakesTheFollowingWords)
{
    EXPECT_EQ(SetDiff({"setdiff", "tw_imageinfo.bitspersample", "8", "8", "8"}), 0);
    const TW_IMAGEINFO &twimageinfo = Impl().m_twimageinfoExpected;
    EXPECT_EQ(twimageinfo.BitsPerSample[0], 8);
    EXPECT_EQ(twimageinfo.BitsPerSample[2], 8);
    EXPECT_EQ(twimageinfo.BitsPerSample[3], 0);
    // More than eight words: the rest is ignored.
    EXPECT_EQ(SetDiff({"setdiff", "tw_imageinfo.bitspersample", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}), 0);
    EXPECT_EQ(twimageinfo.BitsPerSample[7], 8);
    EXPECT_EQ(twimageinfo.BitsPerPixel, 0);
}

TEST_F(TwainDiffTest, TextsAreCutToTheirField)
{
    EXPECT_EQ(SetDiff({"setdiff", "tw_deviceinfo.szmodelname", "model-x"}), 0);
    EXPECT_STREQ(Impl().m_twdeviceinfoExpected.szModelName, "model-x");
    std::string szLong(300, 'f');
    EXPECT_EQ(SetDiff({"setdiff", "tw_setupfilexfer.filename", szLong.c_str()}), 0);
    EXPECT_EQ(std::string(Impl().m_twsetupfilexferExpected.FileName), std::string(254, 'f'));
    EXPECT_EQ(Impl().m_twsetupfilexferExpected.Format, 0);
    // An empty value empties it.
    EXPECT_EQ(SetDiff({"setdiff", "tw_setupfilexfer.filename"}), 0);
    EXPECT_STREQ(Impl().m_twsetupfilexferExpected.FileName, "");
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_setupfilexfer"}));
    EXPECT_EQ(SetDiff({"setdiff", "tw_deviceinfo.szdriverfilename", szLong.c_str()}), 0);
    EXPECT_EQ(std::string(Impl().m_twdeviceinfoExpected.szDriverFilename), std::string(255, 'f'));
    TW_UINT32 twSorterFlags = Impl().m_twdeviceinfoExpected.dwSorterFlags;
    EXPECT_EQ(twSorterFlags, 0u);
}

TEST_F(TwainDiffTest, SymbolsOfACapabilityOrAFamily)
{
    EXPECT_EQ(SetDiff({"setdiff", "tw_onevalue.item", "ICAP_PIXELTYPE", "TWPT_GRAY"}), 0);
    TW_UINT32 twItem = Impl().m_twonevalueExpected.Item;
    EXPECT_EQ(twItem, static_cast<TW_UINT32>(TWPT_GRAY));

    EXPECT_EQ(SetDiff({"setdiff", "tw_range.itemtype", "type", "TWTY_UINT16"}), 0);
    EXPECT_EQ(Impl().m_twrangeExpected.ItemType, TWTY_UINT16);

    EXPECT_EQ(SetDiff({"setdiff", "tw_setupfilexfer.format", "fmt", "TWFF_BMP"}), 0);
    EXPECT_EQ(Impl().m_twsetupfilexferExpected.Format, TWFF_BMP);
}

TEST_F(TwainDiffTest, RefusedTargetsSayWhyAndChangeNothing)
{
    const std::vector<std::pair<std::vector<const char *>, const char *>> acase = {
        {{"setdiff", "tw_onevalue.item", "ICAP_PIXELTYPE", "TWPT_NOPE"}, "Bad ICAP_PIXELTYPE...<TWPT_NOPE>"},
        {{"setdiff", "tw_range.itemtype", "type", "TWPT_RGB"}, "Bad type...<TWPT_RGB>"},
        {{"setdiff", "tw_setupfilexfer.format", "fmt", "TWFF_NOPE"}, "Bad fmt...<TWFF_NOPE>"},
        {{"setdiff", "tw_imageinfo.pixeltype", "TWPT_NOPE"}, "Bad pixeltype...<TWPT_NOPE>"},
        {{"setdiff", "tw_imageinfo.planar", "x"}, "Bad planarchunky...<x>"},
        {{"setdiff", "tw_imageinfo.compression", "x"}, "Bad compression...<x>"},
        {{"setdiff", "tw_calibrate.calibrationtype", "x"}, "Unrecognized value...<x>"},
        {{"setdiff", "tw_customdsdatagroup.group"}, "Unrecognized value...<>"},
        {{"setdiff", "tw_range.nofield", "1"}, "Unrecognized target...<tw_range.nofield>"},
        {{"setdiff", "tw_nothing.x", "1"}, "Unrecognized target...<tw_nothing.x>"},
        {{"setdiff", "tw_range.minvalue"}, "Missing arguments...<tw_range.minvalue>"},
        {{"setdiff", "tw_onevalue.item", ""}, "Missing arguments...<tw_onevalue.item>"},
        {{"setdiff", "tw_profiles.szid", "3"}, "tw_profiles needs an index and a value..."},
        {{"setdiff", "tw_profiles.szid", "2048", "x"}, "index must be in range...0 to 2048"},
        {{"setdiff", "tw_profiles.szid", "-1", "x"}, "index must be in range...0 to 2048"},
        {{"setdiff", "tw_profiles.readonly", "1", "yes"}, "Unrecognized readonly value...<yes>"},
        {{"setdiff", "tw_profiles.default", "1", "yes"}, "Unrecognized default value...<yes>"},
        {{"setdiff", "tw_profiles.blsharedsettings", "1", "yes"}, "Unrecognized blsharedsettings value...<yes>"},
        {{"setdiff", "tw_profiles.group", "1", "other"}, "Unrecognized group value...<other>"},
        {{"setdiff", "tw_profiles.profilestate", "1", "other"}, "Unrecognized profilestate value...<other>"},
        {{"setdiff", "tw_profiles.profilesvalue", "1", "TWPT_RGB"}, "Bad profile...<TWPT_RGB>"},
    };
    for (const auto &c : acase)
    {
        std::vector<const char *> aszWords = c.first;
        aszWords.insert(aszWords.end(), {nullptr, nullptr});
        EXPECT_EQ(Impl().DSSetDiff(aszWords.data(), 0), 1) << c.second;
        EXPECT_EQ(m_log.Last(), c.second);
    }
    EXPECT_EQ(SetDiff({"setdiff", "tw_setupmemxfer.preferred"}), 1);
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.szid", "abc", "x"}), 1);
    for (const char *szStruct : {"tw_range", "tw_onevalue", "tw_setupmemxfer", "tw_imageinfo", "tw_customdsdatagroup"})
    {
        EXPECT_FALSE(IfDiff({"ifdiff", szStruct})) << szStruct;
    }
}

// ---------------------------------------------------------------------------
// Profiles
// ---------------------------------------------------------------------------
TEST_F(TwainDiffTest, ProfileTargetsTakeAnIndexAndAValue)
{
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.szfamily", "3", "family"}), 0);
    EXPECT_STREQ(Impl().m_atwprofileExpected[3].szFamily, "family");
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.readonly", "2047", "TRUE"}), 0);
    EXPECT_EQ(Impl().m_atwprofileExpected[2047].Readonly, 1);
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.profilestate", "5", "twprf_profilestate_modified"}), 0);
    EXPECT_EQ(Impl().m_atwprofileExpected[5].ProfileState, 2);
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.group", "5", "twprf_group_all"}), 0);
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.driverversion", "5", "123456789012"}), 0);
    TW_UINT32 twDriverVersion = Impl().m_atwprofileExpected[5].DriverVersion;
    EXPECT_EQ(twDriverVersion, 123456789012UL);
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.szmethod", "6", "method"}), 0);
    EXPECT_STREQ(Impl().m_atwprofileExpected[6].szMethod, "method");
}

TEST_F(TwainDiffTest, ProfileComparisonsByIndexAndCount)
{
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_profiles"}));
    EXPECT_EQ(SetDiff({"setdiff", "tw_profiles.szfamily", "2047", "last"}), 0);
    // Index 0 with the default count compares all 2,048 records.
    EXPECT_TRUE(IfDiff({"ifdiff", "tw_profiles"}));
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_profiles", "0", "2047"}));
    EXPECT_TRUE(IfDiff({"ifdiff", "tw_profiles", "2047", "1"}));
    EXPECT_FALSE(IfDiff({"ifdiff", "not", "tw_profiles", "2047", "1"}));

    // Index 2,000 with 100 is refused; "not" turns the refusal true.
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_profiles", "2000", "100"}));
    EXPECT_EQ(m_log.Last(), "Index and count are too big...");
    EXPECT_TRUE(IfDiff({"ifdiff", "not", "tw_profiles", "2000", "100"}));
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_profiles", "-1", "1"}));
    EXPECT_EQ(m_log.Last(), "Index and count must not be negative...");
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_profiles", "0", "-5"}));
}

// ---------------------------------------------------------------------------
// ifdiff
// ---------------------------------------------------------------------------
TEST_F(TwainDiffTest, IfDiffComparesTheWholeStructure)
{
    // (no structure, or an unknown one: test_e2e_script.cpp)
    // The received copy changes in its last byte.
    Impl().m_twimagelayout.FrameNumber = 1UL << 56;
    EXPECT_TRUE(IfDiff({"ifdiff", "tw_imagelayout"}));
    EXPECT_FALSE(IfDiff({"ifdiff", "not", "TW_IMAGELAYOUT"}));
    Impl().m_twimagelayoutExpected.FrameNumber = 1UL << 56;
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_imagelayout"}));

    // The consumable meters and the capability are not comparable.
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_capability"}));
    EXPECT_EQ(m_log.Last(), "Unrecognized 'ifdiff' structure...<tw_capability>");

    // The calibration record is compared over all its 1,026 bytes.
    Impl().m_twcalibrate.Reserved[1023] = 1;
    EXPECT_TRUE(IfDiff({"ifdiff", "tw_calibrate"}));
    Impl().m_twdeviceinfo.Reserved[64991] = 1;
    EXPECT_TRUE(IfDiff({"ifdiff", "tw_deviceinfo"}));
}

} // namespace
