// simg4.cpp
//
// Group 4 (ITU-T T.6) coding of a black-and-white page, for memory transfers
// with ICAP_COMPRESSION TWCP_GROUP4: each row is coded against the row
// above it (an imaginary white row for the first), white runs first, and
// the data ends with the end-of-facsimile-block mark.  White runs are runs
// of 0 bits, which ICAP_PIXELFLAVORCODES gives their shade (simimage.h).

#include "simimage.h"

#include <cstdint>
#include <vector>

namespace
{

struct SimCode
{
    std::uint16_t m_u16Bits;
    std::uint8_t  m_u8Length;
};

// Codes written as text for clarity; converted once.
const char* const s_aszWhiteTerm[64] = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111", "01000", "001000",
    "000011", "110100", "110101", "101010", "101011", "0100111", "0001100", "0001000", "0010111", "0000011", "0000100",
    "0101000", "0101011", "0010011", "0100100", "0011000", "00000010", "00000011", "00011010", "00011011", "00010010",
    "00010011", "00010100", "00010101", "00010110", "00010111", "00101000", "00101001", "00101010", "00101011",
    "00101100", "00101101", "00000100", "00000101", "00001010", "00001011", "01010010", "01010011", "01010100",
    "01010101", "00100100", "00100101", "01011000", "01011001", "01011010", "01011011", "01001010", "01001011",
    "00110010", "00110011", "00110100"};
const char* const s_aszBlackTerm[64] = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100", "0000101",
    "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000", "0000001000", "00001100111",
    "00001101000", "00001101100", "00000110111", "00000101000", "00000010111", "00000011000", "000011001010",
    "000011001011", "000011001100", "000011001101", "000001101000", "000001101001", "000001101010", "000001101011",
    "000011010010", "000011010011", "000011010100", "000011010101", "000011010110", "000011010111", "000001101100",
    "000001101101", "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111", "000000111000",
    "000000100111", "000000101000", "000001011000", "000001011001", "000000101011", "000000101100", "000001011010",
    "000001100110", "000001100111"};
// Make-up codes for 64 to 1728.
const char* const s_aszWhiteMakeup[27] = {
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101", "01101000", "01100111",
    "011001100", "011001101", "011010010", "011010011", "011010100", "011010101", "011010110", "011010111",
    "011011000", "011011001", "011011010", "011011011", "010011000", "010011001", "010011010", "011000",
    "010011011"};
const char* const s_aszBlackMakeup[27] = {
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100", "000000110101",
    "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100", "0000001001101",
    "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110", "0000001110111",
    "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010", "0000001011011",
    "0000001100100", "0000001100101"};
// Make-up codes for 1792 to 2560, the same for both colours.
const char* const s_aszExtMakeup[13] = {"00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
                                        "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
                                        "000000011101", "000000011110", "000000011111"};

class CBitWriter
{
public:
    explicit CBitWriter(std::vector<unsigned char>& a_au8) : m_au8(a_au8) {}
    void Put(const char* a_szBits)
    {
        for (const char* psz = a_szBits; *psz; psz++)
        {
            m_u8 = static_cast<unsigned char>((m_u8 << 1) | (*psz == '1' ? 1 : 0));
            if (++m_iBits == 8)
            {
                m_au8.push_back(m_u8);
                m_u8 = 0;
                m_iBits = 0;
            }
        }
    }
    void Flush()
    {
        if (m_iBits > 0)
        {
            m_au8.push_back(static_cast<unsigned char>(m_u8 << (8 - m_iBits)));
            m_u8 = 0;
            m_iBits = 0;
        }
    }

private:
    std::vector<unsigned char>& m_au8;
    unsigned char m_u8 = 0;
    int m_iBits = 0;
};

void PutRun(CBitWriter& a_writer, std::int64_t a_i64Run, bool a_blBlack)
{
    const std::size_t uRun = (a_i64Run > 0) ? static_cast<std::size_t>(a_i64Run) : 0;
    for (std::size_t uLong = uRun / 2560; uLong > 0; uLong--)
    {
        a_writer.Put(s_aszExtMakeup[12]);
    }
    const std::size_t uLeft = uRun % 2560;
    const std::size_t uMakeup = uLeft / 64;
    if (uMakeup >= 28)
    {
        a_writer.Put(s_aszExtMakeup[uMakeup - 28]);   // 1792 and up
    }
    else if (uMakeup > 0)
    {
        a_writer.Put((a_blBlack ? s_aszBlackMakeup : s_aszWhiteMakeup)[uMakeup - 1]);
    }
    a_writer.Put((a_blBlack ? s_aszBlackTerm : s_aszWhiteTerm)[uLeft % 64]);
}

