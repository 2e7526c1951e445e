// dattwaindirect.cpp
// DAT_TWAINDIRECT: one TWAIN Direct task sent with MSG_SETTASK and its reply
// printed, or the certification runner over a folder tree of test files
// (a JSON header, a marker line, the task), counting passes and failures.
//
// The task handle is allocated and freed by this program (through the family
// that made it); the reply belongs to the Data Source's family and is freed
// through it.  A missing or empty reply is a failure.
#include "ctwainimpl.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace
{

// The task sent when the command names none.
const char s_szTask[] =
    "{\n"
    "\t\"actions\": [\n"
    "\t\t{\n"
    "\t\t\t\"action\": \"configure\",\n"
    "\t\t\t\"streams\": [\n"
    "\t\t\t\t{\n"
    "\t\t\t\t\t\"exception\": \"fail\",\n"
    "\t\t\t\t\t\"sources\": [\n"
    "\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\"source\": \"any\",\n"
    "\t\t\t\t\t\t\t\"pixelFormats\": [\n"
    "\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\"pixelFormat\": \"rgb24\",\n"
    "\t\t\t\t\t\t\t\t\t\"attributes\": [\n"
    "\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"attribute\": \"compression\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"exception\": \"ignore\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"values\": [\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\"value\": \"jpeg\"\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t\t\t\t\t},\n"
    "\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"attribute\": \"resolution\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"exception\": \"ignore\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"values\": [\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\"value\": \"200\"\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t},\n"
    "\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\"source\": \"any\",\n"
    "\t\t\t\t\t\t\t\"pixelFormats\": [\n"
    "\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\"pixelFormat\": \"bw1\",\n"
    "\t\t\t\t\t\t\t\t\t\"attributes\": [\n"
    "\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"attribute\": \"compression\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"exception\": \"ignore\",\n"
    "\t\t\t\t\t\t\t\t\t\t\t\"values\": [\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t{\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\"value\": \"group4\"\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t\t\t}\n"
    "\t\t\t\t\t\t\t]\n"
    "\t\t\t\t\t\t}\n"
    "\t\t\t\t\t]\n"
    "\t\t\t\t}\n"
    "\t\t\t]\n"
    "\t\t}\n"
    "\t]\n"
    "}";
static_assert(sizeof(s_szTask) == 1035, "the default task is 1,034 bytes");

const char s_szAsterisks[] = "*************************************************************";
const char s_szMarker[] = "***DATADATADATA***";

// Bounds of the certification runner.
const size_t s_u64Folders = 32;
const size_t s_u64Files = 512;
const size_t s_u64Filters = 31;
// The largest task or certification file read (a regular file only).
const uint64_t s_u64TaskFileMax = 16ULL << 20;

// The order of the runner's folders and files.
bool cmp(const std::string &a_sz1, const std::string &a_sz2)
{
    return strcmp(a_sz1.c_str(), a_sz2.c_str()) < 0;
}

// The entries of one type (1 folders, 2 files) that a pattern finds, by full
// path, at most a_u64Max of them (*a_pblMore tells of the others).
std::vector<std::string> TwainDirectFind(const char *a_szFolder, uint32_t a_u32Type, size_t a_u64Max, bool *a_pblMore)
{
    std::vector<std::string> aszPath;
    char szPattern[512];
    if ((COsFile::PathSet(szPattern, sizeof(szPattern), a_szFolder) != OS_STS_OK) ||
        (COsFile::PathAppend(szPattern, sizeof(szPattern), "*") != OS_STS_OK))
        return aszPath;
    OsFileInfo osfileinfo;
    memset(&osfileinfo, 0, sizeof(osfileinfo));
    for (EOSSTS eossts = COsFile::FindFirst(szPattern, &osfileinfo); eossts == OS_STS_OK;
         eossts = COsFile::FindNext(&osfileinfo))
    {
        if ((osfileinfo.u32Type != a_u32Type) || !strcmp(osfileinfo.szName, ".") || !strcmp(osfileinfo.szName, ".."))
            continue;
        if (aszPath.size() >= a_u64Max)
        {
            *a_pblMore = true;
            continue;
        }
        aszPath.emplace_back(osfileinfo.szPath);
    }
    COsFile::FindClose(&osfileinfo);
    std::sort(aszPath.begin(), aszPath.end(), cmp);
    return aszPath;
}

// One value of a JSON document as text ("" when it is missing).
std::string JsonText(COsJson &a_osjson, const std::string &a_szKey, size_t a_u64Size)
{
    std::vector<char> aszValue(a_u64Size, '\0');
    a_osjson.Get(a_szKey.c_str(), aszValue.data(), aszValue.size());
    return aszValue.data();
}

// ---------------------------------------------------------------------------
// Sending a task, taking the reply
// ---------------------------------------------------------------------------

// Sends one task.  Whatever the source answers, a reply it hands back is
// read (its text, cut at a NUL, to *a_pszReply; *a_pblReply says whether
// there was one) and released.  A success without a reply records
// TWRC_FAILURE as the last return code.
TW_UINT16 TwainDirectSend(CTwainImpl &a_twainimpl, const char *a_szTask, std::string *a_pszReply, bool *a_pblReply)
{
    *a_pblReply = false;
    a_pszReply->clear();
    size_t u64Size = strlen(a_szTask) + 1;
    if (u64Size > 0x7FFFFFFF)
        return a_twainimpl.DatMisuse("*** the task is too large (%zu bytes) ***", u64Size);
    TW_HANDLE hSend = a_twainimpl.DsMemAlloc(static_cast<int32_t>(u64Size));
    char *szSend = hSend ? static_cast<char *>(a_twainimpl.DsMemLock(hSend)) : nullptr;
    if (!szSend)
    {
        a_twainimpl.DsMemFree(hSend);
        return a_twainimpl.DatMisuse("*** unable to allocate the task (%zu bytes) ***", u64Size);
    }
    memcpy(szSend, a_szTask, u64Size);
    a_twainimpl.DsMemUnlock(hSend);

    TW_TWAINDIRECT twtwaindirect;
    memset(&twtwaindirect, 0, sizeof(twtwaindirect));
    twtwaindirect.SizeOf = sizeof(TW_TWAINDIRECT);
    twtwaindirect.CommunicationManager = 0;
    twtwaindirect.Send = hSend;
    twtwaindirect.SendSize = static_cast<TW_UINT32>(u64Size);
    TW_UINT16 twrc = a_twainimpl.DsmEntry(DG_CONTROL, DAT_TWAINDIRECT, MSG_SETTASK, &twtwaindirect, false, false);
    a_twainimpl.DsMemFree(hSend);

    // The reply: as many bytes as the source says, but no more than its
    // block holds, cut at a NUL.
    if (twtwaindirect.Receive && (twtwaindirect.ReceiveSize > 0))
    {
        const char *szReceive = static_cast<const char *>(a_twainimpl.DsMemLock(twtwaindirect.Receive));
        if (szReceive)
        {
            size_t u64Block = a_twainimpl.DsMemSize(twtwaindirect.Receive, const_cast<char *>(szReceive));
            size_t u64Claimed = twtwaindirect.ReceiveSize;
            size_t len = strnlen(szReceive, (u64Claimed < u64Block) ? u64Claimed : u64Block);
            try
            {
                a_pszReply->assign(szReceive, len);
                *a_pblReply = len > 0;
            }
            catch (...)
            {
                OSLOG_ERROR("TwainDirect: no memory for a reply of %zu bytes...", len);
            }
        }
        a_twainimpl.DsMemUnlock(twtwaindirect.Receive);
    }
    a_twainimpl.DsMemFree(twtwaindirect.Receive);
    if ((twrc == TWRC_SUCCESS) && !*a_pblReply)
        a_twainimpl.m_twrcLast = TWRC_FAILURE;
    return twrc;
}

// The reply of a task as it is shown: two empty lines, the asterisks, and
// the reply with every tab as two blanks.
void TwainDirectShowReply(const std::string &a_szReply)
{
    TWAINLOG("%s", "");
    TWAINLOG("%s", "");
    TWAINLOG("%s", s_szAsterisks);
    std::string szShown;
    try
    {
        szShown.reserve(a_szReply.size() + 64);
        for (char c : a_szReply)
        {
            if (c == '\t')
                szShown += "  ";
            else
                szShown += c;
        }
    }
    catch (...)
    {
        szShown.clear();
    }
    TWAINLOG("%s", szShown.empty() ? a_szReply.c_str() : szShown.c_str());
}

// One certification file: 1 passed, -1 failed (a crash too), 0 skipped or refused.
int TwainDirectTest(CTwainImpl &a_twainimpl, const char *a_szPath, COsJson &a_osjsonHeader, COsJson &a_osjsonReply,
                    const std::vector<std::string> &a_aszFilter)
{
    // The file: header, marker, task.  Unreadable files, files without the
    // marker and headers that are not JSON are skipped without a word.
    char *szText = nullptr;
    uint64_t u64Size = 0;
    if ((COsFile::ReadFile(a_szPath, &szText, false, 0, &u64Size, 0, s_u64TaskFileMax) != OS_STS_OK) || !szText)
        return 0;
    std::string szHeader;
    std::string szTask;
    char *szMarker = strstr(szText, s_szMarker);
    if (szMarker)
    {
        const char *szAfter = szMarker + strlen(s_szMarker);
        if (*szAfter == '\r')
            szAfter++;
        if (*szAfter == '\n')
            szAfter++;
        szHeader.assign(szText, static_cast<size_t>(szMarker - szText));
        szTask = szAfter;
    }
    if (g_posmem)
        g_posmem->Free(szText, __FILE__, __LINE__);
    if (!szMarker || !a_osjsonHeader.Load(szHeader.c_str(), nullptr))
        return 0;

    std::string szCategory = JsonText(a_osjsonHeader, "category", 128);
    std::string szSummary = JsonText(a_osjsonHeader, "summary", 512);
    if (!a_aszFilter.empty() &&
        std::none_of(a_aszFilter.begin(), a_aszFilter.end(),
                     [&](const std::string &a_szWord) { return szSummary.find(a_szWord) != std::string::npos; }))
        return 0;
    const char *const aszKey[4] = {"expectedSuccess", "expectedCode", "expectedCharacterOffset", "expectedJsonKey"};
    const size_t au64Size[4] = {64, 64, 16, 256};
    std::string aszExpected[4];
    for (int ii = 0; ii < 4; ii++)
        aszExpected[ii] = JsonText(a_osjsonHeader, aszKey[ii], au64Size[ii]);

    TWAINLOG("%s", "");
    TWAINLOG("\033[1m%s: %s\033[0m", szCategory.c_str(), szSummary.c_str());
    TWAINLOG("%s", JsonText(a_osjsonHeader, "description", 2048).c_str());
    TWAINLOG("%s", a_szPath);

    std::string szReply;
    bool blReply = false;
    TW_UINT16 twrc = TwainDirectSend(a_twainimpl, szTask.c_str(), &szReply, &blReply);
    if (twrc != TWRC_SUCCESS)
    {
        char szTwrc[64];
        char szTwcc[64];
        a_twainimpl.GetStatusStrings(twrc, 0, szTwrc, sizeof(szTwrc), szTwcc, sizeof(szTwcc), true);
        TWAINLOG("\033[31m\033[1m%s/%s\033[0m", szTwrc, szTwcc);
        // A refusal is no verdict; a crash is never what a test expects.
        return CTwainImpl::s_blCallCrashed ? -1 : 0;
    }
    if (!blReply)
        TWAINLOG("(no data)");
    if (!blReply || !a_osjsonReply.Load(szReply.c_str(), nullptr))
        a_osjsonReply.Load("{}", nullptr);

    // The response of the first action (the standard names the object
    // "results"; "response" is read first).
    std::string szObject = a_osjsonReply.Get("actions[0].response", nullptr, 0) ? "actions[0].response."
                                                                                 : "actions[0].results.";
    const char *const aszReply[4] = {"success", "code", "characterOffset", "jsonKey"};
    std::string aszReceived[4];
    bool blSame = blReply;
    for (int ii = 0; ii < 4; ii++)
    {
        aszReceived[ii] = JsonText(a_osjsonReply, szObject + aszReply[ii], au64Size[ii]);
        blSame = blSame && (aszReceived[ii] == aszExpected[ii]);
    }
    if (!blSame)
    {
        TWAINLOG("\033[31m\033[1m***FAIL***\033[0m");
        TWAINLOG("\033[31m\033[1mExpected: <%s> <%s> <%s> <%s>\033[0m", aszExpected[0].c_str(), aszExpected[1].c_str(),
                 aszExpected[2].c_str(), aszExpected[3].c_str());
        TWAINLOG("\033[31m\033[1mReceived: <%s> <%s> <%s> <%s>\033[0m", aszReceived[0].c_str(), aszReceived[1].c_str(),
                 aszReceived[2].c_str(), aszReceived[3].c_str());
        return -1;
    }
    for (int kk = 0;; kk++)
    {
        std::string szIndex = "expectedValues[" + std::to_string(kk) + "].";
        std::string szKey = JsonText(a_osjsonHeader, szIndex + "jsonKey", 256);
        if (szKey.empty())
            break;
        std::string szValue = JsonText(a_osjsonHeader, szIndex + "value", 512);
        std::string szFound = JsonText(a_osjsonReply, szKey, 512);
        if (szFound != szValue)
        {
            TWAINLOG("\033[31m\033[1m***FAIL***\033[0m");
            TWAINLOG("\033[31m\033[1mExpected: <%s> in <%s>\033[0m", szValue.c_str(), szKey.c_str());
            TWAINLOG("\033[31m\033[1mReceived: <%s> \033[0m", szFound.c_str());
            return -1;
        }
    }
    TWAINLOG("\033[32m\033[1m***pass***\033[0m");
    return 1;
}

// ---------------------------------------------------------------------------
// The certification runner
// ---------------------------------------------------------------------------

TW_UINT16 TwainDirectRunner(CTwainImpl &a_twainimpl, const char *const *a_aszWords)
{
    // The root and the filter words.
    const char *szRoot = "scripts/twaindirect/certification";
    std::vector<std::string> aszFilter;
    if (a_aszWords[2])
    {
        if (a_aszWords[2][0])
            szRoot = a_aszWords[2];
        for (int ii = 3; !CTwainImpl::DatWordMissing(a_aszWords[ii]); ii++)
        {
            if (aszFilter.size() >= s_u64Filters)
            {
                TWAINLOG("*** only the first %d filter words are used ***", static_cast<int>(s_u64Filters));
                break;
            }
            aszFilter.emplace_back(a_aszWords[ii]);
        }
    }

    std::unique_ptr<COsJson> posjsonHeader(new (std::nothrow) COsJson);
    std::unique_ptr<COsJson> posjsonReply(new (std::nothrow) COsJson);
    if (!posjsonHeader || !posjsonReply)
    {
        TWAINLOG("OsMemNew failed...");
        return TWRC_FAILURE;
    }

    // The folders, each with its files, in order.
    bool blMore = false;
    std::vector<std::string> aszFolder = TwainDirectFind(szRoot, OS_FILETYPE_DIRECTORY, s_u64Folders, &blMore);
    if (blMore)
        TWAINLOG("*** more than %d folders, the others are not run ***", static_cast<int>(s_u64Folders));

    int iPass = 0;
    int iFail = 0;
    for (const std::string &szFolder : aszFolder)
    {
        blMore = false;
        std::vector<std::string> aszFile = TwainDirectFind(szFolder.c_str(), OS_FILETYPE_FILE, s_u64Files, &blMore);
        if (blMore)
            TWAINLOG("*** more than %d files in %s, the others are not run ***", static_cast<int>(s_u64Files),
                     szFolder.c_str());
        for (const std::string &szPath : aszFile)
        {
            int iVerdict = TwainDirectTest(a_twainimpl, szPath.c_str(), *posjsonHeader, *posjsonReply, aszFilter);
            if (iVerdict > 0)
                iPass++;
            else if (iVerdict < 0)
                iFail++;
        }
    }

    TWAINLOG(" ");
    TWAINLOG(" ");
    TWAINLOG("\033[34m\033[1m************************************************\033[0m");
    TWAINLOG("\033[1mpass: %d\033[0m", iPass);
    TWAINLOG("\033[1mfail: %d\033[0m", iFail);
    TWAINLOG("\033[34m\033[1m************************************************\033[0m");
    return TWRC_SUCCESS;
}

} // namespace

