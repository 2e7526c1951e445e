// dscapset.cpp
// set, and the capability handler's msg_set / msg_setconstraint: the words
// of a command become a container that is sent with MSG_SET or
// MSG_SETCONSTRAINT.
//
// The capability word is a capability name (ICAP_PIXELTYPE), or three parts
// separated by commas: the capability (a name or a hexadecimal id), the
// container type and the item type (symbols such as TWON_ONEVALUE and
// TWTY_UINT16, "TWON_0x5" forms, or hexadecimal numbers).  One value goes
// in a one-value container; several go to DSSetConstrain, which builds a
// range, an enumeration or an array.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "capbuffer.h"
#include "clookup.h"
#include "ctwainimpl.h"

namespace
{

// Sizes of the containers built here (the lists grow beyond them when their
// items need more).
const size_t s_u64OneValueSize = 512;
const size_t s_u64ArraySize = 1036;
const size_t s_u64ArraySizeStr64 = 1052;
const size_t s_u64EnumSize = 1052;

bool WordPresent(const char *a_szWord)
{
    return !CTwainImpl::DatWordMissing(a_szWord);
}

const char *Word(const char *const *a_aszWords, int a_iIndex)
{
    return CTwainImpl::DatArg(a_aszWords, a_iIndex);
}

bool IsString(TW_UINT16 a_twty)
{
    return (a_twty == TWTY_STR32) || (a_twty == TWTY_STR64) || (a_twty == TWTY_STR128) || (a_twty == TWTY_STR255);
}

// The number of a word: its leading decimal integer, 0 when it has none.
long long Number(const char *a_szWord)
{
    return a_szWord ? strtoll(a_szWord, nullptr, 10) : 0;
}

TW_FIX32 Fix32Of(const char *a_szWord)
{
    return TwDoubleToFix32(a_szWord ? strtod(a_szWord, nullptr) : 0.0);
}

// One part of a three-part word (container or item type): "<family>0x..",
// a symbol of the table (up to the next comma, or the rest of the word for
// the last part), "0x.." or bare hexadecimal digits.  False when a symbol is
// unknown or (a_blNeedComma) not followed by a comma.
bool PartValue(CLookup *a_plookup, const char *a_szPart, const char *a_szFamilyHex, bool a_blNeedComma,
               uint32_t *a_pu32Value)
{
    if ((a_szPart[0] == 'T') || (a_szPart[0] == 't'))
    {
        size_t u64Family = strlen(a_szFamilyHex);
        if (!strncasecmp(a_szPart, a_szFamilyHex, u64Family))
        {
            *a_pu32Value = COsString::StrToFastHex(a_szPart + u64Family);
            return true;
        }
        const char *szComma = strchr(a_szPart, ',');
        if (a_blNeedComma && !szComma)
            return false;
        char szSymbol[128];
        size_t u64Len = szComma ? static_cast<size_t>(szComma - a_szPart) : strlen(a_szPart);
        if (u64Len >= sizeof(szSymbol))
            return false;
        memcpy(szSymbol, a_szPart, u64Len);
        szSymbol[u64Len] = 0;
        TwLookup *ptwlookup = a_plookup ? a_plookup->Lookup(szSymbol) : nullptr;
        if (!ptwlookup || !ptwlookup->ptwenum)
            return false;
        *a_pu32Value = ptwlookup->ptwenum->u32Value;
        return true;
    }
    *a_pu32Value = COsString::StrToFastHex(a_szPart);
    return true;
}

// The item width used when a value is written (the item list's stride).
size_t WriteWidth(TW_UINT16 a_twty)
{
    return CapItemSize(a_twty);
}

// A number item: a_u64Width bytes of the value (8-byte items sign-extended).
void SetNumber(CapBuffer &a_capbuffer, size_t a_u64Offset, size_t a_u64Width, long long a_ll)
{
    if (a_u64Width >= 8)
    {
        a_capbuffer.SetU32(a_u64Offset, static_cast<TW_UINT32>(a_ll));
        return;
    }
    uint8_t ab[8];
    uint64_t u64 = static_cast<uint64_t>(a_ll);
    memcpy(ab, &u64, sizeof(ab));
    a_capbuffer.Set(a_u64Offset, ab, a_u64Width);
}

// A string item: copied only when it fits its field (else the item keeps
// what it held and the services log says why).
void SetString(CapBuffer &a_capbuffer, size_t a_u64Offset, TW_UINT16 a_twty, const char *a_szWord)
{
    size_t u64Field = CapItemSize(a_twty);
    a_capbuffer.Grow(a_u64Offset + u64Field);
    if (!a_szWord)
        return;
    char szField[sizeof(TW_STR255)];
    a_capbuffer.Get(a_u64Offset, szField, u64Field);
    COsString::SStrCpy(szField, u64Field, a_szWord);
    a_capbuffer.Set(a_u64Offset, szField, u64Field);
}

} // namespace

