#include "host/Charset.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Byte strings were made with Python's codecs; every byte is escaped.
namespace kvlhost {
namespace {

using namespace std::literals;

struct Sample {
  const char* charset;
  std::string_view bytes;
  std::wstring_view text;
};

constexpr std::wstring_view kIsoJapanese = L"\u3053\u3093\u306B\u3061\u306F\u3001\u4E16\u754C";
constexpr std::string_view kIso2022Jp =
    "\x1B\x24\x42\x24\x33\x24\x73\x24\x4B\x24\x41\x24\x4F\x21\x22\x40\x24\x33\x26\x1B\x28\x42";

// Collects the charset warnings given while it lives.
struct CapturedWarnings {
  std::vector<std::string> lines;
  CharsetWarningScope scope{[this](const std::string& line) { lines.push_back(line); }};
};

// Whole messages in the common charsets are read beside Python's email in email_peers.py;
// here the ones no message there uses, and our own table's edges.
TEST(Charset, ConvertsEveryCharsetThePlatformOrWeKnow) {
  const std::vector<Sample> samples{
      {"iso-8859-16", "\xAA\x74\x69\x69\x6E\xFE\x65\x20\xA4\x7F\x9F", L"\u0218tiin\u021Be \u20AC\x7F\x9F"},
      {"windows-874", "\xCA\xC7\xD1\xCA\xB4\xD5", L"\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35"},
      {"cp850", "\x4D\x81\x6C\x6C\x65\x72\x20\xAB", L"M\u00FCller \u00BD"},
      {"gb18030", "\xD6\xD0\xCE\xC4\xD3\xCA\xBC\xFE", L"\u4E2D\u6587\u90AE\u4EF6"},  // read as GBK
      {"koi8-u", "\xB7\xD6\xC1\xCB", L"\u0407\u0436\u0430\u043A"},
      {"utf-8", "\xC5\xBE\xE2\x82\xAC", L"\u017E\u20AC"},
      {"utf-7", "\x2B\x41\x58\x34\x2D", L"\u017E"},
  };
  CapturedWarnings warnings;
  for (const Sample& sample : samples) {
    EXPECT_EQ(CharsetToWide(sample.bytes, sample.charset), sample.text) << sample.charset;
    EXPECT_NE(CodePageOfCharset(sample.charset), 0u) << sample.charset;
  }
  EXPECT_TRUE(warnings.lines.empty()) << warnings.lines.front();
  // The ANSI edge (code page 1252 in the tests): what 1252 has arrives, with its own byte.
  EXPECT_TRUE(CharsetToAnsi("\xC0\xFE\x75\x6F\x6C\x61\x73", "iso-8859-13").ends_with("\x9Euolas"));
  EXPECT_EQ(CharsetToAnsi("caf\xE9", "windows-1252"), "caf\xE9");
}

TEST(Charset, FindsAliasesInTheRegistryAndOurRules) {
  const std::vector<Sample> samples{
      {"x-sjis", "\x93\xFA\x96\x7B", L"\u65E5\u672C"},
      {"ks_c_5601-1987", "\xC7\xD1", L"\uD55C"},
      {"korean", "\xC7\xD1", L"\uD55C"},
      {"csISO2022JP", kIso2022Jp, kIsoJapanese},
      {"cp1256", "\xE3", L"\u0645"},
      {"windows1251", "\xC4", L"\u0414"},
      {"ibm850", "\x81", L"\u00FC"},
      // Latin-1 labels read as 1252: its quotes and euro sign survive.
      {"latin1", "\x80\x93\xE9", L"\u20AC\u201C\u00E9"},
      {" ISO-8859-1 ", "\x80\x93\xE9", L"\u20AC\u201C\u00E9"},
      {"l1", "\x80", L"\u20AC"},
  };
  for (const Sample& sample : samples)
    EXPECT_EQ(CharsetToWide(sample.bytes, sample.charset), sample.text) << sample.charset;
  // ASCII passes unchanged (0; the registry sends its aliases to 1252); a number Windows
  // lacks is no code page.
  const std::pair<const char*, unsigned> codePages[] = {
      {"UTF-8", 65001},  {"latin1", 1252},  {"cp1252", 1252},  {"windows-1250", 1250}, {"ISO-8859-2", 28592},
      {"utf-16", 1201},  {"UTF-32LE", 12000}, {"us-ascii", 0},  {"cp20127", 0},        {"ANSI_X3.4-1968", 1252},
      {"cp65001", 65001}, {"cp99999", 0},    {"cp123456", 0}};
  for (const auto& [charset, codePage] : codePages) EXPECT_EQ(CodePageOfCharset(charset), codePage) << charset;
  EXPECT_EQ(CharsetToAnsi("a\xE9", "cp20127"), "a\xE9");
  EXPECT_EQ(CharsetToAnsi("a\xE9", "us-ascii"), "a\xE9");
}

TEST(Charset, ReadsUtf16AndUtf32InTheByteOrderTheirMarkOrNameGives) {
  const std::vector<Sample> samples{
      {"utf-16", "\x00\x41\x00\xE9\x20\xAC\xD8\x3D\xDE\x00"sv, L"A\u00E9\u20AC\U0001F600"},  // no mark: big-endian
      {"utf-16", "\xFF\xFE\x41\x00\xE9\x00"sv, L"A\u00E9"},
      {"utf-16", "\xFE\xFF\x00\x41\x00\xE9"sv, L"A\u00E9"},
      {"UTF-16LE", "\x41\x00\xE9\x00\xAC\x20\x3D\xD8\x00\xDE"sv, L"A\u00E9\u20AC\U0001F600"},
      {"UTF-16LE", "\xFF\xFE\x41\x00"sv, L"A"},
      {"utf-16le", "\xFE\xFF\x00\x41"sv, L"A"},  // a mark outranks the name
      {"utf-16be", "\x00\x41\x00\xE9"sv, L"A\u00E9"},
      {"utf-32", "\x00\x00\x00\x41\x00\x00\x00\xE9\x00\x01\xF6\x00"sv, L"A\u00E9\U0001F600"},
      {"utf-32", "\xFF\xFE\x00\x00\x41\x00\x00\x00"sv, L"A"},
      {"utf-32le", "\x41\x00\x00\x00\xE9\x00\x00\x00\x00\xF6\x01\x00"sv, L"A\u00E9\U0001F600"},
      {"utf-32be", "\x00\x00\xFE\xFF\x00\x00\x00\x41"sv, L"A"},
      {"unicode", "\x41\x00"sv, L"A"},  // the platform's name for UTF-16LE
      // Broken input: lone surrogates, a cut-off unit, values past U+10FFFF, a lone mark.
      {"utf-16be", "\xD8\x3D\x00\x41"sv, L"\uFFFDA"},
      {"utf-16be", "\xDE\x00\xD8\x3D"sv, L"\uFFFD\uFFFD"},
      {"utf-16be", "\x00\x41\x00"sv, L"A\uFFFD"},
      {"utf-16", "\xFF"sv, L"\uFFFD"},
      {"utf-16", "\xFE\xFF"sv, L""},
      {"utf-32be", "\x00\x11\x00\x00\x00\x00\xD8\x00\x00\x10\xFF\xFF\x00"sv, L"\uFFFD\uFFFD\U0010FFFF\uFFFD"},
  };
  for (const Sample& sample : samples)
    EXPECT_EQ(CharsetToWide(sample.bytes, sample.charset), sample.text)
        << sample.charset << " " << sample.bytes.size() << " bytes";
}

TEST(Charset, WarnsOncePerUnknownNameAndReadsItsBytesAsAnsi) {
  CapturedWarnings warnings;
  EXPECT_EQ(CharsetToAnsi("a\xE9", "x-korvel-unknown"), "a\xE9");
  EXPECT_EQ(CharsetToWide("a\xE9", "X-Korvel-Unknown"), L"a\u00E9");
  ASSERT_EQ(warnings.lines.size(), 1u);
  EXPECT_EQ(warnings.lines[0], "unknown charset \"x-korvel-unknown\": its bytes are read in the ANSI code page");

  // Named but not readable here: said so, once; empty text and ASCII say nothing.
  EXPECT_EQ(CharsetToAnsi("~{VP~}", "hz-gb-2312"), "~{VP~}");
  EXPECT_EQ(CharsetToAnsi("~{VP~}", "hz-gb-2312"), "~{VP~}");
  EXPECT_EQ(CharsetToAnsi("", "x-korvel-empty"), "");
  EXPECT_EQ(CharsetToWide("", "x-korvel-empty"), L"");
  EXPECT_EQ(CharsetToAnsi("a", "us-ascii"), "a");
  ASSERT_EQ(warnings.lines.size(), 2u);
  EXPECT_EQ(warnings.lines[1],
            "charset \"hz-gb-2312\" (code page 52936) cannot be converted here: its bytes are read in the ANSI code page");

  // Names that are no names: never looked up, bytes unchanged, no crash.
  const std::string longName(200, 'x');
  for (const std::string& name : {longName, std::string("a\\b"), std::string("\xE9t\xE9"), std::string("x y")})
    EXPECT_EQ(CharsetToAnsi("abc", name), "abc");
  EXPECT_EQ(warnings.lines.size(), 6u);
  // A warning quotes at most 64 characters of the name.
  const std::string name64 = "x-" + std::string(62, 'a');
  EXPECT_EQ(CharsetToAnsi("abc", name64), "abc");
  EXPECT_EQ(CharsetToAnsi("abc", "x-" + std::string(62, 'b') + "c"), "abc");
  ASSERT_EQ(warnings.lines.size(), 8u);
  EXPECT_NE(warnings.lines[6].find("\"" + name64 + "\""), std::string::npos);
  EXPECT_NE(warnings.lines[7].find("\"x-" + std::string(62, 'b') + "\""), std::string::npos);
}

TEST(Charset, SurvivesGarbageInEveryCharset) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + i / 256) & 0xFF);
  for (const char* charset : {"iso-2022-jp", "euc-jp", "shift_jis", "gb2312", "big5", "euc-kr", "gb18030", "utf-8",
                              "utf-7", "utf-16", "utf-32le", "iso-8859-16", "windows-1258"}) {
    for (std::size_t size : {1u, 2u, 3u, 5u, 4096u}) {
      const std::wstring wide = CharsetToWide(std::string_view(garbage).substr(0, size), charset);
      EXPECT_LE(wide.size(), size * 2) << charset << " " << size;
    }
  }
  // A cut-off escape sequence keeps what came before it.
  EXPECT_EQ(CharsetToWide("\x1B\x24\x42\x24\x33\x24\x73\x24", "iso-2022-jp"), L"\u3053\u3093\uFFFD");
}

