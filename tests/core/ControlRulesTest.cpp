// Argument splitting, the entity list and the files deleted at unload.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/ArgList.h"
#include "core/ControlMacros.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#if defined(_WIN32)
#include "core/Call.h"
#include "host/Providers.h"
#endif

namespace {

using namespace kvl;

TEST(ArgList, QuotesStayAndEmptyItemsCount) {
  EXPECT_EQ(CountArgs("a \"b c\" d", "", ""), 3);
  EXPECT_EQ(ArgAt("a \"b c\" d", 2, "", ""), "\"b c\"");
  EXPECT_EQ(ArgAt("a  b", 2, " ", "\""), "");
  EXPECT_EQ(ArgAt("a  b", 3, " ", "\""), "b");
  EXPECT_EQ(ArgAt("a b", 0, " ", "\""), "");
  EXPECT_EQ(ArgAt("a b", -1, " ", "\""), "");
  // An unclosed quote swallows the rest of the text.
  EXPECT_EQ(CountArgs("a \"b c d", " ", "\""), 2);
}

TEST(LineBetween, TrimsEachCutAndTakesTheFirstQualifyingLine) {
  const std::string text = "Subject: none\r\nTo:  a@b  ; x\r\nTo: c@d;";
  EXPECT_EQ(LineBetween(text, "to:", ";", 1, 0, AsciiLowered), "a@b");
  EXPECT_EQ(LineBetween(text, "to:", ";", 1, 1, AsciiLowered), "c@d");
  EXPECT_EQ(LineBetween(text, "to:", ";", 2, 0, AsciiLowered), "");
  EXPECT_EQ(LineBetween("a\nb: c", "b:", "", 0, 0, AsciiLowered), "c");  // LF alone ends no line
}

TEST(SpecialChars, ParsingSkipsBadLinesAndLaterLinesOverwrite) {
  const SpecialCharTable table = ParseSpecialChars(
      "233\t\xE9\teacute\t233\r\n"
      "65\tA\r\n"
      "300\tx\tbig\t300\n"
      "abc\tx\tword\t1\n"
      "\n"
      "  38\t&\tamp\t\t\r\n"
      "38\tand\t\t9999\n"
      "$3C\t<\tlt\t60");
  const auto row = [&table](int code) { return table[code].text + "|" + table[code].named + "|" + table[code].numeric; };
  EXPECT_EQ(row(233), "\xE9|&eacute;|&#233;");
  EXPECT_EQ(row(65), "A||&#65;");
  // A later line without a name keeps the earlier name but replaces text and number.
  EXPECT_EQ(row(38), "and|&amp;|&#9999;");
  EXPECT_EQ(row(60), "<|&lt;|&#60;");
  for (int code : {0, 44, 255}) EXPECT_EQ(table[code].numeric, "") << code;
}

TEST(PluginState, InitialisationReadsTheListAndFinalisationDeletesRecordedFiles) {
  const std::filesystem::path folder = PluginFolder();
  const std::filesystem::path list = folder / "SpecialChars.lst";
  std::ofstream(list, std::ios::binary) << "233\t\xE9\teacute\t233\r\n";
  InitializePlugin();
  std::filesystem::remove(list);
  EXPECT_EQ(SpecialChars()[233].named, "&eacute;");
  EXPECT_EQ(SpecialCharCodeOf("&#233;"), 233);
  EXPECT_EQ(SpecialCharCodeOf("&nothing;"), -1);
  EXPECT_EQ(Plugin().folder, PluginFolder());

  const std::filesystem::path attached = std::filesystem::temp_directory_path() / "kvl-attached.txt";
  std::ofstream(attached) << "x";
  AddFileToDelete(attached.string());
  AddFileToDelete(attached.string());
  AddFileToDelete((folder / "no-such-file.txt").string());
  FinalizePlugin();
  EXPECT_FALSE(std::filesystem::exists(attached));
}

}  // namespace

// A handler's optional arguments: the last one given (n) and the first one absent (n + 1).
#if defined(_WIN32)
namespace {

TEST(CallArguments, FlagsIntegersAndTextsGivenAndAbsent) {
  kvlhost::ArgumentProvider arguments({"1", "0", "2", ""});
  const kvl::Call call(nullptr, &arguments);
  struct Row {
    int n;
    bool flag, flagWhenAbsentTrue;
    std::optional<std::int32_t> given;
    std::string textOrWhenEmpty;
  };
  for (const Row& row : {Row{1, true, true, 1, "1"}, Row{2, false, false, 0, "0"}, Row{3, false, false, 2, "2"},
                         Row{4, false, false, 0, "-"}, Row{5, false, true, std::nullopt, "-"}}) {
    EXPECT_EQ(call.flag(row.n), row.flag) << row.n;
    EXPECT_EQ(call.flag(row.n, true), row.flagWhenAbsentTrue) << row.n;
    EXPECT_EQ(call.integerIfGiven(row.n), row.given) << row.n;
    EXPECT_EQ(call.textOrWhenEmpty(row.n, "-"), row.textOrWhenEmpty) << row.n;
  }
}

}  // namespace
#endif
