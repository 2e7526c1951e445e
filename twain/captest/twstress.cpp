// twstress.cpp
// The stress test of a Data Source: twelve per-triplet tests (null data
// first, then good data, each with the exact codes a conforming DSM and
// source answer), then the whole capability battery; the vibration loops
// (open/close, UI-only enable/disable, enable/disable without UI, with
// growing delays); and the scan-rate measurement.
#include "ctwainimpl.h"

#include "capbuffer.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace
{

// The outcome of one per-triplet test.
enum EStress
{
    STRESS_PASS,
    STRESS_FAIL,
    STRESS_SKIP
};

// One null attempt: its label, the message sent with a null data pointer,
// the results accepted (with the status flag the condition code, else the
// return code), and whether TWCC_BADPROTOCOL ends the test as skipped.
struct StressNull
{
    const char *szLabel;
    TW_UINT16 twmsg;
    TW_UINT16 twExpected;
    TW_UINT16 twAlso;          // a second accepted result (same as the first when none)
    bool blSkipOnBadProtocol;
};

const TW_UINT16 TWSTRESS_NODATA = 0xFFFF;   // the test sends no good data

// How long the scan loop waits for its first image at most, in 10 ms polls.
const int TWSCAN_READYPOLLS = 3000;
// The application-owned block every memory strip is transferred into.
const TW_UINT32 TWSCAN_BLOCK = 0x1000000;
// The most blocks and bytes one image of the scan may take: far above any
// real page (a million rows, 16 GiB).
const uint64_t TWSCAN_MAXBLOCKS = 0x100000;
const uint64_t TWSCAN_MAXBYTES = 0x400000000ULL;
const uint64_t TWSCAN_SPAREBLOCKS = 4096;

bool Present(const char *a_szWord)
{
    return a_szWord && a_szWord[0];
}

// The DSM speaks the second protocol generation.
bool DsmIs2x(CTwainImpl *a_ptwainimpl)
{
    return (a_ptwainimpl->m_twidentityApp.SupportedGroups & DF_DSM2) != 0;
}

// The DSM and the open source both speak the second generation: only then
// are the null attempts made.
bool Both2x(CTwainImpl *a_ptwainimpl)
{
    return DsmIs2x(a_ptwainimpl) && ((a_ptwainimpl->m_twidentityDs.SupportedGroups & DF_DS2) != 0);
}

// The same while only the DSM is open: the source is the one the tests open.
bool DsmAndSource2x(CTwainImpl *a_ptwainimpl)
{
    return DsmIs2x(a_ptwainimpl) && a_ptwainimpl->m_blStressSource2x;
}

// Opens the source of the tests and notes its generation.
TW_UINT16 StressOpenSource(CTwainImpl *a_ptwainimpl, const char *a_szSource)
{
    TW_UINT16 twrc = a_ptwainimpl->DSOpen(a_szSource);
    if (twrc == TWRC_SUCCESS)
    {
        a_ptwainimpl->m_blStressSource2x = (a_ptwainimpl->m_twidentityDs.SupportedGroups & DF_DS2) != 0;
    }
    return twrc;
}

// Sends each null attempt of a list (DG_CONTROL); stops at the first answer
// that is not accepted.  The condition of a failure is read at once, also
// where the return code is judged, so that it is never taken for the
// condition of a later step (a DSM keeps it until it is read).  A call that
// crashed is no refusal: it fails the test, said as its status line.
EStress StressNulls(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twdat, const StressNull *a_pstressnull, size_t a_u64Count,
                    bool a_blStatus)
{
    for (size_t ii = 0; ii < a_u64Count; ii++)
    {
        const StressNull &stressnull = a_pstressnull[ii];
        TWAINLOG("%s", stressnull.szLabel);
        TW_UINT16 tw = a_ptwainimpl->DsmEntry(DG_CONTROL, a_twdat, stressnull.twmsg, nullptr, a_blStatus, false);
        if (!a_blStatus)
        {
            a_ptwainimpl->ReadCondition(tw);
        }
        if (CapSaidCrash(a_ptwainimpl, "  "))
        {
            return STRESS_FAIL;
        }
        if (stressnull.blSkipOnBadProtocol && (tw == TWCC_BADPROTOCOL))
        {
            return STRESS_SKIP;
        }
        if ((tw != stressnull.twExpected) && (tw != stressnull.twAlso))
        {
            return STRESS_FAIL;
        }
    }
    return STRESS_PASS;
}

// One good-data step with its label: the condition code of the call must
// be the one expected (TWCC_SUCCESS stands for a success: a call that did
// not fail has no condition code of its own); a call that crashed never is.
bool StressStep(CTwainImpl *a_ptwainimpl, const char *a_szLabel, TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg,
                TW_MEMREF a_pdata, TW_UINT16 a_twccExpected)
{
    TWAINLOG("%s", a_szLabel);
    TW_UINT16 twcc = a_ptwainimpl->DsmEntry(a_twdg, a_twdat, a_twmsg, a_pdata, true, false);
    return !CapSaidCrash(a_ptwainimpl, "  ") && (twcc == a_twccExpected);
}

// Enables the source (MSG_ENABLEDS or MSG_ENABLEDSUIONLY) with a zeroed
// user interface record; gives the return code.  A source that answers
// TWRC_CHECKSTATUS enabled itself with its user interface: it is in state 5
// too, and is disabled again on the way back.
TW_UINT16 StressEnable(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twmsg, bool a_blShowUi)
{
    TW_USERINTERFACE twuserinterface;
    memset(&twuserinterface, 0, sizeof(twuserinterface));
    twuserinterface.ShowUI = a_blShowUi ? 1 : 0;
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, a_twmsg, &twuserinterface, false, false);
    if ((twrc == TWRC_SUCCESS) || (twrc == TWRC_CHECKSTATUS))
    {
        a_ptwainimpl->RaiseTwState(ETWSTATE_DSENABLED);
    }
    return twrc;
}

TW_UINT16 StressResetPending(CTwainImpl *a_ptwainimpl)
{
    TW_PENDINGXFERS twpendingxfers;
    memset(&twpendingxfers, 0, sizeof(twpendingxfers));
    return a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twpendingxfers, false, false);
}

