#include "host/TemplateEngine.h"

#include <algorithm>

#include "core/TextUtil.h"

namespace kvlhost {

namespace {
constexpr int kMaxDepth = 64;  // nested expansions (plug-in calls inside plug-in calls)
constexpr int kMaxWarnings = 100;
constexpr std::size_t kMaxWarningLength = 300;

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::size_t NameEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && IsNameChar(text[at])) ++at;
  return at;
}

std::string Uppered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = kvl::AsciiUpper(c);
  return out;
}

// A literal argument after '="': everything up to the next '"' (or the end).
std::pair<std::string, std::size_t> ReadLiteral(std::string_view text, std::size_t at) {
  const std::size_t close = text.find('"', at);
  if (close == std::string_view::npos) return {std::string(text.substr(at)), text.size()};
  return {std::string(text.substr(at, close - at)), close + 1};
}

// Skips a quoted section starting at the opening quote; answers the position after it.
std::size_t SkipQuoted(std::string_view text, std::size_t at) {
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] != '"') continue;
    if (i + 1 < text.size() && text[i + 1] == '"') {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}
}  // namespace

void HostSession::setVariable(std::string_view name, std::string value) {
  variables[kvl::AsciiLowered(name)] = std::move(value);
}

const std::string* HostSession::variable(std::string_view name) const {
  const auto found = variables.find(kvl::AsciiLowered(name));
  return found == variables.end() ? nullptr : &found->second;
}

// One line each, of bounded length, and a bounded number of them: a loop may repeat a
// warning a hundred thousand times, and a warning may quote a whole message.
void HostSession::giveWarning(const std::string& message) {
  if (!warn || warningsGiven > kMaxWarnings) return;
  if (++warningsGiven > kMaxWarnings) {
    std::string line = "more than ";
    warn(line.append(std::to_string(kMaxWarnings)).append(" warnings; the rest are left out"));
    return;
  }
  std::string line = message.substr(0, kMaxWarningLength);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  if (message.size() > kMaxWarningLength)
    line.append("... (").append(std::to_string(message.size() - kMaxWarningLength)).append(" more characters)");
  warn(line);
}

std::size_t TemplateNameEnd(std::string_view text, std::size_t at) { return NameEnd(text, at); }

bool StartsTemplateName(char c) { return IsLetter(c); }

bool IsPluginMacroName(std::string_view name) {
  return name.size() > 4 && kvl::EqualsIgnoringAsciiCase(name.substr(0, 4), "KVL_");
}

std::span<const std::string_view> HostMacroNames() {
  static constexpr std::string_view kNames[] = {
      "SUBJECT", "TEXT", "HEADERS", "FROMNAME", "FROMADDR", "TONAME", "TOADDR", "MSGID", "DATE",
      "ATTACHFILE", "SETPATTREGEXP", "REGEXPMATCH", "REGEXPBLINDMATCH", "SUBPATT",
      "ABTOGENDER", "ABTOCOUNTRY", "ABTOBUSCOUNTRY"};
  return kNames;
}

ArgumentScan ScanCallArguments(std::string_view text, std::size_t at) {
  ArgumentScan scan;
  std::size_t i = at;
  // "%KVL_X()" has no arguments at all.
  std::size_t first = i;
  while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
  if (first < text.size() && text[first] == ')') {
    scan.stop = ArgumentScan::Stop::Closed;
    scan.at = first + 1;
    return scan;
  }
  auto openQuote = [&scan](std::size_t quote) {
    scan.stop = ArgumentScan::Stop::OpenQuote;
    scan.at = quote;
    return scan;
  };
  while (i <= text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    ArgumentSpan arg;
    arg.begin = i;
    if (i < text.size() && text[i] == '"') {
      const std::size_t after = SkipQuoted(text, i);
      if (after == std::string_view::npos) return openQuote(i);
      arg.quoteEnd = i = after;  // anything between the closing quote and the separator is kept as written
    }
    int depth = 0;
    std::size_t firstOpen = std::string_view::npos;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '"') {
        const std::size_t after = SkipQuoted(text, i);
        if (after == std::string_view::npos) return openQuote(i);
        i = after;
        continue;
      }
      if (c == '(' && depth++ == 0) firstOpen = i;
      if (c == ')' && depth-- == 0) break;
      if (c == ',' && depth == 0) break;
      ++i;
    }
    if (i >= text.size()) {
      scan.at = depth > 0 ? firstOpen : std::string_view::npos;
      return scan;
    }
    arg.end = i;
    scan.args.push_back(arg);
    if (text[i] == ')') {
      scan.stop = ArgumentScan::Stop::Closed;
      scan.at = i + 1;
      return scan;
    }
    ++i;  // past the comma
  }
  return scan;
}

