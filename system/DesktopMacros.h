#pragma once
// Macros that act on the desktop: keystrokes, the clipboard, the keyboard layout, tones.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string SendKeys(Call& call);
std::string SetClipB(Call& call);
std::string KbdLayout(Call& call);
std::string Beep(Call& call);

}  // namespace kvl::macros
