// The client's web surface: a child window hosting the WebBrowser control, reporting its events
// to the owning form through web-notify.
#pragma once

#include "browser/WebNotify.h"

#include <ole2.h>
#include <windows.h>

#include <mshtmhst.h>

#include <string>

// Offers a queued message (lParam: MSG*) to the control's accelerator handling; non-zero when
// the control consumed it.
const UINT WM_FORWARDMSG = 0x037F;

class CBrowserHost;

// The direct document-host answers (IDocHostUIHandler) belong to the view itself; the events
// arrive through a separate sink object that shares the view's reference count. The view is
// owned by its form and never deletes itself on a last Release.
class CBrowserView : public IDocHostUIHandler {
public:
    CBrowserView();
    virtual ~CBrowserView();
    CBrowserView(const CBrowserView&) = delete;
    CBrowserView& operator=(const CBrowserView&) = delete;

    // A child window of `parent` at `rc` (parent's client coordinates) with the control on the
    // page `name`; null when the window cannot be made or the view already has one.
    HWND Create(const wchar_t* name, const RECT& rc, HWND parent);
    HWND GetHwnd() const { return m_hWnd; }

    bool Navigate(const std::wstring& url, const std::string& body);
    std::wstring GetUrl() const { return m_strUrl; }
    void Refresh();
    void FocusDocument();
    // Non-zero when the control consumed a keyboard or mouse message of the view's windows.
    virtual bool PreTranslateMessage(MSG* msg);

    // An interface of the hosted control (E_FAIL without one).
    HRESULT QueryControl(REFIID iid, void** out) const;
    // The DWebBrowserEvents2 sink as the control sees it (no reference added).
    IDispatch* GetEventSink();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDocHostUIHandler, installed on each loaded document
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* pt, IUnknown* target,
                                              IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* active,
                                     IOleCommandTarget* target, IOleInPlaceFrame* frame,
                                     IOleInPlaceUIWindow* doc) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, const GUID* group,
                                                   DWORD command) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* target,
                                            IDropTarget** replacement) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR in, LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* in, IDataObject** out) override;

    CWebNotify m_webNotify;
    bool m_bAwaitFirstComplete = false;
    IDispatch* m_pTopDisp = nullptr; // identity only, no reference held
    LONG m_nRefCount = 0;
    std::wstring m_strUrl;
    bool m_bNoScroll = true;
    bool m_bCancelNavigate = false; // a handler of 7 or 10 sets it to cancel that navigation
    bool m_bBlockNewWindow = false;
    bool m_bNewWindowPending = false;

private:
    class CEventSink : public IDispatch {
    public:
        explicit CEventSink(CBrowserView& view) : m_view(view) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                                DISPID* ids) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                         UINT* argError) override;

    private:
        CBrowserView& m_view;
    };
    friend class CBrowserHost;

    void OnBeforeNavigate2(IDispatch* browser, const std::wstring& url, VARIANT_BOOL* cancel);
    void OnNewWindow2(VARIANT_BOOL* cancel);
    void OnNewWindow3(VARIANT_BOOL* cancel, const std::wstring& url);
    void OnNavigateComplete2(IDispatch* browser, const std::wstring& url);
    void OnDocumentComplete(IDispatch* browser);
    void OnNavigateError(IDispatch* browser, HRESULT status, VARIANT_BOOL* cancel);
    void OnTitleChange(const std::wstring& title);
    HRESULT DispatchEvent(DISPID id, const DISPPARAMS& params);

    void Fire(unsigned code, unsigned wParam, long lParam) {
        m_webNotify.Fire(code, wParam, lParam);
    }
    long Self() { return static_cast<long>(reinterpret_cast<UINT_PTR>(this)); }
    void InstallDocumentHandler();
    static void HideScrollBars(IDispatch* browser);
    // Called by the host window: the window and its control are gone.
    void OnHostDestroyed();

    CEventSink m_sink{*this};
    CBrowserHost* m_pHost = nullptr; // one reference held
    HWND m_hWnd = nullptr;
};
