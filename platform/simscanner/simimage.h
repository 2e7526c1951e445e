// simimage.h
//
// The synthetic pages of the simulated scanner and the formats it delivers
// them in. Every pixel is computed from its position and the page number, so
// a test can check any byte it receives:
//
//   gray  (8 bits)   v(x, y, p) = (x + 2y + 37p) mod 256
//   colour (24 bits) R = (x + 37p) mod 256, G = (2y + 11p) mod 256, B = (x + y + 101p) mod 256
//   black and white  black when ((x / 8) + (y / 8) + p) is odd, else white
//
// With 16 bits a sample (ICAP_BITDEPTH 16 for gray, 48 for colour) each
// sample is 256 times its 8-bit value plus (3x + y + 59p + 85c) mod 256,
// c the sample's index (0 for gray; 0, 1, 2 for R, G, B), in the byte order
// of this machine.
//
// x and y count pixels from the top-left corner of the image, p is the
// page number (TW_IMAGELAYOUT.PageNumber, 1 for the first image after open).
// The values above are for ICAP_PIXELFLAVOR TWPF_CHOCOLATE (0 is black);
// with TWPF_VANILLA gray values are 255 - v (65535 - v with 16 bits) and
// black-and-white bits are inverted. Colour ignores the pixel flavour, and so
// do a bitmap (its palette gives 0 black) and JFIF (its samples are
// luminance): they hold the page as it looks. Group 4 codes take the sense
// of ICAP_PIXELFLAVORCODES (TWPF_CHOCOLATE, the standard's default, when a
// source does not offer it): the runs of 0 bits, the ones coded as white
// runs, are the darkest pixels under chocolate and the lightest under
// vanilla.

#ifndef DRAVO_SIMIMAGE_H
#define DRAVO_SIMIMAGE_H

#include "simdefs.h"

#include <cstdint>
#include <string>
#include <vector>

struct SimImageParams
{
    int           m_iPixelType = TWPT_BW;
    int           m_iBitDepth = 1;          // bits a pixel: 1, 8, 16, 24 or 48
    double        m_dXRes = 100.0;
    double        m_dYRes = 100.0;
    std::int64_t  m_i64Width = 0;       // pixels
    std::int64_t  m_i64Height = 0;
    bool          m_blVanilla = false;
    bool          m_blVanillaCodes = false;   // ICAP_PIXELFLAVORCODES of Group 4 codes
    TW_UINT16     m_u16Compression = TWCP_NONE;   // of memory transfers
    int           m_iJpegQuality = 75;
    std::uint32_t m_u32Page = 1;
    std::uint32_t m_u32Document = 1;
    std::uint32_t m_u32Frame = 1;
    int           m_iSide = TWCS_TOP;    // TWCS_TOP front, TWCS_BOTTOM back
    double        m_adFrame[4] = {0, 0, 0, 0};   // inches
    std::string   m_szCamera;
};

// Bits of one sample: 1, 8 or 16.
int SimBitsPerSample(const SimImageParams& a_params);

// Bytes of one row of raw samples (no padding).
std::size_t SimRowBytes(const SimImageParams& a_params);

// The raw samples of row y, top-down, chunky, pixel flavour applied: the
// layout of uncompressed memory transfers.
void SimRenderRow(const SimImageParams& a_params, std::int64_t a_i64Y, unsigned char* a_pu8Row);

// Bytes of a row of a_i64Columns pixels of a memory block, padded to a
// multiple of a_iAlign bytes.
std::size_t SimMemoryRowBytes(const SimImageParams& a_params, std::int64_t a_i64Columns, int a_iAlign);

// The samples of a_i64Columns pixels of row y from column x, from the first
// bit of a_pu8Out on (the bits after them 0); a_au8Row: room for a row.
void SimRenderColumns(const SimImageParams& a_params, std::int64_t a_i64Y, std::int64_t a_i64X, std::int64_t a_i64Columns,
                      std::vector<unsigned char>& a_au8Row, unsigned char* a_pu8Out);

// The samples of one pixel as the formulas above give them (for tests and
// tools); a_au8 receives 1 or 3 values (of 8 bits), or the bit (0 or 1) for
// black and white.
void SimPixel(const SimImageParams& a_params, std::int64_t a_i64X, std::int64_t a_i64Y, unsigned char a_au8[3]);

// A device-independent bitmap: BITMAPINFOHEADER, palette for 1 and 8 bits,
// bottom-up rows padded to 4 bytes, colour in B, G, R order. False (and
// nothing built) for an image the format's 32-bit sizes cannot describe; so
// for the files below. A bitmap and JFIF have no 16-bit samples: false.
bool SimBuildDib(const SimImageParams& a_params, std::vector<unsigned char>& a_au8);

// Files: BMP (file header and the bitmap), baseline uncompressed TIFF, JFIF.
bool SimBuildBmpFile(const SimImageParams& a_params, std::vector<unsigned char>& a_au8);
bool SimBuildTiff(const SimImageParams& a_params, std::vector<unsigned char>& a_au8);
bool SimBuildJpeg(const SimImageParams& a_params, std::vector<unsigned char>& a_au8);
// Group 4 data of a black-and-white page, codes in their own sense (simg4.cpp).
bool SimBuildG4(const SimImageParams& a_params, std::vector<unsigned char>& a_au8);

// The file of a TWFF_ format (TIFF, BMP or JFIF); false for another format.
bool SimBuildFile(const SimImageParams& a_params, TW_UINT16 a_u16Format, std::vector<unsigned char>& a_au8);

#endif // DRAVO_SIMIMAGE_H
