// dsshow.cpp
// The display of what a Data Source hands back: a capability (its header
// line and its container in the one-value, range, enumeration or array form,
// or one value per camera window) and an identity.
//
// A container comes from the Data Source and is read only as far as it
// reaches: its size is asked of the memory family (DsMemSize), and a header,
// an item or an index beyond it is shown as a "***" line instead of read.
#include "ctwainimpl.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "clookup.h"

namespace
{

#define DSSHOW_MAXITEMS 65536   // items of one list shown at most
#define DSSHOW_SYMBOL   80      // a symbol, "(*)" included
#define DSSHOW_TEXT     1026    // a string item
#define DSSHOW_LINE     1100    // the text of one item line

#define DSSHOW_ENUMHEADER  26   // ItemType, NumItems, CurrentIndex, DefaultIndex
#define DSSHOW_ARRAYHEADER 10   // ItemType, NumItems

// A locked container and the bytes it holds.
struct ShowContainer
{
    const uint8_t *pu8;
    size_t u64Size;
};

bool Fits(const ShowContainer &a_container, size_t a_u64Offset, size_t a_u64Bytes)
{
    return (a_u64Offset <= a_container.u64Size) && (a_u64Bytes <= a_container.u64Size - a_u64Offset);
}

bool IsString(TW_UINT16 a_twty)
{
    return (a_twty >= TWTY_STR32) && (a_twty <= TWTY_STR1024);
}

// The symbol of a lookup result, copied out (the result is shared).
bool SymbolOf(const TwLookup *a_ptwlookup, char *a_szOut, size_t a_u64OutSize)
{
    if (!a_ptwlookup || !a_ptwlookup->ptwenum || !a_ptwlookup->ptwenum->szSymbol[0])
    {
        return false;
    }
    TwainFieldText(a_ptwlookup->ptwenum->szSymbol, sizeof(a_ptwlookup->ptwenum->szSymbol), a_szOut, a_u64OutSize);
    return true;
}

// The symbol of a value of a capability.
bool ValueSymbol(CLookup *a_plookup, int32_t a_i32Value, TW_UINT16 a_twcap, char *a_szOut, size_t a_u64OutSize)
{
    return a_plookup && SymbolOf(a_plookup->Lookup(ETWLOOKUP_CAPVALUE, a_i32Value, a_twcap, -1), a_szOut, a_u64OutSize);
}

// The name of an item type, else its number.
void ItemTypeName(CLookup *a_plookup, TW_UINT16 a_twty, char *a_szOut, size_t a_u64OutSize)
{
    if (!a_plookup || !SymbolOf(a_plookup->Lookup(ETWLOOKUP_TWTY, a_twty, 0, -1), a_szOut, a_u64OutSize))
    {
        COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x", static_cast<unsigned>(a_twty));
    }
}

// The container type the symbol table gives a capability; a capability it
// lacks is announced and taken as a one-value.
TW_UINT16 TableConType(CLookup *a_plookup, TW_UINT16 a_twcap)
{
    const TwLookup *ptwlookup = a_plookup ? a_plookup->Lookup(ETWLOOKUP_CAP, a_twcap, 0, -1) : nullptr;
    if (!ptwlookup)
    {
        TWAINLOG("*** loopup error, we're treat it like a onevalue ***");
        return TWON_ONEVALUE;
    }
    return static_cast<TW_UINT16>(ptwlookup->u32ConType);
}

// The names of the query-support flags set in a value, without the first comma.
void QuerySupportText(uint32_t a_u32Flags, char *a_szOut, size_t a_u64OutSize)
{
    static const struct
    {
        uint32_t u32Bit;
        const char *szText;
    } s_aflag[] = {{TWQC_WINDOW, ",WINDOW"},   {TWQC_COLOR, ",COLOR"},           {TWQC_BITONAL, ",BITONAL"},
                   {TWQC_MACHINE, ",MACHINE"}, {TWQC_GET, ",GET"},               {TWQC_GETCURRENT, ",GETCURRENT"},
                   {TWQC_GETDEFAULT, ",GETDEFAULT"}, {TWQC_SET, ",SET"},         {TWQC_SETCONSTRAINT, ",SETCONSTRAINT"},
                   {TWQC_RESET, ",RESET"}};
    char szFlags[DSSHOW_TEXT] = "";
    for (const auto &flag : s_aflag)
    {
        if (a_u32Flags & flag.u32Bit)
        {
            COsString::SStrCat(szFlags, sizeof(szFlags), flag.szText);
        }
    }
    TwainFieldText(szFlags[0] ? szFlags + 1 : szFlags, sizeof(szFlags) - 1, a_szOut, a_u64OutSize);
}

// The text of an item that is not an integer, as every form shows it (a
// string in angle brackets); false for a type that no form shows.  The
// string itself goes to a_szString when given.
bool PlainItemText(const uint8_t *a_pu8Item, TW_UINT16 a_twty, char *a_szOut, size_t a_u64OutSize,
                   char *a_szString = nullptr, size_t a_u64StringSize = 0)
{
    switch (a_twty)
    {
        case TWTY_FIX32:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%g", CTwainImpl::GetDoubleFromItem(a_pu8Item, a_twty, 0));
            return true;
        case TWTY_FRAME:
        case TWTY_FRAMEANGLE:
        {
            TW_FRAMEANGLE twframeangle;
            memset(&twframeangle, 0, sizeof(twframeangle));
            CTwainImpl::GetFrameAngleFromItem(a_pu8Item, a_twty, 0, &twframeangle);
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "left:%g top:%g right:%g bottom:%g",
                                  TwFix32ToDouble(twframeangle.Frame.Left), TwFix32ToDouble(twframeangle.Frame.Top),
                                  TwFix32ToDouble(twframeangle.Frame.Right), TwFix32ToDouble(twframeangle.Frame.Bottom));
            if (a_twty == TWTY_FRAMEANGLE)
            {
                COsString::SStrCatf(a_szOut, a_u64OutSize, " angle:%d", static_cast<int32_t>(twframeangle.Angle));
            }
            return true;
        }
        default:
            break;
    }
    if (!IsString(a_twty))
    {
        return false;
    }
    char szString[DSSHOW_TEXT] = "";
    CTwainImpl::GetStringFromItem(a_pu8Item, a_twty, 0, szString, sizeof(szString));
    COsString::SStrPrintf(a_szOut, a_u64OutSize, "<%s>", szString);
    if (a_szString)
    {
        TwainFieldText(szString, sizeof(szString), a_szString, a_u64StringSize);
    }
    return true;
}

