// dscapwalk.cpp
// The set and constrain walks of the battery: every value a range or an
// enumeration offers is set (or constrained to) in turn, the capability is
// read back and shown after each step, and the first answer is put back.
//
// Each step edits a copy of the latest answer (the first one again when a
// read-back failed or changed the container's shape) and sends it in a
// handle of the program's own.
#include <cstring>

#include "capbuffer.h"
#include "clookup.h"
#include "ctwainimpl.h"

namespace
{

// The walk under way: the capability, the message of its sets, and the
// copy of the latest answer.
struct Walk
{
    CTwainImpl *ptwainimpl;
    TW_UINT16 u16Cap;
    TW_UINT16 twconType;
    TW_UINT16 twmsg;
    bool blUi;
    CapBuffer capbufferFirst;       // the answer the walk began with
    CapBuffer capbufferLatest;      // the latest answer
};

// Sends a container, prints a refusal, reads the capability back and shows
// it; the read-back becomes the latest answer when it has the walk's shape.
void Step(Walk &a_walk, const CapBuffer &a_capbuffer)
{
    CTwainImpl *ptwainimpl = a_walk.ptwainimpl;
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = a_walk.u16Cap;
    twcapability.ConType = a_walk.twconType;
    twcapability.hContainer = a_capbuffer.Handle(ptwainimpl, a_walk.twconType);
    if (twcapability.hContainer)
    {
        TW_UINT16 twrc = ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, a_walk.twmsg, &twcapability, false, false);
        if (twrc != TWRC_SUCCESS)
            CapPrintStatus(ptwainimpl, "  ", twrc);
    }
    CapRelease(ptwainimpl, &twcapability);

    // The read-back (not examined, but one that crashed is said).
    if (CapRequest(ptwainimpl, a_walk.u16Cap, MSG_GET, &twcapability) != TWRC_SUCCESS)
        CapSaidCrash(ptwainimpl, "  ");
    if (twcapability.hContainer)
    {
        if (a_walk.twconType == TWON_RANGE)
            ptwainimpl->DSCapShowRange(&twcapability, MSG_GET);
        else
            ptwainimpl->DSCapShowEnum(&twcapability, MSG_GET);
    }
    CapBuffer capbuffer;
    if ((twcapability.ConType == a_walk.twconType) && capbuffer.Read(ptwainimpl, twcapability.hContainer) &&
        (capbuffer.U16(0) == a_walk.capbufferFirst.U16(0)))
        a_walk.capbufferLatest = capbuffer;
    else
        a_walk.capbufferLatest = a_walk.capbufferFirst;
    CapRelease(ptwainimpl, &twcapability);
}

// The user-interface wait of the ui form: false when the tester cancelled
// the source's dialog (the walk ends there).  The wait has a limit: a
// source without DF_DS2 has no callback to send its close message through,
// and any source may never send it; the source is then disabled again and
// the walk goes on.
const int s_iUiWaitPolls = 600;     // 500 ms each: five minutes at the dialog

bool UiWait(Walk &a_walk)
{
    if (!a_walk.blUi)
        return true;
    CTwainImpl *ptwainimpl = a_walk.ptwainimpl;
    ptwainimpl->m_blAutoDisable = true;
    ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSOK] = 0;
    ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSREQ] = 0;
    TW_USERINTERFACE twuserinterface;
    memset(&twuserinterface, 0, sizeof(twuserinterface));
    twuserinterface.ShowUI = 1;
    twuserinterface.ModalUI = 0;
    twuserinterface.hParent = ptwainimpl->m_hParent;
    if (ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &twuserinterface, false, false) !=
        TWRC_SUCCESS)
    {
        // No wait without the dialog; a crash is no refusal, and is said.
        CapSaidCrash(ptwainimpl, "  ");
        return true;
    }
    ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    int iPolls = (ptwainimpl->m_twidentityDs.SupportedGroups & DF_DS2) ? s_iUiWaitPolls : 0;
    for (int ii = 0;; ii++)
    {
        if (ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSREQ])
            return false;
        if (ptwainimpl->m_au8Event[ETWEVENT_CLOSEDSOK])
            return true;
        if (ii >= iPolls)
            break;
        COsTime::Sleep(500, __FILE__, __LINE__);
    }
    TWAINLOG("%s", "  *** no close message from the source, going on ***");
    memset(&twuserinterface, 0, sizeof(twuserinterface));
    if (ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, false, false) ==
        TWRC_SUCCESS)
        ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    return true;
}

