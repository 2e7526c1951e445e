// resappend.cpp
// Build-time tool: put a file's bytes into the resource archive appended to
// an executable (COsResource::Update), replacing a resource of the same name.
//
//   dravo-resappend <executable> <resource name> <data file>
//
// The build runs it after linking dravo and dravo-sim to add the LOOKUP
// resource (the TWAIN symbol table). Installing must keep the appended
// archive: do not strip the installed executables (no "install -s", no
// "cmake --install --strip"); stripping rewrites the file and drops it.
// Exit status: 0 done, 1 failure (a message on standard error).

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "osservices.h"

// The module globals a program of the services layer defines.
OSSERVICES_APPLICATION_GLOBALS("dravo-resappend");

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: %s <executable> <resource name> <data file>\n", argv[0]);
        return 1;
    }
    std::ifstream in(argv[3], std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[3]);
        return 1;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    std::string data = ss.str();
    if (data.empty())
    {
        std::fprintf(stderr, "%s: %s is empty\n", argv[0], argv[3]);
        return 1;
    }

    COsResource osresource;
    EOSSTS eossts = osresource.Update(argv[1], argv[2], 0, data.size(), data.data());
    if (eossts != OS_STS_OK)
    {
        std::fprintf(stderr, "%s: cannot add %s to %s (status %d)\n", argv[0], argv[2], argv[1], static_cast<int>(eossts));
        return 1;
    }

    // Read it back: the archive must hand out exactly these bytes.
    eossts = osresource.Open(argv[1], argv[2], 0);
    bool blSame = (eossts == OS_STS_OK) && (osresource.GetSize() == data.size()) &&
                  (data.compare(0, data.size(), static_cast<const char*>(osresource.GetPointer()), data.size()) == 0);
    osresource.Close();
    if (!blSame)
    {
        std::fprintf(stderr, "%s: %s in %s does not read back (status %d)\n", argv[0], argv[2], argv[1], static_cast<int>(eossts));
        return 1;
    }
    return 0;
}
