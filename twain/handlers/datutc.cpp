// datutc.cpp
// DG_CUSTOM / DAT_UTC: the device clock.
#include "ctwainimpl.h"

TW_UINT16 CTwainImpl::DSDatUtc(const char *const *)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    uint64_t u64Utc = 0;
    TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_UTC, MSG_GET, &u64Utc, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    TWAINLOG("  utc.......%u", static_cast<unsigned>(u64Utc & 0xFFFFFFFFu));
    return TWRC_SUCCESS;
}
