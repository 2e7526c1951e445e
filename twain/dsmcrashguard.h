// dsmcrashguard.h
// The catch-all around the one call into the DSM, for faults that are not
// C++ exceptions: a fault signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT)
// raised on the calling thread while that thread is inside the call ends the
// call, not the program.  The handlers go in once per process and each
// calling thread gets an alternate signal stack once (a stack overflow can
// be caught only there); a call itself costs no system call.  A fault
// anywhere else does what it would have done without these handlers: the
// handler that was there before runs (a sanitizer's, say), or the default
// action (a core dump).
#ifndef DRAVO_DSMCRASHGUARD_H
#define DRAVO_DSMCRASHGUARD_H

#include "twaindefs.h"

// Calls a_pfnDsmEntry with the arguments.  True when it returned, its result
// in *a_ptwrc; false when a fault signal ended it, the signal in *a_piSignal.
// Nested calls (the DSM calls back, and the callback calls in again) each
// come back to their own call site.  A C++ exception passes through.
bool DsmCrashGuardCall(DSMENTRYPROC a_pfnDsmEntry, pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest,
                       TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata, TW_UINT16 *a_ptwrc,
                       int *a_piSignal);

// The name of a fault signal ("SIGSEGV" ...); "signal" for any other.
const char *DsmCrashGuardSignalName(int a_iSignal);

#endif // DRAVO_DSMCRASHGUARD_H
