// os_cosresource.h
// Resources appended to a file (normally an executable).
//
// Archive layout at the very end of the file: a footer of 64 slots of 56
// bytes (name 32 bytes NUL-terminated, 64-bit offset from the start of the
// file, 64-bit size, 64-bit reserved, little-endian).  The last slot holds
// the marker "@!@zav@!@" as its name, the start of the archive (the length
// of the original file) as its offset and the length of the archive (data
// plus footer) as its size.  Resource data lies between the original file
// and the footer.  Unused slots are all zero.  Names are at most 31
// characters and match without regard to case; 63 resources at most.
// Damaged archives (bad marker fields, offsets or sizes) are refused.
#ifndef OS_COSRESOURCE_H
#define OS_COSRESOURCE_H

#include "osservices.h"

// The search name of the program's own file.
#define OS_RESOURCE_LOCAL "OsResourceGetLocal"

class COsResourceImpl;

class COsResource
{
public:
    COsResource();
    ~COsResource();

    // Open a resource of a_szSearch (OS_RESOURCE_LOCAL: the program's own
    // file, else a file path).  a_iType is accepted for callers and not
    // stored in the archive.  0 when found; OS_STS_NOT_FOUND when the file
    // has no archive or no such resource; OS_STS_FILE_NOT_FOUND when the
    // file is missing; OS_STS_FAIL for a damaged archive; 3 for bad args.
    EOSSTS Open(const char* a_szSearch, const char* a_szName, int a_iType);

    // The open resource's bytes (followed by one zero byte), null when none.
    const void* GetPointer();
    // Their count (0 when none is open).
    uint64_t GetSize();
    EOSSTS Close();

    // Add a_szName to a_szFile's archive, replacing one of the same name; a
    // size of 0 or null bytes removes it (the archive goes when it empties).
    // The file is rewritten through a temporary file and keeps its mode.
    // a_blReserved and a_pvReserved have no effect.  0 on success.
    EOSSTS Update(const char* a_szFile, const char* a_szName, int a_iType, uint64_t a_u64Size,
                  const void* a_pvData, bool a_blReserved = false, void* a_pvReserved = nullptr);

private:
    COsResource(const COsResource&) = delete;
    COsResource& operator=(const COsResource&) = delete;
    COsResourceImpl* m_posresourceimpl;
};

#endif // OS_COSRESOURCE_H
