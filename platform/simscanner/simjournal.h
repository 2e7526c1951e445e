// simjournal.h
//
// The simulator's journal: one line per triplet received and per event sent,
// appended to the file named by SIMSCANNER_JOURNAL with one write per line, so
// that several sources (and processes) can share a file and tests can read it
// at any time. The line format is described in README.md.

#ifndef DRAVO_SIMJOURNAL_H
#define DRAVO_SIMJOURNAL_H

#include "simdefs.h"

#include <cstdint>
#include <string>

struct SimJournalCall
{
    const char*   m_szDirection = "call";   // "call" (received), "send" (event sent), "config" (file error)
    std::string   m_szSource;               // the profile key
    std::uint32_t m_u32Dg = 0;
    TW_UINT16     m_u16Dat = 0;
    TW_UINT16     m_u16Msg = 0;
    int           m_iStateBefore = 0;
    int           m_iStateAfter = 0;
    std::string   m_szData;                 // hex of the structure as received, "null", or empty
    std::string   m_szContainer;            // hex of a container the application sent
    bool          m_blRc = true;            // the return code is known
    TW_UINT16     m_u16Rc = 0;
    TW_UINT16     m_u16Cc = 0;
    bool          m_blCc = true;            // the condition code is known
    std::string   m_szNote;                 // extra "key=value" words (fault=..., error=...)
};

std::string SimHex(const void* a_pv, std::size_t a_uBytes);

// Appends a free-text line "<direction> <sequence> <source> <text>".
void SimJournalNote(const std::string& a_szPath, const char* a_szDirection, const std::string& a_szSource, const std::string& a_szText);

// Appends one line to the journal file (nothing when a_szPath is empty).
// Returns the sequence number given to the line.
std::uint64_t SimJournalWrite(const std::string& a_szPath, const SimJournalCall& a_call);

// Every file the simulator writes (the journal, a device log, an exported
// profile) is opened without waiting, then kept only when it is a regular
// file or a device such as /dev/null: a FIFO (with or without a reader), a
// folder or a socket gives -1. a_iFlags are added to O_WRONLY (O_APPEND,
// O_CREAT, O_TRUNC); the descriptor is blocking once open.
int SimOpenForWriting(const std::string& a_szPath, int a_iFlags);

// A whole text written to a file opened so (created, or emptied first);
// false when it cannot be opened or written.
bool SimWriteFile(const std::string& a_szPath, const std::string& a_szText);

#endif // DRAVO_SIMJOURNAL_H
