// hid-phone: the virtual USB telephony device from a command line, for
// scripts, the demo and a person trying the HID edition by hand.
#include "standins/hid_phone/virtual_phone.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Exit codes, as handset-sim's: 0 done, 1 the device refused or is missing, 2 bad command line.
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

const char USAGE_TEXT[] =
    "usage: hid-phone COMMAND [ARGS]\n"
    "  install          put the driver into this Wine prefix (plug does it too)\n"
    "  models           list the device models, with where each descriptor came from\n"
    "  plug MODEL       plug in a device of that model (one at a time)\n"
    "  unplug           pull it out; pending reads fail\n"
    "  input HEX        send an input report, report id first (00 when the model has none)\n"
    "  keys COUNT INTERVAL_MS DOWN UP\n"
    "                   press a key COUNT times, INTERVAL_MS apart: report DOWN, then UP\n"
    "                   half an interval later; prints when each DOWN went to the device\n"
    "                   ('MS sent', QueryPerformanceCounter in ms, as the softphone logs)\n"
    "  outputs          print, oldest first, the output reports it received since the last call\n"
    "  mute | answer    stop answering requests (writes stay pending), or answer again\n"
    "Exit status: 0 done, 1 no device or it refused, 2 bad command line.\n";

int UsageError(const char* message, const char* detail = "")
{
    fprintf(stderr, "hid-phone: %s%s\nTry 'hid-phone --help'.\n", message, detail);
    return EXIT_USAGE;
}

int Run(BOOL ok)
{
    return ok ? 0 : EXIT_FAILED;
}

// "02 04 00", "020400" and "02:04:00" alike; FALSE for anything else.
BOOL ParseHex(const char* psz, BYTE* pReport, DWORD* pcb)
{
    DWORD cb = 0;
    while (*psz != 0) {
        if (*psz == ' ' || *psz == ':') {
            ++psz;
            continue;
        }
        if (!isxdigit(static_cast<unsigned char>(psz[0])) || !isxdigit(static_cast<unsigned char>(psz[1])) ||
            cb == VIRTUAL_PHONE_MAX_REPORT)
            return FALSE;
        const char pair[3] = {psz[0], psz[1], 0};
        pReport[cb++] = static_cast<BYTE>(strtoul(pair, nullptr, 16));
        psz += 2;
    }
    *pcb = cb;
    return cb > 0;
}

int ListModels()
{
    int count = 0;
    const VirtualPhoneModel* const* ppModels = VirtualPhoneModels(&count);
    for (int i = 0; i < count; ++i)
        printf("%-12s %04x:%04x  %s\n", ppModels[i]->pszName, ppModels[i]->wVendorId, ppModels[i]->wProductId,
               ppModels[i]->pszSource);
    return 0;
}

