// dsdump.cpp
// The two looks at all capabilities of the open Data Source at once: dump,
// which writes the current state of every supported capability to the XML
// file "Dravo-DumpCaps.xml" in the desktop directory, and the validation of
// the source's CAP_SUPPORTEDCAPS list against what the source answers.
#include <bitset>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capbuffer.h"
#include "clookup.h"
#include "ctwainimpl.h"

namespace
{

const TW_UINT32 s_u32Bitonal = 0x2000;
const TW_UINT32 s_u32Colour = 0x4000;

// A text made fit for XML content and attribute values.
std::string Xml(const char *a_sz)
{
    std::string sz;
    for (const char *pc = a_sz; pc && *pc; pc++)
    {
        switch (*pc)
        {
            case '&': sz += "&amp;"; break;
            case '<': sz += "&lt;"; break;
            case '>': sz += "&gt;"; break;
            case '"': sz += "&quot;"; break;
            case '\'': sz += "&apos;"; break;
            default:
                // Control characters have no place in XML 1.0 text.
                if ((static_cast<unsigned char>(*pc) < 0x20) && (*pc != '\t') && (*pc != '\n') && (*pc != '\r'))
                    sz += '?';
                else
                    sz += *pc;
                break;
        }
    }
    return sz;
}

// The text of a string item (at most its field, terminated).
std::string ItemText(const CapBuffer &a_capbuffer, size_t a_u64Offset, TW_UINT16 a_twty)
{
    size_t u64Size = CapItemSize(a_twty);
    std::vector<char> ac(u64Size + 1, 0);
    a_capbuffer.Get(a_u64Offset, ac.data(), u64Size);
    return std::string(ac.data());
}

double Fix32At(const CapBuffer &a_capbuffer, size_t a_u64Offset)
{
    return TwFix32ToDouble(a_capbuffer.Fix32(a_u64Offset));
}

void FrameLines(COsFile *a_posfile, const CapBuffer &a_capbuffer, size_t a_u64Offset, const char *a_szIndent)
{
    a_posfile->Printf("%s<left>%g</left>\n", a_szIndent, Fix32At(a_capbuffer, a_u64Offset));
    a_posfile->Printf("%s<top>%g</top>\n", a_szIndent, Fix32At(a_capbuffer, a_u64Offset + 4));
    a_posfile->Printf("%s<right>%g</right>\n", a_szIndent, Fix32At(a_capbuffer, a_u64Offset + 8));
    a_posfile->Printf("%s<bottom>%g</bottom>\n", a_szIndent, Fix32At(a_capbuffer, a_u64Offset + 12));
}

void NeedItemType()
{
    OSLOG_ASSERT("need to add an item type...");
}

bool Is16Bit(TW_UINT16 a_twty)
{
    return (a_twty == TWTY_INT16) || (a_twty == TWTY_UINT16) || (a_twty == TWTY_BOOL);
}

bool IsString(TW_UINT16 a_twty)
{
    return (a_twty == TWTY_STR32) || (a_twty == TWTY_STR64) || (a_twty == TWTY_STR128) || (a_twty == TWTY_STR255);
}

} // namespace

// The symbol of a capability's value, or "0x%x" of it.
static std::string ValueSymbol(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, int a_iValue)
{
    TwLookup *ptwlookup =
        a_ptwainimpl->m_plookup ? a_ptwainimpl->m_plookup->Lookup(ETWLOOKUP_CAPVALUE, a_iValue, a_u16Cap, -1) : nullptr;
    char sz[TWLOOKUP_TEXT + 1];
    if (ptwlookup && ptwlookup->ptwenum && ptwlookup->ptwenum->szSymbol[0])
        TwainFieldText(ptwlookup->ptwenum->szSymbol, sizeof(ptwlookup->ptwenum->szSymbol), sz, sizeof(sz));
    else
        snprintf(sz, sizeof(sz), "0x%x", static_cast<unsigned>(a_iValue));
    return Xml(sz);
}

