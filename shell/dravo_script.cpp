// dravo_script.cpp
// The script language: script runs with their arguments, labels and jumps,
// the block stack (ifstatus, ifdiff, repeat, skipped blocks, end), status
// and difference tests, and the commands that carry script state: messages
// and their counters, the tally, timers, variables, run arguments, return
// codes and the exit status.
#include "dravo.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "clog.h"
#include "ctwain.h"
#include "osservices.h"

namespace
{
const char s_szKindRepeat[] = "repeat";
const char s_szKindIfStatus[] = "ifstatus";
const char s_szKindIfDiff[] = "ifdiff";
const char s_szKindSkip[] = "skip";
const char s_szEnd[] = "end";

// The ten texts of a run-argument record, by position.
char *RunArg(twrunargs &a_twrunargs, int a_iIndex)
{
    char *aszArg[TWRUNARGS_ARGCOUNT] = {a_twrunargs.szArg1, a_twrunargs.szArg2, a_twrunargs.szArg3,
                                        a_twrunargs.szArg4, a_twrunargs.szArg5, a_twrunargs.szArg6,
                                        a_twrunargs.szArg7, a_twrunargs.szArg8, a_twrunargs.szArg9,
                                        a_twrunargs.szArg10};
    return aszArg[a_iIndex];
}

bool Present(const char *a_sz)
{
    return a_sz && a_sz[0];
}

// A line that opens a block, read from its first non-blank character.
bool OpensBlock(const char *a_szText)
{
    return !strncasecmp(a_szText, "ifdiff", 6) || !strncasecmp(a_szText, "ifstatus", 8) ||
           !strncasecmp(a_szText, "repeat", 6);
}

// True when the path names an entry that is not a folder.
bool IsScriptFile(const char *a_szPath)
{
    if (!COsFile::Exists(a_szPath))
        return false;
    OsFileInfo osfileinfo;
    memset(&osfileinfo, 0, sizeof(osfileinfo));
    bool blFolder = (COsFile::FindFirst(a_szPath, &osfileinfo) == OS_STS_OK) &&
                    (osfileinfo.u32Type == OS_FILETYPE_DIRECTORY);
    COsFile::FindClose(&osfileinfo);
    return !blFolder;
}

// Appends text to a bounded buffer; false (the text cut) when it does not fit.
bool Append(char *a_szDst, size_t a_sizeDst, size_t *a_plen, const char *a_szSrc, size_t a_lenSrc)
{
    size_t room = a_sizeDst - 1 - *a_plen;
    bool blFits = a_lenSrc <= room;
    size_t len = blFits ? a_lenSrc : room;
    memcpy(a_szDst + *a_plen, a_szSrc, len);
    *a_plen += len;
    a_szDst[*a_plen] = '\0';
    return blFits;
}
} // namespace

// ---------------------------------------------------------------------------
// The block stack
// ---------------------------------------------------------------------------

void CDravo::ReportDepthLimit()
{
    if (g_plog)
        g_plog->ConsoleSet("on");
    m_u32Errors++;
    PrintSev(ELOGSTS_ERROR, "\033[31m\033[1m%%%%error, too many nested blocks and scripts (at most %d levels)\033[0m",
             DRAVO_LEVELS - 1);
}

bool CDravo::OpenLevel(const char *a_szKind, bool a_blSkip, int a_iRepeat, int a_iLoopLine)
{
    if (m_iDepth + 1 >= DRAVO_LEVELS)
    {
        ReportDepthLimit();
        return false;
    }
    m_iDepth++;
    m_ablSkip[m_iDepth] = a_blSkip;
    m_aszEndWord[m_iDepth] = a_szKind ? s_szEnd : nullptr;
    m_aszBlockKind[m_iDepth] = a_szKind;
    m_aiRepeatCount[m_iDepth] = a_iRepeat;
    m_aiLoopLine[m_iDepth] = a_iLoopLine;
    return true;
}

void CDravo::CloseLevel()
{
    m_aszEndWord[m_iDepth] = nullptr;
    m_aiRepeatCount[m_iDepth] = 0;
    m_aiLoopLine[m_iDepth] = 0;
    m_aszBlockKind[m_iDepth] = nullptr;
    m_ablSkip[m_iDepth] = false;
    if (m_iDepth > 0)
        m_iDepth--;
}

bool CDravo::DoEnd(DravoLine &a_dravoline)
{
    int iDepth = m_iDepth;
    if (m_aszBlockKind[iDepth] && !strcmp(m_aszBlockKind[iDepth], s_szKindRepeat))
    {
        m_aiRepeatCount[iDepth]--;
        if ((m_aiRepeatCount[iDepth] > 0) && a_dravoline.piNextLine)
        {
            char szIndent[64] = "";
            size_t len = strspn(a_dravoline.szLine, " \t");
            if (len >= sizeof(szIndent))
                len = sizeof(szIndent) - 1;
            memcpy(szIndent, a_dravoline.szLine, len);
            szIndent[len] = '\0';
            Print("tw%d>>>", TwState());
            Print("tw%d>>> %scount %d", TwState(), szIndent, m_aiRepeatCount[iDepth]);
            *a_dravoline.piNextLine = m_aiLoopLine[iDepth];
            return true;
        }
    }
    CloseLevel();
    return true;
}

