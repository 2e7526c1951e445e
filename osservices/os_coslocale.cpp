// os_coslocale.cpp
// The language table and text conversions.
#include <cctype>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "osservices.h"

struct OsLocaleLanguage
{
    EOSLANGUAGE eoslanguage;
    const char* szName;
};

// The TWAIN languages by their codes, then the short TWAIN names and the
// name of the user's locale as aliases.  The first row of a code gives its
// friendly name.
static const OsLocaleLanguage s_aoslocalelanguage[] = {
    {OS_LANGUAGE_AUTO, "auto"},
    {static_cast<EOSLANGUAGE>(0), "danish"},
    {static_cast<EOSLANGUAGE>(1), "dutch"},
    {static_cast<EOSLANGUAGE>(2), "english"},
    {static_cast<EOSLANGUAGE>(3), "french_canadian"},
    {static_cast<EOSLANGUAGE>(4), "finnish"},
    {static_cast<EOSLANGUAGE>(5), "french"},
    {static_cast<EOSLANGUAGE>(6), "german"},
    {static_cast<EOSLANGUAGE>(7), "icelandic"},
    {static_cast<EOSLANGUAGE>(8), "italian"},
    {static_cast<EOSLANGUAGE>(9), "norwegian"},
    {static_cast<EOSLANGUAGE>(10), "portuguese"},
    {static_cast<EOSLANGUAGE>(11), "spanish"},
    {static_cast<EOSLANGUAGE>(12), "swedish"},
    {static_cast<EOSLANGUAGE>(13), "english_usa"},
    {static_cast<EOSLANGUAGE>(14), "afrikaans"},
    {static_cast<EOSLANGUAGE>(15), "albania"},
    {static_cast<EOSLANGUAGE>(16), "arabic"},
    {static_cast<EOSLANGUAGE>(17), "arabic_algeria"},
    {static_cast<EOSLANGUAGE>(18), "arabic_bahrain"},
    {static_cast<EOSLANGUAGE>(19), "arabic_egypt"},
    {static_cast<EOSLANGUAGE>(20), "arabic_iraq"},
    {static_cast<EOSLANGUAGE>(21), "arabic_jordan"},
    {static_cast<EOSLANGUAGE>(22), "arabic_kuwait"},
    {static_cast<EOSLANGUAGE>(23), "arabic_lebanon"},
    {static_cast<EOSLANGUAGE>(24), "arabic_libya"},
    {static_cast<EOSLANGUAGE>(25), "arabic_morocco"},
    {static_cast<EOSLANGUAGE>(26), "arabic_oman"},
    {static_cast<EOSLANGUAGE>(27), "arabic_qatar"},
    {static_cast<EOSLANGUAGE>(28), "arabic_saudiarabia"},
    {static_cast<EOSLANGUAGE>(29), "arabic_syria"},
    {static_cast<EOSLANGUAGE>(30), "arabic_tunisia"},
    {static_cast<EOSLANGUAGE>(31), "arabic_uae"},
    {static_cast<EOSLANGUAGE>(32), "arabic_yemen"},
    {static_cast<EOSLANGUAGE>(33), "basque"},
    {static_cast<EOSLANGUAGE>(34), "byelorussian"},
    {static_cast<EOSLANGUAGE>(35), "bulgarian"},
    {static_cast<EOSLANGUAGE>(36), "catalan"},
    {static_cast<EOSLANGUAGE>(37), "chinese"},
    {static_cast<EOSLANGUAGE>(38), "chinese_hongkong"},
    {static_cast<EOSLANGUAGE>(39), "chinese_prc"},
    {static_cast<EOSLANGUAGE>(40), "chinese_singapore"},
    {static_cast<EOSLANGUAGE>(41), "chinese_simplified"},
    {static_cast<EOSLANGUAGE>(42), "chinese_taiwan"},
    {static_cast<EOSLANGUAGE>(43), "chinese_traditional"},
    {static_cast<EOSLANGUAGE>(44), "croatia"},
    {static_cast<EOSLANGUAGE>(45), "czech"},
    {static_cast<EOSLANGUAGE>(46), "dutch_belgian"},
    {static_cast<EOSLANGUAGE>(47), "english_australian"},
    {static_cast<EOSLANGUAGE>(48), "english_canadian"},
    {static_cast<EOSLANGUAGE>(49), "english_ireland"},
    {static_cast<EOSLANGUAGE>(50), "english_newzealand"},
    {static_cast<EOSLANGUAGE>(51), "english_southafrica"},
    {static_cast<EOSLANGUAGE>(52), "english_uk"},
    {static_cast<EOSLANGUAGE>(53), "estonian"},
    {static_cast<EOSLANGUAGE>(54), "faeroese"},
    {static_cast<EOSLANGUAGE>(55), "farsi"},
    {static_cast<EOSLANGUAGE>(56), "french_belgian"},
    {static_cast<EOSLANGUAGE>(57), "french_luxembourg"},
    {static_cast<EOSLANGUAGE>(58), "french_swiss"},
    {static_cast<EOSLANGUAGE>(59), "german_austrian"},
    {static_cast<EOSLANGUAGE>(60), "german_luxembourg"},
    {static_cast<EOSLANGUAGE>(61), "german_liechtenstein"},
    {static_cast<EOSLANGUAGE>(62), "german_swiss"},
    {static_cast<EOSLANGUAGE>(63), "greek"},
    {static_cast<EOSLANGUAGE>(64), "hebrew"},
    {static_cast<EOSLANGUAGE>(65), "hungarian"},
    {static_cast<EOSLANGUAGE>(66), "indonesian"},
    {static_cast<EOSLANGUAGE>(67), "italian_swiss"},
    {static_cast<EOSLANGUAGE>(68), "japanese"},
    {static_cast<EOSLANGUAGE>(69), "korean"},
    {static_cast<EOSLANGUAGE>(70), "korean_johab"},
    {static_cast<EOSLANGUAGE>(71), "latvian"},
    {static_cast<EOSLANGUAGE>(72), "lithuanian"},
    {static_cast<EOSLANGUAGE>(73), "norwegian_bokmal"},
    {static_cast<EOSLANGUAGE>(74), "norwegian_nynorsk"},
    {static_cast<EOSLANGUAGE>(75), "polish"},
    {static_cast<EOSLANGUAGE>(76), "portuguese_brazil"},
    {static_cast<EOSLANGUAGE>(77), "romanian"},
    {static_cast<EOSLANGUAGE>(78), "russian"},
    {static_cast<EOSLANGUAGE>(79), "serbian_latin"},
    {static_cast<EOSLANGUAGE>(80), "slovak"},
    {static_cast<EOSLANGUAGE>(81), "slovenian"},
    {static_cast<EOSLANGUAGE>(82), "spanish_mexican"},
    {static_cast<EOSLANGUAGE>(83), "spanish_modern"},
    {static_cast<EOSLANGUAGE>(84), "thai"},
    {static_cast<EOSLANGUAGE>(85), "turkish"},
    {static_cast<EOSLANGUAGE>(86), "ukranian"},
    {static_cast<EOSLANGUAGE>(87), "assamese"},
    {static_cast<EOSLANGUAGE>(88), "bengali"},
    {static_cast<EOSLANGUAGE>(89), "bihari"},
    {static_cast<EOSLANGUAGE>(90), "bodo"},
    {static_cast<EOSLANGUAGE>(91), "dogri"},
    {static_cast<EOSLANGUAGE>(92), "gujarati"},
    {static_cast<EOSLANGUAGE>(93), "haryanvi"},
    {static_cast<EOSLANGUAGE>(94), "hindi"},
    {static_cast<EOSLANGUAGE>(95), "kannada"},
    {static_cast<EOSLANGUAGE>(96), "kashmiri"},
    {static_cast<EOSLANGUAGE>(97), "malayalam"},
    {static_cast<EOSLANGUAGE>(98), "marathi"},
    {static_cast<EOSLANGUAGE>(99), "marwari"},
    {static_cast<EOSLANGUAGE>(100), "meghalayan"},
    {static_cast<EOSLANGUAGE>(101), "mizo"},
    {static_cast<EOSLANGUAGE>(102), "naga"},
    {static_cast<EOSLANGUAGE>(103), "orissi"},
    {static_cast<EOSLANGUAGE>(104), "punjabi"},
    {static_cast<EOSLANGUAGE>(105), "pushtu"},
    {static_cast<EOSLANGUAGE>(106), "serbian_cyrillic"},
    {static_cast<EOSLANGUAGE>(107), "sikkimi"},
    {static_cast<EOSLANGUAGE>(108), "swedish_finland"},
    {static_cast<EOSLANGUAGE>(109), "tamil"},
    {static_cast<EOSLANGUAGE>(110), "telugu"},
    {static_cast<EOSLANGUAGE>(111), "tripuri"},
    {static_cast<EOSLANGUAGE>(112), "urdu"},
    {static_cast<EOSLANGUAGE>(113), "vietnamese"},
    {static_cast<EOSLANGUAGE>(0), "dan"},
    {static_cast<EOSLANGUAGE>(1), "dut"},
    {static_cast<EOSLANGUAGE>(2), "eng"},
    {static_cast<EOSLANGUAGE>(3), "fcf"},
    {static_cast<EOSLANGUAGE>(4), "fin"},
    {static_cast<EOSLANGUAGE>(5), "frn"},
    {static_cast<EOSLANGUAGE>(6), "ger"},
    {static_cast<EOSLANGUAGE>(7), "ice"},
    {static_cast<EOSLANGUAGE>(8), "itn"},
    {static_cast<EOSLANGUAGE>(9), "nor"},
    {static_cast<EOSLANGUAGE>(10), "por"},
    {static_cast<EOSLANGUAGE>(11), "spa"},
    {static_cast<EOSLANGUAGE>(12), "swe"},
    {static_cast<EOSLANGUAGE>(13), "usa"},
    {OS_LANGUAGE_AUTO, "userlocale"},
};

