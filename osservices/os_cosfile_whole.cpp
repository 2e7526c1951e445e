// os_cosfile_whole.cpp
// Files read or written whole: the bounded reader of regular files, and the
// writer that makes a new file beside its target and renames it into place
// once it is complete, so that a failure or a kill never leaves a part of a
// file under the target's name nor loses the file it was to replace.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "osservices.h"
#include "os_private.h"
#include "os_cosfile_impl.h"

EOSSTS OsFileStatusFromErrno(int a_iErrno)
{
    switch (a_iErrno)
    {
        case ENOENT:
        case ENOTDIR:
            return OS_STS_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return OS_STS_ACCESS_DENIED;
        case EBUSY:
        case ETXTBSY:
            return OS_STS_IN_USE;
        case EEXIST:
            return OS_STS_ALREADY_EXISTS;
        case EIO:
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return OS_STS_IO_ERROR;
        default:
            return OS_STS_FAIL;
    }
}

// ---------------------------------------------------------------------------
// Writing whole.
// ---------------------------------------------------------------------------

int OsFileTempOpen(const char* a_szPath, int a_iMode, std::string& a_szTarget, std::string& a_szTemp, EOSSTS* a_peossts)
{
    static std::atomic<unsigned> s_uSerial(0);
    a_szTarget = a_szPath ? a_szPath : "";
    a_szTemp.clear();
    if (a_szTarget.empty())
    {
        *a_peossts = OS_STS_BAD_ARGUMENT;
        return -1;
    }
    // The file to replace: a regular file or nothing; through a link, the
    // file it names (the link stays).
    struct stat statTarget;
    bool blExists = (stat(a_szPath, &statTarget) == 0);
    if (blExists && S_ISDIR(statTarget.st_mode))
    {
        OSLOG_ERROR("file>>> OpenTemp: <%s> is a folder", a_szPath);
        *a_peossts = OS_STS_FAIL;
        return -1;
    }
    if (blExists && !S_ISREG(statTarget.st_mode))
    {
        // A device or FIFO (/dev/null) is written to as it is: nothing is
        // replaced.  A FIFO without a reader is refused, not waited for.
        int iFd = open(a_szPath, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if ((iFd < 0) || (fcntl(iFd, F_SETFL, fcntl(iFd, F_GETFL) & ~O_NONBLOCK) != 0))
        {
            int iErrno = errno;
            if (iFd >= 0)
            {
                close(iFd);
            }
            OSLOG_ERROR("file>>> OpenTemp failed...%d <%s>", iErrno, a_szPath);
            *a_peossts = OsFileStatusFromErrno(iErrno);
            errno = iErrno;
            return -1;
        }
        *a_peossts = OS_STS_OK;
        return iFd;
    }
    struct stat statLink;
    if (blExists && (lstat(a_szPath, &statLink) == 0) && S_ISLNK(statLink.st_mode))
    {
        char* szReal = realpath(a_szPath, nullptr);
        if (szReal)
        {
            a_szTarget = szReal;
            free(szReal);
        }
    }
    int iFd = -1;
    int iErrno = EEXIST;
    for (int ii = 0; (ii < 64) && (iFd < 0) && (iErrno == EEXIST); ii++)
    {
        char szSuffix[48];
        snprintf(szSuffix, sizeof(szSuffix), ".tmp-%d-%u", static_cast<int>(getpid()), s_uSerial++);
        a_szTemp = a_szTarget + szSuffix;
        iFd = open(a_szTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        iErrno = (iFd < 0) ? errno : 0;
    }
    if (iFd < 0)
    {
        OSLOG_ERROR("file>>> OpenTemp failed...%d <%s>", iErrno, a_szTemp.c_str());
        a_szTemp.clear();
        *a_peossts = OsFileStatusFromErrno(iErrno);
        errno = iErrno;
        return -1;
    }
    int iMode = (a_iMode >= 0) ? a_iMode : (blExists ? static_cast<int>(statTarget.st_mode) : -1);
    if ((iMode >= 0) && (fchmod(iFd, static_cast<mode_t>(iMode) & 07777) != 0))
    {
        OSLOG_ERROR("file>>> OpenTemp cannot set the mode...%d <%s>", errno, a_szTemp.c_str());
    }
    *a_peossts = OS_STS_OK;
    return iFd;
}

EOSSTS OsFileTempCommit(int a_iFd, const std::string& a_szTemp, const std::string& a_szTarget, int a_iErrno)
{
    int iErrno = a_iErrno;
    // A file that replaces another reaches the disk before the rename: a
    // crash then leaves the earlier file or the new one, never an empty one.
    // (Without a new file, a device was written to directly.)
    struct stat statTarget;
    if ((iErrno == 0) && !a_szTemp.empty() && (stat(a_szTarget.c_str(), &statTarget) == 0) && (fsync(a_iFd) != 0))
    {
        iErrno = errno;
    }
    if ((close(a_iFd) != 0) && (iErrno == 0))
    {
        iErrno = errno;
    }
    if ((iErrno == 0) && !a_szTemp.empty() && (rename(a_szTemp.c_str(), a_szTarget.c_str()) != 0))
    {
        iErrno = errno;
    }
    if (iErrno != 0)
    {
        if (!a_szTemp.empty())
        {
            unlink(a_szTemp.c_str());
        }
        OSLOG_ERROR("file>>> cannot write...%d <%s>", iErrno, a_szTarget.c_str());
        errno = iErrno;
        return OsFileStatusFromErrno(iErrno);
    }
    return OS_STS_OK;
}

EOSSTS COsFile::OpenTemp(const char* a_szPath, int a_iMode)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szPath || !a_szPath[0])
    {
        OSLOG_ASSERT("file>>> OpenTemp bad path...%p", static_cast<const void*>(a_szPath));
        return OS_STS_BAD_ARGUMENT;
    }
    if (m_posfileimpl->m_iFd >= 0)
    {
        OSLOG_ERROR("file>>> OpenTemp: this object already holds an open file <%s>", a_szPath);
        return OS_STS_IN_USE;
    }
    EOSSTS eossts = OS_STS_FAIL;
    int iFd = OsFileTempOpen(a_szPath, a_iMode, m_posfileimpl->m_szTarget, m_posfileimpl->m_szTemp, &eossts);
    if (iFd < 0)
    {
        m_posfileimpl->m_szTarget.clear();
        return eossts;
    }
    m_posfileimpl->m_iFd = iFd;
    m_posfileimpl->m_iWriteErrno = 0;
    return OS_STS_OK;
}

