// twainextimageinfo.cpp
// CTwainExtImageInfo: the requests of DAT_EXTIMAGEINFO and the three forms
// of their entries (see twainextimageinfo.h).
#include "twainextimageinfo.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "ctwainimpl.h"

namespace
{

#define EII_ROW(a_twei) {a_twei, #a_twei}

// The item names, searched in this order.
const TwEnumMap s_atwenummapEnumId[] = {
    EII_ROW(TWEI_BARCODECONFIDENCE), EII_ROW(TWEI_BARCODECOUNT), EII_ROW(TWEI_BARCODEROTATION),
    EII_ROW(TWEI_BARCODETEXT), EII_ROW(TWEI_BARCODETEXTLENGTH), EII_ROW(TWEI_BARCODETYPE),
    EII_ROW(TWEI_BARCODEX), EII_ROW(TWEI_BARCODEY), EII_ROW(TWEI_BOOKNAME),
    EII_ROW(TWEI_CAMERA), EII_ROW(TWEI_CHAPTERNUMBER), EII_ROW(TWEI_DESKEWSTATUS),
    EII_ROW(TWEI_DOCUMENTNUMBER), EII_ROW(TWEI_FILESYSTEMSOURCE), EII_ROW(TWEI_FRAME),
    EII_ROW(TWEI_FRAMENUMBER), EII_ROW(TWEI_ICCPROFILE), EII_ROW(TWEI_IMAGEMERGED),
    EII_ROW(TWEI_PAGENUMBER), EII_ROW(TWEI_PAGESIDE), EII_ROW(TWEI_PAPERCOUNT),
    EII_ROW(TWEI_PIXELFLAVOR), EII_ROW(TWEI_PRINTERTEXT), EII_ROW(TWEI_SKEWORIGINALANGLE),
    EII_ROW(TWEI_TWAINDIRECTMETADATA), EII_ROW(TWEI_HDR_AUTOCOLORAMOUNT), EII_ROW(TWEI_HDR_AUTOCOLORDETECTED),
    EII_ROW(TWEI_HDR_AUTOCOLORTHRESHOLD), EII_ROW(TWEI_HDR_BINARIZATIONQUALITY), EII_ROW(TWEI_HDR_BITORDER),
    EII_ROW(TWEI_HDR_BOOKNAME_A), EII_ROW(TWEI_HDR_BOOKNAME_B), EII_ROW(TWEI_HDR_BOOKNAME_C),
    EII_ROW(TWEI_HDR_BOOKNAME_D), EII_ROW(TWEI_HDR_COMPRESSION), EII_ROW(TWEI_HDR_DATE),
    EII_ROW(TWEI_HDR_DESKEW), EII_ROW(TWEI_HDR_DESKEWANGLE), EII_ROW(TWEI_HDR_DITHER),
    EII_ROW(TWEI_HDR_DOCUMENTCOUNT), EII_ROW(TWEI_HDR_DROPOUTSTATUS), EII_ROW(TWEI_HDR_DUALSTACKINGSTACK),
    EII_ROW(TWEI_HDR_ENDOFSHEET), EII_ROW(TWEI_HDR_FEATUREPATCH), EII_ROW(TWEI_HDR_IMAGEADDRESSDEFS),
    EII_ROW(TWEI_HDR_IMAGEADDRESSSTRING), EII_ROW(TWEI_HDR_IMAGENUMBER), EII_ROW(TWEI_HDR_LENGTH),
    EII_ROW(TWEI_HDR_LEVEL), EII_ROW(TWEI_HDR_LINELENGTH), EII_ROW(TWEI_HDR_LONGPAPERLASTSEGMENT),
    EII_ROW(TWEI_HDR_LONGPAPERSEGMENT), EII_ROW(TWEI_HDR_MULTIFEED), EII_ROW(TWEI_HDR_PAGEIMAGENUMBER),
    EII_ROW(TWEI_HDR_PAGELENGTH), EII_ROW(TWEI_HDR_PAGENUMBER), EII_ROW(TWEI_HDR_PAGESIDE),
    EII_ROW(TWEI_HDR_PAPERDESTINATION), EII_ROW(TWEI_HDR_PATCHDETECTED), EII_ROW(TWEI_HDR_PRINTERINDEX),
    EII_ROW(TWEI_HDR_PRINTERSTRING), EII_ROW(TWEI_HDR_RAWIMAGEHEADER), EII_ROW(TWEI_HDR_RESOLUTION),
    EII_ROW(TWEI_HDR_SLEEVETYPE), EII_ROW(TWEI_HDR_MULTIIMAGEINDEX), EII_ROW(TWEI_HDR_MULTIIMAGETOTAL),
    EII_ROW(TWEI_HDR_TIME), EII_ROW(TWEI_HDR_XML), EII_ROW(TWEI_HDR_XOFFSET),
    EII_ROW(TWEI_HDR_YOFFSET)};
static_assert(sizeof(s_atwenummapEnumId) / sizeof(s_atwenummapEnumId[0]) == 70, "70 item names");

// Value names.
const TwEnumMap s_atwenummapBarcodeType[] = {
    {0, "TWBT_3OF9"}, {1, "TWBT_2OF5INTERLEAVED"}, {2, "TWBT_2OF5NONINTERLEAVED"}, {3, "TWBT_CODE93"},
    {4, "TWBT_CODE128"}, {5, "TWBT_UCC128"}, {6, "TWBT_CODABAR"}, {7, "TWBT_UPCA"}, {8, "TWBT_UPCE"},
    {9, "TWBT_EAN8"}, {10, "TWBT_EAN13"}, {11, "TWBT_POSTNET"}, {12, "TWBT_PDF417"}, {13, "TWBT_2OF5INDUSTRIAL"},
    {14, "TWBT_2OF5MATRIX"}, {15, "TWBT_2OF5DATALOGIC"}, {16, "TWBT_2OF5IATA"}, {17, "TWBT_3OF9FULLASCII"},
    {18, "TWBT_CODABARWITHSTARTSTOP"}, {19, "TWBT_MAXICODE"}, {20, "TWBT_QRCODE"}};
const TwEnumMap s_atwenummapBarcodeRotation[] = {
    {0, "TWBCOR_ROT0"}, {1, "TWBCOR_ROT90"}, {2, "TWBCOR_ROT180"}, {3, "TWBCOR_ROT270"}, {4, "TWBCOR_ROTX"}};
const TwEnumMap s_atwenummapBitOrder[] = {{0, "TWBO_LSBFIRST"}, {1, "TWBO_MSBFIRST"}};
const TwEnumMap s_atwenummapDeskewStatus[] = {
    {0, "TWDSK_SUCCESS"}, {1, "TWDSK_REPORTONLY"}, {2, "TWDSK_FAIL"}, {3, "TWDSK_DISABLED"}};
const TwEnumMap s_atwenummapPageSide[] = {{1, "TWCS_TOP"}, {2, "TWCS_BOTTOM"}};
const TwEnumMap s_atwenummapPixelFlavor[] = {{0, "TWPF_CHOCOLATE"}, {1, "TWPF_VANILLA"}};
const TwEnumMap s_atwenummapBinarizationQuality[] = {{1, "TWBQ_NOISY"}, {0, "TWBQ_NORMAL"}};
const TwEnumMap s_atwenummapTrueFalse[] = {{0, "FALSE"}, {1, "TRUE"}};

#define EII_MAP(a_twei, a_map) {a_twei, a_map, sizeof(a_map) / sizeof(a_map[0])}
struct EiiMapRow
{
    TW_UINT16 twei;
    const TwEnumMap *ptwenummap;
    uint32_t u32Rows;
};
const EiiMapRow s_aeiimaprow[] = {
    EII_MAP(TWEI_BARCODETYPE, s_atwenummapBarcodeType),
    EII_MAP(TWEI_BARCODEROTATION, s_atwenummapBarcodeRotation),
    EII_MAP(TWEI_HDR_BITORDER, s_atwenummapBitOrder),
    EII_MAP(TWEI_DESKEWSTATUS, s_atwenummapDeskewStatus),
    EII_MAP(TWEI_HDR_DESKEW, s_atwenummapDeskewStatus),
    EII_MAP(TWEI_PAGESIDE, s_atwenummapPageSide),
    EII_MAP(TWEI_PIXELFLAVOR, s_atwenummapPixelFlavor),
    EII_MAP(TWEI_HDR_BINARIZATIONQUALITY, s_atwenummapBinarizationQuality),
    EII_MAP(TWEI_IMAGEMERGED, s_atwenummapTrueFalse),
    EII_MAP(TWEI_HDR_AUTOCOLORDETECTED, s_atwenummapTrueFalse),
    EII_MAP(TWEI_HDR_ENDOFSHEET, s_atwenummapTrueFalse),
    EII_MAP(TWEI_HDR_LONGPAPERLASTSEGMENT, s_atwenummapTrueFalse),
    EII_MAP(TWEI_HDR_MULTIFEED, s_atwenummapTrueFalse),
    EII_MAP(TWEI_HDR_PATCHDETECTED, s_atwenummapTrueFalse)};
static_assert(sizeof(s_aeiimaprow) / sizeof(s_aeiimaprow[0]) == 14, "14 value maps");

// The full request after the barcode entries (TWEI_ICCPROFILE is asked for
// only when configured, after TWEI_FRAME).
const TW_UINT16 s_atweiPage[] = {TWEI_HDR_PAGEIMAGENUMBER, TWEI_HDR_DITHER, TWEI_HDR_LENGTH, TWEI_HDR_PAGENUMBER};
const TW_UINT16 s_atweiBarcode[] = {TWEI_BARCODECOUNT, TWEI_BARCODETEXT, TWEI_BARCODETEXTLENGTH, TWEI_BARCODETYPE,
                                    TWEI_BARCODEROTATION, TWEI_BARCODEX, TWEI_BARCODEY, TWEI_BARCODECONFIDENCE};
const TW_UINT16 s_atweiImage[] = {TWEI_CAMERA, TWEI_BOOKNAME, TWEI_CHAPTERNUMBER, TWEI_DOCUMENTNUMBER,
                                  TWEI_PAGENUMBER, TWEI_PAPERCOUNT, TWEI_FRAMENUMBER, TWEI_DESKEWSTATUS,
                                  TWEI_FILESYSTEMSOURCE, TWEI_FRAME};
const TW_UINT16 s_atweiRest[] = {
    TWEI_IMAGEMERGED, TWEI_PAGESIDE, TWEI_PIXELFLAVOR, TWEI_PRINTERTEXT, TWEI_SKEWORIGINALANGLE,
    TWEI_HDR_AUTOCOLORAMOUNT, TWEI_HDR_AUTOCOLORDETECTED, TWEI_HDR_AUTOCOLORTHRESHOLD,
    TWEI_HDR_BINARIZATIONQUALITY, TWEI_HDR_BITORDER, TWEI_HDR_BOOKNAME_A, TWEI_HDR_BOOKNAME_B, TWEI_HDR_BOOKNAME_C,
    TWEI_HDR_BOOKNAME_D, TWEI_HDR_COMPRESSION, TWEI_HDR_DATE, TWEI_HDR_DESKEW, TWEI_HDR_DESKEWANGLE,
    TWEI_HDR_DOCUMENTCOUNT, TWEI_HDR_DROPOUTSTATUS, TWEI_HDR_DUALSTACKINGSTACK, TWEI_HDR_ENDOFSHEET,
    TWEI_HDR_FEATUREPATCH, TWEI_HDR_IMAGEADDRESSDEFS, TWEI_HDR_IMAGEADDRESSSTRING, TWEI_HDR_IMAGENUMBER,
    TWEI_HDR_LENGTH, TWEI_HDR_LEVEL, TWEI_HDR_LINELENGTH, TWEI_HDR_LONGPAPERLASTSEGMENT, TWEI_HDR_LONGPAPERSEGMENT,
    TWEI_HDR_MULTIFEED, TWEI_HDR_PAGEIMAGENUMBER, TWEI_HDR_PAGELENGTH, TWEI_HDR_PAGENUMBER, TWEI_HDR_PAGESIDE,
    TWEI_HDR_PAPERDESTINATION, TWEI_HDR_PATCHDETECTED, TWEI_HDR_PRINTERINDEX, TWEI_HDR_PRINTERSTRING,
    TWEI_HDR_RESOLUTION, TWEI_HDR_SLEEVETYPE, TWEI_HDR_MULTIIMAGEINDEX, TWEI_HDR_MULTIIMAGETOTAL, TWEI_HDR_TIME,
    TWEI_HDR_XOFFSET, TWEI_HDR_YOFFSET, TWEI_HDR_XML, TWEI_TWAINDIRECTMETADATA};
static_assert(sizeof(s_atweiRest) / sizeof(s_atweiRest[0]) == 49, "49 further items");

const size_t s_u64OutputSize = 262144;
char s_szOutput[s_u64OutputSize];

// An entry of the request (the entries are copied: the request is packed).
TW_INFO InfoAt(const TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index)
{
    TW_INFO twinfo;
    memcpy(&twinfo, reinterpret_cast<const uint8_t *>(a_ptwextimageinfo) + offsetof(TW_EXTIMAGEINFO, Info) +
                        a_u32Index * sizeof(TW_INFO),
           sizeof(twinfo));
    return twinfo;
}

void SetItemAt(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index, TW_UINTPTR a_item)
{
    memcpy(reinterpret_cast<uint8_t *>(a_ptwextimageinfo) + offsetof(TW_EXTIMAGEINFO, Info) +
               a_u32Index * sizeof(TW_INFO) + offsetof(TW_INFO, Item),
           &a_item, sizeof(a_item));
}

uint32_t NumInfos(const TW_EXTIMAGEINFO *a_ptwextimageinfo)
{
    TW_UINT32 u32 = 0;
    memcpy(&u32, a_ptwextimageinfo, sizeof(u32));
    return (u32 > 0xFFFFFFFFu) ? 0xFFFFFFFFu : static_cast<uint32_t>(u32);
}

// Appends formatted text as far as it fits; false when it was cut.
bool Append(char *a_szOut, size_t a_u64OutSize, const char *a_szFormat, ...) __attribute__((format(printf, 3, 4)));
bool Append(char *a_szOut, size_t a_u64OutSize, const char *a_szFormat, ...)
{
    size_t u64Len = strnlen(a_szOut, a_u64OutSize);
    if (u64Len + 1 >= a_u64OutSize)
    {
        return false;
    }
    va_list valist;
    va_start(valist, a_szFormat);
    int iWritten = vsnprintf(a_szOut + u64Len, a_u64OutSize - u64Len, a_szFormat, valist);
    va_end(valist);
    return iWritten >= 0 && static_cast<size_t>(iWritten) < a_u64OutSize - u64Len;
}

// AppendString: a text item of at most a_u64Length bytes (below 256),
// ending at its first zero byte; CDATA and UTF-8 in XML.
void AppendString(const uint8_t *a_pu8Text, size_t a_u64Length, TWAIN_EII_DETAILS a_details, char *a_szOut,
                  size_t a_u64OutSize)
{
    if (a_u64Length >= 256)
    {
        OSLOG_ASSERT("CTwainExtImageInfo::AppendString: input too large...<%.32s> <%zu>", a_szOut, a_u64Length);
        return;
    }
    char szText[256];
    memset(szText, 0, sizeof(szText));
    memcpy(szText, a_pu8Text, a_u64Length);
    bool blFits;
    if (a_details == TWAIN_EII_DETAILS_XML)
    {
        char szUtf8[1024];
        if (!COsLocale::CopyUtf8FromString(szUtf8, sizeof(szUtf8), szText))
        {
            szUtf8[0] = 0;
        }
        blFits = Append(a_szOut, a_u64OutSize, "<![CDATA[%s]]>", szUtf8);
    }
    else
    {
        blFits = Append(a_szOut, a_u64OutSize, "%s", szText);
    }
    if (!blFits)
    {
        OSLOG_ERROR("CTwainExtImageInfo::AppendString: buffer overflow...<%.32s> <%s>", a_szOut, szText);
    }
}

// AppendData: bytes as text when all are printable, else as hexadecimal
// pairs (*a_pblHex is then set: the XML element says type="hex").
void AppendData(const uint8_t *a_pu8Data, size_t a_u64Length, TWAIN_EII_DETAILS a_details, char *a_szOut,
                size_t a_u64OutSize, bool *a_pblHex)
{
    bool blPrintable = true;
    for (size_t ii = 0; ii < a_u64Length && blPrintable; ii++)
    {
        blPrintable = a_pu8Data[ii] >= 32 && a_pu8Data[ii] <= 126;
    }
    *a_pblHex = !blPrintable;
    bool blXmlText = blPrintable && a_details == TWAIN_EII_DETAILS_XML;
    bool blFits = !blXmlText || Append(a_szOut, a_u64OutSize, "<![CDATA[");
    for (size_t ii = 0; ii < a_u64Length && blFits; ii++)
    {
        blFits = blPrintable ? Append(a_szOut, a_u64OutSize, "%c", a_pu8Data[ii])
                             : Append(a_szOut, a_u64OutSize, "%02x ", a_pu8Data[ii]);
    }
    if (blFits && blXmlText)
    {
        blFits = Append(a_szOut, a_u64OutSize, "]]>");
    }
    if (!blFits)
    {
        OSLOG_ERROR("Invalid string: no more space");
    }
}

// The width of one item of a type shown from memory; 0 for others.
size_t ItemWidth(TW_UINT16 a_twty)
{
    switch (a_twty)
    {
        case TWTY_INT8:
        case TWTY_UINT8: return 1;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL: return 2;
        case TWTY_INT32:
        case TWTY_UINT32: return sizeof(TW_UINT32);
        case TWTY_FIX32: return sizeof(TW_FIX32);
        case TWTY_FRAME: return sizeof(TW_FRAME);
        case TWTY_STR32: return sizeof(TW_STR32);
        case TWTY_STR64: return sizeof(TW_STR64);
        case TWTY_STR128: return sizeof(TW_STR128);
        case TWTY_STR255: return sizeof(TW_STR255);
        case TWTY_HANDLE: return sizeof(TW_HANDLE);
        default: return 0;
    }
}

const char *TypeName(TW_UINT16 a_twty)
{
    static const char *const s_aszType[] = {"TWTY_INT8",  "TWTY_INT16", "TWTY_INT32",  "TWTY_UINT8",
                                            "TWTY_UINT16", "TWTY_UINT32", "TWTY_BOOL",  "TWTY_FIX32",
                                            "TWTY_FRAME",  "TWTY_STR32", "TWTY_STR64",  "TWTY_STR128",
                                            "TWTY_STR255", "TWTY_???",   "TWTY_???",    "TWTY_HANDLE"};
    return (a_twty < 16) ? s_aszType[a_twty] : "TWTY_???";
}

const char *ErrorText(TWEIIRC a_tweiirc)
{
    switch (a_tweiirc)
    {
        case TWEIIRC_NOTRETURNED: return "*** not returned ***";
        case TWEIIRC_UNABLETOLOCK: return "*** unable to lock memory ***";
        case TWEIIRC_BUFFERTOOSMALL: return "*** buffer too small ***";
        case TWEIIRC_UNSUPPORTED: return "*** unsupported ***";
        case TWEIIRC_NOTAVAILABLE: return "*** not available ***";
        default: return "*** unknown status ***";
    }
}

// A number of a_u64Width bytes (1, 2, 4 or 8; little-endian as stored).
int64_t ReadSigned(const uint8_t *a_pu8, size_t a_u64Width)
{
    switch (a_u64Width)
    {
        case 1: return static_cast<int8_t>(a_pu8[0]);
        case 2: { int16_t i16; memcpy(&i16, a_pu8, 2); return i16; }
        case 4: { int32_t i32; memcpy(&i32, a_pu8, 4); return i32; }
        default: { int64_t i64; memcpy(&i64, a_pu8, 8); return i64; }
    }
}

uint64_t ReadUnsigned(const uint8_t *a_pu8, size_t a_u64Width)
{
    uint64_t u64 = 0;
    memcpy(&u64, a_pu8, a_u64Width);
    return u64;
}

} // namespace

