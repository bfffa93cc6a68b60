// kvlhost's template language, host macros and address book.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

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

// An engine whose warnings and findings are kept, over the real plug-in (loaded only
// when no stand-in is given) or a stand-in.
struct Engine {
  explicit Engine(const kvlhost::MacroRunner* standIn = nullptr, std::string subject = "s")
      : engine(session, standIn ? standIn : plugin.emplace().runner()) {
    session.items = {{223, std::move(subject)}, {241, "body text"}, {219, "eve@example.org"}};
    session.templateName = "my.tpl";
    session.warn = [this](const std::string& message) { warnings.push_back(message); };
    session.report = [this](const std::string& line) { findings.push_back(line); };
  }
  std::optional<PluginUnderTest> plugin;
  HostSession session;
  TemplateEngine engine;
  std::vector<std::string> warnings, findings;
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
  Engine e(nullptr, "Re: Plans");
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
  std::vector<std::string> texts;
  for (const auto& argument : split->first) texts.push_back(argument.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b,c", "f(x, y)", "q\"tail"}));
  EXPECT_EQ(split->second, 30u);  // just past the closing parenthesis
  EXPECT_FALSE(kvlhost::SplitCallArguments("a, (b", 0));
}

TEST(AddressBook, NeedsAnAddressColumn) {
  EXPECT_THROW(kvlhost::AddressBook::Parse("name,gender\r\nx,y\r\n"), std::runtime_error);
  const auto book = kvlhost::AddressBook::Parse("email\r\n");
  EXPECT_EQ(book.find("x@y"), nullptr);
}

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

// kvlhost's own PCRE binding: a search too deep for the interpreter takes the machine
// code (the subject just below and at 16 KB, where the machine code takes over), and a
// search that would backtrack for hours gives up as no match within its steps.
TEST(TemplateEngine, RegexSearchesEndWithinTheirDepthAndSteps) {
  kvlhost::HostRegex regex;
  ASSERT_EQ(regex.setPattern("(a|b)*c"), "");
  for (const std::size_t length : {std::size_t{16383}, std::size_t{16384}}) {
    const std::string subject = std::string(length - 1, 'a') + "c";
    ASSERT_TRUE(regex.match(subject)) << length;
    EXPECT_EQ(regex.group(0).size(), length);
    EXPECT_EQ(regex.group(1), "a");
  }
  ASSERT_EQ(regex.setPattern("(a+)+b"), "");
  EXPECT_FALSE(regex.match(std::string(40, 'a')));
  EXPECT_EQ(regex.group(0), "");
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
}

// Message text handed back as a template: a stand-in plug-in whose macros do what the
// real ones do with host text, so that these run natively too.
// KVL_Loop(var, count, body): "%_var="n"" + body for n = 1..count, joined (as KVL_For);
// KVL_Echo(args...): the arguments joined; KVL_Item(id): item id, read as the plug-in reads;
// KVL_Grep(pattern, text): "%SETPATTREGEXP="pattern"%REGEXPMATCH="text"" (as KVL_Grep).
class HostTextPlugin final : public kvlhost::MacroRunner {
 public:
  kvlhost::MacroOutcome run(const std::string& name, const std::vector<std::string>& args,
                            const std::map<std::int32_t, std::string>& items, kvlhost::TextProcessor processor,
                            kvlhost::ItemObserver itemRead) const override {
    kvlhost::MacroOutcome outcome{0, {}, true};
    auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : std::string(); };
    if (name == "KVL_Loop") {
      for (int n = 1; n <= kvlhost::DecimalOrZero(arg(1)); ++n)
        outcome.result += processor("%_" + arg(0) + "=\"" + std::to_string(n) + "\"" + arg(2));
    } else if (name == "KVL_Echo") {
      for (const std::string& text : args) outcome.result += text;
    } else if (name == "KVL_Item") {
      const std::int32_t id = kvlhost::DecimalOrZero(arg(0));
      itemRead(id);
      outcome.result = items.count(id) ? items.at(id) : std::string();
    } else if (name == "KVL_Grep") {
      outcome.result = processor("%SETPATTREGEXP=\"" + arg(0) + "\"%REGEXPMATCH=\"" + arg(1) + "\"");
    } else {
      outcome.rc = -1;
    }
    return outcome;
  }
};

