// os_cosimage.cpp
// Image files from raw image data: TIFF from raw rows or Group 4 data, JFIF,
// BMP and TIFF data passed through; the measures of native TIFF and DIB
// images (see os_cosimage.h).
#include "osservices.h"
#include "os_private.h"

#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// A file descriptor closed when it goes.
struct OsImageFd
{
    int m_iFd = -1;
    ~OsImageFd()
    {
        if (m_iFd >= 0)
            close(m_iFd);
    }
};

uint16_t GetU16(const uint8_t* a_pu8)
{
    return static_cast<uint16_t>(a_pu8[0] | (a_pu8[1] << 8));
}

uint32_t GetU32(const uint8_t* a_pu8)
{
    return static_cast<uint32_t>(a_pu8[0]) | (static_cast<uint32_t>(a_pu8[1]) << 8) |
           (static_cast<uint32_t>(a_pu8[2]) << 16) | (static_cast<uint32_t>(a_pu8[3]) << 24);
}

// Reads the numbers of a TIFF in its byte order ("MM" big-endian, "II"
// little-endian).
struct TiffOrder
{
    bool blBig;
    uint16_t U16(const uint8_t* a_pu8) const
    {
        return blBig ? static_cast<uint16_t>(a_pu8[0] << 8 | a_pu8[1]) : GetU16(a_pu8);
    }
    uint32_t U32(const uint8_t* a_pu8) const
    {
        return blBig ? static_cast<uint32_t>(U16(a_pu8)) << 16 | U16(a_pu8 + 2) : GetU32(a_pu8);
    }
};

// The bytes of an image, read at any offset: a block in memory, or an open
// file read through a window of 64 KiB (what is measured is never read into
// memory whole).
class ImageBytes
{
public:
    static const uint64_t s_u64Window = 65536;
    ImageBytes(const uint8_t* a_pu8, uint64_t a_u64Size) : m_pu8(a_pu8), m_u64Size(a_u64Size) {}
    ImageBytes(COsFile& a_osfile, uint64_t a_u64Size) : m_posfile(&a_osfile), m_u64Size(a_u64Size) {}
    uint64_t Size() const { return m_u64Size; }
    // The a_u64Count bytes at a_u64At (at most a window of them); null when
    // they are not all there.
    const uint8_t* Peek(uint64_t a_u64At, uint64_t a_u64Count)
    {
        if (a_u64Count > s_u64Window || a_u64At > m_u64Size || a_u64Count > m_u64Size - a_u64At)
            return nullptr;
        if (!m_posfile)
            return m_pu8 + a_u64At;
        if (a_u64At < m_u64WindowAt || a_u64At + a_u64Count > m_u64WindowAt + m_au8Window.size())
        {
            uint64_t u64Read = 0;
            m_au8Window.resize(s_u64Window);
            if (m_posfile->SetFilePointer(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_u64At)) != OS_STS_OK ||
                m_posfile->Read(m_au8Window.data(), s_u64Window, &u64Read) != OS_STS_OK)
                u64Read = 0;
            m_au8Window.resize(u64Read);
            m_u64WindowAt = a_u64At;
            if (u64Read < a_u64Count)
                return nullptr;
        }
        return m_au8Window.data() + (a_u64At - m_u64WindowAt);
    }

private:
    const uint8_t* m_pu8 = nullptr;
    COsFile* m_posfile = nullptr;
    uint64_t m_u64Size;
    std::vector<uint8_t> m_au8Window;
    uint64_t m_u64WindowAt = 0;
};

// Walks a TIFF (either byte order) as far as its header, first directory,
// out-of-line values and strips or tiles reach: 0 when all of it lies in
// the bytes, with *a_pu64Claimed its extent; OS_STS_FAIL otherwise, with
// *a_pu64Claimed the furthest byte it claims (0 when it cannot be read).
EOSSTS TiffWalk(ImageBytes& a_imagebytes, uint64_t* a_pu64Claimed)
{
    *a_pu64Claimed = 0;
    const uint8_t* pu8 = a_imagebytes.Peek(0, 8);
    const TiffOrder tifforder{pu8 && pu8[0] == 'M'};
    auto U16 = [&tifforder](const uint8_t* a_pu8) { return tifforder.U16(a_pu8); };
    auto U32 = [&tifforder](const uint8_t* a_pu8) { return tifforder.U32(a_pu8); };
    if (!pu8 || pu8[0] != pu8[1] || (pu8[0] != 'I' && pu8[0] != 'M') || U16(pu8 + 2) != 42)
        return OS_STS_FAIL;
    uint64_t u64Ifd = U32(pu8 + 4);
    pu8 = a_imagebytes.Peek(u64Ifd, 2);
    uint64_t u64Entries = pu8 ? U16(pu8) : 0;
    uint64_t u64End = u64Ifd + 2 + 12 * u64Entries + 4;
    if (u64Ifd < 8 || (pu8 && u64Entries == 0))
        return OS_STS_FAIL;
    if (!pu8 || u64End > a_imagebytes.Size())
    {
        *a_pu64Claimed = pu8 ? u64End : u64Ifd + 2;
        return OS_STS_FAIL;
    }
    // The size of one value of each field type (0: unknown type).
    static const uint8_t s_au8TypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    // The offsets and byte counts of the strips (0, 1) or tiles (2, 3):
    // their type, count and where their values are.
    struct
    {
        uint16_t u16Type;
        uint64_t u64Count, u64At;
    } aarray[4] = {};
    for (uint64_t ii = 0; ii < u64Entries; ii++)
    {
        uint64_t u64Entry = u64Ifd + 2 + 12 * ii;
        const uint8_t* pu8Entry = a_imagebytes.Peek(u64Entry, 12);
        if (!pu8Entry)
            return OS_STS_FAIL;
        uint16_t u16Tag = U16(pu8Entry);
        uint16_t u16Type = U16(pu8Entry + 2);
        uint64_t u64Count = U32(pu8Entry + 4);
        uint64_t u64Bytes = (u16Type < 13) ? s_au8TypeSize[u16Type] * u64Count : 0;
        uint64_t u64At = u64Entry + 8;
        if (u64Bytes > 4)
        {
            u64At = U32(pu8Entry + 8);
            u64End = (u64At + u64Bytes > u64End) ? u64At + u64Bytes : u64End;
        }
        int iArray = u16Tag == 273 ? 0 : u16Tag == 279 ? 1 : u16Tag == 324 ? 2 : u16Tag == 325 ? 3 : -1;
        if (iArray >= 0 && u16Type != 3 && u16Type != 4)
            return OS_STS_FAIL;
        if (iArray >= 0)
            aarray[iArray] = {u16Type, u64Count, u64At};
    }
    int iFirst = aarray[0].u64Count ? 0 : 2;
    if (aarray[iFirst].u64Count == 0 || aarray[iFirst].u64Count != aarray[iFirst + 1].u64Count)
        return OS_STS_FAIL;
    if (u64End > a_imagebytes.Size())
    {
        *a_pu64Claimed = u64End;
        return OS_STS_FAIL;
    }
    for (uint64_t ii = 0; ii < aarray[iFirst].u64Count; ii++)
    {
        uint64_t au64[2];
        for (int jj = 0; jj < 2; jj++)
        {
            const auto& array = aarray[iFirst + jj];
            uint64_t u64Size = array.u16Type == 3 ? 2 : 4;
            const uint8_t* pu8Value = a_imagebytes.Peek(array.u64At + u64Size * ii, u64Size);
            if (!pu8Value)
                return OS_STS_FAIL;
            au64[jj] = u64Size == 2 ? U16(pu8Value) : U32(pu8Value);
        }
        u64End = (au64[0] + au64[1] > u64End) ? au64[0] + au64[1] : u64End;
    }
    *a_pu64Claimed = u64End;
    return u64End <= a_imagebytes.Size() ? OS_STS_OK : OS_STS_FAIL;
}

