#include "device_codes.h"

#include "handset/qvusbtel.h"

namespace {

const DeviceCode kCodes[] = {
    {QV_CODE_OPEN, "open", kLampOff},
    {QV_CODE_CLOSE, "close", kLampOff},
    {0x1001, "idle", kLampOff},
    {0x1003, "on hold", RGB(255, 190, 0)},
    {0x1004, "ringing", RGB(230, 20, 20)},
    {0x1005, "talking", RGB(40, 200, 70)},
    {0x1006, "busy", RGB(255, 110, 0)},
};

const DeviceCode kUnknown = {0, "unknown", kLampOff};

} // namespace

const DeviceCode& DescribeCode(DWORD code)
{
    for (const DeviceCode& known : kCodes) {
        if (known.code == code)
            return known;
    }
    return kUnknown;
}
