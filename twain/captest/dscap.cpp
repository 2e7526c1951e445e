// dscap.cpp
// The capability commands get, reset and dscap: reads with the four read
// messages, per camera window and as validations in states 5 and 6, the
// reset of one capability, and the exercise battery of nine steps run over
// named capabilities or every capability of the symbol table, per camera.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "capbuffer.h"
#include "clookup.h"
#include "ctwainimpl.h"

namespace
{

const TW_UINT32 s_u32Bitonal = 0x2000;
const TW_UINT32 s_u32Colour = 0x4000;
const int s_iValidationWaits = 15;          // seconds of waiting for MSG_XFERREADY

bool Present(const char *a_szWord)
{
    return !CTwainImpl::DatWordMissing(a_szWord);
}

const char *WordAt(const char *const *a_aszWords, int a_iIndex)
{
    return CTwainImpl::DatArg(a_aszWords, a_iIndex);
}

bool Is(const char *a_szWord, const char *a_szKeyword)
{
    return CTwainImpl::DatWord(a_szWord, a_szKeyword, nullptr);
}

} // namespace

// ---------------------------------------------------------------------------
// Common pieces
// ---------------------------------------------------------------------------

// The capability a word names: a CAP/ICAP/ACAP name of the table, or a
// hexadecimal id named "CAP_%x".  False after the not-found line.
static bool ResolveCapability(CTwainImpl *a_ptwainimpl, const char *a_szWord, TwLookup *a_ptwlookup)
{
    memset(a_ptwlookup, 0, sizeof(*a_ptwlookup));
    if (!CapIsName(a_szWord))
    {
        a_ptwlookup->u32Id = COsString::StrToFastHex(a_szWord);
        snprintf(a_ptwlookup->szName, sizeof(a_ptwlookup->szName), "CAP_%x", static_cast<unsigned>(a_ptwlookup->u32Id));
        return true;
    }
    TwLookup *ptwlookup = a_ptwainimpl->m_plookup ? a_ptwainimpl->m_plookup->Lookup(a_szWord) : nullptr;
    if (!ptwlookup)
    {
        a_ptwainimpl->DatMisuse("*** %s not found ***", a_szWord);
        return false;
    }
    *a_ptwlookup = *ptwlookup;
    return true;
}

// One read (or reset) of a capability shown with the message: 0, or 1 after
// the status line.
static TW_UINT16 ReadAndShow(CTwainImpl *a_ptwainimpl, const TwLookup &a_twlookup, TW_UINT16 a_twmsg)
{
    TW_CAPABILITY twcapability;
    TW_UINT16 twrc = CapRequest(a_ptwainimpl, static_cast<TW_UINT16>(a_twlookup.u32Id), a_twmsg, &twcapability);
    if (twrc != TWRC_SUCCESS)
    {
        a_ptwainimpl->DatPrintStatus(twrc);
        CapRelease(a_ptwainimpl, &twcapability);
        return TWRC_FAILURE;
    }
    // A hexadecimal id is shown under its own name, CAP_%x.
    a_ptwainimpl->DSCapShow(&twcapability, a_twmsg, a_twlookup.szName);
    CapRelease(a_ptwainimpl, &twcapability);
    return TWRC_SUCCESS;
}

// The user interface record of the validations' enable and disable.
static TW_UINT16 UserInterface(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twmsg)
{
    TW_USERINTERFACE twuserinterface;
    memset(&twuserinterface, 0, sizeof(twuserinterface));
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, a_twmsg, &twuserinterface, false, false);
    if ((twrc == TWRC_SUCCESS) && (a_twmsg == MSG_ENABLEDS))
        a_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    return twrc;
}

// Enables the source for a validation (after clearing the transfer-ready
// flag): false after "  ...failed on MSG_ENABLEDS".
static bool ValidationEnable(CTwainImpl *a_ptwainimpl)
{
    a_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY] = 0;
    if (UserInterface(a_ptwainimpl, MSG_ENABLEDS) == TWRC_SUCCESS)
        return true;
    TWAINLOG("%s", "  ...failed on MSG_ENABLEDS");
    return false;
}

