// test_platform_sim_caps.cpp
//
// The capability engine of the simulated sources through the DSM: every
// container shape in every item type, set and constraint semantics, the
// standard's condition codes, the capability lists, dependent capabilities,
// units, saved settings, camera and window settings.

#include "test_platform_sim.h"

using namespace simtest;

namespace
{
using SimCapsTest = SimTest;

// The simulator's test capabilities: CAP_SIMBASE + 4 x type index + shape.
const TW_UINT16 kSimBase = 0x8100;
const TW_UINT16 s_au16Type[] = {TWTY_INT8, TWTY_INT16, TWTY_INT32, TWTY_UINT8, TWTY_UINT16, TWTY_UINT32, TWTY_BOOL, TWTY_FIX32,
                                TWTY_FRAME, TWTY_STR32, TWTY_STR64, TWTY_STR128, TWTY_STR255, TWTY_STR1024, TWTY_FRAMEANGLE};

bool Numeric(TW_UINT16 a_u16Type)
{
    return a_u16Type <= TWTY_UINT32 || a_u16Type == TWTY_FIX32;
}

bool Contains(const Container& a_con, std::int64_t a_i64)
{
    for (std::size_t ii = 0; ii < a_con.m_u64NumItems; ii++)
    {
        if (a_con.Int(ii) == a_i64)
        {
            return true;
        }
    }
    return false;
}
}

TEST_F(SimCapsTest, EveryItemTypeInEveryContainerShape)
{
    App& app = Open(kScanner);
    for (int iType = 0; iType < 15; iType++)
    {
        TW_UINT16 u16Type = s_au16Type[iType];
        Container con;
        SCOPED_TRACE("item type " + std::to_string(u16Type));
        // One-value.
        ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * iType, &con), TWRC_SUCCESS);
        EXPECT_EQ(con.m_u16ConType, TWON_ONEVALUE);
        EXPECT_EQ(con.m_u16ItemType, u16Type);
        // Enumeration.
        ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * iType + 1, &con), TWRC_SUCCESS);
        EXPECT_EQ(con.m_u16ConType, TWON_ENUMERATION);
        EXPECT_EQ(con.m_u16ItemType, u16Type);
        // Numbers have five sample values, TRUE/FALSE two, short strings three,
        // long strings two; frame enumerations hold the two frames in use.
        const std::size_t auItems[] = {5, 5, 5, 5, 5, 5, 2, 5, 2, 3, 3, 2, 2, 2, 2};
        EXPECT_EQ(con.m_u64NumItems, auItems[iType]);
        EXPECT_LT(con.m_u64CurrentIndex, con.m_u64NumItems);
        // Range, for numbers only.
        TW_UINT16 u16Rc = app.Cap(MSG_GET, kSimBase + 4 * iType + 2, &con);
        if (Numeric(u16Type))
        {
            ASSERT_EQ(u16Rc, TWRC_SUCCESS);
            EXPECT_EQ(con.m_u16ConType, TWON_RANGE);
            EXPECT_EQ(con.m_u16ItemType, u16Type);
        }
        else
        {
            EXPECT_EQ(app.FailCc(u16Rc), TWCC_CAPUNSUPPORTED);
        }
        // Array.
        ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * iType + 3, &con), TWRC_SUCCESS);
        EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
        EXPECT_EQ(con.m_u16ItemType, u16Type);
        EXPECT_EQ(con.m_u64NumItems, 2u);
    }
}

