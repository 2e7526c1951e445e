// test_platform_dsm_identity.cpp
//
// The stand-in DSM's answers to DAT_IDENTITY without an identity: the
// messages whose identity names or receives a source answer a bad
// destination (but MSG_GETFIRST fails with no condition), MSG_SET a bad value,
// a message the type lacks a bad protocol.

#include "test_platform_dsm.h"

using namespace dsmtest;

TEST_F(DsmTest, IdentityWithoutDataIsABadDestination)
{
    App app;
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    const struct
    {
        TW_UINT16 u16Msg;
        TW_UINT16 u16Cc;
    } aexpect[] = {
        // (MSG_GETNEXT, MSG_OPENDS and MSG_CLOSEDS: with the list and the opens.)
        {MSG_GETFIRST, TWCC_SUCCESS}, {MSG_GETDEFAULT, TWCC_BADDEST}, {MSG_USERSELECT, TWCC_BADDEST},
        {MSG_SET, TWCC_BADVALUE},     {MSG_GET, TWCC_BADPROTOCOL},
    };
    for (const auto &expect : aexpect)
    {
        EXPECT_EQ(app.FailCc(app.Call(nullptr, DG_CONTROL, DAT_IDENTITY, expect.u16Msg, nullptr)), expect.u16Cc)
            << "message 0x" << std::hex << expect.u16Msg;
    }
}
