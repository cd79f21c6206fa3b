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

void FakeHandsetReset(int nOpenResult, int nCommandResult = 1);
void FakeHandsetSetOpenResult(int nOpenResult);
std::vector<FakeHandsetCall> FakeHandsetCalls();
// The number of recorded calls with this code.
size_t FakeHandsetCount(DWORD code);
