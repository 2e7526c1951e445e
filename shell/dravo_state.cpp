// dravo_state.cpp
// The commands that carry script state: messages and their counters, the
// tally, the timer stack, the variables and the exit status.
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
} // namespace

// ---------------------------------------------------------------------------
// Exit status
// ---------------------------------------------------------------------------

bool CDravo::DoSetExitStatus(DravoLine &a_dravoline)
{
    const char *szName = a_dravoline.aszCmd[1];
    if (Present(szName))
    {
        m_u16ExitStatus = LookupStatus(szName);
        return true;
    }
    // The codes ifstatus would test now: with a TWAIN object its own last
    // codes (those of the last command's triplet), not the copy that only
    // ifstatus and return refresh.
    if (m_ptwain)
        m_ptwain->DSReturn(nullptr, &m_u16LastRc, &m_u16LastCc);
    if ((m_u16LastRc == 1) && (m_u16LastCc != 0))
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

