// datimagememxfer.cpp
// DG_IMAGE / DAT_IMAGEMEMXFER, and the block transfer it shares with the
// memory-file transfer: one block per call into the image's file, which
// becomes a TIFF or JPEG file at the end of the image.  Uncompressed rows
// are placed where their block's fields say (their padding dropped, tiles
// at their offsets); other data is appended as it comes.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

namespace
{

// The buffer each block is received in.
const TW_UINT32 s_u32BlockLength = 1048576;

typedef unsigned long long ull;

// Puts a_szValue between the two tags of a report; false when they are
// missing or it does not fit.
bool ReportSetContent(char *a_szReport, size_t a_u64Size, const char *a_szOpen, const char *a_szClose, const char *a_szValue)
{
    char *pszStart = strstr(a_szReport, a_szOpen);
    char *pszEnd = pszStart ? strstr(pszStart, a_szClose) : nullptr;
    if (!pszEnd)
        return false;
    pszStart += strlen(a_szOpen);
    size_t u64Value = strlen(a_szValue), u64Tail = strlen(pszEnd);
    if (static_cast<size_t>(pszStart - a_szReport) + u64Value + u64Tail + 1 > a_u64Size)
        return false;
    memmove(pszStart + u64Value, pszEnd, u64Tail + 1);
    memcpy(pszStart, a_szValue, u64Value);
    return true;
}

} // namespace

TW_UINT16 CTwainImpl::DSDatImageMemXfer(const char *const *a_aszWords)
{
    return DatMemoryXfer(a_aszWords, false);
}

bool CTwainImpl::XferBlockFits(uint64_t a_u64Written, uint64_t a_u64Length)
{
    if (a_u64Written <= a_u64Length)
        return true;
    TWAINLOG("%s: BytesWritten %llu is past the %llu bytes of the buffer, the image is not written...", m_szImageFileName,
             static_cast<ull>(a_u64Written), static_cast<ull>(a_u64Length));
    return false;
}

uint64_t CTwainImpl::XferTooLarge(const TW_IMAGEMEMXFER &a_twmem) const
{
    const TwXferImage &twxferimage = m_twxferimage;
    // (rows the image information cannot describe are XferPlaceBlock's to say)
    if (twxferimage.i64Width < 1 || twxferimage.i64Width > (1LL << 40) || twxferimage.i32Bits < 1 || twxferimage.i32Bits > 64)
        return 0;
    uint64_t u64Row = (static_cast<uint64_t>(twxferimage.i64Width) * static_cast<uint64_t>(twxferimage.i32Bits) + 7) / 8;
    uint64_t u64Rows = twxferimage.i64Length >= 0 ? static_cast<uint64_t>(twxferimage.i64Length)
                                                  : static_cast<uint64_t>(a_twmem.YOffset) + a_twmem.Rows;
    uint64_t u64Bytes = 0;
    if (__builtin_mul_overflow(u64Rows, u64Row, &u64Bytes))
        u64Bytes = UINT64_MAX;
    bool blTooLarge = u64Bytes > OS_IMAGE_TIFFDATAMAX || static_cast<uint64_t>(twxferimage.i64Width) > 0xFFFFFFFFull ||
                      u64Rows > 0xFFFFFFFFull;
    return blTooLarge ? u64Bytes : 0;
}

