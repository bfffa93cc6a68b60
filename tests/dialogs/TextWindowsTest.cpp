// The text and choice windows through the exports, as real windows under Xvfb: layout
// around the prompt, the live counter, typing, ticking by click and space, and what
// OK, Cancel, Escape and the close box answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "dialogs/TextWindows.h"
#include "dialogs/WindowHandles.h"
#include "tests/dialogs/WindowDriver.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvl::dialogs::kBodyControlId;
using kvl::dialogs::kCounterControlId;
using kvl::dialogs::kPromptControlId;
using kvl::dialogs::LayOutWindow;
using kvl::dialogs::PixelRect;
using kvl::dialogs::WindowKind;
using kvl::dialogs::WindowLayout;
using namespace kvltest;
using Strings = std::vector<std::string>;

const std::string kItems = "a$X$Apple|b$$Banana|c$x$Cherry";

void Type(HWND window, const std::string& text) {
  for (char c : text) SendMessageA(GetDlgItem(window, kBodyControlId), WM_CHAR, static_cast<unsigned char>(c), 1);
}

void Click(HWND window, int button) { PostMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0); }

void ClickEntry(HWND window, int entry) { kvltest::ClickListEntry(GetDlgItem(window, kBodyControlId), entry); }

// "1" for a ticked entry, "0" for one that is not, in list order.
std::string Ticks(HWND window) {
  const HWND list = GetDlgItem(window, kBodyControlId);
  std::string ticks;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT entry = 0; entry < count; ++entry)
    ticks += SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(entry), 0) == 1 ? '1' : '0';
  return ticks;
}