// Walks a JPEG from its start marker through its segments and entropy-coded
// data to its end marker: 0, with *a_pu64Claimed the bytes to the marker's
// end; OS_STS_FAIL when the bytes end first (*a_pu64Claimed: the end of a
// segment that reaches past them, else 0) or are no JPEG.
EOSSTS JpegWalk(ImageBytes& a_imagebytes, uint64_t* a_pu64Claimed)
{
    *a_pu64Claimed = 0;
    const uint8_t* pu8 = a_imagebytes.Peek(0, 2);
    if (!pu8 || pu8[0] != 0xFF || pu8[1] != 0xD8)
        return OS_STS_FAIL;
    uint64_t u64At = 2;
    for (;;)
    {
        // A marker (fill bytes before it allowed).
        pu8 = a_imagebytes.Peek(u64At, 1);
        if (!pu8 || pu8[0] != 0xFF)
            return OS_STS_FAIL;
        while ((pu8 = a_imagebytes.Peek(u64At + 1, 1)) && pu8[0] == 0xFF)
            u64At++;
        if (!pu8)
            return OS_STS_FAIL;
        uint8_t u8Marker = pu8[0];
        u64At += 2;
        if (u8Marker == 0xD9)
        {
            *a_pu64Claimed = u64At;
            return OS_STS_OK;
        }
        if (u8Marker == 0x01 || (u8Marker >= 0xD0 && u8Marker <= 0xD7))
            continue;
        pu8 = a_imagebytes.Peek(u64At, 2);
        uint64_t u64Length = pu8 ? static_cast<uint64_t>(pu8[0] << 8 | pu8[1]) : 2;
        if (u64Length < 2 || u64At + u64Length > a_imagebytes.Size())
        {
            *a_pu64Claimed = u64Length < 2 ? 0 : u64At + u64Length;
            return OS_STS_FAIL;
        }
        u64At += u64Length;
        if (u8Marker != 0xDA)
            continue;
        // Entropy-coded data ends at a marker other than a stuffed 0xFF00
        // or a restart marker.
        for (;;)
        {
            uint64_t u64Left = a_imagebytes.Size() - u64At;
            uint64_t u64Count = u64Left < ImageBytes::s_u64Window ? u64Left : ImageBytes::s_u64Window;
            pu8 = a_imagebytes.Peek(u64At, u64Count);
            if (!pu8 || u64Count < 2)
                return OS_STS_FAIL;
            const uint8_t* pu8Ff = static_cast<const uint8_t*>(memchr(pu8, 0xFF, u64Count - 1));
            if (!pu8Ff)
            {
                u64At += u64Count - 1;
                continue;
            }
            u64At += static_cast<uint64_t>(pu8Ff - pu8);
            if (pu8Ff[1] != 0x00 && (pu8Ff[1] < 0xD0 || pu8Ff[1] > 0xD7))
                break;
            u64At += 2;
        }
    }
}

// The TIFFs written here are in the byte order of this machine, which is
// the order of the samples of more than 8 bits that they hold as received.
void PutU16(std::vector<uint8_t>& a_au8, uint16_t a_u16)
{
    uint8_t au8[2];
    memcpy(au8, &a_u16, 2);
    a_au8.insert(a_au8.end(), au8, au8 + 2);
}

void PutU32(std::vector<uint8_t>& a_au8, uint32_t a_u32)
{
    uint8_t au8[4];
    memcpy(au8, &a_u32, 4);
    a_au8.insert(a_au8.end(), au8, au8 + 4);
}

// A TIFF header ("II" on a little-endian machine, "MM" on a big-endian one)
// with the offset of the first directory.
std::vector<uint8_t> TiffHeader(uint32_t a_u32Directory)
{
    const uint16_t u16One = 1;
    uint8_t u8Order = 'I';
    if (reinterpret_cast<const uint8_t*>(&u16One)[0] == 0)
        u8Order = 'M';
    std::vector<uint8_t> au8 = {u8Order, u8Order};
    PutU16(au8, 42);
    PutU32(au8, a_u32Directory);
    return au8;
}

// Writes all bytes at an offset (below 0: at the file's position, such as
// into a device); false on an error.
bool WriteAll(int a_iFd, const void* a_pv, size_t a_u64Size, off_t a_i64At)
{
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pv);
    while (a_u64Size > 0)
    {
        ssize_t iWritten = a_i64At < 0 ? write(a_iFd, pu8, a_u64Size) : pwrite(a_iFd, pu8, a_u64Size, a_i64At);
        if (iWritten < 0 && errno == EINTR)
            continue;
        if (iWritten <= 0)
            return false;
        pu8 += iWritten;
        a_i64At = a_i64At < 0 ? a_i64At : a_i64At + iWritten;
        a_u64Size -= static_cast<size_t>(iWritten);
    }
    return true;
}

