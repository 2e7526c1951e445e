// os_cosxml.h
// A small XML reader with callbacks bound by symbol name.
//
// The reader understands elements, attributes (kept as raw text), text
// content, CDATA sections, comments, processing instructions (<?xml ...?>)
// and a DOCTYPE line (skipped), and the entities &lt; &gt; &amp; &quot;
// &apos; and numeric character references (&#NN; &#xNN;, as UTF-8).
//
// BINDING TEXT (DispatchLoad)
//   One binding per line (a ';' also ends a binding); '#' starts a comment
//   line; words are separated by blanks or tabs:
//       <path>  <enter callback>  [<exit callback>]
//   <path>      element names separated by '/'.  A path starting with '/' is
//               anchored at the document's root element; any other path
//               matches the LAST elements of an element's path ("f" matches
//               /lookup/l/f, "Z/n" matches /lookup/l/Z/n).  Names are case
//               sensitive.  When several bindings match, the one with the
//               most elements wins; among equals an anchored one, then the
//               first in the text.
//   <callback>  "<object>.<Function>", <object> a name given to
//               DispatchAddObject (usually "this"), or "-" for none.
//   Example:
//       lookup  this.EnterLookup  this.ExitLookup
//       f       this.EnterLookupF
//       Z       this.EnterLookupZ this.ExitLookupZ
//       Z/n     this.EnterLookupZN
//
// SYMBOLS
//   "<object>.<Function>" with the object's class name <Class> binds the
//   static member function
//       static void <Class>::<Class>_<Function>(OsXmlCallback* a_posxmlcallback);
//   found in the program's dynamic symbol table (dlsym(RTLD_DEFAULT)) by its
//   mangled name "_ZN" <len><Class> <len><Class>_<Function> "EP13OsXmlCallback"
//   (e.g. "_ZN7CLookup19CLookup_EnterLookupEP13OsXmlCallback").  When that
//   symbol is absent, an extern "C" function named "<Class>_<Function>" is
//   tried.  The program must be linked with its symbols exported
//   (ENABLE_EXPORTS / -rdynamic).  The trampoline casts pvObject back to its
//   class and calls the member.
//
// DISPATCH (DocumentLoadAndDispatch)
//   The whole text is parsed first (a malformed text calls nothing); then
//   each element in document order gets its enter callback, its children,
//   then its exit callback.  szValue is the element's own text (the text
//   outside its children, entities decoded, leading and trailing white space
//   removed).  The record's texts stay valid until DocumentFree.
#ifndef OS_COSXML_H
#define OS_COSXML_H

#include "osservices.h"

class COsXml;

// The record every XML callback receives.
struct OsXmlCallback
{
    void*       pvObject;       // the object bound to the callback's object name
    void*       pvContext;      // the context given to DocumentLoadAndDispatch
    COsXml*     posxml;         // the reader
    const char* szElement;      // the element's name
    const char* szPath;         // its full path, e.g. "/lookup/l/f"
    const char* szValue;        // its text ("" when none)
    uint64_t    u64ValueSize;   // strlen(szValue)
    const char* szAttributes;   // the raw attribute text of its start tag ("" when none)
    int         iDepth;         // 1 for the root element
    EOSBOOL     blExit;         // 0 for the enter callback, 1 for the exit callback
};

// A bound callback (a static trampoline).
typedef void (*OsXmlTrampoline)(OsXmlCallback* a_posxmlcallback);

class COsXmlImpl;

class COsXml
{
public:
    COsXml();
    ~COsXml();

    // Make a_szObjectName ("this") in binding texts name a_pvObject of class
    // a_szClassName (a plain identifier).  Adding a name again replaces it.
    EOSSTS DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvObject);

    // Bind element paths to trampolines (format above; a_iFlag: reserved,
    // 0).  All or nothing: on any error no binding of the text is kept.
    // 0; 3 for a syntax error or an unknown object name; 14 when a symbol is
    // missing (logged with its name).
    EOSSTS DispatchLoad(const char* a_szBinding, int a_iFlag = 0);

    // Parse a_szXml and dispatch.  0; OS_STS_FAIL for a malformed text (the
    // services log names the line); 3 for a null text.
    EOSSTS DocumentLoadAndDispatch(const char* a_szXml, void* a_pvContext);

    EOSSTS DocumentFree();
    EOSSTS DispatchFree();

    // Copy the text between the first a_szOpen and the following a_szClose
    // into the buffer (cleared first).  a_blDecode decodes the entities.
    // 0; 14 when a marker is missing; 2 when it does not fit (buffer left
    // empty); 3 for bad arguments.
    static EOSSTS GetContent(const char* a_szXml, const char* a_szOpen, const char* a_szClose,
                             char* a_szOut, size_t a_u64OutSize, bool a_blDecode);

private:
    COsXml(const COsXml&) = delete;
    COsXml& operator=(const COsXml&) = delete;
    COsXmlImpl* m_posxmlimpl;
};

#endif // OS_COSXML_H
