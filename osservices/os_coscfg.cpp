// os_coscfg.cpp
// Configuration, system information, and the start and stop of the layer.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "osservices.h"
#include "os_private.h"

extern char** environ;

const char* const g_szApplicationPath = "OSCFG_APPLICATION_PATH";

#define OSCFG_INIMAX        65536       // const.ini: what is read of it
#define OSCFG_MAXROWS       1000        // a host table longer than this is refused
#define OSCFG_SECTIONNAME   "ossettings"

// The built-in tags of section 1.
struct OsCfgBuiltinTag
{
    int         iId;
    const char* szName;
};
static const OsCfgBuiltinTag s_aoscfgbuiltintag[] = {
    {OS_CFGTAG_DESKTOPDIRECTORY, "desktopdirectory"},
    {OS_CFGTAG_LOGDIRECTORY, "logdirectory"},
    {OS_CFGTAG_APPLICATIONPATH, "applicationpath"},
    {OS_CFGTAG_ICCPROFILE, "iccprofile"},
};

// ---------------------------------------------------------------------------
// Helpers shared with the other sources.
// ---------------------------------------------------------------------------

std::string OsGetHomeDirectory()
{
    const char* szHome = getenv("HOME");
    if (szHome && szHome[0])
    {
        return szHome;
    }
    struct passwd passwdEntry;
    struct passwd* ppasswd = nullptr;
    char szBuffer[4096];
    if ((getpwuid_r(getuid(), &passwdEntry, szBuffer, sizeof(szBuffer), &ppasswd) == 0) && ppasswd && ppasswd->pw_dir &&
        ppasswd->pw_dir[0])
    {
        return ppasswd->pw_dir;
    }
    return "/tmp";
}

std::string OsGetProgramPath()
{
    char szPath[PATH_MAX];
    ssize_t iLen = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    if (iLen <= 0)
    {
        return "";
    }
    szPath[iLen] = '\0';
    return szPath;
}

std::string OsGetDefaultLogDirectory()
{
    const char* szLogDir = getenv("ZAV_LOGDIR");
    std::string szDirectory;
    if (szLogDir && szLogDir[0])
    {
        szDirectory = szLogDir;
    }
    else
    {
        szDirectory = OsGetHomeDirectory() + "/.dravo/log";
    }
    OsMakeDirectories(szDirectory.c_str());
    return szDirectory;
}

int OsRunAndRead(const char* const* a_aszArgv, std::string& a_szOutput, size_t a_u64Max)
{
    a_szOutput.clear();
    if (!a_aszArgv || !a_aszArgv[0])
    {
        return -1;
    }
    int aiPipe[2];
    if (pipe2(aiPipe, O_CLOEXEC) != 0)
    {
        return -1;
    }
    posix_spawn_file_actions_t fileactions;
    posix_spawn_file_actions_init(&fileactions);
    posix_spawn_file_actions_adddup2(&fileactions, aiPipe[1], 1);
    posix_spawn_file_actions_addopen(&fileactions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fileactions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int iError = posix_spawnp(&pid, a_aszArgv[0], &fileactions, nullptr, const_cast<char* const*>(a_aszArgv), environ);
    posix_spawn_file_actions_destroy(&fileactions);
    close(aiPipe[1]);
    if (iError != 0)
    {
        close(aiPipe[0]);
        return -1;
    }
    char szBuffer[1024];
    for (;;)
    {
        ssize_t iRead = read(aiPipe[0], szBuffer, sizeof(szBuffer));
        if (iRead < 0 && errno == EINTR)
        {
            continue;
        }
        if (iRead <= 0)
        {
            break;
        }
        if (a_szOutput.size() < a_u64Max)
        {
            a_szOutput.append(szBuffer, std::min(static_cast<size_t>(iRead), a_u64Max - a_szOutput.size()));
        }
    }
    close(aiPipe[0]);
    int iStatus = 0;
    while ((waitpid(pid, &iStatus, 0) < 0) && (errno == EINTR))
    {
    }
    return (WIFEXITED(iStatus) && (WEXITSTATUS(iStatus) == 0)) ? 0 : -1;
}

static bool OsCfgIsDirectory(const std::string& a_szPath)
{
    struct stat statEntry;
    return !a_szPath.empty() && (stat(a_szPath.c_str(), &statEntry) == 0) && S_ISDIR(statEntry.st_mode);
}

static std::string OsCfgTrim(const std::string& a_sz)
{
    size_t u64Start = a_sz.find_first_not_of(" \t\r\n");
    if (u64Start == std::string::npos)
    {
        return "";
    }
    size_t u64End = a_sz.find_last_not_of(" \t\r\n");
    return a_sz.substr(u64Start, u64End - u64Start + 1);
}

// A hexadecimal address as printed by "%p" ("0x55d0...", "(nil)").
static const void* OsCfgParsePointer(const char* a_szText)
{
    if (!a_szText || !a_szText[0] || (strcmp(a_szText, "(nil)") == 0))
    {
        return nullptr;
    }
    char* szEnd = nullptr;
    unsigned long long u64Value = strtoull(a_szText, &szEnd, 16);
    if (!szEnd || (*szEnd != '\0'))
    {
        return nullptr;
    }
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(u64Value));
}

