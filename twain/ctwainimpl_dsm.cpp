// ctwainimpl_dsm.cpp
// The Data Source Manager: loading and opening it, closing it, the one entry
// call through which every triplet goes, and the list, choice and search of
// Data Sources.
#include "ctwainimpl.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "clookup.h"
#include "dsmcrashguard.h"

extern char **environ;

namespace
{

// The identity texts of this application.
const char *const s_szAppInfo = "2008/07/16 1.0.0";
const char *const s_szAppManufacturer = "WEXTO";
const char *const s_szAppProductFamily = "DV";

// Copies a text into a TW_STR32 field (34-byte bound, cut when longer).
void SetStr32(char *a_szField, const char *a_szText)
{
    TwainFieldText(a_szText, strlen(a_szText), a_szField, sizeof(TW_STR32));
    COsString::StrConvertCToPascal(a_szField, sizeof(TW_STR32));
}

// One call into the DSM inside the catch-all: a C++ exception or a fault
// signal coming out of it is logged as the crash of the call, which has
// then failed (TWRC_FAILURE in *a_ptwrc); false then.
bool GuardedCall(DSMENTRYPROC a_pfnDsmEntryProc, pTW_IDENTITY a_ptwidentityOrigin, pTW_IDENTITY a_ptwidentityDest,
             TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata, TW_UINT16 *a_ptwrc)
{
    int iSignal = 0;
    try
    {
        if (DsmCrashGuardCall(a_pfnDsmEntryProc, a_ptwidentityOrigin, a_ptwidentityDest, a_twdg, a_twdat, a_twmsg,
                              a_pdata, a_ptwrc, &iSignal))
        {
            return true;
        }
    }
    catch (...)
    {
    }
    OSLOG_ERROR("pod.m_pfnDsmEntryProc crashed...");
    OSLOG_ERROR("%s out of DSM_Entry (DG 0x%x, DAT 0x%04x, MSG 0x%04x)...",
                iSignal ? DsmCrashGuardSignalName(iSignal) : "an exception", static_cast<unsigned>(a_twdg),
                static_cast<unsigned>(a_twdat), static_cast<unsigned>(a_twmsg));
    *a_ptwrc = TWRC_FAILURE;
    return false;
}

// True when the DSM itself answers a triplet sent to a_ptwidentityDest, as
// the widely used DSM routes them: everything without a destination (so
// also DAT_STATUS, which asks for the DSM's own condition code), the
// close of a source, and its own triplets (DAT_PARENT, DAT_ENTRYPOINT, the
// callback registrations, DAT_TWUNKIDENTITY); an identity or status request
// that names a source goes to that source, as does everything else.
bool DsmAnswers(TW_UINT16 a_twdat, TW_UINT16 a_twmsg, const TW_IDENTITY *a_ptwidentityDest)
{
    return !a_ptwidentityDest || ((a_twdat == DAT_IDENTITY) && (a_twmsg == MSG_CLOSEDS)) ||
           (a_twdat == DAT_PARENT) || (a_twdat == DAT_ENTRYPOINT) || (a_twdat == DAT_CALLBACK) ||
           (a_twdat == DAT_CALLBACK2) || (a_twdat == DAT_TWUNKIDENTITY);
}

// A source dsmset cannot select: no source (TWCC_NODS), and none is
// opened without a name until a choice succeeds.
TW_UINT16 RefuseChoice(CTwainImpl *a_ptwainimpl)
{
    a_ptwainimpl->m_blChoiceRefused = true;
    return a_ptwainimpl->Refuse(TWCC_NODS);
}

} // namespace

