// bench-probe: what scripts/bench has to do or time from inside the Wine
// session, beside the program: handset events at a steady pace, plug cycles,
// start and exit times beside a bare program's, copies started together,
// phone states sent as fast as they are answered, and the program's end. Times come from QueryPerformanceCounter, the
// clock the softphone's and the device's logs use.
#include "app/outside_interface.h"
#include "standins/handset_sim/handset_protocol.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace handset_protocol;

namespace {

const DWORD WAIT_MS = 10000; // for a window to appear or a process to end
const DWORD SETTLE_MS = 500;  // a started program runs this long before it is asked to leave
const int MAX_COUNT = 100000;

const char USAGE_TEXT[] =
    "usage: bench-probe COMMAND ARGS\n"
    "  burst COUNT INTERVAL_MS TYPE VALUE [TYPE VALUE...]\n"
    "                     send the events COUNT times over, INTERVAL_MS apart\n"
    "  cycles COUNT       unplug, plug, and wait until the handset is open again\n"
    "  lifecycle COUNT    start Tandivorex.exe (beside this program) until its host\n"
    "                     window exists, then post IDOK until the process is gone;\n"
    "                     then the same with bench-bare.exe, COUNT times in turn\n"
    "  copies COUNT       start COUNT copies at once; count those left running\n"
    "  phonestate SECONDS send phone states 257 and 258 in turn; count the answers\n"
    "  quit               ask the running program to end, and wait until it has\n"
    "Prints its figures as name=value; exit status 0 done, 1 failed, 2 bad arguments.\n";

double NowMs()
{
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

BOOL ParseCount(const char* text, int* pValue)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > MAX_COUNT)
        return FALSE;
    *pValue = static_cast<int>(value);
    return TRUE;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench-probe: %s\n", what);
    return 1;
}

BOOL AskDevice(HWND hDevice, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(hDevice, msg, wParam, lParam, SMTO_NORMAL, CLIENT_TIMEOUT_MS, &answer))
        return FALSE;
    *pResult = static_cast<LRESULT>(answer);
    return TRUE;
}

int Burst(int count, int intervalMs, const std::vector<int>& events)
{
    HWND hDevice = FindDevice();
    if (hDevice == nullptr)
        return Fail("no device is running");
    int sent = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        for (size_t e = 0; e < events.size(); e += 2) {
            double start = NowMs();
            LRESULT result = 0;
            ++sent;
            if (!AskDevice(hDevice, WM_DEVICE_SEND_EVENT, ToWParam(events[e]), ToLParam(events[e + 1]), &result)
                || result != RESULT_OK)
                ++failed;
            // Each event gets the whole interval to itself, however long its delivery took.
            double left = start + intervalMs - NowMs();
            if (left > 0)
                ::Sleep(static_cast<DWORD>(left));
        }
    }
    std::printf("sent=%d failed=%d\n", sent, failed);
    return failed == 0 ? 0 : 1;
}

int Cycles(int count)
{
    HWND hDevice = FindDevice();
    if (hDevice == nullptr)
        return Fail("no device is running");
    int done = 0;
    for (; done < count; ++done) {
        LRESULT result = 0;
        if (!AskDevice(hDevice, WM_DEVICE_SET_PLUGGED, 0, 0, &result)
            || !AskDevice(hDevice, WM_DEVICE_SET_PLUGGED, 1, 0, &result))
            break;
        double deadline = NowMs() + WAIT_MS;
        while (AskDevice(hDevice, WM_DEVICE_GET_STATUS, 0, 0, &result) && (result & DEVICE_STATUS_OPEN) == 0
               && NowMs() < deadline)
            ::Sleep(10);
        if ((result & DEVICE_STATUS_OPEN) == 0)
            break;
    }
    std::printf("cycles=%d\n", done);
    return done == count ? 0 : Fail("the handset was not opened again");
}

// A program the bench starts, and the caption of its first window.
struct Subject {
    const char* exe;
    const char* caption;
};

