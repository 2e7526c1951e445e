// datwindow.cpp
// DG_CONTROL / DAT_WINDOW: add and delete camera windows, and the table of
// the windows with their enable state, image format and frame.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "capbuffer.h"
#include "clookup.h"

namespace
{

// The request of DAT_WINDOW: a window value and bytes this program leaves alone.
#pragma pack(push, 2)
struct twwindow
{
    TW_UINT16 Window;
    TW_UINT8 Reserved[1024];
};
#pragma pack(pop)
static_assert(sizeof(twwindow) == 1026, "twwindow");

// Container items read no further than this many, nor past the block.
const uint32_t s_u32MaxItems = 256;

// The items of a locked container: one-value, enumeration or array.
struct ContainerItems
{
    TW_UINT16 twty = 0;
    uint32_t u32Count = 0;
    uint32_t u32Current = 0;
    const uint8_t *pu8Items = nullptr;
};

// Reads the header of a container of a_u64Size bytes; its count is clamped
// to the items the block holds.
bool ReadContainer(TW_UINT16 a_twon, const uint8_t *a_pu8, size_t a_u64Size, ContainerItems &a_items)
{
    size_t u64Header = (a_twon == TWON_ONEVALUE) ? 2 : (a_twon == TWON_ENUMERATION) ? 26 : (a_twon == TWON_ARRAY) ? 10 : 0;
    if (!a_pu8 || u64Header == 0 || a_u64Size < u64Header)
        return false;
    a_items.twty = TwGetU16(a_pu8);
    size_t u64Item = TwItemSize(a_items.twty) ? TwItemSize(a_items.twty) : 1;
    size_t u64Fits = (a_u64Size - u64Header) / u64Item;
    size_t u64Count = 1;
    if (a_twon != TWON_ONEVALUE)
        u64Count = static_cast<size_t>(TwGetU32(a_pu8 + 2));
    u64Count = (u64Count > u64Fits) ? u64Fits : u64Count;
    a_items.u32Count = static_cast<uint32_t>(u64Count > s_u32MaxItems ? s_u32MaxItems : u64Count);
    if (a_twon == TWON_ENUMERATION)
    {
        TW_UINT32 twcurrent = TwGetU32(a_pu8 + 10);
        a_items.u32Current = static_cast<uint32_t>(twcurrent >= a_items.u32Count ? 0 : twcurrent);
    }
    a_items.pu8Items = a_pu8 + u64Header;
    return a_items.u32Count > 0;
}

// "f b  0": side, kind and window number of a camera window value.
void WindowLabel(int a_iWindow, char *a_szOut, size_t a_u64OutSize)
{
    if (a_iWindow >= 0 && a_iWindow <= 43)
        snprintf(a_szOut, a_u64OutSize, "%s %s %2d", (a_iWindow & 1) ? "r" : "f", (a_iWindow & 2) ? "c" : "b", a_iWindow / 4);
    else
        snprintf(a_szOut, a_u64OutSize, "%d", a_iWindow);
}

} // namespace