// ---------------------------------------------------------------------------
// The entry call
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DsmEntry(TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata,
                               bool a_blStatus, bool a_blDestination, ETWRECORD a_etwrecord)
{
    if (!m_pfnDsmEntryProc)
    {
        OSLOG_ERROR("Entry can't be called till the driver is opened...");
        return TWRC_FAILURE;
    }

    // Destination: the Data Source, except for the triplets meant for the
    // DSM (and everything before a source is open), where the source goes
    // along only when asked for.
    pTW_IDENTITY ptwidentityDest = &m_twidentityDs;
    if ((GetTwState() < ETWSTATE_DSOPEN) || (a_twdat == DAT_PARENT) || (a_twdat == DAT_TWUNKIDENTITY) ||
        ((a_twdat == DAT_IDENTITY) &&
         ((a_twmsg == MSG_USERSELECT) || (a_twmsg == MSG_OPENDS) || (a_twmsg == MSG_CLOSEDS))))
    {
        ptwidentityDest = a_blDestination ? &m_twidentityDs : nullptr;
    }
    TW_UINT16 twrc = DsmCall(a_twdg, a_twdat, a_twmsg, a_pdata, ptwidentityDest, a_etwrecord);
    if (!a_blStatus)
    {
        return twrc;
    }
    if (s_blCallCrashed)
    {
        return TWRC_FAILURE;
    }
    TW_UINT16 twrcStatus = TWRC_SUCCESS;
    TW_UINT16 twcc = ReadCondition(twrc, &twrcStatus, a_etwrecord);
    return (twrcStatus != TWRC_SUCCESS) ? twrcStatus : twcc;
}

TW_UINT16 CTwainImpl::DsmCall(TW_UINT32 a_twdg, TW_UINT16 a_twdat, TW_UINT16 a_twmsg, TW_MEMREF a_pdata,
                              pTW_IDENTITY a_ptwidentityDest, ETWRECORD a_etwrecord)
{
    DSMENTRYPROC pfnDsmEntryProc = m_pfnDsmEntryProc;
    if (!pfnDsmEntryProc)
    {
        OSLOG_ERROR("Entry can't be called till the driver is opened...");
        s_blCallCrashed = false;
        return TWRC_FAILURE;
    }
    TW_UINT16 twrc;
    bool blAnswered =
        GuardedCall(pfnDsmEntryProc, &m_twidentityApp, a_ptwidentityDest, a_twdg, a_twdat, a_twmsg, a_pdata, &twrc);
    s_blCallCrashed = !blAnswered;
    s_blCallToDsm = DsmAnswers(a_twdat, a_twmsg, a_ptwidentityDest);

    // Recording for the script tests.  A triplet's condition code is known
    // only once its status has been asked for (after a failure): until then
    // it is TWCC_SUCCESS, never the code of an earlier call.  A call that
    // crashed is recorded as the failure it ended in.
    if (a_etwrecord == ETWRECORD_LAST)
    {
        m_u64Recorded++;
        if (a_twdat != DAT_STATUS)
        {
            m_twrcLast = twrc;
            m_twccLast = TWCC_SUCCESS;
            m_blLastCrashed = !blAnswered;
        }
        else if (!blAnswered)
        {
            m_blLastCrashed = true;
        }
        else if (a_pdata)
        {
            m_twccLast = TwGetU16(a_pdata);
        }
    }
    return twrc;
}

TW_UINT16 CTwainImpl::ReadCondition(TW_UINT16 a_twrc, TW_UINT16 *a_ptwrcStatus, ETWRECORD a_etwrecord)
{
    if (a_ptwrcStatus)
    {
        *a_ptwrcStatus = TWRC_SUCCESS;
    }
    // Nobody answered a call that crashed, and the source that crashed is
    // not asked again; a call that did not fail has no condition code of
    // its own (what the status holds belongs to an earlier call).
    if (s_blCallCrashed || !TwainStatusMeansSomething(a_twrc))
    {
        return TWCC_SUCCESS;
    }
    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    bool blToDsm = s_blCallToDsm;
    TW_UINT16 twrc = DsmCall(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, blToDsm ? nullptr : &m_twidentityDs,
                             a_etwrecord);
    bool blSaid = twrc == TWRC_SUCCESS;
    if (!blSaid && !blToDsm && !s_blCallCrashed)
    {
        // The source cannot answer (it is gone, say): the DSM tells why,
        // when it has something to tell.
        memset(&twstatus, 0, sizeof(twstatus));
        twrc = DsmCall(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, nullptr, a_etwrecord);
        blSaid = (twrc == TWRC_SUCCESS) && (twstatus.ConditionCode != TWCC_SUCCESS);
    }
    if (a_ptwrcStatus)
    {
        *a_ptwrcStatus = twrc;
    }
    if (blSaid)
    {
        return twstatus.ConditionCode;
    }
    // Nobody can say why the triplet failed: a failure of unknown cause (a
    // status request that crashed says so with its crash flag).
    if ((a_etwrecord == ETWRECORD_LAST) && !s_blCallCrashed)
    {
        m_twccLast = TWCC_BUMMER;
    }
    return TWCC_BUMMER;
}

