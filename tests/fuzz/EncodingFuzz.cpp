// The encoders and decoders of text/Encoding: every decoder takes any input, and
// every encoding that promises it comes back whole through its decoder.
#include <cstdint>
#include <string>

#include "core/Plugin.h"
#include "tests/fuzz/FuzzCheck.h"
#include "text/Encoding.h"

using namespace kvl;
using kvlfuzz::Expect;

namespace {

// Every code 128-255 with a name and a number of its own, as a full SpecialChars.lst gives.
const SpecialCharTable& FullTable() {
  static const SpecialCharTable table = [] {
    std::string list;
    for (int code = 128; code < 256; ++code)
      list += std::to_string(code) + "\tx\tc" + std::to_string(code) + "\t" + std::to_string(code) + "\r\n";
    return ParseSpecialChars(list);
  }();
  return table;
}

// Encoded lines stay within 76 characters.
bool LinesFit(std::string_view encoded) {
  std::size_t start = 0;
  for (std::size_t end = encoded.find("\r\n"); end != std::string_view::npos;
       start = end + 2, end = encoded.find("\r\n", start))
    if (end - start > 76) return false;
  return encoded.size() - start <= 76;
}

// The text with CR LF after every `width` characters, as mail breaks Base64 lines.
std::string BrokenIntoLines(std::string_view text, std::size_t width) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += width) out.append(text.substr(at, width)).append("\r\n");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = kvlfuzz::AsText(data, size);

  // Decoders take anything.
  QPDecode(input, false);
  QPDecode(input, true);
  const std::string base64 = Base64Decode(input);
  Expect(base64.size() <= input.size() / 4 * 3 + 3, "Base64 decoding never grows the text");
  Expect(UrlDecode(input).size() <= input.size(), "URL decoding never grows the text");
  Expect(HtmlUnescape(input).size() <= input.size(), "HTML unescaping never grows the text");
  Expect(EntityDecode(input, FullTable()).size() <= input.size(), "entity decoding never grows the text");
  // The input read as an entity list, used on the input itself.
  const SpecialCharTable ownTable = ParseSpecialChars(input);
  EntityDecode(input, ownTable);
  EntityEncodeNamed(input, ownTable);

  // Round trips.
  for (bool header : {false, true}) {
    const std::string qp = QPEncode(input, header);
    Expect(LinesFit(qp), "quoted-printable lines hold at most 76 characters");
    Expect(QPDecode(qp, header) == input, "quoted-printable comes back whole");
  }
  const std::string encoded = Base64Encode(input);
  Expect(encoded.size() == (input.size() + 2) / 3 * 4, "Base64 writes four characters for every three bytes");
  Expect(Base64Decode(encoded) == input, "Base64 comes back whole");
  Expect(Base64Decode(BrokenIntoLines(encoded, 76)) == input, "Base64 comes back whole across line breaks");
  for (std::string_view options : {"", "+", "&", "<", ">+&"})
    Expect(UrlDecode(UrlEncode(input, options)) == input, "URL escapes come back whole");
  Expect(HtmlUnescape(HtmlEscape(input)) == input, "HTML escapes come back whole");
  if (input.find('&') == std::string_view::npos) {
    Expect(EntityDecode(EntityEncodeNamed(input, FullTable()), FullTable()) == input, "named entities come back whole");
    Expect(EntityDecode(EntityEncodeNumeric(input, FullTable()), FullTable()) == input,
           "numeric entities come back whole");
  }
  return 0;
}