// Compare a name with a table name: case ignored, '-' and ' ' taken as '_',
// an optional "TWLG_" prefix skipped.
static bool OsLocaleNameEquals(const char* a_szName, const char* a_szTable)
{
    if (strncasecmp(a_szName, "TWLG_", 5) == 0)
    {
        a_szName += 5;
    }
    for (;; a_szName++, a_szTable++)
    {
        char c = static_cast<char>(tolower(static_cast<unsigned char>(*a_szName)));
        if ((c == '-') || (c == ' '))
        {
            c = '_';
        }
        if (c != *a_szTable)
        {
            return false;
        }
        if (c == '\0')
        {
            return true;
        }
    }
}

class COsLocaleImpl
{
public:
    std::mutex  m_mutex;
    EOSLANGUAGE m_eoslanguage = OS_LANGUAGE_AUTO;
};

COsLocale::COsLocale() : m_poslocaleimpl(nullptr)
{
    try
    {
        m_poslocaleimpl = new COsLocaleImpl;
    }
    catch (...)
    {
        m_poslocaleimpl = nullptr;
    }
}

COsLocale::~COsLocale()
{
    delete m_poslocaleimpl;
    m_poslocaleimpl = nullptr;
}

EOSLANGUAGE COsLocale::GetLanguageId(const char* a_szName)
{
    if (!a_szName || !a_szName[0])
    {
        return OS_LANGUAGE_UNKNOWN;
    }
    for (const OsLocaleLanguage& language : s_aoslocalelanguage)
    {
        if (OsLocaleNameEquals(a_szName, language.szName))
        {
            return language.eoslanguage;
        }
    }
    return OS_LANGUAGE_UNKNOWN;
}

