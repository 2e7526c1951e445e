// simsession.h
//
// One application's connection to a simulated source, from MSG_OPENDS to
// MSG_CLOSEDS: the TWAIN state 4 to 7, the last condition code, the
// capabilities, the feeder and the batch of images, the transfer in progress,
// the pending device events and the faults to inject. Every triplet the
// application sends reaches it through the dispatch table (simdispatch.cpp).
// All members run under the source's lock.

#ifndef DRAVO_SIMSESSION_H
#define DRAVO_SIMSESSION_H

#include "simconfig.h"
#include "simdevice.h"
#include "simimage.h"
#include "simjournal.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

class CSimSource;

// An event the worker sends once its delay has passed.
struct SimEvent
{
    TW_UINT32      m_u32AppId = 0;
    TW_UINT16      m_u16Msg = MSG_NULL;
    std::uint64_t  m_u64Generation = 0;   // the enable it belongs to (0: none)
    bool           m_blBuiltIn = false;   // the source's own (not configured)
    TW_DEVICEEVENT m_twdeviceevent;
};

class CSimSession
{
public:
    CSimSession(CSimSource& a_source, const TW_IDENTITY& a_twidentityApp, const TW_IDENTITY& a_twidentityDs, const SimConfig& a_config);

    // One triplet; returns the return code and keeps the condition code.
    // Fills the journal record's data and container fields.
    TW_UINT16 Dispatch(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);

    int  GetState() const { return m_iState; }
    TW_UINT16 GetCondition() const { return m_u16Cc; }
    void SetCondition(TW_UINT16 a_u16Cc) { m_u16Cc = a_u16Cc; }
    const TW_IDENTITY& AppIdentity() const { return m_twidentityApp; }
    const TW_IDENTITY& DsIdentity() const { return m_twidentityDs; }
    const SimConfig& Config() const { return m_config; }

    // The worker's event is due: whether to send it (and the state it moves);
    // without a DSM callback the event waits for DAT_EVENT instead.
    bool PrepareEvent(SimEvent& a_event, bool a_blCallback);
    // The DSM did not deliver the event just prepared: what it changed is
    // taken back, unless the application moved the session on meanwhile.
    void EventRefused(const SimEvent& a_event);

    // Posts the events configured for a trigger.
    void Trigger(ESimTrigger a_eTrigger);

    // The fault for this triplet, when one is due (counts the match).
    const SimFault* MatchFault(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat, TW_UINT16 a_u16Msg, TW_MEMREF a_pData);
    void SetActiveFault(const SimFault* a_pfault) { m_pfaultActive = a_pfault; }
    // A native transfer answered TWRC_CANCEL delivers no image: the handle
    // it made is freed and the application's own value put back.
    void WithdrawNativeImage(TW_MEMREF a_pData, void* a_pvBefore);

    // The data argument types this session answers (CAP_SUPPORTEDDATS).
    bool Supports(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat) const;