// ---------------------------------------------------------------------------
// dump
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSDump(const char *const *)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    if (GetTwState() != ETWSTATE_DSOPEN)
    {
        OSLOG_ERROR("DSDump executed in wrong state...");
        return Refuse(TWCC_SEQERROR);
    }
    DSResetall();

    char szPath[512] = "";
    const char *szDesktop = g_poscfg ? g_poscfg->Get(1, 6) : nullptr;
    COsFile::PathSet(szPath, sizeof(szPath), szDesktop ? szDesktop : "");
    COsFile::PathAppend(szPath, sizeof(szPath), "Dravo-DumpCaps.xml");
    // Written beside the earlier dump, which it replaces only when complete.
    std::unique_ptr<COsFile> posfile(new COsFile());
    if (posfile->OpenTemp(szPath) != OS_STS_OK)
    {
        OSLOG_ERROR("Open failed...%s", szPath);
        TWAINLOG("cannot create <%s>, the dump is not written...", szPath);
        return TWRC_FAILURE;
    }
    char szProduct[sizeof(m_twidentityDs.ProductName) + 1];
    TwainFieldText(m_twidentityDs.ProductName, sizeof(m_twidentityDs.ProductName), szProduct, sizeof(szProduct));
    posfile->Printf("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n");
    posfile->Printf("<twain productname=\"%s\">\n", Xml(szProduct).c_str());

    for (int iId = 0; iId <= 0xFFFF; iId++)
    {
        TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAP, iId, 0, -1) : nullptr;
        if (!ptwlookup)
            continue;
        TwLookup twlookup = *ptwlookup;
        TW_CAPABILITY twcapability;
        TW_UINT16 twrc = CapRequest(this, static_cast<TW_UINT16>(iId), MSG_QUERYSUPPORT, &twcapability);
        TW_UINT32 u32Flags = (twrc == TWRC_SUCCESS) ? CapQueryFlags(this, twcapability) : 0;
        CapRelease(this, &twcapability);
        if (u32Flags)
            DSCapDump(&twlookup, u32Flags, posfile.get());
    }
    posfile->Printf("</twain>\n");
    if (posfile->Commit() != OS_STS_OK)
    {
        TWAINLOG("cannot write <%s>, the dump is not written...", szPath);
        return TWRC_FAILURE;
    }
    return TWRC_SUCCESS;
}

// Sets a capability to one value in a one-value container of the program's
// own (its item type a_twty, the item's bytes a_pv); the answer is not
// examined.
static void SetOneValue(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_UINT16 a_twty, const void *a_pv,
                        size_t a_u64Size)
{
    TW_CAPABILITY twcapability;
    if (CapRequest(a_ptwainimpl, a_u16Cap, MSG_GETCURRENT, &twcapability) != TWRC_SUCCESS)
    {
        CapRelease(a_ptwainimpl, &twcapability);
        return;
    }
    CapBuffer capbuffer;
    capbuffer.Zero(CAPBUF_ONEVALUE_ITEM + ((a_u64Size > 8) ? a_u64Size : 8));
    capbuffer.SetU16(0, a_twty);
    capbuffer.Set(CAPBUF_ONEVALUE_ITEM, a_pv, a_u64Size);
    twcapability.ConType = TWON_ONEVALUE;
    if (CapReplace(a_ptwainimpl, &twcapability, capbuffer))
        a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
    CapRelease(a_ptwainimpl, &twcapability);
}

static void SetOneValue16(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_UINT16 a_twty, TW_UINT16 a_u16)
{
    SetOneValue(a_ptwainimpl, a_u16Cap, a_twty, &a_u16, sizeof(a_u16));
}

