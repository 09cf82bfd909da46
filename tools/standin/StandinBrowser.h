// The stand-in WebBrowser control: an OLE control with IWebBrowser2, DWebBrowserEvents2 and a
// tiny document object, fetching pages with WinINet and painting them with GDI.
#pragma once

#include "ComStubs.h"
#include "Fetch.h"
#include "HtmlPage.h"
#include "PageLayout.h"

#include "app/WinHandles.h"

#include <ole2.h>
#include <ocidl.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

class StandinBrowser;

extern HINSTANCE g_standinModule;

// The document of one loaded page, with its window and body objects. They share the
// document's reference count. The browser detaches it when another page replaces it.
class StandinDocument : public HtmlDocument2Stubs, public ICustomDoc {
public:
    StandinDocument(StandinBrowser* browser, const std::wstring& url, const std::wstring& title);
    void Detach() { m_browser = nullptr; }
    IDocHostUIHandler* UIHandler() const { return m_handler.Get(); }
    void SetTitle(const std::wstring& title) { m_title = title; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IHTMLDocument2
    HRESULT STDMETHODCALLTYPE get_parentWindow(IHTMLWindow2** out) override;
    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** out) override;
    HRESULT STDMETHODCALLTYPE get_title(BSTR* out) override;
    HRESULT STDMETHODCALLTYPE put_title(BSTR title) override;
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_readyState(BSTR* out) override;
    // ICustomDoc
    HRESULT STDMETHODCALLTYPE SetUIHandler(IDocHostUIHandler* handler) override;

    class Window : public HtmlWindow2Stubs {
    public:
        explicit Window(StandinDocument* document) : m_document(document) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return m_document->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_document->Release(); }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                         EXCEPINFO*, UINT*) override;
        HRESULT STDMETHODCALLTYPE get_document(IHTMLDocument2** out) override;
        HRESULT STDMETHODCALLTYPE focus() override;
        HRESULT STDMETHODCALLTYPE get_length(LONG* out) override;

    private:
        StandinDocument* m_document;
    };

    class Body : public HtmlBodyElementStubs {
    public:
        explicit Body(StandinDocument* document) : m_document(document) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return m_document->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_document->Release(); }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                         EXCEPINFO*, UINT*) override;
        HRESULT STDMETHODCALLTYPE put_scroll(BSTR value) override;
        HRESULT STDMETHODCALLTYPE get_scroll(BSTR* out) override;

    private:
        StandinDocument* m_document;
    };

private:
    virtual ~StandinDocument() = default;

    LONG m_refs = 1;
    StandinBrowser* m_browser; // not owned; cleared by Detach
    std::wstring m_url;
    std::wstring m_title;
    std::wstring m_scroll = L"auto";
    ComPtr<IDocHostUIHandler> m_handler;
    Window m_window{this};
    Body m_body{this};
};

class StandinBrowser : public WebBrowser2Stubs,
                       public IOleObject,
                       public IOleInPlaceObject,
                       public IOleInPlaceActiveObject,
                       public IOleControl,
                       public IPersistStreamInit,
                       public IConnectionPointContainer,
                       public IProvideClassInfo2 {
public:
    StandinBrowser();
    bool Ready() const { return m_notify != nullptr; }

    // Used by the document objects.
    HWND ViewWindow() const { return m_hwnd; }
    void SetNoScroll(bool noScroll);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IWebBrowser / IWebBrowserApp / IWebBrowser2 (the rest answer E_NOTIMPL)
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame,
                                       VARIANT* postData, VARIANT* headers) override;
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame,
                                        VARIANT* postData, VARIANT* headers) override;
    HRESULT STDMETHODCALLTYPE Refresh() override;
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT* level) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* out) override;
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* out) override;
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* out) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* out) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL* out) override;
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL* out) override;
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL value) override;
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** out) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* out) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }
    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override;

private:
    // The DWebBrowserEvents2 connection point; shares the browser's reference count.
    class EventPoint : public IConnectionPoint {
    public:
        explicit EventPoint(StandinBrowser* browser) : m_browser(browser) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return m_browser->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_browser->Release(); }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* out) override;
        HRESULT STDMETHODCALLTYPE
        GetConnectionPointContainer(IConnectionPointContainer** out) override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    private:
        StandinBrowser* m_browser;
    };

    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> dispatch;
    };

    struct Pending {
        bool refresh = false; // reload of the current page: no navigation events
        std::wstring url;
    };

    virtual ~StandinBrowser();

    IDispatch* Self() { return static_cast<IWebBrowser2*>(this); }
    bool Stale(UINT serial) const { return serial != m_serial || m_closed; }

    // Navigation
    HRESULT BeginNavigation(const std::wstring& url, LONG flags, const std::wstring& targetFrame,
                            const std::string& postData, const std::wstring& headers);
    void StartLoad(const std::wstring& url, const std::string& postData,
                   const std::wstring& headers, bool refresh);
    void OnLoaded(UINT serial, const FetchResult& result);
    void ShowPage(HtmlPage page, const std::wstring& url, UINT serial);
    void ActivateLink(int index);
    void RaiseNewWindow(const std::wstring& url);

    // Events
    void Fire(DISPID id, VARIANTARG* reversedArgs, UINT count);
    bool FireBeforeNavigate2(const std::wstring& url, LONG flags, const std::wstring& targetFrame,
                             const std::string& postData, const std::wstring& headers);
    void FireUrlEvent(DISPID id, const std::wstring& url);
    void FireTitleChange(const std::wstring& title);
    bool FireNavigateError(const std::wstring& url, LONG status);
    bool FireNewWindow3(const std::wstring& url, IDispatch** created);
    bool FireNewWindow2(IDispatch** created);

    // Host questions
    ComPtr<IDocHostUIHandler> HostUIHandler() const;
    void AskHostInfo();
    void ShowContextMenu(POINT screen);

    // In-place activation and the view window
    HRESULT ActivateInPlace(bool uiActivate, HWND parent, LPCRECT position);
    static LRESULT CALLBACK ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnViewMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnNotifyMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Relayout();
    void Paint(HDC dc, const RECT& client);
    HFONT FontFor(TextStyle style);
    void PublishSummary();
    int LinkAtClient(int x, int y) const;

    LONG m_refs = 1;
    EventPoint m_eventPoint{this};
    std::vector<Sink> m_sinks;
    DWORD m_nextCookie = 1;

    ComPtr<IOleClientSite> m_site;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    bool m_closed = false;
    HWND m_hwnd = nullptr;   // the view, a child of the host's window
    HWND m_notify = nullptr; // message-only window: fetch results and refresh timers
    SIZEL m_extent = {0, 0};

    UINT m_serial = 0; // bumped by every load that starts; older results are dropped
    Pending m_pending;
    bool m_busy = false;
    READYSTATE m_readyState = READYSTATE_UNINITIALIZED;
    bool m_silent = false;
    bool m_visible = true;
    bool m_dropTarget = true;
    bool m_noScroll = false;
    DWORD m_hostFlags = 0;

    std::wstring m_locationUrl;
    std::wstring m_title;
    HtmlPage m_page;
    PageLayout m_layout;
    int m_scrollY = 0;
    int m_pressedLink = -1;
    StandinDocument* m_document = nullptr; // one reference owned
    UniqueFont m_fonts[4];
};