// ---------------------------------------------------------------------------
// COsCfg
// ---------------------------------------------------------------------------

class COsCfgImpl
{
public:
    std::mutex                              m_mutex;
    std::map<std::pair<int, int>, std::string> m_mapValue;     // built-in values and const.ini overrides
    const OsCfgName*                        m_poscfgnameSection = nullptr;  // the host's tables
    const OsCfgName*                        m_poscfgnameTag = nullptr;
    const char* const*                      m_aszHostData = nullptr;
    int                                     m_iHostSections = 0;
    int                                     m_iHostTags = 0;

    void LoadHost(const char* a_szArguments);
    void LoadBuiltins();
    void LoadConstIni();
    int FindSection(const char* a_szName);
    int FindTag(int a_iSection, const char* a_szName);
    const char* HostValue(int a_iSection, int a_iTag);
    static std::string FindDesktop();
};

void COsCfgImpl::LoadHost(const char* a_szArguments)
{
    if (!a_szArguments || !a_szArguments[0])
    {
        return;
    }
    char szSection[64];
    char szTag[64];
    char szData[64];
    if ((COsXml::GetContent(a_szArguments, "<cfgsectionptr>", "</cfgsectionptr>", szSection, sizeof(szSection), false) != OS_STS_OK) ||
        (COsXml::GetContent(a_szArguments, "<cfgtagptr>", "</cfgtagptr>", szTag, sizeof(szTag), false) != OS_STS_OK) ||
        (COsXml::GetContent(a_szArguments, "<cfgdataptr>", "</cfgdataptr>", szData, sizeof(szData), false) != OS_STS_OK))
    {
        return;     // no host section
    }
    const OsCfgName* poscfgnameSection = static_cast<const OsCfgName*>(OsCfgParsePointer(OsCfgTrim(szSection).c_str()));
    const OsCfgName* poscfgnameTag = static_cast<const OsCfgName*>(OsCfgParsePointer(OsCfgTrim(szTag).c_str()));
    const char* const* aszData = static_cast<const char* const*>(OsCfgParsePointer(OsCfgTrim(szData).c_str()));
    if (!poscfgnameSection || !poscfgnameTag || !aszData)
    {
        OSLOG_ERROR("cfg>>> bad host configuration tables...<%s> <%s> <%s>", szSection, szTag, szData);
        return;
    }
    int iSections = 0;
    while ((iSections < OSCFG_MAXROWS) && poscfgnameSection[iSections].szName)
    {
        iSections++;
    }
    int iTags = 0;
    while ((iTags < OSCFG_MAXROWS) && poscfgnameTag[iTags].szName)
    {
        iTags++;
    }
    if ((iSections >= OSCFG_MAXROWS) || (iTags >= OSCFG_MAXROWS))
    {
        OSLOG_ERROR("cfg>>> host configuration tables have no end...");
        return;
    }
    m_poscfgnameSection = poscfgnameSection;
    m_poscfgnameTag = poscfgnameTag;
    m_aszHostData = aszData;
    m_iHostSections = iSections;
    m_iHostTags = iTags;
}

void COsCfgImpl::LoadBuiltins()
{
    std::string szProgram = OsGetProgramPath();
    m_mapValue[std::make_pair(1, static_cast<int>(OS_CFGTAG_APPLICATIONPATH))] = szProgram;
    m_mapValue[std::make_pair(1, static_cast<int>(OS_CFGTAG_ICCPROFILE))] = "";
    // The desktop and the log directory are found on first use (Get).
}