TEST_F(SimCapsTest, ItemValuesReadBackInTheirLayout)
{
    App& app = Open(kScanner);
    Container con;
    // INT8 enumeration: -100 -1 0 1 100, default 0.
    ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 1, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0), -100);
    EXPECT_EQ(con.Int(4), 100);
    EXPECT_EQ(con.m_u64CurrentIndex, 2u);
    EXPECT_EQ(con.m_u64DefaultIndex, 2u);
    // FIX32 range: -2.5 .. 300.75 step 0.25, the FIX32 in the first 4 bytes.
    ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * 7 + 2, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.RangeFix(0), -2.5);
    EXPECT_EQ(con.RangeFix(1), 300.75);
    EXPECT_EQ(con.RangeFix(2), 0.25);
    EXPECT_EQ(TwGetU32(con.m_au8.data() + 2 + 4) & 0xFFFFFFFFu, 0u);
    // STR1024 one-value: the string right after the item type.
    ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * 13, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Str(0), "one thousand twenty-four b");
    EXPECT_EQ(con.m_au8.size(), 2u + 1026u);
    // FRAMEANGLE array: frames of four FIX32 and an 8-byte angle.
    ASSERT_EQ(app.Cap(MSG_GET, kSimBase + 4 * 14 + 3, &con), TWRC_SUCCESS);
    const unsigned char* pu8 = con.ItemAt(1);
    EXPECT_EQ(TwGetFix32(pu8 + 8).Whole, 4);      // right 4.25
    EXPECT_EQ(TwGetFix32(pu8 + 8).Frac, 0x4000);
    EXPECT_EQ(TwGetI32(pu8 + 16), 90);
    // ICAP_XRESOLUTION: an enumeration of FIX32.
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_XRESOLUTION, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ENUMERATION);
    EXPECT_EQ(con.Fix(con.m_u64CurrentIndex), 100.0);
    // CAP_AUTHOR: a STR128 one-value; set and read back.
    std::vector<unsigned char> au8(2 + 130, 0);
    TwSetU16(au8.data(), TWTY_STR128);
    std::strcpy(reinterpret_cast<char*>(au8.data() + 2), "Jane Tester");
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_AUTHOR, TWON_ONEVALUE, au8), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentStr(CAP_AUTHOR), "Jane Tester");
}

// (the one-value answers of MSG_GETCURRENT and MSG_GETDEFAULT, shown through
// the program: test_e2e_control.cpp)
TEST_F(SimCapsTest, ResetAnswersLikeGetAndArraysAnswerArrays)
{
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_RESET, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ENUMERATION);
    EXPECT_EQ(con.Int(con.m_u64CurrentIndex), TWPT_BW);
    // The supported events, then the chosen ones.
    ASSERT_EQ(app.Cap(MSG_GET, CAP_DEVICEEVENT, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
    EXPECT_TRUE(Contains(con, TWDE_LAMPWARMUP));
    ASSERT_EQ(app.Cap(MSG_GETCURRENT, CAP_DEVICEEVENT, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
    EXPECT_EQ(con.m_u64NumItems, 0u);
}

TEST_F(SimCapsTest, ConstraintNarrowsWhatGetAnswers)
{
    App& app = Open(kScanner);
    Container con;
    // An enumeration of two of the three pixel types, current gray.
    std::vector<unsigned char> au8 =
        List(TWON_ENUMERATION, TWTY_UINT16, {Item<TW_UINT16>(TWPT_BW), Item<TW_UINT16>(TWPT_GRAY)}, 1, 0);
    ASSERT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ENUMERATION, au8), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u64NumItems, 2u);
    EXPECT_EQ(con.Int(0), TWPT_BW);
    EXPECT_EQ(con.Int(1), TWPT_GRAY);
    EXPECT_EQ(con.Int(con.m_u64CurrentIndex), TWPT_GRAY);
    // Colour is no longer allowed.
    EXPECT_EQ(app.FailCc(app.SetUInt16(ICAP_PIXELTYPE, TWPT_RGB)), TWCC_BADVALUE);
    // A one-value constraint leaves one value.
    ASSERT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ONEVALUE, OneValueOf<TW_UINT16>(TWTY_UINT16, TWPT_BW)), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u64NumItems, 1u);
    // A new constraint is measured against the device, not the old constraint.
    au8 = List(TWON_ENUMERATION, TWTY_UINT16, {Item<TW_UINT16>(TWPT_GRAY), Item<TW_UINT16>(TWPT_RGB)}, 1, 0);
    ASSERT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ENUMERATION, au8), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_RGB);
    // Values the device lacks are dropped with TWRC_CHECKSTATUS; none left is refused.
    au8 = List(TWON_ENUMERATION, TWTY_UINT16, {Item<TW_UINT16>(TWPT_GRAY), Item<TW_UINT16>(TWPT_CMYK)}, 0, 0);
    EXPECT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ENUMERATION, au8), TWRC_CHECKSTATUS);
    au8 = List(TWON_ENUMERATION, TWTY_UINT16, {Item<TW_UINT16>(TWPT_CMYK)}, 0, 0);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ENUMERATION, au8)), TWCC_BADVALUE);
    // MSG_RESET removes the constraint.
    ASSERT_EQ(app.Cap(MSG_RESET, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u64NumItems, 3u);
}

