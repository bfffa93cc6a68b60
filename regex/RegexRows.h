#pragma once
// The regex family's rows of the macro table: regular expressions.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "regex/RegexMacros.h"

namespace kvl::regex {

inline constexpr std::array kRows{
    MacroRow{"KVL_Grep", macros::Grep, 2, 3},
    MacroRow{"KVL_REIsMatch", macros::REIsMatch, 2, 4},
    MacroRow{"KVL_RERepl", macros::RERepl, 3, 4},
    MacroRow{"KVL_ReX", macros::ReX, 2, 3},
    MacroRow{"KVL_StrRERepl", macros::RERepl, 3, 4},
};

}  // namespace kvl::regex
