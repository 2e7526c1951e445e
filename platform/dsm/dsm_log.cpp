// dsm_log.cpp
//
// The DSM's optional log. When the environment variable TWAINDSM_LOG names a
// file, the DSM appends one line per call to it while at least one
// application has the DSM open; TWAINDSM_LOGMODE beginning with "w" empties
// the file when the log opens. A line is
//   hh:mm:ss.mmm <thread> dsm>>> <text>

#include "dsm_internal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

namespace
{
std::mutex s_mtxLog;
FILE*      s_pfLog = nullptr;

struct DsmName
{
    unsigned int uValue;
    const char*  szName;
};

const DsmName s_adsmnameDat[] = {
    {DAT_NULL, "DAT_NULL"}, {DAT_CAPABILITY, "DAT_CAPABILITY"}, {DAT_EVENT, "DAT_EVENT"},
    {DAT_IDENTITY, "DAT_IDENTITY"}, {DAT_PARENT, "DAT_PARENT"}, {DAT_PENDINGXFERS, "DAT_PENDINGXFERS"},
    {DAT_SETUPMEMXFER, "DAT_SETUPMEMXFER"}, {DAT_SETUPFILEXFER, "DAT_SETUPFILEXFER"},
    {DAT_STATUS, "DAT_STATUS"}, {DAT_USERINTERFACE, "DAT_USERINTERFACE"}, {DAT_XFERGROUP, "DAT_XFERGROUP"},
    {DAT_TWUNKIDENTITY, "DAT_TWUNKIDENTITY"}, {DAT_CUSTOMDSDATA, "DAT_CUSTOMDSDATA"},
    {DAT_DEVICEEVENT, "DAT_DEVICEEVENT"}, {DAT_FILESYSTEM, "DAT_FILESYSTEM"}, {DAT_PASSTHRU, "DAT_PASSTHRU"},
    {DAT_CALLBACK, "DAT_CALLBACK"}, {DAT_STATUSUTF8, "DAT_STATUSUTF8"}, {DAT_CALLBACK2, "DAT_CALLBACK2"},
    {DAT_METRICS, "DAT_METRICS"}, {DAT_TWAINDIRECT, "DAT_TWAINDIRECT"}, {DAT_IMAGEINFO, "DAT_IMAGEINFO"},
    {DAT_IMAGELAYOUT, "DAT_IMAGELAYOUT"}, {DAT_IMAGEMEMXFER, "DAT_IMAGEMEMXFER"},
    {DAT_IMAGENATIVEXFER, "DAT_IMAGENATIVEXFER"}, {DAT_IMAGEFILEXFER, "DAT_IMAGEFILEXFER"},
    {DAT_CIECOLOR, "DAT_CIECOLOR"}, {DAT_GRAYRESPONSE, "DAT_GRAYRESPONSE"}, {DAT_RGBRESPONSE, "DAT_RGBRESPONSE"},
    {DAT_JPEGCOMPRESSION, "DAT_JPEGCOMPRESSION"}, {DAT_PALETTE8, "DAT_PALETTE8"},
    {DAT_EXTIMAGEINFO, "DAT_EXTIMAGEINFO"}, {DAT_FILTER, "DAT_FILTER"}, {DAT_AUDIOFILEXFER, "DAT_AUDIOFILEXFER"},
    {DAT_AUDIOINFO, "DAT_AUDIOINFO"}, {DAT_AUDIONATIVEXFER, "DAT_AUDIONATIVEXFER"},
    {DAT_ICCPROFILE, "DAT_ICCPROFILE"}, {DAT_IMAGEMEMFILEXFER, "DAT_IMAGEMEMFILEXFER"},
    {DAT_ENTRYPOINT, "DAT_ENTRYPOINT"},
};

const DsmName s_adsmnameMsg[] = {
    {MSG_NULL, "MSG_NULL"}, {MSG_GET, "MSG_GET"}, {MSG_GETCURRENT, "MSG_GETCURRENT"},
    {MSG_GETDEFAULT, "MSG_GETDEFAULT"}, {MSG_GETFIRST, "MSG_GETFIRST"}, {MSG_GETNEXT, "MSG_GETNEXT"},
    {MSG_SET, "MSG_SET"}, {MSG_RESET, "MSG_RESET"}, {MSG_QUERYSUPPORT, "MSG_QUERYSUPPORT"},
    {MSG_GETHELP, "MSG_GETHELP"}, {MSG_GETLABEL, "MSG_GETLABEL"}, {MSG_GETLABELENUM, "MSG_GETLABELENUM"},
    {MSG_SETCONSTRAINT, "MSG_SETCONSTRAINT"}, {MSG_XFERREADY, "MSG_XFERREADY"},
    {MSG_CLOSEDSREQ, "MSG_CLOSEDSREQ"}, {MSG_CLOSEDSOK, "MSG_CLOSEDSOK"}, {MSG_DEVICEEVENT, "MSG_DEVICEEVENT"},
    {MSG_CHECKSTATUS, "MSG_CHECKSTATUS"}, {MSG_OPENDSM, "MSG_OPENDSM"}, {MSG_CLOSEDSM, "MSG_CLOSEDSM"},
    {MSG_OPENDS, "MSG_OPENDS"}, {MSG_CLOSEDS, "MSG_CLOSEDS"}, {MSG_USERSELECT, "MSG_USERSELECT"},
    {MSG_DISABLEDS, "MSG_DISABLEDS"}, {MSG_ENABLEDS, "MSG_ENABLEDS"}, {MSG_ENABLEDSUIONLY, "MSG_ENABLEDSUIONLY"},
    {MSG_PROCESSEVENT, "MSG_PROCESSEVENT"}, {MSG_ENDXFER, "MSG_ENDXFER"}, {MSG_STOPFEEDER, "MSG_STOPFEEDER"},
    {MSG_CHANGEDIRECTORY, "MSG_CHANGEDIRECTORY"}, {MSG_CREATEDIRECTORY, "MSG_CREATEDIRECTORY"},
    {MSG_DELETE, "MSG_DELETE"}, {MSG_FORMATMEDIA, "MSG_FORMATMEDIA"}, {MSG_GETCLOSE, "MSG_GETCLOSE"},
    {MSG_GETFIRSTFILE, "MSG_GETFIRSTFILE"}, {MSG_GETINFO, "MSG_GETINFO"}, {MSG_GETNEXTFILE, "MSG_GETNEXTFILE"},
    {MSG_RENAME, "MSG_RENAME"}, {MSG_COPY, "MSG_COPY"},
    {MSG_AUTOMATICCAPTUREDIRECTORY, "MSG_AUTOMATICCAPTUREDIRECTORY"}, {MSG_PASSTHRU, "MSG_PASSTHRU"},
    {MSG_REGISTER_CALLBACK, "MSG_REGISTER_CALLBACK"}, {MSG_INVOKE_CALLBACK, "MSG_INVOKE_CALLBACK"},
    {MSG_RESETALL, "MSG_RESETALL"}, {MSG_SETTASK, "MSG_SETTASK"},
};

const char* FindName(const DsmName* a_pdsmname, size_t a_uCount, unsigned int a_uValue)
{
    for (size_t u = 0; u < a_uCount; ++u)
    {
        if (a_pdsmname[u].uValue == a_uValue)
        {
            return a_pdsmname[u].szName;
        }
    }
    return nullptr;
}

// Writes the time and thread prefix and the text; the caller holds the lock.
void WriteLocked(const char* a_szText)
{
    if (!s_pfLog)
    {
        return;
    }
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmNow;
    time_t tNow = tv.tv_sec;
    localtime_r(&tNow, &tmNow);
    fprintf(s_pfLog, "%02d:%02d:%02d.%03d %6ld dsm>>> %s\n", tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec,
            static_cast<int>(tv.tv_usec / 1000), static_cast<long>(syscall(SYS_gettid)), a_szText);
    fflush(s_pfLog);
}

// Formats a triplet value as its name or as hexadecimal.
void FormatValue(char* a_szOut, size_t a_uSize, const char* a_szName, const char* a_szPrefix, unsigned long a_u)
{
    if (a_szName)
    {
        snprintf(a_szOut, a_uSize, "%s", a_szName);
    }
    else
    {
        snprintf(a_szOut, a_uSize, "%s0x%lx", a_szPrefix, a_u);
    }
}
} // namespace

