// os_cosjson.cpp
// The strict JSON reader: a parser that records every value as a node
// (type, text span, children), and the dotted-key lookup over the nodes.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "osservices.h"
#include "os_private.h"

namespace
{

// One value of the document.  Spans index the kept copy of the text.
struct OsJsonNode
{
    EOSJSONTYPE eosjsontype = OS_JSONTYPE_NONE;
    size_t u64Start = 0;        // first byte of the value
    size_t u64End = 0;          // one past its last byte
    std::string szKey;          // the decoded member name (object members)
    int32_t i32First = -1;      // first child (objects and arrays)
    int32_t i32Next = -1;       // next sibling
};

// Decodes the string literal at a_sz (its opening quote): appends the
// content to a_pszOut (when given) and returns the offset after the closing
// quote, or the offset of the fault with a_pblOk false.
size_t OsJsonString(const char* a_sz, size_t a_u64At, std::string* a_pszOut, bool* a_pblOk)
{
    *a_pblOk = false;
    size_t uu = a_u64At + 1;
    auto hex4 = [a_sz](size_t a_u64, uint32_t* a_pu32) {
        uint32_t u32 = 0;
        for (size_t kk = 0; kk < 4; kk++)
        {
            char c = a_sz[a_u64 + kk];
            int iDigit = ((c >= '0') && (c <= '9'))   ? c - '0'
                         : ((c >= 'a') && (c <= 'f')) ? c - 'a' + 10
                         : ((c >= 'A') && (c <= 'F')) ? c - 'A' + 10
                                                      : -1;
            if (iDigit < 0)
                return false;
            u32 = (u32 << 4) | static_cast<uint32_t>(iDigit);
        }
        *a_pu32 = u32;
        return true;
    };
    for (;;)
    {
        unsigned char c = static_cast<unsigned char>(a_sz[uu]);
        if (c == '"')
        {
            *a_pblOk = true;
            return uu + 1;
        }
        if (c < 0x20)
            return uu;      // the end of the text or a raw control character
        if (c != '\\')
        {
            if (a_pszOut)
                *a_pszOut += static_cast<char>(c);
            uu++;
            continue;
        }
        char cEscape = a_sz[uu + 1];
        const char* szFrom = "\"\\/bfnrt";
        const char* szTo = "\"\\/\b\f\n\r\t";
        const char* szHit = cEscape ? strchr(szFrom, cEscape) : nullptr;
        if (szHit)
        {
            if (a_pszOut)
                *a_pszOut += szTo[szHit - szFrom];
            uu += 2;
            continue;
        }
        if (cEscape != 'u')
            return uu;
        uint32_t u32 = 0;
        if (!hex4(uu + 2, &u32))
            return uu;
        if ((u32 >= 0xDC00) && (u32 <= 0xDFFF))
            return uu;      // a low surrogate without its high one
        if ((u32 >= 0xD800) && (u32 <= 0xDBFF))
        {
            uint32_t u32Low = 0;
            if ((a_sz[uu + 6] != '\\') || (a_sz[uu + 7] != 'u') || !hex4(uu + 8, &u32Low) || (u32Low < 0xDC00) ||
                (u32Low > 0xDFFF))
                return uu;
            u32 = 0x10000 + ((u32 - 0xD800) << 10) + (u32Low - 0xDC00);
            uu += 6;
        }
        if (a_pszOut)
            OsAppendUtf8(*a_pszOut, u32);
        uu += 6;
    }
}

class OsJsonParser
{
public:
    OsJsonParser(const char* a_sz, std::vector<OsJsonNode>& a_vectornode) : m_sz(a_sz), m_vectornode(a_vectornode) {}

    // Parses the value at m_uu; its node index, or -1 (m_uu at the fault).
    int32_t Value(int a_iDepth)
    {
        SkipBlanks();
        if (a_iDepth > OS_JSON_MAXDEPTH)
            return -1;
        int32_t i32Node = static_cast<int32_t>(m_vectornode.size());
        m_vectornode.emplace_back();
        m_vectornode[i32Node].u64Start = m_uu;
        char c = m_sz[m_uu];
        EOSJSONTYPE eosjsontype;
        bool blOk;
        if (c == '{')
        {
            eosjsontype = OS_JSONTYPE_OBJECT;
            blOk = Members(i32Node, true, a_iDepth);
        }
        else if (c == '[')
        {
            eosjsontype = OS_JSONTYPE_ARRAY;
            blOk = Members(i32Node, false, a_iDepth);
        }
        else if (c == '"')
        {
            eosjsontype = OS_JSONTYPE_STRING;
            m_uu = OsJsonString(m_sz, m_uu, nullptr, &blOk);
        }
        else if ((c == '-') || ((c >= '0') && (c <= '9')))
        {
            eosjsontype = OS_JSONTYPE_NUMBER;
            blOk = Number();
        }
        else
        {
            eosjsontype = (c == 'n') ? OS_JSONTYPE_NULL : OS_JSONTYPE_BOOLEAN;
            blOk = Literal("null") || Literal("true") || Literal("false");
        }
        if (!blOk)
            return -1;
        m_vectornode[i32Node].eosjsontype = eosjsontype;
        m_vectornode[i32Node].u64End = m_uu;
        return i32Node;
    }

