// simextinfo.cpp
//
// DAT_EXTIMAGEINFO: the extended information of the image in transfer. Every
// item follows the standard's rule for where its value lives: in Item itself
// when it fits, else in a handle (8-bit items above 4 values, 16-bit from 3,
// 32-bit above 1; frames, strings and handles always). The barcode texts
// come in one handle, their lengths in TWEI_BARCODETEXTLENGTH. The items of
// the maker's own range (0x8000 up) and MSG_GETSPECIAL (asked already in
// state 6, before the transfer) are the ZAV source's.

#include "simsession.h"

#include <cstring>

namespace
{

// One answer: the item type, the number of items and their bytes as an
// application reads them.
struct ExtAnswer
{
    TW_UINT16 m_u16Type = TWTY_UINT32;
    TW_UINT16 m_u16NumItems = 0;
    TW_UINT16 m_u16Rc = TWRC_SUCCESS;
    std::vector<unsigned char> m_au8;
};

void Ints(ExtAnswer& a_answer, TW_UINT16 a_u16Type, std::initializer_list<std::int64_t> a_ai64)
{
    std::size_t uSize = SimItemSize(a_u16Type);
    a_answer.m_u16Type = a_u16Type;
    for (std::int64_t i64 : a_ai64)
    {
        for (std::size_t ii = 0; ii < uSize; ii++)
        {
            a_answer.m_au8.push_back(static_cast<unsigned char>(static_cast<std::uint64_t>(i64) >> (8 * ii)));
        }
        a_answer.m_u16NumItems++;
    }
}

void Str(ExtAnswer& a_answer, TW_UINT16 a_u16Type, const std::string& a_sz)
{
    a_answer.m_u16Type = a_u16Type;
    a_answer.m_u16NumItems = 1;
    a_answer.m_au8.assign(SimItemSize(a_u16Type), 0);
    std::memcpy(a_answer.m_au8.data(), a_sz.data(), std::min(a_sz.size(), a_answer.m_au8.size() - 1));
}

// A text in a handle (with its terminator); a_blLengthCount: NumItems is
// the text's length (the maker's large texts), else 1.
void HandleText(ExtAnswer& a_answer, const std::string& a_sz, bool a_blLengthCount)
{
    a_answer.m_u16Type = TWTY_HANDLE;
    a_answer.m_u16NumItems = a_blLengthCount ? static_cast<TW_UINT16>(a_sz.size()) : 1;
    a_answer.m_au8.assign(a_sz.begin(), a_sz.end());
    a_answer.m_au8.push_back(0);
}

bool InHandle(TW_UINT16 a_u16Type, TW_UINT16 a_u16NumItems)
{
    switch (a_u16Type)
    {
        case TWTY_INT8:
        case TWTY_UINT8:  return a_u16NumItems > 4;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL:   return a_u16NumItems >= 3;
        case TWTY_INT32:
        case TWTY_UINT32: return a_u16NumItems > 1;
        case TWTY_FIX32:  return false;
        default:          return true;
    }
}

// The two barcodes found on every page: a text and binary data.
std::vector<std::string> Barcodes(std::uint32_t a_u32Page)
{
    char szText[32];
    std::snprintf(szText, sizeof(szText), "DRAVO-%04u", a_u32Page);
    return {szText, std::string("Z\0\x01\xff", 4)};
}

} // namespace