bool CDravo::DoIfStatus(DravoLine &a_dravoline)
{
    bool blSkip = !CmdIfStatus(a_dravoline.aszCmd);
    if (!OpenLevel(s_szKindIfStatus, blSkip, 0, 0))
        return !InScript();
    return true;
}

bool CDravo::DoIfDiff(DravoLine &a_dravoline)
{
    bool blSkip = !CmdIfDiff(a_dravoline.aszCmd, m_iDepth + 1);
    if (!OpenLevel(s_szKindIfDiff, blSkip, 0, 0))
        return !InScript();
    return true;
}

bool CDravo::DoRepeat(DravoLine &a_dravoline)
{
    if (!Present(a_dravoline.aszCmd[1]))
    {
        PrintSev(ELOGSTS_ERROR, "must specify a number...");
        return true;
    }
    if (!OpenLevel(s_szKindRepeat, false, atoi(a_dravoline.aszCmd[1]), a_dravoline.iLine))
        return !InScript();
    return true;
}

bool CDravo::DoGoto(DravoLine &a_dravoline)
{
    if (!a_dravoline.szLabel)
        return true;
    const char *szLabel = a_dravoline.aszCmd[1];
    if (szLabel && (strlen(szLabel) < 63))
        COsString::SStrCpy(a_dravoline.szLabel, 64, szLabel);
    return true;
}

// ---------------------------------------------------------------------------
// Status tests and return codes
// ---------------------------------------------------------------------------

uint16_t CDravo::LookupStatus(const char *a_szName)
{
    static const struct
    {
        const char *szName;
        uint16_t u16Value;
    } s_astatus[] = {
        {"TWRC_SUCCESS", 0},
        {"TWRC_FAILURE", 1},
        {"TWRC_CHECKSTATUS", 2},
        {"TWRC_CANCEL", 3},
        {"TWRC_DSEVENT", 4},
        {"TWRC_NOTDSEVENT", 5},
        {"TWRC_XFERDONE", 6},
        {"TWRC_ENDOFLIST", 7},
        {"TWRC_INFONOTSUPPORTED", 8},
        {"TWRC_DATANOTAVAILABLE", 9},
        {"TWRC_BUSY", 10},
        {"TWCC_SUCCESS", 0},
        {"TWCC_BUMMER", 1},
        {"TWCC_LOWMEMORY", 2},
        {"TWCC_NODS", 3},
        {"TWCC_MAXCONNECTIONS", 4},
        {"TWCC_OPERATIONERROR", 5},
        {"TWCC_BADCAP", 6},
        {"TWCC_BADPROTOCOL", 9},
        {"TWCC_BADVALUE", 10},
        {"TWCC_SEQERROR", 11},
        {"TWCC_BADDEST", 12},
        {"TWCC_CAPUNSUPPORTED", 13},
        {"TWCC_CAPBADOPERATION", 14},
        {"TWCC_CAPSEQERROR", 15},
        {"TWCC_DENIED", 16},
        {"TWCC_FILEEXISTS", 17},
        {"TWCC_FILENOTFOUND", 18},
        {"TWCC_NOTEMPTY", 19},
        {"TWCC_PAPERJAM", 20},
        {"TWCC_PAPERDOUBLEFEED", 21},
        {"TWCC_FILEWRITEERROR", 22},
        {"TWCC_CHECKDEVICEONLINE", 23},
        {"TWCC_INTERLOCK", 24},
        {"TWCC_DAMAGEDCORNER", 25},
        {"TWCC_FOCUSERROR", 26},
        {"TWCC_DOCTOOLIGHT", 27},
        {"TWCC_DOCTOODARK", 28},
        {"TWCC_NOMEDIA", 29},
    };
    if (!a_szName)
        return 65535;
    for (const auto &status : s_astatus)
    {
        if (!strcasecmp(a_szName, status.szName))
            return status.u16Value;
    }
    return 65535;
}

bool CDravo::LocalIfStatus(char **a_aszCmd)
{
    if (!a_aszCmd || !a_aszCmd[0])
        return false;
    bool blResult = false;
    bool blAnd = false;
    bool blNot = false;
    for (int ii = 1; (ii < DRAVO_WORDS) && Present(a_aszCmd[ii]); ii++)
    {
        const char *szWord = a_aszCmd[ii];
        if (!strcasecmp(szWord, "OR") || !strcasecmp(szWord, "AND"))
        {
            if (blNot)
            {
                OSLOG_ASSERT("not is in a bad place...");
                blNot = false;
            }
            blAnd = !strcasecmp(szWord, "AND");
            continue;
        }
        if (!strcasecmp(szWord, "NOT"))
        {
            blNot = true;
            continue;
        }
        uint16_t u16Value = LookupStatus(szWord);
        if (u16Value == 65535)
        {
            OSLOG_ASSERT("bad test...%s", szWord);
            return false;
        }
        bool blTest = !strncasecmp(szWord, "twrc_", 5) ? (u16Value == m_u16LastRc) : (u16Value == m_u16LastCc);
        if (blNot)
            blTest = !blTest;
        blResult = blAnd ? (blResult && blTest) : (blResult || blTest);
        blNot = false;
    }
    return blResult;
}

