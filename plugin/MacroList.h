#pragma once
// The plug-in's macro table: the rows of every family, in the order of the macro list
// (the order of ZRP_GetMacroList and of the name search).
#include <span>

#include "core/MacroTable.h"

namespace kvl {

std::span<const MacroRow> MacroTable();
// The look-up over MacroTable(), made on first use.
const MacroIndex& Macros();

}  // namespace kvl
