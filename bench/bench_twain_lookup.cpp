// bench_twain_lookup.cpp
// The symbol table: every connection loads its own table, so a load should
// stay under 2 ms; printouts look up once per printed field.
//
// The executable carries the table as its LOOKUP resource (appended by the
// build), so Load reads it exactly as the program does.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "clookup.h"
#include "osservices.h"

// Construct, load and destroy a table: what each connection does.
static void BM_LookupConstructAndLoad(benchmark::State& a_state)
{
    for (auto _ : a_state)
    {
        CLookup clookup;
        EOSSTS eossts = clookup.Load();
        benchmark::DoNotOptimize(eossts);
        if (eossts != OS_STS_OK)
        {
            a_state.SkipWithError("the table did not load");
            break;
        }
    }
}
BENCHMARK(BM_LookupConstructAndLoad)->Unit(benchmark::kMicrosecond);

// Load again into the same table (reading the resource and parsing).
static void BM_LookupReload(benchmark::State& a_state)
{
    CLookup clookup;
    for (auto _ : a_state)
    {
        EOSSTS eossts = clookup.Load();
        benchmark::DoNotOptimize(eossts);
        if (eossts != OS_STS_OK)
        {
            a_state.SkipWithError("the table did not load");
            break;
        }
    }
}
BENCHMARK(BM_LookupReload)->Unit(benchmark::kMicrosecond);

// A mix of lookups as a capability printout and the script commands make:
// names of codes, capabilities and values, by name and by number.
static void BM_LookupMix(benchmark::State& a_state)
{
    CLookup clookup;
    if (clookup.Load() != OS_STS_OK)
    {
        a_state.SkipWithError("the table did not load");
        return;
    }
    clookup.SetCustomValues(true);
    int64_t i64Found = 0;
    for (auto _ : a_state)
    {
        char szName[128];
        TW_UINT16 u16 = 0;
        i64Found += clookup.Lookup("TWRC_SUCCESS") != nullptr;
        i64Found += clookup.Lookup("ICAP_XRESOLUTION") != nullptr;
        i64Found += clookup.Lookup("TWPT_RGB") != nullptr;
        i64Found += clookup.Lookup("TWLG_ENGLISH_USA") != nullptr;
        i64Found += clookup.Lookup("MSG_GET") != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAP, ICAP_PIXELTYPE, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAP, CAP_WINDOWCAMERA, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAPVALUE, TWPT_RGB, ICAP_PIXELTYPE, TWTY_UINT16) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAPVALUE, 300, ICAP_XRESOLUTION, TWTY_FIX32) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAPVALUE, ICAP_YRESOLUTION, CAP_SUPPORTEDCAPS, TWTY_UINT16) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_CAPVALUE, 0x00010001, CAP_SUPPORTEDDATS, TWTY_UINT32) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_TWTY, TWTY_UINT16, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_TWRC, TWRC_FAILURE, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_TWCC, TWCC_BADVALUE, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_TWCY, TWCY_USA, 0, -1) != nullptr;
        i64Found += clookup.Lookup(ETWLOOKUP_TWEI, TWEI_HDR_ENDOFSHEET, 0, -1) != nullptr;
        i64Found += clookup.LookupEnum("CAP_LANGUAGE", "TWLG_USERLOCALE", szName, sizeof(szName));
        i64Found += clookup.LookupEnum("ICAP_IMAGEFILEFORMAT", "TWFF_TIFF", &u16);
        benchmark::DoNotOptimize(i64Found);
    }
    a_state.SetItemsProcessed(a_state.iterations() * 18);
}
BENCHMARK(BM_LookupMix);

int main(int argc, char** argv)
{
    OsServicesStart(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OsServicesStop();
    return 0;
}
