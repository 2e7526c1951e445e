// test_platform_dsm_callback.cpp
//
// The stand-in DSM through DSM_Entry: callback registration and the delivery
// of a Data Source's DAT_NULL messages to the application, from the source's
// own thread, with calls back into the DSM from inside the callback; two
// applications on one source, each with its own connection.

#include "test_platform_dsm.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

using namespace dsmtest;

namespace
{
struct Received
{
    TW_UINT32       u32Origin;
    TW_UINT32       u32Dest;
    TW_UINT32       u32Dg;
    TW_UINT16       u16Dat;
    TW_UINT16       u16Msg;
    TW_MEMREF       pData;
    std::thread::id threadid;
};

// What one application's callback received; found by the application's Id.
class Receiver
{
public:
    Receiver(TW_UINT32 a_u32AppId, std::function<TW_UINT16(const Received&)> a_fnOnCall = nullptr)
        : m_u32AppId(a_u32AppId), m_fnOnCall(std::move(a_fnOnCall))
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        s_mapreceiver[m_u32AppId] = this;
    }
    ~Receiver()
    {
        std::lock_guard<std::mutex> lock(s_mtx);
        s_mapreceiver.erase(m_u32AppId);
    }
    std::vector<Received> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_vreceived;
    }

    static TW_UINT16 Callback(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                              TW_MEMREF pData)
    {
        Receiver* preceiver = nullptr;
        {
            std::lock_guard<std::mutex> lock(s_mtx);
            auto it = pDest ? s_mapreceiver.find(pDest->Id) : s_mapreceiver.end();
            if (it == s_mapreceiver.end())
            {
                return TWRC_FAILURE;
            }
            preceiver = it->second;
        }
        Received received{pOrigin ? pOrigin->Id : 0, pDest->Id, DG, DAT, MSG, pData, std::this_thread::get_id()};
        {
            std::lock_guard<std::mutex> lock(preceiver->m_mtx);
            preceiver->m_vreceived.push_back(received);
        }
        return preceiver->m_fnOnCall ? preceiver->m_fnOnCall(received) : TWRC_SUCCESS;
    }

private:
    TW_UINT32                                  m_u32AppId;
    std::function<TW_UINT16(const Received&)> m_fnOnCall;
    std::mutex                                 m_mtx;
    std::vector<Received>                      m_vreceived;

    static std::mutex                        s_mtx;
    static std::map<TW_UINT32, Receiver*>    s_mapreceiver;
};
std::mutex                     Receiver::s_mtx;
std::map<TW_UINT32, Receiver*> Receiver::s_mapreceiver;

TW_UINT16 Register(App& a_app, int a_iSlot, TW_UINT16 a_u16Dat = DAT_CALLBACK, TW_UINTPTR a_uRefCon = 0)
{
    TW_CALLBACK2 twcallback2 = {};
    twcallback2.CallBackProc = reinterpret_cast<TW_MEMREF>(&Receiver::Callback);
    twcallback2.RefCon = a_uRefCon;
    return a_app.Call(a_app.Source(a_iSlot), DG_CONTROL, a_u16Dat, MSG_REGISTER_CALLBACK, &twcallback2);
}

// Has the source send one DAT_NULL message from its own thread, waits for
// that thread, and gives the DSM's answer to the source.
TW_UINT16 SendFromSource(App& a_app, int a_iSlot, TW_UINT16 a_u16Msg)
{
    FixtureEvent fixtureevent = {};
    fixtureevent.Message = a_u16Msg;
    EXPECT_EQ(a_app.Call(a_app.Source(a_iSlot), DG_CUSTOM, FIXTURE_DAT_EVENT, MSG_FIXTURE_SEND, &fixtureevent),
              TWRC_SUCCESS);
    fixtureevent.ReturnCode = 0xFFFF;
    EXPECT_EQ(a_app.Call(a_app.Source(a_iSlot), DG_CUSTOM, FIXTURE_DAT_EVENT, MSG_FIXTURE_JOIN, &fixtureevent),
              TWRC_SUCCESS);
    return fixtureevent.ReturnCode;
}
} // namespace

