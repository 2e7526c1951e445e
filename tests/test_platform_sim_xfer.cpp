// test_platform_sim_xfer.cpp
//
// Image transfers of the simulated sources, byte for byte: the native TIFF
// (the native bitmap, through the program into a file: test_e2e_xfer.cpp),
// memory strips (uncompressed and JPEG), memory files and files (TIFF, BMP,
// JFIF), image information and layout, the feeder with its pages and sides,
// pending transfers, extended image information, and the memory the source
// hands over. Pixels follow the documented formulas:
//   gray v = (x + 2y + 37p) mod 256; colour R = (x + 37p), G = (2y + 11p),
//   B = (x + y + 101p) mod 256; black and white: black when x/8 + y/8 + p is odd.

#include "test_platform_sim.h"

#include "tiff_read.h"

#include <jpeglib.h>

using namespace simtest;

namespace
{
using SimXferTest = SimTest;

unsigned Gray(std::int64_t a_x, std::int64_t a_y, unsigned a_uPage)
{
    return static_cast<unsigned>((a_x + 2 * a_y + 37 * a_uPage) & 0xFF);
}

bool Black(std::int64_t a_x, std::int64_t a_y, unsigned a_uPage)
{
    return (((a_x / 8) + (a_y / 8) + a_uPage) & 1) != 0;
}

// Memory transfers until TWRC_XFERDONE; the blocks joined.
std::vector<unsigned char> MemoryTransfer(App& a_app, TW_UINT16 a_u16Dat, std::size_t a_uBuffer, std::vector<TW_IMAGEMEMXFER>* a_ablock,
                                          bool a_blHandle = false)
{
    std::vector<unsigned char> au8All;
    TW_HANDLE h = a_app.Alloc(a_uBuffer);
    for (int ii = 0; ii < 100000; ii++)
    {
        TW_IMAGEMEMXFER twmem = {};
        twmem.Memory.Flags = TWMF_APPOWNS | (a_blHandle ? TWMF_HANDLE : TWMF_POINTER);
        twmem.Memory.Length = a_uBuffer;
        twmem.Memory.TheMem = a_blHandle ? h : a_app.Lock(h);
        TW_UINT16 u16Rc = a_app.Call(DG_IMAGE, a_u16Dat, MSG_GET, &twmem);
        if (u16Rc != TWRC_SUCCESS && u16Rc != TWRC_XFERDONE)
        {
            ADD_FAILURE() << "transfer failed: rc " << u16Rc << " cc " << a_app.Cc();
            break;
        }
        const unsigned char* pu8 = static_cast<const unsigned char*>(a_app.Lock(h));
        au8All.insert(au8All.end(), pu8, pu8 + twmem.BytesWritten);
        if (a_ablock != nullptr)
        {
            a_ablock->push_back(twmem);
        }
        if (u16Rc == TWRC_XFERDONE)
        {
            break;
        }
    }
    a_app.Free(h);
    return au8All;
}

// JPEG decoding through the system library, loaded at run time like every
// other library of these tests.
struct JpegImage
{
    int m_iWidth = 0;
    int m_iHeight = 0;
    int m_iComponents = 0;
    std::vector<unsigned char> m_au8;
};

bool DecodeJpeg(const std::vector<unsigned char>& a_au8, JpegImage& a_image)
{
    void* pv = dlopen("libjpeg.so.62", RTLD_NOW | RTLD_LOCAL);
    if (pv == nullptr)
    {
        return false;
    }
    auto pfnStdError = reinterpret_cast<jpeg_error_mgr* (*)(jpeg_error_mgr*)>(dlsym(pv, "jpeg_std_error"));
    auto pfnCreate = reinterpret_cast<void (*)(j_decompress_ptr, int, size_t)>(dlsym(pv, "jpeg_CreateDecompress"));
    auto pfnMemSrc = reinterpret_cast<void (*)(j_decompress_ptr, const unsigned char*, unsigned long)>(dlsym(pv, "jpeg_mem_src"));
    auto pfnReadHeader = reinterpret_cast<int (*)(j_decompress_ptr, boolean)>(dlsym(pv, "jpeg_read_header"));
    auto pfnStart = reinterpret_cast<boolean (*)(j_decompress_ptr)>(dlsym(pv, "jpeg_start_decompress"));
    auto pfnRead = reinterpret_cast<JDIMENSION (*)(j_decompress_ptr, JSAMPARRAY, JDIMENSION)>(dlsym(pv, "jpeg_read_scanlines"));
    auto pfnFinish = reinterpret_cast<boolean (*)(j_decompress_ptr)>(dlsym(pv, "jpeg_finish_decompress"));
    auto pfnDestroy = reinterpret_cast<void (*)(j_decompress_ptr)>(dlsym(pv, "jpeg_destroy_decompress"));
    if (!pfnStdError || !pfnCreate || !pfnMemSrc || !pfnReadHeader || !pfnStart || !pfnRead || !pfnFinish || !pfnDestroy)
    {
        return false;
    }
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = pfnStdError(&jerr);
    pfnCreate(&cinfo, JPEG_LIB_VERSION, sizeof(cinfo));
    pfnMemSrc(&cinfo, a_au8.data(), a_au8.size());
    pfnReadHeader(&cinfo, TRUE);
    pfnStart(&cinfo);
    a_image.m_iWidth = static_cast<int>(cinfo.output_width);
    a_image.m_iHeight = static_cast<int>(cinfo.output_height);
    a_image.m_iComponents = cinfo.output_components;
    std::size_t uRow = static_cast<std::size_t>(a_image.m_iWidth) * a_image.m_iComponents;
    a_image.m_au8.resize(uRow * a_image.m_iHeight);
    while (cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW row = a_image.m_au8.data() + uRow * cinfo.output_scanline;
        pfnRead(&cinfo, &row, 1);
    }
    pfnFinish(&cinfo);
    pfnDestroy(&cinfo);
    return true;
}
}

