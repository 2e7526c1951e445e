// test_os_image.cpp
// Image files from raw data (TIFF from rows and Group 4 data, JPEG, BMP and
// TIFF passed through, the extension rules, sizes given in 1/1200 inch) and
// the measures of native TIFF and bitmap images, on well-made and on
// malformed inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "test_os_support.h"
#include "tiff_read.h"

namespace
{

std::string Report(const std::string &a_szRaw, const char *a_szCompression, const char *a_szFormat, int a_iWidth,
                   int a_iHeight, int a_iResolution)
{
    return "<reportimage><compressionmode>" + std::string(a_szCompression) + "</compressionmode><imagefilename>" +
           a_szRaw + "</imagefilename><imageformat>" + a_szFormat + "</imageformat><imagewidth>" +
           std::to_string(a_iWidth) + "</imagewidth><imageheight>" + std::to_string(a_iHeight) +
           "</imageheight><imagesize>************</imagesize><imageresolutionx>" + std::to_string(a_iResolution) +
           "_dpi</imageresolutionx></reportimage>";
}

class OsImageTest : public testing::Test
{
protected:
    OsTestServices m_services;
    e2e::TempDir m_dir;
    COsImage m_osimage;
};

} // namespace

TEST_F(OsImageTest, RawRowsBecomeATiffWithTheirSizeBitsAndPixels)
{
    struct Case
    {
        const char *szFormat;
        int iWidth, iHeight, iResolution;    // pixels and dpi
        long lBits, lSamples, lPhotometric;
        std::string szHead = "";    // first bytes of the rows: pixels, whatever they spell
    } acase[] = {{"gray_8", 16, 2, 0, 8, 1, 1, "BM"}, {"gray_8", 8, 1, 0, 8, 1, 1, std::string("II*\0", 4)},
                 {"bw", 64, 3, 0, 1, 1, 1, "\xFF\xD8\xFF"},
                 {"bw", 21, 5, 300, 1, 1, 1}, {"gray_8", 7, 3, 150, 8, 1, 1}, {"rgb_24", 5, 4, 0, 8, 3, 2},
                 {"gray_8", 101, 2, 7, 8, 1, 1}, {"gray_16", 7, 3, 150, 16, 1, 1}, {"rgb_48", 5, 4, 0, 16, 3, 2},
                 // Rows wider than a strip, over 1 MiB: the raw file becomes
                 // the TIFF (its data then a hole, which stays one).
                 {"gray_8", 100000, 12, 0, 8, 1, 1}};
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szFormat);
        size_t uRow = (size_t)(c.iWidth * c.lBits * c.lSamples + 7) / 8;
        std::string szData(uRow * c.iHeight, '\0');
        for (size_t ii = 0; ii < szData.size() && ii < 5000; ii++)
            szData[ii] = (char)(ii * 7);
        szData.replace(0, c.szHead.size(), c.szHead);
        e2e::WriteFile(m_dir / "raw", szData.substr(0, 5000));
        ASSERT_EQ(truncate((m_dir / "raw").c_str(), (off_t)szData.size()), 0);
        // The report gives the sizes in 1/1200 inch, truncated.
        int iRes = c.iResolution;
        std::string szReport = Report(m_dir / "raw", "none", c.szFormat, iRes > 0 ? c.iWidth * 1200 / iRes : c.iWidth,
                                      iRes > 0 ? c.iHeight * 1200 / iRes : c.iHeight, iRes);
        ASSERT_EQ(m_osimage.Create((m_dir / "raw").c_str(), szReport.c_str(), false, false, OS_IMAGEFILEFORMAT_BYNAME,
                                   OS_IMAGEMULTIPAGE_SINGLE, false, true, 0),
                  OS_STS_OK)
            << m_osimage.GetError();
        EXPECT_EQ(std::string(m_osimage.GetFileName()), m_dir / "raw.tif");
        std::string szTiff = e2e::ReadFile(m_dir / "raw.tif");
        EXPECT_EQ(tiffread::Tag(szTiff, 256), c.iWidth);
        EXPECT_EQ(tiffread::Tag(szTiff, 257), c.iHeight);
        EXPECT_EQ(tiffread::Tag(szTiff, 259), 1);
        EXPECT_EQ(tiffread::Tag(szTiff, 262), c.lPhotometric);
        EXPECT_EQ(tiffread::Tag(szTiff, 277), c.lSamples);
        EXPECT_EQ(tiffread::Tag(szTiff, 282) > 0, iRes > 0);
        EXPECT_EQ(tiffread::Values(szTiff, 258), std::vector<unsigned long>(c.lSamples, c.lBits));
        EXPECT_EQ(tiffread::Strip(szTiff), szData);
        // The raw data of a small image is the caller's to delete.
        EXPECT_EQ(COsFile::Exists((m_dir / "raw").c_str()), szData.size() < (1u << 20));
    }
}

