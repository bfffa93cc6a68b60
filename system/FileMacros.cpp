#include "system/FileMacros.h"

#include "core/Errors.h"
#include "core/Limits.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "datetime/DateFormat.h"
#include "system/FileSystem.h"
#include "system/PathText.h"

namespace kvl::macros {

using namespace kvl::files;

namespace {
std::string Flag(bool value) { return value ? "1" : "0"; }
}  // namespace

std::string AttrGet(Call& call) { return AttributeLetters(call.text(1)); }

std::string AttrSet(Call& call) { return Flag(SetAttributeLetters(call.text(1), call.textOr(2, ""))); }

std::string DirCreate(Call& call) { return Flag(CreateFolderPath(call.text(1))); }

std::string DirExist(Call& call) { return Flag(FolderExists(call.text(1))); }

std::string FileExist(Call& call) { return Flag(FileExists(call.text(1))); }

// A file that cannot be opened or written answers "0".
std::string FileAddLn(Call& call) { return Flag(AppendLine(call.text(1), call.text(2))); }

std::string FileCopy(Call& call) { return Flag(RunShellOperation(ShellOperation::Copy, call.text(1), call.text(2))); }

std::string FileMove(Call& call) { return Flag(RunShellOperation(ShellOperation::Move, call.text(1), call.text(2))); }

std::string FileDel(Call& call) { return Flag(RunShellOperation(ShellOperation::Delete, call.text(1), "")); }

std::string FileInfo(Call& call) { return ReadVersionString(call.text(1), call.text(2)); }

std::string FileInUse(Call& call) { return Flag(FileIsInUse(call.text(1))); }

// Lines from `first` (1 and below: the first), `count` of them (0: to the end); a file
// that does not exist gives nothing, one that fails while being read the no-success text.
std::string FileLines(Call& call) {
  const std::string file = call.text(1);
  if (!FileExists(file)) return {};
  const std::int64_t first = std::max<std::int64_t>(call.integerOr(2, 1), 1);
  const std::int64_t count = std::max<std::int64_t>(call.integerOr(3, 1), 0);
  std::string result;
  std::int64_t number = 0;
  std::int64_t taken = 0;
  bool tooLarge = false;
  const bool read = ForEachFileLine(file, [&](std::string_view line) {
    if (++number < first) return true;
    if (result.size() + line.size() + 2 > kResultCap) {
      tooLarge = true;
      return false;
    }
    result.append(line).append("\r\n");
    return count == 0 || ++taken < count;
  });
  if (tooLarge) return std::string(ErrParamValue);
  if (!read) return std::string(ErrNoSuccess);
  return call.flag(4) ? OemTextToAnsi(std::move(result)) : result;
}

std::string FileLnCnt(Call& call) {
  const std::string file = call.text(1);
  if (!FileExists(file)) return {};
  std::int64_t lines = 0;
  if (!ForEachFileLine(file, [&lines](std::string_view) { return ++lines, true; })) return std::string(ErrNoSuccess);
  return std::to_string(lines);
}

std::string FileLong(Call& call) { return ExpandToLongPath(call.text(1)); }

std::string FileName(Call& call) {
  const std::string path = call.text(1);
  const std::string selector = AsciiLowered(call.textOr(2, "N"));
  if (selector == "t") return ShellTypeName(path);
  return PathPart(path, selector.size() == 1 ? AsciiUpper(selector[0]) : 'N');
}

std::string FileOwner(Call& call) { return FileOwnerName(call.text(1)); }

std::string FileShort(Call& call) { return ShortPath(call.text(1)); }

// Sizes of any width (64-bit); a file that cannot be opened gives the no-success text.
std::string FileSize(Call& call) {
  const std::optional<std::uint64_t> size = FileSizeOf(call.text(1));
  if (!size) return std::string(ErrNoSuccess);
  const std::string unit = AsciiLowered(call.textOr(2, ""));
  const double divisor = unit == "k" ? 1024.0 : unit == "m" ? 1048576.0 : unit == "g" ? 1073741824.0 : 1.0;
  const std::string separator = ReadLocaleTexts(kUserDefaultLocale).decimalSeparator;
  return SizeInUnits(static_cast<double>(*size), divisor, separator.empty() ? '.' : separator[0]);
}

// An empty format renders creation and write times as code "c" and the access time
// as the short date alone.
std::string FileTime(Call& call) {
  const std::string which = AsciiLowered(Trimmed(call.text(2)));
  const std::optional<FileTimes> times = ReadFileTimes(call.text(1));
  if (!times) return {};
  const std::optional<datetime::DateTimeValue>& time =
      which == "c" ? times->creation : which == "a" ? times->lastAccess : times->lastWrite;
  if ((which != "c" && which != "a" && which != "m") || !time) return {};
  std::string format = call.textOr(3, "");
  const bool bare = format.empty() || (format.size() == 3 && format[2] == '$');
  if (bare && which == "a") format += "ddddd";
  return datetime::FormatDateTimeText(*time, format, datetime::PostPasses::None);
}

std::string TempDir(Call&) { return GetTempFolder(true); }

// No new name to be had (the folder full or not writable) is no success, never a path
// to a file that someone else owns.
std::string TempFile(Call&) {
  const std::string path = MakeTempFile("KVL", ".tmp", true);
  return path.empty() ? std::string(ErrNoSuccess) : path;
}

}  // namespace kvl::macros
