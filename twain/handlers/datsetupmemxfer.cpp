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
    // Unsigned and signed: a size of 32 bits as both 32-bit values, a
    // larger one whole.
    const struct
    {
        const char *szLabel;
        TW_UINT32 u64Size;
    } asize[] = {{"MinBufSize.......", twsetup.MinBufSize},
                 {"MaxBufSize.......", twsetup.MaxBufSize},
                 {"Preferred........", twsetup.Preferred}};
    for (const auto &size : asize)
    {
        if (size.u64Size <= UINT32_MAX)
            TWAINLOG("  %s%u (%d)", size.szLabel, static_cast<unsigned>(size.u64Size), static_cast<int>(size.u64Size));
        else
            TWAINLOG("  %s%llu (%lld)", size.szLabel, static_cast<unsigned long long>(size.u64Size),
                     static_cast<long long>(size.u64Size));
    }
    m_twsetupmemxfer = twsetup;
    m_twsetupmemxferExpected = twsetup;
    return TWRC_SUCCESS;
}
