// simdevice.h
//
// The maintenance records of the simulated device that the custom triplets
// of the ZAV source read and write (consumable meters, settings groups,
// device information, operator-panel buttons, raw status, the override
// document). One per session; simdevice.cpp has the handlers.

#ifndef DRAVO_SIMDEVICE_H
#define DRAVO_SIMDEVICE_H

#include "simdefs.h"

#include <map>
#include <string>
#include <vector>

#pragma pack(push, 2)
// One consumable meter as DAT_CONSUMABLEMETERS carries it (552 bytes).
struct SimMeterInfo
{
    TW_UINT32 MeterType;
    TW_UINT32 FieldFlags;
    TW_UINT32 Frequency;
    TW_UINT32 LastReset;
    TW_UINT32 Reminder;
    TW_UINT8  Reserved[512];
};
// DAT_CUSTOMDSDATAGROUP (1,048 bytes).
struct SimDataGroup
{
    TW_UINT32 InfoLength;
    TW_HANDLE hData;
    TW_UINT16 Group;
    TW_UINT8  Reserved[1030];
};
// DAT_DEVICEINFO (66,320 bytes).
struct SimDeviceInfo
{
    TW_UINT32 dwFields;
    TW_UINT32 dwModelNumber;
    TW_STR255 szModelName;
    TW_STR255 szProtocol;
    TW_STR255 szDeviceName;
    TW_UINT32 dwHostAdapter;
    TW_UINT32 dwTarget;
    TW_STR255 szDeviceChange;
    TW_UINT32 dwFirmware;
    TW_STR255 szDriverFilename;
    TW_UINT32 dwSorterFlags;
    TW_UINT8  Reserved[64992];
};
// DAT_METERS of DG_CUSTOM (64 bytes).
struct SimMeters
{
    TW_UINT32 PageCountMeter;
    TW_UINT32 PowerOnMeter;
    TW_UINT32 TransportPowerOnMeter;
    char      FirstImageScannedDate[40];
};
// One operator-panel button of DAT_OCPBUTTONS (784 bytes).
struct SimOcpButton
{
    char      Text[256];
    TW_UINT32 NumDataFields;
    TW_UINT32 Value1;
    char      Text2[256];
    TW_UINT32 Value2;
    TW_UINT8  Reserved[248];
};
// DAT_OVERRIDE: the document's length and address.
struct SimOverride
{
    TW_UINT32   Length;
    const char* pDocument;
};
// DAT_STATUSRAW of DG_CUSTOM (304 bytes).
struct SimStatusRaw
{
    TW_UINT32 LastToolkitStatus;
    TW_UINT32 LastSenseData[3];
    char      LastText[256];
    TW_UINT32 CurrentState;
    TW_UINT32 LastZAVStatus;
};
#pragma pack(pop)

static_assert(sizeof(SimMeterInfo) == 552, "SimMeterInfo");
static_assert(sizeof(SimDataGroup) == 1048, "SimDataGroup");
static_assert(sizeof(SimDeviceInfo) == 66320, "SimDeviceInfo");
static_assert(sizeof(SimMeters) == 64, "SimMeters");
static_assert(sizeof(SimOcpButton) == 784, "SimOcpButton");
static_assert(sizeof(SimOverride) == 16, "SimOverride");
static_assert(sizeof(SimStatusRaw) == 304, "SimStatusRaw");

// The operator-panel block: 20 buttons.
const std::size_t kSimOcpButtons = 20;
// The most consumable meters a record may carry (what the program sends).
const std::size_t kSimMetersMax = 65;

struct SimDeviceState
{
    SimDeviceState();
    std::vector<SimMeterInfo>                     m_ameter;
    std::map<TW_UINT16, std::vector<unsigned char>> m_mapgroup;   // settings block per group bit
    std::string                                   m_szDeviceName;
    TW_UINT32                                     m_u32SorterFlags;
    std::vector<SimOcpButton>                     m_abutton;
    SimStatusRaw                                  m_status;
    std::string                                   m_szOverride;
};

#endif // DRAVO_SIMDEVICE_H
