// fixture_ds.h
//
// The test-only Data Sources of the DSM tests: their custom triplets and the
// records those triplets carry. Every fixture source is built from
// fixture_ds.cpp with its own identity.

#ifndef DRAVO_FIXTURE_DS_H
#define DRAVO_FIXTURE_DS_H

#include "../../twain/twaindefs.h"

// The custom triplets use the custom data group (the echo answers in any group).
#define FIXTURE_DG              DG_CUSTOM

// Any message: the source writes back what it received (FixtureEcho).
#define FIXTURE_DAT_ECHO        0x8001
// MSG_FIXTURE_SEND starts a thread of the source that sends
// DG_CONTROL/DAT_NULL/<FixtureEvent.Message> through the DSM;
// MSG_FIXTURE_JOIN waits for that thread and reports the DSM's answer.
#define FIXTURE_DAT_EVENT       0x8002
// MSG_FIXTURE_SEND allocates FixtureMemory.Size bytes with the DSM's
// DSM_MemAllocate and returns the handle; MSG_FIXTURE_JOIN frees
// FixtureMemory.Handle with DSM_MemFree.
#define FIXTURE_DAT_MEMORY      0x8003
// Any message: the source throws a C++ exception.
#define FIXTURE_DAT_THROW       0x8004

#define MSG_FIXTURE_SEND        0x8002
#define MSG_FIXTURE_JOIN        0x8003

#pragma pack(push, 2)
typedef struct {
    TW_UINT32    DG;                 // the triplet as the source received it
    TW_UINT16    DAT;
    TW_UINT16    MSG;
    TW_UINT32    OriginId;           // the application's Id
    TW_UINT32    OwnId;              // the Id the DSM gave the source at MSG_OPENDS
    TW_UINT32    Payload;            // copied from the caller's record, plus one
} FixtureEcho;

typedef struct {
    TW_UINT16    Message;            // in: the DAT_NULL message to send
    TW_UINT16    ReturnCode;         // out (MSG_FIXTURE_JOIN): the DSM's answer to it
} FixtureEvent;

typedef struct {
    TW_UINT32    Size;
    TW_HANDLE    Handle;
} FixtureMemory;
#pragma pack(pop)

#endif // DRAVO_FIXTURE_DS_H
