// The PCRE binding: offsets, groups, iteration, templates, splitting, DFA, errors.
#include <clocale>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "regex/PCRE.h"

namespace {

using namespace kvl::regex;

// The message of the binding error that `action` raises, or "" when it raises none.
template <typename Error = ERegexException, typename Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return {};
}

TEST(RegexBinding, OptionSetsMapToPcreFlags) {
  EXPECT_EQ(RegexOptions(RegexOption::Caseless).bits(), 2u);
  EXPECT_EQ(ToPcreFlags(RegexOption::Caseless | RegexOption::Multiline), 0x1 | 0x2);
  EXPECT_EQ(ToPcreFlags(RegexOptions(RegexOption::FirstLine)), 0x40000);
  EXPECT_EQ(ToPcreFlags(MatchOption::NotBol | MatchOption::DfaShortest), 0x80 | 0x10000);
  EXPECT_EQ(RegexOptionsFromPcre(0x10 | 0x800 | 0x100000), RegexOption::Anchored | RegexOption::Utf8);
  // The compiled pattern reports anchoring it found itself.
  EXPECT_TRUE(CreateRegex("\\Aabc", {})->Options().has(RegexOption::Anchored));
}

TEST(RegexBinding, OffsetsStartsAndPseudoGroups) {
  const auto regex = CreateRegex("b", {});
  const auto match = regex->Match("abc");
  ASSERT_TRUE(match->Success());
  EXPECT_EQ(match->Index(), 1);
  EXPECT_EQ(match->Length(), 1);
  EXPECT_EQ(match->Groups()->Items(-1)->Value(), "a");
  EXPECT_EQ(match->Groups()->Items(-2)->Value(), "c");
  EXPECT_EQ(match->Groups()->Items(5)->Index(), -1);

  const auto failed = regex->Match("xyz");
  EXPECT_FALSE(failed->Success());
  EXPECT_EQ(failed->Groups()->Count(), 0);
  EXPECT_EQ(failed->Groups()->Items(-1)->Value(), "");
  EXPECT_EQ(failed->Groups()->Items(-2)->Value(), "");
  EXPECT_EQ(failed->Index(), -1);
  EXPECT_EQ(failed->Length(), 0);

  const auto empty = CreateRegex("x*", {});
  EXPECT_FALSE(empty->Match("abc", 4)->Success());
  EXPECT_EQ(empty->Match("abc", 4)->Groups()->Count(), 0);
  EXPECT_TRUE(empty->Match("abc", 3)->Success());  // the end of the subject is searched
  EXPECT_FALSE(empty->IsMatch("abc", -1));
  EXPECT_FALSE(CreateRegex("^b", {})->IsMatch("ab", 1));  // a start does not move the anchor
}

TEST(RegexBinding, GroupsUnsetNamedAndKeptAlive) {
  std::shared_ptr<ICaptureGroup> group;
  {
    std::string subject = "b";
    const auto match = CreateRegex("(a)|(b)", {})->Match(subject);
    subject = "changed";
    const auto groups = match->Groups();
    EXPECT_EQ(groups->Count(), 3);
    EXPECT_FALSE(groups->Items(1)->Success());
    EXPECT_EQ(groups->Items(1)->Value(), "");
    EXPECT_EQ(groups->Items(1)->Index(), -1);
    EXPECT_EQ(groups->Items(1)->Length(), 0);
    EXPECT_EQ(groups->Items(2)->Value(), "b");
    EXPECT_EQ(groups->Items(2)->Index(), 0);
    group = groups->Items(2);
  }
  EXPECT_EQ(group->Value(), "b");  // the view keeps its match and subject

  const auto named = CreateRegex("(?<year>\\d{4})-(?<month>\\d\\d)", {});
  EXPECT_EQ(named->NameCount(), 2);
  EXPECT_EQ(named->NameEntry(0), (std::pair<std::string, std::int32_t>{"month", 2}));
  EXPECT_EQ(named->NameEntry(1), (std::pair<std::string, std::int32_t>{"year", 1}));
  const auto match = named->Match("on 2024-05");
  EXPECT_EQ(match->Groups()->ItemsByName("month")->Value(), "05");
  EXPECT_EQ(ErrorOf<ERegexBadGroupName>([&] { match->Groups()->ItemsByName("Month"); }),
            "Invalid group name 'Month'");

  const auto index = CreateNameIndex();
  index->Add("b", 2);
  index->Add("a", 1);
  EXPECT_EQ(index->Items(0).first, "a");
  EXPECT_NE(ErrorOf([&] { index->Add("a", 3); }), "");
}

