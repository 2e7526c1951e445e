// dravo.h
// CDravo: the command shell of the test program.
//
// One object (g_pdravo) reads command lines from the terminal, the command
// line and script files, splits them into words, keeps the block stack and
// the script state, holds up to four TWAIN objects and dispatches every line
// by its first word.  Run is the prompt loop; Parse interprets one line.
#ifndef DRAVO_DRAVO_H
#define DRAVO_DRAVO_H

#include <cstddef>
#include <cstdint>

#include "ctwain.h"

class COsFile;

// Sizes of the shell.
#define DRAVO_TWAINSLOTS 4          // TWAIN object slots
#define DRAVO_LEVELS 16             // block stack levels (0 is the prompt)
#define DRAVO_WORDS 64              // word vector: 63 words and a null entry
#define DRAVO_LINESIZE 512          // one command line, terminator included
#define DRAVO_READSIZE 2048         // one line read at the prompt
#define DRAVO_DATALINES 4096        // lines of a data block
#define DRAVO_DATALINESIZE 256      // one data block line
#define DRAVO_TIMERS 16             // timer records
#define DRAVO_RUNARGS 10            // words kept as the run arguments of a line
#define DRAVO_RUNARGSIZE 512        // one run argument
#define DRAVO_SCRIPTARGS 16         // numbered arguments of a script run
#define DRAVO_SCRIPTLINES 8192      // lines of one script
#define DRAVO_SCRIPTLINESIZE 8192   // one script line while it is substituted
#define DRAVO_SCRIPTMAX (16ULL << 20) // the largest script file read (and embedded)

// One timer of the timer stack, in ticks of OsTimeGetPerformanceTick.
struct DravoTimer
{
    uint64_t u64Start;          // 0: not running
    uint64_t u64Stop;
    uint64_t u64Count;
    uint64_t u64Accumulated;
};

// One line as the interpreter sees it.
struct DravoLine
{
    const char *szLine;         // the line as typed (cut at CR / LF)
    char **aszCmd;              // the words; a missing word is null
    char *szLabel;              // the goto label buffer (64 bytes) or null
    int iLine;                  // index of the line in the running script
    int *piNextLine;            // where the script runner continues, or null
};

class CDravo;
typedef bool (CDravo::*PfnDravoCommand)(DravoLine &a_dravoline);

// One row of the command table.
struct DravoCommand
{
    const char *szWord;
    PfnDravoCommand pfn;
};

class CDravo
{
public:
    CDravo();
    ~CDravo();

    // ---------------------------------------------------------------- loop
    // The prompt loop; returns the exit status.
    int Run(int a_iArgc, char **a_aszArgv);
    // Interprets one line; false stops the prompt loop or the running script.
    bool Parse(const char *a_szLine, char *a_szLabel, int a_iLine, int *a_piNextLine);
    void SetPrompt(const char *a_szPrompt);
    COsFile *GetEditLine();

    // Splits a line into words (quotes, blanks and tabs as the command
    // language says) in a_szBuffer (at least the line's length + 1 bytes);
    // a_aszWords gets up to a_iMaxWords - 1 words and a null entry.  Returns
    // the number of words the line holds (it may be more than were stored).
    static int Tokenize(const char *a_szLine, char *a_szBuffer, size_t a_sizeBuffer, char **a_aszWords, int a_iMaxWords);
    // The raw text after the first word of a line ("" when none).
    static const char *FindArg(const char *a_szLine);
    // The value of a TWRC_ or TWCC_ name; 65535 for any other name.
    static uint16_t LookupStatus(const char *a_szName);

    // ------------------------------------------------------------- scripts
    bool CmdRun(char **a_aszCmd);
    bool CmdIfStatus(char **a_aszCmd);
    bool LocalIfStatus(char **a_aszCmd);
    void CmdReturn(char **a_aszCmd);
    void SetRunArgs(int a_iDepth, const char *const *a_aszArgs);
    void CmdSetDiff(char **a_aszCmd, int a_iDepth);
    bool CmdIfDiff(char **a_aszCmd, int a_iDepth);

    // ------------------------------------------------- TWAIN object slots
    int CmdTwcreate(char **a_aszCmd);
    void CmdTwdestroy(char **a_aszCmd);
    void CmdTwlist(char **a_aszCmd);
    void CmdTwset(char **a_aszCmd);
    void CmdTwstress(char **a_aszCmd);

    // ----------------------------------------------------- own commands
    void CmdLog(char **a_aszCmd);
    void CmdMem(char **a_aszCmd);
    void CmdShowDirectories(char **a_aszCmd);
    void CmdChangeDirectory(char **a_aszCmd);
    void CmdView(char **a_aszCmd);
    void CmdEdit(char **a_aszCmd);
    // The help summary, or the page of the topic in word 1.
    void CmdHelp(char **a_aszCmd);

