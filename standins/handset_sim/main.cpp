// handset-sim: a simulated USB handset for the stand-in QVUSBTEL.dll, the
// commands that drive it from tests and scripts, and its panel for a person.
#include "standins/handset_sim/device_client.h"
#include "standins/handset_sim/handset_device.h"
#include "standins/handset_sim/handset_input.h"
#include "standins/handset_sim/panel_window.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Exit codes: 0 done, 1 the device refused or is missing, 2 bad command line.
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

// Longer than any key name or sensible number: anything beyond is a mistake.
const size_t MAX_ARGUMENT = 64;
const int MAX_KEYS = 64;

const char USAGE_TEXT[] =
    "usage: handset-sim COMMAND [ARGS]\n"
    "  serve [--plugged] [--log FILE]\n"
    "                       run the device (unplugged unless --plugged) until quit;\n"
    "                       --log appends each event it delivers, timed, to FILE\n"
    "  plug | unplug        plug the handset in, or pull it out\n"
    "  event TYPE VALUE     send a raw event (decimal or 0x-hex, 32-bit; TYPE may be -1)\n"
    "  key NAME [NAME...]   press keys: 0-9 * # down up enter activate escape\n"
    "                       forward-on forward-off keyset right f5 left\n"
    "  dial NUMBER          press each digit, * or # of NUMBER (no enter)\n"
    "  commands [--clear]   list the codes the library sent, oldest first\n"
    "  status               print plugged|unplugged open|closed\n"
    "  quit                 end the device\n"
    "  panel                a window with the handset's keys, its lamp and the commands\n"
    "                       it received (handset-panel.exe opens the same); starts an\n"
    "                       unplugged device if none runs, which outlives the window\n"
    "Events reach the program only while the handset is plugged in and open;\n"
    "key, dial and event return once the program's callback has taken them.\n"
    "Exit status: 0 done, 1 no device or it refused, 2 bad command line.\n";

int UsageError(const char* message, const char* detail = "")
{
    fprintf(stderr, "handset-sim: %s%s\nTry 'handset-sim --help'.\n", message, detail);
    return EXIT_USAGE;
}

int Run(BOOL bOk)
{
    return bOk ? 0 : EXIT_FAILED;
}

int SendEvents(const std::vector<HandsetEvent>& events, const std::vector<std::string>& names)
{
    CDeviceClient client;
    if (!client.Connect())
        return EXIT_FAILED;
    for (size_t i = 0; i < events.size(); ++i) {
        char what[128];
        snprintf(what, sizeof(what), "%s (type %d, value 0x%X)", names[i].c_str(), events[i].type,
                 static_cast<unsigned int>(events[i].value));
        if (!client.SendEvent(events[i].type, events[i].value, what))
            return EXIT_FAILED;
    }
    return 0;
}

int Event(int argc, char** argv)
{
    if (argc != 2)
        return UsageError("event takes TYPE and VALUE");
    HandsetEvent event;
    if (!ParseEventNumber(argv[0], &event.type))
        return UsageError("not a 32-bit number: ", argv[0]);
    if (!ParseEventNumber(argv[1], &event.value))
        return UsageError("not a 32-bit number: ", argv[1]);
    return SendEvents({event}, {"event"});
}

// All names are checked before the first key goes out, so a typo sends nothing.
int Keys(const std::vector<std::string>& names)
{
    std::vector<HandsetEvent> events;
    std::vector<std::string> labels;
    for (const std::string& name : names) {
        HandsetEvent event;
        if (!LookupKey(name.c_str(), &event))
            return UsageError("unknown key: ", name.c_str());
        events.push_back(event);
        labels.push_back("key " + name);
    }
    return SendEvents(events, labels);
}

int Key(int argc, char** argv)
{
    if (argc < 1)
        return UsageError("key takes at least one key name");
    if (argc > MAX_KEYS)
        return UsageError("too many keys at once");
    return Keys(std::vector<std::string>(argv, argv + argc));
}

int Dial(int argc, char** argv)
{
    if (argc != 1 || argv[0][0] == '\0')
        return UsageError("dial takes one NUMBER");
    std::vector<std::string> names;
    for (const char* p = argv[0]; *p != '\0'; ++p) {
        if (strchr("0123456789*#", *p) == nullptr)
            return UsageError("cannot dial: ", argv[0]);
        names.push_back(std::string(1, *p));
    }
    return Keys(names);
}

int Serve(int argc, char** argv)
{
    BOOL bPlugged = FALSE;
    const char* logPath = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--plugged") == 0 && !bPlugged) {
            bPlugged = TRUE;
        } else if (strcmp(argv[i], "--log") == 0 && logPath == nullptr && i + 1 < argc) {
            logPath = argv[++i];
            if (logPath[0] == '\0' || strlen(logPath) >= MAX_PATH)
                return UsageError("--log needs a file name shorter than 260 characters");
        } else {
            return UsageError("serve takes only --plugged and --log FILE");
        }
    }
    return CHandsetDevice::Serve(bPlugged, logPath);
}

int Commands(int argc, char** argv)
{
    BOOL bClear = argc == 1 && strcmp(argv[0], "--clear") == 0;
    if (argc != 0 && !bClear)
        return UsageError("commands takes only --clear");
    CDeviceClient client;
    return Run(client.Connect() && client.PrintCommands(bClear));
}

int Plain(const char* command, int argc)
{
    if (argc != 0)
        return UsageError(command, " takes no arguments");
    CDeviceClient client;
    if (!client.Connect())
        return EXIT_FAILED;
    if (strcmp(command, "plug") == 0)
        return Run(client.SetPlugged(TRUE));
    if (strcmp(command, "unplug") == 0)
        return Run(client.SetPlugged(FALSE));
    if (strcmp(command, "status") == 0)
        return Run(client.PrintStatus());
    return Run(client.Quit());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fputs(USAGE_TEXT, stderr);
        return EXIT_USAGE;
    }
    const char* command = argv[1];
    int restCount = argc - 2;
    char** rest = argv + 2;

    // Before the length check: a log path may well be longer than any key name.
    if (strcmp(command, "serve") == 0)
        return Serve(restCount, rest);
    for (int i = 1; i < argc; ++i) {
        if (strlen(argv[i]) > MAX_ARGUMENT)
            return UsageError("argument longer than 64 characters");
    }

    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0 || strcmp(command, "help") == 0) {
        fputs(USAGE_TEXT, stdout);
        return 0;
    }
    if (strcmp(command, "event") == 0)
        return Event(restCount, rest);
    if (strcmp(command, "key") == 0)
        return Key(restCount, rest);
    if (strcmp(command, "dial") == 0)
        return Dial(restCount, rest);
    if (strcmp(command, "commands") == 0)
        return Commands(restCount, rest);
    if (strcmp(command, "panel") == 0)
        return restCount == 0 ? CPanelWindow::Run() : UsageError("panel takes no arguments");
    for (const char* plain : {"plug", "unplug", "status", "quit"}) {
        if (strcmp(command, plain) == 0)
            return Plain(command, restCount);
    }
    return UsageError("unknown command: ", command);
}
