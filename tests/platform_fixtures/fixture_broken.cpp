// fixture_broken.cpp
//
// A shared library named like a Data Source that exports no DS_Entry: the
// DSM must skip it when it scans its folders.

extern "C" int FixtureNotASource(void)
{
    return 42;
}
