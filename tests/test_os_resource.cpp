// test_os_resource.cpp
// The resource archive appended to a file: round trips and hostile footers.
// The program reading its own archive: test_e2e_embedded.cpp, test_twain_defs.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "osservices.h"
#include "test_os_support.h"

#define FOOTER_SIZE (64 * 56)

class OsResourceTest : public ::testing::Test
{
protected:
    OsTestServices  m_services;
    std::string     m_szFile = m_services.Dir() / "program";
    std::string     m_szBody = "\x7f" "ELF pretend program body";

    void SetUp() override
    {
        e2e::WriteFile(m_szFile, m_szBody);
        chmod(m_szFile.c_str(), 0755);
    }

    std::string Resource(const char* a_szName, EOSSTS* a_peossts = nullptr)
    {
        COsResource osresource;
        EOSSTS eossts = osresource.Open(m_szFile.c_str(), a_szName, 1);
        if (a_peossts)
        {
            *a_peossts = eossts;
        }
        if (eossts != OS_STS_OK)
        {
            return "<none>";
        }
        std::string szData(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
        // The bytes are followed by a zero byte.
        EXPECT_EQ('\0', static_cast<const char*>(osresource.GetPointer())[osresource.GetSize()]);
        return szData;
    }

    EOSSTS Update(const char* a_szName, const std::string& a_szData)
    {
        COsResource osresource;
        return osresource.Update(m_szFile.c_str(), a_szName, 1, a_szData.size(), a_szData.empty() ? nullptr : a_szData.data(), false, nullptr);
    }
};

TEST_F(OsResourceTest, AddReplaceAndRemoveKeepTheOriginalBody)
{
    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", "echo one\n"));
    ASSERT_EQ(OS_STS_OK, Update("LOOKUP", "<lookup/>"));
    EXPECT_EQ("echo one\n", Resource("SCRIPT"));
    EXPECT_EQ("<lookup/>", Resource("lookup"));     // names ignore case
    std::string szFile = e2e::ReadFile(m_szFile);
    ASSERT_EQ(m_szBody.size() + 9 + 9 + FOOTER_SIZE, szFile.size());
    EXPECT_EQ(m_szBody, szFile.substr(0, m_szBody.size()));
    EXPECT_EQ(0, memcmp(szFile.data() + szFile.size() - 56, "@!@zav@!@", 10));

    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", "a longer replacement script\n"));
    EXPECT_EQ("a longer replacement script\n", Resource("SCRIPT"));
    EXPECT_EQ("<lookup/>", Resource("LOOKUP"));
    EXPECT_EQ(m_szBody.size() + 28 + 9 + FOOTER_SIZE, std::filesystem::file_size(m_szFile));

    ASSERT_EQ(OS_STS_OK, Update("LOOKUP", ""));      // size 0 removes
    EXPECT_EQ("<none>", Resource("LOOKUP"));
    EXPECT_EQ("a longer replacement script\n", Resource("SCRIPT"));
    EXPECT_EQ(OS_STS_NOT_FOUND, Update("LOOKUP", ""));

    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", ""));      // the last one: the archive goes
    EXPECT_EQ(m_szBody, e2e::ReadFile(m_szFile));
    struct stat statFile;
    ASSERT_EQ(0, stat(m_szFile.c_str(), &statFile));
    EXPECT_EQ(0755u, statFile.st_mode & 0777);
}

TEST_F(OsResourceTest, UpdateRefusesBadNamesAndMissingFiles)
{
    COsResource osresource;
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, osresource.Update(m_szFile.c_str(), std::string(32, 'N').c_str(), 1, 1, "x", false, nullptr));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, osresource.Update(m_szFile.c_str(), "", 1, 1, "x", false, nullptr));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, osresource.Update(m_szFile.c_str(), "@!@zav@!@", 1, 1, "x", false, nullptr));
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, osresource.Update((m_services.Dir() / "missing").c_str(), "SCRIPT", 1, 1, "x", false, nullptr));
    EXPECT_EQ(OS_STS_OK, osresource.Update(m_szFile.c_str(), std::string(31, 'N').c_str(), 1, 1, "x", false, nullptr));
    EXPECT_EQ("x", Resource(std::string(31, 'N').c_str()));
}

