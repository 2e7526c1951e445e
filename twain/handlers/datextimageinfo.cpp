// datextimageinfo.cpp
// DAT_EXTIMAGEINFO: the extended information of the image being transferred,
// every item or the named ones, one text line per item; the pixel flavor
// it gives is kept for the image's file.
#include "ctwainimpl.h"
#include "twainextimageinfo.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatExtImageInfo(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    TW_UINT16 twmsg;
    if (DatWordMissing(szMsg) || DatWord(szMsg, "msg_get", nullptr))
    {
        twmsg = MSG_GET;
    }
    else if (DatWord(szMsg, "msg_getspecial", nullptr))
    {
        twmsg = MSG_GETSPECIAL;
    }
    else
    {
        TWAINLOG("unrecognized command...");
        return TWRC_FAILURE;
    }
    bool blAll = !szMsg || DatWordMissing(a_aszWords[2]);
    CTwainExtImageInfo twainextimageinfo(this);
    TW_EXTIMAGEINFO *ptwextimageinfo = twainextimageinfo.Initialize(blAll, false, false);
    if (!ptwextimageinfo)
    {
        TWAINLOG("OsMemAlloc failed...");
        return TWRC_FAILURE;
    }
    TW_UINT32 u32Sent = ptwextimageinfo->NumInfos;
    if (!blAll)
    {
        // The named items, as many as the request holds.
        uint32_t u32Capacity = CTwainExtImageInfo::Capacity(false, false, false);
        u32Sent = 0;
        for (int ii = 2; !DatWordMissing(a_aszWords[ii]); ii++)
        {
            TW_UINT16 twei = CTwainExtImageInfo::StringToTwei(a_aszWords[ii]);
            if (twei == 0)
            {
                TWAINLOG("Unable to find: %s", a_aszWords[ii]);
            }
            else if (u32Sent >= u32Capacity)
            {
                OSLOG_ERROR("too many items, %s not asked for", a_aszWords[ii]);
            }
            else
            {
                TW_INFO twinfo = {};
                twinfo.InfoID = twei;
                memcpy(reinterpret_cast<uint8_t *>(ptwextimageinfo) + offsetof(TW_EXTIMAGEINFO, Info) +
                           u32Sent * sizeof(TW_INFO),
                       &twinfo, sizeof(twinfo));
                u32Sent++;
            }
        }
        ptwextimageinfo->NumInfos = u32Sent;
    }
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_EXTIMAGEINFO, twmsg, ptwextimageinfo, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        // Handles the source put into entries before it refused are freed too.
        twainextimageinfo.FreeHandles(ptwextimageinfo, static_cast<uint32_t>(u32Sent));
        g_posmem->Free(ptwextimageinfo, __FILE__, __LINE__);
        return DatPrintStatus(twrc);
    }
    // No more entries than were sent, whatever count the source wrote back.
    if (ptwextimageinfo->NumInfos > u32Sent)
    {
        ptwextimageinfo->NumInfos = u32Sent;
    }
    TWAINLOG("%s", "");
    TWAINLOG("  \033[31m\033[1mExtended Image Info\033[0m");
    uint32_t u32Count = static_cast<uint32_t>(ptwextimageinfo->NumInfos);
    for (uint32_t uu = 0; uu < u32Count; uu++)
    {
        TWAINLOG("%s", twainextimageinfo.GetInfoByIndex(ptwextimageinfo, uu, TWAIN_EII_DETAILS_TEXT));
    }
    TWAINLOG("%s", "");
    XferNoteFlavor(ptwextimageinfo, u32Count);
    // Entries the source answered beyond the count it gave back hold handles too.
    twainextimageinfo.FreeHandles(ptwextimageinfo, static_cast<uint32_t>(u32Sent));
    g_posmem->Free(ptwextimageinfo, __FILE__, __LINE__);
    return TWRC_SUCCESS;
}
