// test_twain_show.cpp
// What a connection shows. The capability and identity display on
// hand-built containers: every form, every item type, and malformed
// containers that must be shown without reading past them. (The forms and
// faults the simulated sources answer with, shown through the program:
// test_e2e_control.cpp.) The extended image information formatter on
// crafted entries of every item type (values in Item and in handles, value
// names, ten-thousandths, dates, strings of every width, barcode texts with
// their lengths, large texts, errors) in its text, XML and log forms.
// (dat_extimageinfo against the simulated sources, its malformed answers
// too: test_e2e_device.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_twain_impl_support.h"
#include "twainextimageinfo.h"

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

namespace
{

// A request built by hand; handles are C memory (the connection frees a
// handle it does not know with the C library).
class Request
{
public:
    void Add(TW_UINT16 a_twei, TW_UINT16 a_twty, TW_UINT16 a_u16NumItems, const std::string &a_szBytes,
             bool a_blHandle, TW_UINT16 a_twrc = TWRC_SUCCESS)
    {
        TW_INFO twinfo = {};
        twinfo.InfoID = a_twei;
        twinfo.ItemType = a_twty;
        twinfo.NumItems = a_u16NumItems;
        twinfo.ReturnCode = a_twrc;
        if (a_blHandle && !a_szBytes.empty())
        {
            void *pv = malloc(a_szBytes.size());
            memcpy(pv, a_szBytes.data(), a_szBytes.size());
            twinfo.Item = reinterpret_cast<TW_UINTPTR>(pv);
        }
        else
        {
            memcpy(&twinfo.Item, a_szBytes.data(), std::min(a_szBytes.size(), sizeof(twinfo.Item)));
        }
        m_atwinfo.push_back(twinfo);
    }
    TW_EXTIMAGEINFO *Get()
    {
        m_au8.assign(8 + 16 * m_atwinfo.size(), 0);
        TW_UINT32 u32 = m_atwinfo.size();
        memcpy(m_au8.data(), &u32, 8);
        memcpy(m_au8.data() + 8, m_atwinfo.data(), 16 * m_atwinfo.size());
        return reinterpret_cast<TW_EXTIMAGEINFO *>(m_au8.data());
    }

private:
    std::vector<TW_INFO> m_atwinfo;
    std::vector<uint8_t> m_au8;
};

// Little-endian items of a width.
std::string Items(size_t a_u64Width, std::initializer_list<int64_t> a_ai64)
{
    std::string sz;
    for (int64_t i64 : a_ai64)
        for (size_t ii = 0; ii < a_u64Width; ii++)
            sz += static_cast<char>(static_cast<uint64_t>(i64) >> (8 * ii));
    return sz;
}

std::string Text(const std::string &a_sz, size_t a_u64Width)
{
    std::string sz = a_sz;
    sz.resize(a_u64Width, '\0');
    return sz;
}

using ExtImageInfoTest = TwainImplTest;

} // namespace

