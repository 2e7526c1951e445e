// simdispatch.h
//
// The dispatch table of the simulated source: one row per (data group, data
// argument type) it answers, with its handler, the messages it knows, the size
// of its structure and whether it needs data. Adding a triplet (such as the
// custom data group 0x1000 with its data argument types from 0x8001) is adding
// a row and a handler.

#ifndef DRAVO_SIMDISPATCH_H
#define DRAVO_SIMDISPATCH_H

#include "simsession.h"

#include <initializer_list>

typedef TW_UINT16 (CSimSession::*PfnSimHandler)(TW_UINT16 a_u16Msg, TW_MEMREF a_pData, SimJournalCall& a_call);

// Which sources have a row.
enum ESimRowScope
{
    eSimRowAll,
    eSimRowFileSystem,   // sources with DAT_FILESYSTEM
    eSimRowMaker,        // the maker's own triplets: sources that announce DG_CUSTOM
    eSimRowProtocol2,    // sources of protocol 2.0 and later
    eSimRowProtocol24,   // sources of protocol 2.4 and later (DAT_TWAINDIRECT)
};

struct SimDispatch
{
    TW_UINT32     m_u32Dg;
    TW_UINT16     m_u16Dat;
    PfnSimHandler m_pfnHandler;
    std::size_t   m_uDataSize;            // bytes of the structure, for the journal
    bool          m_blNeedsData;          // a null pointer is TWCC_BADVALUE
    ESimRowScope  m_eScope;
    std::initializer_list<TW_UINT16> m_au16Msg;   // the messages it knows
};

// The row of a triplet; null when the source does not know the data group
// and data argument type.
const SimDispatch* SimFindDispatch(TW_UINT32 a_u32Dg, TW_UINT16 a_u16Dat);

// Every row, for CAP_SUPPORTEDDATS.
const SimDispatch* SimDispatchTable(std::size_t& a_uCount);

bool SimDispatchKnows(const SimDispatch& a_dispatch, TW_UINT16 a_u16Msg);

#endif // DRAVO_SIMDISPATCH_H
