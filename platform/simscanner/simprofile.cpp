// simprofile.cpp
//
// The built-in profiles of the simulated scanner.

#include "simprofile.h"

#include <cstring>

namespace
{
void CopyText(char* a_szDest, std::size_t a_uSize, const char* a_szSource)
{
    std::memset(a_szDest, 0, a_uSize);
    std::strncpy(a_szDest, a_szSource, a_uSize - 1);
}
}

// Made by the per-library selection source (simprofileselect.cpp).
SimProfile SimMakeProfile(const char* a_szKey)
{
    SimProfile profile;
    profile.m_szKey = a_szKey;
    TW_IDENTITY& twidentity = profile.m_twidentity;
    std::memset(&twidentity, 0, sizeof(twidentity));
    twidentity.Version.MajorNum = 1;
    twidentity.Version.MinorNum = 0;
    twidentity.Version.Language = TWLG_ENGLISH_USA;
    twidentity.Version.Country = TWCY_USA;
    CopyText(twidentity.Version.Info, sizeof(twidentity.Version.Info), "1.0.0 simulated");
    twidentity.ProtocolMajor = 2;
    twidentity.ProtocolMinor = 4;
    twidentity.SupportedGroups = DF_DS2 | DG_IMAGE | DG_CONTROL;
    CopyText(twidentity.Manufacturer, sizeof(twidentity.Manufacturer), "Dravo Project");
    CopyText(twidentity.ProductFamily, sizeof(twidentity.ProductFamily), "Simulated Devices");
    CopyText(twidentity.ProductName, sizeof(twidentity.ProductName), "Simulated Scanner");
    if (std::strcmp(a_szKey, "scanner1x") == 0)
    {
        // A source of the first protocol generation: no DF_DS2, no 2.x messages.
        twidentity.ProtocolMajor = 1;
        twidentity.ProtocolMinor = 9;
        twidentity.SupportedGroups = DG_IMAGE | DG_CONTROL;
        CopyText(twidentity.ProductName, sizeof(twidentity.ProductName), "Simulated Scanner 1.x");
    }
    else if (std::strcmp(a_szKey, "zav") == 0)
    {
        // A source of this program's own family: its Version.Info begins
        // with "ZAV v" and it speaks the custom data group.
        twidentity.SupportedGroups = DF_DS2 | DG_CUSTOM | DG_IMAGE | DG_CONTROL;
        CopyText(twidentity.Version.Info, sizeof(twidentity.Version.Info), "ZAV v1.0.0 simulated");
        CopyText(twidentity.ProductName, sizeof(twidentity.ProductName), "Simulated Scanner ZAV");
        profile.m_blCustomQueryBits = true;
    }
    else if (std::strcmp(a_szKey, "camera") == 0)
    {
        // A camera device: no feeder; its cameras are file-system entries,
        // with camera windows of their own.
        CopyText(twidentity.ProductName, sizeof(twidentity.ProductName), "Simulated Camera");
        profile.m_blFeeder = false;
        profile.m_blFileSystem = true;
        profile.m_blWindows = true;
        profile.m_aszCameras = {"/Camera_Color_Top", "/Camera_Color_Bottom", "/Camera_Gray_Top",
                                "/Camera_Gray_Bottom", "/Camera_Bitonal_Top", "/Camera_Bitonal_Bottom"};
    }
    return profile;
}
