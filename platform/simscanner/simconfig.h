// simconfig.h
//
// The configuration of a simulated source: its profile (identity, abilities),
// its capability table, its feeder, the events it sends and the faults it
// injects, built from the built-in profile and the optional file named by
// SIMSCANNER_CONFIG. The file format is described in README.md.

#ifndef DRAVO_SIMCONFIG_H
#define DRAVO_SIMCONFIG_H

#include "simprofile.h"

#include <string>
#include <vector>

// What makes a configured event fire.
enum ESimTrigger
{
    eSimTriggerOpen,          // after MSG_OPENDS
    eSimTriggerEnable,        // after MSG_ENABLEDS
    eSimTriggerEnableUiOnly,  // after MSG_ENABLEDSUIONLY
    eSimTriggerDisable,       // after MSG_DISABLEDS
    eSimTriggerEndXfer,       // after every MSG_ENDXFER
    eSimTriggerLastXfer,      // after the MSG_ENDXFER that ends the batch
};

struct SimEventRule
{
    ESimTrigger    m_eTrigger = eSimTriggerOpen;
    TW_UINT16      m_u16Msg = MSG_NULL;
    std::uint32_t  m_u32DelayMs = 0;
    TW_DEVICEEVENT m_twdeviceevent;     // for MSG_DEVICEEVENT (Event and the optional fields)
};

enum ESimFaultAction
{
    eSimFaultRefuse,          // answer the given return and condition code
    eSimFaultThrow,           // throw a C++ exception out of DS_Entry
    eSimFaultConType,         // capability answer with a wrong container type
    eSimFaultItemType,        // capability answer with a wrong item type
    eSimFaultBadIndex,        // enumeration with CurrentIndex/DefaultIndex past NumItems
    eSimFaultUnterminated,    // string items without terminator
    eSimFaultWrongSize,       // a container smaller than its header says
    eSimFaultNullHandle,      // success with a null container handle
    eSimFaultAnswer,          // carry the triplet out, then answer the given codes
    eSimFaultCrash,           // a segmentation fault inside DS_Entry
    eSimFaultRewind,          // a memory block that begins rows earlier (sent again)
    eSimFaultSwap,            // a memory block and the next change places
    eSimFaultNoPlace,         // a memory block that says it holds no pixel
    eSimFaultImageSize,       // the image size in the last memory buffer: value, or none
    eSimFaultCompression,     // a memory block that says it is compressed as value
    eSimFaultOffset,          // a memory block whose XOffset says value
};

constexpr std::uint32_t kSimAny = 0xFFFFFFFFu;

struct SimFault
{
    ESimFaultAction m_eAction = eSimFaultRefuse;
    std::uint32_t   m_u32Dg = kSimAny;
    std::uint32_t   m_u32Dat = kSimAny;
    std::uint32_t   m_u32Msg = kSimAny;
    std::uint32_t   m_u32Cap = kSimAny;
    TW_UINT16       m_u16Rc = TWRC_FAILURE;
    TW_UINT16       m_u16Cc = TWCC_BUMMER;
    std::uint32_t   m_u32Skip = 0;          // let this many matching calls through first
    std::uint32_t   m_u32Times = kSimAny;   // then fault this many (all by default)
    std::int64_t    m_i64Value = 0;         // action detail (container type, item type, ...)
    bool            m_blValue = false;
    bool            m_blNullData = false;   // only triplets sent with null data
};

struct SimConfig
{
    std::string               m_szPath;
    SimProfile                m_profile;
    std::vector<SimCapDef>    m_adef;
    int                       m_iPages = 3;               // sheets in the feeder at open
    // The source's own events wait a little by default, so that the
    // application has returned from its call (and set its state) too.
    std::uint32_t             m_u32XferReadyDelayMs = 20;
    TW_UINT16                 m_u16UiOnlyReply = MSG_CLOSEDSOK;   // MSG_NULL: none
    std::uint32_t             m_u32UiOnlyDelayMs = 20;
    // The native image: a TIFF in memory (the standard's on Linux), or a DIB.
    bool                      m_blNativeDib = false;
    // Uncompressed memory blocks: rows aligned to 1, 2 or 4 bytes (the
    // padding alternates 0x5A and 0xA5); tiles of so many columns and rows
    // (0 columns: whole rows); an image length the source does not know
    // (ImageLength -1).
    int                       m_iMemoryAlign = 1;
    std::int64_t              m_i64TileColumns = 0;
    std::int64_t              m_i64TileRows = 0;
    bool                      m_blLengthUnknown = false;
    // A size DAT_IMAGEINFO claims whatever the page is (0 0: the page's own).
    std::int64_t              m_i64ClaimWidth = 0;
    std::int64_t              m_i64ClaimLength = 0;
    std::vector<SimEventRule> m_aevent;
    std::vector<SimFault>     m_afault;
    std::vector<std::string>  m_aszErrors;   // "<file>:<line>: <message>"
};

// Builds the configuration from the built-in profile and the file (none when
// a_szPath is null or empty). Lines the parser cannot use are reported in
// m_aszErrors and ignored.
SimConfig SimLoadConfig(const SimProfile& a_profile, const char* a_szPath);

// Reads a whole regular file of at most a_uLimit bytes into a_szText; false
// with a_szError set for anything else (no FIFO is waited on, no device read).
bool SimReadFile(const char* a_szPath, std::size_t a_uLimit, std::string& a_szText, std::string& a_szError);

// Parses the text of a configuration (a_szName names it in error messages).
void SimParseConfigText(SimConfig& a_config, const std::string& a_szText, const std::string& a_szName);

// Parses one value of an item type ("TWPT_RGB", "0x10", "-2.5", "0,0,8.5,11", ...).
bool SimParseItem(TW_UINT16 a_u16Type, const std::string& a_szToken, SimItem& a_item);

#endif // DRAVO_SIMCONFIG_H
