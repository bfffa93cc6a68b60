#pragma once
// kvlhost's template language: literal text, %% for one percent sign, host
// variables (%_name="value", %_name), host macros (%SUBJECT, %NAME="value",
// %NAME=%OTHER) and plug-in calls (%KVL_Xxx(arg, "arg, with commas", ...)).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/AddressBook.h"
#include "host/CallTrace.h"
#include "host/HostRegex.h"
#include "host/MacroRunner.h"
#include "host/TextLog.h"
#include "host/TextMarks.h"

namespace kvlhost {

// Message text, for findings: what it is, where the template takes it, how to write it instead.
struct TextSource {
  std::string what;        // "%SUBJECT", "item 243 (read by KVL_X)"
  std::string where;       // "my.tpl:3:9", "argument 4:1:1", "KVL_For"
  std::string suggestion;  // "%%SUBJECT"
  bool atCall = false;     // taken inside a text a call handed back: `where` is that call's
};

// What one host session knows and collects; lives as long as the plug-in is loaded.
struct HostSession {
  std::map<std::int32_t, std::string> items;        // message data items (ANSI)
  std::map<std::string, std::string> messageFields; // TONAME, TOADDR, DATE
  std::map<std::string, std::string> variables;     // host variables by lower-cased name
  std::map<std::string, Marks> variableMarks;       // the message text in them, where there is any
  std::optional<AddressBook> addressBook;
  HostRegex regex;
  std::optional<std::uint32_t> regexSubjectSource;  // the kept match was found in message text
  TextLog attachments;                              // %ATTACHFILE paths, in order
  TextLog processed;                                // texts the plug-in handed to the host
  std::function<void(const std::string&)> warn;     // one-line warnings (ANSI)
  int warningsGiven = 0;

  // Message text the plug-in hands back to be expanded as a template is a finding
  // ("my.tpl:3:9: warning: text from %SUBJECT is expanded as a template inside KVL_For;
  // write %%SUBJECT"), once per source and macro; `strict` makes it an error and copies
  // that text as plain text instead of expanding it.
  bool strict = false;
  std::string templateName = "<template>";                // names the template in findings
  std::function<std::size_t(std::string_view)> columns;   // characters in a line's start (bytes when unset)
  std::function<void(const std::string&)> report;         // finding lines (ANSI); `warn` when unset
  int errors = 0;                                         // findings made errors by `strict`
  std::vector<TextSource> textSources;                    // what marks point at
  std::map<std::string, std::uint32_t> textSourceIndex;
  std::set<std::pair<std::uint32_t, std::string>> reported;  // (source, macro) findings given
  std::set<std::string> errorAnswersReported;  // "WHERE %NAME answered TEXT", once each
  std::function<void(const std::string&)> trace;  // lines of the call trace (ANSI); none when unset

  // Variable names ignore case; `marks` say where the value holds message text.
  void setVariable(std::string_view name, std::string value, Marks marks = {});
  const std::string* variable(std::string_view name) const;
  const Marks* variableMarksOf(std::string_view name) const;
  // Passes a warning to `warn`, cut to one line of bounded length, up to a bounded count.
  void giveWarning(const std::string& message);
  // Passes a finding line to `report` within the same bounds.
  void giveFinding(const std::string& line);
  void giveBounded(const std::function<void(const std::string&)>& sink, const std::string& message);
  // The index of a source, registered on first sight (a bounded number of places).
  std::uint32_t sourceIndex(TextSource source);
};

class TemplateEngine {
 public:
  TemplateEngine(HostSession& session, const MacroRunner* plugin) : session_(session), plugin_(plugin) {
    if (session_.trace) trace_.emplace(session_.trace);
  }

  std::string expand(std::string_view text);
  // One plug-in macro call with arguments taken verbatim.
  MacroOutcome callMacro(const std::string& name, const std::vector<std::string>& args);