TW_UINT16 CSimSession::DatExtImageInfo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall&)
{
    bool blZav = Maker();
    if (a_u16Msg == MSG_GETSPECIAL && !blZav)
    {
        return Fail(TWCC_BADPROTOCOL);
    }
    bool blState = (a_u16Msg == MSG_GETSPECIAL) ? (InState(6, 6) || (InState(7, 7) && m_blXferDone)) : (InState(7, 7) && m_blXferDone);
    if (!blState || m_caps.CurrentInt(ICAP_EXTIMAGEINFO, 0) == 0 || (InState(6, 6) && m_aslot.empty()))
    {
        return Fail(TWCC_SEQERROR);
    }
    unsigned char* pu8 = static_cast<unsigned char*>(a_pData);
    TW_UINT32 u32Num = TwGetU32(pu8);
    if (u32Num > 4096)
    {
        return Fail(TWCC_BADVALUE);
    }
    const SimImageParams& params = m_paramsCurrent;   // the image ready or in transfer
    std::int64_t i64Fault = 0;
    ESimFaultAction eFault = DeviceFault(i64Fault, 4);
    const std::uint32_t u32Page = params.m_u32Page;
    const std::vector<std::string> aszBarcode = Barcodes(u32Page);
    for (TW_UINT32 ii = 0; ii < u32Num; ii++)
    {
        unsigned char* pu8Info = pu8 + 8 + sizeof(TW_INFO) * ii;
        TW_INFO twinfo;
        std::memcpy(&twinfo, pu8Info, sizeof(twinfo));
        ExtAnswer answer;
        bool blKnown = true;
        switch (twinfo.InfoID)
        {
            case TWEI_BARCODECOUNT:      Ints(answer, TWTY_UINT32, {2}); break;
            case TWEI_BARCODETEXTLENGTH: Ints(answer, TWTY_UINT32, {static_cast<std::int64_t>(aszBarcode[0].size()), static_cast<std::int64_t>(aszBarcode[1].size())}); break;
            case TWEI_BARCODETEXT:
                answer.m_u16Type = TWTY_HANDLE;
                answer.m_u16NumItems = 2;
                for (const std::string& sz : aszBarcode)
                {
                    answer.m_au8.insert(answer.m_au8.end(), sz.begin(), sz.end());
                }
                break;
            case TWEI_BARCODETYPE:       Ints(answer, TWTY_UINT32, {TWBT_CODE128, TWBT_QRCODE}); break;
            case TWEI_BARCODEROTATION:   Ints(answer, TWTY_UINT32, {0, 1}); break;
            case TWEI_BARCODEX:          Ints(answer, TWTY_UINT32, {100, 200}); break;
            case TWEI_BARCODEY:          Ints(answer, TWTY_UINT32, {50, 60}); break;
            case TWEI_BARCODECONFIDENCE: Ints(answer, TWTY_UINT32, {100, 85}); break;
            case TWEI_BOOKNAME:          Str(answer, TWTY_STR255, "Simulated Book"); break;
            case TWEI_CAMERA:            Str(answer, TWTY_STR255, params.m_szCamera); break;
            case TWEI_CHAPTERNUMBER:     Ints(answer, TWTY_UINT32, {1}); break;
            case TWEI_DESKEWSTATUS:      Ints(answer, TWTY_UINT32, {TWDSK_DISABLED}); break;
            case TWEI_DOCUMENTNUMBER:    Ints(answer, TWTY_UINT32, {params.m_u32Document}); break;
            case TWEI_PAGENUMBER:        Ints(answer, TWTY_UINT32, {u32Page}); break;
            case TWEI_PAPERCOUNT:        Ints(answer, TWTY_UINT32, {params.m_u32Document}); break;
            case TWEI_FRAMENUMBER:       Ints(answer, TWTY_UINT32, {params.m_u32Frame}); break;
            case TWEI_FILESYSTEMSOURCE:  blKnown = IsCameraSource(); Str(answer, TWTY_STR255, params.m_szCamera); break;
            case TWEI_FRAME:
                answer.m_u16Type = TWTY_FRAME;
                answer.m_u16NumItems = 1;
                answer.m_au8.assign(SimItemSize(TWTY_FRAME), 0);
                SimItemWrite(TWTY_FRAME, m_caps.FrameToUnits(SimFrame(params.m_adFrame[0], params.m_adFrame[1], params.m_adFrame[2], params.m_adFrame[3])),
                             answer.m_au8.data());
                break;
            case TWEI_ICCPROFILE:        answer.m_u16Rc = TWRC_DATANOTAVAILABLE; break;   // no profile embedded
            case TWEI_IMAGEMERGED:       Ints(answer, TWTY_BOOL, {0}); break;
            case TWEI_PAGESIDE:          Ints(answer, TWTY_UINT16, {params.m_iSide}); break;
            case TWEI_PIXELFLAVOR:       Ints(answer, TWTY_UINT16, {params.m_blVanilla ? TWPF_VANILLA : TWPF_CHOCOLATE}); break;
            case TWEI_PRINTERTEXT:       Str(answer, TWTY_STR255, "DRAVO " + std::to_string(u32Page)); break;
            case TWEI_SKEWORIGINALANGLE: Ints(answer, TWTY_INT32, {-5000}); break;
            case TWEI_TWAINDIRECTMETADATA:
                HandleText(answer, "{\"metadata\":{\"address\":{\"imageNumber\":" + std::to_string(u32Page) + ",\"sheetNumber\":" +
                                       std::to_string(params.m_u32Document) + "}}}", false);
                break;
            default:
                blKnown = false;
                break;
        }
        if (!blKnown && blZav && twinfo.InfoID >= 0x8000)
        {
            // The maker's own items.
            blKnown = true;
            switch (twinfo.InfoID)
            {
                case TWEI_HDR_AUTOCOLORAMOUNT:    Ints(answer, TWTY_UINT32, {42}); break;
                case TWEI_HDR_AUTOCOLORDETECTED:  Ints(answer, TWTY_UINT32, {params.m_iPixelType == TWPT_RGB}); break;
                case TWEI_HDR_AUTOCOLORTHRESHOLD: Ints(answer, TWTY_UINT32, {50}); break;
                case TWEI_HDR_BINARIZATIONQUALITY: Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_BITORDER:           Ints(answer, TWTY_UINT16, {TWBO_MSBFIRST}); break;
                case TWEI_HDR_BOOKNAME_A:         Str(answer, TWTY_STR32, "Book A"); break;
                case TWEI_HDR_BOOKNAME_B:         Str(answer, TWTY_STR64, "Book B"); break;
                case TWEI_HDR_BOOKNAME_C:         Str(answer, TWTY_STR128, "Book C"); break;
                case TWEI_HDR_BOOKNAME_D:         Str(answer, TWTY_STR255, "Book D"); break;
                case TWEI_HDR_COMPRESSION:        Ints(answer, TWTY_UINT16, {params.m_u16Compression}); break;
                case TWEI_HDR_DATE:               Ints(answer, TWTY_UINT32, {240115}); break;
                case TWEI_HDR_TIME:               Ints(answer, TWTY_UINT32, {93000}); break;
                case TWEI_HDR_DESKEW:             Ints(answer, TWTY_UINT16, {TWDSK_DISABLED}); break;
                case TWEI_HDR_DESKEWANGLE:        Ints(answer, TWTY_INT32, {10005}); break;
                case TWEI_HDR_DITHER:             Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_DOCUMENTCOUNT:      Ints(answer, TWTY_UINT32, {params.m_u32Document}); break;
                case TWEI_HDR_DROPOUTSTATUS:      Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_DUALSTACKINGSTACK:  Ints(answer, TWTY_UINT16, {1}); break;
                case TWEI_HDR_ENDOFSHEET:         Ints(answer, TWTY_UINT16, {params.m_iSide == TWCS_BOTTOM}); break;
                case TWEI_HDR_FEATUREPATCH:       Ints(answer, TWTY_UINT16, {0, 1, 2}); break;
                case TWEI_HDR_IMAGEADDRESSDEFS:   Str(answer, TWTY_STR255, "A.B.C.D"); break;
                case TWEI_HDR_IMAGEADDRESSSTRING: Str(answer, TWTY_STR255, std::to_string(params.m_u32Document) + ".0.0." + std::to_string(u32Page)); break;
                case TWEI_HDR_IMAGENUMBER:        Ints(answer, TWTY_UINT32, {u32Page}); break;
                case TWEI_HDR_LENGTH:             Ints(answer, TWTY_UINT32, {static_cast<std::int64_t>(SimRowBytes(params)) * params.m_i64Height}); break;
                case TWEI_HDR_LEVEL:              Ints(answer, TWTY_INT8, {-1}); break;
                case TWEI_HDR_LINELENGTH:         Ints(answer, TWTY_UINT32, {params.m_i64Width}); break;
                case TWEI_HDR_LONGPAPERLASTSEGMENT: Ints(answer, TWTY_UINT16, {1}); break;
                case TWEI_HDR_LONGPAPERSEGMENT:   Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_MULTIFEED:          Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_PAGEIMAGENUMBER:    Ints(answer, TWTY_UINT32, {u32Page}); break;
                case TWEI_HDR_PAGELENGTH:         Ints(answer, TWTY_UINT32, {params.m_i64Height}); break;
                case TWEI_HDR_PAGENUMBER:         Ints(answer, TWTY_UINT32, {u32Page}); break;
                case TWEI_HDR_PAGESIDE:           Ints(answer, TWTY_UINT16, {params.m_iSide}); break;
                case TWEI_HDR_PAPERDESTINATION:   Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_PATCHDETECTED:      Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_PRINTERINDEX:       Ints(answer, TWTY_UINT32, {1}); break;
                case TWEI_HDR_PRINTERSTRING:      Str(answer, TWTY_STR255, "ZAV " + std::to_string(u32Page)); break;
                case TWEI_HDR_RAWIMAGEHEADER:     Ints(answer, TWTY_UINT8, {0x5a, 0x41, 0x56, 1, 0, 0, 0, 0xff}); break;
                case TWEI_HDR_RESOLUTION:         Ints(answer, TWTY_UINT16, {static_cast<std::int64_t>(params.m_dXRes), static_cast<std::int64_t>(params.m_dYRes)}); break;
                case TWEI_HDR_SLEEVETYPE:         Ints(answer, TWTY_UINT16, {0}); break;
                case TWEI_HDR_MULTIIMAGEINDEX:    Ints(answer, TWTY_UINT16, {1}); break;
                case TWEI_HDR_MULTIIMAGETOTAL:    Ints(answer, TWTY_UINT16, {1}); break;
                case TWEI_HDR_XML:                HandleText(answer, "<image page=\"" + std::to_string(u32Page) + "\"/>", true); break;
                case TWEI_HDR_XOFFSET:            Ints(answer, TWTY_INT16, {0}); break;
                case TWEI_HDR_YOFFSET:            Ints(answer, TWTY_INT16, {-3}); break;
                default:                          blKnown = false; break;
            }
        }
        twinfo.Item = 0;
        if (!blKnown || answer.m_u16Rc != TWRC_SUCCESS)
        {
            twinfo.ItemType = 0;
            twinfo.NumItems = 0;
            twinfo.ReturnCode = blKnown ? answer.m_u16Rc : TWRC_INFONOTSUPPORTED;
            std::memcpy(pu8Info, &twinfo, sizeof(twinfo));
            continue;
        }
        if (eFault == eSimFaultUnterminated && SimTypeIsString(answer.m_u16Type))
        {
            std::memset(answer.m_au8.data(), 'X', answer.m_au8.size());
        }
        twinfo.ItemType = answer.m_u16Type;
        twinfo.NumItems = answer.m_u16NumItems;
        twinfo.ReturnCode = TWRC_SUCCESS;
        if (!InHandle(answer.m_u16Type, answer.m_u16NumItems))
        {
            std::memcpy(&twinfo.Item, answer.m_au8.data(), std::min(answer.m_au8.size(), sizeof(twinfo.Item)));
        }
        else if (eFault != eSimFaultNullHandle)
        {
            TW_HANDLE h = Alloc(answer.m_au8.size());
            void* pv = (h != nullptr) ? Lock(h) : nullptr;
            if (pv == nullptr)
            {
                twinfo.ReturnCode = TWRC_DATANOTAVAILABLE;
            }
            else
            {
                std::memcpy(pv, answer.m_au8.data(), answer.m_au8.size());
                Unlock(h);
                twinfo.Item = reinterpret_cast<TW_UINTPTR>(h);
            }
        }
        std::memcpy(pu8Info, &twinfo, sizeof(twinfo));
    }
    if (eFault == eSimFaultWrongSize)
    {
        // A count beyond the entries the application sent.
        TwSetU32(pu8, u32Num + static_cast<TW_UINT32>(i64Fault));
    }
    return Succeed();
}
