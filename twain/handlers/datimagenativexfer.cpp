// datimagenativexfer.cpp
// DG_IMAGE / DAT_IMAGENATIVEXFER: one image in one handle, written to a
// file when a name pattern is given: a TIFF as it came, a bitmap as a BMP.
#include "ctwainimpl.h"

#include <climits>
#include <cstring>

namespace
{

// Native images never claim more than this (classic TIFF and bitmap sizes).
const uint64_t s_u64NativeLimit = 0xFFFFFFFFull;

// Writes the image of a locked handle of a_u64Limit bytes to the open file:
// 0, or 1 when the image is not understood (a message said why).  A failed
// write is the file's to report (COsFile::Commit).
TW_UINT16 WriteNative(COsFile &a_osfile, const uint8_t *a_pu8, uint64_t a_u64Limit)
{
    uint64_t u64Written = 0;
    if (COsImage::Sniff(a_pu8, a_u64Limit < 4 ? a_u64Limit : 4) == OS_IMAGEKIND_TIFF)
    {
        // A TIFF: as far as its first directory and strips reach.
        uint64_t u64Size = 0;
        if (COsImage::TiffExtent(a_pu8, a_u64Limit, &u64Size) != OS_STS_OK)
        {
            TWAINLOG("native TIFF image not understood, nothing written...");
            return TWRC_FAILURE;
        }
        a_osfile.Write(a_pu8, u64Size, &u64Written);
        return TWRC_SUCCESS;
    }

    // A bitmap: its information header, palette and pixels, after a file header.
    OsImageDib osimagedib;
    memset(&osimagedib, 0, sizeof(osimagedib));
    EOSSTS eossts = COsImage::DibMeasure(a_pu8, a_u64Limit, &osimagedib);
    TWAINLOG("  biBitCount........%d", osimagedib.biBitCount);
    TWAINLOG("  biClrImportant....%d", static_cast<int>(osimagedib.biClrImportant));
    TWAINLOG("  biClrUsed.........%d", static_cast<int>(osimagedib.biClrUsed));
    TWAINLOG("  biCompression.....%d", static_cast<int>(osimagedib.biCompression));
    TWAINLOG("  biHeight..........%d", osimagedib.biHeight);
    TWAINLOG("  biPlanes..........%d", osimagedib.biPlanes);
    TWAINLOG("  biSize............%d", static_cast<int>(osimagedib.biSize));
    TWAINLOG("  biSizeImage.......%d", static_cast<int>(osimagedib.biSizeImage));
    TWAINLOG("  biWidth...........%d", osimagedib.biWidth);
    TWAINLOG("  biXPelsPerMeter...%d", osimagedib.biXPelsPerMeter);
    uint16_t u16Bits = osimagedib.biBitCount;
    if (u16Bits != 1 && u16Bits != 8 && u16Bits != 24)
    {
        OSLOG_ASSERT("unrecognized m_eosimageformat...");
        return TWRC_FAILURE;
    }
    if (eossts != OS_STS_OK)
    {
        TWAINLOG("native bitmap not understood, nothing written...");
        return TWRC_FAILURE;
    }
    uint8_t au8Header[14] = {'B', 'M'};
    uint64_t u64FileSize = 14 + osimagedib.u64Size;
    uint64_t u64Offset = 14 + osimagedib.u64DataOffset;
    for (int ii = 0; ii < 4; ii++)
    {
        au8Header[2 + ii] = static_cast<uint8_t>(u64FileSize >> (8 * ii));
        au8Header[10 + ii] = static_cast<uint8_t>(u64Offset >> (8 * ii));
    }
    if (a_osfile.Write(au8Header, sizeof(au8Header), &u64Written) == OS_STS_OK)
        a_osfile.Write(a_pu8, osimagedib.u64Size, &u64Written);
    return TWRC_SUCCESS;
}

} // namespace

TW_UINT16 CTwainImpl::DSDatImageNativeXfer(const char *const *a_aszWords)
{
    static int32_t s_iCount = 0;
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    bool blLeak = DatWord(szWord, "leak", nullptr);
    if (!DatWordMissing(szWord) && !blLeak && !DatWord(szWord, "msg_get", "get"))
        return DatUnrecognized(szWord);
    TW_HANDLE hImage = nullptr;
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage, false, false);
    DatPrintStatus(twrc);
    if (twrc == TWRC_XFERDONE)
        SetTwState(ETWSTATE_XFERRING);

    const char *szPattern = szWord ? a_aszWords[2] : nullptr;
    if (hImage && !DatWordMissing(szPattern))
    {
        char szFile[512];
        if (!TwainFormatName(szPattern, s_iCount, szFile, sizeof(szFile)))
            DatUsage("bad image file name <%s>: one integer conversion such as %%03d is all it may hold...",
                      szPattern);
        else
        {
            s_iCount = (s_iCount == INT32_MAX) ? 0 : s_iCount + 1;
            TWAINLOG("Open: %s", szFile);
            // Written beside its name, which it takes when it is complete.
            if (m_osfileNative.OpenTemp(szFile) != OS_STS_OK)
                TWAINLOG("cannot create <%s>, the image is not written...", szFile);
            else
            {
                const uint8_t *pu8 = static_cast<const uint8_t *>(DsMemLock(hImage));
                // The image is read no further than its block holds.
                uint64_t u64Limit = pu8 ? DsMemSize(hImage, const_cast<uint8_t *>(pu8)) : 0;
                u64Limit = (u64Limit > s_u64NativeLimit - 14) ? s_u64NativeLimit - 14 : u64Limit;
                TW_UINT16 twrcWrite = pu8 ? WriteNative(m_osfileNative, pu8, u64Limit) : TWRC_FAILURE;
                DsMemUnlock(hImage);
                bool blWritten = (twrcWrite == TWRC_SUCCESS) && (m_osfileNative.Commit() == OS_STS_OK);
                if (!blWritten && (twrcWrite == TWRC_SUCCESS || !pu8))
                    TWAINLOG("cannot write <%s>, the image is not written...", szFile);
                twrcWrite = blWritten ? TWRC_SUCCESS : TWRC_FAILURE;
                m_osfileNative.Close();     // an unfinished file goes
                if (twrcWrite != TWRC_SUCCESS)
                {
                    if (!blLeak)
                        DsMemFree(hImage);
                    return TWRC_FAILURE;
                }
            }
        }
    }
    if (hImage && !blLeak)
        DsMemFree(hImage);
    return twrc;
}
