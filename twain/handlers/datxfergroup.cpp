// datxfergroup.cpp
// DG_CONTROL / DAT_XFERGROUP: the data groups of the transfers.
#include "ctwainimpl.h"

#include <cstring>
#include <strings.h>

namespace
{

// The named bits, in the order of the printed list.
struct XferGroupBit
{
    const char *szWord;
    const char *szName;
    TW_UINT32 twbit;
};

const XferGroupBit s_axfergroupbit[] = {
    {"DF_DS2", ",DS2", DF_DS2},       {"DF_APP2", ",APP2", DF_APP2},      {"DF_DSM2", ",DSM2", DF_DSM2},
    {"DG_CUSTOM", ",CUSTOM", DG_CUSTOM}, {"DG_AUDIO", ",AUDIO", DG_AUDIO}, {"DG_IMAGE", ",IMAGE", DG_IMAGE},
    {"DG_CONTROL", ",CONTROL", DG_CONTROL},
};

} // namespace

TW_UINT16 CTwainImpl::DSDatXferGroup(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    static const DatMessageWord s_adatmessageword[] = {{"msg_get", "get", MSG_GET},
                                                       {"msg_getcurrent", "getcurrent", MSG_GETCURRENT},
                                                       {"msg_getdefault", "getdefault", MSG_GETDEFAULT},
                                                       {"msg_reset", "reset", MSG_RESET},
                                                       {"msg_set", "set", MSG_SET}};
    TW_UINT16 twmsg = 0;
    if (!DatMessage(szWord, s_adatmessageword, MSG_GET, &twmsg))
        return TWRC_FAILURE;
    TW_UINT32 twgroup = 0;
    if (twmsg == MSG_SET)
    {
        for (int ii = 2; !DatWordMissing(a_aszWords[ii]); ii++)
            for (const XferGroupBit &xfergroupbit : s_axfergroupbit)
                if (!strcasecmp(a_aszWords[ii], xfergroupbit.szWord))
                    twgroup |= xfergroupbit.twbit;
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_XFERGROUP, twmsg, &twgroup, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    char szNames[64];
    memset(szNames, 0, sizeof(szNames));
    for (const XferGroupBit &xfergroupbit : s_axfergroupbit)
        if (twgroup & xfergroupbit.twbit)
            COsString::SStrCat(szNames, sizeof(szNames), xfergroupbit.szName);
    TWAINLOG("  XferGroup.......%x (%s)", static_cast<unsigned>(twgroup & 0xFFFFFFFFu), szNames[0] ? szNames + 1 : "");
    return TWRC_SUCCESS;
}
