#include "addresses/ExtractionMacros.h"

#include <algorithm>

#include "addresses/Extraction.h"
#include "core/TextUtil.h"

namespace kvl::macros {

namespace {
constexpr std::string_view kDefaultUrlPrefix = "http://";

bool OnlyBlanks(std::string_view text) {
  const CharClassSet blanks = TrimClassSet(" ");
  return std::all_of(text.begin(), text.end(), [&](char c) { return InClasses(blanks, c); });
}
}  // namespace

// An empty text argument stands for the message text.
std::string XtrEMLs(Call& call) {
  std::string text = call.textOr(1, "");
  if (text.empty()) text = call.item(items::kMessageText);
  return addresses::ExtractAddresses(text, call.textOr(2, "\r\n"));
}

// A text of blanks and control characters stands for the message text; an empty
// prefix is the default one (an empty one would match everywhere).
std::string XtrURLs(Call& call) {
  std::string text = call.textOr(1, "");
  if (OnlyBlanks(text)) text = call.item(items::kMessageText);
  std::string prefix = call.textOr(3, kDefaultUrlPrefix);
  if (prefix.empty()) prefix = kDefaultUrlPrefix;
  return addresses::ExtractUrls(text, call.textOr(2, "\r\n"), prefix);
}

}  // namespace kvl::macros
