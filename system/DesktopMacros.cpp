#include "system/DesktopMacros.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "core/WorkBudget.h"
#include "system/KeyStrings.h"
#include "system/KeyboardLayouts.h"
#include "system/SystemInfo.h"
#include "core/Win32Owners.h"

namespace kvl::macros {

namespace {

std::optional<keys::KeyCode> LayoutKeyFor(char c) {
  const SHORT scan = VkKeyScanA(c);
  if (LOBYTE(scan) == 0xFF) return std::nullopt;
  return keys::KeyCode{LOBYTE(scan), static_cast<std::uint8_t>(HIBYTE(scan) & 7)};
}

// Lets the calling thread's own windows see each key before the next one comes.
void DispatchPendingKeys() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ToggleNumLock() {
  const bool on = GetKeyState(VK_NUMLOCK) & 1;
  std::array<BYTE, 256> state{};
  if (!GetKeyboardState(state.data())) return;
  state[VK_NUMLOCK] = on ? (state[VK_NUMLOCK] & ~1) : (state[VK_NUMLOCK] | 1);
  SetKeyboardState(state.data());
}

void SendKeyEvent(const keys::KeyAction& action, bool wait) {
  switch (action.kind) {
    case keys::ActionKind::KeyDown:
    case keys::ActionKind::KeyUp: {
      DWORD flags = action.kind == keys::ActionKind::KeyUp ? KEYEVENTF_KEYUP : 0;
      if (action.extended) flags |= KEYEVENTF_EXTENDEDKEY;
      keybd_event(action.key, static_cast<BYTE>(MapVirtualKeyA(action.key, 0)), flags, 0);
      if (wait) DispatchPendingKeys();
      break;
    }
    case keys::ActionKind::ToggleNumLock:
      ToggleNumLock();
      break;
    case keys::ActionKind::ShowMessage:
      MessageBoxA(nullptr, std::string(action.message).c_str(), "SendKeys", MB_OK);
      break;
    case keys::ActionKind::Stop:
      break;
  }
}


// Another program may hold the clipboard for a moment: a few short retries.
bool OpenClipboardBriefly() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(GetDesktopWindow())) return true;
    Sleep(20);
  }
  return false;
}

// A movable shared block holding the text and its NUL.
UniqueGlobalMem TextBlock(const std::string& text) {
  UniqueGlobalMem block(GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, text.size() + 1));
  if (!block) return block;
  void* bytes = GlobalLock(block.get());
  if (!bytes) return nullptr;
  std::memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block.get());
  return block;
}

}  // namespace

// Only a wait flag of exactly 1 waits for the thread's own windows. Every key press of
// the whole string (modifiers included) is counted against the call's work budget
// before any is sent, so a string that would pass it types nothing at all.
std::string SendKeys(Call& call) {
  const bool wait = call.flag(2, true);
  const std::string keyString = call.text(1);
  // Charged press by press, so counting stops where the budget does, however large
  // the repeat counts of a long string.
  keys::ReadKeyString(keyString, LayoutKeyFor, [](const keys::KeyAction& action) {
    if (action.kind == keys::ActionKind::KeyDown) ChargeKeystrokes(1);
  });
  keys::ReadKeyString(keyString, LayoutKeyFor, [wait](const keys::KeyAction& action) { SendKeyEvent(action, wait); });
  return {};
}

// Empty when the text is on the clipboard; the clipboard held by another program or
// no memory for the text answers "not successful" rather than pretending.
std::string SetClipB(Call& call) {
  UniqueGlobalMem block = TextBlock(call.text(1));
  if (!block) return std::string(ErrNoSuccess);
  const OpenedClipboard open(OpenClipboardBriefly());
  if (!open) return std::string(ErrNoSuccess);
  if (!EmptyClipboard() || !SetClipboardData(CF_TEXT, block.get())) return std::string(ErrNoSuccess);
  block.release();  // the clipboard owns it now
  return {};
}

std::string KbdLayout(Call& call) {
  const std::string argument = call.textOr(1, "");
  if (Trimmed(argument).empty()) {
    std::array<char, KL_NAMELENGTH> name{};
    if (!GetKeyboardLayoutNameA(name.data())) return {};
    return std::string(Trimmed(name.data()));
  }
  const std::string layout = EightDigitLayoutName(argument);
  // Only hex digits can name a layout; some platforms load anything without a word.
  const bool hex = std::all_of(layout.begin(), layout.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  if (!hex || !LoadKeyboardLayoutA(layout.c_str(), KLF_ACTIVATE | KLF_SUBSTITUTE_OK)) return std::string(ErrParamValue);
  return {};
}

// Returns after the tone; empty.
std::string Beep(Call& call) {
  const Tone tone = ToneFor(call.integer(1), call.integer(2));
  ::Beep(tone.frequency, tone.duration);
  return {};
}

}  // namespace kvl::macros
