// os_cosfile.cpp
// Files, paths, directory searches and shared libraries.  Console line
// editing lives in os_cosfile_editline.cpp, files read or written whole in
// os_cosfile_whole.cpp.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "osservices.h"
#include "os_private.h"
#include "os_cosfile_impl.h"

#define OSFILE_PRINTFSIZE   65536

// ---------------------------------------------------------------------------
// Helpers.
// ---------------------------------------------------------------------------

int OsMakeDirectories(const char* a_szPath)
{
    if (!a_szPath || !a_szPath[0])
    {
        return -1;
    }
    std::string szPath = a_szPath;
    struct stat statEntry;
    if (stat(szPath.c_str(), &statEntry) == 0)
    {
        return S_ISDIR(statEntry.st_mode) ? 0 : -1;
    }
    for (size_t u64Slash = szPath.find('/', 1); u64Slash != std::string::npos; u64Slash = szPath.find('/', u64Slash + 1))
    {
        std::string szPart = szPath.substr(0, u64Slash);
        if ((mkdir(szPart.c_str(), 0777) != 0) && (errno != EEXIST))
        {
            return -1;
        }
    }
    if ((mkdir(szPath.c_str(), 0777) != 0) && (errno != EEXIST))
    {
        return -1;
    }
    return ((stat(szPath.c_str(), &statEntry) == 0) && S_ISDIR(statEntry.st_mode)) ? 0 : -1;
}

// '*' any run of characters, '?' one character; everything else literal.
static bool OsFileWildcardMatch(const char* a_szPattern, const char* a_szName)
{
    const char* szStar = nullptr;
    const char* szRetry = nullptr;
    while (*a_szName)
    {
        if ((*a_szPattern == '?') || ((*a_szPattern != '*') && (*a_szPattern == *a_szName)))
        {
            a_szPattern++;
            a_szName++;
        }
        else if (*a_szPattern == '*')
        {
            szStar = a_szPattern++;
            szRetry = a_szName;
        }
        else if (szStar)
        {
            a_szPattern = szStar + 1;
            a_szName = ++szRetry;
        }
        else
        {
            return false;
        }
    }
    while (*a_szPattern == '*')
    {
        a_szPattern++;
    }
    return *a_szPattern == '\0';
}

static uint32_t OsFileTypeOf(const struct stat& a_stat)
{
    if (S_ISDIR(a_stat.st_mode))
    {
        return OS_FILETYPE_DIRECTORY;
    }
    if (S_ISREG(a_stat.st_mode))
    {
        return OS_FILETYPE_FILE;
    }
    return OS_FILETYPE_OTHER;
}

// ---------------------------------------------------------------------------
// COsFile: the open file.
// ---------------------------------------------------------------------------

COsFile::COsFile() : m_posfileimpl(nullptr)
{
    try
    {
        m_posfileimpl = new COsFileImpl;
    }
    catch (...)
    {
        m_posfileimpl = nullptr;
    }
}

COsFile::~COsFile()
{
    if (!m_posfileimpl)
    {
        return;
    }
    Close();
    SharedLibraryFree();
    EditLineCleanup();
    delete m_posfileimpl;
    m_posfileimpl = nullptr;
}

