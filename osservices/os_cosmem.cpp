// os_cosmem.cpp
// Tracked memory, memory handles, bit copies and mapped files.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "osservices.h"

// Larger requests are refused up front (the allocator could not serve them).
#define OSMEM_MAXALLOC (1ULL << 39)

struct OsMemBlock
{
    uint64_t        u64Size;
    EOSLOGFLAG      eoslogflag;
    const char*     szFile;
    int             iLine;
    bool            blMapped;       // a mapped file (munmap), else from calloc
    uint64_t        u64MapLength;   // the mapping's length (0: an empty file's placeholder)
    std::string     szName;
};

class COsMemImpl
{
public:
    std::mutex                              m_mutex;
    std::unordered_map<void*, OsMemBlock>   m_mapBlocks;
    uint64_t                                m_u64Bytes = 0;
    OsMemLockFunction                       m_pfnLock = nullptr;
    OsMemUnlockFunction                     m_pfnUnlock = nullptr;

    void* AllocBlock(uint64_t a_u64Size, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, const char* a_szName);
    EOSSTS FreeBlock(void* a_pv, const char* a_szFile, int a_iLine, bool a_blForeignToo);
};

void* COsMemImpl::AllocBlock(uint64_t a_u64Size, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, const char* a_szName)
{
    if (a_u64Size == 0)
    {
        OSLOG_ASSERT("mem>>> OsMemAlloc size is 0...%s:%d", a_szFile ? a_szFile : "?", a_iLine);
        return nullptr;
    }
    void* pv = nullptr;
    if (a_u64Size <= OSMEM_MAXALLOC)
    {
        pv = calloc(1, static_cast<size_t>(a_u64Size));
    }
    if (!pv)
    {
        OSLOG_ERROR("mem>>> OsMemAlloc failed...%llu bytes for %s:%d", static_cast<unsigned long long>(a_u64Size),
                    a_szFile ? a_szFile : "?", a_iLine);
        return nullptr;
    }
    try
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        OsMemBlock& block = m_mapBlocks[pv];
        block.u64Size = a_u64Size;
        block.eoslogflag = a_eoslogflag;
        block.szFile = a_szFile;
        block.iLine = a_iLine;
        block.blMapped = false;
        block.u64MapLength = 0;
        block.szName = a_szName ? a_szName : "";
        m_u64Bytes += a_u64Size;
    }
    catch (...)
    {
        free(pv);
        OSLOG_ERROR("mem>>> OsMemAlloc failed...tracking %llu bytes", static_cast<unsigned long long>(a_u64Size));
        return nullptr;
    }
    if (g_poslog && g_poslog->GetDebugLevel())
    {
        g_poslog->Message(a_szFile, a_iLine, a_eoslogflag, "mem>>> alloc %p %llu %s", pv,
                          static_cast<unsigned long long>(a_u64Size), a_szName ? a_szName : "");
    }
    return pv;
}

EOSSTS COsMemImpl::FreeBlock(void* a_pv, const char* a_szFile, int a_iLine, bool a_blForeignToo)
{
    if (!a_pv)
    {
        return OS_STS_OK;
    }
    OsMemBlock block;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_mapBlocks.find(a_pv);
        if (it == m_mapBlocks.end())
        {
            if (!a_blForeignToo)
            {
                OSLOG_ERROR("mem>>> OsMemFree refused an unknown block...%p %s:%d", a_pv, a_szFile ? a_szFile : "?", a_iLine);
                return OS_STS_BAD_ARGUMENT;
            }
            // A handle another component allocated with the C library.
            free(a_pv);
            return OS_STS_OK;
        }
        block = it->second;
        m_mapBlocks.erase(it);
        m_u64Bytes -= block.u64Size;
    }
    if (block.blMapped && (block.u64MapLength > 0))
    {
        munmap(a_pv, static_cast<size_t>(block.u64MapLength));
    }
    else
    {
        free(a_pv);
    }
    if (g_poslog && g_poslog->GetDebugLevel())
    {
        g_poslog->Message(a_szFile, a_iLine, OS_LOGFLAG_MEM, "mem>>> free %p %llu", a_pv,
                          static_cast<unsigned long long>(block.u64Size));
    }
    return OS_STS_OK;
}

COsMem::COsMem() : m_posmemimpl(nullptr)
{
    try
    {
        m_posmemimpl = new COsMemImpl;
    }
    catch (...)
    {
        m_posmemimpl = nullptr;
    }
}

