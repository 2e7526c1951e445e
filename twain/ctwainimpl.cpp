// ctwainimpl.cpp
// The TWAIN connection: construction and destruction, the registry of live
// connections used by the DSM callback, the TWAIN state with the terminal
// title, the item readers of capability containers, and the display command.
#include "ctwainimpl.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "clookup.h"
#if __has_include("os_cosimage.h")
#include "os_cosimage.h"
#define TWAINIMPL_HAVE_COSIMAGE 1
#endif

std::atomic<CTwainImpl *> CTwainImpl::s_ptwainimpl(nullptr);
thread_local bool CTwainImpl::s_blCallToDsm = false;
thread_local bool CTwainImpl::s_blCallCrashed = false;

// ---------------------------------------------------------------------------
// Registry of live connections
// ---------------------------------------------------------------------------
namespace
{

#define TWAINREGISTRY_SLOTS 64

struct TwainRegistry
{
    std::recursive_mutex mutex;
    // Live connections and the application identity Id each one holds from
    // the DSM (0 while the DSM is not open).
    CTwainImpl *aptwainimpl[TWAINREGISTRY_SLOTS];
    TW_UINT32 atwidApp[TWAINREGISTRY_SLOTS];
    // Ids of connections destroyed while they held one: a callback addressed
    // to them is dropped.  A ring; the oldest is forgotten first.
    TW_UINT32 atwidRetired[TWAINREGISTRY_SLOTS];
    unsigned uRetiredNext;
};

TwainRegistry &Registry()
{
    static TwainRegistry *s_ptwainregistry = new TwainRegistry(); // lives for the whole process
    return *s_ptwainregistry;
}

void RegistryForgetRetired(TwainRegistry &a_reg, TW_UINT32 a_twid)
{
    for (int ii = 0; ii < TWAINREGISTRY_SLOTS; ii++)
    {
        if (a_reg.atwidRetired[ii] == a_twid)
        {
            a_reg.atwidRetired[ii] = 0;
        }
    }
}

} // namespace

std::recursive_mutex &CTwainImpl::RegistryLock()
{
    return Registry().mutex;
}

CTwainImpl *CTwainImpl::CallbackTarget(const TW_IDENTITY *a_ptwidentityApp)
{
    TwainRegistry &reg = Registry();
    if (a_ptwidentityApp)
    {
        TW_UINT32 twid = a_ptwidentityApp->Id;
        if (twid != 0)
        {
            for (int ii = 0; ii < TWAINREGISTRY_SLOTS; ii++)
            {
                if (reg.aptwainimpl[ii] && (reg.atwidApp[ii] == twid))
                {
                    return reg.aptwainimpl[ii];
                }
            }
            for (int ii = 0; ii < TWAINREGISTRY_SLOTS; ii++)
            {
                if (reg.atwidRetired[ii] == twid)
                {
                    return nullptr;
                }
            }
        }
    }
    return s_ptwainimpl.load();
}

void CTwainImpl::RegistryNoteAppId()
{
    TwainRegistry &reg = Registry();
    std::lock_guard<std::recursive_mutex> lock(reg.mutex);
    TW_UINT32 twid = m_twidentityApp.Id;
    int iFree = -1;
    for (int ii = 0; ii < TWAINREGISTRY_SLOTS; ii++)
    {
        if (reg.aptwainimpl[ii] == this)
        {
            reg.atwidApp[ii] = twid;
            if (twid != 0)
            {
                RegistryForgetRetired(reg, twid);
            }
            return;
        }
        if (!reg.aptwainimpl[ii] && (iFree < 0))
        {
            iFree = ii;
        }
    }
    if (iFree < 0)
    {
        // More live connections than slots: this one is reached only through
        // s_ptwainimpl.
        OSLOG_ERROR("connection registry is full...");
        return;
    }
    reg.aptwainimpl[iFree] = this;
    reg.atwidApp[iFree] = twid;
    if (twid != 0)
    {
        RegistryForgetRetired(reg, twid);
    }
}