// ---------------------------------------------------------------------------
// Identity line
// ---------------------------------------------------------------------------
void CTwainImpl::PrintIdentity(const TW_IDENTITY *a_ptwidentity)
{
    if (!a_ptwidentity)
    {
        return;
    }
    char szProductName[sizeof(TW_STR32)];
    char szGroups[64];
    TwainFieldText(a_ptwidentity->ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
    TwainGroupText(a_ptwidentity->SupportedGroups, szGroups, sizeof(szGroups));
    TWAINLOG("%s ver=%d.%d twn=%d.%d grp=%s", szProductName, a_ptwidentity->Version.MajorNum,
             a_ptwidentity->Version.MinorNum, a_ptwidentity->ProtocolMajor, a_ptwidentity->ProtocolMinor, szGroups);
}

// ---------------------------------------------------------------------------
// Open and close
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSMOpen()
{
    if (m_twidentityApp.Id != 0)
    {
        OSLOG_ERROR("The DSM seems to have assigned an ID already...");
        return Refuse(TWCC_SEQERROR);
    }
    if (GetTwState() >= 2)
    {
        OSLOG_ERROR("DSMOpen executed in wrong state...");
        return Refuse(TWCC_SEQERROR);
    }

    // The application identity.
    memset(&m_twidentityApp, 0, sizeof(m_twidentityApp));
    m_twidentityApp.Id = 0;
    m_twidentityApp.Version.MajorNum = 1;
    m_twidentityApp.Version.MinorNum = 0;
    m_twidentityApp.Version.Language = m_twlanguage;
    m_twidentityApp.Version.Country = TWCY_USA;
    SetStr32(m_twidentityApp.Version.Info, s_szAppInfo);
    m_twidentityApp.ProtocolMajor = static_cast<TW_UINT16>(m_u32ProtocolMajor);
    m_twidentityApp.ProtocolMinor = static_cast<TW_UINT16>(m_i32ProtocolMinor);
    m_twidentityApp.SupportedGroups = DG_CONTROL | DG_IMAGE | DG_CUSTOM;
    if (m_blProtocol2)
    {
        m_twidentityApp.SupportedGroups |= DF_APP2;
    }
    SetStr32(m_twidentityApp.Manufacturer, s_szAppManufacturer);
    SetStr32(m_twidentityApp.ProductFamily, s_szAppProductFamily);
    char szProductName[64];
    snprintf(szProductName, sizeof(szProductName), "Dravo #%d", static_cast<int>(m_u32Instance));
    SetStr32(m_twidentityApp.ProductName, szProductName);
    PrintIdentity(&m_twidentityApp);

    // The library.
    try
    {
        m_posfileDsm = new COsFile();
    }
    catch (...)
    {
        m_posfileDsm = nullptr;
    }
    if (!m_posfileDsm)
    {
        OSLOG_ERROR("OsMemNew failed...");
        return Refuse(TWCC_LOWMEMORY);
    }
    OSLOG_NEW(m_posfileDsm, "COsFile");
    COsString::SStrCpy(m_szTwDsm, sizeof(m_szTwDsm), "TWAINDSM");
    m_szDsmPath[0] = 0;
    TwainFieldText(DravoDsmPath(), TWAINIMPL_DSMPATH, m_szDsmPath, sizeof(m_szDsmPath));

    // In debug mode the DSM writes its own log beside ours.
    if (g_poslog && g_poslog->GetDebugLevel() && g_poscfg)
    {
        char szDsmLog[512] = "";
        const char *szLogDir = g_poscfg->Get(OS_CFGSECTION_OSSETTINGS, OS_CFGTAG_LOGDIRECTORY);
        COsFile::PathSet(szDsmLog, sizeof(szDsmLog), szLogDir ? szLogDir : "");
        COsFile::PathAppend(szDsmLog, sizeof(szDsmLog), "twaindsm.txt");
        COsCfg::SetEnv("TWAINDSM_LOG", szDsmLog);
        COsCfg::SetEnv("TWAINDSM_LOGMODE", "w+");
    }

    TWAINLOG("DSM: %s", m_szDsmPath);
    if (m_posfileDsm->SharedLibraryLoad(m_szDsmPath) != OS_STS_OK)
    {
        OSLOG_ERROR("SharedLibraryLoad() failed...%s", m_szDsmPath);
    }
    m_pfnDsmEntryProc = reinterpret_cast<DSMENTRYPROC>(m_posfileDsm->SharedLibraryGetProc("DSM_Entry", nullptr, 0));
    if (!m_pfnDsmEntryProc)
    {
        OSLOG_ASSERT("SharedLibraryGetProc() failed...");
        DSMOpenUndo();
        // No DSM to ask: the services log says why.
        return Refuse(TWCC_BUMMER);
    }

    // Open it.
    memset(&m_twidentityDs, 0, sizeof(m_twidentityDs));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &m_hParent, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        OSLOG_ERROR("Entry(DAT_PARENT/MSG_OPENDSM) failed...");
        DSMOpenUndo();
        return twrc;
    }
    if (m_twidentityApp.SupportedGroups & DF_DSM2)
    {
        TWAINLOG("DSM: DF_DSM2 found...");
    }
    RegistryNoteAppId();
    SetTwState(ETWSTATE_DSMOPEN);
    return TWRC_SUCCESS;
}

