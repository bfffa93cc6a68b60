#pragma once
// Address-list macros: entries of a To or Cc header, their names and addresses.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string ListAddr(Call& call);
std::string ListCount(Call& call);
std::string ListName(Call& call);

}  // namespace kvl::macros
