// test_twain_extimageinfo.cpp
// The extended image information formatter on crafted entries of every item
// type (values in Item and in handles, value names, ten-thousandths, dates,
// strings of every width, barcode texts with their lengths, large texts,
// errors) in its text, XML and log forms. (dat_extimageinfo against the
// simulated sources: test_e2e_device.cpp, and its malformed answers:
// test_twain_impl_dsm.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_twain_impl_support.h"
#include "twainextimageinfo.h"

namespace
{

// A request built by hand; handles are C memory (the connection frees a
// handle it does not know with the C library).
class Request
{
public:
    void Add(TW_UINT16 a_twei, TW_UINT16 a_twty, TW_UINT16 a_u16NumItems, const std::string &a_szBytes,
             bool a_blHandle, TW_UINT16 a_twrc = TWRC_SUCCESS)
    {
        TW_INFO twinfo = {};
        twinfo.InfoID = a_twei;
        twinfo.ItemType = a_twty;
        twinfo.NumItems = a_u16NumItems;
        twinfo.ReturnCode = a_twrc;
        if (a_blHandle && !a_szBytes.empty())
        {
            void *pv = malloc(a_szBytes.size());
            memcpy(pv, a_szBytes.data(), a_szBytes.size());
            twinfo.Item = reinterpret_cast<TW_UINTPTR>(pv);
        }
        else
        {
            memcpy(&twinfo.Item, a_szBytes.data(), std::min(a_szBytes.size(), sizeof(twinfo.Item)));
        }
        m_atwinfo.push_back(twinfo);
    }
    TW_EXTIMAGEINFO *Get()
    {
        m_au8.assign(8 + 16 * m_atwinfo.size(), 0);
        TW_UINT32 u32 = m_atwinfo.size();
        memcpy(m_au8.data(), &u32, 8);
        memcpy(m_au8.data() + 8, m_atwinfo.data(), 16 * m_atwinfo.size());
        return reinterpret_cast<TW_EXTIMAGEINFO *>(m_au8.data());
    }

private:
    std::vector<TW_INFO> m_atwinfo;
    std::vector<uint8_t> m_au8;
};

// Little-endian items of a width.
std::string Items(size_t a_u64Width, std::initializer_list<int64_t> a_ai64)
{
    std::string sz;
    for (int64_t i64 : a_ai64)
        for (size_t ii = 0; ii < a_u64Width; ii++)
            sz += static_cast<char>(static_cast<uint64_t>(i64) >> (8 * ii));
    return sz;
}

std::string Text(const std::string &a_sz, size_t a_u64Width)
{
    std::string sz = a_sz;
    sz.resize(a_u64Width, '\0');
    return sz;
}

using ExtImageInfoTest = TwainImplTest;

} // namespace