// Disables the source; gives the return code of MSG_DISABLEDS.  A source
// whose transfer-ready event came first is in state 6, where a disable is
// out of sequence: its pending transfers are ended first (also when the
// event was on its way while the disable was refused).
TW_UINT16 StressDisable(CTwainImpl *a_ptwainimpl)
{
    if (a_ptwainimpl->GetTwState() >= ETWSTATE_XFERREADY)
    {
        StressResetPending(a_ptwainimpl);
    }
    TW_USERINTERFACE twuserinterface;
    memset(&twuserinterface, 0, sizeof(twuserinterface));
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, true, false);
    if (twrc == TWCC_SEQERROR)
    {
        StressResetPending(a_ptwainimpl);
        memset(&twuserinterface, 0, sizeof(twuserinterface));
        twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twuserinterface, true, false);
    }
    // The condition code of a failure stands for it as a failure.
    twrc = (twrc == TWCC_SUCCESS) ? TWRC_SUCCESS : TWRC_FAILURE;
    if (twrc == TWRC_SUCCESS)
    {
        a_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    }
    return twrc;
}

// Back to state 0 from wherever a test stopped.
void StressCloseAll(CTwainImpl *a_ptwainimpl)
{
    a_ptwainimpl->RollBack(a_ptwainimpl->GetTwState(), ETWSTATE_NONE);
    a_ptwainimpl->DSMClose();
}

// The loops drive the disable themselves: a close request or close OK from
// the source only raises its flag meanwhile.
class CStressNoAutoDisable
{
public:
    explicit CStressNoAutoDisable(CTwainImpl *a_ptwainimpl)
        : m_ptwainimpl(a_ptwainimpl), m_blAutoDisable(a_ptwainimpl->m_blAutoDisable.load())
    {
        m_ptwainimpl->m_blAutoDisable = false;
    }
    ~CStressNoAutoDisable() { m_ptwainimpl->m_blAutoDisable = m_blAutoDisable; }

private:
    CTwainImpl *m_ptwainimpl;
    bool m_blAutoDisable;
};

typedef EStress (*StressBody)(CTwainImpl *a_ptwainimpl, const char *a_szSource);

// The frame of every per-triplet test: title, open (the DSM only, or the
// source too), body, verdict, back to state 0.
bool StressFrame(CTwainImpl *a_ptwainimpl, const char *a_szDat, const char *a_szSource, bool a_blOpenSource,
                 StressBody a_pfnBody)
{
    TWAINLOG("%s", "");
    TWAINLOG("\033[31m\033[1m%s stress test...\033[0m", a_szDat);
    EStress estress = STRESS_FAIL;
    if ((a_ptwainimpl->DSMOpen() == TWRC_SUCCESS) &&
        (!a_blOpenSource || (StressOpenSource(a_ptwainimpl, a_szSource) == TWRC_SUCCESS)))
    {
        estress = a_pfnBody(a_ptwainimpl, a_szSource);
    }
    TWAINLOG("%s %s...", a_szDat, (estress == STRESS_PASS) ? "passed" : (estress == STRESS_SKIP) ? "skipped" : "failed");
    StressCloseAll(a_ptwainimpl);
    return estress != STRESS_FAIL;
}

// ---------------------------------------------------------------------------
// The twelve bodies
// ---------------------------------------------------------------------------

EStress BodyCapability(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETCURRENT NULL (should fail)", MSG_GETCURRENT, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETDEFAULT NULL (should fail)", MSG_GETDEFAULT, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_SET NULL (should fail)", MSG_SET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_RESET NULL (should fail)", MSG_RESET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_QUERYSUPPORT NULL (should fail)", MSG_QUERYSUPPORT, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    if (Both2x(a_ptwainimpl) && (StressNulls(a_ptwainimpl, DAT_CAPABILITY, s_astressnull,
                                             sizeof(s_astressnull) / sizeof(s_astressnull[0]), true) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }

    TWAINLOG("%s", "  Go to state 5...");
    if (StressEnable(a_ptwainimpl, MSG_ENABLEDS, true) != TWRC_SUCCESS)
    {
        return STRESS_FAIL;
    }
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_XFERMECH;
    TWAINLOG("%s", "  MSG_QUERYSUPPORT ICAP_XFERMECH (should pass)");
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, &twcapability, false, false);
    a_ptwainimpl->DsMemFree(twcapability.hContainer);
    if (twrc != TWRC_SUCCESS)
    {
        return STRESS_FAIL;
    }
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_XFERMECH;
    TWAINLOG("%s", "  MSG_GET ICAP_XFERMECH (should pass)");
    if (a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapability, false, false) != TWRC_SUCCESS)
    {
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return STRESS_FAIL;
    }
    // The answer goes back in a container of our own that holds all its
    // header claims.
    if (twcapability.hContainer)
    {
        CapBuffer capbuffer;
        capbuffer.Read(a_ptwainimpl, twcapability.hContainer);
        if (!CapReplace(a_ptwainimpl, &twcapability, capbuffer))
            return STRESS_FAIL;
    }
    bool blSetRefused = StressStep(a_ptwainimpl, "  MSG_SET ICAP_XFERMECH (should fail)", DG_CONTROL, DAT_CAPABILITY,
                                   MSG_SET, &twcapability, TWCC_SEQERROR);
    a_ptwainimpl->DsMemFree(twcapability.hContainer);
    if (!blSetRefused)
    {
        return STRESS_FAIL;
    }
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_XFERMECH;
    bool blResetRefused = StressStep(a_ptwainimpl, "  MSG_RESET ICAP_XFERMECH (should fail)", DG_CONTROL,
                                     DAT_CAPABILITY, MSG_RESET, &twcapability, TWCC_SEQERROR);
    // A reset that went through answers with a container.
    a_ptwainimpl->DsMemFree(twcapability.hContainer);
    if (!blResetRefused)
    {
        return STRESS_FAIL;
    }
    TWAINLOG("%s", "  Go to state 4...");
    return (StressDisable(a_ptwainimpl) == TWRC_SUCCESS) ? STRESS_PASS : STRESS_FAIL;
}

EStress BodyCustomDsData(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, true},
        {"  MSG_SET NULL (should fail)", MSG_SET, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    if (!Both2x(a_ptwainimpl))
    {
        return STRESS_PASS;
    }
    return StressNulls(a_ptwainimpl, DAT_CUSTOMDSDATA, s_astressnull, 2, true);
}

EStress BodyEntryPoint(CTwainImpl *a_ptwainimpl, const char *)
{
    // Only where the entry points come from the DSM of the first platform.
    if (!DsmIs2x(a_ptwainimpl) || (COsCfg::InfoGetLong(OS_CFGINFO_OSFAMILY, 0, true) != 1))
    {
        return STRESS_SKIP;
    }
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    return StressNulls(a_ptwainimpl, DAT_ENTRYPOINT, s_astressnull, 1, true);
}

