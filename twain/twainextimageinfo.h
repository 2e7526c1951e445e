// twainextimageinfo.h
// CTwainExtImageInfo: builds DAT_EXTIMAGEINFO requests and turns each entry
// the Data Source returned into text: a dotted text line, an XML element, or
// a run of services-log lines.
//
// The object keeps no state of its own besides the connection whose memory
// family locks and frees the handles the Data Source put into the entries.
// A handle is freed once its entry has been shown in the text or XML form,
// and its Item is then cleared, so an entry shown twice never reaches freed
// memory; FreeHandles releases what no entry showed.
//
// Every text is returned in one process-wide buffer of 262,144 bytes, which
// the next entry's formatting empties: use the text before asking for the
// next.  Main thread only.
#ifndef DRAVO_TWAINEXTIMAGEINFO_H
#define DRAVO_TWAINEXTIMAGEINFO_H

#include <cstddef>
#include <cstdint>

#include "twaindefs.h"

class CTwainImpl;

// The output forms.
enum TWAIN_EII_DETAILS
{
    TWAIN_EII_DETAILS_TEXT = 1, // one dotted text line
    TWAIN_EII_DETAILS_LOG = 2,  // informational services-log lines
    TWAIN_EII_DETAILS_XML = 3   // one XML element per item
};

// Why an entry has no value.
enum TWEIIRC
{
    TWEIIRC_NOTRETURNED = 0,
    TWEIIRC_UNABLETOLOCK = 1,
    TWEIIRC_BUFFERTOOSMALL = 2,
    TWEIIRC_UNKNOWNSTATUS = 3,
    TWEIIRC_UNSUPPORTED = 4,
    TWEIIRC_NOTAVAILABLE = 5
};

// A value-name map row.
struct TwEnumMap
{
    uint32_t u32Value;
    const char *szName;
};

// The working record of one entry.
struct TWAIN_EII_DATA
{
    TWAIN_EII_DETAILS details;
    uint32_t u32Index;
    const TwEnumMap *ptwenummap;   // value names of the item, or null
    uint32_t u32Map;               // rows of the map
    bool blLock;                   // the data lives in a handle
    bool blFree;                   // that handle is freed after use
    uint32_t u32NumItems;          // items to show
    bool blDate;
    bool blTime;
    bool blLargeText;
    const char *szType;            // the name of the item type
    TW_UINT16 twty;
    int32_t i32Divisor;            // 1 for plain integers
    const uint8_t *pu8Data;        // the first item (locked), or null
    size_t u64DataSize;            // bytes behind pu8Data (SIZE_MAX: not known)
    const char *szName;            // the item's name
    const uint8_t *pu8Lengths;     // the paired length items (barcode texts), or null
    uint32_t u32Lengths;
};

class CTwainExtImageInfo
{
public:
    explicit CTwainExtImageInfo(CTwainImpl *a_ptwainimpl);

    // Entries a request of these flags has room for (129 or 33).
    static uint32_t Capacity(bool a_blAll, bool a_blSecond, bool a_blThird);
    // A new zeroed request (COsMem::Alloc; free it with COsMem::Free):
    // with a_blThird four page entries first; with a_blAll or a_blSecond the
    // eight barcode entries; with a_blAll every other item.  NumInfos is the
    // number of entries filled.  Null when memory is short.
    TW_EXTIMAGEINFO *Initialize(bool a_blAll, bool a_blSecond, bool a_blThird);

    // The id of an item name (any case), 0 when the table lacks it.
    static TW_UINT16 StringToTwei(const char *a_szName);
    // The name of an id; "0x%04x" (in a process-wide buffer) for others.
    static const char *StringFromTwei(TW_UINT16 a_twei);

    // The text of entry a_u32Index (which must be below NumInfos: the
    // caller clamps NumInfos to the entries it sent).
    const char *GetInfoByIndex(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index, TWAIN_EII_DETAILS a_details);
    // The text of the first entry of item a_twei.
    const char *GetInfoByTwei(TW_EXTIMAGEINFO *a_ptwextimageinfo, TW_UINT16 a_twei, TWAIN_EII_DETAILS a_details);
    // Frees every handle still held by the first a_u32Count entries.
    void FreeHandles(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count);

private:
    const char *GetDetails(TW_EXTIMAGEINFO *a_ptwextimageinfo, int64_t a_i64Index, TW_UINT16 a_twei,
                           TWAIN_EII_DETAILS a_details);
    void GetDataInfo(const TW_INFO &a_twinfo, TWAIN_EII_DATA *a_pdata);
    void GetValue(const TW_INFO &a_twinfo, TWAIN_EII_DATA *a_pdata, char *a_szOut, size_t a_u64OutSize);
    // Finds the lengths of a barcode text entry; the index of the length
    // entry whose handle was locked for them, or -1.
    int64_t CheckInfoPairs(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Count, const TW_INFO &a_twinfo,
                           TWAIN_EII_DATA *a_pdata);
    void SetError(TWEIIRC a_tweiirc, const TW_INFO &a_twinfo, const TWAIN_EII_DATA &a_data, char *a_szOut,
                  size_t a_u64OutSize);
    // Whether an entry's data lives in a handle (the standard's rule).
    static bool InHandle(TW_UINT16 a_twty, TW_UINT16 a_u16NumItems);
    void FreeEntry(TW_EXTIMAGEINFO *a_ptwextimageinfo, uint32_t a_u32Index);

    CTwainImpl *m_ptwainimpl;
};

#endif // DRAVO_TWAINEXTIMAGEINFO_H
