// A QVUSBTEL.dll that answers every call with failure at once, as the maker's
// would with no handset attached, without a device to ask. Beside a copy of
// the program, it shows what the program itself costs while the handset is
// absent, apart from what a library spends finding that out.
#include "handset/qvusbtel.h"

extern "C" int WINAPI QV_DeviceIoControl(DWORD, QV_HANDSET_CALLBACK, void*, DWORD, DWORD, DWORD)
{
    return 0;
}
