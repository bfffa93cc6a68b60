#include "host/MessageReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "core/Limits.h"
#include "core/TextUtil.h"
#include "core/ZorbelItems.h"
#include "host/Charset.h"
#include "host/HtmlText.h"

namespace kvlhost {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kNotFound = std::string_view::npos;
// The plug-in answers no more than this, so no item it reads needs to be longer.
constexpr std::size_t kItemCap = kvl::kResultCap;
// Real mail nests a handful of levels. Each level scans its own part for its boundary,
// so the cap also bounds how often one byte is scanned; parts are read from a list, not
// by recursion, so the depth costs no machine stack.
constexpr int kMaxPartDepth = 256;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsWhitespace(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }
using kvl::IsHexDigit;

bool IsAllWhitespace(std::string_view text) { return std::all_of(text.begin(), text.end(), IsWhitespace); }

// ---------------------------------------------------------------------------------------------
// Line ends and 8-bit text

// CR LF, lone LF and lone CR (old Mac mail) all end a line; every one becomes CR LF.
std::string WithCrLfLineEnds(std::string_view text) {
  const std::size_t size = CrLfLineEnds().add(text, nullptr);
  std::string out(size, '\0');
  CrLfLineEnds().add(text, out.data());
  return out;
}

// Undeclared 8-bit text is UTF-8 in modern mail; legacy text almost never forms valid UTF-8.
bool IsUtf8WithNonAscii(std::string_view text) {
  bool nonAscii = false;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(lead);
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i)
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    nonAscii = true;
    at += length;
  }
  return nonAscii;
}

std::string UndeclaredTextToAnsi(std::string_view bytes) {
  return IsUtf8WithNonAscii(bytes) ? Utf8ToAnsi(bytes) : std::string(bytes);
}

// US-ASCII is a subset of every ANSI code page; 8-bit bytes under that label are mislabelled.
std::string TextToAnsi(std::string_view bytes, std::string_view charset) {
  const std::string_view name = kvl::Trimmed(charset);
  if (name.empty() || kvl::EqualsIgnoringAsciiCase(name, "us-ascii") || kvl::EqualsIgnoringAsciiCase(name, "ascii"))
    return UndeclaredTextToAnsi(bytes);
  return CharsetToAnsi(bytes, name);
}

// The charset an HTML document names for itself in a meta element, looked for where a
// browser looks (its first 1024 bytes): <meta charset="..."> or content="...; charset=...".
std::string_view MetaCharset(std::string_view html) {
  const std::string start = kvl::AsciiLowered(html.substr(0, 1024));
  // "charset" not followed by "=" (a word in a comment, x-charset="...") is passed over.
  for (std::size_t name = kvl::FindText(start, "charset"); name != kNotFound;
       name = kvl::FindText(start, "charset", name + 7)) {
    std::size_t at = name + 7;
    while (at < start.size() && IsWhitespace(start[at])) ++at;
    if (at == start.size() || start[at] != '=') continue;
    ++at;
    while (at < start.size() && (IsWhitespace(start[at]) || start[at] == '"' || start[at] == '\'')) ++at;
    const std::size_t end = std::find_if(start.begin() + at, start.end(), [](char c) {
      return !((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':');
    }) - start.begin();
    if (end > at) return html.substr(at, end - at);
  }
  return {};
}

// An HTML part's bytes in UTF-8, the parser's input: in the part's charset, else the one its
// meta element names, else UTF-8 where the bytes form it and windows-1252 where not (the web's
// default for undeclared pages).
std::string HtmlToUtf8(std::string_view bytes, std::string_view charset) {
  charset = kvl::Trimmed(charset);
  if (charset.empty()) charset = MetaCharset(bytes);
  const bool undeclared = charset.empty() || kvl::EqualsIgnoringAsciiCase(charset, "us-ascii") ||
                          kvl::EqualsIgnoringAsciiCase(charset, "ascii");
  if (undeclared) return IsUtf8WithNonAscii(bytes) ? std::string(bytes) : WideToUtf8(CharsetToWide(bytes, "windows-1252"));
  if (CodePageOfCharset(charset) == 65001) return std::string(bytes);
  return WideToUtf8(CharsetToWide(bytes, charset));
}

// What `convert` answers; a warning names `what` when it lost characters to the ANSI code page.
template <class Convert>
auto WatchedConversion(std::string_view what, const Convert& convert, std::vector<std::string>& warnings) {
  LostCharacterWatch watch;
  auto converted = convert();
  // Read before the message is made: making it converts too.
  if (const std::optional<LostCharacter> lost = watch.first())
    warnings.push_back(std::string(what) + ": " + AnsiLostCharacterMessage(*lost));
  return converted;
}

// ---------------------------------------------------------------------------------------------
// Transfer encodings

constexpr std::array<std::int8_t, 256> kBase64Values = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < kAlphabet.size(); ++i)
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return values;
}();

