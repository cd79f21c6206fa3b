#include "device_codes.h"

#include "handset/qvusbtel.h"

namespace {

const DeviceCode s_codes[] = {
    {QV_CODE_OPEN, "open", LAMP_OFF},
    {QV_CODE_CLOSE, "close", LAMP_OFF},
    {0x1001, "idle", LAMP_OFF},
    {0x1003, "on hold", RGB(255, 190, 0)},
    {0x1004, "ringing", RGB(230, 20, 20)},
    {0x1005, "talking", RGB(40, 200, 70)},
    {0x1006, "busy", RGB(255, 110, 0)},
};

const DeviceCode CODE_UNKNOWN = {0, "unknown", LAMP_OFF};

} // namespace

const DeviceCode& DescribeCode(DWORD code)
{
    for (const DeviceCode& known : s_codes) {
        if (known.code == code)
            return known;
    }
    return CODE_UNKNOWN;
}
