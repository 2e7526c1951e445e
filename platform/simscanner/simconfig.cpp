// simconfig.cpp
//
// The configuration file of the simulated scanner (see simconfig.h and
// README.md for the format).

#include "simconfig.h"

#include "simnames.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <strings.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct Token
{
    std::string m_sz;
    bool        m_blQuoted = false;
};

// Splits a line into words; double quotes group (and are removed); '#'
// outside quotes starts a comment. Returns false for an unterminated quote.
bool Tokenize(const std::string& a_szLine, std::vector<Token>& a_atoken)
{
    a_atoken.clear();
    std::size_t ii = 0;
    while (ii < a_szLine.size())
    {
        char ch = a_szLine[ii];
        if (ch == ' ' || ch == '\t' || ch == '\r')
        {
            ii++;
            continue;
        }
        if (ch == '#')
        {
            break;
        }
        Token token;
        while (ii < a_szLine.size() && a_szLine[ii] != ' ' && a_szLine[ii] != '\t' && a_szLine[ii] != '\r')
        {
            if (a_szLine[ii] == '"')
            {
                std::size_t uEnd = a_szLine.find('"', ii + 1);
                if (uEnd == std::string::npos)
                {
                    return false;
                }
                token.m_sz += a_szLine.substr(ii + 1, uEnd - ii - 1);
                token.m_blQuoted = true;
                ii = uEnd + 1;
                continue;
            }
            token.m_sz += a_szLine[ii++];
        }
        a_atoken.push_back(token);
    }
    return true;
}

bool Equal(const std::string& a_sz, const char* a_szOther)
{
    return strcasecmp(a_sz.c_str(), a_szOther) == 0;
}

bool ParseInt(const std::string& a_sz, std::int64_t& a_i64)
{
    if (a_sz.empty())
    {
        return false;
    }
    errno = 0;
    char* pszEnd = nullptr;
    long long ll = std::strtoll(a_sz.c_str(), &pszEnd, 0);
    if (errno == ERANGE && a_sz[0] != '-')
    {
        // 0x8000000000000000 and above: unsigned 64-bit values.
        errno = 0;
        unsigned long long ull = std::strtoull(a_sz.c_str(), &pszEnd, 0);
        ll = static_cast<long long>(ull);
    }
    if (errno != 0 || pszEnd == nullptr || *pszEnd != '\0')
    {
        return false;
    }
    a_i64 = ll;
    return true;
}

bool ParseDouble(const std::string& a_sz, double& a_d)
{
    if (a_sz.empty())
    {
        return false;
    }
    char* pszEnd = nullptr;
    a_d = std::strtod(a_sz.c_str(), &pszEnd);
    return pszEnd != nullptr && *pszEnd == '\0';
}

// A number or a name of any table.
bool ParseNumberOrName(const std::string& a_sz, std::int64_t& a_i64)
{
    if (ParseInt(a_sz, a_i64))
    {
        return true;
    }
    std::uint32_t u32 = 0;
    const ESimNameKind aeKind[] = {eSimNameValue, eSimNameCap, eSimNameDg, eSimNameDat, eSimNameMsg, eSimNameRc, eSimNameCc,
                                   eSimNameTy, eSimNameOn};
    for (ESimNameKind eKind : aeKind)
    {
        if (SimValueOf(eKind, a_sz, u32))
        {
            a_i64 = u32;
            return true;
        }
    }
    return false;
}

bool ParseKind(ESimNameKind a_eKind, const std::string& a_sz, std::uint32_t& a_u32)
{
    if (a_sz == "*")
    {
        a_u32 = kSimAny;
        return true;
    }
    std::int64_t i64 = 0;
    if (ParseInt(a_sz, i64) && i64 >= 0 && i64 <= 0xFFFFFFFFLL)
    {
        a_u32 = static_cast<std::uint32_t>(i64);
        return true;
    }
    return SimValueOf(a_eKind, a_sz, a_u32);
}

bool ParseType(const std::string& a_sz, TW_UINT16& a_u16Type)
{
    std::uint32_t u32 = 0;
    if (SimValueOf(eSimNameTy, a_sz, u32) || SimValueOf(eSimNameTy, "TWTY_" + a_sz, u32))
    {
        a_u16Type = static_cast<TW_UINT16>(u32);
        return SimTypeKnown(a_u16Type);
    }
    return false;
}

bool ParseVersion(const std::string& a_sz, TW_UINT16& a_u16Major, TW_UINT16& a_u16Minor)
{
    unsigned int uMajor = 0;
    unsigned int uMinor = 0;
    char chExtra = 0;
    int iCount = std::sscanf(a_sz.c_str(), "%u.%u%c", &uMajor, &uMinor, &chExtra);
    if (iCount < 1 || iCount > 2 || uMajor > 0xFFFF || uMinor > 0xFFFF)
    {
        return false;
    }
    a_u16Major = static_cast<TW_UINT16>(uMajor);
    a_u16Minor = static_cast<TW_UINT16>(uMinor);
    return true;
}

