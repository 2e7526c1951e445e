// dsm_entry.cpp
//
// DSM_Entry: the one entry of the stand-in Data Source Manager.
//
// The DSM answers its own triplets (DG_CONTROL with DAT_PARENT,
// DAT_ENTRYPOINT, DAT_CALLBACK, DAT_CALLBACK2, DAT_TWUNKIDENTITY, and
// DAT_IDENTITY and DAT_STATUS without destination, and MSG_CLOSEDS),
// delivers DG_CONTROL/DAT_NULL messages of a Data Source to the
// application's registered callback, and passes every other triplet
// unchanged to the Data Source named by the destination (so also an identity
// or status request that names a source), as the widely used DSM does.
//
// Every application that opens the DSM gets its own Id, its own list of Data
// Sources (scanned at MSG_OPENDSM, each entry with an Id of its own), its own
// open sources and its own condition code. One lock guards these tables; it
// is never held while a Data Source or a callback runs, so either may call
// DSM_Entry again from any thread.
//
// The condition code of a failure the DSM answers itself stays until
// DAT_STATUS (without destination) reads it, which clears it; a success
// leaves it alone.  So a code may be older than the last call: an
// application asks for it only after TWRC_FAILURE (or TWRC_CHECKSTATUS).

#include "dsm_internal.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace
{
// The answer of one call: its return code, and the DSM's condition code for
// the log (negative when a Data Source answered).
struct DsmResult
{
    TW_UINT16 u16Rc;
    int       iCc;
};

const int s_iCcFromSource = -1;

// One Data Source opened by one application.
struct DsmOpenSource
{
    TW_UINT32                    u32Id = 0;
    TW_IDENTITY                  twidentity;
    std::shared_ptr<CDsmLibrary> plibrary;
    bool                         blOpen = false;      // false while MSG_OPENDS is under way
    bool                         blCallback = false;
    bool                         blCallback2 = false; // registered with DAT_CALLBACK2
    TWAINCALLBACKPROC            pfnCallback = nullptr;
    TW_UINTPTR                   uRefCon = 0;
};

// One application that has the DSM open.
struct DsmApp
{
    TW_UINT32                                            u32Id = 0;
    TW_IDENTITY                                          twidentity;
    std::vector<DsmSourceFile>                           vdsmsourcefile;   // identities carry their Ids
    size_t                                               uNext = 0;        // next entry of MSG_GETNEXT
    std::map<TW_UINT32, std::shared_ptr<DsmOpenSource>> mapopen;
    TW_UINT16                                            u16Cc = TWCC_SUCCESS;
    std::vector<std::pair<TW_UINT16, std::string>>       vrefuse;   // TWAINDSM_REFUSE at MSG_OPENDSM
};

std::mutex                                   s_mtx;
std::map<TW_UINT32, std::shared_ptr<DsmApp>> s_mapapps;
TW_UINT32                                    s_u32NextId = 1;
int                                          s_iOpening = 0;            // MSG_OPENDSM calls under way
std::string                                  s_szDefault;               // ProductName set by MSG_SET
TW_UINT16                                    s_u16Cc = TWCC_SUCCESS;    // code of calls of no known application

typedef std::unique_lock<std::mutex> DsmLock;

// The calls into sources whose answers are awaited, per thread, innermost
// last, each with the frame of its call and what it holds: the source (its
// library stays loaded) and, for an open, the application whose table has
// the open's record.
struct DsmCall
{
    uintptr_t                      uFrame;
    std::shared_ptr<DsmOpenSource> psource;
    std::shared_ptr<DsmApp>        papp;
};
typedef std::vector<DsmCall> DsmCalls;
std::map<std::thread::id, DsmCalls> s_mapcalls;

// Locked: enters a call into a source on this thread, made from the frame
// a_uFrame, and gives its place among the thread's calls.  A call whose
// source never answers (it crashed, and the application's fault handler
// took the thread back past this DSM) leaves its entry behind: entering a
// call lets go of those whose frames are no deeper than its own, since a call
// still under way is always further up the stack.  What is let go of goes to
// a_dsmcallsDone, to be released after the lock (it may unload a library).
size_t EnterCall(uintptr_t a_uFrame, std::shared_ptr<DsmOpenSource> a_psource, std::shared_ptr<DsmApp> a_papp,
                 DsmCalls& a_dsmcallsDone)
{
    DsmCalls& dsmcalls = s_mapcalls[std::this_thread::get_id()];
    while (!dsmcalls.empty() && dsmcalls.back().uFrame <= a_uFrame)
    {
        a_dsmcallsDone.push_back(std::move(dsmcalls.back()));
        dsmcalls.pop_back();
    }
    dsmcalls.push_back(DsmCall{a_uFrame, std::move(a_psource), std::move(a_papp)});
    return dsmcalls.size() - 1;
}

// Leaves the call entered at a_uCall (and any left behind inside it); what
// it held is released once the lock is.
void LeaveCall(size_t a_uCall)
{
    DsmCalls dsmcallsDone;
    DsmLock lock(s_mtx);
    DsmCalls& dsmcalls = s_mapcalls[std::this_thread::get_id()];
    while (dsmcalls.size() > a_uCall)
    {
        dsmcallsDone.push_back(std::move(dsmcalls.back()));
        dsmcalls.pop_back();
    }
    lock.unlock();
}

// Everything below marked "locked" expects s_mtx to be held.

// Locked: builds the answer; a failure's condition code is kept for the
// application (or, without one, for the DSM as a whole) until DAT_STATUS
// reads it.
DsmResult Answer(DsmApp* a_papp, TW_UINT16 a_u16Rc, TW_UINT16 a_u16Cc)
{
    if (a_u16Rc == TWRC_FAILURE)
    {
        (a_papp ? a_papp->u16Cc : s_u16Cc) = a_u16Cc;
    }
    return DsmResult{a_u16Rc, a_u16Cc};
}

// Not locked (it calls the source): the condition code of a source's
// refusal of a triplet the DSM sent it on the application's behalf, which
// the DSM then keeps as its own; TWCC_OPERATIONERROR when the source gives
// none.
TW_UINT16 SourceCondition(DSENTRYPROC a_pfnEntry, TW_IDENTITY* a_ptwOrigin)
{
    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    if (a_pfnEntry(a_ptwOrigin, DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus) == TWRC_SUCCESS &&
        twstatus.ConditionCode != TWCC_SUCCESS)
    {
        return twstatus.ConditionCode;
    }
    return TWCC_OPERATIONERROR;
}

// Locked.
TW_UINT32 NextId()
{
    TW_UINT32 u32Id = s_u32NextId++;
    if (u32Id == 0)
    {
        u32Id = s_u32NextId++;
    }
    return u32Id;
}

// Locked: the application that sent a call, by the Id in its identity.
std::shared_ptr<DsmApp> FindApp(const TW_IDENTITY* a_ptwidentity)
{
    if (!a_ptwidentity || a_ptwidentity->Id == 0)
    {
        return nullptr;
    }
    const TW_UINT32 u32Id = a_ptwidentity->Id;   // packed field: copied, never referenced
    auto it = s_mapapps.find(u32Id);
    return it == s_mapapps.end() ? nullptr : it->second;
}

// Locked: an open source of an application, by Id; null while it is opening
// (and for a null identity).
std::shared_ptr<DsmOpenSource> FindOpenSource(DsmApp& a_app, const TW_IDENTITY* a_ptwidentity)
{
    if (!a_ptwidentity)
    {
        return nullptr;
    }
    const TW_UINT32 u32Id = a_ptwidentity->Id;
    auto it = a_app.mapopen.find(u32Id);
    if (it == a_app.mapopen.end() || !it->second->blOpen)
    {
        return nullptr;
    }
    return it->second;
}

// True when a caller's ProductName (which may lack its terminator) equals a
// terminated one.
bool SameProductName(const char* a_szCaller, const char* a_szOurs)
{
    size_t uLen = DsmStr32Len(a_szCaller);
    return uLen < sizeof(TW_STR32) && uLen == strlen(a_szOurs) && memcmp(a_szCaller, a_szOurs, uLen) == 0;
}

// Locked: the index of the list entry whose ProductName equals the text, -1 if none.
long FindByName(const DsmApp& a_app, const char* a_szName)
{
    for (size_t u = 0; u < a_app.vdsmsourcefile.size(); ++u)
    {
        if (SameProductName(a_szName, a_app.vdsmsourcefile[u].m_twidentity.ProductName))
        {
            return static_cast<long>(u);
        }
    }
    return -1;
}

// Locked: the default source of an application's list (the list is not
// empty): the one chosen by MSG_SET, else the one TWAINDSM_DEFAULT names,
// else the first.
size_t DefaultIndex(const DsmApp& a_app)
{
    std::string szName = s_szDefault;
    if (szName.empty())
    {
        const char* szEnv = getenv("TWAINDSM_DEFAULT");
        if (szEnv)
        {
            szName = szEnv;
        }
    }
    if (!szName.empty() && szName.size() < sizeof(TW_STR32))
    {
        long lIndex = FindByName(a_app, szName.c_str());
        if (lIndex >= 0)
        {
            return static_cast<size_t>(lIndex);
        }
    }
    return 0;
}

// Locked: the list entry an identity names: by Id when it is not zero, else
// by ProductName when it is not empty, else (when allowed) the default.
long FindInList(const DsmApp& a_app, const TW_IDENTITY* a_ptwidentity, bool a_blDefault)
{
    if (a_ptwidentity->Id != 0)
    {
        for (size_t u = 0; u < a_app.vdsmsourcefile.size(); ++u)
        {
            if (a_app.vdsmsourcefile[u].m_twidentity.Id == a_ptwidentity->Id)
            {
                return static_cast<long>(u);
            }
        }
        return -1;
    }
    if (a_ptwidentity->ProductName[0] != '\0')
    {
        return FindByName(a_app, a_ptwidentity->ProductName);
    }
    if (a_blDefault && !a_app.vdsmsourcefile.empty())
    {
        return static_cast<long>(DefaultIndex(a_app));
    }
    return -1;
}

// The registrations TWAINDSM_REFUSE tells the DSM to refuse, so that an
// application's handling of a refusal can be tried: entries separated by
// ';', each "DAT_CALLBACK" or "DAT_ENTRYPOINT", optionally "=<ProductName>"
// for the calls addressed to that source only.
std::vector<std::pair<TW_UINT16, std::string>> RefusalsFromEnvironment()
{
    std::vector<std::pair<TW_UINT16, std::string>> vrefuse;
    const char* szEnv = getenv("TWAINDSM_REFUSE");
    std::string szList = szEnv ? szEnv : "";
    size_t uStart = 0;
    while (uStart <= szList.size())
    {
        size_t uEnd = szList.find(';', uStart);
        std::string szEntry = szList.substr(uStart, uEnd == std::string::npos ? std::string::npos : uEnd - uStart);
        size_t uEq = szEntry.find('=');
        std::string szDat = szEntry.substr(0, uEq);
        std::string szName = (uEq == std::string::npos) ? std::string() : szEntry.substr(uEq + 1);
        if (szDat == "DAT_CALLBACK" || szDat == "DAT_ENTRYPOINT")
        {
            vrefuse.emplace_back(szDat == "DAT_CALLBACK" ? DAT_CALLBACK : DAT_ENTRYPOINT, szName);
        }
        else if (!szEntry.empty())
        {
            CDsmLog::Line("TWAINDSM_REFUSE: '%s' ignored (DAT_CALLBACK or DAT_ENTRYPOINT, optionally =<ProductName>)",
                          szEntry.c_str());
        }
        if (uEnd == std::string::npos)
        {
            break;
        }
        uStart = uEnd + 1;
    }
    return vrefuse;
}

// Locked: true when the application asked for this registration to be
// refused for the destination (null: no source addressed).
bool Refused(const DsmApp& a_app, TW_UINT16 a_u16Dat, const TW_IDENTITY* a_ptwDest)
{
    for (const auto& refuse : a_app.vrefuse)
    {
        if (refuse.first != a_u16Dat)
        {
            continue;
        }
        if (refuse.second.empty())
        {
            return true;
        }
        if (a_ptwDest)
        {
            long lIndex = FindInList(a_app, a_ptwDest, false);
            if (lIndex >= 0 && refuse.second == a_app.vdsmsourcefile[static_cast<size_t>(lIndex)].m_twidentity.ProductName)
            {
                return true;
            }
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// DAT_PARENT
// ---------------------------------------------------------------------------
DsmResult OpenDsm(TW_IDENTITY* a_ptwOrigin)
{
    {
        DsmLock lock(s_mtx);
        std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
        if (papp)
        {
            return Answer(papp.get(), TWRC_FAILURE, TWCC_SEQERROR);   // already open
        }
        if (s_mapapps.empty() && s_iOpening == 0)
        {
            CDsmLog::Start();
        }
        ++s_iOpening;
    }

    // The scan runs Data Source code: no lock held.
    std::vector<DsmSourceFile> vdsmsourcefile;
    try
    {
        vdsmsourcefile = DsmScanSources();
    }
    catch (...)
    {
        DsmLock lock(s_mtx);
        --s_iOpening;
        throw;
    }

    DsmLock lock(s_mtx);
    --s_iOpening;
    if (FindApp(a_ptwOrigin))
    {
        // The same identity was opened by another thread meanwhile.
        return Answer(FindApp(a_ptwOrigin).get(), TWRC_FAILURE, TWCC_SEQERROR);
    }
    std::shared_ptr<DsmApp> papp = std::make_shared<DsmApp>();
    papp->u32Id = NextId();
    for (DsmSourceFile& dsmsourcefile : vdsmsourcefile)
    {
        dsmsourcefile.m_twidentity.Id = NextId();
    }
    papp->vdsmsourcefile = std::move(vdsmsourcefile);
    papp->uNext = papp->vdsmsourcefile.size();
    papp->vrefuse = RefusalsFromEnvironment();
    // Every application learns that this DSM is of the second generation,
    // whatever it speaks itself.
    a_ptwOrigin->SupportedGroups = a_ptwOrigin->SupportedGroups | DF_DSM2;
    a_ptwOrigin->Id = papp->u32Id;
    DsmCopyIdentity(&papp->twidentity, a_ptwOrigin);
    s_mapapps[papp->u32Id] = papp;
    CDsmLog::Line("application %lu \"%s\" opened the DSM, %zu source(s)", papp->u32Id,
                  papp->twidentity.ProductName, papp->vdsmsourcefile.size());
    return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
}

DsmResult CloseDsm(TW_IDENTITY* a_ptwOrigin)
{
    // What is still allocated when an application leaves goes to the log.
    const unsigned long ulLive = TwainDsmDiagLiveAllocations();
    // The records of sources that never opened, freed (their libraries
    // unloaded) once the lock is released.
    std::vector<std::shared_ptr<DsmOpenSource>> vpsourceNeverOpened;
    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (!papp)
    {
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    for (const auto& kv : papp->mapopen)
    {
        if (kv.second->blOpen)
        {
            // The application must close its sources first.
            return Answer(papp.get(), TWRC_FAILURE, TWCC_SEQERROR);
        }
    }
    // What is left are opens that never came back (the source crashed), or
    // that are still under way (each holds its own record and application,
    // and fails when it finds the application gone).
    for (auto& kv : papp->mapopen)
    {
        CDsmLog::Line("%s never came back from MSG_OPENDS: dropped",
                      kv.second->plibrary ? kv.second->plibrary->Path().c_str() : "a source");
        vpsourceNeverOpened.push_back(std::move(kv.second));
    }
    papp->mapopen.clear();
    s_mapapps.erase(papp->u32Id);
    CDsmLog::Line("application %lu closed the DSM, %lu memory block(s) live", papp->u32Id, ulLive);
    if (s_mapapps.empty())
    {
        // The default chosen with MSG_SET lasts while the DSM is in use.
        s_szDefault.clear();
    }
    lock.unlock();
    vpsourceNeverOpened.clear();
    return DsmResult{TWRC_SUCCESS, TWCC_SUCCESS};
}

DsmResult Parent(TW_IDENTITY* a_ptwOrigin, TW_UINT16 a_u16Msg)
{
    // The parent window handle in pData means nothing on Linux: it is not read.
    switch (a_u16Msg)
    {
        case MSG_OPENDSM:  return OpenDsm(a_ptwOrigin);
        case MSG_CLOSEDSM: return CloseDsm(a_ptwOrigin);
        default:
        {
            DsmLock lock(s_mtx);
            return Answer(FindApp(a_ptwOrigin).get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
        }
    }
}

// ---------------------------------------------------------------------------
// DAT_IDENTITY
// ---------------------------------------------------------------------------

// MSG_OPENDS runs the source three times (its entry points, the open, and on
// a failure its status).  A source may crash there, and an application may
// catch the fault and take its thread back past the DSM: nothing of this call
// is ever unwound then.  So while the source runs, the frames of the open
// hold nothing that needs a destructor: the open's record lives in the
// application's table, as a source that is not open yet, and the record and
// the application are held by the open's entry among the thread's calls
// (EnterCall).  A record whose open never came back keeps its source refused
// (TWCC_MAXCONNECTIONS, and it cannot be closed) until the application
// closes the DSM, which drops the records of sources that never opened; the
// entry is let go of by the thread's next call that is no deeper.  An open
// still under way when its application closes the DSM finds its record gone
// when the source answers: the source is closed again and the open fails.

// The source being opened by one MSG_OPENDS call.  Trivially destructible.
struct DsmOpening
{
    DsmApp*        papp = nullptr;          // held by the open's call entry
    DsmOpenSource* psource = nullptr;       // held by the open's call entry
    DSENTRYPROC    pfnEntry = nullptr;
    TW_IDENTITY    twidentity;              // the source's identity from the list
    size_t         uCall = 0;               // the open's place among the thread's calls
};

// Locked: true while the open's record is in its application's table and
// the application has the DSM open.
bool OpeningKept(const DsmOpening& a_dsmopening)
{
    auto itApp = s_mapapps.find(a_dsmopening.papp->u32Id);
    if (itApp == s_mapapps.end() || itApp->second.get() != a_dsmopening.papp)
    {
        return false;
    }
    auto it = a_dsmopening.papp->mapopen.find(a_dsmopening.psource->u32Id);
    return it != a_dsmopening.papp->mapopen.end() && it->second.get() == a_dsmopening.psource;
}

// Removes the record of a failed open from its application's table (the
// library stays loaded until the open's call entry lets go of it).
void DropOpening(const DsmOpening& a_dsmopening)
{
    std::shared_ptr<DsmOpenSource> psource;
    DsmLock lock(s_mtx);
    if (OpeningKept(a_dsmopening))
    {
        psource = std::move(a_dsmopening.papp->mapopen[a_dsmopening.psource->u32Id]);
        a_dsmopening.papp->mapopen.erase(a_dsmopening.psource->u32Id);
    }
    lock.unlock();
}

// Finds the source an open names, reserves it in the application's table,
// loads its library and enters the open among the thread's calls (made from
// a_uFrame); false with the answer when that fails.
bool BeginOpening(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDs, uintptr_t a_uFrame, DsmOpening& a_dsmopening,
                  DsmResult& a_dsmresult)
{
    std::string szPath;
    std::shared_ptr<DsmOpenSource> psource;
    std::shared_ptr<DsmApp> papp;
    {
        DsmLock lock(s_mtx);
        papp = FindApp(a_ptwOrigin);
        if (!papp)
        {
            a_dsmresult = Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
            return false;
        }
        if (!a_ptwDs)
        {
            // No identity names no destination.
            a_dsmresult = Answer(papp.get(), TWRC_FAILURE, TWCC_BADDEST);
            return false;
        }
        long lIndex = FindInList(*papp, a_ptwDs, true);
        if (lIndex < 0)
        {
            a_dsmresult = Answer(papp.get(), TWRC_FAILURE, TWCC_NODS);
            return false;
        }
        const DsmSourceFile& dsmsourcefile = papp->vdsmsourcefile[static_cast<size_t>(lIndex)];
        const TW_UINT32 u32SourceId = dsmsourcefile.m_twidentity.Id;
        if (papp->mapopen.count(u32SourceId))
        {
            // One connection per source and application.
            a_dsmresult = Answer(papp.get(), TWRC_FAILURE, TWCC_MAXCONNECTIONS);
            return false;
        }
        psource = std::make_shared<DsmOpenSource>();
        psource->u32Id = u32SourceId;
        psource->twidentity = dsmsourcefile.m_twidentity;
        papp->mapopen[u32SourceId] = psource;   // reserved; not open yet
        a_dsmopening.papp = papp.get();
        a_dsmopening.psource = psource.get();
        a_dsmopening.twidentity = dsmsourcefile.m_twidentity;
        szPath = dsmsourcefile.m_szPath;
    }

    std::string szError;
    std::shared_ptr<CDsmLibrary> plibrary = CDsmLibrary::Load(szPath, szError);
    DsmCalls dsmcallsDone;
    DsmLock lock(s_mtx);
    if (!plibrary)
    {
        CDsmLog::Line("MSG_OPENDS: cannot load %s: %s", szPath.c_str(), szError.c_str());
        lock.unlock();
        DropOpening(a_dsmopening);
        lock.lock();
        a_dsmresult = Answer(a_dsmopening.papp, TWRC_FAILURE, TWCC_OPERATIONERROR);
        return false;
    }
    a_dsmopening.pfnEntry = plibrary->Entry();
    psource->plibrary = std::move(plibrary);
    a_dsmopening.uCall = EnterCall(a_uFrame, std::move(psource), std::move(papp), dsmcallsDone);
    lock.unlock();
    return true;
}

// Ends a failed open: the source leaves the table, the answer is recorded.
DsmResult FailOpening(const DsmOpening& a_dsmopening, TW_UINT16 a_u16Rc, TW_UINT16 a_u16Cc)
{
    DropOpening(a_dsmopening);
    DsmLock lock(s_mtx);
    return Answer(a_dsmopening.papp, a_u16Rc, a_u16Cc);
}

// The calls into the source (nothing here has a destructor).
DsmResult RunOpening(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDs, const DsmOpening& a_dsmopening)
{
    // The caller's identity receives the source's identity and its Id.
    DsmCopyIdentity(a_ptwDs, &a_dsmopening.twidentity);

    if (a_dsmopening.twidentity.SupportedGroups & DF_DS2)
    {
        TW_ENTRYPOINT twentrypoint;
        memset(&twentrypoint, 0, sizeof(twentrypoint));
        twentrypoint.Size = sizeof(TW_ENTRYPOINT);
        DsmFillEntryPoint(&twentrypoint);
        TW_UINT16 twrc = a_dsmopening.pfnEntry(a_ptwOrigin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &twentrypoint);
        if (twrc != TWRC_SUCCESS)
        {
            CDsmLog::Line("MSG_OPENDS: %s refused DAT_ENTRYPOINT/MSG_SET (rc=%u)",
                          a_dsmopening.psource->plibrary->Path().c_str(), static_cast<unsigned int>(twrc));
            return FailOpening(a_dsmopening, TWRC_FAILURE, TWCC_OPERATIONERROR);
        }
    }

    TW_UINT16 twrc = a_dsmopening.pfnEntry(a_ptwOrigin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, a_ptwDs);
    if (twrc != TWRC_SUCCESS)
    {
        // The source is not open, so the application cannot ask it why:
        // the DSM keeps the source's condition code as its own.
        return FailOpening(a_dsmopening, twrc, SourceCondition(a_dsmopening.pfnEntry, a_ptwOrigin));
    }

    DsmLock lock(s_mtx);
    if (!OpeningKept(a_dsmopening))
    {
        // The application closed the DSM meanwhile: the source is closed
        // again, and the open is out of sequence.
        lock.unlock();
        CDsmLog::Line("MSG_OPENDS: %s opened after its application closed the DSM: closed again",
                      a_dsmopening.psource->plibrary->Path().c_str());
        a_dsmopening.pfnEntry(a_ptwOrigin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, a_ptwDs);
        lock.lock();
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    DsmOpenSource& source = *a_dsmopening.psource;
    DsmCopyIdentity(&source.twidentity, a_ptwDs);
    source.twidentity.Id = source.u32Id;
    a_ptwDs->Id = source.u32Id;
    source.blOpen = true;
    return Answer(a_dsmopening.papp, TWRC_SUCCESS, TWCC_SUCCESS);
}

DsmResult OpenDs(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDs)
{
    // This frame outlasts every call of the open into the source.
    const char cFrame = 0;
    DsmOpening dsmopening;
    DsmResult dsmresult;
    if (!BeginOpening(a_ptwOrigin, a_ptwDs, reinterpret_cast<uintptr_t>(&cFrame), dsmopening, dsmresult))
    {
        return dsmresult;
    }
    try
    {
        dsmresult = RunOpening(a_ptwOrigin, a_ptwDs, dsmopening);
    }
    catch (...)
    {
        // A source's exception passes to the application; the open failed.
        DropOpening(dsmopening);
        LeaveCall(dsmopening.uCall);
        throw;
    }
    LeaveCall(dsmopening.uCall);
    return dsmresult;
}

DsmResult CloseDs(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDs)
{
    std::shared_ptr<DsmApp>        papp;
    std::shared_ptr<DsmOpenSource> psource;
    {
        DsmLock lock(s_mtx);
        papp = FindApp(a_ptwOrigin);
        if (!papp)
        {
            return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
        }
        if (!a_ptwDs)
        {
            return Answer(papp.get(), TWRC_FAILURE, TWCC_BADDEST);
        }
        psource = FindOpenSource(*papp, a_ptwDs);
        if (!psource)
        {
            // A source of the list that is not open is out of sequence; an Id
            // the DSM never gave names no source.
            bool blKnown = a_ptwDs->Id != 0 && FindInList(*papp, a_ptwDs, false) >= 0;
            return Answer(papp.get(), TWRC_FAILURE, blKnown ? TWCC_SEQERROR : TWCC_NODS);
        }
    }

    TW_UINT16 twrc = psource->plibrary->Entry()(a_ptwOrigin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, a_ptwDs);
    if (twrc != TWRC_SUCCESS)
    {
        // Still open.  The close is the DSM's own triplet: it keeps the
        // source's condition code as its own, as for a refused open.
        TW_UINT16 u16Cc = SourceCondition(psource->plibrary->Entry(), a_ptwOrigin);
        DsmLock lock(s_mtx);
        return Answer(papp.get(), twrc, u16Cc);
    }

    DsmResult dsmresult;
    {
        DsmLock lock(s_mtx);
        auto it = papp->mapopen.find(psource->u32Id);
        if (it != papp->mapopen.end() && it->second == psource)
        {
            papp->mapopen.erase(it);
        }
        if (psource->plibrary->m_iCallsFromSource > 0)
        {
            // Closed from inside one of its own calls: its code is still on a
            // stack, so it must stay loaded.
            psource->plibrary->m_blKeepLoaded = true;
            CDsmLog::Line("%s closed during its own call: it stays loaded", psource->plibrary->Path().c_str());
        }
        dsmresult = Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
    }
    psource.reset();   // unloads the library when no other call holds it
    return dsmresult;
}

DsmResult Identity(TW_IDENTITY* a_ptwOrigin, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    TW_IDENTITY* ptwidentity = static_cast<TW_IDENTITY*>(a_pData);
    if (a_u16Msg == MSG_OPENDS)
    {
        return OpenDs(a_ptwOrigin, ptwidentity);
    }
    if (a_u16Msg == MSG_CLOSEDS)
    {
        return CloseDs(a_ptwOrigin, ptwidentity);
    }

    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (!papp)
    {
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    switch (a_u16Msg)
    {
        case MSG_GETFIRST:
        case MSG_GETNEXT:
        case MSG_GETDEFAULT:
        case MSG_SET:
        case MSG_USERSELECT:
            break;
        default:
            return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    if (!ptwidentity)
    {
        // An identity to fill or to name is the destination of these
        // messages (MSG_SET keeps the plain bad value).  MSG_GETFIRST fails
        // before it gets to that, as the widely used DSM does: it gives no
        // condition code (the application's stays as it was).
        if (a_u16Msg == MSG_GETFIRST)
        {
            return DsmResult{TWRC_FAILURE, TWCC_SUCCESS};
        }
        return Answer(papp.get(), TWRC_FAILURE, (a_u16Msg == MSG_SET) ? TWCC_BADVALUE : TWCC_BADDEST);
    }
    switch (a_u16Msg)
    {
        case MSG_GETFIRST:
            papp->uNext = 0;
            // fall through
        case MSG_GETNEXT:
            if (papp->uNext >= papp->vdsmsourcefile.size())
            {
                return Answer(papp.get(), TWRC_ENDOFLIST, TWCC_SUCCESS);
            }
            DsmCopyIdentity(ptwidentity, &papp->vdsmsourcefile[papp->uNext].m_twidentity);
            ++papp->uNext;
            return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);

        case MSG_GETDEFAULT:
            if (papp->vdsmsourcefile.empty())
            {
                return Answer(papp.get(), TWRC_FAILURE, TWCC_NODS);
            }
            DsmCopyIdentity(ptwidentity, &papp->vdsmsourcefile[DefaultIndex(*papp)].m_twidentity);
            return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);

        case MSG_SET:
        {
            long lIndex = FindInList(*papp, ptwidentity, false);
            if (lIndex < 0)
            {
                return Answer(papp.get(), TWRC_FAILURE, TWCC_NODS);
            }
            s_szDefault = papp->vdsmsourcefile[static_cast<size_t>(lIndex)].m_twidentity.ProductName;
            CDsmLog::Line("default source is now \"%s\"", s_szDefault.c_str());
            return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
        }

        default:   // MSG_USERSELECT: this DSM has no user interface
            return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
}

// ---------------------------------------------------------------------------
// DAT_ENTRYPOINT, DAT_CALLBACK(2), DAT_TWUNKIDENTITY, DAT_STATUS
// ---------------------------------------------------------------------------
DsmResult EntryPoint(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (!papp)
    {
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    // The entry points are for second-generation applications only.
    if (a_u16Msg != MSG_GET || !(papp->twidentity.SupportedGroups & DF_APP2))
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    TW_ENTRYPOINT* ptwentrypoint = static_cast<TW_ENTRYPOINT*>(a_pData);
    if (!ptwentrypoint || ptwentrypoint->Size < sizeof(TW_ENTRYPOINT))
    {
        // The caller's Size says how much the DSM may write.
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADVALUE);
    }
    if (Refused(*papp, DAT_ENTRYPOINT, a_ptwDest))
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_OPERATIONERROR);
    }
    DsmFillEntryPoint(ptwentrypoint);
    return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
}

DsmResult Callback(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                   TW_MEMREF a_pData)
{
    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (!papp)
    {
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    if (a_u16Msg != MSG_REGISTER_CALLBACK)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    std::shared_ptr<DsmOpenSource> psource = FindOpenSource(*papp, a_ptwDest);
    if (!psource)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADDEST);
    }
    if (!a_pData)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADVALUE);
    }
    // TW_CALLBACK and TW_CALLBACK2 share their layout in this build.
    TW_CALLBACK2 twcallback2;
    memcpy(&twcallback2, a_pData, sizeof(twcallback2));
    if (!twcallback2.CallBackProc)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADVALUE);
    }
    if (Refused(*papp, DAT_CALLBACK, a_ptwDest))
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_OPERATIONERROR);
    }
    TWAINCALLBACKPROC pfnCallback = nullptr;
    memcpy(&pfnCallback, &twcallback2.CallBackProc, sizeof(pfnCallback));
    psource->pfnCallback = pfnCallback;
    psource->uRefCon = twcallback2.RefCon;
    psource->blCallback2 = (a_u16Dat == DAT_CALLBACK2);
    psource->blCallback = true;
    return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
}

