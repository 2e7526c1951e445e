// clog.cpp
// The test log (CLog) and the test program's variables (CVar).
#include "clog.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <strings.h>

#include "osservices.h"

// The one test log and the one variables object of the process; the
// program's start-up creates them after the shell object.
CLog *g_plog = nullptr;
CVar *g_pvar = nullptr;

namespace
{
// Each Log call builds its line in working buffers of this size.
const size_t s_sizeLogBuffer = 0x30000;

// The working buffer of Log, one per thread (the Data Source's thread logs
// its events too): taken on a thread's first line, kept for the next ones
// and released when the thread ends. Nothing is cleared between lines: each
// line is written from its first byte and ends with its NUL.
struct LogBuffer
{
    char *m_szBuffer = nullptr;
    char *Get()
    {
        if (!m_szBuffer)
            m_szBuffer = static_cast<char *>(malloc(s_sizeLogBuffer));
        return m_szBuffer;
    }
    ~LogBuffer()
    {
        free(m_szBuffer);
    }
};
thread_local LogBuffer s_tlslogbuffer;

// The marker in front of a transcript line in the capture area.
const char s_szTranscriptMarker[] = "tw>>> ";

bool IsOn(const char *a_sz)
{
    return a_sz && !strcasecmp(a_sz, "on");
}
bool IsOff(const char *a_sz)
{
    return a_sz && !strcasecmp(a_sz, "off");
}

// Brings one captured or expected line to the form in which two runs of
// the same commands agree:
// - a prompt prefix "tw" + TWAIN state + ">>>" loses its state number (the
//   record file holds "tw>>> command", a replay prints "tw3>>> command");
// - the script name in a severity prefix "DRAVO.xxx(name):" is dropped (a
//   recording made at the prompt has no script name, its replay has one).
void NormalizeLine(const char *a_szLine, char *a_szOut, size_t a_sizeOut)
{
    const char *sz = a_szLine;
    a_szOut[0] = '\0';
    if (!strncasecmp(sz, "tw", 2))
    {
        const char *szDigits = sz + 2;
        while (isdigit((unsigned char)*szDigits))
            szDigits++;
        if (!strncmp(szDigits, ">>>", 3))
        {
            snprintf(a_szOut, a_sizeOut, "tw%s", szDigits);
            return;
        }
    }
    static const char *const s_aszPrefix[] = {"DRAVO.INFO(", "DRAVO.WARNING(", "DRAVO.ERROR("};
    for (const char *szPrefix : s_aszPrefix)
    {
        size_t len = strlen(szPrefix);
        if (!strncasecmp(sz, szPrefix, len))
        {
            const char *szEnd = strstr(sz + len, "):");
            if (szEnd)
            {
                snprintf(a_szOut, a_sizeOut, "%.*s%s", (int)len, sz, szEnd);
                return;
            }
        }
    }
    snprintf(a_szOut, a_sizeOut, "%s", sz);
}
// True when a captured line and an expected line agree (any letter case,
// once normalized). Two lines that both fill the whole width were cut: they
// agree when the shorter normalized one begins the other (a replay's prompt
// carries a state digit and its prefixes a script name, so its text is cut
// a few characters earlier than the recording's).
bool SameLine(const char *a_szGot, const char *a_szExpected)
{
    char szGot[CLOG_DATALINESIZE];
    char szExpected[CLOG_DATALINESIZE];
    NormalizeLine(a_szGot, szGot, sizeof(szGot));
    NormalizeLine(a_szExpected, szExpected, sizeof(szExpected));
    if (!strcasecmp(szGot, szExpected))
        return true;
    const size_t lenFull = CLOG_DATALINESIZE - 1;
    if ((strnlen(a_szGot, CLOG_DATALINESIZE) != lenFull) || (strnlen(a_szExpected, CLOG_DATALINESIZE) != lenFull))
        return false;
    return !strncasecmp(szGot, szExpected, std::min(strlen(szGot), strlen(szExpected)));
}
} // namespace

