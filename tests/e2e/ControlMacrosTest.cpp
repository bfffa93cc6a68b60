// Argument and control macros as a template author sees them.
#include <climits>

#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using ControlMacros = kvltest::PluginTest;
using kvltest::kNoSuccess;
using kvltest::kValueError;

TEST_F(ControlMacros, ArgumentsSplitLikeACommandLine) {
  const std::string line = "copy \"C:\\My Files\\a.txt\" D:\\";
  expectResults({
      {"KVL_ArgCount", {""}, "1"}, {"KVL_ArgCount", {" "}, "2"}, {"KVL_ArgCount", {line}, "3"},
      {"KVL_ArgCount", {"a  b "}, "4"}, {"KVL_ArgItem", {line, "2"}, "\"C:\\My Files\\a.txt\""},
      {"KVL_ArgItem", {line, "4"}, ""}, {"KVL_ArgItem", {"a,b;c", "3", ",;"}, "c"},
      // One quoted state for all quote characters: the apostrophe closes the double quote.
      {"KVL_ArgItem", {"x \"a b' y", "2", " ", "\"'"}, "\"a b'"},
      {"KVL_FirstNE", {"fallback", "", "x"}, "x"}, {"KVL_FirstNE", {"fallback", "", ""}, "fallback"},
      {"KVL_FirstNE", {"fallback", " "}, " "},
  });
}

TEST_F(ControlMacros, ForHandsEachValueToTheHost) {
  EXPECT_EQ(plugin.expand("%KVL_For(i, -1, 1, \"[%%_i]\")"), "[-1][0][1]");
  EXPECT_EQ(plugin.session.processed.back(), "%_i=\"1\"[%_i]");

  plugin.session.processed.clear();
  EXPECT_EQ(plugin.expand("%KVL_For(i, 3, 1, \"[%%_i]\")"), "");
  EXPECT_TRUE(plugin.session.processed.empty());

  // The last value may be the largest integer without the loop running away.
  EXPECT_EQ(plugin.call("KVL_For", {"n", std::to_string(INT_MAX - 1), std::to_string(INT_MAX), "%_n;"}),
            std::to_string(INT_MAX - 1) + ";" + std::to_string(INT_MAX) + ";");
  // A range that would keep the mail client busy for minutes is refused at once.
  plugin.session.processed.clear();
  expectResults({{"KVL_For", {"n", "-2147483648", "2147483647", ""}, kValueError},
                 {"KVL_For", {"n", "0", "100000", "x"}, kValueError}});
  EXPECT_TRUE(plugin.session.processed.empty());
  EXPECT_EQ(plugin.call("KVL_For", {"n", "1", "100000", ""}), "");

  // Plug-in macros inside the loop body run while the loop is still running.
  EXPECT_EQ(plugin.expand("%KVL_For(i, 1, 3, \"%%KVL_ArgItem(a b c, %%_i)\")"), "abc");
}

TEST_F(ControlMacros, UntilStopsAtTheValueOrAtItsBound) {
  EXPECT_EQ(plugin.call("KVL_Until", {"done", "yes", "x%_done=\"yes\""}), "x");
  EXPECT_EQ(plugin.session.processed.size(), 2u);
  EXPECT_EQ(plugin.session.processed[1], "%_done");

  // A template that never reaches the stop value ends instead of hanging the client.
  EXPECT_EQ(plugin.call("KVL_Until", {"never", "set", "."}), kNoSuccess);
}

TEST_F(ControlMacros, ClearLinesAndLineBetweenMarkers) {
  const std::string six = "a\r\n\r\n\r\n\r\n\r\n\r\nb";
  const std::string text = "x\r\n  Name: Joe (admin)  \r\ny";
  expectResults({
      {"KVL_ClearLines", {six}, "a\r\n\r\n\r\nb\r\n"}, {"KVL_ClearLines", {six, "3", "2", "1"}, "a\r\n \r\n \r\nb\r\n"},
      {"KVL_ClearLines", {"a\r\n\r\n\r\nb\r\n\r\n"}, "a\r\n\r\n\r\nb\r\n"},
      // Three empty lines are the most kept by default; four become two. Only flag 1 fills with a blank.
      {"KVL_ClearLines", {"a\r\n\r\n\r\n\r\nb"}, "a\r\n\r\n\r\n\r\nb\r\n"},
      {"KVL_ClearLines", {"a\r\n\r\n\r\n\r\n\r\nb", "3", "2", "2"}, "a\r\n\r\n\r\nb\r\n"},
      // A blank line that is not empty is kept as written inside a short run.
      {"KVL_ClearLines", {"a\r\n \t\r\nb", "1"}, "a\r\n \t\r\nb\r\n"},
      {"KVL_ClearLines", {"a\r\n\r\n\r\nb", "1", "0"}, "a\r\nb\r\n"},
      // A huge replacement count answers the value error instead of eating the host's memory.
      {"KVL_ClearLines", {"a\r\n\r\n\r\nb", "0", "2000000000"}, kValueError},
      {"KVL_LineBetw", {text, "name:", "(", "1", "0"}, "Joe"}, {"KVL_LineBetw", {text, "NAME:", "", "1", "0"}, "Joe (admin)"},
      {"KVL_LineBetw", {text, "", "(ADMIN)", "0", "1"}, "Name: Joe"}, {"KVL_LineBetw", {text, "joe", ")"}, "(admin"},
      {"KVL_LineBetw", {text, "joe", "", "1", "0"}, ""}, {"KVL_LineBetw", {text, "", ""}, ""},
      {"KVL_LineBetw", {text, "name:", "(", "1", "2"}, ""},  // no end mode 2
      // Case is ignored by the locale's rules, so 8-bit letters match too (code page 1252).
      {"KVL_LineBetw", {"\xC4pfel: rot", "\xE4PFEL:", "", "1"}, "rot"},
  });
}

}  // namespace
