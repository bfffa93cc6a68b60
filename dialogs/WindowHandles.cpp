#include "dialogs/WindowHandles.h"

namespace kvl::dialogs {

HINSTANCE PluginInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&PluginInstance), &module);
  return module;
}

UniqueFont CreatePointFont(const char* face, int points, int weight) {
  int pixelsPerInch = 96;
  if (const HDC screen = GetDC(nullptr)) {
    pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return UniqueFont(CreateFontA(-MulDiv(points, pixelsPerInch, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, face));
}

WindowClass::WindowClass(const char* name, WNDPROC procedure, int extraBytes) : name_(name) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = PluginInstance();
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
  windowClass.lpszClassName = name;
  registered_ = RegisterClassExA(&windowClass) != 0;
  usable_ = registered_ || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

WindowClass::~WindowClass() {
  if (registered_) UnregisterClassA(name_, PluginInstance());
}

WindowDC::WindowDC(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) {
  if (dc_ != nullptr && font != nullptr) previousFont_ = SelectObject(dc_, font);
}

WindowDC::~WindowDC() {
  if (dc_ == nullptr) return;
  if (previousFont_ != nullptr) SelectObject(dc_, previousFont_);
  ReleaseDC(window_, dc_);
}

namespace {
BOOL CALLBACK CollectEnabled(HWND window, LPARAM list) {
  try {
    if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
  } catch (...) {  // out of memory: the windows found so far are disabled
    return FALSE;
  }
}
}  // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled() {
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&disabled_));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

void ThreadWindowsDisabled::restore() {
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  disabled_.clear();
}

void RunModalLoop(HWND window, const bool& done, const std::function<bool(MSG&)>& offer) {
  while (!done && IsWindow(window)) {
    MSG message{};
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
    if (got <= 0) break;
    if (offer(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kvl::dialogs
