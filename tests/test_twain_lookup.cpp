// test_twain_lookup.cpp
// The symbol table: every lookup form on the program's own table, and
// loading from hand-made tables (skipped records, limits, broken input).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>

#include "clookup.h"
#include "test_twain_lookup_support.h"

using lookuptest::LoadXml;
using lookuptest::Services;

namespace
{

// One record of a hand-made table.
std::string Rec(const std::string& a_f, const std::string& a_g, const std::string& a_h, const std::string& a_i,
                const std::string& a_values = "")
{
    std::string sz = "<f>" + a_f + "</f><g>" + a_g + "</g><h>" + a_h + "</h><i>" + a_i + "</i><j>0</j>";
    if (!a_values.empty())
    {
        sz += "<Z>" + a_values + "</Z>";
    }
    return sz;
}

std::string Val(const std::string& a_n, const std::string& a_o, const std::string& a_p)
{
    return "<n>" + a_n + "</n><o>" + a_o + "</o><p>" + a_p + "</p>";
}

std::string Doc(const std::string& a_body)
{
    return "<lookup bytes=\"0\" records=\"0\" enums=\"0\">" + a_body + "</lookup>";
}

// The program's own table, loaded once for the suite from the generated XML.
class LookupTable : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Services::Start();
        s_pclookup = new CLookup;
        std::string szXml = e2e::ReadFile(lookuptest::GeneratedXmlPath());
        s_eossts = szXml.empty() ? OS_STS_FAIL : LoadXml(*s_pclookup, szXml);
    }
    static void TearDownTestSuite()
    {
        delete s_pclookup;
        s_pclookup = nullptr;
        Services::Stop();
    }
    void SetUp() override
    {
        ASSERT_EQ(s_eossts, OS_STS_OK) << "the generated table " << lookuptest::GeneratedXmlPath() << " did not load";
        s_pclookup->SetCustomValues(false);
    }
    CLookup& Table() { return *s_pclookup; }

    static inline CLookup* s_pclookup = nullptr;
    static inline EOSSTS s_eossts = OS_STS_FAIL;
};

// Hand-made tables: services only.
class LookupLoad : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Services::Start(); }
    static void TearDownTestSuite() { Services::Stop(); }
};

} // namespace

// ---------------------------------------------------------------------------
// Lookup by name
// ---------------------------------------------------------------------------
TEST_F(LookupTable, NamesOfSymbolsInAnyCaseGiveTheirFamilyOrCapabilityRecord)
{
    // A family symbol gives the family's record; a capability's value gives
    // the capability's record.
    struct { const char* name; const char* record; uint32_t id; const char* symbol; uint32_t value; } const cases[] = {
        { "twrc_success", "TWRC_", 0, "TWRC_SUCCESS", 0 },
        { "DAT_STATUSRAW", "DAT_", 0, "DAT_STATUSRAW", 0x8001 },
        { "TwTy_FrameAngle", "TWTY_", 0, "TWTY_FRAMEANGLE", 0x8001 },
        { "TWPT_RGB", "ICAP_PIXELTYPE", 0x0101, "TWPT_RGB", 2 },
        { "TWLG_ENGLISH_USA", "CAP_LANGUAGE", CAP_LANGUAGE, "TWLG_ENGLISH_USA", 13 },
        { "twde_lampwarmup", "CAP_DEVICEEVENT", CAP_DEVICEEVENT, "TWDE_LAMPWARMUP", 0x8002 },
    };
    for (const auto& c : cases)
    {
        TwLookup* ptwlookup = Table().Lookup(c.name);
        ASSERT_NE(ptwlookup, nullptr) << c.name;
        EXPECT_STREQ(ptwlookup->szName, c.record);
        EXPECT_EQ(ptwlookup->u32Id, c.id) << c.name;
        ASSERT_NE(ptwlookup->ptwenum, nullptr) << c.name;
        EXPECT_STREQ(ptwlookup->ptwenum->szSymbol, c.symbol);
        EXPECT_EQ(ptwlookup->ptwenum->u32Value, c.value) << c.name;
    }
}