// The implementation of the test log.
class CLogImpl
{
public:
    // The two switches are read by event lines on the Data Source's thread.
    std::atomic<bool> m_blDataSave{false}; // capture plain lines
    std::atomic<bool> m_blConsole{true};   // echo plain lines to the console
    bool m_blColorOff = false;      // set by SetColor; the console shows no escapes
    int m_iDataCount = 0;           // capture lines used
    char m_aszData[CLOG_DATALINES][CLOG_DATALINESIZE]; // zero: see operator new
    COsFile *m_posfileRecord = nullptr; // the open record file, owned
    COsFile *m_posfileConsole = nullptr; // the shell's console, not owned
    bool m_blDataFull = false;      // lines were dropped: the area was full
    bool m_blRecordFailed = false;  // the record file could not be written
    // The DSM's event callback logs from the Data Source's thread: the
    // capture area, the record file and the console are shared with the
    // main thread, so every use of them holds this lock.
    std::recursive_mutex m_mutex;

    // The object comes from zero-filled memory, so the megabyte of the
    // capture area is not written (nor its pages touched) at start-up.
    static void *operator new(size_t a_size)
    {
        void *pv = calloc(1, a_size);
        if (!pv)
            throw std::bad_alloc();
        return pv;
    }
    static void operator delete(void *a_pv)
    {
        free(a_pv);
    }

    // A record file still open when the log goes away is closed as it
    // stands: its transcript is kept, it gets no data block (only "log
    // record off" writes one).
    ~CLogImpl()
    {
        if (m_posfileRecord)
        {
            m_posfileRecord->Close();
            OSLOG_DELETE(m_posfileRecord);
            delete m_posfileRecord;
            m_posfileRecord = nullptr;
        }
    }

    // Stores one capture line: a_szPrefix and the text, cut to the width of
    // the line when longer.
    void Capture(const char *a_szPrefix, const char *a_szText, size_t a_sizeText)
    {
        if (m_iDataCount >= CLOG_DATALINES)
        {
            if (!m_blDataFull)
            {
                fprintf(stderr, "data capture is full (%d lines), further lines are not captured...\r\n", CLOG_DATALINES);
                fflush(stderr);
            }
            m_blDataFull = true;
            return;
        }
        char *szLine = m_aszData[m_iDataCount++];
        size_t lenPrefix = strlen(a_szPrefix); // shorter than a line
        size_t lenText = std::min(a_sizeText, CLOG_DATALINESIZE - 1 - lenPrefix);
        memcpy(szLine, a_szPrefix, lenPrefix);
        memcpy(szLine + lenPrefix, a_szText, lenText);
        szLine[lenPrefix + lenText] = '\0';
    }

    void ClearData()
    {
        memset(m_aszData, 0, sizeof(m_aszData));
        m_iDataCount = 0;
        m_blDataFull = false;
    }

    // Writes to the record file. A file that cannot be written (a full
    // disk) is reported once and not written any further: the lines after a
    // lost one would make a record that no longer replays.
    void WriteRecord(const char *a_szText)
    {
        if (!m_posfileRecord || m_blRecordFailed)
            return;
        size_t len = strlen(a_szText);
        uint64_t u64Written = 0;
        if ((m_posfileRecord->Write(a_szText, len, &u64Written) != OS_STS_OK) || (u64Written != len))
        {
            m_blRecordFailed = true;
            fprintf(stderr, "unable to write record file, the recording is incomplete...\r\n");
            fflush(stderr);
        }
    }
};

// ---------------------------------------------------------------------------
// CLog
// ---------------------------------------------------------------------------

CLog::CLog(COsFile *a_poseditline) : m_plogimpl(nullptr)
{
    try
    {
        m_plogimpl = new CLogImpl;
        m_plogimpl->m_posfileConsole = a_poseditline;
        OSLOG_NEW(m_plogimpl, "CLogImpl");
    }
    catch (...)
    {
        m_plogimpl = nullptr;
    }
}

CLog::~CLog()
{
    if (m_plogimpl)
    {
        OSLOG_DELETE(m_plogimpl);
        delete m_plogimpl;
        m_plogimpl = nullptr;
    }
}

