// HTML view (kind 11): the system's WebBrowser control embedded in place by
// a small OLE container of our own. A view is made only when the control can
// show a page: when the HTML document object cannot be created (no browser
// engine installed) or any step of starting the control fails, nothing is
// left behind and detection goes on to the text view, so a page never shows
// as an empty window.
#include "viewer/LumoraInternal.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <docobj.h>

#include <new>

namespace {

const char kHtmlClass[] = "ZqHtml";
const char kOleClass[] = "ZqOLE";
const int kAddressEditId = 11201;

// {25336920-03F9-11CF-8FD0-00AA00686F13}: the document object the control
// shows pages with.
const CLSID kClsidHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

LONG gContainersAlive;
LONG gBrowsersHeld; // browser objects whose last reference was not seen to go
bool gSkipRenderProbe;

} // namespace

// The container: one object answering for the site, frame, container,
// advise sink, service provider, command target and the browser's event sink.
class HtmlContainer final : public IOleClientSite,
                      public IOleInPlaceSite,
                      public IOleInPlaceFrame,
                      public IOleContainer,
                      public IAdviseSink,
                      public IServiceProvider,
                      public IOleCommandTarget,
                      public IDispatch {
  public:
    HWND parent = nullptr;    // the view window
    HWND oleWindow = nullptr; // ZqOLE
    HWND addressEdit = nullptr;
    IUnknown* browser = nullptr;
    IWebBrowser2* webBrowser = nullptr;
    IViewObject* viewObject = nullptr;
    IOleObject* oleObject = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    IOleInPlaceActiveObject* active = nullptr;
    IConnectionPoint* events = nullptr;
    DWORD cookie = 0;
    RECT border = {};
    int state = 0; // 0 none, 2 running, 3 in place, 4 UI active
    BOOL modeless = TRUE;
    HPALETTE palette = nullptr;
    LONG refs = 1;

    HtmlContainer() { InterlockedIncrement(&gContainersAlive); }
    ~HtmlContainer() {
        if (palette) DeleteObject(palette);
        InterlockedDecrement(&gContainersAlive);
    }

    HRESULT Start(HWND addressEditWindow);
    void Release_();
    void Layout(int width, int height);
    RECT OleRect() {
        RECT r = {};
        GetClientRect(oleWindow, &r);
        MapWindowPoints(oleWindow, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IOleContainer || iid == IID_IParseDisplayName)
            *out = static_cast<IOleContainer*>(this);
        else if (iid == IID_IAdviseSink)
            *out = static_cast<IAdviseSink*>(this);
        else if (iid == IID_IServiceProvider)
            *out = static_cast<IServiceProvider*>(this);
        else if (iid == IID_IOleCommandTarget)
            *out = static_cast<IOleCommandTarget*>(this);
        else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents || iid == DIID_DWebBrowserEvents2)
            *out = static_cast<IDispatch*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs);
        if (n == 0) delete this;
        return (ULONG)n;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_FAIL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        if (!out) return E_POINTER;
        *out = static_cast<IOleContainer*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (site and frame alike: the ZqOLE window)
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = oleWindow;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        if (!inPlace && browser) browser->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
        state = 3;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        state = 4;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                  OLEINPLACEFRAMEINFO* info) override {
        if (!frame || !doc || !pos || !clip) return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *pos = *clip = OleRect();
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = oleWindow;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override {
        state = 3;
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivate() override {
        if (inPlace) inPlace->Release();
        inPlace = nullptr;
        state = 2;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return inPlace ? inPlace->InPlaceDeactivate() : S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(RECT* out) override {
        if (!out) return E_POINTER;
        GetClientRect(oleWindow, out);
        return S_OK;
    }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS w) override {
        if (!w) return S_OK;
        RECT r;
        GetClientRect(oleWindow, &r);
        if (r.right - r.left < w->left + w->right || r.bottom - r.top < w->top + w->bottom)
            return INPLACE_E_NOTOOLSPACE;
        return S_OK;
    }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS w) override {
        if (RequestBorderSpace(w) != S_OK) return OLE_E_INVALIDRECT;
        if (w) border = *w;
        RECT r;
        GetClientRect(oleWindow, &r);
        Layout(r.right, r.bottom);
        return S_OK;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        border = RECT{};
        if (object) object->AddRef();
        if (active) active->Release();
        active = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override {
        if (widths) widths->width[0] = widths->width[2] = widths->width[4] = widths->width[5] = 0;
        return S_OK;
    }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL enable) override {
        modeless = enable;
        return S_OK;
    }
    STDMETHODIMP TranslateAccelerator(LPMSG msg, WORD) override { return msg ? S_FALSE : E_INVALIDARG; }

    // IParseDisplayName, IOleContainer
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP LockContainer(BOOL) override { return S_OK; }

    // IAdviseSink
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {}
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {}

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID, REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }

    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* cmds, OLECMDTEXT* text) override {
        if (group) return OLECMDERR_E_UNKNOWNGROUP;
        for (ULONG i = 0; cmds && i < count; i++)
            cmds[i].cmdf = cmds[i].cmdID == OLECMDID_SETPROGRESSTEXT ? OLECMDF_ENABLED : 0;
        if (text) {
            text->cmdtextf = 0;
            text->cwActual = 0;
            if (text->cwBuf) text->rgwz[0] = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT*) override {
        if (group) return OLECMDERR_E_UNKNOWNGROUP;
        if (id != OLECMDID_SETPROGRESSTEXT) return OLECMDERR_E_NOTSUPPORTED;
        return in && V_VT(in) == VT_BSTR ? S_OK : E_FAIL;
    }

    // IDispatch: the browser's events
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        switch (id) {
        case DISPID_NAVIGATECOMPLETE: // DWebBrowserEvents: the address as first argument
        case DISPID_NAVIGATECOMPLETE2: {
            if (!params || !params->cArgs) return S_OK;
            // Arguments come last first: the address is the first in both
            // events (NavigateComplete has only it, NavigateComplete2 ends with it).
            VARIANT* url = &params->rgvarg[0];
            if (V_VT(url) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(url)) url = V_VARIANTREF(url);
            if (V_VT(url) == VT_BSTR && V_BSTR(url) && addressEdit) {
                char text[2084];
                int n = WideCharToMultiByte(CP_ACP, 0, V_BSTR(url), -1, text, sizeof text, nullptr, nullptr);
                text[n > 0 ? n - 1 : 0] = 0;
                SetWindowTextA(addressEdit, text);
            }
            return S_OK;
        }
        case DISPID_STATUSTEXTCHANGE:
            return params && params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_BSTR ? S_OK
                                                                                     : DISP_E_PARAMNOTFOUND;
        default:
            return S_OK;
        }
    }
};