TEST_F(ExtImageInfoTest, EveryItemTypeInTextForm)
{
    Request request;
    struct Case
    {
        TW_UINT16 twei, twty, u16NumItems;
        std::string szBytes;
        bool blHandle;
        std::string szLine;
    };
    const std::string szFrame = Items(2, {1, 0, 2, 0x8000, 3, 0, 4, 0x4000});
    const std::string szBarcodes = std::string("DRAVO-0001") + std::string("Z\0\x01\xff", 4);
    const std::string szXml = "<image page=\"1\"/>";
    const Case acase[] = {
        {TWEI_HDR_LEVEL, TWTY_INT8, 2, Items(1, {-1, 5}), false, EiiLine("TWEI_HDR_LEVEL", "TWTY_INT8", "-1;5")},
        {TWEI_HDR_RAWIMAGEHEADER, TWTY_UINT8, 6, Items(1, {1, 2, 3, 4, 5, 250}), true,
         EiiLine("TWEI_HDR_RAWIMAGEHEADER", "TWTY_UINT8", "1;2;3;4;5;250")},
        {TWEI_HDR_YOFFSET, TWTY_INT16, 1, Items(2, {-300}), false, EiiLine("TWEI_HDR_YOFFSET", "TWTY_INT16", "-300")},
        {TWEI_PAGESIDE, TWTY_UINT16, 1, Items(2, {2}), false, EiiLine("TWEI_PAGESIDE", "TWTY_UINT16", "TWCS_BOTTOM")},
        {TWEI_PAGESIDE, TWTY_UINT16, 1, Items(2, {3}), false, EiiLine("TWEI_PAGESIDE", "TWTY_UINT16", "3")},
        {TWEI_HDR_FEATUREPATCH, TWTY_UINT16, 3, Items(2, {0, 1, 2}), true,
         EiiLine("TWEI_HDR_FEATUREPATCH", "TWTY_UINT16", "0;1;2")},
        {TWEI_SKEWORIGINALANGLE, TWTY_INT32, 1, Items(8, {-5000}), false,
         EiiLine("TWEI_SKEWORIGINALANGLE", "TWTY_INT32", "-0.5000")},
        {TWEI_HDR_DESKEWANGLE, TWTY_INT32, 1, Items(8, {10005}), false,
         EiiLine("TWEI_HDR_DESKEWANGLE", "TWTY_INT32", "1.0005")},
        {TWEI_HDR_DATE, TWTY_UINT32, 1, Items(8, {915}), false, EiiLine("TWEI_HDR_DATE", "TWTY_UINT32", "00/09/15")},
        {TWEI_HDR_TIME, TWTY_UINT32, 1, Items(8, {93000}), false, EiiLine("TWEI_HDR_TIME", "TWTY_UINT32", "09:30:00")},
        {TWEI_BARCODEX, TWTY_UINT32, 2, Items(8, {100, 4000000000}), true,
         EiiLine("TWEI_BARCODEX", "TWTY_UINT32", "100;4000000000")},
        {TWEI_HDR_MULTIFEED, TWTY_UINT32, 1, Items(8, {1}), false, EiiLine("TWEI_HDR_MULTIFEED", "TWTY_UINT32", "TRUE")},
        {TWEI_IMAGEMERGED, TWTY_BOOL, 2, Items(2, {0, 7}), false, EiiLine("TWEI_IMAGEMERGED", "TWTY_BOOL", "FALSE;TRUE (7)")},
        {0x1111, TWTY_FIX32, 1, Items(2, {1, 0x8000}), false, EiiLine("0x1111", "TWTY_FIX32", "1.32768")},
        {TWEI_FRAME, TWTY_FRAME, 1, szFrame, true,
         EiiLine("TWEI_FRAME", "TWTY_FRAME",
              "left=1, 0 (1.00000)  right=3, 0 (3.00000)  top=2, 32768 (2.50000)  bottom=4, 16384 (4.25000)")},
        {TWEI_HDR_BOOKNAME_A, TWTY_STR32, 2, Text("Book A", 34) + Text("Second", 34), true,
         EiiLine("TWEI_HDR_BOOKNAME_A", "TWTY_STR32", "Book A;Second")},
        {TWEI_HDR_BOOKNAME_C, TWTY_STR128, 1, Text("Book C", 130), true, EiiLine("TWEI_HDR_BOOKNAME_C", "TWTY_STR128", "Book C")},
        {TWEI_PRINTERTEXT, TWTY_STR255, 1, std::string(256, 'X'), true,
         EiiLine("TWEI_PRINTERTEXT", "TWTY_STR255", std::string(255, 'X'))},
        {TWEI_BARCODETEXT, TWTY_HANDLE, 2, szBarcodes, true,
         EiiLine("TWEI_BARCODETEXT", "TWTY_HANDLE", "DRAVO-0001;5a 00 01 ff ")},
        {TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 2, Items(8, {10, 4}), true,
         EiiLine("TWEI_BARCODETEXTLENGTH", "TWTY_UINT32", "10;4")},
        {TWEI_HDR_XML, TWTY_HANDLE, static_cast<TW_UINT16>(szXml.size()), szXml + "trailing", true,
         EiiLine("TWEI_HDR_XML", "TWTY_HANDLE", szXml)},
        {TWEI_ICCPROFILE, TWTY_HANDLE, 1, "", true, EiiLine("TWEI_ICCPROFILE", "TWTY_HANDLE", "NULL")},
        {TWEI_CAMERA, 13, 1, "", false, EiiLine("TWEI_CAMERA", "TWTY_???", "UNKNOWN TYPE 13")},
    };
    for (const Case &c : acase)
        request.Add(c.twei, c.twty, c.u16NumItems, c.szBytes, c.blHandle);
    request.Add(TWEI_BOOKNAME, 0, 0, "", false, TWRC_INFONOTSUPPORTED);
    request.Add(TWEI_CAMERA, 0, 0, "", false, TWRC_DATANOTAVAILABLE);
    request.Add(TWEI_PAPERCOUNT, 0, 0, "", false, TWRC_FAILURE);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    size_t u64Cases = sizeof(acase) / sizeof(acase[0]);
    for (size_t ii = 0; ii < u64Cases; ii++)
        EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, ii, TWAIN_EII_DETAILS_TEXT), acase[ii].szLine) << ii;
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_BOOKNAME..................." "*** unsupported ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases + 1, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_CAMERA....................." "*** not available ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, u64Cases + 2, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_PAPERCOUNT................." "*** unknown status ***");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(ptwextimageinfo, TWEI_PAGENUMBER, TWAIN_EII_DETAILS_TEXT)),
              "TWEI_PAGENUMBER................." "*** not returned ***");
    // Shown entries gave up their handles: shown again they have none.
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_HDR_RAWIMAGEHEADER", "TWTY_UINT8", "NULL"));
    twainextimageinfo.FreeHandles(ptwextimageinfo, u64Cases);
}

