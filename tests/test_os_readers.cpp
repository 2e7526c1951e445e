// test_os_readers.cpp
// The XML reader and dispatch to trampolines found by their symbol names;
// the strict JSON reader: what it refuses (and where), and values found by
// dotted keys with array indexes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "osservices.h"
#include "test_os_support.h"

// A class whose callbacks are bound by name, as the symbol table does it.
class CXmlProbe
{
public:
    std::vector<std::string> m_vectorEvent;

    // The trampolines are defined out of the class, as real ones are, so
    // that they exist in the program's symbol table.
    static void CXmlProbe_EnterItem(OsXmlCallback* a_posxmlcallback);
    static void CXmlProbe_ExitItem(OsXmlCallback* a_posxmlcallback);
    static void CXmlProbe_EnterName(OsXmlCallback* a_posxmlcallback);
    static void CXmlProbe_EnterValue(OsXmlCallback* a_posxmlcallback);
    static void CXmlProbe_EnterAny(OsXmlCallback* a_posxmlcallback);

    void Record(const char* a_szWhat, const OsXmlCallback* a_posxmlcallback)
    {
        std::string szEvent = std::string(a_szWhat) + " " + a_posxmlcallback->szPath + " [" + a_posxmlcallback->szValue + "]";
        if (a_posxmlcallback->szAttributes[0])
        {
            szEvent += " {" + std::string(a_posxmlcallback->szAttributes) + "}";
        }
        if (a_posxmlcallback->pvContext)
        {
            szEvent += " ctx=" + std::string(static_cast<const char*>(a_posxmlcallback->pvContext));
        }
        m_vectorEvent.push_back(szEvent);
    }
};

void CXmlProbe::CXmlProbe_EnterItem(OsXmlCallback* a_posxmlcallback)
{
    static_cast<CXmlProbe*>(a_posxmlcallback->pvObject)->Record("enter", a_posxmlcallback);
}
void CXmlProbe::CXmlProbe_ExitItem(OsXmlCallback* a_posxmlcallback)
{
    static_cast<CXmlProbe*>(a_posxmlcallback->pvObject)->Record("exit", a_posxmlcallback);
}
void CXmlProbe::CXmlProbe_EnterName(OsXmlCallback* a_posxmlcallback)
{
    static_cast<CXmlProbe*>(a_posxmlcallback->pvObject)->Record("name", a_posxmlcallback);
}
void CXmlProbe::CXmlProbe_EnterValue(OsXmlCallback* a_posxmlcallback)
{
    static_cast<CXmlProbe*>(a_posxmlcallback->pvObject)->Record("value", a_posxmlcallback);
}
void CXmlProbe::CXmlProbe_EnterAny(OsXmlCallback* a_posxmlcallback)
{
    static_cast<CXmlProbe*>(a_posxmlcallback->pvObject)->Record("any", a_posxmlcallback);
}

// A plain C trampoline, the other form a binding can name.
extern "C" void CXmlPlain_EnterRoot(OsXmlCallback* a_posxmlcallback);
extern "C" void CXmlPlain_EnterRoot(OsXmlCallback* a_posxmlcallback)
{
    static_cast<std::vector<std::string>*>(a_posxmlcallback->pvObject)->push_back(std::string("plain ") + a_posxmlcallback->szElement);
}

class OsXmlTest : public ::testing::Test
{
protected:
    OsTestServices  m_services;
    COsXml          m_osxml;
    CXmlProbe       m_probe;

    void SetUp() override { ASSERT_EQ(OS_STS_OK, m_osxml.DispatchAddObject("this", "CXmlProbe", &m_probe)); }
};