    // ------------------------------------------- forwarders to the current
    // TWAIN object
    void CmdDsmopen(char **a_aszCmd);
    void CmdDsmset(char **a_aszCmd);
    void CmdDsmfind(char **a_aszCmd);
    void CmdDsmclose(char **a_aszCmd);
    void CmdDsmlist(char **a_aszCmd);
    void CmdDsopen(char **a_aszCmd);
    void CmdDsclose(char **a_aszCmd);
    void CmdDsresetall(char **a_aszCmd);
    void CmdDswait(char **a_aszCmd);
    void CmdDisplay(char **a_aszCmd);
    void CmdDsget(char **a_aszCmd);
    void CmdDsset(char **a_aszCmd);
    void CmdDsreset(char **a_aszCmd);
    void CmdDscap(char **a_aszCmd);
    void CmdDump(char **a_aszCmd);
    void CmdDsprobe(char **a_aszCmd);
    void CmdDatAutoColorLearn(char **a_aszCmd);
    void CmdDatCalibrate(char **a_aszCmd);
    void CmdDatCapability(char **a_aszCmd);
    void CmdDatConsumableMeters(char **a_aszCmd);
    void CmdDatCustomDsData(char **a_aszCmd);
    void CmdDatCustomDsDataGroup(char **a_aszCmd);
    void CmdDatDeviceInfo(char **a_aszCmd);
    void CmdDatEcdo(char **a_aszCmd);
    void CmdDatExtImageInfo(char **a_aszCmd);
    void CmdDatFileSystem(char **a_aszCmd);
    void CmdDatFirmwareDownload(char **a_aszCmd);
    void CmdDatIccProfile(char **a_aszCmd);
    void CmdDatIdentity(char **a_aszCmd);
    void CmdDatImageFileXfer(char **a_aszCmd);
    void CmdDatImageInfo(char **a_aszCmd);
    void CmdDatImageLayout(char **a_aszCmd);
    void CmdDatImageMemXfer(char **a_aszCmd);
    void CmdDatImageMemFileXfer(char **a_aszCmd);
    void CmdDatImageNativeXfer(char **a_aszCmd);
    void CmdDatLog(char **a_aszCmd);
    void CmdDatMeters(char **a_aszCmd);
    void CmdDatOcpButtons(char **a_aszCmd);
    void CmdDatOverride(char **a_aszCmd);
    void CmdDatPassThru(char **a_aszCmd);
    void CmdDatPendingXfers(char **a_aszCmd);
    void CmdDatProfiles(char **a_aszCmd);
    void CmdDatSetupFileXfer(char **a_aszCmd);
    void CmdDatSetupMemXfer(char **a_aszCmd);
    void CmdDatStatus(char **a_aszCmd);
    void CmdDatStatusRaw(char **a_aszCmd);
    void CmdDatTwainDirect(char **a_aszCmd);
    void CmdDatTwunkIdentity(char **a_aszCmd);
    void CmdDatUserInterface(char **a_aszCmd);
    void CmdDatUtc(char **a_aszCmd);
    void CmdDatWindow(char **a_aszCmd);
    void CmdDatXferGroup(char **a_aszCmd);

    // A shell object lives on the heap in zero-filled memory: its large
    // tables start empty without being written (or their pages touched).
    static void *operator new(size_t a_size);
    static void operator delete(void *a_pv);

private:
    CDravo(const CDravo &) = delete;
    CDravo &operator=(const CDravo &) = delete;

    // The command table (one row per word, first match wins).
    static const DravoCommand s_adravocommand[];

    // Table adapters: a member taking the word vector, the line going on.
    template <void (CDravo::*PFN)(char **)> bool Words(DravoLine &a_dravoline)
    {
        (this->*PFN)(a_dravoline.aszCmd);
        return true;
    }
    template <int (CDravo::*PFN)(char **)> bool WordsInt(DravoLine &a_dravoline)
    {
        (this->*PFN)(a_dravoline.aszCmd);
        return true;
    }

    // ------------------------------------------------ inline commands
    bool DoGoto(DravoLine &a_dravoline);
    bool DoMessage(DravoLine &a_dravoline);
    bool DoTally(DravoLine &a_dravoline);
    bool DoTimer(DravoLine &a_dravoline);
    bool DoColor(DravoLine &a_dravoline);
    bool DoSetVar(DravoLine &a_dravoline);
    bool DoGetVar(DravoLine &a_dravoline);
    bool DoReturn(DravoLine &a_dravoline);
    bool DoIfStatus(DravoLine &a_dravoline);
    bool DoIfDiff(DravoLine &a_dravoline);
    bool DoRepeat(DravoLine &a_dravoline);
    bool DoExit(DravoLine &a_dravoline);
    bool DoSize(DravoLine &a_dravoline);
    bool DoCount(DravoLine &a_dravoline);
    bool DoPowerState(DravoLine &a_dravoline);
    bool DoSetDiff(DravoLine &a_dravoline);
    bool DoDsmset(DravoLine &a_dravoline);
    bool DoSetExitStatus(DravoLine &a_dravoline);
    bool DoPrompt(DravoLine &a_dravoline);
    bool DoRun(DravoLine &a_dravoline);
    bool DoSetEnv(DravoLine &a_dravoline);
    bool DoSystem(DravoLine &a_dravoline);
    bool DoUnrecognized(DravoLine &a_dravoline);

