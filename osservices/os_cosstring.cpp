// os_cosstring.cpp
// Bounded string operations.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "osservices.h"

class COsStringImpl
{
public:
    int m_iReserved = 0;
};

COsString::COsString() : m_posstringimpl(nullptr)
{
    try
    {
        m_posstringimpl = new COsStringImpl;
    }
    catch (...)
    {
        m_posstringimpl = nullptr;
    }
}

COsString::~COsString()
{
    delete m_posstringimpl;
    m_posstringimpl = nullptr;
}

char* COsString::SStrCpy(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrCpy failed...%p %u %p", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc));
        return nullptr;
    }
    size_t u64Len = strnlen(a_szSrc, a_u64DstSize);
    if (u64Len >= a_u64DstSize)
    {
        OSLOG_ASSERT("SStrCpy failed...<%s>", a_szSrc);
        return nullptr;
    }
    memmove(a_szDst, a_szSrc, u64Len + 1);
    return a_szDst;
}

char* COsString::SStrCat(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrCat failed...%p %u %p", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc));
        return nullptr;
    }
    size_t u64Cur = strnlen(a_szDst, a_u64DstSize);
    size_t u64Len = strnlen(a_szSrc, a_u64DstSize);
    if ((u64Cur >= a_u64DstSize) || (u64Len >= a_u64DstSize) || (a_u64DstSize <= u64Cur + u64Len))
    {
        OSLOG_ASSERT("SStrCat failed...<%s>", a_szSrc);
        return nullptr;
    }
    memmove(a_szDst + u64Cur, a_szSrc, u64Len + 1);
    return a_szDst;
}

char* COsString::SStrNcpy(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc, size_t a_u64Count)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0) || (a_u64Count == 0))
    {
        OSLOG_ASSERT("SStrNcpy failed...%p %u %p %u", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc), static_cast<unsigned>(a_u64Count));
        return nullptr;
    }
    size_t u64Len = strnlen(a_szSrc, a_u64DstSize);
    if ((a_u64Count >= a_u64DstSize) && (u64Len >= a_u64DstSize))
    {
        OSLOG_ASSERT("SStrNcpy failed...<%s>", a_szSrc);
        return nullptr;
    }
    if (u64Len <= a_u64Count)
    {
        // The whole source fits (u64Len < a_u64DstSize here): copy it and its terminator.
        memmove(a_szDst, a_szSrc, u64Len + 1);
    }
    else
    {
        // Only the first a_u64Count characters (a_u64Count < a_u64DstSize here), no terminator.
        memmove(a_szDst, a_szSrc, a_u64Count);
    }
    return a_szDst;
}

char* COsString::SStrNcat(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc, size_t a_u64Count)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0) || (a_u64Count == 0))
    {
        OSLOG_ASSERT("SStrNcat failed...%p %u %p %u", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc), static_cast<unsigned>(a_u64Count));
        return nullptr;
    }
    size_t u64Cur = strnlen(a_szDst, a_u64DstSize);
    if (u64Cur >= a_u64DstSize)
    {
        OSLOG_ASSERT("SStrNcat failed...<%s>", a_szSrc);
        return nullptr;
    }
    size_t u64Room = a_u64DstSize - u64Cur;     // room for characters plus the terminator
    size_t u64Len = strnlen(a_szSrc, u64Room);
    if ((a_u64Count >= u64Room) && (u64Len >= u64Room))
    {
        OSLOG_ASSERT("SStrNcat failed...<%s>", a_szSrc);
        return nullptr;
    }
    size_t u64Copy = (u64Len < a_u64Count) ? u64Len : a_u64Count;
    memmove(a_szDst + u64Cur, a_szSrc, u64Copy);
    a_szDst[u64Cur + u64Copy] = '\0';
    return a_szDst;
}

int COsString::SStrVPrintf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, va_list a_valist)
{
    if (!a_szDst || !a_szFormat || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrPrintf failed...%p %u %p", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szFormat));
        return -1;
    }
    int iWritten = vsnprintf(a_szDst, a_u64DstSize, a_szFormat, a_valist);
    if ((iWritten < 0) || (static_cast<size_t>(iWritten) >= a_u64DstSize))
    {
        if (iWritten < 0)
        {
            a_szDst[0] = '\0';
        }
        OSLOG_ASSERT("SStrPrintf failed...<%s>", a_szFormat);
        return -1;
    }
    return iWritten;
}

int COsString::SStrPrintf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, ...)
{
    va_list valist;
    va_start(valist, a_szFormat);
    int iResult = SStrVPrintf(a_szDst, a_u64DstSize, a_szFormat, valist);
    va_end(valist);
    return iResult;
}

int COsString::SStrCatf(char* a_szDst, size_t a_u64DstSize, const char* a_szFormat, ...)
{
    if (!a_szDst || !a_szFormat || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrCatf failed...%p %u %p", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szFormat));
        return -1;
    }
    size_t u64Cur = strnlen(a_szDst, a_u64DstSize);
    if (u64Cur >= a_u64DstSize)
    {
        OSLOG_ASSERT("SStrCatf failed...<%s>", a_szFormat);
        return -1;
    }
    va_list valist;
    va_start(valist, a_szFormat);
    int iWritten = vsnprintf(a_szDst + u64Cur, a_u64DstSize - u64Cur, a_szFormat, valist);
    va_end(valist);
    if ((iWritten < 0) || (static_cast<size_t>(iWritten) >= a_u64DstSize - u64Cur))
    {
        a_szDst[u64Cur] = '\0';    // nothing is appended
        OSLOG_ASSERT("SStrCatf failed...<%s>", a_szFormat);
        return -1;
    }
    return iWritten;
}

