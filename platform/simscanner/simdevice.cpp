// simdevice.cpp
//
// The custom triplets of the ZAV source (the maker's own device data:
// consumable meters, settings groups, device information, meters,
// operator-panel buttons, override, raw status; the device log is in
// simdevicelog.cpp) and the standard DAT_PASSTHRU with the ZAV source's inquiry and meter read. What an
// application sets it reads back unchanged; the journal holds every record
// received (data=) and every block behind a pointer or handle (container=).

#include "simsession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{

void Text(char* a_szDest, std::size_t a_uSize, const std::string& a_sz)
{
    std::memset(a_szDest, 0, a_uSize);
    std::strncpy(a_szDest, a_sz.c_str(), a_uSize - 1);
}

bool Terminated(const char* a_sz, std::size_t a_uSize)
{
    return std::memchr(a_sz, 0, a_uSize) != nullptr;
}

SimOcpButton Button(TW_UINT32 a_u32Fields, const char* a_szText, TW_UINT32 a_u32Value1, const char* a_szText2, TW_UINT32 a_u32Value2)
{
    SimOcpButton button;
    std::memset(&button, 0, sizeof(button));
    Text(button.Text, sizeof(button.Text), a_szText);
    button.NumDataFields = a_u32Fields;
    button.Value1 = a_u32Value1;
    Text(button.Text2, sizeof(button.Text2), a_szText2);
    button.Value2 = a_u32Value2;
    return button;
}

const char* const kSimFirstScan = "2024/01/15 09:30:00";
const char* const kSimInquiry = "ZAV Simulated Scanner 7001 firmware 1.2";

} // namespace

SimDeviceState::SimDeviceState() : m_szDeviceName("ZAV Simulated Scanner"), m_u32SorterFlags(0x0003)
{
    const TW_UINT32 au32Meter[][5] = {{1, 0x0001, 5000, 0, 4500}, {6, 0x0001, 20000, 0, 19000}};
    for (const auto& au32 : au32Meter)
    {
        SimMeterInfo meter;
        std::memset(&meter, 0, sizeof(meter));
        meter.MeterType = au32[0];
        meter.FieldFlags = au32[1];
        meter.Frequency = au32[2];
        meter.LastReset = au32[3];
        meter.Reminder = au32[4];
        m_ameter.push_back(meter);
    }
    for (TW_UINT16 u16Group : {1, 2, 4})
    {
        std::string sz = "group=" + std::to_string(u16Group) + "\n";
        m_mapgroup[u16Group].assign(sz.begin(), sz.end());
    }
    m_abutton.assign(kSimOcpButtons, Button(0, "", 0, "", 0));
    m_abutton[0] = Button(1, "Scan", 1, "", 0);
    m_abutton[1] = Button(3, "Copy", 2, "Mode", 7);
    std::memset(&m_status, 0, sizeof(m_status));
    m_status.LastSenseData[0] = 6;
    m_status.LastSenseData[1] = 0x29;
    Text(m_status.LastText, sizeof(m_status.LastText), "Power on reset");
    m_status.LastZAVStatus = 2;
}

ESimFaultAction CSimSession::DeviceFault(std::int64_t& a_i64Value, std::int64_t a_i64Default) const
{
    if (m_pfaultActive == nullptr)
    {
        return eSimFaultRefuse;   // (refusals never reach a handler)
    }
    a_i64Value = m_pfaultActive->m_blValue ? m_pfaultActive->m_i64Value : a_i64Default;
    return m_pfaultActive->m_eAction;
}

void CSimSession::DeviceUnterminated(char* a_sz, std::size_t a_uSize) const
{
    std::int64_t i64 = 0;
    if (DeviceFault(i64, 0) == eSimFaultUnterminated)
    {
        std::memset(a_sz, 'X', a_uSize);
    }
}