// Copies a_u64Size bytes from offset a_i64In of one file to offset a_i64Out
// of another (or of the same one, the ranges apart; below 0: at the file's
// position), in the kernel where it can, else through a buffer of 1 MiB.
bool CopyRange(int a_iFdIn, loff_t a_i64In, int a_iFdOut, loff_t a_i64Out, uint64_t a_u64Size)
{
    loff_t i64In = a_i64In;
    loff_t i64Out = a_i64Out;
    bool blKernel = true;
    while (a_u64Size > 0 && blKernel)
    {
        ssize_t iCopied = copy_file_range(a_iFdIn, &i64In, a_iFdOut, i64Out < 0 ? nullptr : &i64Out, a_u64Size, 0);
        if (iCopied < 0 && errno == EINTR)
            continue;
        if (iCopied <= 0)
        {
            if (iCopied == 0 || (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP))
                return false;
            blKernel = false;   // not possible here: copy by hand
            break;
        }
        a_u64Size -= static_cast<uint64_t>(iCopied);
    }
    if (a_u64Size == 0)
        return true;
    std::vector<uint8_t> au8(1 << 20);
    while (a_u64Size > 0)
    {
        size_t u64Chunk = a_u64Size < au8.size() ? static_cast<size_t>(a_u64Size) : au8.size();
        ssize_t iRead = pread(a_iFdIn, au8.data(), u64Chunk, i64In);
        if (iRead < 0 && errno == EINTR)
            continue;
        if (iRead <= 0 || !WriteAll(a_iFdOut, au8.data(), static_cast<size_t>(iRead), i64Out))
            return false;
        i64In += iRead;
        i64Out = i64Out < 0 ? i64Out : i64Out + iRead;
        a_u64Size -= static_cast<uint64_t>(iRead);
    }
    return true;
}

// Copies the first a_u64Size bytes of a file to a_i64Out on, a place that
// reads as zeros (a new file extended over it, or past the end of the same
// file, which the caller then extends): the holes of a sparse file are
// left out.
bool CopyData(int a_iFdIn, int a_iFdOut, loff_t a_i64Out, uint64_t a_u64Size)
{
    loff_t i64At = 0;
    loff_t i64End = static_cast<loff_t>(a_u64Size);
    while (i64At < i64End)
    {
        loff_t i64Data = lseek(a_iFdIn, i64At, SEEK_DATA);
        if (i64Data < 0)
            return errno == ENXIO;      // nothing but a hole to the end
        if (i64Data >= i64End)
            break;
        loff_t i64Hole = lseek(a_iFdIn, i64Data, SEEK_HOLE);
        if (i64Hole < 0)
            return false;
        i64Hole = i64Hole < i64End ? i64Hole : i64End;
        if (!CopyRange(a_iFdIn, i64Data, a_iFdOut, a_i64Out + i64Data, static_cast<uint64_t>(i64Hole - i64Data)))
            return false;
        i64At = i64Hole;
    }
    return true;
}

// The extensions of the image file kinds (the first one each kind's own),
// and their names.
const struct
{
    EOSIMAGEKIND eosimagekind;
    const char *szExtension, *szText;
} s_akind[] = {{OS_IMAGEKIND_TIFF, ".tif", "TIFF"},  {OS_IMAGEKIND_TIFF, ".tiff", "TIFF"}, {OS_IMAGEKIND_JFIF, ".jpg", "JPEG"},
               {OS_IMAGEKIND_JFIF, ".jpeg", "JPEG"}, {OS_IMAGEKIND_JFIF, ".jfif", "JPEG"}, {OS_IMAGEKIND_BMP, ".bmp", "BMP"}};

// One directory entry of a TIFF being written.
struct TiffEntry
{
    uint16_t u16Tag;
    uint16_t u16Type;       // 3 SHORT, 4 LONG, 5 RATIONAL
    uint32_t u32Count;
    uint32_t u32Value;      // the value, or the offset of out-of-line values
};

// What a TIFF made from raw data holds.
struct TiffDesc
{
    uint64_t u64Width = 0;
    uint64_t u64Height = 0;
    uint64_t u64RowBytes = 0;   // 0 for Group 4 data
    uint64_t u64Data = 0;       // the bytes of the image
    uint16_t u16Samples = 1;
    uint16_t u16Bits = 8;
    uint16_t u16Photometric = 1;
    uint16_t u16Compression = 1;
    long lResolution = 0;       // dots per inch; 0: none
};

// The first directory of a TIFF and the values it points at, to stand at
// file offset a_u32At: strips at the offsets given, a_u32Rows rows each.
std::vector<uint8_t> TiffDirectory(const TiffDesc &a_tiffdesc, uint32_t a_u32At, const std::vector<uint32_t> &a_au32Offset,
                                   const std::vector<uint32_t> &a_au32Count, uint32_t a_u32Rows)
{
    std::vector<TiffEntry> atiffentry;
    uint32_t u32Strips = static_cast<uint32_t>(a_au32Offset.size());
    atiffentry.push_back({254, 4, 1, 0});
    atiffentry.push_back({256, 4, 1, static_cast<uint32_t>(a_tiffdesc.u64Width)});
    atiffentry.push_back({257, 4, 1, static_cast<uint32_t>(a_tiffdesc.u64Height)});
    atiffentry.push_back({258, 3, a_tiffdesc.u16Samples, a_tiffdesc.u16Bits});
    atiffentry.push_back({259, 3, 1, a_tiffdesc.u16Compression});
    atiffentry.push_back({262, 3, 1, a_tiffdesc.u16Photometric});
    atiffentry.push_back({273, 4, u32Strips, u32Strips == 1 ? a_au32Offset[0] : 0});
    atiffentry.push_back({277, 3, 1, a_tiffdesc.u16Samples});
    atiffentry.push_back({278, 4, 1, a_u32Rows});
    atiffentry.push_back({279, 4, u32Strips, u32Strips == 1 ? a_au32Count[0] : 0});
    if (a_tiffdesc.lResolution > 0)
    {
        atiffentry.push_back({282, 5, 1, 0});
        atiffentry.push_back({283, 5, 1, 0});
    }
    atiffentry.push_back({284, 3, 1, 1});
    if (a_tiffdesc.lResolution > 0)
        atiffentry.push_back({296, 3, 1, 2});
    // The values after the directory: bits per sample, resolutions, strips.
    uint32_t u32Extra = a_u32At + 2 + 12 * static_cast<uint32_t>(atiffentry.size()) + 4;
    for (TiffEntry &tiffentry : atiffentry)
    {
        if ((tiffentry.u16Tag == 258 && a_tiffdesc.u16Samples > 1) || tiffentry.u16Tag == 282 || tiffentry.u16Tag == 283)
        {
            tiffentry.u32Value = u32Extra;
            u32Extra += 8;
        }
        else if ((tiffentry.u16Tag == 273 || tiffentry.u16Tag == 279) && u32Strips > 1)
        {
            tiffentry.u32Value = u32Extra;
            u32Extra += 4 * u32Strips;
        }
    }
    std::vector<uint8_t> au8;
    PutU16(au8, static_cast<uint16_t>(atiffentry.size()));
    for (const TiffEntry &tiffentry : atiffentry)
    {
        PutU16(au8, tiffentry.u16Tag);
        PutU16(au8, tiffentry.u16Type);
        PutU32(au8, tiffentry.u32Count);
        if (tiffentry.u16Type == 3 && tiffentry.u32Count == 1)
        {
            PutU16(au8, static_cast<uint16_t>(tiffentry.u32Value));
            PutU16(au8, 0);
        }
        else
            PutU32(au8, tiffentry.u32Value);
    }
    PutU32(au8, 0);
    for (const TiffEntry &tiffentry : atiffentry)
    {
        if (tiffentry.u16Tag == 258 && a_tiffdesc.u16Samples > 1)
            for (int ii = 0; ii < 4; ii++)
                PutU16(au8, ii < 3 ? a_tiffdesc.u16Bits : 0);
        else if (tiffentry.u16Tag == 282 || tiffentry.u16Tag == 283)
        {
            PutU32(au8, static_cast<uint32_t>(a_tiffdesc.lResolution > 0x7FFFFFFF ? 0x7FFFFFFF : a_tiffdesc.lResolution));
            PutU32(au8, 1);
        }
        else if ((tiffentry.u16Tag == 273 || tiffentry.u16Tag == 279) && u32Strips > 1)
            for (uint32_t u32 : (tiffentry.u16Tag == 273 ? a_au32Offset : a_au32Count))
                PutU32(au8, u32);
    }
    return au8;
}

} // namespace