EOSSTS COsFile::Open(const char* a_szPath, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess, EOSFILESHARE a_eosfileshare)
{
    (void)a_eosfileshare;
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szPath || !a_szPath[0])
    {
        OSLOG_ASSERT("file>>> Open bad path...%p", static_cast<const void*>(a_szPath));
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_iFd >= 0)
    {
        OSLOG_ERROR("file>>> Open: this object already holds an open file <%s>", a_szPath);
        return OS_STS_IN_USE;
    }
    int iFlags = O_CLOEXEC;
    switch (a_eosfileaccess)
    {
        case OS_FILEACCESS_READ:
            iFlags |= O_RDONLY;
            break;
        case OS_FILEACCESS_WRITE:
            iFlags |= O_WRONLY;
            break;
        case OS_FILEACCESS_READWRITE:
            iFlags |= O_RDWR;
            break;
        default:
            OSLOG_ASSERT("file>>> Open bad access %d <%s>", static_cast<int>(a_eosfileaccess), a_szPath);
            return OS_STS_BAD_ARGUMENT;
    }
    switch (a_eosfileopen)
    {
        case OS_FILEOPEN_CREATE:
            iFlags |= O_CREAT | O_TRUNC;
            if (a_eosfileaccess == OS_FILEACCESS_READ)
            {
                iFlags = (iFlags & ~O_ACCMODE) | O_RDWR;   // truncation needs write access
            }
            break;
        case OS_FILEOPEN_EXISTING:
            break;
        case OS_FILEOPEN_ALWAYS:
            iFlags |= O_CREAT;
            break;
        default:
            OSLOG_ASSERT("file>>> Open bad open mode %d <%s>", static_cast<int>(a_eosfileopen), a_szPath);
            return OS_STS_BAD_ARGUMENT;
    }
    // The open never waits (a FIFO without its other end would hold the
    // program for ever: a read then finds the end, a write fails); the file
    // is used blocking afterwards.
    int iFd = open(a_szPath, iFlags | O_NONBLOCK, 0666);
    if (iFd < 0)
    {
        int iErrno = errno;
        if (iErrno != ENOENT)
        {
            OSLOG_ERROR("file>>> Open failed...%d <%s>", iErrno, a_szPath);
        }
        return OsFileStatusFromErrno(iErrno);
    }
    fcntl(iFd, F_SETFL, fcntl(iFd, F_GETFL) & ~O_NONBLOCK);
    struct stat statFile;
    if ((fstat(iFd, &statFile) == 0) && S_ISDIR(statFile.st_mode))
    {
        close(iFd);
        OSLOG_ERROR("file>>> Open: <%s> is a folder", a_szPath);
        return OS_STS_FAIL;
    }
    m_posfileimpl->m_iFd = iFd;
    m_posfileimpl->m_iWriteErrno = 0;
    return OS_STS_OK;
}

EOSSTS COsFile::Close()
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posfileimpl->m_iFd >= 0)
    {
        close(m_posfileimpl->m_iFd);
        m_posfileimpl->m_iFd = -1;
    }
    if (!m_posfileimpl->m_szTemp.empty())
    {
        // A file from OpenTemp that was not committed: it goes.
        unlink(m_posfileimpl->m_szTemp.c_str());
    }
    m_posfileimpl->m_szTemp.clear();
    m_posfileimpl->m_szTarget.clear();
    return OS_STS_OK;
}

bool COsFile::IsOpen()
{
    return m_posfileimpl && (m_posfileimpl->m_iFd >= 0);
}

EOSSTS COsFile::Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read)
{
    if (a_pu64Read)
    {
        *a_pu64Read = 0;
    }
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_pvBuffer && a_u64Size)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_iFd < 0)
    {
        return OS_STS_FAIL;
    }
    uint8_t* pu8 = static_cast<uint8_t*>(a_pvBuffer);
    uint64_t u64Done = 0;
    while (u64Done < a_u64Size)
    {
        ssize_t iRead = read(m_posfileimpl->m_iFd, pu8 + u64Done, static_cast<size_t>(std::min<uint64_t>(a_u64Size - u64Done, 1ULL << 30)));
        if ((iRead < 0) && (errno == EINTR))
        {
            continue;
        }
        if (iRead < 0)
        {
            OSLOG_ERROR("file>>> Read failed...%d", errno);
            return OS_STS_IO_ERROR;
        }
        if (iRead == 0)
        {
            break;
        }
        u64Done += static_cast<uint64_t>(iRead);
    }
    if (a_pu64Read)
    {
        *a_pu64Read = u64Done;
    }
    return OS_STS_OK;
}

EOSSTS COsFile::Write(const void* a_pvData, uint64_t a_u64Size, uint64_t* a_pu64Written)
{
    if (a_pu64Written)
    {
        *a_pu64Written = 0;
    }
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_pvData && a_u64Size)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_iFd < 0)
    {
        return OS_STS_FAIL;
    }
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvData);
    uint64_t u64Done = 0;
    while (u64Done < a_u64Size)
    {
        ssize_t iWritten = write(m_posfileimpl->m_iFd, pu8 + u64Done, static_cast<size_t>(std::min<uint64_t>(a_u64Size - u64Done, 1ULL << 30)));
        if ((iWritten < 0) && (errno == EINTR))
        {
            continue;
        }
        if (iWritten <= 0)
        {
            if (a_pu64Written)
            {
                *a_pu64Written = u64Done;
            }
            int iErrno = (iWritten < 0) ? errno : ENOSPC;
            if (!m_posfileimpl->m_iWriteErrno)
            {
                // The first failure is logged (a full disk fails every write after it).
                m_posfileimpl->m_iWriteErrno = iErrno;
                OSLOG_ERROR("file>>> Write failed...%d", iErrno);
            }
            return OS_STS_IO_ERROR;
        }
        u64Done += static_cast<uint64_t>(iWritten);
    }
    if (a_pu64Written)
    {
        *a_pu64Written = u64Done;
    }
    return OS_STS_OK;
}