TEST_F(ExtImageInfoTest, XmlAndLogFormsAndTheNames)
{
    Request request;
    request.Add(TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 1, Items(8, {3}), false);
    request.Add(TWEI_BARCODETEXT, TWTY_HANDLE, 1, std::string("\x01\x02\x03", 3), true);
    request.Add(TWEI_BOOKNAME, TWTY_STR255, 1, Text("A&B", 256), true);
    request.Add(TWEI_FRAME, TWTY_FRAME, 1, Items(2, {1, 0, 2, 0x8000, 3, 0, 4, 0}), true);
    request.Add(TWEI_BARCODEY, TWTY_UINT32, 2, Items(8, {5, 6}), true);
    request.Add(TWEI_BARCODECOUNT, TWTY_UINT32, 1, Items(8, {2}), false);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODETEXT type=\"hex\">01 02 03 </TWEI_BARCODETEXT>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 2, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BOOKNAME><![CDATA[A&B]]></TWEI_BOOKNAME>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 3, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_FRAME>\n"
              "\t\t<leftwhole>1</leftwhole>\n\t\t<leftfrac>0</leftfrac>\n\t\t<left>1.00000</left>\n"
              "\t\t<rightwhole>3</rightwhole>\n\t\t<rightfrac>0</rightfrac>\n\t\t<right>3.00000</right>\n"
              "\t\t<topwhole>2</topwhole>\n\t\t<topfrac>32768</topfrac>\n\t\t<top>2.50000</top>\n"
              "\t\t<bottomwhole>4</bottomwhole>\n\t\t<bottomfrac>0</bottomfrac>\n\t\t<bottom>4.00000</bottom>\n"
              "\t</TWEI_FRAME>\n");
    // The log form writes lines and keeps the handles for a later form.
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 4, TWAIN_EII_DETAILS_LOG)), "");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 4, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODEY index=\"0\">5</TWEI_BARCODEY>\n\t<TWEI_BARCODEY index=\"1\">6</TWEI_BARCODEY>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(ptwextimageinfo, TWEI_BARCODECOUNT, TWAIN_EII_DETAILS_XML)),
              "\t<TWEI_BARCODECOUNT>2</TWEI_BARCODECOUNT>\n");
    EXPECT_EQ(std::string(twainextimageinfo.GetInfoByTwei(nullptr, TWEI_BARCODECOUNT, TWAIN_EII_DETAILS_TEXT)),
              "Invalid parameter");
    EXPECT_EQ(CTwainExtImageInfo::StringToTwei("twei_hdr_xml"), TWEI_HDR_XML);
    EXPECT_EQ(CTwainExtImageInfo::StringToTwei("TWEI_NOSUCH"), 0);
    EXPECT_STREQ(CTwainExtImageInfo::StringFromTwei(0x1111), "0x1111");
    twainextimageinfo.FreeHandles(ptwextimageinfo, 6);
    // The requests: everything (67 entries), or the barcodes alone (of 33).
    TW_EXTIMAGEINFO *ptwextimageinfoAll = twainextimageinfo.Initialize(true, false, false);
    ASSERT_NE(ptwextimageinfoAll, nullptr);
    EXPECT_EQ(ptwextimageinfoAll->NumInfos, 67u);
    EXPECT_EQ(ptwextimageinfoAll->Info[0].InfoID, TWEI_BARCODECOUNT);
    g_posmem->Free(ptwextimageinfoAll, __FILE__, __LINE__);
    TW_EXTIMAGEINFO *ptwextimageinfoPage = twainextimageinfo.Initialize(false, true, true);
    ASSERT_NE(ptwextimageinfoPage, nullptr);
    EXPECT_EQ(ptwextimageinfoPage->NumInfos, 12u);
    EXPECT_EQ(ptwextimageinfoPage->Info[0].InfoID, TWEI_HDR_PAGEIMAGENUMBER);
    EXPECT_EQ(CTwainExtImageInfo::Capacity(false, true, true), 33u);
    g_posmem->Free(ptwextimageinfoPage, __FILE__, __LINE__);
}

