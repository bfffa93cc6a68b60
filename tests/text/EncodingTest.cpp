// The encoding routines where their edges are.
#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "text/Encoding.h"

namespace {

using namespace kvl;

// The rule as it reads: escape everything, then insert breaks from the start.
std::string ReferenceQPEncode(std::string_view text, bool header) {
  std::string escaped;
  for (unsigned char c : text) {
    if (header && c == ' ') escaped += '_';
    else if (c >= 32 && c <= 126 && c != '=' && !(header && (c == '?' || c == '_'))) escaped += static_cast<char>(c);
    else escaped.append({'=', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]});
  }
  std::size_t blanks = 0;
  while (blanks < escaped.size() && escaped[escaped.size() - 1 - blanks] == ' ') ++blanks;
  escaped.resize(escaped.size() - blanks);
  for (std::size_t i = 0; i < blanks; ++i) escaped += "=20";
  std::string out;
  std::size_t start = 0;
  while (escaped.size() - start > 76) {
    std::size_t cut = start + 75;
    if (escaped[cut - 1] == '=') cut -= 1;
    else if (escaped[cut - 2] == '=') cut -= 2;
    out += escaped.substr(start, cut - start) + "=\r\n";
    start = cut;
  }
  return out + escaped.substr(start);
}

TEST(QuotedPrintable, OnePassMatchesTheRuleOnMixedTexts) {
  std::uint32_t seed = 12345;
  const std::string alphabet = "abc =?_\xE4\r\n\t";
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t length = round % 250;
    for (std::size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      // Long plain stretches with escapes and blanks between them.
      text += (seed >> 16) % 3 == 0 ? alphabet[(seed >> 20) % alphabet.size()] : 'x';
    }
    for (bool header : {false, true})
      ASSERT_EQ(QPEncode(text, header), ReferenceQPEncode(text, header)) << round << " header " << header;
  }
}

// Plain stretches are taken sixteen bytes at a time and escaped through a window of
// 1024 input bytes: every byte value at every place of three blocks, lines at the
// limit, and texts whose escapes and trailing blanks straddle the window's pieces.
TEST(QuotedPrintable, BlocksAndPiecesMatchTheRule) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t at = 0; at < 48; ++at) {
      std::string text(48, 'x');
      text[at] = static_cast<char>(value);
      for (bool header : {false, true}) {
        const std::string encoded = QPEncode(text, header);
        ASSERT_EQ(encoded, ReferenceQPEncode(text, header)) << value << " at " << at << " header " << header;
        ASSERT_EQ(QPDecode(encoded, header), text) << value << " at " << at << " header " << header;
      }
    }
  }
  EXPECT_EQ(QPEncode(std::string(76, 'x'), false), std::string(76, 'x'));
  EXPECT_EQ(QPEncode(std::string(77, 'x'), false), std::string(75, 'x') + "=\r\n" + "xx");
  EXPECT_EQ(QPEncode(std::string(76, 'x') + "\xE4", true), std::string(75, 'x') + "=\r\nx=E4");
  for (std::size_t length : {1023u, 1024u, 1025u, 3000u}) {
    for (std::size_t blanks : {0u, 1u, 1100u}) {
      std::string text(length, 'y');
      for (std::size_t at = 1019; at < length && at < 1030; at += 2) text[at] = '=';
      text += std::string(blanks, ' ');
      for (bool header : {false, true})
        ASSERT_EQ(QPEncode(text, header), ReferenceQPEncode(text, header)) << length << " " << blanks << " " << header;
    }
  }
  // The decoder stops its block copy at every place of a block.
  for (std::size_t at = 0; at <= 44; ++at) {
    std::string encoded(48, 'x'), decoded(46, 'x');
    encoded.replace(at, 4, "=4A_");
    decoded.replace(at, 2, "J ");
    EXPECT_EQ(QPDecode(encoded, true), decoded) << at;
  }
}

TEST(QuotedPrintable, ControlsBlanksAndTheHeaderForm) {
  EXPECT_EQ(QPEncode("\x7F\xFF~", false), "=7F=FF~");  // a short tail: the byte map, not the blocks
  EXPECT_EQ(QPDecode("a_b=5f=3d", true), "a b_=");
  EXPECT_EQ(QPDecode("a_b", false), "a_b");
  EXPECT_EQ(QPDecode("soft=\nbreak=\r\n", false), "softbreak");
  EXPECT_EQ(QPDecode("=3D41 =G1 =\r= =4", false), "=41 =G1 =\r= =4");  // decoded once, broken escapes stay
}

