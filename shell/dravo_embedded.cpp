// dravo_embedded.cpp
// The script a program can carry in its own file (the resource SCRIPT of its
// appended archive): runscript writes it out and runs it, dumpscript writes
// it to the desktop, makescript and makescriptandexit make a copy of the
// program with a script file embedded, and unpackage unpacks a package file
// onto the desktop.
#include "dravo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <sys/stat.h>

#include "clog.h"
#include "osservices.h"

namespace
{

#define DRAVO_SCRIPTRESOURCE "SCRIPT"
#define DRAVO_SCRIPTTYPE 1

// A configured folder (section 1) with a name appended; false when the path
// does not fit its 512 bytes.
bool DravoPath(char *a_szPath, size_t a_sizePath, EOSCFGTAG a_eoscfgtag, const char *a_szName)
{
    const char *szFolder = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, a_eoscfgtag) : nullptr;
    return (COsFile::PathSet(a_szPath, a_sizePath, szFolder ? szFolder : "") == OS_STS_OK) &&
           (COsFile::PathAppend(a_szPath, a_sizePath, a_szName) == OS_STS_OK);
}

template <typename T> T *DravoNew(const char *a_szClass)
{
    T *pt = new (std::nothrow) T;
    OSLOG_NEW(pt, a_szClass);
    return pt;
}

template <typename T> void DravoDelete(T *a_pt)
{
    if (!a_pt)
        return;
    OSLOG_DELETE(a_pt);
    delete a_pt;
}

} // namespace

// Writes the program's own SCRIPT resource to a_szPath.
bool CDravo::WriteScriptResource(const char *a_szPath, char *a_szLine, size_t a_sizeLine, char *a_szWhy,
                                 size_t a_sizeWhy)
{
    COsResource *posresource = DravoNew<COsResource>("COsResource");
    if (!posresource || (posresource->Open(OS_RESOURCE_LOCAL, DRAVO_SCRIPTRESOURCE, DRAVO_SCRIPTTYPE) != OS_STS_OK))
    {
        COsString::SStrCpy(a_szLine, a_sizeLine, "SCRIPT not found...");
        COsString::SStrCpy(a_szWhy, a_sizeWhy, "the program carries no script");
        DravoDelete(posresource);
        return false;
    }
    // Written beside the file, which it replaces only when complete.
    COsFile *posfile = DravoNew<COsFile>("COsFile");
    errno = 0;
    if (!posfile || (posfile->OpenTemp(a_szPath) != OS_STS_OK))
    {
        int iErrno = errno;
        COsString::SStrPrintf(a_szLine, a_sizeLine, "Unable to open file...<%s>", a_szPath);
        COsString::SStrCpy(a_szWhy, a_sizeWhy, iErrno ? strerror(iErrno) : "it cannot be created");
        DravoDelete(posfile);
        posresource->Close();
        DravoDelete(posresource);
        return false;
    }
    uint64_t u64Size = posresource->GetSize();
    uint64_t u64Written = 0;
    errno = 0;
    bool blWritten = (u64Size == 0) || ((posfile->Write(posresource->GetPointer(), u64Size, &u64Written) == OS_STS_OK) &&
                                        (u64Written == u64Size));
    blWritten = blWritten && (posfile->Commit() == OS_STS_OK);
    int iErrno = errno;
    DravoDelete(posfile);
    posresource->Close();
    DravoDelete(posresource);
    if (!blWritten)
    {
        COsString::SStrPrintf(a_szLine, a_sizeLine, "Unable to write file...<%s>", a_szPath);
        COsString::SStrCpy(a_szWhy, a_sizeWhy, iErrno ? strerror(iErrno) : "it cannot be written whole");
        return false;
    }
    return true;
}

void CDravo::PrintShown(const char *a_szText)
{
    char szConsole[8] = "on";
    if (g_plog)
    {
        COsString::SStrCpy(szConsole, sizeof(szConsole), g_plog->ConsoleGet());
        g_plog->ConsoleSet("on");
    }
    Print("%s", a_szText);
    if (g_plog)
        g_plog->ConsoleSet(szConsole);
}

bool CDravo::DoRunScript(DravoLine &a_dravoline)
{
    // The program's own start (its console off) cannot go on without its
    // script: it says why on standard error and ends with status 1.
    bool blEmbeddedStart = m_blEmbeddedStart;
    m_blEmbeddedStart = false;
    char szPath[512];
    char szLine[640] = "";
    char szWhy[256] = "";
    bool blWritten = DravoPath(szPath, sizeof(szPath), OS_CFGTAG_LOGDIRECTORY, "script.txt");
    if (!blWritten)
    {
        COsString::SStrPrintf(szLine, sizeof(szLine), "Unable to open file...<%s>", "script.txt");
        COsString::SStrCpy(szWhy, sizeof(szWhy), "the log folder gives no usable path");
        COsString::SStrCpy(szPath, sizeof(szPath), "script.txt");
    }
    else
    {
        blWritten = WriteScriptResource(szPath, szLine, sizeof(szLine), szWhy, sizeof(szWhy));
    }
    if (!blWritten)
    {
        Print("%s", szLine);
        if (!blEmbeddedStart)
            return true;
        fprintf(stderr, "unable to write the embedded script to <%s>: %s...\r\n", szPath, szWhy);
        fflush(stderr);
        m_u16ExitStatus = 1;
        return false;
    }

    // The script's arguments: words 2 to 4 as they are (a word holding a
    // blank stays one argument), empty ones left out.
    char *aszRun[6] = {const_cast<char *>("run"), szPath, nullptr, nullptr, nullptr, nullptr};
    int iRun = 2;
    bool blEnd = !a_dravoline.aszCmd[1];
    for (int ii = 2; (ii <= 4) && !blEnd; ii++)
    {
        char *szWord = a_dravoline.aszCmd[ii];
        blEnd = !szWord;
        if (szWord && szWord[0])
            aszRun[iRun++] = szWord;
    }
    return !CmdRun(aszRun);
}

