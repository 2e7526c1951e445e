// dravo_help.cpp
// The help command: the summary of the commands and one page per topic.
//
// The pages are kept as line tables in a small markup, expanded as they are
// printed: text between two backquotes is highlighted (red, bold), and a tab
// pads the line with blanks to the description column and writes "- ".
#include "dravo.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "clog.h"

namespace
{

#define HELP_HI "\033[31m\033[1m"
#define HELP_RESET "\033[0m"
// The description column of a "command - description" row: two blanks and
// the command text padded to 22 characters; a command text that fills the
// column keeps one blank before the "- ".
#define HELP_COLUMN 24
// A line continuing a description, aligned with its text.
#define HELP_CONT "                          "

const char *const s_aszSummary[] = {
    "",
    "  `intro`\toverview of Dravo",
    "  `script`\toverview of scripting",
    "  `dat`\tlist of DAT operations",
    "",
    "  `twstress [#.# [name]]`\tstress protocol product [vibration|vibrationonly|scan]",
    "",
    "  `cd [path]`\tlist/change directory path",
    "  `dir`\tlist directories",
    "  `edit script`\tedit script",
    "  `exit`\texit program",
    "  `help [command]`\tthis text or help for a specific command",
    "  `run script`\trun [script]",
    "",
    "  `twcreate #.#`\tcreate twain object with specified version",
    "  `twdestroy #`\tdestroy twain object",
    "  `twlist`\tlist twain objects",
    "  `twset #`\tset new current twain object",
    "  `dsmopen`\topen the dsm",
    "  `dsmclose`\tclose the dsm",
    "  `dsmlist [silent]`\tlist the drivers",
    "  `dsmset #`\tset current driver",
    "  `dsopen`\topen the driver",
    "  `dsclose`\tclose the driver",
    "",
    "  `dscap [capability]`\tstress test a capability",
    "  `get capability`\tget [current|default] capability",
    "  `reset capability`\tresets a capability",
    "  `resetall`\treset the driver values to factory defaults",
    "  `set capability value`\tsets a capability",
    "",
    "  `display`\t[percent-size, 0 is off] [images]]",
    "  `log`\tconsole|data|record|compare on|off",
    "",
    "  Some commands include more information, like '`help run`'.",
    "",
    nullptr};

const char *const s_aszDat[] = {
    "",
    "  These are the basic operations supported by TWAIN.",
    "",
    "  `dat_autocolorlearn`\tmsg_set",
    "  `dat_calibrate`\tmsg_set|msg_get",
    "  `dat_capability`\tmsg_get|msg_getdefault|msg_getcurrent...",
    "  `dat_consumablemeters`\tmsg_get|msg_reset|msg_set",
    "  `dat_customdsdata`\tmsg_set|msg_get",
    "  `dat_customdsdatagroup`\tmsg_set [TWCDG_GROUP_*...] | msg_get",
    "  `dat_deviceinfo`\tmsg_get",
    "  `dat_ecdo`\tmsg_get",
    "  `dat_extimageinfo`\tmsg_get",
    "  `dat_filesystem`\tmsg_getinfo|msg_changedirectory...",
    "  `dat_firmwaredownload`\tmsg_set|msg_info",
    "  `dat_identity`\tmsg_getcurrent|msg_getdefault",
    "  `dat_imagefilexfer`\tmsg_get",
    "  `dat_imageinfo`\tmsg_get",
    "  `dat_imagelayout`\tmsg_get|msg_getdefault|msg_set|msg_reset",
    "  `dat_pendingxfers`\tmsg_get|msg_reset|msg_endxfer|msg_endxferspecial|msg_stopfeeder",
    "  `dat_profiles`\tmsg_get|msg_profilesave|msg_profiledelete...",
    "  `dat_setupfilexfer`\tmsg_get|msg_reset|msg_set",
    "  `dat_setupmemxfer`\tmsg_get",
    "  `dat_status`\tmsg_get",
    "  `dat_statusraw`\tmsg_get|msg_set|msg_reset]",
    "  `dat_userinterface`\tmsg_enableds [showui|modelui] | disableds...",
    "  `dat_utc`\tmsg_get",
    "  `dat_window`\tmsg_add|msg_delete",
    "  `dat_xfergroup`\tmsg_get|msg_reset|msg_set DG_*",
    nullptr};

const char *const s_aszIntro[] = {
    "",
    "  Dravo is an interactive front-end to a TWAIN driver.  Therefore,",
    "  its commands follow the TWAIN specification, in the form:",
    "    `dat_* msg_* arguments`",
    "",
    "  A driver is opened with these commands:",
    "  `twcreate M.n`\tcreate a TWAIN object for a protocol version,",
    HELP_CONT "like 1.9 or 2.0",
    "  `dsmopen`\topen the Data Source Manager",
    "  `dsmlist`\tlist the drivers the Data Source Manager found",
    "  `dsmset #`\tchoose driver # of that list",
    "  `dsopen`\topen the chosen driver",
    "  `twdestroy #`\tclose the driver, close the Data Source",
    HELP_CONT "Manager and destroy the object, the value of # will",
    HELP_CONT "almost always be 0",
    "  `exit`\texit from dravo (cleanup is automatic)",
    "",
    "  Some scripts come with dravo:",
    "  `run open`\ttwcreate/dsmopen/dsopen the current driver",
    "  `run close`\tgracefully shutdown the current driver",
    "  `edit scan`\tshows a script that scans",
    "  `edit test`\tcreates a new script named test",
    "",
    "  Scripts can be organised in directories, one for each scanner family:",
    "  `dir`\tlist directories (not files)",
    "  `cd`\tchange to a directory (use cd .. to go up a level)",
    "  Additional information about scripting can be found by typing '`help script`'.",
    "",
    "  There are two automated tests:",
    "  `dscap [name]`\texercise named capability (all caps if no name is given)",
    "  `twstress M.n scanner`\tstress test of the driver looking for assertions",
    "  The stress test is meant to be run against a debug build of the driver.",
    "  The scanner name is any unique part of the driver's ProductName:",
    "    `twstress 1.9 Model100`",
    "    `twstress 2.0 Model200`",
    "",
    nullptr};

const char *const s_aszScript[] = {
    "",
    "  Dravo supports a variety of scripting options.  All of the commands can",
    "  be typed at the prompt or written to a script file, one command a line.",
    "",
    "  Basic Commands",
    "  ~~~~~~~~~~~~~~",
    "  `run`\tshow the available scripts in the current directory",
    "  `run name`\trun script 'name'",
    "  `rundebug name`\trun dravo and the driver with debug=1",
    "  `runsilent name`\tsuppress console output while running",
    "  `edit`\tview, create or modify a script",
    "  `dir`\tlist the sub-directories under this one",
    "  `cd dir`\tchange to directory 'dir'",
    "  `cd ..`\tgo up one directory",
    "",
    "  Scripting Commands",
    "  ~~~~~~~~~~~~~~~~~~",
    "  `dumpscript`\tdump the SCRIPT resource to a file",
    "  `end`\tend an ifdiff, ifstatus or repeat block",
    "  `error`\tlog an error message",
    "  `getvar`\tdisplay global variables (no argument displays all)",
    "  `goto`\tgoto the named label (target is of form 'label:')",
    "  `ifdiff`\tcompare returned data to expected data",
    "  `ifstatus`\tcheck the status of a command",
    "  `info`\tlog an informational message",
    "  `makescript`\tmake a twscript binary",
    "  `repeat`\trepeat a block of code # times",
    "  `return`\treturn a status from a script",
    "  `setvar`\tset a global variable",
    "  `tally`\tclear or display error and warning counts",
    "  `timer`\tdisplay, start, stop, pause or resume timers",
    "  `wait`\twait for an event",
    "  `warning`\tlog a warning message",
    "",
    "  The error, info and warning commands always write to dravo.log, together",
    "  with the name of the script, so that every script run leaves its",
    "  pass and fail results behind.",
    "",
    "  Global variables make scripts general.  For instance, after",
    "  'setvar productname Model100' a dsmset without an argument defaults to",
    "  that product.",
    "",
    "  `wait [milliseconds] [events]` waits for DAT_NULL events, most often",
    "  MSG_XFERREADY, MSG_CLOSEDSREQ and MSG_CLOSEDSOK.",
    "",
    "  ifstatus and return work on return codes.  After an error message",
    "  return twrc_failure; precede a successful return with an info message;",
    "  use warnings for tests that did not run.",
    "  ifstatus and ifdiff both support the use of '`not`' (ex: not TWRC_SUCCESS).",
    "",
    nullptr};

const char *const s_aszDscap[] = {
    "",
    "  dscap capability [capabiliity...]",
    "  dscap all",
    "  dscap cap_supportedcaps [validate]",
    "  dscap capability [current] | [ui]",
    "  ",
    "  Runs a sequence of TWAIN commands on the named capabilities, or on all",
    "  of them.  With CAP_SUPPORTEDCAPS, validate confirms that every listed",
    "  capability is present.  The test runs on all cameras; current runs it on",
    "  the current camera only.  ui runs a constraint test that brings up the",
    "  user interface after each set.",
    "",
    nullptr};

const char *const s_aszFileSystem[] = {
    "",
    "  dat_filesystem",
    "  dat_filesystem `msg_getinfo`",
    "  dat_filesystem `msg_getfirst`",
    "  dat_filesystem `msg_getnext`",
    "  dat_filesystem `msg_changedirectory camera`",
    "  ",
    "  Without an argument all cameras are listed.  INFO shows the current",
    "  camera, GETFIRST and GETNEXT step through them.  Changing directory",
    "  takes a camera of the form /Camera_{Color|Bitonal}_{Both|Top|Bottom}.",
    "",
    nullptr};

const char *const s_aszLog[] = {
    "",
    "  dat_log msg_get twgl_* twdv_*",
    "  ",
    "  twgl_general\tgeneral log, suitable for display",
    "  twgl_general_xml\tgeneral log, suitable for parsing",
    "  twgl_operator\tscanner log",
    "  twgl_qnlog\tgenerate an qnlog file",
    "  twgl_custom1\tfor internal Wexto Vantir use",
    "  ",
    "  twdv_adf\tall scanners",
    "  twdv_flatbed\tuse when flatbed is seperate device",
    "  ",
    "  Data is placed into the filename returned by the command.",
    "",
    nullptr};

const char *const s_aszProfiles[] = {
    "",
    "  dat_profiles `msg_get`",
    "  dat_profiles `msg_profilecreate` name [graphic]",
    "  dat_profiles `msg_profiledelete` [name]",
    "  dat_profiles `msg_profilesave`",
    "  dat_profiles `msg_profilerename` new-name",
    "  dat_profiles `msg_profilerestore` [false|true]",
    "  dat_profiles `msg_profileexport` file",
    "  dat_profiles `msg_profileimport` file",
    "  dat_profiles `msg_profileset` value",
    "  ",
    "  Exercise the dat_profiles operation.",
    "",
    nullptr};

const char *const s_aszUserInterface[] = {
    "",
    "  dat_userinterface `msg_enableds` [showui] [modalui]",
    "  dat_userinterface `msg_enabledsuionly` [modalui]",
    "  dat_userinterface `msg_enableinfo` [modalui]",
    "  dat_userinterface `msg_enabledsadvanced` [modalui]",
    "  dat_userinterface `msg_enabledspreview` [modalui]",
    "  dat_userinterface `msg_enabledsuionlyadvanced` [modalui]",
    "  dat_userinterface `msg_enablesetupiaprinter` [modalui]",
    "  dat_userinterface `msg_enablesetupnoiaprinter` [modalui]",
    "  dat_userinterface `msg_enablesetupsortbarcode` [modalui]",
    "  dat_userinterface `msg_enabledspreviewtoapplication` [modalui]",
    "  dat_userinterface `msg_enablesetupnoiaprinterocp` [modalui]",
    "  dat_userinterface `msg_setupds`",
    "  ",
    "  Bring up the UI, initiate scanning or download settings to the device.",
    "",
    nullptr};

const char *const s_aszDsmlist[] = {
    "",
    "  dsmlist [silent]",
    "  ",
    "  Lists the available TWAIN drivers.  The current driver, the one that",
    "  dsopen opens, is marked with a '*'; dsmset changes it.  dsmlist must come",
    "  before dsmset.  silent suppresses the list, for use in scripts.",
    "",
    nullptr};

const char *const s_aszDsmclose[] = {
    "",
    "  dsmclose",
    "  ",
    "  Closes the Data Source Manager.  An open driver is closed first.",
    "",
    nullptr};

const char *const s_aszDsmopen[] = {
    "",
    "  dsmopen",
    "  ",
    "  Opens the Data Source Manager specified by twcreate.",
    "",
    nullptr};

const char *const s_aszDsclose[] = {
    "",
    "  dsclose",
    "  ",
    "  Closes the open Data Source.  A scan in progress is ended and the",
    "  user interface is shut down.",
    "",
    nullptr};

const char *const s_aszDsopen[] = {
    "",
    "  dsopen",
    "  ",
    "  Opens the current Data Source, the one marked with a '*' by dsmlist.",
    "",
    nullptr};

const char *const s_aszDsmset[] = {
    "",
    "  dsmset # | userselect",
    "  ",
    "  Selects the driver that dsopen opens.  Selected by number it does not",
    "  become the default driver; selected with userselect it does.  userselect",
    "  is only supported on Windows.",
    "",
    nullptr};

const char *const s_aszGet[] = {
    "",
    "  get capability",
    "  get current capability",
    "  get default capability",
    "  get querysupport capability",
    "  ",
    "  MSG_GET for",
    "  get with no additional argument, MSG_GETCURRENT for current,",
    "  MSG_DEFAULT for default, and MSG_QUERYSUPPORT for querysupport.",
    "",
    nullptr};

const char *const s_aszRun[] = {
    "",
    "  run",
    "  run script",
    "  ",
    "  Without an argument the scripts in the current directory are listed;",
    "  with one, that script is run.",
    "",
    nullptr};

const char *const s_aszSet[] = {
    "",
    "  set capability value",
    "  set capability value container-values",
    "  set capability value onevalue",
    "  ",
    "  Sets the capability through MSG_GETCURRENT and MSG_SET with a one-value.",
    "  With container values MSG_GET and MSG_SET are used, constraining the",
    "  capability.  onevalue forces a TW_ONEVALUE for TW_ARRAY capabilities.",
    "  A TW_FRAME takes four values (left, top, right, bottom) in the current",
    "  ICAP_UNITS; a TW_FRAMEANGLE adds the skew angle.  Constraining a frame",
    "  takes eight or ten values.",
    "",
    nullptr};

const char *const s_aszTwcreate[] = {
    "",
    "  twcreate [#.#]",
    "  ",
    "  Creates a numbered TWAIN object.  #.# is the protocol reported to the",
    "  driver; without it the variable ProtocolVersion is used.",
    "  If that is not specified then 2.0",
    "  is assumed.",
    "  On Windows a 1.x protocol uses TWAIN_32 and a 2.x protocol TWAINDSM.",
    "  twlist shows the objects.",
    "",
    nullptr};

const char *const s_aszTwdestroy[] = {
    "",
    "  twdestroy #",
    "  ",
    "  Destroys the TWAIN object specified by #.  The number of a",
    "  TWAIN object is reported when it is created using twcreate.",
    "",
    nullptr};

const char *const s_aszTwlist[] = {
    "",
    "  twlist",
    "  ",
    "  Lists the TWAIN objects.  Three states are reported: dsm closed,",
    "  dsm open, and a TW_IDENTITY dump of the driver after dsopen.  The",
    "  current object is marked with a '*'; twset changes it.",
    "",
    nullptr};

const char *const s_aszTwset[] = {
    "",
    "  twset #",
    "  ",
    "  Selects the current TWAIN object.  Use twlist to see all of the",
    "  current objects.",
    "",
    nullptr};

const char *const s_aszTwstress[] = {
    "",
    "  `twstress [#.# [name [vibration | vibrationonly | scan [images]]]]`",
    "  `twstress [#.# [name [openonly | uionly | scanonly | allonly]`",
    "  ",
    "  Edge tests of all DAT operations (null arguments, sequence errors) and",
    "  all operations on all capabilities, looking for assertions and crashes.",
    "  #.# and name default to the variables ProtocolVersion and ProductName,",
    "  else to 2.0 and the default driver.",
    "  The vibration test does ten enable/disable pairs, raises the delay",
    "  between the calls by 100 ms and repeats, ten times; vibrationonly runs",
    "  only that test.  The scan test is a performance test.",
    "  The default number of images",
    "  is 1000.",
    "  It reports the time taken and the seconds per image.",
    "",
    nullptr};

const char *const s_aszCd[] = {
    "",
    "  cd [path]",
    "  ",
    "  Changes the current directory; without an argument it is displayed.",
    "",
    nullptr};

const char *const s_aszPwd[] = {
    "",
    "  pwd",
    "  ",
    "  Displays the current directory.",
    "",
    nullptr};

const char *const s_aszDir[] = {
    "",
    "  dir",
    "  ",
    "  Displays the sub-directories within the current directory.",
    "  `run` lists the scripts, `cd` changes the directory.",
    "",
    nullptr};

const char *const s_aszEdit[] = {
    "",
    "  edit file[.txt]",
    "  ",
    "  Brings up an editor for the file; it is meant for script files.",
    "  `run` lists the scripts, `cd` changes the directory.",
    "",
    nullptr};

const char *const s_aszExit[] = {
    "",
    "  exit",
    "  ",
    "  Exits dravo, doing as much cleanup work as it can.",
    "",
    nullptr};

const char *const s_aszWait[] = {
    "",
    "  wait clear",
    "  wait [timeout] [list of event(s)]",
    "  ",
    "  Issue wait clear before the operation that raises the event.  A typical",
    "  use is `wait 20000 msg_xferready` after dat_userinterface msg_enableds and",
    "  before the first transfer.",
    "  ",
    "  timeout:",
    "  # - a numeric value in milliseconds",
    "  infinite - wait forever (default)",
    "  ",
    "  events:",
    "  `DEVICEEVENT`\treturn on any event",
    "  `MSG_CLOSEDSOK`\tOK button pressed",
    "  `MSG_CLOSEDSREQ`\tCancel buttton pressed",
    "  `MSG_XFERREADY`\tFirst image is ready",
    "  `TWDE_CHECKDEVICEONLINE`\tDevice connection changed",
    "  `TWDE_PAPERDOUBLEFEED`\tMultifeed detected",
    "  `TWDE_PAPERJAM`\tPaper jam detected",
    "",
    nullptr};

// The topics with a page of their own, compared in this order.
struct HelpTopic
{
    const char *szWord;
    const char *const *aszPage;
};

const HelpTopic s_ahelptopic[] = {
    {"dscap", s_aszDscap},       {"dat_filesystem", s_aszFileSystem}, {"dat_log", s_aszLog},
    {"dat_profiles", s_aszProfiles}, {"dat_userinterface", s_aszUserInterface}, {"dsmlist", s_aszDsmlist},
    {"dsmclose", s_aszDsmclose}, {"dsmopen", s_aszDsmopen},     {"dsclose", s_aszDsclose},
    {"dsopen", s_aszDsopen},     {"dsmset", s_aszDsmset},       {"get", s_aszGet},
    {"run", s_aszRun},           {"set", s_aszSet},             {"twcreate", s_aszTwcreate},
    {"twdestroy", s_aszTwdestroy}, {"twlist", s_aszTwlist},     {"twset", s_aszTwset},
    {"twstress", s_aszTwstress}, {"cd", s_aszCd},               {"pwd", s_aszPwd},
    {"dir", s_aszDir},           {"edit", s_aszEdit},           {"exit", s_aszExit},
    {"wait", s_aszWait}};

// One line of a page in its printed form.
std::string HelpExpand(const char *a_szLine)
{
    std::string szOut;
    size_t uuVisible = 0;
    bool blHigh = false;
    for (const char *sz = a_szLine; *sz; sz++)
    {
        if (*sz == '`')
        {
            szOut += blHigh ? HELP_RESET : HELP_HI;
            blHigh = !blHigh;
            continue;
        }
        if (*sz == '\t')
        {
            szOut.append((uuVisible < HELP_COLUMN) ? HELP_COLUMN - uuVisible : 1, ' ');
            szOut += "- ";
            uuVisible = HELP_COLUMN + 2;
            continue;
        }
        szOut += *sz;
        uuVisible++;
    }
    return szOut;
}

} // namespace

void CDravo::CmdHelp(char **a_aszCmd)
{
    const char *szTopic = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    const char *const *aszPage = nullptr;
    if (!szTopic || !szTopic[0] || !strcasecmp(szTopic, "help"))
        aszPage = s_aszSummary;
    else if (!strcasecmp(szTopic, "dat"))
        aszPage = s_aszDat;
    else if (!strncasecmp(szTopic, "intro", 5))
        aszPage = s_aszIntro;
    else if (!strncasecmp(szTopic, "script", 6))
        aszPage = s_aszScript;
    else
    {
        for (const HelpTopic &helptopic : s_ahelptopic)
        {
            if (!strcasecmp(szTopic, helptopic.szWord))
            {
                aszPage = helptopic.aszPage;
                break;
            }
        }
    }
    if (!aszPage)
    {
        Print("  Unrecognized command, type HELP for the full list...");
        return;
    }
    for (const char *const *psz = aszPage; *psz; psz++)
        Print("%s", HelpExpand(*psz).c_str());
}
