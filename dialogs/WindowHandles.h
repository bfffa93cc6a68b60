#pragma once
// Owners of the Win32 objects that the dialog windows use: the plug-in's module handle,
// window classes, windows, fonts, device contexts and the thread's windows that a
// modal window disables.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

namespace kvl::dialogs {

// The plug-in's own module (not the host's): window classes and hooks belong to it.
HINSTANCE PluginInstance();

struct WindowDestroyer {
  void operator()(HWND window) const {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct GdiObjectDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// A font by face name and point size at the screen's resolution.
UniqueFont CreatePointFont(const char* face, int points, int weight);

// A window class of the plug-in's module, registered for the owner's lifetime. A class
// of that name that is already registered is used and left registered.
class WindowClass {
 public:
  WindowClass(const char* name, WNDPROC procedure, int extraBytes);
  ~WindowClass();
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;
  bool usable() const { return usable_; }

 private:
  const char* name_;
  bool registered_ = false;
  bool usable_ = false;
};

// A window's device context with a font selected for the owner's lifetime.
class WindowDC {
 public:
  WindowDC(HWND window, HFONT font);
  ~WindowDC();
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HGDIOBJ previousFont_ = nullptr;
};

// The visible, enabled top-level windows of the calling thread (the mail client's),
// disabled while a modal window is open and enabled again by restore() or at the end.
class ThreadWindowsDisabled {
 public:
  ThreadWindowsDisabled();
  ~ThreadWindowsDisabled() { restore(); }
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;
  void restore();

 private:
  std::vector<HWND> disabled_;
};

// Runs the thread's messages until `done` is set or the window is gone. `offer` sees each
// message first and answers true when it has handled it. A quit message ends the loop
// and is posted again, so the host's own loop sees it too.
void RunModalLoop(HWND window, const bool& done, const std::function<bool(MSG&)>& offer);

// OLE (and COM) for the calling thread while a dialog needs it; a thread that already
// has another apartment keeps it.
class OleScope {
 public:
  OleScope() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (initialised_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool initialised_;
};

}  // namespace kvl::dialogs
