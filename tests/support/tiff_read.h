// tiff_read.h
// The tests' own reader of a little-endian TIFF's first directory: the
// values of a SHORT or LONG tag, and the image data of its strips.
#ifndef DRAVO_TIFF_READ_H
#define DRAVO_TIFF_READ_H

#include <cstdint>
#include <string>
#include <vector>

namespace tiffread
{

inline unsigned U16(const std::string &a_sz, size_t a_u)
{
    return a_u + 2 <= a_sz.size() ? (unsigned)(uint8_t)a_sz[a_u] | ((unsigned)(uint8_t)a_sz[a_u + 1] << 8) : 0;
}

inline unsigned long U32(const std::string &a_sz, size_t a_u)
{
    return U16(a_sz, a_u) | ((unsigned long)U16(a_sz, a_u + 2) << 16);
}

// The values of a tag (SHORT or LONG); empty when the file is no TIFF or
// lacks the tag.
inline std::vector<unsigned long> Values(const std::string &a_sz, unsigned a_uTag)
{
    std::vector<unsigned long> au;
    if (a_sz.size() < 8 || a_sz.compare(0, 4, std::string("II*\0", 4)) != 0)
        return au;
    size_t uIfd = U32(a_sz, 4);
    for (unsigned ii = 0; ii < U16(a_sz, uIfd); ii++)
    {
        size_t uEntry = uIfd + 2 + 12 * ii;
        if (U16(a_sz, uEntry) != a_uTag)
            continue;
        unsigned uSize = U16(a_sz, uEntry + 2) == 3 ? 2 : 4;
        unsigned long ulCount = U32(a_sz, uEntry + 4);
        size_t uAt = ulCount * uSize <= 4 ? uEntry + 8 : U32(a_sz, uEntry + 8);
        for (unsigned long jj = 0; jj < ulCount && uAt + uSize * (jj + 1) <= a_sz.size(); jj++)
            au.push_back(uSize == 2 ? U16(a_sz, uAt + 2 * jj) : U32(a_sz, uAt + 4 * jj));
        break;
    }
    return au;
}

// The tag's first value, -1 when the file is no TIFF or lacks the tag.
inline long Tag(const std::string &a_sz, unsigned a_uTag)
{
    std::vector<unsigned long> au = Values(a_sz, a_uTag);
    return au.empty() ? -1 : (long)au[0];
}

// The image data: the strips in order ("" when the tags are missing or a
// strip reaches too far).
inline std::string Strip(const std::string &a_sz)
{
    std::vector<unsigned long> auOffset = Values(a_sz, 273);
    std::vector<unsigned long> auCount = Values(a_sz, 279);
    std::string sz;
    if (auOffset.empty() || auOffset.size() != auCount.size())
        return sz;
    for (size_t ii = 0; ii < auOffset.size(); ii++)
    {
        if (auOffset[ii] + auCount[ii] > a_sz.size())
            return "";
        sz.append(a_sz, auOffset[ii], auCount[ii]);
    }
    return sz;
}

} // namespace tiffread

#endif // DRAVO_TIFF_READ_H
