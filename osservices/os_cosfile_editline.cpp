// os_cosfile_editline.cpp
// Console line editing: libedit, loaded at run time when standard input is
// a terminal, else plain reads with fgets.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <unistd.h>

#include "osservices.h"
#include "os_cosfile_impl.h"

// The few values of libedit's interface this source uses.
#define OSEDIT_EL_EDITOR        2
#define OSEDIT_EL_SIGNAL        3
#define OSEDIT_EL_HIST          10
#define OSEDIT_EL_PROMPT_ESC    21
#define OSEDIT_H_SETSIZE        1
#define OSEDIT_H_ENTER          10
#define OSEDIT_H_SETUNIQUE      20
#define OSEDIT_HISTORYSIZE      800
#define OSEDIT_PROMPTMARK       '\1'    // brackets the prompt's escape sequences

struct OsEditHistEvent
{
    int         iNum;
    const char* szStr;
};

typedef void*       (*OsEditElInit)(const char* a_szProgram, FILE* a_pfileIn, FILE* a_pfileOut, FILE* a_pfileErr);
typedef void        (*OsEditElEnd)(void* a_pvEditLine);
typedef int         (*OsEditElSet)(void* a_pvEditLine, int a_iOp, ...);
typedef const char* (*OsEditElGets)(void* a_pvEditLine, int* a_piCount);
typedef void*       (*OsEditHistoryInit)(void);
typedef void        (*OsEditHistoryEnd)(void* a_pvHistory);
typedef int         (*OsEditHistory)(void* a_pvHistory, OsEditHistEvent* a_phistevent, int a_iOp, ...);

// The library, loaded once per process and shared by the consoles.
struct OsEditLibrary
{
    std::mutex          mutex;
    int                 iUsers = 0;
    void*               pvTermcap = nullptr;
    void*               pvLibedit = nullptr;
    OsEditElInit        pfnElInit = nullptr;
    OsEditElEnd         pfnElEnd = nullptr;
    OsEditElSet         pfnElSet = nullptr;
    OsEditElGets        pfnElGets = nullptr;
    OsEditHistoryInit   pfnHistoryInit = nullptr;
    OsEditHistoryEnd    pfnHistoryEnd = nullptr;
    OsEditHistory       pfnHistory = nullptr;
};
static OsEditLibrary s_oseditlibrary;

// The prompt libedit shows (one console per process).
static char s_szEditPrompt[1024];

// Writes a text to standard output without its ANSI escape sequences: a
// control sequence (ESC '[', its parameter and intermediate bytes and one
// final byte, as the colours are written) or ESC and the one byte after it.
static void OsEditWritePlain(const char* a_szText)
{
    const char* sz = a_szText;
    for (const char* szEsc = strchr(sz, '\033'); szEsc; szEsc = strchr(sz, '\033'))
    {
        fwrite(sz, 1, static_cast<size_t>(szEsc - sz), stdout);
        sz = szEsc + 1;
        if (*sz == '[')
        {
            sz++;
            while ((*sz >= 0x20) && (*sz <= 0x3F))
            {
                sz++;
            }
            if ((*sz >= 0x40) && (*sz <= 0x7E))
            {
                sz++;
            }
        }
        else if (*sz)
        {
            sz++;
        }
    }
    fputs(sz, stdout);
}

static char* OsEditPrompt(void* a_pvEditLine)
{
    (void)a_pvEditLine;
    return s_szEditPrompt;
}

static void OsEditUnloadLocked()
{
    if (s_oseditlibrary.pvLibedit)
    {
        dlclose(s_oseditlibrary.pvLibedit);
    }
    if (s_oseditlibrary.pvTermcap)
    {
        dlclose(s_oseditlibrary.pvTermcap);
    }
    s_oseditlibrary.pvLibedit = nullptr;
    s_oseditlibrary.pvTermcap = nullptr;
    s_oseditlibrary.pfnElInit = nullptr;
    s_oseditlibrary.pfnElEnd = nullptr;
    s_oseditlibrary.pfnElSet = nullptr;
    s_oseditlibrary.pfnElGets = nullptr;
    s_oseditlibrary.pfnHistoryInit = nullptr;
    s_oseditlibrary.pfnHistoryEnd = nullptr;
    s_oseditlibrary.pfnHistory = nullptr;
}

