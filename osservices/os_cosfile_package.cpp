// os_cosfile_package.cpp
// The package container ("ZAVPKG01").  This build knows the container only
// by its magic; it recognises a package and refuses to unpack it rather
// than guess at a layout and write files from a misread directory.
#include <cstring>

#include "osservices.h"

#define OSFILE_PACKAGEMAGIC "ZAVPKG01"

EOSSTS COsFile::Unpackage(const char* a_szFolder, const char* a_szPackage, bool a_blReserved, void* a_pvProgress,
                          bool a_blReserved2)
{
    (void)a_blReserved;
    (void)a_pvProgress;
    (void)a_blReserved2;
    if (!a_szFolder || !a_szFolder[0] || !a_szPackage || !a_szPackage[0])
    {
        OSLOG_ERROR("pkg>>> Unpackage bad arguments...");
        return OS_STS_BAD_ARGUMENT;
    }
    COsFile osfile;
    EOSSTS eossts = osfile.Open(a_szPackage, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE);
    if (eossts != OS_STS_OK)
    {
        OSLOG_ERROR("pkg>>> Unpackage cannot open...%d <%s>", static_cast<int>(eossts), a_szPackage);
        return (eossts == OS_STS_FILE_NOT_FOUND) ? OS_STS_FILE_NOT_FOUND : OS_STS_FAIL;
    }
    char szMagic[sizeof(OSFILE_PACKAGEMAGIC)] = "";
    uint64_t u64Read = 0;
    bool blPackage = (osfile.Read(szMagic, 8, &u64Read) == OS_STS_OK) && (u64Read == 8) &&
                     (memcmp(szMagic, OSFILE_PACKAGEMAGIC, 8) == 0);
    osfile.Close();
    if (!blPackage)
        OSLOG_ERROR("pkg>>> not a package (no " OSFILE_PACKAGEMAGIC " magic) <%s>", a_szPackage);
    else
        OSLOG_ERROR("pkg>>> the package layout is not known to this build, nothing unpacked <%s> -> <%s>", a_szPackage,
                    a_szFolder);
    return OS_STS_FAIL;
}
