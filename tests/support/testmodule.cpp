// testmodule.cpp
// The module globals of the test programs: what the program's own start-up
// source defines in the real executable.
#include "osservices.h"

COsString*  g_posstring = nullptr;
COsLog*     g_poslog = nullptr;
COsMem*     g_posmem = nullptr;
COsCfg*     g_poscfg = nullptr;
COsLocale*  g_poslocale = nullptr;

const char* g_szOsXml =
    "<arguments>\n\t<uniquename>dravo_tests</uniquename>\n\t<entity>application</entity>\n\t<loglevel>0</loglevel>\n</arguments>";

void MagicLocalCfgFunction_NotUnique();
void MagicLocalCfgFunction_NotUnique()
{
}

OsCfgLocatorFunction g_oscfglocatorfunction = MagicLocalCfgFunction_NotUnique;

// This module is an application, not a library.
const void* g_OsCfgHinstance = g_szApplicationPath;
