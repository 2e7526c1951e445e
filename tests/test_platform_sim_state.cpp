// test_platform_sim_state.cpp
//
// The simulated sources as an application finds them through the DSM: a
// configured identity, the TWAIN state machine 4 to 7 and the states each
// triplet is taken in, DAT_STATUS, and the answers to triplets out of
// sequence or with missing data.

#include "test_platform_sim.h"

#include <set>

using namespace simtest;

using SimStateTest = SimTest;

TEST_F(SimStateTest, ConfigurationRenamesAndReversionsASource)
{
    Config("[scanner]\nproductname = Renamed Scanner\nprotocol = 2.1\ninfo = \"custom info\"\nversion = 3.7\n"
           "[camera]\nproductname = Should Not Apply To Scanner\n");
    App& app = Open("Renamed Scanner");
    EXPECT_EQ(app.Ds().ProtocolMajor, 2);
    EXPECT_EQ(app.Ds().ProtocolMinor, 1);
    EXPECT_STREQ(app.Ds().Version.Info, "custom info");
    EXPECT_EQ(app.Ds().Version.MajorNum, 3);
    EXPECT_EQ(app.Ds().Version.MinorNum, 7);
    EXPECT_STREQ(app.Ds().ProductName, "Renamed Scanner");
    EXPECT_TRUE(JournalWith({"call", "scanner", "MSG_OPENDS", "rc=TWRC_SUCCESS"}).size() == 1);
}

TEST_F(SimStateTest, StateMachineRefusesTripletsOutOfSequence)
{
    App& app = Open(kScanner);
    TW_USERINTERFACE twui = {};
    TW_PENDINGXFERS twpending = {};
    TW_IMAGEINFO twinfo;
    TW_HANDLE hDib = nullptr;

    // State 4: no disable, no end of transfer, no image.
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui)), TWCC_SEQERROR);
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpending)), TWCC_SEQERROR);
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twinfo)), TWCC_SEQERROR);
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib)), TWCC_SEQERROR);

    // 4 -> 5 -> 6: a second enable and capability sets are out of sequence.
    ASSERT_TRUE(app.EnableAndWait());
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui)), TWCC_SEQERROR);
    EXPECT_EQ(app.FailCc(app.SetUInt16(ICAP_XFERMECH, TWSX_NATIVE)), TWCC_SEQERROR);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_RESET, ICAP_XFERMECH)), TWCC_SEQERROR);
    EXPECT_EQ(app.Cap(MSG_GET, ICAP_XFERMECH), TWRC_SUCCESS);   // reading is allowed
    // State 6: disable is refused until the transfers are done.
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui)), TWCC_SEQERROR);
    TW_IDENTITY twds = app.Ds();
    EXPECT_EQ(Dsm::Get().pfnEntry(&app.AppIdentity(), nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twds), TWRC_FAILURE);

    // 6 -> 7 -> 6 -> 5 -> 4.
    ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib), TWRC_XFERDONE);
    app.Free(hDib);
    EXPECT_EQ(app.FailCc(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hDib)), TWCC_SEQERROR);   // state 7: one image per transfer
    TW_UINT16 u16Count = 0;
    ASSERT_EQ(app.EndXfer(&u16Count), TWRC_SUCCESS);
    EXPECT_EQ(u16Count, 2);   // three pages in the feeder by default
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpending), TWRC_SUCCESS);
    EXPECT_EQ(twpending.Count, 0);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui)), TWCC_SEQERROR);

    std::vector<std::string> asz = JournalWith({"MSG_ENDXFER", "state=7->6"});
    EXPECT_EQ(asz.size(), 1u);
}

// Triplets that leave the state alone, sent in each state a source can be
// brought to: in the states a row names they succeed, in the others they
// fail with TWCC_SEQERROR (the state is checked before the data).
TEST_F(SimStateTest, EachTripletIsTakenOnlyInItsStates)
{
    struct Case
    {
        const char* szSource;
        TW_UINT32 u32Dg;
        TW_UINT16 u16Dat, u16Msg;
        std::string szData;   // the start of the data record, zeros after it
        std::set<int> setiStates;
    };
    const Case acase[] = {
        {kScanner, DG_CONTROL, DAT_XFERGROUP, MSG_GET, "", {4, 5, 6}},
        {kScanner, DG_CONTROL, DAT_XFERGROUP, MSG_SET, std::string(1, DG_IMAGE), {6}},
        {kScanner, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, "", {4, 5, 6}},
        {kScanner, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETCURRENT, "", {4, 5, 6}},
        {kScanner, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, "", {4, 5, 6}},
        {kScanner, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, "", {6, 7}},
        {kScanner, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, "\x01", {}},   // ICAP_EXTIMAGEINFO is FALSE
        {kScanner1x, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, "", {5}},
        {kCamera, DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, "/Camera_Gray_Top", {4}},
        {kCamera, DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, "", {4, 5, 6, 7}},
        {kCamera, DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, "", {4, 5, 6}},
    };
    for (const char* szSource : {kScanner, kScanner1x, kCamera})
    {
        // A first-generation source has no callback to bring it to state 6.
        for (int iState = 4; iState <= (szSource == kScanner1x ? 5 : 7); iState++)
        {
            {
                std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
                Callbacks::Get().m_aevent.clear();
            }
            App app(szSource);
            ASSERT_TRUE(app.Opened()) << szSource;
            TW_USERINTERFACE twui = {};
            if (iState == 5)
            {
                ASSERT_EQ(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &twui), TWRC_SUCCESS);
            }
            if (iState >= 6)
            {
                ASSERT_TRUE(app.EnableAndWait());
            }
            TW_HANDLE hImage = nullptr;
            if (iState == 7)
            {
                ASSERT_EQ(app.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage), TWRC_XFERDONE);
                app.Free(hImage);
            }
            for (const Case& c : acase)
            {
                if (c.szSource != szSource)
                {
                    continue;
                }
                std::vector<unsigned char> au8(4096, 0);
                std::memcpy(au8.data(), c.szData.data(), c.szData.size());
                TW_UINT16 u16Rc = app.Call(c.u32Dg, c.u16Dat, c.u16Msg, au8.data());
                SCOPED_TRACE(std::string(szSource) + " state " + std::to_string(iState) + " row " +
                             std::to_string(&c - acase));
                if (c.setiStates.count(iState))
                {
                    EXPECT_NE(u16Rc, TWRC_FAILURE) << app.Cc();
                }
                else
                {
                    EXPECT_EQ(app.FailCc(u16Rc), TWCC_SEQERROR);
                }
            }
        }
    }
}

