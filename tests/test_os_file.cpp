// test_os_file.cpp
// Files, paths, searches and shared libraries. The plain line reader is
// exercised through the program's prompt (test_e2e_shell.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "osservices.h"
#include "test_os_support.h"

class OsFileTest : public ::testing::Test
{
protected:
    OsTestServices m_services;
    std::string Path(const char* a_szName) { return m_services.Dir() / a_szName; }
};

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

// Each row: the path operation on a buffer of the given size holding a text,
// its status and what the buffer holds after.
TEST_F(OsFileTest, PathsAreNormalisedAndNeverOverrunTheirBuffer)
{
    enum EOP { SET, APPEND, NORMALIZE };
    struct Case
    {
        EOP eop;
        size_t uSize;
        const char* szBefore;
        const char* szArg;   // for NORMALIZE: the separator
        EOSSTS eossts;
        const char* szAfter;
    };
    const Case acase[] = {
        {SET, 16, "old", "a\\b//c", OS_STS_OK, "a/b/c"},
        {SET, 16, "old", "123456789012345", OS_STS_OK, "123456789012345"},   // 15 + terminator
        {SET, 16, "old", "1234567890123456", OS_STS_DESTINATION_TOO_SMALL, ""},
        {SET, 16, "old", nullptr, OS_STS_BAD_ARGUMENT, "old"},
        {APPEND, 32, "/home/me", "file.txt", OS_STS_OK, "/home/me/file.txt"},
        {APPEND, 32, "/home/me/", "\\sub\\x", OS_STS_OK, "/home/me/sub/x"},
        {APPEND, 32, "/d", "C:\\dir\\f", OS_STS_OK, "/d/dir/f"},   // the drive letter goes
        {APPEND, 32, "", "rel", OS_STS_OK, "rel"},
        {APPEND, 10, "/abc", "defg", OS_STS_OK, "/abc/defg"},   // 9 characters
        {APPEND, 10, "/abc/defg", "h", OS_STS_DESTINATION_TOO_SMALL, "/abc/defg"},   // changes nothing
        {NORMALIZE, 32, "a//b\\\\c/\\d", "\\", OS_STS_OK, "a\\b\\c\\d"},
        {NORMALIZE, 32, "a\\b\\c\\d", "/", OS_STS_OK, "a/b/c/d"},
    };
    for (const Case& c : acase)
    {
        char szPath[32];
        snprintf(szPath, sizeof(szPath), "%s", c.szBefore);
        EOSSTS eossts = OS_STS_FAIL;
        switch (c.eop)
        {
            case SET: eossts = COsFile::PathSet(szPath, c.uSize, c.szArg); break;
            case APPEND: eossts = COsFile::PathAppend(szPath, c.uSize, c.szArg); break;
            case NORMALIZE: eossts = COsFile::PathNormalize(szPath, c.szArg[0]); break;
        }
        EXPECT_EQ(c.eossts, eossts) << c.szBefore << " " << (c.szArg ? c.szArg : "(null)");
        EXPECT_STREQ(c.szAfter, szPath) << c.szBefore << " " << (c.szArg ? c.szArg : "(null)");
    }
    EXPECT_TRUE(m_services.LogHas("buffer overflow...16 <1234567890123456>"));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsFile::PathNormalize(nullptr, '/'));
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