    // Handlers, one per data argument type (simsession.cpp, simxfer.cpp).
    TW_UINT16 DatCapability(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatEvent(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatPendingXfers(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatSetupMemXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatSetupFileXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatStatus(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatUserInterface(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatXferGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatCustomDsData(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatDeviceEvent(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatFileSystem(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatIdentity(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageInfo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageLayout(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageNativeXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageMemXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageMemFileXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatImageFileXfer(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatExtImageInfo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    // Control triplets: colour learning, calibration, ECDO, firmware, ICC profile.
    TW_UINT16 DatAutoColorLearn(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatCalibrate(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatEcdo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatFirmwareDownload(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatIccProfile(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
private:
    TW_UINT16 m_u16CalibrationType = 0;   // the last calibration started (simcontrol.cpp)
public:

    // Transfers: profiles, user interface, UTC, windows, transfer groups
    // (simcustom.cpp).  The maker's own triplets and messages are answered
    // by a source that claims the custom data group; the others answer them
    // TWCC_BADPROTOCOL.
    bool IsCustom() const { return (m_twidentityDs.SupportedGroups & DG_CUSTOM) != 0; }
    TW_UINT16 DatProfiles(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatUtc(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatWindow(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 CustomUserInterface(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 CustomXferGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData);

    // Device triplets: meters, custom data, device information, log, buttons,
    // override, pass-through, raw status.
    // (simdevice.cpp, DatLog simdevicelog.cpp; all but DAT_PASSTHRU/MSG_PASSTHRU
    // are the ZAV source's.)
    TW_UINT16 DatConsumableMeters(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatCustomDsDataGroup(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatDeviceInfo(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatLog(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatMeters(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatOcpButtons(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatOverride(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatStatusRaw(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    TW_UINT16 DatPassThru(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);
    // Reads in states 4 to 7, sets and resets in state 4 (else false after
    // failing with TWCC_SEQERROR).
    bool DeviceGuard(TW_UINT16 a_u16Msg);
    // True for a source of the maker's family (it announces DG_CUSTOM).
    bool Maker() const { return (m_twidentityDs.SupportedGroups & DG_CUSTOM) != 0; }
    // The malformed-answer fault of this triplet (eSimFaultRefuse: none) and
    // its value; "unterminated" fills a text field without terminator.
    ESimFaultAction DeviceFault(std::int64_t& a_i64Value, std::int64_t a_i64Default) const;
    void DeviceUnterminated(char* a_sz, std::size_t a_uSize) const;
    SimDeviceState m_device;

    // TWAIN Direct.
    TW_UINT16 DatTwainDirect(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);


private:
    // One image of the batch.
    struct Slot
    {
        int  m_iCamera = -1;       // camera index (camera profile), -1 otherwise
        int  m_iSide = TWCS_TOP;
        bool m_blNewSheet = true;  // the first image of its sheet
        bool m_blConsumes = false; // ending it takes a sheet from the feeder
    };
    // An open DAT_FILESYSTEM listing.
    struct Listing
    {
        std::size_t m_uCount = 0;     // cameras 0 to m_uCount - 1
        std::size_t m_uNext = 0;
    };

    TW_UINT16 Fail(TW_UINT16 a_u16Cc);
    TW_UINT16 Succeed(TW_UINT16 a_u16Rc = TWRC_SUCCESS);
    bool InState(int a_iLow, int a_iHigh) const { return m_iState >= a_iLow && m_iState <= a_iHigh; }
    bool Protocol(int a_iAtLeast) const;
    bool IsCameraSource() const { return m_config.m_profile.m_blFileSystem; }

    // Capabilities.
    bool Negotiable(TW_UINT16 a_u16Cap);   // may be set and reset in this state
    bool LiveValue(TW_UINT16 a_u16Cap, std::vector<SimItem>& a_aitem);
    TW_UINT16 AnswerContainer(pTW_CAPABILITY a_ptwcap, const SimContainer& a_con);
    // The bytes a container's header says it holds, its header read only
    // within the a_uBlock bytes of its block (a header that does not fit
    // claims the whole header).
    static std::size_t ContainerBytes(const unsigned char* a_pu8, std::size_t a_uBlock, TW_UINT16 a_u16ConType);
    // A lenient capability: MSG_SET keeps whatever container arrives (of the
    // four container types) and the reads answer it back as it came, until a
    // reset.  True when the request was handled so.
    bool LenientSet(TW_UINT16 a_u16Cap, TW_UINT16 a_u16ConType, const unsigned char* a_pu8);
    bool LenientAnswer(pTW_CAPABILITY a_ptwcap, TW_UINT16 a_u16Msg, TW_UINT16& a_u16Rc);

    // Memory of the application (through the DSM's functions when given).
    TW_HANDLE Alloc(std::size_t a_uBytes);
    bool UsesDsmMemory() const;
    void*     Lock(TW_HANDLE a_h);
    void      Unlock(TW_HANDLE a_h);
    // The bytes of the block an application sent behind a_h (locked at
    // a_pv); SIZE_MAX when nothing can tell.
    std::size_t BlockBytes(TW_HANDLE a_h, const void* a_pv) const;
    // True when that block holds the a_uClaimed bytes the application says
    // it holds; otherwise the call's journal line notes the shortfall.
    bool BlockHolds(TW_HANDLE a_h, const void* a_pv, std::size_t a_uClaimed, SimJournalCall& a_call) const;

    // Batch and transfers (simxfer.cpp).
    bool BuildBatch();
    void ClearBatch();
    void EndCurrent(bool a_blConsume);
    SimImageParams ParamsFor(const Slot& a_slot);
    SimImageParams ParamsNow();   // settings as they stand (state 4)
    void StartImage();
    void ResetTransfer();
    TW_UINT16 XferGuard(TW_UINT16 a_u16Mech, bool a_blAllowInProgress);
    TW_UINT16 MemoryBlock(pTW_IMAGEMEMXFER a_ptwmem, bool a_blFile);
    std::size_t MinBufSize();

    // Camera names and file-system entries.
    int  FindCamera(const std::string& a_szName) const;
    std::size_t CameraCount() const;
    std::string CameraName(std::size_t a_uCamera) const;
    void FillEntry(pTW_FILESYSTEM a_ptwfs, int a_iCamera);

    CSimSource&               m_source;
    TW_IDENTITY               m_twidentityApp;
    TW_IDENTITY               m_twidentityDs;
    SimConfig                 m_config;
    CSimCaps                  m_caps;
    int                       m_iState = 4;
    TW_UINT16                 m_u16Cc = TWCC_SUCCESS;
    std::uint64_t             m_u64Generation = 0;   // advanced by every enable and disable
    bool                      m_blShowUI = false;
    bool                      m_blUiOnly = false;

    // What the last event sent changed, for EventRefused.
    struct EventUndo
    {
        bool          m_blValid = false;
        std::uint64_t m_u64Generation = 0;
        int           m_iStateBefore = 0;
        int           m_iStateAfter = 0;
        std::uint32_t m_u32NextDocument = 0;
        std::uint32_t m_u32NextPage = 0;
        std::size_t   m_uDeviceEvents = 0;   // queued device events after it
    };
    EventUndo                 m_eventundo;

    // Feeder and batch.
    int                       m_iSheets = 0;          // sheets (captures) left
    std::deque<Slot>          m_aslot;                // images of the batch still to end
    std::uint32_t             m_u32NextDocument = 1;
    std::uint32_t             m_u32NextPage = 1;
    SimImageParams            m_paramsCurrent;        // the image of m_aslot.front()

    // Transfer in progress (state 7).
    TW_UINT16                 m_u16XferDat = 0;       // the transfer that began the image
    bool                      m_blXferDone = false;
    std::int64_t              m_i64RowsDone = 0;      // rows (bands of tiles) sent
    std::int64_t              m_i64TileX = 0;         // the next tile's column in its band
    std::int64_t              m_i64BandRows = 0;      // the rows of the band's tiles
    std::uint64_t             m_u64Sent = 0;          // the bytes of the image sent
    std::int64_t              m_i64SwapFirst = 0;     // the fault swap: the band owed next,
    std::int64_t              m_i64SwapResume = 0;    // and where the rows go on after it (0: none)
    std::vector<unsigned char> m_au8Encoded;          // compressed data or a file in memory
    std::size_t               m_uEncodedDone = 0;

    // Set-up and other device data.
    std::string               m_szFileName;
    TW_UINT32                 m_u32XferGroup = DG_IMAGE;
    std::deque<TW_DEVICEEVENT> m_adeviceevent;        // waiting for DAT_DEVICEEVENT
    std::deque<TW_UINT16>     m_au16Waiting;          // events for DAT_EVENT (no callback)
    std::map<std::uintptr_t, Listing> m_maplisting;
    std::uintptr_t            m_uNextListing = 1;

    // Containers kept as sent by lenient capabilities: the container type
    // and the bytes.
    std::map<TW_UINT16, std::pair<TW_UINT16, std::vector<unsigned char>>> m_mapLenient;

    // The maker's setting profiles (simcustom.cpp).
    struct Profile
    {
        TW_UINT16   m_u16Value = 0;
        std::string m_szName;
        std::string m_szFilename;
        std::string m_szSettings;
        bool        m_blReadonly = false;
        bool        m_blShared = false;
    };
    std::vector<Profile>      m_aprofile;
    std::size_t               m_uProfileCurrent = 0;
    TW_UINT16                 m_u16ProfileNext = 2;
    void ProfilesInit();
    int  FindProfile(const std::string& a_szName) const;
    // The current settings under a name (a new profile when none has it),
    // which becomes current; false for a read-only profile.
    bool SaveProfileAs(const std::string& a_szName);

    // Fault injection.
    std::vector<SimFault>     m_afault;
    std::vector<std::uint32_t> m_au32Seen;
    std::vector<std::uint32_t> m_au32Fired;
    const SimFault*           m_pfaultActive = nullptr;
};

#endif // DRAVO_SIMSESSION_H
