#include "dialogs/ChooserRules.h"

#include <algorithm>

#include "core/TextUtil.h"

namespace kvl::dialogs {

std::string FileFilterList(std::string_view filter) {
  std::string list(filter);
  std::replace(list.begin(), list.end(), '|', '\0');
  list.append(2, '\0');
  return list;
}

std::uint32_t FileDialogOptionFlags(std::string_view letters) {
  const std::string upper = AsciiUppered(letters);
  std::uint32_t flags = 0;
  if (upper.find('F') != std::string::npos) flags |= 0x1000;
  if (upper.find('P') != std::string::npos) flags |= 0x800;
  if (upper.find('C') != std::string::npos) flags |= 0x2000;
  if (upper.find('L') != std::string::npos) flags |= 0x100000;
  return flags;
}

std::string JoinSelectedFiles(std::string_view answer, std::size_t fileOffset) {
  const std::size_t end = answer.find(std::string_view("\0\0", 2));
  const std::string_view used = answer.substr(0, end);
  if (fileOffset > used.size()) return {};
  std::string folder(Trimmed(used.substr(0, fileOffset)));
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  std::string paths;
  std::string_view rest = used.substr(fileOffset);
  while (!rest.empty()) {
    const std::size_t cut = rest.find('\0');
    const std::string_view name = rest.substr(0, cut);
    if (!name.empty()) {
      if (!paths.empty()) paths += '|';
      paths.append(folder).append(name);
    }
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return paths;
}

}  // namespace kvl::dialogs
