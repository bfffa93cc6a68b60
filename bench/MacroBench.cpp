// Throughput of macros through KVL.zrp's exports, on the inputs that
// bench/run_text_bench.py, run_regex_bench.py, run_mailtext_bench.py and
// run_extract_bench.py write. Prints one JSON
// object per line.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "host/Providers.h"

namespace {

struct Case {
  const char* label;
  const char* macro;
  const char* input;  // file name in the data folder; "@" stands for it among the arguments
  std::vector<std::string> args;
};

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes over more memory than the processor caches hold, so that a call finds its
// input in memory, as a message that the mail client has just read would be.
void EvictCaches() {
  static std::vector<char> scratch(64u << 20);
  static char round = 0;
  std::fill(scratch.begin(), scratch.end(), ++round);
}

// Best of `rounds` calls; only ZRP_ExecMacro is timed, each call starting with cold
// caches. The host keeps its providers (and so its result buffer) from one call to
// the next, as a mail client would.
double TimeCall(const kvlhost::PluginModule& plugin, const std::string& macro, const std::vector<std::string>& args,
                int rounds, std::size_t* resultSize) {
  static const std::map<std::int32_t, std::string> kNoItems;
  kvlhost::ArgumentProvider params(args);
  kvlhost::ContextProvider context(kNoItems, nullptr);
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    EvictCaches();
    const double start = Now();
    const std::int32_t rc = plugin.exec(macro.c_str(), static_cast<std::int32_t>(macro.size()), &context, &params);
    best = std::min(best, Now() - start);
    if (rc != 0) throw std::runtime_error(macro + " is unknown to the plug-in");
    *resultSize = context.result().size();
  }
  return best;
}

// What the interface itself costs a macro that reads one argument and answers a
// result: the host's copy of the argument into the plug-in's buffer and of the
// result into its own, with no work between (best of `rounds`, cold caches).
double TimeHostCopies(const std::string& input, std::size_t resultSize, int rounds) {
  static const std::map<std::int32_t, std::string> kNoItems;
  kvlhost::ArgumentProvider params({input});
  kvlhost::ContextProvider context(kNoItems, nullptr);
  std::vector<char> argument(input.size()), result(resultSize, 'x');
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    EvictCaches();
    const double start = Now();
    params.GetText(0, argument.data(), static_cast<std::int32_t>(argument.size()));
    context.SetText(0, result.data(), static_cast<std::int32_t>(result.size()));
    best = std::min(best, Now() - start);
  }
  return best;
}

// Calls per second of a short macro through ZRP_ExecMacro: dispatch, arguments and work.
void CallsPerSecond(const kvlhost::PluginModule& plugin, const char* label, const std::string& macro,
                    const std::vector<std::string>& args, int calls) {
  static const std::map<std::int32_t, std::string> kNoItems;
  kvlhost::ArgumentProvider params(args);
  kvlhost::ContextProvider context(kNoItems, nullptr);
  const double start = Now();
  for (int i = 0; i < calls; ++i)
    plugin.exec(macro.c_str(), static_cast<std::int32_t>(macro.size()), &context, &params);
  const double seconds = Now() - start;
  std::printf("{\"case\": \"%s\", \"calls\": %d, \"seconds\": %.6f, \"result\": \"%s\"}\n", label, calls, seconds,
              context.result().c_str());
}

