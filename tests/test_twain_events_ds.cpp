// test_twain_events_ds.cpp
// Opening and closing a Data Source, the camera walks and the roll-back
// ladder where the source answers what the simulated scanner never does, on
// a connection wired to a scripted DSM entry point: which triplets go out,
// what the caller gets back, what is printed, and that every container the
// source returns is freed. The normal paths, and the three reset strategies,
// run end to end (test_e2e_dsopen.cpp, test_twain_events_platform.cpp).
#include <gtest/gtest.h>

#include "clookup.h"
#include "test_twain_events_fake.h"

namespace
{

typedef std::vector<std::pair<TW_UINT16, TW_UINT16>> Triplets;

class TwainDsTest : public FakeConnectionTest
{
protected:
    TwainDsTest() : FakeConnectionTest(ETWSTATE_DSOPEN) {}
};

// ---------------------------------------------------------------------------
// DSOpen and DSClose
// ---------------------------------------------------------------------------
class TwainDsOpenTest : public TwainDsTest
{
protected:
    void SetUp() override
    {
        TwainDsTest::SetUp();
        m_ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
        memset(&m_ptwainimpl->m_twidentityDs, 0, sizeof(m_ptwainimpl->m_twidentityDs));
        TW_IDENTITY &twidentity = Fake().twidentityOpened;
        twidentity.Id = 42;
        twidentity.Version.MajorNum = 3;
        twidentity.Version.MinorNum = 1;
        twidentity.Version.Language = TWLG_ENGLISH_USA;
        snprintf(twidentity.Version.Info, sizeof(twidentity.Version.Info), "%s", "ZAV v2.4 sim");
        twidentity.ProtocolMajor = 2;
        twidentity.ProtocolMinor = 3;
        twidentity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
        snprintf(twidentity.ProductName, sizeof(twidentity.ProductName), "%s", "Sim Scanner");
    }
};

TEST_F(TwainDsOpenTest, TheSourcesLanguageBecomesCurrent)
{
    ASSERT_NE(g_poslocale, nullptr);
    Fake().twidentityOpened.Version.Language = TWLG_GERMAN;
    EXPECT_EQ(m_ptwainimpl->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_EQ(g_poslocale->GetLanguage(), OS_LANGUAGE_GERMAN);
    m_ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
    Fake().twidentityOpened.Version.Language = TWLG_ENGLISH_USA;
    EXPECT_EQ(m_ptwainimpl->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_EQ(g_poslocale->GetLanguage(), OS_LANGUAGE_ENGLISH_USA);
    m_ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
    Fake().twidentityOpened.Version.Language = 0x7777;   // no such language: nothing changes
    EXPECT_EQ(m_ptwainimpl->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_EQ(g_poslocale->GetLanguage(), OS_LANGUAGE_ENGLISH_USA);
}

// Opening, registering the callback and the refusals run end to end
// (test_e2e_dsopen.cpp, test_e2e_protocols.cpp).
TEST_F(TwainDsOpenTest, TheCustomValuesFollowTheLastOpenedSource)
{
    EXPECT_EQ(m_ptwainimpl->DSOpen("Sim Scanner"), TWRC_SUCCESS);
    EXPECT_TRUE(m_ptwainimpl->m_plookup->GetCustomValues());
    EXPECT_FALSE(m_ptwainimpl->m_blBothAbove201) << "the application speaks 1.9";
    m_ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
    snprintf(Fake().twidentityOpened.Version.Info, sizeof(TW_STR32), "%s", "sim ZAV v2.4");
    EXPECT_EQ(m_ptwainimpl->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_FALSE(m_ptwainimpl->m_plookup->GetCustomValues()) << "only a leading ZAV v counts";
}

TEST_F(TwainDsOpenTest, BothSidesAbove201OnlyWhenBothAre)
{
    auto ptwainimpl23 = MakeTwainImpl("2.3");
    FakeConnect(ptwainimpl23.get(), ETWSTATE_DSMOPEN);
    memset(&ptwainimpl23->m_twidentityDs, 0, sizeof(TW_IDENTITY));
    EXPECT_EQ(ptwainimpl23->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_TRUE(ptwainimpl23->m_blBothAbove201);
    ptwainimpl23->SetTwState(ETWSTATE_DSMOPEN);
    Fake().twidentityOpened.ProtocolMinor = 1;   // 2.1 is not above 2.01
    EXPECT_EQ(ptwainimpl23->DSOpen(nullptr), TWRC_SUCCESS);
    EXPECT_FALSE(ptwainimpl23->m_blBothAbove201);
}

TEST_F(TwainDsOpenTest, AnEmptyIdentityOpensTheDefaultAndANameReplacesTheChoice)
{
    // Chosen with dsmset, then opened by name: the name wins.
    m_ptwainimpl->m_twidentityDs.Id = 9;
    snprintf(m_ptwainimpl->m_twidentityDs.ProductName, sizeof(TW_STR32), "%s", "Chosen");
    Fake().twrcOpen = TWRC_FAILURE;
    EXPECT_EQ(m_ptwainimpl->DSOpen("A name far too long for the thirty-four byte field"), TWRC_FAILURE);
    EXPECT_EQ(Packed(m_ptwainimpl->m_twidentityDs.Id), 0u);
    EXPECT_STREQ(m_ptwainimpl->m_twidentityDs.ProductName, "A name far too long for the thirt")
        << "a long name is cut, never dropped (an empty name would open the default source)";
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSMOPEN);
    EXPECT_EQ(Fake().Count(DAT_CALLBACK, MSG_REGISTER_CALLBACK), 0);
}

TEST_F(TwainDsTest, CloseGoesBackToState3AndPassesTheSourceOnlyWhenAsked)
{
    EXPECT_EQ(m_ptwainimpl->DSClose(nullptr), TWRC_SUCCESS);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSMOPEN);
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    TwainWords words({"dsclose", "dest"});
    EXPECT_EQ(m_ptwainimpl->DSClose(words), TWRC_SUCCESS);
    ASSERT_EQ(Fake().acalls.size(), 2u);
    EXPECT_FALSE(Fake().acalls[0].blDest);
    EXPECT_TRUE(Fake().acalls[1].blDest);
    EXPECT_EQ(Fake().acalls[1].twmsg, MSG_CLOSEDS);

    m_ptwainimpl->m_twidentityDs.Id = 0;
    EXPECT_EQ(m_ptwainimpl->DSClose(nullptr), TWRC_FAILURE);
    EXPECT_EQ(Fake().acalls.size(), 2u) << "no source: nothing is sent";
}

// ---------------------------------------------------------------------------
// Cameras
// ---------------------------------------------------------------------------
TEST_F(TwainDsTest, TheNameIsCutToTheCallersBuffer)
{
    Fake().aszFiles = {"/a-rather-long-camera-name"};
    char szCamera[8];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "/a-rath");
    EXPECT_EQ(m_ptwainimpl->FirstCamera(nullptr, 0), TWRC_SUCCESS);
}

TEST_F(TwainDsTest, ASourceWithoutColourHasOneBitonalCamera)
{
    Fake().blRgbAllowed = false;
    Fake().twPixelType = TWPT_GRAY;
    char szCamera[64];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "TWPT_BW");
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_XFERDONE);
    EXPECT_TRUE(Fake().setLive.empty());
}

TEST_F(TwainDsTest, ASourceRefusingEveryPixelTypeHasNoCamera)
{
    Fake().blRgbAllowed = false;
    Fake().blBwAllowed = false;
    Fake().twPixelType = TWPT_GRAY;
    char szCamera[64] = "unchanged";
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_STREQ(szCamera, "unchanged");
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_TRUE(Fake().setLive.empty());
}

TEST_F(TwainDsTest, AContainerOfTheWrongShapeIsFreedAndNeverWritten)
{
    Fake().twConType = TWON_ENUMERATION;
    char szCamera[64];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->DSResetall(), TWRC_FAILURE);
    EXPECT_EQ(Fake().Count(DAT_CAPABILITY, MSG_SET), 0);
    EXPECT_EQ(Fake().iFrees, 3);
    EXPECT_TRUE(Fake().setLive.empty());

