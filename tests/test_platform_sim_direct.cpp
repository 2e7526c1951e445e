// test_platform_sim_direct.cpp
//
// DAT_TWAINDIRECT MSG_SETTASK of the simulated sources as an application sees
// it: the request the source checks, the state it answers in, the reply it
// allocates (freed by the application through the DSM), and the sources of
// earlier protocols that do not know the triplet.

#include "test_platform_sim.h"

using namespace simtest;

namespace
{
class SimDirectTest : public SimTest
{
};

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

TEST_F(SimDirectTest, RequestStateAndReplyMemory)
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