void CLog::Log(const char *a_szFile, int a_iLine, bool a_blRecord, ELOGSTS a_elogsts, int a_iCodePage,
               const char *a_szFormat, ...)
{
    (void)a_iCodePage;
    if (!m_plogimpl || !a_szFormat)
        return;

    // A transcript line with no record file open leaves no trace at all.
    if (a_blRecord && !m_plogimpl->m_posfileRecord)
        return;

    char *szLine = s_tlslogbuffer.Get();
    if (!szLine)
        return;

    // The prefix for the severity.
    const char *szScript = "";
    if ((a_elogsts == ELOGSTS_INFO) || (a_elogsts == ELOGSTS_WARNING) || (a_elogsts == ELOGSTS_ERROR))
    {
        const char *sz = g_pvar ? g_pvar->Get("ScriptName", true) : nullptr;
        szScript = sz ? sz : "";
    }
    szLine[0] = '\0';
    switch (a_elogsts)
    {
    case ELOGSTS_INFO:
        COsString::SStrPrintf(szLine, s_sizeLogBuffer, "DRAVO.INFO(%s):    ", szScript);
        break;
    case ELOGSTS_WARNING:
        COsString::SStrPrintf(szLine, s_sizeLogBuffer, "DRAVO.WARNING(%s): ", szScript);
        break;
    case ELOGSTS_ERROR:
        COsString::SStrPrintf(szLine, s_sizeLogBuffer, "DRAVO.ERROR(%s):   ", szScript);
        break;
    default:
        break;
    }

    // The caller's text behind the prefix (cut when it does not fit), then
    // CR LF.  From here on the line is plain text, never a format.
    size_t lenPrefix = strlen(szLine);
    va_list valist;
    va_start(valist, a_szFormat);
    COsString::SStrVPrintf(szLine + lenPrefix, s_sizeLogBuffer - lenPrefix, a_szFormat, valist);
    va_end(valist);
    size_t lenText = lenPrefix + strlen(szLine + lenPrefix);
    if (lenText + 2 >= s_sizeLogBuffer - 1)
        lenText = s_sizeLogBuffer - 4; // the cut text makes room for the line end
    memcpy(szLine + lenText, "\r\n", 3);

    std::lock_guard<std::recursive_mutex> lock(m_plogimpl->m_mutex);
    if (a_blRecord)
    {
        // The command transcript: the record file and the capture area.
        const char *szRecord = szLine;
        if (strcasestr(szLine, "log record off"))
        {
            szRecord = "log data off\r\n";
            lenText = strlen(szRecord) - 2;
        }
        m_plogimpl->WriteRecord(szRecord);
        m_plogimpl->Capture(s_szTranscriptMarker, szRecord, lenText);
    }
    else
    {
        if (m_plogimpl->m_blConsole)
            Print(szLine);
        if (m_plogimpl->m_blDataSave)
            m_plogimpl->Capture("", szLine, lenText);
        // Warnings and errors reach the services log at every debug level.
        if (g_poslog && (a_elogsts != ELOGSTS_PLAIN))
        {
            bool blAlways = (a_elogsts == ELOGSTS_WARNING) || (a_elogsts == ELOGSTS_ERROR);
            g_poslog->Message(a_szFile ? a_szFile : __FILE__, a_iLine, blAlways ? OS_LOGFLAG_ERROR : OS_LOGFLAG_INFO,
                              "%s", szLine);
        }
        else if (g_poslog && g_poslog->GetDebugLevel())
            g_poslog->Message(a_szFile ? a_szFile : __FILE__, a_iLine, OS_LOGFLAG_INFO, "%s", szLine);
    }
}

void CLog::Prompt(const char *a_szFile, int a_iLine, bool a_blRecord, ELOGSTS a_elogsts, int a_iCodePage,
                  const char *a_szFormat, ...)
{
    (void)a_blRecord;
    (void)a_elogsts;
    (void)a_iCodePage;
    if (!a_szFormat)
        return;
    char szText[512] = "";
    va_list valist;
    va_start(valist, a_szFormat);
    COsString::SStrVPrintf(szText, sizeof(szText), a_szFormat, valist);
    va_end(valist);
    Print(szText);
    if (g_poslog && g_poslog->GetDebugLevel())
        g_poslog->Message(a_szFile ? a_szFile : __FILE__, a_iLine, OS_LOGFLAG_INFO, "%s", szText);
}

