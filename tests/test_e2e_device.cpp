// test_e2e_device.cpp
// The device triplets through the real program and the simulated scanner:
// consumable meters, settings blocks and groups, device information, device
// log, meters, operator-panel buttons, override, pass-through, raw status,
// bridge identity and the file system; round trips, refusals, misuse and
// malformed answers of the source.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

namespace
{

const std::string s_szOpenZav = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n";

std::vector<std::string> Meter(const std::string &a_szIndex, const std::string &a_szType, const std::string &a_szFlags,
                               int a_iFrequency, int a_iLastReset, int a_iReminder)
{
    return {"  " + a_szIndex + " ConsumableMeterInfo", "       MeterType..............." + a_szType,
            "       FieldFlags.............." + a_szFlags, "       Frequency..............." + std::to_string(a_iFrequency),
            "       LastReset..............." + std::to_string(a_iLastReset),
            "       Reminder................" + std::to_string(a_iReminder)};
}

} // namespace

TEST(E2eDevice, ConsumableMetersSetResetAndGet)
{
    SimShell sh;
    sh.Run(s_szOpenZav + "dat_consumablemeters msg_set TWCONMTR_CLEANING 1 100 50 90 TWCONMTR_SEPARATIONPAD 1 200\n"
                         "dat_consumablemeters get\n"
                         "dat_consumablemeters msg_reset TWCONMTR_CLEANING\ndat_consumablemeters\n"
                         "dat_consumablemeters set\ndat_consumablemeters msg_reset 9\ndat_consumablemeters msg_set\nexit\n");
    std::vector<std::string> aszAfterSet = {"  ConsumableMeters.Total.......2"};
    for (const auto &asz : {Meter("00", "TWCONMTR_CLEANING", "0x0001", 100, 50, 90),
                            Meter("01", "TWCONMTR_SEPARATIONPAD", "0x0001", 200, 0, 0)})
        aszAfterSet.insert(aszAfterSet.end(), asz.begin(), asz.end());
    EXPECT_TRUE(sh.HasSequence(aszAfterSet));
    std::vector<std::string> aszAfterReset = Meter("00", "TWCONMTR_CLEANING", "0x0001", 100, 0, 90);
    EXPECT_TRUE(sh.HasSequence(aszAfterReset)) << "the reset meter starts again";
    // The record sent: count 2, the second meter of type 6 with its flags and frequency.
    // (then a record without meters, which changes nothing)
    std::vector<std::string> aszSet = sh.Journal({"DAT_CONSUMABLEMETERS/MSG_SET", "rc=TWRC_SUCCESS"});
    ASSERT_EQ(aszSet.size(), 2u);
    EXPECT_NE(aszSet[1].find("container=0000000000000000 "), std::string::npos) << aszSet[1];
    std::string szSecond = "0600000000000000" "0100000000000000" "c800000000000000";
    EXPECT_NE(aszSet[0].find("container=0200000000000000" "0100000000000000"), std::string::npos) << aszSet[0];
    EXPECT_NE(aszSet[0].find(szSecond, 16 + 2 * 552), std::string::npos) << aszSet[0];
    EXPECT_EQ(sh.CountOf("*** unrecognized command set ***"), 1) << "only msg_set is a set";
    EXPECT_TRUE(sh.Has("TWRC_FAILURE/TWCC_BADVALUE")) << "a meter the device lacks";
}

