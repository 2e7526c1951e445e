// simcustom.cpp
//
// The maker's own triplets and messages of a simulated source that claims
// the custom data group (DG_CUSTOM in SupportedGroups, as the ZAV source
// does): setting profiles (DAT_PROFILES), the device clock (DAT_UTC), camera
// windows added and deleted (DAT_WINDOW), the enable variants of
// DAT_USERINTERFACE and the further DAT_XFERGROUP messages. A source without
// the custom group answers them TWCC_BADPROTOCOL.

#include "simsession.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace
{

// One DAT_PROFILES record (2,336 bytes).
#pragma pack(push, 2)
struct SimProfileRecord
{
    TW_UINT16 ProfilesValue;    // 0xFFFF ends a list
    TW_STR255 szFamily;
    TW_STR255 szId;
    TW_STR255 szEnglish;
    TW_STR255 szCurrent;
    TW_UINT8  Gap1[6];
    TW_UINT32 Group;
    TW_UINT16 Readonly;
    TW_UINT16 Default;
    TW_UINT8  Gap2[4];
    TW_UINT32 DriverVersion;
    TW_STR255 szMethod;
    TW_STR255 szName;
    TW_STR255 szFilename;
    TW_UINT16 blSharedSettings;
    TW_UINT16 ProfileState;     // 0 normal, 1 current, 2 current and modified
    TW_UINT8  Reserved[508];
};

// The DAT_WINDOW request: a window value and bytes the source leaves alone.
struct SimWindowRequest
{
    TW_UINT16 Window;
    TW_UINT8  Reserved[1024];
};
#pragma pack(pop)
static_assert(sizeof(SimProfileRecord) == 2336, "SimProfileRecord");
static_assert(offsetof(SimProfileRecord, szName) == 1312 && offsetof(SimProfileRecord, ProfileState) == 1826, "SimProfileRecord");
static_assert(sizeof(SimWindowRequest) == 1026, "SimWindowRequest");

// A text field as a string (bounded by the field).
std::string FieldText(const char* a_szField)
{
    return std::string(a_szField, strnlen(a_szField, sizeof(TW_STR255)));
}

void SetField(char* a_szField, const std::string& a_sz)
{
    std::snprintf(a_szField, sizeof(TW_STR255), "%s", a_sz.c_str());
}

} // namespace

// ---------------------------------------------------------------------------
// DAT_PROFILES
// ---------------------------------------------------------------------------

void CSimSession::ProfilesInit()
{
    if (!m_aprofile.empty())
    {
        return;
    }
    // Two profiles of the device: its factory settings and a saved copy.
    Profile profile;
    profile.m_u16Value = 0;
    profile.m_szName = "Factory";
    profile.m_blReadonly = true;
    profile.m_szSettings = m_caps.SaveText();
    m_aprofile.push_back(profile);
    profile.m_u16Value = 1;
    profile.m_szName = "Last used";
    profile.m_blReadonly = false;
    m_aprofile.push_back(profile);
    m_uProfileCurrent = 0;
}

int CSimSession::FindProfile(const std::string& a_szName) const
{
    for (std::size_t ii = 0; ii < m_aprofile.size(); ii++)
    {
        if (m_aprofile[ii].m_szName == a_szName)
        {
            return static_cast<int>(ii);
        }
    }
    return -1;
}

bool CSimSession::SaveProfileAs(const std::string& a_szName)
{
    int iProfile = FindProfile(a_szName);
    if (iProfile >= 0 && m_aprofile[iProfile].m_blReadonly)
    {
        return false;
    }
    if (iProfile < 0)
    {
        Profile profile;
        profile.m_u16Value = m_u16ProfileNext++;
        profile.m_szName = a_szName;
        m_aprofile.push_back(profile);
        iProfile = static_cast<int>(m_aprofile.size()) - 1;
    }
    m_aprofile[iProfile].m_szSettings = m_caps.SaveText();
    m_uProfileCurrent = static_cast<std::size_t>(iProfile);
    return true;
}

