#include "message_recorder.h"

#include "child_process.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Private marker: posted last, so its arrival means all earlier posts arrived.
const UINT WM_RECORDER_MARKER = WM_APP + 0x3F0;
// Makes the window's thread wait, without reading its queue, until resumed.
const UINT WM_RECORDER_HANG = WM_APP + 0x3F2;

bool IsKeyMessage(UINT uMsg)
{
    return uMsg == WM_KEYDOWN || uMsg == WM_KEYUP || uMsg == WM_SYSKEYDOWN || uMsg == WM_SYSKEYUP;
}

std::string Describe(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s(0x%04X) 0x%llX 0x%08llX", uMsg == WM_KEYDOWN ? "WM_KEYDOWN" : uMsg == WM_KEYUP ? "WM_KEYUP" : "message",
                  uMsg, static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam) & 0xFFFFFFFFull);
    return sz;
}

} // namespace

double NowMs()
{
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

CMessageRecorder::CMessageRecorder(const char* pszClass, const char* pszTitle)
    : m_class(pszClass)
    , m_title(pszTitle)
    , m_hMarkerSeen(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    , m_hResume(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    , m_lock()
    , m_messages()
    , m_thread(&CMessageRecorder::Make, this)
{
}

CMessageRecorder::~CMessageRecorder()
{
    Resume();
    m_thread.Close();
    ::CloseHandle(m_hMarkerSeen);
    ::CloseHandle(m_hResume);
}

HWND CMessageRecorder::Make(void* pParam)
{
    auto pThis = static_cast<CMessageRecorder*>(pParam);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CMessageRecorder::WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = pThis->m_class.c_str();
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&wc); // a second recorder of the same class reuses it
    return ::CreateWindowExA(0, pThis->m_class.c_str(), pThis->m_title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             100, 100, 300, 200, nullptr, nullptr, wc.hInstance, pThis);
}

LRESULT CALLBACK CMessageRecorder::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        auto pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto pThis = reinterpret_cast<CMessageRecorder*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pThis != nullptr) {
        if (uMsg == WM_RECORDER_MARKER) {
            ::SetEvent(pThis->m_hMarkerSeen);
            return 0;
        }
        if (uMsg == WM_RECORDER_HANG) {
            ::SetEvent(pThis->m_hMarkerSeen);
            ::WaitForSingleObject(pThis->m_hResume, INFINITE);
            return 0;
        }
        if (IsKeyMessage(uMsg))
            pThis->Record(uMsg, wParam, lParam);
    }
    if (uMsg == WM_DESTROY) {
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        ::PostQuitMessage(0);
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CMessageRecorder::Record(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_messages.push_back({uMsg, wParam, lParam, NowMs()});
}

void CMessageRecorder::Flush()
{
    ::PostMessageA(Window(), WM_RECORDER_MARKER, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_hMarkerSeen, 5000)) << "recorder marker lost";
}

void CMessageRecorder::Hang()
{
    ::ResetEvent(m_hResume);
    ::PostMessageA(Window(), WM_RECORDER_HANG, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_hMarkerSeen, 5000)) << "the recorder did not stop";
}

void CMessageRecorder::Resume()
{
    ::SetEvent(m_hResume);
}

std::vector<RecordedMessage> CMessageRecorder::Take()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<RecordedMessage> result;
    result.swap(m_messages);
    return result;
}

void MakeForeground(CMessageRecorder& front, std::initializer_list<CMessageRecorder*> behind)
{
    ::SetForegroundWindow(front.Window());
    front.Flush();
    for (CMessageRecorder* pBehind : behind)
        pBehind->Flush();
    if (::GetForegroundWindow() != front.Window())
        ::SetForegroundWindow(front.Window());
    ASSERT_TRUE(WaitFor([&front] { return ::GetForegroundWindow() == front.Window(); }, 1000))
        << "the foreground did not settle";
}

void ExpectSequence(const std::vector<RecordedMessage>& got, const ExpectedMessage* pExpected,
                    const char* pszWhat, const char* pszFile, int nLine)
{
    size_t nExpected = 0;
    while (pExpected[nExpected].message != 0)
        ++nExpected;
    size_t i = 0;
    while (i < got.size() && i < nExpected && got[i].message == pExpected[i].message &&
           got[i].wParam == pExpected[i].wParam && got[i].lParam == pExpected[i].lParam)
        ++i;
    if (i == got.size() && i == nExpected)
        return;

    std::string first = "message " + std::to_string(i) + ": expected " +
                        (i < nExpected ? Describe(pExpected[i].message, pExpected[i].wParam, pExpected[i].lParam)
                                       : std::string("nothing more")) +
                        ", got " + (i < got.size() ? Describe(got[i].message, got[i].wParam, got[i].lParam)
                                                   : std::string("nothing more"));
    std::string both = "  expected:\n";
    for (size_t j = 0; j < nExpected; ++j)
        both += "    " + Describe(pExpected[j].message, pExpected[j].wParam, pExpected[j].lParam) + "\n";
    both += "  got:\n";
    for (const RecordedMessage& m : got)
        both += "    " + Describe(m.message, m.wParam, m.lParam) + "\n";
    ADD_FAILURE_AT(pszFile, nLine) << pszWhat << ": " << first << "\n" << both;
}
