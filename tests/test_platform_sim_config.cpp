// test_platform_sim_config.cpp
//
// The configuration file, the fault injection and the journal of the
// simulated sources: capability rows replaced, added and removed, errors in
// the file reported without stopping the source, an answered transfer, and
// the journal lines tests rely on. (An exception out of DS_Entry, through the
// DSM and the program: test_e2e_dsm.cpp.)

#include "test_platform_sim.h"

#include <sys/stat.h>

#include <map>

using namespace simtest;

namespace
{
using SimConfigTest = SimTest;
}

TEST_F(SimConfigTest, CapabilityRowsAreReplacedAddedAndRemoved)
{
    Config("# a comment\n"
           "cap ICAP_XRESOLUTION enum fix32 100 200 400 default=200   # three resolutions\n"
           "cap CAP_INDICATORS none\n"
           "cap 0x9000 array uint8 1 2 3\n"
           "cap CAP_AUTHOR onevalue str128 \"The Author\" readonly\n"
           "cap CAP_XFERCOUNT range int16 1 10 1 default=3\n");
    App& app = Open(kScanner);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GET, ICAP_XRESOLUTION, &con), TWRC_SUCCESS);
    ASSERT_EQ(con.m_u64NumItems, 3u);
    EXPECT_EQ(con.Fix(con.m_u64CurrentIndex), 200.0);
    EXPECT_EQ(con.Fix(2), 400.0);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GET, CAP_INDICATORS)), TWCC_CAPUNSUPPORTED);
    ASSERT_EQ(app.Cap(MSG_GET, 0x9000, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_ARRAY);
    EXPECT_EQ(con.m_u16ItemType, TWTY_UINT8);
    EXPECT_EQ(con.m_u64NumItems, 3u);
    EXPECT_EQ(con.Int(2), 3);
    EXPECT_EQ(app.CurrentStr(CAP_AUTHOR), "The Author");
    ASSERT_EQ(app.Cap(MSG_GET, CAP_XFERCOUNT, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.m_u16ConType, TWON_RANGE);
    EXPECT_EQ(con.RangeInt(4), 3);
    // The capability list follows the table.
    ASSERT_EQ(app.Cap(MSG_GET, CAP_SUPPORTEDCAPS, &con), TWRC_SUCCESS);
    bool blIndicators = false;
    bool blNew = false;
    for (std::size_t ii = 0; ii < con.m_u64NumItems; ii++)
    {
        blIndicators = blIndicators || con.Int(ii) == CAP_INDICATORS;
        blNew = blNew || con.Int(ii) == 0x9000;
    }
    EXPECT_FALSE(blIndicators);
    EXPECT_TRUE(blNew);
}

TEST_F(SimConfigTest, ErrorsAreReportedAndTheRestApplies)
{
    Config("pages = many\n"
           "cap ICAP_NOTACAP enum uint16 1\n"
           "cap ICAP_PIXELTYPE enum uint16 TWPT_BW TWPT_NOSUCH\n"
           "on never send MSG_XFERREADY\n"
           "fault explode DG_CONTROL DAT_CAPABILITY MSG_GET\n"
           "frobnicate\n"
           "productname = \"unterminated\n"
           "pages = 1\n");
    App& app = Open(kScanner);
    std::vector<std::string> asz = JournalWith({"config", "scanner", "error="});
    ASSERT_EQ(asz.size(), 7u);
    EXPECT_NE(asz[0].find("sim.cfg:1:"), std::string::npos);
    EXPECT_NE(asz[6].find("sim.cfg:7:"), std::string::npos);
    ASSERT_TRUE(app.EnableAndWait());
    TW_PENDINGXFERS twpending;
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 1);
}

TEST_F(SimConfigTest, OnlyARegularFileOfSensibleSizeIsRead)
{
    std::string szFifo = m_szDir + "/fifo.cfg";
    ASSERT_EQ(mkfifo(szFifo.c_str(), 0600), 0);
    std::string szLarge = m_szDir + "/large.cfg";
    std::ofstream(szLarge) << std::string(5 * 1024 * 1024, '#');
    const std::pair<std::string, const char*> acase[] = {
        {szFifo, "not a regular file"}, {"/dev/zero", "not a regular file"}, {szLarge, "larger than 4 MiB"}};
    for (const auto& c : acase)
    {
        SCOPED_TRACE(c.first);
        setenv("SIMSCANNER_CONFIG", c.first.c_str(), 1);
        App app(kScanner);
        ASSERT_TRUE(app.Opened()) << "the built-in configuration";
        EXPECT_FALSE(JournalWith({"config", "scanner", c.first.c_str(), c.second}).empty());
    }
}

// (refused triplets with their codes, skips and counts, a refused open, an
// enable answered TWRC_CHECKSTATUS, an exception through the DSM and every
// malformed answer: their effects on the program, test_e2e_*.cpp)
TEST_F(SimConfigTest, AnAnsweredTransferIsCarriedOutFirst)
{
    Config("fault answer DG_IMAGE DAT_IMAGENATIVEXFER MSG_GET rc=TWRC_CANCEL\n");
    App& app = Open(kScanner);
    ASSERT_TRUE(app.EnableAndWait());
    TW_HANDLE h = nullptr;
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h), TWRC_CANCEL);
    EXPECT_EQ(h, nullptr) << "a cancelled transfer delivers no image";
    EXPECT_EQ(app.EndXfer(), TWRC_SUCCESS) << "the transfer ended in state 7";
    EXPECT_EQ(JournalWith({"DAT_IMAGENATIVEXFER/MSG_GET", "state=6->7", "fault=answer", "rc=TWRC_CANCEL"}).size(), 1u);
}

TEST_F(SimConfigTest, JournalRecordsWhatTheApplicationSent)
{
    // (the fields of a call line, as the end-to-end tests read them, are
    // checked there: container=, data=, rc=, cc= and state=)
    App& app = Open(kScanner);
    EXPECT_EQ(app.SetUInt16(ICAP_PIXELTYPE, 77), TWRC_FAILURE);
    EXPECT_EQ(JournalWith({"call", "DG_CONTROL/DAT_CAPABILITY/MSG_SET", "0x0001/0x0001/0x0006", "container=04004d00",
                           "cc=TWCC_BADVALUE(10)"}).size(), 1u);
    // Every line begins with the direction, a sequence number that grows per
    // source library, and the source.
    std::vector<std::string> aszAll = Journal();
    ASSERT_FALSE(aszAll.empty());
    std::map<std::string, unsigned long> mapLast;
    for (const std::string& sz : aszAll)
    {
        std::istringstream iss(sz);
        std::string szDirection;
        unsigned long ulSequence = 0;
        std::string szSource;
        iss >> szDirection >> ulSequence >> szSource;
        EXPECT_TRUE(szDirection == "call" || szDirection == "send" || szDirection == "config") << sz;
        EXPECT_GT(ulSequence, mapLast[szSource]) << sz;
        mapLast[szSource] = ulSequence;
    }
    EXPECT_EQ(mapLast.count("scanner"), 1u);
    // Null data is written as such, and the status request too.
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(JournalWith({"DAT_USERINTERFACE/MSG_ENABLEDS", "data=null", "cc=TWCC_BADVALUE(10)"}).size(), 1u);
    app.Cc();
    EXPECT_EQ(JournalWith({"DG_CONTROL/DAT_STATUS/MSG_GET", "rc=TWRC_SUCCESS(0)"}).size(), 1u);
}
