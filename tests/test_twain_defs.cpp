// test_twain_defs.cpp
// The TWAIN definitions of this build and the program's symbol table as
// built: the helpers every component shares, unaligned access to packed
// structures, the agreement between the constants of twaindefs.h and the
// values of the symbol table; the generated XML is what the source table
// says, it loads into exactly the source's records and values, and it
// travels inside the built executables as their LOOKUP resource (which every
// end-to-end run, in a folder without a lookup file, reads its names from).

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "clookup.h"
#include "twaindefs.h"
#include "test_twain_lookup_support.h"

using lookuptest::LoadXml;
using lookuptest::Services;

TEST(TwainDefs, ItemSizesByType)
{
    struct { unsigned type; size_t size; } const aSizes[] = {
        { TWTY_INT8, 1 }, { TWTY_INT16, 2 }, { TWTY_INT32, 8 }, { TWTY_UINT8, 1 }, { TWTY_UINT16, 2 },
        { TWTY_UINT32, 8 }, { TWTY_BOOL, 2 }, { TWTY_FIX32, 4 }, { TWTY_FRAME, 16 }, { TWTY_STR32, 34 },
        { TWTY_STR64, 66 }, { TWTY_STR128, 130 }, { TWTY_STR255, 256 }, { TWTY_STR1024, 1026 },
        { TWTY_FRAMEANGLE, 24 }, { 0x10, 0 }, { 0x7FFF, 0 }, { 0x8002, 0 },
    };
    for (const auto& s : aSizes)
    {
        EXPECT_EQ(TwItemSize(s.type), s.size) << "type 0x" << std::hex << s.type;
    }
    EXPECT_EQ(TwItemSize(TWTY_FRAMEANGLE), sizeof(TW_FRAMEANGLE));
    EXPECT_EQ(TwItemSize(TWTY_FRAME), sizeof(TW_FRAME));
}

TEST(TwainDefs, Fix32FromAndToNumbers)
{
    // Each row: a number and its FIX32. A negative value reads back as itself:
    // the whole part is the floor and the unsigned fraction adds to it.
    struct
    {
        double d;
        int iWhole;
        int iFrac;     // -1: out of range, any fraction
        bool blBack;   // reads back as the number
    } const cases[] = {
        {1.5, 1, 32768, true},        {8.5, 8, 0x8000, true},    {300.0, 300, 0, true},  {100.25, 100, 16384, true},
        {-7.0, -7, 0, true},          {-1.5, -2, 0x8000, true},  {-1.25, -2, 0xC000, true},
        {0.999999, 0, 65535, false},  // truncated, not rounded
        {1e9, 32767, -1, false},      {-1e9, -32768, 0, false},  {std::nan(""), 0, 0, false},
    };
    for (const auto& c : cases)
    {
        TW_FIX32 fix = TwDoubleToFix32(c.d);
        EXPECT_EQ(fix.Whole, c.iWhole) << c.d;
        EXPECT_TRUE(c.iFrac < 0 || fix.Frac == c.iFrac) << c.d;
        EXPECT_TRUE(!c.blBack || TwFix32ToDouble(fix) == c.d) << c.d;
    }
    // The packed 32-bit item: Whole in the low half, Frac in the high half.
    TW_FIX32 fix = { 1, 0x8000 };
    EXPECT_EQ(TwFix32ToU32(fix), 0x80000001UL);
    TW_FIX32 fixBack = TwU32ToFix32(0x80000001UL);
    EXPECT_EQ(fixBack.Whole, 1);
    EXPECT_EQ(fixBack.Frac, 0x8000);
}

// Items of an enumeration start at byte 26, so 8-byte items sit at
// addresses that are not multiples of 8: the helpers copy them safely.
TEST(TwainDefs, UnalignedItemsOfAnEnumeration)
{
    alignas(8) unsigned char abContainer[26 + 4 * 8 + 1] = {};
    unsigned char* pbBase = abContainer + 1;     // misaligned even for the container itself
    TwSetU16(pbBase, TWTY_UINT32);
    TwSetU32(pbBase + offsetof(TW_ENUMERATION, NumItems), 4);
    TwSetU32(pbBase + offsetof(TW_ENUMERATION, CurrentIndex), 2);
    for (int ii = 0; ii < 4; ii++)
    {
        TwSetU32(pbBase + offsetof(TW_ENUMERATION, ItemList) + ii * TwItemSize(TWTY_UINT32), 0x10000000UL * (ii + 1) + ii);
    }
    EXPECT_EQ(TwGetU16(pbBase), TWTY_UINT32);
    EXPECT_EQ(TwGetU32(pbBase + offsetof(TW_ENUMERATION, NumItems)), 4UL);
    EXPECT_EQ(TwGetU32(pbBase + offsetof(TW_ENUMERATION, CurrentIndex)), 2UL);
    EXPECT_EQ(TwGetU32(pbBase + 26 + 3 * 8), 0x40000003UL);
    // Byte order of the item: little-endian, low half first.
    EXPECT_EQ(pbBase[26 + 8], 0x01);
    EXPECT_EQ(pbBase[26 + 8 + 3], 0x20);

    TwSetI32(pbBase + 26, -5);
    EXPECT_EQ(TwGetI32(pbBase + 26), -5L);
    TW_FIX32 fix = { -3, 7 };
    TwSetFix32(pbBase + 27, fix);
    EXPECT_EQ(TwGetFix32(pbBase + 27).Whole, -3);
    EXPECT_EQ(TwGetFix32(pbBase + 27).Frac, 7);
    int iTarget = 0;
    TwSetPtr(pbBase + 3, &iTarget);
    EXPECT_EQ(TwGetPtr(pbBase + 3), &iTarget);
}

