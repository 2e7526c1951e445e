// simvalue.cpp
//
// Items and containers of the simulated scanner (see simvalue.h).

#include "simvalue.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
template <typename T>
T ReadAt(const unsigned char* a_pu8)
{
    T t;
    std::memcpy(&t, a_pu8, sizeof(T));
    return t;
}

template <typename T>
void WriteAt(unsigned char* a_pu8, T a_t)
{
    std::memcpy(a_pu8, &a_t, sizeof(T));
}
}

bool SimTypeIsInteger(TW_UINT16 a_u16Type)
{
    return a_u16Type <= TWTY_BOOL;
}

bool SimTypeIsNumeric(TW_UINT16 a_u16Type)
{
    return a_u16Type <= TWTY_UINT32 || a_u16Type == TWTY_FIX32;
}

bool SimTypeIsString(TW_UINT16 a_u16Type)
{
    return a_u16Type >= TWTY_STR32 && a_u16Type <= TWTY_STR1024;
}

bool SimTypeIsFrame(TW_UINT16 a_u16Type)
{
    return a_u16Type == TWTY_FRAME || a_u16Type == TWTY_FRAMEANGLE;
}

bool SimTypeKnown(TW_UINT16 a_u16Type)
{
    return a_u16Type <= TWTY_HANDLE || a_u16Type == TWTY_FRAMEANGLE;
}

std::size_t SimItemSize(TW_UINT16 a_u16Type)
{
    return SimTypeKnown(a_u16Type) ? TwItemSize(a_u16Type) : 0;
}

bool SimIntFits(TW_UINT16 a_u16Type, std::int64_t a_i64)
{
    switch (a_u16Type)
    {
        case TWTY_INT8:   return a_i64 >= -128 && a_i64 <= 127;
        case TWTY_INT16:  return a_i64 >= -32768 && a_i64 <= 32767;
        case TWTY_INT32:  return true;
        case TWTY_UINT8:  return a_i64 >= 0 && a_i64 <= 255;
        case TWTY_UINT16: return a_i64 >= 0 && a_i64 <= 65535;
        case TWTY_UINT32: return true;
        case TWTY_BOOL:   return a_i64 == 0 || a_i64 == 1;
        case TWTY_FIX32:  return a_i64 >= INT32_MIN && a_i64 <= INT32_MAX;
        default:          return true;
    }
}

std::int32_t SimFixFromDouble(double a_d)
{
    if (!(a_d == a_d))
    {
        return 0;
    }
    double d = a_d * 65536.0;
    if (d > 2147483647.0)
    {
        d = 2147483647.0;
    }
    if (d < -2147483648.0)
    {
        d = -2147483648.0;
    }
    return static_cast<std::int32_t>(std::llround(d));
}

double SimFixToDouble(std::int64_t a_i64Fix)
{
    return static_cast<double>(a_i64Fix) / 65536.0;
}

TW_FIX32 SimFixToTw(std::int64_t a_i64Fix)
{
    std::uint32_t u = static_cast<std::uint32_t>(static_cast<std::int32_t>(a_i64Fix));
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(static_cast<std::int16_t>(u >> 16));
    fix.Frac = static_cast<TW_UINT16>(u & 0xFFFF);
    return fix;
}

std::int32_t SimFixFromTw(TW_FIX32 a_fix)
{
    return static_cast<std::int32_t>(static_cast<std::int32_t>(a_fix.Whole) * 65536 + static_cast<std::int32_t>(a_fix.Frac));
}

bool SimItemEqual(TW_UINT16 a_u16Type, const SimItem& a_a, const SimItem& a_b)
{
    if (SimTypeIsString(a_u16Type) || a_u16Type == TWTY_UNI512)
    {
        return a_a.m_sz == a_b.m_sz;
    }
    if (SimTypeIsFrame(a_u16Type))
    {
        for (int ii = 0; ii < 4; ii++)
        {
            if (a_a.m_ai32Frame[ii] != a_b.m_ai32Frame[ii])
            {
                return false;
            }
        }
        return a_u16Type != TWTY_FRAMEANGLE || a_a.m_i64Angle == a_b.m_i64Angle;
    }
    return a_a.m_i64 == a_b.m_i64;
}

int SimItemCompare(const SimItem& a_a, const SimItem& a_b)
{
    return (a_a.m_i64 < a_b.m_i64) ? -1 : ((a_a.m_i64 > a_b.m_i64) ? 1 : 0);
}