std::string EntryText(HWND window, int entry) {
  std::array<char, 256> text{};
  SendMessageA(GetDlgItem(window, kBodyControlId), LB_GETTEXT, static_cast<WPARAM>(entry),
               reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

class TextWindows : public WindowTest {
 protected:
  std::string text(const Strings& args, const std::string& title, std::function<void(HWND)> act) {
    return show("KVL_TextDlg", args, "TfrmTextDlg", title, std::move(act));
  }
  std::string choice(const Strings& args, const std::string& title, std::function<void(HWND)> act) {
    return show("KVL_MultiDlg", args, "TfrmMultiDlg", title, std::move(act));
  }
};

// The live window laid out as LayOutWindow places it around the prompt it measured,
// centred, in Tahoma, fixed in size and owned by nobody; answers the prompt's height.
int CheckLayout(HWND window, WindowKind kind) {
  const PixelRect label = PlaceOf(window, kPromptControlId);
  const WindowLayout expected = LayOutWindow(kind, label.height, 100000);  // no prompt here is cut
  EXPECT_EQ(label, expected.label);
  EXPECT_EQ(PlaceOf(window, kBodyControlId), expected.body);
  EXPECT_EQ(PlaceOf(window, IDOK), expected.ok);
  EXPECT_EQ(PlaceOf(window, IDCANCEL), expected.cancel);
  if (kind == WindowKind::Text) {
    EXPECT_EQ(PlaceOf(window, kCounterControlId), expected.counter);
  }
  EXPECT_EQ(ClientSize(window).cx, expected.clientWidth);
  EXPECT_EQ(ClientSize(window).cy, expected.clientHeight);
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  EXPECT_STREQ(FontOf(GetDlgItem(window, kPromptControlId)).lfFaceName, "Tahoma");
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME, 0);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  return label.height;
}

TEST_F(TextWindows, TextWindowLayoutCounterAndTheMaximum) {
  int shortPrompt = 0;
  EXPECT_EQ(text({"Korvel notes", "Your text:", "Hello", "10"}, "Korvel notes", [&](HWND window) {
              shortPrompt = CheckLayout(window, WindowKind::Text);
              EXPECT_EQ(ControlText(window, kPromptControlId), "Your text:");
              EXPECT_EQ(ControlText(window, kBodyControlId), "Hello");
              EXPECT_EQ(ControlText(window, IDOK) + "|" + ControlText(window, IDCANCEL), "Ok|Cancel");
              EXPECT_EQ(ControlText(window, kCounterControlId), "5 / 10 (5)");
              const HWND counter = GetDlgItem(window, kCounterControlId);
              EXPECT_EQ(GetWindowLongA(counter, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
              EXPECT_EQ(FontOf(counter).lfWeight, FW_BOLD);
              EXPECT_EQ(FocusOf(window), GetDlgItem(window, kBodyControlId));
              Type(window, "a");
              EXPECT_EQ(ControlText(window, kCounterControlId), "6 / 10 (4)");
              Type(window, "bcdefgh");  // the edit field takes 10 characters, no more
              EXPECT_EQ(ControlText(window, kBodyControlId), "Helloabcde");
              EXPECT_EQ(ControlText(window, kCounterControlId), "10 / 10 (0)");
              Click(window, IDOK);
            }), "Helloabcde");
  EXPECT_GT(shortPrompt, 0);

  // A prompt that wraps makes the label taller and moves everything below it down.
  std::string longPrompt;
  for (int word = 0; word < 40; ++word) longPrompt += "wrapping ";
  int tallPrompt = 0;
  EXPECT_EQ(text({"Korvel notes", longPrompt, ""}, "Korvel notes", [&](HWND window) {
              tallPrompt = CheckLayout(window, WindowKind::Text);
              EXPECT_EQ(ControlText(window, kCounterControlId), "0 / 100000 (100000)");
              Click(window, IDCANCEL);
            }), "");
  EXPECT_GE(tallPrompt, 3 * shortPrompt);
  // Maxima outside 1 to 100 000 are the rule's (WindowLayoutTest); the window takes what the rule gives.
}

TEST_F(TextWindows, EnterMakesLinesThatOkAnswersAsCrLf) {
  EXPECT_EQ(text({"Korvel lines", "Write:", "Line 1\\nLine 2", "0", "Send", "Drop"}, "Korvel lines", [&](HWND window) {
              EXPECT_EQ(ControlText(window, IDOK) + "|" + ControlText(window, IDCANCEL), "Send|Drop");
              EXPECT_EQ(ControlText(window, kBodyControlId), "Line 1\r\nLine 2");
              EXPECT_EQ(ControlText(window, kCounterControlId), "14 / 100000 (99986)");
              PressKey(window, kBodyControlId, VK_RETURN);
              EXPECT_TRUE(WaitUntil([&] { return ControlText(window, kCounterControlId) == "16 / 100000 (99984)"; }));
              Type(window, "x");
              Click(window, IDOK);
            }), "Line 1\r\nLine 2\r\nx");
  // A line break takes two of the maximum: with one character left Enter adds nothing.
  for (const auto& [initial, kept] : {std::pair{"abcdef", "abcdef\r\n"}, std::pair{"abcdefg", "abcdefga"}}) {
    EXPECT_EQ(text({"Korvel lines", "", initial, "8"}, "Korvel lines", [&](HWND window) {
                PressKey(window, kBodyControlId, VK_RETURN);
                PressKey(window, kBodyControlId, 'A');
                EXPECT_TRUE(WaitUntil([&] { return ControlText(window, kCounterControlId) == "8 / 8 (0)"; }));
                Click(window, IDOK);
              }), kept) << initial;
  }
  // A longer initial text is kept whole; nothing more can be typed.
  EXPECT_EQ(text({"Korvel lines", "", "Hello", "3"}, "Korvel lines", [&](HWND window) {
              Type(window, "!");
              EXPECT_EQ(ControlText(window, kCounterControlId), "5 / 3 (-2)");
              Click(window, IDOK);
            }), "Hello");
}

TEST_F(TextWindows, CancelEscapeAndTheCloseBoxAnswerNothing) {
  // The mail client's window on this thread is disabled while the window is open.
  const kvl::dialogs::UniqueWindow client(CreateWindowExA(0, "STATIC", "Korvel mail client", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                                         0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(client);
  EXPECT_EQ(text({"", "p", "kept?"}, "KVL - Korvel", [&](HWND window) {
              EXPECT_FALSE(IsWindowEnabled(client.get()));
              Click(window, IDCANCEL);
            }), "");
  EXPECT_TRUE(IsWindowEnabled(client.get()));
  const std::pair<const char*, void (*)(HWND)> closings[] = {
      {"Korvel esc", [](HWND window) { PressKey(window, kBodyControlId, VK_ESCAPE); }},
      {"Korvel close", [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }}};
  for (const auto& [title, close] : closings)
    EXPECT_EQ(text({title, "p", "kept?"}, title, close), "") << title;
  EXPECT_EQ(choice({"", "p", "0", kItems, "0"}, "KVL - Korvel", [](HWND window) { Click(window, IDCANCEL); }), "");
  for (const auto& [title, close] : closings)
    EXPECT_EQ(choice({title, "p", "0", kItems, "0"}, title, close), "") << title;
}

TEST_F(TextWindows, SeveralChoicesAnswerByMode) {
  for (const auto& [mode, answer] : {std::pair{"2", "a|c"}, std::pair{"1", "1|3"}, std::pair{"0", "Apple|Cherry"},
                                     std::pair{"3", "|"}}) {
    EXPECT_EQ(choice({"Korvel fruit", "Pick some:", "0", kItems, mode}, "Korvel fruit", [&](HWND window) {
                CheckLayout(window, WindowKind::Choice);
                EXPECT_EQ(ControlText(window, kPromptControlId), "Pick some:");
                EXPECT_EQ(EntryText(window, 0) + "," + EntryText(window, 1) + "," + EntryText(window, 2),
                          "Apple,Banana,Cherry");
                EXPECT_EQ(Ticks(window), "101");
                EXPECT_EQ(ControlText(window, IDOK) + "|" + ControlText(window, IDCANCEL), "Ok|Cancel");
                Click(window, IDOK);
              }), answer) << "mode " << mode;
  }
  // Clicks and the space bar flip entries one by one; the extent is the widest entry + 45.
  EXPECT_EQ(choice({"Korvel fruit", "Pick some:", "2", kItems + "|d$$A much longer entry", "2", "Take", "Leave"},
                   "Korvel fruit", [&](HWND window) {
                     EXPECT_EQ(ControlText(window, IDOK) + "|" + ControlText(window, IDCANCEL), "Take|Leave");
                     const HWND list = GetDlgItem(window, kBodyControlId);
                     const HDC dc = GetDC(list);
                     const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
                     SIZE widest{};
                     GetTextExtentPoint32A(dc, "A much longer entry", 19, &widest);
                     SelectObject(dc, previous);
                     ReleaseDC(list, dc);
                     EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0), widest.cx + 45);
                     ClickEntry(window, 1);
                     EXPECT_EQ(Ticks(window), "1110");
                     ClickEntry(window, 0);
                     EXPECT_EQ(Ticks(window), "0110");
                     SendMessageA(list, WM_KEYDOWN, VK_SPACE, 1);  // on the current entry, Apple
                     EXPECT_EQ(Ticks(window), "1110");
                     ClickEntry(window, 3);
                     Click(window, IDOK);
                   }), "a|b|c|d");
}

TEST_F(TextWindows, SingleChoiceKeepsTheClickedEntryOnly) {
  EXPECT_EQ(choice({"Korvel one", "Pick one:", "1", kItems, "0"}, "Korvel one", [&](HWND window) {
              EXPECT_EQ(Ticks(window), "101");  // pre-ticked entries stay until the first click
              ClickEntry(window, 1);
              EXPECT_EQ(Ticks(window), "010");
              ClickEntry(window, 1);  // clicking the ticked entry keeps it
              EXPECT_EQ(Ticks(window), "010");
              SendMessageA(GetDlgItem(window, kBodyControlId), WM_KEYDOWN, VK_SPACE, 1);
              EXPECT_EQ(Ticks(window), "010");
              Click(window, IDOK);
            }), "Banana");
}

}  // namespace
