// test_twain_lookup_table.cpp
// The program's symbol table as built: the generated XML is what the source
// table says, it loads into exactly the source's records and values, it
// holds every symbol the program names, and it travels inside the built
// executables as their LOOKUP resource.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "clookup.h"
#include "test_twain_lookup_support.h"

using lookuptest::LoadXml;
using lookuptest::Services;

namespace
{

class LookupBuilt : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Services::Start(); }
    static void TearDownTestSuite() { Services::Stop(); }

    void SetUp() override
    {
        std::string szError;
        ASSERT_TRUE(lookuptest::SourceTable(m_records, szError)) << szError;
        m_szXml = lookuptest::ReadFile(lookuptest::GeneratedXmlPath());
        ASSERT_FALSE(m_szXml.empty()) << "build the target dravo_lookup_xml first: " << lookuptest::GeneratedXmlPath();
    }

    std::vector<lookuptab::Record> m_records;
    std::string m_szXml;
};

// The first value of that symbol in table order (families first).
const lookuptab::Value* FindSymbol(const std::vector<lookuptab::Record>& a_records, const std::string& a_szSymbol,
                                   std::string* a_pszRecord = nullptr)
{
    for (const lookuptab::Record& r : a_records)
    {
        for (const lookuptab::Value& v : r.values)
        {
            if (v.symbol == a_szSymbol)
            {
                if (a_pszRecord)
                {
                    *a_pszRecord = r.name;
                }
                return &v;
            }
        }
    }
    return nullptr;
}

} // namespace

TEST_F(LookupBuilt, GeneratedXmlIsTheSourceTable)
{
    // The build's XML was made from the current source (not a stale one).
    EXPECT_EQ(m_szXml, lookuptab::ToXml(m_records));
    // One line, with its counts.
    EXPECT_EQ(m_szXml.find('\n'), std::string::npos);
    EXPECT_EQ(m_szXml.compare(0, 15, "<lookup bytes=\""), 0);
    EXPECT_NE(m_szXml.find("\" records=\"" + std::to_string(m_records.size()) + "\""), std::string::npos);
    EXPECT_NE(m_szXml.find("<lookup bytes=\"" + std::to_string(m_szXml.size()) + "\""), std::string::npos);
}

// The records as the LOOKUP format lays them out: f, g, h, i (hexadecimal,
// empty for families), j, the label l of a capability, then Z with one n, o,
// p triple per value.
TEST_F(LookupBuilt, GeneratedXmlHasTheLookupLayout)
{
    EXPECT_NE(m_szXml.find("<f>DAT_</f><g></g><h></h><i></i><j>0</j><Z><n>null</n><o>DAT_NULL</o><p>0</p>"
                           "<n>capability</n><o>DAT_CAPABILITY</o><p>1</p>"),
              std::string::npos);
    EXPECT_NE(m_szXml.find("<f>ICAP_PIXELTYPE</f><g>101</g><h>4</h><i>4</i><j>0</j><l>pixeltype</l>"
                           "<Z><n>bw</n><o>TWPT_BW</o><p>0</p><n>gray</n><o>TWPT_GRAY</o><p>1</p>"),
              std::string::npos);
    EXPECT_NE(m_szXml.find("<n>300_dpi</n><o>#300</o><p>12c</p>"), std::string::npos);
    EXPECT_NE(m_szXml.find("<f>CAP_WINDOWCAMERA</f><g>80b4</g><h>4</h><i>4</i><j>1</j><l>windowcamera</l><Z>"), std::string::npos);
    EXPECT_NE(m_szXml.find("<f>ICAP_FRAMESANGLE</f><g>80bb</g><h>8001</h><i>4</i><j>1</j><l>framesangle</l><f>"), std::string::npos);
    EXPECT_NE(m_szXml.find("<f>CAP_XFERCOUNT</f><g>1</g><h>1</h><i>5</i><j>0</j><l>xfercount</l><f>"), std::string::npos);
    EXPECT_NE(m_szXml.find("<n>auto</n><o>TWLG_USERLOCALE</o><p>ffffffff</p>"), std::string::npos);
    // The root and its end, nothing outside them.
    EXPECT_EQ(m_szXml.compare(m_szXml.size() - 9, 9, "</lookup>"), 0);
}

