// simsession.cpp
//
// One application's connection to a simulated source (see simsession.h): the
// common frame of every triplet, the capability, control and event handlers,
// and fault injection. The image handlers are in simxfer.cpp.

#include "simsession.h"

#include "simblock.h"
#include "simdispatch.h"
#include "simsource.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

CSimSession::CSimSession(CSimSource& a_source, const TW_IDENTITY& a_twidentityApp, const TW_IDENTITY& a_twidentityDs,
                         const SimConfig& a_config)
    : m_source(a_source), m_twidentityApp(a_twidentityApp), m_twidentityDs(a_twidentityDs), m_config(a_config)
{
    m_caps.Setup(m_config.m_adef, m_twidentityDs.ProtocolMajor, m_twidentityDs.ProtocolMinor);
    m_caps.SetLive([this](TW_UINT16 a_u16Cap, std::vector<SimItem>& a_aitem) { return LiveValue(a_u16Cap, a_aitem); });
    if (m_config.m_profile.m_blCustomQueryBits)
    {
        m_caps.SetQueryExtra(TWQC_MACHINE);
    }
    m_iSheets = m_config.m_iPages;
    m_szFileName = "twain.bmp";
    m_afault = m_config.m_afault;
    m_au32Seen.assign(m_afault.size(), 0);
    m_au32Fired.assign(m_afault.size(), 0);
}

TW_UINT16 CSimSession::Fail(TW_UINT16 a_u16Cc)
{
    m_u16Cc = a_u16Cc;
    return TWRC_FAILURE;
}

TW_UINT16 CSimSession::Succeed(TW_UINT16 a_u16Rc)
{
    m_u16Cc = TWCC_SUCCESS;
    return a_u16Rc;
}

bool CSimSession::Protocol(int a_iAtLeast) const
{
    return m_twidentityDs.ProtocolMajor * 100 + m_twidentityDs.ProtocolMinor >= a_iAtLeast;
}

bool CSimSession::Supports(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat) const
{
    const SimDispatch* pdispatch = SimFindDispatch(a_u32Dg, a_u16Dat);
    if (pdispatch == nullptr)
    {
        return false;
    }
    switch (pdispatch->m_eScope)
    {
        case eSimRowFileSystem:
            return m_config.m_profile.m_blFileSystem;
        case eSimRowMaker:
            return IsCustom();
        case eSimRowProtocol2:
            return m_twidentityDs.ProtocolMajor >= 2;
        case eSimRowProtocol24:
            return Protocol(204);
        default:
            return true;
    }
}

TW_UINT16 CSimSession::Dispatch(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    const SimDispatch* pdispatch = SimFindDispatch(a_u32Dg, a_u16Dat);
    if (a_pData == nullptr)
    {
        a_call.m_szData = "null";
    }
    else if (pdispatch != nullptr && pdispatch->m_uDataSize > 0 && Supports(a_u32Dg, a_u16Dat))
    {
        // The structure of a triplet the source knows (of another, the size is not known).
        std::size_t uSize = pdispatch->m_uDataSize;
        if (a_u16Dat == DAT_EXTIMAGEINFO)
        {
            // The request is its count and that many entries (bounded).
            TW_UINT32 u32Num = TwGetU32(a_pData);
            uSize += sizeof(TW_INFO) * static_cast<std::size_t>(u32Num > 256 ? 256 : u32Num);
        }
        a_call.m_szData = SimHex(a_pData, uSize);
    }
    TW_UINT16 u16CcBefore = m_u16Cc;
    TW_UINT16 u16Rc = TWRC_FAILURE;
    if (pdispatch == nullptr || !Supports(a_u32Dg, a_u16Dat))
    {
        u16Rc = Fail(TWCC_BADPROTOCOL);
    }
    else if (pdispatch->m_blNeedsData && a_pData == nullptr)
    {
        u16Rc = Fail(TWCC_BADVALUE);
    }
    else if (!SimDispatchKnows(*pdispatch, a_u16Msg))
    {
        u16Rc = Fail(TWCC_BADPROTOCOL);
    }
    else
    {
        u16Rc = (this->*(pdispatch->m_pfnHandler))(a_u16Msg, a_pData, a_call);
    }
    a_call.m_u16Cc = m_u16Cc;
    if (a_u16Dat == DAT_STATUS && a_u32Dg == DG_CONTROL)
    {
        // The status request reads the condition; it does not replace it.
        m_u16Cc = u16CcBefore;
    }
    m_pfaultActive = nullptr;
    return u16Rc;
}

