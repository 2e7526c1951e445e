// test_os_support.h
// Helpers of the services-layer tests: the services started with their log
// in a scratch folder (e2e::TempDir, with the file helpers of e2e_run.h).
#ifndef TEST_OS_SUPPORT_H
#define TEST_OS_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e_run.h"
#include "osservices.h"

// The services for one test: the log and the configuration folder in a
// scratch folder, no debug level unless asked.
class OsTestServices
{
public:
    explicit OsTestServices(const char* a_szArguments = nullptr, const char* a_szConstIni = nullptr, int a_iDebugLevel = 0)
    {
        setenv("ZAV_LOGDIR", (m_ostestdir / "log").c_str(), 1);
        setenv("ZAV_OSCFGDIR", (m_ostestdir / "cfg").c_str(), 1);
        std::filesystem::create_directories(m_ostestdir / "cfg");
        if (a_szConstIni)
        {
            e2e::WriteFile(m_ostestdir / "cfg/const.ini", a_szConstIni);
        }
        unsetenv("ZAV_DEBUG");
        m_eossts = OsServicesStart(a_szArguments);
        if (g_poslog)
        {
            g_poslog->SetDebugLevel(a_iDebugLevel);
        }
    }
    ~OsTestServices()
    {
        OsServicesStop();
        unsetenv("ZAV_LOGDIR");
        unsetenv("ZAV_OSCFGDIR");
    }
    EOSSTS Status() const { return m_eossts; }
    const e2e::TempDir& Dir() const { return m_ostestdir; }
    // Everything the services log holds so far.
    std::string Log() const
    {
        char szPath[1024] = "";
        if (g_poslog)
        {
            g_poslog->GetLogPath(szPath, sizeof(szPath));
        }
        return szPath[0] ? e2e::ReadFile(szPath) : std::string();
    }
    bool LogHas(const std::string& a_szText) const { return Log().find(a_szText) != std::string::npos; }

private:
    e2e::TempDir   m_ostestdir;
    EOSSTS      m_eossts = OS_STS_FAIL;
};

#endif // TEST_OS_SUPPORT_H