bool CTwainImpl::XferPlaceBlock(const TW_IMAGEMEMXFER &a_twmem, uint8_t *a_pu8Block, uint64_t a_u64Length)
{
    const TwXferImage &twxferimage = m_twxferimage;
    const char *szName = m_szImageFileName;
    if (twxferimage.i64Width < 1 || twxferimage.i64Width > (1LL << 40) || twxferimage.i32Bits < 1 || twxferimage.i32Bits > 64)
    {
        TWAINLOG("%s: the image information gives rows of %lld pixels of %d bits, the image is not written...", szName,
                 static_cast<long long>(twxferimage.i64Width), static_cast<int>(twxferimage.i32Bits));
        return false;
    }
    uint64_t u64Bits = static_cast<uint64_t>(twxferimage.i32Bits);
    uint64_t u64Width = static_cast<uint64_t>(twxferimage.i64Width);
    uint64_t u64Row = (u64Width * u64Bits + 7) / 8;
    // Rows reach to the image's length, or, when the source does not know
    // it, as far as a file reaches.
    uint64_t u64Rows = static_cast<uint64_t>(INT64_MAX) / u64Row;
    bool blKnown = twxferimage.i64Length >= 0 && static_cast<uint64_t>(twxferimage.i64Length) <= u64Rows;
    if (blKnown)
        u64Rows = static_cast<uint64_t>(twxferimage.i64Length);
    uint64_t u64X = a_twmem.XOffset, u64Columns = a_twmem.Columns, u64Y = a_twmem.YOffset, u64Count = a_twmem.Rows;
    uint64_t u64PerRow = a_twmem.BytesPerRow, u64Written = a_twmem.BytesWritten;
    if (u64X > u64Width || u64Columns > u64Width - u64X)
    {
        TWAINLOG("%s: XOffset %llu and Columns %llu reach past the %llu pixels of a row, the image is not written...", szName,
                 static_cast<ull>(u64X), static_cast<ull>(u64Columns), static_cast<ull>(u64Width));
        return false;
    }
    if (u64Y > u64Rows || u64Count > u64Rows - u64Y)
    {
        TWAINLOG("%s: YOffset %llu and Rows %llu reach past the %llu rows of %s, the image is not written...", szName,
                 static_cast<ull>(u64Y), static_cast<ull>(u64Count), static_cast<ull>(u64Rows),
                 blKnown ? "the image" : "a file");
        return false;
    }
    uint64_t u64Packed = (u64Columns * u64Bits + 7) / 8;
    if (u64PerRow < u64Packed)
    {
        TWAINLOG("%s: BytesPerRow %llu is below the %llu bytes of %llu pixels, the image is not written...", szName,
                 static_cast<ull>(u64PerRow), static_cast<ull>(u64Packed), static_cast<ull>(u64Columns));
        return false;
    }
    if (!XferBlockFits(u64Written, a_u64Length))
        return false;
    // The last row may lack its padding.
    if (u64Count > 0 && u64Packed > 0 &&
        (u64Count - 1 > u64Written / u64PerRow || (u64Count - 1) * u64PerRow + u64Packed > u64Written))
    {
        TWAINLOG("%s: BytesWritten %llu is short of %llu rows of %llu bytes, the image is not written...", szName,
                 static_cast<ull>(u64Written), static_cast<ull>(u64Count), static_cast<ull>(u64PerRow));
        return false;
    }
    if (u64Count == 0 || u64Packed == 0)
        return true;

    TWAINLOG("Write: %llu bytes", static_cast<ull>(u64Count * u64Packed));
    m_twxferprogress.blPlaced = true;
    m_twxfercoverage.Add(u64X, u64Y, u64Columns, u64Count);
    if (u64Y + u64Count > static_cast<uint64_t>(m_twxferprogress.i64Rows))
        m_twxferprogress.i64Rows = static_cast<int64_t>(u64Y + u64Count);
    uint64_t u64BitX = u64X * u64Bits;
    uint64_t u64At = u64Y * u64Row + u64BitX / 8;
    uint64_t u64Done = 0;
    bool blWritten = true;
    if (u64X == 0 && u64Columns == u64Width)
    {
        // Whole rows: packed in place, written at once.
        if (u64PerRow != u64Row)
            for (uint64_t ii = 1; ii < u64Count; ii++)
                memmove(a_pu8Block + ii * u64Row, a_pu8Block + ii * u64PerRow, u64Row);
        blWritten = m_osfileXfer.SetFilePointer(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64At)) == OS_STS_OK &&
                    m_osfileXfer.Write(a_pu8Block, u64Count * u64Row, &u64Done) == OS_STS_OK;
    }
    else
    {
        // A tile: row by row.  Bits that do not start or end on a byte share
        // their bytes with the neighbouring tiles, so those are merged with
        // what the file holds.
        unsigned uShift = static_cast<unsigned>(u64BitX % 8);
        unsigned uTail = static_cast<unsigned>((uShift + u64Columns * u64Bits) % 8);
        bool blMerge = uShift != 0 || (uTail != 0 && u64X + u64Columns != u64Width);
        uint64_t u64Span = (uShift + u64Columns * u64Bits + 7) / 8;
        uint8_t *pu8Row = blMerge && g_posmem ? static_cast<uint8_t *>(g_posmem->Alloc(u64Span, __FILE__, __LINE__)) : nullptr;
        if (blMerge && !pu8Row)
        {
            OSLOG_ASSERT("OsMemAlloc failed...");
            blWritten = false;
        }
        uint8_t u8First = static_cast<uint8_t>(0xFF >> uShift);
        uint8_t u8Last = static_cast<uint8_t>(uTail ? 0xFF << (8 - uTail) : 0xFF);
        if (u64Span == 1)
            u8First = u8Last = static_cast<uint8_t>(u8First & u8Last);
        for (uint64_t ii = 0; ii < u64Count && blWritten; ii++)
        {
            const uint8_t *pu8Source = a_pu8Block + ii * u64PerRow;
            int64_t i64At = static_cast<int64_t>(u64At + ii * u64Row);
            if (blMerge)
            {
                uint64_t u64Read = 0;
                memset(pu8Row, 0, u64Span);
                blWritten = m_osfileXfer.SetFilePointer(OS_FILEPOINTER_BEGIN, i64At) == OS_STS_OK &&
                            m_osfileXfer.Read(pu8Row, u64Span, &u64Read) == OS_STS_OK;
                uint8_t u8Old0 = pu8Row[0], u8OldN = pu8Row[u64Span - 1];
                for (uint64_t jj = 0; jj < u64Span; jj++)
                {
                    unsigned uValue = (jj < u64Packed) ? pu8Source[jj] >> uShift : 0;
                    if (jj > 0 && uShift)
                        uValue |= static_cast<unsigned>(pu8Source[jj - 1] << (8 - uShift));
                    pu8Row[jj] = static_cast<uint8_t>(uValue);
                }
                pu8Row[0] = static_cast<uint8_t>((u8Old0 & ~u8First) | (pu8Row[0] & u8First));
                pu8Row[u64Span - 1] = static_cast<uint8_t>((u8OldN & ~u8Last) | (pu8Row[u64Span - 1] & u8Last));
            }
            blWritten = blWritten && m_osfileXfer.SetFilePointer(OS_FILEPOINTER_BEGIN, i64At) == OS_STS_OK &&
                        m_osfileXfer.Write(blMerge ? pu8Row : pu8Source, u64Span, &u64Done) == OS_STS_OK;
        }
        if (pu8Row)
            g_posmem->Free(pu8Row, __FILE__, __LINE__);
    }
    if (!blWritten)
        TWAINLOG("cannot write <%s>, the image is not written...", szName);
    return blWritten;
}

