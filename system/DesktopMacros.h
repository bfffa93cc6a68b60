#pragma once
// Macros that act on the desktop: keystrokes, the clipboard, the keyboard layout.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string SendKeys(Call& call);
std::string SetClipB(Call& call);
std::string KbdLayout(Call& call);

}  // namespace kvl::macros