TEST(Url, EncodingOptionsAndDecodingStops) {
  EXPECT_EQ(UrlEncode("<a b&c>\xE4", "<+&"), "&lt;a+b&amp;c&gt;%E4");
  EXPECT_EQ(UrlEncode("<>", ">"), "&lt;&gt;");
  EXPECT_EQ(UrlDecode("%e4%C4&amp;&lt;&gt;&x+"), "\xE4\xC4&<>&x ");
  EXPECT_EQ(UrlDecode("a% 41b"), "a");          // trimmed to one character: decoding stops
  EXPECT_EQ(UrlDecode("a%4"), "a");
  EXPECT_EQ(UrlDecode("a%%41"), "a1");          // "%4" is no escape: dropped with its two characters
  EXPECT_EQ(UrlDecode("100%"), "100");
}

// Letters and digits are taken sixteen at a time: every byte value at every place of
// three blocks against the rule written plainly, and back.
TEST(Url, BlocksMatchTheRule) {
  const std::string alphanumeric = "Az09azAZ19bY8cX7dW6eV5fU4gT3hS2iR1jQ0kPlOmNnMoLpKqJr";
  for (int value = 0; value < 256; ++value) {
    const bool plain = std::isalnum(value) && value < 128;
    for (std::size_t at = 0; at < 48; ++at) {
      std::string text = alphanumeric.substr(0, 48);
      text[at] = static_cast<char>(value);
      std::string expected = text;
      if (!plain) expected.replace(at, 1, {'%', "0123456789ABCDEF"[value >> 4], "0123456789ABCDEF"[value & 15]});
      const std::string encoded = UrlEncode(text, "");
      ASSERT_EQ(encoded, expected) << value << " at " << at;
      ASSERT_EQ(UrlDecode(encoded), text) << value << " at " << at;
    }
  }
  // The decoder stops its block copy at each of its three characters, anywhere.
  for (std::size_t at = 0; at < 40; ++at) {
    std::string encoded = alphanumeric.substr(0, 48), decoded = encoded;
    encoded.replace(at, 10, "%4a+&amp;x");
    decoded.replace(at, 10, "J &x");
    EXPECT_EQ(UrlDecode(encoded), decoded) << at;
  }
}

TEST(Entities, DecodingWithAndWithoutTheTable) {
  SpecialCharTable empty;
  SpecialCharTable table;
  table[0xE9] = {"\xE9", "&eacute;", "&#233;"};
  table[0xC9] = {"\xC9", "&Eacute;", "&#201;"};
  table[0xA0] = {"", "&nbsp;", "&#160;"};

  EXPECT_EQ(EntityDecode("&#65;&#x42;&#067;&#0;&#128;&#127;", empty), "ABC&#0;&#128;\x7F");
  // The ";" must come within ten characters after the "&".
  EXPECT_EQ(EntityDecode("&#00000065;&#000000065;", empty), "A&#000000065;");
  EXPECT_EQ(EntityDecode("&eacute;&#233;&amp;", empty), "&eacute;&#233;&amp;");
  EXPECT_EQ(EntityDecode("caf&eacute; &#233;t&Eacute;&nbsp;", table), "caf\xE9 \xE9t\xC9\xA0");
  EXPECT_EQ(EntityDecode("&EACUTE; &eacute &verylongname; &", table), "&EACUTE; &eacute &verylongname; &");
  EXPECT_EQ(EntityToCode("#x41", table), 65);
  EXPECT_EQ(EntityToCode("#201", table), 0xC9);
  EXPECT_EQ(EntityToCode("nosuch", table), 0);

  EXPECT_EQ(EntityEncodeNamed("caf\xE9\xA0!\xFF", table), "caf&eacute;&nbsp;!");
  EXPECT_EQ(EntityEncodeNumeric("\xC9t\xE9", table), "&#201;t&#233;");
}

TEST(Entities, MarkupEscapesRoundTripAndIgnoreCase) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&amp;</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;amp;&lt;/a&gt;");
  EXPECT_EQ(HtmlUnescape(HtmlEscape("<a href=\"x\">&amp;</a>")), "<a href=\"x\">&amp;</a>");
  EXPECT_EQ(HtmlUnescape("&QUOT;&Gt;&lT;&AMP;&amp;lt;&nbsp;"), "\"><&&lt;&nbsp;");
}

}  // namespace
