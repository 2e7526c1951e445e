// dravo_forward.cpp
// The commands that forward one TWAIN operation to the current TWAIN object.
//
// Each one checks that there is a current object (else it prints
// "%%error, no current CTwain object...") and hands the command's words to
// the facade member of the same family; the result stays in the connection
// (its last return and condition codes), which is what scripts test.
//
// Wiring another facade member takes one DRAVO_FORWARD line here and one row
// in the command table (dravo_parse.cpp).
#include "dravo.h"

#include "clog.h"
#include "ctwain.h"
#include "osservices.h"

bool CDravo::HaveTwain(bool a_blTriplet)
{
    if (m_ptwain)
        return true;
    Print("%%%%error, no current CTwain object...");
    // A command meant to send a triplet sent none: it is no success.
    if (a_blTriplet)
    {
        m_u16LastRc = TWRC_FAILURE;
        m_u16LastCc = TWCC_SEQERROR;
    }
    return false;
}

// A forwarder taking the word vector.
#define DRAVO_FORWARD(a_cmd, a_member)                                                                                 \
    void CDravo::a_cmd(char **a_aszCmd)                                                                                \
    {                                                                                                                  \
        if (HaveTwain())                                                                                               \
            m_ptwain->a_member(a_aszCmd);                                                                              \
    }

// A forwarder whose facade member takes no words.
#define DRAVO_FORWARD_NOWORDS(a_cmd, a_member)                                                                         \
    void CDravo::a_cmd(char **)                                                                                        \
    {                                                                                                                  \
        if (HaveTwain())                                                                                               \
            m_ptwain->a_member();                                                                                      \
    }

DRAVO_FORWARD(CmdDsmlist, DSMList)
DRAVO_FORWARD_NOWORDS(CmdDsmclose, DSMClose)
// Display and wait send no triplet of their own: they keep the codes.
void CDravo::CmdDisplay(char **a_aszCmd)
{
    if (HaveTwain(false))
        m_ptwain->DSDisplay(a_aszCmd);
}
DRAVO_FORWARD(CmdDsopen, DSOpen)
DRAVO_FORWARD(CmdDsclose, DSClose)
DRAVO_FORWARD_NOWORDS(CmdDsresetall, DSResetall)
void CDravo::CmdDswait(char **a_aszCmd)
{
    if (HaveTwain(false))
        m_ptwain->DSWait(a_aszCmd);
}

// Data argument handlers.

// Control handlers.
DRAVO_FORWARD(CmdDatAutoColorLearn, DSDatAutoColorLearn)
DRAVO_FORWARD(CmdDatCalibrate, DSDatCalibrate)
DRAVO_FORWARD(CmdDatCapability, DSDatCapability)
DRAVO_FORWARD(CmdDatEcdo, DSDatEcdo)
DRAVO_FORWARD(CmdDatFirmwareDownload, DSDatFirmwareDownload)
DRAVO_FORWARD(CmdDatIccProfile, DSDatIccProfile)
DRAVO_FORWARD(CmdDatIdentity, DSDatIdentity)

// Image information, layout, transfers, pending transfers, profiles, set-up,
// status, user interface, UTC, windows and transfer groups.
DRAVO_FORWARD(CmdDatImageFileXfer, DSDatImageFileXfer)
DRAVO_FORWARD(CmdDatImageInfo, DSDatImageInfo)
DRAVO_FORWARD(CmdDatImageLayout, DSDatImageLayout)
DRAVO_FORWARD(CmdDatImageMemFileXfer, DSDatImageMemFileXfer)
DRAVO_FORWARD(CmdDatImageMemXfer, DSDatImageMemXfer)
DRAVO_FORWARD(CmdDatImageNativeXfer, DSDatImageNativeXfer)
DRAVO_FORWARD(CmdDatPendingXfers, DSDatPendingXfers)
DRAVO_FORWARD(CmdDatSetupFileXfer, DSDatSetupFileXfer)
DRAVO_FORWARD(CmdDatSetupMemXfer, DSDatSetupMemXfer)
DRAVO_FORWARD(CmdDatStatus, DSDatStatus)
DRAVO_FORWARD(CmdDatUserInterface, DSDatUserInterface)
DRAVO_FORWARD(CmdDatUtc, DSDatUtc)
DRAVO_FORWARD(CmdDatWindow, DSDatWindow)
DRAVO_FORWARD(CmdDatXferGroup, DSDatXferGroup)

void CDravo::CmdDatProfiles(char **a_aszCmd)
{
    if (HaveTwain())
        m_ptwain->DSDatProfiles(a_aszCmd, m_aiRepeatCount[m_iDepth]);
}

// Extended image information and the device triplets.
DRAVO_FORWARD(CmdDatExtImageInfo, DSDatExtImageInfo)
DRAVO_FORWARD(CmdDatConsumableMeters, DSDatConsumableMeters)
DRAVO_FORWARD(CmdDatCustomDsData, DSDatCustomDsData)
DRAVO_FORWARD(CmdDatCustomDsDataGroup, DSDatCustomDsDataGroup)
DRAVO_FORWARD(CmdDatDeviceInfo, DSDatDeviceInfo)
DRAVO_FORWARD(CmdDatFileSystem, DSDatFileSystem)
DRAVO_FORWARD(CmdDatLog, DSDatLog)
DRAVO_FORWARD(CmdDatMeters, DSDatMeters)
DRAVO_FORWARD(CmdDatOcpButtons, DSDatOcpButtons)
DRAVO_FORWARD(CmdDatOverride, DSDatOverride)
DRAVO_FORWARD(CmdDatPassThru, DSDatPassThru)
DRAVO_FORWARD(CmdDatStatusRaw, DSDatStatusRaw)
DRAVO_FORWARD(CmdDatTwunkIdentity, DSDatTwunkIdentity)

// TWAIN Direct.
DRAVO_FORWARD(CmdDatTwainDirect, DSDatTwainDirect)

// The capability test engine, probe and stress tests.
DRAVO_FORWARD(CmdDsget, DSGet)
DRAVO_FORWARD(CmdDsset, DSSet)
DRAVO_FORWARD(CmdDsreset, DSReset)
DRAVO_FORWARD(CmdDscap, DSCap)
DRAVO_FORWARD(CmdDump, DSDump)
DRAVO_FORWARD_NOWORDS(CmdDsprobe, DSProbe)

// The Data Source Manager commands that turn a failure into an error line.

void CDravo::CmdDsmopen(char **)
{
    if (HaveTwain() && !m_ptwain->DSMOpen())
        Print("%%%%error, failed to open the DSM...");
}

void CDravo::CmdDsmset(char **a_aszCmd)
{
    if (HaveTwain() && !m_ptwain->DSMSet(a_aszCmd))
        Print("%%%%error, can't select driver...<%s>", a_aszCmd[1] ? a_aszCmd[1] : "");
}

void CDravo::CmdDsmfind(char **a_aszCmd)
{
    if (!a_aszCmd || !a_aszCmd[0] || !a_aszCmd[1])
    {
        Print("%%%%error, missing argument (must specify string)");
        return;
    }
    if (HaveTwain(false) && !m_ptwain->DSMFind(a_aszCmd[1]))
        Print("%%%%error, string not found...");
}
