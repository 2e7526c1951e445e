// capbuffer.cpp
// The capability engine's copy of a container, and the small pieces every
// capability command shares: the request, the status line, the name and the
// header of a capability.
#include "capbuffer.h"

#include <cstdio>
#include <cstring>
#include <cstdint>
#include <strings.h>

#include "clookup.h"
#include "ctwainimpl.h"

size_t CapItemSize(TW_UINT16 a_twty)
{
    size_t u64Size = TwItemSize(a_twty);
    return u64Size ? u64Size : 1;
}

size_t CapContainerSize(TW_UINT16 a_twon, TW_UINT16 a_twty, uint64_t a_u64Count)
{
    size_t u64Item = CapItemSize(a_twty);
    switch (a_twon)
    {
        case TWON_ONEVALUE:
            return (CAPBUF_ONEVALUE_ITEM + u64Item > sizeof(TW_ONEVALUE)) ? CAPBUF_ONEVALUE_ITEM + u64Item
                                                                         : sizeof(TW_ONEVALUE);
        case TWON_RANGE:
            return CAPBUF_RANGE_SIZE;
        case TWON_ENUMERATION:
        case TWON_ARRAY:
        {
            size_t u64Header = (a_twon == TWON_ENUMERATION) ? CAPBUF_ENUM_ITEMS : CAPBUF_ARRAY_ITEMS;
            if (a_u64Count > (SIZE_MAX - u64Header) / u64Item)
                return SIZE_MAX;
            return u64Header + static_cast<size_t>(a_u64Count) * u64Item;
        }
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------
// CapBuffer
// ---------------------------------------------------------------------------

bool CapBuffer::Read(CTwainImpl *a_ptwainimpl, TW_HANDLE a_handle)
{
    m_ab.clear();
    if (!a_handle)
        return false;
    const uint8_t *pu8 = static_cast<const uint8_t *>(a_ptwainimpl->DsMemLock(a_handle));
    if (!pu8)
        return false;
    // A block whose size cannot be told is not read at all.
    size_t u64Size = a_ptwainimpl->DsMemSize(a_handle, const_cast<uint8_t *>(pu8));
    if (u64Size == SIZE_MAX)
    {
        OSLOG_ERROR("CapBuffer: the size of handle %p cannot be told, not read...", a_handle);
        u64Size = 0;
    }
    m_ab.assign(pu8, pu8 + u64Size);
    a_ptwainimpl->DsMemUnlock(a_handle);
    return true;
}

void CapBuffer::Zero(size_t a_u64Size)
{
    m_ab.assign(a_u64Size, 0);
}

bool CapBuffer::Holds(size_t a_u64Offset, size_t a_u64Size) const
{
    return (a_u64Offset <= m_ab.size()) && (a_u64Size <= m_ab.size() - a_u64Offset);
}

void CapBuffer::Get(size_t a_u64Offset, void *a_pv, size_t a_u64Size) const
{
    memset(a_pv, 0, a_u64Size);
    if (a_u64Offset >= m_ab.size())
        return;
    size_t u64Have = m_ab.size() - a_u64Offset;
    memcpy(a_pv, m_ab.data() + a_u64Offset, (a_u64Size < u64Have) ? a_u64Size : u64Have);
}

TW_UINT16 CapBuffer::U16(size_t a_u64Offset) const
{
    TW_UINT16 u16 = 0;
    Get(a_u64Offset, &u16, sizeof(u16));
    return u16;
}

TW_UINT32 CapBuffer::U32(size_t a_u64Offset) const
{
    TW_UINT32 u32 = 0;
    Get(a_u64Offset, &u32, sizeof(u32));
    return u32;
}

uint32_t CapBuffer::Low32(size_t a_u64Offset) const
{
    uint32_t u32 = 0;
    Get(a_u64Offset, &u32, sizeof(u32));
    return u32;
}

TW_FIX32 CapBuffer::Fix32(size_t a_u64Offset) const
{
    TW_FIX32 fix32;
    Get(a_u64Offset, &fix32, sizeof(fix32));
    return fix32;
}

uint32_t CapBuffer::ItemsHeld(size_t a_u64Items, TW_UINT16 a_twty, TW_UINT32 a_u32Count) const
{
    if (a_u64Items >= m_ab.size())
        return 0;
    size_t u64Held = (m_ab.size() - a_u64Items) / CapItemSize(a_twty);
    return static_cast<uint32_t>((a_u32Count < u64Held) ? a_u32Count : u64Held);
}

int32_t CapBuffer::ItemInt(size_t a_u64Items, TW_UINT16 a_twty, uint32_t a_u32Index) const
{
    if (ItemsHeld(a_u64Items, a_twty, static_cast<TW_UINT32>(a_u32Index) + 1) <= a_u32Index)
        return 0;
    return CTwainImpl::GetIntFromItem(m_ab.data() + a_u64Items, a_twty, a_u32Index);
}

double CapBuffer::ItemDouble(size_t a_u64Items, TW_UINT16 a_twty, uint32_t a_u32Index) const
{
    if (ItemsHeld(a_u64Items, a_twty, static_cast<TW_UINT32>(a_u32Index) + 1) <= a_u32Index)
        return 0.0;
    return CTwainImpl::GetDoubleFromItem(m_ab.data() + a_u64Items, a_twty, a_u32Index);
}

void CapBuffer::Grow(size_t a_u64Size)
{
    if (m_ab.size() < a_u64Size)
        m_ab.resize(a_u64Size, 0);
}

void CapBuffer::Resize(size_t a_u64Size)
{
    m_ab.resize(a_u64Size, 0);
}

void CapBuffer::Set(size_t a_u64Offset, const void *a_pv, size_t a_u64Size)
{
    Grow(a_u64Offset + a_u64Size);
    memcpy(m_ab.data() + a_u64Offset, a_pv, a_u64Size);
}

void CapBuffer::SetU16(size_t a_u64Offset, TW_UINT16 a_u16)
{
    Set(a_u64Offset, &a_u16, sizeof(a_u16));
}

void CapBuffer::SetU32(size_t a_u64Offset, TW_UINT32 a_u32)
{
    Set(a_u64Offset, &a_u32, sizeof(a_u32));
}

void CapBuffer::SetFix32(size_t a_u64Offset, TW_FIX32 a_fix32)
{
    Set(a_u64Offset, &a_fix32, sizeof(a_fix32));
}

void CapBuffer::Fit(TW_UINT16 a_twon)
{
    switch (a_twon)
    {
        case TWON_ONEVALUE:
        case TWON_RANGE:
            Grow(sizeof(TW_UINT16));
            Grow(CapContainerSize(a_twon, U16(0), 1));
            break;
        case TWON_ENUMERATION:
        case TWON_ARRAY:
        {
            size_t u64Items = (a_twon == TWON_ENUMERATION) ? CAPBUF_ENUM_ITEMS : CAPBUF_ARRAY_ITEMS;
            Grow(u64Items);
            TW_UINT32 u32Count = U32(CAPBUF_ENUM_NUM);
            uint32_t u32Held = ItemsHeld(u64Items, U16(0), u32Count);
            if (u32Held < u32Count)
                SetU32(CAPBUF_ENUM_NUM, u32Held);
            break;
        }
        default:
            break;
    }
}

TW_HANDLE CapBuffer::Handle(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twon) const
{
    CapBuffer capbufferWhole = *this;
    capbufferWhole.Fit(a_twon);
    return capbufferWhole.HandleAsIs(a_ptwainimpl);
}

TW_HANDLE CapBuffer::HandleAsIs(CTwainImpl *a_ptwainimpl) const
{
    size_t u64Size = m_ab.empty() ? 1 : m_ab.size();
    TW_HANDLE handle = (u64Size <= 0x7FFFFFFF) ? a_ptwainimpl->DsMemAlloc(static_cast<int32_t>(u64Size)) : nullptr;
    if (!handle)
    {
        OSLOG_ERROR("DsMemAlloc failed...%zu bytes", u64Size);
        return nullptr;
    }
    void *pv = a_ptwainimpl->DsMemLock(handle);
    if (!pv)
    {
        OSLOG_ERROR("DsMemLock failed...");
        a_ptwainimpl->DsMemFree(handle);
        return nullptr;
    }
    if (!m_ab.empty())
        memcpy(pv, m_ab.data(), m_ab.size());
    a_ptwainimpl->DsMemUnlock(handle);
    return handle;
}

// ---------------------------------------------------------------------------
// Shared pieces
// ---------------------------------------------------------------------------

bool CapReplace(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, const CapBuffer &a_capbuffer)
{
    TW_HANDLE handle = a_capbuffer.Handle(a_ptwainimpl, a_ptwcapability->ConType);
    a_ptwainimpl->DsMemFree(a_ptwcapability->hContainer);
    a_ptwcapability->hContainer = handle;
    return handle != nullptr;
}

void CapRelease(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability)
{
    a_ptwainimpl->DsMemFree(a_ptwcapability->hContainer);
    a_ptwcapability->hContainer = nullptr;
}

TW_UINT16 CapRequest(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_UINT16 a_twmsg, TW_CAPABILITY *a_ptwcapability,
                     ETWRECORD a_etwrecord)
{
    memset(a_ptwcapability, 0, sizeof(*a_ptwcapability));
    a_ptwcapability->Cap = a_u16Cap;
    return a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, a_twmsg, a_ptwcapability, false, false, a_etwrecord);
}

TW_UINT32 CapQueryFlags(CTwainImpl *a_ptwainimpl, const TW_CAPABILITY &a_twcapability)
{
    CapBuffer capbuffer;
    capbuffer.Read(a_ptwainimpl, a_twcapability.hContainer);
    return capbuffer.U32(CAPBUF_ONEVALUE_ITEM);
}

void CapPrintStatus(CTwainImpl *a_ptwainimpl, const char *a_szIndent, TW_UINT16 a_twrc, ETWRECORD a_etwrecord)
{
    char szTwrc[64];
    char szTwcc[64];
    a_ptwainimpl->GetStatusStrings(a_twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true, a_etwrecord);
    TWAINLOG("%s%s/%s", a_szIndent, szTwrc, szTwcc);
}

bool CapSaidCrash(CTwainImpl *a_ptwainimpl, const char *a_szIndent, int a_iCap)
{
    if (!CTwainImpl::s_blCallCrashed)
        return false;
    if (a_iCap >= 0)
        CapHeader(a_ptwainimpl, static_cast<TW_UINT16>(a_iCap));
    CapPrintStatus(a_ptwainimpl, a_szIndent, TWRC_FAILURE);
    return true;
}

void CapName(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, char *a_szName, size_t a_u64NameSize)
{
    TwLookup *ptwlookup =
        a_ptwainimpl->m_plookup ? a_ptwainimpl->m_plookup->Lookup(ETWLOOKUP_CAP, a_u16Cap, 0, -1) : nullptr;
    if (ptwlookup && ptwlookup->szName[0])
        TwainFieldText(ptwlookup->szName, sizeof(ptwlookup->szName), a_szName, a_u64NameSize);
    else
        snprintf(a_szName, a_u64NameSize, "0x%04x", static_cast<unsigned>(a_u16Cap));
}

void CapHeader(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap)
{
    char szName[TWLOOKUP_TEXT];
    CapName(a_ptwainimpl, a_u16Cap, szName, sizeof(szName));
    TWAINLOG("\033[1m%-31s %04x\033[0m", szName, static_cast<unsigned>(a_u16Cap));
}

TW_UINT16 CapOpenTest(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_CAPABILITY *a_ptwcapability)
{
    TW_UINT16 twrc = CapRequest(a_ptwainimpl, a_u16Cap, MSG_GET, a_ptwcapability);
    if (twrc != TWRC_SUCCESS)
    {
        CapPrintStatus(a_ptwainimpl, "  ", twrc);
        CapRelease(a_ptwainimpl, a_ptwcapability);
        return twrc;
    }
    CapHeader(a_ptwainimpl, a_u16Cap);
    return TWRC_SUCCESS;
}

bool CapIsName(const char *a_szWord)
{
    return a_szWord && (!strncasecmp(a_szWord, "CAP", 3) || !strncasecmp(a_szWord, "ICAP", 4) ||
                        !strncasecmp(a_szWord, "ACAP", 4));
}
