// Where AutoRun keeps its setting and what it stores there. The installer's
// custom actions use the same code, so that an install with AUTORUN=1 leaves
// just what choosing AutoRun in the menu leaves.
#pragma once

#include "app/outside_interface.h"

// The value under RUN_KEY; under STARTUP_APPROVED_KEY, a binary value of the
// same name whose first byte has its lowest bit set switches it off.
extern const char AUTORUN_VALUE[];
extern const WCHAR AUTORUN_VALUE_W[];

// The Run value's data for the program at pszPath: the path in quotes, its
// NUL, then zeros to MAX_PATH characters. FALSE, and nothing to store, when
// the path does not fit whole.
BOOL MakeAutoRunCommand(LPCWSTR pszPath, WCHAR (&szCommand)[MAX_PATH]);
