// test_twain_impl_dsm.cpp
// The connection against the stand-in DSM of the build tree: opening and
// closing it, the entry call's recording and status flag, the registry of
// application identities.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "clookup.h"
#include "test_twain_impl_support.h"

namespace
{

class TwainImplDsmTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_env.HaveLookup()) << "the symbol table (tools/lookup.xml) is not built";
        struct stat st;
        ASSERT_EQ(stat(DRAVO_SIM_DSM_PATH, &st), 0) << "the stand-in DSM is not built: " << DRAVO_SIM_DSM_PATH;
        setenv("TWAINDSM_SOURCES", DRAVO_BINARY_DIR "/tests/platform_fixtures/sources", 1);
        m_ptwainimpl = MakeTwainImpl("2.3", "TWLG_ENGLISH_USA", 2);
    }
    void TearDown() override
    {
        if (m_ptwainimpl)
        {
            m_ptwainimpl->DSMClose();
        }
        m_ptwainimpl.reset();
        unsetenv("TWAINDSM_SOURCES");
    }
    TwainTestEnv m_env;
    TwainTestLog m_log;
    std::unique_ptr<CTwainImpl> m_ptwainimpl;
};

// The identity lines, the refused second open and the reopen as #0 run end
// to end (test_e2e_dsm.cpp); here what only the connection shows.
TEST_F(TwainImplDsmTest, OpenFillsTheIdentityAndCloseZeroesTheConnection)
{
    testing::internal::CaptureStderr();
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(m_ptwainimpl->GetTwDsm(), "TWAINDSM");
    const TW_IDENTITY &twidentity = m_ptwainimpl->m_twidentityApp;
    TW_UINT32 twId = twidentity.Id;
    EXPECT_NE(twId, 0u);
    EXPECT_EQ(twidentity.Version.Language, TWLG_ENGLISH_USA);
    EXPECT_EQ(twidentity.Version.Country, 1);
    EXPECT_STREQ(twidentity.Version.Info, "2008/07/16 1.0.0");
    EXPECT_STREQ(twidentity.Manufacturer, "WEXTO");
    EXPECT_EQ(strlen(twidentity.ProductFamily), 2u);
    EXPECT_STREQ(twidentity.ProductName, "Dravo #2");

    // Callbacks addressed to this application reach this connection, also
    // after the close, which clears the event flags and the discard counter.
    m_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY] = 1;
    m_ptwainimpl->m_i32DiscardXferReady = 3;
    for (int ii = 0; ii < 2; ii++)
    {
        {
            std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
            TW_IDENTITY twidentityDest = {};
            twidentityDest.Id = twId;
            EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentityDest), m_ptwainimpl.get());
        }
        testing::internal::CaptureStderr();
        m_ptwainimpl->DSMClose();
        testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(m_ptwainimpl->m_pfnDsmEntryProc, nullptr);
    EXPECT_EQ(m_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY].load(), 0);
    EXPECT_EQ(m_ptwainimpl->m_i32DiscardXferReady.load(), 0);
    EXPECT_STREQ(m_ptwainimpl->GetTwDsm(), "");
    EXPECT_NE(m_ptwainimpl->m_plookup, nullptr);
    EXPECT_EQ(m_ptwainimpl->m_u32ProtocolMajor, 2u);
    m_log.Clear();
    testing::internal::CaptureStderr();
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(m_ptwainimpl->m_twidentityApp.Version.Language, 0);
}

