// test_e2e_explore.cpp
// Faults found by using the program the way a tester does, each checked
// through the running program: slot numbers too large for an int, and
// script files holding NUL bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_e2e_shell_helpers.h"

using shelltest::Bold;
using shelltest::Shell;

namespace
{

// The bytes of a literal, NUL bytes included.
template <size_t N> std::string Bytes(const char (&a_ach)[N])
{
    return std::string(a_ach, N - 1);
}

} // namespace

// ---------------------------------------------------------------------------
// Slot numbers
// ---------------------------------------------------------------------------

// A number beyond the int range is out of range, never another slot.
TEST(E2eExploreSlots, NumbersTooLargeForAnIntNameNoSlot)
{
    Shell sh;
    e2e::Result r = sh.Run("twcreate\ntwset 4294967296\ntwdestroy 4294967296\ntwdestroy -4294967296\n"
                           "mem alloc 3 10\nmem alloc 4294967299 20\nmem free 4294967299\nmem\ntwlist\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sh.CountOf("%%error, number must be in range 0 - 3"), 3);
    EXPECT_EQ(sh.CountOf("Must specify a slot number between 0 and 15..."), 2);
    EXPECT_TRUE(sh.Has("Allocated #3: 10"));
    EXPECT_FALSE(sh.Has("Allocated #3: 20"));
    EXPECT_TRUE(sh.Has("\033[1m*\033[0m 0 - dsm closed")) << "object 0 is still there";
    EXPECT_FALSE(sh.Has("the last CTwain object has been destroyed (none left)..."));
}

// ---------------------------------------------------------------------------
// Script files with NUL bytes
// ---------------------------------------------------------------------------

// A NUL byte ends its own line, as at the prompt; the lines after it run.
TEST(E2eExploreScript, ANulByteCutsOnlyItsOwnLine)
{
    Shell sh;
    sh.Dir().Write("nul.txt", Bytes("echo first\x00hidden\x01\xff\n") +
                                  "echo second\r\n" + Bytes("\x00\x00\n") + "echo third\n");
    e2e::Result r = sh.Run("run nul\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.HasInOrder({Bold("first"), Bold("second"), Bold("third")})) << r.out;
    EXPECT_EQ(r.out.find("hidden"), std::string::npos);
}

// A data block after a NUL byte is still loaded for the comparison.
TEST(E2eExploreScript, ADataBlockAfterANulByteIsLoaded)
{
    Shell sh;
    sh.Dir().Write("nuldata.txt", Bytes("; note\x00 dropped\n") +
                                      "log data on\necho same\nlog data off\nlog compare\nexit\n"
                                      "datadatadata\ntw>>> echo same\n\033[1msame\033[0m\ntw>>> log data off\n"
                                      "datadatadata\n");
    e2e::Result r = sh.Run("run nuldata\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(sh.Has("pass...")) << r.out;
}