// ---------------------------------------------------------------------------
// The capability word, shared by DSSet and DSSetConstrain: 0 with the record
// filled, else 1 after the word's error line.
// ---------------------------------------------------------------------------
static TW_UINT16 ParseCapabilityWord(CTwainImpl *a_ptwainimpl, const char *a_szWord, TwLookup *a_ptwlookup)
{
    CLookup *plookup = a_ptwainimpl->m_plookup;
    const char *szComma = strchr(a_szWord, ',');
    if (!szComma)
    {
        TwLookup *ptwlookup = plookup ? plookup->Lookup(a_szWord) : nullptr;
        if (!ptwlookup)
        {
            a_ptwainimpl->DatMisuse("*** %s not found ***", a_szWord);
            return TWRC_FAILURE;
        }
        *a_ptwlookup = *ptwlookup;
        return TWRC_SUCCESS;
    }

    memset(a_ptwlookup, 0, sizeof(*a_ptwlookup));
    const char *szSecond = strchr(szComma + 1, ',');
    if (!szSecond)
    {
        TWAINLOG("%s", "*** must specify three hex numbers: cap, container-type, data-type ***");
        return TWRC_FAILURE;
    }

    // The capability.
    if (CapIsName(a_szWord))
    {
        char szName[128];
        size_t u64Len = static_cast<size_t>(szComma - a_szWord);
        TwLookup *ptwlookup = nullptr;
        if (u64Len < sizeof(szName))
        {
            memcpy(szName, a_szWord, u64Len);
            szName[u64Len] = 0;
            ptwlookup = plookup ? plookup->Lookup(szName) : nullptr;
        }
        if (!ptwlookup)
        {
            a_ptwainimpl->DatMisuse("*** %s not found ***", a_szWord);
            return TWRC_FAILURE;
        }
        a_ptwlookup->u32Id = ptwlookup->u32Id;
        COsString::SStrCpy(a_ptwlookup->szName, sizeof(a_ptwlookup->szName), ptwlookup->szName);
    }
    else
    {
        a_ptwlookup->u32Id = COsString::StrToFastHex(a_szWord);
        snprintf(a_ptwlookup->szName, sizeof(a_ptwlookup->szName), "CAP_%x", static_cast<unsigned>(a_ptwlookup->u32Id));
    }

    // The container type and the item type.
    if (!PartValue(plookup, szComma + 1, "TWON_0x", true, &a_ptwlookup->u32ConType) ||
        !PartValue(plookup, szSecond + 1, "TWTY_0x", false, &a_ptwlookup->u32ItemType))
    {
        a_ptwainimpl->DatMisuse("*** %s not found ***", a_szWord);
        return TWRC_FAILURE;
    }
    return TWRC_SUCCESS;
}

// The value of a symbol word of the capability: true when it names one.
static bool SymbolValue(CTwainImpl *a_ptwainimpl, const TwLookup &a_twlookup, const char *a_szWord, TW_UINT16 *a_pu16)
{
    *a_pu16 = 0;
    return a_szWord && a_ptwainimpl->m_plookup &&
           a_ptwainimpl->m_plookup->LookupEnum(a_twlookup.szName, a_szWord, a_pu16) == 1;
}

