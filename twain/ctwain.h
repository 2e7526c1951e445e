// ctwain.h
// The public handle of one TWAIN connection, and the types the shell shares
// with the TWAIN engine.
//
// CTwain owns exactly one CTwainImpl (the connection itself) and forwards
// every operation to it unchanged.  When the connection could not be created
// the handle stays usable: every member writes "m_ptwainimpl is null..." to
// the services log (flag 64) and returns its failure value.
//
// A command that is meant to send a triplet and fails without sending one
// (the connection refused its words or its state) leaves TWRC_FAILURE as the
// last return code, with the reason as the condition code (CTwainImpl::Command).
//
// Word vectors: the command's words as the shell split them, word 0 being the
// command word itself; a missing word is a null pointer and ends the list, as
// does an empty word.
#ifndef DRAVO_CTWAIN_H
#define DRAVO_CTWAIN_H

#include <cstdint>

#include "twaindefs.h"

// The TWAIN state of a connection.  1 and 2 are never entered: opening the
// Data Source Manager goes from 0 straight to 3.
enum ETWSTATE
{
    ETWSTATE_NONE       = 0,    // nothing loaded
    ETWSTATE_DSMOPEN    = 3,    // the Data Source Manager is open
    ETWSTATE_DSOPEN     = 4,    // a Data Source is open
    ETWSTATE_DSENABLED  = 5,    // the Data Source is enabled
    ETWSTATE_XFERREADY  = 6,    // a transfer is ready
    ETWSTATE_XFERRING   = 7     // transferring
};

// The run arguments of one script level: the first ten words of the line run
// at that level.  5,124 bytes, compared whole by "ifdiff twrunargs".
#define TWRUNARGS_ARGSIZE 512
#define TWRUNARGS_ARGCOUNT 10
struct twrunargs
{
    uint32_t u32Count;
    char szArg1[TWRUNARGS_ARGSIZE];
    char szArg2[TWRUNARGS_ARGSIZE];
    char szArg3[TWRUNARGS_ARGSIZE];
    char szArg4[TWRUNARGS_ARGSIZE];
    char szArg5[TWRUNARGS_ARGSIZE];
    char szArg6[TWRUNARGS_ARGSIZE];
    char szArg7[TWRUNARGS_ARGSIZE];
    char szArg8[TWRUNARGS_ARGSIZE];
    char szArg9[TWRUNARGS_ARGSIZE];
    char szArg10[TWRUNARGS_ARGSIZE];
};
static_assert(sizeof(twrunargs) == 5124, "twrunargs is 5,124 bytes");

class CTwainImpl;

class CTwain
{
public:
    // a_szProtocol: the application protocol ("1.9", "2.3", ...);
    // a_szLanguage: a TWLG_ symbol ("TWLG_ENGLISH_USA"); a_iInstance: the
    // shell's slot number 0 to 3.  Never throws: a connection that cannot be
    // created leaves m_ptwainimpl null.
    CTwain(const char *a_szProtocol, const char *a_szLanguage, int a_iInstance);

    // Deletes the connection without any TWAIN operation of its own.
    ~CTwain();

    // The connection's state, the Data Source identity (the field itself),
    // the Data Source Manager's name.
    ETWSTATE GetTwState();
    TW_IDENTITY *GetTwIdentity();
    char *GetTwDsm();

    // Data Source Manager: true when the connection answered TWRC_SUCCESS.
    bool DSMOpen();
    bool DSMSet(const char *const *a_aszWords);
    bool DSMFind(const char *a_szName);
    void DSMClose();
    void DSMList(const char *const *a_aszWords);

