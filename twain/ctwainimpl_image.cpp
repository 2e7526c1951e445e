// ctwainimpl_image.cpp
// What the image handlers share: the image index, file names made from a
// user's pattern, value symbols, TW_FIX32 from a decimal value, and the
// discarding of an unfinished transfer file, and the pixels a transfer's
// blocks covered.
#include "ctwainimpl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "clookup.h"

int32_t CTwainImpl::s_iIndex = 0;

bool TwainFormatName(const char *a_szPattern, int a_iValue, char *a_szOut, size_t a_u64OutSize)
{
    if (!a_szOut || a_u64OutSize == 0)
        return false;
    a_szOut[0] = 0;
    if (!a_szPattern)
        return false;
    size_t u64Out = 0;
    bool blConverted = false;
    for (const char *psz = a_szPattern; *psz; psz++)
    {
        char szPiece[64];
        if (*psz != '%')
        {
            szPiece[0] = *psz;
            szPiece[1] = 0;
        }
        else if (psz[1] == '%')
        {
            szPiece[0] = '%';
            szPiece[1] = 0;
            psz++;
        }
        else
        {
            // One conversion: flags, a width of at most three digits, then
            // d, i, u, x, X or o.
            if (blConverted)
                return false;
            const char *pszStart = psz++;
            while (*psz && strchr("-0+ #", *psz))
                psz++;
            int iDigits = 0;
            while (*psz >= '0' && *psz <= '9' && iDigits < 4)
            {
                psz++;
                iDigits++;
            }
            if (iDigits > 3 || !*psz || !strchr("diuxXo", *psz))
                return false;
            char szFormat[16];
            size_t u64Format = static_cast<size_t>(psz - pszStart) + 1;
            if (u64Format >= sizeof(szFormat))
                return false;
            memcpy(szFormat, pszStart, u64Format);
            szFormat[u64Format] = 0;
            // A width the piece cannot hold would be cut short: refused.
            int iPiece = snprintf(szPiece, sizeof(szPiece), szFormat, a_iValue);
            if (iPiece < 0 || iPiece >= static_cast<int>(sizeof(szPiece)))
            {
                a_szOut[0] = 0;
                return false;
            }
            blConverted = true;
        }
        size_t u64Piece = strlen(szPiece);
        if (u64Out + u64Piece >= a_u64OutSize)
        {
            a_szOut[0] = 0;
            return false;
        }
        memcpy(a_szOut + u64Out, szPiece, u64Piece + 1);
        u64Out += u64Piece;
    }
    return true;
}

bool TwainRawName(const char *a_szName, char *a_szOut, size_t a_u64OutSize)
{
    size_t u64Name = strlen(a_szName);
    bool blRaw = u64Name >= 4 && !strcasecmp(a_szName + u64Name - 4, ".raw");
    int iOut = snprintf(a_szOut, a_u64OutSize, "%s%s", a_szName, blRaw ? "" : ".raw");
    return iOut > 0 && static_cast<size_t>(iOut) < a_u64OutSize;
}

const char *CTwainImpl::CapValueText(TW_UINT16 a_twcap, int a_iValue, char *a_szOut, size_t a_u64OutSize)
{
    TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAPVALUE, a_iValue, a_twcap, -1) : nullptr;
    if (ptwlookup && ptwlookup->ptwenum && ptwlookup->ptwenum->szSymbol[0])
        snprintf(a_szOut, a_u64OutSize, "%s", ptwlookup->ptwenum->szSymbol);
    else
        snprintf(a_szOut, a_u64OutSize, "%d", a_iValue);
    return a_szOut;
}

void CTwainImpl::XferFileDiscard(const char *a_szWhy)
{
    m_twxfercoverage.Clear();
    if (!m_osfileXfer.IsOpen())
        return;
    if (a_szWhy && !m_blXferFinished)
        TWAINLOG("%s: %s, the image is not written...", m_szImageFileName, a_szWhy);
    m_osfileXfer.Close();
}