// Disables the source again.  A transfer the source announced meanwhile is
// ended first (a source cannot be disabled with transfers pending), so that
// the program's state follows the source's; an announcement that arrives
// while the disable is under way makes the source refuse it, and the
// disable is tried once more after ending that transfer.
static void ValidationDisable(CTwainImpl *a_ptwainimpl)
{
    for (int iTry = 0; iTry < 2; iTry++)
    {
        if (a_ptwainimpl->GetTwState() >= ETWSTATE_XFERREADY)
        {
            TW_PENDINGXFERS twpendingxfers;
            memset(&twpendingxfers, 0, sizeof(twpendingxfers));
            if (a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpendingxfers, false, false) ==
                TWRC_SUCCESS)
                a_ptwainimpl->SetTwState(ETWSTATE_DSENABLED);
        }
        if (UserInterface(a_ptwainimpl, MSG_DISABLEDS) == TWRC_SUCCESS)
        {
            a_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
            return;
        }
        if (a_ptwainimpl->GetTwState() < ETWSTATE_XFERREADY)
            break;
    }
    TWAINLOG("%s", "  ...failed on MSG_DISABLEDS");
}

// Up to 15 seconds for MSG_XFERREADY.
static void ValidationWait(CTwainImpl *a_ptwainimpl)
{
    for (int ii = 0; (ii < s_iValidationWaits) && !a_ptwainimpl->m_au8Event[ETWEVENT_XFERREADY]; ii++)
        COsTime::Sleep(1000, __FILE__, __LINE__);
}

// One read of a validation: a_szPassed and the container, or a_szFailed.
static void ValidationRead(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_UINT16 a_twmsg, const char *a_szPassed,
                           const char *a_szFailed)
{
    TW_CAPABILITY twcapability;
    bool blPassed = CapRequest(a_ptwainimpl, a_u16Cap, a_twmsg, &twcapability) == TWRC_SUCCESS;
    if (blPassed && (a_twmsg == MSG_QUERYSUPPORT))
        blPassed = CapQueryFlags(a_ptwainimpl, twcapability) != 0;
    TWAINLOG("%s", blPassed ? a_szPassed : a_szFailed);
    if (blPassed)
        a_ptwainimpl->DSCapShow(&twcapability, a_twmsg);
    CapRelease(a_ptwainimpl, &twcapability);
}