bool CSimSession::DeviceGuard(TW_UINT16 a_u16Msg)
{
    bool blWrite = a_u16Msg == MSG_SET || a_u16Msg == MSG_RESET;
    if (blWrite ? InState(4, 4) : InState(4, 7))
    {
        return true;
    }
    Fail(TWCC_SEQERROR);
    return false;
}

TW_UINT16 CSimSession::DatConsumableMeters(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    if (a_u16Msg == MSG_GET)
    {
        // The record in a new handle, its address written to the caller's
        // variable.  Faults: "wrongsize" claims value (4) zeroed meters
        // more, "nullhandle" answers no handle.
        std::int64_t i64Extra = 0;
        ESimFaultAction eFault = DeviceFault(i64Extra, 4);
        if (eFault == eSimFaultNullHandle)
        {
            TwSetPtr(a_pData, nullptr);
            return Succeed();
        }
        std::size_t uCount = m_device.m_ameter.size() + ((eFault == eSimFaultWrongSize && i64Extra > 0) ? std::min<std::int64_t>(i64Extra, 100000) : 0);
        std::size_t uBytes = sizeof(TW_UINT32) + uCount * sizeof(SimMeterInfo);
        TW_HANDLE h = Alloc(uBytes);
        unsigned char* pu8 = static_cast<unsigned char*>((h != nullptr) ? Lock(h) : nullptr);
        if (pu8 == nullptr)
        {
            return Fail(TWCC_LOWMEMORY);
        }
        std::memset(pu8, 0, uBytes);
        TwSetU32(pu8, uCount);
        if (!m_device.m_ameter.empty())
        {
            std::memcpy(pu8 + sizeof(TW_UINT32), m_device.m_ameter.data(), m_device.m_ameter.size() * sizeof(SimMeterInfo));
        }
        Unlock(h);
        TwSetPtr(a_pData, h);
        return Succeed();
    }
    // MSG_SET and MSG_RESET: the data is the handle of the record.
    const unsigned char* pu8 = static_cast<const unsigned char*>(Lock(a_pData));
    if (pu8 == nullptr)
    {
        return Fail(TWCC_BADVALUE);
    }
    // The count, and then the records it claims, only within the block.
    if (!BlockHolds(a_pData, pu8, sizeof(TW_UINT32), a_call))
    {
        Unlock(a_pData);
        return Fail(TWCC_BADVALUE);
    }
    TW_UINT32 u32Count = TwGetU32(pu8);
    if (u32Count > kSimMetersMax ||
        !BlockHolds(a_pData, pu8, sizeof(TW_UINT32) + u32Count * sizeof(SimMeterInfo), a_call))
    {
        Unlock(a_pData);
        return Fail(TWCC_BADVALUE);
    }
    // A record without meters is valid: it changes nothing.
    std::vector<SimMeterInfo> ameter(u32Count);
    if (u32Count > 0)
    {
        std::memcpy(ameter.data(), pu8 + sizeof(TW_UINT32), u32Count * sizeof(SimMeterInfo));
    }
    a_call.m_szContainer = SimHex(pu8, sizeof(TW_UINT32) + u32Count * sizeof(SimMeterInfo));
    Unlock(a_pData);
    std::vector<SimMeterInfo> ameterNew = m_device.m_ameter;
    for (const SimMeterInfo& meter : ameter)
    {
        TW_UINT16 u16Type = static_cast<TW_UINT16>(meter.MeterType);
        if (u16Type > 6)
        {
            return Fail(TWCC_BADVALUE);
        }
        SimMeterInfo* pmeter = nullptr;
        for (SimMeterInfo& meterOld : ameterNew)
        {
            if (static_cast<TW_UINT16>(meterOld.MeterType) == u16Type)
            {
                pmeter = &meterOld;
            }
        }
        if (a_u16Msg == MSG_RESET)
        {
            // A reset meter starts counting again.
            if (pmeter == nullptr)
            {
                return Fail(TWCC_BADVALUE);
            }
            pmeter->LastReset = 0;
        }
        else if (pmeter != nullptr)
        {
            *pmeter = meter;
        }
        else
        {
            ameterNew.push_back(meter);
        }
    }
    m_device.m_ameter = ameterNew;
    return Succeed();
}

