// dravo.cpp
// Start-up and shutdown of the test program, the module globals by which the
// services layer recognises this module as the application, and the shell
// object's construction and destruction.
#include "dravo.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "clog.h"
#include "ctwain.h"
#include "osservices.h"

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// The process-wide service objects (filled by OsServicesStart), and the
// module description, locator and mark of the application (services log
// "dravo").
OSSERVICES_APPLICATION_GLOBALS("dravo");

// The one shell object.
CDravo *g_pdravo = nullptr;

namespace
{
// The shell's own configuration section "dsIdentity" (id 1001) and its tags.
const int s_iSectionDsIdentity = 1001;
OsCfgName s_aoscfgnameSection[] = {{"dsIdentity", s_iSectionDsIdentity}, {nullptr, 1000}};
OsCfgName s_aoscfgnameTag[] = {{"InitLanguage", 1001},   {"InitProductName", 1002}, {"InitProtocolVersion", 1003},
                               {"ForceBoldAlt", 1004},   {"ForceReadline", 1005},   {"ForcePrefix", 1006},
                               {nullptr, 1000}};
// Values: (sections + 1) rows of (tags + 1) text pointers, indexed by
// (section id - 1000) and (tag id - 1000).
const char *s_aszCfgData[2][7] = {};

// The banner's date.
const char *const s_aszMonth[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char s_szVersion[] = "2.5";
const char s_szDay[] = "31";
const char s_szMonthNumber[] = "03";
const char s_szYear[] = "2016";
} // namespace

void DravoOsServicesStart()
{
    s_aszCfgData[1][1] = "TWLG_ENGLISH_USA"; // InitLanguage
    s_aszCfgData[1][2] = "";                 // InitProductName
    s_aszCfgData[1][3] = "1.9";              // InitProtocolVersion
    s_aszCfgData[1][4] = "0";                // ForceBoldAlt
    s_aszCfgData[1][5] = "1";                // ForceReadline
    s_aszCfgData[1][6] = "1";                // ForcePrefix
    char szArguments[256] = "";
    COsString::SStrPrintf(szArguments, sizeof(szArguments),
                          "<arguments>\n\t<cfgsectionptr>%p</cfgsectionptr>\n\t<cfgtagptr>%p</cfgtagptr>\n\t<cfgdataptr>%p</cfgdataptr>\n</arguments>",
                          static_cast<void *>(s_aoscfgnameSection), static_cast<void *>(s_aoscfgnameTag),
                          static_cast<void *>(s_aszCfgData));
    OsServicesStart(szArguments);
}

int DravoMain(int a_iArgc, char **a_aszArgv)
{
    int iStatus = 0;

    // The terminal title.
    static const char s_szTitle[] = "\033]2;Dravo (64-bit,0)\007";
    fwrite(s_szTitle, 1, sizeof(s_szTitle) - 1, stderr);
    fflush(stderr);

    DravoOsServicesStart();

    try
    {
        g_pdravo = new CDravo;
        OSLOG_NEW(g_pdravo, "CDravo");
    }
    catch (...)
    {
        g_pdravo = nullptr;
    }
    if (!g_pdravo)
    {
        // Nothing can run without the shell: say so and fail.
        fputs("Couldn't start Dravo...", stdout);
        fflush(stdout);
        OsServicesStop();
        return 1;
    }

    try
    {
        g_plog = new CLog(g_pdravo->GetEditLine());
        OSLOG_NEW(g_plog, "CLog");
    }
    catch (...)
    {
        g_plog = nullptr;
    }
    try
    {
        g_pvar = new CVar;
        OSLOG_NEW(g_pvar, "CVar");
    }
    catch (...)
    {
        g_pvar = nullptr;
    }

    if (g_plog)
    {
        int iMonth = atoi(s_szMonthNumber);
        const char *szMonth = ((iMonth >= 1) && (iMonth <= 12)) ? s_aszMonth[iMonth - 1] : "???";
        const char *szWidth = (COsCfg::InfoGetLong(OS_CFGINFO_CPU_PROCESSBITS, 0) == 32) ? "32-bit" : "64-bit";
        g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Dravo v%s %s-%s-%s (%s)", s_szVersion,
                    s_szDay, szMonth, s_szYear, szWidth);
    }

    iStatus = g_pdravo->Run(a_iArgc, a_aszArgv);

