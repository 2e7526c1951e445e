// test_e2e_capdump.cpp
// dump and the supported-capability validation against the simulated
// scanner: the XML file's content, and the duplicated, remove and add lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

using e2e::Count;

TEST(E2eCapDump, TheFileHoldsEverySupportedCapabilityAsEscapedXml)
{
    SimShell sh("[scanner]\nproductname = \"A&B <Scanner>\"\n"
                "cap ICAP_FRAMES enum frame 0,0,1,1 0,0,2,2.5 0,0,3,3 max=3\n");
    e2e::Result r = sh.Run("twcreate 2.4\ndsmopen\ndump\ndsopen \"A&B <Scanner>\"\ndump\ndump\nexit\n");
    EXPECT_EQ(r.status, 0);
    std::string szXml = sh.Dir().Read("Desktop/Dravo-DumpCaps.xml");
    EXPECT_EQ(szXml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<twain productname=\"A&amp;B &lt;Scanner&gt;\">\n", 0),
              0u)
        << szXml.substr(0, 200);
    EXPECT_EQ(Count(szXml, "<twain "), 1) << "the second dump replaced the first";
    EXPECT_EQ(Count(szXml, "\t<capability>\n"), Count(szXml, "\t</capability>\n"));
    EXPECT_GT(Count(szXml, "\t<capability>\n"), 50);
    EXPECT_NE(szXml.find("\t<name>ICAP_PIXELTYPE</name>\n\t\t<specification>twain</specification>\n"
                         "\t\t<itemtype>TWTY_UINT16</itemtype>\n\t\t<enumeration>\n\t\t\t<current>TWPT_BW</current>\n"
                         "\t\t\t<default>TWPT_BW</default>\n\t\t\t<numitems>3</numitems>\n\t\t\t<item>TWPT_BW</item>\n"),
              std::string::npos);
    // Three frames in order; the supported capabilities by name; a range.
    EXPECT_NE(szXml.find("\t\t\t<numitems>3</numitems>\n\t\t\t<itemframe>\n\t\t\t\t<left>0</left>\n\t\t\t\t<top>0</top>\n"
                         "\t\t\t\t<right>1</right>\n\t\t\t\t<bottom>1</bottom>\n\t\t\t</itemframe>\n\t\t\t<itemframe>\n"
                         "\t\t\t\t<left>0</left>\n\t\t\t\t<top>0</top>\n\t\t\t\t<right>2</right>\n"
                         "\t\t\t\t<bottom>2.5</bottom>\n"),
              std::string::npos);
    EXPECT_NE(szXml.find("\t\t<array>\n\t\t<numitems>"), std::string::npos);
    EXPECT_NE(szXml.find("\t\t\t<item>ICAP_PIXELTYPE</item>\n"), std::string::npos);
    EXPECT_NE(szXml.find("\t\t<range>\n\t\t\t<currentvalue>0</currentvalue>\n\t\t\t<defaultvalue>0</defaultvalue>\n"
                         "\t\t\t<maxvalue>1000</maxvalue>\n\t\t\t<minvalue>-1000</minvalue>\n\t\t\t<setsize>1</setsize>\n"),
              std::string::npos);
    // A capability whose reset is refused (it needs JPEG) is left out.
    EXPECT_EQ(sh.CountOf("Failed to dump...ICAP_JPEGQUALITY"), 2);
    EXPECT_EQ(szXml.find("<name>ICAP_JPEGQUALITY</name>"), std::string::npos);
}

