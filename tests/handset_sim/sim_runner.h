#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs handset-sim.exe from the test's own directory: the device as a
// long-lived process, and the short-lived commands with their output captured.
class CSimRunner {
public:
    struct Result {
        DWORD exitCode;
        std::string out;
        std::string err;
    };

    CSimRunner() = default;
    ~CSimRunner() { StopDevice(); }
    CSimRunner(const CSimRunner&) = delete;
    CSimRunner& operator=(const CSimRunner&) = delete;

    static std::wstring BinPath(const wchar_t* fileName);

    // Starts `handset-sim serve` and waits until its window can be found.
    bool StartDevice(bool plugged);
    HANDLE DeviceProcess() const { return m_hDevice; }
    // Quits the device through the command line, killing it if that fails.
    void StopDevice();

    Result Run(const std::vector<std::string>& args);
    // Starts a command without waiting; the caller waits on and closes the handle.
    HANDLE Launch(const std::vector<std::string>& args);

private:
    HANDLE m_hDevice = nullptr;
};
