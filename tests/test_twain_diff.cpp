// test_twain_diff.cpp
// Expected values: the setdiff target table, the ifdiff comparison and the
// run arguments of each script level.
#include <gtest/gtest.h>

#include <cstring>

#include "test_twain_impl_support.h"

namespace
{

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
        std::string sz(a_szTarget);
        sz = sz.substr(0, sz.find('.'));
        CTwainImpl &impl = Impl();
        if (sz == "tw_customdsdata")
            return reinterpret_cast<const uint8_t *>(&impl.m_twcustomdsdataExpected);
        if (sz == "tw_customdsdatagroup")
            return reinterpret_cast<const uint8_t *>(&impl.m_twcustomdsdatagroupExpected);
        if (sz == "tw_deviceinfo")
            return reinterpret_cast<const uint8_t *>(&impl.m_twdeviceinfoExpected);
        if (sz == "tw_imageinfo")
            return reinterpret_cast<const uint8_t *>(&impl.m_twimageinfoExpected);
        if (sz == "tw_imagelayout")
            return reinterpret_cast<const uint8_t *>(&impl.m_twimagelayoutExpected);
        if (sz == "tw_onevalue")
            return reinterpret_cast<const uint8_t *>(&impl.m_twonevalueExpected);
        if (sz == "tw_pendingxfers")
            return reinterpret_cast<const uint8_t *>(&impl.m_twpendingxfersExpected);
        if (sz == "tw_range")
            return reinterpret_cast<const uint8_t *>(&impl.m_twrangeExpected);
        if (sz == "tw_setupfilexfer")
            return reinterpret_cast<const uint8_t *>(&impl.m_twsetupfilexferExpected);
        if (sz == "tw_setupmemxfer")
            return reinterpret_cast<const uint8_t *>(&impl.m_twsetupmemxferExpected);
        if (sz == "tw_calibrate")
            return reinterpret_cast<const uint8_t *>(&impl.m_twcalibrateExpected);
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
        {{"setdiff"}, "Missing target name..."},
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
    EXPECT_FALSE(IfDiff({"ifdiff"}));
    EXPECT_EQ(m_log.Last(), "Please specify an argument to 'ifdiff'...");
    EXPECT_FALSE(IfDiff({"ifdiff", "tw_nothing"}));
    EXPECT_EQ(m_log.Last(), "Unrecognized 'ifdiff' structure...<tw_nothing>");
    EXPECT_TRUE(IfDiff({"ifdiff", "NOT", "tw_nothing"}));

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
