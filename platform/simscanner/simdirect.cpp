// simdirect.cpp
//
// DAT_TWAINDIRECT MSG_SETTASK (sources of protocol 2.4 and later): the
// application sends a TWAIN Direct task (UTF-8 JSON) and receives the task's
// reply, allocated by the source. The source parses the task strictly and
// checks its "configure" actions against what the device has:
//   sources       any, feeder, feederFront, feederRear, flatbed
//   pixelFormats  bw1, gray8, rgb24
//   attributes    compression (none; group4 for bw1; jpeg for gray8 and
//                 rgb24), resolution (50 to 600, a number or a numeric text)
//   exception     fail, ignore, clear, nextStream (inherited downwards;
//                 only "fail" turns an unsupported value into an error)
// The reply holds one entry per action processed, each with a "results"
// object: "success" true, or false with "code" and, for a task that is not
// JSON, "characterOffset" (bytes from its start), otherwise "jsonKey" (the
// dotted path of the offending item). Processing stops at the first failed
// action.

#include "simsession.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace
{

// One JSON value of the task.
struct SimJson
{
    enum EKind { eNull, eBool, eNumber, eString, eArray, eObject } m_eKind = eNull;
    std::string m_szText;                                   // string (decoded), number (as written), true/false
    std::vector<std::pair<std::string, SimJson>> m_amember; // objects, in order
    std::vector<SimJson> m_aitem;                           // arrays

    const SimJson* Member(const char* a_szName) const
    {
        for (const auto& member : m_amember)
        {
            if (member.first == a_szName)
            {
                return &member.second;
            }
        }
        return nullptr;
    }
};

// A strict reader; m_uAt is where the text stopped being JSON.
class CSimJsonReader
{
public:
    explicit CSimJsonReader(const std::string& a_szText) : m_sz(a_szText) {}

    bool Document(SimJson& a_json)
    {
        if (!Value(a_json, 0))
        {
            return false;
        }
        Blanks();
        return m_uAt == m_sz.size();
    }

    std::size_t m_uAt = 0;

private:
    char Peek() const { return m_uAt < m_sz.size() ? m_sz[m_uAt] : '\0'; }
    void Blanks()
    {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')
        {
            m_uAt++;
        }
    }
    bool Word(const char* a_szWord)
    {
        std::size_t uLen = std::strlen(a_szWord);
        if (m_sz.compare(m_uAt, uLen, a_szWord) != 0)
        {
            return false;
        }
        m_uAt += uLen;
        return true;
    }
    bool Digits()
    {
        std::size_t uStart = m_uAt;
        while (Peek() >= '0' && Peek() <= '9')
        {
            m_uAt++;
        }
        return m_uAt > uStart;
    }
    bool Hex4(unsigned& a_u)
    {
        a_u = 0;
        for (int ii = 0; ii < 4; ii++, m_uAt++)
        {
            char c = Peek();
            int iDigit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (iDigit < 0)
            {
                return false;
            }
            a_u = a_u * 16 + static_cast<unsigned>(iDigit);
        }
        return true;
    }
    bool String(std::string& a_sz)
    {
        m_uAt++;   // the opening quote
        for (;;)
        {
            unsigned char c = static_cast<unsigned char>(Peek());
            if (c == '"')
            {
                m_uAt++;
                return true;
            }
            if (c < 0x20)
            {
                return false;
            }
            if (c != '\\')
            {
                a_sz += static_cast<char>(c);
                m_uAt++;
                continue;
            }
            m_uAt++;
            char cEscape = Peek();
            const char* szPlain = std::strchr("\"\\/bfnrt", cEscape);
            if (cEscape != '\0' && szPlain != nullptr)
            {
                a_sz += "\"\\/\b\f\n\r\t"[szPlain - "\"\\/bfnrt"];
                m_uAt++;
                continue;
            }
            if (cEscape != 'u')
            {
                return false;
            }
            m_uAt++;
            unsigned uCode = 0;
            unsigned uLow = 0;
            if (!Hex4(uCode) || (uCode >= 0xDC00 && uCode <= 0xDFFF))
            {
                return false;
            }
            if (uCode >= 0xD800 && uCode <= 0xDBFF)
            {
                if (!Word("\\u") || !Hex4(uLow) || uLow < 0xDC00 || uLow > 0xDFFF)
                {
                    return false;
                }
                uCode = 0x10000 + ((uCode - 0xD800) << 10) + (uLow - 0xDC00);
            }
            // As UTF-8.
            if (uCode < 0x80)
            {
                a_sz += static_cast<char>(uCode);
            }
            else if (uCode < 0x800)
            {
                a_sz += static_cast<char>(0xC0 | (uCode >> 6));
                a_sz += static_cast<char>(0x80 | (uCode & 0x3F));
            }
            else if (uCode < 0x10000)
            {
                a_sz += static_cast<char>(0xE0 | (uCode >> 12));
                a_sz += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
                a_sz += static_cast<char>(0x80 | (uCode & 0x3F));
            }
            else
            {
                a_sz += static_cast<char>(0xF0 | (uCode >> 18));
                a_sz += static_cast<char>(0x80 | ((uCode >> 12) & 0x3F));
                a_sz += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
                a_sz += static_cast<char>(0x80 | (uCode & 0x3F));
            }
        }
    }
    bool Value(SimJson& a_json, int a_iDepth)
    {
        Blanks();
        if (a_iDepth > 64)
        {
            return false;   // deeper than any task
        }
        char c = Peek();
        if (c == '"')
        {
            a_json.m_eKind = SimJson::eString;
            return String(a_json.m_szText);
        }
        if (c == '{' || c == '[')
        {
            bool blObject = c == '{';
            a_json.m_eKind = blObject ? SimJson::eObject : SimJson::eArray;
            m_uAt++;
            Blanks();
            if (Peek() == (blObject ? '}' : ']'))
            {
                m_uAt++;
                return true;
            }
            for (;;)
            {
                SimJson json;
                std::string szName;
                if (blObject)
                {
                    Blanks();
                    if (Peek() != '"' || !String(szName))
                    {
                        return false;
                    }
                    Blanks();
                    if (Peek() != ':')
                    {
                        return false;
                    }
                    m_uAt++;
                }
                if (!Value(json, a_iDepth + 1))
                {
                    return false;
                }
                if (blObject)
                {
                    a_json.m_amember.emplace_back(std::move(szName), std::move(json));
                }
                else
                {
                    a_json.m_aitem.push_back(std::move(json));
                }
                Blanks();
                if (Peek() == ',')
                {
                    m_uAt++;
                    continue;
                }
                if (Peek() != (blObject ? '}' : ']'))
                {
                    return false;
                }
                m_uAt++;
                return true;
            }
        }
        if (c == '-' || (c >= '0' && c <= '9'))
        {
            std::size_t uStart = m_uAt;
            a_json.m_eKind = SimJson::eNumber;
            if (Peek() == '-')
            {
                m_uAt++;
            }
            if (Peek() == '0')
            {
                m_uAt++;
            }
            else if (!Digits())
            {
                return false;
            }
            if (Peek() == '.' && (m_uAt++, !Digits()))
            {
                return false;
            }
            if (Peek() == 'e' || Peek() == 'E')
            {
                m_uAt++;
                if (Peek() == '+' || Peek() == '-')
                {
                    m_uAt++;
                }
                if (!Digits())
                {
                    return false;
                }
            }
            a_json.m_szText = m_sz.substr(uStart, m_uAt - uStart);
            return true;
        }
        if (Word("true") || Word("false"))
        {
            a_json.m_eKind = SimJson::eBool;
            a_json.m_szText = (m_sz[m_uAt - 1] == 'e' && m_sz[m_uAt - 2] == 'u') ? "true" : "false";
            return true;
        }
        a_json.m_eKind = SimJson::eNull;
        return Word("null");
    }

    const std::string& m_sz;
};

bool OneOf(const std::string& a_sz, std::initializer_list<const char*> a_aszAllowed)
{
    for (const char* sz : a_aszAllowed)
    {
        if (a_sz == sz)
        {
            return true;
        }
    }
    return false;
}

// The outcome of checking a task.
struct SimTaskError
{
    std::string m_szCode;       // empty: no error
    std::string m_szJsonKey;
};

// The exception of one level of a configure action (a_szException keeps
// the inherited one when the level has none); false with an error when it is
// not one the standard names.
bool LevelException(const SimJson& a_json, const std::string& a_szKey, std::string& a_szException, SimTaskError& a_error)
{
    const SimJson* pjson = a_json.Member("exception");
    if (pjson == nullptr)
    {
        return true;
    }
    if (pjson->m_eKind != SimJson::eString || !OneOf(pjson->m_szText, {"fail", "ignore", "clear", "nextStream"}))
    {
        a_error = {"invalidValue", a_szKey + ".exception"};
        return false;
    }
    a_szException = pjson->m_szText;
    return true;
}

// The array a_szName of an object (absent: an empty list); false with an
// invalidTask error when it is not an array of objects.
bool Children(const SimJson& a_json, const char* a_szName, const std::string& a_szKey, std::vector<const SimJson*>& a_apjson,
              SimTaskError& a_error)
{
    a_apjson.clear();
    const SimJson* pjson = a_json.Member(a_szName);
    if (pjson == nullptr)
    {
        return true;
    }
    std::string szKey = a_szKey + (a_szKey.empty() ? "" : ".") + a_szName;
    if (pjson->m_eKind != SimJson::eArray)
    {
        a_error = {"invalidTask", szKey};
        return false;
    }
    for (std::size_t ii = 0; ii < pjson->m_aitem.size(); ii++)
    {
        if (pjson->m_aitem[ii].m_eKind != SimJson::eObject)
        {
            a_error = {"invalidTask", szKey + "[" + std::to_string(ii) + "]"};
            return false;
        }
        a_apjson.push_back(&pjson->m_aitem[ii]);
    }
    return true;
}

// A text member (or the number as written); false when it is something else.
bool TextOf(const SimJson* a_pjson, std::string& a_sz)
{
    if (a_pjson == nullptr || (a_pjson->m_eKind != SimJson::eString && a_pjson->m_eKind != SimJson::eNumber))
    {
        return false;
    }
    a_sz = a_pjson->m_szText;
    return true;
}

// One value of an attribute of a pixel format: supported or not.
bool ValueSupported(const std::string& a_szAttribute, const std::string& a_szPixelFormat, const std::string& a_szValue)
{
    if (a_szAttribute == "compression")
    {
        return a_szValue == "none" || (a_szValue == "group4" && a_szPixelFormat == "bw1") ||
               (a_szValue == "jpeg" && a_szPixelFormat != "bw1");
    }
    char* szEnd = nullptr;
    long lValue = std::strtol(a_szValue.c_str(), &szEnd, 10);
    return !a_szValue.empty() && szEnd != nullptr && *szEnd == '\0' && lValue >= 50 && lValue <= 600;
}

// Checks one configure action (key: "actions[n]").
void CheckConfigure(const SimJson& a_action, const std::string& a_szKey, SimTaskError& a_error)
{
    std::string szException = "ignore";
    std::vector<const SimJson*> apstream;
    if (!LevelException(a_action, a_szKey, szException, a_error) || !Children(a_action, "streams", a_szKey, apstream, a_error))
    {
        return;
    }
    for (std::size_t ss = 0; ss < apstream.size(); ss++)
    {
        std::string szStream = a_szKey + ".streams[" + std::to_string(ss) + "]";
        std::string szStreamException = szException;
        std::vector<const SimJson*> apsource;
        if (!LevelException(*apstream[ss], szStream, szStreamException, a_error) ||
            !Children(*apstream[ss], "sources", szStream, apsource, a_error))
        {
            return;
        }
        for (std::size_t kk = 0; kk < apsource.size(); kk++)
        {
            std::string szSource = szStream + ".sources[" + std::to_string(kk) + "]";
            std::string szSourceException = szStreamException;
            std::string szName;
            std::vector<const SimJson*> appixel;
            if (!LevelException(*apsource[kk], szSource, szSourceException, a_error) ||
                !Children(*apsource[kk], "pixelFormats", szSource, appixel, a_error))
            {
                return;
            }
            const SimJson* pjsonSource = apsource[kk]->Member("source");
            if (pjsonSource != nullptr && (!TextOf(pjsonSource, szName) ||
                                           (!OneOf(szName, {"any", "feeder", "feederFront", "feederRear", "flatbed"}) &&
                                            szSourceException == "fail")))
            {
                a_error = {"invalidValue", szSource + ".source"};
                return;
            }
            for (std::size_t pp = 0; pp < appixel.size(); pp++)
            {
                std::string szPixel = szSource + ".pixelFormats[" + std::to_string(pp) + "]";
                std::string szPixelException = szSourceException;
                std::string szPixelFormat = "bw1";
                std::vector<const SimJson*> apattribute;
                if (!LevelException(*appixel[pp], szPixel, szPixelException, a_error) ||
                    !Children(*appixel[pp], "attributes", szPixel, apattribute, a_error))
                {
                    return;
                }
                const SimJson* pjsonPixel = appixel[pp]->Member("pixelFormat");
                if (pjsonPixel != nullptr &&
                    (!TextOf(pjsonPixel, szPixelFormat) ||
                     (!OneOf(szPixelFormat, {"bw1", "gray8", "rgb24"}) && szPixelException == "fail")))
                {
                    a_error = {"invalidValue", szPixel + ".pixelFormat"};
                    return;
                }
                for (std::size_t aa = 0; aa < apattribute.size(); aa++)
                {
                    std::string szAttribute = szPixel + ".attributes[" + std::to_string(aa) + "]";
                    std::string szAttributeException = szPixelException;
                    std::string szName2;
                    std::vector<const SimJson*> apvalue;
                    if (!LevelException(*apattribute[aa], szAttribute, szAttributeException, a_error) ||
                        !Children(*apattribute[aa], "values", szAttribute, apvalue, a_error))
                    {
                        return;
                    }
                    if (!TextOf(apattribute[aa]->Member("attribute"), szName2))
                    {
                        a_error = {"invalidTask", szAttribute + ".attribute"};
                        return;
                    }
                    bool blKnown = OneOf(szName2, {"compression", "resolution"});
                    if (!blKnown)
                    {
                        if (szAttributeException == "fail")
                        {
                            a_error = {"invalidValue", szAttribute + ".attribute"};
                            return;
                        }
                        continue;
                    }
                    for (std::size_t vv = 0; vv < apvalue.size(); vv++)
                    {
                        std::string szValueKey = szAttribute + ".values[" + std::to_string(vv) + "]";
                        std::string szValueException = szAttributeException;
                        std::string szValue;
                        if (!LevelException(*apvalue[vv], szValueKey, szValueException, a_error))
                        {
                            return;
                        }
                        if (!TextOf(apvalue[vv]->Member("value"), szValue) ||
                            (!ValueSupported(szName2, szPixelFormat, szValue) && szValueException == "fail"))
                        {
                            a_error = {"invalidValue", szValueKey + ".value"};
                            return;
                        }
                    }
                }
            }
        }
    }
}

std::string Quoted(const std::string& a_sz)
{
    std::string szOut = "\"";
    for (char c : a_sz)
    {
        if (c == '"' || c == '\\')
        {
            szOut += '\\';
        }
        if (static_cast<unsigned char>(c) < 0x20)
        {
            char szEscape[8];
            std::snprintf(szEscape, sizeof(szEscape), "\\u%04x", static_cast<unsigned>(c));
            szOut += szEscape;
            continue;
        }
        szOut += c;
    }
    return szOut + "\"";
}

// The reply entry of one action.
std::string ReplyAction(const std::string& a_szAction, const std::string& a_szResults)
{
    return "\t\t{\n\t\t\t\"action\": " + Quoted(a_szAction) + ",\n\t\t\t\"results\": {\n" + a_szResults + "\t\t\t}\n\t\t}";
}

// The reply to a task.
std::string TaskReply(const std::string& a_szTask)
{
    SimJson jsonTask;
    CSimJsonReader reader(a_szTask);
    std::vector<std::string> aszAction;
    if (!reader.Document(jsonTask))
    {
        aszAction.push_back(ReplyAction("", "\t\t\t\t\"success\": false,\n\t\t\t\t\"code\": \"invalidJson\",\n"
                                            "\t\t\t\t\"characterOffset\": " + std::to_string(reader.m_uAt) + "\n"));
    }
    else
    {
        SimTaskError error;
        std::vector<const SimJson*> apaction;
        if (jsonTask.m_eKind != SimJson::eObject)
        {
            error = {"invalidTask", ""};
        }
        else
        {
            Children(jsonTask, "actions", "", apaction, error);
        }
        for (std::size_t ii = 0; ii < apaction.size() && error.m_szCode.empty(); ii++)
        {
            std::string szKey = "actions[" + std::to_string(ii) + "]";
            std::string szAction;
            if (!TextOf(apaction[ii]->Member("action"), szAction) || apaction[ii]->Member("action")->m_eKind != SimJson::eString)
            {
                error = {"invalidTask", szKey + ".action"};
            }
            else if (szAction != "configure")
            {
                error = {"invalidValue", szKey + ".action"};
            }
            else
            {
                CheckConfigure(*apaction[ii], szKey, error);
            }
            if (error.m_szCode.empty())
            {
                aszAction.push_back(ReplyAction(szAction, "\t\t\t\t\"success\": true\n"));
            }
            else
            {
                aszAction.push_back(ReplyAction(szAction, "\t\t\t\t\"success\": false,\n\t\t\t\t\"code\": " + Quoted(error.m_szCode) +
                                                              ",\n\t\t\t\t\"jsonKey\": " + Quoted(error.m_szJsonKey) + "\n"));
            }
        }
        if (apaction.empty() && !error.m_szCode.empty())
        {
            aszAction.push_back(ReplyAction("", "\t\t\t\t\"success\": false,\n\t\t\t\t\"code\": " + Quoted(error.m_szCode) +
                                                    ",\n\t\t\t\t\"jsonKey\": " + Quoted(error.m_szJsonKey) + "\n"));
        }
    }
    std::string szReply = "{\n\t\"actions\": [";
    for (std::size_t ii = 0; ii < aszAction.size(); ii++)
    {
        szReply += (ii == 0 ? "\n" : ",\n") + aszAction[ii];
    }
    return szReply + (aszAction.empty() ? "]\n}" : "\n\t]\n}");
}

} // namespace

