// ctwainfilewalk.h
// The one walk of a Data Source's file system: MSG_GETFIRSTFILE, then
// MSG_GETNEXTFILE with the same record, until the source answers
// TWRC_ENDOFLIST.  The listing (dat_filesystem), the camera walk and the
// stress test's walk all use it.
//
// A source that never reaches the end of its list cannot keep a walk going
// for ever: the walk ends at an entry whose name it has already seen (a list
// that goes round), and past TWAINIMPL_FILEWALK entries, more than any
// device's file system holds (a camera folder holds up to 9,999 images, a
// card many folders).
#ifndef DRAVO_CTWAINFILEWALK_H
#define DRAVO_CTWAINFILEWALK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "twaindefs.h"

#define TWAINIMPL_FILEWALK 1000000    // entries a walk of a source's file system reads at most

class CTwainImpl;

// The names seen by one walk.  Each is kept as a 128-bit digest (two
// independent 64-bit hashes) in an open-addressed table: 16 bytes a slot,
// at most half the slots in use, whatever the length of the names.
class CTwainNameSet
{
public:
    // False when the name was already in the set.
    bool Insert(const char *a_szName, size_t a_u64Length);
    void Clear();

private:
    struct Key
    {
        uint64_t u64First;
        uint64_t u64Second;     // never 0 in a used slot
    };
    void Grow();

    std::vector<Key> m_akey;
    size_t m_u64Count = 0;
};

class CTwainFileWalk
{
public:
    enum EStep
    {
        FILEWALK_ENTRY,     // the record holds the next entry
        FILEWALK_END,       // TWRC_ENDOFLIST
        FILEWALK_FAILED,    // the source answered another code (Rc())
        FILEWALK_AGAIN,     // the entry's name came before: the list goes round
        FILEWALK_TOOMANY    // past TWAINIMPL_FILEWALK entries
    };

    // The first entry of the directory the record names (InputName; empty:
    // the current directory), and the entries after it.  Both send the
    // triplet with the status flags clear.
    EStep First(CTwainImpl *a_ptwainimpl, TW_FILESYSTEM *a_ptwfilesystem);
    EStep Next(CTwainImpl *a_ptwainimpl, TW_FILESYSTEM *a_ptwfilesystem);

    // The return code of the last call; the entries walked so far.
    TW_UINT16 Rc() const { return m_twrc; }
    uint64_t Entries() const { return m_u64Entries; }

private:
    EStep Answer(TW_UINT16 a_twrc, const TW_FILESYSTEM *a_ptwfilesystem);

    CTwainNameSet m_nameset;
    uint64_t m_u64Entries = 0;
    TW_UINT16 m_twrc = TWRC_SUCCESS;
};

#endif // DRAVO_CTWAINFILEWALK_H
