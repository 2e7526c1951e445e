// test_platform_sim_rules.cpp
//
// Rules of the TWAIN standard the simulated sources must keep even where an
// application would find another answer handier: capabilities negotiated
// after enabling through CAP_EXTENDEDCAPS, labels and help from 2.1 on,
// the pending-transfer count of a batch too large to count, images too large
// for their format, files a real reader accepts, and hostile configuration
// files.

#include "test_platform_sim.h"

#include <sys/stat.h>

using namespace simtest;

namespace
{
using SimRulesTest = SimTest;

std::string Repeat(const std::string& a_sz, int a_iTimes)
{
    std::string szOut;
    for (int ii = 0; ii < a_iTimes; ii++)
    {
        szOut += a_sz;
    }
    return szOut;
}

// What file(1) says of a file, or "" when the tool is missing.
std::string FileSays(const std::string& a_szPath)
{
    struct stat st;
    if (stat("/usr/bin/file", &st) != 0)
    {
        return std::string();
    }
    std::string szCommand = "/usr/bin/file -b '" + a_szPath + "'";
    std::FILE* pfile = popen(szCommand.c_str(), "r");
    if (pfile == nullptr)
    {
        return std::string();
    }
    std::string sz;
    char ach[512];
    while (std::fgets(ach, sizeof(ach), pfile) != nullptr)
    {
        sz += ach;
    }
    pclose(pfile);
    return sz;
}
} // namespace

TEST_F(SimRulesTest, ExtendedCapabilitiesAreNegotiatedInStates5And6)
{
    // (without CAP_EXTENDEDCAPS nothing is set after enabling:
    // test_platform_sim_state.cpp)
    Config("cap CAP_EXTENDEDCAPS array uint16 0x0001\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.EnableAndWait());
    EXPECT_EQ(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 1)), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(CAP_XFERCOUNT), 1);
    EXPECT_EQ(app.Cap(MSG_RESET, CAP_XFERCOUNT), TWRC_SUCCESS);
    // Capabilities not listed, and the list itself, stay with state 4.
    EXPECT_EQ(app.FailCc(app.SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY)), TWCC_SEQERROR);
    EXPECT_EQ(app.SetCap(MSG_SET, CAP_EXTENDEDCAPS, TWON_ARRAY, List(TWON_ARRAY, TWTY_UINT16, {Item<TW_UINT16>(ICAP_PIXELTYPE)})),
              TWRC_FAILURE);
    EXPECT_EQ(app.Cc(), TWCC_SEQERROR);
    // State 7: no negotiation at all.
    TW_HANDLE hDib = nullptr;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib), TWRC_XFERDONE);
    app.Free(hDib);
    EXPECT_EQ(app.FailCc(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 1))), TWCC_SEQERROR);
}

TEST_F(SimRulesTest, LabelAndHelpMessagesFromProtocol21)
{
    {
        App app(kScanner1x);
        ASSERT_TRUE(app.Opened());
        const TW_UINT16 au16Msg[] = {MSG_GETHELP, MSG_GETLABEL, MSG_GETLABELENUM};
        for (TW_UINT16 u16Msg : au16Msg)
        {
            EXPECT_EQ(app.Cap(u16Msg, ICAP_PIXELTYPE), TWRC_FAILURE);
            EXPECT_EQ(app.Cc(), TWCC_BADPROTOCOL) << u16Msg;
        }
    }
    // From 2.1 on: a help text, a label, and a label for each value.
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GETLABEL, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ONEVALUE);
    EXPECT_EQ(con.m_u16ItemType, TWTY_STR255);
    EXPECT_EQ(con.Str(0), "Pixeltype");
    ASSERT_EQ(app.Cap(MSG_GETHELP, ICAP_PHYSICALWIDTH, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Str(0), "Physicalwidth: reports ICAP_PHYSICALWIDTH.");
    ASSERT_EQ(app.Cap(MSG_GETLABELENUM, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
    Container conGet;
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_PIXELTYPE, &conGet), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u64NumItems, conGet.m_u64NumItems);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GETLABELENUM, CAP_XFERCOUNT)), TWCC_CAPBADOPERATION) << "not an enumeration";
}