// ---------------------------------------------------------------------------
// The implementation
// ---------------------------------------------------------------------------
class COsImageImpl
{
public:
    std::string m_szFileName;
    std::string m_szError;

    EOSSTS Fail(EOSSTS a_eossts, const char* a_szFormat, ...) __attribute__((format(printf, 3, 4)));
    EOSSTS Create(const char* a_szFileName, const char* a_szReport, EOSIMAGEFILEFORMAT a_eosimagefileformat);
    // Writes the TIFF header and directory of raw rows or Group 4 data; the
    // strip follows at the returned offset.  Fills the strip's byte count.
    // The TIFF that raw rows or Group 4 data of the report make.
    EOSSTS Describe(const char* a_szReport, uint64_t a_u64DataSize, TiffDesc& a_tiffdesc);
    // Makes the raw file itself the TIFF without copying its data: the
    // first rows are copied to the end with the directory, and the header
    // takes their place; then the file takes the target's name.  False when
    // that is not possible (the raw file is as it was).
    bool TiffInPlace(int a_iFd, const char* a_szRaw, const std::string& a_szOut, const TiffDesc& a_tiffdesc,
                     uint64_t a_u64DataSize);
};

EOSSTS COsImageImpl::Fail(EOSSTS a_eossts, const char* a_szFormat, ...)
{
    char szText[1024];
    va_list valist;
    va_start(valist, a_szFormat);
    vsnprintf(szText, sizeof(szText), a_szFormat, valist);
    va_end(valist);
    m_szError = szText;
    OSLOG_ERROR("COsImage: %s", szText);
    return a_eossts;
}

