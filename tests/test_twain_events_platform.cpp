// test_twain_events_platform.cpp
// A connection against the stand-in DSM and the simulated scanner of this
// build: the camera walks (file system and pixel types) and the DSM's own
// count of live allocations after a full open and close cycle.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_twain_impl_support.h"

namespace
{

typedef unsigned long (*DiagFunction)(void);

class TwainPlatformTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_env.HaveLookup()) << "the symbol table (tools/lookup.xml) is not built";
        // Keep the DSM loaded across the connection's own loading and
        // unloading, to read its allocation counters.
        m_pvDsm = dlopen(DRAVO_SIM_DSM_PATH, RTLD_NOW);
        ASSERT_NE(m_pvDsm, nullptr) << "the stand-in DSM is not built (target platform_all): " << dlerror();
        m_pfnLive = reinterpret_cast<DiagFunction>(dlsym(m_pvDsm, "TwainDsmDiagLiveAllocations"));
        m_pfnFamily = reinterpret_cast<DiagFunction>(dlsym(m_pvDsm, "TwainDsmDiagFamilyErrors"));
        ASSERT_NE(m_pfnLive, nullptr);
        ASSERT_NE(m_pfnFamily, nullptr);
        m_szJournal = m_env.Services().Dir() / "journal.txt";
        m_szConfig = m_env.Services().Dir() / "sim.cfg";
        OsTestWriteFile(m_szConfig, "");
        setenv("SIMSCANNER_JOURNAL", m_szJournal.c_str(), 1);
        setenv("SIMSCANNER_CONFIG", m_szConfig.c_str(), 1);
        unsetenv("TWAINDSM_SOURCES");
    }
    void TearDown() override
    {
        unsetenv("SIMSCANNER_JOURNAL");
        unsetenv("SIMSCANNER_CONFIG");
        if (m_pvDsm)
        {
            dlclose(m_pvDsm);
        }
    }

    // A connection with the named source open.
    std::unique_ptr<CTwainImpl> Open(const char *a_szProtocol, const char *a_szSource)
    {
        std::unique_ptr<CTwainImpl> ptwainimpl = MakeTwainImpl(a_szProtocol);
        EXPECT_EQ(ptwainimpl->DSMOpen(), TWRC_SUCCESS);
        EXPECT_EQ(ptwainimpl->DSOpen(a_szSource), TWRC_SUCCESS);
        EXPECT_EQ(ptwainimpl->GetTwState(), ETWSTATE_DSOPEN);
        return ptwainimpl;
    }

    // The journal lines of the triplets the source received, as
    // "MSG_x state=a->b".
    std::vector<std::string> JournalCalls(const std::string &a_szDat)
    {
        std::vector<std::string> aszCalls;
        std::istringstream in(OsTestReadFile(m_szJournal));
        const std::regex regexCall("^call .* DG_\\w+/" + a_szDat + "/(\\w+) .* (state=\\S+)");
        std::smatch match;
        for (std::string szLine; std::getline(in, szLine);)
        {
            if (std::regex_search(szLine, match, regexCall))
            {
                aszCalls.push_back(match[1].str() + " " + match[2].str());
            }
        }
        return aszCalls;
    }

    TwainTestEnv m_env;
    TwainTestLog m_log;
    void *m_pvDsm = nullptr;
    DiagFunction m_pfnLive = nullptr;
    DiagFunction m_pfnFamily = nullptr;
    std::string m_szJournal;
    std::string m_szConfig;
};

TEST_F(TwainPlatformTest, TheFileSystemCameraWalkVisitsEverySixCameras)
{
    auto ptwainimpl = Open("2.3", "Simulated Camera");
    std::vector<std::string> aszCameras;
    char szCamera[64];
    TW_UINT16 twrc = ptwainimpl->FirstCamera(szCamera, sizeof(szCamera));
    while (twrc == TWRC_SUCCESS)
    {
        aszCameras.push_back(szCamera);
        twrc = ptwainimpl->NextCamera(szCamera, sizeof(szCamera));
    }
    EXPECT_EQ(twrc, TWRC_XFERDONE) << "the walk ends with 6";
    std::vector<std::string> aszExpected = {"/Camera_Color_Top",  "/Camera_Color_Bottom", "/Camera_Gray_Top",
                                            "/Camera_Gray_Bottom", "/Camera_Bitonal_Top", "/Camera_Bitonal_Bottom"};
    EXPECT_EQ(aszCameras, aszExpected);
    std::vector<std::string> aszChanges = JournalCalls("DAT_FILESYSTEM");
    int iChanges = 0;
    for (const std::string &sz : aszChanges)
    {
        iChanges += sz.compare(0, 19, "MSG_CHANGEDIRECTORY") == 0;
    }
    EXPECT_EQ(iChanges, 6) << "the walk changes into every camera";
}

