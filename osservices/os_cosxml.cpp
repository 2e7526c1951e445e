// os_cosxml.cpp
// A small XML reader, and dispatch of its elements to callbacks bound by
// symbol name.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

#include "osservices.h"
#include "os_private.h"

#define OSXML_MAXDEPTH 256
#define OSXML_NONE     UINT32_MAX      // no node

// One element of a parsed document.  Its texts (name, attributes, value and
// path, each NUL-terminated) lie in the document's text store and are named
// by their offsets; children are linked from the first to the last.  The
// nodes hold no allocation of their own, so a document of thousands of
// elements costs two allocations.
struct OsXmlNode
{
    uint32_t    u32Name;            // offsets into the text store
    uint32_t    u32Attributes;
    uint32_t    u32Value;
    uint32_t    u32ValueSize;
    uint32_t    u32Path;
    int         iDepth;
    uint32_t    u32FirstChild;      // OSXML_NONE when none
    uint32_t    u32LastChild;
    uint32_t    u32NextSibling;
};

// One binding: a path and its two callbacks.
struct OsXmlBinding
{
    std::vector<std::string>    vectorPath;
    bool                        blAnchored = false;
    OsXmlTrampoline             pfnEnter = nullptr;
    void*                       pvEnterObject = nullptr;
    OsXmlTrampoline             pfnExit = nullptr;
    void*                       pvExitObject = nullptr;
};

struct OsXmlObject
{
    std::string szName;
    std::string szClass;
    void*       pvObject;
};

class COsXmlImpl
{
public:
    std::vector<OsXmlObject>    m_vectorObject;
    std::vector<OsXmlBinding>   m_vectorBinding;
    std::vector<OsXmlNode>      m_vectorNode;       // the document, m_vectorNode[0] the root
    std::string                 m_szText;           // the texts of its nodes (offset 0: an empty text)

    EOSSTS Parse(const char* a_szXml);
    EOSSTS ResolveCallback(const std::string& a_szCallback, OsXmlTrampoline& a_pfn, void*& a_pvObject, int a_iLine);
    const OsXmlBinding* FindBinding(const std::vector<const char*>& a_vectorPath);
    void Dispatch(uint32_t a_u32Node, const OsXmlBinding* a_posxmlbinding, std::vector<const char*>& a_vectorPath,
                  void* a_pvContext, COsXml* a_posxml);
    void FreeDocument();

private:
    bool StoreText(const char* a_szText, size_t a_u64Len, uint32_t& a_u32Offset);
    const char* Text(uint32_t a_u32Offset) const { return m_szText.c_str() + a_u32Offset; }
};

// ---------------------------------------------------------------------------
// Text helpers.
// ---------------------------------------------------------------------------

void OsAppendUtf8(std::string& a_sz, unsigned long a_u32Code)
{
    if (a_u32Code < 0x80)
    {
        a_sz += static_cast<char>(a_u32Code);
    }
    else if (a_u32Code < 0x800)
    {
        a_sz += static_cast<char>(0xC0 | (a_u32Code >> 6));
        a_sz += static_cast<char>(0x80 | (a_u32Code & 0x3F));
    }
    else if (a_u32Code < 0x10000)
    {
        a_sz += static_cast<char>(0xE0 | (a_u32Code >> 12));
        a_sz += static_cast<char>(0x80 | ((a_u32Code >> 6) & 0x3F));
        a_sz += static_cast<char>(0x80 | (a_u32Code & 0x3F));
    }
    else
    {
        a_sz += static_cast<char>(0xF0 | (a_u32Code >> 18));
        a_sz += static_cast<char>(0x80 | ((a_u32Code >> 12) & 0x3F));
        a_sz += static_cast<char>(0x80 | ((a_u32Code >> 6) & 0x3F));
        a_sz += static_cast<char>(0x80 | (a_u32Code & 0x3F));
    }
}