// Load libedit (after the terminal-capability library, opened only so that
// libedit's terminal functions resolve).  True when every entry was found.
static bool OsEditLoad()
{
    std::lock_guard<std::mutex> lock(s_oseditlibrary.mutex);
    if (!s_oseditlibrary.pvLibedit)
    {
        s_oseditlibrary.pvTermcap = dlopen("libtermcap.so", RTLD_NOW | RTLD_GLOBAL);
        s_oseditlibrary.pvLibedit = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!s_oseditlibrary.pvLibedit)
        {
            s_oseditlibrary.pvLibedit = dlopen("libedit.so", RTLD_NOW | RTLD_LOCAL);
        }
        if (!s_oseditlibrary.pvLibedit)
        {
            OSLOG_INFO("file>>> libedit is not available, lines are read plainly");
            OsEditUnloadLocked();
            return false;
        }
        void* pvLib = s_oseditlibrary.pvLibedit;
        s_oseditlibrary.pfnElInit = reinterpret_cast<OsEditElInit>(dlsym(pvLib, "el_init"));
        s_oseditlibrary.pfnElEnd = reinterpret_cast<OsEditElEnd>(dlsym(pvLib, "el_end"));
        s_oseditlibrary.pfnElSet = reinterpret_cast<OsEditElSet>(dlsym(pvLib, "el_set"));
        s_oseditlibrary.pfnElGets = reinterpret_cast<OsEditElGets>(dlsym(pvLib, "el_gets"));
        s_oseditlibrary.pfnHistoryInit = reinterpret_cast<OsEditHistoryInit>(dlsym(pvLib, "history_init"));
        s_oseditlibrary.pfnHistoryEnd = reinterpret_cast<OsEditHistoryEnd>(dlsym(pvLib, "history_end"));
        s_oseditlibrary.pfnHistory = reinterpret_cast<OsEditHistory>(dlsym(pvLib, "history"));
        if (!s_oseditlibrary.pfnElInit || !s_oseditlibrary.pfnElEnd || !s_oseditlibrary.pfnElSet || !s_oseditlibrary.pfnElGets ||
            !s_oseditlibrary.pfnHistoryInit || !s_oseditlibrary.pfnHistoryEnd || !s_oseditlibrary.pfnHistory)
        {
            OSLOG_ERROR("file>>> libedit lacks an entry point, lines are read plainly");
            OsEditUnloadLocked();
            return false;
        }
    }
    s_oseditlibrary.iUsers++;
    return true;
}

static void OsEditRelease()
{
    std::lock_guard<std::mutex> lock(s_oseditlibrary.mutex);
    if (s_oseditlibrary.iUsers > 0)
    {
        s_oseditlibrary.iUsers--;
    }
}

void OsFileShutdown(void)
{
    std::lock_guard<std::mutex> lock(s_oseditlibrary.mutex);
    if (s_oseditlibrary.iUsers == 0)
    {
        OsEditUnloadLocked();
    }
}

EOSSTS COsFile::EditLineInit()
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posfileimpl->m_pvEditLine)
    {
        return OS_STS_OK;
    }
    // Line editing only at a terminal: piped input is read plainly, so that
    // runs are deterministic.
    if (!isatty(STDIN_FILENO) || !OsEditLoad())
    {
        return OS_STS_OK;
    }
    void* pvEditLine = s_oseditlibrary.pfnElInit("dravo", stdin, stdout, stderr);
    void* pvHistory = s_oseditlibrary.pfnHistoryInit();
    if (!pvEditLine || !pvHistory)
    {
        if (pvEditLine)
        {
            s_oseditlibrary.pfnElEnd(pvEditLine);
        }
        if (pvHistory)
        {
            s_oseditlibrary.pfnHistoryEnd(pvHistory);
        }
        OsEditRelease();
        OSLOG_ERROR("file>>> libedit could not be initialised, lines are read plainly");
        return OS_STS_OK;
    }
    OsEditHistEvent histevent;
    s_oseditlibrary.pfnHistory(pvHistory, &histevent, OSEDIT_H_SETSIZE, OSEDIT_HISTORYSIZE);
    s_oseditlibrary.pfnHistory(pvHistory, &histevent, OSEDIT_H_SETUNIQUE, 1);
    s_oseditlibrary.pfnElSet(pvEditLine, OSEDIT_EL_PROMPT_ESC, OsEditPrompt, OSEDIT_PROMPTMARK);
    s_oseditlibrary.pfnElSet(pvEditLine, OSEDIT_EL_EDITOR, "emacs");
    s_oseditlibrary.pfnElSet(pvEditLine, OSEDIT_EL_SIGNAL, 1);
    s_oseditlibrary.pfnElSet(pvEditLine, OSEDIT_EL_HIST, s_oseditlibrary.pfnHistory, pvHistory);
    m_posfileimpl->m_pvEditLine = pvEditLine;
    m_posfileimpl->m_pvHistory = pvHistory;
    return OS_STS_OK;
}