// The structures read field by field through their documented offsets.
TEST(TwainDefs, FieldsSitAtTheirOffsets)
{
    TW_IDENTITY twidentity = {};
    twidentity.SupportedGroups = DF_APP2 | DG_CONTROL | DG_IMAGE;
    twidentity.Id = 0x0102030405060708UL;
    strcpy(twidentity.ProductName, "Dravo #0");
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(&twidentity);
    EXPECT_EQ(TwGetU32(pb + 54), 0x20000003UL);
    EXPECT_EQ(pb[0], 0x08);
    EXPECT_STREQ(reinterpret_cast<const char*>(pb + 130), "Dravo #0");

    TW_DEVICEEVENT twdeviceevent = {};
    twdeviceevent.Event = TWDE_LAMPWARMUP;
    twdeviceevent.TimeBeforeFirstCapture = 1234;
    pb = reinterpret_cast<const unsigned char*>(&twdeviceevent);
    EXPECT_EQ(TwGetU32(pb), 0x8002UL);
    EXPECT_EQ(TwGetU32(pb + 306), 1234UL);

    TW_ONEVALUE twonevalue;
    twonevalue.ItemType = TWTY_FIX32;
    twonevalue.Item = TwFix32ToU32(TwDoubleToFix32(2.5));
    pb = reinterpret_cast<const unsigned char*>(&twonevalue);
    EXPECT_EQ(TwFix32ToDouble(TwGetFix32(pb + 2)), 2.5);
}

// ---------------------------------------------------------------------------
// twaindefs.h against the symbol table
// ---------------------------------------------------------------------------
namespace
{

// The "#define NAME VALUE" lines of the headers with a number or the name of
// an earlier one as value, as their 32-bit patterns.
std::map<std::string, uint32_t> HeaderConstants()
{
    std::map<std::string, uint32_t> mapValues;
    std::istringstream in(e2e::ReadFile(std::string(DRAVO_SOURCE_DIR) + "/twain/twaindefs.h") + "\n" +
                          e2e::ReadFile(std::string(DRAVO_SOURCE_DIR) + "/twain/twaindefs_caps.h"));
    std::string szLine;
    while (std::getline(in, szLine))
    {
        std::istringstream words(szLine);
        std::string szDefine, szName, szValue;
        if (!(words >> szDefine >> szName >> szValue) || (szDefine != "#define"))
        {
            continue;
        }
        // "(-1)" and "0x8000UL"
        std::string sz;
        for (char c : szValue)
        {
            if ((c != '(') && (c != ')'))
            {
                sz += c;
            }
        }
        while (!sz.empty() && ((sz.back() == 'U') || (sz.back() == 'L')))
        {
            sz.pop_back();
        }
        if (sz.empty())
        {
            continue;
        }
        if (std::isalpha(static_cast<unsigned char>(sz[0])) || (sz[0] == '_'))
        {
            auto it = mapValues.find(sz);
            if (it != mapValues.end())
            {
                mapValues[szName] = it->second;
            }
            continue;
        }
        char* szEnd = nullptr;
        long long ll = std::strtoll(sz.c_str(), &szEnd, 0);
        if ((szEnd != nullptr) && (*szEnd == '\0'))
        {
            mapValues[szName] = static_cast<uint32_t>(ll);
        }
    }
    return mapValues;
}

} // namespace