// The validations of get: 0 once past the capability's lookup.
static TW_UINT16 Validate(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twmsg, const char *a_szCapability)
{
    static const char *const s_aszTitle[] = {"  Validating MSG_GETCURRENT...", "  Validating MSG_GET...",
                                             "  Validating MSG_QUERYSUPPORT..."};
    int iKind = (a_twmsg == MSG_GETCURRENT) ? 0 : (a_twmsg == MSG_GET) ? 1 : 2;
    TWAINLOG("%s", "");
    TWAINLOG("%s", s_aszTitle[iKind]);

    if (iKind == 2)
    {
        char szCamera[64];
        for (TW_UINT16 twrc = a_ptwainimpl->FirstCamera(szCamera, sizeof(szCamera)); twrc == TWRC_SUCCESS;
             twrc = a_ptwainimpl->NextCamera(szCamera, sizeof(szCamera)))
        {
            TWAINLOG("  processing %s...", szCamera);
            for (uint32_t u32Id = 0; u32Id <= 0xFFFF; u32Id++)
            {
                TW_CAPABILITY twcapability;
                if (CapRequest(a_ptwainimpl, static_cast<TW_UINT16>(u32Id), MSG_QUERYSUPPORT, &twcapability) !=
                    TWRC_SUCCESS)
                {
                    TWAINLOG("Fail: 0x%04x", static_cast<unsigned>(u32Id));
                    CapSaidCrash(a_ptwainimpl, "  ");
                }
                CapRelease(a_ptwainimpl, &twcapability);
            }
        }
        TWAINLOG("%s", "  state 5 test...");
        if (!ValidationEnable(a_ptwainimpl))
            return TWRC_SUCCESS;
        ValidationRead(a_ptwainimpl, ICAP_XFERMECH, MSG_QUERYSUPPORT, "  ...TWAIN-only passed", "  ...TWAIN-only failed");
        ValidationRead(a_ptwainimpl, ICAP_PIXELTYPE, MSG_QUERYSUPPORT, "  ...Complex-Lexicon passed",
                       "  ...Complex-Lexicon failed");
        ValidationRead(a_ptwainimpl, ICAP_PHYSICALHEIGHT, MSG_QUERYSUPPORT, "  ...Simple-Lexicon passed",
                       "  ...Simple-Lexicon failed");
        ValidationDisable(a_ptwainimpl);
        ValidationWait(a_ptwainimpl);
        return TWRC_SUCCESS;
    }

    TwLookup *ptwlookup = a_ptwainimpl->m_plookup ? a_ptwainimpl->m_plookup->Lookup(a_szCapability) : nullptr;
    if (!ptwlookup)
    {
        TWAINLOG("*** %s not found ***", a_szCapability);
        return TWRC_FAILURE;
    }
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(ptwlookup->u32Id);
    TWAINLOG("%s", "  state 5 test...");
    if (!ValidationEnable(a_ptwainimpl))
        return TWRC_SUCCESS;
    if (iKind == 0)
    {
        ValidationRead(a_ptwainimpl, u16Cap, MSG_GETCURRENT, "  ...TWAIN-only passed", "  ...TWAIN-only failed");
        ValidationDisable(a_ptwainimpl);
        ValidationWait(a_ptwainimpl);
        return TWRC_SUCCESS;
    }
    ValidationRead(a_ptwainimpl, u16Cap, MSG_GET, "  ...passed", "  ...failed");
    TWAINLOG("%s", "  state 6 test...");
    ValidationWait(a_ptwainimpl);
    ValidationRead(a_ptwainimpl, u16Cap, MSG_GET, "  ...passed", "  ...failed");
    ValidationDisable(a_ptwainimpl);
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// get
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSGet(const char *const *a_aszWords)
{
    const char *szFirst = WordAt(a_aszWords, 1);
    if (!Present(szFirst))
        return DatMisuse("*** must have one argument ***");
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szSecond = WordAt(a_aszWords, 2);
    const char *szThird = WordAt(a_aszWords, 3);
    bool blTwoWords = Is(szFirst, "current") || Is(szFirst, "default") || Is(szFirst, "querysupport") ||
                      Is(szFirst, "all");
    if (blTwoWords && !Present(szSecond))
        return DatMisuse("*** must have two arguments ***");

    // The capability text as kept (63 characters at most).
    char szCapability[64] = "";
    COsString::SStrNcpy(szCapability, sizeof(szCapability), blTwoWords ? szSecond : szFirst, sizeof(szCapability) - 1);
    szCapability[sizeof(szCapability) - 1] = 0;

    TW_UINT16 twmsg = MSG_GET;
    if (Is(szFirst, "all"))
        return DSGetAll(szCapability);
    if (Is(szFirst, "querysupport"))
    {
        if (Is(szSecond, "validate"))
            return Validate(this, MSG_QUERYSUPPORT, nullptr);
        twmsg = MSG_QUERYSUPPORT;
    }
    else if (Is(szFirst, "default"))
    {
        twmsg = MSG_GETDEFAULT;
    }
    else if (Is(szFirst, "current"))
    {
        if (Is(szThird, "validate"))
            return Validate(this, MSG_GETCURRENT, szCapability);
        twmsg = MSG_GETCURRENT;
    }
    else if (Is(szSecond, "validate"))
    {
        return Validate(this, MSG_GET, szCapability);
    }

    TwLookup twlookup;
    if (!ResolveCapability(this, szCapability, &twlookup))
        return TWRC_FAILURE;
    return ReadAndShow(this, twlookup, twmsg);
}

// get all: the capability's current value in every camera window.
TW_UINT16 CTwainImpl::DSGetAll(const char *a_szCapability)
{
    TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(a_szCapability) : nullptr;
    if (!ptwlookup)
        return DatMisuse("*** %s not found ***", a_szCapability);
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(ptwlookup->u32Id);

    TW_CAPABILITY twcapabilityWindows;
    TW_UINT16 twrc = CapRequest(this, CAP_WINDOWCAMERA, MSG_GET, &twcapabilityWindows);
    if (twrc != TWRC_SUCCESS)
    {
        DatPrintStatus(twrc);
        CapRelease(this, &twcapabilityWindows);
        return TWRC_FAILURE;
    }
    CapBuffer capbufferWindows;
    capbufferWindows.Read(this, twcapabilityWindows.hContainer);
    CapRelease(this, &twcapabilityWindows);
    TW_UINT16 twtyWindows = capbufferWindows.U16(0);
    uint32_t u32Windows = capbufferWindows.ItemsHeld(CAPBUF_ENUM_ITEMS, twtyWindows, capbufferWindows.U32(CAPBUF_ENUM_NUM));

    // The one-value that selects a window.
    TW_CAPABILITY twcapabilityWindow;
    memset(&twcapabilityWindow, 0, sizeof(twcapabilityWindow));
    twcapabilityWindow.Cap = CAP_WINDOWCAMERA;
    twcapabilityWindow.ConType = TWON_ONEVALUE;
    CapBuffer capbufferWindow;
    capbufferWindow.Zero(512);
    capbufferWindow.SetU16(0, TWTY_UINT16);
    auto selectWindow = [&](TW_UINT16 a_u16Window) -> TW_UINT16 {
        capbufferWindow.SetU16(CAPBUF_ONEVALUE_ITEM, a_u16Window);
        if (!CapReplace(this, &twcapabilityWindow, capbufferWindow))
        {
            TWAINLOG("%s", "DsMemAlloc failed...");
            return TWRC_FAILURE;
        }
        TW_UINT16 twrcSet = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapabilityWindow, false, false);
        if (twrcSet != TWRC_SUCCESS)
            DatPrintStatus(twrcSet);
        return twrcSet;
    };

    for (uint32_t ii = 0; ii < u32Windows; ii++)
    {
        TW_UINT16 u16Window = static_cast<TW_UINT16>(capbufferWindows.ItemInt(CAPBUF_ENUM_ITEMS, twtyWindows, ii));
        if (selectWindow(u16Window) != TWRC_SUCCESS)
        {
            CapRelease(this, &twcapabilityWindow);
            return TWRC_FAILURE;
        }
        TW_CAPABILITY twcapability;
        twrc = CapRequest(this, u16Cap, MSG_GETCURRENT, &twcapability);
        if (twrc != TWRC_SUCCESS)
        {
            DatPrintStatus(twrc);
            CapRelease(this, &twcapability);
            CapRelease(this, &twcapabilityWindow);
            return TWRC_FAILURE;
        }
        DSCapShowOneValueWindow(&twcapability, u16Window);
        CapRelease(this, &twcapability);
    }

    // Back to the window that was current.
    uint32_t u32Current = static_cast<uint32_t>(capbufferWindows.U32(CAPBUF_ENUM_CUR));
    twrc = selectWindow(static_cast<TW_UINT16>(capbufferWindows.ItemInt(CAPBUF_ENUM_ITEMS, twtyWindows, u32Current)));
    CapRelease(this, &twcapabilityWindow);
    return (twrc == TWRC_SUCCESS) ? TWRC_SUCCESS : TWRC_FAILURE;
}