bool CDravo::CmdIfStatus(char **a_aszCmd)
{
    if (m_ptwain)
        return m_ptwain->DSIfStatus(a_aszCmd, &m_u16LastRc, &m_u16LastCc);
    return LocalIfStatus(a_aszCmd);
}

void CDravo::CmdReturn(char **a_aszCmd)
{
    if (!a_aszCmd)
        return;
    if (m_ptwain)
    {
        m_ptwain->DSReturn(a_aszCmd, &m_u16LastRc, &m_u16LastCc);
        return;
    }
    if (Present(a_aszCmd[1]))
    {
        m_u16LastRc = LookupStatus(a_aszCmd[1]);
        if (Present(a_aszCmd[2]))
            m_u16LastCc = LookupStatus(a_aszCmd[2]);
    }
}

bool CDravo::DoReturn(DravoLine &a_dravoline)
{
    CmdReturn(a_dravoline.aszCmd);
    return m_iDepth == 0;
}

// ---------------------------------------------------------------------------
// Run arguments and expected values
// ---------------------------------------------------------------------------

void CDravo::SetRunArgs(int a_iDepth, const char *const *a_aszArgs)
{
    if ((a_iDepth < 0) || (a_iDepth >= DRAVO_LEVELS))
        return;
    twrunargs &actual = m_atwrunargsActual[a_iDepth];
    memset(&actual, 0, sizeof(actual));
    for (int ii = 0; a_aszArgs && (ii < TWRUNARGS_ARGCOUNT); ii++)
    {
        if (Present(a_aszArgs[ii]))
        {
            COsString::SStrCpy(RunArg(actual, ii), TWRUNARGS_ARGSIZE, a_aszArgs[ii]);
            actual.u32Count++;
        }
    }
    m_atwrunargsExpected[a_iDepth] = actual;
}

void CDravo::CmdSetDiff(char **a_aszCmd, int a_iDepth)
{
    if (!a_aszCmd)
        return;
    if (a_iDepth <= 0)
    {
        // At the prompt there is no script or block line below this one.
        Print("setdiff works only inside a script or block (there is no level below the prompt)...");
        return;
    }
    if (m_ptwain)
    {
        m_ptwain->DSSetDiff(a_aszCmd, static_cast<TW_UINT32>(a_iDepth - 1));
        return;
    }
    const char *szTarget = a_aszCmd[1];
    if (!Present(szTarget))
    {
        Print("Missing target name...");
        return;
    }
    const char *szValue = (a_aszCmd[1] && Present(a_aszCmd[2])) ? a_aszCmd[2] : "";
    if (strncasecmp(szTarget, "twrunargs", 9))
    {
        Print("Unrecognized target...<%s>", szTarget);
        return;
    }
    twrunargs &expected = m_atwrunargsExpected[a_iDepth - 1];
    if (!strcasecmp(szTarget, "twrunargs.u32Count"))
    {
        expected.u32Count = static_cast<uint32_t>(strtoul(szValue, nullptr, 10));
        return;
    }
    for (int ii = 0; ii < TWRUNARGS_ARGCOUNT; ii++)
    {
        char szField[32];
        snprintf(szField, sizeof(szField), "twrunargs.szArg%d", ii + 1);
        if (!strcasecmp(szTarget, szField))
        {
            COsString::SStrCpy(RunArg(expected, ii), TWRUNARGS_ARGSIZE, szValue);
            return;
        }
    }
    Print("Unrecognized target...<%s>", szTarget);
}

bool CDravo::CmdIfDiff(char **a_aszCmd, int a_iDepth)
{
    if (!a_aszCmd)
        return false;
    if (!Present(a_aszCmd[1]))
    {
        Print("Please specify an argument to 'ifdiff'...");
        return false;
    }
    bool blNot = !strcasecmp(a_aszCmd[1], "not");
    int iLevel = a_iDepth - 2;
    if (iLevel < 0)
    {
        // At the prompt there is nothing to compare: no difference.
        Print("ifdiff works only inside a script or block (there is no level below the prompt)...");
        return blNot;
    }
    if (m_ptwain)
        return m_ptwain->DSIfDiff(a_aszCmd, static_cast<TW_UINT32>(iLevel));
    const char *szStructure = blNot ? a_aszCmd[2] : a_aszCmd[1];
    if (!szStructure || strcasecmp(szStructure, "twrunargs"))
    {
        Print("Unrecognized 'ifdiff' structure...<%s>", szStructure ? szStructure : "");
        return blNot;
    }
    bool blDiff = memcmp(&m_atwrunargsActual[iLevel], &m_atwrunargsExpected[iLevel], sizeof(twrunargs)) != 0;
    return blNot ? !blDiff : blDiff;
}

