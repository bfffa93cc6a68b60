#include "host/TemplateEngine.h"

#include <algorithm>
#include <chrono>

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "core/ZorbelItems.h"

namespace kvlhost {

namespace {
constexpr int kMaxDepth = 64;  // nested expansions (plug-in calls inside plug-in calls)
constexpr int kMaxWarnings = 100;
constexpr std::size_t kMaxWarningLength = 300;
constexpr std::size_t kMaxSources = 4096;  // places of message text told apart in findings

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

void HostSession::setVariable(std::string_view name, std::string value, Marks marks) {
  std::string key = kvl::AsciiLowered(name);
  if (marks.empty()) variableMarks.erase(key);
  else variableMarks[key] = std::move(marks);
  variables[std::move(key)] = std::move(value);
}

const std::string* HostSession::variable(std::string_view name) const {
  const auto found = variables.find(kvl::AsciiLowered(name));
  return found == variables.end() ? nullptr : &found->second;
}

const Marks* HostSession::variableMarksOf(std::string_view name) const {
  if (variableMarks.empty()) return nullptr;
  const auto found = variableMarks.find(kvl::AsciiLowered(name));
  return found == variableMarks.end() ? nullptr : &found->second;
}

// One line each, of bounded length, and a bounded number of them: a loop may repeat a
// warning a hundred thousand times, and a warning may quote a whole message.
void HostSession::giveBounded(const std::function<void(const std::string&)>& sink, const std::string& message) {
  if (!sink || warningsGiven > kMaxWarnings) return;
  if (++warningsGiven > kMaxWarnings) {
    std::string line = "more than ";
    sink(line.append(std::to_string(kMaxWarnings)).append(" warnings; the rest are left out"));
    return;
  }
  std::string line = message.substr(0, kMaxWarningLength);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  if (message.size() > kMaxWarningLength)
    line.append("... (").append(std::to_string(message.size() - kMaxWarningLength)).append(" more characters)");
  sink(line);
}

void HostSession::giveWarning(const std::string& message) { giveBounded(warn, message); }

void HostSession::giveFinding(const std::string& line) { giveBounded(report ? report : warn, line); }

std::uint32_t HostSession::sourceIndex(TextSource source) {
  // Past the bound, places are no longer told apart (a template has few sources; a
  // hostile one may have any number).
  if (textSources.size() >= kMaxSources) source.where.clear();
  std::string key = source.what + '\n' + source.where;
  const auto found = textSourceIndex.find(key);
  if (found != textSourceIndex.end()) return found->second;
  const auto index = static_cast<std::uint32_t>(textSources.size());
  textSources.push_back(std::move(source));
  textSourceIndex.emplace(std::move(key), index);
  return index;
}

std::size_t TemplateNameEnd(std::string_view text, std::size_t at) { return NameEnd(text, at); }

bool StartsTemplateName(char c) { return IsLetter(c); }

bool IsPluginMacroName(std::string_view name) {
  return name.size() > 4 && kvl::EqualsIgnoringAsciiCase(name.substr(0, 4), "KVL_");
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

namespace {

// A raw argument of a call with its marks and where its pieces stand in the calling text.
struct ArgumentText {
  MarkedText raw;
  std::vector<std::pair<std::size_t, std::size_t>> pieces;
};

// The structure comes from `syntax`, the characters from `text`.
ArgumentText ReadArgument(std::string_view text, std::string_view syntax, const Marks* marks, const ArgumentSpan& span) {
  ArgumentText arg;
  MarkedBuilder raw;
  auto copy = [&](std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    arg.pieces.emplace_back(raw.peek().text.size(), begin);
    if (marks != nullptr && !marks->empty()) raw.append(text.substr(begin, end - begin), MarksWithin(*marks, begin, end));
    else raw.append(text.substr(begin, end - begin));
  };
  std::size_t restBegin = span.begin;
  if (span.quoteEnd != std::string_view::npos) {
    std::size_t run = span.begin + 1;
    for (std::size_t k = span.begin + 1; k + 1 < span.quoteEnd; ++k) {
      if (syntax[k] != '"') continue;
      copy(run, k + 1);  // "" is one quote: the first one stays
      run = ++k + 1;
    }
    copy(run, span.quoteEnd - 1);
    restBegin = span.quoteEnd;
  }
  const std::string_view rest = syntax.substr(restBegin, span.end - restBegin);
  const std::string_view trimmed = kvl::Trimmed(rest);
  const std::size_t trimmedBegin = restBegin + static_cast<std::size_t>(trimmed.data() - rest.data());
  copy(trimmedBegin, trimmedBegin + trimmed.size());
  arg.raw = raw.take();
  return arg;
}

}  // namespace

std::optional<std::pair<std::vector<RawArgument>, std::size_t>> SplitCallArguments(std::string_view text,
                                                                                   std::size_t at) {
  ArgumentScan scan = ScanCallArguments(text, at);
  if (scan.stop != ArgumentScan::Stop::Closed) return std::nullopt;
  std::vector<RawArgument> args;
  for (const ArgumentSpan& span : scan.args)
    args.push_back({ReadArgument(text, text, nullptr, span).raw.text, span.quoteEnd != std::string_view::npos});
  return std::pair{std::move(args), scan.at};
}

// ---------------------------------------------------------------------------------------------
// Message text through the engine

// Where the text being expanded came from: the template itself, an argument of a call in
// the text above it (its pieces stand at known places there), or text the plug-in handed
// back (whose places are the place of the call that ran).
struct TemplateEngine::Level {
  const Level* parent = nullptr;
  std::string_view text;
  // An argument: (offset in the argument, offset in the parent's text) where each piece of
  // it starts; a quoted argument starts a piece after each "" that became one quote.
  std::vector<std::pair<std::size_t, std::size_t>> pieces;
  CallFrame* call = nullptr;  // host text: the call that handed it over
  std::string_view inside;    // the macro whose host text this is or is within; empty in the template
  // Host text of a call of its own: where its arguments stand, and places within each.
  mutable std::optional<std::vector<std::size_t>> argumentPlaces;
  mutable std::vector<TextPosition> argumentPositions;
};

// One plug-in call on its way: what it was given, what it read and got back.
struct TemplateEngine::CallFrame {
  std::string name;
  const Level* level = nullptr;  // the text holding the call; null for a call of its own (kvlhost call)
  std::size_t percent = 0;       // where its '%' stands in that text
  const std::vector<MarkedText>* args = nullptr;
  std::vector<std::int32_t> itemsRead;
  std::optional<std::uint32_t> outputSource;  // message text came back from a host text
  std::optional<std::string> where;           // its place, found when first asked for
  // Made for the first host text and kept for the others (a loop hands one a pass).
  std::optional<TextPlacer> placer;           // arguments, then the items read
  std::size_t placerItems = 0;                // how many items read it knows
  std::vector<std::uint32_t> itemSources;
  std::optional<TextPlacer> argumentPlacer;   // arguments alone: places in a call of its own
  std::vector<std::pair<std::string, std::uint32_t>> sources;  // taken in its host texts, each pass again
  std::uint64_t passes = 0;  // host texts handed back so far, a loop's test of its variable not counted
  CallTrace::Work work;      // with the calls run inside its passes
};

// The text of one level, the same text for reading syntax (under `strict`, with every
// marked character made one that means nothing to the engine), and its marks.
struct TemplateEngine::Input {
  std::string_view text;
  std::string_view syntax;
  const Marks* marks = nullptr;
  const Level* level = nullptr;
  std::vector<std::pair<std::size_t, std::size_t>>* data = nullptr;  // ranges read as data or by a level below

  bool marked() const { return marks != nullptr && !marks->empty(); }
  void readAsData(std::size_t begin, std::size_t end) const {
    if (data != nullptr && begin < end) data->emplace_back(begin, end);
  }
};

namespace {

constexpr char kInert = '\x7F';  // not a name, not a delimiter, not trimmed

std::optional<std::uint32_t> FirstSource(const Marks& marks) {
  if (marks.empty()) return std::nullopt;
  return marks.front().source;
}

// "%_v" alone: a loop reading its variable back (KVL_Until's test), part of the pass before.
bool ReadsVariableBack(std::string_view hostText) {
  return hostText.size() > 2 && hostText.starts_with("%_") && NameEnd(hostText, 2) == hostText.size();
}

// Points a pointer at something for the length of a scope.
template <typename T>
class PointedWhile {
 public:
  PointedWhile(T*& pointer, T* at) : pointer_(pointer), before_(std::exchange(pointer, at)) {}
  ~PointedWhile() { pointer_ = before_; }
  PointedWhile(const PointedWhile&) = delete;
  PointedWhile& operator=(const PointedWhile&) = delete;

 private:
  T*& pointer_;
  T* before_;
};

}  // namespace

void TemplateEngine::warn(const std::string& message) const { session_.giveWarning(message); }

std::string TemplateEngine::expand(std::string_view text) {
  const bool top = depth_ == 0;
  if (top) templatePosition_ = TextPosition(text);
  const Level level{};
  const Input input{text, text, nullptr, &level, nullptr};
  std::string out = expandInput(input).text;
  if (top) templatePosition_ = TextPosition();
  return out;
}

MarkedText TemplateEngine::expandInput(const Input& given) {
  if (depth_ >= kMaxDepth) {
    warn("templates nested deeper than " + std::to_string(kMaxDepth) + " levels; inner text left out");
    return {};
  }
  // Under strict, marked characters are read as nothing but text.
  Input in = given;
  std::string inert;
  std::vector<std::pair<std::size_t, std::size_t>> data;
  if (in.marked()) {
    in.data = &data;
    if (session_.strict) {
      inert.assign(in.text);
      for (const Mark& mark : *in.marks) std::fill(inert.begin() + mark.begin, inert.begin() + mark.end, kInert);
      in.syntax = inert;
    }
  }
  ++depth_;
  MarkedBuilder out;
  out.reserve(in.text.size());
  std::size_t at = 0;
  while (at < in.text.size()) {
    const std::size_t percent = in.syntax.find('%', at);
    const std::size_t end = percent == std::string_view::npos ? in.text.size() : percent;
    if (in.marked()) out.append(in.text.substr(at, end - at), MarksWithin(*in.marks, at, end));
    else out.append(in.text.substr(at, end - at));
    if (percent == std::string_view::npos) break;
    at = expandPercent(in, percent, out);
  }
  --depth_;
  if (in.marked()) reportFindings(in);
  return out.take();
}

// Marked characters that this level read as template text, not as a literal value and not
// handed to a level below, are findings: once per source and macro.
void TemplateEngine::reportFindings(const Input& in) {
  std::vector<std::pair<std::size_t, std::size_t>>& data = *in.data;
  std::sort(data.begin(), data.end());
  std::size_t d = 0, covered = 0;  // data[0, d) lie before the mark; `covered` is where they reach
  for (const Mark& mark : *in.marks) {
    std::size_t at = mark.begin;
    while (d < data.size() && data[d].first <= at) covered = std::max(covered, data[d++].second);
    bool asTemplate = false;
    while (at < mark.end) {
      if (covered > at) {
        at = covered;
        while (d < data.size() && data[d].first <= at) covered = std::max(covered, data[d++].second);
        continue;
      }
      asTemplate = true;
      break;
    }
    if (!asTemplate) continue;
    if (lastReported_ && lastReported_->first == mark.source && lastReported_->second == in.level->inside) continue;
    const std::string inside(in.level->inside);
    lastReported_.emplace(mark.source, inside);
    if (!session_.reported.emplace(mark.source, inside).second) continue;
    const TextSource& source = session_.textSources[mark.source];
    if (session_.strict) ++session_.errors;
    session_.giveFinding((source.where.empty() ? std::string() : source.where + ": ") +
                         (session_.strict ? "error: " : "warning: ") + "text from " + source.what +
                         " is expanded as a template inside " + inside + "; write " + source.suggestion +
                         (source.atCall ? passesOf(*in.level) : std::string()));
  }
}

std::size_t TemplateEngine::expandPercent(const Input& in, std::size_t at, MarkedBuilder& out) {
  const std::string_view text = in.syntax;
  const std::size_t next = at + 1;
  if (next < text.size() && text[next] == '%') {
    out.append('%');
    return next + 1;
  }
  if (next < text.size() && text[next] == '_') return expandVariable(in, next + 1, out);
  if (next >= text.size() || !IsLetter(text[next])) {
    out.append('%');
    return next;
  }
  const std::size_t nameEnd = NameEnd(text, next);
  const std::string_view name = text.substr(next, nameEnd - next);
  if (IsPluginMacroName(name)) return expandPluginCall(in, next, nameEnd, out);
  return expandHostMacro(in, next, nameEnd, out);
}

namespace {
// The literal after '="' at `at`: its end (the closing quote or the end of the text) and
// where reading goes on.
std::pair<std::size_t, std::size_t> LiteralEnd(std::string_view syntax, std::size_t at) {
  const std::size_t close = syntax.find('"', at);
  if (close == std::string_view::npos) return {syntax.size(), syntax.size()};
  return {close, close + 1};
}

MarkedText MarkedSlice(std::string_view text, const Marks* marks, std::size_t begin, std::size_t end) {
  MarkedText slice{std::string(text.substr(begin, end - begin)), {}};
  if (marks != nullptr && !marks->empty()) slice.marks = MarksWithin(*marks, begin, end);
  return slice;
}
}  // namespace

std::size_t TemplateEngine::expandVariable(const Input& in, std::size_t at, MarkedBuilder& out) {
  const std::size_t nameEnd = NameEnd(in.syntax, at);
  if (nameEnd == at) {
    out.append("%_");
    return at;
  }
  const std::string_view name = in.syntax.substr(at, nameEnd - at);
  if (in.syntax.compare(nameEnd, 2, "=\"") == 0) {
    const auto [end, after] = LiteralEnd(in.syntax, nameEnd + 2);
    MarkedText value = MarkedSlice(in.text, in.marks, nameEnd + 2, end);
    in.readAsData(nameEnd + 2, end);
    session_.setVariable(name, std::move(value.text), std::move(value.marks));
    return after;
  }
  if (const std::string* value = session_.variable(name)) {
    const Marks* marks = session_.variableMarksOf(name);
    if (marks != nullptr) out.append(*value, *marks);
    else out.append(*value);
  }
  return nameEnd;
}

std::size_t TemplateEngine::expandPluginCall(const Input& in, std::size_t nameStart, std::size_t nameEnd,
                                             MarkedBuilder& out) {
  const std::string name(in.text.substr(nameStart, nameEnd - nameStart));
  std::vector<MarkedText> args;
  const bool withArguments = nameEnd < in.syntax.size() && in.syntax[nameEnd] == '(';
  const ArgumentScan scan = withArguments ? ScanCallArguments(in.syntax, nameEnd + 1) : ArgumentScan{};
  if (withArguments && scan.stop != ArgumentScan::Stop::Closed) {
    warn("%" + name + "( has no closing parenthesis; copied unchanged");
    out.append(in.text.substr(nameStart - 1, nameEnd + 1 - (nameStart - 1)),
               in.marked() ? MarksWithin(*in.marks, nameStart - 1, nameEnd + 1) : Marks{});
    return nameEnd + 1;
  }
  // Calls inside a text the plug-in handed back are placed by their nesting alone.
  const Level& root = rootOf(*in.level);
  const bool inTemplate = root.parent == nullptr && root.call == nullptr;
  const CallTrace::Scope traced =
      trace_ ? trace_->enterCall(name, inTemplate ? whereOf(*in.level, nameStart - 1) : std::string()) : CallTrace::Scope();
  for (const ArgumentSpan& span : scan.args) {
    ArgumentText arg = ReadArgument(in.text, in.syntax, in.marks, span);
    // The argument's own characters are read by the level below.
    for (std::size_t p = 0; p < arg.pieces.size(); ++p) {
      const std::size_t length =
          (p + 1 < arg.pieces.size() ? arg.pieces[p + 1].first : arg.raw.text.size()) - arg.pieces[p].first;
      in.readAsData(arg.pieces[p].second, arg.pieces[p].second + length);
    }
    Level level;
    level.parent = in.level;
    level.text = arg.raw.text;
    level.pieces = std::move(arg.pieces);
    level.inside = in.level->inside;
    args.push_back(expandInput(Input{arg.raw.text, arg.raw.text, &arg.raw.marks, &level, nullptr}));
  }
  const std::size_t after = withArguments ? scan.at : nameEnd;
  CallFrame frame;
  frame.name = name;
  frame.level = in.level;
  frame.percent = nameStart - 1;
  const MacroOutcome outcome = runCall(frame, args);
  if (outcome.rc != 0) {
    warn("the plug-in does not know %" + name + "; copied unchanged");
    out.append(in.text.substr(nameStart - 1, after - (nameStart - 1)),
               in.marked() ? MarksWithin(*in.marks, nameStart - 1, after) : Marks{});
    return after;
  }
  reportErrorAnswer(*in.level, nameStart - 1, name, outcome.result);
  // A result is message text when the call was given or read some, or got some back from
  // a host text: all of it, since what the plug-in did with it is its own.
  std::optional<std::uint32_t> source = frame.outputSource;
  for (const MarkedText& arg : args)
    if (!arg.marks.empty()) {
      source = arg.marks.front().source;
      break;
    }
  if (!source && !frame.itemsRead.empty()) {
    const std::string what = "item " + std::to_string(frame.itemsRead.front()) + " (read by " + name + ")";
    source = sourceAt(*in.level, nameStart - 1, what, "%%" + name);
  }
  if (source) out.append(outcome.result, *source);
  else out.append(outcome.result);
  return after;
}

MacroOutcome TemplateEngine::runCall(CallFrame& frame, const std::vector<MarkedText>& args) {
  if (plugin_ == nullptr) return MacroOutcome{};
  std::vector<std::string> texts;
  texts.reserve(args.size());
  for (const MarkedText& arg : args) {
    texts.push_back(arg.text);
    frame.work.bytes += arg.text.size();
  }
  frame.args = &args;
  if (trace_) trace_->arguments(args);
  CallFrame* const enclosing = running_;
  const PointedWhile<CallFrame> running(running_, &frame);
  // Read for the trace alone: two readings a call made loops of short calls 20 % slower under Wine.
  const auto started = trace_ ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
  MacroOutcome outcome = plugin_->run(
      frame.name, texts, session_.items,
      [this, &frame](std::string_view hostText) {
        session_.processed.add(hostText);
        const bool newPass = frame.passes == 0 || !ReadsVariableBack(hostText);
        if (newPass) {
          ++frame.passes;
          ++frame.work.passes;
        }
        const CallTrace::Scope traced =
            trace_ && newPass ? trace_->enterPass(frame.passes, hostText) : CallTrace::Scope();
        MarkedText output = processHostText(frame, hostText);
        frame.work.bytes += hostText.size() + output.text.size();
        if (!frame.outputSource) frame.outputSource = FirstSource(output.marks);
        return std::move(output.text);
      },
      [&frame](std::int32_t id) {
        if (std::find(frame.itemsRead.begin(), frame.itemsRead.end(), id) == frame.itemsRead.end())
          frame.itemsRead.push_back(id);
      });
  frame.work.bytes += outcome.result.size();
  if (enclosing != nullptr) {  // the plug-in's budget counts the calls inside a call with it
    enclosing->work.passes += frame.work.passes;
    enclosing->work.bytes += frame.work.bytes;
  }
  if (trace_) {
    frame.work.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    trace_->callEnded(outcome.rc == 0 ? &outcome.result : nullptr, frame.passes, frame.work);
  }
  return outcome;
}

// Host text is built by the plug-in from the call's arguments and the items it read; where
// those stand in it whole, their marks stand there too.
MarkedText TemplateEngine::processHostText(CallFrame& frame, std::string_view hostText) {
  Marks marks;
  bool anyMarked = !frame.itemsRead.empty();
  for (const MarkedText& arg : *frame.args) anyMarked = anyMarked || !arg.marks.empty();
  if (anyMarked) {
    std::vector<std::string_view> texts;
    for (const MarkedText& arg : *frame.args) texts.push_back(arg.text);
    for (std::size_t i = frame.itemSources.size(); i < frame.itemsRead.size(); ++i) {
      const std::string what = "item " + std::to_string(frame.itemsRead[i]) + " (read by " + frame.name + ")";
      frame.itemSources.push_back(frame.level != nullptr
                                      ? sourceAt(*frame.level, frame.percent, what, "%%" + frame.name)
                                      : session_.sourceIndex({what, frame.name, "%%" + frame.name}));
    }
    for (const std::int32_t id : frame.itemsRead) {
      const auto item = session_.items.find(id);
      texts.push_back(item == session_.items.end() ? std::string_view() : std::string_view(item->second));
    }
    if (!frame.placer || frame.placerItems != frame.itemsRead.size()) {
      frame.placer.emplace(texts);
      frame.placerItems = frame.itemsRead.size();
    }
    const std::vector<std::size_t> places = frame.placer->place(hostText);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (places[i] == std::string_view::npos) continue;
      if (i < frame.args->size()) {
        for (const Mark& mark : (*frame.args)[i].marks)
          marks.push_back({places[i] + mark.begin, places[i] + mark.end, mark.source});
      } else {
        marks.push_back({places[i], places[i] + texts[i].size(), frame.itemSources[i - frame.args->size()]});
      }
    }
    std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.begin < b.begin; });
  }
  Level level;
  level.text = hostText;
  level.call = &frame;
  level.inside = frame.name;
  return expandInput(Input{hostText, hostText, &marks, &level, nullptr});
}

