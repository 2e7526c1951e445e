// dravo_parse.cpp
// The prompt loop, the interpreter of one line, the tokenizer, the command
// table and the small commands that the interpreter carries out itself.
#include "dravo.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "clog.h"
#include "ctwain.h"
#include "osservices.h"

// ---------------------------------------------------------------------------
// The command table: one row per word (words with the same handler have one
// row each); the comparison ignores case and the first match wins.  A word
// whose handler is not part of this build is simply absent: it falls to the
// unrecognised-command case.
// ---------------------------------------------------------------------------

const DravoCommand CDravo::s_adravocommand[] = {
    {"goto", &CDravo::DoGoto},
    {"info", &CDravo::DoMessage},
    {"infonofile", &CDravo::DoMessage},
    {"echo", &CDravo::DoMessage},
    {"mem", &CDravo::Words<&CDravo::CmdMem>},
    {"display", &CDravo::Words<&CDravo::CmdDisplay>},
    {"warn", &CDravo::DoMessage},
    {"warning", &CDravo::DoMessage},
    {"error", &CDravo::DoMessage},
    {"errorsilent", &CDravo::DoMessage},
    {"timer", &CDravo::DoTimer},
    {"tally", &CDravo::DoTally},
    {"color", &CDravo::DoColor},
    {"setvar", &CDravo::DoSetVar},
    {"getvar", &CDravo::DoGetVar},
    {"return", &CDravo::DoReturn},
    {"ifdiff", &CDravo::DoIfDiff},
    {"ifstatus", &CDravo::DoIfStatus},
    {"repeat", &CDravo::DoRepeat},
    {"exit", &CDravo::DoExit},
    {"quit", &CDravo::DoExit},
    {"q", &CDravo::DoExit},
    // help, h, ?.
    {"help", &CDravo::Words<&CDravo::CmdHelp>},
    {"h", &CDravo::Words<&CDravo::CmdHelp>},
    {"?", &CDravo::Words<&CDravo::CmdHelp>},
    {"size", &CDravo::DoSize},
    {"count", &CDravo::DoCount},
    {"log", &CDravo::Words<&CDravo::CmdLog>},
    {"twcreate", &CDravo::WordsInt<&CDravo::CmdTwcreate>},
    {"twdestroy", &CDravo::Words<&CDravo::CmdTwdestroy>},
    {"twlist", &CDravo::Words<&CDravo::CmdTwlist>},
    {"twset", &CDravo::Words<&CDravo::CmdTwset>},
    {"twstress", &CDravo::Words<&CDravo::CmdTwstress>},
    {"dsmopen", &CDravo::Words<&CDravo::CmdDsmopen>},
    {"dsmclose", &CDravo::Words<&CDravo::CmdDsmclose>},
    {"dsmlist", &CDravo::Words<&CDravo::CmdDsmlist>},
    {"dsmfind", &CDravo::Words<&CDravo::CmdDsmfind>},
    {"dsopen", &CDravo::Words<&CDravo::CmdDsopen>},
    {"dsclose", &CDravo::Words<&CDravo::CmdDsclose>},
    {"resetall", &CDravo::Words<&CDravo::CmdDsresetall>},
    {"wait", &CDravo::Words<&CDravo::CmdDswait>},
    {"dsmset", &CDravo::DoDsmset},
    {"standby", &CDravo::DoPowerState},
    {"hibernate", &CDravo::DoPowerState},
    // Capability commands (dsprobe, dscap, get, set, reset).
    {"dsprobe", &CDravo::Words<&CDravo::CmdDsprobe>},
    {"dscap", &CDravo::Words<&CDravo::CmdDscap>},
    {"get", &CDravo::Words<&CDravo::CmdDsget>},
    {"set", &CDravo::Words<&CDravo::CmdDsset>},
    {"reset", &CDravo::Words<&CDravo::CmdDsreset>},
    {"setdiff", &CDravo::DoSetDiff},
    // Control handlers.
    {"dat_autocolorlearn", &CDravo::Words<&CDravo::CmdDatAutoColorLearn>},
    {"dat_calibrate", &CDravo::Words<&CDravo::CmdDatCalibrate>},
    {"dat_capability", &CDravo::Words<&CDravo::CmdDatCapability>},
    {"dat_ecdo", &CDravo::Words<&CDravo::CmdDatEcdo>},
    {"ecdo", &CDravo::Words<&CDravo::CmdDatEcdo>},
    {"dat_firmwaredownload", &CDravo::Words<&CDravo::CmdDatFirmwareDownload>},
    {"fd", &CDravo::Words<&CDravo::CmdDatFirmwareDownload>},
    {"dat_iccprofile", &CDravo::Words<&CDravo::CmdDatIccProfile>},
    {"dat_identity", &CDravo::Words<&CDravo::CmdDatIdentity>},
    {"di", &CDravo::Words<&CDravo::CmdDatIdentity>},
    // Image information, layout, transfers, pending transfers, profiles,
    // set-up, status, user interface, UTC, windows and transfer groups.
    {"dat_imagefilexfer", &CDravo::Words<&CDravo::CmdDatImageFileXfer>},
    {"xf", &CDravo::Words<&CDravo::CmdDatImageFileXfer>},
    {"dat_imageinfo", &CDravo::Words<&CDravo::CmdDatImageInfo>},
    {"ii", &CDravo::Words<&CDravo::CmdDatImageInfo>},
    {"dat_imagelayout", &CDravo::Words<&CDravo::CmdDatImageLayout>},
    {"la", &CDravo::Words<&CDravo::CmdDatImageLayout>},
    {"dat_imagememxfer", &CDravo::Words<&CDravo::CmdDatImageMemXfer>},
    {"xm", &CDravo::Words<&CDravo::CmdDatImageMemXfer>},
    {"dat_imagememfilexfer", &CDravo::Words<&CDravo::CmdDatImageMemFileXfer>},
    {"dat_imagenativexfer", &CDravo::Words<&CDravo::CmdDatImageNativeXfer>},
    {"xn", &CDravo::Words<&CDravo::CmdDatImageNativeXfer>},
    {"dat_pendingxfers", &CDravo::Words<&CDravo::CmdDatPendingXfers>},
    {"px", &CDravo::Words<&CDravo::CmdDatPendingXfers>},
    {"dat_profiles", &CDravo::Words<&CDravo::CmdDatProfiles>},
    {"pr", &CDravo::Words<&CDravo::CmdDatProfiles>},
    {"dat_setupfilexfer", &CDravo::Words<&CDravo::CmdDatSetupFileXfer>},
    {"sx", &CDravo::Words<&CDravo::CmdDatSetupFileXfer>},
    {"dat_setupmemxfer", &CDravo::Words<&CDravo::CmdDatSetupMemXfer>},
    {"sm", &CDravo::Words<&CDravo::CmdDatSetupMemXfer>},
    {"dat_status", &CDravo::Words<&CDravo::CmdDatStatus>},
    {"st", &CDravo::Words<&CDravo::CmdDatStatus>},
    {"dat_userinterface", &CDravo::Words<&CDravo::CmdDatUserInterface>},
    {"ui", &CDravo::Words<&CDravo::CmdDatUserInterface>},
    {"dat_utc", &CDravo::Words<&CDravo::CmdDatUtc>},
    {"utc", &CDravo::Words<&CDravo::CmdDatUtc>},
    {"dat_window", &CDravo::Words<&CDravo::CmdDatWindow>},
    {"wi", &CDravo::Words<&CDravo::CmdDatWindow>},
    {"dat_xfergroup", &CDravo::Words<&CDravo::CmdDatXferGroup>},
    {"xg", &CDravo::Words<&CDravo::CmdDatXferGroup>},
    // Extended image information and the device triplets.
    {"dat_consumablemeters", &CDravo::Words<&CDravo::CmdDatConsumableMeters>},
    {"dat_customdsdata", &CDravo::Words<&CDravo::CmdDatCustomDsData>},
    {"dat_customdsdatagroup", &CDravo::Words<&CDravo::CmdDatCustomDsDataGroup>},
    {"dat_deviceinfo", &CDravo::Words<&CDravo::CmdDatDeviceInfo>},
    {"dvi", &CDravo::Words<&CDravo::CmdDatDeviceInfo>},
    {"dat_extimageinfo", &CDravo::Words<&CDravo::CmdDatExtImageInfo>},
    {"ex", &CDravo::Words<&CDravo::CmdDatExtImageInfo>},
    {"dat_filesystem", &CDravo::Words<&CDravo::CmdDatFileSystem>},
    {"fs", &CDravo::Words<&CDravo::CmdDatFileSystem>},
    {"dat_log", &CDravo::Words<&CDravo::CmdDatLog>},
    {"lg", &CDravo::Words<&CDravo::CmdDatLog>},
    {"dat_meters", &CDravo::Words<&CDravo::CmdDatMeters>},
    {"dat_ocpbuttons", &CDravo::Words<&CDravo::CmdDatOcpButtons>},
    {"ob", &CDravo::Words<&CDravo::CmdDatOcpButtons>},
    {"dat_override", &CDravo::Words<&CDravo::CmdDatOverride>},
    {"ov", &CDravo::Words<&CDravo::CmdDatOverride>},
    {"dat_passthru", &CDravo::Words<&CDravo::CmdDatPassThru>},
    {"pu", &CDravo::Words<&CDravo::CmdDatPassThru>},
    {"dat_statusraw", &CDravo::Words<&CDravo::CmdDatStatusRaw>},
    {"sr", &CDravo::Words<&CDravo::CmdDatStatusRaw>},
    {"dat_twunkidentity", &CDravo::Words<&CDravo::CmdDatTwunkIdentity>},
    {"ti", &CDravo::Words<&CDravo::CmdDatTwunkIdentity>},
    // TWAIN Direct.
    {"dat_twaindirect", &CDravo::Words<&CDravo::CmdDatTwainDirect>},
    {"setexitstatus", &CDravo::DoSetExitStatus},
    // Embedded script commands (makescript, makescriptandexit, dumpscript,
    // runscript).
    {"makescript", &CDravo::DoMakeScript},
    {"makescriptandexit", &CDravo::DoMakeScript},
    {"dumpscript", &CDravo::DoDumpScript},
    {"runscript", &CDravo::DoRunScript},
    {"prompt", &CDravo::DoPrompt},
    {"run", &CDravo::DoRun},
    {"runsilent", &CDravo::DoRun},
    {"rundebug", &CDravo::DoRun},
    {"setenv", &CDravo::DoSetEnv},
    {"system", &CDravo::DoSystem},
    {"edit", &CDravo::Words<&CDravo::CmdEdit>},
    {"view", &CDravo::Words<&CDravo::CmdView>},
    // dump.
    {"dump", &CDravo::Words<&CDravo::CmdDump>},
    {"cd", &CDravo::Words<&CDravo::CmdChangeDirectory>},
    {"pwd", &CDravo::Words<&CDravo::CmdChangeDirectory>},
    {"dir", &CDravo::Words<&CDravo::CmdShowDirectories>},
    {"ls", &CDravo::Words<&CDravo::CmdShowDirectories>},
    {"ll", &CDravo::Words<&CDravo::CmdShowDirectories>},
    // unpackage.
    {"unpackage", &CDravo::DoUnpackage},
    {nullptr, nullptr}};