EOSSTS COsImageImpl::Describe(const char* a_szReport, uint64_t a_u64DataSize, TiffDesc& a_tiffdesc)
{
    char szCompression[32];
    char szFormat[32];
    char szWidth[32];
    char szHeight[32];
    char szResolution[32];
    if (COsXml::GetContent(a_szReport, "<compressionmode>", "</compressionmode>", szCompression, sizeof(szCompression), false) ||
        COsXml::GetContent(a_szReport, "<imageformat>", "</imageformat>", szFormat, sizeof(szFormat), false) ||
        COsXml::GetContent(a_szReport, "<imagewidth>", "</imagewidth>", szWidth, sizeof(szWidth), false) ||
        COsXml::GetContent(a_szReport, "<imageheight>", "</imageheight>", szHeight, sizeof(szHeight), false) ||
        COsXml::GetContent(a_szReport, "<imageresolutionx>", "</imageresolutionx>", szResolution, sizeof(szResolution), false))
    {
        return Fail(OS_STS_BAD_ARGUMENT, "the image report lacks the image's description");
    }
    bool blGroup4 = !strcasecmp(szCompression, "group4");
    if (!blGroup4 && strcasecmp(szCompression, "none"))
        return Fail(OS_STS_FAIL, "raw data compressed as <%s> cannot become a TIFF", szCompression);
    uint16_t u16Samples = 1;
    uint16_t u16Bits = 8;
    // Gray and bitonal samples, and the bits Group 4 codes stand for, have
    // 0 black unless the report says the source meant 0 white.
    char szFlavor[16];
    bool blVanilla = !COsXml::GetContent(a_szReport, "<imagepixelflavor>", "</imagepixelflavor>", szFlavor, sizeof(szFlavor),
                                         false) &&
                     !strcasecmp(szFlavor, "vanilla");
    uint16_t u16Photometric = blVanilla ? 0 : 1;
    if (!strcasecmp(szFormat, "bw"))
        u16Bits = 1;
    else if (!strcasecmp(szFormat, "rgb_24") || !strcasecmp(szFormat, "rgb_48"))
    {
        u16Samples = 3;
        u16Photometric = 2;
    }
    else if (strcasecmp(szFormat, "gray_8") && strcasecmp(szFormat, "gray_16"))
        return Fail(OS_STS_FAIL, "unknown image format <%s>", szFormat);
    if (!strcasecmp(szFormat, "gray_16") || !strcasecmp(szFormat, "rgb_48"))
        u16Bits = 16;
    if (blGroup4 && u16Bits != 1)
        return Fail(OS_STS_FAIL, "Group 4 data must be bitonal, not <%s>", szFormat);

    // Sizes: 1/1200 inch at the resolution, or pixels without one; or the
    // exact pixels of raw rows, when the report gives them.
    char szPixelsX[32];
    char szPixelsY[32];
    bool blPixels = !blGroup4 &&
                    !COsXml::GetContent(a_szReport, "<imagepixelwidth>", "</imagepixelwidth>", szPixelsX, sizeof(szPixelsX), false) &&
                    !COsXml::GetContent(a_szReport, "<imagepixelheight>", "</imagepixelheight>", szPixelsY, sizeof(szPixelsY), false);
    char* pszEnd = nullptr;
    double dWidth = strtod(blPixels ? szPixelsX : szWidth, &pszEnd);
    double dHeight = strtod(blPixels ? szPixelsY : szHeight, nullptr);
    long lResolution = strtol(szResolution, nullptr, 10);
    double dScale = (lResolution > 0 && !blPixels) ? static_cast<double>(lResolution) / 1200.0 : 1.0;
    double dPixelsX = std::floor(dWidth * dScale + 0.5);
    double dPixelsY = std::floor(dHeight * dScale + 0.5);
    if (!(dPixelsX >= 1 && dPixelsX <= 0xFFFFFFFFu && dPixelsY >= 1 && dPixelsY <= 0xFFFFFFFFu))
        return Fail(OS_STS_FAIL, "image size <%s x %s> is not usable", blPixels ? szPixelsX : szWidth,
                    blPixels ? szPixelsY : szHeight);
    uint64_t u64Width = static_cast<uint64_t>(dPixelsX);
    uint64_t u64Height = static_cast<uint64_t>(dPixelsY);
    uint64_t u64Strip = a_u64DataSize;
    uint64_t u64PixelRow = (u64Width * u16Samples * u16Bits + 7) / 8;
    if (blPixels && (a_u64DataSize % u64PixelRow != 0 || a_u64DataSize / u64PixelRow != u64Height))
        return Fail(OS_STS_FAIL, "%llu bytes of raw data are not the %llu x %llu pixels of the image",
                    static_cast<unsigned long long>(a_u64DataSize), static_cast<unsigned long long>(u64Width),
                    static_cast<unsigned long long>(u64Height));
    if (!blGroup4)
    {
        // The sizes of the report went through 1/1200 inch: when the data
        // does not fit them exactly, the nearest pair that does is taken;
        // without one, the whole rows the data holds.
        uint64_t u64Bits = static_cast<uint64_t>(u16Samples) * u16Bits;
        auto RowBytes = [u64Bits](uint64_t a_u64Width) { return (a_u64Width * u64Bits + 7) / 8; };
        bool blExact = RowBytes(u64Width) * u64Height == a_u64DataSize;
        for (int iDx = 0; iDx <= 2 && !blExact; iDx++)
            for (int iDy = 0; iDy <= 2 && !blExact; iDy++)
                for (int iSign = 0; iSign < 4 && !blExact; iSign++)
                {
                    int64_t i64W = static_cast<int64_t>(u64Width) + ((iSign & 1) ? -iDx : iDx);
                    int64_t i64H = static_cast<int64_t>(u64Height) + ((iSign & 2) ? -iDy : iDy);
                    if (i64W >= 1 && i64H >= 1 && RowBytes(static_cast<uint64_t>(i64W)) * static_cast<uint64_t>(i64H) == a_u64DataSize)
                    {
                        u64Width = static_cast<uint64_t>(i64W);
                        u64Height = static_cast<uint64_t>(i64H);
                        blExact = true;
                    }
                }
        if (!blExact)
        {
            uint64_t u64Rows = a_u64DataSize / RowBytes(u64Width);
            u64Height = (u64Rows < u64Height) ? u64Rows : u64Height;
            if (u64Height == 0)
                return Fail(OS_STS_FAIL, "%llu bytes of raw data hold no row of the image",
                            static_cast<unsigned long long>(a_u64DataSize));
        }
        u64Strip = RowBytes(u64Width) * u64Height;
    }
    if (u64Width > 0xFFFFFFFFu || u64Height > 0xFFFFFFFFu || u64Strip > OS_IMAGE_TIFFDATAMAX || u64Strip == 0)
        return Fail(OS_STS_FAIL, "the image is too large for a TIFF");

    a_tiffdesc.u64Width = u64Width;
    a_tiffdesc.u64Height = u64Height;
    a_tiffdesc.u64RowBytes = blGroup4 ? 0 : (u64Width * u16Samples * u16Bits + 7) / 8;
    a_tiffdesc.u64Data = u64Strip;
    a_tiffdesc.u16Samples = u16Samples;
    a_tiffdesc.u16Bits = u16Bits;
    a_tiffdesc.u16Photometric = u16Photometric;
    a_tiffdesc.u16Compression = blGroup4 ? 4 : 1;
    a_tiffdesc.lResolution = lResolution > 0 ? lResolution : 0;
    return OS_STS_OK;
}

bool COsImageImpl::TiffInPlace(int a_iFd, const char* a_szRaw, const std::string& a_szOut, const TiffDesc& a_tiffdesc,
                               uint64_t a_u64DataSize)
{
    // Strips of about 64 KiB (at least a row); the first one is copied to
    // the end of the file, a piece at a time, whatever the size of a row.
    uint64_t u64RowBytes = a_tiffdesc.u64RowBytes;
    if (u64RowBytes == 0 || a_szOut == a_szRaw)
        return false;
    uint64_t u64Rows = (65536 + u64RowBytes - 1) / u64RowBytes;
    if (u64Rows >= a_tiffdesc.u64Height)
        return false;
    uint64_t u64Strips = (a_tiffdesc.u64Height + u64Rows - 1) / u64Rows;
    uint64_t u64First = u64Rows * u64RowBytes;
    uint64_t u64End = a_u64DataSize + u64First + (u64First & 1);
    if (u64End + 1024 + 8 * u64Strips > 0xFFFFFFF0u)
        return false;
    std::vector<uint32_t> au32Offset;
    std::vector<uint32_t> au32Count;
    for (uint64_t ii = 0; ii < u64Strips; ii++)
    {
        uint64_t u64StripRows = (ii + 1 < u64Strips) ? u64Rows : a_tiffdesc.u64Height - ii * u64Rows;
        au32Offset.push_back(static_cast<uint32_t>(ii == 0 ? a_u64DataSize : ii * u64First));
        au32Count.push_back(static_cast<uint32_t>(u64StripRows * u64RowBytes));
    }
    std::vector<uint8_t> au8Directory = TiffDirectory(a_tiffdesc, static_cast<uint32_t>(u64End), au32Offset, au32Count,
                                                      static_cast<uint32_t>(u64Rows));
    std::vector<uint8_t> au8Header = TiffHeader(static_cast<uint32_t>(u64End));
    uint8_t au8First[8] = {0};
    if (pread(a_iFd, au8First, sizeof(au8First), 0) != static_cast<ssize_t>(sizeof(au8First)))
        return false;

    // The data before the header goes in first: until the header is
    // written, the raw data is whole.
    OsImageFd osimagefd;
    osimagefd.m_iFd = open(a_szRaw, O_WRONLY | O_CLOEXEC);
    if (osimagefd.m_iFd < 0)
        return false;
    bool blDone = CopyData(a_iFd, osimagefd.m_iFd, static_cast<loff_t>(a_u64DataSize), u64First) &&
                  WriteAll(osimagefd.m_iFd, au8Directory.data(), au8Directory.size(), static_cast<off_t>(u64End));
    blDone = blDone && WriteAll(osimagefd.m_iFd, au8Header.data(), au8Header.size(), 0);
    blDone = blDone && rename(a_szRaw, a_szOut.c_str()) == 0;
    if (!blDone)
    {
        // Back as it was: the first bytes and the size of the raw data.
        if (pwrite(osimagefd.m_iFd, au8First, 8, 0) != 8 || ftruncate(osimagefd.m_iFd, static_cast<off_t>(a_u64DataSize)) != 0)
            OSLOG_ERROR("COsImage: the raw data <%s> could not be restored", a_szRaw);
        return false;
    }
    return true;
}