DsmResult TwunkIdentity(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (!papp)
    {
        return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
    }
    if (a_u16Msg != MSG_GET)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    TW_TWUNKIDENTITY* ptwtwunkidentity = static_cast<TW_TWUNKIDENTITY*>(a_pData);
    if (!ptwtwunkidentity)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADVALUE);
    }
    // The source is named by the identity inside the structure, or else by
    // the destination.
    TW_IDENTITY twidentity;
    memset(&twidentity, 0, sizeof(twidentity));
    twidentity.Id = ptwtwunkidentity->identity.Id;
    if (twidentity.Id == 0 && a_ptwDest)
    {
        twidentity.Id = a_ptwDest->Id;
    }
    long lIndex = twidentity.Id ? FindInList(*papp, &twidentity, false) : -1;
    if (lIndex < 0)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_NODS);
    }
    const DsmSourceFile& dsmsourcefile = papp->vdsmsourcefile[static_cast<size_t>(lIndex)];
    DsmCopyIdentity(&ptwtwunkidentity->identity, &dsmsourcefile.m_twidentity);
    memset(ptwtwunkidentity->dsPath, 0, sizeof(ptwtwunkidentity->dsPath));
    snprintf(ptwtwunkidentity->dsPath, sizeof(ptwtwunkidentity->dsPath), "%s", dsmsourcefile.m_szPath.c_str());
    return Answer(papp.get(), TWRC_SUCCESS, TWCC_SUCCESS);
}

