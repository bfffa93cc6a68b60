// KVL_DlgInput: the one-line input box from the dialog template DIALOG_0.
#include <windows.h>

#include <array>

#include "core/TextUtil.h"
#include "dialogs/DialogMacros.h"
#include "dialogs/InputBoxIds.h"
#include "dialogs/WindowHandles.h"

namespace kvl::macros {

namespace {

constexpr int kLongestInput = 1024;

struct InputBoxTexts {
  std::string prompt;
  std::string text;  // the default on the way in, the answer on the way out
};

INT_PTR CALLBACK InputBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* texts = reinterpret_cast<InputBoxTexts*>(GetWindowLongPtrA(box, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      texts = reinterpret_cast<InputBoxTexts*>(lParam);
      SetWindowLongPtrA(box, DWLP_USER, lParam);
      SetDlgItemTextA(box, KVL_INPUT_PROMPT, texts->prompt.c_str());
      SetDlgItemTextA(box, KVL_INPUT_EDIT, texts->text.c_str());
      SendDlgItemMessageA(box, KVL_INPUT_EDIT, EM_LIMITTEXT, kLongestInput, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == KVL_INPUT_OK) {  // also Escape and Enter
        std::array<char, kLongestInput + 2> answer{};
        const UINT length = GetDlgItemTextA(box, KVL_INPUT_EDIT, answer.data(), kLongestInput + 1);
        texts->text.assign(answer.data(), length);
        EndDialog(box, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == KVL_INPUT_CANCEL) {
        texts->text.clear();
        EndDialog(box, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      texts->text.clear();
      EndDialog(box, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// The edit field's text for "Ok", Enter and Escape; empty for "Cancel", for closing
// the window otherwise, and when the box cannot be shown.
std::string DlgInput(Call& call) {
  InputBoxTexts texts{UnescapeText(call.textOr(1, "Enter a string:")), call.textOr(2, "")};
  const INT_PTR ended = DialogBoxParamA(dialogs::PluginInstance(), "DIALOG_0", nullptr, InputBoxProcedure,
                                        reinterpret_cast<LPARAM>(&texts));
  return ended == IDOK ? texts.text : std::string();
}

}  // namespace kvl::macros