    // Status tests and expected values.  The last return and condition
    // codes of the connection are copied to the caller's pointers (DSReturn
    // with a null word vector only copies them).
    bool DSIfStatus(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast);
    void DSReturn(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast);
    // a_u32Level: the script level whose run arguments "twrunargs" addresses
    // (the shell passes its depth minus one; at the prompt that is
    // (TW_UINT32)-1, which the connection refuses with a message).
    bool DSIfDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level);
    void DSSetDiff(const char *const *a_aszWords, TW_UINT32 a_u32Level);
    // a_aszArgs: ten texts (entries may be null or empty), stored as the
    // run arguments of the level.
    void DSSetRunArgs(TW_UINT32 a_u32Level, const char *const *a_aszArgs);

    // Display settings: image count (word 1) and image size (word 2).
    void DSDisplay(const char *const *a_aszWords);

    // Data Source open and close, reset, events.
    // (Forwarded in the events and Data Source block of ctwain.cpp.)
    void DSOpen(const char *const *a_aszWords);
    void DSClose(const char *const *a_aszWords);
    void DSResetall();
    void DSWait(const char *const *a_aszWords);

    // Data argument handlers: the command's words go to the connection's
    // handler of the same name (one source each in the engine).

    // Control handlers.
    void DSDatAutoColorLearn(const char *const *a_aszWords);
    void DSDatCalibrate(const char *const *a_aszWords);
    void DSDatCapability(const char *const *a_aszWords);
    void DSDatEcdo(const char *const *a_aszWords);
    void DSDatFirmwareDownload(const char *const *a_aszWords);
    void DSDatIccProfile(const char *const *a_aszWords);
    void DSDatIdentity(const char *const *a_aszWords);

    // Image information, layout, transfers, pending transfers, profiles,
    // set-up, status, user interface, UTC, windows and transfer groups.
    void DSDatImageFileXfer(const char *const *a_aszWords);
    void DSDatImageInfo(const char *const *a_aszWords);
    void DSDatImageLayout(const char *const *a_aszWords);
    void DSDatImageMemFileXfer(const char *const *a_aszWords);
    void DSDatImageMemXfer(const char *const *a_aszWords);
    void DSDatImageNativeXfer(const char *const *a_aszWords);
    void DSDatPendingXfers(const char *const *a_aszWords);
    void DSDatSetupFileXfer(const char *const *a_aszWords);
    void DSDatSetupMemXfer(const char *const *a_aszWords);
    void DSDatStatus(const char *const *a_aszWords);
    void DSDatUserInterface(const char *const *a_aszWords);
    void DSDatUtc(const char *const *a_aszWords);
    void DSDatWindow(const char *const *a_aszWords);
    void DSDatXferGroup(const char *const *a_aszWords);
    // a_iCount: the repeat counter of the shell's current block level.
    void DSDatProfiles(const char *const *a_aszWords, int a_iCount);

    // Extended image information and the device triplets.
    void DSDatExtImageInfo(const char *const *a_aszWords);
    void DSDatConsumableMeters(const char *const *a_aszWords);
    void DSDatCustomDsData(const char *const *a_aszWords);
    void DSDatCustomDsDataGroup(const char *const *a_aszWords);
    void DSDatDeviceInfo(const char *const *a_aszWords);
    void DSDatFileSystem(const char *const *a_aszWords);
    void DSDatLog(const char *const *a_aszWords);
    void DSDatMeters(const char *const *a_aszWords);
    void DSDatOcpButtons(const char *const *a_aszWords);
    void DSDatOverride(const char *const *a_aszWords);
    void DSDatPassThru(const char *const *a_aszWords);
    void DSDatStatusRaw(const char *const *a_aszWords);
    void DSDatTwunkIdentity(const char *const *a_aszWords);

    // TWAIN Direct.
    void DSDatTwainDirect(const char *const *a_aszWords);

    // The capability test engine: get, reset, dscap, dump, set.
    void DSGet(const char *const *a_aszWords);
    void DSReset(const char *const *a_aszWords);
    void DSCap(const char *const *a_aszWords);
    void DSDump(const char *const *a_aszWords);
    void DSSet(const char *const *a_aszWords);

    // Probe and stress tests.
    void DSProbe();
    void TWStress(const char *const *a_aszWords);

private:
    CTwain(const CTwain &) = delete;
    CTwain &operator=(const CTwain &) = delete;

    CTwainImpl *m_ptwainimpl;
};

#endif // DRAVO_CTWAIN_H
