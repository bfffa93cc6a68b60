#pragma once
// System information, the user's administrator rights and the tone macro.
#include <string>
#include <string_view>

#include "core/Call.h"

namespace kvl {

// The current value of one system-information code ("$usn$"); empty when the
// platform cannot tell it.
std::string SysInfoValue(std::string_view code);

namespace macros {
std::string Beep(Call& call);
std::string IsUserAdmin(Call& call);
std::string SysInfo(Call& call);
}  // namespace macros

}  // namespace kvl
