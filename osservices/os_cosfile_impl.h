// os_cosfile_impl.h
// The implementation class of COsFile, shared by its sources.
#ifndef OS_COSFILE_IMPL_H
#define OS_COSFILE_IMPL_H

#include <atomic>
#include <string>
#include <vector>

class COsFileImpl
{
public:
    int                 m_iFd = -1;             // the open file
    int                 m_iWriteErrno = 0;      // the first failed write's error since the open
    // A file from OpenTemp: its own name (empty when a device is written
    // to directly), and the file Commit puts it in place of (empty when the
    // object was not opened by OpenTemp).
    std::string         m_szTemp;
    std::string         m_szTarget;
    std::vector<char>   m_vectorPrintf;         // Printf's buffer, made on first use
    void*               m_pvLibrary = nullptr;  // SharedLibraryLoad's handle
    // Console line editing (libedit objects; null when lines are read with fgets).
    void*               m_pvEditLine = nullptr;
    void*               m_pvHistory = nullptr;
    // Colour switched off: the console shows no ANSI escape sequences (read
    // by lines written from a Data Source's thread too).
    std::atomic<bool>   m_blEditLinePlain{false};
};

#endif // OS_COSFILE_IMPL_H
