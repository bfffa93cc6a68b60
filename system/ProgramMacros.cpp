#include "system/ProgramMacros.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "core/Errors.h"
#include "core/Limits.h"
#include "core/WorkBudget.h"
#include "core/TextUtil.h"
#include "core/Win32File.h"
#include "core/platform.h"
#include "system/FileSystem.h"
#include "system/ProgramLines.h"

namespace kvl::macros {

namespace {

constexpr std::int32_t kDefaultCommandLimitMs = 2000;
// The longest command line a new process can be given (CreateProcess's limit, its NUL
// included); the shell would cut a longer one without a word.
constexpr std::size_t kCommandLineBuffer = 32767;

// The program's name as the shell looks it up: a quoted one without its quotes.
std::string_view WithoutEnclosingQuotes(std::string_view program) {
  if (program.size() >= 2 && program.front() == '"' && program.back() == '"') program = program.substr(1, program.size() - 2);
  return program;
}

std::vector<programs::ProcessEntry> ProcessSnapshot() {
  std::vector<programs::ProcessEntry> entries;
  const HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return entries;
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using Walk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
  const auto snapshot = reinterpret_cast<Snapshot>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
  const auto first = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32First")));
  const auto next = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32Next")));
  if (!snapshot || !first || !next) return entries;
  const HANDLE taken = snapshot(TH32CS_SNAPPROCESS, 0);
  if (taken == INVALID_HANDLE_VALUE) return entries;
  const UniqueHandle owned(taken);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = first(taken, &entry); more; more = next(taken, &entry)) {
    const std::string name(entry.szExeFile, strnlen(entry.szExeFile, sizeof(entry.szExeFile)));
    entries.push_back({entry.th32ProcessID == 0 ? "[IDLE]" : name, entry.th32ProcessID});
  }
  return entries;
}

}  // namespace

// A program name longer than a path buffer overruns a fixed buffer of the shell under
// Wine (about 1 000 characters crash it): such a program cannot be started.
std::string Run(Call& call) {
  const programs::ProgramLine line = programs::SplitProgramLine(call.text(1));
  const int show = programs::ShowModeOf(call.textOr(2, ""));
  // The shell runs `"PROGRAM" PARAMETERS`: quotes and a blank beside the two parts.
  if (!FitsPathBuffer(WithoutEnclosingQuotes(line.program)) || !FitsPlatformText(line.parameters) ||
      line.program.size() + line.parameters.size() + 3 >= kCommandLineBuffer)
    return std::string(ErrNoSuccess);
  ChargeProcessStart();
  const HINSTANCE started = ShellExecuteA(nullptr, "open", line.program.c_str(),
                                          line.parameters.empty() ? nullptr : line.parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(started) > 32 ? std::string() : std::string(ErrNoSuccess);
}

// The command's output, converted from the console's code page unless argument 2 is
// given and not 0.
std::string RunCmd(Call& call) {
  const std::string command = call.text(1);
  const bool keepOem = call.integerOr(2, 0) != 0;
  // A limit below 0 waits not at all (as 0 does), rather than for ever.
  const std::int32_t limit = std::max<std::int32_t>(0, call.integerOr(3, kDefaultCommandLimitMs));
  std::optional<std::string> output = programs::RunConsoleCommand(command, static_cast<std::uint32_t>(limit));
  if (!output) return std::string(ErrGeneric);
  return keepOem ? *output : files::OemTextToAnsi(std::move(*output));
}

std::string Process(Call& call) {
  const std::string mode = AsciiUppered(call.text(1));
  const std::vector<programs::ProcessEntry> entries = ProcessSnapshot();
  if (entries.size() < 2) return std::string(ErrNoSuccess);
  if (mode == "L") return programs::ProcessNames(entries, call.textOr(2, "\r\n"));
  if (mode == "E") {
    if (call.count() < 2) return std::string(ErrParamCount);
    return programs::HasProcessNamed(entries, call.text(2)) ? "1" : "0";
  }
  return std::string(ErrParamValue);
}

}  // namespace kvl::macros
