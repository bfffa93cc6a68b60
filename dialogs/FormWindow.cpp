#include "dialogs/FormWindow.h"

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <ole2.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/platform.h"
#include "dialogs/FormLogic.h"
#include "dialogs/WindowHandles.h"
#include "core/Win32Owners.h"

namespace kvl::dialogs {

namespace {

constexpr LONG kNavigateFlags = navNoHistory | navNoReadFromCache | navNoWriteToCache;  // 14
constexpr UINT kReturnToFormMessage = WM_APP + 1;

template <typename T>
ComPtr<T> QueryAs(IUnknown* from, REFIID iid) {
  void* out = nullptr;
  if (from == nullptr || FAILED(from->QueryInterface(iid, &out))) return {};
  return ComPtr<T>(static_cast<T*>(out));
}

UniqueBstr ToBstr(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  UniqueBstr out(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
  if (out && length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.get(), length);
  return out;
}

std::string FromWide(const wchar_t* text, int length) {
  if (text == nullptr || length <= 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

// The browser hands most event arguments as a reference to a VARIANT; this follows it.
const VARIANT* ReadThrough(const VARIANT* value) {
  for (int hops = 0; value != nullptr && value->vt == (VT_BYREF | VT_VARIANT) && hops < 4; ++hops)
    value = value->pvarVal;
  return value;
}

std::string TextOf(const VARIANT* value) {
  value = ReadThrough(value);
  if (value == nullptr) return {};
  BSTR text = nullptr;
  if (value->vt == VT_BSTR) text = value->bstrVal;
  else if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal != nullptr) text = *value->pbstrVal;
  return FromWide(text, static_cast<int>(SysStringLen(text)));
}

// The bytes of a one-dimensional byte array, in order; empty for anything else.
std::string BytesOf(const VARIANT* value) {
  value = ReadThrough(value);
  if (value == nullptr || (value->vt & VT_ARRAY) == 0) return {};
  const VARTYPE element = value->vt & VT_TYPEMASK;
  if (element != VT_UI1 && element != VT_I1) return {};
  SAFEARRAY* array = (value->vt & VT_BYREF) ? (value->pparray ? *value->pparray : nullptr) : value->parray;
  LONG lower = 0, upper = -1;
  if (array == nullptr || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper < lower)
    return {};
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return {};
  std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower) + 1);
  SafeArrayUnaccessData(array);
  return bytes;
}

class FormWindow;

// The browser's container: client site, in-place site and frame, and the sink of its
// events. Reference counted for the browser's sake; the window owns it and outlives
// every reference the browser takes (it is released before the window goes).
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
 public:
  explicit BrowserSite(FormWindow& owner) : owner_(owner) {}
  BrowserSite(const BrowserSite&) = delete;
  BrowserSite& operator=(const BrowserSite&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return references_ > 0 ? --references_ : 0; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override { return Nothing(out, E_NOTIMPL); }
  STDMETHODIMP GetContainer(IOleContainer** out) override { return Nothing(out, E_NOINTERFACE); }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for the in-place site and the frame alike)
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, tool space or status bar.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the browser's events (DWebBrowserEvents2)
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override { return Nothing(out, E_NOTIMPL); }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

  ULONG references() const { return references_; }

 private:
  template <typename T>
  static HRESULT Nothing(T** out, HRESULT answer) {
    if (out != nullptr) *out = nullptr;
    return answer;
  }

  FormWindow& owner_;
  ULONG references_ = 0;
};

bool IsEscape(const MSG& msg) {
  return (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_ESCAPE;
}

// Backspace and the arrows go to the page as they are (editing and scrolling).
bool LeftToThePage(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
  return msg.wParam == VK_BACK || msg.wParam == VK_LEFT || msg.wParam == VK_UP || msg.wParam == VK_RIGHT ||
         msg.wParam == VK_DOWN;
}

class FormWindow {
 public:
  FormWindow(const TFrmDlgParams& params, std::string documentPath, TFrmDlgResult& result)
      : params_(params), documentPath_(std::move(documentPath)), result_(result) {}
  ~FormWindow() { Close(); }
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Creates the window and the browser in it, and waits (bounded) for the blank page.
  bool Create() {
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (params_.resizable ? WS_THICKFRAME : 0) |
                        (params_.maximizeButton ? WS_MAXIMIZEBOX : 0);
    const DWORD extended = params_.resizable ? WS_EX_WINDOWEDGE : WS_EX_DLGMODALFRAME;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - params_.width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - params_.height) / 2;
    window_ = CreateWindowExA(extended, kFormWindowClass, params_.caption.c_str(), style, left, top, params_.width,
                              params_.height, nullptr, nullptr, PluginInstance(), this);
    if (window_ == nullptr) return false;
    SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    EmbedBrowser();
    Navigate("about:blank");
    WaitUntilReady();
    return true;
  }

  // Shows the document and runs the window's own message loop until it closes.
  void Run() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    Navigate(documentPath_);
    RunModalLoop(window_, closed_, [this](MSG& msg) { return OfferKey(msg); });
  }

