// test_twain_impl.cpp
// The TWAIN connection object: the language at construction, the state and
// the terminal title, the item readers on hand-built containers, the entry
// call without a DSM, file names made from a pattern, and the registry the
// DSM callback uses. The facade is exercised end to end
// (test_e2e_shell_twain.cpp).
#include <gtest/gtest.h>

#include <cstring>

#include "test_twain_impl_support.h"

namespace
{

// ---------------------------------------------------------------------------
// Construction (the protocol forms through the program: test_e2e_dsm.cpp)
// ---------------------------------------------------------------------------
TEST_F(TwainImplTest, LanguageComesFromTheSymbolTable)
{
    auto ptwainimplUsa = MakeTwainImpl("1.9", "TWLG_ENGLISH_USA");
    auto ptwainimplBad = MakeTwainImpl("1.9", "TWLG_NO_SUCH_LANGUAGE");
    EXPECT_EQ(ptwainimplBad->m_twlanguage, 0xFFFF);
    EXPECT_EQ(ptwainimplUsa->m_twlanguage, TWLG_ENGLISH_USA);
}

// ---------------------------------------------------------------------------
// State and terminal title
// ---------------------------------------------------------------------------
// (the titles of each state through the program: test_e2e_dsopen.cpp,
// test_e2e_shell_twain.cpp)
TEST_F(TwainImplTest, TitleAboveStateThreeShowsAtMost32CharactersOfTheProductName)
{
    // 33 characters and no room left for anything else in the field.
    memset(m_ptwainimpl->m_twidentityDs.ProductName, 0, sizeof(TW_STR32));
    memcpy(m_ptwainimpl->m_twidentityDs.ProductName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456", 33);
    testing::internal::CaptureStderr();
    m_ptwainimpl->SetTwState(ETWSTATE_DSOPEN);
    std::string szErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(szErr, "\033]2;Dravo (64-bit,4): ABCDEFGHIJKLMNOPQRSTUVWXYZ012345\007");

    // A name without any terminator in its field stays bounded too.
    memset(m_ptwainimpl->m_twidentityDs.ProductName, 'x', sizeof(TW_STR32));
    testing::internal::CaptureStderr();
    m_ptwainimpl->SetTwState(ETWSTATE_XFERREADY);
    szErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(szErr, "\033]2;Dravo (64-bit,6): " + std::string(32, 'x') + "\007");
}

// ---------------------------------------------------------------------------
// Item readers on hand-built containers (lists, frames and FIX32 values are
// read through the capability display: test_twain_show.cpp)
// ---------------------------------------------------------------------------
TEST_F(TwainImplTest, ItemsOneValueIntegersBySignedness)
{
    uint8_t au8[sizeof(TW_ONEVALUE)] = {};
    TW_ONEVALUE *ptwonevalue = reinterpret_cast<TW_ONEVALUE *>(au8);
    ptwonevalue->ItemType = TWTY_INT16;
    ptwonevalue->Item = 0xFFFF;
    const void *pvItem = au8 + offsetof(TW_ONEVALUE, Item);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_INT16, 0), -1);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_UINT16, 0), 65535);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_BOOL, 0), 65535);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_INT8, 0), -1);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_UINT8, 0), 255);

    // 8-byte items: the low 32-bit half.
    ptwonevalue->Item = 0x1234567880000001UL;
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_UINT32, 0), static_cast<int32_t>(0x80000001u));
    EXPECT_EQ(CTwainImpl::GetIntFromItem(pvItem, TWTY_INT32, 0), static_cast<int32_t>(0x80000001u));
}

TEST_F(TwainImplTest, ItemsReadersRefuseTypesOutsideTheirSet)
{
    uint8_t au8[64] = {1, 2, 3, 4};
    EXPECT_EQ(CTwainImpl::GetIntFromItem(au8, TWTY_FIX32, 0), 0);
    EXPECT_EQ(CTwainImpl::GetIntFromItem(au8, TWTY_STR32, 0), 0);
    EXPECT_EQ(CTwainImpl::GetDoubleFromItem(au8, TWTY_UINT16, 0), 0.0);

    char szOut[8] = "keep";
    CTwainImpl::GetStringFromItem(au8, TWTY_UINT32, 0, szOut, sizeof(szOut));
    EXPECT_STREQ(szOut, "keep");

    TW_FRAMEANGLE twframeangle;
    memset(&twframeangle, 0x5A, sizeof(twframeangle));
    CTwainImpl::GetFrameAngleFromItem(au8, TWTY_FIX32, 0, &twframeangle);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(&twframeangle)[0], 0x5A);
}

