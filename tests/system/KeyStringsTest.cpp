// The key-string reader with a fixed layout: which key events, NumLock toggles and
// messages a key string turns into, written as "+10" (down 0x10), "-41" (up 0x41),
// "*" after an extended key, "N" (NumLock toggled), "[text]" (message), "!" (stop).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "system/KeyStrings.h"

namespace {

using kvl::keys::ActionKind;
using kvl::keys::KeyAction;
using kvl::keys::KeyCode;

// Lower-case letters and digits plain, capitals and "!" with Shift, "@" with Ctrl+Alt
// (as on layouts with AltGr), "(" and ")" with Shift, blank; nothing else has a key.
std::optional<KeyCode> FixedLayout(char c) {
  if (c >= 'a' && c <= 'z') return KeyCode{static_cast<std::uint8_t>(c - 'a' + 'A'), 0};
  if (c >= 'A' && c <= 'Z') return KeyCode{static_cast<std::uint8_t>(c), 1};
  if (c >= '0' && c <= '9') return KeyCode{static_cast<std::uint8_t>(c), 0};
  if (c == '!') return KeyCode{'1', 1};
  if (c == '(' || c == ')') return KeyCode{static_cast<std::uint8_t>(c == '(' ? '9' : '0'), 1};
  if (c == '@') return KeyCode{'Q', 6};
  if (c == ' ') return KeyCode{0x20, 0};
  return std::nullopt;
}

std::string Sent(std::string_view keys) {
  std::string out;
  kvl::keys::ReadKeyString(keys, FixedLayout, [&out](const KeyAction& action) {
    if (!out.empty()) out += ' ';
    char hex[8];
    switch (action.kind) {
      case ActionKind::KeyDown:
      case ActionKind::KeyUp:
        std::snprintf(hex, sizeof hex, "%c%02X", action.kind == ActionKind::KeyDown ? '+' : '-', action.key);
        out += hex;
        if (action.extended) out += '*';
        break;
      case ActionKind::ToggleNumLock: out += 'N'; break;
      case ActionKind::ShowMessage:
        out += '[';
        out += action.message;
        out += ']';
        break;
      case ActionKind::Stop: out += '!'; break;
    }
  });
  return out;
}

// Each row: a key string and what it turns into.
void ExpectSent(const std::vector<std::pair<std::string, std::string>>& rows) {
  for (const auto& [keys, sent] : rows) EXPECT_EQ(Sent(keys), sent) << keys;
}

TEST(KeyStrings, ModifiersParenthesesBracesAndCharacters) {
  ExpectSent({
      {"^c", "+11 +43 -43 -11"},
      // Shift for the first letter only, then for the whole group.
      {"+ab", "+10 +41 -41 -10 +42 -42"}, {"+(ab)c", "+10 +41 -41 +42 -42 -10 +43 -43"},
      {"%^(a)", "+12 +11 +41 -41 -11 -12"},
      // "~" inside parentheses keeps the modifiers; after them it releases.
      {"^(~a)~", "+11 +0D -0D +41 -41 -11 +0D -0D"},
      // Modifier bits of the layout: pressed around the key, released in reverse.
      {"A@", "+10 +41 -41 -10 +11 +12 +51 -51 -12 -11"},
      // A parenthesis never closed, or "+" at the end, leaves nothing held down.
      {"+(ab", "+10 +41 -41 +42 -42 -10"}, {"a^", "+41 -41 +11 -11"}, {"", ""},
      {"{{}", "+10 +DB -DB -10"}, {"{{}a", "+10 +DB -DB -10 +41 -41"}, {"{}}a", "+10 +DD -DD -10 +41 -41"},
      {"{ab}}", "+10 +DD -DD -10"},
      // One-character names keep their case: the braces only escape special characters.
      {"{a}{A}{!}", "+41 -41 +10 +41 -41 -10 +10 +31 -31 -10"}, {"{(}{)}", "+10 +39 -39 -10 +10 +30 -30 -10"},
      {"{+}", "[Invalid Key Name]"}, {"a\xE9" "b", "+41 -41 [Invalid KeyName] +42 -42"},
      {"+\xE9" "b", "+10 [Invalid KeyName] -10 +42 -42"},
  });
}

TEST(KeyStrings, NamedKeys) {
  EXPECT_EQ(Sent("{tab}{TAB}{Enter}{F13}{F2}{BREAK}{UP}"),
            "+09 -09 +09 -09 +0D -0D +7C -7C +71 -71 +03 -03 +26* -26*");
  for (const char* extended : {"PGUP", "PGDN", "END", "HOME", "LEFT", "UP", "RIGHT", "DOWN", "INS", "DEL", "DELETE"})
    EXPECT_NE(Sent(std::string("{") + extended + "}").find('*'), std::string::npos) << extended;
  EXPECT_EQ(Sent("{HELP}{PRTSC}{ESC}{CLEAR}"), "+2F -2F +2A -2A +1B -1B +0C -0C");
  // Every table row is found, and a name one letter longer is not.
  int found = 0;
  for (const char* name : {"BACKSPACE", "BKSP", "BREAK", "BS", "CAPSLOCK", "CLEAR", "DEL", "DELETE", "DOWN", "END",
                           "ENTER", "ESC", "ESCAPE", "F1", "F10", "F11", "F12", "F13", "F14", "F15", "F16", "F2", "F3",
                           "F4", "F5", "F6", "F7", "F8", "F9", "HELP", "HOME", "INS", "LEFT", "NUMLOCK", "PGDN", "PGUP",
                           "PRTSC", "RIGHT", "SCROLLLOCK", "TAB", "UP"}) {
    found += kvl::keys::NamedKey(name).has_value();
    EXPECT_FALSE(kvl::keys::NamedKey(std::string(name) + "X")) << name;
  }
  EXPECT_EQ(found, 41);
  for (const char* other : {"F17", "A", ""}) EXPECT_FALSE(kvl::keys::NamedKey(other)) << other;
  ExpectSent({{"{XYZ}a", "[Invalid Key Name] +41 -41"}, {"^{XYZ}a", "+11 [Invalid Key Name] -11 +41 -41"},
              {"{}a", "[Invalid Key Name] +41 -41"}});
}

TEST(KeyStrings, MissingCloseStopsEverythingAndRepeatCounts) {
  ExpectSent({
      {"a{ENTER", "+41 -41 [No Close] !"}, {"+(a{ENTER b", "+10 +41 -41 [No Close] -10 !"}, {"{", "[No Close] !"},
      {"{TAB 3}", "+09 -09 +09 -09 +09 -09"}, {"{a 2}", "+41 -41 +41 -41"}, {"+{a 2}", "+10 +41 -41 +41 -41 -10"},
      {"{TAB 1}", "+09 -09"}, {"{TAB 0}a", "+41 -41"}, {"{TAB  0002 }", "+09 -09 +09 -09"},
  });
  // Only a whole number from 0 to 65535 counts; anything else is refused.
  for (const char* bad : {"{TAB 65536}", "{TAB -1}", "{TAB abc}", "{TAB }", "{TAB 1x}", "{TAB +1}", "{ 3}"})
    EXPECT_EQ(Sent(bad), "[Invalid Key Name]") << bad;
  std::size_t downs = 0;
  kvl::keys::ReadKeyString("{DOWN 65535}", FixedLayout,
                           [&downs](const KeyAction& a) { downs += a.kind == ActionKind::KeyDown && a.extended; });
  EXPECT_EQ(downs, 65535u);
}

TEST(KeyStrings, NameCutAtTwentyCharacters) {
  // "F1 " and 17 digits fill 20 characters; an 18th digit is cut off.
  ExpectSent({{"{F1 00000000000000001}", "+70 -70"}, {"{F1 000000000000000001}", ""},
              // Blanks inside a count refuse it, unless the cut drops what follows them.
              {"{F1 1" + std::string(15, ' ') + "2}", "[Invalid Key Name]"},
              {"{F1 1" + std::string(16, ' ') + "2}", "+70 -70"}});
}

TEST(KeyStrings, NumLockTogglesOncePerName) {
  ExpectSent({{"{NUMLOCK}", "N"}, {"{NUMLOCK 3}{numlock}", "N N"}, {"{NUMLOCK 0}", ""}, {"+{NUMLOCK}", "+10 N -10"}});
}

}  // namespace
