#include "message_recorder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Private marker: posted last, so its arrival means all earlier posts arrived.
const UINT WM_RECORDER_MARKER = WM_APP + 0x3F0;

bool IsKeyMessage(UINT uMsg)
{
    return uMsg == WM_KEYDOWN || uMsg == WM_KEYUP || uMsg == WM_SYSKEYDOWN || uMsg == WM_SYSKEYUP;
}

std::string Describe(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    const char* pszName = uMsg == WM_KEYDOWN ? "WM_KEYDOWN"
                        : uMsg == WM_KEYUP   ? "WM_KEYUP"
                        : uMsg == WM_SHOWWINDOW ? "WM_SHOWWINDOW"
                        : uMsg == WM_ACTIVATE   ? "WM_ACTIVATE"
                                                : "message";
    char sz[128];
    std::snprintf(sz, sizeof sz, "%s(0x%04X) wParam=0x%llX lParam=0x%08llX", pszName, uMsg,
                  static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(lParam) & 0xFFFFFFFFull);
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
    , m_hWnd(nullptr)
    , m_hThread(nullptr)
    , m_hReady(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    , m_hMarkerSeen(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    ::InitializeCriticalSection(&m_cs);
    m_hThread = ::CreateThread(nullptr, 0, &CMessageRecorder::ThreadProc, this, 0, nullptr);
    ::WaitForSingleObject(m_hReady, 10000);
    Take(true);
}

CMessageRecorder::~CMessageRecorder()
{
    if (m_hWnd != nullptr)
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(m_hThread, 10000);
    ::CloseHandle(m_hThread);
    ::CloseHandle(m_hReady);
    ::CloseHandle(m_hMarkerSeen);
    ::DeleteCriticalSection(&m_cs);
}

DWORD WINAPI CMessageRecorder::ThreadProc(LPVOID pParam)
{
    auto pThis = static_cast<CMessageRecorder*>(pParam);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CMessageRecorder::WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = pThis->m_class.c_str();
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&wc); // a second recorder of the same class reuses it
    pThis->m_hWnd = ::CreateWindowExA(0, pThis->m_class.c_str(), pThis->m_title.c_str(),
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                      nullptr, nullptr, wc.hInstance, pThis);
    ::SetEvent(pThis->m_hReady);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg); // no TranslateMessage: record only what was posted
    return 0;
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
        if (IsKeyMessage(uMsg) || uMsg == WM_SHOWWINDOW || uMsg == WM_ACTIVATE)
            pThis->Record(uMsg, wParam, lParam);
    }
    if (uMsg == WM_DESTROY)
        ::PostQuitMessage(0);
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CMessageRecorder::Record(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ::EnterCriticalSection(&m_cs);
    m_messages.push_back({uMsg, wParam, lParam, NowMs()});
    ::LeaveCriticalSection(&m_cs);
}

void CMessageRecorder::Flush()
{
    ::PostMessageA(m_hWnd, WM_RECORDER_MARKER, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_hMarkerSeen, 5000)) << "recorder marker lost";
}

std::vector<RecordedMessage> CMessageRecorder::Take(bool bAll)
{
    std::vector<RecordedMessage> result;
    ::EnterCriticalSection(&m_cs);
    for (const RecordedMessage& m : m_messages) {
        if (bAll || IsKeyMessage(m.message))
            result.push_back(m);
    }
    m_messages.clear();
    ::LeaveCriticalSection(&m_cs);
    return result;
}

void ExpectSequence(const std::vector<RecordedMessage>& got, const ExpectedMessage* pExpected,
                    const char* pszWhat)
{
    std::vector<ExpectedMessage> expected;
    for (const ExpectedMessage* p = pExpected; p->message != 0; ++p)
        expected.push_back(*p);

    size_t nFirstDiff = 0;
    while (nFirstDiff < got.size() && nFirstDiff < expected.size() &&
           got[nFirstDiff].message == expected[nFirstDiff].message &&
           got[nFirstDiff].wParam == expected[nFirstDiff].wParam &&
           got[nFirstDiff].lParam == expected[nFirstDiff].lParam)
        ++nFirstDiff;
    if (nFirstDiff == got.size() && nFirstDiff == expected.size())
        return;

    std::string dump;
    size_t n = got.size() > expected.size() ? got.size() : expected.size();
    for (size_t i = 0; i < n; ++i) {
        dump += i == nFirstDiff ? "  > " : "    ";
        dump += i < expected.size() ? Describe(expected[i].message, expected[i].wParam, expected[i].lParam)
                                    : std::string("(nothing)");
        dump += "  |  got ";
        dump += i < got.size() ? Describe(got[i].message, got[i].wParam, got[i].lParam)
                               : std::string("(nothing)");
        dump += "\n";
    }
    ADD_FAILURE() << pszWhat << ": sequences differ at message " << nFirstDiff << "\n"
                  << "    expected  |  got\n" << dump;
}
