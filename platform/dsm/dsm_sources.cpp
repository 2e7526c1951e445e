// dsm_sources.cpp
//
// Finding, loading and unloading Data Sources. A Data Source is a shared
// library with the extension ".ds" exporting DS_Entry. The DSM looks in
//   - the folders named by TWAINDSM_SOURCES (colon-separated) when it is set
//     and not empty, otherwise
//   - "/usr/local/lib/twain" and the folder "twain" beside the DSM library,
// taking the ".ds" files of each folder and of its direct subfolders. Each
// one is loaded, asked for its identity with
// DS_Entry(NULL, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), and unloaded.

#include "dsm_internal.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace
{
const char* const s_szStandardFolder = "/usr/local/lib/twain";

// Loading and unloading of Data Sources happen one at a time: a library
// unloaded by one thread and loaded again by another then runs its static
// constructors strictly after the first copy is gone, in an order every
// thread agrees on. Recursive, in case a library's constructor comes back.
std::recursive_mutex s_mtxLoader;

// Terminates a text field inside its last byte.
template <size_t N>
void Terminate(char (&a_sz)[N])
{
    a_sz[N - 1] = '\0';
}

bool EndsWithDs(const std::string& a_szName)
{
    return a_szName.size() > 3 && a_szName.compare(a_szName.size() - 3, 3, ".ds") == 0;
}

bool IsDirectory(const std::string& a_szPath)
{
    struct stat st;
    return stat(a_szPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& a_szPath)
{
    struct stat st;
    return stat(a_szPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& a_szFolder)
{
    std::vector<std::string> vszNames;
    DIR* pdir = opendir(a_szFolder.c_str());
    if (!pdir)
    {
        return vszNames;
    }
    while (struct dirent* pdirent = readdir(pdir))
    {
        std::string szName = pdirent->d_name;
        if (szName != "." && szName != "..")
        {
            vszNames.push_back(szName);
        }
    }
    closedir(pdir);
    std::sort(vszNames.begin(), vszNames.end());
    return vszNames;
}

// The ".ds" files of a folder, then those of its direct subfolders.
void CollectFolder(const std::string& a_szFolder, std::vector<std::string>& a_vszFiles)
{
    std::vector<std::string> vszSubfolders;
    for (const std::string& szName : ListFolder(a_szFolder))
    {
        std::string szPath = a_szFolder + "/" + szName;
        if (IsDirectory(szPath))
        {
            vszSubfolders.push_back(szPath);
        }
        else if (EndsWithDs(szName) && IsRegularFile(szPath))
        {
            a_vszFiles.push_back(szPath);
        }
    }
    for (const std::string& szSubfolder : vszSubfolders)
    {
        for (const std::string& szName : ListFolder(szSubfolder))
        {
            std::string szPath = szSubfolder + "/" + szName;
            if (EndsWithDs(szName) && IsRegularFile(szPath))
            {
                a_vszFiles.push_back(szPath);
            }
        }
    }
}

// The folder of the DSM library itself plus "/twain", empty when unknown.
std::string FolderBesideDsm()
{
    Dl_info dlinfo;
    if (dladdr(reinterpret_cast<void*>(&DsmScanSources), &dlinfo) == 0 || !dlinfo.dli_fname)
    {
        return std::string();
    }
    std::string szPath = dlinfo.dli_fname;
    size_t uSlash = szPath.rfind('/');
    if (uSlash == std::string::npos)
    {
        return std::string("twain");
    }
    return szPath.substr(0, uSlash) + "/twain";
}

std::vector<std::string> SourceFolders()
{
    std::vector<std::string> vszFolders;
    const char* szEnv = getenv("TWAINDSM_SOURCES");
    if (szEnv && szEnv[0])
    {
        std::string szList = szEnv;
        size_t uStart = 0;
        while (uStart <= szList.size())
        {
            size_t uColon = szList.find(':', uStart);
            if (uColon == std::string::npos)
            {
                uColon = szList.size();
            }
            std::string szFolder = szList.substr(uStart, uColon - uStart);
            if (!szFolder.empty())
            {
                vszFolders.push_back(szFolder);
            }
            uStart = uColon + 1;
        }
        return vszFolders;
    }
    vszFolders.push_back(s_szStandardFolder);
    std::string szBeside = FolderBesideDsm();
    if (!szBeside.empty())
    {
        vszFolders.push_back(szBeside);
    }
    return vszFolders;
}

// The real path of a file, or the path itself when it cannot be resolved.
std::string RealPath(const std::string& a_szPath)
{
    char szReal[PATH_MAX];
    if (realpath(a_szPath.c_str(), szReal))
    {
        return std::string(szReal);
    }
    return a_szPath;
}
} // namespace

size_t DsmStr32Len(const char* a_sz)
{
    return strnlen(a_sz, sizeof(TW_STR32));
}

void DsmCopyIdentity(TW_IDENTITY* a_ptwDst, const TW_IDENTITY* a_ptwSrc)
{
    if (a_ptwDst == a_ptwSrc)
    {
        // Same structure: only terminate its texts.
    }
    else
    {
        memmove(a_ptwDst, a_ptwSrc, sizeof(TW_IDENTITY));
    }
    Terminate(a_ptwDst->Version.Info);
    Terminate(a_ptwDst->Manufacturer);
    Terminate(a_ptwDst->ProductFamily);
    Terminate(a_ptwDst->ProductName);
}

std::shared_ptr<CDsmLibrary> CDsmLibrary::Load(const std::string& a_szPath, std::string& a_szError)
{
    std::shared_ptr<CDsmLibrary> plibrary(new CDsmLibrary());
    plibrary->m_szPath = a_szPath;
    std::lock_guard<std::recursive_mutex> lock(s_mtxLoader);
    plibrary->m_pvHandle = dlopen(a_szPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plibrary->m_pvHandle)
    {
        const char* szError = dlerror();
        a_szError = szError ? szError : "dlopen failed";
        return nullptr;
    }
    void* pvEntry = dlsym(plibrary->m_pvHandle, "DS_Entry");
    if (!pvEntry)
    {
        a_szError = "no DS_Entry in " + a_szPath;
        return nullptr;   // the destructor unloads it
    }
    plibrary->m_pfnDsEntry = reinterpret_cast<DSENTRYPROC>(pvEntry);
    return plibrary;
}

CDsmLibrary::~CDsmLibrary()
{
    if (m_pvHandle && !m_blKeepLoaded)
    {
        std::lock_guard<std::recursive_mutex> lock(s_mtxLoader);
        dlclose(m_pvHandle);
    }
}

std::vector<DsmSourceFile> DsmScanSources()
{
    std::vector<DsmSourceFile> vdsmsourcefile;
    std::set<std::string> setszSeen;
    for (const std::string& szFolder : SourceFolders())
    {
        std::vector<std::string> vszFiles;
        CollectFolder(szFolder, vszFiles);
        for (const std::string& szFile : vszFiles)
        {
            std::string szReal = RealPath(szFile);
            if (!setszSeen.insert(szReal).second)
            {
                continue;   // the same library reached twice
            }
            std::string szError;
            std::shared_ptr<CDsmLibrary> plibrary = CDsmLibrary::Load(szFile, szError);
            if (!plibrary)
            {
                CDsmLog::Line("skipped %s: %s", szFile.c_str(), szError.c_str());
                continue;
            }
            TW_IDENTITY twidentity;
            memset(&twidentity, 0, sizeof(twidentity));
            TW_UINT16 twrc = plibrary->Entry()(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &twidentity);
            if (twrc != TWRC_SUCCESS)
            {
                CDsmLog::Line("skipped %s: DAT_IDENTITY/MSG_GET answered %u", szFile.c_str(),
                              static_cast<unsigned int>(twrc));
                continue;
            }
            DsmSourceFile dsmsourcefile;
            dsmsourcefile.m_szPath = szFile;
            DsmCopyIdentity(&dsmsourcefile.m_twidentity, &twidentity);
            dsmsourcefile.m_twidentity.Id = 0;
            CDsmLog::Line("found %s: \"%s\" protocol %u.%u groups 0x%lx", szFile.c_str(),
                          dsmsourcefile.m_twidentity.ProductName,
                          static_cast<unsigned int>(dsmsourcefile.m_twidentity.ProtocolMajor),
                          static_cast<unsigned int>(dsmsourcefile.m_twidentity.ProtocolMinor),
                          static_cast<unsigned long>(dsmsourcefile.m_twidentity.SupportedGroups));
            vdsmsourcefile.push_back(dsmsourcefile);
        }
    }
    return vdsmsourcefile;
}
