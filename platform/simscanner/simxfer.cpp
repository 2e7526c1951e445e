// simxfer.cpp
//
// The feeder, the batch of images and the image data group of a simulated
// source: pending transfers, image information and layout, and the native,
// memory, memory-file and file transfers (see simsession.h).

#include "simsession.h"

#include "simsource.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Batch
// ---------------------------------------------------------------------------

bool CSimSession::BuildBatch()
{
    m_aslot.clear();
    ResetTransfer();
    if (IsCameraSource())
    {
        // Every capture gives one image per enabled camera.
        int iSaved = m_caps.GetCamera();
        std::vector<int> aiCamera;
        for (std::size_t ii = 0; ii < CameraCount(); ii++)
        {
            m_caps.SetCamera(static_cast<int>(ii));
            if (m_caps.CurrentInt(CAP_CAMERAENABLED, 0) != 0)
            {
                aiCamera.push_back(static_cast<int>(ii));
            }
        }
        m_caps.SetCamera(iSaved);
        for (int iCapture = 0; iCapture < m_iSheets; iCapture++)
        {
            for (std::size_t ii = 0; ii < aiCamera.size(); ii++)
            {
                Slot slot;
                slot.m_iCamera = aiCamera[ii];
                slot.m_iSide = (CameraName(aiCamera[ii]).find("Bottom") != std::string::npos) ? TWCS_BOTTOM : TWCS_TOP;
                slot.m_blNewSheet = (ii == 0);
                slot.m_blConsumes = (ii == 0);
                m_aslot.push_back(slot);
            }
        }
    }
    else if (m_config.m_profile.m_blFeeder && m_caps.CurrentInt(CAP_FEEDERENABLED, 0) != 0)
    {
        bool blDuplex = m_caps.CurrentInt(CAP_DUPLEXENABLED, 0) != 0;
        for (int iSheet = 0; iSheet < m_iSheets; iSheet++)
        {
            Slot slot;
            slot.m_blConsumes = true;
            m_aslot.push_back(slot);
            if (blDuplex)
            {
                slot.m_iSide = TWCS_BOTTOM;
                slot.m_blNewSheet = false;
                slot.m_blConsumes = false;
                m_aslot.push_back(slot);
            }
        }
    }
    else
    {
        // The flatbed: one page, which is never used up.
        Slot slot;
        m_aslot.push_back(slot);
    }
    std::int64_t i64Count = m_caps.CurrentInt(CAP_XFERCOUNT, -1);
    if (i64Count > 0 && static_cast<std::size_t>(i64Count) < m_aslot.size())
    {
        m_aslot.resize(static_cast<std::size_t>(i64Count));
    }
    return !m_aslot.empty();
}

void CSimSession::EndCurrent(bool a_blConsume)
{
    if (m_aslot.empty())
    {
        return;
    }
    if (a_blConsume && m_aslot.front().m_blConsumes && m_iSheets > 0)
    {
        m_iSheets--;
    }
    m_aslot.pop_front();
    ResetTransfer();
}

void CSimSession::ClearBatch()
{
    // The sheet in the scanner is used up; the others stay in the feeder.
    EndCurrent(true);
    m_aslot.clear();
}

void CSimSession::ResetTransfer()
{
    m_u16XferDat = 0;
    m_blXferDone = false;
    m_i64RowsDone = 0;
    m_i64TileX = 0;
    m_i64BandRows = 0;
    m_u64Sent = 0;
    m_i64SwapFirst = 0;
    m_i64SwapResume = 0;
    m_au8Encoded.clear();
    m_au8Encoded.shrink_to_fit();
    m_uEncodedDone = 0;
}