EStress BodyEvent(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_PROCESSEVENT NULL (should fail)", MSG_PROCESSEVENT, TWCC_BADVALUE, TWCC_BADVALUE, true},
    };
    bool bl2x = Both2x(a_ptwainimpl);
    if (bl2x)
    {
        EStress estress = StressNulls(a_ptwainimpl, DAT_EVENT, s_astressnull, 1, true);
        if (estress != STRESS_PASS)
        {
            return estress;
        }
    }
    TWAINLOG("%s", "  Go to state 5...");
    if (StressEnable(a_ptwainimpl, MSG_ENABLEDS, true) != TWRC_SUCCESS)
    {
        return STRESS_FAIL;
    }
    if (bl2x)
    {
        StressNull stressnull = s_astressnull[0];
        stressnull.blSkipOnBadProtocol = false;
        if (StressNulls(a_ptwainimpl, DAT_EVENT, &stressnull, 1, true) != STRESS_PASS)
        {
            return STRESS_FAIL;
        }
    }
    TWAINLOG("%s", "  Go to state 4...");
    return (StressDisable(a_ptwainimpl) == TWRC_SUCCESS) ? STRESS_PASS : STRESS_FAIL;
}

// One change of directory to the name a file-system record reported.
bool StressChangeDirectory(CTwainImpl *a_ptwainimpl, TW_FILESYSTEM *a_ptwfilesystem)
{
    char szName[sizeof(TW_STR255)];
    TwainFieldText(a_ptwfilesystem->OutputName, sizeof(TW_STR255), szName, sizeof(szName));
    TWAINLOG("  MSG_CHANGEDIRECTORY to %s", szName);
    memcpy(a_ptwfilesystem->InputName, a_ptwfilesystem->OutputName, sizeof(TW_STR255));
    return a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_CHANGEDIRECTORY, a_ptwfilesystem, true, false) ==
           TWCC_SUCCESS;
}

EStress BodyFileSystem(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_CHANGEDIRECTORY NULL (should fail)", MSG_CHANGEDIRECTORY, TWCC_BADVALUE, TWCC_BADVALUE, true},
        {"  MSG_CREATEDIRECTORY NULL (should fail)", MSG_CREATEDIRECTORY, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_DELETE NULL (should fail)", MSG_DELETE, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETFIRSTFILE NULL (should fail)", MSG_GETFIRSTFILE, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETNEXTFILE NULL (should fail)", MSG_GETNEXTFILE, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETINFO NULL (should fail)", MSG_GETINFO, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_RENAME NULL (should fail)", MSG_RENAME, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    bool bl2x = Both2x(a_ptwainimpl);
    if (bl2x)
    {
        EStress estress = StressNulls(a_ptwainimpl, DAT_FILESYSTEM, s_astressnull,
                                      sizeof(s_astressnull) / sizeof(s_astressnull[0]), true);
        if (estress != STRESS_PASS)
        {
            return estress;
        }
    }

    // The directory we are in, to come back to.
    TW_FILESYSTEM twfilesystemInfo;
    memset(&twfilesystemInfo, 0, sizeof(twfilesystemInfo));
    TWAINLOG("%s", "  MSG_GETINFO");
    TW_UINT16 twcc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_FILESYSTEM, MSG_GETINFO, &twfilesystemInfo, true, false);
    if (twcc != TWCC_SUCCESS)
    {
        // Without the null attempts a source without a file system is
        // found out here.
        return (!bl2x && (twcc == TWCC_BADPROTOCOL)) ? STRESS_SKIP : STRESS_FAIL;
    }

    // Into every entry of the list.  A source that never reaches the end of
    // its list fails the test.
    TW_FILESYSTEM twfilesystem;
    memset(&twfilesystem, 0, sizeof(twfilesystem));
    TWAINLOG("%s", "  MSG_GETFIRSTFILE/MSG_GETNEXTFILE");
    CTwainFileWalk filewalk;
    CTwainFileWalk::EStep estep = filewalk.First(a_ptwainimpl, &twfilesystem);
    for (; estep == CTwainFileWalk::FILEWALK_ENTRY; estep = filewalk.Next(a_ptwainimpl, &twfilesystem))
    {
        if (!StressChangeDirectory(a_ptwainimpl, &twfilesystem))
        {
            return STRESS_FAIL;
        }
    }
    if (estep == CTwainFileWalk::FILEWALK_AGAIN)
    {
        TWAINLOG("  %.*s listed again, no TWRC_ENDOFLIST", static_cast<int>(sizeof(twfilesystem.OutputName)),
                 twfilesystem.OutputName);
    }
    else if (estep == CTwainFileWalk::FILEWALK_TOOMANY)
    {
        TWAINLOG("  more than %d entries, no TWRC_ENDOFLIST", TWAINIMPL_FILEWALK);
    }
    else if (estep == CTwainFileWalk::FILEWALK_FAILED)
    {
        // A refusal's condition is read at once; a crash is no refusal.
        a_ptwainimpl->ReadCondition(filewalk.Rc());
        if (CapSaidCrash(a_ptwainimpl, "  "))
        {
            return STRESS_FAIL;
        }
    }
    // The first call may fail at once (an empty file system); after an
    // entry only the end of the list passes.
    if ((estep != CTwainFileWalk::FILEWALK_END) && (filewalk.Entries() > 0))
    {
        return STRESS_FAIL;
    }
    return StressChangeDirectory(a_ptwainimpl, &twfilesystemInfo) ? STRESS_PASS : STRESS_FAIL;
}

EStress BodyIdentity(CTwainImpl *a_ptwainimpl, const char *)
{
    // Every message goes to the DSM; the null attempts are made for a
    // second-generation source only, as in the other tests.
    if (!DsmAndSource2x(a_ptwainimpl))
    {
        return STRESS_PASS;
    }
    // The DSM answers these, not the source under test: each passes on a
    // failure, whatever condition code the DSM gives with it (the widely used
    // DSM fails MSG_GETFIRST without one).
    static const StressNull s_astressnullGet[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWRC_FAILURE, TWRC_FAILURE, false},
    };
    static const StressNull s_astressnull[] = {
        {"  MSG_GETDEFAULT NULL (should fail)", MSG_GETDEFAULT, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_GETFIRST NULL (should fail)", MSG_GETFIRST, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_GETNEXT NULL (should fail)", MSG_GETNEXT, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_USERSELECT NULL (should fail)", MSG_USERSELECT, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_OPENDS NULL (should fail)", MSG_OPENDS, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_CLOSEDS NULL (should fail)", MSG_CLOSEDS, TWRC_FAILURE, TWRC_FAILURE, false},
    };
    if (StressNulls(a_ptwainimpl, DAT_IDENTITY, s_astressnullGet, 1, false) != STRESS_PASS)
    {
        return STRESS_FAIL;
    }
    TW_IDENTITY twidentity;
    memset(&twidentity, 0, sizeof(twidentity));
    if (!StressStep(a_ptwainimpl, "  MSG_GETDEFAULT", DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twidentity,
                    TWCC_SUCCESS))
    {
        return STRESS_FAIL;
    }
    return StressNulls(a_ptwainimpl, DAT_IDENTITY, s_astressnull, sizeof(s_astressnull) / sizeof(s_astressnull[0]),
                       false);
}

