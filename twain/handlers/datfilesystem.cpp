// datfilesystem.cpp
// DAT_FILESYSTEM: list the Data Source's file system (its cameras), show the
// current entry, change the directory.
#include "ctwainimpl.h"
#include "ctwainfilewalk.h"

#include <cstdio>
#include <cstring>

namespace
{

// One entry, its fields indented by a_szIndent (texts bounded by their fields).
void ShowEntry(const TW_FILESYSTEM &a_twfs, const char *a_szIndent)
{
#define FS_TEXT(a_field) a_szIndent, static_cast<int>(sizeof(a_twfs.a_field)), a_twfs.a_field
    TWAINLOG("%sFileType...........%d", a_szIndent, static_cast<int>(a_twfs.FileType));
    TWAINLOG("%sInputName..........%.*s", FS_TEXT(InputName));
    TWAINLOG("%sCreateTimeDate.....%.*s", FS_TEXT(CreateTimeDate));
    TWAINLOG("%sModifiedTimeDate...%.*s", FS_TEXT(ModifiedTimeDate));
#undef FS_TEXT
    TWAINLOG("%sDeviceGroupMask....0x%08x", a_szIndent, static_cast<unsigned>(a_twfs.DeviceGroupMask));
    TWAINLOG("%sFreeSpace..........%d", a_szIndent, static_cast<int>(a_twfs.FreeSpace));
    TWAINLOG("%sNumberOfFiles......%d", a_szIndent, static_cast<int>(a_twfs.NumberOfFiles));
    TWAINLOG("%sNumberOfSnippets...%d", a_szIndent, static_cast<int>(a_twfs.NumberOfSnippets));
    TWAINLOG("%s", "");
}

// MSG_GETINFO and MSG_CHANGEDIRECTORY show the entry after its name.
void ShowInfo(const TW_FILESYSTEM &a_twfs)
{
    TWAINLOG("  OutputName.........%.*s", static_cast<int>(sizeof(a_twfs.OutputName)), a_twfs.OutputName);
    ShowEntry(a_twfs, "  ");
}

} // namespace

TW_UINT16 CTwainImpl::DSDatFileSystem(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    TW_FILESYSTEM twfs;
    memset(&twfs, 0, sizeof(twfs));
    if (DatWordMissing(szMsg))
    {
        CTwainFileWalk filewalk;
        CTwainFileWalk::EStep estep = filewalk.First(this, &twfs);
        for (int iIndex = 0; estep == CTwainFileWalk::FILEWALK_ENTRY; iIndex++)
        {
            TWAINLOG("%02d OutputName.........\033[1m%.*s\033[0m", iIndex, static_cast<int>(sizeof(twfs.OutputName)),
                     twfs.OutputName);
            ShowEntry(twfs, "   ");
            estep = filewalk.Next(this, &twfs);
        }
        switch (estep)
        {
            case CTwainFileWalk::FILEWALK_END:
                return TWRC_SUCCESS;
            case CTwainFileWalk::FILEWALK_AGAIN:
                TWAINLOG("*** %.*s listed again, the listing ends ***", static_cast<int>(sizeof(twfs.OutputName)),
                         twfs.OutputName);
                break;
            case CTwainFileWalk::FILEWALK_TOOMANY:
                TWAINLOG("*** more than %d entries, the listing ends ***", TWAINIMPL_FILEWALK);
                break;
            default:
                DatPrintStatus(filewalk.Rc());
                return TWRC_FAILURE;
        }
        // The source answered success, but the listing did not reach its
        // end: a failure for the script tests.
        m_twrcLast = TWRC_FAILURE;
        m_twccLast = TWCC_SUCCESS;
        return TWRC_FAILURE;
    }
    if (DatWord(szMsg, "msg_getinfo", "info") || DatWord(szMsg, "get", nullptr))
    {
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfs, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            DatPrintStatus(twrc);
            return TWRC_FAILURE;
        }
        ShowInfo(twfs);
        return TWRC_SUCCESS;
    }
    if (DatWord(szMsg, "msg_changedirectory", "cd") || DatWord(szMsg, "set", nullptr))
    {
        const char *szName = a_aszWords[2] ? a_aszWords[2] : "";
        snprintf(twfs.InputName, sizeof(twfs.InputName), "%s", szName); // cut to the field
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, &twfs, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            TWAINLOG("*** unrecognized name...%s ***", szName);
            DatPrintStatus(twrc);
            return TWRC_FAILURE;
        }
        ShowInfo(twfs);
        return TWRC_SUCCESS;
    }
    return DatUnrecognized(szMsg);
}
