// test_twain_dsshow.cpp
// The capability and identity display on hand-built containers: every form,
// every item type, and malformed containers that must be shown without
// reading past them. (The forms and faults the simulated sources answer
// with, shown through the program: test_e2e_control.cpp.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_twain_impl_support.h"

namespace
{

// A container as bytes.  Heap blocks report their size rounded up to
// 16 n + 8 bytes (the exact size under the sanitizers), so the malformed
// cases use such sizes to read the same everywhere.
struct Bytes
{
    std::vector<uint8_t> au8;
    Bytes &U16(uint16_t a_u) { return Raw(&a_u, 2); }
    Bytes &U32(uint64_t a_u) { return Raw(&a_u, 8); }  // a TW_UINT32 field is 8 bytes
    Bytes &U8(uint8_t a_u) { return Raw(&a_u, 1); }
    Bytes &Fix(int16_t a_i16Whole, uint16_t a_u16Frac) { return U16(static_cast<uint16_t>(a_i16Whole)).U16(a_u16Frac); }
    Bytes &FixField(int16_t a_i16Whole, uint16_t a_u16Frac) { return Fix(a_i16Whole, a_u16Frac).U16(0).U16(0); }
    Bytes &Str(const std::string &a_sz, size_t a_u64Width)
    {
        std::vector<uint8_t> au8Field(a_u64Width, 0);
        memcpy(au8Field.data(), a_sz.data(), std::min(a_sz.size(), a_u64Width));
        return Raw(au8Field.data(), a_u64Width);
    }
    Bytes &Raw(const void *a_pv, size_t a_u64)
    {
        au8.insert(au8.end(), static_cast<const uint8_t *>(a_pv), static_cast<const uint8_t *>(a_pv) + a_u64);
        return *this;
    }
};
Bytes One(uint16_t a_twty) { return Bytes().U16(a_twty); }
Bytes Enum(uint16_t a_twty, uint64_t a_u64Num, uint64_t a_u64Cur, uint64_t a_u64Def)
{
    return Bytes().U16(a_twty).U32(a_u64Num).U32(a_u64Cur).U32(a_u64Def);
}
Bytes Array(uint16_t a_twty, uint64_t a_u64Num) { return Bytes().U16(a_twty).U32(a_u64Num); }

const char *const s_szLoopup = "*** loopup error, we're treat it like a onevalue ***";

struct ShowCase
{
    const char *szName;
    uint16_t twcap;
    uint16_t twon;
    uint16_t twmsg;
    Bytes bytes;
    std::vector<std::string> aszLines;   // after the header line
    size_t u64Alloc = 0;                 // bytes allocated (0: as many as the container has)
};

class TwainDsShowTest : public TwainImplTest, public testing::WithParamInterface<ShowCase>
{
protected:
    // The lines shown for a capability whose container holds a_bytes.
    std::vector<std::string> Show(uint16_t a_twcap, uint16_t a_twon, uint16_t a_twmsg, const Bytes &a_bytes,
                                  size_t a_u64Alloc = 0, int a_iWindow = -1)
    {
        size_t u64Alloc = a_u64Alloc ? a_u64Alloc : std::max<size_t>(a_bytes.au8.size(), 1);
        void *pv = calloc(1, u64Alloc);
        memcpy(pv, a_bytes.au8.data(), std::min(u64Alloc, a_bytes.au8.size()));
        TW_CAPABILITY twcapability = {};
        twcapability.Cap = a_twcap;
        twcapability.ConType = a_twon;
        twcapability.hContainer = pv;
        m_log.Clear();
        if (a_iWindow >= 0)
            m_ptwainimpl->DSCapShowOneValueWindow(&twcapability, static_cast<TW_UINT16>(a_iWindow));
        else
            m_ptwainimpl->DSCapShow(&twcapability, a_twmsg);
        free(pv);
        return m_log.Lines();
    }
};

std::string Header(const std::string &a_szName, const char *a_szId)
{
    std::string sz = a_szName;
    sz.resize(std::max<size_t>(31, sz.size()), ' ');
    return "\033[1m" + sz + " " + a_szId + "\033[0m";
}

std::vector<ShowCase> Cases()
{
    std::vector<ShowCase> acase = {
        // One-value: every item type.
        {"Fix32", ICAP_XRESOLUTION, TWON_ONEVALUE, MSG_GET, One(TWTY_FIX32).Fix(1, 32768).U32(0),
         {"  typ:    TWTY_FIX32", "  item:   1.5"}},
        {"QuerySupportColour", ICAP_XRESOLUTION, TWON_ONEVALUE, MSG_QUERYSUPPORT, One(TWTY_INT32).U32(0x4021),
         {"  typ:    TWTY_INT32", "  item:   0x00004021 (COLOR,GET,SETCONSTRAINT)"}},
        {"QuerySupportUnnamed", ICAP_XRESOLUTION, TWON_ONEVALUE, MSG_QUERYSUPPORT, One(TWTY_INT32).U32(0x40),
         {"  typ:    TWTY_INT32", "  item:   0x00000040 ()"}},
        {"Int32AfterGetIsASymbol", ICAP_PIXELTYPE, TWON_ONEVALUE, MSG_GET, One(TWTY_INT32).U32(2),
         {"  typ:    TWTY_INT32", "  item:   TWPT_RGB"}},
        {"Int8WithoutSymbol", 0x8100, TWON_ONEVALUE, MSG_GET, One(TWTY_INT8).U8(0xFF).U8(0).U32(0),
         {s_szLoopup, "  typ:    TWTY_INT8", "  item:   255 (0xff)"}},
        {"Int16WithoutSymbol", CAP_XFERCOUNT, TWON_ONEVALUE, MSG_GET, One(TWTY_INT16).U16(0xFFFF).U32(0),
         {"  typ:    TWTY_INT16", "  item:   65535 (0xffff)"}},
        {"Uint16OfAnotherCapability", CAP_AUTHOR, TWON_ONEVALUE, MSG_GET, One(TWTY_UINT16).U16(300).U32(0),
         {"  typ:    TWTY_UINT16", "  item:   0x012c"}},
        {"Uint32", CAP_XFERCOUNT, TWON_ONEVALUE, MSG_GET, One(TWTY_UINT32).U32(0xFFFFFFFF),
         {"  typ:    TWTY_UINT32", "  item:   -1 (0xffffffff)"}},
        {"BoolAnyNonZeroIsTrue", CAP_DUPLEXENABLED, TWON_ONEVALUE, MSG_GET, One(TWTY_BOOL).U16(7).U32(0),
         {"  typ:    TWTY_BOOL", "  item:   TRUE"}},
        {"Frame", ICAP_FRAMES, TWON_ONEVALUE, MSG_GET, One(TWTY_FRAME).Fix(0, 0).Fix(1, 0).Fix(8, 32768).Fix(11, 0),
         {"  typ:    TWTY_FRAME", "  item:   left:0 top:1 right:8.5 bottom:11"}},
        {"FrameAngle", 0x8100, TWON_ONEVALUE, MSG_GET,
         One(TWTY_FRAMEANGLE).Fix(1, 0).Fix(2, 0).Fix(3, 0).Fix(4, 0).U32(static_cast<uint64_t>(-90)),
         {s_szLoopup, "  typ:    TWTY_FRAMEANGLE", "  item:   left:1 top:2 right:3 bottom:4 angle:-90"}},
        {"String", CAP_AUTHOR, TWON_ONEVALUE, MSG_GET, One(TWTY_STR128).Str("Jane Doe", 130),
         {"  typ:    TWTY_STR128", "  item:   <Jane Doe>"}},
        {"HandleHasNoItemLine", CAP_AUTHOR, TWON_ONEVALUE, MSG_GET, One(TWTY_HANDLE).U32(0x1234),
         {"  typ:    TWTY_HANDLE"}},
        // Range.
        {"RangeInt16", CAP_XFERCOUNT, TWON_RANGE, MSG_GET,
         One(TWTY_INT16).U32(0xFFFFFFFF).U32(1).U32(1).U32(0).U32(0),
         {"  cur:    0", "  def:    0", "  typ:    TWTY_INT16", "  min:    -1", "  max:    1", "  stp:    1"}},
        {"RangeFix32", ICAP_XRESOLUTION, TWON_RANGE, MSG_GET,
         One(TWTY_FIX32).FixField(50, 0).FixField(600, 0).FixField(0, 32768).FixField(200, 0).FixField(300, 0),
         {"  cur:    300", "  def:    200", "  typ:    TWTY_FIX32", "  min:    50", "  max:    600", "  stp:    0.5"}},
        {"RangeOfFramesShowsOnlyTheHeader", ICAP_FRAMES, TWON_RANGE, MSG_GET,
         One(TWTY_FRAME).U32(0).U32(0).U32(0).U32(0).U32(0), {}},
        // Enumeration.
        {"EnumWithSymbolsAndADuplicate", ICAP_PIXELTYPE, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_UINT16, 3, 2, 0).U16(0).U16(0).U16(2),
         {"  curidx: TWPT_RGB (2)", "  defidx: TWPT_BW (0)", "  typ:    TWTY_UINT16", "  num:    3",
          "  item:   TWPT_BW", "  item:   TWPT_BW *** duplicated ***", "  item:   TWPT_RGB"}},
        {"EnumOnlyNeighboursAreCompared", CAP_XFERCOUNT, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_INT16, 4, 0, 3).U16(100).U16(200).U16(100).U16(0xFFFF),
         {"  curidx: ***no text*** (0)", "  defidx: ***no text*** (3)", "  typ:    TWTY_INT16", "  num:    4",
          "  item:   0x0064", "  item:   0x00c8", "  item:   0x0064", "  item:   0xffffffff"}},
        {"EnumFix32", ICAP_XRESOLUTION, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_FIX32, 3, 1, 0).Fix(100, 0).Fix(150, 32768).Fix(150, 32768),
         {"  curidx: 150.5 (1)", "  defidx: 100 (0)", "  typ:    TWTY_FIX32", "  num:    3", "  item:   100",
          "  item:   150.5", "  item:   150.5 *** duplicated ***"}},
        {"EnumStringsIgnoreCase", CAP_AUTHOR, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_STR32, 2, 0, 1).Str("abc", 34).Str("ABC", 34),
         {"  curidx: (0)", "  defidx: (1)", "  typ:    TWTY_STR32", "  num:    2", "  item:   <abc>",
          "  item:   <ABC> *** duplicated ***"}},
        {"EnumFramesAndAngles", ICAP_FRAMES, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_FRAMEANGLE, 2, 0, 0).Fix(0, 0).Fix(0, 0).Fix(1, 0).Fix(1, 0).U32(45)
             .Fix(0, 0).Fix(0, 0).Fix(1, 0).Fix(1, 0).U32(45),
         {"  curidx: (0)", "  defidx: (0)", "  typ:    TWTY_FRAMEANGLE", "  num:    2",
          "  item:   left:0 top:0 right:1 bottom:1 angle:45", "  item:   left:0 top:0 right:1 bottom:1 angle:45"}},
        {"EnumEmpty", ICAP_PIXELTYPE, TWON_ENUMERATION, MSG_GET, Enum(TWTY_UINT16, 0, 0, 0),
         {"  curidx: *** index past the items *** (0)", "  defidx: *** index past the items *** (0)",
          "  typ:    TWTY_UINT16", "  num:    0"}},
        // Array.
        {"ArrayIntegers", CAP_XFERCOUNT, TWON_ARRAY, MSG_GET, Array(TWTY_INT8, 2).U8(0xFF).U8(0xFF),
         {"  typ:    TWTY_INT8", "  num:    2", "  item:   0xffffffff", "  item:   0xffffffff *** duplicated ***"}},
        {"ArrayUint8IsNeverASymbol", ICAP_PIXELTYPE, TWON_ARRAY, MSG_GET, Array(TWTY_UINT8, 1).U8(2),
         {"  typ:    TWTY_UINT8", "  num:    1", "  item:   0x02"}},
        {"ArrayUint16Symbols", ICAP_PIXELTYPE, TWON_ARRAY, MSG_GET, Array(TWTY_UINT16, 2).U16(2).U16(0x7777),
         {"  typ:    TWTY_UINT16", "  num:    2", "  item:   TWPT_RGB", "  item:   0x7777"}},
        {"ArraySupportedDats", CAP_SUPPORTEDDATS, TWON_ARRAY, MSG_GET,
         Array(TWTY_UINT32, 4).U32(0x00010001).U32(0x00080001).U32(0x00020777).U32(0x00090777),
         {"  typ:    TWTY_UINT32", "  num:    4", "  item:   DG_CONTROL / DAT_CAPABILITY",
          "  item:   0x0008       / DAT_CAPABILITY", "  item:   DG_IMAGE   / 0x0777",
          "  item:   0x0009       / 0x0777"}},
        {"ArraySupportedDatsUint16", CAP_SUPPORTEDDATS, TWON_ARRAY, MSG_GET, Array(TWTY_UINT16, 1).U16(0x0101),
         {"  typ:    TWTY_UINT16", "  num:    1", "  item:   DAT_IMAGEINFO"}},
        // Malformed containers.
        {"UnknownContainerType", CAP_XFERCOUNT, 9, MSG_GET, One(TWTY_INT16).U32(0), {}},
        {"RangeTooSmall", CAP_XFERCOUNT, TWON_RANGE, MSG_GET, One(TWTY_UINT32).U32(1).U32(2),
         {"  *** container too small (24 bytes) ***"}, 24},
        {"UnknownOneValueItemType", CAP_XFERCOUNT, TWON_ONEVALUE, MSG_GET, One(0x4444).U32(7), {"  typ:    0x4444"}},
        {"IndexesPastTheItems", ICAP_PIXELTYPE, TWON_ENUMERATION, MSG_GET,
         Enum(TWTY_UINT16, 1, 1, 0xFFFFFFFF).U16(2).U16(0).U16(0).U16(0).U16(0).U16(0).U16(0),
         {"  curidx: *** index past the items *** (1)", "  defidx: *** index past the items *** (-1)",
          "  typ:    TWTY_UINT16", "  num:    1", "  item:   TWPT_RGB"}},
    };
    return acase;
}