void SetText(char* a_szDest, std::size_t a_uSize, const std::string& a_sz)
{
    std::memset(a_szDest, 0, a_uSize);
    std::strncpy(a_szDest, a_sz.c_str(), a_uSize - 1);
}

class CParser
{
public:
    CParser(SimConfig& a_config, const std::string& a_szName) : m_config(a_config), m_szName(a_szName) {}
    void Line(const std::string& a_szLine, int a_iLine);

private:
    void Error(const std::string& a_szMessage);
    void Setting(const std::string& a_szKey, const std::vector<Token>& a_atoken);
    void Cameras(const std::vector<Token>& a_atoken);
    void Cap(const std::vector<Token>& a_atoken);
    void On(const std::vector<Token>& a_atoken);
    void Fault(const std::vector<Token>& a_atoken);
    SimCapDef* FindDef(TW_UINT16 a_u16Cap);

    SimConfig&  m_config;
    std::string m_szName;
    int         m_iLine = 0;
    bool        m_blActive = true;   // the current section applies to this source
};

void CParser::Error(const std::string& a_szMessage)
{
    m_config.m_aszErrors.push_back(m_szName + ":" + std::to_string(m_iLine) + ": " + a_szMessage);
}

SimCapDef* CParser::FindDef(TW_UINT16 a_u16Cap)
{
    for (SimCapDef& def : m_config.m_adef)
    {
        if (def.m_u16Cap == a_u16Cap)
        {
            return &def;
        }
    }
    return nullptr;
}

void CParser::Line(const std::string& a_szLine, int a_iLine)
{
    m_iLine = a_iLine;
    std::vector<Token> atoken;
    if (!Tokenize(a_szLine, atoken))
    {
        Error("unterminated quote");
        return;
    }
    if (atoken.empty())
    {
        return;
    }
    const std::string& szFirst = atoken[0].m_sz;
    if (!atoken[0].m_blQuoted && !szFirst.empty() && szFirst[0] == '[')
    {
        // [all] or [profile key] or [product name]
        std::string szSection = a_szLine.substr(a_szLine.find('[') + 1);
        std::size_t uEnd = szSection.find(']');
        if (uEnd == std::string::npos)
        {
            Error("section without ']'");
            m_blActive = false;
            return;
        }
        szSection = szSection.substr(0, uEnd);
        m_blActive = Equal(szSection, "all") || Equal(szSection, m_config.m_profile.m_szKey.c_str()) ||
                     Equal(szSection, m_config.m_profile.m_twidentity.ProductName);
        return;
    }
    if (!m_blActive)
    {
        return;
    }
    if (Equal(szFirst, "cap"))
    {
        Cap(atoken);
        return;
    }
    if (Equal(szFirst, "on"))
    {
        On(atoken);
        return;
    }
    if (Equal(szFirst, "fault"))
    {
        Fault(atoken);
        return;
    }
    // key = value [value...]
    std::string szKey = szFirst;
    std::vector<Token> atokenValue(atoken.begin() + 1, atoken.end());
    std::size_t uEq = szKey.find('=');
    if (uEq != std::string::npos)
    {
        std::string szRest = szKey.substr(uEq + 1);
        szKey = szKey.substr(0, uEq);
        if (!szRest.empty())
        {
            Token token;
            token.m_sz = szRest;
            atokenValue.insert(atokenValue.begin(), token);
        }
    }
    else if (!atokenValue.empty() && atokenValue[0].m_sz == "=" && !atokenValue[0].m_blQuoted)
    {
        atokenValue.erase(atokenValue.begin());
    }
    else if (!atokenValue.empty() && atokenValue[0].m_sz[0] == '=' && !atokenValue[0].m_blQuoted)
    {
        atokenValue[0].m_sz = atokenValue[0].m_sz.substr(1);
    }
    else
    {
        Error("unknown statement '" + szFirst + "'");
        return;
    }
    Setting(szKey, atokenValue);
}

