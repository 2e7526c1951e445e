// os_coslog.h
// The services log: one per process (g_poslog).
//
// Lines go to a file in the log directory (configuration section 1, tag 12:
// ZAV_LOGDIR, else $HOME/.dravo/log), named after the module's unique name
// ("<uniquename>.log"); when that file cannot be written, to "/tmp/zav.log".
// Never to the console.  The file is opened and closed for every message;
// the first message of a process is preceded by a header block.
//
// Line format (one line per message):
//   "YYYY-MM-DD hh:mm:ss.mmm PID TID FLG file:line message"
// with FLG one of ERR, INF, DEV, FND, AST, MIL, MEM, or the flag in hex.
//
// Errors (flag 1), assertions (64) and milestones (128) are always written;
// every other line only when the debug level is non-zero.  ZAV_DEBUG sets
// the debug level (a number; any other non-empty text means 1).
#ifndef OS_COSLOG_H
#define OS_COSLOG_H

#include "osservices.h"

class COsLogImpl;

class COsLog
{
public:
    COsLog();
    ~COsLog();

    // Write one line.  Returns OS_STS_OK, or OS_STS_FAIL when nothing could
    // be written (callers ignore it).
    EOSSTS Message(const char* a_szFile, int a_iLine, EOSLOGFLAG a_eoslogflag, const char* a_szFormat, ...)
        __attribute__((format(printf, 5, 6)));

    // The debug level (0 when the log has no implementation).
    int GetDebugLevel();
    void SetDebugLevel(int a_iDebugLevel);

    // Where the log file goes.  OsServicesStart sets the directory from the
    // configuration; before that the default directory is used.
    EOSSTS SetLogDirectory(const char* a_szDirectory);
    EOSSTS SetLogName(const char* a_szName);

    // The full path of the log file in use (empty when none was written yet).
    EOSSTS GetLogPath(char* a_szPath, size_t a_u64Size);

private:
    COsLog(const COsLog&) = delete;
    COsLog& operator=(const COsLog&) = delete;
    COsLogImpl* m_poslogimpl;
};

// Convenience: the caller's file and line, and the usual pointer test.
#define OSLOG_ERROR(...) \
    do { if (g_poslog) g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ERROR, __VA_ARGS__); } while (0)
#define OSLOG_ASSERT(...) \
    do { if (g_poslog) g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ASSERT, __VA_ARGS__); } while (0)
#define OSLOG_INFO(...) \
    do { if (g_poslog && g_poslog->GetDebugLevel()) g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, __VA_ARGS__); } while (0)

// The construction and deletion traces of major objects.
#define OSLOG_NEW(a_pointer, a_szClass) \
    do { if (g_poslog && g_poslog->GetDebugLevel()) \
        g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "mem>>> addr:%p  size:%7d  new %s", \
                          static_cast<const void*>(a_pointer), static_cast<int>(sizeof(*(a_pointer))), a_szClass); } while (0)
#define OSLOG_DELETE(a_pointer) \
    do { if (g_poslog && g_poslog->GetDebugLevel()) \
        g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_INFO, "mem>>> addr:%p delete-object", \
                          static_cast<const void*>(a_pointer)); } while (0)

#endif // OS_COSLOG_H
