// ctwainimpl_events.cpp
// The DSM callback, the events it carries, and the wait command.
//
// The Data Source tells the application about transfer readiness, close
// requests and device events through the callback registered at DSOpen.  The
// callback may run on a thread of the Data Source while the shell's thread
// polls in DSWait: the event flags, the state and the discard counter are
// atomic, and a connection cannot be destroyed in the middle of a dispatch
// (the dispatch holds the registry lock, which the destructor also takes).
#include "ctwainimpl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

namespace
{

// One event word of the wait command and the flag it watches.
struct TwainEventWord
{
    const char *szWord;
    int iFlag;
};

// The words of the wait command, in flag order.
const TwainEventWord s_atwaineventword[] = {
    {"MSG_XFERREADY", ETWEVENT_XFERREADY},
    {"MSG_CLOSEDSOK", ETWEVENT_CLOSEDSOK},
    {"MSG_CLOSEDSREQ", ETWEVENT_CLOSEDSREQ},
    {"DEVICEEVENT", ETWEVENT_DEVICEEVENT},
    {"TWDE_CHECKAUTOMATICCAPTURE", ETWEVENT_TWDE_FIRST + TWDE_CHECKAUTOMATICCAPTURE},
    {"TWDE_CHECKBATTERY", ETWEVENT_TWDE_FIRST + TWDE_CHECKBATTERY},
    {"TWDE_CHECKDEVICEONLINE", ETWEVENT_TWDE_FIRST + TWDE_CHECKDEVICEONLINE},
    {"TWDE_CHECKFLASH", ETWEVENT_TWDE_FIRST + TWDE_CHECKFLASH},
    {"TWDE_CHECKPOWERSUPPLY", ETWEVENT_TWDE_FIRST + TWDE_CHECKPOWERSUPPLY},
    {"TWDE_CHECKRESOLUTION", ETWEVENT_TWDE_FIRST + TWDE_CHECKRESOLUTION},
    {"TWDE_DEVICEADDED", ETWEVENT_TWDE_FIRST + TWDE_DEVICEADDED},
    {"TWDE_DEVICEOFFLINE", ETWEVENT_TWDE_FIRST + TWDE_DEVICEOFFLINE},
    {"TWDE_DEVICEREADY", ETWEVENT_TWDE_FIRST + TWDE_DEVICEREADY},
    {"TWDE_DEVICEREMOVED", ETWEVENT_TWDE_FIRST + TWDE_DEVICEREMOVED},
    {"TWDE_IMAGECAPTURED", ETWEVENT_TWDE_FIRST + TWDE_IMAGECAPTURED},
    {"TWDE_IMAGEDELETED", ETWEVENT_TWDE_FIRST + TWDE_IMAGEDELETED},
    {"TWDE_PAPERDOUBLEFEED", ETWEVENT_TWDE_FIRST + TWDE_PAPERDOUBLEFEED},
    {"TWDE_PAPERJAM", ETWEVENT_TWDE_FIRST + TWDE_PAPERJAM},
    {"TWDE_LAMPFAILURE", ETWEVENT_TWDE_FIRST + TWDE_LAMPFAILURE},
    {"TWDE_POWERSAVE", ETWEVENT_TWDE_FIRST + TWDE_POWERSAVE},
    {"TWDE_POWERSAVENOTIFY", ETWEVENT_TWDE_FIRST + TWDE_POWERSAVENOTIFY},
    {"TWDE_LAMPWARMUP", ETWEVENT_LAMPWARMUP},
};
const int s_iEventWords = static_cast<int>(sizeof(s_atwaineventword) / sizeof(s_atwaineventword[0]));
static_assert(sizeof(s_atwaineventword) / sizeof(s_atwaineventword[0]) == ETWEVENT_COUNT, "one word per flag");

// The order in which a wait tests the wanted flags: the first one set wins.
const int s_aiWaitOrder[] = {
    ETWEVENT_TWDE_FIRST + TWDE_CHECKAUTOMATICCAPTURE,
    ETWEVENT_TWDE_FIRST + TWDE_CHECKBATTERY,
    ETWEVENT_TWDE_FIRST + TWDE_CHECKDEVICEONLINE,
    ETWEVENT_TWDE_FIRST + TWDE_CHECKFLASH,
    ETWEVENT_TWDE_FIRST + TWDE_CHECKPOWERSUPPLY,
    ETWEVENT_TWDE_FIRST + TWDE_CHECKRESOLUTION,
    ETWEVENT_CLOSEDSOK,
    ETWEVENT_CLOSEDSREQ,
    ETWEVENT_TWDE_FIRST + TWDE_DEVICEADDED,
    ETWEVENT_DEVICEEVENT,
    ETWEVENT_TWDE_FIRST + TWDE_DEVICEOFFLINE,
    ETWEVENT_TWDE_FIRST + TWDE_DEVICEREADY,
    ETWEVENT_TWDE_FIRST + TWDE_DEVICEREMOVED,
    ETWEVENT_TWDE_FIRST + TWDE_IMAGECAPTURED,
    ETWEVENT_TWDE_FIRST + TWDE_IMAGEDELETED,
    ETWEVENT_TWDE_FIRST + TWDE_LAMPFAILURE,
    ETWEVENT_LAMPWARMUP,
    ETWEVENT_TWDE_FIRST + TWDE_PAPERDOUBLEFEED,
    ETWEVENT_TWDE_FIRST + TWDE_PAPERJAM,
    ETWEVENT_TWDE_FIRST + TWDE_POWERSAVE,
    ETWEVENT_TWDE_FIRST + TWDE_POWERSAVENOTIFY,
    ETWEVENT_XFERREADY,
};
static_assert(sizeof(s_aiWaitOrder) / sizeof(s_aiWaitOrder[0]) == ETWEVENT_COUNT, "every flag is tested");

// The word of a flag, as the wait command writes it.
const char *EventWord(int a_iFlag)
{
    for (int ii = 0; ii < s_iEventWords; ii++)
    {
        if (s_atwaineventword[ii].iFlag == a_iFlag)
        {
            return s_atwaineventword[ii].szWord;
        }
    }
    return "";
}

// The flag of an event word (any case), -1 when it is none.
int EventFlag(const char *a_szWord)
{
    for (int ii = 0; ii < s_iEventWords; ii++)
    {
        if (strcasecmp(a_szWord, s_atwaineventword[ii].szWord) == 0)
        {
            return s_atwaineventword[ii].iFlag;
        }
    }
    return -1;
}

// An event report: an empty line, the report, an empty line.
#define EVENTLOG(...)         \
    do                        \
    {                         \
        TWAINLOG("%s", "");   \
        TWAINLOG(__VA_ARGS__); \
        TWAINLOG("%s", "");   \
    } while (0)

} // namespace