TW_UINT16 CTwainImpl::DSShowWindows(const char *const *a_aszWords, ETWRECORD a_etwrecord)
{
    const char *szWord = (a_aszWords && a_aszWords[0]) ? a_aszWords[1] : nullptr;
    bool blEnabledOnly = szWord && !strcasecmp(szWord, "enabled");
    TW_CAPABILITY twcapWindow;
    memset(&twcapWindow, 0, sizeof(twcapWindow));
    twcapWindow.Cap = CAP_WINDOWCAMERA;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapWindow, false, false, a_etwrecord);
    if (twrc != TWRC_SUCCESS)
    {
        DatPrintStatus(twrc, a_etwrecord);
        DsMemFree(twcapWindow.hContainer);
        return TWRC_SUCCESS;
    }
    // The windows are selected with a copy of the answer in a container of
    // the program's own, which holds all its header claims.
    CapBuffer capbufferWindow;
    capbufferWindow.Read(this, twcapWindow.hContainer);
    TW_UINT16 twconWindow = twcapWindow.ConType;
    CapRelease(this, &twcapWindow);
    capbufferWindow.Fit(TWON_ENUMERATION);
    ContainerItems itemsWindow;
    if (twconWindow != TWON_ENUMERATION ||
        !ReadContainer(TWON_ENUMERATION, capbufferWindow.Data(), capbufferWindow.Size(), itemsWindow))
    {
        TWAINLOG("CAP_WINDOWCAMERA is not an enumeration of windows...");
        return TWRC_SUCCESS;
    }
    twcapWindow.ConType = TWON_ENUMERATION;
    auto selectWindow = [&](uint32_t a_u32Index) -> TW_UINT16 {
        capbufferWindow.SetU32(CAPBUF_ENUM_CUR, a_u32Index);
        if (!CapReplace(this, &twcapWindow, capbufferWindow))
        {
            TWAINLOG("%s", "DsMemAlloc failed...");
            return TWRC_FAILURE;
        }
        TW_UINT16 twrcSet = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapWindow, false, false, a_etwrecord);
        CapRelease(this, &twcapWindow);
        return twrcSet;
    };
    uint32_t u32Current = itemsWindow.u32Current;
    TWAINLOG("  Window  Enabled  Format            Left   Top    Right  Bottom Angle");
    for (uint32_t ii = 0; ii < itemsWindow.u32Count; ii++)
    {
        // Window i becomes the current one, and its settings are read.
        TW_CAPABILITY atwcap[3];
        const TW_UINT16 atwcapId[3] = {CAP_CAMERAENABLE, ICAP_IMAGEFORMAT, ICAP_FRAMESANGLE};
        memset(atwcap, 0, sizeof(atwcap));
        int iTaken = 0;
        twrc = selectWindow(ii);
        for (; twrc == TWRC_SUCCESS && iTaken < 3; iTaken++)
        {
            atwcap[iTaken].Cap = atwcapId[iTaken];
            twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &atwcap[iTaken], false, false, a_etwrecord);
            if (twrc != TWRC_SUCCESS)
            {
                // Whatever came back with a refusal is freed with the rest.
                iTaken++;
                break;
            }
        }
        ContainerItems aitems[3];
        bool blRead = twrc == TWRC_SUCCESS;
        for (int jj = 0; jj < iTaken && blRead; jj++)
        {
            uint8_t *pu8 = static_cast<uint8_t *>(DsMemLock(atwcap[jj].hContainer));
            blRead = ReadContainer(atwcap[jj].ConType, pu8, DsMemSize(atwcap[jj].hContainer, pu8), aitems[jj]);
        }
        if (!blRead)
        {
            if (twrc != TWRC_SUCCESS)
                DatPrintStatus(twrc, a_etwrecord);
            else
                TWAINLOG("a camera window's settings could not be read...");
            for (int jj = 0; jj < iTaken; jj++)
            {
                DsMemUnlock(atwcap[jj].hContainer);
                DsMemFree(atwcap[jj].hContainer);
            }
            return TWRC_SUCCESS;
        }
        char szLabel[16];
        WindowLabel(GetIntFromItem(itemsWindow.pu8Items, itemsWindow.twty, ii), szLabel, sizeof(szLabel));
        // The enable state: the current one, then all in parentheses.
        char szEnable[64];
        char szItem[24];
        int32_t i32Enable = GetIntFromItem(aitems[0].pu8Items, aitems[0].twty, aitems[0].u32Current);
        if (i32Enable == 0 || i32Enable == 1)
            snprintf(szEnable, sizeof(szEnable), "%s", i32Enable ? "\033[31m\033[1mt\033[0m" : "f");
        else
            snprintf(szEnable, sizeof(szEnable), "%d", i32Enable);
        COsString::SStrCat(szEnable, sizeof(szEnable), " (");
        for (uint32_t kk = 0; kk < aitems[0].u32Count; kk++)
        {
            int32_t i32 = GetIntFromItem(aitems[0].pu8Items, aitems[0].twty, kk);
            snprintf(szItem, sizeof(szItem), "%s%s", kk ? "," : "", i32 == 0 ? "f" : i32 == 1 ? "t" : "");
            if (i32 != 0 && i32 != 1)
                snprintf(szItem, sizeof(szItem), "%s%d", kk ? "," : "", i32);
            COsString::SStrCat(szEnable, sizeof(szEnable), szItem);
        }
        COsString::SStrCat(szEnable, sizeof(szEnable), ")");
        // The image format likewise.
        static const char *const s_aszFormat[] = {"bw   ", "g8   ", "rgb24"};
        static const char *const s_aszFormatItem[] = {"bw", "g8", "rgb24"};
        char szFormat[64];
        int32_t i32Format = GetIntFromItem(aitems[1].pu8Items, aitems[1].twty, aitems[1].u32Current);
        if (i32Format >= 0 && i32Format <= 2)
            snprintf(szFormat, sizeof(szFormat), "%s", s_aszFormat[i32Format]);
        else
            snprintf(szFormat, sizeof(szFormat), "%d", i32Format);
        COsString::SStrCat(szFormat, sizeof(szFormat), " (");
        for (uint32_t kk = 0; kk < aitems[1].u32Count; kk++)
        {
            int32_t i32 = GetIntFromItem(aitems[1].pu8Items, aitems[1].twty, kk);
            if (i32 >= 0 && i32 <= 2)
                snprintf(szItem, sizeof(szItem), "%s%s", kk ? "," : "", s_aszFormatItem[i32]);
            else
                snprintf(szItem, sizeof(szItem), "%s%d", kk ? "," : "", i32);
            COsString::SStrCat(szFormat, sizeof(szFormat), szItem);
        }
        COsString::SStrCat(szFormat, sizeof(szFormat), ")");
        TW_FRAMEANGLE twframeangle;
        memset(&twframeangle, 0, sizeof(twframeangle));
        GetFrameAngleFromItem(aitems[2].pu8Items, aitems[2].twty, 0, &twframeangle);
        if (!blEnabledOnly || i32Enable == 1)
            TWAINLOG(" %s%-6s  %-7s  %-16s  %-6g %-6g %-6g %-6g %d", ii == u32Current ? "\033[31m\033[1m*\033[0m" : " ", szLabel,
                     szEnable, szFormat, TwFix32ToDouble(twframeangle.Frame.Left), TwFix32ToDouble(twframeangle.Frame.Top),
                     TwFix32ToDouble(twframeangle.Frame.Right), TwFix32ToDouble(twframeangle.Frame.Bottom),
                     static_cast<int>(twframeangle.Angle));
        for (int jj = 0; jj < 3; jj++)
        {
            DsMemUnlock(atwcap[jj].hContainer);
            DsMemFree(atwcap[jj].hContainer);
        }
    }
    // The window that was current becomes current again.
    twrc = selectWindow(u32Current);
    if (twrc != TWRC_SUCCESS)
        DatPrintStatus(twrc, a_etwrecord);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainImpl::DSDatWindow(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (DatWordMissing(szWord) || DatWord(szWord, "enabled", nullptr))
    {
        DSShowWindows(a_aszWords);
        return TWRC_SUCCESS;
    }
    bool blAdd = DatWord(szWord, "msg_addwindow", "add");
    if (!blAdd && !DatWord(szWord, "msg_deletewindow", "delete"))
        return DatUnrecognized(szWord);
    twwindow tww;
    memset(&tww, 0, sizeof(tww));
    if (!blAdd)
    {
        const char *szWindow = a_aszWords[2];
        if (DatWordMissing(szWindow))
            return DatUsage("must specify a TWWC_ value...");
        if (!m_plookup || !m_plookup->LookupEnum("CAP_WINDOWCAMERA", szWindow, &tww.Window))
            return DatUsage("unrecognized TWWC_ value...");
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_WINDOW, blAdd ? MSG_ADDWINDOW : MSG_DELETEWINDOW, &tww, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    char szSymbol[64];
    CapValueText(CAP_WINDOWCAMERA, tww.Window, szSymbol, sizeof(szSymbol));
    if (blAdd)
        TWAINLOG("Added %s...", szSymbol);
    else
        TWAINLOG("Current address is now %s...", szSymbol);
    // The windows are shown; the add's or delete's codes stay the last ones.
    const char *const aszEnabled[] = {"dat_window", "enabled", nullptr};
    DSShowWindows(aszEnabled, ETWRECORD_NONE);
    return TWRC_SUCCESS;
}
