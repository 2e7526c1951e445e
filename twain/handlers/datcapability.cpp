// datcapability.cpp
// DG_CONTROL / DAT_CAPABILITY: one capability message as the tester types
// it.  The read messages show the answer (DSCapShow) and keep a one-value or
// range answer as the received and expected copies for the script tests;
// msg_set and msg_setconstraint go to the capability set engine.
#include "ctwainimpl.h"

#include <cstring>
#include <strings.h>

#include "clookup.h"

namespace
{

// The messages that name a capability and show its answer.
const struct
{
    const char *szWord;
    TW_UINT16 twmsg;
} s_acapabilityread[] = {{"msg_querysupport", MSG_QUERYSUPPORT}, {"msg_get", MSG_GET},
                         {"msg_getcurrent", MSG_GETCURRENT},     {"msg_getdefault", MSG_GETDEFAULT},
                         {"msg_reset", MSG_RESET}};

#define DATCAPABILITY_SETWORDS 256   // the word vector handed to the set engine

} // namespace

TW_UINT16 CTwainImpl::DSDatCapability(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMessage = DatArg(a_aszWords, 1);
    const char *szCapability = DatArg(a_aszWords, 2);
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));

    if (DatWord(szMessage, "msg_resetall", nullptr))
    {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &twcapability, false, false);
        DsMemFree(twcapability.hContainer);     // none is due, but one handed over is ours
        if (twrc != TWRC_SUCCESS)
        {
            DatPrintStatus(twrc);
            return TWRC_FAILURE;
        }
        return TWRC_SUCCESS;
    }

    if (DatWord(szMessage, "msg_set", nullptr) || DatWord(szMessage, "msg_setconstraint", nullptr))
    {
        if (!szCapability)
        {
            return DatMisuse("must provide a capability name...");
        }
        // "set" or "setconstraint", then the capability and value words up
        // to the first missing or empty one.
        const char *aszSet[DATCAPABILITY_SETWORDS] = {};
        aszSet[0] = szMessage + 4;
        for (int ii = 1; ii < DATCAPABILITY_SETWORDS - 1; ii++)
        {
            const char *szWord = DatArg(a_aszWords, ii + 1);
            if (DatWordMissing(szWord))
            {
                break;
            }
            aszSet[ii] = szWord;
        }
        return DSSet(aszSet, false);
    }

    TW_UINT16 twmsg = 0;
    for (const auto &capabilityread : s_acapabilityread)
    {
        if (DatWord(szMessage, capabilityread.szWord, nullptr))
        {
            twmsg = capabilityread.twmsg;
        }
    }
    if (!twmsg)
    {
        return DatUnrecognized(szMessage);
    }
    if (!szCapability)
    {
        return DatMisuse("must provide a capability name...");
    }

    // A name from the symbol table, or a hexadecimal id shown as CAP_%x.
    char szName[TWLOOKUP_TEXT] = "";
    if (!strncasecmp(szCapability, "CAP", 3) || !strncasecmp(szCapability, "ICAP", 4) ||
        !strncasecmp(szCapability, "ACAP", 4))
    {
        const TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(szCapability) : nullptr;
        if (!ptwlookup)
        {
            return DatMisuse("*** %s not found ***", szCapability);
        }
        twcapability.Cap = static_cast<TW_UINT16>(ptwlookup->u32Id);
    }
    else
    {
        twcapability.Cap = static_cast<TW_UINT16>(COsString::StrToFastHex(szCapability));
        COsString::SStrPrintf(szName, sizeof(szName), "CAP_%x", static_cast<unsigned>(twcapability.Cap));
    }

    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, twmsg, &twcapability, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        DatPrintStatus(twrc);
        DsMemFree(twcapability.hContainer);     // whatever came back with the refusal
        return TWRC_FAILURE;
    }

    // The copies for the script tests: a one-value or range answer to
    // MSG_GET, any answer to MSG_GETCURRENT (read as a one-value), taken
    // only as far as the container reaches.
    bool blOneValue = ((twmsg == MSG_GET) && (twcapability.ConType == TWON_ONEVALUE)) || (twmsg == MSG_GETCURRENT);
    bool blRange = (twmsg == MSG_GET) && (twcapability.ConType == TWON_RANGE);
    if (blOneValue || blRange)
    {
        m_twcapability = twcapability;
        m_twcapabilityExpected = twcapability;
        const uint8_t *pu8 =
            twcapability.hContainer ? static_cast<const uint8_t *>(DsMemLock(twcapability.hContainer)) : nullptr;
        if (pu8)
        {
            size_t u64Size = DsMemSize(twcapability.hContainer, const_cast<uint8_t *>(pu8));
            uint8_t *pu8Copy = blRange ? reinterpret_cast<uint8_t *>(&m_twrange) : reinterpret_cast<uint8_t *>(&m_twonevalue);
            uint8_t *pu8Expected =
                blRange ? reinterpret_cast<uint8_t *>(&m_twrangeExpected) : reinterpret_cast<uint8_t *>(&m_twonevalueExpected);
            size_t u64Copy = blRange ? sizeof(TW_RANGE) : sizeof(TW_ONEVALUE);
            memset(pu8Copy, 0, u64Copy);
            memcpy(pu8Copy, pu8, (u64Size < u64Copy) ? u64Size : u64Copy);
            memcpy(pu8Expected, pu8Copy, u64Copy);
            DsMemUnlock(twcapability.hContainer);
        }
    }
    DSCapShow(&twcapability, twmsg, szName[0] ? szName : nullptr);
    DsMemFree(twcapability.hContainer);
    return TWRC_SUCCESS;
}
