// Child ids of the softphone's window; tests read the display through them.
#pragma once

#define IDC_DIAL_NUMBER 1001
#define IDC_DIAL_STATUS 1002
#define IDC_DIAL_LAST_KEY 1003