// (Group 4 strips in a TIFF, and JPEG strips as they came, written by the
// program from a scan: test_e2e_xfer.cpp)
TEST_F(OsImageTest, CompressedDataPassesThroughUnderTheRightName)
{
    // Data of a kind: written as it came, the extension from the data when
    // the name has none (or one that names no image kind).
    struct Case
    {
        std::string szData;
        const char *szName;
        EOSIMAGEFILEFORMAT eosimagefileformat;
        const char *szWritten;
    } acase[] = {{std::string("\xFF\xD8\xFF\xE0jpeg", 8), "a", OS_IMAGEFILEFORMAT_BYNAME, "a.jpg"},
                 {std::string("\xFF\xD8\xFF\xE0jpeg", 8), "b.jpg", OS_IMAGEFILEFORMAT_JFIF, "b.jpg"},
                 {"BM" + std::string(60, 'x'), "c.raw", OS_IMAGEFILEFORMAT_BYNAME, "c.raw.bmp"},
                 {std::string("II*\0\x08\0\0\0", 8) + "rest", "d", OS_IMAGEFILEFORMAT_BYNAME, "d.tif"}};
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szName);
        e2e::WriteFile(m_dir / "data", c.szData);
        ASSERT_EQ(m_osimage.Create((m_dir / c.szName).c_str(), Report(m_dir / "data", "jpeg", "rgb_24", 1, 1, 0).c_str(),
                                   false, false, c.eosimagefileformat, OS_IMAGEMULTIPAGE_SINGLE, false, true, 0),
                  OS_STS_OK)
            << m_osimage.GetError();
        EXPECT_EQ(std::string(m_osimage.GetFileName()), m_dir / c.szWritten);
        EXPECT_EQ(e2e::ReadFile(m_dir / c.szWritten), c.szData);
    }

    // The raw data named as the image file itself is replaced by the image.
    e2e::WriteFile(m_dir / "same.tif", std::string(4, '\x55'));
    ASSERT_EQ(m_osimage.Create((m_dir / "same.tif").c_str(), Report(m_dir / "same.tif", "none", "gray_8", 2, 2, 0).c_str(),
                               false, false, OS_IMAGEFILEFORMAT_BYNAME, OS_IMAGEMULTIPAGE_SINGLE, false, true, 0),
              OS_STS_OK);
    EXPECT_EQ(tiffread::Tag(e2e::ReadFile(m_dir / "same.tif"), 256), 2);
}

TEST_F(OsImageTest, DataThatCannotBecomeTheFileFailsAndLeavesNothing)
{
    e2e::WriteFile(m_dir / "raw", std::string(10, '\x01'));
    e2e::WriteFile(m_dir / "empty", "");
    struct Case
    {
        const char *szName;
        std::string szReport;
        EOSIMAGEFILEFORMAT eosimagefileformat;
        EOSSTS eossts;
    } acase[] = {
        {"j.jpg", Report(m_dir / "raw", "jpeg", "rgb_24", 1, 1, 0), OS_IMAGEFILEFORMAT_JFIF, OS_STS_FAIL},
        {"b.bmp", Report(m_dir / "raw", "none", "gray_8", 10, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "raw", "jpeg", "gray_8", 10, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "raw", "none", "cmyk", 10, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "raw", "none", "rgb_24", 100, 100, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "raw", "none", "gray_8", -5, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "empty", "none", "gray_8", 1, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FAIL},
        {"t", Report(m_dir / "missing", "none", "gray_8", 1, 1, 0), OS_IMAGEFILEFORMAT_BYNAME, OS_STS_FILE_NOT_FOUND},
        {"t", "<reportimage></reportimage>", OS_IMAGEFILEFORMAT_BYNAME, OS_STS_BAD_ARGUMENT},
        {"t", "<reportimage><imagefilename>" + (m_dir / "raw") + "</imagefilename></reportimage>",
         OS_IMAGEFILEFORMAT_BYNAME, OS_STS_BAD_ARGUMENT},
        {"t", Report(m_dir / "raw", "none", "gray_8", 1, 1, 0), (EOSIMAGEFILEFORMAT)2, OS_STS_BAD_ARGUMENT},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szReport);
        EXPECT_EQ(m_osimage.Create((m_dir / c.szName).c_str(), c.szReport.c_str(), false, false, c.eosimagefileformat,
                                   OS_IMAGEMULTIPAGE_SINGLE, false, true, 0),
                  c.eossts);
        EXPECT_STRNE(m_osimage.GetError(), "");
    }
    EXPECT_EQ(m_osimage.Create(nullptr, "", false, false, OS_IMAGEFILEFORMAT_BYNAME, OS_IMAGEMULTIPAGE_SINGLE, false,
                               true, 0),
              OS_STS_BAD_ARGUMENT);
    OsFileInfo osfileinfo;
    int iFiles = 0;
    for (EOSSTS eossts = COsFile::FindFirst((m_dir / "*").c_str(), &osfileinfo); eossts == OS_STS_OK;
         eossts = COsFile::FindNext(&osfileinfo))
    {
        iFiles += osfileinfo.u32Type == OS_FILETYPE_FILE;
    }
    COsFile::FindClose(&osfileinfo);
    EXPECT_EQ(iFiles, 2);   // raw and empty: no image file, no partial one
}

