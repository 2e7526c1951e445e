// ctwainimpl_diff.cpp
// Expected values: "setdiff" fills one field of an expected copy, "ifdiff"
// compares an expected copy with the received one, and every command line
// stores its first ten words as the run arguments of its script level.
//
// The fields "setdiff" can reach are described by one table: each row names
// a dotted target, the structure it belongs to, the field's offset and width
// and how the value words are read.
#include "ctwainimpl.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "clookup.h"

namespace
{

// The structures scripts can compare.
enum EDIFFSTRUCT
{
    EDIFF_RUNARGS,
    EDIFF_CALIBRATE,
    EDIFF_CUSTOMDSDATA,
    EDIFF_CUSTOMDSDATAGROUP,
    EDIFF_DEVICEINFO,
    EDIFF_IMAGEINFO,
    EDIFF_IMAGELAYOUT,
    EDIFF_ONEVALUE,
    EDIFF_PENDINGXFERS,
    EDIFF_PROFILES,
    EDIFF_RANGE,
    EDIFF_SETUPFILEXFER,
    EDIFF_SETUPMEMXFER
};

struct DiffStruct
{
    const char *szName;
    EDIFFSTRUCT ediffstruct;
    size_t u64Size;     // bytes compared (for the profiles: one record)
};

const DiffStruct s_adiffstruct[] = {
    {"twrunargs", EDIFF_RUNARGS, sizeof(twrunargs)},
    {"tw_calibrate", EDIFF_CALIBRATE, sizeof(twcalibrate)},
    {"tw_customdsdata", EDIFF_CUSTOMDSDATA, sizeof(TW_CUSTOMDSDATA)},
    {"tw_customdsdatagroup", EDIFF_CUSTOMDSDATAGROUP, sizeof(twcustomdsdatagroup)},
    {"tw_deviceinfo", EDIFF_DEVICEINFO, sizeof(twdeviceinfo)},
    {"tw_imageinfo", EDIFF_IMAGEINFO, sizeof(TW_IMAGEINFO)},
    {"tw_imagelayout", EDIFF_IMAGELAYOUT, sizeof(TW_IMAGELAYOUT)},
    {"tw_onevalue", EDIFF_ONEVALUE, sizeof(TW_ONEVALUE)},
    {"tw_pendingxfers", EDIFF_PENDINGXFERS, sizeof(TW_PENDINGXFERS)},
    {"tw_profiles", EDIFF_PROFILES, sizeof(twprofile)},
    {"tw_range", EDIFF_RANGE, sizeof(TW_RANGE)},
    {"tw_setupfilexfer", EDIFF_SETUPFILEXFER, sizeof(TW_SETUPFILEXFER)},
    {"tw_setupmemxfer", EDIFF_SETUPMEMXFER, sizeof(TW_SETUPMEMXFER)},
};

// How a target reads its value.
enum EDIFFKIND
{
    EDIFFKIND_NUMBER,       // decimal number, kept in the field's full width
    EDIFFKIND_FIX32,        // TW_FIX32: Whole = the number, Frac = 0
    EDIFFKIND_FIXWHOLE,     // the Whole part of a TW_FIX32
    EDIFFKIND_FIXFRAC,      // the Frac part of a TW_FIX32
    EDIFFKIND_TEXT,         // text, cut to the field's room
    EDIFFKIND_WORDS,        // one of a fixed list of words (u32Extra: the list)
    EDIFFKIND_CAPSYMBOL,    // a value symbol of the capability szExtra (16 bits)
    EDIFFKIND_SAMPLES,      // BitsPerSample: the value word and the following ones
    EDIFFKIND_ONEVALUEITEM, // a number, or a capability and one of its symbols
    EDIFFKIND_ITEMTYPE,     // a number, or (third word) a TWTY_ symbol
    EDIFFKIND_FILEFORMAT    // a number, or (third word) an ICAP_IMAGEFILEFORMAT symbol
};

// Word lists of the EDIFFKIND_WORDS targets.
struct DiffWord
{
    const char *szWord;
    uint32_t u32Value;
};

const DiffWord s_adiffwordCalibration[] = {
    {"TWCAL_CALIBRATIONTYPE_IMAGE", 1},      {"TWCAL_CALIBRATIONTYPE_MECHANICAL", 2},
    {"TWCAL_CALIBRATIONTYPE_UDDS", 3},       {"TWCAL_CALIBRATIONTYPE_MAGNIFICATION", 4},
    {"TWCAL_CALIBRATIONTYPE_PATCHREADER", 10}, {"TWCAL_CALIBRATIONTYPE_MICROPHONETEST", 11},
    {nullptr, 0}};
const DiffWord s_adiffwordGroup[] = {
    {"TWCDG_GROUP_IAPRINTER", 1}, {"TWCDG_GROUP_NOIAPRINTER", 2}, {"TWCDG_GROUP_SORTBARCODE", 4}, {nullptr, 0}};
const DiffWord s_adiffwordProfileGroup[] = {{"twprf_group_all", 0}, {nullptr, 0}};
const DiffWord s_adiffwordBool[] = {{"true", 1}, {"false", 0}, {nullptr, 0}};
const DiffWord s_adiffwordProfileState[] = {
    {"twprf_profilestate_normal", 0}, {"twprf_profilestate_current", 1}, {"twprf_profilestate_modified", 2},
    {nullptr, 0}};

struct DiffTarget
{
    const char *szName;         // the dotted target, matched in any case
    EDIFFSTRUCT ediffstruct;
    size_t u64Offset;
    size_t u64Width;            // bytes of the field (room of a text: width - 1 characters)
    EDIFFKIND ediffkind;
    bool blRequired;            // the value word must be given
    const DiffWord *pdiffword;  // EDIFFKIND_WORDS
    const char *szExtra;        // EDIFFKIND_CAPSYMBOL: the capability
    const char *szBad;          // the message of a value that is not accepted
};

#define DIFF_FIELD(type, field) offsetof(type, field), sizeof(((type *)nullptr)->field)
#define DIFF_RUNARG(n) \
    {"twrunargs.szArg" #n, EDIFF_RUNARGS, DIFF_FIELD(twrunargs, szArg##n), EDIFFKIND_TEXT, false, nullptr, nullptr, nullptr}
#define DIFF_NUMBER(name, st, type, field, required) \
    {name, st, DIFF_FIELD(type, field), EDIFFKIND_NUMBER, required, nullptr, nullptr, nullptr}
#define DIFF_TEXT(name, st, type, field) \
    {name, st, DIFF_FIELD(type, field), EDIFFKIND_TEXT, false, nullptr, nullptr, nullptr}
#define DIFF_FIX(name, st, type, field) \
    {name, st, DIFF_FIELD(type, field), EDIFFKIND_FIX32, false, nullptr, nullptr, nullptr}, \
    {name ".whole", st, offsetof(type, field), 2, EDIFFKIND_FIXWHOLE, false, nullptr, nullptr, nullptr}, \
    {name ".frac", st, offsetof(type, field) + 2, 2, EDIFFKIND_FIXFRAC, false, nullptr, nullptr, nullptr}
#define DIFF_WORDS(name, st, type, field, list, bad) \
    {name, st, DIFF_FIELD(type, field), EDIFFKIND_WORDS, false, list, nullptr, bad}
#define DIFF_CAPSYMBOL(name, st, type, field, cap, bad) \
    {name, st, DIFF_FIELD(type, field), EDIFFKIND_CAPSYMBOL, false, nullptr, cap, bad}

const DiffTarget s_adifftarget[] = {
    // twrunargs of the script level
    DIFF_NUMBER("twrunargs.u32Count", EDIFF_RUNARGS, twrunargs, u32Count, false),
    DIFF_RUNARG(1), DIFF_RUNARG(2), DIFF_RUNARG(3), DIFF_RUNARG(4), DIFF_RUNARG(5),
    DIFF_RUNARG(6), DIFF_RUNARG(7), DIFF_RUNARG(8), DIFF_RUNARG(9), DIFF_RUNARG(10),

    // tw_calibrate
    DIFF_WORDS("tw_calibrate.calibrationtype", EDIFF_CALIBRATE, twcalibrate, CalibrationType,
               s_adiffwordCalibration, "Unrecognized value...<%s>"),

    // tw_customdsdata
    DIFF_NUMBER("tw_customdsdata.infolength", EDIFF_CUSTOMDSDATA, TW_CUSTOMDSDATA, InfoLength, false),
    DIFF_NUMBER("tw_customdsdata.hdata", EDIFF_CUSTOMDSDATA, TW_CUSTOMDSDATA, hData, false),

    // tw_customdsdatagroup
    DIFF_NUMBER("tw_customdsdatagroup.infolength", EDIFF_CUSTOMDSDATAGROUP, twcustomdsdatagroup, InfoLength, false),
    DIFF_NUMBER("tw_customdsdatagroup.hdata", EDIFF_CUSTOMDSDATAGROUP, twcustomdsdatagroup, hData, false),
    DIFF_WORDS("tw_customdsdatagroup.group", EDIFF_CUSTOMDSDATAGROUP, twcustomdsdatagroup, Group, s_adiffwordGroup,
               "Unrecognized value...<%s>"),

    // tw_deviceinfo
    DIFF_NUMBER("tw_deviceinfo.dwfields", EDIFF_DEVICEINFO, twdeviceinfo, dwFields, false),
    DIFF_NUMBER("tw_deviceinfo.dwmodelnumber", EDIFF_DEVICEINFO, twdeviceinfo, dwModelNumber, false),
    DIFF_NUMBER("tw_deviceinfo.dwhostadapter", EDIFF_DEVICEINFO, twdeviceinfo, dwHostAdapter, false),
    DIFF_NUMBER("tw_deviceinfo.dwtarget", EDIFF_DEVICEINFO, twdeviceinfo, dwTarget, false),
    DIFF_NUMBER("tw_deviceinfo.dwfirmware", EDIFF_DEVICEINFO, twdeviceinfo, dwFirmware, false),
    DIFF_TEXT("tw_deviceinfo.szmodelname", EDIFF_DEVICEINFO, twdeviceinfo, szModelName),
    DIFF_TEXT("tw_deviceinfo.szprotocol", EDIFF_DEVICEINFO, twdeviceinfo, szProtocol),
    DIFF_TEXT("tw_deviceinfo.szdevicename", EDIFF_DEVICEINFO, twdeviceinfo, szDeviceName),
    DIFF_TEXT("tw_deviceinfo.szdevicechange", EDIFF_DEVICEINFO, twdeviceinfo, szDeviceChange),
    DIFF_TEXT("tw_deviceinfo.szdriverfilename", EDIFF_DEVICEINFO, twdeviceinfo, szDriverFilename),

    // tw_imageinfo
    DIFF_FIX("tw_imageinfo.xresolution", EDIFF_IMAGEINFO, TW_IMAGEINFO, XResolution),
    DIFF_FIX("tw_imageinfo.yresolution", EDIFF_IMAGEINFO, TW_IMAGEINFO, YResolution),
    DIFF_NUMBER("tw_imageinfo.imagewidth", EDIFF_IMAGEINFO, TW_IMAGEINFO, ImageWidth, false),
    DIFF_NUMBER("tw_imageinfo.imagelength", EDIFF_IMAGEINFO, TW_IMAGEINFO, ImageLength, false),
    DIFF_NUMBER("tw_imageinfo.samplesperpixel", EDIFF_IMAGEINFO, TW_IMAGEINFO, SamplesPerPixel, false),
    DIFF_NUMBER("tw_imageinfo.bitsperpixel", EDIFF_IMAGEINFO, TW_IMAGEINFO, BitsPerPixel, false),
    {"tw_imageinfo.bitspersample", EDIFF_IMAGEINFO, DIFF_FIELD(TW_IMAGEINFO, BitsPerSample), EDIFFKIND_SAMPLES, false,
     nullptr, nullptr, nullptr},
    DIFF_CAPSYMBOL("tw_imageinfo.planar", EDIFF_IMAGEINFO, TW_IMAGEINFO, Planar, "ICAP_PLANARCHUNKY",
                   "Bad planarchunky...<%s>"),
    DIFF_CAPSYMBOL("tw_imageinfo.pixeltype", EDIFF_IMAGEINFO, TW_IMAGEINFO, PixelType, "ICAP_PIXELTYPE",
                   "Bad pixeltype...<%s>"),
    DIFF_CAPSYMBOL("tw_imageinfo.compression", EDIFF_IMAGEINFO, TW_IMAGEINFO, Compression, "ICAP_COMPRESSION",
                   "Bad compression...<%s>"),

    // tw_imagelayout
    DIFF_FIX("tw_imagelayout.frame.left", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, Frame.Left),
    DIFF_FIX("tw_imagelayout.frame.top", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, Frame.Top),
    DIFF_FIX("tw_imagelayout.frame.right", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, Frame.Right),
    DIFF_FIX("tw_imagelayout.frame.bottom", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, Frame.Bottom),
    DIFF_NUMBER("tw_imagelayout.documentnumber", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, DocumentNumber, false),
    DIFF_NUMBER("tw_imagelayout.pagenumber", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, PageNumber, false),
    DIFF_NUMBER("tw_imagelayout.framenumber", EDIFF_IMAGELAYOUT, TW_IMAGELAYOUT, FrameNumber, false),

    // tw_onevalue
    {"tw_onevalue.item", EDIFF_ONEVALUE, DIFF_FIELD(TW_ONEVALUE, Item), EDIFFKIND_ONEVALUEITEM, true, nullptr, nullptr,
     "Bad %s...<%s>"},

    // tw_pendingxfers
    DIFF_NUMBER("tw_pendingxfers.count", EDIFF_PENDINGXFERS, TW_PENDINGXFERS, Count, false),
    DIFF_NUMBER("tw_pendingxfers.eoj", EDIFF_PENDINGXFERS, TW_PENDINGXFERS, EOJ, false),

    // tw_profiles (index, then value)
    DIFF_CAPSYMBOL("tw_profiles.profilesvalue", EDIFF_PROFILES, twprofile, ProfilesValue, "CAP_PROFILES",
                   "Bad profile...<%s>"),
    DIFF_TEXT("tw_profiles.szfamily", EDIFF_PROFILES, twprofile, szFamily),
    DIFF_TEXT("tw_profiles.szid", EDIFF_PROFILES, twprofile, szId),
    DIFF_TEXT("tw_profiles.szenglish", EDIFF_PROFILES, twprofile, szEnglish),
    DIFF_TEXT("tw_profiles.szcurrent", EDIFF_PROFILES, twprofile, szCurrent),
    DIFF_TEXT("tw_profiles.szmethod", EDIFF_PROFILES, twprofile, szMethod),
    DIFF_TEXT("tw_profiles.szfilename", EDIFF_PROFILES, twprofile, szFilename),
    DIFF_WORDS("tw_profiles.group", EDIFF_PROFILES, twprofile, Group, s_adiffwordProfileGroup,
               "Unrecognized group value...<%s>"),
    DIFF_WORDS("tw_profiles.readonly", EDIFF_PROFILES, twprofile, Readonly, s_adiffwordBool,
               "Unrecognized readonly value...<%s>"),
    DIFF_WORDS("tw_profiles.default", EDIFF_PROFILES, twprofile, Default, s_adiffwordBool,
               "Unrecognized default value...<%s>"),
    DIFF_WORDS("tw_profiles.blsharedsettings", EDIFF_PROFILES, twprofile, blSharedSettings, s_adiffwordBool,
               "Unrecognized blsharedsettings value...<%s>"),
    DIFF_NUMBER("tw_profiles.driverversion", EDIFF_PROFILES, twprofile, DriverVersion, false),
    DIFF_WORDS("tw_profiles.profilestate", EDIFF_PROFILES, twprofile, ProfileState, s_adiffwordProfileState,
               "Unrecognized profilestate value...<%s>"),

    // tw_range
    {"tw_range.itemtype", EDIFF_RANGE, DIFF_FIELD(TW_RANGE, ItemType), EDIFFKIND_ITEMTYPE, true, nullptr, nullptr,
     "Bad %s...<%s>"},
    DIFF_NUMBER("tw_range.minvalue", EDIFF_RANGE, TW_RANGE, MinValue, true),
    DIFF_NUMBER("tw_range.maxvalue", EDIFF_RANGE, TW_RANGE, MaxValue, true),
    DIFF_NUMBER("tw_range.stepsize", EDIFF_RANGE, TW_RANGE, StepSize, true),
    DIFF_NUMBER("tw_range.defaultvalue", EDIFF_RANGE, TW_RANGE, DefaultValue, true),
    DIFF_NUMBER("tw_range.currentvalue", EDIFF_RANGE, TW_RANGE, CurrentValue, true),

    // tw_setupfilexfer (the file name holds at most 254 characters)
    {"tw_setupfilexfer.filename", EDIFF_SETUPFILEXFER, offsetof(TW_SETUPFILEXFER, FileName), 255, EDIFFKIND_TEXT,
     false, nullptr, nullptr, nullptr},
    {"tw_setupfilexfer.format", EDIFF_SETUPFILEXFER, DIFF_FIELD(TW_SETUPFILEXFER, Format), EDIFFKIND_FILEFORMAT, true,
     nullptr, "ICAP_IMAGEFILEFORMAT", "Bad %s...<%s>"},
    DIFF_NUMBER("tw_setupfilexfer.vrefnum", EDIFF_SETUPFILEXFER, TW_SETUPFILEXFER, VRefNum, true),

    // tw_setupmemxfer
    DIFF_NUMBER("tw_setupmemxfer.minbufsize", EDIFF_SETUPMEMXFER, TW_SETUPMEMXFER, MinBufSize, true),
    DIFF_NUMBER("tw_setupmemxfer.maxbufsize", EDIFF_SETUPMEMXFER, TW_SETUPMEMXFER, MaxBufSize, true),
    DIFF_NUMBER("tw_setupmemxfer.preferred", EDIFF_SETUPMEMXFER, TW_SETUPMEMXFER, Preferred, true),
};

bool Present(const char *a_sz)
{
    return a_sz && a_sz[0];
}

// A decimal number with the usual rules (sign, digits up to the first other
// character), written into the field's full width.
void StoreNumber(uint8_t *a_pu8Field, size_t a_u64Width, long long a_llValue)
{
    uint64_t u64Value = static_cast<uint64_t>(a_llValue);
    uint8_t au8[8];
    memcpy(au8, &u64Value, sizeof(au8));   // little-endian: the low bytes first
    memcpy(a_pu8Field, au8, (a_u64Width < sizeof(au8)) ? a_u64Width : sizeof(au8));
}

long long ReadNumber(const char *a_szValue)
{
    return a_szValue ? strtoll(a_szValue, nullptr, 10) : 0;
}

void StoreText(uint8_t *a_pu8Field, size_t a_u64Width, const char *a_szValue)
{
    memset(a_pu8Field, 0, a_u64Width);
    size_t u64Len = a_szValue ? strlen(a_szValue) : 0;
    if (u64Len > a_u64Width - 1)
    {
        u64Len = a_u64Width - 1;
    }
    if (u64Len)
    {
        memcpy(a_pu8Field, a_szValue, u64Len);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The copies a structure name addresses
// ---------------------------------------------------------------------------
uint8_t *CTwainImpl::DiffCopy(int a_iStruct, bool a_blExpected, uint32_t a_u32Item)
{
    switch (static_cast<EDIFFSTRUCT>(a_iStruct))
    {
        case EDIFF_RUNARGS:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_atwrunargsExpected[a_u32Item] : &m_atwrunargs[a_u32Item]);
        case EDIFF_CALIBRATE:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twcalibrateExpected : &m_twcalibrate);
        case EDIFF_CUSTOMDSDATA:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twcustomdsdataExpected : &m_twcustomdsdata);
        case EDIFF_CUSTOMDSDATAGROUP:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twcustomdsdatagroupExpected : &m_twcustomdsdatagroup);
        case EDIFF_DEVICEINFO:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twdeviceinfoExpected : &m_twdeviceinfo);
        case EDIFF_IMAGEINFO:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twimageinfoExpected : &m_twimageinfo);
        case EDIFF_IMAGELAYOUT:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twimagelayoutExpected : &m_twimagelayout);
        case EDIFF_ONEVALUE:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twonevalueExpected : &m_twonevalue);
        case EDIFF_PENDINGXFERS:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twpendingxfersExpected : &m_twpendingxfers);
        case EDIFF_PROFILES:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_atwprofileExpected[a_u32Item] : &m_atwprofile[a_u32Item]);
        case EDIFF_RANGE:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twrangeExpected : &m_twrange);
        case EDIFF_SETUPFILEXFER:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twsetupfilexferExpected : &m_twsetupfilexfer);
        case EDIFF_SETUPMEMXFER:
            return reinterpret_cast<uint8_t *>(a_blExpected ? &m_twsetupmemxferExpected : &m_twsetupmemxfer);
    }
    return nullptr;
}

