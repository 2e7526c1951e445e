// datocpbuttons.cpp
// DAT_OCPBUTTONS (DG_CONTROL 0x800E): the buttons of the device's operator
// control panel: read the first one's field count, or send up to 20 buttons.
#include "ctwainimpl.h"

#include <cstdlib>
#include <cstring>

namespace
{

#pragma pack(push, 2)
struct twocpbutton
{
    char Text[256];
    TW_UINT32 NumDataFields;    // bit 0: the first value; bit 1: the second text and value
    TW_UINT32 Value1;
    char Text2[256];
    TW_UINT32 Value2;
    TW_UINT8 Reserved[248];
};
#pragma pack(pop)
static_assert(sizeof(twocpbutton) == 784 && offsetof(twocpbutton, Value2) == 528, "twocpbutton");

const int s_iButtons = 20;

// One operand "fields,text[,value1][,text2,value2]" into a record; fields
// the operand lacks stay zero.
void ButtonFromWord(const char *a_szWord, twocpbutton *a_pbutton)
{
    char szWord[1024];
    snprintf(szWord, sizeof(szWord), "%s", a_szWord);
    char *szContext = nullptr;
    const char *szField = COsString::SStrTok(szWord, ",", &szContext);
    if (!szField)
    {
        return;
    }
    a_pbutton->NumDataFields = strtoul(szField, nullptr, 10);
    if ((szField = COsString::SStrTok(nullptr, ",", &szContext)) == nullptr)
    {
        return;
    }
    snprintf(a_pbutton->Text, sizeof(a_pbutton->Text), "%s", szField);
    if ((a_pbutton->NumDataFields & 1) && (szField = COsString::SStrTok(nullptr, ",", &szContext)) != nullptr)
    {
        a_pbutton->Value1 = strtoul(szField, nullptr, 10);
    }
    if ((a_pbutton->NumDataFields & 2) && (szField = COsString::SStrTok(nullptr, ",", &szContext)) != nullptr)
    {
        snprintf(a_pbutton->Text2, sizeof(a_pbutton->Text2), "%s", szField);
        if ((szField = COsString::SStrTok(nullptr, ",", &szContext)) != nullptr)
        {
            a_pbutton->Value2 = strtoul(szField, nullptr, 10);
        }
    }
}

} // namespace

TW_UINT16 CTwainImpl::DSDatOcpButtons(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    if (!szMsg || DatWord(szMsg, "msg_get", "get"))
    {
        TW_HANDLE handle = nullptr;
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_OCPBUTTONS, MSG_GET, &handle, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(handle);     // whatever came back with the refusal
            return DatPrintStatus(twrc);
        }
        // The handle is locked to read the record (a handle of C memory
        // locks to itself).
        const twocpbutton *pbutton = static_cast<const twocpbutton *>(handle ? DsMemLock(handle) : nullptr);
        if (!pbutton)
        {
            TWAINLOG("unable to lock memory...");
            DsMemFree(handle);
            return TWRC_FAILURE;
        }
        // The field count only when the block reaches it.
        TW_UINT32 u32Fields = 0;
        if (DsMemSize(handle, const_cast<twocpbutton *>(pbutton)) >= offsetof(twocpbutton, Value1))
        {
            u32Fields = pbutton->NumDataFields;
        }
        else
        {
            OSLOG_ERROR("the button block is too short for its first record...");
        }
        DsMemUnlock(handle);
        DsMemFree(handle);
        TWAINLOG("%s", "");
        TWAINLOG("      OCPButton NumDataFields...%d", static_cast<int>(u32Fields));
        return TWRC_SUCCESS;
    }
    if (!DatWord(szMsg, "msg_set", "set"))
    {
        return DatUnrecognized(szMsg);
    }
    twocpbutton *abutton =
        g_posmem ? static_cast<twocpbutton *>(g_posmem->Alloc(s_iButtons * sizeof(twocpbutton), __FILE__, __LINE__))
                 : nullptr;
    if (!abutton)
    {
        OSLOG_ERROR("OsMemAlloc failed...");
        return TWRC_FAILURE;
    }
    memset(abutton, 0, s_iButtons * sizeof(twocpbutton));
    for (int ii = 0; ii < s_iButtons && !DatWordMissing(a_aszWords[2 + ii]); ii++)
    {
        ButtonFromWord(a_aszWords[2 + ii], &abutton[ii]);
    }
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_OCPBUTTONS, MSG_SET, abutton, false, false);
    g_posmem->Free(abutton, __FILE__, __LINE__);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    return TWRC_SUCCESS;
}
