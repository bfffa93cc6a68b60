#pragma once
// The plain text a mail client hands templates for an HTML-only message: the HTML parsed
// by an HTML5 parser (gumbo), then written out as a browser lays out text. Portable.
#include <cstddef>
#include <string>
#include <string_view>

namespace kvlhost {

// HTML longer than this is cut there before parsing (at a character's start).
constexpr std::size_t kMaxHtmlBytes = 4u << 20;
// Quote marks and list indents stop growing at these levels, so that a deep nest of them
// cannot make every line longer than what wrote it.
constexpr int kMaxQuoteLevels = 16;
constexpr int kMaxListIndents = 8;

// The parser's work on a document of `bytes` (its scans of open and formatting elements,
// summed over the tokens): real mail needs a few units per byte, while a crafted nest of
// elements can need as many as the square of its length.
constexpr std::size_t HtmlWorkBudget(std::size_t bytes) { return 32 * bytes + 1000000; }

struct HtmlText {
  std::string text;         // UTF-8, CR LF line ends
  bool cut = false;         // the HTML was longer than kMaxHtmlBytes
  bool stopped = false;     // the parser's work passed its budget: the text ends where it stopped
  std::size_t work = 0;     // the parser's work
};

// The text of an HTML document in UTF-8, with CR LF line ends:
// - script, style, head, template and comments are left out; entities are decoded;
// - blanks collapse to one space as in a browser (not inside pre); p and h1-h6 stand
//   apart by an empty line, div, li, tr, table, the lists and the other blocks start a
//   line, br ends one;
// - a list item starts with "- " (indented two blanks per outer list), table cells are
//   parted by a tab, a blockquote's lines start with "> " (one per level);
// - a link's text is followed by " <URL>" when the URL differs from it (with "mailto:"
//   taken off; links within the page and javascript: ones are not shown);
// - zero-width characters and soft hyphens are left out.
HtmlText HtmlToText(std::string_view utf8Html);
HtmlText HtmlToText(std::string_view utf8Html, std::size_t workBudget);

}  // namespace kvlhost
