#include "host/TemplateCheck.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/TextUtil.h"
#include "host/TemplateEngine.h"

namespace kvlhost {

namespace {

constexpr int kMaxDepth = 64;  // as deep as the engine expands
// Each call left open is read to the end of the text; past this many the check
// stops, so a file of open calls costs linear time, not quadratic.
constexpr int kMaxOpenCalls = 20;
using Severity = Diagnostic::Severity;

// Text that the engine expands as a whole, with the file offset of each character:
// a quoted argument loses its quotes and a loop body its doubled '%', so their
// characters stand elsewhere in the file than in the text.
struct Source {
  std::string text;
  std::vector<std::size_t> origin;
};

struct View {
  std::string_view text;
  const std::size_t* origin;  // origin[i] is the file offset of text[i]
};

struct Finding {
  std::size_t offset;
  Severity severity;
  std::string message;
};

// Plug-in macros that hand an argument back to the host once per pass.
struct LoopMacro {
  std::string_view name;
  std::size_t variableArg;  // from 1
  std::size_t bodyArg;
};
constexpr LoopMacro kLoopMacros[] = {{"KVL_For", 1, 4}, {"KVL_Until", 1, 3}};

// A '%' that the engine replaces: one before a name or before '_' and a name ("%%" is
// checked by the caller; a '%' before anything else stays as it is).
bool IsActivePercent(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size()) return false;
  if (StartsTemplateName(text[at + 1])) return true;
  return text[at + 1] == '_' && TemplateNameEnd(text, at + 2) > at + 2;
}

// Edits (insert, delete, replace, swap two neighbours) from a to b, case ignored:
// "KVL_StrLne" is one swap from "KVL_StrLen".
std::size_t EditDistanceIgnoringCase(std::string_view a, std::string_view b) {
  auto same = [&](std::size_t i, std::size_t j) { return kvl::AsciiUpper(a[i]) == kvl::AsciiUpper(b[j]); };
  std::vector<std::size_t> beforePrevious(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1))
        current[j] = std::min(current[j], beforePrevious[j - 2] + 1);
    }
    std::swap(beforePrevious, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::string AcceptedCounts(const MacroCounts& row) {
  const std::string least = std::to_string(row.minArgs);
  const char* plural = row.maxArgs == 1 ? " argument" : " arguments";
  if (row.maxArgs == kAnyCount) return "at least " + least + (row.minArgs == 1 ? " argument" : " arguments");
  if (row.minArgs == row.maxArgs) return "exactly " + least + plural;
  return least + " to " + std::to_string(row.maxArgs) + plural;
}

class Checker {
 public:
  explicit Checker(const CheckTables& tables) : tables_(tables) {}

  void scan(View view, int depth) {
    if (depth >= kMaxDepth) {
      if (!depthReported_ && !view.text.empty())
        report(view.origin[0], Severity::Warning,
               "nested deeper than " + std::to_string(kMaxDepth) + " levels; the inner text is not checked");
      depthReported_ = true;
      return;
    }
    std::size_t at = 0;
    while (!stopped_ && (at = view.text.find('%', at)) != std::string_view::npos) at = scanPercent(view, at, depth);
  }

  std::vector<Finding> finish() {
    for (const auto& [lowered, read] : firstReads_)
      if (!setVariables_.contains(lowered))
        report(read.first, Severity::Warning, "host variable %_" + read.second + " is read but never set in this template");
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    return std::move(findings_);
  }

 private:
  void report(std::size_t offset, Severity severity, std::string message) {
    findings_.push_back({offset, severity, std::move(message)});
  }

  std::size_t scanPercent(View view, std::size_t at, int depth) {
    const std::string_view text = view.text;
    if (at + 1 < text.size() && text[at + 1] == '%') return at + 2;
    if (at + 1 < text.size() && text[at + 1] == '_') return scanVariable(view, at);
    if (at + 1 >= text.size() || !StartsTemplateName(text[at + 1])) return at + 1;
    const std::size_t nameEnd = TemplateNameEnd(text, at + 1);
    if (IsPluginMacroName(text.substr(at + 1, nameEnd - at - 1))) return scanPluginCall(view, at, nameEnd, depth);
    return scanHostMacro(view, at, nameEnd);
  }

  // A literal value after '="' runs to the next quote; without one, to the end of the text.
  std::size_t skipLiteral(View view, std::size_t percent, std::size_t nameEnd) {
    const std::size_t close = view.text.find('"', nameEnd + 2);
    if (close != std::string_view::npos) return close + 1;
    report(view.origin[nameEnd + 1], Severity::Error,
           std::string(view.text.substr(percent, nameEnd + 2 - percent)) +
               " has no closing quote; the value runs to the end of the text");
    return view.text.size();
  }

  std::size_t scanVariable(View view, std::size_t percent) {
    const std::size_t nameEnd = TemplateNameEnd(view.text, percent + 2);
    if (nameEnd == percent + 2) return nameEnd;  // "%_" alone is text
    const std::string_view name = view.text.substr(percent + 2, nameEnd - percent - 2);
    if (view.text.compare(nameEnd, 2, "=\"") == 0) {
      setVariables_.insert(kvl::AsciiLowered(name));
      return skipLiteral(view, percent, nameEnd);
    }
    firstReads_.try_emplace(kvl::AsciiLowered(name), view.origin[percent], std::string(name));
    return nameEnd;
  }

  std::size_t scanHostMacro(View view, std::size_t percent, std::size_t nameEnd) {
    const std::string_view name = view.text.substr(percent + 1, nameEnd - percent - 1);
    const auto known = tables_.hostMacros;
    if (std::find(known.begin(), known.end(), kvl::AsciiUppered(name)) == known.end()) {
      std::string message = "unknown host macro %" + std::string(name);
      if (const std::string_view close = ClosestName(name, known); !close.empty())
        message.append("; did you mean %").append(close).append("?");
      else
        message.append("; write %% for a literal %");
      report(view.origin[percent], Severity::Error, std::move(message));
    }
    if (view.text.compare(nameEnd, 2, "=\"") == 0) return skipLiteral(view, percent, nameEnd);
    if (view.text.compare(nameEnd, 2, "=%") == 0) return nameEnd + 1;  // the argument is the next macro
    return nameEnd;
  }

  const MacroCounts* findPluginMacro(std::string_view name) const {
    for (const MacroCounts& row : tables_.pluginMacros)
      if (kvl::EqualsIgnoringAsciiCase(row.name, name)) return &row;
    return nullptr;
  }

  std::size_t scanPluginCall(View view, std::size_t percent, std::size_t nameEnd, int depth) {
    const std::string_view text = view.text;
    const std::string call(text.substr(percent, nameEnd - percent));
    const MacroCounts* row = findPluginMacro(call.substr(1));
    if (row == nullptr) reportUnknownPluginMacro(view.origin[percent], call);

    std::vector<ArgumentSpan> args;
    std::size_t after = nameEnd;
    if (nameEnd < text.size() && text[nameEnd] == '(') {
      ArgumentScan scan = ScanCallArguments(text, nameEnd + 1);
      if (scan.stop != ArgumentScan::Stop::Closed) {
        if (openCalls_ == kMaxOpenCalls) {
          std::string message = "more than ";  // appended: GCC 12 sees a false overlap in "..." + to_string
          report(view.origin[percent], Severity::Warning,
                 message.append(std::to_string(kMaxOpenCalls)).append(" calls left open; the rest is not checked"));
          stopped_ = true;
          return text.size();
        }
        ++openCalls_;
        reportOpenCall(view, percent, call, scan);
        return nameEnd + 1;  // the engine copies "%KVL_Xxx(" and goes on after it
      }
      args = std::move(scan.args);
      after = scan.at;
    }
    const int count = static_cast<int>(args.size());
    // "%KVL_StrLen (abc)": the blank ends the call, and the parenthesis is plain text.
    const std::size_t afterBlanks = text.find_first_not_of(" \t", nameEnd);
    const bool blankBeforeParenthesis =
        afterBlanks != nameEnd && afterBlanks != std::string_view::npos && text[afterBlanks] == '(';
    const std::string blankHint =
        "a blank stands between " + call + " and \"(\", so the parenthesis is copied as text, not read as arguments";
    if (row != nullptr && (count < row->minArgs || count > row->maxArgs))
      report(view.origin[percent], Severity::Error,
             call + " takes " + AcceptedCounts(*row) + ", not " + std::to_string(count) +
                 (blankBeforeParenthesis ? "; " + blankHint : ""));
    else if (blankBeforeParenthesis)
      report(view.origin[nameEnd], Severity::Warning, blankHint);

    const LoopMacro* loop = nullptr;
    if (row != nullptr && count >= row->minArgs && count <= row->maxArgs)
      for (const LoopMacro& candidate : kLoopMacros)
        if (candidate.name == row->name) loop = &candidate;
    for (std::size_t i = 0; i < args.size(); ++i) {
      withArgumentText(view, args[i], [&](View argument) {
        scan(argument, depth + 1);
        if (loop != nullptr && i + 1 == loop->variableArg && argument.text.find('%') == std::string_view::npos)
          setVariables_.insert(kvl::AsciiLowered(argument.text));
        if (loop != nullptr && i + 1 == loop->bodyArg) checkLoopBody(argument, call, loop->bodyArg, depth);
      });
    }
    return after;
  }

  void reportUnknownPluginMacro(std::size_t offset, const std::string& call) {
    std::vector<std::string_view> names;
    names.reserve(tables_.pluginMacros.size());
    for (const MacroCounts& row : tables_.pluginMacros) names.push_back(row.name);
    std::string message = "unknown macro " + call;
    if (const std::string_view close = ClosestName(std::string_view(call).substr(1), names); !close.empty()) {
      // A close name may mean something else: its summary lets the author judge.
      const MacroCounts* candidate = findPluginMacro(close);
      message.append("; did you mean ").append(close);
      if (candidate != nullptr && !candidate->summary.empty()) message.append(" (").append(candidate->summary).append(")");
      message.append("?");
    }
    report(offset, Severity::Error, std::move(message));
  }

  void reportOpenCall(View view, std::size_t percent, const std::string& call, const ArgumentScan& scan) {
    if (scan.stop == ArgumentScan::Stop::OpenQuote)
      report(view.origin[scan.at], Severity::Error,
             "unterminated quote in the arguments of " + call + "; the call has no closing parenthesis");
    else if (scan.at != std::string_view::npos)
      report(view.origin[scan.at], Severity::Error,
             "unbalanced '(' in the arguments of " + call + "; the call has no closing parenthesis");
    else
      report(view.origin[percent], Severity::Error, call + "( has no closing parenthesis");
  }

  // The text the engine expands for one argument: a quoted one without its quotes
  // ("" as one quote) and what follows them, an unquoted one trimmed.
  template <typename Use>
  void withArgumentText(View view, const ArgumentSpan& span, Use use) {
    const std::string_view text = view.text;
    if (span.quoteEnd == std::string_view::npos) {
      const std::string_view trimmed = kvl::Trimmed(text.substr(span.begin, span.end - span.begin));
      const std::size_t begin = trimmed.empty() ? span.begin : static_cast<std::size_t>(trimmed.data() - text.data());
      use(View{trimmed, view.origin + begin});
      return;
    }
    Source source;
    for (std::size_t k = span.begin + 1; k + 1 < span.quoteEnd; ++k) {
      source.text += text[k];
      source.origin.push_back(view.origin[k]);
      if (text[k] == '"') ++k;
    }
    const std::string_view rest = kvl::Trimmed(text.substr(span.quoteEnd, span.end - span.quoteEnd));
    if (!rest.empty()) {
      const std::size_t restBegin = static_cast<std::size_t>(rest.data() - text.data());
      for (std::size_t k = 0; k < rest.size(); ++k) {
        source.text += rest[k];
        source.origin.push_back(view.origin[restBegin + k]);
      }
    }
    use(View{source.text, source.origin.data()});
  }

  // A loop body runs once per pass; the engine expands it once before the call, so
  // its own '%' signs are written "%%". The body as the loop sees it is checked too.
  void checkLoopBody(View body, const std::string& call, std::size_t bodyArg, int depth) {
    Source unescaped;
    for (std::size_t i = 0; i < body.text.size(); ++i) {
      if (body.text[i] == '%' && i + 1 < body.text.size() && body.text[i + 1] == '%') {
        unescaped.text += '%';
        unescaped.origin.push_back(body.origin[i++]);
        continue;
      }
      if (body.text[i] == '%' && IsActivePercent(body.text, i)) {
        report(body.origin[i], Severity::Warning,
               "'%' in the loop body of " + call + " (argument " + std::to_string(bodyArg) +
                   ") is expanded once before the loop runs; write it as '%%'");
        return;
      }
      unescaped.text += body.text[i];
      unescaped.origin.push_back(body.origin[i]);
    }
    scan(View{unescaped.text, unescaped.origin.data()}, depth + 1);
  }

  const CheckTables& tables_;
  std::vector<Finding> findings_;
  std::set<std::string> setVariables_;
  std::map<std::string, std::pair<std::size_t, std::string>> firstReads_;  // lower-cased name -> offset, name
  bool depthReported_ = false;
  int openCalls_ = 0;
  bool stopped_ = false;
};

}  // namespace