// ---------------------------------------------------------------------------
// The prompt loop
// ---------------------------------------------------------------------------

int CDravo::Run(int a_iArgc, char **a_aszArgv)
{
    // The first command: the embedded script, else the program arguments.
    std::string szCommand;
    bool blEmbedded = false;
    {
        COsResource osresource;
        if (osresource.Open(OS_RESOURCE_LOCAL, "SCRIPT", 0) == OS_STS_OK)
        {
            blEmbedded = true;
            osresource.Close();
        }
    }
    if (blEmbedded)
    {
        if (g_plog)
            g_plog->ConsoleSet("off");
        szCommand = "runscript script.txt";
        for (int ii = 1; ii < a_iArgc; ii++)
        {
            szCommand += " \"";
            szCommand += a_aszArgv[ii] ? a_aszArgv[ii] : "";
            szCommand += "\"";
        }
    }
    else
    {
        for (int ii = 1; ii < a_iArgc; ii++)
        {
            const char *szArg = a_aszArgv[ii] ? a_aszArgv[ii] : "";
            if (ii > 1)
                szCommand += " ";
            if (strchr(szArg, ' ') || strchr(szArg, '\t'))
                szCommand += std::string("\"") + szArg + "\"";
            else
                szCommand += szArg;
        }
    }
    // The first command lives in a 2,048-byte buffer: a longer one is cut,
    // which keeps it over the line limit, so the interpreter refuses it.
    char szFirst[DRAVO_READSIZE];
    snprintf(szFirst, sizeof(szFirst), "%s", szCommand.c_str());
    if (szFirst[0])
    {
        if (!blEmbedded && g_plog)
        {
            g_plog->Prompt(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "\033[32m%s%d>>>\033[0m ", m_szPrompt,
                           TwState());
            g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s", szFirst);
        }
        ClearEndWords();
        m_blEmbeddedStart = blEmbedded;
        bool blGoOn = Parse(szFirst, nullptr, 0, nullptr);
        m_blEmbeddedStart = false;
        if (!blGoOn)
            return m_u16ExitStatus;
    }

    // The loop: one line per prompt until a line stops it or the input ends.
    for (;;)
    {
        ClearEndWords();
        char szPrompt[64];
        COsString::SStrPrintf(szPrompt, sizeof(szPrompt), "%s%d>>>", m_szPrompt, TwState());
        char szLine[DRAVO_READSIZE] = "";
        EOSSTS eossts;
        if (m_poseditline)
            eossts = m_poseditline->EditLineRead("\033[32m\033[1m", szPrompt, szLine, sizeof(szLine));
        else
        {
            // No console object: the plain read of the console.
            fprintf(stdout, "%s%s\033[0m ", "\033[32m\033[1m", szPrompt);
            fflush(stdout);
            eossts = fgets(szLine, sizeof(szLine), stdin) ? OS_STS_OK : OS_STS_NO_DATA;
        }
        if (eossts == OS_STS_NO_DATA)
        {
            // The end of the input ends the program as "exit" does.
            return m_u16ExitStatus;
        }
        if (eossts == OS_STS_DESTINATION_TOO_SMALL)
        {
            Print("%%%%error, line too long (more than %d characters), ignored...", DRAVO_LINESIZE - 1);
            continue;
        }
        if (eossts != OS_STS_OK)
            return m_u16ExitStatus;
        if (!Parse(szLine, nullptr, 0, nullptr))
            return m_u16ExitStatus;
    }
}