TEST_F(TwainPlatformTest, AFullCycleLeavesNoLiveDsmAllocation)
{
    unsigned long ulLive = m_pfnLive();
    unsigned long ulFamily = m_pfnFamily();
    {
        auto ptwainimpl = Open("2.3", "Simulated Scanner");
        char szCamera[64];
        // Without a file system the cameras are colour, then bitonal.
        EXPECT_EQ(ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
        EXPECT_STREQ(szCamera, "TWPT_RGB");
        EXPECT_EQ(ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
        EXPECT_STREQ(szCamera, "TWPT_BW");
        EXPECT_EQ(ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_XFERDONE);
        EXPECT_EQ(JournalCalls("DAT_CAPABILITY"),
                  (std::vector<std::string>{"MSG_GETCURRENT state=4->4", "MSG_SET state=4->4", "MSG_GETCURRENT state=4->4",
                                            "MSG_SET state=4->4", "MSG_GETCURRENT state=4->4"}));
        ptwainimpl->m_twidentityDs.ProtocolMajor = 1;   // take the pixel-type reset as well
        EXPECT_EQ(ptwainimpl->DSResetall(), TWRC_SUCCESS);
        ptwainimpl->m_twidentityDs.ProtocolMajor = 2;
        EXPECT_EQ(ptwainimpl->DSResetall(), TWRC_SUCCESS);
        // A handle of our own, made by the DSM's functions.
        TW_HANDLE handle = ptwainimpl->DsMemAlloc(100);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(m_pfnLive(), ulLive + 1);
        ptwainimpl->DsMemFree(handle);
        EXPECT_EQ(ptwainimpl->DSClose(nullptr), TWRC_SUCCESS);
        ptwainimpl->DSMClose();
        EXPECT_EQ(ptwainimpl->GetTwState(), ETWSTATE_NONE);
    }
    EXPECT_EQ(m_pfnLive(), ulLive) << "every container went back to the DSM";
    EXPECT_EQ(m_pfnFamily(), ulFamily) << "and nothing of another family was given to it";
}

TEST_F(TwainPlatformTest, TheIccProfileOfAWaitingImageIsShownAndFreed)
{
    unsigned long ulLive = m_pfnLive();
    {
        auto ptwainimpl = Open("2.3", "Simulated Scanner");
        TW_USERINTERFACE twuserinterface = {0, 0, nullptr};
        ASSERT_EQ(ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twuserinterface, false, false),
                  TWRC_SUCCESS);
        // The flag is set once the event's report is printed: wait for it,
        // not for the state, so that the report is not taken for ours.
        for (int ii = 0; (ii < 1000) && !ptwainimpl->m_au8Event[ETWEVENT_XFERREADY]; ii++)
        {
            usleep(10000);
        }
        ASSERT_EQ(ptwainimpl->GetTwState(), ETWSTATE_XFERREADY);
        unsigned long ulWaiting = m_pfnLive();
        m_log.Clear();
        EXPECT_EQ(ptwainimpl->DSDatIccProfile(TwainWords({"dat_iccprofile", "get"})), TWRC_SUCCESS);
        std::vector<std::string> aszLines = m_log.Lines();
        ASSERT_EQ(aszLines.size(), 3u);
        EXPECT_EQ(aszLines[0], "  Flags......0x11") << "owned by the application, a handle";
        EXPECT_EQ(aszLines[1], "  Length.....132");
        EXPECT_EQ(aszLines[2].compare(0, 15, "  TheMem.....0x"), 0) << aszLines[2];
        EXPECT_EQ(m_pfnLive(), ulWaiting) << "the profile went back to the DSM";
        TW_PENDINGXFERS twpendingxfers = {};
        EXPECT_EQ(ptwainimpl->DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpendingxfers, false, false),
                  TWRC_SUCCESS);
        EXPECT_EQ(ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, false, false),
                  TWRC_SUCCESS);
        ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
        EXPECT_EQ(ptwainimpl->DSClose(nullptr), TWRC_SUCCESS);
        ptwainimpl->DSMClose();
    }
    EXPECT_EQ(m_pfnLive(), ulLive);
}

TEST_F(TwainPlatformTest, CapabilityAnswersAreKeptForTheScriptTests)
{
    auto ptwainimpl = Open("2.3", "Simulated Scanner");
    EXPECT_EQ(ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_get", "CAP_XFERCOUNT"})), TWRC_SUCCESS);
    EXPECT_EQ(ptwainimpl->m_twcapability.Cap, CAP_XFERCOUNT);
    EXPECT_EQ(ptwainimpl->m_twonevalue.ItemType, TWTY_INT16);
    EXPECT_EQ(memcmp(&ptwainimpl->m_twonevalue, &ptwainimpl->m_twonevalueExpected, sizeof(TW_ONEVALUE)), 0);
    EXPECT_EQ(ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_get", "8116"})), TWRC_SUCCESS);
    EXPECT_EQ(ptwainimpl->m_twrange.ItemType, TWTY_UINT32);
    EXPECT_EQ(static_cast<uint32_t>(ptwainimpl->m_twrangeExpected.MaxValue), 4294967295u);
    // A refusal keeps nothing and gives 1.
    EXPECT_EQ(ptwainimpl->DSDatCapability(TwainWords({"dat_capability", "msg_getcurrent", "7777"})), TWRC_FAILURE);
    EXPECT_EQ(ptwainimpl->m_twcapability.Cap, 0x8116);
}

} // namespace