bool CDravo::DoDumpScript(DravoLine &)
{
    // Its failure is shown even by a program whose console is off.
    char szPath[512];
    char szLine[640] = "";
    char szWhy[256] = "";
    if (!DravoPath(szPath, sizeof(szPath), OS_CFGTAG_DESKTOPDIRECTORY, "script.txt"))
        PrintShown("Unable to open file...<script.txt>");
    else if (!WriteScriptResource(szPath, szLine, sizeof(szLine), szWhy, sizeof(szWhy)))
        PrintShown(szLine);
    return true;
}

bool CDravo::DoMakeScript(DravoLine &a_dravoline)
{
    bool blExit = !strcasecmp(a_dravoline.aszCmd[0], "makescriptandexit");
    const char *szName = a_dravoline.aszCmd[1];
    if (!szName || !szName[0])
    {
        Print("Must specify a script name...");
        return true;
    }
    MakeScript(szName);
    return !blExit;
}

void CDravo::MakeScript(const char *a_szName)
{
    // The copy: "dravo_" and the script's name without its folder and
    // extension, on the desktop (a program named ".exe" keeps that ending).
    const char *szSource = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, OS_CFGTAG_APPLICATIONPATH) : nullptr;
    szSource = szSource ? szSource : "";
    const char *szBase = strrchr(a_szName, '/');
    std::string szCopy = std::string("dravo_") + (szBase ? szBase + 1 : a_szName);
    const char *szExe = strstr(szSource, ".exe") ? strstr(szSource, ".exe") : strstr(szSource, ".EXE");
    size_t uuDot = szExe ? szCopy.rfind('.') : szCopy.find('.', 6);
    if (uuDot != std::string::npos)
        szCopy.erase(uuDot);
    if (szExe)
        szCopy += std::string(szExe).substr(0, 15);
    char szTarget[512];
    if (!DravoPath(szTarget, sizeof(szTarget), OS_CFGTAG_DESKTOPDIRECTORY, szCopy.c_str()))
    {
        Print("Failed to copy binary: <%s> -> <%s>", szSource, szCopy.c_str());
        return;
    }

    COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
    if (COsFile::Copy(szSource, szTarget) != OS_STS_OK)
    {
        // A copy that stopped halfway is no program: it goes too.
        Print("Failed to copy binary: <%s> -> <%s>", szSource, szTarget);
        COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
        return;
    }
    // Executable by everyone, writable only by its owner.
    if (chmod(szTarget, 0755) != 0)
    {
        Print("Failed to make the copy executable...<%s>", szTarget);
        COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
        return;
    }

    std::string szScript = a_szName;
    if (!COsFile::Exists(szScript.c_str()))
        szScript += ".txt";
    if (!COsFile::Exists(szScript.c_str()))
    {
        Print("Script not found...");
        COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
        return;
    }
    // A regular file of a script's size, read whole.
    char *szScriptText = nullptr;
    uint64_t u64ScriptSize = 0;
    if (COsFile::ReadFile(szScript.c_str(), &szScriptText, false, 0, &u64ScriptSize, 0, DRAVO_SCRIPTMAX) != OS_STS_OK)
    {
        Print("Failed to open script...");
        COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
        return;
    }
    COsResource *posresource = DravoNew<COsResource>("COsResource");
    if (!posresource || (posresource->Update(szTarget, DRAVO_SCRIPTRESOURCE, DRAVO_SCRIPTTYPE, u64ScriptSize,
                                             szScriptText, false, nullptr) != OS_STS_OK))
    {
        Print("Update failed...");
        COsFile::Delete(szTarget, OS_FILETYPE_FILE, 0, false);
    }
    DravoDelete(posresource);
    g_posmem->Free(szScriptText, __FILE__, __LINE__);
}

bool CDravo::DoUnpackage(DravoLine &a_dravoline)
{
    const char *szName = a_dravoline.aszCmd[1];
    if (!szName || !szName[0])
        return true;
    char szFolder[512];
    char szPackage[512];
    if (!DravoPath(szFolder, sizeof(szFolder), OS_CFGTAG_DESKTOPDIRECTORY, "dravo_unpackage") ||
        !DravoPath(szPackage, sizeof(szPackage), OS_CFGTAG_DESKTOPDIRECTORY, szName))
    {
        Print("Unable to unpackage <%s>: the path is too long...", szName);
        return true;
    }
    if (COsFile::Create(szFolder, nullptr) != OS_STS_OK)
    {
        Print("Unable to create folder...<%s>", szFolder);
        return true;
    }
    EOSSTS eossts = COsFile::Unpackage(szFolder, szPackage, true, nullptr, true);
    if (eossts == OS_STS_FILE_NOT_FOUND)
        Print("Unable to unpackage <%s>: file not found...", szPackage);
    else if (eossts != OS_STS_OK)
        Print("Unable to unpackage <%s>: not a package this build can read...", szPackage);
    return true;
}