MacroOutcome TemplateEngine::callMacro(const std::string& name, const std::vector<std::string>& args) {
  std::vector<MarkedText> marked;
  for (const std::string& arg : args) marked.push_back({arg, {}});
  CallFrame frame;
  frame.name = name;
  const CallTrace::Scope traced = trace_ ? trace_->enterCall(name, {}) : CallTrace::Scope();
  return runCall(frame, marked);
}

// What a host macro sees of its call: the session, its argument and where its text goes.
struct TemplateEngine::HostCall {
  TemplateEngine& engine;
  const Input& in;
  std::size_t percent;                          // where the call's '%' stands
  const std::string& name;                      // upper case
  const std::string& value;                     // the argument's text; empty without one
  std::optional<std::uint32_t> argumentSource;  // message text in the argument
  MarkedBuilder& out;

  HostSession& session() const { return engine.session_; }
  std::string_view item(std::int32_t id) const {
    const auto found = session().items.find(id);
    return found == session().items.end() ? std::string_view() : std::string_view(found->second);
  }
  // Message data: marked with where the template takes it.
  void message(std::string_view text) const {
    if (text.empty()) return;
    out.append(text, engine.sourceAt(*in.level, percent, "%" + name, "%%" + name));
  }
  // TONAME, TOADDR and DATE: fields of the message kvlhost read.
  void messageField() const {
    const auto found = session().messageFields.find(name);
    message(found == session().messageFields.end() ? std::string_view() : std::string_view(found->second));
  }
  // Text taken from message text keeps its mark.
  void derived(const std::string& text, std::optional<std::uint32_t> source) const {
    if (source) out.append(text, *source);
    else out.append(text);
  }
  // Address-book look-ups by the correspondent's address: the user's own data.
  void addressBook(std::string AddressBookEntry::*field) const {
    const auto& book = session().addressBook;
    const AddressBookEntry* entry = book ? book->find(item(kvl::items::kCorrespondentAddress)) : nullptr;
    if (entry != nullptr) out.append(entry->*field);
  }
};

