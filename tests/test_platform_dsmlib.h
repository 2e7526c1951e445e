// test_platform_dsmlib.h
//
// What every platform test needs first: the stand-in DSM loaded with dlopen
// (no code of the program is linked) and an application identity to talk
// to it with.

#ifndef DRAVO_TEST_PLATFORM_DSMLIB_H
#define DRAVO_TEST_PLATFORM_DSMLIB_H

#include "../twain/twaindefs.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace platformtest
{
typedef unsigned long (*DiagProc)(void);

// The DSM library with its entry and its diagnostic counters, loaded once
// per process.
struct Dsm
{
    void*        pvHandle = nullptr;
    DSMENTRYPROC pfnEntry = nullptr;
    DiagProc     pfnLiveAllocations = nullptr;
    DiagProc     pfnFamilyErrors = nullptr;
    DiagProc     pfnOpenApplications = nullptr;

    static Dsm& Get()
    {
        static Dsm s_dsm = Load();
        return s_dsm;
    }

private:
    static Dsm Load()
    {
        Dsm dsm;
        dsm.pvHandle = dlopen(DRAVO_SIM_DSM_PATH, RTLD_NOW | RTLD_LOCAL);
        if (dsm.pvHandle)
        {
            dsm.pfnEntry = reinterpret_cast<DSMENTRYPROC>(dlsym(dsm.pvHandle, "DSM_Entry"));
            dsm.pfnLiveAllocations = reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagLiveAllocations"));
            dsm.pfnFamilyErrors = reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagFamilyErrors"));
            dsm.pfnOpenApplications =
                reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagOpenApplications"));
        }
        return dsm;
    }
};

// An application's identity: version 1, English/USA, protocol 2.4 with
// DF_APP2 or 1.9 without.
inline TW_IDENTITY AppIdentity(const char* a_szName, const char* a_szFamily, const char* a_szInfo, bool a_blApp2,
                               TW_UINT32 a_u32Groups)
{
    TW_IDENTITY twidentity = {};
    twidentity.Version.MajorNum = 1;
    twidentity.Version.Language = TWLG_ENGLISH_USA;
    twidentity.Version.Country = TWCY_USA;
    std::snprintf(twidentity.Version.Info, sizeof(twidentity.Version.Info), "%s", a_szInfo);
    twidentity.ProtocolMajor = a_blApp2 ? 2 : 1;
    twidentity.ProtocolMinor = a_blApp2 ? 4 : 9;
    twidentity.SupportedGroups = a_u32Groups | (a_blApp2 ? DF_APP2 : 0);
    std::snprintf(twidentity.Manufacturer, sizeof(twidentity.Manufacturer), "Tests");
    std::snprintf(twidentity.ProductFamily, sizeof(twidentity.ProductFamily), "%s", a_szFamily);
    std::snprintf(twidentity.ProductName, sizeof(twidentity.ProductName), "%s", a_szName);
    return twidentity;
}
} // namespace platformtest

#endif // DRAVO_TEST_PLATFORM_DSMLIB_H
