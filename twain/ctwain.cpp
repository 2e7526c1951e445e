// ctwain.cpp
// The public handle of one TWAIN connection: creates the connection, forwards
// every operation to it, and answers for a connection that could not be made.
#include "ctwain.h"

#include <new>

#include "ctwainimpl.h"

// The path taken when the connection could not be created.
#define CTWAIN_NULLIMPL()                                                                    \
    do                                                                                       \
    {                                                                                        \
        if (g_poslog)                                                                        \
        {                                                                                    \
            g_poslog->Message(__FILE__, __LINE__, OS_LOGFLAG_ASSERT, "m_ptwainimpl is null..."); \
        }                                                                                    \
    } while (0)

CTwain::CTwain(const char *a_szProtocol, const char *a_szLanguage, int a_iInstance) : m_ptwainimpl(nullptr)
{
    try
    {
        m_ptwainimpl = new CTwainImpl(a_szProtocol, a_szLanguage, a_iInstance);
    }
    catch (...)
    {
        m_ptwainimpl = nullptr;
    }
    if (m_ptwainimpl)
    {
        OSLOG_NEW(m_ptwainimpl, "CTwainImpl");
    }
}

CTwain::~CTwain()
{
    if (m_ptwainimpl)
    {
        OSLOG_DELETE(m_ptwainimpl);
        delete m_ptwainimpl;
        m_ptwainimpl = nullptr;
    }
}

ETWSTATE CTwain::GetTwState()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return ETWSTATE_NONE;
    }
    return m_ptwainimpl->GetTwState();
}

TW_IDENTITY *CTwain::GetTwIdentity()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return nullptr;
    }
    return m_ptwainimpl->GetTwIdentity();
}

char *CTwain::GetTwDsm()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return nullptr;
    }
    return m_ptwainimpl->GetTwDsm();
}

bool CTwain::DSMOpen()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return false;
    }
    return m_ptwainimpl->Command(&CTwainImpl::DSMOpen) == TWRC_SUCCESS;
}

bool CTwain::DSMSet(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return false;
    }
    return m_ptwainimpl->Command(&CTwainImpl::DSMSet, a_aszWords) == TWRC_SUCCESS;
}

bool CTwain::DSMFind(const char *a_szName)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return false;
    }
    return m_ptwainimpl->DSMFind(a_szName) == TWRC_SUCCESS;
}

void CTwain::DSMClose()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSMClose);
}

void CTwain::DSMList(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSMList, a_aszWords);
}

bool CTwain::DSIfStatus(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return false;
    }
    return m_ptwainimpl->DSIfStatus(a_aszWords, a_ptwrcLast, a_ptwccLast);
}

void CTwain::DSReturn(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->DSReturn(a_aszWords, a_ptwrcLast, a_ptwccLast);
}

bool CTwain::DSIfDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return false;
    }
    return m_ptwainimpl->DSIfDiff(a_aszWords, a_u32Level);
}

void CTwain::DSSetDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->DSSetDiff(a_aszWords, a_u32Level);
}

void CTwain::DSSetRunArgs(TW_UINT32 a_u32Level, const char *const *a_aszArgs)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->DSSetRunArgs(a_u32Level, a_aszArgs);
}

void CTwain::DSDisplay(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->DSDisplay(a_aszWords);
}

// ===========================================================================
// Data Source open and close, reset, events: DSOpen, DSClose, DSResetall,
// DSWait.  Their forwarders follow below, written with the connection's
// members in ctwainimpl_ds.cpp and ctwainimpl_events.cpp.
// ===========================================================================

void CTwain::DSOpen(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    // An empty name word opens the chosen source, as no word does.
    const char *szName = nullptr;
    if (a_aszWords && a_aszWords[0] && a_aszWords[1] && a_aszWords[1][0])
    {
        szName = a_aszWords[1];
    }
    TW_UINT16 twrc = m_ptwainimpl->Command(&CTwainImpl::DSOpen, szName);
    if (twrc == TWRC_SUCCESS)
    {
        return;
    }
    // The open kept the condition code of its failing call, or the reason
    // the program refused it.
    char szTwrc[64];
    char szTwcc[64];
    m_ptwainimpl->GetStatusStrings(twrc, m_ptwainimpl->m_twccLast.load(), szTwrc, sizeof(szTwrc), szTwcc,
                                   sizeof(szTwcc), false);
    TWAINLOG("%s/%s", szTwrc, szTwcc);
}

void CTwain::DSClose(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSClose, a_aszWords);
}

