// ctwainimpl_image.cpp
// What the image handlers share: the image index, file names made from a
// user's pattern, value symbols, TW_FIX32 from a decimal value, and the
// discarding of an unfinished transfer file.
#include "ctwainimpl.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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

const char *CTwainImpl::CapValueText(TW_UINT16 a_twcap, int a_iValue, char *a_szOut, size_t a_u64OutSize)
{
    TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_CAPVALUE, a_iValue, a_twcap, -1) : nullptr;
    if (ptwlookup && ptwlookup->ptwenum && ptwlookup->ptwenum->szSymbol[0])
        snprintf(a_szOut, a_u64OutSize, "%s", ptwlookup->ptwenum->szSymbol);
    else
        snprintf(a_szOut, a_u64OutSize, "%d", a_iValue);
    return a_szOut;
}

void CTwainImpl::XferFileDiscard()
{
    if (!m_osfileXfer.IsOpen())
        return;
    m_osfileXfer.Close();
    m_u64XferWritten = 0;
}
