// test_platform_sim.h
//
// Helpers of the simulated scanner tests. Like an application, the tests load
// the stand-in DSM with dlopen (no code of the program or of the simulator is
// linked), open a simulated source through DSM_Entry, register the callback,
// and read what the source answers. Each test gets its own folder with the
// journal and an optional configuration file.

#ifndef DRAVO_TEST_PLATFORM_SIM_H
#define DRAVO_TEST_PLATFORM_SIM_H

#include "../twain/twaindefs.h"
#include "e2e_run.h"
#include "test_platform_dsm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace simtest
{
constexpr const char* kScanner = "Simulated Scanner";
constexpr const char* kScanner1x = "Simulated Scanner 1.x";
constexpr const char* kScannerZav = "Simulated Scanner ZAV";
constexpr const char* kCamera = "Simulated Camera";

using dsmtest::Dsm;

// One event received through the callback.
struct Event
{
    TW_UINT16       m_u16Msg;
    std::thread::id m_threadid;
    TW_UINT32       m_u32OriginId;
};

// What the callback saw; the callback runs on the source's thread.
struct Callbacks
{
    std::mutex              m_mutex;
    std::condition_variable m_cv;
    std::vector<Event>      m_aevent;
    std::function<void(TW_UINT16)> m_pfnHook;   // runs inside the callback

    static Callbacks& Get()
    {
        static Callbacks s_callbacks;
        return s_callbacks;
    }
};

inline TW_UINT16 CallbackProc(pTW_IDENTITY a_ptwOrigin, pTW_IDENTITY, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                              TW_MEMREF)
{
    Callbacks& callbacks = Callbacks::Get();
    if (a_u32Dg != DG_CONTROL || a_u16Dat != DAT_NULL)
    {
        return TWRC_FAILURE;
    }
    std::function<void(TW_UINT16)> pfnHook;
    {
        std::lock_guard<std::mutex> lock(callbacks.m_mutex);
        pfnHook = callbacks.m_pfnHook;
    }
    if (pfnHook)
    {
        pfnHook(a_u16Msg);
    }
    {
        std::lock_guard<std::mutex> lock(callbacks.m_mutex);
        callbacks.m_aevent.push_back({a_u16Msg, std::this_thread::get_id(), static_cast<TW_UINT32>(a_ptwOrigin ? a_ptwOrigin->Id : 0)});
    }
    callbacks.m_cv.notify_all();
    return TWRC_SUCCESS;
}

// A decoded container, as a test reads it.
struct Container
{
    TW_UINT16              m_u16ConType = 0;
    TW_UINT16              m_u16ItemType = 0;
    std::uint64_t          m_u64NumItems = 0;
    std::uint64_t          m_u64CurrentIndex = 0;
    std::uint64_t          m_u64DefaultIndex = 0;
    std::vector<unsigned char> m_au8;            // the whole container as received
    std::size_t            m_uItemsAt = 0;       // offset of the first item (or of Item / MinValue)

    const unsigned char* ItemAt(std::size_t a_uIndex) const
    {
        return m_au8.data() + m_uItemsAt + a_uIndex * TwItemSize(m_u16ItemType);
    }
    // Integer items (sign by type), FIX32 as double, strings.
    std::int64_t Int(std::size_t a_uIndex) const
    {
        const unsigned char* pu8 = ItemAt(a_uIndex);
        switch (m_u16ItemType)
        {
            case TWTY_INT8:   return static_cast<std::int8_t>(pu8[0]);
            case TWTY_UINT8:  return pu8[0];
            case TWTY_INT16:  return static_cast<std::int16_t>(TwGetU16(pu8));
            case TWTY_UINT16:
            case TWTY_BOOL:   return TwGetU16(pu8);
            case TWTY_INT32:  return TwGetI32(pu8);
            default:          return static_cast<std::int64_t>(TwGetU32(pu8));
        }
    }
    double Fix(std::size_t a_uIndex) const
    {
        TW_FIX32 fix = TwGetFix32(ItemAt(a_uIndex));
        return fix.Whole + fix.Frac / 65536.0;
    }
    std::string Str(std::size_t a_uIndex) const
    {
        const char* psz = reinterpret_cast<const char*>(ItemAt(a_uIndex));
        return std::string(psz, strnlen(psz, TwItemSize(m_u16ItemType)));
    }
    // Range values: 0 min, 1 max, 2 step, 3 default, 4 current.
    std::int64_t RangeInt(int a_iField) const
    {
        return TwGetI32(m_au8.data() + 2 + 8 * a_iField);
    }
    double RangeFix(int a_iField) const
    {
        TW_FIX32 fix = TwGetFix32(m_au8.data() + 2 + 8 * a_iField);
        return fix.Whole + fix.Frac / 65536.0;
    }
};

// A one-value container of one item, for MSG_SET.
template <typename T>
std::vector<unsigned char> OneValueOf(TW_UINT16 a_u16Type, T a_t)
{
    std::vector<unsigned char> au8(2 + (sizeof(T) > 8 ? sizeof(T) : 8), 0);
    TwSetU16(au8.data(), a_u16Type);
    std::memcpy(au8.data() + 2, &a_t, sizeof(T));
    return au8;
}

inline TW_FIX32 Fix(double a_d)
{
    TW_FIX32 fix;
    long l = static_cast<long>(a_d * 65536.0 + (a_d < 0 ? -0.5 : 0.5));
    fix.Whole = static_cast<TW_INT16>(l >> 16);
    fix.Frac = static_cast<TW_UINT16>(l & 0xFFFF);
    return fix;
}

// Enumeration or array of fixed-width items.
inline std::vector<unsigned char> List(TW_UINT16 a_u16ConType, TW_UINT16 a_u16Type, const std::vector<std::vector<unsigned char>>& a_aau8Item,
                                       std::uint64_t a_u64Current = 0, std::uint64_t a_u64Default = 0)
{
    std::size_t uItem = TwItemSize(a_u16Type);
    std::size_t uHeader = (a_u16ConType == TWON_ENUMERATION) ? 26 : 10;
    std::vector<unsigned char> au8(uHeader + uItem * a_aau8Item.size(), 0);
    TwSetU16(au8.data(), a_u16Type);
    TwSetU32(au8.data() + 2, a_aau8Item.size());
    if (a_u16ConType == TWON_ENUMERATION)
    {
        TwSetU32(au8.data() + 10, a_u64Current);
        TwSetU32(au8.data() + 18, a_u64Default);
    }
    for (std::size_t ii = 0; ii < a_aau8Item.size(); ii++)
    {
        std::memcpy(au8.data() + uHeader + ii * uItem, a_aau8Item[ii].data(), std::min(uItem, a_aau8Item[ii].size()));
    }
    return au8;
}

template <typename T>
std::vector<unsigned char> Item(T a_t)
{
    std::vector<unsigned char> au8(sizeof(T));
    std::memcpy(au8.data(), &a_t, sizeof(T));
    return au8;
}

inline std::vector<unsigned char> Range(TW_UINT16 a_u16Type, std::int64_t a_i64Min, std::int64_t a_i64Max, std::int64_t a_i64Step,
                                        std::int64_t a_i64Default, std::int64_t a_i64Current)
{
    std::vector<unsigned char> au8(sizeof(TW_RANGE), 0);
    TwSetU16(au8.data(), a_u16Type);
    std::int64_t ai64[5] = {a_i64Min, a_i64Max, a_i64Step, a_i64Default, a_i64Current};
    for (int ii = 0; ii < 5; ii++)
    {
        TwSetI32(au8.data() + 2 + 8 * ii, ai64[ii]);
    }
    return au8;
}

// An application (the DSM tests' own) with the DSM open and one simulated
// source open in its first slot.
class App : public dsmtest::App
{
public:
    explicit App(const char* a_szSource = kScanner, bool a_blApp2 = true, bool a_blCallback = true)
        : dsmtest::App("Sim Test App", a_blApp2)
    {
        std::memset(&m_twentrypoint, 0, sizeof(m_twentrypoint));
        if (OpenDsm() != TWRC_SUCCESS)
        {
            return;
        }
        if (a_blApp2)
        {
            m_twentrypoint = EntryPoint();
        }
        if (a_szSource == nullptr)
        {
            return;
        }
        if ((OpenDsByName(0, a_szSource) == TWRC_SUCCESS) && (AppIdentity().SupportedGroups & DF_DSM2) && a_blCallback)
        {
            TW_CALLBACK twcallback = {};
            twcallback.CallBackProc = reinterpret_cast<TW_MEMREF>(&CallbackProc);
            m_u16Callback = Call(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &twcallback);
        }
    }
    ~App()
    {
        Close();
    }

    bool Opened() { return Ds().Id != 0; }
    TW_IDENTITY& Ds() { return *Source(0); }
    TW_IDENTITY& AppIdentity() { return *Identity(); }

    // Rolls the source back to state 4, closes it and the DSM.
    void Close()
    {
        if (Ds().Id != 0)
        {
            TW_PENDINGXFERS twpending = {};
            Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpending);
            Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpending);
            TW_USERINTERFACE twui = {};
            Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui);
            CloseDs(0);
            Forget(0);
        }
        if (DsmOpen())
        {
            CloseDsm();
        }
    }

    using dsmtest::App::Call;
    TW_UINT16 Call(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
    {
        return Call(&Ds(), a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
    }

    // The source's condition code.
    TW_UINT16 Cc()
    {
        TW_STATUS twstatus;
        std::memset(&twstatus, 0xEE, sizeof(twstatus));
        EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus), TWRC_SUCCESS);
        return twstatus.ConditionCode;
    }

    // The condition code after a call that had to fail; 0xFFFF when it did not fail.
    TW_UINT16 FailCc(TW_UINT16 a_u16Rc) { return (a_u16Rc == TWRC_FAILURE) ? Cc() : 0xFFFF; }

    // Memory of the DSM's family. A source without DF_DS2 gets no DSM entry
    // points: what it hands over is C memory.
    TW_HANDLE Alloc(std::size_t a_uBytes) { return m_twentrypoint.DSM_MemAllocate(a_uBytes); }
    void Free(TW_HANDLE a_h)
    {
        if (m_twentrypoint.DSM_MemFree != nullptr && (Ds().SupportedGroups & DF_DS2) != 0 &&
            (AppIdentity().SupportedGroups & DF_APP2) != 0)
        {
            m_twentrypoint.DSM_MemFree(a_h);
        }
        else
        {
            std::free(a_h);
        }
    }
    void* Lock(TW_HANDLE a_h) { return m_twentrypoint.DSM_MemLock ? m_twentrypoint.DSM_MemLock(a_h) : a_h; }
    void Unlock(TW_HANDLE a_h)
    {
        if (m_twentrypoint.DSM_MemUnlock)
        {
            m_twentrypoint.DSM_MemUnlock(a_h);
        }
    }

    // A capability request; on success the container is copied and freed.
    TW_UINT16 Cap(TW_UINT16 a_u16Msg, TW_UINT16 a_u16Cap, Container* a_pcon = nullptr)
    {
        TW_CAPABILITY twcap = {};
        twcap.Cap = a_u16Cap;
        TW_UINT16 u16Rc = Call(DG_CONTROL, DAT_CAPABILITY, a_u16Msg, &twcap);
        if ((u16Rc == TWRC_SUCCESS || u16Rc == TWRC_CHECKSTATUS) && twcap.hContainer != nullptr)
        {
            if (a_pcon != nullptr)
            {
                Decode(twcap.ConType, static_cast<const unsigned char*>(Lock(twcap.hContainer)), *a_pcon);
                Unlock(twcap.hContainer);
            }
            Free(twcap.hContainer);
        }
        return u16Rc;
    }

    // The current value of a capability (an integer, a FIX32 or a text); a
    // refused request gives a value no capability has.
    std::int64_t CurrentInt(TW_UINT16 a_u16Cap)
    {
        Container con;
        return Cap(MSG_GETCURRENT, a_u16Cap, &con) == TWRC_SUCCESS ? con.Int(0) : -0x7EEEEEEE;
    }
    double CurrentFix(TW_UINT16 a_u16Cap)
    {
        Container con;
        return Cap(MSG_GETCURRENT, a_u16Cap, &con) == TWRC_SUCCESS ? con.Fix(0) : -0x7EEE;
    }
    std::string CurrentStr(TW_UINT16 a_u16Cap)
    {
        Container con;
        return Cap(MSG_GETCURRENT, a_u16Cap, &con) == TWRC_SUCCESS ? con.Str(0) : "(refused)";
    }

    // Sends a container built by the test (copied into DSM memory).
    TW_UINT16 SetCap(TW_UINT16 a_u16Msg, TW_UINT16 a_u16Cap, TW_UINT16 a_u16ConType, const std::vector<unsigned char>& a_au8)
    {
        TW_CAPABILITY twcap;
        twcap.Cap = a_u16Cap;
        twcap.ConType = a_u16ConType;
        twcap.hContainer = Alloc(a_au8.size());
        std::memcpy(Lock(twcap.hContainer), a_au8.data(), a_au8.size());
        Unlock(twcap.hContainer);
        TW_UINT16 u16Rc = Call(DG_CONTROL, DAT_CAPABILITY, a_u16Msg, &twcap);
        Free(twcap.hContainer);
        return u16Rc;
    }
    TW_UINT16 SetUInt16(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Value, TW_UINT16 a_u16Type = TWTY_UINT16)
    {
        return SetCap(MSG_SET, a_u16Cap, TWON_ONEVALUE, OneValueOf<TW_UINT16>(a_u16Type, a_u16Value));
    }
    TW_UINT16 SetFix(TW_UINT16 a_u16Cap, double a_d)
    {
        return SetCap(MSG_SET, a_u16Cap, TWON_ONEVALUE, OneValueOf<TW_FIX32>(TWTY_FIX32, simtest::Fix(a_d)));
    }

    static void Decode(TW_UINT16 a_u16ConType, const unsigned char* a_pu8, Container& a_con)
    {
        a_con = Container();
        a_con.m_u16ConType = a_u16ConType;
        a_con.m_u16ItemType = TwGetU16(a_pu8);
        std::size_t uItem = TwItemSize(a_con.m_u16ItemType);
        std::size_t uSize = 10;
        switch (a_u16ConType)
        {
            case TWON_ONEVALUE:
                a_con.m_uItemsAt = 2;
                a_con.m_u64NumItems = 1;
                uSize = 2 + (uItem > 8 ? uItem : 8);
                break;
            case TWON_RANGE:
                a_con.m_uItemsAt = 2;
                uSize = sizeof(TW_RANGE);
                break;
            case TWON_ENUMERATION:
                a_con.m_u64NumItems = TwGetU32(a_pu8 + 2);
                a_con.m_u64CurrentIndex = TwGetU32(a_pu8 + 10);
                a_con.m_u64DefaultIndex = TwGetU32(a_pu8 + 18);
                a_con.m_uItemsAt = 26;
                uSize = 26 + uItem * a_con.m_u64NumItems;
                break;
            case TWON_ARRAY:
                a_con.m_u64NumItems = TwGetU32(a_pu8 + 2);
                a_con.m_uItemsAt = 10;
                uSize = 10 + uItem * a_con.m_u64NumItems;
                break;
            default:
                break;
        }
        a_con.m_au8.assign(a_pu8, a_pu8 + uSize);
    }

    // Waits for an event through the callback (long enough for a busy machine).
    bool WaitEvent(TW_UINT16 a_u16Msg, int a_iTimeoutMs = 20000, Event* a_pevent = nullptr)
    {
        Callbacks& callbacks = Callbacks::Get();
        std::unique_lock<std::mutex> lock(callbacks.m_mutex);
        auto find = [&] {
            return std::find_if(callbacks.m_aevent.begin(), callbacks.m_aevent.end(),
                                [&](const Event& a_event) { return a_event.m_u16Msg == a_u16Msg; });
        };
        bool blFound = callbacks.m_cv.wait_for(lock, std::chrono::milliseconds(a_iTimeoutMs),
                                               [&] { return find() != callbacks.m_aevent.end(); });
        if (blFound && a_pevent != nullptr)
            *a_pevent = *find();
        return blFound;
    }
    std::size_t EventCount(TW_UINT16 a_u16Msg)
    {
        Callbacks& callbacks = Callbacks::Get();
        std::lock_guard<std::mutex> lock(callbacks.m_mutex);
        return std::count_if(callbacks.m_aevent.begin(), callbacks.m_aevent.end(),
                             [&](const Event& a_event) { return a_event.m_u16Msg == a_u16Msg; });
    }

    // Enables without a user interface and waits for MSG_XFERREADY (state 6).
    bool EnableAndWait()
    {
        TW_USERINTERFACE twui = {};
        if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui) != TWRC_SUCCESS)
        {
            return false;
        }
        return WaitEvent(MSG_XFERREADY);
    }

    // Back to state 4 from state 6 (a_blReset: the pending transfers reset
    // first) or from state 5; true when every step succeeded. The events
    // received so far are forgotten.
    bool Disable(bool a_blReset = true)
    {
        TW_PENDINGXFERS twpending = {};
        TW_USERINTERFACE twui = {};
        bool blOk = !a_blReset || (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpending) == TWRC_SUCCESS);
        blOk = (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twui) == TWRC_SUCCESS) && blOk;
        std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
        Callbacks::Get().m_aevent.clear();
        return blOk;
    }

    // Small pages keep the tests quick: 50 dpi, and the settings given.
    bool SmallPages(TW_UINT16 a_u16Pixel, TW_UINT16 a_u16Mech)
    {
        return SetUInt16(ICAP_PIXELTYPE, a_u16Pixel) == TWRC_SUCCESS && SetFix(ICAP_XRESOLUTION, 50) == TWRC_SUCCESS &&
               SetFix(ICAP_YRESOLUTION, 50) == TWRC_SUCCESS && SetUInt16(ICAP_XFERMECH, a_u16Mech) == TWRC_SUCCESS;
    }

    TW_UINT16 EndXfer(TW_UINT16* a_pu16Count = nullptr)
    {
        TW_PENDINGXFERS twpending = {};
        TW_UINT16 u16Rc = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpending);
        if (a_pu16Count != nullptr)
        {
            *a_pu16Count = twpending.Count;
        }
        return u16Rc;
    }

    TW_UINT16 m_u16Callback = TWRC_FAILURE;