bool CDravo::DoSetDiff(DravoLine &a_dravoline)
{
    CmdSetDiff(a_dravoline.aszCmd, m_iDepth);
    return true;
}

bool CDravo::DoSetExitStatus(DravoLine &a_dravoline)
{
    const char *szName = a_dravoline.aszCmd[1];
    if (Present(szName))
        m_u16ExitStatus = LookupStatus(szName);
    else if ((m_u16LastRc == 1) && (m_u16LastCc != 0))
        m_u16ExitStatus = m_u16LastCc;
    else
        m_u16ExitStatus = m_u16LastRc;
    return true;
}

// ---------------------------------------------------------------------------
// Messages, the tally, timers, variables
// ---------------------------------------------------------------------------

bool CDravo::DoMessage(DravoLine &a_dravoline)
{
    char **aszCmd = a_dravoline.aszCmd;
    const char *szCommand = aszCmd[0];
    bool blWarn = !strcasecmp(szCommand, "warn") || !strcasecmp(szCommand, "warning");
    bool blError = !strcasecmp(szCommand, "error");
    bool blErrorSilent = !strcasecmp(szCommand, "errorsilent");
    int iSeverity = ELOGSTS_INFONOFILE;
    const char *szFormat = "\033[1m%s\033[0m";
    if (!strcasecmp(szCommand, "info"))
    {
        iSeverity = ELOGSTS_INFO;
        szFormat = "\033[32m\033[1m%s\033[0m";
    }
    else if (!strcasecmp(szCommand, "infonofile"))
        szFormat = "\033[32m\033[1m%s\033[0m";
    else if (blWarn)
    {
        iSeverity = ELOGSTS_WARNING;
        szFormat = "\033[33m\033[1m%s\033[0m";
    }
    else if (blError || blErrorSilent)
    {
        iSeverity = ELOGSTS_ERROR;
        szFormat = "\033[31m\033[1m%s\033[0m";
    }

    // The console is visible for the message; an error leaves it on.
    char szConsole[8] = "on";
    if (g_plog)
    {
        COsString::SStrCpy(szConsole, sizeof(szConsole), g_plog->ConsoleGet());
        g_plog->ConsoleSet("on");
    }

    if (!Present(aszCmd[1]))
        PrintSev(iSeverity, "%s", "");
    else
    {
        const char *szText = aszCmd[1];
        if (blWarn || blError || blErrorSilent || Present(aszCmd[2]))
            szText = FindArg(a_dravoline.szLine);
        PrintSev(iSeverity, szFormat, szText);
        if (blWarn)
            m_u32Warnings++;
        else if (blError || blErrorSilent)
            m_u32Errors++;
    }

    if (g_plog && !blError)
        g_plog->ConsoleSet(szConsole);
    return true;
}

bool CDravo::DoTally(DravoLine &a_dravoline)
{
    const char *szWord = a_dravoline.aszCmd[1];
    if (!szWord)
    {
        if ((m_u32Errors == 0) && (m_u32Warnings == 0))
            Print("\033[32m\033[1mErrors: 0, Warnings: 0\033[0m");
        else if (m_u32Errors)
            Print("\033[31m\033[1mErrors: %d, Warnings: %d\033[0m", static_cast<int>(m_u32Errors),
                  static_cast<int>(m_u32Warnings));
        else
            Print("\033[33m\033[1mErrors: 0, Warnings: %d\033[0m", static_cast<int>(m_u32Warnings));
    }
    else if (!strcasecmp(szWord, "clear"))
    {
        m_u32Errors = 0;
        m_u32Warnings = 0;
    }
    else
        PrintSev(ELOGSTS_ERROR, "unrecognized command...");
    return true;
}