std::optional<std::pair<std::vector<RawArgument>, std::size_t>> SplitCallArguments(std::string_view text,
                                                                                   std::size_t at) {
  ArgumentScan scan = ScanCallArguments(text, at);
  if (scan.stop != ArgumentScan::Stop::Closed) return std::nullopt;
  std::vector<RawArgument> args;
  for (const ArgumentSpan& span : scan.args) {
    RawArgument arg;
    std::size_t restBegin = span.begin;
    if (span.quoteEnd != std::string_view::npos) {
      for (std::size_t k = span.begin + 1; k + 1 < span.quoteEnd; ++k) {
        arg.text += text[k];
        if (text[k] == '"') ++k;  // "" is one quote
      }
      arg.quoted = true;
      restBegin = span.quoteEnd;
    }
    arg.text += kvl::Trimmed(text.substr(restBegin, span.end - restBegin));
    args.push_back(std::move(arg));
  }
  return std::pair{std::move(args), scan.at};
}

void TemplateEngine::warn(const std::string& message) const { session_.giveWarning(message); }

std::string TemplateEngine::expand(std::string_view text) {
  if (depth_ >= kMaxDepth) {
    warn("templates nested deeper than " + std::to_string(kMaxDepth) + " levels; inner text left out");
    return {};
  }
  ++depth_;
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t percent = text.find('%', at);
    if (percent == std::string_view::npos) {
      out += text.substr(at);
      break;
    }
    out += text.substr(at, percent - at);
    at = expandPercent(text, percent, out);
  }
  --depth_;
  return out;
}

std::size_t TemplateEngine::expandPercent(std::string_view text, std::size_t at, std::string& out) {
  const std::size_t next = at + 1;
  if (next < text.size() && text[next] == '%') {
    out += '%';
    return next + 1;
  }
  if (next < text.size() && text[next] == '_') return expandVariable(text, next + 1, out);
  if (next >= text.size() || !IsLetter(text[next])) {
    out += '%';
    return next;
  }
  const std::size_t nameEnd = NameEnd(text, next);
  const std::string_view name = text.substr(next, nameEnd - next);
  if (IsPluginMacroName(name))
    return expandPluginCall(text, next, nameEnd, out);
  return expandHostMacro(text, next, nameEnd, out);
}

std::size_t TemplateEngine::expandVariable(std::string_view text, std::size_t at, std::string& out) {
  const std::size_t nameEnd = NameEnd(text, at);
  if (nameEnd == at) {
    out += "%_";
    return at;
  }
  const std::string_view name = text.substr(at, nameEnd - at);
  if (text.compare(nameEnd, 2, "=\"") == 0) {
    auto [value, after] = ReadLiteral(text, nameEnd + 2);
    session_.setVariable(name, std::move(value));
    return after;
  }
  if (const std::string* value = session_.variable(name)) out += *value;
  return nameEnd;
}

std::size_t TemplateEngine::expandPluginCall(std::string_view text, std::size_t nameStart, std::size_t nameEnd,
                                             std::string& out) {
  const std::string name(text.substr(nameStart, nameEnd - nameStart));
  std::vector<std::string> args;
  std::size_t after = nameEnd;
  if (nameEnd < text.size() && text[nameEnd] == '(') {
    auto split = SplitCallArguments(text, nameEnd + 1);
    if (!split) {
      warn("%" + name + "( has no closing parenthesis; copied unchanged");
      out += text.substr(nameStart - 1, nameEnd + 1 - (nameStart - 1));
      return nameEnd + 1;
    }
    for (const RawArgument& raw : split->first) args.push_back(expand(raw.text));
    after = split->second;
  }
  const MacroOutcome outcome = callMacro(name, args);
  if (outcome.rc != 0) {
    warn("the plug-in does not know %" + name + "; copied unchanged");
    out += text.substr(nameStart - 1, after - (nameStart - 1));
  } else {
    out += outcome.result;
  }
  return after;
}

