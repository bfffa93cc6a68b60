#include "dialogs/ChoiceMacros.h"

#include <vector>

#include "core/Errors.h"
#include "core/Limits.h"
#include "dialogs/TextChoices.h"

namespace kvl::macros {

std::string Select(Call& call) {
  std::vector<std::string> list;
  for (int n = 3; n <= call.count(); ++n) list.push_back(call.text(n));
  return dialogs::SelectFromPairs(call.text(1), call.text(2), list);
}

// A maximum of 0 has no scale, and a bar beyond the result cap is never built: both
// answer the parameter-value error.
std::string Progress(Call& call) {
  const dialogs::ProgressBar bar =
      dialogs::BuildProgressBar(call.text(1), call.text(2), call.integer(3), call.integer(4), call.integer(5), kResultCap);
  return bar.ok ? bar.text : std::string(ErrParamValue);
}

}  // namespace kvl::macros
