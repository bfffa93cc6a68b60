// Address and link extraction on texts and prefixes from the input: every piece is
// a piece of the text, links never share a character, and an address holds one "@".
#include <algorithm>
#include <cstdint>
#include <string>

#include "addresses/Extraction.h"
#include "tests/fuzz/FuzzCheck.h"

using kvlfuzz::Expect;

namespace {

// The pieces of a result joined by "\x01", a character the text does not hold.
template <typename Visit>
void ForEachPiece(const std::string& result, Visit&& visit) {
  if (result.empty()) return;
  std::size_t start = 0;
  for (std::size_t cut = result.find('\x01'); ; cut = result.find('\x01', start)) {
    visit(std::string_view(result).substr(start, cut == std::string::npos ? std::string::npos : cut - start));
    if (cut == std::string::npos) return;
    start = cut + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = kvlfuzz::Parts<2>(kvlfuzz::AsText(data, size));
  const std::string_view prefix = parts[1];
  std::string text(parts[0]);
  std::replace(text.begin(), text.end(), '\x01', '\x02');

  std::size_t total = 0;
  ForEachPiece(kvl::addresses::ExtractAddresses(text, "\x01"), [&](std::string_view piece) {
    Expect(text.find(piece) != std::string::npos, "an address comes from the text");
    Expect(std::count(piece.begin(), piece.end(), '@') == 1, "an address holds one @");
    total += piece.size();
  });
  Expect(total <= 2 * text.size(), "addresses share characters only around one @");

  total = 0;
  ForEachPiece(kvl::addresses::ExtractUrls(text, "\x01", prefix), [&](std::string_view piece) {
    Expect(!prefix.empty() && piece.size() >= prefix.size(), "a link holds its prefix");
    Expect(text.find(piece) != std::string::npos, "a link comes from the text");
    total += piece.size();
  });
  Expect(total <= text.size(), "links never share a character");
  return 0;
}
