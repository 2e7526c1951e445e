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

#include "capbuffer.h"
#include "clookup.h"

namespace
{

// Asks for the current pixel type: true with the item type of the one-value
// container the source answered with and, when a_pi32Current is given, its
// value; false after an error line.  The container is freed either way.
bool GetCurrentPixelType(CTwainImpl *a_ptwainimpl, TW_UINT16 *a_ptwty, int32_t *a_pi32Current)
{
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_PIXELTYPE;
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &twcapability, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_GETCURRENT) failed...");
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return false;
    }
    // Nothing is read from a container of another shape.
    if ((twcapability.ConType != TWON_ONEVALUE) || !twcapability.hContainer)
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_GETCURRENT) gave no one-value container...0x%x %p",
                    static_cast<unsigned>(twcapability.ConType), twcapability.hContainer);
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return false;
    }
    uint8_t *pu8 = static_cast<uint8_t *>(a_ptwainimpl->DsMemLock(twcapability.hContainer));
    if (!pu8)
    {
        OSLOG_ERROR("DsMemLock failed...");
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return false;
    }
    // Nothing is read beyond the block the source handed out.
    size_t u64Size = a_ptwainimpl->DsMemSize(twcapability.hContainer, pu8);
    size_t u64Item = offsetof(TW_ONEVALUE, Item);
    bool blType = u64Size >= u64Item;
    *a_ptwty = blType ? TwGetU16(pu8 + offsetof(TW_ONEVALUE, ItemType)) : 0;
    size_t u64ItemSize = TwItemSize(*a_ptwty);
    if (!blType || (a_pi32Current && ((u64ItemSize == 0) || (u64Size - u64Item < u64ItemSize))))
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_GETCURRENT) gave a one-value too short to read...%zu bytes", u64Size);
        a_ptwainimpl->DsMemUnlock(twcapability.hContainer);
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return false;
    }
    if (a_pi32Current)
    {
        *a_pi32Current = CTwainImpl::GetIntFromItem(pu8 + u64Item, *a_ptwty, 0);
    }
    a_ptwainimpl->DsMemUnlock(twcapability.hContainer);
    a_ptwainimpl->DsMemFree(twcapability.hContainer);
    return true;
}

// Sends MSG_SET of the pixel type: true when the source took it.
//
// The value travels in a one-value container of our own with the item type
// the source answered with, so the request is the source's answer with the
// new item.  The source's own container is never written: nothing tells how
// many bytes a source really allocated, and one that answers with a
// container shorter than a one-value would have its memory overrun.  Ours
// holds a whole item of that type, whatever the type.
bool SetPixelType(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twty, TW_UINT32 a_twpt)
{
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_PIXELTYPE;
    twcapability.ConType = TWON_ONEVALUE;
    CapBuffer capbuffer;
    capbuffer.Zero(sizeof(TW_ONEVALUE));
    capbuffer.SetU16(offsetof(TW_ONEVALUE, ItemType), a_twty);
    capbuffer.SetU32(offsetof(TW_ONEVALUE, Item), a_twpt);
    if (!CapReplace(a_ptwainimpl, &twcapability, capbuffer))
    {
        OSLOG_ERROR("DsMemAlloc failed...");
        return false;
    }
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
    CapRelease(a_ptwainimpl, &twcapability);
    return twrc == TWRC_SUCCESS;
}

// The camera's name into the caller's buffer, when it gave one.
void CameraName(const char *a_szName, size_t a_u64NameSize, char *a_szCamera, size_t a_u64CameraSize)
{
    if (a_szCamera && a_u64CameraSize)
    {
        TwainFieldText(a_szName, a_u64NameSize, a_szCamera, a_u64CameraSize);
    }
}

