// simblock.h
//
// The size of a memory block an application hands the source (a capability
// container, custom data, a task). The standard's memory functions cannot
// tell it, so a source that trusted the sizes an application claims would
// read past a block that is too small. This platform's DSM records the size
// of every block it hands out (its exported TwainDsmMemSize); a block it did
// not allocate is C memory of the application, whose size the C library
// tells. The source reads what it is sent only within that size.

#ifndef DRAVO_SIMBLOCK_H
#define DRAVO_SIMBLOCK_H

#include "simdefs.h"

#include <cstddef>

// Remembers the DSM that calls the source: an address inside its code (the
// caller of DS_Entry). DS_Entry calls it on every entry.
void SimBlockNoteDsm(const void* a_pvInDsm);

// The bytes of the block behind a handle, a_pvLocked being its locked
// address: false when neither the DSM nor the C library can tell (another
// DSM's memory whose lock moves the block, for one).
bool SimBlockSize(TW_HANDLE a_h, const void* a_pvLocked, std::size_t& a_uSize);

#endif // DRAVO_SIMBLOCK_H
