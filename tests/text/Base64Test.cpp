// Base64 at its edges, and the processor blocks against the plain code.
#include <gtest/gtest.h>

#include <random>

#include "text/Base64.h"

namespace {

using namespace kvl;

TEST(Base64, PaddingAndRejection) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode(std::string("\xFF\xFE\x00", 3)), "//4A");
  EXPECT_EQ(Base64Decode(" YW\r\nJj\n "), "abc");
  EXPECT_EQ(Base64Decode("Y\nW\r\rJ\r\nj"), "abc");  // breaks inside groups
  EXPECT_EQ(Base64Decode("YQ"), "a");
  EXPECT_EQ(Base64Decode("YQ="), "a");
  EXPECT_EQ(Base64Decode("YWI"), "ab");
  EXPECT_EQ(Base64Decode("YQ==\r\n"), "a");
  EXPECT_EQ(Base64Decode("//4A"), std::string("\xFF\xFE\x00", 3));
  for (const char* bad : {"Y", "Y===", "====", "YW=j", "YW-j", "YW J", "YQ==YQ==", "YWJj=", "YQ==\r\nx"})
    EXPECT_EQ(Base64Decode(bad), "") << bad;
}

// The SSSE3 blocks and the plain code give the same result on one text, whatever it is.
std::string DecodedBothWays(const std::string& text) {
  const std::string plain = Base64Decode(text, Base64Path::Plain);
  EXPECT_EQ(Base64Decode(text, Base64Path::Fastest), plain) << text;
  return plain;
}

std::string RandomBytes(std::size_t length, std::mt19937& random) {
  std::string bytes(length, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(Base64, FastAndPlainPathsAgreeOnEveryLength) {
  RecordProperty("ssse3", Base64HasSsse3() ? "yes" : "no");
  std::mt19937 random(20261206);
  for (std::size_t length = 0; length <= 300; ++length) {
    const std::string data = RandomBytes(length, random);
    const std::string encoded = Base64Encode(data, Base64Path::Plain);
    ASSERT_EQ(Base64Encode(data, Base64Path::Fastest), encoded) << length;
    ASSERT_EQ(encoded.size(), (length + 2) / 3 * 4);
    ASSERT_EQ(DecodedBothWays(encoded), data) << length;
    // Padding left off is supplied; one "=" too many spoils the text.
    std::string bare = encoded;
    while (!bare.empty() && bare.back() == '=') bare.pop_back();
    ASSERT_EQ(DecodedBothWays(bare), data) << length;
    if (length > 0) {
      ASSERT_EQ(DecodedBothWays(encoded + "="), "") << length;
    }
    // Wrapped as in mail at 76 characters, and at 17 so breaks fall inside blocks.
    for (std::size_t width : {76u, 17u}) {
      std::string wrapped;
      for (std::size_t at = 0; at < encoded.size(); at += width) wrapped += encoded.substr(at, width) + "\r\n";
      ASSERT_EQ(DecodedBothWays(wrapped), data) << length << " wrapped at " << width;
    }
  }
  EXPECT_EQ(Base64Encode("Korvel, Grüße!"), "S29ydmVsLCBHcsO8w59lIQ==");
}

TEST(Base64, EveryCharacterAtEveryPositionOfABlock) {
  std::mt19937 random(14);
  const std::string data = RandomBytes(96, random);
  const std::string encoded = Base64Encode(data);  // 128 characters, eight blocks of 16
  const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int c = 0; c < 256; ++c) {
    const bool inAlphabet = alphabet.find(static_cast<char>(c)) != std::string_view::npos;
    // Positions 16-47: every place in the second and third block, after a good one.
    for (std::size_t at = 16; at < 48; ++at) {
      std::string spoiled = encoded;
      spoiled[at] = static_cast<char>(c);
      const std::string decoded = DecodedBothWays(spoiled);
      if (inAlphabet) {
        EXPECT_EQ(decoded.size(), data.size()) << c << " at " << at;
      } else if (c != '\r' && c != '\n') {
        ASSERT_EQ(decoded, "") << "character " << c << " at " << at;
      }
    }
  }
  // A line break at every place of the first blocks: skipped, whatever block it splits.
  for (std::size_t at = 0; at <= 40; ++at)
    for (const char* lineBreak : {"\n", "\r\n"})
      ASSERT_EQ(DecodedBothWays(encoded.substr(0, at) + lineBreak + encoded.substr(at)), data) << at;
}

TEST(Base64, LongTextsWithAndWithoutBreaks) {
  std::string bytes;
  for (int i = 0; i < 150001; ++i) bytes += static_cast<char>((i * 131) % 251);
  const std::string encoded = Base64Encode(bytes);
  EXPECT_EQ(Base64Decode(encoded), bytes);  // one line of 200 004 characters
  // Breaks far apart, inside groups.
  std::string broken = encoded.substr(0, 65537);
  broken += "\r\n";
  broken.append(encoded, 65537, 131075 - 65537);
  broken += '\n';
  broken.append(encoded, 131075);
  EXPECT_EQ(Base64Decode(broken), bytes);
  broken[150000] = '*';
  EXPECT_EQ(Base64Decode(broken), "");
}

TEST(Base64, EveryByteAndEveryForeignCharacterInLongLines) {
  std::string all;
  for (int round = 0; round < 3; ++round)
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  const std::string encoded = Base64Encode(all);
  ASSERT_EQ(Base64Decode(encoded), all);
  // Characters next to the alphabet's ranges, at every position of a 64-character
  // stretch (blanks and controls at the very start are trimmed away, not foreign).
  for (char foreign : {'-', '.', ':', '@', '[', '`', '{', '=', ' ', '\x00', '\x80', '\xFF'}) {
    for (std::size_t at = static_cast<unsigned char>(foreign) <= 32 ? 1 : 0; at < 64; ++at) {
      std::string spoiled = encoded;
      spoiled[at] = foreign;
      ASSERT_EQ(Base64Decode(spoiled), "") << "character " << int(foreign) << " at " << at;
    }
  }
}

}  // namespace