void CDravo::ClearEndWords()
{
    memset(m_ablSkip, 0, sizeof(m_ablSkip));
    memset(m_aszEndWord, 0, sizeof(m_aszEndWord));
}

bool CDravo::InScript() const
{
    return m_iScripts > 0;
}

// ---------------------------------------------------------------------------
// The tokenizer
// ---------------------------------------------------------------------------

int CDravo::Tokenize(const char *a_szLine, char *a_szBuffer, size_t a_sizeBuffer, char **a_aszWords, int a_iMaxWords)
{
    if (!a_aszWords || (a_iMaxWords <= 0))
        return 0;
    for (int ii = 0; ii < a_iMaxWords; ii++)
        a_aszWords[ii] = nullptr;
    if (!a_szLine || !a_szBuffer || (a_sizeBuffer == 0))
        return 0;

    // Quotes are ordinary characters in a TWAIN Direct line (double) and in
    // a line holding a task element (single).
    bool blDoubleOrdinary = strstr(a_szLine, "dat_twaindirect") != nullptr;
    bool blSingleOrdinary = strstr(a_szLine, "<task ") != nullptr;
    bool blDouble = false;
    bool blSingle = false;
    bool blStarted = false;
    size_t uu = 0;
    for (const char *sz = a_szLine; *sz && (uu + 1 < a_sizeBuffer); sz++)
    {
        char c = *sz;
        if (!blStarted)
        {
            if ((c == ' ') || (c == '\t'))
                continue;
            blStarted = true;
        }
        if ((c == '"') && !blDoubleOrdinary && !blSingle)
        {
            blDouble = !blDouble;
            continue;
        }
        if ((c == '\'') && !blSingleOrdinary && !blDouble)
        {
            blSingle = !blSingle;
            continue;
        }
        if ((c == ' ') || (c == '\t'))
        {
            // Inside quotes a blank belongs to the word; outside, every blank
            // or tab is a separator of its own.
            a_szBuffer[uu++] = (blDouble || blSingle) ? ' ' : '\n';
            continue;
        }
        if (c == '\n')
            c = ' ';
        a_szBuffer[uu++] = c;
    }
    a_szBuffer[uu] = '\0';
    if (!blStarted)
        return 0;

    // Split at the separators.
    int iWords = 0;
    char *szWord = a_szBuffer;
    for (;;)
    {
        char *szSep = strchr(szWord, '\n');
        if (szSep)
            *szSep = '\0';
        if (iWords < a_iMaxWords - 1)
            a_aszWords[iWords] = szWord;
        iWords++;
        if (!szSep)
            break;
        szWord = szSep + 1;
    }
    return iWords;
}

