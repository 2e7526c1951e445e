// daticcprofile.cpp
// DG_IMAGE / DAT_ICCPROFILE: the ICC profile of the image about to be
// transferred, shown by its memory fields.  The profile memory belongs to
// the program once handed over, so it is freed after the display (and after
// a refusal, should the source have left any), unless the source or the DSM
// says it keeps it.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatIccProfile(const char *const *a_aszWords)
{
    const char *szMessage = DatArg(a_aszWords, 1);
    if (!DatWordMissing(szMessage) && !DatWord(szMessage, "msg_get", "get"))
    {
        return DatUnrecognized(szMessage);
    }
    TW_MEMORY twmemory;
    memset(&twmemory, 0, sizeof(twmemory));
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_ICCPROFILE, MSG_GET, &twmemory, false, false);
    if (twrc == TWRC_SUCCESS)
    {
        TWAINLOG("  Flags......0x%llx", static_cast<unsigned long long>(twmemory.Flags));
        TWAINLOG("  Length.....%s", TwainInt(twmemory.Length).sz);
        TWAINLOG("  TheMem.....%p", twmemory.TheMem);
    }
    if (!(twmemory.Flags & (TWMF_DSMOWNS | TWMF_DSOWNS)))
    {
        DsMemFree(twmemory.TheMem);
    }
    return twrc;
}
