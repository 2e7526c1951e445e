// dravo_builtin.cpp
// The TWAIN object slots (twcreate, twset, twdestroy, twlist, twstress) and the
// shell's own utility commands: log, mem, dir, cd, view and edit.
#include "dravo.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "clog.h"
#include "ctwain.h"
#include "osservices.h"

namespace
{
bool Present(const char *a_sz)
{
    return a_sz && a_sz[0];
}

// A slot number as typed: the decimal number at the start of the word (0 for
// none), held at the ends of the int range, so that a number too large for
// an int never wraps round into a valid slot.
int SlotNumber(const char *a_szWord)
{
    long lSlot = strtol(a_szWord, nullptr, 10);
    if (lSlot > INT_MAX)
        return INT_MAX;
    if (lSlot < INT_MIN)
        return INT_MIN;
    return static_cast<int>(lSlot);
}

// Runs an external program with an argument vector (never through a command
// interpreter) and waits for it to end; its result is not used.
void RunAndWait(const char *a_szProgram, const char *a_szArgument)
{
    const char *aszArgv[3] = {a_szProgram, a_szArgument, nullptr};
    COsThread osthread;
    if (osthread.SpawnV(0, a_szProgram, aszArgv) != OS_STS_OK)
    {
        if (g_plog)
            g_plog->Log(__FILE__, __LINE__, false, ELOGSTS_PLAIN, CLOG_CODEPAGE, "%%%%error, unable to start <%s>...",
                        a_szProgram);
        return;
    }
    int iExitCode = 0;
    osthread.SpawnWait(-1, &iExitCode);
}
} // namespace

// ---------------------------------------------------------------------------
// TWAIN object slots
// ---------------------------------------------------------------------------

int CDravo::CmdTwcreate(char **a_aszCmd)
{
    int iSlot = -1;
    for (int ii = 0; ii < DRAVO_TWAINSLOTS; ii++)
    {
        if (!m_aptwain[ii])
        {
            iSlot = ii;
            break;
        }
    }
    if (iSlot < 0)
    {
        Print("%%%%error, no room for another CTwain object...");
        return -1;
    }

    const char *szWord1 = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    const char *szWord2 = szWord1 ? a_aszCmd[2] : nullptr;
    const char *szProtocol = Present(szWord1) ? szWord1 : nullptr;
    const char *szLanguage = Present(szWord2) ? szWord2 : nullptr;
    if (!szProtocol)
        szProtocol = g_pvar ? g_pvar->Get("ProtocolVersion", true) : nullptr;
    if (!szLanguage)
        szLanguage = g_pvar ? g_pvar->Get("Language", true) : nullptr;
    if (!szProtocol)
        szProtocol = "1.9";
    if (!szLanguage)
        szLanguage = "TWLG_ENGLISH_USA";

    try
    {
        m_aptwain[iSlot] = new CTwain(szProtocol, szLanguage, iSlot);
        OSLOG_NEW(m_aptwain[iSlot], "CTwain");
    }
    catch (...)
    {
        m_aptwain[iSlot] = nullptr;
    }
    if (!m_aptwain[iSlot])
    {
        Print("%%%%error, failed to new CTwain...");
        return -1;
    }
    Print("CTwain object: #%d", iSlot);
    m_ptwain = m_aptwain[iSlot];
    return iSlot;
}

int CDravo::UsedTwainSlot(char **a_aszCmd)
{
    if (!a_aszCmd || !a_aszCmd[0] || !a_aszCmd[1])
    {
        Print("%%%%error, missing argument (must specify a number)");
        return -1;
    }
    int iSlot = SlotNumber(a_aszCmd[1]);
    if ((iSlot < 0) || (iSlot >= DRAVO_TWAINSLOTS))
    {
        Print("%%%%error, number must be in range 0 - %d", DRAVO_TWAINSLOTS - 1);
        return -1;
    }
    if (!m_aptwain[iSlot])
    {
        Print("%%%%error, no object at this index...");
        return -1;
    }
    return iSlot;
}

void CDravo::CmdTwset(char **a_aszCmd)
{
    int iSlot = UsedTwainSlot(a_aszCmd);
    if (iSlot < 0)
        return;
    Print("CTwain object: #%d", iSlot);
    m_ptwain = m_aptwain[iSlot];
}

