// ctwainimpl_ds.cpp
// Opening and closing the chosen Data Source, its cameras, resetting all of
// its capabilities, and rolling a connection back down the state ladder.
//
// DSOpen also fetches the DSM's memory functions (DAT_ENTRYPOINT), follows
// the source's language, registers the event callback (DAT_CALLBACK) and
// tells the symbol table whether the source speaks this program's custom
// values.
#include "ctwainimpl.h"

#include <cstring>

#include "clookup.h"

namespace
{

// Asks for the current pixel type.  True with a one-value container in
// a_ptwcapability (the caller frees it); false after an error line, with
// nothing left to free.
bool GetCurrentPixelType(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability)
{
    memset(a_ptwcapability, 0, sizeof(*a_ptwcapability));
    a_ptwcapability->Cap = ICAP_PIXELTYPE;
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, a_ptwcapability, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_GETCURRENT) failed...");
        return false;
    }
    // Nothing is written into a container of another shape.
    if ((a_ptwcapability->ConType != TWON_ONEVALUE) || !a_ptwcapability->hContainer)
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_GETCURRENT) gave no one-value container...0x%x %p",
                    static_cast<unsigned>(a_ptwcapability->ConType), a_ptwcapability->hContainer);
        a_ptwainimpl->DsMemFree(a_ptwcapability->hContainer);
        a_ptwcapability->hContainer = nullptr;
        return false;
    }
    return true;
}

// Reads the item of a one-value container; false when it cannot be locked.
bool GetOneValueItem(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, int32_t *a_pi32Item)
{
    uint8_t *pu8 = static_cast<uint8_t *>(a_ptwainimpl->DsMemLock(a_ptwcapability->hContainer));
    if (!pu8)
    {
        OSLOG_ERROR("DsMemLock failed...");
        return false;
    }
    TW_UINT16 twty = TwGetU16(pu8 + offsetof(TW_ONEVALUE, ItemType));
    *a_pi32Item = CTwainImpl::GetIntFromItem(pu8 + offsetof(TW_ONEVALUE, Item), twty, 0);
    a_ptwainimpl->DsMemUnlock(a_ptwcapability->hContainer);
    return true;
}

// Writes the item of a one-value container; false when it cannot be locked.
bool SetOneValueItem(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, TW_UINT32 a_twItem)
{
    uint8_t *pu8 = static_cast<uint8_t *>(a_ptwainimpl->DsMemLock(a_ptwcapability->hContainer));
    if (!pu8)
    {
        OSLOG_ERROR("DsMemLock failed...");
        return false;
    }
    TwSetU32(pu8 + offsetof(TW_ONEVALUE, Item), a_twItem);
    a_ptwainimpl->DsMemUnlock(a_ptwcapability->hContainer);
    return true;
}

// Sets the pixel type in the container and sends MSG_SET: true when the
// source took it.
bool SetPixelType(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, TW_UINT32 a_twpt)
{
    if (!SetOneValueItem(a_ptwainimpl, a_ptwcapability, a_twpt))
    {
        return false;
    }
    return a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, a_ptwcapability, false, false) == TWRC_SUCCESS;
}