void CParser::Setting(const std::string& a_szKey, const std::vector<Token>& a_atoken)
{
    TW_IDENTITY& twidentity = m_config.m_profile.m_twidentity;
    std::string szValue;
    for (std::size_t ii = 0; ii < a_atoken.size(); ii++)
    {
        szValue += (ii ? " " : "") + a_atoken[ii].m_sz;
    }
    std::int64_t i64 = 0;
    if ((Equal(a_szKey, "productname") || Equal(a_szKey, "manufacturer") || Equal(a_szKey, "productfamily") ||
         Equal(a_szKey, "info")) &&
        szValue.size() >= sizeof(TW_STR32))
    {
        // Cut short, a name would quietly stand for another source.
        Error(a_szKey + " longer than " + std::to_string(sizeof(TW_STR32) - 1) + " characters");
        return;
    }
    if (Equal(a_szKey, "productname"))
    {
        SetText(twidentity.ProductName, sizeof(twidentity.ProductName), szValue);
    }
    else if (Equal(a_szKey, "manufacturer"))
    {
        SetText(twidentity.Manufacturer, sizeof(twidentity.Manufacturer), szValue);
    }
    else if (Equal(a_szKey, "productfamily"))
    {
        SetText(twidentity.ProductFamily, sizeof(twidentity.ProductFamily), szValue);
    }
    else if (Equal(a_szKey, "info"))
    {
        SetText(twidentity.Version.Info, sizeof(twidentity.Version.Info), szValue);
    }
    else if (Equal(a_szKey, "version"))
    {
        if (!ParseVersion(szValue, twidentity.Version.MajorNum, twidentity.Version.MinorNum))
        {
            Error("bad version '" + szValue + "'");
        }
    }
    else if (Equal(a_szKey, "protocol"))
    {
        if (!ParseVersion(szValue, twidentity.ProtocolMajor, twidentity.ProtocolMinor))
        {
            Error("bad protocol '" + szValue + "'");
        }
    }
    else if (Equal(a_szKey, "groups"))
    {
        if (!ParseNumberOrName(szValue, i64) || i64 < 0 || i64 > 0xFFFFFFFFLL)
        {
            Error("bad groups '" + szValue + "'");
            return;
        }
        twidentity.SupportedGroups = static_cast<TW_UINT32>(i64);
    }
    else if (Equal(a_szKey, "language") || Equal(a_szKey, "country"))
    {
        if (!ParseNumberOrName(szValue, i64) || i64 < 0 || i64 > 0xFFFF)
        {
            Error("bad " + a_szKey + " '" + szValue + "'");
            return;
        }
        (Equal(a_szKey, "language") ? twidentity.Version.Language : twidentity.Version.Country) = static_cast<TW_UINT16>(i64);
    }
    else if (Equal(a_szKey, "pages"))
    {
        if (!ParseInt(szValue, i64) || i64 < 0 || i64 > 1000000)
        {
            Error("bad page count '" + szValue + "'");
            return;
        }
        m_config.m_iPages = static_cast<int>(i64);
    }
    else if (Equal(a_szKey, "page"))
    {
        // page = <width> <height> in inches: the scanning area and the default frame.
        double dWidth = 0;
        double dHeight = 0;
        if (a_atoken.size() != 2 || !ParseDouble(a_atoken[0].m_sz, dWidth) || !ParseDouble(a_atoken[1].m_sz, dHeight) ||
            dWidth <= 0 || dHeight <= 0 || dWidth > 32767 || dHeight > 32767)
        {
            Error("page needs a width and a height in inches");
            return;
        }
        if (SimCapDef* pdef = FindDef(ICAP_PHYSICALWIDTH))
        {
            pdef->m_aDefault.assign(1, SimFix(dWidth));
        }
        if (SimCapDef* pdef = FindDef(ICAP_PHYSICALHEIGHT))
        {
            pdef->m_aDefault.assign(1, SimFix(dHeight));
        }
        if (SimCapDef* pdef = FindDef(ICAP_FRAMES))
        {
            pdef->m_aDefault.assign(1, SimFrame(0, 0, dWidth, dHeight));
        }
    }
    else if (Equal(a_szKey, "xferready.delay") || Equal(a_szKey, "uionly.delay"))
    {
        if (!ParseInt(szValue, i64) || i64 < 0 || i64 > 3600000)
        {
            Error("bad delay '" + szValue + "'");
            return;
        }
        (Equal(a_szKey, "uionly.delay") ? m_config.m_u32UiOnlyDelayMs : m_config.m_u32XferReadyDelayMs) = static_cast<std::uint32_t>(i64);
    }
    else if (Equal(a_szKey, "native"))
    {
        if (!Equal(szValue, "tiff") && !Equal(szValue, "dib"))
        {
            Error("native must be tiff or dib");
            return;
        }
        m_config.m_blNativeDib = Equal(szValue, "dib");
    }
    else if (Equal(a_szKey, "memory.align"))
    {
        if (!ParseInt(szValue, i64) || (i64 != 1 && i64 != 2 && i64 != 4))
        {
            Error("memory.align must be 1, 2 or 4");
            return;
        }
        m_config.m_iMemoryAlign = static_cast<int>(i64);
    }
    else if (Equal(a_szKey, "memory.tile"))
    {
        std::int64_t i64Rows = 0;
        if (a_atoken.size() != 2 || !ParseInt(a_atoken[0].m_sz, i64) || !ParseInt(a_atoken[1].m_sz, i64Rows) || i64 < 0 ||
            i64 > 1000000 || i64Rows < 1 || i64Rows > 1000000)
        {
            Error("memory.tile needs columns (0 for whole rows) and rows");
            return;
        }
        m_config.m_i64TileColumns = i64;
        m_config.m_i64TileRows = i64Rows;
    }
    else if (Equal(a_szKey, "memory.length"))
    {
        if (!Equal(szValue, "known") && !Equal(szValue, "unknown"))
        {
            Error("memory.length must be known or unknown");
            return;
        }
        m_config.m_blLengthUnknown = Equal(szValue, "unknown");
    }
    else if (Equal(a_szKey, "imageinfo.size"))
    {
        std::int64_t i64Length = 0;
        // (TW_INT32 is eight bytes here: a source can claim any of them)
        if (a_atoken.size() != 2 || !ParseInt(a_atoken[0].m_sz, i64) || !ParseInt(a_atoken[1].m_sz, i64Length) || i64 < 0 ||
            i64Length < -1)
        {
            Error("imageinfo.size needs a width (0 or more) and a length (-1 or more)");
            return;
        }
        m_config.m_i64ClaimWidth = i64;
        m_config.m_i64ClaimLength = i64Length;
    }
    else if (Equal(a_szKey, "cameras"))
    {
        Cameras(a_atoken);
    }
    else if (Equal(a_szKey, "cameras.count") || Equal(a_szKey, "cameras.loop"))
    {
        bool blCount = Equal(a_szKey, "cameras.count");
        if (!m_config.m_profile.m_blFileSystem)
        {
            Error(a_szKey + ": this source has no file system");
        }
        else if (blCount && (!ParseInt(szValue, i64) || i64 < 1 || i64 > 10000000))
        {
            Error("bad camera count '" + szValue + "' (1 to 10000000)");
        }
        else if (blCount)
        {
            m_config.m_profile.m_aszCameras.clear();
            m_config.m_profile.m_u32Numbered = static_cast<std::uint32_t>(i64);
            SimSetCameraDefaults(m_config.m_adef, {});
        }
        else if (!Equal(szValue, "on") && !Equal(szValue, "off"))
        {
            Error("cameras.loop must be on or off");
        }
        else
        {
            m_config.m_profile.m_blListingLoops = Equal(szValue, "on");
        }
    }
    else if (Equal(a_szKey, "uionly.reply"))
    {
        std::uint32_t u32 = 0;
        if (Equal(szValue, "none"))
        {
            m_config.m_u16UiOnlyReply = MSG_NULL;
        }
        else if ((SimValueOf(eSimNameMsg, szValue, u32) || SimValueOf(eSimNameMsg, "MSG_" + szValue, u32)) &&
                 (u32 == MSG_CLOSEDSOK || u32 == MSG_CLOSEDSREQ))
        {
            m_config.m_u16UiOnlyReply = static_cast<TW_UINT16>(u32);
        }
        else
        {
            Error("uionly.reply must be MSG_CLOSEDSOK, MSG_CLOSEDSREQ or none");
        }
    }
    else
    {
        Error("unknown setting '" + a_szKey + "'");
    }
}