TEST_F(SimXferTest, MemoryTransferDeliversWholeRowsPaddedTo4Bytes)
{
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_MEMORY));
    TW_SETUPMEMXFER twsetup;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &twsetup), TWRC_SUCCESS);
    EXPECT_EQ(+twsetup.MinBufSize, 428u);
    EXPECT_EQ(+twsetup.MaxBufSize, TWON_DONTCARE32);
    EXPECT_EQ(+twsetup.Preferred % 428, 0u);
    ASSERT_TRUE(app.EnableAndWait());
    // Too small a buffer is refused and the transfer does not start.
    TW_IMAGEMEMXFER twmem = {};
    std::vector<unsigned char> au8Small(100);
    twmem.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    twmem.Memory.Length = au8Small.size();
    twmem.Memory.TheMem = au8Small.data();
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &twmem)), TWCC_BADVALUE);
    // The wrong transfer is out of sequence.
    TW_HANDLE hDib = nullptr;
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib)), TWCC_SEQERROR);
    std::vector<TW_IMAGEMEMXFER> ablock;
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMXFER, 428 * 64 + 100, &ablock, true);
    ASSERT_EQ(au8.size(), 428u * 550u);
    ASSERT_EQ(ablock.size(), 9u);   // 64 rows a block
    EXPECT_EQ(+ablock[0].Rows, 64u);
    EXPECT_EQ(+ablock[1].YOffset, 64u);
    EXPECT_EQ(+ablock[8].Rows, 550u - 8 * 64);
    EXPECT_EQ(+ablock[0].BytesPerRow, 428u);
    EXPECT_EQ(+ablock[0].Columns, 425u);
    EXPECT_EQ(ablock[0].Compression, TWCP_NONE);
    for (std::size_t y = 0; y < 550; y++)
    {
        EXPECT_EQ(au8[y * 428 + 425] * 0x10000 + au8[y * 428 + 426] * 0x100 + au8[y * 428 + 427], 0xA55AA5) << y;
        for (std::size_t x = 0; x < 425; x++)
        {
            if (au8[y * 428 + x] != Gray(x, y, 1))
            {
                FAIL() << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(JournalWith({"DAT_IMAGEMEMXFER", "rc=TWRC_XFERDONE", "state=7->7"}).size(), 1u);
}

TEST_F(SimXferTest, MemoryTransferOfBlackAndWhiteFollowsThePixelFlavour)
{
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_BW, TWSX_MEMORY));
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELFLAVOR, TWPF_VANILLA), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMXFER, 1 << 20, nullptr);
    std::size_t uRow = 56;   // 54 bytes padded to 4
    ASSERT_EQ(au8.size(), uRow * 550);
    for (int y : {0, 7, 8, 100, 549})
    {
        for (int x : {0, 7, 8, 15, 16, 424})
        {
            bool blBit = ((au8[y * uRow + x / 8] >> (7 - x % 8)) & 1) != 0;
            EXPECT_EQ(blBit, Black(x, y, 1)) << x << "," << y;   // vanilla: 1 is black
        }
    }
}