bool CTwainImpl::DiffLevelValid(TW_UINT32 a_u32Level)
{
    if (a_u32Level < TWAINIMPL_RUNARGLEVELS)
    {
        return true;
    }
    if ((a_u32Level == static_cast<TW_UINT32>(-1)) || (a_u32Level == 0xFFFFFFFFUL))
    {
        // At the prompt there is no level below the current one.
        TWAINLOG("twrunargs needs a running script, there is no level below the prompt...");
    }
    else
    {
        TWAINLOG("twrunargs level out of range...%lu", static_cast<unsigned long>(a_u32Level));
    }
    return false;
}

// ---------------------------------------------------------------------------
// setdiff
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSSetDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level)
{
    const char *szTarget = (a_aszWords && a_aszWords[0]) ? a_aszWords[1] : nullptr;
    if (!Present(szTarget))
    {
        TWAINLOG("Missing target name...");
        return 1;
    }
    // The value words: a missing one is an empty text.
    const char *szValue = Present(a_aszWords[2]) ? a_aszWords[2] : "";
    const char *szThird = (szValue[0] && Present(a_aszWords[3])) ? a_aszWords[3] : "";

    const DiffTarget *pdifftarget = nullptr;
    for (const DiffTarget &difftarget : s_adifftarget)
    {
        if (!strcasecmp(difftarget.szName, szTarget))
        {
            pdifftarget = &difftarget;
            break;
        }
    }
    if (!pdifftarget)
    {
        TWAINLOG("Unrecognized target...<%s>", szTarget);
        return 1;
    }

    // Which copy: the level's run arguments, one profile record, or the
    // structure itself.
    uint32_t u32Item = 0;
    if (pdifftarget->ediffstruct == EDIFF_RUNARGS)
    {
        if (!DiffLevelValid(a_u32Level))
        {
            return 1;
        }
        u32Item = static_cast<uint32_t>(a_u32Level);
    }
    else if (pdifftarget->ediffstruct == EDIFF_PROFILES)
    {
        // "tw_profiles.<field> index value".
        if (!szValue[0] || !szThird[0])
        {
            TWAINLOG("tw_profiles needs an index and a value...");
            return 1;
        }
        char *szEnd = nullptr;
        errno = 0;
        long long llIndex = strtoll(szValue, &szEnd, 10);
        if ((szEnd == szValue) || (errno != 0) || (llIndex < 0) || (llIndex >= TWAINIMPL_PROFILES))
        {
            TWAINLOG("index must be in range...0 to %d", TWAINIMPL_PROFILES);
            return 1;
        }
        u32Item = static_cast<uint32_t>(llIndex);
        szValue = szThird;
        szThird = (Present(a_aszWords[4])) ? a_aszWords[4] : "";
    }

    if (pdifftarget->blRequired && !szValue[0])
    {
        TWAINLOG("Missing arguments...<%s>", szTarget);
        return 1;
    }

    uint8_t *pu8Field = DiffCopy(pdifftarget->ediffstruct, true, u32Item) + pdifftarget->u64Offset;
    size_t u64Width = pdifftarget->u64Width;
    switch (pdifftarget->ediffkind)
    {
        case EDIFFKIND_NUMBER:
            StoreNumber(pu8Field, u64Width, ReadNumber(szValue));
            return 0;

        case EDIFFKIND_FIX32:
        {
            TW_FIX32 twfix32;
            twfix32.Whole = static_cast<TW_INT16>(ReadNumber(szValue));
            twfix32.Frac = 0;
            TwSetFix32(pu8Field, twfix32);
            return 0;
        }

        case EDIFFKIND_FIXWHOLE:
        case EDIFFKIND_FIXFRAC:
            StoreNumber(pu8Field, 2, ReadNumber(szValue));
            return 0;

        case EDIFFKIND_TEXT:
            StoreText(pu8Field, u64Width, szValue);
            return 0;

        case EDIFFKIND_WORDS:
            for (const DiffWord *pdiffword = pdifftarget->pdiffword; pdiffword->szWord; pdiffword++)
            {
                if (!strcasecmp(pdiffword->szWord, szValue))
                {
                    StoreNumber(pu8Field, u64Width, pdiffword->u32Value);
                    return 0;
                }
            }
            TWAINLOG(pdifftarget->szBad, szValue);
            return 1;

        case EDIFFKIND_CAPSYMBOL:
        {
            TW_UINT16 twValue = 0;
            if (!m_plookup || !m_plookup->LookupEnum(pdifftarget->szExtra, szValue, &twValue))
            {
                TWAINLOG(pdifftarget->szBad, szValue);
                return 1;
            }
            StoreNumber(pu8Field, u64Width, twValue);
            return 0;
        }

        case EDIFFKIND_SAMPLES:
        {
            // One word per BitsPerSample entry, from the first; words beyond
            // the eight entries are ignored.
            size_t u64Entries = u64Width / sizeof(TW_INT16);
            StoreNumber(pu8Field, sizeof(TW_INT16), ReadNumber(szValue));
            for (size_t ii = 1; (ii < u64Entries) && Present(a_aszWords[2 + ii - 1]) && Present(a_aszWords[2 + ii]);
                 ii++)
            {
                StoreNumber(pu8Field + (ii * sizeof(TW_INT16)), sizeof(TW_INT16), ReadNumber(a_aszWords[2 + ii]));
            }
            return 0;
        }

        case EDIFFKIND_ONEVALUEITEM:
        {
            if (!szThird[0])
            {
                StoreNumber(pu8Field, u64Width, ReadNumber(szValue));
                return 0;
            }
            TW_UINT16 twValue = 0;
            if (!m_plookup || !m_plookup->LookupEnum(szValue, szThird, &twValue))
            {
                TWAINLOG(pdifftarget->szBad, szValue, szThird);
                return 1;
            }
            StoreNumber(pu8Field, u64Width, twValue);
            return 0;
        }

        case EDIFFKIND_ITEMTYPE:
        {
            if (!szThird[0])
            {
                StoreNumber(pu8Field, u64Width, ReadNumber(szValue));
                return 0;
            }
            TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(szThird) : nullptr;
            if (!ptwlookup || !ptwlookup->ptwenum || strncasecmp(szThird, "TWTY_", 5))
            {
                TWAINLOG(pdifftarget->szBad, szValue, szThird);
                return 1;
            }
            StoreNumber(pu8Field, u64Width, static_cast<long long>(ptwlookup->ptwenum->u32Value));
            return 0;
        }

        case EDIFFKIND_FILEFORMAT:
        {
            if (!szThird[0])
            {
                StoreNumber(pu8Field, u64Width, ReadNumber(szValue));
                return 0;
            }
            TW_UINT16 twValue = 0;
            if (!m_plookup || !m_plookup->LookupEnum(pdifftarget->szExtra, szThird, &twValue))
            {
                TWAINLOG(pdifftarget->szBad, szValue, szThird);
                return 1;
            }
            StoreNumber(pu8Field, u64Width, twValue);
            return 0;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// ifdiff
// ---------------------------------------------------------------------------
bool CTwainImpl::DSIfDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level)
{
    if (!a_aszWords || !a_aszWords[0] || !Present(a_aszWords[1]))
    {
        TWAINLOG("Please specify an argument to 'ifdiff'...");
        return false;
    }
    int iWord = 1;
    bool blNot = false;
    if (!strcasecmp(a_aszWords[1], "not"))
    {
        blNot = true;
        iWord = 2;
    }
    const char *szName = Present(a_aszWords[iWord]) ? a_aszWords[iWord] : "";

    const DiffStruct *pdiffstruct = nullptr;
    for (const DiffStruct &diffstruct : s_adiffstruct)
    {
        if (!strcasecmp(diffstruct.szName, szName))
        {
            pdiffstruct = &diffstruct;
            break;
        }
    }
    if (!pdiffstruct)
    {
        TWAINLOG("Unrecognized 'ifdiff' structure...<%s>", szName);
        return blNot;
    }

    uint32_t u32Item = 0;
    size_t u64Bytes = pdiffstruct->u64Size;
    if (pdiffstruct->ediffstruct == EDIFF_RUNARGS)
    {
        if (!DiffLevelValid(a_u32Level))
        {
            return blNot;
        }
        u32Item = static_cast<uint32_t>(a_u32Level);
    }
    else if (pdiffstruct->ediffstruct == EDIFF_PROFILES)
    {
        long long llIndex = 0;
        long long llCount = TWAINIMPL_PROFILES;
        if (Present(a_aszWords[iWord + 1]))
        {
            llIndex = ReadNumber(a_aszWords[iWord + 1]);
            if (Present(a_aszWords[iWord + 2]))
            {
                llCount = ReadNumber(a_aszWords[iWord + 2]);
            }
        }
        if ((llIndex < 0) || (llCount < 0))
        {
            TWAINLOG("Index and count must not be negative...");
            return blNot;
        }
        if ((llIndex + llCount) > TWAINIMPL_PROFILES)
        {
            TWAINLOG("Index and count are too big...");
            return blNot;
        }
        u32Item = static_cast<uint32_t>(llIndex);
        u64Bytes = static_cast<size_t>(llCount) * sizeof(twprofile);
    }

    bool blDifferent = memcmp(DiffCopy(pdiffstruct->ediffstruct, true, u32Item),
                              DiffCopy(pdiffstruct->ediffstruct, false, u32Item), u64Bytes) != 0;
    return blNot ? !blDifferent : blDifferent;
}

// ---------------------------------------------------------------------------
// Run arguments
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSSetRunArgs(TW_UINT32 a_u32Level, const char *const *a_aszArgs)
{
    if (a_u32Level >= TWAINIMPL_RUNARGLEVELS)
    {
        OSLOG_ERROR("DSSetRunArgs level out of range...%lu", static_cast<unsigned long>(a_u32Level));
        return 1;
    }
    twrunargs *ptwrunargs = &m_atwrunargs[a_u32Level];
    memset(ptwrunargs, 0, sizeof(*ptwrunargs));
    char *aszSlot[TWRUNARGS_ARGCOUNT] = {ptwrunargs->szArg1, ptwrunargs->szArg2, ptwrunargs->szArg3,
                                         ptwrunargs->szArg4, ptwrunargs->szArg5, ptwrunargs->szArg6,
                                         ptwrunargs->szArg7, ptwrunargs->szArg8, ptwrunargs->szArg9,
                                         ptwrunargs->szArg10};
    for (int ii = 0; a_aszArgs && (ii < TWRUNARGS_ARGCOUNT); ii++)
    {
        if (Present(a_aszArgs[ii]))
        {
            StoreText(reinterpret_cast<uint8_t *>(aszSlot[ii]), TWRUNARGS_ARGSIZE, a_aszArgs[ii]);
            ptwrunargs->u32Count++;
        }
    }
    memcpy(&m_atwrunargsExpected[a_u32Level], ptwrunargs, sizeof(*ptwrunargs));
    return 0;
}
