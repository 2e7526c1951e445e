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

namespace
{

// The buffer each block is received in.
const TW_UINT32 s_u32BlockLength = 1048576;

typedef unsigned long long ull;

// The extension of a memory file, from its first bytes (TIFF when unknown).
const char *ExtensionOfHead(const uint8_t *a_pu8, uint32_t a_u32Size)
{
    if (a_u32Size >= 2 && a_pu8[0] == 'B' && a_pu8[1] == 'M')
        return ".bmp";
    if (a_u32Size >= 3 && a_pu8[0] == 0xFF && a_pu8[1] == 0xD8 && a_pu8[2] == 0xFF)
        return ".jpg";
    return ".tif";
}

} // namespace

TW_UINT16 CTwainImpl::DSDatImageMemXfer(const char *const *a_aszWords)
{
    return DatMemoryXfer(a_aszWords, false);
}

bool CTwainImpl::XferPlaceBlock(const TW_IMAGEMEMXFER &a_twmem, uint8_t *a_pu8Block, uint64_t a_u64Length,
                                uint64_t *a_pu64Placed)
{
    *a_pu64Placed = 0;
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
    if (u64Written > a_u64Length)
    {
        TWAINLOG("%s: BytesWritten %llu is past the %llu bytes of the buffer, the image is not written...", szName,
                 static_cast<ull>(u64Written), static_cast<ull>(a_u64Length));
        return false;
    }
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

    *a_pu64Placed = u64Count * u64Packed;
    TWAINLOG("Write: %llu bytes", static_cast<ull>(*a_pu64Placed));
    m_twxferimage.blPlaced = true;
    m_twxferimage.u64Pixels += u64Count * u64Columns;
    if (u64Y + u64Count > static_cast<uint64_t>(m_twxferimage.i64Rows))
        m_twxferimage.i64Rows = static_cast<int64_t>(u64Y + u64Count);
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
    // Rows no block reached are blank: the file ends with the last row.
    uint64_t u64Row = (static_cast<uint64_t>(m_twxferimage.i64Width) * static_cast<uint64_t>(m_twxferimage.i32Bits) + 7) / 8;
    int64_t i64Rows = m_twxferimage.i64Length >= 0 ? m_twxferimage.i64Length : m_twxferimage.i64Rows;
    if (i64Rows <= 0)
        return true;
    if (static_cast<uint64_t>(i64Rows) > static_cast<uint64_t>(INT64_MAX) / u64Row)
    {
        TWAINLOG("%s: %lld rows are more than a file holds, the image is not written...", m_szImageFileName,
                 static_cast<long long>(i64Rows));
        return false;
    }
    // A source that declared its length and sent less (a refused block it
    // went on after, a tile it left out) gets an image with blank parts: said.
    uint64_t u64Pixels = 0;
    if (!__builtin_mul_overflow(static_cast<uint64_t>(m_twxferimage.i64Width), static_cast<uint64_t>(i64Rows), &u64Pixels) &&
        m_twxferimage.i64Length >= 0 && m_twxferimage.u64Pixels < u64Pixels)
        TWAINLOG("%s: the blocks covered %llu of the image's %llu pixels, the rest is blank...", m_szImageFileName,
                 static_cast<ull>(m_twxferimage.u64Pixels), static_cast<ull>(u64Pixels));
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

    // The file of this image, named by the image report.
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
        // The image is written beside its name and takes the name when it
        // is complete; a finished image is never opened again.
        if (!m_osfileXfer.IsOpen() && !m_blXferFinished)
        {
            COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), szName);
            m_u64XferWritten = 0;
            m_twxferimage.i64Rows = 0;
            m_twxferimage.blPlaced = false;
            m_twxferimage.blNameByContent = blNameByContent;
            m_twxferimage.u32Head = 0;
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
    // Uncompressed rows are placed by their block's fields (which are
    // checked against the buffer); other data is appended as it comes,
    // never more than the buffer holds.
    bool blPlace = !a_blFile && twmem.Compression == TWCP_NONE;
    uint64_t u64Room = s_u32BlockLength;
    if (blMemoryLength && twrc == TWRC_XFERDONE)
    {
        // The image's size travels in the buffer's last four bytes.
        uint32_t u32Size = static_cast<uint32_t>(pu8Block[u64Room - 4]) | (static_cast<uint32_t>(pu8Block[u64Room - 3]) << 8) |
                           (static_cast<uint32_t>(pu8Block[u64Room - 2]) << 16) |
                           (static_cast<uint32_t>(pu8Block[u64Room - 1]) << 24);
        TWAINLOG("  ImageSize..........%u offset=%u", u32Size, static_cast<unsigned>(twmem.Memory.Length - 4));
        u64Room -= 4;
        twmem.BytesWritten = (u32Size > m_u64XferWritten) ? static_cast<TW_UINT32>(u32Size - m_u64XferWritten) : 0;
    }
    if (!blPlace && twmem.BytesWritten > u64Room)
        twmem.BytesWritten = u64Room;
    TWAINLOG("  BytesPerRow........%d", static_cast<int>(twmem.BytesPerRow));
    TWAINLOG("  BytesWritten.......%d", static_cast<int>(twmem.BytesWritten));
    TWAINLOG("  Columns............%d", static_cast<int>(twmem.Columns));
    TWAINLOG("  Compression........%d", twmem.Compression);
    TWAINLOG("  Memory.Flags.......0x%x", static_cast<unsigned>(twmem.Memory.Flags));
    TWAINLOG("  Memory.Length......%d", static_cast<int>(twmem.Memory.Length));
    TWAINLOG("  Memory.TheMem......%p", twmem.Memory.TheMem);
    TWAINLOG("  Rows...............%d", static_cast<int>(twmem.Rows));
    TWAINLOG("  XOffset............%d", static_cast<int>(twmem.XOffset));
    TWAINLOG("  YOffset............%d", static_cast<int>(twmem.YOffset));
    DatPrintStatus(twrc);

    if (twrc != TWRC_SUCCESS && twrc != TWRC_XFERDONE)
    {
        // The image will not be complete: its partial file goes.
        XferFileDiscard();
        return twrc;
    }
    SetTwState(ETWSTATE_XFERRING);
    if (m_szImageReport[0] && m_blXferFinished && twmem.BytesWritten != 0)
        TWAINLOG("<%s> holds a finished image, this block is not written...", m_szImageFileName);
    if (m_szImageReport[0] && m_osfileXfer.IsOpen())
    {
        bool blWritten = true;
        if (twmem.BytesWritten != 0 && blPlace)
        {
            // A block that contradicts itself or the image spoils the image.
            // (The bytes received are counted, padding included: an image's
            // size in the buffer counts them so.)
            uint64_t u64Placed = 0;
            blWritten = XferPlaceBlock(twmem, pu8Block, u64Room, &u64Placed);
            m_u64XferWritten += twmem.BytesWritten;
        }
        else if (twmem.BytesWritten != 0)
        {
            uint64_t u64Written = 0;
            TWAINLOG("Write: %d bytes", static_cast<int>(twmem.BytesWritten));
            for (uint32_t ii = 0; m_twxferimage.u32Head < sizeof(m_twxferimage.au8Head) && ii < twmem.BytesWritten; ii++)
                m_twxferimage.au8Head[m_twxferimage.u32Head++] = pu8Block[ii];
            blWritten = m_osfileXfer.SetFilePointer(OS_FILEPOINTER_END, 0) == OS_STS_OK &&
                        m_osfileXfer.Write(pu8Block, twmem.BytesWritten, &u64Written) == OS_STS_OK &&
                        u64Written == twmem.BytesWritten;
            if (!blWritten)
                TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
            m_u64XferWritten += u64Written;
        }
        if (blWritten && twrc == TWRC_XFERDONE && m_twxferimage.blPlaced)
            blWritten = XferPlaceEnd();
        if (!blWritten)
        {
            XferFileDiscard();
            m_szImageReport[0] = 0;
        }
        if (twrc == TWRC_XFERDONE && m_osfileXfer.IsOpen())
            XferFinish(a_blFile);
    }
    return twrc;
}