 private:
  struct Level;
  struct CallFrame;
  struct Input;
  struct HostCall;  // what a host macro sees of its call
  struct HostMacro {
    std::string_view name;  // upper case
    void (*run)(const HostCall& call);
  };
  // The host macros in the order HostMacroNames() lists them.
  static std::span<const HostMacro> hostMacros();
  friend std::span<const std::string_view> HostMacroNames();

  MarkedText expandInput(const Input& in);
  std::size_t expandPercent(const Input& in, std::size_t at, MarkedBuilder& out);
  std::size_t expandVariable(const Input& in, std::size_t at, MarkedBuilder& out);
  std::size_t expandPluginCall(const Input& in, std::size_t nameStart, std::size_t nameEnd, MarkedBuilder& out);
  std::size_t expandHostMacro(const Input& in, std::size_t nameStart, std::size_t nameEnd, MarkedBuilder& out);
  MacroOutcome runCall(CallFrame& frame, const std::vector<MarkedText>& args);
  MarkedText processHostText(CallFrame& frame, std::string_view hostText);
  void reportFindings(const Input& in);
  std::string whereOf(const Level& level, std::size_t offset);
  // " (in pass 2 of %KVL_For)" for text inside the texts loops handed back, outermost first.
  static std::string passesOf(const Level& level);
  // The text that `level`'s text is part of: the template, or a text a call handed back.
  static const Level& rootOf(const Level& level);
  // A plug-in call that answered one of the plug-in's fixed error texts: a finding at the
  // call (a loop body's calls at their loop), an error under `strict`.
  void reportErrorAnswer(const Level& level, std::size_t percent, const std::string& name, std::string_view result);
  std::string templateWhere(std::size_t offset);
  std::uint32_t sourceAt(const Level& level, std::size_t offset, std::string what, std::string suggestion);
  void warn(const std::string& message) const;

  HostSession& session_;
  const MacroRunner* plugin_;
  int depth_ = 0;
  TextPosition templatePosition_;  // places in the template being expanded
  std::optional<std::pair<std::uint32_t, std::string>> lastReported_;  // a loop finds the same again each pass
  std::optional<CallTrace> trace_;
  CallFrame* running_ = nullptr;  // the call whose host text is being expanded
};

// The lexical rules of the template language, shared by the engine and the checker.
// Past the letters, digits and '_' that start at `at`.
std::size_t TemplateNameEnd(std::string_view text, std::size_t at);
// A letter: what a macro name after '%' starts with.
bool StartsTemplateName(char c);
// "KVL_" and at least one more character, case ignored: a plug-in call.
bool IsPluginMacroName(std::string_view name);
// The host macros the engine knows, upper case: the names of its table.
std::span<const std::string_view> HostMacroNames();

// Where the arguments of a plug-in call stand, for the call whose "(" ends before `at`.
struct ArgumentSpan {
  std::size_t begin = 0;                          // the first character after leading blanks
  std::size_t quoteEnd = std::string_view::npos;  // after a leading quoted section's closing quote
  std::size_t end = 0;                            // the ',' or ')' that ends it
};
struct ArgumentScan {
  enum class Stop { Closed, OpenQuote, NotClosed };
  std::vector<ArgumentSpan> args;
  Stop stop = Stop::NotClosed;
  // Closed: after the ')'; OpenQuote: the quote that is never closed; NotClosed: the
  // first '(' inside an argument that is never closed, npos when they all close.
  std::size_t at = std::string_view::npos;
};
ArgumentScan ScanCallArguments(std::string_view text, std::size_t at);

// Splits the argument list of a plug-in call that starts after its "(": answers the
// raw arguments (quoted ones unquoted, "" as one quote; unquoted ones trimmed) and the
// position after the closing ")", or nullopt when the list is not closed.
struct RawArgument {
  std::string text;
  bool quoted = false;
};
std::optional<std::pair<std::vector<RawArgument>, std::size_t>> SplitCallArguments(std::string_view text,
                                                                                   std::size_t at);

}  // namespace kvlhost