SimImageParams CSimSession::ParamsFor(const Slot& a_slot)
{
    int iSaved = m_caps.GetCamera();
    if (a_slot.m_iCamera >= 0)
    {
        m_caps.SetCamera(a_slot.m_iCamera);
    }
    SimImageParams params;
    params.m_iPixelType = static_cast<int>(m_caps.CurrentInt(ICAP_PIXELTYPE, TWPT_BW));
    if (params.m_iPixelType != TWPT_GRAY && params.m_iPixelType != TWPT_RGB)
    {
        params.m_iPixelType = TWPT_BW;
    }
    // 16 bits a sample when the bit depth says so (16 gray, 48 colour).
    std::int64_t i64Depth = m_caps.CurrentInt(ICAP_BITDEPTH, 0);
    params.m_iBitDepth = (params.m_iPixelType == TWPT_RGB) ? (i64Depth == 48 ? 48 : 24)
                       : (params.m_iPixelType == TWPT_GRAY) ? (i64Depth == 16 ? 16 : 8) : 1;
    params.m_dXRes = SimFixToDouble(m_caps.Current(ICAP_XRESOLUTION).m_i64);
    params.m_dYRes = SimFixToDouble(m_caps.Current(ICAP_YRESOLUTION).m_i64);
    if (params.m_dXRes <= 0)
    {
        params.m_dXRes = 100;
    }
    if (params.m_dYRes <= 0)
    {
        params.m_dYRes = 100;
    }
    std::vector<SimItem> aitemFrame = m_caps.CurrentList(ICAP_FRAMES);
    SimItem itemFrame = aitemFrame.empty() ? SimFrame(0, 0, 8.5, 11) : aitemFrame[0];
    for (int ii = 0; ii < 4; ii++)
    {
        params.m_adFrame[ii] = SimFixToDouble(itemFrame.m_ai32Frame[ii]);
    }
    params.m_i64Width = std::llround((params.m_adFrame[2] - params.m_adFrame[0]) * params.m_dXRes);
    params.m_i64Height = std::llround((params.m_adFrame[3] - params.m_adFrame[1]) * params.m_dYRes);
    params.m_i64Width = (params.m_i64Width < 1) ? 1 : params.m_i64Width;
    params.m_i64Height = (params.m_i64Height < 1) ? 1 : params.m_i64Height;
    params.m_blVanilla = m_caps.CurrentInt(ICAP_PIXELFLAVOR, TWPF_CHOCOLATE) == TWPF_VANILLA;
    params.m_blVanillaCodes = m_caps.CurrentInt(ICAP_PIXELFLAVORCODES, TWPF_CHOCOLATE) == TWPF_VANILLA;
    params.m_u16Compression = static_cast<TW_UINT16>(m_caps.CurrentInt(ICAP_COMPRESSION, TWCP_NONE));
    if ((params.m_iPixelType == TWPT_BW) != (params.m_u16Compression == TWCP_GROUP4))
    {
        params.m_u16Compression = TWCP_NONE;   // JPEG for gray and colour, Group 4 for black and white
    }
    params.m_iJpegQuality = static_cast<int>(m_caps.CurrentInt(ICAP_JPEGQUALITY, 75));
    params.m_iSide = a_slot.m_iSide;
    if (a_slot.m_iCamera >= 0)
    {
        params.m_szCamera = CameraName(a_slot.m_iCamera);
    }
    else
    {
        params.m_szCamera = (a_slot.m_iSide == TWCS_BOTTOM) ? "/Camera_Bottom" : "/Camera_Top";
    }
    params.m_u32Page = m_u32NextPage;
    params.m_u32Document = m_u32NextDocument;
    m_caps.SetCamera(iSaved);
    return params;
}

SimImageParams CSimSession::ParamsNow()
{
    if (InState(6, 7))
    {
        return m_paramsCurrent;
    }
    Slot slot;
    if (IsCameraSource() && CameraCount() != 0)
    {
        // At the root: the first camera's settings (a file system without
        // cameras has the settings for all cameras only).
        slot.m_iCamera = (m_caps.GetCamera() >= 0) ? m_caps.GetCamera() : 0;
    }
    return ParamsFor(slot);
}

void CSimSession::StartImage()
{
    if (m_aslot.empty())
    {
        return;
    }
    const Slot& slot = m_aslot.front();
    m_paramsCurrent = ParamsFor(slot);
    // Each sheet (or capture) is a document; the back of a sheet belongs to
    // the document of its front.
    if (slot.m_blNewSheet || m_u32NextDocument == 1)
    {
        m_paramsCurrent.m_u32Document = m_u32NextDocument++;
    }
    else
    {
        m_paramsCurrent.m_u32Document = m_u32NextDocument - 1;
    }
    m_u32NextPage++;
    ResetTransfer();
}

