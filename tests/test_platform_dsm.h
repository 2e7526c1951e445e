// test_platform_dsm.h
//
// Helpers of the DSM tests: the stand-in DSM loaded with dlopen once per
// process (no code of the program is linked) with its entry and diagnostic
// counters, an application connection, and a fixture that points the DSM at
// the test-only Data Sources and restores the environment.

#ifndef DRAVO_TEST_PLATFORM_DSM_H
#define DRAVO_TEST_PLATFORM_DSM_H

#include "../twain/twaindefs.h"
#include "platform_fixtures/fixture_ds.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dsmtest
{
typedef unsigned long (*DiagProc)(void);

// The DSM library with its entry and its diagnostic counters, loaded once
// per process.
struct Dsm
{
    void*        pvHandle = nullptr;
    DSMENTRYPROC pfnEntry = nullptr;
    DiagProc     pfnLiveAllocations = nullptr;
    DiagProc     pfnFamilyErrors = nullptr;
    DiagProc     pfnOpenApplications = nullptr;

    static Dsm& Get()
    {
        static Dsm s_dsm = Load();
        return s_dsm;
    }

private:
    static Dsm Load()
    {
        Dsm dsm;
        dsm.pvHandle = dlopen(DRAVO_SIM_DSM_PATH, RTLD_NOW | RTLD_LOCAL);
        if (dsm.pvHandle)
        {
            dsm.pfnEntry = reinterpret_cast<DSMENTRYPROC>(dlsym(dsm.pvHandle, "DSM_Entry"));
            dsm.pfnLiveAllocations = reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagLiveAllocations"));
            dsm.pfnFamilyErrors = reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagFamilyErrors"));
            dsm.pfnOpenApplications =
                reinterpret_cast<DiagProc>(dlsym(dsm.pvHandle, "TwainDsmDiagOpenApplications"));
        }
        return dsm;
    }
};

inline TW_UINT16 Entry(pTW_IDENTITY a_ptwOrigin, pTW_IDENTITY a_ptwDest, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat,
                       TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
{
    return Dsm::Get().pfnEntry(a_ptwOrigin, a_ptwDest, a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
}

inline std::string FixtureFolder(const char* a_szName)
{
    return std::string(DRAVO_BINARY_DIR) + "/tests/platform_fixtures/" + a_szName;
}

// One application connection; closes its sources and the DSM when it goes.
class App
{
public:
    // Version 1, English/USA, protocol 2.4 with DF_APP2 or 1.9 without.
    explicit App(const char* a_szName = "DSM Test App", bool a_blApp2 = true)
    {
        m_twidentity.Version.MajorNum = 1;
        m_twidentity.Version.Language = TWLG_ENGLISH_USA;
        m_twidentity.Version.Country = TWCY_USA;
        std::snprintf(m_twidentity.Version.Info, sizeof(m_twidentity.Version.Info), "test");
        m_twidentity.ProtocolMajor = a_blApp2 ? 2 : 1;
        m_twidentity.ProtocolMinor = a_blApp2 ? 4 : 9;
        m_twidentity.SupportedGroups = DG_CONTROL | DG_IMAGE | DG_CUSTOM | (a_blApp2 ? DF_APP2 : 0);
        std::snprintf(m_twidentity.Manufacturer, sizeof(m_twidentity.Manufacturer), "Tests");
        std::snprintf(m_twidentity.ProductFamily, sizeof(m_twidentity.ProductFamily), "DT");
        std::snprintf(m_twidentity.ProductName, sizeof(m_twidentity.ProductName), "%s", a_szName);
    }
    ~App()
    {
        for (TW_IDENTITY& twidentity : m_atwSources)
        {
            if (twidentity.Id)
            {
                Entry(&m_twidentity, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twidentity);
            }
        }
        if (m_blOpen)
        {
            Entry(&m_twidentity, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
        }
    }
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    TW_IDENTITY* Identity() { return &m_twidentity; }
    bool DsmOpen() const { return m_blOpen; }

    TW_UINT16 Call(pTW_IDENTITY a_ptwDest, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg,
                   TW_MEMREF a_pData)
    {
        return Entry(&m_twidentity, a_ptwDest, a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
    }

    TW_UINT16 OpenDsm()
    {
        TW_HANDLE hParent = nullptr;
        TW_UINT16 twrc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &hParent);
        m_blOpen = m_blOpen || twrc == TWRC_SUCCESS;
        return twrc;
    }
    TW_UINT16 CloseDsm()
    {
        TW_HANDLE hParent = nullptr;
        TW_UINT16 twrc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &hParent);
        if (twrc == TWRC_SUCCESS)
        {
            m_blOpen = false;
        }
        return twrc;
    }

    // The DSM's own condition code (DAT_STATUS without destination).
    TW_UINT16 DsmStatus()
    {
        TW_STATUS twstatus;
        memset(&twstatus, 0xEE, sizeof(twstatus));
        TW_UINT16 twrc = Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus);
        EXPECT_EQ(twrc, TWRC_SUCCESS);
        return twstatus.ConditionCode;
    }

    // The DSM's condition code after a call that had to fail; 0xFFFF when it did not fail.
    TW_UINT16 FailCc(TW_UINT16 a_u16Rc) { return (a_u16Rc == TWRC_FAILURE) ? DsmStatus() : 0xFFFF; }

    // Opens a source into the given slot (0 to 3); the identity is prepared
    // by the caller (Id, ProductName or nothing).
    TW_UINT16 OpenDs(int a_iSlot, const TW_IDENTITY& a_twRequest)
    {
        m_atwSources[a_iSlot] = a_twRequest;
        TW_UINT16 twrc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_atwSources[a_iSlot]);
        if (twrc != TWRC_SUCCESS)
        {
            m_atwSources[a_iSlot].Id = 0;
        }
        return twrc;
    }
    TW_UINT16 OpenDsByName(int a_iSlot, const char* a_szName)
    {
        TW_IDENTITY twidentity = {};
        snprintf(twidentity.ProductName, sizeof(twidentity.ProductName), "%s", a_szName);
        return OpenDs(a_iSlot, twidentity);
    }
    TW_UINT16 CloseDs(int a_iSlot)
    {
        TW_UINT16 twrc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_atwSources[a_iSlot]);
        if (twrc == TWRC_SUCCESS)
        {
            m_atwSources[a_iSlot].Id = 0;
        }
        return twrc;
    }
    TW_IDENTITY* Source(int a_iSlot) { return &m_atwSources[a_iSlot]; }
    // Forgets a source that was closed behind the helper's back.
    void Forget(int a_iSlot) { m_atwSources[a_iSlot].Id = 0; }

    TW_UINT16 Echo(int a_iSlot, TW_UINT32 a_u32Dg, TW_UINT16 a_u16Msg, FixtureEcho& a_fixtureecho)
    {
        return Call(Source(a_iSlot), a_u32Dg, FIXTURE_DAT_ECHO, a_u16Msg, &a_fixtureecho);
    }

    TW_ENTRYPOINT EntryPoint()
    {
        TW_ENTRYPOINT twentrypoint = {};
        twentrypoint.Size = sizeof(TW_ENTRYPOINT);
        EXPECT_EQ(Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &twentrypoint), TWRC_SUCCESS);
        return twentrypoint;
    }

