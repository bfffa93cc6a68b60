#include "datetime/DateTimeValue.h"

#include <algorithm>
#include <cmath>

namespace kvl::datetime {

namespace {
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
constexpr double kLargestDayCount = 1e8;
// Day number of 1 January 1970.
constexpr std::int64_t kUnixEpochDay = 25'569;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1 January 1970 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}
}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int millisecond) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && millisecond >= 0 &&
         millisecond < 1000;
}

std::int64_t DayNumber(CivilDate date) { return DaysFromCivil(date.year, date.month, date.day) + kUnixEpochDay; }

CivilDate DateOfDayNumber(std::int64_t day) { return CivilFromDays(day - kUnixEpochDay); }

double TimeFraction(CivilTime time) {
  const std::int64_t ms = ((time.hour * 60LL + time.minute) * 60 + time.second) * 1000 + time.millisecond;
  return static_cast<double>(ms) / kMillisecondsPerDay;
}

std::optional<DateTimeValue> EncodeDateTime(CivilDate date, CivilTime time) {
  if (!IsValidDate(date.year, date.month, date.day) ||
      !IsValidTime(time.hour, time.minute, time.second, time.millisecond))
    return std::nullopt;
  return FromLinearDays(static_cast<double>(DayNumber(date)) + TimeFraction(time));
}

double ToLinearDays(DateTimeValue value) {
  if (!std::isfinite(value) || std::fabs(value) > kLargestDayCount) return 0;
  const double day = std::trunc(value);
  return day + std::fabs(value - day);
}

DateTimeValue FromLinearDays(double linear) {
  if (!std::isfinite(linear) || std::fabs(linear) > kLargestDayCount) return 0;
  const double day = std::floor(linear);
  const double time = linear - day;
  return day >= 0 ? day + time : day - time;
}

DateTimeValue ShiftDays(DateTimeValue value, double days) { return FromLinearDays(ToLinearDays(value) + days); }

DateTimeParts Decode(DateTimeValue value) {
  const auto ms = static_cast<std::int64_t>(std::llround(ToLinearDays(value) * kMillisecondsPerDay));
  const std::int64_t day = FloorDiv(ms, kMillisecondsPerDay);
  std::int64_t rest = ms - day * kMillisecondsPerDay;
  DateTimeParts parts;
  parts.millisecondOfDay = rest;
  parts.date = DateOfDayNumber(day);
  parts.time.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  parts.time.second = static_cast<int>(rest % 60);
  rest /= 60;
  parts.time.minute = static_cast<int>(rest % 60);
  parts.time.hour = static_cast<int>(rest / 60);
  // 30 December 1899 was a Saturday.
  parts.dayOfWeek = static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
  return parts;
}

double UnixSeconds(DateTimeValue value) { return (ToLinearDays(value) - kUnixEpochDay) * 86400.0; }

int IsoWeekday(CivilDate date) {
  // Day 0 (30 December 1899) was a Saturday, ISO weekday 6.
  return static_cast<int>(((DayNumber(date) + 5) % 7 + 7) % 7) + 1;
}

int DayOfYear(CivilDate date) { return static_cast<int>(DayNumber(date) - DayNumber({date.year, 1, 1})) + 1; }

int IsoWeek(CivilDate date) {
  // The week belongs to the year of its Thursday, and counts from that year's first Thursday.
  const std::int64_t thursday = DayNumber(date) - IsoWeekday(date) + 4;
  const CivilDate thursdayDate = DateOfDayNumber(thursday);
  return static_cast<int>((thursday - DayNumber({thursdayDate.year, 1, 1})) / 7) + 1;
}

int WeekOfMonth(CivilDate date) {
  const CivilDate thursday = DateOfDayNumber(DayNumber(date) - IsoWeekday(date) + 4);
  return (thursday.day - 1) / 7 + 1;
}

std::optional<DateTimeValue> AddMonths(DateTimeValue value, std::int64_t months) {
  const DateTimeParts parts = Decode(value);
  const std::int64_t index = parts.date.year * 12LL + (parts.date.month - 1) + months;
  const std::int64_t year = FloorDiv(index, 12);
  if (year < 1 || year > 9999) return std::nullopt;
  const int month = static_cast<int>(index - year * 12) + 1;
  const int day = std::min(parts.date.day, DaysInMonth(static_cast<int>(year), month));
  return EncodeDateTime({static_cast<int>(year), month, day}, parts.time);
}

}  // namespace kvl::datetime
