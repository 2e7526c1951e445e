// test_platform_dsm_route.cpp
//
// The stand-in DSM through DSM_Entry: destinations, the DSM's condition code,
// DAT_ENTRYPOINT and its memory functions, an exception of a source, and the
// DSM log. (Triplets passed to the simulated sources unchanged, with the
// entry points handed to a second-generation source before its open, as the
// sources' journals show them: test_e2e_dsm.cpp and every end-to-end run.)

#include "e2e_run.h"
#include "test_platform_dsm.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

using namespace dsmtest;

namespace
{
FixtureEcho NewEcho(TW_UINT32 a_u32Payload)
{
    FixtureEcho fixtureecho = {};
    fixtureecho.Payload = a_u32Payload;
    return fixtureecho;
}

size_t CountLines(const std::string& a_szText, const std::string& a_szNeedle)
{
    std::vector<std::string> aszLines = e2e::Lines(a_szText);
    return std::count_if(aszLines.begin(), aszLines.end(),
                         [&](const std::string& a_szLine) { return a_szLine.find(a_szNeedle) != std::string::npos; });
}
} // namespace

TEST_F(DsmTest, EntryPointHandsOutTheDsmAndItsMemoryFunctions)
{
    App& app = OpenApp();
    // Valid in state 3, before any source is open.
    TW_ENTRYPOINT twentrypoint = app.EntryPoint();
    EXPECT_EQ(V(twentrypoint.Size), sizeof(TW_ENTRYPOINT));
    EXPECT_EQ(reinterpret_cast<void*>(V(twentrypoint.DSM_Entry)), dlsym(Dsm::Get().pvHandle, "DSM_Entry"));
    ASSERT_NE(V(twentrypoint.DSM_MemAllocate), nullptr);
    ASSERT_NE(V(twentrypoint.DSM_MemFree), nullptr);
    ASSERT_NE(V(twentrypoint.DSM_MemLock), nullptr);
    ASSERT_NE(V(twentrypoint.DSM_MemUnlock), nullptr);

    // A structure that does not say it is big enough is not written.
    TW_ENTRYPOINT twSmall = {};
    twSmall.Size = 8;
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &twSmall)), TWCC_BADVALUE);
    EXPECT_EQ(V(twSmall.DSM_Entry), nullptr);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &twentrypoint)), TWCC_BADPROTOCOL);

    // The entry point it hands out is the DSM itself.
    TW_IDENTITY twidentity;
    EXPECT_EQ(twentrypoint.DSM_Entry(app.Identity(), nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity),
              TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
}

TEST_F(DsmTest, MemoryFunctionsCountLiveBlocksAndRefuseForeignOnes)
{
    App& app = OpenApp();
    TW_ENTRYPOINT twentrypoint = app.EntryPoint();
    unsigned long ulLive = LiveAllocations();
    unsigned long ulFamily = FamilyErrors();

    TW_HANDLE h1 = twentrypoint.DSM_MemAllocate(100);
    TW_HANDLE h2 = twentrypoint.DSM_MemAllocate(0);
    ASSERT_NE(h1, nullptr);
    ASSERT_NE(h2, nullptr);
    EXPECT_NE(h1, h2);
    EXPECT_EQ(LiveAllocations(), ulLive + 2);
    unsigned char* pb = static_cast<unsigned char*>(twentrypoint.DSM_MemLock(h1));
    ASSERT_EQ(static_cast<void*>(pb), h1);   // on Linux a handle is its pointer
    for (int i = 0; i < 100; ++i)
    {
        EXPECT_EQ(pb[i], 0) << i;   // blocks come zero-filled
        pb[i] = static_cast<unsigned char>(i);
    }
    twentrypoint.DSM_MemUnlock(h1);
    twentrypoint.DSM_MemFree(h1);
    twentrypoint.DSM_MemFree(h2);
    EXPECT_EQ(LiveAllocations(), ulLive);
    EXPECT_EQ(FamilyErrors(), ulFamily);

    // Freed twice: refused and counted.
    twentrypoint.DSM_MemFree(h1);
    EXPECT_EQ(FamilyErrors(), ulFamily + 1);

    // Memory of another family: refused, counted, and left intact.
    unsigned char* pbForeign = static_cast<unsigned char*>(malloc(16));
    ASSERT_NE(pbForeign, nullptr);
    memset(pbForeign, 0x5A, 16);
    twentrypoint.DSM_MemFree(pbForeign);
    EXPECT_EQ(FamilyErrors(), ulFamily + 2);
    EXPECT_EQ(pbForeign[15], 0x5A);
    free(pbForeign);

    // A null handle is nothing to free.
    twentrypoint.DSM_MemFree(nullptr);
    EXPECT_EQ(FamilyErrors(), ulFamily + 2);
    EXPECT_EQ(LiveAllocations(), ulLive);

    // Too much memory is a null handle, not a crash.
    EXPECT_EQ(twentrypoint.DSM_MemAllocate(~0UL), nullptr);
    EXPECT_EQ(LiveAllocations(), ulLive);
}