CTwainExtImageInfo::CTwainExtImageInfo(CTwainImpl *a_ptwainimpl) : m_ptwainimpl(a_ptwainimpl)
{
}

uint32_t CTwainExtImageInfo::Capacity(bool a_blAll, bool a_blSecond, bool a_blThird)
{
    size_t u64Size = (!a_blAll && (a_blSecond || a_blThird)) ? 536 : 2072;
    return static_cast<uint32_t>((u64Size - offsetof(TW_EXTIMAGEINFO, Info)) / sizeof(TW_INFO));
}

TW_EXTIMAGEINFO *CTwainExtImageInfo::Initialize(bool a_blAll, bool a_blSecond, bool a_blThird)
{
    if (!g_posmem)
    {
        return nullptr;
    }
    uint32_t u32Capacity = Capacity(a_blAll, a_blSecond, a_blThird);
    TW_EXTIMAGEINFO *ptwextimageinfo = static_cast<TW_EXTIMAGEINFO *>(
        g_posmem->Alloc(offsetof(TW_EXTIMAGEINFO, Info) + u32Capacity * sizeof(TW_INFO), __FILE__, __LINE__));
    if (!ptwextimageinfo)
    {
        return nullptr;
    }
    uint32_t u32Count = 0;
    auto add = [&](const TW_UINT16 *a_atwei, size_t a_u64Count) {
        for (size_t ii = 0; ii < a_u64Count && u32Count < u32Capacity; ii++)
        {
            TW_INFO twinfo;
            memset(&twinfo, 0, sizeof(twinfo));
            twinfo.InfoID = a_atwei[ii];
            memcpy(reinterpret_cast<uint8_t *>(ptwextimageinfo) + offsetof(TW_EXTIMAGEINFO, Info) +
                       u32Count * sizeof(TW_INFO),
                   &twinfo, sizeof(twinfo));
            u32Count++;
        }
    };
#define EII_ADD(a_atwei) add(a_atwei, sizeof(a_atwei) / sizeof(a_atwei[0]))
    if (a_blThird)
    {
        EII_ADD(s_atweiPage);
    }
    if (a_blAll || a_blSecond)
    {
        EII_ADD(s_atweiBarcode);
    }
    if (a_blAll)
    {
        EII_ADD(s_atweiImage);
        const char *szIcc = g_poscfg ? g_poscfg->Get(1, 111) : nullptr;
        if (szIcc && szIcc[0])
        {
            const TW_UINT16 atweiIcc[] = {TWEI_ICCPROFILE};
            EII_ADD(atweiIcc);
        }
        EII_ADD(s_atweiRest);
    }
#undef EII_ADD
    TW_UINT32 u32NumInfos = u32Count;
    memcpy(ptwextimageinfo, &u32NumInfos, sizeof(u32NumInfos));
    return ptwextimageinfo;
}