// Decoded bytes kept up to a bound and counted beyond it: an attachment's size needs no
// copy of it, and a text longer than an item can be is kept only as far as the item goes.
class DecodedBytes {
 public:
  explicit DecodedBytes(std::size_t keep = kNotFound) : keep_(keep) {}
  void reserve(std::size_t size) { out_.reserve(std::min(size, keep_)); }
  void add(char c) {
    if (out_.size() < keep_) out_ += c;
    ++size_;
  }
  void add(std::string_view bytes) {
    out_.append(bytes.substr(0, keep_ - std::min(keep_, out_.size())));
    size_ += bytes.size();
  }
  std::size_t size() const { return size_; }  // all of it, kept or not
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
  std::size_t keep_;
  std::size_t size_ = 0;
};

void DecodeBase64(std::string_view text, DecodedBytes& out) {
  out.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t bits = 0;
  int bitCount = 0;
  for (const char c : text) {
    if (c == '=') break;
    const int value = kBase64Values[static_cast<unsigned char>(c)];
    if (value < 0) continue;  // line breaks, blanks and stray characters
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      out.add(static_cast<char>((bits >> bitCount) & 0xFF));
      bits &= (1u << bitCount) - 1;
    }
  }
}

std::string Base64Decoded(std::string_view text) {
  DecodedBytes out;
  DecodeBase64(text, out);
  return out.take();
}

// Decodes the escape at text[at] == '=' into `out`; returns where reading goes on.
std::size_t DecodeQuotedPrintableEscape(std::string_view text, std::size_t at, DecodedBytes& out) {
  if (at + 2 < text.size() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2])) {
    out.add(kvl::HexPairToChar(text.substr(at + 1, 2)));
    return at + 3;
  }
  // Soft line break; some gateways leave blanks between the '=' and the line end.
  std::size_t next = at + 1;
  while (next < text.size() && IsBlank(text[next])) ++next;
  if (next == text.size()) return next;
  if (text.substr(next, 2) == kCrLf) return next + 2;
  out.add('=');
  return at + 1;
}

// Expects CR LF line ends.
void DecodeQuotedPrintable(std::string_view text, DecodedBytes& out) {
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t equals = text.find('=', at);
    out.add(text.substr(at, equals == kNotFound ? kNotFound : equals - at));
    if (equals == kNotFound) break;
    at = DecodeQuotedPrintableEscape(text, equals, out);
  }
}

void DecodeTransfer(std::string_view body, std::string_view encoding, DecodedBytes& out) {
  if (encoding == "base64") return DecodeBase64(body, out);
  if (encoding == "quoted-printable") return DecodeQuotedPrintable(body, out);
  out.add(body);  // 7bit, 8bit, binary and unknown encodings
}

std::string TransferDecoded(std::string_view body, std::string_view encoding) {
  DecodedBytes out;
  DecodeTransfer(body, encoding, out);
  return out.take();
}

// ---------------------------------------------------------------------------------------------
// RFC 2047 encoded words

struct EncodedWord {
  std::string_view charset;
  char encoding = 'Q';  // 'B' or 'Q'
  std::string_view text;
  std::size_t end = 0;  // just past "?="
};

std::string QEncodedWordDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && at + 2 < text.size() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2])) {
      out += kvl::HexPairToChar(text.substr(at + 1, 2));
      at += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// First place at or after `from` where an encoded text must end: "?=", whitespace or the end.
std::size_t EncodedTextStop(std::string_view text, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at)
    if (IsWhitespace(text[at]) || (text[at] == '?' && at + 1 < text.size() && text[at + 1] == '=')) return at;
  return text.size();
}