const char* DsmDgName(TW_UINT32 a_u32Dg)
{
    switch (a_u32Dg)
    {
        case DG_CONTROL: return "DG_CONTROL";
        case DG_IMAGE:   return "DG_IMAGE";
        case DG_AUDIO:   return "DG_AUDIO";
        default:         return nullptr;
    }
}

const char* DsmDatName(TW_UINT16 a_u16Dat)
{
    return FindName(s_adsmnameDat, sizeof(s_adsmnameDat) / sizeof(s_adsmnameDat[0]), a_u16Dat);
}

const char* DsmMsgName(TW_UINT16 a_u16Msg)
{
    return FindName(s_adsmnameMsg, sizeof(s_adsmnameMsg) / sizeof(s_adsmnameMsg[0]), a_u16Msg);
}

void CDsmLog::Start()
{
    std::lock_guard<std::mutex> lock(s_mtxLog);
    if (s_pfLog)
    {
        return;
    }
    const char* szPath = getenv("TWAINDSM_LOG");
    if (!szPath || !szPath[0])
    {
        return;
    }
    const char* szMode = getenv("TWAINDSM_LOGMODE");
    bool blTruncate = szMode && (szMode[0] == 'w' || szMode[0] == 'W');
    s_pfLog = fopen(szPath, blTruncate ? "w" : "a");
    WriteLocked("log opened");
}

