// test_e2e_files.cpp
// Files written and read whole, through the real program against the
// simulated scanner: a finished image or dump is never lost and a failed
// write is said; hostile files to be read whole are refused at once.
#include <gtest/gtest.h>

#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::SimShell;

namespace
{

// The names in a folder that hold a_szPart.
int NamesWith(const std::string &a_szFolder, const char *a_szPart)
{
    int n = 0;
    if (DIR *pdir = opendir(a_szFolder.c_str()))
    {
        for (struct dirent *pdirent = readdir(pdir); pdirent; pdirent = readdir(pdir))
            n += std::string(pdirent->d_name).find(a_szPart) != std::string::npos;
        closedir(pdir);
    }
    return n;
}

} // namespace

TEST(E2eFiles, NoFinishedImageOrDumpIsLostAndNoWriteFailureIsSilent)
{
    const std::string szEarlier = "<earlier dump/>";
    struct Case
    {
        const char *szName;
        const char *szMech;     // the transfer mechanism (an enabled source), or null
        const char *szLines;
        long lLimit;            // the largest file the disk takes (0: no limit)
        const char *szFile;     // the file (null: a device)
        const char *aszLine[2]; // a line: its beginning and its end
        const char *szKept;     // the beginning of the file afterwards; null: no file
    } acase[] = {
        {"one block too many after a memory-file image", "TWSX_MEMFILE",
         "ii msg_get mf\ndat_imagememfilexfer\ndat_imagememfilexfer\n", 0, "mf00000000.tif",
         {"TWRC_FAILURE/TWCC_SEQERROR", ""}, "II*"},
        {"one block too many after a memory image named with a dot", "TWSX_MEMORY", "ii msg_get pg%03d.tif\nxm\nxm\n", 0,
         "pg000.tif", {"TWRC_FAILURE/TWCC_SEQERROR", ""}, "II*"},
        {"a native image in a missing folder", "TWSX_NATIVE", "xn get none/n%02d.tif\n", 0, "none/n00.tif",
         {"cannot create <none/n00.tif>, the image is not written...", ""}, nullptr},
        {"a native image on a full disk", "TWSX_NATIVE", "xn get n%02d.tif\n", 16384, "n00.tif",
         {"cannot write <n00.tif>, the image is not written...", ""}, nullptr},
        {"a native image into a full device", "TWSX_NATIVE", "xn get /dev/full\n", 0, nullptr,
         {"cannot write </dev/full>, the image is not written...", ""}, nullptr},
        {"a dump on a full disk", nullptr, "dump\n", 8192, "Desktop/Dravo-DumpCaps.xml",
         {"cannot write <", "/Desktop/Dravo-DumpCaps.xml>, the dump is not written..."}, szEarlier.c_str()},
    };
    for (const Case &c : acase)
    {
        SCOPED_TRACE(c.szName);
        SimShell sh(std::string("[scanner]\npage = 2 1.5\ncap ICAP_PIXELTYPE enum uint16 TWPT_GRAY\n"
                                "cap ICAP_IMAGEFILEFORMAT enum uint16 TWFF_TIFF\n") +
                    "cap ICAP_XFERMECH enum uint16 TWSX_NATIVE TWSX_MEMORY TWSX_MEMFILE default=" +
                    (c.szMech ? c.szMech : "TWSX_NATIVE") + "\n");
        sh.Dir().Write("Desktop/Dravo-DumpCaps.xml", szEarlier);
        sh.SetFileSizeLimit(c.lLimit);
        e2e::Result r = sh.Run(std::string("twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner\"\n") +
                               (c.szMech ? "ui enableds\nwait 20000 msg_xferready\n" : "") + c.szLines + "exit\n");
        EXPECT_EQ(sh.CountAffixed(c.aszLine[0], c.aszLine[1]), 1) << r.out;
        if (c.szFile)
        {
            EXPECT_TRUE(c.szKept ? sh.Dir().Read(c.szFile).rfind(c.szKept, 0) == 0 : !sh.Dir().Exists(c.szFile)) << c.szFile;
        }
        // Nothing half written stays behind.
        EXPECT_EQ(NamesWith(sh.Dir().Path(), ".tmp-") + NamesWith(sh.Dir().File("Desktop"), ".tmp-"), 0);
    }
}

TEST(E2eFiles, WhatIsNoRegularFileOfSensibleSizeIsRefusedAtOnce)
{
    // Each command with its own failure text, for a device that never ends,
    // a FIFO nobody writes and a file larger than any limit; the
    // configuration file is a FIFO too.
    const char *aszFile[] = {"/dev/zero", "fifo", "big"};
    const std::pair<std::string, std::string> acommand[] = {
        {"dat_twaindirect msg_settask %", "*** file not found % ***"},
        {"dat_passthru msg_passthru %", "Must supply a task or a filename container a task..."},
        {"dat_customdsdata msg_set %", "unable to read file..."},
        {"dat_customdsdatagroup msg_set % TWCDG_GROUP_IAPRINTER", "unable to read file..."},
        {"dat_profiles msg_profileimport %", "TWRC_FAILURE/TWCC_BADVALUE"},
        {"run %", "read failed..."},
        {"makescript %", "Failed to open script..."},
    };
    SimShell sh;
    ASSERT_EQ(mkfifo(sh.Dir().File("fifo").c_str(), 0600), 0);
    sh.Dir().Write("big", "");
    ASSERT_EQ(truncate(sh.Dir().File("big").c_str(), 1LL << 30), 0);
    ASSERT_TRUE(sh.Dir().MakeDir("cfg"));
    ASSERT_EQ(mkfifo(sh.Dir().File("cfg/const.ini").c_str(), 0600), 0);
    sh.SetEnv("ZAV_OSCFGDIR", sh.Dir().File("cfg"));
    std::string szScript = "twcreate 2.4\ndsmopen\ndsopen \"Simulated Scanner ZAV\"\n";
    std::vector<std::string> aszExpected;
    auto Fill = [](std::string a_sz, const std::string &a_szFile) {
        size_t pos = a_sz.find('%');
        return pos == std::string::npos ? a_sz : a_sz.replace(pos, 1, a_szFile);
    };
    for (const char *szFile : aszFile)
        for (const auto &command : acommand)
        {
            szScript += Fill(command.first, szFile) + "\n";
            aszExpected.push_back(Fill(command.second, szFile));
        }
    // A package that is a FIFO is refused, not waited on.
    ASSERT_EQ(mkfifo(sh.Dir().File("Desktop/pk").c_str(), 0600), 0);
    szScript += "unpackage pk\n";
    sh.Dir().Write("s.txt", szScript);
    e2e::Result r = sh.Run("run s\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder(aszExpected)) << r.out;
    EXPECT_EQ(sh.CountAffixed("Unable to unpackage <", "/Desktop/pk>: not a package this build can read..."), 1);
    EXPECT_TRUE(sh.Journal({"DAT_PASSTHRU"}).empty());
    // No copy made by makescript (unpackage leaves its empty folder).
    EXPECT_EQ(NamesWith(sh.Dir().File("Desktop"), "dravo_"), 1);
    EXPECT_TRUE(sh.Dir().Exists("Desktop/dravo_unpackage"));
}