TEST_F(ExtImageInfoTest, EveryItemTypeInTextForm)
{
    Request request;
    struct Case
    {
        TW_UINT16 twei, twty, u16NumItems;
        std::string szBytes;
        bool blHandle;
        std::string szLine;
    };
    const std::string szFrame = Items(2, {1, 0, 2, 0x8000, 3, 0, 4, 0x4000});
    const std::string szBarcodes = std::string("DRAVO-0001") + std::string("Z\0\x01\xff", 4);
    const std::string szXml = "<image page=\"1\"/>";
    const Case acase[] = {
        {TWEI_HDR_LEVEL, TWTY_INT8, 2, Items(1, {-1, 5}), false, EiiLine("TWEI_HDR_LEVEL", "TWTY_INT8", "-1;5")},
        {TWEI_HDR_RAWIMAGEHEADER, TWTY_UINT8, 6, Items(1, {1, 2, 3, 4, 5, 250}), true,
         EiiLine("TWEI_HDR_RAWIMAGEHEADER", "TWTY_UINT8", "1;2;3;4;5;250")},
        {TWEI_HDR_YOFFSET, TWTY_INT16, 1, Items(2, {-300}), false, EiiLine("TWEI_HDR_YOFFSET", "TWTY_INT16", "-300")},
        {TWEI_PAGESIDE, TWTY_UINT16, 1, Items(2, {2}), false, EiiLine("TWEI_PAGESIDE", "TWTY_UINT16", "TWCS_BOTTOM")},
        {TWEI_PAGESIDE, TWTY_UINT16, 1, Items(2, {3}), false, EiiLine("TWEI_PAGESIDE", "TWTY_UINT16", "3")},
        {TWEI_HDR_FEATUREPATCH, TWTY_UINT16, 3, Items(2, {0, 1, 2}), true,
         EiiLine("TWEI_HDR_FEATUREPATCH", "TWTY_UINT16", "0;1;2")},
        {TWEI_SKEWORIGINALANGLE, TWTY_INT32, 1, Items(8, {-5000}), false,
         EiiLine("TWEI_SKEWORIGINALANGLE", "TWTY_INT32", "-0.5000")},
        {TWEI_HDR_DESKEWANGLE, TWTY_INT32, 1, Items(8, {10005}), false,
         EiiLine("TWEI_HDR_DESKEWANGLE", "TWTY_INT32", "1.0005")},
        {TWEI_HDR_DATE, TWTY_UINT32, 1, Items(8, {915}), false, EiiLine("TWEI_HDR_DATE", "TWTY_UINT32", "00/09/15")},
        {TWEI_HDR_TIME, TWTY_UINT32, 1, Items(8, {93000}), false, EiiLine("TWEI_HDR_TIME", "TWTY_UINT32", "09:30:00")},
        {TWEI_BARCODEX, TWTY_UINT32, 2, Items(8, {100, 4000000000}), true,
         EiiLine("TWEI_BARCODEX", "TWTY_UINT32", "100;4000000000")},
        {TWEI_HDR_MULTIFEED, TWTY_UINT32, 1, Items(8, {1}), false, EiiLine("TWEI_HDR_MULTIFEED", "TWTY_UINT32", "TRUE")},
        {TWEI_IMAGEMERGED, TWTY_BOOL, 2, Items(2, {0, 7}), false, EiiLine("TWEI_IMAGEMERGED", "TWTY_BOOL", "FALSE;TRUE (7)")},
        {0x1111, TWTY_FIX32, 1, Items(2, {1, 0x8000}), false, EiiLine("0x1111", "TWTY_FIX32", "1.32768")},
        {TWEI_FRAME, TWTY_FRAME, 1, szFrame, true,
         EiiLine("TWEI_FRAME", "TWTY_FRAME",
              "left=1, 0 (1.00000)  right=3, 0 (3.00000)  top=2, 32768 (2.50000)  bottom=4, 16384 (4.25000)")},
        {TWEI_HDR_BOOKNAME_A, TWTY_STR32, 2, Text("Book A", 34) + Text("Second", 34), true,
         EiiLine("TWEI_HDR_BOOKNAME_A", "TWTY_STR32", "Book A;Second")},
        {TWEI_HDR_BOOKNAME_C, TWTY_STR128, 1, Text("Book C", 130), true, EiiLine("TWEI_HDR_BOOKNAME_C", "TWTY_STR128", "Book C")},
        {TWEI_PRINTERTEXT, TWTY_STR255, 1, std::string(256, 'X'), true,
         EiiLine("TWEI_PRINTERTEXT", "TWTY_STR255", std::string(255, 'X'))},
        {TWEI_BARCODETEXT, TWTY_HANDLE, 2, szBarcodes, true,
         EiiLine("TWEI_BARCODETEXT", "TWTY_HANDLE", "DRAVO-0001;5a 00 01 ff ")},
        {TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 2, Items(8, {10, 4}), true,
         EiiLine("TWEI_BARCODETEXTLENGTH", "TWTY_UINT32", "10;4")},
        {TWEI_HDR_XML, TWTY_HANDLE, static_cast<TW_UINT16>(szXml.size()), szXml + "trailing", true,
         EiiLine("TWEI_HDR_XML", "TWTY_HANDLE", szXml)},
        {TWEI_ICCPROFILE, TWTY_HANDLE, 1, "", true, EiiLine("TWEI_ICCPROFILE", "TWTY_HANDLE", "NULL")},
        {TWEI_CAMERA, 13, 1, "", false, EiiLine("TWEI_CAMERA", "TWTY_???", "UNKNOWN TYPE 13")},
    };
    for (const Case &c : acase)
        request.Add(c.twei, c.twty, c.u16NumItems, c.szBytes, c.blHandle);
    request.Add(TWEI_BOOKNAME, 0, 0, "", false, TWRC_INFONOTSUPPORTED);
    request.Add(TWEI_CAMERA, 0, 0, "", false, TWRC_DATANOTAVAILABLE);
    request.Add(TWEI_PAPERCOUNT, 0, 0, "", false, TWRC_FAILURE);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    size_t u64Cases = sizeof(acase) / sizeof(acase[0]);
    for (size_t ii = 0; ii < u64Cases; ii++)
        EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, ii, TWAIN_EII_DETAILS_TEXT), acase[ii].szLine) << ii;
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_BOOKNAME..................." "*** unsupported ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases + 1, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_CAMERA....................." "*** not available ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases + 2, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_PAPERCOUNT................." "*** unknown status ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(ptwextimageinfo, TWEI_PAGENUMBER, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_PAGENUMBER................." "*** not returned ***");
    // Shown entries gave up their handles: shown again they have none.
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_HDR_RAWIMAGEHEADER", "TWTY_UINT8", "NULL"));
    twainextimageinfo.FreeHandles(ptwextimageinfo, u64Cases);
}