const SimFault* CSimSession::MatchFault(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    for (std::size_t ii = 0; ii < m_afault.size(); ii++)
    {
        const SimFault& fault = m_afault[ii];
        if ((fault.m_u32Dg != kSimAny && fault.m_u32Dg != (a_u32Dg & DG_MASK)) || (fault.m_u32Dat != kSimAny && fault.m_u32Dat != a_u16Dat) ||
            (fault.m_u32Msg != kSimAny && fault.m_u32Msg != a_u16Msg) || (fault.m_blNullData && a_pData != nullptr))
        {
            continue;
        }
        if (fault.m_u32Cap != kSimAny)
        {
            if (a_u16Dat != DAT_CAPABILITY || a_pData == nullptr || static_cast<pTW_CAPABILITY>(a_pData)->Cap != fault.m_u32Cap)
            {
                continue;
            }
        }
        std::uint32_t u32Seen = m_au32Seen[ii]++;
        if (u32Seen < fault.m_u32Skip || m_au32Fired[ii] >= fault.m_u32Times)
        {
            continue;
        }
        m_au32Fired[ii]++;
        return &fault;
    }
    return nullptr;
}

void CSimSession::Trigger(ESimTrigger a_eTrigger)
{
    for (const SimEventRule& rule : m_config.m_aevent)
    {
        if (rule.m_eTrigger != a_eTrigger)
        {
            continue;
        }
        SimEvent event;
        event.m_u32AppId = static_cast<TW_UINT32>(m_twidentityApp.Id);
        event.m_u16Msg = rule.m_u16Msg;
        event.m_twdeviceevent = rule.m_twdeviceevent;
        m_source.PostEvent(event, rule.m_u32DelayMs);
    }
}

bool CSimSession::PrepareEvent(SimEvent& a_event, bool a_blCallback)
{
    if (a_event.m_u64Generation != 0 && a_event.m_u64Generation != m_u64Generation)
    {
        return false;   // the enable it belonged to is over
    }
    EventUndo eventundo;
    eventundo.m_blValid = true;
    eventundo.m_u64Generation = m_u64Generation;
    eventundo.m_iStateBefore = m_iState;
    eventundo.m_u32NextDocument = m_u32NextDocument;
    eventundo.m_u32NextPage = m_u32NextPage;
    switch (a_event.m_u16Msg)
    {
        case MSG_XFERREADY:
            // Only an enabled source with an image may say it is ready.
            if (m_iState != 5 || m_aslot.empty())
            {
                return false;
            }
            if (!a_blCallback)
            {
                m_au16Waiting.push_back(MSG_XFERREADY);
                return false;
            }
            m_iState = 6;
            StartImage();
            break;
        case MSG_CLOSEDSREQ:
            // A source asks to be closed only while it is enabled.
            if (!InState(5, 7))
            {
                return false;
            }
            break;
        case MSG_CLOSEDSOK:
            // Close OK ends a settings-only dialog: only while enabled that way.
            if (m_iState != 5 || !m_blUiOnly)
            {
                return false;
            }
            break;
        case MSG_DEVICEEVENT:
        {
            // Only the events the application asked for in CAP_DEVICEEVENT.
            bool blWanted = false;
            for (const SimItem& item : m_caps.CurrentList(CAP_DEVICEEVENT))
            {
                blWanted = blWanted || static_cast<TW_UINT32>(item.m_i64) == a_event.m_twdeviceevent.Event;
            }
            if (!blWanted)
            {
                return false;
            }
            m_adeviceevent.push_back(a_event.m_twdeviceevent);
            break;
        }
        default:
            break;
    }
    if (!a_blCallback)
    {
        m_au16Waiting.push_back(a_event.m_u16Msg);
        return false;
    }
    eventundo.m_iStateAfter = m_iState;
    eventundo.m_uDeviceEvents = m_adeviceevent.size();
    m_eventundo = eventundo;
    return true;
}

void CSimSession::EventRefused(const SimEvent& a_event)
{
    const EventUndo eventundo = m_eventundo;
    m_eventundo = EventUndo();
    if (!eventundo.m_blValid || eventundo.m_u64Generation != m_u64Generation || eventundo.m_iStateAfter != m_iState)
    {
        return;
    }
    if (a_event.m_u16Msg == MSG_XFERREADY)
    {
        m_iState = eventundo.m_iStateBefore;
        m_u32NextDocument = eventundo.m_u32NextDocument;
        m_u32NextPage = eventundo.m_u32NextPage;
        ResetTransfer();
    }
    else if (a_event.m_u16Msg == MSG_DEVICEEVENT && eventundo.m_uDeviceEvents == m_adeviceevent.size() &&
             !m_adeviceevent.empty())
    {
        m_adeviceevent.pop_back();
    }
}

// ---------------------------------------------------------------------------
// Memory handed to the application
// ---------------------------------------------------------------------------

TW_HANDLE CSimSession::Alloc(std::size_t a_uBytes)
{
    // The DSM's memory functions serve applications that speak 2.x; an older
    // application frees what it receives with the C library, so it gets plain
    // C memory (as it does when the DSM gave no functions at all).
    if (UsesDsmMemory())
    {
        return m_source.EntryPoints().DSM_MemAllocate(static_cast<TW_UINT32>(a_uBytes));
    }
    return std::calloc(1, a_uBytes == 0 ? 1 : a_uBytes);
}

bool CSimSession::UsesDsmMemory() const
{
    const TW_ENTRYPOINT& twentrypoint = m_source.EntryPoints();
    TW_UINT32 u32Groups = 0;
    std::memcpy(&u32Groups, &m_twidentityApp.SupportedGroups, sizeof(u32Groups));
    return (twentrypoint.DSM_MemAllocate != nullptr) && ((u32Groups & DF_APP2) != 0);
}

