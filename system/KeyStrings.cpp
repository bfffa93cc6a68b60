#include "system/KeyStrings.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/TextUtil.h"

namespace kvl::keys {

namespace {

struct NamedKeyRow {
  std::string_view name;
  std::uint8_t key;
};

// Byte order, so "F10" to "F16" come before "F2": searched by bisection.
constexpr std::array<NamedKeyRow, 41> kNamedKeys{{
    {"BACKSPACE", 0x08}, {"BKSP", 0x08},  {"BREAK", 0x03},      {"BS", 0x08},    {"CAPSLOCK", 0x14}, {"CLEAR", 0x0C},
    {"DEL", 0x2E},       {"DELETE", 0x2E}, {"DOWN", 0x28},      {"END", 0x23},   {"ENTER", 0x0D},    {"ESC", 0x1B},
    {"ESCAPE", 0x1B},    {"F1", 0x70},     {"F10", 0x79},       {"F11", 0x7A},   {"F12", 0x7B},      {"F13", 0x7C},
    {"F14", 0x7D},       {"F15", 0x7E},    {"F16", 0x7F},       {"F2", 0x71},    {"F3", 0x72},       {"F4", 0x73},
    {"F5", 0x74},        {"F6", 0x75},     {"F7", 0x76},        {"F8", 0x77},    {"F9", 0x78},       {"HELP", 0x2F},
    {"HOME", 0x24},      {"INS", 0x2D},    {"LEFT", 0x25},      {"NUMLOCK", 0x90}, {"PGDN", 0x22},   {"PGUP", 0x21},
    {"PRTSC", 0x2A},     {"RIGHT", 0x27},  {"SCROLLLOCK", 0x91}, {"TAB", 0x09},  {"UP", 0x26},
}};

static_assert(std::is_sorted(kNamedKeys.begin(), kNamedKeys.end(),
                             [](const NamedKeyRow& a, const NamedKeyRow& b) { return a.name < b.name; }));

constexpr std::size_t kLongestKeyName = 20;
constexpr std::uint8_t kOpenBraceKey = 0xDB;   // "[" / "{" on the usual layouts
constexpr std::uint8_t kCloseBraceKey = 0xDD;  // "]" / "}"

// A repeat count: a whole decimal number from 0 to 65535, blanks around it allowed.
std::optional<std::uint16_t> ReadRepeatCount(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return std::nullopt;
  std::uint32_t count = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    count = count * 10 + static_cast<std::uint32_t>(c - '0');
    if (count > 0xFFFF) return std::nullopt;
  }
  return static_cast<std::uint16_t>(count);
}

class KeyStringReader {
 public:
  KeyStringReader(const CharToKey& translate, const ActionSink& sink) : translate_(translate), sink_(sink) {}

  void read(std::string_view keys) {
    std::size_t at = 0;
    while (at < keys.size()) {
      const char c = keys[at];
      if (c == '+' || c == '^' || c == '%') {
        holdModifier(c);
        ++at;
      } else if (c == '(') {
        inParentheses_ = true;
        ++at;
      } else if (c == ')') {
        inParentheses_ = false;
        releaseModifiers();
        ++at;
      } else if (c == '~') {
        sendKey({kEnter, 0}, 1);
        releaseModifiers();
        ++at;
      } else if (c == '{') {
        if (!readBraces(keys, at)) return stop();
      } else {
        if (const auto code = translate_(c)) sendKey(*code, 1);
        else show(kInvalidCharacter);
        releaseModifiers();
        ++at;
      }
    }
    finish();
  }

 private:
  void emit(ActionKind kind, std::uint8_t key) { sink_(KeyAction{kind, key, IsExtendedKey(key), {}}); }
  void show(std::string_view message) { sink_(KeyAction{ActionKind::ShowMessage, 0, false, message}); }

  void holdModifier(char c) {
    const std::uint8_t key = c == '+' ? kShift : c == '^' ? kCtrl : kAlt;
    emit(ActionKind::KeyDown, key);
    held_[key - kShift] = true;
  }