TEST(E2eCapDump, CustomCapabilitiesAreMarkedAndAWrongStateWritesNothing)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\ndump\nexit\n");
    std::string szXml = sh.Dir().Read("Desktop/Dravo-DumpCaps.xml");
    EXPECT_NE(szXml.find("\t<name>CAP_SIDESDIFFERENT</name>\n\t\t<specification>wexto</specification>\n"),
              std::string::npos);

    // A colour capability without TWQC_RESET: the colour pixel type first,
    // then MSG_GET; a bitonal one with it: black and white, then MSG_RESET.
    SimShell shFlags("cap ICAP_GAMMA enum fix32 1 2 query=0x4001\ncap ICAP_ROTATION enum fix32 0 90 query=0x2011\n");
    shFlags.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\ndump\nexit\n");
    std::vector<std::string> aszCalls = shFlags.Journal({"DAT_CAPABILITY/MSG_"});
    struct Expect
    {
        const char *szMsg;
        const char *szData;
        const char *szPixelType;
    };
    for (const Expect &expect : {Expect{"MSG_GET ", "data=0811", "container=04000200"},
                                 Expect{"MSG_RESET ", "data=2111", "container=04000000"}})
    {
        size_t ii = 0;
        while ((ii < aszCalls.size()) && ((aszCalls[ii].find(expect.szMsg) == std::string::npos) ||
                                          (aszCalls[ii].find(expect.szData) == std::string::npos)))
            ii++;
        ASSERT_TRUE((ii >= 1) && (ii < aszCalls.size())) << expect.szData;
        EXPECT_NE(aszCalls[ii - 1].find(expect.szPixelType), std::string::npos) << aszCalls[ii - 1];
    }
    EXPECT_TRUE(shFlags.Journal({"MSG_RESET ", "data=0811"}).empty());

    SimShell shState;
    shState.Run("twcreate 2.4\ndsmopen\ndump\nexit\n");
    EXPECT_EQ(shState.Dir().Read("Desktop/Dravo-DumpCaps.xml"), "");
}

// The source's list against what answers: a doubled entry, one that does
// not answer, and the answering ones it lacks (a sequence error counts as an
// answer; an id without a name asks for the symbol table to be fixed).
TEST(E2eCapDump, TheValidationNamesDuplicatesRemovalsAndAdditions)
{
    SimShell sh("[scanner]\ncap CAP_SUPPORTEDCAPS array uint16 0x1001 0x9999 0x1001 0x1101 0x9999\n");
    e2e::Result r = sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\ndscap CAP_SUPPORTEDCAPS validate\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({"---Validating--------------------------", "  processing TWPT_RGB...",
                               "  processing TWPT_BW...", "  duplicated CAP_CAPTION",
                               "  duplicated CAP_0x9999 (and fix lookup.dbc)", "  remove CAP_0x9999 (and fix lookup.dbc)",
                               "  remove CAP_0x9999 (and fix lookup.dbc)", "  add CAP_XFERCOUNT"}))
        << r.out;
    EXPECT_EQ(sh.CountAffixed("  duplicated ", ""), 2);
    EXPECT_EQ(sh.CountAffixed("  remove ", ""), 2);
    EXPECT_TRUE(sh.Has("  add ICAP_JPEGQUALITY"));
    EXPECT_TRUE(sh.Has("  add CAP_0x8100 (and fix lookup.dbc)"));
    EXPECT_FALSE(sh.Has("  add ICAP_BRIGHTNESS"));
    EXPECT_TRUE(sh.Journal({"DAT_CAPABILITY/MSG_SET ", "data=1411"}).empty()) << "ICAP_FRAMES is not in the list";
}

// The ZAV source lists every setting of the enabling chain: each is set in
// its order before the walk, which starts from the root on every run.
TEST(E2eCapDump, TheEnablingChainRunsInOrderAndEveryWalkStartsAtTheRoot)
{
    SimShell sh;
    sh.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\ndscap CAP_SUPPORTEDCAPS validate\nexit\n");
    std::vector<std::string> aszSet = sh.Journal({"DAT_CAPABILITY/MSG_SET "});
    const std::vector<std::string> aszChain = {"data=b780", "data=1411", "data=2280", "data=9580", "data=0280",
                                               "data=0911", "data=2480", "data=b480", "data=0001", "data=2710"};
    size_t uFirst = 0;
    while ((uFirst < aszSet.size()) && (aszSet[uFirst].find(aszChain[0]) == std::string::npos))
        uFirst++;
    ASSERT_GE(aszSet.size(), uFirst + aszChain.size());
    for (size_t ii = 0; ii < aszChain.size(); ii++)
        EXPECT_NE(aszSet[uFirst + ii].find(aszChain[ii]), std::string::npos) << aszSet[uFirst + ii];
    EXPECT_FALSE(sh.Has("  add ICAP_IMAGEEDGEFILL"));

    SimShell shCamera;
    shCamera.UnsetEnv("SIMSCANNER_JOURNAL");
    shCamera.Run("twcreate 2.4\ndsmopen\ndsopen \"Simulated Camera\"\ndscap CAP_SUPPORTEDCAPS validate\n"
                 "dscap CAP_SUPPORTEDCAPS validate\nexit\n");
    EXPECT_EQ(shCamera.CountOf("  processing /Camera_Bitonal_Bottom..."), 2);
    EXPECT_EQ(shCamera.CountOf("  processing /Camera_Color_Top..."), 2);
}
