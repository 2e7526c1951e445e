// simdispatch.cpp
//
// The dispatch table of the simulated source (see simdispatch.h).

#include "simdispatch.h"

namespace
{
const SimDispatch s_asimdispatch[] = {
    {DG_CONTROL, DAT_CAPABILITY, &CSimSession::DatCapability, sizeof(TW_CAPABILITY), true, eSimRowAll,
     {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_SETCONSTRAINT, MSG_RESET, MSG_RESETALL, MSG_QUERYSUPPORT,
      MSG_GETHELP, MSG_GETLABEL, MSG_GETLABELENUM}},
    {DG_CONTROL, DAT_EVENT, &CSimSession::DatEvent, sizeof(TW_EVENT), true, eSimRowAll, {MSG_PROCESSEVENT}},
    {DG_CONTROL, DAT_IDENTITY, &CSimSession::DatIdentity, sizeof(TW_IDENTITY), true, eSimRowAll, {MSG_GET}},
    {DG_CONTROL, DAT_PENDINGXFERS, &CSimSession::DatPendingXfers, sizeof(TW_PENDINGXFERS), true, eSimRowAll,
     {MSG_GET, MSG_ENDXFER, MSG_RESET, MSG_STOPFEEDER, MSG_ENDXFERSPECIAL}},
    {DG_CONTROL, DAT_SETUPMEMXFER, &CSimSession::DatSetupMemXfer, sizeof(TW_SETUPMEMXFER), true, eSimRowAll, {MSG_GET}},
    {DG_CONTROL, DAT_SETUPFILEXFER, &CSimSession::DatSetupFileXfer, sizeof(TW_SETUPFILEXFER), true, eSimRowAll,
     {MSG_GET, MSG_GETDEFAULT, MSG_SET, MSG_RESET}},
    {DG_CONTROL, DAT_STATUS, &CSimSession::DatStatus, sizeof(TW_STATUS), true, eSimRowAll, {MSG_GET}},
    {DG_CONTROL, DAT_USERINTERFACE, &CSimSession::DatUserInterface, sizeof(TW_USERINTERFACE), true, eSimRowAll,
     {MSG_ENABLEDS, MSG_ENABLEDSUIONLY, MSG_DISABLEDS, MSG_SETUPDS, MSG_ENABLEINFO, MSG_ENABLEDSADVANCED, MSG_ENABLEDSPREVIEW,
      MSG_ENABLEDSUIONLYADVANCED, MSG_ENABLESETUPIAPRINTER, MSG_ENABLESETUPNOIAPRINTER, MSG_ENABLEDSPREVIEWTOAPPLICATION,
      MSG_ENABLESETUPNOIAPRINTEROCP, 0x801F}},
    {DG_CONTROL, DAT_XFERGROUP, &CSimSession::DatXferGroup, sizeof(TW_UINT32), true, eSimRowAll,
     {MSG_GET, MSG_SET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET}},
    {DG_CONTROL, DAT_CUSTOMDSDATA, &CSimSession::DatCustomDsData, sizeof(TW_CUSTOMDSDATA), true, eSimRowAll, {MSG_GET, MSG_SET}},
    {DG_CONTROL, DAT_DEVICEEVENT, &CSimSession::DatDeviceEvent, sizeof(TW_DEVICEEVENT), true, eSimRowAll, {MSG_GET}},
    {DG_CONTROL, DAT_FILESYSTEM, &CSimSession::DatFileSystem, sizeof(TW_FILESYSTEM), true, eSimRowFileSystem,
     {MSG_CHANGEDIRECTORY, MSG_GETINFO, MSG_GETFIRSTFILE, MSG_GETNEXTFILE, MSG_GETCLOSE}},
    {DG_IMAGE, DAT_IMAGEINFO, &CSimSession::DatImageInfo, sizeof(TW_IMAGEINFO), true, eSimRowAll, {MSG_GET}},
    {DG_IMAGE, DAT_IMAGELAYOUT, &CSimSession::DatImageLayout, sizeof(TW_IMAGELAYOUT), true, eSimRowAll,
     {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET}},
    {DG_IMAGE, DAT_IMAGEMEMXFER, &CSimSession::DatImageMemXfer, sizeof(TW_IMAGEMEMXFER), true, eSimRowAll, {MSG_GET}},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, &CSimSession::DatImageNativeXfer, sizeof(TW_HANDLE), true, eSimRowAll, {MSG_GET}},
    {DG_IMAGE, DAT_IMAGEFILEXFER, &CSimSession::DatImageFileXfer, 0, false, eSimRowAll, {MSG_GET}},
    {DG_IMAGE, DAT_IMAGEMEMFILEXFER, &CSimSession::DatImageMemFileXfer, sizeof(TW_IMAGEMEMXFER), true, eSimRowAll, {MSG_GET}},
    {DG_IMAGE, DAT_EXTIMAGEINFO, &CSimSession::DatExtImageInfo, sizeof(TW_UINT32), true, eSimRowAll, {MSG_GET, MSG_GETSPECIAL}},
    // Control triplets: colour learning, calibration, ECDO, firmware, ICC profile.
    {DG_CUSTOM, DAT_AUTOCOLORLEARN, &CSimSession::DatAutoColorLearn, 0, false, eSimRowMaker, {MSG_SET}},
    {DG_CUSTOM, DAT_CALIBRATE, &CSimSession::DatCalibrate, 1026, true, eSimRowMaker, {MSG_GET, MSG_SET}},
    {DG_CONTROL, DAT_ECDO, &CSimSession::DatEcdo, sizeof(TW_HANDLE), true, eSimRowMaker, {MSG_GET}},
    {DG_CUSTOM, DAT_FIRMWAREDOWNLOAD, &CSimSession::DatFirmwareDownload, 512, true, eSimRowMaker, {MSG_SET}},
    {DG_IMAGE, DAT_ICCPROFILE, &CSimSession::DatIccProfile, sizeof(TW_MEMORY), true, eSimRowProtocol2, {MSG_GET}},

