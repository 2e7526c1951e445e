// bench_sim_memxfer.cpp
//
// Memory transfer of a 10,000 x 10,000 gray page from the simulated scanner,
// compared with plain memcpy of the same bytes: the simulator should cost
// about what copying the page costs. Run by hand:
//   cmake --build <build> --target bench_sim_memxfer && <build>/platform/simscanner/bench_sim_memxfer
// The source is called straight through DS_Entry, as a DSM would call it.

#include "twaindefs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const std::size_t kSide = 10000;
const std::size_t kBuffer = 1 << 20;

struct Source
{
    DSENTRYPROC m_pfnEntry = nullptr;
    TW_IDENTITY m_twapp;
    TW_IDENTITY m_twds;
    bool        m_blOpen = false;
    bool        m_blEnabled = false;

    Source()
    {
        // 10 x 10 inches at 1000 dpi, gray, memory transfers, many pages.
        static char s_szConfig[] = "/tmp/bench_sim_XXXXXX";
        int iFd = mkstemp(s_szConfig);
        if (iFd < 0)
        {
            return;
        }
        const char* szConfig = "page = 10 10\npages = 100000\n"
                               "cap ICAP_XRESOLUTION enum fix32 100 1000 default=1000\n"
                               "cap ICAP_YRESOLUTION enum fix32 100 1000 default=1000\n"
                               "cap ICAP_PIXELTYPE enum uint16 TWPT_GRAY\n"
                               "cap ICAP_BITDEPTH enum uint16 8\n"
                               "cap ICAP_XFERMECH enum uint16 TWSX_MEMORY\n";
        if (write(iFd, szConfig, std::strlen(szConfig)) < 0)
        {
            close(iFd);
            return;
        }
        close(iFd);
        setenv("SIMSCANNER_CONFIG", s_szConfig, 1);
        void* pv = dlopen(DRAVO_SIM_DS_PATH, RTLD_NOW | RTLD_LOCAL);
        if (pv == nullptr)
        {
            std::fprintf(stderr, "%s\n", dlerror());
            return;
        }
        m_pfnEntry = reinterpret_cast<DSENTRYPROC>(dlsym(pv, "DS_Entry"));
        std::memset(&m_twapp, 0, sizeof(m_twapp));
        std::memset(&m_twds, 0, sizeof(m_twds));
        m_twapp.Id = 1;
        m_twds.Id = 2;
        m_blOpen = m_pfnEntry != nullptr &&
                   m_pfnEntry(&m_twapp, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_twds) == TWRC_SUCCESS;
        unlink(s_szConfig);   // read at open
        unsetenv("SIMSCANNER_CONFIG");
    }

    TW_UINT16 Call(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData)
    {
        return m_pfnEntry(&m_twapp, a_u32Dg, a_u16Dat, a_u16Msg, a_pData);
    }

    // Waits for state 6 (the source has no DSM here: events arrive through DAT_EVENT).
    bool Enable()
    {
        if (m_blEnabled)
        {
            return true;   // state 6 from the run before: the feeder is long
        }
        TW_USERINTERFACE twui;
        std::memset(&twui, 0, sizeof(twui));
        if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twui) != TWRC_SUCCESS)
        {
            return false;
        }
        TW_EVENT twevent;
        std::memset(&twevent, 0, sizeof(twevent));
        for (int ii = 0; ii < 1000; ii++)
        {
            if (Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twevent) == TWRC_DSEVENT && twevent.TWMessage == MSG_XFERREADY)
            {
                m_blEnabled = true;
                return true;
            }
            usleep(1000);
        }
        return false;
    }
};

Source& TheSource()
{
    static Source s_source;
    return s_source;
}

void BM_SimMemoryTransfer(benchmark::State& a_state)
{
    Source& source = TheSource();
    if (!source.m_blOpen || !source.Enable())
    {
        a_state.SkipWithError("cannot open the simulated scanner");
        return;
    }
    std::vector<unsigned char> au8(kBuffer);
    for (auto _ : a_state)
    {
        TW_UINT16 u16Rc = TWRC_SUCCESS;
        while (u16Rc == TWRC_SUCCESS)
        {
            TW_IMAGEMEMXFER twmem;
            std::memset(&twmem, 0, sizeof(twmem));
            twmem.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            twmem.Memory.Length = au8.size();
            twmem.Memory.TheMem = au8.data();
            u16Rc = source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &twmem);
            benchmark::DoNotOptimize(au8.data());
        }
        if (u16Rc != TWRC_XFERDONE)
        {
            a_state.SkipWithError("transfer failed");
            return;
        }
        TW_PENDINGXFERS twpending;
        std::memset(&twpending, 0, sizeof(twpending));
        source.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpending);
    }
    a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_SimMemoryTransfer)->Unit(benchmark::kMillisecond);

// The same bytes copied from a page already in memory, in the same blocks.
void BM_MemcpyOfAPage(benchmark::State& a_state)
{
    std::vector<unsigned char> au8Page(kSide * kSide, 0x5A);
    std::vector<unsigned char> au8(kBuffer);
    for (auto _ : a_state)
    {
        std::size_t uRows = kBuffer / kSide;
        for (std::size_t uAt = 0; uAt < au8Page.size(); uAt += uRows * kSide)
        {
            std::size_t uBytes = std::min(uRows * kSide, au8Page.size() - uAt);
            std::memcpy(au8.data(), au8Page.data() + uAt, uBytes);
            benchmark::DoNotOptimize(au8.data());
        }
    }
    a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_MemcpyOfAPage)->Unit(benchmark::kMillisecond);
}

BENCHMARK_MAIN();