void CTwainImpl::RegistryRemove()
{
    TwainRegistry &reg = Registry();
    std::lock_guard<std::recursive_mutex> lock(reg.mutex);
    for (int ii = 0; ii < TWAINREGISTRY_SLOTS; ii++)
    {
        if (reg.aptwainimpl[ii] == this)
        {
            if (reg.atwidApp[ii] != 0)
            {
                reg.atwidRetired[reg.uRetiredNext % TWAINREGISTRY_SLOTS] = reg.atwidApp[ii];
                reg.uRetiredNext++;
            }
            reg.aptwainimpl[ii] = nullptr;
            reg.atwidApp[ii] = 0;
        }
    }
    CTwainImpl *ptwainimplSelf = this;
    s_ptwainimpl.compare_exchange_strong(ptwainimplSelf, nullptr);
}

// ---------------------------------------------------------------------------
// Small text helpers shared by the connection's sources
// ---------------------------------------------------------------------------
void TwainGroupText(TW_UINT32 a_u32Groups, char *a_szOut, size_t a_u64OutSize)
{
    if (!a_szOut || (a_u64OutSize == 0))
    {
        return;
    }
    char szGroups[64] = "";
    if (a_u32Groups & DF_DS2)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",DS2");
    }
    if (a_u32Groups & DF_APP2)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",APP2");
    }
    if (a_u32Groups & DF_DSM2)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",DSM2");
    }
    if (a_u32Groups & DG_CUSTOM)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",CUSTOM");
    }
    if (a_u32Groups & DG_AUDIO)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",AUDIO");
    }
    if (a_u32Groups & DG_IMAGE)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",IMAGE");
    }
    if (a_u32Groups & DG_CONTROL)
    {
        COsString::SStrCat(szGroups, sizeof(szGroups), ",CONTROL");
    }
    a_szOut[0] = 0;
    if (szGroups[0])
    {
        TwainFieldText(szGroups + 1, sizeof(szGroups) - 1, a_szOut, a_u64OutSize);
    }
}

TwainInt::TwainInt(TW_INT32 a_i64Field)
{
    if (a_i64Field >= INT32_MIN && a_i64Field <= INT32_MAX)
        snprintf(sz, sizeof(sz), "%d", static_cast<int>(a_i64Field));
    else
        snprintf(sz, sizeof(sz), "%lld", static_cast<long long>(a_i64Field));
}

TwainInt::TwainInt(TW_UINT32 a_u64Field)
{
    if (a_u64Field <= UINT32_MAX)
        snprintf(sz, sizeof(sz), "%d", static_cast<int>(static_cast<uint32_t>(a_u64Field)));
    else
        snprintf(sz, sizeof(sz), "%llu", static_cast<unsigned long long>(a_u64Field));
}

void TwainFieldText(const char *a_szField, size_t a_u64FieldSize, char *a_szOut, size_t a_u64OutSize)
{
    if (!a_szOut || (a_u64OutSize == 0))
    {
        return;
    }
    a_szOut[0] = 0;
    if (!a_szField)
    {
        return;
    }
    size_t u64Len = strnlen(a_szField, a_u64FieldSize);
    if (u64Len >= a_u64OutSize)
    {
        u64Len = a_u64OutSize - 1;
    }
    memcpy(a_szOut, a_szField, u64Len);
    a_szOut[u64Len] = 0;
}

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------
CTwainImpl::CTwainImpl(const char *a_szProtocol, const char *a_szLanguage, int a_iInstance)
    : m_blProtocol2(false),
      m_u32ProtocolMajor(0),
      m_i32ProtocolMinor(0),
      m_plookup(nullptr),
      m_posthread(nullptr),
      m_blAutoDisable(false),
      m_etwstate(ETWSTATE_NONE),
      m_twrcLast(0),
      m_twccLast(0),
      m_blLastCrashed(false),
      m_i32DiscardXferReady(0)
{
    ZeroConnection();

    // Protocol: the major number; 1 speaks 1.9 unless told otherwise, any
    // other major is protocol 2 (DF_APP2) with minor 0 unless told otherwise.
    const char *szProtocol = a_szProtocol ? a_szProtocol : "";
    m_u32ProtocolMajor = static_cast<uint32_t>(atoi(szProtocol));
    if (m_u32ProtocolMajor == 1)
    {
        m_blProtocol2 = false;
        m_i32ProtocolMinor = 9;
    }
    else
    {
        m_blProtocol2 = true;
        m_i32ProtocolMinor = 0;
    }
    const char *szPoint = strchr(szProtocol, '.');
    if (szPoint && (szPoint[1] >= '0') && (szPoint[1] <= '9'))
    {
        m_i32ProtocolMinor = atoi(szPoint + 1);
    }

    // The symbol table.
    try
    {
        m_plookup = new CLookup();
    }
    catch (...)
    {
        m_plookup = nullptr;
    }
    if (!m_plookup)
    {
        OSLOG_ASSERT("OsMemNew failed...");
    }
    else
    {
        OSLOG_NEW(m_plookup, "CLookup");
        m_blAutoDisable = true;
        m_plookup->Load();
        TW_UINT16 twlanguage = 0;
        if (a_szLanguage && m_plookup->LookupEnum("CAP_LANGUAGE", a_szLanguage, &twlanguage))
        {
            m_twlanguage = twlanguage;
        }
        else
        {
            m_twlanguage = 0xFFFF;
        }
        m_u32Instance = static_cast<uint32_t>(a_iInstance);
    }

    // Now the callback may find this connection.
    RegistryNoteAppId();
    s_ptwainimpl = this;
}

