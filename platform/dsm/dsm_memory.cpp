// dsm_memory.cpp
//
// The DSM's memory functions, handed to applications and Data Sources through
// DAT_ENTRYPOINT. On Linux a handle is the pointer itself, and locking a
// handle returns it. The DSM remembers every block it handed out, so it can
// say how many are alive, and it refuses to free a pointer it did not
// allocate (memory of another family, or a block freed twice): such a free
// is counted, logged, and leaves the memory alone.
//
// It also keeps the size asked for each block, which the standard's memory
// functions have no way to tell: a Data Source of this platform asks it (by
// the exported function below) to read what an application sends only
// within the block that holds it.
//
// Exported, C linkage:
//   TwainDsmMemSize(handle, &size)  1 and the size asked for a live block of
//                                   the DSM, 0 for any other pointer
// Diagnostics for tests:
//   TwainDsmDiagLiveAllocations()  blocks allocated and not yet freed
//   TwainDsmDiagFamilyErrors()     frees refused because the DSM did not own the pointer

#include "dsm_internal.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace
{
std::mutex                s_mtxMem;
std::unordered_map<void*, TW_UINT32> s_mapLive;   // live blocks and the sizes asked
unsigned long             s_ulFamilyErrors = 0;
const TW_UINT32           s_u32MaxAllocation = 1UL << 39;
} // namespace

TW_HANDLE DsmMemAllocate(TW_UINT32 a_u32Size)
{
    // No machine this runs on has 512 GiB to give: such a size is nonsense
    // from the caller, answered with no memory rather than a try.
    if (a_u32Size > s_u32MaxAllocation)
    {
        CDsmLog::Line("DSM_MemAllocate(%lu) refused: more than the DSM hands out", a_u32Size);
        return nullptr;
    }
    // Zero-filled; a zero size still gives a distinct block.
    void* pv = calloc(1, a_u32Size ? a_u32Size : 1);
    if (!pv)
    {
        CDsmLog::Line("DSM_MemAllocate(%lu) failed: out of memory", a_u32Size);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(s_mtxMem);
    try
    {
        s_mapLive.emplace(pv, a_u32Size);
    }
    catch (...)
    {
        free(pv);
        return nullptr;
    }
    return pv;
}

void DsmMemFree(TW_HANDLE a_hHandle)
{
    if (!a_hHandle)
    {
        return;
    }
    bool blOurs = false;
    {
        std::lock_guard<std::mutex> lock(s_mtxMem);
        blOurs = s_mapLive.erase(a_hHandle) != 0;
        if (!blOurs)
        {
            ++s_ulFamilyErrors;
        }
    }
    if (!blOurs)
    {
        CDsmLog::Line("DSM_MemFree(%p) refused: the DSM did not allocate this memory (wrong family or freed twice)",
                      a_hHandle);
        return;
    }
    free(a_hHandle);
}

TW_MEMREF DsmMemLock(TW_HANDLE a_hHandle)
{
    return a_hHandle;
}

void DsmMemUnlock(TW_HANDLE)
{
}

void DsmFillEntryPoint(TW_ENTRYPOINT* a_ptwentrypoint)
{
    a_ptwentrypoint->DSM_Entry = DSM_Entry;
    a_ptwentrypoint->DSM_MemAllocate = DsmMemAllocate;
    a_ptwentrypoint->DSM_MemFree = DsmMemFree;
    a_ptwentrypoint->DSM_MemLock = DsmMemLock;
    a_ptwentrypoint->DSM_MemUnlock = DsmMemUnlock;
}

extern "C" DSM_EXPORT int TwainDsmMemSize(TW_HANDLE a_hHandle, unsigned long long* a_pu64Size)
{
    if (!a_hHandle || !a_pu64Size)
    {
        return 0;
    }
    std::lock_guard<std::mutex> lock(s_mtxMem);
    auto it = s_mapLive.find(a_hHandle);
    if (it == s_mapLive.end())
    {
        return 0;
    }
    *a_pu64Size = it->second;
    return 1;
}

extern "C" DSM_EXPORT unsigned long TwainDsmDiagLiveAllocations(void)
{
    std::lock_guard<std::mutex> lock(s_mtxMem);
    return static_cast<unsigned long>(s_mapLive.size());
}

extern "C" DSM_EXPORT unsigned long TwainDsmDiagFamilyErrors(void)
{
    std::lock_guard<std::mutex> lock(s_mtxMem);
    return s_ulFamilyErrors;
}
