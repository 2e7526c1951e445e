// datlog.cpp
// DAT_LOG (DG_CONTROL 0x800C): ask the Data Source to write one of its device
// logs into a file.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace
{

#pragma pack(push, 2)
struct twlog
{
    TW_UINT16 LogType;
    TW_UINT16 DeviceType;
    char Filename[256];
    char Description[256];
    TW_BOOL SaveImages;
    TW_UINT8 Reserved[254];
};
#pragma pack(pop)
static_assert(sizeof(twlog) == 772 && offsetof(twlog, SaveImages) == 516, "twlog");

struct LogType
{
    const char *szName;
    TW_UINT16 u16Type;
    const char *szExtension;
};
const LogType s_alogtype[] = {{"TWGL_GENERAL", 0, "log"},
                              {"TWGL_OPERATOR", 1, "log"},
                              {"TWGL_GENERAL_XML", 2, "log"},
                              {"TWGL_QNLOG", 3, "qnlog"},
                              {"TWGL_CUSTOM1", 4, "log"}};

} // namespace

TW_UINT16 CTwainImpl::DSDatLog(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    if (!DatWordMissing(a_aszWords[1]) && !DatWord(a_aszWords[1], "msg_get", "get"))
    {
        return DatUnrecognized(a_aszWords[1]);
    }
    // The words present (a null word ends the list).
    int iWords = 0;
    while (iWords < 7 && a_aszWords[iWords])
    {
        iWords++;
    }
    auto word = [&](int a_iWord) { return (a_iWord < iWords) ? a_aszWords[a_iWord] : nullptr; };
    twlog log;
    memset(&log, 0, sizeof(log));
    const char *szType = word(2);
    bool blQnLog = szType && !strcasecmp(szType, "TWGL_QNLOG");
    if (DatWordMissing(szType) || (!blQnLog && DatWordMissing(word(3))))
    {
        TWAINLOG("must specify TWGL_GENERAL|TWGL_GENERAL_XML|TWGL_OPERATOR|TWGL_QNLOG|TWGL_CUSTOM1 and "
                 "TWDV_ADF|TWDV_FLATBED and if TWLG_QNLOG, then a reason and true|false for saving images...");
        return TWRC_FAILURE;
    }
    const LogType *plogtype = nullptr;
    for (const LogType &logtype : s_alogtype)
    {
        if (!strcasecmp(szType, logtype.szName))
        {
            plogtype = &logtype;
        }
    }
    if (!plogtype)
    {
        TWAINLOG("unrecognized log type...");
        return TWRC_FAILURE;
    }
    log.LogType = plogtype->u16Type;
    if (!blQnLog)
    {
        if (!strcasecmp(a_aszWords[3], "TWDV_ADF"))
            log.DeviceType = 1;
        else if (!strcasecmp(a_aszWords[3], "TWDV_FLATBED"))
            log.DeviceType = 2;
        else
        {
            TWAINLOG("unrecognized device type...");
            return TWRC_FAILURE;
        }
    }
    // Words 4 to 6 follow the device word (which a quality log goes without
    // reading; it still holds its place).
    const char *szFile = word(4);
    if (!DatWordMissing(szFile) && szFile[0] != '*')
    {
        snprintf(log.Filename, sizeof(log.Filename), "%s", szFile);
    }
    else
    {
        char szDir[512];
        char szName[512];
        if (COsFile::GetCurrentDir(szDir, sizeof(szDir)) != OS_STS_OK)
        {
            szDir[0] = 0;
        }
        snprintf(szName, sizeof(szName), "%s.%s", szType, plogtype->szExtension);
        COsFile::PathSet(log.Filename, sizeof(log.Filename), szDir);
        COsFile::PathAppend(log.Filename, sizeof(log.Filename), szName);
        COsLocale::CopyStringFromUtf8(log.Filename, sizeof(log.Filename), log.Filename);
    }
    const char *szDescription = word(5);
    const char *szSaveImages = word(6);
    if (!DatWordMissing(szDescription))
    {
        snprintf(log.Description, sizeof(log.Description), "%s", szDescription);
    }
    if (!DatWordMissing(szSaveImages))
    {
        log.SaveImages = !strcasecmp(szSaveImages, "true") ? 1 : 0;
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_LOG, MSG_GET, &log, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    TWAINLOG("  LogType........%d", log.LogType);
    TWAINLOG("  DeviceType.....%d", log.DeviceType);
    TWAINLOG("  Filename.......<%.*s>", static_cast<int>(sizeof(log.Filename)), log.Filename);
    TWAINLOG("  Description....<%.*s>", static_cast<int>(sizeof(log.Description)), log.Description);
    TWAINLOG("  SaveImages.....%d", log.SaveImages);
    return TWRC_SUCCESS;
}
