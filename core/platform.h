#pragma once
// The platform services that the portable parts of the plug-in need, declared
// without windows.h; implemented once for Win32 in platform_win32.cpp.
#include <cstdint>
#include <string>
#include <string_view>

namespace kvl {

// Private-profile lookup through a 10240-character buffer; the default when absent.
std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt);

// Folder of the library that holds this code, ending in a backslash; empty if unknown.
std::string PluginFolder();

// A string of the file's version resource in its first translation, trimmed; empty when absent.
std::string ReadVersionString(const std::string& file, const std::string& key);

// The path with the long name of every level; empty when nothing of that name exists.
std::string ExpandToLongPath(const std::string& path);

std::string GetTempFolder(bool longForm);
// The plug-in's private "KVL" folder under the temporary folder (created on demand).
std::string PluginTempFolder(bool longForm);

bool FileExists(const std::string& path);  // a file, not a folder
bool FolderExists(const std::string& path);
bool PathExists(const std::string& path);  // a file or a folder
bool DeleteFileIfExists(const std::string& path);

// Opens a file with the shell verb "open"; a hidden window when asked. Does not wait.
void ShellOpen(const std::string& file, bool hidden);

// Low 32 bits of the performance counter, or the tick count when there is none.
std::uint32_t ClockSeed();

// Case mapping by the user's locale (the system's ANSI mapping).
std::string AnsiLowered(std::string_view text);
std::string AnsiUppered(std::string_view text);

}  // namespace kvl
