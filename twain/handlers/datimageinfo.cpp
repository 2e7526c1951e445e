// datimageinfo.cpp
// DG_IMAGE / DAT_IMAGEINFO: the description of the image to transfer, and,
// given a file name word, the image report that names the image file for
// the memory transfers, with the image's geometry kept beside it.  Earlier
// files of that name go (the image files, and the raw data a failed
// conversion kept).
#include "ctwainimpl.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace
{

// The report of one image (see the memory transfers and COsImage).
const char s_szReportFormat[] =
    "\t<reportimage>\n\t\t<compressionmode>%s</compressionmode>\n\t\t<imagefilename>%s</imagefilename>\n"
    "\t\t<imageformat>%s</imageformat>\n\t\t<imagewidth>%d</imagewidth>\n\t\t<imageheight>%d</imageheight>\n"
    "\t\t<imagesize>************</imagesize>\n\t\t<imageresolutionx>%d_dpi</imageresolutionx>\n\t</reportimage>";

// A length in pixels as 1/1200 inch at the resolution (pixels as they are
// without a resolution), within int.
int ReportLength(TW_INT32 a_i64Pixels, int a_iResolution)
{
    long long i64 = static_cast<long long>(a_i64Pixels);
    if (a_iResolution > 0)
        i64 = (i64 > LLONG_MAX / 1200 || i64 < LLONG_MIN / 1200) ? (i64 < 0 ? LLONG_MIN : LLONG_MAX)
                                                                  : i64 * 1200 / a_iResolution;
    return static_cast<int>(i64 > INT_MAX ? INT_MAX : i64 < INT_MIN ? INT_MIN : i64);
}

// The image format of the report: the pixel layouts the image writer
// converts (bitonal, gray of 8 or 16 bits, chunky RGB of 24 or 48 bits)
// by its names; any other layout by a name it refuses (the pixel type,
// bits per pixel, "_planar", and the samples when they are not the
// type's), so that its raw data is kept as it came.
void ReportFormat(const TW_IMAGEINFO &a_twii, char *a_szOut, size_t a_u64OutSize)
{
    int iBits = a_twii.BitsPerPixel, iSamples = a_twii.SamplesPerPixel;
    bool blChunky = a_twii.Planar == 0 || iSamples == 1;
    const char *szKnown = nullptr;
    if (a_twii.PixelType == TWPT_BW && iSamples == 1 && iBits == 1)
        szKnown = "bw";
    else if (a_twii.PixelType == TWPT_GRAY && iSamples == 1 && (iBits == 8 || iBits == 16))
        szKnown = iBits == 8 ? "gray_8" : "gray_16";
    else if (a_twii.PixelType == TWPT_RGB && iSamples == 3 && blChunky && (iBits == 24 || iBits == 48))
        szKnown = iBits == 24 ? "rgb_24" : "rgb_48";
    if (szKnown)
    {
        snprintf(a_szOut, a_u64OutSize, "%s", szKnown);
        return;
    }
    static const struct
    {
        int iType, iSamples;
        const char *szName;
    } s_atype[] = {{TWPT_BW, 1, "bw"},   {TWPT_GRAY, 1, "gray"}, {TWPT_RGB, 3, "rgb"},
                   {TWPT_PALETTE, 1, "palette"}, {TWPT_CMY, 3, "cmy"}, {TWPT_CMYK, 4, "cmyk"}};
    char szType[16];
    snprintf(szType, sizeof(szType), "type%d", static_cast<int>(a_twii.PixelType));
    int iTypeSamples = 0;
    for (const auto &type : s_atype)
        if (type.iType == a_twii.PixelType)
        {
            snprintf(szType, sizeof(szType), "%s", type.szName);
            iTypeSamples = type.iSamples;
        }
    char szSamples[16] = "";
    if (iSamples != iTypeSamples)
        snprintf(szSamples, sizeof(szSamples), "_%dspp", iSamples);
    snprintf(a_szOut, a_u64OutSize, "%s_%d%s%s", szType, iBits, blChunky ? "" : "_planar", szSamples);
}

} // namespace

