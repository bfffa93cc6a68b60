#pragma once
// Dates and times written the way the user's locale writes them, and the clock.
#include <string_view>

#include "datetime/DateLocale.h"
#include "datetime/DateTimeValue.h"

namespace kvl::datetime {

// Two or three numbers in the locale's order and separator ("5.12.2026", "12/5",
// "5.12."); nothing but blanks may follow. The default when the text is no date.
DateTimeValue ReadLocalDate(std::string_view text, DateTimeValue dflt);
// A date and, after it, a time ("12/5/2026 8:18 PM"; what follows a valid time is
// ignored), or a time alone (date part 0). The default when neither reads.
DateTimeValue ReadLocalDateTime(std::string_view text, DateTimeValue dflt);

// The same with the conventions and the current year given, for tests.
DateTimeValue ReadDate(std::string_view text, DateTimeValue dflt, const DateLocale& locale, int currentYear);
DateTimeValue ReadDateTime(std::string_view text, DateTimeValue dflt, const DateLocale& locale, int currentYear);

DateTimeValue LocalNow();
DateTimeValue LocalToday();  // 00:00
DateTimeValue UtcNow();

}  // namespace kvl::datetime
