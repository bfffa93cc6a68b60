// HTML-only mail from the input: the parser stops only past its work budget, frees every
// node (LeakSanitizer), and the layout writes CR LF line ends only and no more than a
// bounded multiple of the input (quote marks and list indents stop at their caps).
#include <cstdint>
#include <string>

#include "host/HtmlText.h"
#include "tests/fuzz/FuzzCheck.h"

using kvlfuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view html = kvlfuzz::AsText(data, size);
  const kvlhost::HtmlText result = kvlhost::HtmlToText(html);
  Expect(!result.stopped || result.work > kvlhost::HtmlWorkBudget(html.size()), "stops only past its budget");
  const std::string& text = result.text;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\n') Expect(at > 0 && text[at - 1] == '\r', "every LF follows a CR");
    if (text[at] == '\r') Expect(at + 1 < text.size() && text[at + 1] == '\n', "every CR starts a line end");
  }
  // A tag of three bytes can end two lines, each with its capped quote marks and indent.
  Expect(text.size() <= 20 * size + 64, "the text grows at most twenty times");
  return 0;
}