TEST(RegexBinding, IterationReportsEmptyMatchesOnce) {
  const auto matches = CreateRegex("x*", {})->Matches("ab");
  ASSERT_EQ(matches->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(matches->Items(i)->Index(), i);
    EXPECT_EQ(matches->Items(i)->Length(), 0);
  }
  std::vector<std::string> seen;
  CreateRegex("a|", {})->ForEachMatch("baa", [&](const std::shared_ptr<IMatch>& m) {
    seen.push_back(std::to_string(m->Index()) + ":" + m->Value());
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"0:", "1:a", "2:a", "3:"}));
  CreateRegex("a", {})->ForEachMatch("a", MatchCallback());  // an unassigned callback is allowed
}

TEST(RegexBinding, TemplateForms) {
  auto replace = [](const char* pattern, const char* subject, const char* templateText) {
    return CreateRegex(pattern, {})->Replace(subject, templateText);
  };
  EXPECT_EQ(replace("(\\w+)=(\\w+)", "a=b c=d", "$2=$1"), "b=a d=c");
  EXPECT_EQ(replace("o", "foo", "[$&]"), "f[o][o]");
  EXPECT_EQ(replace("x", "axb", "$$1|$'|$''|$`|$_|$+|$0|${"), "a$1|$'|b|a|axb|x|x|${b");
  EXPECT_EQ(replace("(x)(y)?", "axb", "[$+][$2]"), "a[][]b");  // the highest group, unset
  EXPECT_EQ(replace("x*", "ab", "-"), "-a-b-");
  EXPECT_EQ(replace("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", "abcdefghijkl", "$12$1"), "la");
  EXPECT_EQ(replace("(?<n>x)", "x", "${n}${n}"), "xx");
  EXPECT_EQ(replace("z", "no match", "$9"), "no match");  // nothing to expand, nothing to fail
  EXPECT_EQ(ErrorOf<ERegexInvalidSubstitutionGroup>([&] { replace("(a)(b)", "ab", "$3"); }),
            "Invalid substitution variable $3");
  EXPECT_EQ(ErrorOf<ERegexBadGroupName>([&] { replace("(?<n>x)", "x", "${}"); }), "Invalid group name ''");
  EXPECT_NE(ErrorOf([&] { replace("x", "x", "$99999999999"); }), "");

  const auto regex = CreateRegex("\\d", {});
  EXPECT_EQ(regex->Replace("a1b22", [](const IMatch& m) { return std::string("<") + m.Value() + ">"; }), "a<1>b<2><2>");
  EXPECT_EQ(regex->Replace("a1", MatchEvaluator()), "a1");
}

TEST(RegexBinding, LiteralPatternsFindWhatPcreFinds) {
  std::uint32_t seed = 99;
  for (const char* literal : {"ab", "aba", "b", "\xE4]}", "abcabd"}) {
    const auto fast = CreateRegex(literal, {});
    const auto viaPcre = CreateRegex(std::string("(?:") + literal + ")", {});
    for (int round = 0; round < 200; ++round) {
      std::string subject;
      for (int i = 0; i < round % 60; ++i) {
        seed = seed * 1103515245u + 12345u;
        subject += "abcd\xE4]}"[(seed >> 16) % 7];
      }
      ASSERT_EQ(fast->Replace(subject, "<$&$`>"), viaPcre->Replace(subject, "<$&$`>")) << literal << " " << subject;
      for (std::int32_t start = -1; start <= static_cast<std::int32_t>(subject.size()) + 1; ++start) {
        ASSERT_EQ(fast->IsMatch(subject, start), viaPcre->IsMatch(subject, start));
        ASSERT_EQ(fast->IsMatch(subject, start, MatchOption::Anchored),
                  viaPcre->IsMatch(subject, start, MatchOption::Anchored));
      }
    }
  }
}

