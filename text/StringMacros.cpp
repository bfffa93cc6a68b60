#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "core/Errors.h"
#include "core/Limits.h"
#include "core/Numbers.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "text/TextMacros.h"

namespace kvl::macros {

namespace {
std::string Number(std::int64_t value) { return FormatInteger(value); }
}  // namespace

std::string StrLen(Call& call) { return Number(static_cast<std::int64_t>(call.text(1).size())); }

std::string StrLeft(Call& call) {
  const std::string text = call.text(1);
  const std::int32_t n = call.integer(2);
  return n <= 0 ? std::string() : text.substr(0, static_cast<std::size_t>(n));
}

std::string StrRight(Call& call) {
  const std::string text = call.text(1);
  const std::int32_t n = call.integer(2);
  if (n <= 0) return {};
  return static_cast<std::size_t>(n) >= text.size() ? text : text.substr(text.size() - static_cast<std::size_t>(n));
}

// A start below 1 counts as 1 without shortening the length; without a length the
// rest of the text.
std::string StrMid(Call& call) {
  const std::string text = call.text(1);
  const std::int64_t start = std::max<std::int64_t>(call.integer(2), 1);
  const std::optional<std::int32_t> length = call.integerIfGiven(3);
  if ((length && *length < 0) || start > static_cast<std::int64_t>(text.size())) return {};
  const std::size_t taken = length ? static_cast<std::size_t>(*length) : std::string::npos;
  return text.substr(static_cast<std::size_t>(start - 1), taken);
}

std::string StrPos(Call& call) {
  std::string text = call.text(1), part = call.text(2);
  if (part.empty()) return "0";
  if (call.flag(3)) text = AsciiLowered(text), part = AsciiLowered(part);
  const std::size_t found = FindText(text, part);
  return Number(found == std::string::npos ? 0 : static_cast<std::int64_t>(found) + 1);
}

std::string StrCount(Call& call) {
  std::string text = call.text(1), part = call.text(2);
  if (text.empty() || part.empty()) return "0";
  if (call.flag(3)) text = AsciiLowered(text), part = AsciiLowered(part);
  return Number(static_cast<std::int64_t>(CountOf(text, part)));
}

// A code outside 0-255 spoils the whole result.
std::string StrChar(Call& call) {
  std::string out;
  for (int n = 1; n <= call.count(); ++n) {
    const std::int32_t code = call.integer(n);
    if (code < 0 || code > 255) return std::string(ErrParamValue);
    out += static_cast<char>(code);
  }
  return out;
}

std::string StrC(Call& call) { return UnescapeText(call.text(1)); }

std::string StrCheck(Call& call) {
  const std::string classes = AsciiLowered(call.text(2));
  CharClassSet allowed = SetOfCharacters(call.textOr(3, ""));
  auto allow = [&](char first, char last) {
    for (int c = first; c <= last; ++c) allowed.set(static_cast<std::size_t>(c));
  };
  if (classes.find('l') != std::string::npos) allow('a', 'z');
  if (classes.find('u') != std::string::npos) allow('A', 'Z');
  if (classes.find('n') != std::string::npos) allow('0', '9');
  const std::string text = call.text(1);
  return std::all_of(text.begin(), text.end(), [&](char c) { return InClasses(allowed, c); }) ? "1" : "0";
}

std::string StrRev(Call& call) {
  std::string text = call.text(1);
  std::reverse(text.begin(), text.end());
  return text;
}

std::string StrDup(Call& call) {
  const std::string text = call.text(1);
  const std::int32_t n = call.integer(2);
  if (n <= 0 || text.empty()) return {};
  EnsureResultFits(static_cast<std::uint64_t>(text.size()) * static_cast<std::uint64_t>(n));
  std::string out;
  out.reserve(text.size() * static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) out += text;
  return out;
}

std::string StrWordCnt(Call& call) {
  static const std::array<bool, 256> kSeparator = [] {
    std::array<bool, 256> separator{};
    for (int c = 0; c <= 34; ++c) separator[c] = true;
    for (char c : std::string_view("(),./:;?[\\]{}")) separator[static_cast<unsigned char>(c)] = true;
    return separator;
  }();
  const std::string text = call.text(1);
  std::int64_t words = 0;
  bool inWord = false;
  for (char c : text) {
    const bool separator = kSeparator[static_cast<unsigned char>(c)];
    if (!separator && !inWord) ++words;
    inWord = !separator;
  }
  return Number(words);
}

// low >= high answers "0"; otherwise a draw from low to high, both included.
std::string Random(Call& call) {
  std::int64_t low = 1, high = 100;
  if (call.count() == 1) high = call.integer(1);
  if (call.count() == 2) low = call.integer(1), high = call.integer(2);
  if (low >= high) return "0";
  return Number(low + DrawRandom(static_cast<std::uint64_t>(high - low + 1)));
}

}  // namespace kvl::macros
