// datcustomdsdatagroup.cpp
// DAT_CUSTOMDSDATAGROUP (DG_CONTROL 0x8009): one group of the Data Source's
// settings between the source and a file, kept in the last-received copy.
#include "ctwainimpl.h"

#include <cstring>
#include <strings.h>

namespace
{

struct DsDataGroup
{
    const char *szName;
    TW_UINT16 u16Bit;
};
const DsDataGroup s_adsdatagroup[] = {{"TWCDG_GROUP_IAPRINTER", 1},
                                      {"TWCDG_GROUP_NOIAPRINTER", 2},
                                      {"TWCDG_GROUP_SORTBARCODE", 4}};

// The group of a word; false when the word names none.
bool GroupFromWord(const char *a_szWord, TW_UINT16 *a_pu16Group)
{
    for (const DsDataGroup &group : s_adsdatagroup)
    {
        if (!strcasecmp(a_szWord, group.szName))
        {
            *a_pu16Group = group.u16Bit;
            return true;
        }
    }
    return false;
}

} // namespace

TW_UINT16 CTwainImpl::DSDatCustomDsDataGroup(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    twcustomdsdatagroup &group = m_twcustomdsdatagroup;
    if (DatWord(szMsg, "msg_get", "get"))
    {
        memset(&group, 0, sizeof(group));
        const char *szFile = nullptr;
        if (!DatWordMissing(a_aszWords[2]))
        {
            GroupFromWord(a_aszWords[2], &group.Group);
            szFile = DatWordMissing(a_aszWords[3]) ? nullptr : a_aszWords[3];
        }
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CUSTOMDSDATAGROUP, MSG_GET, &group, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(group.hData);     // whatever came back with the refusal
            return DatPrintStatus(twrc);
        }
        memcpy(&m_twcustomdsdatagroupExpected, &group, sizeof(group));
        char szNames[128] = "";
        for (const DsDataGroup &dsdatagroup : s_adsdatagroup)
        {
            if (group.Group & dsdatagroup.u16Bit)
            {
                COsString::SStrCatf(szNames, sizeof(szNames), "%s%s", szNames[0] ? "," : "",
                                    dsdatagroup.szName + strlen("TWCDG_GROUP_"));
            }
        }
        TWAINLOG("  hData...........%p", group.hData);
        TWAINLOG("  InfoLength......%llu", static_cast<unsigned long long>(group.InfoLength));
        TWAINLOG("  Group...........%u (%s)", static_cast<unsigned>(group.Group), szNames);
        TW_UINT16 twrcFile = szFile ? DatBlockToFile(group.hData, group.InfoLength, szFile) : TWRC_SUCCESS;
        DsMemFree(group.hData);
        return twrcFile;
    }
    if (DatWord(szMsg, "msg_set", "set"))
    {
        if (DatWordMissing(a_aszWords[2]) || DatWordMissing(a_aszWords[3]))
        {
            OSLOG_ERROR(DatWordMissing(a_aszWords[2]) ? "must specify a filename..." : "must specify a group...");
            return DatUsage("usage: dat_customdsdatagroup msg_set filename "
                            "TWCDG_GROUP_IAPRINTER|TWCDG_GROUP_NOIAPRINTER|TWCDG_GROUP_SORTBARCODE...");
        }
        TW_UINT32 u32Length = 0;
        TW_HANDLE hData = DatBlockFromFile(a_aszWords[2], &u32Length);
        if (!hData)
        {
            return TWRC_FAILURE;
        }
        group.InfoLength = u32Length;
        group.hData = hData;
        GroupFromWord(a_aszWords[3], &group.Group);
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CUSTOMDSDATAGROUP, MSG_SET, &group, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(hData);
            return DatPrintStatus(twrc);
        }
        TWAINLOG("  hData...........%p", group.hData);
        TWAINLOG("  InfoLength......%llu", static_cast<unsigned long long>(group.InfoLength));
        DsMemFree(hData);
        return TWRC_SUCCESS;
    }
    return DatUnrecognized(szMsg);
}
