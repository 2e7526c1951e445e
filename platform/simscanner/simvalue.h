// simvalue.h
//
// Capability items and containers of the simulated scanner: one item of any
// TWTY_ type, and the decoded form of a one-value, enumeration, range or array
// container, with the byte layout of this build (2-byte packing, 8-byte
// TW_UINT32) for reading what an application sent and writing what the source
// answers.

#ifndef DRAVO_SIMVALUE_H
#define DRAVO_SIMVALUE_H

#include "simdefs.h"

#include <cstdint>
#include <string>
#include <vector>

// One item. Integers, TW_BOOL and TW_FIX32 live in m_i64 (a TW_FIX32 as its
// signed 16.16 fixed-point number, Whole x 65536 + Frac); frames as four such
// numbers plus the 8-byte angle of TWTY_FRAMEANGLE; strings in m_sz.
struct SimItem
{
    std::int64_t m_i64 = 0;
    std::int32_t m_ai32Frame[4] = {0, 0, 0, 0};
    std::int64_t m_i64Angle = 0;
    std::string  m_sz;
};

// Item-type helpers.
bool SimTypeIsInteger(TW_UINT16 a_u16Type);   // INT8..UINT32 and BOOL
bool SimTypeIsNumeric(TW_UINT16 a_u16Type);   // integers (without BOOL) and FIX32
bool SimTypeIsString(TW_UINT16 a_u16Type);
bool SimTypeIsFrame(TW_UINT16 a_u16Type);     // FRAME and FRAMEANGLE
bool SimTypeKnown(TW_UINT16 a_u16Type);       // every type the simulator stores
std::size_t SimItemSize(TW_UINT16 a_u16Type); // stride of an item list, 0 unknown

// The value range an integer item type can hold.
bool SimIntFits(TW_UINT16 a_u16Type, std::int64_t a_i64);

// TW_FIX32 conversions (the standard's: rounding to the nearest 1/65536, and
// a negative number kept as two's complement over Whole and Frac).
std::int32_t SimFixFromDouble(double a_d);
double       SimFixToDouble(std::int64_t a_i64Fix);
TW_FIX32     SimFixToTw(std::int64_t a_i64Fix);
std::int32_t SimFixFromTw(TW_FIX32 a_fix);

// Items equal for their type (strings case-sensitive).
bool SimItemEqual(TW_UINT16 a_u16Type, const SimItem& a_a, const SimItem& a_b);
// Ordering of numeric items (integers and FIX32).
int  SimItemCompare(const SimItem& a_a, const SimItem& a_b);

// Reading and writing one item at a byte address (no alignment assumed).
// Reading a string fails (returns false) when no terminator lies within the
// item's width.
bool SimItemRead(TW_UINT16 a_u16Type, const unsigned char* a_pu8, SimItem& a_item);
void SimItemWrite(TW_UINT16 a_u16Type, const SimItem& a_item, unsigned char* a_pu8);

// Items for building tables.
SimItem SimInt(std::int64_t a_i64);
SimItem SimFix(double a_d);
SimItem SimFrame(double a_dLeft, double a_dTop, double a_dRight, double a_dBottom, std::int64_t a_i64Angle = 0);
SimItem SimStr(const std::string& a_sz);

// A decoded container. For a range m_aItems holds min, max, step, default,
// current (in that order); for a one-value one item.
struct SimContainer
{
    TW_UINT16            m_u16ConType = 0;
    TW_UINT16            m_u16ItemType = 0;
    std::vector<SimItem> m_aItems;
    std::uint64_t        m_u64CurrentIndex = 0;
    std::uint64_t        m_u64DefaultIndex = 0;
};

// Largest item list the simulator accepts from an application.
constexpr std::uint64_t kSimMaxItems = 65536;

// Bytes a container of this shape needs.
std::size_t SimContainerSize(const SimContainer& a_con);

// Decodes a container laid out at a_pu8. Checks the container type, the item
// type, the item count and every string item; on a fault returns false and
// sets the condition code (TWCC_BADVALUE). The container's size is taken from
// its own header: an application that says more than it allocated is not
// detectable here, which is why the count is bounded.
bool SimContainerDecode(TW_UINT16 a_u16ConType, const unsigned char* a_pu8, SimContainer& a_con, TW_UINT16& a_u16Cc);

// Encodes into a_au8 (resized to SimContainerSize).
void SimContainerEncode(const SimContainer& a_con, std::vector<unsigned char>& a_au8);

// Text of an item for the journal and error messages.
std::string SimItemText(TW_UINT16 a_u16Type, const SimItem& a_item);

#endif // DRAVO_SIMVALUE_H
