// ctwainimpl.h
// CTwainImpl: one TWAIN application connection.
//
// It owns the loaded Data Source Manager (DSM) library and its entry point,
// the application identity and the identity of the chosen Data Source, the
// list of Data Sources, the TWAIN state, the event flags set by the DSM
// callback, the last return and condition codes, and, for every TWAIN
// structure that scripts can test, a last-received copy and an expected
// copy.  Every handler of the engine and of the capability tests is a member
// of this class; the members are spread over several sources by topic:
//   ctwainimpl.cpp           construction, state and title, item readers, display
//   ctwainimpl_dsm.cpp       DSM loading, the entry call, source list and choice
//   ctwainimpl_status.cpp    code names, status tests, forced codes
//   ctwainimpl_diff.cpp      expected values, difference tests, run arguments
//   ctwainimpl_ds.cpp        Data Source open and close, cameras, roll-back, reset
//   ctwainimpl_events.cpp    the DSM callback, events and waiting
//   ctwainimpl_memory.cpp    memory handles exchanged with the Data Source
//
// One object is about 10 MB (the profile tables): always create it with new.
#ifndef DRAVO_CTWAINIMPL_H
#define DRAVO_CTWAINIMPL_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "osservices.h"
#include "twaindefs.h"
#include "ctwain.h"
#include "clog.h"
#include "ctwainfilewalk.h"

// One plain test-log line (not recorded, severity 1), when the log exists.
#define TWAINLOG(...) \
    do { if (g_plog) g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, __VA_ARGS__); } while (0)

class CLookup;
class COsImage;
struct TwLookup;

// The path of the DSM library this executable loads.  Defined by dsmpath.cpp,
// which each executable compiles with its own DRAVO_DSM_PATH (the test
// programs define it in their support sources).
const char *DravoDsmPath();

// ---------------------------------------------------------------------------
// Records of this program's Data Sources kept by the connection (2-byte
// packing like every TWAIN structure of this build).
// ---------------------------------------------------------------------------
#pragma pack(push, 2)

// DAT_CALIBRATE: a calibration type and 1,024 bytes the program does not read.
struct twcalibrate
{
    TW_UINT16 CalibrationType;
    TW_UINT8 Reserved[1024];
};

// One entry of DAT_CONSUMABLEMETERS (552 bytes).
struct twconsumablemeterinfo
{
    TW_UINT32 MeterType;        // the program writes and reads the low 16 bits
    TW_UINT32 FieldFlags;
    TW_UINT32 Frequency;
    TW_UINT32 LastReset;
    TW_UINT32 Reminder;
    TW_UINT8 Reserved[512];
};

// The kept copy of DAT_CONSUMABLEMETERS: the count and the first entries
// (35,328 bytes; a record the program sends has room for 65 entries).
#define TWCONSUMABLEMETERS_SENDSIZE 35888
struct twconsumablemeters
{
    TW_UINT32 Count;
    twconsumablemeterinfo Meter[63];
    TW_UINT8 Rest[544];
};

// DAT_CUSTOMDSDATAGROUP.
struct twcustomdsdatagroup
{
    TW_UINT32 InfoLength;
    TW_HANDLE hData;
    TW_UINT16 Group;            // 1 IA printer, 2 no IA printer, 4 sort barcode
    TW_UINT8 Reserved[1030];
};

// DAT_DEVICEINFO.
struct twdeviceinfo
{
    TW_UINT32 dwFields;
    TW_UINT32 dwModelNumber;
    TW_STR255 szModelName;
    TW_STR255 szProtocol;
    TW_STR255 szDeviceName;
    TW_UINT32 dwHostAdapter;
    TW_UINT32 dwTarget;
    TW_STR255 szDeviceChange;
    TW_UINT32 dwFirmware;
    TW_STR255 szDriverFilename;
    TW_UINT32 dwSorterFlags;
    TW_UINT8 Reserved[64992];
};

// One DAT_PROFILES record.
struct twprofile
{
    TW_UINT16 ProfilesValue;    // 0xFFFF ends a list
    TW_STR255 szFamily;
    TW_STR255 szId;
    TW_STR255 szEnglish;
    TW_STR255 szCurrent;
    TW_UINT8 Gap1[6];
    TW_UINT32 Group;
    TW_UINT16 Readonly;
    TW_UINT16 Default;
    TW_UINT8 Gap2[4];
    TW_UINT32 DriverVersion;
    TW_STR255 szMethod;         // written only by the expected-value target
    TW_STR255 szName;
    TW_STR255 szFilename;
    TW_UINT16 blSharedSettings;
    TW_UINT16 ProfileState;     // 0 normal, 1 current, 2 modified
    TW_UINT8 Reserved[508];
};

#pragma pack(pop)

static_assert(sizeof(twcalibrate) == 1026, "twcalibrate");
static_assert(sizeof(twconsumablemeterinfo) == 552, "twconsumablemeterinfo");
static_assert(sizeof(twconsumablemeters) == 35328, "twconsumablemeters");
static_assert(8 + 65 * sizeof(twconsumablemeterinfo) == TWCONSUMABLEMETERS_SENDSIZE, "consumable meters sent");
static_assert(sizeof(twcustomdsdatagroup) == 1048, "twcustomdsdatagroup");
static_assert(offsetof(twcustomdsdatagroup, Group) == 16, "twcustomdsdatagroup.Group");
static_assert(sizeof(twdeviceinfo) == 66320, "twdeviceinfo");
static_assert(offsetof(twdeviceinfo, dwSorterFlags) == 1320, "twdeviceinfo.dwSorterFlags");
static_assert(sizeof(twprofile) == 2336, "twprofile");
static_assert(offsetof(twprofile, Group) == 1032 && offsetof(twprofile, Readonly) == 1040, "twprofile fields");
static_assert(offsetof(twprofile, Default) == 1042 && offsetof(twprofile, DriverVersion) == 1048, "twprofile fields");
static_assert(offsetof(twprofile, szMethod) == 1056 && offsetof(twprofile, szName) == 1312, "twprofile fields");
static_assert(offsetof(twprofile, szFilename) == 1568 && offsetof(twprofile, blSharedSettings) == 1824, "twprofile fields");
static_assert(offsetof(twprofile, ProfileState) == 1826, "twprofile fields");

// Sizes of the connection's tables.
#define TWAINIMPL_DSLIST        64      // entries of the Data Source list
#define TWAINIMPL_RUNARGLEVELS  64      // run-argument records (script levels)
#define TWAINIMPL_PROFILES      2048    // profile records
#define TWAINIMPL_DSMPATH       512     // the DSM library path
#define TWAINIMPL_IMAGEREPORT   8192    // the image report text

