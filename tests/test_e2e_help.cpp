// End-to-end tests of the help command: the summary and the dat page line
// for line, the choice of a page by its topic word, and the exact lines of
// the topic pages that testers look for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Red;
using shelltest::Shell;

namespace
{
// "  <highlighted command><blanks to 22> - <description>"; a command that
// fills the column keeps one blank.
std::string Row(const std::string &a_szCmd, const std::string &a_szText)
{
    return "  " + Red(a_szCmd) + std::string(a_szCmd.size() < 22 ? 22 - a_szCmd.size() : 1, ' ') + "- " + a_szText;
}

// The lines one help line printed (prompts removed, banner dropped).
std::vector<std::string> HelpLines(Shell &a_sh, const std::string &a_szLine)
{
    a_sh.Run(a_szLine + "\n");
    std::vector<std::string> aszLines = a_sh.Lines();
    aszLines.erase(aszLines.begin(), aszLines.begin() + 1);
    return aszLines;
}

const std::string s_szUnknown = "  Unrecognized command, type HELP for the full list...";
} // namespace

TEST(E2eHelp, SummaryLineForLine)
{
    const std::vector<std::string> aszSummary = {
        "",
        Row("intro", "overview of Dravo"),
        Row("script", "overview of scripting"),
        Row("dat", "list of DAT operations"),
        "",
        Row("twstress [#.# [name]]", "stress protocol product [vibration|vibrationonly|scan]"),
        "",
        Row("cd [path]", "list/change directory path"),
        Row("dir", "list directories"),
        Row("edit script", "edit script"),
        Row("exit", "exit program"),
        Row("help [command]", "this text or help for a specific command"),
        Row("run script", "run [script]"),
        "",
        Row("twcreate #.#", "create twain object with specified version"),
        Row("twdestroy #", "destroy twain object"),
        Row("twlist", "list twain objects"),
        Row("twset #", "set new current twain object"),
        Row("dsmopen", "open the dsm"),
        Row("dsmclose", "close the dsm"),
        Row("dsmlist [silent]", "list the drivers"),
        Row("dsmset #", "set current driver"),
        Row("dsopen", "open the driver"),
        Row("dsclose", "close the driver"),
        "",
        Row("dscap [capability]", "stress test a capability"),
        Row("get capability", "get [current|default] capability"),
        Row("reset capability", "resets a capability"),
        Row("resetall", "reset the driver values to factory defaults"),
        Row("set capability value", "sets a capability"),
        "",
        Row("display", "[percent-size, 0 is off] [images]]"),
        Row("log", "console|data|record|compare on|off"),
        "",
        "  Some commands include more information, like '" + Red("help run") + "'.",
        ""};
    Shell sh;
    // The four ways to ask for the summary; only the first word counts.
    for (const char *szLine : {"help", "h", "?", "help help", "HELP HELP", "help  "})
        EXPECT_EQ(HelpLines(sh, szLine), aszSummary) << szLine;
}

TEST(E2eHelp, DatPageLineForLine)
{
    const char *const aszDat[][2] = {
        {"dat_autocolorlearn", "msg_set"},
        {"dat_calibrate", "msg_set|msg_get"},
        {"dat_capability", "msg_get|msg_getdefault|msg_getcurrent..."},
        {"dat_consumablemeters", "msg_get|msg_reset|msg_set"},
        {"dat_customdsdata", "msg_set|msg_get"},
        {"dat_customdsdatagroup", "msg_set [TWCDG_GROUP_*...] | msg_get"},
        {"dat_deviceinfo", "msg_get"},
        {"dat_ecdo", "msg_get"},
        {"dat_extimageinfo", "msg_get"},
        {"dat_filesystem", "msg_getinfo|msg_changedirectory..."},
        {"dat_firmwaredownload", "msg_set|msg_info"},
        {"dat_identity", "msg_getcurrent|msg_getdefault"},
        {"dat_imagefilexfer", "msg_get"},
        {"dat_imageinfo", "msg_get"},
        {"dat_imagelayout", "msg_get|msg_getdefault|msg_set|msg_reset"},
        {"dat_pendingxfers", "msg_get|msg_reset|msg_endxfer|msg_endxferspecial|msg_stopfeeder"},
        {"dat_profiles", "msg_get|msg_profilesave|msg_profiledelete..."},
        {"dat_setupfilexfer", "msg_get|msg_reset|msg_set"},
        {"dat_setupmemxfer", "msg_get"},
        {"dat_status", "msg_get"},
        {"dat_statusraw", "msg_get|msg_set|msg_reset]"},
        {"dat_userinterface", "msg_enableds [showui|modelui] | disableds..."},
        {"dat_utc", "msg_get"},
        {"dat_window", "msg_add|msg_delete"},
        {"dat_xfergroup", "msg_get|msg_reset|msg_set DG_*"}};
    std::vector<std::string> aszExpected = {"", "  These are the basic operations supported by TWAIN.", ""};
    for (const auto &asz : aszDat)
        aszExpected.push_back(Row(asz[0], asz[1]));
    Shell sh;
    EXPECT_EQ(HelpLines(sh, "help DAT"), aszExpected);
}

