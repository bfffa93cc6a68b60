#pragma once
// Internationalised domain names: conversions through our idn.dll, loaded on first
// use, and the domains of addresses in free text and in address lists.
#include <bitset>
#include <functional>
#include <string>
#include <string_view>

namespace kvl::addresses {

inline constexpr const char* kIdnToAce = "IDNtoACE";
inline constexpr const char* kAceToIdn = "ACEtoIDN";

// The library's buffer holds 256 bytes; a longer text is never handed to it.
inline constexpr std::size_t kLongestIdnInput = 255;

enum class IdnDirection { ToAce, ToUnicode };

// `function` of idn.dll applied to the text: the empty text for an empty text (the
// library is not loaded then), for a text longer than kLongestIdnInput and for a
// conversion that fails; ErrIdnMissing when neither the plug-in's folder nor the
// library search has the library, or the library lacks the function (the next call
// tries again). The library stays loaded until finalisation.
std::string CallIdnFunction(const char* function, std::string_view text);

// Every domain after an "@" (up to the first of > ,<:/\()"*#;[]{}|@ or the end)
// converted, in one pass: a converted domain is not searched again. The second byte
// of a two-byte character of the ANSI code page is never taken for "@" or an end. A domain of only
// blanks and control characters stays; so does one that the library cannot convert
// (an empty answer would lose it), while the missing-library error takes its place.
std::string ConvertAddressDomains(std::string_view text, IdnDirection direction);

// The same walk with any converter (its answer is used as ConvertAddressDomains uses
// the library's) and the given lead bytes of two-byte characters.
std::string ConvertDomainsWith(std::string_view text, const std::function<std::string(std::string_view)>& convert,
                               const std::bitset<256>& leadBytes = {});

// The list rebuilt for a header: "name" <address in ACE form>, entries joined by
// ", "; an entry without a name is named by its address, one whose name ends in
// "<list>" is copied alone, and one without name and address is left out.
std::string IdnAddressList(std::string_view list);

}  // namespace kvl::addresses
