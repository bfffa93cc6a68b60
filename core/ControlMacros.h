#pragma once
// Macros that describe the plug-in, split arguments, read constants and loop
// through host template text.
#include <string>
#include <string_view>

#include "core/Call.h"
#include "core/TextUtil.h"

namespace kvl::macros {

std::string PlugPath(Call& call);
std::string PlugVer(Call& call);
std::string Test(Call& call);
std::string ArgCount(Call& call);
std::string ArgItem(Call& call);
std::string Const(Call& call);
std::string FirstNE(Call& call);
std::string For(Call& call);
std::string Until(Call& call);
std::string ClearLines(Call& call);
std::string LineBetw(Call& call);

}  // namespace kvl::macros

namespace kvl {
// The text-level rules behind KVL_ClearLines and KVL_LineBetw (ControlRules.cpp: no host interface).
std::string ClearEmptyLines(std::string_view text, int mostKept, int putInstead, bool blankFill);
// Markers compare ignoring case through `lower`, a length-keeping case map.
std::string LineBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        int startMode, int endMode, CaseMap lower);
}  // namespace kvl