TEST_F(OsFileTest, OpenWriteReadSizeAndSeek)
{
    COsFile osfile;
    std::string szPath = Path("data.bin");
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, osfile.Open(szPath.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE));
    ASSERT_EQ(OS_STS_OK, osfile.Open(szPath.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE));
    EXPECT_TRUE(osfile.IsOpen());
    EXPECT_EQ(OS_STS_IN_USE, osfile.Open(szPath.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE));
    uint64_t u64Written = 0;
    EXPECT_EQ(OS_STS_OK, osfile.Write("0123456789", 10, &u64Written));
    EXPECT_EQ(10u, u64Written);
    EXPECT_EQ(7, osfile.Printf("<%s>\n", "abcd"));
    EXPECT_EQ(OS_STS_OK, osfile.Close());
    EXPECT_FALSE(osfile.IsOpen());

    ASSERT_EQ(OS_STS_OK, osfile.Open(szPath.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE));
    uint64_t u64Size = 0;
    EXPECT_EQ(OS_STS_OK, osfile.Size(&u64Size));
    EXPECT_EQ(17u, u64Size);
    char szBuffer[32] = "";
    uint64_t u64Read = 0;
    EXPECT_EQ(OS_STS_OK, osfile.SetFilePointer(OS_FILEPOINTER_END, -7));
    EXPECT_EQ(OS_STS_OK, osfile.Read(szBuffer, sizeof(szBuffer), &u64Read));
    EXPECT_EQ(7u, u64Read);
    EXPECT_EQ(0, memcmp(szBuffer, "<abcd>\n", 7));
    EXPECT_EQ(OS_STS_OK, osfile.SetFilePointer(OS_FILEPOINTER_BEGIN, 2));
    EXPECT_EQ(OS_STS_OK, osfile.SetFilePointer(OS_FILEPOINTER_CURRENT, 3));
    EXPECT_EQ(OS_STS_OK, osfile.Read(szBuffer, 2, &u64Read));
    EXPECT_EQ(0, memcmp(szBuffer, "56", 2));
    EXPECT_EQ(OS_STS_OK, osfile.SetFilePointer(OS_FILEPOINTER_END, 0));
    EXPECT_EQ(OS_STS_OK, osfile.Read(szBuffer, 2, &u64Read));
    EXPECT_EQ(0u, u64Read);

    // Open mode 3 keeps the content; mode 1 truncates.
    osfile.Close();
    ASSERT_EQ(OS_STS_OK, osfile.Open(szPath.c_str(), OS_FILEOPEN_ALWAYS, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE));
    osfile.Close();
    EXPECT_EQ(17u, std::filesystem::file_size(szPath));
    ASSERT_EQ(OS_STS_OK, osfile.Open(szPath.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE));
    osfile.Close();
    EXPECT_EQ(0u, std::filesystem::file_size(szPath));
}

TEST_F(OsFileTest, PrintfRefusesATextLargerThanItsBuffer)
{
    COsFile osfile;
    std::string szPath = Path("big.txt");
    ASSERT_EQ(OS_STS_OK, osfile.Open(szPath.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE));
    std::string szLarge(65536, 'x');
    EXPECT_EQ(-1, osfile.Printf("%s", szLarge.c_str()));
    std::string szFits(65535, 'y');
    EXPECT_EQ(65535, osfile.Printf("%s", szFits.c_str()));
    osfile.Close();
    EXPECT_EQ(65535u, std::filesystem::file_size(szPath));
}

TEST_F(OsFileTest, OpenRefusesFoldersAndClosedFilesRefuseIo)
{
    COsFile osfile;
    EXPECT_EQ(OS_STS_FAIL, osfile.Open(m_services.Dir().Path().c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE));
    char szBuffer[4];
    uint64_t u64Read = 99;
    EXPECT_NE(OS_STS_OK, osfile.Read(szBuffer, sizeof(szBuffer), &u64Read));
    EXPECT_EQ(0u, u64Read);
    EXPECT_EQ(-1, osfile.Printf("x"));
    EXPECT_EQ(OS_STS_OK, osfile.Close());
}

TEST_F(OsFileTest, ReadFileGivesATerminatedTrackedBuffer)
{
    std::string szPath = Path("text.txt");
    e2e::WriteFile(szPath, std::string("line1\nline2\0tail", 16));
    char* szBuffer = nullptr;
    uint64_t u64Size = 0;
    ASSERT_EQ(OS_STS_OK, COsFile::ReadFile(szPath.c_str(), &szBuffer, false, 0, &u64Size, 0));
    ASSERT_NE(nullptr, szBuffer);
    EXPECT_EQ(16u, u64Size);
    EXPECT_EQ(0, memcmp(szBuffer, "line1\nline2\0tail", 16));
    EXPECT_EQ('\0', szBuffer[16]);
    EXPECT_EQ(OS_STS_OK, g_posmem->Free(szBuffer, __FILE__, __LINE__));

    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::ReadFile(Path("missing").c_str(), &szBuffer, false, 0, &u64Size, 0));
    EXPECT_EQ(nullptr, szBuffer);
    EXPECT_EQ(OS_STS_FAIL, COsFile::ReadFile(m_services.Dir().Path().c_str(), &szBuffer, false, 0, &u64Size, 0));
}