// The three forms of a range value announced by the set walk.
void Announce(const char *a_szWhat, const CapBuffer &a_capbuffer, size_t a_u64Offset)
{
    uint32_t u32 = a_capbuffer.Low32(a_u64Offset);
    TW_FIX32 fix32 = a_capbuffer.Fix32(a_u64Offset);
    TWAINLOG("%s", "");
    TWAINLOG("  *** %s (signed=%d unsigned=%u float=%g)***", a_szWhat, static_cast<int32_t>(u32), u32,
             TwFix32ToDouble(fix32));
}

// Copies one 8-byte range field of a_capbufferFrom into a_capbufferTo.
void CopyField(CapBuffer &a_capbufferTo, size_t a_u64To, const CapBuffer &a_capbufferFrom, size_t a_u64From)
{
    a_capbufferTo.SetU32(a_u64To, a_capbufferFrom.U32(a_u64From));
}

// The items an enumeration answer holds (its count, bounded by the block).
uint32_t EnumItems(const CapBuffer &a_capbuffer)
{
    return a_capbuffer.ItemsHeld(CAPBUF_ENUM_ITEMS, a_capbuffer.U16(0), a_capbuffer.U32(CAPBUF_ENUM_NUM));
}

} // namespace

// The common opening of both walks: the first MSG_GET, the header and the
// shape.  True when the walk goes on (a_pwalk then holds the first answer);
// else *a_ptwrc is the walk's result.
static bool WalkOpen(CTwainImpl *a_ptwainimpl, TwLookup *a_ptwlookup, bool a_blSet, Walk *a_pwalk, TW_UINT16 *a_ptwrc)
{
    TW_CAPABILITY twcapability;
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(a_ptwlookup->u32Id);
    *a_ptwrc = CapOpenTest(a_ptwainimpl, u16Cap, &twcapability);
    if (*a_ptwrc != TWRC_SUCCESS)
        return false;
    a_pwalk->ptwainimpl = a_ptwainimpl;
    a_pwalk->u16Cap = u16Cap;
    a_pwalk->twconType = twcapability.ConType;
    a_pwalk->capbufferFirst.Read(a_ptwainimpl, twcapability.hContainer);
    CapRelease(a_ptwainimpl, &twcapability);
    *a_ptwrc = TWRC_SUCCESS;
    const char *szWhat = a_blSet ? "set" : "constrain";
    if (a_pwalk->twconType == TWON_ARRAY)
        TWAINLOG("  *** we can't do any %s tests on a TW_ARRAY...", szWhat);
    else if (a_pwalk->twconType == TWON_ONEVALUE)
        TWAINLOG("  *** we can't do any %s tests on a TW_ONEVALUE...", szWhat);
    if ((a_pwalk->twconType != TWON_RANGE) && (a_pwalk->twconType != TWON_ENUMERATION))
        return false;
    // A shape too short for its own header is walked as zeros.
    if (a_pwalk->twconType == TWON_RANGE)
        a_pwalk->capbufferFirst.Grow(CAPBUF_RANGE_SIZE);
    else
        a_pwalk->capbufferFirst.Grow(CAPBUF_ENUM_ITEMS);
    a_pwalk->capbufferLatest = a_pwalk->capbufferFirst;
    return true;
}