CTwainImpl::~CTwainImpl()
{
    DestroyImages();

    // From here on no callback reaches this connection: one under way has
    // finished, since it holds the registry lock.
    RegistryRemove();

    if (m_posthread)
    {
        OSLOG_DELETE(m_posthread);
        delete m_posthread;
        m_posthread = nullptr;
    }
    if (m_posfileDsm)
    {
        // A source may still be open (the shell destroys without closing):
        // it may go on calling into the DSM, so the library must stay loaded.
        // Pin it for the rest of the process before our handle goes.
        if ((GetTwState() > ETWSTATE_DSMOPEN) && m_szDsmPath[0])
        {
            void *pvLibrary = dlopen(m_szDsmPath, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            if (pvLibrary)
            {
                dlclose(pvLibrary);
            }
        }
        OSLOG_DELETE(m_posfileDsm);
        delete m_posfileDsm;
        m_posfileDsm = nullptr;
        m_pfnDsmEntryProc = nullptr;
    }
    if (m_plookup)
    {
        OSLOG_DELETE(m_plookup);
        delete m_plookup;
        m_plookup = nullptr;
    }
    DeleteImageWriter();
    ZeroConnection();
}

void CTwainImpl::DeleteImageWriter()
{
    // An image still arriving is given up (said), and its block buffer goes.
    XferFileDiscard("the transfer ended before the image did");
    if (m_pu8XferBlock && g_posmem)
        g_posmem->Free(m_pu8XferBlock, __FILE__, __LINE__);
    m_pu8XferBlock = nullptr;
#ifdef TWAINIMPL_HAVE_COSIMAGE
    if (m_posimage)
    {
        OSLOG_DELETE(m_posimage);
        delete m_posimage;
        m_posimage = nullptr;
    }
#endif
}

void CTwainImpl::ZeroConnection()
{
    memset(static_cast<CTwainImplData *>(this), 0, sizeof(CTwainImplData));
    for (int ii = 0; ii < ETWEVENT_COUNT; ii++)
    {
        m_au8Event[ii] = 0;
    }
    m_blAutoDisable = false;
    m_etwstate = ETWSTATE_NONE;
    m_twrcLast = 0;
    m_twccLast = 0;
    m_blLastCrashed = false;
    m_i32DiscardXferReady = 0;
}

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
ETWSTATE CTwainImpl::GetTwState()
{
    return static_cast<ETWSTATE>(m_etwstate.load());
}

void CTwainImpl::SetTwState(ETWSTATE a_etwstate)
{
    m_etwstate = a_etwstate;
    ShowTitle(a_etwstate);
}

void CTwainImpl::ShowTitle(ETWSTATE a_etwstate)
{
    char szTitle[128];
    if (a_etwstate > ETWSTATE_DSMOPEN)
    {
        snprintf(szTitle, sizeof(szTitle), "Dravo (%s,%u): %.*s", "64-bit", static_cast<unsigned>(a_etwstate), 32,
                 m_twidentityDs.ProductName);
    }
    else
    {
        snprintf(szTitle, sizeof(szTitle), "Dravo (%s,%u)", "64-bit", static_cast<unsigned>(a_etwstate));
    }
    fprintf(stderr, "\033]2;%s\007", szTitle);
    fflush(stderr);
}

TW_IDENTITY *CTwainImpl::GetTwIdentity()
{
    return &m_twidentityDs;
}

char *CTwainImpl::GetTwDsm()
{
    return m_szTwDsm;
}

// ---------------------------------------------------------------------------
// Item readers
// ---------------------------------------------------------------------------
int32_t CTwainImpl::GetIntFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index)
{
    const uint8_t *pu8 = static_cast<const uint8_t *>(a_pvItems);
    size_t u64Index = a_u32Index;
    switch (a_twty)
    {
        case TWTY_INT8:
            return static_cast<int8_t>(pu8[u64Index]);
        case TWTY_UINT8:
            return pu8[u64Index];
        case TWTY_INT16:
        {
            int16_t i16 = 0;
            memcpy(&i16, pu8 + (u64Index * 2), sizeof(i16));
            return i16;
        }
        case TWTY_UINT16:
        case TWTY_BOOL:
        {
            uint16_t u16 = 0;
            memcpy(&u16, pu8 + (u64Index * 2), sizeof(u16));
            return u16;
        }
        case TWTY_INT32:
        case TWTY_UINT32:
        {
            // The low half of the 8-byte item.
            uint32_t u32 = 0;
            memcpy(&u32, pu8 + (u64Index * 8), sizeof(u32));
            return static_cast<int32_t>(u32);
        }
        default:
            OSLOG_ERROR("Bad TWTY_0x%x", static_cast<unsigned>(a_twty));
            return 0;
    }
}

