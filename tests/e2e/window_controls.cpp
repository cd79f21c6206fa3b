// Lists the controls of the window with a given caption, one a line:
// ID LEFT TOP RIGHT BOTTOM TEXT, in desktop coordinates, and a list box once
// per item, so that tests can read a window of another process and click in it.
#include <windows.h>

#include <cstdio>

namespace {

const int MAX_TEXT = 256;

BOOL CALLBACK PrintControl(HWND hControl, LPARAM)
{
    RECT rc;
    char className[32] = {};
    ::GetWindowRect(hControl, &rc);
    ::GetClassNameA(hControl, className, sizeof className);
    bool isList = ::lstrcmpiA(className, "ListBox") == 0;
    DWORD_PTR count = 1;
    if (isList && !::SendMessageTimeoutW(hControl, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count))
        return TRUE;
    for (DWORD_PTR i = 0; i < count; ++i) {
        // Wide: Wine hands a list box's items across processes in its own characters.
        wchar_t text[MAX_TEXT] = {};
        char utf8[4 * MAX_TEXT];
        DWORD_PTR length = 0;
        if (isList && (!::SendMessageTimeoutW(hControl, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &length)
                       || length >= MAX_TEXT))
            continue;
        ::SendMessageTimeoutW(hControl, isList ? LB_GETTEXT : WM_GETTEXT, isList ? i : MAX_TEXT,
                              reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &length);
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
