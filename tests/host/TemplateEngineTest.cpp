// kvlhost's template language, host macros and address book.
#include <gtest/gtest.h>

#include "host/AddressBook.h"
#include "host/TemplateEngine.h"
#if defined(_WIN32)
#include "host/PluginModule.h"
#endif

namespace {

using kvlhost::HostSession;
using kvlhost::TemplateEngine;

#if defined(_WIN32)
struct PluginUnderTest {
  kvlhost::PluginModule module{kvlhost::DefaultPluginPath()};
  const kvlhost::MacroRunner* runner() const { return &module; }
};
#else
// The native build has no plug-in to load: every plug-in call reads as unknown.
struct PluginUnderTest {
  const kvlhost::MacroRunner* runner() const { return nullptr; }
};
#endif

struct Engine {
  Engine() : engine(session, plugin.runner()) {
    session.warn = [this](const std::string& message) { warnings.push_back(message); };
  }
  PluginUnderTest plugin;
  HostSession session;
  TemplateEngine engine;
  std::vector<std::string> warnings;
};

TEST(TemplateEngine, TextPercentSignsAndVariables) {
  Engine e;
  EXPECT_EQ(e.engine.expand("100%% sure, 5% off%"), "100% sure, 5% off%");
  EXPECT_EQ(e.engine.expand("%_Name=\"Ann\"Hi %_name, %_unset."), "Hi Ann, .");
  EXPECT_EQ(e.engine.expand("%_x=\"a,b\"%_x"), "a,b");
  EXPECT_TRUE(e.warnings.empty());
}

TEST(TemplateEngine, HostMacrosReadTheMessageAndTakeArguments) {
  Engine e;
  e.session.items = {{223, "Re: Plans"}, {241, "Body 2024-05-17 end"}, {219, "ann@example.org"}};
  EXPECT_EQ(e.engine.expand("[%SUBJECT] [%subject] [%MSGID]"), "[Re: Plans] [Re: Plans] []");
  EXPECT_EQ(e.engine.expand("%SETPATTREGEXP=\"(\\d+)-(\\d+)-(\\d+)\"%REGEXPMATCH=\"on 2024-05-17!\""), "2024-05-17");
  EXPECT_EQ(e.engine.expand("%SETPATTREGEXP=\"(\\d+)-(\\d+)\"%REGEXPBLINDMATCH=%TEXT%SUBPATT=\"2\""), "05");
  EXPECT_EQ(e.engine.expand("%SETPATTREGEXP=\"(x)?y\"%REGEXPBLINDMATCH=\"y\"[%SUBPATT=\"1\"][%SUBPATT=\"7\"]"), "[][]");
  EXPECT_EQ(e.engine.expand("%SETPATTREGEXP=\"(\"%REGEXPMATCH=\"(\""), "");
  EXPECT_EQ(e.warnings.size(), 1u) << "a pattern that does not compile is reported";

  EXPECT_EQ(e.engine.expand("%ATTACHFILE=\"C:\\a b.txt\"done"), "done");
  EXPECT_EQ(e.session.attachments.texts(), std::vector<std::string>{"C:\\a b.txt"});

  e.session.addressBook = kvlhost::AddressBook::Parse(
      "Country,Address,Gender\r\n\"Germany, East\",ANN@example.org,female\r\nFrance,bob@example.org,male\r\n");
  EXPECT_EQ(e.engine.expand("%ABToGender/%ABToCountry/%ABToBusCountry"), "female/Germany, East/");
}

TEST(TemplateEngine, UnknownNamesAndBrokenCallsAreCopiedWithAWarning) {
  Engine e;
  EXPECT_EQ(e.engine.expand("a %NOSUCH=\"x\" b"), "a %NOSUCH=\"x\" b");
  EXPECT_EQ(e.engine.expand("%KVL_NoSuchMacro(1, 2)!"), "%KVL_NoSuchMacro(1, 2)!");
  EXPECT_EQ(e.engine.expand("%KVL_Test(\"unclosed"), "%KVL_Test(\"unclosed");
  EXPECT_EQ(e.warnings.size(), 3u);
}

TEST(TemplateEngine, HostMacroChainsShareTheDepthLimit) {
  Engine e;
  e.session.items = {{223, "Re: Plans"}};
  auto chain = [](int links) {
    std::string text = "%SETPATTREGEXP=\".+\"";
    for (int i = 0; i < links; ++i) text += "%REGEXPMATCH=";
    return text + "%SUBJECT";
  };
  EXPECT_EQ(e.engine.expand(chain(63)), "Re: Plans");
  EXPECT_TRUE(e.warnings.empty());
  EXPECT_EQ(e.engine.expand(chain(64)), "Re: Plans");
  EXPECT_EQ(e.warnings.size(), 1u);
  // Far longer chains than the stack could nest end too.
  EXPECT_EQ(e.engine.expand(chain(200000)), "Re: Plans");
}

#if defined(_WIN32)
TEST(TemplateEngine, PluginCallsNestAndQuotesProtectSeparators) {
  Engine e;
  EXPECT_EQ(e.engine.expand("<%KVL_Test>"), "<*** TEST ***>");
  EXPECT_EQ(e.engine.expand("%KVL_FirstNE( fb ,  , \"a, (b)\")"), "a, (b)");
  EXPECT_EQ(e.engine.expand("%KVL_FirstNE(fb, \"say \"\"hi\"\"\")"), "say \"hi\"");
  EXPECT_EQ(e.engine.expand("%KVL_FirstNE(fb,\r\n\t\"a, b\"\r\n)"), "a, b");  // a quoted argument on its own line
  EXPECT_EQ(e.engine.expand("%KVL_ArgItem(x y z, %KVL_ArgCount(\"a b\"))"), "y");
  EXPECT_EQ(e.engine.expand("%KVL_FirstNE(fb, %KVL_ArgItem(\"p q\", 2))"), "q");
  EXPECT_EQ(e.engine.expand("%KVL_FirstNE(fallback,)"), "fallback");
  EXPECT_EQ(e.engine.expand("%KVL_Test()"), "*** TEST ***");
}

TEST(TemplateEngine, NestingStopsAfterSixtyFourLevels) {
  Engine e;
  auto nested = [](int calls) {
    std::string text;
    for (int i = 0; i < calls; ++i) text += "%KVL_FirstNE(fb, ";
    return text + "in" + std::string(static_cast<std::size_t>(calls), ')');
  };
  EXPECT_EQ(e.engine.expand(nested(63)), "in");  // the template and 63 levels of arguments
  EXPECT_TRUE(e.warnings.empty());
  EXPECT_EQ(e.engine.expand(nested(64)), "fb");  // the innermost arguments would be level 65
  EXPECT_EQ(e.warnings.size(), 2u);
}
#endif

TEST(TemplateEngine, ArgumentListSplitting) {
  auto split = kvlhost::SplitCallArguments("a, \"b,c\" , f(x, y), \"q\"\"\"tail) rest", 0);
  ASSERT_TRUE(split);
  ASSERT_EQ(split->first.size(), 4u);
  EXPECT_EQ(split->first[0].text, "a");
  EXPECT_EQ(split->first[1].text, "b,c");
  EXPECT_EQ(split->first[2].text, "f(x, y)");
  EXPECT_EQ(split->first[3].text, "q\"tail");
  EXPECT_EQ(split->second, 30u);  // just past the closing parenthesis
  EXPECT_FALSE(kvlhost::SplitCallArguments("a, (b", 0));
}

TEST(AddressBook, NeedsAnAddressColumn) {
  EXPECT_THROW(kvlhost::AddressBook::Parse("name,gender\r\nx,y\r\n"), std::runtime_error);
  const auto book = kvlhost::AddressBook::Parse("email\r\n");
  EXPECT_EQ(book.find("x@y"), nullptr);
}

}  // namespace

