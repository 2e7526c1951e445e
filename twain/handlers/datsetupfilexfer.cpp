// datsetupfilexfer.cpp
// DG_CONTROL / DAT_SETUPFILEXFER: the file and format of the file transfers.
#include "ctwainimpl.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "clookup.h"

namespace
{

void PrintSetup(CTwainImpl &a_twainimpl, const TW_SETUPFILEXFER &a_twsetup)
{
    char szText[sizeof(a_twsetup.FileName) + 1];
    TwainFieldText(a_twsetup.FileName, sizeof(a_twsetup.FileName), szText, sizeof(szText));
    TWAINLOG("  Filename........<%s>", szText);
    char szSymbol[64];
    TWAINLOG("  Format..........%s", a_twainimpl.CapValueText(ICAP_IMAGEFILEFORMAT, a_twsetup.Format, szSymbol, sizeof(szSymbol)));
    TWAINLOG("  VRefNum.........%d", a_twsetup.VRefNum);
}

} // namespace

TW_UINT16 CTwainImpl::DSDatSetupFileXfer(const char *const *a_aszWords)
{
    // The counter that names the files set up with a pattern.
    static int32_t s_iCount = 0;
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    static const DatMessageWord s_adatmessageword[] = {{"msg_get", "get", MSG_GET},
                                                       {"msg_getdefault", "getdefault", MSG_GETDEFAULT},
                                                       {"msg_reset", "reset", MSG_RESET},
                                                       {"msg_set", "set", MSG_SET}};
    TW_UINT16 twmsg = 0;
    if (!DatMessage(szWord, s_adatmessageword, MSG_GET, &twmsg))
        return TWRC_FAILURE;

    TW_SETUPFILEXFER twsetup;
    memset(&twsetup, 0, sizeof(twsetup));
    if (twmsg == MSG_SET)
    {
        const char *szFormat = a_aszWords[2];
        const char *szName = szFormat ? a_aszWords[3] : nullptr;
        const char *szCount = szName ? a_aszWords[4] : nullptr;
        if (DatWordMissing(szFormat) || DatWordMissing(szName))
            return DatUsage("must specify an image file format and a filename...");
        TW_UINT16 u16Format = 0;
        if (!m_plookup || !m_plookup->LookupEnum("ICAP_IMAGEFILEFORMAT", szFormat, &u16Format))
            return DatUsage("unrecognized image file format...");
        twsetup.Format = u16Format;
        if (!DatWordMissing(szCount))
            s_iCount = atoi(szCount);
        if (COsCfg::InfoGetLong(static_cast<EOSCFGINFO>(7)) == 1 && (szName[0] == '/' || szName[0] == '\\'))
            COsString::SStrCpy(twsetup.FileName, sizeof(twsetup.FileName), "C:\\");
        size_t u64Used = strlen(twsetup.FileName);
        if (!TwainFormatName(szName, s_iCount, twsetup.FileName + u64Used, sizeof(twsetup.FileName) - u64Used))
            return DatUsage("bad file name <%s>: one integer conversion such as %%03d is all it may hold...", szName);
        s_iCount = (s_iCount == INT32_MAX) ? 0 : s_iCount + 1;
        COsFile::PathNormalize(twsetup.FileName, '/');
        const char *szPrefix = g_poscfg ? g_poscfg->Get(1001, 1006) : nullptr;
        if (szPrefix && atoi(szPrefix) != 0)
            COsString::StrConvertCToPascal(twsetup.FileName, sizeof(twsetup.FileName));
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_SETUPFILEXFER, twmsg, &twsetup, false, false);
    if (twrc != TWRC_SUCCESS && twmsg != MSG_SET)
        return DatPrintStatus(twrc);
    PrintSetup(*this, twsetup);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    m_twsetupfilexfer = twsetup;
    m_twsetupfilexferExpected = twsetup;
    return TWRC_SUCCESS;
}