// What the one-value and window forms show of one item.
enum EONEVALUE
{
    EONEVALUE_NONE,     // no line for this item type
    EONEVALUE_TEXT,     // the text is made
    EONEVALUE_SHORT     // the container does not hold the item
};

// The one-value text of the item at offset 2 of a container whose type the
// symbol table gives as a_twon; with a_blQuerySupport a TWTY_INT32 value
// names its flags.
EONEVALUE OneValueText(CLookup *a_plookup, TW_UINT16 a_twcap, TW_UINT16 a_twon, const ShowContainer &a_container,
                       bool a_blQuerySupport, char *a_szOut, size_t a_u64OutSize)
{
    TW_UINT16 twty = TwGetU16(a_container.pu8);
    size_t u64Width = TwItemSize(twty);
    const uint8_t *pu8Item = a_container.pu8 + 2;
    if (IsString(twty) && !Fits(a_container, 2, u64Width))
    {
        // A string reaching past the container is shown as far as it goes.
        char szString[DSSHOW_TEXT] = "";
        TwainFieldText(reinterpret_cast<const char *>(pu8Item), a_container.u64Size - 2, szString, sizeof(szString));
        COsString::SStrPrintf(a_szOut, a_u64OutSize, "<%s>", szString);
        return EONEVALUE_TEXT;
    }
    if (u64Width && !Fits(a_container, 2, u64Width))
    {
        return EONEVALUE_SHORT;
    }
    if (twty > TWTY_BOOL)
    {
        return PlainItemText(pu8Item, twty, a_szOut, a_u64OutSize) ? EONEVALUE_TEXT : EONEVALUE_NONE;
    }
    int32_t i32 = CTwainImpl::GetIntFromItem(pu8Item, twty, 0);
    uint32_t u32 = static_cast<uint32_t>(i32);
    if ((twty == TWTY_INT32) && a_blQuerySupport)
    {
        char szFlags[DSSHOW_TEXT];
        QuerySupportText(u32, szFlags, sizeof(szFlags));
        COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%08x (%s)", u32, szFlags);
        return EONEVALUE_TEXT;
    }
    if (twty == TWTY_BOOL)
    {
        i32 = (i32 != 0) ? 1 : 0;
    }
    bool blLookup = (twty != TWTY_UINT16) || (a_twon == TWON_ENUMERATION);
    if (blLookup && ValueSymbol(a_plookup, i32, a_twcap, a_szOut, a_u64OutSize))
    {
        return EONEVALUE_TEXT;
    }
    switch (twty)
    {
        case TWTY_INT8:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d (0x%02x)", static_cast<int>(u32 & 0xFF), u32 & 0xFF);
            break;
        case TWTY_INT16:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d (0x%04x)", static_cast<int>(u32 & 0xFFFF), u32 & 0xFFFF);
            break;
        case TWTY_UINT8:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d (0x%02x)", i32, u32);
            break;
        case TWTY_UINT16:
            if (blLookup)
                COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d (0x%04x)", i32, u32);
            else
                COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x", u32);
            break;
        case TWTY_BOOL:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x", u32);
            break;
        default: // TWTY_INT32, TWTY_UINT32
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d (0x%08x)", i32, u32);
            break;
    }
    return EONEVALUE_TEXT;
}