void CTwainImpl::DSMOpenUndo()
{
    // A failed open leaves nothing behind, so that a retry starts clean.
    m_pfnDsmEntryProc = nullptr;
    if (m_posfileDsm)
    {
        m_posfileDsm->SharedLibraryFree();
        OSLOG_DELETE(m_posfileDsm);
        delete m_posfileDsm;
        m_posfileDsm = nullptr;
    }
    memset(&m_twidentityApp, 0, sizeof(m_twidentityApp));
    m_szTwDsm[0] = 0;
    m_szDsmPath[0] = 0;
}

TW_UINT16 CTwainImpl::DSMClose()
{
    if (GetTwState() > ETWSTATE_DSMOPEN)
    {
        // A source is open: the close is out of sequence.
        return Refuse(TWCC_SEQERROR);
    }
    if (m_posfileDsm)
    {
        DsmEntry(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &m_hParent, false, false);
        m_pfnDsmEntryProc = nullptr;
        m_posfileDsm->SharedLibraryFree();
        OSLOG_DELETE(m_posfileDsm);
        delete m_posfileDsm;
        m_posfileDsm = nullptr;
        // Everything from the image writer on starts again from zero (also
        // the language, the auto-disable flag and the instance number).
        DeleteImageWriter();
        ZeroConnection();
        RegistryNoteAppId();
    }
    SetTwState(ETWSTATE_NONE);
    return TWRC_SUCCESS;
}

