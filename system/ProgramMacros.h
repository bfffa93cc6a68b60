#pragma once
// Macros that start programs, run console commands and look at running processes.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string Process(Call& call);
std::string Run(Call& call);
std::string RunCmd(Call& call);

}  // namespace kvl::macros