TEST(TwainDefs, HeaderConstantsEqualTheSymbolTable)
{
    std::vector<lookuptab::Record> records;
    std::string szError;
    ASSERT_TRUE(lookuptest::SourceTable(records, szError)) << szError;
    std::map<std::string, uint32_t> mapHeader = HeaderConstants();

    // Every symbol both know: the first value in table order equals the header's,
    // and a symbol repeated across capabilities keeps its value. By name the
    // table's TWRC_BUSY is the custom 0x8001; the header keeps the standard's 10.
    mapHeader["TWRC_BUSY"] = TWRC_BUSY_CUSTOM;
    std::map<std::string, uint32_t> mapFirst;
    size_t nCompared = 0;
    for (const lookuptab::Record& r : records)
    {
        for (const lookuptab::Value& v : r.values)
        {
            auto itFirst = mapFirst.find(v.symbol);
            if (itFirst == mapFirst.end())
            {
                mapFirst[v.symbol] = v.value;
                auto it = mapHeader.find(v.symbol);
                if (it != mapHeader.end())
                {
                    EXPECT_EQ(v.value, it->second) << v.symbol << " in " << r.name;
                    nCompared++;
                }
            }
            else if (!r.family)
            {
                EXPECT_EQ(v.value, itFirst->second) << v.symbol << " in " << r.name;
            }
        }
    }
    EXPECT_GT(nCompared, 600u);

    // Every capability of the table is in the header with the same id, and
    // every capability and family constant of the header is in the table.
    std::map<std::string, uint32_t> mapCaps;
    for (const lookuptab::Record& r : records)
    {
        if (r.family)
        {
            continue;
        }
        mapCaps[r.name] = r.id;
        auto it = mapHeader.find(r.name);
        ASSERT_NE(it, mapHeader.end()) << r.name << " is not in twaindefs.h";
        EXPECT_EQ(r.id, it->second) << r.name;
    }
    for (const auto& kv : mapHeader)
    {
        if (lookuptab::IsCapabilityName(kv.first) && (kv.first != "CAP_CUSTOMBASE") && (kv.first != "CAP_SUPPORTEDCAPSEXT"))
        {
            EXPECT_TRUE(mapCaps.count(kv.first)) << kv.first << " is not in the table";
        }
        for (const lookuptab::Record& r : records)
        {
            if (r.family && (kv.first.compare(0, r.name.size(), r.name) == 0) && (kv.first.find("CUSTOM") == std::string::npos) &&
                (kv.first != "DG_MASK") && (kv.first.compare(0, 13, "TWON_PROTOCOL") != 0))
            {
                EXPECT_TRUE(mapFirst.count(kv.first)) << kv.first << " is not in the table";
            }
        }
    }
}

namespace
{

class LookupBuilt : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Services::Start(); }
    static void TearDownTestSuite() { Services::Stop(); }

    void SetUp() override
    {
        std::string szError;
        ASSERT_TRUE(lookuptest::SourceTable(m_records, szError)) << szError;
        m_szXml = e2e::ReadFile(lookuptest::GeneratedXmlPath());
        ASSERT_FALSE(m_szXml.empty()) << "build the target dravo_lookup_xml first: " << lookuptest::GeneratedXmlPath();
    }

    std::vector<lookuptab::Record> m_records;
    std::string m_szXml;
};

} // namespace

TEST_F(LookupBuilt, GeneratedXmlIsTheSourceTable)
{
    // The build's XML was made from the current source (not a stale one).
    EXPECT_EQ(m_szXml, lookuptab::ToXml(m_records));
    // One line, with its counts (the records' layout is the generator's, and
    // the round trip below loads exactly the source's records).
    EXPECT_EQ(m_szXml.find('\n'), std::string::npos);
    EXPECT_EQ(m_szXml.compare(0, 15, "<lookup bytes=\""), 0);
    EXPECT_NE(m_szXml.find("\" records=\"" + std::to_string(m_records.size()) + "\""), std::string::npos);
    EXPECT_NE(m_szXml.find("<lookup bytes=\"" + std::to_string(m_szXml.size()) + "\""), std::string::npos);
}

TEST_F(LookupBuilt, SourceTableOrderAndLimits)
{
    const std::vector<std::string>& families = lookuptab::Families();
    ASSERT_GT(m_records.size(), families.size());
    for (size_t ii = 0; ii < families.size(); ii++)
    {
        EXPECT_EQ(m_records[ii].name, families[ii]);
    }
    for (size_t ii = families.size() + 1; ii < m_records.size(); ii++)
    {
        int iRankA = lookuptab::CapabilityRank(m_records[ii - 1].name);
        int iRankB = lookuptab::CapabilityRank(m_records[ii].name);
        EXPECT_TRUE((iRankA < iRankB) || ((iRankA == iRankB) && (m_records[ii - 1].name < m_records[ii].name)))
            << m_records[ii - 1].name << " before " << m_records[ii].name;
    }
    // The country list is the largest family, 239 values.
    EXPECT_EQ(m_records[9].values.size(), 239u);
}

