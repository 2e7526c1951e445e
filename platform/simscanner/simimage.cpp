// simimage.cpp
//
// Synthetic pages and image formats of the simulated scanner (see simimage.h).

#include "simimage.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace
{
// Two periods of the gray ramp, so that a row is a run of copies of it.
struct Ramps
{
    unsigned char m_au8Chocolate[512];
    unsigned char m_au8Vanilla[512];
    Ramps()
    {
        for (int ii = 0; ii < 512; ii++)
        {
            m_au8Chocolate[ii] = static_cast<unsigned char>(ii & 0xFF);
            m_au8Vanilla[ii] = static_cast<unsigned char>(255 - (ii & 0xFF));
        }
    }
};

const Ramps s_ramps;

void Put16(std::vector<unsigned char>& a_au8, std::size_t a_uAt, std::uint16_t a_u16)
{
    std::memcpy(&a_au8[a_uAt], &a_u16, 2);
}

void Put32(std::vector<unsigned char>& a_au8, std::size_t a_uAt, std::uint32_t a_u32)
{
    std::memcpy(&a_au8[a_uAt], &a_u32, 4);
}

int SamplesPerPixel(const SimImageParams& a_params)
{
    return (a_params.m_iPixelType == TWPT_RGB) ? 3 : 1;
}

int BitsPerPixel(const SimImageParams& a_params)
{
    return SamplesPerPixel(a_params) * SimBitsPerSample(a_params);
}

std::uint32_t Mod256(std::int64_t a_i64)
{
    return static_cast<std::uint32_t>(a_i64 & 0xFF);
}

// A 16-bit sample: its 8-bit value above, the page's low byte below.
void Put16Sample(unsigned char* a_pu8, std::uint32_t a_u32High, std::int64_t a_i64X, std::int64_t a_i64Y, std::int64_t a_i64Page,
                 int a_iSample)
{
    std::uint16_t u16 = static_cast<std::uint16_t>((a_u32High << 8) | Mod256(3 * a_i64X + a_i64Y + 59 * a_i64Page + 85 * a_iSample));
    std::memcpy(a_pu8, &u16, 2);
}

// A TIFF header in the byte order of this machine ("II" little-endian).
void PutTiffOrder(std::vector<unsigned char>& a_au8)
{
    const std::uint16_t u16One = 1;
    unsigned char u8Low = 0;
    std::memcpy(&u8Low, &u16One, 1);
    a_au8[0] = a_au8[1] = (u8Low == 1) ? 'I' : 'M';
}
}

int SimBitsPerSample(const SimImageParams& a_params)
{
    if (a_params.m_iPixelType == TWPT_BW)
    {
        return 1;
    }
    return (a_params.m_iBitDepth == 16 * SamplesPerPixel(a_params)) ? 16 : 8;
}

std::size_t SimRowBytes(const SimImageParams& a_params)
{
    return static_cast<std::size_t>((a_params.m_i64Width * BitsPerPixel(a_params) + 7) / 8);
}

void SimPixel(const SimImageParams& a_params, std::int64_t a_i64X, std::int64_t a_i64Y, unsigned char a_au8[3])
{
    std::int64_t p = a_params.m_u32Page;
    switch (a_params.m_iPixelType)
    {
        case TWPT_RGB:
            a_au8[0] = static_cast<unsigned char>(Mod256(a_i64X + 37 * p));
            a_au8[1] = static_cast<unsigned char>(Mod256(2 * a_i64Y + 11 * p));
            a_au8[2] = static_cast<unsigned char>(Mod256(a_i64X + a_i64Y + 101 * p));
            break;
        case TWPT_GRAY:
        {
            std::uint32_t u32 = Mod256(a_i64X + 2 * a_i64Y + 37 * p);
            a_au8[0] = static_cast<unsigned char>(a_params.m_blVanilla ? 255 - u32 : u32);
            break;
        }
        default:
        {
            bool blBlack = (((a_i64X / 8) + (a_i64Y / 8) + p) & 1) != 0;
            a_au8[0] = static_cast<unsigned char>(blBlack == a_params.m_blVanilla ? 1 : 0);
            break;
        }
    }
}