// cameras = [/<name>...]: the cameras at the root of the file system, none
// at all included.
void CParser::Cameras(const std::vector<Token>& a_atoken)
{
    if (!m_config.m_profile.m_blFileSystem)
    {
        Error("cameras: this source has no file system");
        return;
    }
    std::vector<std::string> aszCamera;
    for (const Token& token : a_atoken)
    {
        const std::string& sz = token.m_sz;
        // A camera is one entry of the root: "/<name>", its name not a
        // directory of its own ("." or "..") and fitting a TW_STR255.
        if (sz.size() < 2 || sz[0] != '/' || sz.find('/', 1) != std::string::npos || sz == "/." || sz == "/.." ||
            sz.size() > sizeof(TW_STR255) - 1)
        {
            Error("bad camera name '" + sz + "' (/<name>, at most " + std::to_string(sizeof(TW_STR255) - 1) +
                  " characters)");
            return;
        }
        if (std::find(aszCamera.begin(), aszCamera.end(), sz) != aszCamera.end())
        {
            Error("camera '" + sz + "' named twice");
            return;
        }
        aszCamera.push_back(sz);
    }
    m_config.m_profile.m_aszCameras = aszCamera;
    m_config.m_profile.m_u32Numbered = 0;
    SimSetCameraDefaults(m_config.m_adef, aszCamera);
}

