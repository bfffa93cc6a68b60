#include "datetime/DateFormat.h"

#include <array>
#include <cstdlib>

#include "core/TextUtil.h"

namespace kvl::datetime {

namespace {
constexpr char kSlashMarker = '\x01';

struct LocalePrefix {
  std::string_view letters;
  std::uint32_t lcid;
};

constexpr std::array<LocalePrefix, 36> kLocalePrefixes{{
    {"AM", 1033}, {"AT", 3079}, {"BF", 2067}, {"BR", 2057}, {"CZ", 1029}, {"DA", 1030},
    {"EA", 3081}, {"EC", 4105}, {"EI", 6153}, {"EZ", 5129}, {"FB", 2060}, {"FC", 3084},
    {"FI", 1035}, {"FR", 1036}, {"FS", 4108}, {"GE", 1031}, {"GR", 1032}, {"GS", 2055},
    {"HU", 1038}, {"IC", 1039}, {"IS", 2064}, {"IT", 1040}, {"NL", 1043}, {"NN", 2068},
    {"NO", 1044}, {"PB", 1046}, {"PL", 1045}, {"PT", 2070}, {"RU", 1049}, {"SK", 1051},
    {"SM", 2058}, {"SN", 3082}, {"SP", 1034}, {"SW", 1053}, {"TK", 1055}, {"XX", 0},
}};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
  return at <= text.size() && EqualsIgnoringAsciiCase(text.substr(at, word.size()), word);
}

std::size_t AmPmCodeLength(std::string_view pattern, std::size_t at) {
  if (StartsWithIgnoringCase(pattern, at, "am/pm")) return 5;
  if (StartsWithIgnoringCase(pattern, at, "a/p")) return 3;
  if (StartsWithIgnoringCase(pattern, at, "ampm")) return 4;
  return 0;
}

// An hour code counts on the 12-hour clock when an am/pm code follows before the next
// hour code; quoted text does not count. The search ends at that next hour code, so
// the searches of one pattern never overlap.
bool TwelveHourClock(std::string_view pattern, std::size_t from) {
  for (std::size_t at = from; at < pattern.size();) {
    const char c = pattern[at];
    if (c == '\'' || c == '"') {
      const std::size_t close = pattern.find(c, at + 1);
      if (close == std::string_view::npos) return false;
      at = close + 1;
      continue;
    }
    if (c == 'h' || c == 'H') return false;
    if ((c == 'a' || c == 'A') && AmPmCodeLength(pattern, at) != 0) return true;
    ++at;
  }
  return false;
}

class Renderer {
 public:
  Renderer(const DateTimeParts& parts, const DateLocale& locale) : parts_(parts), locale_(locale) {}

  std::string take() { return std::move(out_); }

  void render(std::string_view pattern, int depth) {
    char lastLetter = 0;
    std::size_t at = 0;
    while (at < pattern.size() && !full()) {
      const char c = pattern[at];
      if (c == '\'' || c == '"') {
        const std::size_t close = pattern.find(c, at + 1);
        put(pattern.substr(at + 1, close == std::string_view::npos ? std::string_view::npos : close - at - 1));
        at = close == std::string_view::npos ? pattern.size() : close + 1;
        continue;
      }
      if (!IsAsciiLetter(c)) {
        if (c == '/')
          put(locale_.texts.dateSeparator);
        else if (c == ':')
          put(locale_.texts.timeSeparator);
        else
          put(std::string_view(&c, 1));
        ++at;
        continue;
      }
      const char letter = AsciiUpper(c);
      if (letter == 'A') {
        at += renderA(pattern, at);
        lastLetter = 'A';
        continue;
      }
      std::size_t run = 1;
      while (at + run < pattern.size() && AsciiUpper(pattern[at + run]) == letter) ++run;
      lastLetter = renderCode(letter, run, lastLetter, pattern, at, depth);
      at += run;
    }
  }

 private:
  bool full() const { return out_.size() >= kRenderedMost; }

  void put(std::string_view text) {
    if (!full()) out_.append(text.substr(0, kRenderedMost - out_.size()));
  }

  void putNumber(long long value, int digits) {
    std::string text = std::to_string(std::llabs(value));
    if (text.size() < static_cast<std::size_t>(digits)) text.insert(0, digits - text.size(), '0');
    if (value < 0) text.insert(0, 1, '-');
    put(text);
  }

  void expand(std::string_view format, int depth) {
    if (depth < 2) render(format, depth + 1);
  }