void SimRenderRow(const SimImageParams& a_params, std::int64_t a_i64Y, unsigned char* a_pu8Row)
{
    std::int64_t i64Width = a_params.m_i64Width;
    std::int64_t p = a_params.m_u32Page;
    switch (a_params.m_iPixelType)
    {
        case TWPT_GRAY:
        {
            if (SimBitsPerSample(a_params) == 16)
            {
                for (std::int64_t x = 0; x < i64Width; x++)
                {
                    Put16Sample(a_pu8Row + 2 * x, Mod256(x + 2 * a_i64Y + 37 * p), x, a_i64Y, p, 0);
                    if (a_params.m_blVanilla)
                    {
                        a_pu8Row[2 * x] = static_cast<unsigned char>(~a_pu8Row[2 * x]);
                        a_pu8Row[2 * x + 1] = static_cast<unsigned char>(~a_pu8Row[2 * x + 1]);
                    }
                }
                break;
            }
            // The row is the ramp from (2y + 37p) mod 256 on: copies of 256 bytes.
            const unsigned char* pu8Ramp = a_params.m_blVanilla ? s_ramps.m_au8Vanilla : s_ramps.m_au8Chocolate;
            std::uint32_t u32Start = Mod256(2 * a_i64Y + 37 * p);
            std::int64_t i64Done = 0;
            while (i64Done < i64Width)
            {
                std::int64_t i64Chunk = (i64Width - i64Done < 256) ? (i64Width - i64Done) : 256;
                std::memcpy(a_pu8Row + i64Done, pu8Ramp + u32Start, static_cast<std::size_t>(i64Chunk));
                i64Done += i64Chunk;
            }
            break;
        }
        case TWPT_RGB:
        {
            unsigned char u8G = static_cast<unsigned char>(Mod256(2 * a_i64Y + 11 * p));
            std::uint32_t u32R = Mod256(37 * p);
            std::uint32_t u32B = Mod256(a_i64Y + 101 * p);
            if (SimBitsPerSample(a_params) == 16)
            {
                for (std::int64_t x = 0; x < i64Width; x++)
                {
                    Put16Sample(a_pu8Row + 6 * x, Mod256(x + 37 * p), x, a_i64Y, p, 0);
                    Put16Sample(a_pu8Row + 6 * x + 2, u8G, x, a_i64Y, p, 1);
                    Put16Sample(a_pu8Row + 6 * x + 4, Mod256(x + a_i64Y + 101 * p), x, a_i64Y, p, 2);
                }
                break;
            }
            for (std::int64_t x = 0; x < i64Width; x++)
            {
                a_pu8Row[3 * x] = static_cast<unsigned char>(u32R);
                a_pu8Row[3 * x + 1] = u8G;
                a_pu8Row[3 * x + 2] = static_cast<unsigned char>(u32B);
                u32R = (u32R + 1) & 0xFF;
                u32B = (u32B + 1) & 0xFF;
            }
            break;
        }
        default:
        {
            // Blocks of 8 pixels share one colour: one byte per block.
            std::size_t uBytes = SimRowBytes(a_params);
            std::int64_t i64Base = (a_i64Y / 8) + p;
            for (std::size_t ii = 0; ii < uBytes; ii++)
            {
                bool blBlack = ((static_cast<std::int64_t>(ii) + i64Base) & 1) != 0;
                a_pu8Row[ii] = (blBlack == a_params.m_blVanilla) ? 0xFF : 0x00;
            }
            int iTail = static_cast<int>(i64Width % 8);
            if (iTail != 0 && uBytes > 0)
            {
                a_pu8Row[uBytes - 1] &= static_cast<unsigned char>(0xFF << (8 - iTail));
            }
            break;
        }
    }
}

std::size_t SimMemoryRowBytes(const SimImageParams& a_params, std::int64_t a_i64Columns, int a_iAlign)
{
    std::size_t uAlign = (a_iAlign > 1) ? static_cast<std::size_t>(a_iAlign) : 1;
    std::size_t uBytes = static_cast<std::size_t>((a_i64Columns * BitsPerPixel(a_params) + 7) / 8);
    return (uBytes + uAlign - 1) / uAlign * uAlign;
}

void SimRenderColumns(const SimImageParams& a_params, std::int64_t a_i64Y, std::int64_t a_i64X, std::int64_t a_i64Columns,
                      std::vector<unsigned char>& a_au8Row, unsigned char* a_pu8Out)
{
    a_au8Row.resize(SimRowBytes(a_params) + 1);
    SimRenderRow(a_params, a_i64Y, a_au8Row.data());
    std::int64_t i64Bits = BitsPerPixel(a_params);
    std::size_t uBytes = static_cast<std::size_t>((a_i64Columns * i64Bits + 7) / 8);
    if (i64Bits % 8 == 0)
    {
        std::memcpy(a_pu8Out, a_au8Row.data() + a_i64X * i64Bits / 8, uBytes);
        return;
    }
    std::memset(a_pu8Out, 0, uBytes);
    for (std::int64_t ii = 0; ii < a_i64Columns * i64Bits; ii++)
    {
        std::int64_t i64From = a_i64X * i64Bits + ii;
        if ((a_au8Row[static_cast<std::size_t>(i64From / 8)] >> (7 - i64From % 8)) & 1)
        {
            a_pu8Out[ii / 8] |= static_cast<unsigned char>(0x80 >> (ii % 8));
        }
    }
}

