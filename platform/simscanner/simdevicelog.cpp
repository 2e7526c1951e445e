// simdevicelog.cpp
//
// DG_CONTROL / DAT_LOG MSG_GET, a maker's triplet (sources that announce
// DG_CUSTOM): the device writes one of its logs into a file the application
// names. The 772-byte request: 0 LogType (0 general, 1 operator, 2 general
// as XML, 3 service log, 4 custom), 2 DeviceType (1 feeder, 2 flatbed; 0
// for the service log, which covers the whole device), 4 Filename (256
// bytes), 260 Description (256 bytes), 516 SaveImages (TW_BOOL), the rest
// unused. State 4 only.

#include "simsession.h"

#include <cstring>
#include <string>

namespace
{
constexpr std::size_t kSimLogNameSize = 256;
constexpr std::size_t kSimLogFilename = 4;
constexpr std::size_t kSimLogDescription = 260;
constexpr std::size_t kSimLogSaveImages = 516;
}

TW_UINT16 CSimSession::DatLog(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    const unsigned char* pu8 = static_cast<const unsigned char*>(a_pData);
    TW_UINT16 u16LogType = TwGetU16(pu8);
    TW_UINT16 u16DeviceType = TwGetU16(pu8 + 2);
    const char* szFile = reinterpret_cast<const char*>(pu8 + kSimLogFilename);
    const char* szDescription = reinterpret_cast<const char*>(pu8 + kSimLogDescription);
    bool blDeviceOk = (u16LogType == 3) ? (u16DeviceType <= 2) : (u16DeviceType == 1 || u16DeviceType == 2);
    if (u16LogType > 4 || !blDeviceOk || std::memchr(szFile, 0, kSimLogNameSize) == nullptr || szFile[0] == 0 ||
        std::memchr(szDescription, 0, kSimLogNameSize) == nullptr)
    {
        return Fail(TWCC_BADVALUE);
    }
    static const char* const s_aszType[] = {"general", "operator", "general (xml)", "service", "custom"};
    std::string szLog;
    if (u16LogType == 2)
    {
        szLog = "<log><device>" + std::string(m_twidentityDs.ProductName) + "</device><sheets>" + std::to_string(m_iSheets) +
                "</sheets></log>\n";
    }
    else
    {
        szLog = std::string(m_twidentityDs.ProductName) + " " + s_aszType[u16LogType] + " log\n" +
                "device: " + (u16DeviceType == 2 ? "flatbed" : u16DeviceType == 1 ? "feeder" : "all") + "\n" +
                "description: " + szDescription + "\n" + "save images: " + (TwGetU16(pu8 + kSimLogSaveImages) ? "yes" : "no") +
                "\n" + "sheets in the feeder: " + std::to_string(m_iSheets) + "\n";
    }
    // Not waited for: a FIFO or a folder is a file the device cannot write.
    return SimWriteFile(szFile, szLog) ? Succeed() : Fail(TWCC_FILEWRITEERROR);
}
