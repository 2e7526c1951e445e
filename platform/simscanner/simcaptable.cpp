// simcaptable.cpp
//
// The built-in capability table of the simulated scanner: every capability is
// a row of data. A configuration file can replace or remove any row.

#include "simprofile.h"

#include <algorithm>

namespace
{
std::vector<SimItem> Ints(std::initializer_list<std::int64_t> a_ai64)
{
    std::vector<SimItem> aitem;
    for (std::int64_t i64 : a_ai64)
    {
        aitem.push_back(SimInt(i64));
    }
    return aitem;
}

std::vector<SimItem> Fixes(std::initializer_list<double> a_ad)
{
    std::vector<SimItem> aitem;
    for (double d : a_ad)
    {
        aitem.push_back(SimFix(d));
    }
    return aitem;
}

std::vector<SimItem> Strs(std::initializer_list<const char*> a_asz)
{
    std::vector<SimItem> aitem;
    for (const char* sz : a_asz)
    {
        aitem.push_back(SimStr(sz));
    }
    return aitem;
}

SimCapDef Enum(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Type, std::vector<SimItem> a_aitem, SimItem a_itemDefault)
{
    SimCapDef def;
    def.m_u16Cap = a_u16Cap;
    def.m_u16Type = a_u16Type;
    def.m_eShape = eSimEnum;
    def.m_aValues = a_aitem;
    def.m_aDefault.push_back(a_itemDefault);
    return def;
}

SimCapDef Range(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Type, SimItem a_min, SimItem a_max, SimItem a_step, SimItem a_itemDefault)
{
    SimCapDef def;
    def.m_u16Cap = a_u16Cap;
    def.m_u16Type = a_u16Type;
    def.m_eShape = eSimRange;
    def.m_min = a_min;
    def.m_max = a_max;
    def.m_step = a_step;
    def.m_aDefault.push_back(a_itemDefault);
    return def;
}

SimCapDef One(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Type, SimItem a_itemDefault, bool a_blReadOnly)
{
    SimCapDef def;
    def.m_u16Cap = a_u16Cap;
    def.m_u16Type = a_u16Type;
    def.m_eShape = eSimOneValue;
    def.m_aDefault.push_back(a_itemDefault);
    def.m_blReadOnly = a_blReadOnly;
    return def;
}

SimCapDef Arr(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Type, std::vector<SimItem> a_aitemAllowed, std::vector<SimItem> a_aitemDefault,
              bool a_blReadOnly)
{
    SimCapDef def;
    def.m_u16Cap = a_u16Cap;
    def.m_u16Type = a_u16Type;
    def.m_eShape = eSimArray;
    def.m_aValues = a_aitemAllowed;
    def.m_aDefault = a_aitemDefault;
    def.m_blReadOnly = a_blReadOnly;
    return def;
}

SimCapDef Requires(SimCapDef a_def, TW_UINT16 a_u16Cap, std::int64_t a_i64Value)
{
    a_def.m_u16RequireCap = a_u16Cap;
    a_def.m_i64RequireValue = a_i64Value;
    return a_def;
}

SimCapDef Kind(SimCapDef a_def, ESimKind a_eKind)
{
    a_def.m_eKind = a_eKind;
    return a_def;
}

SimCapDef Link(SimCapDef a_def, TW_UINT16 a_u16KeyCap, std::int64_t a_i64Key, std::vector<SimItem> a_aitem, SimItem a_itemDefault)
{
    SimCapLink link;
    link.m_u16KeyCap = a_u16KeyCap;
    link.m_i64KeyValue = a_i64Key;
    link.m_aAllowed = a_aitem;
    link.m_def = a_itemDefault;
    a_def.m_aLinks.push_back(link);
    return a_def;
}

// Sample values of the simulator's own test capabilities, per item type.
std::vector<SimItem> SampleValues(TW_UINT16 a_u16Type)
{
    switch (a_u16Type)
    {
        case TWTY_INT8:   return Ints({-100, -1, 0, 1, 100});
        case TWTY_INT16:  return Ints({-30000, -2, 0, 2, 30000});
        case TWTY_INT32:  return Ints({-2000000000, -3, 0, 3, 2000000000});
        case TWTY_UINT8:  return Ints({0, 1, 127, 200, 255});
        case TWTY_UINT16: return Ints({0, 1, 1000, 40000, 65535});
        case TWTY_UINT32: return Ints({0, 1, 100000, 3000000000LL, 4294967295LL});
        case TWTY_BOOL:   return Ints({0, 1});
        case TWTY_FIX32:  return Fixes({-2.5, -0.25, 0, 1.5, 300.75});
        case TWTY_FRAME:
        case TWTY_FRAMEANGLE:
            return {SimFrame(0, 0, 8.5, 11, 0), SimFrame(1, 1, 4.25, 5.5, 90), SimFrame(0.5, 0.25, 2, 3, -45)};
        case TWTY_STR32:  return Strs({"alpha", "beta", "gamma"});
        case TWTY_STR64:  return Strs({"sixty-four one", "sixty-four two", "sixty-four three"});
        case TWTY_STR128: return Strs({"one hundred twenty-eight a", "one hundred twenty-eight b"});
        case TWTY_STR255: return Strs({"two hundred fifty-five a", "two hundred fifty-five b"});
        case TWTY_STR1024: return Strs({"one thousand twenty-four a", "one thousand twenty-four b"});
        case TWTY_UNI512: return Strs({"unicode one", "unicode two"});
        case TWTY_HANDLE: return Ints({0, 0x10, 0x20});   // opaque values, never memory
        default:          return {};
    }
}

// One test capability per item type and container shape:
// id = CAP_SIMBASE + 4 x type index + shape (0 one-value, 1 enumeration, 2 range,
// 3 array); type index 0..13 are TWTY_INT8..TWTY_STR1024, 14 TWTY_FRAMEANGLE;
// 15 TWTY_UNI512 and 16 TWTY_HANDLE, read only (one-value, enumeration, array).
void AddTestCaps(std::vector<SimCapDef>& a_adef)
{
    const TW_UINT16 au16Type[] = {TWTY_INT8, TWTY_INT16, TWTY_INT32, TWTY_UINT8, TWTY_UINT16, TWTY_UINT32, TWTY_BOOL, TWTY_FIX32,
                                  TWTY_FRAME, TWTY_STR32, TWTY_STR64, TWTY_STR128, TWTY_STR255, TWTY_STR1024, TWTY_FRAMEANGLE};
    for (int iType = 0; iType < 15; iType++)
    {
        TW_UINT16 u16Type = au16Type[iType];
        std::vector<SimItem> aitem = SampleValues(u16Type);
        TW_UINT16 u16Base = static_cast<TW_UINT16>(CAP_SIMBASE + 4 * iType);
        SimCapDef defOne = One(u16Base, u16Type, aitem[1], false);
        a_adef.push_back(defOne);
        if (SimTypeIsFrame(u16Type))
        {
            // Frames have no list of their own: the enumeration holds the frames in use.
            SimCapDef def = Enum(static_cast<TW_UINT16>(u16Base + 1), u16Type, {}, aitem[0]);
            def.m_blFree = true;
            def.m_u64MaxItems = 4;
            def.m_aDefault = {aitem[0], aitem[1]};
            a_adef.push_back(def);
        }
        else
        {
            a_adef.push_back(Enum(static_cast<TW_UINT16>(u16Base + 1), u16Type, aitem, aitem[2 < aitem.size() ? 2 : 0]));
        }
        if (SimTypeIsNumeric(u16Type))
        {
            SimItem step = (u16Type == TWTY_FIX32) ? SimFix(0.25) : SimInt(u16Type == TWTY_UINT32 ? 1000 : 2);
            a_adef.push_back(Range(static_cast<TW_UINT16>(u16Base + 2), u16Type, aitem[0], aitem[4], step, aitem[0]));
        }
        a_adef.push_back(Arr(static_cast<TW_UINT16>(u16Base + 3), u16Type, {}, {aitem[0], aitem[1]}, false));
    }
    const TW_UINT16 au16ReadOnly[] = {TWTY_UNI512, TWTY_HANDLE};
    for (int iType = 15; iType < 17; iType++)
    {
        TW_UINT16 u16Type = au16ReadOnly[iType - 15];
        std::vector<SimItem> aitem = SampleValues(u16Type);
        TW_UINT16 u16Base = static_cast<TW_UINT16>(CAP_SIMBASE + 4 * iType);
        a_adef.push_back(One(u16Base, u16Type, aitem[1], true));
        SimCapDef defEnum = Enum(static_cast<TW_UINT16>(u16Base + 1), u16Type, aitem, aitem[0]);
        defEnum.m_blReadOnly = true;
        a_adef.push_back(defEnum);
        a_adef.push_back(Arr(static_cast<TW_UINT16>(u16Base + 3), u16Type, {}, {aitem[0], aitem[1]}, true));
    }
}

const std::vector<SimItem> s_aitemDeviceEvents = Ints({
    TWDE_CHECKAUTOMATICCAPTURE, TWDE_CHECKBATTERY, TWDE_CHECKDEVICEONLINE, TWDE_CHECKFLASH, TWDE_CHECKPOWERSUPPLY,
    TWDE_CHECKRESOLUTION, TWDE_DEVICEADDED, TWDE_DEVICEOFFLINE, TWDE_DEVICEREADY, TWDE_DEVICEREMOVED,
    TWDE_IMAGECAPTURED, TWDE_IMAGEDELETED, TWDE_PAPERDOUBLEFEED, TWDE_PAPERJAM, TWDE_LAMPFAILURE, TWDE_POWERSAVE,
    TWDE_POWERSAVENOTIFY, TWDE_LAMPWARMUP});
}

