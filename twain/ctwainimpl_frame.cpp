// ctwainimpl_frame.cpp
// The pieces every data argument handler shares: the open-source guard, the
// message-word match, the misuse lines and the "%s/%s" status line of a
// refused triplet.
#include "ctwainimpl.h"

#include <cstdarg>
#include <cstdio>
#include <strings.h>

bool CTwainImpl::DatGuard()
{
    if (m_twidentityDs.Id != 0)
        return true;
    if (g_poslog)
        g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ERROR, "We don't have a valid ID for the DS...");
    Refuse(TWCC_SEQERROR);
    return false;
}

bool CTwainImpl::DatWord(const char *a_szWord, const char *a_szFull, const char *a_szShort)
{
    if (!a_szWord)
        return false;
    if (a_szFull && !strcasecmp(a_szWord, a_szFull))
        return true;
    return a_szShort && !strcasecmp(a_szWord, a_szShort);
}

const char *CTwainImpl::DatArg(const char *const *a_aszWords, int a_iIndex)
{
    if (!a_aszWords)
        return nullptr;
    for (int ii = 0; ii < a_iIndex; ii++)
    {
        if (!a_aszWords[ii])
            return nullptr;
    }
    return a_aszWords[a_iIndex];
}

bool CTwainImpl::DatWordMissing(const char *a_szWord)
{
    return !a_szWord || !a_szWord[0];
}

TW_UINT16 CTwainImpl::DatUnrecognized(const char *a_szWord)
{
    TWAINLOG("%s", "");
    TWAINLOG("*** unrecognized command %s ***", a_szWord ? a_szWord : "");
    return TWRC_FAILURE;
}

// One usage line, after an empty line when asked; returns TWRC_FAILURE.
static TW_UINT16 DatUsageLine(bool a_blBlankFirst, const char *a_szFormat, va_list a_valist)
{
    char szLine[1024];
    vsnprintf(szLine, sizeof(szLine), a_szFormat, a_valist);
    if (a_blBlankFirst)
    {
        TWAINLOG("%s", "");
    }
    TWAINLOG("%s", szLine);
    return TWRC_FAILURE;
}

TW_UINT16 CTwainImpl::DatMisuse(const char *a_szFormat, ...)
{
    va_list valist;
    va_start(valist, a_szFormat);
    TW_UINT16 twrc = DatUsageLine(true, a_szFormat, valist);
    va_end(valist);
    return twrc;
}

TW_UINT16 CTwainImpl::DatUsage(const char *a_szFormat, ...)
{
    va_list valist;
    va_start(valist, a_szFormat);
    TW_UINT16 twrc = DatUsageLine(false, a_szFormat, valist);
    va_end(valist);
    return twrc;
}

TW_UINT16 CTwainImpl::DatPrintStatus(TW_UINT16 a_twrc, ETWRECORD a_etwrecord)
{
    char szTwrc[64];
    char szTwcc[64];
    GetStatusStrings(a_twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true, a_etwrecord);
    TWAINLOG("%s/%s", szTwrc, szTwcc);
    return a_twrc;
}
