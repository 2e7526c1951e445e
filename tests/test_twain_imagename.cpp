// test_twain_imagename.cpp
// File names made from a user's pattern: at most one integer conversion,
// substituted by the program itself, never a printf format.
#include <gtest/gtest.h>

#include <string>

#include "ctwainimpl.h"

TEST(TwainImageName, OneIntegerConversionAtMostElseRefused)
{
    struct Case
    {
        const char *szPattern;
        const char *szName;     // null: refused
    } acase[] = {
        {"page%03d.raw", "page007.raw"}, {"img%d", "img7"}, {"p%08d.tif", "p00000007.tif"}, {"a%%b%x", "a%b7"},
        {"plain.tif", "plain.tif"},      {"%-4d|", "7   |"},
        {"%s", nullptr},                 {"%n", nullptr},    {"%d%d", nullptr},          {"%1000d", nullptr},
        {"%p", nullptr},                 {"%ld", nullptr},   {"end%", nullptr},          {"%.3f", nullptr},
        {"%999d", nullptr},
    };
    for (const Case &c : acase)
    {
        char szOut[64];
        bool blMade = TwainFormatName(c.szPattern, 7, szOut, sizeof(szOut));
        EXPECT_EQ(blMade, c.szName != nullptr) << c.szPattern;
        if (c.szName)
        {
            EXPECT_EQ(std::string(szOut), c.szName) << c.szPattern;
        }
    }
    // A name that does not fit is refused, not cut.
    char szSmall[8];
    EXPECT_FALSE(TwainFormatName("longname%03d", 1, szSmall, sizeof(szSmall)));
    EXPECT_STREQ(szSmall, "");
}