// ---------------------------------------------------------------------------
// The callback
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::TwnCallBackProc(pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest,
                                      TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata)
{
    OSLOG_INFO("TwnCallBackProc called...");

    // The connection cannot go away while the dispatch holds the lock.  An
    // event addressed to a destroyed connection is dropped.
    std::lock_guard<std::recursive_mutex> lock(RegistryLock());
    CTwainImpl *ptwainimpl = CallbackTarget(a_ptwidentityDest);
    if (!ptwainimpl)
    {
        return TWRC_FAILURE;
    }
    return ptwainimpl->TwnCallBack(a_ptwidentityOrigin, a_ptwidentityDest, a_twdg, a_twdat, a_twmsg, a_pdata);
}

TW_UINT16 CTwainImpl::TwnCallBack(pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest, TW_UINT32 a_twdg,
                                  TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata)
{
    (void)a_ptwidentityOrigin;
    (void)a_ptwidentityDest;
    (void)a_pdata;

    // The usual form, and the form some DSMs use: DAT_CALLBACK and
    // MSG_INVOKE_CALLBACK in the data group and data argument type slots.
    if (((a_twdg == DG_CONTROL) && (a_twdat == DAT_NULL)) || ((a_twdg == DAT_CALLBACK) && (a_twdat == MSG_INVOKE_CALLBACK)))
    {
        ProcessEvent(a_twmsg);
        return TWRC_SUCCESS;
    }

    EVENTLOG("  *** Got a weird event...0x%x/0x%x/0x%x", static_cast<unsigned>(a_twdg), static_cast<unsigned>(a_twdat),
             static_cast<unsigned>(a_twmsg));
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// One event
// ---------------------------------------------------------------------------
void CTwainImpl::ProcessEvent(TW_UINT16 a_twmsg)
{
    // A wait on the shell's thread returns as soon as it sees a flag, so each
    // flag is set last, once its event has been handled whole (reported,
    // the source disabled, the state moved): what the script does next comes
    // after the report and finds the state the event left.
    switch (a_twmsg)
    {
        case MSG_XFERREADY:
        {
            // Take one from the discard counter while it is above 0.
            int32_t i32Discard = m_i32DiscardXferReady.load();
            while ((i32Discard > 0) && !m_i32DiscardXferReady.compare_exchange_weak(i32Discard, i32Discard - 1))
            {
            }
            if (i32Discard > 0)
            {
                EVENTLOG("  *** Discarding MSG_XFERREADY... (%d)", static_cast<int>(i32Discard));
                return;
            }
            SetTwState(ETWSTATE_XFERREADY);
            EVENTLOG("%s", "  *** Got MSG_XFERREADY...");
            m_au8Event[ETWEVENT_XFERREADY] = 1;
            return;
        }

        case MSG_CLOSEDSREQ:
        case MSG_CLOSEDSOK:
        {
            int iFlag = (a_twmsg == MSG_CLOSEDSREQ) ? ETWEVENT_CLOSEDSREQ : ETWEVENT_CLOSEDSOK;
            EVENTLOG("%s", (a_twmsg == MSG_CLOSEDSREQ) ? "  *** Got MSG_CLOSEDSREQ..." : "  *** Got MSG_CLOSEDSOK...");
            if (!m_blAutoDisable)
            {
                m_au8Event[iFlag] = 1;
                return;
            }
            TW_USERINTERFACE twuserinterface;
            memset(&twuserinterface, 0, sizeof(twuserinterface));
            twuserinterface.hParent = m_hParent;
            TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, false, false);
            if (twrc != TWRC_SUCCESS)
            {
                char szTwrc[64];
                char szTwcc[64];
                GetStatusStrings(twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
                TWAINLOG("%s/%s", szTwrc, szTwcc);
            }
            // A source that is already closed stays closed.
            if (GetTwState() >= ETWSTATE_DSOPEN)
            {
                SetTwState(ETWSTATE_DSOPEN);
            }
            m_au8Event[iFlag] = 1;
            if (m_posthread)
            {
                m_posthread->SetEvent(1);
            }
            return;
        }

        case MSG_DEVICEEVENT:
        {
            TW_DEVICEEVENT twdeviceevent;
            memset(&twdeviceevent, 0, sizeof(twdeviceevent));
            TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &twdeviceevent, false, false);
            if (twrc != TWRC_SUCCESS)
            {
                EVENTLOG("%s", "  *** Got MSG_DEVICEEVENT (get device event failed)...");
                m_au8Event[ETWEVENT_DEVICEEVENT] = 1;
                return;
            }
            TW_UINT32 twevent = twdeviceevent.Event;
            int iFlag = -1;
            if (twevent == TWDE_LAMPWARMUP)
            {
                iFlag = ETWEVENT_LAMPWARMUP;
                EVENTLOG("  *** Got MSG_DEVICEEVENT (TWDE_LAMPWARMUP,%d)",
                         static_cast<int>(twdeviceevent.TimeBeforeFirstCapture));
            }
            else if (twevent > TWDE_POWERSAVENOTIFY)
            {
                EVENTLOG("  *** Got MSG_DEVICEEVENT (0x%x)", static_cast<unsigned>(twevent));
            }
            else
            {
                iFlag = ETWEVENT_TWDE_FIRST + static_cast<int>(twevent);
                if ((twevent == TWDE_DEVICEADDED) || (twevent == TWDE_DEVICEREMOVED))
                {
                    char szDeviceName[sizeof(twdeviceevent.DeviceName)];
                    TwainFieldText(twdeviceevent.DeviceName, sizeof(twdeviceevent.DeviceName), szDeviceName,
                                   sizeof(szDeviceName));
                    EVENTLOG("  *** Got MSG_DEVICEEVENT (%s,<%s>)", EventWord(iFlag), szDeviceName);
                }
                else
                {
                    EVENTLOG("  *** Got MSG_DEVICEEVENT (%s)", EventWord(iFlag));
                }
            }
            m_au8Event[ETWEVENT_DEVICEEVENT] = 1;
            if (iFlag >= 0)
            {
                m_au8Event[iFlag] = 1;
            }
            return;
        }

        default:
            EVENTLOG("  *** Unrecognized event...DG_CONTROL/DAT_NULL/0x%x", static_cast<unsigned>(a_twmsg));
            return;
    }
}