const char* COsLocale::GetLanguageName(EOSLANGUAGE a_eoslanguage)
{
    for (const OsLocaleLanguage& language : s_aoslocalelanguage)
    {
        if (language.eoslanguage == a_eoslanguage)
        {
            return language.szName;
        }
    }
    return nullptr;
}

EOSSTS COsLocale::SetLanguage(EOSLANGUAGE a_eoslanguage)
{
    if (!m_poslocaleimpl)
    {
        OSLOG_ASSERT("m_poslocaleimpl is null...");
        return OS_STS_FAIL;
    }
    if (!GetLanguageName(a_eoslanguage))
    {
        OSLOG_ERROR("SetLanguage could not find language id %d", static_cast<int>(a_eoslanguage));
        return OS_STS_FAIL;
    }
    std::lock_guard<std::mutex> lock(m_poslocaleimpl->m_mutex);
    m_poslocaleimpl->m_eoslanguage = a_eoslanguage;
    return OS_STS_OK;
}

EOSSTS COsLocale::SetLanguage(const char* a_szName)
{
    if (!m_poslocaleimpl)
    {
        OSLOG_ASSERT("m_poslocaleimpl is null...");
        return OS_STS_FAIL;
    }
    OSLOG_INFO("SetLanguage(%s)", a_szName ? a_szName : "(null)");
    EOSLANGUAGE eoslanguage = GetLanguageId(a_szName);
    if (eoslanguage == OS_LANGUAGE_UNKNOWN)
    {
        OSLOG_ERROR("SetLanguage could not find language %s", a_szName ? a_szName : "(null)");
        return OS_STS_FAIL;
    }
    return SetLanguage(eoslanguage);
}

EOSLANGUAGE COsLocale::GetLanguage()
{
    if (!m_poslocaleimpl)
    {
        OSLOG_ASSERT("m_poslocaleimpl is null...");
        return OS_LANGUAGE_UNKNOWN;
    }
    std::lock_guard<std::mutex> lock(m_poslocaleimpl->m_mutex);
    return m_poslocaleimpl->m_eoslanguage;
}

// Both directions copy the bytes unchanged: the local encoding is UTF-8.
static int OsLocaleCopy(const char* a_szWhat, char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("%s failed...%p %u %p", a_szWhat, static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc));
        return 0;
    }
    size_t u64Len = strnlen(a_szSrc, a_u64DstSize);
    if (u64Len >= a_u64DstSize)
    {
        OSLOG_ASSERT("%s failed...<%s>", a_szWhat, a_szSrc);
        return 0;
    }
    memmove(a_szDst, a_szSrc, u64Len + 1);
    return static_cast<int>(u64Len + 1);
}

int COsLocale::CopyStringFromUtf8(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    return OsLocaleCopy("CopyStringFromUtf8", a_szDst, a_u64DstSize, a_szSrc);
}

int COsLocale::CopyUtf8FromString(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    return OsLocaleCopy("CopyUtf8FromString", a_szDst, a_u64DstSize, a_szSrc);
}
