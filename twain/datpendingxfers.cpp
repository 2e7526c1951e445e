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
        return DatMisuse("must specify msg_get, msg_reset, msg_endxfer, msg_endxferspecial or msg_stopfeeder...");
    TW_UINT16 twmsg;
    if (DatWord(szWord, "msg_get", "get"))
        twmsg = MSG_GET;
    else if (DatWord(szWord, "msg_reset", "reset"))
        twmsg = MSG_RESET;
    else if (DatWord(szWord, "msg_endxfer", "endxfer"))
        twmsg = MSG_ENDXFER;
    else if (DatWord(szWord, "msg_endxferspecial", "endxferspecial"))
        twmsg = MSG_ENDXFERSPECIAL;
    else if (DatWord(szWord, "msg_stopfeeder", "stopfeeder"))
        twmsg = MSG_STOPFEEDER;
    else
        return DatUnrecognized(szWord);
    memset(&m_twpendingxfers, 0, sizeof(m_twpendingxfers));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, twmsg, &m_twpendingxfers, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    TWAINLOG("  Count...........%d", m_twpendingxfers.Count);
    TWAINLOG("  EOJ/Reserved....%u", static_cast<unsigned>(m_twpendingxfers.EOJ));
    if (twmsg == MSG_RESET || twmsg == MSG_ENDXFER || twmsg == MSG_ENDXFERSPECIAL)
    {
        // An image whose blocks were still arriving is cancelled: its
        // partial file goes.
        XferFileDiscard();
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
