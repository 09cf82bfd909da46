// Application module, message loop and message filter of the user-interface thread.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

class CMessageFilter {
public:
    virtual bool PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};

class CMessageLoop {
public:
    void AddMessageFilter(CMessageFilter* filter);
    void RemoveMessageFilter(CMessageFilter* filter);
    // Runs until WM_QUIT and returns its wParam. A failing GetMessageW is skipped.
    int Run();

private:
    bool PreTranslate(MSG* msg);
    std::vector<CMessageFilter*> m_filters;
};

// Keeps the main thread and the loop of each thread that runs one.
class CAppModule {
public:
    void Init(HINSTANCE instance);
    void Term();
    HINSTANCE GetInstance() const { return m_hInstance; }
    DWORD GetMainThreadId() const { return m_dwMainThreadId; }
    bool AddMessageLoop(CMessageLoop* loop);
    bool RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    HINSTANCE m_hInstance = nullptr;
    DWORD m_dwMainThreadId = 0;
    std::mutex m_lock;
    std::map<DWORD, CMessageLoop*> m_loops;
};

// Registers a loop for the calling thread, filtered by `filter`, runs it, unregisters it.
int RunMessageLoop(CAppModule& module, CMessageFilter* filter);
