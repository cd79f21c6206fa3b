#include "cmd_target.h"

BOOL CCmdTarget::ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return FALSE;
}
