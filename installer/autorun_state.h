// The user's auto-start as the custom actions find it and put it back: whether
// the Run value starts a given copy, and Task Manager's marker of it as text,
// which a property carries through an upgrade.
#pragma once

#include <windows.h>

// Whether the Run value names just the program at pszExe, quoted or not.
BOOL RunValuePointsAt(LPCWSTR pszExe);

// Task Manager's marker is 12 bytes: as text, two hex digits each and a NUL.
const size_t MARKER_TEXT_CCH = 2 * 12 + 1;

// Task Manager's marker for the Run value in lower-case hex; "-" when there is
// none, or none that is a binary value of at most 12 bytes.
void ReadStartupMarker(WCHAR (&szText)[MARKER_TEXT_CCH]);

// The marker back from its hex text; nothing is written for text that holds
// no whole byte, such as "-". The hex ends at the first character that is not
// a lower-case hex digit, and at 12 bytes.
void WriteStartupMarker(LPCWSTR pszText);