private:
    TW_IDENTITY m_twidentity = {};
    TW_IDENTITY m_atwSources[4] = {};
    bool        m_blOpen = false;
};

// Points the DSM at the fixture sources and clears its other variables;
// puts the environment back afterwards.
class DsmTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(Dsm::Get().pvHandle, nullptr) << dlerror();
        ASSERT_NE(Dsm::Get().pfnEntry, nullptr);
        ASSERT_NE(Dsm::Get().pfnLiveAllocations, nullptr);
        ASSERT_NE(Dsm::Get().pfnFamilyErrors, nullptr);
        ASSERT_NE(Dsm::Get().pfnOpenApplications, nullptr);
        for (const char* szName : {"TWAINDSM_SOURCES", "TWAINDSM_DEFAULT", "TWAINDSM_LOG", "TWAINDSM_LOGMODE"})
        {
            const char* szValue = getenv(szName);
            m_mapsaved[szName] = szValue ? std::optional<std::string>(szValue) : std::nullopt;
            unsetenv(szName);
        }
        setenv("TWAINDSM_SOURCES", FixtureFolder("sources").c_str(), 1);
        ASSERT_EQ(Dsm::Get().pfnOpenApplications(), 0UL) << "an earlier test left the DSM open";
    }
    void TearDown() override
    {
        m_apapp.clear();
        for (const auto& kv : m_mapsaved)
        {
            kv.second ? setenv(kv.first.c_str(), kv.second->c_str(), 1) : unsetenv(kv.first.c_str());
        }
    }

    // An application with the DSM open, closed at the end of the test (a
    // refused open fails the test).
    App& OpenApp(const char* a_szName = "DSM Test App")
    {
        m_apapp.emplace_back(new App(a_szName));
        EXPECT_EQ(m_apapp.back()->OpenDsm(), TWRC_SUCCESS) << a_szName;
        return *m_apapp.back();
    }

    static unsigned long LiveAllocations() { return Dsm::Get().pfnLiveAllocations(); }
    static unsigned long FamilyErrors() { return Dsm::Get().pfnFamilyErrors(); }
    static unsigned long OpenApplications() { return Dsm::Get().pfnOpenApplications(); }

private:
    std::vector<std::unique_ptr<App>> m_apapp;
    std::map<std::string, std::optional<std::string>> m_mapsaved;   // the variables as they were
};

// The value of a field of a packed TWAIN structure: the test macros take
// their arguments by reference, and an 8-byte field of a 2-byte-packed
// structure must never be bound to a reference (misaligned).
template <typename T>
inline T V(T a_value)
{
    return a_value;
}

// The ProductName of a source identity as a string (terminated by the DSM).
inline std::string Name(const TW_IDENTITY& a_twidentity)
{
    return std::string(a_twidentity.ProductName, strnlen(a_twidentity.ProductName, sizeof(TW_STR32)));
}
} // namespace dsmtest

#endif // DRAVO_TEST_PLATFORM_DSM_H
