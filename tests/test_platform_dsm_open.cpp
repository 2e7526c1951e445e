// test_platform_dsm_open.cpp
//
// The stand-in DSM through DSM_Entry: opening and closing it by several
// applications, the list of Data Sources, the default source, opening and
// closing sources, and its own triplets without their data. (The folder
// beside the DSM, searched without TWAINDSM_SOURCES, holds the simulated
// sources every end-to-end run and the connection's tests open.)

#include "test_platform_dsm.h"

#include <set>
#include <vector>

using namespace dsmtest;

namespace
{
std::vector<TW_IDENTITY> ListSources(App& a_app)
{
    std::vector<TW_IDENTITY> vtwidentity;
    TW_IDENTITY twidentity = {};
    TW_UINT16 twrc = a_app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity);
    while (twrc == TWRC_SUCCESS && vtwidentity.size() < 100)
    {
        vtwidentity.push_back(twidentity);
        memset(&twidentity, 0, sizeof(twidentity));
        twrc = a_app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &twidentity);
    }
    EXPECT_EQ(twrc, TWRC_ENDOFLIST);
    return vtwidentity;
}

std::vector<std::string> Names(const std::vector<TW_IDENTITY>& a_vtwidentity)
{
    std::vector<std::string> vszNames;
    for (const TW_IDENTITY& twidentity : a_vtwidentity)
    {
        vszNames.push_back(Name(twidentity));
    }
    return vszNames;
}

const std::string s_szUnterminated(33, 'Z');

TW_IDENTITY ById(TW_UINT32 a_u32Id)
{
    TW_IDENTITY twidentity = {};
    twidentity.Id = a_u32Id;
    return twidentity;
}

TW_IDENTITY Empty()
{
    return ById(0);
}
} // namespace

TEST_F(DsmTest, TwoApplicationsOpenAndCloseWithTheirOwnIds)
{
    App app1("First");
    App app2("Second");
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app2.OpenDsm(), TWRC_SUCCESS);
    EXPECT_NE(V(app1.Identity()->Id), 0UL);
    EXPECT_NE(V(app2.Identity()->Id), 0UL);
    EXPECT_NE(V(app1.Identity()->Id), V(app2.Identity()->Id));
    EXPECT_EQ(OpenApplications(), 2UL);

    // Each application keeps its own state: closing one leaves the other working.
    EXPECT_EQ(app1.CloseDsm(), TWRC_SUCCESS);
    EXPECT_EQ(OpenApplications(), 1UL);
    TW_IDENTITY twidentity;
    EXPECT_EQ(app2.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(app1.FailCc(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity)), TWCC_SEQERROR);
    EXPECT_EQ(app2.CloseDsm(), TWRC_SUCCESS);
    EXPECT_EQ(OpenApplications(), 0UL);

    // A closed application opens again under a new Id.
    TW_UINT32 u32Old = app1.Identity()->Id;
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    EXPECT_NE(V(app1.Identity()->Id), u32Old);
}

TEST_F(DsmTest, OpeningTwiceOrClosingUnopenedIsASequenceError)
{
    App& app = OpenApp();
    TW_UINT32 u32Id = app.Identity()->Id;
    EXPECT_EQ(app.FailCc(app.OpenDsm()), TWCC_SEQERROR);
    EXPECT_EQ(V(app.Identity()->Id), u32Id);
    EXPECT_EQ(OpenApplications(), 1UL);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.CloseDsm()), TWCC_SEQERROR);
    // Reading the condition code resets it.
    EXPECT_EQ(app.DsmStatus(), TWCC_SUCCESS);
}

TEST_F(DsmTest, Dsm2FlagForEveryApplicationEntryPointsOnlyForApp2)
{
    App app2("Two", true);
    App app1("One", false);
    ASSERT_EQ(app2.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    // (DF_DSM2 for applications of both generations: test_e2e_dsm.cpp)
    EXPECT_NE(V(app1.Identity()->SupportedGroups) & DF_DSM2, 0UL);
    EXPECT_NE(V(app2.Identity()->SupportedGroups) & DG_CUSTOM, 0UL) << "the application's own groups stay";
    // The entry points go to the second-generation application only.
    EXPECT_NE(app2.EntryPoint().DSM_MemAllocate, nullptr);
    TW_ENTRYPOINT twentrypoint = {};
    twentrypoint.Size = sizeof(twentrypoint);
    EXPECT_EQ(app1.FailCc(app1.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &twentrypoint)), TWCC_BADPROTOCOL);
    EXPECT_EQ(twentrypoint.DSM_MemAllocate, nullptr);
}