std::vector<TW_UINT16> SimSupportedExtImageInfo()
{
    return {TWEI_DOCUMENTNUMBER, TWEI_PAGENUMBER, TWEI_CAMERA, TWEI_FRAMENUMBER, TWEI_FRAME, TWEI_PIXELFLAVOR,
            TWEI_PAGESIDE, TWEI_IMAGEMERGED, TWEI_PAPERCOUNT, TWEI_DESKEWSTATUS, TWEI_SKEWORIGINALANGLE,
            TWEI_BARCODECOUNT, TWEI_BARCODETEXT, TWEI_BARCODETEXTLENGTH, TWEI_BARCODETYPE, TWEI_BARCODEROTATION,
            TWEI_BARCODEX, TWEI_BARCODEY, TWEI_BARCODECONFIDENCE, TWEI_BOOKNAME, TWEI_CHAPTERNUMBER,
            TWEI_PRINTERTEXT, TWEI_TWAINDIRECTMETADATA};
}

std::vector<SimCapDef> SimDefaultCaps(const SimProfile& a_profile)
{
    std::vector<SimCapDef> adef;
    const SimItem F = SimInt(0);
    const SimItem T = SimInt(1);

    // Transfer and image format.
    SimCapDef defXferCount = One(CAP_XFERCOUNT, TWTY_INT16, SimInt(-1), false);
    defXferCount.m_blLimits = true;
    defXferCount.m_min = SimInt(-1);
    defXferCount.m_max = SimInt(32767);
    defXferCount.m_aForbid = Ints({0});
    adef.push_back(defXferCount);
    adef.push_back(Enum(ICAP_XFERMECH, TWTY_UINT16, Ints({TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY, TWSX_MEMFILE}), SimInt(TWSX_NATIVE)));
    // JPEG for gray and colour, Group 4 for black and white.
    SimCapDef defCompression = Enum(ICAP_COMPRESSION, TWTY_UINT16, Ints({TWCP_NONE, TWCP_GROUP4, TWCP_JPEG}), SimInt(TWCP_NONE));
    defCompression = Link(defCompression, ICAP_PIXELTYPE, TWPT_BW, Ints({TWCP_NONE, TWCP_GROUP4}), SimInt(TWCP_NONE));
    defCompression = Link(defCompression, ICAP_PIXELTYPE, TWPT_GRAY, Ints({TWCP_NONE, TWCP_JPEG}), SimInt(TWCP_NONE));
    defCompression = Link(defCompression, ICAP_PIXELTYPE, TWPT_RGB, Ints({TWCP_NONE, TWCP_JPEG}), SimInt(TWCP_NONE));
    adef.push_back(defCompression);
    adef.push_back(Enum(ICAP_PIXELTYPE, TWTY_UINT16, Ints({TWPT_BW, TWPT_GRAY, TWPT_RGB}), SimInt(TWPT_BW)));
    // Bits a pixel: 8 or 16 bits a sample for gray and colour.
    SimCapDef defBitDepth = Enum(ICAP_BITDEPTH, TWTY_UINT16, Ints({1, 8, 16, 24, 48}), SimInt(1));
    defBitDepth = Link(defBitDepth, ICAP_PIXELTYPE, TWPT_BW, Ints({1}), SimInt(1));
    defBitDepth = Link(defBitDepth, ICAP_PIXELTYPE, TWPT_GRAY, Ints({8, 16}), SimInt(8));
    defBitDepth = Link(defBitDepth, ICAP_PIXELTYPE, TWPT_RGB, Ints({24, 48}), SimInt(24));
    adef.push_back(defBitDepth);
    adef.push_back(Enum(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, Ints({TWFF_TIFF, TWFF_BMP, TWFF_JFIF}), SimInt(TWFF_BMP)));
    adef.push_back(Enum(ICAP_PIXELFLAVOR, TWTY_UINT16, Ints({TWPF_CHOCOLATE, TWPF_VANILLA}), SimInt(TWPF_CHOCOLATE)));
    adef.push_back(One(ICAP_BITORDER, TWTY_UINT16, SimInt(TWBO_MSBFIRST), true));
    adef.push_back(One(ICAP_PLANARCHUNKY, TWTY_UINT16, SimInt(TWPC_CHUNKY), true));
    adef.push_back(Requires(Range(ICAP_JPEGQUALITY, TWTY_INT16, SimInt(0), SimInt(100), SimInt(1), SimInt(75)), ICAP_COMPRESSION,
                            TWCP_JPEG));
    adef.push_back(One(ICAP_EXTIMAGEINFO, TWTY_BOOL, F, false));
    adef.push_back(Arr(ICAP_SUPPORTEDEXTIMAGEINFO, TWTY_UINT16, {}, {}, true));
    for (TW_UINT16 u16 : SimSupportedExtImageInfo())
    {
        adef.back().m_aDefault.push_back(SimInt(u16));
    }

    // Geometry (lengths in inches, resolutions in dots per inch).
    adef.push_back(Enum(ICAP_UNITS, TWTY_UINT16,
                        Ints({TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS, TWUN_POINTS, TWUN_TWIPS, TWUN_PIXELS, TWUN_MILLIMETERS}),
                        SimInt(TWUN_INCHES)));
    std::vector<SimItem> aitemRes = Fixes({50, 75, 100, 150, 200, 300, 600});
    adef.push_back(Kind(Enum(ICAP_XRESOLUTION, TWTY_FIX32, aitemRes, SimFix(100)), eSimResolution));
    adef.push_back(Kind(Enum(ICAP_YRESOLUTION, TWTY_FIX32, aitemRes, SimFix(100)), eSimResolution));
    adef.push_back(Kind(One(ICAP_XNATIVERESOLUTION, TWTY_FIX32, SimFix(600), true), eSimResolution));
    adef.push_back(Kind(One(ICAP_YNATIVERESOLUTION, TWTY_FIX32, SimFix(600), true), eSimResolution));
    adef.push_back(Kind(One(ICAP_PHYSICALWIDTH, TWTY_FIX32, SimFix(8.5), true), eSimLengthX));
    adef.push_back(Kind(One(ICAP_PHYSICALHEIGHT, TWTY_FIX32, SimFix(14), true), eSimLengthY));
    adef.push_back(Kind(One(ICAP_MINIMUMWIDTH, TWTY_FIX32, SimFix(1), true), eSimLengthX));
    adef.push_back(Kind(One(ICAP_MINIMUMHEIGHT, TWTY_FIX32, SimFix(1), true), eSimLengthY));
    SimCapDef defFrames = Kind(Enum(ICAP_FRAMES, TWTY_FRAME, {}, SimFrame(0, 0, 8.5, 11)), eSimFrameKind);
    defFrames.m_blFree = true;
    defFrames.m_u64MaxItems = 1;
    adef.push_back(defFrames);
    adef.push_back(One(ICAP_MAXFRAMES, TWTY_UINT16, SimInt(1), true));
    adef.push_back(Enum(ICAP_ORIENTATION, TWTY_UINT16, Ints({TWOR_ROT0, TWOR_ROT90, TWOR_ROT180, TWOR_ROT270}), SimInt(TWOR_ROT0)));
    adef.push_back(Enum(ICAP_ROTATION, TWTY_FIX32, Fixes({0, 90, 180, 270}), SimFix(0)));

    // Image adjustments (kept and answered, without effect on the synthetic pages).
    adef.push_back(Range(ICAP_BRIGHTNESS, TWTY_FIX32, SimFix(-1000), SimFix(1000), SimFix(1), SimFix(0)));
    adef.push_back(Range(ICAP_CONTRAST, TWTY_FIX32, SimFix(-1000), SimFix(1000), SimFix(1), SimFix(0)));
    adef.push_back(Enum(ICAP_GAMMA, TWTY_FIX32, Fixes({1.0, 1.8, 2.2}), SimFix(2.2)));
    adef.push_back(Requires(Range(ICAP_THRESHOLD, TWTY_FIX32, SimFix(0), SimFix(255), SimFix(1), SimFix(128)), ICAP_PIXELTYPE, TWPT_BW));
    adef.push_back(Enum(ICAP_HALFTONES, TWTY_STR32, Strs({"Fixed Thresholding", "Dither 4x4", "Error Diffusion"}),
                        SimStr("Fixed Thresholding")));
    adef.push_back(One(ICAP_AUTOMATICDESKEW, TWTY_BOOL, F, false));

    // Device.
    adef.push_back(One(CAP_AUTHOR, TWTY_STR128, SimStr(""), false));
    adef.push_back(One(CAP_CAPTION, TWTY_STR255, SimStr(""), false));
    adef.push_back(One(CAP_TIMEDATE, TWTY_STR32, SimStr("2000/01/01 12:00:00.000"), true));
    adef.push_back(One(CAP_SERIALNUMBER, TWTY_STR255, SimStr("SIM-0000-0001"), true));
    adef.push_back(Arr(CAP_SUPPORTEDCAPS, TWTY_UINT16, {}, {}, true));
    adef.push_back(Arr(CAP_SUPPORTEDDATS, TWTY_UINT32, {}, {}, true));
    adef.push_back(One(CAP_INDICATORS, TWTY_BOOL, T, false));
    adef.push_back(One(CAP_UICONTROLLABLE, TWTY_BOOL, T, true));
    adef.push_back(One(CAP_DEVICEONLINE, TWTY_BOOL, T, true));
    adef.push_back(One(CAP_ENABLEDSUIONLY, TWTY_BOOL, T, true));
    adef.push_back(One(CAP_CUSTOMDSDATA, TWTY_BOOL, T, true));
    adef.push_back(Arr(CAP_DEVICEEVENT, TWTY_UINT16, s_aitemDeviceEvents, {}, false));
    adef.push_back(Enum(CAP_LANGUAGE, TWTY_UINT16, Ints({TWLG_ENGLISH_USA, TWLG_ENGLISH, TWLG_FRENCH, TWLG_GERMAN, 0xFFFF}),
                        SimInt(TWLG_ENGLISH_USA)));
    adef.push_back(Range(CAP_ALARMVOLUME, TWTY_INT32, SimInt(0), SimInt(100), SimInt(1), SimInt(50)));
    adef.push_back(Range(CAP_MAXBATCHBUFFERS, TWTY_UINT32, SimInt(1), SimInt(10), SimInt(1), SimInt(4)));
    adef.push_back(One(CAP_BATTERYMINUTES, TWTY_INT32, SimInt(TWBM_INFINITE), true));
    adef.push_back(One(CAP_BATTERYPERCENTAGE, TWTY_INT16, SimInt(TWBP_INFINITE), true));
    adef.push_back(One(CAP_POWERSUPPLY, TWTY_UINT16, SimInt(TWPS_EXTERNAL), true));
    adef.push_back(Arr(CAP_PRINTERSTRING, TWTY_STR255, {}, Strs({"Simulated"}), false));
    adef.push_back(Range(CAP_SHEETCOUNT, TWTY_UINT32, SimInt(0), SimInt(10000), SimInt(1), SimInt(0)));

    if (a_profile.m_blFeeder)
    {
        adef.push_back(Enum(CAP_FEEDERENABLED, TWTY_BOOL, Ints({0, 1}), T));
        adef.push_back(Requires(One(CAP_FEEDERLOADED, TWTY_BOOL, F, true), CAP_FEEDERENABLED, 1));
        adef.push_back(Requires(One(CAP_AUTOFEED, TWTY_BOOL, T, false), CAP_FEEDERENABLED, 1));
        adef.push_back(One(CAP_PAPERDETECTABLE, TWTY_BOOL, T, true));
        adef.push_back(One(CAP_DUPLEX, TWTY_UINT16, SimInt(TWDX_1PASSDUPLEX), true));
        adef.push_back(Enum(CAP_DUPLEXENABLED, TWTY_BOOL, Ints({0, 1}), F));
        adef.push_back(Kind(Range(CAP_DOUBLEFEEDDETECTIONLENGTH, TWTY_FIX32, SimFix(0.5), SimFix(5), SimFix(0.25), SimFix(1.5)),
                            eSimLengthY));
    }
    if (a_profile.m_blFileSystem)
    {
        // Per-camera settings: what a request addresses follows DAT_FILESYSTEM.
        const TW_UINT16 au16PerCamera[] = {ICAP_PIXELTYPE, ICAP_BITDEPTH, ICAP_COMPRESSION, ICAP_XRESOLUTION, ICAP_YRESOLUTION,
                                           ICAP_BRIGHTNESS, ICAP_CONTRAST, ICAP_THRESHOLD, ICAP_JPEGQUALITY};
        for (SimCapDef& def : adef)
        {
            for (TW_UINT16 u16 : au16PerCamera)
            {
                if (def.m_u16Cap == u16)
                {
                    def.m_eScope = eSimScopeCamera;
                }
            }
        }
        SimSetCameraDefaults(adef, a_profile.m_aszCameras);
        SimCapDef defEnabled = Enum(CAP_CAMERAENABLED, TWTY_BOOL, Ints({0, 1}), F);
        defEnabled.m_eScope = eSimScopeCamera;
        defEnabled.m_aScopeDefaults.push_back(std::make_pair(-1, T));
        defEnabled.m_aScopeDefaults.push_back(std::make_pair(0, T));
        adef.push_back(defEnabled);
        adef.push_back(Enum(CAP_CAMERASIDE, TWTY_UINT16, Ints({TWCS_BOTH, TWCS_TOP, TWCS_BOTTOM}), SimInt(TWCS_BOTH)));
    }
    if (a_profile.m_blWindows)
    {
        // Camera windows: the per-window settings follow CAP_WINDOWCAMERA.
        adef.push_back(Enum(CAP_WINDOWCAMERA, TWTY_UINT16,
                            Ints({TWWC_BASE_BITONAL_FRONT, TWWC_BASE_BITONAL_REAR, TWWC_BASE_COLOR_FRONT, TWWC_BASE_COLOR_REAR,
                                  TWWC_1_BITONAL_FRONT, TWWC_1_COLOR_FRONT}),
                            SimInt(TWWC_BASE_COLOR_FRONT)));
        SimCapDef defEnable = Enum(CAP_CAMERAENABLE, TWTY_BOOL, Ints({0, 1}), F);
        defEnable.m_eScope = eSimScopeWindow;
        defEnable.m_aScopeDefaults = {{TWWC_BASE_BITONAL_FRONT, T}, {TWWC_BASE_COLOR_FRONT, T}};
        adef.push_back(defEnable);
        SimCapDef defFormat = Enum(ICAP_IMAGEFORMAT, TWTY_UINT16, Ints({0, 1, 2}), SimInt(2));
        defFormat.m_eScope = eSimScopeWindow;
        for (int iWindow : {TWWC_BASE_BITONAL_FRONT, TWWC_BASE_BITONAL_REAR, TWWC_1_BITONAL_FRONT})
        {
            defFormat.m_aScopeDefaults.push_back(std::make_pair(iWindow, SimInt(0)));
        }
        adef.push_back(defFormat);
        SimCapDef defAngle = Kind(Enum(ICAP_FRAMESANGLE, TWTY_FRAMEANGLE, {}, SimFrame(0, 0, 8.5, 11, 0)), eSimFrameKind);
        defAngle.m_blFree = true;
        defAngle.m_u64MaxItems = 1;
        defAngle.m_eScope = eSimScopeWindow;
        adef.push_back(defAngle);
    }
    if (a_profile.m_blCustomQueryBits)
    {
        // This program's own Data Sources use a profile capability for resets.
        adef.push_back(Enum(CAP_PROFILES, TWTY_UINT16, Ints({0, 1, 2}), SimInt(0)));

        // The maker's settings that switch others on, in the order a
        // supported-capability check enables them: edge fill needs transport
        // cropping, the JPEG pixel type needs JPEG compression.
        adef.push_back(Enum(CAP_SIDESDIFFERENT, TWTY_BOOL, Ints({0, 1}), SimInt(0)));
        adef.push_back(Enum(ICAP_CROPPINGMODE, TWTY_UINT16, Ints({0, 1}), SimInt(0)));
        adef.push_back(Requires(Enum(ICAP_IMAGEEDGEFILL, TWTY_UINT16, Ints({0, 1, 2}), SimInt(0)), ICAP_CROPPINGMODE, 1));
        adef.push_back(Kind(Range(CAP_PAGESIZELIMIT, TWTY_FIX32, SimFix(1), SimFix(14), SimFix(0.5), SimFix(11)), eSimLengthY));
        adef.push_back(Enum(ICAP_FILTERENUM, TWTY_UINT16, Ints({0, 1, 2, 3}), SimInt(3)));
        adef.push_back(Requires(Enum(ICAP_JPEGPIXELTYPE, TWTY_UINT16, Ints({TWPT_GRAY, TWPT_RGB}), SimInt(TWPT_RGB)),
                                ICAP_COMPRESSION, TWCP_JPEG));
        adef.push_back(Enum(CAP_WINDOWCAMERA, TWTY_UINT16, Ints({TWWC_BASE_BITONAL_FRONT, TWWC_BASE_COLOR_FRONT}),
                            SimInt(TWWC_BASE_BITONAL_FRONT)));
        adef.push_back(Enum(CAP_PRINTERENABLED, TWTY_BOOL, Ints({0, 1}), SimInt(0)));
    }
    AddTestCaps(adef);
    return adef;
}

void SimSetCameraDefaults(std::vector<SimCapDef>& a_adef, const std::vector<std::string>& a_aszCameras)
{
    for (SimCapDef& def : a_adef)
    {
        if (def.m_u16Cap != ICAP_PIXELTYPE)
        {
            continue;
        }
        // Keep what is not a camera's own (the default for all cameras).
        def.m_aScopeDefaults.erase(std::remove_if(def.m_aScopeDefaults.begin(), def.m_aScopeDefaults.end(),
                                                  [](const std::pair<int, SimItem>& a_pair) { return a_pair.first >= 0; }),
                                   def.m_aScopeDefaults.end());
        for (std::size_t ii = 0; ii < a_aszCameras.size(); ii++)
        {
            const std::string& szCamera = a_aszCameras[ii];
            std::int64_t i64Pixel = (szCamera.find("Bitonal") != std::string::npos) ? TWPT_BW
                                    : (szCamera.find("Gray") != std::string::npos) ? TWPT_GRAY : TWPT_RGB;
            def.m_aScopeDefaults.push_back(std::make_pair(static_cast<int>(ii), SimInt(i64Pixel)));
        }
    }
}