std::size_t TemplateEngine::expandHostMacro(std::string_view text, std::size_t nameStart, std::size_t nameEnd,
                                            std::string& out) {
  const std::string upper = Uppered(text.substr(nameStart, nameEnd - nameStart));
  std::optional<std::string> argument;
  std::size_t after = nameEnd;
  if (text.compare(nameEnd, 2, "=\"") == 0) {
    auto [value, next] = ReadLiteral(text, nameEnd + 2);
    argument = std::move(value);
    after = next;
  } else if (text.compare(nameEnd, 2, "=%") == 0) {
    // A chain %A=%B=%C... nests like calls do and shares their depth limit; past it,
    // the rest of the chain is expanded on its own, so no chain runs out of stack.
    std::string value;
    if (depth_ >= kMaxDepth) {
      warn("host macros chained deeper than " + std::to_string(kMaxDepth) + " levels; the rest stands on its own");
      after = nameEnd + 1;
    } else {
      ++depth_;
      after = expandPercent(text, nameEnd + 1, value);
      --depth_;
    }
    argument = std::move(value);
  }
  const auto known = HostMacroNames();
  if (std::find(known.begin(), known.end(), upper) == known.end()) {
    warn("unknown host macro %" + std::string(text.substr(nameStart, nameEnd - nameStart)) + "; copied unchanged");
    out += text.substr(nameStart - 1, after - (nameStart - 1));
    return after;
  }
  out += hostMacro(upper, argument);
  return after;
}

std::string TemplateEngine::hostMacro(const std::string& name, const std::optional<std::string>& argument) {
  auto item = [&](std::int32_t id) {
    const auto found = session_.items.find(id);
    return found == session_.items.end() ? std::string() : found->second;
  };
  auto field = [&](const std::string& key) {
    const auto found = session_.messageFields.find(key);
    return found == session_.messageFields.end() ? std::string() : found->second;
  };
  const std::string value = argument.value_or("");
  if (name == "SUBJECT") return item(223);
  if (name == "TEXT") return item(241);
  if (name == "HEADERS") return item(243);
  if (name == "FROMNAME") return item(218);
  if (name == "FROMADDR") return item(219);
  if (name == "MSGID") return item(235);
  if (name == "TONAME" || name == "TOADDR" || name == "DATE") return field(name);
  if (name == "ATTACHFILE") {
    session_.attachments.add(value);
    return {};
  }
  if (name == "SETPATTREGEXP") {
    const std::string error = session_.regex.setPattern(value);
    if (!error.empty()) warn("%SETPATTREGEXP: " + error);
    return {};
  }
  if (name == "REGEXPMATCH") return session_.regex.match(value) ? session_.regex.group(0) : std::string();
  if (name == "REGEXPBLINDMATCH") {
    session_.regex.match(value);
    return {};
  }
  if (name == "SUBPATT") return session_.regex.group(DecimalOrZero(kvl::Trimmed(value)));
  // Address-book look-ups by the correspondent's address.
  const AddressBookEntry* entry = session_.addressBook ? session_.addressBook->find(item(219)) : nullptr;
  if (entry == nullptr) return {};
  if (name == "ABTOGENDER") return entry->gender;
  if (name == "ABTOCOUNTRY") return entry->country;
  return entry->businessCountry;
}

MacroOutcome TemplateEngine::callMacro(const std::string& name, const std::vector<std::string>& args) {
  if (plugin_ == nullptr) return MacroOutcome{};
  return plugin_->run(name, args, session_.items, [this](std::string_view hostText) {
    session_.processed.add(hostText);
    return expand(hostText);
  });
}

}  // namespace kvlhost
