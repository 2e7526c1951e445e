// ctwainimpl_image.cpp
// What the image handlers share: the image index, file names made from a
// user's pattern, value symbols, TW_FIX32 from a decimal value, and the
// discarding of an unfinished transfer file, the sense of an image's
// samples, and the pixels a transfer's blocks covered.
#include "ctwainimpl.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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

TW_UINT16 CTwainImpl::XferPixelFlavor(const char *a_szReport)
{
    // Gray and bitonal rows, and Group 4 data, have a sense; colour and
    // JPEG data have none of their own.
    char szFormat[32];
    char szCompression[16];
    if (!a_szReport ||
        COsXml::GetContent(a_szReport, "<imageformat>", "</imageformat>", szFormat, sizeof(szFormat), false) ||
        COsXml::GetContent(a_szReport, "<compressionmode>", "</compressionmode>", szCompression, sizeof(szCompression), false))
        return TWPF_CHOCOLATE;
    bool blGroup4 = !strcmp(szCompression, "group4");
    bool blGray = !strcmp(szFormat, "bw") || (!blGroup4 && (!strcmp(szFormat, "gray_8") || !strcmp(szFormat, "gray_16")));
    if (!blGray || (!blGroup4 && strcmp(szCompression, "none")))
        return TWPF_CHOCOLATE;
    m_twxferimage.blFlavorRows = !blGroup4;
    if (!blGroup4 && m_twxferimage.blFlavorFetched)
        return m_twxferimage.u16Flavor;
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = blGroup4 ? ICAP_PIXELFLAVORCODES : ICAP_PIXELFLAVOR;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &twcapability, false, false, ETWRECORD_NONE);
    TW_UINT16 twflavor = TWPF_CHOCOLATE;
    if (!twcapability.hContainer)
        return twflavor;
    // One integer item in a one-value container, read no further than the
    // source's block reaches; anything else says no flavor.
    const uint8_t *pu8 = (twrc == TWRC_SUCCESS && twcapability.ConType == TWON_ONEVALUE)
                             ? static_cast<const uint8_t *>(DsMemLock(twcapability.hContainer))
                             : nullptr;
    if (pu8)
    {
        size_t u64Size = DsMemSize(twcapability.hContainer, const_cast<uint8_t *>(pu8));
        size_t u64Item = offsetof(TW_ONEVALUE, Item);
        TW_UINT16 twty = u64Size >= u64Item ? TwGetU16(pu8 + offsetof(TW_ONEVALUE, ItemType)) : TWTY_STR32;
        bool blInteger = twty <= TWTY_BOOL && TwItemSize(twty) != 0 && u64Size - u64Item >= TwItemSize(twty);
        if (blInteger && GetIntFromItem(pu8 + u64Item, twty, 0) == TWPF_VANILLA)
            twflavor = TWPF_VANILLA;
        DsMemUnlock(twcapability.hContainer);
    }
    DsMemFree(twcapability.hContainer);
    return twflavor;
}

bool CTwainImpl::XferReportFlavor(char *a_szReport, size_t a_u64ReportSize)
{
    m_twxferimage.u16FlavorTiff = XferPixelFlavor(a_szReport);
    const char *szFlavor = m_twxferimage.u16FlavorTiff == TWPF_VANILLA ? "vanilla" : "chocolate";
    char *pszEnd = strstr(a_szReport, "</reportimage>");
    if (!pszEnd)
        return false;
    size_t u64Room = a_u64ReportSize - static_cast<size_t>(pszEnd - a_szReport);
    int iWritten = snprintf(pszEnd, u64Room, "\t<imagepixelflavor>%s</imagepixelflavor>\n\t</reportimage>", szFlavor);
    return iWritten > 0 && static_cast<size_t>(iWritten) < u64Room;
}

void CTwainImpl::XferNoteFlavor(const TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count)
{
    const uint8_t *pu8Info = reinterpret_cast<const uint8_t *>(a_ptwextimageinfo) + offsetof(TW_EXTIMAGEINFO, Info);
    for (uint32_t ii = 0; ii < a_u32Count; ii++)
    {
        TW_INFO twinfo;
        memcpy(&twinfo, pu8Info + ii * sizeof(TW_INFO), sizeof(twinfo));
        if (twinfo.InfoID != TWEI_PIXELFLAVOR || twinfo.ReturnCode != TWRC_SUCCESS || twinfo.NumItems != 1 ||
            twinfo.ItemType > TWTY_BOOL || TwItemSize(twinfo.ItemType) == 0)
            continue;
        int32_t i32Flavor = GetIntFromItem(&twinfo.Item, twinfo.ItemType, 0);
        if (i32Flavor != TWPF_CHOCOLATE && i32Flavor != TWPF_VANILLA)
            continue;
        m_twxferimage.blFlavorFetched = true;
        m_twxferimage.u16Flavor = static_cast<uint16_t>(i32Flavor);
        // A source answers the extended information once the image is
        // done, when its TIFF is written already: one of the other sense
        // is made to say the fetched one.
        if (m_blXferFinished && m_twxferimage.blFlavorTiff && m_twxferimage.u16FlavorTiff != i32Flavor)
        {
            bool blVanilla = i32Flavor == TWPF_VANILLA;
            const char *szSays = blVanilla ? "TWPF_VANILLA" : "TWPF_CHOCOLATE", *szWas = blVanilla ? "TWPF_CHOCOLATE" : "TWPF_VANILLA";
            if (COsImage::SetMinIsWhite(m_szImageFileName, blVanilla) == OS_STS_OK)
            {
                m_twxferimage.u16FlavorTiff = static_cast<uint16_t>(i32Flavor);
                TWAINLOG("%s: TWEI_PIXELFLAVOR says %s, the image was written as %s: it now says %s...", m_szImageFileName,
                         szSays, szWas, szSays);
            }
            else
                TWAINLOG("cannot write <%s>, it stays written as %s where TWEI_PIXELFLAVOR says %s...", m_szImageFileName, szWas,
                         szSays);
        }
        return;
    }
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