TEST_F(LookupTable, NameOfACapabilityIsTheRecordItself)
{
    // Records whose item and container types decide what set sends.
    struct { const char* name; uint32_t id; uint32_t itemtype; uint32_t contype; } const records[] = {
        { "icap_xresolution", 0x1118, TWTY_FIX32, TWON_ENUMERATION },
        { "ICAP_PIXELTYPE", 0x0101, TWTY_UINT16, TWON_ENUMERATION },
        { "ICAP_BITDEPTH", 0x112B, TWTY_UINT16, TWON_ENUMERATION },
        { "CAP_SUPPORTEDCAPS", 0x1005, TWTY_UINT16, TWON_ARRAY },
        { "CAP_XFERCOUNT", 0x0001, TWTY_INT16, TWON_RANGE },
        { "CAP_CAMERAENABLE", 0x801D, TWTY_BOOL, TWON_ENUMERATION },
        { "ICAP_FRAMESANGLE", 0x80BB, TWTY_FRAMEANGLE, TWON_ENUMERATION },
    };
    for (const auto& r : records)
    {
        TwLookup* ptwlookup = Table().Lookup(r.name);
        ASSERT_NE(ptwlookup, nullptr) << r.name;
        EXPECT_EQ(strcasecmp(ptwlookup->szName, r.name), 0) << r.name;
        EXPECT_EQ(ptwlookup->u32Id, r.id) << r.name;
        EXPECT_EQ(ptwlookup->u32ItemType, r.itemtype) << r.name;
        EXPECT_EQ(ptwlookup->u32ConType, r.contype) << r.name;
    }
    TwLookup* ptwlookup = Table().Lookup("icap_xresolution");
    ASSERT_NE(ptwlookup, nullptr);
    EXPECT_STREQ(ptwlookup->szName, "ICAP_XRESOLUTION");
    ASSERT_NE(ptwlookup->ptwenum, nullptr);
    EXPECT_STREQ(ptwlookup->ptwenum[0].szSymbol, "#75");
    // The same record answers by id, and it is not a copy.
    EXPECT_EQ(Table().Lookup(ETWLOOKUP_CAP, 0x1118, 0, -1), ptwlookup);
    EXPECT_EQ(Table().Lookup("ACAP_XFERMECH"), Table().Lookup(ETWLOOKUP_CAP, ACAP_XFERMECH, 0, -1));
}

TEST_F(LookupTable, NamesOfOtherFamiliesAreNotFound)
{
    EXPECT_EQ(Table().Lookup("MSG_GET"), nullptr);
    EXPECT_EQ(Table().Lookup("DG_CONTROL"), nullptr);
    EXPECT_EQ(Table().Lookup("DF_APP2"), nullptr);
    EXPECT_EQ(Table().Lookup("TWCY_USA"), nullptr);     // countries answer by number only
    EXPECT_EQ(Table().Lookup("ICAP_NOSUCHTHING"), nullptr);
    EXPECT_EQ(Table().Lookup("TWRC_NOSUCHCODE"), nullptr);
    EXPECT_EQ(Table().Lookup("hello"), nullptr);
    EXPECT_EQ(Table().Lookup(""), nullptr);
    EXPECT_EQ(Table().Lookup(static_cast<const char*>(nullptr)), nullptr);
}

