// datimagelayout.cpp
// DG_IMAGE / DAT_IMAGELAYOUT: read, reset and set the frame and the numbers
// of the image to come.
#include "ctwainimpl.h"

#include <cstdlib>
#include <cstring>

namespace
{

void PrintLayout(const TW_IMAGELAYOUT &a_twlayout)
{
    TWAINLOG("  Frame.Left.........%g", TwFix32ToDouble(a_twlayout.Frame.Left));
    TWAINLOG("  Frame.Top..........%g", TwFix32ToDouble(a_twlayout.Frame.Top));
    TWAINLOG("  Frame.Right........%g", TwFix32ToDouble(a_twlayout.Frame.Right));
    TWAINLOG("  Frame.Bottom.......%g", TwFix32ToDouble(a_twlayout.Frame.Bottom));
    TWAINLOG("  DocumentNumber.....%s", TwainInt(a_twlayout.DocumentNumber).sz);
    TWAINLOG("  PageNumber.........%s", TwainInt(a_twlayout.PageNumber).sz);
    TWAINLOG("  FrameNumber........%s", TwainInt(a_twlayout.FrameNumber).sz);
}

} // namespace

TW_UINT16 CTwainImpl::DSDatImageLayout(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    static const DatMessageWord s_adatmessageword[] = {{"msg_get", nullptr, MSG_GET},
                                                       {"msg_getcurrent", "current", MSG_GETCURRENT},
                                                       {"msg_getdefault", "default", MSG_GETDEFAULT},
                                                       {"msg_reset", "reset", MSG_RESET},
                                                       {"msg_set", "set", MSG_SET}};
    TW_UINT16 twmsg = 0;
    if (!DatMessage(szWord, s_adatmessageword, MSG_GET, &twmsg))
        return TWRC_FAILURE;

    if (twmsg != MSG_SET)
    {
        memset(&m_twimagelayout, 0, sizeof(m_twimagelayout));
        TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_IMAGELAYOUT, twmsg, &m_twimagelayout, false, false);
        if (twrc != TWRC_SUCCESS)
            return DatPrintStatus(twrc);
        m_twimagelayoutExpected = m_twimagelayout;
        PrintLayout(m_twimagelayout);
        return TWRC_SUCCESS;
    }

    // MSG_SET: the frame and the three numbers, all required.
    const char *aszValue[7];
    for (int ii = 0; ii < 7; ii++)
    {
        aszValue[ii] = a_aszWords[1 + ii] ? a_aszWords[2 + ii] : nullptr;
        if (DatWordMissing(aszValue[ii]))
            return DatUsage("Must have left, top, right, bottom, docnum, pagenum, framenum...");
    }
    memset(&m_twimagelayout, 0, sizeof(m_twimagelayout));
    m_twimagelayout.Frame.Left = TwDoubleToFix32(strtod(aszValue[0], nullptr));
    m_twimagelayout.Frame.Top = TwDoubleToFix32(strtod(aszValue[1], nullptr));
    m_twimagelayout.Frame.Right = TwDoubleToFix32(strtod(aszValue[2], nullptr));
    m_twimagelayout.Frame.Bottom = TwDoubleToFix32(strtod(aszValue[3], nullptr));
    m_twimagelayout.DocumentNumber = static_cast<TW_UINT32>(atoi(aszValue[4]));
    m_twimagelayout.PageNumber = static_cast<TW_UINT32>(atoi(aszValue[5]));
    m_twimagelayout.FrameNumber = static_cast<TW_UINT32>(atoi(aszValue[6]));
    // A refused set asks the source for its condition code only when the
    // variable AutoDatStatus says so.
    const char *szAuto = g_pvar ? g_pvar->Get("AutoDatStatus", false) : nullptr;
    bool blAskStatus = szAuto && !strcmp(szAuto, "true");
    auto printStatus = [&](TW_UINT16 a_twrc, ETWRECORD a_etwrecord) -> TW_UINT16 {
        char szTwrc[64];
        char szTwcc[64];
        GetStatusStrings(a_twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), blAskStatus, a_etwrecord);
        TWAINLOG("%s/%s", szTwrc, szTwcc);
        return a_twrc;
    };
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &m_twimagelayout, false, false);
    if (twrc != TWRC_SUCCESS)
        return printStatus(twrc, ETWRECORD_LAST);
    if (!DatWord(szWord, "set", nullptr))
        return TWRC_SUCCESS;
    // The short form reads the layout back; the set's codes stay the last
    // ones.
    memset(&m_twimagelayout, 0, sizeof(m_twimagelayout));
    twrc = DsmEntry(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &m_twimagelayout, false, false, ETWRECORD_NONE);
    if (twrc != TWRC_SUCCESS)
        return printStatus(twrc, ETWRECORD_NONE);
    PrintLayout(m_twimagelayout);
    return TWRC_SUCCESS;
}