// The file-system walk found an entry (its name in OutputName): it becomes
// the camera, and the source is asked to change to it (InputName).
void FileCamera(CTwainImpl *a_ptwainimpl, char *a_szCamera, size_t a_u64CameraSize)
{
    TW_FILESYSTEM &twfilesystem = a_ptwainimpl->m_twfilesystem;
    TwainFieldText(twfilesystem.OutputName, sizeof(twfilesystem.OutputName), twfilesystem.InputName,
                   sizeof(twfilesystem.InputName));
    CameraName(twfilesystem.OutputName, sizeof(twfilesystem.OutputName), a_szCamera, a_u64CameraSize);
    a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfilesystem, false, false);
}

// Sets the pixel type a_twpt (named a_szName) as the camera: true when the
// source took it.
bool PixelTypeCamera(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twty, TW_UINT32 a_twpt, const char *a_szName,
                     char *a_szCamera, size_t a_u64CameraSize)
{
    if (!SetPixelType(a_ptwainimpl, a_twty, a_twpt))
    {
        return false;
    }
    CameraName(a_szName, strlen(a_szName) + 1, a_szCamera, a_u64CameraSize);
    return true;
}

// A failed open: the DSM's condition code is asked for at once and kept as
// the last one, before any later call (the close after a refused callback)
// replaces the DSM's record of it.  An open that crashed has none.
TW_UINT16 OpenFailed(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twrc)
{
    a_ptwainimpl->ReadCondition(a_twrc);
    return a_twrc;
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
        // No call was made: the program refuses the open itself (what the
        // status holds now belongs to an earlier call).
        OSLOG_ERROR("DSOpen executed in wrong state...");
        return Refuse(TWCC_SEQERROR);
    }
    if (!a_szProductName && m_blChoiceRefused)
    {
        // The source asked for could not be chosen: opening the DSM's
        // default instead would test another source.
        OSLOG_ERROR("DSOpen: dsmset chose no source, nothing is opened without a name...");
        return Refuse(TWCC_NODS);
    }

    // The DSM's memory functions: only a second-generation application may
    // ask for them, and only from a DSM that offers them (a DSM sets DF_DSM2
    // for every application, and answers an application without DF_APP2
    // TWCC_BADPROTOCOL).  Without them the program and the source use C
    // memory, as with a first-generation source.
    memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
    if ((m_twidentityApp.SupportedGroups & DF_APP2) && (m_twidentityApp.SupportedGroups & DF_DSM2))
    {
        m_twentrypoint.Size = sizeof(TW_ENTRYPOINT);
        twrc = DsmEntry(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &m_twentrypoint, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            // Nothing half-filled is used for memory.
            memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
            OSLOG_ERROR("Entry(DAT_ENTRYPOINT/MSG_GET) failed...");
            return OpenFailed(this, twrc);
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
        return OpenFailed(this, twrc);
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
            char szName[sizeof(ptwlookup->ptwenum->szName) + 1];
            TwainFieldText(ptwlookup->ptwenum->szName, sizeof(ptwlookup->ptwenum->szName), szName, sizeof(szName));
            g_poslocale->SetLanguage(COsLocale::GetLanguageId(szName));
        }
    }

    PrintIdentity(&m_twidentityDs);
    SetTwState(ETWSTATE_DSOPEN);
    m_blChoiceRefused = false;

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
            // The failing codes stay the last ones (the DSM's, asked in state
            // 3 so that the DSM answers).
            SetTwState(ETWSTATE_DSMOPEN);
            OpenFailed(this, twrc);
            if (DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_twidentityDs, false, false, ETWRECORD_NONE) !=
                TWRC_SUCCESS)
            {
                OSLOG_ERROR("Entry(DAT_IDENTITY/MSG_CLOSEDS) failed...");
            }
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
        return Refuse(TWCC_SEQERROR);
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
    // The walk lists the cameras at the file system's root, whatever
    // directory an earlier command left the source in.
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    COsString::SStrCpy(m_twfilesystem.InputName, sizeof(m_twfilesystem.InputName), "/");
    if (m_filewalkCamera.First(this, &m_twfilesystem) == CTwainFileWalk::FILEWALK_ENTRY)
    {
        FileCamera(this, a_szCamera, a_u64CameraSize);
        return TWRC_SUCCESS;
    }
    // A source without a file system refuses: that condition is read at
    // once.  One that crashed was not refused: it is said, and the walk ends.
    ReadCondition(m_filewalkCamera.Rc());
    if (CapSaidCrash(this, ""))
    {
        return TWRC_FAILURE;
    }

    // No file system: colour first, else bitonal.
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    TW_UINT16 twty = 0;
    if (!GetCurrentPixelType(this, &twty, nullptr))
    {
        return TWRC_FAILURE;
    }
    if (PixelTypeCamera(this, twty, TWPT_RGB, "TWPT_RGB", a_szCamera, a_u64CameraSize) ||
        PixelTypeCamera(this, twty, TWPT_BW, "TWPT_BW", a_szCamera, a_u64CameraSize))
    {
        return TWRC_SUCCESS;
    }
    OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
    return TWRC_FAILURE;
}

