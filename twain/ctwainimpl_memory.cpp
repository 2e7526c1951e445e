// ctwainimpl_memory.cpp
// Memory handles exchanged with the Data Source.
//
// Once a second-generation application (DF_APP2) has opened a Data Source
// through a DSM that offers DAT_ENTRYPOINT, the DSM's own memory functions
// allocate, lock, unlock and free the handles; before that (or with a DSM
// that has none, or for a first-generation application, which may not ask
// for them) the services layer's not-owned memory stands in.  The entry points appear at DSOpen and vanish at
// DSMClose, so a handle can outlive the family that made it.  Every handle
// this program allocates is therefore remembered with its family, and it is
// locked, unlocked and freed by that family whatever the connection holds
// at the time.  Handles the Data Source made (containers it returns) are
// handled by the family the Data Source used: the DSM's functions reach
// only a source that announces DF_DS2, so a first-generation source hands
// out C memory even when the DSM offers its own functions to the program.
#include "ctwainimpl.h"

#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace
{

// The family of one handle this program allocated: the DSM's free function
// when the DSM made it, null when the services layer made it.
struct DsMemFamily
{
    DSM_MEMFREE pfnDsmFree;
};

struct DsMemRegistry
{
    std::mutex mutex;
    std::unordered_map<void *, DsMemFamily> maphandle;
};

DsMemRegistry &Handles()
{
    static DsMemRegistry *s_pdsmemregistry = new DsMemRegistry(); // lives for the whole process
    return *s_pdsmemregistry;
}

// True when a handle the open Data Source made comes from the DSM's
// functions: the DSM gave them to the program and, since it hands them to a
// source only when the source speaks the second generation, to the source.
bool SourceUsesDsm(const TW_ENTRYPOINT &a_twentrypoint, const TW_IDENTITY &a_twidentityDs)
{
    TW_UINT32 u32Groups = 0;
    memcpy(&u32Groups, &a_twidentityDs.SupportedGroups, sizeof(u32Groups));
    return (a_twentrypoint.DSM_MemFree != nullptr) && ((u32Groups & DF_DS2) != 0);
}

void HandleRemember(void *a_handle, DSM_MEMFREE a_pfnDsmFree)
{
    DsMemRegistry &reg = Handles();
    try
    {
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.maphandle[a_handle] = DsMemFamily{a_pfnDsmFree};
    }
    catch (...)
    {
        // Not remembered: it is then treated like a handle of the Data
        // Source, by the connection's current family.
        OSLOG_ERROR("DsMem: unable to remember handle %p...", a_handle);
    }
}

// True when the program allocated the handle (its family is returned);
// a_blForget drops it from the registry.
bool HandleFind(void *a_handle, DsMemFamily *a_pdsmemfamily, bool a_blForget)
{
    DsMemRegistry &reg = Handles();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto it = reg.maphandle.find(a_handle);
    if (it == reg.maphandle.end())
    {
        return false;
    }
    *a_pdsmemfamily = it->second;
    if (a_blForget)
    {
        reg.maphandle.erase(it);
    }
    return true;
}

} // namespace

TW_HANDLE CTwainImpl::DsMemAlloc(int32_t a_i32Size)
{
    if (a_i32Size < 0)
    {
        OSLOG_ERROR("DsMemAlloc: bad size %d...", static_cast<int>(a_i32Size));
        return nullptr;
    }
    TW_HANDLE handle = nullptr;
    if (m_twentrypoint.DSM_MemAllocate)
    {
        handle = m_twentrypoint.DSM_MemAllocate(static_cast<TW_UINT32>(a_i32Size));
        if (handle)
        {
            HandleRemember(handle, m_twentrypoint.DSM_MemFree);
        }
        return handle;
    }
    if (!g_posmem)
    {
        return nullptr;
    }
    handle = g_posmem->AllocNotOwner(static_cast<uint64_t>(a_i32Size), __FILE__, __LINE__, OS_LOGFLAG_MEMNOTOWNER,
                                     true, nullptr);
    if (handle)
    {
        HandleRemember(handle, nullptr);
    }
    return handle;
}

