// dsmcrashguard.cpp
// The fault-signal catch-all of the DSM call (see dsmcrashguard.h).
#include "dsmcrashguard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <mutex>

namespace
{

// The signals a crash raises.
const int s_aiSignal[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
const int SIGNALS = static_cast<int>(sizeof(s_aiSignal) / sizeof(s_aiSignal[0]));

// What each signal did before our handler went in; written once, before.
struct sigaction s_asigactionPrevious[SIGNALS];
std::once_flag s_onceflagInstall;

// One guarded call under way on a thread: where a fault jumps back to.
struct DsmCrashFrame
{
    sigjmp_buf sigjmpbuf;
    DsmCrashFrame *pframeOuter;   // the call this one is nested in, if any
    int iSignal;                  // the fault, set by the handler
    sigset_t sigsetMask;          // the thread's signal mask at the fault
};

// The innermost guarded call of this thread (null outside every call).
thread_local DsmCrashFrame *s_pframeInner = nullptr;
// This thread has an alternate signal stack (its own or ours).
thread_local bool s_blAltStack = false;

// The alternate signal stack this thread was given; taken down when the
// thread ends.
class CDsmCrashAltStack
{
public:
    CDsmCrashAltStack() = default;
    CDsmCrashAltStack(const CDsmCrashAltStack &) = delete;
    CDsmCrashAltStack &operator=(const CDsmCrashAltStack &) = delete;
    ~CDsmCrashAltStack()
    {
        if (!m_pvStack)
        {
            return;
        }
        stack_t stack;
        if ((sigaltstack(nullptr, &stack) != 0) || (stack.ss_flags & SS_ONSTACK))
        {
            return;   // in use: left mapped
        }
        if (stack.ss_sp == m_pvStack)
        {
            stack_t stackOff = {};
            stackOff.ss_flags = SS_DISABLE;
            if (sigaltstack(&stackOff, nullptr) != 0)
            {
                return;
            }
        }
        munmap(m_pvStack, m_u64Size);
    }

    // Gives the thread a stack unless it has one already.
    void Install()
    {
        stack_t stack;
        if ((sigaltstack(nullptr, &stack) == 0) && !(stack.ss_flags & SS_DISABLE))
        {
            return;   // the thread's own (a sanitizer gives every thread one)
        }
        size_t u64Size = 65536;
        const size_t u64Minimum = static_cast<size_t>(SIGSTKSZ) * 4;
        u64Size = (u64Minimum > u64Size) ? u64Minimum : u64Size;
        void *pvStack = mmap(nullptr, u64Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pvStack == MAP_FAILED)
        {
            return;   // a plain fault is still caught on the thread's own stack
        }
        stack_t stackNew = {};
        stackNew.ss_sp = pvStack;
        stackNew.ss_size = u64Size;
        if (sigaltstack(&stackNew, nullptr) != 0)
        {
            munmap(pvStack, u64Size);
            return;
        }
        m_pvStack = pvStack;
        m_u64Size = u64Size;
    }

private:
    void *m_pvStack = nullptr;
    size_t m_u64Size = 0;
};

thread_local CDsmCrashAltStack s_dsmcrashaltstack;

int SignalIndex(int a_iSignal)
{
    for (int ii = 0; ii < SIGNALS; ii++)
    {
        if (s_aiSignal[ii] == a_iSignal)
        {
            return ii;
        }
    }
    return -1;
}

// A fault of this process's own making: raised by the processor, or sent
// by this process (raise, abort); not one sent by another process.
bool OwnFault(const siginfo_t *a_psiginfo)
{
    return !a_psiginfo || (a_psiginfo->si_code > 0) || (a_psiginfo->si_pid == getpid());
}

void DsmCrashSignal(int a_iSignal, siginfo_t *a_psiginfo, void *a_pvContext)
{
    DsmCrashFrame *pframe = s_pframeInner;
    if (pframe && OwnFault(a_psiginfo))
    {
        // Inside a guarded call on this thread: back to its call site, with
        // the mask the thread had (this signal is blocked while we are here).
        s_pframeInner = pframe->pframeOuter;
        pframe->iSignal = a_iSignal;
        if (a_pvContext)
        {
            pframe->sigsetMask = static_cast<const ucontext_t *>(a_pvContext)->uc_sigmask;
        }
        else
        {
            pthread_sigmask(SIG_BLOCK, nullptr, &pframe->sigsetMask);
            sigdelset(&pframe->sigsetMask, a_iSignal);
        }
        siglongjmp(pframe->sigjmpbuf, 1);
    }

    // Anywhere else: what would have happened without us.
    int iIndex = SignalIndex(a_iSignal);
    const struct sigaction *psigaction = (iIndex >= 0) ? &s_asigactionPrevious[iIndex] : nullptr;
    bool blRaised = a_psiginfo && (a_psiginfo->si_code <= 0);
    if (psigaction && (psigaction->sa_flags & SA_SIGINFO) && psigaction->sa_sigaction)
    {
        psigaction->sa_sigaction(a_iSignal, a_psiginfo, a_pvContext);
        return;
    }
    if (psigaction && (psigaction->sa_handler != SIG_DFL) && (psigaction->sa_handler != SIG_IGN))
    {
        psigaction->sa_handler(a_iSignal);
        return;
    }
    if (psigaction && (psigaction->sa_handler == SIG_IGN) && blRaised)
    {
        return;   // a sent signal that was ignored stays ignored
    }
    // The default action: a fault of the processor happens again when the
    // instruction runs again on return; a sent one is sent again.
    struct sigaction sigactionDefault = {};
    sigactionDefault.sa_handler = SIG_DFL;
    sigemptyset(&sigactionDefault.sa_mask);
    sigaction(a_iSignal, &sigactionDefault, nullptr);
    if (blRaised || !a_psiginfo)
    {
        raise(a_iSignal);
    }
}

void DsmCrashInstall()
{
    for (int ii = 0; ii < SIGNALS; ii++)
    {
        sigaction(s_aiSignal[ii], nullptr, &s_asigactionPrevious[ii]);
    }
    struct sigaction sigactionOurs = {};
    sigactionOurs.sa_sigaction = DsmCrashSignal;
    sigactionOurs.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sigactionOurs.sa_mask);
    for (int ii = 0; ii < SIGNALS; ii++)
    {
        sigaction(s_aiSignal[ii], &sigactionOurs, nullptr);
    }
}

} // namespace