TEST_F(LookupBuilt, RoundTripLoadsExactlyTheSourceRecordsAndValues)
{
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, m_szXml), OS_STS_OK);
    ASSERT_EQ(clookup.GetRecordCount(), static_cast<int>(m_records.size()));
    for (size_t ii = 0; ii < m_records.size(); ii++)
    {
        const lookuptab::Record& r = m_records[ii];
        const TwLookup* ptwlookup = clookup.GetRecord(static_cast<int>(ii));
        ASSERT_NE(ptwlookup, nullptr);
        EXPECT_EQ(ptwlookup->szName, r.name);
        EXPECT_EQ(ptwlookup->u32Id, r.id) << r.name;
        EXPECT_EQ(ptwlookup->u32ItemType, r.itemtype) << r.name;
        EXPECT_EQ(ptwlookup->u32ConType, r.contype) << r.name;
        if (r.values.empty())
        {
            EXPECT_EQ(ptwlookup->ptwenum, nullptr) << r.name;
            continue;
        }
        ASSERT_NE(ptwlookup->ptwenum, nullptr) << r.name;
        for (size_t ee = 0; ee < r.values.size(); ee++)
        {
            EXPECT_EQ(ptwlookup->ptwenum[ee].szSymbol, r.values[ee].symbol) << r.name;
            EXPECT_EQ(ptwlookup->ptwenum[ee].szName, r.values[ee].name) << r.values[ee].symbol;
            EXPECT_EQ(ptwlookup->ptwenum[ee].u32Value, r.values[ee].value) << r.values[ee].symbol;
        }
        if (r.values.size() < TWLOOKUP_VALUES)
        {
            EXPECT_EQ(ptwlookup->ptwenum[r.values.size()].szSymbol[0], '\0') << r.name;
        }
    }
}

// The friendly names of CAP_LANGUAGE are the language names the services
// layer knows (the shell hands them to COsLocale::SetLanguage).
TEST_F(LookupBuilt, LanguageNamesAreKnownToTheLocale)
{
    size_t nChecked = 0;
    for (const lookuptab::Record& r : m_records)
    {
        if (r.name != "CAP_LANGUAGE")
        {
            continue;
        }
        for (const lookuptab::Value& v : r.values)
        {
            EOSLANGUAGE eoslanguage = COsLocale::GetLanguageId(v.name.c_str());
            EXPECT_EQ(static_cast<int32_t>(eoslanguage), static_cast<int32_t>(v.value)) << v.symbol << " " << v.name;
            nChecked++;
        }
    }
    EXPECT_GT(nChecked, 100u);
}

// ---------------------------------------------------------------------------
// The LOOKUP resource
// ---------------------------------------------------------------------------
namespace
{

// The resource of a file, "" when it has none.
std::string ResourceOf(const std::string& a_szFile, const char* a_szName)
{
    COsResource osresource;
    if (osresource.Open(a_szFile.c_str(), a_szName, 0) != OS_STS_OK)
    {
        return "";
    }
    std::string sz(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
    osresource.Close();
    return sz;
}

int RunCommand(const std::string& a_szCommand)
{
    int iStatus = std::system(a_szCommand.c_str());
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

} // namespace

TEST_F(LookupBuilt, AppenderPutsTheTableIntoAnExecutableThatStillRuns)
{
    std::string szTool = std::string(DRAVO_BINARY_DIR) + "/tools/dravo-resappend";
    ASSERT_TRUE(std::filesystem::exists(szTool)) << "build the target dravo-resappend first";
    e2e::TempDir dir;
    std::string szExe = dir / "true-copy";
    std::filesystem::copy_file("/bin/true", szExe);

    ASSERT_EQ(RunCommand(szTool + " " + szExe + " LOOKUP " + lookuptest::GeneratedXmlPath()), 0);
    EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml);
    EXPECT_EQ(RunCommand(szExe), 0);
    // Appending again replaces it: one archive, same size.
    auto u64Size = std::filesystem::file_size(szExe);
    ASSERT_EQ(RunCommand(szTool + " " + szExe + " LOOKUP " + lookuptest::GeneratedXmlPath()), 0);
    EXPECT_EQ(std::filesystem::file_size(szExe), u64Size);
    EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml);
    // Bad use fails.
    EXPECT_NE(RunCommand(szTool + " " + szExe + " LOOKUP " + (dir / "missing.xml") + " 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(szTool + " 2>/dev/null"), 0);
}

TEST_F(LookupBuilt, BuiltExecutablesCarryTheTable)
{
    int nChecked = 0;
    for (const char* szName : { "dravo", "dravo-sim" })
    {
        std::string szExe = std::string(DRAVO_BINARY_DIR) + "/shell/" + szName;
        if (!std::filesystem::exists(szExe))
        {
            continue;
        }
        EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml) << szExe;
        nChecked++;
    }
    if (nChecked == 0)
    {
        GTEST_SKIP() << "the shell executables are not built";
    }
}