void* CSimSession::Lock(TW_HANDLE a_h)
{
    const TW_ENTRYPOINT& twentrypoint = m_source.EntryPoints();
    return (UsesDsmMemory() && (twentrypoint.DSM_MemLock != nullptr)) ? twentrypoint.DSM_MemLock(a_h) : a_h;
}

void CSimSession::Unlock(TW_HANDLE a_h)
{
    const TW_ENTRYPOINT& twentrypoint = m_source.EntryPoints();
    if (UsesDsmMemory() && (twentrypoint.DSM_MemUnlock != nullptr))
    {
        twentrypoint.DSM_MemUnlock(a_h);
    }
}

std::size_t CSimSession::BlockBytes(TW_HANDLE a_h, const void* a_pv) const
{
    std::size_t uBytes = 0;
    return SimBlockSize(a_h, a_pv, uBytes) ? uBytes : SIZE_MAX;
}

bool CSimSession::BlockHolds(TW_HANDLE a_h, const void* a_pv, std::size_t a_uClaimed, SimJournalCall& a_call) const
{
    std::size_t uBlock = BlockBytes(a_h, a_pv);
    if (a_uClaimed <= uBlock)
    {
        return true;
    }
    char szNote[128];
    std::snprintf(szNote, sizeof(szNote), "error=\"%s bytes claimed, the block holds %zu\"",
                  a_uClaimed == SIZE_MAX ? "more" : std::to_string(a_uClaimed).c_str(), uBlock);
    a_call.m_szNote = a_call.m_szNote.empty() ? szNote : a_call.m_szNote + " " + szNote;
    return false;
}

// ---------------------------------------------------------------------------
// DAT_CAPABILITY
// ---------------------------------------------------------------------------

bool CSimSession::Negotiable(TW_UINT16 a_u16Cap)
{
    // Capabilities are set in state 4; those the application listed in
    // CAP_EXTENDEDCAPS also in states 5 and 6 (the list itself only in 4).
    if (InState(4, 4))
    {
        return true;
    }
    if (!InState(5, 6) || a_u16Cap == CAP_EXTENDEDCAPS)
    {
        return false;
    }
    for (const SimItem& item : m_caps.CurrentList(CAP_EXTENDEDCAPS))
    {
        if (item.m_i64 == a_u16Cap)
        {
            return true;
        }
    }
    return false;
}

bool CSimSession::LiveValue(TW_UINT16 a_u16Cap, std::vector<SimItem>& a_aitem)
{
    switch (a_u16Cap)
    {
        case CAP_FEEDERLOADED:
            a_aitem.assign(1, SimInt(m_iSheets > 0 ? 1 : 0));
            return true;
        case CAP_SUPPORTEDDATS:
        {
            std::size_t uCount = 0;
            const SimDispatch* pdispatch = SimDispatchTable(uCount);
            a_aitem.clear();
            for (std::size_t ii = 0; ii < uCount; ii++)
            {
                if (Supports(pdispatch[ii].m_u32Dg, pdispatch[ii].m_u16Dat))
                {
                    a_aitem.push_back(SimInt(static_cast<std::int64_t>((pdispatch[ii].m_u32Dg << 16) | pdispatch[ii].m_u16Dat)));
                }
            }
            return true;
        }
        default:
            return false;
    }
}

std::size_t CSimSession::ContainerBytes(const unsigned char* a_pu8, std::size_t a_uBlock, TW_UINT16 a_u16ConType)
{
    std::size_t uHeader = 2;
    switch (a_u16ConType)
    {
        case TWON_ONEVALUE:    uHeader = sizeof(TW_ONEVALUE); break;
        case TWON_RANGE:       uHeader = sizeof(TW_RANGE); break;
        case TWON_ENUMERATION: uHeader = 26; break;
        case TWON_ARRAY:       uHeader = 10; break;
        default:               break;
    }
    if (a_uBlock < uHeader)
    {
        return uHeader;
    }
    std::size_t uItem = SimItemSize(TwGetU16(a_pu8));
    switch (a_u16ConType)
    {
        case TWON_ONEVALUE:
            return 2 + (uItem > 8 ? uItem : 8);
        case TWON_ENUMERATION:
        case TWON_ARRAY:
        {
            // A count beyond any list the source takes claims everything.
            std::uint64_t u64Num = TwGetU32(a_pu8 + 2);
            if (u64Num > kSimMaxItems)
            {
                return SIZE_MAX;
            }
            return uHeader + uItem * static_cast<std::size_t>(u64Num);
        }
        default:
            return uHeader;
    }
}

bool CSimSession::LenientSet(TW_UINT16 a_u16Cap, TW_UINT16 a_u16ConType, const unsigned char* a_pu8)
{
    const SimCapDef* pdef = m_caps.Find(a_u16Cap);
    if (pdef == nullptr || !pdef->m_blLenient || a_u16ConType < TWON_ARRAY || a_u16ConType > TWON_RANGE)
    {
        return false;
    }
    // The container was checked to lie within its block.
    m_mapLenient[a_u16Cap] = std::make_pair(a_u16ConType, std::vector<unsigned char>(a_pu8, a_pu8 + ContainerBytes(a_pu8, SIZE_MAX, a_u16ConType)));
    return true;
}