namespace
{

uint64_t AddSaturated(uint64_t a_u64A, uint64_t a_u64B)
{
    uint64_t u64 = 0;
    return __builtin_add_overflow(a_u64A, a_u64B, &u64) ? UINT64_MAX : u64;
}

uint64_t MulSaturated(uint64_t a_u64A, uint64_t a_u64B)
{
    uint64_t u64 = 0;
    return __builtin_mul_overflow(a_u64A, a_u64B, &u64) ? UINT64_MAX : u64;
}

} // namespace

void CTwainCoverage::Clear()
{
    m_mapband.clear();
    m_u64Pixels = 0;
}

void CTwainCoverage::Split(uint64_t a_u64Row)
{
    auto it = m_mapband.upper_bound(a_u64Row);
    if (it == m_mapband.begin())
        return;
    --it;
    if (it->first == a_u64Row || it->second.u64End <= a_u64Row)
        return;
    Band band = it->second;
    it->second.u64End = a_u64Row;
    m_mapband.emplace_hint(std::next(it), a_u64Row, std::move(band));
}

void CTwainCoverage::Add(uint64_t a_u64X, uint64_t a_u64Y, uint64_t a_u64Columns, uint64_t a_u64Rows)
{
    if (a_u64Columns == 0 || a_u64Rows == 0)
        return;
    uint64_t u64End = a_u64Y + a_u64Rows, u64XEnd = a_u64X + a_u64Columns;
    Split(a_u64Y);
    Split(u64End);
    // Each band of the rows gets the columns; rows without a band get one.
    uint64_t u64Row = a_u64Y;
    auto it = m_mapband.lower_bound(a_u64Y);
    while (u64Row < u64End)
    {
        if (it == m_mapband.end() || it->first != u64Row)
        {
            uint64_t u64GapEnd = (it != m_mapband.end() && it->first < u64End) ? it->first : u64End;
            it = std::next(m_mapband.emplace_hint(it, u64Row, Band{u64GapEnd, Spans{{a_u64X, u64XEnd}}}));
            m_u64Pixels = AddSaturated(m_u64Pixels, MulSaturated(u64GapEnd - u64Row, a_u64Columns));
            u64Row = u64GapEnd;
            continue;
        }
        // The spans the columns touch or overlap become one, in place; the
        // overlap is counted once.
        Spans &aspan = it->second.aspan;
        auto itFirst = std::lower_bound(aspan.begin(), aspan.end(), a_u64X,
                                        [](const Span &a_span, uint64_t a_u64) { return a_span.second < a_u64; });
        auto itLast = itFirst;
        uint64_t u64First = a_u64X, u64Last = u64XEnd, u64New = a_u64Columns;
        for (; itLast != aspan.end() && itLast->first <= u64XEnd; ++itLast)
        {
            uint64_t u64OverlapFirst = std::max(itLast->first, a_u64X), u64OverlapEnd = std::min(itLast->second, u64XEnd);
            if (u64OverlapEnd > u64OverlapFirst)
                u64New -= u64OverlapEnd - u64OverlapFirst;
            u64First = std::min(u64First, itLast->first);
            u64Last = std::max(u64Last, itLast->second);
        }
        if (itFirst == itLast)
            aspan.emplace(itFirst, u64First, u64Last);
        else
        {
            *itFirst = Span(u64First, u64Last);
            aspan.erase(std::next(itFirst), itLast);
        }
        m_u64Pixels = AddSaturated(m_u64Pixels, MulSaturated(it->second.u64End - u64Row, u64New));
        u64Row = it->second.u64End;
        ++it;
    }
    // Neighbouring bands that now cover the same columns become one.
    auto itPrev = m_mapband.lower_bound(a_u64Y);
    if (itPrev != m_mapband.begin())
        --itPrev;
    while (itPrev != m_mapband.end())
    {
        auto itNext = std::next(itPrev);
        if (itNext == m_mapband.end() || itNext->first > u64End)
            break;
        if (itPrev->second.u64End == itNext->first && itPrev->second.aspan == itNext->second.aspan)
        {
            itPrev->second.u64End = itNext->second.u64End;
            m_mapband.erase(itNext);
        }
        else
            itPrev = itNext;
    }
}
