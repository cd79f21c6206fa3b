#pragma once

#include "handset/qvusbtel.h"

#include <vector>

// A double of the handset library for unit tests: it records every call of
// QV_DeviceIoControl and answers with the results the test sets.
struct FakeHandsetCall {
    DWORD code;
    QV_HANDSET_CALLBACK callback;
    void* context;
};

// Resets the results and the record, and drops the hook.
void FakeHandsetReset(int nOpenResult, int nCommandResult = 1);
// What the double does inside each call, on the caller's thread, before it
// returns: to play a library that calls back at odd moments.
typedef void (*FakeHandsetHook)(DWORD code, QV_HANDSET_CALLBACK callback, void* context);
void FakeHandsetSetHook(FakeHandsetHook pfnHook);
void FakeHandsetSetOpenResult(int nOpenResult);
std::vector<FakeHandsetCall> FakeHandsetCalls();
// The number of recorded calls with this code.
size_t FakeHandsetCount(DWORD code);