HRESULT HtmlContainer::Start(HWND addressEditWindow) {
    addressEdit = addressEditWindow;
    HDC screen = GetDC(nullptr);
    palette = CreateHalftonePalette(screen);
    ReleaseDC(nullptr, screen);
    if (!palette) return E_FAIL;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&browser));
    if (FAILED(hr)) return hr;
    InterlockedIncrement(&gBrowsersHeld);
    state = 2;
    if (FAILED(hr = browser->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&viewObject)))) return hr;
    if (FAILED(hr = browser->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&oleObject)))) return hr;
    if (FAILED(hr = oleObject->SetClientSite(static_cast<IOleClientSite*>(this)))) return hr;
    viewObject->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(this));
    OleSetContainedObject(oleObject, TRUE);
    oleObject->SetHostNames(L"ZqIE", nullptr);
    if (FAILED(hr = browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&webBrowser)))) return hr;
    RECT r = OleRect();
    oleObject->DoVerb(OLEIVERB_SHOW, nullptr, static_cast<IOleClientSite*>(this), 0, oleWindow, &r);
    if (FAILED(hr = oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                      oleWindow, &r)))
        return hr;
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
        if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events)) &&
            FAILED(events->Advise(static_cast<IDispatch*>(this), &cookie))) {
            events->Release();
            events = nullptr;
        }
        points->Release();
    }
    return S_OK;
}

