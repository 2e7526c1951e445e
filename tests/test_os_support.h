// test_os_support.h
// Helpers of the services-layer tests: a scratch folder, and the services
// started with their log in that folder.
#ifndef TEST_OS_SUPPORT_H
#define TEST_OS_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "osservices.h"

// A scratch folder removed with its contents at the end of the test.
class OsTestDir
{
public:
    OsTestDir()
    {
        char szTemplate[] = "/tmp/dravo_ostest_XXXXXX";
        const char* szDir = mkdtemp(szTemplate);
        m_szPath = szDir ? szDir : "/tmp";
    }
    ~OsTestDir()
    {
        std::error_code errorcode;
        if (m_szPath != "/tmp")
        {
            std::filesystem::remove_all(m_szPath, errorcode);
        }
    }
    const std::string& Path() const { return m_szPath; }
    std::string operator/(const std::string& a_szName) const { return m_szPath + "/" + a_szName; }

private:
    std::string m_szPath;
};

inline std::string OsTestReadFile(const std::string& a_szPath)
{
    std::ifstream ifstreamFile(a_szPath, std::ios::binary);
    std::stringstream stringstreamText;
    stringstreamText << ifstreamFile.rdbuf();
    return stringstreamText.str();
}

inline void OsTestWriteFile(const std::string& a_szPath, const std::string& a_szText)
{
    std::ofstream ofstreamFile(a_szPath, std::ios::binary | std::ios::trunc);
    ofstreamFile << a_szText;
}

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
            OsTestWriteFile(m_ostestdir / "cfg/const.ini", a_szConstIni);
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
    const OsTestDir& Dir() const { return m_ostestdir; }
    // Everything the services log holds so far.
    std::string Log() const
    {
        char szPath[1024] = "";
        if (g_poslog)
        {
            g_poslog->GetLogPath(szPath, sizeof(szPath));
        }
        return szPath[0] ? OsTestReadFile(szPath) : std::string();
    }
    bool LogHas(const std::string& a_szText) const { return Log().find(a_szText) != std::string::npos; }

private:
    OsTestDir   m_ostestdir;
    EOSSTS      m_eossts = OS_STS_FAIL;
};

#endif // TEST_OS_SUPPORT_H