TEST_F(TwainImplTest, ItemsStringsAreBoundedByItemWidthAndBuffer)
{
    // Two TWTY_STR32 items; the second fills its whole 34 bytes.
    char acList[2 * 34];
    memset(acList, 0, sizeof(acList));
    strcpy(acList, "first");
    memset(acList + 34, 'b', 34);
    char szOut[64];
    CTwainImpl::GetStringFromItem(acList, TWTY_STR32, 0, szOut, sizeof(szOut));
    EXPECT_STREQ(szOut, "first");
    CTwainImpl::GetStringFromItem(acList, TWTY_STR32, 1, szOut, sizeof(szOut));
    EXPECT_EQ(std::string(szOut), std::string(34, 'b'));
    char szSmall[5];
    CTwainImpl::GetStringFromItem(acList, TWTY_STR32, 1, szSmall, sizeof(szSmall));
    EXPECT_STREQ(szSmall, "bbbb");

    // TWTY_STR255 items are 256 bytes apart.
    std::vector<char> acList255(2 * 256, 0);
    strcpy(acList255.data() + 256, "second of 255");
    CTwainImpl::GetStringFromItem(acList255.data(), TWTY_STR255, 1, szOut, sizeof(szOut));
    EXPECT_STREQ(szOut, "second of 255");
}

// ---------------------------------------------------------------------------
// The entry call and the DSM commands without a DSM
// ---------------------------------------------------------------------------
TEST_F(TwainImplTest, EntryWithoutDsmFailsAndRecordsNothing)
{
    m_ptwainimpl->m_twrcLast = 9;
    TW_STATUS twstatus = {};
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_STATUS, MSG_GET, &twstatus, false, false), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->DsmEntry(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr, true, false), TWRC_FAILURE);
    EXPECT_EQ(m_ptwainimpl->m_twrcLast, 9);
}

TEST_F(TwainImplTest, DsmCloseWithoutLibraryGoesToStateZero)
{
    auto ptwainimpl = MakeTwainImpl("1.9", "TWLG_ENGLISH_USA", 3);
    testing::internal::CaptureStderr();
    ptwainimpl->SetTwState(ETWSTATE_DSMOPEN);
    ptwainimpl->DSMClose();
    std::string szErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ptwainimpl->GetTwState(), ETWSTATE_NONE);
    EXPECT_NE(szErr.find("\033]2;Dravo (64-bit,0)\007"), std::string::npos);
    // Nothing was loaded, so nothing was zeroed.
    EXPECT_EQ(ptwainimpl->m_u32Instance, 3u);
}

// File names made from a user's pattern: at most one integer conversion,
// substituted by the program itself, never a printf format.
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

// ---------------------------------------------------------------------------
// The registry the DSM callback uses
// ---------------------------------------------------------------------------
TEST_F(TwainImplTest, RegistryCallbacksFindTheirConnectionByApplicationId)
{
    auto ptwainimplA = MakeTwainImpl();
    auto ptwainimplB = MakeTwainImpl();
    TW_IDENTITY twidentity = {};
    {
        std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
        // No Id yet: the callback goes to the latest connection.
        EXPECT_EQ(CTwainImpl::CallbackTarget(nullptr), ptwainimplB.get());
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplB.get());
    }

    // The Ids the DSM assigned (as DSMOpen notes them).
    ptwainimplA->m_twidentityApp.Id = 901;
    ptwainimplA->RegistryNoteAppId();
    ptwainimplB->m_twidentityApp.Id = 902;
    ptwainimplB->RegistryNoteAppId();
    {
        std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
        twidentity.Id = 901;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplA.get());
        twidentity.Id = 902;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplB.get());
        twidentity.Id = 777;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplB.get());
    }

    // A destroyed connection's callbacks are dropped, not sent elsewhere, and
    // the latest connection stays the default target. (The latest destroyed:
    // no target, test_twain_impl_dsm.cpp.)
    ptwainimplA.reset();
    EXPECT_EQ(CTwainImpl::s_ptwainimpl.load(), ptwainimplB.get());
    {
        std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
        twidentity.Id = 901;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), nullptr);
        twidentity.Id = 902;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplB.get());
    }

    // An Id the DSM hands out again belongs to its new holder.
    auto ptwainimplC = MakeTwainImpl();
    ptwainimplC->m_twidentityApp.Id = 901;
    ptwainimplC->RegistryNoteAppId();
    {
        std::lock_guard<std::recursive_mutex> lock(CTwainImpl::RegistryLock());
        twidentity.Id = 901;
        EXPECT_EQ(CTwainImpl::CallbackTarget(&twidentity), ptwainimplC.get());
    }
}

} // namespace