TEST_F(LookupBuilt, SourceTableOrderAndLimits)
{
    const std::vector<std::string>& families = lookuptab::Families();
    ASSERT_GT(m_records.size(), families.size());
    for (size_t ii = 0; ii < families.size(); ii++)
    {
        EXPECT_EQ(m_records[ii].name, families[ii]);
    }
    for (size_t ii = families.size() + 1; ii < m_records.size(); ii++)
    {
        int iRankA = lookuptab::CapabilityRank(m_records[ii - 1].name);
        int iRankB = lookuptab::CapabilityRank(m_records[ii].name);
        EXPECT_TRUE((iRankA < iRankB) || ((iRankA == iRankB) && (m_records[ii - 1].name < m_records[ii].name)))
            << m_records[ii - 1].name << " before " << m_records[ii].name;
    }
    // The country list is the largest family, 239 values.
    EXPECT_EQ(m_records[9].values.size(), 239u);
}

TEST_F(LookupBuilt, RoundTripLoadsExactlyTheSourceRecordsAndValues)
{
    CLookup clookup;
    ASSERT_EQ(LoadXml(clookup, m_szXml), OS_STS_OK);
    ASSERT_EQ(clookup.GetRecordCount(), static_cast<int>(m_records.size()));
    for (size_t ii = 0; ii < m_records.size(); ii++)
    {
        const lookuptab::Record& r = m_records[ii];
        const TwLookup* ptwlookup = clookup.GetRecord(static_cast<int>(ii));
        ASSERT_NE(ptwlookup, nullptr);
        EXPECT_EQ(ptwlookup->szName, r.name);
        EXPECT_EQ(ptwlookup->u32Id, r.id) << r.name;
        EXPECT_EQ(ptwlookup->u32ItemType, r.itemtype) << r.name;
        EXPECT_EQ(ptwlookup->u32ConType, r.contype) << r.name;
        if (r.values.empty())
        {
            EXPECT_EQ(ptwlookup->ptwenum, nullptr) << r.name;
            continue;
        }
        ASSERT_NE(ptwlookup->ptwenum, nullptr) << r.name;
        for (size_t ee = 0; ee < r.values.size(); ee++)
        {
            EXPECT_EQ(ptwlookup->ptwenum[ee].szSymbol, r.values[ee].symbol) << r.name;
            EXPECT_EQ(ptwlookup->ptwenum[ee].szName, r.values[ee].name) << r.values[ee].symbol;
            EXPECT_EQ(ptwlookup->ptwenum[ee].u32Value, r.values[ee].value) << r.values[ee].symbol;
        }
        if (r.values.size() < TWLOOKUP_VALUES)
        {
            EXPECT_EQ(ptwlookup->ptwenum[r.values.size()].szSymbol[0], '\0') << r.name;
        }
    }
}

