// test_e2e_xfer.cpp
// Scans through the real program against the simulated scanner: every page
// of a job in native, memory, memory-file and file mode into image files
// that hold the synthetic pages; the image index and the states of pending
// transfers; cancelled and failed images; transfer set-up, status, layout
// and transfer groups; the user-interface words, the discard counter and
// the ICC profile of a waiting image; camera windows; the maker's profiles
// and clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "test_e2e_shell_helpers.h"
#include "tiff_read.h"

using shelltest::SimShell;

namespace
{

// The synthetic page p: gray and colour samples, and black (bit 0) of
// black and white, at x, y.
int Gray(int x, int y, int p) { return (x + 2 * y + 37 * p) % 256; }
int Red(int x, int p) { return (x + 37 * p) % 256; }
int Green(int y, int p) { return (2 * y + 11 * p) % 256; }
int Blue(int x, int y, int p) { return (x + y + 101 * p) % 256; }
bool Black(int x, int y, int p) { return (x / 8 + y / 8 + p) % 2 == 1; }
// The low byte of a 16-bit sample c (0 gray or red, 1 green, 2 blue).
int Low(int x, int y, int p, int c) { return (3 * x + y + 59 * p + 85 * c) % 256; }

// A script that opens a source, sets it up, enables it and scans a_iPages
// pages with the lines of one page.
std::string Scan(const char *a_szSource, int a_iPages, const std::string &a_szPage, const std::string &a_szSetUp = "")
{
    std::string sz = std::string("twcreate 2.4\ndsmopen\ndsopen \"") + a_szSource + "\"\n" + a_szSetUp +
                     "ui enableds\nwait 20000 msg_xferready\n";
    for (int ii = 0; ii < a_iPages; ii++)
        sz += a_szPage;
    return sz + "ui disableds\ndsclose\ndsmclose\n";
}

std::string Config(const char *a_szSection, const std::string &a_szLines)
{
    return std::string("[") + a_szSection + "]\npages = 2\npage = 2 1.5\n" + a_szLines;
}

std::string Mech(const char *a_szMech)
{
    return std::string("cap ICAP_XFERMECH enum uint16 TWSX_NATIVE TWSX_MEMORY TWSX_FILE TWSX_MEMFILE default=") +
           a_szMech + "\n";
}

std::string Pixel(const char *a_szPixel)
{
    return std::string("cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_GRAY TWPT_RGB default=") + a_szPixel + "\n";
}

} // namespace