// cap <CAP> <shape> <type> <values...> [options]   or   cap <CAP> none
void CParser::Cap(const std::vector<Token>& a_atoken)
{
    if (a_atoken.size() < 3)
    {
        Error("cap needs a capability and a shape");
        return;
    }
    std::uint32_t u32Cap = 0;
    if (!ParseKind(eSimNameCap, a_atoken[1].m_sz, u32Cap) || u32Cap > 0xFFFF)
    {
        Error("unknown capability '" + a_atoken[1].m_sz + "'");
        return;
    }
    TW_UINT16 u16Cap = static_cast<TW_UINT16>(u32Cap);
    SimCapDef* pdefOld = FindDef(u16Cap);
    if (Equal(a_atoken[2].m_sz, "none"))
    {
        for (auto it = m_config.m_adef.begin(); it != m_config.m_adef.end(); ++it)
        {
            if (it->m_u16Cap == u16Cap)
            {
                m_config.m_adef.erase(it);
                break;
            }
        }
        return;
    }
    SimCapDef def;
    def.m_u16Cap = u16Cap;
    if (pdefOld != nullptr)
    {
        // What the values measure and where they live stay as built in.
        def.m_eKind = pdefOld->m_eKind;
        def.m_eScope = pdefOld->m_eScope;
    }
    const std::string& szShape = a_atoken[2].m_sz;
    if (Equal(szShape, "onevalue"))
    {
        def.m_eShape = eSimOneValue;
    }
    else if (Equal(szShape, "enum") || Equal(szShape, "enumeration"))
    {
        def.m_eShape = eSimEnum;
    }
    else if (Equal(szShape, "range"))
    {
        def.m_eShape = eSimRange;
    }
    else if (Equal(szShape, "array"))
    {
        def.m_eShape = eSimArray;
    }
    else
    {
        Error("unknown shape '" + szShape + "' (onevalue, enum, range, array or none)");
        return;
    }
    if (a_atoken.size() < 4 || !ParseType(a_atoken[3].m_sz, def.m_u16Type))
    {
        Error("cap needs an item type (int8 ... str1024, frameangle)");
        return;
    }
    if (def.m_eShape == eSimRange && !SimTypeIsNumeric(def.m_u16Type))
    {
        Error("a range needs a numeric item type");
        return;
    }
    std::vector<SimItem> aitem;
    bool blDefault = false;
    SimItem itemDefault;
    for (std::size_t ii = 4; ii < a_atoken.size(); ii++)
    {
        const std::string& sz = a_atoken[ii].m_sz;
        std::size_t uEq = a_atoken[ii].m_blQuoted ? std::string::npos : sz.find('=');
        if (uEq == std::string::npos && !a_atoken[ii].m_blQuoted && Equal(sz, "readonly"))
        {
            def.m_blReadOnly = true;
            continue;
        }
        if (uEq == std::string::npos && !a_atoken[ii].m_blQuoted && Equal(sz, "lenient"))
        {
            def.m_blLenient = true;
            continue;
        }
        if (uEq == std::string::npos)
        {
            SimItem item;
            if (!SimParseItem(def.m_u16Type, sz, item))
            {
                Error("bad value '" + sz + "' for the item type");
                return;
            }
            aitem.push_back(item);
            continue;
        }
        std::string szOption = sz.substr(0, uEq);
        std::string szValue = sz.substr(uEq + 1);
        std::int64_t i64 = 0;
        if (Equal(szOption, "default"))
        {
            if (!SimParseItem(def.m_u16Type, szValue, itemDefault))
            {
                Error("bad default '" + szValue + "'");
                return;
            }
            blDefault = true;
        }
        else if (Equal(szOption, "requires"))
        {
            std::size_t uColon = szValue.find(':');
            std::uint32_t u32Req = 0;
            if (uColon == std::string::npos || !ParseKind(eSimNameCap, szValue.substr(0, uColon), u32Req) ||
                !ParseNumberOrName(szValue.substr(uColon + 1), i64))
            {
                Error("requires needs <capability>:<value>");
                return;
            }
            def.m_u16RequireCap = static_cast<TW_UINT16>(u32Req);
            def.m_i64RequireValue = i64;
        }
        else if (Equal(szOption, "query"))
        {
            if (!ParseInt(szValue, i64) || i64 < 0 || i64 > 0xFFFFFFFFLL)
            {
                Error("bad query flags '" + szValue + "'");
                return;
            }
            def.m_blQueryOverride = true;
            def.m_u32Query = static_cast<TW_UINT32>(i64);
        }
        else if (Equal(szOption, "max"))
        {
            if (!ParseInt(szValue, i64) || i64 < 1 || i64 > static_cast<std::int64_t>(kSimMaxItems))
            {
                Error("bad max '" + szValue + "'");
                return;
            }
            def.m_u64MaxItems = static_cast<std::uint64_t>(i64);
        }
        else
        {
            Error("unknown option '" + szOption + "'");
            return;
        }
    }
    switch (def.m_eShape)
    {
        case eSimOneValue:
            if (aitem.size() != 1 && !blDefault)
            {
                Error("a one-value needs one value");
                return;
            }
            def.m_aDefault.assign(1, blDefault ? itemDefault : aitem[0]);
            break;
        case eSimEnum:
            if (SimTypeIsFrame(def.m_u16Type))
            {
                // Frames: the enumeration holds the frames in use.
                if (aitem.empty())
                {
                    Error("a frame enumeration needs at least one frame");
                    return;
                }
                def.m_blFree = true;
                def.m_aDefault = aitem;
                if (def.m_u64MaxItems < aitem.size())
                {
                    def.m_u64MaxItems = aitem.size();
                }
                break;
            }
            if (aitem.empty())
            {
                Error("an enumeration needs at least one value");
                return;
            }
            def.m_aValues = aitem;
            def.m_aDefault.assign(1, blDefault ? itemDefault : aitem[0]);
            break;
        case eSimRange:
            if (aitem.size() != 3 || aitem[0].m_i64 > aitem[1].m_i64 || aitem[2].m_i64 < 0 ||
                (aitem[2].m_i64 == 0 && aitem[0].m_i64 != aitem[1].m_i64))
            {
                Error("a range needs <min> <max> <step> with min <= max and a positive step");
                return;
            }
            def.m_min = aitem[0];
            def.m_max = aitem[1];
            def.m_step = aitem[2];
            def.m_aDefault.assign(1, blDefault ? itemDefault : aitem[0]);
            break;
        case eSimArray:
            def.m_aDefault = aitem;
            break;
    }
    if (pdefOld != nullptr)
    {
        *pdefOld = def;
    }
    else
    {
        m_config.m_adef.push_back(def);
    }
}