TEST(Charset, UsesComWhateverTheThreadAlreadyDid) {
  std::wstring inMultithreaded;
  std::wstring withoutCom;
  std::thread([&] {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    inMultithreaded = CharsetToWide(kIso2022Jp, "iso-2022-jp");
    if (SUCCEEDED(result)) CoUninitialize();
  }).join();
  std::thread([&] { withoutCom = CharsetToWide(kIso2022Jp, "iso-2022-jp"); }).join();
  EXPECT_EQ(inMultithreaded, kIsoJapanese);
  EXPECT_EQ(withoutCom, kIsoJapanese);
}

std::string PlatformConverted(std::string_view text, UINT from, UINT to) {
  const int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
  return out;
}

// Long texts are converted a megabyte at a time (ending where a character ends), through
// a table in single-byte code pages: the same bytes as the platform's conversion of the
// whole. Also run under ja_JP (code page 932), where characters take two bytes.
TEST(Charset, LongTextsConvertInPiecesAsAWhole) {
  const std::size_t piece = 1u << 20;
  CPINFO info{};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  // Every byte value, then characters of the code page across each place near the cut.
  std::string every;
  for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
  const std::string wide = info.MaxCharSize == 2 ? "\x82\xA0\x81\x40\x83\x5B" : "\xE9\x80\xFF";  // あ, the ideographic blank, ー
  // Lines of ASCII around the characters of two bytes, whose trail byte may be ASCII too.
  auto lines = [](std::size_t size) {
    std::string text;
    while (text.size() < size) text += "some line 0123\n";
    return text.substr(0, size);
  };
  for (std::size_t shift = 0; shift < 8; ++shift) {
    std::string ansi = every + lines(piece - every.size() - shift);
    for (int i = 0; i < 8; ++i) ansi += wide;
    ansi += lines(piece) + wide + std::string(piece + 3, '\x95');
    const std::string expected = PlatformConverted(ansi, CP_ACP, CP_UTF8);
    ASSERT_EQ(AnsiToUtf8(ansi), expected) << "shifted by " << shift;
    EXPECT_EQ(Utf8ToAnsi(expected), PlatformConverted(expected, CP_UTF8, CP_ACP)) << "shifted by " << shift;
    std::size_t pieces = 0, total = 0;
    AnsiToUtf8InPieces(ansi, [&](std::string_view part) {
      ++pieces;
      total += part.size();
    });
    EXPECT_EQ(total, expected.size());
    EXPECT_GE(pieces, 4u);
  }
  // UTF-8 that is not valid stays as the platform reads it, cut or not.
  const std::string broken = std::string(piece - 1, 'a') + "\xC3\xA9\xE2\x82" + "b\xFF\x80" + std::string(10, 'c');
  EXPECT_EQ(Utf8ToAnsi(broken), PlatformConverted(broken, CP_UTF8, CP_ACP));
}

}  // namespace
}  // namespace kvlhost
