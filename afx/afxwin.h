// Our stand-in for MFC 4.2's afxwin.h: a thin application and dialog framework
// over raw Win32, holding only what Tandivorex uses.
#pragma once

#include "cmd_target.h"
#include "dialog.h"
#include "message_map.h"
#include "paint_dc.h"
#include "win_app.h"
#include "wnd.h"
