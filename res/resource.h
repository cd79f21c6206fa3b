// Resource and command ids, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 129
#define IDI_NO_DEVICE 130
#define IDI_NO_PHONE 131

#define ID_TRAY_ABOUT 32771
#define ID_TRAY_AUTORUN 32772
#define ID_TRAY_EXIT 32773

#define IDM_ABOUTBOX 0x0010

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif
