#pragma once

#include "hid/hid_phone.h"

// Walks the present HID collections once and opens the best telephony one;
// null when none is present or none would open.
CHidPhone* FindTelephonyPhone();
