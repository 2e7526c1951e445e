// dsm_internal.h
//
// Shared declarations of the stand-in TWAIN Data Source Manager: the log, the
// memory functions, the Data Source files and libraries, and the dispatcher.
// The DSM stands alone: C++ standard library, POSIX threads and libdl only.

#ifndef DRAVO_DSM_INTERNAL_H
#define DRAVO_DSM_INTERNAL_H

#include "../../twain/twaindefs.h"

#include <memory>
#include <string>
#include <vector>

// Symbols the library offers to its users; everything else stays hidden.
#define DSM_EXPORT __attribute__((visibility("default")))

// ---------------------------------------------------------------------------
// Log (dsm_log.cpp): one line per call when TWAINDSM_LOG names a file.
// ---------------------------------------------------------------------------
class CDsmLog
{
public:
    // Opens the log named by TWAINDSM_LOG (TWAINDSM_LOGMODE beginning with
    // 'w' truncates it first); the DSM calls it when its first application
    // opens. Without the variable the log stays closed.
    static void Start();
    // Closes the log; the DSM calls it when its last application closes.
    static void Stop();
    static bool IsOpen();
    // Writes one line (time, thread, text); nothing when the log is closed.
    static void Line(const char* a_szFormat, ...) __attribute__((format(printf, 1, 2)));
    // One line for one DSM_Entry call: ids, triplet names, codes. A negative
    // condition code means the call went to a Data Source (no DSM code).
    static void Call(const TW_IDENTITY* a_ptwOrigin, const TW_IDENTITY* a_ptwDest,
                     TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                     TW_UINT16 a_u16Rc, int a_iCc);
};

// Names of triplet values for the log; null when the value has no name.
const char* DsmDgName(TW_UINT32 a_u32Dg);
const char* DsmDatName(TW_UINT16 a_u16Dat);
const char* DsmMsgName(TW_UINT16 a_u16Msg);

// ---------------------------------------------------------------------------
// Memory functions (dsm_memory.cpp), handed out through DAT_ENTRYPOINT.
// On Linux a handle is the pointer itself; locking returns it.
// ---------------------------------------------------------------------------
TW_HANDLE DsmMemAllocate(TW_UINT32 a_u32Size);
void      DsmMemFree(TW_HANDLE a_hHandle);
TW_MEMREF DsmMemLock(TW_HANDLE a_hHandle);
void      DsmMemUnlock(TW_HANDLE a_hHandle);
// Fills the five entry points of a TW_ENTRYPOINT (its Size is left alone).
void      DsmFillEntryPoint(TW_ENTRYPOINT* a_ptwentrypoint);

// ---------------------------------------------------------------------------
// Data Source files and libraries (dsm_sources.cpp)
// ---------------------------------------------------------------------------

// Copies an identity and terminates each of its texts inside its field, so
// that nothing read from a caller or a Data Source can run past a field.
void DsmCopyIdentity(TW_IDENTITY* a_ptwDst, const TW_IDENTITY* a_ptwSrc);

// Length of a TW_STR32 that may lack its terminator (at most 34).
size_t DsmStr32Len(const char* a_sz);

// One Data Source found by a scan: its library file and its identity (the
// identity's Id is given by the DSM to each application's list).
struct DsmSourceFile
{
    std::string m_szPath;
    TW_IDENTITY m_twidentity;
};

// Scans the source folders: TWAINDSM_SOURCES (colon-separated) when set,
// otherwise "/usr/local/lib/twain" and the folder "twain" beside the DSM
// library. Every "*.ds" file in a folder or in one of its direct subfolders
// is loaded, asked for its identity and unloaded. The result is sorted by
// path within each folder, folders in the order given.
std::vector<DsmSourceFile> DsmScanSources();

// One loaded Data Source library; the last owner unloads it, unless a call
// from the Data Source was still running when the source was closed (then
// its code may still be on that thread's stack, and it stays loaded).
class CDsmLibrary
{
public:
    // Loads the library and finds DS_Entry; null with a reason on failure.
    static std::shared_ptr<CDsmLibrary> Load(const std::string& a_szPath, std::string& a_szError);
    ~CDsmLibrary();
    CDsmLibrary(const CDsmLibrary&) = delete;
    CDsmLibrary& operator=(const CDsmLibrary&) = delete;

    DSENTRYPROC Entry() const { return m_pfnDsEntry; }
    const std::string& Path() const { return m_szPath; }

    // Guarded by the dispatcher's lock.
    int  m_iCallsFromSource = 0;    // DSM_Entry calls of this source under way
    bool m_blKeepLoaded = false;

private:
    CDsmLibrary() = default;
    std::string m_szPath;
    void*       m_pvHandle = nullptr;
    DSENTRYPROC m_pfnDsEntry = nullptr;
};

// ---------------------------------------------------------------------------
// Dispatcher (dsm_entry.cpp)
// ---------------------------------------------------------------------------

// Number of applications that have the DSM open (diagnostics).
unsigned long DsmOpenApplicationCount();

// Memory blocks handed out and not yet freed (dsm_memory.cpp).
extern "C" DSM_EXPORT unsigned long TwainDsmDiagLiveAllocations(void);

#endif // DRAVO_DSM_INTERNAL_H