TEST_F(SimCapsTest, RangeConstraintsAndRounding)
{
    App& app = Open(kScanner);
    Container con;
    // CAP_SIM_INT16_RANGE: -30000 .. 30000 step 2.
    const TW_UINT16 u16Cap = kSimBase + 4 * 1 + 2;
    EXPECT_EQ(app.SetCap(MSG_SET, u16Cap, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 7)), TWRC_CHECKSTATUS);
    ASSERT_EQ(app.Cap(MSG_GETCURRENT, u16Cap, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0) % 2, 0);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, u16Cap, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 30002))), TWCC_BADVALUE);
    // A sub-range: -10 .. 10 step 4, current 2.
    ASSERT_EQ(app.SetCap(MSG_SETCONSTRAINT, u16Cap, TWON_RANGE, Range(TWTY_INT16, -10, 10, 4, 0, 2)), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, u16Cap, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_RANGE);
    EXPECT_EQ(con.RangeInt(0), -10);
    EXPECT_EQ(con.RangeInt(1), 10);
    EXPECT_EQ(con.RangeInt(2), 4);
    EXPECT_EQ(con.RangeInt(4), 2);
    EXPECT_EQ(app.SetCap(MSG_SET, u16Cap, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 20)), TWRC_FAILURE);
    // Minimum above maximum, and a current value outside, are refused.
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SETCONSTRAINT, u16Cap, TWON_RANGE, Range(TWTY_INT16, 10, -10, 2, 0, 0))), TWCC_BADVALUE);
    EXPECT_EQ(app.SetCap(MSG_SETCONSTRAINT, u16Cap, TWON_RANGE, Range(TWTY_INT16, -10, 10, 2, 0, 12)), TWRC_FAILURE);
    // A range beyond the device is cut to it, with TWRC_CHECKSTATUS.
    // (CAP_SIM_INT32_RANGE: -2000000000 .. 2000000000 step 2, 8-byte items.)
    const TW_UINT16 u16Cap32 = kSimBase + 4 * 2 + 2;
    EXPECT_EQ(app.SetCap(MSG_SETCONSTRAINT, u16Cap32, TWON_RANGE, Range(TWTY_INT32, -3000000000LL, 100, 2, 0, 0)), TWRC_CHECKSTATUS);
    ASSERT_EQ(app.Cap(MSG_GET, u16Cap32, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.RangeInt(0), -2000000000LL);
    EXPECT_EQ(con.RangeInt(1), 100);
    // A range constraint of an enumeration leaves the values on its steps.
    auto fix = [](double a_d) { return TwFix32ToU32(Fix(a_d)); };   // a FIX32 in its range slot
    EXPECT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_XRESOLUTION, TWON_RANGE,
                         Range(TWTY_FIX32, fix(100), fix(300), fix(50), fix(100), fix(150))),
              TWRC_CHECKSTATUS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_XRESOLUTION, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u16ConType, TWON_ENUMERATION);
    ASSERT_EQ(con.m_u64NumItems, 4u);
    EXPECT_EQ(con.Fix(0), 100.0);
    EXPECT_EQ(con.Fix(3), 300.0);
    EXPECT_EQ(con.Fix(con.m_u64CurrentIndex), 150.0);
    // A FIX32 range rounds a fractional value to its step.
    const TW_UINT16 u16Fix = kSimBase + 4 * 7 + 2;
    EXPECT_EQ(app.SetCap(MSG_SET, u16Fix, TWON_ONEVALUE, OneValueOf<TW_FIX32>(TWTY_FIX32, Fix(1.3))), TWRC_CHECKSTATUS);
    EXPECT_EQ(app.CurrentFix(u16Fix), 1.25);
}