TW_UINT16 CTwainExtImageInfo::StringToTwei(const char *a_szName)
{
    for (const TwEnumMap &row : s_atwenummapEnumId)
    {
        if (a_szName && !strcasecmp(a_szName, row.szName))
        {
            return static_cast<TW_UINT16>(row.u32Value);
        }
    }
    return 0;
}

const char *CTwainExtImageInfo::StringFromTwei(TW_UINT16 a_twei)
{
    for (const TwEnumMap &row : s_atwenummapEnumId)
    {
        if (row.u32Value == a_twei)
        {
            return row.szName;
        }
    }
    static char s_szId[16];
    snprintf(s_szId, sizeof(s_szId), "0x%04x", a_twei);
    return s_szId;
}

const char *CTwainExtImageInfo::GetInfoByIndex(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index,
                                               TWAIN_EII_DETAILS a_details)
{
    if (!a_ptwextimageinfo || a_u32Index >= NumInfos(a_ptwextimageinfo))
    {
        OSLOG_ERROR("Invalid parameter %d", static_cast<int>(a_u32Index));
        return GetDetails(a_ptwextimageinfo, -1, 0, a_details);
    }
    return GetDetails(a_ptwextimageinfo, a_u32Index, 0, a_details);
}

const char *CTwainExtImageInfo::GetInfoByTwei(TW_EXTIMAGEINFO *a_ptwextimageinfo, TW_UINT16 a_twei,
                                              TWAIN_EII_DETAILS a_details)
{
    if (!a_ptwextimageinfo)
    {
        OSLOG_ERROR("Invalid parameter");
        COsString::SStrCpy(s_szOutput, sizeof(s_szOutput), "Invalid parameter");
        return s_szOutput;
    }
    uint32_t u32Count = NumInfos(a_ptwextimageinfo);
    for (uint32_t uu = 0; uu < u32Count; uu++)
    {
        if (InfoAt(a_ptwextimageinfo, uu).InfoID == a_twei)
        {
            return GetDetails(a_ptwextimageinfo, uu, a_twei, a_details);
        }
    }
    return GetDetails(a_ptwextimageinfo, -1, a_twei, a_details);
}