bool SimItemRead(TW_UINT16 a_u16Type, const unsigned char* a_pu8, SimItem& a_item)
{
    a_item = SimItem();
    switch (a_u16Type)
    {
        case TWTY_INT8:   a_item.m_i64 = ReadAt<std::int8_t>(a_pu8); return true;
        case TWTY_INT16:  a_item.m_i64 = ReadAt<std::int16_t>(a_pu8); return true;
        case TWTY_INT32:  a_item.m_i64 = ReadAt<std::int64_t>(a_pu8); return true;
        case TWTY_UINT8:  a_item.m_i64 = ReadAt<std::uint8_t>(a_pu8); return true;
        case TWTY_UINT16: a_item.m_i64 = ReadAt<std::uint16_t>(a_pu8); return true;
        case TWTY_UINT32: a_item.m_i64 = static_cast<std::int64_t>(ReadAt<std::uint64_t>(a_pu8)); return true;
        case TWTY_BOOL:   a_item.m_i64 = ReadAt<std::uint16_t>(a_pu8); return true;
        case TWTY_FIX32:  a_item.m_i64 = SimFixFromTw(ReadAt<TW_FIX32>(a_pu8)); return true;
        case TWTY_HANDLE: a_item.m_i64 = ReadAt<std::int64_t>(a_pu8); return true;
        case TWTY_UNI512:
            // Wide characters up to the terminator (the text keeps the ASCII ones).
            for (std::size_t ii = 0; ii < sizeof(TW_UNI512) / sizeof(wchar_t); ii++)
            {
                wchar_t wc = ReadAt<wchar_t>(a_pu8 + ii * sizeof(wchar_t));
                if (wc == 0)
                {
                    return true;
                }
                a_item.m_sz += (wc > 0 && wc < 0x80) ? static_cast<char>(wc) : '?';
            }
            return false;
        case TWTY_FRAME:
        case TWTY_FRAMEANGLE:
            for (int ii = 0; ii < 4; ii++)
            {
                a_item.m_ai32Frame[ii] = SimFixFromTw(ReadAt<TW_FIX32>(a_pu8 + 4 * ii));
            }
            if (a_u16Type == TWTY_FRAMEANGLE)
            {
                a_item.m_i64Angle = ReadAt<std::int64_t>(a_pu8 + 16);
            }
            return true;
        default:
            break;
    }
    if (SimTypeIsString(a_u16Type))
    {
        std::size_t uWidth = SimItemSize(a_u16Type);
        const void* pvEnd = std::memchr(a_pu8, 0, uWidth);
        if (pvEnd == nullptr)
        {
            return false;
        }
        a_item.m_sz.assign(reinterpret_cast<const char*>(a_pu8), static_cast<const unsigned char*>(pvEnd) - a_pu8);
        return true;
    }
    return false;
}

void SimItemWrite(TW_UINT16 a_u16Type, const SimItem& a_item, unsigned char* a_pu8)
{
    switch (a_u16Type)
    {
        case TWTY_INT8:   WriteAt<std::int8_t>(a_pu8, static_cast<std::int8_t>(a_item.m_i64)); return;
        case TWTY_INT16:  WriteAt<std::int16_t>(a_pu8, static_cast<std::int16_t>(a_item.m_i64)); return;
        case TWTY_INT32:  WriteAt<std::int64_t>(a_pu8, a_item.m_i64); return;
        case TWTY_UINT8:  WriteAt<std::uint8_t>(a_pu8, static_cast<std::uint8_t>(a_item.m_i64)); return;
        case TWTY_UINT16: WriteAt<std::uint16_t>(a_pu8, static_cast<std::uint16_t>(a_item.m_i64)); return;
        case TWTY_UINT32: WriteAt<std::uint64_t>(a_pu8, static_cast<std::uint64_t>(a_item.m_i64)); return;
        case TWTY_BOOL:   WriteAt<std::uint16_t>(a_pu8, static_cast<std::uint16_t>(a_item.m_i64)); return;
        case TWTY_FIX32:  WriteAt<TW_FIX32>(a_pu8, SimFixToTw(a_item.m_i64)); return;
        case TWTY_HANDLE: WriteAt<std::int64_t>(a_pu8, a_item.m_i64); return;
        case TWTY_UNI512:
        {
            std::size_t uChars = sizeof(TW_UNI512) / sizeof(wchar_t);
            std::memset(a_pu8, 0, sizeof(TW_UNI512));
            for (std::size_t ii = 0; ii < a_item.m_sz.size() && ii + 1 < uChars; ii++)
            {
                WriteAt<wchar_t>(a_pu8 + ii * sizeof(wchar_t), static_cast<wchar_t>(static_cast<unsigned char>(a_item.m_sz[ii])));
            }
            return;
        }
        case TWTY_FRAME:
        case TWTY_FRAMEANGLE:
            for (int ii = 0; ii < 4; ii++)
            {
                WriteAt<TW_FIX32>(a_pu8 + 4 * ii, SimFixToTw(a_item.m_ai32Frame[ii]));
            }
            if (a_u16Type == TWTY_FRAMEANGLE)
            {
                WriteAt<std::int64_t>(a_pu8 + 16, a_item.m_i64Angle);
            }
            return;
        default:
            break;
    }
    if (SimTypeIsString(a_u16Type))
    {
        std::size_t uWidth = SimItemSize(a_u16Type);
        std::memset(a_pu8, 0, uWidth);
        std::size_t uLen = a_item.m_sz.size();
        if (uLen > uWidth - 1)
        {
            uLen = uWidth - 1;
        }
        std::memcpy(a_pu8, a_item.m_sz.data(), uLen);
    }
}

