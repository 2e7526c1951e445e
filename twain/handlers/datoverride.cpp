// datoverride.cpp
// DAT_OVERRIDE (DG_CONTROL 0x900D): hand the Data Source a settings-override
// document (the built-in discovery document, or a shared block another
// program prepared), or reset the override.
#include "ctwainimpl.h"

#include <cstring>

namespace
{

#pragma pack(push, 2)
struct twoverride
{
    TW_UINT32 Length;       // bytes of the document, without a terminator
    const char *pDocument;
};
#pragma pack(pop)
static_assert(sizeof(twoverride) == 16, "twoverride");

} // namespace

TW_UINT16 CTwainImpl::DSDatOverride(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    TW_UINT16 twrc;
    if (DatWord(szMsg, "msg_reset", "reset"))
    {
        twrc = DsmEntry(DG_CONTROL, DAT_OVERRIDE, MSG_RESET, nullptr, false, false);
    }
    else if (!DatWord(szMsg, "msg_set", "set"))
    {
        return DatUnrecognized(szMsg);
    }
    else if (DatWordMissing(a_aszWords[2]))
    {
        char szDocument[512];
        COsString::SStrCpy(szDocument, sizeof(szDocument),
                           "<override>\n\t<documenttype>discovery</documenttype>\n\t<ecdo>MCDODefault</ecdo>\n</override>");
        twoverride override{strlen(szDocument), szDocument};
        twrc = DsmEntry(DG_CONTROL, DAT_OVERRIDE, MSG_SET, &override, false, false);
    }
    else
    {
        char szName[512];
        COsLocale::CopyUtf8FromString(szName, sizeof(szName), a_aszWords[2]);
        void *pvBlock = g_posmem ? g_posmem->SharedAlloc(OS_MEMSHARED_FILEREADONLY, szName, 0, __FILE__, __LINE__)
                                 : nullptr;
        OsMemSettings osmemsettings;
        memset(&osmemsettings, 0, sizeof(osmemsettings));
        // A document of at most 16 MiB (a regular file, as SharedAlloc maps);
        // anything else is refused on the console and in the services log.
        if (!pvBlock || g_posmem->GetSettings(szName, &osmemsettings) != OS_STS_OK ||
            osmemsettings.u64Size > (16ULL << 20))
        {
            OSLOG_ERROR("OsMemSharedAllocReadonly failed");
            if (pvBlock)
            {
                g_posmem->Free(pvBlock, __FILE__, __LINE__);
            }
            return DatUsage("%s", "OsMemSharedAllocReadonly failed");
        }
        twoverride override{osmemsettings.u64Size, static_cast<const char *>(pvBlock)};
        twrc = DsmEntry(DG_CONTROL, DAT_OVERRIDE, MSG_SET, &override, false, false);
        g_posmem->Free(pvBlock, __FILE__, __LINE__);
    }
    // The outcome is shown also on success.
    return DatPrintStatus(twrc);
}
