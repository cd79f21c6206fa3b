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

// One end of a child's output: an inheritable pipe whose contents we collect.
struct CapturePipe {
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    std::string text;

    bool Create()
    {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        if (!::CreatePipe(&hRead, &hWrite, &sa, 0))
            return false;
        ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        return true;
    }

    void Drain()
    {
        char chunk[512];
        DWORD dwAvailable = 0, dwRead = 0;
        while (::PeekNamedPipe(hRead, nullptr, 0, nullptr, &dwAvailable, nullptr) && dwAvailable > 0 &&
               ::ReadFile(hRead, chunk, sizeof chunk, &dwRead, nullptr) && dwRead > 0)
            text.append(chunk, dwRead);
    }

    void Close()
    {
        if (hRead != nullptr)
            ::CloseHandle(hRead);
        if (hWrite != nullptr)
            ::CloseHandle(hWrite);
        hRead = hWrite = nullptr;
    }
};

} // namespace

DWORD RunAndCapture(const char* pszExe, const std::string& args, std::string* pOutput, DWORD dwTimeoutMs,
                    std::string* pErrors)
{
    CapturePipe out, err;
    if (!out.Create() || (pErrors != nullptr && !err.Create())) {
        out.Close();
        return static_cast<DWORD>(-1);
    }

    std::string exe = BinPath(pszExe);
    std::vector<char> buffer = CommandLine(exe, args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.hWrite;
    si.hStdError = pErrors != nullptr ? err.hWrite : out.hWrite;
    PROCESS_INFORMATION pi = {};
    BOOL bStarted = ::CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                                     CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    ::CloseHandle(out.hWrite);
    out.hWrite = nullptr;
    if (err.hWrite != nullptr) {
        ::CloseHandle(err.hWrite);
        err.hWrite = nullptr;
    }
    DWORD dwCode = static_cast<DWORD>(-1);
    if (bStarted) {
        // Drain the pipes while waiting, so that neither a chatty child nor a
        // hung one can keep us past the time limit.
        DWORD dwStart = ::GetTickCount();
        for (;;) {
            out.Drain();
            err.Drain();
            if (::WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0)
                break;
            if (::GetTickCount() - dwStart > dwTimeoutMs) {
                ::TerminateProcess(pi.hProcess, 255);
                ::WaitForSingleObject(pi.hProcess, 5000);
                break;
            }
        }
        out.Drain();
        err.Drain();
        ::GetExitCodeProcess(pi.hProcess, &dwCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    if (pOutput != nullptr)
        *pOutput = out.text;
    if (pErrors != nullptr)
        *pErrors = err.text;
    out.Close();
    err.Close();
    return dwCode;
}
