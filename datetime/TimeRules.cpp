#include "datetime/TimeRules.h"

#include <cmath>
#include <cstdlib>

#include "core/TextUtil.h"
#include "datetime/DateFormat.h"

namespace kvl::datetime {

SpanUnit SpanUnitOf(std::string_view letter) {
  const std::string key = AsciiLowered(letter);
  if (key == "y") return SpanUnit::Years;
  if (key == "m") return SpanUnit::Months;
  if (key == "w") return SpanUnit::Weeks;
  if (key == "h") return SpanUnit::Hours;
  if (key == "n") return SpanUnit::Minutes;
  if (key == "s") return SpanUnit::Seconds;
  if (key == "x") return SpanUnit::Spelled;
  return SpanUnit::Days;
}

namespace {
// Whole seconds since 1970 from the value's millisecond, a half second to the even one.
std::int64_t RoundedUnixSeconds(DateTimeValue value) {
  const std::int64_t ms = std::llround(UnixSeconds(value) * 1000);
  std::int64_t seconds = ms / 1000;
  std::int64_t rest = ms % 1000;
  if (rest < 0) {
    rest += 1000;
    --seconds;
  }
  if (rest > 500 || (rest == 500 && seconds % 2 != 0)) ++seconds;
  return seconds;
}
}  // namespace

std::int64_t SecondsBetween(DateTimeValue a, DateTimeValue b) {
  return std::llabs(RoundedUnixSeconds(a) - RoundedUnixSeconds(b));
}

// The span is taken to the millisecond first, as the values themselves are, so that
// 25 hours between two values never count as 24 for a rounding error in the last bit.
std::int64_t SpanInUnits(DateTimeValue a, DateTimeValue b, SpanUnit unit) {
  const std::int64_t ms = std::llabs(std::llround((ToLinearDays(a) - ToLinearDays(b)) * 86'400'000.0));
  const double days = static_cast<double>(ms) / 86'400'000.0;
  switch (unit) {
    case SpanUnit::Years: return static_cast<std::int64_t>(days / 365.25);
    case SpanUnit::Months: return static_cast<std::int64_t>(days / 30.4375);
    case SpanUnit::Weeks: return ms / 86'400'000 / 7;
    case SpanUnit::Hours: return ms / 3'600'000;
    case SpanUnit::Minutes: return ms / 60'000;
    case SpanUnit::Seconds:
    case SpanUnit::Spelled: return SecondsBetween(a, b);
    case SpanUnit::Days: break;
  }
  return ms / 86'400'000;
}

std::string SpelledSpan(std::int64_t seconds, std::string_view words) {
  const std::string separator = FieldAt(words, "|", 9);
  std::string text;
  const auto count = [&](std::int64_t n, int singular, int plural) {
    text += std::to_string(n);
    text += FieldAt(words, "|", n == 1 ? singular : plural);
  };
  const auto part = [&](std::int64_t n, int singular, int plural) {
    if (n == 0) return;
    count(n, singular, plural);
    text += separator;
  };
  part(seconds / 86400, 1, 2);
  part(seconds % 86400 / 3600, 3, 4);
  part(seconds % 3600 / 60, 5, 6);
  const std::int64_t rest = seconds % 60;
  if (rest != 0 || text.empty()) count(rest, 7, 8);
  if (!separator.empty() && text.ends_with(separator)) text.erase(text.size() - separator.size());
  return text;
}

DateTimeValue ShiftByUnit(DateTimeValue value, std::int64_t amount, SpanUnit unit) {
  if (unit == SpanUnit::Months || unit == SpanUnit::Years)
    return AddMonths(value, unit == SpanUnit::Years ? amount * 12 : amount).value_or(value);
  const double linear = ToLinearDays(value);
  const auto n = static_cast<double>(amount);
  double shifted = linear + n;
  if (unit == SpanUnit::Weeks) shifted = linear + 7 * n;
  if (unit == SpanUnit::Hours) shifted = (linear * 24 + n) / 24;
  if (unit == SpanUnit::Minutes) shifted = (linear * 1440 + n) / 1440;
  if (unit == SpanUnit::Seconds) shifted = (linear * 86400 + n) / 86400;
  static const double first = static_cast<double>(DayNumber({1, 1, 1}));
  static const double end = static_cast<double>(DayNumber({9999, 12, 31}) + 1);
  return shifted >= first && shifted < end ? FromLinearDays(shifted) : value;
}

int AgeInYears(CivilDate birth, CivilDate reference) {
  int age = reference.year - birth.year;
  if (birth.month > reference.month || (birth.month == reference.month && birth.day > reference.day)) --age;
  return age;
}

std::string Beats(DateTimeValue utc) {
  const DateTimeParts parts = Decode(ShiftDays(utc, 1.0 / 24));
  int seconds = parts.time.hour * 3600 + parts.time.minute * 60 + parts.time.second;
  if (seconds > 43) seconds -= 43;
  const long beats = std::lrint(seconds / 86.4);
  const std::string padded = "000" + std::to_string(beats);
  return padded.substr(padded.size() - 3);
}

std::string BiasText(const TimeZoneState& state) {
  const std::int32_t bias = state.daylightInForce ? state.bias + state.daylightBias : state.bias;
  return OffsetText(-static_cast<std::int64_t>(bias));  // the bias counts west
}

std::string SeasonName(CivilDate date) {
  const int key = date.month * 100 + date.day;
  if (key < 321 || key >= 1221) return "Winter";
  if (key < 621) return "Fr\xFChling";
  if (key < 923) return "Sommer";
  return "Herbst";
}

std::string QuarterOf(CivilDate date) { return std::to_string((date.month - 1) / 3 + 1); }

std::string UnfoldHeaderBlock(std::string_view block) {
  const auto blankAfterReplacing = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  std::string out;
  out.reserve(block.size() + 1);
  for (std::size_t at = 0; at < block.size(); ++at) {
    const char c = block[at];
    const bool blank = blankAfterReplacing(c) || (c == '\n' && at + 1 < block.size() && blankAfterReplacing(block[at + 1]));
    if (!blank)
      out += c;
    else if (out.empty() || out.back() != ' ')
      out += ' ';
  }
  out += '\n';
  return out;
}

std::string ReceivedStamp(std::string_view headerBlock, bool firstServer) {
  const std::string unfolded = UnfoldHeaderBlock(headerBlock);
  const std::string_view text = unfolded;
  std::string first;
  std::string last;
  // Lines from the bottom up: the first server's header is the bottom-most.
  std::size_t end = text.size() - 1;  // the final LF
  for (;;) {
    const std::size_t previous = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
    const std::size_t start = previous == std::string_view::npos ? 0 : previous + 1;
    const std::string_view line = text.substr(start, end - start);
    if (line.starts_with("Received: ")) {
      if (const std::size_t semicolon = line.rfind(';'); semicolon != std::string_view::npos) {
        last = Trimmed(line.substr(semicolon + 1));
        if (first.empty()) first = last;
      }
    }
    if (previous == std::string_view::npos) break;
    end = previous;
  }
  return firstServer ? first : last;
}

}  // namespace kvl::datetime