EOSSTS COsFile::EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer, size_t a_u64Size)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szBuffer || (a_u64Size < 2))
    {
        OSLOG_ASSERT("file>>> EditLineRead bad buffer...%p %u", static_cast<void*>(a_szBuffer), static_cast<unsigned>(a_u64Size));
        return OS_STS_BAD_ARGUMENT;
    }
    memset(a_szBuffer, 0, a_u64Size);
    bool blPlain = m_posfileimpl->m_blEditLinePlain.load(std::memory_order_relaxed);
    const char* szColor = (a_szColor && !blPlain) ? a_szColor : "";
    const char* szReset = blPlain ? "" : "\033[0m";
    const char* szPrompt = a_szPrompt ? a_szPrompt : "";

    if (m_posfileimpl->m_pvEditLine)
    {
        snprintf(s_szEditPrompt, sizeof(s_szEditPrompt), "%c%s%c%s%c%s%c ", OSEDIT_PROMPTMARK, szColor, OSEDIT_PROMPTMARK,
                 szPrompt, OSEDIT_PROMPTMARK, szReset, OSEDIT_PROMPTMARK);
        int iCount = 0;
        const char* szLine = s_oseditlibrary.pfnElGets(m_posfileimpl->m_pvEditLine, &iCount);
        if (!szLine || (iCount <= 0))
        {
            return OS_STS_NO_DATA;
        }
        size_t u64Len = strlen(szLine);
        if (u64Len >= a_u64Size)
        {
            OSLOG_ERROR("file>>> EditLineRead: line of %u characters refused (at most %u)", static_cast<unsigned>(u64Len),
                        static_cast<unsigned>(a_u64Size - 1));
            return OS_STS_DESTINATION_TOO_SMALL;
        }
        memcpy(a_szBuffer, szLine, u64Len + 1);
        if (u64Len > 1)
        {
            OsEditHistEvent histevent;
            s_oseditlibrary.pfnHistory(m_posfileimpl->m_pvHistory, &histevent, OSEDIT_H_ENTER, a_szBuffer);
        }
        return OS_STS_OK;
    }

    // Plain reads.
    printf("%s%s%s ", szColor, szPrompt, szReset);
    fflush(stdout);
    if (!fgets(a_szBuffer, static_cast<int>(std::min<size_t>(a_u64Size, 0x7FFFFFFF)), stdin))
    {
        a_szBuffer[0] = '\0';
        return OS_STS_NO_DATA;
    }
    // The buffer was zeroed before the read, so a line feed anywhere in it
    // ends this line, also when the line holds a NUL byte.
    if (memchr(a_szBuffer, '\n', a_u64Size - 1))
    {
        return OS_STS_OK;
    }
    int iChar = getc(stdin);
    if ((iChar == EOF) || (iChar == '\n'))
    {
        return OS_STS_OK;   // the last line without its line feed, or a line that filled the buffer exactly
    }
    // Too long: drop the rest of the line and the part read.
    while ((iChar != EOF) && (iChar != '\n'))
    {
        iChar = getc(stdin);
    }
    memset(a_szBuffer, 0, a_u64Size);
    OSLOG_ERROR("file>>> EditLineRead: line longer than %u characters refused", static_cast<unsigned>(a_u64Size - 1));
    return OS_STS_DESTINATION_TOO_SMALL;
}

EOSSTS COsFile::EditLineDisplay(const char* a_szText)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szText)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_blEditLinePlain.load(std::memory_order_relaxed))
        OsEditWritePlain(a_szText);
    else
        fputs(a_szText, stdout);
    fflush(stdout);
    return OS_STS_OK;
}

void COsFile::EditLineColor(bool a_blColor)
{
    if (m_posfileimpl)
    {
        m_posfileimpl->m_blEditLinePlain.store(!a_blColor, std::memory_order_relaxed);
    }
}

EOSSTS COsFile::EditLineCleanup()
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posfileimpl->m_pvEditLine)
    {
        s_oseditlibrary.pfnElEnd(m_posfileimpl->m_pvEditLine);
        s_oseditlibrary.pfnHistoryEnd(m_posfileimpl->m_pvHistory);
        m_posfileimpl->m_pvEditLine = nullptr;
        m_posfileimpl->m_pvHistory = nullptr;
        OsEditRelease();
    }
    return OS_STS_OK;
}
