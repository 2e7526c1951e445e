// capbuffer.h
// The capability engine's copy of a container.
//
// A container the Data Source hands back is read only within the block it
// received: CapBuffer copies that block, and every read of a field or an
// item beyond the copy gives 0.  Edits go to the copy, which grows as they
// need, and the copy travels back to the source in a handle of the
// program's own: the source's block is never written.
//
// Every container this program sends is made whole for its container type
// on its way into that handle (Fit): the block always holds what its header
// says, so no source reads past it.
#ifndef DRAVO_CAPBUFFER_H
#define DRAVO_CAPBUFFER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "twaindefs.h"
#include "ctwainimpl.h"

// Offsets of the container layouts of this build (2-byte packing, 8-byte
// TW_UINT32).
#define CAPBUF_ONEVALUE_ITEM    2       // TW_ONEVALUE.Item
#define CAPBUF_RANGE_MIN        2       // TW_RANGE: MinValue, then MaxValue, StepSize,
#define CAPBUF_RANGE_MAX        10      // DefaultValue, CurrentValue, 8 bytes each
#define CAPBUF_RANGE_STEP       18
#define CAPBUF_RANGE_DEF        26
#define CAPBUF_RANGE_CUR        34
#define CAPBUF_RANGE_SIZE       42
#define CAPBUF_ENUM_NUM         2       // TW_ENUMERATION: NumItems, CurrentIndex,
#define CAPBUF_ENUM_CUR         10      // DefaultIndex, then the items
#define CAPBUF_ENUM_DEF         18
#define CAPBUF_ENUM_ITEMS       26
#define CAPBUF_ARRAY_NUM        2       // TW_ARRAY: NumItems, then the items
#define CAPBUF_ARRAY_ITEMS      10

// The width of one item of a list: TwItemSize, and 1 for an item type this
// build does not know.
size_t CapItemSize(TW_UINT16 a_twty);

// The bytes a container of type a_twon needs for its header and a_u64Count
// items of a_twty (CapItemSize wide): a one-value at least a whole
// TW_ONEVALUE (its item slot, or the item where that is wider), a range a
// whole TW_RANGE; 0 for another container type (its layout is unknown).
size_t CapContainerSize(TW_UINT16 a_twon, TW_UINT16 a_twty, uint64_t a_u64Count);

class CapBuffer
{
public:
    // Copies the block behind a handle (nothing for a null handle or one
    // that cannot be locked: false).
    bool Read(CTwainImpl *a_ptwainimpl, TW_HANDLE a_handle);
    // A zeroed copy of a_u64Size bytes.
    void Zero(size_t a_u64Size);

    size_t Size() const { return m_ab.size(); }
    const uint8_t *Data() const { return m_ab.data(); }

    // Reads within the copy (0 for bytes beyond it).
    TW_UINT16 U16(size_t a_u64Offset) const;
    TW_UINT32 U32(size_t a_u64Offset) const;        // the 8-byte field
    uint32_t Low32(size_t a_u64Offset) const;       // its low 32 bits
    TW_FIX32 Fix32(size_t a_u64Offset) const;
    // Copies a_u64Size bytes at the offset into a_pv (zeros beyond the copy).
    void Get(size_t a_u64Offset, void *a_pv, size_t a_u64Size) const;
    // True when the copy holds a_u64Size bytes from the offset.
    bool Holds(size_t a_u64Offset, size_t a_u64Size) const;

    // How many of a_u32Count items of a list beginning at a_u64Items the
    // copy holds.
    uint32_t ItemsHeld(size_t a_u64Items, TW_UINT16 a_twty, TW_UINT32 a_u32Count) const;
    // Item a_u32Index of such a list through the connection's item readers;
    // 0 when the copy does not hold it.
    int32_t ItemInt(size_t a_u64Items, TW_UINT16 a_twty, uint32_t a_u32Index) const;
    double ItemDouble(size_t a_u64Items, TW_UINT16 a_twty, uint32_t a_u32Index) const;

