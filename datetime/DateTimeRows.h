#pragma once
// The datetime family's rows of the macro table: dates and times.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "datetime/TimeMacros.h"

namespace kvl::datetime {

inline constexpr std::array kRows{
    MacroRow{"KVL_Age", macros::Age, 1, 2},
    MacroRow{"KVL_HdrRcvTime", macros::HdrRcvTime, 0, 3},
    MacroRow{"KVL_TimeAdd", macros::TimeAdd, 2, 4},
    MacroRow{"KVL_TimeBeats", macros::TimeBeats, 0, 1},
    MacroRow{"KVL_TimeBias", macros::TimeBias, 0, 0},
    MacroRow{"KVL_TimeCalc", macros::TimeCalc, 2, 4},
    MacroRow{"KVL_TimeDiff", macros::TimeDiff, 1, 4},
    MacroRow{"KVL_TimeParse", macros::TimeParse, 1, 3},
    MacroRow{"KVL_TimeQuart", macros::TimeQuart, 0, 2},
};

}  // namespace kvl::datetime