// ---------------------------------------------------------------------------
// reset
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSReset(const char *const *a_aszWords)
{
    const char *szFirst = WordAt(a_aszWords, 1);
    if (!Present(szFirst))
        return DatMisuse("*** must have one argument ***");
    if (!DatGuard())
        return TWRC_FAILURE;
    if (GetTwState() != ETWSTATE_DSOPEN)
    {
        OSLOG_ERROR("DSReset executed in wrong state (%d), needs state 4...", static_cast<int>(GetTwState()));
        return Refuse(TWCC_SEQERROR);
    }
    TwLookup twlookup;
    if (!ResolveCapability(this, szFirst, &twlookup))
        return TWRC_FAILURE;
    return ReadAndShow(this, twlookup, MSG_RESET);
}

// ---------------------------------------------------------------------------
// dscap and the battery
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSCap(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    if (GetTwState() != ETWSTATE_DSOPEN)
    {
        OSLOG_ERROR("DSCap executed in wrong state (%d), needs state 4...", static_cast<int>(GetTwState()));
        return Refuse(TWCC_SEQERROR);
    }
    const char *szFirst = WordAt(a_aszWords, 1);
    if (!Present(szFirst))
    {
        TWAINLOG("%s", "must specify a capability or 'all'...");
        return TWRC_FAILURE;
    }
    const char *szSecond = WordAt(a_aszWords, 2);
    const char *szThird = WordAt(a_aszWords, 3);
    bool blCurrent = Is(szSecond, "current") || Is(szThird, "current");
    bool blUi = Is(szSecond, "ui") || Is(szThird, "ui");

    DSResetall();

    if (Is(szFirst, "all"))
    {
        for (int iId = 0; iId <= 0xFFFF; iId++)
        {
            TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAP, iId, 0, -1) : nullptr;
            if (!ptwlookup)
                continue;
            TwLookup twlookup = *ptwlookup;
            DSCapExercise(&twlookup, blCurrent);
        }
        return TWRC_SUCCESS;
    }

    // A name that is not found is passed over; the command still fails at
    // its end (after the reset), as a capability asked for went untested.
    bool blRefused = false;
    for (int ii = 1; Present(WordAt(a_aszWords, ii)); ii++)
    {
        const char *szWord = a_aszWords[ii];
        TwLookup *ptwlookup = (m_plookup && CapIsName(szWord)) ? m_plookup->Lookup(szWord) : nullptr;
        if (!ptwlookup)
        {
            DatMisuse("*** %s not found ***", szWord);
            blRefused = true;
            continue;
        }
        TwLookup twlookup = *ptwlookup;
        if (blUi)
            DSCapConstrain(twlookup.szName, &twlookup, nullptr, true);
        else
            DSCapExercise(&twlookup, blCurrent);
        if ((twlookup.u32Id == CAP_SUPPORTEDCAPS) && Is(szSecond, "validate"))
        {
            DSSupportedCaps();
            return TWRC_SUCCESS;
        }
        if (Is(szSecond, "current"))
            return TWRC_SUCCESS;
    }
    return blRefused ? Refuse(TWCC_BADVALUE) : TWRC_SUCCESS;
}

