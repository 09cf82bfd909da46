// The OLE container of one browser view: its host window's site, frame and the document-host
// answers given through the host. Reference counted; the host window holds one reference and
// the control holds the site until the window is destroyed.
#pragma once

#include "app/WinHandles.h"

#include <exdisp.h>
#include <ole2.h>
#include <windows.h>

#include <mshtmhst.h>

class CBrowserView;

class CBrowserHost final : public IOleClientSite, public IOleInPlaceSite, public IDocHostUIHandler {
public:
    explicit CBrowserHost(CBrowserView* view);
    CBrowserHost(const CBrowserHost&) = delete;
    CBrowserHost& operator=(const CBrowserHost&) = delete;

    // Creates the control in `hwnd`, in-place active, showing `url` when it is not empty.
    HRESULT CreateControl(HWND hwnd, const wchar_t* url);
    HRESULT ConnectEvents(IDispatch* sink);
    // Disconnects the events, deactivates, closes and releases the control. Safe to repeat.
    // Once COM has ended on this thread the control is only forgotten: a call into it could
    // land in a library that is already unloaded.
    void Teardown();
    static bool ComIsUsable();
    void DetachView() { m_pView = nullptr; }
    CBrowserView* GetView() const { return m_pView; }
    // The host window is gone (WM_NCDESTROY): the view forgets its handle.
    void OnWindowGone();
    HRESULT QueryControl(REFIID iid, void** out) const;
    bool HasControl() const { return static_cast<bool>(m_pOleObject); }
    bool ForwardMessage(MSG* msg);
    // Keeps the control's rectangle equal to the host window's client area.
    void FitToWindow();
    // Gives the control the keyboard focus (UI activation).
    void ActivateUI();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow / IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT pos) override;

    // IDocHostUIHandler: the answers given through the host
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

private:
    ~CBrowserHost();

    // The in-place frame: part of the host object, with the top-level window as its window.
    class CFrame : public IOleInPlaceFrame {
    public:
        explicit CFrame(CBrowserHost& host) : m_host(host) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
        HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
        HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
        HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
        HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active,
                                                  LPCOLESTR name) override;
        HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
        HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor,
                                          HWND activeObject) override;
        HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
        HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, WORD id) override;

    private:
        CBrowserHost& m_host;
    };

    LONG m_nRef = 1;
    CBrowserView* m_pView; // not owned; null once the view is gone
    HWND m_hWnd = nullptr;
    CFrame m_frame{*this};
    ComPtr<IOleObject> m_pOleObject;
    ComPtr<IOleInPlaceObject> m_pInPlaceObject;
    ComPtr<IOleInPlaceActiveObject> m_pActiveObject;
    ComPtr<IConnectionPoint> m_pEventPoint;
    DWORD m_dwEventCookie = 0;
    bool m_bInPlaceActive = false;
};