// Writes a frame (and with a_blAngle the angle of word 6) at the offset;
// false after the missing-arguments line when words are missing.
static bool SetFrame(CTwainImpl *a_ptwainimpl, CapBuffer &a_capbuffer, size_t a_u64Offset,
                     const char *const *a_aszWords, bool a_blAngle, bool a_blAngleCut)
{
    int iNeed = a_blAngle ? 7 : 6;
    for (int ii = 2; ii < iNeed; ii++)
    {
        if (!WordPresent(Word(a_aszWords, ii)))
        {
            a_ptwainimpl->DatMisuse(a_blAngle ? "*** missing arguments (we need left, top, right, bottom, angle) ***"
                                              : "*** missing arguments (we need left, top, right, bottom) ***");
            return false;
        }
    }
    for (int ii = 0; ii < 4; ii++)
        a_capbuffer.SetFix32(a_u64Offset + 4 * ii, Fix32Of(a_aszWords[2 + ii]));
    if (a_blAngle)
    {
        long long llAngle = static_cast<long long>(strtod(a_aszWords[6], nullptr));
        if (a_blAngleCut)
            llAngle = static_cast<TW_INT16>(llAngle);
        a_capbuffer.SetU32(a_u64Offset + 16, static_cast<TW_UINT32>(llAngle));
    }
    return true;
}

// The column of the item table a value is written by.
enum EFill
{
    EFILL_NEW,          // a new one-value container
    EFILL_ENUM,         // the current value of an enumerated capability
    EFILL_RANGE         // the current value of a ranged capability
};

// Fills the one-value item (ItemType at 0, the item at 2) from the value
// words: 0, or 1 after the error line.
static TW_UINT16 FillItem(CTwainImpl *a_ptwainimpl, CapBuffer &a_capbuffer, const TwLookup &a_twlookup,
                          const char *const *a_aszWords, EFill a_efill)
{
    TW_UINT16 twty = static_cast<TW_UINT16>(a_twlookup.u32ItemType);
    const char *szValue = Word(a_aszWords, 2);
    const size_t u64Item = CAPBUF_ONEVALUE_ITEM;
    a_capbuffer.SetU16(0, twty);
    a_capbuffer.Grow(u64Item + 8);
    switch (twty)
    {
        case TWTY_INT8:
        case TWTY_UINT8:
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL:
        case TWTY_INT32:
        case TWTY_UINT32:
        {
            if (a_efill == EFILL_RANGE)
            {
                if (twty == TWTY_BOOL)
                    break;
                SetNumber(a_capbuffer, u64Item, 8, Number(szValue));
                return TWRC_SUCCESS;
            }
            TW_UINT16 u16 = 0;
            bool blSymbol = SymbolValue(a_ptwainimpl, a_twlookup, szValue, &u16);
            if (a_efill == EFILL_ENUM)
            {
                if (!blSymbol)
                {
                    a_ptwainimpl->DatMisuse("*** %s not found ***", szValue ? szValue : "");
                    return TWRC_FAILURE;
                }
                a_capbuffer.SetU16(u64Item, u16);
                return TWRC_SUCCESS;
            }
            if ((twty == TWTY_INT8) || (twty == TWTY_UINT8))
                SetNumber(a_capbuffer, u64Item, 1, Number(szValue));
            else if ((twty == TWTY_INT32) || (twty == TWTY_UINT32))
                SetNumber(a_capbuffer, u64Item, 8, Number(szValue));
            else
                a_capbuffer.SetU16(u64Item, blSymbol ? u16 : static_cast<TW_UINT16>(Number(szValue)));
            return TWRC_SUCCESS;
        }
        case TWTY_FIX32:
            a_capbuffer.SetFix32(u64Item, Fix32Of(szValue));
            return TWRC_SUCCESS;
        case TWTY_FRAME:
            if (a_efill == EFILL_RANGE)
                break;
            return SetFrame(a_ptwainimpl, a_capbuffer, u64Item, a_aszWords, false, false) ? TWRC_SUCCESS
                                                                                           : TWRC_FAILURE;
        case TWTY_FRAMEANGLE:
            if (a_efill == EFILL_RANGE)
                break;
            return SetFrame(a_ptwainimpl, a_capbuffer, u64Item, a_aszWords, true, a_efill == EFILL_ENUM)
                       ? TWRC_SUCCESS
                       : TWRC_FAILURE;
        case TWTY_STR32:
        case TWTY_STR64:
        case TWTY_STR128:
        case TWTY_STR255:
            if (a_efill == EFILL_RANGE)
                break;
            SetString(a_capbuffer, u64Item, twty, szValue);
            return TWRC_SUCCESS;
        default:
            break;
    }
    a_ptwainimpl->DatMisuse("*** unrecognized datatype...%d ***", static_cast<int>(twty));
    return TWRC_FAILURE;
}