TW_UINT16 CSimSession::DatCustomDsDataGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    SimDataGroup* pgroup = static_cast<SimDataGroup*>(a_pData);
    TW_UINT16 u16Group = pgroup->Group;
    if (u16Group != 0 && m_device.m_mapgroup.count(u16Group) == 0)
    {
        return Fail(TWCC_BADVALUE);
    }
    if (a_u16Msg == MSG_GET)
    {
        std::int64_t i64 = 0;
        if (DeviceFault(i64, 0) == eSimFaultNullHandle)
        {
            pgroup->InfoLength = 0;
            pgroup->hData = nullptr;
            return Succeed();
        }
        // Group 0 names no group: an empty block.
        std::vector<unsigned char> au8;
        if (u16Group != 0)
        {
            au8 = m_device.m_mapgroup[u16Group];
        }
        TW_HANDLE h = Alloc(au8.size());
        void* pv = (h != nullptr) ? Lock(h) : nullptr;
        if (pv == nullptr)
        {
            return Fail(TWCC_LOWMEMORY);
        }
        if (!au8.empty())
        {
            std::memcpy(pv, au8.data(), au8.size());
        }
        Unlock(h);
        pgroup->InfoLength = au8.size();
        pgroup->hData = h;
        return Succeed();
    }
    if (u16Group == 0 || pgroup->InfoLength > 64 * 1024 * 1024 || (pgroup->InfoLength > 0 && pgroup->hData == nullptr))
    {
        return Fail(TWCC_BADVALUE);
    }
    std::vector<unsigned char> au8(pgroup->InfoLength);
    if (!au8.empty())
    {
        const void* pv = Lock(pgroup->hData);
        if (pv == nullptr)
        {
            return Fail(TWCC_BADVALUE);
        }
        if (!BlockHolds(pgroup->hData, pv, au8.size(), a_call))
        {
            Unlock(pgroup->hData);
            return Fail(TWCC_BADVALUE);
        }
        std::memcpy(au8.data(), pv, au8.size());
        Unlock(pgroup->hData);
    }
    a_call.m_szContainer = au8.empty() ? std::string() : SimHex(au8.data(), au8.size());
    m_device.m_mapgroup[u16Group] = au8;
    return Succeed();
}

TW_UINT16 CSimSession::DatDeviceInfo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    SimDeviceInfo* pinfo = static_cast<SimDeviceInfo*>(a_pData);
    if (a_u16Msg == MSG_SET)
    {
        // The settable fields: the device's own name and the sorter flags.
        if (!Terminated(pinfo->szDeviceName, sizeof(pinfo->szDeviceName)))
        {
            return Fail(TWCC_BADVALUE);
        }
        m_device.m_szDeviceName = pinfo->szDeviceName;
        m_device.m_u32SorterFlags = pinfo->dwSorterFlags;
        return Succeed();
    }
    if (a_u16Msg == MSG_RESET)
    {
        SimDeviceState stateDefault;
        m_device.m_szDeviceName = stateDefault.m_szDeviceName;
        m_device.m_u32SorterFlags = stateDefault.m_u32SorterFlags;
        return Succeed();
    }
    std::memset(pinfo, 0, sizeof(SimDeviceInfo));
    pinfo->dwFields = 0x7FF;
    pinfo->dwModelNumber = 7001;
    Text(pinfo->szModelName, sizeof(pinfo->szModelName), "ZAV-SIM 7001");
    Text(pinfo->szProtocol, sizeof(pinfo->szProtocol), "USB 2.0");
    Text(pinfo->szDeviceName, sizeof(pinfo->szDeviceName), m_device.m_szDeviceName);
    pinfo->dwHostAdapter = 0;
    pinfo->dwTarget = 1;
    Text(pinfo->szDeviceChange, sizeof(pinfo->szDeviceChange), "none");
    pinfo->dwFirmware = 102;
    Text(pinfo->szDriverFilename, sizeof(pinfo->szDriverFilename), "simscannerzav.ds");
    pinfo->dwSorterFlags = m_device.m_u32SorterFlags;
    DeviceUnterminated(pinfo->szModelName, sizeof(pinfo->szModelName));
    DeviceUnterminated(pinfo->szDriverFilename, sizeof(pinfo->szDriverFilename));
    return Succeed();
}