// ---------------------------------------------------------------------------
// Lookup by number
// ---------------------------------------------------------------------------
TEST_F(LookupTable, FamiliesByNumberMatchTheFullValue)
{
    struct { ETWLOOKUP kind; int value; const char* symbol; } const cases[] = {
        { ETWLOOKUP_TWTY, 0x8001, "TWTY_FRAMEANGLE" },
        { ETWLOOKUP_TWTY, 4, "TWTY_UINT16" },
        { ETWLOOKUP_TWON, 5, "TWON_ONEVALUE" },
        { ETWLOOKUP_TWON, -1, "TWON_DONTCARE32" },
        { ETWLOOKUP_TWRC, 0, "TWRC_SUCCESS" },
        { ETWLOOKUP_TWRC, 10, "TWRC_BUSY" },
        { ETWLOOKUP_TWRC, 0x8001, "TWRC_BUSY" },
        { ETWLOOKUP_TWCC, 4, "TWCC_MAXCONNECTIONS" },
        { ETWLOOKUP_TWCC, 29, "TWCC_NOMEDIA" },
        { ETWLOOKUP_TWCY, 49, "TWCY_GERMANY" },
        { ETWLOOKUP_TWCY, 1, "TWCY_USA" },
        { ETWLOOKUP_TWCY, 27, "TWCY_SOUTHAFRICA" },    // not Andorra (33, after France)
        { ETWLOOKUP_TWCY, 33, "TWCY_FRANCE" },
        { ETWLOOKUP_TWEI, 0x1249, "TWEI_PAPERCOUNT" },
        { ETWLOOKUP_TWEI, 0x8043, "TWEI_HDR_ENDOFSHEET" },
    };
    for (const auto& c : cases)
    {
        TwLookup* ptwlookup = Table().Lookup(c.kind, c.value, 0, -1);
        ASSERT_NE(ptwlookup, nullptr) << c.symbol;
        EXPECT_STREQ(ptwlookup->ptwenum->szSymbol, c.symbol);
    }
    EXPECT_EQ(Table().Lookup(ETWLOOKUP_TWRC, 0x1234, 0, -1), nullptr);
    EXPECT_EQ(Table().Lookup(ETWLOOKUP_TWEI, 0x11249, 0, -1), nullptr);   // the full value counts
    EXPECT_EQ(Table().Lookup(ETWLOOKUP_TWRC, 0, 5, -1), nullptr);         // family records have id 0
    EXPECT_EQ(Table().Lookup(static_cast<ETWLOOKUP>(0), 0, 0, -1), nullptr);
    EXPECT_EQ(Table().Lookup(static_cast<ETWLOOKUP>(9), 0, 0, -1), nullptr);
}