// Whether an entry call records its codes as the last return and condition
// codes (and its crash flag with them).  A read-back or a display that
// follows a command's own triplet records nothing, so that ifstatus,
// setexitstatus and return see what the command was asked to do.
enum ETWRECORD
{
    ETWRECORD_LAST = 0,                 // recorded as the last codes
    ETWRECORD_NONE = 1                  // recorded nowhere
};

// The 22 event flags, in this order.
enum ETWEVENT
{
    ETWEVENT_XFERREADY = 0,             // MSG_XFERREADY
    ETWEVENT_CLOSEDSOK = 1,             // MSG_CLOSEDSOK
    ETWEVENT_CLOSEDSREQ = 2,            // MSG_CLOSEDSREQ
    ETWEVENT_DEVICEEVENT = 3,           // any MSG_DEVICEEVENT
    ETWEVENT_TWDE_FIRST = 4,            // TWDE_ value v (0 to 16) is flag 4 + v
    ETWEVENT_TWDE_LAST = 20,
    ETWEVENT_LAMPWARMUP = 21,           // the custom device event TWDE_LAMPWARMUP
    ETWEVENT_COUNT = 22
};

// The image a memory transfer writes, as its image information described
// it (set with the image report).
struct TwXferImage
{
    int64_t i64Width;       // pixels
    int64_t i64Length;      // rows; -1 when the source does not know them
    int32_t i32Bits;        // bits per pixel
    bool blFlavorFetched;   // the script fetched TWEI_PIXELFLAVOR of this image:
    uint16_t u16Flavor;     // TWPF_CHOCOLATE or TWPF_VANILLA
    bool blFlavorRows;      // gray or bitonal rows, whose sense TWEI_PIXELFLAVOR gives
    bool blFlavorTiff;      // their TIFF is written, in the sense of
    uint16_t u16FlavorTiff; // this flavor
    uint16_t u16Compression; // what its blocks are to be compressed as
};

// What the blocks did to the transfer file: starts again whenever a
// transfer file is opened.
struct TwXferProgress
{
    int64_t i64Rows;        // the rows the blocks reached (uncompressed)
    bool blPlaced;          // rows were placed (not appended as they came)
    bool blAppended;        // data was appended as it came
    bool blMixed;           // a block of the other kind came (appended too)
    uint64_t u64TooLarge;   // the bytes of rows of an image no TIFF holds (0: none):
                            // its blocks are kept as they came, with their fields
    bool blContradicts;     // a block's Compression was not the image's,
    uint16_t u16Compression;    // the first such block's
    bool blNameByContent;   // a memory file's name takes its kind's extension
    bool blRefused;         // a block was refused while the file was open
    bool blEmpty;           // a block of data kept as it came wrote nothing before the end
    uint8_t au8Head[16];    // the first bytes written, u32Head of them
    uint32_t u32Head;
};

// The pixels of an image that the blocks of one transfer file covered, each
// counted once however often blocks cover it: bands of rows that share their
// covered columns.  It grows with the blocks received (whole-row blocks and
// rows of tiles keep merging into one band), never with the size an image
// claims.
class CTwainCoverage
{
public:
    void Clear();
    void Add(uint64_t a_u64X, uint64_t a_u64Y, uint64_t a_u64Columns, uint64_t a_u64Rows);
    uint64_t Pixels() const { return m_u64Pixels; }

private:
    typedef std::pair<uint64_t, uint64_t> Span;                 // [first, end)
    typedef std::vector<Span> Spans;                            // sorted, apart
    struct Band
    {
        uint64_t u64End;    // the row after the band
        Spans aspan;        // its covered columns
    };
    // Makes a_u64Row the first row of a band when a band runs across it.
    void Split(uint64_t a_u64Row);
    std::map<uint64_t, Band> m_mapband;     // by first row
    uint64_t m_u64Pixels = 0;
};

// The plain fields of a connection, from the image object pointer on.
// Construction zero-fills them and DSMClose zeroes them again, so they must
// stay plain data (no objects with constructors, no owned pointers other
// than those the owner releases before the zeroing).
struct CTwainImplData
{
    // 6. (the extended image information formatter holds no data of its
    // own) the image writer of the memory transfers (owned; created at the
    // first end of a memory transfer).
    COsImage *m_posimage;

    // 7. the application identity, filled by DSMOpen.
    TW_IDENTITY m_twidentityApp;

    // 8. the Data Source identity: chosen by DSMSet, opened by DSOpen; its
    // Id is non-zero while a source is known.
    TW_IDENTITY m_twidentityDs;

    // 9. the Data Source list filled by DSMList and the entry last chosen.
    TW_IDENTITY m_atwidentityList[TWAINIMPL_DSLIST];
    uint32_t m_u32ListIndex;

    // 10. the TWLG_ value of the language given at construction (0xFFFF
    // when the symbol table lacks it).
    TW_UINT16 m_twlanguage;

    // 11. the DSM name ("TWAINDSM" once loaded).
    char m_szTwDsm[32];

    // 12. the callback record registered with DAT_CALLBACK.
    TW_CALLBACK m_twcallback;

    // (13 to 15, the event flags, the auto-disable flag and the state, are
    // atomic members of CTwainImpl, and so is 21.)

    // 16. the DSM library (owned), its DSM_Entry, the parent handle (always
    // zero) and the path it was loaded from.
    COsFile *m_posfileDsm;
    DSMENTRYPROC m_pfnDsmEntryProc;
    TW_HANDLE m_hParent;
    char m_szDsmPath[TWAINIMPL_DSMPATH];

    // 17. run arguments per script level: received, then expected.
    twrunargs m_atwrunargs[TWAINIMPL_RUNARGLEVELS];
    twrunargs m_atwrunargsExpected[TWAINIMPL_RUNARGLEVELS];

    // 18. the last-received block: what the Data Source returned.
    twcalibrate m_twcalibrate;
    TW_CAPABILITY m_twcapability;
    twconsumablemeters m_twconsumablemeters;
    TW_CUSTOMDSDATA m_twcustomdsdata;
    twcustomdsdatagroup m_twcustomdsdatagroup;
    twdeviceinfo m_twdeviceinfo;
    TW_ENTRYPOINT m_twentrypoint;
    TW_FILESYSTEM m_twfilesystem;
    TW_IMAGEINFO m_twimageinfo;
    TW_IMAGELAYOUT m_twimagelayout;
    TW_ONEVALUE m_twonevalue;
    TW_PENDINGXFERS m_twpendingxfers;
    twprofile m_atwprofile[TWAINIMPL_PROFILES];
    TW_RANGE m_twrange;
    TW_SETUPFILEXFER m_twsetupfilexfer;
    TW_SETUPMEMXFER m_twsetupmemxfer;

