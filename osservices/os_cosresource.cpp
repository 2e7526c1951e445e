// os_cosresource.cpp
// The resource archive appended to a file.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "osservices.h"
#include "os_private.h"

#define OSRES_SLOTS         64
#define OSRES_SLOTSIZE      56
#define OSRES_NAMESIZE      32
#define OSRES_FOOTERSIZE    (OSRES_SLOTS * OSRES_SLOTSIZE)
#define OSRES_MARKER        "@!@zav@!@"
#define OSRES_LOCALFILE     "/proc/self/exe"

// One slot of the footer, as it lies in the file (little-endian).
struct OsResourceSlot
{
    char        szName[OSRES_NAMESIZE];
    uint64_t    u64Offset;
    uint64_t    u64Size;
    uint64_t    u64Reserved;
};
static_assert(sizeof(OsResourceSlot) == OSRES_SLOTSIZE, "a footer slot is 56 bytes");

// What a valid archive holds.
struct OsResourceArchive
{
    bool            blPresent = false;      // the file ends in a footer
    uint64_t        u64Start = 0;           // where the original file ends
    OsResourceSlot  aslot[OSRES_SLOTS];
};

// Repeats a read or write (a_transfer(bytes done, bytes left), answering as
// read and write do) until a_u64Size bytes have passed, again after EINTR:
// false on an error or when nothing more passes.
template <typename TRANSFER>
static bool OsResourceTransferAll(uint64_t a_u64Size, TRANSFER a_transfer)
{
    uint64_t u64Done = 0;
    while (u64Done < a_u64Size)
    {
        ssize_t iDone = a_transfer(u64Done, static_cast<size_t>(a_u64Size - u64Done));
        if ((iDone < 0) && (errno == EINTR))
        {
            continue;
        }
        if (iDone <= 0)
        {
            return false;
        }
        u64Done += static_cast<uint64_t>(iDone);
    }
    return true;
}

static bool OsResourceReadAt(int a_iFd, void* a_pvBuffer, uint64_t a_u64Size, uint64_t a_u64Offset)
{
    uint8_t* pu8 = static_cast<uint8_t*>(a_pvBuffer);
    return OsResourceTransferAll(a_u64Size, [&](uint64_t a_u64Done, size_t a_u64Left) {
        return pread(a_iFd, pu8 + a_u64Done, a_u64Left, static_cast<off_t>(a_u64Offset + a_u64Done));
    });
}

static bool OsResourceWriteAll(int a_iFd, const void* a_pvData, uint64_t a_u64Size)
{
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvData);
    return OsResourceTransferAll(a_u64Size, [&](uint64_t a_u64Done, size_t a_u64Left) {
        return write(a_iFd, pu8 + a_u64Done, a_u64Left);
    });
}

// Read and check the footer: OS_STS_OK (an archive, or none: blPresent),
// OS_STS_FAIL for a damaged one or a read error.
static EOSSTS OsResourceReadArchive(int a_iFd, uint64_t a_u64FileSize, OsResourceArchive& a_archive, const char* a_szPath)
{
    a_archive.blPresent = false;
    a_archive.u64Start = a_u64FileSize;
    memset(a_archive.aslot, 0, sizeof(a_archive.aslot));
    if (a_u64FileSize < OSRES_FOOTERSIZE)
    {
        return OS_STS_OK;
    }
    uint64_t u64Footer = a_u64FileSize - OSRES_FOOTERSIZE;
    if (!OsResourceReadAt(a_iFd, a_archive.aslot, OSRES_FOOTERSIZE, u64Footer))
    {
        OSLOG_ERROR("res>>> cannot read the footer...%d <%s>", errno, a_szPath);
        return OS_STS_FAIL;
    }
    const OsResourceSlot& slotMarker = a_archive.aslot[OSRES_SLOTS - 1];
    if ((memcmp(slotMarker.szName, OSRES_MARKER, sizeof(OSRES_MARKER)) != 0))
    {
        memset(a_archive.aslot, 0, sizeof(a_archive.aslot));
        return OS_STS_OK;   // no archive
    }
    // The marker's offset is where the archive starts, its size the length
    // of the archive; both must describe this very file.
    if ((slotMarker.u64Offset > u64Footer) || (slotMarker.u64Size != a_u64FileSize - slotMarker.u64Offset))
    {
        OSLOG_ERROR("res>>> damaged archive marker...%llu %llu <%s>", static_cast<unsigned long long>(slotMarker.u64Offset),
                    static_cast<unsigned long long>(slotMarker.u64Size), a_szPath);
        return OS_STS_FAIL;
    }
    for (int ii = 0; ii < OSRES_SLOTS - 1; ii++)
    {
        OsResourceSlot& slot = a_archive.aslot[ii];
        if (slot.szName[0] == '\0')
        {
            continue;
        }
        if ((memchr(slot.szName, '\0', OSRES_NAMESIZE) == nullptr) || (slot.u64Offset < slotMarker.u64Offset) ||
            (slot.u64Offset > u64Footer) || (slot.u64Size > u64Footer - slot.u64Offset))
        {
            OSLOG_ERROR("res>>> damaged archive slot %d <%s>", ii, a_szPath);
            return OS_STS_FAIL;
        }
    }
    a_archive.blPresent = true;
    a_archive.u64Start = slotMarker.u64Offset;
    return OS_STS_OK;
}