const Subject SUBJECT_PROGRAM = {"Tandivorex.exe", HOST_WINDOW_CAPTION};
const Subject SUBJECT_BARE = {"bench-bare.exe", "bench-bare"};

// The window of one process, or of any, by its caption.
struct HostSearch {
    const char* caption;
    DWORD processId; // 0: any
    HWND hFound;
    int count;
};

BOOL CALLBACK CountHost(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<HostSearch*>(lParam);
    char caption[32];
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hWnd, &processId);
    if (::GetWindowTextA(hWnd, caption, sizeof(caption)) > 0 && std::strcmp(caption, pSearch->caption) == 0
        && (pSearch->processId == 0 || pSearch->processId == processId)) {
        pSearch->hFound = hWnd;
        ++pSearch->count;
    }
    return TRUE;
}

HostSearch FindHosts(DWORD processId, const char* caption = HOST_WINDOW_CAPTION)
{
    HostSearch search = {caption, processId, nullptr, 0};
    ::EnumWindows(CountHost, reinterpret_cast<LPARAM>(&search));
    return search;
}

// Starts a program that lies beside this one.
BOOL StartProgram(PROCESS_INFORMATION* pInfo, const char* exe = SUBJECT_PROGRAM.exe)
{
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (length == 0 || length >= MAX_PATH || slash == nullptr
        || static_cast<size_t>(slash - path) + 1 + std::strlen(exe) + 1 > MAX_PATH)
        return FALSE;
    slash[1] = '\0';
    std::strcat(path, exe);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return ::CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, pInfo) != 0;
}

// Asks a program to leave as its OK button would; ends it if it will not.
BOOL EndProgram(const PROCESS_INFORMATION& info, const char* caption = HOST_WINDOW_CAPTION)
{
    HostSearch host = FindHosts(info.dwProcessId, caption);
    if (host.hFound != nullptr)
        ::PostMessageA(host.hFound, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    BOOL bEnded = ::WaitForSingleObject(info.hProcess, WAIT_MS) == WAIT_OBJECT_0;
    if (!bEnded)
        ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hProcess);
    ::CloseHandle(info.hThread);
    return bEnded;
}

