// test_e2e_control.cpp
// The control triplet commands through the real program and the simulated
// scanner: dat_capability with each message and its misuse, dat_identity,
// and the maker's own triplets (colour learning, calibration, ECDO,
// firmware download), which only the ZAV source answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::SimShell;

namespace
{

const std::string s_szOpenZav = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n";

std::string Header(std::string a_szName, const std::string &a_szId)
{
    a_szName.resize(31, ' ');
    return Bold(a_szName + " " + a_szId);
}

} // namespace

TEST(E2eControl, CapabilityMessagesShowEachContainerForm)
{
    SimShell sh;
    sh.Run(s_szOpenZav +
           "dat_capability msg_get ICAP_PIXELTYPE\ndat_capability MSG_GETCURRENT icap_pixeltype\n"
           "dat_capability msg_getdefault ICAP_XRESOLUTION\ndat_capability msg_querysupport ICAP_PIXELTYPE\n"
           "dat_capability msg_reset ICAP_PIXELTYPE\ndat_capability msg_get 8116\ndat_capability msg_get 810f\n"
           "dat_capability msg_get 813d\ndat_capability msg_get 8143\ndat_capability msg_resetall\nexit\n");
    EXPECT_TRUE(sh.HasSequence({Header("ICAP_PIXELTYPE", "0101"), "  curidx: TWPT_BW (0)", "  defidx: TWPT_BW (0)",
                                "  typ:    TWTY_UINT16", "  num:    3", "  item:   TWPT_BW", "  item:   TWPT_GRAY",
                                "  item:   TWPT_RGB", Header("ICAP_PIXELTYPE", "0101"), "  typ:    TWTY_UINT16",
                                "  item:   TWPT_BW", Header("ICAP_XRESOLUTION", "1118"), "  typ:    TWTY_FIX32",
                                "  item:   100", Header("ICAP_PIXELTYPE", "0101"), "  typ:    TWTY_INT32",
                                "  item:   0x0000177f (MACHINE,GET,GETCURRENT,GETDEFAULT,SET,SETCONSTRAINT,RESET)",
                                Header("ICAP_PIXELTYPE", "0101")}));
    // Capabilities by hexadecimal id: a range of TWTY_UINT32, an array of TWTY_UINT8.
    EXPECT_TRUE(sh.HasSequence({Header("CAP_8116", "8116"), "  cur:    0", "  def:    0", "  typ:    TWTY_UINT32",
                                "  min:    0", "  max:    4294967295", "  stp:    1000", Header("CAP_810f", "810f"),
                                "  typ:    TWTY_UINT8", "  num:    2", "  item:   0x00", "  item:   0x01"}));
    // Item types without a line of their own: a TWTY_UNI512 enumeration, a TWTY_HANDLE array.
    EXPECT_TRUE(sh.HasSequence({Header("CAP_813d", "813d"), "  curidx: (0)", "  defidx: (0)", "  typ:    TWTY_UNI512",
                                "  num:    2", Header("CAP_8143", "8143"), "  typ:    TWTY_HANDLE", "  num:    2"}));
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_RESETALL", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_CAPABILITY/MSG_QUERYSUPPORT", "data=0101"}).size(), 1u);
}

TEST(E2eControl, CapabilityMisuseAndRefusals)
{
    SimShell sh;
    sh.Dir().Write("s.txt", "di msg_getdefault\nifstatus TWRC_FAILURE AND TWCC_BADPROTOCOL\necho source-refused\nend\n");
    sh.Run(s_szOpenZav + "run s\n"
                         "dat_capability get ICAP_PIXELTYPE\ndat_capability msg_get CAP_NOSUCHTHING\ndat_capability msg_get\n"
                         "dat_capability msg_get 7777\ndat_capability msg_set\nreturn\nsetexitstatus\nexit\n");
    // With a source open the DSM hands an identity request to the source,
    // which refuses it: its condition code is the one to print and test.
    EXPECT_TRUE(sh.HasInOrder({"TWRC_FAILURE/TWCC_BADPROTOCOL", Bold("source-refused")})) << sh.Result().out;
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_GETDEFAULT", "cc=TWCC_BADPROTOCOL"}).size(), 1u);
    EXPECT_EQ(sh.CountOf("TWRC_FAILURE/TWCC_SUCCESS"), 0);
    EXPECT_TRUE(sh.HasSequence({"", "*** unrecognized command get ***", "", "*** CAP_NOSUCHTHING not found ***", "",
                                "must provide a capability name...", "TWRC_FAILURE/TWCC_CAPUNSUPPORTED", "",
                                "must provide a capability name..."}));
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_GET "}).size(), 1u) << "only the hexadecimal id reached the source";
    EXPECT_EQ(sh.Journal({"DAT_CAPABILITY/MSG_GET ", "data=7777"}).size(), 1u);
    EXPECT_NE(sh.Result().status, 0) << "the refused triplet is the last return code";
}