TEST_F(DsmTest, CallsOfUnknownApplicationsAndNullOriginsFail)
{
    App app;
    TW_IDENTITY twidentity;
    // Not opened yet: every DSM triplet is out of sequence.
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity)), TWCC_SEQERROR);
    TW_ENTRYPOINT twentrypoint = {};
    twentrypoint.Size = sizeof(twentrypoint);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &twentrypoint)), TWCC_SEQERROR);
    TW_CAPABILITY twcapability = {};
    EXPECT_EQ(app.FailCc(app.Call(&twidentity, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapability)), TWCC_SEQERROR);

    // No origin at all is a protocol error, and the DSM survives it.
    EXPECT_EQ(app.FailCc(Entry(nullptr, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr)), TWCC_BADPROTOCOL);
    EXPECT_EQ(Entry(nullptr, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_FAILURE);
    EXPECT_EQ(Entry(nullptr, nullptr, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(OpenApplications(), 0UL);

    // Unknown triplets of the DSM's own data argument types.
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_GET, nullptr)), TWCC_BADPROTOCOL);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity)), TWCC_BADPROTOCOL);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_SET, &twidentity)), TWCC_BADPROTOCOL);
}

TEST_F(DsmTest, SourcesAreListedInFolderOrderUntilEndOfList)
{
    App& app = OpenApp();
    TW_IDENTITY twidentity;
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &twidentity), TWRC_ENDOFLIST);   // before any MSG_GETFIRST
    std::vector<TW_IDENTITY> vtwidentity = ListSources(app);
    // broken.ds has no DS_Entry and readme.txt is no Data Source; vendor/ is
    // one level down and comes after the folder's own files.
    std::vector<std::string> vszExpected = {"Fixture Alpha", "Fixture Refuser", s_szUnterminated, "Fixture Beta"};
    EXPECT_EQ(Names(vtwidentity), vszExpected);

    std::set<TW_UINT32> setu32Ids;
    for (const TW_IDENTITY& twidentity : vtwidentity)
    {
        EXPECT_NE(V(twidentity.Id), 0UL);
        EXPECT_NE(V(twidentity.Id), V(app.Identity()->Id));
        setu32Ids.insert(V(twidentity.Id));
    }
    EXPECT_EQ(setu32Ids.size(), vtwidentity.size());
    EXPECT_EQ(vtwidentity[0].ProtocolMajor, 2);
    EXPECT_NE(V(vtwidentity[0].SupportedGroups) & DF_DS2, 0UL);
    EXPECT_EQ(vtwidentity[3].ProtocolMajor, 1);
    EXPECT_EQ(V(vtwidentity[3].SupportedGroups) & DF_DS2, 0UL);

    // The end stays the end; a new walk starts again from the first.
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &twidentity), TWRC_ENDOFLIST);
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
    EXPECT_EQ(V(twidentity.Id), V(vtwidentity[0].Id));
}

TEST_F(DsmTest, SourceFoldersComeFromTheEnvironmentInOrder)
{
    setenv("TWAINDSM_SOURCES", (FixtureFolder("sources2") + ":" + FixtureFolder("sources")).c_str(), 1);
    App& app = OpenApp();
    std::vector<std::string> vszExpected = {"Fixture Gamma", "Fixture Alpha", "Fixture Refuser", s_szUnterminated,
                                            "Fixture Beta"};
    EXPECT_EQ(Names(ListSources(app)), vszExpected);
    ASSERT_EQ(app.CloseDsm(), TWRC_SUCCESS);

    // The list is read again at every MSG_OPENDSM.
    setenv("TWAINDSM_SOURCES", FixtureFolder("sources2").c_str(), 1);
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    EXPECT_EQ(Names(ListSources(app)), std::vector<std::string>{"Fixture Gamma"});
}

TEST_F(DsmTest, NoSourcesAtAll)
{
    setenv("TWAINDSM_SOURCES", FixtureFolder("no-such-folder").c_str(), 1);
    App& app = OpenApp();
    TW_IDENTITY twidentity;
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_ENDOFLIST);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity)), TWCC_NODS);
    EXPECT_EQ(app.FailCc(app.OpenDs(0, Empty())), TWCC_NODS);
}