void CTwainImpl::XferFinish(bool a_blFile)
{
    // The end of the image: the file takes its name (a memory file named by
    // the program, the extension of what it holds), and the raw data of a
    // memory transfer becomes the image file.
    size_t u64Name = strlen(m_szImageFileName);
    bool blRename = a_blFile && m_twxferimage.blNameByContent && u64Name >= 4;
    if (blRename)
        COsString::SStrCpy(m_szImageFileName + u64Name - 4, 5,
                           ExtensionOfHead(m_twxferimage.au8Head, m_twxferimage.u32Head));
    TWAINLOG("Close: %s", m_szImageFileName);
    uint64_t u64Size = 0;
    m_osfileXfer.Size(&u64Size);
    m_u64XferWritten = 0;
    m_blXferFinished = true;
    if (m_osfileXfer.Commit(blRename ? m_szImageFileName : nullptr) != OS_STS_OK)
    {
        TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
        m_szImageReport[0] = 0;
        return;
    }
    if (a_blFile || u64Size == 0)
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
    if (m_twxferimage.blPlaced && pszEnd)
    {
        int64_t i64Rows = m_twxferimage.i64Length >= 0 ? m_twxferimage.i64Length : m_twxferimage.i64Rows;
        snprintf(pszEnd, sizeof(szReport) - static_cast<size_t>(pszEnd - szReport),
                 "\t<imagepixelwidth>%lld</imagepixelwidth>\n\t\t<imagepixelheight>%lld</imagepixelheight>\n\t</reportimage>",
                 static_cast<long long>(m_twxferimage.i64Width), static_cast<long long>(i64Rows));
    }
    char szCompression[16];
    if (COsXml::GetContent(szReport, "<compressionmode>", "</compressionmode>", szCompression, sizeof(szCompression), false))
        szCompression[0] = 0;
    if (!m_posimage)
    {
        m_posimage = new (std::nothrow) COsImage;
        OSLOG_NEW(m_posimage, "COsImage");
    }
    char szRaw[sizeof(m_szImageFileName)];
    COsString::SStrCpy(szRaw, sizeof(szRaw), m_szImageFileName);
    EOSSTS eossts = OS_STS_FAIL;
    if (m_posimage && !strncmp(szCompression, "jpeg", 4))
    {
        char szJpeg[sizeof(m_szImageFileName) + 4];
        snprintf(szJpeg, sizeof(szJpeg), "%s.jpg", szRaw);
        eossts = m_posimage->Create(szJpeg, szReport, false, false, OS_IMAGEFILEFORMAT_JFIF, OS_IMAGEMULTIPAGE_SINGLE, false,
                                    true, 0);
    }
    else if (m_posimage)
    {
        eossts = m_posimage->Create(szRaw, szReport, false, false, OS_IMAGEFILEFORMAT_BYNAME, OS_IMAGEMULTIPAGE_SINGLE, false,
                                    true, 0);
    }
    if (eossts == OS_STS_OK)
    {
        // The raw data goes once the image file is there.
        COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), m_posimage->GetFileName());
        if (strcmp(szRaw, m_szImageFileName))
            COsFile::Delete(szRaw, OS_FILETYPE_FILE, 0, false);
    }
    else
        TWAINLOG("image file not written, raw data kept in <%s>: %s", szRaw, m_posimage ? m_posimage->GetError() : "no memory");
}
