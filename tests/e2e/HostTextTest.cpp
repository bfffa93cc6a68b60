// Texts the plug-in hands to the host, fed with values a hostile message could carry:
// every value stays inside its quotes and nothing of it runs as template code.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::kValueError;

// Quotes, percent signs, line breaks, a NUL and code 2, around a call and an assignment.
const std::string kHostile = std::string("x\"%KVL_Test()%_a=\"1\"\r\n%%\0\x02 y", 29);

class HostText : public kvltest::PluginTest {
 protected:
  // Nothing of a value ran: no variable was set by it and no macro call was made.
  void expectNothingRan() {
    EXPECT_EQ(plugin.session.variable("a"), nullptr);
    for (const std::string& text : plugin.session.processed) EXPECT_EQ(text.find("*** TEST ***"), std::string::npos);
  }
};

TEST_F(HostText, LoopVariableNamesAreNamesOrNothingIsHandedOver) {
  for (const std::string& name : {std::string(), std::string("a b"), std::string("a\"b"), std::string("%SUBJECT"),
                                  kHostile, std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3),
                                  std::string("a\x02"), std::string("\xE4"), std::string("a-b"), std::string(65, 'v')}) {
    plugin.session.processed.clear();
    EXPECT_EQ(plugin.call("KVL_For", {name, "1", "2", "x"}), kValueError) << name;
    EXPECT_EQ(plugin.call("KVL_Until", {name, "", "x"}), kValueError) << name;
    EXPECT_TRUE(plugin.session.processed.empty()) << name;
    expectNothingRan();
  }
  for (const std::string& name : {std::string("i"), std::string("_"), std::string("Row_2"), std::string(64, 'v')}) {
    plugin.session.processed.clear();
    EXPECT_EQ(plugin.call("KVL_For", {name, "1", "1", "[%_" + name + "]"}), "[1]") << name;
    ASSERT_EQ(plugin.session.processed.size(), 1u);
    EXPECT_EQ(plugin.session.processed[0], "%_" + name + "=\"1\"[%_" + name + "]");
    EXPECT_EQ(plugin.call("KVL_Until", {name, "2", "%_" + name + "=\"2\""}), "") << name;
  }
}

// A file named with the template language's own signs is attached under that name.
TEST_F(HostText, AttachedPathsStayOneValue) {
  const std::string name = "a%KVL_Test()%_a=1%%b.txt";
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_StrAttach", {kHostile, name}), "1");
  ASSERT_EQ(plugin.session.attachments.size(), 1u);
  const std::string path = plugin.session.attachments[0];
  EXPECT_TRUE(path.ends_with("\\" + name)) << path;
  ASSERT_EQ(plugin.session.processed.size(), 1u);
  EXPECT_EQ(plugin.session.processed[0], "%ATTACHFILE=\"" + path + "\"");
  expectNothingRan();
}

// The reply-language table's patterns come from KVL.ini: a quote in one travels as code 2
// (and so matches no quote of the message text; a pattern writes \x22 for that).
TEST_F(HostText, ReplyLanguagePatternsKeepTheirQuotesInside) {
  folder.write("KVL.ini",
               "[CountryLanguage]\r\nItemCount=2\r\n"
               "Item1=Quoted#none#none#say \"hi\"%_a=\"1\"\r\n"
               "Item2=Escaped#none#none#say \\x22hi\\x22\r\n");
  plugin.session.items[241] = "they say \"hi\"%_a=\"1\" to all";
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Escaped");
  std::vector<std::string> patterns;
  for (const std::string& text : plugin.session.processed)
    if (text.starts_with("%SETPATTREGEXP=")) patterns.push_back(text);
  EXPECT_EQ(patterns, (std::vector<std::string>{
                          "%SETPATTREGEXP=\"say \x02hi\x02%_a=\x02" "1\x02\"%REGEXPBLINDMATCH=%TEXT%SUBPATT=\"0\"",
                          "%SETPATTREGEXP=\"say \\x22hi\\x22\"%REGEXPBLINDMATCH=%TEXT%SUBPATT=\"0\""}));
  expectNothingRan();
}

}  // namespace
