#pragma once
// The key-string language: "+", "^", "%" hold Shift, Ctrl, Alt for the next key (or a
// group in parentheses), "~" is Enter, "{NAME}" / "{NAME n}" a named key n times,
// "{x}" one character, "{{}" and "{}}" the braces themselves. Reading a key string
// yields key events, NumLock toggles and messages; the caller sends them.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace kvl::keys {

inline constexpr std::uint8_t kShift = 0x10;
inline constexpr std::uint8_t kCtrl = 0x11;
inline constexpr std::uint8_t kAlt = 0x12;
inline constexpr std::uint8_t kEnter = 0x0D;
inline constexpr std::uint8_t kNumLock = 0x90;

// Modifier bits of a translated character, as the layout reports them.
inline constexpr std::uint8_t kWithShift = 1;
inline constexpr std::uint8_t kWithCtrl = 2;
inline constexpr std::uint8_t kWithAlt = 4;

inline constexpr std::string_view kNoClose = "No Close";
inline constexpr std::string_view kInvalidName = "Invalid Key Name";
inline constexpr std::string_view kInvalidCharacter = "Invalid KeyName";

// A virtual-key code and the modifier bits it needs.
struct KeyCode {
  std::uint8_t key = 0;
  std::uint8_t modifiers = 0;
};

// The layout's key for a character; nothing when the layout has none.
using CharToKey = std::function<std::optional<KeyCode>(char)>;

enum class ActionKind { KeyDown, KeyUp, ToggleNumLock, ShowMessage, Stop };

struct KeyAction {
  ActionKind kind;
  std::uint8_t key = 0;   // KeyDown, KeyUp
  bool extended = false;  // KeyDown, KeyUp: the key is sent with the extended-key flag
  std::string_view message;  // ShowMessage

  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

using ActionSink = std::function<void(const KeyAction&)>;

// The code of a named key ("TAB", "F13"; upper case); nothing for an unknown name.
std::optional<std::uint8_t> NamedKey(std::string_view name);

// PGUP to DOWN, INS and DEL.
bool IsExtendedKey(std::uint8_t key);

// Reads the whole key string and hands every action to `sink` in order. Modifiers
// still held at the end (or at a stop) are released even inside an open parenthesis.
void ReadKeyString(std::string_view keys, const CharToKey& translate, const ActionSink& sink);

}  // namespace kvl::keys