// The nine steps of the battery for one capability.
static void Battery(CTwainImpl *a_ptwainimpl, TwLookup *a_ptwlookup, const char *a_szCamera)
{
    static const struct
    {
        const char *szHeader;
        TW_UINT16 twmsg;            // the read of steps 1 to 5
    } s_astep[] = {
        {"---MSG_QUERYSUPPORT--------------------", MSG_QUERYSUPPORT},
        {"---MSG_GETCURRENT----------------------", MSG_GETCURRENT},
        {"---MSG_GETDEFAULT----------------------", MSG_GETDEFAULT},
        {"---MSG_GET-----------------------------", MSG_GET},
        {"---MSG_RESET---------------------------", MSG_RESET},
        {"---MSG_GET/MSG_SET (TW_ONEVALUE)-------", 0},
        {"---MSG_SET (Each Item)-----------------", 0},
        {"---MSG_SET (Constrain)-----------------", 0},
        {"---MSG_SET (Error Test)----------------", 0},
    };
    const char *szName = a_ptwlookup->szName;
    for (size_t ii = 0; ii < sizeof(s_astep) / sizeof(s_astep[0]); ii++)
    {
        TWAINLOG("%s", "");
        TWAINLOG("%s", s_astep[ii].szHeader);
        switch (ii)
        {
            case 5:
                a_ptwainimpl->DSCapGetSetOneValue(szName, a_ptwlookup, a_szCamera);
                break;
            case 6:
                a_ptwainimpl->DSCapSet(szName, a_ptwlookup, a_szCamera);
                break;
            case 7:
                a_ptwainimpl->DSCapConstrain(szName, a_ptwlookup, a_szCamera, false);
                break;
            case 8:
                a_ptwainimpl->DSCapErrorTest(szName, a_ptwlookup, a_szCamera);
                break;
            default:
                a_ptwainimpl->DSCapGetReset(szName, a_ptwlookup, a_szCamera, s_astep[ii].twmsg);
                break;
        }
    }
}

