#include "system/SystemInfo.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/Limits.h"
#include "core/Numbers.h"
#include "core/TextUtil.h"

namespace kvl {

namespace {

constexpr std::array<std::string_view, 35> kCodes{
    "$clv$", "$cmn$", "$cnr$", "$cns$", "$crv$", "$csp$", "$ctp$", "$cvn$", "$lhn$", "$lip$", "$maf$", "$map$",
    "$mav$", "$mml$", "$mtf$", "$mtp$", "$mtv$", "$osp$", "$pcn$", "$tdn$", "$tsn$", "$tzn$", "$usn$", "$wcn$",
    "$wvm$", "$wvs$", "$wvb$", "$wvc$", "$sed$", "$seh$", "$sen$", "$ses$", "$suh$", "$sun$", "$sus$"};

using Model = std::pair<std::string_view, std::string_view>;  // padded part of the name, model

// Later rows win, so the more specific name follows the general one.
constexpr std::array<Model, 10> kIntelModels{{{" celeron ", "Celeron"},
                                              {" celeron m ", "Celeron M"},
                                              {" pentium ", "Pentium"},
                                              {" pentium m ", "Pentium M"},
                                              {" pentium 2 ", "Pentium II"},
                                              {" pentium ii ", "Pentium II"},
                                              {" pentium 3 ", "Pentium III"},
                                              {" pentium iii ", "Pentium III"},
                                              {" pentium 4 ", "Pentium 4"},
                                              {" xeon ", "Xeon"}}};
constexpr std::array<Model, 7> kAmdModels{{{" athlon ", "Athlon"},
                                           {" athlon 64 ", "Athlon 64"},
                                           {" athlon 64 fx ", "Athlon 64 FX"},
                                           {" athlon mp ", "Athlon MP"},
                                           {" athlon xp ", "Athlon XP"},
                                           {" duron ", "Duron"},
                                           {" opteron ", "Opteron"}}};

// n / d rounded to the nearest whole number, halves to the even one (d > 0).
std::int64_t NearestQuotient(std::int64_t n, std::int64_t d) {
  const std::int64_t q = n / d;
  const std::int64_t twiceRest = 2 * (n % d);
  if (twiceRest > d || (twiceRest == d && q % 2 != 0)) return q + 1;
  if (-twiceRest > d || (-twiceRest == d && q % 2 != 0)) return q - 1;
  return q;
}

std::uint64_t NearestQuotient(std::uint64_t n, std::uint64_t d) {
  const std::uint64_t q = n / d;
  const std::uint64_t twiceRest = 2 * (n % d);
  return (twiceRest > d || (twiceRest == d && q % 2 != 0)) ? q + 1 : q;
}

constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute, kDay = 24 * kHour;

}  // namespace

std::span<const std::string_view> SysInfoCodes() { return kCodes; }

std::string ReplaceSysInfoCodes(std::string_view pattern,
                                const std::function<std::string(std::string_view code)>& valueOf) {
  std::string text(pattern);
  for (const std::string_view code : kCodes) {
    const std::string lowered = AsciiLowered(text);
    std::size_t at = FindText(lowered, code);
    if (at == std::string::npos) continue;
    const std::string value = valueOf(code);
    std::string replaced;
    replaced.reserve(text.size());
    std::size_t from = 0;
    for (; at != std::string::npos; at = FindText(lowered, code, from)) {
      EnsureResultFits(std::uint64_t{replaced.size()} + (at - from) + value.size());
      replaced.append(text, from, at - from);
      replaced.append(value);
      from = at + code.size();
    }
    replaced.append(text, from);
    text = std::move(replaced);
  }
  return text;
}

std::string ProcessorVendorName(std::string_view vendorIdentifier) {
  const std::string vendor = AsciiLowered(Trimmed(vendorIdentifier));
  if (vendor == "genuineintel") return "Intel";
  if (vendor == "authenticamd") return "AMD";
  return std::string(vendorIdentifier);
}

std::string ProcessorModelName(std::string_view vendor, std::string_view processorName) {
  std::span<const Model> models;
  if (vendor == "Intel") models = kIntelModels;
  if (vendor == "AMD") models = kAmdModels;
  std::string name(1, ' ');
  name.append(ReplaceAll(ReplaceAll(AsciiLowered(processorName), "(r)", ""), "(tm)", "")).push_back(' ');
  std::string_view model;
  for (const auto& [part, found] : models)
    if (FindText(name, part) != std::string::npos) model = found;
  return std::string(model);
}

std::string OsPlatformFamily(std::uint32_t platformId) {
  switch (platformId) {
    case 0: return "32s";
    case 1: return "9x";
    case 2: return "NT";
    default: return {};
  }
}

std::string OsCommonName(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                         std::string_view servicePack) {
  const std::string pack = AsciiLowered(Trimmed(servicePack));
  const char packLetter = pack.empty() ? '\0' : pack.back();
  if (platformId == 0) return "3.x";
  if (platformId == 1) {
    if (major != 4) return {};
    if (minor == 0) return packLetter == 'a' ? "95 A" : packLetter == 'b' ? "95 B" : "95";
    if (minor == 10) return packLetter == 'a' ? "98 SE" : "98";
    if (minor == 90) return "ME";
    return {};
  }
  if (platformId != 2) return {};
  switch (major) {
    case 3: return "NT 3.51";
    case 4: return "NT 4";
    case 5:
      if (minor == 0) return "2000";
      if (minor == 1) return build == 2257 ? "Whistler" : "XP";
      if (minor == 2) return build == 3790 ? "Server 2003 Web" : "Server 2003";
      return "NT 5";
    case 6: return minor == 0 ? "Longhorn" : "NT 6";
    default: return "NT";
  }
}

std::string MemoryMiB(std::uint64_t bytes) { return FormatInteger(NearestQuotient(bytes, 1024u * 1024u) + 1); }

// Each value rounds on its own, as the pattern's users know them; only the seconds
// part is held at 0 where rounding the whole seconds up crosses into the next minute
// (the minutes part already counts that minute, so "-1" would be shown otherwise).
std::string UptimeValue(std::string_view code, std::uint64_t milliseconds) {
  const std::int64_t t = static_cast<std::int64_t>(std::min<std::uint64_t>(milliseconds, std::uint64_t{1} << 62));
  const std::int64_t days = NearestQuotient(t, kHour) / 24;
  const std::int64_t hours = NearestQuotient(t, kMinute) / 60;
  if (code == "$sed$") return FormatInteger(days);
  if (code == "$seh$") return FormatInteger(hours);
  if (code == "$sen$") return FormatInteger(NearestQuotient(t, kSecond) / 60);
  if (code == "$ses$") return FormatInteger(t / kSecond);
  if (code == "$suh$") return FormatInteger(NearestQuotient(t - days * kDay, kMinute) / 60);
  if (code == "$sun$") return FormatInteger(NearestQuotient(t - hours * kHour, kSecond) / 60);
  if (code == "$sus$") return FormatInteger(std::max<std::int64_t>(0, t / kSecond - NearestQuotient(t, kSecond) / 60 * 60));
  return {};
}

Tone ToneFor(std::int32_t frequency, std::int32_t duration) {
  const std::uint32_t hertz = (frequency < 0 || frequency > 32767) ? 32767 : frequency <= 36 ? 37 : frequency;
  return Tone{hertz, static_cast<std::uint32_t>(std::clamp(duration, 0, kLongestToneMs))};
}

}  // namespace kvl
