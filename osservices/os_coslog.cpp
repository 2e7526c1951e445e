// os_coslog.cpp
// The services log.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

#include "osservices.h"
#include "os_private.h"

#define OSLOG_FALLBACK "/tmp/zav.log"

class COsLogImpl
{
public:
    std::mutex  m_mutex;
    std::atomic<int> m_iDebugLevel{0};
    std::string m_szDirectory;      // set by SetLogDirectory, else asked on the first write
    std::string m_szName = "zav";   // the file's base name
    std::string m_szPath;           // the file in use
    bool        m_blHeaderWritten = false;
};

// The debug level of ZAV_DEBUG: a number, any other non-empty text is 1.
static int OsLogLevelFromEnvironment(int a_iDefault)
{
    const char* szDebug = getenv("ZAV_DEBUG");
    if (!szDebug || !szDebug[0])
    {
        return a_iDefault;
    }
    char* szEnd = nullptr;
    long lLevel = strtol(szDebug, &szEnd, 0);
    if (szEnd == szDebug)
    {
        return 1;
    }
    if (lLevel < 0)
    {
        return 0;
    }
    return (lLevel > 0x7FFFFFFF) ? 0x7FFFFFFF : static_cast<int>(lLevel);
}

static const char* OsLogFlagName(EOSLOGFLAG a_eoslogflag, char* a_szBuffer, size_t a_u64Size)
{
    if (a_eoslogflag & OS_LOGFLAG_ERROR)     return "ERR";
    if (a_eoslogflag & OS_LOGFLAG_ASSERT)    return "AST";
    if (a_eoslogflag & OS_LOGFLAG_MILESTONE) return "MIL";
    if (a_eoslogflag & OS_LOGFLAG_INFO)      return "INF";
    if (a_eoslogflag & OS_LOGFLAG_DEVICE)    return "DEV";
    if (a_eoslogflag & OS_LOGFLAG_FIND)      return "FND";
    if (a_eoslogflag & OS_LOGFLAG_MEM)       return "MEM";
    snprintf(a_szBuffer, a_u64Size, "%03x", static_cast<unsigned>(a_eoslogflag & 0xFFF));
    return a_szBuffer;
}

COsLog::COsLog() : m_poslogimpl(nullptr)
{
    try
    {
        m_poslogimpl = new COsLogImpl;
        m_poslogimpl->m_iDebugLevel = OsLogLevelFromEnvironment(0);
    }
    catch (...)
    {
        m_poslogimpl = nullptr;
    }
}

COsLog::~COsLog()
{
    delete m_poslogimpl;
    m_poslogimpl = nullptr;
}

int COsLog::GetDebugLevel()
{
    if (!m_poslogimpl)
    {
        return 0;
    }
    return m_poslogimpl->m_iDebugLevel;
}

void COsLog::SetDebugLevel(int a_iDebugLevel)
{
    if (!m_poslogimpl)
    {
        return;
    }
    m_poslogimpl->m_iDebugLevel = (a_iDebugLevel < 0) ? 0 : a_iDebugLevel;
}

EOSSTS COsLog::SetLogDirectory(const char* a_szDirectory)
{
    if (!m_poslogimpl)
    {
        return OS_STS_FAIL;
    }
    if (!a_szDirectory)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
    m_poslogimpl->m_szDirectory = a_szDirectory;
    m_poslogimpl->m_szPath.clear();
    return OS_STS_OK;
}