bool CTwainExtImageInfo::InHandle(TW_UINT16 a_twty, TW_UINT16 a_u16NumItems)
{
    switch (a_twty)
    {
        case TWTY_INT8:
        case TWTY_UINT8: return a_u16NumItems > 4;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL: return a_u16NumItems >= 3;
        case TWTY_INT32:
        case TWTY_UINT32: return a_u16NumItems > 1;
        case TWTY_FRAME:
        case TWTY_STR32:
        case TWTY_STR64:
        case TWTY_STR128:
        case TWTY_STR255:
        case TWTY_HANDLE: return true;
        default: return false;
    }
}

void CTwainExtImageInfo::FreeEntry(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index)
{
    TW_INFO twinfo = InfoAt(a_ptwextimageinfo, a_u32Index);
    if (twinfo.ReturnCode == TWRC_SUCCESS && twinfo.Item && InHandle(twinfo.ItemType, twinfo.NumItems))
    {
        if (m_ptwainimpl)
        {
            m_ptwainimpl->DsMemFree(reinterpret_cast<TW_HANDLE>(twinfo.Item));
        }
        SetItemAt(a_ptwextimageinfo, a_u32Index, 0);
    }
}

void CTwainExtImageInfo::FreeHandles(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count)
{
    for (uint32_t uu = 0; a_ptwextimageinfo && uu < a_u32Count; uu++)
    {
        FreeEntry(a_ptwextimageinfo, uu);
    }
}