// Each row: a value of a capability's item type, with or without the custom
// values, and the record and symbol it names (none: not found).
TEST_F(LookupTable, CapabilityValuesNameTheirSymbolsAndListsTheirMembers)
{
    struct
    {
        int iValue;
        uint32_t u32Cap;
        int iItemType;
        bool blCustom;
        const char* szRecord;
        const char* szSymbol;
    } const cases[] = {
        // The low 16 bits count: an entry of 0xFFFFFFFF answers to 0xFFFF and to a 16-bit -1.
        {TWPT_RGB, ICAP_PIXELTYPE, TWTY_UINT16, false, "ICAP_PIXELTYPE", "TWPT_RGB"},
        {0xFFFF, CAP_LANGUAGE, TWTY_UINT16, false, "CAP_LANGUAGE", "TWLG_USERLOCALE"},
        {-1, ICAP_JPEGQUALITY, TWTY_INT16, false, "ICAP_JPEGQUALITY", "TWJQ_HIGH"},
        {0x10002, ICAP_PIXELTYPE, TWTY_UINT16, false, nullptr, nullptr},   // above 0xFFFF
        {300, ICAP_YRESOLUTION, TWTY_FIX32, false, "ICAP_YRESOLUTION", "#300"},
        // No value list, a value it lacks, a capability no record has.
        {1, CAP_XFERCOUNT, TWTY_INT16, false, nullptr, nullptr},
        {99, ICAP_PIXELTYPE, TWTY_UINT16, false, nullptr, nullptr},
        {0, 0x7777, TWTY_UINT16, false, nullptr, nullptr},
        // The supported capabilities name capabilities, custom ones only on request.
        {0x1118, CAP_SUPPORTEDCAPS, TWTY_UINT16, false, "CAP_SUPPORTEDCAPS", "ICAP_XRESOLUTION"},
        {0x1118, CAP_SUPPORTEDCAPSSEGMENTUNIQUE, TWTY_UINT16, true, "CAP_SUPPORTEDCAPSSEGMENTUNIQUE", "ICAP_XRESOLUTION"},
        {CAP_WINDOWCAMERA, CAP_SUPPORTEDCAPS, TWTY_UINT16, false, nullptr, nullptr},
        {CAP_WINDOWCAMERA, CAP_SUPPORTEDCAPS, TWTY_UINT16, true, "CAP_SUPPORTEDCAPS", "CAP_WINDOWCAMERA(*)"},
        {0x8FFF, CAP_SUPPORTEDCAPS, TWTY_UINT16, true, nullptr, nullptr},
        // A data group and type pair in a 32-bit item: the low 16 bits count.
        {0x00010001, CAP_SUPPORTEDDATS, TWTY_UINT32, false, "CAP_SUPPORTEDDATS", "DAT_CAPABILITY"},
        {0x00010001, CAP_SUPPORTEDDATS, TWTY_UINT16, false, nullptr, nullptr},
        {0x10008001, CAP_SUPPORTEDDATS, TWTY_UINT32, false, nullptr, nullptr},
        {0x10008001, CAP_SUPPORTEDDATS, TWTY_UINT32, true, "CAP_SUPPORTEDDATS", "DAT_STATUSRAW(*)"},
        {TWEI_BARCODETEXT, ICAP_SUPPORTEDEXTIMAGEINFO, TWTY_UINT16, false, "ICAP_SUPPORTEDEXTIMAGEINFO", "TWEI_BARCODETEXT"},
        {TWEI_HDR_PAGESIDE, ICAP_SUPPORTEDEXTIMAGEINFO, TWTY_UINT16, false, nullptr, nullptr},
        {TWEI_HDR_PAGESIDE, ICAP_SUPPORTEDEXTIMAGEINFO, TWTY_UINT16, true, "ICAP_SUPPORTEDEXTIMAGEINFO", "TWEI_HDR_PAGESIDE(*)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(&c - cases));
        Table().SetCustomValues(c.blCustom);
        TwLookup* ptwlookup = Table().Lookup(ETWLOOKUP_CAPVALUE, c.iValue, c.u32Cap, c.iItemType);
        if (!c.szRecord)
        {
            EXPECT_EQ(ptwlookup, nullptr);
            continue;
        }
        ASSERT_NE(ptwlookup, nullptr);
        EXPECT_STREQ(ptwlookup->szName, c.szRecord);
        EXPECT_STREQ(ptwlookup->ptwenum->szSymbol, c.szSymbol);
    }
    EXPECT_TRUE(Table().GetCustomValues());
    // A resolution's friendly name; a member's value: the position of its
    // capability record, or of its data argument type in the DAT_ list.
    EXPECT_STREQ(Table().Lookup(ETWLOOKUP_CAPVALUE, 300, ICAP_YRESOLUTION, TWTY_FIX32)->ptwenum->szName, "300_dpi");
    TwLookup* ptwlookup = Table().Lookup(ETWLOOKUP_CAPVALUE, 0x1118, CAP_SUPPORTEDCAPS, TWTY_UINT16);
    const TwLookup* ptwlookupRecord = Table().GetRecord(static_cast<int>(ptwlookup->ptwenum->u32Value));
    ASSERT_NE(ptwlookupRecord, nullptr);
    EXPECT_STREQ(ptwlookupRecord->szName, "ICAP_XRESOLUTION");
    EXPECT_EQ(Table().Lookup(ETWLOOKUP_CAPVALUE, 0x00010001, CAP_SUPPORTEDDATS, TWTY_UINT32)->ptwenum->u32Value, 1u);
}

TEST_F(LookupTable, EachFormKeepsItsOwnResult)
{
    TwLookup* ptwlookupName = Table().Lookup("TWRC_CANCEL");
    ASSERT_NE(ptwlookupName, nullptr);
    TwLookup* ptwlookupNumber = Table().Lookup(ETWLOOKUP_TWCC, TWCC_BADVALUE, 0, -1);
    ASSERT_NE(ptwlookupNumber, nullptr);
    // The lookup by number did not disturb the result of the lookup by name.
    EXPECT_STREQ(ptwlookupName->ptwenum->szSymbol, "TWRC_CANCEL");
    EXPECT_STREQ(ptwlookupNumber->ptwenum->szSymbol, "TWCC_BADVALUE");
}

// ---------------------------------------------------------------------------
// LookupEnum
// ---------------------------------------------------------------------------
// Each row: a capability, a symbol, its friendly name (none: the name form
// finds nothing) and its value (-1: the value form finds nothing); what is
// not found leaves the buffers as they were.
TEST_F(LookupTable, EnumNamesAndValuesOfACapabilitysSymbols)
{
    struct
    {
        const char* szCap;
        const char* szSymbol;
        const char* szName;
        int iValue;
    } const cases[] = {
        {"CAP_LANGUAGE", "twlg_userlocale", "auto", 0xFFFF},
        {"CAP_LANGUAGE", "TWLG_GERMAN_SWISS", "german_swiss", 62},
        {"CAP_LANGUAGE", "twlg_english_usa", "english_usa", 13},
        {"ICAP_XRESOLUTION", "#300", "300_dpi", 300},
        {"CAP_SUPPORTEDCAPS", "ICAP_XRESOLUTION", nullptr, 0x1118},
        {"CAP_WINDOWCAMERA", "TWWC_1_COLOR_FRONT", "1_color_front", 6},
        {"CAP_LANGUAGE", "TWLG_KLINGON", nullptr, -1},
        {"CAP_NOSUCHTHING", "TWLG_ENGLISH", nullptr, -1},
        {"CAP_XFERCOUNT", "TWLG_ENGLISH", nullptr, -1},
        {"TWPT_RGB", "TWPT_BW", nullptr, -1},
        {"ICAP_PIXELTYPE", "300", nullptr, -1},   // numbers are not symbols
        {"ICAP_PIXELTYPE", "-1", nullptr, -1},
        {"ICAP_PIXELTYPE", "TWPT_NOSUCH", nullptr, -1},
        {"CAP_SUPPORTEDCAPS", "ICAP_NOSUCH", nullptr, -1},
        {"CAP_SUPPORTEDCAPS", "TWPT_RGB", nullptr, -1},
    };
    for (const auto& c : cases)
    {
        char szName[128] = "unchanged";
        TW_UINT16 u16 = 77;
        EXPECT_EQ(Table().LookupEnum(c.szCap, c.szSymbol, szName, sizeof(szName)), c.szName ? 1 : 0) << c.szSymbol;
        EXPECT_STREQ(szName, c.szName ? c.szName : "unchanged") << c.szSymbol;
        EXPECT_EQ(Table().LookupEnum(c.szCap, c.szSymbol, &u16), c.iValue >= 0 ? 1 : 0) << c.szSymbol;
        EXPECT_EQ(u16, c.iValue >= 0 ? c.iValue : 77) << c.szSymbol;
    }
    // A small buffer gets the name cut.
    char szSmall[4] = "xyz";
    EXPECT_EQ(Table().LookupEnum("CAP_LANGUAGE", "TWLG_ENGLISH_USA", szSmall, sizeof(szSmall)), 1);
    EXPECT_STREQ(szSmall, "eng");
}

// ---------------------------------------------------------------------------
// Loading hand-made tables
// ---------------------------------------------------------------------------
TEST_F(LookupLoad, EmptyRecordNameSkipsTheRecordWithItsValues)
{
    CLookup clookup;
    std::string szXml = Doc(Rec("TWRC_", "", "", "", Val("success", "TWRC_SUCCESS", "0")) +
                            Rec("", "1118", "7", "4", Val("x", "TWXX_GHOST", "5")) +
                            Rec("ICAP_PIXELTYPE", "101", "4", "4", Val("rgb", "TWPT_RGB", "2")));
    ASSERT_EQ(LoadXml(clookup, szXml), OS_STS_OK);
    EXPECT_EQ(clookup.GetRecordCount(), 2);
    EXPECT_STREQ(clookup.GetRecord(1)->szName, "ICAP_PIXELTYPE");
    EXPECT_EQ(clookup.GetRecord(1)->u32Id, 0x101u);
    EXPECT_EQ(clookup.Lookup("TWXX_GHOST"), nullptr);
    EXPECT_EQ(clookup.Lookup(ETWLOOKUP_CAP, 0x1118, 0, -1), nullptr);
    TwLookup* ptwlookup = clookup.Lookup("TWPT_RGB");
    ASSERT_NE(ptwlookup, nullptr);
    EXPECT_EQ(ptwlookup->ptwenum->u32Value, 2u);
}

TEST_F(LookupLoad, TooManyRecordsKeepsTheFirstOnes)
{
    std::string szBody;
    for (int ii = 0; ii < TWLOOKUP_RECORDS + 100; ii++)
    {
        char sz[64];
        snprintf(sz, sizeof(sz), "CAP_N%04d", ii);
        char szId[16];
        snprintf(szId, sizeof(szId), "%x", 0x2000 + ii);
        szBody += Rec(sz, szId, "4", "5", Val("v", "TWVV_" + std::string(sz + 4), "1"));
    }
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(szBody)), OS_STS_OK);
    EXPECT_EQ(clookup.GetRecordCount(), TWLOOKUP_RECORDS);
    EXPECT_NE(clookup.Lookup("CAP_N0000"), nullptr);
    EXPECT_NE(clookup.Lookup("CAP_N1023"), nullptr);
    EXPECT_EQ(clookup.Lookup("CAP_N1024"), nullptr);
    EXPECT_NE(clookup.Lookup("TWVV_N1023"), nullptr);
    EXPECT_EQ(clookup.Lookup("TWVV_N1024"), nullptr);
    EXPECT_EQ(clookup.Lookup(ETWLOOKUP_CAP, 0x2000 + TWLOOKUP_RECORDS + 5, 0, -1), nullptr);
    EXPECT_NE(Services::LogText().find("records beyond"), std::string::npos);
}