    void SkipBlanks()
    {
        while ((m_sz[m_uu] == ' ') || (m_sz[m_uu] == '\t') || (m_sz[m_uu] == '\n') || (m_sz[m_uu] == '\r'))
            m_uu++;
    }

    size_t m_uu = 0;

private:
    bool Literal(const char* a_szWord)
    {
        size_t len = strlen(a_szWord);
        if (strncmp(m_sz + m_uu, a_szWord, len) != 0)
            return false;
        m_uu += len;
        return true;
    }

    bool Digits()
    {
        size_t uuStart = m_uu;
        while ((m_sz[m_uu] >= '0') && (m_sz[m_uu] <= '9'))
            m_uu++;
        return m_uu > uuStart;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool Number()
    {
        if (m_sz[m_uu] == '-')
            m_uu++;
        if (m_sz[m_uu] == '0')
            m_uu++;
        else if (!Digits())
            return false;
        if ((m_sz[m_uu] == '.') && (m_uu++, !Digits()))
            return false;
        if ((m_sz[m_uu] == 'e') || (m_sz[m_uu] == 'E'))
        {
            m_uu++;
            if ((m_sz[m_uu] == '+') || (m_sz[m_uu] == '-'))
                m_uu++;
            if (!Digits())
                return false;
        }
        return true;
    }

    // An object (members with names) or an array; m_uu at its bracket.
    bool Members(int32_t a_i32Node, bool a_blObject, int a_iDepth)
    {
        const char cClose = a_blObject ? '}' : ']';
        m_uu++;
        SkipBlanks();
        if (m_sz[m_uu] == cClose)
        {
            m_uu++;
            return true;
        }
        int32_t i32Last = -1;
        for (;;)
        {
            std::string szKey;
            if (a_blObject)
            {
                SkipBlanks();
                if (m_sz[m_uu] != '"')
                    return false;
                bool blOk;
                m_uu = OsJsonString(m_sz, m_uu, &szKey, &blOk);
                if (!blOk)
                    return false;
                SkipBlanks();
                if (m_sz[m_uu] != ':')
                    return false;
                m_uu++;
            }
            int32_t i32Child = Value(a_iDepth + 1);
            if (i32Child < 0)
                return false;
            m_vectornode[i32Child].szKey.swap(szKey);
            if (i32Last < 0)
                m_vectornode[a_i32Node].i32First = i32Child;
            else
                m_vectornode[i32Last].i32Next = i32Child;
            i32Last = i32Child;
            SkipBlanks();
            if (m_sz[m_uu] == ',')
            {
                m_uu++;
                continue;
            }
            if (m_sz[m_uu] != cClose)
                return false;
            m_uu++;
            return true;
        }
    }

    const char* m_sz;
    std::vector<OsJsonNode>& m_vectornode;
};

} // namespace

class COsJsonImpl
{
public:
    std::string m_szText;                   // the loaded text
    std::vector<OsJsonNode> m_vectornode;   // node 0 is the document (when loaded)
};

COsJson::COsJson() : m_posjsonimpl(nullptr)
{
    try
    {
        m_posjsonimpl = new COsJsonImpl;
    }
    catch (...)
    {
        m_posjsonimpl = nullptr;
    }
}

COsJson::~COsJson()
{
    delete m_posjsonimpl;
    m_posjsonimpl = nullptr;
}

bool COsJson::Load(const char* a_szJson, uint32_t* a_pu32ErrorOffset, int a_iFlag)
{
    (void)a_iFlag;
    if (a_pu32ErrorOffset)
        *a_pu32ErrorOffset = 0;
    if (!m_posjsonimpl)
    {
        OSLOG_ASSERT("m_posjsonimpl is null...");
        return false;
    }
    m_posjsonimpl->m_vectornode.clear();
    m_posjsonimpl->m_szText.clear();
    if (!a_szJson)
        return false;
    size_t u64Fault = 0;
    try
    {
        m_posjsonimpl->m_szText = a_szJson;
        OsJsonParser osjsonparser(m_posjsonimpl->m_szText.c_str(), m_posjsonimpl->m_vectornode);
        int32_t i32Root = osjsonparser.Value(0);
        if (i32Root == 0)
        {
            osjsonparser.SkipBlanks();
            if (osjsonparser.m_uu == m_posjsonimpl->m_szText.size())
                return true;
        }
        u64Fault = osjsonparser.m_uu;
    }
    catch (...)
    {
        OSLOG_ERROR("json>>> no memory for the document...");
    }
    m_posjsonimpl->m_vectornode.clear();
    m_posjsonimpl->m_szText.clear();
    if (a_pu32ErrorOffset)
        *a_pu32ErrorOffset = static_cast<uint32_t>(u64Fault);
    return false;
}

bool COsJson::Get(const char* a_szKey, char* a_szBuffer, size_t a_u64Size, EOSJSONTYPE* a_peosjsontype, int a_iFlag,
                  size_t* a_pu64Length)
{
    (void)a_iFlag;
    if (a_szBuffer && a_u64Size)
        a_szBuffer[0] = '\0';
    if (a_peosjsontype)
        *a_peosjsontype = OS_JSONTYPE_NONE;
    if (a_pu64Length)
        *a_pu64Length = 0;
    if (!m_posjsonimpl || m_posjsonimpl->m_vectornode.empty() || !a_szKey)
        return false;
    const std::vector<OsJsonNode>& vectornode = m_posjsonimpl->m_vectornode;

    // Walk the key: names between dots, each followed by any [index].
    int32_t i32Node = 0;
    const char* sz = a_szKey;
    while (*sz && (i32Node >= 0))
    {
        size_t lenName = strcspn(sz, ".[");
        if (lenName > 0)
        {
            if (vectornode[i32Node].eosjsontype != OS_JSONTYPE_OBJECT)
                return false;
            int32_t i32Child = vectornode[i32Node].i32First;
            while ((i32Child >= 0) && ((vectornode[i32Child].szKey.size() != lenName) ||
                                       (vectornode[i32Child].szKey.compare(0, lenName, sz, lenName) != 0)))
                i32Child = vectornode[i32Child].i32Next;
            i32Node = i32Child;
            sz += lenName;
        }
        while ((*sz == '[') && (i32Node >= 0))
        {
            char* szEnd = nullptr;
            if ((sz[1] < '0') || (sz[1] > '9'))
                return false;
            unsigned long ulIndex = strtoul(sz + 1, &szEnd, 10);
            if (!szEnd || (*szEnd != ']') || (vectornode[i32Node].eosjsontype != OS_JSONTYPE_ARRAY))
                return false;
            int32_t i32Child = vectornode[i32Node].i32First;
            for (unsigned long ul = 0; (ul < ulIndex) && (i32Child >= 0); ul++)
                i32Child = vectornode[i32Child].i32Next;
            i32Node = i32Child;
            sz = szEnd + 1;
        }
        if (*sz == '.')
        {
            sz++;
            if (!*sz)
                return false;
        }
        else if (*sz && (*sz != '['))
            return false;
    }
    if (i32Node < 0)
        return false;

    // The value's text.
    const OsJsonNode& osjsonnode = vectornode[i32Node];
    const char* szText = m_posjsonimpl->m_szText.c_str();
    std::string szDecoded;
    const char* szValue = szText + osjsonnode.u64Start;
    size_t len = osjsonnode.u64End - osjsonnode.u64Start;
    if (osjsonnode.eosjsontype == OS_JSONTYPE_STRING)
    {
        bool blOk = false;
        try
        {
            OsJsonString(szText, osjsonnode.u64Start, &szDecoded, &blOk);
        }
        catch (...)
        {
            OSLOG_ERROR("json>>> no memory for a value...");
            return false;
        }
        szValue = szDecoded.c_str();
        len = szDecoded.size();
    }
    if (a_peosjsontype)
        *a_peosjsontype = osjsonnode.eosjsontype;
    if (a_pu64Length)
        *a_pu64Length = len;
    if (a_szBuffer && a_u64Size)
    {
        size_t lenCopy = (len < a_u64Size) ? len : a_u64Size - 1;
        memcpy(a_szBuffer, szValue, lenCopy);
        a_szBuffer[lenCopy] = '\0';
    }
    return true;
}