TEST_P(TwainDsShowTest, ShowsTheContainerLineByLine)
{
    const ShowCase &showcase = GetParam();
    std::vector<std::string> aszLines =
        Show(showcase.twcap, showcase.twon, showcase.twmsg, showcase.bytes, showcase.u64Alloc);
    ASSERT_FALSE(aszLines.empty());
    EXPECT_EQ(aszLines[0].substr(0, 4), "\033[1m") << aszLines[0];
    EXPECT_EQ(std::vector<std::string>(aszLines.begin() + 1, aszLines.end()), showcase.aszLines);
}

INSTANTIATE_TEST_SUITE_P(Forms, TwainDsShowTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ShowCase> &a_info) { return std::string(a_info.param.szName); });

class TwainDsShowFixture : public TwainDsShowTest
{
};

TEST_F(TwainDsShowFixture, HeaderNamesTheCapabilityOrItsNumber)
{
    EXPECT_EQ(Show(ICAP_XRESOLUTION, TWON_ONEVALUE, MSG_GET, One(TWTY_FIX32).U32(0))[0],
              "\033[1mICAP_XRESOLUTION                1118\033[0m");
    EXPECT_EQ(Show(0x8100, 7, MSG_GET, One(TWTY_FIX32).U32(0))[0], Header("0x8100", "8100"));
    TW_CAPABILITY twcapability = {0x1101, 0, nullptr};
    m_log.Clear();
    m_ptwainimpl->DSCapShow(&twcapability, MSG_GET, "CAP_1101");
    EXPECT_EQ(m_log.Lines(),
              (std::vector<std::string>{Header("CAP_1101", "1101")}));
}

