#include "app/AppModule.h"

#include <algorithm>

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
    if (filter && std::find(m_filters.begin(), m_filters.end(), filter) == m_filters.end())
        m_filters.push_back(filter);
}

void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), filter), m_filters.end());
}

bool CMessageLoop::PreTranslate(MSG* msg) {
    // Last added is asked first, so a filter added later can pre-empt an earlier one.
    for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it) {
        if ((*it)->PreTranslateMessage(msg))
            return true;
    }
    return false;
}

int CMessageLoop::Run() {
    MSG msg = {};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            continue; // an invalid filter window; nothing to dispatch
        if (!got)
            break;
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

void CAppModule::Init(HINSTANCE instance) {
    m_hInstance = instance;
    m_dwMainThreadId = ::GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(m_lock);
    m_loops.clear();
}

void CAppModule::Term() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_loops.clear();
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_loops.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_loops.erase(::GetCurrentThreadId()) == 1;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_loops.find(threadId);
    return it == m_loops.end() ? nullptr : it->second;
}

int RunMessageLoop(CAppModule& module, CMessageFilter* filter) {
    CMessageLoop loop;
    module.AddMessageLoop(&loop);
    loop.AddMessageFilter(filter);
    const int result = loop.Run();
    module.RemoveMessageLoop();
    return result;
}