// The encoded word "=?charset?B|Q?text?=" at text[at], if well formed. `stopMemo` carries the
// last EncodedTextStop across calls with growing `at`, so many unclosed "=?" stay linear.
std::optional<EncodedWord> EncodedWordAt(std::string_view text, std::size_t at, std::size_t& stopMemo) {
  constexpr std::size_t kMaxCharsetLength = 64;
  const std::size_t charsetStart = at + 2;
  std::size_t question = charsetStart;
  while (question < text.size() && question - charsetStart < kMaxCharsetLength && text[question] != '?' &&
         !IsWhitespace(text[question]))
    ++question;
  if (question == charsetStart || question + 2 >= text.size() || text[question] != '?' || text[question + 2] != '?')
    return std::nullopt;
  const char encoding = kvl::AsciiUpper(text[question + 1]);
  if (encoding != 'B' && encoding != 'Q') return std::nullopt;
  const std::size_t textStart = question + 3;
  if (stopMemo < textStart) stopMemo = EncodedTextStop(text, textStart);
  if (stopMemo >= text.size() || text[stopMemo] != '?') return std::nullopt;
  std::string_view charset = text.substr(charsetStart, question - charsetStart);
  charset = charset.substr(0, charset.find('*'));  // RFC 2231 language suffix
  return EncodedWord{charset, encoding, text.substr(textStart, stopMemo - textStart), stopMemo + 2};
}

// Header text under construction. Adjacent encoded words of one charset are converted
// together, so a character split across two words survives.
class HeaderTextBuilder {
 public:
  void AddLiteral(std::string_view text) {
    if (text.empty()) return;
    FlushPending();
    out_ += UndeclaredTextToAnsi(text);
  }
  void AddDecoded(std::string_view bytes, std::string_view charset) {
    if (!kvl::EqualsIgnoringAsciiCase(charset, pendingCharset_)) FlushPending();
    pendingCharset_ = charset;
    pendingBytes_ += bytes;
  }
  std::string Finish() {
    FlushPending();
    return std::move(out_);
  }

 private:
  void FlushPending() {
    if (!pendingBytes_.empty()) out_ += TextToAnsi(pendingBytes_, pendingCharset_);
    pendingBytes_.clear();
  }
  std::string out_;
  std::string pendingBytes_;
  std::string pendingCharset_;
};

std::string DecodedEncodedWords(std::string_view text) {
  HeaderTextBuilder builder;
  std::size_t stopMemo = 0;
  std::size_t literalStart = 0;
  for (std::size_t at = text.find("=?"); at != kNotFound; at = text.find("=?", at)) {
    const std::optional<EncodedWord> word = EncodedWordAt(text, at, stopMemo);
    if (!word) {
      at += 2;
      continue;
    }
    const std::string_view between = text.substr(literalStart, at - literalStart);
    const bool afterWord = literalStart > 0;
    if (!(afterWord && IsAllWhitespace(between))) builder.AddLiteral(between);
    builder.AddDecoded(word->encoding == 'B' ? Base64Decoded(word->text) : QEncodedWordDecoded(word->text),
                       word->charset);
    literalStart = at = word->end;
  }
  builder.AddLiteral(text.substr(literalStart));
  return builder.Finish();
}

// ---------------------------------------------------------------------------------------------
// Header fields

struct HeaderField {
  std::string line;  // unfolded, as received
  std::size_t colon = kNotFound;

  std::string_view Name() const { return kvl::Trimmed(std::string_view(line).substr(0, colon)); }
  std::string_view Value() const {
    return colon == kNotFound ? std::string_view() : kvl::Trimmed(std::string_view(line).substr(colon + 1));
  }
};
using HeaderFields = std::vector<HeaderField>;

struct UnfoldedBlock {
  HeaderFields fields;
  bool cut = false;  // the block ran past the item cap; the rest is left out
};

// Keeps at most an item's worth of header text: the block is one item (243), and no
// field can be more.
UnfoldedBlock UnfoldedFields(std::string_view block) {
  UnfoldedBlock unfolded;
  HeaderFields& fields = unfolded.fields;
  std::size_t kept = 0;
  kvl::ForEachLine(block, [&](std::string_view line) {
    if (line.empty() || unfolded.cut) return;  // the block's closing line end, or past the cap
    if (line.size() > kItemCap - kept) {
      line = line.substr(0, kItemCap - kept);
      unfolded.cut = true;
    }
    kept += line.size();
    if (!fields.empty() && IsBlank(line.front()))
      fields.back().line += line;  // unfolding removes only the CR LF
    else
      fields.push_back({std::string(line)});
  });
  for (HeaderField& field : fields) field.colon = field.line.find(':');
  return unfolded;
}

// Trimmed value of the first field named `name`; empty when there is none.
std::string_view FieldValue(const HeaderFields& fields, std::string_view name) {
  for (const HeaderField& field : fields)
    if (field.colon != kNotFound && kvl::EqualsIgnoringAsciiCase(field.Name(), name)) return field.Value();
  return {};
}

