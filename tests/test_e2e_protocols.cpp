// test_e2e_protocols.cpp
// Applications of either protocol generation open a source through the
// stand-in DSM, which announces DF_DSM2 to every application and hands its
// memory functions only to second-generation ones, and receive its events.
#include <gtest/gtest.h>

#include <string>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

namespace
{

struct ProtocolCase
{
    const char *szCreate;
    const char *szName;
    bool blEntryPoints;   // the program asks the DSM for its memory functions
};

class E2eProtocols : public testing::TestWithParam<ProtocolCase>
{
};

TEST_P(E2eProtocols, OpenTheSourceAndGetItsEvents)
{
    const ProtocolCase &c = GetParam();
    SimShell sh("[scanner]\ncap CAP_DEVICEEVENT array uint16 TWDE_DEVICEADDED\n"
                "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED after 100 ms devicename=usb:2-1\n");
    sh.SetEnv("TWAINDSM_LOG", sh.Dir().File("dsm.log"));
    e2e::Result r = sh.Run(std::string(c.szCreate) + "\ndsmopen\ndsopen \"Simulated Scanner\"\n"
                                                     "wait 10000 twde_deviceadded\nreturn\nsetexitstatus\nexit\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(sh.CountOf("DSM: DF_DSM2 found..."), 1);
    EXPECT_TRUE(sh.Has("Simulated Scanner ver=1.0 twn=2.4 grp=DS2,IMAGE,CONTROL"));
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 4, 4, 4, 4}));
    EXPECT_TRUE(sh.Has("  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:2-1>)")) << r.out;
    EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_DEVICEEVENT/MSG_GET", "rc=TWRC_SUCCESS"}).size(), 1u);
    std::string szDsmLog = sh.Dir().Read("dsm.log");
    EXPECT_EQ(szDsmLog.find("DAT_ENTRYPOINT/MSG_GET rc=0") != std::string::npos, c.blEntryPoints) << szDsmLog;
    EXPECT_EQ(szDsmLog.find("DAT_ENTRYPOINT/MSG_GET rc=1"), std::string::npos) << "never refused";
    EXPECT_NE(szDsmLog.find("DAT_CALLBACK/MSG_REGISTER_CALLBACK rc=0"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Generations, E2eProtocols,
                         testing::Values(ProtocolCase{"twcreate", "Default19", false},
                                         ProtocolCase{"twcreate 1.9", "Protocol19", false},
                                         ProtocolCase{"twcreate 2.4", "Protocol24", true}),
                         [](const testing::TestParamInfo<ProtocolCase> &a_info) { return a_info.param.szName; });

} // namespace

// The DSM told to refuse a registration: the open stops there and the
// program stays in state 3 with the DSM's codes.
TEST(E2eProtocolsRefused, EntryPointsAndCallbackRefusedByTheDsm)
{
    struct Case
    {
        const char *szRefuse;
        const char *szCreate;
        const char *szLogLine;
        size_t uOpens;   // MSG_OPENDS the source received
    } const acase[] = {
        {"DAT_ENTRYPOINT", "twcreate 2.4", "Entry(DAT_ENTRYPOINT/MSG_GET) failed...", 0},
        {"DAT_CALLBACK=Simulated Scanner", "twcreate 1.9", "Entry(DAT_CALLBACK/MSG_REGISTER_CALLBACK) failed...", 1},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szRefuse);
        SimShell sh;
        sh.Dir().MakeDir("log");
        sh.SetEnv("ZAV_LOGDIR", sh.Dir().File("log"));
        sh.SetEnv("TWAINDSM_REFUSE", c.szRefuse);
        e2e::Result r = sh.Run(std::string(c.szCreate) + "\ndsmopen\ndsopen \"Simulated Scanner\"\nexit\n");
        EXPECT_EQ(sh.CountOf("TWRC_FAILURE/TWCC_OPERATIONERROR"), 1) << r.out;
        EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 3}));
        EXPECT_NE(sh.Dir().Read("log/dravo.log").find(c.szLogLine), std::string::npos);
        EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(), c.uOpens);
        EXPECT_EQ(sh.Journal({"scanner DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(), c.uOpens);
    }
    // A refusal named for one source leaves the others alone.
    SimShell sh;
    sh.SetEnv("TWAINDSM_REFUSE", "DAT_CALLBACK=Simulated Scanner");
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\nexit\n");
    EXPECT_EQ(sh.PromptStates(), (std::vector<int>{0, 0, 3, 4}));
}
