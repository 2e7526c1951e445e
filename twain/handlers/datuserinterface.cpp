// datuserinterface.cpp
// DG_CONTROL / DAT_USERINTERFACE: enable the source (with or without its
// user interface, and the maker's own enable variants), disable it, or show
// its set-up dialog.
#include "ctwainimpl.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace
{

// The messages: the standard ones with short forms, the maker's by their
// full names only.
const CTwainImpl::DatMessageWord s_adatmessageword[] = {
    {"msg_enableds", "enableds", MSG_ENABLEDS},
    {"msg_enabledsuionly", "enabledsuionly", MSG_ENABLEDSUIONLY},
    {"msg_disableds", "disableds", MSG_DISABLEDS},
    {"msg_enableinfo", nullptr, MSG_ENABLEINFO},
    {"msg_enabledsadvanced", nullptr, MSG_ENABLEDSADVANCED},
    {"msg_enabledspreview", nullptr, MSG_ENABLEDSPREVIEW},
    {"msg_enabledsuionlyadvanced", nullptr, MSG_ENABLEDSUIONLYADVANCED},
    {"msg_enablesetupiaprinter", nullptr, MSG_ENABLESETUPIAPRINTER},
    {"msg_enablesetupnoiaprinter", nullptr, MSG_ENABLESETUPNOIAPRINTER},
    {"msg_enablesetupsortbarcode", nullptr, 0x801F},
    {"msg_enabledspreviewtoapplication", nullptr, MSG_ENABLEDSPREVIEWTOAPPLICATION},
    {"msg_enablesetupnoiaprinterocp", nullptr, MSG_ENABLESETUPNOIAPRINTEROCP},
    {"msg_setupds", nullptr, MSG_SETUPDS},
};

bool StartsWith(const char *a_szWord, const char *a_szStart)
{
    return a_szWord && !strncasecmp(a_szWord, a_szStart, strlen(a_szStart));
}

} // namespace

TW_UINT16 CTwainImpl::DSDatUserInterface(const char *const *a_aszWords)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    if (DatWordMissing(szWord))
        return DatUsage("must specify enableds or disableds");
    // A new enable starts without the report of an earlier image.
    m_szImageReport[0] = 0;
    TW_UINT16 twmsg = 0;
    if (!DatMessage(szWord, s_adatmessageword, 0, &twmsg))
        return TWRC_FAILURE;
    const char *szSecond = a_aszWords[2];
    const char *szThird = szSecond ? a_aszWords[3] : nullptr;

    TW_USERINTERFACE twui;
    memset(&twui, 0, sizeof(twui));
    twui.hParent = m_hParent;
    bool blModal = (szSecond && !strcasecmp(szSecond, "modalui")) || (szThird && !strcasecmp(szThird, "modalui"));
    if (twmsg == MSG_ENABLEDS)
    {
        if (StartsWith(szSecond, "showui") || StartsWith(szThird, "showui"))
        {
            if (StartsWith(szSecond, "showui="))
                twui.ShowUI = static_cast<TW_BOOL>(atoi(szSecond + 7));
            else if (StartsWith(szThird, "showui="))
                twui.ShowUI = static_cast<TW_BOOL>(atoi(szThird + 7));
            else
                twui.ShowUI = 1;
        }
        twui.ModalUI = blModal ? 1 : 0;
        if (twui.ShowUI == 0)
        {
            // Without a user interface some of the next transfer-ready
            // events may be discarded (a test of the source's repeats).
            char szDiscard[8];
            if (COsCfg::GetEnv("ZAV_DISCARDXFERREADY", "0", sizeof(szDiscard), szDiscard) != OS_STS_OK)
                szDiscard[0] = 0;
            m_i32DiscardXferReady = atoi(szDiscard);
        }
    }
    else if (twmsg != MSG_DISABLEDS && twmsg != MSG_SETUPDS && twmsg != MSG_ENABLEDSPREVIEWTOAPPLICATION)
    {
        twui.ShowUI = 1;
        twui.ModalUI = blModal ? 1 : 0;
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_USERINTERFACE, twmsg, &twui, false, false);
    if (twrc != TWRC_SUCCESS)
        return DatPrintStatus(twrc);
    if (twmsg == MSG_SETUPDS)
        return TWRC_SUCCESS;
    if (twmsg == MSG_DISABLEDS)
        SetTwState(ETWSTATE_DSOPEN);
    else
        RaiseTwState(ETWSTATE_DSENABLED);
    if (m_posthread)
        m_posthread->SetEvent(1);
    return TWRC_SUCCESS;
}