// on <trigger> send <MSG> [<TWDE>] [after <n> [ms]] [field=value ...]
void CParser::On(const std::vector<Token>& a_atoken)
{
    if (a_atoken.size() < 4 || !Equal(a_atoken[2].m_sz, "send"))
    {
        Error("on needs: on <trigger> send <message>");
        return;
    }
    SimEventRule rule;
    std::memset(&rule.m_twdeviceevent, 0, sizeof(rule.m_twdeviceevent));
    const std::string& szTrigger = a_atoken[1].m_sz;
    if (Equal(szTrigger, "open"))
    {
        rule.m_eTrigger = eSimTriggerOpen;
    }
    else if (Equal(szTrigger, "enable"))
    {
        rule.m_eTrigger = eSimTriggerEnable;
    }
    else if (Equal(szTrigger, "enableuionly"))
    {
        rule.m_eTrigger = eSimTriggerEnableUiOnly;
    }
    else if (Equal(szTrigger, "disable"))
    {
        rule.m_eTrigger = eSimTriggerDisable;
    }
    else if (Equal(szTrigger, "endxfer"))
    {
        rule.m_eTrigger = eSimTriggerEndXfer;
    }
    else if (Equal(szTrigger, "lastxfer"))
    {
        rule.m_eTrigger = eSimTriggerLastXfer;
    }
    else
    {
        Error("unknown trigger '" + szTrigger + "' (open, enable, enableuionly, disable, endxfer, lastxfer)");
        return;
    }
    std::uint32_t u32 = 0;
    if (!(SimValueOf(eSimNameMsg, a_atoken[3].m_sz, u32) || SimValueOf(eSimNameMsg, "MSG_" + a_atoken[3].m_sz, u32)) ||
        (u32 != MSG_XFERREADY && u32 != MSG_CLOSEDSREQ && u32 != MSG_CLOSEDSOK && u32 != MSG_DEVICEEVENT))
    {
        Error("the message must be MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK or MSG_DEVICEEVENT");
        return;
    }
    rule.m_u16Msg = static_cast<TW_UINT16>(u32);
    std::size_t ii = 4;
    if (rule.m_u16Msg == MSG_DEVICEEVENT)
    {
        std::int64_t i64 = 0;
        if (ii >= a_atoken.size() || !ParseNumberOrName(a_atoken[ii].m_sz, i64) || i64 < 0 || i64 > 0xFFFF)
        {
            Error("MSG_DEVICEEVENT needs a TWDE_ event");
            return;
        }
        rule.m_twdeviceevent.Event = static_cast<TW_UINT32>(i64);
        ii++;
    }
    for (; ii < a_atoken.size(); ii++)
    {
        const std::string& sz = a_atoken[ii].m_sz;
        std::int64_t i64 = 0;
        if (Equal(sz, "after"))
        {
            if (ii + 1 >= a_atoken.size() || !ParseInt(a_atoken[ii + 1].m_sz, i64) || i64 < 0 || i64 > 3600000)
            {
                Error("after needs a delay in milliseconds");
                return;
            }
            rule.m_u32DelayMs = static_cast<std::uint32_t>(i64);
            ii++;
            if (ii + 1 < a_atoken.size() && Equal(a_atoken[ii + 1].m_sz, "ms"))
            {
                ii++;
            }
            continue;
        }
        std::size_t uEq = sz.find('=');
        if (uEq == std::string::npos)
        {
            Error("unexpected word '" + sz + "'");
            return;
        }
        std::string szField = sz.substr(0, uEq);
        std::string szValue = sz.substr(uEq + 1);
        TW_DEVICEEVENT& twde = rule.m_twdeviceevent;
        double d = 0;
        if (Equal(szField, "devicename"))
        {
            SetText(twde.DeviceName, sizeof(twde.DeviceName), szValue);
        }
        else if ((Equal(szField, "xresolution") || Equal(szField, "yresolution")) && ParseDouble(szValue, d))
        {
            (Equal(szField, "xresolution") ? twde.XResolution : twde.YResolution) = SimFixToTw(SimFixFromDouble(d));
        }
        else if (ParseInt(szValue, i64))
        {
            if (Equal(szField, "batteryminutes"))
            {
                twde.BatteryMinutes = static_cast<TW_UINT32>(i64);
            }
            else if (Equal(szField, "batterypercentage"))
            {
                twde.BatteryPercentage = static_cast<TW_INT16>(i64);
            }
            else if (Equal(szField, "powersupply"))
            {
                twde.PowerSupply = static_cast<TW_INT32>(i64);
            }
            else if (Equal(szField, "flashused"))
            {
                twde.FlashUsed2 = static_cast<TW_UINT32>(i64);
            }
            else if (Equal(szField, "automaticcapture"))
            {
                twde.AutomaticCapture = static_cast<TW_UINT32>(i64);
            }
            else if (Equal(szField, "timebeforefirstcapture"))
            {
                twde.TimeBeforeFirstCapture = static_cast<TW_UINT32>(i64);
            }
            else if (Equal(szField, "timebetweencaptures"))
            {
                twde.TimeBetweenCaptures = static_cast<TW_UINT32>(i64);
            }
            else
            {
                Error("unknown device event field '" + szField + "'");
                return;
            }
        }
        else
        {
            Error("bad value for '" + szField + "'");
            return;
        }
    }
    m_config.m_aevent.push_back(rule);
}