TEST_F(SimStateTest, StatusAnswersTheLastConditionAndKeepsIt)
{
    App& app = Open(kScanner);
    EXPECT_EQ(app.FailCc(app.Cap(MSG_GET, 0x7777)), TWCC_CAPUNSUPPORTED);
    // Asking again answers the same: the status request does not replace it.
    EXPECT_EQ(app.Cc(), TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(app.Cap(MSG_GET, ICAP_PIXELTYPE), TWRC_SUCCESS);
    EXPECT_EQ(app.Cc(), TWCC_SUCCESS);
    // A null status record fails without touching the condition.
    EXPECT_EQ(app.Cap(MSG_GET, 0x7777), TWRC_FAILURE);
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_STATUS, MSG_GET, nullptr)), TWCC_CAPUNSUPPORTED);
}

TEST_F(SimStateTest, UnknownTripletsAndNullDataGetTheStandardCodes)
{
    App& app = Open(kScanner);
    // A data argument type the source does not have.
    TW_FILESYSTEM twfs = {};
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs)), TWCC_BADPROTOCOL);
    // A message the data argument type does not have.
    TW_SETUPMEMXFER twsetup;
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_SET, &twsetup)), TWCC_BADPROTOCOL);
    // Null data where data is needed (every null attempt of the program's
    // stress test, run on the simulated sources: test_e2e_stress.cpp).
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GETCURRENT, nullptr)), TWCC_BADVALUE);
    // With a callback, DAT_EVENT (valid while enabled) never carries an event.
    ASSERT_TRUE(app.EnableAndWait());
    TW_EVENT twevent = {};
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twevent), TWRC_NOTDSEVENT);
    EXPECT_EQ(twevent.TWMessage, MSG_NULL);
}

TEST_F(SimStateTest, FirstGenerationSourceKnowsNoSecondGenerationMessages)
{
    App& app = Open(kScanner1x);
    TW_CAPABILITY twcap = {};
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &twcap)), TWCC_BADPROTOCOL);
    EXPECT_EQ(app.SetCap(MSG_SETCONSTRAINT, ICAP_PIXELTYPE, TWON_ONEVALUE, OneValueOf<TW_UINT16>(TWTY_UINT16, TWPT_GRAY)),
              TWRC_FAILURE);
    EXPECT_EQ(app.Cc(), TWCC_BADPROTOCOL);
    Container con;
    ASSERT_EQ(app.Cap(MSG_QUERYSUPPORT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0) & TWQC_SETCONSTRAINT, 0);
    EXPECT_NE(con.Int(0) & TWQC_SET, 0);
}

TEST_F(SimStateTest, ResetAllPutsEveryCapabilityBack)
{
    App& app = Open(kScanner);
    ASSERT_EQ(app.SetUInt16(ICAP_PIXELTYPE, TWPT_RGB), TWRC_SUCCESS);
    ASSERT_EQ(app.SetFix(ICAP_XRESOLUTION, 300), TWRC_SUCCESS);
    TW_CAPABILITY twcap = {};
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &twcap), TWRC_SUCCESS);
    EXPECT_EQ(app.CurrentInt(ICAP_PIXELTYPE), TWPT_BW);
    EXPECT_EQ(app.CurrentFix(ICAP_XRESOLUTION), 100.0);
}

TEST_F(SimStateTest, EmptyFeederRefusesToEnable)
{
    Config("pages = 0\n");
    App& app = Open(kScanner);
    TW_USERINTERFACE twui = {};
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui)), TWCC_NOMEDIA);
    Container con;
    EXPECT_EQ(app.Cap(MSG_GETCURRENT, CAP_FEEDERLOADED, &con), TWRC_SUCCESS);
    EXPECT_EQ(con.Int(0), 0);
    // The flatbed has its page all the same.
    ASSERT_EQ(app.SetCap(MSG_SET, CAP_FEEDERENABLED, TWON_ONEVALUE, OneValueOf<TW_BOOL>(TWTY_BOOL, 0)), TWRC_SUCCESS);
    EXPECT_TRUE(app.EnableAndWait());
}
