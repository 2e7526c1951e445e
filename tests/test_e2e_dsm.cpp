// test_e2e_dsm.cpp
// The Data Source Manager commands through the real program: twcreate with
// the protocol forms, dsmopen, dsmlist, dsmset, dsmfind, dsmclose, twlist and
// the prompt's state, twdestroy with the DSM open, the terminal title, and
// what the entry call sends and records, checked in the stand-in DSM's log.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

namespace
{

const std::string s_szFixtures = std::string(DRAVO_BINARY_DIR) + "/tests/platform_fixtures/sources";
const std::string s_szMark = "\033[1m*\033[0m";

// One run of dravo-sim in a fresh folder, with the fixture Data Sources and
// the DSM's own log.
class DsmRun : public shelltest::Shell
{
public:
    DsmRun()
    {
        Dir().MakeDir("bin");
        SetEnv("TWAINDSM_SOURCES", s_szFixtures);
        KeepDsmLog();
    }
    // The simulated scanner's sources beside the DSM, with its journal.
    void UseSimulatedScanner()
    {
        UnsetEnv("TWAINDSM_SOURCES");
        SetEnv("SIMSCANNER_JOURNAL", Dir().File("journal.txt"));
    }
    // The DSM's log: its call lines without time and thread.
    std::vector<std::string> DsmCalls() const
    {
        std::vector<std::string> aszCalls;
        for (const std::string &szLine : e2e::Lines(DsmLog()))
        {
            size_t u64 = szLine.find("dsm>>> origin=");
            if (u64 != std::string::npos)
                aszCalls.push_back(szLine.substr(u64 + 7));
        }
        return aszCalls;
    }
    // How many of those hold a_szText.
    int CountCalls(const std::string &a_szText) const
    {
        std::vector<std::string> aszCalls = DsmCalls();
        return static_cast<int>(std::count_if(aszCalls.begin(), aszCalls.end(), [&](const std::string &a_sz) {
            return a_sz.find(a_szText) != std::string::npos;
        }));
    }
    // The simulator's journal: the triplets its sources received, as
    // "<source> <DG>/<DAT>/<MSG> ... rc=..." without the sequence number.
    std::vector<std::string> Journal() const
    {
        std::vector<std::string> aszCalls;
        for (const std::string &szLine : e2e::Lines(Dir().Read("journal.txt")))
        {
            size_t u64Source = szLine.compare(0, 5, "call ") == 0 ? szLine.find(' ', 5) : std::string::npos;
            if (u64Source != std::string::npos)
                aszCalls.push_back(szLine.substr(u64Source + 1));
        }
        return aszCalls;
    }
};

std::string Title(const std::string &a_szTitle)
{
    return "\033]2;" + a_szTitle + "\007";
}

// ---------------------------------------------------------------------------
// twcreate and dsmopen
// ---------------------------------------------------------------------------
struct OpenCase
{
    const char *szCreate;       // the twcreate line
    const char *szIdentity;     // the identity line of dsmopen
};

// Test listings name a case by its command line.
void PrintTo(const OpenCase &a_opencase, std::ostream *a_pos)
{
    *a_pos << a_opencase.szCreate;
}

class E2eDsmOpen : public testing::TestWithParam<OpenCase>
{
};

TEST_P(E2eDsmOpen, IdentityLineGroupsAndLibrary)
{
    const OpenCase &c = GetParam();
    DsmRun run;
    run.Run(std::string(c.szCreate) + "\ndsmopen\nexit\n");
    ASSERT_EQ(run.Result().status, 0) << run.Result().err;
    // The DSM announces DF_DSM2 to every application.
    std::vector<std::string> aszExpected = {"CTwain object: #0", c.szIdentity,
                                            std::string("DSM: ") + DRAVO_SIM_DSM_PATH, "DSM: DF_DSM2 found..."};
    EXPECT_TRUE(run.HasSequence(aszExpected)) << run.Result().out;
    EXPECT_EQ(run.PromptStates(), (std::vector<int>{0, 0, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    ProtocolForms, E2eDsmOpen,
    testing::Values(OpenCase{"twcreate", "Dravo #0 ver=1.0 twn=1.9 grp=CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 1", "Dravo #0 ver=1.0 twn=1.9 grp=CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 1.x", "Dravo #0 ver=1.0 twn=1.9 grp=CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 1.6", "Dravo #0 ver=1.0 twn=1.6 grp=CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 2", "Dravo #0 ver=1.0 twn=2.0 grp=APP2,CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 2.", "Dravo #0 ver=1.0 twn=2.0 grp=APP2,CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 2.3", "Dravo #0 ver=1.0 twn=2.3 grp=APP2,CUSTOM,IMAGE,CONTROL"},
                    OpenCase{"twcreate 2.12", "Dravo #0 ver=1.0 twn=2.12 grp=APP2,CUSTOM,IMAGE,CONTROL"}),
    [](const testing::TestParamInfo<OpenCase> &a_info) {
        std::string szName;
        for (const char *pc = a_info.param.szCreate; *pc; pc++)
        {
            szName += isalnum(static_cast<unsigned char>(*pc)) ? *pc : '_';
        }
        return szName;
    });

TEST(E2eDsm, OpenTwiceAndCloseAndOpenAgain)
{
    DsmRun run;
    run.Run("twcreate\ntwcreate 2.3\ndsmopen\ndsmopen\ndsmclose\ndsmopen\ndsmclose\nexit\n");
    ASSERT_EQ(run.Result().status, 0) << run.Result().err;
    // The second open is refused: the DSM already gave this application an Id.
    EXPECT_EQ(run.CountOf("%%error, failed to open the DSM..."), 1);
    EXPECT_TRUE(run.ServicesLogHas("The DSM seems to have assigned an ID already..."));
    // The close zeroed the instance number: the next open announces #0.
    EXPECT_EQ(run.CountOf("Dravo #1 ver=1.0 twn=2.3 grp=APP2,CUSTOM,IMAGE,CONTROL"), 1);
    EXPECT_EQ(run.CountOf("Dravo #0 ver=1.0 twn=2.3 grp=APP2,CUSTOM,IMAGE,CONTROL"), 1);
    EXPECT_EQ(run.PromptStates(), (std::vector<int>{0, 0, 0, 3, 3, 0, 3, 0}));
    EXPECT_EQ(run.CountCalls("DAT_PARENT/MSG_OPENDSM rc=0"), 2);
    EXPECT_EQ(run.CountCalls("DAT_PARENT/MSG_CLOSEDSM rc=0"), 2);
    // Everything in state 3 goes to the DSM itself.
    EXPECT_EQ(run.CountCalls(" dest=0 "), static_cast<int>(run.DsmCalls().size())) << run.DsmLog();
}

// ---------------------------------------------------------------------------
// dsmlist, dsmset, dsmfind
// ---------------------------------------------------------------------------
TEST(E2eDsm, ListMarksTheDefaultSourceInBold)
{
    DsmRun run;
    run.Run("twcreate\ndsmlist\ndsmopen\ndsmlist\ndsmlist silent\ndsmlist SILENT\nexit\n");
    ASSERT_EQ(run.Result().status, 0);
    std::vector<std::string> aszList = {s_szMark + " 0 - Fixture Alpha", "  1 - Fixture Refuser",
                                        // a name without terminator is shown with 31 characters
                                        "  2 - " + std::string(31, 'Z'), "  3 - Fixture Beta"};
    EXPECT_TRUE(run.HasSequence(aszList)) << run.Result().out;
    EXPECT_EQ(run.CountOf(aszList[0]), 1);
    // The three listings after the DSM's open went to it, each ending with a status request.
    EXPECT_EQ(run.CountCalls(" DG_CONTROL/DAT_IDENTITY/MSG_GETDEFAULT rc=0 cc=0"), 3);
    EXPECT_EQ(run.CountCalls(" DG_CONTROL/DAT_IDENTITY/MSG_GETNEXT rc=7 cc=0"), 3);
    EXPECT_EQ(run.CountCalls(" DG_CONTROL/DAT_STATUS/MSG_GET rc=0 cc=0"), 3);
}

TEST(E2eDsm, SetByIndexByFragmentAndItsErrors)
{
    DsmRun run;
    run.Run("twcreate\ndsmset 1\ndsmopen\ndsmset 1\ndsmlist silent\ndsmset 1\ndsmset Beta\ndsmset Fixture\n"
            "dsmset 9\ndsmset 64\ndsmset nothing\ndsmset ZZZ\nexit\n");
    ASSERT_EQ(run.Result().status, 0);
    EXPECT_EQ(run.CountOf("%%error, can't select driver...<1>"), 2);
    EXPECT_TRUE(run.ServicesLogHas("DSMSet executed in wrong state..."));
    EXPECT_TRUE(run.ServicesLogHas("no driver at this index..."));
    EXPECT_TRUE(run.HasSequence({"set to Fixture Refuser", "set to Fixture Beta", "set to Fixture Alpha",
                                 "%%error, can't select driver...<9>", "%%error, can't select driver...<64>",
                                 "%%error, can't select driver...<nothing>", "set to " + std::string(31, 'Z')}))
        << run.Result().out;
    EXPECT_TRUE(run.ServicesLogHas("index out of range..."));
    EXPECT_TRUE(run.ServicesLogHas("driver not found...<nothing>"));
}

TEST(E2eDsm, UserSelectFallsBackToTheChooserWithoutShell)
{
    // A stand-in chooser that records its arguments one per line and picks
    // Beta: only the first 40 bytes of its answer count, so the choice is cut
    // at the line feed that ends "Fixture Beta".  Then a chooser that was
    // cancelled (prints nothing), and none at all.
    const struct
    {
        std::string szChooser;   // "": none on the PATH
        const char *szWord;
    } acase[] = {
        {"for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$ZENITY_ARGS\"\nprintf 'Fixture Beta\\n%s\\n' " +
             std::string(40, 'x') + "\n",
         "userselect"},
        {"exit 1\n", "msg_userselect"},
        {"", "UserSelect"},
    };
    for (const auto &c : acase)
    {
        SCOPED_TRACE(c.szWord);
        DsmRun run;
        if (!c.szChooser.empty())
        {
            run.Dir().Write("bin/zenity", "#!/bin/sh\n" + c.szChooser);
            chmod(run.Dir().File("bin/zenity").c_str(), 0755);
        }
        run.SetEnv("PATH", run.Dir().File("bin") + (c.szChooser.empty() ? "" : ":/usr/bin:/bin"));
        run.SetEnv("ZENITY_ARGS", run.Dir().File("args.txt"));
        run.Dir().Write("s.txt", std::string("dsmset ") + c.szWord +
                                     "\nifstatus TWRC_FAILURE AND TWCC_BADPROTOCOL\necho userselect-refused\nend\n");
        run.Run("twcreate\ndsmopen\nrun s\ndsmlist\nexit\n");
        ASSERT_EQ(run.Result().status, 0);
        // The command's codes are its own refused MSG_USERSELECT's, whatever
        // the chooser's walks answered.
        EXPECT_TRUE(run.Has("\033[1muserselect-refused\033[0m")) << run.Result().out;
        bool blChosen = &c == &acase[0];
        EXPECT_EQ(run.Has(std::string("%%error, can't select driver...<") + c.szWord + ">"), !blChosen) << run.Result().out;
        if (!blChosen)
        {
            continue;
        }
        std::vector<std::string> aszExpected = {"--list",        "--title",         "Select Source", "--column",
                                                "Sources:",      "Fixture Alpha",   "Fixture Refuser",
                                                std::string(33, 'Z'), "Fixture Beta"};
        EXPECT_EQ(e2e::Lines(run.Dir().Read("args.txt")), aszExpected);
        // The choice became the DSM's default source.
        EXPECT_NE(run.DsmLog().find("default source is now \"Fixture Beta\""), std::string::npos);
        EXPECT_TRUE(run.HasSequence({"  0 - Fixture Alpha", "  1 - Fixture Refuser", "  2 - " + std::string(31, 'Z'),
                                     s_szMark + " 3 - Fixture Beta"}))
            << run.Result().out;
    }
}

TEST(E2eDsm, FindNamesCapabilitiesAndSymbols)
{
    DsmRun run;
    run.Run("twcreate\ndsmfind ICAP_XRESOLUTION\ndsmopen\ndsmfind ICAP_XRESOLUTION\ndsmfind icap_xresolution\n"
            "dsmfind TWRC_BUSY\ndsmfind TWPT_RGB\ndsmfind NOTHING_HERE\ndsmfind MSG_GET\nexit\n");
    ASSERT_EQ(run.Result().status, 0);
    // In state 0 nothing is found.
    EXPECT_TRUE(run.ServicesLogHas("DSMFind executed in wrong state..."));
    EXPECT_EQ(run.CountOf("ICAP_XRESOLUTION: 4376 0x1118"), 2);
    EXPECT_TRUE(run.Has("TWRC_BUSY: 32769 0x8001"));
    // A value of a capability: the capability first, then the symbol.
    EXPECT_TRUE(run.HasSequence({"ICAP_PIXELTYPE: 257 0x101", "TWPT_RGB: 2 0x2"})) << run.Result().out;
    EXPECT_EQ(run.CountOf("%%error, string not found..."), 3);
    EXPECT_TRUE(run.ServicesLogHas("name not found..."));
}

// ---------------------------------------------------------------------------
// twdestroy (twlist, the prompt and the title: test_e2e_shell_twain.cpp)
// ---------------------------------------------------------------------------
TEST(E2eDsm, TwdestroyClosesNothingForTheDestroyedApplication)
{
    // In state 3 and with a source open: the destroyed application never
    // closed its source or the DSM, which kept its log open for it instead
    // of starting afresh for the new one; the new one closed the DSM.
    for (bool blSource : {false, true})
    {
        SCOPED_TRACE(blSource);
        DsmRun run;
        if (blSource)
        {
            run.UseSimulatedScanner();
        }
        run.Run(std::string("twcreate 2.3\ndsmopen\n") + (blSource ? "dsopen\n" : "") +
                "twdestroy 0\ntwcreate\ndsmopen\ndsmlist silent\ntwlist\ndsmclose\nexit\n");
        EXPECT_EQ(run.Result().status, 0) << run.Result().err;
        EXPECT_TRUE(run.Has("the last CTwain object has been destroyed (none left)..."));
        EXPECT_TRUE(run.Has(s_szMark + " 0 - dsm open")) << run.Result().out;
        EXPECT_NE(run.Result().err.find(Title("Dravo (64-bit,0)")), std::string::npos);
        EXPECT_EQ(e2e::Count(run.DsmLog(), "dsm>>> log opened"), 1) << run.DsmLog();
        std::vector<std::string> aszOpens, aszCloses;
        for (const std::string &szCall : run.DsmCalls())
        {
            std::string szOrigin = szCall.substr(0, szCall.find(' '));
            if (szCall.find("MSG_OPENDSM") != std::string::npos)
                aszOpens.push_back(szOrigin);
            if (szCall.find("MSG_CLOSEDS") != std::string::npos)   // of a source or of the DSM
                aszCloses.push_back(szOrigin);
        }
        ASSERT_EQ(aszOpens.size(), 2u) << run.DsmLog();
        EXPECT_NE(aszOpens[0], aszOpens[1]);
        EXPECT_EQ(aszCloses, std::vector<std::string>{aszOpens[1]});
    }
}

// In debug mode the DSM is told to write its own log beside the services log,
// afresh at every start.
TEST(E2eDsm, DebugModePointsTheDsmLogAtTheLogDirectory)
{
    shelltest::Shell sh;
    sh.SetEnv("ZAV_DEBUG", "1");
    sh.LogDir().Write("twaindsm.txt", "old content\n");
    EXPECT_EQ(sh.Run("twcreate\ndsmopen\ndsmclose\nexit\n").status, 0);
    std::string szDsmLog = sh.LogDir().Read("twaindsm.txt");
    EXPECT_NE(szDsmLog.find("DAT_PARENT/MSG_OPENDSM"), std::string::npos) << szDsmLog;
    EXPECT_EQ(szDsmLog.find("old content"), std::string::npos);
    EXPECT_TRUE(sh.ServicesLogHas("mem>>> addr:"));
}

// ---------------------------------------------------------------------------
// What the entry call records
// ---------------------------------------------------------------------------
TEST(E2eDsm, TheStatusRequestKeepsTheLastReturnCode)
{
    DsmRun run;
    run.Dir().Write("check.txt", "twcreate\ndsmopen\ndsmlist silent\n"
                                 "ifstatus TWRC_ENDOFLIST AND TWCC_SUCCESS\necho endoflist-kept\nend\n"
                                 "ifstatus TWRC_SUCCESS\necho success-wrong\nend\n"
                                 // a success after a failure has no condition code of its own
                                 "dat_identity msg_get\ndat_identity msg_getdefault\n"
                                 "ifstatus TWRC_SUCCESS AND TWCC_SUCCESS\necho success-clean\nend\n"
                                 "return TWRC_FAILURE TWCC_BADVALUE\n");
    run.Dir().Write("after.txt", "ifstatus TWRC_FAILURE AND TWCC_BADVALUE\necho forced\nend\n");
    run.Run("run check\nrun after\nexit\n");
    ASSERT_EQ(run.Result().status, 0);
    EXPECT_TRUE(run.Has("\033[1mendoflist-kept\033[0m")) << run.Result().out;
    EXPECT_FALSE(run.Has("\033[1msuccess-wrong\033[0m"));
    EXPECT_TRUE(run.HasInOrder({"TWRC_FAILURE/TWCC_BADPROTOCOL", "\033[1msuccess-clean\033[0m"}));
    EXPECT_TRUE(run.Has("\033[1mforced\033[0m")) << run.Result().out;
}

TEST(E2eDsm, EntryRoutesToTheSourceOnlyWhereItMust)
{
    DsmRun run;
    run.UseSimulatedScanner();
    run.Dir().Write("route.txt", "twcreate 2.3\ndsmopen\ndsopen NoSuchSource\n"
                                 "ifstatus TWRC_FAILURE AND TWCC_NODS\necho nods-recorded\nend\n"
                                 "dsmlist silent\ndsmset 1\ndsopen\nresetall\n"
                                 "ifstatus TWRC_SUCCESS\necho reset-recorded\nend\n"
                                 "dsclose x\ndsopen\ndsclose\ndsmclose\n");
    run.Run("run route\nexit\n");
    ASSERT_EQ(run.Result().status, 0) << run.Result().err;
    // A failed open names the DSM's answer, whose condition code is recorded.
    EXPECT_TRUE(run.Has("TWRC_FAILURE/TWCC_NODS")) << run.Result().out;
    EXPECT_TRUE(run.Has("\033[1mnods-recorded\033[0m")) << run.Result().out;
    EXPECT_TRUE(run.Has("\033[1mreset-recorded\033[0m")) << run.Result().out;

    // What went to the DSM and to whom: the source is the destination of a
    // call to the open source, and of a close only when asked for.
    auto Dest = [](const std::string &a_szCall) {
        size_t u64Dest = a_szCall.find(" dest=") + 6;
        return a_szCall.substr(u64Dest, a_szCall.find(' ', u64Dest) - u64Dest);
    };
    std::string szSourceId;
    std::vector<std::string> aszCloses;
    for (const std::string &szCall : run.DsmCalls())
    {
        if (szCall.find("DAT_CAPABILITY/MSG_RESETALL") != std::string::npos)
            szSourceId = Dest(szCall);
        if (szCall.find("DAT_IDENTITY/MSG_CLOSEDS rc=0") != std::string::npos)
            aszCloses.push_back(Dest(szCall));
        if ((szCall.find("DAT_IDENTITY/MSG_OPENDS") != std::string::npos) ||
            (szCall.find("DAT_IDENTITY/MSG_GET") != std::string::npos) || (szCall.find("DAT_PARENT") != std::string::npos))
        {
            EXPECT_EQ(Dest(szCall), "0") << szCall;
        }
    }
    ASSERT_FALSE(szSourceId.empty()) << run.DsmLog();
    EXPECT_NE(szSourceId, "0");
    EXPECT_EQ(aszCloses, (std::vector<std::string>{szSourceId, "0"})) << run.DsmLog();

    // The source received exactly the calls meant for it.
    std::vector<std::string> aszJournal = run.Journal();
    std::vector<std::string> aszScanner;
    for (const std::string &szCall : aszJournal)
    {
        if (szCall.compare(0, 8, "scanner ") == 0)
        {
            aszScanner.push_back(szCall.substr(8, szCall.find(' ', 8) - 8));
        }
    }
    std::vector<std::string> aszExpected = {
        "DG_CONTROL/DAT_IDENTITY/MSG_GET",     // the DSM asks every source at its open
        "DG_CONTROL/DAT_ENTRYPOINT/MSG_SET",   // the DSM hands a 2.x source its entry points
        "DG_CONTROL/DAT_IDENTITY/MSG_OPENDS",  "DG_CONTROL/DAT_CAPABILITY/MSG_RESETALL",
        "DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "DG_CONTROL/DAT_ENTRYPOINT/MSG_SET",
        "DG_CONTROL/DAT_IDENTITY/MSG_OPENDS",  "DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS"};
    EXPECT_EQ(aszScanner, aszExpected) << run.Dir().Read("journal.txt");
}

TEST(E2eDsm, AnExceptionOrAFaultOutOfTheDsmIsAFailureAndTheProgramGoesOn)
{
    // The source throws, or crashes, in its first answer to the get; then in
    // a device-event fetch on the callback's thread, nested in the call that
    // delivers the event; then in its open.  Each crashed call fails, recorded and said as
    // such (the source that crashed is not asked why), and the next call to
    // the same source works.
    const std::string szGet = "dat_capability msg_get icap_xresolution\n";
    const std::string szEvents = "cap CAP_DEVICEEVENT array uint16 TWDE_DEVICEADDED TWDE_PAPERJAM\n"
                                 "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED after 100 ms devicename=usb:7\n"
                                 "on open send MSG_DEVICEEVENT TWDE_PAPERJAM after 200 ms\n";
    const struct
    {
        std::string szConfig;
        std::string szScript;
        std::vector<std::string> aszLines;
    } arow[] = {
        {"fault throw DG_CONTROL DAT_CAPABILITY MSG_GET times=1\n", szGet + "ifstatus TWRC_FAILURE\necho recorded\nend\n" + szGet,
         {"TWRC_FAILURE/crashed", "\033[1mrecorded\033[0m", "\033[1mICAP_XRESOLUTION                1118\033[0m"}},
        {"fault crash DG_CONTROL DAT_CAPABILITY MSG_GET times=1\n", szGet + "ifstatus TWRC_FAILURE\necho recorded\nend\n" + szGet,
         {"TWRC_FAILURE/crashed", "\033[1mrecorded\033[0m", "\033[1mICAP_XRESOLUTION                1118\033[0m"}},
        {szEvents + "fault crash DG_CONTROL DAT_DEVICEEVENT MSG_GET times=1\n", "wait 10000 twde_deviceadded\n",
         {"  *** Got MSG_DEVICEEVENT (get device event failed)...", "  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:7>)"}},
        // A crash inside the open: the DSM refuses the source until it is
        // closed and opened again.
        {"fault crash DG_CONTROL DAT_IDENTITY MSG_OPENDS times=1\n",
         "dsopen \"Simulated Scanner\"\ndsmclose\ndsmopen\ndsopen \"Simulated Scanner\"\n",
         {"TWRC_FAILURE/crashed", "TWRC_FAILURE/TWCC_MAXCONNECTIONS", "Simulated Scanner ver=1.0 twn=2.4 grp=DS2,IMAGE,CONTROL"}},
    };
    for (const auto &row : arow)
    {
        DsmRun run;
        run.UseSimulatedScanner();
        run.Dir().Write("sim.cfg", "[scanner]\n" + row.szConfig);
        run.SetEnv("SIMSCANNER_CONFIG", run.Dir().File("sim.cfg"));
        run.Dir().Write("go.txt", row.szScript);
        run.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\nrun go\ntwlist\nexit\n");
        EXPECT_EQ(run.Result().status, 0) << run.Result().err;
        EXPECT_TRUE(run.HasInOrder(row.aszLines)) << run.Result().out;
        EXPECT_TRUE(run.ServicesLogHas("pod.m_pfnDsmEntryProc crashed..."));
        EXPECT_TRUE(run.Has(s_szMark + " 0 - Simulated Scanner ver=1.0 twn=2.4 dsm=TWAINDSM")) << run.Result().out;
        EXPECT_EQ(run.CountCalls("MSG_CLOSEDSM rc=0"), run.CountCalls("MSG_OPENDSM rc=0")) << run.DsmLog();
        // Nothing answered the crashed call; nobody asked the source why.
        std::vector<std::string> aszJournal = run.Journal();
        EXPECT_EQ(std::count_if(aszJournal.begin(), aszJournal.end(),
                                [](const std::string &a_sz) { return a_sz.find(" fault=") != std::string::npos; }),
                  1);
        EXPECT_TRUE(std::none_of(aszJournal.begin(), aszJournal.end(),
                                 [](const std::string &a_sz) { return a_sz.find("DAT_STATUS") != std::string::npos; }));
    }
}

} // namespace
