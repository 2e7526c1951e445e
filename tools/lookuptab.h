// lookuptab.h
// The source table of the TWAIN symbol table (twain/lookup/lookup.tab): its
// reader, its checks, and the LOOKUP XML made from it.
//
// Header-only and standard C++ only: the build-time generator (lookupgen)
// and the tests both use it, so that the tests compare the loaded table with
// exactly what the source says.
//
// The table format (see the head of lookup.tab):
//   family <PREFIX_>
//   cap    <NAME> <id> <TWTY_ item type> <TWON_ container>
//     <SYMBOL> <value> <friendly name or ->
// A '#' followed by a blank or ending the line starts a comment; "#300" is a
// symbol. Numbers are hexadecimal with "0x".
//
// The LOOKUP XML: one line, root element "lookup" with the attributes bytes
// (the length of the whole text), records and enums (the counts), then per
// record the elements f (name), g (id), h (item type), i (container type)
// in hexadecimal (empty for families), j (0 standard, 1 custom), l (the
// lower-case label of a capability) and, when it has values, Z holding one
// n (friendly name), o (symbol), p (value in hexadecimal) per value.
#ifndef DRAVO_LOOKUPTAB_H
#define DRAVO_LOOKUPTAB_H

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace lookuptab
{

// Limits of the loaded table (CLookup): record block and value list sizes,
// and the longest text a 64-character field holds.
const size_t kMaxRecords = 1024;
const size_t kMaxValues = 256;
const size_t kMaxText = 63;

// The families, in the order the table holds them.
inline const std::vector<std::string>& Families()
{
    static const std::vector<std::string> s_families = {
        "DAT_", "DF_", "DG_", "MSG_", "TWCC_", "TWRC_", "TWTY_", "TWON_", "TWEI_", "TWCY_"
    };
    return s_families;
}

struct Value
{
    std::string symbol;
    uint32_t    value = 0;
    std::string name;       // friendly name, "" for none
    int         line = 0;
};

struct Record
{
    std::string        name;
    bool               family = false;
    uint32_t           id = 0;
    uint32_t           itemtype = 0;
    uint32_t           contype = 0;
    std::vector<Value> values;
    int                line = 0;
};

inline bool StartsWith(const std::string& a_s, const char* a_szPrefix)
{
    return a_s.compare(0, std::char_traits<char>::length(a_szPrefix), a_szPrefix) == 0;
}

inline bool IsCapabilityName(const std::string& a_s)
{
    return StartsWith(a_s, "CAP_") || StartsWith(a_s, "ICAP_") || StartsWith(a_s, "ACAP_");
}

// Sort rank of a capability record: CAP_, ICAP_, ACAP_.
inline int CapabilityRank(const std::string& a_s)
{
    if (StartsWith(a_s, "CAP_")) return 0;
    if (StartsWith(a_s, "ICAP_")) return 1;
    return 2;
}

inline bool ParseHex(const std::string& a_s, uint32_t& a_u)
{
    if (a_s.size() < 3 || a_s[0] != '0' || (a_s[1] != 'x' && a_s[1] != 'X') || a_s.size() > 10)
    {
        return false;
    }
    uint32_t u = 0;
    for (size_t i = 2; i < a_s.size(); i++)
    {
        int c = static_cast<unsigned char>(a_s[i]);
        if (!std::isxdigit(c))
        {
            return false;
        }
        u = (u << 4) | static_cast<uint32_t>(std::isdigit(c) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    a_u = u;
    return true;
}

// Split one line into words, dropping a comment.
inline std::vector<std::string> Words(const std::string& a_line)
{
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i <= a_line.size(); i++)
    {
        char c = (i < a_line.size()) ? a_line[i] : '\n';
        if (c == '#' && word.empty())
        {
            char next = (i + 1 < a_line.size()) ? a_line[i + 1] : '\n';
            if (next == ' ' || next == '\t' || next == '\n' || next == '\r')
            {
                break;
            }
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
        {
            if (!word.empty())
            {
                words.push_back(word);
                word.clear();
            }
            continue;
        }
        word += c;
    }
    if (!word.empty())
    {
        words.push_back(word);
    }
    return words;
}

// Read and check the source table. On success the records are in table
// order: the families in their fixed order, then the capabilities sorted
// (CAP_, ICAP_, ACAP_, each by name). On failure a_error names the line.
inline bool Parse(const std::string& a_text, std::vector<Record>& a_records, std::string& a_error)
{
    a_records.clear();
    std::vector<Record> records;
    std::istringstream in(a_text);
    std::string line;
    int iLine = 0;
    auto fail = [&](const std::string& a_msg) {
        a_error = "line " + std::to_string(iLine) + ": " + a_msg;
        return false;
    };

    // Item types and containers are written as symbols; they resolve through
    // the TWTY_ and TWON_ families, so capabilities are resolved afterwards.
    struct PendingCap { size_t index; std::string itemtype; std::string contype; int line; };
    std::vector<PendingCap> pending;

    while (std::getline(in, line))
    {
        iLine++;
        std::vector<std::string> w = Words(line);
        if (w.empty())
        {
            continue;
        }
        if (w[0] == "family")
        {
            if (w.size() != 2)
            {
                return fail("family takes one prefix");
            }
            Record r;
            r.name = w[1];
            r.family = true;
            r.line = iLine;
            records.push_back(r);
        }
        else if (w[0] == "cap")
        {
            if (w.size() != 5)
            {
                return fail("cap takes a name, an id, an item type and a container");
            }
            Record r;
            r.name = w[1];
            r.line = iLine;
            if (!IsCapabilityName(r.name))
            {
                return fail("a capability name begins with CAP_, ICAP_ or ACAP_: " + r.name);
            }
            if (!ParseHex(w[2], r.id) || r.id > 0xFFFF)
            {
                return fail("bad capability id " + w[2]);
            }
            pending.push_back({records.size(), w[3], w[4], iLine});
            records.push_back(r);
        }
        else
        {
            if (records.empty())
            {
                return fail("a value before any record");
            }
            if (w.size() != 3)
            {
                return fail("a value line holds a symbol, a value and a friendly name");
            }
            Value v;
            v.symbol = w[0];
            v.line = iLine;
            if (!ParseHex(w[1], v.value))
            {
                return fail("bad value " + w[1]);
            }
            v.name = (w[2] == "-") ? std::string() : w[2];
            records.back().values.push_back(v);
        }
    }

    // The families: exactly the fixed list, in its order, before any capability.
    const std::vector<std::string>& families = Families();
    size_t nFamilies = 0;
    while (nFamilies < records.size() && records[nFamilies].family)
    {
        nFamilies++;
    }
    if (nFamilies != families.size())
    {
        iLine = (nFamilies < records.size()) ? records[nFamilies].line : iLine;
        return fail("the table starts with the " + std::to_string(families.size()) + " families");
    }
    for (size_t i = 0; i < records.size(); i++)
    {
        iLine = records[i].line;
        if (i < nFamilies && records[i].name != families[i])
        {
            return fail("family " + records[i].name + " out of place, expected " + families[i]);
        }
        if (i >= nFamilies && records[i].family)
        {
            return fail("family after the capabilities");
        }
    }

    // Resolve item types and containers.
    auto find = [&](const std::string& a_family, const std::string& a_symbol, uint32_t& a_u) {
        for (const Record& r : records)
        {
            if (r.family && r.name == a_family)
            {
                for (const Value& v : r.values)
                {
                    if (v.symbol == a_symbol)
                    {
                        a_u = v.value;
                        return true;
                    }
                }
            }
        }
        return false;
    };
    for (const PendingCap& p : pending)
    {
        iLine = p.line;
        if (!find("TWTY_", p.itemtype, records[p.index].itemtype))
        {
            return fail("unknown item type " + p.itemtype);
        }
        if (!find("TWON_", p.contype, records[p.index].contype))
        {
            return fail("unknown container " + p.contype);
        }
    }

    // Limits and uniqueness.
    if (records.size() > kMaxRecords)
    {
        a_error = "more than " + std::to_string(kMaxRecords) + " records";
        return false;
    }
    std::map<std::string, int> names;
    for (const Record& r : records)
    {
        iLine = r.line;
        if (r.name.empty() || r.name.size() > kMaxText)
        {
            return fail("record name empty or longer than 63 characters");
        }
        if (names.count(r.name))
        {
            return fail("record " + r.name + " twice (first on line " + std::to_string(names[r.name]) + ")");
        }
        names[r.name] = r.line;
        if (r.values.size() > kMaxValues)
        {
            return fail(r.name + " has more than " + std::to_string(kMaxValues) + " values");
        }
        for (const Value& v : r.values)
        {
            iLine = v.line;
            if (v.symbol.empty() || v.symbol.size() > kMaxText || v.name.size() > kMaxText)
            {
                return fail("symbol or name longer than 63 characters");
            }
            if (r.family && !StartsWith(v.symbol, r.name.c_str()))
            {
                return fail(v.symbol + " does not belong to " + r.name);
            }
            // A number symbol ("#300") names its own value. A TWTY_FIX32
            // enumeration is shown by looking up the value 0 for every item,
            // so "#0" there would hide every current and default value.
            if (v.symbol[0] == '#' && std::to_string(v.value) != v.symbol.substr(1))
            {
                return fail(v.symbol + " is not the number symbol of its value in " + r.name);
            }
            if (v.symbol == "#0" && r.itemtype == 0x7 /* TWTY_FIX32 */)
            {
                return fail("#0 would hide every value of the TWTY_FIX32 enumeration " + r.name);
            }
        }
    }

    // Capabilities: CAP_, ICAP_, ACAP_, each alphabetically.
    std::stable_sort(records.begin() + static_cast<long>(nFamilies), records.end(),
                     [](const Record& a_a, const Record& a_b) {
                         int ra = CapabilityRank(a_a.name);
                         int rb = CapabilityRank(a_b.name);
                         return (ra != rb) ? (ra < rb) : (a_a.name < a_b.name);
                     });
    a_records = records;
    return true;
}

inline std::string Escape(const std::string& a_s)
{
    std::string out;
    for (char c : a_s)
    {
        switch (c)
        {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c; break;
        }
    }
    return out;
}

inline std::string Hex(uint32_t a_u)
{
    char sz[16];
    std::snprintf(sz, sizeof(sz), "%x", a_u);
    return sz;
}

inline std::string Lower(std::string a_s)
{
    for (char& c : a_s)
    {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return a_s;
}

// The LOOKUP XML of checked records (one line, no line breaks).
inline std::string ToXml(const std::vector<Record>& a_records)
{
    std::string body;
    size_t nValues = 0;
    for (const Record& r : a_records)
    {
        body += "<f>" + Escape(r.name) + "</f>";
        if (r.family)
        {
            body += "<g></g><h></h><i></i><j>0</j>";
        }
        else
        {
            body += "<g>" + Hex(r.id) + "</g><h>" + Hex(r.itemtype) + "</h><i>" + Hex(r.contype) + "</i>";
            body += (r.id >= 0x8000) ? "<j>1</j>" : "<j>0</j>";
            body += "<l>" + Escape(Lower(r.name.substr(r.name.find('_') + 1))) + "</l>";
        }
        if (!r.values.empty())
        {
            body += "<Z>";
            for (const Value& v : r.values)
            {
                body += "<n>" + Escape(v.name) + "</n><o>" + Escape(v.symbol) + "</o><p>" + Hex(v.value) + "</p>";
                nValues++;
            }
            body += "</Z>";
        }
    }
    const std::string tail = "</lookup>";
    // The bytes attribute counts the whole text, itself included.
    size_t bytes = 0;
    std::string head;
    for (int i = 0; i < 4; i++)
    {
        head = "<lookup bytes=\"" + std::to_string(bytes) + "\" records=\"" + std::to_string(a_records.size()) +
               "\" enums=\"" + std::to_string(nValues) + "\">";
        size_t total = head.size() + body.size() + tail.size();
        if (total == bytes)
        {
            break;
        }
        bytes = total;
    }
    return head + body + tail;
}

} // namespace lookuptab

#endif // DRAVO_LOOKUPTAB_H
