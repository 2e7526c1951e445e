// twain_dsmpath.cpp
// The test programs load the stand-in DSM of the build tree (the executables
// get this function from twain/dsmpath.cpp).
const char *DravoDsmPath();

const char *DravoDsmPath()
{
    return DRAVO_SIM_DSM_PATH;
}