// The camera's name into the caller's buffer, when it gave one.
void CameraName(const char *a_szName, size_t a_u64NameSize, char *a_szCamera, size_t a_u64CameraSize)
{
    if (a_szCamera && a_u64CameraSize)
    {
        TwainFieldText(a_szName, a_u64NameSize, a_szCamera, a_u64CameraSize);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Open and close
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSOpen(const char *a_szProductName)
{
    TW_UINT16 twrc;

    OSLOG_INFO("DSOpen(%s)", a_szProductName ? a_szProductName : "(null)");
    if (GetTwState() != ETWSTATE_DSMOPEN)
    {
        OSLOG_ERROR("DSOpen executed in wrong state...");
        return TWRC_FAILURE;
    }

    // The DSM's memory functions, when it offers them.
    if (m_twidentityApp.SupportedGroups & DF_DSM2)
    {
        memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
        m_twentrypoint.Size = sizeof(TW_ENTRYPOINT);
        twrc = DsmEntry(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &m_twentrypoint, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            // Nothing half-filled is used for memory.
            memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
            OSLOG_ERROR("Entry(DAT_ENTRYPOINT/MSG_GET) failed...");
            return twrc;
        }
    }

    // Which source: the one named, else the one chosen with dsmset, else
    // (an empty identity) the DSM's default.
    if (m_twidentityDs.Id == 0)
    {
        memset(&m_twidentityDs, 0, sizeof(m_twidentityDs));
    }
    if (a_szProductName)
    {
        memset(&m_twidentityDs, 0, sizeof(m_twidentityDs));
        // A name too long for the field is cut, never dropped: an empty name
        // would open the default source instead.
        COsString::SStrNcpy(m_twidentityDs.ProductName, sizeof(m_twidentityDs.ProductName), a_szProductName,
                            sizeof(m_twidentityDs.ProductName) - 1);
        COsString::StrConvertCToPascal(m_twidentityDs.ProductName, sizeof(m_twidentityDs.ProductName));
    }

    twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_twidentityDs, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        OSLOG_ERROR("Entry(DAT_IDENTITY/MSG_OPENDS) failed...");
        return twrc;
    }

    // Both sides above 2.01.
    uint32_t u32AppProtocol = (m_u32ProtocolMajor * 100) + static_cast<uint32_t>(m_i32ProtocolMinor);
    uint32_t u32DsProtocol = (static_cast<uint32_t>(m_twidentityDs.ProtocolMajor) * 100) + m_twidentityDs.ProtocolMinor;
    m_blBothAbove201 = (u32AppProtocol > 201) && (u32DsProtocol > 201);

    // The source's language becomes ours.
    if (m_plookup && g_poslocale)
    {
        TwLookup *ptwlookup = m_plookup->Lookup(ETWLOOKUP_CAPVALUE, m_twidentityDs.Version.Language, CAP_LANGUAGE, -1);
        if (ptwlookup && ptwlookup->ptwenum)
        {
            g_poslocale->SetLanguage(ptwlookup->ptwenum->szName);
        }
    }

    PrintIdentity(&m_twidentityDs);
    SetTwState(ETWSTATE_DSOPEN);

    // The event callback.
    bool blRegister = ((m_twidentityApp.SupportedGroups & DF_APP2) && (m_twidentityApp.SupportedGroups & DF_DSM2)) ||
                      (COsCfg::InfoGetLong(OS_CFGINFO_OSFAMILY, 0, true) == 2);
    if (blRegister)
    {
        memset(&m_twcallback, 0, sizeof(m_twcallback));
        m_twcallback.CallBackProc = reinterpret_cast<TW_MEMREF>(&CTwainImpl::TwnCallBackProc);
        OSLOG_INFO("MSG_REGISTER_CALLBACK=%p", m_twcallback.CallBackProc);
        twrc = DsmEntry(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &m_twcallback, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            OSLOG_ERROR("Entry(DAT_CALLBACK/MSG_REGISTER_CALLBACK) failed...");
            // Without its callback the source is of no use to the program:
            // close it again, so that the DSM and the program agree on state 3.
            // The failing code stays the last return code.
            if (DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_twidentityDs, false, false) != TWRC_SUCCESS)
            {
                OSLOG_ERROR("Entry(DAT_IDENTITY/MSG_CLOSEDS) failed...");
            }
            m_twrcLast = twrc;
            SetTwState(ETWSTATE_DSMOPEN);
            return twrc;
        }
    }

    // This program's custom values are named only for its own sources.
    if (m_plookup)
    {
        m_plookup->SetCustomValues(strncmp(m_twidentityDs.Version.Info, "ZAV v", 5) == 0);
    }
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSClose(const char *const *a_aszWords)
{
    if (m_twidentityDs.Id == 0)
    {
        return TWRC_FAILURE;
    }
    bool blDestination = a_aszWords && a_aszWords[0] && a_aszWords[1] && a_aszWords[1][0];
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_twidentityDs, false, blDestination);
    if (twrc != TWRC_SUCCESS)
    {
        OSLOG_ERROR("Entry(DAT_IDENTITY/MSG_CLOSEDS) failed...");
        return TWRC_FAILURE;
    }
    SetTwState(ETWSTATE_DSMOPEN);
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// Cameras: the entries of the source's file system, or else its pixel types
// (colour, then bitonal).
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::FirstCamera(char *a_szCamera, size_t a_u64CameraSize)
{
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &m_twfilesystem, false, false);
    if (twrc == TWRC_SUCCESS)
    {
        TwainFieldText(m_twfilesystem.OutputName, sizeof(m_twfilesystem.OutputName), m_twfilesystem.InputName,
                       sizeof(m_twfilesystem.InputName));
        CameraName(m_twfilesystem.OutputName, sizeof(m_twfilesystem.OutputName), a_szCamera, a_u64CameraSize);
        DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &m_twfilesystem, false, false);
        return TWRC_SUCCESS;
    }

    // No file system: colour first, else bitonal.
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    TW_CAPABILITY twcapability;
    if (!GetCurrentPixelType(this, &twcapability))
    {
        return TWRC_FAILURE;
    }
    TW_UINT16 twrcResult = TWRC_FAILURE;
    if (SetPixelType(this, &twcapability, TWPT_RGB))
    {
        CameraName("TWPT_RGB", sizeof("TWPT_RGB"), a_szCamera, a_u64CameraSize);
        twrcResult = TWRC_SUCCESS;
    }
    else if (SetPixelType(this, &twcapability, TWPT_BW))
    {
        CameraName("TWPT_BW", sizeof("TWPT_BW"), a_szCamera, a_u64CameraSize);
        twrcResult = TWRC_SUCCESS;
    }
    else
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
    }
    DsMemFree(twcapability.hContainer);
    return twrcResult;
}