static int OsResourceFind(const OsResourceArchive& a_archive, const char* a_szName)
{
    if (!a_archive.blPresent)
    {
        return -1;
    }
    for (int ii = 0; ii < OSRES_SLOTS - 1; ii++)
    {
        if (a_archive.aslot[ii].szName[0] && (strcasecmp(a_archive.aslot[ii].szName, a_szName) == 0))
        {
            return ii;
        }
    }
    return -1;
}

class COsResourceImpl
{
public:
    std::vector<uint8_t>    m_vectorData;   // the resource plus a zero byte
    bool                    m_blOpen = false;
};

COsResource::COsResource() : m_posresourceimpl(nullptr)
{
    try
    {
        m_posresourceimpl = new COsResourceImpl;
    }
    catch (...)
    {
        m_posresourceimpl = nullptr;
    }
}

COsResource::~COsResource()
{
    delete m_posresourceimpl;
    m_posresourceimpl = nullptr;
}

EOSSTS COsResource::Open(const char* a_szSearch, const char* a_szName, int a_iType)
{
    (void)a_iType;
    if (!m_posresourceimpl)
    {
        OSLOG_ASSERT("m_posresourceimpl is null...");
        return OS_STS_FAIL;
    }
    Close();
    if (!a_szSearch || !a_szSearch[0] || !a_szName || !a_szName[0])
    {
        OSLOG_ASSERT("res>>> Open bad arguments...%p %p", static_cast<const void*>(a_szSearch), static_cast<const void*>(a_szName));
        return OS_STS_BAD_ARGUMENT;
    }
    const char* szPath = (strcmp(a_szSearch, OS_RESOURCE_LOCAL) == 0) ? OSRES_LOCALFILE : a_szSearch;
    int iFd = open(szPath, O_RDONLY | O_CLOEXEC);
    if (iFd < 0)
    {
        return (errno == ENOENT) ? OS_STS_FILE_NOT_FOUND : OS_STS_FAIL;
    }
    struct stat statFile;
    if ((fstat(iFd, &statFile) != 0) || !S_ISREG(statFile.st_mode))
    {
        close(iFd);
        return OS_STS_FAIL;
    }
    OsResourceArchive archive;
    EOSSTS eossts = OsResourceReadArchive(iFd, static_cast<uint64_t>(statFile.st_size), archive, szPath);
    if (eossts != OS_STS_OK)
    {
        close(iFd);
        return eossts;
    }
    int iSlot = OsResourceFind(archive, a_szName);
    if (iSlot < 0)
    {
        close(iFd);
        return OS_STS_NOT_FOUND;
    }
    const OsResourceSlot& slot = archive.aslot[iSlot];
    try
    {
        m_posresourceimpl->m_vectorData.assign(static_cast<size_t>(slot.u64Size) + 1, 0);
    }
    catch (...)
    {
        close(iFd);
        OSLOG_ERROR("res>>> no memory for %llu bytes <%s>", static_cast<unsigned long long>(slot.u64Size), a_szName);
        return OS_STS_FAIL;
    }
    if ((slot.u64Size > 0) && !OsResourceReadAt(iFd, m_posresourceimpl->m_vectorData.data(), slot.u64Size, slot.u64Offset))
    {
        close(iFd);
        m_posresourceimpl->m_vectorData.clear();
        OSLOG_ERROR("res>>> cannot read resource <%s>", a_szName);
        return OS_STS_FAIL;
    }
    close(iFd);
    m_posresourceimpl->m_blOpen = true;
    return OS_STS_OK;
}