// fault <action> <DG> <DAT> <MSG> [cap=..] [rc=..] [cc=..] [skip=n] [times=n] [value=n] [data=null]
void CParser::Fault(const std::vector<Token>& a_atoken)
{
    if (a_atoken.size() < 5)
    {
        Error("fault needs: fault <action> <DG> <DAT> <MSG>");
        return;
    }
    SimFault fault;
    const std::string& szAction = a_atoken[1].m_sz;
    struct
    {
        const char*     m_sz;
        ESimFaultAction m_e;
    } const aaction[] = {{"refuse", eSimFaultRefuse},           {"throw", eSimFaultThrow},
                         {"contype", eSimFaultConType},         {"itemtype", eSimFaultItemType},
                         {"badindex", eSimFaultBadIndex},       {"unterminated", eSimFaultUnterminated},
                         {"wrongsize", eSimFaultWrongSize},     {"nullhandle", eSimFaultNullHandle},
                         {"answer", eSimFaultAnswer},           {"crash", eSimFaultCrash},
                         {"rewind", eSimFaultRewind},           {"swap", eSimFaultSwap},
                         {"noplace", eSimFaultNoPlace},         {"imagesize", eSimFaultImageSize},
                         {"compression", eSimFaultCompression}, {"offset", eSimFaultOffset}};
    bool blFound = false;
    for (const auto& action : aaction)
    {
        if (Equal(szAction, action.m_sz))
        {
            fault.m_eAction = action.m_e;
            blFound = true;
        }
    }
    if (!blFound)
    {
        Error("unknown fault '" + szAction + "'");
        return;
    }
    if (!ParseKind(eSimNameDg, a_atoken[2].m_sz, fault.m_u32Dg) || !ParseKind(eSimNameDat, a_atoken[3].m_sz, fault.m_u32Dat) ||
        !ParseKind(eSimNameMsg, a_atoken[4].m_sz, fault.m_u32Msg))
    {
        Error("bad triplet '" + a_atoken[2].m_sz + " " + a_atoken[3].m_sz + " " + a_atoken[4].m_sz + "'");
        return;
    }
    bool blCc = false;
    for (std::size_t ii = 5; ii < a_atoken.size(); ii++)
    {
        const std::string& sz = a_atoken[ii].m_sz;
        std::size_t uEq = sz.find('=');
        std::string szField = sz.substr(0, uEq);
        std::string szValue = (uEq == std::string::npos) ? std::string() : sz.substr(uEq + 1);
        std::uint32_t u32 = 0;
        std::int64_t i64 = 0;
        bool blOk = uEq != std::string::npos;
        if (blOk && Equal(szField, "cap"))
        {
            blOk = ParseKind(eSimNameCap, szValue, fault.m_u32Cap);
        }
        else if (blOk && Equal(szField, "rc"))
        {
            blOk = ParseKind(eSimNameRc, szValue, u32) && u32 <= 0xFFFF;
            fault.m_u16Rc = static_cast<TW_UINT16>(u32);
        }
        else if (blOk && Equal(szField, "cc"))
        {
            blCc = true;
            blOk = ParseKind(eSimNameCc, szValue, u32) && u32 <= 0xFFFF;
            fault.m_u16Cc = static_cast<TW_UINT16>(u32);
        }
        else if (blOk && (Equal(szField, "skip") || Equal(szField, "times")))
        {
            blOk = ParseInt(szValue, i64) && i64 >= 0 && i64 < 0xFFFFFFFFLL;
            (Equal(szField, "skip") ? fault.m_u32Skip : fault.m_u32Times) = static_cast<std::uint32_t>(i64);
        }
        else if (blOk && Equal(szField, "data"))
        {
            blOk = Equal(szValue, "null");
            fault.m_blNullData = true;
        }
        else if (blOk && Equal(szField, "value"))
        {
            blOk = ParseNumberOrName(szValue, fault.m_i64Value);
            fault.m_blValue = true;
        }
        else
        {
            blOk = false;
        }
        if (!blOk)
        {
            Error("bad fault option '" + sz + "'");
            return;
        }
    }
    if (fault.m_eAction == eSimFaultAnswer && !blCc)
    {
        fault.m_u16Cc = TWCC_SUCCESS;   // a triplet carried out has no failure to explain
    }
    m_config.m_afault.push_back(fault);
}
}