// ---------------------------------------------------------------------------
// List, choose and find
// ---------------------------------------------------------------------------
TW_UINT16 CTwainImpl::DSMList(const char *const *a_aszWords)
{
    if (GetTwState() >= ETWSTATE_DSOPEN)
    {
        OSLOG_ERROR("DSMList executed in wrong state...");
        TWAINLOG("%%%%error, can't list drivers while in state 4 or higher...");
        return Refuse(TWCC_SEQERROR);
    }
    bool blSilent = a_aszWords && a_aszWords[0] && a_aszWords[1] && !strcasecmp(a_aszWords[1], "silent");

    // The DSM's default source becomes the chosen one.  (Without sources
    // there is none: that condition is read at once, so that the status
    // request after the walk tells only of the walk.)
    ReadCondition(DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &m_twidentityDs, false, false));
    m_blChoiceRefused = false;

    memset(m_atwidentityList, 0, sizeof(m_atwidentityList));
    OSLOG_INFO("DG_CONTROL,DAT_IDENTITY,MSG_GETFIRST...");
    int iCount = 0;
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &m_atwidentityList[0], false, false);
    while (twrc == TWRC_SUCCESS)
    {
        if (!blSilent)
        {
            const TW_IDENTITY *ptwidentity = &m_atwidentityList[iCount];
            bool blChosen = (m_twidentityDs.Id != 0) && (m_twidentityDs.Id == ptwidentity->Id);
            char szProductName[sizeof(TW_STR32)];
            TwainFieldText(ptwidentity->ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
            TWAINLOG("%s%2d - %.31s", blChosen ? "\033[1m*\033[0m" : " ", iCount, szProductName);
        }
        iCount++;
        if (iCount >= TWAINIMPL_DSLIST)
        {
            // The list is full: the rest is not read.
            break;
        }
        twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &m_atwidentityList[iCount], false, false);
    }
    if (iCount < TWAINIMPL_DSLIST)
    {
        // Whatever the failing call left in its entry is not a source.
        memset(&m_atwidentityList[iCount], 0, sizeof(m_atwidentityList[iCount]));
    }

    TW_STATUS twstatus;
    memset(&twstatus, 0, sizeof(twstatus));
    DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, false, false);
    OSLOG_INFO("DG_CONTROL,DAT_IDENTITY...%d %d/%d", iCount, static_cast<int>(m_twrcLast.load()),
               static_cast<int>(m_twccLast.load()));
    // Without a DSM nothing was listed: out of sequence.
    return m_pfnDsmEntryProc ? TWRC_SUCCESS : Refuse(TWCC_SEQERROR);
}

