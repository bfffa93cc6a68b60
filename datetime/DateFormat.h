#pragma once
// Rendering a value through a format pattern ("GE$dddd, d. mmmm yyyy", "hh:nn bbbb").
#include <cstdint>
#include <string>
#include <string_view>

#include "datetime/DateLocale.h"
#include "datetime/DateTimeValue.h"

namespace kvl::datetime {

enum class PostPasses {
  None,
  DateTokens,          // "www" ISO week, "ww" week of month, "x" day of year
  DateAndZoneTokens,   // and "bbbb" the zone as +hhmm
};

// What one pattern may render before the post-passes; the rest is dropped.
inline constexpr std::size_t kRenderedMost = 256;

// "//" is a literal "/"; "XX$" in front selects a locale; an empty pattern renders
// the locale's short date and, unless it is midnight, its long time.
std::string FormatDateTimeText(DateTimeValue value, std::string_view pattern, PostPasses passes,
                               std::int32_t zone = 0);

// The locale identifier of a two-letter prefix ("GE" 1031); 1024 for unknown letters.
std::uint32_t LocalePrefixId(std::string_view letters);

// The format codes alone, in one locale, cut at kRenderedMost characters.
std::string RenderDateTime(const DateTimeParts& parts, std::string_view pattern, const DateLocale& locale);

// Replaces "www", then "ww", then "x" (case-sensitive) throughout the text.
std::string ExpandDateTokens(std::string_view text, CivilDate date);
// "+hhmm" / "-hhmm", the hours taken modulo 24.
std::string OffsetText(std::int64_t minutesEast);
// Replaces "bbbb" in any case by the zone as sign, hours (modulo 24) and minutes.
std::string ZoneToken(std::string_view text, std::int32_t zone);

}  // namespace kvl::datetime
