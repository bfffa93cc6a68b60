// kvlhost: a stand-in for the mail client. Loads KVL.zrp as the client does and
// expands templates against a real message, calls single macros, or serves a
// JSON Lines batch session.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "core/Win32Owners.h"
#include "host/Charset.h"
#include "host/FileInput.h"
#include "host/JsonText.h"
#include "host/MessageReader.h"
#include "host/PluginModule.h"
#include "host/TemplateCheck.h"
#include "host/TemplateEngine.h"
#include "host/TextMarks.h"
#include "KvlVersion.h"

namespace {

using kvlhost::AnsiToUtf8;
using kvlhost::Utf8ToAnsi;

// docs/host.md quotes this text; the host_cli test compares the two.
constexpr const char* kUsage =
    "usage: kvlhost expand TEMPLATE [options]       expand a template file (\"-\": standard input)\n"
    "       kvlhost call MACRO [ARG]... [options]   one macro call, arguments verbatim\n"
    "       kvlhost batch [--plugin PATH]           JSON Lines on stdin -> JSON Lines on stdout\n"
    "       kvlhost list [--plugin PATH]            the plug-in's macro list, one name a line\n"
    "       kvlhost info [--plugin PATH]            name, version and the HTML About text\n"
    "       kvlhost check TEMPLATE...               read templates without running them, report mistakes\n"
    "       kvlhost help | --help | -h              this text\n"
    "       kvlhost COMMAND --help                  that command's usage and options\n"
    "       kvlhost --version                       kvlhost's version\n"
    "options:\n"
    "  --message MSG.eml      the message being answered\n"
    "  --item ID=TEXT         sets data item ID (overrides the message)\n"
    "  --var NAME=TEXT        sets host variable NAME before expanding\n"
    "  --addressbook FILE.csv address book for %ABToGender, %ABToCountry, %ABToBusCountry\n"
    "  --plugin PATH          the plug-in to load (default: KVL.zrp beside kvlhost.exe)\n"
    "  --encoding utf8|ansi   text in and out as UTF-8 (default) or ANSI bytes unchanged\n"
    "  --raw                  call: the result alone, without the line end after it\n"
    "  --strict               expand, call: findings (message text run as a template, error answers) are errors\n"
    "  --trace                expand: the plug-in calls as they run, with arguments, results and time, on stderr\n"
    "  --                     ends the options of call: everything after it is an argument\n";

// The options each command takes, for `kvlhost COMMAND --help`.
constexpr std::pair<std::string_view, std::string_view> kCommandOptions[] = {
    {"expand", "--message --item --var --addressbook --plugin --encoding --strict --trace"},
    {"call", "--message --item --var --addressbook --plugin --encoding --raw --strict --"},
    {"batch", "--plugin"},
    {"list", "--plugin"},
    {"info", "--plugin"},
    {"check", "--encoding"},
};

// One command's usage line and its options, cut from the whole usage text.
std::optional<std::string> CommandUsage(std::string_view command) {
  const auto entry = std::find_if(std::begin(kCommandOptions), std::end(kCommandOptions),
                                  [&](const auto& pair) { return pair.first == command; });
  if (entry == std::end(kCommandOptions)) return std::nullopt;
  std::string usage, options;
  std::string_view text = kUsage;
  const std::string start = "kvlhost " + std::string(command) + " ";
  while (!text.empty()) {
    const std::size_t end = text.find('\n') + 1;
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end);
    const std::string_view trimmed = line.substr(line.find_first_not_of(' '));
    const std::string_view rest = trimmed.starts_with("usage: ") ? trimmed.substr(7) : trimmed;
    if (rest.starts_with(start)) usage = "usage: " + std::string(rest);
    const std::string_view option = trimmed.substr(0, trimmed.find(' '));
    if (trimmed.starts_with("-") && (" " + std::string(entry->second) + " ").find(" " + std::string(option) + " ") !=
                                        std::string::npos)
      options += line;
  }
  return usage + (options.empty() ? "" : "options:\n" + options);
}

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string command;
  std::vector<std::wstring> positional;  // TEMPLATE, or MACRO and its arguments
  std::optional<std::wstring> message;
  std::optional<std::wstring> addressBook;
  std::optional<std::wstring> plugin;
  std::vector<std::pair<std::int32_t, std::wstring>> items;
  std::vector<std::pair<std::string, std::wstring>> vars;
  bool ansi = false;
  bool raw = false;     // call: no line end after the result
  bool strict = false;  // message text expanded as a template is an error
  bool help = false;    // COMMAND --help
  bool trace = false;   // expand: the call trace on stderr
};