EStress BodySetupFileXfer(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, true},
        {"  MSG_GETCURRENT NULL (should fail)", MSG_GETCURRENT, TWCC_BADVALUE, TWCC_BADPROTOCOL, false},
        {"  MSG_GETDEFAULT NULL (should fail)", MSG_GETDEFAULT, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_SET NULL (should fail)", MSG_SET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_RESET NULL (should fail)", MSG_RESET, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    if (Both2x(a_ptwainimpl))
    {
        EStress estress = StressNulls(a_ptwainimpl, DAT_SETUPFILEXFER, s_astressnull,
                                      sizeof(s_astressnull) / sizeof(s_astressnull[0]), true);
        if (estress != STRESS_PASS)
        {
            return estress;
        }
    }
    TW_SETUPFILEXFER twsetupfilexferA;
    TW_SETUPFILEXFER twsetupfilexferB;
    memset(&twsetupfilexferA, 0, sizeof(twsetupfilexferA));
    memset(&twsetupfilexferB, 0, sizeof(twsetupfilexferB));
    if (!StressStep(a_ptwainimpl, "  MSG_GET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &twsetupfilexferA,
                    TWCC_SUCCESS))
    {
        return STRESS_FAIL;
    }
    TWAINLOG("%s", "  MSG_GETCURRENT");
    TW_UINT16 twcc =
        a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, &twsetupfilexferB, true, false);
    if (!((twcc == TWCC_BADPROTOCOL) ||
          ((twcc == TWCC_SUCCESS) && (memcmp(&twsetupfilexferA, &twsetupfilexferB, sizeof(twsetupfilexferA)) == 0))))
    {
        return STRESS_FAIL;
    }
    memset(&twsetupfilexferB, 0, sizeof(twsetupfilexferB));
    if (!StressStep(a_ptwainimpl, "  MSG_GETDEFAULT", DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, &twsetupfilexferB,
                    TWCC_SUCCESS))
    {
        return STRESS_FAIL;
    }
    memset(twsetupfilexferB.FileName, 0, sizeof(twsetupfilexferB.FileName));
    COsString::SStrCpy(twsetupfilexferB.FileName, sizeof(twsetupfilexferB.FileName), "./test.tmp");
    if (!StressStep(a_ptwainimpl, "  MSG_SET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twsetupfilexferB,
                    TWCC_SUCCESS))
    {
        return STRESS_FAIL;
    }
    return StressStep(a_ptwainimpl, "  MSG_RESET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &twsetupfilexferB,
                      TWCC_SUCCESS)
               ? STRESS_PASS
               : STRESS_FAIL;
}

EStress BodySetupMemXfer(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_GETCURRENT NULL (should fail)", MSG_GETCURRENT, TWCC_BADVALUE, TWCC_BADPROTOCOL, false},
        {"  MSG_GETDEFAULT NULL (should fail)", MSG_GETDEFAULT, TWCC_BADVALUE, TWCC_BADPROTOCOL, false},
    };
    if (Both2x(a_ptwainimpl) && (StressNulls(a_ptwainimpl, DAT_SETUPMEMXFER, s_astressnull, 3, true) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }
    TW_SETUPMEMXFER twsetupmemxfer;
    memset(&twsetupmemxfer, 0, sizeof(twsetupmemxfer));
    return StressStep(a_ptwainimpl, "  MSG_GET", DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &twsetupmemxfer,
                      TWCC_SUCCESS)
               ? STRESS_PASS
               : STRESS_FAIL;
}

// DAT_STATUS: the DSM's answers in state 3, the source's in state 4.

EStress BodyStatus(CTwainImpl *a_ptwainimpl, const char *a_szSource)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_CHECKSTATUS NULL (should fail)", MSG_CHECKSTATUS, TWRC_FAILURE, TWRC_FAILURE, false},
    };
    if (DsmAndSource2x(a_ptwainimpl) &&
        (StressNulls(a_ptwainimpl, DAT_STATUS, s_astressnull, 2, false) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }
    if (StressOpenSource(a_ptwainimpl, a_szSource) != TWRC_SUCCESS)
    {
        return STRESS_FAIL;
    }
    if (Both2x(a_ptwainimpl) && (StressNulls(a_ptwainimpl, DAT_STATUS, s_astressnull, 2, false) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }
    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    TWAINLOG("%s", "  MSG_GET");
    return (a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, false, false) == TWRC_SUCCESS)
               ? STRESS_PASS
               : STRESS_FAIL;
}

EStress BodyUserInterface(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_ENABLEDS NULL (should fail)", MSG_ENABLEDS, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_ENABLEDSUIONLY NULL (should fail)", MSG_ENABLEDSUIONLY, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_DISABLEDS NULL (should fail)", MSG_DISABLEDS, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    if (!Both2x(a_ptwainimpl))
    {
        return STRESS_PASS;
    }
    return StressNulls(a_ptwainimpl, DAT_USERINTERFACE, s_astressnull, 3, true);
}

EStress BodyXferGroup(CTwainImpl *a_ptwainimpl, const char *)
{
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWCC_BADVALUE, TWCC_BADVALUE, false},
        {"  MSG_SET NULL (should fail)", MSG_SET, TWCC_BADVALUE, TWCC_BADVALUE, false},
    };
    if (Both2x(a_ptwainimpl) && (StressNulls(a_ptwainimpl, DAT_XFERGROUP, s_astressnull, 2, true) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }
    TW_UINT32 twu32Group = 0;
    if (!StressStep(a_ptwainimpl, "  MSG_GET", DG_CONTROL, DAT_XFERGROUP, MSG_GET, &twu32Group, TWCC_SUCCESS))
    {
        return STRESS_FAIL;
    }
    return StressStep(a_ptwainimpl, "  MSG_SET", DG_CONTROL, DAT_XFERGROUP, MSG_SET, &twu32Group, TWCC_SUCCESS)
               ? STRESS_PASS
               : STRESS_FAIL;
}