TEST_F(SimCapsTest, SetWithAnEnumerationConstrainsAndSetsTheCurrentValue)
{
    App& app = Open(kScanner);
    Container con;
    std::vector<unsigned char> au8 = List(TWON_ENUMERATION, TWTY_FIX32, {Item(Fix(150)), Item(Fix(300)), Item(Fix(600))}, 1, 0);
    ASSERT_EQ(app.SetCap(MSG_SET, ICAP_YRESOLUTION, TWON_ENUMERATION, au8), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_YRESOLUTION, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u64NumItems, 3u);
    EXPECT_EQ(con.Fix(con.m_u64CurrentIndex), 300.0);
}

TEST_F(SimCapsTest, StandardConditionCodes)
{
    App& app = Open(kScanner);
    // Unknown capability.
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GET, 0x7FFF)), TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_QUERYSUPPORT, 0x7FFF)), TWCC_CAPUNSUPPORTED);
    // Read-only capability.
    EXPECT_EQ(app.FailCc(app.SetFix(ICAP_PHYSICALWIDTH, 4)), TWCC_CAPBADOPERATION);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_RESET, ICAP_PHYSICALWIDTH)), TWCC_CAPBADOPERATION);
    // A one-value capability has no constraint.
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SETCONSTRAINT, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 2))), TWCC_CAPBADOPERATION);
    // A capability that depends on another.
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GET, ICAP_JPEGQUALITY)), TWCC_CAPSEQERROR);
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_FEEDERENABLED, TWON_ONEVALUE, OneValueOf<TW_BOOL>(TWTY_BOOL, 0)), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GET, CAP_FEEDERLOADED)), TWCC_CAPSEQERROR);
    // Bad values and bad containers.
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 0))), TWCC_BADVALUE);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, ICAP_PIXELTYPE, TWON_ONEVALUE, OneValueOf<TW_UINT32>(TWTY_UINT32, TWPT_RGB))), TWCC_BADVALUE);   // wrong item type
    // (a bad container type, a bad item type, a null handle, an index past the
    // items and an empty enumeration: the program's error tests,
    // test_e2e_capbattery.cpp)
    std::vector<unsigned char> au8(2 + 34, 'A');
    TwSetU16(au8.data(), TWTY_STR32);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, kSimBase + 4 * 9, TWON_ONEVALUE, au8)), TWCC_BADVALUE);   // string without terminator
    au8 = List(TWON_ARRAY, TWTY_UINT16, {Item<TW_UINT16>(TWDE_PAPERJAM), Item<TW_UINT16>(0xBEEF)});
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, CAP_DEVICEEVENT, TWON_ARRAY, au8)), TWCC_BADVALUE);   // an event the device does not have
    // An array is not a container for an enumerated capability.
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, ICAP_PIXELTYPE, TWON_ARRAY, List(TWON_ARRAY, TWTY_UINT16, {Item<TW_UINT16>(0)}))), TWCC_CAPBADOPERATION);
}

TEST_F(SimCapsTest, QuerySupportFlagsFollowTheTable)
{
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.Cap(MSG_QUERYSUPPORT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ONEVALUE);
    EXPECT_EQ(con.m_u16ItemType, TWTY_INT32);
    const std::int64_t i64Texts = TWQC_GETHELP | TWQC_GETLABEL;
    EXPECT_EQ(con.Int(0), TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET | TWQC_SETCONSTRAINT |
                              TWQC_CONSTRAINABLE | i64Texts | TWQC_GETLABELENUM);
    ASSERT_EQ(app.Cap(MSG_QUERYSUPPORT, ICAP_PHYSICALHEIGHT, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0), TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT | i64Texts);
    ASSERT_EQ(app.Cap(MSG_QUERYSUPPORT, CAP_XFERCOUNT, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0), TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET | i64Texts);
}

