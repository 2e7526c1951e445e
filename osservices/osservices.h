// osservices.h
// The services layer of dravo: one include for everything.
//
// Every module includes this header.  It declares the shared types of the
// layer (status codes, log flags, the 32-bit boolean), the process-wide
// service objects, the module globals that the hosting program defines, and
// the start-up and shutdown functions; then it includes one header per topic.
//
// Start-up order (OsServicesStart):  g_posstring, g_poslog, g_posmem,
// g_poscfg (its constructor loads the whole configuration), g_poslocale.
// OsServicesStop deletes them in the reverse order, then shuts the file
// services down.  Every user tests these pointers before using them.
#ifndef OSSERVICES_H
#define OSSERVICES_H

#include <cstddef>
#include <cstdint>

// Status of every services operation.
enum EOSSTS
{
    OS_STS_OK                   = 0,    // success
    OS_STS_FAIL                 = 1,    // failure
    OS_STS_DESTINATION_TOO_SMALL= 2,    // the destination buffer is too small
    OS_STS_BAD_ARGUMENT         = 3,    // bad or null argument
    OS_STS_LOCKED_ELSEWHERE     = 4,    // region locked elsewhere
    OS_STS_TIMEOUT              = 5,    // time-out
    OS_STS_CANCELLED            = 8,    // cancelled
    OS_STS_LOCKED               = 9,    // shared-memory lock: locked
    OS_STS_UNLOCKED             = 10,   // shared-memory lock: unlocked
    OS_STS_PIPE_CLOSED          = 13,   // pipe closed or peer gone
    OS_STS_NOT_FOUND            = 14,   // not found, or no data (end of input)
    OS_STS_NO_DATA              = 14,
    OS_STS_FILE_NOT_FOUND       = 257,  // file or folder not found
    OS_STS_ACCESS_DENIED        = 258,
    OS_STS_IO_ERROR             = 259,
    OS_STS_IN_USE               = 260,
    OS_STS_ALREADY_EXISTS       = 261
};

// The services layer's 32-bit boolean.
typedef int32_t EOSBOOL;

// The flag of one services-log line.  A plain 32-bit value so that flags can
// be combined (0x8200: memory tracking of memory not owned by the caller).
typedef uint32_t EOSLOGFLAG;
enum : uint32_t
{
    OS_LOGFLAG_ERROR        = 0x0001,   // error
    OS_LOGFLAG_INFO         = 0x0004,   // information (only at a non-zero debug level)
    OS_LOGFLAG_DEVICE       = 0x0008,   // device detail
    OS_LOGFLAG_FLUSH        = 0x0010,   // flush this line
    OS_LOGFLAG_FIND         = 0x0020,   // find message
    OS_LOGFLAG_ASSERT       = 0x0040,   // assertion
    OS_LOGFLAG_MILESTONE    = 0x0080,   // milestone
    OS_LOGFLAG_MEM          = 0x0100,   // memory tracking
    OS_LOGFLAG_MEMVIRTUAL   = 0x1100,   // memory tracking, virtual memory
    OS_LOGFLAG_NOTOWNER     = 0x8000,   // bit: memory not owned by the caller
    OS_LOGFLAG_MEMNOTOWNER  = 0x8200    // the flags of a handle for another component
};

// Wait for ever (time-outs in milliseconds).
#define OS_TIME_INFINITE 0xFFFFFFFFu

class COsString;
class COsLog;
class COsMem;
class COsCfg;
class COsLocale;

// The process-wide service objects.  They are DEFINED by the hosting
// program's start-up source (null until OsServicesStart fills them).
extern COsString*   g_posstring;
extern COsLog*      g_poslog;
extern COsMem*      g_posmem;
extern COsCfg*      g_poscfg;
extern COsLocale*   g_poslocale;

// Module globals the hosting program defines (the program's start-up source,
// or the test programs' support source):
//  g_szOsXml               the module description, e.g.
//                          "<arguments>\n\t<uniquename>dravo</uniquename>\n\t<entity>application</entity>\n\t<loglevel>0</loglevel>\n</arguments>"
//                          (uniquename names the services log file, loglevel
//                          is the debug level when ZAV_DEBUG is not set)
//  g_oscfglocatorfunction  the address of an empty function of the module
//                          (MagicLocalCfgFunction_NotUnique); the layer finds
//                          its own module file through it
//  g_OsCfgHinstance        the module handle word; an application stores the
//                          value of g_szApplicationPath in it (before main)
//                          and COsCfg::GetHmodule then answers null
typedef void (*OsCfgLocatorFunction)(void);
extern const char*          g_szOsXml;
extern OsCfgLocatorFunction g_oscfglocatorfunction;
extern const void*          g_OsCfgHinstance;

// Defined by the services layer: the mark of an application module
// (points to the text "OSCFG_APPLICATION_PATH").
extern const char* const    g_szApplicationPath;

// Defines, at file scope, the process-wide service objects and the module
// globals above for an application module whose services log is named
// a_szUniqueName (a string literal, e.g. "dravo").  The hosting program's
// start-up source uses it once.
#define OSSERVICES_APPLICATION_GLOBALS(a_szUniqueName) \
    COsString* g_posstring = nullptr; \
    COsLog* g_poslog = nullptr; \
    COsMem* g_posmem = nullptr; \
    COsCfg* g_poscfg = nullptr; \
    COsLocale* g_poslocale = nullptr; \
    const char* g_szOsXml = "<arguments>\n\t<uniquename>" a_szUniqueName \
                            "</uniquename>\n\t<entity>application</entity>\n\t<loglevel>0</loglevel>\n</arguments>"; \
    static void MagicLocalCfgFunction_NotUnique(void) \
    { \
    } \
    OsCfgLocatorFunction g_oscfglocatorfunction = MagicLocalCfgFunction_NotUnique; \
    const void* g_OsCfgHinstance = g_szApplicationPath

// Start the services layer.  a_szArguments is an XML text such as
// "<arguments><cfgsectionptr>%p</cfgsectionptr><cfgtagptr>%p</cfgtagptr><cfgdataptr>%p</cfgdataptr></arguments>"
// naming the host's own configuration section (see os_coscfg.h,
// OsCfgName).  It may be null or empty.  Returns OS_STS_OK, OS_STS_FAIL
// when an object could not be created (its pointer then stays null), or
// OS_STS_IN_USE when the services are already running (nothing changes).
EOSSTS OsServicesStart(const char* a_szArguments);

// Stop the services layer (reverse order of the start).
EOSSTS OsServicesStop(void);

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_coscfg.h"
#include "os_cosresource.h"
#include "os_coslocale.h"
#include "os_cosxml.h"
#include "os_cosjson.h"
#include "os_cosfile.h"
#include "os_cosimage.h"

#endif // OSSERVICES_H