    // ------------------------------------------------ embedded script
    // (dravo_embedded.cpp)
    bool DoRunScript(DravoLine &a_dravoline);
    bool DoDumpScript(DravoLine &a_dravoline);
    bool DoMakeScript(DravoLine &a_dravoline);
    bool DoUnpackage(DravoLine &a_dravoline);
    // The copy of the program with a_szName (or a_szName.txt) embedded.
    void MakeScript(const char *a_szName);
    // The own SCRIPT resource written to a file.  False when it is missing or
    // cannot be written: a_szLine gets the console line that says so and
    // a_szWhy the reason for a line on standard error.
    bool WriteScriptResource(const char *a_szPath, char *a_szLine, size_t a_sizeLine, char *a_szWhy, size_t a_sizeWhy);
    // A line shown on the console even while it is switched off.
    void PrintShown(const char *a_szText);

    // ------------------------------------------------ block stack
    // Opens level depth + 1 (its state cleared first); false, after an error
    // line, when the stack is full.
    bool OpenLevel(const char *a_szKind, bool a_blSkip, int a_iRepeat, int a_iLoopLine);
    void CloseLevel();
    bool DoEnd(DravoLine &a_dravoline);
    void ClearEndWords();
    // An error line about the block stack being full.
    void ReportDepthLimit();
    // True while a script is running (not at the prompt).
    bool InScript() const;

    // ------------------------------------------------ script runner
    // Runs one script file; false when the whole run must end.
    bool RunOneFile(const char *a_szFile, const char *a_szName, char (*a_aszArgs)[DRAVO_RUNARGSIZE], char **a_aszLines,
                    char *a_szWork, bool *a_pblStopped);
    bool Substitute(char *a_szLine, size_t a_sizeLine, char *a_szSubst, char (*a_aszArgs)[DRAVO_RUNARGSIZE]);
    void ListScripts();
    // Closes a data block that a script leaves open, with an error line.
    void CloseOpenDataBlock(const char *a_szName);

    // The TWAIN state of the current object (0 without one).
    int TwState();
    // Prints a line through the test log (plain line, not recorded).
    void Print(const char *a_szFormat, ...) __attribute__((format(printf, 2, 3)));
    // Prints a line with a severity.
    void PrintSev(int a_iSeverity, const char *a_szFormat, ...) __attribute__((format(printf, 3, 4)));
    // Writes the terminal title escape for the current object.
    void WriteTitle();
    // True when there is a current TWAIN object; else prints the error line
    // and, for a command meant to send a triplet, leaves TWRC_FAILURE and
    // TWCC_SEQERROR as the last codes.
    bool HaveTwain(bool a_blTriplet = true);
    // The slot of an existing TWAIN object named by the command's first
    // argument; -1 after the error line when it is missing, out of range or empty.
    int UsedTwainSlot(char **a_aszCmd);

    // ------------------------------------------------ data
    CTwain *m_aptwain[DRAVO_TWAINSLOTS];                // owned
    CTwain *m_ptwain;                                   // the current one, or null
    char m_szPrompt[64];                                // prompt name ("tw")
    bool m_blDataBlock;                                 // collecting a data block
    int m_iDataBlockLines;                              // lines collected
    char m_aszDataBlock[DRAVO_DATALINES][DRAVO_DATALINESIZE]; // expected data
    int m_iDepth;                                       // block depth, 0 at the prompt
    bool m_ablSkip[DRAVO_LEVELS];                       // per level: skip its lines
    const char *m_aszEndWord[DRAVO_LEVELS];             // per level: "end", or null
    const char *m_aszBlockKind[DRAVO_LEVELS];           // per level: repeat, ifstatus, ifdiff, skip
    int m_aiRepeatCount[DRAVO_LEVELS];                  // per level: passes left
    int m_aiLoopLine[DRAVO_LEVELS];                     // per level: the line of the repeat
    uint16_t m_u16LastRc;                               // last TWAIN return code
    uint16_t m_u16LastCc;                               // last TWAIN condition code
    char m_szLastCommand[128];                          // first word of the last line
    uint32_t m_u32TimerDepth;                           // running timers
    DravoTimer m_adravotimer[DRAVO_TIMERS];
    uint32_t m_u32Errors;
    uint32_t m_u32Warnings;
    twrunargs m_atwrunargsActual[DRAVO_LEVELS];         // per level: the last line's words
    twrunargs m_atwrunargsExpected[DRAVO_LEVELS];       // per level: what setdiff expects
    uint16_t m_u16ExitStatus;
    COsFile *m_poseditline;                             // the console, owned
    int m_iScripts;                                     // scripts running now
    bool m_blDataBlockFull;                             // data block lines were dropped
    bool m_blEmbeddedStart;                             // the embedded script's first run
};

// The one shell object of the process (null when it could not be created).
extern CDravo *g_pdravo;

// The program's entry (called by main).
int DravoMain(int a_iArgc, char **a_aszArgv);
// Starts the services layer with the shell's own configuration section.
void DravoOsServicesStart();

#endif // DRAVO_DRAVO_H
