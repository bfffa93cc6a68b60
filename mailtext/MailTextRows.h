#pragma once
// The mailtext family's rows of the macro table: subjects and quoting.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "mailtext/MailTextMacros.h"

namespace kvl::mailtext {

inline constexpr std::array kRows{
    MacroRow{"KVL_NoSubj", macros::NoSubj, 0, 1},
    MacroRow{"KVL_NoTo", macros::NoTo, 0, 1},
    MacroRow{"KVL_QuoteAdd", macros::QuoteAdd, 1, 2},
    MacroRow{"KVL_QuoteDel", macros::QuoteDel, 1, 3},
    MacroRow{"KVL_SubjClean", macros::SubjClean, 0, 2},
    MacroRow{"KVL_SubjCount", macros::SubjCount, 0, 4},
};

}  // namespace kvl::mailtext
