// test_os_json.cpp
// The strict JSON reader: what it refuses (and where), and values found by
// dotted keys with array indexes.
#include <gtest/gtest.h>

#include <string>

#include "osservices.h"

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