DsmResult Status(TW_IDENTITY* a_ptwOrigin, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    DsmLock lock(s_mtx);
    std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
    if (a_u16Msg != MSG_GET)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    if (!a_pData)
    {
        return Answer(papp.get(), TWRC_FAILURE, TWCC_BADVALUE);
    }
    // Reading the condition code clears it.
    TW_UINT16& u16Cc = papp ? papp->u16Cc : s_u16Cc;
    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    twstatus.ConditionCode = u16Cc;
    memcpy(a_pData, &twstatus, sizeof(twstatus));
    u16Cc = TWCC_SUCCESS;
    return DsmResult{TWRC_SUCCESS, TWCC_SUCCESS};
}

// ---------------------------------------------------------------------------
// DAT_NULL from a Data Source: origin is the source, destination the application.
// ---------------------------------------------------------------------------
DsmResult FromSource(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT16 a_u16Msg)
{
    TWAINCALLBACKPROC              pfnCallback = nullptr;
    TW_MEMREF                      pvCallbackData = nullptr;
    std::shared_ptr<DsmOpenSource> psource;
    {
        DsmLock lock(s_mtx);
        if (!a_ptwOrigin)
        {
            return Answer(nullptr, TWRC_FAILURE, TWCC_BADPROTOCOL);
        }
        std::shared_ptr<DsmApp> papp = FindApp(a_ptwDest);
        if (!papp)
        {
            return Answer(nullptr, TWRC_FAILURE, TWCC_BADDEST);
        }
        psource = FindOpenSource(*papp, a_ptwOrigin);
        if (!psource)
        {
            return Answer(nullptr, TWRC_FAILURE, TWCC_BADPROTOCOL);
        }
        switch (a_u16Msg)
        {
            case MSG_XFERREADY:
            case MSG_CLOSEDSREQ:
            case MSG_CLOSEDSOK:
            case MSG_DEVICEEVENT:
                break;
            default:
                return Answer(nullptr, TWRC_FAILURE, TWCC_BADPROTOCOL);
        }
        if (!psource->blCallback)
        {
            CDsmLog::Line("source %lu sent a message to application %lu, which registered no callback",
                          psource->u32Id, papp->u32Id);
            return Answer(nullptr, TWRC_FAILURE, TWCC_OPERATIONERROR);
        }
        pfnCallback = psource->pfnCallback;
        // A TW_CALLBACK2 registration gets its reference constant back.
        pvCallbackData = psource->blCallback2 ? reinterpret_cast<TW_MEMREF>(psource->uRefCon) : nullptr;
        ++psource->plibrary->m_iCallsFromSource;
    }

    // Leaves the call count however the callback ends.
    struct CallCount
    {
        std::shared_ptr<CDsmLibrary> plibrary;
        ~CallCount()
        {
            DsmLock lock(s_mtx);
            --plibrary->m_iCallsFromSource;
        }
    } callcount{psource->plibrary};
    psource.reset();

    TW_UINT16 twrc = pfnCallback(a_ptwOrigin, a_ptwDest, DG_CONTROL, DAT_NULL, a_u16Msg, pvCallbackData);
    return DsmResult{twrc, TWCC_SUCCESS};
}

