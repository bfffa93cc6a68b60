#pragma once
// Drives a window that the plug-in opens on the test's main thread: a second thread
// waits for it (by class and title), looks at it, acts on it like a user, and closes
// it should the action leave it open, so a test never waits for ever.
#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "dialogs/WindowLayout.h"
#include "tests/e2e/TestPlugin.h"

namespace kvltest {

// The window once it is visible and its thread is back in its message loop (a window is
// found as soon as it is created, before its controls exist and it is laid out). An
// empty title matches any title.
inline HWND WaitForWindow(const char* windowClass, const std::string& title, int seconds) {
  for (int i = 0; i < seconds * 50; ++i) {
    const HWND window = FindWindowA(windowClass, title.empty() ? nullptr : title.c_str());
    DWORD_PTR ignored = 0;
    if (window && IsWindowVisible(window) &&
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) != 0)
      return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

// True when the window came; `act` runs on it.
inline std::future<bool> DriveWindow(const char* windowClass, std::string title, std::function<void(HWND)> act) {
  return std::async(std::launch::async, [windowClass, title = std::move(title), act = std::move(act)] {
    const HWND window = WaitForWindow(windowClass, title, 10);
    if (window == nullptr) return false;
    act(window);
    for (int i = 0; i < 250 && IsWindow(window); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (IsWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
    return true;
  });
}

inline std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::string ControlText(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  return control ? WindowText(control) : "<none>";
}

// A control's rectangle in its window's client area.
inline kvl::dialogs::PixelRect PlaceOf(HWND window, int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(window, id), &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

inline SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

inline LOGFONTA FontOf(HWND control) {
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

// The control that has the keyboard focus on the window's thread.
inline HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// A key pressed on a control: through the window's own message loop, as a user's key comes.
inline void PressKey(HWND window, int id, WPARAM key) {
  PostMessageA(GetDlgItem(window, id), WM_KEYDOWN, key, 1);
  PostMessageA(GetDlgItem(window, id), WM_KEYUP, key, 0xC0000001);
}

// Clicks on the middle of a list box entry the way the mouse does.
inline void ClickListEntry(HWND list, int entry) {
  RECT rect{};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(&rect));
  const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageA(list, WM_LBUTTONUP, 0, point);
}

// Presses a button the way a click does.
inline void Press(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// The fixture of the window tests: `show` calls a macro that opens a window, lets `act`
// drive that window (found by class and title) from a second thread, and answers the result.
class WindowTest : public PluginTest {
 protected:
  std::string show(const std::string& macro, const std::vector<std::string>& args, const char* windowClass,
                   const std::string& title, std::function<void(HWND)> act) {
    auto driven = DriveWindow(windowClass, title, std::move(act));
    const std::string result = plugin.call(macro, args);
    EXPECT_TRUE(driven.get()) << "no " << windowClass << " window titled " << title;
    return result;
  }
};

}  // namespace kvltest
