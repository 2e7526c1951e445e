// dravo_script.cpp
// Script runs: finding script files, their numbered arguments and the
// desktop placeholder, the data pre-pass, the line table, labels and jumps,
// and the three ways of running a script (run, runsilent, rundebug).
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
// Labels
// ---------------------------------------------------------------------------

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

// A data block ends with its closing "datadatadata" line. One that is still
// open when the text of its script ends (a record file cut short) is closed
// there: otherwise every later line, at the prompt too, would be taken as
// data. Its lines are kept as the expected data.
void CDravo::CloseOpenDataBlock(const char *a_szName)
{
    if (!m_blDataBlock)
        return;
    m_blDataBlock = false;
    if (g_plog)
        g_plog->ConsoleSet("on");
    m_u32Errors++;
    PrintSev(ELOGSTS_ERROR,
             "\033[31m\033[1m%%%%error, data block of %s not closed by datadatadata, closed after %d lines\033[0m",
             a_szName, m_iDataBlockLines);
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
            if (!RunOneFile(osfileinfo.szPath, szName, aszArgs, aszLines, szWork, &blStopped))
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
            RunOneFile(szFile, szName, aszArgs, aszLines, szWork, &blStopped);
    }

    free(szWork);
    free(aszLines);
    return blStopped;
}

bool CDravo::RunOneFile(const char *a_szFile, const char *a_szName, char (*a_aszArgs)[DRAVO_RUNARGSIZE],
                        char **a_aszLines, char *a_szWork, bool *a_pblStopped)
{
    // The whole file: a regular file of at most DRAVO_SCRIPTMAX bytes
    // (anything else is refused at once).
    char *szFile = nullptr;
    uint64_t u64Size = 0;
    EOSSTS eossts = COsFile::ReadFile(a_szFile, &szFile, false, 0, &u64Size, 0, DRAVO_SCRIPTMAX);
    if ((eossts == OS_STS_FILE_NOT_FOUND) || (eossts == OS_STS_ACCESS_DENIED))
    {
        Print("failed to open file...");
        return false;
    }
    if (eossts != OS_STS_OK)
    {
        Print("read failed...");
        return false;
    }
    char *szText = szFile;
    // A NUL byte ends its own line only, as it does for a line typed at the
    // prompt: the rest of that line is dropped, the lines after it are kept
    // (the text is handled as one C string from here on).
    size_t uuWrite = 0;
    bool blCut = false;
    for (size_t uuRead = 0; uuRead < u64Size; uuRead++)
    {
        char c = szText[uuRead];
        if (c == '\0')
            blCut = true;
        else if ((c == '\r') || (c == '\n'))
            blCut = false;
        if (!blCut)
            szText[uuWrite++] = c;
    }
    szText[uuWrite] = '\0';

    // From here on the lines come from a script (the pre-pass included).
    struct ScriptCount
    {
        int &m_iCount;
        explicit ScriptCount(int &a_iCount) : m_iCount(a_iCount) { m_iCount++; }
        ~ScriptCount() { m_iCount--; }
    } scriptcount(m_iScripts);

    // The data pre-pass: a data block at the end of the file is loaded
    // before the commands run.
    char *szData = strstr(szText, "datadatadata");
    if (szData)
    {
        if (!OpenLevel(nullptr, false, 0, 0))
        {
            *a_pblStopped = true;
            g_posmem->Free(szText, __FILE__, __LINE__);
            return true;
        }
        // One piece per line (CR LF, LF or CR ends it).  Empty lines are
        // dropped, except inside the data block: there an empty line is an
        // expected empty output line (a recording writes one for every empty
        // line it captured), so a replay compares line for line.
        char *szPiece = szData;
        while (*szPiece)
        {
            size_t len = strcspn(szPiece, "\r\n");
            char *szNext = szPiece + len;
            if (*szNext == '\r')
                *szNext++ = '\0';
            if (*szNext == '\n')
                *szNext++ = '\0';
            if (((len > 0) || m_blDataBlock) && !Parse(szPiece, nullptr, 0, nullptr))
            {
                *a_pblStopped = true;
                break;
            }
            szPiece = szNext;
        }
        *szData = '\0';
        if (m_iDepth > 0)
            m_iDepth--;
        CloseOpenDataBlock(a_szName);
        if (*a_pblStopped)
        {
            g_posmem->Free(szText, __FILE__, __LINE__);
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
            g_posmem->Free(szText, __FILE__, __LINE__);
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
        g_posmem->Free(szText, __FILE__, __LINE__);
        *a_pblStopped = true;
        return false;
    }

    if (!OpenLevel(nullptr, false, 0, 0))
    {
        free(szSubst);
        g_posmem->Free(szText, __FILE__, __LINE__);
        *a_pblStopped = true;
        return true;
    }
    int iBase = m_iDepth;

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

    // The script's own level and every block it left open (a return or a
    // stop inside a block) are closed, so the caller's levels stay as they
    // were and a later "end" of the caller closes the caller's own block.
    while (m_iDepth >= iBase)
        CloseLevel();
    CloseOpenDataBlock(a_szName);
    if (g_pvar)
        g_pvar->Set("ScriptName", "");
    free(szSubst);
    g_posmem->Free(szText, __FILE__, __LINE__);
    return true;
}
