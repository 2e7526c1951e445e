// test_platform_sim_device.cpp
//
// The device functions of the simulated sources beyond capabilities and
// images, as an application sees them through the DSM: the camera list of a
// source with a file system (a file system without cameras still has its
// root, a configured list is listed and addressed as the built-in one), the
// ZAV source's device log (DG_CONTROL / DAT_LOG MSG_GET: the request it
// accepts, the file it writes), and DAT_TWAINDIRECT MSG_SETTASK (the request
// the source checks, the state it answers in, the reply it allocates, freed
// by the application through the DSM, and the sources of earlier protocols
// that do not know the triplet).

#include <sys/stat.h>

#include "e2e_run.h"
#include "test_platform_sim.h"

using namespace simtest;

namespace
{
using SimDeviceTest = SimTest;

TW_FILESYSTEM Named(const char* a_szName)
{
    TW_FILESYSTEM twfs = {};
    std::snprintf(twfs.InputName, sizeof(twfs.InputName), "%s", a_szName);
    return twfs;
}

// The 772-byte request.
std::vector<unsigned char> LogRequest(TW_UINT16 a_u16Type, TW_UINT16 a_u16Device, const std::string& a_szFile,
                                      const std::string& a_szDescription = "")
{
    std::vector<unsigned char> au8(772, 0);
    TwSetU16(au8.data(), a_u16Type);
    TwSetU16(au8.data() + 2, a_u16Device);
    std::memcpy(au8.data() + 4, a_szFile.data(), std::min<std::size_t>(a_szFile.size(), 256));
    std::memcpy(au8.data() + 260, a_szDescription.data(), std::min<std::size_t>(a_szDescription.size(), 256));
    return au8;
}

// Sends a task; the reply's text ("" without one) and the return code.
TW_UINT16 SetTask(App& a_app, const std::string& a_szTask, std::string* a_pszReply, TW_TWAINDIRECT* a_ptwdirect = nullptr)
{
    TW_TWAINDIRECT twdirect = {};
    twdirect.SizeOf = sizeof(TW_TWAINDIRECT);
    twdirect.Send = const_cast<char*>(a_szTask.c_str());
    twdirect.SendSize = static_cast<TW_UINT32>(a_szTask.size() + 1);
    if (a_ptwdirect != nullptr)
    {
        twdirect = *a_ptwdirect;
    }
    TW_UINT16 u16Rc = a_app.Call(DG_CONTROL, DAT_TWAINDIRECT, MSG_SETTASK, &twdirect);
    a_pszReply->clear();
    if (twdirect.Receive != nullptr)
    {
        // Packed fields are read into locals (no reference to them).
        const std::size_t uSize = twdirect.ReceiveSize;
        const char* sz = static_cast<const char*>(a_app.Lock(twdirect.Receive));
        a_pszReply->assign(sz, strnlen(sz, uSize));
        EXPECT_EQ(uSize, a_pszReply->size() + 1);
        a_app.Unlock(twdirect.Receive);
        a_app.Free(twdirect.Receive);
    }
    return u16Rc;
}
} // namespace

// (the root's record by name and as the current directory, its empty
// listing and a camera that is not there, through the program:
// test_e2e_filesystem.cpp)
TEST_F(SimDeviceTest, WithoutCamerasTheRootStillAnswers)
{
    Config("[camera]\ncameras =\n");
    App& app = Open(kCamera);
    TW_FILESYSTEM twfs = Named("/");
    twfs.Context = reinterpret_cast<TW_MEMREF>(0x1234);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs), TWRC_ENDOFLIST);
    EXPECT_EQ(twfs.Context, nullptr);
    for (const char* szName : {"Camera_Color_Top", ""})
    {
        twfs = Named(szName);
        EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs)), TWCC_FILENOTFOUND)
            << szName;
    }
    // The settings for all cameras still answer; a capture has no camera.
    TW_SETUPMEMXFER twsetup;
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &twsetup), TWRC_SUCCESS);
    Container con;
    ASSERT_EQ(app.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
    TW_USERINTERFACE twui = {};
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui)), TWCC_NOMEDIA);
}

TEST_F(SimDeviceTest, AConfiguredListIsListedAndAddressed)
{
    Config("[camera]\ncameras = /Front_Gray /Rear_Bottom\n"
           "cameras = /a/b\ncameras = /x /x\n"   // errors: the list stays
           "[scanner]\ncameras =\n");            // error: no file system
    {
        App appScanner(kScanner);
        ASSERT_TRUE(appScanner.Opened());
        EXPECT_EQ(JournalWith({"config", " scanner error=", "no file system"}).size(), 1u);
        TW_FILESYSTEM twfs = Named("/");
        EXPECT_EQ(appScanner.FailCc(appScanner.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs)), TWCC_BADPROTOCOL);
    }
    App& app = Open(kCamera);
    EXPECT_EQ(JournalWith({"config", " camera error="}).size(), 2u);
    TW_FILESYSTEM twfs = Named("/");
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Front_Gray");
    EXPECT_EQ(+twfs.FileType, TWFY_CAMERATOP);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &twfs), TWRC_SUCCESS);
    EXPECT_STREQ(twfs.OutputName, "/Rear_Bottom");
    EXPECT_EQ(+twfs.FileType, TWFY_CAMERABOTTOM);
    EXPECT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, &twfs), TWRC_ENDOFLIST);
    Container con;
    for (auto pair : {std::make_pair("/Front_Gray", TWPT_GRAY), std::make_pair("/Rear_Bottom", TWPT_RGB)})
    {
        twfs = Named(pair.first);
        ASSERT_EQ(app.Call(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs), TWRC_SUCCESS);
        ASSERT_EQ(app.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, &con), TWRC_SUCCESS);
        EXPECT_EQ(con.Int(0), pair.second) << pair.first;
    }
}

