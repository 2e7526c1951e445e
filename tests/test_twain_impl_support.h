// test_twain_impl_support.h
// Helpers of the connection's unit tests: a test log that captures the lines
// a connection prints, a connection made on the heap and the fixture that
// holds one, hand-built word vectors.
#ifndef DRAVO_TEST_TWAIN_IMPL_SUPPORT_H
#define DRAVO_TEST_TWAIN_IMPL_SUPPORT_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clog.h"
#include "ctwainimpl.h"
#include "test_os_support.h"

// The services started with their log in a scratch folder, which is also the
// current directory for the test and holds the symbol table as
// "lookup.edres" (the test programs carry no LOOKUP resource).
class TwainTestEnv
{
public:
    explicit TwainTestEnv(int a_iDebugLevel = 0) : m_services(nullptr, nullptr, a_iDebugLevel)
    {
        char szCwd[4096] = "";
        if (getcwd(szCwd, sizeof(szCwd)))
        {
            m_szCwdSaved = szCwd;
        }
        std::error_code errorcode;
        std::filesystem::copy_file(std::string(DRAVO_BINARY_DIR) + "/tools/lookup.xml",
                                   m_services.Dir() / "lookup.edres",
                                   std::filesystem::copy_options::overwrite_existing, errorcode);
        m_blLookup = !errorcode;
        if (chdir(m_services.Dir().Path().c_str()) != 0)
        {
            m_blLookup = false;
        }
    }
    ~TwainTestEnv()
    {
        if (!m_szCwdSaved.empty() && (chdir(m_szCwdSaved.c_str()) != 0))
        {
            perror("chdir");
        }
    }
    // True when the symbol table file is in place (built by dravo_lookup_xml).
    bool HaveLookup() const
    {
        return m_blLookup;
    }
    OsTestServices &Services()
    {
        return m_services;
    }

private:
    OsTestServices m_services;
    std::string m_szCwdSaved;
    bool m_blLookup = false;
};

// Installs a test log (no console) that captures every plain line, and
// removes it again.
class TwainTestLog
{
public:
    TwainTestLog() : m_plogSaved(g_plog), m_log(nullptr)
    {
        g_plog = &m_log;
        m_log.DataSet("on");
    }
    ~TwainTestLog()
    {
        g_plog = m_plogSaved;
    }
    std::vector<std::string> Lines()
    {
        std::vector<std::string> aszLines;
        for (int ii = 0; ii < m_log.DataCount(); ii++)
        {
            aszLines.push_back(m_log.DataLine(ii));
        }
        return aszLines;
    }
    std::string Last()
    {
        int iCount = m_log.DataCount();
        return iCount ? std::string(m_log.DataLine(iCount - 1)) : std::string();
    }
    void Clear()
    {
        m_log.DataSet("on");
    }

private:
    CLog *m_plogSaved;
    CLog m_log;
};

// A connection (about 10 MB, so always on the heap).
inline std::unique_ptr<CTwainImpl> MakeTwainImpl(const char *a_szProtocol = "1.9",
                                                 const char *a_szLanguage = "TWLG_ENGLISH_USA", int a_iInstance = 0)
{
    return std::unique_ptr<CTwainImpl>(new CTwainImpl(a_szProtocol, a_szLanguage, a_iInstance));
}

// A connection without a DSM, with the services started, the symbol table
// at hand and the plain lines it prints captured.
class TwainImplTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_env.HaveLookup()) << "the symbol table (tools/lookup.xml) is not built";
        m_ptwainimpl = MakeTwainImpl();
    }
    TwainTestEnv m_env;
    TwainTestLog m_log;
    std::unique_ptr<CTwainImpl> m_ptwainimpl;
};

// A word vector as the shell makes it: the words, then a null.
class TwainWords
{
public:
    TwainWords(std::initializer_list<const char *> a_aszWords) : m_aszWords(a_aszWords)
    {
        m_aszWords.push_back(nullptr);
        m_aszWords.push_back(nullptr);
    }
    operator const char *const *() const
    {
        return m_aszWords.data();
    }

private:
    std::vector<const char *> m_aszWords;
};

// A line of the extended image information in its text form.
inline std::string EiiLine(const std::string &a_szName, const std::string &a_szType, const std::string &a_szValue)
{
    return a_szName + std::string(32 - a_szName.size(), '.') + a_szType + std::string(18 - a_szType.size(), '.') +
           a_szValue;
}

// A test name made of the letters and digits of a text.
inline std::string TwainTestName(const std::string &a_sz, size_t a_u64Index)
{
    std::string szName;
    for (char c : a_sz)
    {
        szName += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return (szName.empty() ? std::string("empty") : szName) + "_" + std::to_string(a_u64Index);
}

#endif // DRAVO_TEST_TWAIN_IMPL_SUPPORT_H