TEST_F(DsmTest, UnterminatedTextsOfASourceAreCutInsideTheirFields)
{
    App& app = OpenApp();
    std::vector<TW_IDENTITY> vtwidentity = ListSources(app);
    ASSERT_EQ(vtwidentity.size(), 4U);
    const TW_IDENTITY& twidentity = vtwidentity[2];
    EXPECT_EQ(twidentity.ProductName[33], '\0');
    EXPECT_EQ(twidentity.Manufacturer[33], '\0');
    EXPECT_EQ(twidentity.ProductFamily[33], '\0');
    EXPECT_EQ(twidentity.Version.Info[33], '\0');
    EXPECT_EQ(std::string(twidentity.Manufacturer), s_szUnterminated);

    // It opens by that name like any other.
    ASSERT_EQ(app.OpenDsByName(0, s_szUnterminated.c_str()), TWRC_SUCCESS);
    EXPECT_EQ(V(app.Source(0)->Id), V(twidentity.Id));
}

TEST_F(DsmTest, DefaultSourceIsTheFirstUntilSetAndLastsWhileTheDsmIsInUse)
{
    App app1("First");
    App app2("Second");
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    TW_IDENTITY twidentity;
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
    std::vector<TW_IDENTITY> vtwidentity = ListSources(app1);
    EXPECT_EQ(V(twidentity.Id), V(vtwidentity[0].Id));

    // By name.
    TW_IDENTITY twRequest = Empty();
    snprintf(twRequest.ProductName, sizeof(twRequest.ProductName), "Fixture Beta");
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &twRequest), TWRC_SUCCESS);
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Beta");
    EXPECT_EQ(V(twidentity.Id), V(vtwidentity[3].Id));

    // By Id; another application sees the same default.
    twRequest = ById(vtwidentity[1].Id);
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &twRequest), TWRC_SUCCESS);
    ASSERT_EQ(app2.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app2.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Refuser");

    // Unknown names and Ids leave the default alone.
    twRequest = Empty();
    snprintf(twRequest.ProductName, sizeof(twRequest.ProductName), "Fixture");
    EXPECT_EQ(app1.FailCc(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &twRequest)), TWCC_NODS);
    twRequest = ById(987654321UL);
    EXPECT_EQ(app1.FailCc(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &twRequest)), TWCC_NODS);
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Refuser");

    // Once nobody uses the DSM, the choice is gone.
    ASSERT_EQ(app1.CloseDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app2.CloseDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app1.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
}

TEST_F(DsmTest, DefaultSourceFromTheEnvironment)
{
    setenv("TWAINDSM_SOURCES", (FixtureFolder("sources") + ":" + FixtureFolder("sources2")).c_str(), 1);
    setenv("TWAINDSM_DEFAULT", "Fixture Gamma", 1);
    App& app = OpenApp();
    TW_IDENTITY twidentity;
    ASSERT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Gamma");
    ASSERT_EQ(app.OpenDs(0, Empty()), TWRC_SUCCESS);
    EXPECT_EQ(Name(*app.Source(0)), "Fixture Gamma");

    // A name that no source has falls back to the first.
    ASSERT_EQ(app.CloseDs(0), TWRC_SUCCESS);
    setenv("TWAINDSM_DEFAULT", "Nothing Like It", 1);
    ASSERT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
}

TEST_F(DsmTest, OpenSourceByIdAndOnceForEachApplication)
{
    App& app = OpenApp();
    std::vector<TW_IDENTITY> vtwidentity = ListSources(app);
    ASSERT_EQ(vtwidentity.size(), 4U);

    // By Id: the Id wins over a name that does not match.
    TW_IDENTITY twRequest = ById(vtwidentity[3].Id);
    snprintf(twRequest.ProductName, sizeof(twRequest.ProductName), "Fixture Alpha");
    ASSERT_EQ(app.OpenDs(0, twRequest), TWRC_SUCCESS);
    EXPECT_EQ(Name(*app.Source(0)), "Fixture Beta");
    EXPECT_EQ(V(app.Source(0)->Id), V(vtwidentity[3].Id));
    EXPECT_EQ(std::string(app.Source(0)->Manufacturer), "Fixture Works");
    EXPECT_EQ(app.Source(0)->ProtocolMajor, 1);

    // (by name, its identity filled in, and with nothing named the default:
    // test_e2e_dsopen.cpp) The same source twice for one application.
    ASSERT_EQ(app.OpenDsByName(1, "Fixture Alpha"), TWRC_SUCCESS);
    EXPECT_EQ(V(app.Source(1)->Id), V(vtwidentity[0].Id));
    EXPECT_EQ(app.FailCc(app.OpenDsByName(2, "Fixture Alpha")), TWCC_MAXCONNECTIONS);
}

