// Product versions compared as this project counts releases: by all four
// fields, the fourth included.
#pragma once

#include <windows.h>

// Below 0, 0 or above 0 as version a is older than, the same as or newer than
// b by all four fields of "a.b.c.d".
int CompareVersions(LPCWSTR pszA, LPCWSTR pszB);
