// Keystrokes, the clipboard and the keyboard layout through the exports, against a
// real window with an edit control on the Xvfb display, the real clipboard and the
// layouts Wine knows. Message boxes are found and closed by a second thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/WindowHandles.h"
#include "tests/dialogs/WindowDriver.h"

namespace {

using Strings = std::vector<std::string>;
using kvltest::kNoSuccess;

void PumpFor(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  MSG message;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

class DesktopMacros : public kvltest::PluginTest {
 protected:
  void SetUp() override {
    frame.reset(CreateWindowExA(0, "STATIC", "Korvel keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300,
                                nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(frame);
    edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 380, 260,
                           frame.get(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(edit);
    focus();
  }
  void focus() {
    SetForegroundWindow(frame.get());
    SetFocus(edit);
    PumpFor(100);
    ASSERT_EQ(GetFocus(), edit);
  }
  // What the edit holds after the keys were sent into it, starting empty.
  std::string typed(const std::string& keys, const std::string& wait = "1") {
    SetWindowTextA(edit, "");
    EXPECT_EQ(plugin.call("KVL_SendKeys", {keys, wait}), "");
    PumpFor(150);
    return kvltest::WindowText(edit);
  }
  // The texts of the message boxes that the keys brought up, each closed by a second thread.
  Strings messages(const std::string& keys) {
    std::atomic<bool> done{false};
    Strings texts;
    std::thread closer([&] {
      while (!done)
        if (const HWND box = kvltest::WaitForWindow("#32770", "SendKeys", 1)) {
          texts.push_back(kvltest::ControlText(box, 0xFFFF));  // the box's message
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          kvltest::WaitUntil([box] { return !IsWindow(box); });
        }
    });
    EXPECT_EQ(plugin.call("KVL_SendKeys", {keys}), "");
    done = true;
    closer.join();
    focus();
    return texts;
  }

  kvl::dialogs::UniqueWindow frame;
  HWND edit = nullptr;
};

TEST_F(DesktopMacros, KeysReachTheFocusedEdit) {
  for (const auto& [keys, text] : std::vector<std::pair<std::string, std::string>>{
           {"+abc", "Abc"}, {"+(abc)d", "ABCd"}, {"{TAB 3}x", "\t\t\tx"}, {"a~b", "a\r\nb"}, {"{{}x{}}", "{x}"},
           // Xvfb's keymap has no key for "(" and ")": Wine's VkKeyScanA answers -1 for them.
           {"{+}{%}{^}{~}", "+%^~"}, {"{a 3}{A}{TAB 0}", "aaaA"}, {"abcd{LEFT 2}{BS}{DEL}x{HOME}y{END}z", "yaxdz"},
           // Wine's edit control has no Ctrl+A: select from the start to the end instead.
           {"old^{HOME}+^{END}new", "new"}})
    EXPECT_EQ(typed(keys), text) << keys;
  // Without waiting the keys still arrive, once the window reads its queue.
  EXPECT_EQ(typed("q", "0") + typed("r", "2"), "qr");
}

// Every key press of the string (modifiers included) is counted before any is sent:
// 10 000 are sent (F13 does nothing in an edit), with one more nothing is typed.
TEST_F(DesktopMacros, KeyPressesOfACallAreBoundedBeforeAnyIsSent) {
  EXPECT_EQ(typed("a{F13 9998}b"), "ab");
  SetWindowTextA(edit, "");
  expectResults({{"KVL_SendKeys", {"a{F13 9999}b"}, kNoSuccess},
                 {"KVL_SendKeys", {"+(a){TAB 65535}" + std::string(1 << 20, '~'), "0"}, kNoSuccess}});
  PumpFor(150);
  EXPECT_EQ(GetWindowTextLengthA(edit), 0);
}

// Which strings make which messages is the key-string reader's (KeyStringsTest); here each
// message is a box of its own, a character the real layout lacks makes one, and a stop stops.
TEST_F(DesktopMacros, MessagesForBadKeysAndStop) {
  EXPECT_EQ(messages("{TAB 65536}{TAB abc}"), (Strings{"Invalid Key Name", "Invalid Key Name"}));
  EXPECT_EQ(messages("\xA4"), Strings{"Invalid KeyName"});
  // After the box the rest of the string is not sent, and no Shift stays down.
  SetWindowTextA(edit, "");
  EXPECT_EQ(messages("+(a{ENTER b"), Strings{"No Close"});
  EXPECT_EQ(kvltest::WindowText(edit), "A");
  EXPECT_EQ(typed("b"), "b");
}

TEST_F(DesktopMacros, NumLockFlipsOncePerName) {
  const bool before = GetKeyState(VK_NUMLOCK) & 1;
  EXPECT_EQ(typed("{NUMLOCK}"), "");
  EXPECT_EQ(bool(GetKeyState(VK_NUMLOCK) & 1), !before);
  EXPECT_EQ(typed("{NUMLOCK 2}"), "");
  EXPECT_EQ(bool(GetKeyState(VK_NUMLOCK) & 1), before);
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(not open)";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  } else {
    text = "(no text)";
  }
  CloseClipboard();
  return text;
}

TEST_F(DesktopMacros, ClipboardGetsTheText) {
  for (const std::string& text : {std::string("Hello, world"), std::string(), std::string(1 << 20, 'k') + "end",
                                  std::string("\xE4\xF6\xFC line\r\nnext")}) {
    EXPECT_EQ(plugin.call("KVL_SetClipB", {text}), "");
    EXPECT_EQ(ClipboardText(), text) << text.size();
  }
  // A program that holds the clipboard open makes the call fail, not pretend.
  ASSERT_TRUE(OpenClipboard(frame.get()));
  std::thread other([this] { EXPECT_EQ(plugin.call("KVL_SetClipB", {"x"}), kNoSuccess); });
  other.join();
  CloseClipboard();
  EXPECT_NE(ClipboardText(), "x");
}

std::string ActiveLayout() {
  std::array<char, KL_NAMELENGTH> name{};
  GetKeyboardLayoutNameA(name.data());
  return name.data();
}

TEST_F(DesktopMacros, KeyboardLayouts) {
  const std::string original = plugin.call("KVL_KbdLayout");
  EXPECT_EQ(original, ActiveLayout());
  EXPECT_EQ(original.size(), 8u);
  EXPECT_EQ(plugin.call("KVL_KbdLayout", {""}), original);
  // Wine loads every layout name without complaint but keeps the active layout, so
  // only the answers are checked here, not a switch.
  for (const std::string name : {"de", "DE-de", "lt", "409", "00000407"})
    EXPECT_EQ(plugin.call("KVL_KbdLayout", {name}), "") << name;
  for (const std::string name : {"zzzzzzzz", "xx-YY", "0000040g"})
    EXPECT_EQ(plugin.call("KVL_KbdLayout", {name}), kvltest::kValueError) << name;
  EXPECT_EQ(plugin.call("KVL_KbdLayout", {original}), "");
  EXPECT_EQ(ActiveLayout(), original);
}

}  // namespace