void CTwainImpl::GetStringFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index, char *a_szOut,
                                   size_t a_u64OutSize)
{
    switch (a_twty)
    {
        case TWTY_STR32:
        case TWTY_STR64:
        case TWTY_STR128:
        case TWTY_STR255:
        case TWTY_STR1024:
        {
            size_t u64Width = TwItemSize(a_twty);
            const char *szItem = static_cast<const char *>(a_pvItems) + (u64Width * a_u32Index);
            TwainFieldText(szItem, u64Width, a_szOut, a_u64OutSize);
            return;
        }
        default:
            OSLOG_ERROR("Bad TWTY_0x%x", static_cast<unsigned>(a_twty));
            return;
    }
}

void CTwainImpl::GetFrameAngleFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index,
                                       TW_FRAMEANGLE *a_ptwframeangle)
{
    if (!a_ptwframeangle)
    {
        return;
    }
    const uint8_t *pu8 = static_cast<const uint8_t *>(a_pvItems);
    switch (a_twty)
    {
        case TWTY_FRAME:
            memcpy(&a_ptwframeangle->Frame, pu8 + (sizeof(TW_FRAME) * a_u32Index), sizeof(TW_FRAME));
            TwSetI32(reinterpret_cast<uint8_t *>(a_ptwframeangle) + offsetof(TW_FRAMEANGLE, Angle), 0);
            return;
        case TWTY_FRAMEANGLE:
            memcpy(a_ptwframeangle, pu8 + (sizeof(TW_FRAMEANGLE) * a_u32Index), sizeof(TW_FRAMEANGLE));
            return;
        default:
            OSLOG_ERROR("Bad TWTY_0x%x", static_cast<unsigned>(a_twty));
            return;
    }
}

double CTwainImpl::GetDoubleFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index)
{
    if (a_twty != TWTY_FIX32)
    {
        OSLOG_ERROR("Bad TWTY_0x%x", static_cast<unsigned>(a_twty));
        return 0.0;
    }
    const uint8_t *pu8 = static_cast<const uint8_t *>(a_pvItems);
    return TwFix32ToDouble(TwGetFix32(pu8 + (sizeof(TW_FIX32) * a_u32Index)));
}

// ---------------------------------------------------------------------------
// Images and display settings
// ---------------------------------------------------------------------------
void CTwainImpl::DisplayImage(TW_SETUPFILEXFER *a_ptwsetupfilexfer)
{
    // No image viewer on this platform.
    (void)a_ptwsetupfilexfer;
}

void CTwainImpl::DestroyImages()
{
    // No image viewer on this platform.
}

void CTwainImpl::DSDisplay(const char *const *a_aszWords)
{
    if (a_aszWords && a_aszWords[0] && a_aszWords[1])
    {
        if (a_aszWords[1][0])
        {
            m_iImageCount = atoi(a_aszWords[1]);
        }
        if (a_aszWords[2] && a_aszWords[2][0])
        {
            m_iImageSizePercent = atoi(a_aszWords[2]);
        }
    }
    TWAINLOG("Images..............%d", m_iImageCount);
    TWAINLOG("Image Size (%%)......%d", m_iImageSizePercent);
}
