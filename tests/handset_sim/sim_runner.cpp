#include "sim_runner.h"

#include "standins/handset_sim/handset_protocol.h"

namespace {

const DWORD kCommandTimeoutMs = 10000;

// A file rather than a pipe: nothing to drain while the command runs.
HANDLE CreateOutputFile()
{
    wchar_t dir[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (::GetTempPathW(MAX_PATH, dir) == 0 || ::GetTempFileNameW(dir, L"hs", 0, path) == 0)
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    return ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadBack(HANDLE hFile)
{
    std::string text;
    ::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(hFile, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i) {
            if (buffer[i] != '\r') // the C runtime writes text-mode line ends
                text += buffer[i];
        }
    }
    return text;
}

// Without output files the command shares the test's console.
HANDLE StartSim(const std::vector<std::string>& args, HANDLE hOut = nullptr, HANDLE hErr = nullptr)
{
    std::wstring line = L"handset-sim.exe";
    for (const std::string& arg : args)
        line += L" \"" + std::wstring(arg.begin(), arg.end()) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (hOut != nullptr) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hOut;
        si.hStdError = hErr;
    }
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(CSimRunner::BinPath(L"handset-sim.exe").c_str(), &line[0], nullptr, nullptr,
                          hOut != nullptr, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

} // namespace

std::wstring CSimRunner::BinPath(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    std::wstring dir(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + fileName;
}

bool CSimRunner::StartDevice(bool plugged)
{
    m_hDevice = plugged ? StartSim({"serve", "--plugged"}) : StartSim({"serve"});
    for (int i = 0; m_hDevice != nullptr && i < 500; ++i) {
        if (handset_protocol::FindDevice() != nullptr)
            return true;
        if (::WaitForSingleObject(m_hDevice, 10) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

void CSimRunner::StopDevice()
{
    if (m_hDevice == nullptr)
        return;
    if (::WaitForSingleObject(m_hDevice, 0) == WAIT_TIMEOUT) {
        Run({"quit"});
        if (::WaitForSingleObject(m_hDevice, 5000) != WAIT_OBJECT_0) {
            ::TerminateProcess(m_hDevice, 99);
            ::WaitForSingleObject(m_hDevice, 5000);
        }
    }
    ::CloseHandle(m_hDevice);
    m_hDevice = nullptr;
}

CSimRunner::Result CSimRunner::Run(const std::vector<std::string>& args)
{
    Result result = {~0UL, "", ""};
    HANDLE hOut = CreateOutputFile();
    HANDLE hErr = CreateOutputFile();
    HANDLE hProcess = nullptr;
    if (hOut != INVALID_HANDLE_VALUE && hErr != INVALID_HANDLE_VALUE)
        hProcess = StartSim(args, hOut, hErr);
    if (hProcess != nullptr) {
        if (::WaitForSingleObject(hProcess, kCommandTimeoutMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(hProcess, 98);
            ::WaitForSingleObject(hProcess, kCommandTimeoutMs);
        }
        ::GetExitCodeProcess(hProcess, &result.exitCode);
        ::CloseHandle(hProcess);
        result.out = ReadBack(hOut);
        result.err = ReadBack(hErr);
    }
    for (HANDLE h : {hOut, hErr}) {
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
    return result;
}

HANDLE CSimRunner::Launch(const std::vector<std::string>& args)
{
    return StartSim(args);
}