double NowMs()
{
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

BOOL ParseCount(const char* psz, int nMax, int* pValue)
{
    char* end = nullptr;
    long value = strtol(psz, &end, 10);
    if (*psz == 0 || *end != 0 || value < 1 || value > nMax)
        return FALSE;
    *pValue = static_cast<int>(value);
    return TRUE;
}

void SleepUntil(double atMs)
{
    double left = atMs - NowMs();
    if (left > 0)
        ::Sleep(static_cast<DWORD>(left));
}

// One process and one handle for all the keys: each report goes out at its
// time, with nothing to start or look up just before it.
int PressKeys(int count, int intervalMs, const BYTE* pDown, DWORD cbDown, const BYTE* pUp, DWORD cbUp)
{
    HANDLE hControl = VirtualPhoneOpenControl();
    if (hControl == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hid-phone: no device is plugged\n");
        return EXIT_FAILED;
    }
    int failed = 0;
    double next = NowMs();
    for (int i = 0; i < count; ++i) {
        SleepUntil(next);
        double sent = NowMs();
        if (VirtualPhoneSendInputOn(hControl, pDown, cbDown))
            printf("%.3f sent\n", sent);
        else
            ++failed;
        SleepUntil(sent + intervalMs / 2.0);
        if (!VirtualPhoneSendInputOn(hControl, pUp, cbUp))
            ++failed;
        next = sent + intervalMs;
    }
    ::CloseHandle(hControl);
    fflush(stdout);
    return failed == 0 ? 0 : EXIT_FAILED;
}

int PrintOutputs()
{
    const int MAX_REPORTS = 64;
    static BYTE reports[MAX_REPORTS][VIRTUAL_PHONE_MAX_REPORT];
    DWORD sizes[MAX_REPORTS];
    int count = VirtualPhoneTakeOutputs(reports, sizes, MAX_REPORTS);
    if (count < 0)
        return EXIT_FAILED;
    for (int i = 0; i < count; ++i) {
        for (DWORD j = 0; j < sizes[i]; ++j)
            printf(j == 0 ? "%02x" : " %02x", reports[i][j]);
        printf("\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return UsageError("no command");
    const char* pszCommand = argv[1];
    if (strcmp(pszCommand, "--help") == 0 || strcmp(pszCommand, "-h") == 0) {
        fputs(USAGE_TEXT, stdout);
        return 0;
    }
    BOOL bOneArgument = strcmp(pszCommand, "plug") == 0 || strcmp(pszCommand, "input") == 0;
    if (strcmp(pszCommand, "keys") != 0 && argc != (bOneArgument ? 3 : 2))
        return UsageError(bOneArgument ? "one argument expected after " : "no argument expected after ",
                          pszCommand);
    if (strcmp(pszCommand, "install") == 0)
        return Run(VirtualPhoneInstallDriver());
    if (strcmp(pszCommand, "models") == 0)
        return ListModels();
    if (strcmp(pszCommand, "plug") == 0) {
        const VirtualPhoneModel* pModel = FindVirtualPhoneModel(argv[2]);
        if (pModel == nullptr)
            return UsageError("unknown model: ", argv[2]);
        return Run(VirtualPhonePlug(pModel));
    }
    if (strcmp(pszCommand, "unplug") == 0)
        return Run(VirtualPhoneUnplug());
    if (strcmp(pszCommand, "input") == 0) {
        BYTE report[VIRTUAL_PHONE_MAX_REPORT];
        DWORD cb = 0;
        if (!ParseHex(argv[2], report, &cb))
            return UsageError("not a report of 1 to 64 hex bytes: ", argv[2]);
        return Run(VirtualPhoneSendInput(report, cb));
    }
    if (strcmp(pszCommand, "keys") == 0) {
        if (argc != 6)
            return UsageError("four arguments expected after ", pszCommand);
        const int MAX_KEYS = 100000, MAX_INTERVAL_MS = 60000;
        int count = 0, intervalMs = 0;
        BYTE down[VIRTUAL_PHONE_MAX_REPORT], up[VIRTUAL_PHONE_MAX_REPORT];
        DWORD cbDown = 0, cbUp = 0;
        if (!ParseCount(argv[2], MAX_KEYS, &count) || !ParseCount(argv[3], MAX_INTERVAL_MS, &intervalMs))
            return UsageError("keys wants a count and an interval in ms, each from 1", "");
        if (!ParseHex(argv[4], down, &cbDown) || !ParseHex(argv[5], up, &cbUp))
            return UsageError("keys wants two reports of 1 to 64 hex bytes", "");
        return PressKeys(count, intervalMs, down, cbDown, up, cbUp);
    }
    if (strcmp(pszCommand, "outputs") == 0)
        return PrintOutputs();
    if (strcmp(pszCommand, "mute") == 0)
        return Run(VirtualPhoneSetAnswering(FALSE));
    if (strcmp(pszCommand, "answer") == 0)
        return Run(VirtualPhoneSetAnswering(TRUE));
    return UsageError("unknown command: ", pszCommand);
}