// ---------------------------------------------------------------------------
// The handler
// ---------------------------------------------------------------------------

TW_UINT16 CTwainImpl::DSDatTwainDirect(const char *const *a_aszWords)
{
    const char *szMsg = (a_aszWords && a_aszWords[0]) ? a_aszWords[1] : nullptr;
    const char *szArg = szMsg ? a_aszWords[2] : nullptr;
    if (DatWord(szMsg, "test", nullptr))
    {
        try
        {
            return TwainDirectRunner(*this, a_aszWords);
        }
        catch (const std::bad_alloc &)
        {
            TWAINLOG("OsMemAlloc failed...");
            return TWRC_FAILURE;
        }
    }
    if (!DatWord(szMsg, "msg_settask", nullptr))
        return DatUnrecognized(szMsg);

    // The task: the default one, a file, or the word itself.
    const char *szTask = s_szTask;
    char *szFile = nullptr;
    if (!DatWordMissing(szArg))
    {
        szTask = szArg;
        if (COsFile::Exists(szArg))
        {
            uint64_t u64Size = 0;
            if (COsFile::ReadFile(szArg, &szFile, false, 0, &u64Size, 0, s_u64TaskFileMax) != OS_STS_OK)
                return DatMisuse("*** file not found %s ***", szArg);
            szTask = szFile;
        }
    }

    TWAINLOG("%s", s_szAsterisks);
    TWAINLOG("%s", szTask);
    std::string szReply;
    bool blReply = false;
    TW_UINT16 twrc = TwainDirectSend(*this, szTask, &szReply, &blReply);
    if (szFile && g_posmem)
        g_posmem->Free(szFile, __FILE__, __LINE__);
    if (twrc != TWRC_SUCCESS)
    {
        // A refusal that still carries a reply (TWRC_CHECKSTATUS, say)
        // shows it after the codes.
        DatPrintStatus(twrc);
        if (blReply)
            TwainDirectShowReply(szReply);
        return twrc;
    }
    if (!blReply)
    {
        TWAINLOG("%s", "");
        TWAINLOG("%s", "");
        TWAINLOG("%s", s_szAsterisks);
        TWAINLOG("(no data)");
        return TWRC_FAILURE;
    }
    TwainDirectShowReply(szReply);
    return TWRC_SUCCESS;
}

