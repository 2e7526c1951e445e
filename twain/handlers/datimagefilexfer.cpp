// datimagefilexfer.cpp
// DG_IMAGE / DAT_IMAGEFILEXFER: the source writes the image to the file set
// up with DAT_SETUPFILEXFER.
#include "ctwainimpl.h"

TW_UINT16 CTwainImpl::DSDatImageFileXfer(const char *const *)
{
    if (!DatGuard())
        return TWRC_FAILURE;
    TW_UINT16 twrc = DsmEntry(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr, false, false);
    DatPrintStatus(twrc);
    if (twrc == TWRC_XFERDONE)
        SetTwState(ETWSTATE_XFERRING);
    DisplayImage(&m_twsetupfilexfer);
    return twrc;
}