TEST_F(SimRulesTest, ABatchTooLargeToCountIsReportedAsUnknown)
{
    Config("pages = 40000\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.SmallPages(TWPT_BW, TWSX_NATIVE));
    ASSERT_TRUE(app.EnableAndWait());
    TW_PENDINGXFERS twpending;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 0xFFFF);
    TW_UINT16 u16Count = 0;
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    EXPECT_EQ(u16Count, 0xFFFF);
    // Still images to come: the source is in state 6.
    TW_IMAGEINFO twinfo;
    EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    // Cut to a countable batch, the count is exact again.
    app.EndXfer();
    app.Disable();
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_XFERCOUNT, TWON_ONEVALUE, OneValueOf<TW_INT16>(TWTY_INT16, 32767)), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 32767);
}

TEST_F(SimRulesTest, ImagesTooLargeForTheirFormatFailAndStripsStillFlow)
{
    // 3000 x 3000 inches at 100 dpi: 300,000 pixels square, 90 GB of gray.
    Config("page = 3000 3000\npages = 20\n");
    App& app = Open(kScanner);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
    ASSERT_EQ(app.SetUInt16(ICAP_XFERMECH, TWSX_NATIVE), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGEINFO twinfo;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    EXPECT_EQ(twinfo.ImageWidth, 300000);
    TW_HANDLE hDib = nullptr;
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib)), TWCC_LOWMEMORY);
    EXPECT_EQ(hDib, nullptr);
    // The failed transfer leaves the image pending (state 6).
    EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo), TWRC_SUCCESS);
    app.EndXfer();
    app.Disable();
    // A TIFF or BMP file cannot describe it either.
    const TW_UINT16 au16Format[] = {TWFF_TIFF, TWFF_BMP};
    for (TW_UINT16 u16Format : au16Format)
    {
        ASSERT_EQ(app.SetUInt16(ICAP_XFERMECH, TWSX_FILE), TWRC_SUCCESS);
        TW_SETUPFILEXFER twsetup = {};
        std::snprintf(twsetup.FileName, sizeof(twsetup.FileName), "%s/huge", m_szDir.c_str());
        twsetup.Format = u16Format;
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetup), TWRC_SUCCESS);
        ASSERT_TRUE(app.EnableAndWait());
        EXPECT_EQ(app.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE) << u16Format;
        EXPECT_NE(app.Cc(), TWCC_SUCCESS);
        struct stat st;
        EXPECT_NE(stat(twsetup.FileName, &st), 0) << "no file for a failed transfer";
        app.EndXfer();
        app.Disable();
    }
    // Memory strips need only a row at a time.
    ASSERT_EQ(app.SetUInt16(ICAP_XFERMECH, TWSX_MEMORY), TWRC_SUCCESS);
    ASSERT_TRUE(app.EnableAndWait());
    TW_IMAGELAYOUT twlayout;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &twlayout), TWRC_SUCCESS);
    std::vector<unsigned char> au8(300000 * 2);
    TW_IMAGEMEMXFER twmem = {};
    twmem.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    twmem.Memory.Length = au8.size();
    twmem.Memory.TheMem = au8.data();
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &twmem), TWRC_SUCCESS);
    EXPECT_EQ(+twmem.Rows, 2u);
    EXPECT_EQ(+twmem.BytesPerRow, 300000u);
    EXPECT_EQ(+twmem.BytesWritten, 600000u);
    EXPECT_EQ(au8[300000 + 5], (5 + 2 + 37 * twlayout.PageNumber) & 0xFF);   // x 5, y 1
}

