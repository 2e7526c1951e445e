// dravo_block.cpp
// The block stack of the script language (ifstatus, ifdiff, repeat, skipped
// blocks and their end), the status tests and return codes without a TWAIN
// object, and the run arguments with their expected values.
#include "dravo.h"

#include <cctype>
#include <climits>
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
        // A count that is already 0 or below (repeat 0, a negative count)
        // stays where it is: the block ends either way.
        if (m_aiRepeatCount[iDepth] > 0)
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
    // The count is read as a decimal number (0 for a word that is none); a
    // number beyond the range of the counter is held at its limit.
    long lCount = strtol(a_dravoline.aszCmd[1], nullptr, 10);
    if (lCount > INT_MAX)
        lCount = INT_MAX;
    else if (lCount < INT_MIN)
        lCount = INT_MIN;
    if (!OpenLevel(s_szKindRepeat, false, static_cast<int>(lCount), a_dravoline.iLine))
        return !InScript();
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
    if (!a_aszCmd[0] || !a_aszCmd[1])
        return;
    if (Present(a_aszCmd[1]))
        m_u16LastRc = LookupStatus(a_aszCmd[1]);
    if (Present(a_aszCmd[2]))
        m_u16LastCc = LookupStatus(a_aszCmd[2]);
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
    if (m_ptwain)
    {
        // The engine refuses the run-argument targets when there is no level
        // below this one; its other targets don't depend on the level.
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
    if (a_iDepth <= 0)
    {
        // At the prompt there is no script or block line below this one.
        Print("setdiff works only inside a script or block (there is no level below the prompt)...");
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
    if (m_ptwain)
        return m_ptwain->DSIfDiff(a_aszCmd, static_cast<TW_UINT32>(iLevel));
    const char *szStructure = blNot ? a_aszCmd[2] : a_aszCmd[1];
    if (!szStructure || strcasecmp(szStructure, "twrunargs"))
    {
        Print("Unrecognized 'ifdiff' structure...<%s>", szStructure ? szStructure : "");
        return blNot;
    }
    if (iLevel < 0)
    {
        // At the prompt there is nothing to compare: no difference.
        Print("ifdiff works only inside a script or block (there is no level below the prompt)...");
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