TEST_F(SimXferTest, MemoryTilesOfUnknownLengthLandAtTheirOffsets)
{
    Config("[scanner]\nmemory.tile = 100 64\nmemory.align = 2\nmemory.length = unknown\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_MEMORY));
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(+twinfo.ImageLength, -1);
    std::vector<TW_IMAGEMEMXFER> ablock;
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMXFER, 1 << 16, &ablock);
    ASSERT_EQ(ablock.size(), 9u * 5);   // bands of 64 rows, tiles of 100 columns (the last 25, 26 bytes a row)
    EXPECT_EQ(+ablock[4].Columns, 25u);
    EXPECT_EQ(+ablock[4].BytesPerRow, 26u);
    std::vector<unsigned char> au8Image(425 * 550);
    std::size_t uAt = 0;
    for (const TW_IMAGEMEMXFER& twmem : ablock)
    {
        ASSERT_EQ(+twmem.BytesWritten, twmem.Rows * twmem.BytesPerRow);
        EXPECT_EQ(+twmem.XOffset, 100u * ((&twmem - ablock.data()) % 5));
        for (std::size_t y = 0; y < twmem.Rows; y++)
            std::memcpy(&au8Image[(twmem.YOffset + y) * 425 + twmem.XOffset], &au8[uAt + y * twmem.BytesPerRow], twmem.Columns);
        uAt += twmem.BytesWritten;
    }
    for (std::size_t y = 0; y < 550; y++)
        for (std::size_t x = 0; x < 425; x++)
            ASSERT_EQ(au8Image[y * 425 + x], Gray(x, y, 1)) << x << "," << y;
}

TEST_F(SimXferTest, MemoryTransferInJpeg)
{
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_MEMORY));
    ASSERT_EQ(app.SetUInt16(ICAP_COMPRESSION, TWCP_JPEG), TWRC_SUCCESS);
    ASSERT_EQ(app.SetCap(MSG_SET, ICAP_JPEGQUALITY, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 100)), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(twinfo.Compression, TWCP_JPEG);
    std::vector<TW_IMAGEMEMXFER> ablock;
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMXFER, 4096, &ablock);
    ASSERT_GT(au8.size(), 4u);
    EXPECT_GT(ablock.size(), 1u);
    EXPECT_EQ(ablock[0].Compression, TWCP_JPEG);
    EXPECT_EQ(au8[0], 0xFF);
    EXPECT_EQ(au8[1], 0xD8);
    EXPECT_EQ(au8[au8.size() - 2], 0xFF);
    EXPECT_EQ(au8[au8.size() - 1], 0xD9);
    JpegImage image;
    ASSERT_TRUE(DecodeJpeg(au8, image));
    ASSERT_EQ(image.m_iWidth, 425);
    ASSERT_EQ(image.m_iHeight, 550);
    ASSERT_EQ(image.m_iComponents, 1);
    // Lossy, but close away from the ramp's wrap from 255 to 0.
    double dError = 0;
    int iCount = 0;
    for (int y = 0; y < 550; y += 7)
    {
        for (int x = 0; x < 425; x += 5)
        {
            unsigned uExpected = Gray(x, y, 1);
            if (uExpected > 16 && uExpected < 240)
            {
                dError += std::abs(static_cast<int>(image.m_au8[y * 425 + x]) - static_cast<int>(uExpected));
                iCount++;
            }
        }
    }
    EXPECT_LT(dError / iCount, 3.0);
}

