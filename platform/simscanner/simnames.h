// simnames.h
//
// Names of TWAIN values for the simulator's journal and configuration file:
// data groups, data argument types, messages, return and condition codes,
// capabilities, item and container types, and the symbolic values a
// configuration file may use (TWPT_RGB, TWDE_PAPERJAM, ...).

#ifndef DRAVO_SIMNAMES_H
#define DRAVO_SIMNAMES_H

#include <cstdint>
#include <string>

enum ESimNameKind
{
    eSimNameDg,
    eSimNameDat,
    eSimNameMsg,
    eSimNameRc,
    eSimNameCc,
    eSimNameCap,
    eSimNameTy,
    eSimNameOn,
    eSimNameValue,   // TWPT_, TWSX_, TWDE_, ... (every prefix in one table)
};

// The name of a value; an empty text when the table has none.
std::string SimNameOf(ESimNameKind a_eKind, std::uint32_t a_u32Value);

// The name, or the fallback "<prefix>0x%04x" when the table has none.
std::string SimNameOrHex(ESimNameKind a_eKind, std::uint32_t a_u32Value);

// The name of a value among the names that begin with the prefix (values
// such as TWDE_ and TWCP_ share numbers); "<prefix>0x%04x" when none has it.
std::string SimValueNameOrHex(const char* a_szPrefix, std::uint32_t a_u32Value);

// The value of a name (case-insensitive); false when unknown.
bool SimValueOf(ESimNameKind a_eKind, const std::string& a_szName, std::uint32_t& a_u32Value);

#endif // DRAVO_SIMNAMES_H
