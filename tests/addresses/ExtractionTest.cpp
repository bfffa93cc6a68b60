// Address and link extraction, and the walk over the domains of addresses: the ends
// of the walks and time linear in the text.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "addresses/Extraction.h"
#include "addresses/Idn.h"

namespace {

using kvl::addresses::ConvertDomainsWith;
using kvl::addresses::ExtractAddresses;
using kvl::addresses::ExtractUrls;
using kvl::addresses::ExtractWebLinks;

struct Case {
  std::string_view text, found;
};

// NUL characters are ordinary non-address, non-URL characters; 8-bit letters too.
TEST(Extraction, WalksStopAtNulAndAtTheEndOfTheText) {
  EXPECT_EQ(ExtractAddresses(std::string("ab\0c@cd.ef\0gh", 13), ","), "c@cd.ef");
  EXPECT_EQ(ExtractAddresses("\xC4nna@cd.ef_g-h", ","), "nna@cd.ef_g-h");
  EXPECT_EQ(ExtractUrls(std::string("a\0bhttp://a\0b", 13), ",", "http://"), "bhttp://a");
  EXPECT_EQ(ExtractUrls("http://", ",", "http://"), "http://");
  EXPECT_EQ(ExtractUrls("anything", ",", ""), "");
}

// Letters, digits, ".", "_", "-" and "+" on both sides; the dots at the right end are
// left out before the domain is measured (five characters, two after its last ".").
TEST(ExtractAddresses, CharactersAndTheDomainRule) {
  const Case cases[] = {
      {"Write to john2smith@example.com or anna@web4you.de.", "john2smith@example.com,anna@web4you.de"},
      {"a+news@example.org", "a+news@example.org"}, {"(info@shop24.com)", "info@shop24.com"},
      {"tom@example.org... and 1@22.33", "tom@example.org,1@22.33"}, {"x@y.z", ""}, {"a@ b.cd", ""},
      {"a@b.cde.", "a@b.cde"}, {"a@b.cd.", ""}, {"a@bcd.e.", ""}, {"a@....", ""},
      {"+_.-@A-B_C.DE.", "+_.-@A-B_C.DE"}, {"a@b@cc.de", "b@cc.de"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractAddresses(c.text, ","), c.found) << c.text;
}

// After the prefix a link takes paths, fragments and parentheses; punctuation that
// ends a sentence goes, and a final ")" while the link has more ")" than "(", but
// never a character of the prefix.
TEST(ExtractUrls, LinkCharactersAndEnds) {
  const Case webLinks[] = {
      {"(see https://example.com/x)", "https://example.com/x"},
      {"https://en.wikipedia.org/wiki/Mercury_(planet)", "https://en.wikipedia.org/wiki/Mercury_(planet)"},
      {"https://example.com/a.", "https://example.com/a"},
      {"https://example.com/~anna/?q=1#top", "https://example.com/~anna/?q=1#top"},
      {"https://e.com/a#b~c+d@e!f*g,h;i'j", "https://e.com/a#b~c+d@e!f*g,h;i'j"},
      {"'https://e.com/a?!.,:;*''", "https://e.com/a"}, {"https://e.com/(a)).", "https://e.com/(a)"},
      {"https://e.com/(a).)", "https://e.com/(a)"}, {"((https://e.com/a))", "https://e.com/a"},
      {"https://e.com/a(", "https://e.com/a("}, {"https://. http://)", "https://,http://"},
      {"<https://a.b>, \"http://c.d/\" [https://e.f]", "https://a.b,http://c.d/,https://e.f"},
      {"http://a.b https://c.d hTTPS://e.f HTTP://g.h", "http://a.b,https://c.d,hTTPS://e.f,HTTP://g.h"},
      {"httphttps://a.b", "httphttps://a.b"}, {"http:/x https:x httpsx https//x http", ""},
  };
  for (const Case& c : webLinks) EXPECT_EQ(ExtractWebLinks(c.text, ","), c.found) << c.text;
  EXPECT_EQ(ExtractUrls("http://a.b https://c.d.", ",", "https://"), "https://c.d");
  EXPECT_EQ(ExtractUrls("(see #go1#go2)", ",", "#go"), "#go1#go2");
  EXPECT_EQ(ExtractUrls("at www. and www.", ",", "www."), "www.,www.");
  // The punctuation a link dropped is not searched again.
  EXPECT_EQ(ExtractUrls("x... .", ",", "."), "x.,.");
}

// Overlapping beginnings of the prefix: the search does not skip past a match.
TEST(ExtractUrls, PrefixesWithRepeatedBeginnings) {
  EXPECT_EQ(ExtractUrls("<<<x>", ",", "<<x"), "<<x");
  EXPECT_EQ(ExtractUrls("a<a<a<b", ",", "a<a<b"), "a<a<b");
}

std::string Bracketed(std::string_view domain) { return std::string("[").append(domain).append("]"); }

// A domain runs to the first of its end characters; tabs and line breaks are not
// among them. What a conversion answers is not searched again.
TEST(ConvertDomains, DomainEndsAndTheWalkAfterAConversion) {
  for (char end : std::string("> ,<:/\\()\"*#;[]{}|"))
    EXPECT_EQ(ConvertDomainsWith(std::string("a@b.c") + end + "d", Bracketed), std::string("a@[b.c]") + end + "d") << end;
  EXPECT_EQ(ConvertDomainsWith("a@b\tc\r\nd e", Bracketed), "a@[b\tc\r\nd] e");
  EXPECT_EQ(ConvertDomainsWith("a@@b.de@", Bracketed), "a@@[b.de]@");
  EXPECT_EQ(ConvertDomainsWith("a@ \t\x01, b@c", Bracketed), "a@ \t\x01, b@[c]");
  const auto withAt = [](std::string_view domain) { return std::string("@").append(domain).append("@x"); };
  EXPECT_EQ(ConvertDomainsWith("a@b c@d", withAt), "a@@b@x c@@d@x");
  // An empty answer (the conversion failed) keeps the domain.
  const auto failsOnB = [](std::string_view domain) { return domain == "b" ? std::string() : Bracketed(domain); };
  EXPECT_EQ(ConvertDomainsWith("x@b y@c z@b", failsOnB), "x@b y@[c] z@b");
  // In a two-byte code page (lead byte 0x81 here) a second byte is never "@" or an end.
  std::bitset<256> leadBytes;
  leadBytes.set(0x81);
  EXPECT_EQ(ConvertDomainsWith("x\x81@y@b\x81[c.de]\x81", Bracketed, leadBytes), "x\x81@y@[b\x81[c.de]]\x81");
  EXPECT_EQ(ConvertDomainsWith("x@b\x81", Bracketed, leadBytes), "x@[b\x81]");
  EXPECT_EQ(ConvertDomainsWith("x\x81@y@b\x81[c.de", Bracketed), "x\x81@[y]@[b\x81][c.de");
  EXPECT_EQ(ConvertDomainsWith("", Bracketed), "");
  EXPECT_EQ(ConvertDomainsWith("no address", Bracketed), "no address");
}

// Seconds for one call, the best of five.
template <typename Run>
double Seconds(Run&& run) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

std::string Repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Texts that make walks from every "@" or prefix rescan what came before: ten times the
// text takes about ten times as long, where a quadratic walk would take a hundred times.
// The bound leaves room for a machine under load (33 was seen against a bound of 25).
TEST(Extraction, TimeGrowsLinearlyWithTheText) {
  constexpr std::size_t kSmall = 20000;
  constexpr double kMostRatio = 45;
  auto ratio = [](auto&& make, auto&& extract) {
    const std::string small = make(kSmall), large = make(10 * kSmall);
    const double smallSeconds = Seconds([&] { extract(small); });
    const double largeSeconds = Seconds([&] { extract(large); });
    return largeSeconds / std::max(smallSeconds, 1e-5);
  };
  const auto urls = [](const std::string& text) { EXPECT_FALSE(ExtractUrls(text, ",", "http://").empty()); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("http://", n); }, urls), kMostRatio);
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("a", 7 * n) + Repeated(" http://", n); }, urls), kMostRatio);
  EXPECT_LT(ratio([](std::size_t n) { return "http://" + Repeated(".)", 4 * n); }, urls), kMostRatio);
  const auto webLinks = [](const std::string& text) { ExtractWebLinks(text, ","); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("httphttps:/", n) + "s://"; }, webLinks), kMostRatio);
  const auto dots = [](const std::string& text) { EXPECT_EQ(ExtractUrls(text, ",", "."), "."); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated(".", 8 * n); }, dots), kMostRatio);
  const auto caseless = [](const std::string& text) { EXPECT_TRUE(ExtractUrls(text, ",", "aaaaaaab").empty()); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("a", 8 * n); }, caseless), kMostRatio);
  const auto addresses = [](const std::string& text) { ExtractAddresses(text, ","); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("ab.cd@", n); }, addresses), kMostRatio);
  const auto domains = [](const std::string& text) { EXPECT_GT(ConvertDomainsWith(text, Bracketed).size(), text.size()); };
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("anna@m\xFCller.de, ", n); }, domains), kMostRatio);
  EXPECT_LT(ratio([](std::size_t n) { return Repeated("@", n) + "a"; }, domains), kMostRatio);
  EXPECT_LT(ratio([](std::size_t n) { return "a@" + Repeated("b", 8 * n); }, domains), kMostRatio);
  // A chain of prefixes is one link, as long as the text.
  EXPECT_EQ(ExtractUrls(Repeated("http://", 1000), ",", "http://").size(), 7000u);
}

}  // namespace
