// Ends the copy of the program that runs from the install folder, before any
// of its files is replaced or removed, so that none is left locked.
#include "installer/installed_exe.h"
#include "installer/msi_session.h"

#include "app/outside_interface.h"
#include "res/resource.h"

namespace {

// Exit closes the handset library first; the maker's takes a moment for that.
const DWORD EXIT_WAIT_MS = 10000;

} // namespace

// Immediate, before InstallValidate, in every install, upgrade, repair and
// uninstall. A copy started from anywhere else holds none of our files and is
// left running. When a copy was ended and the program stays installed (an
// upgrade), TandivorexEnded tells the sequence to start the new one.
extern "C" UINT __stdcall EndRunningCopy(MSIHANDLE hInstall)
{
    const LPCWSTR ACTION = L"EndRunningCopy";
    HWND hWnd = ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
    if (hWnd == nullptr)
        return ERROR_SUCCESS;
    CMsiProperty installDir(hInstall, L"INSTALLDIR");
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (hProcess == nullptr) {
        Log(hInstall, ACTION, L"a running copy could not be opened; left running");
        return ERROR_SUCCESS;
    }
    WCHAR installed[MAX_PATH * 2];
    WCHAR image[MAX_PATH * 2] = {};
    DWORD cch = MAX_PATH * 2;
    if (!MakeInstalledExe(installDir.m_psz, installed) || !::QueryFullProcessImageNameW(hProcess, 0, image, &cch) ||
        ::lstrcmpiW(image, installed) != 0) {
        Log(hInstall, ACTION, L"the running copy is not ", installDir.m_psz, INSTALLED_EXE_NAME, L"; left running");
        ::CloseHandle(hProcess);
        return ERROR_SUCCESS;
    }
    Log(hInstall, ACTION, L"asking the running copy to exit");
    if (!::PostMessageW(hWnd, WM_COMMAND, ID_TRAY_EXIT, 0)) {
        // An elevated copy takes no message from us (UIPI refuses it with
        // access denied), and ending it by force would leave the handset
        // open. Nothing to wait for: InstallValidate finds its files in use
        // and Windows Installer deals with them as with any locked file,
        // through Restart Manager's prompt where the install shows one, or
        // by replacing them at the next restart (3010) where it is silent.
        WCHAR error[16];
        ::wsprintfW(error, L"%lu", ::GetLastError());
        Log(hInstall, ACTION, L"the running copy cannot be asked to exit, error ", error,
            L"; its files are left to the files-in-use check");
        ::CloseHandle(hProcess);
        return ERROR_SUCCESS;
    }
    if (::WaitForSingleObject(hProcess, EXIT_WAIT_MS) == WAIT_OBJECT_0) {
        ::MsiSetPropertyW(hInstall, L"TandivorexEnded", L"1");
        Log(hInstall, ACTION, L"the running copy has exited");
    } else {
        // Windows Installer then finds the file in use, as above.
        Log(hInstall, ACTION, L"the running copy did not exit in time");
    }
    ::CloseHandle(hProcess);
    return ERROR_SUCCESS;
}