TEST_F(DsmTest, CallbackRegistrationNeedsAnOpenSourceAndARecord)
{
    App& app = OpenApp();
    TW_CALLBACK twcallback = {};
    twcallback.CallBackProc = reinterpret_cast<TW_MEMREF>(&Receiver::Callback);

    // State 3: no destination, or a destination that is not open.
    EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &twcallback)), TWCC_BADDEST);
    TW_IDENTITY twidentity;
    ASSERT_EQ(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(&twidentity, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &twcallback)), TWCC_BADDEST);

    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    EXPECT_EQ(app.FailCc(app.Call(app.Source(0), DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, nullptr)), TWCC_BADVALUE);
    TW_CALLBACK twNoProc = {};
    EXPECT_EQ(app.FailCc(app.Call(app.Source(0), DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &twNoProc)), TWCC_BADVALUE);
    EXPECT_EQ(app.FailCc(app.Call(app.Source(0), DG_CONTROL, DAT_CALLBACK, MSG_GET, &twcallback)), TWCC_BADPROTOCOL);
    EXPECT_EQ(app.Call(app.Source(0), DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &twcallback), TWRC_SUCCESS);
    EXPECT_EQ(app.DsmStatus(), TWCC_SUCCESS);
}

TEST_F(DsmTest, MessageOfASourceWithoutCallbackFails)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    Receiver receiver(app.Identity()->Id);
    EXPECT_EQ(SendFromSource(app, 0, MSG_XFERREADY), TWRC_FAILURE);
    EXPECT_TRUE(receiver.Calls().empty());
}

TEST_F(DsmTest, MessagesArriveOnTheSourceThreadAndTheCallbackMayCallAgain)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    std::mutex mtxReentry;
    std::vector<TW_UINT16> vu16Reentry;
    Receiver receiver(app.Identity()->Id, [&](const Received&) {
        // Back into the DSM from the source's thread: to the source itself,
        // and to the DSM's own triplets.
        FixtureEcho fixtureecho = {};
        fixtureecho.Payload = 41;
        TW_UINT16 twrc1 = app.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho);
        TW_IDENTITY twidentity;
        TW_UINT16 twrc2 = app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity);
        TW_STATUS twstatus;
        TW_UINT16 twrc3 = app.Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus);
        std::lock_guard<std::mutex> lock(mtxReentry);
        vu16Reentry.push_back(twrc1 == TWRC_SUCCESS && fixtureecho.Payload == 42 ? 0 : 1);
        vu16Reentry.push_back(twrc2);
        vu16Reentry.push_back(twrc3);
        return static_cast<TW_UINT16>(TWRC_SUCCESS);
    });
    ASSERT_EQ(Register(app, 0), TWRC_SUCCESS);

    const TW_UINT16 au16Messages[] = {MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_DEVICEEVENT};
    for (TW_UINT16 u16Msg : au16Messages)
    {
        EXPECT_EQ(SendFromSource(app, 0, u16Msg), TWRC_SUCCESS) << std::hex << u16Msg;
    }
    std::vector<Received> vreceived = receiver.Calls();
    ASSERT_EQ(vreceived.size(), 4U);
    for (size_t u = 0; u < vreceived.size(); ++u)
    {
        EXPECT_EQ(vreceived[u].u16Msg, au16Messages[u]);
        EXPECT_EQ(vreceived[u].u32Origin, V(app.Source(0)->Id));
        EXPECT_EQ(vreceived[u].u32Dest, V(app.Identity()->Id));
        EXPECT_EQ(vreceived[u].u32Dg, DG_CONTROL);
        EXPECT_EQ(vreceived[u].u16Dat, DAT_NULL);
        EXPECT_EQ(vreceived[u].pData, nullptr);
        EXPECT_NE(vreceived[u].threadid, std::this_thread::get_id());
    }
    std::lock_guard<std::mutex> lock(mtxReentry);
    EXPECT_EQ(vu16Reentry, std::vector<TW_UINT16>(12, TWRC_SUCCESS));
}

