#include "host/HtmlText.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/TextUtil.h"

namespace kvlhost {
namespace {

struct GumboOutputFree {
  void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};
using ParsedHtml = std::unique_ptr<GumboOutput, GumboOutputFree>;

bool IsHtmlBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Invisible characters a browser shows as nothing: zero-width space, non-joiner, joiner,
// word joiner, byte-order mark and soft hyphen (UTF-8 lengths 3, 3, 3, 3, 3 and 2).
std::size_t InvisibleLength(std::string_view text, std::size_t at) {
  static constexpr std::string_view kInvisible[] = {"\xE2\x80\x8B", "\xE2\x80\x8C", "\xE2\x80\x8D",
                                                    "\xE2\x81\xA0", "\xEF\xBB\xBF", "\xC2\xAD"};
  for (std::string_view mark : kInvisible)
    if (text.substr(at, mark.size()) == mark) return mark.size();
  return 0;
}

// How far apart a block stands from what is around it: 2 makes an empty line between.
int BreaksAround(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6:
      return 2;
    case GUMBO_TAG_DIV: case GUMBO_TAG_LI: case GUMBO_TAG_TR: case GUMBO_TAG_TABLE:
    case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_UL: case GUMBO_TAG_OL: case GUMBO_TAG_DL:
    case GUMBO_TAG_DT: case GUMBO_TAG_DD: case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP: case GUMBO_TAG_PLAINTEXT: case GUMBO_TAG_HR: case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE: case GUMBO_TAG_SECTION: case GUMBO_TAG_HEADER: case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV: case GUMBO_TAG_ASIDE: case GUMBO_TAG_MAIN: case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FORM: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_CENTER:
    case GUMBO_TAG_CAPTION: case GUMBO_TAG_DETAILS: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_DIR:
    case GUMBO_TAG_MENU:
      return 1;
    default:
      return 0;
  }
}

bool KeepsBlanks(GumboTag tag) {
  return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_XMP || tag == GUMBO_TAG_PLAINTEXT ||
         tag == GUMBO_TAG_TEXTAREA;
}

bool IsList(GumboTag tag) { return tag == GUMBO_TAG_UL || tag == GUMBO_TAG_OL || tag == GUMBO_TAG_DIR || tag == GUMBO_TAG_MENU; }

std::string_view Attribute(const GumboElement& element, const char* name) {
  const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
  return attribute == nullptr || attribute->value == nullptr ? std::string_view() : std::string_view(attribute->value);
}

// What a reader never sees: scripts, styles, the head, and elements hidden by the
// `hidden` attribute or an inline "display: none".
bool IsUnseen(const GumboElement& element) {
  switch (element.tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE:
      return true;
    default:
      break;
  }
  if (gumbo_get_attribute(&element.attributes, "hidden") != nullptr) return true;
  std::string style;
  for (char c : Attribute(element, "style"))
    if (!IsHtmlBlank(c)) style += c;
  return kvl::FindText(kvl::AsciiLowered(style), "display:none") != std::string::npos;
}

// A URL as a reader would copy it: blanks and control characters taken out.
std::string ShownUrl(std::string_view href) {
  std::string url;
  for (char c : href)
    if (static_cast<unsigned char>(c) > ' ' && c != '\x7F') url += c;
  return url;
}

// The text a link shows and its URL name the same place.
bool SameAsUrl(std::string_view text, std::string_view url) {
  auto withoutSlash = [](std::string_view s) { return s.ends_with('/') ? s.substr(0, s.size() - 1) : s; };
  text = withoutSlash(kvl::Trimmed(text));
  if (kvl::EqualsIgnoringAsciiCase(url.substr(0, 7), "mailto:")) url.remove_prefix(7);
  return text == withoutSlash(url);
}

// Writes text as a browser lays it out: blanks collapse, blocks start lines, and line
// breaks asked for by several blocks in a row count once (the most any of them asked).
class TextLayout {
 public:
  // The text without the line ends that trailing breaks wrote.
  std::string take() && {
    while (out_.ends_with("\r\n")) out_.resize(out_.size() - 2);
    return std::move(out_);
  }
  std::size_t size() const { return out_.size(); }
  std::string_view since(std::size_t at) const { return std::string_view(out_).substr(at); }