TEST_F(OsXmlTest, DispatchCallsEnterAndExitInDocumentOrder)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("# the table\n"
                                              "item   this.EnterItem  this.ExitItem\n"
                                              "item/n this.EnterName\n"
                                              "v      this.EnterValue -\n",
                                              0));
    const char* szXml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- a comment -->\n"
        "<list>\n"
        "  <item kind=\"a &gt; b\"><n> first </n><v>0x10</v></item>\n"
        "  <item><n>&lt;second&gt; &amp; &quot;more&quot; &apos;x&apos; &#65;&#x42;</n><v/></item>\n"
        "  <other><n>not bound</n></other>\n"
        "</list>\n";
    char szContext[] = "C";
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch(szXml, szContext));
    std::vector<std::string> vectorExpected = {
        "enter /list/item [] {kind=\"a &gt; b\"} ctx=C",
        "name /list/item/n [first] ctx=C",
        "value /list/item/v [0x10] ctx=C",
        "exit /list/item [] {kind=\"a &gt; b\"} ctx=C",
        "enter /list/item [] ctx=C",
        "name /list/item/n [<second> & \"more\" 'x' AB] ctx=C",
        "value /list/item/v [] ctx=C",
        "exit /list/item [] ctx=C",
    };
    EXPECT_EQ(vectorExpected, m_probe.m_vectorEvent);
    EXPECT_EQ(OS_STS_OK, m_osxml.DocumentFree());
    EXPECT_EQ(OS_STS_OK, m_osxml.DispatchFree());
}

TEST_F(OsXmlTest, TheLongestMatchingPathWinsAndAnchoredPathsStartAtTheRoot)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("n this.EnterAny; item/n this.EnterName; /n this.EnterValue", 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<r><item><n>1</n></item><x><n>2</n></x></r>", nullptr));
    std::vector<std::string> vectorExpected = {"name /r/item/n [1]", "any /r/x/n [2]"};
    EXPECT_EQ(vectorExpected, m_probe.m_vectorEvent);
    m_probe.m_vectorEvent.clear();
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<n>root</n>", nullptr));
    EXPECT_EQ(std::vector<std::string>{"value /n [root]"}, m_probe.m_vectorEvent);
}

TEST_F(OsXmlTest, ElementTextLeavesOutChildrenAndKeepsCdata)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("item this.EnterItem", 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<r><item>a<x>b</x>c<![CDATA[<&>]]></item></r>", nullptr));
    EXPECT_EQ(std::vector<std::string>{"enter /r/item [ac<&>]"}, m_probe.m_vectorEvent);
}

// Many sibling names, the same name under parents bound differently, and
// siblings that follow a nested run: every element gets its own binding, in
// document order, with its depth and the size of its text.
TEST_F(OsXmlTest, EachElementGetsTheBindingOfItsOwnPath)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("n this.EnterAny; a/n this.EnterName; b/n this.EnterValue; /r this.EnterItem", 0));
    std::string szXml = "<r>";
    for (char c = 'c'; c <= 'm'; c++)     // eleven distinct unbound names
    {
        szXml += std::string("<") + c + "/>";
    }
    szXml += "<a><n>1</n><x><n>2</n></x><n>3</n></a><b><n>4</n></b><n>5</n><a><n>6</n></a><b><n>seven</n></b></r>";
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch(szXml.c_str(), nullptr));
    std::vector<std::string> vectorExpected = {
        "enter /r []",       "name /r/a/n [1]", "any /r/a/x/n [2]", "name /r/a/n [3]", "value /r/b/n [4]",
        "any /r/n [5]",      "name /r/a/n [6]", "value /r/b/n [seven]",
    };
    EXPECT_EQ(vectorExpected, m_probe.m_vectorEvent);
}

// A callback may keep the texts of its record until the document is freed.
struct XmlSeen
{
    std::vector<const char*> vectorPath;
    std::vector<const char*> vectorValue;
    std::vector<uint64_t> vectorSize;
    std::vector<int> vectorDepth;
};
extern "C" void CXmlKeep_EnterAny(OsXmlCallback* a_posxmlcallback);
extern "C" void CXmlKeep_EnterAny(OsXmlCallback* a_posxmlcallback)
{
    XmlSeen* pseen = static_cast<XmlSeen*>(a_posxmlcallback->pvObject);
    pseen->vectorPath.push_back(a_posxmlcallback->szPath);
    pseen->vectorValue.push_back(a_posxmlcallback->szValue);
    pseen->vectorSize.push_back(a_posxmlcallback->u64ValueSize);
    pseen->vectorDepth.push_back(a_posxmlcallback->iDepth);
}