TEST_F(OsResourceTest, TheArchiveHoldsAtMostSixtyThreeResources)
{
    for (int ii = 0; ii < 63; ii++)
    {
        ASSERT_EQ(OS_STS_OK, Update(("R" + std::to_string(ii)).c_str(), std::to_string(ii)));
    }
    EXPECT_EQ(OS_STS_FAIL, Update("ONEMORE", "x"));
    EXPECT_EQ(OS_STS_OK, Update("R5", "replaced"));     // replacing still works
    EXPECT_EQ("replaced", Resource("R5"));
    EXPECT_EQ("62", Resource("R62"));
}

// Rewrite one 64-bit field of the footer's slot.
static void OsResourcePatch(const std::string& a_szFile, int a_iSlot, int a_iField, uint64_t a_u64Value)
{
    std::fstream fstreamFile(a_szFile, std::ios::in | std::ios::out | std::ios::binary);
    fstreamFile.seekp(0, std::ios::end);
    std::streamoff iSize = fstreamFile.tellp();
    fstreamFile.seekp(iSize - FOOTER_SIZE + (a_iSlot * 56) + 32 + (a_iField * 8));
    fstreamFile.write(reinterpret_cast<const char*>(&a_u64Value), sizeof(a_u64Value));
}

TEST_F(OsResourceTest, HostileFootersAreRefused)
{
    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", "echo\n"));
    std::string szGood = e2e::ReadFile(m_szFile);
    const uint64_t u64FileSize = szGood.size();

    struct
    {
        int         iSlot;
        int         iField;
        uint64_t    u64Value;
    } aPatch[] = {
        {0, 0, u64FileSize},                // data beyond the footer
        {0, 1, 0xFFFFFFFFFFFFFFF0ULL},      // size wrapping around
        {0, 0, 0},                          // data inside the original body
        {63, 0, u64FileSize + 5},           // marker offset past the end
        {63, 1, 12345},                     // marker length that does not describe the file
    };
    for (const auto& patch : aPatch)
    {
        e2e::WriteFile(m_szFile, szGood);
        OsResourcePatch(m_szFile, patch.iSlot, patch.iField, patch.u64Value);
        EOSSTS eossts;
        EXPECT_EQ("<none>", Resource("SCRIPT", &eossts));
        EXPECT_EQ(OS_STS_FAIL, eossts);
        // A damaged archive is not rewritten.
        std::string szBefore = e2e::ReadFile(m_szFile);
        EXPECT_EQ(OS_STS_FAIL, Update("OTHER", "x"));
        EXPECT_EQ(szBefore, e2e::ReadFile(m_szFile));
    }
    EXPECT_TRUE(m_services.LogHas("res>>> damaged archive"));
}

TEST_F(OsResourceTest, ANameWithoutTerminatorIsRefused)
{
    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", "echo\n"));
    std::string szFile = e2e::ReadFile(m_szFile);
    memset(&szFile[szFile.size() - FOOTER_SIZE], 'A', 32);
    e2e::WriteFile(m_szFile, szFile);
    EOSSTS eossts;
    Resource("SCRIPT", &eossts);
    EXPECT_EQ(OS_STS_FAIL, eossts);
}

// (a program without an archive: test_e2e_embedded.cpp)
TEST_F(OsResourceTest, ShortFilesAndForeignFootersHoldNoArchive)
{
    COsResource osresource;
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, osresource.Open((m_services.Dir() / "missing").c_str(), "SCRIPT", 1));
    EXPECT_EQ(nullptr, osresource.GetPointer());
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, osresource.Open(m_szFile.c_str(), nullptr, 1));
    e2e::WriteFile(m_szFile, "");
    EOSSTS eossts;
    Resource("SCRIPT", &eossts);
    EXPECT_EQ(OS_STS_NOT_FOUND, eossts);
    e2e::WriteFile(m_szFile, std::string(FOOTER_SIZE * 2, '\x55'));
    Resource("SCRIPT", &eossts);
    EXPECT_EQ(OS_STS_NOT_FOUND, eossts);
    ASSERT_EQ(OS_STS_OK, Update("SCRIPT", "s"));
    EXPECT_EQ("s", Resource("SCRIPT"));
}