const void* COsResource::GetPointer()
{
    if (!m_posresourceimpl)
    {
        OSLOG_ASSERT("m_posresourceimpl is null...");
        return nullptr;
    }
    return m_posresourceimpl->m_blOpen ? m_posresourceimpl->m_vectorData.data() : nullptr;
}

uint64_t COsResource::GetSize()
{
    if (!m_posresourceimpl)
    {
        OSLOG_ASSERT("m_posresourceimpl is null...");
        return 0;
    }
    return m_posresourceimpl->m_blOpen ? m_posresourceimpl->m_vectorData.size() - 1 : 0;
}

EOSSTS COsResource::Close()
{
    if (!m_posresourceimpl)
    {
        OSLOG_ASSERT("m_posresourceimpl is null...");
        return OS_STS_FAIL;
    }
    m_posresourceimpl->m_blOpen = false;
    std::vector<uint8_t>().swap(m_posresourceimpl->m_vectorData);
    return OS_STS_OK;
}

EOSSTS COsResource::Update(const char* a_szFile, const char* a_szName, int a_iType, uint64_t a_u64Size,
                           const void* a_pvData, bool a_blReserved, void* a_pvReserved)
{
    (void)a_iType;
    (void)a_blReserved;
    (void)a_pvReserved;
    if (!m_posresourceimpl)
    {
        OSLOG_ASSERT("m_posresourceimpl is null...");
        return OS_STS_FAIL;
    }
    if (!a_szFile || !a_szFile[0] || !a_szName || !a_szName[0] || (strlen(a_szName) >= OSRES_NAMESIZE) ||
        (strcmp(a_szName, OSRES_MARKER) == 0))
    {
        OSLOG_ASSERT("res>>> Update bad arguments...%p %p", static_cast<const void*>(a_szFile), static_cast<const void*>(a_szName));
        return OS_STS_BAD_ARGUMENT;
    }
    const bool blRemove = (a_u64Size == 0) || !a_pvData;

    int iFd = open(a_szFile, O_RDONLY | O_CLOEXEC);
    if (iFd < 0)
    {
        int iErrno = errno; // the log line may change errno
        OSLOG_ERROR("res>>> Update cannot open...%d <%s>", iErrno, a_szFile);
        return (iErrno == ENOENT) ? OS_STS_FILE_NOT_FOUND : OS_STS_FAIL;
    }
    struct stat statFile;
    if ((fstat(iFd, &statFile) != 0) || !S_ISREG(statFile.st_mode))
    {
        close(iFd);
        return OS_STS_FAIL;
    }
    OsResourceArchive archive;
    if (OsResourceReadArchive(iFd, static_cast<uint64_t>(statFile.st_size), archive, a_szFile) != OS_STS_OK)
    {
        close(iFd);
        return OS_STS_FAIL;     // a damaged archive is not rewritten
    }
    int iExisting = OsResourceFind(archive, a_szName);
    if (blRemove && (iExisting < 0))
    {
        close(iFd);
        return OS_STS_NOT_FOUND;
    }

    // The resources to keep, in slot order, then the new one.
    std::vector<int> vectorKeep;
    for (int ii = 0; ii < OSRES_SLOTS - 1; ii++)
    {
        if (archive.blPresent && archive.aslot[ii].szName[0] && (ii != iExisting))
        {
            vectorKeep.push_back(ii);
        }
    }
    size_t u64Count = vectorKeep.size() + (blRemove ? 0 : 1);
    if (u64Count > OSRES_SLOTS - 1)
    {
        close(iFd);
        OSLOG_ERROR("res>>> Update: the archive is full <%s>", a_szFile);
        return OS_STS_FAIL;
    }

    // Write the new file next to the old one, then put it in its place.
    std::string szTarget;
    std::string szTemp;
    EOSSTS eosstsTemp = OS_STS_OK;
    int iTemp = OsFileTempOpen(a_szFile, static_cast<int>(statFile.st_mode & 07777), szTarget, szTemp, &eosstsTemp);
    if (iTemp < 0)
    {
        close(iFd);
        OSLOG_ERROR("res>>> Update cannot create a temporary file...%d <%s>", errno, a_szFile);
        return OS_STS_FAIL;
    }
    bool blOk = true;
    std::vector<uint8_t> vectorBuffer(1 << 16);
    // The original file.
    for (uint64_t u64Pos = 0; blOk && (u64Pos < archive.u64Start);)
    {
        uint64_t u64Chunk = std::min<uint64_t>(vectorBuffer.size(), archive.u64Start - u64Pos);
        blOk = OsResourceReadAt(iFd, vectorBuffer.data(), u64Chunk, u64Pos) && OsResourceWriteAll(iTemp, vectorBuffer.data(), u64Chunk);
        u64Pos += u64Chunk;
    }
    // The resources.
    OsResourceSlot aslotNew[OSRES_SLOTS];
    memset(aslotNew, 0, sizeof(aslotNew));
    uint64_t u64Pos = archive.u64Start;
    size_t u64Slot = 0;
    for (int iSlot : vectorKeep)
    {
        const OsResourceSlot& slot = archive.aslot[iSlot];
        aslotNew[u64Slot] = slot;
        aslotNew[u64Slot].u64Offset = u64Pos;
        aslotNew[u64Slot].u64Reserved = 0;
        for (uint64_t u64Done = 0; blOk && (u64Done < slot.u64Size);)
        {
            uint64_t u64Chunk = std::min<uint64_t>(vectorBuffer.size(), slot.u64Size - u64Done);
            blOk = OsResourceReadAt(iFd, vectorBuffer.data(), u64Chunk, slot.u64Offset + u64Done) &&
                   OsResourceWriteAll(iTemp, vectorBuffer.data(), u64Chunk);
            u64Done += u64Chunk;
        }
        u64Pos += slot.u64Size;
        u64Slot++;
    }
    if (!blRemove)
    {
        snprintf(aslotNew[u64Slot].szName, OSRES_NAMESIZE, "%s", a_szName);
        aslotNew[u64Slot].u64Offset = u64Pos;
        aslotNew[u64Slot].u64Size = a_u64Size;
        blOk = blOk && OsResourceWriteAll(iTemp, a_pvData, a_u64Size);
        u64Pos += a_u64Size;
        u64Slot++;
    }
    // The footer, unless the archive is now empty.
    if (u64Slot > 0)
    {
        OsResourceSlot& slotMarker = aslotNew[OSRES_SLOTS - 1];
        memcpy(slotMarker.szName, OSRES_MARKER, sizeof(OSRES_MARKER));
        slotMarker.u64Offset = archive.u64Start;
        slotMarker.u64Size = (u64Pos + OSRES_FOOTERSIZE) - archive.u64Start;
        blOk = blOk && OsResourceWriteAll(iTemp, aslotNew, sizeof(aslotNew));
    }
    close(iFd);
    if (OsFileTempCommit(iTemp, szTemp, szTarget, blOk ? 0 : (errno ? errno : EIO)) != OS_STS_OK)
    {
        OSLOG_ERROR("res>>> Update failed...%d <%s>", errno, a_szFile);
        return OS_STS_IO_ERROR;
    }
    OSLOG_INFO("res>>> Update %s <%s> %llu bytes", blRemove ? "removed" : "wrote", a_szName,
               static_cast<unsigned long long>(a_u64Size));
    return OS_STS_OK;
}
