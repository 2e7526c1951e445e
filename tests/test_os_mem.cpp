// test_os_mem.cpp
// Tracked memory, handles, bit copies and mapped files.
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

static int s_iUnlocks = 0;
static char s_szLocked[16] = "locked";
static void* OsMemTestLock(void* a_handle)
{
    (void)a_handle;
    return s_szLocked;
}
static void OsMemTestUnlock(void* a_handle)
{
    (void)a_handle;
    s_iUnlocks++;
}

TEST_F(OsMemTest, LockUsesTheRegisteredFunctionsElseTheHandle)
{
    int iHandle = 0;
    EXPECT_EQ(&iHandle, g_posmem->Lock(&iHandle));
    EXPECT_EQ(OS_STS_OK, g_posmem->Unlock(&iHandle));
    EXPECT_EQ(nullptr, g_posmem->Lock(nullptr));
    EXPECT_TRUE(m_services.LogHas("mem>>> a_handle is null..."));

    g_posmem->SetLockFunctions(OsMemTestLock, OsMemTestUnlock);
    s_iUnlocks = 0;
    EXPECT_EQ(static_cast<void*>(s_szLocked), g_posmem->Lock(&iHandle));
    EXPECT_EQ(OS_STS_OK, g_posmem->Unlock(&iHandle));
    EXPECT_EQ(1, s_iUnlocks);
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, g_posmem->Unlock(nullptr));
    EXPECT_EQ(1, s_iUnlocks);
    g_posmem->SetLockFunctions(nullptr, nullptr);
}

TEST_F(OsMemTest, SharedAllocMapsAFileAndGetSettingsGivesItsSize)
{
    std::string szPath = m_services.Dir() / "script.txt";
    OsTestWriteFile(szPath, "echo hello\n");
    const char* sz = static_cast<const char*>(g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, szPath.c_str()));
    ASSERT_NE(nullptr, sz);
    OsMemSettings osmemsettings;
    ASSERT_EQ(OS_STS_OK, g_posmem->GetSettings(szPath.c_str(), &osmemsettings, 0));
    EXPECT_EQ(11u, osmemsettings.u64Size);
    EXPECT_EQ(0, memcmp(sz, "echo hello\n", 11));
    EXPECT_EQ(OS_STS_OK, g_posmem->Free(const_cast<char*>(sz), __FILE__, __LINE__));
    EXPECT_EQ(OS_STS_NOT_FOUND, g_posmem->GetSettings(szPath.c_str(), &osmemsettings, 0));

    std::string szEmpty = m_services.Dir() / "empty.txt";
    OsTestWriteFile(szEmpty, "");
    void* pvEmpty = g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, szEmpty.c_str());
    ASSERT_NE(nullptr, pvEmpty);
    ASSERT_EQ(OS_STS_OK, g_posmem->GetSettings(szEmpty.c_str(), &osmemsettings, 0));
    EXPECT_EQ(0u, osmemsettings.u64Size);
    g_posmem->Free(pvEmpty, __FILE__, __LINE__);

    EXPECT_EQ(nullptr, g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, (m_services.Dir() / "missing").c_str()));
    EXPECT_EQ(nullptr, g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, m_services.Dir().Path().c_str()));
}

// Bit copies: offset 0 is the most significant bit of the first byte.
TEST(OsMemBits, CpyBitsSetsAndReadsSingleBits)
{
    unsigned char au8Map[4] = {0, 0, 0, 0};
    unsigned char u8One = 0x80;
    EXPECT_EQ(0, COsMem::CpyBits(au8Map, 4, 0, &u8One, 1, 0, 1));
    EXPECT_EQ(0x80, au8Map[0]);
    EXPECT_EQ(0, COsMem::CpyBits(au8Map, 4, 15, &u8One, 1, 0, 1));
    EXPECT_EQ(0x01, au8Map[1]);
    EXPECT_EQ(0, COsMem::CpyBits(au8Map, 4, 31, &u8One, 1, 0, 1));
    EXPECT_EQ(0x01, au8Map[3]);
    unsigned char u8Read = 0;
    EXPECT_EQ(0, COsMem::CpyBits(&u8Read, 1, 7, au8Map, 4, 15, 1));
    EXPECT_EQ(0x01, u8Read);
    EXPECT_EQ(0, COsMem::CpyBits(&u8Read, 1, 7, au8Map, 4, 14, 1));
    EXPECT_EQ(0x00, u8Read);
    // Clearing a bit leaves its neighbours.
    unsigned char u8Zero = 0;
    au8Map[2] = 0xFF;
    EXPECT_EQ(0, COsMem::CpyBits(au8Map, 4, 20, &u8Zero, 1, 0, 1));
    EXPECT_EQ(0xF7, au8Map[2]);
}

TEST(OsMemBits, CpyBitsCopiesUnalignedRunsAcrossBytes)
{
    const unsigned char au8Src[2] = {0xA5, 0x3C};      // 1010 0101 0011 1100
    unsigned char au8Dst[3] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0, COsMem::CpyBits(au8Dst, 3, 3, au8Src, 2, 4, 8));  // bits 0101 0011 at offset 3
    EXPECT_EQ(0xEA, au8Dst[0]);    // 111 01010
    EXPECT_EQ(0x7F, au8Dst[1]);    // 011 11111
    EXPECT_EQ(0xFF, au8Dst[2]);
}

TEST(OsMemBits, CpyBitsRefusesBadRunsAndArguments)
{
    unsigned char au8Dst[2] = {0, 0};
    unsigned char u8Src = 0xFF;
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 2, 9, &u8Src, 1, 0, 8));  // past the destination
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 2, 0, &u8Src, 1, 1, 8));  // past the source
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 2, 0, &u8Src, 1, 0, 0));
    EXPECT_EQ(1, COsMem::CpyBits(nullptr, 2, 0, &u8Src, 1, 0, 1));
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 2, 0, nullptr, 1, 0, 1));
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 0, 0, &u8Src, 1, 0, 1));
    EXPECT_EQ(1, COsMem::CpyBits(au8Dst, 2, -1, &u8Src, 1, 0, 1));
    EXPECT_EQ(0, au8Dst[0]);
    EXPECT_EQ(0, au8Dst[1]);
    EXPECT_EQ(0, COsMem::CpyBits(au8Dst, 2, 8, &u8Src, 1, 0, 8));  // exactly to the end
    EXPECT_EQ(0xFF, au8Dst[1]);
}

TEST(OsMemBits, CpyBitsLogsTheAssertionLine)
{
    OsTestServices services;
    unsigned char u8 = 0;
    EXPECT_EQ(1, COsMem::CpyBits(&u8, 1, 0, &u8, 1, 0, 9));
    EXPECT_TRUE(services.LogHas("OsMemCpyBits failed..."));
}
