// test_e2e_dsopen.cpp
// Opening and closing Data Sources through the real program and the
// simulated scanner: by name, by the source chosen with dsmset and by the
// DSM's default; a refused open; the three ways of resetting a source;
// twlist, the prompt and the terminal title in state 4; and destroying an
// object whose source is still open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::SimShell;

namespace
{

const std::string s_szCurrent = "\033[1m*\033[0m";

} // namespace

TEST(E2eDsOpen, ByNameThenCloseWithTwlistPromptAndTitle)
{
    SimShell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\ntwlist\ndsclose\ntwlist\n"
                           "dsmclose\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 4, 4, 3, 3, 0}));
    EXPECT_TRUE(sh.Has("Simulated Scanner ZAV ver=1.0 twn=2.4 grp=DS2,CUSTOM,IMAGE,CONTROL"));
    EXPECT_TRUE(sh.Has(s_szCurrent + " 0 - Simulated Scanner ZAV ver=1.0 twn=2.4 dsm=TWAINDSM"));
    EXPECT_TRUE(sh.Has(s_szCurrent + " 0 - dsm open"));
    EXPECT_NE(r.err.find("\033]2;Dravo (64-bit,4): Simulated Scanner ZAV\007"), std::string::npos) << r.err;
    size_t posOpen = r.err.find("\033]2;Dravo (64-bit,4): Simulated Scanner ZAV\007");
    EXPECT_NE(r.err.find("\033]2;Dravo (64-bit,3)\007", posOpen), std::string::npos) << "the close shows state 3";
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "state=4->3", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_TRUE(sh.Journal({"scanner DG_CONTROL/DAT_IDENTITY/MSG_OPENDS"}).empty()) << "no other source opened";
}