// ---------------------------------------------------------------------------
// set: one value
// ---------------------------------------------------------------------------
// The checks both entries begin with: the capability word (returned), the
// source, the word's record.  Null after the error line.
static const char *SetOpening(CTwainImpl *a_ptwainimpl, const char *const *a_aszWords, TwLookup *a_ptwlookup)
{
    const char *szCapability = Word(a_aszWords, 1);
    if (!WordPresent(szCapability))
    {
        a_ptwainimpl->DatMisuse("*** must specify a capability name ***");
        return nullptr;
    }
    if (!a_ptwainimpl->DatGuard() || (ParseCapabilityWord(a_ptwainimpl, szCapability, a_ptwlookup) != TWRC_SUCCESS))
        return nullptr;
    return szCapability;
}

TW_UINT16 CTwainImpl::DSSet(const char *const *a_aszWords, bool a_blShow)
{
    TwLookup twlookup;
    const char *szCapability = SetOpening(this, a_aszWords, &twlookup);
    if (!szCapability)
        return TWRC_FAILURE;
    TW_UINT16 twty = static_cast<TW_UINT16>(twlookup.u32ItemType);
    const char *szValue = Word(a_aszWords, 2);
    const char *szValue3 = WordPresent(szValue) ? Word(a_aszWords, 3) : nullptr;

    // Which path.
    bool blNewOneValue = false;
    if (twlookup.u32ConType == TWON_ARRAY)
    {
        if (!WordPresent(szValue) || !WordPresent(szValue3) || strcasecmp(szValue3, "onevalue"))
            return DSSetConstrain(a_aszWords, a_blShow);
        blNewOneValue = true;
    }
    else if ((twty != TWTY_FRAME) && (twty != TWTY_FRAMEANGLE) && WordPresent(szValue3))
    {
        return DSSetConstrain(a_aszWords, a_blShow);
    }
    if (!IsString(twty) && !WordPresent(szValue))
        return DatMisuse("*** must provide a value ***");
    blNewOneValue = blNewOneValue || (twlookup.u32ConType == TWON_ONEVALUE);

    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = static_cast<TW_UINT16>(twlookup.u32Id);
    CapBuffer capbuffer;
    EFill efill = EFILL_NEW;
    if (blNewOneValue)
    {
        twcapability.ConType = TWON_ONEVALUE;
        capbuffer.Zero(s_u64OneValueSize);
    }
    else
    {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &twcapability, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DatPrintStatus(twrc);
            CapRelease(this, &twcapability);
            return TWRC_FAILURE;
        }
        if ((twlookup.u32ConType != TWON_ENUMERATION) && (twlookup.u32ConType != TWON_RANGE))
        {
            CapRelease(this, &twcapability);
            DatMisuse("*** unrecognized container...%d ***", static_cast<int>(twlookup.u32ConType));
            return Refuse(TWCC_BADVALUE);
        }
        efill = (twlookup.u32ConType == TWON_ENUMERATION) ? EFILL_ENUM : EFILL_RANGE;
        // The source's answer is edited in a copy that holds a whole item.
        capbuffer.Read(this, twcapability.hContainer);
        capbuffer.Grow(CAPBUF_ONEVALUE_ITEM + ((WriteWidth(twty) > 8) ? WriteWidth(twty) : 8));
    }
    // The current value read above is only the frame of the value to set:
    // a value refused now leaves the set refused, not the read's success.
    if (FillItem(this, capbuffer, twlookup, a_aszWords, efill) != TWRC_SUCCESS)
    {
        CapRelease(this, &twcapability);
        return Refuse(TWCC_BADVALUE);
    }
    if (!CapReplace(this, &twcapability, capbuffer))
    {
        TWAINLOG("%s", "DsMemAlloc failed...");
        return Refuse(TWCC_LOWMEMORY);
    }

    // Send, report, read back.
    TW_UINT16 twmsg = strcasestr(Word(a_aszWords, 0) ? a_aszWords[0] : "", "setconstraint") ? MSG_SETCONSTRAINT
                                                                                             : MSG_SET;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, twmsg, &twcapability, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        const char *szAuto = g_pvar ? g_pvar->Get("AutoDatStatus", false) : nullptr;
        char szTwrc[64];
        char szTwcc[64];
        GetStatusStrings(twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), szAuto && !strcmp(szAuto, "true"));
        TWAINLOG("%s/%s", szTwrc, szTwcc);
    }
    // The read-back leaves the set's codes as the last ones.
    if (a_blShow)
        DSCapGetReset(szCapability, &twlookup, "", MSG_GET, ETWRECORD_NONE);

    // The program follows the language it asked for, whatever the answer.
    if ((twlookup.u32Id == CAP_LANGUAGE) && m_plookup && g_poslocale && szValue)
    {
        char szName[128] = "";
        if (m_plookup->LookupEnum(twlookup.szName, szValue, szName, sizeof(szName)) == 1)
            g_poslocale->SetLanguage(szName);
    }
    CapRelease(this, &twcapability);
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// set with several values: a range, an array or an enumeration
// ---------------------------------------------------------------------------

