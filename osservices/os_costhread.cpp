// os_costhread.cpp
// One worker thread and one child process per object.
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "osservices.h"

extern char** environ;

#define OSTHREAD_TERMINAL "/usr/bin/gnome-terminal"

class COsThreadImpl
{
public:
    std::thread             m_thread;
    std::mutex              m_mutex;
    std::condition_variable m_condition;
    bool                    m_blRunning = false;    // a thread was started and not yet joined
    bool                    m_blFinished = false;   // its body returned
    bool                    m_blEvent = false;      // the object's own event
    pid_t                   m_pidChild = 0;         // the spawned child not yet reaped

    EOSSTS Join(int a_iMilliseconds);
    void ReapChildInBackground();
};

EOSSTS COsThreadImpl::Join(int a_iMilliseconds)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_blRunning)
        {
            return OS_STS_OK;
        }
        COsThreadImpl* posthreadimpl = this;
        auto isFinished = [posthreadimpl] { return posthreadimpl->m_blFinished; };
        if (a_iMilliseconds < 0)
        {
            m_condition.wait(lock, isFinished);
        }
        else if (!m_condition.wait_for(lock, std::chrono::milliseconds(a_iMilliseconds), isFinished))
        {
            return OS_STS_TIMEOUT;
        }
    }
    if (m_thread.joinable())
    {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blRunning = false;
    return OS_STS_OK;
}

void COsThreadImpl::ReapChildInBackground()
{
    if (m_pidChild <= 0)
    {
        return;
    }
    pid_t pid = m_pidChild;
    m_pidChild = 0;
    if (waitpid(pid, nullptr, WNOHANG) == pid)
    {
        return;
    }
    try
    {
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    }
    catch (...)
    {
        OSLOG_ERROR("thr>>> could not start the reaper of child %d", static_cast<int>(pid));
    }
}

COsThread::COsThread() : m_posthreadimpl(nullptr)
{
    try
    {
        m_posthreadimpl = new COsThreadImpl;
    }
    catch (...)
    {
        m_posthreadimpl = nullptr;
    }
}

COsThread::~COsThread()
{
    if (!m_posthreadimpl)
    {
        return;
    }
    m_posthreadimpl->Join(-1);
    m_posthreadimpl->ReapChildInBackground();
    delete m_posthreadimpl;
    m_posthreadimpl = nullptr;
}

EOSSTS COsThread::ThreadStart(OsThreadLaunchpad a_pfnLaunchpad, void* a_pvContext, const char* a_szName)
{
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_pfnLaunchpad)
    {
        OSLOG_ASSERT("thr>>> a_pfnLaunchpad is null...");
        return OS_STS_BAD_ARGUMENT;
    }
    {
        std::lock_guard<std::mutex> lock(m_posthreadimpl->m_mutex);
        if (m_posthreadimpl->m_blRunning && !m_posthreadimpl->m_blFinished)
        {
            OSLOG_ERROR("thr>>> ThreadStart: a thread is already running...%s", a_szName ? a_szName : "");
            return OS_STS_IN_USE;
        }
    }
    m_posthreadimpl->Join(-1);      // collect a finished one
    std::string szName = a_szName ? a_szName : "";
    COsThreadImpl* posthreadimpl = m_posthreadimpl;
    {
        std::lock_guard<std::mutex> lock(m_posthreadimpl->m_mutex);
        m_posthreadimpl->m_blRunning = true;
        m_posthreadimpl->m_blFinished = false;
    }
    try
    {
        m_posthreadimpl->m_thread = std::thread([posthreadimpl, a_pfnLaunchpad, a_pvContext, szName] {
            if (!szName.empty())
            {
                pthread_setname_np(pthread_self(), szName.substr(0, 15).c_str());
            }
            a_pfnLaunchpad(a_pvContext);
            {
                std::lock_guard<std::mutex> lock(posthreadimpl->m_mutex);
                posthreadimpl->m_blFinished = true;
            }
            posthreadimpl->m_condition.notify_all();
        });
    }
    catch (...)
    {
        std::lock_guard<std::mutex> lock(m_posthreadimpl->m_mutex);
        m_posthreadimpl->m_blRunning = false;
        OSLOG_ERROR("thr>>> ThreadStart failed...%s", szName.c_str());
        return OS_STS_FAIL;
    }
    OSLOG_INFO("thr>>> started thread %s", szName.c_str());
    return OS_STS_OK;
}

EOSSTS COsThread::ThreadWait(int a_iMilliseconds)
{
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    return m_posthreadimpl->Join(a_iMilliseconds);
}

EOSSTS COsThread::SetEvent(int a_iValue)
{
    if (!m_posthreadimpl)
    {
        if (g_poslog)
        {
            g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ERROR, "m_posthreadimpl is null...");
        }
        return OS_STS_FAIL;
    }
    {
        std::lock_guard<std::mutex> lock(m_posthreadimpl->m_mutex);
        m_posthreadimpl->m_blEvent = (a_iValue != 0);
    }
    m_posthreadimpl->m_condition.notify_all();
    return OS_STS_OK;
}

EOSSTS COsThread::WaitEvent(int a_iMilliseconds)
{
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    std::unique_lock<std::mutex> lock(m_posthreadimpl->m_mutex);
    COsThreadImpl* posthreadimpl = m_posthreadimpl;
    auto isSet = [posthreadimpl] { return posthreadimpl->m_blEvent; };
    if (a_iMilliseconds < 0)
    {
        m_posthreadimpl->m_condition.wait(lock, isSet);
        return OS_STS_OK;
    }
    return m_posthreadimpl->m_condition.wait_for(lock, std::chrono::milliseconds(a_iMilliseconds), isSet) ? OS_STS_OK
                                                                                                           : OS_STS_TIMEOUT;
}