TW_UINT16 CTwainImpl::DSCapDump(TwLookup *a_ptwlookup, unsigned long a_ulFlags, COsFile *a_posfile)
{
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(a_ptwlookup->u32Id);

    // The pixel type the capability belongs to (bitonal first).
    if (a_ulFlags & (s_u32Bitonal | s_u32Colour))
    {
        TW_UINT32 u32PixelType = (a_ulFlags & s_u32Bitonal) ? TWPT_BW : TWPT_RGB;
        SetOneValue(this, ICAP_PIXELTYPE, TWTY_UINT16, &u32PixelType, sizeof(u32PixelType));
    }

    TW_CAPABILITY twcapability;
    char szName[TWLOOKUP_TEXT + 1];
    TwainFieldText(a_ptwlookup->szName, sizeof(a_ptwlookup->szName), szName, sizeof(szName));
    if (CapRequest(this, u16Cap, (a_ulFlags & TWQC_RESET) ? MSG_RESET : MSG_GET, &twcapability) != TWRC_SUCCESS)
    {
        CapRelease(this, &twcapability);
        TWAINLOG("Failed to dump...%s", szName);
        return TWRC_SUCCESS;
    }
    CapBuffer capbuffer;
    capbuffer.Read(this, twcapability.hContainer);
    TW_UINT16 twconType = twcapability.ConType;
    CapRelease(this, &twcapability);
    TW_UINT16 twty = capbuffer.U16(0);

    char szType[TWLOOKUP_TEXT + 1];
    TwLookup *ptwlookupType = m_plookup ? m_plookup->Lookup(ETWLOOKUP_TWTY, twty, 0, -1) : nullptr;
    if (ptwlookupType && ptwlookupType->ptwenum && ptwlookupType->ptwenum->szSymbol[0])
        TwainFieldText(ptwlookupType->ptwenum->szSymbol, sizeof(ptwlookupType->ptwenum->szSymbol), szType,
                       sizeof(szType));
    else
        snprintf(szType, sizeof(szType), "0x%04x", static_cast<unsigned>(twty));

    COsFile *posfile = a_posfile;
    posfile->Printf("\t<capability>\n");
    posfile->Printf("\t<name>%s</name>\n", Xml(szName).c_str());
    posfile->Printf("\t\t<specification>%s</specification>\n", (u16Cap >= 0x8000) ? "wexto" : "twain");
    posfile->Printf("\t\t<itemtype>%s</itemtype>\n", Xml(szType).c_str());

    size_t u64Width = CapItemSize(twty);
    if (twconType == TWON_ENUMERATION)
    {
        uint32_t u32Items = capbuffer.ItemsHeld(CAPBUF_ENUM_ITEMS, twty, capbuffer.U32(CAPBUF_ENUM_NUM));
        uint32_t u32Cur = static_cast<uint32_t>(capbuffer.U32(CAPBUF_ENUM_CUR));
        uint32_t u32Def = static_cast<uint32_t>(capbuffer.U32(CAPBUF_ENUM_DEF));
        auto item = [&](uint32_t a_u32Index) { return CAPBUF_ENUM_ITEMS + static_cast<size_t>(a_u32Index) * u64Width; };
        posfile->Printf("\t\t<enumeration>\n");
        if (Is16Bit(twty))
        {
            posfile->Printf("\t\t\t<current>%s</current>\n",
                            ValueSymbol(this, u16Cap, capbuffer.ItemInt(CAPBUF_ENUM_ITEMS, twty, u32Cur)).c_str());
            posfile->Printf("\t\t\t<default>%s</default>\n",
                            ValueSymbol(this, u16Cap, capbuffer.ItemInt(CAPBUF_ENUM_ITEMS, twty, u32Def)).c_str());
            posfile->Printf("\t\t\t<numitems>%d</numitems>\n", static_cast<int>(u32Items));
            for (uint32_t ii = 0; ii < u32Items; ii++)
                posfile->Printf("\t\t\t<item>%s</item>\n",
                                ValueSymbol(this, u16Cap, capbuffer.ItemInt(CAPBUF_ENUM_ITEMS, twty, ii)).c_str());
        }
        else if (twty == TWTY_FIX32)
        {
            posfile->Printf("\t\t\t<current>%g</current>\n", capbuffer.ItemDouble(CAPBUF_ENUM_ITEMS, twty, u32Cur));
            posfile->Printf("\t\t\t<default>%g</default>\n", capbuffer.ItemDouble(CAPBUF_ENUM_ITEMS, twty, u32Def));
            posfile->Printf("\t\t\t<numitems>%d</numitems>\n", static_cast<int>(u32Items));
            for (uint32_t ii = 0; ii < u32Items; ii++)
                posfile->Printf("\t\t\t<item>%g</item>\n", capbuffer.ItemDouble(CAPBUF_ENUM_ITEMS, twty, ii));
        }
        else if (twty == TWTY_FRAME)
        {
            posfile->Printf("\t\t\t<currentframe>\n");
            FrameLines(posfile, capbuffer, item(u32Cur), "\t\t\t\t");
            posfile->Printf("\t\t\t</currentframe>\n");
            posfile->Printf("\t\t\t<defaultframe>\n");
            FrameLines(posfile, capbuffer, item(u32Def), "\t\t\t\t");
            posfile->Printf("\t\t\t</defaultframe>\n");
            posfile->Printf("\t\t\t<numitems>%d</numitems>\n", static_cast<int>(u32Items));
            for (uint32_t ii = 0; ii < u32Items; ii++)
            {
                posfile->Printf("\t\t\t<itemframe>\n");
                FrameLines(posfile, capbuffer, item(ii), "\t\t\t\t");
                posfile->Printf("\t\t\t</itemframe>\n");
            }
        }
        else if (IsString(twty))
        {
            posfile->Printf("\t\t\t<current>%s</current>\n", Xml(ItemText(capbuffer, item(u32Cur), twty).c_str()).c_str());
            posfile->Printf("\t\t\t<default>%s</default>\n", Xml(ItemText(capbuffer, item(u32Def), twty).c_str()).c_str());
            posfile->Printf("\t\t\t<numitems>%d</numitems>\n", static_cast<int>(u32Items));
            for (uint32_t ii = 0; ii < u32Items; ii++)
                posfile->Printf("\t\t\t<item>%s</item>\n", Xml(ItemText(capbuffer, item(ii), twty).c_str()).c_str());
        }
        else
        {
            NeedItemType();
        }
        posfile->Printf("\t\t</enumeration>\n");
    }
    else if (twconType == TWON_RANGE)
    {
        static const char *const s_aszTag[] = {"currentvalue", "defaultvalue", "maxvalue", "minvalue", "setsize"};
        static const size_t s_au64Field[] = {CAPBUF_RANGE_CUR, CAPBUF_RANGE_DEF, CAPBUF_RANGE_MAX, CAPBUF_RANGE_MIN,
                                             CAPBUF_RANGE_STEP};
        posfile->Printf("\t\t<range>\n");
        if ((twty == TWTY_INT16) || (twty == TWTY_INT32) || (twty == TWTY_UINT16) || (twty == TWTY_UINT32) ||
            (twty == TWTY_FIX32))
        {
            for (int ii = 0; ii < 5; ii++)
            {
                uint32_t u32 = capbuffer.Low32(s_au64Field[ii]);
                if (twty == TWTY_INT16)
                    posfile->Printf("\t\t\t<%s>%d</%s>\n", s_aszTag[ii], static_cast<int>(static_cast<int16_t>(u32)),
                                    s_aszTag[ii]);
                else if (twty == TWTY_INT32)
                    posfile->Printf("\t\t\t<%s>%d</%s>\n", s_aszTag[ii], static_cast<int>(u32), s_aszTag[ii]);
                else if (twty == TWTY_UINT16)
                    posfile->Printf("\t\t\t<%s>%u</%s>\n", s_aszTag[ii], static_cast<unsigned>(u32 & 0xFFFF),
                                    s_aszTag[ii]);
                else if (twty == TWTY_UINT32)
                    posfile->Printf("\t\t\t<%s>%u</%s>\n", s_aszTag[ii], u32, s_aszTag[ii]);
                else
                    posfile->Printf("\t\t\t<%s>%g</%s>\n", s_aszTag[ii], Fix32At(capbuffer, s_au64Field[ii]),
                                    s_aszTag[ii]);
            }
        }
        else
        {
            NeedItemType();
        }
        posfile->Printf("\t\t</range>\n");
    }
    else if (twconType == TWON_ARRAY)
    {
        uint32_t u32Items = capbuffer.ItemsHeld(CAPBUF_ARRAY_ITEMS, twty, capbuffer.U32(CAPBUF_ARRAY_NUM));
        posfile->Printf("\t\t<array>\n");
        posfile->Printf("\t\t<numitems>%d</numitems>\n", static_cast<int>(u32Items));
        for (uint32_t ii = 0; ii < u32Items; ii++)
        {
            int iValue = capbuffer.ItemInt(CAPBUF_ARRAY_ITEMS, twty, ii) & 0xFFFF;
            std::string szItem;
            if (u16Cap == CAP_SUPPORTEDCAPS)
            {
                TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAP, iValue, 0, -1) : nullptr;
                char sz[TWLOOKUP_TEXT + 1];
                if (ptwlookup)
                    TwainFieldText(ptwlookup->szName, sizeof(ptwlookup->szName), sz, sizeof(sz));
                else
                    snprintf(sz, sizeof(sz), "0x%x", static_cast<unsigned>(iValue));
                szItem = Xml(sz);
            }
            else
            {
                szItem = ValueSymbol(this, u16Cap, iValue);
            }
            posfile->Printf("\t\t\t<item>%s</item>\n", szItem.c_str());
        }
        posfile->Printf("\t\t</array>\n");
    }
    else
    {
        posfile->Printf("\t\t<onevalue>\n");
        uint32_t u32 = capbuffer.Low32(CAPBUF_ONEVALUE_ITEM);
        switch (twty)
        {
            case TWTY_INT16:
                posfile->Printf("\t\t\t<item>%d</item>\n", static_cast<int>(static_cast<int16_t>(u32)));
                break;
            case TWTY_INT32:
                posfile->Printf("\t\t\t<item>%d</item>\n", static_cast<int>(u32));
                break;
            case TWTY_UINT16:
            case TWTY_BOOL:
                posfile->Printf("\t\t\t<item>%u</item>\n", static_cast<unsigned>(u32 & 0xFFFF));
                break;
            case TWTY_UINT32:
                posfile->Printf("\t\t\t<item>%u</item>\n", u32);
                break;
            case TWTY_FIX32:
                posfile->Printf("\t\t\t<item>%g</item>\n", Fix32At(capbuffer, CAPBUF_ONEVALUE_ITEM));
                break;
            case TWTY_FRAME:
                posfile->Printf("\t\t\t<frame>\n");
                FrameLines(posfile, capbuffer, CAPBUF_ONEVALUE_ITEM, "\t\t\t\t");
                posfile->Printf("\t\t\t</frame>\n");
                break;
            default:
                if (IsString(twty))
                    posfile->Printf("\t\t\t<item>%s</item>\n",
                                    Xml(ItemText(capbuffer, CAPBUF_ONEVALUE_ITEM, twty).c_str()).c_str());
                else
                    NeedItemType();
                break;
        }
        posfile->Printf("\t\t</onevalue>\n");
    }
    posfile->Printf("\t</capability>\n");
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// The supported-capability validation
// ---------------------------------------------------------------------------