TEST(E2eDsOpen, TheSourceChosenWithDsmset)
{
    SimShell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsmlist silent\ndsmset \"Scanner 1\"\ndsopen\ntwlist\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has("set to Simulated Scanner 1.x"));
    EXPECT_TRUE(sh.Has("Simulated Scanner 1.x ver=1.0 twn=1.9 grp=IMAGE,CONTROL"));
    EXPECT_TRUE(sh.Has(s_szCurrent + " 0 - Simulated Scanner 1.x ver=1.0 twn=1.9 dsm=TWAINDSM"));
    EXPECT_EQ(sh.Journal({"scanner1x DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    // The teardown at exit closes the source before the DSM.
    EXPECT_EQ(sh.Journal({"scanner1x DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(), 1u);
}

TEST(E2eDsOpen, WithoutAChoiceTheDsmOpensItsDefault)
{
    SimShell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsmlist\ndsopen \"\"\ntwlist\nexit\n");
    EXPECT_EQ(r.status, 0);
    // The default is the source dsmlist marks; an empty name opens it, as none does.
    EXPECT_TRUE(sh.HasSequence({s_szCurrent + " 0 - Simulated Camera", "  1 - Simulated Scanner"})) << r.out;
    EXPECT_TRUE(sh.HasSequence({"Simulated Camera ver=1.0 twn=2.4 grp=DS2,IMAGE,CONTROL",
                                s_szCurrent + " 0 - Simulated Camera ver=1.0 twn=2.4 dsm=TWAINDSM"}));
}

TEST(E2eDsOpen, ARefusedOpenPrintsTheCodesAndStaysInState3)
{
    SimShell sh;
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsopen \"No Such Scanner\"\ntwlist\ndsclose\nreturn\nsetexitstatus\nexit\n");
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(sh.CountAffixed("TWRC_FAILURE/TWCC_", ""), 1);
    EXPECT_TRUE(sh.Has(s_szCurrent + " 0 - dsm open"));
    EXPECT_TRUE(sh.Journal({"MSG_OPENDS"}).empty());
    EXPECT_NE(r.status, 0) << "the failed open is the last return code";
}

// And so are the DSM's own commands above state 3.
TEST(E2eDsOpen, OpenIsRefusedOutsideState3)
{
    SimShell sh;
    e2e::Result r = sh.Run("twcreate\ndsopen\ndsmopen\ndsopen \"Simulated Scanner\"\nset ICAP_XRESOLUTION 5000\n"
                           "dsopen \"Simulated Camera\"\ndsmlist\ndsmclose\ndsmopen\nexit\n");
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 0, 3, 4, 4, 4, 4, 4, 4}));
    // No call: the program's own refusal, not the refused set's code, none asked for.
    EXPECT_EQ(sh.CountAffixed("TWRC_FAILURE/TWCC_SEQERROR", ""), 2) << "state 0 and state 4";
    EXPECT_EQ(sh.Journal({"DG_CONTROL/DAT_STATUS/MSG_GET"}).size(), 1u) << "the set's";
    EXPECT_TRUE(sh.Journal({"camera DG_CONTROL/DAT_IDENTITY/MSG_OPENDS"}).empty());
    EXPECT_TRUE(sh.Has("%%error, can't list drivers while in state 4 or higher..."));
    EXPECT_TRUE(sh.Has("%%error, failed to open the DSM..."));
    EXPECT_EQ(sh.Journal({"MSG_CLOSEDS"}).size(), 1u) << "dsmclose closes nothing in state 4, the exit does";
}

// ---------------------------------------------------------------------------
// resetall
// ---------------------------------------------------------------------------
// Each row: the source's configuration and name, the exit status, the line
// that names the way of resetting (none when refused) and the journal lines
// that must be there once. A reset without a source comes first every time.
TEST(E2eDsResetall, EachKindOfSourceIsResetItsOwnWay)
{
    // The one-value container sent back holds TWPT_RGB (2).
    const std::vector<std::string> aszColour = {"scanner1x DG_CONTROL/DAT_CAPABILITY/MSG_SET",
                                                "container=04000200000000000000", "rc=TWRC_SUCCESS"};
    struct Case
    {
        const char *szConfig;
        const char *szSource;
        int iStatus;
        const char *szLine;
        std::vector<std::vector<std::string>> aaszJournal;
    } const acase[] = {
        {"", "Simulated Scanner", 0, "reset with MSG_RESETALL...",
         {{"scanner DG_CONTROL/DAT_CAPABILITY/MSG_RESETALL", "rc=TWRC_SUCCESS"}}},
        // A 1.x source of ours through its profiles: CAP_PROFILES (0x809F) goes out first in the data.
        {"[scanner1x]\ninfo = \"build 7 ZAV v1.0\"\ncap CAP_PROFILES enum uint16 0 1 2 default=0\n",
         "Simulated Scanner 1.x", 0, "reset with CAP_PROFILES...",
         {{"scanner1x DG_CONTROL/DAT_CAPABILITY/MSG_RESET ", "data=9f80", "rc=TWRC_SUCCESS"}}},
        // Any other 1.x source back to colour.
        {"", "Simulated Scanner 1.x", 0, "reset with ICAP_PIXELTYPE(TWPT_RGB)...",
         {{"scanner1x DG_CONTROL/DAT_CAPABILITY/MSG_GETCURRENT", "data=0101"}, aszColour}},
        {"[scanner1x]\nfault refuse DG_CONTROL DAT_CAPABILITY MSG_SET cap=ICAP_PIXELTYPE cc=TWCC_BADVALUE\n",
         "Simulated Scanner 1.x", 1, nullptr, {}},
        // A 2-byte container that claims to be a one-value is never written
        // past (the sanitizer build reports any such write on standard error).
        {"[scanner1x]\nfault wrongsize DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=ICAP_PIXELTYPE\n",
         "Simulated Scanner 1.x", 0, "reset with ICAP_PIXELTYPE(TWPT_RGB)...", {aszColour}},
        // A 1.x source never receives the DSM's memory functions: whatever the
        // shape of its answer, the container goes back to the C library.
        {"[scanner1x]\nfault contype DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT\n", "Simulated Scanner 1.x", 0, nullptr,
         {{"MSG_GETCURRENT", "fault=contype"}}},
        {"[scanner1x]\nfault itemtype DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT\n", "Simulated Scanner 1.x", 1, nullptr,
         {{"MSG_GETCURRENT", "fault=itemtype"}}},
        {"[scanner1x]\nfault unterminated DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT\n", "Simulated Scanner 1.x", 0,
         "reset with ICAP_PIXELTYPE(TWPT_RGB)...", {{"MSG_GETCURRENT", "fault=unterminated"}, aszColour}},
        // A 1.x protocol with DF_DS2 still in its groups: the maker's profile
        // reset, its containers of the DSM's family.
        {"[zav]\nprotocol = 1.9\n", "Simulated Scanner ZAV", 0, "reset with CAP_PROFILES...",
         {{"zav DG_CONTROL/DAT_CAPABILITY/MSG_RESET ", "data=9f80", "rc=TWRC_SUCCESS"}}},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(std::string(c.szSource) + " " + c.szConfig);
        SimShell sh(c.szConfig);
        sh.KeepDsmLog();
        e2e::Result r = sh.Run(std::string("twcreate\ndsmopen\nresetall\ndsopen \"") + c.szSource +
                               "\"\nresetall\nreturn\nsetexitstatus\nexit\n");
        EXPECT_EQ(r.status, c.iStatus);
        EXPECT_EQ(sh.CountAffixed("reset with", ""), c.szLine ? 1 : 0);
        EXPECT_TRUE(!c.szLine || sh.Has(c.szLine)) << r.out;
        for (const std::vector<std::string> &aszJournal : c.aaszJournal)
        {
            EXPECT_EQ(sh.Journal(aszJournal).size(), 1u) << aszJournal[0];
        }
        EXPECT_TRUE(c.szSource == std::string("Simulated Scanner") || sh.Journal({"MSG_RESETALL"}).empty()) << "1.x: never";
        // Every container went back to its family.
        sh.ExpectDsmMemoryReturned();
    }
}

// ---------------------------------------------------------------------------
// Destroying an object whose source is open
// ---------------------------------------------------------------------------
TEST(E2eDsOpen, TwdestroyWithASourceOpenSendsNoCloseAndDropsItsLateEvents)
{
    // The scanner, enabled for its settings only, says close OK 700 ms
    // later, when its object is gone; the ZAV source of the new object says
    // nothing.
    SimShell sh("[scanner]\nuionly.reply = none\non enableuionly send MSG_CLOSEDSOK after 700 ms\n");
    e2e::Result r = sh.Run("twcreate\ndsmopen\ndsopen \"Simulated Scanner\"\ndat_userinterface msg_enabledsuionly\n"
                           "twlist\ntwdestroy 0\n"
                           "twcreate\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\nwait 2000 msg_closedsok\n"
                           "return\nsetexitstatus\nexit\n");
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 9) << "the new object never saw the old object's event";
    EXPECT_TRUE(sh.Has(s_szCurrent + " 0 - Simulated Scanner ver=1.0 twn=2.4 dsm=TWAINDSM"));
    EXPECT_TRUE(sh.Has("the last CTwain object has been destroyed (none left)..."));
    EXPECT_NE(r.err.find("\033]2;Dravo (64-bit,5): Simulated Scanner\007\033]2;Dravo (64-bit,0)\007"), std::string::npos)
        << r.err;
    EXPECT_FALSE(sh.Has("  *** Got MSG_CLOSEDSOK..."));
    EXPECT_EQ(sh.Journal({"send", "scanner DG_CONTROL/DAT_NULL/MSG_CLOSEDSOK"}).size(), 1u) << "the event was sent";
    EXPECT_TRUE(sh.Journal({"scanner DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS"}).empty()) << "twdestroy closes nothing";
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_USERINTERFACE"}).size(), 1u) << "no disable either";
}