// Every capability, value and code the program names by symbol, with the
// value it relies on.
TEST_F(LookupBuilt, SymbolsTheProgramNamesAreInTheTable)
{
    struct { const char* record; const char* symbol; uint32_t value; } const aSymbols[] = {
        // return and condition codes the scripts test and the program prints
        { "TWRC_", "TWRC_SUCCESS", 0 }, { "TWRC_", "TWRC_FAILURE", 1 }, { "TWRC_", "TWRC_CHECKSTATUS", 2 },
        { "TWRC_", "TWRC_CANCEL", 3 }, { "TWRC_", "TWRC_DSEVENT", 4 }, { "TWRC_", "TWRC_NOTDSEVENT", 5 },
        { "TWRC_", "TWRC_XFERDONE", 6 }, { "TWRC_", "TWRC_ENDOFLIST", 7 }, { "TWRC_", "TWRC_INFONOTSUPPORTED", 8 },
        { "TWRC_", "TWRC_DATANOTAVAILABLE", 9 }, { "TWRC_", "TWRC_BUSY", 10 },
        { "TWCC_", "TWCC_SUCCESS", 0 }, { "TWCC_", "TWCC_BUMMER", 1 }, { "TWCC_", "TWCC_LOWMEMORY", 2 },
        { "TWCC_", "TWCC_NODS", 3 }, { "TWCC_", "TWCC_MAXCONNECTIONS", 4 }, { "TWCC_", "TWCC_OPERATIONERROR", 5 },
        { "TWCC_", "TWCC_BADCAP", 6 }, { "TWCC_", "TWCC_BADPROTOCOL", 9 }, { "TWCC_", "TWCC_BADVALUE", 10 },
        { "TWCC_", "TWCC_SEQERROR", 11 }, { "TWCC_", "TWCC_BADDEST", 12 }, { "TWCC_", "TWCC_CAPUNSUPPORTED", 13 },
        { "TWCC_", "TWCC_CAPBADOPERATION", 14 }, { "TWCC_", "TWCC_CAPSEQERROR", 15 }, { "TWCC_", "TWCC_DENIED", 16 },
        { "TWCC_", "TWCC_FILEEXISTS", 17 }, { "TWCC_", "TWCC_FILENOTFOUND", 18 }, { "TWCC_", "TWCC_NOTEMPTY", 19 },
        { "TWCC_", "TWCC_PAPERJAM", 20 }, { "TWCC_", "TWCC_PAPERDOUBLEFEED", 21 }, { "TWCC_", "TWCC_FILEWRITEERROR", 22 },
        { "TWCC_", "TWCC_CHECKDEVICEONLINE", 23 }, { "TWCC_", "TWCC_INTERLOCK", 24 }, { "TWCC_", "TWCC_DAMAGEDCORNER", 25 },
        { "TWCC_", "TWCC_FOCUSERROR", 26 }, { "TWCC_", "TWCC_DOCTOOLIGHT", 27 }, { "TWCC_", "TWCC_DOCTOODARK", 28 },
        { "TWCC_", "TWCC_NOMEDIA", 29 },
        // item and container types
        { "TWTY_", "TWTY_INT8", 0 }, { "TWTY_", "TWTY_INT16", 1 }, { "TWTY_", "TWTY_INT32", 2 }, { "TWTY_", "TWTY_UINT8", 3 },
        { "TWTY_", "TWTY_UINT16", 4 }, { "TWTY_", "TWTY_UINT32", 5 }, { "TWTY_", "TWTY_BOOL", 6 }, { "TWTY_", "TWTY_FIX32", 7 },
        { "TWTY_", "TWTY_FRAME", 8 }, { "TWTY_", "TWTY_STR32", 9 }, { "TWTY_", "TWTY_STR64", 10 }, { "TWTY_", "TWTY_STR128", 11 },
        { "TWTY_", "TWTY_STR255", 12 }, { "TWTY_", "TWTY_STR1024", 13 }, { "TWTY_", "TWTY_UNI512", 14 },
        { "TWTY_", "TWTY_HANDLE", 15 }, { "TWTY_", "TWTY_FRAMEANGLE", 0x8001 },
        { "TWON_", "TWON_ARRAY", 3 }, { "TWON_", "TWON_ENUMERATION", 4 }, { "TWON_", "TWON_ONEVALUE", 5 }, { "TWON_", "TWON_RANGE", 6 },
        // data argument types and messages of the custom triplets
        { "DAT_", "DAT_STATUSRAW", 0x8001 }, { "DAT_", "DAT_DEVICEINFO", 0x8005 }, { "DAT_", "DAT_AUTOCOLORLEARN", 0x8006 },
        { "DAT_", "DAT_PROFILES", 0x8007 }, { "DAT_", "DAT_WINDOW", 0x8008 }, { "DAT_", "DAT_CUSTOMDSDATAGROUP", 0x8009 },
        { "DAT_", "DAT_ECDO", 0x800A }, { "DAT_", "DAT_LOG", 0x800C }, { "DAT_", "DAT_UTC", 0x800D },
        { "DAT_", "DAT_OCPBUTTONS", 0x800E }, { "DAT_", "DAT_CONSUMABLEMETERS", 0x8010 },
        { "DAT_", "DAT_TWUNKIDENTITY", 0x0B }, { "DAT_", "DAT_TWAINDIRECT", 0x14 }, { "DAT_", "DAT_FILESYSTEM", 0x0E },
        { "MSG_", "MSG_SETUPDS", 0x8002 }, { "MSG_", "MSG_GETSPECIAL", 0x8005 }, { "MSG_", "MSG_ENABLEINFO", 0x8007 },
        { "MSG_", "MSG_SAVEPROFILE", 0x8008 }, { "MSG_", "MSG_DELETEPROFILE", 0x8009 },
        { "MSG_", "MSG_ENABLEDSADVANCED", 0x800A }, { "MSG_", "MSG_ENABLEDSPREVIEW", 0x800B },
        { "MSG_", "MSG_ENABLEDSUIONLYADVANCED", 0x800C }, { "MSG_", "MSG_ENABLESETUPIAPRINTER", 0x800D },
        { "MSG_", "MSG_ENABLESETUPNOIAPRINTER", 0x800E }, { "MSG_", "MSG_ENABLEDSPREVIEWTOAPPLICATION", 0x8010 },
        { "MSG_", "MSG_ADDWINDOW", 0x8011 }, { "MSG_", "MSG_DELETEWINDOW", 0x8012 },
        { "MSG_", "MSG_ENABLESETUPNOIAPRINTEROCP", 0x8013 }, { "MSG_", "MSG_PROFILECREATE", 0x8015 },
        { "MSG_", "MSG_PROFILEDELETE", 0x8016 }, { "MSG_", "MSG_PROFILESAVE", 0x8017 }, { "MSG_", "MSG_PROFILERENAME", 0x8018 },
        { "MSG_", "MSG_PROFILERESTORE", 0x8019 }, { "MSG_", "MSG_PROFILEEXPORT", 0x801A }, { "MSG_", "MSG_PROFILEIMPORT", 0x801B },
        { "MSG_", "MSG_PROFILESET", 0x801C }, { "MSG_", "MSG_GETINQUIRY", 0x801D }, { "MSG_", "MSG_ENDXFERSPECIAL", 0x801E },
        { "MSG_", "MSG_RESETALL", 0x0A01 }, { "MSG_", "MSG_SETTASK", 0x0B01 }, { "MSG_", "MSG_CHECKSTATUS", 0x0201 },
        { "MSG_", "MSG_INVOKE_CALLBACK", 0x0903 },
        { "DG_", "DG_CUSTOM", 0x1000 }, { "DF_", "DF_APP2", 0x20000000 }, { "DF_", "DF_DSM2", 0x10000000 },
        { "DF_", "DF_DS2", 0x40000000 },
        // values the commands accept or print
        { "CAP_LANGUAGE", "TWLG_ENGLISH_USA", 13 }, { "CAP_LANGUAGE", "TWLG_USERLOCALE", 0xFFFFFFFF },
        { "ICAP_IMAGEFILEFORMAT", "TWFF_TIFF", 0 }, { "ICAP_PIXELTYPE", "TWPT_BW", 0 }, { "ICAP_PIXELTYPE", "TWPT_GRAY", 1 },
        { "ICAP_PIXELTYPE", "TWPT_RGB", 2 }, { "ICAP_COMPRESSION", "TWCP_NONE", 0 }, { "ICAP_COMPRESSION", "TWCP_GROUP4", 5 },
        { "ICAP_COMPRESSION", "TWCP_JPEG", 6 }, { "ICAP_PLANARCHUNKY", "TWPC_CHUNKY", 0 },
        { "CAP_WINDOWCAMERA", "TWWC_BASE_BITONAL_FRONT", 0 }, { "CAP_WINDOWCAMERA", "TWWC_BASE_BITONAL_REAR", 1 },
        { "CAP_WINDOWCAMERA", "TWWC_BASE_COLOR_FRONT", 2 }, { "CAP_WINDOWCAMERA", "TWWC_BASE_COLOR_REAR", 3 },
        { "CAP_WINDOWCAMERA", "TWWC_1_BITONAL_FRONT", 4 }, { "CAP_WINDOWCAMERA", "TWWC_1_COLOR_FRONT", 6 },
        { "CAP_WINDOWCAMERA", "TWWC_10_COLOR_REAR", 43 }, { "ICAP_CROPPINGMODE", "TWCR_TRANSPORT", 1 },
        { "ICAP_IMAGEEDGEFILL", "TWIE_BLACK", 2 }, { "ICAP_FILTERENUM", "TWFT_RED", 0 },
        { "CAP_DEVICEEVENT", "TWDE_CHECKAUTOMATICCAPTURE", 0 }, { "CAP_DEVICEEVENT", "TWDE_POWERSAVENOTIFY", 16 },
        { "CAP_DEVICEEVENT", "TWDE_LAMPWARMUP", 0x8002 },
        // extended image information the formatter requests by name
        { "TWEI_", "TWEI_BARCODECONFIDENCE", 0x121A }, { "TWEI_", "TWEI_BARCODECOUNT", 0x1219 },
        { "TWEI_", "TWEI_BARCODEROTATION", 0x121B }, { "TWEI_", "TWEI_BARCODETEXT", 0x1202 },
        { "TWEI_", "TWEI_BARCODETEXTLENGTH", 0x121C }, { "TWEI_", "TWEI_BARCODETYPE", 0x1203 },
        { "TWEI_", "TWEI_BARCODEX", 0x1200 }, { "TWEI_", "TWEI_BARCODEY", 0x1201 }, { "TWEI_", "TWEI_BOOKNAME", 0x1238 },
        { "TWEI_", "TWEI_CAMERA", 0x123C }, { "TWEI_", "TWEI_CHAPTERNUMBER", 0x1239 }, { "TWEI_", "TWEI_DESKEWSTATUS", 0x122B },
        { "TWEI_", "TWEI_DOCUMENTNUMBER", 0x123A }, { "TWEI_", "TWEI_FILESYSTEMSOURCE", 0x1246 }, { "TWEI_", "TWEI_FRAME", 0x123E },
        { "TWEI_", "TWEI_FRAMENUMBER", 0x123D }, { "TWEI_", "TWEI_ICCPROFILE", 0x1240 }, { "TWEI_", "TWEI_IMAGEMERGED", 0x1247 },
        { "TWEI_", "TWEI_PAGENUMBER", 0x123B }, { "TWEI_", "TWEI_PAGESIDE", 0x1245 }, { "TWEI_", "TWEI_PAPERCOUNT", 0x1249 },
        { "TWEI_", "TWEI_PIXELFLAVOR", 0x123F }, { "TWEI_", "TWEI_PRINTERTEXT", 0x124A },
        { "TWEI_", "TWEI_SKEWORIGINALANGLE", 0x122C }, { "TWEI_", "TWEI_TWAINDIRECTMETADATA", 0x124B },
        { "TWEI_", "TWEI_HDR_AUTOCOLORAMOUNT", 0x8038 }, { "TWEI_", "TWEI_HDR_AUTOCOLORDETECTED", 0x8037 },
        { "TWEI_", "TWEI_HDR_AUTOCOLORTHRESHOLD", 0x8039 }, { "TWEI_", "TWEI_HDR_BINARIZATIONQUALITY", 0x803D },
        { "TWEI_", "TWEI_HDR_BITORDER", 0x800D }, { "TWEI_", "TWEI_HDR_BOOKNAME_A", 0x801A },
        { "TWEI_", "TWEI_HDR_BOOKNAME_B", 0x801B }, { "TWEI_", "TWEI_HDR_BOOKNAME_C", 0x801C },
        { "TWEI_", "TWEI_HDR_BOOKNAME_D", 0x801D }, { "TWEI_", "TWEI_HDR_COMPRESSION", 0x8008 },
        { "TWEI_", "TWEI_HDR_DATE", 0x8009 }, { "TWEI_", "TWEI_HDR_DESKEW", 0x8012 }, { "TWEI_", "TWEI_HDR_DESKEWANGLE", 0x8013 },
        { "TWEI_", "TWEI_HDR_DITHER", 0x8028 }, { "TWEI_", "TWEI_HDR_DOCUMENTCOUNT", 0x8002 },
        { "TWEI_", "TWEI_HDR_DROPOUTSTATUS", 0x803B }, { "TWEI_", "TWEI_HDR_DUALSTACKINGSTACK", 0x803E },
        { "TWEI_", "TWEI_HDR_ENDOFSHEET", 0x8043 }, { "TWEI_", "TWEI_HDR_FEATUREPATCH", 0x8021 },
        { "TWEI_", "TWEI_HDR_IMAGEADDRESSDEFS", 0x8022 }, { "TWEI_", "TWEI_HDR_IMAGEADDRESSSTRING", 0x801E },
        { "TWEI_", "TWEI_HDR_IMAGENUMBER", 0x8017 }, { "TWEI_", "TWEI_HDR_LENGTH", 0x8003 }, { "TWEI_", "TWEI_HDR_LEVEL", 0x8004 },
        { "TWEI_", "TWEI_HDR_LINELENGTH", 0x8006 }, { "TWEI_", "TWEI_HDR_LONGPAPERLASTSEGMENT", 0x8036 },
        { "TWEI_", "TWEI_HDR_LONGPAPERSEGMENT", 0x8035 }, { "TWEI_", "TWEI_HDR_MULTIFEED", 0x8032 },
        { "TWEI_", "TWEI_HDR_PAGEIMAGENUMBER", 0x8019 }, { "TWEI_", "TWEI_HDR_PAGELENGTH", 0x8007 },
        { "TWEI_", "TWEI_HDR_PAGENUMBER", 0x8018 }, { "TWEI_", "TWEI_HDR_PAGESIDE", 0x8001 },
        { "TWEI_", "TWEI_HDR_PAPERDESTINATION", 0x803F }, { "TWEI_", "TWEI_HDR_PATCHDETECTED", 0x8029 },
        { "TWEI_", "TWEI_HDR_PRINTERINDEX", 0x8016 }, { "TWEI_", "TWEI_HDR_PRINTERSTRING", 0x8015 },
        { "TWEI_", "TWEI_HDR_RAWIMAGEHEADER", 0x8034 }, { "TWEI_", "TWEI_HDR_RESOLUTION", 0x800C },
        { "TWEI_", "TWEI_HDR_SLEEVETYPE", 0x8040 }, { "TWEI_", "TWEI_HDR_MULTIIMAGEINDEX", 0x8041 },
        { "TWEI_", "TWEI_HDR_MULTIIMAGETOTAL", 0x8042 }, { "TWEI_", "TWEI_HDR_TIME", 0x800A }, { "TWEI_", "TWEI_HDR_XML", 0x803A },
        { "TWEI_", "TWEI_HDR_XOFFSET", 0x801F }, { "TWEI_", "TWEI_HDR_YOFFSET", 0x8020 },
    };
    for (const auto& s : aSymbols)
    {
        const lookuptab::Value* pv = nullptr;
        for (const lookuptab::Record& r : m_records)
        {
            if (r.name != s.record)
            {
                continue;
            }
            for (const lookuptab::Value& v : r.values)
            {
                if ((v.symbol == s.symbol) && (pv == nullptr))
                {
                    pv = &v;
                }
            }
        }
        ASSERT_NE(pv, nullptr) << s.symbol << " in " << s.record;
        EXPECT_EQ(pv->value, s.value) << s.symbol;
    }
    // Symbols looked up by name answer with the record the program expects.
    for (const char* szSymbol : { "TWPT_BW", "TWPT_GRAY", "TWPT_RGB" })
    {
        std::string szRecord;
        ASSERT_NE(FindSymbol(m_records, szSymbol, &szRecord), nullptr);
        EXPECT_EQ(szRecord, "ICAP_PIXELTYPE") << szSymbol;
    }
    std::string szRecord;
    ASSERT_NE(FindSymbol(m_records, "TWRC_BUSY", &szRecord), nullptr);
    EXPECT_EQ(FindSymbol(m_records, "TWRC_BUSY")->value, 10u);

    // Capabilities the program names, with their ids.
    struct { const char* name; uint32_t id; } const aCaps[] = {
        { "CAP_XFERCOUNT", 0x0001 }, { "ICAP_COMPRESSION", 0x0100 }, { "ICAP_PIXELTYPE", 0x0101 }, { "ICAP_UNITS", 0x0102 },
        { "ICAP_XFERMECH", 0x0103 }, { "CAP_SUPPORTEDCAPS", 0x1005 }, { "CAP_LANGUAGE", 0x102C },
        { "CAP_SUPPORTEDCAPSSEGMENTUNIQUE", 0x103D }, { "CAP_SUPPORTEDDATS", 0x103E }, { "CAP_PRINTERENABLED", 0x1027 },
        { "ICAP_IMAGEFILEFORMAT", 0x110C }, { "ICAP_PLANARCHUNKY", 0x1120 }, { "ICAP_XRESOLUTION", 0x1118 },
        { "ICAP_YRESOLUTION", 0x1119 }, { "ICAP_PHYSICALHEIGHT", 0x1112 }, { "ICAP_FRAMES", 0x1114 }, { "ICAP_HALFTONES", 0x1109 },
        { "ICAP_BITDEPTH", 0x112B }, { "ICAP_JPEGPIXELTYPE", 0x1128 }, { "ICAP_SUPPORTEDEXTIMAGEINFO", 0x115E },
        { "CAP_PAGESIZELIMIT", 0x8002 }, { "CAP_CAMERAENABLE", 0x801D }, { "ICAP_CROPPINGMODE", 0x8022 },
        { "ICAP_FILTERENUM", 0x8024 }, { "ICAP_IMAGEEDGEFILL", 0x8095 }, { "CAP_PROFILES", 0x809F },
        { "CAP_WINDOWCAMERA", 0x80B4 }, { "CAP_SIDESDIFFERENT", 0x80B7 }, { "ICAP_ECDO", 0x80B8 },
        { "ICAP_FRAMESANGLE", 0x80BB }, { "ICAP_IMAGEFORMAT", 0x80CE },
    };
    for (const auto& c : aCaps)
    {
        bool blFound = false;
        for (const lookuptab::Record& r : m_records)
        {
            if (r.name == c.name)
            {
                blFound = true;
                EXPECT_EQ(r.id, c.id) << c.name;
            }
        }
        EXPECT_TRUE(blFound) << c.name;
    }
}