void CDravo::CmdTwdestroy(char **a_aszCmd)
{
    int iSlot = UsedTwainSlot(a_aszCmd);
    if (iSlot < 0)
        return;

    // No close messages first: the connection releases what it holds.
    bool blCurrent = (m_ptwain == m_aptwain[iSlot]);
    OSLOG_DELETE(m_aptwain[iSlot]);
    delete m_aptwain[iSlot];
    m_aptwain[iSlot] = nullptr;

    if (blCurrent)
    {
        m_ptwain = nullptr;
        for (int ii = 0; ii < DRAVO_TWAINSLOTS; ii++)
        {
            if (m_aptwain[ii])
            {
                m_ptwain = m_aptwain[ii];
                Print("CTwain object: #%d", ii);
                break;
            }
        }
        if (!m_ptwain)
            Print("the last CTwain object has been destroyed (none left)...");
    }

    WriteTitle();
}

void CDravo::WriteTitle()
{
    char szTitle[64] = "";
    if (!m_ptwain)
        COsString::SStrCpy(szTitle, sizeof(szTitle), "Dravo (64-bit,0)");
    else
    {
        unsigned int uState = static_cast<unsigned int>(m_ptwain->GetTwState());
        TW_IDENTITY *ptwidentity = m_ptwain->GetTwIdentity();
        if ((uState > 3) && ptwidentity)
            snprintf(szTitle, sizeof(szTitle), "Dravo (64-bit,%u): %.*s", uState,
                     static_cast<int>(sizeof(ptwidentity->ProductName) - 1), ptwidentity->ProductName);
        else
            snprintf(szTitle, sizeof(szTitle), "Dravo (64-bit,%u)", uState);
    }
    fprintf(stderr, "\033]2;%s\007", szTitle);
    fflush(stderr);
}

// With a protocol and a name: a TWAIN object of its own for the test,
// destroyed again afterwards; otherwise the test runs on the current one.
void CDravo::CmdTwstress(char **a_aszCmd)
{
    const char *szWord1 = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    const char *szWord2 = szWord1 ? a_aszCmd[2] : nullptr;
    if (Present(szWord1) && Present(szWord2))
    {
        char szTwcreate[] = "twcreate";
        char *aszCreate[] = {szTwcreate, a_aszCmd[1], nullptr};
        int iSlot = CmdTwcreate(aszCreate);
        if (iSlot < 0)
            return;
        m_ptwain->TWStress(a_aszCmd);
        char szSlot[64] = "";
        COsString::SStrFromNum(iSlot, szSlot, sizeof(szSlot), 10);
        char szTwdestroy[] = "twdestroy";
        char *aszDestroy[] = {szTwdestroy, szSlot, nullptr};
        CmdTwdestroy(aszDestroy);
        return;
    }
    if (HaveTwain())
        m_ptwain->TWStress(a_aszCmd);
}

void CDravo::CmdTwlist(char **)
{
    for (int ii = 0; ii < DRAVO_TWAINSLOTS; ii++)
    {
        CTwain *ptwain = m_aptwain[ii];
        if (!ptwain)
            continue;
        const char *szMark = (ptwain == m_ptwain) ? "\033[1m*\033[0m" : " ";
        int iState = static_cast<int>(ptwain->GetTwState());
        if (iState == 0)
            Print("%s %d - dsm closed", szMark, ii);
        else if (iState <= 3)
            Print("%s %d - dsm open", szMark, ii);
        else if (iState <= 7)
        {
            TW_IDENTITY *ptwidentity = ptwain->GetTwIdentity();
            const char *szDsm = ptwain->GetTwDsm();
            if (!ptwidentity)
                continue;
            Print("%s %d - %.*s ver=%d.%d twn=%d.%d dsm=%.*s", szMark, ii,
                  static_cast<int>(sizeof(ptwidentity->ProductName) - 1), ptwidentity->ProductName,
                  static_cast<int>(ptwidentity->Version.MajorNum), static_cast<int>(ptwidentity->Version.MinorNum),
                  static_cast<int>(ptwidentity->ProtocolMajor), static_cast<int>(ptwidentity->ProtocolMinor), 512,
                  szDsm ? szDsm : "");
        }
    }
}

