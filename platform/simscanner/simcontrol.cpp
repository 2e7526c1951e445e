// simcontrol.cpp
//
// The control triplets of the maker's own devices (colour learning,
// calibration, the ECDO list, firmware download), which only a source that
// announces DG_CUSTOM answers, and the ICC profile of the image about to be
// transferred (DG_IMAGE / DAT_ICCPROFILE, states 6 and 7).

#include "simsession.h"

#include <sys/stat.h>

#include <cstring>

namespace
{

constexpr std::size_t kSimCalibrateSize = 1026;     // calibration type, then 1,024 bytes
constexpr std::size_t kSimFirmwareSize = 512;       // the firmware file name
constexpr std::size_t kSimEcdoName = 256;
constexpr std::size_t kSimEcdoText = 1280;
constexpr std::size_t kSimEcdoRecord = 2 + kSimEcdoName + kSimEcdoText;

struct SimEcdo
{
    TW_UINT16   m_u16Value;
    const char* m_szName;
    const char* m_szText;
};
const SimEcdo s_asimecdo[] = {{1, "MCDODefault", "Settings as the device leaves the factory"},
                              {2, "MCDOColorDocument", "Colour documents at 300 dpi"},
                              {3, "MCDOBitonalBatch", "Black and white batches at 200 dpi"}};

// The calibration types the device knows (1 to 11, there is no 9).
bool CalibrationTypeKnown(TW_UINT16 a_u16Type)
{
    return a_u16Type >= 1 && a_u16Type <= 11 && a_u16Type != 9;
}

// Writes a big-endian 32-bit number.
void PutBe32(unsigned char* a_pu8, std::uint32_t a_u32)
{
    a_pu8[0] = static_cast<unsigned char>(a_u32 >> 24);
    a_pu8[1] = static_cast<unsigned char>(a_u32 >> 16);
    a_pu8[2] = static_cast<unsigned char>(a_u32 >> 8);
    a_pu8[3] = static_cast<unsigned char>(a_u32);
}
} // namespace

TW_UINT16 CSimSession::DatAutoColorLearn(TW_UINT16, TW_MEMREF, SimJournalCall&)
{
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    return Succeed();
}

TW_UINT16 CSimSession::DatCalibrate(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    unsigned char* pu8 = static_cast<unsigned char*>(a_pData);
    if (a_u16Msg == MSG_SET)
    {
        TW_UINT16 u16Type = TwGetU16(pu8);
        if (!CalibrationTypeKnown(u16Type))
        {
            return Fail(TWCC_BADVALUE);
        }
        m_u16CalibrationType = u16Type;
        return Succeed();
    }
    // The record of the last calibration: its type, then the device's data.
    std::memset(pu8, 0, kSimCalibrateSize);
    TwSetU16(pu8, m_u16CalibrationType);
    std::snprintf(reinterpret_cast<char*>(pu8 + 2), kSimCalibrateSize - 2, "calibration %u done",
                  static_cast<unsigned>(m_u16CalibrationType));
    return Succeed();
}

TW_UINT16 CSimSession::DatEcdo(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    // The records, then an empty one that ends the list.
    std::size_t uCount = sizeof(s_asimecdo) / sizeof(s_asimecdo[0]);
    TW_HANDLE h = Alloc((uCount + 1) * kSimEcdoRecord);
    unsigned char* pu8 = (h != nullptr) ? static_cast<unsigned char*>(Lock(h)) : nullptr;
    if (pu8 == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    std::memset(pu8, 0, (uCount + 1) * kSimEcdoRecord);
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        unsigned char* pu8Record = pu8 + ii * kSimEcdoRecord;
        TwSetU16(pu8Record, s_asimecdo[ii].m_u16Value);
        std::snprintf(reinterpret_cast<char*>(pu8Record + 2), kSimEcdoName, "%s", s_asimecdo[ii].m_szName);
        std::snprintf(reinterpret_cast<char*>(pu8Record + 2 + kSimEcdoName), kSimEcdoText, "%s", s_asimecdo[ii].m_szText);
    }
    Unlock(h);
    TwSetPtr(a_pData, h);
    return Succeed();
}

TW_UINT16 CSimSession::DatFirmwareDownload(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    // A terminated name of a regular file the device can read.
    const char* szFile = static_cast<const char*>(a_pData);
    struct stat statFile;
    if (std::memchr(szFile, 0, kSimFirmwareSize) == nullptr || szFile[0] == 0 || stat(szFile, &statFile) != 0 ||
        !S_ISREG(statFile.st_mode))
    {
        return Fail(TWCC_BADVALUE);
    }
    return Succeed();
}

TW_UINT16 CSimSession::DatIccProfile(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(6, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    // A display-class profile header for the image's colour space, with an
    // empty tag table; the application owns and frees it.
    constexpr std::size_t kSize = 132;
    TW_HANDLE h = Alloc(kSize);
    unsigned char* pu8 = (h != nullptr) ? static_cast<unsigned char*>(Lock(h)) : nullptr;
    if (pu8 == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    std::memset(pu8, 0, kSize);
    PutBe32(pu8, kSize);
    PutBe32(pu8 + 8, 0x02100000);   // version 2.1
    std::memcpy(pu8 + 12, "mntr", 4);
    std::memcpy(pu8 + 16, m_paramsCurrent.m_iPixelType == TWPT_RGB ? "RGB " : "GRAY", 4);
    std::memcpy(pu8 + 20, "XYZ ", 4);
    std::memcpy(pu8 + 36, "acsp", 4);
    Unlock(h);
    pTW_MEMORY ptwmemory = static_cast<pTW_MEMORY>(a_pData);
    ptwmemory->Flags = TWMF_APPOWNS | TWMF_HANDLE;
    ptwmemory->Length = kSize;
    ptwmemory->TheMem = h;
    return Succeed();
}