SimItem SimInt(std::int64_t a_i64)
{
    SimItem item;
    item.m_i64 = a_i64;
    return item;
}

SimItem SimFix(double a_d)
{
    SimItem item;
    item.m_i64 = SimFixFromDouble(a_d);
    return item;
}

SimItem SimFrame(double a_dLeft, double a_dTop, double a_dRight, double a_dBottom, std::int64_t a_i64Angle)
{
    SimItem item;
    item.m_ai32Frame[0] = SimFixFromDouble(a_dLeft);
    item.m_ai32Frame[1] = SimFixFromDouble(a_dTop);
    item.m_ai32Frame[2] = SimFixFromDouble(a_dRight);
    item.m_ai32Frame[3] = SimFixFromDouble(a_dBottom);
    item.m_i64Angle = a_i64Angle;
    return item;
}

SimItem SimStr(const std::string& a_sz)
{
    SimItem item;
    item.m_sz = a_sz;
    return item;
}

std::size_t SimContainerSize(const SimContainer& a_con)
{
    std::size_t uItem = SimItemSize(a_con.m_u16ItemType);
    switch (a_con.m_u16ConType)
    {
        case TWON_ONEVALUE:    return 2 + (uItem > 8 ? uItem : 8);
        case TWON_RANGE:       return sizeof(TW_RANGE);
        case TWON_ENUMERATION: return 26 + uItem * a_con.m_aItems.size();
        case TWON_ARRAY:       return 10 + uItem * a_con.m_aItems.size();
        default:               return 0;
    }
}

bool SimContainerDecode(TW_UINT16 a_u16ConType, const unsigned char* a_pu8, SimContainer& a_con, TW_UINT16& a_u16Cc)
{
    a_con = SimContainer();
    a_u16Cc = TWCC_BADVALUE;
    if (a_pu8 == nullptr)
    {
        return false;
    }
    a_con.m_u16ConType = a_u16ConType;
    a_con.m_u16ItemType = ReadAt<TW_UINT16>(a_pu8);
    std::size_t uItem = SimItemSize(a_con.m_u16ItemType);
    if (uItem == 0)
    {
        return false;
    }
    SimItem item;
    switch (a_u16ConType)
    {
        case TWON_ONEVALUE:
            if (!SimItemRead(a_con.m_u16ItemType, a_pu8 + 2, item))
            {
                return false;
            }
            a_con.m_aItems.push_back(item);
            break;
        case TWON_RANGE:
            if (uItem > 8 || !SimTypeIsNumeric(a_con.m_u16ItemType))
            {
                return false;
            }
            for (int ii = 0; ii < 5; ii++)
            {
                SimItemRead(a_con.m_u16ItemType, a_pu8 + 2 + 8 * ii, item);
                a_con.m_aItems.push_back(item);
            }
            break;
        case TWON_ENUMERATION:
        case TWON_ARRAY:
        {
            std::size_t uHeader = (a_u16ConType == TWON_ENUMERATION) ? 26 : 10;
            std::uint64_t u64Num = ReadAt<std::uint64_t>(a_pu8 + 2);
            if (u64Num > kSimMaxItems)
            {
                return false;
            }
            if (a_u16ConType == TWON_ENUMERATION)
            {
                a_con.m_u64CurrentIndex = ReadAt<std::uint64_t>(a_pu8 + 10);
                a_con.m_u64DefaultIndex = ReadAt<std::uint64_t>(a_pu8 + 18);
            }
            for (std::uint64_t ii = 0; ii < u64Num; ii++)
            {
                if (!SimItemRead(a_con.m_u16ItemType, a_pu8 + uHeader + ii * uItem, item))
                {
                    return false;
                }
                a_con.m_aItems.push_back(item);
            }
            break;
        }
        default:
            return false;
    }
    a_u16Cc = TWCC_SUCCESS;
    return true;
}