TEST_F(OsImageTest, NativeTiffAndBitmapAreMeasuredFromTheirOwnStructure)
{
    // A TIFF: header, a directory at 8 with strip offsets and counts (two
    // strips, the counts out of line), the strips after it.
    std::vector<uint8_t> au8Tiff(300, 0);
    auto Put16 = [&](size_t a_u, uint16_t a_v) { au8Tiff[a_u] = a_v & 0xFF; au8Tiff[a_u + 1] = a_v >> 8; };
    auto Put32 = [&](size_t a_u, uint32_t a_v) { Put16(a_u, a_v & 0xFFFF); Put16(a_u + 2, a_v >> 16); };
    memcpy(au8Tiff.data(), "II*\0", 4);
    Put32(4, 8);
    Put16(8, 2);
    Put16(10, 273), Put16(12, 4), Put32(14, 2), Put32(18, 100);   // offsets at 100
    Put16(22, 279), Put16(24, 4), Put32(26, 2), Put32(30, 108);   // counts at 108
    Put32(100, 200), Put32(104, 120), Put32(108, 40), Put32(112, 60);
    uint64_t u64Size = 0;
    ASSERT_EQ(COsImage::TiffExtent(au8Tiff.data(), au8Tiff.size(), &u64Size), OS_STS_OK);
    EXPECT_EQ(u64Size, 240u);
    // Malformed: a strip past the limit, a directory past it, no strips,
    // a directory entry count reaching past it, a big-endian header.
    EXPECT_EQ(COsImage::TiffExtent(au8Tiff.data(), 239, &u64Size), OS_STS_FAIL);
    Put32(4, 299);
    EXPECT_EQ(COsImage::TiffExtent(au8Tiff.data(), au8Tiff.size(), &u64Size), OS_STS_FAIL);
    Put32(4, 8);
    Put16(8, 0xFFFF);
    EXPECT_EQ(COsImage::TiffExtent(au8Tiff.data(), au8Tiff.size(), &u64Size), OS_STS_FAIL);
    Put16(8, 1);
    EXPECT_EQ(COsImage::TiffExtent(au8Tiff.data(), au8Tiff.size(), &u64Size), OS_STS_FAIL);
    au8Tiff[0] = 'M';
    EXPECT_EQ(COsImage::TiffExtent(au8Tiff.data(), au8Tiff.size(), &u64Size), OS_STS_FAIL);

    // A bitmap: 8 bits, 5 x 3, no image size: stride 8, palette of 256.
    std::vector<uint8_t> au8Dib(40, 0);
    auto Dib32 = [&](size_t a_u, uint32_t a_v) { memcpy(&au8Dib[a_u], &a_v, 4); };
    Dib32(0, 40), Dib32(4, 5), Dib32(8, (uint32_t)-3), au8Dib[12] = 1, au8Dib[14] = 8;
    OsImageDib osimagedib;
    ASSERT_EQ(COsImage::DibMeasure(au8Dib.data(), 40 + 1024 + 24, &osimagedib), OS_STS_OK);
    EXPECT_EQ(osimagedib.u64DataOffset, 40u + 1024u);
    EXPECT_EQ(osimagedib.u64Size, 40u + 1024u + 24u);
    EXPECT_EQ(osimagedib.biHeight, -3);
    EXPECT_EQ(COsImage::DibMeasure(au8Dib.data(), 40 + 1024 + 23, &osimagedib), OS_STS_FAIL);
    // 24 bits with an image size and no palette; then broken headers.
    au8Dib[14] = 24;
    Dib32(20, 48);
    ASSERT_EQ(COsImage::DibMeasure(au8Dib.data(), 1000, &osimagedib), OS_STS_OK);
    EXPECT_EQ(osimagedib.u64Size, 88u);
    for (auto change : {std::make_pair(0, 12u), std::make_pair(4, 0u), std::make_pair(14, 7u), std::make_pair(32, 300u)})
    {
        std::vector<uint8_t> au8Bad = au8Dib;
        if (change.first == 14)
            au8Bad[14] = (uint8_t)change.second;
        else
            memcpy(&au8Bad[change.first], &change.second, 4);
        if (change.first == 32)
            au8Bad[14] = 8;
        EXPECT_EQ(COsImage::DibMeasure(au8Bad.data(), 1u << 20, &osimagedib), OS_STS_FAIL) << change.first;
    }
}
