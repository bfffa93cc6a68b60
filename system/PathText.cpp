#include "system/PathText.h"

#include <cmath>
#include <cstdio>

namespace kvl::files {

std::string DrivePart(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.starts_with("\\\\")) {
    // \\server\share: up to the backslash after the share name.
    const std::size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return std::string(path);
    return std::string(path.substr(0, path.find('\\', server + 1)));
  }
  return {};
}

std::string FolderPart(std::string_view path) {
  const std::size_t last = path.find_last_of("\\:");
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string NamePart(std::string_view path) {
  const std::size_t last = path.find_last_of("\\:");
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string ExtensionPart(std::string_view path) {
  const std::size_t last = path.find_last_of(".\\:");
  return last == std::string_view::npos || path[last] != '.' ? std::string() : std::string(path.substr(last));
}

std::string PathPart(std::string_view path, char selector) {
  switch (selector) {
    case 'D': return DrivePart(path);
    case 'P': return FolderPart(path);
    case 'V': {
      const std::string folder = FolderPart(path);
      return folder.size() > 2 ? folder.substr(2) : std::string();
    }
    case 'F': {
      const std::string name = NamePart(path);
      return name.substr(0, name.size() - ExtensionPart(name).size());
    }
    case 'E': return ExtensionPart(path);
    default: return NamePart(path);
  }
}

std::string SizeInUnits(double bytes, double unit, char decimalSeparator) {
  const double rounded = std::trunc(bytes / unit / 0.01 + 0.5) * 0.01;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", rounded);
  std::string text(buffer);
  for (char& c : text)
    if (c == '.') c = decimalSeparator;
  return text;
}

}  // namespace kvl::files