// Starts one program until its first window exists, lets it run, then asks it
// to leave until it is gone; prints both times under its name.
int StartAndExit(const Subject& subject, const char* name)
{
    PROCESS_INFORMATION info;
    double started = NowMs();
    if (!StartProgram(&info, subject.exe))
        return Fail("cannot start a program");
    HostSearch host = FindHosts(info.dwProcessId, subject.caption);
    while (host.hFound == nullptr && NowMs() - started < WAIT_MS) {
        ::Sleep(1);
        host = FindHosts(info.dwProcessId, subject.caption);
    }
    double shown = NowMs();
    if (host.hFound == nullptr) {
        EndProgram(info, subject.caption);
        return Fail("no window appeared");
    }
    ::Sleep(SETTLE_MS);
    double asked = NowMs();
    ::PostMessageA(host.hFound, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    BOOL bEnded = ::WaitForSingleObject(info.hProcess, WAIT_MS) == WAIT_OBJECT_0;
    double gone = NowMs();
    if (!bEnded) {
        EndProgram(info, subject.caption);
        return Fail("IDOK did not end the program");
    }
    ::CloseHandle(info.hProcess);
    ::CloseHandle(info.hThread);
    std::printf("%s_start_ms=%.2f %s_exit_ms=%.2f ", name, shown - started, name, gone - asked);
    return 0;
}

// The program and the bare anchor in turn, so that both meet the same
// conditions (a warm disk cache, the same load).
int Lifecycle(int count)
{
    for (int i = 0; i < count; ++i) {
        if (StartAndExit(SUBJECT_PROGRAM, "program") != 0 || StartAndExit(SUBJECT_BARE, "bare") != 0)
            return 1;
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}

int Quit()
{
    HostSearch host = FindHosts(0);
    if (host.hFound == nullptr)
        return Fail("Tandivorex is not running");
    DWORD processId = 0;
    ::GetWindowThreadProcessId(host.hFound, &processId);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    ::PostMessageA(host.hFound, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    BOOL bEnded = hProcess != nullptr && ::WaitForSingleObject(hProcess, WAIT_MS) == WAIT_OBJECT_0;
    if (hProcess != nullptr)
        ::CloseHandle(hProcess);
    return bEnded ? 0 : Fail("the program did not end");
}

int Copies(int count)
{
    std::vector<PROCESS_INFORMATION> copies;
    double started = NowMs();
    for (int i = 0; i < count; ++i) {
        PROCESS_INFORMATION info;
        if (StartProgram(&info))
            copies.push_back(info);
    }
    // Settled: no more than one left, and the one left has its window.
    int running = 0;
    double settled = started;
    for (;;) {
        running = 0;
        for (const PROCESS_INFORMATION& info : copies)
            running += ::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT ? 1 : 0;
        settled = NowMs();
        if ((running <= 1 && FindHosts(0).count == running) || settled - started > WAIT_MS)
            break;
        ::Sleep(5);
    }
    // A late second copy would show within this.
    ::Sleep(1000);
    running = 0;
    for (const PROCESS_INFORMATION& info : copies)
        running += ::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT ? 1 : 0;
    std::printf("started=%zu running=%d windows=%d settled_ms=%.1f\n", copies.size(), running,
                FindHosts(0).count, settled - started);
    for (const PROCESS_INFORMATION& info : copies)
        EndProgram(info);
    return copies.size() == static_cast<size_t>(count) ? 0 : Fail("not every copy started");
}

int PhoneStates(int seconds)
{
    HWND hHost = ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
    if (hHost == nullptr)
        return Fail("Tandivorex is not running");
    // A state other than both, so that every message after it is a change the
    // program relays to the handset, answering with the library's result.
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutA(hHost, WM_PHONE_STATE, 264, 0, SMTO_ABORTIFHUNG, WAIT_MS, &answer);
    int messages = 0, wrong = 0;
    double start = NowMs(), now = start;
    while (now - start < 1000.0 * seconds) {
        WPARAM state = messages % 2 == 0 ? 257 : 258;
        if (!::SendMessageTimeoutA(hHost, WM_PHONE_STATE, state, 0, SMTO_ABORTIFHUNG, WAIT_MS, &answer))
            return Fail("the program did not answer");
        ++messages;
        if (static_cast<LONG>(static_cast<DWORD>(answer)) != 1)
            ++wrong;
        now = NowMs();
    }
    std::printf("messages=%d seconds=%.3f wrong=%d\n", messages, (now - start) / 1000.0, wrong);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "quit") == 0)
        return Quit();
    int count = 0;
    if (argc < 3 || !ParseCount(argv[2], &count)) {
        std::fputs(USAGE_TEXT, stderr);
        return 2;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "burst") == 0 && argc >= 6 && argc % 2 == 0) {
        int intervalMs = 0;
        std::vector<int> events;
        BOOL bOk = ParseCount(argv[3], &intervalMs);
        for (int i = 4; bOk && i < argc; ++i) {
            // Decimal or 0x-hex, kept to the 32 bits an event field has.
            char* end = nullptr;
            long long value = std::strtoll(argv[i], &end, 0);
            bOk = *argv[i] != '\0' && *end == '\0';
            events.push_back(static_cast<int>(static_cast<unsigned int>(value)));
        }
        if (bOk)
            return Burst(count, intervalMs, events);
    } else if (argc == 3) {
        if (std::strcmp(command, "cycles") == 0)
            return Cycles(count);
        if (std::strcmp(command, "lifecycle") == 0)
            return Lifecycle(count);
        if (std::strcmp(command, "copies") == 0)
            return Copies(count);
        if (std::strcmp(command, "phonestate") == 0)
            return PhoneStates(count);
    }
    std::fputs(USAGE_TEXT, stderr);
    return 2;
}