EOSSTS COsImageImpl::Create(const char* a_szFileName, const char* a_szReport, EOSIMAGEFILEFORMAT a_eosimagefileformat)
{
    m_szError.clear();
    if (!a_szFileName || !a_szFileName[0] || !a_szReport)
        return Fail(OS_STS_BAD_ARGUMENT, "no file name or no image report");
    char szRaw[512];
    if (COsXml::GetContent(a_szReport, "<imagefilename>", "</imagefilename>", szRaw, sizeof(szRaw), false) || !szRaw[0])
        return Fail(OS_STS_BAD_ARGUMENT, "the image report names no raw data file");

    OsImageFd osimagefdIn;
    osimagefdIn.m_iFd = open(szRaw, O_RDONLY | O_CLOEXEC);
    struct stat statIn;
    if (osimagefdIn.m_iFd < 0 || fstat(osimagefdIn.m_iFd, &statIn) != 0 || !S_ISREG(statIn.st_mode))
        return Fail(OS_STS_FILE_NOT_FOUND, "cannot read the raw data <%s>", szRaw);
    uint64_t u64DataSize = static_cast<uint64_t>(statIn.st_size);
    uint8_t au8Head[16] = {0};
    ssize_t iHead = pread(osimagefdIn.m_iFd, au8Head, sizeof(au8Head), 0);
    EOSIMAGEKIND eosimagekindData = COsImage::Sniff(au8Head, iHead > 0 ? static_cast<uint64_t>(iHead) : 0);
    // Rows (plain or Group 4) are raw data whatever their first bytes spell:
    // pixels that happen to read "BM" or "II*" are still pixels.
    char szCompression[32];
    if (!COsXml::GetContent(a_szReport, "<compressionmode>", "</compressionmode>", szCompression, sizeof(szCompression), false) &&
        (!strcasecmp(szCompression, "none") || !strcasecmp(szCompression, "group4")))
        eosimagekindData = OS_IMAGEKIND_RAW;
    if (u64DataSize == 0)
        return Fail(OS_STS_FAIL, "the raw data <%s> is empty", szRaw);

    // The kind to write and the name of the file.
    std::string szOut = a_szFileName;
    EOSIMAGEKIND eosimagekind = OS_IMAGEKIND_JFIF;
    if (a_eosimagefileformat == OS_IMAGEFILEFORMAT_BYNAME)
    {
        eosimagekind = COsImage::KindOfName(szOut.c_str());
        if (eosimagekind == OS_IMAGEKIND_RAW)
        {
            eosimagekind = (eosimagekindData == OS_IMAGEKIND_RAW) ? OS_IMAGEKIND_TIFF : eosimagekindData;
            szOut += COsImage::ExtensionOfKind(eosimagekind);
        }
    }
    else if (a_eosimagefileformat != OS_IMAGEFILEFORMAT_JFIF)
        return Fail(OS_STS_BAD_ARGUMENT, "unknown image file format %d", static_cast<int>(a_eosimagefileformat));
    if (eosimagekind != OS_IMAGEKIND_TIFF && eosimagekindData != eosimagekind)
        return Fail(OS_STS_FAIL, "the data of <%s> is not %s data", szRaw,
                    eosimagekind == OS_IMAGEKIND_JFIF ? "JPEG" : "BMP");
    if (eosimagekind == OS_IMAGEKIND_TIFF && eosimagekindData != OS_IMAGEKIND_RAW && eosimagekindData != OS_IMAGEKIND_TIFF)
        return Fail(OS_STS_FAIL, "the data of <%s> cannot become a TIFF", szRaw);

    std::vector<uint8_t> au8Header;
    uint64_t u64Copy = u64DataSize;
    if (eosimagekind == OS_IMAGEKIND_TIFF && eosimagekindData == OS_IMAGEKIND_RAW)
    {
        TiffDesc tiffdesc;
        EOSSTS eossts = Describe(a_szReport, u64DataSize, tiffdesc);
        if (eossts != OS_STS_OK)
            return eossts;
        // A large image is not copied: the raw file itself becomes the TIFF.
        if (u64DataSize >= (1u << 20) && TiffInPlace(osimagefdIn.m_iFd, szRaw, szOut, tiffdesc, u64DataSize))
        {
            m_szFileName = szOut;
            return OS_STS_OK;
        }
        // Else: header and directory, then the one strip.
        uint32_t u32Strip = static_cast<uint32_t>(tiffdesc.u64Data);
        uint32_t u32Directory = static_cast<uint32_t>(TiffDirectory(tiffdesc, 8, {0}, {u32Strip}, 0).size());
        au8Header = TiffHeader(8);
        std::vector<uint8_t> au8Directory = TiffDirectory(tiffdesc, 8, {8 + u32Directory}, {u32Strip},
                                                          static_cast<uint32_t>(tiffdesc.u64Height));
        au8Header.insert(au8Header.end(), au8Directory.begin(), au8Directory.end());
        u64Copy = tiffdesc.u64Data;
    }

    // Written whole beside the target and renamed at the end: a failure
    // leaves no partial file, and the raw data may be the target itself.
    std::string szTarget;
    std::string szTemp;
    EOSSTS eossts = OS_STS_OK;
    int iFdOut = OsFileTempOpen(szOut.c_str(), -1, szTarget, szTemp, &eossts);
    if (iFdOut < 0)
        return Fail(eossts, "cannot create <%s>: %s", szOut.c_str(), strerror(errno));
    // A new file takes the data of sparse raw data alone (its holes stay
    // holes); a device is written to in order.
    bool blWritten = WriteAll(iFdOut, au8Header.data(), au8Header.size(), -1);
    struct stat statOut;
    if (blWritten && !szTemp.empty() && fstat(iFdOut, &statOut) == 0 && S_ISREG(statOut.st_mode))
        blWritten = ftruncate(iFdOut, static_cast<off_t>(au8Header.size() + u64Copy)) == 0 &&
                    CopyData(osimagefdIn.m_iFd, iFdOut, static_cast<loff_t>(au8Header.size()), u64Copy);
    else
        blWritten = blWritten && CopyRange(osimagefdIn.m_iFd, 0, iFdOut, -1, u64Copy);
    eossts = OsFileTempCommit(iFdOut, szTemp, szTarget, blWritten ? 0 : (errno ? errno : EIO));
    if (eossts != OS_STS_OK)
        return Fail(eossts, "cannot write <%s>: %s", szOut.c_str(), strerror(errno));
    m_szFileName = szOut;
    return OS_STS_OK;
}

