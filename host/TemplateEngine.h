#pragma once
// kvlhost's template language: literal text, %% for one percent sign, host
// variables (%_name="value", %_name), host macros (%SUBJECT, %NAME="value",
// %NAME=%OTHER) and plug-in calls (%KVL_Xxx(arg, "arg, with commas", ...)).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/AddressBook.h"
#include "host/HostRegex.h"
#include "host/MacroRunner.h"
#include "host/TextLog.h"

namespace kvlhost {

// What one host session knows and collects; lives as long as the plug-in is loaded.
struct HostSession {
  std::map<std::int32_t, std::string> items;        // message data items (ANSI)
  std::map<std::string, std::string> messageFields; // TONAME, TOADDR, DATE
  std::map<std::string, std::string> variables;     // host variables by lower-cased name
  std::optional<AddressBook> addressBook;
  HostRegex regex;
  TextLog attachments;                              // %ATTACHFILE paths, in order
  TextLog processed;                                // texts the plug-in handed to the host
  std::function<void(const std::string&)> warn;     // one-line warnings (ANSI)
  int warningsGiven = 0;

  // Variable names ignore case.
  void setVariable(std::string_view name, std::string value);
  const std::string* variable(std::string_view name) const;
  // Passes a warning to `warn`, cut to one line of bounded length, up to a bounded count.
  void giveWarning(const std::string& message);
};

class TemplateEngine {
 public:
  TemplateEngine(HostSession& session, const MacroRunner* plugin) : session_(session), plugin_(plugin) {}

  std::string expand(std::string_view text);
  // One plug-in macro call with arguments taken verbatim.
  MacroOutcome callMacro(const std::string& name, const std::vector<std::string>& args);

 private:
  std::size_t expandPercent(std::string_view text, std::size_t at, std::string& out);
  std::size_t expandVariable(std::string_view text, std::size_t at, std::string& out);
  std::size_t expandPluginCall(std::string_view text, std::size_t nameStart, std::size_t nameEnd, std::string& out);
  std::size_t expandHostMacro(std::string_view text, std::size_t nameStart, std::size_t nameEnd, std::string& out);
  std::string hostMacro(const std::string& upperName, const std::optional<std::string>& argument);
  void warn(const std::string& message) const;

  HostSession& session_;
  const MacroRunner* plugin_;
  int depth_ = 0;
};

// The lexical rules of the template language, shared by the engine and the checker.
// Past the letters, digits and '_' that start at `at`.
std::size_t TemplateNameEnd(std::string_view text, std::size_t at);
// A letter: what a macro name after '%' starts with.
bool StartsTemplateName(char c);
// "KVL_" and at least one more character, case ignored: a plug-in call.
bool IsPluginMacroName(std::string_view name);
// The host macros the engine knows, upper case.
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