EStress BodyStatusRaw(CTwainImpl *a_ptwainimpl, const char *)
{
    // The raw status belongs to this program's own sources.
    if (strncmp(a_ptwainimpl->m_twidentityDs.Version.Info, "ZAV v", 5) != 0)
    {
        return STRESS_SKIP;
    }
    static const StressNull s_astressnull[] = {
        {"  MSG_GET NULL (should fail)", MSG_GET, TWRC_FAILURE, TWRC_FAILURE, false},
        {"  MSG_CHECKSTATUS NULL (should fail)", MSG_CHECKSTATUS, TWRC_FAILURE, TWRC_FAILURE, false},
    };
    if (Both2x(a_ptwainimpl) && (StressNulls(a_ptwainimpl, DAT_STATUSRAW, s_astressnull, 2, false) != STRESS_PASS))
    {
        return STRESS_FAIL;
    }
    // A status record with room to spare: the source writes what it has.
    // The failure expected is read at once, as the null attempts are.
    TW_UINT8 au8Status[1024];
    memset(au8Status, 0, sizeof(au8Status));
    TWAINLOG("%s", "  MSG_GET");
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUSRAW, MSG_GET, au8Status, false, false);
    a_ptwainimpl->ReadCondition(twrc);
    return (!CapSaidCrash(a_ptwainimpl, "  ") && (twrc == TWRC_FAILURE)) ? STRESS_PASS : STRESS_FAIL;
}

// ---------------------------------------------------------------------------
// Vibration helpers
// ---------------------------------------------------------------------------

bool WordIs(const char *a_szWord, const char *a_szValue)
{
    return a_szWord && (strcasecmp(a_szWord, a_szValue) == 0);
}

bool ModeRuns(const char *a_szMode, const char *a_szOwn)
{
    return WordIs(a_szMode, a_szOwn) || WordIs(a_szMode, "allonly") || WordIs(a_szMode, "vibrationonly");
}

void StressSleep(int a_iMilliseconds)
{
    if (a_iMilliseconds > 0)
    {
        OS_SLEEP(a_iMilliseconds);
    }
}

// Chooses the source named by word 2 of a mode's words.
TW_UINT16 StressChoose(CTwainImpl *a_ptwainimpl, const char *a_szName)
{
    TW_UINT16 twrc = a_ptwainimpl->DSMOpen();
    if (twrc != TWRC_SUCCESS)
    {
        return twrc;
    }
    const char *aszList[] = {"dsmlist", "silent", nullptr};
    a_ptwainimpl->DSMList(aszList);
    const char *aszSet[] = {"dsmset", a_szName, nullptr};
    return a_ptwainimpl->DSMSet(aszSet);
}

} // namespace

// ---------------------------------------------------------------------------
// TWStress
// ---------------------------------------------------------------------------

TW_UINT16 CTwainImpl::TWStress(const char *const *a_aszWords)
{
    const char *szProtocol = DatArg(a_aszWords, 1);
    const char *szName = Present(szProtocol) ? DatArg(a_aszWords, 2) : nullptr;
    const char *szMode = Present(szName) ? DatArg(a_aszWords, 3) : nullptr;

    if (Present(szMode))
    {
        if (WordIs(szMode, "vibration") || WordIs(szMode, "vibrationonly") || WordIs(szMode, "openonly") ||
            WordIs(szMode, "scanonly") || WordIs(szMode, "uionly") || WordIs(szMode, "allonly"))
        {
            TW_UINT16 twrc = TWVibration(a_aszWords);
            if ((twrc != TWRC_SUCCESS) || !WordIs(szMode, "vibration"))
            {
                return twrc;
            }
        }
        else if (WordIs(szMode, "scan"))
        {
            return TWScan(a_aszWords);
        }
    }

    // The source's full name, from the DSM's list.
    m_blStressSource2x = false;
    char szSource[64] = "";
    if (Present(szName))
    {
        if (StressChoose(this, szName) != TWRC_SUCCESS)
        {
            StressCloseAll(this);
            return TWRC_FAILURE;
        }
        TwainFieldText(m_twidentityDs.ProductName, sizeof(TW_STR32), szSource, sizeof(szSource));
        DSMClose();
    }
    const char *szSourceOrNull = szSource[0] ? szSource : nullptr;

    // The twelve tests, in this order; the first that fails ends the run.
    typedef bool (CTwainImpl::*StressTest)(const char *a_szSource);
    static const StressTest s_apfnstresstest[] = {
        &CTwainImpl::TWStress_DatCapability,    &CTwainImpl::TWStress_DatCustomDsData,
        &CTwainImpl::TWStress_DatEntryPoint,    &CTwainImpl::TWStress_DatEvent,
        &CTwainImpl::TWStress_DatFileSystem,    &CTwainImpl::TWStress_DatIdentity,
        &CTwainImpl::TWStress_DatSetupFileXfer, &CTwainImpl::TWStress_DatSetupMemXfer,
        &CTwainImpl::TWStress_DatStatus,        &CTwainImpl::TWStress_DatUserInterface,
        &CTwainImpl::TWStress_DatXferGroup,     &CTwainImpl::TWStress_DatStatusRaw,
    };
    for (StressTest pfnstresstest : s_apfnstresstest)
    {
        if (!(this->*pfnstresstest)(szSourceOrNull))
        {
            return TWRC_FAILURE;
        }
    }
    if (!szSourceOrNull)
    {
        return TWRC_SUCCESS;
    }

    // The whole capability battery.
    if ((DSMOpen() != TWRC_SUCCESS) || (DSOpen(szSourceOrNull) != TWRC_SUCCESS))
    {
        StressCloseAll(this);
        return TWRC_FAILURE;
    }
    const char *aszValidate[] = {"dscap", "cap_supportedcaps", "validate", nullptr};
    DSCap(aszValidate);
    TWAINLOG("%s", "This section runs very slowly when using TWAIN_32.DLL, this is normal...");
    const char *aszAll[] = {"dscap", "all", nullptr};
    DSCap(aszAll);
    StressCloseAll(this);
    return TWRC_SUCCESS;
}

// Each test: its title, what it opens, its body.
#define TWSTRESS_TEST(a_member, a_szDat, a_blOpenSource, a_pfnBody)                                                    \
    bool CTwainImpl::a_member(const char *a_szSource)                                                                  \
    {                                                                                                                  \
        CStressNoAutoDisable stressnoautodisable(this);                                                                \
        return StressFrame(this, a_szDat, a_szSource, a_blOpenSource, a_pfnBody);                                      \
    }

