// Sends a phone state to the running Tandivorex and prints its answer, so that
// scripts and tests can drive it from outside.
#include "app/outside_interface.h"

#include <cstdio>
#include <cstring>

namespace {

const UINT SEND_TIMEOUT_MS = 5000;

const char USAGE[] =
    "usage: phonestate STATE\n"
    "Sends STATE to the running Tandivorex as WM_PHONE_STATE (0x0466) and prints\n"
    "its answer as a signed 32-bit number.\n"
    "STATE is a decimal or 0x-hex integer from -2147483648 to 4294967295.\n"
    "Exit status: 0 answered, 1 not running or no answer, 2 bad arguments.\n";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Strict: an optional '-', then decimal digits or 0x and hex digits, nothing else.
BOOL ParseState(const char* psz, DWORD* pState)
{
    BOOL bNegative = *psz == '-';
    if (bNegative)
        ++psz;
    unsigned base = 10;
    if (psz[0] == '0' && (psz[1] == 'x' || psz[1] == 'X')) {
        base = 16;
        psz += 2;
    }
    if (*psz == '\0')
        return FALSE;
    unsigned long long magnitude = 0;
    for (; *psz != '\0'; ++psz) {
        int digit = HexDigit(*psz);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return FALSE;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return FALSE;
    }
    if (bNegative && magnitude > 0x80000000ull)
        return FALSE;
    *pState = static_cast<DWORD>(bNegative ? 0x100000000ull - magnitude : magnitude);
    return TRUE;
}

int Usage(const char* pszProblem)
{
    std::fprintf(stderr, "phonestate: %s\n%s", pszProblem, USAGE);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc != 2)
        return Usage(argc < 2 ? "missing STATE" : "too many arguments");
    DWORD dwState = 0;
    if (!ParseState(argv[1], &dwState))
        return Usage("STATE must be a 32-bit integer, decimal or 0x-hex");

    HWND hHost = ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
    if (hHost == nullptr) {
        std::fputs("phonestate: Tandivorex is not running\n", stderr);
        return 1;
    }
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(hHost, WM_PHONE_STATE, static_cast<WPARAM>(dwState), 0, SMTO_ABORTIFHUNG,
                               SEND_TIMEOUT_MS, &result)) {
        DWORD dwError = ::GetLastError();
        if (dwError == ERROR_TIMEOUT || dwError == 0)
            std::fprintf(stderr, "phonestate: Tandivorex did not answer within %u s\n", SEND_TIMEOUT_MS / 1000);
        else
            std::fprintf(stderr, "phonestate: sending the state failed (error %lu)\n", dwError);
        return 1;
    }
    // Only the low 32 bits carry the answer, whatever the pointer size.
    std::printf("%ld\n", static_cast<long>(static_cast<LONG>(static_cast<DWORD>(result))));
    return 0;
}