TEST(E2eDevice, SettingsBlocksRoundTripThroughFiles)
{
    SimShell sh;
    sh.Dir().Write("group.bin", std::string("ab\0\xff\ncd", 7));
    sh.Dir().Write("empty.bin", "");
    sh.Run(s_szOpenZav + "dat_customdsdatagroup get\n"
                         "dat_customdsdatagroup set group.bin TWCDG_GROUP_SORTBARCODE\n"
                         "dat_customdsdatagroup get TWCDG_GROUP_SORTBARCODE back.bin\n"
                         "dat_customdsdatagroup get TWCDG_GROUP_IAPRINTER\n"
                         "dat_customdsdatagroup set group.bin\n"
                         "dat_customdsdatagroup set missing.bin TWCDG_GROUP_IAPRINTER\n"
                         "dat_customdsdata get data.bin\ndat_customdsdata set data.bin\ndat_customdsdata get data2.bin\n"
                         "dat_customdsdata set empty.bin\n"
                         "dat_customdsdata get nodir/x.bin\nexit\n");
    EXPECT_TRUE(sh.Has("  Group...........0 ()"));
    EXPECT_TRUE(sh.Has("  Group...........4 (SORTBARCODE)"));
    EXPECT_TRUE(sh.Has("  Group...........1 (IAPRINTER)"));
    EXPECT_EQ(sh.Dir().Read("back.bin"), std::string("ab\0\xff\ncd", 7)) << "the group block comes back unchanged";
    EXPECT_EQ(sh.CountOf("  InfoLength......7"), 2);
    EXPECT_EQ(sh.Journal({"DAT_CUSTOMDSDATAGROUP/MSG_SET", "container=616200ff0a6364", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.CountOf("unable to open file..."), 1);
    EXPECT_EQ(sh.Dir().Read("data.bin"), sh.Dir().Read("data2.bin")) << "the settings block comes back unchanged";
    EXPECT_TRUE(sh.Has("  InfoLength......0")) << "an empty file sends an empty block";
    EXPECT_EQ(sh.CountOf("unable to create file..."), 1);
    EXPECT_EQ(sh.Journal({"DAT_CUSTOMDSDATAGROUP/MSG_SET"}).size(), 1u) << "a set without a group sends nothing";
    EXPECT_EQ(sh.CountOf("usage: dat_customdsdatagroup msg_set filename "
                         "TWCDG_GROUP_IAPRINTER|TWCDG_GROUP_NOIAPRINTER|TWCDG_GROUP_SORTBARCODE..."),
              1);
}

TEST(E2eDevice, DeviceInformationLogMetersAndIdentity)
{
    SimShell sh;
    sh.Run(s_szOpenZav + "dvi\ndvi msg_set\ndvi\ndvi msg_reset\ndvi foo\n"
                         "dat_log get TWGL_GENERAL TWDV_ADF\n"
                         "lg get TWGL_QNLOG x *star \"jam at tray\" TRUE\n"
                         "lg get TWGL_OPERATOR TWDV_FLATBED op.txt\n"
                         "lg get TWGL_OPERATOR\nlg get TWGL_NONE TWDV_ADF\nlg get TWGL_GENERAL TWDV_NONE\n"
                         "dat_meters\nti\nexit\n");
    EXPECT_EQ(sh.CountOf("  szDeviceName........ZAV Simulated Scanner"), 1);
    EXPECT_EQ(sh.CountOf("  szDeviceName........"), 1) << "the set clears the name";
    EXPECT_TRUE(sh.HasSequence({"  dwFields............2047", "  dwModelNumber.......7001",
                                "  szModelName.........ZAV-SIM 7001", "  szProtocol..........USB 2.0"}));
    EXPECT_EQ(sh.CountOf("  dwSorterFlags.......0x0003"), 1);
    EXPECT_EQ(sh.CountOf("  dwSorterFlags.......0x0000"), 1);
    EXPECT_EQ(sh.Journal({"DAT_DEVICEINFO/MSG_RESET", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.Journal({"DAT_DEVICEINFO"}).size(), 4u) << "an unknown word sends nothing";

    std::string szDir = sh.Dir().Path();
    EXPECT_TRUE(sh.HasSequence({"  LogType........0", "  DeviceType.....1", "  Filename.......<" + szDir + "/TWGL_GENERAL.log>",
                                "  Description....<>", "  SaveImages.....0"}));
    EXPECT_TRUE(sh.HasSequence({"  LogType........3", "  DeviceType.....0", "  Filename.......<" + szDir + "/TWGL_QNLOG.qnlog>",
                                "  Description....<jam at tray>", "  SaveImages.....1"}));
    EXPECT_EQ(sh.Dir().Read("TWGL_QNLOG.qnlog"), "Simulated Scanner ZAV service log\ndevice: all\ndescription: jam at tray\n"
                                                 "save images: yes\nsheets in the feeder: 3\n");
    EXPECT_NE(sh.Dir().Read("op.txt").find("operator log\ndevice: flatbed"), std::string::npos);
    EXPECT_EQ(sh.CountOf("must specify TWGL_GENERAL|TWGL_GENERAL_XML|TWGL_OPERATOR|TWGL_QNLOG|TWGL_CUSTOM1 and "
                         "TWDV_ADF|TWDV_FLATBED and if TWLG_QNLOG, then a reason and true|false for saving images..."), 1);
    EXPECT_EQ(sh.CountOf("unrecognized log type..."), 1);
    EXPECT_EQ(sh.CountOf("unrecognized device type..."), 1);

    EXPECT_TRUE(sh.HasSequence({"  PageCountMeter..........12345", "  PowerOnMeter............360",
                                "  TransportPowerOnMeter...120", "  FirstImageScannedDate...<2024/01/15 09:30:00>"}));
    EXPECT_EQ(sh.Journal({"zav DG_CUSTOM/DAT_METERS/MSG_GET 0x1000/0x9006/0x0001", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_EQ(sh.CountAffixed("  dsPath......................", "/simscannerzav.ds"), 1);
    EXPECT_TRUE(sh.HasSequence({"  identity.ProductName........Simulated Scanner ZAV", "  identity.Protocol...........2.4",
                                "  identity.SupportedGroups....0x40001003", "  identity.Version............1.0",
                                "  identity.Country............1", "  identity.Language...........13",
                                "  identity.Info...............ZAV v1.0.0 simulated"}));
}

TEST(E2eDevice, ButtonsOverridePassThruAndRawStatus)
{
    SimShell sh;
    sh.Dir().Write("task.json", "{\"task\":{}}");
    sh.Dir().Write("doc.xml", "<override></override>");
    ASSERT_EQ(mkfifo(sh.Dir().File("fifo").c_str(), 0600), 0);
    sh.Run(s_szOpenZav + "ob\nob set 3,Go,5,Mode,7 1,Stop,2 0\nob\nob \"\"\n"
                         "ov set\nov reset\nov\nov set doc.xml\nov set nosuch.xml\nov set fifo\nov set .\n"
                         "pu\npu msg_getinquiry\npu msg_passthru \"hello device\"\npu msg_passthru task.json\npu msg_passthru\n"
                         "sr\nsr set\nsr msg_getdefault\nsr get\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"", "      OCPButton NumDataFields...1"}));
    EXPECT_TRUE(sh.HasSequence({"", "      OCPButton NumDataFields...3"})) << "the first button set";
    std::vector<std::string> aszOb = sh.Journal({"DAT_OCPBUTTONS/MSG_SET", "rc=TWRC_SUCCESS"});
    ASSERT_EQ(aszOb.size(), 1u);
    // The second text and value of the first button; the second button's value.
    EXPECT_NE(aszOb[0].find("4d6f6465"), std::string::npos);
    EXPECT_NE(aszOb[0].find("53746f70"), std::string::npos);
    // The override document, and its outcome printed on success too.
    EXPECT_EQ(sh.CountOf("TWRC_SUCCESS/TWCC_SUCCESS"), 3);
    std::string szDoc = "<override>\n\t<documenttype>discovery</documenttype>\n\t<ecdo>MCDODefault</ecdo>\n</override>";
    EXPECT_EQ(sh.Journal({"DAT_OVERRIDE/MSG_SET", "container=" + shelltest::Hex(szDoc) + " "}).size(), 1u);
    EXPECT_EQ(sh.Journal({"DAT_OVERRIDE/MSG_SET", "container=3c6f766572726964653e3c2f6f766572726964653e "}).size(), 1u) << "a prepared block";
    EXPECT_EQ(sh.Journal({"DAT_OVERRIDE/MSG_SET"}).size(), 2u) << "a block that cannot be opened sends nothing";
    EXPECT_EQ(sh.CountOf("OsMemSharedAllocReadonly failed"), 3) << "a missing file, a FIFO, a folder";
    EXPECT_EQ(sh.CountOf("*** unrecognized command  ***"), 2) << "ob with an empty word, ov without one";
    // The meter read: a READ(10) of 30 bytes, decoded big-endian.
    EXPECT_EQ(sh.Journal({"DAT_PASSTHRU/MSG_GET", "container=28008000534d00001e00 ", "rc=TWRC_SUCCESS"}).size(), 1u);
    EXPECT_TRUE(sh.HasSequence({"  pSizeOf_ScsiMeters.......30", "  pPowerOnMeter............360",
                                "  pTransportPowerOnMeter...120", "  pPageCountMeter..........12345",
                                "  pHour....................9", "  pMinute..................30", "  pMonth...................1",
                                "  pDay.....................15", "  pYear....................2024",
                                "  pFrontLampTime...........1000", "  pRearLampTime............990"}));
    EXPECT_TRUE(sh.Has("ZAV Simulated Scanner 7001 firmware 1.2"));
    EXPECT_TRUE(sh.Has("hello device"));
    EXPECT_EQ(sh.Journal({"MSG_PASSTHRU", "container=68656c6c6f2064657669636500 "}).size(), 1u) << "text with its NUL";
    EXPECT_TRUE(sh.Has("{\"task\":{}}")) << "a file's contents are the command";
    EXPECT_EQ(sh.CountOf("Must supply a task or a filename container a task..."), 1);
    // Raw status: the power-on status, then what the set left, the defaults.
    EXPECT_TRUE(sh.HasSequence({"  CurrentState........4", "  LastZAVStatus.......2", "  LastSenseData.......6/41/0",
                                "  LastText............Power on reset", "  LastToolkitStatus...0"}));
    EXPECT_EQ(sh.CountOf("  LastText............"), 1) << "the set left an empty status";
    EXPECT_EQ(sh.CountOf("  LastText............Ready"), 1);
    EXPECT_EQ(sh.Journal({"DAT_STATUSRAW/MSG_GET "}).size(), 2u) << "a set is read back";
    EXPECT_EQ(sh.CountOf("*** unrecognized command get ***"), 1);
}

TEST(E2eDevice, CameraFileSystem)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\nfs\nfs cd /Camera_Gray_Top\nfs info\nfs cd /nowhere\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"00 OutputName.........\033[1m/Camera_Color_Top\033[0m", "   FileType...........1",
                                "   InputName..........", "   CreateTimeDate.....2000/01/01 12:00:00.000",
                                "   ModifiedTimeDate...2000/01/01 12:00:00.000", "   DeviceGroupMask....0x00000001",
                                "   FreeSpace..........0", "   NumberOfFiles......0", "   NumberOfSnippets...0", ""}));
    EXPECT_TRUE(sh.Has("05 OutputName.........\033[1m/Camera_Bitonal_Bottom\033[0m"));
    EXPECT_EQ(sh.CountOf("  OutputName........./Camera_Gray_Top"), 2);
    EXPECT_TRUE(sh.HasSequence({"*** unrecognized name.../nowhere ***", "TWRC_FAILURE/TWCC_FILENOTFOUND"}));
    EXPECT_EQ(sh.Journal({"DAT_FILESYSTEM/MSG_GETNEXTFILE", "rc=TWRC_ENDOFLIST"}).size(), 1u);
}

TEST(E2eDevice, MalformedAnswers)
{
    SimShell sh("[zav]\n"
                "fault wrongsize DG_CONTROL DAT_CONSUMABLEMETERS MSG_GET value=100\n"
                "fault unterminated DG_CONTROL DAT_DEVICEINFO MSG_GET\n"
                "fault unterminated DG_CUSTOM DAT_STATUSRAW MSG_GET\n"
                "fault unterminated DG_CUSTOM DAT_METERS MSG_GET\n"
                "fault nullhandle DG_CONTROL DAT_OCPBUTTONS MSG_GET\n"
                "fault nullhandle DG_CONTROL DAT_CUSTOMDSDATAGROUP MSG_GET\n"
                "fault refuse DG_CONTROL DAT_TWUNKIDENTITY MSG_GET cc=TWCC_BUMMER\n");
    sh.Run(s_szOpenZav + "dat_consumablemeters\ndvi\nsr\ndat_meters\nob\n"
                                       "dat_customdsdatagroup get TWCDG_GROUP_IAPRINTER out.bin\nexit\n");
    EXPECT_TRUE(sh.Has("  ConsumableMeters.Total.......102"));
    EXPECT_EQ(sh.CountAffixed("  ", " ConsumableMeterInfo"), 63) << "no more than the kept copy holds";
    EXPECT_TRUE(sh.Has("  szModelName........." + std::string(256, 'X')));
    EXPECT_TRUE(sh.Has("  LastText............" + std::string(256, 'X')));
    EXPECT_TRUE(sh.Has("  FirstImageScannedDate...<" + std::string(40, 'X') + ">"));
    EXPECT_EQ(sh.CountOf("unable to lock memory..."), 1);
    EXPECT_EQ(sh.Dir().Read("out.bin"), "") << "a null block writes an empty file";
}

TEST(E2eDevice, ExtendedImageInfoRequests)
{
    // Before a transfer the source refuses; the request holds every item,
    // and TWEI_ICCPROFILE too when the configuration names a profile.
    SimShell sh;
    sh.Run(s_szOpenZav + "ex\nex msg_bogus\nexit\n");
    EXPECT_TRUE(sh.HasSequence({"TWRC_FAILURE/TWCC_SEQERROR", "unrecognized command..."}));
    EXPECT_EQ(sh.Journal({"DAT_EXTIMAGEINFO/MSG_GET", "data=4300000000000000" "19120000"}).size(), 1u);
    SimShell shIcc;
    shIcc.Dir().MakeDir("cfg");
    shIcc.Dir().Write("cfg/const.ini", "[ossettings]\niccprofile=sRGB.icc\n");
    shIcc.SetEnv("ZAV_OSCFGDIR", shIcc.Dir().File("cfg"));
    shIcc.Run(s_szOpenZav + "dat_extimageinfo\nexit\n");
    std::vector<std::string> aszCall = shIcc.Journal({"DAT_EXTIMAGEINFO/MSG_GET", "data=4400000000000000"});
    ASSERT_EQ(aszCall.size(), 1u);
    // TWEI_ICCPROFILE (0x1240) follows TWEI_FRAME (0x123e), the 18th entry.
    EXPECT_NE(aszCall[0].find("3e12" + std::string(28, '0') + "4012"), std::string::npos) << aszCall[0];
}

TEST(E2eDevice, ExtendedImageInfoAfterANativeTransfer)
{
    // The third to fifth requests are answered badly: texts without their
    // terminator, a count past the request, null handles.
    SimShell sh("cap ICAP_EXTIMAGEINFO onevalue bool TRUE\n[zav]\n"
                "fault unterminated DG_IMAGE DAT_EXTIMAGEINFO MSG_GET skip=2 times=1\n"
                "fault wrongsize DG_IMAGE DAT_EXTIMAGEINFO MSG_GET value=500 skip=2 times=1\n"
                "fault nullhandle DG_IMAGE DAT_EXTIMAGEINFO MSG_GET skip=2 times=1\n");
    sh.Run(s_szOpenZav + "ui msg_enableds\nwait 2000\nxn\n"
                         "ex msg_get TWEI_BARCODETEXT twei_barcodetextlength TWEI_NOSUCH TWEI_HDR_DESKEWANGLE\n"
                         "ex\nex msg_get TWEI_HDR_BOOKNAME_A TWEI_HDR_BOOKNAME_B\nex msg_get TWEI_PAGENUMBER\n"
                         "ex msg_get TWEI_BARCODETEXT TWEI_BARCODETEXTLENGTH TWEI_BARCODEX\n"
                         "px msg_endxfer\nex msg_getspecial TWEI_PAGENUMBER\nexit\n");
    auto line = [](const std::string &a_szName, const std::string &a_szType, const std::string &a_szValue) {
        return a_szName + std::string(32 - a_szName.size(), '.') + a_szType + std::string(18 - a_szType.size(), '.') +
               a_szValue;
    };
    EXPECT_TRUE(sh.HasSequence({"Unable to find: TWEI_NOSUCH", "", "  \033[31m\033[1mExtended Image Info\033[0m",
                                line("TWEI_BARCODETEXT", "TWTY_HANDLE", "DRAVO-0001;5a 00 01 ff "),
                                line("TWEI_BARCODETEXTLENGTH", "TWTY_UINT32", "10;4"),
                                line("TWEI_HDR_DESKEWANGLE", "TWTY_INT32", "1.0005"), ""}));
    EXPECT_TRUE(sh.Has(line("TWEI_SKEWORIGINALANGLE", "TWTY_INT32", "-0.5000")));
    // The malformed answers are shown without reading past them.
    const std::string szHeader = "  \033[31m\033[1mExtended Image Info\033[0m";
    EXPECT_TRUE(sh.HasSequence({szHeader, line("TWEI_HDR_BOOKNAME_A", "TWTY_STR32", std::string(34, 'X')),
                                line("TWEI_HDR_BOOKNAME_B", "TWTY_STR64", std::string(66, 'X')), ""}));
    EXPECT_TRUE(sh.HasSequence({szHeader, line("TWEI_PAGENUMBER", "TWTY_UINT32", "1"), ""}));
    EXPECT_TRUE(sh.HasSequence({szHeader, line("TWEI_BARCODETEXT", "TWTY_HANDLE", "NULL"),
                                line("TWEI_BARCODETEXTLENGTH", "TWTY_UINT32", "NULL"),
                                line("TWEI_BARCODEX", "TWTY_UINT32", "NULL"), ""}));
    EXPECT_EQ(sh.CountAffixed("TWEI_", ""), 3 + 67 + 2 + 1 + 3 + 1);
    // Before the next transfer: the maker's MSG_GETSPECIAL, for the image to come.
    EXPECT_TRUE(sh.Has(line("TWEI_PAGENUMBER", "TWTY_UINT32", "2")));
    EXPECT_EQ(sh.Journal({"DAT_EXTIMAGEINFO/MSG_GETSPECIAL", "state=6->6", "rc=TWRC_SUCCESS"}).size(), 1u);
}
