#pragma once
// A file handle that closes itself, for the Win32 parts of the plug-in.
#include <windows.h>

#include <memory>
#include <string>

#include "core/Limits.h"

namespace kvl {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// Empty when the file cannot be opened, and for a path the platform cannot take.
inline FileHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  if (!FitsPathBuffer(path)) return FileHandle();
  const HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Whether the handle is a file on a disk: devices (COM1 is a serial line, CON the
// console), pipes and folders can block a read or write for ever, or are no file.
inline bool IsRegularFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// As OpenFile, but empty for anything that is not a regular file.
inline FileHandle OpenRegularFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                  DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  FileHandle file = OpenFile(path, access, share, disposition, flags);
  if (file && !IsRegularFile(file.get())) file.reset();
  return file;
}

}  // namespace kvl
