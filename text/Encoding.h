#pragma once
// Mail and web encodings on 8-bit text: quoted-printable, Base64, URL escapes
// and HTML entities. Every routine is one pass over its input.
#include <string>
#include <string_view>

#include "core/Plugin.h"
#include "text/Base64.h"  // Base64 lives there; kept reachable from here

namespace kvl {

// Quoted-printable; the header form writes blanks as "_" and escapes "?" and "_".
// Output lines hold at most 75 characters plus the "=" of a soft line break.
std::string QPEncode(std::string_view text, bool header);
std::string QPDecode(std::string_view text, bool header);

// Letters and digits stay, everything else becomes %XX; options "<" or ">" write
// &lt;/&gt;, "+" writes blanks as "+", "&" writes "&amp;".
std::string UrlEncode(std::string_view text, std::string_view options);
// Stops at a "%" that is not followed by two characters.
std::string UrlDecode(std::string_view text);

std::string HtmlEscape(std::string_view text);
std::string HtmlUnescape(std::string_view text);
// Codes 128-255 become the table's named (numeric) entity, or are dropped without one.
std::string EntityEncodeNamed(std::string_view text, const SpecialCharTable& table);
std::string EntityEncodeNumeric(std::string_view text, const SpecialCharTable& table);
// The code an entity (the text between "&" and ";") stands for; 0 when none.
int EntityToCode(std::string_view entity, const SpecialCharTable& table);
std::string EntityDecode(std::string_view text, const SpecialCharTable& table);

}  // namespace kvl
