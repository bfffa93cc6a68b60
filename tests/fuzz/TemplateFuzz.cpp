// kvlhost's template engine on a template from the input. A stand-in for the plug-in
// answers its calls, handing arguments back to the engine so that nesting and the
// host round trip are exercised:
//   %KVL_P...(a, b)  expands each argument again and joins the results (as KVL_For does);
//   %KVL_I...(n)     answers data item n;
//   %KVL_U...        is unknown to the plug-in;
//   any other        echoes its arguments between brackets.
// Like the plug-in, it answers the value error for results over a cap (a lower one, so
// that templates that double their text at every level stay quick).
// The host's regular expression is one fixed pattern: PCRE limits backtracking per
// start position only, so patterns from the input would keep runs busy for seconds in
// single searches (the regex target fuzzes patterns, with a lower limit). Every text
// that reaches the engine has its %SETPATTREGEXP turned into an unknown name first.
#include <cstdint>
#include <string>

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "host/AddressBook.h"
#include "host/TemplateEngine.h"
#include "tests/fuzz/FuzzCheck.h"

using kvlfuzz::Expect;

namespace {

constexpr std::size_t kStandInResultCap = 64u << 10;

// The text with every SETPATTREGEXP (any case) spelt SETPATT-REGEXP; the hyphen
// keeps a new one from forming across the replacements.
std::string WithoutPatternChanges(std::string_view text) {
  constexpr std::string_view kName = "setpattregexp";
  const std::string lowered = kvl::AsciiLowered(text);
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t found = lowered.find(kName); found != std::string::npos; found = lowered.find(kName, at)) {
    out.append(text.substr(at, found + 7 - at)).append("-").append(text.substr(found + 7, kName.size() - 7));
    at = found + kName.size();
  }
  return out.append(text.substr(at));
}

class StandInPlugin final : public kvlhost::MacroRunner {
 public:
  kvlhost::MacroOutcome run(const std::string& name, const std::vector<std::string>& args,
                            const std::map<std::int32_t, std::string>& items, kvlhost::TextProcessor processor,
                            kvlhost::ItemObserver itemRead) const override {
    kvlhost::MacroOutcome outcome;
    Expect(name.size() > 4 && kvl::EqualsIgnoringAsciiCase(name.substr(0, 4), "KVL_"), "only KVL_ names are called");
    const char kind = kvl::AsciiUpper(name[4]);
    if (kind == 'U') return outcome;
    outcome.rc = 0;
    outcome.resultWritten = true;
    if (kind == 'P') {
      for (const std::string& arg : args) outcome.result += processor(WithoutPatternChanges(arg));
    } else if (kind == 'I') {
      const std::int32_t id = kvlhost::DecimalOrZero(args.empty() ? "" : args.front());
      if (itemRead && id != 0) itemRead(id);
      const auto found = items.find(id);
      if (found != items.end()) outcome.result = found->second;
    } else {
      outcome.result = "[";
      for (const std::string& arg : args) outcome.result += arg + ";";
      outcome.result += "]";
    }
    if (outcome.result.size() > kStandInResultCap) outcome.result = kvl::ErrParamValue;
    return outcome;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = WithoutPatternChanges(kvlfuzz::AsText(data, size));
  kvlhost::HostSession session;
  session.regex.setPattern("([A-Za-z]+)-(\\d+)|(x)");
  session.items = {{218, "Ann Example"}, {219, "ann@example.org"}, {223, "Re: plans"}, {241, "Body 2024-05-17\r\nend"}};
  session.messageFields = {{"TONAME", "Bob"}, {"TOADDR", "bob@example.org"}, {"DATE", "Fri, 17 May 2024"}};
  session.addressBook = kvlhost::AddressBook::Parse("address,gender,country\r\nann@example.org,female,Germany\r\n");
  std::size_t warnings = 0;
  session.warn = [&](const std::string&) { ++warnings; };
  // The call trace runs too: each of its lines is one line, its texts escaped, and it stops.
  std::size_t traceLines = 0;
  session.trace = [&](const std::string& line) {
    Expect(++traceLines <= kvlhost::CallTrace::kMaxLines + 1, "the trace stops, with one line that says so");
    for (const char c : line) Expect(static_cast<unsigned char>(c) >= 0x20, "trace texts are escaped");
  };
  const StandInPlugin plugin;
  kvlhost::TemplateEngine engine(session, &plugin);
  const std::string output = engine.expand(input);
  if (input.find('%') == std::string::npos)
    Expect(output == input && warnings == 0, "text without a percent sign is copied as it is");
  return 0;
}