TEST_F(ExtImageInfoTest, XmlAndLogFormsAndTheNames)
{
    Request request;
    request.Add(TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 1, Items(8, {3}), false);
    request.Add(TWEI_BARCODETEXT, TWTY_HANDLE, 1, std::string("\x01\x02\x03", 3), true);
    request.Add(TWEI_BOOKNAME, TWTY_STR255, 1, Text("A&B", 256), true);
    request.Add(TWEI_FRAME, TWTY_FRAME, 1, Items(2, {1, 0, 2, 0x8000, 3, 0, 4, 0}), true);
    request.Add(TWEI_BARCODEY, TWTY_UINT32, 2, Items(8, {5, 6}), true);
    request.Add(TWEI_BARCODECOUNT, TWTY_UINT32, 1, Items(8, {2}), false);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODETEXT type=\"hex\">01 02 03 </TWEI_BARCODETEXT>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 2, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BOOKNAME><![CDATA[A&B]]></TWEI_BOOKNAME>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 3, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_FRAME>\n"
              "\t\t<leftwhole>1</leftwhole>\n\t\t<leftfrac>0</leftfrac>\n\t\t<left>1.00000</left>\n"
              "\t\t<rightwhole>3</rightwhole>\n\t\t<rightfrac>0</rightfrac>\n\t\t<right>3.00000</right>\n"
              "\t\t<topwhole>2</topwhole>\n\t\t<topfrac>32768</topfrac>\n\t\t<top>2.50000</top>\n"
              "\t\t<bottomwhole>4</bottomwhole>\n\t\t<bottomfrac>0</bottomfrac>\n\t\t<bottom>4.00000</bottom>\n"
              "\t</TWEI_FRAME>\n");
    // The log form writes lines and keeps the handles for a later form.
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 4, TWAIN_EII_DETAILS_LOG)), "");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 4, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODEY index=\"0\">5</TWEI_BARCODEY>\n\t<TWEI_BARCODEY index=\"1\">6</TWEI_BARCODEY>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(ptwextimageinfo, TWEI_BARCODECOUNT, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODECOUNT>2</TWEI_BARCODECOUNT>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(nullptr, TWEI_BARCODECOUNT, TWAIN_EII_DETAILS_TEXT)),
              "Invalid parameter");
    EXPECT_EQ(CTwainExtImageInfo::StringToTwei("twei_hdr_xml"), TWEI_HDR_XML);
    EXPECT_EQ(CTwainExtImageInfo::StringToTwei("TWEI_NOSUCH"), 0);
    EXPECT_STREQ(CTwainExtImageInfo::StringFromTwei(0x1111), "0x1111");
    twainextimageinfo.FreeHandles(ptwextimageinfo, 6);
    // The requests: everything (67 entries), or the barcodes alone (of 33).
    TW_EXTIMAGEINFO *ptwextimageinfoAll = twainextimageinfo.Initialize(true, false, false);
    ASSERT_NE(ptwextimageinfoAll, nullptr);
    EXPECT_EQ(ptwextimageinfoAll->NumInfos, 67u);
    EXPECT_EQ(ptwextimageinfoAll->Info[0].InfoID, TWEI_BARCODECOUNT);
    g_posmem->Free(ptwextimageinfoAll, __FILE__, __LINE__);
    TW_EXTIMAGEINFO *ptwextimageinfoPage = twainextimageinfo.Initialize(false, true, true);
    ASSERT_NE(ptwextimageinfoPage, nullptr);
    EXPECT_EQ(ptwextimageinfoPage->NumInfos, 12u);
    EXPECT_EQ(ptwextimageinfoPage->Info[0].InfoID, TWEI_HDR_PAGEIMAGENUMBER);
    EXPECT_EQ(CTwainExtImageInfo::Capacity(false, true, true), 33u);
    g_posmem->Free(ptwextimageinfoPage, __FILE__, __LINE__);
}

TEST_F(ExtImageInfoTest, CountsBeyondTheBlockStopAtItsEnd)
{
    // Each handle is shorter than its entry claims: nothing is read past it
    // (blocks of 24 + 16n bytes, which the C library hands out exactly).
    Request request;
    request.Add(TWEI_HDR_BOOKNAME_A, TWTY_STR32, 3, Text("Book A", 34), true);
    request.Add(TWEI_TWAINDIRECTMETADATA, TWTY_HANDLE, 1, "{\"metadata\":\"unended....", true);
    request.Add(TWEI_BARCODETEXT, TWTY_HANDLE, 4, "DRAVO-0001ABCDEFGHIJKLMN", true);
    request.Add(TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 4, Items(8, {10, 20, 1}), true);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 0, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_HDR_BOOKNAME_A", "TWTY_STR32", "Book A"));
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_TWAINDIRECTMETADATA", "TWTY_HANDLE", "{\"metadata\":\"unended...."));
    std::string szBarcodes = twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 2, TWAIN_EII_DETAILS_TEXT);
    std::string szPrefix = EiiLine("TWEI_BARCODETEXT", "TWTY_HANDLE", "DRAVO-0001;ABCDEFGHIJKLMN;;HANDLE ");
    EXPECT_EQ(szBarcodes.substr(0, szPrefix.size()), szPrefix);
    twainextimageinfo.FreeHandles(ptwextimageinfo, 4);
}
