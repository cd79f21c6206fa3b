#include "fake_handset_library.h"

namespace {

// Calls come from the host's thread, checks from the test's.
struct FakeState {
    FakeState() { ::InitializeCriticalSection(&cs); }
    CRITICAL_SECTION cs;
    int nOpenResult = 0;
    int nCommandResult = 1;
    std::vector<FakeHandsetCall> calls;
    FakeHandsetHook pfnHook = nullptr;
};

FakeState& State()
{
    static FakeState state;
    return state;
}

} // namespace

extern "C" int WINAPI QV_DeviceIoControl(DWORD code, QV_HANDSET_CALLBACK callback, void* context,
                                         DWORD, DWORD, DWORD)
{
    FakeState& s = State();
    ::EnterCriticalSection(&s.cs);
    s.calls.push_back({code, callback, context});
    int nResult = code == QV_CODE_OPEN ? s.nOpenResult : code == QV_CODE_CLOSE ? 0 : s.nCommandResult;
    FakeHandsetHook pfnHook = s.pfnHook;
    ::LeaveCriticalSection(&s.cs);
    if (pfnHook != nullptr)
        pfnHook(code, callback, context);
    return nResult;
}

void FakeHandsetReset(int nOpenResult, int nCommandResult)
{
    FakeState& s = State();
    ::EnterCriticalSection(&s.cs);
    s.calls.clear();
    s.nOpenResult = nOpenResult;
    s.nCommandResult = nCommandResult;
    s.pfnHook = nullptr;
    ::LeaveCriticalSection(&s.cs);
}

void FakeHandsetSetHook(FakeHandsetHook pfnHook)
{
    FakeState& s = State();
    ::EnterCriticalSection(&s.cs);
    s.pfnHook = pfnHook;
    ::LeaveCriticalSection(&s.cs);
}

void FakeHandsetSetOpenResult(int nOpenResult)
{
    FakeState& s = State();
    ::EnterCriticalSection(&s.cs);
    s.nOpenResult = nOpenResult;
    ::LeaveCriticalSection(&s.cs);
}

std::vector<FakeHandsetCall> FakeHandsetCalls()
{
    FakeState& s = State();
    ::EnterCriticalSection(&s.cs);
    std::vector<FakeHandsetCall> calls = s.calls;
    ::LeaveCriticalSection(&s.cs);
    return calls;
}

size_t FakeHandsetCount(DWORD code)
{
    size_t n = 0;
    for (const FakeHandsetCall& call : FakeHandsetCalls())
        n += call.code == code ? 1 : 0;
    return n;
}
