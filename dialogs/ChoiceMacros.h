#pragma once
// Dialog-family macros that show no window: a value chosen from pairs, a text bar.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string Progress(Call& call);
std::string Select(Call& call);

}  // namespace kvl::macros