const HostTextPlugin kHostText;

constexpr const char* kHostile = "%KVL_Echo(run)%_x=\"1\" \"q\" %%";

TEST(MessageText, ExpandedAsATemplateIsFoundOncePerPlace) {
  struct Case {
    const char* subject;
    const char* text;
    const char* output;
    std::vector<std::string> findings;
  };
  const std::string finding = ": warning: text from %SUBJECT is expanded as a template inside KVL_Loop; write %%SUBJECT";
  const std::vector<Case> cases{
      // A single % runs the subject on every pass; %% hands the loop the name and is silent.
      {kHostile, "%KVL_Loop(i, 2, \"%SUBJECT\")", "run \"q\" %run \"q\" %", {"my.tpl:1:18" + finding}},
      {kHostile, "%KVL_Loop(i, 2, \"%%SUBJECT\")", "%KVL_Echo(run)%_x=\"1\" \"q\" %%%KVL_Echo(run)%_x=\"1\" \"q\" %%", {}},
      // Harmless text warns all the same: the next message may not be.
      {"hello", "x\r\n\r\ny  %KVL_Loop(i, 1, \"[%SUBJECT]\")", "x\r\n\r\ny  [hello]", {"my.tpl:3:22" + finding}},
      // Inside a value of the host text it is data, until a quote of its own ends the value.
      {"hello", "%KVL_Loop(i, 1, \"%%_v=\"\"%SUBJECT\"\"%%_v\")", "hello", {}},
      {"a\"b", "%KVL_Loop(i, 1, \"%%_v=\"\"%SUBJECT\"\"%%_v\")", "b\"a", {"my.tpl:1:25" + finding}},
      // Through a call given message text, a variable, a match, an item the plug-in read.
      {"hi", "%KVL_Loop(i, 1, \"%KVL_Echo(<, %SUBJECT, >)\")", "<hi>", {"my.tpl:1:31" + finding}},
      {"hi", "%_v=\"%%SUBJECT\"%KVL_Loop(i, 1, \"%KVL_Echo(%_v)\")", "%SUBJECT", {}},
      {"hi", "%SETPATTREGEXP=\"h\"%KVL_Loop(i, 1, \"%REGEXPMATCH=%SUBJECT\")", "h", {"my.tpl:1:49" + finding}},
      {"hi", "%KVL_Loop(i, 1, \"%KVL_Item(241)\")", "body text",
       {"my.tpl:1:18: warning: text from item 241 (read by KVL_Item) is expanded as a template inside KVL_Loop; "
        "write %%KVL_Item"}},
      // Message text that came back from an inner loop's host text marks that loop's result;
      // placed at that loop, the finding names the pass it was seen in.
      {"hi", "%KVL_Loop(j, 1, \"%KVL_Loop(i, 1, \"\"%%SUBJECT\"\")\")", "hi",
       {"my.tpl:1:18: warning: text from %SUBJECT is expanded as a template inside KVL_Loop; write %%SUBJECT (in "
        "pass 1 of %KVL_Loop)"}},
      // A short marked argument is no mark on the same characters in the body.
      {"1", "%KVL_Loop(i, %SUBJECT, \"%%_i of 10\")", "1 of 10", {}},
      // Patterns of KVL_Grep stand in a value: data.
      {"h", "%KVL_Grep(%SUBJECT, hi)", "h", {}},
  };
  for (const Case& c : cases) {
    Engine e(&kHostText, c.subject);
    EXPECT_EQ(e.engine.expand(c.text), c.output) << c.text;
    EXPECT_EQ(e.findings, c.findings) << c.text;
    EXPECT_TRUE(e.warnings.empty()) << c.text << ": " << e.warnings.front();
    EXPECT_EQ(e.session.errors, 0);
  }
}

