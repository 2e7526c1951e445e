// lookupgen.cpp
// Build-time generator of the LOOKUP XML: reads the TWAIN symbol table
// source (twain/lookup/lookup.tab), checks it, and writes the one-line XML
// that the build appends to the executables as their LOOKUP resource.
//
//   dravo-lookupgen <lookup.tab> <lookup.xml>
//
// The output file is rewritten only when its content changes, so that the
// executables are relinked (and the resource appended again) only then.
// Exit status: 0 written or unchanged, 1 a bad table or an I/O error.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lookuptab.h"

static bool ReadAll(const char* a_szPath, std::string& a_text)
{
    std::ifstream in(a_szPath, std::ios::binary);
    if (!in)
    {
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    a_text = ss.str();
    return true;
}

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <lookup.tab> <lookup.xml>\n", argv[0]);
        return 1;
    }
    std::string table;
    if (!ReadAll(argv[1], table))
    {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::vector<lookuptab::Record> records;
    std::string error;
    if (!lookuptab::Parse(table, records, error))
    {
        std::fprintf(stderr, "%s:%s\n", argv[1], error.c_str() + 4);   // "line N: ..." -> "N: ..."
        return 1;
    }
    std::string xml = lookuptab::ToXml(records);

    std::string old;
    if (ReadAll(argv[2], old) && old == xml)
    {
        return 0;
    }
    std::string tmp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(xml.data(), static_cast<std::streamsize>(xml.size())))
        {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], tmp.c_str());
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), argv[2]) != 0)
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}