TEST_F(ExtImageInfoTest, CountsBeyondTheBlockStopAtItsEnd)
{
    // Each handle is shorter than its entry claims: nothing is read past it
    // (blocks of 24 + 16n bytes, which the C library hands out exactly).
    Request request;
    request.Add(TWEI_HDR_BOOKNAME_A, TWTY_STR32, 3, Text("Book A", 34), true);
    request.Add(TWEI_TWAINDIRECTMETADATA, TWTY_HANDLE, 1, "{\"metadata\":\"unended....", true);
    request.Add(TWEI_BARCODETEXT, TWTY_HANDLE, 4, "DRAVO-0001ABCDEFGHIJKLMN", true);
    request.Add(TWEI_BARCODETEXTLENGTH, TWTY_UINT32, 4, Items(8, {10, 20, 1}), true);
    TW_EXTIMAGEINFO *ptwextimageinfo = request.Get();
    CTwainExtImageInfo twainextimageinfo(m_ptwainimpl.get());
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 0, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_HDR_BOOKNAME_A", "TWTY_STR32", "Book A"));
    EXPECT_EQ(twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 1, TWAIN_EII_DETAILS_TEXT),
              EiiLine("TWEI_TWAINDIRECTMETADATA", "TWTY_HANDLE", "{\"metadata\":\"unended...."));
    std::string szBarcodes = twainextimageinfo.GetInfoByIndex(ptwextimageinfo, 2, TWAIN_EII_DETAILS_TEXT);
    std::string szPrefix = EiiLine("TWEI_BARCODETEXT", "TWTY_HANDLE", "DRAVO-0001;ABCDEFGHIJKLMN;;HANDLE ");
    EXPECT_EQ(szBarcodes.substr(0, szPrefix.size()), szPrefix);
    twainextimageinfo.FreeHandles(ptwextimageinfo, 4);
}