void WriteOut(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

// An ANSI text written as the options ask, converted a piece at a time.
void WriteText(std::string_view ansi, const Options& options) {
  if (options.ansi) return WriteOut(ansi);
  kvlhost::AnsiToUtf8InPieces(ansi, WriteOut);
}

void WriteErr(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Runs `read`, turning a file that cannot be read into a one-line failure that names it.
template <typename Read>
auto ReadNamedFile(const std::wstring& path, const char* what, Read&& read) {
  try {
    return read(path);
  } catch (const kvlhost::FileReadError& error) {
    const std::string why = error.what();
    throw Failure("cannot read " + std::string(what) + " " + kvlhost::WideToUtf8(path) + (why.empty() ? "" : ": " + why));
  } catch (const std::bad_alloc&) {
    throw Failure("not enough memory to read " + std::string(what) + " " + kvlhost::WideToUtf8(path));
  }
}

std::string ReadFileBytes(const std::wstring& path, const char* what) {
  return ReadNamedFile(path, what, kvlhost::ReadRegularFile);
}

std::string StripBom(std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  return text;
}

std::wstring_view SplitAt(std::wstring_view pair, std::wstring_view& value) {
  const std::size_t equals = pair.find(L'=');
  if (equals == std::wstring_view::npos) throw UsageError("expected NAME=TEXT, got " + kvlhost::WideToUtf8(pair));
  value = pair.substr(equals + 1);
  return pair.substr(0, equals);
}

Options ParseOptions(const std::vector<std::wstring>& args) {
  if (args.empty()) throw UsageError("no command given");
  Options options;
  options.command = kvlhost::WideToUtf8(args[0]);
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, L"--") != 0) {
      options.positional.push_back(arg);
      continue;
    }
    if (arg == L"--") {
      optionsEnded = true;
      continue;
    }
    if (arg == L"--raw") {
      options.raw = true;
      continue;
    }
    if (arg == L"--strict") {
      options.strict = true;
      continue;
    }
    if (arg == L"--help") {
      options.help = true;
      continue;
    }
    if (arg == L"--trace") {
      options.trace = true;
      continue;
    }
    if (i + 1 >= args.size()) throw UsageError(kvlhost::WideToUtf8(arg) + " needs a value");
    const std::wstring& value = args[++i];
    std::wstring_view text;
    if (arg == L"--message") options.message = value;
    else if (arg == L"--addressbook") options.addressBook = value;
    else if (arg == L"--plugin") options.plugin = value;
    else if (arg == L"--encoding") {
      if (value != L"ansi" && value != L"utf8") throw UsageError("--encoding is utf8 or ansi");
      options.ansi = value == L"ansi";
    } else if (arg == L"--item") {
      const std::wstring_view id = SplitAt(value, text);
      const auto number = kvl::ReadInteger(kvlhost::WideToUtf8(id));
      if (!number || *number <= 0) throw UsageError("--item needs a positive item number, got " + kvlhost::WideToUtf8(id));
      options.items.emplace_back(*number, std::wstring(text));
    } else if (arg == L"--var") {
      const std::wstring_view name = SplitAt(value, text);
      options.vars.emplace_back(kvlhost::WideToUtf8(name), std::wstring(text));
    } else {
      throw UsageError("unknown option " + kvlhost::WideToUtf8(arg));
    }
  }
  return options;
}

std::string PluginPath(const Options& options) {
  return options.plugin ? kvlhost::WideToAnsi(*options.plugin) : kvlhost::DefaultPluginPath();
}

