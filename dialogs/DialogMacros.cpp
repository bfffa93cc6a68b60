#include "dialogs/DialogMacros.h"

#include <windows.h>

#include <array>

#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "dialogs/MessageBoxRules.h"
#include "dialogs/TextWindows.h"
#include "dialogs/WindowHandles.h"

namespace kvl::macros {

namespace {

// The own button captions of the message box being shown, applied by a hook when the
// box activates. One box with own captions at a time: boxes are modal on this thread.
struct CaptionState {
  std::array<std::string, 3> captions;
  int count = 0;
  HHOOK hook = nullptr;
};
CaptionState& Captions() {
  static CaptionState state;
  return state;
}

void RemoveCaptionHook() {
  CaptionState& state = Captions();
  if (state.hook != nullptr) UnhookWindowsHookEx(state.hook);
  state.hook = nullptr;
}

// Sets the captions on the box's buttons when it activates, then removes itself.
LRESULT CALLBACK CaptionHook(int code, WPARAM wParam, LPARAM lParam) {
  CaptionState& state = Captions();
  if (code != HCBT_ACTIVATE) return CallNextHookEx(state.hook, code, wParam, lParam);
  const HWND box = reinterpret_cast<HWND>(wParam);
  if (state.count == 1) {
    SetDlgItemTextA(box, IDOK, state.captions[0].c_str());
  } else if (state.count >= 2) {
    SetDlgItemTextA(box, IDYES, state.captions[0].c_str());
    SetDlgItemTextA(box, IDNO, state.captions[1].c_str());
    if (state.count == 3) SetDlgItemTextA(box, IDCANCEL, state.captions[2].c_str());
  }
  RemoveCaptionHook();
  return 0;
}

// Removes the hook when the box is done, also when it never activated (it failed to show).
struct HookScope {
  HookScope(const std::array<std::string, 3>& captions, int count) {
    CaptionState& state = Captions();
    RemoveCaptionHook();
    state.captions = captions;
    state.count = count;
    state.hook = SetWindowsHookExA(WH_CBT, CaptionHook, dialogs::PluginInstance(), GetCurrentThreadId());
  }
  ~HookScope() {
    RemoveCaptionHook();
    Captions() = CaptionState{};
  }
  HookScope(const HookScope&) = delete;
  HookScope& operator=(const HookScope&) = delete;
};

}  // namespace

std::string MsgBox(Call& call) {
  const std::string text = UnescapeText(call.text(1));
  const std::string caption = call.textOr(2, Plugin().productName);
  const bool okGivesLetter = call.flag(4);
  const int captionCount = std::max(0, call.count() - 4);
  std::array<std::string, 3> captions;
  for (int i = 0; i < captionCount; ++i) captions[static_cast<std::size_t>(i)] = call.text(5 + i);
  const UINT style = dialogs::MessageBoxStyle(call.textOr(3, "o"), captionCount);
  int button = 0;
  {
    const HookScope hook(captions, captionCount);
    button = MessageBoxA(GetDesktopWindow(), text.c_str(), caption.c_str(), style);
  }
  return std::string(dialogs::MessageBoxResult(button, okGivesLetter));
}

// An empty caption counts as none given.
std::string TextDlg(Call& call) {
  dialogs::TextWindowRequest request{call.textOrWhenEmpty(1, "KVL - Korvel"),
                                     UnescapeText(call.text(2)),
                                     dialogs::WithCrLfBreaks(UnescapeText(call.text(3))),
                                     dialogs::EffectiveMaxLength(call.integerOr(4, 0)),
                                     call.textOrWhenEmpty(5, "Ok"),
                                     call.textOrWhenEmpty(6, "Cancel")};
  return dialogs::ShowTextWindow(request);
}

std::string MultiDlg(Call& call) {
  dialogs::ChoiceWindowRequest request{call.textOrWhenEmpty(1, "KVL - Korvel"),
                                       UnescapeText(call.text(2)),
                                       call.flag(3),
                                       dialogs::ParseChoiceItems(call.text(4)),
                                       call.integer(5),
                                       call.textOrWhenEmpty(6, "Ok"),
                                       call.textOrWhenEmpty(7, "Cancel")};
  return dialogs::ShowChoiceWindow(request);
}

}  // namespace kvl::macros
