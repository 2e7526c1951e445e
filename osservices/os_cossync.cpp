// os_cossync.cpp
// Process-private events and mutexes, and the spin lock.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sched.h>

#include "osservices.h"

class COsSyncImpl
{
public:
    EOSSYNCTYPE                 m_eossynctype = OS_SYNCTYPE_MUTEX;
    std::recursive_timed_mutex  m_mutexLock;        // the mutex of OS_SYNCTYPE_MUTEX
    std::mutex                  m_mutexEvent;       // guards the event state
    std::condition_variable     m_condition;
    bool                        m_blSet = false;
    bool                        m_blManualReset = true;
};

COsSync::COsSync(EOSSYNCTYPE a_eossynctype, bool a_blManualReset, bool a_blInitialState) : m_possyncimpl(nullptr)
{
    try
    {
        m_possyncimpl = new COsSyncImpl;
        m_possyncimpl->m_eossynctype = a_eossynctype;
        m_possyncimpl->m_blManualReset = a_blManualReset;
        m_possyncimpl->m_blSet = a_blInitialState;
    }
    catch (...)
    {
        m_possyncimpl = nullptr;
    }
}

COsSync::~COsSync()
{
    delete m_possyncimpl;
    m_possyncimpl = nullptr;
}

EOSSTS COsSync::Lock(uint32_t a_u32Milliseconds)
{
    if (!m_possyncimpl)
    {
        OSLOG_ASSERT("m_possyncimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_possyncimpl->m_eossynctype != OS_SYNCTYPE_MUTEX)
    {
        OSLOG_ASSERT("sync>>> Lock on an object that is no mutex...");
        return OS_STS_BAD_ARGUMENT;
    }
    if (a_u32Milliseconds == OS_TIME_INFINITE)
    {
        m_possyncimpl->m_mutexLock.lock();
        return OS_STS_OK;
    }
    if (m_possyncimpl->m_mutexLock.try_lock_for(std::chrono::milliseconds(a_u32Milliseconds)))
    {
        return OS_STS_OK;
    }
    return OS_STS_TIMEOUT;
}

EOSSTS COsSync::Unlock()
{
    if (!m_possyncimpl)
    {
        OSLOG_ASSERT("m_possyncimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_possyncimpl->m_eossynctype != OS_SYNCTYPE_MUTEX)
    {
        OSLOG_ASSERT("sync>>> Unlock on an object that is no mutex...");
        return OS_STS_BAD_ARGUMENT;
    }
    m_possyncimpl->m_mutexLock.unlock();
    return OS_STS_OK;
}

EOSSTS COsSync::Set()
{
    if (!m_possyncimpl)
    {
        OSLOG_ASSERT("m_possyncimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_possyncimpl->m_eossynctype != OS_SYNCTYPE_EVENT)
    {
        OSLOG_ASSERT("sync>>> Set on an object that is no event...");
        return OS_STS_BAD_ARGUMENT;
    }
    {
        std::lock_guard<std::mutex> lock(m_possyncimpl->m_mutexEvent);
        m_possyncimpl->m_blSet = true;
    }
    m_possyncimpl->m_condition.notify_all();
    return OS_STS_OK;
}

EOSSTS COsSync::Reset()
{
    if (!m_possyncimpl)
    {
        OSLOG_ASSERT("m_possyncimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_possyncimpl->m_eossynctype != OS_SYNCTYPE_EVENT)
    {
        OSLOG_ASSERT("sync>>> Reset on an object that is no event...");
        return OS_STS_BAD_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_possyncimpl->m_mutexEvent);
    m_possyncimpl->m_blSet = false;
    return OS_STS_OK;
}

EOSSTS COsSync::Wait(uint32_t a_u32Milliseconds)
{
    if (!m_possyncimpl)
    {
        OSLOG_ASSERT("m_possyncimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_possyncimpl->m_eossynctype != OS_SYNCTYPE_EVENT)
    {
        OSLOG_ASSERT("sync>>> Wait on an object that is no event...");
        return OS_STS_BAD_ARGUMENT;
    }
    std::unique_lock<std::mutex> lock(m_possyncimpl->m_mutexEvent);
    COsSyncImpl* possyncimpl = m_possyncimpl;
    auto isSet = [possyncimpl] { return possyncimpl->m_blSet; };
    if (a_u32Milliseconds == OS_TIME_INFINITE)
    {
        m_possyncimpl->m_condition.wait(lock, isSet);
    }
    else if (!m_possyncimpl->m_condition.wait_for(lock, std::chrono::milliseconds(a_u32Milliseconds), isSet))
    {
        return OS_STS_TIMEOUT;
    }
    if (!m_possyncimpl->m_blManualReset)
    {
        m_possyncimpl->m_blSet = false;
    }
    return OS_STS_OK;
}

void COsSync::SpinLock(volatile intptr_t* a_piLock)
{
    if (!a_piLock)
    {
        OSLOG_ASSERT("sync>>> SpinLock null pointer...");
        return;
    }
    while (__atomic_exchange_n(a_piLock, static_cast<intptr_t>(1), __ATOMIC_ACQUIRE) != 0)
    {
        while (__atomic_load_n(a_piLock, __ATOMIC_RELAXED) != 0)
        {
            sched_yield();
        }
    }
}

void COsSync::SpinUnlock(volatile intptr_t* a_piLock)
{
    if (!a_piLock)
    {
        OSLOG_ASSERT("sync>>> SpinUnlock null pointer...");
        return;
    }
    __atomic_store_n(a_piLock, static_cast<intptr_t>(0), __ATOMIC_RELEASE);
}
