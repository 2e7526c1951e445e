// os_cosfile.h
// Files, paths, directory searches, shared libraries and console line
// editing.
#ifndef OS_COSFILE_H
#define OS_COSFILE_H

#include "osservices.h"

enum EOSFILEOPEN
{
    OS_FILEOPEN_CREATE          = 1,    // create, or truncate an existing file
    OS_FILEOPEN_EXISTING        = 2,    // existing files only
    OS_FILEOPEN_ALWAYS          = 3     // existing, or create (no truncation)
};

enum EOSFILEACCESS
{
    OS_FILEACCESS_READ          = 1,
    OS_FILEACCESS_WRITE         = 2,
    OS_FILEACCESS_READWRITE     = 3
};

enum EOSFILESHARE
{
    OS_FILESHARE_NONE           = 0,
    OS_FILESHARE_READ           = 1,
    OS_FILESHARE_WRITE          = 2,
    OS_FILESHARE_READWRITE      = 3     // no sharing restriction is enforced
};

enum EOSFILEPOINTER
{
    OS_FILEPOINTER_BEGIN        = 1,    // any value other than 2 and 3 too
    OS_FILEPOINTER_CURRENT      = 2,
    OS_FILEPOINTER_END          = 3
};

enum EOSFILETYPE
{
    OS_FILETYPE_NONE            = 0,
    OS_FILETYPE_DIRECTORY       = 1,
    OS_FILETYPE_FILE            = 2,
    OS_FILETYPE_OTHER           = 3
};

class COsFileFind;

// ReadFile's limit when its caller gives none (64 MiB).
#define OS_FILE_READMAX     (64ULL << 20)

// The record of a directory search.
struct OsFileInfo
{
    char            szName[512];    // the entry's name
    uint32_t        u32Type;        // EOSFILETYPE: 1 directory, 2 file, 3 other
    char            szPath[1024];   // its full path (the search folder + name)
    uint64_t        u64Size;        // its size in bytes (files)
    COsFileFind*    posfilefind;    // the search in progress (FindClose releases it)
};

class COsFileImpl;

class COsFile
{
public:
    COsFile();
    ~COsFile();     // closes the file and unloads a loaded library

