// Child ids of the handset panel; tests read the panel through them.
#pragma once

#define IDC_PANEL_STATUS 101
#define IDC_PANEL_PLUG 102
#define IDC_PANEL_LAMP_NAME 103
#define IDC_PANEL_LAMP_DETAIL 104
#define IDC_PANEL_MESSAGE 105
#define IDC_PANEL_COMMANDS 106
#define IDC_PANEL_FIRST_KEY 200
