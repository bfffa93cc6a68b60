#pragma once
// A file handle that closes itself, for the Win32 parts of the plug-in.
#include <windows.h>

#include <memory>
#include <string>

namespace kvl {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// Empty when the file cannot be opened.
inline FileHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  const HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace kvl