  // Renders the code at `at` (a run of one letter) and answers the letter it counts as.
  char renderCode(char letter, std::size_t run, char lastLetter, std::string_view pattern, std::size_t at, int depth) {
    const CivilDate& date = parts_.date;
    const CivilTime& time = parts_.time;
    const LocaleTexts& texts = locale_.texts;
    switch (letter) {
      case 'D':
        if (run <= 2) putNumber(date.day, static_cast<int>(run));
        if (run == 3) put(texts.dayAbbreviations[parts_.dayOfWeek - 1]);
        if (run == 4) put(texts.dayNames[parts_.dayOfWeek - 1]);
        if (run == 5) expand(locale_.shortDateFormat, depth);
        if (run >= 6) expand(locale_.longDateFormat, depth);
        return letter;
      case 'M':
        if (run <= 2 && lastLetter == 'H') {
          putNumber(time.minute, static_cast<int>(run));
          return 'N';
        }
        if (run <= 2) putNumber(date.month, static_cast<int>(run));
        if (run == 3) put(texts.monthAbbreviations[date.month - 1]);
        if (run >= 4) put(texts.monthNames[date.month - 1]);
        return letter;
      case 'Y':
        if (run <= 2)
          putNumber(((date.year % 100) + 100) % 100, 2);
        else
          putNumber(date.year, 4);
        return letter;
      case 'H': {
        int hour = time.hour;
        if (TwelveHourClock(pattern, at + run)) hour = hour % 12 == 0 ? 12 : hour % 12;
        putNumber(hour, run >= 2 ? 2 : 1);
        return letter;
      }
      case 'N': putNumber(time.minute, run >= 2 ? 2 : 1); return letter;
      case 'S': putNumber(time.second, run >= 2 ? 2 : 1); return letter;
      case 'Z': putNumber(time.millisecond, run >= 3 ? 3 : static_cast<int>(run)); return letter;
      case 'T': expand(run == 1 ? locale_.shortTimeFormat : locale_.longTimeFormat, depth); return letter;
      case 'C':
        expand(locale_.shortDateFormat, depth);
        if (parts_.millisecondOfDay != 0) {
          put(" ");
          expand(locale_.longTimeFormat, depth);
        }
        return letter;
      case 'G': put(run == 1 ? texts.eraAbbreviation : texts.eraName); return letter;
      case 'E': putNumber(date.year, run >= 2 ? 2 : 1); return letter;
      default: put(pattern.substr(at, run)); return letter;
    }
  }

  // The a-codes; answers how many pattern characters were used.
  std::size_t renderA(std::string_view pattern, std::size_t at) {
    const bool afternoon = parts_.time.hour >= 12;
    switch (AmPmCodeLength(pattern, at)) {
      case 5: put(pattern.substr(at + (afternoon ? 3 : 0), 2)); return 5;
      case 3: put(pattern.substr(at + (afternoon ? 2 : 0), 1)); return 3;
      case 4: put(afternoon ? locale_.texts.pmDesignator : locale_.texts.amDesignator); return 4;
      default: break;
    }
    if (StartsWithIgnoringCase(pattern, at, "aaaa")) {
      put(locale_.texts.dayNames[parts_.dayOfWeek - 1]);
      return 4;
    }
    if (StartsWithIgnoringCase(pattern, at, "aaa")) {
      put(locale_.texts.dayAbbreviations[parts_.dayOfWeek - 1]);
      return 3;
    }
    put(pattern.substr(at, 1));
    return 1;
  }

  const DateTimeParts& parts_;
  const DateLocale& locale_;
  std::string out_;
};
}  // namespace

std::uint32_t LocalePrefixId(std::string_view letters) {
  for (const LocalePrefix& prefix : kLocalePrefixes)
    if (EqualsIgnoringAsciiCase(prefix.letters, letters)) return prefix.lcid;
  return kUserDefaultLocale;
}

std::string RenderDateTime(const DateTimeParts& parts, std::string_view pattern, const DateLocale& locale) {
  Renderer renderer(parts, locale);
  renderer.render(pattern, 0);
  return renderer.take();
}

std::string ExpandDateTokens(std::string_view text, CivilDate date) {
  if (text.find("ww") == std::string_view::npos && text.find('x') == std::string_view::npos) return std::string(text);
  std::string out = ReplaceAll(text, "www", std::to_string(IsoWeek(date)));
  out = ReplaceAll(out, "ww", std::to_string(WeekOfMonth(date)));
  return ReplaceAll(out, "x", std::to_string(DayOfYear(date)));
}

std::string OffsetText(std::int64_t minutesEast) {
  const std::int64_t minutes = std::llabs(minutesEast);
  std::string text(1, minutesEast < 0 ? '-' : '+');
  for (const std::int64_t n : {(minutes / 60) % 24, minutes % 60}) {
    text += static_cast<char>('0' + n / 10);
    text += static_cast<char>('0' + n % 10);
  }
  return text;
}

std::string ZoneToken(std::string_view text, std::int32_t zone) {
  if (text.find_first_of("bB") == std::string_view::npos) return std::string(text);
  const std::string token = OffsetText(zone);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t at = 0; at < text.size();) {
    if (StartsWithIgnoringCase(text, at, "bbbb")) {
      out += token;
      at += 4;
    } else {
      out += text[at++];
    }
  }
  return out;
}

std::string FormatDateTimeText(DateTimeValue value, std::string_view pattern, PostPasses passes, std::int32_t zone) {
  const std::string marked = pattern.find("//") == std::string_view::npos
                                 ? std::string(pattern)
                                 : ReplaceAll(pattern, "//", std::string_view(&kSlashMarker, 1));
  std::string_view body = marked;
  std::uint32_t lcid = kUserDefaultLocale;
  if (body.size() >= 3 && body[2] == '$') {
    lcid = LocalePrefixId(body.substr(0, 2));
    body.remove_prefix(3);
  }
  const DateTimeParts parts = Decode(value);
  std::string text = RenderDateTime(parts, body.empty() ? std::string_view("c") : body, LocaleData(lcid));
  if (passes == PostPasses::DateAndZoneTokens) text = ZoneToken(text, zone);
  if (passes != PostPasses::None) text = ExpandDateTokens(text, parts.date);
  for (char& c : text)
    if (c == kSlashMarker) c = '/';
  return text;
}

}  // namespace kvl::datetime
