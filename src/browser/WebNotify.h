// The channel from a browser view to the form that owns it: codes, handler interface, source.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// lParam is the view unless said otherwise.
enum : unsigned {
    WEBNOTIFY_DOCUMENT_COMPLETE = 0, // top-level document loaded
    WEBNOTIFY_NAVIGATE_ERROR = 1,    // failed navigation, already cancelled in the control
    WEBNOTIFY_GET_EXTERNAL = 2,      // wParam: address of the document's IDispatch* out-pointer
    WEBNOTIFY_BEFORE_NAVIGATE = 7,   // the view has recorded the URL; the handler may cancel
    WEBNOTIFY_NAVIGATE_COMPLETE = 8, // first completion after CBrowserView::Navigate
    WEBNOTIFY_TITLE_CHANGE = 9,      // lParam: the title (const wchar_t*, valid during the call)
    WEBNOTIFY_NEW_WINDOW = 10,       // new window or ".exe" link, recorded and cancelled
};

class ICWebNotifyEventHandler {
public:
    virtual void OnEvent(unsigned code, unsigned wParam, long lParam) = 0;
    virtual ~ICWebNotifyEventHandler() = default;
};

using FCWebNotifyEventHandler = void(unsigned, unsigned, long);

// Binds a member function of T; its own event operation does nothing.
template <typename T, typename F, typename I> class CEventHandler : public I {
public:
    CEventHandler(T* target, F pfnHandler) : m_target(target), m_pfnHandler(pfnHandler) {}
    void OnEvent(unsigned, unsigned, long) override {}

protected:
    T* m_target;
    F m_pfnHandler;
};

template <typename T, typename F = void (T::*)(unsigned, unsigned, long)>
class CCWebNotifyEventHandler : public CEventHandler<T, F, ICWebNotifyEventHandler> {
public:
    using CEventHandler<T, F, ICWebNotifyEventHandler>::CEventHandler;
    void OnEvent(unsigned code, unsigned wParam, long lParam) override {
        T* target = this->m_target;
        const F pfn = this->m_pfnHandler;
        if (target != nullptr && pfn != nullptr)
            (target->*pfn)(code, wParam, lParam);
    }
};

// An ordered list of owned handlers, called in registration order.
template <template <typename, typename> class H, typename F, typename I> class CFEvent {
public:
    CFEvent() = default;
    virtual ~CFEvent() = default;
    CFEvent(const CFEvent&) = delete;
    CFEvent& operator=(const CFEvent&) = delete;

    // Takes ownership, also when growing the list fails.
    void AddHandler(I* handler) {
        std::unique_ptr<I> owned(handler);
        m_handlers.push_back(std::move(owned));
    }

    // Binds target's member function: the usual way a form registers itself.
    template <typename T> void AddHandler(T* target, void (T::*pfn)(unsigned, unsigned, long)) {
        AddHandler(new H<T, void (T::*)(unsigned, unsigned, long)>(target, pfn));
    }

    void Fire(unsigned code, unsigned wParam, long lParam) {
        // By index, so a handler that registers another one cannot invalidate the walk.
        for (std::size_t i = 0; i < m_handlers.size(); ++i) {
            if (I* handler = m_handlers[i].get())
                handler->OnEvent(code, wParam, lParam);
        }
    }

    std::size_t GetHandlerCount() const { return m_handlers.size(); }

protected:
    std::vector<std::unique_ptr<I>> m_handlers;
};

class CWebNotify
    : public CFEvent<CCWebNotifyEventHandler, FCWebNotifyEventHandler, ICWebNotifyEventHandler> {
public:
    ~CWebNotify() override = default;
};