// The friendly names of CAP_LANGUAGE are the language names the services
// layer knows (the shell hands them to COsLocale::SetLanguage).
TEST_F(LookupBuilt, LanguageNamesAreKnownToTheLocale)
{
    size_t nChecked = 0;
    for (const lookuptab::Record& r : m_records)
    {
        if (r.name != "CAP_LANGUAGE")
        {
            continue;
        }
        for (const lookuptab::Value& v : r.values)
        {
            EOSLANGUAGE eoslanguage = COsLocale::GetLanguageId(v.name.c_str());
            EXPECT_EQ(static_cast<int32_t>(eoslanguage), static_cast<int32_t>(v.value)) << v.symbol << " " << v.name;
            nChecked++;
        }
    }
    EXPECT_GT(nChecked, 100u);
}

// ---------------------------------------------------------------------------
// The LOOKUP resource
// ---------------------------------------------------------------------------
namespace
{

// The resource of a file, "" when it has none.
std::string ResourceOf(const std::string& a_szFile, const char* a_szName)
{
    COsResource osresource;
    if (osresource.Open(a_szFile.c_str(), a_szName, 0) != OS_STS_OK)
    {
        return "";
    }
    std::string sz(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
    osresource.Close();
    return sz;
}

int RunCommand(const std::string& a_szCommand)
{
    int iStatus = std::system(a_szCommand.c_str());
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

} // namespace

TEST_F(LookupBuilt, AppenderPutsTheTableIntoAnExecutableThatStillRuns)
{
    std::string szTool = std::string(DRAVO_BINARY_DIR) + "/tools/dravo-resappend";
    ASSERT_TRUE(std::filesystem::exists(szTool)) << "build the target dravo-resappend first";
    lookuptest::ScratchDir dir;
    std::string szExe = dir / "true-copy";
    std::filesystem::copy_file("/bin/true", szExe);

    ASSERT_EQ(RunCommand(szTool + " " + szExe + " LOOKUP " + lookuptest::GeneratedXmlPath()), 0);
    EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml);
    EXPECT_EQ(RunCommand(szExe), 0);
    // Appending again replaces it: one archive, same size.
    auto u64Size = std::filesystem::file_size(szExe);
    ASSERT_EQ(RunCommand(szTool + " " + szExe + " LOOKUP " + lookuptest::GeneratedXmlPath()), 0);
    EXPECT_EQ(std::filesystem::file_size(szExe), u64Size);
    EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml);
    // Bad use fails.
    EXPECT_NE(RunCommand(szTool + " " + szExe + " LOOKUP " + (dir / "missing.xml") + " 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(szTool + " 2>/dev/null"), 0);
}

TEST_F(LookupBuilt, BuiltExecutablesCarryTheTable)
{
    int nChecked = 0;
    for (const char* szName : { "dravo", "dravo-sim" })
    {
        std::string szExe = std::string(DRAVO_BINARY_DIR) + "/shell/" + szName;
        if (!std::filesystem::exists(szExe))
        {
            continue;
        }
        EXPECT_EQ(ResourceOf(szExe, "LOOKUP"), m_szXml) << szExe;
        nChecked++;
    }
    if (nChecked == 0)
    {
        GTEST_SKIP() << "the shell executables are not built";
    }
}

// A table loaded the way the program loads it: from the LOOKUP resource of
// its own executable, without any lookup file beside it.
TEST_F(LookupBuilt, ProgramFindsItsTableWithoutAFile)
{
    std::string szExe = std::string(DRAVO_BINARY_DIR) + "/shell/dravo-sim";
    if (!std::filesystem::exists(szExe))
    {
        GTEST_SKIP() << "dravo-sim is not built";
    }
    lookuptest::ScratchDir dir;
    lookuptest::InDir indir(dir.Path());
    ASSERT_TRUE(indir.Ok());
    // twcreate makes a connection, whose construction loads the table; with
    // no lookup file anywhere, only the resource can provide it.
    std::string szCommand = "printf 'twcreate\\nexit\\n' | env -u TORVIX_PATH_SOURCE ZAV_LOGDIR=" + dir.Path() + " " +
                            szExe + " > out.txt 2> err.txt";
    RunCommand(szCommand);
    std::string szOut = lookuptest::ReadFile(dir / "out.txt");
    std::string szErr = lookuptest::ReadFile(dir / "err.txt");
    EXPECT_NE(szOut.find("CTwain object: #0"), std::string::npos) << szOut;
    EXPECT_EQ(szErr.find("Sorry, couldn't find the lookup file"), std::string::npos) << szErr;
}
