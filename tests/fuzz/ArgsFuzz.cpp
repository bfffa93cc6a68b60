// The argument splitters: core/ArgList's CountArgs and ArgAt (input: separators NUL
// quotes NUL text) and kvlhost's SplitCallArguments on the whole input.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/ArgList.h"
#include "host/TemplateEngine.h"
#include "tests/fuzz/FuzzCheck.h"

using kvlfuzz::Expect;

namespace {

void CheckArgList(std::string_view separators, std::string_view quotes, std::string_view text) {
  const int count = kvl::CountArgs(text, separators, quotes);
  Expect(count >= 1 && static_cast<std::size_t>(count) <= text.size() + 1, "one item more than separators at most");
  // Items are cut at single separator characters, so they and the separators between
  // them make up the text.
  std::size_t itemCharacters = 0;
  const int walked = std::min(count, 200);
  for (int n = 1; n <= walked; ++n) itemCharacters += kvl::ArgAt(text, n, separators, quotes).size();
  if (walked == count)
    Expect(itemCharacters + static_cast<std::size_t>(count - 1) == text.size(), "items and separators make the text");
  Expect(kvl::ArgAt(text, count + 1, separators, quotes).empty(), "no item after the last");
  Expect(kvl::ArgAt(text, 0, separators, quotes).empty(), "no item 0");
}

void CheckCallArguments(std::string_view text) {
  for (std::size_t at : {std::size_t{0}, std::size_t{1}, text.size() / 2, text.size()}) {
    const auto split = kvlhost::SplitCallArguments(text, at);
    if (!split) continue;
    const auto& [args, after] = *split;
    Expect(after > at && after <= text.size() && text[after - 1] == ')', "the list ends after its parenthesis");
    for (const kvlhost::RawArgument& arg : args)
      Expect(arg.text.size() <= after - at, "an argument comes from the list");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = kvlfuzz::AsText(data, size);
  const auto [separators, quotes, text] = kvlfuzz::Parts<3>(input);
  CheckArgList(separators, quotes, text);
  CheckArgList("", "", input);
  CheckCallArguments(input);
  return 0;
}
