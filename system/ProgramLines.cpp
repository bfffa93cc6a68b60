#include "system/ProgramLines.h"

#include <algorithm>

#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl::programs {

ProgramLine SplitProgramLine(std::string_view line) {
  // Leading blanks would otherwise end an empty program at once.
  const std::string_view text = Trimmed(line);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] != ' ' || quoted) continue;
    ProgramLine split{std::string(Trimmed(text.substr(0, i))), std::string(Trimmed(text.substr(i + 1)))};
    if (split.parameters.empty()) break;
    return split;
  }
  return {std::string(text), {}};
}

int ShowModeOf(std::string_view mode) {
  const std::string lowered = AsciiLowered(Trimmed(mode));
  if (lowered == "hide") return 0;
  if (lowered == "min") return 2;
  if (lowered == "max") return 3;
  return 1;
}

bool StartsWithInterpreter(std::string_view command, std::string_view interpreter) {
  return command.size() >= interpreter.size() && EqualsIgnoringAsciiCase(command.substr(0, interpreter.size()), interpreter);
}

std::string ProcessNames(const std::vector<ProcessEntry>& entries, std::string_view separator) {
  std::string names;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) names += separator;
    names += entries[i].name;
  }
  return names;
}

bool HasProcessNamed(const std::vector<ProcessEntry>& entries, std::string_view name) {
  const std::string wanted = AnsiLowered(name);
  const bool wantedHasExe = wanted.find(".exe") != std::string::npos;
  return std::any_of(entries.begin(), entries.end(), [&](const ProcessEntry& entry) {
    const std::string entryName = AnsiLowered(entry.name);
    if (entryName == wanted) return true;
    return !wantedHasExe && entryName.find(".exe") != std::string::npos && entryName == wanted + ".exe";
  });
}

}  // namespace kvl::programs