// The name of a data group of CAP_SUPPORTEDDATS, ten characters; null for
// another value.
const char *DataGroupName(int32_t a_i32Dg)
{
    switch (a_i32Dg)
    {
        case DG_CONTROL:
            return "DG_CONTROL";
        case DG_IMAGE:
            return "DG_IMAGE  ";
        case DG_AUDIO:
            return "DG_AUDIO  ";
        case DG_CUSTOM:
            return "DG_CUSTOM ";
        default:
            return nullptr;
    }
}

// The text of an integer item of an array.
void ArrayIntegerText(CLookup *a_plookup, TW_UINT16 a_twcap, TW_UINT16 a_twty, int32_t a_i32, char *a_szOut,
                      size_t a_u64OutSize)
{
    uint32_t u32 = static_cast<uint32_t>(a_i32);
    if ((a_twcap == CAP_SUPPORTEDDATS) && (a_twty == TWTY_UINT16))
    {
        if (!ValueSymbol(a_plookup, static_cast<int32_t>(u32 & 0xFFFF), a_twcap, a_szOut, a_u64OutSize))
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x", u32 & 0xFFFF);
        return;
    }
    if ((a_twcap == CAP_SUPPORTEDDATS) && ((a_twty == TWTY_UINT32) || (a_twty == TWTY_BOOL)))
    {
        // The data group in the high half (its sign kept), the data argument
        // type in the low half.
        int32_t i32Dg = a_i32 >> 16;
        uint32_t u32Dat = u32 & 0xFFFF;
        const char *szDg = DataGroupName(i32Dg);
        char szDat[DSSHOW_SYMBOL];
        if (!ValueSymbol(a_plookup, static_cast<int32_t>(u32Dat), a_twcap, szDat, sizeof(szDat)))
            COsString::SStrPrintf(szDat, sizeof(szDat), "0x%04x", u32Dat);
        if (szDg)
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "%s / %s", szDg, szDat);
        else
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x       / %s", static_cast<uint32_t>(i32Dg), szDat);
        return;
    }
    if ((a_twty != TWTY_UINT8) && ValueSymbol(a_plookup, a_i32, a_twcap, a_szOut, a_u64OutSize))
    {
        return;
    }
    switch (a_twty)
    {
        case TWTY_INT8:
        case TWTY_UINT8:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%02x", (a_twty == TWTY_UINT8) ? (u32 & 0xFF) : u32);
            break;
        case TWTY_INT32:
        case TWTY_UINT32:
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%08x", u32);
            break;
        default: // TWTY_INT16, TWTY_UINT16, TWTY_BOOL
            COsString::SStrPrintf(a_szOut, a_u64OutSize, "0x%04x", u32);
            break;
    }
}

