// The line and item walkers of core/TextUtil, the line rules of the control macros,
// the number reader and the editing routines, on texts and parameters from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

#include "core/ControlMacros.h"
#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "mailtext/MailText.h"
#include "tests/fuzz/FuzzCheck.h"
#include "text/Editing.h"

using namespace kvl;
using kvlfuzz::Expect;

namespace {

void CheckSearch(std::string_view text, std::string_view needle) {
  for (std::size_t from : {std::size_t{0}, std::size_t{1}, text.size() / 3, text.size(), text.size() + 1}) {
    Expect(FindText(text, needle, from) == text.find(needle, from), "FindText finds what std::find finds");
    Expect(FindTextTwoWay(text, needle, from) == text.find(needle, from), "the two-way search finds it too");
  }
  std::size_t count = 0;
  if (!needle.empty())
    for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size()))
      ++count;
  Expect(CountOf(text, needle) == count, "CountOf counts without overlap");

  if (needle.empty() || count >= 200) return;
  std::string joined;
  for (int n = 1; n <= static_cast<int>(count) + 1; ++n) {
    if (n > 1) joined += needle;
    joined += FieldAt(text, needle, n);
  }
  Expect(joined == text, "the fields and their delimiters make the text");
  Expect(FieldAt(text, needle, static_cast<int>(count) + 2).empty(), "no field after the last");
}

void CheckLines(std::string_view text) {
  std::string joined;
  bool first = true;
  ForEachLine(text, [&](std::string_view line) {
    Expect(line.find("\r\n") == std::string_view::npos, "a line holds no CR LF");
    if (!first) joined += "\r\n";
    joined += line;
    first = false;
  });
  Expect(joined == text, "the lines and their CR LF make the text");
  std::size_t characters = 0;
  ForEachLineAtAnyBreak(text, [&](std::string_view line) {
    Expect(line.find_first_of("\r\n") == std::string_view::npos, "a line holds no line break");
    characters += line.size();
  });
  Expect(characters <= text.size(), "lines come from the text");
}

void CheckTrims(std::string_view text, std::string_view classes) {
  const std::string both = TrimClasses(text, classes);
  const std::string left = TrimLeftClasses(text, classes);
  const std::string right = TrimRightClasses(text, classes);
  Expect(text.find(both) != std::string_view::npos && text.ends_with(left) && text.starts_with(right),
         "trimming keeps a part of the text");
  Expect(text.empty() || !left.empty(), "trimming at the left keeps the last character");
  Expect(UnescapeText(text).size() <= text.size(), "unescaping never grows the text");
}

void CheckNumber(std::string_view text) {
  const auto number = ReadInteger(text);
  if (number) Expect(ReadInteger(FormatInteger(*number)) == number, "a number read comes back from its text");
}

void CheckEditing(FuzzedDataProvider& input, std::string_view text, std::string_view search,
                  std::string_view replacement) {
  const long long width = input.ConsumeIntegralInRange<long long>(-2, 120);
  const std::string wrapped = WrapLines(text, width);
  if (width >= 3)
    ForEachLine(wrapped, [&](std::string_view line) {
      Expect(line.size() <= static_cast<std::size_t>(width), "wrapped lines fit the width");
    });
  const auto alignment = static_cast<Alignment>(input.ConsumeIntegralInRange<int>(0, 3));
  WrapAndAlign(text, width, alignment);
  const std::string justified = JustifyLine(text, width);
  Expect(justified.size() >= text.size(), "justifying never shortens a line");
  Expect(Rot13(Rot13(text)) == text, "Rot13 twice is the text");
  TranslateChars(text, search, std::string(search.size(), 'x'), input.ConsumeBool(), input.ConsumeBool());

  const bool fold = input.ConsumeBool();
  const std::string once = ReplaceAll(text, search, replacement, fold ? AsciiLowered : nullptr);
  const bool occurs = fold ? AsciiLowered(text).find(AsciiLowered(search)) != std::string::npos
                           : text.find(search) != std::string_view::npos;
  if (search.empty() || !occurs) Expect(once == text, "nothing to replace");
  try {
    const std::string repeated = ReplaceRepeatedly(text, search, replacement, nullptr, nullptr);
    if (!search.empty() && replacement.find(search) == std::string_view::npos)
      Expect(repeated.find(search) == std::string::npos, "repeated replacement leaves no occurrence");
  } catch (const std::length_error&) {
    // the work bound: a text that would not settle in time
  }
  ClearEmptyLines(text, input.ConsumeIntegralInRange<int>(-1, 5), input.ConsumeIntegralInRange<int>(-1, 5),
                  input.ConsumeBool());
  LineBetween(text, search, replacement, input.ConsumeIntegralInRange<int>(0, 2),
              input.ConsumeIntegralInRange<int>(0, 2), AsciiLowered);
}

// Prefix words from the input: the chain's remainder is the subject's end, and cleaning
// it again changes nothing (the walk stopped where no word with its colon begins).
void CheckSubject(std::string_view subject, std::string_view words) {
  const std::vector<std::string> extra = PrefixWords(words, AsciiLowered);
  const std::optional<std::string> cleaned = CleanSubject(subject, extra);
  Expect(cleaned.has_value(), "short word lists never give up");
  Expect(subject.ends_with(*cleaned), "the cleaned subject is the subject's end");
  Expect(CleanSubject(*cleaned, extra) == cleaned, "cleaning twice is cleaning once");
  Expect(CountReplies(subject, true, extra, extra).has_value(), "counting never gives up on short lists");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string needle = input.ConsumeRandomLengthString(16);
  const std::string replacement = input.ConsumeRandomLengthString(16);
  const std::string classes = input.ConsumeRandomLengthString(8);
  const std::string parameters = input.ConsumeBytesAsString(16);
  const std::string text = input.ConsumeRemainingBytesAsString();

  CheckSearch(text, needle);
  CheckLines(text);
  CheckTrims(text, classes);
  CheckNumber(needle);
  CheckNumber(text);
  FuzzedDataProvider choices(reinterpret_cast<const std::uint8_t*>(parameters.data()), parameters.size());
  CheckEditing(choices, text, needle, replacement);
  CheckSubject(text, needle + "|" + replacement);
  return 0;
}