    // 19. the expected block: filled by setdiff, tested by ifdiff.
    twcalibrate m_twcalibrateExpected;
    TW_CAPABILITY m_twcapabilityExpected;
    twconsumablemeters m_twconsumablemetersExpected;
    TW_CUSTOMDSDATA m_twcustomdsdataExpected;
    twcustomdsdatagroup m_twcustomdsdatagroupExpected;
    twdeviceinfo m_twdeviceinfoExpected;
    TW_IMAGEINFO m_twimageinfoExpected;
    TW_IMAGELAYOUT m_twimagelayoutExpected;
    TW_ONEVALUE m_twonevalueExpected;
    TW_PENDINGXFERS m_twpendingxfersExpected;
    twprofile m_atwprofileExpected[TWAINIMPL_PROFILES];
    TW_RANGE m_twrangeExpected;
    TW_SETUPFILEXFER m_twsetupfilexferExpected;
    TW_SETUPMEMXFER m_twsetupmemxferExpected;

    // 20. the instance number (the shell's slot), shown as "Dravo #%d".
    uint32_t m_u32Instance;

    // (21, the last return code and the last condition code, are atomic
    // members: the callback's own triplets record them too.)

    // 22. the name of the last event that ended a wait.
    char m_szLastEvent[128];

    // (23, the transfer-ready discard counter, is an atomic member.)

    // 24. the display settings.
    int32_t m_iImageSizePercent;
    int32_t m_iImageCount;

    // 25. the image transfer working area: the image report and the current
    // image file name.
    char m_szImageReport[TWAINIMPL_IMAGEREPORT];
    char m_szImageFileName[512];
    // the bytes the blocks of the current image brought (from its report
    // on, whatever became of its files: what an image size in the buffer
    // counts), and the buffer the memory transfers receive their blocks in
    // (owned, from g_posmem; made at the first block, released with the
    // image writer).
    uint64_t m_u64XferReceived;
    uint8_t *m_pu8XferBlock;
    // set when the image the report names is finished (in its file): later
    // blocks never open that file again; a new report clears it.
    bool m_blXferFinished;
    // the image the report names (set with the report), and what the
    // blocks did to its transfer file (with m_twxfercoverage).
    TwXferImage m_twxferimage;
    TwXferProgress m_twxferprogress;

    // 26. set by DSOpen when the application and the source both speak a
    // protocol above 2.01.
    bool m_blBothAbove201;

    // 27. set when the last dsmset could not select the source it was
    // asked for: an open without a name then opens nothing (a test must
    // not run on another source); a choice, a listing or an open clears it.
    bool m_blChoiceRefused;
};

class CTwainImpl : public CTwainImplData
{
public:
    // -----------------------------------------------------------------------
    // Construction, state, item readers, display
    // -----------------------------------------------------------------------

    // a_szProtocol: "major.minor" ("1.9" by default); a_szLanguage: a TWLG_
    // symbol; a_iInstance: the shell's slot number.
    CTwainImpl(const char *a_szProtocol, const char *a_szLanguage, int a_iInstance);
    // Releases what the connection owns without calling into the DSM.  When a
    // source may still be open (state above 3) the DSM library stays loaded,
    // and later callbacks addressed to this connection are dropped.
    ~CTwainImpl();

    ETWSTATE GetTwState();
    // Stores the state and writes the terminal title to standard error (on
    // every call, also when the state does not change).
    void SetTwState(ETWSTATE a_etwstate);
    // Writes the terminal title of a state to standard error (the state
    // itself is not stored).
    void ShowTitle(ETWSTATE a_etwstate);

    TW_IDENTITY *GetTwIdentity();   // the Data Source identity field
    char *GetTwDsm();               // the DSM name field