// ---------------------------------------------------------------------------
// One line
// ---------------------------------------------------------------------------

bool CDravo::Parse(const char *a_szLine, char *a_szLabel, int a_iLine, int *a_piNextLine)
{
    if (a_szLabel)
        a_szLabel[0] = '\0';
    if (a_piNextLine)
        *a_piNextLine = a_iLine;

    // The line, cut at its first carriage return and then its first line feed.
    const char *szIn = a_szLine ? a_szLine : "";
    size_t lenIn = strcspn(szIn, "\r");
    size_t lenLf = strcspn(szIn, "\n");
    if (lenLf < lenIn)
        lenIn = lenLf;
    bool blTooLong = lenIn >= DRAVO_LINESIZE;
    char szLine[DRAVO_LINESIZE] = "";
    if (!blTooLong)
    {
        memcpy(szLine, szIn, lenIn);
        szLine[lenIn] = '\0';
    }

    if (blTooLong && !m_blDataBlock)
    {
        // An over-long line is refused with a clear message (in a script it
        // stops the script, as any other error does).
        if (!InScript())
        {
            Print("%%%%error, line too long (%d characters, at most %d), ignored...", static_cast<int>(lenIn),
                  DRAVO_LINESIZE - 1);
            return true;
        }
        if (g_plog)
            g_plog->ConsoleSet("on");
        m_u32Errors++;
        PrintSev(ELOGSTS_ERROR, "\033[31m\033[1m%%%%line too long (%d characters, at most %d)\033[0m",
                 static_cast<int>(lenIn), DRAVO_LINESIZE - 1);
        return false;
    }

    // The transcript of the record file: the lines typed at the prompt (a
    // script's own lines are not recorded: replaying the recorded "run"
    // runs them again).
    if (g_plog && !InScript())
        g_plog->Log(__FILE__, __LINE__, true, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s", szLine);

    // Lines of a data block are collected until the closing line.
    if (m_blDataBlock)
    {
        if (!strncasecmp(szLine, "datadatadata", 12))
        {
            m_blDataBlock = false;
            return true;
        }
        if (m_iDataBlockLines < DRAVO_DATALINES)
        {
            COsString::SStrCpy(m_aszDataBlock[m_iDataBlockLines], DRAVO_DATALINESIZE, szLine);
            m_iDataBlockLines++;
        }
        else if (!m_blDataBlockFull)
        {
            m_blDataBlockFull = true;
            Print("%%%%error, the data block holds at most %d lines, further lines are dropped...", DRAVO_DATALINES);
        }
        return true;
    }

    OSLOG_INFO("%s", szLine);

    // The words.
    char szWords[DRAVO_LINESIZE];
    char *aszCmd[DRAVO_WORDS];
    int iWords = Tokenize(szLine, szWords, sizeof(szWords), aszCmd, DRAVO_WORDS);

    // The run arguments of this level.
    const char *aszArgs[DRAVO_RUNARGS];
    bool blEnd = false;
    for (int ii = 0; ii < DRAVO_RUNARGS; ii++)
    {
        if (!blEnd && !aszCmd[ii])
            blEnd = true;
        aszArgs[ii] = blEnd ? nullptr : aszCmd[ii];
    }
    if (m_ptwain)
        m_ptwain->DSSetRunArgs(static_cast<TW_UINT32>(m_iDepth), aszArgs);
    else
        SetRunArgs(m_iDepth, aszArgs);

    // The last command word.
    if (aszCmd[0] && (strlen(aszCmd[0]) < sizeof(m_szLastCommand)))
        COsString::SStrCpy(m_szLastCommand, sizeof(m_szLastCommand), aszCmd[0]);

    DravoLine dravoline;
    dravoline.szLine = szLine;
    dravoline.aszCmd = aszCmd;
    dravoline.szLabel = a_szLabel;
    dravoline.iLine = a_iLine;
    dravoline.piNextLine = a_piNextLine;

    // The end of a block.
    if (m_aszEndWord[m_iDepth] && aszCmd[0] && !strcasecmp(aszCmd[0], m_aszEndWord[m_iDepth]))
        return DoEnd(dravoline);

    // A skipped level: nested blocks are counted so that each "end" closes
    // its own level; every other line is ignored.
    if (m_ablSkip[m_iDepth])
    {
        if (aszCmd[0] && (!strcasecmp(aszCmd[0], "ifdiff") || !strcasecmp(aszCmd[0], "ifstatus") ||
                          !strcasecmp(aszCmd[0], "foreachitem") || !strcasecmp(aszCmd[0], "repeat")))
        {
            if (!OpenLevel("skip", true, 0, 0))
                return !InScript();
        }
        return true;
    }

    // Comments.
    if (!aszCmd[0] || !aszCmd[0][0] || (aszCmd[0][0] == ';') || (aszCmd[0][0] == '!'))
        return true;

    // The start of a data block.
    if (!strcasecmp(aszCmd[0], "datadatadata"))
    {
        memset(m_aszDataBlock, 0, sizeof(m_aszDataBlock));
        m_iDataBlockLines = 0;
        m_blDataBlockFull = false;
        m_blDataBlock = true;
        return true;
    }

    // Labels.
    if (aszCmd[0][strlen(aszCmd[0]) - 1] == ':')
        return true;

    if (iWords >= DRAVO_WORDS)
        Print("%%%%error, too many words (%d), only the first %d are used...", iWords, DRAVO_WORDS - 1);

    for (const DravoCommand *pdravocommand = s_adravocommand; pdravocommand->szWord; pdravocommand++)
    {
        if (!strcasecmp(aszCmd[0], pdravocommand->szWord))
            return (this->*(pdravocommand->pfn))(dravoline);
    }
    return DoUnrecognized(dravoline);
}

// ---------------------------------------------------------------------------
// Commands carried out by the interpreter itself
// ---------------------------------------------------------------------------

bool CDravo::DoColor(DravoLine &a_dravoline)
{
    const char *szWord = a_dravoline.aszCmd[1];
    if (szWord && !strcasecmp(szWord, "on"))
    {
        if (g_plog)
            g_plog->SetColor(true);
    }
    else if (szWord && !strcasecmp(szWord, "off"))
    {
        if (g_plog)
            g_plog->SetColor(false);
    }
    else
        Print("must specify on or off...");
    return true;
}

bool CDravo::DoExit(DravoLine &)
{
    return false;
}

bool CDravo::DoSize(DravoLine &)
{
    Print("TW_INT32=%d TW_UINT32=%d TW_IDENTITY=%d", static_cast<int>(sizeof(TW_INT32)),
          static_cast<int>(sizeof(TW_UINT32)), static_cast<int>(sizeof(TW_IDENTITY)));
    return true;
}

bool CDravo::DoCount(DravoLine &)
{
    static int s_iCount = 0;
    s_iCount++;
    fprintf(stdout, "%d\r", s_iCount);
    fflush(stdout);
    return true;
}

bool CDravo::DoPowerState(DravoLine &a_dravoline)
{
    bool blHibernate = !strcasecmp(a_dravoline.aszCmd[0], "hibernate");
    const char *szSeconds = a_dravoline.aszCmd[1];
    int iSeconds = (szSeconds && szSeconds[0]) ? atoi(szSeconds) : 0;
    COsThread osthread;
    osthread.SetPowerState(blHibernate, iSeconds, false);
    return true;
}

bool CDravo::DoDsmset(DravoLine &a_dravoline)
{
    if (a_dravoline.aszCmd[1] && a_dravoline.aszCmd[1][0])
        CmdDsmset(a_dravoline.aszCmd);
    return true;
}

bool CDravo::DoPrompt(DravoLine &a_dravoline)
{
    const char *szText = a_dravoline.aszCmd[1];
    if (g_plog)
        g_plog->Prompt(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s",
                       szText ? szText : "press enter key to continue...");
    char szAnswer[127] = "";
    if (!fgets(szAnswer, sizeof(szAnswer), stdin))
        return true;
    if (!strchr(szAnswer, '\n'))
    {
        // The rest of a long answer is not a command.
        int iChar = getc(stdin);
        while ((iChar != EOF) && (iChar != '\n'))
            iChar = getc(stdin);
    }
    if ((szAnswer[0] == 'q') || (szAnswer[0] == 'Q') || (szAnswer[0] == 'x') || (szAnswer[0] == 'X'))
        return m_iDepth == 0;
    return true;
}

bool CDravo::DoSetEnv(DravoLine &a_dravoline)
{
    const char *szName = a_dravoline.aszCmd[1];
    if (!szName || !szName[0])
        return true;
    const char *szValue = a_dravoline.aszCmd[2];
    COsCfg::SetEnv(szName, (szValue && szValue[0]) ? szValue : nullptr);
    return true;
}

bool CDravo::DoSystem(DravoLine &a_dravoline)
{
    char **aszCmd = a_dravoline.aszCmd;
    if (!aszCmd[1] || !aszCmd[1][0])
        return true;
    // The program and up to nine more words form the child's argument
    // vector; it is never handed to a command interpreter.
    const char *aszArgv[12] = {};
    int iArgs = 0;
    aszArgv[iArgs++] = aszCmd[1];
    for (int ii = 2; (ii <= 10) && aszCmd[ii] && aszCmd[ii][0]; ii++)
        aszArgv[iArgs++] = aszCmd[ii];
    aszArgv[iArgs] = nullptr;
    COsThread *posthread = nullptr;
    try
    {
        posthread = new COsThread;
        OSLOG_NEW(posthread, "COsThread");
    }
    catch (...)
    {
        posthread = nullptr;
    }
    if (!posthread)
        return true;
    if (posthread->SpawnV(OS_SPAWN_TERMINAL, aszCmd[1], aszArgv) != OS_STS_OK)
        Print("%%%%error, unable to start <%s>...", aszCmd[1]);
    OSLOG_DELETE(posthread);
    delete posthread;
    return true;
}

bool CDravo::DoUnrecognized(DravoLine &a_dravoline)
{
    if (m_iDepth == 0)
    {
        Print("%%%%unrecognized command, enter HELP for list");
        return true;
    }
    if (g_plog)
        g_plog->ConsoleSet("on");
    m_u32Errors++;
    PrintSev(ELOGSTS_ERROR, "\033[31m\033[1m%%%%unrecognized command (%s), enter HELP for list\033[0m",
             a_dravoline.aszCmd[0]);
    return false;
}

// ---------------------------------------------------------------------------
// FindArg: the raw text after the first word
// ---------------------------------------------------------------------------

const char *CDravo::FindArg(const char *a_szLine)
{
    static const char s_szEmpty[] = "";
    if (!a_szLine || !a_szLine[0])
        return s_szEmpty;
    const char *sz = a_szLine;
    while (*sz && isspace(static_cast<unsigned char>(*sz)))
        sz++;
    if (!*sz)
        return s_szEmpty;
    while (*sz && !isspace(static_cast<unsigned char>(*sz)))
        sz++;
    if (!*sz)
        return s_szEmpty;
    while (*sz && isspace(static_cast<unsigned char>(*sz)))
        sz++;
    if (!*sz)
        return s_szEmpty;
    return sz;
}
