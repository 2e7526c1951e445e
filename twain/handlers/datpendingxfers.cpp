// datpendingxfers.cpp
// DG_CONTROL / DAT_PENDINGXFERS: the images left, the end of a transfer (which
// advances the image index), the reset of the batch and the stop of the feeder.
#include "ctwainimpl.h"

#include <climits>
#include <cstring>

TW_UINT16 CTwainImpl::DSDatPendingXfers(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (DatWordMissing(szWord))
        return DatUsage("must specify msg_get, msg_reset, msg_endxfer, msg_endxferspecial or msg_stopfeeder...");
    static const DatMessageWord s_adatmessageword[] = {{"msg_get", "get", MSG_GET},
                                                       {"msg_reset", "reset", MSG_RESET},
                                                       {"msg_endxfer", "endxfer", MSG_ENDXFER},
                                                       {"msg_endxferspecial", "endxferspecial", MSG_ENDXFERSPECIAL},
                                                       {"msg_stopfeeder", "stopfeeder", MSG_STOPFEEDER}};
    TW_UINT16 twmsg = 0;
    if (!DatMessage(szWord, s_adatmessageword, 0, &twmsg))
        return TWRC_FAILURE;
    memset(&m_twpendingxfers, 0, sizeof(m_twpendingxfers));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, twmsg, &m_twpendingxfers, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    TWAINLOG("  Count...........%d", m_twpendingxfers.Count);
    TWAINLOG("  EOJ/Reserved....%llu", static_cast<unsigned long long>(m_twpendingxfers.EOJ));
    if (twmsg == MSG_RESET || twmsg == MSG_ENDXFER || twmsg == MSG_ENDXFERSPECIAL)
    {
        // An image whose blocks were still arriving is cancelled: its
        // partial file goes, and the console says so.
        XferFileDiscard("the transfer ended before the image did");
    }
    if (twmsg == MSG_RESET)
        SetTwState(ETWSTATE_DSENABLED);
    else if (twmsg == MSG_ENDXFER || twmsg == MSG_ENDXFERSPECIAL)
    {
        s_iIndex = (s_iIndex == INT32_MAX) ? 0 : s_iIndex + 1;
        SetTwState(m_twpendingxfers.Count != 0 ? ETWSTATE_XFERREADY : ETWSTATE_DSENABLED);
    }
    return TWRC_SUCCESS;
}