bool CDravo::DoTimer(DravoLine &a_dravoline)
{
    const char *szWord = a_dravoline.aszCmd[1];
    uint64_t u64Resolution = OsTimeGetPerformanceResolution();
    if (u64Resolution == 0)
        u64Resolution = 1000000000ULL;
    DravoTimer &timer = m_adravotimer[m_u32TimerDepth];

    if (!szWord)
    {
        uint64_t u64Now = OsTimeGetPerformanceTick();
        for (int ii = 0; ii < DRAVO_TIMERS; ii++)
        {
            const DravoTimer &t = m_adravotimer[ii];
            if (!t.u64Start)
                continue;
            // A running timer is reported up to now.
            uint64_t u64Stop = t.u64Stop ? t.u64Stop : u64Now;
            double dTotal = static_cast<double>(t.u64Accumulated + (u64Stop - t.u64Start)) / u64Resolution;
            double dAverage = t.u64Count ? dTotal / static_cast<double>(t.u64Count) : 0.0;
            Print("Timer(%02d) Count=%d Total=%gs Average=%gs", ii, static_cast<int>(t.u64Count), dTotal, dAverage);
        }
    }
    else if (!strcasecmp(szWord, "start"))
    {
        if (m_u32TimerDepth >= DRAVO_TIMERS - 1)
        {
            PrintSev(ELOGSTS_ERROR, "timer overflow...");
            return true;
        }
        m_u32TimerDepth++;
        DravoTimer &t = m_adravotimer[m_u32TimerDepth];
        memset(&t, 0, sizeof(t));
        t.u64Count = 1;
        const char *szPause = a_dravoline.aszCmd[2];
        if (!szPause || strcasecmp(szPause, "pause"))
            t.u64Start = OsTimeGetPerformanceTick();
    }
    else if (!strcasecmp(szWord, "pause"))
    {
        if (m_u32TimerDepth == 0)
            PrintSev(ELOGSTS_ERROR, "timer underflow...");
        else if (timer.u64Start && !timer.u64Stop)
        {
            timer.u64Stop = OsTimeGetPerformanceTick();
            timer.u64Accumulated += timer.u64Stop - timer.u64Start;
            timer.u64Start = 0;
            timer.u64Stop = 0;
            double dTotal = static_cast<double>(timer.u64Accumulated) / u64Resolution;
            PrintSev(ELOGSTS_ERROR, "\033[35m\033[1mTimer(%d) Count=%d Total=%gs Average=%gs\033[0m",
                     static_cast<int>(m_u32TimerDepth), static_cast<int>(timer.u64Count), dTotal,
                     timer.u64Count ? dTotal / static_cast<double>(timer.u64Count) : 0.0);
        }
        else
            PrintSev(ELOGSTS_ERROR, "must start or resume first...");
    }
    else if (!strcasecmp(szWord, "resume"))
    {
        if (m_u32TimerDepth == 0)
            PrintSev(ELOGSTS_ERROR, "timer underflow...");
        else if (!timer.u64Start && !timer.u64Stop)
        {
            if (timer.u64Accumulated)
                timer.u64Count++;
            timer.u64Start = OsTimeGetPerformanceTick();
        }
        else
            PrintSev(ELOGSTS_ERROR, "must pause...");
    }
    else if (!strcasecmp(szWord, "stop"))
    {
        if (m_u32TimerDepth == 0)
            PrintSev(ELOGSTS_ERROR, "timer underflow...");
        else
        {
            uint64_t u64Running = 0;
            if (timer.u64Start && !timer.u64Stop)
            {
                timer.u64Stop = OsTimeGetPerformanceTick();
                u64Running = timer.u64Stop - timer.u64Start;
            }
            double dTotal = static_cast<double>(timer.u64Accumulated + u64Running) / u64Resolution;
            PrintSev(ELOGSTS_ERROR, "\033[35m\033[1mTimer(%d) Count=%d Total=%gs Average=%gs\033[0m",
                     static_cast<int>(m_u32TimerDepth), static_cast<int>(timer.u64Count), dTotal,
                     timer.u64Count ? dTotal / static_cast<double>(timer.u64Count) : 0.0);
            m_u32TimerDepth--;
        }
    }
    else if (!strcasecmp(szWord, "clear"))
    {
        m_u32TimerDepth = 0;
        memset(m_adravotimer, 0, sizeof(m_adravotimer));
    }
    else
        PrintSev(ELOGSTS_ERROR, "unrecognized command...");
    return true;
}

bool CDravo::DoSetVar(DravoLine &a_dravoline)
{
    char **aszCmd = a_dravoline.aszCmd;
    if (!Present(aszCmd[1]))
    {
        Print("must specify a key and a value...");
        return true;
    }
    if (!aszCmd[2])
    {
        Print("must specify a value (use \"\" for an empty value)...");
        return true;
    }
    if (!g_pvar || g_pvar->Set(aszCmd[1], aszCmd[2]))
        Print("Error setting value...<%s> <%s>", aszCmd[1], aszCmd[2]);
    return true;
}

bool CDravo::DoGetVar(DravoLine &a_dravoline)
{
    if (g_pvar)
        g_pvar->Disp(a_dravoline.aszCmd[1]);
    return true;
}

// ---------------------------------------------------------------------------
// Running scripts
// ---------------------------------------------------------------------------

