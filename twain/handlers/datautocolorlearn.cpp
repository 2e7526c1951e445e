// datautocolorlearn.cpp
// DG_CUSTOM / DAT_AUTOCOLORLEARN: starts the colour learning of the maker's
// devices (MSG_SET, no data).
#include "ctwainimpl.h"

TW_UINT16 CTwainImpl::DSDatAutoColorLearn(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    if (!DatWord(DatArg(a_aszWords, 1), "msg_set", "set"))
    {
        return DatMisuse("*** must specify msg_set ***");
    }
    TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_AUTOCOLORLEARN, MSG_SET, nullptr, false, false);
    return (twrc == TWRC_SUCCESS) ? TWRC_SUCCESS : DatPrintStatus(twrc);
}
