#pragma once
// The plug-in's own modal windows for a text and for a choice from a check-box list
// (KVL_TextDlg and KVL_MultiDlg, in DialogMacros.cpp). The windows run on the calling
// thread and answer when they close.
#include <string>
#include <vector>

#include "dialogs/WindowLayout.h"

namespace kvl::dialogs {

// Control identifiers: the prompt, the edit field or list, the counter; the buttons are
// IDOK (1) and IDCANCEL (2).
inline constexpr int kPromptControlId = 100;
inline constexpr int kBodyControlId = 101;
inline constexpr int kCounterControlId = 102;

// The window shows its texts as given: the macros choose the default caption and buttons.
struct TextWindowRequest {
  std::string caption;
  std::string prompt;
  std::string text;  // initial text, line breaks as CR LF
  int maximum = kLongestDialogText;
  std::string okCaption;
  std::string cancelCaption;
};

struct ChoiceWindowRequest {
  std::string caption;
  std::string prompt;
  bool singleChoice = false;
  std::vector<ChoiceItem> items;
  int mode = 0;
  std::string okCaption;
  std::string cancelCaption;
};

// The edited text when OK confirms it; empty when cancelled, closed or not shown.
std::string ShowTextWindow(const TextWindowRequest& request);
// The answer of ChoiceResult when OK confirms the ticks; empty otherwise.
std::string ShowChoiceWindow(const ChoiceWindowRequest& request);

}  // namespace kvl::dialogs
