#pragma once
// Text rules of the file-open dialog: its filter list, its option letters, and the
// answer of a multiple selection.
#include <cstdint>
#include <string>
#include <string_view>

namespace kvl::dialogs {

// "Text files|*.txt|All files|*.*" with every "|" a NUL and two NULs at the end.
std::string FileFilterList(std::string_view filter);

// F file must exist (0x1000), P path must exist (0x800), C ask before creating (0x2000),
// L shortcuts themselves (0x100000): letters anywhere in the text, any case.
std::uint32_t FileDialogOptionFlags(std::string_view letters);

// The dialog's answer up to its double NUL, split at the first name's offset: the
// folder (trimmed, with a final "\") before each name, the paths joined by "|". One
// file alone comes as its full path.
std::string JoinSelectedFiles(std::string_view answer, std::size_t fileOffset);

}  // namespace kvl::dialogs
