// Stand-in for the softphone Tandivorex drives: a window of the softphone's
// class and title that logs every key, show and activation it receives.
#include "event_log.h"
#include "phone_window.h"
#include "softphone_options.h"

#include "app/outside_interface.h"

#include <cstdio>

namespace {

const char USAGE[] =
    "usage: softphone [--class NAME] [--title TEXT] [--log FILE] [--pos X Y]\n"
    "  --class NAME  window class (default " SOFTPHONE_CLASS ")\n"
    "  --title TEXT  window title (default \"" SOFTPHONE_TITLE "\")\n"
    "  --log FILE    append one timestamped line per event to FILE\n"
    "  --pos X Y     top-left corner of the window\n";

} // namespace

// main rather than WinMain: the C runtime hands us the arguments already split.
int main(int argc, char** argv)
{
    CSoftphoneOptions options;
    std::string error;
    if (!options.Parse(argc, argv, &error)) {
        // Never a message box: a test or script waiting on us would hang.
        std::fprintf(stderr, "softphone: %s\n%s", error.c_str(), USAGE);
        return 2;
    }
    if (options.m_bHelp) {
        std::fputs(USAGE, stdout);
        return 0;
    }

    CEventLog log;
    if (!options.m_strLogPath.empty() && !log.Open(options.m_strLogPath)) {
        std::fprintf(stderr, "softphone: cannot open log file '%s' (error %lu)\n", options.m_strLogPath.c_str(),
                     ::GetLastError());
        return 1;
    }
    CPhoneWindow window(&log);
    if (!window.Create(options)) {
        std::fprintf(stderr, "softphone: cannot create the window (error %lu)\n", ::GetLastError());
        return 1;
    }

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    log.Event("exit");
    return 0;
}