TEST_F(DsmTest, SourceAndApplicationShareOneMemoryFamily)
{
    App& app = OpenApp();
    TW_ENTRYPOINT twentrypoint = app.EntryPoint();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    unsigned long ulLive = LiveAllocations();
    unsigned long ulFamily = FamilyErrors();

    // The source allocates through the DSM, the application frees.
    FixtureMemory fixturememory = {};
    fixturememory.Size = 64;
    ASSERT_EQ(app.Call(app.Source(0), DG_CUSTOM, FIXTURE_DAT_MEMORY, MSG_FIXTURE_SEND, &fixturememory), TWRC_SUCCESS);
    ASSERT_NE(V(fixturememory.Handle), nullptr);
    EXPECT_EQ(LiveAllocations(), ulLive + 1);
    twentrypoint.DSM_MemFree(fixturememory.Handle);
    EXPECT_EQ(LiveAllocations(), ulLive);

    // The application allocates, the source frees.
    fixturememory.Handle = twentrypoint.DSM_MemAllocate(32);
    EXPECT_EQ(LiveAllocations(), ulLive + 1);
    ASSERT_EQ(app.Call(app.Source(0), DG_CUSTOM, FIXTURE_DAT_MEMORY, MSG_FIXTURE_JOIN, &fixturememory), TWRC_SUCCESS);
    EXPECT_EQ(LiveAllocations(), ulLive);
    EXPECT_EQ(FamilyErrors(), ulFamily);
}

TEST_F(DsmTest, TripletsWithoutAValidDestinationAreBadDest)
{
    App& app = OpenApp();
    TW_CAPABILITY twcapability = {};

    // No source open, no destination.
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapability)), TWCC_BADDEST);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CUSTOM, 0x8001, 0x8002, &twcapability)), TWCC_BADDEST);

    // A listed source that is not open, and an Id that names nothing.
    TW_IDENTITY twidentity;
    ASSERT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(&twidentity, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapability)), TWCC_BADDEST);
    twidentity.Id = 987654321UL;
    EXPECT_EQ(app.FailCc(app.Call(&twidentity, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twcapability)), TWCC_BADDEST);

    // With a source open, a missing destination is still missing.
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    FixtureEcho fixtureecho = NewEcho(0);
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CUSTOM, FIXTURE_DAT_ECHO, MSG_GET, &fixtureecho)), TWCC_BADDEST);
    EXPECT_EQ(fixtureecho.DAT, 0);

    // Closed sources are no destination either.
    TW_IDENTITY twClosed = *app.Source(0);
    ASSERT_EQ(app.CloseDs(0), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(&twClosed, DG_CUSTOM, FIXTURE_DAT_ECHO, MSG_GET, &fixtureecho)), TWCC_BADDEST);
}