// Reads the message file into the session; warnings about its charsets are the session's.
void FillFromMessage(kvlhost::HostSession& session, const std::wstring& path) {
  const kvlhost::CharsetWarningScope charsetWarnings([&session](const std::string& text) { session.giveWarning(text); });
  bool binary = false;
  kvlhost::Message message = ReadNamedFile(path, "message", [&binary](const std::wstring& file) {
    const kvlhost::FileBytes bytes = kvlhost::ReadMessageFile(file);
    binary = bytes.view().substr(0, 1024).find('\0') != std::string_view::npos;
    return kvlhost::ParseMessage(bytes.view());
  });
  // A file that is no message still gives a body to try the template on, with a word why
  // the header items are empty.
  if (binary || message.headers.empty())
    session.giveWarning(kvlhost::WideToAnsi(path) +
                        (binary ? " has NUL bytes in its first 1 KB, which no mail holds; it is read as a message all the same"
                                : " has no header fields; it is read as a message body"));
  for (const std::string& warning : message.warnings) session.giveWarning(warning);
  session.messageFields["TONAME"] = std::move(message.toName);
  session.messageFields["TOADDR"] = std::move(message.toAddress);
  session.messageFields["DATE"] = std::move(message.date);
  session.items = kvlhost::MessageItems(std::move(message));
}

// Characters of an ANSI line start as the UTF-8 file has them (as kvlhost check counts).
std::size_t Utf8Columns(std::string_view ansi) {
  std::size_t count = 0;
  for (const char c : AnsiToUtf8(ansi)) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// The code page's unused bytes read as C1 control characters (U+0080 to U+009F), which
// a terminal may take as commands that move its cursor or swallow text: \u0081.
std::string WithC1Escaped(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (utf8[i] != '\xC2' || next < 0x80 || next > 0x9F) {
      out += utf8[i];
      continue;
    }
    out.append("\\u00").append(1, "0123456789ABCDEF"[next >> 4]).append(1, "0123456789ABCDEF"[next & 15]);
    ++i;
  }
  return out;
}

// A host session whose warnings and findings go to stderr.
kvlhost::HostSession NewSession() {
  kvlhost::HostSession session;
  // Warnings and findings quote message text (a charset's name, a subject): escaped like the trace.
  session.warn = [](const std::string& message) { WriteErr("kvlhost: warning: " + WithC1Escaped(AnsiToUtf8(message))); };
  session.report = [](const std::string& line) { WriteErr(WithC1Escaped(AnsiToUtf8(line))); };
  return session;
}

// A value from the command line that the ANSI code page cannot hold whole: one warning.
void WarnOfLostCharacters(const std::string& source, const std::wstring& value) {
  if (const auto lost = kvlhost::FirstLostCharacter(kvlhost::WideToUtf8(value)))
    WriteErr("kvlhost: warning: " + source + ": " + kvlhost::LostCharacterMessage(*lost));
}

// The first place of a UTF-8 template that the ANSI code page cannot hold, as a warning.
std::optional<kvlhost::Diagnostic> LostCharacterWarning(std::string_view utf8) {
  const auto lost = kvlhost::FirstLostCharacter(utf8);
  if (!lost) return std::nullopt;
  const auto [line, column] = kvlhost::TextPosition(utf8).at(lost->offset, [](std::string_view stretch) {
    return static_cast<std::size_t>(std::count_if(stretch.begin(), stretch.end(),
                                                  [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  });
  return kvlhost::Diagnostic{kvlhost::Diagnostic::Severity::Warning, line, column, kvlhost::LostCharacterMessage(*lost)};
}

kvlhost::HostSession MakeSession(const Options& options) {
  kvlhost::HostSession session = NewSession();
  session.strict = options.strict;
  if (!options.ansi) session.columns = Utf8Columns;
  if (options.message) FillFromMessage(session, *options.message);
  for (const auto& [id, text] : options.items) {
    WarnOfLostCharacters("--item " + std::to_string(id), text);
    session.items[id] = kvlhost::WideToAnsi(text);
  }
  for (const auto& [name, text] : options.vars) {
    WarnOfLostCharacters("--var " + name, text);
    session.setVariable(name, kvlhost::WideToAnsi(text));
  }
  if (options.addressBook) {
    try {
      session.addressBook = kvlhost::AddressBook::Parse(Utf8ToAnsi(StripBom(ReadFileBytes(*options.addressBook, "address book"))));
    } catch (const std::runtime_error& error) {
      throw Failure(error.what());
    }
  }
  return session;
}

void ReportAttachments(const kvlhost::HostSession& session) {
  for (const std::string& path : session.attachments) WriteErr("attached: " + AnsiToUtf8(path));
  if (session.attachments.leftOutTexts() > 0)
    WriteErr("attached: " + std::to_string(session.attachments.leftOutTexts()) + " more files left out");
}

std::string ReadStandardInput() {
  std::string text;
  char block[1 << 16];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, stdin)) > 0) text.append(block, got);
  if (std::ferror(stdin)) throw Failure("cannot read the template from standard input");
  return text;
}