// The name of a capability id for the validation's lines.
static void ValidationLine(CTwainImpl *a_ptwainimpl, const char *a_szWhat, TW_UINT16 a_u16Cap)
{
    TwLookup *ptwlookup = a_ptwainimpl->m_plookup ? a_ptwainimpl->m_plookup->Lookup(ETWLOOKUP_CAP, a_u16Cap, 0, -1)
                                                  : nullptr;
    if (ptwlookup)
    {
        char sz[TWLOOKUP_TEXT + 1];
        TwainFieldText(ptwlookup->szName, sizeof(ptwlookup->szName), sz, sizeof(sz));
        TWAINLOG("  %s %s", a_szWhat, sz);
    }
    else
    {
        TWAINLOG("  %s CAP_0x%x (and fix lookup.dbc)", a_szWhat, static_cast<unsigned>(a_u16Cap));
    }
}

void CTwainImpl::DSSupportedCaps()
{
    std::unique_ptr<std::bitset<0x10000>> pbitsetMask(new std::bitset<0x10000>());
    std::bitset<0x10000> &bitsetMask = *pbitsetMask;
    TWAINLOG("%s", "");
    TWAINLOG("%s", "---Validating--------------------------");

    TW_CAPABILITY twcapability;
    TW_UINT16 twrcReset = CapRequest(this, 0, MSG_RESETALL, &twcapability);
    CapRelease(this, &twcapability);
    if (twrcReset != TWRC_SUCCESS)
    {
        TWAINLOG("%s", "  failed to get resetall...");
        return;
    }
    if (CapRequest(this, CAP_SUPPORTEDCAPS, MSG_GET, &twcapability) != TWRC_SUCCESS)
    {
        CapRelease(this, &twcapability);
        TWAINLOG("%s", "  failed to get CAP_SUPPORTEDCAPS...");
        return;
    }
    CapBuffer capbuffer;
    capbuffer.Read(this, twcapability.hContainer);
    CapRelease(this, &twcapability);
    TW_UINT16 twty = capbuffer.U16(0);
    int32_t i32Count = static_cast<int32_t>(capbuffer.Low32(CAPBUF_ARRAY_NUM));
    uint32_t u32Count = capbuffer.ItemsHeld(CAPBUF_ARRAY_ITEMS, twty, (i32Count > 0) ? static_cast<TW_UINT32>(i32Count) : 0);
    std::vector<TW_UINT16> au16List;
    std::unique_ptr<std::bitset<0x10000>> pbitsetListed(new std::bitset<0x10000>());
    for (uint32_t ii = 0; ii < u32Count; ii++)
    {
        au16List.push_back(static_cast<TW_UINT16>(capbuffer.ItemInt(CAPBUF_ARRAY_ITEMS, twty, ii)));
        pbitsetListed->set(au16List.back());
    }

    // The enabling chain: what makes other capabilities answer.
    if (!au16List.empty())
    {
        const std::bitset<0x10000> &listed = *pbitsetListed;
        if (listed[CAP_SIDESDIFFERENT])
            SetOneValue16(this, CAP_SIDESDIFFERENT, TWTY_BOOL, 1);
        if (listed[ICAP_FRAMES])
        {
            TW_FRAME twframe;
            memset(&twframe, 0, sizeof(twframe));
            twframe.Left.Whole = 1;
            twframe.Top.Whole = 1;
            twframe.Right.Whole = 2;
            twframe.Bottom.Whole = 2;
            SetOneValue(this, ICAP_FRAMES, TWTY_FRAME, &twframe, sizeof(twframe));
        }
        if (listed[ICAP_CROPPINGMODE])
            SetOneValue16(this, ICAP_CROPPINGMODE, TWTY_UINT16, 1);
        if (listed[ICAP_IMAGEEDGEFILL])
            SetOneValue16(this, ICAP_IMAGEEDGEFILL, TWTY_UINT16, 2);
        if (listed[CAP_PAGESIZELIMIT])
        {
            if (CapRequest(this, CAP_PAGESIZELIMIT, MSG_GET, &twcapability) == TWRC_SUCCESS)
            {
                CapBuffer capbufferRange;
                capbufferRange.Read(this, twcapability.hContainer);
                capbufferRange.SetU32(CAPBUF_RANGE_CUR, capbufferRange.U32(CAPBUF_RANGE_MAX));
                twcapability.ConType = TWON_RANGE;
                if (CapReplace(this, &twcapability, capbufferRange))
                    DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
            }
            CapRelease(this, &twcapability);
        }
        if (listed[ICAP_HALFTONES])
        {
            TW_STR32 szHalftone;
            memset(szHalftone, 0, sizeof(szHalftone));
            COsString::SStrCpy(szHalftone, sizeof(szHalftone), "Fixed Thresholding");
            SetOneValue(this, ICAP_HALFTONES, TWTY_STR32, szHalftone, sizeof(szHalftone));
        }
        if (listed[ICAP_FILTERENUM])
            SetOneValue16(this, ICAP_FILTERENUM, TWTY_UINT16, 0);
        if (listed[ICAP_JPEGPIXELTYPE])
        {
            SetOneValue16(this, CAP_WINDOWCAMERA, TWTY_UINT16, TWWC_BASE_COLOR_FRONT);
            SetOneValue16(this, ICAP_COMPRESSION, TWTY_UINT16, TWCP_JPEG);
        }
        if (listed[CAP_PRINTERENABLED])
            SetOneValue16(this, CAP_PRINTERENABLED, TWTY_BOOL, 1);
    }

    // What answers, camera by camera.
    char szCamera[64];
    for (TW_UINT16 twrc = FirstCamera(szCamera, sizeof(szCamera)); twrc == TWRC_SUCCESS;
         twrc = NextCamera(szCamera, sizeof(szCamera)))
    {
        TWAINLOG("  processing %s...", szCamera);
        for (uint32_t u32Id = 0; u32Id <= 0xFFFF; u32Id++)
        {
            TW_UINT16 twrcGet = CapRequest(this, static_cast<TW_UINT16>(u32Id), MSG_GETCURRENT, &twcapability);
            CapRelease(this, &twcapability);
            if ((twrcGet == TWRC_SUCCESS) || (twrcGet == TWRC_CHECKSTATUS))
            {
                bitsetMask.set(u32Id);
            }
            else if ((twrcGet == TWRC_FAILURE) && (ReadCondition(twrcGet) == TWCC_CAPSEQERROR))
            {
                bitsetMask.set(u32Id);
            }
            else
            {
                // A request that crashed was not refused: it is said.
                CapSaidCrash(this, "  ", static_cast<int>(u32Id));
            }
        }
    }

    // Duplicates, each once at its first place; then removals and additions.
    std::vector<uint32_t> au32Seen(0x10000, 0);
    for (TW_UINT16 u16Cap : au16List)
        au32Seen[u16Cap]++;
    for (TW_UINT16 u16Cap : au16List)
    {
        if (au32Seen[u16Cap] > 1)
            ValidationLine(this, "duplicated", u16Cap);
        au32Seen[u16Cap] = 0;
    }
    for (TW_UINT16 u16Cap : au16List)
        if (!bitsetMask[u16Cap])
            ValidationLine(this, "remove", u16Cap);
    for (uint32_t u32Id = 0; u32Id <= 0xFFFF; u32Id++)
        if (bitsetMask[u32Id] && !(*pbitsetListed)[u32Id])
            ValidationLine(this, "add", static_cast<TW_UINT16>(u32Id));
}