TW_UINT16 CSimSession::DatTwainDirect(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call)
{
    (void)a_u16Msg;   // MSG_SETTASK, the only message of the row
    if (!InState(4, 4))
    {
        return Fail(TWCC_SEQERROR);
    }
    pTW_TWAINDIRECT ptwdirect = static_cast<pTW_TWAINDIRECT>(a_pData);
    if (ptwdirect->SizeOf != sizeof(TW_TWAINDIRECT) || ptwdirect->CommunicationManager != 0 || ptwdirect->Send == nullptr ||
        ptwdirect->SendSize == 0)
    {
        return Fail(TWCC_BADVALUE);
    }
    // The task: SendSize bytes, cut at a NUL.
    const char* szSend = static_cast<const char*>(Lock(ptwdirect->Send));
    if (szSend == nullptr)
    {
        return Fail(TWCC_BADVALUE);
    }
    if (!BlockHolds(ptwdirect->Send, szSend, ptwdirect->SendSize, a_call))
    {
        Unlock(ptwdirect->Send);
        return Fail(TWCC_BADVALUE);
    }
    std::string szTask(szSend, strnlen(szSend, ptwdirect->SendSize));
    Unlock(ptwdirect->Send);

    std::string szReply = TaskReply(szTask);
    ptwdirect->Receive = nullptr;
    ptwdirect->ReceiveSize = 0;
    if (m_pfaultActive != nullptr && m_pfaultActive->m_eAction == eSimFaultNullHandle)
    {
        return Succeed();   // a reply the source forgot
    }
    // "wrongsize": the reply without its NUL, and a size that claims value
    // (4) bytes more than the block holds.
    std::int64_t i64Extra = 0;
    bool blWrongSize = m_pfaultActive != nullptr && DeviceFault(i64Extra, 4) == eSimFaultWrongSize;
    std::size_t uBytes = szReply.size() + (blWrongSize ? 0 : 1);
    TW_HANDLE hReceive = Alloc(uBytes);
    char* szReceive = hReceive != nullptr ? static_cast<char*>(Lock(hReceive)) : nullptr;
    if (szReceive == nullptr)
    {
        return Fail(TWCC_LOWMEMORY);
    }
    std::memcpy(szReceive, szReply.c_str(), uBytes);
    Unlock(hReceive);
    ptwdirect->Receive = hReceive;
    ptwdirect->ReceiveSize = static_cast<TW_UINT32>(uBytes + (blWrongSize ? std::min<std::int64_t>(std::max<std::int64_t>(i64Extra, 0), 100000) : 0));
    return Succeed();
}