std::span<const TemplateEngine::HostMacro> TemplateEngine::hostMacros() {
  static constexpr HostMacro kMacros[] = {
      {"SUBJECT", [](const HostCall& call) { call.message(call.item(kvl::items::kSubject)); }},
      {"TEXT", [](const HostCall& call) { call.message(call.item(kvl::items::kMessageText)); }},
      {"HEADERS", [](const HostCall& call) { call.message(call.item(kvl::items::kHeaderBlock)); }},
      {"FROMNAME", [](const HostCall& call) { call.message(call.item(kvl::items::kCorrespondentName)); }},
      {"FROMADDR", [](const HostCall& call) { call.message(call.item(kvl::items::kCorrespondentAddress)); }},
      {"TONAME", [](const HostCall& call) { call.messageField(); }},
      {"TOADDR", [](const HostCall& call) { call.messageField(); }},
      {"MSGID", [](const HostCall& call) { call.message(call.item(kvl::items::kMessageId)); }},
      {"DATE", [](const HostCall& call) { call.messageField(); }},
      {"ATTACHFILE", [](const HostCall& call) { call.session().attachments.add(call.value); }},
      {"SETPATTREGEXP",
       [](const HostCall& call) {
         const std::string error = call.session().regex.setPattern(call.value);
         if (!error.empty()) call.session().giveWarning("%SETPATTREGEXP: " + error);
         call.session().regexSubjectSource.reset();
       }},
      {"REGEXPMATCH",
       [](const HostCall& call) {
         HostSession& session = call.session();
         session.regexSubjectSource = call.argumentSource;
         call.derived(session.regex.match(call.value) ? session.regex.group(0) : std::string(), call.argumentSource);
       }},
      {"REGEXPBLINDMATCH",
       [](const HostCall& call) {
         call.session().regexSubjectSource = call.argumentSource;
         call.session().regex.match(call.value);
       }},
      {"SUBPATT",
       [](const HostCall& call) {
         HostSession& session = call.session();
         call.derived(session.regex.group(DecimalOrZero(kvl::Trimmed(call.value))), session.regexSubjectSource);
       }},
      {"ABTOGENDER", [](const HostCall& call) { call.addressBook(&AddressBookEntry::gender); }},
      {"ABTOCOUNTRY", [](const HostCall& call) { call.addressBook(&AddressBookEntry::country); }},
      {"ABTOBUSCOUNTRY", [](const HostCall& call) { call.addressBook(&AddressBookEntry::businessCountry); }},
  };
  return kMacros;
}

