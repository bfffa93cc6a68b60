#include "host/FileInput.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "host/MessageReader.h"
#include "core/Win32Owners.h"

namespace kvlhost {

namespace {

constexpr DWORD kReadBlock = 1u << 20;

std::wstring CurrentFolder() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(length, L'\0');
  folder.resize(GetCurrentDirectoryW(length, folder.data()));
  return folder;
}

// "C:\a\.\b\..\c" -> "C:\a\c"; the root (the first `rootParts` components) never goes.
std::wstring ResolvedDots(std::wstring_view path, std::size_t rootParts) {
  std::vector<std::wstring_view> parts;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t end = std::min(path.find(L'\\', at), path.size());
    const std::wstring_view part = path.substr(at, end - at);
    if (parts.size() < rootParts) parts.push_back(part);
    else if (part == L"..") {
      if (parts.size() > rootParts) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::wstring out;
  for (std::size_t i = 0; i < parts.size(); ++i) out.append(i == 0 ? L"" : L"\\").append(parts[i]);
  return out;
}

kvl::UniqueHandle OpenRegularFile(const std::wstring& path) {
  kvl::UniqueHandle file(CreateFileW(LiteralPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    throw FileReadError("");
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    throw FileReadError("it is not a file (a device, a pipe or a folder)");
  return file;
}

std::uint64_t FileSize(HANDLE file) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

// Hands the file to `take` a block at a time, from its start.
template <typename Take>
void ReadBlocks(HANDLE file, Take&& take) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) throw FileReadError("");
  std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kReadBlock);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, block.get(), kReadBlock, &got, nullptr)) throw FileReadError("");
    if (got == 0) return;
    take(std::string_view(block.get(), got));
  }
}

}  // namespace

std::wstring LiteralPath(std::wstring_view path) {
  std::wstring text(path);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  if (text.starts_with(L"\\\\?\\") || text.starts_with(L"\\\\.\\")) return text;  // already literal, or a device asked for
  if (text.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + ResolvedDots(std::wstring_view(text).substr(2), 2);
  const bool drive = text.size() >= 2 && text[1] == L':';
  if (drive && (text.size() == 2 || text[2] != L'\\')) {
    // "C:name" is relative to that drive's current folder, which only the system knows.
    std::wstring full(MAX_PATH, L'\0');
    full.resize(GetFullPathNameW(text.c_str(), MAX_PATH, full.data(), nullptr));
    text = full;
  } else if (!drive) {
    const std::wstring folder = CurrentFolder();
    text = text.starts_with(L"\\") ? folder.substr(0, 2) + text : folder + L"\\" + text;
  }
  return L"\\\\?\\" + ResolvedDots(text, 1);
}

std::string ReadRegularFile(const std::wstring& path) {
  const kvl::UniqueHandle file = OpenRegularFile(path);
  std::string text;
  text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(FileSize(file.get()), kMaxMessageFileBytes)));
  ReadBlocks(file.get(), [&](std::string_view block) { text.append(block); });
  return text;
}

FileBytes ReadMessageFile(const std::wstring& path) {
  const kvl::UniqueHandle file = OpenRegularFile(path);
  const std::uint64_t size = FileSize(file.get());
  if (size > kMaxMessageFileBytes)
    throw FileReadError("it is larger than 1 GiB, the largest message kvlhost reads");
  std::size_t normalized = 0;
  CrLfLineEnds counter;
  ReadBlocks(file.get(), [&](std::string_view block) { normalized += counter.add(block, nullptr); });
  FileBytes bytes{std::make_unique_for_overwrite<char[]>(normalized), 0};
  CrLfLineEnds writer;
  bool full = false;  // a file that grew between the two readings keeps what fits
  ReadBlocks(file.get(), [&](std::string_view block) {
    CrLfLineEnds probe = writer;
    full = full || probe.add(block, nullptr) > normalized - bytes.size;
    if (!full) bytes.size += writer.add(block, bytes.data.get() + bytes.size);
  });
  return bytes;
}

}  // namespace kvlhost