std::string JoinedHeaderLines(const HeaderFields& fields) {
  std::size_t size = 0;
  for (const HeaderField& field : fields) size += field.line.size() + 2;
  std::string out;
  out.reserve(size);
  for (const HeaderField& field : fields) out.append(field.line).append(kCrLf);
  return out;
}

struct Entity {
  HeaderFields fields;
  std::string_view body;
  bool headerCut = false;
};

Entity MakeEntity(std::string_view headerBlock, std::string_view body) {
  UnfoldedBlock unfolded = UnfoldedFields(headerBlock);
  return {std::move(unfolded.fields), body, unfolded.cut};
}

// A line that can stand in a header block: a field ("Name:" with printable name
// characters other than the colon, the name possibly empty), a continuation, or the
// "From " line of a mailbox file.
bool IsHeaderLine(std::string_view line) {
  if (line.empty()) return false;
  if (IsBlank(line.front()) || line.starts_with("From ")) return true;
  for (const char c : line) {
    if (c == ':') return true;
    if (c < '!' || c > '~') return false;
  }
  return false;
}

// Expects CR LF line ends. The header block ends at the first empty line (which
// belongs to neither part) or at the first line that cannot stand in a header, which
// begins the body.
Entity SplitEntity(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(kCrLf, at), text.size());
    const std::string_view line = text.substr(at, end - at);
    if (line.empty()) return MakeEntity(text.substr(0, at), text.substr(std::min(end + 2, text.size())));
    if (!IsHeaderLine(line)) return MakeEntity(text.substr(0, at), text.substr(at));
    at = end + 2;
  }
  return MakeEntity(text, {});
}

// ---------------------------------------------------------------------------------------------
// Structured values: quoted strings, comments, parameters

// Reads the quoted string at text[at] == '"' without quotes and escapes; leaves `at` past it.
std::string ReadQuoted(std::string_view text, std::size_t& at) {
  std::string out;
  for (++at; at < text.size(); ++at) {
    if (text[at] == '"') {
      ++at;
      break;
    }
    if (text[at] == '\\' && at + 1 < text.size()) ++at;
    out += text[at];
  }
  return out;
}

// Reads the (possibly nested) comment at text[at] == '(' without its outer parentheses.
std::string ReadComment(std::string_view text, std::size_t& at) {
  std::string out;
  int depth = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\\' && at + 1 < text.size()) {
      out += text[++at];
      continue;
    }
    if (c == '(' && depth++ == 0) continue;
    if (c == ')' && --depth == 0) {
      ++at;
      break;
    }
    out += c;
  }
  return out;
}

struct Parameter {
  std::string name;  // lower case
  std::string value;  // quotes and escapes removed
};
using Parameters = std::vector<Parameter>;

struct ParameterizedValue {
  std::string token;  // lower case, e.g. "text/plain" or "attachment"
  Parameters parameters;
};

std::string ReadParameterToken(std::string_view text, std::size_t& at) {
  const std::size_t end = std::min(text.find(';', at), text.size());
  const std::string_view token = kvl::Trimmed(text.substr(at, end - at));
  at = end;
  return std::string(token);
}

