// test_os_cfg.cpp
// Configuration: the built-in section, a host section handed over by
// address, const.ini overrides, look-ups by name, environment and system
// information, and the start-up order.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "osservices.h"
#include "test_os_support.h"

// A host section as the program's start-up hands it over.
static const OsCfgName s_aoscfgnameSection[] = {{"dsIdentity", 1001}, {nullptr, 1000}};
static const OsCfgName s_aoscfgnameTag[] = {{"InitLanguage", 1001}, {"InitProductName", 1002}, {"InitProtocolVersion", 1003},
                                            {"ForceBoldAlt", 1004}, {"ForceReadline", 1005},   {"ForcePrefix", 1006},
                                            {nullptr, 1000}};
static const char* s_aszValue[2][7] = {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
                                       {nullptr, "TWLG_ENGLISH_USA", "", "1.9", "0", "1", "1"}};

static std::string OsCfgTestArguments()
{
    char szArguments[256];
    COsString::SStrPrintf(szArguments, sizeof(szArguments),
                          "<arguments>\n\t<cfgsectionptr>%p</cfgsectionptr>\n\t<cfgtagptr>%p</cfgtagptr>\n\t<cfgdataptr>%p</cfgdataptr>\n</arguments>",
                          static_cast<const void*>(s_aoscfgnameSection), static_cast<const void*>(s_aoscfgnameTag),
                          static_cast<const void*>(s_aszValue));
    return szArguments;
}

TEST(OsCfg, TheServicesStartInOrderAndStopToNull)
{
    {
        OsTestServices services;
        EXPECT_EQ(OS_STS_OK, services.Status());
        EXPECT_NE(nullptr, g_posstring);
        EXPECT_NE(nullptr, g_poslog);
        EXPECT_NE(nullptr, g_posmem);
        EXPECT_NE(nullptr, g_poscfg);
        EXPECT_NE(nullptr, g_poslocale);
        EXPECT_EQ(OS_STS_IN_USE, OsServicesStart(nullptr));    // a second start is refused
    }
    EXPECT_EQ(nullptr, g_posstring);
    EXPECT_EQ(nullptr, g_poslog);
    EXPECT_EQ(nullptr, g_posmem);
    EXPECT_EQ(nullptr, g_poscfg);
    EXPECT_EQ(nullptr, g_poslocale);
}

// (the program's own path, the log folder made when missing and the desktop
// as the program uses them: test_e2e_embedded.cpp, test_e2e_script_replay.cpp,
// test_e2e_script.cpp)
TEST(OsCfg, TheDesktopFallsBackToHome)
{
    e2e::TempDir ostestdir;
    std::string szSavedHome = getenv("HOME") ? getenv("HOME") : "";
    std::string szSavedPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("HOME", ostestdir.Path().c_str(), 1);
    setenv("PATH", "/nonexistent", 1);      // no xdg-user-dir to ask
    {
        OsTestServices services;
        EXPECT_EQ(ostestdir.Path(), g_poscfg->Get(1, 6));
    }
    std::filesystem::create_directory(ostestdir / "Desktop");
    {
        OsTestServices services;
        EXPECT_EQ(ostestdir / "Desktop", g_poscfg->Get(1, 6));
    }
    setenv("HOME", szSavedHome.c_str(), 1);
    setenv("PATH", szSavedPath.c_str(), 1);
}

TEST(OsCfg, TheLogFolderDefaultsToAFolderUnderHome)
{
    e2e::TempDir ostestdir;
    std::string szSavedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", ostestdir.Path().c_str(), 1);
    {
        OsTestServices services;
        unsetenv("ZAV_LOGDIR");
        COsCfg oscfg(nullptr);
        EXPECT_EQ(ostestdir / ".dravo/log", oscfg.Get(1, 12));
        EXPECT_TRUE(std::filesystem::is_directory(ostestdir / ".dravo/log"));
    }
    setenv("HOME", szSavedHome.c_str(), 1);
}