EOSSTS COsFile::Size(uint64_t* a_pu64Size)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_pu64Size)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    *a_pu64Size = 0;
    struct stat statFile;
    if ((m_posfileimpl->m_iFd < 0) || (fstat(m_posfileimpl->m_iFd, &statFile) != 0))
    {
        return OS_STS_FAIL;
    }
    *a_pu64Size = static_cast<uint64_t>(statFile.st_size);
    return OS_STS_OK;
}

EOSSTS COsFile::SetFilePointer(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posfileimpl->m_iFd < 0)
    {
        return OS_STS_FAIL;
    }
    int iWhence = SEEK_SET;
    if (a_eosfilepointer == OS_FILEPOINTER_END)
    {
        iWhence = SEEK_END;
    }
    else if (a_eosfilepointer == OS_FILEPOINTER_CURRENT)
    {
        iWhence = SEEK_CUR;
    }
    if (lseek(m_posfileimpl->m_iFd, static_cast<off_t>(a_i64Offset), iWhence) < 0)
    {
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

int COsFile::Printf(const char* a_szFormat, ...)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return -1;
    }
    if (!a_szFormat || (m_posfileimpl->m_iFd < 0))
    {
        return -1;
    }
    if (m_posfileimpl->m_vectorPrintf.size() < OSFILE_PRINTFSIZE)
    {
        try
        {
            m_posfileimpl->m_vectorPrintf.resize(OSFILE_PRINTFSIZE);
        }
        catch (...)
        {
            return -1;
        }
    }
    va_list valist;
    va_start(valist, a_szFormat);
    int iLen = vsnprintf(m_posfileimpl->m_vectorPrintf.data(), OSFILE_PRINTFSIZE, a_szFormat, valist);
    va_end(valist);
    if ((iLen < 0) || (iLen >= OSFILE_PRINTFSIZE))
    {
        OSLOG_ASSERT("file>>> Printf failed...<%s>", a_szFormat);
        if (!m_posfileimpl->m_iWriteErrno)
        {
            m_posfileimpl->m_iWriteErrno = EOVERFLOW;   // the file lacks this text
        }
        return -1;
    }
    uint64_t u64Written = 0;
    if (Write(m_posfileimpl->m_vectorPrintf.data(), static_cast<uint64_t>(iLen), &u64Written) != OS_STS_OK)
    {
        return -1;
    }
    return iLen;
}

// ---------------------------------------------------------------------------
// Entries and folders.
// ---------------------------------------------------------------------------