void CTwainExtImageInfo::GetDataInfo(const TW_INFO &a_twinfo, TWAIN_EII_DATA *a_pdata)
{
    a_pdata->i32Divisor = 1;
    a_pdata->twty = a_twinfo.ItemType;
    a_pdata->szType = TypeName(a_twinfo.ItemType);
    a_pdata->blLock = InHandle(a_twinfo.ItemType, a_twinfo.NumItems);
    a_pdata->blFree = a_pdata->blLock;
    a_pdata->u32NumItems = a_twinfo.NumItems;
    if (a_twinfo.ItemType == TWTY_UINT16 || a_twinfo.ItemType == TWTY_UINT32)
    {
        for (const EiiMapRow &row : s_aeiimaprow)
        {
            if (row.twei == a_twinfo.InfoID)
            {
                a_pdata->ptwenummap = row.ptwenummap;
                a_pdata->u32Map = row.u32Rows;
            }
        }
    }
    if (a_twinfo.ItemType == TWTY_UINT32)
    {
        a_pdata->blDate = a_twinfo.InfoID == TWEI_HDR_DATE;
        a_pdata->blTime = a_twinfo.InfoID == TWEI_HDR_TIME;
    }
    if (a_twinfo.ItemType == TWTY_INT32 &&
        (a_twinfo.InfoID == TWEI_SKEWORIGINALANGLE || a_twinfo.InfoID == TWEI_HDR_DESKEWANGLE))
    {
        a_pdata->i32Divisor = 10000;
    }
    if (a_twinfo.InfoID == TWEI_TWAINDIRECTMETADATA || a_twinfo.InfoID == TWEI_HDR_XML)
    {
        a_pdata->blLargeText = true;
        a_pdata->u32NumItems = 1;
    }
    size_t u64Width = ItemWidth(a_twinfo.ItemType);
    if (u64Width == 0)
    {
        a_pdata->u32NumItems = 1; // shown as an unknown type
    }
    else if (!a_pdata->blLock)
    {
        // A value in Item itself: no more items than Item holds.
        uint32_t u32Fit = u64Width ? static_cast<uint32_t>(sizeof(a_twinfo.Item) / u64Width) : 0;
        if (a_pdata->u32NumItems > u32Fit)
        {
            a_pdata->u32NumItems = u32Fit;
        }
    }
}

int64_t CTwainExtImageInfo::CheckInfoPairs(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count,
                                           const TW_INFO &a_twinfo, TWAIN_EII_DATA *a_pdata)
{
    if (a_twinfo.InfoID != TWEI_BARCODETEXT || a_twinfo.ItemType != TWTY_HANDLE || a_twinfo.ReturnCode != TWRC_SUCCESS)
    {
        return -1;
    }
    for (uint32_t uu = 0; uu < a_u32Count; uu++)
    {
        TW_INFO twinfoLength = InfoAt(a_ptwextimageinfo, uu);
        if (twinfoLength.InfoID != TWEI_BARCODETEXTLENGTH)
        {
            continue;
        }
        if (twinfoLength.NumItems != a_twinfo.NumItems)
        {
            OSLOG_ERROR("NumItems do not match %d %d", a_twinfo.NumItems, twinfoLength.NumItems);
            return -1;
        }
        // Lengths are 32-bit items of this build (8 bytes each).
        if (twinfoLength.ReturnCode != TWRC_SUCCESS ||
            (twinfoLength.ItemType != TWTY_UINT32 && twinfoLength.ItemType != TWTY_INT32) || twinfoLength.NumItems == 0)
        {
            return -1;
        }
        if (twinfoLength.NumItems == 1)
        {
            static TW_UINTPTR s_itemLength;
            s_itemLength = twinfoLength.Item;
            a_pdata->pu8Lengths = reinterpret_cast<const uint8_t *>(&s_itemLength);
            a_pdata->u32Lengths = 1;
            return -1;
        }
        if (!twinfoLength.Item || !m_ptwainimpl)
        {
            return -1;
        }
        a_pdata->pu8Lengths =
            static_cast<const uint8_t *>(m_ptwainimpl->DsMemLock(reinterpret_cast<TW_HANDLE>(twinfoLength.Item)));
        if (!a_pdata->pu8Lengths)
        {
            return -1;
        }
        // No more lengths than the block holds.
        size_t u64Block = m_ptwainimpl->DsMemSize(reinterpret_cast<TW_HANDLE>(twinfoLength.Item),
                                                  const_cast<uint8_t *>(a_pdata->pu8Lengths));
        size_t u64Lengths = u64Block / sizeof(TW_UINT32);
        a_pdata->u32Lengths = (u64Lengths < twinfoLength.NumItems) ? static_cast<uint32_t>(u64Lengths) : twinfoLength.NumItems;
        return uu;
    }
    OSLOG_ERROR("Length item is missing %d %d", a_twinfo.InfoID, a_twinfo.NumItems);
    return -1;
}