TEST_F(TwainDsShowFixture, WindowFormPrefixesEachValue)
{
    struct
    {
        int iWindow;
        uint16_t twcap;
        Bytes bytes;
        std::vector<std::string> aszLines;
    } s_acase[] = {
        {0, ICAP_PIXELTYPE, One(TWTY_UINT16).U16(2).U32(0), {"FB00: TWPT_RGB"}},
        {5, CAP_XFERCOUNT, One(TWTY_INT16).U16(7).U32(0), {"RB01: 7 (0x0007)"}},
        {42, ICAP_XRESOLUTION, One(TWTY_FIX32).Fix(300, 0).U32(0), {"FC10: 300"}},
        {43, 0x8100, One(TWTY_INT32).U32(11), {s_szLoopup, "RC10: 11 (0x0000000b)"}},
        {44, CAP_AUTHOR, One(TWTY_UINT16).U16(3).U32(0), {"44: 0x0003"}},
        {3, ICAP_FRAMES, One(TWTY_FRAMEANGLE).U32(0), {"RC00: *** container too small (24 bytes) ***"}},
    };
    for (const auto &testcase : s_acase)
    {
        size_t u64Alloc = testcase.iWindow == 3 ? 24 : 0;
        EXPECT_EQ(Show(testcase.twcap, TWON_ENUMERATION, MSG_GET, testcase.bytes, u64Alloc, testcase.iWindow),
                  testcase.aszLines)
            << testcase.iWindow;
    }
}