TEST_F(SimDeviceTest, ZavWritesTheLogItIsAskedFor)
{
    // (the service log and the standard sources' refusal: test_e2e_device.cpp)
    App& app = Open(kScannerZav);
    std::string szXml = m_szDir + "/general.log";
    std::vector<unsigned char> au8 = LogRequest(2, 2, szXml);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, au8.data()), TWRC_SUCCESS);
    EXPECT_EQ(e2e::ReadFile(szXml), "<log><device>Simulated Scanner ZAV</device><sheets>3</sheets></log>\n");

    // Bad requests: type, device, names without terminator or empty, and
    // files the device cannot write (a FIFO is not waited for).
    std::string szFifo = m_szDir + "/fifo";
    ASSERT_EQ(mkfifo(szFifo.c_str(), 0600), 0);
    struct
    {
        std::vector<unsigned char> au8;
        TW_UINT16 u16Cc;
    } aBad[] = {
        {LogRequest(5, 1, szXml), TWCC_BADVALUE},
        {LogRequest(0, 0, szXml), TWCC_BADVALUE},
        {LogRequest(1, 3, szXml), TWCC_BADVALUE},
        {LogRequest(0, 1, std::string(256, 'x')), TWCC_BADVALUE},
        {LogRequest(0, 1, ""), TWCC_BADVALUE},
        {LogRequest(0, 1, szXml, std::string(256, 'd')), TWCC_BADVALUE},
        {LogRequest(0, 1, m_szDir + "/no/such/folder.log"), TWCC_FILEWRITEERROR},
        {LogRequest(0, 1, szFifo), TWCC_FILEWRITEERROR},
    };
    for (auto& bad : aBad)
    {
        EXPECT_EQ(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, bad.au8.data()), TWRC_FAILURE);
        EXPECT_EQ(app.Cc(), bad.u16Cc);
    }
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, nullptr)), TWCC_BADVALUE);
}

TEST_F(SimDeviceTest, RequestStateAndReplyMemory)
{
    unsigned long ulErrors = Dsm::Get().pfnFamilyErrors();
    unsigned long ulLive = Dsm::Get().pfnLiveAllocations();
    {
        App app(kScannerZav);
        ASSERT_TRUE(app.Opened());
        std::string szReply;
        // The task is read only as far as SendSize says.
        TW_TWAINDIRECT twdirect = {};
        twdirect.SizeOf = sizeof(TW_TWAINDIRECT);
        std::string szTask = "{\"actions\":[]}garbage";
        twdirect.Send = &szTask[0];
        twdirect.SendSize = 14;
        ASSERT_EQ(SetTask(app, "", &szReply, &twdirect), TWRC_SUCCESS);
        EXPECT_EQ(szReply, "{\n\t\"actions\": []\n}");
        ASSERT_EQ(SetTask(app, "[1]", &szReply), TWRC_SUCCESS);
        EXPECT_NE(szReply.find("\"code\": \"invalidTask\""), std::string::npos) << szReply;

        // Malformed requests.
        TW_TWAINDIRECT atwBad[4];
        std::memset(atwBad, 0, sizeof(atwBad));
        for (TW_TWAINDIRECT& tw : atwBad)
        {
            tw = twdirect;
        }
        atwBad[0].SizeOf = 40;
        atwBad[1].CommunicationManager = 1;
        atwBad[2].Send = nullptr;
        atwBad[3].SendSize = 0;
        for (TW_TWAINDIRECT& tw : atwBad)
        {
            EXPECT_EQ(app.FailCc(SetTask(app, "", &szReply, &tw)), TWCC_BADVALUE);
            EXPECT_EQ(szReply, "");
        }
        // Only in state 4.
        ASSERT_TRUE(app.EnableAndWait());
        EXPECT_EQ(app.FailCc(SetTask(app, "{}", &szReply)), TWCC_SEQERROR);
    }
    // Every reply came from the DSM's functions and went back to them.
    EXPECT_EQ(Dsm::Get().pfnFamilyErrors(), ulErrors);
    EXPECT_EQ(Dsm::Get().pfnLiveAllocations(), ulLive);

    // Sources of an earlier protocol do not know the triplet.
    Config("[scanner]\nprotocol = 2.3\n");
    App app23(kScanner);
    App app19(kScanner1x);
    for (App* papp : {&app23, &app19})
    {
        std::string szReply;
        ASSERT_TRUE(papp->Opened());
        EXPECT_EQ(SetTask(*papp, "{}", &szReply), TWRC_FAILURE);
        EXPECT_EQ(papp->Cc(), TWCC_BADPROTOCOL);
    }
}
