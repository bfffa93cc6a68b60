// Address and link extraction on texts and prefixes from the input: every piece is
// a piece of the text, links never share a character, an address holds one "@" and
// does not end in ".", and a web link ends neither in sentence punctuation nor in a
// ")" without its "(".
// The walk over address domains keeps every byte it does not convert.
#include <algorithm>
#include <cstdint>
#include <string>

#include "addresses/Extraction.h"
#include "addresses/Idn.h"
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
    Expect(piece.back() != '.' && piece.size() - piece.find('@') > 5, "an address has a domain of five characters");
    total += piece.size();
  });
  Expect(total <= 2 * text.size(), "addresses share characters only around one @");

  total = 0;
  ForEachPiece(kvl::addresses::ExtractWebLinks(text, "\x01"), [&](std::string_view piece) {
    Expect(piece.find("://") != std::string_view::npos && text.find(piece) != std::string::npos,
           "a web link comes from the text and holds its scheme");
    Expect(std::string_view("?!.,:;*'").find(piece.back()) == std::string_view::npos,
           "a web link does not end in sentence punctuation");
    Expect(piece.back() != ')' || std::count(piece.begin(), piece.end(), ')') <= std::count(piece.begin(), piece.end(), '('),
           "a web link's final ) has its (");
    total += piece.size();
  });
  Expect(total <= text.size(), "web links never share a character");

  total = 0;
  ForEachPiece(kvl::addresses::ExtractUrls(text, "\x01", prefix), [&](std::string_view piece) {
    Expect(!prefix.empty() && piece.size() >= prefix.size(), "a link holds its prefix");
    Expect(text.find(piece) != std::string::npos, "a link comes from the text");
    total += piece.size();
  });
  Expect(total <= text.size(), "links never share a character");

  // The prefix's bytes of 0x80 and above serve as lead bytes of two-byte characters.
  std::bitset<256> leadBytes;
  for (char c : prefix)
    if (static_cast<unsigned char>(c) >= 0x80) leadBytes.set(static_cast<unsigned char>(c));
  const auto same = [](std::string_view domain) { return std::string(domain); };
  Expect(kvl::addresses::ConvertDomainsWith(text, same, leadBytes) == text, "unchanged domains leave the text as it was");
  std::size_t converted = 0;
  const auto bracketed = [&](std::string_view domain) {
    Expect(!domain.empty(), "a domain is not empty");
    if (domain[0] == 'x') return std::string();  // a conversion that fails
    ++converted;
    return std::string("[").append(domain).append("]");
  };
  Expect(kvl::addresses::ConvertDomainsWith(text, bracketed, leadBytes).size() == text.size() + 2 * converted,
         "each conversion replaces its domain, nothing else");
  return 0;
}
