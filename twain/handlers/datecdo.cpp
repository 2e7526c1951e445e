// datecdo.cpp
// DG_CONTROL / DAT_ECDO: the list of the maker's device configurations.  The
// source answers a handle to records of a 16-bit value, a 256-byte name and
// a 1,280-byte description; a record with an empty name ends the list.
#include "ctwainimpl.h"

#include <cstdint>
#include <cstring>

#include "clookup.h"

namespace
{

#define ECDO_NAME   256
#define ECDO_TEXT   1280
#define ECDO_RECORD (2 + ECDO_NAME + ECDO_TEXT)   // 1,538 bytes

} // namespace

TW_UINT16 CTwainImpl::DSDatEcdo(const char *const *)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    TW_HANDLE handle = nullptr;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_ECDO, MSG_GET, &handle, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        DsMemFree(handle);     // whatever came back with the refusal
        return DatPrintStatus(twrc);
    }
    const uint8_t *pu8 = handle ? static_cast<const uint8_t *>(DsMemLock(handle)) : nullptr;
    if (pu8)
    {
        // Records are read as far as the block reaches.
        size_t u64Records = DsMemSize(handle, const_cast<uint8_t *>(pu8)) / ECDO_RECORD;
        for (size_t ii = 0; ii < u64Records; ii++)
        {
            const uint8_t *pu8Record = pu8 + (ii * ECDO_RECORD);
            char szEcdo[ECDO_NAME + 1];
            char szText[ECDO_TEXT + 1];
            TwainFieldText(reinterpret_cast<const char *>(pu8Record + 2), ECDO_NAME, szEcdo, sizeof(szEcdo));
            if (!szEcdo[0])
            {
                break;
            }
            TwainFieldText(reinterpret_cast<const char *>(pu8Record + 2 + ECDO_NAME), ECDO_TEXT, szText, sizeof(szText));
            TW_UINT16 u16Value = TwGetU16(pu8Record);
            char szValue[TWLOOKUP_TEXT];
            const TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAPVALUE, u16Value, ICAP_ECDO, -1) : nullptr;
            if (ptwlookup && ptwlookup->ptwenum)
                TwainFieldText(ptwlookup->ptwenum->szSymbol, sizeof(ptwlookup->ptwenum->szSymbol), szValue, sizeof(szValue));
            else
                COsString::SStrPrintf(szValue, sizeof(szValue), "0x%04x", static_cast<unsigned>(u16Value));
            if (ii > 0)
            {
                TWAINLOG("%s", "");
            }
            TWAINLOG("  %02d  EcdoValue.......%s", static_cast<int>(ii), szValue);
            TWAINLOG("      szEcdo..........<%s>", szEcdo);
            TWAINLOG("      szText..........<\033[1m%s\033[0m>", szText);
        }
        DsMemUnlock(handle);
    }
    DsMemFree(handle);
    return TWRC_SUCCESS;
}
