#include "core/Errors.h"
#include "core/Plugin.h"
#include "core/platform.h"
#include "text/Encoding.h"
#include "text/TextMacros.h"

namespace kvl::macros {

// "Q" takes a header flag as third argument and no fourth.
std::string Encode(Call& call) {
  const std::string method = AnsiUppered(call.text(2));
  if (method == "Q") {
    if (call.count() > 3) return std::string(ErrParamCount);
    return QPEncode(call.textBuffer(1).view(), call.flag(3));
  }
  if (method == "B") {
    if (call.count() > 2) return std::string(ErrParamCount);
    return Base64Encode(call.textBuffer(1).view());
  }
  return std::string(ErrParamValue);
}

// "B" ignores arguments after the second.
std::string Decode(Call& call) {
  const std::string method = AnsiUppered(call.text(2));
  if (method == "Q") {
    if (call.count() > 3) return std::string(ErrParamCount);
    return QPDecode(call.textBuffer(1).view(), call.flag(3));
  }
  if (method == "B") return Base64Decode(call.textBuffer(1).view());
  return std::string(ErrParamValue);
}

// H escapes markup first; then U writes numeric entities, else E named ones.
std::string HtmlEnc(Call& call) {
  const std::string mode = call.textOr(2, "E");
  std::string text = call.text(1);
  if (mode.find('H') != std::string::npos) text = HtmlEscape(text);
  if (mode.find('U') != std::string::npos) return EntityEncodeNumeric(text, SpecialChars());
  if (mode.find('E') != std::string::npos) return EntityEncodeNamed(text, SpecialChars());
  return text;
}

std::string HtmlDec(Call& call) {
  const std::string mode = call.textOr(2, "E");
  std::string text = call.text(1);
  if (mode.find('H') != std::string::npos) text = HtmlUnescape(text);
  if (mode.find_first_of("EU") != std::string::npos) return EntityDecode(text, SpecialChars());
  return text;
}

std::string UrlEnc(Call& call) { return UrlEncode(call.textBuffer(1).view(), AnsiUppered(call.textOr(2, ""))); }

std::string UrlDec(Call& call) { return UrlDecode(call.textBuffer(1).view()); }

}  // namespace kvl::macros