// KVL_RegGet calls per second on a string value of a key made for the run, beside the
// same open-query-close done directly: what dispatch and path splitting add.
void RegistryCalls(const kvlhost::PluginModule& plugin, int calls) {
  const char* keyPath = "Software\\KorvelBench";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot create HKCU\\Software\\KorvelBench");
  const std::string value = "C:\\Users\\Anna\\Mail";
  RegSetValueExA(key, "Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  CallsPerSecond(plugin, "regget_calls", "KVL_RegGet", {"CU\\Software\\KorvelBench\\Folder", "none"}, calls);
  const double start = Now();
  for (int i = 0; i < calls; ++i) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    std::array<char, 64> buffer{};
    DWORD size = buffer.size();
    RegQueryValueExA(opened, "Folder", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(opened);
  }
  std::printf("{\"case\": \"direct_registry_reads\", \"calls\": %d, \"seconds\": %.6f}\n", calls, Now() - start);
  RegDeleteTreeA(HKEY_CURRENT_USER, keyPath);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: macro_bench DATA_FOLDER [ROUNDS [text|regex|mailtext|addresses|datetime|system|dispatch]]\n");
    return 2;
  }
  const std::filesystem::path data = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string suite = argc > 3 ? argv[3] : "text";
  try {
    kvlhost::PluginModule plugin(kvlhost::DefaultPluginPath());
    const std::vector<Case> textCases = {
        {"encode_b", "KVL_Encode", "text", {"@", "B"}},
        {"decode_b", "KVL_Decode", "b64", {"@", "B"}},
        {"encode_q", "KVL_Encode", "text", {"@", "Q"}},
        {"decode_q", "KVL_Decode", "qp", {"@", "Q"}},
        {"replace", "KVL_StrRepl", "text", {"@", "the", "THE"}},
        {"count", "KVL_StrCount", "text", {"@", "the"}},
        {"url_encode", "KVL_UrlEnc", "text", {"@"}},
        {"url_decode", "KVL_UrlDec", "url", {"@"}},
        {"html_encode", "KVL_HtmlEnc", "text", {"@", "H"}},
        {"wrap", "KVL_StrWrap", "text", {"@", "60"}},
        {"rot13", "KVL_Rot13", "text", {"@"}},
    };
    const std::vector<Case> regexCases = {
        {"replace_literal", "KVL_RERepl", "regex", {"@", "the", "THE"}},
        {"replace_date", "KVL_RERepl", "regex", {"@", "(\\d+)-(\\d+)-(\\d+)", "$3.$2.$1"}},
        {"replace_alternation", "KVL_RERepl", "regex", {"@", "Gr\xFC\xDF" "e|caf\xE9|stra\xDF" "e", "X"}},
        {"ismatch_literal", "KVL_REIsMatch", "regex", {"@", "zebra"}},
        {"ismatch_date", "KVL_REIsMatch", "regex", {"@", "(\\d+)/(\\d+)/(\\d+)"}},
        {"ismatch_alternation", "KVL_REIsMatch", "regex", {"@", "zebra|giraffe|okapi"}},
    };
    const std::vector<Case> mailCases = {
        {"quote_add", "KVL_QuoteAdd", "text", {"@"}},
        {"quote_del", "KVL_QuoteDel", "quoted", {"@"}},
    };
    const std::vector<Case> addressCases = {
        {"xtr_emls", "KVL_XtrEMLs", "mail", {"@"}},
        {"xtr_urls", "KVL_XtrURLs", "mail", {"@"}},
        {"xtr_urls_chain", "KVL_XtrURLs", "chain", {"@"}},
        {"xtr_emls_ats", "KVL_XtrEMLs", "ats", {"@"}},
        {"addr_to_ace", "KVL_AddrToACE", "idn", {"@"}},
        {"addr_to_ace_ats", "KVL_AddrToACE", "ats", {"@"}},
    };
    const std::vector<Case> noCases;
    const std::vector<Case>& cases = suite == "regex"                           ? regexCases
                                     : suite == "addresses"                     ? addressCases
                                     : suite == "mailtext"                      ? mailCases
                                     : suite == "datetime" || suite == "system" || suite == "dispatch" ? noCases
                                                                                : textCases;
    for (const Case& c : cases) {
      const std::string input = ReadFile(data / (std::string(c.input) + ".txt"));
      auto argsWith = [&](const std::string& text) {
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("@"), text);
        return args;
      };
      std::size_t resultSize = 0;
      const double seconds = TimeCall(plugin, c.macro, argsWith(input), rounds, &resultSize);
      // The same input in ten calls on consecutive tenths (cut at multiples of four so
      // Base64 stays whole): a linear macro takes as long for the whole as for the tenths.
      const std::size_t tenth = input.size() / 10 / 4 * 4;
      double tenthsSeconds = 0;
      for (int part = 0; part < 10; ++part) {
        const std::size_t from = tenth * static_cast<std::size_t>(part);
        const std::size_t length = part == 9 ? input.size() - from : tenth;
        std::size_t ignored = 0;
        tenthsSeconds += TimeCall(plugin, c.macro, argsWith(input.substr(from, length)), rounds, &ignored);
      }
      // The same sizes through the host's two copies alone (argument in, result out),
      // whole and in tenths: what the interface costs before the macro's own work.
      const double ratio = static_cast<double>(resultSize) / static_cast<double>(input.size());
      auto copies = [&](std::size_t from, std::size_t length) {
        return TimeHostCopies(input.substr(from, length), static_cast<std::size_t>(length * ratio), rounds);
      };
      double copiesTenths = 0;
      for (int part = 0; part < 10; ++part)
        copiesTenths += copies(tenth * static_cast<std::size_t>(part), part == 9 ? input.size() - tenth * 9 : tenth);
      std::printf(
          "{\"case\": \"%s\", \"bytes\": %zu, \"seconds\": %.6f, \"tenths_seconds\": %.6f, "
          "\"result_bytes\": %zu, \"copies_seconds\": %.6f, \"copies_tenths_seconds\": %.6f}\n",
          c.label, input.size(), seconds, tenthsSeconds, resultSize, copies(0, input.size()), copiesTenths);
      std::fflush(stdout);
    }
    if (suite == "regex") return 0;
    if (suite == "addresses") {
      // A To header of 50 entries in the forms mail carries: quoted names with commas,
      // bare addresses, names in parentheses.
      std::string to;
      for (int n = 0; n < 50; ++n) {
        const std::string id = std::to_string(n);
        to += n % 3 == 0   ? "\"Name" + id + ", Team\" <user" + id + "@example.org>, "
              : n % 3 == 1 ? "user" + id + "@example.com (User " + id + "), "
                           : "<user" + id + "@example.net>, ";
      }
      to.erase(to.size() - 2);
      CallsPerSecond(plugin, "listcount_calls", "KVL_ListCount", {to}, 100'000);
      return 0;
    }
    if (suite == "system") {
      RegistryCalls(plugin, 200'000);
      std::array<char, MAX_PATH> self{};
      GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
      CallsPerSecond(plugin, "fileexist_calls", "KVL_FileExist", {self.data()}, 200'000);
      CallsPerSecond(plugin, "fileexist_missing_calls", "KVL_FileExist", {std::string(self.data()) + ".none"}, 200'000);
      return 0;
    }
    if (suite == "datetime") {
      CallsPerSecond(plugin, "timeparse_calls", "KVL_TimeParse",
                     {"Sat, 5 Dec 2026 08:18:22 +0100 (CET)", "1", "yyyy-mm-dd hh:nn:ss bbbb"}, 200'000);
      return 0;
    }
    if (suite == "dispatch") {
      // The name search alone shows in the spread between the table's first, middle and
      // last rows and an unknown name (which runs no handler at all).
      CallsPerSecond(plugin, "plugpath_calls", "KVL_PlugPath", {}, 1'000'000);
      CallsPerSecond(plugin, "strlen_calls", "KVL_StrLen", {"Hello, world"}, 1'000'000);
      CallsPerSecond(plugin, "test_calls", "KVL_Test", {}, 1'000'000);
      CallsPerSecond(plugin, "unknown_calls", "KVL_Unknown", {}, 1'000'000);
      return 0;
    }
    // Calls per second of a short macro: the dispatch and argument overhead.
    if (suite == "mailtext")
      CallsPerSecond(plugin, "subjclean_calls", "KVL_SubjClean", {"Re: AW: Fwd: Quarterly report"}, 1'000'000);
    else
      CallsPerSecond(plugin, "strlen_calls", "KVL_StrLen", {"Hello, world"}, 1'000'000);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "macro_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