TEST(RegexBinding, SplitAndDfa) {
  auto texts = [](const std::shared_ptr<IStringCollection>& collection) {
    std::vector<std::string> out;
    for (int i = 0; i < collection->Count(); ++i) out.push_back(collection->Items(i));
    return out;
  };
  const auto comma = CreateRegex(",", {});
  EXPECT_EQ(texts(comma->Split("a,b,,c")), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(texts(comma->Split("a,b", SplitOption::IncludeMatch)), (std::vector<std::string>{"a", ",", "b"}));
  EXPECT_EQ(texts(comma->Split("abc")), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(texts(CreateRegex("(-)|(\\+)", {})->Split("1-2+3")),
            (std::vector<std::string>{"1", "-", "2", "+", "3"}));

  const auto alternatives = CreateRegex("a+", {})->DfaMatch("aaa");
  ASSERT_EQ(alternatives->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(alternatives->Items(i)->Index(), 0);
    EXPECT_EQ(alternatives->Items(i)->Length(), 3 - i);
  }
  EXPECT_EQ(alternatives->Items(-2)->Value(), "");
  EXPECT_EQ(CreateRegex("a+", {})->DfaMatch("xa", 5)->Count(), 0);
  EXPECT_EQ(CreateRegex("a+", {})->DfaMatch("bbb")->Count(), 0);
  // Recursion and group calls would nest without limit on the stack.
  for (const char* calls : {"a(?R)?", "(a)(?1)?", "(a)(?-1)", "(?+1)(a)", "(?<n>a)(?&n)", "(?P<n>a)(?P>n)",
                            "(a)\\g<1>", "(a)\\g'1'"})
    EXPECT_EQ(ErrorOf([&] { CreateRegex(calls, {})->DfaMatch(std::string(1000, 'a')); }), "PCRE_ERROR_DFA_UITEM")
        << calls;
  EXPECT_EQ(CreateRegex("(?-i)(?:a|ab)(?=c)(?(?=x)x|)", {})->DfaMatch("abc")->Count(), 1);
}

TEST(RegexBinding, ErrorTexts) {
  EXPECT_EQ(ErrorOf([] { CreateRegex("(a", {}); }), "Invalid Pattern '(a': error at position 2: missing )");
  for (int code : {-1, -2, -7, -10, -16, -20})
    EXPECT_TRUE(ErrorOf([&] { CheckPcreCode(code); }).starts_with("PCRE_ERROR_")) << code;
  for (const std::pair<int, const char*>& row : {std::pair{-19, "PCRE_ERROR_DFA_WSSIZE"}, {-9, "Unknown PCRE error code -9"},
                                                 {-21, "Unknown PCRE error code -21"}, {0, ""}})
    EXPECT_EQ(ErrorOf([&row] { CheckPcreCode(row.first); }), row.second) << row.first;
  // Catastrophic backtracking hits PCRE's match limit.
  EXPECT_EQ(ErrorOf([] { CreateRegex("(a+)+b", {})->IsMatch(std::string(30, 'a') + "cb"); }),
            "Unknown PCRE error code -8");
  EXPECT_EQ(ErrorOf([] { CreateRegex("a", RegexOption::Utf8)->IsMatch("\xC3"); }), "PCRE_ERROR_BADUTF8");
}

TEST(RegexBinding, KeepInAssertionsNeverCopiesTextTwice) {
  EXPECT_EQ(CreateRegex("a\\Kb", {})->Replace("abab", "[$&]"), "a[b]a[b]");
  EXPECT_EQ(CreateRegex("(?<=\\Kab)c", {})->Replace("abc", "[$&]"), "[abc]");
  // A start beyond the end, and a start inside the match before.
  EXPECT_EQ(ErrorOf([] { CreateRegex("(?=a\\K)", {})->Replace("xab", "[$&]"); }),
            "The match ends before it starts (\\K in a lookahead)");
  EXPECT_EQ(ErrorOf([] { CreateRegex("(?=a\\K)", {})->IsMatch("xab"); }),
            "The match ends before it starts (\\K in a lookahead)");
  EXPECT_EQ(ErrorOf([] { CreateRegex("a|(?<=\\Ka)b", {})->Split("aab"); }),
            "A match starts inside the match before it (\\K in a lookbehind)");
  EXPECT_EQ(CreateRegex("a|(?<=\\Kb)c", {})->Replace("abc", "[$&]"), "[a][bc]");  // touching is fine
}


// Every match and group of a search, or its error: what both matchers must agree on.
std::string AllMatches(const IRegex& regex, const std::string& subject, MatchOptions options) {
  std::string text;
  try {
    regex.ForEachMatch(subject, options, [&](const std::shared_ptr<IMatch>& match) {
      const auto groups = match->Groups();
      for (std::int32_t group = 0; group < groups->Count(); ++group)
        text += std::to_string(groups->Items(group)->Index()) + ":" + std::to_string(groups->Items(group)->Length()) + " ";
      text += "| ";
    });
  } catch (const ERegexException& error) {
    text += error.what();
  }
  return text;
}

TEST(RegexBinding, JitFindsWhatTheInterpreterFinds) {
  struct Case {
    const char* pattern;
    RegexOptions options;
    std::vector<std::string> pieces;  // subjects are random strings of these
  };
  const Case cases[] = {
      {"(\\d+)-(\\d+)-(\\d+)", {}, {"1", "23", "-", " ", "x"}},
      {"zebra|giraffe|(ok)(api)?", {}, {"zebra", "zeb", "giraffe", "ok", "api", "a", " "}},
      {"(a|b)*?c(?=d)|(?<=e)f+", {}, {"a", "b", "c", "d", "e", "f"}},
      {"^(\\w+) *= *(.*)$", RegexOption::Multiline, {"ab", "=", " ", "\n", "\r\n", "-"}},
      {"(?<word>ab+)\\k<word>|x{2,3}", RegexOption::Caseless, {"a", "B", "b", "x", "X"}},
      {"(a)?(?(1)b|c)+", {}, {"a", "b", "c"}},
      {"(.)\\1|\\b\\w{3}\\b|$", {}, {"a", "b", " ", "\n"}},
      {"(?:\\x{e9}|\\w)+|[^a-z]", RegexOption::Utf8 | RegexOption::Caseless, {"\xC3\xA9", "\xC3\x89", "A", "b", " "}},
      {"ab|b", RegexOption::Anchored, {"a", "b"}},
      {"(a+|b+)*c", RegexOption::Ungreedy, {"a", "b", "c"}},
  };
  const MatchOptions modes[] = {{}, MatchOption::NotBol, MatchOption::NotEmpty, MatchOption::Anchored};
  std::mt19937 random(15);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.pattern);
    const auto jit = CreateRegexOnJit(test.pattern, test.options);
    const auto interpreter = CreateRegexWithoutJit(test.pattern, test.options);
    EXPECT_TRUE(jit->JitCompiled());
    EXPECT_FALSE(interpreter->JitCompiled());
    int found = 0;
    for (int round = 0; round < 300; ++round) {
      // Mostly short subjects; every tenth beyond 1024 bytes, where searches get their own JIT stack.
      const std::size_t pieces = round % 10 == 9 ? 1500 : random() % 40;
      std::string subject;
      for (std::size_t i = 0; i < pieces; ++i) subject += test.pieces[random() % test.pieces.size()];
      const MatchOptions mode = modes[static_cast<std::size_t>(round) % std::size(modes)];
      const std::string expected = AllMatches(*interpreter, subject, mode);
      ASSERT_EQ(AllMatches(*jit, subject, mode), expected) << "subject: " << subject;
      found += expected.find('|') != std::string::npos;
    }
    EXPECT_GT(found, 20);  // the subjects do exercise the pattern
  }
}