private:
    TW_ENTRYPOINT m_twentrypoint;
};

// A test folder with the journal and the configuration file; sets the
// environment before the DSM is opened and restores it afterwards.
class SimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(Dsm::Get().pvHandle, nullptr) << dlerror();
        ASSERT_NE(Dsm::Get().pfnEntry, nullptr);
        ASSERT_FALSE(m_tmp.Path().empty());
        m_szDir = m_tmp.Path();
        m_szJournal = m_tmp.File("journal.txt");
        setenv("TWAINDSM_SOURCES", DRAVO_BINARY_DIR "/platform/twain", 1);
        setenv("SIMSCANNER_JOURNAL", m_szJournal.c_str(), 1);
        unsetenv("SIMSCANNER_CONFIG");
        std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
        Callbacks::Get().m_aevent.clear();
        Callbacks::Get().m_pfnHook = nullptr;
    }
    void TearDown() override
    {
        m_apapp.clear();
        {
            std::lock_guard<std::mutex> lock(Callbacks::Get().m_mutex);
            Callbacks::Get().m_pfnHook = nullptr;
        }
        unsetenv("SIMSCANNER_JOURNAL");
        unsetenv("SIMSCANNER_CONFIG");
        unsetenv("TWAINDSM_SOURCES");
    }

    void Config(const std::string& a_szText)
    {
        m_tmp.Write("sim.cfg", a_szText);
        setenv("SIMSCANNER_CONFIG", m_tmp.File("sim.cfg").c_str(), 1);
    }

    std::vector<std::string> Journal() const { return e2e::Lines(e2e::ReadFile(m_szJournal)); }
    // Journal lines that contain every given text.
    std::vector<std::string> JournalWith(std::initializer_list<const char*> a_asz) const
    {
        std::vector<std::string> aszOut;
        for (const std::string& sz : Journal())
            if (std::all_of(a_asz.begin(), a_asz.end(), [&](const char* a_sz) { return sz.find(a_sz) != std::string::npos; }))
                aszOut.push_back(sz);
        return aszOut;
    }

    // A source opened in an application of its own, closed at the end of
    // the test (a source that does not open fails the test).
    App& Open(const char* a_szSource, bool a_blApp2 = true, bool a_blCallback = true)
    {
        m_apapp.emplace_back(new App(a_szSource, a_blApp2, a_blCallback));
        EXPECT_TRUE(m_apapp.back()->Opened()) << a_szSource;
        return *m_apapp.back();
    }

    e2e::TempDir m_tmp;   // removed after the applications below
    std::string m_szDir;
    std::string m_szJournal;
    std::vector<std::unique_ptr<App>> m_apapp;
};

} // namespace simtest

#endif // DRAVO_TEST_PLATFORM_SIM_H
