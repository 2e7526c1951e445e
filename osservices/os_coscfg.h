// os_coscfg.h
// Configuration (g_poscfg): value texts addressed by section id and tag id.
//
// Built-in section 1 "ossettings":
//   tag   6 "desktopdirectory"  `xdg-user-dir DESKTOP`, else $HOME/Desktop
//                               when it exists, else $HOME
//   tag  12 "logdirectory"      ZAV_LOGDIR, else $HOME/.dravo/log (created
//                               when missing)
//   tag  21 "applicationpath"   the program's own file (/proc/self/exe)
//   tag 111 "iccprofile"        empty unless configured
//
// The hosting program adds its own section(s) through OsServicesStart's
// arguments: <cfgsectionptr>, <cfgtagptr> and <cfgdataptr> hold the
// hexadecimal addresses of a section table and a tag table (OsCfgName rows
// ending with a null name; ids from 1001 up) and of a value table of
// (sections + 1) x (tags + 1) text pointers indexed by (section id - 1000)
// and (tag id - 1000), row 0 and column 0 unused.  The tables must live as
// long as the services run.
//
// Every value can be overridden by "const.ini" in the configuration folder
// (ZAV_OSCFGDIR, else the program's own folder): "[section name]" lines,
// then "tag name=value" lines (blanks around names and values are dropped);
// a line whose first non-blank character is ";" is a comment; names match
// without regard to case; unknown sections and tags are ignored; at most
// 65,536 bytes are read.  The desktop directory is found on first use.
#ifndef OS_COSCFG_H
#define OS_COSCFG_H

#include "osservices.h"

// One row of a host's section or tag table.
struct OsCfgName
{
    const char* szName;     // null ends the table
    int         iId;
};

// Built-in sections and tags.
enum EOSCFGSECTION
{
    OS_CFGSECTION_OSSETTINGS = 1
};
enum EOSCFGTAG
{
    OS_CFGTAG_DESKTOPDIRECTORY  = 6,
    OS_CFGTAG_LOGDIRECTORY      = 12,
    OS_CFGTAG_APPLICATIONPATH   = 21,
    OS_CFGTAG_ICCPROFILE        = 111
};

// System information items.
enum EOSCFGINFO
{
    OS_CFGINFO_OSFAMILY         = 7,    // 1 Windows, 2 Linux
    OS_CFGINFO_CPU_PROCESSBITS  = 38    // the process width in bits
};

class COsCfgImpl;

class COsCfg
{
public:
    // Loads the whole configuration; a_szArguments is OsServicesStart's text.
    explicit COsCfg(const char* a_szArguments = nullptr);
    ~COsCfg();

    // The value text of an item, "" when unset or unknown; null (with an
    // assertion line) without an implementation.  The text stays valid
    // while the object lives.
    const char* Get(int a_iSection, int a_iTag);
    // The same by names (case-insensitive): the host's tables first, then
    // the built-in ones; "" when either name is unknown.
    const char* Get(const char* a_szSection, const char* a_szTag);

    // Copy the environment variable (or the default when it is unset or
    // empty) into the buffer.  2 when it does not fit (buffer emptied), 3 for
    // bad arguments.  a_iFlag: reserved, 0.
    static EOSSTS GetEnv(const char* a_szName, const char* a_szDefault, size_t a_u64Size, char* a_szValue, int a_iFlag = 0);
    // Set an environment variable; a null value removes it.
    static EOSSTS SetEnv(const char* a_szName, const char* a_szValue);

    // One integer of system information (OS_CFGINFO_OSFAMILY answers 2,
    // OS_CFGINFO_CPU_PROCESSBITS 64 in a 64-bit process); 0 with an error
    // line for other items.
    static int64_t InfoGetLong(EOSCFGINFO a_eoscfginfo, int a_iProcessor = 0, bool a_blFlag = true);

    // The module handle of the module holding the configuration: null for
    // an application (g_OsCfgHinstance == g_szApplicationPath), else
    // g_OsCfgHinstance.
    static void* GetHmodule();

    // The address of a static text pointer, for strtol's unwanted end.
    static char** GetThrowAwayPointer();

private:
    COsCfg(const COsCfg&) = delete;
    COsCfg& operator=(const COsCfg&) = delete;
    COsCfgImpl* m_poscfgimpl;
};

#endif // OS_COSCFG_H
