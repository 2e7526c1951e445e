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

#define OSXML_MAXDEPTH 256

// One element of a parsed document.
struct OsXmlNode
{
    std::string         szName;
    std::string         szAttributes;
    std::string         szValue;
    std::string         szPath;
    int                 iDepth = 0;
    std::vector<size_t> vectorChildren;
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

    EOSSTS Parse(const char* a_szXml);
    EOSSTS ResolveCallback(const std::string& a_szCallback, OsXmlTrampoline& a_pfn, void*& a_pvObject, int a_iLine);
    const OsXmlBinding* FindBinding(const std::vector<std::string>& a_vectorPath);
    void Dispatch(size_t a_u64Node, std::vector<std::string>& a_vectorPath, void* a_pvContext, COsXml* a_posxml);
};

// ---------------------------------------------------------------------------
// Text helpers.
// ---------------------------------------------------------------------------

static void OsXmlAppendUtf8(std::string& a_sz, unsigned long a_u32Code)
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
            a_sz += a_szText[ii++];
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
                OsXmlAppendUtf8(a_sz, u32Code);
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

static std::string OsXmlTrim(const std::string& a_sz)
{
    size_t u64Start = a_sz.find_first_not_of(" \t\r\n");
    if (u64Start == std::string::npos)
    {
        return "";
    }
    size_t u64End = a_sz.find_last_not_of(" \t\r\n");
    return a_sz.substr(u64Start, u64End - u64Start + 1);
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

EOSSTS COsXmlImpl::Parse(const char* a_szXml)
{
    m_vectorNode.clear();
    const char* sz = a_szXml;
    int iLine = 1;
    std::vector<size_t> vectorStack;
    bool blRootDone = false;
    auto fail = [&](const char* a_szWhy) {
        OSLOG_ERROR("xml>>> parse error at line %d: %s", iLine, a_szWhy);
        m_vectorNode.clear();
        return OS_STS_FAIL;
    };
    auto advance = [&](const char* a_szTo) {
        for (; sz < a_szTo; sz++)
        {
            if (*sz == '\n')
            {
                iLine++;
            }
        }
    };
    // A UTF-8 byte order mark.
    if (strncmp(sz, "\xEF\xBB\xBF", 3) == 0)
    {
        sz += 3;
    }
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
                OsXmlAppendDecoded(m_vectorNode[vectorStack.back()].szValue, sz, static_cast<size_t>(szEnd - sz));
            }
            advance(szEnd);
            continue;
        }
        if (strncmp(sz, "<!--", 4) == 0)
        {
            const char* szEnd = strstr(sz + 4, "-->");
            if (!szEnd)
            {
                return fail("unterminated comment");
            }
            advance(szEnd + 3);
            continue;
        }
        if (strncmp(sz, "<![CDATA[", 9) == 0)
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
            m_vectorNode[vectorStack.back()].szValue.append(sz + 9, static_cast<size_t>(szEnd - (sz + 9)));
            advance(szEnd + 3);
            continue;
        }
        if (strncmp(sz, "<?", 2) == 0)
        {
            const char* szEnd = strstr(sz + 2, "?>");
            if (!szEnd)
            {
                return fail("unterminated processing instruction");
            }
            advance(szEnd + 2);
            continue;
        }
        if (strncmp(sz, "<!", 2) == 0)
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
            advance(szEnd + 1);
            continue;
        }
        if (sz[1] == '/')
        {
            const char* szEnd = strchr(sz, '>');
            if (!szEnd)
            {
                return fail("unterminated end tag");
            }
            std::string szName = OsXmlTrim(std::string(sz + 2, static_cast<size_t>(szEnd - (sz + 2))));
            if (vectorStack.empty() || (m_vectorNode[vectorStack.back()].szName != szName))
            {
                return fail("end tag does not match its start tag");
            }
            vectorStack.pop_back();
            if (vectorStack.empty())
            {
                blRootDone = true;
            }
            advance(szEnd + 1);
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
        OsXmlNode osxmlnode;
        osxmlnode.szName.assign(szName, static_cast<size_t>(szNameEnd - szName));
        osxmlnode.szAttributes = OsXmlTrim(std::string(szNameEnd, static_cast<size_t>(szAttrEnd - szNameEnd)));
        osxmlnode.iDepth = static_cast<int>(vectorStack.size()) + 1;
        osxmlnode.szPath = (vectorStack.empty() ? std::string() : m_vectorNode[vectorStack.back()].szPath) + "/" + osxmlnode.szName;
        m_vectorNode.push_back(std::move(osxmlnode));
        size_t u64Node = m_vectorNode.size() - 1;
        if (!vectorStack.empty())
        {
            m_vectorNode[vectorStack.back()].vectorChildren.push_back(u64Node);
        }
        if (blEmpty)
        {
            if (vectorStack.empty())
            {
                blRootDone = true;
            }
        }
        else
        {
            vectorStack.push_back(u64Node);
        }
        advance(szEnd + 1);
    }
    if (!vectorStack.empty())
    {
        std::string szWhy = "unclosed element <" + m_vectorNode[vectorStack.back()].szName + ">";
        return fail(szWhy.c_str());
    }
    if (m_vectorNode.empty())
    {
        return fail("no root element");
    }
    for (OsXmlNode& osxmlnode : m_vectorNode)
    {
        osxmlnode.szValue = OsXmlTrim(osxmlnode.szValue);
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

const OsXmlBinding* COsXmlImpl::FindBinding(const std::vector<std::string>& a_vectorPath)
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
            blMatch = (binding.vectorPath[ii] == a_vectorPath[u64Offset + ii]);
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

void COsXmlImpl::Dispatch(size_t a_u64Node, std::vector<std::string>& a_vectorPath, void* a_pvContext, COsXml* a_posxml)
{
    const OsXmlNode& osxmlnode = m_vectorNode[a_u64Node];
    a_vectorPath.push_back(osxmlnode.szName);
    const OsXmlBinding* posxmlbinding = FindBinding(a_vectorPath);
    OsXmlCallback osxmlcallback;
    memset(&osxmlcallback, 0, sizeof(osxmlcallback));
    osxmlcallback.pvContext = a_pvContext;
    osxmlcallback.posxml = a_posxml;
    osxmlcallback.szElement = osxmlnode.szName.c_str();
    osxmlcallback.szPath = osxmlnode.szPath.c_str();
    osxmlcallback.szValue = osxmlnode.szValue.c_str();
    osxmlcallback.u64ValueSize = osxmlnode.szValue.size();
    osxmlcallback.szAttributes = osxmlnode.szAttributes.c_str();
    osxmlcallback.iDepth = osxmlnode.iDepth;
    if (posxmlbinding && posxmlbinding->pfnEnter)
    {
        osxmlcallback.pvObject = posxmlbinding->pvEnterObject;
        osxmlcallback.blExit = 0;
        posxmlbinding->pfnEnter(&osxmlcallback);
    }
    for (size_t u64Child : osxmlnode.vectorChildren)
    {
        Dispatch(u64Child, a_vectorPath, a_pvContext, a_posxml);
    }
    if (posxmlbinding && posxmlbinding->pfnExit)
    {
        osxmlcallback.pvObject = posxmlbinding->pvExitObject;
        osxmlcallback.blExit = 1;
        posxmlbinding->pfnExit(&osxmlcallback);
    }
    a_vectorPath.pop_back();
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
        std::vector<std::string> vectorPath;
        m_posxmlimpl->Dispatch(0, vectorPath, a_pvContext, this);
    }
    catch (...)
    {
        m_posxmlimpl->m_vectorNode.clear();
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
    std::vector<OsXmlNode>().swap(m_posxmlimpl->m_vectorNode);
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
