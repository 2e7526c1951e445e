// clookup.cpp
// CLookup: loading the TWAIN symbol table and looking symbols up.

#include "clookup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

// The static result buffers: one record per lookup form, one entry for the
// capability-list lookups by number.
static TwLookup s_twlookupName;
static TwLookup s_twlookupNumber;
static TwEnum   s_twenum;

// Element paths of the LOOKUP XML and their callbacks (the element "l" is
// not read).
static const char s_szBinding[] =
    "/lookup       this.EnterLookup    this.ExitLookup\n"
    "/lookup/f     this.EnterLookupF\n"
    "/lookup/g     this.EnterLookupG\n"
    "/lookup/h     this.EnterLookupH\n"
    "/lookup/i     this.EnterLookupI\n"
    "/lookup/j     this.EnterLookupJ\n"
    "/lookup/Z     this.EnterLookupZ   this.ExitLookupZ\n"
    "/lookup/Z/n   this.EnterLookupZN\n"
    "/lookup/Z/o   this.EnterLookupZO\n"
    "/lookup/Z/p   this.EnterLookupZP\n";

static bool StartsWithNoCase(const char* a_sz, const char* a_szPrefix)
{
    return (a_sz != nullptr) && (strncasecmp(a_sz, a_szPrefix, strlen(a_szPrefix)) == 0);
}

static bool IsCapabilityName(const char* a_sz)
{
    return StartsWithNoCase(a_sz, "CAP_") || StartsWithNoCase(a_sz, "ICAP_") || StartsWithNoCase(a_sz, "ACAP_");
}

// Copy a text into a 64-byte field, cut at 63 characters; true when cut.
static bool CopyText(char* a_szField, const char* a_szText)
{
    const char* sz = (a_szText != nullptr) ? a_szText : "";
    size_t u64Len = strlen(sz);
    bool blCut = (u64Len >= TWLOOKUP_TEXT);
    memset(a_szField, 0, TWLOOKUP_TEXT);
    if (u64Len > 0)
    {
        COsString::SStrNcpy(a_szField, TWLOOKUP_TEXT, sz, blCut ? TWLOOKUP_TEXT - 1 : u64Len);
    }
    a_szField[TWLOOKUP_TEXT - 1] = '\0';
    return blCut;
}

static uint32_t HexValue(const char* a_sz)
{
    if ((a_sz == nullptr) || (a_sz[0] == '\0'))
    {
        return 0;
    }
    return static_cast<uint32_t>(strtoul(a_sz, nullptr, 16));
}

