// datprofiles.cpp
// DG_CONTROL / DAT_PROFILES: the driver's setting profiles: list them, and
// create, delete, export, import, rename, restore, save and select one.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>

namespace
{

const char *TrueFalse(TW_UINT16 a_u16)
{
    return a_u16 ? "true" : "false";
}

// One message and the operand fields it fills.
enum EPROFILEFIELD
{
    EPROFILE_NONE,
    EPROFILE_NAME_FILENAME,     // szName from 2, szFilename from 3 whenever present
    EPROFILE_ENGLISH,           // szEnglish from 2
    EPROFILE_FILENAME,          // szFilename from 2
    EPROFILE_SHARED,            // blSharedSettings from 2 ("true")
    EPROFILE_CURRENT            // szCurrent from 2
};

struct ProfileMessage
{
    const char *szFull;
    const char *szShort;
    TW_UINT16 twmsg;
    EPROFILEFIELD eprofilefield;
    bool blCount;               // "@@@count@@@" becomes the repeat count
};

const ProfileMessage s_aprofilemessage[] = {
    {"msg_profilecreate", nullptr, MSG_PROFILECREATE, EPROFILE_NAME_FILENAME, true},
    {"msg_profiledelete", nullptr, MSG_PROFILEDELETE, EPROFILE_ENGLISH, true},
    {"msg_profileexport", nullptr, MSG_PROFILEEXPORT, EPROFILE_FILENAME, false},
    {"msg_profileimport", nullptr, MSG_PROFILEIMPORT, EPROFILE_FILENAME, false},
    {"msg_profilerename", nullptr, MSG_PROFILERENAME, EPROFILE_NAME_FILENAME, false},
    {"msg_profilerestore", nullptr, MSG_PROFILERESTORE, EPROFILE_SHARED, false},
    {"msg_profilesave", nullptr, MSG_PROFILESAVE, EPROFILE_NONE, false},
    {"msg_profileset", nullptr, MSG_PROFILESET, EPROFILE_ENGLISH, true},
    {"msg_saveprofile", "saveprofile", MSG_SAVEPROFILE, EPROFILE_CURRENT, false},
    {"msg_deleteprofile", "deleteprofile", MSG_DELETEPROFILE, EPROFILE_CURRENT, false},
};

// A profile text field from a word; the count placeholder replaced when asked.
void FillField(TW_STR255 a_szField, const char *a_szWord, bool a_blCount, int a_iCount)
{
    COsString::SStrCpy(a_szField, sizeof(TW_STR255), a_szWord);
    if (a_blCount)
    {
        char szCount[16];
        snprintf(szCount, sizeof(szCount), "%d", a_iCount);
        COsString::SStrReplace(a_szField, sizeof(TW_STR255), "@@@count@@@", szCount, true);
    }
}

} // namespace

