#pragma once
// Files kvlhost reads (templates, address books, messages), opened by their literal
// path: "nul.eml" or "COM1.txt" in a folder is a file there, not the device the
// system would open for the bare name, and anything that is not a file on a disk
// (a device, a pipe) is refused instead of read, since a device may block for ever.
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kvlhost {

// what() is why, beyond not being readable: empty when the file is missing or unreadable.
struct FileReadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Messages up to this size are read; a message file may grow by its line ends.
inline constexpr std::size_t kMaxMessageFileBytes = std::size_t{1} << 30;

// The "\\?\" form of `path` (made absolute against the current folder, "." and ".."
// resolved, '/' read as '\'), in which the system takes every name as written.
std::wstring LiteralPath(std::wstring_view path);

// The whole file; throws FileReadError.
std::string ReadRegularFile(const std::wstring& path);

struct FileBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};

// A message file with every line end made CR LF on the way in, in one buffer of the
// final size (the file is read twice rather than held twice), up to kMaxMessageFileBytes.
FileBytes ReadMessageFile(const std::wstring& path);

}  // namespace kvlhost