// ---------------------------------------------------------------------------
// log
// ---------------------------------------------------------------------------

void CDravo::CmdLog(char **a_aszCmd)
{
    if (!g_plog || !a_aszCmd)
        return;
    const char *szWord = a_aszCmd[0] ? a_aszCmd[1] : nullptr;
    if (!Present(szWord))
    {
        g_plog->Status();
        return;
    }
    const char *szValue = a_aszCmd[2];
    const char *szFile = szValue ? a_aszCmd[3] : nullptr;
    if (!strcasecmp(szWord, "console"))
        g_plog->ConsoleSet(szValue);
    else if (!strcasecmp(szWord, "record"))
        g_plog->RecordSet(szValue, szFile);
    else if (!strcasecmp(szWord, "data"))
        g_plog->DataSet(szValue);
    else if (!strcasecmp(szWord, "compare"))
    {
        if (g_plog->DataCompare(m_aszDataBlock, m_iDataBlockLines) < 0)
            Print("pass...");
    }
    else
        Print("unrecognized log command...");
}

// ---------------------------------------------------------------------------
// mem
// ---------------------------------------------------------------------------

void CDravo::CmdMem(char **a_aszCmd)
{
    static void *s_ahAllocate[16] = {};
    static uint64_t s_au64Allocate[16] = {};
    const int iSlots = 16;
    // The slot a word names, or -1 after the error line.
    auto slotOf = [&](const char *a_szWord) {
        int iSlot = SlotNumber(a_szWord);
        if ((iSlot < 0) || (iSlot >= iSlots))
        {
            Print("Must specify a slot number between 0 and %d...", iSlots - 1);
            return -1;
        }
        return iSlot;
    };

    const char *szWord = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    if (!Present(szWord))
    {
        OsMemList osmemlist;
        memset(&osmemlist, 0, sizeof(osmemlist));
        if (g_posmem)
            g_posmem->GetFreeContiguousList(&osmemlist);
        for (int ii = 0; ii < 5; ii++)
            Print("Free Contiguous #%d: %llu", ii, static_cast<unsigned long long>(osmemlist.au64Size[ii]));
        for (int ii = 0; ii < iSlots; ii++)
        {
            if (s_au64Allocate[ii])
                Print("Allocated #%d: %llu", ii, static_cast<unsigned long long>(s_au64Allocate[ii]));
        }
        return;
    }

    if (!strcasecmp(szWord, "alloc"))
    {
        if (!Present(a_aszCmd[2]) || !Present(a_aszCmd[3]))
        {
            Print("Must specify a slot number and a size...");
            return;
        }
        int iSlot = slotOf(a_aszCmd[2]);
        if (iSlot < 0)
            return;
        errno = 0;
        long long i64Size = strtoll(a_aszCmd[3], nullptr, 10);
        if (i64Size == 0)
        {
            Print("Must specify a size greater than 0...");
            return;
        }
        void *pv = (i64Size > 0) ? calloc(1, static_cast<size_t>(i64Size)) : nullptr;
        if (!pv)
        {
            Print("Failed to allocate the memory...");
            return;
        }
        free(s_ahAllocate[iSlot]);
        s_ahAllocate[iSlot] = pv;
        s_au64Allocate[iSlot] = static_cast<uint64_t>(i64Size);
        return;
    }

    if (!strcasecmp(szWord, "free"))
    {
        if (!Present(a_aszCmd[2]))
        {
            Print("Must specify a slot number...");
            return;
        }
        int iSlot = slotOf(a_aszCmd[2]);
        if (iSlot < 0)
            return;
        free(s_ahAllocate[iSlot]);
        s_ahAllocate[iSlot] = nullptr;
        s_au64Allocate[iSlot] = 0;
        return;
    }

    Print("unrecognized argument to mem command...");
}

// ---------------------------------------------------------------------------
// dir, cd, view, edit
// ---------------------------------------------------------------------------

