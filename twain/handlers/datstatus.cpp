// datstatus.cpp
// DG_CONTROL / DAT_STATUS: the condition code of the source's last operation.
#include "ctwainimpl.h"

#include <cstring>

#include "clookup.h"

TW_UINT16 CTwainImpl::DSDatStatus(const char *const *)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_TWCC, twstatus.ConditionCode, 0, 0) : nullptr;
    const char *szName = (ptwlookup && ptwlookup->ptwenum) ? ptwlookup->ptwenum->szSymbol : "???";
    TWAINLOG("  ConditionCode.......%d (%s)", twstatus.ConditionCode, szName);
    TWAINLOG("  Data/Reserved.......%d", twstatus.Data);
    return TWRC_SUCCESS;
}
