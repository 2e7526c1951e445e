// os_costhread.h
// One worker thread and one child process.
#ifndef OS_COSTHREAD_H
#define OS_COSTHREAD_H

#include "osservices.h"

// A thread body: a plain function taking its context pointer.
typedef void (*OsThreadLaunchpad)(void* a_pvContext);

// Spawn flags.
enum : uint32_t
{
    OS_SPAWN_TERMINAL = 4   // run the program inside "/usr/bin/gnome-terminal" "-x"
};

class COsThreadImpl;

class COsThread
{
public:
    COsThread();    // no thread is started by construction
    ~COsThread();   // waits for a running thread

    // Start the thread (one at a time per object).  a_szName is a label.
    EOSSTS ThreadStart(OsThreadLaunchpad a_pfnLaunchpad, void* a_pvContext, const char* a_szName = nullptr);

    // Wait for the thread: 0 when it ended (or none was started),
    // OS_STS_TIMEOUT after a_iMilliseconds (-1 waits without limit).
    EOSSTS ThreadWait(int a_iMilliseconds);

    // The object's own event: set it for a non-zero value, reset it for 0.
    EOSSTS SetEvent(int a_iValue);
    // Wait for the event: 0 when set, OS_STS_TIMEOUT (-1 waits for ever).
    EOSSTS WaitEvent(int a_iMilliseconds);

    // Start a child process (never through a shell).  The arguments after
    // the program form its argument vector (the first usually repeats the
    // program); an empty or null text ends the list, so the call must end
    // with a null.  With OS_SPAWN_TERMINAL the program runs inside
    // "/usr/bin/gnome-terminal" "-x".  Returns 0 when started, 1 when the
    // program is missing or cannot be started.  The caller need not wait:
    // a child still running when the object goes is reaped in the background.
    EOSSTS Spawn(uint32_t a_u32Flags, const char* a_szProgram, const char* a_szArg0, ...)
        __attribute__((sentinel));
    // The same with a null-terminated argument vector.
    EOSSTS SpawnV(uint32_t a_u32Flags, const char* a_szProgram, const char* const* a_aszArgv);
    // Wait for the spawned child: 0 when it ended (exit code stored when
    // a_piExitCode is given; 128 + signal when killed), OS_STS_TIMEOUT,
    // OS_STS_NOT_FOUND when there is no child.
    EOSSTS SpawnWait(int a_iMilliseconds, int* a_piExitCode);

    // Standby (hibernate false) or suspend to disk (true), with a wake-up
    // after a_iSeconds ("rtcwake -m standby|disk -s N"), then sleep two
    // seconds.  Returns 0.
    EOSSTS SetPowerState(bool a_blHibernate, int a_iSeconds, bool a_blFlag);

private:
    COsThread(const COsThread&) = delete;
    COsThread& operator=(const COsThread&) = delete;
    COsThreadImpl* m_posthreadimpl;
};

#endif // OS_COSTHREAD_H