bool SimBuildDib(const SimImageParams& a_params, std::vector<unsigned char>& a_au8)
{
    a_au8.clear();
    int iBits = BitsPerPixel(a_params);
    if (SimBitsPerSample(a_params) == 16)
    {
        return false;
    }
    std::size_t uPalette = (iBits == 1) ? 2 : (iBits == 8) ? 256 : 0;
    std::size_t uStride = (static_cast<std::size_t>(a_params.m_i64Width) * iBits + 31) / 32 * 4;
    std::size_t uHeader = 40 + 4 * uPalette;
    // The header's sizes are 32-bit: a bitmap (with its file header, 14
    // bytes more) must stay below 4 GiB, or the header would lie.
    if (a_params.m_i64Width < 1 || a_params.m_i64Height < 1 || a_params.m_i64Width > 0x7FFFFFFF ||
        a_params.m_i64Height > 0x7FFFFFFF || uStride > (0xFFFFFFFFull - 14 - uHeader) / static_cast<std::size_t>(a_params.m_i64Height))
    {
        return false;
    }
    std::size_t uImage = uStride * static_cast<std::size_t>(a_params.m_i64Height);
    a_au8.assign(uHeader + uImage, 0);
    Put32(a_au8, 0, 40);
    Put32(a_au8, 4, static_cast<std::uint32_t>(a_params.m_i64Width));
    Put32(a_au8, 8, static_cast<std::uint32_t>(a_params.m_i64Height));   // positive: bottom-up
    Put16(a_au8, 12, 1);
    Put16(a_au8, 14, static_cast<std::uint16_t>(iBits));
    Put32(a_au8, 16, 0);   // BI_RGB
    Put32(a_au8, 20, static_cast<std::uint32_t>(uImage));
    Put32(a_au8, 24, static_cast<std::uint32_t>(std::lround(a_params.m_dXRes * 39.3701)));
    Put32(a_au8, 28, static_cast<std::uint32_t>(std::lround(a_params.m_dYRes * 39.3701)));
    Put32(a_au8, 32, static_cast<std::uint32_t>(uPalette));
    Put32(a_au8, 36, static_cast<std::uint32_t>(uPalette));
    // The palette gives the pixels their meaning: entry 0 black, then up to white.
    for (std::size_t ii = 0; ii < uPalette; ii++)
    {
        unsigned char u8 = static_cast<unsigned char>((uPalette == 2) ? ii * 255 : ii);
        a_au8[40 + 4 * ii] = u8;
        a_au8[40 + 4 * ii + 1] = u8;
        a_au8[40 + 4 * ii + 2] = u8;
    }
    SimImageParams params = a_params;
    params.m_blVanilla = false;   // the samples follow the palette (0 is black)
    std::vector<unsigned char> au8Row(SimRowBytes(params) + 1);
    for (std::int64_t y = 0; y < params.m_i64Height; y++)
    {
        unsigned char* pu8Dest = &a_au8[uHeader + uStride * static_cast<std::size_t>(params.m_i64Height - 1 - y)];
        SimRenderRow(params, y, au8Row.data());
        if (iBits == 24)
        {
            for (std::int64_t x = 0; x < params.m_i64Width; x++)
            {
                pu8Dest[3 * x] = au8Row[3 * x + 2];
                pu8Dest[3 * x + 1] = au8Row[3 * x + 1];
                pu8Dest[3 * x + 2] = au8Row[3 * x];
            }
        }
        else
        {
            std::memcpy(pu8Dest, au8Row.data(), SimRowBytes(params));
        }
    }
    return true;
}

bool SimBuildBmpFile(const SimImageParams& a_params, std::vector<unsigned char>& a_au8)
{
    a_au8.clear();
    std::vector<unsigned char> au8Dib;
    if (!SimBuildDib(a_params, au8Dib))
    {
        return false;
    }
    std::uint32_t u32Palette = 0;
    std::memcpy(&u32Palette, &au8Dib[32], 4);
    a_au8.assign(14, 0);
    a_au8[0] = 'B';
    a_au8[1] = 'M';
    Put32(a_au8, 2, static_cast<std::uint32_t>(14 + au8Dib.size()));
    Put32(a_au8, 10, 14 + 40 + 4 * u32Palette);
    a_au8.insert(a_au8.end(), au8Dib.begin(), au8Dib.end());
    return true;
}