std::span<const std::string_view> HostMacroNames() {
  static const std::vector<std::string_view> kNames = [] {
    std::vector<std::string_view> names;
    for (const TemplateEngine::HostMacro& macro : TemplateEngine::hostMacros()) names.push_back(macro.name);
    return names;
  }();
  return kNames;
}

std::size_t TemplateEngine::expandHostMacro(const Input& in, std::size_t nameStart, std::size_t nameEnd,
                                            MarkedBuilder& out) {
  const std::string upper = Uppered(in.syntax.substr(nameStart, nameEnd - nameStart));
  std::optional<MarkedText> argument;
  std::size_t after = nameEnd;
  if (in.syntax.compare(nameEnd, 2, "=\"") == 0) {
    const auto [end, next] = LiteralEnd(in.syntax, nameEnd + 2);
    argument = MarkedSlice(in.text, in.marks, nameEnd + 2, end);
    in.readAsData(nameEnd + 2, end);
    after = next;
  } else if (in.syntax.compare(nameEnd, 2, "=%") == 0) {
    // A chain %A=%B=%C... nests like calls do and shares their depth limit; past it,
    // the rest of the chain is expanded on its own, so no chain runs out of stack.
    MarkedBuilder value;
    if (depth_ >= kMaxDepth) {
      warn("host macros chained deeper than " + std::to_string(kMaxDepth) + " levels; the rest stands on its own");
      after = nameEnd + 1;
    } else {
      ++depth_;
      after = expandPercent(in, nameEnd + 1, value);
      --depth_;
    }
    argument = value.take();
  }
  const auto macros = hostMacros();
  const auto macro =
      std::find_if(macros.begin(), macros.end(), [&upper](const HostMacro& each) { return each.name == upper; });
  if (macro == macros.end()) {
    warn("unknown host macro %" + std::string(in.text.substr(nameStart, nameEnd - nameStart)) + "; copied unchanged");
    out.append(in.text.substr(nameStart - 1, after - (nameStart - 1)),
               in.marked() ? MarksWithin(*in.marks, nameStart - 1, after) : Marks{});
    return after;
  }
  static const std::string kNoArgument;
  const std::string& value = argument ? argument->text : kNoArgument;
  macro->run({*this, in, nameStart - 1, upper, value, argument ? FirstSource(argument->marks) : std::nullopt, out});
  return after;
}