void CTwainExtImageInfo::SetError(TWEIIRC a_tweiirc, const TW_INFO &a_twinfo, const TWAIN_EII_DATA &a_data,
                                  char *a_szOut, size_t a_u64OutSize)
{
    static const char s_szDots[] = "................................";
    const char *szText = ErrorText(a_tweiirc);
    int iName = static_cast<int>(strlen(a_data.szName));
    switch (a_data.details)
    {
        case TWAIN_EII_DETAILS_TEXT:
            Append(a_szOut, a_u64OutSize, "%.*s%.*s%s", iName, a_data.szName, (iName < 32) ? 32 - iName : 0, s_szDots,
                   szText);
            break;
        case TWAIN_EII_DETAILS_XML:
            Append(a_szOut, a_u64OutSize, "\t<%s>%s</%s>\n", a_data.szName, szText, a_data.szName);
            break;
        default:
        {
            const char *szStatus = (a_tweiirc == TWEIIRC_UNSUPPORTED)   ? "TWRC_INFONOTSUPPORTED"
                                   : (a_tweiirc == TWEIIRC_NOTAVAILABLE) ? "TWRC_DATANOTAVAILABLE"
                                                                        : szText;
            int iIndex = static_cast<int>(a_data.u32Index);
            OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].InfoID.....%s", iIndex, a_data.szName);
            OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].CondCode...%s", iIndex, szStatus);
            OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].ItemType...%s", iIndex, TypeName(a_twinfo.ItemType));
            OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].NumItems...%d", iIndex, a_twinfo.NumItems);
            OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].Items......%p", iIndex, reinterpret_cast<void *>(a_twinfo.Item));
            break;
        }
    }
}