bool CTwainImpl::XferPlaceEnd()
{
    if (m_twxferprogress.u64TooLarge)
        return true;
    // Rows no block reached are blank: the file ends with the last row.
    uint64_t u64Row = (static_cast<uint64_t>(m_twxferimage.i64Width) * static_cast<uint64_t>(m_twxferimage.i32Bits) + 7) / 8;
    int64_t i64Rows = m_twxferimage.i64Length >= 0 ? m_twxferimage.i64Length : m_twxferprogress.i64Rows;
    if (i64Rows <= 0)
        return true;
    if (static_cast<uint64_t>(i64Rows) > static_cast<uint64_t>(INT64_MAX) / u64Row)
    {
        TWAINLOG("%s: %lld rows are more than a file holds, the image is not written...", m_szImageFileName,
                 static_cast<long long>(i64Rows));
        return false;
    }
    // Pixels no block of this file covered (a block lost, a tile or rows
    // left out) are blank: said.
    uint64_t u64Pixels = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(m_twxferimage.i64Width), static_cast<uint64_t>(i64Rows), &u64Pixels))
        u64Pixels = UINT64_MAX;
    if (m_twxfercoverage.Pixels() < u64Pixels)
        TWAINLOG("%s: the blocks covered %llu of the image's %llu pixels, the rest is blank...", m_szImageFileName,
                 static_cast<ull>(m_twxfercoverage.Pixels()), static_cast<ull>(u64Pixels));
    uint64_t u64End = static_cast<uint64_t>(i64Rows) * u64Row;
    uint64_t u64Size = 0;
    uint64_t u64Done = 0;
    uint8_t u8Zero = 0;
    if (m_osfileXfer.Size(&u64Size) == OS_STS_OK && u64Size >= u64End)
        return true;
    if (m_osfileXfer.SetFilePointer(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64End - 1)) == OS_STS_OK &&
        m_osfileXfer.Write(&u8Zero, 1, &u64Done) == OS_STS_OK)
        return true;
    TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
    return false;
}