bool SimParseItem(TW_UINT16 a_u16Type, const std::string& a_szToken, SimItem& a_item)
{
    a_item = SimItem();
    if (SimTypeIsString(a_u16Type))
    {
        if (a_szToken.size() >= SimItemSize(a_u16Type))
        {
            return false;
        }
        a_item.m_sz = a_szToken;
        return true;
    }
    if (SimTypeIsFrame(a_u16Type))
    {
        double ad[5] = {0, 0, 0, 0, 0};
        std::size_t uCount = 0;
        std::stringstream ss(a_szToken);
        std::string szPart;
        while (std::getline(ss, szPart, ','))
        {
            if (uCount >= 5 || !ParseDouble(szPart, ad[uCount]))
            {
                return false;
            }
            uCount++;
        }
        if (uCount != (a_u16Type == TWTY_FRAMEANGLE ? 5u : 4u))
        {
            return false;
        }
        a_item = SimFrame(ad[0], ad[1], ad[2], ad[3], static_cast<std::int64_t>(ad[4]));
        return true;
    }
    if (a_u16Type == TWTY_FIX32)
    {
        double d = 0;
        if (!ParseDouble(a_szToken, d) || d < -32768.0 || d >= 32768.0)
        {
            return false;
        }
        a_item = SimFix(d);
        return true;
    }
    std::int64_t i64 = 0;
    if (!ParseNumberOrName(a_szToken, i64))
    {
        return false;
    }
    if (a_u16Type == TWTY_UINT32 && i64 < 0)
    {
        return false;
    }
    if (a_u16Type == TWTY_UINT16 && i64 == -1)
    {
        i64 = 0xFFFF;   // TWLG_USERLOCALE and the like
    }
    a_item = SimInt(i64);
    return SimIntFits(a_u16Type, i64);
}

void SimParseConfigText(SimConfig& a_config, const std::string& a_szText, const std::string& a_szName)
{
    CParser parser(a_config, a_szName);
    std::istringstream iss(a_szText);
    std::string szLine;
    int iLine = 0;
    while (std::getline(iss, szLine))
    {
        parser.Line(szLine, ++iLine);
    }
}

bool SimReadFile(const char* a_szPath, std::size_t a_uLimit, std::string& a_szText, std::string& a_szError)
{
    // Only a regular file is read (never a FIFO that blocks or a device that
    // never ends), and only one of at most a_uLimit bytes (whole MiB); the size is
    // checked on the open file, and the read stops at the limit whatever it said.
    a_szText.clear();
    a_szError.clear();
    int iFd = (a_szPath && a_szPath[0]) ? open(a_szPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (iFd < 0)
    {
        a_szError = "cannot open the file";
        return false;
    }
    struct stat st;
    if (fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        a_szError = "not a regular file";
    }
    else if (static_cast<std::uint64_t>(st.st_size) > a_uLimit)
    {
        a_szError = "file larger than " + std::to_string(a_uLimit >> 20) + " MiB";
    }
    while (a_szError.empty())
    {
        char ach[65536];
        ssize_t iRead = read(iFd, ach, sizeof(ach));
        if (iRead < 0 && errno == EINTR)
        {
            continue;
        }
        if (iRead < 0)
        {
            a_szError = "cannot read the file";
        }
        else if (iRead == 0)
        {
            break;
        }
        else if (a_szText.size() + static_cast<std::size_t>(iRead) > a_uLimit)
        {
            a_szError = "file larger than " + std::to_string(a_uLimit >> 20) + " MiB";
        }
        else
        {
            a_szText.append(ach, static_cast<std::size_t>(iRead));
        }
    }
    close(iFd);
    if (!a_szError.empty())
    {
        a_szText.clear();
        return false;
    }
    return true;
}

SimConfig SimLoadConfig(const SimProfile& a_profile, const char* a_szPath)
{
    SimConfig config;
    config.m_profile = a_profile;
    config.m_adef = SimDefaultCaps(a_profile);
    // As the widely used DSM's sample source, the standard scanner pads its
    // memory rows to 4 bytes.
    config.m_iMemoryAlign = (a_profile.m_szKey == "scanner") ? 4 : 1;
    if (a_szPath == nullptr || a_szPath[0] == '\0')
    {
        return config;
    }
    config.m_szPath = a_szPath;
    std::string szText;
    std::string szError;
    if (!SimReadFile(a_szPath, 4 * 1024 * 1024, szText, szError))
    {
        config.m_aszErrors.push_back(std::string(a_szPath) + ":0: " + szError);
        return config;
    }
    SimParseConfigText(config, szText, a_szPath);
    return config;
}
