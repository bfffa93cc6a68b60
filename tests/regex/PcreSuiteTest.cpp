// PCRE's own Perl-compatible test data run through the regex binding: every result
// pcretest printed in testoutput1 must come back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/TextUtil.h"
#include "regex/PCRE.h"

namespace {

using namespace kvl::regex;

// ---- pcretest's files ------------------------------------------------------

struct SubjectCase {
  std::string line;                 // as written, escapes and all
  std::vector<std::string> output;  // pcretest's result lines
};

struct PatternCase {
  std::string pattern;                // between the delimiters
  std::string flags;                  // after the closing delimiter, white space dropped
  std::vector<std::string> preamble;  // output before the first subject, e.g. "Failed: ..."
  std::vector<SubjectCase> subjects;
};

bool IsBlank(std::string_view line) { return kvl::Trimmed(line).empty(); }

// pcretest's result lines: "%2d: " groups (or "%2d+ " and others for options) and messages.
bool LooksLikeOutput(std::string_view line) {
  static constexpr std::string_view kMessages[] = {"No match", "Partial match", "MK: ",    "Matched, but",
                                                   "Error ",   "Failed: ",      "** ",     "Start of matched"};
  for (std::string_view message : kMessages)
    if (line.starts_with(message)) return true;
  const std::size_t digits = line.starts_with(' ') ? 1 : 0;
  const std::size_t end = line.find_first_not_of("0123456789", digits);
  constexpr std::string_view kMarks = ":+CGL";  // group, rest of subject, copied, got, listed
  return end != std::string_view::npos && end >= 2 && kMarks.find(line[end]) != std::string_view::npos;
}

// As pcretest: a backslash protects the next character, the line break included.
std::size_t FindDelimiter(std::string_view text, char delimiter) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    else if (text[i] == delimiter) return i;
  }
  return std::string_view::npos;
}

// Reads a pattern that starts on 'line' and may go on over the next lines; false at an unterminated end.
bool ReadPattern(std::istream& in, std::string_view line, PatternCase& pattern) {
  line = line.substr(line.find_first_not_of(" \t\v\f\r"));
  const char delimiter = line[0];
  std::string text = std::string(line.substr(1)) + '\n';
  std::size_t end;
  std::string more;
  while ((end = FindDelimiter(text, delimiter)) == std::string::npos) {
    if (!std::getline(in, more)) return false;
    text += more + '\n';
  }
  pattern.pattern = text.substr(0, end);
  for (char c : text.substr(end + 1))
    if (!std::isspace(static_cast<unsigned char>(c))) pattern.flags += c;
  if (pattern.flags.starts_with('\\')) {  // pcretest's way to end a pattern with a backslash
    pattern.pattern += '\\';
    pattern.flags.erase(0, 1);
  }
  return true;
}

// Subject lines and their results run up to the next blank line. Subjects need not be
// indented, but pcretest prints at least one line for each.
void ReadSubjects(std::istream& in, PatternCase& pattern) {
  std::string line;
  bool afterSubject = false;
  while (std::getline(in, line) && !IsBlank(line)) {
    const bool isOutput = afterSubject || LooksLikeOutput(line);
    afterSubject = !isOutput;
    if (!isOutput) pattern.subjects.push_back({line, {}});
    else if (pattern.subjects.empty()) pattern.preamble.push_back(line);
    else pattern.subjects.back().output.push_back(line);
  }
}

// pcretest's output: each pattern, its subjects and what pcretest printed for them.
std::vector<PatternCase> ReadPcretestOutput(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<PatternCase> patterns;
  std::string line;
  while (std::getline(in, line)) {
    if (IsBlank(line) || kvl::Trimmed(line).starts_with("< ")) continue;  // "< forbid ..." is a command
    PatternCase pattern;
    if (!ReadPattern(in, line, pattern)) break;
    ReadSubjects(in, pattern);
    patterns.push_back(std::move(pattern));
  }
  return patterns;
}

// ---- subjects: pcretest's escapes and controls -----------------------------

struct Subject {
  std::string text;
  MatchOptions options;
};

