// datconsumablemeters.cpp
// DAT_CONSUMABLEMETERS (DG_CONTROL 0x8010): read the consumable meters of the
// device, or send new meter settings or meter resets.
#include "ctwainimpl.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace
{

const char *const s_aszMeterType[] = {"TWCONMTR_NONE",
                                      "TWCONMTR_CLEANING",
                                      "TWCONMTR_FEEDMODULE",
                                      "TWCONMTR_FEEDMODULETIRES",
                                      "TWCONMTR_SEPARATIONMODULE",
                                      "TWCONMTR_SEPARATIONMODULETIRES",
                                      "TWCONMTR_SEPARATIONPAD"};
const uint32_t s_u32MeterTypes = sizeof(s_aszMeterType) / sizeof(s_aszMeterType[0]);

// A meter type: one of the names or a decimal number.
TW_UINT32 MeterType(const char *a_szWord)
{
    for (uint32_t uu = 0; uu < s_u32MeterTypes; uu++)
    {
        if (!strcasecmp(a_szWord, s_aszMeterType[uu]))
        {
            return uu;
        }
    }
    return strtoul(a_szWord, nullptr, 10);
}

// The room of a record the program sends.
const uint32_t s_u32SendEntries = (TWCONSUMABLEMETERS_SENDSIZE - sizeof(TW_UINT32)) / sizeof(twconsumablemeterinfo);

} // namespace

TW_UINT16 CTwainImpl::DSDatConsumableMeters(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    if (!szMsg || DatWord(szMsg, "msg_get", "get"))
    {
        memset(&m_twconsumablemeters, 0, sizeof(m_twconsumablemeters));
        memset(&m_twconsumablemetersExpected, 0, sizeof(m_twconsumablemetersExpected));
        TW_HANDLE handle = nullptr;
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CONSUMABLEMETERS, MSG_GET, &handle, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(handle);     // whatever came back with the refusal
            return DatPrintStatus(twrc);
        }
        const uint8_t *pu8 = static_cast<const uint8_t *>(handle ? DsMemLock(handle) : nullptr);
        if (!pu8)
        {
            TWAINLOG("unable to lock memory...");
            DsMemFree(handle);
            return TWRC_FAILURE;
        }
        // The count, cut to the entries the block and the kept copy hold.
        size_t u64Block = DsMemSize(handle, const_cast<uint8_t *>(pu8));
        TW_UINT32 u32Count = 0;
        memcpy(&u32Count, pu8, (u64Block < sizeof(u32Count)) ? u64Block : sizeof(u32Count));
        uint32_t u32Room = (sizeof(m_twconsumablemeters) - sizeof(TW_UINT32)) / sizeof(twconsumablemeterinfo);
        if (u64Block < sizeof(TW_UINT32) + u32Room * sizeof(twconsumablemeterinfo))
        {
            u32Room = (u64Block < sizeof(TW_UINT32)) ? 0 : static_cast<uint32_t>((u64Block - sizeof(TW_UINT32)) / sizeof(twconsumablemeterinfo));
        }
        uint32_t u32Shown = (u32Count > u32Room) ? u32Room : static_cast<uint32_t>(u32Count);
        memcpy(m_twconsumablemeters.Meter, pu8 + sizeof(TW_UINT32), u32Shown * sizeof(twconsumablemeterinfo));
        DsMemUnlock(handle);
        DsMemFree(handle);
        m_twconsumablemeters.Count = u32Shown;
        memcpy(&m_twconsumablemetersExpected, &m_twconsumablemeters, sizeof(m_twconsumablemeters));
        TWAINLOG("  ConsumableMeters.Total.......%u", static_cast<unsigned>(u32Count));
        for (uint32_t uu = 0; uu < u32Shown; uu++)
        {
            const twconsumablemeterinfo &meter = m_twconsumablemeters.Meter[uu];
            TW_UINT16 u16Type = static_cast<TW_UINT16>(meter.MeterType);
            TWAINLOG("  %02u ConsumableMeterInfo", uu);
            if (u16Type < s_u32MeterTypes)
                TWAINLOG("       MeterType...............%s", s_aszMeterType[u16Type]);
            else
                TWAINLOG("       MeterType...............%u", u16Type);
            TWAINLOG("       FieldFlags..............0x%04x", static_cast<unsigned>(meter.FieldFlags));
            TWAINLOG("       Frequency...............%u", static_cast<unsigned>(meter.Frequency));
            TWAINLOG("       LastReset...............%u", static_cast<unsigned>(meter.LastReset));
            TWAINLOG("       Reminder................%u", static_cast<unsigned>(meter.Reminder));
        }
        return TWRC_SUCCESS;
    }

    bool blSet = DatWord(szMsg, "msg_set", nullptr);
    if (!blSet && !DatWord(szMsg, "msg_reset", nullptr))
    {
        return DatUnrecognized(szMsg);
    }
    TW_HANDLE handle = DsMemAlloc(TWCONSUMABLEMETERS_SENDSIZE);
    uint8_t *pu8 = static_cast<uint8_t *>(handle ? DsMemLock(handle) : nullptr);
    if (!pu8)
    {
        OSLOG_ERROR("unable to allocate memory...");
        DsMemFree(handle);
        return TWRC_FAILURE;
    }
    memset(pu8, 0, TWCONSUMABLEMETERS_SENDSIZE);
    twconsumablemeterinfo *pmeter = reinterpret_cast<twconsumablemeterinfo *>(pu8 + sizeof(TW_UINT32));
    TW_UINT32 u32Count = 0;
    int iWord = 2;
    while (!DatWordMissing(a_aszWords[iWord]))
    {
        if (u32Count >= s_u32SendEntries)
        {
            TWAINLOG("too many meters, the first %u are sent...", static_cast<unsigned>(s_u32SendEntries));
            break;
        }
        twconsumablemeterinfo meter;
        memcpy(&meter, &pmeter[u32Count], sizeof(meter));
        meter.MeterType = MeterType(a_aszWords[iWord++]);
        if (blSet)
        {
            // FieldFlags, Frequency, LastReset, Reminder, as far as given.
            TW_UINT32 *apu32[] = {&meter.FieldFlags, &meter.Frequency, &meter.LastReset, &meter.Reminder};
            for (TW_UINT32 *pu32 : apu32)
            {
                if (DatWordMissing(a_aszWords[iWord]))
                {
                    break;
                }
                *pu32 = strtoul(a_aszWords[iWord++], nullptr, 10);
            }
        }
        memcpy(&pmeter[u32Count], &meter, sizeof(meter));
        u32Count++;
    }
    memcpy(pu8, &u32Count, sizeof(u32Count));
    DsMemUnlock(handle);
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CONSUMABLEMETERS, blSet ? MSG_SET : MSG_RESET, handle, false, false);
    DsMemFree(handle);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    return TWRC_SUCCESS;
}