COsMem::~COsMem()
{
    if (!m_posmemimpl)
    {
        return;
    }
    // Report and release what was never freed.
    std::vector<std::pair<void*, OsMemBlock>> vectorLeft(m_posmemimpl->m_mapBlocks.begin(), m_posmemimpl->m_mapBlocks.end());
    for (auto& item : vectorLeft)
    {
        if (!item.second.blMapped)
        {
            OSLOG_ERROR("mem>>> leak %p %llu bytes from %s:%d %s", item.first,
                        static_cast<unsigned long long>(item.second.u64Size),
                        item.second.szFile ? item.second.szFile : "?", item.second.iLine, item.second.szName.c_str());
        }
        m_posmemimpl->FreeBlock(item.first, __FILE__, __LINE__, false);
    }
    delete m_posmemimpl;
    m_posmemimpl = nullptr;
}

void* COsMem::Alloc(uint64_t a_u64Size, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, bool a_blLock, const char* a_szName)
{
    (void)a_blLock;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return nullptr;
    }
    return m_posmemimpl->AllocBlock(a_u64Size, a_szFile, a_iLine, a_eoslogflag, a_szName);
}

EOSSTS COsMem::Free(void* a_pv, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, bool a_blLock)
{
    (void)a_eoslogflag;
    (void)a_blLock;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return OS_STS_FAIL;
    }
    return m_posmemimpl->FreeBlock(a_pv, a_szFile, a_iLine, false);
}

void* COsMem::AllocNotOwner(uint64_t a_u64Size, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, bool a_blLock, const char* a_szName)
{
    (void)a_blLock;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return nullptr;
    }
    return m_posmemimpl->AllocBlock(a_u64Size, a_szFile, a_iLine, a_eoslogflag | OS_LOGFLAG_NOTOWNER, a_szName);
}

EOSSTS COsMem::FreeNotOwner(void* a_pv, const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, bool a_blLock)
{
    (void)a_eoslogflag;
    (void)a_blLock;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return OS_STS_FAIL;
    }
    return m_posmemimpl->FreeBlock(a_pv, a_szFile, a_iLine, true);
}

int COsMem::CpyBits(void* a_pvDst, int a_iDstSize, int a_iDstBitOffset, const void* a_pvSrc, int a_iSrcSize,
                    int a_iSrcBitOffset, int a_iBits)
{
    int64_t i64DstBits = static_cast<int64_t>(a_iDstSize) * 8;
    int64_t i64SrcBits = static_cast<int64_t>(a_iSrcSize) * 8;
    if (!a_pvDst || !a_pvSrc || (a_iDstSize <= 0) || (a_iSrcSize <= 0) || (a_iBits <= 0) || (a_iDstBitOffset < 0) ||
        (a_iSrcBitOffset < 0) || (static_cast<int64_t>(a_iDstBitOffset) + a_iBits > i64DstBits) ||
        (static_cast<int64_t>(a_iSrcBitOffset) + a_iBits > i64SrcBits))
    {
        OSLOG_ASSERT("OsMemCpyBits failed...%p %d %d %p %d %d %d %d %d", a_pvDst, a_iDstSize, a_iDstBitOffset, a_pvSrc,
                     a_iSrcSize, a_iSrcBitOffset, a_iBits, static_cast<int>(i64DstBits), static_cast<int>(i64SrcBits));
        return 1;
    }
    // Take the source bytes of the run first, so overlapping runs copy correctly.
    int iFirstByte = a_iSrcBitOffset / 8;
    int iLastByte = (a_iSrcBitOffset + a_iBits - 1) / 8;
    std::vector<uint8_t> vectorSrc(static_cast<const uint8_t*>(a_pvSrc) + iFirstByte,
                                   static_cast<const uint8_t*>(a_pvSrc) + iLastByte + 1);
    uint8_t* pu8Dst = static_cast<uint8_t*>(a_pvDst);
    int iSrcBit = a_iSrcBitOffset - (iFirstByte * 8);
    for (int ii = 0; ii < a_iBits; ii++, iSrcBit++)
    {
        int iBit = (vectorSrc[static_cast<size_t>(iSrcBit / 8)] >> (7 - (iSrcBit % 8))) & 1;
        int iDst = a_iDstBitOffset + ii;
        uint8_t u8Mask = static_cast<uint8_t>(0x80 >> (iDst % 8));
        if (iBit)
        {
            pu8Dst[iDst / 8] |= u8Mask;
        }
        else
        {
            pu8Dst[iDst / 8] &= static_cast<uint8_t>(~u8Mask);
        }
    }
    return 0;
}

EOSSTS COsMem::GetFreeContiguousList(OsMemList* a_posmemlist)
{
    if (!a_posmemlist)
    {
        OSLOG_ASSERT("mem>>> a_posmemlist is null...");
        return OS_STS_FAIL;
    }
    memset(a_posmemlist, 0, sizeof(*a_posmemlist));
    a_posmemlist->u32Count = 1;
    a_posmemlist->au64Size[0] = 1073741824ULL;
    return OS_STS_OK;
}