TEST(E2eXfer, EveryPageInEveryModeBecomesAFileOfTheSyntheticPage)
{
    // Pages of 200 x 150 pixels (black and white rows of 25 bytes) in every
    // mode and pixel type, identical pixel for pixel: memory rows aligned to
    // 1, 2 and 4 bytes (the standard scanner's own) and in tiles of 60 x 40
    // (bits that share bytes with the next tile), native TIFF and bitmap,
    // memory files and files, gray and colour also of 16 bits a sample
    // (little-endian, as TWAIN memory data is here; not in a bitmap), gray
    // and black and white also with 0 white (vanilla: the page as it looks,
    // a TIFF's photometric tag honoured); then the compressed kinds.
    enum EKind { eGray, eRgb, eBw, eJpeg, eG4, eGray16, eRgb48 };
    struct Case
    {
        std::string szName;
        const char *szSource;
        std::string szConfig;
        std::string szPage;     // the lines of one page
        std::string szFile;     // the image file of page index %d
        EKind ekind;
        int iWidth, iHeight;
    };
    const std::string szFormat = "cap ICAP_IMAGEFILEFORMAT enum uint16 TWFF_TIFF TWFF_BMP TWFF_JFIF default=";
    const char *szMemory = "ii msg_get m\nxm\npx endxfer\n", *szMemFile = "ii msg_get mf\ndat_imagememfilexfer\npx endxfer\n";
    const struct
    {
        const char *szName;
        std::string szConfig;
        const char *szPage, *szFile;
    } amode[] = {
        {"memory, rows of 1 byte", Mech("TWSX_MEMORY") + "memory.align = 1\n", szMemory, "m%08d.tif"},
        {"memory, rows of 2 bytes, length unknown", Mech("TWSX_MEMORY") + "memory.align = 2\nmemory.length = unknown\n",
         szMemory, "m%08d.tif"},
        {"memory, rows of 4 bytes", Mech("TWSX_MEMORY"), szMemory, "m%08d.tif"},
        {"memory tiles", Mech("TWSX_MEMORY") + "memory.tile = 60 40\n", "ii msg_get m\nrepeat 16\nxm\nend\npx endxfer\n",
         "m%08d.tif"},
        {"memory file TIFF", Mech("TWSX_MEMFILE") + szFormat + "TWFF_TIFF\n", szMemFile, "mf%08d.tif"},
        {"memory file BMP", Mech("TWSX_MEMFILE") + szFormat + "TWFF_BMP\n", szMemFile, "mf%08d.bmp"},
        {"file", Mech("TWSX_FILE") + szFormat + "TWFF_TIFF\n", "sx set TWFF_TIFF scan%03d.tif\nxf\npx endxfer\n", "scan%03d.tif"},
        {"native TIFF", Mech("TWSX_NATIVE"), "xn get nat%02d.tif\npx endxfer\n", "nat%02d.tif"},
        {"native bitmap", Mech("TWSX_NATIVE") + "native = dib\n", "xn get nat%02d.bmp\npx endxfer\n", "nat%02d.bmp"},
    };
    const std::string szVanilla = "enum uint16 TWPF_CHOCOLATE TWPF_VANILLA default=TWPF_VANILLA\n";
    const std::string szFlavor = "cap ICAP_PIXELFLAVOR ", szExt = "cap ICAP_EXTIMAGEINFO onevalue bool TRUE\n";
    const struct
    {
        const char *szPixel;
        EKind ekind;
        std::string szFlavor = "";
    } apixel[] = {{"TWPT_BW", eBw}, {"TWPT_GRAY", eGray}, {"TWPT_RGB", eRgb}, {"TWPT_GRAY", eGray16}, {"TWPT_RGB", eRgb48},
                  {"TWPT_BW", eBw, szFlavor + szVanilla}, {"TWPT_GRAY", eGray, szFlavor + szVanilla}};
    std::vector<Case> acase;
    for (const auto &mode : amode)
        for (const auto &pixel : apixel)
            if (pixel.ekind < eGray16 || !strstr(mode.szFile, ".bmp"))
                acase.push_back({std::string(mode.szName) + ", " + pixel.szPixel + (pixel.ekind >= eGray16 ? ", 16 bits" : "") +
                                     (pixel.szFlavor.empty() ? "" : ", vanilla"), "Simulated Scanner",
                                 Config("scanner", mode.szConfig + Pixel(pixel.szPixel) + pixel.szFlavor), mode.szPage,
                                 mode.szFile, pixel.ekind, 200, 150});
    acase.insert(acase.end(), {
        {"memory colour in three blocks of rows padded to 4 bytes, the last one's size from the buffer",
         "Simulated Scanner ZAV", "[zav]\npages = 2\nmemory.align = 4\n" + Mech("TWSX_MEMORY") + Pixel("TWPT_RGB"),
         "ii msg_get pg%02d.tif\nxm get usememorylength\nxm get usememorylength\nxm get usememorylength\npx endxfer\n",
         "pg%02d.tif", eRgb, 850, 1100},
        {"memory JPEG", "Simulated Scanner",
         Config("scanner", Mech("TWSX_MEMORY") + Pixel("TWPT_GRAY") + "cap ICAP_COMPRESSION enum uint16 TWCP_NONE TWCP_JPEG default=TWCP_JPEG\n"),
         "ii msg_get jp\nxm\npx endxfer\n", "jp%08d.jpg", eJpeg, 200, 150},
        {"memory file JPEG", "Simulated Scanner", Config("scanner", Mech("TWSX_MEMFILE") + szFormat + "TWFF_JFIF\n"), szMemFile,
         "mf%08d.jpg", eJpeg, 200, 150},
        {"memory Group 4, image size in the block", "Simulated Scanner ZAV",
         Config("zav", Mech("TWSX_MEMORY") + "cap ICAP_COMPRESSION enum uint16 TWCP_NONE TWCP_GROUP4 default=TWCP_GROUP4\n"),
         "ii msg_get g\nxm get usememorylength\npx endxferspecial\n", "g%08d.tif", eG4, 200, 150},
        {"memory Group 4, codes of 0 white", "Simulated Scanner",
         Config("scanner", Mech("TWSX_MEMORY") + "cap ICAP_COMPRESSION enum uint16 TWCP_NONE TWCP_GROUP4 default=TWCP_GROUP4\n" +
                               "cap ICAP_PIXELFLAVORCODES " + szVanilla),
         "ii msg_get g\nxm\npx endxfer\n", "g%08d.tif", eG4, 200, 150},
        {"memory, the flavor of the maker's extended image information before the image", "Simulated Scanner ZAV",
         Config("zav", Mech("TWSX_MEMORY") + Pixel("TWPT_GRAY") + szFlavor + szVanilla + szExt +
                           "fault refuse DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=ICAP_PIXELFLAVOR\n"),
         "ii msg_get m\nex msg_getspecial TWEI_PIXELFLAVOR\nxm\npx endxferspecial\n", "m%08d.tif", eGray, 200, 150},
        {"memory, the flavor of the extended image information after the image", "Simulated Scanner",
         Config("scanner", Mech("TWSX_MEMORY") + Pixel("TWPT_BW") + szFlavor + szVanilla + szExt +
                               "fault refuse DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=ICAP_PIXELFLAVOR\n"),
         "ii msg_get m\nxm\nex msg_get TWEI_PIXELFLAVOR\npx endxfer\n", "m%08d.tif", eBw, 200, 150},
    });
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szName);
        SimShell sh(c.szConfig);
        bool bl16 = c.ekind >= eGray16;
        std::string szSetUp = !bl16 ? "" : c.ekind == eGray16 ? "set ICAP_BITDEPTH #16\n" : "set ICAP_BITDEPTH #48\n";
        sh.Dir().Write("s.txt", Scan(c.szSource, 2, c.szPage, szSetUp));
        e2e::Result r = sh.Run("run s\nexit\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(sh.CountAffixed("TWRC_FAILURE", ""), 0) << r.out;
        EXPECT_EQ(sh.CountAffixed("", "the rest is blank..."), 0) << r.out;
        for (int iPage = 1; iPage <= 2; iPage++)
        {
            char szName[64];
            snprintf(szName, sizeof(szName), c.szFile.c_str(), iPage - 1);
            std::string szFile = sh.Dir().Read(szName);
            ASSERT_FALSE(szFile.empty()) << szName << "\n" << r.out;
            // Memory transfers close the name they opened (an extension only
            // when the name had one); memory files the name they take.
            bool blDot = c.szPage.substr(0, c.szPage.find('\n')).find('.') != std::string::npos;
            std::string szOpen = blDot ? szName : std::string(szName).substr(0, strlen(szName) - 4);
            bool blMemFile = c.szPage == szMemFile;
            bool blMemory = c.szPage.find("xm") != std::string::npos || blMemFile;
            EXPECT_TRUE(!blMemory ||
                        sh.HasInOrder({"Open: " + szOpen + (blMemFile ? ".tif" : ""), "Close: " + (blMemFile ? szName : szOpen)}));
            if (c.ekind == eJpeg)
            {
                EXPECT_EQ(szFile.compare(0, 3, "\xFF\xD8\xFF"), 0);
                continue;
            }
            std::string szStrip;
            bool blWhite = false;   // a TIFF's samples of 0 white (Group 4: the sense of its codes)
            int iSamples = (c.ekind == eRgb || c.ekind == eRgb48) ? 3 : 1;
            int iBits = bl16 ? 16 : (c.ekind == eBw || c.ekind == eG4) ? 1 : 8;
            size_t uRow = (c.iWidth * iSamples * iBits + 7) / 8;
            if (szFile.compare(0, 2, "BM") == 0)
            {
                // A bitmap: bottom-up rows (a positive height) padded to whole
                // 32-bit words after the palette (black, then white, for black
                // and white), colour samples in blue-green-red order.
                size_t uStride = (uRow + 3) / 4 * 4, uOffset = tiffread::U32(szFile, 10);
                EXPECT_EQ(tiffread::U32(szFile, 18), (unsigned long)c.iWidth);
                EXPECT_EQ(tiffread::U32(szFile, 22), (unsigned long)c.iHeight);
                ASSERT_EQ(szFile.size(), uOffset + uStride * c.iHeight);
                EXPECT_TRUE(c.ekind != eBw || (tiffread::U32(szFile, 54) == 0 && tiffread::U32(szFile, 58) == 0xFFFFFF));
                for (int y = c.iHeight - 1; y >= 0; y--)
                    szStrip += szFile.substr(uOffset + y * uStride, uRow);
                for (size_t u = 0; c.ekind == eRgb && u + 2 < szStrip.size(); u += 3)
                    std::swap(szStrip[u], szStrip[u + 2]);
            }
            else
            {
                EXPECT_EQ(tiffread::Tag(szFile, 256), c.iWidth);
                EXPECT_EQ(tiffread::Tag(szFile, 257), c.iHeight);
                EXPECT_EQ(tiffread::Tag(szFile, 259), c.ekind == eG4 ? 4 : 1);
                EXPECT_EQ(tiffread::Values(szFile, 258), std::vector<unsigned long>(iSamples, iBits));
                szStrip = tiffread::Strip(szFile);
                blWhite = tiffread::Tag(szFile, 262) == 0;
                if (c.ekind == eG4)
                {
                    EXPECT_EQ(blWhite, c.szConfig.find(szVanilla) != std::string::npos);
                    continue;
                }
            }
            ASSERT_EQ(szStrip.size(), uRow * c.iHeight);
            for (int y = 0; y < c.iHeight; y++)
                for (int x = 0; x < c.iWidth; x++)
                {
                    const uint8_t *pu8 = (const uint8_t *)szStrip.data() + y * uRow;
                    auto Is16 = [&](int s, int v) {
                        return tiffread::U16(szStrip, y * uRow + 2 * (iSamples * x + s)) == unsigned(256 * v + Low(x, y, iPage, s));
                    };
                    bool blSame = c.ekind == eGray16  ? Is16(0, Gray(x, y, iPage))
                                  : c.ekind == eRgb48 ? Is16(0, Red(x, iPage)) && Is16(1, Green(y, iPage)) && Is16(2, Blue(x, y, iPage))
                                  : c.ekind == eGray  ? (pu8[x] ^ (blWhite ? 255 : 0)) == Gray(x, y, iPage)
                                  : c.ekind == eBw ? (((pu8[x / 8] >> (7 - x % 8)) & 1) ^ blWhite) == !Black(x, y, iPage)
                                                   : pu8[3 * x] == Red(x, iPage) && pu8[3 * x + 1] == Green(y, iPage) &&
                                                         pu8[3 * x + 2] == Blue(x, y, iPage);
                    ASSERT_TRUE(blSame) << szName << " " << x << "," << y;
                }
        }
    }
}