static const char* ValueOf(OsXmlCallback* a_posxmlcallback)
{
    return ((a_posxmlcallback != nullptr) && (a_posxmlcallback->szValue != nullptr)) ? a_posxmlcallback->szValue : "";
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------
CLookup::CLookup()
    : m_ptwlookup(nullptr),
      m_iRecord(-1),
      m_iEnum(-1),
      m_blRecordValid(false),
      m_blCustomValues(false),
      m_iSkippedRecords(0),
      m_iSkippedValues(0),
      m_iStrayValues(0),
      m_iCutTexts(0),
      m_iEnumCapacity(0)
{
    if (g_posmem != nullptr)
    {
        m_ptwlookup = static_cast<TwLookup*>(
            g_posmem->Alloc(sizeof(TwLookup) * TWLOOKUP_RECORDS, __FILE__, __LINE__, OS_LOGFLAG_MEM, false, "CLookup"));
    }
    if (m_ptwlookup == nullptr)
    {
        OSLOG_ASSERT("OsMemAlloc failed...");
    }
}

CLookup::~CLookup()
{
    Clear();
    if ((m_ptwlookup != nullptr) && (g_posmem != nullptr))
    {
        g_posmem->Free(m_ptwlookup, __FILE__, __LINE__);
    }
    m_ptwlookup = nullptr;
}

// Free every value list and empty the record block.
void CLookup::Clear()
{
    if (m_ptwlookup == nullptr)
    {
        return;
    }
    for (int ii = 0; ii < TWLOOKUP_RECORDS; ii++)
    {
        if ((m_ptwlookup[ii].ptwenum != nullptr) && (g_posmem != nullptr))
        {
            g_posmem->Free(m_ptwlookup[ii].ptwenum, __FILE__, __LINE__);
        }
        m_ptwlookup[ii].ptwenum = nullptr;
    }
    memset(m_ptwlookup, 0, sizeof(TwLookup) * TWLOOKUP_RECORDS);
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

// The table's text into a new zero-terminated buffer (COsMem): the LOOKUP
// resource of the running executable, else the first lookup file found.
EOSSTS CLookup::ReadTable(char** a_pszXml)
{
    *a_pszXml = nullptr;
    if (g_posmem == nullptr)
    {
        OSLOG_ERROR("OsMemAlloc failed...");
        return OS_STS_FAIL;
    }

    COsResource osresource;
    if (osresource.Open(OS_RESOURCE_LOCAL, "LOOKUP", 0) == OS_STS_OK)
    {
        uint64_t u64Size = osresource.GetSize();
        const void* pv = osresource.GetPointer();
        char* szXml = static_cast<char*>(g_posmem->Alloc(u64Size + 1, __FILE__, __LINE__));
        if (szXml == nullptr)
        {
            OSLOG_ERROR("OsMemAlloc failed...");
            osresource.Close();
            return OS_STS_FAIL;
        }
        if ((pv != nullptr) && (u64Size > 0))
        {
            memcpy(szXml, pv, u64Size);
        }
        osresource.Close();
        *a_pszXml = szXml;
        return OS_STS_OK;
    }

    // The lookup files.
    char szPath[1024] = "";
    if (COsFile::Exists("./lookup.edres"))
    {
        COsString::SStrCpy(szPath, sizeof(szPath), "./lookup.edres");
    }
    else if (COsFile::Exists("../../lib/database/data/lookup.edres"))
    {
        COsString::SStrCpy(szPath, sizeof(szPath), "../../lib/database/data/lookup.edres");
    }
    else
    {
        char szSource[512] = "";
        COsCfg::GetEnv("TORVIX_PATH_SOURCE", "", sizeof(szSource), szSource);
        COsFile::PathSet(szPath, sizeof(szPath), szSource);
        COsFile::PathAppend(szPath, sizeof(szPath), "main2");
        COsFile::PathAppend(szPath, sizeof(szPath), "/lib/database/data/lookup.edres");
        if (!COsFile::Exists(szPath))
        {
            fprintf(stderr, "Sorry, couldn't find the lookup file...\r\n");
        }
    }

    // A regular file of a sensible size, read whole.
    uint64_t u64Size = 0;
    EOSSTS eossts = COsFile::ReadFile(szPath, a_pszXml, false, 0, &u64Size, 0, 64ULL << 20);
    if (eossts != OS_STS_OK)
    {
        OSLOG_ERROR("%s", (eossts == OS_STS_FILE_NOT_FOUND) ? "Open failed..." : "Read failed...");
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS CLookup::Load()
{
    if (m_ptwlookup == nullptr)
    {
        OSLOG_ERROR("Load failed, no record block...");
        return OS_STS_FAIL;
    }
    Clear();
    m_iRecord = -1;
    m_iEnum = -1;
    m_blRecordValid = false;
    m_iSkippedRecords = 0;
    m_iSkippedValues = 0;
    m_iStrayValues = 0;
    m_iCutTexts = 0;

    char* szXml = nullptr;
    EOSSTS eossts = ReadTable(&szXml);
    if (eossts != OS_STS_OK)
    {
        return eossts;
    }

    COsXml osxml;
    if (osxml.DispatchAddObject("this", "CLookup", this) != OS_STS_OK)
    {
        OSLOG_ERROR("DispatchAddObject failed...");
        eossts = OS_STS_FAIL;
    }
    else if (osxml.DispatchLoad(s_szBinding, 0) != OS_STS_OK)
    {
        OSLOG_ERROR("DispatchLoad failed...<%s>", s_szBinding);
        eossts = OS_STS_FAIL;
    }
    else if (osxml.DocumentLoadAndDispatch(szXml, nullptr) != OS_STS_OK)
    {
        OSLOG_ERROR("DispatchLoadAndDispatch failed...");
        eossts = OS_STS_FAIL;
    }
    osxml.DocumentFree();
    osxml.DispatchFree();
    g_posmem->Free(szXml, __FILE__, __LINE__);

    if (m_iSkippedRecords > 0)
    {
        OSLOG_ERROR("lookup: %d records beyond the %d of the table were skipped...", m_iSkippedRecords, TWLOOKUP_RECORDS);
    }
    if (m_iSkippedValues > 0)
    {
        OSLOG_ERROR("lookup: %d values beyond the %d of a list were skipped...", m_iSkippedValues, TWLOOKUP_VALUES);
    }
    if (m_iStrayValues > 0)
    {
        OSLOG_ERROR("lookup: %d symbols or values before any name were skipped...", m_iStrayValues);
    }
    if (m_iCutTexts > 0)
    {
        OSLOG_ERROR("lookup: %d names or symbols were cut to %d characters...", m_iCutTexts, TWLOOKUP_TEXT - 1);
    }

    if (eossts != OS_STS_OK)
    {
        Clear();
        return eossts;
    }
    if (GetRecordCount() == 0)
    {
        OSLOG_ERROR("lookup: the table holds no record...");
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

// The value list of the current record, able to hold the entry at a_iIndex
// (0 to TWLOOKUP_VALUES - 1). Lists start small and double while they load,
// always keeping an empty entry after the last one until they reach
// TWLOOKUP_VALUES entries; a loaded list never moves again.
TwEnum* CLookup::ValueList(int a_iIndex)
{
    if ((m_ptwlookup == nullptr) || (m_iRecord < 0) || (m_iRecord >= TWLOOKUP_RECORDS) || (g_posmem == nullptr))
    {
        return nullptr;
    }
    TwLookup* ptwlookup = &m_ptwlookup[m_iRecord];
    int iCapacity = (ptwlookup->ptwenum != nullptr) ? m_iEnumCapacity : 0;
    if ((ptwlookup->ptwenum != nullptr) && ((a_iIndex < iCapacity - 1) || (iCapacity >= TWLOOKUP_VALUES)))
    {
        return ptwlookup->ptwenum;
    }
    int iNewCapacity = (iCapacity > 0) ? iCapacity : TWLOOKUP_VALUESFIRST;
    while ((iNewCapacity < TWLOOKUP_VALUES) && (a_iIndex >= iNewCapacity - 1))
    {
        iNewCapacity *= 2;
    }
    if (iNewCapacity > TWLOOKUP_VALUES)
    {
        iNewCapacity = TWLOOKUP_VALUES;
    }
    TwEnum* ptwenum = static_cast<TwEnum*>(
        g_posmem->Alloc(sizeof(TwEnum) * static_cast<uint64_t>(iNewCapacity), __FILE__, __LINE__, OS_LOGFLAG_MEM, false, "TwEnum"));
    if (ptwenum == nullptr)
    {
        OSLOG_ERROR("OsMemAlloc failed...");
        return nullptr;
    }
    if (ptwlookup->ptwenum != nullptr)
    {
        memcpy(ptwenum, ptwlookup->ptwenum, sizeof(TwEnum) * static_cast<size_t>(iCapacity));
        g_posmem->Free(ptwlookup->ptwenum, __FILE__, __LINE__);
    }
    ptwlookup->ptwenum = ptwenum;
    m_iEnumCapacity = iNewCapacity;
    return ptwenum;
}

void CLookup::EnterLookup(OsXmlCallback*)
{
    m_iRecord = -1;
    m_iEnum = -1;
    m_blRecordValid = false;
}

void CLookup::ExitLookup(OsXmlCallback*)
{
}

void CLookup::EnterLookupF(OsXmlCallback* a_posxmlcallback)
{
    const char* sz = ValueOf(a_posxmlcallback);
    if ((sz[0] == '\0') || (m_ptwlookup == nullptr))
    {
        m_blRecordValid = false;
        return;
    }
    if (m_iRecord + 1 >= TWLOOKUP_RECORDS)
    {
        m_blRecordValid = false;
        m_iSkippedRecords++;
        return;
    }
    m_blRecordValid = true;
    m_iRecord++;
    m_iEnum = -1;
    m_iEnumCapacity = 0;
    if (CopyText(m_ptwlookup[m_iRecord].szName, sz))
    {
        m_iCutTexts++;
    }
}

void CLookup::EnterLookupG(OsXmlCallback* a_posxmlcallback)
{
    if (m_blRecordValid)
    {
        m_ptwlookup[m_iRecord].u32Id = HexValue(ValueOf(a_posxmlcallback));
    }
}

void CLookup::EnterLookupH(OsXmlCallback* a_posxmlcallback)
{
    if (m_blRecordValid)
    {
        m_ptwlookup[m_iRecord].u32ItemType = HexValue(ValueOf(a_posxmlcallback));
    }
}

void CLookup::EnterLookupI(OsXmlCallback* a_posxmlcallback)
{
    if (m_blRecordValid)
    {
        m_ptwlookup[m_iRecord].u32ConType = HexValue(ValueOf(a_posxmlcallback));
    }
}

void CLookup::EnterLookupJ(OsXmlCallback*)
{
}

void CLookup::EnterLookupZ(OsXmlCallback*)
{
    m_iEnum = -1;
}

void CLookup::ExitLookupZ(OsXmlCallback*)
{
}

void CLookup::EnterLookupZN(OsXmlCallback* a_posxmlcallback)
{
    if (!m_blRecordValid)
    {
        return;
    }
    m_iEnum++;
    if (m_iEnum >= TWLOOKUP_VALUES)
    {
        m_iSkippedValues++;
        return;
    }
    TwEnum* ptwenum = ValueList(m_iEnum);
    if ((ptwenum != nullptr) && CopyText(ptwenum[m_iEnum].szName, ValueOf(a_posxmlcallback)))
    {
        m_iCutTexts++;
    }
}

// The entry an o or p element fills: the one the last n element started;
// null when the record is skipped, the list is full, or no n came first
// (counted as a stray value).
TwEnum* CLookup::CurrentValue()
{
    if (!m_blRecordValid)
    {
        return nullptr;
    }
    if (m_iEnum < 0)
    {
        m_iStrayValues++;
        return nullptr;
    }
    if (m_iEnum >= TWLOOKUP_VALUES)
    {
        return nullptr;
    }
    TwEnum* ptwenum = ValueList(m_iEnum);
    return (ptwenum != nullptr) ? &ptwenum[m_iEnum] : nullptr;
}

void CLookup::EnterLookupZO(OsXmlCallback* a_posxmlcallback)
{
    TwEnum* ptwenum = CurrentValue();
    if ((ptwenum != nullptr) && CopyText(ptwenum->szSymbol, ValueOf(a_posxmlcallback)))
    {
        m_iCutTexts++;
    }
}

void CLookup::EnterLookupZP(OsXmlCallback* a_posxmlcallback)
{
    TwEnum* ptwenum = CurrentValue();
    if (ptwenum != nullptr)
    {
        ptwenum->u32Value = HexValue(ValueOf(a_posxmlcallback));
    }
}

// The trampolines the XML reader finds by symbol name.
#define CLOOKUP_TRAMPOLINE(a_function) \
    void CLookup::CLookup_##a_function(OsXmlCallback* a_posxmlcallback) \
    { \
        if ((a_posxmlcallback != nullptr) && (a_posxmlcallback->pvObject != nullptr)) \
        { \
            static_cast<CLookup*>(a_posxmlcallback->pvObject)->a_function(a_posxmlcallback); \
        } \
    }
CLOOKUP_TRAMPOLINE(EnterLookup)
CLOOKUP_TRAMPOLINE(ExitLookup)
CLOOKUP_TRAMPOLINE(EnterLookupF)
CLOOKUP_TRAMPOLINE(EnterLookupG)
CLOOKUP_TRAMPOLINE(EnterLookupH)
CLOOKUP_TRAMPOLINE(EnterLookupI)
CLOOKUP_TRAMPOLINE(EnterLookupJ)
CLOOKUP_TRAMPOLINE(EnterLookupZ)
CLOOKUP_TRAMPOLINE(ExitLookupZ)
CLOOKUP_TRAMPOLINE(EnterLookupZN)
CLOOKUP_TRAMPOLINE(EnterLookupZO)
CLOOKUP_TRAMPOLINE(EnterLookupZP)
#undef CLOOKUP_TRAMPOLINE

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
int CLookup::GetRecordCount()
{
    if (m_ptwlookup == nullptr)
    {
        return 0;
    }
    int ii = 0;
    while ((ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'))
    {
        ii++;
    }
    return ii;
}

const TwLookup* CLookup::GetRecord(int a_iIndex)
{
    if ((a_iIndex < 0) || (a_iIndex >= GetRecordCount()))
    {
        return nullptr;
    }
    return &m_ptwlookup[a_iIndex];
}

void CLookup::SetCustomValues(bool a_blCustomValues)
{
    m_blCustomValues = a_blCustomValues;
}

bool CLookup::GetCustomValues()
{
    return m_blCustomValues;
}

// The first record whose name begins with the prefix (a family), optionally
// also with the given id.
TwLookup* CLookup::FindFamily(const char* a_szPrefix, bool a_blCheckId, uint32_t a_u32Id)
{
    if (m_ptwlookup == nullptr)
    {
        return nullptr;
    }
    for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
    {
        if (StartsWithNoCase(m_ptwlookup[ii].szName, a_szPrefix) && (!a_blCheckId || (m_ptwlookup[ii].u32Id == a_u32Id)))
        {
            return &m_ptwlookup[ii];
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Lookup by name
// ---------------------------------------------------------------------------

// The value of a record's list whose symbol is a_szName (any case): the
// record with only that entry, in the by-name result; null when the list has
// no such symbol.
static TwLookup* ValueNamed(TwLookup* a_ptwlookup, const char* a_szName)
{
    if (a_ptwlookup->ptwenum == nullptr)
    {
        return nullptr;
    }
    for (int ee = 0; (ee < TWLOOKUP_VALUES) && (a_ptwlookup->ptwenum[ee].szSymbol[0] != '\0'); ee++)
    {
        if (strcasecmp(a_ptwlookup->ptwenum[ee].szSymbol, a_szName) == 0)
        {
            s_twlookupName = *a_ptwlookup;
            s_twlookupName.ptwenum = &a_ptwlookup->ptwenum[ee];
            return &s_twlookupName;
        }
    }
    return nullptr;
}

TwLookup* CLookup::Lookup(const char* a_szName)
{
    if ((m_ptwlookup == nullptr) || (a_szName == nullptr) || (a_szName[0] == '\0'))
    {
        return nullptr;
    }

    // A symbol of a family.
    static const char* const s_aszFamilies[] = { "DAT_", "TWRC_", "TWCC_", "TWEI_", "TWON_", "TWTY_" };
    for (const char* szFamily : s_aszFamilies)
    {
        if (!StartsWithNoCase(a_szName, szFamily))
        {
            continue;
        }
        TwLookup* ptwlookup = FindFamily(szFamily, false, 0);
        return (ptwlookup != nullptr) ? ValueNamed(ptwlookup, a_szName) : nullptr;
    }

    // A capability: the record itself.
    if (IsCapabilityName(a_szName))
    {
        for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
        {
            if (strcasecmp(m_ptwlookup[ii].szName, a_szName) == 0)
            {
                return &m_ptwlookup[ii];
            }
        }
        return nullptr;
    }

    // Any other TW... symbol: a value of a capability.
    if (StartsWithNoCase(a_szName, "TW"))
    {
        for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
        {
            TwLookup* ptwlookup = &m_ptwlookup[ii];
            TwLookup* ptwlookupValue = IsCapabilityName(ptwlookup->szName) ? ValueNamed(ptwlookup, a_szName) : nullptr;
            if (ptwlookupValue != nullptr)
            {
                return ptwlookupValue;
            }
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Lookup by number
// ---------------------------------------------------------------------------

// Kind 2 for the capabilities whose values name other things: the value is
// looked up in a family ("DAT_", "TWEI_") or, for a null family, among the
// capability records. The result is a copy of the asking record pointing at
// the static entry, whose value is the position of the match.
TwLookup* CLookup::CapabilityListLookup(TwLookup* a_ptwlookupAsking, const char* a_szFamily, int a_iValue, int a_iItemType)
{
    long lWanted = a_iValue;
    if ((a_szFamily != nullptr) && ((a_iItemType == TWTY_INT32) || (a_iItemType == TWTY_UINT32)))
    {
        // A data group and type pair (or the like): the low 16 bits count.
        lWanted = a_iValue & 0xFFFF;
    }
    if ((lWanted < 0) || (lWanted > 0xFFFF))
    {
        return nullptr;
    }
    if ((lWanted > 32767) && !m_blCustomValues)
    {
        return nullptr;
    }
    const char* szMark = (lWanted >= 0x8000) ? "(*)" : "";

    memset(&s_twenum, 0, sizeof(s_twenum));
    if (a_szFamily == nullptr)
    {
        for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
        {
            if (IsCapabilityName(m_ptwlookup[ii].szName) && (m_ptwlookup[ii].u32Id == static_cast<uint32_t>(lWanted)))
            {
                snprintf(s_twenum.szSymbol, sizeof(s_twenum.szSymbol), "%.*s%s",
                         static_cast<int>(sizeof(s_twenum.szSymbol) - 4), m_ptwlookup[ii].szName, szMark);
                s_twenum.u32Value = static_cast<uint32_t>(ii);
                s_twlookupNumber = *a_ptwlookupAsking;
                s_twlookupNumber.ptwenum = &s_twenum;
                return &s_twlookupNumber;
            }
        }
        return nullptr;
    }

    TwLookup* ptwlookupFamily = FindFamily(a_szFamily, false, 0);
    if ((ptwlookupFamily == nullptr) || (ptwlookupFamily->ptwenum == nullptr))
    {
        return nullptr;
    }
    for (int ee = 0; (ee < TWLOOKUP_VALUES) && (ptwlookupFamily->ptwenum[ee].szSymbol[0] != '\0'); ee++)
    {
        if ((ptwlookupFamily->ptwenum[ee].u32Value & 0xFFFF) == static_cast<uint32_t>(lWanted))
        {
            snprintf(s_twenum.szSymbol, sizeof(s_twenum.szSymbol), "%.*s%s",
                     static_cast<int>(sizeof(s_twenum.szSymbol) - 4), ptwlookupFamily->ptwenum[ee].szSymbol, szMark);
            CopyText(s_twenum.szName, ptwlookupFamily->ptwenum[ee].szName);
            s_twenum.u32Value = static_cast<uint32_t>(ee);
            s_twlookupNumber = *a_ptwlookupAsking;
            s_twlookupNumber.ptwenum = &s_twenum;
            return &s_twlookupNumber;
        }
    }
    return nullptr;
}

TwLookup* CLookup::Lookup(ETWLOOKUP a_etwlookup, int a_iValue, int a_iCapId, int a_iItemType)
{
    if (m_ptwlookup == nullptr)
    {
        return nullptr;
    }

    switch (a_etwlookup)
    {
        case ETWLOOKUP_CAP:
            for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
            {
                if ((m_ptwlookup[ii].u32Id == static_cast<uint32_t>(a_iValue)) && IsCapabilityName(m_ptwlookup[ii].szName))
                {
                    return &m_ptwlookup[ii];
                }
            }
            return nullptr;

        case ETWLOOKUP_CAPVALUE:
        {
            // The 16-bit pattern of the wanted value: items are at most 16
            // bits wide here (a negative 16-bit item matches its pattern).
            long lWanted = a_iValue;
            if ((lWanted < 0) && (lWanted >= -32768))
            {
                lWanted &= 0xFFFF;
            }
            for (int ii = 0; (ii < TWLOOKUP_RECORDS) && (m_ptwlookup[ii].szName[0] != '\0'); ii++)
            {
                TwLookup* ptwlookup = &m_ptwlookup[ii];
                if ((ptwlookup->u32Id != static_cast<uint32_t>(a_iCapId)) || !IsCapabilityName(ptwlookup->szName))
                {
                    continue;
                }
                if ((strcasecmp(ptwlookup->szName, "CAP_SUPPORTEDCAPS") == 0) ||
                    (strcasecmp(ptwlookup->szName, "CAP_SUPPORTEDCAPSSEGMENTUNIQUE") == 0))
                {
                    TwLookup* ptwlookupFound = CapabilityListLookup(ptwlookup, nullptr, a_iValue, a_iItemType);
                    if (ptwlookupFound != nullptr)
                    {
                        return ptwlookupFound;
                    }
                    continue;
                }
                if (strcasecmp(ptwlookup->szName, "CAP_SUPPORTEDDATS") == 0)
                {
                    TwLookup* ptwlookupFound = CapabilityListLookup(ptwlookup, "DAT_", a_iValue, a_iItemType);
                    if (ptwlookupFound != nullptr)
                    {
                        return ptwlookupFound;
                    }
                    continue;
                }
                if (strcasecmp(ptwlookup->szName, "ICAP_SUPPORTEDEXTIMAGEINFO") == 0)
                {
                    TwLookup* ptwlookupFound = CapabilityListLookup(ptwlookup, "TWEI_", a_iValue, a_iItemType);
                    if (ptwlookupFound != nullptr)
                    {
                        return ptwlookupFound;
                    }
                    continue;
                }
                if (ptwlookup->ptwenum == nullptr)
                {
                    return nullptr;
                }
                if ((lWanted < 0) || (lWanted > 0xFFFF))
                {
                    return nullptr;
                }
                for (int ee = 0; (ee < TWLOOKUP_VALUES) && (ptwlookup->ptwenum[ee].szSymbol[0] != '\0'); ee++)
                {
                    if ((ptwlookup->ptwenum[ee].u32Value & 0xFFFF) == static_cast<uint32_t>(lWanted))
                    {
                        s_twlookupNumber = *ptwlookup;
                        s_twlookupNumber.ptwenum = &ptwlookup->ptwenum[ee];
                        return &s_twlookupNumber;
                    }
                }
            }
            return nullptr;
        }

        case ETWLOOKUP_TWTY:
        case ETWLOOKUP_TWON:
        case ETWLOOKUP_TWRC:
        case ETWLOOKUP_TWCC:
        case ETWLOOKUP_TWCY:
        case ETWLOOKUP_TWEI:
        {
            static const char* const s_aszKinds[] = { "TWTY_", "TWON_", "TWRC_", "TWCC_", "TWCY_", "TWEI_" };
            const char* szFamily = s_aszKinds[a_etwlookup - ETWLOOKUP_TWTY];
            TwLookup* ptwlookup = FindFamily(szFamily, true, static_cast<uint32_t>(a_iCapId));
            if ((ptwlookup == nullptr) || (ptwlookup->ptwenum == nullptr))
            {
                return nullptr;
            }
            for (int ee = 0; (ee < TWLOOKUP_VALUES) && (ptwlookup->ptwenum[ee].szSymbol[0] != '\0'); ee++)
            {
                if (ptwlookup->ptwenum[ee].u32Value == static_cast<uint32_t>(a_iValue))
                {
                    s_twlookupNumber = *ptwlookup;
                    s_twlookupNumber.ptwenum = &ptwlookup->ptwenum[ee];
                    return &s_twlookupNumber;
                }
            }
            return nullptr;
        }

        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Values of a capability
// ---------------------------------------------------------------------------
int CLookup::LookupEnum(const char* a_szCapability, const char* a_szSymbol, char* a_szName, size_t a_u64NameSize)
{
    if ((a_szName == nullptr) || (a_u64NameSize == 0) || (a_szSymbol == nullptr) || !IsCapabilityName(a_szCapability))
    {
        return 0;
    }
    TwLookup* ptwlookup = Lookup(a_szCapability);
    if ((ptwlookup == nullptr) || (ptwlookup->ptwenum == nullptr))
    {
        return 0;
    }
    for (int ee = 0; (ee < TWLOOKUP_VALUES) && (ptwlookup->ptwenum[ee].szSymbol[0] != '\0'); ee++)
    {
        if (strcasecmp(ptwlookup->ptwenum[ee].szSymbol, a_szSymbol) == 0)
        {
            // The friendly name, cut to the buffer; a value may have none
            // (an empty name is a plain empty answer, not a failed copy).
            const char* szName = ptwlookup->ptwenum[ee].szName;
            size_t u64Len = strlen(szName);
            memset(a_szName, 0, a_u64NameSize);
            if (u64Len > 0)
            {
                COsString::SStrNcpy(a_szName, a_u64NameSize, szName, (u64Len < a_u64NameSize) ? u64Len : a_u64NameSize - 1);
            }
            a_szName[a_u64NameSize - 1] = '\0';
            return 1;
        }
    }
    return 0;
}

int CLookup::LookupEnum(const char* a_szCapability, const char* a_szText, TW_UINT16* a_pu16Value)
{
    if ((a_szText == nullptr) || (a_pu16Value == nullptr) || !IsCapabilityName(a_szCapability))
    {
        return 0;
    }
    TwLookup* ptwlookup = Lookup(a_szCapability);
    if (ptwlookup == nullptr)
    {
        return 0;
    }

    // The list of supported capabilities holds capability ids.
    if (ptwlookup->u32Id == CAP_SUPPORTEDCAPS)
    {
        if (!IsCapabilityName(a_szText))
        {
            return 0;
        }
        TwLookup* ptwlookupCap = Lookup(a_szText);
        if (ptwlookupCap == nullptr)
        {
            return 0;
        }
        *a_pu16Value = static_cast<TW_UINT16>(ptwlookupCap->u32Id);
        return 1;
    }

    // Numbers are not symbols.
    if (((a_szText[0] >= '0') && (a_szText[0] <= '9')) || (a_szText[0] == '-'))
    {
        return 0;
    }
    if (ptwlookup->ptwenum == nullptr)
    {
        return 0;
    }
    for (int ee = 0; (ee < TWLOOKUP_VALUES) && (ptwlookup->ptwenum[ee].szSymbol[0] != '\0'); ee++)
    {
        if (strcasecmp(ptwlookup->ptwenum[ee].szSymbol, a_szText) == 0)
        {
            *a_pu16Value = static_cast<TW_UINT16>(ptwlookup->ptwenum[ee].u32Value);
            return 1;
        }
    }
    return 0;
}