std::string COsCfgImpl::FindDesktop()
{
    const char* aszArgv[] = {"xdg-user-dir", "DESKTOP", nullptr};
    std::string szOutput;
    if (OsRunAndRead(aszArgv, szOutput, 4096) == 0)
    {
        szOutput = OsCfgTrim(szOutput);
        if (OsCfgIsDirectory(szOutput))
        {
            return szOutput;
        }
    }
    std::string szHome = OsGetHomeDirectory();
    if (OsCfgIsDirectory(szHome + "/Desktop"))
    {
        return szHome + "/Desktop";
    }
    return szHome;
}

int COsCfgImpl::FindSection(const char* a_szName)
{
    if (!a_szName)
    {
        return 0;
    }
    for (int ii = 0; ii < m_iHostSections; ii++)
    {
        if (strcasecmp(m_poscfgnameSection[ii].szName, a_szName) == 0)
        {
            return m_poscfgnameSection[ii].iId;
        }
    }
    if (strcasecmp(a_szName, OSCFG_SECTIONNAME) == 0)
    {
        return OS_CFGSECTION_OSSETTINGS;
    }
    return 0;
}

int COsCfgImpl::FindTag(int a_iSection, const char* a_szName)
{
    if (!a_szName)
    {
        return 0;
    }
    if (a_iSection == OS_CFGSECTION_OSSETTINGS)
    {
        for (const OsCfgBuiltinTag& tag : s_aoscfgbuiltintag)
        {
            if (strcasecmp(tag.szName, a_szName) == 0)
            {
                return tag.iId;
            }
        }
        return 0;
    }
    for (int ii = 0; ii < m_iHostTags; ii++)
    {
        if (strcasecmp(m_poscfgnameTag[ii].szName, a_szName) == 0)
        {
            return m_poscfgnameTag[ii].iId;
        }
    }
    return 0;
}

const char* COsCfgImpl::HostValue(int a_iSection, int a_iTag)
{
    if (!m_aszHostData)
    {
        return nullptr;
    }
    int iRow = a_iSection - 1000;
    int iColumn = a_iTag - 1000;
    if ((iRow < 1) || (iRow > m_iHostSections) || (iColumn < 1) || (iColumn > m_iHostTags))
    {
        return nullptr;
    }
    return m_aszHostData[(iRow * (m_iHostTags + 1)) + iColumn];
}

