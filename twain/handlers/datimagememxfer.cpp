// datimagememxfer.cpp
// DG_IMAGE / DAT_IMAGEMEMXFER, and the block transfer it shares with the
// memory-file transfer: one block per call, appended to the image's raw
// file, which becomes a TIFF or JPEG file at the end of the image.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace
{

// The buffer each block is received in.
const TW_UINT32 s_u32BlockLength = 1048576;

} // namespace

TW_UINT16 CTwainImpl::DSDatImageMemXfer(const char *const *a_aszWords)
{
    return DatMemoryXfer(a_aszWords, false);
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
        if (a_blFile)
        {
            if (!strchr(szName, '.'))
                COsString::SStrCat(szName, sizeof(szName), ".tif");
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
    // What the source says it wrote never reaches past the buffer.
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
    if (twmem.BytesWritten > u64Room)
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
        uint64_t u64Written = 0;
        if (twmem.BytesWritten != 0)
        {
            TWAINLOG("Write: %d bytes", static_cast<int>(twmem.BytesWritten));
            if (m_osfileXfer.SetFilePointer(OS_FILEPOINTER_END, 0) != OS_STS_OK ||
                m_osfileXfer.Write(pu8Block, twmem.BytesWritten, &u64Written) != OS_STS_OK ||
                u64Written != twmem.BytesWritten)
            {
                TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
                XferFileDiscard();
                m_szImageReport[0] = 0;
            }
            m_u64XferWritten += u64Written;
        }
        if (twrc == TWRC_XFERDONE && m_osfileXfer.IsOpen())
        {
            // The end of the image: the file takes its name, and the raw
            // data of a memory transfer becomes the image file.
            TWAINLOG("Close: %s", m_szImageFileName);
            uint64_t u64Size = 0;
            m_osfileXfer.Size(&u64Size);
            m_u64XferWritten = 0;
            m_blXferFinished = true;
            if (m_osfileXfer.Commit() != OS_STS_OK)
            {
                TWAINLOG("cannot write <%s>, the image is not written...", m_szImageFileName);
                m_szImageReport[0] = 0;
            }
            else if (!a_blFile && u64Size > 0)
            {
                // This image's report: the first asterisks give the size.
                char szReport[TWAINIMPL_IMAGEREPORT];
                COsString::SStrCpy(szReport, sizeof(szReport), m_szImageReport);
                char *pszStars = strstr(szReport, "************");
                char szSize[24];
                int iDigits = snprintf(szSize, sizeof(szSize), "%llu", static_cast<unsigned long long>(u64Size));
                if (pszStars && iDigits > 0 && iDigits <= 12)
                    memcpy(pszStars, szSize, static_cast<size_t>(iDigits));
                char szCompression[16];
                if (COsXml::GetContent(szReport, "<compressionmode>", "</compressionmode>", szCompression,
                                       sizeof(szCompression), false))
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
                    eossts = m_posimage->Create(szJpeg, szReport, false, false, OS_IMAGEFILEFORMAT_JFIF,
                                                OS_IMAGEMULTIPAGE_SINGLE, false, true, 0);
                }
                else if (m_posimage)
                {
                    eossts = m_posimage->Create(szRaw, szReport, false, false, OS_IMAGEFILEFORMAT_BYNAME,
                                                OS_IMAGEMULTIPAGE_SINGLE, false, true, 0);
                }
                if (eossts == OS_STS_OK)
                {
                    // The raw data goes once the image file is there.
                    COsString::SStrCpy(m_szImageFileName, sizeof(m_szImageFileName), m_posimage->GetFileName());
                    if (strcmp(szRaw, m_szImageFileName))
                        COsFile::Delete(szRaw, OS_FILETYPE_FILE, 0, false);
                }
                else
                    TWAINLOG("image file not written, raw data kept in <%s>: %s", szRaw,
                             m_posimage ? m_posimage->GetError() : "no memory");
            }
        }
    }
    return twrc;
}
