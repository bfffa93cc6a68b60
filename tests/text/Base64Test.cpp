// Base64 at its edges, and the processor blocks against the plain code.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "text/Base64.h"

namespace {

using namespace kvl;

// Plain code and every kind of block this processor has; an SSE2-only processor
// runs the plain code alone.
std::vector<Base64Path> PathsHere() {
  std::vector<Base64Path> paths{Base64Path::Plain};
  if (Base64HasSsse3()) paths.push_back(Base64Path::Ssse3);
  if (Base64HasAvx2()) paths.push_back(Base64Path::Avx2);
  return paths;
}

const char* NameOf(Base64Path path) {
  return path == Base64Path::Plain ? "plain" : path == Base64Path::Ssse3 ? "ssse3" : "avx2";
}

TEST(Base64, PaddingAndRejection) {
  for (const Base64Path path : PathsHere()) {
    SCOPED_TRACE(NameOf(path));
    const std::string bytes("\xFF\xFE\x00", 3);
    for (const auto& [data, encoded] : {std::pair<std::string, std::string>{"", ""}, {"a", "YQ=="}, {"ab", "YWI="},
                                        {bytes, "//4A"}})
      EXPECT_EQ(Base64Encode(data, path), encoded) << data;
    // Breaks inside groups, padding left off.
    for (const auto& [encoded, data] : {std::pair<std::string, std::string>{" YW\r\nJj\n ", "abc"},
                                        {"Y\nW\r\rJ\r\nj", "abc"}, {"YQ", "a"}, {"YQ=", "a"}, {"YWI", "ab"},
                                        {"YQ==\r\n", "a"}, {"//4A", bytes}})
      EXPECT_EQ(Base64Decode(encoded, path), data) << encoded;
    for (const char* bad : {"Y", "Y===", "====", "YW=j", "YW-j", "YW J", "YQ==YQ==", "YWJj=", "YQ==\r\nx"})
      EXPECT_EQ(Base64Decode(bad, path), "") << bad;
  }
}

// Every kind of block gives what the plain code gives on one text, whatever it is;
// so does the default path.
std::string DecodedEveryWay(const std::string& text) {
  const std::string plain = Base64Decode(text, Base64Path::Plain);
  for (const Base64Path path : PathsHere()) EXPECT_EQ(Base64Decode(text, path), plain) << NameOf(path) << ": " << text;
  EXPECT_EQ(Base64Decode(text, Base64Path::Fastest), plain) << text;
  return plain;
}

std::string RandomBytes(std::size_t length, std::mt19937& random) {
  std::string bytes(length, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(Base64, EveryPathAgreesOnEveryLength) {
  RecordProperty("ssse3", Base64HasSsse3() ? "yes" : "no");
  RecordProperty("avx2", Base64HasAvx2() ? "yes" : "no");
  std::mt19937 random(20261206);
  for (std::size_t length = 0; length <= 300; ++length) {
    const std::string data = RandomBytes(length, random);
    const std::string encoded = Base64Encode(data, Base64Path::Plain);
    for (const Base64Path path : PathsHere()) ASSERT_EQ(Base64Encode(data, path), encoded) << NameOf(path) << length;
    ASSERT_EQ(Base64Encode(data, Base64Path::Fastest), encoded) << length;
    ASSERT_EQ(encoded.size(), (length + 2) / 3 * 4);
    ASSERT_EQ(DecodedEveryWay(encoded), data) << length;
    // Padding left off is supplied; one "=" too many spoils the text.
    std::string bare = encoded;
    while (!bare.empty() && bare.back() == '=') bare.pop_back();
    ASSERT_EQ(DecodedEveryWay(bare), data) << length;
    if (length > 0) {
      ASSERT_EQ(DecodedEveryWay(encoded + "="), "") << length;
    }
    // Wrapped as in mail at 76 characters, and at 17 so breaks fall inside blocks.
    for (std::size_t width : {76u, 17u}) {
      std::string wrapped;
      for (std::size_t at = 0; at < encoded.size(); at += width) wrapped += encoded.substr(at, width) + "\r\n";
      ASSERT_EQ(DecodedEveryWay(wrapped), data) << length << " wrapped at " << width;
    }
  }
  EXPECT_EQ(Base64Encode("Korvel, Grüße!"), "S29ydmVsLCBHcsO8w59lIQ==");
}

TEST(Base64, EveryCharacterAtEveryPositionOfABlock) {
  std::mt19937 random(14);
  const std::string data = RandomBytes(96, random);
  const std::string encoded = Base64Encode(data);  // 128 characters: blocks of 16 and of 32
  const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int c = 0; c < 256; ++c) {
    const bool inAlphabet = alphabet.find(static_cast<char>(c)) != std::string_view::npos;
    // Every place of the first blocks of 16 and of 32, and of those that follow a good
    // one (blanks and controls at the very start are trimmed away, not foreign).
    for (std::size_t at = c <= 32 ? 1 : 0; at < 96; ++at) {
      std::string spoiled = encoded;
      spoiled[at] = static_cast<char>(c);
      const std::string decoded = DecodedEveryWay(spoiled);
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
      ASSERT_EQ(DecodedEveryWay(encoded.substr(0, at) + lineBreak + encoded.substr(at)), data) << at;
}

// The result grows 48 KiB of input at a time: lengths, line breaks and foreign
// characters on both sides of the first stretch's end, and in the fourth stretch of a
// line of 196 624 characters.
TEST(Base64, AroundTheEndOfAStretch) {
  constexpr std::size_t kStretch = 48u << 10;
  std::mt19937 random(7);
  const std::string bytes = RandomBytes(3 * kStretch + 10, random);
  for (std::size_t length : {kStretch / 4 * 3 - 1, kStretch / 4 * 3, kStretch / 4 * 3 + 1, kStretch - 1, kStretch,
                             kStretch + 1, kStretch + 2, bytes.size()}) {
    const std::string data = bytes.substr(0, length);
    const std::string encoded = Base64Encode(data, Base64Path::Plain);
    for (const Base64Path path : PathsHere()) ASSERT_EQ(Base64Encode(data, path), encoded) << NameOf(path) << length;
    ASSERT_EQ(DecodedEveryWay(encoded), data) << length;
  }
  const std::string encoded = Base64Encode(bytes);
  for (std::size_t at : {kStretch - 2, kStretch - 1, kStretch, kStretch + 1, 3 * kStretch + 1}) {
    std::string broken = encoded;
    broken.insert(at, "\r\n");
    ASSERT_EQ(DecodedEveryWay(broken), bytes) << at;
    std::string spoiled = encoded;
    spoiled[at] = '*';
    ASSERT_EQ(DecodedEveryWay(spoiled), "") << at;
  }
}

}  // namespace