    // Open a file.  0; OS_STS_FILE_NOT_FOUND when a file to be read (or with
    // OS_FILEOPEN_EXISTING) does not exist; OS_STS_ACCESS_DENIED;
    // OS_STS_IN_USE when this object already holds an open file; 1 otherwise.
    EOSSTS Open(const char* a_szPath, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess, EOSFILESHARE a_eosfileshare);
    // 0 (also when nothing is open), 1 without an implementation.
    EOSSTS Close();
    bool IsOpen();
    EOSSTS Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read);
    EOSSTS Write(const void* a_pvData, uint64_t a_u64Size, uint64_t* a_pu64Written);
    EOSSTS Size(uint64_t* a_pu64Size);
    EOSSTS SetFilePointer(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset);
    // Format into the object's 65,536-byte buffer and write it: the number
    // of characters, or -1 (a text that does not fit is not written).
    int Printf(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3)));

    // Write a file whole or not at all.  OpenTemp creates a new file of its
    // own name beside a_szPath (in the same folder) and opens it for
    // writing (and reading back); Write and Printf fill it; Commit puts it in
    // a_szPath's place by a rename, after flushing it to the disk when it
    // replaces a file (Commit with a name: in that name's place instead, a
    // name in the same folder).
    // So a_szPath holds either what it held before or the whole new file.
    // A failed write since OpenTemp makes Commit fail; Close (or the end of
    // the object) without Commit, and a failed Commit, remove the new file.
    // The new file gets a_iMode when it is not negative, else the mode of
    // the file it replaces (0666 less the umask for a new one).  Only a
    // regular file is replaced (through a symbolic link: the file it names);
    // a device or a FIFO (/dev/null) is written to directly, and Commit
    // reports its write errors; a folder gives OS_STS_FAIL.  Other failures
    // give the status of the system's error.
    EOSSTS OpenTemp(const char* a_szPath, int a_iMode = -1);
    EOSSTS Commit(const char* a_szPath = nullptr);
    // OpenTemp, Write and Commit of one block of data.
    static EOSSTS WriteWhole(const char* a_szPath, const void* a_pvData, uint64_t a_u64Size, int a_iMode = -1);

    // Read a whole file into a new NUL-terminated block from g_posmem (free
    // it with COsMem::Free); *a_pu64Size gets the file's size (without the
    // terminator).  Only a regular file of at most a_u64Max bytes is read
    // (one that reports no size, as in /proc, up to that many): anything
    // else is refused at once, never waited for (a FIFO) nor read on (a
    // device): OS_STS_FAIL for an entry that is not a regular file,
    // OS_STS_DESTINATION_TOO_SMALL for a larger file.  Failures to open give
    // the status of the system's error (OS_STS_FILE_NOT_FOUND,
    // OS_STS_ACCESS_DENIED ...).  a_blLock/a_u32LockTimeout/a_iFlag: reserved.
    static EOSSTS ReadFile(const char* a_szPath, char** a_pszBuffer, bool a_blLock, uint32_t a_u32LockTimeout,
                           uint64_t* a_pu64Size, int a_iFlag = 0, uint64_t a_u64Max = OS_FILE_READMAX);

    // Copy a regular file (written whole as OpenTemp does; the target is
    // replaced and gets the source's mode).
    static EOSSTS Copy(const char* a_szSource, const char* a_szTarget);
    // Delete the entry when it exists and has the type (2 a file, 1 an
    // empty folder).  0; OS_STS_FILE_NOT_FOUND; 1 for another type or a
    // failure.  The two flags are reserved (callers pass false).
    static EOSSTS Delete(const char* a_szPath, EOSFILETYPE a_eosfiletype, EOSBOOL a_blReserved = 0, bool a_blReserved2 = false);
    // Create a folder and its missing parents (0 when it already exists).
    static EOSSTS Create(const char* a_szPath, void* a_pvReserved = nullptr);
    // True when the path names an entry (file or folder).
    static bool Exists(const char* a_szPath);

    // Unpack the package container a_szPackage into the folder a_szFolder.
    // Only the container's magic ("ZAVPKG01") is known to this build, not
    // the layout of its 304-byte entry records nor its compression, so no
    // package is unpacked: OS_STS_FILE_NOT_FOUND when the file is missing,
    // OS_STS_BAD_ARGUMENT for missing names, otherwise OS_STS_FAIL (an
    // error line tells whether the file is a package at all).  Nothing is
    // written.  a_blReserved, a_pvProgress and a_blReserved2: reserved.
    static EOSSTS Unpackage(const char* a_szFolder, const char* a_szPackage, bool a_blReserved = true,
                            void* a_pvProgress = nullptr, bool a_blReserved2 = true);
    // 0; 2 when the buffer is too small; 1 otherwise; 3 for bad arguments.
    static EOSSTS GetCurrentDir(char* a_szBuffer, size_t a_u64Size);
    // 0; 1 on failure; 3 for a null argument.
    static EOSSTS SetCurrentDir(const char* a_szDirectory);

    // Copy the path when it fits (terminator included) and normalise the
    // separators to '/'; otherwise the assertion "buffer overflow...%u <%s>",
    // the buffer left empty and 2.
    static EOSSTS PathSet(char* a_szPath, size_t a_u64Size, const char* a_szValue);
    // Append a separator and a_szPart (a leading drive letter and colon of
    // the part are dropped; an empty path takes the part alone) and normalise
    // the separators to '/'.  2 when it does not fit (nothing changes).
    static EOSSTS PathAppend(char* a_szPath, size_t a_u64Size, const char* a_szPart);
    // Rewrite every '/' or '\' as a_cSeparator, collapsing runs.
    static EOSSTS PathNormalize(char* a_szPath, char a_cSeparator);

    // Search with the wildcards '*' and '?' in the last path element (a
    // pattern without a folder searches the current directory; "*" also
    // returns "." and "..").  Entries come in name order.  0 when an entry
    // was found, OS_STS_FILE_NOT_FOUND (257) when none; FindNext likewise.
    // Always end a search with FindClose.
    static EOSSTS FindFirst(const char* a_szPattern, OsFileInfo* a_posfileinfo);
    static EOSSTS FindNext(OsFileInfo* a_posfileinfo);
    static EOSSTS FindClose(OsFileInfo* a_posfileinfo);

    // Load a shared library into this object (dlopen, RTLD_NOW|RTLD_LOCAL;
    // a_iOpenMode, a_szName (a label) and a_iFlags are reserved).  0.
    EOSSTS SharedLibraryLoad(const char* a_szPath, int a_iOpenMode = 0, const char* a_szName = nullptr, int a_iFlags = 0);
    // The address of a symbol of the loaded library, null when absent.
    // a_pvContext is reserved; a_iDecoration must be 0 (no decoration).
    void* SharedLibraryGetProc(const char* a_szSymbol, void* a_pvContext = nullptr, int a_iDecoration = 0);
    EOSSTS SharedLibraryFree();

    // Console line editing.  EditLineInit loads libedit at run time when
    // standard input is a terminal; otherwise (or when it cannot be loaded)
    // lines are read with fgets.
    EOSSTS EditLineInit();
    // Show the prompt in the colour and read one line into the buffer
    // (zeroed first; the line keeps its line feed).  0 for a line (also an
    // empty one: "\n"); OS_STS_NO_DATA (14) at end of input, the buffer
    // empty; OS_STS_DESTINATION_TOO_SMALL (2) for a line longer than the
    // buffer (the buffer is left empty and the rest of the line discarded);
    // 3 for bad arguments.
    EOSSTS EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer, size_t a_u64Size);
    // Write the text to standard output and flush.
    EOSSTS EditLineDisplay(const char* a_szText);
    // The console's colour switch, on at first.  Off: EditLineDisplay drops
    // the ANSI escape sequences of its texts and EditLineRead shows the
    // prompt without colour.
    void EditLineColor(bool a_blColor);
    EOSSTS EditLineCleanup();

private:
    COsFile(const COsFile&) = delete;
    COsFile& operator=(const COsFile&) = delete;
    COsFileImpl* m_posfileimpl;
};

// Shut the file services down (called by OsServicesStop).
void OsFileShutdown(void);

#endif // OS_COSFILE_H
