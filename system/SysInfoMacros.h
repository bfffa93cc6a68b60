#pragma once
// System information and the user's administrator rights.
#include <string>
#include <string_view>

#include "core/Call.h"

namespace kvl {

// The current value of one system-information code ("$usn$"); empty when the
// platform cannot tell it.
std::string SysInfoValue(std::string_view code);

namespace macros {
std::string IsUserAdmin(Call& call);
std::string SysInfo(Call& call);
}  // namespace macros

}  // namespace kvl
