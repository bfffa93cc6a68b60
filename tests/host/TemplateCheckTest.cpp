#include "host/TemplateCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/TemplateEngine.h"
#include "plugin/MacroList.h"

namespace {

using kvlhost::kAnyCount;
using kvlhost::MacroCounts;

constexpr MacroCounts kRows[] = {
    {"KVL_For", 4, 4},         {"KVL_Until", 3, 3},      {"KVL_StrLen", 1, 1},
    {"KVL_ArgItem", 2, 4},     {"KVL_FirstNE", 2, kAnyCount},
    {"KVL_PlugVer", 0, kAnyCount}, {"KVL_Accounts", 0, 2}, {"KVL_StrRERepl", 3, 5}};
constexpr std::string_view kHostMacros[] = {"SUBJECT", "ATTACHFILE", "FROMNAME"};
const kvlhost::CheckTables kTables{kRows, kHostMacros};

std::vector<std::string> Check(std::string_view text, bool utf8 = true) {
  std::vector<std::string> lines;
  for (const kvlhost::Diagnostic& d : kvlhost::CheckTemplate(text, kTables, utf8))
    lines.push_back(kvlhost::FormatDiagnostic("t", d));
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TemplateCheck, CorrectTemplatesAreClean) {
  EXPECT_EQ(Check("%_x=\"1, (\"%_X %SUBJECT %attachfile=\"a\" %FROMNAME=%_x 100%% 5% %_ %- %9\r\n"
                  "%KVL_StrLen(\"a, \"\"b\"\" (\") %kvl_argitem(a (b, c), 2) %KVL_PlugVer %KVL_Accounts()\n"
                  "%KVL_For(i, 1, 3, \"[%%_i %%KVL_StrLen(%%_i) 50% off]\") %KVL_FirstNE(a, b, c, d)"),
            Lines{});
  // The real tables: every host macro the engine knows passes.
  std::string hostMacros;
  for (const std::string_view name : kvlhost::HostMacroNames()) hostMacros.append("%").append(name).append(" ");
  EXPECT_EQ(kvlhost::CheckTemplate(hostMacros, {kvlhost::PluginMacroCounts(), kvlhost::HostMacroNames()}).size(), 0u);
}

// kvlhost's counts are written from the families' rows at build time: the same rows,
// in the same order, as the plug-in's table.
TEST(TemplateCheck, CountsFollowThePluginsTable) {
  const auto plugin = kvl::MacroTable();
  const auto host = kvlhost::PluginMacroCounts();
  ASSERT_EQ(host.size(), plugin.size());
  for (std::size_t i = 0; i < host.size(); ++i) {
    EXPECT_EQ(host[i].name, plugin[i].name);
    EXPECT_EQ(host[i].minArgs, plugin[i].minArgs) << host[i].name;
    EXPECT_EQ(host[i].maxArgs, plugin[i].maxArgs) << host[i].name;
  }
}

TEST(TemplateCheck, ArgumentCountsOnBothSidesOfEachBound) {
  EXPECT_EQ(Check("%KVL_StrLen() %KVL_StrLen(a) %KVL_StrLen(a, b) %KVL_StrLen"),
            (Lines{"t:1:1: error: %KVL_StrLen takes exactly 1 argument, not 0",
                   "t:1:30: error: %KVL_StrLen takes exactly 1 argument, not 2",
                   "t:1:48: error: %KVL_StrLen takes exactly 1 argument, not 0"}));
  // tests/data/lint has %KVL_ArgItem with 1, 2 and 5 arguments.
  EXPECT_EQ(Check("%KVL_FirstNE(a) %KVL_FirstNE(a,b) %KVL_Accounts(a,b) %KVL_Accounts(a,b,c) %KVL_ArgItem(a,b,c,d)"),
            (Lines{"t:1:1: error: %KVL_FirstNE takes at least 2 arguments, not 1",
                   "t:1:54: error: %KVL_Accounts takes 0 to 2 arguments, not 3"}));
  // An argument that is empty still counts; a quoted comma does not separate.
  EXPECT_EQ(Check("%KVL_StrLen(,) %KVL_StrLen(\",\")"),
            Lines{"t:1:1: error: %KVL_StrLen takes exactly 1 argument, not 2"});
}

// Each finding's text, with and without a suggestion, is checked on tests/data/lint.
TEST(TemplateCheck, UnknownNamesGetTheClosestKnownName) {
  // The arguments of an unknown macro are still checked.
  EXPECT_EQ(Check("%KVL_Nope(%KVL_StrLen())").size(), 2u);
  const std::string_view names[] = {"KVL_Age", "KVL_StrRERepl"};
  // Short stems allow two edits, not three.
  EXPECT_EQ(kvlhost::ClosestName("KVL_Axx", names), "KVL_Age");
  EXPECT_EQ(kvlhost::ClosestName("KVL_xxx", names), "");
  // A nine-character stem allows three edits, not four.
  EXPECT_EQ(kvlhost::ClosestName("KVL_STRxxxepl", names), "KVL_StrRERepl");
  EXPECT_EQ(kvlhost::ClosestName("KVL_STRxxxxpl", names), "");
  EXPECT_EQ(kvlhost::ClosestName(std::string(100000, 'a'), names), "");
  // Two swapped neighbours are one edit, so they beat two replacements.
  const std::string_view lookalikes[] = {"KVL_StrIns", "KVL_StrLen"};
  EXPECT_EQ(kvlhost::ClosestName("kvl_strlne", lookalikes), "KVL_StrLen");
}

TEST(TemplateCheck, OpenCallsParenthesesAndQuotesWithTheirPositions) {
  // Balanced inner parentheses leave the call open (tests/data/lint names an inner one left open).
  EXPECT_EQ(Check("%KVL_StrLen(f(a)"), Lines{"t:1:1: error: %KVL_StrLen( has no closing parenthesis"});
  EXPECT_EQ(Check("%ATTACHFILE=\"a"),
            Lines{"t:1:13: error: %ATTACHFILE=\" has no closing quote; the value runs to the end of the text"});
  // Twenty open calls are each reported; at the next one the check stops.
  std::string open;
  for (int i = 0; i < 20; ++i) open += "%KVL_StrLen(a ";
  EXPECT_EQ(Check(open).size(), 20u);
  open += "%KVL_StrLen(a %KVL_Nope";
  const auto stopped = Check(open);
  ASSERT_EQ(stopped.size(), 21u);
  EXPECT_EQ(std::count(stopped.begin(), stopped.end(), "t:1:281: warning: more than 20 calls left open; the rest is not checked"), 1);
  // The engine goes on after the open "(", and so does the check.
  EXPECT_EQ(Check("%KVL_StrLen( %KVL_Nope").size(), 2u);
  // Lines end in LF, CR LF or a lone CR; columns count UTF-8 characters, or bytes.
  EXPECT_EQ(Check("\xC3\xA4\xC3\xB6\r\n\xE2\x82\xAC %KVL_Nope"), Lines{"t:2:3: error: unknown macro %KVL_Nope"});
  EXPECT_EQ(Check("a\rb\n\xC3\xA4 %KVL_Nope", false), Lines{"t:3:4: error: unknown macro %KVL_Nope"});
}

TEST(TemplateCheck, VariablesReadButNeverSet) {
  EXPECT_EQ(Check("%_a %_b %_A %_b=\"set later\" %KVL_For(i, 1, 2, \"%%_i\") %KVL_Until(\"d\", x, \"%%_d=\"\"x\"\"\")%_i%_d"),
            Lines{"t:1:1: warning: host variable %_a is read but never set in this template"});
  // A loop whose name is computed sets no name the check knows.
  EXPECT_EQ(Check("%KVL_For(%_n, 1, 2, x)%_n=\"\"%_k").back(),
            "t:1:29: warning: host variable %_k is read but never set in this template");
}

// The warning itself, for both loops, is checked on tests/data/lint.
TEST(TemplateCheck, LoopBodiesWriteTheirPercentSigns) {
  EXPECT_EQ(Check("%_s=\"\"%KVL_Until(s, x, [%%_s] %SUBJECT %KVL_StrLen(a))").size(), 1u);  // once a body
  // Other arguments and a loop with a wrong count are not loop bodies.
  EXPECT_EQ(Check("%_v=\"1\"%KVL_For(i, %_v, 3, x)"), Lines{});
  EXPECT_EQ(Check("%KVL_For(i, 1, \"%_i\")"),
            (Lines{"t:1:1: error: %KVL_For takes exactly 4 arguments, not 3",
                   "t:1:17: warning: host variable %_i is read but never set in this template"}));
  // The body as the loop runs it: quotes and doubled percent signs undone, positions kept.
  EXPECT_EQ(Check("%KVL_For(i, 1, 3, \"\"\"x\"\" %%KVL_Nope %%KVL_StrLen() %%KVL_For(j,1,2,%%%%_j)\")"),
            (Lines{"t:1:26: error: unknown macro %KVL_Nope", "t:1:37: error: %KVL_StrLen takes exactly 1 argument, not 0"}));
  EXPECT_EQ(Check("%KVL_For(i, 1, 3, %%KVL_For(j,1,2,%%_j))"),
            Lines{"t:1:35: warning: '%' in the loop body of %KVL_For (argument 4) is expanded once before the loop runs; "
                  "write it as '%%'"});
}

TEST(TemplateCheck, DeepNestingStopsWithOneWarning) {
  const auto nested = [](int levels) {
    std::string calls;
    for (int i = 0; i < levels; ++i) calls += "%KVL_StrLen(";
    return calls + "x" + std::string(static_cast<std::size_t>(levels), ')');
  };
  // The template itself is the first level, as in the engine: 63 calls fit, the 64th does not.
  EXPECT_EQ(Check(nested(63)), Lines{});
  const Lines deeper{"t:1:769: warning: nested deeper than 64 levels; the inner text is not checked"};
  EXPECT_EQ(Check(nested(64)), deeper);
  EXPECT_EQ(Check(nested(100)), deeper);
}

}  // namespace