TEST(MessageText, StrictCopiesItAsPlainText) {
  Engine e(&kHostText, kHostile);
  e.session.strict = true;
  EXPECT_EQ(e.engine.expand("%KVL_Loop(i, 2, \"(%SUBJECT)\")"), std::string("(") + kHostile + ")(" + kHostile + ")");
  ASSERT_EQ(e.findings.size(), 1u);
  EXPECT_EQ(e.findings[0],
            "my.tpl:1:19: error: text from %SUBJECT is expanded as a template inside KVL_Loop; write %%SUBJECT");
  EXPECT_EQ(e.session.errors, 1);
  // A marked quote does not end a value, a marked comma or parenthesis no argument.
  Engine quotes(&kHostText, "a\"b, c) d");
  quotes.session.strict = true;
  EXPECT_EQ(quotes.engine.expand("%KVL_Loop(i, 1, \"%%_v=\"\"%SUBJECT\"\"%%_v|%%KVL_Echo(%SUBJECT)\")"),
            "a\"b, c) d|a\"b, c) d");
  EXPECT_EQ(quotes.session.errors, 1);  // once: the value is data, the argument is not
}

#if defined(_WIN32)
// KVL_For's body is followed through kvlhost itself in host_cli.py; KVL_Until's here.
TEST(MessageText, TheLoopsOfThePlugInHandItBack) {
  const std::string subject = "%KVL_StrLen(abc)%_x=\"1\" \"q\" %%";
  for (const bool doubled : {false, true}) {
    Engine e(nullptr, subject);
    const std::string body = doubled ? "%%SUBJECT" : "%SUBJECT";
    EXPECT_EQ(e.engine.expand("%KVL_Until(v, 1, \"" + body + "%%_v=\"\"1\"\"\")"), doubled ? subject : "3 \"q\" %");
    EXPECT_EQ(e.findings.size(), doubled ? 0u : 1u) << body;
  }
}
#endif

TEST(MessageText, PlacesAreWhereTheTemplateTakesTheText) {
  Engine e(&kHostText);
  e.session.columns = [](std::string_view prefix) { return prefix.size() - std::count(prefix.begin(), prefix.end(), '\xC3'); };
  // Lines end in LF, CR LF or CR; quoted "" are one character of the template each.
  e.engine.expand("a\rb\r\n\xC3\xA4 %KVL_Loop(i, 1, \"\"\"\"\"%SUBJECT\")");
  ASSERT_EQ(e.findings.size(), 1u);
  EXPECT_EQ(e.findings[0].substr(0, 11), "my.tpl:3:24");
  // Places cost about one walk through the template, even thousands on one line.
  Engine many(&kHostText);
  std::size_t counted = 0;
  many.session.columns = [&counted](std::string_view stretch) {
    counted += stretch.size();
    return stretch.size();
  };
  std::string line;
  for (int i = 0; i < 3000; ++i) line += "%KVL_Echo(%SUBJECT)";
  EXPECT_EQ(many.engine.expand(line), std::string(3000, 's'));
  EXPECT_LT(counted, 2 * line.size());
  // Found again in any order: LF, CR LF and a lone CR end lines.
  kvlhost::TextPosition position("ab\r\ncd\ref\ngh");
  const std::vector<std::pair<std::size_t, std::pair<std::size_t, std::size_t>>> places{
      {5, {2, 2}}, {1, {1, 2}}, {11, {4, 2}}, {7, {3, 1}}, {8, {3, 2}}, {4, {2, 1}}, {0, {1, 1}}, {10, {4, 1}}};
  for (const auto& [offset, expected] : places) EXPECT_EQ(position.at(offset, nullptr), expected) << offset;
  // A call of its own (kvlhost call): the argument and its line and column.
  Engine call(&kHostText);
  call.engine.callMacro("KVL_Loop", {"i", "2", "x\n  %KVL_Loop(j, 1, \"%SUBJECT\")"});
  ASSERT_EQ(call.findings.size(), 1u);
  EXPECT_EQ(call.findings[0].substr(0, 17), "argument 3:2:20: ");
}