void CLog::Print(const char *a_szText)
{
    if (!a_szText)
        return;
    if (m_plogimpl && m_plogimpl->m_posfileConsole)
    {
        m_plogimpl->m_posfileConsole->EditLineDisplay(a_szText);
        return;
    }
    // No console object: write to standard output directly.
    fputs(a_szText, stdout);
    fflush(stdout);
}

void CLog::ConsoleSet(const char *a_szOnOff)
{
    if (!m_plogimpl)
        return;
    if (IsOn(a_szOnOff))
        m_plogimpl->m_blConsole = true;
    else if (IsOff(a_szOnOff))
        m_plogimpl->m_blConsole = false;
    else
    {
        fprintf(stderr, "must specify on or off...\r\n");
        fflush(stderr);
    }
}

const char *CLog::ConsoleGet()
{
    return (m_plogimpl && !m_plogimpl->m_blConsole) ? "off" : "on";
}

void CLog::SetColor(bool a_blColor)
{
    if (!m_plogimpl)
        return;
    m_plogimpl->m_blColorOff = !a_blColor;
    // The console drops the escapes of every text it shows (lines, prompts)
    // while the colour is off; the record file and the capture keep them.
    if (m_plogimpl->m_posfileConsole)
        m_plogimpl->m_posfileConsole->EditLineColor(a_blColor);
}

void CLog::DataSet(const char *a_szOnOff)
{
    if (!m_plogimpl)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_plogimpl->m_mutex);
    if (IsOn(a_szOnOff))
    {
        m_plogimpl->ClearData();
        m_plogimpl->m_blDataSave = true;
    }
    else if (IsOff(a_szOnOff))
        m_plogimpl->m_blDataSave = false;
    else
    {
        fprintf(stderr, "must specify on or off...\r\n");
        fflush(stderr);
    }
}

void CLog::RecordSet(const char *a_szOnOff, const char *a_szFile)
{
    if (!m_plogimpl)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_plogimpl->m_mutex);
    if (IsOn(a_szOnOff))
    {
        if (!a_szFile || !a_szFile[0])
        {
            fprintf(stderr, "must specify a filename...\r\n");
            fflush(stderr);
            return;
        }
        if (m_plogimpl->m_posfileRecord)
        {
            fprintf(stderr, "recording is already on...\r\n");
            fflush(stderr);
            return;
        }
        char szPath[512] = "";
        COsString::SStrCpy(szPath, sizeof(szPath), a_szFile);
        if (szPath[0] && !strstr(szPath, ".txt") && !strstr(szPath, ".twain"))
        {
            if (!COsString::SStrCat(szPath, sizeof(szPath), ".txt"))
                szPath[0] = '\0';
        }
        COsFile *posfile = nullptr;
        try
        {
            posfile = new COsFile;
            OSLOG_NEW(posfile, "COsFile");
        }
        catch (...)
        {
            posfile = nullptr;
        }
        if (!posfile || !szPath[0] ||
            posfile->Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE) != OS_STS_OK)
        {
            fprintf(stderr, "unable to create file...\r\n");
            fflush(stderr);
            if (posfile)
            {
                OSLOG_DELETE(posfile);
                delete posfile;
            }
            return;
        }
        m_plogimpl->m_posfileRecord = posfile;
        m_plogimpl->m_blRecordFailed = false;
        // A recording starts a fresh capture: its data block holds only the
        // lines of this recording.
        m_plogimpl->ClearData();
        m_plogimpl->m_blDataSave = true;
        m_plogimpl->WriteRecord("log data on\r\n");
    }
    else if (IsOff(a_szOnOff))
    {
        if (!m_plogimpl->m_posfileRecord)
        {
            fprintf(stderr, "record isn't running...\r\n");
            fflush(stderr);
            return;
        }
        m_plogimpl->m_blDataSave = false;
        m_plogimpl->WriteRecord("log compare\r\n");
        m_plogimpl->WriteRecord("datadatadata\r\n");
        for (int ii = 0; (ii < m_plogimpl->m_iDataCount) && (ii < CLOG_DATALINES); ii++)
        {
            m_plogimpl->WriteRecord(m_plogimpl->m_aszData[ii]);
            m_plogimpl->WriteRecord("\r\n");
        }
        m_plogimpl->WriteRecord("datadatadata\r\n");
        m_plogimpl->m_posfileRecord->Close();
        OSLOG_DELETE(m_plogimpl->m_posfileRecord);
        delete m_plogimpl->m_posfileRecord;
        m_plogimpl->m_posfileRecord = nullptr;
    }
    else
    {
        fprintf(stderr, "must specify on or off...\r\n");
        fflush(stderr);
    }
}

