#include "child_process.h"

#include <vector>

std::string BinPath(const char* pszFile)
{
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath);
    return path.substr(0, path.find_last_of("\\/") + 1) + pszFile;
}

namespace {

// "exe" args, in a buffer CreateProcess may write to.
std::vector<char> CommandLine(const std::string& exe, const std::string& args)
{
    std::string cmd = "\"" + exe + "\" " + args;
    std::vector<char> buffer(cmd.begin(), cmd.end());
    buffer.push_back('\0');
    return buffer;
}

} // namespace

CChildProcess::~CChildProcess()
{
    Terminate();
}

bool CChildProcess::Start(const char* pszExe, const std::string& args)
{
    Terminate();
    std::string exe = BinPath(pszExe);
    std::vector<char> buffer = CommandLine(exe, args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return ::CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &m_pi) != FALSE;
}

bool CChildProcess::Start(const std::wstring& exePath)
{
    Terminate();
    std::wstring cmd = L"\"" + exePath + L"\"";
    std::vector<WCHAR> buffer(cmd.begin(), cmd.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    return ::CreateProcessW(exePath.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &m_pi) != FALSE;
}

bool CChildProcess::Wait(DWORD dwMilliseconds)
{
    return m_pi.hProcess == nullptr || ::WaitForSingleObject(m_pi.hProcess, dwMilliseconds) == WAIT_OBJECT_0;
}

bool CChildProcess::IsRunning() const
{
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD CChildProcess::ExitCode() const
{
    DWORD dwCode = STILL_ACTIVE;
    if (m_pi.hProcess != nullptr)
        ::GetExitCodeProcess(m_pi.hProcess, &dwCode);
    return dwCode;
}

void CChildProcess::Terminate()
{
    if (m_pi.hProcess == nullptr)
        return;
    if (IsRunning()) {
        ::TerminateProcess(m_pi.hProcess, 255);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
    m_pi = PROCESS_INFORMATION();
}

namespace {

// A file that a child can inherit as its output, deleted once closed.
HANDLE CreateOutputFile()
{
    char szDir[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szDir);
    ::GetTempFileNameA(szDir, "out", 0, szPath);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return ::CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                         CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadAndClose(HANDLE hFile)
{
    std::string text;
    char chunk[512];
    DWORD dwRead = 0;
    ::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN);
    while (::ReadFile(hFile, chunk, sizeof chunk, &dwRead, nullptr) && dwRead > 0)
        text.append(chunk, dwRead);
    ::CloseHandle(hFile);
    return text;
}

} // namespace

DWORD RunAndCapture(const char* pszExe, const std::string& args, std::string* pOutput, DWORD dwTimeoutMs,
                    std::string* pErrors)
{
    // Files rather than pipes: a child that writes much cannot block, and
    // one that hangs is ended when the time is up.
    HANDLE hOut = CreateOutputFile();
    HANDLE hErr = pErrors != nullptr ? CreateOutputFile() : hOut;
    std::string exe = BinPath(pszExe);
    std::vector<char> buffer = CommandLine(exe, args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hOut;
    si.hStdError = hErr;
    PROCESS_INFORMATION pi = {};
    DWORD dwCode = static_cast<DWORD>(-1);
    if (::CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                         nullptr, &si, &pi)) {
        if (::WaitForSingleObject(pi.hProcess, dwTimeoutMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(pi.hProcess, 255);
            ::WaitForSingleObject(pi.hProcess, 5000);
        }
        ::GetExitCodeProcess(pi.hProcess, &dwCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    if (pErrors != nullptr)
        *pErrors = ReadAndClose(hErr);
    std::string out = ReadAndClose(hOut);
    if (pOutput != nullptr)
        *pOutput = out;
    return dwCode;
}