TEST_F(LookupLoad, TooManyValuesKeepsTheFirstOnes)
{
    std::string szValues;
    for (int ii = 0; ii < TWLOOKUP_VALUES + 20; ii++)
    {
        char sz[64];
        snprintf(sz, sizeof(sz), "TWXX_V%03d", ii);
        char szValue[16];
        snprintf(szValue, sizeof(szValue), "%x", ii);
        szValues += Val("v", sz, szValue);
    }
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("CAP_BIG", "2000", "4", "4", szValues) + Rec("CAP_AFTER", "2001", "4", "5",
                                                                                       Val("a", "TWXX_AFTER", "7")))),
              OS_STS_OK);
    EXPECT_NE(clookup.Lookup("TWXX_V255"), nullptr);
    EXPECT_EQ(clookup.Lookup("TWXX_V256"), nullptr);
    EXPECT_EQ(clookup.Lookup(ETWLOOKUP_CAPVALUE, 260, 0x2000, TWTY_UINT16), nullptr);
    TwLookup* ptwlookup = clookup.Lookup(ETWLOOKUP_CAPVALUE, 255, 0x2000, TWTY_UINT16);
    ASSERT_NE(ptwlookup, nullptr);
    EXPECT_STREQ(ptwlookup->ptwenum->szSymbol, "TWXX_V255");
    // The full list has no terminator: walks stop at its end, and the next record is intact.
    TW_UINT16 u16 = 0;
    EXPECT_EQ(clookup.LookupEnum("CAP_BIG", "TWXX_AFTER", &u16), 0);
    EXPECT_EQ(clookup.LookupEnum("CAP_AFTER", "TWXX_AFTER", &u16), 1);
    EXPECT_EQ(u16, 7);
    EXPECT_NE(Services::LogText().find("values beyond"), std::string::npos);
}