TW_UINT16 CTwainImpl::DatMemoryXfer(const char *const *a_aszWords, bool a_blFile)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (!DatWordMissing(szWord) && !DatWord(szWord, "msg_get", "get"))
        return DatUnrecognized(szWord);
    const char *szMode = szWord ? a_aszWords[2] : nullptr;
    bool blMemoryLength = szMode && !strcasecmp(szMode, "usememorylength");

    // The file of this image, named by the image report.  The "Close:"
    // line of the image's last block names what "Open:" named.
    char szOpen[sizeof(m_szImageFileName)] = "";
    if (m_szImageReport[0])
    {
        char szName[512];
        if (COsXml::GetContent(m_szImageReport, "<imagefilename>", "</imagefilename>", szName, sizeof(szName), false))
            szName[0] = 0;
        // A memory file named without an extension gets the one of what it
        // holds when it is complete (".tif" until then).
        bool blNameByContent = false;
        if (a_blFile)
        {
            if (!strchr(szName, '.'))
                blNameByContent = COsString::SStrCat(szName, sizeof(szName), ".tif") != nullptr;
            if (szName[0] && szName[1] == ':')
                memmove(szName, szName + 2, strlen(szName + 2) + 1);
        }
        TWAINLOG("Open: %s", szName);
        COsString::SStrCpy(szOpen, sizeof(szOpen), szName);
        // The image is written beside its name and takes the name when it
        // is complete; a finished image is never opened again.
        if (!m_osfileXfer.IsOpen() && !m_blXferFinished)
        {
            // What the blocks did starts again with each file.
            COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), szName);
            memset(&m_twxferprogress, 0, sizeof(m_twxferprogress));
            m_twxferprogress.blNameByContent = blNameByContent;
            m_twxfercoverage.Clear();
            if (!szName[0] || m_osfileXfer.OpenTemp(szName) != OS_STS_OK)
            {
                TWAINLOG("cannot create <%s>, the image is not written...", szName);
                m_szImageReport[0] = 0;
            }
        }
    }

    // The block: a plain buffer the application owns, made once and kept
    // for the blocks to come (no memory is cleared or mapped again for each).
    if (!m_pu8XferBlock && g_posmem)
        m_pu8XferBlock = static_cast<uint8_t *>(g_posmem->Alloc(s_u32BlockLength, __FILE__, __LINE__));
    if (!m_pu8XferBlock)
    {
        OSLOG_ASSERT("OsMemAlloc failed...");
        return TWRC_FAILURE;
    }
    uint8_t *pu8Block = m_pu8XferBlock;
    memset(pu8Block + s_u32BlockLength - 4, 0, 4);
    TW_IMAGEMEMXFER twmem;
    memset(&twmem, 0, sizeof(twmem));
    twmem.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    twmem.Memory.Length = s_u32BlockLength;
    twmem.Memory.TheMem = pu8Block;
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, a_blFile ? DAT_IMAGEMEMFILEXFER : DAT_IMAGEMEMXFER, MSG_GET, &twmem, false, false);
    // Uncompressed rows are placed by their block's fields; other data is
    // appended as it comes; both never more than the buffer holds.  An
    // image keeps the kind of its first block: a block of the other kind
    // is appended (it could overwrite what came), and the image is kept as
    // raw data.
    bool blPlace = !a_blFile && twmem.Compression == TWCP_NONE;
    bool blMixed = m_osfileXfer.IsOpen() && (blPlace ? m_twxferprogress.blAppended : m_twxferprogress.blPlaced);
    blPlace = blPlace && !blMixed;
    uint64_t u64Room = s_u32BlockLength;
    uint32_t u32ImageSize = 0;
    bool blSizeContradicts = false;
    if (blMemoryLength && twrc == TWRC_XFERDONE)
    {
        // The image's size travels in the buffer's last four bytes.
        uint32_t u32Size = static_cast<uint32_t>(pu8Block[u64Room - 4]) | (static_cast<uint32_t>(pu8Block[u64Room - 3]) << 8) |
                           (static_cast<uint32_t>(pu8Block[u64Room - 2]) << 16) |
                           (static_cast<uint32_t>(pu8Block[u64Room - 1]) << 24);
        TWAINLOG("  ImageSize..........%u offset=%u", u32Size, static_cast<unsigned>(twmem.Memory.Length - 4));
        u64Room -= 4;
        // The size counts the bytes of all the image's blocks: none, fewer
        // than came before, or more than this block holds contradicts them.
        u32ImageSize = u32Size;
        blSizeContradicts = u32Size == 0 || u32Size < m_u64XferReceived || u32Size - m_u64XferReceived > u64Room;
        twmem.BytesWritten = blSizeContradicts ? 0 : static_cast<TW_UINT32>(u32Size - m_u64XferReceived);
    }
    TWAINLOG("  BytesPerRow........%s", TwainInt(twmem.BytesPerRow).sz);
    TWAINLOG("  BytesWritten.......%llu", static_cast<ull>(twmem.BytesWritten));
    TWAINLOG("  Columns............%s", TwainInt(twmem.Columns).sz);
    TWAINLOG("  Compression........%d", twmem.Compression);
    TWAINLOG("  Memory.Flags.......0x%llx", static_cast<ull>(twmem.Memory.Flags));
    TWAINLOG("  Memory.Length......%s", TwainInt(twmem.Memory.Length).sz);
    TWAINLOG("  Memory.TheMem......%p", twmem.Memory.TheMem);
    TWAINLOG("  Rows...............%s", TwainInt(twmem.Rows).sz);
    TWAINLOG("  XOffset............%s", TwainInt(twmem.XOffset).sz);
    TWAINLOG("  YOffset............%s", TwainInt(twmem.YOffset).sz);
    DatPrintStatus(twrc);

    // A refused block writes nothing; the image's file stays open for the
    // blocks to come (a source may send the block again).  Placed rows say
    // at the image's end what no block covered; data appended as it came
    // cannot tell a block sent again from one lost, so it is kept as raw
    // data.  Ending or resetting the transfer drops the file.
    if (twrc != TWRC_SUCCESS && twrc != TWRC_XFERDONE)
    {
        // Before any block came nothing is lost: the file goes quietly (a
        // wrong transfer mechanism, say) and the next block starts it again.
        if (!m_twxferprogress.blPlaced && !m_twxferprogress.blAppended)
            XferFileDiscard();
        else if (m_osfileXfer.IsOpen())
            m_twxferprogress.blRefused = true;
        return twrc;
    }
    SetTwState(ETWSTATE_XFERRING);
    // The bytes received are counted, padding included: an image's size in
    // the buffer counts them so.
    uint64_t u64Before = m_u64XferReceived;
    m_u64XferReceived += twmem.BytesWritten;
    if (m_szImageReport[0] && m_blXferFinished && twmem.BytesWritten != 0)
        TWAINLOG("<%s> holds a finished image, this block is not written...", m_szImageFileName);
    // The last block of an image with data closes it, said whether or not
    // the image is written.
    bool blClose = twrc == TWRC_XFERDONE && m_szImageReport[0] && twmem.BytesWritten != 0;
    if (m_szImageReport[0] && m_osfileXfer.IsOpen())
    {
        bool blWritten = !blSizeContradicts;
        if (!blPlace && twrc == TWRC_SUCCESS && twmem.BytesWritten == 0)
            m_twxferprogress.blEmpty = true;
        // A block that says another compression than the image's makes the
        // image raw data, whatever the other blocks say.
        if (!a_blFile && twmem.Compression != m_twxferimage.u16Compression && !m_twxferprogress.blContradicts)
        {
            m_twxferprogress.blContradicts = true;
            m_twxferprogress.u16Compression = twmem.Compression;
        }
        // Rows of an image no TIFF holds are not placed (its file would be
        // as large as the image): from the first block that shows it, every
        // block is kept as it came, after its fields.
        if (blPlace && twmem.BytesWritten != 0 && !m_twxferprogress.u64TooLarge)
            m_twxferprogress.u64TooLarge = XferTooLarge(twmem);
        if (blSizeContradicts)
        {
            if (u32ImageSize == 0)
                TWAINLOG("%s: ImageSize 0 gives no size, the image is not written...", m_szImageFileName);
            else if (u32ImageSize < u64Before)
                TWAINLOG("%s: ImageSize %u is below the %llu bytes already received, the image is not written...",
                         m_szImageFileName, static_cast<unsigned>(u32ImageSize), static_cast<ull>(u64Before));
            else
                TWAINLOG("%s: ImageSize %u is past the %llu bytes already received and the %llu bytes of the buffer, the "
                         "image is not written...",
                         m_szImageFileName, static_cast<unsigned>(u32ImageSize), static_cast<ull>(u64Before),
                         static_cast<ull>(u64Room));
        }
        else if (twmem.BytesWritten != 0 && blPlace && !m_twxferprogress.u64TooLarge)
        {
            // A block that contradicts itself or the image spoils the image.
            blWritten = XferPlaceBlock(twmem, pu8Block, u64Room);
        }
        else if (twmem.BytesWritten != 0 && !XferBlockFits(twmem.BytesWritten, u64Room))
            blWritten = false;
        else if (twmem.BytesWritten != 0)
        {
            uint64_t u64Written = 0;
            m_twxferprogress.blAppended = true;
            m_twxferprogress.blMixed = m_twxferprogress.blMixed || blMixed;
            TWAINLOG("Write: %u bytes", static_cast<unsigned>(twmem.BytesWritten));
            for (uint32_t ii = 0; m_twxferprogress.u32Head < sizeof(m_twxferprogress.au8Head) && ii < twmem.BytesWritten; ii++)
                m_twxferprogress.au8Head[m_twxferprogress.u32Head++] = pu8Block[ii];
            // The fields: seven 64-bit little-endian numbers.
            uint8_t au8Fields[7 * 8];
            uint64_t au64Field[7] = {twmem.Compression, twmem.BytesPerRow, twmem.Columns, twmem.Rows,
                                     twmem.XOffset,     twmem.YOffset,     twmem.BytesWritten};
            for (size_t ii = 0; ii < sizeof(au8Fields); ii++)
                au8Fields[ii] = static_cast<uint8_t>(au64Field[ii / 8] >> (8 * (ii % 8)));
            blWritten = m_osfileXfer.SetFilePointer(OS_FILEPOINTER_END, 0) == OS_STS_OK &&
                        (!m_twxferprogress.u64TooLarge ||
                         (m_osfileXfer.Write(au8Fields, sizeof(au8Fields), &u64Written) == OS_STS_OK &&
                          u64Written == sizeof(au8Fields))) &&
                        m_osfileXfer.Write(pu8Block, twmem.BytesWritten, &u64Written) == OS_STS_OK &&
                        u64Written == twmem.BytesWritten;
            if (!blWritten)
                TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
        }
        if (blWritten && twrc == TWRC_XFERDONE && m_twxferprogress.blPlaced && !m_twxferprogress.blMixed)
            blWritten = XferPlaceEnd();
        if (!blWritten)
        {
            XferFileDiscard();
            m_szImageReport[0] = 0;
        }
        if (twrc == TWRC_XFERDONE && m_osfileXfer.IsOpen())
        {
            XferFinish(a_blFile, szOpen);
            blClose = false;
        }
    }
    if (blClose)
        TWAINLOG("Close: %s", szOpen);
    return twrc;
}