TW_UINT16 CTwainImpl::DSDatImageInfo(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (!DatWordMissing(szWord) && !DatWord(szWord, "msg_get", "get"))
        return DatUnrecognized(szWord);
    memset(&m_twimageinfo, 0, sizeof(m_twimageinfo));
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &m_twimageinfo, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    m_twimageinfoExpected = m_twimageinfo;
    const TW_IMAGEINFO &twii = m_twimageinfo;
    TWAINLOG("  XResolution........%g", TwFix32ToDouble(twii.XResolution));
    TWAINLOG("  YResolution........%g", TwFix32ToDouble(twii.YResolution));
    TWAINLOG("  ImageWidth.........%s", TwainInt(twii.ImageWidth).sz);
    TWAINLOG("  ImageLength........%s", TwainInt(twii.ImageLength).sz);
    TWAINLOG("  SamplesPerPixel....%d", twii.SamplesPerPixel);
    if (twii.SamplesPerPixel == 1)
        TWAINLOG("  BitsPerSample......%d", twii.BitsPerSample[0]);
    else if (twii.SamplesPerPixel == 3)
        TWAINLOG("  BitsPerSample......%d/%d/%d", twii.BitsPerSample[0], twii.BitsPerSample[1], twii.BitsPerSample[2]);
    else
        TWAINLOG("  BitsPerSample......%d (we have a problem)", twii.BitsPerSample[0]);
    TWAINLOG("  BitsPerPixel.......%d", twii.BitsPerPixel);
    char szSymbol[64];
    TWAINLOG("  Planar.............%s", CapValueText(ICAP_PLANARCHUNKY, twii.Planar, szSymbol, sizeof(szSymbol)));
    TWAINLOG("  PixelType..........%s", CapValueText(ICAP_PIXELTYPE, twii.PixelType, szSymbol, sizeof(szSymbol)));
    TWAINLOG("  Compression........%s", CapValueText(ICAP_COMPRESSION, twii.Compression, szSymbol, sizeof(szSymbol)));

    const char *szName = a_aszWords[1] ? a_aszWords[2] : nullptr;
    if (DatWordMissing(szName))
        return TWRC_SUCCESS;

    // The image file name, from the word and the image index.
    char szFile[512];
    if (strchr(szName, '.'))
    {
        if (!TwainFormatName(szName, s_iIndex, szFile, sizeof(szFile)))
        {
            m_szImageReport[0] = 0;
            return DatUsage("bad image file name <%s>: one integer conversion such as %%03d is all it may hold...",
                             szName);
        }
        COsFile::Delete(szFile, OS_FILETYPE_FILE, 0, false);
        char szRaw[sizeof(szFile) + 4];
        if (TwainRawName(szFile, szRaw, sizeof(szRaw)))
            COsFile::Delete(szRaw, OS_FILETYPE_FILE, 0, false);
    }
    else
    {
        if (snprintf(szFile, sizeof(szFile), "%s%08d", szName, s_iIndex) >= static_cast<int>(sizeof(szFile)) - 4)
        {
            m_szImageReport[0] = 0;
            return DatUsage("image file name too long <%s>...", szName);
        }
        char szOld[sizeof(szFile) + 4];
        for (const char *szExtension : {".jpg", ".tif", ".bmp", ".raw"})
        {
            snprintf(szOld, sizeof(szOld), "%s%s", szFile, szExtension);
            COsFile::Delete(szOld, OS_FILETYPE_FILE, 0, false);
        }
    }

    // A transfer file still open belongs to the image under way: it ends
    // here, unwritten, and said.
    XferFileDiscard("a new image report ends the image under way");

    // The report of this image.
    int iResolution = twii.XResolution.Whole;
    const char *szCompression = (twii.Compression == TWCP_NONE) ? "none" : (twii.Compression == TWCP_GROUP4) ? "group4" : "jpeg";
    char szFormat[32];
    ReportFormat(twii, szFormat, sizeof(szFormat));
    snprintf(m_szImageReport, sizeof(m_szImageReport), s_szReportFormat, szCompression, szFile, szFormat,
             ReportLength(twii.ImageWidth, iResolution), ReportLength(twii.ImageLength, iResolution), iResolution);
    m_blXferFinished = false;
    m_u64XferReceived = 0;
    memset(&m_twxferimage, 0, sizeof(m_twxferimage));
    m_twxferimage.i64Width = twii.ImageWidth;
    m_twxferimage.i64Length = twii.ImageLength;
    m_twxferimage.i32Bits = twii.BitsPerPixel;
    m_twxferimage.u16Compression = twii.Compression;
    return TWRC_SUCCESS;
}
