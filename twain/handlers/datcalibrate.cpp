// datcalibrate.cpp
// DG_CUSTOM / DAT_CALIBRATE: reads the calibration record of the maker's
// devices, or starts a calibration of a given type.
#include "ctwainimpl.h"

#include <cstring>
#include <strings.h>

namespace
{

const struct
{
    const char *szName;
    TW_UINT16 u16Type;
} s_acalibrationtype[] = {{"TWCAL_CALIBRATIONTYPE_IMAGE", 1},
                          {"TWCAL_CALIBRATIONTYPE_MECHANICAL", 2},
                          {"TWCAL_CALIBRATIONTYPE_UDDS", 3},
                          {"TWCAL_CALIBRATIONTYPE_MAGNIFICATION", 4},
                          {"TWCAL_CALIBRATIONTYPE_MAGNIFICATIONTEST", 5},
                          {"TWCAL_CALIBRATIONTYPE_USECAPCALIBRATIONTYPE", 6},
                          {"TWCAL_CALIBRATIONTYPE_LCDCONTRAST", 7},
                          {"TWCAL_CALIBRATIONTYPE_GETRAWIMAGE", 8},
                          {"TWCAL_CALIBRATIONTYPE_PATCHREADER", 10},
                          {"TWCAL_CALIBRATIONTYPE_MICROPHONETEST", 11}};

} // namespace

TW_UINT16 CTwainImpl::DSDatCalibrate(const char *const *a_aszWords)
{
    if (!DatGuard())
    {
        return TWRC_FAILURE;
    }
    const char *szMessage = DatArg(a_aszWords, 1);
    if (DatWord(szMessage, "msg_get", "get"))
    {
        // The codes are printed whatever the answer, and the expected copy
        // follows the received one.
        memset(&m_twcalibrate, 0, sizeof(m_twcalibrate));
        TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_CALIBRATE, MSG_GET, &m_twcalibrate, false, false);
        memcpy(&m_twcalibrateExpected, &m_twcalibrate, sizeof(m_twcalibrateExpected));
        return DatPrintStatus(twrc);
    }
    if (!DatWord(szMessage, "msg_set", "set"))
    {
        return DatUnrecognized(szMessage);
    }
    memset(&m_twcalibrate, 0, sizeof(m_twcalibrate));
    const char *szType = DatArg(a_aszWords, 2);
    if (DatWordMissing(szType))
    {
        return DatUsage("must specify a calibration type...");
    }
    bool blFound = false;
    for (const auto &calibrationtype : s_acalibrationtype)
    {
        if (!strcasecmp(szType, calibrationtype.szName))
        {
            m_twcalibrate.CalibrationType = calibrationtype.u16Type;
            blFound = true;
            break;
        }
    }
    if (!blFound)
    {
        return DatUsage("unrecognized calibration type...");
    }
    TW_UINT16 twrc = DsmEntry(DG_CUSTOM, DAT_CALIBRATE, MSG_SET, &m_twcalibrate, false, false);
    return (twrc == TWRC_SUCCESS) ? TWRC_SUCCESS : DatPrintStatus(twrc);
}
