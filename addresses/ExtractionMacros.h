#pragma once
// Macros that list the addresses and links of a text (by default the message's).
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string XtrEMLs(Call& call);
std::string XtrURLs(Call& call);

}  // namespace kvl::macros