int RunExpand(const Options& options) {
  if (options.positional.size() != 1) throw UsageError("expand takes one TEMPLATE file, or - for standard input");
  std::string text =
      options.positional[0] == L"-" ? ReadStandardInput() : ReadFileBytes(options.positional[0], "template");
  if (!options.ansi) {
    text = StripBom(text);
    if (const auto warning = LostCharacterWarning(text))
      WriteErr(kvlhost::FormatDiagnostic(
          options.positional[0] == L"-" ? "<stdin>" : kvlhost::WideToUtf8(options.positional[0]), *warning));
    text = Utf8ToAnsi(text);
  }
  kvlhost::HostSession session = MakeSession(options);
  session.templateName = options.positional[0] == L"-" ? "<stdin>" : kvlhost::WideToAnsi(options.positional[0]);
  if (options.trace) session.trace = [](const std::string& line) { WriteErr(WithC1Escaped(AnsiToUtf8(line))); };
  kvlhost::PluginModule plugin(PluginPath(options));
  kvlhost::TemplateEngine engine(session, &plugin);
  WriteText(engine.expand(text), options);
  ReportAttachments(session);
  return session.errors > 0 ? 1 : 0;
}

int RunCall(const Options& options) {
  if (options.positional.empty()) throw UsageError("call needs a MACRO name");
  const std::string name = kvlhost::WideToAnsi(options.positional[0]);
  std::vector<std::string> args;
  for (std::size_t i = 1; i < options.positional.size(); ++i) args.push_back(kvlhost::WideToAnsi(options.positional[i]));
  kvlhost::HostSession session = MakeSession(options);
  kvlhost::PluginModule plugin(PluginPath(options));
  kvlhost::TemplateEngine engine(session, &plugin);
  const kvlhost::MacroOutcome outcome = engine.callMacro(name, args);
  if (outcome.rc != 0) throw Failure("the plug-in does not know the macro " + AnsiToUtf8(name));
  WriteText(outcome.result, options);
  if (!options.raw) WriteOut("\n");
  ReportAttachments(session);
  return session.errors > 0 ? 1 : 0;
}

int RunList(const Options& options, bool withInfo) {
  if (!options.positional.empty()) throw UsageError(options.command + " takes no arguments");
  kvlhost::PluginModule plugin(PluginPath(options));
  if (withInfo) {
    WriteOut("name: " + AnsiToUtf8(plugin.name()) + "\nversion: " + AnsiToUtf8(plugin.version()) + "\n" +
             AnsiToUtf8(plugin.info()) + "\n");
  } else {
    WriteOut(AnsiToUtf8(plugin.macroList()));
  }
  return 0;
}

// Reads each template without running it, against the macro table kvlhost was built
// with: diagnostics on stdout (an unreadable file is one error line), a count on stderr.
int RunCheck(const Options& options) {
  if (options.positional.empty()) throw UsageError("check needs at least one TEMPLATE file");
  const kvlhost::CheckTables tables{kvlhost::PluginMacroCounts(), kvlhost::HostMacroNames()};
  std::size_t errors = 0, warnings = 0;
  for (const std::wstring& path : options.positional) {
    const std::string file = kvlhost::WideToUtf8(path);
    std::string text;
    try {
      text = ReadFileBytes(path, "template");
    } catch (const Failure&) {
      WriteOut(file + ": error: cannot read the file\n");
      ++errors;
      continue;
    }
    std::string lines;
    if (!options.ansi) text = StripBom(text);
    std::vector<kvlhost::Diagnostic> diagnostics = kvlhost::CheckTemplate(text, tables, !options.ansi);
    if (const auto warning = options.ansi ? std::nullopt : LostCharacterWarning(text)) {
      diagnostics.push_back(*warning);
      std::stable_sort(diagnostics.begin(), diagnostics.end(), [](const auto& a, const auto& b) {
        return std::tie(a.line, a.column) < std::tie(b.line, b.column);
      });
    }
    for (const kvlhost::Diagnostic& diagnostic : diagnostics) {
      ++(diagnostic.severity == kvlhost::Diagnostic::Severity::Error ? errors : warnings);
      lines.append(kvlhost::FormatDiagnostic(file, diagnostic)).append("\n");
    }
    WriteOut(lines);
  }
  auto counted = [](std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
  };
  WriteErr("kvlhost: checked " + counted(options.positional.size(), "template") + ": " + counted(errors, "error") +
           ", " + counted(warnings, "warning"));
  return errors > 0 ? 1 : 0;
}

