// simprofile.h
//
// The profiles of the simulated scanner: one code, several Data Sources with
// different identities and abilities. Each .ds library of the build is
// compiled with one profile (SIMSCANNER_PROFILE); the configuration file can
// change everything a profile sets.

#ifndef DRAVO_SIMPROFILE_H
#define DRAVO_SIMPROFILE_H

#include "simcaps.h"

#include <cstdint>
#include <string>
#include <vector>

struct SimProfile
{
    std::string m_szKey;               // "scanner", "scanner1x", "zav", "camera"
    TW_IDENTITY m_twidentity;          // Id 0; the DSM assigns it
    bool        m_blFeeder = true;     // a document feeder besides the flatbed
    bool        m_blFileSystem = false;   // DAT_FILESYSTEM with cameras
    bool        m_blWindows = false;   // CAP_WINDOWCAMERA camera windows
    bool        m_blCustomQueryBits = false;  // adds the machine bit to MSG_QUERYSUPPORT answers
    std::vector<std::string> m_aszCameras;    // file-system names of the cameras
    std::uint32_t m_u32Numbered = 0;          // instead of the names: so many cameras /Camera_1, /Camera_2, ...
    bool        m_blListingLoops = false;     // the root's listing starts again after its last camera
};

// The profile this library was built for.
const SimProfile& SimBuiltInProfile();

// The built-in capability table of a profile.
std::vector<SimCapDef> SimDefaultCaps(const SimProfile& a_profile);

// The default pixel type of each camera (from its name: "Bitonal", "Gray",
// else colour), replacing the per-camera defaults the table held.
void SimSetCameraDefaults(std::vector<SimCapDef>& a_adef, const std::vector<std::string>& a_aszCameras);

// The extended image information items the simulator answers.
std::vector<TW_UINT16> SimSupportedExtImageInfo();

#endif // DRAVO_SIMPROFILE_H