void CTwainExtImageInfo::GetValue(const TW_INFO &a_twinfo, TWAIN_EII_DATA *a_pdata, char *a_szOut,
                                  size_t a_u64OutSize)
{
    static const char s_szDots[] = "................................";
    const char *szName = a_pdata->szName;
    int iIndex = static_cast<int>(a_pdata->u32Index);
    if (a_pdata->details == TWAIN_EII_DETAILS_TEXT)
    {
        int iName = static_cast<int>(strlen(szName));
        int iType = static_cast<int>(strlen(a_pdata->szType));
        Append(a_szOut, a_u64OutSize, "%.*s%.*s%.*s%.*s", iName, szName, (iName < 32) ? 32 - iName : 0, s_szDots, iType,
               a_pdata->szType, (iType < 18) ? 18 - iType : 0, s_szDots);
    }
    else if (a_pdata->details == TWAIN_EII_DETAILS_LOG)
    {
        OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].InfoID.....%s", iIndex, szName);
        OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].CondCode...%s", iIndex, "TWRC_SUCCESS");
        OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].ItemType...%s", iIndex, a_pdata->szType);
        OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].NumItems...%d", iIndex, a_twinfo.NumItems);
    }
    size_t u64Width = ItemWidth(a_pdata->twty);
    uint64_t u64DataOffset = 0; // the paired-length data consumed so far
    for (uint32_t uu = 0; uu < a_pdata->u32NumItems; uu++)
    {
        // One item's text (its own buffer: the log form writes it alone).
        std::string szValue;
        char szNumber[2048];
        szNumber[0] = 0;
        bool blHex = false;
        const uint8_t *pu8 = a_pdata->pu8Data ? a_pdata->pu8Data + uu * u64Width : nullptr;
        if (u64Width == 0)
        {
            snprintf(szNumber, sizeof(szNumber), "UNKNOWN TYPE %d", a_pdata->twty);
        }
        else if (!pu8)
        {
            snprintf(szNumber, sizeof(szNumber), "NULL");
        }
        else
        {
            switch (a_pdata->twty)
            {
                case TWTY_INT8:
                case TWTY_INT16:
                    snprintf(szNumber, sizeof(szNumber), "%d", static_cast<int>(ReadSigned(pu8, u64Width)));
                    break;
                case TWTY_UINT8:
                    snprintf(szNumber, sizeof(szNumber), "%u", pu8[0]);
                    break;
                case TWTY_INT32:
                {
                    int64_t i64 = ReadSigned(pu8, u64Width);
                    if (a_pdata->i32Divisor == 10000)
                    {
                        // Ten-thousandths, with their sign and four digits.
                        uint64_t u64Abs = (i64 < 0) ? 0 - static_cast<uint64_t>(i64) : static_cast<uint64_t>(i64);
                        snprintf(szNumber, sizeof(szNumber), "%s%" PRIu64 ".%04" PRIu64, (i64 < 0) ? "-" : "",
                                 u64Abs / 10000, u64Abs % 10000);
                    }
                    else
                    {
                        snprintf(szNumber, sizeof(szNumber), "%" PRId64, i64);
                    }
                    break;
                }
                case TWTY_UINT16:
                case TWTY_UINT32:
                {
                    uint64_t u64 = ReadUnsigned(pu8, u64Width);
                    for (uint32_t mm = 0; mm < a_pdata->u32Map && !szNumber[0]; mm++)
                    {
                        if (a_pdata->ptwenummap[mm].u32Value == u64)
                        {
                            snprintf(szNumber, sizeof(szNumber), "%s", a_pdata->ptwenummap[mm].szName);
                        }
                    }
                    if (szNumber[0])
                    {
                        break;
                    }
                    if (a_pdata->blDate || a_pdata->blTime)
                    {
                        // (the first field whole, however large)
                        snprintf(szNumber, sizeof(szNumber), a_pdata->blDate ? "%02" PRIu64 "/%02d/%02d" : "%02" PRIu64 ":%02d:%02d",
                                 u64 / 10000, static_cast<int>(u64 / 100 % 100), static_cast<int>(u64 % 100));
                    }
                    else
                    {
                        snprintf(szNumber, sizeof(szNumber), "%" PRIu64, u64);
                    }
                    break;
                }
                case TWTY_BOOL:
                {
                    int iBool = static_cast<int>(ReadUnsigned(pu8, 2));
                    if (iBool <= 1)
                        snprintf(szNumber, sizeof(szNumber), "%s", iBool ? "TRUE" : "FALSE");
                    else
                        snprintf(szNumber, sizeof(szNumber), "TRUE (%d)", iBool);
                    break;
                }
                case TWTY_FIX32:
                {
                    TW_FIX32 twfix32;
                    memcpy(&twfix32, pu8, sizeof(twfix32));
                    snprintf(szNumber, sizeof(szNumber), "%d.%d", twfix32.Whole, twfix32.Frac);
                    break;
                }
                case TWTY_FRAME:
                {
                    TW_FRAME twframe;
                    memcpy(&twframe, pu8, sizeof(twframe));
                    const TW_FIX32 *aptwfix32[] = {&twframe.Left, &twframe.Right, &twframe.Top, &twframe.Bottom};
                    static const char *const s_aszEdge[] = {"left", "right", "top", "bottom"};
                    for (int ee = 0; ee < 4; ee++)
                    {
                        double d = aptwfix32[ee]->Whole + aptwfix32[ee]->Frac / 65536.0;
                        char szEdge[256];
                        if (a_pdata->details == TWAIN_EII_DETAILS_XML)
                            snprintf(szEdge, sizeof(szEdge),
                                     "%s\t\t<%swhole>%d</%swhole>\n\t\t<%sfrac>%u</%sfrac>\n\t\t<%s>%.5f</%s>\n",
                                     ee ? "" : "\n", s_aszEdge[ee], aptwfix32[ee]->Whole, s_aszEdge[ee], s_aszEdge[ee],
                                     aptwfix32[ee]->Frac, s_aszEdge[ee], s_aszEdge[ee], d, s_aszEdge[ee]);
                        else
                            snprintf(szEdge, sizeof(szEdge), "%s%s=%d, %u (%.5f)", ee ? "  " : "", s_aszEdge[ee],
                                     aptwfix32[ee]->Whole, aptwfix32[ee]->Frac, d);
                        szValue += szEdge;
                    }
                    if (a_pdata->details == TWAIN_EII_DETAILS_XML)
                    {
                        szValue += "\t";
                    }
                    break;
                }
                case TWTY_STR32:
                case TWTY_STR64:
                case TWTY_STR128:
                case TWTY_STR255:
                    AppendString(pu8, (u64Width < 256) ? u64Width : 255, a_pdata->details, szNumber, sizeof(szNumber));
                    break;
                case TWTY_HANDLE:
                {
                    // The handle's contents: a large text, barcode texts by
                    // their lengths, or only the handle.
                    const uint8_t *pu8Handle = a_pdata->pu8Data;
                    if (a_pdata->blLargeText)
                    {
                        size_t u64Max = s_u64OutputSize - 1;
                        if (a_twinfo.NumItems > 1 && a_twinfo.NumItems < u64Max)
                        {
                            u64Max = a_twinfo.NumItems;
                        }
                        if (u64Max > a_pdata->u64DataSize)
                        {
                            u64Max = a_pdata->u64DataSize;
                        }
                        size_t u64Len = strnlen(reinterpret_cast<const char *>(pu8Handle), u64Max);
                        if (a_pdata->details == TWAIN_EII_DETAILS_XML)
                            szValue += "<![CDATA[";
                        szValue.append(reinterpret_cast<const char *>(pu8Handle), u64Len);
                        if (a_pdata->details == TWAIN_EII_DETAILS_XML)
                            szValue += "]]>";
                    }
                    else if (a_pdata->pu8Lengths && uu < a_pdata->u32Lengths)
                    {
                        uint64_t u64Length = ReadUnsigned(a_pdata->pu8Lengths + uu * sizeof(TW_UINT32), sizeof(TW_UINT32));
                        if (u64Length > s_u64OutputSize)
                        {
                            u64Length = s_u64OutputSize;
                        }
                        // No further than the block holds.
                        uint64_t u64Left = (u64DataOffset < a_pdata->u64DataSize) ? a_pdata->u64DataSize - u64DataOffset : 0;
                        if (u64Length > u64Left)
                        {
                            u64Length = u64Left;
                        }
                        std::string szData(u64Length * 3 + 16, '\0');
                        AppendData(pu8Handle + u64DataOffset, u64Length, a_pdata->details, &szData[0], szData.size(),
                                   &blHex);
                        szValue += szData.c_str();
                        u64DataOffset += u64Length;
                    }
                    else
                    {
                        snprintf(szNumber, sizeof(szNumber), "HANDLE %p", static_cast<const void *>(pu8Handle));
                    }
                    break;
                }
                default:
                    break;
            }
        }
        szValue += szNumber;
        // The item in its form.
        switch (a_pdata->details)
        {
            case TWAIN_EII_DETAILS_TEXT:
                if (!Append(a_szOut, a_u64OutSize, "%s%s", uu ? ";" : "", szValue.c_str()))
                {
                    OSLOG_ERROR("CTwainExtImageInfo::GetValue: buffer overflow...<%s>", szName);
                    return;
                }
                break;
            case TWAIN_EII_DETAILS_XML:
            {
                const char *szHex = blHex ? " type=\"hex\"" : "";
                bool blFits = (a_pdata->u32NumItems == 1)
                                  ? Append(a_szOut, a_u64OutSize, "\t<%s%s>", szName, szHex)
                                  : Append(a_szOut, a_u64OutSize, "\t<%s index=\"%u\"%s>", szName, uu, szHex);
                if (!blFits || !Append(a_szOut, a_u64OutSize, "%s</%s>\n", szValue.c_str(), szName))
                {
                    OSLOG_ERROR("CTwainExtImageInfo::GetValue: buffer overflow...<%s>", szName);
                    return;
                }
                break;
            }
            default:
                if (a_pdata->u32NumItems == 1)
                    OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].Item.......%s", iIndex, szValue.c_str());
                else
                    OSLOG_INFO("TW_EXTIMAGEINFO.Info[%02d].Item[%02d]...%s", iIndex, static_cast<int>(uu),
                               szValue.c_str());
                break;
        }
        if (!a_pdata->pu8Data || (a_pdata->twty == TWTY_HANDLE && (a_pdata->blLargeText || !a_pdata->pu8Lengths)))
        {
            break; // no data, or one handle: shown once
        }
    }
}

