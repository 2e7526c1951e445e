// os_cosjson.h
// A strict JSON reader.
//
// Load parses a whole UTF-8 text as JSON (RFC 8259): one value, surrounded
// only by white space; strings with their escapes (\uXXXX surrogate pairs
// must pair up), no control characters inside strings, numbers in the
// grammar's form, no trailing commas, no comments.  Nesting is limited to
// OS_JSON_MAXDEPTH levels.  On failure the byte offset of the fault is
// reported and the document is empty.
//
// Get reads one value by a dotted key: member names joined by '.', an array
// entry written as its index in square brackets after the name, for example
// "actions[0].response.code" or "a.b[2][1]".  An empty key is the whole
// document.  The value's text is: a string decoded (escapes resolved, as
// UTF-8), a number as written, true, false, null, and an object or array as
// its JSON text.  Members are found by their decoded names; of two members
// with the same name the first one counts.
#ifndef OS_COSJSON_H
#define OS_COSJSON_H

#include "osservices.h"

#define OS_JSON_MAXDEPTH 256

// The type of a value.
enum EOSJSONTYPE
{
    OS_JSONTYPE_NONE = 0,       // no such value
    OS_JSONTYPE_NULL = 1,
    OS_JSONTYPE_BOOLEAN = 2,
    OS_JSONTYPE_NUMBER = 3,
    OS_JSONTYPE_STRING = 4,
    OS_JSONTYPE_ARRAY = 5,
    OS_JSONTYPE_OBJECT = 6
};

class COsJsonImpl;

class COsJson
{
public:
    COsJson();
    ~COsJson();

    // Parse a_szJson (null-terminated UTF-8).  True when the whole text is
    // one valid JSON value; otherwise false and *a_pu32ErrorOffset (when
    // given) is the byte offset where the text stopped being JSON.
    // a_iFlag: reserved (0).
    bool Load(const char* a_szJson, uint32_t* a_pu32ErrorOffset, int a_iFlag = 0);

    // Find a_szKey.  The buffer (when given) is cleared, then gets the
    // value's text, cut to fit (always terminated).  *a_peosjsontype gets
    // the type (OS_JSONTYPE_NONE when not found), *a_pu64Length the full
    // length of the text (it did not fit when it is a_u64Size or more).
    // a_iFlag: reserved (0).  True when the key was found.
    bool Get(const char* a_szKey, char* a_szBuffer, size_t a_u64Size, EOSJSONTYPE* a_peosjsontype = nullptr,
             int a_iFlag = 0, size_t* a_pu64Length = nullptr);

private:
    COsJson(const COsJson&) = delete;
    COsJson& operator=(const COsJson&) = delete;
    COsJsonImpl* m_posjsonimpl;
};

#endif // OS_COSJSON_H