TEST_F(DsmTest, AnIdentityOrStatusRequestThatNamesASourceGoesToIt)
{
    // As the widely used DSM routes them: the source answers (and keeps the
    // condition code of) an identity request addressed to it; the DSM only
    // closes a source itself, and answers without a destination.
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    TW_IDENTITY twidentity = {};
    EXPECT_EQ(app.Call(app.Source(0), DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_FAILURE);
    EXPECT_EQ(app.DsmStatus(), TWCC_SUCCESS);
    TW_STATUS twstatus = {};
    ASSERT_EQ(app.Call(app.Source(0), DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus), TWRC_SUCCESS);
    EXPECT_EQ(twstatus.ConditionCode, TWCC_BADPROTOCOL);
    ASSERT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity), TWRC_SUCCESS);
    twidentity = {};
    ASSERT_EQ(app.Call(app.Source(0), DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(Name(twidentity), "Fixture Alpha");
    EXPECT_EQ(app.Call(app.Source(0), DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, app.Source(0)), TWRC_SUCCESS);
    app.Forget(0);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
}

TEST_F(DsmTest, AnExceptionOfASourceReachesTheCallerAndTheDsmStaysSound)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    EXPECT_THROW(app.Call(app.Source(0), DG_CUSTOM, FIXTURE_DAT_THROW, MSG_GET, nullptr), std::runtime_error);
    FixtureEcho fixtureecho = NewEcho(0);
    EXPECT_EQ(app.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho), TWRC_SUCCESS);
    EXPECT_EQ(app.CloseDs(0), TWRC_SUCCESS);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
}

TEST_F(DsmTest, LogWritesOneLinePerCallWhileTheDsmIsInUse)
{
    char szPath[] = "/tmp/dsmlogXXXXXX";
    int iFd = mkstemp(szPath);
    ASSERT_GE(iFd, 0);
    close(iFd);
    {
        std::ofstream ofs(szPath);
        ofs << "old content\n";
    }
    setenv("TWAINDSM_LOG", szPath, 1);
    setenv("TWAINDSM_LOGMODE", "w+", 1);
    {
        App app;
        ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
        TW_IDENTITY twidentity;
        app.Call(nullptr, DG_CONTROL, 0x7777, 0x8123, &twidentity);
        TW_ENTRYPOINT twentrypoint = app.EntryPoint();
        int iForeign = 0;
        twentrypoint.DSM_MemFree(&iForeign);
        ASSERT_EQ(app.CloseDsm(), TWRC_SUCCESS);
    }
    // (the lines of known triplets, read through the program: test_e2e_dsm.cpp)
    std::string szLog = e2e::ReadFile(szPath);
    EXPECT_EQ(szLog.find("old content"), std::string::npos);
    EXPECT_EQ(CountLines(szLog, "DG_CONTROL/DAT_0x7777/MSG_0x8123 rc=1 cc=12"), 1U);
    EXPECT_EQ(CountLines(szLog, "DSM_MemFree"), 1U);
    EXPECT_EQ(CountLines(szLog, "found "), 4U);
    EXPECT_EQ(CountLines(szLog, "skipped "), 1U);
    EXPECT_EQ(CountLines(szLog, "log closed"), 1U);

    // The log is closed with the last application; without a mode a new
    // session appends.
    unsetenv("TWAINDSM_LOGMODE");
    {
        App app;
        ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    }
    std::string szLog2 = e2e::ReadFile(szPath);
    EXPECT_EQ(szLog2.compare(0, szLog.size(), szLog), 0);
    EXPECT_EQ(CountLines(szLog2, "MSG_OPENDSM rc=0"), 2U);
    EXPECT_EQ(CountLines(szLog2, "log closed"), 2U);

    // Without the variable nothing is written.
    unsetenv("TWAINDSM_LOG");
    {
        App app;
        ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    }
    EXPECT_EQ(e2e::ReadFile(szPath), szLog2);
    unlink(szPath);
}
