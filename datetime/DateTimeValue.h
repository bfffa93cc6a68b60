#pragma once
// The one value every date macro works on: days since 30 December 1899 00:00, the
// fraction being the time of day. Before that day the integer part counts back while
// the fraction still runs forward (-1.25 is 29 December 1899 06:00), so arithmetic on
// values goes through a linear day count that runs forward everywhere.
#include <cstdint>
#include <optional>

namespace kvl::datetime {

using DateTimeValue = double;

struct CivilDate {
  int year = 1899;
  int month = 12;
  int day = 30;
};

struct CivilTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

struct DateTimeParts {
  CivilDate date;
  CivilTime time;
  int dayOfWeek = 7;  // 1 Sunday ... 7 Saturday
  std::int64_t millisecondOfDay = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// A day of years 1 to 9999 that the calendar has.
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond);

// Day number of a valid date (0 = 30 December 1899).
std::int64_t DayNumber(CivilDate date);
CivilDate DateOfDayNumber(std::int64_t day);

// Builds the value of a valid date and time; nothing for a day the calendar lacks.
std::optional<DateTimeValue> EncodeDateTime(CivilDate date, CivilTime time = {});
// The time of day as a fraction of a day.
double TimeFraction(CivilTime time);

// Any value, rounded to the millisecond. Values that are not finite or lie beyond
// 100 million days read as 30 December 1899 00:00.
DateTimeParts Decode(DateTimeValue value);

// Linear day count (forward everywhere) and back.
double ToLinearDays(DateTimeValue value);
DateTimeValue FromLinearDays(double linear);
DateTimeValue ShiftDays(DateTimeValue value, double days);
// Seconds since 1 January 1970 00:00.
double UnixSeconds(DateTimeValue value);

// ISO 8601 week number (1-53).
int IsoWeek(CivilDate date);
// Week of the month: Monday-to-Sunday weeks belong to the month holding their Thursday.
int WeekOfMonth(CivilDate date);
int DayOfYear(CivilDate date);
// Monday 1 ... Sunday 7.
int IsoWeekday(CivilDate date);

// `months` calendar months later, on the same day or the last day of a shorter month,
// keeping the time of day; nothing when that leaves the years 1 to 9999.
std::optional<DateTimeValue> AddMonths(DateTimeValue value, std::int64_t months);

}  // namespace kvl::datetime
