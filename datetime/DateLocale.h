#pragma once
// A locale's date and time conventions as the formatter and the readers use them:
// the platform's names and separators, and its pictures turned into format codes.
#include <cstdint>
#include <string>

#include "core/platform.h"

namespace kvl::datetime {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct DateLocale {
  LocaleTexts texts;
  // The platform's pictures written in this plug-in's format codes, literals quoted.
  std::string shortDateFormat;
  std::string longDateFormat;
  std::string shortTimeFormat;
  std::string longTimeFormat;
  DateOrder order = DateOrder::MonthDayYear;
};

// Read from the platform on first use and kept for the life of the plug-in.
const DateLocale& LocaleData(std::uint32_t lcid);

// A platform picture ("dddd, d. MMMM yyyy", "h:mm:ss tt") in format codes.
std::string PictureToFormat(std::string_view picture);
DateOrder OrderOfPicture(std::string_view shortDatePicture);

}  // namespace kvl::datetime