TEST_F(TwainImplDsmTest, EntryRecordsCodesAndAnswersConditionCodesWhenAsked)
{
    testing::internal::CaptureStderr();
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    testing::internal::GetCapturedStderr();

    // A message the DSM refuses: failure, TWCC_BADPROTOCOL.
    TW_IDENTITY twidentity = {};
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity, false, false), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_FAILURE);

    // The status request records the condition code and keeps the return code.
    TW_STATUS twstatus = {};
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, false, false), TWRC_SUCCESS);
    EXPECT_EQ(twstatus.ConditionCode, TWCC_BADPROTOCOL);
    EXPECT_EQ(m_ptwainimpl->m_twccLast, TWCC_BADPROTOCOL);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_FAILURE);
    TW_UINT16 twrc = 0, twcc = 0;
    EXPECT_TRUE(m_ptwainimpl->DSIfStatus(TwainWords({"ifstatus", "TWRC_FAILURE", "AND", "TWCC_BADPROTOCOL"}), &twrc,
                                         &twcc));

    // A null status record records nothing.
    m_ptwainimpl->m_twccLast = 77;
    m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, nullptr, false, false);
    EXPECT_EQ(m_ptwainimpl->m_twccLast, 77);

    // With the status flag the condition code is the answer.
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity, true, false), TWCC_BADPROTOCOL);
    EXPECT_EQ(m_ptwainimpl->m_twccLast, TWCC_BADPROTOCOL);
    // ... also after a successful call (TWCC_SUCCESS).
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity, true, false), TWCC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->m_twccLast, TWCC_SUCCESS);

    // The names of what the DSM answers.
    char szTwrc[64], szTwcc[64];
    m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity, false, false);
    m_ptwainimpl->GetStatusStrings(TWRC_FAILURE, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
    EXPECT_STREQ(szTwrc, "TWRC_FAILURE");
    EXPECT_STREQ(szTwcc, "TWCC_BADPROTOCOL");
}

// Listing and choosing by index and fragment run end to end
// (test_e2e_dsm.cpp); here the case of a fragment and the ProductName variable.
TEST_F(TwainImplDsmTest, ChooseByCaseSensitiveFragmentOrByTheProductNameVariable)
{
    testing::internal::CaptureStderr();
    ASSERT_EQ(m_ptwainimpl->DSMOpen(), TWRC_SUCCESS);
    testing::internal::GetCapturedStderr();
    m_ptwainimpl->DSMList(TwainWords({"dsmlist", "silent"}));
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, TWRC_ENDOFLIST) << "the status request kept the end of the list";
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset", "fixture"})), TWRC_FAILURE);
    EXPECT_TRUE(m_env.Services().LogHas("driver not found...<fixture>"));
    CVar var;
    CVar *pvarSaved = g_pvar;
    g_pvar = &var;
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset"})), TWRC_FAILURE);
    EXPECT_TRUE(m_env.Services().LogHas("must specify an index or a string from dsmlist..."));
    var.Set("ProductName", "Alpha");
    EXPECT_EQ(m_ptwainimpl->DSMSet(TwainWords({"dsmset"})), TWRC_SUCCESS);
    EXPECT_STREQ(m_ptwainimpl->m_twidentityDs.ProductName, "Fixture Alpha");
    g_pvar = pvarSaved;
}

// A connection destroyed while a source may be open keeps the DSM library
// loaded; one destroyed in state 3 or below releases it.  (Checked with a
// library the system can unload: the stand-in DSM itself never unloads.)
TEST_F(TwainImplDsmTest, DestructionAboveState3KeepsTheLibraryLoaded)
{
    const std::string szLibrary = DRAVO_BINARY_DIR "/tests/platform_fixtures/sources/broken.ds";
    ASSERT_EQ(dlopen(szLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "loaded before the test";

    auto Loaded = [&](ETWSTATE a_etwstate) {
        auto ptwainimpl = MakeTwainImpl();
        ptwainimpl->m_posfileDsm = new COsFile();
        EXPECT_EQ(ptwainimpl->m_posfileDsm->SharedLibraryLoad(szLibrary.c_str()), OS_STS_OK);
        COsString::SStrCpy(ptwainimpl->m_szDsmPath, sizeof(ptwainimpl->m_szDsmPath), szLibrary.c_str());
        testing::internal::CaptureStderr();
        ptwainimpl->SetTwState(a_etwstate);
        testing::internal::GetCapturedStderr();
        ptwainimpl.reset();
        void *pvLibrary = dlopen(szLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (pvLibrary)
        {
            dlclose(pvLibrary);
        }
        return pvLibrary != nullptr;
    };
    EXPECT_FALSE(Loaded(ETWSTATE_DSMOPEN));
    EXPECT_TRUE(Loaded(ETWSTATE_DSOPEN));
}

} // namespace
