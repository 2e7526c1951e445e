// datcustomdsdata.cpp
// DAT_CUSTOMDSDATA: move the Data Source's settings block between the source
// and a file; and the two file helpers that dat_customdsdatagroup shares.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DatBlockToFile(TW_HANDLE a_hData, TW_UINT32 a_u32Length, const char *a_szFile)
{
    // Written beside the file, which it replaces only when complete.
    COsFile osfile;
    bool blWritten = false;
    if (osfile.OpenTemp(a_szFile) == OS_STS_OK)
    {
        const void *pv = (a_u32Length > 0) ? (a_hData ? DsMemLock(a_hData) : nullptr) : "";
        // No more than the block holds, whatever length the source claims.
        uint64_t u64Length = a_u32Length;
        size_t u64Block = (pv && a_u32Length > 0) ? DsMemSize(a_hData, const_cast<void *>(pv)) : 0;
        if (pv && a_u32Length > 0 && u64Length > u64Block)
        {
            OSLOG_ERROR("InfoLength %llu beyond the block of %zu bytes", static_cast<unsigned long long>(u64Length), u64Block);
            u64Length = u64Block;
        }
        uint64_t u64Written = 0;
        blWritten = pv && (u64Length == 0 || (osfile.Write(pv, u64Length, &u64Written) == OS_STS_OK &&
                                               u64Written == u64Length));
        if (pv && a_u32Length > 0)
        {
            DsMemUnlock(a_hData);
        }
        blWritten = blWritten && (osfile.Commit() == OS_STS_OK);
        osfile.Close();
    }
    if (!blWritten)
    {
        TWAINLOG("unable to create file...");
        return TWRC_FAILURE;
    }
    return TWRC_SUCCESS;
}

TW_HANDLE CTwainImpl::DatBlockFromFile(const char *a_szFile, TW_UINT32 *a_pu32Length)
{
    // A regular file of at most 64 MiB, read whole; anything else is refused.
    char *szFile = nullptr;
    uint64_t u64Size = 0;
    EOSSTS eossts = COsFile::ReadFile(a_szFile, &szFile, false, 0, &u64Size, 0, 64ULL << 20);
    if (eossts != OS_STS_OK)
    {
        bool blOpen = (eossts == OS_STS_FILE_NOT_FOUND) || (eossts == OS_STS_ACCESS_DENIED);
        TWAINLOG("%s", blOpen ? "unable to open file..." : "unable to read file...");
        return nullptr;
    }
    TW_HANDLE handle = DsMemAlloc(static_cast<int32_t>(u64Size));
    uint8_t *pu8 = static_cast<uint8_t *>(handle ? DsMemLock(handle) : nullptr);
    if (!pu8)
    {
        TWAINLOG("unable to allocate memory...");
        DsMemFree(handle);
        g_posmem->Free(szFile, __FILE__, __LINE__);
        return nullptr;
    }
    memcpy(pu8, szFile, static_cast<size_t>(u64Size));
    DsMemUnlock(handle);
    g_posmem->Free(szFile, __FILE__, __LINE__);
    *a_pu32Length = static_cast<TW_UINT32>(u64Size);
    return handle;
}

TW_UINT16 CTwainImpl::DSDatCustomDsData(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMsg = a_aszWords[1];
    if (DatWord(szMsg, "msg_get", "get"))
    {
        const char *szFile = DatWordMissing(a_aszWords[2]) ? nullptr : a_aszWords[2];
        TW_CUSTOMDSDATA *ptwcustomdsdata =
            g_posmem ? static_cast<TW_CUSTOMDSDATA *>(g_posmem->Alloc(262160, __FILE__, __LINE__)) : nullptr;
        if (!ptwcustomdsdata)
        {
            TWAINLOG("unable to allocate memory...");
            return TWRC_FAILURE;
        }
        memset(&m_twcustomdsdata, 0, sizeof(m_twcustomdsdata));
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, ptwcustomdsdata, false, false);
        m_twcustomdsdata.InfoLength = ptwcustomdsdata->InfoLength;
        m_twcustomdsdata.hData = ptwcustomdsdata->hData;
        g_posmem->Free(ptwcustomdsdata, __FILE__, __LINE__);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(m_twcustomdsdata.hData);     // whatever came back with the refusal
            return DatPrintStatus(twrc);
        }
        memcpy(&m_twcustomdsdataExpected, &m_twcustomdsdata, sizeof(m_twcustomdsdata));
        TWAINLOG("  hData...........%p", m_twcustomdsdata.hData);
        TWAINLOG("  InfoLength......%llu", static_cast<unsigned long long>(m_twcustomdsdata.InfoLength));
        TW_UINT16 twrcFile = szFile ? DatBlockToFile(m_twcustomdsdata.hData, m_twcustomdsdata.InfoLength, szFile)
                                    : TWRC_SUCCESS;
        DsMemFree(m_twcustomdsdata.hData);
        return twrcFile;
    }
    if (DatWord(szMsg, "msg_set", "set"))
    {
        if (DatWordMissing(a_aszWords[2]))
        {
            OSLOG_ERROR("must specify a filename...");
            return TWRC_FAILURE;
        }
        TW_UINT32 u32Length = 0;
        TW_HANDLE hData = DatBlockFromFile(a_aszWords[2], &u32Length);
        if (!hData)
        {
            return TWRC_FAILURE;
        }
        TW_CUSTOMDSDATA *ptwcustomdsdata =
            g_posmem ? static_cast<TW_CUSTOMDSDATA *>(g_posmem->Alloc(sizeof(TW_CUSTOMDSDATA), __FILE__, __LINE__))
                     : nullptr;
        if (!ptwcustomdsdata)
        {
            TWAINLOG("unable to allocate memory...");
            DsMemFree(hData);
            return TWRC_FAILURE;
        }
        ptwcustomdsdata->InfoLength = u32Length;
        ptwcustomdsdata->hData = hData;
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, ptwcustomdsdata, false, false);
        m_twcustomdsdata.InfoLength = ptwcustomdsdata->InfoLength;
        m_twcustomdsdata.hData = ptwcustomdsdata->hData;
        g_posmem->Free(ptwcustomdsdata, __FILE__, __LINE__);
        if (twrc != TWRC_SUCCESS)
        {
            DsMemFree(hData);
            return DatPrintStatus(twrc);
        }
        TWAINLOG("  hData...........%p", m_twcustomdsdata.hData);
        TWAINLOG("  InfoLength......%llu", static_cast<unsigned long long>(m_twcustomdsdata.InfoLength));
        DsMemFree(hData);
        return TWRC_SUCCESS;
    }
    return DatUnrecognized(szMsg);
}
