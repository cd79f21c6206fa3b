#pragma once

#include <windows.h>

#include <string>

// Path of a file beside the running test executable (the build's bin folder).
std::string BinPath(const char* pszFile);

// A program started by a test; terminated when the test lets go of it.
class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts "exe args" with the exe from the bin folder; TRUE when it started.
    bool Start(const char* pszExe, const std::string& args = std::string());
    // Starts the exe at a full path of any characters, with no arguments.
    bool Start(const std::wstring& exePath);
    // TRUE when the process ended within the time.
    bool Wait(DWORD dwMilliseconds);
    bool IsRunning() const;
    DWORD ExitCode() const;
    DWORD Id() const { return m_pi.dwProcessId; }
    void Terminate();

private:
    PROCESS_INFORMATION m_pi = {};
};

// Runs "exe args" to its end and returns its exit code, with its standard
// output in *pOutput, and its standard error there too unless pErrors is given.
DWORD RunAndCapture(const char* pszExe, const std::string& args, std::string* pOutput,
                    DWORD dwTimeoutMs = 15000, std::string* pErrors = nullptr);

// Polls until the condition holds or the time is up; returns the condition.
template <typename Condition>
bool WaitFor(Condition condition, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(20);
    }
}
