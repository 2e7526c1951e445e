// datfirmwaredownload.cpp
// DG_CUSTOM / DAT_FIRMWAREDOWNLOAD: hands the maker's device the name of a
// firmware file to load (MSG_SET); the codes are printed whatever the answer.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatFirmwareDownload(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    if (!DatWord(DatArg(a_aszWords, 1), "msg_set", "set"))
    {
        return DatMisuse("*** must be msg_set with a filename... ***");
    }
    const char *szFile = DatArg(a_aszWords, 2);
    if (DatWordMissing(szFile))
    {
        return DatMisuse("*** must provide a filename ***");
    }
    // The record is a 512-byte text: a longer name is cut to 511 characters.
    char szFirmware[512] = "";
    TwainFieldText(szFile, strlen(szFile), szFirmware, sizeof(szFirmware));
    return DatPrintStatus(DsmEntry(DG_CUSTOM, DAT_FIRMWAREDOWNLOAD, MSG_SET, szFirmware, false, false));
}
