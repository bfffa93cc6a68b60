#include "core/ControlMacros.h"

#include <cstdint>

#include "core/ArgList.h"
#include "core/Errors.h"
#include "core/HostText.h"
#include "core/Limits.h"
#include "core/Numbers.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/WorkBudget.h"
#include "core/platform.h"

namespace kvl {

namespace macros {

std::string PlugPath(Call&) { return Plugin().folder; }

std::string PlugVer(Call&) { return Plugin().fileVersion; }

std::string Test(Call&) { return "*** TEST ***"; }

std::string ArgCount(Call& call) {
  return FormatInteger(CountArgs(call.text(1), call.textOr(2, " "), call.textOr(3, "\"")));
}

std::string ArgItem(Call& call) {
  return ArgAt(call.text(1), call.integer(2), call.textOr(3, " "), call.textOr(4, "\""));
}

std::string Const(Call& call) {
  const std::string value = IniReadString(Plugin().folder + "KVL.ini", "Const", call.text(1), call.textOr(3, ""));
  return call.flag(2) ? UnescapeText(value) : value;
}

std::string FirstNE(Call& call) {
  for (int n = 2; n <= call.count(); ++n) {
    std::string candidate = call.text(n);
    if (!candidate.empty()) return candidate;
  }
  return call.text(1);
}

// Sets the host variable to each value from first to last and expands the template after it.
// More than kMaxLoopPasses passes would keep the mail client busy for minutes: a value error.
// Each pass counts against the work budget of the outermost call.
std::string For(Call& call) {
  const std::string name = call.text(1);
  if (!IsHostVariableName(name)) return std::string(ErrParamValue);
  const std::int64_t first = call.integer(2);
  const std::int64_t last = call.integer(3);
  if (last - first + 1 > kMaxLoopPasses) return std::string(ErrParamValue);
  const std::string body = call.text(4);
  std::string result;
  for (std::int64_t i = first; i <= last; ++i) {
    ChargeLoopPass();
    result += call.process("%_" + name + "=" + HostQuoted(FormatInteger(i)) + body);
    EnsureResultFits(result.size());
  }
  return result;
}

// Expands the template until the host variable holds the stop value; a template that
// never gets there stops after kMaxLoopPasses passes (or when the work budget of the
// outermost call is spent) with the no-success error.
std::string Until(Call& call) {
  const std::string name = call.text(1);
  if (!IsHostVariableName(name)) return std::string(ErrParamValue);
  const std::string stop = call.text(2);
  const std::string body = call.text(3);
  std::string result;
  for (int pass = 0; pass < kMaxLoopPasses; ++pass) {
    ChargeLoopPass();
    result += call.process(body);
    EnsureResultFits(result.size());
    if (call.process("%_" + name) == stop) return result;
  }
  return std::string(ErrNoSuccess);
}

std::string ClearLines(Call& call) {
  return ClearEmptyLines(call.text(1), call.integerOr(2, 3), call.integerOr(3, 2), call.flag(4));
}

// Without arguments 4 and 5 the markers may stand anywhere in the line.
std::string LineBetw(Call& call) {
  return LineBetween(call.text(1), call.text(2), call.text(3), call.integerOr(4, 0), call.integerOr(5, 0),
                     AnsiLowered);
}

}  // namespace macros
}  // namespace kvl