void CDsmLog::Stop()
{
    std::lock_guard<std::mutex> lock(s_mtxLog);
    if (s_pfLog)
    {
        WriteLocked("log closed");
        fclose(s_pfLog);
        s_pfLog = nullptr;
    }
}

bool CDsmLog::IsOpen()
{
    std::lock_guard<std::mutex> lock(s_mtxLog);
    return s_pfLog != nullptr;
}

void CDsmLog::Line(const char* a_szFormat, ...)
{
    std::lock_guard<std::mutex> lock(s_mtxLog);
    if (!s_pfLog)
    {
        return;
    }
    char szText[1024];
    va_list args;
    va_start(args, a_szFormat);
    vsnprintf(szText, sizeof(szText), a_szFormat, args);
    va_end(args);
    WriteLocked(szText);
}

void CDsmLog::Call(const TW_IDENTITY* a_ptwOrigin, const TW_IDENTITY* a_ptwDest, TW_UINT32 a_u32Dg,
                   TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_UINT16 a_u16Rc, int a_iCc)
{
    if (!IsOpen())
    {
        return;
    }
    char szDg[32];
    char szDat[32];
    char szMsg[48];
    char szCc[32];
    FormatValue(szDg, sizeof(szDg), DsmDgName(a_u32Dg), "DG_", a_u32Dg);
    FormatValue(szDat, sizeof(szDat), DsmDatName(a_u16Dat), "DAT_", a_u16Dat);
    FormatValue(szMsg, sizeof(szMsg), DsmMsgName(a_u16Msg), "MSG_", a_u16Msg);
    if (a_iCc < 0)
    {
        snprintf(szCc, sizeof(szCc), "(source)");
    }
    else
    {
        snprintf(szCc, sizeof(szCc), "%d", a_iCc);
    }
    // The identities' Ids only: their texts are not trusted here.
    Line("origin=%lu dest=%lu %s/%s/%s rc=%u cc=%s", a_ptwOrigin ? a_ptwOrigin->Id : 0UL,
         a_ptwDest ? a_ptwDest->Id : 0UL, szDg, szDat, szMsg, static_cast<unsigned int>(a_u16Rc), szCc);
}