// Reads up to maxDigits digits at text[pos] and moves pos past them.
unsigned ReadNumber(std::string_view text, std::size_t& pos, int base, std::size_t maxDigits) {
  unsigned value = 0;
  const char* begin = text.data() + pos;
  pos = std::from_chars(begin, begin + std::min(maxDigits, text.size() - pos), value, base).ptr - text.data();
  return value;
}

// \x{...}; anything else after the brace leaves pos alone.
bool ReadBraced(std::string_view text, std::size_t& pos, int base, unsigned& value) {
  if (pos >= text.size() || text[pos] != '{') return false;
  std::size_t end = pos + 1;
  value = ReadNumber(text, end, base, SIZE_MAX);
  if (end >= text.size() || text[end] != '}') return false;
  pos = end + 1;
  return true;
}

// One byte or one control after a backslash at line[pos - 1]; pos moves past it. The
// only control these subjects use is \B; any other would read as its letter, and the
// results would tell.
void DecodeEscape(std::string_view line, std::size_t& pos, Subject& subject) {
  const char c = line[pos++];
  unsigned value = 0;
  switch (c) {
    case 'a': case 'b': case 'e': case 'f': case 'n': case 'r': case 't': case 'v':
      subject.text += "\a\b\x1b\f\n\r\t\v"[std::string_view("abefnrtv").find(c)];
      break;
    case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7':
      --pos;
      subject.text += static_cast<char>(ReadNumber(line, pos, 8, 3));
      break;
    case 'x':
      if (ReadBraced(line, pos, 16, value)) subject.text += static_cast<char>(value);  // 8-bit: the low byte
      else subject.text += static_cast<char>(ReadNumber(line, pos, 16, 2));
      break;
    case 'B': subject.options = subject.options | MatchOption::NotBol; break;
    default: subject.text += c;  // \\, \$ and any other character stand for themselves
  }
}

Subject DecodeSubject(std::string_view line) {
  line = kvl::Trimmed(line);
  Subject subject;
  for (std::size_t pos = 0; pos < line.size();) {
    if (line[pos] != '\\') subject.text += line[pos++];
    else if (++pos < line.size()) DecodeEscape(line, pos, subject);  // a lone final backslash adds nothing
  }
  return subject;
}

// ---- results in pcretest's form --------------------------------------------

std::string GroupPrefix(int index) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%2d: ", index);
  return prefix;
}

// pcretest prints a backslash as it is, so its output cannot be decoded without
// ambiguity; ours is printed the same way and the texts are compared.
std::string AsPcretestPrints(std::string_view bytes) {
  std::string printed;
  for (unsigned char c : bytes) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    printed += (c >= 32 && c < 127) ? std::string(1, static_cast<char>(c)) : std::string(hex);
  }
  return printed;
}

// The group's value, checked against its offsets in the subject.
std::string Printed(const ICaptureGroup& group, std::string_view subject) {
  if (!group.Success()) return "<unset>";
  const std::string value = group.Value();
  const auto index = static_cast<std::size_t>(group.Index());
  if (group.Index() < 0 || index > subject.size() || subject.substr(index, group.Length()) != value)
    return AsPcretestPrints(value) + " <not at its offset " + std::to_string(group.Index()) + ">";
  return AsPcretestPrints(value);
}

int PrintedGroupCount(const std::vector<std::string>& output) {
  int count = 0;
  for (const std::string& line : output)
    if (line.starts_with(GroupPrefix(count))) ++count;
  return count;
}

// The lines pcretest would print for this match. It stops at the last group that is set;
// a group past those it printed may also read as set but empty.
std::vector<std::string> Transcript(const IMatch& match, std::string_view subject, int expectedGroups) {
  if (!match.Success()) return {"No match"};
  const auto groups = match.Groups();
  const int count = std::max(groups->Count(), expectedGroups);
  std::vector<std::string> lines{GroupPrefix(0) + Printed(match, subject)};
  std::size_t shown = 1;
  for (int i = 1; i < count; ++i) {
    const auto group = groups->Items(i);
    lines.push_back(GroupPrefix(i) + Printed(*group, subject));
    if (group->Success() && (i < expectedGroups || group->Length() > 0)) shown = lines.size();
  }
  lines.resize(shown);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : "\n") + lines[i];
  return text;
}

