#pragma once
// Mail and web encodings on 8-bit text: quoted-printable, Base64, URL escapes
// and HTML entities. Every routine is one pass over its input.
#include <string>
#include <string_view>

#include "core/Plugin.h"

namespace kvl {

// Quoted-printable; the header form writes blanks as "_" and escapes "?" and "_".
// Output lines hold at most 75 characters plus the "=" of a soft line break.
std::string QPEncode(std::string_view text, bool header);
std::string QPDecode(std::string_view text, bool header);

// Which code takes the bulk of Base64 text: SSSE3 blocks where the processor has
// them (plain code otherwise), or plain code always. Both give the same result on
// every input; tests compare them.
enum class Base64Path { Fastest, Plain };
bool Base64HasSsse3();

std::string Base64Encode(std::string_view bytes, Base64Path path = Base64Path::Fastest);
// CR and LF anywhere and controls at both ends are ignored, and missing padding is
// supplied; the rest must be whole groups of the alphabet with at most two "=" at
// the end, or the result is "" (no partial output).
std::string Base64Decode(std::string_view text, Base64Path path = Base64Path::Fastest);

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
