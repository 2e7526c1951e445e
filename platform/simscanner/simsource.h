// simsource.h
//
// The simulated Data Source library: the one object behind DS_Entry. It
// answers the identity request of the DSM, keeps the DSM's entry points, holds
// one session per application that opened the source, and runs the worker
// thread that sends events (MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK,
// MSG_DEVICEEVENT) through the DSM after the call that caused them returned.
// One mutex guards everything; the worker calls the DSM without it, so the
// application may call back into the source from its callback.

#ifndef DRAVO_SIMSOURCE_H
#define DRAVO_SIMSOURCE_H

#include "simsession.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CSimSource
{
public:
    CSimSource();
    ~CSimSource();

    // a_blCrash: set when a "fault crash" line wants DS_Entry to crash once
    // this call has left everything as it was (nothing held, nothing owed).
    TW_UINT16 Entry(pTW_IDENTITY a_ptwidentityOrigin, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData,
                    bool& a_blCrash);

    // Called by sessions under the lock.
    void PostEvent(const SimEvent& a_event, std::uint32_t a_u32DelayMs);
    void CancelEvents(TW_UINT32 a_u32AppId);
    bool HasCallback() const { return m_twentrypoint.DSM_Entry != nullptr; }
    const TW_ENTRYPOINT& EntryPoints() const { return m_twentrypoint; }
    const std::string& JournalPath() const { return m_szJournal; }

private:
    // Events by due time, in the order posted within one time.
    typedef std::pair<std::chrono::steady_clock::time_point, std::uint64_t> DueKey;
    struct Held
    {
        DueKey        m_duekey;
        std::uint64_t m_u64Token = 0;   // the call that posted it
        SimEvent      m_event;
    };

    TW_UINT16 Control(pTW_IDENTITY a_ptwidentityOrigin, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                      TW_MEMREF a_pData, SimJournalCall& a_call, bool& a_blHandled, bool& a_blCrash);
    const SimFault* OpenFault(const SimConfig& a_config);
    void LoadEnvironment();
    void JournalConfigErrors(const SimConfig& a_config);
    void Worker();
    void ReleaseToken(std::uint64_t a_u64Token);

    std::mutex                 m_mutex;
    std::condition_variable    m_cv;
    TW_ENTRYPOINT              m_twentrypoint;
    std::map<TW_UINT32, std::unique_ptr<CSimSession>> m_mapsession;
    std::map<TW_UINT32, TW_UINT16> m_mapOpenCondition;   // per application: why MSG_OPENDS failed
    std::vector<std::uint32_t> m_au32OpenSeen;    // per fault line: the opens it matched
    std::vector<std::uint32_t> m_au32OpenFired;   // and the faults it caused
    std::string                m_szJournal;
    std::string                m_szConfigPath;
    std::map<DueKey, SimEvent> m_mapdue;     // events whose call has returned
    std::vector<Held>          m_aheld;      // events of a call still in progress
    std::uint64_t              m_u64Order = 0;
    std::uint64_t              m_u64NextToken = 1;
    std::uint64_t              m_u64CurrentToken = 0;   // token of the call in progress
    std::thread                m_thread;
    bool                       m_blStop = false;
    bool                       m_blStarted = false;
};

CSimSource& SimSourceInstance();

#endif // DRAVO_SIMSOURCE_H
