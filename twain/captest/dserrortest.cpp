// dserrortest.cpp
// The container error tests of the battery: a capability's own container is
// sent back with MSG_SET spoiled in one way at a time (bad container and
// item types, a null handle, values out of range, extra or missing items,
// nonsense first items); each answer is named, the capability is read again
// and shown when the source's state changed, and at the end the first value
// is put back.  Nothing is judged: the output is for a tester to read.
//
// The first answer is kept whole (however long its list) for comparison and
// restore; every attempt edits a copy of the latest answer (the first one
// when a read-back failed) and travels in a handle of the program's own.
#include <cstdio>
#include <cstring>

#include "capbuffer.h"
#include "clookup.h"
#include "ctwainimpl.h"

namespace
{

// One error test under way.
struct ErrorTest
{
    CTwainImpl *ptwainimpl;
    TW_UINT16 u16Cap;
    TW_UINT16 twconType;
    CapBuffer capbufferSaved;       // the first answer, the part compared and restored
    CapBuffer capbufferLatest;      // the latest answer
    bool blDiffers;                 // the latest answer differs from the saved one
};

// What an attempt sends.
enum EAttempt
{
    EATTEMPT_CONTAINER,     // the container as given
    EATTEMPT_BADCONTYPE,    // ConType 0xFFFF
    EATTEMPT_NULLHANDLE     // no container
};

void Show(ErrorTest &a_errortest, TW_CAPABILITY *a_ptwcapability)
{
    CTwainImpl *ptwainimpl = a_errortest.ptwainimpl;
    switch (a_errortest.twconType)
    {
        case TWON_RANGE:
            ptwainimpl->DSCapShowRange(a_ptwcapability, MSG_GET);
            break;
        case TWON_ENUMERATION:
            ptwainimpl->DSCapShowEnum(a_ptwcapability, MSG_GET);
            break;
        case TWON_ARRAY:
            ptwainimpl->DSCapShowArray(a_ptwcapability, MSG_GET);
            break;
        default:
            ptwainimpl->DSCapShowOneValue(a_ptwcapability, MSG_GET);
            break;
    }
}

// One attempt: the label, MSG_SET, the status line, the read-back (shown
// when it differs from the saved answer).
void Attempt(ErrorTest &a_errortest, const char *a_szLabel, const CapBuffer &a_capbuffer, EAttempt a_eattempt)
{
    CTwainImpl *ptwainimpl = a_errortest.ptwainimpl;
    TWAINLOG("%s", a_szLabel);
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = a_errortest.u16Cap;
    twcapability.ConType = (a_eattempt == EATTEMPT_BADCONTYPE) ? 0xFFFF : a_errortest.twconType;
    if (a_eattempt != EATTEMPT_NULLHANDLE)
        twcapability.hContainer = a_capbuffer.Handle(ptwainimpl, a_errortest.twconType);
    TW_UINT16 twrc = ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
    CapPrintStatus(ptwainimpl, "        ", twrc);
    CapRelease(ptwainimpl, &twcapability);

    // The read-back: the saved bytes against as many of the new container.
    // A refused one shows nothing; its condition is read all the same, so
    // that it stands for no later attempt.  One that crashed is said.
    CapBuffer capbuffer;
    TW_UINT16 twrcGet = CapRequest(ptwainimpl, a_errortest.u16Cap, MSG_GET, &twcapability);
    if (twrcGet != TWRC_SUCCESS)
    {
        ptwainimpl->ReadCondition(twrcGet);
        CapSaidCrash(ptwainimpl, "        ");
    }
    if ((twrcGet == TWRC_SUCCESS) && capbuffer.Read(ptwainimpl, twcapability.hContainer))
    {
        const CapBuffer &capbufferSaved = a_errortest.capbufferSaved;
        a_errortest.blDiffers = !capbuffer.Holds(0, capbufferSaved.Size()) ||
                                memcmp(capbuffer.Data(), capbufferSaved.Data(), capbufferSaved.Size()) != 0;
        if (a_errortest.blDiffers)
            Show(a_errortest, &twcapability);
        a_errortest.capbufferLatest = capbuffer;
        // An answer of another shape is not edited further.
        if ((twcapability.ConType != a_errortest.twconType) || (capbuffer.U16(0) != capbufferSaved.U16(0)))
            a_errortest.capbufferLatest = capbufferSaved;
    }
    else
    {
        a_errortest.blDiffers = false;
        a_errortest.capbufferLatest = a_errortest.capbufferSaved;
    }
    CapRelease(ptwainimpl, &twcapability);
}

// The first three rows, common to every container type.
void CommonRows(ErrorTest &a_errortest, bool a_blSet)
{
    const char *szVerb = a_blSet ? "set" : "send";
    char szLabel[64];
    snprintf(szLabel, sizeof(szLabel), "  TEST: send bad container type");
    Attempt(a_errortest, szLabel, a_errortest.capbufferLatest, EATTEMPT_BADCONTYPE);
    snprintf(szLabel, sizeof(szLabel), "  TEST: %s null hcontainer", szVerb);
    Attempt(a_errortest, szLabel, a_errortest.capbufferLatest, EATTEMPT_NULLHANDLE);
    snprintf(szLabel, sizeof(szLabel), "  TEST: %s bad item type", szVerb);
    CapBuffer capbuffer = a_errortest.capbufferLatest;
    capbuffer.SetU16(0, 0xFFFF);
    Attempt(a_errortest, szLabel, capbuffer, EATTEMPT_CONTAINER);
}

// The last step of every test: the saved answer goes back when the latest
// one differs from it.
void Restore(ErrorTest &a_errortest)
{
    if (!a_errortest.blDiffers)
        return;
    CapBuffer capbuffer = a_errortest.capbufferLatest;
    capbuffer.Set(0, a_errortest.capbufferSaved.Data(), a_errortest.capbufferSaved.Size());
    Attempt(a_errortest, "  TEST: restore original settings", capbuffer, EATTEMPT_CONTAINER);
}

// The dead-beef value of an item type at the offset.
void DeadBeef(CapBuffer &a_capbuffer, size_t a_u64Offset, TW_UINT16 a_twty)
{
    static const uint8_t s_abDeadBeef[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    switch (a_twty)
    {
        case TWTY_INT32:
        case TWTY_UINT32:
        case TWTY_FIX32:
            a_capbuffer.Set(a_u64Offset, s_abDeadBeef, sizeof(s_abDeadBeef));
            break;
        case TWTY_INT16:
            a_capbuffer.SetU16(a_u64Offset, 0xEF3E);
            break;
        case TWTY_UINT16:
        case TWTY_BOOL:
            a_capbuffer.SetU16(a_u64Offset, 0xEFBE);
            break;
        case TWTY_UINT8:
        {
            uint8_t u8 = 0xEF;
            a_capbuffer.Set(a_u64Offset, &u8, 1);
            break;
        }
        case TWTY_FRAME:
        case TWTY_FRAMEANGLE:
            a_capbuffer.Set(a_u64Offset, "deadbeef", 9);
            break;
        case TWTY_STR32:
        case TWTY_STR64:
        case TWTY_STR128:
        case TWTY_STR255:
        {
            size_t u64Size = CapItemSize(a_twty);
            char szItem[sizeof(TW_STR255)];
            a_capbuffer.Get(a_u64Offset, szItem, u64Size);
            COsString::SStrCpy(szItem, u64Size, "deadbeef");
            a_capbuffer.Set(a_u64Offset, szItem, u64Size);
            break;
        }
        default:
        {
            uint8_t u8 = 0x2F;
            a_capbuffer.Set(a_u64Offset, &u8, 1);
            break;
        }
    }
}

// The saved size of a one-value: the item type and the item.
size_t OneValueSaved(TW_UINT16 a_twty)
{
    switch (a_twty)
    {
        case TWTY_INT32:
        case TWTY_UINT32:
        case TWTY_FIX32:
            return 2 + 8;
        default:
            return 2 + CapItemSize(a_twty);
    }
}

// The items a list answer holds (its count, bounded by the block).
uint32_t ListItems(const CapBuffer &a_capbuffer, size_t a_u64Items)
{
    return a_capbuffer.ItemsHeld(a_u64Items, a_capbuffer.U16(0), a_capbuffer.U32(CAPBUF_ENUM_NUM));
}

} // namespace

TW_UINT16 CTwainImpl::DSCapErrorTest(const char *, TwLookup *a_ptwlookup, const char *a_szCamera)
{
    TW_CAPABILITY twcapability;
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(a_ptwlookup->u32Id);
    TW_UINT16 twrc = CapOpenTest(this, u16Cap, &twcapability);
    if (twrc != TWRC_SUCCESS)
        return twrc;
    switch (twcapability.ConType)
    {
        case TWON_RANGE:
            return DSCapErrorRange(&twcapability, a_ptwlookup, a_szCamera);
        case TWON_ENUMERATION:
            return DSCapErrorEnum(&twcapability, a_ptwlookup, a_szCamera);
        case TWON_ARRAY:
            return DSCapErrorArray(&twcapability, a_ptwlookup, a_szCamera);
        case TWON_ONEVALUE:
            return DSCapErrorOneValue(&twcapability, a_ptwlookup, a_szCamera);
        default:
            CapRelease(this, &twcapability);
            return TWRC_SUCCESS;
    }
}

// Starts a test from the container just read (which is freed): the saved
// answer is its first a_u64Saved bytes (zero-filled where it was shorter).
static void ErrorTestBegin(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, ErrorTest *a_perrortest,
                           size_t a_u64Saved)
{
    a_perrortest->ptwainimpl = a_ptwainimpl;
    a_perrortest->u16Cap = a_ptwcapability->Cap;
    a_perrortest->twconType = a_ptwcapability->ConType;
    a_perrortest->blDiffers = false;
    CapBuffer &capbuffer = a_perrortest->capbufferSaved;
    capbuffer.Read(a_ptwainimpl, a_ptwcapability->hContainer);
    CapRelease(a_ptwainimpl, a_ptwcapability);
    a_perrortest->capbufferLatest = capbuffer;
    a_perrortest->capbufferLatest.Grow(a_u64Saved);
    capbuffer.Resize(a_u64Saved);
}

// The saved size of a list: its header and the items it holds.
static size_t ListSaved(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, size_t a_u64Items)
{
    CapBuffer capbuffer;
    capbuffer.Read(a_ptwainimpl, a_ptwcapability->hContainer);
    return a_u64Items + ListItems(capbuffer, a_u64Items) * CapItemSize(capbuffer.U16(0));
}

TW_UINT16 CTwainImpl::DSCapErrorRange(TW_CAPABILITY *a_ptwcapability, TwLookup *, const char *)
{
    ErrorTest errortest;
    ErrorTestBegin(this, a_ptwcapability, &errortest, CAPBUF_RANGE_SIZE);
    CommonRows(errortest, true);

    CapBuffer capbuffer = errortest.capbufferLatest;
    capbuffer.SetU32(CAPBUF_RANGE_CUR, static_cast<TW_UINT32>(static_cast<int64_t>(capbuffer.U32(CAPBUF_RANGE_MAX)) + 1));
    Attempt(errortest, "  TEST: set bad value", capbuffer, EATTEMPT_CONTAINER);

    capbuffer = errortest.capbufferLatest;
    capbuffer.SetU32(CAPBUF_RANGE_STEP, 0x00000000FFFFFFFFUL);
    Attempt(errortest, "  TEST: set bad step", capbuffer, EATTEMPT_CONTAINER);

    capbuffer = errortest.capbufferLatest;
    if (capbuffer.U32(CAPBUF_RANGE_MIN) != capbuffer.U32(CAPBUF_RANGE_MAX))
    {
        TW_UINT32 u32Min = capbuffer.U32(CAPBUF_RANGE_MIN);
        TW_UINT32 u32Max = capbuffer.U32(CAPBUF_RANGE_MAX);
        capbuffer.SetU32(CAPBUF_RANGE_MIN, u32Max);
        capbuffer.SetU32(CAPBUF_RANGE_MAX, u32Min);
        capbuffer.SetU32(CAPBUF_RANGE_CUR, u32Max);
        Attempt(errortest, "  TEST: set minimum larger than maximum", capbuffer, EATTEMPT_CONTAINER);

        capbuffer = errortest.capbufferLatest;
        if ((capbuffer.U32(CAPBUF_RANGE_MIN) != capbuffer.U32(CAPBUF_RANGE_MAX)) && (capbuffer.U16(0) == TWTY_FIX32) &&
            (capbuffer.Fix32(CAPBUF_RANGE_STEP).Frac == 0) && (capbuffer.Fix32(CAPBUF_RANGE_CUR).Frac == 0))
        {
            TW_FIX32 fix32 = capbuffer.Fix32(CAPBUF_RANGE_CUR);
            fix32.Frac = 0x4000;
            capbuffer.SetFix32(CAPBUF_RANGE_CUR, fix32);
            Attempt(errortest, "  TEST: set fractional value", capbuffer, EATTEMPT_CONTAINER);
        }
    }
    Restore(errortest);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapErrorEnum(TW_CAPABILITY *a_ptwcapability, TwLookup *, const char *)
{
    ErrorTest errortest;
    ErrorTestBegin(this, a_ptwcapability, &errortest, ListSaved(this, a_ptwcapability, CAPBUF_ENUM_ITEMS));
    CommonRows(errortest, true);

    CapBuffer capbuffer = errortest.capbufferLatest;
    TW_UINT16 twty = capbuffer.U16(0);
    size_t u64Width = CapItemSize(twty);
    uint32_t u32Items = ListItems(capbuffer, CAPBUF_ENUM_ITEMS);
    if (u32Items > 0)
    {
        std::vector<uint8_t> abItem(u64Width);
        capbuffer.Get(CAPBUF_ENUM_ITEMS + (u32Items - 1) * u64Width, abItem.data(), u64Width);
        capbuffer.Resize(CAPBUF_ENUM_ITEMS + u32Items * u64Width);
        capbuffer.Set(CAPBUF_ENUM_ITEMS + u32Items * u64Width, abItem.data(), u64Width);
        capbuffer.SetU32(CAPBUF_ENUM_NUM, u32Items + 1);
        Attempt(errortest, "  TEST: duplicate last item in enumeration", capbuffer, EATTEMPT_CONTAINER);
    }
    else
    {
        TWAINLOG("%s", "  TEST: duplicate last item in enumeration (skipping, NumItems is 0)");
    }

    capbuffer = errortest.capbufferLatest;
    capbuffer.SetU32(CAPBUF_ENUM_CUR, capbuffer.U32(CAPBUF_ENUM_NUM) + 1);
    Attempt(errortest, "  TEST: set value to NumItems+1", capbuffer, EATTEMPT_CONTAINER);

    capbuffer = errortest.capbufferLatest;
    DeadBeef(capbuffer, CAPBUF_ENUM_ITEMS, capbuffer.U16(0));
    Attempt(errortest, "  TEST: set first enum to dead beef", capbuffer, EATTEMPT_CONTAINER);

    capbuffer = errortest.capbufferLatest;
    capbuffer.SetU32(CAPBUF_ENUM_NUM, 0);
    Attempt(errortest, "  TEST: set empty enumeration", capbuffer, EATTEMPT_CONTAINER);
    Restore(errortest);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapErrorArray(TW_CAPABILITY *a_ptwcapability, TwLookup *, const char *)
{
    ErrorTest errortest;
    ErrorTestBegin(this, a_ptwcapability, &errortest, ListSaved(this, a_ptwcapability, CAPBUF_ARRAY_ITEMS));
    CommonRows(errortest, false);

    // The list edits take the items as 16-bit values, whatever their type;
    // the container grows by one item of its own type.
    CapBuffer capbuffer = errortest.capbufferLatest;
    size_t u64Width = CapItemSize(capbuffer.U16(0));
    uint32_t u32Items = capbuffer.ItemsHeld(CAPBUF_ARRAY_ITEMS, TWTY_UINT16, capbuffer.U32(CAPBUF_ARRAY_NUM));
    uint32_t u32Whole = ListItems(capbuffer, CAPBUF_ARRAY_ITEMS);
    if (u32Items > 0)
    {
        capbuffer.Grow(CAPBUF_ARRAY_ITEMS + (u32Whole + 1) * u64Width);
        capbuffer.SetU16(CAPBUF_ARRAY_ITEMS + u32Items * 2, capbuffer.U16(CAPBUF_ARRAY_ITEMS + (u32Items - 1) * 2));
        capbuffer.SetU32(CAPBUF_ARRAY_NUM, u32Items + 1);
        Attempt(errortest, "  TEST: duplicate last item in array", capbuffer, EATTEMPT_CONTAINER);
    }
    else
    {
        TWAINLOG("%s", "  TEST: duplicate last item in array (skipping, NumItems is 0)");
    }

    capbuffer = errortest.capbufferLatest;
    u32Items = capbuffer.ItemsHeld(CAPBUF_ARRAY_ITEMS, TWTY_UINT16, capbuffer.U32(CAPBUF_ARRAY_NUM));
    u32Whole = ListItems(capbuffer, CAPBUF_ARRAY_ITEMS);
    capbuffer.Grow(CAPBUF_ARRAY_ITEMS + (u32Whole + 1) * u64Width);
    capbuffer.SetU16(CAPBUF_ARRAY_ITEMS + u32Items * 2, 0xBEEF);
    capbuffer.SetU32(CAPBUF_ARRAY_NUM, u32Items + 1);
    Attempt(errortest, "  TEST: add 0xbeef to end of array list", capbuffer, EATTEMPT_CONTAINER);
    Restore(errortest);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSCapErrorOneValue(TW_CAPABILITY *a_ptwcapability, TwLookup *, const char *)
{
    CapBuffer capbuffer;
    capbuffer.Read(this, a_ptwcapability->hContainer);
    ErrorTest errortest;
    ErrorTestBegin(this, a_ptwcapability, &errortest, OneValueSaved(capbuffer.U16(0)));
    CommonRows(errortest, false);
    Restore(errortest);
    return TWRC_SUCCESS;
}
