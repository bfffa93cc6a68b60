#pragma once
// Opening files for the Win32 parts of the plug-in: paths checked against the
// platform's limit, devices, pipes and folders told apart from files.
#include <windows.h>

#include <string>

#include "core/Limits.h"
#include "core/Win32Owners.h"

namespace kvl {

// Empty when the file cannot be opened, and for a path the platform cannot take.
inline UniqueHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                             DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  if (!FitsPathBuffer(path)) return UniqueHandle();
  const HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Whether the handle is a file on a disk: devices (COM1 is a serial line, CON the
// console), pipes and folders can block a read or write for ever, or are no file.
inline bool IsRegularFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// As OpenFile, but empty for anything that is not a regular file.
inline UniqueHandle OpenRegularFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                    DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  UniqueHandle file = OpenFile(path, access, share, disposition, flags);
  if (file && !IsRegularFile(file.get())) file.reset();
  return file;
}

}  // namespace kvl