EOSSTS COsLog::SetLogName(const char* a_szName)
{
    if (!m_poslogimpl)
    {
        return OS_STS_FAIL;
    }
    if (!a_szName || !a_szName[0] || strchr(a_szName, '/'))
    {
        return OS_STS_BAD_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
    m_poslogimpl->m_szName = a_szName;
    m_poslogimpl->m_szPath.clear();
    return OS_STS_OK;
}

EOSSTS COsLog::GetLogPath(char* a_szPath, size_t a_u64Size)
{
    if (!m_poslogimpl)
    {
        return OS_STS_FAIL;
    }
    if (!a_szPath || (a_u64Size == 0))
    {
        return OS_STS_BAD_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
    if (m_poslogimpl->m_szPath.size() >= a_u64Size)
    {
        a_szPath[0] = '\0';
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    memcpy(a_szPath, m_poslogimpl->m_szPath.c_str(), m_poslogimpl->m_szPath.size() + 1);
    return OS_STS_OK;
}

EOSSTS COsLog::Message(const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, const char* a_szFormat, ...)
{
    if (!m_poslogimpl || !a_szFormat)
    {
        return OS_STS_FAIL;
    }
    const EOSLOGFLAG eoslogflagAlways = OS_LOGFLAG_ERROR | OS_LOGFLAG_ASSERT | OS_LOGFLAG_MILESTONE;
    if (!(a_eoslogflag & eoslogflagAlways) && (m_poslogimpl->m_iDebugLevel == 0))
    {
        return OS_STS_OK;
    }

    // The message, kept on one line.
    char szMessage[8192];
    va_list valist;
    va_start(valist, a_szFormat);
    int iLen = vsnprintf(szMessage, sizeof(szMessage), a_szFormat, valist);
    va_end(valist);
    if (iLen < 0)
    {
        snprintf(szMessage, sizeof(szMessage), "(bad format <%s>)", a_szFormat);
    }
    else if (static_cast<size_t>(iLen) >= sizeof(szMessage))
    {
        memcpy(szMessage + sizeof(szMessage) - 4, "...", 4);
    }
    for (char* sz = szMessage; *sz; sz++)
    {
        if ((*sz == '\n') || (*sz == '\r'))
        {
            *sz = ' ';
        }
    }

    const char* szFile = a_szFile ? a_szFile : "?";
    const char* szSlash = strrchr(szFile, '/');
    if (szSlash)
    {
        szFile = szSlash + 1;
    }
    char szTimeStamp[32];
    COsTime::GetTimeStamp(szTimeStamp, sizeof(szTimeStamp));
    char szFlag[8];
    const char* szFlagName = OsLogFlagName(a_eoslogflag, szFlag, sizeof(szFlag));

    // Where the file goes, found before taking the log's lock (the
    // configuration may itself write log lines while it works).
    std::string szDirectory;
    {
        std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
        szDirectory = m_poslogimpl->m_szDirectory;
    }
    if (szDirectory.empty())
    {
        const char* szCfg = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, OS_CFGTAG_LOGDIRECTORY) : nullptr;
        szDirectory = (szCfg && szCfg[0]) ? std::string(szCfg) : OsGetDefaultLogDirectory();
        if (szCfg && szCfg[0])
        {
            // Keep the configured folder, also for the lines written after
            // the configuration has gone.
            OsMakeDirectories(szDirectory.c_str());
            std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
            if (m_poslogimpl->m_szDirectory.empty())
            {
                m_poslogimpl->m_szDirectory = szDirectory;
            }
        }
    }

    std::lock_guard<std::mutex> lock(m_poslogimpl->m_mutex);
    std::string szPath = szDirectory + "/" + m_poslogimpl->m_szName + ".log";
    FILE* pfile = fopen(szPath.c_str(), "a");
    if (!pfile)
    {
        szPath = OSLOG_FALLBACK;
        pfile = fopen(szPath.c_str(), "a");
        if (!pfile)
        {
            return OS_STS_FAIL;
        }
    }
    if (szPath != m_poslogimpl->m_szPath)
    {
        m_poslogimpl->m_szPath = szPath;
        m_poslogimpl->m_blHeaderWritten = false;
    }
    if (!m_poslogimpl->m_blHeaderWritten)
    {
        std::string szProgram = OsGetProgramPath();
        fprintf(pfile,
                "==========================================================================\n"
                "services log of %s\n"
                "program: %s\n"
                "pid:     %d\n"
                "started: %s\n"
                "level:   %d\n"
                "==========================================================================\n",
                m_poslogimpl->m_szName.c_str(), szProgram.c_str(), static_cast<int>(getpid()), szTimeStamp,
                m_poslogimpl->m_iDebugLevel.load());
        m_poslogimpl->m_blHeaderWritten = true;
    }
    fprintf(pfile, "%s %6d %6ld %s %s:%d %s\n", szTimeStamp, static_cast<int>(getpid()),
            static_cast<long>(syscall(SYS_gettid)), szFlagName, szFile, a_iLine, szMessage);
    fclose(pfile);
    return OS_STS_OK;
}
