// datpassthru.cpp
// DAT_PASSTHRU: raw commands to the device: a task (text or file), the
// inquiry, and the READ(10) of the device's meters.
#include "ctwainimpl.h"

#include <cstring>

namespace
{

const TW_UINT32 s_u32ReplySize = 1048576;
// The largest command file read.
const uint64_t s_u64CommandFileMax = 16ULL << 20;

// A big-endian number of a_iBytes bytes.
int32_t BigEndian(const uint8_t *a_pu8, int a_iBytes)
{
    uint32_t u32 = 0;
    for (int ii = 0; ii < a_iBytes; ii++)
    {
        u32 = (u32 << 8) | a_pu8[ii];
    }
    return static_cast<int32_t>(u32);
}

} // namespace

TW_UINT16 CTwainImpl::DSDatPassThru(const char *const *a_aszWords)
{
    const char *szMsg = a_aszWords[1];
    bool blPassThru = szMsg && !strcasecmp(szMsg, "msg_passthru");
    bool blInquiry = szMsg && !strcasecmp(szMsg, "msg_getinquiry");
    TW_PASSTHRU twpassthru;
    memset(&twpassthru, 0, sizeof(twpassthru));
    if (blPassThru || blInquiry)
    {
        if (blPassThru && DatWordMissing(a_aszWords[2]))
        {
            TWAINLOG("Must supply a task or a filename container a task...");
            return TWRC_FAILURE;
        }
        // One byte more than announced keeps the reply terminated.
        char *szReply = g_posmem ? static_cast<char *>(g_posmem->Alloc(s_u32ReplySize + 1, __FILE__, __LINE__)) : nullptr;
        if (!szReply)
        {
            OSLOG_ERROR("OsMemAlloc failed...");
            return TWRC_FAILURE;
        }
        // The task: a file of that name (a regular file of at most 16 MiB:
        // anything else of that name is refused), or the word itself.
        char *szFile = nullptr;
        uint64_t u64FileSize = 0;
        if (blPassThru)
        {
            if (COsFile::Exists(a_aszWords[2]) &&
                COsFile::ReadFile(a_aszWords[2], &szFile, false, 0, &u64FileSize, 0, s_u64CommandFileMax) != OS_STS_OK)
            {
                g_posmem->Free(szReply, __FILE__, __LINE__);
                TWAINLOG("Must supply a task or a filename container a task...");
                return TWRC_FAILURE;
            }
            if (szFile)
            {
                twpassthru.pCommand = szFile;
                twpassthru.CommandBytes = u64FileSize;
            }
            else
            {
                twpassthru.pCommand = const_cast<char *>(a_aszWords[2]);
                twpassthru.CommandBytes = strlen(a_aszWords[2]) + 1;
            }
        }
        twpassthru.Direction = blPassThru ? TWDR_SET : TWDR_GET;
        twpassthru.pData = szReply;
        twpassthru.DataBytes = s_u32ReplySize;
        TW_UINT16 twrc =
            DsmEntry(DG_CONTROL, DAT_PASSTHRU, blPassThru ? MSG_PASSTHRU : MSG_GETINQUIRY, &twpassthru, false, false);
        if (twrc == TWRC_SUCCESS)
        {
            TWAINLOG("%s", szReply);
        }
        if (szFile)
        {
            g_posmem->Free(szFile, __FILE__, __LINE__);
        }
        g_posmem->Free(szReply, __FILE__, __LINE__);
        return (twrc == TWRC_SUCCESS) ? TWRC_SUCCESS : DatPrintStatus(twrc);
    }

    // The meters inquiry: a READ(10) of 30 bytes.
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    uint8_t au8Command[10] = {0x28, 0x00, 0x80, 0x00, 0x53, 0x4D, 0x00, 0x00, 0x1E, 0x00};
    uint8_t au8Reply[30];
    memset(au8Reply, 0, sizeof(au8Reply));
    twpassthru.pCommand = au8Command;
    twpassthru.CommandBytes = sizeof(au8Command);
    twpassthru.Direction = TWDR_GET;
    twpassthru.pData = au8Reply;
    twpassthru.DataBytes = sizeof(au8Reply);
    TW_UINT16 twrc;
    try
    {
        twrc = DsmEntry(DG_CONTROL, DAT_PASSTHRU, MSG_GET, &twpassthru, false, false);
    }
    catch (...)
    {
        TWAINLOG("Exception thrown on MSG_GET attempt...");
        return TWRC_FAILURE;
    }
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    TWAINLOG("  pSizeOf_ScsiMeters.......%d", BigEndian(au8Reply + 0, 4));
    TWAINLOG("  pPowerOnMeter............%d", BigEndian(au8Reply + 4, 4));
    TWAINLOG("  pTransportPowerOnMeter...%d", BigEndian(au8Reply + 8, 4));
    TWAINLOG("  pPageCountMeter..........%d", BigEndian(au8Reply + 12, 4));
    TWAINLOG("  pHour....................%d", au8Reply[16]);
    TWAINLOG("  pMinute..................%d", au8Reply[17]);
    TWAINLOG("  pMonth...................%d", au8Reply[18]);
    TWAINLOG("  pDay.....................%d", au8Reply[19]);
    TWAINLOG("  pYear....................%d", BigEndian(au8Reply + 20, 2));
    TWAINLOG("  pFrontLampTime...........%d", BigEndian(au8Reply + 22, 4));
    TWAINLOG("  pRearLampTime............%d", BigEndian(au8Reply + 26, 4));
    return TWRC_SUCCESS;
}
