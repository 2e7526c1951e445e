// os_cosfile_impl.h
// The implementation class of COsFile, shared by its sources.
#ifndef OS_COSFILE_IMPL_H
#define OS_COSFILE_IMPL_H

#include <atomic>
#include <vector>

class COsFileImpl
{
public:
    int                 m_iFd = -1;             // the open file
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