TW_UINT16 CSimSession::DatProfiles(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    ProfilesInit();
    if (a_u16Msg == MSG_GET)
    {
        if (!InState(4, 7))
        {
            return Fail(TWCC_SEQERROR);
        }
        // Fault "unterminated": the list without its closing record.
        std::int64_t i64Value = 0;
        std::size_t uEnd = (DeviceFault(i64Value, 0) == eSimFaultUnterminated) ? 0 : 1;
        std::string szNow = m_caps.SaveText();
        TW_HANDLE h = Alloc(sizeof(SimProfileRecord) * (m_aprofile.size() + uEnd));
        SimProfileRecord* precord = static_cast<SimProfileRecord*>((h != nullptr) ? Lock(h) : nullptr);
        if (precord == nullptr)
        {
            return Fail(TWCC_LOWMEMORY);
        }
        std::memset(precord, 0, sizeof(SimProfileRecord) * (m_aprofile.size() + uEnd));
        for (std::size_t ii = 0; ii < m_aprofile.size(); ii++)
        {
            const Profile& profile = m_aprofile[ii];
            SimProfileRecord& record = precord[ii];
            record.ProfilesValue = profile.m_u16Value;
            SetField(record.szFamily, "Simulated Devices");
            SetField(record.szId, "zav-profile-" + std::to_string(profile.m_u16Value));
            SetField(record.szEnglish, profile.m_szName);
            SetField(record.szCurrent, profile.m_szName);
            SetField(record.szName, profile.m_szName);
            SetField(record.szFilename, profile.m_szFilename);
            record.Readonly = profile.m_blReadonly ? 1 : 0;
            record.Default = (ii == 0) ? 1 : 0;
            record.DriverVersion = 1;
            record.blSharedSettings = profile.m_blShared ? 1 : 0;
            record.ProfileState = (ii != m_uProfileCurrent) ? 0 : (profile.m_szSettings == szNow) ? 1 : 2;
        }
        if (uEnd != 0)
        {
            precord[m_aprofile.size()].ProfilesValue = 0xFFFF;
        }
        Unlock(h);
        TwSetPtr(a_pData, h);
        return Succeed();
    }

    // Every other message brings one record; profiles change in state 4.
    SimProfileRecord* precord = static_cast<SimProfileRecord*>(a_pData);
    a_call.m_szData = SimHex(precord, sizeof(SimProfileRecord));
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    Profile& current = m_aprofile[m_uProfileCurrent];
    std::string szName = FieldText(precord->szName);
    std::string szFilename = FieldText(precord->szFilename);
    std::string szEnglish = FieldText(precord->szEnglish);
    std::string szCurrent = FieldText(precord->szCurrent);
    switch (a_u16Msg)
    {
        case MSG_PROFILECREATE:
            if (szName.empty() || FindProfile(szName) >= 0)
            {
                return Fail(TWCC_BADVALUE);
            }
            SaveProfileAs(szName);
            m_aprofile[m_uProfileCurrent].m_szFilename = szFilename;
            return Succeed();
        case MSG_PROFILEDELETE:
        case MSG_DELETEPROFILE:
        {
            int iProfile = FindProfile(a_u16Msg == MSG_PROFILEDELETE ? szEnglish : szCurrent);
            if (iProfile < 0)
            {
                return Fail(TWCC_BADVALUE);
            }
            if (m_aprofile[iProfile].m_blReadonly)
            {
                return Fail(TWCC_DENIED);
            }
            m_aprofile.erase(m_aprofile.begin() + iProfile);
            m_uProfileCurrent = (static_cast<std::size_t>(iProfile) == m_uProfileCurrent) ? 0
                                : (static_cast<std::size_t>(iProfile) < m_uProfileCurrent) ? m_uProfileCurrent - 1 : m_uProfileCurrent;
            return Succeed();
        }
        case MSG_PROFILEEXPORT:
        {
            // The current profile: its name, then its settings (into a
            // regular file or a device; a FIFO is not waited for).
            return SimWriteFile(szFilename, current.m_szName + "\n" + current.m_szSettings) ? Succeed()
                                                                                           : Fail(TWCC_FILEWRITEERROR);
        }
        case MSG_PROFILEIMPORT:
        {
            // The profile's name, then its settings: a regular file of at
            // most 1 MiB (anything else is no profile).
            std::string szText;
            std::string szError;
            if (!SimReadFile(szFilename.c_str(), 1024 * 1024, szText, szError))
            {
                return Fail(TWCC_BADVALUE);
            }
            std::size_t uEnd = szText.find('\n');
            std::string szImported = szText.substr(0, uEnd);
            std::string szSettings = (uEnd == std::string::npos) ? std::string() : szText.substr(uEnd + 1);
            if (szImported.empty() || !m_caps.LoadText(szSettings))
            {
                return Fail(TWCC_BADVALUE);
            }
            if (!SaveProfileAs(szImported))
            {
                return Fail(TWCC_DENIED);
            }
            m_aprofile[m_uProfileCurrent].m_szFilename = szFilename;
            return Succeed();
        }
        case MSG_PROFILERENAME:
            if (current.m_blReadonly)
            {
                return Fail(TWCC_DENIED);
            }
            if (szName.empty() || (szName != current.m_szName && FindProfile(szName) >= 0))
            {
                return Fail(TWCC_BADVALUE);
            }
            current.m_szName = szName;
            if (!szFilename.empty())
            {
                current.m_szFilename = szFilename;
            }
            return Succeed();
        case MSG_PROFILERESTORE:
            if (!m_caps.LoadText(current.m_szSettings))
            {
                return Fail(TWCC_BUMMER);
            }
            current.m_blShared = precord->blSharedSettings != 0;
            return Succeed();
        case MSG_PROFILESAVE:
            if (current.m_blReadonly)
            {
                return Fail(TWCC_DENIED);
            }
            current.m_szSettings = m_caps.SaveText();
            return Succeed();
        case MSG_PROFILESET:
        {
            int iProfile = FindProfile(szEnglish);
            if (iProfile < 0 || !m_caps.LoadText(m_aprofile[iProfile].m_szSettings))
            {
                return Fail(TWCC_BADVALUE);
            }
            m_uProfileCurrent = static_cast<std::size_t>(iProfile);
            return Succeed();
        }
        case MSG_SAVEPROFILE:
        {
            if (szCurrent.empty())
            {
                return Fail(TWCC_BADVALUE);
            }
            return SaveProfileAs(szCurrent) ? Succeed() : Fail(TWCC_DENIED);
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}

// ---------------------------------------------------------------------------
// DAT_UTC
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatUtc(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    // The device clock: seconds since 1970 (UTC) in 8 bytes.
    std::uint64_t u64Now = static_cast<std::uint64_t>(std::time(nullptr));
    std::memcpy(a_pData, &u64Now, sizeof(u64Now));
    return Succeed();
}

// ---------------------------------------------------------------------------
// DAT_WINDOW
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatWindow(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    const SimCapDef* pdef = m_caps.Find(CAP_WINDOWCAMERA);
    if (pdef == nullptr)
    {
        return Fail(TWCC_BADPROTOCOL);   // a device without camera windows
    }
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    SimWindowRequest request;
    std::memcpy(&request, a_pData, sizeof(request));
    std::vector<SimItem> aitem = pdef->m_aValues;
    if (a_u16Msg == MSG_ADDWINDOW)
    {
        // The lowest window number (0 to 43) not in use.
        int iWindow = 0;
        for (; iWindow <= 43; iWindow++)
        {
            bool blUsed = false;
            for (const SimItem& item : aitem)
            {
                blUsed = blUsed || item.m_i64 == iWindow;
            }
            if (!blUsed)
            {
                break;
            }
        }
        if (iWindow > 43)
        {
            return Fail(TWCC_BADVALUE);
        }
        aitem.push_back(SimInt(iWindow));
        m_caps.ReplaceValues(CAP_WINDOWCAMERA, aitem);
        request.Window = static_cast<TW_UINT16>(iWindow);
    }
    else
    {
        std::size_t uAt = 0;
        while (uAt < aitem.size() && aitem[uAt].m_i64 != request.Window)
        {
            uAt++;
        }
        if (uAt == aitem.size())
        {
            return Fail(TWCC_BADVALUE);
        }
        if (aitem.size() == 1)
        {
            return Fail(TWCC_DENIED);   // the last window stays
        }
        aitem.erase(aitem.begin() + static_cast<std::ptrdiff_t>(uAt));
        m_caps.ReplaceValues(CAP_WINDOWCAMERA, aitem);
        request.Window = static_cast<TW_UINT16>(m_caps.CurrentInt(CAP_WINDOWCAMERA, 0));
    }
    std::memcpy(a_pData, &request, sizeof(request));
    return Succeed();
}

// ---------------------------------------------------------------------------
// The maker's messages of standard triplets
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::CustomUserInterface(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (!IsCustom())
    {
        return Fail(TWCC_BADPROTOCOL);
    }
    switch (a_u16Msg)
    {
        case MSG_SETUPDS:
            // The set-up dialog: shown and closed, nothing changes.
            return InState(4, 4) ? Succeed() : Fail(TWCC_SEQERROR);
        case MSG_ENABLEDSADVANCED:
        case MSG_ENABLEDSPREVIEW:
        case MSG_ENABLEDSPREVIEWTOAPPLICATION:
            // Enables that scan.
            return DatUserInterface(MSG_ENABLEDS, a_pData, a_call);
        case MSG_ENABLEINFO:
        case MSG_ENABLEDSUIONLYADVANCED:
        case MSG_ENABLESETUPIAPRINTER:
        case MSG_ENABLESETUPNOIAPRINTER:
        case MSG_ENABLESETUPNOIAPRINTEROCP:
        case 0x801F:    // the set-up of the sorter's barcodes
            // Dialogs of settings only.
            return DatUserInterface(MSG_ENABLEDSUIONLY, a_pData, a_call);
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 CSimSession::CustomXferGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    if (!IsCustom())
    {
        return Fail(TWCC_BADPROTOCOL);
    }
    if (!InState(4, 6))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (a_u16Msg == MSG_RESET)
    {
        m_u32XferGroup = DG_IMAGE;
    }
    TwSetU32(a_pData, a_u16Msg == MSG_GETDEFAULT ? static_cast<TW_UINT32>(DG_IMAGE) : m_u32XferGroup);
    return Succeed();
}