TW_UINT16 CSimSession::DatMeters(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    SimMeters* pmeters = static_cast<SimMeters*>(a_pData);
    std::memset(pmeters, 0, sizeof(SimMeters));
    pmeters->PageCountMeter = 12345 + (m_u32NextPage - 1);
    pmeters->PowerOnMeter = 360;
    pmeters->TransportPowerOnMeter = 120;
    Text(pmeters->FirstImageScannedDate, sizeof(pmeters->FirstImageScannedDate), kSimFirstScan);
    DeviceUnterminated(pmeters->FirstImageScannedDate, sizeof(pmeters->FirstImageScannedDate));
    return Succeed();
}

TW_UINT16 CSimSession::DatOcpButtons(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    std::size_t uBytes = kSimOcpButtons * sizeof(SimOcpButton);
    if (a_u16Msg == MSG_GET)
    {
        std::int64_t i64 = 0;
        if (DeviceFault(i64, 0) == eSimFaultNullHandle)
        {
            TwSetPtr(a_pData, nullptr);
            return Succeed();
        }
        TW_HANDLE h = Alloc(uBytes);
        void* pv = (h != nullptr) ? Lock(h) : nullptr;
        if (pv == nullptr)
        {
            return Fail(TWCC_LOWMEMORY);
        }
        std::memcpy(pv, m_device.m_abutton.data(), uBytes);
        Unlock(h);
        TwSetPtr(a_pData, h);
        return Succeed();
    }
    // MSG_SET: the block of 20 buttons itself.
    std::vector<SimOcpButton> abutton(kSimOcpButtons);
    std::memcpy(abutton.data(), a_pData, uBytes);
    for (const SimOcpButton& button : abutton)
    {
        if (!Terminated(button.Text, sizeof(button.Text)) || !Terminated(button.Text2, sizeof(button.Text2)) || button.NumDataFields > 3)
        {
            return Fail(TWCC_BADVALUE);
        }
    }
    a_call.m_szContainer = SimHex(a_pData, uBytes);
    m_device.m_abutton = abutton;
    return Succeed();
}

TW_UINT16 CSimSession::DatOverride(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    if (a_u16Msg == MSG_RESET)
    {
        m_device.m_szOverride.clear();
        return Succeed();
    }
    const SimOverride* poverride = static_cast<const SimOverride*>(a_pData);
    if (poverride == nullptr || poverride->pDocument == nullptr || poverride->Length > 1024 * 1024)
    {
        return Fail(TWCC_BADVALUE);
    }
    std::string szDocument(poverride->pDocument, poverride->Length);
    a_call.m_szContainer = SimHex(szDocument.data(), szDocument.size());
    if (szDocument.compare(0, 10, "<override>") != 0)
    {
        return Fail(TWCC_BADVALUE);
    }
    m_device.m_szOverride = szDocument;
    return Succeed();
}

