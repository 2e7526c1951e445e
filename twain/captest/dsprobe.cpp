// dsprobe.cpp
// The Data Source probe: an inventory of every capability id that answers
// MSG_GET, camera by camera, without relying on CAP_SUPPORTEDCAPS or on the
// symbol table.
#include "ctwainimpl.h"

#include <cstring>

#include "capbuffer.h"

// A refused request of the probe is silent; its condition is read at once
// all the same, so that it stands for no later call.  A request that
// crashed was not refused: it is said, after the capability's header when
// a_iCap names one.
static void ProbeRefused(CTwainImpl *a_ptwainimpl, TW_UINT16 a_twrc, int a_iCap)
{
    a_ptwainimpl->ReadCondition(a_twrc);
    if (CapSaidCrash(a_ptwainimpl, "  ", a_iCap))
        TWAINLOG("%s", "");
}

// The application identity block.
static void ProbeShowIdentity(const TW_IDENTITY *a_ptwidentity)
{
    char szManufacturer[sizeof(TW_STR32)];
    char szProductFamily[sizeof(TW_STR32)];
    char szProductName[sizeof(TW_STR32)];
    char szInfo[sizeof(TW_STR32)];
    TwainFieldText(a_ptwidentity->Manufacturer, sizeof(TW_STR32), szManufacturer, sizeof(szManufacturer));
    TwainFieldText(a_ptwidentity->ProductFamily, sizeof(TW_STR32), szProductFamily, sizeof(szProductFamily));
    TwainFieldText(a_ptwidentity->ProductName, sizeof(TW_STR32), szProductName, sizeof(szProductName));
    TwainFieldText(a_ptwidentity->Version.Info, sizeof(TW_STR32), szInfo, sizeof(szInfo));
    TWAINLOG("%s", "");
    TWAINLOG("%s", "DAT_IDENTITY");
    TWAINLOG("Manufacturer:     %s", szManufacturer);
    TWAINLOG("ProductFamily:    %s", szProductFamily);
    TWAINLOG("ProductName:      %s", szProductName);
    TWAINLOG("Protocol:         %d.%d", a_ptwidentity->ProtocolMajor, a_ptwidentity->ProtocolMinor);
    TWAINLOG("SupportedGroups:  0x%08x", static_cast<unsigned int>(a_ptwidentity->SupportedGroups));
    TWAINLOG("Version:          %d.%d", a_ptwidentity->Version.MajorNum, a_ptwidentity->Version.MinorNum);
    TWAINLOG("Country:          %d", a_ptwidentity->Version.Country);
    TWAINLOG("Language:         %d", a_ptwidentity->Version.Language);
    TWAINLOG("Info:             %s", szInfo);
}

// The image layout of the selected camera, when the source reports one.
static void ProbeShowImageLayout(CTwainImpl *a_ptwainimpl)
{
    TW_IMAGELAYOUT twimagelayout;
    memset(&twimagelayout, 0, sizeof(twimagelayout));
    TW_UINT16 twrc = a_ptwainimpl->DsmEntry(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &twimagelayout, false, false);
    if (twrc != TWRC_SUCCESS)
    {
        ProbeRefused(a_ptwainimpl, twrc, -1);
        return;
    }
    const TW_FRAME &twframe = twimagelayout.Frame;
    TWAINLOG("%s", "");
    TWAINLOG("%s", "DAT_IMAGELAYOUT");
    TWAINLOG("DocumentNumber:   %d", static_cast<int>(twimagelayout.DocumentNumber));
    TWAINLOG("PageNumber:       %d", static_cast<int>(twimagelayout.PageNumber));
    TWAINLOG("FrameNumber:      %d", static_cast<int>(twimagelayout.FrameNumber));
    // The frame the layout describes: its number, then its sides.
    TWAINLOG("Frame:            %d", static_cast<int>(twimagelayout.FrameNumber));
    TWAINLOG("Frame:            left:%g top:%g right:%g bottom:%g",
             CTwainImpl::GetDoubleFromItem(&twframe.Left, TWTY_FIX32, 0),
             CTwainImpl::GetDoubleFromItem(&twframe.Top, TWTY_FIX32, 0),
             CTwainImpl::GetDoubleFromItem(&twframe.Right, TWTY_FIX32, 0),
             CTwainImpl::GetDoubleFromItem(&twframe.Bottom, TWTY_FIX32, 0));
    TWAINLOG("%s", "");
}

TW_UINT16 CTwainImpl::DSProbe()
{
    if (m_twidentityDs.Id == 0)
    {
        OSLOG_ERROR("We don't have a valid ID for the DS...");
        return Refuse(TWCC_SEQERROR);
    }
    if (GetTwState() != ETWSTATE_DSOPEN)
    {
        OSLOG_ERROR("DSProbe executed in wrong state...");
        return Refuse(TWCC_SEQERROR);
    }

    DSResetall();
    ProbeShowIdentity(&m_twidentityApp);

    char szCamera[64] = "";
    if (FirstCamera(szCamera, sizeof(szCamera)) != TWRC_SUCCESS)
    {
        return TWRC_SUCCESS;
    }
    for (;;)
    {
        TWAINLOG("%s", "");
        TWAINLOG("---%s----------------------------------", szCamera);
        ProbeShowImageLayout(this);

        for (uint32_t u32Cap = 0; u32Cap <= 0xFFFF; u32Cap++)
        {
            TW_CAPABILITY twcapability;
            memset(&twcapability, 0, sizeof(twcapability));
            twcapability.Cap = static_cast<TW_UINT16>(u32Cap);
            TW_UINT16 twrc = DsmEntry(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &twcapability, false, false);
            if (twrc != TWRC_SUCCESS)
            {
                ProbeRefused(this, twrc, static_cast<int>(u32Cap));
                DsMemFree(twcapability.hContainer);     // whatever came back with the refusal
                continue;
            }
            DSCapShow(&twcapability, MSG_GET);
            TWAINLOG("%s", "");
            DsMemFree(twcapability.hContainer);
        }

        szCamera[0] = '\0';
        if (NextCamera(szCamera, sizeof(szCamera)) != TWRC_SUCCESS)
        {
            return TWRC_SUCCESS;
        }
        TWAINLOG("%s", "");
        TWAINLOG("%s", "");
    }
}