void CTwainImpl::CheckProcessEvent()
{
    // Events arrive only through the callback on this platform.
}

void CTwainImpl::RaiseTwState(ETWSTATE a_etwstate)
{
    // A transfer-ready event may arrive while the enable request is still
    // under way; the enable must not take the state back from 6 to 5.
    int iState = m_etwstate.load();
    while ((iState < a_etwstate) && !m_etwstate.compare_exchange_weak(iState, a_etwstate))
    {
    }
    if (iState >= a_etwstate)
    {
        // Someone else moved the state (and showed its title) meanwhile.
        return;
    }
    // Only the title of the new state: storing the state again here could
    // undo an event that arrived meanwhile.
    ShowTitle(a_etwstate);
}

// ---------------------------------------------------------------------------
// The wait command
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSWait(const char *const *a_aszWords)
{
    if (m_twidentityDs.Id == 0)
    {
        OSLOG_ERROR("We don't have a valid ID for the DS...");
        return TWRC_FAILURE;
    }

    bool ablWanted[ETWEVENT_COUNT];
    memset(ablWanted, 0, sizeof(ablWanted));
    bool blAnyWanted = false;
    m_szLastEvent[0] = 0;
    uint64_t u64Timeout = 0;
    bool blClear = false;
    bool blCountdown = false;

    const char *szFirst = (a_aszWords && a_aszWords[0]) ? a_aszWords[1] : nullptr;
    if (!szFirst || !szFirst[0])
    {
        u64Timeout = 1;
    }
    else
    {
        for (int ii = 1; a_aszWords[ii] && a_aszWords[ii][0]; ii++)
        {
            const char *szWord = a_aszWords[ii];
            int iFlag = -1;
            if ((strcmp(szWord, "-1") == 0) || (strcasecmp(szWord, "infinite") == 0) ||
                (strcasecmp(szWord, "forever") == 0))
            {
                u64Timeout = OS_TIME_INFINITE;
            }
            else if ((szWord[0] >= '0') && (szWord[0] <= '9'))
            {
                unsigned long long ullTimeout = strtoull(szWord, nullptr, 10);
                u64Timeout = (ullTimeout > OS_TIME_INFINITE) ? OS_TIME_INFINITE : ullTimeout;
            }
            else if (strcasecmp(szWord, "clear") == 0)
            {
                blClear = true;
                m_blAutoDisable = true;
            }
            else if (strcasecmp(szWord, "clearnoauto") == 0)
            {
                blClear = true;
                m_blAutoDisable = false;
            }
            else if (strcasecmp(szWord, "countdown") == 0)
            {
                blCountdown = true;
            }
            else if ((iFlag = EventFlag(szWord)) >= 0)
            {
                ablWanted[iFlag] = true;
                blAnyWanted = true;
            }
            else
            {
                TWAINLOG("unrecognized event...<%s>", szWord);
                m_twrcLast = TWRC_FAILURE;
                return TWRC_FAILURE;
            }
        }
    }

    if (blClear)
    {
        for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
        {
            if (!blAnyWanted || ablWanted[ii])
            {
                m_au8Event[ii] = 0;
            }
        }
        return TWRC_SUCCESS;
    }

    if (u64Timeout == 0)
    {
        u64Timeout = 1;
    }
    uint64_t u64Elapsed = 0;
    for (;;)
    {
        if (blCountdown && g_plog)
        {
            g_plog->Prompt(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "Waiting: %d \r",
                           static_cast<int>((u64Timeout > u64Elapsed ? u64Timeout - u64Elapsed : 0) / 1000));
        }
        CheckProcessEvent();
        for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
        {
            int iFlag = s_aiWaitOrder[ii];
            if (ablWanted[iFlag] && m_au8Event[iFlag])
            {
                COsString::SStrCpy(m_szLastEvent, sizeof(m_szLastEvent), EventWord(iFlag));
                return TWRC_SUCCESS;
            }
        }
        if (u64Timeout > 1)
        {
            COsTime::Sleep(100, __FILE__, __LINE__);
        }
        u64Elapsed += 100;
        if (u64Timeout <= u64Elapsed)
        {
            m_twrcLast = TWRC_DATANOTAVAILABLE;
            return TWRC_DATANOTAVAILABLE;
        }
    }
}

// ---------------------------------------------------------------------------
// The event object
// ---------------------------------------------------------------------------
void CTwainImpl::CreateMainWindow()
{
    if (m_posthread)
    {
        return;
    }
    COsThread *posthread = nullptr;
    try
    {
        posthread = new COsThread();
    }
    catch (...)
    {
        posthread = nullptr;
    }
    if (!posthread)
    {
        OSLOG_ERROR("OsMemNew failed...");
        return;
    }
    OSLOG_NEW(posthread, "COsThread");
    // The callback reads the pointer under the registry lock.
    std::lock_guard<std::recursive_mutex> lock(RegistryLock());
    m_posthread = posthread;
}

void CTwainImpl::DestroyMainWindow()
{
    COsThread *posthread = nullptr;
    {
        // Once the pointer is cleared under the lock, no callback holds it.
        std::lock_guard<std::recursive_mutex> lock(RegistryLock());
        posthread = m_posthread;
        m_posthread = nullptr;
    }
    if (!posthread)
    {
        return;
    }
    posthread->ThreadWait(-1);
    OSLOG_DELETE(posthread);
    delete posthread;
}
