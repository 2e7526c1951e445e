// os_private.h
// Helpers shared by the sources of the services layer (not for other modules).
#ifndef OS_PRIVATE_H
#define OS_PRIVATE_H

#include <string>

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

#endif // OS_PRIVATE_H