bool SimBuildTiff(const SimImageParams& a_params, std::vector<unsigned char>& a_au8)
{
    a_au8.clear();
    int iSamples = SamplesPerPixel(a_params);
    int iBitsPerSample = SimBitsPerSample(a_params);
    std::size_t uRow = SimRowBytes(a_params);
    // Offsets and counts of a TIFF file are 32-bit: it stays below 4 GiB
    // (the directory and its values take less than 4 KiB).
    if (a_params.m_i64Width < 1 || a_params.m_i64Height < 1 || a_params.m_i64Width > 0xFFFFFFFFll ||
        uRow > (0xFFFFFFFFull - 4096) / static_cast<std::size_t>(a_params.m_i64Height))
    {
        return false;
    }
    std::size_t uImage = uRow * static_cast<std::size_t>(a_params.m_i64Height);
    // Header, one directory of 12 entries, then the extra values, then the strip.
    const std::uint16_t u16Entries = 12;
    std::size_t uDir = 8;
    std::size_t uExtra = uDir + 2 + 12 * u16Entries + 4;
    std::size_t uBits = uExtra;              // 3 x SHORT for colour
    std::size_t uXRes = uBits + 8;
    std::size_t uYRes = uXRes + 8;
    std::size_t uData = uYRes + 8;
    a_au8.assign(uData + uImage, 0);
    PutTiffOrder(a_au8);
    Put16(a_au8, 2, 42);
    Put32(a_au8, 4, static_cast<std::uint32_t>(uDir));
    Put16(a_au8, uDir, u16Entries);
    std::size_t uEntry = uDir + 2;
    auto entry = [&](std::uint16_t a_u16Tag, std::uint16_t a_u16Type, std::uint32_t a_u32Count, std::uint32_t a_u32Value) {
        Put16(a_au8, uEntry, a_u16Tag);
        Put16(a_au8, uEntry + 2, a_u16Type);
        Put32(a_au8, uEntry + 4, a_u32Count);
        if (a_u16Type == 3 && a_u32Count == 1)
        {
            Put16(a_au8, uEntry + 8, static_cast<std::uint16_t>(a_u32Value));
        }
        else
        {
            Put32(a_au8, uEntry + 8, a_u32Value);
        }
        uEntry += 12;
    };
    // Photometric: the samples are stored as delivered (0 black unless vanilla).
    std::uint16_t u16Photometric = (a_params.m_iPixelType == TWPT_RGB) ? 2 : (a_params.m_blVanilla ? 0 : 1);
    entry(256, 4, 1, static_cast<std::uint32_t>(a_params.m_i64Width));
    entry(257, 4, 1, static_cast<std::uint32_t>(a_params.m_i64Height));
    if (iSamples == 3)
    {
        entry(258, 3, 3, static_cast<std::uint32_t>(uBits));
        Put16(a_au8, uBits, static_cast<std::uint16_t>(iBitsPerSample));
        Put16(a_au8, uBits + 2, static_cast<std::uint16_t>(iBitsPerSample));
        Put16(a_au8, uBits + 4, static_cast<std::uint16_t>(iBitsPerSample));
    }
    else
    {
        entry(258, 3, 1, static_cast<std::uint32_t>(iBitsPerSample));
    }
    entry(259, 3, 1, 1);
    entry(262, 3, 1, u16Photometric);
    entry(273, 4, 1, static_cast<std::uint32_t>(uData));
    entry(277, 3, 1, static_cast<std::uint32_t>(iSamples));
    entry(278, 4, 1, static_cast<std::uint32_t>(a_params.m_i64Height));
    entry(279, 4, 1, static_cast<std::uint32_t>(uImage));
    entry(282, 5, 1, static_cast<std::uint32_t>(uXRes));
    entry(283, 5, 1, static_cast<std::uint32_t>(uYRes));
    entry(296, 3, 1, 2);
    Put32(a_au8, uEntry, 0);   // no next directory
    Put32(a_au8, uXRes, static_cast<std::uint32_t>(std::lround(a_params.m_dXRes * 100)));
    Put32(a_au8, uXRes + 4, 100);
    Put32(a_au8, uYRes, static_cast<std::uint32_t>(std::lround(a_params.m_dYRes * 100)));
    Put32(a_au8, uYRes + 4, 100);
    for (std::int64_t y = 0; y < a_params.m_i64Height; y++)
    {
        SimRenderRow(a_params, y, &a_au8[uData + uRow * static_cast<std::size_t>(y)]);
    }
    return true;
}

