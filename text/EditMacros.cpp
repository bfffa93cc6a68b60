#include <algorithm>
#include <cstdint>

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "text/Editing.h"
#include "text/TextMacros.h"

namespace kvl::macros {

namespace {
// Overlays the piece at the left, right or middle; the text keeps its length.
std::string Overlay(std::string_view text, std::string_view piece, char mode) {
  if (piece.size() > text.size()) return std::string(piece);
  const std::size_t free = text.size() - piece.size();
  std::size_t left = 0;
  switch (mode) {
    case 'L': left = 0; break;
    case 'R': left = free; break;
    case 'M': left = free / 2; break;
    default: left = (free + 1) / 2; break;  // 'N'
  }
  std::string out(text.substr(0, left));
  out.append(piece).append(text.substr(left + piece.size()));
  return out;
}
}  // namespace

// Argument 3 names an overlay mode (L, R, M, N) or is a position; argument 4 counts
// the characters the piece replaces there.
std::string StrIns(Call& call) {
  const std::string text = call.text(1), piece = call.text(2);
  const std::string mode = call.textOr(3, "");
  for (char letter : {'L', 'R', 'M', 'N'})
    if (mode.find(letter) != std::string::npos) return Overlay(text, piece, letter);
  const std::int64_t position = call.integerOr(3, 1);
  const std::int64_t replaced = call.integerOr(4, 0);
  const auto length = static_cast<std::int64_t>(text.size());
  std::string out = position <= 1 ? std::string() : text.substr(0, static_cast<std::size_t>(std::min(position - 1, length)));
  out += piece;
  const std::int64_t rest = std::max<std::int64_t>(position + replaced, 1);
  if (rest <= length) out.append(text, static_cast<std::size_t>(rest - 1));
  return out;
}

// Ignore-case replaces through the locale's upper case; the repeat test folds ASCII
// only. Repetition ends as ReplaceRepeatedly describes.
std::string StrRepl(Call& call) {
  const TextBuffer text = call.textBuffer(1);
  const std::string search = call.text(2), replacement = call.text(3);
  const bool ignoreCase = call.flag(4);
  const CaseMap fold = ignoreCase ? AnsiUppered : nullptr;
  if (!call.flag(5)) return ReplaceAll(text.view(), search, replacement, fold);
  return ReplaceRepeatedly(text.view(), search, replacement, fold, ignoreCase ? AsciiLowered : nullptr);
}

std::string StrTr(Call& call) {
  const std::string from = UnescapeText(call.text(2));
  const std::string to = UnescapeText(call.textOr(3, ""));
  const std::string options = call.textOr(4, "");
  const bool lower = options.find('L') != std::string::npos;
  const bool deleteMode = options.find('D') != std::string::npos || TrimClasses(to, " ").empty();
  if (!deleteMode && from.size() > to.size()) return std::string(ErrParamValue);
  return TranslateChars(call.text(1), from, to, deleteMode, lower);
}

std::string StrTrim(Call& call) {
  const std::string text = call.text(1);
  const std::string side = AsciiLowered(call.textOr(2, ""));
  const std::string classes = call.textOr(3, " ");
  if (side == "l") return TrimLeftClasses(text, classes);
  if (side == "r") return TrimRightClasses(text, classes);
  return TrimClasses(text, classes);
}

std::string StrWrap(Call& call) {
  std::int64_t width = call.integerOr(2, 70);
  if (width == 0) width = 70;
  const std::string alignment = AsciiLowered(Trimmed(call.textOr(3, "")));
  Alignment how = Alignment::Left;
  if (alignment == "r") how = Alignment::Right;
  if (alignment == "c") how = Alignment::Centre;
  if (alignment == "j") how = Alignment::Justify;
  return WrapAndAlign(call.text(1), width, how);
}

std::string Rot13(Call& call) { return kvl::Rot13(call.textBuffer(1).view()); }

}  // namespace kvl::macros