    Fake().twConType = TWON_ONEVALUE;
    Fake().blNullHandle = true;
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)), TWRC_FAILURE);
    EXPECT_EQ(Fake().Count(DAT_CAPABILITY, MSG_SET), 0);
}

TEST_F(TwainDsTest, AContainerShorterThanAOneValueIsNeverWrittenPast)
{
    // The source claims a one-value but gave only its item type: the new
    // pixel type goes out in a container of the program's own.
    Fake().blShortContainer = true;
    Fake().twPixelType = TWPT_GRAY;
    char szCamera[64];
    EXPECT_EQ(m_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)), TWRC_SUCCESS);
    EXPECT_STREQ(szCamera, "TWPT_RGB");
    EXPECT_EQ(Fake().twPixelType, TWPT_RGB);
    m_ptwainimpl->m_twidentityDs.ProtocolMajor = 1;
    EXPECT_EQ(m_ptwainimpl->DSResetall(), TWRC_SUCCESS);
    EXPECT_EQ(Fake().twPixelType, TWPT_RGB);
    EXPECT_FALSE(Fake().blGuardBroken) << "nothing was written past the source's two bytes";
    EXPECT_EQ(Fake().pvShort, nullptr) << "the source's container was freed";
    EXPECT_TRUE(Fake().setLive.empty()) << "and so was the program's own";
}