TEST_F(SimCapsTest, SupportedListsDescribeTheSource)
{
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GET, CAP_SUPPORTEDCAPS, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
    EXPECT_EQ(con.m_u16ItemType, TWTY_UINT16);
    EXPECT_TRUE(Contains(con, ICAP_XRESOLUTION));
    EXPECT_TRUE(Contains(con, CAP_SUPPORTEDDATS));
    EXPECT_TRUE(Contains(con, kSimBase));
    EXPECT_FALSE(Contains(con, CAP_WINDOWCAMERA));
    // The default of a list the source computes is what it holds.
    Container conDefault;
    ASSERT_EQ(app.Cap(MSG_GETDEFAULT, CAP_SUPPORTEDCAPS, &conDefault), TWRC_SUCCESS);
    EXPECT_EQ(conDefault.m_au8, con.m_au8);
    // (that every listed capability answers: test_platform_sim_rules.cpp)
    ASSERT_EQ(app.Cap(MSG_GET, CAP_SUPPORTEDDATS, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ItemType, TWTY_UINT32);
    ASSERT_EQ(app.Cap(MSG_GETDEFAULT, CAP_SUPPORTEDDATS, &conDefault), TWRC_SUCCESS);
    EXPECT_EQ(conDefault.m_au8, con.m_au8);
    EXPECT_TRUE(Contains(con, (static_cast<std::int64_t>(DG_IMAGE) << 16) | DAT_IMAGEMEMXFER));
    EXPECT_TRUE(Contains(con, (static_cast<std::int64_t>(DG_CONTROL) << 16) | DAT_CAPABILITY));
    EXPECT_FALSE(Contains(con, (static_cast<std::int64_t>(DG_CONTROL) << 16) | DAT_FILESYSTEM));
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_SUPPORTEDEXTIMAGEINFO, &con), TWRC_SUCCESS);
    EXPECT_TRUE(Contains(con, TWEI_PAGENUMBER));
    App& appCamera = Open(kCamera);
    ASSERT_EQ(appCamera.Cap(MSG_GET, CAP_SUPPORTEDDATS, &con), TWRC_SUCCESS);
    EXPECT_TRUE(Contains(con, (static_cast<std::int64_t>(DG_CONTROL) << 16) | DAT_FILESYSTEM));
    ASSERT_EQ(appCamera.Cap(MSG_GET, CAP_SUPPORTEDCAPS, &con), TWRC_SUCCESS);
    EXPECT_TRUE(Contains(con, CAP_WINDOWCAMERA));
    EXPECT_FALSE(Contains(con, CAP_FEEDERENABLED));
}

TEST_F(SimCapsTest, BitDepthFollowsThePixelType)
{
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_BITDEPTH, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u64NumItems, 1u);
    EXPECT_EQ(con.Int(0), 1);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_RGB), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_BITDEPTH, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(con.m_u64CurrentIndex), 24);
    EXPECT_EQ(app.SetUInt16(ICAP_BITDEPTH, 8), TWRC_FAILURE);
    // JPEG needs gray or colour.
    ASSERT_EQ(app.SetUInt16(ICAP_COMPRESSION, TWCP_JPEG), TWRC_SUCCESS);
    EXPECT_EQ(app.Cap(MSG_GET, ICAP_JPEGQUALITY), TWRC_SUCCESS);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_BW), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_COMPRESSION), TWCP_NONE);
}

