// datimagememfilexfer.cpp
// DG_IMAGE / DAT_IMAGEMEMFILEXFER: an image file in blocks, appended to the
// file the image report names (the block transfer of datimagememxfer.cpp).
#include "ctwainimpl.h"

TW_UINT16 CTwainImpl::DSDatImageMemFileXfer(const char *const *a_aszWords)
{
    return DatMemoryXfer(a_aszWords, true);
}