bool DsmCrashGuardCall(DSMENTRYPROC a_pfnDsmEntry, pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest,
                       TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata, TW_UINT16 *a_ptwrc,
                       int *a_piSignal)
{
    std::call_once(s_onceflagInstall, DsmCrashInstall);
    if (!s_blAltStack)
    {
        s_blAltStack = true;
        s_dsmcrashaltstack.Install();
    }

    DsmCrashFrame dsmcrashframe;
    dsmcrashframe.pframeOuter = s_pframeInner;
    dsmcrashframe.iSignal = 0;
    // The mask is not saved here (that would cost a system call per call):
    // the handler hands over the one the thread had at the fault.
    if (sigsetjmp(dsmcrashframe.sigjmpbuf, 0) != 0)
    {
        // Back from a fault; the handler has taken this call off the thread.
        DsmCrashFrame *volatile pframe = &dsmcrashframe;
        pthread_sigmask(SIG_SETMASK, &pframe->sigsetMask, nullptr);
        *a_piSignal = pframe->iSignal;
        *a_ptwrc = TWRC_FAILURE;
        return false;
    }
    s_pframeInner = &dsmcrashframe;
    TW_UINT16 twrc;
    try
    {
        twrc = a_pfnDsmEntry(a_ptwidentityOrigin, a_ptwidentityDest, a_twdg, a_twdat, a_twmsg, a_pdata);
    }
    catch (...)
    {
        s_pframeInner = dsmcrashframe.pframeOuter;
        throw;
    }
    s_pframeInner = dsmcrashframe.pframeOuter;
    *a_ptwrc = twrc;
    *a_piSignal = 0;
    return true;
}

const char *DsmCrashGuardSignalName(int a_iSignal)
{
    switch (a_iSignal)
    {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}