TW_UINT16 CTwainImpl::DSCapExercise(TwLookup *a_ptwlookup, bool a_blCurrent)
{
    TW_CAPABILITY twcapability;
    if (CapRequest(this, static_cast<TW_UINT16>(a_ptwlookup->u32Id), MSG_QUERYSUPPORT, &twcapability) != TWRC_SUCCESS)
    {
        CapRelease(this, &twcapability);
        return DatMisuse("*** %s querysupport failed ***", a_ptwlookup->szName);
    }
    TW_UINT32 u32Flags = CapQueryFlags(this, twcapability);
    CapRelease(this, &twcapability);
    if (u32Flags == 0)
        u32Flags = s_u32Bitonal | s_u32Colour;
    unsigned uFlags = static_cast<unsigned>(u32Flags & 0xFFFFFFFF);

    if (!a_blCurrent && !(u32Flags & (s_u32Bitonal | s_u32Colour)))
    {
        TWAINLOG("%s", "");
        TWAINLOG("---MACHINE---%08x-----------------------", uFlags);
        Battery(this, a_ptwlookup, "");
        return TWRC_SUCCESS;
    }

    // The directory that is current, to come back to.
    TW_FILESYSTEM twfilesystem;
    memset(&twfilesystem, 0, sizeof(twfilesystem));
    if (DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfilesystem, false, false) != TWRC_SUCCESS)
        return DatMisuse("*** filesystem failed ***");
    char szOutput[sizeof(twfilesystem.OutputName)];
    TwainFieldText(twfilesystem.OutputName, sizeof(twfilesystem.OutputName), szOutput, sizeof(szOutput));
    if (a_blCurrent)
    {
        TWAINLOG("%s", "");
        TWAINLOG("---%s---%08x-----------------------", szOutput, uFlags);
        Battery(this, a_ptwlookup, szOutput);
        return TWRC_SUCCESS;
    }

    char szCamera[64];
    bool blFirst = true;
    for (TW_UINT16 twrc = FirstCamera(szCamera, sizeof(szCamera)); twrc == TWRC_SUCCESS;
         twrc = NextCamera(szCamera, sizeof(szCamera)))
    {
        if (!blFirst)
        {
            TWAINLOG("%s", "");
            TWAINLOG("%s", "");
        }
        blFirst = false;
        TWAINLOG("%s", "");
        TWAINLOG("---%s---%08x-----------------------", szCamera, uFlags);
        Battery(this, a_ptwlookup, szCamera);
    }
    COsString::SStrCpy(twfilesystem.InputName, sizeof(twfilesystem.InputName), szOutput);
    if (DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfilesystem, false, false) != TWRC_SUCCESS)
        return DatMisuse("*** filesystem failed ***");
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapGetReset(const char *, TwLookup *a_ptwlookup, const char *, TW_UINT16 a_twmsg,
                                     ETWRECORD a_etwrecord)
{
    if ((a_twmsg != MSG_GET) && (a_twmsg != MSG_GETCURRENT) && (a_twmsg != MSG_GETDEFAULT) && (a_twmsg != MSG_RESET) &&
        (a_twmsg != MSG_QUERYSUPPORT))
        return TWRC_FAILURE;
    TW_CAPABILITY twcapability;
    TW_UINT16 twrc = CapRequest(this, static_cast<TW_UINT16>(a_ptwlookup->u32Id), a_twmsg, &twcapability, a_etwrecord);
    if (twrc != TWRC_SUCCESS)
    {
        CapPrintStatus(this, "  ", twrc, a_etwrecord);
        CapRelease(this, &twcapability);
        return twrc;
    }
    // Shown under the record's name (a hexadecimal id's CAP_%x too).
    DSCapShow(&twcapability, a_twmsg, a_ptwlookup->szName);
    CapRelease(this, &twcapability);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapGetSetOneValue(const char *, TwLookup *a_ptwlookup, const char *)
{
    TW_CAPABILITY twcapability;
    TW_UINT16 twrc = CapRequest(this, static_cast<TW_UINT16>(a_ptwlookup->u32Id), MSG_GETCURRENT, &twcapability);
    if (twrc != TWRC_SUCCESS)
    {
        CapPrintStatus(this, "  ", twrc);
        CapRelease(this, &twcapability);
        return twrc;
    }
    // The answer goes back in a container of the program's own that holds
    // all its header claims (a 512-byte one-value grows for a wider item);
    // an array's first item goes back as a one-value.  A missing container
    // goes back missing.
    if (twcapability.hContainer || (twcapability.ConType == TWON_ARRAY))
    {
        CapBuffer capbuffer;
        capbuffer.Read(this, twcapability.hContainer);
        if (twcapability.ConType == TWON_ARRAY)
        {
            TW_UINT16 twty = capbuffer.U16(0);
            TW_UINT16 u16First = (capbuffer.U32(CAPBUF_ARRAY_NUM) > 0) ? capbuffer.U16(CAPBUF_ARRAY_ITEMS) : 0;
            capbuffer.Zero(512);
            capbuffer.SetU16(0, twty);
            capbuffer.SetU16(CAPBUF_ONEVALUE_ITEM, u16First);
            twcapability.ConType = TWON_ONEVALUE;
        }
        if (!CapReplace(this, &twcapability, capbuffer))
        {
            TWAINLOG("%s", "DsMemAlloc failed...");
            return TWRC_FAILURE;
        }
    }
    twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        CapPrintStatus(this, "  ", twrc);
        CapRelease(this, &twcapability);
        return twrc;
    }
    DSCapShow(&twcapability, MSG_GETCURRENT);
    CapRelease(this, &twcapability);
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// Stepping a connection down
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::ChangeState(ETWSTATE a_etwstateFrom, ETWSTATE a_etwstateTo, bool a_blKeep, int)
{
    int iFrom = static_cast<int>(a_etwstateFrom);
    int iTo = static_cast<int>(a_etwstateTo);
    if ((iFrom < 1) || (iFrom > 7) || (iTo < 1) || (iTo > 7))
    {
        TWAINLOG("Bad state transition: %d --> %d", iFrom, iTo);
        return TWRC_FAILURE;
    }
    if (iFrom == iTo)
        return TWRC_SUCCESS;
    if (iTo > iFrom)
    {
        if ((iFrom <= 4) && (iTo >= 5) && !a_blKeep)
            m_au8Event[ETWEVENT_XFERREADY] = 0;
        return TWRC_SUCCESS;
    }
    TW_PENDINGXFERS twpendingxfers;
    memset(&twpendingxfers, 0, sizeof(twpendingxfers));
    if (iFrom == 7)
    {
        DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpendingxfers, false, false);
        SetTwState(ETWSTATE_XFERREADY);
    }
    if ((iFrom >= 6) && (iTo <= 5))
    {
        memset(&twpendingxfers, 0, sizeof(twpendingxfers));
        DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpendingxfers, false, false);
    }
    if ((iFrom > 4) && (iTo <= 4))
        UserInterface(this, MSG_DISABLEDS);
    if ((iFrom >= 4) && (iTo <= 3))
        DSClose(nullptr);
    return TWRC_SUCCESS;
}
