#pragma once
// The file-system routines the file macros share, on Win32 directly.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "datetime/DateTimeValue.h"

namespace kvl::files {

// Creates every level of a "C:\a\b" path, stopping at the first empty item (so a
// doubled or trailing backslash ends the walk); whether the whole path is a folder.
bool CreateFolderPath(const std::string& path);

struct FileTimes {
  std::optional<datetime::DateTimeValue> creation;
  std::optional<datetime::DateTimeValue> lastAccess;
  std::optional<datetime::DateTimeValue> lastWrite;
};
// The three times in local time by the bias in force now; nothing when the file
// cannot be opened.
std::optional<FileTimes> ReadFileTimes(const std::string& file);

// A file that cannot be opened for exclusive reading and writing (or does not exist).
bool FileIsInUse(const std::string& file);

// "DOMAIN\name" of the file's owner, its SID text when the name is unknown, or empty.
std::string FileOwnerName(const std::string& file);

// A new empty file in the temporary folder: prefix, a unique number, the extension.
std::string MakeTempFile(const std::string& prefix, const std::string& extension, bool longForm);

// The file's size in bytes; nothing when it cannot be opened.
std::optional<std::uint64_t> FileSizeOf(const std::string& file);

// Calls visit(line) for each line of the file (cut at LF; a line's text ends at its
// first CR or LF; a last line without LF counts) until visit answers false. Reads in
// blocks, so memory stays small whatever the file. False when the file cannot be
// opened or a read fails.
bool ForEachFileLine(const std::string& file, const std::function<bool(std::string_view)>& visit);

// Appends the line and CR LF, creating the file when needed.
bool AppendLine(const std::string& file, std::string_view line);

enum class ShellOperation { Copy, Move, Delete };
// The shell's copy, move or delete (to the recycle bin where it can): sources
// separated by "|"; no questions, no progress. True when the shell reports success.
bool RunShellOperation(ShellOperation operation, const std::string& sources, const std::string& destination);

// The shell's type name of the file ("Text Document"); empty when unknown.
std::string ShellTypeName(const std::string& file);
std::string ShortPath(const std::string& path);

// Attribute letters R A H S D of the file; "*" when it has none or cannot be read.
std::string AttributeLetters(const std::string& path);
bool SetAttributeLetters(const std::string& path, std::string_view letters);

std::string OemTextToAnsi(std::string text);

}  // namespace kvl::files