TEST_F(SimXferTest, MemoryFileTransferInEachFormat)
{
    Config("pages = 10\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_RGB, TWSX_MEMFILE));
    // TIFF: a memory file of colour (its pixels, in gray, through the program:
    // test_e2e_xfer.cpp).
    ASSERT_EQ(app.SetUInt16(ICAP_IMAGEFILEFORMAT, TWFF_TIFF), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    std::vector<TW_IMAGEMEMXFER> ablock;
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMFILEXFER, 65536, &ablock);
    EXPECT_EQ(+ablock[0].Rows, TWON_DONTCARE32);
    const std::string szTiff(au8.begin(), au8.end());
    EXPECT_EQ(tiffread::Tag(szTiff, 262), 2);
    ASSERT_EQ(au8.size(), tiffread::Tag(szTiff, 273) + 425u * 3 * 550);
    TW_UINT16 u16Count = 0;
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    ASSERT_EQ(u16Count, 9);
    // BMP of the next page.
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEMEMFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(app.Cc(), TWCC_BADVALUE);
    ASSERT_TRUE(app.Disable());
    ASSERT_EQ(app.SetUInt16(ICAP_IMAGEFILEFORMAT, TWFF_BMP), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    au8 = MemoryTransfer(app, DAT_IMAGEMEMFILEXFER, 10000, nullptr);
    ASSERT_GT(au8.size(), 54u);
    EXPECT_EQ(au8[0], 'B');
    EXPECT_EQ(au8[1], 'M');
    const std::string szBmp(au8.begin(), au8.end());
    EXPECT_EQ(tiffread::U32(szBmp, 2), au8.size());
    EXPECT_EQ(tiffread::U32(szBmp, 10), 54u);
    app.EndXfer();
    ASSERT_TRUE(app.Disable());
    // JFIF.
    ASSERT_EQ(app.SetUInt16(ICAP_IMAGEFILEFORMAT, TWFF_JFIF), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(twinfo.Compression, TWCP_JPEG) << "what the memory file holds";
    au8 = MemoryTransfer(app, DAT_IMAGEMEMFILEXFER, 10000, nullptr);
    JpegImage image;
    ASSERT_TRUE(DecodeJpeg(au8, image));
    EXPECT_EQ(image.m_iWidth, 425);
    EXPECT_EQ(image.m_iComponents, 3);
}

// (the file it writes for a name the program sets: test_e2e_xfer.cpp)
TEST_F(SimXferTest, FileTransferSetUpAndAFileThatCannotBeWritten)
{
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_FILE));
    TW_SETUPFILEXFER twsetup = {};
    std::snprintf(twsetup.FileName, sizeof(twsetup.FileName), "%s", "/nonexistent-dir/x.tif");
    twsetup.Format = TWFF_PNG;
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetup)), TWCC_BADVALUE);
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, &twsetup)), TWCC_BADPROTOCOL);
    twsetup.Format = TWFF_TIFF;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetup), TWRC_SUCCESS);
    // A reset gives the defaults back.
    TW_SETUPFILEXFER twsetupReset = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &twsetupReset), TWRC_SUCCESS);
    EXPECT_STREQ(twsetupReset.FileName, "twain.bmp");
    EXPECT_EQ(twsetupReset.Format, TWFF_BMP);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetup), TWRC_SUCCESS);
    // The format is ICAP_IMAGEFILEFORMAT's.
    EXPECT_EQ(app.CurrentInt(ICAP_IMAGEFILEFORMAT), TWFF_TIFF);
    ASSERT_TRUE(app.EnableAndWait());
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr)), TWCC_FILEWRITEERROR);
}

