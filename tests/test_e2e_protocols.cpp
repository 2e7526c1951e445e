// test_e2e_protocols.cpp
// Applications of either protocol generation open a source through the
// stand-in DSM, which announces DF_DSM2 to every application and hands its
// memory functions only to second-generation ones, and receive its events;
// a DSM told to refuse a registration stops the open in state 3.
#include <gtest/gtest.h>

#include <string>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

TEST(E2eProtocols, OpenTheSourceAndGetItsEventsOrStopAtARefusal)
{
    struct Case
    {
        const char *szCreate;
        const char *szRefuse;       // TWAINDSM_REFUSE
        const char *szSource;
        const char *szEntryPoint;   // the DSM's answer to DAT_ENTRYPOINT, null: never asked
        const char *szError;        // the services log's line of a refused open, null: opened
    } const acase[] = {
        {"twcreate", "", "Simulated Scanner", nullptr, nullptr},
        {"twcreate 1.9", "", "Simulated Scanner", nullptr, nullptr},
        {"twcreate 2.4", "", "Simulated Scanner", "rc=0", nullptr},
        {"twcreate 2.4", "DAT_ENTRYPOINT", "Simulated Scanner", "rc=1", "Entry(DAT_ENTRYPOINT/MSG_GET) failed..."},
        {"twcreate 1.9", "DAT_CALLBACK=Simulated Scanner", "Simulated Scanner", nullptr,
         "Entry(DAT_CALLBACK/MSG_REGISTER_CALLBACK) failed..."},
        {"twcreate 2.4", "DAT_CALLBACK=Simulated Scanner", "Simulated Scanner ZAV", "rc=0", nullptr},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(std::string(c.szCreate) + " " + c.szRefuse + " " + c.szSource);
        SimShell sh("cap CAP_DEVICEEVENT array uint16 TWDE_DEVICEADDED\n"
                    "on open send MSG_DEVICEEVENT TWDE_DEVICEADDED after 100 ms devicename=usb:2-1\n");
        sh.Dir().MakeDir("log");
        sh.SetEnv("ZAV_LOGDIR", sh.Dir().File("log"));
        sh.KeepDsmLog();
        sh.SetEnv("TWAINDSM_REFUSE", c.szRefuse);
        e2e::Result r = sh.Run(std::string(c.szCreate) + "\ndsmopen\ndsopen \"" + c.szSource + "\"\n" +
                               (c.szError ? "" : "wait 10000 twde_deviceadded\ndat_capability msg_get ICAP_PIXELTYPE\n") +
                               "exit\n");
        EXPECT_EQ(sh.CountOf("DSM: DF_DSM2 found..."), 1);
        const std::vector<int> aiStates = c.szError ? std::vector<int>{0, 0, 3, 3} : std::vector<int>{0, 0, 3, 4, 4, 4};
        EXPECT_EQ(sh.PromptStates(), aiStates) << r.out;
        EXPECT_EQ(sh.Has("  *** Got MSG_DEVICEEVENT (TWDE_DEVICEADDED,<usb:2-1>)"), !c.szError);
        EXPECT_EQ(sh.Has("  item:   TWPT_RGB"), !c.szError) << "a container in the memory of either family";
        EXPECT_EQ(sh.CountOf("TWRC_FAILURE/TWCC_OPERATIONERROR"), c.szError ? 1 : 0);
        if (c.szError)
        {
            EXPECT_NE(sh.Dir().Read("log/dravo.log").find(c.szError), std::string::npos);
        }
        std::string szDsmLog = sh.DsmLog();
        size_t u64 = szDsmLog.find("DAT_ENTRYPOINT/MSG_GET ");
        EXPECT_EQ(u64 == std::string::npos, !c.szEntryPoint) << szDsmLog;
        if (c.szEntryPoint && u64 != std::string::npos)
        {
            EXPECT_EQ(szDsmLog.compare(u64 + 23, 4, c.szEntryPoint), 0) << szDsmLog;
        }
    }
}