bool CDravo::DoRun(DravoLine &a_dravoline)
{
    const char *szCommand = a_dravoline.aszCmd[0];
    if (!strcasecmp(szCommand, "runsilent"))
    {
        char szConsole[8] = "on";
        if (g_plog)
        {
            COsString::SStrCpy(szConsole, sizeof(szConsole), g_plog->ConsoleGet());
            g_plog->ConsoleSet("off");
        }
        bool blStopped = CmdRun(a_dravoline.aszCmd);
        if (blStopped && !strcasecmp(m_szLastCommand, "exit"))
            return false;
        if ((!blStopped || (m_iDepth == 0)) && g_plog)
            g_plog->ConsoleSet(szConsole);
        return true;
    }
    if (!strcasecmp(szCommand, "rundebug"))
    {
        int iLevel = g_poslog ? g_poslog->GetDebugLevel() : 0;
        if (g_poslog)
            g_poslog->SetDebugLevel(1);
        COsCfg::SetEnv("ZAV_DEBUG", "1");
        bool blStopped = CmdRun(a_dravoline.aszCmd);
        if (blStopped && !strcasecmp(m_szLastCommand, "exit"))
            return false;
        if (!blStopped || (m_iDepth == 0))
        {
            COsCfg::SetEnv("ZAV_DEBUG", nullptr);
            if (g_poslog)
                g_poslog->SetDebugLevel(iLevel);
        }
        return true;
    }
    bool blStopped = CmdRun(a_dravoline.aszCmd);
    if (blStopped && !strcasecmp(m_szLastCommand, "exit"))
        return false;
    return true;
}

void CDravo::ListScripts()
{
    Print("Scripts");
    Print("~~~~~~~");
    static const char *const s_aszPattern[] = {"*.txt", "*.twain"};
    for (const char *szPattern : s_aszPattern)
    {
        OsFileInfo osfileinfo;
        memset(&osfileinfo, 0, sizeof(osfileinfo));
        for (EOSSTS eossts = COsFile::FindFirst(szPattern, &osfileinfo); eossts == OS_STS_OK;
             eossts = COsFile::FindNext(&osfileinfo))
        {
            if (osfileinfo.u32Type == OS_FILETYPE_DIRECTORY)
                continue;
            char szName[sizeof(osfileinfo.szName)];
            COsString::SStrCpy(szName, sizeof(szName), osfileinfo.szName);
            char *szDot = strrchr(szName, '.');
            if (szDot)
                *szDot = '\0';
            Print("  %s", szName);
        }
        COsFile::FindClose(&osfileinfo);
    }
}

bool CDravo::Substitute(char *a_szLine, size_t a_sizeLine, char *a_szSubst, char (*a_aszArgs)[DRAVO_RUNARGSIZE])
{
    bool blFits = true;

    // {desktop}: the desktop directory.
    if (strstr(a_szLine, "{desktop}"))
    {
        const char *szDesktop = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, OS_CFGTAG_DESKTOPDIRECTORY) : "";
        if (!szDesktop)
            szDesktop = "";
        size_t len = 0;
        a_szSubst[0] = '\0';
        const char *szFrom = a_szLine;
        for (const char *szAt = strstr(szFrom, "{desktop}"); szAt; szAt = strstr(szFrom, "{desktop}"))
        {
            blFits &= Append(a_szSubst, a_sizeLine, &len, szFrom, static_cast<size_t>(szAt - szFrom));
            blFits &= Append(a_szSubst, a_sizeLine, &len, szDesktop, strlen(szDesktop));
            szFrom = szAt + strlen("{desktop}");
        }
        blFits &= Append(a_szSubst, a_sizeLine, &len, szFrom, strlen(szFrom));
        memcpy(a_szLine, a_szSubst, len + 1);
    }

    // {1} to {16}: the script's arguments, quoted unless a double quote
    // stands just before the placeholder.
    for (int nn = 1; nn <= DRAVO_SCRIPTARGS; nn++)
    {
        char szPlaceholder[8];
        snprintf(szPlaceholder, sizeof(szPlaceholder), "{%d}", nn);
        if (!strstr(a_szLine, szPlaceholder))
            continue;
        const char *szArg = a_aszArgs[nn - 1];
        size_t len = 0;
        a_szSubst[0] = '\0';
        const char *szFrom = a_szLine;
        for (const char *szAt = strstr(szFrom, szPlaceholder); szAt; szAt = strstr(szFrom, szPlaceholder))
        {
            blFits &= Append(a_szSubst, a_sizeLine, &len, szFrom, static_cast<size_t>(szAt - szFrom));
            bool blQuoted = (szAt > a_szLine) && (szAt[-1] == '"');
            if (!blQuoted)
                blFits &= Append(a_szSubst, a_sizeLine, &len, "\"", 1);
            blFits &= Append(a_szSubst, a_sizeLine, &len, szArg, strlen(szArg));
            if (!blQuoted)
                blFits &= Append(a_szSubst, a_sizeLine, &len, "\"", 1);
            szFrom = szAt + strlen(szPlaceholder);
        }
        blFits &= Append(a_szSubst, a_sizeLine, &len, szFrom, strlen(szFrom));
        memcpy(a_szLine, a_szSubst, len + 1);
    }
    return blFits;
}