// ---------------------------------------------------------------------------------------------
// Places of message text

std::uint32_t TemplateEngine::sourceAt(const Level& level, std::size_t offset, std::string what,
                                       std::string suggestion) {
  // Text taken inside a host text is placed at the call that handed it over: that call
  // remembers what it was told, so a loop's passes ask for no place.
  const Level* top = &level;
  while (top->parent != nullptr && !top->pieces.empty()) top = top->parent;
  CallFrame* anchor = top->call != nullptr && top->call->level != nullptr ? top->call : nullptr;
  if (anchor != nullptr)
    for (const auto& [known, index] : anchor->sources)
      if (known == what) return index;
  // Past the bound of places told apart, none is looked for.
  std::string where = session_.textSources.size() < kMaxSources ? whereOf(level, offset) : std::string();
  const std::uint32_t index = session_.sourceIndex({what, std::move(where), std::move(suggestion), anchor != nullptr});
  if (anchor != nullptr && anchor->sources.size() < 16) anchor->sources.emplace_back(std::move(what), index);
  return index;
}

std::string TemplateEngine::whereOf(const Level& start, std::size_t offset) {
  const Level* level = &start;
  while (level->parent != nullptr && !level->pieces.empty()) {
    auto piece = std::upper_bound(level->pieces.begin(), level->pieces.end(), offset,
                                  [](std::size_t at, const auto& p) { return at < p.first; });
    if (piece != level->pieces.begin()) --piece;
    offset = piece->second + (offset - piece->first);
    level = level->parent;
  }
  if (level->call == nullptr) return level->parent == nullptr ? templateWhere(offset) : std::string();
  CallFrame& frame = *level->call;
  if (frame.level != nullptr) {
    if (!frame.where) frame.where = whereOf(*frame.level, frame.percent);
    return *frame.where;
  }
  // Host text of a call of its own: the argument the place lies in.
  if (!level->argumentPlaces) {
    if (!frame.argumentPlacer) {
      std::vector<std::string_view> texts;
      for (const MarkedText& arg : *frame.args) texts.push_back(arg.text);
      frame.argumentPlacer.emplace(texts);
    }
    level->argumentPlaces = frame.argumentPlacer->place(level->text);
  }
  for (std::size_t i = 0; i < level->argumentPlaces->size(); ++i) {
    const std::size_t place = (*level->argumentPlaces)[i];
    const std::string_view arg = (*frame.args)[i].text;
    if (place == std::string_view::npos || offset < place || offset >= place + arg.size()) continue;
    if (level->argumentPositions.empty())
      for (const MarkedText& each : *frame.args) level->argumentPositions.emplace_back(each.text);
    const auto [line, column] = level->argumentPositions[i].at(offset - place, session_.columns);
    return "argument " + std::to_string(i + 1) + ":" + std::to_string(line) + ":" + std::to_string(column);
  }
  return frame.name;
}