  bool accepted() const { return accepted_; }

  void OnBeforeNavigate(const DISPPARAMS& params) {
    if (params.cArgs < 7 || params.rgvarg == nullptr) return;
    // Arguments arrive last first: pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel.
    const std::string address = TextOf(&params.rgvarg[5]);
    const std::string postData = BytesOf(&params.rgvarg[2]);
    switch (BeforeNavigate(address, postData, documentPath_, result_)) {
      case NavigationStep::ReturnToForm:
        PostMessageA(window_, kReturnToFormMessage, 0, 0);
        break;
      case NavigationStep::Accept:
        accepted_ = true;
        PostMessageA(window_, WM_CLOSE, 0, 0);
        break;
      case NavigationStep::Cancel:
        PostMessageA(window_, WM_CLOSE, 0, 0);
        break;
      case NavigationStep::Load:
      case NavigationStep::Stay:
        break;
    }
  }

  // A script asked to close the page: the browser is told no, and the dialog ends.
  void OnWindowClosing(const DISPPARAMS& params) {
    if (params.cArgs >= 1 && params.rgvarg != nullptr && params.rgvarg[0].vt == (VT_BYREF | VT_BOOL) &&
        params.rgvarg[0].pboolVal != nullptr)
      *params.rgvarg[0].pboolVal = VARIANT_TRUE;
    PostMessageA(window_, WM_CLOSE, 0, 0);
  }

  HWND window() const { return window_; }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
      if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
      }
      auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self != nullptr) return self->Handle(message, wParam, lParam);
    } catch (...) {
      // nothing may unwind through the system's frames
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

 private:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT sinkMessage = RegisterWindowMessageA(kFormEventSinkMessage);
    if (message == sinkMessage && sinkMessage != 0)
      return reinterpret_cast<LRESULT>(static_cast<IDispatch*>(&site_));
    switch (message) {
      case WM_CLOSE:
        closed_ = true;  // the dialog's owner destroys the window after its loop
        return 0;
      case WM_SIZE:
        FitBrowser();
        return 0;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, kFormMinWidth);
        info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, kFormMinHeight);
        return 0;
      }
      case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_.get());
      case kReturnToFormMessage:
        Navigate(documentPath_);
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        break;
      default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
  }

  void EmbedBrowser() {
    IOleObject* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&created))))
      return;
    oleObject_.reset(created);
    if (FAILED(oleObject_->SetClientSite(&site_))) return;
    OleSetContainedObject(oleObject_.get(), TRUE);
    RECT area{};
    GetClientRect(window_, &area);
    oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, window_, &area);
    browser_ = QueryAs<IWebBrowser2>(oleObject_.get(), IID_IWebBrowser2);
    inPlaceObject_ = QueryAs<IOleInPlaceObject>(oleObject_.get(), IID_IOleInPlaceObject);
    if (inPlaceObject_) inPlaceObject_->GetWindow(&controlWindow_);
    if (auto container = QueryAs<IConnectionPointContainer>(oleObject_.get(), IID_IConnectionPointContainer)) {
      IConnectionPoint* point = nullptr;
      if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
        connectionPoint_.reset(point);
        if (FAILED(connectionPoint_->Advise(static_cast<IDispatch*>(&site_), &adviseCookie_))) adviseCookie_ = 0;
      }
    }
    if (browser_) {
      IDispatch* application = nullptr;
      if (SUCCEEDED(browser_->get_Application(&application)) && application != nullptr) {
        activeObject_ = QueryAs<IOleInPlaceActiveObject>(application, IID_IOleInPlaceActiveObject);
        application->Release();
      }
    }
    FitBrowser();
  }

  void FitBrowser() {
    if (!inPlaceObject_) return;
    RECT area{};
    GetClientRect(window_, &area);
    inPlaceObject_->SetObjectRects(&area, &area);
  }

  void Navigate(const std::string& address) {
    if (!browser_) return;
    const UniqueBstr url = ToBstr(address);
    VARIANT flags, empty;
    VariantInit(&flags);
    VariantInit(&empty);
    flags.vt = VT_I4;
    flags.lVal = kNavigateFlags;
    browser_->Navigate(url.get(), &flags, &empty, &empty, &empty);
  }

  bool Busy() const {
    VARIANT_BOOL busy = VARIANT_FALSE;
    return browser_ && SUCCEEDED(browser_->get_Busy(&busy)) && busy != VARIANT_FALSE;
  }

  // Waits, handling the thread's messages, while the browser is not yet interactive,
  // within the bounds of NextBrowserWait: a browser that never gets ready leaves an
  // empty window that can still be closed.
  void WaitUntilReady() {
    const DWORD start = GetTickCount();
    DWORD lastBusy = start;
    for (;;) {
      READYSTATE state = READYSTATE_UNINITIALIZED;
      const bool known = browser_ && SUCCEEDED(browser_->get_ReadyState(&state));
      const DWORD now = GetTickCount();
      if (Busy()) lastBusy = now;
      if (NextBrowserWait(known ? static_cast<int>(state) : -1, now - start, now - lastBusy) != BrowserWait::Wait)
        return;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));
          return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }

  // The window sees key presses before the page: Escape closes it; the rest goes to
  // the browser's accelerators and its dialog-style navigation first.
  bool OfferKey(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)) return false;
    if (IsEscape(msg)) {
      closed_ = true;
      return true;
    }
    if (LeftToThePage(msg)) return false;
    if (activeObject_ && !Busy() && activeObject_->TranslateAccelerator(&msg) == S_OK) return true;
    return controlWindow_ != nullptr && IsDialogMessageA(controlWindow_, &msg);
  }

  // Lets go of the browser (events first) and the window; safe to call twice.
  void Close() {
    if (connectionPoint_ && adviseCookie_ != 0) connectionPoint_->Unadvise(adviseCookie_);
    adviseCookie_ = 0;
    connectionPoint_.reset();
    activeObject_.reset();
    if (inPlaceObject_) inPlaceObject_->InPlaceDeactivate();
    inPlaceObject_.reset();
    browser_.reset();
    if (oleObject_) {
      oleObject_->Close(OLECLOSE_NOSAVE);
      oleObject_->SetClientSite(nullptr);
    }
    oleObject_.reset();
    controlWindow_ = nullptr;
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
  }

  const TFrmDlgParams& params_;
  const std::string documentPath_;
  TFrmDlgResult& result_;
  BrowserSite site_{*this};  // first member: outlives every browser reference below
  UniqueFont font_ = CreatePointFont("Tahoma", 8, FW_NORMAL);
  HWND window_ = nullptr;
  HWND controlWindow_ = nullptr;
  ComPtr<IOleObject> oleObject_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;
  ComPtr<IOleInPlaceActiveObject> activeObject_;
  ComPtr<IConnectionPoint> connectionPoint_;
  DWORD adviseCookie_ = 0;
  bool closed_ = false;
  bool accepted_ = false;
};

