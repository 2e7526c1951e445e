// dsmpath.cpp
// The path of the TWAIN Data Source Manager library that this executable
// loads.  Each executable compiles this file with its own DRAVO_DSM_PATH:
// "dravo" the system's DSM, "dravo-sim" the stand-in DSM of the build tree.
#ifndef DRAVO_DSM_PATH
#error "DRAVO_DSM_PATH must name the DSM library"
#endif

const char *DravoDsmPath();

const char *DravoDsmPath()
{
    return DRAVO_DSM_PATH;
}