// The items of a list that can be shown: NumItems (taken as signed, so a
// negative count shows none), cut to what the container holds.
uint32_t ReadableItems(const ShowContainer &a_container, size_t a_u64Header, int32_t a_i32NumItems, size_t a_u64Width)
{
    if ((a_i32NumItems <= 0) || (a_u64Width == 0))
    {
        return 0;
    }
    size_t u64Fit = (a_container.u64Size - a_u64Header) / a_u64Width;
    size_t u64Count = static_cast<size_t>(a_i32NumItems);
    if (u64Count > u64Fit)
        u64Count = u64Fit;
    if (u64Count > DSSHOW_MAXITEMS)
        u64Count = DSSHOW_MAXITEMS;
    return static_cast<uint32_t>(u64Count);
}

// The item lines of an enumeration or an array, each marked when it repeats
// the item just before; then what could not be shown.
void ShowItems(CLookup *a_plookup, TW_UINT16 a_twcap, TW_UINT16 a_twty, const uint8_t *a_pu8Items, uint32_t a_u32Readable,
               int32_t a_i32NumItems, bool a_blArray)
{
    size_t u64Width = TwItemSize(a_twty);
    if (u64Width == 0)
    {
        return;     // an item type no form shows: no item lines
    }
    int32_t i32Prev = 0;
    double dPrev = 0.0;
    char szPrev[DSSHOW_TEXT] = "";
    for (uint32_t ii = 0; ii < a_u32Readable; ii++)
    {
        const uint8_t *pu8Item = a_pu8Items + (u64Width * ii);
        char szText[DSSHOW_LINE] = "";
        bool blSame = false;
        if (a_twty <= TWTY_BOOL)
        {
            int32_t i32 = CTwainImpl::GetIntFromItem(pu8Item, a_twty, 0);
            blSame = (ii > 0) && (i32 == i32Prev);
            i32Prev = i32;
            if (a_blArray)
                ArrayIntegerText(a_plookup, a_twcap, a_twty, i32, szText, sizeof(szText));
            else if (!ValueSymbol(a_plookup, i32, a_twcap, szText, sizeof(szText)))
                COsString::SStrPrintf(szText, sizeof(szText), "0x%04x", static_cast<uint32_t>(i32));
        }
        else if (a_twty == TWTY_FIX32)
        {
            double d = CTwainImpl::GetDoubleFromItem(pu8Item, a_twty, 0);
            blSame = (ii > 0) && (d == dPrev);
            dPrev = d;
            PlainItemText(pu8Item, a_twty, szText, sizeof(szText));
        }
        else if (IsString(a_twty))
        {
            char szString[DSSHOW_TEXT] = "";
            PlainItemText(pu8Item, a_twty, szText, sizeof(szText), szString, sizeof(szString));
            blSame = (ii > 0) && (strcasecmp(szString, szPrev) == 0);
            COsString::SStrCpy(szPrev, sizeof(szPrev), szString);
        }
        else if (!PlainItemText(pu8Item, a_twty, szText, sizeof(szText)))
        {
            continue;   // TWTY_UNI512, TWTY_HANDLE: no line
        }
        TWAINLOG("  item:   %s%s", szText, blSame ? " *** duplicated ***" : "");
    }
    if (static_cast<int64_t>(a_u32Readable) < static_cast<int64_t>(a_i32NumItems))
    {
        TWAINLOG("  *** NumItems %d, only %u items readable ***", a_i32NumItems, a_u32Readable);
    }
}

