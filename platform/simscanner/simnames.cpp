// simnames.cpp
//
// Name tables of the simulator (see simnames.h).

#include "simnames.h"

#include "simdefs.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace
{
struct SimName
{
    std::uint32_t m_u32Value;
    const char*   m_szName;
};

#define N(x) {static_cast<std::uint32_t>(x), #x}

const SimName s_asimnameDg[] = {
    N(DG_CONTROL), N(DG_IMAGE), N(DG_AUDIO), N(DG_CUSTOM),
};

const SimName s_asimnameDat[] = {
    N(DAT_NULL), N(DAT_CAPABILITY), N(DAT_EVENT), N(DAT_IDENTITY), N(DAT_PARENT), N(DAT_PENDINGXFERS),
    N(DAT_SETUPMEMXFER), N(DAT_SETUPFILEXFER), N(DAT_STATUS), N(DAT_USERINTERFACE), N(DAT_XFERGROUP),
    N(DAT_TWUNKIDENTITY), N(DAT_CUSTOMDSDATA), N(DAT_DEVICEEVENT), N(DAT_FILESYSTEM), N(DAT_PASSTHRU),
    N(DAT_CALLBACK), N(DAT_STATUSUTF8), N(DAT_CALLBACK2), N(DAT_METRICS), N(DAT_TWAINDIRECT),
    N(DAT_IMAGEINFO), N(DAT_IMAGELAYOUT), N(DAT_IMAGEMEMXFER), N(DAT_IMAGENATIVEXFER), N(DAT_IMAGEFILEXFER),
    N(DAT_CIECOLOR), N(DAT_GRAYRESPONSE), N(DAT_RGBRESPONSE), N(DAT_JPEGCOMPRESSION), N(DAT_PALETTE8),
    N(DAT_EXTIMAGEINFO), N(DAT_FILTER), N(DAT_AUDIOFILEXFER), N(DAT_AUDIOINFO), N(DAT_AUDIONATIVEXFER),
    N(DAT_ICCPROFILE), N(DAT_IMAGEMEMFILEXFER), N(DAT_ENTRYPOINT),
    N(DAT_STATUSRAW), N(DAT_DEVICEINFO), N(DAT_AUTOCOLORLEARN), N(DAT_PROFILES), N(DAT_WINDOW),
    N(DAT_CUSTOMDSDATAGROUP), N(DAT_ECDO), N(DAT_LOG), N(DAT_UTC), N(DAT_OCPBUTTONS), N(DAT_CONSUMABLEMETERS),
    N(DAT_CALIBRATE), N(DAT_FIRMWAREDOWNLOAD), N(DAT_METERS), N(DAT_OVERRIDE),
};

const SimName s_asimnameMsg[] = {
    N(MSG_NULL), N(MSG_GET), N(MSG_GETCURRENT), N(MSG_GETDEFAULT), N(MSG_GETFIRST), N(MSG_GETNEXT), N(MSG_SET),
    N(MSG_RESET), N(MSG_QUERYSUPPORT), N(MSG_GETHELP), N(MSG_GETLABEL), N(MSG_GETLABELENUM), N(MSG_SETCONSTRAINT),
    N(MSG_XFERREADY), N(MSG_CLOSEDSREQ), N(MSG_CLOSEDSOK), N(MSG_DEVICEEVENT), N(MSG_CHECKSTATUS),
    N(MSG_OPENDSM), N(MSG_CLOSEDSM), N(MSG_OPENDS), N(MSG_CLOSEDS), N(MSG_USERSELECT), N(MSG_DISABLEDS),
    N(MSG_ENABLEDS), N(MSG_ENABLEDSUIONLY), N(MSG_PROCESSEVENT), N(MSG_ENDXFER), N(MSG_STOPFEEDER),
    N(MSG_CHANGEDIRECTORY), N(MSG_CREATEDIRECTORY), N(MSG_DELETE), N(MSG_FORMATMEDIA), N(MSG_GETCLOSE),
    N(MSG_GETFIRSTFILE), N(MSG_GETINFO), N(MSG_GETNEXTFILE), N(MSG_RENAME), N(MSG_COPY),
    N(MSG_AUTOMATICCAPTUREDIRECTORY), N(MSG_PASSTHRU), N(MSG_REGISTER_CALLBACK), N(MSG_INVOKE_CALLBACK),
    N(MSG_RESETALL), N(MSG_SETTASK),
    N(MSG_SETUPDS), N(MSG_GETSPECIAL), N(MSG_ENABLEINFO), N(MSG_SAVEPROFILE), N(MSG_DELETEPROFILE),
    N(MSG_ENABLEDSADVANCED), N(MSG_ENABLEDSPREVIEW), N(MSG_ENABLEDSUIONLYADVANCED), N(MSG_ENABLESETUPIAPRINTER),
    N(MSG_ENABLESETUPNOIAPRINTER), N(MSG_ENABLEDSPREVIEWTOAPPLICATION), N(MSG_ADDWINDOW), N(MSG_DELETEWINDOW),
    N(MSG_ENABLESETUPNOIAPRINTEROCP), N(MSG_PROFILECREATE), N(MSG_PROFILEDELETE), N(MSG_PROFILESAVE),
    N(MSG_PROFILERENAME), N(MSG_PROFILERESTORE), N(MSG_PROFILEEXPORT), N(MSG_PROFILEIMPORT), N(MSG_PROFILESET),
    N(MSG_GETINQUIRY), N(MSG_ENDXFERSPECIAL), N(MSG_ENABLESETUPSORTBARCODE),
};

const SimName s_asimnameRc[] = {
    N(TWRC_SUCCESS), N(TWRC_FAILURE), N(TWRC_CHECKSTATUS), N(TWRC_CANCEL), N(TWRC_DSEVENT), N(TWRC_NOTDSEVENT),
    N(TWRC_XFERDONE), N(TWRC_ENDOFLIST), N(TWRC_INFONOTSUPPORTED), N(TWRC_DATANOTAVAILABLE), N(TWRC_BUSY),
    N(TWRC_SCANNERLOCKED),
};

const SimName s_asimnameCc[] = {
    N(TWCC_SUCCESS), N(TWCC_BUMMER), N(TWCC_LOWMEMORY), N(TWCC_NODS), N(TWCC_MAXCONNECTIONS),
    N(TWCC_OPERATIONERROR), N(TWCC_BADCAP), N(TWCC_BADPROTOCOL), N(TWCC_BADVALUE), N(TWCC_SEQERROR),
    N(TWCC_BADDEST), N(TWCC_CAPUNSUPPORTED), N(TWCC_CAPBADOPERATION), N(TWCC_CAPSEQERROR), N(TWCC_DENIED),
    N(TWCC_FILEEXISTS), N(TWCC_FILENOTFOUND), N(TWCC_NOTEMPTY), N(TWCC_PAPERJAM), N(TWCC_PAPERDOUBLEFEED),
    N(TWCC_FILEWRITEERROR), N(TWCC_CHECKDEVICEONLINE), N(TWCC_INTERLOCK), N(TWCC_DAMAGEDCORNER),
    N(TWCC_FOCUSERROR), N(TWCC_DOCTOOLIGHT), N(TWCC_DOCTOODARK), N(TWCC_NOMEDIA),
};

const SimName s_asimnameCap[] = {
    N(CAP_XFERCOUNT), N(ICAP_COMPRESSION), N(ICAP_PIXELTYPE), N(ICAP_UNITS), N(ICAP_XFERMECH),
    N(CAP_AUTHOR), N(CAP_CAPTION), N(CAP_FEEDERENABLED), N(CAP_FEEDERLOADED), N(CAP_TIMEDATE),
    N(CAP_SUPPORTEDCAPS), N(CAP_EXTENDEDCAPS), N(CAP_AUTOFEED), N(CAP_CLEARPAGE), N(CAP_FEEDPAGE),
    N(CAP_REWINDPAGE), N(CAP_INDICATORS), N(CAP_SUPPORTEDCAPSEXT), N(CAP_PAPERDETECTABLE), N(CAP_UICONTROLLABLE),
    N(CAP_DEVICEONLINE), N(CAP_AUTOSCAN), N(CAP_THUMBNAILSENABLED), N(CAP_DUPLEX), N(CAP_DUPLEXENABLED),
    N(CAP_ENABLEDSUIONLY), N(CAP_CUSTOMDSDATA), N(CAP_ENDORSER), N(CAP_JOBCONTROL), N(CAP_ALARMS),
    N(CAP_ALARMVOLUME), N(CAP_AUTOMATICCAPTURE), N(CAP_TIMEBEFOREFIRSTCAPTURE), N(CAP_TIMEBETWEENCAPTURES),
    N(CAP_CLEARBUFFERS), N(CAP_MAXBATCHBUFFERS), N(CAP_DEVICETIMEDATE), N(CAP_POWERSUPPLY),
    N(CAP_CAMERAPREVIEWUI), N(CAP_DEVICEEVENT), N(CAP_SERIALNUMBER), N(CAP_PRINTER), N(CAP_PRINTERENABLED),
    N(CAP_PRINTERINDEX), N(CAP_PRINTERMODE), N(CAP_PRINTERSTRING), N(CAP_PRINTERSUFFIX), N(CAP_LANGUAGE),
    N(CAP_FEEDERALIGNMENT), N(CAP_FEEDERORDER), N(CAP_REACQUIREALLOWED), N(CAP_BATTERYMINUTES),
    N(CAP_BATTERYPERCENTAGE), N(CAP_CAMERASIDE), N(CAP_SEGMENTED), N(CAP_CAMERAENABLED), N(CAP_CAMERAORDER),
    N(CAP_MICRENABLED), N(CAP_FEEDERPREP), N(CAP_FEEDERPOCKET), N(CAP_AUTOMATICSENSEMEDIUM),
    N(CAP_CUSTOMINTERFACEGUID), N(CAP_SUPPORTEDCAPSSEGMENTUNIQUE), N(CAP_SUPPORTEDDATS),
    N(CAP_DOUBLEFEEDDETECTION), N(CAP_DOUBLEFEEDDETECTIONLENGTH), N(CAP_DOUBLEFEEDDETECTIONSENSITIVITY),
    N(CAP_DOUBLEFEEDDETECTIONRESPONSE), N(CAP_PAPERHANDLING), N(CAP_INDICATORSMODE),
    N(CAP_PRINTERVERTICALOFFSET), N(CAP_POWERSAVETIME), N(CAP_PRINTERCHARROTATION), N(CAP_PRINTERFONTSTYLE),
    N(CAP_PRINTERINDEXLEADCHAR), N(CAP_PRINTERINDEXMAXVALUE), N(CAP_PRINTERINDEXNUMDIGITS),
    N(CAP_PRINTERINDEXSTEP), N(CAP_PRINTERINDEXTRIGGER), N(CAP_PRINTERSTRINGPREVIEW), N(CAP_SHEETCOUNT),
    N(ICAP_AUTOBRIGHT), N(ICAP_BRIGHTNESS), N(ICAP_CONTRAST), N(ICAP_CUSTHALFTONE), N(ICAP_EXPOSURETIME),
    N(ICAP_FILTER), N(ICAP_FLASHUSED), N(ICAP_GAMMA), N(ICAP_HALFTONES), N(ICAP_HIGHLIGHT),
    N(ICAP_IMAGEFILEFORMAT), N(ICAP_LAMPSTATE), N(ICAP_LIGHTSOURCE), N(ICAP_ORIENTATION), N(ICAP_PHYSICALWIDTH),
    N(ICAP_PHYSICALHEIGHT), N(ICAP_SHADOW), N(ICAP_FRAMES), N(ICAP_XNATIVERESOLUTION), N(ICAP_YNATIVERESOLUTION),
    N(ICAP_XRESOLUTION), N(ICAP_YRESOLUTION), N(ICAP_MAXFRAMES), N(ICAP_TILES), N(ICAP_BITORDER),
    N(ICAP_CCITTKFACTOR), N(ICAP_LIGHTPATH), N(ICAP_PIXELFLAVOR), N(ICAP_PLANARCHUNKY), N(ICAP_ROTATION),
    N(ICAP_SUPPORTEDSIZES), N(ICAP_THRESHOLD), N(ICAP_XSCALING), N(ICAP_YSCALING), N(ICAP_BITORDERCODES),
    N(ICAP_PIXELFLAVORCODES), N(ICAP_JPEGPIXELTYPE), N(ICAP_TIMEFILL), N(ICAP_BITDEPTH),
    N(ICAP_BITDEPTHREDUCTION), N(ICAP_UNDEFINEDIMAGESIZE), N(ICAP_IMAGEDATASET), N(ICAP_EXTIMAGEINFO),
    N(ICAP_MINIMUMHEIGHT), N(ICAP_MINIMUMWIDTH), N(ICAP_AUTOMATICDESKEW), N(ICAP_JPEGQUALITY),
    N(ICAP_SUPPORTEDEXTIMAGEINFO), N(ICAP_JPEGSUBSAMPLING),
    N(CAP_CAMERAENABLE), N(CAP_PROFILES), N(CAP_WINDOWCAMERA), N(CAP_SIDESDIFFERENT), N(ICAP_FRAMESANGLE),
    N(ICAP_IMAGEFORMAT),
};

const SimName s_asimnameTy[] = {
    N(TWTY_INT8), N(TWTY_INT16), N(TWTY_INT32), N(TWTY_UINT8), N(TWTY_UINT16), N(TWTY_UINT32), N(TWTY_BOOL),
    N(TWTY_FIX32), N(TWTY_FRAME), N(TWTY_STR32), N(TWTY_STR64), N(TWTY_STR128), N(TWTY_STR255), N(TWTY_STR1024),
    N(TWTY_UNI512), N(TWTY_HANDLE), N(TWTY_FRAMEANGLE),
};

const SimName s_asimnameOn[] = {
    N(TWON_ARRAY), N(TWON_ENUMERATION), N(TWON_ONEVALUE), N(TWON_RANGE),
};

// Symbolic values a configuration file may write in place of numbers. Names
// of different families may share a value; lookups by name are exact.
const SimName s_asimnameValue[] = {
    N(TWPT_BW), N(TWPT_GRAY), N(TWPT_RGB), N(TWPT_PALETTE), N(TWPT_CMY), N(TWPT_CMYK),
    N(TWSX_NATIVE), N(TWSX_FILE), N(TWSX_MEMORY), N(TWSX_MEMFILE),
    N(TWCP_NONE), N(TWCP_GROUP4), N(TWCP_JPEG),
    N(TWFF_TIFF), N(TWFF_BMP), N(TWFF_JFIF), N(TWFF_PNG), N(TWFF_PDF), N(TWFF_TIFFMULTI),
    N(TWUN_INCHES), N(TWUN_CENTIMETERS), N(TWUN_PICAS), N(TWUN_POINTS), N(TWUN_TWIPS), N(TWUN_PIXELS),
    N(TWUN_MILLIMETERS),
    N(TWDE_CHECKAUTOMATICCAPTURE), N(TWDE_CHECKBATTERY), N(TWDE_CHECKDEVICEONLINE), N(TWDE_CHECKFLASH),
    N(TWDE_CHECKPOWERSUPPLY), N(TWDE_CHECKRESOLUTION), N(TWDE_DEVICEADDED), N(TWDE_DEVICEOFFLINE),
    N(TWDE_DEVICEREADY), N(TWDE_DEVICEREMOVED), N(TWDE_IMAGECAPTURED), N(TWDE_IMAGEDELETED),
    N(TWDE_PAPERDOUBLEFEED), N(TWDE_PAPERJAM), N(TWDE_LAMPFAILURE), N(TWDE_POWERSAVE), N(TWDE_POWERSAVENOTIFY),
    N(TWDE_LAMPWARMUP),
    N(TWLG_DANISH), N(TWLG_DUTCH), N(TWLG_ENGLISH), N(TWLG_FRENCH_CANADIAN), N(TWLG_FINNISH), N(TWLG_FRENCH),
    N(TWLG_GERMAN), N(TWLG_ICELANDIC), N(TWLG_ITALIAN), N(TWLG_NORWEGIAN), N(TWLG_PORTUGUESE), N(TWLG_SPANISH),
    N(TWLG_SWEDISH), N(TWLG_ENGLISH_USA), {0xFFFF, "TWLG_USERLOCALE"},
    N(TWCY_USA), N(TWCY_CANADA), N(TWCY_GERMANY), N(TWCY_UNITEDKINGDOM),
    N(TWPF_CHOCOLATE), N(TWPF_VANILLA), N(TWBO_LSBFIRST), N(TWBO_MSBFIRST), N(TWPC_CHUNKY), N(TWPC_PLANAR),
    N(TWOR_ROT0), N(TWOR_ROT90), N(TWOR_ROT180), N(TWOR_ROT270),
    N(TWDX_NONE), N(TWDX_1PASSDUPLEX), N(TWDX_2PASSDUPLEX), N(TWPS_EXTERNAL), N(TWPS_BATTERY),
    N(TWFY_CAMERA), N(TWFY_CAMERATOP), N(TWFY_CAMERABOTTOM), N(TWFY_DIRECTORY), N(TWFY_IMAGE),
    N(TWCS_BOTH), N(TWCS_TOP), N(TWCS_BOTTOM),
    N(TWWC_BASE_BITONAL_FRONT), N(TWWC_BASE_BITONAL_REAR), N(TWWC_BASE_COLOR_FRONT), N(TWWC_BASE_COLOR_REAR),
    N(TWWC_1_BITONAL_FRONT), N(TWWC_1_COLOR_FRONT),
    {0, "FALSE"}, {1, "TRUE"},
};

#undef N

// Names of the simulator's own test capabilities (CAP_SIMBASE..).
const char* const s_aszSimTypeName[] = {"INT8", "INT16", "INT32", "UINT8", "UINT16", "UINT32", "BOOL", "FIX32",
                                        "FRAME", "STR32", "STR64", "STR128", "STR255", "STR1024", "FRAMEANGLE",
                                        "UNI512", "HANDLE"};
const char* const s_aszSimShapeName[] = {"ONEVALUE", "ENUM", "RANGE", "ARRAY"};
constexpr std::uint32_t kSimTestCapCount = 4 * (sizeof(s_aszSimTypeName) / sizeof(s_aszSimTypeName[0]));

template <std::size_t N>
const SimName* Table(const SimName (&a_a)[N], std::size_t& a_uCount)
{
    a_uCount = N;
    return a_a;
}

const SimName* TableOf(ESimNameKind a_eKind, std::size_t& a_uCount)
{
    switch (a_eKind)
    {
        case eSimNameDg:    return Table(s_asimnameDg, a_uCount);
        case eSimNameDat:   return Table(s_asimnameDat, a_uCount);
        case eSimNameMsg:   return Table(s_asimnameMsg, a_uCount);
        case eSimNameRc:    return Table(s_asimnameRc, a_uCount);
        case eSimNameCc:    return Table(s_asimnameCc, a_uCount);
        case eSimNameCap:   return Table(s_asimnameCap, a_uCount);
        case eSimNameTy:    return Table(s_asimnameTy, a_uCount);
        case eSimNameOn:    return Table(s_asimnameOn, a_uCount);
        case eSimNameValue: return Table(s_asimnameValue, a_uCount);
    }
    a_uCount = 0;
    return nullptr;
}

const char* PrefixOf(ESimNameKind a_eKind)
{
    switch (a_eKind)
    {
        case eSimNameDg:    return "DG_";
        case eSimNameDat:   return "DAT_";
        case eSimNameMsg:   return "MSG_";
        case eSimNameRc:    return "TWRC_";
        case eSimNameCc:    return "TWCC_";
        case eSimNameCap:   return "CAP_";
        case eSimNameTy:    return "TWTY_";
        case eSimNameOn:    return "TWON_";
        case eSimNameValue: return "";
    }
    return "";
}

std::string SimCapName(std::uint32_t a_u32Cap)
{
    std::uint32_t u32Index = a_u32Cap - CAP_SIMBASE;
    if (a_u32Cap < CAP_SIMBASE || u32Index >= kSimTestCapCount)
    {
        return std::string();
    }
    return std::string("CAP_SIM_") + s_aszSimTypeName[u32Index / 4] + "_" + s_aszSimShapeName[u32Index % 4];
}
}