TWSTRESS_TEST(TWStress_DatCapability, "DAT_CAPABILITY", true, BodyCapability)
TWSTRESS_TEST(TWStress_DatCustomDsData, "DAT_CUSTOMDSDATA", true, BodyCustomDsData)
TWSTRESS_TEST(TWStress_DatEntryPoint, "DAT_ENTRYPOINT", false, BodyEntryPoint)
TWSTRESS_TEST(TWStress_DatEvent, "DAT_EVENT", true, BodyEvent)
TWSTRESS_TEST(TWStress_DatFileSystem, "DAT_FILESYSTEM", true, BodyFileSystem)
TWSTRESS_TEST(TWStress_DatIdentity, "DAT_IDENTITY", false, BodyIdentity)
TWSTRESS_TEST(TWStress_DatSetupFileXfer, "DAT_SETUPFILEXFER", true, BodySetupFileXfer)
TWSTRESS_TEST(TWStress_DatSetupMemXfer, "DAT_SETUPMEMXFER", true, BodySetupMemXfer)
TWSTRESS_TEST(TWStress_DatStatus, "DAT_STATUS", false, BodyStatus)
TWSTRESS_TEST(TWStress_DatUserInterface, "DAT_USERINTERFACE", true, BodyUserInterface)
TWSTRESS_TEST(TWStress_DatXferGroup, "DAT_XFERGROUP", true, BodyXferGroup)
TWSTRESS_TEST(TWStress_DatStatusRaw, "DAT_STATUSRAW", true, BodyStatusRaw)

// ---------------------------------------------------------------------------
// Vibration: open/close, UI-only enable/disable, enable/disable without UI
// ---------------------------------------------------------------------------

namespace
{
// A loop's failure: its line, everything closed, the failing code.
TW_UINT16 VibrationFailed(CTwainImpl *a_ptwainimpl, const char *a_szText, TW_UINT16 a_twrc)
{
    TWAINLOG("%s", a_szText);
    StressCloseAll(a_ptwainimpl);
    return a_twrc;
}
} // namespace

TW_UINT16 CTwainImpl::TWVibration(const char *const *a_aszWords)
{
    const char *szMode = DatArg(a_aszWords, 3);
    const char *szWord4 = Present(szMode) ? DatArg(a_aszWords, 4) : nullptr;
    const char *szWord5 = Present(szWord4) ? DatArg(a_aszWords, 5) : nullptr;
    const char *szWord6 = Present(szWord5) ? DatArg(a_aszWords, 6) : nullptr;
    CStressNoAutoDisable stressnoautodisable(this);

    TW_UINT16 twrc = StressChoose(this, DatArg(a_aszWords, 2));
    if (twrc != TWRC_SUCCESS)
    {
        StressCloseAll(this);
        return twrc;
    }

    // Open and close ten times per delay.
    if (ModeRuns(szMode, "openonly"))
    {
        TWAINLOG("%s", "MSG_OPENDS/MSG_CLOSEDS Test");
        int iStart = 0;
        int iStep = 100;
        int iCount = 10;
        if (Present(szWord4))
        {
            iStart = atoi(szWord4);
            iStep = Present(szWord5) ? atoi(szWord5) : 1;
            iCount = Present(szWord6) ? atoi(szWord6) : 1;
        }
        // A step below 1 would never end the loop; the bound stays within
        // the delays an int holds (the product of three ints may not).
        iStep = (iStep < 1) ? 1 : iStep;
        long long llEnd = 0;
        if (__builtin_mul_overflow(static_cast<long long>(iStart ? iStart : 1), static_cast<long long>(iCount),
                                   &llEnd) ||
            __builtin_mul_overflow(llEnd, static_cast<long long>(iStep), &llEnd))
        {
            llEnd = ((iStart < 0) != (iCount < 0)) ? LLONG_MIN : LLONG_MAX;
        }
        llEnd = (llEnd > INT_MAX) ? INT_MAX : llEnd;
        for (long long llDelay = iStart; llDelay <= llEnd; llDelay += iStep)
        {
            TWAINLOG("%d millisecond delay...", static_cast<int>(llDelay));
            for (int ii = 0; ii < 10; ii++)
            {
                twrc = DSOpen(nullptr);
                if (twrc != TWRC_SUCCESS)
                {
                    return VibrationFailed(this, "DSOpen failed...", twrc);
                }
                StressSleep(static_cast<int>(llDelay));
                twrc = DSClose(nullptr);
                if (twrc != TWRC_SUCCESS)
                {
                    return VibrationFailed(this, "DSClose failed...", twrc);
                }
            }
        }
    }

    // The source's own user interface, shown and taken down.
    if (ModeRuns(szMode, "uionly"))
    {
        const int iStart = Present(szWord4) ? atoi(szWord4) : 0;
        const int iEnd = Present(szWord5) ? atoi(szWord5) : 5000;
        int iStep = Present(szWord6) ? atoi(szWord6) : 100;
        iStep = (iStep < 1) ? 1 : iStep;
        TWAINLOG("%s", "MSG_ENABLEDS/MSG_DISABLEDS SHOWUI==1 Test");
        twrc = DSOpen(nullptr);
        if (twrc != TWRC_SUCCESS)
        {
            return VibrationFailed(this, "DSOpen failed...", twrc);
        }
        for (long long llDelay = iStart; llDelay < iEnd; llDelay += iStep)
        {
            TWAINLOG("%d millisecond delay...", static_cast<int>(llDelay));
            for (int ii = 0; ii < 10; ii++)
            {
                TWAINLOG("Test #%d...", ii);
                twrc = StressEnable(this, MSG_ENABLEDSUIONLY, true);
                if (twrc != TWRC_SUCCESS)
                {
                    return VibrationFailed(this, "MSG_ENABLEDSUIONLY failed...", twrc);
                }
                StressSleep(static_cast<int>(llDelay));
                twrc = StressDisable(this);
                if (twrc != TWRC_SUCCESS)
                {
                    return VibrationFailed(this, "MSG_DISABLEDS failed...", twrc);
                }
                OS_SLEEP(1000);
            }
        }
        twrc = DSClose(nullptr);
        if (twrc != TWRC_SUCCESS)
        {
            return VibrationFailed(this, "DSClose failed...", twrc);
        }
    }

    // Enable without a user interface, and disable, whatever the source is
    // doing meanwhile.
    TW_UINT16 twrcResult = TWRC_SUCCESS;
    if (ModeRuns(szMode, "scanonly"))
    {
        TWAINLOG("%s", "MSG_ENABLEDS/MSG_DISABLEDS SHOWUI==0 Test (0ms - 2000ms in 100ms intervals)");
        twrc = DSOpen(nullptr);
        if (twrc != TWRC_SUCCESS)
        {
            StressCloseAll(this);
            return twrc;
        }
        for (int iDelay = 0; iDelay <= 2000; iDelay += 100)
        {
            TWAINLOG("%d millisecond delay...", iDelay);
            for (int ii = 0; ii < 10; ii++)
            {
                TWAINLOG("Test #%d...", ii);
                // A failure is said on standard error, as the scan test says
                // its own, and ends the loop.  (Enabled with its user
                // interface, TWRC_CHECKSTATUS, the source is enabled all the
                // same.)
                const char *szFailed = "MSG_ENABLEDS";
                twrc = StressEnable(this, MSG_ENABLEDS, false);
                if ((twrc == TWRC_SUCCESS) || (twrc == TWRC_CHECKSTATUS))
                {
                    StressSleep(iDelay);
                    szFailed = "MSG_DISABLEDS";
                    twrc = StressDisable(this);
                }
                if (twrc != TWRC_SUCCESS)
                {
                    fprintf(stderr, "%s failed...%d\r\n", szFailed, twrc);
                    StressCloseAll(this);
                    return twrc;
                }
            }
        }
        twrcResult = DSClose(nullptr);
    }

    StressCloseAll(this);
    return twrcResult;
}

