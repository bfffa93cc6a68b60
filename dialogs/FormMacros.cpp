#include "dialogs/FormMacros.h"

#include <optional>

#include "core/Errors.h"
#include "core/Plugin.h"
#include "dialogs/FormLogic.h"
#include "dialogs/FormWindow.h"

namespace kvl::macros {

namespace {
std::optional<bool> FlagIfGiven(Call& call, int n) {
  if (n > call.count()) return std::nullopt;
  return call.flag(n);
}
}  // namespace

// A call while a form is open (from within it) is refused and leaves the settings alone.
// An absent size or flag keeps the previous setting.
std::string FrmDlg(Call& call) {
  if (dialogs::FormDialogIsOpen()) return std::string(ErrNoSuccess);
  const dialogs::FormArguments arguments{call.text(1),          call.textOr(2, ""),    call.integerIfGiven(3),
                                         call.integerIfGiven(4), FlagIfGiven(call, 5), FlagIfGiven(call, 6)};
  TFrmDlgParams& params = FrmDlgParams();
  dialogs::ApplyFormArguments(params, arguments);
  switch (dialogs::ShowFormDialog(params, FrmDlgResult())) {
    case dialogs::FormOutcome::Accepted:
      return "1";
    case dialogs::FormOutcome::NotAccepted:
      return "0";
    case dialogs::FormOutcome::DocumentNotWritten:
    case dialogs::FormOutcome::AlreadyOpen:
      break;
  }
  return std::string(ErrNoSuccess);
}

// Pairs of name and value; an odd count changes nothing, none empties the list.
std::string FrmDlgDef(Call& call) {
  if (call.count() % 2 != 0) return std::string(ErrParamCount);
  FormDefinitionList& definitions = FormDefinitions();
  if (call.count() == 0) definitions.entries.clear();
  for (int n = 1; n < call.count(); n += 2) definitions.set(call.text(n), call.text(n + 1));
  return {};
}

std::string FrmDlgRet(Call& call) {
  const std::string name = call.textOr(1, "");
  const TFrmDlgResult& result = FrmDlgResult();
  if (name.empty()) return result.postedText;
  const std::string* value = result.values.find(name);
  return value != nullptr ? *value : call.textOr(2, "");
}

}  // namespace kvl::macros