TEST_F(SimXferTest, FeederPagesSidesAndNumbers)
{
    Config("pages = 2\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_NATIVE));
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_DUPLEXENABLED, TWON_ONEVALUE, OneValueOf<TW_BOOL>(TWTY_BOOL, 1)), TWRC_SUCCESS);
    ASSERT_EQ(app.SetUInt16(ICAP_EXTIMAGEINFO, 1, TWTY_BOOL), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_UINT32 u32Group = DG_AUDIO;
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_XFERGROUP, MSG_SET, &u32Group)), TWCC_BADVALUE) << "images only";
    TW_PENDINGXFERS twpending;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 4);
    const std::uint32_t au32Document[] = {1, 1, 2, 2};
    const std::uint16_t au16Side[] = {TWCS_TOP, TWCS_BOTTOM, TWCS_TOP, TWCS_BOTTOM};
    for (unsigned uImage = 0; uImage < 4; uImage++)
    {
        TW_IMAGELAYOUT twlayout;
        ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &twlayout), TWRC_SUCCESS);
        EXPECT_EQ(+twlayout.PageNumber, uImage + 1);
        EXPECT_EQ(+twlayout.DocumentNumber, au32Document[uImage]);
        TW_HANDLE hTiff = nullptr;
        ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hTiff), TWRC_XFERDONE);
        // The native image is a TIFF by default.
        const unsigned char* pu8 = static_cast<const unsigned char*>(app.Lock(hTiff));
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(pu8), 4), std::string("II*\0", 4));
        // The directory and its values take the first 4 KiB of the image.
        const std::string szHead(reinterpret_cast<const char*>(pu8), 4096);
        EXPECT_EQ(tiffread::Tag(szHead, 256), 425);
        ASSERT_EQ(tiffread::Tag(szHead, 279), 425 * 550);
        EXPECT_EQ(pu8[tiffread::Tag(szHead, 273)], Gray(0, 0, uImage + 1));   // top-left pixel
        app.Unlock(hTiff);
        app.Free(hTiff);
        // Extended information of the image just transferred.
        std::vector<unsigned char> au8Ext(8 + 16 * 4, 0);
        TwSetU32(au8Ext.data(), 4);
        const TW_UINT16 au16Id[] = {TWEI_PAGESIDE, TWEI_DOCUMENTNUMBER, TWEI_FRAME, 0x1111};
        for (int ii = 0; ii < 4; ii++)
        {
            TwSetU16(au8Ext.data() + 8 + 16 * ii, au16Id[ii]);
        }
        ASSERT_EQ(app.Call(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, au8Ext.data()), TWRC_SUCCESS);
        TW_INFO atwinfo[4];
        std::memcpy(atwinfo, au8Ext.data() + 8, sizeof(atwinfo));
        EXPECT_EQ(atwinfo[0].ItemType, TWTY_UINT16);
        EXPECT_EQ(+atwinfo[0].Item, au16Side[uImage]);
        EXPECT_EQ(+atwinfo[1].Item, au32Document[uImage]);
        EXPECT_EQ(atwinfo[2].ItemType, TWTY_FRAME);
        ASSERT_NE(+atwinfo[2].Item, 0u);   // a frame is too large for Item: a handle
        TW_HANDLE hFrame = reinterpret_cast<TW_HANDLE>(atwinfo[2].Item);
        EXPECT_EQ(TwGetFix32(static_cast<unsigned char*>(app.Lock(hFrame)) + 8).Whole, 8);
        app.Unlock(hFrame);
        app.Free(hFrame);
        EXPECT_EQ(atwinfo[3].ReturnCode, TWRC_INFONOTSUPPORTED);
        TW_UINT16 u16Count = 99;
        ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
        EXPECT_EQ(u16Count, 3 - uImage);
    }
    // The feeder is empty now.
    EXPECT_EQ(app.CurrentInt(CAP_FEEDERLOADED), 0);
}

TEST_F(SimXferTest, TransferCountStopFeederAndReset)
{
    Config("pages = 5\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_BW, TWSX_NATIVE));
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 2)), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_PENDINGXFERS twpending;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 2);
    // Ending an image not transferred cancels it.
    TW_UINT16 u16Count = 99;
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    EXPECT_EQ(u16Count, 1);
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    EXPECT_EQ(u16Count, 0);
    TW_IMAGEINFO twinfo;
    EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_FAILURE);   // state 5
    ASSERT_TRUE(app.Disable(false));
    // Three sheets left; duplex; stop the feeder on the first.
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, -1)), TWRC_SUCCESS);
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_DUPLEXENABLED, TWON_ONEVALUE, OneValueOf<TW_BOOL>(TWTY_BOOL, 1)), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 6);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_STOPFEEDER, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 2);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 0);
    ASSERT_TRUE(app.Disable(false));   // the reset used up the sheet in the scanner only
    ASSERT_TRUE(app.EnableAndWait());
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 4);
}

TEST_F(SimXferTest, ImageLayoutSetsTheFrameAndNumbers)
{
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_MEMORY));
    // The default, and a reset to it.
    TW_IMAGELAYOUT twlayout = {};
    twlayout.Frame.Right = Fix(2);
    twlayout.Frame.Bottom = Fix(2);
    twlayout.PageNumber = 7;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &twlayout), TWRC_SUCCESS);
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, &twlayout), TWRC_SUCCESS);
    EXPECT_EQ(twlayout.Frame.Right.Whole, 8);
    EXPECT_EQ(twlayout.Frame.Bottom.Whole, 11);
    EXPECT_EQ(+twlayout.PageNumber, 1u);
    std::memset(&twlayout, 0, sizeof(twlayout));
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &twlayout), TWRC_SUCCESS);
    EXPECT_EQ(twlayout.Frame.Right.Whole, 8);
    EXPECT_EQ(+twlayout.PageNumber, 1u);
    twlayout.Frame.Left = Fix(1);
    twlayout.Frame.Top = Fix(2);
    twlayout.Frame.Right = Fix(3);
    twlayout.Frame.Bottom = Fix(3.5);
    twlayout.DocumentNumber = 10;
    twlayout.PageNumber = 20;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &twlayout), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(+twinfo.ImageWidth, 100);
    EXPECT_EQ(+twinfo.ImageLength, 75);
    std::memset(&twlayout, 0, sizeof(twlayout));
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &twlayout), TWRC_SUCCESS);
    EXPECT_EQ(+twlayout.DocumentNumber, 10u);
    EXPECT_EQ(+twlayout.PageNumber, 20u);
    std::vector<unsigned char> au8 = MemoryTransfer(app, DAT_IMAGEMEMXFER, 1 << 16, nullptr);
    ASSERT_EQ(au8.size(), 100u * 75u);
    EXPECT_EQ(au8[0], Gray(0, 0, 20));   // the page number is the application's
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &twlayout)), TWCC_SEQERROR);
}