TEST(OsCfg, TheHostSectionComesThroughTheArgumentsXml)
{
    std::string szArguments = OsCfgTestArguments();
    OsTestServices services(szArguments.c_str());
    EXPECT_STREQ("TWLG_ENGLISH_USA", g_poscfg->Get(1001, 1001));
    EXPECT_STREQ("", g_poscfg->Get(1001, 1002));
    EXPECT_STREQ("1.9", g_poscfg->Get(1001, 1003));
    EXPECT_STREQ("1", g_poscfg->Get(1001, 1006));
    EXPECT_STREQ("", g_poscfg->Get(1001, 1007));   // past the tag table
    EXPECT_STREQ("", g_poscfg->Get(1002, 1001));   // past the section table
    EXPECT_STREQ("", g_poscfg->Get(1000, 1000));
    EXPECT_STREQ("", g_poscfg->Get(1, 111));   // a built-in tag without a value
    EXPECT_STREQ("", g_poscfg->Get(1, 7));
    EXPECT_STREQ("", g_poscfg->Get(2, 6));
    // By names, case-insensitively, host tables first, then the built-in ones.
    EXPECT_STREQ("1.9", g_poscfg->Get("DSIDENTITY", "initprotocolversion"));
    EXPECT_STREQ(g_poscfg->Get(1, 21), g_poscfg->Get("ossettings", "ApplicationPath"));
    EXPECT_STREQ("", g_poscfg->Get("dsIdentity", "NoSuchTag"));
    EXPECT_STREQ("", g_poscfg->Get("NoSuchSection", "InitLanguage"));
    EXPECT_STREQ("", g_poscfg->Get(nullptr, "InitLanguage"));
}

TEST(OsCfg, BadHostAddressesAreIgnored)
{
    OsTestServices services("<arguments><cfgsectionptr>(nil)</cfgsectionptr><cfgtagptr>0x1</cfgtagptr>"
                            "<cfgdataptr>zz</cfgdataptr></arguments>");
    EXPECT_EQ(OS_STS_OK, services.Status());
    EXPECT_STREQ("", g_poscfg->Get(1001, 1001));
    EXPECT_TRUE(services.LogHas("cfg>>> bad host configuration tables"));
}

TEST(OsCfg, ConstIniOverridesBuiltInAndHostValues)
{
    std::string szArguments = OsCfgTestArguments();
    const char* szConstIni =
        "; overrides for this machine\n"
        "[OsSettings]\n"
        "  IccProfile = /profiles/scanner.icc  \n"
        "desktopdirectory=/custom/desktop\r\n"
        "unknowntag=ignored\n"
        "[dsIdentity]\n"
        "InitLanguage=TWLG_FRENCH\n"
        "ForcePrefix=0\n"
        "   ; InitProtocolVersion=2.0\n"
        "[nosuchsection]\n"
        "InitProductName=ignored\n"
        "no equals sign here\n";
    OsTestServices services(szArguments.c_str(), szConstIni);
    EXPECT_STREQ("/profiles/scanner.icc", g_poscfg->Get(1, 111));
    EXPECT_STREQ("/custom/desktop", g_poscfg->Get(1, 6));
    EXPECT_STREQ("TWLG_FRENCH", g_poscfg->Get(1001, 1001));
    EXPECT_STREQ("0", g_poscfg->Get("dsidentity", "forceprefix"));
    EXPECT_STREQ("1.9", g_poscfg->Get(1001, 1003));
    EXPECT_STREQ("", g_poscfg->Get(1001, 1002));
}

TEST(OsCfg, OnlyTheFirst64KiBOfConstIniAreRead)
{
    std::string szConstIni = "[ossettings]\niccprofile=early\n";
    szConstIni += std::string(65536 - szConstIni.size() - 10, ';') + "\n";
    szConstIni += "iccprofile=late\n";
    OsTestServices services(nullptr, szConstIni.c_str());
    EXPECT_STREQ("early", g_poscfg->Get(1, 111));
}

