#pragma once
// E-mail addresses and links pulled out of free text. Pure routines, linear in the
// text: every character is looked at a bounded number of times, however many "@"
// or link prefixes the text holds.
#include <string>
#include <string_view>

namespace kvl::addresses {

// Every address (letters, digits, ".", "_", "-" and "+" on both sides of an "@"; the
// domain, without the "." that ends a sentence, of at least five characters with a
// "." followed by two or more) in order of appearance, duplicates included, each
// followed by `separator` except the last.
std::string ExtractAddresses(std::string_view text, std::string_view separator);

// Every link found at an occurrence of `prefix` (compared ignoring case): the URL
// characters directly before it, the prefix, and the characters of a link's path,
// query and fragment after it, without the punctuation that ends a sentence or an
// unmatched closing parenthesis around the link. Each character of the text belongs
// to one link at most, so a prefix inside a link already taken (a link passed as a
// query value) adds nothing. An empty prefix finds nothing.
std::string ExtractUrls(std::string_view text, std::string_view separator, std::string_view prefix);

// The links of ExtractUrls at both "http://" and "https://", in order of appearance.
std::string ExtractWebLinks(std::string_view text, std::string_view separator);

}  // namespace kvl::addresses
