// test_twain_events_platform.cpp
// A connection against the stand-in DSM and the simulated scanner of this
// build, with the DSM's own count of live allocations at hand. (The camera
// walks and the memory of a full cycle run end to end: test_e2e_capdump.cpp,
// test_e2e_stress.cpp, test_e2e_dsopen.cpp.)
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
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
        ASSERT_NE(m_pfnLive, nullptr);
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

    TwainTestEnv m_env;
    TwainTestLog m_log;
    void *m_pvDsm = nullptr;
    DiagFunction m_pfnLive = nullptr;
    std::string m_szJournal;
    std::string m_szConfig;
};

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
