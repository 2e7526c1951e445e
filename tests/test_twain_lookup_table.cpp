// test_twain_lookup_table.cpp
// The program's symbol table as built: the generated XML is what the source
// table says, it loads into exactly the source's records and values, and it
// travels inside the built executables as their LOOKUP resource (which every
// end-to-end run, in a folder without a lookup file, reads its names from).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "clookup.h"
#include "test_twain_lookup_support.h"

using lookuptest::LoadXml;
using lookuptest::Services;

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
        m_szXml = lookuptest::ReadFile(lookuptest::GeneratedXmlPath());
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
    lookuptest::ScratchDir dir;
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
