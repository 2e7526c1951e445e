// simprofileselect.cpp
//
// Compiled once per Data Source library with SIMSCANNER_PROFILE naming the
// profile ("scanner", "scanner1x", "zav", "camera"): the only source that
// differs between the simulated sources.

#include "simprofile.h"

#ifndef SIMSCANNER_PROFILE
#define SIMSCANNER_PROFILE "scanner"
#endif

SimProfile SimMakeProfile(const char* a_szKey);

const SimProfile& SimBuiltInProfile()
{
    static const SimProfile s_profile = SimMakeProfile(SIMSCANNER_PROFILE);
    return s_profile;
}