TEST_F(OsXmlTest, TextsOfTheRecordStayValidUntilTheDocumentIsFreed)
{
    XmlSeen seen;
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchAddObject("keep", "CXmlKeep", &seen));
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("v keep.EnterAny", 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<r>\n <v> a &amp; b </v>\n <s><v>deeper</v></s>\n <v/>\n</r>", nullptr));
    ASSERT_EQ(seen.vectorPath.size(), 3u);
    EXPECT_STREQ(seen.vectorPath[0], "/r/v");
    EXPECT_STREQ(seen.vectorValue[0], "a & b");
    EXPECT_EQ(seen.vectorSize[0], 5u);
    EXPECT_EQ(seen.vectorDepth[0], 2);
    EXPECT_STREQ(seen.vectorPath[1], "/r/s/v");
    EXPECT_STREQ(seen.vectorValue[1], "deeper");
    EXPECT_EQ(seen.vectorDepth[1], 3);
    EXPECT_STREQ(seen.vectorValue[2], "");
    EXPECT_EQ(seen.vectorSize[2], 0u);
    EXPECT_EQ(OS_STS_OK, m_osxml.DocumentFree());
}

TEST_F(OsXmlTest, AnExternCTrampolineIsFoundByItsPlainName)
{
    std::vector<std::string> vectorSeen;
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchAddObject("plain", "CXmlPlain", &vectorSeen));
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("/root plain.EnterRoot", 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<root><root/></root>", nullptr));
    EXPECT_EQ(std::vector<std::string>{"plain root"}, vectorSeen);
}

TEST_F(OsXmlTest, BindingErrorsKeepNothingOfTheText)
{
    EXPECT_EQ(OS_STS_NOT_FOUND, m_osxml.DispatchLoad("item this.EnterItem\nn this.NoSuchFunction", 0));
    EXPECT_TRUE(m_services.LogHas("_ZN9CXmlProbe24CXmlProbe_NoSuchFunctionEP13OsXmlCallback"));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad("item other.EnterItem", 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad("item EnterItem", 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad("item", 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad("a//b this.EnterItem", 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad("item this.Enter-Item", 0));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchLoad(nullptr, 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("<item>x</item>", nullptr));
    EXPECT_TRUE(m_probe.m_vectorEvent.empty());
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DispatchAddObject("this", "Bad Class", &m_probe));
}

TEST_F(OsXmlTest, MalformedDocumentsCallNothing)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("item this.EnterItem", 0));
    const char* aszBad[] = {
        "",
        "   ",
        "<item>",
        "<item></other>",
        "<item><n></item></n>",
        "<item/><item/>",
        "text<item/>",
        "<item/>trailing",
        "<item attr=\"unterminated></item>",
        "<item><!-- open comment </item>",
        "<item><![CDATA[ open </item>",
        "<1item/>",
        "<item>",
        "</item>",
    };
    for (const char* szBad : aszBad)
    {
        EXPECT_EQ(OS_STS_FAIL, m_osxml.DocumentLoadAndDispatch(szBad, nullptr)) << szBad;
    }
    EXPECT_TRUE(m_probe.m_vectorEvent.empty());
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, m_osxml.DocumentLoadAndDispatch(nullptr, nullptr));
    EXPECT_TRUE(m_services.LogHas("xml>>> parse error at line 1"));
    std::string szDeep;
    for (int ii = 0; ii < 300; ii++)
    {
        szDeep += "<item>";
    }
    EXPECT_EQ(OS_STS_FAIL, m_osxml.DocumentLoadAndDispatch(szDeep.c_str(), nullptr));
    EXPECT_TRUE(m_services.LogHas("nested too deeply"));
}

TEST_F(OsXmlTest, ParseErrorsNameTheirLine)
{
    EXPECT_EQ(OS_STS_FAIL, m_osxml.DocumentLoadAndDispatch("<a>\n<b>\n</c>\n</a>", nullptr));
    EXPECT_TRUE(m_services.LogHas("xml>>> parse error at line 3"));
}

