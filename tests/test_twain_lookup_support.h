// test_twain_lookup_support.h
// Helpers of the symbol-table tests: the services for a suite, a scratch
// folder that is also the current directory while a table loads from
// "./lookup.edres", and the source table read with the generator's reader.
#ifndef DRAVO_TEST_TWAIN_LOOKUP_SUPPORT_H
#define DRAVO_TEST_TWAIN_LOOKUP_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "clookup.h"
#include "osservices.h"
#include "test_os_support.h"
#include "../tools/lookuptab.h"

namespace lookuptest
{

// The services, started for a suite unless something already started them.
class Services
{
public:
    static void Start() { s_pservices = (g_posmem == nullptr) ? new OsTestServices : nullptr; }
    static void Stop()
    {
        delete s_pservices;
        s_pservices = nullptr;
    }
    // The services log written so far ("" when there is none).
    static std::string LogText() { return s_pservices ? s_pservices->Log() : std::string(); }

private:
    static inline OsTestServices* s_pservices = nullptr;
};

// Makes a folder the current directory, and restores the old one.
class InDir
{
public:
    explicit InDir(const std::string& a_szDir)
    {
        char sz[4096];
        m_szOld = getcwd(sz, sizeof(sz)) ? sz : "/";
        m_blOk = (chdir(a_szDir.c_str()) == 0);
    }
    ~InDir()
    {
        if (chdir(m_szOld.c_str()) != 0)
        {
            std::abort();
        }
    }
    bool Ok() const { return m_blOk; }

private:
    std::string m_szOld;
    bool m_blOk;
};

// Load a table from an XML text, as the program does from "./lookup.edres".
inline EOSSTS LoadXml(CLookup& a_clookup, const std::string& a_szXml)
{
    e2e::TempDir dir;
    e2e::WriteFile(dir / "lookup.edres", a_szXml);
    InDir indir(dir.Path());
    return indir.Ok() ? a_clookup.Load() : OS_STS_FAIL;
}

inline std::string SourceTablePath()
{
    return std::string(DRAVO_SOURCE_DIR) + "/twain/lookup/lookup.tab";
}

inline std::string GeneratedXmlPath()
{
    return std::string(DRAVO_BINARY_DIR) + "/tools/lookup.xml";
}

// The source table, read and checked by the generator's own reader.
inline bool SourceTable(std::vector<lookuptab::Record>& a_records, std::string& a_error)
{
    std::string szText = e2e::ReadFile(SourceTablePath());
    if (szText.empty())
    {
        a_error = "cannot read " + SourceTablePath();
        return false;
    }
    return lookuptab::Parse(szText, a_records, a_error);
}

} // namespace lookuptest

#endif // DRAVO_TEST_TWAIN_LOOKUP_SUPPORT_H
