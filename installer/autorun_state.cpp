#include "installer/autorun_state.h"

#include "tray/autorun_value.h"
#include "tray/registry_key.h"

#include <strsafe.h>
#include <wchar.h>

namespace {

const WCHAR HEX[] = L"0123456789abcdef";

// The value of one hex digit; -1 for anything else, the NUL included.
int HexDigit(WCHAR ch)
{
    const WCHAR* pch = ch != L'\0' ? ::wcschr(HEX, ch) : nullptr;
    return pch != nullptr ? static_cast<int>(pch - HEX) : -1;
}

} // namespace

BOOL RunValuePointsAt(LPCWSTR pszExe)
{
    CRegistryKey run(HKEY_CURRENT_USER, RUN_KEY, CRegistryKey::READ_ONLY);
    // Room for our 260 characters and a NUL: a longer value is not ours.
    WCHAR data[MAX_PATH + 1] = {};
    DWORD cb = sizeof data - sizeof(WCHAR);
    DWORD type = REG_NONE;
    if (run.m_hKey == nullptr ||
        ::RegQueryValueExW(run.m_hKey, AUTORUN_VALUE_W, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return FALSE;
    // The program has no command-line options: anything more is someone else's.
    LPWSTR command = data;
    size_t cch = 0;
    if (SUCCEEDED(::StringCchLengthW(data, ARRAYSIZE(data), &cch)) && cch >= 2 && data[0] == L'"' &&
        data[cch - 1] == L'"') {
        command[cch - 1] = L'\0';
        ++command;
    }
    return ::lstrcmpiW(command, pszExe) == 0;
}

void ReadStartupMarker(WCHAR (&szText)[MARKER_TEXT_CCH])
{
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, CRegistryKey::READ_ONLY);
    BYTE marker[(MARKER_TEXT_CCH - 1) / 2] = {};
    DWORD type = REG_NONE;
    DWORD cb = sizeof marker;
    szText[0] = L'-';
    szText[1] = L'\0';
    if (approved.m_hKey == nullptr ||
        ::RegQueryValueExA(approved.m_hKey, AUTORUN_VALUE, nullptr, &type, marker, &cb) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return;
    for (DWORD i = 0; i < cb; ++i) {
        szText[2 * i] = HEX[marker[i] >> 4];
        szText[2 * i + 1] = HEX[marker[i] & 15];
    }
    szText[2 * cb] = L'\0';
}

void WriteStartupMarker(LPCWSTR pszText)
{
    BYTE bytes[(MARKER_TEXT_CCH - 1) / 2];
    DWORD cb = 0;
    for (; cb < sizeof bytes; ++cb, pszText += 2) {
        int hi = HexDigit(pszText[0]);
        int lo = hi >= 0 ? HexDigit(pszText[1]) : -1;
        if (lo < 0)
            break;
        bytes[cb] = static_cast<BYTE>((hi << 4) | lo);
    }
    if (cb == 0)
        return;
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, CRegistryKey::CREATE);
    approved.WriteValue(AUTORUN_VALUE, REG_BINARY, bytes, cb);
}