// ---------------------------------------------------------------------------
// COsImage
// ---------------------------------------------------------------------------
COsImage::COsImage() : m_posimageimpl(new COsImageImpl)
{
}

COsImage::~COsImage()
{
    delete m_posimageimpl;
    m_posimageimpl = nullptr;
}

EOSSTS COsImage::Create(const char* a_szFileName, const char* a_szReport, bool, bool,
                        EOSIMAGEFILEFORMAT a_eosimagefileformat, EOSIMAGEMULTIPAGE, bool, bool, int)
{
    return m_posimageimpl->Create(a_szFileName, a_szReport, a_eosimagefileformat);
}

const char* COsImage::GetFileName() const
{
    return m_posimageimpl->m_szFileName.c_str();
}

const char* COsImage::GetError() const
{
    return m_posimageimpl->m_szError.c_str();
}

EOSIMAGEKIND COsImage::Sniff(const void* a_pvData, uint64_t a_u64Size)
{
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvData);
    if (!pu8)
        return OS_IMAGEKIND_RAW;
    if (a_u64Size >= 3 && pu8[0] == 0xFF && pu8[1] == 0xD8 && pu8[2] == 0xFF)
        return OS_IMAGEKIND_JFIF;
    if (a_u64Size >= 4 && ((pu8[0] == 'I' && pu8[1] == 'I' && pu8[2] == 42 && pu8[3] == 0) ||
                           (pu8[0] == 'M' && pu8[1] == 'M' && pu8[2] == 0 && pu8[3] == 42)))
        return OS_IMAGEKIND_TIFF;
    if (a_u64Size >= 14 && pu8[0] == 'B' && pu8[1] == 'M')
        return OS_IMAGEKIND_BMP;
    return OS_IMAGEKIND_RAW;
}

EOSIMAGEKIND COsImage::KindOfName(const char* a_szName)
{
    const char* szDot = a_szName ? strrchr(a_szName, '.') : nullptr;
    for (const auto& kind : s_akind)
        if (szDot && !strpbrk(szDot, "/\\") && !strcasecmp(szDot, kind.szExtension))
            return kind.eosimagekind;
    return OS_IMAGEKIND_RAW;
}

const char* COsImage::ExtensionOfKind(EOSIMAGEKIND a_eosimagekind)
{
    for (const auto& kind : s_akind)
        if (kind.eosimagekind == a_eosimagekind)
            return kind.szExtension;
    return ".raw";
}

const char* COsImage::TextOfKind(EOSIMAGEKIND a_eosimagekind)
{
    for (const auto& kind : s_akind)
        if (kind.eosimagekind == a_eosimagekind)
            return kind.szText;
    return "raw";
}

EOSSTS COsImage::TiffExtent(const void* a_pvData, uint64_t a_u64Limit, uint64_t* a_pu64Size)
{
    if (!a_pvData || !a_pu64Size)
        return OS_STS_FAIL;
    *a_pu64Size = 0;
    ImageBytes imagebytes(static_cast<const uint8_t*>(a_pvData), a_u64Limit);
    uint64_t u64Claimed = 0;
    // (a native TIFF is little-endian, as this machine)
    if (static_cast<const uint8_t*>(a_pvData)[0] != 'I' || TiffWalk(imagebytes, &u64Claimed) != OS_STS_OK)
        return OS_STS_FAIL;
    *a_pu64Size = u64Claimed;
    return OS_STS_OK;
}

EOSSTS COsImage::FileExtent(COsFile& a_osfile, OsImageExtent* a_posimageextent)
{
    if (!a_posimageextent)
        return OS_STS_BAD_ARGUMENT;
    memset(a_posimageextent, 0, sizeof(*a_posimageextent));
    uint64_t u64Size = 0;
    if (a_osfile.Size(&u64Size) != OS_STS_OK)
        return OS_STS_FAIL;
    ImageBytes imagebytes(a_osfile, u64Size);
    const uint8_t* pu8Head = imagebytes.Peek(0, u64Size < 16 ? u64Size : 16);
    a_posimageextent->u64Size = u64Size;
    a_posimageextent->eosimagekind = Sniff(pu8Head, pu8Head ? (u64Size < 16 ? u64Size : 16) : 0);
    uint64_t* pu64Claimed = &a_posimageextent->u64Claimed;
    switch (a_posimageextent->eosimagekind)
    {
        case OS_IMAGEKIND_TIFF:
            return TiffWalk(imagebytes, pu64Claimed);
        case OS_IMAGEKIND_JFIF:
            return JpegWalk(imagebytes, pu64Claimed);
        case OS_IMAGEKIND_BMP:
        {
            // The file header's size and pixel offset, then the bitmap's
            // own header (DibMeasure reads its first 40 bytes only).
            const uint8_t* pu8 = imagebytes.Peek(0, 14 + 40);
            if (!pu8)
                return OS_STS_FAIL;
            OsImageDib osimagedib;
            EOSSTS eossts = DibMeasure(pu8 + 14, u64Size - 14, &osimagedib);
            if (osimagedib.u64Size == 0)
                return OS_STS_FAIL;
            uint64_t u64Pixels = GetU32(pu8 + 10) + osimagedib.u64DataSize;
            *pu64Claimed = 14 + osimagedib.u64Size;
            for (uint64_t u64 : {static_cast<uint64_t>(GetU32(pu8 + 2)), u64Pixels})
                *pu64Claimed = u64 > *pu64Claimed ? u64 : *pu64Claimed;
            return (eossts == OS_STS_OK && *pu64Claimed <= u64Size) ? OS_STS_OK : OS_STS_FAIL;
        }
        default:
            return OS_STS_OK;
    }
}

