// test_os_mem.cpp
// Tracked memory, handles and mapped files. (The bit copies and the lock
// functions a caller may register are used by no part of the program.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "osservices.h"
#include "test_os_support.h"

class OsMemTest : public ::testing::Test
{
protected:
    OsTestServices m_services;
};

TEST_F(OsMemTest, AllocZeroFillsCountsAndFrees)
{
    ASSERT_NE(nullptr, g_posmem);
    uint64_t u64Before = g_posmem->GetAllocationCount();
    unsigned char* pu8 = static_cast<unsigned char*>(g_posmem->Alloc(1000, __FILE__, __LINE__, OS_LOGFLAG_MEM, false, "block"));
    ASSERT_NE(nullptr, pu8);
    for (int ii = 0; ii < 1000; ii++)
    {
        ASSERT_EQ(0, pu8[ii]);
    }
    EXPECT_EQ(u64Before + 1, g_posmem->GetAllocationCount());
    EXPECT_EQ(OS_STS_OK, g_posmem->Free(pu8, __FILE__, __LINE__));
    EXPECT_EQ(u64Before, g_posmem->GetAllocationCount());
}

TEST_F(OsMemTest, AllocRefusesZeroAndImpossibleSizes)
{
    EXPECT_EQ(nullptr, g_posmem->Alloc(0, __FILE__, __LINE__));
    EXPECT_EQ(nullptr, g_posmem->Alloc(~0ULL, __FILE__, __LINE__));
    EXPECT_TRUE(m_services.LogHas("OsMemAlloc failed..."));
    // (the free list itself is shown by the mem command: test_e2e_shell.cpp)
    EXPECT_EQ(OS_STS_FAIL, g_posmem->GetFreeContiguousList(nullptr));
    EXPECT_TRUE(m_services.LogHas("mem>>> a_posmemlist is null..."));
}

TEST_F(OsMemTest, FreeRefusesAPointerItDidNotHandOut)
{
    int iLocal = 0;
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, g_posmem->Free(&iLocal, __FILE__, __LINE__));
    EXPECT_TRUE(m_services.LogHas("OsMemFree refused an unknown block"));
    EXPECT_EQ(OS_STS_OK, g_posmem->Free(nullptr, __FILE__, __LINE__));
}

TEST_F(OsMemTest, FreeNotOwnerReleasesOursAndForeignBlocks)
{
    void* pvOurs = g_posmem->AllocNotOwner(64, __FILE__, __LINE__, OS_LOGFLAG_MEMNOTOWNER, true, nullptr);
    ASSERT_NE(nullptr, pvOurs);
    uint64_t u64Count = g_posmem->GetAllocationCount();
    EXPECT_EQ(OS_STS_OK, g_posmem->FreeNotOwner(pvOurs, __FILE__, __LINE__));
    EXPECT_EQ(u64Count - 1, g_posmem->GetAllocationCount());
    void* pvForeign = malloc(32);   // as a Data Source would allocate it
    EXPECT_EQ(OS_STS_OK, g_posmem->FreeNotOwner(pvForeign, __FILE__, __LINE__));
}

TEST_F(OsMemTest, LockWithoutLockFunctionsGivesTheHandle)
{
    int iHandle = 0;
    EXPECT_EQ(&iHandle, g_posmem->Lock(&iHandle));
    EXPECT_EQ(OS_STS_OK, g_posmem->Unlock(&iHandle));
    EXPECT_EQ(nullptr, g_posmem->Lock(nullptr));
    EXPECT_TRUE(m_services.LogHas("mem>>> a_handle is null..."));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, g_posmem->Unlock(nullptr));
}

TEST_F(OsMemTest, SharedAllocMapsAFileAndGetSettingsGivesItsSize)
{
    std::string szPath = m_services.Dir() / "script.txt";
    e2e::WriteFile(szPath, "echo hello\n");
    const char* sz = static_cast<const char*>(g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, szPath.c_str()));
    ASSERT_NE(nullptr, sz);
    OsMemSettings osmemsettings;
    ASSERT_EQ(OS_STS_OK, g_posmem->GetSettings(szPath.c_str(), &osmemsettings, 0));
    EXPECT_EQ(11u, osmemsettings.u64Size);
    EXPECT_EQ(0, memcmp(sz, "echo hello\n", 11));
    EXPECT_EQ(OS_STS_OK, g_posmem->Free(const_cast<char*>(sz), __FILE__, __LINE__));
    EXPECT_EQ(OS_STS_NOT_FOUND, g_posmem->GetSettings(szPath.c_str(), &osmemsettings, 0));

    std::string szEmpty = m_services.Dir() / "empty.txt";
    e2e::WriteFile(szEmpty, "");
    void* pvEmpty = g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, szEmpty.c_str());
    ASSERT_NE(nullptr, pvEmpty);
    ASSERT_EQ(OS_STS_OK, g_posmem->GetSettings(szEmpty.c_str(), &osmemsettings, 0));
    EXPECT_EQ(0u, osmemsettings.u64Size);
    g_posmem->Free(pvEmpty, __FILE__, __LINE__);

    EXPECT_EQ(nullptr, g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, (m_services.Dir() / "missing").c_str()));
    EXPECT_EQ(nullptr, g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, m_services.Dir().Path().c_str()));
}