TEST_F(SimCapsTest, LengthsAndResolutionsFollowTheUnits)
{
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.SetUInt16(ICAP_UNITS, TWUN_CENTIMETERS), TWRC_SUCCESS);
    EXPECT_NEAR(app.CurrentFix(ICAP_PHYSICALWIDTH), 21.59, 0.0001);
    EXPECT_NEAR(app.CurrentFix(ICAP_XRESOLUTION), 100 / 2.54, 0.0001);
    // A value sent in centimetres is the same resolution.
    ASSERT_EQ(app.SetFix(ICAP_XRESOLUTION, 300 / 2.54), TWRC_SUCCESS);
    ASSERT_EQ(app.SetUInt16(ICAP_UNITS, TWUN_INCHES), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentFix(ICAP_XRESOLUTION), 300.0);
    // In pixels a length counts dots at the current resolution.
    ASSERT_EQ(app.SetUInt16(ICAP_UNITS, TWUN_PIXELS), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentFix(ICAP_PHYSICALWIDTH), 2550.0);
    ASSERT_EQ(app.Cap(MSG_GETCURRENT, ICAP_FRAMES, &con), TWRC_SUCCESS);
    EXPECT_EQ(TwGetFix32(con.ItemAt(0) + 8).Whole, 2550);   // right edge, 8.5 in at 300 dpi
    EXPECT_EQ(TwGetFix32(con.ItemAt(0) + 12).Whole, 1100);  // bottom edge, 11 in at 100 dpi
}

TEST_F(SimCapsTest, FramesAreCheckedAgainstTheScanArea)
{
    App& app = Open(kScanner);
    Container con;
    auto frame = [](double a_dL, double a_dT, double a_dR, double a_dB) {
        TW_FRAME twframe = {Fix(a_dL), Fix(a_dT), Fix(a_dR), Fix(a_dB)};
        return OneValueOf<TW_FRAME>(TWTY_FRAME, twframe);
    };
    ASSERT_EQ(app.SetCap(MSG_SET, ICAP_FRAMES, TWON_ONEVALUE, frame(1, 1, 5, 6)), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_FRAMES, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ENUMERATION);
    EXPECT_EQ(TwGetFix32(con.ItemAt(0) + 8).Whole, 5);
    // Beyond the scan area: cut, with TWRC_CHECKSTATUS; inside out: refused.
    EXPECT_EQ(app.SetCap(MSG_SET, ICAP_FRAMES, TWON_ONEVALUE, frame(0, 0, 20, 6)), TWRC_CHECKSTATUS);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, ICAP_FRAMES, TWON_ONEVALUE, frame(5, 0, 1, 6))), TWCC_BADVALUE);
    // DAT_IMAGELAYOUT shows the same frame.
    TW_IMAGELAYOUT twlayout;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &twlayout), TWRC_SUCCESS);
    EXPECT_EQ(twlayout.Frame.Right.Whole, 8);
    EXPECT_EQ(twlayout.Frame.Right.Frac, 0x8000);
    EXPECT_EQ(+twlayout.FrameNumber, 1u);
}

TEST_F(SimCapsTest, CustomDataSavesAndRestoresTheSettings)
{
    App& app = Open(kScanner);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
    TW_CUSTOMDSDATA twcustom = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &twcustom), TWRC_SUCCESS);
    ASSERT_NE(+twcustom.hData, nullptr);
    EXPECT_GT(+twcustom.InfoLength, 0u);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_RGB), TWRC_SUCCESS);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &twcustom), TWRC_SUCCESS);
    app.Free(twcustom.hData);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_GRAY);
    // Nonsense is refused and changes nothing.
    TW_HANDLE h = app.Alloc(5);
    std::memcpy(app.Lock(h), "junk!", 5);
    app.Unlock(h);
    twcustom.hData = h;
    twcustom.InfoLength = 5;
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &twcustom)), TWCC_BADVALUE);
    app.Free(h);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_GRAY);
}