TW_UINT16 CSimSession::DatStatusRaw(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!DeviceGuard(a_u16Msg))
    {
        return TWRC_FAILURE;
    }
    SimStatusRaw* pstatus = static_cast<SimStatusRaw*>(a_pData);
    SimStatusRaw statusDefault;
    std::memset(&statusDefault, 0, sizeof(statusDefault));
    Text(statusDefault.LastText, sizeof(statusDefault.LastText), "Ready");
    switch (a_u16Msg)
    {
        case MSG_SET:
            // What the application sets is kept as the last status.
            if (!Terminated(pstatus->LastText, sizeof(pstatus->LastText)))
            {
                return Fail(TWCC_BADVALUE);
            }
            m_device.m_status = *pstatus;
            break;
        case MSG_RESET:
            m_device.m_status = statusDefault;
            *pstatus = statusDefault;
            break;
        case MSG_GETDEFAULT:
            *pstatus = statusDefault;
            break;
        default:
            *pstatus = m_device.m_status;
            break;
    }
    pstatus->CurrentState = m_iState;
    DeviceUnterminated(pstatus->LastText, sizeof(pstatus->LastText));
    return Succeed();
}

TW_UINT16 CSimSession::DatPassThru(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    if (a_u16Msg != MSG_PASSTHRU && !Maker())
    {
        return Fail(TWCC_BADPROTOCOL);   // the inquiry and the meter read are the ZAV source's own
    }
    if (!InState(4, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    pTW_PASSTHRU ptwpassthru = static_cast<pTW_PASSTHRU>(a_pData);
    ptwpassthru->DataBytesXfered = 0;
    if ((ptwpassthru->CommandBytes > 0 && ptwpassthru->pCommand == nullptr) || ptwpassthru->CommandBytes > 16 * 1024 * 1024 ||
        (ptwpassthru->DataBytes > 0 && ptwpassthru->pData == nullptr))
    {
        return Fail(TWCC_BADVALUE);
    }
    const unsigned char* pu8Command = static_cast<const unsigned char*>(ptwpassthru->pCommand);
    if (ptwpassthru->CommandBytes > 0)
    {
        a_call.m_szContainer = SimHex(pu8Command, ptwpassthru->CommandBytes);
    }
    std::vector<unsigned char> au8Reply;
    if (a_u16Msg == MSG_PASSTHRU)
    {
        // The simulated device answers a command with the command itself.
        au8Reply.assign(pu8Command, pu8Command + ptwpassthru->CommandBytes);
    }
    else if (a_u16Msg == MSG_GETINQUIRY)
    {
        au8Reply.assign(kSimInquiry, kSimInquiry + std::strlen(kSimInquiry) + 1);
        std::int64_t i64 = 0;
        if (DeviceFault(i64, 0) == eSimFaultUnterminated)
        {
            au8Reply.assign(ptwpassthru->DataBytes, 'X');   // the whole buffer, no terminator
        }
    }
    else
    {
        // MSG_GET: READ(10) of the meter page; the transfer length (bytes
        // 7 and 8, big-endian) must be 30 and fit the reply buffer.
        if (ptwpassthru->CommandBytes != 10 || pu8Command[0] != 0x28 || ptwpassthru->Direction != TWDR_GET ||
            ((pu8Command[7] << 8) | pu8Command[8]) != 30 || ptwpassthru->DataBytes < 30)
        {
            return Fail(TWCC_BADVALUE);
        }
        auto put = [&au8Reply](std::uint32_t a_u32, int a_iBytes) {
            for (int ii = a_iBytes - 1; ii >= 0; ii--)
            {
                au8Reply.push_back(static_cast<unsigned char>(a_u32 >> (8 * ii)));
            }
        };
        put(30, 4);
        put(360, 4);
        put(120, 4);
        put(12345 + (m_u32NextPage - 1), 4);
        put(9, 1);
        put(30, 1);
        put(1, 1);
        put(15, 1);
        put(2024, 2);
        put(1000, 4);
        put(990, 4);
    }
    if (au8Reply.size() > ptwpassthru->DataBytes)
    {
        return Fail(TWCC_BADVALUE);   // the reply does not fit
    }
    if (!au8Reply.empty())
    {
        std::memcpy(ptwpassthru->pData, au8Reply.data(), au8Reply.size());
    }
    ptwpassthru->DataBytesXfered = au8Reply.size();
    return Succeed();
}
