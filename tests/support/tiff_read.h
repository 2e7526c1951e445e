// tiff_read.h
// The tests' own reader of a little-endian TIFF's first directory: the
// first value of a SHORT or LONG tag, and the bytes of the first strip.
#ifndef DRAVO_TIFF_READ_H
#define DRAVO_TIFF_READ_H

#include <cstdint>
#include <string>

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

// The tag's first value, -1 when the file is no TIFF or lacks the tag.
inline long Tag(const std::string &a_sz, unsigned a_uTag)
{
    if (a_sz.size() < 8 || a_sz.compare(0, 4, std::string("II*\0", 4)) != 0)
        return -1;
    size_t uIfd = U32(a_sz, 4);
    for (unsigned ii = 0; ii < U16(a_sz, uIfd); ii++)
    {
        size_t uEntry = uIfd + 2 + 12 * ii;
        if (U16(a_sz, uEntry) == a_uTag)
            return U16(a_sz, uEntry + 2) == 3 ? (long)U16(a_sz, uEntry + 8) : (long)U32(a_sz, uEntry + 8);
    }
    return -1;
}

// The first strip's bytes ("" when the tags are missing or reach too far).
inline std::string Strip(const std::string &a_sz)
{
    long lOffset = Tag(a_sz, 273);
    long lCount = Tag(a_sz, 279);
    if (lOffset < 0 || lCount < 0 || (size_t)(lOffset + lCount) > a_sz.size())
        return "";
    return a_sz.substr((size_t)lOffset, (size_t)lCount);
}

} // namespace tiffread

#endif // DRAVO_TIFF_READ_H