TEST_F(OsFileTest, ReadFileReadsFilesThatReportNoSize)
{
    char* szBuffer = nullptr;
    uint64_t u64Size = 0;
    ASSERT_EQ(OS_STS_OK, COsFile::ReadFile("/proc/self/status", &szBuffer, false, 0, &u64Size, 0));
    EXPECT_GT(u64Size, 0u);
    EXPECT_NE(nullptr, strstr(szBuffer, "Name:"));
    g_posmem->Free(szBuffer, __FILE__, __LINE__);
}

// (a copy of the program that keeps its mode and runs: test_e2e_embedded.cpp)
TEST_F(OsFileTest, CopyRefusesCopyingOntoItselfAndAMissingSource)
{
    std::string szSource = Path("tool");
    std::string szTarget = Path("tool-copy");
    e2e::WriteFile(szSource, "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsFile::Copy(szSource.c_str(), szSource.c_str()));
    EXPECT_EQ(e2e::ReadFile(szSource), "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::Copy(Path("none").c_str(), szTarget.c_str()));
}

TEST_F(OsFileTest, CreateExistsAndDeleteByType)
{
    std::string szFolder = Path("a/b/c");
    EXPECT_FALSE(COsFile::Exists(szFolder.c_str()));
    EXPECT_EQ(OS_STS_OK, COsFile::Create(szFolder.c_str(), nullptr));
    EXPECT_TRUE(COsFile::Exists(szFolder.c_str()));
    EXPECT_EQ(OS_STS_OK, COsFile::Create(szFolder.c_str(), nullptr));   // already there
    std::string szFile = Path("a/file.txt");
    e2e::WriteFile(szFile, "x");
    EXPECT_EQ(OS_STS_ALREADY_EXISTS, COsFile::Create(szFile.c_str(), nullptr));
    EXPECT_EQ(OS_STS_FAIL, COsFile::Delete(szFile.c_str(), OS_FILETYPE_DIRECTORY, 0, false));
    EXPECT_TRUE(COsFile::Exists(szFile.c_str()));
    EXPECT_EQ(OS_STS_OK, COsFile::Delete(szFile.c_str(), OS_FILETYPE_FILE, 0, false));
    EXPECT_FALSE(COsFile::Exists(szFile.c_str()));
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::Delete(szFile.c_str(), OS_FILETYPE_FILE, 0, false));
    EXPECT_EQ(OS_STS_FAIL, COsFile::Delete(szFolder.c_str(), OS_FILETYPE_FILE, 0, false));
    EXPECT_EQ(OS_STS_OK, COsFile::Delete(szFolder.c_str(), OS_FILETYPE_DIRECTORY, 0, false));
    EXPECT_FALSE(COsFile::Exists(szFolder.c_str()));
    EXPECT_FALSE(COsFile::Exists(nullptr));
}

// (the round trip and a folder that is missing: the cd and pwd commands,
// test_e2e_shell.cpp)
TEST_F(OsFileTest, CurrentDirectoryRefusesASmallBufferAndNoFolder)
{
    char szSmall[4];
    EXPECT_EQ(OS_STS_DESTINATION_TOO_SMALL, COsFile::GetCurrentDir(szSmall, sizeof(szSmall)));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsFile::SetCurrentDir(nullptr));
}

// ---------------------------------------------------------------------------
// Searches
// ---------------------------------------------------------------------------

static std::vector<std::string> OsFileTestFind(const std::string& a_szPattern, std::vector<uint32_t>* a_pvectorType = nullptr)
{
    std::vector<std::string> vectorName;
    OsFileInfo osfileinfo;
    for (EOSSTS eossts = COsFile::FindFirst(a_szPattern.c_str(), &osfileinfo); eossts == OS_STS_OK;
         eossts = COsFile::FindNext(&osfileinfo))
    {
        vectorName.push_back(osfileinfo.szName);
        if (a_pvectorType)
        {
            a_pvectorType->push_back(osfileinfo.u32Type);
        }
    }
    COsFile::FindClose(&osfileinfo);
    return vectorName;
}