TEST(E2eHelp, TopicWordsChooseThePage)
{
    Shell sh;
    // Prefix topics, exact topics (case ignored, further words ignored), and
    // words without a page.
    const std::vector<std::string> aszIntro = HelpLines(sh, "help intro");
    EXPECT_EQ(aszIntro.at(1), "  Dravo is an interactive front-end to a TWAIN driver.  Therefore,");
    EXPECT_EQ(HelpLines(sh, "help introduction"), aszIntro);
    const std::vector<std::string> aszScript = HelpLines(sh, "help script");
    EXPECT_EQ(aszScript.at(1), "  Dravo supports a variety of scripting options.  All of the commands can");
    EXPECT_EQ(HelpLines(sh, "? Scripting"), aszScript);
    EXPECT_EQ(HelpLines(sh, "help twcreate extra words"), HelpLines(sh, "help TWCREATE"));
    for (const char *szLine : {"help intr", "help scrip", "help dsmfind", "help log", "help mem", "h dats"})
        EXPECT_EQ(HelpLines(sh, szLine), std::vector<std::string>{s_szUnknown}) << szLine;

    // Every topic has its page: it opens with an empty line, and all but dat
    // end with one.
    for (const char *szTopic : {"dscap", "dat_filesystem", "dat_log", "dat_profiles", "dat_userinterface", "dsmlist",
                                "dsmclose", "dsmopen", "dsclose", "dsopen", "dsmset", "get", "run", "set", "twcreate",
                                "twdestroy", "twlist", "twset", "twstress", "cd", "pwd", "dir", "edit", "exit", "wait"})
    {
        std::vector<std::string> aszPage = HelpLines(sh, std::string("help ") + szTopic);
        ASSERT_GE(aszPage.size(), 4u) << szTopic;
        EXPECT_EQ(aszPage.front(), "") << szTopic;
        EXPECT_EQ(aszPage.back(), "") << szTopic;
        EXPECT_EQ(aszPage[1].compare(0, 2, "  "), 0) << szTopic;
        for (const std::string &szLine : aszPage)
            EXPECT_EQ(szLine.find("\033[0m- "), std::string::npos) << szTopic << ": " << szLine;
    }
}

TEST(E2eHelp, PagesHoldTheirLines)
{
    Shell sh;
    struct
    {
        const char *szTopic;
        std::vector<std::string> aszLines;   // in this order, others between
    } aPage[] = {
        {"script",
         {"  Basic Commands", "  ~~~~~~~~~~~~~~", Row("cd ..", "go up one directory"), "  Scripting Commands",
          "  ~~~~~~~~~~~~~~~~~~", Row("dumpscript", "dump the SCRIPT resource to a file"),
          Row("makescript", "make a twscript binary"), Row("warning", "log a warning message"),
          "  ifstatus and ifdiff both support the use of '" + Red("not") + "' (ex: not TWRC_SUCCESS)."}},
        {"intro",
         {Row("twdestroy #", "close the driver, close the Data Source"),
          std::string(26, ' ') + "Manager and destroy the object, the value of # will",
          std::string(26, ' ') + "almost always be 0", Row("exit", "exit from dravo (cleanup is automatic)"),
          Row("run open", "twcreate/dsmopen/dsopen the current driver"),
          "  Additional information about scripting can be found by typing '" + Red("help script") + "'.",
          Row("dscap [name]", "exercise named capability (all caps if no name is given)")}},
        {"dsmopen", {"", "  dsmopen", "  ", "  Opens the Data Source Manager specified by twcreate.", ""}},
        {"twdestroy",
         {"  twdestroy #", "  ", "  Destroys the TWAIN object specified by #.  The number of a",
          "  TWAIN object is reported when it is created using twcreate."}},
        // The log kinds are not highlighted; the camera word is.
        {"dat_log", {"  dat_log msg_get twgl_* twdv_*", "  twgl_qnlog            - generate an qnlog file",
                     "  Data is placed into the filename returned by the command."}},
        {"dat_filesystem", {"  dat_filesystem", "  dat_filesystem " + Red("msg_changedirectory camera")}},
        {"wait", {"  wait clear", "  wait [timeout] [list of event(s)]", "  # - a numeric value in milliseconds",
                  Row("MSG_CLOSEDSREQ", "Cancel buttton pressed"),
                  Row("TWDE_CHECKDEVICEONLINE", "Device connection changed"), Row("TWDE_PAPERJAM", "Paper jam detected")}},
        // No wrapped line parts the words of a name.
        {"twlist", {"  Lists the TWAIN objects.  Three states are reported: dsm closed,",
                    "  dsm open, and a TW_IDENTITY dump of the driver after dsopen.  The"}},
        {"twstress",
         {"  " + Red("twstress [#.# [name [vibration | vibrationonly | scan [images]]]]"),
          "  " + Red("twstress [#.# [name [openonly | uionly | scanonly | allonly]"), "  The default number of images",
          "  is 1000."}},
        {"dat_profiles", {"  dat_profiles " + Red("msg_profilecreate") + " name [graphic]",
                          "  Exercise the dat_profiles operation."}},
        {"get", {"  get querysupport capability", "  MSG_GET for",
                 "  get with no additional argument, MSG_GETCURRENT for current,",
                 "  MSG_DEFAULT for default, and MSG_QUERYSUPPORT for querysupport."}},
    };
    for (const auto &page : aPage)
    {
        sh.Run(std::string("help ") + page.szTopic + "\n");
        EXPECT_TRUE(sh.HasInOrder(page.aszLines)) << page.szTopic;
    }
}
