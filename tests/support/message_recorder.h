#pragma once

#include "window_thread.h"

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

// One message as a test window received it.
struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    double timeMs; // QueryPerformanceCounter time, comparable between threads
};

// An expected message; a table of them ends with { 0 }.
struct ExpectedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A real top-level window on a thread of its own that records the key
// messages it receives, in the manner of Wine's message tests. A marker
// posted after an action tells where that action's effects end.
class CMessageRecorder {
public:
    CMessageRecorder(const char* pszClass, const char* pszTitle);
    ~CMessageRecorder();
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    HWND Window() const { return m_thread.Window(); }

    // Waits until everything posted to the window before this call is recorded.
    void Flush();
    // The key messages recorded so far, cleared afterwards.
    std::vector<RecordedMessage> Take();
    // The window's thread stops reading its queue, as a hung program's does,
    // until Resume.
    void Hang();
    void Resume();

private:
    static HWND Make(void* pThis);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Record(UINT uMsg, WPARAM wParam, LPARAM lParam);

    std::string m_class;
    std::string m_title;
    HANDLE m_hMarkerSeen;
    HANDLE m_hResume;
    std::mutex m_lock; // the window's thread records, the test's takes
    std::vector<RecordedMessage> m_messages;
    CWindowThread m_thread;
};

double NowMs();

// Gives the foreground to the front window and waits until the switch has
// settled on its thread and on those of the windows behind. Wine applies a
// switch of the foreground on each window's own thread, by a message that
// thread handles when it next reads its queue; the deactivation left over
// from an earlier switch can land after this one and leave no active window
// for a moment.
void MakeForeground(CMessageRecorder& front, std::initializer_list<CMessageRecorder*> behind);

// Compares the key messages received with a { 0 }-terminated table, as Wine's
// ok_sequence does: the first mismatch, then both sequences, reported at
// the caller's file and line.
void ExpectSequence(const std::vector<RecordedMessage>& got, const ExpectedMessage* pExpected,
                    const char* pszWhat, const char* pszFile, int nLine);

#define EXPECT_SEQUENCE(got, expected, what) ExpectSequence((got), (expected), (what), __FILE__, __LINE__)