TEST(E2eControl, IdentityWalkDefaultOpenAndClose)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndi getfirst\ndat_identity msg_getnext\ndi set \"Simulated Scanner 1.x\"\ndi set\n"
           "di bogus\ndi opends \"Simulated Scanner ZAV\"\ndi closeds\ndat_capability msg_get ICAP_PIXELTYPE\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"  Id.................2", "  Manufacturer.......Dravo Project",
                                "  ProductFamily......Simulated Devices", "  ProductName........Simulated Camera",
                                "  Protocol...........2.4", "  SupportedGroups....0x40000003 (DS2,IMAGE,CONTROL)",
                                "  Version............1.0", "  Country............1 (TWCY_USA)",
                                "  Language...........13 (TWLG_ENGLISH_USA)", "  Info...............1.0.0 simulated",
                                "  Id.................3"}));
    EXPECT_TRUE(sh.HasInOrder({"  ProductName........Simulated Scanner 1.x", "  Protocol...........1.9"}));
    EXPECT_TRUE(sh.HasSequence({"  Info...............1.0.0 simulated", "Must have product name in quotes...", "",
                                "*** unrecognized command bogus ***"}));
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_OPENDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS", "rc=TWRC_SUCCESS"}).size(), 1u);
    // After the close no handler reaches a source.
    EXPECT_TRUE(sh.Journal({"DAT_CAPABILITY"}).empty());
    EXPECT_EQ(sh.CountAffixed("\033[1mICAP_PIXELTYPE", ""), 0);
}

TEST(E2eControl, TheMakersTripletsOnTheZavSource)
{
    SimShell sh;
    sh.Dir().Write("firmware.bin", "image");
    sh.Run(s_szOpenZav + "dat_autocolorlearn msg_set\ndat_calibrate set TWCAL_CALIBRATIONTYPE_UDDS\n"
           "dat_calibrate get\necdo\nfd set firmware.bin\nfd set missing.bin\ndat_autocolorlearn\n"
           "dat_calibrate set\ndat_calibrate set TWCAL_BOGUS\ndat_calibrate reset\nfd get\nfd set\n"
           "dat_iccprofile\ndat_iccprofile bogus\nexit\n");
    EXPECT_TRUE(sh.HasSequence(
        {"TWRC_SUCCESS/TWCC_SUCCESS", "  00  EcdoValue.......0x0001", "      szEcdo..........<MCDODefault>",
         "      szText..........<" + Bold("Settings as the device leaves the factory") + ">", "",
         "  01  EcdoValue.......0x0002", "      szEcdo..........<MCDOColorDocument>",
         "      szText..........<" + Bold("Colour documents at 300 dpi") + ">", "", "  02  EcdoValue.......0x0003",
         "      szEcdo..........<MCDOBitonalBatch>",
         "      szText..........<" + Bold("Black and white batches at 200 dpi") + ">", "TWRC_SUCCESS/TWCC_SUCCESS",
         "TWRC_FAILURE/TWCC_BADVALUE", "", "*** must specify msg_set ***", "must specify a calibration type...",
         "unrecognized calibration type...", "", "*** unrecognized command reset ***", "",
         "*** must be msg_set with a filename... ***", "", "*** must provide a filename ***", "",
         "*** unrecognized command bogus ***"}));
    // The journal: group, type, message and the data as sent.
    EXPECT_EQ(sh.Journal({"zav DG_CUSTOM/DAT_AUTOCOLORLEARN/MSG_SET 0x1000/0x8006/0x0006", "data=null",
                          "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CUSTOM/DAT_CALIBRATE/MSG_SET 0x1000/0x9001/0x0006", "data=0300" + std::string(2048, '0'),
                          "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CUSTOM/DAT_CALIBRATE/MSG_GET 0x1000/0x9001/0x0001", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"zav DG_CONTROL/DAT_ECDO/MSG_GET 0x0001/0x800a/0x0001", "data=0000000000000000",
                          "rc=TWRC_SUCCESS"}).size(), 1u);
    std::string szFirmware = "data=6669726d776172652e62696e" + std::string(2 * (512 - 12), '0') + " ";
    EXPECT_EQ(sh.Journal({"zav DG_CUSTOM/DAT_FIRMWAREDOWNLOAD/MSG_SET 0x1000/0x9003/0x0006", szFirmware,
                          "rc=TWRC_SUCCESS"}).size(), 1u);
    // The ICC profile belongs to a transfer: refused in state 4, nothing printed.
    EXPECT_EQ(sh.Journal({"zav DG_IMAGE/DAT_ICCPROFILE/MSG_GET", "cc=TWCC_SEQERROR"}).size(), 1u);
}