std::size_t CSimSession::MinBufSize()
{
    SimImageParams params = ParamsNow();
    std::size_t uRow = SimMemoryRowBytes(params, params.m_i64Width, m_config.m_iMemoryAlign);
    return (uRow == 0) ? 1 : uRow;
}

TW_UINT16 CSimSession::XferGuard(TW_UINT16 a_u16Mech, bool a_blAllowInProgress)
{
    if (m_iState == 7 && !(a_blAllowInProgress && !m_blXferDone && m_u16XferDat != 0))
    {
        return Fail(TWCC_SEQERROR);
    }
    if (m_iState != 6 && m_iState != 7)
    {
        return Fail(TWCC_SEQERROR);
    }
    if (m_caps.CurrentInt(ICAP_XFERMECH, TWSX_NATIVE) != a_u16Mech)
    {
        return Fail(TWCC_SEQERROR);
    }
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// DAT_PENDINGXFERS
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatPendingXfers(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_PENDINGXFERS ptwpending = static_cast<pTW_PENDINGXFERS>(a_pData);
    switch (a_u16Msg)
    {
        case MSG_GET:
            if (!InState(4, 7))
            {
                return Fail(TWCC_SEQERROR);
            }
            break;
        case MSG_ENDXFERSPECIAL:   // the maker's end of a transfer
        case MSG_ENDXFER:
        {
            if (a_u16Msg == MSG_ENDXFERSPECIAL && !IsCustom())
            {
                return Fail(TWCC_BADPROTOCOL);
            }
            if (!InState(6, 7))
            {
                return Fail(TWCC_SEQERROR);
            }
            // Ends the image just transferred, or cancels the one not yet taken.
            EndCurrent(true);
            if (m_aslot.empty())
            {
                m_iState = 5;
                Trigger(eSimTriggerEndXfer);
                Trigger(eSimTriggerLastXfer);
            }
            else
            {
                m_iState = 6;
                StartImage();
                Trigger(eSimTriggerEndXfer);
            }
            break;
        }
        case MSG_RESET:
            if (!InState(6, 6))
            {
                return Fail(TWCC_SEQERROR);
            }
            ClearBatch();
            m_iState = 5;
            break;
        case MSG_STOPFEEDER:
        {
            if (!InState(6, 6))
            {
                return Fail(TWCC_SEQERROR);
            }
            // The images of the sheet in the scanner stay; the feeder stops.
            std::size_t uKeep = 1;
            while (uKeep < m_aslot.size() && !m_aslot[uKeep].m_blNewSheet)
            {
                uKeep++;
            }
            m_aslot.resize(uKeep);
            break;
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
    // Count is read as a signed 16-bit number: a batch larger than it can
    // hold is reported as -1, the count the source cannot tell.
    std::size_t uCount = InState(6, 7) ? m_aslot.size() : 0;
    ptwpending->Count = static_cast<TW_UINT16>(uCount > 32767 ? 0xFFFF : uCount);
    ptwpending->EOJ = 0;
    return Succeed();
}

// ---------------------------------------------------------------------------
// DAT_IMAGEINFO and DAT_IMAGELAYOUT
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatImageInfo(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (!InState(6, 7))
    {
        return Fail(TWCC_SEQERROR);
    }
    const SimImageParams& params = m_paramsCurrent;
    pTW_IMAGEINFO ptwinfo = static_cast<pTW_IMAGEINFO>(a_pData);
    std::memset(ptwinfo, 0, sizeof(*ptwinfo));
    ptwinfo->XResolution = SimFixToTw(SimFixFromDouble(params.m_dXRes));
    ptwinfo->YResolution = SimFixToTw(SimFixFromDouble(params.m_dYRes));
    ptwinfo->ImageWidth = params.m_i64Width;
    ptwinfo->ImageLength = params.m_i64Height;
    ptwinfo->SamplesPerPixel = static_cast<TW_INT16>(params.m_iPixelType == TWPT_RGB ? 3 : 1);
    for (int ii = 0; ii < ptwinfo->SamplesPerPixel; ii++)
    {
        ptwinfo->BitsPerSample[ii] = static_cast<TW_INT16>(SimBitsPerSample(params));
    }
    ptwinfo->BitsPerPixel = static_cast<TW_INT16>(params.m_iBitDepth);
    ptwinfo->Planar = 0;
    ptwinfo->PixelType = static_cast<TW_INT16>(params.m_iPixelType);
    // What the transfer delivers: memory strips as set, a file or memory
    // file in its format (JFIF is JPEG), the native image uncompressed.
    std::int64_t i64Mech = m_caps.CurrentInt(ICAP_XFERMECH, TWSX_NATIVE);
    TW_UINT16 u16Compression = TWCP_NONE;
    if (i64Mech == TWSX_MEMORY)
    {
        u16Compression = params.m_u16Compression;
    }
    else if ((i64Mech == TWSX_FILE || i64Mech == TWSX_MEMFILE) &&
             m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP) == TWFF_JFIF)
    {
        u16Compression = TWCP_JPEG;
    }
    ptwinfo->Compression = u16Compression;
    // Rows in memory may come without a known length, as from a scanner
    // that finds the end of the sheet.
    if (i64Mech == TWSX_MEMORY && u16Compression == TWCP_NONE && m_config.m_blLengthUnknown)
    {
        ptwinfo->ImageLength = -1;
    }
    // A size claimed whatever the page is (the blocks stay the page's).
    if (m_config.m_i64ClaimWidth != 0 || m_config.m_i64ClaimLength != 0)
    {
        ptwinfo->ImageWidth = static_cast<TW_INT32>(m_config.m_i64ClaimWidth);
        ptwinfo->ImageLength = static_cast<TW_INT32>(m_config.m_i64ClaimLength);
    }
    // The fault compression: the information says value (TWCP_JPEG by
    // default) whatever the transfer delivers.
    std::int64_t i64Compression = 0;
    if (DeviceFault(i64Compression, TWCP_JPEG) == eSimFaultCompression)
    {
        ptwinfo->Compression = static_cast<TW_UINT16>(i64Compression);
    }
    return Succeed();
}

TW_UINT16 CSimSession::DatImageLayout(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    pTW_IMAGELAYOUT ptwlayout = static_cast<pTW_IMAGELAYOUT>(a_pData);
    const SimCapDef* pdefFrames = m_caps.Find(ICAP_FRAMES);
    switch (a_u16Msg)
    {
        case MSG_GET:
        case MSG_GETCURRENT:
        case MSG_GETDEFAULT:
        {
            // The layout of the image to come: states 4 to 6.
            if (!InState(4, 6))
            {
                return Fail(TWCC_SEQERROR);
            }
            SimItem itemFrame;
            std::uint32_t u32Document = m_u32NextDocument;
            std::uint32_t u32Page = m_u32NextPage;
            if (a_u16Msg == MSG_GETDEFAULT)
            {
                itemFrame = (pdefFrames != nullptr && !pdefFrames->m_aDefault.empty()) ? pdefFrames->m_aDefault[0] : SimFrame(0, 0, 8.5, 11);
                u32Document = 1;
                u32Page = 1;
            }
            else if (InState(6, 7))
            {
                const double* pd = m_paramsCurrent.m_adFrame;
                itemFrame = SimFrame(pd[0], pd[1], pd[2], pd[3]);
                u32Document = m_paramsCurrent.m_u32Document;
                u32Page = m_paramsCurrent.m_u32Page;
            }
            else
            {
                std::vector<SimItem> aitem = m_caps.CurrentList(ICAP_FRAMES);
                itemFrame = aitem.empty() ? SimFrame(0, 0, 8.5, 11) : aitem[0];
            }
            itemFrame = m_caps.FrameToUnits(itemFrame);
            ptwlayout->Frame.Left = SimFixToTw(itemFrame.m_ai32Frame[0]);
            ptwlayout->Frame.Top = SimFixToTw(itemFrame.m_ai32Frame[1]);
            ptwlayout->Frame.Right = SimFixToTw(itemFrame.m_ai32Frame[2]);
            ptwlayout->Frame.Bottom = SimFixToTw(itemFrame.m_ai32Frame[3]);
            ptwlayout->DocumentNumber = u32Document;
            ptwlayout->PageNumber = u32Page;
            ptwlayout->FrameNumber = 1;
            return Succeed();
        }
        case MSG_SET:
        {
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            SimItem itemUnits;
            itemUnits.m_ai32Frame[0] = SimFixFromTw(ptwlayout->Frame.Left);
            itemUnits.m_ai32Frame[1] = SimFixFromTw(ptwlayout->Frame.Top);
            itemUnits.m_ai32Frame[2] = SimFixFromTw(ptwlayout->Frame.Right);
            itemUnits.m_ai32Frame[3] = SimFixFromTw(ptwlayout->Frame.Bottom);
            SimCapResult result = m_caps.SetInternal(ICAP_FRAMES, {m_caps.FrameFromUnits(itemUnits)});
            if (result.m_u16Rc == TWRC_FAILURE)
            {
                return Fail(TWCC_BADVALUE);
            }
            // The application may number the next document and page itself.
            if (ptwlayout->DocumentNumber > 0 && ptwlayout->DocumentNumber <= 0xFFFFFFFFul)
            {
                m_u32NextDocument = static_cast<std::uint32_t>(ptwlayout->DocumentNumber);
            }
            if (ptwlayout->PageNumber > 0 && ptwlayout->PageNumber <= 0xFFFFFFFFul)
            {
                m_u32NextPage = static_cast<std::uint32_t>(ptwlayout->PageNumber);
            }
            return Succeed(result.m_u16Rc);
        }
        case MSG_RESET:
        {
            if (!InState(4, 4))
            {
                return Fail(TWCC_SEQERROR);
            }
            SimContainer con;
            m_caps.Reset(ICAP_FRAMES, con);
            m_u32NextDocument = 1;
            m_u32NextPage = 1;
            SimJournalCall call;
            return DatImageLayout(MSG_GET, a_pData, call);
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}

// ---------------------------------------------------------------------------
// Transfers
// ---------------------------------------------------------------------------

TW_UINT16 CSimSession::DatImageNativeXfer(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    if (XferGuard(TWSX_NATIVE, false) != TWRC_SUCCESS)
    {
        return TWRC_FAILURE;
    }
    std::vector<unsigned char> au8;
    bool blBuilt = m_config.m_blNativeDib ? SimBuildDib(m_paramsCurrent, au8) : SimBuildTiff(m_paramsCurrent, au8);
    if (!blBuilt)
    {
        // A bitmap has no 16-bit samples; else larger than the format can describe.
        return Fail(m_config.m_blNativeDib && SimBitsPerSample(m_paramsCurrent) == 16 ? TWCC_BUMMER : TWCC_LOWMEMORY);
    }
    TW_HANDLE h = Alloc(au8.size());
    void* pv = (h != nullptr) ? Lock(h) : nullptr;
    if (pv == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    std::memcpy(pv, au8.data(), au8.size());
    Unlock(h);
    TwSetPtr(a_pData, h);
    m_iState = 7;
    m_u16XferDat = DAT_IMAGENATIVEXFER;
    m_blXferDone = true;
    return Succeed(TWRC_XFERDONE);
}

void CSimSession::WithdrawNativeImage(TW_MEMREF a_pData, void* a_pvBefore)
{
    TW_HANDLE h = (a_pData != nullptr) ? TwGetPtr(a_pData) : nullptr;
    if (h == nullptr || h == a_pvBefore)
    {
        return;
    }
    const TW_ENTRYPOINT& twentrypoint = m_source.EntryPoints();
    if (UsesDsmMemory() && (twentrypoint.DSM_MemFree != nullptr))
    {
        twentrypoint.DSM_MemFree(h);
    }
    else
    {
        std::free(h);
    }
    TwSetPtr(a_pData, a_pvBefore);
}

TW_UINT16 CSimSession::DatImageFileXfer(TW_UINT16, TW_MEMREF, SimJournalCall&)
{
    if (XferGuard(TWSX_FILE, false) != TWRC_SUCCESS)
    {
        return TWRC_FAILURE;
    }
    std::vector<unsigned char> au8;
    TW_UINT16 u16Format = static_cast<TW_UINT16>(m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP));
    if (!SimBuildFile(m_paramsCurrent, u16Format, au8))
    {
        return Fail(TWCC_BUMMER);
    }
    std::FILE* pfile = std::fopen(m_szFileName.c_str(), "wb");
    if (pfile == nullptr)
    {
        return Fail(TWCC_FILEWRITEERROR);
    }
    bool blWritten = std::fwrite(au8.data(), 1, au8.size(), pfile) == au8.size();
    blWritten = (std::fclose(pfile) == 0) && blWritten;
    if (!blWritten)
    {
        return Fail(TWCC_FILEWRITEERROR);
    }
    m_iState = 7;
    m_u16XferDat = DAT_IMAGEFILEXFER;
    m_blXferDone = true;
    return Succeed(TWRC_XFERDONE);
}

TW_UINT16 CSimSession::MemoryBlock(pTW_IMAGEMEMXFER a_ptwmem, bool a_blFile)
{
    TW_UINT16 u16Dat = a_blFile ? DAT_IMAGEMEMFILEXFER : DAT_IMAGEMEMXFER;
    if (XferGuard(a_blFile ? TWSX_MEMFILE : TWSX_MEMORY, true) != TWRC_SUCCESS)
    {
        return TWRC_FAILURE;
    }
    if (m_iState == 7 && m_u16XferDat != u16Dat)
    {
        return Fail(TWCC_SEQERROR);
    }
    TW_UINT32 u32Flags = a_ptwmem->Memory.Flags;
    std::size_t uLength = a_ptwmem->Memory.Length;
    TW_MEMREF pMem = a_ptwmem->Memory.TheMem;
    const SimImageParams& params = m_paramsCurrent;
    // Uncompressed: the rows of the next tile (whole rows without tiles),
    // padded to the alignment.
    std::int64_t i64Columns = params.m_i64Width - m_i64TileX;
    if (m_config.m_i64TileColumns > 0 && m_config.m_i64TileColumns < i64Columns)
    {
        i64Columns = m_config.m_i64TileColumns;
    }
    std::size_t uRow = SimMemoryRowBytes(params, i64Columns, m_config.m_iMemoryAlign);
    bool blCompressed = a_blFile || params.m_u16Compression == TWCP_JPEG || params.m_u16Compression == TWCP_GROUP4;
    // The maker's convention: the last four bytes of a buffer carry the
    // image's size at the end of the image, so the data never uses them.
    std::size_t uBuffer = uLength;
    if (IsCustom())
    {
        uLength = (uLength > 4) ? uLength - 4 : 0;
    }
    if ((u32Flags & TWMF_APPOWNS) == 0 || (u32Flags & (TWMF_POINTER | TWMF_HANDLE)) == 0 || pMem == nullptr || uLength == 0 ||
        (!blCompressed && uLength < uRow) ||
        (!blCompressed && m_i64TileX > 0 && uLength / uRow < static_cast<std::size_t>(m_i64BandRows)))
    {
        return Fail(TWCC_BADVALUE);
    }
    if (m_iState == 6)
    {
        // The first block: encoded data is made once for the whole image.
        ResetTransfer();
        if (a_blFile)
        {
            TW_UINT16 u16Format = static_cast<TW_UINT16>(m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP));
            if (!SimBuildFile(params, u16Format, m_au8Encoded))
            {
                return Fail(TWCC_BUMMER);
            }
        }
        else if (params.m_u16Compression == TWCP_GROUP4 ? !SimBuildG4(params, m_au8Encoded)
                                                         : (blCompressed && !SimBuildJpeg(params, m_au8Encoded)))
        {
            return Fail(TWCC_BUMMER);
        }
        m_u16XferDat = u16Dat;
        m_iState = 7;
    }
    unsigned char* pu8 = static_cast<unsigned char*>((u32Flags & TWMF_HANDLE) ? Lock(pMem) : pMem);
    if (pu8 == nullptr)
    {
        return Fail(TWCC_BADVALUE);
    }
    if (blCompressed)
    {
        std::size_t uChunk = m_au8Encoded.size() - m_uEncodedDone;
        uChunk = (uChunk > uLength) ? uLength : uChunk;
        std::memcpy(pu8, m_au8Encoded.data() + m_uEncodedDone, uChunk);
        m_uEncodedDone += uChunk;
        m_blXferDone = (m_uEncodedDone >= m_au8Encoded.size());
        if (a_blFile)
        {
            std::int32_t i32Format = static_cast<std::int32_t>(m_caps.CurrentInt(ICAP_IMAGEFILEFORMAT, TWFF_BMP));
            a_ptwmem->Compression = static_cast<TW_UINT16>(i32Format == TWFF_JFIF ? TWCP_JPEG : TWCP_NONE);
            a_ptwmem->BytesPerRow = TWON_DONTCARE32;
            a_ptwmem->Columns = TWON_DONTCARE32;
            a_ptwmem->Rows = TWON_DONTCARE32;
            a_ptwmem->XOffset = TWON_DONTCARE32;
            a_ptwmem->YOffset = TWON_DONTCARE32;
        }
        else
        {
            // One compressed stream over the blocks; every block describes the image.
            a_ptwmem->Compression = params.m_u16Compression;
            a_ptwmem->BytesPerRow = uRow;
            a_ptwmem->Columns = params.m_i64Width;
            a_ptwmem->Rows = params.m_i64Height;
            a_ptwmem->XOffset = 0;
            a_ptwmem->YOffset = 0;
        }
        // The fault wrongsize: BytesWritten value bytes more than it holds.
        std::int64_t i64More = 0;
        bool blMore = DeviceFault(i64More, 4) == eSimFaultWrongSize;
        a_ptwmem->BytesWritten = static_cast<TW_UINT32>(blMore ? static_cast<std::int64_t>(uChunk) + i64More : uChunk);
    }
    else
    {
        // Rows straight into the application's buffer, or the next tile of
        // a band of rows; the padding of each row alternates 0x5A and 0xA5.
        std::int64_t i64Fault = 0;
        ESimFaultAction eFault = DeviceFault(i64Fault, -1);
        bool blSwap = false;
        if (m_i64TileX == 0)
        {
            std::int64_t i64Rows = static_cast<std::int64_t>(uLength / uRow);
            if (m_config.m_i64TileColumns > 0 && m_config.m_i64TileRows < i64Rows)
            {
                i64Rows = m_config.m_i64TileRows;
            }
            // The faults rewind (a band begins value rows earlier, by
            // default the rows of the band before: sent again) and swap
            // (the band after this one comes first).
            if (eFault == eSimFaultRewind)
            {
                std::int64_t i64Back = (i64Fault < 0) ? m_i64BandRows : i64Fault;
                m_i64RowsDone -= (i64Back > m_i64RowsDone) ? m_i64RowsDone : i64Back;
            }
            blSwap = eFault == eSimFaultSwap && m_i64SwapResume == 0 && m_i64RowsDone + i64Rows < params.m_i64Height;
            if (blSwap)
            {
                m_i64SwapFirst = m_i64RowsDone;
                m_i64RowsDone += i64Rows;
            }
            std::int64_t i64Left = params.m_i64Height - m_i64RowsDone;
            m_i64BandRows = (i64Rows > i64Left) ? i64Left : i64Rows;
        }
        std::size_t uPacked = SimMemoryRowBytes(params, i64Columns, 1);
        bool blWhole = (i64Columns == params.m_i64Width);
        std::vector<unsigned char> au8Row;
        for (std::int64_t y = 0; y < m_i64BandRows; y++)
        {
            unsigned char* pu8Row = pu8 + static_cast<std::size_t>(y) * uRow;
            if (blWhole)
            {
                SimRenderRow(params, m_i64RowsDone + y, pu8Row);
            }
            else
            {
                SimRenderColumns(params, m_i64RowsDone + y, m_i64TileX, i64Columns, au8Row, pu8Row);
            }
            for (std::size_t ii = uPacked; ii < uRow; ii++)
            {
                pu8Row[ii] = (ii % 2 == 0) ? 0x5A : 0xA5;
            }
        }
        // The fault wrongsize: a row said to be value bytes shorter.
        std::int64_t i64Less = 0;
        bool blShort = DeviceFault(i64Less, 4) == eSimFaultWrongSize;
        a_ptwmem->Compression = TWCP_NONE;
        a_ptwmem->BytesPerRow = blShort ? static_cast<TW_UINT32>(static_cast<std::int64_t>(uRow) - i64Less) : uRow;
        a_ptwmem->Columns = i64Columns;
        a_ptwmem->Rows = m_i64BandRows;
        a_ptwmem->XOffset = m_i64TileX;
        a_ptwmem->YOffset = m_i64RowsDone;
        a_ptwmem->BytesWritten = static_cast<std::size_t>(m_i64BandRows) * uRow;
        m_i64TileX += i64Columns;
        if (m_i64TileX >= params.m_i64Width)
        {
            m_i64TileX = 0;
            m_i64RowsDone += m_i64BandRows;
            // After a swapped band the band owed, then on after both.
            std::int64_t i64Next = blSwap ? m_i64SwapFirst : m_i64SwapResume;
            m_i64SwapResume = blSwap ? m_i64RowsDone : 0;
            m_i64RowsDone = (i64Next > 0 || blSwap) ? i64Next : m_i64RowsDone;
        }
        m_blXferDone = (m_i64RowsDone >= params.m_i64Height) && m_i64SwapResume == 0;
    }
    // The fault noplace: a block whose fields say it holds no pixel (value:
    // 1 Columns, 2 Rows, 4 BytesWritten answered 0; all by default).
    std::int64_t i64Zero = 0;
    if (DeviceFault(i64Zero, 7) == eSimFaultNoPlace)
    {
        a_ptwmem->Columns = (i64Zero & 1) ? 0 : a_ptwmem->Columns;
        a_ptwmem->Rows = (i64Zero & 2) ? 0 : a_ptwmem->Rows;
        a_ptwmem->BytesWritten = (i64Zero & 4) ? 0 : a_ptwmem->BytesWritten;
    }
    // The fault compression: the block says its data is compressed as
    // value (TWCP_JPEG by default) whatever the image's other blocks are.
    std::int64_t i64Compression = 0;
    if (DeviceFault(i64Compression, TWCP_JPEG) == eSimFaultCompression)
    {
        a_ptwmem->Compression = static_cast<TW_UINT16>(i64Compression);
    }
    // The fault offset: the block's XOffset says value.
    std::int64_t i64Offset = 0;
    if (DeviceFault(i64Offset, 0) == eSimFaultOffset)
    {
        a_ptwmem->XOffset = static_cast<TW_UINT32>(i64Offset);
    }
    m_u64Sent += a_ptwmem->BytesWritten;
    // The fault imagesize: the size is value instead, or none is written.
    std::int64_t i64Size = -1;
    bool blSize = DeviceFault(i64Size, -1) == eSimFaultImageSize;
    if (IsCustom() && m_blXferDone && !(blSize && i64Size < 0))
    {
        std::uint32_t u32Image = static_cast<std::uint32_t>(m_u64Sent > 0xFFFFFFFFu ? 0xFFFFFFFFu : m_u64Sent);
        u32Image = blSize ? static_cast<std::uint32_t>(i64Size) : u32Image;
        for (int ii = 0; ii < 4; ii++)
        {
            pu8[uBuffer - 4 + ii] = static_cast<unsigned char>(u32Image >> (8 * ii));
        }
    }
    if (u32Flags & TWMF_HANDLE)
    {
        Unlock(pMem);
    }
    return Succeed(m_blXferDone ? TWRC_XFERDONE : TWRC_SUCCESS);
}

TW_UINT16 CSimSession::DatImageMemXfer(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    return MemoryBlock(static_cast<pTW_IMAGEMEMXFER>(a_pData), false);
}

TW_UINT16 CSimSession::DatImageMemFileXfer(TW_UINT16, TW_MEMREF a_pData, SimJournalCall&)
{
    return MemoryBlock(static_cast<pTW_IMAGEMEMXFER>(a_pData), true);
}