  void requireBreaks(int count) {
    if (out_.empty() || count == 0) return;
    // An empty line between a quote and what is outside it belongs to the outside.
    breakQuoteDepth_ = pendingBreaks_ == 0 ? quoteDepth_ : std::min(breakQuoteDepth_, quoteDepth_);
    pendingBreaks_ = std::max(pendingBreaks_, count);
  }
  void lineBreak() {
    if (out_.empty()) return;  // no empty lines before the text
    writePendingBreaks();
    endLine(quoteDepth_);
  }
  void blank() { pendingSeparator_ = pendingSeparator_ == '\t' ? '\t' : ' '; }
  void cellSeparator() { pendingSeparator_ = '\t'; }
  void enterQuote(int change) { quoteLevel_ += change; quoteDepth_ = std::min(quoteLevel_, kMaxQuoteLevels); }

  // Text shown as it stands (no blanks inside, or blanks that are kept).
  void word(std::string_view text) {
    if (text.empty()) return;
    writePendingBreaks();
    if (atLineStart_) {
      for (int i = 0; i < quoteDepth_; ++i) out_ += "> ";
    } else if (pendingSeparator_ != 0 && out_.back() != ' ' && out_.back() != '\t') {
      out_ += pendingSeparator_;
    }
    pendingSeparator_ = 0;
    atLineStart_ = false;
    out_ += text;
  }

  // A text node: its blanks collapse unless `keepBlanks` (pre), where its line ends end lines.
  void text(std::string_view text, bool keepBlanks) {
    std::string visible;
    auto flush = [&] {
      word(visible);
      visible.clear();
    };
    for (std::size_t at = 0; at < text.size();) {
      if (const std::size_t invisible = InvisibleLength(text, at); invisible != 0) {
        at += invisible;
      } else if (keepBlanks && (text[at] == '\n' || text[at] == '\r')) {
        flush();
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        lineBreak();
        ++at;
      } else if (!keepBlanks && IsHtmlBlank(text[at])) {
        flush();
        blank();
        ++at;
      } else {
        visible += text[at++];
      }
    }
    flush();
  }

 private:
  void endLine(int quoteDepth) {
    if (atLineStart_)
      for (int i = 0; i < quoteDepth; ++i) out_ += i + 1 < quoteDepth ? "> " : ">";
    out_ += "\r\n";
    atLineStart_ = true;
    pendingSeparator_ = 0;
  }
  void writePendingBreaks() {
    for (int i = atLineStart_ ? 1 : 0; i < pendingBreaks_; ++i) endLine(i == 0 ? quoteDepth_ : breakQuoteDepth_);
    pendingBreaks_ = 0;
  }

  std::string out_;
  int pendingBreaks_ = 0;
  char pendingSeparator_ = 0;  // ' ' between words, '\t' between table cells
  bool atLineStart_ = true;
  int quoteLevel_ = 0;       // blockquotes open
  int quoteDepth_ = 0;       // quote marks on a line
  int breakQuoteDepth_ = 0;  // for the empty lines of the pending breaks
};

// Walks the tree with a list of open elements rather than by recursion: a message can nest
// elements as deep as its length allows.
class HtmlWalker {
 public:
  std::string render(const GumboNode* root) && {
    open(root);
    while (!stack_.empty()) {
      Open& top = stack_.back();
      const GumboVector& children = top.node->type == GUMBO_NODE_DOCUMENT ? top.node->v.document.children
                                                                          : top.node->v.element.children;
      if (top.next < children.length) {
        visit(static_cast<const GumboNode*>(children.data[top.next++]));
      } else {
        const Open closed = top;
        stack_.pop_back();
        close(closed);
      }
    }
    return std::move(layout_).take();
  }

