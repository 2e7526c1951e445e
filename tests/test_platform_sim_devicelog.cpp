// test_platform_sim_devicelog.cpp
//
// The device log of the ZAV source (DG_CONTROL / DAT_LOG MSG_GET): the
// request it accepts, the file it writes, and the sources that do not know
// the triplet.

#include "e2e_run.h"
#include "test_platform_sim.h"

using namespace simtest;

namespace
{
class SimDeviceLogTest : public SimTest
{
};

// The 772-byte request.
std::vector<unsigned char> LogRequest(TW_UINT16 a_u16Type, TW_UINT16 a_u16Device, const std::string& a_szFile,
                                      const std::string& a_szDescription = "", bool a_blSaveImages = false)
{
    std::vector<unsigned char> au8(772, 0);
    TwSetU16(au8.data(), a_u16Type);
    TwSetU16(au8.data() + 2, a_u16Device);
    std::memcpy(au8.data() + 4, a_szFile.data(), std::min<std::size_t>(a_szFile.size(), 256));
    std::memcpy(au8.data() + 260, a_szDescription.data(), std::min<std::size_t>(a_szDescription.size(), 256));
    TwSetU16(au8.data() + 516, a_blSaveImages ? 1 : 0);
    return au8;
}

} // namespace

TEST_F(SimDeviceLogTest, ZavWritesTheLogItIsAskedFor)
{
    App app(kScannerZav);
    ASSERT_TRUE(app.Opened());
    std::string szService = m_szDir + "/device.qnlog";
    std::vector<unsigned char> au8 = LogRequest(3, 0, szService, "jam at start", true);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, au8.data()), TWRC_SUCCESS);
    EXPECT_EQ(e2e::ReadFile(szService), "Simulated Scanner ZAV service log\ndevice: all\ndescription: jam at start\n"
                                  "save images: yes\nsheets in the feeder: 3\n");
    std::string szXml = m_szDir + "/general.log";
    au8 = LogRequest(2, 2, szXml);
    ASSERT_EQ(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, au8.data()), TWRC_SUCCESS);
    EXPECT_EQ(e2e::ReadFile(szXml), "<log><device>Simulated Scanner ZAV</device><sheets>3</sheets></log>\n");

    // Bad requests: type, device, names without terminator or empty, and a
    // file the device cannot write.
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
    };
    for (auto& bad : aBad)
    {
        EXPECT_EQ(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, bad.au8.data()), TWRC_FAILURE);
        EXPECT_EQ(app.Cc(), bad.u16Cc);
    }
    EXPECT_EQ(app.FailCc(app.Call(DG_CONTROL, DAT_LOG, MSG_GET, nullptr)), TWCC_BADVALUE);

    // The standard sources do not know the maker's triplet.
    App appStandard(kScanner);
    au8 = LogRequest(3, 0, m_szDir + "/other.qnlog");
    EXPECT_EQ(appStandard.Call(DG_CONTROL, DAT_LOG, MSG_GET, au8.data()), TWRC_FAILURE);
    EXPECT_EQ(appStandard.Cc(), TWCC_BADPROTOCOL);
    EXPECT_FALSE(std::ifstream(m_szDir + "/other.qnlog").good());
}