// One batch request: a macro call or a template, with its own items, variables and message.
// One reply line, written by hand with the keys in the order nlohmann::json sorts them:
// the result may be 64 MiB, converted and escaped a piece at a time here.
class ReplyLine {
 public:
  void text(std::string_view name, std::string_view ansi) {
    key(name);
    AppendText(ansi);
  }
  template <typename Texts>
  void texts(std::string_view name, const Texts& list) {
    key(name);
    line_ += '[';
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) line_ += ',';
      AppendText(list[i]);
    }
    line_ += ']';
  }
  // Only when texts were left out: {"bytes":M,"texts":N}.
  void leftOut(std::string_view name, const kvlhost::TextLog& log) {
    if (log.leftOutTexts() == 0) return;
    key(name);
    line_.append("{\"bytes\":").append(std::to_string(log.leftOutBytes()));
    line_.append(",\"texts\":").append(std::to_string(log.leftOutTexts())).append("}");
  }
  void number(std::string_view name, std::int32_t value) {
    key(name);
    line_ += std::to_string(value);
  }
  void null(std::string_view name) {
    key(name);
    line_ += "null";
  }
  std::string finish() { return std::move(line_.append("}")); }

 private:
  void key(std::string_view name) {
    if (line_.size() > 1) line_ += ',';
    line_.append("\"").append(name).append("\":");
  }
  void AppendText(std::string_view ansi) {
    line_ += '"';
    kvlhost::AnsiToUtf8InPieces(ansi, [this](std::string_view utf8) { kvlhost::AppendJsonEscaped(line_, utf8); });
    line_ += '"';
  }
  std::string line_ = "{";
};

// One batch request: a macro call or a template, with its own items, variables and message.
std::string RunRequest(const nlohmann::json& request, const kvlhost::PluginModule& plugin) {
  if (!request.is_object()) throw std::invalid_argument("a request is a JSON object");
  const bool isMacro = request.contains("macro");
  if (isMacro == request.contains("template")) throw std::invalid_argument("a request has either 'macro' or 'template'");
  // The request's warnings and findings go into its reply.
  std::vector<std::string> warnings;
  kvlhost::HostSession session;
  session.warn = [&warnings](const std::string& message) { warnings.push_back(message); };
  session.report = session.warn;
  if (request.contains("strict")) session.strict = request.at("strict").get<bool>();
  if (request.contains("message"))
    FillFromMessage(session, kvlhost::Utf8ToWide(request.at("message").get<std::string>()));
  if (request.contains("items"))
    for (const auto& [id, text] : request.at("items").items()) {
      const auto number = kvl::ReadInteger(id);
      if (!number) throw std::invalid_argument("item numbers are decimal: " + id);
      session.items[*number] = Utf8ToAnsi(text.get<std::string>());
    }
  if (request.contains("vars"))
    for (const auto& [name, text] : request.at("vars").items())
      session.setVariable(name, Utf8ToAnsi(text.get<std::string>()));

  kvlhost::TemplateEngine engine(session, &plugin);
  kvlhost::MacroOutcome outcome{0, {}, true};
  if (isMacro) {
    std::vector<std::string> args;
    if (request.contains("args"))
      for (const auto& arg : request.at("args")) args.push_back(Utf8ToAnsi(arg.get<std::string>()));
    outcome = engine.callMacro(Utf8ToAnsi(request.at("macro").get<std::string>()), args);
  } else {
    outcome.result = engine.expand(Utf8ToAnsi(request.at("template").get<std::string>()));
  }
  ReplyLine reply;
  reply.texts("attachments", session.attachments);
  reply.leftOut("attachments_left_out", session.attachments);
  reply.texts("processed", session.processed);
  reply.leftOut("processed_left_out", session.processed);
  reply.number("rc", outcome.rc);
  if (outcome.rc == 0) reply.text("result", outcome.result);
  else reply.null("result");
  if (!warnings.empty()) reply.texts("warnings", warnings);
  return reply.finish();
}