    // Writes, growing the copy (zero-filled) when they reach beyond it.
    void SetU16(size_t a_u64Offset, TW_UINT16 a_u16);
    void SetU32(size_t a_u64Offset, TW_UINT32 a_u32);
    void SetFix32(size_t a_u64Offset, TW_FIX32 a_fix32);
    void Set(size_t a_u64Offset, const void *a_pv, size_t a_u64Size);
    // Makes the copy at least a_u64Size bytes long.
    void Grow(size_t a_u64Size);
    // Cuts or grows the copy to exactly a_u64Size bytes.
    void Resize(size_t a_u64Size);
    // Makes the copy agree with its header as a container of type a_twon: a
    // one-value or a range grows (zero-filled) to its whole size; the count
    // of an enumeration or an array comes down to the items the copy holds
    // (no item is made up).
    void Fit(TW_UINT16 a_twon);

    // A new handle of the program's own holding the copy made whole for
    // a_twon (Fit); null (after a services-log line) when it cannot be
    // allocated.
    TW_HANDLE Handle(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twon) const;

private:
    TW_HANDLE HandleAsIs(CTwainImpl *a_ptwainimpl) const;

    std::vector<uint8_t> m_ab;
};

// Replaces the container of a_ptwcapability by a handle holding a_capbuffer
// made whole for its ConType (the old container is freed): true, or false
// with the old one freed and hContainer null when no handle could be made.
bool CapReplace(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability, const CapBuffer &a_capbuffer);

// Frees the container of a_ptwcapability and clears hContainer.
void CapRelease(CTwainImpl *a_ptwainimpl, TW_CAPABILITY *a_ptwcapability);

// DG_CONTROL / DAT_CAPABILITY with a_twmsg for a capability (ConType 0,
// hContainer null), recorded as a_etwrecord says: the return code; the
// answer stays in a_ptwcapability, whose container the caller frees whatever
// the code (a source may hand one over with a refusal or a
// TWRC_CHECKSTATUS).
TW_UINT16 CapRequest(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_UINT16 a_twmsg, TW_CAPABILITY *a_ptwcapability,
                     ETWRECORD a_etwrecord = ETWRECORD_LAST);

// The query-support flags of a one-value answer (its item as a full
// TW_UINT32), bounded by the block received.
TW_UINT32 CapQueryFlags(CTwainImpl *a_ptwainimpl, const TW_CAPABILITY &a_twcapability);

// "%s/%s" with the names of a return code and of the condition code asked of
// whoever answered (recorded as a_etwrecord says), behind a_szIndent.
void CapPrintStatus(CTwainImpl *a_ptwainimpl, const char *a_szIndent, TW_UINT16 a_twrc,
                    ETWRECORD a_etwrecord = ETWRECORD_LAST);

// When the latest call crashed (where a refusal may be expected, a crash is
// never taken for one): its status line as CapPrintStatus says it
// ("TWRC_FAILURE/crashed" behind a_szIndent), after the capability's header
// line when a_iCap is a capability id (not -1); true then.
bool CapSaidCrash(CTwainImpl *a_ptwainimpl, const char *a_szIndent, int a_iCap = -1);

// The name of a capability: the symbol table's record name, else "0x%04x".
void CapName(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, char *a_szName, size_t a_u64NameSize);

// The bold header line of a capability in the battery's steps.
void CapHeader(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap);

// The opening of the walks and the error tests: MSG_GET of the capability
// into a_ptwcapability, then its header line.  The return code of MSG_GET
// (after "  %s/%s", and with any container freed, when it failed).
TW_UINT16 CapOpenTest(CTwainImpl *a_ptwainimpl, TW_UINT16 a_u16Cap, TW_CAPABILITY *a_ptwcapability);

// True when the word begins, in any case, with CAP, ICAP or ACAP.
bool CapIsName(const char *a_szWord);

#endif // DRAVO_CAPBUFFER_H