  // Inside parentheses the held modifiers stay down for the whole group.
  void releaseModifiers() {
    if (inParentheses_) return;
    for (std::uint8_t i = 0; i < held_.size(); ++i) {
      if (held_[i]) emit(ActionKind::KeyUp, static_cast<std::uint8_t>(kShift + i));
      held_[i] = false;
    }
  }

  // A modifier left down would stay down for every program on the desktop.
  void finish() {
    inParentheses_ = false;
    releaseModifiers();
  }

  void stop() {
    finish();
    sink_(KeyAction{ActionKind::Stop, 0, false, {}});
  }

  void sendKey(KeyCode code, std::uint16_t count) {
    if (count == 0) return;
    if (code.key == kNumLock) {
      sink_(KeyAction{ActionKind::ToggleNumLock, kNumLock, false, {}});
      return;
    }
    static constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 3> kModifierKeys{
        {{kWithShift, kShift}, {kWithCtrl, kCtrl}, {kWithAlt, kAlt}}};
    for (const auto& [bit, key] : kModifierKeys)
      if (code.modifiers & bit) emit(ActionKind::KeyDown, key);
    for (std::uint32_t i = 0; i < count; ++i) {
      emit(ActionKind::KeyDown, code.key);
      emit(ActionKind::KeyUp, code.key);
    }
    for (auto it = kModifierKeys.rbegin(); it != kModifierKeys.rend(); ++it)
      if (code.modifiers & it->first) emit(ActionKind::KeyUp, it->second);
  }

  // Reads "{...}" at `at` and moves past it; false when it never closes.
  bool readBraces(std::string_view keys, std::size_t& at) {
    if (at + 1 < keys.size() && keys[at + 1] == '{') {  // "{{}"
      sendKey({kOpenBraceKey, kWithShift}, 1);
      releaseModifiers();
      at += 3;
      return true;
    }
    const std::size_t close = keys.find('}', at + 1);
    if (close == std::string_view::npos) {
      show(kNoClose);
      return false;
    }
    if (close + 1 < keys.size() && keys[close + 1] == '}') {  // "{}}"
      sendKey({kCloseBraceKey, kWithShift}, 1);
      releaseModifiers();
      at = close + 2;
      return true;
    }
    const std::string_view written = keys.substr(at + 1, std::min(close - at - 1, kLongestKeyName));
    at = close + 1;
    const std::size_t blank = written.find(' ');
    const std::string_view name = written.substr(0, blank);
    const std::optional<std::uint16_t> count =
        blank == std::string_view::npos ? std::optional<std::uint16_t>(1) : ReadRepeatCount(written.substr(blank + 1));
    const std::optional<KeyCode> code = name.size() == 1 ? translate_(name[0]) : namedCode(name);
    if (code && count) sendKey(*code, *count);
    else show(kInvalidName);
    releaseModifiers();
    return true;
  }

  static std::optional<KeyCode> namedCode(std::string_view name) {
    const auto key = NamedKey(AsciiUppered(name));
    if (!key) return std::nullopt;
    return KeyCode{*key, 0};
  }

  const CharToKey& translate_;
  const ActionSink& sink_;
  std::array<bool, 3> held_{};  // Shift, Ctrl, Alt
  bool inParentheses_ = false;
};

}  // namespace

std::optional<std::uint8_t> NamedKey(std::string_view name) {
  const auto row = std::lower_bound(kNamedKeys.begin(), kNamedKeys.end(), name,
                                    [](const NamedKeyRow& r, std::string_view n) { return r.name < n; });
  if (row == kNamedKeys.end() || row->name != name) return std::nullopt;
  return row->key;
}

bool IsExtendedKey(std::uint8_t key) { return (key >= 0x21 && key <= 0x28) || key == 0x2D || key == 0x2E; }

void ReadKeyString(std::string_view keys, const CharToKey& translate, const ActionSink& sink) {
  KeyStringReader(translate, sink).read(keys);
}

}  // namespace kvl::keys