std::string_view ClosestName(std::string_view name, std::span<const std::string_view> names) {
  const std::string_view stem = IsPluginMacroName(name) ? name.substr(4) : name;
  const std::size_t limit = std::max<std::size_t>(2, stem.size() / 3);
  std::string_view best;
  std::size_t bestDistance = limit + 1;
  for (const std::string_view candidate : names) {
    // Names whose lengths differ by more than the limit are never close (and a huge
    // unknown name costs nothing).
    const std::size_t gap = candidate.size() > name.size() ? candidate.size() - name.size() : name.size() - candidate.size();
    if (gap > limit) continue;
    const std::size_t distance = EditDistanceIgnoringCase(name, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<Diagnostic> CheckTemplate(std::string_view text, const CheckTables& tables, bool utf8) {
  std::vector<std::size_t> identity(text.size());
  for (std::size_t i = 0; i < identity.size(); ++i) identity[i] = i;
  Checker checker(tables);
  checker.scan(View{text, identity.data()}, 0);

  // Findings come sorted by offset: one walk through the text gives every position.
  std::vector<Diagnostic> diagnostics;
  std::size_t at = 0, line = 1, column = 1;
  for (Finding& finding : checker.finish()) {
    for (; at < finding.offset; ++at) {
      const char c = text[at];
      const bool lineEnd = c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'));
      if (lineEnd) {
        ++line;
        column = 1;
      } else if (c != '\r' && (!utf8 || (static_cast<unsigned char>(c) & 0xC0) != 0x80)) {
        ++column;
      }
    }
    diagnostics.push_back({finding.severity, line, column, std::move(finding.message)});
  }
  return diagnostics;
}

std::string FormatDiagnostic(std::string_view file, const Diagnostic& diagnostic) {
  std::string line(file);
  line.append(":").append(std::to_string(diagnostic.line)).append(":").append(std::to_string(diagnostic.column));
  line.append(diagnostic.severity == Severity::Error ? ": error: " : ": warning: ").append(diagnostic.message);
  return line;
}

}  // namespace kvlhost
