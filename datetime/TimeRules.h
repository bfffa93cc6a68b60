#pragma once
// The rules behind the time macros that need no host: spans, ages, beats, the zone
// bias, seasons and the time stamp of a header block's Received lines.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform.h"
#include "datetime/DateTimeValue.h"

namespace kvl::datetime {

enum class SpanUnit { Years, Months, Weeks, Days, Hours, Minutes, Seconds, Spelled };
// "Y" "M" "W" "D" "H" "N" "S" "X" in any case; anything else counts as days.
SpanUnit SpanUnitOf(std::string_view letter);

// The whole number of units between two values, whatever their order.
std::int64_t SpanInUnits(DateTimeValue a, DateTimeValue b, SpanUnit unit);
// Whole seconds between the two, each rounded to the second (a half to even).
std::int64_t SecondsBetween(DateTimeValue a, DateTimeValue b);
// "1 Tag, 1 Minute" from nine words separated by "|" (singular and plural of day,
// hour, minute, second, then the separator).
std::string SpelledSpan(std::int64_t seconds, std::string_view words);

// `amount` units later; the value unchanged when that leaves the years 1 to 9999.
DateTimeValue ShiftByUnit(DateTimeValue value, std::int64_t amount, SpanUnit unit);

// Whole years from birth to reference (negative when the birth lies after it).
int AgeInYears(CivilDate birth, CivilDate reference);

// Thousandths of a day in UTC+1, from a UTC time, as three digits.
std::string Beats(DateTimeValue utc);

// The local offset from UTC as "+hhmm" / "-hhmm".
std::string BiasText(const TimeZoneState& state);

// "Winter", "Fr\xFChling", "Sommer", "Herbst", or the quarter "1" to "4".
std::string SeasonName(CivilDate date);
std::string QuarterOf(CivilDate date);

// The time stamp after the last ";" of a "Received: " line of the unfolded header
// block: that of the bottom-most line when `firstServer`, else of the top-most.
std::string ReceivedStamp(std::string_view headerBlock, bool firstServer);
// Tabs and CRs to blanks, line ends before a blank joined, runs of blanks made one;
// one LF appended.
std::string UnfoldHeaderBlock(std::string_view block);

}  // namespace kvl::datetime