bool CDravo::CmdRun(char **a_aszCmd)
{
    if (!a_aszCmd)
    {
        Print("CmdRun: a_aszCmd is null...");
        return false;
    }

    // The numbered arguments: argument n + 1 is word n + 2.
    char aszArgs[DRAVO_SCRIPTARGS][DRAVO_RUNARGSIZE];
    memset(aszArgs, 0, sizeof(aszArgs));
    if (a_aszCmd[0] && a_aszCmd[1])
    {
        for (int nn = 0; (nn < DRAVO_SCRIPTARGS) && (nn + 2 < DRAVO_WORDS) && a_aszCmd[nn + 2]; nn++)
            COsString::SStrCpy(aszArgs[nn], DRAVO_RUNARGSIZE, a_aszCmd[nn + 2]);
    }

    char *szWork = static_cast<char *>(calloc(1, DRAVO_SCRIPTLINESIZE));
    char **aszLines = static_cast<char **>(calloc(DRAVO_SCRIPTLINES, sizeof(char *)));
    if (!szWork || !aszLines)
    {
        free(szWork);
        free(aszLines);
        Print("CmdRun: OsMemAlloc failed...");
        return false;
    }

    bool blStopped = false;
    const char *szName = a_aszCmd[0] ? a_aszCmd[1] : nullptr;
    if (!Present(szName))
        ListScripts();
    else if (strchr(szName, '*'))
    {
        // Every file that the pattern matches, in name order.
        OsFileInfo osfileinfo;
        memset(&osfileinfo, 0, sizeof(osfileinfo));
        for (EOSSTS eossts = COsFile::FindFirst(szName, &osfileinfo); eossts == OS_STS_OK;
             eossts = COsFile::FindNext(&osfileinfo))
        {
            if (!strcmp(osfileinfo.szName, ".") || !strcmp(osfileinfo.szName, "..") ||
                (osfileinfo.u32Type == OS_FILETYPE_DIRECTORY))
                continue;
            int iState = TwState();
            Print("tw%d>>>", iState);
            Print("tw%d>>>", iState);
            Print("tw%d>>>", iState);
            Print("tw%d>>> run %s", iState, osfileinfo.szName);
            if (!RunOneFile(osfileinfo.szPath, szName, true, aszArgs, aszLines, szWork, &blStopped))
                break;
        }
        COsFile::FindClose(&osfileinfo);
    }
    else
    {
        // The name as typed, else with ".txt", else with ".twain".
        char szFile[1024] = "";
        static const char *const s_aszExt[] = {"", ".txt", ".twain"};
        bool blFound = false;
        for (const char *szExt : s_aszExt)
        {
            if (snprintf(szFile, sizeof(szFile), "%s%s", szName, szExt) >= static_cast<int>(sizeof(szFile)))
                continue;
            if (IsScriptFile(szFile))
            {
                blFound = true;
                break;
            }
        }
        if (!blFound)
            Print("file not found...");
        else
            RunOneFile(szFile, szName, false, aszArgs, aszLines, szWork, &blStopped);
    }

    free(szWork);
    free(aszLines);
    return blStopped;
}