    OSLOG_DELETE(g_pdravo);
    delete g_pdravo;
    g_pdravo = nullptr;
    if (g_pvar)
    {
        OSLOG_DELETE(g_pvar);
        delete g_pvar;
        g_pvar = nullptr;
    }
    if (g_plog)
    {
        OSLOG_DELETE(g_plog);
        delete g_plog;
        g_plog = nullptr;
    }

    OsServicesStop();
    return iStatus & 0xFFFF;
}

// ---------------------------------------------------------------------------
// CDravo: construction and destruction
// ---------------------------------------------------------------------------

CDravo::CDravo()
    : m_ptwain(nullptr), m_blDataBlock(false), m_iDataBlockLines(0), m_iDepth(0), m_u16LastRc(0), m_u16LastCc(0),
      m_u32TimerDepth(0), m_u32Errors(0), m_u32Warnings(0), m_u16ExitStatus(0), m_poseditline(nullptr), m_iScripts(0),
      m_blDataBlockFull(false), m_blEmbeddedStart(false)
{
    // The data block and the run-argument records (1.3 MB) are zero
    // already: the object comes from CDravo::operator new.
    memset(m_aptwain, 0, sizeof(m_aptwain));
    memset(m_szPrompt, 0, sizeof(m_szPrompt));
    memset(m_ablSkip, 0, sizeof(m_ablSkip));
    memset(m_aszEndWord, 0, sizeof(m_aszEndWord));
    memset(m_aszBlockKind, 0, sizeof(m_aszBlockKind));
    memset(m_aiRepeatCount, 0, sizeof(m_aiRepeatCount));
    memset(m_aiLoopLine, 0, sizeof(m_aiLoopLine));
    memset(m_szLastCommand, 0, sizeof(m_szLastCommand));
    memset(m_adravotimer, 0, sizeof(m_adravotimer));

    try
    {
        m_poseditline = new COsFile;
        OSLOG_NEW(m_poseditline, "COsFile");
    }
    catch (...)
    {
        m_poseditline = nullptr;
    }
    if (m_poseditline)
        m_poseditline->EditLineInit();

    SetPrompt("tw");
}

void *CDravo::operator new(size_t a_size)
{
    void *pv = calloc(1, a_size);
    if (!pv)
        throw std::bad_alloc();
    return pv;
}

void CDravo::operator delete(void *a_pv)
{
    free(a_pv);
}

CDravo::~CDravo()
{
    for (int ii = 0; ii < DRAVO_TWAINSLOTS; ii++)
    {
        if (m_aptwain[ii])
        {
            m_aptwain[ii]->DSClose(nullptr);
            m_aptwain[ii]->DSMClose();
            OSLOG_DELETE(m_aptwain[ii]);
            delete m_aptwain[ii];
            m_aptwain[ii] = nullptr;
        }
    }
    m_ptwain = nullptr;
    if (m_poseditline)
    {
        m_poseditline->EditLineCleanup();
        OSLOG_DELETE(m_poseditline);
        delete m_poseditline;
        m_poseditline = nullptr;
    }
}

void CDravo::SetPrompt(const char *a_szPrompt)
{
    if (!a_szPrompt)
    {
        m_szPrompt[0] = '\0';
        return;
    }
    COsString::SStrCpy(m_szPrompt, sizeof(m_szPrompt), a_szPrompt);
}

COsFile *CDravo::GetEditLine()
{
    return m_poseditline;
}

// ---------------------------------------------------------------------------
// Small helpers shared by the shell's sources
// ---------------------------------------------------------------------------

int CDravo::TwState()
{
    return m_ptwain ? static_cast<int>(m_ptwain->GetTwState()) : 0;
}

void CDravo::Print(const char *a_szFormat, ...)
{
    if (!g_plog)
        return;
    char szText[8192 + 512];
    va_list valist;
    va_start(valist, a_szFormat);
    vsnprintf(szText, sizeof(szText), a_szFormat, valist);
    va_end(valist);
    g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s", szText);
}

void CDravo::PrintSev(int a_iSeverity, const char *a_szFormat, ...)
{
    if (!g_plog)
        return;
    char szText[8192 + 512];
    va_list valist;
    va_start(valist, a_szFormat);
    vsnprintf(szText, sizeof(szText), a_szFormat, valist);
    va_end(valist);
    g_plog->Log(__FILE__, __LINE__, false, static_cast<ELOGSTS>(a_iSeverity), CLOG_CODEPAGE, "%s", szText);
}