// ---------------------------------------------------------------------------
// Roll-back
// ---------------------------------------------------------------------------
TEST_F(TwainDsTest, AFullRollBackFromState7TakesEveryStep)
{
    m_ptwainimpl->SetTwState(ETWSTATE_XFERRING);
    m_ptwainimpl->RollBack(ETWSTATE_XFERRING, ETWSTATE_NONE);
    Triplets atExpected = {{DAT_PENDINGXFERS, MSG_ENDXFER},
                           {DAT_PENDINGXFERS, MSG_RESET},
                           {DAT_USERINTERFACE, MSG_DISABLEDS},
                           {DAT_IDENTITY, MSG_CLOSEDS}};
    EXPECT_EQ(Fake().Triplets(), atExpected);
    EXPECT_EQ(Fake().acalls[2].twShowUI, 1);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_NONE);
}

TEST_F(TwainDsTest, ARollBackTakesOnlyTheStepsTheStateStillAllows)
{
    m_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
    m_ptwainimpl->RollBack(ETWSTATE_XFERRING, ETWSTATE_DSOPEN);
    EXPECT_EQ(Fake().Triplets(), (Triplets{{DAT_USERINTERFACE, MSG_DISABLEDS}}));
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSOPEN);
}

TEST_F(TwainDsTest, ARollBackIgnoresTheSourcesAnswers)
{
    Fake().twrcDisable = TWRC_FAILURE;
    m_ptwainimpl->SetTwState(ETWSTATE_XFERREADY);
    m_ptwainimpl->RollBack(ETWSTATE_XFERREADY, ETWSTATE_DSMOPEN);
    Triplets atExpected = {
        {DAT_PENDINGXFERS, MSG_RESET}, {DAT_USERINTERFACE, MSG_DISABLEDS}, {DAT_IDENTITY, MSG_CLOSEDS}};
    EXPECT_EQ(Fake().Triplets(), atExpected);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_DSMOPEN);
}

TEST_F(TwainDsTest, ARollBackFromALowerStartingStateDoesNothing)
{
    m_ptwainimpl->SetTwState(ETWSTATE_XFERRING);
    m_ptwainimpl->RollBack(ETWSTATE_DSOPEN, ETWSTATE_DSOPEN);
    EXPECT_TRUE(Fake().acalls.empty());
    m_ptwainimpl->m_pfnDsmEntryProc = nullptr;
    m_ptwainimpl->RollBack(ETWSTATE_XFERRING, ETWSTATE_NONE);
    EXPECT_EQ(m_ptwainimpl->GetTwState(), ETWSTATE_XFERRING) << "no DSM: nothing happens";
}

} // namespace