TEST_F(LookupLoad, SymbolOrValueBeforeAnyNameIsSkipped)
{
    CLookup clookup;
    std::string szValues = "<o>TWXX_STRAY</o><p>9</p>" + Val("one", "TWXX_ONE", "1") + Val("two", "TWXX_TWO", "2");
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("CAP_ODD", "2000", "4", "4", szValues))), OS_STS_OK);
    EXPECT_EQ(clookup.Lookup("TWXX_STRAY"), nullptr);
    TwLookup* ptwlookup = clookup.Lookup("CAP_ODD");
    ASSERT_NE(ptwlookup, nullptr);
    ASSERT_NE(ptwlookup->ptwenum, nullptr);
    EXPECT_STREQ(ptwlookup->ptwenum[0].szSymbol, "TWXX_ONE");
    EXPECT_EQ(ptwlookup->ptwenum[0].u32Value, 1u);
    EXPECT_STREQ(ptwlookup->ptwenum[1].szSymbol, "TWXX_TWO");
    EXPECT_EQ(ptwlookup->ptwenum[1].u32Value, 2u);
    EXPECT_NE(Services::LogText().find("before any name"), std::string::npos);
}

TEST_F(LookupLoad, LongNamesAreCutTo63Characters)
{
    std::string szLongCap = "CAP_" + std::string(100, 'L');
    std::string szLongSymbol = "TWXX_" + std::string(70, 'S');
    std::string szLongName(80, 'n');
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(Rec(szLongCap, "2000", "4", "4", Val(szLongName, szLongSymbol, "3")))), OS_STS_OK);
    const TwLookup* ptwlookup = clookup.GetRecord(0);
    ASSERT_NE(ptwlookup, nullptr);
    EXPECT_EQ(std::string(ptwlookup->szName), szLongCap.substr(0, 63));
    EXPECT_EQ(std::string(ptwlookup->ptwenum[0].szSymbol), szLongSymbol.substr(0, 63));
    EXPECT_EQ(std::string(ptwlookup->ptwenum[0].szName), szLongName.substr(0, 63));
    EXPECT_NE(clookup.Lookup(szLongCap.substr(0, 63).c_str()), nullptr);
    EXPECT_NE(Services::LogText().find("were cut"), std::string::npos);
}

