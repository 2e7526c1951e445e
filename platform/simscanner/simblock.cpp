// simblock.cpp
//
// The size of a memory block an application hands the source (see
// simblock.h).

#include "simblock.h"

#include <dlfcn.h>
#include <malloc.h>

#include <atomic>
#include <mutex>

// Under the address sanitizer the C library's answer for a pointer it does
// not own is an error report; its own ownership test comes first.
extern "C" int __sanitizer_get_ownership(const volatile void* a_pv) __attribute__((weak));

namespace
{
typedef int (*DsmMemSizeProc)(TW_HANDLE, unsigned long long*);

std::atomic<const void*> s_pvDsm{nullptr};

// The DSM's size function, found once per caller (an address in the DSM's
// code): null for a DSM without one.
DsmMemSizeProc FindDsmMemSize()
{
    static std::mutex s_mutex;
    static const void* s_pvFound = nullptr;       // the caller the answer below belongs to
    static const void* s_pvBase = nullptr;        // and the library it lies in
    static DsmMemSizeProc s_pfnFound = nullptr;
    const void* pvDsm = s_pvDsm.load();
    if (pvDsm == nullptr)
    {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_pvFound != pvDsm)
    {
        // The library is loaded (it is calling): this neither loads it nor
        // keeps it loaded, and the function lives as long as it calls.
        // Another call site of the same library keeps the answer.
        Dl_info dlinfo;
        bool blKnown = dladdr(pvDsm, &dlinfo) != 0 && dlinfo.dli_fname != nullptr;
        if (blKnown && dlinfo.dli_fbase == s_pvBase)
        {
            s_pvFound = pvDsm;
            return s_pfnFound;
        }
        s_pfnFound = nullptr;
        s_pvBase = blKnown ? dlinfo.dli_fbase : nullptr;
        if (blKnown)
        {
            void* pvLibrary = dlopen(dlinfo.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
            if (pvLibrary != nullptr)
            {
                s_pfnFound = reinterpret_cast<DsmMemSizeProc>(dlsym(pvLibrary, "TwainDsmMemSize"));
                dlclose(pvLibrary);
            }
        }
        s_pvFound = pvDsm;
    }
    return s_pfnFound;
}
}

void SimBlockNoteDsm(const void* a_pvInDsm)
{
    s_pvDsm.store(a_pvInDsm);
}

bool SimBlockSize(TW_HANDLE a_h, const void* a_pvLocked, std::size_t& a_uSize)
{
    if (a_h == nullptr || a_pvLocked == nullptr)
    {
        return false;
    }
    DsmMemSizeProc pfn = FindDsmMemSize();
    unsigned long long u64Size = 0;
    if (pfn != nullptr && pfn(a_h, &u64Size) != 0)
    {
        a_uSize = static_cast<std::size_t>(u64Size);
        return true;
    }
    // C memory: the handle is the block's own address.
    if (a_pvLocked != a_h || (__sanitizer_get_ownership != nullptr && !__sanitizer_get_ownership(a_h)))
    {
        return false;
    }
    a_uSize = malloc_usable_size(a_h);
    return true;
}
