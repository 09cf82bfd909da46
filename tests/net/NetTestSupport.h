// Helpers of the network tests: an event recorder for downloader callbacks, a message pump
// with a deadline and an answerer for message boxes.
#pragma once

#include "net/Download.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

struct Event {
    int32_t kind;
    int32_t event;
    int32_t result;
    intptr_t extra;      // the percentage of a progress event
    std::wstring target; // the request's target path, for end events
    DWORD tick;
};

// Collects the events of every request that carries it as user pointer.
class Recorder {
public:
    static int Callback(void* user, int32_t kind, int32_t event, int32_t result, intptr_t extra);

    // Also called for each end event, on the worker, before it is recorded.
    std::function<void(int32_t kind, int32_t result, const DownloadRequest* request)> onEnd;

    // Waits until `count` end events have arrived; false when the time ran out.
    bool WaitForEnds(size_t count, DWORD timeoutMs);
    std::vector<Event> Events() const;
    std::vector<Event> EventsOf(int32_t kind) const;
    size_t Count(int32_t kind, int32_t event) const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
    size_t m_ends = 0;
};

// Dispatches this thread's messages until `done` is true or the time runs out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// How a message box is dismissed.
enum class Dismiss { Button, Escape, Close };

// Watches, on a thread of its own, for a dialog with the given caption; records its text and
// dismisses it the chosen way.
class DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* caption, Dismiss how);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    int Seen() const { return m_seen.load(); }
    std::wstring Text() const;
    HWND Owner() const;

private:
    void Watch();

    std::wstring m_caption;
    Dismiss m_how;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_seen{0};
    mutable std::mutex m_lock;
    std::wstring m_text;
    HWND m_owner = nullptr;
    std::thread m_thread;
};

// A bare top-level window standing in for the login form's: counts WM_CLOSE_CLIENT.
class LoginWindow {
public:
    LoginWindow();
    ~LoginWindow();
    LoginWindow(const LoginWindow&) = delete;
    LoginWindow& operator=(const LoginWindow&) = delete;
    HWND Hwnd() const { return m_hwnd; }
    int Closes() const { return m_closes; }
    // Lets posted messages arrive.
    void Drain(DWORD ms) const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    int m_closes = 0;
};

// Deletes a file once no process holds it (a started upgrader may still be running).
bool DeleteWhenFree(const std::wstring& path);

// A file written by the stub upgrader (UTF-16 without mark), waited for up to timeoutMs.
std::wstring WaitForStubRecord(const std::wstring& path, DWORD timeoutMs);

} // namespace nettest