void CDravo::CmdShowDirectories(char **)
{
    Print("Directories");
    Print("~~~~~~~~~~~");
    OsFileInfo osfileinfo;
    memset(&osfileinfo, 0, sizeof(osfileinfo));
    for (EOSSTS eossts = COsFile::FindFirst("*", &osfileinfo); eossts == OS_STS_OK; eossts = COsFile::FindNext(&osfileinfo))
    {
        if (osfileinfo.u32Type != OS_FILETYPE_DIRECTORY)
            continue;
        if (!strcmp(osfileinfo.szName, ".") || !strcmp(osfileinfo.szName, ".."))
            continue;
        Print("  %s", osfileinfo.szName);
    }
    COsFile::FindClose(&osfileinfo);
}

void CDravo::CmdChangeDirectory(char **a_aszCmd)
{
    const char *szDirectory = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    if (Present(szDirectory))
    {
        if (COsFile::SetCurrentDir(szDirectory) != OS_STS_OK)
            Print("no such directory...");
        return;
    }
    char szCurrent[512] = "";
    if (COsFile::GetCurrentDir(szCurrent, sizeof(szCurrent) - 1) != OS_STS_OK)
    {
        Print("unable to read the current directory...");
        return;
    }
    Print("%s", szCurrent);
}

void CDravo::CmdView(char **a_aszCmd)
{
    const char *szWord = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    if (!Present(szWord))
    {
        Print("enter the name of a text file...");
        return;
    }

    char szPath[512] = "";
    if (strchr(szWord, '(') && strchr(szWord, ',') && strchr(szWord, ')'))
    {
        // "(section,tag)file": a file in a configured folder.
        char szCopy[512] = "";
        if (!COsString::SStrCpy(szCopy, sizeof(szCopy), szWord))
        {
            Print("File not found..");
            return;
        }
        char *szContext = nullptr;
        char szSection[128] = "";
        char szTag[128] = "";
        const char *szToken = COsString::SStrTok(szCopy, "(,", &szContext);
        if (!Present(szToken) || !COsString::SStrCpy(szSection, sizeof(szSection), szToken))
        {
            Print("Bad cfg section..");
            return;
        }
        szToken = COsString::SStrTok(nullptr, ")", &szContext);
        if (!Present(szToken) || !COsString::SStrCpy(szTag, sizeof(szTag), szToken))
        {
            Print("Bad cfg tag..");
            return;
        }
        const char *szFolder = g_poscfg ? g_poscfg->Get(szSection, szTag) : "";
        COsFile::PathSet(szPath, sizeof(szPath), szFolder ? szFolder : "");
        szToken = COsString::SStrTok(nullptr, "\\/", &szContext);
        if (!Present(szToken))
        {
            Print("Bad cfg path..");
            return;
        }
        if (COsFile::PathAppend(szPath, sizeof(szPath), szToken) != OS_STS_OK)
        {
            Print("File not found..");
            return;
        }
    }
    else if (!COsString::SStrCpy(szPath, sizeof(szPath), szWord))
    {
        Print("File not found..");
        return;
    }

    if (!COsFile::Exists(szPath))
    {
        Print("File not found..");
        return;
    }
    RunAndWait("view", szPath);
}

void CDravo::CmdEdit(char **a_aszCmd)
{
    const char *szWord = (a_aszCmd && a_aszCmd[0]) ? a_aszCmd[1] : nullptr;
    if (!Present(szWord))
    {
        Print("enter the name of a script...");
        return;
    }
    char szName[128] = "";
    bool blFits = COsString::SStrCpy(szName, sizeof(szName), szWord) != nullptr;
    if (blFits && !strstr(szName, ".txt") && !strstr(szName, ".twain"))
        blFits = COsString::SStrCat(szName, sizeof(szName), ".txt") != nullptr;
    if (!blFits)
    {
        Print("%%%%error, the script name is too long (at most %d characters)...",
              static_cast<int>(sizeof(szName)) - 1 - 4);
        return;
    }

    // Make sure the file exists, let the editor work on it, and remove it
    // again when it was left empty.
    {
        COsFile osfile;
        if (osfile.Open(szName, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE) == OS_STS_OK)
            osfile.Close();
    }
    RunAndWait("vi", szName);
    uint64_t u64Size = 1;
    {
        COsFile osfile;
        if (osfile.Open(szName, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE) != OS_STS_OK)
            return;
        osfile.Size(&u64Size);
        osfile.Close();
    }
    if (u64Size == 0)
        COsFile::Delete(szName, OS_FILETYPE_FILE, 0, false);
}