TEST(OsCfg, GetEnvAndSetEnv)
{
    OsTestServices services;
    char szValue[8];
    EXPECT_EQ(OS_STS_OK, COsCfg::SetEnv("DRAVO_TEST_VAR", "abc"));
    EXPECT_EQ(OS_STS_OK, COsCfg::GetEnv("DRAVO_TEST_VAR", "def", sizeof(szValue), szValue, 0));
    EXPECT_STREQ("abc", szValue);
    EXPECT_EQ(OS_STS_OK, COsCfg::SetEnv("DRAVO_TEST_VAR", ""));
    EXPECT_EQ(OS_STS_OK, COsCfg::GetEnv("DRAVO_TEST_VAR", "def", sizeof(szValue), szValue, 0));
    EXPECT_STREQ("def", szValue);    // empty counts as unset
    EXPECT_EQ(OS_STS_OK, COsCfg::SetEnv("DRAVO_TEST_VAR", nullptr));
    EXPECT_EQ(nullptr, getenv("DRAVO_TEST_VAR"));
    EXPECT_EQ(OS_STS_OK, COsCfg::GetEnv("DRAVO_TEST_VAR", "0", sizeof(szValue), szValue, 0));
    EXPECT_STREQ("0", szValue);
    EXPECT_EQ(OS_STS_DESTINATION_TOO_SMALL, COsCfg::GetEnv("DRAVO_TEST_VAR", "12345678", sizeof(szValue), szValue, 0));
    EXPECT_STREQ("", szValue);
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsCfg::GetEnv(nullptr, "x", sizeof(szValue), szValue, 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsCfg::GetEnv("X", "x", 0, szValue, 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsCfg::SetEnv("A=B", "x"));
}

TEST(OsCfg, TheLogTakesItsNameAndLevelFromTheModuleDescription)
{
    OsTestServices services;
    EXPECT_EQ(0, g_poslog->GetDebugLevel());
    g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "hidden at level 0");
    g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ERROR, "an error %d", 42);
    std::string szLog = services.Log();
    EXPECT_EQ(std::string::npos, szLog.find("hidden at level 0"));
    EXPECT_NE(std::string::npos, szLog.find(" ERR test_os_cfg.cpp:"));
    EXPECT_NE(std::string::npos, szLog.find(" an error 42\n"));
    char szPath[1024];
    ASSERT_EQ(OS_STS_OK, g_poslog->GetLogPath(szPath, sizeof(szPath)));
    EXPECT_EQ(services.Dir() / "log/dravo_tests.log", szPath);
}

TEST(OsCfg, ZavDebugSetsTheLevelAndInformationLinesAppear)
{
    OsTestServices services;
    OsServicesStop();
    setenv("ZAV_DEBUG", "3", 1);
    ASSERT_EQ(OS_STS_OK, OsServicesStart(nullptr));
    unsetenv("ZAV_DEBUG");
    EXPECT_EQ(3, g_poslog->GetDebugLevel());
    g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "two\nlines");
    std::string szLog = services.Log();
    EXPECT_NE(std::string::npos, szLog.find(" INF test_os_cfg.cpp:"));
    EXPECT_NE(std::string::npos, szLog.find(" two lines\n"));    // one line per message
    EXPECT_NE(std::string::npos, szLog.find("cfg>>> applicationpath="));
}

TEST(OsCfg, TheLogFallsBackWhenItsFolderCannotBeWritten)
{
    OsTestServices services;
    ASSERT_EQ(OS_STS_OK, g_poslog->SetLogDirectory("/proc/nonexistent"));
    EXPECT_EQ(OS_STS_OK, g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ERROR, "fallback line"));
    char szPath[1024];
    g_poslog->GetLogPath(szPath, sizeof(szPath));
    EXPECT_STREQ("/tmp/zav.log", szPath);
}