TEST_F(DsmTest, OpenSourceFailures)
{
    App& app = OpenApp();

    // Names must match whole.
    EXPECT_EQ(app.FailCc(app.OpenDsByName(0, "Fixture")), TWCC_NODS);
    EXPECT_EQ(app.FailCc(app.OpenDsByName(0, "fixture alpha")), TWCC_NODS);
    EXPECT_EQ(app.FailCc(app.OpenDs(0, ById(987654321UL))), TWCC_NODS);
    // (a listed source's identity and path: test_e2e_device.cpp)
    TW_TWUNKIDENTITY twtwunkidentity = {};
    twtwunkidentity.identity.Id = 987654321UL;
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_TWUNKIDENTITY, MSG_GET, &twtwunkidentity)), TWCC_NODS);

    // A name filling its whole field without terminator matches nothing,
    // and nothing past the field is read.
    TW_IDENTITY twRequest = Empty();
    memset(twRequest.ProductName, 'Z', sizeof(twRequest.ProductName));
    EXPECT_EQ(app.FailCc(app.OpenDs(0, twRequest)), TWCC_NODS);

    // A source that refuses to open: its own condition code becomes the DSM's.
    EXPECT_EQ(app.FailCc(app.OpenDsByName(0, "Fixture Refuser")), TWCC_MAXCONNECTIONS);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);   // nothing stayed open
}

// The DSM's own triplets without their data: the messages whose identity
// names or receives a source answer a bad destination (but MSG_GETFIRST
// fails with no condition, as the widely used DSM does), the records the DSM
// fills or reads a bad value, a message DAT_IDENTITY lacks a bad protocol.
TEST_F(DsmTest, TripletsWithoutTheirDataAreRefused)
{
    App& app = OpenApp();
    const struct
    {
        TW_UINT16 u16Dat;
        TW_UINT16 u16Msg;
        TW_UINT16 u16Cc;
    } aexpect[] = {
        {DAT_IDENTITY, MSG_GETFIRST, TWCC_SUCCESS},   {DAT_IDENTITY, MSG_GETNEXT, TWCC_BADDEST},
        {DAT_IDENTITY, MSG_GETDEFAULT, TWCC_BADDEST}, {DAT_IDENTITY, MSG_USERSELECT, TWCC_BADDEST},
        {DAT_IDENTITY, MSG_OPENDS, TWCC_BADDEST},     {DAT_IDENTITY, MSG_CLOSEDS, TWCC_BADDEST},
        {DAT_IDENTITY, MSG_SET, TWCC_BADVALUE},       {DAT_IDENTITY, MSG_GET, TWCC_BADPROTOCOL},
        {DAT_STATUS, MSG_GET, TWCC_BADVALUE},         {DAT_ENTRYPOINT, MSG_GET, TWCC_BADVALUE},
        {DAT_TWUNKIDENTITY, MSG_GET, TWCC_BADVALUE},
    };
    for (const auto &expect : aexpect)
    {
        EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, expect.u16Dat, expect.u16Msg, nullptr)), expect.u16Cc)
            << "DAT 0x" << std::hex << expect.u16Dat << " MSG 0x" << expect.u16Msg;
    }
}

TEST_F(DsmTest, AFailuresConditionCodeStaysUntilStatusReadsIt)
{
    App& app = OpenApp();
    TW_IDENTITY twidentity = Empty();
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity), TWRC_FAILURE);
    EXPECT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(app.DsmStatus(), TWCC_BADPROTOCOL) << "a success leaves it";
    EXPECT_EQ(app.DsmStatus(), TWCC_SUCCESS) << "reading clears it";
}

TEST_F(DsmTest, UserSelectHasNoUserInterface)
{
    App& app = OpenApp();
    TW_IDENTITY twidentity = Empty();
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &twidentity)), TWCC_BADPROTOCOL);
    EXPECT_EQ(V(twidentity.Id), 0UL);
}

TEST_F(DsmTest, CloseSourceAndCloseDsmOrder)
{
    App& app = OpenApp();
    std::vector<TW_IDENTITY> vtwidentity = ListSources(app);
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);

    // The DSM stays open while a source is.
    EXPECT_EQ(app.FailCc(app.CloseDsm()), TWCC_SEQERROR);
    EXPECT_EQ(OpenApplications(), 1UL);

    // Closing a listed source that is not open, or an unknown one.
    TW_IDENTITY twRequest = ById(vtwidentity[3].Id);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twRequest)), TWCC_SEQERROR);
    twRequest = ById(987654321UL);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twRequest)), TWCC_NODS);

    EXPECT_EQ(app.CloseDs(0), TWRC_SUCCESS);
    EXPECT_EQ(app.DsmStatus(), TWCC_SUCCESS);
    // Closed means closed: a second close is out of sequence.
    twRequest = ById(vtwidentity[0].Id);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twRequest)), TWCC_SEQERROR);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
}