// ---------------------------------------------------------------------------
// Any other triplet: to the Data Source named by the destination.
// ---------------------------------------------------------------------------
DsmResult Forward(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat,
                  TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    std::shared_ptr<DsmOpenSource> psource;
    {
        DsmLock lock(s_mtx);
        std::shared_ptr<DsmApp> papp = FindApp(a_ptwOrigin);
        if (!papp)
        {
            return Answer(nullptr, TWRC_FAILURE, TWCC_SEQERROR);
        }
        psource = FindOpenSource(*papp, a_ptwDest);
        if (!psource)
        {
            return Answer(papp.get(), TWRC_FAILURE, TWCC_BADDEST);
        }
    }
    // The source stays held (its library loaded) until it has answered, by
    // its entry among the thread's calls.
    const char cFrame = 0;
    const DSENTRYPROC pfnEntry = psource->plibrary->Entry();
    size_t uCall = 0;
    {
        DsmCalls dsmcallsDone;
        DsmLock lock(s_mtx);
        uCall = EnterCall(reinterpret_cast<uintptr_t>(&cFrame), std::move(psource), nullptr, dsmcallsDone);
        lock.unlock();
    }
    TW_UINT16 twrc = pfnEntry(a_ptwOrigin, a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
    LeaveCall(uCall);
    return DsmResult{twrc, s_iCcFromSource};
}

DsmResult Dispatch(TW_IDENTITY* a_ptwOrigin, TW_IDENTITY* a_ptwDest, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat,
                   TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    if (a_u32Dg == DG_CONTROL && a_u16Dat == DAT_NULL)
    {
        return FromSource(a_ptwOrigin, a_ptwDest, a_u16Msg);
    }
    if (!a_ptwOrigin)
    {
        DsmLock lock(s_mtx);
        return Answer(nullptr, TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
    if (a_u32Dg == DG_CONTROL)
    {
        switch (a_u16Dat)
        {
            case DAT_PARENT:        return Parent(a_ptwOrigin, a_u16Msg);
            case DAT_IDENTITY:
                // An identity request that names a source goes to it; the
                // DSM closes a source itself.
                if (!a_ptwDest || a_u16Msg == MSG_CLOSEDS)
                {
                    return Identity(a_ptwOrigin, a_u16Msg, a_pData);
                }
                break;
            case DAT_ENTRYPOINT:    return EntryPoint(a_ptwOrigin, a_ptwDest, a_u16Msg, a_pData);
            case DAT_CALLBACK:
            case DAT_CALLBACK2:     return Callback(a_ptwOrigin, a_ptwDest, a_u16Dat, a_u16Msg, a_pData);
            case DAT_TWUNKIDENTITY: return TwunkIdentity(a_ptwOrigin, a_ptwDest, a_u16Msg, a_pData);
            case DAT_STATUS:
                if (!a_ptwDest)
                {
                    return Status(a_ptwOrigin, a_u16Msg, a_pData);
                }
                break;
            default:
                break;
        }
    }
    return Forward(a_ptwOrigin, a_ptwDest, a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
}

// Closes the log once no application has the DSM open.
void StopLogWhenIdle()
{
    if (!CDsmLog::IsOpen())
    {
        return;
    }
    DsmLock lock(s_mtx);
    if (s_mapapps.empty() && s_iOpening == 0)
    {
        CDsmLog::Stop();
    }
}
} // namespace

unsigned long DsmOpenApplicationCount()
{
    DsmLock lock(s_mtx);
    return static_cast<unsigned long>(s_mapapps.size());
}

extern "C" DSM_EXPORT TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT,
                                          TW_UINT16 MSG, TW_MEMREF pData)
{
    DsmResult dsmresult = Dispatch(pOrigin, pDest, DG, DAT, MSG, pData);
    CDsmLog::Call(pOrigin, pDest, DG, DAT, MSG, dsmresult.u16Rc, dsmresult.iCc);
    if (DG == DG_CONTROL && DAT == DAT_PARENT)
    {
        StopLogWhenIdle();
    }
    return dsmresult.u16Rc;
}

// Diagnostics for tests: the number of applications that have the DSM open.
extern "C" DSM_EXPORT unsigned long TwainDsmDiagOpenApplications(void)
{
    return DsmOpenApplicationCount();
}