TEST(RegexBinding, DeepRecursionGivesAnErrorInsteadOfOverflowingTheStack) {
  const std::string subject(300000, 'a');
  EXPECT_EQ(ErrorOf([&] { CreateRegexWithoutJit("(a|b)*c", {})->IsMatch(subject); }), "Unknown PCRE error code -21");
  EXPECT_TRUE(CreateRegexWithoutJit("(a|b)*$", {})->IsMatch(std::string(500, 'a')));
  // The JIT keeps its backtracking on a stack sized for the subject: the machine
  // stack up to 1024 bytes, its own beyond.
  for (const std::size_t length : {std::size_t{1024}, std::size_t{1025}, std::size_t{3000}}) {
    EXPECT_FALSE(CreateRegex("(a|b)*c", {})->IsMatch(std::string(length, 'a'))) << length;
    EXPECT_TRUE(CreateRegex("(a|b)*$", {})->IsMatch(std::string(length, 'a'))) << length;
  }
  // Nested groups need more than that: such a search goes to the interpreter.
  const std::string nested = "((((((((a))))))))*c";
  for (const std::size_t length : {std::size_t{1024}, std::size_t{1025}, std::size_t{4000}}) {
    const std::string text(length, 'a');
    const std::string interpreted = ErrorOf([&] { CreateRegexWithoutJit(nested, {})->IsMatch(text); });
    EXPECT_EQ(ErrorOf([&] { EXPECT_FALSE(CreateRegex(nested, {})->IsMatch(text)); }), interpreted) << length;
  }
  // Captures inside a lookahead of a repeated group take the JIT more than 32 bytes a
  // character: its stack runs out on 1500 and the interpreter answers instead; on 8000
  // the interpreter runs out of recursion as well, and that error stands.
  const auto lookahead = CreateRegexOnJit("^(a(?=(b)?(c)?(d)?))*$", {});
  EXPECT_EQ(ErrorOf([&] { EXPECT_TRUE(lookahead->IsMatch(std::string(1500, 'a'))); }), "");
  EXPECT_EQ(ErrorOf([&] { lookahead->IsMatch(std::string(8000, 'a')); }), "Unknown PCRE error code -21");
}