// The maker's triplets here and the device triplets (test_e2e_device.cpp)
// reach a standard source, which refuses each; its pass-through echoes.
TEST(E2eControl, AStandardSourceRefusesTheMakersTriplets)
{
    SimShell sh;
    sh.Dir().Write("firmware.bin", "image");
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\ndat_autocolorlearn set\ndat_calibrate get\n"
           "dat_calibrate set TWCAL_CALIBRATIONTYPE_IMAGE\ndat_ecdo\ndat_firmwaredownload msg_set firmware.bin\n"
           "dat_consumablemeters\ndat_customdsdatagroup get\ndvi\nlg get TWGL_GENERAL TWDV_ADF\ndat_meters\nob\nov set\n"
           "pu\npu msg_getinquiry\nsr\npu msg_passthru ping\nfs\nfs info\nexit\n");
    EXPECT_EQ(sh.CountOf("TWRC_FAILURE/TWCC_BADPROTOCOL"), 17);
    EXPECT_EQ(sh.Journal({"scanner DG_", "rc=TWRC_FAILURE(1) cc=TWCC_BADPROTOCOL"}).size(), 17u);
    EXPECT_TRUE(sh.Has("ping")) << "the standard pass-through";
}

TEST(E2eControl, MalformedAnswersAreShownWithoutReadingPastThem)
{
    SimShell sh("fault nullhandle DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_PIXELTYPE times=1\n"
                "fault contype DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_PIXELTYPE value=9 times=1\n"
                "fault itemtype DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_PIXELTYPE times=1\n"
                "fault badindex DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_PIXELTYPE times=1\n"
                "fault wrongsize DG_CONTROL DAT_CAPABILITY MSG_GET cap=ICAP_PIXELTYPE value=1000 times=1\n"
                "fault unterminated DG_CONTROL DAT_CAPABILITY MSG_GETCURRENT cap=CAP_AUTHOR times=1\n");
    std::string szGet = "dat_capability msg_get ICAP_PIXELTYPE\n";
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n" + szGet + szGet + szGet + szGet + szGet +
           "dat_capability msg_getcurrent CAP_AUTHOR\nexit\n");
    std::string szHeader = Header("ICAP_PIXELTYPE", "0101");
    EXPECT_TRUE(sh.HasSequence({szHeader, "  *** no container (null handle) ***", szHeader, szHeader,
                                "  curidx:  (0)", "  defidx:  (0)", "  typ:    0xffff", "  num:    3", szHeader, "  curidx: *** index past the items *** (8)",
                                "  defidx: *** index past the items *** (8)", "  typ:    TWTY_UINT16", "  num:    3"}));
    // (An unknown item type reads no item: the symbol of 0, TWPT_BW, brings an
    // empty text.)  How many items the heap block really holds depends on the
    // allocator.
    EXPECT_EQ(sh.CountAffixed("  *** NumItems 1003, only ", " items readable ***"), 1);
    EXPECT_TRUE(sh.Has("  item:   <" + std::string(130, 'X') + ">")) << "the string stays inside its field";
}