void CTwain::DSResetall()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSResetall);
}

void CTwain::DSWait(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->DSWait(a_aszWords);
}

// A member that hands the command's words to the connection's member of the
// same name; the outcome stays in the connection as its last codes (a
// command refused before any triplet leaves a failure, CTwainImpl::Command).
#define CTWAIN_FORWARD_WORDS(a_member)                                                                                 \
    void CTwain::a_member(const char *const *a_aszWords)                                                               \
    {                                                                                                                  \
        if (!m_ptwainimpl)                                                                                             \
        {                                                                                                              \
            CTWAIN_NULLIMPL();                                                                                         \
            return;                                                                                                    \
        }                                                                                                              \
        m_ptwainimpl->Command(&CTwainImpl::a_member, a_aszWords);                                                      \
    }

// Control handlers.
CTWAIN_FORWARD_WORDS(DSDatAutoColorLearn)
CTWAIN_FORWARD_WORDS(DSDatCalibrate)
CTWAIN_FORWARD_WORDS(DSDatCapability)
CTWAIN_FORWARD_WORDS(DSDatEcdo)
CTWAIN_FORWARD_WORDS(DSDatFirmwareDownload)
CTWAIN_FORWARD_WORDS(DSDatIccProfile)
CTWAIN_FORWARD_WORDS(DSDatIdentity)

// Image information, layout, transfers, pending transfers, profiles, set-up,
// status, user interface, UTC, windows and transfer groups.
CTWAIN_FORWARD_WORDS(DSDatImageFileXfer)
CTWAIN_FORWARD_WORDS(DSDatImageInfo)
CTWAIN_FORWARD_WORDS(DSDatImageLayout)
CTWAIN_FORWARD_WORDS(DSDatImageMemFileXfer)
CTWAIN_FORWARD_WORDS(DSDatImageMemXfer)
CTWAIN_FORWARD_WORDS(DSDatImageNativeXfer)
CTWAIN_FORWARD_WORDS(DSDatPendingXfers)
CTWAIN_FORWARD_WORDS(DSDatSetupFileXfer)
CTWAIN_FORWARD_WORDS(DSDatSetupMemXfer)
CTWAIN_FORWARD_WORDS(DSDatStatus)
CTWAIN_FORWARD_WORDS(DSDatUserInterface)
CTWAIN_FORWARD_WORDS(DSDatUtc)
CTWAIN_FORWARD_WORDS(DSDatWindow)
CTWAIN_FORWARD_WORDS(DSDatXferGroup)

void CTwain::DSDatProfiles(const char *const *a_aszWords, int a_iCount)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSDatProfiles, a_aszWords, a_iCount);
}

// Extended image information and the device triplets.
CTWAIN_FORWARD_WORDS(DSDatExtImageInfo)
CTWAIN_FORWARD_WORDS(DSDatConsumableMeters)
CTWAIN_FORWARD_WORDS(DSDatCustomDsData)
CTWAIN_FORWARD_WORDS(DSDatCustomDsDataGroup)
CTWAIN_FORWARD_WORDS(DSDatDeviceInfo)
CTWAIN_FORWARD_WORDS(DSDatFileSystem)
CTWAIN_FORWARD_WORDS(DSDatLog)
CTWAIN_FORWARD_WORDS(DSDatMeters)
CTWAIN_FORWARD_WORDS(DSDatOcpButtons)
CTWAIN_FORWARD_WORDS(DSDatOverride)
CTWAIN_FORWARD_WORDS(DSDatPassThru)
CTWAIN_FORWARD_WORDS(DSDatStatusRaw)
CTWAIN_FORWARD_WORDS(DSDatTwunkIdentity)

// TWAIN Direct.
CTWAIN_FORWARD_WORDS(DSDatTwainDirect)

// The capability test engine.
CTWAIN_FORWARD_WORDS(DSGet)
CTWAIN_FORWARD_WORDS(DSReset)
CTWAIN_FORWARD_WORDS(DSCap)
CTWAIN_FORWARD_WORDS(DSDump)

// set: the capability is read back and shown after the set.
void CTwain::DSSet(const char *const *a_aszWords)
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSSet, a_aszWords, true);
}

// Probe and stress tests.
void CTwain::DSProbe()
{
    if (!m_ptwainimpl)
    {
        CTWAIN_NULLIMPL();
        return;
    }
    m_ptwainimpl->Command(&CTwainImpl::DSProbe);
}

CTWAIN_FORWARD_WORDS(TWStress)