 private:
  struct Open {
    const GumboNode* node;
    unsigned next = 0;
    std::size_t linkStart = 0;  // where a link's text starts in the output
  };

  void visit(const GumboNode* node) {
    switch (node->type) {
      case GUMBO_NODE_TEXT: case GUMBO_NODE_CDATA: case GUMBO_NODE_WHITESPACE:
        layout_.text(node->v.text.text, keepBlanks_ > 0);
        break;
      case GUMBO_NODE_ELEMENT:
        if (!IsUnseen(node->v.element)) open(node);
        break;
      default:  // comments, and template contents, which are never shown
        break;
    }
  }

  void open(const GumboNode* node) {
    stack_.push_back({node, 0, 0});
    if (node->type != GUMBO_NODE_ELEMENT) return;
    const GumboElement& element = node->v.element;
    layout_.requireBreaks(BreaksAround(element.tag));
    if (KeepsBlanks(element.tag)) ++keepBlanks_;
    if (IsList(element.tag)) ++lists_;
    switch (element.tag) {
      case GUMBO_TAG_BR:
        layout_.lineBreak();
        break;
      case GUMBO_TAG_BLOCKQUOTE:
        layout_.enterQuote(1);
        break;
      case GUMBO_TAG_LI:
        layout_.word(std::string(2 * std::clamp(lists_ - 1, 0, kMaxListIndents), ' ') + "- ");
        break;
      case GUMBO_TAG_TD: case GUMBO_TAG_TH:
        if (node->index_within_parent > 0) layout_.cellSeparator();
        break;
      case GUMBO_TAG_A:
        stack_.back().linkStart = layout_.size();
        break;
      default:
        break;
    }
  }

  void close(const Open& closed) {
    if (closed.node->type != GUMBO_NODE_ELEMENT) return;
    const GumboElement& element = closed.node->v.element;
    if (KeepsBlanks(element.tag)) --keepBlanks_;
    if (IsList(element.tag)) --lists_;
    if (element.tag == GUMBO_TAG_BLOCKQUOTE) layout_.enterQuote(-1);
    if (element.tag == GUMBO_TAG_A) showLinkTarget(closed);
    layout_.requireBreaks(BreaksAround(element.tag));
  }

  void showLinkTarget(const Open& link) {
    const std::string url = ShownUrl(Attribute(link.node->v.element, "href"));
    if (url.empty() || url.starts_with('#') || kvl::EqualsIgnoringAsciiCase(url.substr(0, 11), "javascript:")) return;
    const std::string_view text = layout_.since(link.linkStart);
    if (SameAsUrl(text, url)) return;
    if (!kvl::Trimmed(text).empty()) layout_.blank();
    layout_.word("<" + url + ">");
  }

  TextLayout layout_;
  std::vector<Open> stack_;
  int keepBlanks_ = 0;
  int lists_ = 0;
};

}  // namespace

HtmlText HtmlToText(std::string_view utf8Html, std::size_t workBudget) {
  HtmlText result;
  if (utf8Html.size() > kMaxHtmlBytes) {
    std::size_t end = kMaxHtmlBytes;
    while (end > 0 && (static_cast<unsigned char>(utf8Html[end]) & 0xC0) == 0x80) --end;
    utf8Html = utf8Html.substr(0, end);
    result.cut = true;
  }
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the errors are not read: keep none
  options.max_work = workBudget;
  const ParsedHtml parsed(gumbo_parse_with_options(&options, utf8Html.data(), utf8Html.size()));
  if (!parsed) return result;
  result.stopped = parsed->work_limit_reached;
  result.work = parsed->work;
  result.text = HtmlWalker().render(parsed->document);
  return result;
}

HtmlText HtmlToText(std::string_view utf8Html) {
  return HtmlToText(utf8Html, HtmlWorkBudget(std::min(utf8Html.size(), kMaxHtmlBytes)));
}

}  // namespace kvlhost