TW_UINT16 CTwainImpl::NextCamera(char *a_szCamera, size_t a_u64CameraSize)
{
    // A file-system walk is under way.
    if (m_twfilesystem.OutputName[0])
    {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &m_twfilesystem, false, false);
        if (twrc == TWRC_SUCCESS)
        {
            TwainFieldText(m_twfilesystem.OutputName, sizeof(m_twfilesystem.OutputName), m_twfilesystem.InputName,
                           sizeof(m_twfilesystem.InputName));
            CameraName(m_twfilesystem.OutputName, sizeof(m_twfilesystem.OutputName), a_szCamera, a_u64CameraSize);
            DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &m_twfilesystem, false, false);
            return TWRC_SUCCESS;
        }
        return (twrc == TWRC_ENDOFLIST) ? TWRC_XFERDONE : TWRC_FAILURE;
    }

    // The pixel-type walk: after colour comes bitonal, and then no more.
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    TW_CAPABILITY twcapability;
    if (!GetCurrentPixelType(this, &twcapability))
    {
        return TWRC_FAILURE;
    }
    int32_t i32PixelType = 0;
    TW_UINT16 twrcResult = TWRC_FAILURE;
    if (!GetOneValueItem(this, &twcapability, &i32PixelType))
    {
        twrcResult = TWRC_FAILURE;
    }
    else if (i32PixelType == TWPT_BW)
    {
        twrcResult = TWRC_XFERDONE;
    }
    else if (SetPixelType(this, &twcapability, TWPT_BW))
    {
        CameraName("TWPT_BW", sizeof("TWPT_BW"), a_szCamera, a_u64CameraSize);
        twrcResult = TWRC_SUCCESS;
    }
    else
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
    }
    DsMemFree(twcapability.hContainer);
    return twrcResult;
}