// A hundred warnings, then one line that says the rest are left out, wherever it goes.
TEST(MessageText, FindingsShareTheWarningsBound) {
  Engine e(&kHostText);
  std::string unknown;
  for (int i = 0; i < 100; ++i) unknown += "%NOSUCHMACRO";
  EXPECT_EQ(e.engine.expand(unknown), unknown);
  EXPECT_EQ(e.warnings.size(), 100u);
  EXPECT_EQ(e.engine.expand("%KVL_Loop(i, 1, \"%SUBJECT\")%NOSUCHMACRO"), "s%NOSUCHMACRO");
  EXPECT_EQ(e.findings, std::vector<std::string>{"more than 100 warnings; the rest are left out"});
  EXPECT_EQ(e.warnings.size(), 100u);
}

// The call trace, its times masked: "in 0.01 ms" reads "in # ms".
struct TracedEngine : Engine {
  TracedEngine() : Engine(&kHostText) {
    session.trace = [this](const std::string& line) {
      const std::size_t in = line.rfind(" in ");
      lines.push_back(in == std::string::npos ? line : line.substr(0, in) + " in #" + line.substr(line.find(" ms", in)));
    };
    traced.emplace(session, &kHostText);
  }
  std::vector<std::string> lines;
  std::optional<TemplateEngine> traced;  // made once the session has its trace
};

// The passes listed and the layout of nested calls: the golden trace of host_cli.py.
TEST(CallTrace, CutsTextsAfterSixtyCharacters) {
  TracedEngine e;
  const std::string sixty(60, 'x');
  e.traced->expand("%KVL_Echo(" + sixty + ")\n%KVL_Echo(" + sixty + "y)");
  const std::string cut = "\"" + sixty + "\"... (61 characters)";
  const std::vector<std::string> expected{
      "%KVL_Echo at my.tpl:1:1", "  with \"" + sixty + "\"", "  answered \"" + sixty + "\" in # ms (work: 120 bytes)",
      "%KVL_Echo at my.tpl:2:1", "  with " + cut, "  answered " + cut + " in # ms (work: 122 bytes)"};
  EXPECT_EQ(e.lines, expected);
}

TEST(CallTrace, StaysBoundedWhateverTheTemplateDoes) {
  // Loops nested nine deep, three passes each: 3^9 innermost passes, and 5 000 lines.
  TracedEngine deep;
  std::string text = "x";
  for (int level = 0; level < 9; ++level) {
    std::string body;
    for (const char c : text) body.append(c == '%' || c == '"' ? 2 : 1, c);
    text = "%KVL_Loop(i, 3, \"" + body + "\")";
  }
  EXPECT_EQ(deep.traced->expand(text), std::string(19683, 'x'));
  ASSERT_EQ(deep.lines.size(), kvlhost::CallTrace::kMaxLines + 1);
  EXPECT_EQ(deep.lines.back(), "... more than 5000 lines of trace; the rest is left out");
  // Huge arguments full of control characters: ten of them shown, each cut, on one line.
  TracedEngine huge;
  std::string call = "%KVL_Echo(";
  for (int i = 0; i < 11; ++i) call += std::string(100000, '\n') + "\r\x01\x7F,";
  huge.traced->expand(call + "end)");
  ASSERT_EQ(huge.lines.size(), 3u);
  EXPECT_TRUE(huge.lines[1].ends_with(", ... 2 more arguments")) << huge.lines[1];
  for (const std::string& line : huge.lines) {
    EXPECT_LT(line.size(), 2000u);
    EXPECT_EQ(line.find_first_of("\n\r\x01\x7F"), std::string::npos) << line.substr(0, 100);
  }
  EXPECT_EQ(kvlhost::CallTrace::Shown("\"\\\t\x1F"), "\"\\\"\\\\\\t\\x1F\"");
}

TEST(MessageText, PlacingTextIsLinear) {
  // Texts overlapping others are placed after them, the longest first.
  EXPECT_EQ(kvlhost::PlaceTexts("%_i=\"1\"1 of 10", {"i", "1", "1", "1 of 10"}),
            (std::vector<std::size_t>{2, 5, std::string::npos, 7}));
  // Near misses everywhere: a search that compared them again would take minutes.
  const std::string text(4u << 20, 'a');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(kvlhost::PlaceTexts(text, {std::string(100000, 'a') + "b", "a" + std::string(100000, 'b')}),
            (std::vector<std::size_t>{std::string::npos, std::string::npos}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // about 0.05 s here
}

}  // namespace