TEST_F(TwainDsShowFixture, IdentityLines)
{
    TW_IDENTITY twidentity = {};
    twidentity.Id = 7;
    twidentity.Version.MajorNum = 1;
    twidentity.Version.MinorNum = 2;
    twidentity.Version.Language = 13;
    twidentity.Version.Country = 1;
    memset(twidentity.Version.Info, 'i', sizeof(twidentity.Version.Info));   // unterminated
    twidentity.ProtocolMajor = 2;
    twidentity.ProtocolMinor = 4;
    twidentity.SupportedGroups = DF_DS2 | DF_APP2 | DF_DSM2 | DG_AUDIO | DG_IMAGE | DG_CONTROL;
    strcpy(twidentity.Manufacturer, "Maker");
    strcpy(twidentity.ProductFamily, "Family");
    strcpy(twidentity.ProductName, "Product");
    m_log.Clear();
    m_ptwainimpl->DSShowIdentity(&twidentity);
    EXPECT_EQ(m_log.Lines(), (std::vector<std::string>{
                                 "  Id.................7", "  Manufacturer.......Maker", "  ProductFamily......Family",
                                 "  ProductName........Product", "  Protocol...........2.4",
                                 "  SupportedGroups....0x70000007 (DS2,APP2,DSM2,AUDIO,IMAGE,CONTROL)", "  Version............1.2",
                                 "  Country............1 (TWCY_USA)", "  Language...........13 (TWLG_ENGLISH_USA)",
                                 "  Info..............." + std::string(34, 'i')}));
    twidentity.SupportedGroups = 0;
    twidentity.Version.Language = 0x7777;
    twidentity.Version.Country = 0x7777;
    m_log.Clear();
    m_ptwainimpl->DSShowIdentity(&twidentity);
    std::vector<std::string> aszLines = m_log.Lines();
    ASSERT_EQ(aszLines.size(), 10u);
    EXPECT_EQ(aszLines[5], "  SupportedGroups....0x00000000 ()");
    EXPECT_EQ(aszLines[7], "  Country............30583 (TWCY_0x7777)");
    EXPECT_EQ(aszLines[8], "  Language...........30583 (TWLG_0x7777)");
}

} // namespace