TW_UINT16 CTwainImpl::DSMSet(const char *const *a_aszWords)
{
    char szChoice[64] = "";
    if (a_aszWords && a_aszWords[0] && a_aszWords[1])
    {
        TwainFieldText(a_aszWords[1], sizeof(szChoice) - 1, szChoice, sizeof(szChoice));
    }
    if (GetTwState() != ETWSTATE_DSMOPEN)
    {
        OSLOG_ERROR("DSMSet executed in wrong state...");
        return Refuse(TWCC_SEQERROR);
    }

    if (!szChoice[0] && g_pvar)
    {
        const char *szProductName = g_pvar->Get("ProductName", true);
        if (szProductName)
        {
            TwainFieldText(szProductName, sizeof(szChoice) - 1, szChoice, sizeof(szChoice));
        }
    }
    if (!szChoice[0])
    {
        OSLOG_ERROR("must specify an index or a string from dsmlist...");
        return TWRC_FAILURE;
    }

    // An index into the list.
    if ((szChoice[0] >= '0') && (szChoice[0] <= '9'))
    {
        long lIndex = strtol(szChoice, nullptr, 10);
        if ((lIndex < 0) || (lIndex >= TWAINIMPL_DSLIST))
        {
            OSLOG_ERROR("index out of range...");
            return RefuseChoice(this);
        }
        if (m_atwidentityList[lIndex].Id == 0)
        {
            OSLOG_ERROR("no driver at this index...");
            return RefuseChoice(this);
        }
        m_blChoiceRefused = false;
        m_u32ListIndex = static_cast<uint32_t>(lIndex);
        memcpy(&m_twidentityDs, &m_atwidentityList[lIndex], sizeof(m_twidentityDs));
        char szProductName[sizeof(TW_STR32)];
        TwainFieldText(m_twidentityDs.ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
        TWAINLOG("set to %.31s", szProductName);
        return TWRC_SUCCESS;
    }

    // The DSM's own chooser, else ours.
    if (!strcasecmp(szChoice, "userselect") || !strcasecmp(szChoice, "msg_userselect"))
    {
        TW_IDENTITY twidentity;
        memset(&twidentity, 0, sizeof(twidentity));
        TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &twidentity, false, false);
        if (twrc != TWRC_SUCCESS)
        {
            // A DSM without a chooser of its own: that refusal is read at
            // once, and its codes stay the command's whatever our chooser's
            // walks of the list answer (they record nothing).
            ReadCondition(twrc);
            return DSMSetChooser();
        }
        TwainFieldText(twidentity.ProductName, sizeof(TW_STR32), szChoice, sizeof(szChoice));
    }

    // The first listed source whose name holds the choice.
    for (int ii = 0; ii < TWAINIMPL_DSLIST; ii++)
    {
        if (m_atwidentityList[ii].Id == 0)
        {
            continue;
        }
        char szProductName[sizeof(TW_STR32)];
        TwainFieldText(m_atwidentityList[ii].ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
        if (strstr(szProductName, szChoice))
        {
            m_blChoiceRefused = false;
            m_u32ListIndex = static_cast<uint32_t>(ii);
            memcpy(&m_twidentityDs, &m_atwidentityList[ii], sizeof(m_twidentityDs));
            TWAINLOG("set to %.31s", szProductName);
            return TWRC_SUCCESS;
        }
    }
    OSLOG_ERROR("driver not found...<%s>", szChoice);
    return RefuseChoice(this);
}

TW_UINT16 CTwainImpl::DSMSetChooser()
{
    // The sources the DSM knows, as the rows of a zenity list: as many as a
    // command line of 2,048 characters holds, each written as a blank and
    // its name in double quotes.
    static const char s_szChooser[] = "zenity --list --title \"Select Source\" --column \"Sources:\"";
    std::vector<std::string> aszNames;
    size_t u64Text = strlen(s_szChooser);
    TW_IDENTITY twidentity;
    memset(&twidentity, 0, sizeof(twidentity));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity, false, false, ETWRECORD_NONE);
    while (twrc == TWRC_SUCCESS)
    {
        char szProductName[sizeof(TW_STR32)];
        TwainFieldText(twidentity.ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
        u64Text += strlen(szProductName) + 3;
        if (u64Text > 2048)
        {
            break;
        }
        aszNames.push_back(szProductName);
        memset(&twidentity, 0, sizeof(twidentity));
        twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &twidentity, false, false, ETWRECORD_NONE);
    }
    if (aszNames.empty())
    {
        OSLOG_ERROR("no source to choose from...");
        return TWRC_FAILURE;
    }

    std::vector<const char *> aszArgv = {"zenity", "--list", "--title", "Select Source", "--column", "Sources:"};
    for (const std::string &szName : aszNames)
    {
        aszArgv.push_back(szName.c_str());
    }
    aszArgv.push_back(nullptr);

    // Run it without a shell and read its answer from a pipe.
    int aiPipe[2];
    if (pipe2(aiPipe, O_CLOEXEC) != 0)
    {
        OSLOG_ERROR("pipe failed...%d", errno);
        return TWRC_FAILURE;
    }
    posix_spawn_file_actions_t fileactions;
    posix_spawn_file_actions_init(&fileactions);
    posix_spawn_file_actions_adddup2(&fileactions, aiPipe[1], 1);
    pid_t pid = 0;
    int iSpawn = posix_spawnp(&pid, "zenity", &fileactions, nullptr, const_cast<char *const *>(aszArgv.data()),
                              environ);
    posix_spawn_file_actions_destroy(&fileactions);
    close(aiPipe[1]);
    if (iSpawn != 0)
    {
        close(aiPipe[0]);
        OSLOG_ERROR("zenity failed...%d", iSpawn);
        return TWRC_FAILURE;
    }
    // The choice is the first 40 bytes of its answer; the rest is read and
    // dropped, so that the chooser never waits on a full pipe.
    char szChoice[41] = "";
    size_t u64Read = 0;
    for (;;)
    {
        char szBuffer[256];
        ssize_t iRead = read(aiPipe[0], szBuffer, sizeof(szBuffer));
        if (iRead > 0)
        {
            size_t u64Take = sizeof(szChoice) - 1 - u64Read;
            if (u64Take > static_cast<size_t>(iRead))
            {
                u64Take = static_cast<size_t>(iRead);
            }
            memcpy(szChoice + u64Read, szBuffer, u64Take);
            u64Read += u64Take;
        }
        else if ((iRead < 0) && (errno == EINTR))
        {
            continue;
        }
        else
        {
            break;
        }
    }
    szChoice[u64Read] = 0;
    close(aiPipe[0]);
    int iStatus = 0;
    while ((waitpid(pid, &iStatus, 0) < 0) && (errno == EINTR))
    {
    }
    char *szCut = strrchr(szChoice, '\n');
    if (szCut)
    {
        *szCut = 0;
    }
    szCut = strrchr(szChoice, '\r');
    if (szCut)
    {
        *szCut = 0;
    }
    if (!szChoice[0])
    {
        OSLOG_ERROR("nothing was chosen...");
        return TWRC_FAILURE;
    }

    // The chosen source becomes the DSM's default source.  (A DSM whose list
    // never ends is not walked for ever.)
    memset(&twidentity, 0, sizeof(twidentity));
    twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &twidentity, false, false, ETWRECORD_NONE);
    for (int iWalked = 0; (twrc == TWRC_SUCCESS) && (iWalked < 65536); iWalked++)
    {
        char szProductName[sizeof(TW_STR32)];
        TwainFieldText(twidentity.ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
        if (!strcmp(szProductName, szChoice))
        {
            twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_SET, &twidentity, false, false, ETWRECORD_NONE);
            return (twrc == TWRC_SUCCESS) ? TWRC_SUCCESS : TWRC_FAILURE;
        }
        memset(&twidentity, 0, sizeof(twidentity));
        twrc = DsmEntry(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &twidentity, false, false, ETWRECORD_NONE);
    }
    OSLOG_ERROR("driver not found...<%s>", szChoice);
    return TWRC_FAILURE;
}