TEST_F(SimRulesTest, WrittenFilesAreWhatARealReaderExpects)
{
    if (FileSays("/dev/null").empty())
    {
        GTEST_SKIP() << "file(1) is not installed";
    }
    Config("pages = 20\n");
    App& app = Open(kScanner);
    struct Case
    {
        TW_UINT16   m_u16Pixel;
        TW_UINT16   m_u16Format;
        const char* m_szExpect[3];
    };
    const Case acase[] = {
        {TWPT_BW, TWFF_TIFF, {"TIFF image data, little-endian", "height=550", "width=425"}},
        {TWPT_GRAY, TWFF_TIFF, {"TIFF image data, little-endian", "bps=8", "width=425"}},
        {TWPT_RGB, TWFF_TIFF, {"TIFF image data, little-endian", "RGB", "width=425"}},
        {TWPT_BW, TWFF_BMP, {"PC bitmap", "425 x 550 x 1", ""}},
        {TWPT_GRAY, TWFF_BMP, {"PC bitmap", "425 x 550 x 8", ""}},
        {TWPT_RGB, TWFF_BMP, {"PC bitmap", "425 x 550 x 24", ""}},
        {TWPT_GRAY, TWFF_JFIF, {"JPEG image data, JFIF standard", "425x550", "components 1"}},
        {TWPT_RGB, TWFF_JFIF, {"JPEG image data, JFIF standard", "425x550", "components 3"}},
        {TWPT_BW, TWFF_JFIF, {"JPEG image data, JFIF standard", "425x550", ""}},
    };
    int iFile = 0;
    for (const Case& c : acase)
    {
        ASSERT_TRUE(app.SmallPages(c.m_u16Pixel, TWSX_FILE));
        TW_SETUPFILEXFER twsetup = {};
        std::snprintf(twsetup.FileName, sizeof(twsetup.FileName), "%s/page%d", m_szDir.c_str(), iFile++);
        twsetup.Format = c.m_u16Format;
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetup), TWRC_SUCCESS);
        ASSERT_TRUE(app.EnableAndWait());
        ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
        std::string szSays = FileSays(twsetup.FileName);
        for (const char* sz : c.m_szExpect)
        {
            EXPECT_NE(szSays.find(sz), std::string::npos) << c.m_u16Pixel << "/" << c.m_u16Format << ": " << szSays;
        }
        app.EndXfer();
        app.Disable();
    }
}

TEST_F(SimRulesTest, HostileConfigurationFilesAreReportedAndNeverCrash)
{
    std::string szLong(200000, 'x');
    std::string szBinary;
    for (int ii = 0; ii < 256; ii++)
    {
        szBinary += static_cast<char>(ii == '\n' ? 1 : ii);
    }
    const std::string aszConfig[] = {
        "pages = 99999999999999999999999\npage = -5 3\npage = 1e308 1e308\npage = nan nan\nxferready.delay = -1\n",
        "cap ICAP_XRESOLUTION range fix32 1 99999999 1\ncap ICAP_XRESOLUTION enum fix32\ncap CAP_XFERCOUNT onevalue int16 70000\n",
        "cap 0x9001 array uint8" + Repeat(" 1", 70000) + "\ncap 0x9004 array uint8 256 -1\n",
        "cap\ncap ICAP_PIXELTYPE\ncap ICAP_PIXELTYPE enum\nfault\nfault refuse\non\non open\non open send\n=\n= 3\n[\n[unclosed\n",
        "productname = " + szLong + "\n" + szLong + "\n",
        szBinary + "\n" + szBinary,
        "cap 0x9002 enum str32 \"" + std::string(40, 'y') + "\"\ncap 0x9003 onevalue frame 5,5,1,1\nfault contype * * * value=99999999999\n",
    };
    for (const std::string& szConfig : aszConfig)
    {
        Config(szConfig);
        {
            App app(kScanner);
            ASSERT_TRUE(app.Opened()) << szConfig.substr(0, 80);
            EXPECT_FALSE(JournalWith({"config", "error="}).empty()) << szConfig.substr(0, 80);
            // The source still works on what it could read.
            ASSERT_TRUE(app.SmallPages(TWPT_GRAY, TWSX_NATIVE));
            if (app.EnableAndWait())
            {
                TW_HANDLE hDib = nullptr;
                if (app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib) == TWRC_XFERDONE)
                {
                    app.Free(hDib);
                }
            }
        }
        Callbacks::Get().m_aevent.clear();
        std::remove(m_szJournal.c_str());
    }
}

