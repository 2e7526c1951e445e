// os_cossync.h
// Process-private events and mutexes, and the static spin lock.
#ifndef OS_COSSYNC_H
#define OS_COSSYNC_H

#include "osservices.h"

enum EOSSYNCTYPE
{
    OS_SYNCTYPE_EVENT = 1,  // an event: Set, Reset, Wait
    OS_SYNCTYPE_MUTEX = 2   // a recursive mutex: Lock, Unlock
};

class COsSyncImpl;

class COsSync
{
public:
    // An event (manual or automatic reset, initially set or not) or a mutex
    // (the two flags are ignored).
    explicit COsSync(EOSSYNCTYPE a_eossynctype = OS_SYNCTYPE_MUTEX,
                     bool a_blManualReset = true, bool a_blInitialState = false);
    ~COsSync();

    // Mutex: take it (0), or OS_STS_TIMEOUT after a_u32Milliseconds
    // (OS_TIME_INFINITE waits for ever).  Unlock releases it.
    EOSSTS Lock(uint32_t a_u32Milliseconds = OS_TIME_INFINITE);
    EOSSTS Unlock();

    // Event: set it, reset it, wait until it is set (0) or the time-out
    // passes (OS_STS_TIMEOUT).  An automatic-reset event is reset by the
    // wait that sees it set.
    EOSSTS Set();
    EOSSTS Reset();
    EOSSTS Wait(uint32_t a_u32Milliseconds = OS_TIME_INFINITE);

    // Spin on a pointer-sized word: 0 is free, 1 is taken.
    static void SpinLock(volatile intptr_t* a_piLock);
    static void SpinUnlock(volatile intptr_t* a_piLock);

private:
    COsSync(const COsSync&) = delete;
    COsSync& operator=(const COsSync&) = delete;
    COsSyncImpl* m_possyncimpl;
};

#endif // OS_COSSYNC_H
