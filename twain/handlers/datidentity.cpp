// datidentity.cpp
// DG_CONTROL / DAT_IDENTITY: the identities the Data Source Manager and the
// source answer, the default source, and opening and closing a source by
// the bare triplet (without the state changes of dsopen and dsclose).
#include "ctwainimpl.h"

#include <cstring>

namespace
{

// The messages that answer an identity, by their words.
const struct
{
    const char *szFull;
    const char *szShort;
    TW_UINT16 twmsg;
} s_aidentityget[] = {{"msg_get", "get", MSG_GET},
                      {"msg_getcurrent", "current", MSG_GETCURRENT},
                      {"msg_getdefault", "default", MSG_GETDEFAULT},
                      {"msg_getfirst", "getfirst", MSG_GETFIRST},
                      {"msg_getnext", "getnext", MSG_GETNEXT},
                      {"msg_reset", "reset", MSG_RESET}};

} // namespace

TW_UINT16 CTwainImpl::DSDatIdentity(const char *const *a_aszWords)
{
    const char *szMessage = DatArg(a_aszWords, 1);
    const char *szName = DatArg(a_aszWords, 2);
    TW_IDENTITY twidentity;
    memset(&twidentity, 0, sizeof(twidentity));

    // The messages that answer an identity (no word is MSG_GET).
    TW_UINT16 twmsg = DatWordMissing(szMessage) ? MSG_GET : 0;
    for (const auto &identityget : s_aidentityget)
    {
        if (DatWord(szMessage, identityget.szFull, identityget.szShort))
        {
            twmsg = identityget.twmsg;
        }
    }
    // One message with the (zeroed) identity; a success shows the answer
    // when asked, a refusal prints its codes; both recorded as a_etwrecord
    // says.
    auto send = [&](TW_UINT16 a_twmsg, bool a_blShow, ETWRECORD a_etwrecord = ETWRECORD_LAST) -> TW_UINT16 {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, a_twmsg, &twidentity, false, false, a_etwrecord);
        if (twrc != TWRC_SUCCESS)
        {
            return DatPrintStatus(twrc, a_etwrecord);
        }
        if (a_blShow)
        {
            DSShowIdentity(&twidentity);
        }
        return TWRC_SUCCESS;
    };
    if (twmsg)
    {
        return send(twmsg, true);
    }

    if (DatWord(szMessage, "msg_set", "set"))
    {
        // The product name is kept terminated inside its field.
        if (DatWordMissing(szName))
        {
            return DatUsage("Must have product name in quotes...");
        }
        TwainFieldText(szName, strlen(szName), twidentity.ProductName, sizeof(twidentity.ProductName));
        TW_UINT16 twrc = send(MSG_SET, false);
        if (twrc != TWRC_SUCCESS)
        {
            return twrc;
        }
        // The new default is shown; the set's codes stay the last ones.
        memset(&twidentity, 0, sizeof(twidentity));
        return send(MSG_GETDEFAULT, true, ETWRECORD_NONE);
    }

    if (DatWord(szMessage, "msg_opends", "opends"))
    {
        if (DatWordMissing(szName))
        {
            return DatUsage("must specify a full product name for the driver...");
        }
        TwainFieldText(szName, strlen(szName), twidentity.ProductName, sizeof(twidentity.ProductName));
        TW_UINT16 twrc = send(MSG_OPENDS, false);
        if (twrc == TWRC_SUCCESS)
        {
            m_twidentityDs = twidentity;
        }
        return twrc;
    }

    if (DatWord(szMessage, "msg_closeds", "closeds"))
    {
        twidentity = m_twidentityDs;
        TW_UINT16 twrc = send(MSG_CLOSEDS, false);
        if (twrc == TWRC_SUCCESS)
        {
            memset(&m_twidentityDs, 0, sizeof(m_twidentityDs));
        }
        return twrc;
    }

    return DatUnrecognized(szMessage);
}