EOSSTS COsFile::Commit(const char* a_szPath)
{
    if (!m_posfileimpl)
    {
        OSLOG_ASSERT("m_posfileimpl is null...");
        return OS_STS_FAIL;
    }
    if ((m_posfileimpl->m_iFd < 0) || m_posfileimpl->m_szTarget.empty())
    {
        OSLOG_ERROR("file>>> Commit: no file from OpenTemp is open");
        return OS_STS_FAIL;
    }
    // Another name for the new file (a device was written to directly).
    if (a_szPath && a_szPath[0] && !m_posfileimpl->m_szTemp.empty())
    {
        m_posfileimpl->m_szTarget = a_szPath;
    }
    EOSSTS eossts = OsFileTempCommit(m_posfileimpl->m_iFd, m_posfileimpl->m_szTemp, m_posfileimpl->m_szTarget,
                                     m_posfileimpl->m_iWriteErrno);
    m_posfileimpl->m_iFd = -1;
    m_posfileimpl->m_szTemp.clear();
    m_posfileimpl->m_szTarget.clear();
    return eossts;
}

EOSSTS COsFile::WriteWhole(const char* a_szPath, const void* a_pvData, uint64_t a_u64Size, int a_iMode)
{
    if (!a_pvData && a_u64Size)
    {
        return OS_STS_BAD_ARGUMENT;
    }
    COsFile osfile;
    EOSSTS eossts = osfile.OpenTemp(a_szPath, a_iMode);
    if (eossts != OS_STS_OK)
    {
        return eossts;
    }
    uint64_t u64Written = 0;
    osfile.Write(a_pvData, a_u64Size, &u64Written);
    return osfile.Commit();
}