// Lines of standard input read as they arrive, a block at a time: the runtime's
// character-wise getline spends seconds on a request that carries a whole message.
class InputLines {
 public:
  bool next(std::string& line) {
    line.clear();
    for (;;) {
      if (at_ == buffer_.size()) {
        buffer_.resize(kBlock);
        // _read answers what the pipe has (fread would wait for a whole block, and
        // a client waits for each reply before it sends the next request).
        const int got = _read(_fileno(stdin), buffer_.data(), static_cast<unsigned>(buffer_.size()));
        buffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        at_ = 0;
        if (got <= 0) return !line.empty();
      }
      const std::size_t end = buffer_.find('\n', at_);
      line.append(buffer_, at_, end == std::string::npos ? std::string::npos : end - at_);
      if (end != std::string::npos) {
        at_ = end + 1;
        return true;
      }
      at_ = buffer_.size();
    }
  }

 private:
  static constexpr std::size_t kBlock = 1u << 16;
  std::string buffer_;
  std::size_t at_ = 0;
};

int RunBatch(const Options& options) {
  if (!options.positional.empty()) throw UsageError("batch reads its requests from standard input");
  kvlhost::PluginModule plugin(PluginPath(options));
  std::string line;
  InputLines input;
  while (input.next(line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (kvl::Trimmed(line).empty()) continue;
    // Every request gets its one reply line, even when building the reply runs out of memory.
    std::string replyLine;
    try {
      replyLine = RunRequest(nlohmann::json::parse(line), plugin);
    } catch (const std::exception& error) {
      replyLine = nlohmann::json{{"error", error.what()}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    WriteOut(replyLine.append("\n"));
  }
  return 0;
}

// help and --version stand alone: anything after them is a usage error.
int RunHelpOrVersion(const std::vector<std::wstring>& args) {
  if (args.size() > 1) throw UsageError(kvlhost::WideToUtf8(args[0]) + " takes no arguments");
  WriteOut(args[0] == L"--version" ? std::string("kvlhost " KVL_VERSION "\n") : std::string(kUsage));
  return 0;
}

std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  const kvl::UniqueLocalMem<LPWSTR> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < count; ++i) args.emplace_back(argv.get()[i]);
  return args;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  try {
    const std::vector<std::wstring> args = CommandLineArguments();
    if (!args.empty() && (args[0] == L"help" || args[0] == L"--help" || args[0] == L"-h" || args[0] == L"--version"))
      return RunHelpOrVersion(args);
    const Options options = ParseOptions(args);
    if (options.help) {
      const std::optional<std::string> usage = CommandUsage(options.command);
      if (!usage) throw UsageError("unknown command " + options.command);
      WriteOut(*usage);
      return 0;
    }
    if (options.raw && options.command != "call") throw UsageError("--raw is an option of call");
    if (options.strict && options.command != "call" && options.command != "expand")
      throw UsageError("--strict is an option of expand and call");
    if (options.trace && options.command != "expand") throw UsageError("--trace is an option of expand");
    if (options.command == "expand") return RunExpand(options);
    if (options.command == "call") return RunCall(options);
    if (options.command == "batch") return RunBatch(options);
    if (options.command == "list") return RunList(options, false);
    if (options.command == "info") return RunList(options, true);
    if (options.command == "check") return RunCheck(options);
    throw UsageError("unknown command " + options.command);
  } catch (const UsageError& error) {
    WriteErr(std::string("kvlhost: ") + error.what() + " (kvlhost --help shows the usage)");
    return 2;
  } catch (const std::exception& error) {
    WriteErr(std::string("kvlhost: ") + error.what());
    return 1;
  }
}