TEST_F(LookupLoad, HexadecimalFieldsAndEmptyOnes)
{
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("TWTY_", "", "", "", Val("", "TWTY_INT8", "")) +
                                   Rec("CAP_HEX", "0x80B4", "8001", "4", Val("big", "TWXX_BIG", "ffffffff")))),
              OS_STS_OK);
    const TwLookup* ptwlookup = clookup.GetRecord(0);
    EXPECT_EQ(ptwlookup->u32Id, 0u);
    EXPECT_EQ(ptwlookup->ptwenum[0].u32Value, 0u);
    EXPECT_STREQ(ptwlookup->ptwenum[0].szName, "");
    ptwlookup = clookup.GetRecord(1);
    EXPECT_EQ(ptwlookup->u32Id, 0x80B4u);
    EXPECT_EQ(ptwlookup->u32ItemType, 0x8001u);
    EXPECT_EQ(ptwlookup->ptwenum[0].u32Value, 0xFFFFFFFFu);
}

// A value without a friendly name answers with an empty name, and the copy
// of that empty name is not reported as a failed bounded copy.
TEST_F(LookupLoad, ValueWithoutFriendlyNameGivesAnEmptyName)
{
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("CAP_NAMELESS", "2000", "4", "4", Val("", "TWXX_NONAME", "1") +
                                                                          Val("named", "TWXX_NAMED", "2")))),
              OS_STS_OK);
    size_t u64LogBefore = Services::LogText().size();
    char szName[16] = "unchanged";
    EXPECT_EQ(clookup.LookupEnum("CAP_NAMELESS", "twxx_noname", szName, sizeof(szName)), 1);
    EXPECT_STREQ(szName, "");
    EXPECT_EQ(Services::LogText().substr(u64LogBefore).find("failed"), std::string::npos) << Services::LogText().substr(u64LogBefore);
    EXPECT_EQ(clookup.LookupEnum("CAP_NAMELESS", "TWXX_NAMED", szName, sizeof(szName)), 1);
    EXPECT_STREQ(szName, "named");
    TW_UINT16 u16 = 0;
    EXPECT_EQ(clookup.LookupEnum("CAP_NAMELESS", "TWXX_NONAME", &u16), 1);
    EXPECT_EQ(u16, 1);
}

TEST_F(LookupLoad, LoadingAgainReplacesTheTable)
{
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("CAP_FIRST", "2000", "4", "4", Val("a", "TWXX_A", "1") + Val("b", "TWXX_B", "2")))),
              OS_STS_OK);
    ASSERT_EQ(LoadXml(clookup, Doc(Rec("CAP_SECOND", "2001", "4", "4", Val("c", "TWXX_C", "3")))), OS_STS_OK);
    EXPECT_EQ(clookup.GetRecordCount(), 1);
    EXPECT_EQ(clookup.Lookup("CAP_FIRST"), nullptr);
    EXPECT_EQ(clookup.Lookup("TWXX_B"), nullptr);
    EXPECT_NE(clookup.Lookup("TWXX_C"), nullptr);
}

