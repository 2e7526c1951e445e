// datsetupmemxfer.cpp
// DG_CONTROL / DAT_SETUPMEMXFER: the buffer sizes of the memory transfers.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatSetupMemXfer(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (!DatWordMissing(szWord) && !DatWord(szWord, "msg_get", "get"))
        return DatUnrecognized(szWord);
    TW_SETUPMEMXFER twsetup;
    memset(&twsetup, 0, sizeof(twsetup));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &twsetup, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    TWAINLOG("  MinBufSize.......%u (%d)", static_cast<unsigned>(twsetup.MinBufSize), static_cast<int>(twsetup.MinBufSize));
    TWAINLOG("  MaxBufSize.......%u (%d)", static_cast<unsigned>(twsetup.MaxBufSize), static_cast<int>(twsetup.MaxBufSize));
    TWAINLOG("  Preferred........%u (%d)", static_cast<unsigned>(twsetup.Preferred), static_cast<int>(twsetup.Preferred));
    m_twsetupmemxfer = twsetup;
    m_twsetupmemxferExpected = twsetup;
    return TWRC_SUCCESS;
}
