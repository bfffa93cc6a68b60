#include "datetime/LocalDates.h"

#include <cmath>
#include <optional>

#include "core/TextUtil.h"

namespace kvl::datetime {

namespace {
// A left-to-right reader over the text; blanks may stand before every part.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  void skipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
  }
  bool atEnd() {
    skipBlanks();
    return at_ == text_.size();
  }
  // An unsigned number of at most nine digits, and how many digits it had.
  std::optional<int> number(int* digits = nullptr) {
    skipBlanks();
    std::size_t end = at_;
    while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
    if (end == at_ || end - at_ > 9) return std::nullopt;
    int value = 0;
    for (std::size_t n = at_; n < end; ++n) value = value * 10 + (text_[n] - '0');
    if (digits) *digits = static_cast<int>(end - at_);
    at_ = end;
    return value;
  }
  // Takes `word` (compared without regard to ASCII case) when it stands next.
  bool take(std::string_view word) {
    const std::size_t saved = at_;
    skipBlanks();
    const std::string_view core = Trimmed(word);
    if (core.empty() || !EqualsIgnoringAsciiCase(text_.substr(at_, core.size()), core)) {
      at_ = saved;
      return false;
    }
    at_ += core.size();
    return true;
  }
  std::size_t position() const { return at_; }
  void rewind(std::size_t to) { at_ = to; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// One or two digits: the year in the hundred years that begin fifty years ago.
int WindowedYear(int year, int digits, int currentYear) {
  if (digits > 2) return year;
  const int first = currentYear - 50;
  int full = first - ((first % 100) + 100) % 100 + year;
  if (full < first) full += 100;
  return full;
}

// With `withYear` false a third number is left for the time ("5.12. 8:18").
std::optional<CivilDate> ScanDate(Scanner& in, const DateLocale& locale, int currentYear, bool withYear = true) {
  const std::string_view separator = locale.texts.dateSeparator;
  int digits[3] = {0, 0, 0};
  int numbers[3] = {0, 0, 0};
  int count = 0;
  const std::optional<int> first = in.number(&digits[0]);
  if (!first || !in.take(separator)) return std::nullopt;
  numbers[count++] = *first;
  const std::optional<int> second = in.number(&digits[1]);
  if (!second) return std::nullopt;
  numbers[count++] = *second;
  std::size_t end = in.position();
  if (in.take(separator)) {
    end = in.position();  // one separator may end the date
    const std::size_t afterSeparator = in.position();
    if (const std::optional<int> third = withYear ? in.number(&digits[2]) : std::nullopt) {
      numbers[count++] = *third;
      end = in.position();
      if (in.take(separator)) end = in.position();
    } else {
      in.rewind(afterSeparator);
    }
  }
  in.rewind(end);
  CivilDate date;
  if (count == 2) {
    const bool dayFirst = locale.order == DateOrder::DayMonthYear;
    date = {currentYear, dayFirst ? numbers[1] : numbers[0], dayFirst ? numbers[0] : numbers[1]};
  } else {
    switch (locale.order) {
      case DateOrder::DayMonthYear:
        date = {WindowedYear(numbers[2], digits[2], currentYear), numbers[1], numbers[0]};
        break;
      case DateOrder::MonthDayYear:
        date = {WindowedYear(numbers[2], digits[2], currentYear), numbers[0], numbers[1]};
        break;
      case DateOrder::YearMonthDay:
        date = {WindowedYear(numbers[0], digits[0], currentYear), numbers[1], numbers[2]};
        break;
    }
  }
  if (!IsValidDate(date.year, date.month, date.day)) return std::nullopt;
  return date;
}

// 0 for none, 1 for AM, 2 for PM: the locale's own designators or "AM" / "PM".
int ScanDesignator(Scanner& in, const DateLocale& locale) {
  if (in.take(locale.texts.amDesignator) || in.take("AM")) return 1;
  if (in.take(locale.texts.pmDesignator) || in.take("PM")) return 2;
  return 0;
}

std::optional<CivilTime> ScanTime(Scanner& in, const DateLocale& locale) {
  int designator = ScanDesignator(in, locale);
  CivilTime time;
  const std::optional<int> hour = in.number();
  if (!hour) return std::nullopt;
  time.hour = *hour;
  if (in.take(locale.texts.timeSeparator)) {
    const std::optional<int> minute = in.number();
    if (!minute) return std::nullopt;
    time.minute = *minute;
    if (in.take(locale.texts.timeSeparator)) {
      const std::optional<int> second = in.number();
      if (!second) return std::nullopt;
      time.second = *second;
      if (in.take(locale.texts.decimalSeparator)) {
        const std::optional<int> millisecond = in.number();
        if (!millisecond) return std::nullopt;
        time.millisecond = *millisecond;
      }
    }
  }
  if (designator == 0) designator = ScanDesignator(in, locale);
  if (designator != 0) {
    if (time.hour < 1 || time.hour > 12) return std::nullopt;
    time.hour = time.hour % 12 + (designator == 2 ? 12 : 0);
  }
  if (!IsValidTime(time.hour, time.minute, time.second, time.millisecond)) return std::nullopt;
  return time;
}

DateTimeValue FromClock(const ClockReading& clock, bool withTime) {
  const CivilTime time = withTime ? CivilTime{clock.hour, clock.minute, clock.second, clock.millisecond} : CivilTime{};
  return EncodeDateTime({clock.year, clock.month, clock.day}, time).value_or(0.0);
}
}  // namespace

DateTimeValue ReadDate(std::string_view text, DateTimeValue dflt, const DateLocale& locale, int currentYear) {
  Scanner in(text);
  const std::optional<CivilDate> date = ScanDate(in, locale, currentYear);
  if (!date || !in.atEnd()) return dflt;
  return EncodeDateTime(*date).value_or(dflt);
}

DateTimeValue ReadDateTime(std::string_view text, DateTimeValue dflt, const DateLocale& locale, int currentYear) {
  for (const bool withYear : {true, false}) {
    Scanner in(text);
    if (const std::optional<CivilDate> date = ScanDate(in, locale, currentYear, withYear)) {
      if (in.atEnd()) return EncodeDateTime(*date).value_or(dflt);
      if (const std::optional<CivilTime> time = ScanTime(in, locale))
        return EncodeDateTime(*date, *time).value_or(dflt);
    }
  }
  Scanner alone(text);
  const std::optional<CivilTime> time = ScanTime(alone, locale);
  if (!time || !alone.atEnd()) return dflt;
  return TimeFraction(*time);
}

DateTimeValue ReadLocalDate(std::string_view text, DateTimeValue dflt) {
  return ReadDate(text, dflt, LocaleData(kUserDefaultLocale), LocalClock().year);
}

DateTimeValue ReadLocalDateTime(std::string_view text, DateTimeValue dflt) {
  return ReadDateTime(text, dflt, LocaleData(kUserDefaultLocale), LocalClock().year);
}

DateTimeValue LocalNow() { return FromClock(LocalClock(), true); }
DateTimeValue LocalToday() { return FromClock(LocalClock(), false); }
DateTimeValue UtcNow() { return FromClock(UtcClock(), true); }

}  // namespace kvl::datetime