    // Transfers: profiles, user interface, UTC, windows, transfer groups.
    {DG_CONTROL, DAT_PROFILES, &CSimSession::DatProfiles, sizeof(TW_HANDLE), true, eSimRowMaker,
     {MSG_GET, MSG_PROFILECREATE, MSG_PROFILEDELETE, MSG_PROFILEEXPORT, MSG_PROFILEIMPORT, MSG_PROFILERENAME,
      MSG_PROFILERESTORE, MSG_PROFILESAVE, MSG_PROFILESET, MSG_SAVEPROFILE, MSG_DELETEPROFILE}},
    {DG_CUSTOM, DAT_UTC, &CSimSession::DatUtc, 8, true, eSimRowMaker, {MSG_GET}},
    {DG_CONTROL, DAT_WINDOW, &CSimSession::DatWindow, 1026, true, eSimRowMaker, {MSG_ADDWINDOW, MSG_DELETEWINDOW}},

    // Device triplets: meters, custom data, device information, log, buttons,
    // override, pass-through, raw status.
    {DG_CONTROL, DAT_LOG, &CSimSession::DatLog, 772, true, eSimRowMaker, {MSG_GET}},
    {DG_CONTROL, DAT_CONSUMABLEMETERS, &CSimSession::DatConsumableMeters, 0, true, eSimRowMaker, {MSG_GET, MSG_SET, MSG_RESET}},
    {DG_CONTROL, DAT_CUSTOMDSDATAGROUP, &CSimSession::DatCustomDsDataGroup, sizeof(SimDataGroup), true, eSimRowMaker, {MSG_GET, MSG_SET}},
    {DG_CONTROL, DAT_DEVICEINFO, &CSimSession::DatDeviceInfo, offsetof(SimDeviceInfo, Reserved), true, eSimRowMaker, {MSG_GET, MSG_SET, MSG_RESET}},
    {DG_CUSTOM, DAT_METERS, &CSimSession::DatMeters, sizeof(SimMeters), true, eSimRowMaker, {MSG_GET}},
    {DG_CONTROL, DAT_OCPBUTTONS, &CSimSession::DatOcpButtons, 0, true, eSimRowMaker, {MSG_GET, MSG_SET}},
    {DG_CONTROL, DAT_OVERRIDE, &CSimSession::DatOverride, sizeof(SimOverride), false, eSimRowMaker, {MSG_SET, MSG_RESET}},
    {DG_CUSTOM, DAT_STATUSRAW, &CSimSession::DatStatusRaw, sizeof(SimStatusRaw), true, eSimRowMaker,
     {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET}},
    {DG_CONTROL, DAT_PASSTHRU, &CSimSession::DatPassThru, sizeof(TW_PASSTHRU), true, eSimRowAll, {MSG_PASSTHRU, MSG_GET, MSG_GETINQUIRY}},

    // TWAIN Direct.
    {DG_CONTROL, DAT_TWAINDIRECT, &CSimSession::DatTwainDirect, sizeof(TW_TWAINDIRECT), true, eSimRowProtocol24, {MSG_SETTASK}},
};
}

const SimDispatch* SimFindDispatch(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat)
{
    for (const SimDispatch& dispatch : s_asimdispatch)
    {
        if (dispatch.m_u32Dg == (a_u32Dg & DG_MASK) && dispatch.m_u16Dat == a_u16Dat)
        {
            return &dispatch;
        }
    }
    return nullptr;
}

const SimDispatch* SimDispatchTable(std::size_t& a_uCount)
{
    a_uCount = sizeof(s_asimdispatch) / sizeof(s_asimdispatch[0]);
    return s_asimdispatch;
}

bool SimDispatchKnows(const SimDispatch& a_dispatch, TW_UINT16 a_u16Msg)
{
    for (TW_UINT16 u16 : a_dispatch.m_au16Msg)
    {
        if (u16 == a_u16Msg)
        {
            return true;
        }
    }
    return false;
}