TEST_F(OsFileTest, FindMatchesStarAndQuestionMark)
{
    const std::string szDir = Path("find");
    std::filesystem::create_directory(szDir);
    for (const char* szName : {"a1.txt", "a22.txt", "b1.txt", "a1.log", ".hidden"})
    {
        e2e::WriteFile(szDir + "/" + szName, "x");
    }
    std::filesystem::create_directory(szDir + "/adir");
    EXPECT_EQ((std::vector<std::string>{"a1.txt", "a22.txt"}), OsFileTestFind(szDir + "/a*.txt"));
    EXPECT_EQ((std::vector<std::string>{"a1.txt", "b1.txt"}), OsFileTestFind(szDir + "/?1.txt"));
    EXPECT_EQ((std::vector<std::string>{"a1.log", "a1.txt"}), OsFileTestFind(szDir + "/a1.*"));
    EXPECT_EQ((std::vector<std::string>{"a22.txt"}), OsFileTestFind(szDir + "/a??.t?t"));
    EXPECT_TRUE(OsFileTestFind(szDir + "/z*").empty());
    std::vector<uint32_t> vectorType;
    std::vector<std::string> vectorAll = OsFileTestFind(szDir + "/*", &vectorType);
    EXPECT_EQ((std::vector<std::string>{".", "..", ".hidden", "a1.log", "a1.txt", "a22.txt", "adir", "b1.txt"}), vectorAll);
    ASSERT_EQ(8u, vectorType.size());
    EXPECT_EQ(OS_FILETYPE_DIRECTORY, vectorType[0]);
    EXPECT_EQ(OS_FILETYPE_FILE, vectorType[2]);
    EXPECT_EQ(OS_FILETYPE_DIRECTORY, vectorType[6]);
}

TEST_F(OsFileTest, FindGivesFullPathsAndSearchesTheCurrentFolder)
{
    e2e::WriteFile(Path("one.txt"), "x");
    OsFileInfo osfileinfo;
    ASSERT_EQ(OS_STS_OK, COsFile::FindFirst((m_services.Dir() / "one.txt").c_str(), &osfileinfo));
    EXPECT_STREQ("one.txt", osfileinfo.szName);
    EXPECT_EQ(m_services.Dir() / "one.txt", osfileinfo.szPath);
    EXPECT_EQ(OS_FILETYPE_FILE, osfileinfo.u32Type);
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::FindNext(&osfileinfo));
    COsFile::FindClose(&osfileinfo);

    char szSaved[1024];
    ASSERT_EQ(OS_STS_OK, COsFile::GetCurrentDir(szSaved, sizeof(szSaved)));
    ASSERT_EQ(OS_STS_OK, COsFile::SetCurrentDir(m_services.Dir().Path().c_str()));
    EXPECT_EQ((std::vector<std::string>{"one.txt"}), OsFileTestFind("*.txt"));
    ASSERT_EQ(OS_STS_OK, COsFile::SetCurrentDir(szSaved));

    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::FindFirst((m_services.Dir() / "none/*").c_str(), &osfileinfo));
    EXPECT_EQ(nullptr, osfileinfo.posfilefind);
    EXPECT_EQ(OS_STS_FILE_NOT_FOUND, COsFile::FindNext(&osfileinfo));
}

// ---------------------------------------------------------------------------
// Shared libraries
// ---------------------------------------------------------------------------

TEST_F(OsFileTest, SharedLibraryLoadGetProcFree)
{
    COsFile osfile;
    EXPECT_EQ(OS_STS_FAIL, osfile.SharedLibraryLoad(Path("nolib.so").c_str(), 0, "nolib", 0));
    ASSERT_EQ(OS_STS_OK, osfile.SharedLibraryLoad("libm.so.6", 0, "libm", 0));
    typedef double (*CosFunction)(double);
    CosFunction pfnCos = reinterpret_cast<CosFunction>(osfile.SharedLibraryGetProc("cos", nullptr, 0));
    ASSERT_NE(nullptr, pfnCos);
    EXPECT_DOUBLE_EQ(1.0, pfnCos(0.0));
    EXPECT_EQ(nullptr, osfile.SharedLibraryGetProc("no_such_symbol_here", nullptr, 0));
    EXPECT_EQ(OS_STS_IN_USE, osfile.SharedLibraryLoad("libm.so.6", 0, "libm", 0));
    EXPECT_EQ(OS_STS_OK, osfile.SharedLibraryFree());
    EXPECT_EQ(nullptr, osfile.SharedLibraryGetProc("cos", nullptr, 0));
}