TW_UINT16 CTwainImpl::DSDatProfiles(const char *const *a_aszWords, int a_iCount)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    const char *szWord = a_aszWords[0] ? a_aszWords[1] : nullptr;
    const char *szFirst = szWord ? a_aszWords[2] : nullptr;
    const char *szSecond = szFirst ? a_aszWords[3] : nullptr;

    if (!szWord || DatWord(szWord, "msg_get", "get"))
    {
        memset(m_atwprofile, 0, sizeof(m_atwprofile));
        memset(m_atwprofileExpected, 0, sizeof(m_atwprofileExpected));
        TW_HANDLE hProfiles = nullptr;
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_PROFILES, MSG_GET, &hProfiles, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(hProfiles);     // whatever came back with the refusal
            return DatPrintStatus(twrc);
        }
        const twprofile *ptwprofile = static_cast<const twprofile *>(hProfiles ? DsMemLock(hProfiles) : nullptr);
        // The walk ends at the list's end, at the last slot we keep, and at
        // the end of the block the source handed over.
        size_t u64Records = ptwprofile ? DsMemSize(hProfiles, const_cast<twprofile *>(ptwprofile)) / sizeof(twprofile) : 0;
        uint32_t u32Index = 0;
        for (; ptwprofile && u32Index < TWAINIMPL_PROFILES && u32Index < u64Records &&
               ptwprofile[u32Index].ProfilesValue != 0xFFFF;
             u32Index++)
        {
            const twprofile &twp = ptwprofile[u32Index];
            m_atwprofile[u32Index] = twp;
            m_atwprofileExpected[u32Index] = twp;
            if (u32Index > 0)
                TWAINLOG("%s", "");
            char szText[sizeof(TW_STR255)];
            char szSymbol[64];
            CapValueText(CAP_PROFILES, twp.ProfilesValue, szSymbol, sizeof(szSymbol));
            if (szSymbol[0] >= '0' && szSymbol[0] <= '9')
                snprintf(szSymbol, sizeof(szSymbol), "num-%d", twp.ProfilesValue);
            TWAINLOG("  %02d  ProfilesValue......%s", static_cast<int>(u32Index), szSymbol);
            TwainFieldText(twp.szEnglish, sizeof(twp.szEnglish), szText, sizeof(szText));
            TWAINLOG("      szEnglish..........\033[1m%s\033[0m", szText);
            TwainFieldText(twp.szCurrent, sizeof(twp.szCurrent), szText, sizeof(szText));
            TWAINLOG("      szCurrent..........\033[1m%s\033[0m", szText);
            TwainFieldText(twp.szId, sizeof(twp.szId), szText, sizeof(szText));
            TWAINLOG("      szId...............<%s>", szText);
            TWAINLOG("      Readonly...........<%s>", TrueFalse(twp.Readonly));
            TWAINLOG("      Default............<%s>", TrueFalse(twp.Default));
            TWAINLOG("      Group..............%d", static_cast<int>(twp.Group));
            TwainFieldText(twp.szFamily, sizeof(twp.szFamily), szText, sizeof(szText));
            TWAINLOG("      szFamily...........<%s>", szText);
            TWAINLOG("      DriverVersion......%d", static_cast<int>(twp.DriverVersion));
            TwainFieldText(twp.szName, sizeof(twp.szName), szText, sizeof(szText));
            TWAINLOG("      szName.............\033[1m%s\033[0m", szText);
            TwainFieldText(twp.szFilename, sizeof(twp.szFilename), szText, sizeof(szText));
            TWAINLOG("      szFilename.........<%s>", szText);
            TWAINLOG("      blSharedSettings...<%s>", TrueFalse(twp.blSharedSettings));
            static const char *const s_aszState[] = {" (TWPRF_PROFILESTATE_NORMAL)", " (TWPRF_PROFILESTATE_CURRENT)",
                                                     " (TWPRF_PROFILESTATE_MODIFIED)"};
            TWAINLOG("      ProfileState.......%d%s", twp.ProfileState,
                     twp.ProfileState < 3 ? s_aszState[twp.ProfileState] : "");
        }
        if (ptwprofile && u32Index == TWAINIMPL_PROFILES)
            TWAINLOG("the profile list has no end within %d records, the rest is not read...", TWAINIMPL_PROFILES);
        else if (ptwprofile && u32Index == u64Records)
            TWAINLOG("the profile list has no end within its block of %d records...", static_cast<int>(u32Index));
        if (hProfiles)
        {
            DsMemUnlock(hProfiles);
            DsMemFree(hProfiles);
        }
        return TWRC_SUCCESS;
    }

    const ProfileMessage *pprofilemessage = DatMessageOf(szWord, s_aprofilemessage);
    if (!pprofilemessage)
        return DatUnrecognized(szWord);
    twprofile twp;
    memset(&twp, 0, sizeof(twp));
    bool blFirst = !DatWordMissing(szFirst);
    bool blCount = pprofilemessage->blCount;
    switch (pprofilemessage->eprofilefield)
    {
        case EPROFILE_NAME_FILENAME:
            if (blFirst)
                FillField(twp.szName, szFirst, blCount, a_iCount);
            if (szFirst && szSecond)
                FillField(twp.szFilename, szSecond, blCount, a_iCount);
            break;
        case EPROFILE_ENGLISH:
            if (blFirst)
                FillField(twp.szEnglish, szFirst, blCount, a_iCount);
            break;
        case EPROFILE_FILENAME:
            if (blFirst)
                FillField(twp.szFilename, szFirst, false, a_iCount);
            break;
        case EPROFILE_SHARED:
            twp.blSharedSettings = (szFirst && !strcmp(szFirst, "true")) ? 1 : 0;
            break;
        case EPROFILE_CURRENT:
            if (blFirst)
                FillField(twp.szCurrent, szFirst, false, a_iCount);
            break;
        case EPROFILE_NONE:
            break;
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_PROFILES, pprofilemessage->twmsg, &twp, false, false);
    return DatPrintStatus(twrc);
}