TEST(E2eXfer, EndsOfTransferMoveTheStateAndTheImageIndex)
{
    SimShell sh(Config("scanner", "pages = 3\n" + Mech("TWSX_MEMORY") + Pixel("TWPT_GRAY")));
    sh.Dir().Write("s.txt", Scan("Simulated Scanner", 3, "ii msg_get img%02d.raw\nxm\npx endxfer\n") +
                                "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\npx msg_endxferspecial\npx\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    // The image index names each page; a name that is no image kind gets one.
    EXPECT_TRUE(sh.HasInOrder({"Open: img00.raw", "Close: img00.raw", "  Count...........2", "Open: img01.raw",
                               "  Count...........1", "Open: img02.raw", "  Count...........0"}))
        << r.out;
    for (const char *szName : {"img00.raw.tif", "img01.raw.tif", "img02.raw.tif"})
        EXPECT_TRUE(sh.Dir().Exists(szName)) << szName;
    EXPECT_FALSE(sh.Dir().Exists("img00.raw"));
    // State 7 after the block, 6 with pages left, 5 at the end.
    EXPECT_TRUE(sh.HasInOrder({"tw7>>> px endxfer", "tw6>>> ii msg_get img%02d.raw", "tw7>>> px endxfer",
                               "tw6>>> ii msg_get img%02d.raw", "tw7>>> px endxfer", "tw5>>> ui disableds"}));
    // The maker's end of transfer is not the standard source's; px needs a word.
    EXPECT_TRUE(sh.HasInOrder({"TWRC_FAILURE/TWCC_BADPROTOCOL", "tw4>>> px"})) << r.out;
    EXPECT_TRUE(sh.HasSequence(
        {"tw4>>> px", "must specify msg_get, msg_reset, msg_endxfer, msg_endxferspecial or msg_stopfeeder..."}));
}

TEST(E2eXfer, ACancelledFailedOrContradictoryImageLeavesNoPartialFile)
{
    // Three blocks a page of 410, 410 and 280 rows of 2552 bytes (411, 411
    // and 278 rows of 2550 from the maker's source); the faults hit the
    // second page (calls 1 on).  A block refused and sent again, lost, sent
    // twice (counted once), overlapping or out of order; rows shorter than
    // their pixels or longer than the block; the image ended early; blocks
    // that place no pixel; an image size in the buffer that contradicts the
    // blocks; a new image report mid-image; blocks of both kinds; a size no
    // TIFF holds; data that becomes no image file.  A whole page b is as a
    // clean run keeps it.
    const std::string szBlock = " DG_IMAGE DAT_IMAGEMEMXFER MSG_GET ", szB = "b00000001: ", szNot = ", the image is not written...";
    const std::string szLost = "fault answer" + szBlock + "rc=TWRC_FAILURE cc=TWCC_PAPERJAM times=1 skip=";
    const std::string szBlank = " of the image's 935000 pixels, the rest is blank...", szNoPixel = szB + "the blocks placed no pixel" + szNot;
    const std::string szJpeg = "cap ICAP_COMPRESSION enum uint16 TWCP_NONE TWCP_JPEG default=TWCP_JPEG\n";
    const std::string szBmp = "cap ICAP_IMAGEFILEFORMAT enum uint16 TWFF_TIFF TWFF_BMP default=TWFF_BMP\n";
    const std::string szKeptRaw = "image file not written, raw data kept in <b00000001.raw>: ";
    const std::string szEnded = szB + "the transfer ended before the image did" + szNot;
    const char *szSize = "xm get usememorylength";
    const std::string szFile = "DG_IMAGE DAT_IMAGEMEMFILEXFER MSG_GET skip=", szInfo = "fault compression DG_IMAGE DAT_IMAGEINFO MSG_GET";
    const std::string szMf = "memory file's ", szCut = "a block before the end wrote 0 bytes, the data may lack it";
    const std::string szBig = " bytes of rows are more than a TIFF holds, its blocks are kept as they came, each after its fields";
    const std::string szNotInfo = " is not the image information's TWCP_";
    const std::string szRes = "cap ICAP_XRESOLUTION enum fix32 100 600 default=600\ncap ICAP_YRESOLUTION enum fix32 100 600 default=600\n";
    struct Row
    {
        std::string szFault;
        const char *szXm;       // the block command; the maker's source with the size in the buffer
        int iCalls;             // of page b
        std::string szLine;
        int iWrites;
        const char *szKept;     // "whole [NAME]": NAME (b00000001.tif) as the clean run
        const char *szPage = nullptr;   // the lines after "ii msg_get b" instead of the calls
    };
    std::vector<Row> arow = {
        {"", "xm", 3, "Close: b00000001", 4, "whole"},
        {"fault refuse" + szBlock + "skip=1 times=1 cc=TWCC_OPERATIONERROR", "xm", 4, "TWRC_FAILURE/TWCC_OPERATIONERROR", 4, "whole"},
        {"fault refuse" + szBlock + "skip=2 times=1", "xm", 4, "Close: b00000001", 4, "whole"},
        {"fault refuse" + szBlock + "skip=3 times=1", "xm", 4, "Close: b00000001", 4, "whole"},
        {"fault refuse" + szBlock + "skip=1 cc=TWCC_OPERATIONERROR", "xm", 2, "TWRC_FAILURE/TWCC_OPERATIONERROR", 1, ""},
        {"", "xm", 0, szB + "a new image report ends the image under way" + szNot, 4, "c00000001.tif", "xm\nii msg_get c\nxm\nxm\n"},
        {szLost + "2", "xm", 3, szB + "the blocks covered 586500" + szBlank, 3, "b00000001.tif"},
        {szLost + "3", "xm", 4, szEnded, 3, ""},
        {"fault rewind" + szBlock + "skip=2 times=1", "xm", 4, "Close: b00000001", 5, "whole"},
        {"fault rewind" + szBlock + "skip=3 times=1 value=100", "xm", 3, "Write: 969000 bytes", 4, "whole"},
        {"fault answer" + szBlock + "skip=3 times=1 rc=TWRC_XFERDONE\nfault rewind" + szBlock + "skip=2 times=1", "xm", 3,
         szB + "the blocks covered 697000" + szBlank, 4, "b00000001.tif"},
        {"fault swap" + szBlock + "skip=1 times=1", "xm", 3, "Close: b00000001", 4, "whole"},
        {"imageinfo.size = 850 2000000", "xm", 3, szKeptRaw + "the image's 5100000000" + szBig, 4, "b00000001.raw"},
        {"imageinfo.size = 2147483647 2147483647\nfault answer" + szBlock + "skip=1 times=1 rc=TWRC_XFERDONE", "xm", 1,
         szKeptRaw + "the image's 13835058042397261827" + szBig, 2, "b00000001.raw"},
        {"fault compression" + szBlock + "skip=2 times=1", "xm", 3,
         szKeptRaw + "compressed and uncompressed blocks in one image, a block's Compression TWCP_JPEG" + szNotInfo + "NONE", 4,
         "b00000001.raw"},
        {"fault compression" + szBlock + "value=7", "xm", 3, szKeptRaw + "a block's Compression TWCP_LZW" + szNotInfo + "NONE", 4,
         "b00000001.raw"},
        {szInfo + " value=5", "xm", 3, szKeptRaw + "a block's Compression TWCP_NONE" + szNotInfo + "GROUP4", 4, "b00000001.raw"},
        {szInfo, "xm", 3, szKeptRaw + "a block's Compression TWCP_NONE" + szNotInfo + "JPEG", 4, "b00000001.raw"},
        {"fault wrongsize" + szBlock + "skip=1 times=1", "xm", 2, szB + "BytesPerRow 2548 is below the 2550 bytes of 850 pixels" + szNot,
         1, ""},
        {"fault wrongsize" + szBlock + "skip=1 times=1 value=-100", "xm", 2,
         szB + "BytesWritten 1046320 is short of 410 rows of 2652 bytes" + szNot, 1, ""},
        {"fault answer" + szBlock + "skip=1 times=1 rc=TWRC_XFERDONE", "xm", 2, szB + "the blocks covered 348500" + szBlank, 2,
         "b00000001.tif"},
        {"fault noplace" + szBlock + "skip=1 value=1", "xm", 3, szNoPixel, 1, ""},
        {"fault noplace" + szBlock + "skip=1 value=2", "xm", 3, szNoPixel, 1, ""},
        {"fault noplace" + szBlock + "skip=1 value=4", "xm", 3, szNoPixel, 1, ""},
        {"memory.length = unknown\nfault noplace" + szBlock + "skip=1 value=2", "xm", 3, szNoPixel, 1, ""},
        {"fault imagesize" + szBlock, szSize, 3, szB + "ImageSize 0 gives no size" + szNot, 3, ""},
        {"fault imagesize" + szBlock + "value=1000", szSize, 3, szB + "ImageSize 1000 is below the 2096100 bytes already received" + szNot,
         3, ""},
        {"fault imagesize" + szBlock + "value=4000000", szSize, 3,
         szB + "ImageSize 4000000 is past the 2096100 bytes already received and the 1048572 bytes of the buffer" + szNot, 3, ""},
        {szJpeg + "fault imagesize" + szBlock + "skip=1 value=2", szSize, 1, szKeptRaw + "the data of <b00000001.raw> is not JPEG data",
         2, "a00000000.jpg b00000001.raw"},
        {szJpeg + szRes + "fault answer" + szBlock + "skip=1 times=1 rc=TWRC_XFERDONE", "xm", 1,
         szKeptRaw + "the JPEG data has no end marker in the 1048576 bytes that came", 2, "b00000001.raw"},
        {szJpeg + szRes + "fault noplace" + szBlock + "skip=2 times=1 value=4", "xm", 3, szKeptRaw + szCut, 3, "b00000001.raw"},
        {Mech("TWSX_MEMFILE") + szBmp + "fault noplace DG_IMAGE DAT_IMAGEMEMFILEXFER MSG_GET skip=1 times=1 value=4",
         "dat_imagememfilexfer", 3, szKeptRaw + "the memory file holds no TIFF, JPEG or BMP data", 3, "b00000001.raw"},
        {Mech("TWSX_MEMFILE") + szBmp + "fault wrongsize DG_IMAGE DAT_IMAGEMEMFILEXFER MSG_GET skip=1 times=1",
         "dat_imagememfilexfer", 3, "b00000001.tif: BytesWritten 1048580 is past the 1048576 bytes of the buffer" + szNot, 1, ""},
        {Mech("TWSX_MEMFILE") + "fault answer DG_IMAGE DAT_IMAGEMEMFILEXFER MSG_GET rc=TWRC_FAILURE cc=TWCC_PAPERJAM times=1 skip=2",
         "dat_imagememfilexfer", 3, szKeptRaw + "a block was refused, the data may lack it", 3, "b00000001.raw"},
    };
    // Memory files cut short: ended after the first block, a middle block
    // of 0 bytes, the last block 1000 bytes short.
    const struct
    {
        std::string szFormat, szEnded, szMiddle, szShort;
    } amemfile[] = {
        {"TWFF_TIFF\n", "TIFF claims 2805182 bytes, 1048576 came", "TIFF claims 2805182 bytes, 1756606 came",
         "TIFF claims 2805182 bytes, 2804182 came"},
        {"TWFF_BMP\n", "BMP claims 2807254 bytes, 1048576 came", "BMP claims 2807254 bytes, 1758678 came",
         "BMP claims 2807254 bytes, 2806254 came"},
        {"TWFF_JFIF\n" + szRes, "JPEG has no end marker in the 1048576 bytes that came", "",
         "JPEG has no end marker in the 3094346 bytes that came"},
    };
    for (const auto &memfile : amemfile)
    {
        std::string szSetUp = Mech("TWSX_MEMFILE") + "cap ICAP_IMAGEFILEFORMAT enum uint16 TWFF_TIFF TWFF_BMP TWFF_JFIF default=" +
                              memfile.szFormat + "fault ";
        const char *szMfx = "dat_imagememfilexfer", *szRaw = "b00000001.raw";
        std::string szMiddle = memfile.szMiddle.empty() ? szCut : "the " + szMf + memfile.szMiddle;
        arow.push_back({szSetUp + "answer " + szFile + "1 times=1 rc=TWRC_XFERDONE", szMfx, 1, szKeptRaw + "the " + szMf + memfile.szEnded,
                        2, szRaw});
        arow.push_back({szSetUp + "noplace " + szFile + "2 times=1 value=4", szMfx, 3, szKeptRaw + szMiddle, 3, szRaw});
        arow.push_back({szSetUp + "wrongsize " + szFile + "3 times=1 value=-1000", szMfx, 3, szKeptRaw + "the " + szMf + memfile.szShort,
                        4, szRaw});
    }
    std::string szWhole;
    for (const auto &row : arow)
    {
        SCOPED_TRACE(row.szFault);
        std::string szXm = std::string(row.szXm) + "\n", szPage = std::string("ii msg_get b\n") + (row.szPage ? row.szPage : "");
        for (int ii = 0; ii < row.iCalls; ii++)
            szPage += szXm;
        SimShell sh("[all]\npages = 2\n" + Mech("TWSX_MEMORY") + Pixel("TWPT_RGB") + row.szFault + "\n");
        sh.Dir().Write("s.txt", Scan(strstr(row.szXm, "usememorylength") ? "Simulated Scanner ZAV" : "Simulated Scanner", 1,
                                     "ii msg_get a\n" + szXm + "px endxfer\n" + szPage));
        for (const char *szName : {"a00000000.bmp", "a00000000.jpg"})   // older images of the name go
            sh.Dir().Write(szName, "old");
        e2e::Result r = sh.Run("run s\nexit\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(sh.CountAffixed("Write: ", " bytes"), row.iWrites) << r.out;
        EXPECT_TRUE(sh.Has(row.szLine)) << r.out;
        EXPECT_EQ(sh.Has(szEnded), row.szLine == szEnded);    // only an image that had begun
        bool blWhole = !strncmp(row.szKept, "whole", 5);
        std::string szWholeName = !blWhole ? "" : row.szKept[5] ? row.szKept + 6 : "b00000001.tif";
        std::string szKept = " " + (blWhole ? szWholeName : std::string(row.szKept)) + " ";
        for (const char *szName : {"a00000000", "a00000000.tif", "a00000000.bmp", "a00000000.jpg", "a00000000.raw", "b00000001",
                                   "b00000001.tif", "b00000001.raw", "b00000001.bmp", "c00000001.tif"})
        {
            EXPECT_EQ(sh.Dir().Exists(szName), szKept.find(std::string(" ") + szName + " ") != std::string::npos) << szName;
            struct stat st;     // no file larger than 4 GiB and what came
            EXPECT_TRUE(stat(sh.Dir().File(szName).c_str(), &st) != 0 || st.st_size <= (1LL << 32) + (4 << 20)) << szName;
        }
        if (szWhole.empty())
            szWhole = sh.Dir().Read("b00000001.tif");
        EXPECT_TRUE(!blWhole || sh.Dir().Read(szWholeName) == szWhole);
    }
}

TEST(E2eXfer, SetUpStatusLayoutAndTransferGroup)
{
    SimShell sh;
    sh.Dir().Write("s.txt", "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n"
                            "sx set TWFF_TIFF scan%03d.tif 5\nsx\nsx set TWFF_TIFF bad%s\nsx set TWFF_NOPE x\nsx set\n"
                            "sm\nst\nla set 0.25 0.5 8.5 10.75 1 1 1\nla msg_set -0.5 -1.25 8 11 2 3 1\nla get\nla\nla set 1 2\n"
                            "xg\nxg getcurrent\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasSequence({"  Filename........<scan005.tif>", "  Format..........TWFF_TIFF", "  VRefNum.........0"}))
        << r.out;
    EXPECT_EQ(sh.CountOf("  Filename........<scan005.tif>"), 2);
    // Usage lines stand alone, right after the command.
    EXPECT_TRUE(sh.HasSequence({"tw4>>> sx set TWFF_TIFF bad%s",
                                "bad file name <bad%s>: one integer conversion such as %03d is all it may hold...",
                                "tw4>>> sx set TWFF_NOPE x", "unrecognized image file format...", "tw4>>> sx set",
                                "must specify an image file format and a filename..."}))
        << r.out;
    EXPECT_EQ(sh.CountAffixed("  MinBufSize.......", ")"), 1);
    EXPECT_TRUE(sh.HasSequence({"  ConditionCode.......0 (TWCC_SUCCESS)", "  Data/Reserved.......0"}));
    EXPECT_TRUE(sh.HasSequence({"  Frame.Left.........0.25", "  Frame.Top..........0.5", "  Frame.Right........8.5",
                                "  Frame.Bottom.......10.75", "  DocumentNumber.....1", "  PageNumber.........1"}))
        << r.out;
    // Negative values keep their sign: -0.5 is Whole -1 and Frac 0x8000.
    EXPECT_EQ(sh.Journal({"DAT_IMAGELAYOUT/MSG_SET", "data=ffff0080feff00c0"}).size(), 1u);
    EXPECT_TRUE(sh.HasSequence({"tw4>>> la set 1 2", "Must have left, top, right, bottom, docnum, pagenum, framenum..."}))
        << r.out;
    EXPECT_TRUE(sh.HasSequence({"", "*** unrecognized command get ***"}));
    EXPECT_TRUE(sh.HasInOrder({"  XferGroup.......2 (IMAGE)", "TWRC_FAILURE/TWCC_BADPROTOCOL"})) << r.out;
}

TEST(E2eXfer, EightByteFieldsPrintWhole)
{
    // A width of 2^40 and an offset past 2^32 print whole; values of 32 bits as ever.
    SimShell sh("[scanner]\npages = 1\nimageinfo.size = 1099511627776 -1\n" + Mech("TWSX_MEMORY") +
                "fault offset DG_IMAGE DAT_IMAGEMEMXFER MSG_GET value=4294967296\n");
    sh.Dir().Write("s.txt", Scan("Simulated Scanner", 1, "ii\nxm\n"));
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  ImageWidth.........1099511627776", "  ImageLength........-1"})) << r.out;
    EXPECT_TRUE(sh.HasSequence({"  XOffset............4294967296", "  YOffset............0"})) << r.out;
}

TEST(E2eXfer, UserInterfaceWordsTheDiscardCounterAndTheIccProfile)
{
    SimShell sh;
    sh.SetEnv("ZAV_DISCARDXFERREADY", "1");
    sh.KeepDsmLog();
    sh.Dir().Write("s.txt", "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\nui\nui bogus\nui msg_setupds\n"
                            "ui enableds showui=0 modalui\nwait 1500 msg_xferready\npx reset\nui disableds\n"
                            "ui enableds showui\nwait 20000 msg_xferready\ndat_iccprofile get\npx reset\nui disableds\n"
                            "dsclose\ndsmclose\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasSequence({"tw4>>> ui", "must specify enableds or disableds", "tw4>>> ui bogus", "",
                                "*** unrecognized command bogus ***", "tw4>>> ui msg_setupds",
                                "TWRC_FAILURE/TWCC_BADPROTOCOL"}))
        << r.out;
    // ShowUI 0 and ModalUI 1 discard the first transfer-ready event (the
    // wait gives a loaded machine time to deliver it before the reset); the
    // next enable shows the interface and counts nothing.
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_ENABLEDS", "data=00000100"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"DAT_USERINTERFACE/MSG_ENABLEDS", "data=01000000"}).size(), 1u);
    EXPECT_EQ(sh.CountOf("  *** Discarding MSG_XFERREADY... (1)"), 1) << r.out;
    EXPECT_EQ(sh.CountOf("  *** Got MSG_XFERREADY..."), 1) << r.out;
    // In state 6 the ICC profile of the waiting image is shown, its memory
    // owned by the program and given back to the DSM.
    EXPECT_TRUE(sh.HasSequence({"tw6>>> dat_iccprofile get", "  Flags......0x11", "  Length.....132"})) << r.out;
    EXPECT_EQ(sh.CountAffixed("  TheMem.....0x", ""), 1);
    sh.ExpectDsmMemoryReturned();
}

TEST(E2eXfer, CameraWindowsAreListedAddedAndDeleted)
{
    // The camera claims the custom group, so it answers DAT_WINDOW.
    SimShell sh("[camera]\ngroups = 0x40001003\n");
    sh.Dir().Write("s.txt", "twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nwi\nwi add\nwi delete TWWC_BASE_COLOR_FRONT\n"
                            "wi delete\nwi delete TWWC_NOPE\nwi bogus\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    const std::string szHeader = "  Window  Enabled  Format            Left   Top    Right  Bottom Angle";
    const std::string szRed = "\033[31m\033[1m";
    EXPECT_TRUE(sh.HasSequence({szHeader, "  f b  0  " + szRed + "t\033[0m (f,t)  bw    (bw,g8,rgb24)  0      0      8.5    11     0",
                                "  r b  0  f (f,t)  bw    (bw,g8,rgb24)  0      0      8.5    11     0",
                                " " + szRed + "*\033[0mf c  0  " + szRed + "t\033[0m (f,t)  rgb24 (bw,g8,rgb24)  0      0      8.5    11     0"}))
        << r.out;
    EXPECT_TRUE(sh.Has("Added TWWC_1_BITONAL_REAR..."));
    EXPECT_TRUE(sh.HasInOrder({"Current address is now TWWC_BASE_BITONAL_FRONT...", szHeader}));
    EXPECT_TRUE(sh.HasSequence({"tw4>>> wi delete", "must specify a TWWC_ value...", "tw4>>> wi delete TWWC_NOPE",
                                "unrecognized TWWC_ value...", "tw4>>> wi bogus", "", "*** unrecognized command bogus ***"}));
    // The display leaves the window that was current (index 2) current.
    std::vector<std::string> aszSets = sh.Journal({"DAT_CAPABILITY/MSG_SET", "data=b480"});
    ASSERT_GE(aszSets.size(), 7u);
    EXPECT_NE(aszSets[6].find("container=04000600000000000000020000000000"), std::string::npos) << aszSets[6];
}

TEST(E2eXfer, TheMakersProfilesAndClock)
{
    SimShell sh;
    sh.Dir().Write("s.txt", "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n"
                            "repeat 2\npr msg_profilecreate p@@@count@@@x@@@count@@@\nend\npr msg_profilerename\npr\nutc\n"
                            "ui msg_setupds\n"
                            "dsclose\ndsopen \"Simulated Scanner\"\npr\nutc\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.CountOf("TWRC_SUCCESS/TWCC_SUCCESS"), 2);
    EXPECT_TRUE(sh.Has("TWRC_FAILURE/TWCC_BADVALUE"));
    EXPECT_TRUE(sh.HasInOrder({"  00  ProfilesValue......num-0", "      szEnglish..........\033[1mFactory\033[0m",
                               "      Readonly...........<true>", "", "  02  ProfilesValue......num-2",
                               "      szName.............\033[1mp2x2\033[0m", "  03  ProfilesValue......num-3",
                               "      szName.............\033[1mp1x1\033[0m",
                               "      ProfileState.......1 (TWPRF_PROFILESTATE_CURRENT)"}))
        << r.out;
    EXPECT_EQ(sh.CountAffixed("  utc.......", ""), 1);
    // The maker's set-up dialog leaves the state alone.
    EXPECT_TRUE(sh.HasSequence({"tw4>>> ui msg_setupds", "tw4>>> dsclose"})) << r.out;
    EXPECT_EQ(sh.CountOf("TWRC_FAILURE/TWCC_BADPROTOCOL"), 2);
}

TEST(E2eXfer, ListsThatClaimMoreThanTheirBlocksAreReadNoFurther)
{
    SimShell sh("[zav]\nfault unterminated DG_CONTROL 0x8007 MSG_GET\n"
                "[camera]\nfault wrongsize DG_CONTROL DAT_CAPABILITY MSG_GET cap=CAP_CAMERAENABLE value=100000\n");
    sh.Dir().Write("s.txt", "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\npr\ndsclose\n"
                            "dsopen \"Simulated Camera\"\nwi\n");
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({"  01  ProfilesValue......num-1", "the profile list has no end within its block of 2 records..."}))
        << r.out;
    EXPECT_FALSE(sh.Has("  02  ProfilesValue......num-2"));
    EXPECT_EQ(sh.CountAffixed("", "  0      0      8.5    11     0"), 6) << r.out;
}
