// Message boxes through the exports, as real windows under Xvfb: icons, buttons, own
// captions, the default button, and the letter of the button pressed.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/MessageBoxRules.h"
#include "tests/dialogs/WindowDriver.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::ControlText;
using kvltest::Press;
using Strings = std::vector<std::string>;

TEST(MessageBoxRules, OptionCodesAndOwnCaptions) {
  using kvl::dialogs::MessageBoxStyle;
  // The codes the boxes below show are theirs to check. Own captions choose the buttons
  // by their number (the last argument); the button codes are passed over.
  struct Case {
    const char* codes;
    int ownCaptions;
    unsigned style;
  };
  for (const Case& c : {Case{" YNC,IQ,B2 ", 0, 0x20u | 3u | 0x100u}, {"", 0, 0u},
                        {"iw,ari,b3,ms,tm", 0, 0x30u | 2u | 0x200u | 0x1000u | 0x40000u},
                        {"is,rc,b4,mt", 0, 0x10u | 5u | 0x300u | 0x2000u}, {"ii,oc,b1,ma", 0, 0x40u | 1u},
                        {"oc,ii", 1, 0x40u}, {"ari", 2, 4u}, {"o", 3, 3u}})
    EXPECT_EQ(MessageBoxStyle(c.codes, c.ownCaptions), c.style) << c.codes << " " << c.ownCaptions;
  // Every button's letter comes from a box below; no button has none.
  EXPECT_EQ(kvl::dialogs::MessageBoxResult(0, true), "");
  EXPECT_EQ(kvl::dialogs::MessageBoxResult(8, true), "");
}

class MessageBoxes : public kvltest::WindowTest {
 protected:
  // Shows the box, lets `act` look at it and press a button; the box's letter.
  std::string show(const Strings& args, const std::string& title, std::function<void(HWND)> act) {
    return WindowTest::show("KVL_MsgBox", args, "#32770", title, std::move(act));
  }
};

// The button drawn as the default one (Wine's boxes keep DM_GETDEFID at IDOK).
int DefaultButton(HWND box) {
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    const HWND button = GetDlgItem(box, id);
    if (button && (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return id;
  }
  return 0;
}

// The icon the box shows, compared with the system's own.
BOOL CALLBACK MatchIcon(HWND child, LPARAM state) {
  auto* search = reinterpret_cast<std::pair<HICON, bool>*>(state);
  if (reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == search->first) search->second = true;
  return TRUE;
}

bool ShowsIcon(HWND box, LPCSTR icon) {
  std::pair<HICON, bool> search{LoadIconA(nullptr, icon), false};
  EnumChildWindows(box, MatchIcon, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

TEST_F(MessageBoxes, PlainNoticeAndTheOkLetter) {
  std::string seen;
  EXPECT_EQ(show({"Line 1\\nLine 2"}, "Korvel", [&](HWND box) {
              seen = ControlText(box, IDOK) + "|" + std::to_string(GetDlgItem(box, IDCANCEL) != nullptr);
              Press(box, IDOK);
            }), "");
  EXPECT_EQ(seen, "OK|0");
  EXPECT_EQ(show({"Done", "Korvel test", "", "1"}, "Korvel test", [](HWND box) { Press(box, IDOK); }), "O");
  EXPECT_EQ(show({"Done", "Korvel test", "oc", "1"}, "Korvel test", [](HWND box) {
              PostMessageA(box, WM_CLOSE, 0, 0);  // the close box is Cancel
            }), "C");
}

TEST_F(MessageBoxes, IconsButtonsAndTheDefault) {
  struct Case {
    const char* codes;
    LPCSTR icon;        // nullptr: none asked for
    int defaultButton;  // 0: not looked at
    bool cancel;        // whether the box has a Cancel button
    int pressed;
    const char* letter;
  };
  for (const Case& c : {Case{"iq,ync,b2", IDI_QUESTION, IDNO, true, IDYES, "Y"}, {"yn, b2", nullptr, IDYES, false, IDNO, "N"},
                        {"iw,ari,b3", IDI_EXCLAMATION, IDIGNORE, false, IDRETRY, "R"},
                        {"is,ari", IDI_HAND, 0, false, IDABORT, "A"}, {"ii,ari", IDI_ASTERISK, 0, false, IDIGNORE, "I"},
                        {"rc,b2", nullptr, IDCANCEL, true, IDCANCEL, "C"}}) {
    EXPECT_EQ(show({"Message", "Box", c.codes}, "Box", [&](HWND box) {
                if (c.icon) {
                  EXPECT_TRUE(ShowsIcon(box, c.icon)) << c.codes;
                }
                if (c.defaultButton) {
                  EXPECT_EQ(DefaultButton(box), c.defaultButton) << c.codes;
                }
                EXPECT_EQ(GetDlgItem(box, IDCANCEL) != nullptr, c.cancel) << c.codes;
                Press(box, c.pressed);
              }), c.letter) << c.codes;
  }
}

TEST_F(MessageBoxes, OwnCaptionsAndTheHookGoesAway) {
  std::string captions;
  EXPECT_EQ(show({"Changes?", "Own", "iq,ari", "0", "Save", "Discard", "Back"}, "Own", [&](HWND box) {
              captions = ControlText(box, IDYES) + "|" + ControlText(box, IDNO) + "|" + ControlText(box, IDCANCEL);
              Press(box, IDNO);
            }), "N");
  EXPECT_EQ(captions, "Save|Discard|Back");
  EXPECT_EQ(show({"Sure?", "Own", "", "0", "Go", "Stay"}, "Own", [&](HWND box) {
              captions = ControlText(box, IDYES) + "|" + ControlText(box, IDNO) + "|" + ControlText(box, IDCANCEL);
              Press(box, IDYES);
            }), "Y");
  EXPECT_EQ(captions, "Go|Stay|<none>");
  EXPECT_EQ(show({"Note", "Own", "yn", "1", "Close"}, "Own", [&](HWND box) {
              captions = ControlText(box, IDOK);
              Press(box, IDOK);
            }), "O");
  EXPECT_EQ(captions, "Close");
  // The next box without captions shows the system's own texts again.
  EXPECT_EQ(show({"Plain", "Own", "yn"}, "Own", [&](HWND box) {
              captions = ControlText(box, IDYES) + "|" + ControlText(box, IDNO);
              Press(box, IDYES);
            }), "Y");
  EXPECT_EQ(captions, "&Yes|&No");
}

}  // namespace
