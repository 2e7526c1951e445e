// datstatusraw.cpp
// DAT_STATUSRAW (DG_CUSTOM 0x1000 / 0x8001): the device's raw status: its
// toolkit status, sense data, last text and state.
#include "ctwainimpl.h"

#include <cstring>

namespace
{

#pragma pack(push, 2)
struct twstatusraw
{
    TW_UINT32 LastToolkitStatus;
    TW_UINT32 LastSenseData[3];
    char LastText[256];
    TW_UINT32 CurrentState;
    TW_UINT32 LastZAVStatus;
};
#pragma pack(pop)
static_assert(sizeof(twstatusraw) == 304 && offsetof(twstatusraw, CurrentState) == 288, "twstatusraw");

} // namespace

TW_UINT16 CTwainImpl::DSDatStatusRaw(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    static const DatMessageWord s_adatmessageword[] = {{"msg_get", nullptr, MSG_GET},
                                                       {"msg_getcurrent", "current", MSG_GETCURRENT},
                                                       {"msg_getdefault", "default", MSG_GETDEFAULT},
                                                       {"msg_reset", "reset", MSG_RESET},
                                                       {"msg_set", "set", MSG_SET}};
    TW_UINT16 twmsg = MSG_GET;
    if (!DatMessage(a_aszWords[1], s_adatmessageword, MSG_GET, &twmsg))
    {
        return TWRC_FAILURE;
    }

    twstatusraw status;
    memset(&status, 0, sizeof(status));
    TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_STATUSRAW, twmsg, &status, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    if (twmsg == MSG_SET)
    {
        // A set is followed by a read of what it left; the set's codes stay
        // the last ones.
        memset(&status, 0, sizeof(status));
        twrc = DsmEntry(DG_CUSTOM, DAT_STATUSRAW, MSG_GET, &status, false, false, ETWRECORD_NONE);
        if (twrc != TWRC_SUCCESS)
        {
            return DatPrintStatus(twrc, ETWRECORD_NONE);
        }
    }
    TWAINLOG("  CurrentState........%d", static_cast<int>(status.CurrentState));
    TWAINLOG("  LastZAVStatus.......%d", static_cast<int>(status.LastZAVStatus));
    TWAINLOG("  LastSenseData.......%d/%d/%d", static_cast<int>(status.LastSenseData[0]),
             static_cast<int>(status.LastSenseData[1]), static_cast<int>(status.LastSenseData[2]));
    TWAINLOG("  LastText............%.*s", static_cast<int>(sizeof(status.LastText)), status.LastText);
    TWAINLOG("  LastToolkitStatus...%d", static_cast<int>(status.LastToolkitStatus));
    return TWRC_SUCCESS;
}
