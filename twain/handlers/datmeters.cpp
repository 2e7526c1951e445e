// datmeters.cpp
// DAT_METERS (DG_CUSTOM 0x1000 / 0x9006): the device's page and power-on
// meters and the date of its first scan.
#include "ctwainimpl.h"

#include <cstring>

namespace
{

#pragma pack(push, 2)
struct twmeters
{
    TW_UINT32 PageCountMeter;
    TW_UINT32 PowerOnMeter;
    TW_UINT32 TransportPowerOnMeter;
    char FirstImageScannedDate[40];
};
#pragma pack(pop)
static_assert(sizeof(twmeters) == 64, "twmeters");

} // namespace

TW_UINT16 CTwainImpl::DSDatMeters(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    if (!DatWordMissing(a_aszWords[1]) && !DatWord(a_aszWords[1], "msg_get", "get"))
    {
        return DatUnrecognized(a_aszWords[1]);
    }
    twmeters meters;
    memset(&meters, 0, sizeof(meters));
    TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_METERS, MSG_GET, &meters, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    // Each meter is the low 32 bits of its field, signed.
    TWAINLOG("  PageCountMeter..........%d", static_cast<int32_t>(meters.PageCountMeter));
    TWAINLOG("  PowerOnMeter............%d", static_cast<int32_t>(meters.PowerOnMeter));
    TWAINLOG("  TransportPowerOnMeter...%d", static_cast<int32_t>(meters.TransportPowerOnMeter));
    TWAINLOG("  FirstImageScannedDate...<%.*s>", static_cast<int>(sizeof(meters.FirstImageScannedDate)),
             meters.FirstImageScannedDate);
    return TWRC_SUCCESS;
}