TEST_F(DsmTest, OnlyTheStandardMessagesOfASourceAreDelivered)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    Receiver receiver(app.Identity()->Id);
    ASSERT_EQ(Register(app, 0), TWRC_SUCCESS);
    EXPECT_EQ(SendFromSource(app, 0, 0x0105), TWRC_FAILURE);
    EXPECT_EQ(SendFromSource(app, 0, MSG_GET), TWRC_FAILURE);
    EXPECT_TRUE(receiver.Calls().empty());

    // A source cannot speak for another application or as a stranger.
    TW_IDENTITY twStranger = {};
    twStranger.Id = 987654321UL;
    EXPECT_EQ(Entry(&twStranger, app.Identity(), DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Entry(app.Source(0), &twStranger, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Entry(app.Source(0), nullptr, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_TRUE(receiver.Calls().empty());
}

TEST_F(DsmTest, Callback2GetsItsReferenceConstantBack)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    Receiver receiver(app.Identity()->Id);
    int iContext = 0;
    ASSERT_EQ(Register(app, 0, DAT_CALLBACK2, reinterpret_cast<TW_UINTPTR>(&iContext)), TWRC_SUCCESS);
    EXPECT_EQ(SendFromSource(app, 0, MSG_XFERREADY), TWRC_SUCCESS);
    std::vector<Received> vreceived = receiver.Calls();
    ASSERT_EQ(vreceived.size(), 1U);
    EXPECT_EQ(vreceived[0].pData, static_cast<TW_MEMREF>(&iContext));
}

// Two applications open the same source: each connection has its own Id,
// is no destination of the other application, and hears only its own source.
TEST_F(DsmTest, TwoApplicationsOpenTheSameSourceAndEachHearsOnlyItsOwn)
{
    App app1("First");
    App app2("Second");
    ASSERT_EQ(app1.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app2.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app1.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    ASSERT_EQ(app2.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    EXPECT_NE(V(app1.Source(0)->Id), V(app2.Source(0)->Id));
    FixtureEcho fixtureecho = {};
    ASSERT_EQ(app2.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho), TWRC_SUCCESS);
    EXPECT_EQ(V(fixtureecho.OriginId), V(app2.Identity()->Id));
    EXPECT_EQ(V(fixtureecho.OwnId), V(app2.Source(0)->Id));
    EXPECT_EQ(app1.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho), TWRC_SUCCESS);
    EXPECT_EQ(app1.FailCc(app1.Call(app2.Source(0), DG_CUSTOM, FIXTURE_DAT_ECHO, MSG_GET, &fixtureecho)), TWCC_BADDEST);

    Receiver receiver1(app1.Identity()->Id);
    Receiver receiver2(app2.Identity()->Id);
    ASSERT_EQ(Register(app1, 0), TWRC_SUCCESS);
    ASSERT_EQ(Register(app2, 0), TWRC_SUCCESS);

    EXPECT_EQ(SendFromSource(app2, 0, MSG_XFERREADY), TWRC_SUCCESS);
    EXPECT_EQ(SendFromSource(app2, 0, MSG_CLOSEDSREQ), TWRC_SUCCESS);
    EXPECT_EQ(SendFromSource(app1, 0, MSG_DEVICEEVENT), TWRC_SUCCESS);
    ASSERT_EQ(receiver1.Calls().size(), 1U);
    EXPECT_EQ(receiver1.Calls()[0].u16Msg, MSG_DEVICEEVENT);
    EXPECT_EQ(receiver1.Calls()[0].u32Origin, V(app1.Source(0)->Id));
    ASSERT_EQ(receiver2.Calls().size(), 2U);
    EXPECT_EQ(receiver2.Calls()[1].u16Msg, MSG_CLOSEDSREQ);
    EXPECT_EQ(receiver2.Calls()[1].u32Origin, V(app2.Source(0)->Id));
    // One application's close leaves the other's connection open.
    ASSERT_EQ(app1.CloseDs(0), TWRC_SUCCESS);
    EXPECT_EQ(app2.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho), TWRC_SUCCESS);
}

TEST_F(DsmTest, SourceClosedFromInsideItsOwnCallback)
{
    App& app = OpenApp();
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    std::atomic<TW_UINT16> u16CloseRc{0xFFFF};
    Receiver receiver(app.Identity()->Id, [&](const Received&) {
        u16CloseRc = app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, app.Source(0));
        return static_cast<TW_UINT16>(TWRC_SUCCESS);
    });
    ASSERT_EQ(Register(app, 0), TWRC_SUCCESS);
    FixtureEvent fixtureevent = {};
    fixtureevent.Message = MSG_CLOSEDSREQ;
    ASSERT_EQ(app.Call(app.Source(0), DG_CUSTOM, FIXTURE_DAT_EVENT, MSG_FIXTURE_SEND, &fixtureevent), TWRC_SUCCESS);
    // A closed source's thread cannot be waited for: wait for the close.
    for (int i = 0; i < 1000 && u16CloseRc == 0xFFFF; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(u16CloseRc, TWRC_SUCCESS);
    ASSERT_EQ(receiver.Calls().size(), 1U);
    TW_IDENTITY twClosed = *app.Source(0);
    app.Forget(0);
    EXPECT_EQ(app.CloseDsm(), TWRC_SUCCESS);
    EXPECT_EQ(OpenApplications(), 0UL);

    // The DSM goes on: the same source opens again and talks.
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    FixtureEcho fixtureecho = {};
    EXPECT_EQ(app.Call(&twClosed, DG_CUSTOM, FIXTURE_DAT_ECHO, MSG_GET, &fixtureecho), TWRC_FAILURE);
    ASSERT_EQ(app.OpenDsByName(0, "Fixture Alpha"), TWRC_SUCCESS);
    Receiver receiverAgain(app.Identity()->Id);
    ASSERT_EQ(Register(app, 0), TWRC_SUCCESS);
    EXPECT_EQ(SendFromSource(app, 0, MSG_XFERREADY), TWRC_SUCCESS);
    EXPECT_EQ(receiverAgain.Calls().size(), 1U);
}

TEST_F(DsmTest, ApplicationsOnSeveralThreadsWithReentrantCallbacks)
{
    const int iApps = 3;
    const int iRounds = 25;
    std::vector<std::thread> vthread;
    std::mutex mtxFailures;
    std::vector<std::string> vszFailures;
    auto fail = [&](const std::string& a_sz) {
        std::lock_guard<std::mutex> lock(mtxFailures);
        vszFailures.push_back(a_sz);
    };
    setenv("TWAINDSM_SOURCES", (FixtureFolder("sources") + ":" + FixtureFolder("sources2")).c_str(), 1);
    for (int iApp = 0; iApp < iApps; ++iApp)
    {
        vthread.emplace_back([&, iApp]() {
            App app(("Threaded " + std::to_string(iApp)).c_str());
            if (app.OpenDsm() != TWRC_SUCCESS ||
                app.OpenDsByName(0, iApp == 2 ? "Fixture Gamma" : "Fixture Alpha") != TWRC_SUCCESS)
            {
                fail("open " + std::to_string(iApp));
                return;
            }
            Receiver receiver(app.Identity()->Id, [&](const Received&) {
                FixtureEcho fixtureecho = {};
                return app.Echo(0, DG_CUSTOM, MSG_GET, fixtureecho);
            });
            if (Register(app, 0) != TWRC_SUCCESS)
            {
                fail("register " + std::to_string(iApp));
                return;
            }
            TW_ENTRYPOINT twentrypoint = app.EntryPoint();
            for (int iRound = 0; iRound < iRounds; ++iRound)
            {
                TW_HANDLE h = twentrypoint.DSM_MemAllocate(static_cast<TW_UINT32>(16 + iRound));
                if (SendFromSource(app, 0, MSG_XFERREADY) != TWRC_SUCCESS)
                {
                    fail("event " + std::to_string(iApp));
                }
                TW_IDENTITY twidentity;
                if (app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity) != TWRC_SUCCESS)
                {
                    fail("list " + std::to_string(iApp));
                }
                twentrypoint.DSM_MemFree(h);
            }
            if (receiver.Calls().size() != static_cast<size_t>(iRounds))
            {
                fail("count " + std::to_string(iApp));
            }
        });
    }
    for (std::thread& thread : vthread)
    {
        thread.join();
    }
    EXPECT_TRUE(vszFailures.empty()) << vszFailures.size() << " failure(s), first: "
                                     << (vszFailures.empty() ? "" : vszFailures[0]);
    EXPECT_EQ(OpenApplications(), 0UL);
}
