// os_private.h
// Helpers shared by the sources of the services layer (not for other modules).
#ifndef OS_PRIVATE_H
#define OS_PRIVATE_H

#include <string>

#include "osservices.h"

// Create a folder and its missing parents; 0 on success (also when it
// exists), -1 otherwise.  Writes no log line (the log itself uses it).
int OsMakeDirectories(const char* a_szPath);

// $HOME, else the password entry's home, else "/tmp".
std::string OsGetHomeDirectory();

// The program's own file (/proc/self/exe), "" when unknown.
std::string OsGetProgramPath();

// The default log folder: ZAV_LOGDIR, else $HOME/.dravo/log; created when
// missing.  Writes no log line.
std::string OsGetDefaultLogDirectory();

// Run a program with an argument vector (no shell) and collect its standard
// output (at most a_u64Max bytes).  0 when it ran and exited with 0.
int OsRunAndRead(const char* const* a_aszArgv, std::string& a_szOutput, size_t a_u64Max);

// Append one Unicode code point (up to 0x10FFFF) as UTF-8.
void OsAppendUtf8(std::string& a_sz, unsigned long a_u32Code);

// The services status of a system error number (errno).
EOSSTS OsFileStatusFromErrno(int a_iErrno);

// Files written whole (os_cosfile_whole.cpp; COsFile::OpenTemp says how).
// OsFileTempOpen creates the new file beside a_szPath and returns its
// descriptor (-1 with *a_peossts set on failure), the file it will replace
// in a_szTarget and its own name in a_szTemp (empty when a_szPath is a
// device or FIFO, opened itself).  OsFileTempCommit closes the
// descriptor and, when a_iErrno is 0 (nothing failed while writing), puts
// the file in place; otherwise, or when that fails, it removes the file.
// 0, or the status of the error (errno holds it).
int OsFileTempOpen(const char* a_szPath, int a_iMode, std::string& a_szTarget, std::string& a_szTemp, EOSSTS* a_peossts);
EOSSTS OsFileTempCommit(int a_iFd, const std::string& a_szTemp, const std::string& a_szTarget, int a_iErrno);

#endif // OS_PRIVATE_H