TEST(RegexBinding, MachineCodeOnlyForLongSearches) {
  // Compiling to machine code costs more than a short search: it comes with the first
  // search that can reach kJitFromBytes.
  const auto regex = CreateRegex("(\\d+)x", {});
  EXPECT_FALSE(regex->IsMatch(std::string(kJitFromBytes - 1, 'a')));
  EXPECT_FALSE(regex->IsMatch(std::string(kJitFromBytes, 'a'), 1));
  EXPECT_FALSE(regex->MachineCodeMade());
  EXPECT_FALSE(regex->IsMatch(std::string(kJitFromBytes, 'a')));
  EXPECT_TRUE(regex->MachineCodeMade());
  EXPECT_TRUE(regex->IsMatch(std::string(kJitFromBytes, 'a') + "12x"));
  // A short search too deep for the interpreter's recursion limit is answered by the
  // JIT, as a long one is.
  const auto deep = CreateRegex("(a|b)*$", {});
  EXPECT_EQ(ErrorOf([&] { CreateRegexWithoutJit("(a|b)*$", {})->IsMatch(std::string(4000, 'a')); }),
            "Unknown PCRE error code -21");
  EXPECT_TRUE(deep->IsMatch(std::string(4000, 'a')));
  EXPECT_TRUE(deep->MachineCodeMade());
}