void* COsMem::Lock(void* a_handle)
{
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return nullptr;
    }
    if (!a_handle)
    {
        OSLOG_ASSERT("mem>>> a_handle is null...");
        return nullptr;
    }
    OsMemLockFunction pfnLock = m_posmemimpl->m_pfnLock;
    return pfnLock ? pfnLock(a_handle) : a_handle;
}

EOSSTS COsMem::Unlock(void* a_handle)
{
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_handle)
    {
        OSLOG_ASSERT("mem>>> a_handle is null...");
        return OS_STS_BAD_ARGUMENT;
    }
    OsMemUnlockFunction pfnUnlock = m_posmemimpl->m_pfnUnlock;
    if (pfnUnlock)
    {
        pfnUnlock(a_handle);
    }
    return OS_STS_OK;
}

EOSSTS COsMem::SetLockFunctions(OsMemLockFunction a_pfnLock, OsMemUnlockFunction a_pfnUnlock)
{
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return OS_STS_FAIL;
    }
    m_posmemimpl->m_pfnLock = a_pfnLock;
    m_posmemimpl->m_pfnUnlock = a_pfnUnlock;
    return OS_STS_OK;
}

void* COsMem::SharedAlloc(EOSMEMSHARED a_eosmemshared, const char* a_szName, uint64_t a_u64Size, const char* a_szFile, int a_iLine)
{
    (void)a_u64Size;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return nullptr;
    }
    if ((a_eosmemshared != OS_MEMSHARED_FILEREADONLY) || !a_szName || !a_szName[0])
    {
        OSLOG_ERROR("mem>>> SharedAlloc refused...%d %p", static_cast<int>(a_eosmemshared), static_cast<const void*>(a_szName));
        return nullptr;
    }
    int iFd = open(a_szName, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);   // a FIFO is refused, not waited on
    if (iFd < 0)
    {
        OSLOG_ERROR("mem>>> SharedAlloc open failed...%d <%s>", errno, a_szName);
        return nullptr;
    }
    struct stat statFile;
    if ((fstat(iFd, &statFile) != 0) || !S_ISREG(statFile.st_mode))
    {
        close(iFd);
        OSLOG_ERROR("mem>>> SharedAlloc needs a regular file...<%s>", a_szName);
        return nullptr;
    }
    uint64_t u64Length = static_cast<uint64_t>(statFile.st_size);
    void* pv = nullptr;
    if (u64Length == 0)
    {
        pv = calloc(1, 1);      // an empty file: a valid pointer to a zero byte
    }
    else
    {
        pv = mmap(nullptr, static_cast<size_t>(u64Length), PROT_READ, MAP_PRIVATE, iFd, 0);
        if (pv == MAP_FAILED)
        {
            pv = nullptr;
        }
    }
    close(iFd);
    if (!pv)
    {
        OSLOG_ERROR("mem>>> SharedAlloc map failed...%d <%s>", errno, a_szName);
        return nullptr;
    }
    try
    {
        std::lock_guard<std::mutex> lock(m_posmemimpl->m_mutex);
        OsMemBlock& block = m_posmemimpl->m_mapBlocks[pv];
        block.u64Size = 0;              // mapped bytes are not heap bytes
        block.eoslogflag = OS_LOGFLAG_MEM;
        block.szFile = a_szFile;
        block.iLine = a_iLine;
        block.blMapped = true;
        block.u64MapLength = u64Length;
        block.szName = a_szName;
    }
    catch (...)
    {
        if (u64Length)
        {
            munmap(pv, static_cast<size_t>(u64Length));
        }
        else
        {
            free(pv);
        }
        return nullptr;
    }
    return pv;
}

EOSSTS COsMem::GetSettings(const char* a_szName, OsMemSettings* a_posmemsettings, int a_iFlag)
{
    (void)a_iFlag;
    if (!m_posmemimpl)
    {
        OSLOG_ASSERT("m_posmemimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szName || !a_posmemsettings)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_posmemimpl->m_mutex);
    for (auto& item : m_posmemimpl->m_mapBlocks)
    {
        if (item.second.blMapped && (item.second.szName == a_szName))
        {
            memset(a_posmemsettings, 0, sizeof(*a_posmemsettings));
            snprintf(a_posmemsettings->szName, sizeof(a_posmemsettings->szName), "%s", a_szName);
            a_posmemsettings->u64Size = item.second.u64MapLength;
            a_posmemsettings->pvAddress = item.first;
            a_posmemsettings->eosmemshared = OS_MEMSHARED_FILEREADONLY;
            return OS_STS_OK;
        }
    }
    return OS_STS_NOT_FOUND;
}

uint64_t COsMem::GetAllocationCount()
{
    if (!m_posmemimpl)
    {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_posmemimpl->m_mutex);
    return m_posmemimpl->m_mapBlocks.size();
}

uint64_t COsMem::GetAllocationBytes()
{
    if (!m_posmemimpl)
    {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_posmemimpl->m_mutex);
    return m_posmemimpl->m_u64Bytes;
}