TEST_F(OsXmlTest, ADoctypeAndAByteOrderMarkAreSkipped)
{
    ASSERT_EQ(OS_STS_OK, m_osxml.DispatchLoad("item this.EnterItem", 0));
    ASSERT_EQ(OS_STS_OK, m_osxml.DocumentLoadAndDispatch("\xEF\xBB\xBF<!DOCTYPE item [ <!ENTITY x \"y\"> ]>\n<item>t</item>", nullptr));
    EXPECT_EQ(std::vector<std::string>{"enter /item [t]"}, m_probe.m_vectorEvent);
}

TEST(OsXmlContent, GetContentCopiesTheTextBetweenTheMarkers)
{
    const char* szReport = "<reportimage><imagefilename>img&amp;1.tif</imagefilename><compressionmode>none</compressionmode></reportimage>";
    char szOut[64] = "stale";
    EXPECT_EQ(OS_STS_OK, COsXml::GetContent(szReport, "<imagefilename>", "</imagefilename>", szOut, sizeof(szOut), false));
    EXPECT_STREQ("img&amp;1.tif", szOut);
    EXPECT_EQ(OS_STS_OK, COsXml::GetContent(szReport, "<imagefilename>", "</imagefilename>", szOut, sizeof(szOut), true));
    EXPECT_STREQ("img&1.tif", szOut);
    EXPECT_EQ(OS_STS_OK, COsXml::GetContent(szReport, "<compressionmode>", "</compressionmode>", szOut, sizeof(szOut), false));
    EXPECT_STREQ("none", szOut);
    EXPECT_EQ(OS_STS_NOT_FOUND, COsXml::GetContent(szReport, "<imageformat>", "</imageformat>", szOut, sizeof(szOut), false));
    EXPECT_STREQ("", szOut);
    EXPECT_EQ(OS_STS_NOT_FOUND, COsXml::GetContent("<a>open", "<a>", "</a>", szOut, sizeof(szOut), false));
    char szSmall[4] = "old";
    EXPECT_EQ(OS_STS_DESTINATION_TOO_SMALL, COsXml::GetContent("<a>abcd</a>", "<a>", "</a>", szSmall, sizeof(szSmall), false));
    EXPECT_STREQ("", szSmall);
    EXPECT_EQ(OS_STS_OK, COsXml::GetContent("<a>abc</a>", "<a>", "</a>", szSmall, sizeof(szSmall), false));
    EXPECT_STREQ("abc", szSmall);
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsXml::GetContent(nullptr, "<a>", "</a>", szSmall, sizeof(szSmall), false));
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, COsXml::GetContent("<a/>", "", "</a>", szSmall, sizeof(szSmall), false));
}

TEST(OsJson, StrictParseRefusesWithTheOffset)
{
    struct
    {
        const char *szText;
        uint32_t u32Offset;
    } aBad[] = {
        {"", 0},
        {"   ", 3},
        {"{\"a\":1,}", 7},          // trailing comma
        {"[1,2", 4},
        {"{\"a\" 1}", 5},
        {"{'a':1}", 1},
        {"01", 1},                  // trailing text after the number 0
        {"1.", 2},
        {"-", 1},
        {"1e+", 3},
        {"tru", 0},
        {"{\"a\":1} x", 8},
        {"\"a\tb\"", 2},            // raw control character
        {"\"\\x\"", 1},
        {"\"\\ud800\"", 1},         // a lone high surrogate
        {"\"\\udc00x\"", 1},
        {"\"abc", 4},
        {"// c\n1", 0},
    };
    COsJson osjson;
    for (const auto &bad : aBad)
    {
        uint32_t u32Offset = 12345;
        EXPECT_FALSE(osjson.Load(bad.szText, &u32Offset)) << bad.szText;
        EXPECT_EQ(u32Offset, bad.u32Offset) << bad.szText;
        EXPECT_FALSE(osjson.Get("", nullptr, 0)) << "a failed load leaves no document";
    }
    // Nesting is bounded: a hostile depth is refused, not a stack overflow.
    std::string szDeep(100000, '[');
    EXPECT_FALSE(osjson.Load(szDeep.c_str(), nullptr));
    std::string szOk = std::string(OS_JSON_MAXDEPTH, '[') + std::string(OS_JSON_MAXDEPTH, ']');
    EXPECT_TRUE(osjson.Load(szOk.c_str(), nullptr));
    EXPECT_FALSE(osjson.Load(nullptr, nullptr));
}