EOSSTS COsImage::DibMeasure(const void* a_pvData, uint64_t a_u64Limit, OsImageDib* a_posimagedib)
{
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvData);
    if (!pu8 || !a_posimagedib || a_u64Limit < 40)
        return OS_STS_FAIL;
    OsImageDib osimagedib;
    memset(&osimagedib, 0, sizeof(osimagedib));
    osimagedib.biSize = GetU32(pu8);
    osimagedib.biWidth = static_cast<int32_t>(GetU32(pu8 + 4));
    osimagedib.biHeight = static_cast<int32_t>(GetU32(pu8 + 8));
    osimagedib.biPlanes = GetU16(pu8 + 12);
    osimagedib.biBitCount = GetU16(pu8 + 14);
    osimagedib.biCompression = GetU32(pu8 + 16);
    osimagedib.biSizeImage = GetU32(pu8 + 20);
    osimagedib.biXPelsPerMeter = static_cast<int32_t>(GetU32(pu8 + 24));
    osimagedib.biClrUsed = GetU32(pu8 + 32);
    osimagedib.biClrImportant = GetU32(pu8 + 36);
    *a_posimagedib = osimagedib;
    uint16_t u16Bits = osimagedib.biBitCount;
    if (osimagedib.biSize < 40 || osimagedib.biSize > 1024 || osimagedib.biWidth <= 0 || osimagedib.biHeight == 0 ||
        osimagedib.biHeight == INT32_MIN || (u16Bits != 1 && u16Bits != 4 && u16Bits != 8 && u16Bits != 16 &&
                                             u16Bits != 24 && u16Bits != 32))
        return OS_STS_FAIL;
    // Compressed pixels say their size; bit-field masks follow a short header.
    if (osimagedib.biCompression != 0 && osimagedib.biCompression != 3 && osimagedib.biSizeImage == 0)
        return OS_STS_FAIL;
    uint64_t u64Masks = (osimagedib.biCompression == 3 && osimagedib.biSize == 40) ? 12 : 0;
    uint64_t u64Colors = osimagedib.biClrUsed;
    if (u64Colors == 0 && u16Bits <= 8)
        u64Colors = 1ull << u16Bits;
    if (u64Colors > 256 && u16Bits <= 8)
        return OS_STS_FAIL;
    if (u64Colors > 65536)
        return OS_STS_FAIL;
    uint64_t u64Rows = static_cast<uint64_t>(osimagedib.biHeight < 0 ? -static_cast<int64_t>(osimagedib.biHeight)
                                                                     : osimagedib.biHeight);
    uint64_t u64Stride = ((static_cast<uint64_t>(osimagedib.biWidth) * u16Bits + 31) / 32) * 4;
    osimagedib.u64DataOffset = osimagedib.biSize + u64Masks + 4 * u64Colors;
    osimagedib.u64DataSize = osimagedib.biSizeImage ? osimagedib.biSizeImage : u64Stride * u64Rows;
    osimagedib.u64Size = osimagedib.u64DataOffset + osimagedib.u64DataSize;
    *a_posimagedib = osimagedib;
    if (osimagedib.u64Size > a_u64Limit)
        return OS_STS_FAIL;
    return OS_STS_OK;
}

EOSSTS COsImage::SetMinIsWhite(const char* a_szFile, bool a_blMinIsWhite)
{
    OsImageFd osimagefd;
    osimagefd.m_iFd = a_szFile ? open(a_szFile, O_RDWR | O_CLOEXEC) : -1;
    if (osimagefd.m_iFd < 0)
        return OS_STS_IO_ERROR;
    uint8_t au8Header[8];
    if (pread(osimagefd.m_iFd, au8Header, sizeof(au8Header), 0) != static_cast<ssize_t>(sizeof(au8Header)))
        return OS_STS_FAIL;
    const TiffOrder tifforder{au8Header[0] == 'M'};
    if (au8Header[0] != au8Header[1] || (au8Header[0] != 'I' && au8Header[0] != 'M') || tifforder.U16(au8Header + 2) != 42)
        return OS_STS_FAIL;
    uint32_t u32Directory = tifforder.U32(au8Header + 4);
    uint8_t au8Count[2];
    if (pread(osimagefd.m_iFd, au8Count, sizeof(au8Count), u32Directory) != static_cast<ssize_t>(sizeof(au8Count)))
        return OS_STS_FAIL;
    std::vector<uint8_t> au8Entries(static_cast<size_t>(tifforder.U16(au8Count)) * 12);
    if (pread(osimagefd.m_iFd, au8Entries.data(), au8Entries.size(), static_cast<off_t>(u32Directory) + 2) !=
        static_cast<ssize_t>(au8Entries.size()))
        return OS_STS_FAIL;
    for (size_t ii = 0; ii < au8Entries.size(); ii += 12)
    {
        const uint8_t* pu8 = au8Entries.data() + ii;
        if (tifforder.U16(pu8) != 262)
            continue;
        if (tifforder.U16(pu8 + 2) != 3 || tifforder.U32(pu8 + 4) != 1 || tifforder.U16(pu8 + 8) > 1)
            return OS_STS_FAIL;
        uint8_t au8Value[2] = {0, 0};
        au8Value[tifforder.blBig ? 1 : 0] = a_blMinIsWhite ? 0 : 1;
        return WriteAll(osimagefd.m_iFd, au8Value, sizeof(au8Value), static_cast<off_t>(u32Directory) + 2 + ii + 8)
                   ? OS_STS_OK
                   : OS_STS_IO_ERROR;
    }
    return OS_STS_FAIL;
}