// One list item of an array or an enumeration from its word: 0, or 1 after
// the error line.
static TW_UINT16 ListItem(CTwainImpl *a_ptwainimpl, CapBuffer &a_capbuffer, size_t a_u64Offset,
                          const TwLookup &a_twlookup, const char *a_szWord, bool a_blFix32)
{
    TW_UINT16 twty = static_cast<TW_UINT16>(a_twlookup.u32ItemType);
    if (IsString(twty))
    {
        SetString(a_capbuffer, a_u64Offset, twty, a_szWord);
        return TWRC_SUCCESS;
    }
    if (a_blFix32 && (twty == TWTY_FIX32))
    {
        a_capbuffer.SetFix32(a_u64Offset, Fix32Of(a_szWord));
        return TWRC_SUCCESS;
    }
    long long ll = 0;
    if ((a_szWord[0] == 'T') || (a_szWord[0] == 't'))
    {
        TW_UINT16 u16 = 0;
        if (!SymbolValue(a_ptwainimpl, a_twlookup, a_szWord, &u16))
        {
            a_ptwainimpl->DatMisuse("*** %s not found ***", a_szWord);
            return TWRC_FAILURE;
        }
        ll = u16;
    }
    else
    {
        ll = Number((a_szWord[0] == '#') ? a_szWord + 1 : a_szWord);
    }
    SetNumber(a_capbuffer, a_u64Offset, WriteWidth(twty), ll);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSSetConstrain(const char *const *a_aszWords, bool a_blShow)
{
    TwLookup twlookup;
    const char *szCapability = SetOpening(this, a_aszWords, &twlookup);
    if (!szCapability)
        return TWRC_FAILURE;
    TW_UINT16 twty = static_cast<TW_UINT16>(twlookup.u32ItemType);

    // The value words: from word 2 up to the first missing or empty one.
    int iValues = 0;
    while (WordPresent(Word(a_aszWords, 2 + iValues)))
        iValues++;
    const char *const *aszValues = a_aszWords + 2;

    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = static_cast<TW_UINT16>(twlookup.u32Id);
    twcapability.ConType = static_cast<TW_UINT16>(twlookup.u32ConType);
    CapBuffer capbuffer;
    switch (twlookup.u32ConType)
    {
        case TWON_ONEVALUE:
            return DatMisuse("*** cannot constrain a TW_ONEVALUE... ***");

        case TWON_RANGE:
        {
            if (iValues < 4)
                return DatMisuse("*** missing arguments (we need current, min, max, step) ***");
            capbuffer.Zero(CAPBUF_RANGE_SIZE);
            capbuffer.SetU16(0, twty);
            const size_t au64Field[4] = {CAPBUF_RANGE_CUR, CAPBUF_RANGE_MIN, CAPBUF_RANGE_MAX, CAPBUF_RANGE_STEP};
            if (twty <= TWTY_UINT32)
            {
                for (int ii = 0; ii < 4; ii++)
                    SetNumber(capbuffer, au64Field[ii], 8, Number(aszValues[ii]));
            }
            else if (twty == TWTY_FIX32)
            {
                for (int ii = 0; ii < 4; ii++)
                    capbuffer.SetFix32(au64Field[ii], Fix32Of(aszValues[ii]));
            }
            else
            {
                if (g_poslog)
                    g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ASSERT, "Help...");
            }
            break;
        }

        case TWON_ARRAY:
        {
            if (!((twty <= TWTY_BOOL) || IsString(twty)))
                return DatMisuse("*** unrecognized datatype...%d ***", static_cast<int>(twty));
            size_t u64Width = WriteWidth(twty);
            capbuffer.Zero((twty == TWTY_STR64) ? s_u64ArraySizeStr64 : s_u64ArraySize);
            capbuffer.SetU16(0, twty);
            capbuffer.SetU32(CAPBUF_ARRAY_NUM, static_cast<TW_UINT32>(iValues));
            for (int ii = 0; ii < iValues; ii++)
            {
                if (ListItem(this, capbuffer, CAPBUF_ARRAY_ITEMS + ii * u64Width, twlookup, aszValues[ii], false) !=
                    TWRC_SUCCESS)
                    return TWRC_FAILURE;
            }
            break;
        }

        case TWON_ENUMERATION:
        {
            if (!((twty <= TWTY_BOOL) || (twty == TWTY_FIX32) || IsString(twty)))
                return DatMisuse("*** unrecognized datatype...%d ***", static_cast<int>(twty));
            size_t u64Width = WriteWidth(twty);
            int iItems = (iValues > 1) ? iValues - 1 : 0;
            TW_UINT32 u32Current = 999;
            for (int ii = 0; ii < iItems; ii++)
            {
                if (!strcasecmp(aszValues[1 + ii], aszValues[0]))
                {
                    u32Current = static_cast<TW_UINT32>(ii);
                    break;
                }
            }
            capbuffer.Zero(s_u64EnumSize);
            capbuffer.SetU16(0, twty);
            capbuffer.SetU32(CAPBUF_ENUM_NUM, static_cast<TW_UINT32>(iItems));
            capbuffer.SetU32(CAPBUF_ENUM_CUR, u32Current);
            capbuffer.SetU32(CAPBUF_ENUM_DEF, 0);
            for (int ii = 0; ii < iItems; ii++)
            {
                if (ListItem(this, capbuffer, CAPBUF_ENUM_ITEMS + ii * u64Width, twlookup, aszValues[1 + ii], true) !=
                    TWRC_SUCCESS)
                    return TWRC_FAILURE;
            }
            break;
        }

        default:
            return DatMisuse("*** unrecognized container...%d ***", static_cast<int>(twlookup.u32ConType));
    }

    twcapability.hContainer = capbuffer.Handle(this, twcapability.ConType);
    if (!twcapability.hContainer)
    {
        TWAINLOG("%s", "DsMemAlloc failed...");
        return Refuse(TWCC_LOWMEMORY);
    }
    TW_UINT16 twmsg = (a_aszWords[0] && !strcasecmp(a_aszWords[0], "setconstraint")) ? MSG_SETCONSTRAINT : MSG_SET;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, twmsg, &twcapability, false, false);
    if (twrc != TWRC_SUCCESS)
        DatPrintStatus(twrc);
    if (a_blShow)
        DSCapGetReset(szCapability, &twlookup, "", MSG_GET, ETWRECORD_NONE);
    CapRelease(this, &twcapability);
    return TWRC_SUCCESS;
}
