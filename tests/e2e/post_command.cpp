// Posts WM_COMMAND with a control id to Tandivorex's host window, as a click on
// one of its (hidden) buttons would, so that tests can end it by OK or Cancel.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char HOST_WINDOW_CAPTION[] = "*Tandivorex";

const char USAGE[] =
    "usage: post_command ID\n"
    "Posts WM_COMMAND with control id ID (0..65535) to the window captioned \"*Tandivorex\".\n"
    "Exit status: 0 posted, 1 no such window or posting failed, 2 bad arguments.\n";

} // namespace

int main(int argc, char** argv)
{
    char* pszEnd = nullptr;
    unsigned long id = argc == 2 ? std::strtoul(argv[1], &pszEnd, 10) : 0;
    if (argc != 2 || argv[1][0] < '0' || argv[1][0] > '9' || *pszEnd != '\0' || id > 0xFFFF) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    HWND hHost = ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
    if (hHost == nullptr) {
        std::fprintf(stderr, "post_command: no window captioned \"%s\"\n", HOST_WINDOW_CAPTION);
        return 1;
    }
    if (!::PostMessageA(hHost, WM_COMMAND, MAKEWPARAM(id, 0), 0)) {
        std::fprintf(stderr, "post_command: posting failed (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::printf("posted WM_COMMAND %lu\n", id);
    return 0;
}
