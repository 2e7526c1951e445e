// datdeviceinfo.cpp
// DAT_DEVICEINFO (DG_CONTROL 0x8005): the device's model, protocol, names and
// firmware; its reset and set messages.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatDeviceInfo(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    // Any other word does nothing.
    static const DatMessageWord s_adatmessageword[] = {
        {"msg_get", nullptr, MSG_GET}, {"msg_reset", nullptr, MSG_RESET}, {"msg_set", nullptr, MSG_SET}};
    const DatMessageWord *pdatmessageword = DatMessageOf(a_aszWords[1], s_adatmessageword);
    if (!pdatmessageword && !DatWordMissing(a_aszWords[1]))
    {
        return TWRC_SUCCESS;
    }
    TW_UINT16 twmsg = pdatmessageword ? pdatmessageword->twmsg : MSG_GET;

    twdeviceinfo &info = m_twdeviceinfo;
    memset(&info, 0, sizeof(info));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_DEVICEINFO, twmsg, &info, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    if (twmsg != MSG_GET)
    {
        return TWRC_SUCCESS;
    }
    memcpy(&m_twdeviceinfoExpected, &info, sizeof(info));
    // Texts are printed bounded by their fields.
#define DEVICEINFO_TEXT(a_field) static_cast<int>(sizeof(info.a_field)), info.a_field
    TWAINLOG("  dwFields............%d", static_cast<int>(info.dwFields));
    TWAINLOG("  dwModelNumber.......%d", static_cast<int>(info.dwModelNumber));
    TWAINLOG("  szModelName.........%.*s", DEVICEINFO_TEXT(szModelName));
    TWAINLOG("  szProtocol..........%.*s", DEVICEINFO_TEXT(szProtocol));
    TWAINLOG("  szDeviceName........%.*s", DEVICEINFO_TEXT(szDeviceName));
    TWAINLOG("  dwHostAdapter.......%d", static_cast<int>(info.dwHostAdapter));
    TWAINLOG("  dwTarget............%d", static_cast<int>(info.dwTarget));
    TWAINLOG("  szDeviceChange......%.*s", DEVICEINFO_TEXT(szDeviceChange));
    TWAINLOG("  dwFirmware..........%d", static_cast<int>(info.dwFirmware));
    TWAINLOG("  szDriverFilename....%.*s", DEVICEINFO_TEXT(szDriverFilename));
    TWAINLOG("  dwSorterFlags.......0x%04x", static_cast<unsigned>(info.dwSorterFlags));
#undef DEVICEINFO_TEXT
    return TWRC_SUCCESS;
}