int CLog::DataCompare(const char a_aszExpected[][CLOG_DATALINESIZE], int a_iExpected)
{
    if (!m_plogimpl)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(m_plogimpl->m_mutex);
    if (!a_aszExpected || (a_iExpected <= 0))
    {
        Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Fail: there is no expected data to compare with...");
        return 0;
    }
    if (a_iExpected > CLOG_DATALINES)
        a_iExpected = CLOG_DATALINES;

    int iCaptured = m_plogimpl->m_iDataCount;
    int iCommon = (iCaptured < a_iExpected) ? iCaptured : a_iExpected;
    int ii;
    for (ii = 0; ii < iCommon; ii++)
    {
        if (!SameLine(m_plogimpl->m_aszData[ii], a_aszExpected[ii]))
            break;
    }
    if ((ii == iCommon) && (iCaptured == a_iExpected))
    {
        if (!m_plogimpl->m_blDataFull)
            return -1;
        Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE,
            "Fail: more lines were produced than the capture area holds (%d)...", CLOG_DATALINES);
        return iCaptured;
    }

    // The first difference, or the first line that only one side has.
    Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Fail at line %d", ii);
    Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Got:      <%s>",
        (ii < iCaptured) ? m_plogimpl->m_aszData[ii] : "");
    Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Expected: <%s>",
        (ii < a_iExpected) ? a_aszExpected[ii] : "");
    return ii;
}

void CLog::Status()
{
    bool blConsole = m_plogimpl ? m_plogimpl->m_blConsole.load() : false;
    bool blData = m_plogimpl ? m_plogimpl->m_blDataSave.load() : false;
    bool blRecord = m_plogimpl ? (m_plogimpl->m_posfileRecord != nullptr) : false;
    fprintf(stderr, "Console output is %s...\r\n", blConsole ? "on" : "off");
    fprintf(stderr, "Data save is %s...\r\n", blData ? "on" : "off");
    fprintf(stderr, "Recording is %s...\r\n", blRecord ? "on" : "off");
    fflush(stderr);
}

int CLog::DataCount()
{
    if (!m_plogimpl)
        return 0;
    return (m_plogimpl->m_iDataCount < CLOG_DATALINES) ? m_plogimpl->m_iDataCount : CLOG_DATALINES;
}

const char *CLog::DataLine(int a_iIndex)
{
    if (!m_plogimpl || (a_iIndex < 0) || (a_iIndex >= DataCount()))
        return nullptr;
    return m_plogimpl->m_aszData[a_iIndex];
}

// ---------------------------------------------------------------------------
// CVar
// ---------------------------------------------------------------------------

namespace
{
// Copies a value into a variable: one that does not fit is said to be too
// long (a_szName names it) and leaves the variable as it was.
bool VarCopy(char *a_szVar, size_t a_sizeVar, const char *a_szName, const char *a_szValue)
{
    if (strlen(a_szValue) >= a_sizeVar)
    {
        if (g_plog)
            g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE,
                        "%s is too long (at most %d characters)...<%s>", a_szName, static_cast<int>(a_sizeVar - 1),
                        a_szValue);
        return false;
    }
    memcpy(a_szVar, a_szValue, strlen(a_szValue) + 1);
    return true;
}

// The shell's own configuration section and its first three tags.
const int s_iSectionDsIdentity = 1001;
const int s_iTagInitLanguage = 1001;
const int s_iTagInitProductName = 1002;
const int s_iTagInitProtocolVersion = 1003;
} // namespace