// ---------------------------------------------------------------------------
// Scan rate
// ---------------------------------------------------------------------------

namespace
{
// ICAP_XFERMECH to memory: a source transfers memory strips only then.
TW_UINT16 ScanXferMechMemory(CTwainImpl *a_ptwainimpl)
{
    TW_CAPABILITY twcapability;
    memset(&twcapability, 0, sizeof(twcapability));
    twcapability.Cap = ICAP_XFERMECH;
    twcapability.ConType = TWON_ONEVALUE;
    twcapability.hContainer = a_ptwainimpl->DsMemAlloc(sizeof(TW_ONEVALUE));
    TW_ONEVALUE *ptwonevalue = static_cast<TW_ONEVALUE *>(a_ptwainimpl->DsMemLock(twcapability.hContainer));
    if (!ptwonevalue)
    {
        a_ptwainimpl->DsMemFree(twcapability.hContainer);
        return TWRC_FAILURE;
    }
    ptwonevalue->ItemType = TWTY_UINT16;
    TwSetU16(&ptwonevalue->Item, TWSX_MEMORY);
    a_ptwainimpl->DsMemUnlock(twcapability.hContainer);
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &twcapability, false, false);
    a_ptwainimpl->DsMemFree(twcapability.hContainer);
    // A value the source adjusted is still memory transfers.
    return (twrc == TWRC_CHECKSTATUS) ? TWRC_SUCCESS : twrc;
}

// Waits for the first image: image information answers once the source is
// ready (its answer is kept in a_ptwimageinfo).  Gives the last code of the
// request.
TW_UINT16 ScanWaitReady(CTwainImpl *a_ptwainimpl, TW_IMAGEINFO *a_ptwimageinfo)
{
    TW_UINT16 twrc = TWRC_FAILURE;
    for (int ii = 0; ii < TWSCAN_READYPOLLS; ii++)
    {
        memset(a_ptwimageinfo, 0, sizeof(*a_ptwimageinfo));
        twrc = a_ptwainimpl->DsmEntry(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, a_ptwimageinfo, false, false);
        if (twrc == TWRC_SUCCESS)
        {
            return twrc;
        }
        // Not ready yet: that refusal's condition is read at once.  A poll
        // that crashed was no refusal: the wait ends.
        a_ptwainimpl->ReadCondition(twrc);
        if (CTwainImpl::s_blCallCrashed)
        {
            return twrc;
        }
        OS_SLEEP(10);
    }
    return twrc;
}

// How far the blocks of one image may go before the image is taken for one
// that never ends (a source answering TWRC_SUCCESS for ever): by the image
// information, four times its rows in blocks (a block carries a row at the
// least) and a few thousand more, and four times its bytes and a block
// more; never above the ceilings, which also bound an image of unknown size
// (ImageLength -1).
struct ScanBound
{
    uint64_t u64Blocks;
    uint64_t u64Bytes;
};

ScanBound ScanBoundOf(const TW_IMAGEINFO *a_ptwimageinfo)
{
    ScanBound scanbound = {TWSCAN_MAXBLOCKS, TWSCAN_MAXBYTES};
    const int64_t i64Width = a_ptwimageinfo ? a_ptwimageinfo->ImageWidth : 0;
    const int64_t i64Length = a_ptwimageinfo ? a_ptwimageinfo->ImageLength : 0;
    const int64_t i64Bits = a_ptwimageinfo ? a_ptwimageinfo->BitsPerPixel : 0;
    if ((i64Width <= 0) || (i64Length <= 0) || (i64Bits <= 0))
    {
        return scanbound;
    }
    const uint64_t u64Rows = (static_cast<uint64_t>(i64Length) < TWSCAN_MAXBLOCKS) ? static_cast<uint64_t>(i64Length)
                                                                                    : TWSCAN_MAXBLOCKS;
    const uint64_t u64Width = (static_cast<uint64_t>(i64Width) < TWSCAN_MAXBYTES) ? static_cast<uint64_t>(i64Width)
                                                                                   : TWSCAN_MAXBYTES;
    const uint64_t u64RowBytes = (u64Width * static_cast<uint64_t>(i64Bits) + 7) / 8;
    if (4 * u64Rows + TWSCAN_SPAREBLOCKS < TWSCAN_MAXBLOCKS)
    {
        scanbound.u64Blocks = 4 * u64Rows + TWSCAN_SPAREBLOCKS;
    }
    if (u64RowBytes <= (TWSCAN_MAXBYTES - TWSCAN_BLOCK) / 4 / u64Rows)
    {
        scanbound.u64Bytes = 4 * u64RowBytes * u64Rows + TWSCAN_BLOCK;
    }
    return scanbound;
}

