#include "BrowserTestSupport.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace test {

RecordingForm::RecordingForm(CBrowserView& view) : m_view(view) {
    view.m_webNotify.AddHandler(this, &RecordingForm::OnWebNotify);
}

void RecordingForm::OnWebNotify(unsigned code, unsigned wParam, long lParam) {
    WebEvent e{code, wParam, lParam, m_view.GetUrl(), std::wstring()};
    if (code == WEBNOTIFY_TITLE_CHANGE && lParam)
        e.title = reinterpret_cast<const wchar_t*>(lParam);
    events.push_back(e);
    if (onEvent)
        onEvent(events.back());
}

std::vector<unsigned> RecordingForm::Codes() const {
    std::vector<unsigned> codes;
    for (const auto& e : events)
        codes.push_back(e.code);
    return codes;
}

bool RecordingForm::Has(unsigned code) const {
    return std::any_of(events.begin(), events.end(),
                       [code](const WebEvent& e) { return e.code == code; });
}

EventArgs::~EventArgs() {
    for (VARIANT& v : m_values)
        VariantClear(&v);
}

VARIANT* EventArgs::NewValue() {
    m_values.emplace_back();
    VariantInit(&m_values.back());
    return &m_values.back();
}

EventArgs& EventArgs::Dispatch(IDispatch* d) {
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_DISPATCH;
    a.pdispVal = d; // borrowed, as the control lends it
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::DispatchOut(IDispatch** out) {
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_BYREF | VT_DISPATCH;
    a.ppdispVal = out;
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::RefText(const std::wstring& text) {
    VARIANT* v = NewValue();
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_BYREF | VT_VARIANT;
    a.pvarVal = v;
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::RefLong(long value) {
    VARIANT* v = NewValue();
    v->vt = VT_I4;
    v->lVal = value;
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_BYREF | VT_VARIANT;
    a.pvarVal = v;
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::RefEmpty() {
    VARIANT* v = NewValue();
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_BYREF | VT_VARIANT;
    a.pvarVal = v;
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::Cancel(VARIANT_BOOL* cancel) {
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_BYREF | VT_BOOL;
    a.pboolVal = cancel;
    m_args.push_back(a);
    return *this;
}

EventArgs& EventArgs::Text(const std::wstring& text) {
    VARIANT* v = NewValue();
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    m_args.push_back(*v); // shallow: the value list owns the string
    return *this;
}

EventArgs& EventArgs::Long(long value) {
    VARIANTARG a;
    VariantInit(&a);
    a.vt = VT_I4;
    a.lVal = value;
    m_args.push_back(a);
    return *this;
}

HRESULT EventArgs::Invoke(IDispatch* sink, DISPID id) {
    std::vector<VARIANTARG> reversed(m_args.rbegin(), m_args.rend());
    DISPPARAMS params = {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
}

namespace {

const wchar_t kParentClass[] = L"VelmoraBrowserTestParent";

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

} // namespace

// Hidden: without a window manager Wine spends about two seconds destroying a shown top-level
// window, and nothing here needs to be seen.
ParentWindow::ParentWindow() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, kParentClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &ParentProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kParentClass;
        RegisterClassExW(&wc);
    }
    m_hwnd = CreateWindowExW(0, kParentClass, L"browser test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                             nullptr, nullptr, instance, nullptr);
}

ParentWindow::~ParentWindow() {
    Destroy();
}

void ParentWindow::Destroy() {
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return done();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

bool LoopbackServer::Available() {
    return !Environment(L"VELMORA_TEST_HTTP_PORT").empty() &&
           !Environment(L"VELMORA_TEST_HTTP_LOG").empty();
}

std::wstring LoopbackServer::Url(const std::wstring& path) {
    return L"http://127.0.0.1:" + Environment(L"VELMORA_TEST_HTTP_PORT") + path;
}

std::wstring LoopbackServer::ClosedPortUrl(const std::wstring& path) {
    return L"http://127.0.0.1:" + Environment(L"VELMORA_TEST_CLOSED_PORT") + path;
}

std::vector<ServerRequest> LoopbackServer::Requests() {
    std::vector<ServerRequest> requests;
    std::istringstream lines(ReadFileBytes(Environment(L"VELMORA_TEST_HTTP_LOG")));
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t'))
            fields.push_back(field);
        fields.resize(4);
        requests.push_back({fields[0], fields[1], fields[2], FromHex(fields[3])});
    }
    return requests;
}

bool LoopbackServer::Saw(const std::string& path) {
    const auto requests = Requests();
    return std::any_of(requests.begin(), requests.end(),
                       [&](const ServerRequest& r) { return r.path == path; });
}

bool LoopbackServer::WaitFor(const std::string& path, DWORD timeoutMs) {
    return PumpUntil([&] { return Saw(path); }, timeoutMs);
}

} // namespace test
