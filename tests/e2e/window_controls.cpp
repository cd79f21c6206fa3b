// Lists the controls of the window with a given caption, one a line:
// ID LEFT TOP RIGHT BOTTOM TEXT, in desktop coordinates, and a list box once
// per item, so that tests can read a window of another process and click in it.
#include <windows.h>

#include <cstdio>

namespace {

const UINT TIMEOUT_MS = 2000;
const int MAX_TEXT = 256;

LRESULT Ask(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(hWnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, TIMEOUT_MS, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

BOOL CALLBACK PrintControl(HWND hControl, LPARAM)
{
    RECT rc;
    char className[32] = {};
    wchar_t text[MAX_TEXT] = {};
    char utf8[4 * MAX_TEXT];
    ::GetWindowRect(hControl, &rc);
    ::GetClassNameA(hControl, className, sizeof className);
    bool isList = ::lstrcmpiA(className, "ListBox") == 0;
    LRESULT count = isList ? Ask(hControl, LB_GETCOUNT, 0, 0) : 1;
    for (LRESULT i = 0; i < count; ++i) {
        if (isList && Ask(hControl, LB_GETTEXTLEN, i, 0) >= MAX_TEXT)
            continue;
        text[0] = L'\0';
        // Wide: Wine hands a list box's items across processes in its own characters.
        Ask(hControl, isList ? LB_GETTEXT : WM_GETTEXT, isList ? i : MAX_TEXT, reinterpret_cast<LPARAM>(text));
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::printf("%d %ld %ld %ld %ld %s\n", ::GetDlgCtrlID(hControl), rc.left, rc.top, rc.right, rc.bottom, utf8);
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv)
{
    HWND hWnd = argc == 2 ? ::FindWindowA(nullptr, argv[1]) : nullptr;
    if (hWnd == nullptr) {
        std::fputs("usage: window_controls CAPTION (of a window that exists)\n", stderr);
        return 1;
    }
    ::EnumChildWindows(hWnd, PrintControl, 0);
    return 0;
}
