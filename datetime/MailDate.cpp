#include "datetime/MailDate.h"

#include <array>
#include <optional>
#include <string>

#include "core/TextUtil.h"

namespace kvl::datetime {

namespace {
struct ZoneName {
  std::string_view name;
  std::int32_t minutes;
};

constexpr std::array<ZoneName, 75> kZones{{
    {"nzdt", 780},  {"nzt", 720},   {"nzst", 720},  {"idle", 720},  {"usz10", 660}, {"aedt", 660},
    {"cadt", 630},  {"sadt", 630},  {"aest", 600},  {"usz9", 600},  {"jdt", 600},   {"east", 600},
    {"sast", 570},  {"kst", 540},   {"usz8", 540},  {"jst", 540},   {"cct", 480},   {"usz7", 480},
    {"wst", 480},   {"wadt", 480},  {"west", 480},  {"jt", 450},    {"sst", 420},   {"wast", 420},
    {"usz5", 360},  {"ist", 330},   {"usz4", 300},  {"usz3", 240},  {"it", 210},    {"ba.t", 180},
    {"bt", 180},    {"usz2", 180},  {"cest", 120},  {"eet", 120},   {"mesz", 120},  {"mest", 120},
    {"usz1", 120},  {"fst", 120},   {"cet", 60},    {"met", 60},    {"mez", 60},    {"mewt", 60},
    {"swt", 60},    {"fwt", 60},    {"wat", -60},   {"at", -120},   {"adt", -180},  {"bst", -180},
    {"gst", -180},  {"bzt2", -180}, {"nst", -210},  {"ast", -240},  {"edt", -240},  {"ewt", -240},
    {"est", -300},  {"cdt", -300},  {"cwt", -300},  {"cst", -360},  {"mdt", -360},  {"mwt", -360},
    {"mst", -420},  {"pwt", -420},  {"pdt", -420},  {"ahdt", -480}, {"pst", -480},  {"yst", -540},
    {"hdt", -540},  {"ahst", -600}, {"hst", -600},  {"bdt", -600},  {"cat", -600},  {"be.t", -660},
    {"nt", -660},   {"idl", -720},  {"idlw", -720},
}};

constexpr std::array<std::string_view, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};

// A signed decimal number and nothing else; at most nine digits, so it always fits.
std::optional<int> ReadDecimal(std::string_view text) {
  std::size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  if (at == text.size() || text.size() - at > 9) return std::nullopt;
  int value = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
    value = value * 10 + (text[at] - '0');
  }
  return negative ? -value : value;
}

std::optional<int> ReadInRange(std::string_view text, int low, int high) {
  const std::optional<int> value = ReadDecimal(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Takes the next word (up to the first blank, trimmed) off the front of `text`,
// which keeps the trimmed rest.
std::string_view NextWord(std::string_view& text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) {
    const std::string_view word = Trimmed(text);
    text = {};
    return word;
  }
  const std::string_view word = Trimmed(text.substr(0, blank));
  text = Trimmed(text.substr(blank));
  return word;
}

std::optional<DateTimeValue> ReadMailDate(std::string_view text, std::int32_t& zone) {
  if (const std::size_t blank = text.find(' '); blank != std::string_view::npos &&
                                                !ReadDecimal(Trimmed(text.substr(0, blank))))
    text = Trimmed(text.substr(blank));  // a day name, in whatever language
  const std::optional<int> day = ReadInRange(NextWord(text), 1, 31);
  const std::string_view monthWord = NextWord(text);
  int month = 0;
  for (std::size_t n = 0; n < kMonths.size(); ++n)
    if (monthWord == kMonths[n]) month = static_cast<int>(n) + 1;
  const std::optional<int> year = ReadInRange(NextWord(text), 1000, 9999);
  if (!day || month == 0 || !year) return std::nullopt;

  const std::size_t colon1 = text.find(':');
  if (colon1 == std::string_view::npos) return std::nullopt;
  const std::size_t colon2 = text.find(':', colon1 + 1);
  if (colon2 == std::string_view::npos) return std::nullopt;
  const std::size_t blank = text.find(' ', colon2 + 1);
  if (blank == std::string_view::npos) return std::nullopt;  // seconds must be followed by a blank
  const std::optional<int> hour = ReadInRange(Trimmed(text.substr(0, colon1)), 0, 23);
  const std::optional<int> minute = ReadInRange(text.substr(colon1 + 1, colon2 - colon1 - 1), 0, 59);
  const std::optional<int> second = ReadInRange(text.substr(colon2 + 1, blank - colon2 - 1), 0, 59);
  if (!hour || !minute || !second) return std::nullopt;
  // A day the month does not have (31 April) makes the whole date unreadable.
  const std::optional<DateTimeValue> value = EncodeDateTime({*year, month, *day}, {*hour, *minute, *second, 0});
  if (value) zone = ZoneOffsetMinutes(text.substr(blank));
  return value;
}
}  // namespace

DateTimeValue ParseMailDate(std::string_view text, std::int32_t& zone) {
  const std::string lowered = AsciiLowered(Trimmed(text));
  return ReadMailDate(lowered, zone).value_or(0.0);
}

std::int32_t ZoneOffsetMinutes(std::string_view text) {
  const std::string lowered = AsciiLowered(Trimmed(text));
  std::string_view zone = lowered;
  if (!zone.empty() && (zone[0] == '+' || zone[0] == '-')) {
    if (zone.size() < 5 || !IsDigits(zone.substr(1, 2)) || !IsDigits(zone.substr(3, 2))) return 0;
    const std::int32_t minutes = *ReadDecimal(zone.substr(1, 2)) * 60 + *ReadDecimal(zone.substr(3, 2));
    return zone[0] == '-' ? -minutes : minutes;
  }
  if (!zone.empty() && zone[0] == '(') zone.remove_prefix(1);
  zone = zone.substr(0, zone.find(')'));
  for (const ZoneName& entry : kZones)
    if (entry.name == zone) return entry.minutes;
  return 0;
}

}  // namespace kvl::datetime