void SimContainerEncode(const SimContainer& a_con, std::vector<unsigned char>& a_au8)
{
    a_au8.assign(SimContainerSize(a_con), 0);
    if (a_au8.empty())
    {
        return;
    }
    unsigned char* pu8 = a_au8.data();
    std::size_t uItem = SimItemSize(a_con.m_u16ItemType);
    WriteAt<TW_UINT16>(pu8, a_con.m_u16ItemType);
    switch (a_con.m_u16ConType)
    {
        case TWON_ONEVALUE:
            if (!a_con.m_aItems.empty())
            {
                SimItemWrite(a_con.m_u16ItemType, a_con.m_aItems[0], pu8 + 2);
            }
            break;
        case TWON_RANGE:
            for (std::size_t ii = 0; ii < 5 && ii < a_con.m_aItems.size(); ii++)
            {
                // A value of a narrower type is kept sign- or zero-extended
                // over the whole 8-byte slot.
                // (a TW_FIX32 fills the first 4 bytes, the rest stays 0).
                if (a_con.m_u16ItemType == TWTY_FIX32)
                {
                    SimItemWrite(TWTY_FIX32, a_con.m_aItems[ii], pu8 + 2 + 8 * ii);
                }
                else
                {
                    std::int64_t i64 = a_con.m_aItems[ii].m_i64;
                    std::memcpy(pu8 + 2 + 8 * ii, &i64, 8);
                }
            }
            break;
        case TWON_ENUMERATION:
        case TWON_ARRAY:
        {
            std::size_t uHeader = (a_con.m_u16ConType == TWON_ENUMERATION) ? 26 : 10;
            std::uint64_t u64Num = a_con.m_aItems.size();
            std::memcpy(pu8 + 2, &u64Num, 8);
            if (a_con.m_u16ConType == TWON_ENUMERATION)
            {
                std::memcpy(pu8 + 10, &a_con.m_u64CurrentIndex, 8);
                std::memcpy(pu8 + 18, &a_con.m_u64DefaultIndex, 8);
            }
            for (std::size_t ii = 0; ii < a_con.m_aItems.size(); ii++)
            {
                SimItemWrite(a_con.m_u16ItemType, a_con.m_aItems[ii], pu8 + uHeader + ii * uItem);
            }
            break;
        }
        default:
            break;
    }
}

std::string SimItemText(TW_UINT16 a_u16Type, const SimItem& a_item)
{
    char sz[160];
    if (SimTypeIsString(a_u16Type) || a_u16Type == TWTY_UNI512)
    {
        return "\"" + a_item.m_sz + "\"";
    }
    if (SimTypeIsFrame(a_u16Type))
    {
        std::snprintf(sz, sizeof(sz), "%g,%g,%g,%g", SimFixToDouble(a_item.m_ai32Frame[0]), SimFixToDouble(a_item.m_ai32Frame[1]),
                      SimFixToDouble(a_item.m_ai32Frame[2]), SimFixToDouble(a_item.m_ai32Frame[3]));
        std::string szText = sz;
        if (a_u16Type == TWTY_FRAMEANGLE)
        {
            szText += "," + std::to_string(a_item.m_i64Angle);
        }
        return szText;
    }
    if (a_u16Type == TWTY_FIX32)
    {
        std::snprintf(sz, sizeof(sz), "%g", SimFixToDouble(a_item.m_i64));
        return sz;
    }
    if (a_u16Type == TWTY_UINT32)
    {
        return std::to_string(static_cast<std::uint64_t>(a_item.m_i64));
    }
    return std::to_string(a_item.m_i64);
}