    // Item readers: a_pvItems points at the first item of an item list (or at
    // the Item field of a one-value container); the index is not checked.
    // A type outside the reader's set logs "Bad TWTY_0x%x" and gives 0 (the
    // string and frame readers then write nothing).
    static int32_t GetIntFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index);
    static void GetStringFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index, char *a_szOut,
                                  size_t a_u64OutSize);
    static void GetFrameAngleFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index,
                                      TW_FRAMEANGLE *a_ptwframeangle);
    static double GetDoubleFromItem(const void *a_pvItems, TW_UINT16 a_twty, uint32_t a_u32Index);

    // No image viewer on this platform.
    void DisplayImage(TW_SETUPFILEXFER *a_ptwsetupfilexfer);
    void DestroyImages();

    // Word 1 sets the number of images, word 2 the image size percentage;
    // then both are printed.
    void DSDisplay(const char *const *a_aszWords);

    // -----------------------------------------------------------------------
    // Data Source Manager (ctwainimpl_dsm.cpp)
    // -----------------------------------------------------------------------

    // Each gives 0, or 1 when it refused (see Refuse) or the DSM failed.
    TW_UINT16 DSMOpen();
    TW_UINT16 DSMClose();
    TW_UINT16 DSMList(const char *const *a_aszWords);
    TW_UINT16 DSMSet(const char *const *a_aszWords);
    TW_UINT16 DSMFind(const char *a_szName);

    // The one entry call.  Destination: the Data Source identity, except in
    // state 3 and below and for DAT_PARENT, DAT_TWUNKIDENTITY and DAT_IDENTITY
    // with MSG_USERSELECT, MSG_OPENDS or MSG_CLOSEDS, where it is the Data
    // Source identity only with a_blDestination and null otherwise.  With
    // ETWRECORD_LAST it records the last return code and crash flag (or, for
    // DAT_STATUS, the last condition code); with ETWRECORD_NONE (a read-back
    // or a display after a command's own triplet) nothing.  Without
    // a_blStatus: the call's return code.  With it: the condition code of a
    // failure, read at once (ReadCondition, recording as the call does; the
    // last status request's return code when nobody could say, TWRC_FAILURE
    // when the call crashed).
    TW_UINT16 DsmEntry(TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata, bool a_blStatus,
                       bool a_blDestination, ETWRECORD a_etwrecord = ETWRECORD_LAST);
    // The condition code of the latest triplet, a_twrc its return code: only
    // a failure or TWRC_CHECKSTATUS has one, which is asked of whoever
    // answered the triplet at once (DAT_STATUS with a null destination when
    // the DSM answered it, with the source's identity when the source did)
    // and, with ETWRECORD_LAST, recorded as the last condition code; pass
    // ETWRECORD_NONE for the refusal of a call that recorded nothing.
    // Anything else, and a triplet that crashed (nobody answered it:
    // s_blCallCrashed), gives TWCC_SUCCESS without asking.  When the source
    // cannot answer its status request, the DSM is asked (it says why);
    // when the DSM cannot say either, the condition is TWCC_BUMMER, the
    // failing request's return code in *a_ptwrcStatus.
    TW_UINT16 ReadCondition(TW_UINT16 a_twrc, TW_UINT16 *a_ptwrcStatus = nullptr,
                            ETWRECORD a_etwrecord = ETWRECORD_LAST);

    // Prints the identity line "%s ver=%d.%d twn=%d.%d grp=%s" of an identity
    // (the application's in DSMOpen, the source's in DSOpen).
    void PrintIdentity(const TW_IDENTITY *a_ptwidentity);

    // -----------------------------------------------------------------------
    // Data Source open, close, cameras, roll-back, reset (ctwainimpl_ds.cpp)
    // -----------------------------------------------------------------------

    TW_UINT16 DSOpen(const char *a_szProductName);
    TW_UINT16 DSClose(const char *const *a_aszWords);
    // 0 a camera was selected and its name written; 6 no further camera; 1 failure.
    TW_UINT16 FirstCamera(char *a_szCamera, size_t a_u64CameraSize);
    TW_UINT16 NextCamera(char *a_szCamera, size_t a_u64CameraSize);
    // The file-system walk under way (in m_twfilesystem).
    CTwainFileWalk m_filewalkCamera;
    void RollBack(ETWSTATE a_etwstateFrom, ETWSTATE a_etwstateTo);
    TW_UINT16 DSResetall();

    // -----------------------------------------------------------------------
    // Events, waiting (ctwainimpl_events.cpp) and memory (ctwainimpl_memory.cpp)
    // -----------------------------------------------------------------------

    // The function registered with DAT_CALLBACK.  It must find its connection
    // through the registry below (CallbackTarget, under RegistryLock).
    static TW_UINT16 TwnCallBackProc(pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest,
                                     TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata);
    TW_UINT16 TwnCallBack(pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest, TW_UINT32 a_twdg,
                          TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata);
    void ProcessEvent(TW_UINT16 a_twmsg);
    void CheckProcessEvent();
    // [events] Raises the state to a_etwstate only when it is below it (and
    // then shows its title): a successful enable uses it, so that a
    // transfer-ready event that arrived during MSG_ENABLEDS is not undone.
    void RaiseTwState(ETWSTATE a_etwstate);
    // 0 an awaited event came (or clear mode); 9 time-out; 1 bad word or no source.
    TW_UINT16 DSWait(const char *const *a_aszWords);
    void CreateMainWindow();
    void DestroyMainWindow();

    TW_HANDLE DsMemAlloc(int32_t a_i32Size);
    void DsMemFree(TW_HANDLE a_handle);
    TW_MEMREF DsMemLock(TW_HANDLE a_handle);
    void DsMemUnlock(TW_HANDLE a_handle);
    // The bytes that can be read behind a handle once locked (a_pvLocked is
    // what DsMemLock gave), so that nothing a Data Source hands back is read
    // past its end; SIZE_MAX when it cannot be told.
    size_t DsMemSize(TW_HANDLE a_handle, TW_MEMREF a_pvLocked);

    // -----------------------------------------------------------------------
    // Code names, status tests, expected values, run arguments
    // (ctwainimpl_status.cpp, ctwainimpl_diff.cpp)
    // -----------------------------------------------------------------------

    // The names of a return code and a condition code ("TWRC_0x%x" and
    // "TWCC_0x%x" when the symbol table lacks them).  With a_blAskStatus the
    // condition code is first asked of whoever answered (ReadCondition,
    // recording as a_etwrecord says).
    void GetStatusStrings(TW_UINT16 a_twrc, TW_UINT16 a_twcc, char *a_szTwrc, size_t a_u64TwrcSize, char *a_szTwcc,
                          size_t a_u64TwccSize, bool a_blAskStatus, ETWRECORD a_etwrecord = ETWRECORD_LAST);
    // Word 1 (a symbol) sets the last return code, word 2 the last condition
    // code; both are copied out; returns the last return code.
    TW_UINT16 DSReturn(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast);
    // The status test (terms joined by AND, OR, NOT, left to right).
    bool DSIfStatus(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast);
    // Fills one field of an expected copy: 0 done, 1 error (printed).
    TW_UINT16 DSSetDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level);
    // True when the expected copy of the named structure differs from the
    // received one (inverted by a leading "not").
    bool DSIfDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level);
    // Stores ten texts (a_aszArgs[0] to [9], null or empty ones skipped) as
    // the received and expected run arguments of the level.
    TW_UINT16 DSSetRunArgs(TW_UINT32 a_u32Level, const char *const *a_aszArgs);

    // -----------------------------------------------------------------------
    // The codes a shell command leaves (ctwainimpl_status.cpp)
    //
    // Every triplet recorded as the last codes is counted.  A command that
    // fails without recording one was refused by the program itself (its
    // words did not resolve or were missing): it leaves TWRC_FAILURE with
    // TWCC_BADVALUE, so that no test takes the codes of the command before
    // for its own.  A refusal for another reason (the state, no source to
    // select), or one that comes after a preparatory triplet of the command,
    // is recorded where it happens with Refuse.  The facade runs every
    // command that is meant to send a triplet through Command.
    // -----------------------------------------------------------------------

    template <typename... T, typename... A> TW_UINT16 Command(TW_UINT16 (CTwainImpl::*a_pfn)(T...), A &&...a_args)
    {
        uint64_t u64Recorded = m_u64Recorded;
        TW_UINT16 twrc = (this->*a_pfn)(std::forward<A>(a_args)...);
        CommandEnd(u64Recorded, twrc);
        return twrc;
    }
    // a_u64Recorded: the count when the command began; a_twrc its result.
    void CommandEnd(uint64_t a_u64Recorded, TW_UINT16 a_twrc);
    // Records TWRC_FAILURE with a_twcc as the last codes of a triplet the
    // program answered itself; gives TWRC_FAILURE.
    TW_UINT16 Refuse(TW_UINT16 a_twcc);

    // -----------------------------------------------------------------------
    // The common frame of the data argument handlers (ctwainimpl_frame.cpp).
    // Every handler takes the command's words (word 0 the command, 1 the
    // message word, 2 onwards the operands) and returns a TWAIN return code:
    // 0 success, the refused triplet's code, 1 for misuse.
    // -----------------------------------------------------------------------

    // True when a Data Source is open; otherwise writes "We don't have a
    // valid ID for the DS..." to the services log (flag 1), refuses the
    // command as out of sequence (TWCC_SEQERROR) and gives false.
    bool DatGuard();
    // True when a_szWord is a_szFull or (when given) a_szShort, ignoring case;
    // a null word never matches.
    static bool DatWord(const char *a_szWord, const char *a_szFull, const char *a_szShort);
    // True when the word is null or empty.
    static bool DatWordMissing(const char *a_szWord);
    // Word a_iIndex of a word vector; null when the vector ends before it
    // (also for a null vector), so that no word past the end is read.
    static const char *DatArg(const char *const *a_aszWords, int a_iIndex);
    // An empty line and "*** unrecognized command %s ***"; gives 1.
    TW_UINT16 DatUnrecognized(const char *a_szWord);
    // An empty line, then one line of misuse text (printf format); gives 1.
    // For the lines framed by "*** ... ***" (and the few that read the same
    // way without the frame).
    TW_UINT16 DatMisuse(const char *a_szFormat, ...) __attribute__((format(printf, 2, 3)));
    // One plain line of usage text (printf format), no empty line; gives 1.
    TW_UINT16 DatUsage(const char *a_szFormat, ...) __attribute__((format(printf, 2, 3)));
    // "%s/%s" with the names of a_twrc and of the condition code asked of
    // whoever answered (recorded as a_etwrecord says); gives a_twrc.
    TW_UINT16 DatPrintStatus(TW_UINT16 a_twrc, ETWRECORD a_etwrecord = ETWRECORD_LAST);

    // -----------------------------------------------------------------------
    // Capability and identity display (dsshow.cpp)
    // -----------------------------------------------------------------------

    // The header line (the capability's name, or a_szName when given, and
    // its id), then the form of its container; a_twmsg is the message whose
    // answer is shown (MSG_QUERYSUPPORT names the flags of its value).
    void DSCapShow(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg, const char *a_szName = nullptr);
    // The forms of the four containers, without the header.  Each locks and
    // unlocks the container and never reads past it: what a malformed one
    // lacks is shown as a "***" line.
    void DSCapShowOneValue(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg);
    void DSCapShowRange(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg);
    void DSCapShowEnum(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg);
    void DSCapShowArray(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_twmsg);
    // One line: the camera window's prefix ("FB00: " ... "RC10: ") and the
    // value of the container read as a one-value.
    void DSCapShowOneValueWindow(TW_CAPABILITY *a_ptwcapability, TW_UINT16 a_u16Window);
    // Ten dotted-label lines of an identity.
    void DSShowIdentity(TW_IDENTITY *a_ptwidentity);

    // -----------------------------------------------------------------------
    // Control handlers: capability, identity, calibration, colour learning,
    // ECDO, firmware download, ICC profile (one source each)
    // -----------------------------------------------------------------------

    // DG_CUSTOM / DAT_AUTOCOLORLEARN / MSG_SET, without data.
    TW_UINT16 DSDatAutoColorLearn(const char *const *a_aszWords);
    // DG_CUSTOM / DAT_CALIBRATE: get (its codes printed also on success) or
    // set with a TWCAL_CALIBRATIONTYPE_ word.
    TW_UINT16 DSDatCalibrate(const char *const *a_aszWords);
    // DG_CONTROL / DAT_CAPABILITY with a msg_ word and a capability (a name,
    // or a hexadecimal id); the answer is shown.  Refusals give 1.
    TW_UINT16 DSDatCapability(const char *const *a_aszWords);
    // DG_CONTROL / DAT_ECDO / MSG_GET: the records of the source's list.
    TW_UINT16 DSDatEcdo(const char *const *a_aszWords);
    // DG_CUSTOM / DAT_FIRMWAREDOWNLOAD / MSG_SET with a file name.
    TW_UINT16 DSDatFirmwareDownload(const char *const *a_aszWords);
    // DG_IMAGE / DAT_ICCPROFILE / MSG_GET: the profile memory's fields.
    TW_UINT16 DSDatIccProfile(const char *const *a_aszWords);
    // DG_CONTROL / DAT_IDENTITY: the get messages show the identity; set,
    // opends and closeds take a product name or the open source.
    TW_UINT16 DSDatIdentity(const char *const *a_aszWords);

    // -----------------------------------------------------------------------
    // Image information, layout and transfers; pending transfers, profiles,
    // transfer set-up and status; user interface, UTC, windows, transfer
    // groups (one source each)
    // -----------------------------------------------------------------------

    TW_UINT16 DSDatImageInfo(const char *const *a_aszWords);
    TW_UINT16 DSDatImageLayout(const char *const *a_aszWords);
    TW_UINT16 DSDatImageNativeXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatImageMemXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatImageMemFileXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatImageFileXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatPendingXfers(const char *const *a_aszWords);
    // a_iCount replaces every "@@@count@@@" of the names sent.
    TW_UINT16 DSDatProfiles(const char *const *a_aszWords, int a_iCount);
    TW_UINT16 DSDatSetupFileXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatSetupMemXfer(const char *const *a_aszWords);
    TW_UINT16 DSDatStatus(const char *const *a_aszWords);
    TW_UINT16 DSDatUserInterface(const char *const *a_aszWords);
    TW_UINT16 DSDatUtc(const char *const *a_aszWords);
    TW_UINT16 DSDatWindow(const char *const *a_aszWords);
    // The camera-window table (word 1 "enabled": enabled windows only); its
    // triplets record as a_etwrecord says.
    TW_UINT16 DSShowWindows(const char *const *a_aszWords, ETWRECORD a_etwrecord = ETWRECORD_LAST);
    TW_UINT16 DSDatXferGroup(const char *const *a_aszWords);

    // The image index: advanced by each successful end of a transfer, shared
    // by all connections, used in image file names.
    static int32_t s_iIndex;
    // The symbol of a capability's value, else the value in decimal.
    const char *CapValueText(TW_UINT16 a_twcap, int a_iValue, char *a_szOut, size_t a_u64OutSize);
    // A message word's row of a handler's table (rows with szFull, szShort
    // and twmsg: the full name and the short form, any case); null when the
    // word is in no row.
    struct DatMessageWord
    {
        const char *szFull;
        const char *szShort;
        TW_UINT16 twmsg;
    };
    template <typename T, size_t N> static const T *DatMessageOf(const char *a_szWord, const T (&a_at)[N])
    {
        for (const T &t : a_at)
            if (DatWord(a_szWord, t.szFull, t.szShort))
                return &t;
        return nullptr;
    }
    // The message of a word: its row's, or a_twmsgMissing for a missing or
    // empty word (0: none); false, after the unknown-word lines, otherwise.
    template <size_t N>
    bool DatMessage(const char *a_szWord, const DatMessageWord (&a_at)[N], TW_UINT16 a_twmsgMissing, TW_UINT16 *a_ptwmsg)
    {
        const DatMessageWord *pdatmessageword = DatMessageOf(a_szWord, a_at);
        if (!pdatmessageword && (!a_twmsgMissing || !DatWordMissing(a_szWord)))
        {
            DatUnrecognized(a_szWord);
            return false;
        }
        *a_ptwmsg = pdatmessageword ? pdatmessageword->twmsg : a_twmsgMissing;
        return true;
    }
    // The memory and memory-file transfers (one block per call).
    TW_UINT16 DatMemoryXfer(const char *const *a_aszWords, bool a_blFile);
    // Places an uncompressed block in the transfer file by its own fields
    // (the block is rearranged in place); false, after a line naming the
    // field, for a block that contradicts itself or the image, and for a
    // failed write.
    bool XferPlaceBlock(const TW_IMAGEMEMXFER &a_twmem, uint8_t *a_pu8Block, uint64_t a_u64Length);
    // False, after a line saying so, when a block's BytesWritten is past
    // the a_u64Length bytes of its buffer.
    bool XferBlockFits(uint64_t a_u64Written, uint64_t a_u64Length);
    // The bytes of rows of an image no TIFF holds, as its information (or,
    // when its length is not known, the rows this uncompressed block
    // reaches) gives them; 0 for an image a TIFF holds.
    uint64_t XferTooLarge(const TW_IMAGEMEMXFER &a_twmem) const;
    // Ends the raw rows of the image at the size of its rows, after saying
    // how many of the image's pixels no block covered (they are blank);
    // false, after a line, when the rows are more than a file holds or the
    // file cannot be written.  The rows of an image no TIFF holds stay as
    // the blocks left them.
    bool XferPlaceEnd();
    // Ends the image: the transfer file takes its name, and the raw data of
    // a memory transfer becomes the image file.
    void XferFinish(bool a_blFile, const char *a_szOpen);
    // Closes the transfer file of an image that did not end and removes it
    // (the file the transfer was writing beside the image's name: a file of
    // that name from before, or a finished image, is left alone); what its
    // blocks covered is forgotten.  a_szWhy, when given, says why on the
    // console (an image ended by a contradiction has said so already).
    void XferFileDiscard(const char *a_szWhy = nullptr);
    // The sense of the samples of the image a report describes (TWPF_*):
    // for gray and bitonal rows, the TWEI_PIXELFLAVOR the script fetched
    // for it, else the current ICAP_PIXELFLAVOR; for Group 4 data the
    // current ICAP_PIXELFLAVORCODES (the sense of the codes).  At most one
    // capability request, recorded nowhere and printing nothing; a source
    // that does not answer, or answers no flavor, means TWPF_CHOCOLATE, the
    // standard's default.  Other images need none and ask nothing.
    TW_UINT16 XferPixelFlavor(const char *a_szReport);
    // Adds the image's flavor to a report (<imagepixelflavor>, for the
    // image writer): false when it does not fit.
    bool XferReportFlavor(char *a_szReport, size_t a_u64ReportSize);
    // Keeps TWEI_PIXELFLAVOR of an extended image information reply (its
    // first a_u32Count entries) for the image the report names, when the
    // source answered it with a flavor.
    void XferNoteFlavor(const TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count);

    // -----------------------------------------------------------------------
    // Extended image information; consumable meters, custom data, device
    // information, file system; device log, meters, buttons, override,
    // pass-through, raw status, bridge identity (one source each)
    // -----------------------------------------------------------------------

    // dat_extimageinfo: MSG_GET (or MSG_GETSPECIAL) of every item or of the
    // named ones, one text line per item (datextimageinfo.cpp, with the
    // formatter CTwainExtImageInfo of twainextimageinfo.cpp).
    TW_UINT16 DSDatExtImageInfo(const char *const *a_aszWords);

    // dat_consumablemeters: MSG_GET prints the meters; MSG_SET and MSG_RESET
    // send the meters named by the words.
    TW_UINT16 DSDatConsumableMeters(const char *const *a_aszWords);
    // dat_customdsdata and dat_customdsdatagroup: the source's settings
    // block from the source into a file (MSG_GET) and back (MSG_SET).
    TW_UINT16 DSDatCustomDsData(const char *const *a_aszWords);
    TW_UINT16 DSDatCustomDsDataGroup(const char *const *a_aszWords);
    TW_UINT16 DSDatDeviceInfo(const char *const *a_aszWords);
    // dat_filesystem: the listing, MSG_GETINFO, MSG_CHANGEDIRECTORY.
    TW_UINT16 DSDatFileSystem(const char *const *a_aszWords);
    TW_UINT16 DSDatLog(const char *const *a_aszWords);
    TW_UINT16 DSDatMeters(const char *const *a_aszWords);
    TW_UINT16 DSDatOcpButtons(const char *const *a_aszWords);
    TW_UINT16 DSDatOverride(const char *const *a_aszWords);
    TW_UINT16 DSDatPassThru(const char *const *a_aszWords);
    TW_UINT16 DSDatStatusRaw(const char *const *a_aszWords);
    TW_UINT16 DSDatTwunkIdentity(const char *const *a_aszWords);

    // The settings blocks of dat_customdsdata and dat_customdsdatagroup
    // (datcustomdsdata.cpp).  DatBlockToFile writes a_u32Length bytes of the
    // handle to the file ("unable to create file..." and 1 on failure);
    // DatBlockFromFile reads a whole regular file of at most 64 MiB into a
    // new handle (null after its message: "unable to open file...", "unable
    // to allocate memory...", "unable to read file..." also for anything
    // that is no such file).  Neither frees the handle it is given.
    TW_UINT16 DatBlockToFile(TW_HANDLE a_hData, TW_UINT32 a_u32Length, const char *a_szFile);
    TW_HANDLE DatBlockFromFile(const char *a_szFile, TW_UINT32 *a_pu32Length);

    // -----------------------------------------------------------------------
    // TWAIN Direct tasks and the certification runner
    // -----------------------------------------------------------------------

    // Word 1 "msg_settask": sends word 2 (a file's text, else the word
    // itself; the built-in task when it is missing) and prints the reply.
    // Word 1 "test": runs the certification files under word 2 (default
    // "scripts/twaindirect/certification"), one folder level deep, only
    // those whose summary holds one of words 3 onwards when given.
    TW_UINT16 DSDatTwainDirect(const char *const *a_aszWords);

    // -----------------------------------------------------------------------
    // Capability test engine: get, set, reset, the battery, dump, validation,
    // error tests (captest/)
    // -----------------------------------------------------------------------

    // Every command takes the shell's words (word 0 the command) and gives
    // 0 or, for misuse and refused reads, 1; the battery's steps give the
    // failing triplet's return code.  Containers of the Data Source are read
    // within the block received and never written: edits go to a copy that
    // travels in a handle of the program's own.

    // set (show flag true: the capability is read back and shown) and the
    // capability handler's msg_set / msg_setconstraint (show flag false):
    // one value as a one-value container, several as a range, an
    // enumeration or an array (DSSetConstrain).  0 once the container was
    // sent, whatever the source answered (dscapset.cpp).
    TW_UINT16 DSSet(const char *const *a_aszWords, bool a_blShow);
    TW_UINT16 DSSetConstrain(const char *const *a_aszWords, bool a_blShow);

    // get, get all, reset, dscap and the battery (dscap.cpp).
    TW_UINT16 DSGet(const char *const *a_aszWords);
    TW_UINT16 DSGetAll(const char *a_szCapability);
    TW_UINT16 DSReset(const char *const *a_aszWords);
    TW_UINT16 DSCap(const char *const *a_aszWords);
    TW_UINT16 DSCapExercise(TwLookup *a_ptwlookup, bool a_blCurrent);
    // Sends a_twmsg for a capability and shows the answer or the refusal's
    // status line, recording as a_etwrecord says.
    TW_UINT16 DSCapGetReset(const char *a_szCapability, TwLookup *a_ptwlookup, const char *a_szCamera, TW_UINT16 a_twmsg,
                            ETWRECORD a_etwrecord = ETWRECORD_LAST);
    TW_UINT16 DSCapGetSetOneValue(const char *a_szCapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    // Steps a connection down from a_etwstateFrom to a_etwstateTo.
    TW_UINT16 ChangeState(ETWSTATE a_etwstateFrom, ETWSTATE a_etwstateTo, bool a_blKeep, int a_iUnused);

    // The set and constrain walks of the battery (dscapwalk.cpp).
    TW_UINT16 DSCapSet(const char *a_szCapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    TW_UINT16 DSCapConstrain(const char *a_szCapability, TwLookup *a_ptwlookup, const char *a_szCamera, bool a_blUi);

    // The container error tests (dserrortest.cpp).
    TW_UINT16 DSCapErrorTest(const char *a_szCapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    TW_UINT16 DSCapErrorRange(TW_CAPABILITY *a_ptwcapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    TW_UINT16 DSCapErrorEnum(TW_CAPABILITY *a_ptwcapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    TW_UINT16 DSCapErrorArray(TW_CAPABILITY *a_ptwcapability, TwLookup *a_ptwlookup, const char *a_szCamera);
    TW_UINT16 DSCapErrorOneValue(TW_CAPABILITY *a_ptwcapability, TwLookup *a_ptwlookup, const char *a_szCamera);

    // The dump file and the supported-capability validation (dsdump.cpp).
    TW_UINT16 DSDump(const char *const *a_aszWords);
    TW_UINT16 DSCapDump(TwLookup *a_ptwlookup, unsigned long a_ulFlags, COsFile *a_posfile);
    void DSSupportedCaps();

    // -----------------------------------------------------------------------
    // Probe and stress tests (captest/)
    // -----------------------------------------------------------------------

    // Resets the capabilities, prints the application identity, then for
    // each camera its image layout and every capability id (0 to 0xFFFF)
    // that answers MSG_GET.  1 without an open source or outside state 4.
    TW_UINT16 DSProbe();
    // The stress test of a source (twstress.cpp): the per-triplet tests and
    // the capability battery, or the vibration and scan-rate modes (word 3).
    // 0 passed, 1 a test failed, else the code that ended a mode.
    TW_UINT16 TWStress(const char *const *a_aszWords);
    // The open/close, user-interface and enable/disable loops (word 3 the
    // mode, words 4 to 6 their numbers); 0 or the code that ended them.
    TW_UINT16 TWVibration(const char *const *a_aszWords);
    // The scan-rate measurement (word 4 the image count, 1000 by default).
    TW_UINT16 TWScan(const char *const *a_aszWords);
    // The per-triplet tests: true when passed or skipped.
    bool TWStress_DatCapability(const char *a_szSource);
    bool TWStress_DatCustomDsData(const char *a_szSource);
    bool TWStress_DatEntryPoint(const char *a_szSource);
    bool TWStress_DatEvent(const char *a_szSource);
    bool TWStress_DatFileSystem(const char *a_szSource);
    bool TWStress_DatIdentity(const char *a_szSource);
    bool TWStress_DatSetupFileXfer(const char *a_szSource);
    bool TWStress_DatSetupMemXfer(const char *a_szSource);
    bool TWStress_DatStatus(const char *a_szSource);
    bool TWStress_DatUserInterface(const char *a_szSource);
    bool TWStress_DatXferGroup(const char *a_szSource);
    bool TWStress_DatStatusRaw(const char *a_szSource);
    // The source the per-triplet tests open speaks the second generation
    // (DF_DS2): it decides the null attempts of the tests that send to the
    // DSM alone (IDENTITY, and STATUS before its source is open).
    bool m_blStressSource2x = false;

    // -----------------------------------------------------------------------
    // The live connections, for the DSM callback.
    //
    // The callback may arrive on a thread of the Data Source while the shell
    // deletes a connection.  A callback handler takes the registry lock for
    // the whole dispatch and asks CallbackTarget for its connection:
    //     std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
    //     CTwainImpl *ptwainimpl = CTwainImpl::CallbackTarget(a_ptwidentityDest);
    //     if (!ptwainimpl) return TWRC_FAILURE;   // dropped
    //     return ptwainimpl->TwnCallBack(...);
    // The destructor unregisters under the same lock, so a connection cannot
    // go away in the middle of a dispatch.  The lock is recursive: a handler
    // may call DsmEntry, and the DSM may call back on the same thread.
    // -----------------------------------------------------------------------

    static std::recursive_mutex &RegistryLock();
    // The connection a callback addressed to a_ptwidentityApp belongs to:
    // the live connection whose application identity has that Id; when the
    // destination is null or its Id is 0 or unknown, s_ptwainimpl; null when
    // the Id belonged to a connection that was destroyed (the callback must
    // be dropped).  Call with RegistryLock held.
    static CTwainImpl *CallbackTarget(const TW_IDENTITY *a_ptwidentityApp);
    // Tell the registry the application identity Id this connection holds
    // now (DSMOpen after the DSM assigned it, DSMClose after zeroing it).
    void RegistryNoteAppId();

    // The most recently constructed connection (cleared by its destructor).
    static std::atomic<CTwainImpl *> s_ptwainimpl;

    // -----------------------------------------------------------------------
    // Fields 1 to 5 and the atomic fields (the plain ones are CTwainImplData)
    // -----------------------------------------------------------------------

    // 1, 2. the protocol: the protocol-2 flag (DF_APP2 in the application
    // identity) and the major and minor numbers.
    bool m_blProtocol2;
    uint32_t m_u32ProtocolMajor;
    int32_t m_i32ProtocolMinor;

    // 3. the symbol table (owned), loaded at construction.
    CLookup *m_plookup;

    // 4. the event object (owned), made by CreateMainWindow.
    COsThread *m_posthread;

    // 5. the files of the image transfers.
    COsFile m_osfileXfer;
    COsFile m_osfileNative;
    CTwainCoverage m_twxfercoverage;

    // 13. the event flags (1 set), written by the callback's thread.
    std::atomic<uint8_t> m_au8Event[ETWEVENT_COUNT];

    // 14. auto-disable: a close request from the source disables it at once.
    std::atomic<bool> m_blAutoDisable;

    // 15. the TWAIN state (an ETWSTATE).
    std::atomic<int> m_etwstate;

    // 21. the last return code and the last condition code, written by every
    // triplet sent with ETWRECORD_LAST (also those the callback sends on its
    // own thread).
    std::atomic<TW_UINT16> m_twrcLast;
    std::atomic<TW_UINT16> m_twccLast;
    // Recorded with them: the triplet of the last codes crashed (an
    // exception or a fault signal came out of the DSM), so nobody answered it.
    std::atomic<bool> m_blLastCrashed;
    // The triplets recorded as the last codes so far, refusals of the
    // program included (never zeroed: only its moves count).
    std::atomic<uint64_t> m_u64Recorded{0};
    // Set by every call of the entry call, recorded or not (a read-back's
    // too): the DSM itself answered the latest call on this thread, and that
    // call crashed.  ReadCondition asks whoever answered.  Kept per thread,
    // so that a call the callback makes on its own thread never stands in
    // for the main thread's latest call.
    static thread_local bool s_blCallToDsm;
    static thread_local bool s_blCallCrashed;

    // 23. the transfer-ready discard counter.
    std::atomic<int32_t> m_i32DiscardXferReady;

private:
    CTwainImpl(const CTwainImpl &) = delete;
    CTwainImpl &operator=(const CTwainImpl &) = delete;

    // Zero the plain fields and the atomic ones (construction, DSMClose).
    void ZeroConnection();
    // Forget this connection (destructor).
    void RegistryRemove();
    // The entry call to a given destination: records the call as
    // a_etwrecord says and gives its return code.
    TW_UINT16 DsmCall(TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata,
                      pTW_IDENTITY a_ptwidentityDest, ETWRECORD a_etwrecord);
    // The zenity chooser of DSMSet userselect (its triplets record nothing).
    TW_UINT16 DSMSetChooser();
    // Unload what a failed DSMOpen loaded.
    void DSMOpenUndo();
    // Delete the image writer (before the fields are zeroed).
    void DeleteImageWriter();
    // The value of a symbol (a capability's own name gives its id).
    bool LookupSymbolValue(const char *a_szName, TW_UINT32 *a_ptwValue);
    // The expected or received copy of a comparable structure (item: the
    // script level of the run arguments, the index of a profile record).
    uint8_t *DiffCopy(int a_iStruct, bool a_blExpected, uint32_t a_u32Item);
    // True when a script level can be addressed (else a message is printed).
    bool DiffLevelValid(TW_UINT32 a_u32Level);
};

// A condition code tells something only after TWRC_FAILURE, and after
// TWRC_CHECKSTATUS, which tells the application to ask for it.
inline bool TwainStatusMeansSomething(TW_UINT16 a_twrc)
{
    return (a_twrc == TWRC_FAILURE) || (a_twrc == TWRC_CHECKSTATUS);
}

// Builds the group text of SupportedGroups (",DS2,APP2,...") into a_szOut
// without its leading comma.
void TwainGroupText(TW_UINT32 a_u32Groups, char *a_szOut, size_t a_u64OutSize);

// Makes a file name from a pattern holding at most one integer conversion
// (such as %03d) that receives a_iValue, and "%%" for a percent sign.  A
// pattern is never handed to printf: anything else gives false.
bool TwainFormatName(const char *a_szPattern, int a_iValue, char *a_szOut, size_t a_u64OutSize);

// The name the raw data of a memory transfer is kept under: the image's
// name with ".raw" appended (a name that ends so stays).  False when it
// does not fit.
bool TwainRawName(const char *a_szName, char *a_szOut, size_t a_u64OutSize);

// Copies a text field of a TWAIN structure (a_u64FieldSize bytes, perhaps
// without terminator) into a terminated buffer.
void TwainFieldText(const char *a_szField, size_t a_u64FieldSize, char *a_szOut, size_t a_u64OutSize);

// The "%d" text of an eight-byte TWAIN integer field: a value that fits 32
// bits (a signed one as a signed 32-bit value) prints as its 32-bit self,
// as it always has; any other prints whole, so that no digit the source
// sent is lost.  Used as TwainInt(field).sz in a "%s".
struct TwainInt
{
    explicit TwainInt(TW_INT32 a_i64Field);
    explicit TwainInt(TW_UINT32 a_u64Field);
    char sz[24];
};

#endif // DRAVO_CTWAINIMPL_H