STDMETHODIMP BrowserSite::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = owner_.window();
  return S_OK;
}

STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                           LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr)
    return E_POINTER;
  *frame = this;
  AddRef();
  *document = nullptr;
  GetClientRect(owner_.window(), position);
  *clip = *position;
  info->cb = sizeof(OLEINPLACEFRAMEINFO);
  info->fMDIApp = FALSE;
  info->hwndFrame = owner_.window();
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

STDMETHODIMP BrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  try {
    if (params == nullptr) return S_OK;
    if (id == DISPID_BEFORENAVIGATE2) owner_.OnBeforeNavigate(*params);
    else if (id == DISPID_WINDOWCLOSING) owner_.OnWindowClosing(*params);
  } catch (...) {
    // an event the dialog cannot handle changes nothing
  }
  return S_OK;
}

// The document file, deleted when the dialog is over.
class DocumentFile {
 public:
  explicit DocumentFile(std::string path) : path_(std::move(path)) {}
  ~DocumentFile() { DeleteFileIfExists(path_); }
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadHtml(const std::string& path) {
  std::string text;
  const bool whole = ReadFileInBlocks(path, 1 << 16, [&text](std::string_view block) {
    text.append(block);
    return true;
  });
  return whole ? text : std::string();
}

bool& FormOpen() {
  static bool open = false;
  return open;
}

struct OpenMark {
  OpenMark() { FormOpen() = true; }
  ~OpenMark() { FormOpen() = false; }
  OpenMark(const OpenMark&) = delete;
  OpenMark& operator=(const OpenMark&) = delete;
};

}  // namespace

bool FormDialogIsOpen() { return FormOpen(); }

FormOutcome ShowFormDialog(const TFrmDlgParams& params, TFrmDlgResult& result) {
  if (FormOpen()) return FormOutcome::AlreadyOpen;
  const OpenMark open;
  result = TFrmDlgResult{};
  // Written before any window exists, so a folder that takes no file ends the call
  // at once instead of showing a window with nothing in it.
  const std::string folder = PluginTempFolder(true);
  if (folder.empty()) return FormOutcome::DocumentNotWritten;
  const std::string html = ExpandFormDefinitions(ReadHtml(params.document), FormDefinitions());
  const std::string path = folder + std::string(kFormDocumentName);
  if (!WriteTextFile(path, html)) {
    if (!FolderExists(path)) DeleteFileIfExists(path);
    return FormOutcome::DocumentNotWritten;
  }
  const DocumentFile document(path);
  const OleScope ole;
  const RuntimeLibrary explorer = RuntimeLibrary::Load("explorer.exe");
  const WindowClass windowClass(kFormWindowClass, &FormWindow::Procedure, 0);
  bool accepted = false;
  {
    FormWindow window(params, document.path(), result);
    if (window.Create()) window.Run();
    accepted = window.accepted();
  }
  if (!accepted) result = TFrmDlgResult{};
  return accepted ? FormOutcome::Accepted : FormOutcome::NotAccepted;
}

}  // namespace kvl::dialogs