TEST_F(SimCapsTest, CameraSettingsFollowTheFileSystemDirectory)
{
    App& app = Open(kCamera);
    // Each camera has its own pixel type (the listing: test_e2e_device.cpp).
    TW_FILESYSTEM twfs = {};
    std::strcpy(twfs.InputName, "/Camera_Bitonal_Top");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_BW);
    ASSERT_EQ(app.SetFix(ICAP_XRESOLUTION, 300), TWRC_SUCCESS);
    std::strcpy(twfs.InputName, "/Camera_Color_Top");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_RGB);
    EXPECT_EQ(app.CurrentFix(ICAP_XRESOLUTION), 100.0);
    std::memset(&twfs, 0, sizeof(twfs));
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Camera_Color_Top");
    std::strcpy(twfs.InputName, "/NoSuchCamera");
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs)), TWCC_FILENOTFOUND);
    // Listing a camera finds nothing in it.
    std::strcpy(twfs.InputName, "");
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs), TWRC_ENDOFLIST);
    twfs.Context = reinterpret_cast<TW_MEMREF>(0x1234);
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &twfs)), TWCC_BADVALUE);
}

TEST_F(SimCapsTest, WindowSettingsFollowTheCurrentWindow)
{
    App& app = Open(kCamera);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GET, CAP_WINDOWCAMERA, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u16ConType, TWON_ENUMERATION);
    EXPECT_EQ(con.Int(con.m_u64CurrentIndex), TWWC_BASE_COLOR_FRONT);
    EXPECT_EQ(app.CurrentInt(ICAP_IMAGEFORMAT), 2);
    // Window 0 is bitonal; a frame set there stays there.
    ASSERT_EQ(app.SetUInt16(CAP_WINDOWCAMERA, TWWC_BASE_BITONAL_FRONT), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_IMAGEFORMAT), 0);
    TW_FRAMEANGLE twfa = {{Fix(1), Fix(2), Fix(3), Fix(4)}, -30};
    ASSERT_EQ(app.SetCap(MSG_SET, ICAP_FRAMESANGLE, TWON_ONEVALUE, OneValueOf<TW_FRAMEANGLE>(TWTY_FRAMEANGLE, twfa)), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_FRAMESANGLE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ItemType, TWTY_FRAMEANGLE);
    EXPECT_EQ(TwGetI32(con.ItemAt(0) + 16), -30);
    ASSERT_EQ(app.SetUInt16(CAP_WINDOWCAMERA, TWWC_BASE_COLOR_FRONT), TWRC_SUCCESS);
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_FRAMESANGLE, &con), TWRC_SUCCESS);
    EXPECT_EQ(TwGetI32(con.ItemAt(0) + 16), 0);
    EXPECT_EQ(app.CurrentInt(CAP_CAMERAENABLE), 1);
}

TEST_F(SimCapsTest, LargeEnumerationsAreSetAndRead)
{
    const std::size_t uCount = 30000;
    std::string szConfig = "cap CAP_SIM_UINT32_ENUM enum uint32";
    std::vector<std::vector<unsigned char>> aau8;
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        szConfig += " " + std::to_string(3 * ii);
        aau8.push_back(Item<TW_UINT32>(static_cast<TW_UINT32>(3 * (uCount - 1 - ii))));   // in reverse
    }
    Config(szConfig + " default=0\n");
    App& app = Open(kScanner);
    const TW_UINT16 u16Cap = kSimBase + 4 * 5 + 1;
    aau8.push_back(Item<TW_UINT32>(1));   // not a value of the device
    aau8.push_back(aau8[0]);              // twice
    EXPECT_EQ(app.SetCap(MSG_SET, u16Cap, TWON_ENUMERATION, List(TWON_ENUMERATION, TWTY_UINT32, aau8, 7)),
              TWRC_CHECKSTATUS);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GET, u16Cap, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u64NumItems, uCount);
    EXPECT_EQ(con.Int(con.m_u64CurrentIndex), static_cast<std::int64_t>(3 * (uCount - 8)));
    EXPECT_EQ(con.Int(uCount - 1), static_cast<std::int64_t>(3 * (uCount - 1)));
}
