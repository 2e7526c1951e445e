// os_coslocale.h
// The current language and text conversions (g_poslocale).
//
// The language table holds the TWAIN languages; EOSLANGUAGE values are the
// TWAIN language codes (TWLG values, -1 the user's locale).  Names are the
// friendly names used by the symbol table for CAP_LANGUAGE: the code's name
// in lower case without its "TWLG_" prefix ("english_usa", "french",
// "german_swiss", ...), and "auto" for the user's locale.  Look-ups ignore
// case, accept the "TWLG_" prefix and treat '_', '-' and ' ' alike.
#ifndef OS_COSLOCALE_H
#define OS_COSLOCALE_H

#include "osservices.h"

enum EOSLANGUAGE
{
    OS_LANGUAGE_UNKNOWN     = -2,   // not in the table
    OS_LANGUAGE_AUTO        = -1,   // the user's locale
    OS_LANGUAGE_DANISH      = 0,
    OS_LANGUAGE_DUTCH       = 1,
    OS_LANGUAGE_ENGLISH     = 2,
    OS_LANGUAGE_FRENCH_CANADIAN = 3,
    OS_LANGUAGE_FINNISH     = 4,
    OS_LANGUAGE_FRENCH      = 5,
    OS_LANGUAGE_GERMAN      = 6,
    OS_LANGUAGE_ICELANDIC   = 7,
    OS_LANGUAGE_ITALIAN     = 8,
    OS_LANGUAGE_NORWEGIAN   = 9,
    OS_LANGUAGE_PORTUGUESE  = 10,
    OS_LANGUAGE_SPANISH     = 11,
    OS_LANGUAGE_SWEDISH     = 12,
    OS_LANGUAGE_ENGLISH_USA = 13,
    OS_LANGUAGE_LAST        = 113   // the highest code of the table
};

class COsLocaleImpl;

class COsLocale
{
public:
    COsLocale();    // the current language starts as OS_LANGUAGE_AUTO
    ~COsLocale();

    // The language of a friendly name, OS_LANGUAGE_UNKNOWN when unknown.
    static EOSLANGUAGE GetLanguageId(const char* a_szName);
    // The friendly name of a language, null when unknown.
    static const char* GetLanguageName(EOSLANGUAGE a_eoslanguage);

    // Make a language current: 0, or 1 when it is not in the table.
    EOSSTS SetLanguage(EOSLANGUAGE a_eoslanguage);
    // The same by name ("SetLanguage(%s)" at flag 4 in debug mode; "SetLanguage
    // could not find language %s" at flag 1 and 1 when unknown).
    EOSSTS SetLanguage(const char* a_szName);
    EOSLANGUAGE GetLanguage();

    // Bounded copies between UTF-8 and the local encoding (the text is
    // unchanged on this platform; a_szDst may equal a_szSrc).  Return the
    // copied length plus one, or 0 when the text does not fit (nothing is
    // written) or for bad arguments.
    static int CopyStringFromUtf8(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc);
    static int CopyUtf8FromString(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc);

private:
    COsLocale(const COsLocale&) = delete;
    COsLocale& operator=(const COsLocale&) = delete;
    COsLocaleImpl* m_poslocaleimpl;
};

#endif // OS_COSLOCALE_H
