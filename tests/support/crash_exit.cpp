// Registered as the test prefix's crash debugger (AeDebug), in place of
// winedbg: under Wine a crash on any thread but the main one otherwise ends
// the process with 0, and a test whose program crashed would pass. Ends the
// crashed process with CRASH_EXIT_CODE and says so on the output it inherits.
// With --crash-on-a-thread it crashes that way itself, to show the handling.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

const UINT CRASH_EXIT_CODE = 3;

DWORD WINAPI CrashOnAThread(LPVOID)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (lstrcmpA(argv[1], "--crash-on-a-thread") == 0) {
        HANDLE hThread = ::CreateThread(nullptr, 0, CrashOnAThread, nullptr, 0, nullptr);
        ::WaitForSingleObject(hThread, 10000);
        std::printf("the crash went unnoticed\n");
        return 0;
    }
    DWORD dwPid = std::strtoul(argv[1], nullptr, 10);
    std::fprintf(stderr, "CRASHED: process %lu had an unhandled exception; ended with exit code %u\n",
                 dwPid, CRASH_EXIT_CODE);
    std::fflush(stderr);
    HANDLE hProcess = ::OpenProcess(PROCESS_TERMINATE, FALSE, dwPid);
    if (hProcess == nullptr || !::TerminateProcess(hProcess, CRASH_EXIT_CODE))
        return 1;
    ::CloseHandle(hProcess);
    return 0;
}
