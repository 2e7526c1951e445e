// os_cosmem.h
// Tracked memory (g_posmem).
//
// Blocks from Alloc are zero-filled, counted and traced (at flag 0x100 when
// the debug level is non-zero); the layer knows every live block, so Free of
// a pointer it never handed out is refused with an error line instead of
// corrupting the heap.  Memory handles for other components (the Data
// Source) come from AllocNotOwner; FreeNotOwner releases such a handle, or a
// block another component allocated with the C library.
#ifndef OS_COSMEM_H
#define OS_COSMEM_H

#include "osservices.h"

// Sizes of the free contiguous memory regions.
struct OsMemList
{
    uint32_t u32Count;
    uint64_t au64Size[16];
};

// The kinds of shared block SharedAlloc makes.
enum EOSMEMSHARED
{
    OS_MEMSHARED_FILEREADONLY = 3   // map an existing file (by path) for reading
};

// What GetSettings reports of a shared block.
struct OsMemSettings
{
    char            szName[512];    // the name (for a mapped file: its path)
    uint64_t        u64Size;        // the mapped length in bytes
    void*           pvAddress;      // the block's address
    EOSMEMSHARED    eosmemshared;   // its kind
};

// Lock and unlock functions of memory handles (e.g. the DSM's).
typedef void* (*OsMemLockFunction)(void* a_handle);
typedef void  (*OsMemUnlockFunction)(void* a_handle);

class COsMemImpl;

class COsMem
{
public:
    COsMem();
    ~COsMem();

    // A tracked block of a_u64Size bytes filled with zero bytes; null when
    // the size is 0 or memory is short (after an error line).  a_szName is
    // an optional label for the trace.
    void* Alloc(uint64_t a_u64Size, const char* a_szFile, int a_iLine,
                EOSLOGFLAG a_eoslogflag = OS_LOGFLAG_MEM, bool a_blLock = false, const char* a_szName = nullptr);

    // Release a block from Alloc, AllocNotOwner or SharedAlloc.  A pointer
    // the layer does not know is refused (OS_STS_BAD_ARGUMENT, error line);
    // null is accepted (OS_STS_OK).
    EOSSTS Free(void* a_pv, const char* a_szFile, int a_iLine,
                EOSLOGFLAG a_eoslogflag = OS_LOGFLAG_MEM, bool a_blLock = false);

    // A zero-filled handle marked as memory not owned by the caller
    // (callers pass the flags 0x8200).
    void* AllocNotOwner(uint64_t a_u64Size, const char* a_szFile, int a_iLine,
                        EOSLOGFLAG a_eoslogflag = OS_LOGFLAG_MEMNOTOWNER, bool a_blLock = true, const char* a_szName = nullptr);

    // Release a handle another component allocated: one of ours (from
    // AllocNotOwner/Alloc) is released as Free does, any other pointer is
    // handed to the C library's free().
    EOSSTS FreeNotOwner(void* a_pv, const char* a_szFile, int a_iLine,
                        EOSLOGFLAG a_eoslogflag = OS_LOGFLAG_MEMNOTOWNER, bool a_blLock = true);

    // Copy a_iBits bits; bit offset 0 is the most significant bit of the
    // first byte.  Returns 0; 1 after the assertion line
    // "OsMemCpyBits failed...%p %d %d %p %d %d %d %d %d" when a pointer, a
    // size or the count is zero or a run exceeds its buffer.
    static int CpyBits(void* a_pvDst, int a_iDstSize, int a_iDstBitOffset,
                       const void* a_pvSrc, int a_iSrcSize, int a_iSrcBitOffset, int a_iBits);

    // One region of 1 GiB on this platform.  1 for a null pointer.
    EOSSTS GetFreeContiguousList(OsMemList* a_posmemlist);

    // Lock a memory handle: the registered lock function's answer, else the
    // handle itself; null (with "mem>>> a_handle is null...") for null.
    void* Lock(void* a_handle);
    // Unlock: the registered unlock function, else nothing.
    EOSSTS Unlock(void* a_handle);
    // Register (or with nulls, remove) the lock/unlock pair.
    EOSSTS SetLockFunctions(OsMemLockFunction a_pfnLock, OsMemUnlockFunction a_pfnUnlock);

    // Map a shared block.  Only OS_MEMSHARED_FILEREADONLY: a_szName is the
    // path of an existing file, mapped read-only (an empty file gives a
    // valid pointer to a zero byte and size 0).  Null on failure.  Release
    // with Free.
    void* SharedAlloc(EOSMEMSHARED a_eosmemshared, const char* a_szName, uint64_t a_u64Size = 0,
                      const char* a_szFile = nullptr, int a_iLine = 0);

    // Settings of a live shared block by its name (a_iFlag: reserved, 0).
    // OS_STS_NOT_FOUND when no live block has that name.
    EOSSTS GetSettings(const char* a_szName, OsMemSettings* a_posmemsettings, int a_iFlag = 0);

    // Live blocks and bytes (leak checks).
    uint64_t GetAllocationCount();
    uint64_t GetAllocationBytes();

private:
    COsMem(const COsMem&) = delete;
    COsMem& operator=(const COsMem&) = delete;
    COsMemImpl* m_posmemimpl;
};

// Convenience forms with the caller's file and line (g_posmem must exist).
#define OSMEM_ALLOC(a_size)  (g_posmem ? g_posmem->Alloc((a_size), __FILE__, __LINE__, OS_LOGFLAG_MEM, false, nullptr) : nullptr)
#define OSMEM_FREE(a_pv)     do { if (g_posmem) g_posmem->Free((a_pv), __FILE__, __LINE__, OS_LOGFLAG_MEM, false); } while (0)

#endif // OS_COSMEM_H
