// dattwunkidentity.cpp
// DAT_TWUNKIDENTITY: the open Data Source's identity with the path of its
// library, as the Data Source Manager knows it.
#include "ctwainimpl.h"

#include <cstring>

TW_UINT16 CTwainImpl::DSDatTwunkIdentity(const char *const *)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    TW_TWUNKIDENTITY twtwunkidentity;
    memset(&twtwunkidentity, 0, sizeof(twtwunkidentity));
    memcpy(&twtwunkidentity.identity, &m_twidentityDs, sizeof(TW_IDENTITY));
    TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_TWUNKIDENTITY, MSG_GET, &twtwunkidentity, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        return DatPrintStatus(twrc);
    }
    const TW_IDENTITY &id = twtwunkidentity.identity;
#define TWUNK_TEXT(a_field) static_cast<int>(sizeof(a_field)), a_field
    TWAINLOG("  dsPath......................%.*s", TWUNK_TEXT(twtwunkidentity.dsPath));
    TWAINLOG("  identity.Id.................%s", TwainInt(id.Id).sz);
    TWAINLOG("  identity.Manufacturer.......%.*s", TWUNK_TEXT(id.Manufacturer));
    TWAINLOG("  identity.ProductFamily......%.*s", TWUNK_TEXT(id.ProductFamily));
    TWAINLOG("  identity.ProductName........%.*s", TWUNK_TEXT(id.ProductName));
    TWAINLOG("  identity.Protocol...........%d.%d", id.ProtocolMajor, id.ProtocolMinor);
    TWAINLOG("  identity.SupportedGroups....0x%08llx", static_cast<unsigned long long>(id.SupportedGroups));
    TWAINLOG("  identity.Version............%d.%d", id.Version.MajorNum, id.Version.MinorNum);
    TWAINLOG("  identity.Country............%d", id.Version.Country);
    TWAINLOG("  identity.Language...........%d", id.Version.Language);
    TWAINLOG("  identity.Info...............%.*s", TWUNK_TEXT(id.Version.Info));
#undef TWUNK_TEXT
    return TWRC_SUCCESS;
}