EOSSTS COsFile::Delete(const char* a_szPath, EOSFILETYPE a_eosfiletype, EOSBOOL a_blReserved, bool a_blReserved2)
{
    (void)a_blReserved;
    (void)a_blReserved2;
    if (!a_szPath || !a_szPath[0])
    {
        OSLOG_ASSERT("file>>> Delete bad path...%p", static_cast<const void*>(a_szPath));
        return OS_STS_BAD_ARGUMENT;
    }
    struct stat statEntry;
    if (lstat(a_szPath, &statEntry) != 0)
    {
        return OS_STS_FILE_NOT_FOUND;
    }
    int iResult = -1;
    if ((a_eosfiletype == OS_FILETYPE_FILE) && (S_ISREG(statEntry.st_mode) || S_ISLNK(statEntry.st_mode)))
    {
        iResult = unlink(a_szPath);
    }
    else if ((a_eosfiletype == OS_FILETYPE_DIRECTORY) && S_ISDIR(statEntry.st_mode))
    {
        iResult = rmdir(a_szPath);
    }
    else
    {
        OSLOG_ERROR("file>>> Delete: <%s> is not of type %d", a_szPath, static_cast<int>(a_eosfiletype));
        return OS_STS_FAIL;
    }
    if (iResult != 0)
    {
        OSLOG_ERROR("file>>> Delete failed...%d <%s>", errno, a_szPath);
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS COsFile::Create(const char* a_szPath, void* a_pvReserved)
{
    (void)a_pvReserved;
    if (!a_szPath || !a_szPath[0])
    {
        OSLOG_ASSERT("file>>> Create bad path...%p", static_cast<const void*>(a_szPath));
        return OS_STS_BAD_ARGUMENT;
    }
    struct stat statEntry;
    if ((stat(a_szPath, &statEntry) == 0) && !S_ISDIR(statEntry.st_mode))
    {
        OSLOG_ERROR("file>>> Create: a file of that name exists <%s>", a_szPath);
        return OS_STS_ALREADY_EXISTS;
    }
    if (OsMakeDirectories(a_szPath) != 0)
    {
        OSLOG_ERROR("file>>> Create failed...%d <%s>", errno, a_szPath);
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

bool COsFile::Exists(const char* a_szPath)
{
    struct stat statEntry;
    return a_szPath && a_szPath[0] && (stat(a_szPath, &statEntry) == 0);
}

EOSSTS COsFile::GetCurrentDir(char* a_szBuffer, size_t a_u64Size)
{
    if (!a_szBuffer || (a_u64Size == 0))
    {
        return OS_STS_BAD_ARGUMENT;
    }
    if (!getcwd(a_szBuffer, a_u64Size))
    {
        a_szBuffer[0] = '\0';
        return (errno == ERANGE) ? OS_STS_DESTINATION_TOO_SMALL : OS_STS_FAIL;
    }
    return OS_STS_OK;
}

EOSSTS COsFile::SetCurrentDir(const char* a_szDirectory)
{
    if (!a_szDirectory)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    if (chdir(a_szDirectory) != 0)
    {
        OSLOG_ERROR("file>>> SetCurrentDir failed...%d <%s>", errno, a_szDirectory);
        return OS_STS_FAIL;
    }
    return OS_STS_OK;
}

// ---------------------------------------------------------------------------
// Paths.
// ---------------------------------------------------------------------------

EOSSTS COsFile::PathNormalize(char* a_szPath, char a_cSeparator)
{
    if (!a_szPath || (a_cSeparator == '\0'))
    {
        return OS_STS_BAD_ARGUMENT;
    }
    char* szWrite = a_szPath;
    for (const char* szRead = a_szPath; *szRead; szRead++)
    {
        if ((*szRead == '/') || (*szRead == '\\'))
        {
            if ((szWrite > a_szPath) && (szWrite[-1] == a_cSeparator))
            {
                continue;   // collapse the run
            }
            *szWrite++ = a_cSeparator;
        }
        else
        {
            *szWrite++ = *szRead;
        }
    }
    *szWrite = '\0';
    return OS_STS_OK;
}

EOSSTS COsFile::PathSet(char* a_szPath, size_t a_u64Size, const char* a_szValue)
{
    if (!a_szPath || !a_szValue || (a_u64Size == 0))
    {
        OSLOG_ASSERT("file>>> PathSet bad arguments...%p %u %p", static_cast<void*>(a_szPath), static_cast<unsigned>(a_u64Size),
                     static_cast<const void*>(a_szValue));
        return OS_STS_BAD_ARGUMENT;
    }
    size_t u64Len = strnlen(a_szValue, a_u64Size);
    if (u64Len >= a_u64Size)
    {
        OSLOG_ASSERT("buffer overflow...%u <%s>", static_cast<unsigned>(a_u64Size), a_szValue);
        a_szPath[0] = '\0';
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    memmove(a_szPath, a_szValue, u64Len + 1);
    return PathNormalize(a_szPath, '/');
}

EOSSTS COsFile::PathAppend(char* a_szPath, size_t a_u64Size, const char* a_szPart)
{
    if (!a_szPath || !a_szPart || (a_u64Size == 0))
    {
        OSLOG_ASSERT("file>>> PathAppend bad arguments...%p %u %p", static_cast<void*>(a_szPath), static_cast<unsigned>(a_u64Size),
                     static_cast<const void*>(a_szPart));
        return OS_STS_BAD_ARGUMENT;
    }
    size_t u64Len = strnlen(a_szPath, a_u64Size);
    if (u64Len >= a_u64Size)
    {
        OSLOG_ASSERT("buffer overflow...%u <%s>", static_cast<unsigned>(a_u64Size), a_szPart);
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    const char* szPart = a_szPart;
    if (isalpha(static_cast<unsigned char>(szPart[0])) && (szPart[1] == ':'))
    {
        szPart += 2;    // a drive letter means nothing here
    }
    std::string szResult(a_szPath, u64Len);
    if (!szResult.empty())
    {
        szResult += '/';
    }
    szResult += szPart;
    std::vector<char> vectorResult(szResult.begin(), szResult.end());
    vectorResult.push_back('\0');
    PathNormalize(vectorResult.data(), '/');
    size_t u64NewLen = strlen(vectorResult.data());
    if (u64NewLen >= a_u64Size)
    {
        OSLOG_ASSERT("buffer overflow...%u <%s>", static_cast<unsigned>(a_u64Size), a_szPart);
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    memcpy(a_szPath, vectorResult.data(), u64NewLen + 1);
    return OS_STS_OK;
}

// ---------------------------------------------------------------------------
// Searches.
// ---------------------------------------------------------------------------

class COsFileFind
{
public:
    std::string                 m_szFolder;     // absolute, without the trailing '/'
    std::vector<std::string>    m_vectorName;
    size_t                      m_u64Next = 0;
};

static EOSSTS OsFileFindFill(OsFileInfo* a_posfileinfo)
{
    COsFileFind* posfilefind = a_posfileinfo->posfilefind;
    while (posfilefind->m_u64Next < posfilefind->m_vectorName.size())
    {
        const std::string& szName = posfilefind->m_vectorName[posfilefind->m_u64Next++];
        std::string szPath = (posfilefind->m_szFolder == "/") ? ("/" + szName) : (posfilefind->m_szFolder + "/" + szName);
        if ((szName.size() >= sizeof(a_posfileinfo->szName)) || (szPath.size() >= sizeof(a_posfileinfo->szPath)))
        {
            continue;
        }
        struct stat statEntry;
        if (stat(szPath.c_str(), &statEntry) != 0)
        {
            if (lstat(szPath.c_str(), &statEntry) != 0)
            {
                continue;   // gone since the folder was read
            }
        }
        memcpy(a_posfileinfo->szName, szName.c_str(), szName.size() + 1);
        memcpy(a_posfileinfo->szPath, szPath.c_str(), szPath.size() + 1);
        a_posfileinfo->u32Type = OsFileTypeOf(statEntry);
        a_posfileinfo->u64Size = S_ISREG(statEntry.st_mode) ? static_cast<uint64_t>(statEntry.st_size) : 0;
        return OS_STS_OK;
    }
    return OS_STS_FILE_NOT_FOUND;
}

EOSSTS COsFile::FindFirst(const char* a_szPattern, OsFileInfo* a_posfileinfo)
{
    if (!a_posfileinfo)
    {
        OSLOG_ASSERT("file>>> FindFirst null record...");
        return OS_STS_BAD_ARGUMENT;
    }
    memset(a_posfileinfo, 0, sizeof(*a_posfileinfo));
    if (!a_szPattern || !a_szPattern[0])
    {
        return OS_STS_BAD_ARGUMENT;
    }
    std::string szPattern = a_szPattern;
    std::replace(szPattern.begin(), szPattern.end(), '\\', '/');
    size_t u64Slash = szPattern.rfind('/');
    std::string szFolder = (u64Slash == std::string::npos) ? std::string(".") : szPattern.substr(0, u64Slash);
    std::string szMask = (u64Slash == std::string::npos) ? szPattern : szPattern.substr(u64Slash + 1);
    if (szFolder.empty())
    {
        szFolder = "/";
    }
    if (szMask.empty())
    {
        return OS_STS_FILE_NOT_FOUND;
    }
    if (szFolder[0] != '/')
    {
        char szCwd[PATH_MAX];
        if (!getcwd(szCwd, sizeof(szCwd)))
        {
            return OS_STS_FAIL;
        }
        szFolder = (szFolder == ".") ? std::string(szCwd) : (std::string(szCwd) + "/" + szFolder);
    }
    while ((szFolder.size() > 1) && (szFolder.back() == '/'))
    {
        szFolder.pop_back();
    }
    COsFileFind* posfilefind = nullptr;
    try
    {
        posfilefind = new COsFileFind;
        posfilefind->m_szFolder = szFolder;
        if (szMask.find_first_of("*?") == std::string::npos)
        {
            struct stat statEntry;
            if (lstat((szFolder + "/" + szMask).c_str(), &statEntry) == 0)
            {
                posfilefind->m_vectorName.push_back(szMask);
            }
        }
        else
        {
            DIR* pdir = opendir(szFolder.c_str());
            if (pdir)
            {
                for (struct dirent* pdirent = readdir(pdir); pdirent; pdirent = readdir(pdir))
                {
                    if (OsFileWildcardMatch(szMask.c_str(), pdirent->d_name))
                    {
                        posfilefind->m_vectorName.push_back(pdirent->d_name);
                    }
                }
                closedir(pdir);
            }
            std::sort(posfilefind->m_vectorName.begin(), posfilefind->m_vectorName.end());
        }
    }
    catch (...)
    {
        delete posfilefind;
        return OS_STS_FAIL;
    }
    a_posfileinfo->posfilefind = posfilefind;
    EOSSTS eossts = OsFileFindFill(a_posfileinfo);
    if (eossts != OS_STS_OK)
    {
        delete posfilefind;
        a_posfileinfo->posfilefind = nullptr;
    }
    return eossts;
}

EOSSTS COsFile::FindNext(OsFileInfo* a_posfileinfo)
{
    if (!a_posfileinfo)
    {
        OSLOG_ASSERT("file>>> FindNext null record...");
        return OS_STS_BAD_ARGUMENT;
    }
    if (!a_posfileinfo->posfilefind)
    {
        return OS_STS_FILE_NOT_FOUND;
    }
    return OsFileFindFill(a_posfileinfo);
}

EOSSTS COsFile::FindClose(OsFileInfo* a_posfileinfo)
{
    if (!a_posfileinfo)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    delete a_posfileinfo->posfilefind;
    a_posfileinfo->posfilefind = nullptr;
    return OS_STS_OK;
}

// ---------------------------------------------------------------------------
// Shared libraries.
// ---------------------------------------------------------------------------

EOSSTS COsFile::SharedLibraryLoad(const char* a_szPath, int a_iOpenMode, const char* a_szName, int a_iFlags)
{
    (void)a_iOpenMode;
    (void)a_iFlags;
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szPath || !a_szPath[0])
    {
        OSLOG_ASSERT("file>>> SharedLibraryLoad bad path...%p", static_cast<const void*>(a_szPath));
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_pvLibrary)
    {
        OSLOG_ERROR("file>>> SharedLibraryLoad: a library is already loaded <%s>", a_szPath);
        return OS_STS_IN_USE;
    }
    void* pvLibrary = dlopen(a_szPath, RTLD_NOW | RTLD_LOCAL);
    if (!pvLibrary)
    {
        const char* szError = dlerror();
        OSLOG_ERROR("file>>> SharedLibraryLoad failed...%s <%s>", szError ? szError : "", a_szName ? a_szName : a_szPath);
        return OS_STS_FAIL;
    }
    m_posfileimpl->m_pvLibrary = pvLibrary;
    return OS_STS_OK;
}

void* COsFile::SharedLibraryGetProc(const char* a_szSymbol, void* a_pvContext, int a_iDecoration)
{
    (void)a_pvContext;
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return nullptr;
    }
    if (!a_szSymbol || !a_szSymbol[0] || !m_posfileimpl->m_pvLibrary)
    {
        return nullptr;
    }
    if (a_iDecoration != 0)
    {
        OSLOG_ERROR("file>>> SharedLibraryGetProc: no name decoration %d on this platform <%s>", a_iDecoration, a_szSymbol);
        return nullptr;
    }
    return dlsym(m_posfileimpl->m_pvLibrary, a_szSymbol);
}

EOSSTS COsFile::SharedLibraryFree()
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (m_posfileimpl->m_pvLibrary)
    {
        dlclose(m_posfileimpl->m_pvLibrary);
        m_posfileimpl->m_pvLibrary = nullptr;
    }
    return OS_STS_OK;
}