bool CDravo::RunOneFile(const char *a_szFile, const char *a_szName, bool a_blPattern,
                        char (*a_aszArgs)[DRAVO_RUNARGSIZE], char **a_aszLines, char *a_szWork, bool *a_pblStopped)
{
    (void)a_blPattern;

    // The whole file, read into a buffer of its size plus one.
    COsFile osfile;
    if (osfile.Open(a_szFile, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE) != OS_STS_OK)
    {
        Print("failed to open file...");
        return false;
    }
    uint64_t u64Size = 0;
    osfile.Size(&u64Size);
    char *szText = static_cast<char *>(calloc(1, u64Size + 1));
    if (!szText)
    {
        Print("OsMemAlloc failed...");
        return false;
    }
    uint64_t u64Read = 0;
    if ((u64Size > 0) && ((osfile.Read(szText, u64Size, &u64Read) != OS_STS_OK) || (u64Read != u64Size)))
    {
        free(szText);
        Print("read failed...");
        return false;
    }
    osfile.Close();
    szText[u64Size] = '\0';

    // The data pre-pass: a data block at the end of the file is loaded
    // before the commands run.
    char *szData = strstr(szText, "datadatadata");
    if (szData)
    {
        if (!OpenLevel(nullptr, false, 0, 0))
        {
            *a_pblStopped = true;
            free(szText);
            return true;
        }
        char *szContext = nullptr;
        for (char *szPiece = strtok_r(szData, "\r\n", &szContext); szPiece; szPiece = strtok_r(nullptr, "\r\n", &szContext))
        {
            if (!Parse(szPiece, nullptr, 0, nullptr))
            {
                *a_pblStopped = true;
                break;
            }
        }
        *szData = '\0';
        if (m_iDepth > 0)
            m_iDepth--;
        if (*a_pblStopped)
        {
            free(szText);
            return true;
        }
    }

    // The substitution buffer, only when the text holds a placeholder.
    char *szSubst = nullptr;
    if (strchr(szText, '{'))
    {
        szSubst = static_cast<char *>(calloc(1, DRAVO_SCRIPTLINESIZE));
        if (!szSubst)
        {
            Print("memory allocation error...");
            free(szText);
            *a_pblStopped = true;
            return false;
        }
    }

    // The line table; blank lines keep their place in the numbering.
    memset(a_aszLines, 0, DRAVO_SCRIPTLINES * sizeof(char *));
    static char s_szEmpty[1] = "";
    int iLines = 0;
    size_t uuEnd = (strchr(szText, '\r') != nullptr) ? 2 : 1;
    size_t lenText = strlen(szText);
    bool blOverflow = false;
    for (size_t uu = 0; (uu < lenText) && !blOverflow; uu++)
    {
        char c = szText[uu];
        char *szStart = nullptr;
        if ((c == '\r') || (c == '\n'))
        {
            if ((uu == 0) || ((c == '\n') && (uu > uuEnd) && (szText[uu - uuEnd] == '\0')))
                szStart = s_szEmpty;
            szText[uu] = '\0';
        }
        else if ((uu == 0) || (szText[uu - 1] == '\0'))
            szStart = &szText[uu];
        if (!szStart)
            continue;
        if (iLines >= DRAVO_SCRIPTLINES)
            blOverflow = true;
        else
            a_aszLines[iLines++] = szStart;
    }
    if (blOverflow)
    {
        Print("buffer overflow...(%d lines in script)", iLines);
        free(szSubst);
        free(szText);
        *a_pblStopped = true;
        return false;
    }

    if (!OpenLevel(nullptr, false, 0, 0))
    {
        free(szSubst);
        free(szText);
        *a_pblStopped = true;
        return true;
    }
    int iBase = m_iDepth;
    m_iScripts++;

    for (int iCurrent = 0; iCurrent < iLines; iCurrent++)
    {
        // The line (a longer one is cut, which keeps it over the line limit).
        snprintf(a_szWork, DRAVO_SCRIPTLINESIZE, "%s", a_aszLines[iCurrent]);
        if (szSubst && strchr(a_szWork, '{'))
            Substitute(a_szWork, DRAVO_SCRIPTLINESIZE, szSubst, a_aszArgs);
        if (g_pvar)
            g_pvar->Set("ScriptName", a_szName);
        Print("tw%d>>> %s", TwState(), a_szWork);

        char szLabel[64] = "";
        int iNext = iCurrent;
        if (!Parse(a_szWork, szLabel, iCurrent, &iNext))
        {
            *a_pblStopped = true;
            break;
        }
        iCurrent = iNext;
        if (!szLabel[0])
            continue;

        // goto: find the label line, then re-count the block depth over the
        // lines between the jump and the label.
        char szTarget[80];
        snprintf(szTarget, sizeof(szTarget), "%s:", szLabel);
        size_t lenTarget = strlen(szTarget);
        int iTarget = -1;
        for (int kk = 0; kk < iLines; kk++)
        {
            const char *sz = a_aszLines[kk];
            while (isspace(static_cast<unsigned char>(*sz)))
                sz++;
            size_t len = strlen(sz);
            while ((len > 0) && isspace(static_cast<unsigned char>(sz[len - 1])))
                len--;
            if ((len == lenTarget) && !strncmp(sz, szTarget, len))
            {
                iTarget = kk;
                break;
            }
        }
        if (iTarget < 0)
        {
            Print("Failed to find goto label...%s", szTarget);
            break;
        }
        int iDepth = m_iDepth;
        bool blBack = iTarget < iCurrent;
        int iFrom = blBack ? iTarget : iCurrent;
        int iTo = blBack ? iCurrent : iTarget;
        for (int kk = iFrom + 1; kk < iTo; kk++)
        {
            const char *sz = a_aszLines[kk];
            while ((*sz == ' ') || (*sz == '\t'))
                sz++;
            if (!strcasecmp(sz, "end"))
                iDepth += blBack ? 1 : -1;
            else if (OpensBlock(sz))
                iDepth += blBack ? -1 : 1;
        }
        if ((iDepth < iBase) || (iDepth >= DRAVO_LEVELS))
        {
            if (g_plog)
                g_plog->ConsoleSet("on");
            m_u32Errors++;
            PrintSev(ELOGSTS_ERROR,
                     "\033[31m\033[1m%%%%error, goto %s leaves the blocks unbalanced (depth %d, allowed %d to %d)\033[0m",
                     szLabel, iDepth, iBase, DRAVO_LEVELS - 1);
            *a_pblStopped = true;
            break;
        }
        m_iDepth = iDepth;
        iCurrent = iTarget - 1;
    }

    m_iScripts--;
    if (m_iDepth > 0)
        m_iDepth--;
    if (g_pvar)
        g_pvar->Set("ScriptName", "");
    free(szSubst);
    free(szText);
    return true;
}