// The images of the batch into the one block; gives 0 or the failing code.
// Each image is bounded by the last image information known (the first
// image's at first); one that goes past it (a batch may hold a longer page)
// is bounded by its own, or by the ceilings when the source does not give
// it.
TW_UINT16 ScanTransfer(CTwainImpl *a_ptwainimpl, TW_IMAGEMEMXFER *a_ptwimagememxfer, const TW_IMAGEINFO *a_ptwimageinfo,
                       int a_iImagesWanted, int *a_piImages)
{
    ScanBound scanbound = ScanBoundOf(a_ptwimageinfo);
    uint64_t u64Blocks = 0;
    uint64_t u64Bytes = 0;
    bool blOwnInfo = false;
    for (;;)
    {
        TW_UINT16 twrc =
            a_ptwainimpl->DsmEntry(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, a_ptwimagememxfer, false, false);
        if (twrc == TWRC_SUCCESS)
        {
            a_ptwainimpl->RaiseTwState(ETWSTATE_XFERRING);
            u64Blocks++;
            const uint64_t u64Written = a_ptwimagememxfer->BytesWritten;
            u64Bytes += (u64Written < TWSCAN_BLOCK) ? u64Written : TWSCAN_BLOCK;
            if ((u64Blocks <= scanbound.u64Blocks) && (u64Bytes <= scanbound.u64Bytes))
            {
                continue;
            }
            if (!blOwnInfo)
            {
                blOwnInfo = true;
                TW_IMAGEINFO twimageinfo;
                memset(&twimageinfo, 0, sizeof(twimageinfo));
                bool blInfo = a_ptwainimpl->DsmEntry(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &twimageinfo, false, false) ==
                              TWRC_SUCCESS;
                scanbound = ScanBoundOf(blInfo ? &twimageinfo : nullptr);
                if ((u64Blocks <= scanbound.u64Blocks) && (u64Bytes <= scanbound.u64Bytes))
                {
                    continue;
                }
            }
            fprintf(stderr, "DAT_IMAGEMEMXFER failed...%d (no end of the image after %llu blocks, %llu bytes)\r\n",
                    TWRC_FAILURE, static_cast<unsigned long long>(u64Blocks), static_cast<unsigned long long>(u64Bytes));
            return TWRC_FAILURE;
        }
        if (twrc != TWRC_XFERDONE)
        {
            fprintf(stderr, "DAT_IMAGEMEMXFER failed...%d\r\n", twrc);
            return twrc;
        }
        a_ptwainimpl->RaiseTwState(ETWSTATE_XFERRING);
        TW_PENDINGXFERS twpendingxfers;
        memset(&twpendingxfers, 0, sizeof(twpendingxfers));
        twrc = a_ptwainimpl->DsmEntry(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twpendingxfers, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            fprintf(stderr, "DAT_PENDINGXFERS failed...%d\r\n", twrc);
            return twrc;
        }
        (*a_piImages)++;
        u64Blocks = 0;
        u64Bytes = 0;
        blOwnInfo = false;
        a_ptwainimpl->SetTwState((twpendingxfers.Count != 0) ? ETWSTATE_XFERREADY : ETWSTATE_DSENABLED);
        // The count reached, or the batch ended before it.
        if ((*a_piImages >= a_iImagesWanted) || (twpendingxfers.Count == 0))
        {
            return TWRC_SUCCESS;
        }
    }
}

// 60 / (a_dSeconds / a_iCount), truncated: 0 when nothing was measured.
int ScanPerMinute(double a_dSeconds, int a_iCount)
{
    if ((a_iCount <= 0) || !(a_dSeconds > 0.0))
    {
        return 0;
    }
    double dPerMinute = 60.0 / (a_dSeconds / a_iCount);
    return (dPerMinute >= static_cast<double>(INT_MAX)) ? INT_MAX : static_cast<int>(dPerMinute);
}
} // namespace

TW_UINT16 CTwainImpl::TWScan(const char *const *a_aszWords)
{
    const char *szCount = DatArg(a_aszWords, 4);
    int iImagesWanted = Present(szCount) ? atoi(szCount) : 0;
    iImagesWanted = (iImagesWanted <= 0) ? 1000 : iImagesWanted;
    CStressNoAutoDisable stressnoautodisable(this);

    TW_UINT16 twrc = StressChoose(this, DatArg(a_aszWords, 2));
    if (twrc == TWRC_SUCCESS)
    {
        TWAINLOG("%s", "Scan Performance Test");
        twrc = DSOpen(nullptr);
    }
    if (twrc == TWRC_SUCCESS)
    {
        twrc = ScanXferMechMemory(this);
        if (twrc != TWRC_SUCCESS)
        {
            fprintf(stderr, "ICAP_XFERMECH failed...%d\r\n", twrc);
        }
    }
    if (twrc != TWRC_SUCCESS)
    {
        StressCloseAll(this);
        return twrc;
    }

    TW_IMAGEMEMXFER twimagememxfer;
    memset(&twimagememxfer, 0, sizeof(twimagememxfer));
    twimagememxfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    twimagememxfer.Memory.Length = TWSCAN_BLOCK;
    twimagememxfer.Memory.TheMem =
        g_posmem ? g_posmem->Alloc(TWSCAN_BLOCK, __FILE__, __LINE__, OS_LOGFLAG_MEM, false, nullptr) : nullptr;
    if (!twimagememxfer.Memory.TheMem)
    {
        OSLOG_ASSERT("OsMemAlloc failed...");
        StressCloseAll(this);
        return TWRC_FAILURE;
    }

    int iImages = 0;
    double dSeconds = 0.0;
    TW_IMAGEINFO twimageinfo;
    memset(&twimageinfo, 0, sizeof(twimageinfo));
    twrc = StressEnable(this, MSG_ENABLEDS, false);
    // Enabled with its user interface (TWRC_CHECKSTATUS) it scans all the same.
    if ((twrc == TWRC_SUCCESS) || (twrc == TWRC_CHECKSTATUS))
    {
        twrc = ScanWaitReady(this, &twimageinfo);
        if (twrc != TWRC_SUCCESS)
        {
            fprintf(stderr, "DAT_IMAGEINFO failed...%d\r\n", twrc);
        }
    }
    else
    {
        fprintf(stderr, "MSG_ENABLEDS failed...%d\r\n", twrc);
    }
    if (twrc == TWRC_SUCCESS)
    {
        OS_SLEEP(500);
        uint64_t u64Tick = OsTimeGetPerformanceTick();
        twrc = ScanTransfer(this, &twimagememxfer, &twimageinfo, iImagesWanted, &iImages);
        dSeconds = OsTimeGetPerformanceDiff(u64Tick);
    }

    const int iSheets = iImages / 2;
    TWAINLOG("Images:          %d", iImages);
    TWAINLOG("Total Seconds:   %.3f seconds", dSeconds);
    TWAINLOG("Seconds / Image: %.5f seconds", (iImages > 0) ? (dSeconds / iImages) : 0.0);
    TWAINLOG("Images / Minute: %d", ScanPerMinute(dSeconds, iImages));
    TWAINLOG("Sheets / Minute: %d", ScanPerMinute(dSeconds, iSheets));

    OSMEM_FREE(twimagememxfer.Memory.TheMem);
    StressCloseAll(this);
    return twrc;
}