void COsCfgImpl::LoadConstIni()
{
    std::string szFolder;
    const char* szCfgDir = getenv("ZAV_OSCFGDIR");
    if (szCfgDir && szCfgDir[0])
    {
        szFolder = szCfgDir;
    }
    else
    {
        szFolder = OsGetProgramPath();
        size_t u64Slash = szFolder.rfind('/');
        szFolder = (u64Slash == std::string::npos) ? "." : szFolder.substr(0, u64Slash);
    }
    std::string szPath = szFolder + "/const.ini";
    // Only a regular file is read (never a FIFO that would block start-up, nor
    // a device that never ends), and of it only the first OSCFG_INIMAX bytes.
    int iFd = open(szPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (iFd < 0)
    {
        return;
    }
    struct stat st;
    if ((fstat(iFd, &st) != 0) || !S_ISREG(st.st_mode))
    {
        OSLOG_ERROR("cfg>>> const.ini is not a regular file, not read...<%s>", szPath.c_str());
        close(iFd);
        return;
    }
    std::string szText;
    char szBuffer[4096];
    while (szText.size() < OSCFG_INIMAX)
    {
        ssize_t iRead = read(iFd, szBuffer, sizeof(szBuffer));
        if (iRead < 0 && errno == EINTR)
        {
            continue;
        }
        if (iRead <= 0)
        {
            break;
        }
        szText.append(szBuffer, std::min(static_cast<size_t>(iRead), static_cast<size_t>(OSCFG_INIMAX) - szText.size()));
    }
    close(iFd);

    int iSection = 0;
    size_t u64Pos = 0;
    int iLine = 0;
    while (u64Pos < szText.size())
    {
        size_t u64End = szText.find('\n', u64Pos);
        if (u64End == std::string::npos)
        {
            u64End = szText.size();
        }
        std::string szLine = OsCfgTrim(szText.substr(u64Pos, u64End - u64Pos));
        u64Pos = u64End + 1;
        iLine++;
        if (szLine.empty() || (szLine[0] == ';'))
        {
            continue;
        }
        if (szLine[0] == '[')
        {
            size_t u64Close = szLine.find(']');
            std::string szName = OsCfgTrim(szLine.substr(1, (u64Close == std::string::npos) ? std::string::npos : u64Close - 1));
            iSection = FindSection(szName.c_str());
            if (!iSection)
            {
                OSLOG_INFO("cfg>>> const.ini line %d: unknown section <%s>", iLine, szName.c_str());
            }
            continue;
        }
        size_t u64Equal = szLine.find('=');
        if ((u64Equal == std::string::npos) || !iSection)
        {
            continue;
        }
        std::string szTag = OsCfgTrim(szLine.substr(0, u64Equal));
        std::string szValue = OsCfgTrim(szLine.substr(u64Equal + 1));
        int iTag = FindTag(iSection, szTag.c_str());
        if (!iTag)
        {
            OSLOG_INFO("cfg>>> const.ini line %d: unknown tag <%s>", iLine, szTag.c_str());
            continue;
        }
        m_mapValue[std::make_pair(iSection, iTag)] = szValue;
    }
}

COsCfg::COsCfg(const char* a_szArguments) : m_poscfgimpl(nullptr)
{
    try
    {
        m_poscfgimpl = new COsCfgImpl;
        m_poscfgimpl->LoadHost(a_szArguments);
        m_poscfgimpl->LoadBuiltins();
        m_poscfgimpl->LoadConstIni();
    }
    catch (...)
    {
        delete m_poscfgimpl;
        m_poscfgimpl = nullptr;
    }
}

COsCfg::~COsCfg()
{
    delete m_poscfgimpl;
    m_poscfgimpl = nullptr;
}

const char* COsCfg::Get(int a_iSection, int a_iTag)
{
    if (!m_poscfgimpl)
    {
        OSLOG_ASSERT("m_poscfgimpl is null...");
        return nullptr;
    }
    const std::pair<int, int> pairKey(a_iSection, a_iTag);
    {
        std::lock_guard<std::mutex> lock(m_poscfgimpl->m_mutex);
        auto it = m_poscfgimpl->m_mapValue.find(pairKey);
        if (it != m_poscfgimpl->m_mapValue.end())
        {
            return it->second.c_str();
        }
        const char* szHost = m_poscfgimpl->HostValue(a_iSection, a_iTag);
        if (szHost)
        {
            return szHost;
        }
    }
    // Values found on first use, computed without holding the lock.
    std::string szValue;
    if ((a_iSection == OS_CFGSECTION_OSSETTINGS) && (a_iTag == OS_CFGTAG_DESKTOPDIRECTORY))
    {
        szValue = COsCfgImpl::FindDesktop();
    }
    else if ((a_iSection == OS_CFGSECTION_OSSETTINGS) && (a_iTag == OS_CFGTAG_LOGDIRECTORY))
    {
        szValue = OsGetDefaultLogDirectory();
    }
    else
    {
        return "";
    }
    try
    {
        std::lock_guard<std::mutex> lock(m_poscfgimpl->m_mutex);
        auto pairInsert = m_poscfgimpl->m_mapValue.emplace(pairKey, szValue);
        return pairInsert.first->second.c_str();
    }
    catch (...)
    {
        return "";
    }
}

const char* COsCfg::Get(const char* a_szSection, const char* a_szTag)
{
    if (!m_poscfgimpl)
    {
        OSLOG_ASSERT("m_poscfgimpl is null...");
        return nullptr;
    }
    int iSection = m_poscfgimpl->FindSection(a_szSection);
    int iTag = iSection ? m_poscfgimpl->FindTag(iSection, a_szTag) : 0;
    if (!iSection || !iTag)
    {
        return "";
    }
    return Get(iSection, iTag);
}

EOSSTS COsCfg::GetEnv(const char* a_szName, const char* a_szDefault, size_t a_u64Size, char* a_szValue, int a_iFlag)
{
    (void)a_iFlag;
    if (!a_szName || !a_szName[0] || !a_szValue || (a_u64Size == 0))
    {
        OSLOG_ASSERT("cfg>>> GetEnv bad arguments...%p %p %u", static_cast<const void*>(a_szName),
                     static_cast<void*>(a_szValue), static_cast<unsigned>(a_u64Size));
        return OS_STS_BAD_ARGUMENT;
    }
    const char* szValue = getenv(a_szName);
    if (!szValue || !szValue[0])
    {
        szValue = a_szDefault ? a_szDefault : "";
    }
    size_t u64Len = strlen(szValue);
    if (u64Len >= a_u64Size)
    {
        a_szValue[0] = '\0';
        OSLOG_ASSERT("cfg>>> GetEnv value does not fit...%s", a_szName);
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    memcpy(a_szValue, szValue, u64Len + 1);
    return OS_STS_OK;
}

EOSSTS COsCfg::SetEnv(const char* a_szName, const char* a_szValue)
{
    if (!a_szName || !a_szName[0] || strchr(a_szName, '='))
    {
        OSLOG_ASSERT("cfg>>> SetEnv bad name...%p", static_cast<const void*>(a_szName));
        return OS_STS_BAD_ARGUMENT;
    }
    int iResult = a_szValue ? setenv(a_szName, a_szValue, 1) : unsetenv(a_szName);
    if (iResult != 0)
    {
        OSLOG_ERROR("cfg>>> SetEnv failed...%d <%s>", errno, a_szName);
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

int64_t COsCfg::InfoGetLong(EOSCFGINFO a_eoscfginfo, int a_iProcessor, bool a_blFlag)
{
    (void)a_iProcessor;
    (void)a_blFlag;
    switch (a_eoscfginfo)
    {
        case OS_CFGINFO_OSFAMILY:
            return 2;
        case OS_CFGINFO_CPU_PROCESSBITS:
            return static_cast<int64_t>(sizeof(void*) * 8);
        default:
            OSLOG_ERROR("cfg>>> InfoGetLong: unsupported item %d", static_cast<int>(a_eoscfginfo));
            return 0;
    }
}

void* COsCfg::GetHmodule()
{
    if (g_OsCfgHinstance == static_cast<const void*>(g_szApplicationPath))
    {
        return nullptr;     // the application, no library
    }
    return const_cast<void*>(g_OsCfgHinstance);
}

char** COsCfg::GetThrowAwayPointer()
{
    static char* s_szThrowAway = nullptr;
    return &s_szThrowAway;
}

// ---------------------------------------------------------------------------
// Start and stop.
// ---------------------------------------------------------------------------

template <class T, class... Args>
static T* OsServicesNew(Args... a_args)
{
    try
    {
        return new T(a_args...);
    }
    catch (...)
    {
        return nullptr;
    }
}

EOSSTS OsServicesStart(const char* a_szArguments)
{
    if (g_posstring || g_poslog || g_posmem || g_poscfg || g_poslocale)
    {
        OSLOG_ERROR("cfg>>> OsServicesStart: the services are already started...");
        return OS_STS_IN_USE;
    }

    // The module description: the log's name and level.
    char szUniqueName[64] = "";
    char szLogLevel[16] = "";
    if (g_szOsXml)
    {
        COsXml::GetContent(g_szOsXml, "<uniquename>", "</uniquename>", szUniqueName, sizeof(szUniqueName), true);
        COsXml::GetContent(g_szOsXml, "<loglevel>", "</loglevel>", szLogLevel, sizeof(szLogLevel), false);
    }

    g_posstring = OsServicesNew<COsString>();
    g_poslog = OsServicesNew<COsLog>();
    if (g_poslog)
    {
        if (szUniqueName[0])
        {
            g_poslog->SetLogName(szUniqueName);
        }
        const char* szDebug = getenv("ZAV_DEBUG");
        if ((!szDebug || !szDebug[0]) && szLogLevel[0])
        {
            g_poslog->SetDebugLevel(atoi(szLogLevel));
        }
    }
    g_posmem = OsServicesNew<COsMem>();
    g_poscfg = OsServicesNew<COsCfg>(a_szArguments);
    g_poslocale = OsServicesNew<COsLocale>();

    if (g_poslog && g_poslog->GetDebugLevel() && g_poscfg)
    {
        g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "cfg>>> [%s]", OSCFG_SECTIONNAME);
        for (const OsCfgBuiltinTag& tag : s_aoscfgbuiltintag)
        {
            g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "cfg>>> %s=%s", tag.szName,
                              g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, tag.iId));
        }
    }

    if (!g_posstring || !g_poslog || !g_posmem || !g_poscfg || !g_poslocale)
    {
        OSLOG_ERROR("cfg>>> OsServicesStart: an object could not be created...%p %p %p %p %p",
                    static_cast<void*>(g_posstring), static_cast<void*>(g_poslog), static_cast<void*>(g_posmem),
                    static_cast<void*>(g_poscfg), static_cast<void*>(g_poslocale));
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

template <class T>
static void OsServicesDelete(T*& a_pt)
{
    T* pt = a_pt;
    a_pt = nullptr;     // users see null while the object goes
    delete pt;
}

EOSSTS OsServicesStop(void)
{
    OsServicesDelete(g_poslocale);
    OsServicesDelete(g_poscfg);
    OsServicesDelete(g_posmem);
    OsServicesDelete(g_poslog);
    OsServicesDelete(g_posstring);
    OsFileShutdown();
    return OS_STS_OK;
}