std::string SimNameOf(ESimNameKind a_eKind, std::uint32_t a_u32Value)
{
    std::size_t uCount = 0;
    const SimName* psimname = TableOf(a_eKind, uCount);
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        if (psimname[ii].m_u32Value == a_u32Value)
        {
            return psimname[ii].m_szName;
        }
    }
    if (a_eKind == eSimNameCap)
    {
        return SimCapName(a_u32Value);
    }
    return std::string();
}

std::string SimNameOrHex(ESimNameKind a_eKind, std::uint32_t a_u32Value)
{
    std::string szName = SimNameOf(a_eKind, a_u32Value);
    if (!szName.empty())
    {
        return szName;
    }
    char sz[32];
    std::snprintf(sz, sizeof(sz), "%s0x%04x", PrefixOf(a_eKind), a_u32Value);
    return sz;
}

bool SimValueOf(ESimNameKind a_eKind, const std::string& a_szName, std::uint32_t& a_u32Value)
{
    std::size_t uCount = 0;
    const SimName* psimname = TableOf(a_eKind, uCount);
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        if (strcasecmp(psimname[ii].m_szName, a_szName.c_str()) == 0)
        {
            a_u32Value = psimname[ii].m_u32Value;
            return true;
        }
    }
    if (a_eKind == eSimNameCap)
    {
        for (std::uint32_t u32 = CAP_SIMBASE; u32 < CAP_SIMBASE + kSimTestCapCount; u32++)
        {
            if (strcasecmp(SimCapName(u32).c_str(), a_szName.c_str()) == 0)
            {
                a_u32Value = u32;
                return true;
            }
        }
    }
    return false;
}

std::string SimValueNameOrHex(const char* a_szPrefix, std::uint32_t a_u32Value)
{
    std::size_t uCount = 0;
    const SimName* psimname = TableOf(eSimNameValue, uCount);
    std::size_t uPrefix = std::strlen(a_szPrefix);
    for (std::size_t ii = 0; ii < uCount; ii++)
    {
        if ((psimname[ii].m_u32Value == a_u32Value) && !std::strncmp(psimname[ii].m_szName, a_szPrefix, uPrefix))
        {
            return psimname[ii].m_szName;
        }
    }
    char szHex[64];
    std::snprintf(szHex, sizeof(szHex), "%s0x%04x", a_szPrefix, static_cast<unsigned>(a_u32Value));
    return szHex;
}
