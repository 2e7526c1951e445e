// simdefs.h
//
// The simulated scanner's view of the TWAIN definitions: the shared header of
// this build plus the few standard values that header does not name.

#ifndef DRAVO_SIMDEFS_H
#define DRAVO_SIMDEFS_H

#include "twaindefs.h"

// ICAP_BITORDER
#ifndef TWBO_LSBFIRST
#define TWBO_LSBFIRST 0
#endif
#ifndef TWBO_MSBFIRST
#define TWBO_MSBFIRST 1
#endif

// CAP_BATTERYMINUTES and CAP_BATTERYPERCENTAGE: running on external power.
#ifndef TWBM_INFINITE
#define TWBM_INFINITE (-2)
#endif
#ifndef TWBP_INFINITE
#define TWBP_INFINITE (-2)
#endif

// The simulator's own test capabilities: one per item type and container
// shape, ids CAP_SIMBASE + 4 x type index + shape (see simcaptable.cpp).
#define CAP_SIMBASE 0x8100

#endif // DRAVO_SIMDEFS_H
