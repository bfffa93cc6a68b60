// The date engine on hostile text: mail dates and zones, dates in a locale's order,
// format patterns, Received headers. Every result must be a real date of the
// calendar or the stated fallback, and renderings stay within their bound.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "datetime/DateFormat.h"
#include "datetime/LocalDates.h"
#include "datetime/MailDate.h"
#include "datetime/TimeRules.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kvl::datetime;
using kvlfuzz::Expect;

namespace {

void CheckMailDate(std::string_view text) {
  std::int32_t zone = 12345;
  const DateTimeValue value = ParseMailDate(text, zone);
  if (value == 0) {
    Expect(zone == 12345 || zone == 0 || std::abs(zone) <= 99 * 60 + 99, "a failed date leaves the zone alone");
    return;
  }
  const DateTimeParts parts = Decode(value);
  Expect(IsValidDate(parts.date.year, parts.date.month, parts.date.day), "a mail date is a real day");
  Expect(parts.date.year >= 1000 && parts.time.millisecond == 0, "four-digit years, whole seconds");
  Expect(std::abs(zone) <= 99 * 60 + 99, "zones stay within +-9999");
  Expect(std::abs(ZoneOffsetMinutes(text)) <= 99 * 60 + 99, "any zone text stays within +-9999");
}

void CheckLocalDates(std::string_view text) {
  const DateLocale& locale = LocaleData(kvl::kUserDefaultLocale);
  for (const DateTimeValue value : {ReadDate(text, -1, locale, 2026), ReadDateTime(text, -1, locale, 2026)}) {
    if (value == -1) continue;
    const DateTimeParts parts = Decode(value);
    Expect(parts.date.year >= 1 && parts.date.year <= 9999 && std::isfinite(value), "a date read is in range");
  }
}

void CheckFormat(std::string_view pattern, double value, std::int32_t zone, int passes) {
  const std::string text = FormatDateTimeText(value, pattern, static_cast<PostPasses>(passes % 3), zone);
  // "x" may become three digits and "bbbb" five characters after the 256-character cut.
  Expect(text.size() <= kRenderedMost * 3, "a rendering stays within its bound");
  Expect(text.find('\x01') == std::string::npos, "no slash marker is left");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const double value = input.ConsumeFloatingPoint<double>();
  const auto zone = input.ConsumeIntegral<std::int32_t>();
  const int passes = input.ConsumeIntegralInRange(0, 2);
  const std::string text = input.ConsumeRemainingBytesAsString();

  CheckMailDate(text);
  CheckLocalDates(text);
  CheckFormat(text, value, zone, passes);
  CheckFormat(text, std::fmod(value, 3'000'000.0), zone % 6000, passes);
  Expect(UnfoldHeaderBlock(text).size() <= text.size() + 1, "unfolding never grows the text");
  Expect(ReceivedStamp(text, passes == 1).size() <= text.size(), "a stamp is part of the block");
  return 0;
}
