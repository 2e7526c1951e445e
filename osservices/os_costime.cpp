// os_costime.cpp
// Time services.
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "osservices.h"

void COsTime::Sleep(int a_iMilliseconds, const char* a_szFile, int a_iLine)
{
    (void)a_szFile;
    (void)a_iLine;
    if (a_iMilliseconds < 0)
    {
        return;
    }
    struct timespec timespecWait;
    if (a_iMilliseconds == 0)
    {
        timespecWait.tv_sec = 0;
        timespecWait.tv_nsec = 1000;
    }
    else
    {
        timespecWait.tv_sec = a_iMilliseconds / 1000;
        timespecWait.tv_nsec = static_cast<long>(a_iMilliseconds % 1000) * 1000000L;
    }
    struct timespec timespecLeft;
    while ((nanosleep(&timespecWait, &timespecLeft) != 0) && (errno == EINTR))
    {
        timespecWait = timespecLeft;
    }
}

EOSSTS COsTime::GetTimeStamp(char* a_szTimeStamp, size_t a_u64Size)
{
    if (!a_szTimeStamp || (a_u64Size == 0))
    {
        return OS_STS_BAD_ARGUMENT;
    }
    struct timespec timespecNow;
    clock_gettime(CLOCK_REALTIME, &timespecNow);
    struct tm tmNow;
    localtime_r(&timespecNow.tv_sec, &tmNow);
    int iLen = snprintf(a_szTimeStamp, a_u64Size, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tmNow.tm_year + 1900,
                        tmNow.tm_mon + 1, tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec,
                        static_cast<int>(timespecNow.tv_nsec / 1000000L));
    if ((iLen < 0) || (static_cast<size_t>(iLen) >= a_u64Size))
    {
        a_szTimeStamp[0] = '\0';
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    return OS_STS_OK;
}

uint64_t OsTimeGetPerformanceTick(void)
{
    struct timespec timespecNow;
    clock_gettime(CLOCK_MONOTONIC, &timespecNow);
    return (static_cast<uint64_t>(timespecNow.tv_sec) * 1000000000ULL) + static_cast<uint64_t>(timespecNow.tv_nsec);
}

uint64_t OsTimeGetPerformanceResolution(void)
{
    return 1000000000ULL;
}

double OsTimeGetPerformanceDiff(uint64_t a_u64Tick)
{
    uint64_t u64Now = OsTimeGetPerformanceTick();
    if (u64Now <= a_u64Tick)
    {
        return 0.0;
    }
    return static_cast<double>(u64Now - a_u64Tick) / static_cast<double>(OsTimeGetPerformanceResolution());
}