Parameters ReadParameters(std::string_view text, std::size_t at) {
  Parameters parameters;
  while (at < text.size()) {
    if (text[at] == ';' || IsWhitespace(text[at])) {
      ++at;
      continue;
    }
    const std::size_t nameEnd = text.find_first_of("=;", at);
    if (nameEnd == kNotFound || text[nameEnd] == ';') {  // a name without value
      at = nameEnd;
      continue;
    }
    Parameter parameter{kvl::AsciiLowered(kvl::Trimmed(text.substr(at, nameEnd - at))), {}};
    at = nameEnd + 1;
    while (at < text.size() && IsWhitespace(text[at])) ++at;
    parameter.value = at < text.size() && text[at] == '"' ? ReadQuoted(text, at) : ReadParameterToken(text, at);
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

ParameterizedValue ParseParameterized(std::string_view text) {
  const std::size_t semicolon = std::min(text.find(';'), text.size());
  std::string_view token = kvl::Trimmed(text.substr(0, semicolon));
  token = token.substr(0, token.find_first_of(" \t("));  // a trailing comment
  return {kvl::AsciiLowered(token), ReadParameters(text, semicolon)};
}

const Parameter* FindParameter(const Parameters& parameters, std::string_view name) {
  for (const Parameter& parameter : parameters)
    if (parameter.name == name) return &parameter;
  return nullptr;
}

// One piece of an RFC 2231 parameter: name*=..., name*N=... or name*N*=...
struct ExtendedSegment {
  int index = 0;
  bool encoded = false;
  std::string_view value;
};

std::optional<ExtendedSegment> ExtendedSegmentOf(const Parameter& parameter, std::string_view name) {
  const std::string_view full = parameter.name;
  if (full.size() <= name.size() || !full.starts_with(name) || full[name.size()] != '*') return std::nullopt;
  std::string_view suffix = full.substr(name.size() + 1);
  if (suffix.empty()) return ExtendedSegment{0, true, parameter.value};
  const bool encoded = suffix.ends_with('*');
  if (encoded) suffix.remove_suffix(1);
  if (suffix.empty() || suffix.size() > 4) return std::nullopt;
  int index = 0;
  for (const char c : suffix) {
    if (c < '0' || c > '9') return std::nullopt;
    index = index * 10 + (c - '0');
  }
  return ExtendedSegment{index, encoded, parameter.value};
}

struct ExtendedValue {
  std::string charset;
  std::string bytes;
};

// The value of an RFC 2231 parameter (charset''percent-encoded, possibly continued).
std::optional<ExtendedValue> ExtendedParameter(const Parameters& parameters, std::string_view name) {
  std::vector<ExtendedSegment> segments;
  for (const Parameter& parameter : parameters)
    if (auto segment = ExtendedSegmentOf(parameter, name)) segments.push_back(*segment);
  if (segments.empty()) return std::nullopt;
  std::stable_sort(segments.begin(), segments.end(),
                   [](const ExtendedSegment& a, const ExtendedSegment& b) { return a.index < b.index; });
  ExtendedValue extended;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    std::string_view value = segments[i].value;
    if (!segments[i].encoded) {
      extended.bytes += value;
      continue;
    }
    const std::size_t charsetEnd = value.find('\'');
    const std::size_t languageEnd = charsetEnd == kNotFound ? kNotFound : value.find('\'', charsetEnd + 1);
    if (i == 0 && languageEnd != kNotFound) {
      extended.charset = value.substr(0, charsetEnd);
      value.remove_prefix(languageEnd + 1);
    }
    extended.bytes += kvl::PercentDecoded(value);
  }
  return extended;
}

// A parameter's bytes as the sender meant them (boundaries, charset names): the
// RFC 2231 form when there is one, else the plain value.
std::string ParameterBytes(const Parameters& parameters, std::string_view name) {
  if (std::optional<ExtendedValue> extended = ExtendedParameter(parameters, name)) return std::move(extended->bytes);
  const Parameter* plain = FindParameter(parameters, name);
  return plain ? plain->value : std::string();
}

// A parameter as text in ANSI (file names).
std::string ParameterText(const Parameters& parameters, std::string_view name) {
  if (std::optional<ExtendedValue> extended = ExtendedParameter(parameters, name))
    return TextToAnsi(extended->bytes, extended->charset);
  const Parameter* plain = FindParameter(parameters, name);
  return plain ? DecodedEncodedWords(plain->value) : std::string();  // many mailers put encoded words here
}

// ---------------------------------------------------------------------------------------------
// Addresses

struct Mailbox {
  std::string name;
  std::string address;
};

std::string ReadAngleAddress(std::string_view text, std::size_t& at) {
  const std::size_t close = std::min(text.find('>', at), text.size());
  std::string_view address = kvl::Trimmed(text.substr(at + 1, close - at - 1));
  const std::size_t routeEnd = address.find(':');
  if (address.starts_with('@') && routeEnd != kNotFound) address.remove_prefix(routeEnd + 1);  // obsolete route
  at = std::min(close + 1, text.size());
  return std::string(address);
}

std::string DisplayName(std::string_view text) {
  return std::string(kvl::Trimmed(DecodedEncodedWords(kvl::Trimmed(text))));
}

// The first mailbox of an address list: "Name" <addr>, Name <addr>, addr (Name) or addr.
Mailbox FirstMailbox(std::string_view list) {
  std::string phrase;
  std::string comment;
  std::string angle;
  bool hasAngle = false;
  for (std::size_t at = 0; at < list.size();) {
    const char c = list[at];
    if (c == '"') {
      phrase += ReadQuoted(list, at);
    } else if (c == '(') {
      comment += ReadComment(list, at);
    } else if (c == '<') {
      angle = ReadAngleAddress(list, at);
      hasAngle = true;
    } else if (c == ':' && !hasAngle) {  // "Group: a@b, c@d;" - the group's name is no mailbox
      phrase.clear();
      comment.clear();
      ++at;
    } else if (c == ',' && !hasAngle && kvl::Trimmed(phrase).empty() && comment.empty()) {
      phrase.clear();  // an empty list member; its blanks would be trimmed again at every comma
      ++at;
    } else if (c == ',' || c == ';') {
      break;
    } else {
      phrase += c;
      ++at;
    }
  }
  // Addresses may carry UTF-8 (internationalised mail), read like any undeclared text.
  if (hasAngle) return {DisplayName(kvl::Trimmed(phrase).empty() ? comment : phrase), UndeclaredTextToAnsi(angle)};
  return {DisplayName(comment), UndeclaredTextToAnsi(kvl::Trimmed(phrase))};
}

// ---------------------------------------------------------------------------------------------
// MIME structure

struct ContentInfo {
  ParameterizedValue type;
  ParameterizedValue disposition;
  std::string transferEncoding;  // lower case
};

// A part without a readable type is text/plain, or message/rfc822 inside a digest.
ContentInfo ContentInfoOf(const HeaderFields& fields, std::string_view defaultType) {
  ContentInfo info{ParseParameterized(FieldValue(fields, "Content-Type")),
                   ParseParameterized(FieldValue(fields, "Content-Disposition")),
                   kvl::AsciiLowered(FieldValue(fields, "Content-Transfer-Encoding"))};
  if (info.type.token.find('/') == kNotFound) info.type.token = defaultType;
  return info;
}

std::string FileNameOf(const ContentInfo& info) {
  std::string name = ParameterText(info.disposition.parameters, "filename");
  return name.empty() ? ParameterText(info.type.parameters, "name") : name;
}

enum class Delimiter { kNone, kNext, kClose };

Delimiter DelimiterOf(std::string_view line, std::string_view boundary) {
  if (!line.starts_with("--") || line.substr(2, boundary.size()) != boundary) return Delimiter::kNone;
  std::string_view rest = line.substr(2 + boundary.size());
  const bool closing = rest.starts_with("--");
  if (closing) rest.remove_prefix(2);
  if (!std::all_of(rest.begin(), rest.end(), IsBlank)) return Delimiter::kNone;
  return closing ? Delimiter::kClose : Delimiter::kNext;
}

// The parts between "--boundary" lines, without preamble and epilogue. Without a closing
// delimiter the last part runs to the end.
std::vector<std::string_view> SplitMultipart(std::string_view body, std::string_view boundary) {
  std::vector<std::string_view> parts;
  std::size_t partStart = kNotFound;
  for (std::size_t lineStart = 0; lineStart <= body.size();) {
    const std::size_t lineEnd = std::min(body.find(kCrLf, lineStart), body.size());
    const Delimiter delimiter = DelimiterOf(body.substr(lineStart, lineEnd - lineStart), boundary);
    if (delimiter != Delimiter::kNone) {
      if (partStart != kNotFound) {
        // The CR LF before a delimiter belongs to the delimiter.
        const std::size_t partEnd = lineStart >= partStart + 2 ? lineStart - 2 : partStart;
        parts.push_back(body.substr(partStart, partEnd - partStart));
      }
      if (delimiter == Delimiter::kClose) return parts;
      partStart = std::min(lineEnd + 2, body.size());
    }
    lineStart = lineEnd + 2;
  }
  if (partStart != kNotFound) parts.push_back(body.substr(partStart));
  return parts;
}

// Reads the parts depth first in the order they stand, from a list of parts still to
// read rather than by recursion. Forwarded messages (message/rfc822, and the parts of a
// digest) are read like parts of their own.
class PartReader {
 public:
  explicit PartReader(Message& message) : message_(message) {}

  bool textCut() const { return textCut_; }

  // Without a text/plain part, the text is a rendering of the first text/html part.
  void RenderHtmlText() {
    if (textFound_ || !html_) return;
    const HtmlText html = HtmlToText(HtmlToUtf8(html_->bytes, html_->charset));
    message_.text = WatchedText([&] { return Utf8ToAnsi(html.text); });
    if (html.cut || html_->size > kMaxHtmlBytes)
      message_.warnings.push_back("the HTML text is longer than " + std::to_string(kMaxHtmlBytes >> 20) +
                                  " MiB; the message text (item 241) renders its first " +
                                  std::to_string(kMaxHtmlBytes >> 20) + " MiB");
    if (html.stopped)
      message_.warnings.push_back("the HTML text nests its elements too deeply to be read whole; "
                                  "the message text (item 241) ends where reading stopped");
  }

  // The message itself comes split already; every part below it is split here.
  void Read(const Entity& message) {
    std::vector<Pending> pending;
    Visit(message, 0, false, pending);
    while (!pending.empty()) {
      const Pending part = pending.back();
      pending.pop_back();
      Visit(SplitEntity(part.text), part.depth, part.inDigest, pending);
    }
  }

 private:
  struct Pending {
    std::string_view text;
    int depth = 0;
    bool inDigest = false;
  };

  // Reads a leaf, or queues the parts of a multipart or the forwarded message.
  void Visit(const Entity& entity, int depth, bool inDigest, std::vector<Pending>& pending) {
    const ContentInfo info = ContentInfoOf(entity.fields, inDigest ? "message/rfc822" : "text/plain");
    const std::string boundary = ParameterBytes(info.type.parameters, "boundary");
    const bool multipart = info.type.token.starts_with("multipart/") && !boundary.empty();
    const bool forwarded = info.type.token == "message/rfc822";
    if (!multipart) ReadLeaf(info, entity.body);
    if (!multipart && !forwarded) return;
    if (depth >= kMaxPartDepth) {
      if (!tooDeepNoted_)
        message_.warnings.push_back("parts nested deeper than " + std::to_string(kMaxPartDepth) +
                                    " levels; the inner ones are left out");
      tooDeepNoted_ = true;
      return;
    }
    if (forwarded) {
      pending.push_back({ForwardedText(info, entity.body), depth + 1, false});
      return;
    }
    const std::vector<std::string_view> parts = SplitMultipart(entity.body, boundary);
    const bool digest = info.type.token == "multipart/digest";
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending.push_back({*it, depth + 1, digest});
  }

  // A forwarded message as text; one sent in Base64 or quoted-printable is decoded first.
  std::string_view ForwardedText(const ContentInfo& info, std::string_view body) {
    if (info.transferEncoding != "base64" && info.transferEncoding != "quoted-printable") return body;
    decoded_.push_back(WithCrLfLineEnds(TransferDecoded(body, info.transferEncoding)));
    return decoded_.back();
  }

  void ReadLeaf(const ContentInfo& info, std::string_view body) {
    const bool isAttachment = info.disposition.token == "attachment";
    const bool isText = !textFound_ && !isAttachment && info.type.token == "text/plain";
    const bool isHtml = !textFound_ && !html_ && !isAttachment && info.type.token == "text/html";
    std::string fileName = FileNameOf(info);
    if (!isText && !isHtml && !isAttachment && fileName.empty()) return;
    // An attachment is only measured; the text is decoded as far as item 241 can go.
    DecodedBytes decoded(isText ? kItemCap : isHtml ? kMaxHtmlBytes : 0);
    DecodeTransfer(body, info.transferEncoding, decoded);
    const std::size_t size = decoded.size();
    if (isHtml) html_ = HtmlPart{decoded.take(), ParameterBytes(info.type.parameters, "charset"), size};
    if (isText) {
      const std::string charset = ParameterBytes(info.type.parameters, "charset");
      message_.text = WatchedText([&] {
        return WithCrLfLineEnds(TextToAnsi(decoded.take(), charset.empty() ? std::string_view("us-ascii") : charset));
      });
      textCut_ = size > kItemCap;
      textFound_ = true;
    }
    if (isAttachment || !fileName.empty()) message_.attachments.push_back({std::move(fileName), info.type.token, size});
  }

  struct HtmlPart {
    std::string bytes;  // transfer-decoded, up to kMaxHtmlBytes
    std::string charset;
    std::size_t size = 0;  // all of it
  };

  template <class Convert>
  std::string WatchedText(const Convert& convert) {
    return WatchedConversion("the message text (item 241)", convert, message_.warnings);
  }

  Message& message_;
  std::deque<std::string> decoded_;  // stable storage: parts still to read point into it
  std::optional<HtmlPart> html_;     // the first text/html part, while no text/plain is found
  bool textFound_ = false;
  bool tooDeepNoted_ = false;
  bool textCut_ = false;  // the text part decodes to more than item 241 keeps
};

// Items the plug-in reads are cut at its result cap: it could not answer more of them.
void CutItem(std::string& item, std::string_view what, bool longer, std::vector<std::string>& warnings) {
  if (item.size() > kItemCap) {
    item.resize(kItemCap);
    longer = true;
  }
  if (longer)
    warnings.push_back(std::string(what) + " is longer than 64 MiB, the most the plug-in answers; it is cut there");
}

}  // namespace

