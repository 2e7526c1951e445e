// os_cosstring.h
// Bounded string operations (static; g_posstring exists for symmetry).
//
// Sizes are the destination buffer's size in bytes, terminator included.
// When a text does not fit, NOTHING is written (the destination keeps its
// old content) and a flag-64 line naming the operation goes to the services
// log ("SStrCpy failed...<%s>"); null arguments or a size of 0 are refused
// and logged with the pointers ("SStrCpy failed...%p %u %p").
#ifndef OS_COSSTRING_H
#define OS_COSSTRING_H

#include <cstdarg>
#include "osservices.h"

class COsStringImpl;

class COsString
{
public:
    COsString();
    ~COsString();

    // Copy a_szSrc when strlen(a_szSrc) < a_u64DstSize.  Returns the
    // destination, or null when nothing was copied.
    static char* SStrCpy(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc);

    // Append a_szSrc when a_u64DstSize > strlen(dst) + strlen(src).  Returns
    // the destination, or null when nothing was appended.
    static char* SStrCat(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc);

    // Copy at most a_u64Count characters; a terminator is added unless the
    // source is longer than the count.  Nothing is copied when both the count
    // and the source length reach the size, or for a count of 0.  Returns the
    // destination, or null when nothing was copied.
    static char* SStrNcpy(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc, size_t a_u64Count);

    // Append at most a_u64Count characters and a terminator; nothing when
    // neither the count nor the source length fits behind the current text.
    static char* SStrNcat(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc, size_t a_u64Count);

    // Format into the destination within its size.  Returns the number of
    // characters written, or -1 when the output was cut (the cut text stays,
    // and "SStrPrintf failed...<%s>" is logged with the format).
    static int SStrPrintf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, ...)
        __attribute__((format(printf, 3, 4)));
    static int SStrVPrintf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, va_list a_valist)
        __attribute__((format(printf, 3, 0)));

    // Append formatted text.  Returns the number of characters appended, or
    // -1 when it does not fit (then nothing is appended).
    static int SStrCatf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, ...)
        __attribute__((format(printf, 3, 4)));

    // The standard reentrant tokenizer (strtok_r).  Null with a flag-64 line
    // for a null separator set or context.
    static char* SStrTok(char* a_szText, const char* a_szSeparators, char** a_pszContext);

    // Replace a_szFind by a_szReplace in place (all occurrences or the first).
    // 0 on success, 14 when the text is absent, 1 when the grown text would
    // not fit (nothing more is replaced) or for null/empty arguments.
    static EOSSTS SStrReplace(char* a_szText, size_t a_u64Size, const char* a_szFind,
                              const char* a_szReplace, bool a_blAll);

    // Copy a_szSrc without leading and trailing white space (a_szDst may be
    // a_szSrc).  Returns the destination, or null when it does not fit.
    static char* SStrTrim(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc);

    // Signed decimal (base 10) or hexadecimal (base 16, lower case, the
    // value's 32-bit pattern).  Returns the destination; another base logs a
    // flag-64 line and leaves it unchanged.  Null for a null or zero-sized
    // destination, or a number that does not fit (nothing written).
    static char* SStrFromNum(int a_iValue, char* a_szDst, size_t a_u64DstSize, int a_iBase);

    // Hexadecimal text to a number: an optional "0x"/"0X", then hex digits up
    // to the first other character; 0 when no digit follows.  Expects a valid
    // pointer (a null pointer gives 0).
    static uint32_t StrToFastHex(const char* a_szText);

    // Length-prefixed text in place: nothing to do on this platform.
    static void StrConvertCToPascal(char* a_szText, size_t a_u64Size);

private:
    COsString(const COsString&) = delete;
    COsString& operator=(const COsString&) = delete;
    COsStringImpl* m_posstringimpl;
};

#endif // OS_COSSTRING_H
