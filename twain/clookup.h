// clookup.h
// CLookup: the program's table of TWAIN symbols.
//
// The table holds records: ten families of symbols ("DAT_", "DF_", "DG_",
// "MSG_", "TWCC_", "TWRC_", "TWTY_", "TWON_", "TWEI_", "TWCY_") and one record
// per capability (its id, item type, container type and named values). Each
// record may own a value list of entries (symbol, friendly name, value).
//
// It is loaded from the LOOKUP resource of the program's own resource
// archive, or failing that from a lookup file ("./lookup.edres", ...), an
// XML text read through COsXml with callbacks bound by symbol name.
//
// Lookups that return a copy (families, values) fill static result buffers:
// a result stays valid only until the next lookup of the same form. The
// lookup of a capability by name or by id returns the record itself.
#ifndef CLOOKUP_H
#define CLOOKUP_H

#include "osservices.h"
#include "twaindefs.h"

// Sizes of the table.
#define TWLOOKUP_RECORDS    1024    // records in the record block
#define TWLOOKUP_VALUES     256     // entries in one value list
#define TWLOOKUP_TEXT       64      // bytes of a name, symbol or friendly name
#define TWLOOKUP_VALUESFIRST 16     // entries of a value list when it is made

// One entry of a value list. A list holds up to TWLOOKUP_VALUES entries and
// ends at the first entry with an empty symbol (or after TWLOOKUP_VALUES).
struct TwEnum
{
    char     szSymbol[TWLOOKUP_TEXT];   // the symbol, such as "TWPT_RGB" or "#300"
    char     szName[TWLOOKUP_TEXT];     // the friendly lower-case name ("rgb", "300_dpi")
    uint32_t u32Value;                  // the value
};

// One record: a family (name ending in "_", id, item type and container 0)
// or a capability.
struct TwLookup
{
    char     szName[TWLOOKUP_TEXT];     // "TWRC_", "ICAP_XRESOLUTION", ...
    uint32_t u32Id;                     // capability id
    uint32_t u32ItemType;               // TWTY_ value
    uint32_t u32ConType;                // TWON_ value of its MSG_GET answer
    TwEnum*  ptwenum;                   // the value list (null when none); in a
                                        // lookup result: the matched entry
};

// The kind of a lookup by number.
enum ETWLOOKUP
{
    ETWLOOKUP_CAP       = 1,    // capability by id
    ETWLOOKUP_CAPVALUE  = 2,    // value of a capability
    ETWLOOKUP_TWTY      = 3,
    ETWLOOKUP_TWON      = 4,
    ETWLOOKUP_TWRC      = 5,
    ETWLOOKUP_TWCC      = 6,
    ETWLOOKUP_TWCY      = 7,
    ETWLOOKUP_TWEI      = 8
};

struct OsXmlCallback;

class CLookup
{
public:
    // Allocates the zeroed record block; without it ("OsMemAlloc failed...")
    // the object stays empty and Load fails.
    CLookup();
    ~CLookup();

    // Load the table: the LOOKUP resource of the running executable, else a
    // lookup file. Replaces what was loaded before. 0 when records were
    // loaded; a failure code otherwise (the table is then empty).
    EOSSTS Load();

    // Lookup by number. a_etwlookup the kind; a_iValue the value (a
    // capability id for ETWLOOKUP_CAP); a_iCapId the capability for
    // ETWLOOKUP_CAPVALUE, 0 for the families; a_iItemType the TWTY_ item type
    // of the value (only CAP_SUPPORTEDDATS and ICAP_SUPPORTEDEXTIMAGEINFO read
    // it; -1 when unknown). Null when nothing matches.
    TwLookup* Lookup(ETWLOOKUP a_etwlookup, int a_iValue, int a_iCapId, int a_iItemType);

    // Lookup by name (any case): a symbol of the DAT_, TWRC_, TWCC_, TWEI_,
    // TWON_ or TWTY_ family (a copy of the family record pointing at the
    // entry), a capability name (the record itself), or any other TW... value
    // symbol of a capability (a copy of that capability's record pointing at
    // the entry). Null otherwise.
    TwLookup* Lookup(const char* a_szName);