TEST_F(SimXferTest, EveryHandleTheSourceGivesIsDsmMemory)
{
    ASSERT_NE(Dsm::Get().pfnLiveAllocations, nullptr);
    ASSERT_NE(Dsm::Get().pfnFamilyErrors, nullptr);
    unsigned long ulLive = Dsm::Get().pfnLiveAllocations();
    unsigned long ulFamily = Dsm::Get().pfnFamilyErrors();
    {
        App app(kScanner);
        ASSERT_TRUE(app.Opened());
        Container con;
        for (TW_UINT16 u16Cap : {ICAP_PIXELTYPE, CAP_SUPPORTEDCAPS, ICAP_FRAMES, CAP_AUTHOR})
        {
            ASSERT_EQ(app.Cap(MSG_GET, u16Cap, &con), TWRC_SUCCESS);
            ASSERT_EQ(app.Cap(MSG_GETCURRENT, u16Cap, &con), TWRC_SUCCESS);
        }
        ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_NATIVE));
        ASSERT_TRUE(app.EnableAndWait());
        TW_HANDLE hDib = nullptr;
        ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib), TWRC_XFERDONE);
        app.Free(hDib);
    }
    EXPECT_EQ(Dsm::Get().pfnLiveAllocations(), ulLive);
    EXPECT_EQ(Dsm::Get().pfnFamilyErrors(), ulFamily);
}

TEST_F(SimXferTest, AnOlderApplicationGetsCMemoryFromA2xSource)
{
    // An application without DF_APP2 has no DSM memory functions: it frees
    // what it receives with the C library, so nothing may come from the DSM.
    unsigned long ulLive = Dsm::Get().pfnLiveAllocations();
    unsigned long ulFamily = Dsm::Get().pfnFamilyErrors();
    {
        App app(kScanner, false);
        ASSERT_TRUE(app.Opened());
        for (TW_UINT16 u16Cap : {ICAP_PIXELTYPE, CAP_SUPPORTEDCAPS, ICAP_FRAMES, CAP_AUTHOR})
        {
            TW_CAPABILITY twcap = {};
            twcap.Cap = u16Cap;
            ASSERT_EQ(app.Call(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcap), TWRC_SUCCESS);
            TW_HANDLE hContainer = twcap.hContainer;
            ASSERT_NE(hContainer, nullptr);
            EXPECT_EQ(Dsm::Get().pfnLiveAllocations(), ulLive);
            std::free(hContainer);
        }
    }
    EXPECT_EQ(Dsm::Get().pfnLiveAllocations(), ulLive);
    EXPECT_EQ(Dsm::Get().pfnFamilyErrors(), ulFamily);
}

TEST_F(SimXferTest, CameraSourceGivesOneImagePerEnabledCamera)
{
    Config("pages = 1\n");
    App& app = Open(kCamera);
    TW_FILESYSTEM twfs = {};
    std::strcpy(twfs.InputName, "/Camera_Gray_Bottom");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_CAMERAENABLED, TWON_ONEVALUE, OneValueOf<TW_BOOL>(TWTY_BOOL, 1)), TWRC_SUCCESS);
    ASSERT_EQ(app.SetFix(ICAP_XRESOLUTION, 50), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_PENDINGXFERS twpending;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 2);
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(twinfo.PixelType, TWPT_RGB);   // the colour camera first
    EXPECT_EQ(twinfo.XResolution.Whole, 100);
    TW_UINT16 u16Count = 0;
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(twinfo.PixelType, TWPT_GRAY);
    EXPECT_EQ(twinfo.XResolution.Whole, 50);
}