// Lets go of the browser in the order it expects; safe after a start that
// failed half way.
void HtmlContainer::Release_() {
    if (events) {
        events->Unadvise(cookie);
        events->Release();
        events = nullptr;
    }
    if (webBrowser) webBrowser->Release();
    webBrowser = nullptr;
    if (active) active->Release();
    active = nullptr;
    if (inPlace) {
        if (state == 4) inPlace->UIDeactivate();
        inPlace->InPlaceDeactivate();
        if (inPlace) inPlace->Release();
        inPlace = nullptr;
    }
    if (viewObject) {
        viewObject->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        viewObject->Release();
        viewObject = nullptr;
    }
    if (oleObject) {
        oleObject->Close(OLECLOSE_NOSAVE);
        oleObject->SetClientSite(nullptr);
        oleObject->Release();
        oleObject = nullptr;
    }
    if (browser && browser->Release() == 0) InterlockedDecrement(&gBrowsersHeld);
    browser = nullptr;
    state = 0;
}

void HtmlContainer::Layout(int width, int height) {
    SetWindowPos(oleWindow, nullptr, 0, 0, width, height, SWP_NOACTIVATE | SWP_NOZORDER);
    RECT r = {0, 0, width, height};
    if (active) active->ResizeBorder(&r, static_cast<IOleInPlaceFrame*>(this), TRUE);
    RECT object = {r.left + border.left, r.top + border.top, r.right - border.right, r.bottom - border.bottom};
    if (oleObject) {
        HDC screen = GetDC(nullptr);
        int dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96, dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        SIZEL size = {MulDiv(object.right - object.left, 2540, dpiX), MulDiv(object.bottom - object.top, 2540, dpiY)};
        oleObject->SetExtent(DVASPECT_CONTENT, &size);
    }
    if (state > 2 && inPlace) inPlace->SetObjectRects(&object, &object);
}

namespace {

HtmlView* BlockOf(HWND w) {
    return reinterpret_cast<HtmlView*>(GetWindowLongPtrA(w, GWLP_USERDATA));
}

LRESULT CALLBACK OleWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE: {
        HtmlContainer* c = static_cast<HtmlContainer*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        c->oleWindow = w;
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_NCDESTROY:
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

int HtmlOnCreate(HWND w, HtmlView* block) {
    HtmlContainer* c = block->container;
    ViewRecord* view = block->view;
    block->oleWindow = CreateWindowExA(0, kOleClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, w,
                                       nullptr, view->instance, c);
    block->addressEdit = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, w,
                                         reinterpret_cast<HMENU>((INT_PTR)kAddressEditId), view->instance, nullptr);
    if (!block->oleWindow || !block->addressEdit || FAILED(c->Start(block->addressEdit))) return -1;
    WCHAR url[2084];
    if (!MultiByteToWideChar(CP_ACP, 0, block->path, -1, url, 2084)) return -1;
    BSTR address = SysAllocString(url);
    HRESULT hr = address ? c->webBrowser->Navigate(address, nullptr, nullptr, nullptr, nullptr) : E_OUTOFMEMORY;
    SysFreeString(address);
    if (FAILED(hr)) return -1;
    if (!view->hostWindow) SetFocus(block->oleWindow);
    return 0;
}

LRESULT CALLBACK HtmlWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    HtmlView* block = BlockOf(w);
    switch (msg) {
    case WM_NCCREATE:
        block = static_cast<HtmlView*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(block));
        break;
    case WM_CREATE:
        return HtmlOnCreate(w, block);
    case WM_SIZE:
        if (block && wp != SIZE_MINIMIZED && block->oleWindow) block->container->Layout(LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_SETFOCUS:
        if (block && !block->view->hostWindow) {
            HWND target = nullptr;
            if (block->container->active) block->container->active->GetWindow(&target);
            SetFocus(target ? target : block->oleWindow);
            return 0;
        }
        break;
    case WM_ACTIVATEAPP:
        if (block && block->container->active) block->container->active->OnFrameWindowActivate((BOOL)wp);
        break;
    case WM_PAINT:
        if (block && block->container->state <= 2 && block->container->viewObject) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT r;
            GetClientRect(block->oleWindow, &r);
            RECTL bounds = {r.left, r.top, r.right, r.bottom};
            block->container->viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                                               nullptr, 0);
            EndPaint(w, &ps);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (block && LOWORD(wp) == kAddressEditId && HIWORD(wp) == EN_CHANGE) {
            char text[260];
            GetWindowTextA(block->addressEdit, text, sizeof text);
            if (block->view->hostWindow) {
                if (block->view->displayPath) lstrcpynA(block->view->displayPath, text, 260);
                InvalidateRect(block->view->hostWindow, nullptr, TRUE);
            } else {
                gHost->ViewerSetTitle(GetParent(w), text);
            }
        }
        return 0;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        if (block && block->oleWindow && (msg == WM_QUERYNEWPALETTE || (HWND)wp != w)) {
            HDC dc = GetDC(block->oleWindow);
            HPALETTE old = SelectPalette(dc, block->container->palette, FALSE);
            if (RealizePalette(dc)) InvalidateRect(block->oleWindow, nullptr, TRUE);
            SelectPalette(dc, old, FALSE);
            ReleaseDC(block->oleWindow, dc);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        if (block) {
            block->container->Release_();
            CoFreeUnusedLibraries();
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        // After a failed creation the block stays with the caller.
        if (block && block->created) HtmlViewFree(block);
        break;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

void RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(instance, kHtmlClass, &wc)) return;
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hInstance = instance;
    wc.cbWndExtra = sizeof(void*);
    wc.lpfnWndProc = HtmlWndProc;
    wc.lpszClassName = kHtmlClass;
    RegisterClassExA(&wc);
    wc.lpfnWndProc = OleWndProc;
    wc.lpszClassName = kOleClass;
    RegisterClassExA(&wc);
}

// Whether the control has an engine to show pages with: without one it
// creates and navigates but never draws anything.
bool CanRenderPages() {
    if (gSkipRenderProbe) return true;
    IUnknown* document = nullptr;
    if (FAILED(CoCreateInstance(kClsidHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&document))))
        return false;
    document->Release();
    return true;
}

} // namespace