namespace {

TEST(TextLog, KeepsTheFirstTextsAndCountsTheRest) {
  kvlhost::TextLog log;
  for (std::size_t i = 0; i < kvlhost::TextLog::kMaxTexts; ++i) log.add("t");
  EXPECT_EQ(log.leftOutTexts(), 0u);
  log.add("one more");
  EXPECT_EQ(log.size(), kvlhost::TextLog::kMaxTexts);
  EXPECT_EQ(log.leftOutTexts(), 1u);
  EXPECT_EQ(log.leftOutBytes(), 8u);

  kvlhost::TextLog bytes;
  bytes.add(std::string(kvlhost::TextLog::kMaxBytes - 1, 'a'));
  bytes.add("b");
  bytes.add("c");  // past the byte bound, and every later text with it: the kept ones stay a prefix
  bytes.add("");
  EXPECT_EQ(bytes.size(), 2u);
  EXPECT_EQ(bytes.leftOutTexts(), 2u);
  EXPECT_EQ(bytes.leftOutBytes(), 1u);
  bytes.clear();
  EXPECT_TRUE(bytes.empty());
}

TEST(TemplateEngine, RegexPatternSetAgainIsKept) {
  Engine e;
  auto& regex = e.session.regex;
  EXPECT_EQ(regex.setPattern("(b+)"), "");
  EXPECT_TRUE(regex.match("abbc"));
  EXPECT_EQ(regex.setPattern("(b+)"), "");  // the same text: the compiled pattern stays
  EXPECT_EQ(regex.group(1), "");            // but the last match is gone
  EXPECT_TRUE(regex.match("xbx"));
  EXPECT_EQ(regex.group(1), "b");
  EXPECT_EQ(regex.setPattern("(c+)"), "");  // another text compiles anew
  EXPECT_FALSE(regex.match("xbx"));
  // A pattern that failed fails again when set again, and leaves no pattern behind.
  EXPECT_NE(regex.setPattern("(c"), "");
  EXPECT_NE(regex.setPattern("(c"), "");
  EXPECT_FALSE(regex.match("ccc"));
  EXPECT_EQ(regex.setPattern("(c+)"), "");
  EXPECT_TRUE(regex.match("ccc"));
}

TEST(TemplateEngine, RegexPatternsAndWarningsAreBounded) {
  Engine e;
  // A pattern of exactly the largest length still compiles (a comment takes most of it).
  const std::size_t most = kvlhost::HostRegex::kMaxPatternLength;
  const std::string pattern = "(?#" + std::string(most - 5, 'x') + ")a";
  EXPECT_EQ(e.session.regex.setPattern(pattern), "");
  EXPECT_TRUE(e.session.regex.match("cat"));
  EXPECT_NE(e.session.regex.setPattern(pattern + "b").find("too large"), std::string::npos);
  EXPECT_FALSE(e.session.regex.match("cab"));

  // A warning quoting a huge pattern stays one short line.
  e.engine.expand("%SETPATTREGEXP=\"(" + std::string(5000, '\n') + "\"");
  ASSERT_EQ(e.warnings.size(), 1u);
  EXPECT_LT(e.warnings[0].size(), 400u);
  EXPECT_EQ(e.warnings[0].find('\n'), std::string::npos);
  EXPECT_NE(e.warnings[0].find("more characters)"), std::string::npos);
  // "unknown host macro %NAME; copied unchanged" with a 262-letter name is exactly 300 characters.
  e.warnings.clear();
  e.engine.expand("%" + std::string(262, 'Q') + " %" + std::string(263, 'Q'));
  ASSERT_EQ(e.warnings.size(), 2u);
  EXPECT_EQ(e.warnings[0].size(), 300u);
  EXPECT_EQ(e.warnings[1].substr(300), "... (1 more characters)");

  // A hundred warnings, then one line that says the rest are left out.
  Engine fresh;
  std::string unknown;
  for (int i = 0; i < 100; ++i) unknown += "%NOSUCHMACRO";
  EXPECT_EQ(fresh.engine.expand(unknown), unknown);
  ASSERT_EQ(fresh.warnings.size(), 100u);
  fresh.engine.expand("%NOSUCHMACRO%NOSUCHMACRO");
  ASSERT_EQ(fresh.warnings.size(), 101u);
  EXPECT_NE(fresh.warnings.back().find("more than 100 warnings"), std::string::npos);
}

}  // namespace