TW_UINT16 CTwainImpl::DSCapSet(const char *, TwLookup *a_ptwlookup, const char *)
{
    Walk walk;
    TW_UINT16 twrc;
    if (!WalkOpen(this, a_ptwlookup, true, &walk, &twrc))
        return twrc;
    walk.twmsg = MSG_SET;
    walk.blUi = false;
    const CapBuffer &capbufferFirst = walk.capbufferFirst;

    if (walk.twconType == TWON_RANGE)
    {
        CapBuffer capbuffer = walk.capbufferLatest;
        Announce("set minimum value", capbuffer, CAPBUF_RANGE_MIN);
        CopyField(capbuffer, CAPBUF_RANGE_CUR, capbuffer, CAPBUF_RANGE_MIN);
        Step(walk, capbuffer);

        capbuffer = walk.capbufferLatest;
        Announce("set maximum value", capbuffer, CAPBUF_RANGE_MAX);
        CopyField(capbuffer, CAPBUF_RANGE_CUR, capbuffer, CAPBUF_RANGE_MAX);
        Step(walk, capbuffer);

        Announce("restore original value", capbufferFirst, CAPBUF_RANGE_CUR);
        Step(walk, capbufferFirst);
        return TWRC_SUCCESS;
    }

    TW_UINT32 u32Current = capbufferFirst.U32(CAPBUF_ENUM_CUR);
    uint32_t u32Items = EnumItems(capbufferFirst);
    for (uint32_t ii = 0; ii < u32Items; ii++)
    {
        TWAINLOG("%s", "");
        TWAINLOG("  *** set index (%d)***", static_cast<int>(ii));
        CapBuffer capbuffer = walk.capbufferLatest;
        capbuffer.SetU32(CAPBUF_ENUM_CUR, ii);
        Step(walk, capbuffer);
    }
    TWAINLOG("%s", "");
    TWAINLOG("  *** restore original index (%d)***", static_cast<int>(u32Current));
    CapBuffer capbuffer = walk.capbufferLatest;
    capbuffer.SetU32(CAPBUF_ENUM_CUR, u32Current);
    Step(walk, capbuffer);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapConstrain(const char *, TwLookup *a_ptwlookup, const char *, bool a_blUi)
{
    Walk walk;
    TW_UINT16 twrc;
    if (!WalkOpen(this, a_ptwlookup, false, &walk, &twrc))
        return twrc;
    walk.twmsg = m_blBothAbove201 ? MSG_SETCONSTRAINT : MSG_SET;
    walk.blUi = a_blUi;
    const CapBuffer &capbufferFirst = walk.capbufferFirst;

    if (walk.twconType == TWON_RANGE)
    {
        static const struct
        {
            const char *szLine;
            size_t u64From;         // the first answer's field the range is constrained to
        } s_astep[] = {{"  *** constrain to the minimum ***", CAPBUF_RANGE_MIN},
                       {"  *** constrain to the maximum ***", CAPBUF_RANGE_MAX}};
        for (const auto &step : s_astep)
        {
            TWAINLOG("%s", "");
            TWAINLOG("%s", step.szLine);
            CapBuffer capbuffer = walk.capbufferLatest;
            CopyField(capbuffer, CAPBUF_RANGE_MIN, capbufferFirst, step.u64From);
            CopyField(capbuffer, CAPBUF_RANGE_MAX, capbufferFirst, step.u64From);
            CopyField(capbuffer, CAPBUF_RANGE_CUR, capbufferFirst, step.u64From);
            capbuffer.SetU32(CAPBUF_RANGE_STEP, 0);
            Step(walk, capbuffer);
            if (!UiWait(walk))
                return TWRC_SUCCESS;
        }
        TWAINLOG("%s", "");
        TWAINLOG("%s", "  *** restore original value ***");
        CapBuffer capbuffer = walk.capbufferLatest;
        for (size_t u64Field : {CAPBUF_RANGE_MIN, CAPBUF_RANGE_MAX, CAPBUF_RANGE_CUR, CAPBUF_RANGE_STEP})
            CopyField(capbuffer, u64Field, capbufferFirst, u64Field);
        Step(walk, capbuffer);
        UiWait(walk);
        return TWRC_SUCCESS;
    }

    TW_UINT16 twty = capbufferFirst.U16(0);
    size_t u64Width = CapItemSize(twty);
    TW_UINT32 u32Current = capbufferFirst.U32(CAPBUF_ENUM_CUR);
    uint32_t u32Items = EnumItems(capbufferFirst);
    std::vector<uint8_t> abItem(u64Width);
    for (uint32_t ii = 0; ii < u32Items; ii++)
    {
        TWAINLOG("%s", "");
        TWAINLOG("  *** set index (%d)***", static_cast<int>(ii));
        CapBuffer capbuffer = walk.capbufferLatest;
        capbuffer.SetU32(CAPBUF_ENUM_NUM, 1);
        capbuffer.SetU32(CAPBUF_ENUM_CUR, 0);
        capbufferFirst.Get(CAPBUF_ENUM_ITEMS + ii * u64Width, abItem.data(), u64Width);
        capbuffer.Set(CAPBUF_ENUM_ITEMS, abItem.data(), u64Width);
        Step(walk, capbuffer);
        if (!UiWait(walk))
            return TWRC_SUCCESS;
    }
    TWAINLOG("%s", "");
    TWAINLOG("  *** restore original index (%d)***", static_cast<int>(u32Current));
    Step(walk, capbufferFirst);
    UiWait(walk);
    return TWRC_SUCCESS;
}
