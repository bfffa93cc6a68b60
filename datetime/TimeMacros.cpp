#include "datetime/TimeMacros.h"

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "datetime/DateFormat.h"
#include "datetime/LocalDates.h"
#include "datetime/MailDate.h"
#include "datetime/TimeRules.h"

namespace kvl::macros {

using namespace kvl::datetime;

namespace {
constexpr std::string_view kDefaultUnitWords = " Tag| Tage| Stunde| Stunden| Minute| Minuten| Sekunde| Sekunden|, ";

// Texts longer than a date alone, and units finer than a day, are read with their time.
bool ReadsWithTime(std::string_view text, SpanUnit unit) {
  return text.size() > 10 || unit == SpanUnit::Hours || unit == SpanUnit::Minutes || unit == SpanUnit::Seconds ||
         unit == SpanUnit::Spelled;
}

DateTimeValue ReadDateForUnit(std::string_view text, bool withTime) {
  return withTime ? ReadLocalDateTime(text, LocalNow()) : ReadLocalDate(text, LocalToday());
}

DateTimeValue ToUtc(DateTimeValue value, std::int32_t zone) { return ShiftDays(value, -zone / 1440.0); }
}  // namespace

std::string TimeParse(Call& call) {
  const bool toUtc = call.flag(2);
  std::int32_t zone = 0;
  DateTimeValue value = ParseMailDate(call.text(1), zone);
  if (toUtc) value = ToUtc(value, zone);
  return FormatDateTimeText(value, call.textOr(3, ""), PostPasses::DateAndZoneTokens, zone);
}

// Mode 0: a local time of the zone to UTC; any other mode: UTC to the zone's time.
std::string TimeCalc(Call& call) {
  const std::int32_t mode = call.integerOr(3, 0);
  DateTimeValue value = ReadLocalDateTime(call.text(1), LocalNow());
  const std::int32_t zone = ZoneOffsetMinutes(call.text(2));
  value = mode == 0 ? ToUtc(value, zone) : ShiftDays(value, zone / 1440.0);
  return FormatDateTimeText(value, call.textOr(4, ""), PostPasses::DateTokens, zone);
}

std::string TimeAdd(Call& call) {
  SpanUnit unit = SpanUnitOf(call.textOr(3, "D"));
  if (unit == SpanUnit::Spelled) unit = SpanUnit::Days;  // "X" is no unit of a shift
  const std::string date = call.text(1);
  const DateTimeValue value = ReadDateForUnit(date, ReadsWithTime(date, unit));
  return FormatDateTimeText(ShiftByUnit(value, call.integer(2), unit), call.textOr(4, ""), PostPasses::None);
}

std::string TimeDiff(Call& call) {
  const SpanUnit unit = SpanUnitOf(call.textOr(3, "D"));
  const std::string words = call.textOr(4, kDefaultUnitWords);
  if (CountOf(words, "|") != 8) return std::string(ErrParamValue);
  const std::string first = call.text(1);
  const std::string second = call.textOr(2, "");
  const bool withTime = ReadsWithTime(first, unit) || ReadsWithTime(second, unit);
  const DateTimeValue a = ReadDateForUnit(first, withTime);
  const DateTimeValue b = ReadDateForUnit(second, withTime);
  if (unit == SpanUnit::Spelled) return SpelledSpan(SecondsBetween(a, b), words);
  return std::to_string(SpanInUnits(a, b, unit));
}

std::string Age(Call& call) {
  const DateTimeValue today = LocalToday();
  const DateTimeParts birth = Decode(ReadLocalDate(call.text(1), today));
  const DateTimeParts reference = Decode(ReadLocalDate(call.textOr(2, ""), today));
  return std::to_string(AgeInYears(birth.date, reference.date));
}

// A text that is no date-time counts as now, as no text does.
std::string TimeBeats(Call& call) {
  const DateTimeValue now = UtcNow();
  return Beats(call.count() == 0 ? now : ReadLocalDateTime(call.text(1), now));
}

std::string TimeBias(Call&) { return BiasText(ReadTimeZoneState()); }

std::string TimeQuart(Call& call) {
  const DateTimeValue now = LocalNow();
  const DateTimeParts parts = Decode(call.count() == 0 ? now : ReadLocalDateTime(call.text(1), now));
  return call.flag(2) ? SeasonName(parts.date) : QuarterOf(parts.date);
}

// Mode 0 turns the stamp into UTC; any other mode keeps the time as written.
std::string HdrRcvTime(Call& call) {
  const bool firstServer = call.flag(1);
  const std::int32_t mode = call.integerOr(2, 0);
  std::int32_t zone = 0;
  DateTimeValue value = ParseMailDate(ReceivedStamp(call.item(items::kHeaderBlock), firstServer), zone);
  if (mode == 0) value = ToUtc(value, zone);
  return FormatDateTimeText(value, call.textOr(3, ""), PostPasses::DateAndZoneTokens, zone);
}

}  // namespace kvl::macros