TEST_F(LookupLoad, BrokenOrEmptyDocumentsLeaveAnEmptyTable)
{
    const char* const aszBad[] = {
        "<lookup><f>CAP_X</f><g>1</g>",                         // not closed
        "<lookup><f>CAP_X</f></g></lookup>",                     // crossed
        "this is not xml",
        "",
        "<lookup bytes=\"1\"></lookup>",                         // no record
        "<other><f>CAP_X</f><g>1</g></other>",                  // another root
    };
    for (const char* szBad : aszBad)
    {
        CLookup clookup;
        EXPECT_NE(LoadXml(clookup, szBad), OS_STS_OK) << szBad;
        EXPECT_EQ(clookup.GetRecordCount(), 0) << szBad;
        EXPECT_EQ(clookup.Lookup("CAP_X"), nullptr) << szBad;
        EXPECT_EQ(clookup.Lookup(ETWLOOKUP_CAP, 1, 0, -1), nullptr) << szBad;
    }
}

TEST_F(LookupLoad, MissingLookupFileSaysSoAndLeavesTheTableEmpty)
{
    e2e::TempDir dir;
    lookuptest::InDir indir(dir.Path());
    ASSERT_TRUE(indir.Ok());
    setenv("TORVIX_PATH_SOURCE", (dir / "nowhere").c_str(), 1);
    CLookup clookup;
    testing::internal::CaptureStderr();
    EOSSTS eossts = clookup.Load();
    std::string szErr = testing::internal::GetCapturedStderr();
    unsetenv("TORVIX_PATH_SOURCE");
    EXPECT_NE(eossts, OS_STS_OK);
    EXPECT_EQ(szErr, "Sorry, couldn't find the lookup file...\r\n");
    EXPECT_EQ(clookup.GetRecordCount(), 0);
    EXPECT_EQ(clookup.Lookup("TWRC_SUCCESS"), nullptr);
    EXPECT_EQ(clookup.Lookup(ETWLOOKUP_TWRC, 0, 0, -1), nullptr);
    TW_UINT16 u16 = 0;
    EXPECT_EQ(clookup.LookupEnum("CAP_LANGUAGE", "TWLG_ENGLISH_USA", &u16), 0);
}

TEST_F(LookupLoad, LookupFileUnderTheSourceFolder)
{
    e2e::TempDir dir;
    std::filesystem::create_directories(dir / "src/main2/lib/database/data");
    e2e::WriteFile(dir / "src/main2/lib/database/data/lookup.edres", Doc(Rec("CAP_FROMSOURCE", "2000", "4", "5")));
    std::filesystem::create_directories(dir / "run");
    lookuptest::InDir indir(dir / "run");
    ASSERT_TRUE(indir.Ok());
    setenv("TORVIX_PATH_SOURCE", (dir / "src").c_str(), 1);
    CLookup clookup;
    EOSSTS eossts = clookup.Load();
    unsetenv("TORVIX_PATH_SOURCE");
    EXPECT_EQ(eossts, OS_STS_OK);
    EXPECT_NE(clookup.Lookup("CAP_FROMSOURCE"), nullptr);
}

TEST_F(LookupLoad, WithoutARecordBlockLoadFailsCleanly)
{
    COsMem* posmemSaved = g_posmem;
    g_posmem = nullptr;     // the block cannot be allocated
    CLookup* pclookup = new CLookup;
    g_posmem = posmemSaved;
    EXPECT_NE(LoadXml(*pclookup, Doc(Rec("CAP_X", "2000", "4", "5"))), OS_STS_OK);
    EXPECT_EQ(pclookup->GetRecordCount(), 0);
    EXPECT_EQ(pclookup->GetRecord(0), nullptr);
    EXPECT_EQ(pclookup->Lookup("CAP_X"), nullptr);
    EXPECT_EQ(pclookup->Lookup(ETWLOOKUP_CAP, 0x2000, 0, -1), nullptr);
    char sz[8];
    EXPECT_EQ(pclookup->LookupEnum("CAP_X", "TWXX_A", sz, sizeof(sz)), 0);
    delete pclookup;
}