CVar::CVar()
{
    memset(m_szLanguage, 0, sizeof(m_szLanguage));
    memset(m_szProductName, 0, sizeof(m_szProductName));
    memset(m_szProtocolVersion, 0, sizeof(m_szProtocolVersion));
    memset(m_szScriptName, 0, sizeof(m_szScriptName));
    memset(m_szAutoDatStatus, 0, sizeof(m_szAutoDatStatus));
    if (g_poscfg)
    {
        const char *sz = g_poscfg->Get(s_iSectionDsIdentity, s_iTagInitLanguage);
        if (sz)
            VarCopy(m_szLanguage, sizeof(m_szLanguage), "InitLanguage", sz);
        sz = g_poscfg->Get(s_iSectionDsIdentity, s_iTagInitProductName);
        if (sz)
            VarCopy(m_szProductName, sizeof(m_szProductName), "InitProductName", sz);
        sz = g_poscfg->Get(s_iSectionDsIdentity, s_iTagInitProtocolVersion);
        if (sz)
            VarCopy(m_szProtocolVersion, sizeof(m_szProtocolVersion), "InitProtocolVersion", sz);
    }
    COsString::SStrCpy(m_szAutoDatStatus, sizeof(m_szAutoDatStatus), "true");
}

CVar::~CVar()
{
}

int CVar::Set(const char *a_szKey, const char *a_szValue)
{
    if (!a_szKey)
        return 1;
    if (!a_szValue)
        a_szValue = "";
    char *szVar = nullptr;
    size_t sizeVar = 0;
    if (!strcasecmp(a_szKey, "ScriptName"))
    {
        szVar = m_szScriptName;
        sizeVar = sizeof(m_szScriptName);
    }
    else if (!strcasecmp(a_szKey, "AutoDatStatus"))
    {
        szVar = m_szAutoDatStatus;
        sizeVar = sizeof(m_szAutoDatStatus);
    }
    else if (!strcasecmp(a_szKey, "Language"))
    {
        szVar = m_szLanguage;
        sizeVar = sizeof(m_szLanguage);
    }
    else if (!strcasecmp(a_szKey, "ProductName"))
    {
        szVar = m_szProductName;
        sizeVar = sizeof(m_szProductName);
    }
    else if (!strcasecmp(a_szKey, "ProtocolVersion"))
    {
        szVar = m_szProtocolVersion;
        sizeVar = sizeof(m_szProtocolVersion);
    }
    else
        return 1;
    // A value that does not fit leaves the old text.
    return VarCopy(szVar, sizeVar, a_szKey, a_szValue) ? 0 : 1;
}

const char *CVar::Get(const char *a_szKey, bool a_blComplain)
{
    if (a_szKey)
    {
        if (!strcasecmp(a_szKey, "ScriptName"))
            return m_szScriptName;
        if (!strcasecmp(a_szKey, "AutoDatStatus"))
            return m_szAutoDatStatus;
        if (!strcasecmp(a_szKey, "Language"))
            return m_szLanguage;
        if (!strcasecmp(a_szKey, "ProductName"))
            return m_szProductName;
        if (!strcasecmp(a_szKey, "ProtocolVersion"))
            return m_szProtocolVersion;
    }
    if (a_blComplain)
        OSLOG_ASSERT("Bad key...<%s>", a_szKey ? a_szKey : "(null)");
    return nullptr;
}

void CVar::Disp(const char *a_szKey)
{
    if (!g_plog)
        return;
    bool blAll = !a_szKey || !a_szKey[0];
    bool blFound = false;
    struct
    {
        const char *szKey;
        const char *szValue;
    } avar[] = {{"Language", m_szLanguage},
                {"ProductName", m_szProductName},
                {"ProtocolVersion", m_szProtocolVersion},
                {"ScriptName", m_szScriptName},
                {"AutoDatStatus", m_szAutoDatStatus}};
    for (const auto &var : avar)
    {
        if (blAll || !strcasecmp(a_szKey, var.szKey))
        {
            g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%s=%s", var.szKey, var.szValue);
            blFound = true;
        }
    }
    if (!blFound)
        g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Value not found <%s>...", a_szKey);
}