TEST(OsJson, DottedKeysWithIndexes)
{
    COsJson osjson;
    uint32_t u32Offset = 9;
    ASSERT_TRUE(osjson.Load(" {\"actions\": [ {\"action\":\"configure\", \"response\": {\"success\": true, "
                            "\"code\": \"invalidValue\", \"characterOffset\": 42, \"n\": null}},\n"
                            "{\"list\": [[1, -2.5e3], [\"\\u00e9\\ud83d\\ude00\\n\\\"\"]], \"a.b\": 1, \"x\": 1, \"x\": 2} ],"
                            " \"empty\": {}, \"\": \"noname\"}\r\n",
                            &u32Offset));
    EXPECT_EQ(u32Offset, 0u);
    struct
    {
        const char *szKey;
        const char *szValue;
        EOSJSONTYPE eosjsontype;
    } aGood[] = {
        {"actions[0].action", "configure", OS_JSONTYPE_STRING},
        {"actions[0].response.success", "true", OS_JSONTYPE_BOOLEAN},
        {"actions[0].response.code", "invalidValue", OS_JSONTYPE_STRING},
        {"actions[0].response.characterOffset", "42", OS_JSONTYPE_NUMBER},
        {"actions[0].response.n", "null", OS_JSONTYPE_NULL},
        {"actions[1].list[0][1]", "-2.5e3", OS_JSONTYPE_NUMBER},
        {"actions[1].list[1][0]", "\xc3\xa9\xf0\x9f\x98\x80\n\"", OS_JSONTYPE_STRING},
        {"actions[1].list[0]", "[1, -2.5e3]", OS_JSONTYPE_ARRAY},
        {"actions[1].x", "1", OS_JSONTYPE_NUMBER},        // the first of two
        {"empty", "{}", OS_JSONTYPE_OBJECT},
    };
    for (const auto &good : aGood)
    {
        char szValue[64] = "garbage";
        EOSJSONTYPE eosjsontype = OS_JSONTYPE_NONE;
        EXPECT_TRUE(osjson.Get(good.szKey, szValue, sizeof(szValue), &eosjsontype)) << good.szKey;
        EXPECT_STREQ(szValue, good.szValue) << good.szKey;
        EXPECT_EQ(eosjsontype, good.eosjsontype) << good.szKey;
    }
    for (const char *szKey : {"actions[2]", "actions[0].missing", "actions.action", "actions[0]x", "actions[0].",
                              "empty.a", "actions[-1]", "actions[0", "actions[1].a.b", "actions[0].action[0]"})
    {
        char szValue[8] = "garbage";
        EOSJSONTYPE eosjsontype = OS_JSONTYPE_STRING;
        EXPECT_FALSE(osjson.Get(szKey, szValue, sizeof(szValue), &eosjsontype)) << szKey;
        EXPECT_STREQ(szValue, "") << "the buffer is cleared: " << szKey;
        EXPECT_EQ(eosjsontype, OS_JSONTYPE_NONE) << szKey;
    }
    // A null buffer only asks; a small one gets the cut text and the length.
    EXPECT_TRUE(osjson.Get("actions[0].action", nullptr, 0));
    char szSmall[5];
    size_t u64Length = 0;
    EXPECT_TRUE(osjson.Get("actions[0].action", szSmall, sizeof(szSmall), nullptr, 0, &u64Length));
    EXPECT_STREQ(szSmall, "conf");
    EXPECT_EQ(u64Length, 9u);
    // The whole document, and a top-level array.
    char szAll[8];
    EXPECT_TRUE(osjson.Get("", szAll, sizeof(szAll)));
    EXPECT_STREQ(szAll, "{\"actio");
    ASSERT_TRUE(osjson.Load("[{\"a\":[7]}]", nullptr));
    char szA[8];
    EXPECT_TRUE(osjson.Get("[0].a[0]", szA, sizeof(szA)));
    EXPECT_STREQ(szA, "7");
}