// The changing elements of a row (positions whose colour differs from the
// pixel before; the pixel before the row is white), then the width twice.
void Changes(const std::vector<bool>& a_ablBlack, std::vector<std::int64_t>& a_ai64)
{
    a_ai64.clear();
    bool blColour = false;
    std::int64_t i64Width = static_cast<std::int64_t>(a_ablBlack.size());
    for (std::int64_t x = 0; x < i64Width; x++)
    {
        if (a_ablBlack[static_cast<std::size_t>(x)] != blColour)
        {
            a_ai64.push_back(x);
            blColour = !blColour;
        }
    }
    a_ai64.push_back(i64Width);
    a_ai64.push_back(i64Width);
}

} // namespace

bool SimBuildG4(const SimImageParams& a_params, std::vector<unsigned char>& a_au8)
{
    a_au8.clear();
    if (a_params.m_iPixelType != TWPT_BW || a_params.m_i64Width <= 0 || a_params.m_i64Height <= 0)
    {
        return false;
    }
    // The bits of the rendering in the codes' sense: runs of 1 bits are
    // coded as black runs.
    SimImageParams params = a_params;
    params.m_blVanilla = a_params.m_blVanillaCodes;
    std::int64_t i64Width = params.m_i64Width;
    std::vector<unsigned char> au8Row(SimRowBytes(params));
    std::vector<bool> ablBlack(static_cast<std::size_t>(i64Width));
    std::vector<std::int64_t> ai64Ref;
    std::vector<std::int64_t> ai64Cur;
    Changes(ablBlack, ai64Ref);   // the imaginary white row
    CBitWriter writer(a_au8);
    for (std::int64_t y = 0; y < params.m_i64Height; y++)
    {
        SimRenderRow(params, y, au8Row.data());
        for (std::int64_t x = 0; x < i64Width; x++)
        {
            ablBlack[static_cast<std::size_t>(x)] = ((au8Row[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1) != 0;
        }
        Changes(ablBlack, ai64Cur);
        std::int64_t a0 = -1;
        bool blColour = false;   // the colour of a0: white
        std::size_t uCur = 0;    // the first coding-line change beyond a0
        std::size_t uRef = 0;
        while (a0 < i64Width)
        {
            while (ai64Cur[uCur] <= a0 && ai64Cur[uCur] < i64Width)
            {
                uCur++;
            }
            std::int64_t a1 = ai64Cur[uCur];
            std::int64_t a2 = (a1 < i64Width) ? ai64Cur[uCur + 1] : i64Width;
            // b1: the first reference change beyond a0 to the colour opposite
            // a0's (changes at even indexes turn black).
            while (ai64Ref[uRef] <= a0 && ai64Ref[uRef] < i64Width)
            {
                uRef++;
            }
            std::size_t uB1 = uRef;
            if (ai64Ref[uB1] < i64Width && ((uB1 % 2 == 0) == blColour))
            {
                uB1++;
            }
            std::int64_t b1 = ai64Ref[uB1];
            std::int64_t b2 = (b1 < i64Width) ? ai64Ref[uB1 + 1] : i64Width;
            if (b2 < a1)
            {
                writer.Put("0001");   // pass
                a0 = b2;
            }
            else if (a1 - b1 >= -3 && a1 - b1 <= 3)
            {
                static const char* const s_aszVertical[7] = {"0000010", "000010", "010", "1", "011", "000011", "0000011"};
                writer.Put(s_aszVertical[a1 - b1 + 3]);
                a0 = a1;
                blColour = !blColour;
            }
            else
            {
                writer.Put("001");    // horizontal: two runs
                PutRun(writer, a1 - (a0 < 0 ? 0 : a0), blColour);
                PutRun(writer, a2 - a1, !blColour);
                a0 = a2;
            }
        }
        ai64Ref.swap(ai64Cur);
    }
    writer.Put("000000000001000000000001");
    writer.Flush();
    return true;
}
