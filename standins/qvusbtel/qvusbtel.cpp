// Stand-in QVUSBTEL.dll. No device is ever present: open fails, close and
// commands are accepted.
#include "handset/qvusbtel.h"

extern "C" int WINAPI QV_DeviceIoControl(DWORD code, QV_HANDSET_CALLBACK, void*, DWORD, DWORD, DWORD)
{
    return code == QV_CODE_OPEN ? 0 : 1;
}
