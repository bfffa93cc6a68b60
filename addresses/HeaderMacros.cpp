#include "addresses/HeaderMacros.h"

#include <algorithm>

#include "addresses/Headers.h"
#include "core/Errors.h"
#include "core/HostText.h"
#include "core/Limits.h"
#include "core/Numbers.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "system/Registry.h"

namespace kvl::macros {

namespace {
// Entries of the country-language table that are walked at most: every entry is one INI
// lookup (about 60 us under Wine), so a mistyped ItemCount costs under a second.
constexpr std::int32_t kMaxLanguageEntries = 10000;

// Trimmed and lowered by the user's locale, so that country names outside ASCII compare.
std::string Folded(std::string_view text) { return AnsiLowered(Trimmed(text)); }

// The list as "|a|b|", lowered like the values it is searched for.
std::string Wrapped(std::string_view list) {
  std::string wrapped = "|";
  wrapped.append(AnsiLowered(list)).append("|");
  return wrapped;
}

// The host's answer for the correspondent, or the business one when that is empty.
std::string CorrespondentCountry(Call& call) {
  std::string country = Folded(call.process("%ABToCountry"));
  return country.empty() ? Folded(call.process("%ABToBusCountry")) : country;
}

// Whether the entry's pattern matches the message text, asked of the host's regex macros.
bool PatternMatchesText(Call& call, std::string_view pattern) {
  return !call.process("%SETPATTREGEXP=" + HostQuoted(pattern) + "%REGEXPBLINDMATCH=%TEXT%SUBPATT=\"0\"").empty();
}
}  // namespace

std::string MsgID(Call& call) {
  const std::int32_t mode = call.integerOr(1, 0);
  switch (mode) {
    case 0:
    case 1: {
      const std::string id = call.item(items::kMessageId);
      if (id.size() < 3) return "";
      const std::string bare = id.substr(1, id.size() - 2);  // without the angle brackets
      return mode == 0 ? "mid:" + bare : bare;
    }
    case 2: return call.item(items::kReferences);
    case 3: return call.item(items::kInReplyTo);
    default: return std::string(ErrParamValue);
  }
}

std::string HdrMailer(Call& call) {
  return addresses::MailerName(call.item(items::kHeaderBlock)).value_or(call.textOr(1, ""));
}

// A blank name asks the address book first, then takes the first word of the correspondent's name.
std::string Gender(Call& call) {
  std::string name = call.textOr(1, "");
  if (TrimClasses(name, " ").empty()) {
    std::string answer = call.process("%ABToGender");
    if (!Trimmed(answer).empty()) return answer;
    name = FieldAt(call.item(items::kCorrespondentName), " ", 1);
    std::erase(name, '"');
  }
  return std::string(1, addresses::GuessGender(name));
}

std::string Sig(Call&) { return "-- "; }

// A file that exists but cannot be read lists no account, as a missing one does.
std::string Accounts(Call& call) {
  std::int32_t kind = call.integerOr(1, 0);
  if (kind > 2) kind = 0;
  const std::string separator = call.textOr(2, "\r\n");
  const std::string path = HostWorkingFolder() + "AccOrder.CFG";
  if (!FileExists(path)) return "";
  std::string content;
  // No name list can be longer than the file, so a file past the result cap is refused while reading.
  const auto append = [&content](std::string_view block) {
    EnsureResultFits(std::uint64_t(content.size()) + block.size());
    content.append(block);
    return true;
  };
  if (!ReadFileInBlocks(path, 64 * 1024, append)) return "";
  return addresses::AccountNames(content, kind, separator);
}

std::string GetLang(Call& call) {
  const std::string country = CorrespondentCountry(call);
  const std::string headers = addresses::UnfoldHeaderBlock(call.process("%HEADERS"));
  const std::string xLanguage = Folded(addresses::HeaderValue(headers, "X-Language"));
  const std::string contentLanguage = Folded(addresses::HeaderValue(headers, "Content-Language"));
  const std::string acceptLanguage = Folded(addresses::HeaderValue(headers, "X-Accept-Language"));

  const std::string ini = Plugin().folder + "KVL.ini";
  const std::int32_t count =
      std::min(ReadIntegerOr(IniReadString(ini, "CountryLanguage", "ItemCount", "0"), 0), kMaxLanguageEntries);
  std::string result;
  for (std::int32_t i = 1; i <= count; ++i) {
    const std::string entry = IniReadString(ini, "CountryLanguage", "Item" + FormatInteger(i), "");
    const std::string entryResult = FieldAt(entry, "#", 1);
    const std::string languages = Wrapped(FieldAt(entry, "#", 3));
    if (addresses::Listed(languages, xLanguage) || addresses::Listed(languages, contentLanguage)) return entryResult;
    if (addresses::AnyCodeListed(languages, acceptLanguage)) result = entryResult;
    // An earlier entry's pattern match ends the walk here too.
    if (!result.empty()) return result;
    if (addresses::Listed(Wrapped(FieldAt(entry, "#", 2)), country)) return entryResult;
    // An empty pattern's whole match is empty: it never gives a result, so the host is not asked.
    const std::string pattern = FieldAt(entry, "#", 4);
    if (!pattern.empty() && PatternMatchesText(call, pattern)) result = entryResult;
  }
  return result;
}

}  // namespace kvl::macros