void CTwainImpl::DsMemFree(TW_HANDLE a_handle)
{
    if (!a_handle)
    {
        return;
    }
    DsMemFamily dsmemfamily;
    if (HandleFind(a_handle, &dsmemfamily, true))
    {
        if (!dsmemfamily.pfnDsmFree)
        {
            if (g_posmem)
            {
                g_posmem->FreeNotOwner(a_handle, __FILE__, __LINE__, OS_LOGFLAG_MEMNOTOWNER, true);
            }
            return;
        }
        if (m_twentrypoint.DSM_MemFree == dsmemfamily.pfnDsmFree)
        {
            dsmemfamily.pfnDsmFree(a_handle);
            return;
        }
        // The DSM that made it is closed: its functions are gone with it.
        OSLOG_ERROR("DsMemFree: handle %p belongs to a DSM that is no longer open, not freed...", a_handle);
        return;
    }
    if (SourceUsesDsm(m_twentrypoint, m_twidentityDs))
    {
        m_twentrypoint.DSM_MemFree(a_handle);
        return;
    }
    if (g_posmem)
    {
        g_posmem->FreeNotOwner(a_handle, __FILE__, __LINE__, OS_LOGFLAG_MEMNOTOWNER, true);
    }
}

TW_MEMREF CTwainImpl::DsMemLock(TW_HANDLE a_handle)
{
    DsMemFamily dsmemfamily;
    bool blOurs = a_handle && HandleFind(a_handle, &dsmemfamily, false);
    if (blOurs && dsmemfamily.pfnDsmFree)
    {
        if ((m_twentrypoint.DSM_MemFree == dsmemfamily.pfnDsmFree) && m_twentrypoint.DSM_MemLock)
        {
            return m_twentrypoint.DSM_MemLock(a_handle);
        }
        OSLOG_ERROR("DsMemLock: handle %p belongs to a DSM that is no longer open...", a_handle);
        return nullptr;
    }
    if (!blOurs && m_twentrypoint.DSM_MemLock && SourceUsesDsm(m_twentrypoint, m_twidentityDs))
    {
        return m_twentrypoint.DSM_MemLock(a_handle);
    }
    if (!g_posmem)
    {
        return nullptr;
    }
    return g_posmem->Lock(a_handle);
}

void CTwainImpl::DsMemUnlock(TW_HANDLE a_handle)
{
    DsMemFamily dsmemfamily;
    bool blOurs = a_handle && HandleFind(a_handle, &dsmemfamily, false);
    if (blOurs && dsmemfamily.pfnDsmFree)
    {
        if ((m_twentrypoint.DSM_MemFree == dsmemfamily.pfnDsmFree) && m_twentrypoint.DSM_MemUnlock)
        {
            m_twentrypoint.DSM_MemUnlock(a_handle);
        }
        return;
    }
    if (!blOurs && m_twentrypoint.DSM_MemUnlock && SourceUsesDsm(m_twentrypoint, m_twidentityDs))
    {
        m_twentrypoint.DSM_MemUnlock(a_handle);
        return;
    }
    if (g_posmem)
    {
        g_posmem->Unlock(a_handle);
    }
}

size_t CTwainImpl::DsMemSize(TW_HANDLE a_handle, TW_MEMREF a_pvLocked)
{
    // On this platform a memory handle is the address of a heap block, and
    // every family (the DSM's functions, the services layer, a source's own
    // C memory) allocates it with malloc: the block tells its size.  A lock
    // that hands back another address than the handle is a family this
    // program does not know, whose size cannot be told.
    if (!a_handle || (a_pvLocked != a_handle))
    {
        return SIZE_MAX;
    }
    return malloc_usable_size(a_handle);
}
