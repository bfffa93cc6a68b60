#pragma once
// The text rules of the program and process macros: splitting a command line into
// program and parameters, window modes, and the process list as text.
#include <cstdint>
#include <optional>
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

// Runs the command through the console interpreter with its output sent to a capture
// file, which is read when the command ends or after `limitMs`, and deleted. Answers
// the output in the console's code page; empty when the command is refused (it names
// the interpreter, holds NUL or does not fit the interpreter's line) or cannot start;
// nullopt without a temporary folder for the capture. Windows only (ProgramLines_win32.cpp).
std::optional<std::string> RunConsoleCommand(const std::string& command, std::uint32_t limitMs);

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
