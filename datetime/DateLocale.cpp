#include "datetime/DateLocale.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace kvl::datetime {

namespace {
// Literal text in double quotes; a double quote itself in single quotes.
void AppendLiteral(std::string& out, std::string_view literal) {
  if (literal.empty()) return;
  out += '"';
  for (const char c : literal) {
    if (c == '"')
      out += "\"'\"'\"";
    else
      out += c;
  }
  out += '"';
}

// Calls visit(letter, run length) for each run of a picture letter and
// literal(text) for everything else, quoted text of the picture included.
template <typename Code, typename Literal>
void WalkPicture(std::string_view picture, Code&& code, Literal&& literal) {
  std::size_t at = 0;
  while (at < picture.size()) {
    const char c = picture[at];
    if (c == '\'') {
      std::string text;
      ++at;
      while (at < picture.size()) {
        if (picture[at] == '\'') {
          if (at + 1 < picture.size() && picture[at + 1] == '\'') {
            text += '\'';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        text += picture[at++];
      }
      literal(text);
      continue;
    }
    std::size_t run = 1;
    while (at + run < picture.size() && picture[at + run] == c) ++run;
    if (std::string_view("dMyghHmst").find(c) != std::string_view::npos)
      code(c, run);
    else
      literal(picture.substr(at, run));
    at += run;
  }
}
}  // namespace

std::string PictureToFormat(std::string_view picture) {
  std::string out;
  std::string literal;
  WalkPicture(
      picture,
      [&](char c, std::size_t run) {
        AppendLiteral(out, literal);
        literal.clear();
        switch (c) {
          case 'd': out.append(std::min<std::size_t>(run, 4), 'd'); break;
          case 'M': out.append(std::min<std::size_t>(run, 4), 'm'); break;
          case 'y': out += run <= 2 ? "yy" : "yyyy"; break;
          case 'g': out += "gg"; break;
          case 'h':
          case 'H': out += run >= 2 ? "hh" : "h"; break;
          case 'm': out += run >= 2 ? "nn" : "n"; break;
          case 's': out += run >= 2 ? "ss" : "s"; break;
          default: out += "ampm"; break;  // 't'
        }
      },
      [&](std::string_view text) { literal += text; });
  AppendLiteral(out, literal);
  return out;
}

DateOrder OrderOfPicture(std::string_view shortDatePicture) {
  std::optional<DateOrder> order;
  WalkPicture(
      shortDatePicture,
      [&](char c, std::size_t) {
        if (order) return;
        if (c == 'd') order = DateOrder::DayMonthYear;
        if (c == 'M') order = DateOrder::MonthDayYear;
        if (c == 'y') order = DateOrder::YearMonthDay;
      },
      [](std::string_view) {});
  return order.value_or(DateOrder::MonthDayYear);
}

const DateLocale& LocaleData(std::uint32_t lcid) {
  static std::mutex guard;
  static std::map<std::uint32_t, std::unique_ptr<const DateLocale>> cache;
  const std::lock_guard lock(guard);
  std::unique_ptr<const DateLocale>& entry = cache[lcid];
  if (!entry) {
    DateLocale locale;
    locale.texts = ReadLocaleTexts(lcid);
    locale.shortDateFormat = PictureToFormat(locale.texts.shortDatePicture);
    locale.longDateFormat = PictureToFormat(locale.texts.longDatePicture);
    locale.shortTimeFormat = PictureToFormat(locale.texts.shortTimePicture);
    locale.longTimeFormat = PictureToFormat(locale.texts.longTimePicture);
    locale.order = OrderOfPicture(locale.texts.shortDatePicture);
    entry = std::make_unique<const DateLocale>(std::move(locale));
  }
  return *entry;
}

}  // namespace kvl::datetime