TW_UINT16 CTwainImpl::DSMFind(const char *a_szName)
{
    if (GetTwState() != ETWSTATE_DSMOPEN)
    {
        OSLOG_ERROR("DSMFind executed in wrong state...");
        return TWRC_FAILURE;
    }
    if (!a_szName || !a_szName[0])
    {
        OSLOG_ERROR("need a name...");
        return TWRC_FAILURE;
    }
    TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(a_szName) : nullptr;
    if (!ptwlookup)
    {
        OSLOG_ERROR("name not found...");
        return TWRC_FAILURE;
    }
    if (!strcasecmp(ptwlookup->szName, a_szName))
    {
        // A capability.
        TWAINLOG("%s: %d 0x%x", ptwlookup->szName, static_cast<int>(ptwlookup->u32Id),
                 static_cast<unsigned>(ptwlookup->u32Id));
        return TWRC_SUCCESS;
    }
    // A symbol: of a capability (then the capability first) or of a family.
    if (ptwlookup->u32Id >= 1)
    {
        TWAINLOG("%s: %d 0x%x", ptwlookup->szName, static_cast<int>(ptwlookup->u32Id),
                 static_cast<unsigned>(ptwlookup->u32Id));
    }
    if (ptwlookup->ptwenum)
    {
        TWAINLOG("%s: %d 0x%x", ptwlookup->ptwenum->szSymbol, static_cast<int>(ptwlookup->ptwenum->u32Value),
                 static_cast<unsigned>(ptwlookup->ptwenum->u32Value));
    }
    return TWRC_SUCCESS;
}