void CTwainImpl::XferFinish(bool a_blFile, const char *a_szOpen)
{
    uint64_t u64Size = 0;
    m_osfileXfer.Size(&u64Size);
    m_u64XferReceived = 0;
    m_blXferFinished = true;
    m_twxfercoverage.Clear();
    // A device (a name with a dot can be one) was written to directly:
    // nothing to measure, name or convert.
    struct stat statImage;
    bool blDevice = stat(m_szImageFileName, &statImage) == 0 && !S_ISREG(statImage.st_mode);
    if (u64Size == 0 && !blDevice)
    {
        TWAINLOG("Close: %s", a_szOpen);
        TWAINLOG("%s: the blocks %s, the image is not written...", m_szImageFileName,
                 a_blFile ? "held no data" : "placed no pixel");
        XferFileDiscard();
        return;
    }
    // The end of the image: the transfer file takes its name.  A memory
    // file keeps the name it was given, or takes the extension of what it
    // holds; the raw data of a memory transfer is NAME.raw until it becomes
    // the image file.  A name that claims TIFF, JPEG or BMP holds nothing
    // else: other data is raw data, and its name says so.
    char szImage[sizeof(m_szImageFileName)];
    char szName[sizeof(m_szImageFileName)];
    COsString::SStrCpy(szImage, sizeof(szImage), m_szImageFileName);
    COsString::SStrCpy(szName, sizeof(szName), szImage);
    char szWhy[256] = "";
    EOSIMAGEKIND eosimagekind = COsImage::Sniff(m_twxferprogress.au8Head, m_twxferprogress.u32Head);
    OsImageExtent osimageextent;
    bool blNamed = true;
    if (blDevice)
    {
        // (written to as it is)
    }
    else if (m_twxferprogress.u64TooLarge)
    {
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "the image's %llu bytes of rows are more than a TIFF holds, %s",
                 static_cast<ull>(m_twxferprogress.u64TooLarge),
                 m_twxferprogress.blPlaced ? "the blocks from the first that showed it are kept as they came, each after its fields"
                                           : "its blocks are kept as they came, each after its fields");
    }
    else if (m_twxferprogress.blContradicts)
    {
        // (blocks of both kinds always contradict the image too)
        char szBlock[64];
        char szImageCompression[64];
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "%sa block's Compression %s is not the image information's %s",
                 m_twxferprogress.blMixed ? "compressed and uncompressed blocks in one image, " : "",
                 CapValueText(ICAP_COMPRESSION, m_twxferprogress.u16Compression, szBlock, sizeof(szBlock)),
                 CapValueText(ICAP_COMPRESSION, m_twxferimage.u16Compression, szImageCompression, sizeof(szImageCompression)));
    }
    else if (m_twxferprogress.blRefused && !m_twxferprogress.blPlaced)
    {
        // (without the ".tif" a memory file named by its content took for now)
        if (m_twxferprogress.blNameByContent && strlen(szImage) >= 4)
            szImage[strlen(szImage) - 4] = 0;
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "a block was refused, the data may lack it");
    }
    else if (!a_blFile && m_twxferimage.u16Compression == TWCP_JPEG &&
             COsImage::FileExtent(m_osfileXfer, &osimageextent) != OS_STS_OK)
    {
        // JPEG blocks that end before their data does are no image.
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "the JPEG data has no end marker in the %llu bytes that came",
                 static_cast<ull>(osimageextent.u64Size));
    }
    else if (!a_blFile)
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
    else if (COsImage::FileExtent(m_osfileXfer, &osimageextent) != OS_STS_OK)
    {
        // A memory file that claims more than came (cut short, a block lost
        // or short) is no image.
        if (m_twxferprogress.blNameByContent && strlen(szImage) >= 4)
            szImage[strlen(szImage) - 4] = 0;
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        const char *szKind = COsImage::TextOfKind(osimageextent.eosimagekind);
        if (osimageextent.u64Claimed > osimageextent.u64Size)
            snprintf(szWhy, sizeof(szWhy), "the memory file's %s claims %llu bytes, %llu came", szKind,
                     static_cast<ull>(osimageextent.u64Claimed), static_cast<ull>(osimageextent.u64Size));
        else if (osimageextent.eosimagekind == OS_IMAGEKIND_JFIF)
            snprintf(szWhy, sizeof(szWhy), "the memory file's JPEG has no end marker in the %llu bytes that came",
                     static_cast<ull>(osimageextent.u64Size));
        else
            snprintf(szWhy, sizeof(szWhy), "the memory file's %s cannot be read by its own header", szKind);
    }
    else if (m_twxferprogress.blNameByContent && strlen(szName) >= 4)
    {
        COsString::SStrCpy(szName + strlen(szName) - 4, 5, COsImage::ExtensionOfKind(eosimagekind));
        if (eosimagekind == OS_IMAGEKIND_RAW)
            snprintf(szWhy, sizeof(szWhy), "the memory file holds no TIFF, JPEG or BMP data");
    }
    else if (EOSIMAGEKIND eosimagekindName = COsImage::KindOfName(szImage);
             eosimagekindName != OS_IMAGEKIND_RAW && eosimagekindName != eosimagekind)
    {
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "the memory file holds no %s data", COsImage::TextOfKind(eosimagekindName));
    }
    if (!szWhy[0] && !blDevice && m_twxferprogress.blEmpty)
    {
        // A block that wrote nothing before the end: a block whose data
        // was lost cannot be told from one that held none.
        if (m_twxferprogress.blNameByContent && strlen(szImage) >= 4)
            szImage[strlen(szImage) - 4] = 0;
        blNamed = TwainRawName(szImage, szName, sizeof(szName));
        snprintf(szWhy, sizeof(szWhy), "a block before the end wrote 0 bytes, the data may lack it");
    }
    // A memory transfer's image is closed under the name it was opened
    // with; a memory file under the name it takes.
    TWAINLOG("Close: %s", a_blFile ? szName : a_szOpen);
    if (!blNamed || m_osfileXfer.Commit(szName) != OS_STS_OK)
    {
        TWAINLOG("cannot write <%s>, the image is not written...", szName);
        XferFileDiscard();
        m_szImageReport[0] = 0;
        return;
    }
    COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), szName);
    if (szWhy[0])
        TWAINLOG("image file not written, raw data kept in <%s>: %s", szName, szWhy);
    if (a_blFile || blDevice || szWhy[0])
        return;

    // This image's report: the first asterisks give the size; placed rows
    // add the image's exact pixels.
    char szReport[TWAINIMPL_IMAGEREPORT];
    COsString::SStrCpy(szReport, sizeof(szReport), m_szImageReport);
    char *pszStars = strstr(szReport, "************");
    char szSize[24];
    int iDigits = snprintf(szSize, sizeof(szSize), "%llu", static_cast<ull>(u64Size));
    if (pszStars && iDigits > 0 && iDigits <= 12)
        memcpy(pszStars, szSize, static_cast<size_t>(iDigits));
    char *pszEnd = strstr(szReport, "</reportimage>");
    if (m_twxferprogress.blPlaced && pszEnd)
    {
        int64_t i64Rows = m_twxferimage.i64Length >= 0 ? m_twxferimage.i64Length : m_twxferprogress.i64Rows;
        snprintf(pszEnd, sizeof(szReport) - static_cast<size_t>(pszEnd - szReport),
                 "\t<imagepixelwidth>%lld</imagepixelwidth>\n\t\t<imagepixelheight>%lld</imagepixelheight>\n\t</reportimage>",
                 static_cast<long long>(m_twxferimage.i64Width), static_cast<long long>(i64Rows));
    }
    XferReportFlavor(szReport, sizeof(szReport));
    char szCompression[16];
    if (COsXml::GetContent(szReport, "<compressionmode>", "</compressionmode>", szCompression, sizeof(szCompression), false))
        szCompression[0] = 0;
    if (!m_posimage)
    {
        m_posimage = new (std::nothrow) COsImage;
        OSLOG_NEW(m_posimage, "COsImage");
    }
    // The image file is made from the raw data.
    const char *szRaw = szName;
    bool blReport = ReportSetContent(szReport, sizeof(szReport), "<imagefilename>", "</imagefilename>", szRaw);
    EOSSTS eossts = OS_STS_FAIL;
    if (blReport && m_posimage && !strncmp(szCompression, "jpeg", 4))
    {
        char szJpeg[sizeof(m_szImageFileName) + 4];
        snprintf(szJpeg, sizeof(szJpeg), "%s.jpg", szImage);
        eossts = m_posimage->Create(szJpeg, szReport, false, false, OS_IMAGEFILEFORMAT_JFIF, OS_IMAGEMULTIPAGE_SINGLE, false,
                                    true, 0);
    }
    else if (blReport && m_posimage)
    {
        eossts = m_posimage->Create(szImage, szReport, false, false, OS_IMAGEFILEFORMAT_BYNAME, OS_IMAGEMULTIPAGE_SINGLE, false,
                                    true, 0);
    }
    if (eossts == OS_STS_OK)
    {
        // The raw data goes once the image file is there.
        COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), m_posimage->GetFileName());
        if (strcmp(szRaw, m_szImageFileName))
            COsFile::Delete(szRaw, OS_FILETYPE_FILE, 0, false);
        // (the sense of gray and bitonal rows, which the extended image
        // information may still give)
        m_twxferimage.blFlavorTiff =
            m_twxferimage.blFlavorRows && COsImage::KindOfName(m_szImageFileName) == OS_IMAGEKIND_TIFF;
    }
    else
        TWAINLOG("image file not written, raw data kept in <%s>: %s", szRaw,
                 !blReport ? "its name does not fit the image report" : m_posimage ? m_posimage->GetError() : "no memory");
}
