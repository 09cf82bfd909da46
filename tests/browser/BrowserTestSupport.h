// Shared pieces of the browser view's tests: a recording form, event argument lists built as
// the control builds them, a parent window, message pumping and the loopback server's log.
#pragma once

#include "browser/BrowserView.h"

#include <oleauto.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace test {

struct WebEvent {
    unsigned code;
    unsigned wParam;
    long lParam;
    std::wstring url;   // the view's GetUrl() when the event arrived
    std::wstring title; // code 9: a copy of the text
};

// Stands in for a form: registers its member function with the view and records each event.
class RecordingForm {
public:
    explicit RecordingForm(CBrowserView& view);
    void OnWebNotify(unsigned code, unsigned wParam, long lParam);
    std::vector<unsigned> Codes() const;
    bool Has(unsigned code) const;

    std::vector<WebEvent> events;
    std::function<void(const WebEvent&)> onEvent; // runs inside the event, after recording

private:
    CBrowserView& m_view;
};

// One event's arguments, in the documented order; Invoke passes them last to first, by
// reference where the control passes them by reference.
class EventArgs {
public:
    EventArgs() = default;
    ~EventArgs();
    EventArgs(const EventArgs&) = delete;
    EventArgs& operator=(const EventArgs&) = delete;

    EventArgs& Dispatch(IDispatch* d);            // VT_DISPATCH
    EventArgs& DispatchOut(IDispatch** out);      // VT_BYREF | VT_DISPATCH
    EventArgs& RefText(const std::wstring& text); // VT_BYREF | VT_VARIANT -> VT_BSTR
    EventArgs& RefLong(long value);               // VT_BYREF | VT_VARIANT -> VT_I4
    EventArgs& RefEmpty();                        // VT_BYREF | VT_VARIANT -> VT_EMPTY
    EventArgs& Cancel(VARIANT_BOOL* cancel);      // VT_BYREF | VT_BOOL
    EventArgs& Text(const std::wstring& text);    // VT_BSTR
    EventArgs& Long(long value);                  // VT_I4

    HRESULT Invoke(IDispatch* sink, DISPID id);

private:
    VARIANT* NewValue();
    std::deque<VARIANT> m_values; // stable addresses for the by-reference arguments
    std::vector<VARIANTARG> m_args;
};

// A plain visible top-level window to hold views.
class ParentWindow {
public:
    ParentWindow();
    ~ParentWindow();
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;
    HWND Get() const { return m_hwnd; }
    void Destroy();

private:
    HWND m_hwnd = nullptr;
};

// Dispatches messages until `done` answers true or `timeoutMs` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000);
void PumpFor(DWORD ms);

struct ServerRequest {
    std::string method;
    std::string path;
    std::string contentType;
    std::string body;
};

// The loopback server started around this program (see with_http_server.py).
class LoopbackServer {
public:
    static bool Available();
    static std::wstring Url(const std::wstring& path);
    static std::wstring ClosedPortUrl(const std::wstring& path);
    static std::vector<ServerRequest> Requests();
    static bool Saw(const std::string& path);
    // Pumps messages until the server has seen `path`.
    static bool WaitFor(const std::string& path, DWORD timeoutMs = 30000);
};

} // namespace test