bool CSimSession::LenientAnswer(pTW_CAPABILITY a_ptwcap, TW_UINT16 a_u16Msg, TW_UINT16& a_u16Rc)
{
    auto it = m_mapLenient.find(a_ptwcap->Cap);
    if (it == m_mapLenient.end() || (a_u16Msg != MSG_GET && a_u16Msg != MSG_GETCURRENT))
    {
        return false;
    }
    const std::vector<unsigned char>& au8 = it->second.second;
    TW_HANDLE h = Alloc(au8.size());
    void* pv = (h != nullptr) ? Lock(h) : nullptr;
    if (pv == nullptr)
    {
        a_u16Rc = Fail(TWCC_LOWMEMORY);
        return true;
    }
    std::memcpy(pv, au8.data(), au8.size());
    Unlock(h);
    a_ptwcap->ConType = it->second.first;
    a_ptwcap->hContainer = h;
    a_u16Rc = Succeed();
    return true;
}

TW_UINT16 CSimSession::AnswerContainer(pTW_CAPABILITY a_ptwcap, const SimContainer& a_con)
{
    std::vector<unsigned char> au8;
    SimContainerEncode(a_con, au8);
    TW_UINT16 u16ConType = a_con.m_u16ConType;
    std::size_t uAlloc = au8.size();
    if (m_pfaultActive != nullptr)
    {
        // A malformed answer, as configured.
        const SimFault& fault = *m_pfaultActive;
        std::size_t uItem = SimItemSize(a_con.m_u16ItemType);
        switch (fault.m_eAction)
        {
            case eSimFaultConType:
                u16ConType = static_cast<TW_UINT16>(fault.m_blValue ? fault.m_i64Value : 0);
                break;
            case eSimFaultItemType:
                TwSetU16(au8.data(), static_cast<TW_UINT16>(fault.m_blValue ? fault.m_i64Value : 0xFFFF));
                break;
            case eSimFaultBadIndex:
                if (u16ConType == TWON_ENUMERATION)
                {
                    TW_UINT32 u32Index = a_con.m_aItems.size() + static_cast<TW_UINT32>(fault.m_blValue ? fault.m_i64Value : 5);
                    TwSetU32(au8.data() + 10, u32Index);
                    TwSetU32(au8.data() + 18, u32Index);
                }
                break;
            case eSimFaultUnterminated:
                if (SimTypeIsString(a_con.m_u16ItemType))
                {
                    std::size_t uHeader = (u16ConType == TWON_ENUMERATION) ? 26 : (u16ConType == TWON_ARRAY) ? 10 : 2;
                    std::size_t uCount = (u16ConType == TWON_ONEVALUE) ? 1 : a_con.m_aItems.size();
                    std::memset(au8.data() + uHeader, 'X', uItem * uCount);
                }
                break;
            case eSimFaultWrongSize:
                if (u16ConType == TWON_ENUMERATION || u16ConType == TWON_ARRAY)
                {
                    TW_UINT32 u32Num = a_con.m_aItems.size() + static_cast<TW_UINT32>(fault.m_blValue ? fault.m_i64Value : 4);
                    TwSetU32(au8.data() + 2, u32Num);
                }
                else
                {
                    uAlloc = 2;   // only the item type
                }
                break;
            case eSimFaultNullHandle:
                a_ptwcap->ConType = u16ConType;
                a_ptwcap->hContainer = nullptr;
                return Succeed();
            default:
                break;
        }
    }
    TW_HANDLE h = Alloc(uAlloc);
    if (h == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    void* pv = Lock(h);
    if (pv == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    std::memcpy(pv, au8.data(), uAlloc);
    Unlock(h);
    a_ptwcap->ConType = u16ConType;
    a_ptwcap->hContainer = h;
    return TWRC_SUCCESS;
}

TW_UINT16 CSimSession::DatCapability(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    pTW_CAPABILITY ptwcap = static_cast<pTW_CAPABILITY>(a_pData);
    TW_UINT16 u16Cap = ptwcap->Cap;
    SimContainer con;
    SimCapResult result;
    switch (a_u16Msg)
    {
        case MSG_RESETALL:
            if (!Protocol(200))
            {
                return Fail(TWCC_BADPROTOCOL);
            }
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            m_caps.ResetAll();
            m_mapLenient.clear();
            return Succeed();
        case MSG_GET:
        case MSG_GETCURRENT:
        case MSG_GETDEFAULT:
        case MSG_QUERYSUPPORT:
        {
            TW_UINT16 u16Rc = TWRC_SUCCESS;
            if (LenientAnswer(ptwcap, a_u16Msg, u16Rc))
            {
                return u16Rc;
            }
            result = m_caps.Get(u16Cap, a_u16Msg, con);
            break;
        }
        case MSG_GETHELP:
        case MSG_GETLABEL:
        case MSG_GETLABELENUM:
            if (!Protocol(201))
            {
                return Fail(TWCC_BADPROTOCOL);   // messages of 2.1 and later
            }
            result = m_caps.Texts(u16Cap, a_u16Msg, con);
            break;
        case MSG_RESET:
            if (!Negotiable(u16Cap))
            {
                return Fail(TWCC_SEQERROR);
            }
            m_mapLenient.erase(u16Cap);
            result = m_caps.Reset(u16Cap, con);
            break;
        case MSG_SET:
        case MSG_SETCONSTRAINT:
        {
            if (a_u16Msg == MSG_SETCONSTRAINT && !Protocol(202))
            {
                return Fail(TWCC_BADPROTOCOL);
            }
            if (!Negotiable(u16Cap))
            {
                return Fail(TWCC_SEQERROR);
            }
            if (ptwcap->hContainer == nullptr)
            {
                return Fail(TWCC_BADVALUE);
            }
            const unsigned char* pu8 = static_cast<const unsigned char*>(Lock(ptwcap->hContainer));
            if (pu8 == nullptr)
            {
                return Fail(TWCC_BADVALUE);
            }
            // Nothing is read beyond the block the application sent: a
            // header that claims more is refused.
            std::size_t uBlock = BlockBytes(ptwcap->hContainer, pu8);
            std::size_t uClaimed = ContainerBytes(pu8, uBlock, ptwcap->ConType);
            std::size_t uShown = std::min(uClaimed, uBlock);
            a_call.m_szContainer = SimHex(pu8, uShown == SIZE_MAX ? 2 : uShown);
            if (!BlockHolds(ptwcap->hContainer, pu8, uClaimed, a_call))
            {
                Unlock(ptwcap->hContainer);
                return Fail(TWCC_BADVALUE);
            }
            TW_UINT16 u16Cc = TWCC_SUCCESS;
            bool blDecoded = SimContainerDecode(ptwcap->ConType, pu8, con, u16Cc);
            if (m_caps.Find(u16Cap) == nullptr)
            {
                Unlock(ptwcap->hContainer);
                return Fail(TWCC_CAPUNSUPPORTED);
            }
            if (blDecoded)
            {
                result = m_caps.Set(u16Cap, a_u16Msg, con);
                u16Cc = result.m_u16Cc;
            }
            // A lenient capability keeps a container it cannot take as it came.
            bool blBad = !blDecoded || (result.m_u16Rc == TWRC_FAILURE && u16Cc == TWCC_BADVALUE);
            bool blKept = blBad && LenientSet(u16Cap, ptwcap->ConType, pu8);
            Unlock(ptwcap->hContainer);
            if (blKept)
            {
                return Succeed();
            }
            if (blBad || result.m_u16Rc == TWRC_FAILURE)
            {
                return Fail(u16Cc);
            }
            m_mapLenient.erase(u16Cap);
            return Succeed(result.m_u16Rc);
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
    if (result.m_u16Rc == TWRC_FAILURE)
    {
        return Fail(result.m_u16Cc);
    }
    TW_UINT16 u16Rc = AnswerContainer(ptwcap, con);
    return (u16Rc == TWRC_SUCCESS) ? Succeed(result.m_u16Rc) : u16Rc;
}

// ---------------------------------------------------------------------------
// Control handlers
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatIdentity(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    std::memcpy(a_pData, &m_twidentityDs, sizeof(TW_IDENTITY));
    return Succeed();
}

TW_UINT16 CSimSession::DatStatus(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_STATUS ptwstatus = static_cast<pTW_STATUS>(a_pData);
    ptwstatus->ConditionCode = m_u16Cc;
    ptwstatus->Data = 0;
    return TWRC_SUCCESS;
}

TW_UINT16 CSimSession::DatEvent(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_EVENT ptwevent = static_cast<pTW_EVENT>(a_pData);
    // Events pass through the source only while it is enabled.
    if (!InState(5, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    // Without a DSM callback the events wait here, as for a source of the
    // first protocol generation; otherwise no event passes through this call.
    while (!m_au16Waiting.empty())
    {
        TW_UINT16 u16Msg = m_au16Waiting.front();
        m_au16Waiting.pop_front();
        if (u16Msg == MSG_XFERREADY)
        {
            if (m_iState != 5 || m_aslot.empty())
            {
                continue;
            }
            m_iState = 6;
            StartImage();
        }
        ptwevent->TWMessage = u16Msg;
        return Succeed(TWRC_DSEVENT);
    }
    ptwevent->TWMessage = MSG_NULL;
    return Succeed(TWRC_NOTDSEVENT);
}

TW_UINT16 CSimSession::DatUserInterface(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    pTW_USERINTERFACE ptwui = static_cast<pTW_USERINTERFACE>(a_pData);
    switch (a_u16Msg)
    {
        case MSG_ENABLEDS:
        {
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            if (!BuildBatch())
            {
                // An empty feeder (or no enabled camera): nothing to scan.
                return Fail(Protocol(201) ? TWCC_NOMEDIA : TWCC_BUMMER);
            }
            m_iState = 5;
            m_blShowUI = ptwui->ShowUI != 0;
            m_blUiOnly = false;
            m_u64Generation++;
            // With or without a user interface the simulated scan starts at
            // once: the source is ready as soon as the call has returned.
            SimEvent event;
            event.m_u32AppId = static_cast<TW_UINT32>(m_twidentityApp.Id);
            event.m_u16Msg = MSG_XFERREADY;
            event.m_u64Generation = m_u64Generation;
            event.m_blBuiltIn = true;
            m_source.PostEvent(event, m_config.m_u32XferReadyDelayMs);
            Trigger(eSimTriggerEnable);
            return Succeed();
        }
        case MSG_ENABLEDSUIONLY:
        {
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            if (m_caps.CurrentInt(CAP_ENABLEDSUIONLY, 0) == 0)
            {
                return Fail(TWCC_BADPROTOCOL);
            }
            m_iState = 5;
            m_blShowUI = true;
            m_blUiOnly = true;
            m_u64Generation++;
            if (m_config.m_u16UiOnlyReply != MSG_NULL)
            {
                // The simulated user closes the settings dialog.
                SimEvent event;
                event.m_u32AppId = static_cast<TW_UINT32>(m_twidentityApp.Id);
                event.m_u16Msg = m_config.m_u16UiOnlyReply;
                event.m_u64Generation = m_u64Generation;
                event.m_blBuiltIn = true;
                m_source.PostEvent(event, m_config.m_u32UiOnlyDelayMs);
            }
            Trigger(eSimTriggerEnableUiOnly);
            return Succeed();
        }
        case MSG_DISABLEDS:
            if (!InState(5, 5))
            {
                return Fail(TWCC_SEQERROR);
            }
            m_iState = 4;
            m_aslot.clear();
            m_u64Generation++;
            m_au16Waiting.clear();
            Trigger(eSimTriggerDisable);
            return Succeed();
        default:
            return CustomUserInterface(a_u16Msg, a_pData, a_call);
    }
}

TW_UINT16 CSimSession::DatSetupMemXfer(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 6))
    {
        return Fail(TWCC_SEQERROR);
    }
    pTW_SETUPMEMXFER ptwsetup = static_cast<pTW_SETUPMEMXFER>(a_pData);
    std::size_t uMin = MinBufSize();
    std::size_t uPreferred = 65536;
    if (uPreferred < uMin)
    {
        uPreferred = uMin;
    }
    uPreferred = (uPreferred / uMin) * uMin;   // whole rows
    ptwsetup->MinBufSize = uMin;
    ptwsetup->MaxBufSize = TWON_DONTCARE32;
    ptwsetup->Preferred = uPreferred;
    return Succeed();
}

TW_UINT16 CSimSession::DatSetupFileXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_SETUPFILEXFER ptwsetup = static_cast<pTW_SETUPFILEXFER>(a_pData);
    const char* szDefaultName = "twain.bmp";
    switch (a_u16Msg)
    {
        case MSG_GET:
        case MSG_GETDEFAULT:
        {
            if (!InState(4, 6))
            {
                return Fail(TWCC_SEQERROR);
            }
            bool blDefault = (a_u16Msg == MSG_GETDEFAULT);
            std::memset(ptwsetup, 0, sizeof(*ptwsetup));
            std::strncpy(ptwsetup->FileName, blDefault ? szDefaultName : m_szFileName.c_str(), sizeof(ptwsetup->FileName) - 1);
            ptwsetup->Format = static_cast<TW_UINT16>(blDefault ? TWFF_BMP : m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP));
            return Succeed();
        }
        case MSG_SET:
        {
            if (!InState(4, 6))
            {
                return Fail(TWCC_SEQERROR);
            }
            if (std::memchr(ptwsetup->FileName, 0, sizeof(ptwsetup->FileName)) == nullptr || ptwsetup->FileName[0] == '\0')
            {
                return Fail(TWCC_BADVALUE);
            }
            // The format is ICAP_IMAGEFILEFORMAT's current value.
            SimCapResult result = m_caps.SetInternal(ICAP_IMAGEFILEFORMAT, {SimInt(ptwsetup->Format)});
            if (result.m_u16Rc != TWRC_SUCCESS)
            {
                return Fail(TWCC_BADVALUE);
            }
            m_szFileName = ptwsetup->FileName;
            return Succeed();
        }
        case MSG_RESET:
        {
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            SimContainer con;
            m_caps.Reset(ICAP_IMAGEFILEFORMAT, con);
            m_szFileName = szDefaultName;
            std::memset(ptwsetup, 0, sizeof(*ptwsetup));
            std::strncpy(ptwsetup->FileName, szDefaultName, sizeof(ptwsetup->FileName) - 1);
            ptwsetup->Format = static_cast<TW_UINT16>(m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP));
            return Succeed();
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 CSimSession::DatXferGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    if (a_u16Msg != MSG_GET && a_u16Msg != MSG_SET)
    {
        return CustomXferGroup(a_u16Msg, a_pData);
    }
    // The group is read in states 4 to 6; it is chosen for the transfer at
    // hand, so it is set in state 6 only (the maker's devices also take it
    // beforehand, in state 4 or 5).
    bool blMaker = (m_twidentityDs.SupportedGroups & DG_CUSTOM) != 0;
    if (!InState((a_u16Msg == MSG_SET && !blMaker) ? 6 : 4, 6))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (a_u16Msg == MSG_SET)
    {
        // Only images: an audio group is not something this device has.
        TW_UINT32 u32 = TwGetU32(a_pData);
        if ((u32 & DG_MASK) != DG_IMAGE)
        {
            return Fail(TWCC_BADVALUE);
        }
        m_u32XferGroup = DG_IMAGE;
        return Succeed();
    }
    TwSetU32(a_pData, m_u32XferGroup);
    return Succeed();
}

TW_UINT16 CSimSession::DatCustomDsData(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    pTW_CUSTOMDSDATA ptwcustom = static_cast<pTW_CUSTOMDSDATA>(a_pData);
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (a_u16Msg == MSG_GET)
    {
        std::string szText = m_caps.SaveText();
        TW_HANDLE h = Alloc(szText.size());
        void* pv = (h != nullptr) ? Lock(h) : nullptr;
        if (pv == nullptr)
        {
            return Fail(TWCC_LOWMEMORY);
        }
        std::memcpy(pv, szText.data(), szText.size());
        Unlock(h);
        ptwcustom->InfoLength = szText.size();
        ptwcustom->hData = h;
        return Succeed();
    }
    if (ptwcustom->InfoLength > 64 * 1024 * 1024 || (ptwcustom->InfoLength > 0 && ptwcustom->hData == nullptr))
    {
        return Fail(TWCC_BADVALUE);
    }
    std::string szText;
    if (ptwcustom->InfoLength > 0)
    {
        const char* pch = static_cast<const char*>(Lock(ptwcustom->hData));
        if (pch == nullptr)
        {
            return Fail(TWCC_BADVALUE);
        }
        if (!BlockHolds(ptwcustom->hData, pch, ptwcustom->InfoLength, a_call))
        {
            Unlock(ptwcustom->hData);
            return Fail(TWCC_BADVALUE);
        }
        szText.assign(pch, ptwcustom->InfoLength);
        Unlock(ptwcustom->hData);
    }
    if (!m_caps.LoadText(szText))
    {
        return Fail(TWCC_BADVALUE);
    }
    return Succeed();
}

TW_UINT16 CSimSession::DatDeviceEvent(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (m_adeviceevent.empty())
    {
        return Fail(TWCC_SEQERROR);
    }
    std::memcpy(a_pData, &m_adeviceevent.front(), sizeof(TW_DEVICEEVENT));
    m_adeviceevent.pop_front();
    return Succeed();
}

// ---------------------------------------------------------------------------
// DAT_FILESYSTEM: the cameras of a camera source
// ---------------------------------------------------------------------------

int CSimSession::FindCamera(const std::string& a_szName) const
{
    const SimProfile& profile = m_config.m_profile;
    if (profile.m_u32Numbered != 0)
    {
        // "/Camera_<n>" (or without the slash), n from 1 without leading zeros.
        std::string szDigits = a_szName.substr((!a_szName.empty() && a_szName[0] == '/') ? 1 : 0);
        if (szDigits.compare(0, 7, "Camera_") != 0)
        {
            return -1;
        }
        szDigits.erase(0, 7);
        if (szDigits.empty() || szDigits.size() > 10 || szDigits[0] == '0' ||
            szDigits.find_first_not_of("0123456789") != std::string::npos)
        {
            return -1;
        }
        unsigned long long ullCamera = std::stoull(szDigits);
        return (ullCamera <= profile.m_u32Numbered) ? static_cast<int>(ullCamera - 1) : -1;
    }
    const std::vector<std::string>& aszCamera = profile.m_aszCameras;
    for (std::size_t ii = 0; ii < aszCamera.size(); ii++)
    {
        if (aszCamera[ii] == a_szName || aszCamera[ii].substr(1) == a_szName)
        {
            return static_cast<int>(ii);
        }
    }
    return -1;
}

std::size_t CSimSession::CameraCount() const
{
    const SimProfile& profile = m_config.m_profile;
    return (profile.m_u32Numbered != 0) ? profile.m_u32Numbered : profile.m_aszCameras.size();
}

std::string CSimSession::CameraName(std::size_t a_uCamera) const
{
    const SimProfile& profile = m_config.m_profile;
    return (profile.m_u32Numbered != 0) ? "/Camera_" + std::to_string(a_uCamera + 1) : profile.m_aszCameras[a_uCamera];
}

void CSimSession::FillEntry(pTW_FILESYSTEM a_ptwfs, int a_iCamera)
{
    std::string szName = (a_iCamera < 0) ? "/" : CameraName(static_cast<std::size_t>(a_iCamera));
    std::memset(a_ptwfs->OutputName, 0, sizeof(a_ptwfs->OutputName));
    std::strncpy(a_ptwfs->OutputName, szName.c_str(), sizeof(a_ptwfs->OutputName) - 1);
    a_ptwfs->FileType = (a_iCamera < 0) ? TWFY_DIRECTORY
                        : (szName.find("Bottom") != std::string::npos) ? TWFY_CAMERABOTTOM : TWFY_CAMERATOP;
    a_ptwfs->Size = 0;
    std::memset(a_ptwfs->CreateTimeDate, 0, sizeof(a_ptwfs->CreateTimeDate));
    std::strncpy(a_ptwfs->CreateTimeDate, "2000/01/01 12:00:00.000", sizeof(a_ptwfs->CreateTimeDate) - 1);
    std::memcpy(a_ptwfs->ModifiedTimeDate, a_ptwfs->CreateTimeDate, sizeof(a_ptwfs->ModifiedTimeDate));
    a_ptwfs->FreeSpace = 0;
    a_ptwfs->NewImageSize = 0;
    a_ptwfs->NumberOfFiles = (a_iCamera < 0) ? CameraCount() : 0;
    a_ptwfs->NumberOfSnippets = 0;
    a_ptwfs->DeviceGroupMask = 1;
}

TW_UINT16 CSimSession::DatFileSystem(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_FILESYSTEM ptwfs = static_cast<pTW_FILESYSTEM>(a_pData);
    // Changing the directory changes the device: state 4 only. Information
    // is read in states 4 to 7, listings in states 4 to 6.
    int iLast = (a_u16Msg == MSG_CHANGEDIRECTORY) ? 4 : (a_u16Msg == MSG_GETINFO) ? 7 : 6;
    if (!InState(4, iLast))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (a_u16Msg != MSG_GETNEXTFILE && a_u16Msg != MSG_GETCLOSE &&
        std::memchr(ptwfs->InputName, 0, sizeof(ptwfs->InputName)) == nullptr)
    {
        return Fail(TWCC_BADVALUE);
    }
    std::string szInput = (a_u16Msg == MSG_GETNEXTFILE || a_u16Msg == MSG_GETCLOSE) ? std::string() : std::string(ptwfs->InputName);
    // The directory a name stands for: -1 the root, a camera index, or -2 none.
    auto resolve = [this](const std::string& a_szName, int a_iCurrent) {
        if (a_szName.empty())
        {
            return a_iCurrent;
        }
        if (a_szName == "/" || a_szName == "..")
        {
            return -1;
        }
        int iCamera = FindCamera(a_szName);
        return (iCamera >= 0) ? iCamera : -2;
    };
    switch (a_u16Msg)
    {
        case MSG_CHANGEDIRECTORY:
        {
            int iDir = resolve(szInput, m_caps.GetCamera());
            if (szInput.empty() || iDir == -2)
            {
                return Fail(TWCC_FILENOTFOUND);
            }
            m_caps.SetCamera(iDir);
            FillEntry(ptwfs, iDir);
            return Succeed();
        }
        case MSG_GETINFO:
        {
            int iDir = resolve(szInput, m_caps.GetCamera());
            if (iDir == -2)
            {
                return Fail(TWCC_FILENOTFOUND);
            }
            FillEntry(ptwfs, iDir);
            return Succeed();
        }
        case MSG_GETFIRSTFILE:
        {
            int iDir = resolve(szInput, m_caps.GetCamera());
            if (iDir == -2)
            {
                return Fail(TWCC_FILENOTFOUND);
            }
            Listing listing;
            listing.m_uCount = (iDir == -1) ? CameraCount() : 0;
            if (listing.m_uCount == 0)
            {
                ptwfs->Context = nullptr;
                return Succeed(TWRC_ENDOFLIST);
            }
            listing.m_uNext = 1;
            std::uintptr_t uContext = m_uNextListing++;
            m_maplisting[uContext] = listing;
            FillEntry(ptwfs, 0);
            ptwfs->Context = reinterpret_cast<TW_MEMREF>(uContext);
            return Succeed();
        }
        case MSG_GETNEXTFILE:
        {
            auto it = m_maplisting.find(reinterpret_cast<std::uintptr_t>(ptwfs->Context));
            if (it == m_maplisting.end())
            {
                return Fail(TWCC_BADVALUE);
            }
            Listing& listing = it->second;
            if (listing.m_uNext >= listing.m_uCount && m_config.m_profile.m_blListingLoops)
            {
                listing.m_uNext = 0;    // a list that never ends
            }
            if (listing.m_uNext >= listing.m_uCount)
            {
                m_maplisting.erase(it);
                ptwfs->Context = nullptr;
                return Succeed(TWRC_ENDOFLIST);
            }
            FillEntry(ptwfs, static_cast<int>(listing.m_uNext++));
            return Succeed();
        }
        case MSG_GETCLOSE:
        {
            auto it = m_maplisting.find(reinterpret_cast<std::uintptr_t>(ptwfs->Context));
            if (it == m_maplisting.end())
            {
                return Fail(TWCC_BADVALUE);
            }
            m_maplisting.erase(it);
            ptwfs->Context = nullptr;
            return Succeed();
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}