char* COsString::SStrTok(char* a_szText, const char* a_szSeparators, char** a_pszContext)
{
    if (!a_szSeparators || !a_pszContext)
    {
        OSLOG_ASSERT("SStrTok failed...%p %p %p", static_cast<void*>(a_szText), static_cast<const void*>(a_szSeparators),
                     static_cast<void*>(a_pszContext));
        return nullptr;
    }
    return strtok_r(a_szText, a_szSeparators, a_pszContext);
}

EOSSTS COsString::SStrReplace(char* a_szText, size_t a_u64Size, const char* a_szFind, const char* a_szReplace, bool a_blAll)
{
    if (!a_szText || !a_szFind || !a_szReplace || (a_u64Size == 0) || (a_szFind[0] == '\0'))
    {
        OSLOG_ASSERT("SStrReplace failed...%p %u %p %p", static_cast<void*>(a_szText), static_cast<unsigned>(a_u64Size),
                     static_cast<const void*>(a_szFind), static_cast<const void*>(a_szReplace));
        return OS_STS_FAIL;
    }
    size_t u64Len = strnlen(a_szText, a_u64Size);
    if (u64Len >= a_u64Size)
    {
        OSLOG_ASSERT("SStrReplace failed...text not terminated within %u", static_cast<unsigned>(a_u64Size));
        return OS_STS_FAIL;
    }
    size_t u64Find = strlen(a_szFind);
    size_t u64Replace = strlen(a_szReplace);
    char* szFrom = a_szText;
    bool blFound = false;
    for (;;)
    {
        char* szAt = strstr(szFrom, a_szFind);
        if (!szAt)
        {
            break;
        }
        blFound = true;
        size_t u64NewLen = u64Len - u64Find + u64Replace;
        if (u64NewLen >= a_u64Size)
        {
            OSLOG_ASSERT("SStrReplace failed...<%s>", a_szReplace);
            return OS_STS_FAIL;
        }
        size_t u64Tail = u64Len - static_cast<size_t>(szAt - a_szText) - u64Find;
        memmove(szAt + u64Replace, szAt + u64Find, u64Tail + 1);
        memcpy(szAt, a_szReplace, u64Replace);
        u64Len = u64NewLen;
        szFrom = szAt + u64Replace;     // never rescan the replacement
        if (!a_blAll)
        {
            break;
        }
    }
    return blFound ? OS_STS_OK : OS_STS_NOT_FOUND;
}

char* COsString::SStrTrim(char* a_szDst, size_t a_u64DstSize, const char* a_szSrc)
{
    if (!a_szDst || !a_szSrc || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrTrim failed...%p %u %p", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize),
                     static_cast<const void*>(a_szSrc));
        return nullptr;
    }
    const char* szStart = a_szSrc;
    while (*szStart && isspace(static_cast<unsigned char>(*szStart)))
    {
        szStart++;
    }
    const char* szEnd = szStart + strlen(szStart);
    while ((szEnd > szStart) && isspace(static_cast<unsigned char>(szEnd[-1])))
    {
        szEnd--;
    }
    size_t u64Len = static_cast<size_t>(szEnd - szStart);
    if (u64Len >= a_u64DstSize)
    {
        OSLOG_ASSERT("SStrTrim failed...<%s>", a_szSrc);
        return nullptr;
    }
    memmove(a_szDst, szStart, u64Len);
    a_szDst[u64Len] = '\0';
    return a_szDst;
}

char* COsString::SStrFromNum(int a_iValue, char* a_szDst, size_t a_u64DstSize, int a_iBase)
{
    if (!a_szDst || (a_u64DstSize == 0))
    {
        OSLOG_ASSERT("SStrFromNum failed...%p %u", static_cast<void*>(a_szDst), static_cast<unsigned>(a_u64DstSize));
        return nullptr;
    }
    char szNumber[32];
    if (a_iBase == 10)
    {
        snprintf(szNumber, sizeof(szNumber), "%d", a_iValue);
    }
    else if (a_iBase == 16)
    {
        snprintf(szNumber, sizeof(szNumber), "%x", static_cast<unsigned>(a_iValue));
    }
    else
    {
        OSLOG_ASSERT("SStrFromNum failed...unsupported base %d", a_iBase);
        return a_szDst;     // unchanged
    }
    if (strlen(szNumber) >= a_u64DstSize)
    {
        OSLOG_ASSERT("SStrFromNum failed...<%s>", szNumber);
        return nullptr;
    }
    memcpy(a_szDst, szNumber, strlen(szNumber) + 1);
    return a_szDst;
}

uint32_t COsString::StrToFastHex(const char* a_szText)
{
    if (!a_szText)
    {
        return 0;
    }
    const char* sz = a_szText;
    if ((sz[0] == '0') && ((sz[1] == 'x') || (sz[1] == 'X')))
    {
        sz += 2;
    }
    uint32_t u32Value = 0;
    for (;; sz++)
    {
        char c = *sz;
        uint32_t u32Digit;
        if ((c >= '0') && (c <= '9'))
        {
            u32Digit = static_cast<uint32_t>(c - '0');
        }
        else if ((c >= 'a') && (c <= 'f'))
        {
            u32Digit = static_cast<uint32_t>(c - 'a' + 10);
        }
        else if ((c >= 'A') && (c <= 'F'))
        {
            u32Digit = static_cast<uint32_t>(c - 'A' + 10);
        }
        else
        {
            break;
        }
        u32Value = (u32Value << 4) | u32Digit;
    }
    return u32Value;
}

void COsString::StrConvertCToPascal(char* a_szText, size_t a_u64Size)
{
    // Texts stay zero-terminated on this platform.
    (void)a_szText;
    (void)a_u64Size;
}