TW_UINT16 CTwainImpl::NextCamera(char *a_szCamera, size_t a_u64CameraSize)
{
    // A file-system walk is under way.
    if (m_twfilesystem.OutputName[0])
    {
        switch (m_filewalkCamera.Next(this, &m_twfilesystem))
        {
            case CTwainFileWalk::FILEWALK_ENTRY:
                FileCamera(this, a_szCamera, a_u64CameraSize);
                return TWRC_SUCCESS;
            case CTwainFileWalk::FILEWALK_END:
                return TWRC_XFERDONE;
            case CTwainFileWalk::FILEWALK_AGAIN:
                OSLOG_ERROR("NextCamera: the file system answered %.*s again, the walk ends...",
                            static_cast<int>(sizeof(m_twfilesystem.OutputName)), m_twfilesystem.OutputName);
                return TWRC_FAILURE;
            case CTwainFileWalk::FILEWALK_TOOMANY:
                OSLOG_ERROR("NextCamera: more than %d entries, the walk ends...", TWAINIMPL_FILEWALK);
                return TWRC_FAILURE;
            default:
                // A refusal ends the walk; a crash is said.
                ReadCondition(m_filewalkCamera.Rc());
                CapSaidCrash(this, "");
                return TWRC_FAILURE;
        }
    }

    // The pixel-type walk: after colour comes bitonal, and then no more.
    memset(&m_twfilesystem, 0, sizeof(m_twfilesystem));
    TW_UINT16 twty = 0;
    int32_t i32PixelType = 0;
    if (!GetCurrentPixelType(this, &twty, &i32PixelType))
    {
        return TWRC_FAILURE;
    }
    if (i32PixelType == TWPT_BW)
    {
        return TWRC_XFERDONE;
    }
    if (PixelTypeCamera(this, twty, TWPT_BW, "TWPT_BW", a_szCamera, a_u64CameraSize))
    {
        return TWRC_SUCCESS;
    }
    OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
    return TWRC_FAILURE;
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
        return Refuse(TWCC_SEQERROR);
    }

    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));

    if (m_twidentityDs.ProtocolMajor >= 2)
    {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &twcapability, false, false);
        DsMemFree(twcapability.hContainer);     // none is due, but one handed over is ours
        if (twrc != TWRC_SUCCESS)
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
        // A reset answers with the capability's value after the reset,
        // freed whatever the answer.
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &twcapability, false, false);
        DsMemFree(twcapability.hContainer);
        if (twrc != TWRC_SUCCESS)
        {
            OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_RESET) failed...");
            return TWRC_FAILURE;
        }
        TWAINLOG("%s", "reset with CAP_PROFILES...");
        return TWRC_SUCCESS;
    }

    TW_UINT16 twty = 0;
    if (!GetCurrentPixelType(this, &twty, nullptr))
    {
        return TWRC_FAILURE;
    }
    if (!SetPixelType(this, twty, TWPT_RGB))
    {
        OSLOG_ERROR("Entry(DAT_CAPABILITY/MSG_SET) failed...");
        return TWRC_FAILURE;
    }
    TWAINLOG("%s", "reset with ICAP_PIXELTYPE(TWPT_RGB)...");
    return TWRC_SUCCESS;
}