namespace
{
struct JpegError
{
    jpeg_error_mgr m_mgr;
    std::jmp_buf   m_jmpbuf;
};

void JpegErrorExit(j_common_ptr a_pcinfo)
{
    JpegError* perror = reinterpret_cast<JpegError*>(a_pcinfo->err);
    std::longjmp(perror->m_jmpbuf, 1);
}

void JpegOutputMessage(j_common_ptr)
{
    // The simulator reports failures through its return codes only.
}
}

namespace
{
// The compression itself; everything it needs exists before setjmp, so a
// longjmp skips no destructor and clobbers no local of the caller.
bool CompressJpeg(const SimImageParams& a_params, int a_iComponents, unsigned char* a_pu8Raw, unsigned char* a_pu8Line,
                  unsigned char** a_ppu8Out, unsigned long* a_pulOut)
{
    jpeg_compress_struct cinfo;
    JpegError error;
    std::memset(&cinfo, 0, sizeof(cinfo));
    cinfo.err = jpeg_std_error(&error.m_mgr);
    error.m_mgr.error_exit = JpegErrorExit;
    error.m_mgr.output_message = JpegOutputMessage;
    if (setjmp(error.m_jmpbuf) != 0)
    {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, a_ppu8Out, a_pulOut);
    cinfo.image_width = static_cast<JDIMENSION>(a_params.m_i64Width);
    cinfo.image_height = static_cast<JDIMENSION>(a_params.m_i64Height);
    cinfo.input_components = a_iComponents;
    cinfo.in_color_space = (a_iComponents == 3) ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    int iQuality = (a_params.m_iJpegQuality >= 1 && a_params.m_iJpegQuality <= 100) ? a_params.m_iJpegQuality : 75;
    jpeg_set_quality(&cinfo, iQuality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;   // dots per inch
    cinfo.X_density = static_cast<UINT16>(std::lround(a_params.m_dXRes));
    cinfo.Y_density = static_cast<UINT16>(std::lround(a_params.m_dYRes));
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        SimRenderRow(a_params, cinfo.next_scanline, a_pu8Raw);
        if (a_params.m_iPixelType == TWPT_BW)
        {
            // Black and white goes into the JPEG as 8-bit gray, black 0
            // (the bit 0 of chocolate).
            for (std::int64_t x = 0; x < a_params.m_i64Width; x++)
            {
                bool blBit = ((a_pu8Raw[x / 8] >> (7 - x % 8)) & 1) != 0;
                a_pu8Line[x] = blBit ? 255 : 0;
            }
        }
        else
        {
            std::memcpy(a_pu8Line, a_pu8Raw, static_cast<std::size_t>(a_params.m_i64Width) * a_iComponents);
        }
        JSAMPROW row = a_pu8Line;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}
}

bool SimBuildJpeg(const SimImageParams& a_params, std::vector<unsigned char>& a_au8)
{
    a_au8.clear();
    if (a_params.m_i64Width <= 0 || a_params.m_i64Height <= 0 || a_params.m_i64Width > 65500 || a_params.m_i64Height > 65500 ||
        SimBitsPerSample(a_params) == 16)
    {
        return false;
    }
    // JFIF samples are luminance, 0 black, whatever the flavour.
    SimImageParams params = a_params;
    params.m_blVanilla = false;
    int iComponents = SamplesPerPixel(params);
    std::vector<unsigned char> au8Raw(SimRowBytes(params) + 1);
    std::vector<unsigned char> au8Line(static_cast<std::size_t>(params.m_i64Width) * iComponents);
    unsigned char* pu8Out = nullptr;
    unsigned long ulOut = 0;
    bool blDone = CompressJpeg(params, iComponents, au8Raw.data(), au8Line.data(), &pu8Out, &ulOut);
    if (blDone && pu8Out != nullptr)
    {
        a_au8.assign(pu8Out, pu8Out + ulOut);
    }
    std::free(pu8Out);
    return blDone && !a_au8.empty();
}

bool SimBuildFile(const SimImageParams& a_params, TW_UINT16 a_u16Format, std::vector<unsigned char>& a_au8)
{
    switch (a_u16Format)
    {
        case TWFF_TIFF:
            return SimBuildTiff(a_params, a_au8);
        case TWFF_BMP:
            return SimBuildBmpFile(a_params, a_au8);
        case TWFF_JFIF:
            return SimBuildJpeg(a_params, a_au8);
        default:
            return false;
    }
}