// The prefix of a camera window: front or rear, bitonal or colour, window.
void WindowPrefix(TW_UINT16 a_u16Window, char *a_szOut, size_t a_u64OutSize)
{
    if (a_u16Window > 43)
    {
        COsString::SStrPrintf(a_szOut, a_u64OutSize, "%d: ", static_cast<int>(a_u16Window));
        return;
    }
    COsString::SStrPrintf(a_szOut, a_u64OutSize, "%c%c%02d: ", (a_u16Window & 1) ? 'R' : 'F',
                          (a_u16Window & 2) ? 'C' : 'B', static_cast<int>(a_u16Window / 4));
}

} // namespace

// ---------------------------------------------------------------------------
// Locking a container for a form
// ---------------------------------------------------------------------------
namespace
{

void ShowTooSmall(const char *a_szPrefix, const ShowContainer &a_container)
{
    TWAINLOG("%s*** container too small (%llu bytes) ***", a_szPrefix,
             static_cast<unsigned long long>(a_container.u64Size));
}

// Locks the container of a capability, which must hold at least its
// header; false (after a "***" line with the prefix, and unlocked again)
// when it cannot be read.
bool ShowLock(CTwainImpl *a_ptwainimpl, const TW_CAPABILITY *a_ptwcapability, const char *a_szPrefix,
              size_t a_u64Header, ShowContainer *a_pcontainer)
{
    a_pcontainer->pu8 = nullptr;
    a_pcontainer->u64Size = 0;
    if (!a_ptwcapability)
    {
        return false;
    }
    if (!a_ptwcapability->hContainer)
    {
        TWAINLOG("%s*** no container (null handle) ***", a_szPrefix);
        return false;
    }
    TW_MEMREF pv = a_ptwainimpl->DsMemLock(a_ptwcapability->hContainer);
    if (!pv)
    {
        TWAINLOG("%s*** the container cannot be locked ***", a_szPrefix);
        return false;
    }
    a_pcontainer->pu8 = static_cast<const uint8_t *>(pv);
    a_pcontainer->u64Size = a_ptwainimpl->DsMemSize(a_ptwcapability->hContainer, pv);
    if (!Fits(*a_pcontainer, 0, a_u64Header))
    {
        ShowTooSmall(a_szPrefix, *a_pcontainer);
        a_ptwainimpl->DsMemUnlock(a_ptwcapability->hContainer);
        return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// The header and the forms
// ---------------------------------------------------------------------------
void CTwainImpl::DSCapShow(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg, const char *a_szName)
{
    if (!a_ptwcapability)
    {
        return;
    }
    char szName[TWLOOKUP_TEXT] = "";
    const TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAP, a_ptwcapability->Cap, 0, -1) : nullptr;
    if (a_szName && a_szName[0])
        TwainFieldText(a_szName, TWLOOKUP_TEXT, szName, sizeof(szName));
    else if (ptwlookup)
        TwainFieldText(ptwlookup->szName, sizeof(ptwlookup->szName), szName, sizeof(szName));
    else
        COsString::SStrPrintf(szName, sizeof(szName), "0x%04x", static_cast<unsigned>(a_ptwcapability->Cap));
    TWAINLOG("\033[1m%-31s %04x\033[0m", szName, static_cast<unsigned>(a_ptwcapability->Cap));
    switch (a_ptwcapability->ConType)
    {
        case TWON_ARRAY:
            DSCapShowArray(a_ptwcapability, a_twmsg);
            break;
        case TWON_ENUMERATION:
            DSCapShowEnum(a_ptwcapability, a_twmsg);
            break;
        case TWON_ONEVALUE:
            DSCapShowOneValue(a_ptwcapability, a_twmsg);
            break;
        case TWON_RANGE:
            DSCapShowRange(a_ptwcapability, a_twmsg);
            break;
        default:
            break;  // another container type: the header alone
    }
}

void CTwainImpl::DSCapShowOneValue(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg)
{
    ShowContainer container;
    if (!ShowLock(this, a_ptwcapability, "  ", 2, &container))
    {
        return;
    }
    TW_UINT16 twty = TwGetU16(container.pu8);
    char szType[TWLOOKUP_TEXT];
    ItemTypeName(m_plookup, twty, szType, sizeof(szType));
    TW_UINT16 twon = TableConType(m_plookup, a_ptwcapability->Cap);
    TWAINLOG("  typ:    %s", szType);
    char szText[DSSHOW_LINE] = "";
    switch (OneValueText(m_plookup, a_ptwcapability->Cap, twon, container, a_twmsg == MSG_QUERYSUPPORT, szText,
                         sizeof(szText)))
    {
        case EONEVALUE_TEXT:
            TWAINLOG("  item:   %s", szText);
            break;
        case EONEVALUE_SHORT:
            ShowTooSmall("  ", container);
            break;
        default:
            break;  // an item type without a line: the "typ" line alone
    }
    DsMemUnlock(a_ptwcapability->hContainer);
}

void CTwainImpl::DSCapShowOneValueWindow(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_u16Window)
{
    char szPrefix[16];
    WindowPrefix(a_u16Window, szPrefix, sizeof(szPrefix));
    ShowContainer container;
    if (!ShowLock(this, a_ptwcapability, szPrefix, 2, &container))
    {
        return;
    }
    TW_UINT16 twon = TableConType(m_plookup, a_ptwcapability->Cap);
    char szText[DSSHOW_LINE] = "";
    switch (OneValueText(m_plookup, a_ptwcapability->Cap, twon, container, false, szText, sizeof(szText)))
    {
        case EONEVALUE_TEXT:
            TWAINLOG("%s%s", szPrefix, szText);
            break;
        case EONEVALUE_SHORT:
            ShowTooSmall(szPrefix, container);
            break;
        default:
            break;
    }
    DsMemUnlock(a_ptwcapability->hContainer);
}

void CTwainImpl::DSCapShowRange(TW_CAPABILITY *a_ptwcapability, TW_UINT16)
{
    ShowContainer container;
    if (!ShowLock(this, a_ptwcapability, "  ", sizeof(TW_RANGE), &container))
    {
        return;
    }
    TW_UINT16 twty = TwGetU16(container.pu8);
    char szType[TWLOOKUP_TEXT];
    ItemTypeName(m_plookup, twty, szType, sizeof(szType));
    // The values in the order shown: current, default, then minimum, maximum, step.
    static const size_t s_au64Offset[5] = {offsetof(TW_RANGE, CurrentValue), offsetof(TW_RANGE, DefaultValue),
                                           offsetof(TW_RANGE, MinValue), offsetof(TW_RANGE, MaxValue),
                                           offsetof(TW_RANGE, StepSize)};
    static const char *const s_aszLabel[5] = {"cur", "def", "min", "max", "stp"};
    for (int ii = 0; ii < 5; ii++)
    {
        const uint8_t *pu8Value = container.pu8 + s_au64Offset[ii];
        if (ii == 2 && twty <= TWTY_FIX32)
        {
            TWAINLOG("  typ:    %s", szType);
        }
        if ((twty == TWTY_INT8) || (twty == TWTY_INT16) || (twty == TWTY_INT32))
            TWAINLOG("  %s:    %d", s_aszLabel[ii], GetIntFromItem(pu8Value, TWTY_INT32, 0));
        else if (twty <= TWTY_BOOL)
            TWAINLOG("  %s:    %u", s_aszLabel[ii], static_cast<uint32_t>(GetIntFromItem(pu8Value, TWTY_UINT32, 0)));
        else if (twty == TWTY_FIX32)
            TWAINLOG("  %s:    %g", s_aszLabel[ii], GetDoubleFromItem(pu8Value, TWTY_FIX32, 0));
    }
    DsMemUnlock(a_ptwcapability->hContainer);
}

void CTwainImpl::DSCapShowEnum(TW_CAPABILITY *a_ptwcapability, TW_UINT16)
{
    ShowContainer container;
    if (!ShowLock(this, a_ptwcapability, "  ", DSSHOW_ENUMHEADER, &container))
    {
        return;
    }
    TW_UINT16 twcap = a_ptwcapability->Cap;
    TW_UINT16 twty = TwGetU16(container.pu8);
    char szType[TWLOOKUP_TEXT];
    ItemTypeName(m_plookup, twty, szType, sizeof(szType));
    int32_t i32NumItems = static_cast<int32_t>(TwGetU32(container.pu8 + offsetof(TW_ENUMERATION, NumItems)));
    const uint8_t *pu8Items = container.pu8 + DSSHOW_ENUMHEADER;
    uint32_t u32Readable = ReadableItems(container, DSSHOW_ENUMHEADER, i32NumItems, TwItemSize(twty));

    // The current and the default item.
    static const size_t s_au64Index[2] = {offsetof(TW_ENUMERATION, CurrentIndex), offsetof(TW_ENUMERATION, DefaultIndex)};
    static const char *const s_aszLabel[2] = {"curidx", "defidx"};
    for (int ii = 0; ii < 2; ii++)
    {
        int32_t i32Index = static_cast<int32_t>(TwGetU32(container.pu8 + s_au64Index[ii]));
        // An item type of unknown width has no item to read: it is shown as
        // any other type above TWTY_BOOL that is neither FIX32 nor a string.
        bool blNoWidth = (TwItemSize(twty) == 0);
        if (!blNoWidth && ((i32Index < 0) || (static_cast<uint32_t>(i32Index) >= u32Readable)))
        {
            TWAINLOG("  %s: *** index past the items *** (%d)", s_aszLabel[ii], i32Index);
            continue;
        }
        const uint8_t *pu8Item = blNoWidth ? nullptr : pu8Items + (TwItemSize(twty) * static_cast<uint32_t>(i32Index));
        int32_t i32 = (twty <= TWTY_BOOL) ? GetIntFromItem(pu8Item, twty, 0) : 0;
        char szSymbol[DSSHOW_SYMBOL];
        char szString[DSSHOW_TEXT] = "";
        if (ValueSymbol(m_plookup, i32, twcap, szSymbol, sizeof(szSymbol)))
        {
            if ((twty > TWTY_BOOL) && IsString(twty))
                GetStringFromItem(pu8Item, twty, 0, szString, sizeof(szString));
            TWAINLOG("  %s: %s (%d)", s_aszLabel[ii], (twty <= TWTY_BOOL) ? szSymbol : szString, i32Index);
        }
        else if (twty <= TWTY_BOOL)
            TWAINLOG("  %s: ***no text*** (%d)", s_aszLabel[ii], i32Index);
        else if (twty == TWTY_FIX32)
            TWAINLOG("  %s: %g (%d)", s_aszLabel[ii], GetDoubleFromItem(pu8Item, twty, 0), i32Index);
        else
            TWAINLOG("  %s: (%d)", s_aszLabel[ii], i32Index);
    }
    TWAINLOG("  typ:    %s", szType);
    TWAINLOG("  num:    %d", i32NumItems);
    ShowItems(m_plookup, twcap, twty, pu8Items, u32Readable, i32NumItems, false);
    DsMemUnlock(a_ptwcapability->hContainer);
}

void CTwainImpl::DSCapShowArray(TW_CAPABILITY *a_ptwcapability, TW_UINT16)
{
    ShowContainer container;
    if (!ShowLock(this, a_ptwcapability, "  ", DSSHOW_ARRAYHEADER, &container))
    {
        return;
    }
    TW_UINT16 twty = TwGetU16(container.pu8);
    char szType[TWLOOKUP_TEXT];
    ItemTypeName(m_plookup, twty, szType, sizeof(szType));
    int32_t i32NumItems = static_cast<int32_t>(TwGetU32(container.pu8 + offsetof(TW_ARRAY, NumItems)));
    TWAINLOG("  typ:    %s", szType);
    TWAINLOG("  num:    %d", i32NumItems);
    uint32_t u32Readable = ReadableItems(container, DSSHOW_ARRAYHEADER, i32NumItems, TwItemSize(twty));
    ShowItems(m_plookup, a_ptwcapability->Cap, twty, container.pu8 + DSSHOW_ARRAYHEADER, u32Readable, i32NumItems, true);
    DsMemUnlock(a_ptwcapability->hContainer);
}

// ---------------------------------------------------------------------------
// Identity
// ---------------------------------------------------------------------------
void CTwainImpl::DSShowIdentity(TW_IDENTITY *a_ptwidentity)
{
    if (!a_ptwidentity)
    {
        return;
    }
    const TW_IDENTITY &twidentity = *a_ptwidentity;
    char szGroups[256];
    TwainGroupText(static_cast<TW_UINT32>(static_cast<uint32_t>(twidentity.SupportedGroups)), szGroups,
                   sizeof(szGroups));
    char szLanguage[TWLOOKUP_TEXT];
    if (!ValueSymbol(m_plookup, twidentity.Version.Language, CAP_LANGUAGE, szLanguage, sizeof(szLanguage)))
        COsString::SStrPrintf(szLanguage, sizeof(szLanguage), "TWLG_0x%x", static_cast<unsigned>(twidentity.Version.Language));
    char szCountry[TWLOOKUP_TEXT];
    if (!m_plookup ||
        !SymbolOf(m_plookup->Lookup(ETWLOOKUP_TWCY, twidentity.Version.Country, 0, -1), szCountry, sizeof(szCountry)))
        COsString::SStrPrintf(szCountry, sizeof(szCountry), "TWCY_0x%x", static_cast<unsigned>(twidentity.Version.Country));
    // A text without its terminator is shown to the end of its field.
    char szManufacturer[sizeof(TW_STR32) + 1];
    char szFamily[sizeof(TW_STR32) + 1];
    char szProduct[sizeof(TW_STR32) + 1];
    char szInfo[sizeof(TW_STR32) + 1];
    TwainFieldText(twidentity.Manufacturer, sizeof(TW_STR32), szManufacturer, sizeof(szManufacturer));
    TwainFieldText(twidentity.ProductFamily, sizeof(TW_STR32), szFamily, sizeof(szFamily));
    TwainFieldText(twidentity.ProductName, sizeof(TW_STR32), szProduct, sizeof(szProduct));
    TwainFieldText(twidentity.Version.Info, sizeof(TW_STR32), szInfo, sizeof(szInfo));
    TWAINLOG("  Id.................%s", TwainInt(twidentity.Id).sz);
    TWAINLOG("  Manufacturer.......%s", szManufacturer);
    TWAINLOG("  ProductFamily......%s", szFamily);
    TWAINLOG("  ProductName........%s", szProduct);
    TWAINLOG("  Protocol...........%d.%d", twidentity.ProtocolMajor, twidentity.ProtocolMinor);
    TWAINLOG("  SupportedGroups....0x%08x (%s)", static_cast<uint32_t>(twidentity.SupportedGroups), szGroups);
    TWAINLOG("  Version............%d.%d", twidentity.Version.MajorNum, twidentity.Version.MinorNum);
    TWAINLOG("  Country............%d (%s)", twidentity.Version.Country, szCountry);
    TWAINLOG("  Language...........%d (%s)", twidentity.Version.Language, szLanguage);
    TWAINLOG("  Info...............%s", szInfo);
}