std::size_t CrLfLineEnds::add(std::string_view piece, char* out) {
  std::size_t made = 0;
  auto put = [&](std::string_view bytes) {
    if (out != nullptr) std::memcpy(out + made, bytes.data(), bytes.size());
    made += bytes.size();
  };
  std::size_t at = 0;
  if (afterCr_ && !piece.empty()) {
    if (piece.front() == '\n') at = 1;  // the LF of a CR LF written with the last piece
    afterCr_ = false;
  }
  // The next CR and LF, each found once: mail is mostly long runs without either.
  std::size_t nextCr = kvl::FindText(piece, "\r", at), nextLf = kvl::FindText(piece, "\n", at);
  while (at < piece.size()) {
    if (nextCr != kNotFound && nextCr < at) nextCr = kvl::FindText(piece, "\r", at);
    if (nextLf != kNotFound && nextLf < at) nextLf = kvl::FindText(piece, "\n", at);
    const std::size_t end = std::min(nextCr, nextLf);
    if (end == kNotFound) {
      put(piece.substr(at));
      break;
    }
    put(piece.substr(at, end - at));
    put(kCrLf);
    at = end + 1;
    if (piece[end] == '\r') {
      if (at < piece.size() && piece[at] == '\n') ++at;
      else if (at == piece.size()) afterCr_ = true;
    }
  }
  return made;
}