const char *CTwainExtImageInfo::GetDetails(TW_EXTIMAGEINFO *a_ptwextimageinfo, int64_t a_i64Index, TW_UINT16 a_twei,
                                           TWAIN_EII_DETAILS a_details)
{
    s_szOutput[0] = 0;
    TWAIN_EII_DATA data;
    memset(&data, 0, sizeof(data));
    data.details = a_details;
    if (a_i64Index < 0 || !a_ptwextimageinfo)
    {
        TW_INFO twinfo;
        memset(&twinfo, 0, sizeof(twinfo));
        twinfo.InfoID = a_twei;
        data.szName = StringFromTwei(a_twei);
        SetError(TWEIIRC_NOTRETURNED, twinfo, data, s_szOutput, sizeof(s_szOutput));
        return s_szOutput;
    }
    uint32_t u32Index = static_cast<uint32_t>(a_i64Index);
    uint32_t u32Count = NumInfos(a_ptwextimageinfo);
    TW_INFO twinfo = InfoAt(a_ptwextimageinfo, u32Index);
    data.u32Index = u32Index;
    data.szName = StringFromTwei(twinfo.InfoID);
    if (twinfo.ReturnCode != TWRC_SUCCESS)
    {
        TWEIIRC tweiirc = (twinfo.ReturnCode == TWRC_INFONOTSUPPORTED)   ? TWEIIRC_UNSUPPORTED
                          : (twinfo.ReturnCode == TWRC_DATANOTAVAILABLE) ? TWEIIRC_NOTAVAILABLE
                                                                         : TWEIIRC_UNKNOWNSTATUS;
        SetError(tweiirc, twinfo, data, s_szOutput, sizeof(s_szOutput));
        return s_szOutput;
    }
    GetDataInfo(twinfo, &data);
    TW_HANDLE handle = data.blLock ? reinterpret_cast<TW_HANDLE>(twinfo.Item) : nullptr;
    int64_t i64LengthEntry = -1;
    if (data.blLock)
    {
        if (handle)
        {
            data.pu8Data = m_ptwainimpl ? static_cast<const uint8_t *>(m_ptwainimpl->DsMemLock(handle)) : nullptr;
            if (data.pu8Data)
            {
                // No more items than the block holds (a handle's own items
                // are not an array of its type).
                data.u64DataSize = m_ptwainimpl->DsMemSize(handle, const_cast<uint8_t *>(data.pu8Data));
                size_t u64Width = ItemWidth(twinfo.ItemType);
                if (u64Width && twinfo.ItemType != TWTY_HANDLE && data.u32NumItems > data.u64DataSize / u64Width)
                {
                    OSLOG_ERROR("NumItems %u beyond the block of %zu bytes", data.u32NumItems, data.u64DataSize);
                    data.u32NumItems = static_cast<uint32_t>(data.u64DataSize / u64Width);
                }
            }
            else
            {
                OSLOG_ERROR("Unable to lock memory %d", twinfo.InfoID);
                if (data.blFree && a_details != TWAIN_EII_DETAILS_LOG)
                {
                    FreeEntry(a_ptwextimageinfo, u32Index);
                }
                SetError(TWEIIRC_UNABLETOLOCK, twinfo, data, s_szOutput, sizeof(s_szOutput));
                return s_szOutput;
            }
        }
        if (twinfo.ItemType == TWTY_HANDLE && !data.blLargeText)
        {
            i64LengthEntry = CheckInfoPairs(a_ptwextimageinfo, u32Count, twinfo, &data);
        }
    }
    else if (ItemWidth(twinfo.ItemType))
    {
        static TW_UINTPTR s_item;
        s_item = twinfo.Item;
        data.pu8Data = reinterpret_cast<const uint8_t *>(&s_item);
        data.u64DataSize = sizeof(s_item);
    }
    try
    {
        GetValue(twinfo, &data, s_szOutput, sizeof(s_szOutput));
    }
    catch (...)
    {
        s_szOutput[0] = 0;
        SetError(TWEIIRC_BUFFERTOOSMALL, twinfo, data, s_szOutput, sizeof(s_szOutput));
    }
    if (handle && data.pu8Data)
    {
        m_ptwainimpl->DsMemUnlock(handle);
    }
    if (i64LengthEntry >= 0)
    {
        m_ptwainimpl->DsMemUnlock(reinterpret_cast<TW_HANDLE>(InfoAt(a_ptwextimageinfo, i64LengthEntry).Item));
    }
    if (a_details == TWAIN_EII_DETAILS_LOG)
    {
        return s_szOutput; // the log form keeps every handle
    }
    // A handle is freed when the entry has been shown, except a length
    // entry whose text entry is still to come; the text entry frees an
    // earlier length entry along with its own.
    bool blKeep = false;
    if (twinfo.InfoID == TWEI_BARCODETEXTLENGTH)
    {
        for (uint32_t uu = u32Index + 1; uu < u32Count && !blKeep; uu++)
        {
            blKeep = InfoAt(a_ptwextimageinfo, uu).InfoID == TWEI_BARCODETEXT;
        }
    }
    if (data.blFree && !blKeep)
    {
        FreeEntry(a_ptwextimageinfo, u32Index);
    }
    if (i64LengthEntry >= 0 && i64LengthEntry < static_cast<int64_t>(u32Index))
    {
        FreeEntry(a_ptwextimageinfo, static_cast<uint32_t>(i64LengthEntry));
    }
    return s_szOutput;
}
