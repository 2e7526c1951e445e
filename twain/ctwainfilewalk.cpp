// ctwainfilewalk.cpp
// The walk of a Data Source's file system and the set of names it has seen.
#include "ctwainfilewalk.h"

#include <cstring>
#include <functional>
#include <string_view>

#include "ctwainimpl.h"

// ---------------------------------------------------------------------------
// The names seen
// ---------------------------------------------------------------------------
bool CTwainNameSet::Insert(const char *a_szName, size_t a_u64Length)
{
    // FNV-1a and the library's string hash: two unrelated digests.
    uint64_t u64Fnv = 0xcbf29ce484222325ULL;
    for (size_t ii = 0; ii < a_u64Length; ii++)
    {
        u64Fnv = (u64Fnv ^ static_cast<unsigned char>(a_szName[ii])) * 0x100000001b3ULL;
    }
    Key key = {u64Fnv, std::hash<std::string_view>()(std::string_view(a_szName, a_u64Length)) | 1};
    if ((m_u64Count + 1) * 2 > m_akey.size())
    {
        Grow();
    }
    size_t u64Mask = m_akey.size() - 1;
    for (size_t u64Slot = key.u64First & u64Mask;; u64Slot = (u64Slot + 1) & u64Mask)
    {
        Key &keySlot = m_akey[u64Slot];
        if (keySlot.u64Second == 0)
        {
            keySlot = key;
            m_u64Count++;
            return true;
        }
        if ((keySlot.u64First == key.u64First) && (keySlot.u64Second == key.u64Second))
        {
            return false;
        }
    }
}

void CTwainNameSet::Clear()
{
    std::vector<Key>().swap(m_akey);
    m_u64Count = 0;
}

void CTwainNameSet::Grow()
{
    std::vector<Key> akeyOld;
    akeyOld.swap(m_akey);
    m_akey.assign(akeyOld.empty() ? 1024 : akeyOld.size() * 2, Key{0, 0});
    size_t u64Mask = m_akey.size() - 1;
    for (const Key &key : akeyOld)
    {
        if (key.u64Second == 0)
        {
            continue;
        }
        size_t u64Slot = key.u64First & u64Mask;
        while (m_akey[u64Slot].u64Second != 0)
        {
            u64Slot = (u64Slot + 1) & u64Mask;
        }
        m_akey[u64Slot] = key;
    }
}

// ---------------------------------------------------------------------------
// The walk
// ---------------------------------------------------------------------------
CTwainFileWalk::EStep CTwainFileWalk::First(CTwainImpl *a_ptwainimpl, TW_FILESYSTEM *a_ptwfilesystem)
{
    m_nameset.Clear();
    m_u64Entries = 0;
    return Answer(a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETFIRSTFILE, a_ptwfilesystem, false, false),
                  a_ptwfilesystem);
}

CTwainFileWalk::EStep CTwainFileWalk::Next(CTwainImpl *a_ptwainimpl, TW_FILESYSTEM *a_ptwfilesystem)
{
    return Answer(a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETNEXTFILE, a_ptwfilesystem, false, false),
                  a_ptwfilesystem);
}

CTwainFileWalk::EStep CTwainFileWalk::Answer(TW_UINT16 a_twrc, const TW_FILESYSTEM *a_ptwfilesystem)
{
    m_twrc = a_twrc;
    EStep estep = FILEWALK_ENTRY;
    if (a_twrc != TWRC_SUCCESS)
    {
        estep = (a_twrc == TWRC_ENDOFLIST) ? FILEWALK_END : FILEWALK_FAILED;
    }
    else if (m_u64Entries >= TWAINIMPL_FILEWALK)
    {
        estep = FILEWALK_TOOMANY;
    }
    else if (!m_nameset.Insert(a_ptwfilesystem->OutputName,
                               strnlen(a_ptwfilesystem->OutputName, sizeof(a_ptwfilesystem->OutputName))))
    {
        estep = FILEWALK_AGAIN;
    }
    if (estep != FILEWALK_ENTRY)
    {
        m_nameset.Clear();      // the walk is over: its names are not kept
        return estep;
    }
    m_u64Entries++;
    return FILEWALK_ENTRY;
}
