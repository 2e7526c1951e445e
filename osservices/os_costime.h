// os_costime.h
// Time services.
#ifndef OS_COSTIME_H
#define OS_COSTIME_H

#include "osservices.h"

class COsTime
{
public:
    // Suspend the calling thread for a_iMilliseconds; 0 sleeps one
    // microsecond; a negative value returns at once.
    static void Sleep(int a_iMilliseconds, const char* a_szFile, int a_iLine);

    // The local time stamp "YYYY-MM-DD hh:mm:ss.mmm" (24 bytes are enough).
    static EOSSTS GetTimeStamp(char* a_szTimeStamp, size_t a_u64Size);

private:
    COsTime() = delete;
};

// Sleep with the caller's file and line.
#define OS_SLEEP(a_iMilliseconds) COsTime::Sleep((a_iMilliseconds), __FILE__, __LINE__)

// The system's monotonic clock as a count of nanoseconds.
uint64_t OsTimeGetPerformanceTick(void);
// Ticks per second (1,000,000,000).
uint64_t OsTimeGetPerformanceResolution(void);
// Seconds elapsed since a tick.
double OsTimeGetPerformanceDiff(uint64_t a_u64Tick);

#endif // OS_COSTIME_H