Message ParseMessage(std::string_view raw) {
  if (raw.starts_with("\xEF\xBB\xBF")) raw.remove_prefix(3);  // a UTF-8 byte-order mark
  // Mail stored as sent has CR LF line ends already: then the bytes are read where they are.
  std::string normalized;
  if (CrLfLineEnds().add(raw, nullptr) != raw.size()) normalized = WithCrLfLineEnds(raw);
  const Entity entity = SplitEntity(normalized.empty() ? raw : std::string_view(normalized));
  const HeaderFields& fields = entity.fields;
  Message message;
  std::vector<std::string>& warnings = message.warnings;
  Mailbox from = WatchedConversion("From", [&] { return FirstMailbox(FieldValue(fields, "From")); }, warnings);
  message.fromName = std::move(from.name);
  message.fromAddress = std::move(from.address);
  Mailbox to = WatchedConversion("To", [&] { return FirstMailbox(FieldValue(fields, "To")); }, warnings);
  message.toName = std::move(to.name);
  message.toAddress = std::move(to.address);
  message.subject = WatchedConversion("Subject", [&] { return DecodedEncodedWords(FieldValue(fields, "Subject")); }, warnings);
  message.messageId = FieldValue(fields, "Message-ID");
  message.inReplyTo = FieldValue(fields, "In-Reply-To");
  message.references = FieldValue(fields, "References");
  message.date = FieldValue(fields, "Date");
  message.headers = JoinedHeaderLines(fields);
  message.body = entity.body.substr(0, kItemCap);
  PartReader parts(message);
  parts.Read(entity);
  parts.RenderHtmlText();

  CutItem(message.fromName, "the correspondent's name (item 218)", false, warnings);
  CutItem(message.fromAddress, "the correspondent's address (item 219)", false, warnings);
  CutItem(message.subject, "the subject (items 222 and 223)", false, warnings);
  CutItem(message.messageId, "the Message-ID (item 235)", false, warnings);
  CutItem(message.text, "the message text (item 241)", parts.textCut(), warnings);
  CutItem(message.headers, "the header block (item 243)", entity.headerCut, warnings);
  CutItem(message.body, "the body (item 254)", entity.body.size() > kItemCap, warnings);
  CutItem(message.inReplyTo, "In-Reply-To (item 265)", false, warnings);
  CutItem(message.references, "References (item 266)", false, warnings);
  return message;
}

std::map<std::int32_t, std::string> MessageItems(Message&& message) {
  std::map<std::int32_t, std::string> items;
  items[kvl::items::kSubjectAsReceived] = message.subject;
  items[kvl::items::kSubject] = std::move(message.subject);
  items[kvl::items::kCorrespondentName] = std::move(message.fromName);
  items[kvl::items::kCorrespondentAddress] = std::move(message.fromAddress);
  items[kvl::items::kMessageId] = std::move(message.messageId);
  items[kvl::items::kMessageText] = std::move(message.text);
  items[kvl::items::kHeaderBlock] = std::move(message.headers);
  items[kvl::items::kBody] = std::move(message.body);
  items[kvl::items::kInReplyTo] = std::move(message.inReplyTo);
  items[kvl::items::kReferences] = std::move(message.references);
  return items;
}

}  // namespace kvlhost