void TemplateEngine::reportErrorAnswer(const Level& level, std::size_t percent, const std::string& name,
                                       std::string_view result) {
  // No macro answers these texts for an ordinary outcome (a cancelled dialog answers empty
  // or its cancel letter), so each one is a failure the author wants to hear of.
  constexpr std::string_view kErrorTexts[] = {kvl::ErrParamCount, kvl::ErrParamValue, kvl::ErrNoSuccess,
                                              kvl::ErrGeneric, kvl::ErrIdnMissing};
  if (std::find(std::begin(kErrorTexts), std::end(kErrorTexts), result) == std::end(kErrorTexts)) return;
  const std::string where = whereOf(level, percent);
  const std::string finding = "%" + name + " answered \"" + std::string(result) + "\"";
  if (!session_.errorAnswersReported.insert(where + " " + finding).second) return;  // a loop's every pass
  if (session_.strict) ++session_.errors;
  session_.giveFinding((where.empty() ? std::string() : where + ": ") + (session_.strict ? "error: " : "warning: ") +
                       finding + passesOf(level));
}

const TemplateEngine::Level& TemplateEngine::rootOf(const Level& start) {
  const Level* level = &start;
  while (level->parent != nullptr && !level->pieces.empty()) level = level->parent;
  return *level;
}

std::string TemplateEngine::passesOf(const Level& start) {
  std::vector<const CallFrame*> calls;  // innermost first
  for (const Level* level = &rootOf(start); level->call != nullptr;) {
    calls.push_back(level->call);
    if (level->call->level == nullptr) break;  // a call of its own (kvlhost call)
    level = &rootOf(*level->call->level);
  }
  std::string text;
  for (auto call = calls.rbegin(); call != calls.rend(); ++call)
    text.append(text.empty() ? " (in pass " : ", pass ").append(std::to_string((*call)->passes)).append(" of %").append((*call)->name);
  return text.empty() ? text : text + ")";
}

// "NAME:LINE:COLUMN" of an offset in the template.
std::string TemplateEngine::templateWhere(std::size_t offset) {
  const auto [line, column] = templatePosition_.at(offset, session_.columns);
  return session_.templateName + ":" + std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace kvlhost