// ---- the run ---------------------------------------------------------------

RegexOptions OptionsFromFlags(std::string_view flags, std::string& unsupported) {
  RegexOptions options;
  for (char flag : flags) {
    switch (flag) {
      case 'i': options = options | RegexOption::Caseless; break;
      case 'm': options = options | RegexOption::Multiline; break;
      case 's': options = options | RegexOption::DotAll; break;
      case 'x': options = options | RegexOption::Extended; break;
      default:
        if (unsupported.find(flag) == std::string::npos) unsupported += flag;
    }
  }
  std::sort(unsupported.begin(), unsupported.end());  // one skip reason whatever the order
  return options;
}

std::string Where(const PatternCase& pattern) {
  return "pattern /" + AsPcretestPrints(pattern.pattern) + "/" + pattern.flags;
}

// Runs patterns and subjects, counts them and the patterns left out, and reports the
// first mismatches.
struct SuiteRun {
  int failures = 0, patternsRun = 0, subjectsRun = 0;
  std::map<std::string, int> skips;  // reason -> patterns left out

  void Run(const PatternCase& pattern) {
    std::string unsupported;
    const RegexOptions options = OptionsFromFlags(pattern.flags, unsupported);
    if (!unsupported.empty()) {
      ++skips["pattern flags " + unsupported];
      return;
    }
    ++patternsRun;
    if (const auto regex = Compile(pattern, options))
      for (const SubjectCase& subject : pattern.subjects) RunSubject(*regex, pattern, subject);
  }

  void Compare(const std::string& where, const std::string& expected, const std::string& got) {
    if (got != expected && ++failures <= 30) {
      EXPECT_EQ(expected, got) << where;
    }
  }

  // Null when it does not compile. pcretest prints nothing before the first subject of a
  // pattern it compiled, and "Failed: ..." for one it did not: that failure must be ours too.
  std::shared_ptr<IRegex> Compile(const PatternCase& pattern, RegexOptions options) {
    const std::string expected = pattern.preamble.empty() ? "compiles" : Joined(pattern.preamble);
    try {
      auto regex = CreateRegex(pattern.pattern, options, "C", 0);
      Compare(Where(pattern), expected, "compiles");
      return regex;
    } catch (const ERegexException& e) {
      if (!expected.starts_with("Failed:")) Compare(Where(pattern), expected, std::string("error: ") + e.what());
    }
    return nullptr;
  }

  void RunSubject(const IRegex& regex, const PatternCase& pattern, const SubjectCase& subjectCase) {
    const Subject subject = DecodeSubject(subjectCase.line);
    ++subjectsRun;
    const auto match = regex.Match(subject.text, subject.options);
    Compare(Where(pattern) + "\n  subject: " + std::string(kvl::Trimmed(subjectCase.line)), Joined(subjectCase.output),
            Joined(Transcript(*match, subject.text, PrintedGroupCount(subjectCase.output))));
  }
};

TEST(PcreSuite, Testoutput1ThroughTheBinding) {
  const std::string path = KVL_PCRE_TESTDATA "/testoutput1";
  ASSERT_TRUE(std::ifstream(path).is_open()) << "PCRE test data missing: " << path;
  SuiteRun run;
  for (const PatternCase& pattern : ReadPcretestOutput(path)) run.Run(pattern);
  std::printf("[ PCRE     ] %d patterns and %d subjects run, %d failed\n", run.patternsRun, run.subjectsRun,
              run.failures);
  for (const auto& [reason, count] : run.skips) std::printf("[ PCRE     ]   skipped %4d: %s\n", count, reason.c_str());
  // The suite must not pass by running less: PCRE 8.39's file, every case the binding can express.
  EXPECT_EQ(run.patternsRun, 1124);
  EXPECT_EQ(run.subjectsRun, 2316);
  EXPECT_EQ(run.failures, 0);
}

}  // namespace