TEST(RegexBinding, StepLimitCoversTheWholeSearch) {
  for (const auto& [bytes, steps] : {std::pair<std::size_t, unsigned long>{0, 10'000'000}, {1, 10'001'000},
                                     {239'999, 249'999'000}, {240'000, kSearchStepsMost}, {240'001, kSearchStepsMost},
                                     {std::size_t{1} << 30, kSearchStepsMost}})
    EXPECT_EQ(SearchStepLimit(bytes), steps) << bytes;
  // (a|b)*c tries every start position and repeats the group to the end from each,
  // entering an alternative and trying the other on the way back: about 1.3 n² steps,
  // each start far below PCRE's own per-start limit. The limit for the whole search
  // (10 000 000 + 1 000 per byte) lets 3 000 bytes through (12 million steps) and
  // stops 4 000 (21 million) and 300 000 (instead of minutes of work).
  const auto jit = CreateRegex("(a|b)*c", {});
  ASSERT_TRUE(jit->JitCompiled());
  EXPECT_FALSE(jit->IsMatch(std::string(3000, 'a')));
  EXPECT_EQ(ErrorOf([&] { jit->IsMatch(std::string(4000, 'a')); }), "Unknown PCRE error code -8");
  EXPECT_EQ(ErrorOf([&] { jit->IsMatch(std::string(300000, 'a')); }), "Unknown PCRE error code -8");
  // The start counts: from 3 000 bytes before the end the same search fits again.
  EXPECT_FALSE(jit->IsMatch(std::string(4000, 'a'), 1000));
  // Both engines count across start positions, and alike: a bounded group (at most 30
  // repeats from each start) under a pattern limit of 20 000 steps fits 100 bytes
  // (about 10 500 steps on either) and not 200, though no single start comes near it.
  for (const auto& regex : {CreateRegexOnJit("(*LIMIT_MATCH=20000)(?:a|b){0,30}[cd]", {}),
                            CreateRegexWithoutJit("(*LIMIT_MATCH=20000)(?:a|b){0,30}[cd]", {})}) {
    EXPECT_FALSE(regex->IsMatch(std::string(100, 'a'))) << regex->JitCompiled();
    EXPECT_EQ(ErrorOf([&] { regex->IsMatch(std::string(200, 'a')); }), "Unknown PCRE error code -8")
        << regex->JitCompiled();
  }
}

// The steps one search takes, read from a budget that does not bind.
unsigned long StepsOf(const IRegex& regex, std::string_view subject) {
  StepBudget budget(kSearchStepsMost);
  regex.IsMatch(subject, 0, {}, budget);
  return kSearchStepsMost - budget.left();
}

std::string Repeated(std::string_view piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(RegexBinding, RepeatsBackReferencesAndClustersCountTheirWork) {
  // Each search is quadratic (or worse) in its subject through work inside single
  // items: a repeat run from every start, a search back for the character after a
  // repeat, a back reference compared over and over, a grapheme cluster read from
  // every start. Neither engine enters many groups or repeats for it, so only counting
  // what those items read makes its steps grow like its work. (No pattern has a
  // required character: both engines would look for it and stop at once.)
  struct Case {
    const char* pattern;
    std::string subject;
    unsigned long least;  // the work of the JIT, which does less of it than the interpreter
  };
  const Case cases[] = {
      {"b[ab]*[cd][ab]", Repeated("ab", 1000), 900'000},      // [ab]* possessive, to the end from every "b"
      {"a*a*[cd]", std::string(300, 'a'), 40'000},             // the second run after each step back
      {".*.*=.*c", std::string(2000, 'a'), 1'900'000},         // ".*=" searches on for "=" in vain
      {"a.*=[xy]", std::string(1000, 'a') + "=" + std::string(1000, 'b') + "=", 2'000'000},  // and back to the first
      {"(a+)\\1\\d", std::string(300, 'a'), 300ul * 300 * 300 / 48},  // bytes compared
      {"(*UTF8)\\X\\X", "a" + Repeated("\xCC\x80", 1000), 400'000},  // U+0300: one cluster to the end
  };
  for (const Case& test : cases) {
    for (const auto& regex : {CreateRegexOnJit(test.pattern, {}), CreateRegexWithoutJit(test.pattern, {})}) {
      SCOPED_TRACE(std::string(test.pattern) + (regex->JitCompiled() ? " (JIT)" : " (interpreter)"));
      const unsigned long steps = StepsOf(*regex, test.subject);
      EXPECT_GE(steps, test.least);
      // Exactly these steps let the search end, with its answer; one fewer stops it.
      StepBudget enough(steps), tooFew(steps - 1);
      EXPECT_EQ(regex->IsMatch(test.subject, 0, {}, enough), regex->IsMatch(test.subject));
      EXPECT_EQ(enough.left(), 0u);
      EXPECT_EQ(ErrorOf<ERegexStepLimit>([&] { regex->IsMatch(test.subject, 0, {}, tooFew); }),
                "Unknown PCRE error code -8");
      EXPECT_EQ(tooFew.left(), 0u);
    }
  }
}

TEST(RegexBinding, LongSubjectsOfTheseSearchesFailWithinTheirLimit) {
  // The whole search's limit now stops them (the JIT takes subjects from 16 KB on)
  // where they ran for seconds to minutes.
  const std::pair<const char*, std::string> cases[] = {
      {"b[ab]*c[ab]", Repeated("ab", 131072)},
      {"a*a*c", std::string(262144, 'a')},
      {".*.*=.*c", std::string(262144, 'a')},
      {"(a+)\\1b", std::string(16384, 'a')},
  };
  for (const auto& test : cases) {
    const auto regex = CreateRegex(test.first, {});
    EXPECT_EQ(ErrorOf<ERegexStepLimit>([&] { regex->IsMatch(test.second); }), "Unknown PCRE error code -8")
        << test.first;
    EXPECT_TRUE(regex->MachineCodeMade()) << test.first;
  }
  // Ordinary searches over as much text take a few steps per byte, far from the 1 000
  // a search may take.
  const std::string lines =
      Repeated("Subject: Re: the same words again, on 2024-05-01 to a.b@example.org\r\n", 60000);
  for (const char* pattern : {"(?m)^.*zebra$", "\\w+@\\w+\\.com", "(\\d+)-(\\d+)x", "\\s+$",
                              "(?im)^(\\w+):\\s*(.*)again$", "\\b(\\w+)\\s+\\1\\b"}) {
    const unsigned long steps = StepsOf(*CreateRegex(pattern, {}), lines);
    EXPECT_LT(steps, 20 * lines.size()) << pattern;
  }
}

TEST(RegexBinding, BudgetSharedBySearches) {
  const auto regex = CreateRegex("(a|b)*[cd]", {});
  const std::string subject(100, 'a');
  const unsigned long each = StepsOf(*regex, subject);
  ASSERT_GT(each, 100u * 100 / 2);
  StepBudget budget(3 * each);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(regex->IsMatch(subject, 0, {}, budget)) << i;
  EXPECT_EQ(budget.left(), 0u);
  EXPECT_THROW(regex->IsMatch(subject, 0, {}, budget), ERegexStepLimit);
  // A search that never reaches PCRE takes nothing: a literal, an absent required byte.
  StepBudget none(0);
  EXPECT_TRUE(CreateRegex("abc", {})->IsMatch("xxabc", 0, {}, none));
  EXPECT_FALSE(CreateRegex("(a|b)*=", {})->IsMatch(subject, 0, {}, none));
  EXPECT_THROW(regex->IsMatch(subject, 0, {}, none), ERegexStepLimit);
  // Its own limit still holds under a larger budget.
  StepBudget large(kSearchStepsMost);
  EXPECT_THROW(CreateRegex("(a|b)*c", {})->IsMatch(std::string(100000, 'a'), 0, {}, large), ERegexStepLimit);
  EXPECT_GE(large.left(), kSearchStepsMost - SearchStepLimit(100000) - 1);
}

TEST(RegexBinding, WalkSharesTheStepsOfOneSearch) {
  // At every "a" the lookahead runs its repeat to the end and fails, then the second
  // branch matches: each search stays within its own steps, together they grow with
  // the square of the text. The search from position p costs what a search of the last
  // n - p bytes does, so the walk over n bytes costs the sum of those.
  const auto regex = CreateRegex("a(?=[ab]*c)|a", {});
  std::vector<unsigned long> walk = {0};  // walk[n]: the steps of all searches over n bytes
  std::size_t most = 0;  // the longest text whose walk fits the steps of one search
  for (std::size_t n = 1; n < 20000 && most + 1 == n; ++n) {
    walk.push_back(walk.back() + StepsOf(*regex, std::string(n, 'a')));
    if (walk[n] <= SearchStepLimit(n)) most = n;
  }
  ASSERT_GT(most, 1000u);
  ASSERT_LT(most, 19999u);
  EXPECT_EQ(regex->Replace(std::string(most, 'a'), "x", {}), std::string(most, 'x'));
  EXPECT_EQ(ErrorOf<ERegexStepLimit>([&] { regex->Replace(std::string(most + 1, 'a'), "x", {}); }),
            "Unknown PCRE error code -8");
  // Every walk shares them: matches, splitting, replacing with a function.
  const std::string beyond(most + 1, 'a');
  EXPECT_THROW(regex->Matches(beyond), ERegexStepLimit);
  EXPECT_THROW(regex->Split(beyond), ERegexStepLimit);
  EXPECT_THROW(regex->Replace(beyond, [](const IMatch&) { return std::string(); }), ERegexStepLimit);
  EXPECT_EQ(regex->Matches(std::string(most, 'a'))->Count(), static_cast<std::int32_t>(most));
  // The long text that took minutes before ends at once.
  EXPECT_THROW(regex->Replace(std::string(200000, 'a'), "x", {}), ERegexStepLimit);

  // A walk over 16 KB or more stays on the machine code to its end, where the
  // interpreter, many times slower per step here, would give up.
  const auto tail = CreateRegex("x|a*a*[cd]", {});
  EXPECT_THROW(tail->Replace(std::string(2000, 'a'), "y", {}), ERegexStepLimit);
  EXPECT_EQ(tail->Replace(std::string(kJitFromBytes, 'x') + std::string(2000, 'a'), "y", {}),
            std::string(kJitFromBytes, 'y') + std::string(2000, 'a'));
}

#if defined(_WIN32)
// Committed executable memory of the process: where the JIT puts its machine code.
std::size_t ExecutableBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE && (region.Protect & kExecutable)) total += region.RegionSize;
  }
  return total;
}

TEST(RegexBinding, MachineCodeGoesWithThePattern) {
  const auto compileMany = [](int count) {
    std::vector<std::shared_ptr<IRegex>> kept;
    for (int i = 0; i < count; ++i) {
      kept.push_back(CreateRegex("(\\d+)-(x|y)*" + std::to_string(i), {}));
      EXPECT_TRUE(kept.back()->JitCompiled());  // makes the machine code
    }
    return kept;
  };
  const std::size_t before = ExecutableBytes();
  std::size_t whileKept = 0;
  {
    const auto kept = compileMany(2000);
    whileKept = ExecutableBytes();
  }
  EXPECT_GT(whileKept, before + (256u << 10));  // 2 000 patterns hold their code
  for (int round = 0; round < 10; ++round) compileMany(2000);
  EXPECT_LT(ExecutableBytes(), whileKept);  // and give it back when they go
}
#endif

TEST(RegexBinding, LocaleTables) {
  const auto builtIn = CreateRegex("\\w", {});
  EXPECT_EQ(builtIn->LocaleName(), "C");
  EXPECT_FALSE(builtIn->IsMatch("\xE4"));
  EXPECT_EQ(ErrorOf<EBadRegexLocale>([] { CreateRegex("\\w", {}, "no-such-locale", LC_CTYPE); }),
            "Invalid locale string no-such-locale or invalid locale category " + std::to_string(LC_CTYPE));
#if defined(_WIN32)
  // A real locale's tables know its letters (code page 1252 here; a Windows locale name).
  const auto german = CreateRegex("^\\w+$", RegexOption::Caseless, "German_Germany.1252", LC_CTYPE);
  EXPECT_NE(german->LocaleName(), "C");
  EXPECT_TRUE(german->IsMatch("\xC4rger"));
  std::setlocale(LC_ALL, "C");
#endif
}

TEST(RegexBinding, InformationQueries) {
  const auto regex = CreateRegex("(a)(?:b)(c)\\1", RegexOption::Caseless);
  EXPECT_EQ(regex->CaptureCount(), 2);
  EXPECT_EQ(regex->BackrefMax(), 1);
  EXPECT_EQ(regex->FirstByte(), 'a');
  EXPECT_GT(regex->Size(), 0);
  EXPECT_EQ(regex->Pattern(), "(a)(?:b)(c)\\1");
  EXPECT_TRUE(regex->Options().has(RegexOption::Caseless));
  EXPECT_EQ(CreateRegex("[xy]z", {})->FirstByte(), -2);  // no fixed first byte
  EXPECT_NE(CreateRegex("[xy]z", {})->FirstTable(), nullptr);  // studied: a start-byte map
}

}  // namespace