EOSSTS COsThread::Spawn(uint32_t a_u32Flags, const char* a_szProgram, const char* a_szArg0, ...)
{
    std::vector<const char*> vectorArgv;
    if (a_szArg0 && a_szArg0[0])
    {
        vectorArgv.push_back(a_szArg0);
        va_list valist;
        va_start(valist, a_szArg0);
        for (;;)
        {
            const char* szArg = va_arg(valist, const char*);
            if (!szArg || !szArg[0])
            {
                break;
            }
            vectorArgv.push_back(szArg);
        }
        va_end(valist);
    }
    vectorArgv.push_back(nullptr);
    return SpawnV(a_u32Flags, a_szProgram, vectorArgv.data());
}

EOSSTS COsThread::SpawnV(uint32_t a_u32Flags, const char* a_szProgram, const char* const* a_aszArgv)
{
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szProgram || !a_szProgram[0])
    {
        OSLOG_ERROR("thr>>> Spawn: no program...");
        return OS_STS_FAIL;
    }
    std::vector<char*> vectorArgv;
    const char* szFile = a_szProgram;
    if (a_u32Flags & OS_SPAWN_TERMINAL)
    {
        szFile = OSTHREAD_TERMINAL;
        vectorArgv.push_back(const_cast<char*>(OSTHREAD_TERMINAL));
        vectorArgv.push_back(const_cast<char*>("-x"));
        vectorArgv.push_back(const_cast<char*>(a_szProgram));
        if (a_aszArgv && a_aszArgv[0])
        {
            for (size_t ii = 1; a_aszArgv[ii] && a_aszArgv[ii][0]; ii++)
            {
                vectorArgv.push_back(const_cast<char*>(a_aszArgv[ii]));
            }
        }
    }
    else
    {
        if (a_aszArgv && a_aszArgv[0] && a_aszArgv[0][0])
        {
            for (size_t ii = 0; a_aszArgv[ii] && a_aszArgv[ii][0]; ii++)
            {
                vectorArgv.push_back(const_cast<char*>(a_aszArgv[ii]));
            }
        }
        else
        {
            vectorArgv.push_back(const_cast<char*>(a_szProgram));
        }
    }
    vectorArgv.push_back(nullptr);

    // A previous child is left to a background reaper.
    m_posthreadimpl->ReapChildInBackground();

    pid_t pid = 0;
    int iError = posix_spawnp(&pid, szFile, nullptr, nullptr, vectorArgv.data(), environ);
    if (iError != 0)
    {
        OSLOG_ERROR("thr>>> Spawn failed...%d <%s>", iError, szFile);
        return OS_STS_FAIL;
    }
    m_posthreadimpl->m_pidChild = pid;
    OSLOG_INFO("thr>>> spawned %d <%s>", static_cast<int>(pid), szFile);
    return OS_STS_OK;
}

EOSSTS COsThread::SpawnWait(int a_iMilliseconds, int* a_piExitCode)
{
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posthreadimpl->m_pidChild <= 0)
    {
        return OS_STS_NOT_FOUND;
    }
    uint64_t u64Start = OsTimeGetPerformanceTick();
    for (;;)
    {
        int iStatus = 0;
        pid_t pid = waitpid(m_posthreadimpl->m_pidChild, &iStatus, WNOHANG);
        if ((pid == m_posthreadimpl->m_pidChild) || ((pid < 0) && (errno != EINTR)))
        {
            m_posthreadimpl->m_pidChild = 0;
            if (a_piExitCode)
            {
                if (pid < 0)
                {
                    *a_piExitCode = -1;
                }
                else if (WIFEXITED(iStatus))
                {
                    *a_piExitCode = WEXITSTATUS(iStatus);
                }
                else
                {
                    *a_piExitCode = 128 + (WIFSIGNALED(iStatus) ? WTERMSIG(iStatus) : 0);
                }
            }
            return OS_STS_OK;
        }
        if ((a_iMilliseconds >= 0) && (OsTimeGetPerformanceDiff(u64Start) * 1000.0 >= a_iMilliseconds))
        {
            return OS_STS_TIMEOUT;
        }
        COsTime::Sleep(5, __FILE__, __LINE__);
    }
}

EOSSTS COsThread::SetPowerState(bool a_blHibernate, int a_iSeconds, bool a_blFlag)
{
    (void)a_blFlag;
    if (!m_posthreadimpl)
    {
        OSLOG_ASSERT("m_posthreadimpl is null...");
        return OS_STS_FAIL;
    }
    // The command holds nothing but a number, so the shell sees no user text.
    char szCommand[128];
    snprintf(szCommand, sizeof(szCommand), a_blHibernate ? "rtcwake -m disk -s %d" : "rtcwake -m standby -s %d", a_iSeconds);
    int iStatus = system(szCommand);
    if ((iStatus == -1) || (WIFEXITED(iStatus) && (WEXITSTATUS(iStatus) == 127)))
    {
        OSLOG_ASSERT("system failed...%d <%s>", iStatus, szCommand);
    }
    COsTime::Sleep(2000, __FILE__, __LINE__);
    return OS_STS_OK;
}