// Append a_szText (a_u64Len bytes) with its entities decoded.  An entity
// that is not understood is kept as it stands.
static void OsXmlAppendDecoded(std::string& a_sz, const char* a_szText, size_t a_u64Len)
{
    static const struct
    {
        const char* szEntity;
        char        c;
    } s_aentity[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (size_t ii = 0; ii < a_u64Len;)
    {
        if (a_szText[ii] != '&')
        {
            // The run up to the next entity, in one piece.
            const void* pvAmp = memchr(a_szText + ii, '&', a_u64Len - ii);
            size_t u64End = pvAmp ? static_cast<size_t>(static_cast<const char*>(pvAmp) - a_szText) : a_u64Len;
            a_sz.append(a_szText + ii, u64End - ii);
            ii = u64End;
            continue;
        }
        bool blDone = false;
        for (const auto& entity : s_aentity)
        {
            size_t u64EntityLen = strlen(entity.szEntity);
            if ((ii + u64EntityLen <= a_u64Len) && (strncmp(a_szText + ii, entity.szEntity, u64EntityLen) == 0))
            {
                a_sz += entity.c;
                ii += u64EntityLen;
                blDone = true;
                break;
            }
        }
        if (!blDone && (ii + 3 < a_u64Len) && (a_szText[ii + 1] == '#'))
        {
            bool blHex = (a_szText[ii + 2] == 'x') || (a_szText[ii + 2] == 'X');
            size_t u64Digits = ii + (blHex ? 3 : 2);
            size_t u64End = u64Digits;
            unsigned long u32Code = 0;
            while ((u64End < a_u64Len) && (u64End - u64Digits < 8) &&
                   (blHex ? isxdigit(static_cast<unsigned char>(a_szText[u64End])) : isdigit(static_cast<unsigned char>(a_szText[u64End]))))
            {
                char c = a_szText[u64End];
                unsigned long u32Digit = isdigit(static_cast<unsigned char>(c)) ? static_cast<unsigned long>(c - '0')
                                                                               : static_cast<unsigned long>((tolower(c) - 'a') + 10);
                u32Code = (u32Code * (blHex ? 16 : 10)) + u32Digit;
                u64End++;
            }
            if ((u64End > u64Digits) && (u64End < a_u64Len) && (a_szText[u64End] == ';') && (u32Code > 0) && (u32Code <= 0x10FFFF))
            {
                OsAppendUtf8(a_sz, u32Code);
                ii = u64End + 1;
                blDone = true;
            }
        }
        if (!blDone)
        {
            a_sz += a_szText[ii++];
        }
    }
}

static bool OsXmlIsBlank(char c)
{
    return (c == ' ') || (c == '\t') || (c == '\r') || (c == '\n');
}

// Narrow a text to its part without leading and trailing white space.
static void OsXmlTrim(const char*& a_sz, size_t& a_u64Len)
{
    while ((a_u64Len > 0) && OsXmlIsBlank(a_sz[0]))
    {
        a_sz++;
        a_u64Len--;
    }
    while ((a_u64Len > 0) && OsXmlIsBlank(a_sz[a_u64Len - 1]))
    {
        a_u64Len--;
    }
}

static bool OsXmlIsNameStart(char c)
{
    return isalpha(static_cast<unsigned char>(c)) || (c == '_') || (c == ':') || (static_cast<unsigned char>(c) >= 0x80);
}

static bool OsXmlIsNameChar(char c)
{
    return OsXmlIsNameStart(c) || isdigit(static_cast<unsigned char>(c)) || (c == '-') || (c == '.');
}

static bool OsXmlIsIdentifier(const std::string& a_sz)
{
    if (a_sz.empty() || !(isalpha(static_cast<unsigned char>(a_sz[0])) || (a_sz[0] == '_')))
    {
        return false;
    }
    for (char c : a_sz)
    {
        if (!isalnum(static_cast<unsigned char>(c)) && (c != '_'))
        {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Parser.
// ---------------------------------------------------------------------------

// Add a text and its terminator to the text store; false when the store
// would pass what 32-bit offsets reach.
bool COsXmlImpl::StoreText(const char* a_szText, size_t a_u64Len, uint32_t& a_u32Offset)
{
    if (a_u64Len == 0)
    {
        a_u32Offset = 0;    // the shared empty text
        return true;
    }
    if (m_szText.size() + a_u64Len + 1 >= OSXML_NONE)
    {
        return false;
    }
    a_u32Offset = static_cast<uint32_t>(m_szText.size());
    m_szText.append(a_szText, a_u64Len);
    m_szText += '\0';
    return true;
}

void COsXmlImpl::FreeDocument()
{
    std::vector<OsXmlNode>().swap(m_vectorNode);
    std::string().swap(m_szText);
}

EOSSTS COsXmlImpl::Parse(const char* a_szXml)
{
    FreeDocument();
    const char* sz = a_szXml;
    bool blRootDone = false;
    // The open elements, with the text gathered for each so far (the
    // strings keep their room from one element to the next) and the length
    // of the path of each.
    std::vector<uint32_t> vectorStack;
    std::vector<std::string> vectorValue;
    std::vector<size_t> vectorPathLen;
    std::string szPath;
    auto fail = [&](const char* a_szWhy) {
        int iLine = 1;
        for (const char* szAt = a_szXml; szAt < sz; szAt++)
        {
            iLine += (*szAt == '\n');
        }
        OSLOG_ERROR("xml>>> parse error at line %d: %s", iLine, a_szWhy);
        FreeDocument();
        return OS_STS_FAIL;
    };
    // Close the innermost open element: its text, trimmed, goes to the store.
    auto close = [&]() {
        OsXmlNode& osxmlnode = m_vectorNode[vectorStack.back()];
        const std::string& szValue = vectorValue[vectorStack.size() - 1];
        const char* szText = szValue.data();
        size_t u64Len = szValue.size();
        OsXmlTrim(szText, u64Len);
        osxmlnode.u32ValueSize = static_cast<uint32_t>(u64Len);
        bool blStored = StoreText(szText, u64Len, osxmlnode.u32Value);
        vectorStack.pop_back();
        szPath.resize(vectorPathLen.back());
        vectorPathLen.pop_back();
        if (vectorStack.empty())
        {
            blRootDone = true;
        }
        return blStored;
    };
    // A UTF-8 byte order mark.
    if (strncmp(sz, "\xEF\xBB\xBF", 3) == 0)
    {
        sz += 3;
    }
    // Room for every element and their texts at once: each element has a
    // '<', and its texts are about as long as the document plus its paths.
    size_t u64Length = strlen(sz);
    size_t u64Elements = 0;
    for (const char* szAt = sz; (szAt = static_cast<const char*>(memchr(szAt, '<', u64Length - static_cast<size_t>(szAt - sz)))) != nullptr; szAt++)
    {
        u64Elements++;
    }
    m_vectorNode.reserve(u64Elements / 2 + 1);
    m_szText.reserve(u64Length + (u64Elements * 8) + 1);
    m_szText.assign(1, '\0');
    while (*sz)
    {
        if (*sz != '<')
        {
            const char* szEnd = strchr(sz, '<');
            if (!szEnd)
            {
                szEnd = sz + strlen(sz);
            }
            if (vectorStack.empty())
            {
                for (const char* szAt = sz; szAt < szEnd; szAt++)
                {
                    if (!isspace(static_cast<unsigned char>(*szAt)))
                    {
                        return fail("text outside the root element");
                    }
                }
            }
            else
            {
                OsXmlAppendDecoded(vectorValue[vectorStack.size() - 1], sz, static_cast<size_t>(szEnd - sz));
            }
            sz = szEnd;
            continue;
        }
        // Comments, CDATA, declarations and processing instructions begin
        // "<!" or "<?": plain tags skip those comparisons.
        if (((sz[1] == '!') || (sz[1] == '?')) && (strncmp(sz, "<!--", 4) == 0))
        {
            const char* szEnd = strstr(sz + 4, "-->");
            if (!szEnd)
            {
                return fail("unterminated comment");
            }
            sz = szEnd + 3;
            continue;
        }
        if ((sz[1] == '!') && (strncmp(sz, "<![CDATA[", 9) == 0))
        {
            const char* szEnd = strstr(sz + 9, "]]>");
            if (!szEnd)
            {
                return fail("unterminated CDATA section");
            }
            if (vectorStack.empty())
            {
                return fail("CDATA outside the root element");
            }
            vectorValue[vectorStack.size() - 1].append(sz + 9, static_cast<size_t>(szEnd - (sz + 9)));
            sz = szEnd + 3;
            continue;
        }
        if (sz[1] == '?')
        {
            const char* szEnd = strstr(sz + 2, "?>");
            if (!szEnd)
            {
                return fail("unterminated processing instruction");
            }
            sz = szEnd + 2;
            continue;
        }
        if (sz[1] == '!')
        {
            // A document type declaration, before the root only.
            if (!vectorStack.empty() || blRootDone)
            {
                return fail("declaration inside the document");
            }
            const char* szBracket = strchr(sz, '[');
            const char* szEnd = strchr(sz, '>');
            if (szBracket && szEnd && (szBracket < szEnd))
            {
                szEnd = strstr(szBracket, "]>");
                if (szEnd)
                {
                    szEnd++;
                }
            }
            if (!szEnd)
            {
                return fail("unterminated declaration");
            }
            sz = szEnd + 1;
            continue;
        }
        if (sz[1] == '/')
        {
            const char* szEnd = strchr(sz, '>');
            if (!szEnd)
            {
                return fail("unterminated end tag");
            }
            const char* szName = sz + 2;
            size_t u64NameLen = static_cast<size_t>(szEnd - szName);
            OsXmlTrim(szName, u64NameLen);
            if (vectorStack.empty())
            {
                return fail("end tag does not match its start tag");
            }
            const char* szOpen = Text(m_vectorNode[vectorStack.back()].u32Name);
            if ((strncmp(szOpen, szName, u64NameLen) != 0) || (szOpen[u64NameLen] != '\0'))
            {
                return fail("end tag does not match its start tag");
            }
            if (!close())
            {
                return fail("document too large");
            }
            sz = szEnd + 1;
            continue;
        }
        // A start tag.
        if (!OsXmlIsNameStart(sz[1]))
        {
            return fail("bad element name");
        }
        if (vectorStack.empty() && blRootDone)
        {
            return fail("a second root element");
        }
        if (vectorStack.size() >= OSXML_MAXDEPTH)
        {
            return fail("elements nested too deeply");
        }
        const char* szName = sz + 1;
        const char* szNameEnd = szName;
        while (OsXmlIsNameChar(*szNameEnd))
        {
            szNameEnd++;
        }
        // The end of the tag, quotes respected.
        const char* szEnd = szNameEnd;
        char cQuote = 0;
        for (; *szEnd; szEnd++)
        {
            if (cQuote)
            {
                if (*szEnd == cQuote)
                {
                    cQuote = 0;
                }
            }
            else if ((*szEnd == '"') || (*szEnd == '\''))
            {
                cQuote = *szEnd;
            }
            else if ((*szEnd == '>') || (*szEnd == '<'))
            {
                break;
            }
        }
        if (*szEnd != '>')
        {
            return fail("unterminated start tag");
        }
        bool blEmpty = (szEnd > szNameEnd) && (szEnd[-1] == '/');
        const char* szAttrEnd = blEmpty ? szEnd - 1 : szEnd;
        if ((szAttrEnd > szNameEnd) && !isspace(static_cast<unsigned char>(*szNameEnd)))
        {
            return fail("bad character in element name");
        }
        if (m_vectorNode.size() >= OSXML_NONE - 1)
        {
            return fail("document too large");
        }
        size_t u64NameLen = static_cast<size_t>(szNameEnd - szName);
        const char* szAttributes = szNameEnd;
        size_t u64AttributesLen = static_cast<size_t>(szAttrEnd - szNameEnd);
        OsXmlTrim(szAttributes, u64AttributesLen);
        vectorPathLen.push_back(szPath.size());
        szPath += '/';
        szPath.append(szName, u64NameLen);
        OsXmlNode osxmlnode;
        osxmlnode.u32Value = 0;
        osxmlnode.u32ValueSize = 0;
        osxmlnode.iDepth = static_cast<int>(vectorStack.size()) + 1;
        osxmlnode.u32FirstChild = OSXML_NONE;
        osxmlnode.u32LastChild = OSXML_NONE;
        osxmlnode.u32NextSibling = OSXML_NONE;
        if (!StoreText(szName, u64NameLen, osxmlnode.u32Name) || !StoreText(szAttributes, u64AttributesLen, osxmlnode.u32Attributes) ||
            !StoreText(szPath.data(), szPath.size(), osxmlnode.u32Path))
        {
            return fail("document too large");
        }
        uint32_t u32Node = static_cast<uint32_t>(m_vectorNode.size());
        m_vectorNode.push_back(osxmlnode);
        if (!vectorStack.empty())
        {
            OsXmlNode& osxmlnodeParent = m_vectorNode[vectorStack.back()];
            if (osxmlnodeParent.u32FirstChild == OSXML_NONE)
            {
                osxmlnodeParent.u32FirstChild = u32Node;
            }
            else
            {
                m_vectorNode[osxmlnodeParent.u32LastChild].u32NextSibling = u32Node;
            }
            osxmlnodeParent.u32LastChild = u32Node;
        }
        vectorStack.push_back(u32Node);
        if (vectorValue.size() < vectorStack.size())
        {
            vectorValue.emplace_back();
        }
        vectorValue[vectorStack.size() - 1].clear();
        if (blEmpty && !close())
        {
            return fail("document too large");
        }
        sz = szEnd + 1;
    }
    if (!vectorStack.empty())
    {
        std::string szWhy = std::string("unclosed element <") + Text(m_vectorNode[vectorStack.back()].u32Name) + ">";
        return fail(szWhy.c_str());
    }
    if (m_vectorNode.empty())
    {
        return fail("no root element");
    }
    return OS_STS_OK;
}

// ---------------------------------------------------------------------------
// Bindings and dispatch.
// ---------------------------------------------------------------------------

EOSSTS COsXmlImpl::ResolveCallback(const std::string& a_szCallback, OsXmlTrampoline& a_pfn, void*& a_pvObject, int a_iLine)
{
    a_pfn = nullptr;
    a_pvObject = nullptr;
    if (a_szCallback == "-")
    {
        return OS_STS_OK;
    }
    size_t u64Dot = a_szCallback.find('.');
    if (u64Dot == std::string::npos)
    {
        OSLOG_ERROR("xml>>> DispatchLoad line %d: callback <%s> is not object.Function", a_iLine, a_szCallback.c_str());
        return OS_STS_BAD_ARGUMENT;
    }
    std::string szObject = a_szCallback.substr(0, u64Dot);
    std::string szFunction = a_szCallback.substr(u64Dot + 1);
    const OsXmlObject* posxmlobject = nullptr;
    for (const OsXmlObject& object : m_vectorObject)
    {
        if (object.szName == szObject)
        {
            posxmlobject = &object;
        }
    }
    if (!posxmlobject || !OsXmlIsIdentifier(szFunction))
    {
        OSLOG_ERROR("xml>>> DispatchLoad line %d: unknown object or bad function <%s>", a_iLine, a_szCallback.c_str());
        return OS_STS_BAD_ARGUMENT;
    }
    std::string szTrampoline = posxmlobject->szClass + "_" + szFunction;
    std::string szMangled = "_ZN" + std::to_string(posxmlobject->szClass.size()) + posxmlobject->szClass +
                            std::to_string(szTrampoline.size()) + szTrampoline + "EP13OsXmlCallback";
    void* pvSymbol = dlsym(RTLD_DEFAULT, szMangled.c_str());
    if (!pvSymbol)
    {
        pvSymbol = dlsym(RTLD_DEFAULT, szTrampoline.c_str());
    }
    if (!pvSymbol)
    {
        OSLOG_ERROR("xml>>> DispatchLoad line %d: no symbol %s (or %s) for <%s>", a_iLine, szMangled.c_str(),
                    szTrampoline.c_str(), a_szCallback.c_str());
        return OS_STS_NOT_FOUND;
    }
    a_pfn = reinterpret_cast<OsXmlTrampoline>(pvSymbol);
    a_pvObject = posxmlobject->pvObject;
    return OS_STS_OK;
}

const OsXmlBinding* COsXmlImpl::FindBinding(const std::vector<const char*>& a_vectorPath)
{
    const OsXmlBinding* posxmlbindingBest = nullptr;
    for (const OsXmlBinding& binding : m_vectorBinding)
    {
        size_t u64Len = binding.vectorPath.size();
        if ((u64Len > a_vectorPath.size()) || (binding.blAnchored && (u64Len != a_vectorPath.size())))
        {
            continue;
        }
        size_t u64Offset = a_vectorPath.size() - u64Len;
        bool blMatch = true;
        for (size_t ii = 0; blMatch && (ii < u64Len); ii++)
        {
            blMatch = (strcmp(binding.vectorPath[ii].c_str(), a_vectorPath[u64Offset + ii]) == 0);
        }
        // The longest path wins; at equal length an anchored one, then the first.
        if (blMatch && (!posxmlbindingBest || (u64Len > posxmlbindingBest->vectorPath.size()) ||
                        ((u64Len == posxmlbindingBest->vectorPath.size()) && binding.blAnchored && !posxmlbindingBest->blAnchored)))
        {
            posxmlbindingBest = &binding;
        }
    }
    return posxmlbindingBest;
}

// Two element names (short texts) are the same.
static inline bool OsXmlSameName(const char* a_sz1, const char* a_sz2)
{
    for (; *a_sz1 == *a_sz2; a_sz1++, a_sz2++)
    {
        if (*a_sz1 == '\0')
        {
            return true;
        }
    }
    return false;
}

// Dispatch one element (a_vectorPath ends with its name; a_posxmlbinding is
// its binding, null for none) and its children.  The binding of a child
// depends only on this element's path and the child's name, so each
// distinct child name is looked up once per element.
void COsXmlImpl::Dispatch(uint32_t a_u32Node, const OsXmlBinding* a_posxmlbinding, std::vector<const char*>& a_vectorPath,
                          void* a_pvContext, COsXml* a_posxml)
{
    const OsXmlNode& osxmlnode = m_vectorNode[a_u32Node];
    OsXmlCallback osxmlcallback;
    memset(&osxmlcallback, 0, sizeof(osxmlcallback));
    osxmlcallback.pvContext = a_pvContext;
    osxmlcallback.posxml = a_posxml;
    osxmlcallback.szElement = Text(osxmlnode.u32Name);
    osxmlcallback.szPath = Text(osxmlnode.u32Path);
    osxmlcallback.szValue = Text(osxmlnode.u32Value);
    osxmlcallback.u64ValueSize = osxmlnode.u32ValueSize;
    osxmlcallback.szAttributes = Text(osxmlnode.u32Attributes);
    osxmlcallback.iDepth = osxmlnode.iDepth;
    if (a_posxmlbinding && a_posxmlbinding->pfnEnter)
    {
        osxmlcallback.pvObject = a_posxmlbinding->pvEnterObject;
        osxmlcallback.blExit = 0;
        a_posxmlbinding->pfnEnter(&osxmlcallback);
    }
    struct
    {
        const char*         szName;
        const OsXmlBinding* posxmlbinding;
    } acache[8];
    size_t u64Cached = 0;
    for (uint32_t u32Child = osxmlnode.u32FirstChild; u32Child != OSXML_NONE; u32Child = m_vectorNode[u32Child].u32NextSibling)
    {
        const char* szName = Text(m_vectorNode[u32Child].u32Name);
        a_vectorPath.push_back(szName);
        const OsXmlBinding* posxmlbindingChild = nullptr;
        size_t ii = 0;
        while ((ii < u64Cached) && !OsXmlSameName(acache[ii].szName, szName))
        {
            ii++;
        }
        if (ii < u64Cached)
        {
            posxmlbindingChild = acache[ii].posxmlbinding;
        }
        else
        {
            posxmlbindingChild = FindBinding(a_vectorPath);
            if (u64Cached < (sizeof(acache) / sizeof(acache[0])))
            {
                acache[u64Cached].szName = szName;
                acache[u64Cached].posxmlbinding = posxmlbindingChild;
                u64Cached++;
            }
        }
        Dispatch(u32Child, posxmlbindingChild, a_vectorPath, a_pvContext, a_posxml);
        a_vectorPath.pop_back();
    }
    if (a_posxmlbinding && a_posxmlbinding->pfnExit)
    {
        osxmlcallback.pvObject = a_posxmlbinding->pvExitObject;
        osxmlcallback.blExit = 1;
        a_posxmlbinding->pfnExit(&osxmlcallback);
    }
}

// ---------------------------------------------------------------------------
// COsXml
// ---------------------------------------------------------------------------

COsXml::COsXml() : m_posxmlimpl(nullptr)
{
    try
    {
        m_posxmlimpl = new COsXmlImpl;
    }
    catch (...)
    {
        m_posxmlimpl = nullptr;
    }
}

COsXml::~COsXml()
{
    delete m_posxmlimpl;
    m_posxmlimpl = nullptr;
}

EOSSTS COsXml::DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvObject)
{
    if (!m_posxmlimpl)
    {
        OSLOG_ASSERT("m_posxmlimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szObjectName || !OsXmlIsIdentifier(a_szObjectName) || !a_szClassName || !OsXmlIsIdentifier(a_szClassName))
    {
        OSLOG_ASSERT("xml>>> DispatchAddObject bad arguments...%p %p", static_cast<const void*>(a_szObjectName),
                     static_cast<const void*>(a_szClassName));
        return OS_STS_BAD_ARGUMENT;
    }
    try
    {
        for (OsXmlObject& object : m_posxmlimpl->m_vectorObject)
        {
            if (object.szName == a_szObjectName)
            {
                object.szClass = a_szClassName;
                object.pvObject = a_pvObject;
                return OS_STS_OK;
            }
        }
        m_posxmlimpl->m_vectorObject.push_back(OsXmlObject{a_szObjectName, a_szClassName, a_pvObject});
    }
    catch (...)
    {
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS COsXml::DispatchLoad(const char* a_szBinding, int a_iFlag)
{
    (void)a_iFlag;
    if (!m_posxmlimpl)
    {
        OSLOG_ASSERT("m_posxmlimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szBinding)
    {
        OSLOG_ASSERT("xml>>> DispatchLoad null binding...");
        return OS_STS_BAD_ARGUMENT;
    }
    std::vector<OsXmlBinding> vectorNew;
    try
    {
        int iLine = 1;
        const char* sz = a_szBinding;
        while (*sz)
        {
            size_t u64Len = strcspn(sz, "\n;");
            std::string szLine(sz, u64Len);
            sz += u64Len;
            if (*sz == '\n')
            {
                iLine++;
            }
            if (*sz)
            {
                sz++;
            }
            std::vector<std::string> vectorWord;
            size_t u64Pos = 0;
            while (u64Pos < szLine.size())
            {
                size_t u64Start = szLine.find_first_not_of(" \t\r", u64Pos);
                if (u64Start == std::string::npos)
                {
                    break;
                }
                size_t u64End = szLine.find_first_of(" \t\r", u64Start);
                if (u64End == std::string::npos)
                {
                    u64End = szLine.size();
                }
                vectorWord.push_back(szLine.substr(u64Start, u64End - u64Start));
                u64Pos = u64End;
            }
            if (vectorWord.empty() || (vectorWord[0][0] == '#'))
            {
                continue;
            }
            if ((vectorWord.size() < 2) || (vectorWord.size() > 3))
            {
                OSLOG_ERROR("xml>>> DispatchLoad line %d: expected <path> <enter> [<exit>]", iLine);
                return OS_STS_BAD_ARGUMENT;
            }
            OsXmlBinding binding;
            std::string szPath = vectorWord[0];
            binding.blAnchored = (szPath[0] == '/');
            size_t u64Part = binding.blAnchored ? 1 : 0;
            for (;;)
            {
                size_t u64Slash = szPath.find('/', u64Part);
                std::string szPart = szPath.substr(u64Part, (u64Slash == std::string::npos) ? std::string::npos : u64Slash - u64Part);
                if (szPart.empty())
                {
                    OSLOG_ERROR("xml>>> DispatchLoad line %d: bad path <%s>", iLine, szPath.c_str());
                    return OS_STS_BAD_ARGUMENT;
                }
                binding.vectorPath.push_back(szPart);
                if (u64Slash == std::string::npos)
                {
                    break;
                }
                u64Part = u64Slash + 1;
            }
            EOSSTS eossts = m_posxmlimpl->ResolveCallback(vectorWord[1], binding.pfnEnter, binding.pvEnterObject, iLine);
            if ((eossts == OS_STS_OK) && (vectorWord.size() == 3))
            {
                eossts = m_posxmlimpl->ResolveCallback(vectorWord[2], binding.pfnExit, binding.pvExitObject, iLine);
            }
            if (eossts != OS_STS_OK)
            {
                return eossts;
            }
            vectorNew.push_back(std::move(binding));
        }
        m_posxmlimpl->m_vectorBinding.insert(m_posxmlimpl->m_vectorBinding.end(), vectorNew.begin(), vectorNew.end());
    }
    catch (...)
    {
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS COsXml::DocumentLoadAndDispatch(const char* a_szXml, void* a_pvContext)
{
    if (!m_posxmlimpl)
    {
        OSLOG_ASSERT("m_posxmlimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szXml)
    {
        OSLOG_ASSERT("xml>>> DocumentLoadAndDispatch null text...");
        return OS_STS_BAD_ARGUMENT;
    }
    try
    {
        EOSSTS eossts = m_posxmlimpl->Parse(a_szXml);
        if (eossts != OS_STS_OK)
        {
            return eossts;
        }
        std::vector<const char*> vectorPath;
        vectorPath.reserve(OSXML_MAXDEPTH);
        vectorPath.push_back(m_posxmlimpl->m_szText.c_str() + m_posxmlimpl->m_vectorNode[0].u32Name);
        m_posxmlimpl->Dispatch(0, m_posxmlimpl->FindBinding(vectorPath), vectorPath, a_pvContext, this);
    }
    catch (...)
    {
        m_posxmlimpl->FreeDocument();
        OSLOG_ERROR("xml>>> DocumentLoadAndDispatch failed...");
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS COsXml::DocumentFree()
{
    if (!m_posxmlimpl)
    {
        OSLOG_ASSERT("m_posxmlimpl is null...");
        return OS_STS_FAIL;
    }
    m_posxmlimpl->FreeDocument();
    return OS_STS_OK;
}

EOSSTS COsXml::DispatchFree()
{
    if (!m_posxmlimpl)
    {
        OSLOG_ASSERT("m_posxmlimpl is null...");
        return OS_STS_FAIL;
    }
    m_posxmlimpl->m_vectorBinding.clear();
    m_posxmlimpl->m_vectorObject.clear();
    return OS_STS_OK;
}

EOSSTS COsXml::GetContent(const char* a_szXml, const char* a_szOpen, const char* a_szClose, char* a_szOut,
                          size_t a_u64OutSize, bool a_blDecode)
{
    if (a_szOut && (a_u64OutSize > 0))
    {
        a_szOut[0] = '\0';
    }
    if (!a_szXml || !a_szOpen || !a_szOpen[0] || !a_szClose || !a_szClose[0] || !a_szOut || (a_u64OutSize == 0))
    {
        OSLOG_ASSERT("xml>>> GetContent bad arguments...%p %p %p %p %u", static_cast<const void*>(a_szXml),
                     static_cast<const void*>(a_szOpen), static_cast<const void*>(a_szClose), static_cast<void*>(a_szOut),
                     static_cast<unsigned>(a_u64OutSize));
        return OS_STS_BAD_ARGUMENT;
    }
    const char* szStart = strstr(a_szXml, a_szOpen);
    if (!szStart)
    {
        return OS_STS_NOT_FOUND;
    }
    szStart += strlen(a_szOpen);
    const char* szEnd = strstr(szStart, a_szClose);
    if (!szEnd)
    {
        return OS_STS_NOT_FOUND;
    }
    size_t u64Len = static_cast<size_t>(szEnd - szStart);
    if (a_blDecode)
    {
        std::string szDecoded;
        try
        {
            OsXmlAppendDecoded(szDecoded, szStart, u64Len);
        }
        catch (...)
        {
            return OS_STS_FAIL;
        }
        if (szDecoded.size() >= a_u64OutSize)
        {
            return OS_STS_DESTINATION_TOO_SMALL;
        }
        memcpy(a_szOut, szDecoded.c_str(), szDecoded.size() + 1);
        return OS_STS_OK;
    }
    if (u64Len >= a_u64OutSize)
    {
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    memcpy(a_szOut, szStart, u64Len);
    a_szOut[u64Len] = '\0';
    return OS_STS_OK;
}