TEST_F(SimRulesTest, EveryListedCapabilityAnswersAsItsQuerySupportSays)
{
    for (const char* szSource : {kScanner, kScanner1x, kScannerZav, kCamera})
    {
        App app(szSource);
        ASSERT_TRUE(app.Opened()) << szSource;
        Container conList;
        ASSERT_EQ(app.Cap(MSG_GET, CAP_SUPPORTEDCAPS, &conList), TWRC_SUCCESS);
        ASSERT_GT(conList.m_u64NumItems, 10u);
        for (std::size_t ii = 0; ii < conList.m_u64NumItems; ii++)
        {
            TW_UINT16 u16Cap = static_cast<TW_UINT16>(conList.Int(ii));
            std::string szWhere = std::string(szSource) + " cap 0x" + [&] {
                char sz[8];
                std::snprintf(sz, sizeof(sz), "%x", u16Cap);
                return std::string(sz);
            }();
            Container con;
            ASSERT_EQ(app.Cap(MSG_QUERYSUPPORT, u16Cap, &con), TWRC_SUCCESS) << szWhere;
            ASSERT_EQ(con.m_u16ConType, TWON_ONEVALUE) << szWhere;
            ASSERT_EQ(con.m_u16ItemType, TWTY_INT32) << szWhere;
            std::int64_t i64Flags = con.Int(0);
            Container conGet;
            TW_UINT16 u16Rc = app.Cap(MSG_GET, u16Cap, &conGet);
            if (u16Rc == TWRC_FAILURE && app.Cc() == TWCC_CAPSEQERROR)
            {
                continue;   // depends on another capability's value
            }
            ASSERT_EQ(u16Rc, (i64Flags & TWQC_GET) ? TWRC_SUCCESS : TWRC_FAILURE) << szWhere;
            if (conGet.m_u16ConType == TWON_ENUMERATION)
            {
                EXPECT_LT(conGet.m_u64CurrentIndex, conGet.m_u64NumItems) << szWhere;
                EXPECT_LT(conGet.m_u64DefaultIndex, conGet.m_u64NumItems) << szWhere;
            }
            for (TW_UINT16 u16Msg : {MSG_GETCURRENT, MSG_GETDEFAULT})
            {
                TW_UINT32 u32Flag = (u16Msg == MSG_GETCURRENT) ? TWQC_GETCURRENT : TWQC_GETDEFAULT;
                Container conOne;
                u16Rc = app.Cap(u16Msg, u16Cap, &conOne);
                ASSERT_EQ(u16Rc, (i64Flags & u32Flag) ? TWRC_SUCCESS : TWRC_FAILURE) << szWhere << " msg " << u16Msg;
                if (u16Rc == TWRC_SUCCESS)
                {
                    // One value, unless the capability is an array.
                    EXPECT_EQ(conOne.m_u16ConType, conGet.m_u16ConType == TWON_ARRAY ? TWON_ARRAY : TWON_ONEVALUE)
                        << szWhere << " msg " << u16Msg;
                    EXPECT_EQ(conOne.m_u16ItemType, conGet.m_u16ItemType) << szWhere;
                }
            }
            u16Rc = app.Cap(MSG_RESET, u16Cap);
            if (i64Flags & TWQC_RESET)
            {
                EXPECT_TRUE(u16Rc == TWRC_SUCCESS || app.Cc() == TWCC_CAPSEQERROR) << szWhere;
            }
            else
            {
                EXPECT_EQ(u16Rc, TWRC_FAILURE) << szWhere;
                EXPECT_EQ(app.Cc(), TWCC_CAPBADOPERATION) << szWhere;
            }
        }
    }
}