EOSSTS COsFile::Copy(const char* a_szSource, const char* a_szTarget)
{
    if (!a_szSource || !a_szSource[0] || !a_szTarget || !a_szTarget[0])
    {
        OSLOG_ASSERT("file>>> Copy bad arguments...%p %p", static_cast<const void*>(a_szSource), static_cast<const void*>(a_szTarget));
        return OS_STS_BAD_ARGUMENT;
    }
    int iSource = open(a_szSource, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (iSource < 0)
    {
        int iErrno = errno;
        OSLOG_ERROR("file>>> Copy cannot open...%d <%s>", iErrno, a_szSource);
        return OsFileStatusFromErrno(iErrno);
    }
    struct stat statSource;
    if ((fstat(iSource, &statSource) != 0) || !S_ISREG(statSource.st_mode))
    {
        close(iSource);
        OSLOG_ERROR("file>>> Copy: not a file <%s>", a_szSource);
        return OS_STS_FAIL;
    }
    struct stat statTarget;
    if ((stat(a_szTarget, &statTarget) == 0) && (statTarget.st_dev == statSource.st_dev) && (statTarget.st_ino == statSource.st_ino))
    {
        close(iSource);
        OSLOG_ERROR("file>>> Copy onto itself refused <%s>", a_szTarget);
        return OS_STS_BAD_ARGUMENT;
    }
    COsFile osfile;
    EOSSTS eossts = osfile.OpenTemp(a_szTarget, static_cast<int>(statSource.st_mode & 07777));
    if (eossts != OS_STS_OK)
    {
        close(iSource);
        OSLOG_ERROR("file>>> Copy cannot create...<%s>", a_szTarget);
        return eossts;
    }
    std::vector<char> vectorBuffer(1 << 16);
    for (;;)
    {
        ssize_t iRead = read(iSource, vectorBuffer.data(), vectorBuffer.size());
        if ((iRead < 0) && (errno == EINTR))
        {
            continue;
        }
        if (iRead <= 0)
        {
            if (iRead < 0)
            {
                eossts = OS_STS_IO_ERROR;
            }
            break;
        }
        uint64_t u64Written = 0;
        if (osfile.Write(vectorBuffer.data(), static_cast<uint64_t>(iRead), &u64Written) != OS_STS_OK)
        {
            break;  // Commit reports it
        }
    }
    close(iSource);
    if (eossts != OS_STS_OK)
    {
        OSLOG_ERROR("file>>> Copy cannot read...<%s>", a_szSource);
        return eossts;      // the object's end removes the new file
    }
    return osfile.Commit();
}

// ---------------------------------------------------------------------------
// Reading whole.
// ---------------------------------------------------------------------------

EOSSTS COsFile::ReadFile(const char* a_szPath, char** a_pszBuffer, bool a_blLock, uint32_t a_u32LockTimeout,
                         uint64_t* a_pu64Size, int a_iFlag, uint64_t a_u64Max)
{
    (void)a_blLock;
    (void)a_u32LockTimeout;
    (void)a_iFlag;
    if (a_pszBuffer)
    {
        *a_pszBuffer = nullptr;
    }
    if (a_pu64Size)
    {
        *a_pu64Size = 0;
    }
    if (!a_szPath || !a_szPath[0] || !a_pszBuffer)
    {
        OSLOG_ASSERT("file>>> ReadFile bad arguments...%p %p", static_cast<const void*>(a_szPath), static_cast<void*>(a_pszBuffer));
        return OS_STS_BAD_ARGUMENT;
    }
    if (!g_posmem)
    {
        OSLOG_ERROR("file>>> ReadFile needs the memory service <%s>", a_szPath);
        return OS_STS_FAIL;
    }
    // Opened without waiting, so that a FIFO is refused rather than waited on.
    int iFd = open(a_szPath, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (iFd < 0)
    {
        int iErrno = errno;
        if (iErrno != ENOENT)
        {
            OSLOG_ERROR("file>>> ReadFile open failed...%d <%s>", iErrno, a_szPath);
        }
        return OsFileStatusFromErrno(iErrno);
    }
    struct stat statFile;
    if ((fstat(iFd, &statFile) != 0) || !S_ISREG(statFile.st_mode))
    {
        close(iFd);
        OSLOG_ERROR("file>>> ReadFile: not a regular file <%s>", a_szPath);
        return OS_STS_FAIL;
    }
    if (static_cast<uint64_t>(statFile.st_size) > a_u64Max)
    {
        close(iFd);
        OSLOG_ERROR("file>>> ReadFile: larger than %llu bytes <%s>", static_cast<unsigned long long>(a_u64Max), a_szPath);
        return OS_STS_DESTINATION_TOO_SMALL;
    }
    // Files that report no size (/proc) are read until their end, within
    // the limit: one byte more than it tells a file that is too large.
    uint64_t u64Capacity = std::min<uint64_t>(std::max<uint64_t>(static_cast<uint64_t>(statFile.st_size) + 1, 4096), a_u64Max + 1);
    char* szBuffer = static_cast<char*>(g_posmem->Alloc(u64Capacity + 1, __FILE__, __LINE__, OS_LOGFLAG_MEM, false, a_szPath));
    uint64_t u64Size = 0;
    EOSSTS eossts = szBuffer ? OS_STS_OK : OS_STS_FAIL;
    while (eossts == OS_STS_OK)
    {
        if (u64Size == u64Capacity)
        {
            if (u64Capacity > a_u64Max)
            {
                OSLOG_ERROR("file>>> ReadFile: larger than %llu bytes <%s>", static_cast<unsigned long long>(a_u64Max), a_szPath);
                eossts = OS_STS_DESTINATION_TOO_SMALL;
                break;
            }
            uint64_t u64Grow = std::min<uint64_t>(u64Capacity * 2, a_u64Max + 1);
            char* szGrown = static_cast<char*>(g_posmem->Alloc(u64Grow + 1, __FILE__, __LINE__, OS_LOGFLAG_MEM, false, a_szPath));
            if (!szGrown)
            {
                eossts = OS_STS_FAIL;
                break;
            }
            memcpy(szGrown, szBuffer, static_cast<size_t>(u64Size));
            g_posmem->Free(szBuffer, __FILE__, __LINE__);
            szBuffer = szGrown;
            u64Capacity = u64Grow;
        }
        ssize_t iRead = read(iFd, szBuffer + u64Size, static_cast<size_t>(std::min<uint64_t>(u64Capacity - u64Size, 1ULL << 30)));
        if ((iRead < 0) && (errno == EINTR))
        {
            continue;
        }
        if (iRead < 0)
        {
            OSLOG_ERROR("file>>> ReadFile read failed...%d <%s>", errno, a_szPath);
            eossts = OS_STS_IO_ERROR;
            break;
        }
        if (iRead == 0)
        {
            break;
        }
        u64Size += static_cast<uint64_t>(iRead);
    }
    close(iFd);
    if (eossts != OS_STS_OK)
    {
        if (szBuffer)
        {
            g_posmem->Free(szBuffer, __FILE__, __LINE__);
        }
        return eossts;
    }
    szBuffer[u64Size] = '\0';
    *a_pszBuffer = szBuffer;
    if (a_pu64Size)
    {
        *a_pu64Size = u64Size;
    }
    return OS_STS_OK;
}
