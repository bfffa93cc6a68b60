#pragma once
// The control family's rows of the macro table: macros that describe the plug-in, split arguments and loop.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "core/ControlMacros.h"

namespace kvl::control {

inline constexpr std::array kRows{
    MacroRow{"KVL_PlugPath", macros::PlugPath, 0, kAnyCount},
    MacroRow{"KVL_PlugVer", macros::PlugVer, 0, kAnyCount},
    MacroRow{"KVL_ArgCount", macros::ArgCount, 1, 3},
    MacroRow{"KVL_ArgItem", macros::ArgItem, 2, 4},
    MacroRow{"KVL_ClearLines", macros::ClearLines, 1, 4},
    MacroRow{"KVL_Const", macros::Const, 1, 3},
    MacroRow{"KVL_FirstNE", macros::FirstNE, 2, kAnyCount},
    MacroRow{"KVL_For", macros::For, 4, 4},
    MacroRow{"KVL_LineBetw", macros::LineBetw, 3, 5},
    MacroRow{"KVL_Until", macros::Until, 3, 3},
    MacroRow{"KVL_Test", macros::Test, 0, kAnyCount},
};

}  // namespace kvl::control