    // The friendly name of a capability's value symbol into the buffer: 1,
    // or 0 when the capability or the symbol is unknown.
    int LookupEnum(const char* a_szCapability, const char* a_szSymbol, char* a_szName, size_t a_u64NameSize);

    // The value of a capability's value symbol (16 bits): 1, or 0. For
    // CAP_SUPPORTEDCAPS the text is a capability name and the value its id.
    // Numbers are not symbols: a text beginning with a digit or '-' gives 0.
    int LookupEnum(const char* a_szCapability, const char* a_szText, TW_UINT16* a_pu16Value);

    // The custom-values flag: when set, the capability-list lookups (kind 2
    // of CAP_SUPPORTEDCAPS, CAP_SUPPORTEDCAPSSEGMENTUNIQUE, CAP_SUPPORTEDDATS,
    // ICAP_SUPPORTEDEXTIMAGEINFO) also name values above 32,767.
    void SetCustomValues(bool a_blCustomValues);
    bool GetCustomValues();

    // The loaded records in table order (read only): their count and one by
    // index (null outside 0 to count - 1).
    int GetRecordCount();
    const TwLookup* GetRecord(int a_iIndex);

    // Element callbacks of the XML reader (bound by symbol name through the
    // static trampolines below).
    void EnterLookup(OsXmlCallback* a_posxmlcallback);
    void ExitLookup(OsXmlCallback* a_posxmlcallback);
    void EnterLookupF(OsXmlCallback* a_posxmlcallback);
    void EnterLookupG(OsXmlCallback* a_posxmlcallback);
    void EnterLookupH(OsXmlCallback* a_posxmlcallback);
    void EnterLookupI(OsXmlCallback* a_posxmlcallback);
    void EnterLookupJ(OsXmlCallback* a_posxmlcallback);
    void EnterLookupZ(OsXmlCallback* a_posxmlcallback);
    void ExitLookupZ(OsXmlCallback* a_posxmlcallback);
    void EnterLookupZN(OsXmlCallback* a_posxmlcallback);
    void EnterLookupZO(OsXmlCallback* a_posxmlcallback);
    void EnterLookupZP(OsXmlCallback* a_posxmlcallback);

    static void CLookup_EnterLookup(OsXmlCallback* a_posxmlcallback);
    static void CLookup_ExitLookup(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupF(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupG(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupH(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupI(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupJ(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupZ(OsXmlCallback* a_posxmlcallback);
    static void CLookup_ExitLookupZ(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupZN(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupZO(OsXmlCallback* a_posxmlcallback);
    static void CLookup_EnterLookupZP(OsXmlCallback* a_posxmlcallback);

private:
    CLookup(const CLookup&) = delete;
    CLookup& operator=(const CLookup&) = delete;

    void Clear();
    EOSSTS ReadTable(char** a_pszXml);
    TwEnum* ValueList(int a_iIndex);
    TwEnum* CurrentValue();
    TwLookup* FindFamily(const char* a_szPrefix, bool a_blCheckId, uint32_t a_u32Id);
    TwLookup* CapabilityListLookup(TwLookup* a_ptwlookupAsking, const char* a_szFamily, int a_iValue, int a_iItemType);

    TwLookup* m_ptwlookup;          // the record block (TWLOOKUP_RECORDS records)
    int       m_iRecord;            // loading: the current record index
    int       m_iEnum;              // loading: the current entry index
    bool      m_blRecordValid;      // loading: the current record is kept
    bool      m_blCustomValues;     // name custom values in the capability lists

    // What loading had to cut or skip (reported after the document).
    int       m_iSkippedRecords;    // records beyond the block
    int       m_iSkippedValues;     // entries beyond a value list
    int       m_iStrayValues;       // o or p elements before any n
    int       m_iCutTexts;          // names and symbols cut to 63 characters
    int       m_iEnumCapacity;      // loading: entries of the current record's list
};

#endif // CLOOKUP_H