void HtmlViewFree(HtmlView* block) {
    if (block->container) block->container->Release();
    block->container = nullptr;
    bool ole = block->oleStarted;
    void* p = block;
    gHost->MemFree(&p);
    if (ole) OleUninitialize();
}

HtmlView* HtmlViewOpen(HWND window, ViewRecord* view) {
    HtmlView* block = static_cast<HtmlView*>(gHost->MemAlloc(sizeof(HtmlView)));
    if (!block) return nullptr;
    block->viewWindow = window;
    block->view = view;
    lstrcpynA(block->path, view->openPath, sizeof block->path);
    HRESULT ole = OleInitialize(nullptr);
    block->oleStarted = SUCCEEDED(ole);
    block->container = new (std::nothrow) HtmlContainer;
    if (block->container) {
        block->container->parent = window;
        RegisterClasses(view->instance);
        if (CanRenderPages() && gHost->FileCheckExists(view->openPath) == 0) {
            RECT r;
            GetClientRect(window, &r);
            block->htmlWindow = CreateWindowExA(0, kHtmlClass, "", WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom,
                                                window, nullptr, view->instance, block);
        }
    }
    if (!block->htmlWindow) {
        HtmlViewFree(block);
        return nullptr;
    }
    block->created = true;
    return block;
}

void HtmlViewClose(ViewRecord* view) {
    HtmlView* block = static_cast<HtmlView*>(view->viewObject);
    view->viewObject = nullptr;
    if (!block) return;
    if (block->htmlWindow && IsWindow(block->htmlWindow))
        PostMessageA(block->htmlWindow, WM_CLOSE, 0, 0);
    else
        HtmlViewFree(block);
}

void HtmlActivate(ViewRecord* view) {
    HtmlView* block = view->viewKind == kViewHtml ? static_cast<HtmlView*>(view->viewObject) : nullptr;
    if (block && block->container && block->container->active)
        block->container->active->OnFrameWindowActivate(TRUE);
}

LONG HtmlContainersAlive() {
    return gContainersAlive;
}

LONG HtmlBrowsersHeld() {
    return gBrowsersHeld;
}

void HtmlSkipRenderProbe(bool skip) {
    gSkipRenderProbe = skip;
}
