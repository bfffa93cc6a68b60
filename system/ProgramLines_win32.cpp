// The console command of KVL_RunCmd: started through the interpreter, its output
// captured in a file of the plug-in's temporary folder.
#include <windows.h>
#include <shellapi.h>

#include "core/Limits.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/Win32File.h"
#include "core/WorkBudget.h"
#include "core/platform.h"
#include "system/ProgramLines.h"

namespace kvl::programs {

namespace {

// The console interpreter reads at most this many characters of its command line
// (8 191 on Windows); Wine's cmd runs nothing when its line is longer.
constexpr std::size_t kConsoleLineBuffer = 8192;

// "cmd" on the NT family, "command" on the others.
std::string CommandInterpreter() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  const bool nt = !GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return nt ? "cmd" : "command";
}

// The capture file for one command: "KVL_Cmd.tmp", or a numbered one while an earlier
// command that outlived its limit still has that open (or it waits for deletion). Made
// empty here, without sharing, so no other writer holds it.
std::string FreeCaptureFile(const std::string& folder) {
  for (int n = 0; n < 100; ++n) {
    const std::string path = folder + "KVL_Cmd" + (n == 0 ? std::string() : std::to_string(n)) + ".tmp";
    if (OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS)) return path;
  }
  return {};
}

std::string ReadCapture(const std::string& path) {
  std::string text;
  const bool read = ReadFileInBlocks(path, 64 * 1024, [&text](std::string_view block) {
    text.append(block);
    return text.size() <= kResultCap;  // past the cap the result gives the value error anyway
  });
  return read ? text : std::string();
}

}  // namespace

std::optional<std::string> RunConsoleCommand(const std::string& command, std::uint32_t limitMs) {
  const std::string folder = PluginTempFolder(false);
  if (folder.empty()) return std::nullopt;
  const std::string interpreter = CommandInterpreter();
  // Blanks and line breaks before it still start the interpreter.
  if (StartsWithInterpreter(Trimmed(command), interpreter)) return std::string();
  // /S keeps the interpreter from taking the outer quotes for the command's own, so a
  // quoted program and a capture path with blanks both survive. The capture files'
  // names differ in one digit at most (KVL_Cmd99.tmp), so the longest one is measured.
  const auto parametersFor = [&command](const std::string& capture) {
    return "/S /C \"" + command + " > \"" + capture + "\"\"";
  };
  if (interpreter.size() + 1 + parametersFor(folder + "KVL_Cmd99.tmp").size() >= kConsoleLineBuffer ||
      command.find('\0') != std::string::npos)
    return std::string();
  ChargeProcessStart();
  const std::string capture = FreeCaptureFile(folder);
  if (capture.empty()) return std::string();
  const std::string parameters = parametersFor(capture);
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof(execute);
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  execute.lpVerb = "open";
  execute.lpFile = interpreter.c_str();
  execute.lpParameters = parameters.c_str();
  execute.nShow = SW_HIDE;
  if (!ShellExecuteExA(&execute)) {
    DeleteFileIfExists(capture);
    return std::string();
  }
  bool ended = true;
  if (execute.hProcess != nullptr) {
    const UniqueHandle process(execute.hProcess);
    ended = WaitForSingleObject(process.get(), static_cast<DWORD>(limitMs)) == WAIT_OBJECT_0;
  }
  std::string output = ReadCapture(capture);
  DeleteFileIfExists(capture);
  // A command still running may (re)create its capture file after this: it goes when
  // the plug-in is unloaded.
  if (!ended) AddFileToDelete(capture);
  return output;
}

}  // namespace kvl::programs
