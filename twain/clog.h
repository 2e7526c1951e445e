// clog.h
// The test log and the test program's variables.
//
// CLog is the one path by which the test program writes what a tester sees:
// it echoes each line to the console, can capture the lines of a run in
// memory, writes the record file (a replayable script that carries its own
// expected result) and compares captured lines with expected ones.
//
// CVar holds the five variables of the test program (Language, ProductName,
// ProtocolVersion, ScriptName, AutoDatStatus).
//
// One of each exists per process: g_plog and g_pvar, created by the
// program's start-up after the shell object.
#ifndef DRAVO_CLOG_H
#define DRAVO_CLOG_H

class COsFile;
class CLogImpl;

// Severity of one log line: it chooses the prefix of the line and whether
// the line is copied to the services log.
enum ELOGSTS
{
    ELOGSTS_PLAIN = 1,       // no prefix; services log only at a non-zero debug level
    ELOGSTS_INFO = 2,        // "DRAVO.INFO(%s):    "
    ELOGSTS_INFONOFILE = 3,  // no prefix; always copied to the services log
    ELOGSTS_WARNING = 4,     // "DRAVO.WARNING(%s): "
    ELOGSTS_ERROR = 5        // "DRAVO.ERROR(%s):   "
};

// Size of the capture area and of one captured or expected line.
#define CLOG_DATALINES 4096
#define CLOG_DATALINESIZE 256

// The code page every caller passes (it is not used).
#define CLOG_CODEPAGE 1252

class CLog
{
public:
    // a_poseditline: the shell's console (not owned; may be null, then
    // nothing is shown on the console).
    explicit CLog(COsFile *a_poseditline);
    ~CLog();

    // Writes one line: prefix for the severity, the formatted text, CR LF.
    // With a_blRecord set the line is the command transcript and goes only
    // to the record file and the capture area (and nowhere when no record
    // file is open).
    void Log(const char *a_szFile, int a_iLine, bool a_blRecord, ELOGSTS a_elogsts, int a_iCodePage,
             const char *a_szFormat, ...) __attribute__((format(printf, 7, 8)));

    // Shows a formatted text on the console as it is (no line end, not
    // captured, not recorded).
    void Prompt(const char *a_szFile, int a_iLine, bool a_blRecord, ELOGSTS a_elogsts, int a_iCodePage,
                const char *a_szFormat, ...) __attribute__((format(printf, 7, 8)));

    // Shows a text on the console unchanged.
    void Print(const char *a_szText);

    // Console echo switch: "on" or "off"; ConsoleGet answers "on" or "off".
    void ConsoleSet(const char *a_szOnOff);
    const char *ConsoleGet();

    // Colour switch (true for on): while it is off the console shows no ANSI
    // escape sequences (lines and the prompt); the record file, the capture
    // and the services log keep them.
    void SetColor(bool a_blColor);

    // Data capture: "on" empties the capture area and starts capturing,
    // "off" stops and keeps the captured lines.
    void DataSet(const char *a_szOnOff);

    // Record file: "on" with a file name starts it, "off" finishes it.
    void RecordSet(const char *a_szOnOff, const char *a_szFile);

    // Compares the captured lines with a_iExpected expected lines; returns
    // -1 when they agree, else the 0-based index of the first difference
    // (after printing it).
    int DataCompare(const char a_aszExpected[][CLOG_DATALINESIZE], int a_iExpected);

    // Writes the three switches to standard error.
    void Status();

    // Read access to the capture area (for the shell and the tests).
    int DataCount();
    const char *DataLine(int a_iIndex);

private:
    CLog(const CLog &) = delete;
    CLog &operator=(const CLog &) = delete;
    CLogImpl *m_plogimpl;
};

class CVar
{
public:
    CVar();
    ~CVar();

    // Copies a value into the variable named by the key (any letter case);
    // 0 for a known key (also when the value did not fit), 1 otherwise.
    int Set(const char *a_szKey, const char *a_szValue);

    // The variable's text, read in place, or null for an unknown key
    // (with a_blComplain an unknown key is reported to the services log).
    const char *Get(const char *a_szKey, bool a_blComplain);

    // Prints all variables (null or empty key) or the one named.
    void Disp(const char *a_szKey);

private:
    char m_szLanguage[64];
    char m_szProductName[32];
    char m_szProtocolVersion[16];
    char m_szScriptName[128];
    char m_szAutoDatStatus[16];
};

extern CLog *g_plog;
extern CVar *g_pvar;

#endif // DRAVO_CLOG_H