// ---------------------------------------------------------------------------
// Roll-back: one step at a time, whatever the source answers.
// ---------------------------------------------------------------------------
void CTwainImpl::RollBack(ETWSTATE a_etwstateFrom, ETWSTATE a_etwstateTo)
{
    if (!m_pfnDsmEntryProc)
    {
        return;
    }

    if ((GetTwState() == ETWSTATE_XFERRING) && (a_etwstateFrom >= ETWSTATE_XFERRING) &&
        (a_etwstateTo < ETWSTATE_XFERRING))
    {
        TW_PENDINGXFERS twpendingxfers;
        memset(&twpendingxfers, 0, sizeof(twpendingxfers));
        DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpendingxfers, false, false);
        SetTwState(ETWSTATE_XFERREADY);
    }

    if ((GetTwState() >= ETWSTATE_XFERREADY) && (a_etwstateFrom >= ETWSTATE_XFERREADY) &&
        (a_etwstateTo <= ETWSTATE_DSENABLED))
    {
        TW_PENDINGXFERS twpendingxfers;
        memset(&twpendingxfers, 0, sizeof(twpendingxfers));
        DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpendingxfers, false, false);
        SetTwState(ETWSTATE_DSENABLED);
    }

    if ((GetTwState() >= ETWSTATE_DSENABLED) && (a_etwstateFrom >= ETWSTATE_DSENABLED) &&
        (a_etwstateTo < ETWSTATE_DSENABLED))
    {
        TW_USERINTERFACE twuserinterface;
        memset(&twuserinterface, 0, sizeof(twuserinterface));
        twuserinterface.ShowUI = 1;
        twuserinterface.ModalUI = 0;
        twuserinterface.hParent = nullptr;
        DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, false, false);
        SetTwState(ETWSTATE_DSOPEN);
    }

    if ((GetTwState() >= ETWSTATE_DSOPEN) && (a_etwstateFrom >= ETWSTATE_DSOPEN) && (a_etwstateTo < ETWSTATE_DSOPEN))
    {
        DSClose(nullptr);
        SetTwState(ETWSTATE_DSMOPEN);
    }

    if ((GetTwState() >= ETWSTATE_DSMOPEN) && (a_etwstateFrom > 2) && (a_etwstateTo < ETWSTATE_DSMOPEN))
    {
        DSMClose();
        SetTwState(ETWSTATE_NONE);
    }
}

// ---------------------------------------------------------------------------
// Reset all capabilities: MSG_RESETALL for a 2.x source, CAP_PROFILES for
// this program's own 1.x sources, else the colour pixel type.
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSResetall()
{
    if (m_twidentityDs.Id == 0)
    {
        OSLOG_ERROR("We don't have a valid ID for the DS...");
        return TWRC_FAILURE;
    }

    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));

    if (m_twidentityDs.ProtocolMajor >= 2)
    {
        if (DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &twcapability, false, false) != TWRC_SUCCESS)
        {
            OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_RESETALL) failed...");
            return TWRC_FAILURE;
        }
        TWAINLOG("%s", "reset with MSG_RESETALL...");
        return TWRC_SUCCESS;
    }

    char szInfo[sizeof(TW_STR32)];
    TwainFieldText(m_twidentityDs.Version.Info, sizeof(m_twidentityDs.Version.Info), szInfo, sizeof(szInfo));
    if (strstr(szInfo, "ZAV v"))
    {
        twcapability.Cap = CAP_PROFILES;
        if (DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &twcapability, false, false) != TWRC_SUCCESS)
        {
            OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_RESET) failed...");
            return TWRC_FAILURE;
        }
        // A reset answers with the capability's value after the reset.
        DsMemFree(twcapability.hContainer);
        TWAINLOG("%s", "reset with CAP_PROFILES...");
        return TWRC_SUCCESS;
    }

    if (!GetCurrentPixelType(this, &twcapability))
    {
        return TWRC_FAILURE;
    }
    TW_UINT16 twrcResult = TWRC_FAILURE;
    if (SetPixelType(this, &twcapability, TWPT_RGB))
    {
        TWAINLOG("%s", "reset with ICAP_PIXELTYPE(TWPT_RGB)...");
        twrcResult = TWRC_SUCCESS;
    }
    else
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
    }
    DsMemFree(twcapability.hContainer);
    return twrcResult;
}
