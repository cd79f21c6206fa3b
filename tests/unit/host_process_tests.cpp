// Tandivorex.exe as a process: hidden after its first paint, one copy only,
// and run from a folder whose name the ANSI code page cannot spell.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // RegGetValue and friends, for reading from outside
#include "app/outside_interface.h"
#include "res/resource.h"
#include "tests/support/child_process.h"
#include "tests/support/known_values.h"

#include <gtest/gtest.h>

namespace {

using known::HOST_CAPTION;
const char SINGLE_COPY_MUTEX[] = "Local\\Tandivorex.SingleCopy";

HWND HostOf(const CChildProcess& child)
{
    for (HWND hWnd = ::FindWindowA(nullptr, HOST_CAPTION); hWnd != nullptr;
         hWnd = ::FindWindowExA(nullptr, hWnd, nullptr, HOST_CAPTION)) {
        DWORD dwPid = 0;
        ::GetWindowThreadProcessId(hWnd, &dwPid);
        if (dwPid == child.Id())
            return hWnd;
    }
    return nullptr;
}

// It starts too when its single-copy name is held by another kind of object,
// which is not another copy of it.
TEST(HostProcess, HidesOnItsFirstPaintAndEndsOnCancel)
{
    for (bool bNameTaken : {false, true}) {
        SCOPED_TRACE(bNameTaken ? "the name taken by an event" : "a free name");
        ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_CAPTION)) << "a copy is already running";
        HANDLE hEvent = bNameTaken ? ::CreateEventA(nullptr, FALSE, FALSE, SINGLE_COPY_MUTEX) : nullptr;
        CChildProcess program;
        ASSERT_TRUE(program.Start("Tandivorex.exe"));
        HWND hWnd = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hWnd = HostOf(program)) != nullptr; }, 15000));
        EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(hWnd); }, 5000));
        // Its ticks, handled before SendMessage returns, show nothing again.
        for (WPARAM nTimer : {257, 258, 257, 258})
            ::SendMessageA(hWnd, WM_TIMER, nTimer, 0);
        EXPECT_FALSE(::IsWindowVisible(hWnd));

        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(program.Wait(10000));
        EXPECT_EQ(0u, program.ExitCode());
        if (hEvent != nullptr)
            ::CloseHandle(hEvent);
    }
}

// Each guard alone keeps a second copy out: the name held with no window
// about (two copies started together both find no window), and a window with
// the caption with no name held.
TEST(HostProcess, EitherGuardAloneKeepsASecondCopyOut)
{
    for (bool bByMutex : {true, false}) {
        SCOPED_TRACE(bByMutex ? "the name is held" : "the caption is there");
        ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_CAPTION)) << "a copy is already running";
        HANDLE hMutex = bByMutex ? ::CreateMutexA(nullptr, FALSE, SINGLE_COPY_MUTEX) : nullptr;
        HWND hFirst = bByMutex ? nullptr
                               : ::CreateWindowExA(0, "STATIC", HOST_CAPTION, WS_POPUP, 0, 0, 10, 10, nullptr,
                                                   nullptr, nullptr, nullptr);
        CChildProcess second;
        ASSERT_TRUE(second.Start("Tandivorex.exe"));
        EXPECT_TRUE(second.Wait(10000)) << "the second copy must exit by itself";
        EXPECT_EQ(0u, second.ExitCode());
        if (hMutex != nullptr)
            ::CloseHandle(hMutex);
        if (hFirst != nullptr)
            ::DestroyWindow(hFirst);
    }
}

// Installed under a user name in another script, the program must store its
// real path for AutoRun, not one with '?' for each character the ANSI code
// page lacks: Windows would start nothing at logon.
TEST(HostProcess, AutoRunStoresAPathTheCodePageCannotSpell)
{
    // Cyrillic, Chinese and Devanagari: no ANSI code page has all three.
    WCHAR szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    std::wstring folder = std::wstring(szTemp) + L"Tandivorex \x0422\x0435\x0441\x0442 \x6D4B\x8BD5 \x0915";
    BOOL bLost = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, nullptr, 0, nullptr, &bLost);
    ASSERT_TRUE(bLost) << "code page " << ::GetACP() << " spells the folder's name: nothing to show";

    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    std::wstring exe = folder + L"\\Tandivorex.exe", dll = folder + L"\\QVUSBTEL.dll";
    auto wide = [](const std::string& s) { return std::wstring(s.begin(), s.end()); }; // our bin path is ASCII
    ASSERT_TRUE(::CopyFileW(wide(BinPath("Tandivorex.exe")).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(wide(BinPath("QVUSBTEL.dll")).c_str(), dll.c_str(), FALSE));
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Tandivorex");

    CChildProcess program;
    ASSERT_TRUE(program.Start(exe));
    HWND hWnd = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hWnd = HostOf(program)) != nullptr; }, 15000));
    ::SendMessageA(hWnd, WM_COMMAND, ID_TRAY_AUTORUN, 0);
    WCHAR szValue[2 * MAX_PATH] = {};
    DWORD cb = sizeof szValue, dwType = 0;
    EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_CURRENT_USER, L"" RUN_KEY,
                                            L"Tandivorex", RRF_RT_ANY, &dwType, szValue, &cb));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), dwType);
    EXPECT_EQ(MAX_PATH * sizeof(WCHAR), cb) << "the value's 260-character form";
    EXPECT_TRUE(L"\"" + exe + L"\"" == szValue) << "the Run value names another file";

    ::PostMessageA(hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_TRUE(program.Wait(10000));
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Tandivorex");
    ::DeleteFileW(exe.c_str());
    ::DeleteFileW(dll.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace
