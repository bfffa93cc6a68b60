#pragma once
// The text rules of the program and process macros: splitting a command line into
// program and parameters, window modes, and the process list as text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvl::programs {

struct ProgramLine {
  std::string program;
  std::string parameters;
};

// Split at the first blank outside double quotes (each quote toggles), both parts
// trimmed; quotes stay as written. Without such a blank, or with nothing after it,
// the whole (trimmed) line is the program.
ProgramLine SplitProgramLine(std::string_view line);

// "hide" 0, "min" 2, "max" 3, anything else 1 (show normally); trimmed, any case.
int ShowModeOf(std::string_view mode);

// Whether the command starts with the interpreter's name, in any case.
bool StartsWithInterpreter(std::string_view command, std::string_view interpreter);

struct ProcessEntry {
  std::string name;
  std::uint32_t id = 0;
};

// The names in order, each followed by the separator but the last.
std::string ProcessNames(const std::vector<ProcessEntry>& entries, std::string_view separator);

// Whether a process has the name (any case), or has it with ".exe" added when the
// process's name holds ".exe" and the name does not.
bool HasProcessNamed(const std::vector<ProcessEntry>& entries, std::string_view name);

}  // namespace kvl::programs
