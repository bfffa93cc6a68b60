// The plug-in's contract with the mail client, through its exports only.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "host/Providers.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvlhost::ArgumentProvider;
using kvlhost::ContextProvider;

const std::string kCountError = " *** ERROR: Wrong parameter count *** ";

class Exports : public ::testing::Test {
 protected:
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

TEST_F(Exports, BufferProtocolCopiesWithoutTerminatorAndNeverOverruns) {
  auto getName = plugin.module.getName();
  ASSERT_EQ(getName(nullptr, 0), 6);  // "Korvel"

  std::string exact(8, 'X');
  EXPECT_EQ(getName(exact.data(), 6), 6);
  EXPECT_EQ(exact, "KorvelXX");

  std::string shortBuffer(8, 'X');
  EXPECT_EQ(getName(shortBuffer.data(), 3), 3);
  EXPECT_EQ(shortBuffer, "KorXXXXX");

  std::string untouched(8, 'X');
  EXPECT_EQ(getName(untouched.data(), -1), 6);
  EXPECT_EQ(getName(untouched.data(), 0), 0);
  EXPECT_EQ(untouched, std::string(8, 'X'));
}

// A page of memory followed by one that nobody may touch: a read or write past the first
// faults and ends the test program.
class PageBeforeAGuard {
 public:
  static constexpr std::size_t kPage = 4096;
  PageBeforeAGuard()
      : memory_(static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {
    DWORD old = 0;
    if (memory_ == nullptr || !VirtualProtect(memory_ + kPage, kPage, PAGE_NOACCESS, &old)) std::abort();
  }
  ~PageBeforeAGuard() { VirtualFree(memory_, 0, MEM_RELEASE); }
  PageBeforeAGuard(const PageBeforeAGuard&) = delete;
  PageBeforeAGuard& operator=(const PageBeforeAGuard&) = delete;

  char* begin() const { return memory_; }
  char* end() const { return memory_ + kPage; }
  bool makeReadOnly() const {
    DWORD old = 0;
    return VirtualProtect(memory_, kPage, PAGE_READONLY, &old);
  }

 private:
  char* memory_;
};

TEST_F(Exports, UnwritableCallerBufferAnswersZeroInsteadOfCrashing) {
  const PageBeforeAGuard memory;
  auto getInfo = plugin.module.getInfo();

  // The text would run from the writable page into the protected one: nothing is written.
  char* straddling = memory.end() - 4;
  std::memset(straddling, 'X', 4);
  EXPECT_EQ(getInfo(straddling, 100), 0);
  EXPECT_EQ(std::string(straddling, 4), "XXXX");

  ASSERT_TRUE(memory.makeReadOnly());
  EXPECT_EQ(getInfo(memory.begin(), 10), 0);
  EXPECT_EQ(plugin.module.getMacroList()(reinterpret_cast<char*>(16), 10), 0);
}

TEST_F(Exports, FixedAnswersAndVersionTexts) {
  EXPECT_EQ(plugin.module.status(), 0);
  EXPECT_EQ(plugin.module.needConfig(), 0);
  EXPECT_EQ(plugin.module.setup(), 0);
  EXPECT_EQ(plugin.module.name(), "Korvel");
  EXPECT_EQ(plugin.module.version(), "1.0.0.0");
  const std::string info = plugin.module.info();
  EXPECT_TRUE(info.starts_with("<html><body")) << info;
  EXPECT_TRUE(info.ends_with("</center></body></html>")) << info;
  EXPECT_NE(info.find("Version 1.0.0.0</i><br>"), std::string::npos);
  EXPECT_NE(info.find("Copyright"), std::string::npos);
}

TEST_F(Exports, MacroListAndAboutTextAgreeOnTheTable) {
  const std::string list = plugin.module.macroList();
  EXPECT_TRUE(list.starts_with("KVL_PlugPath\r\nKVL_PlugVer\r\n")) << list;
  EXPECT_TRUE(list.ends_with("\r\nKVL_Test\r\n")) << list;
  std::size_t rows = 0;
  for (std::size_t at = list.find("\r\n"); at != std::string::npos; at = list.find("\r\n", at + 2)) ++rows;
  EXPECT_NE(plugin.module.info().find("contains actually " + std::to_string(rows) + " macros."), std::string::npos);

  // Every listed name dispatches, in any letter case; those that open a window waiting
  // for a user when called without arguments are called with too many instead.
  const std::set<std::string> waitForUser{"kvl_dlginput", "kvl_dlgopen", "kvl_dlgfolder"};
  std::size_t start = 0;
  for (std::size_t end = list.find("\r\n"); end != std::string::npos; start = end + 2, end = list.find("\r\n", start)) {
    std::string name = list.substr(start, end - start);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<std::string> args = waitForUser.count(name) ? std::vector<std::string>(9, "x") : std::vector<std::string>{};
    EXPECT_EQ(plugin.engine.callMacro(name, args).rc, 0) << name;
  }
}

TEST_F(Exports, DispatchFoldsAsciiOnlyAndRejectsOtherNames) {
  std::map<std::int32_t, std::string> items;
  auto exec = [&](const char* name, std::int32_t length, std::vector<std::string> args, std::string* result) {
    ArgumentProvider params(std::move(args));
    ContextProvider context(items, nullptr);
    const std::int32_t rc = plugin.module.exec(name, length, &context, &params);
    EXPECT_FALSE(rc == -1 && context.resultWritten()) << name << ": -1 must leave the result alone";
    EXPECT_EQ(context.references(), 1u) << name;
    EXPECT_EQ(params.references(), 1u) << name;
    if (result) *result = context.result();
    return rc;
  };
  std::string result;
  EXPECT_EQ(exec("kvl_test", 8, {}, &result), 0);
  EXPECT_EQ(result, "*** TEST ***");
  EXPECT_EQ(exec("KVL_TEST", 8, {"ignored"}, &result), 0);
  EXPECT_EQ(result, "*** TEST ***");
  // The length bounds the name; a NUL inside it ends the name earlier (hosts that count it).
  EXPECT_EQ(exec("KVL_Test", 3, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_Test", 7, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_Test", 9, {}, &result), 0);
  EXPECT_EQ(exec("KVL_Test", 0x7FFFFFFF, {}, &result), 0);
  EXPECT_EQ(exec("KVL_TestKVL_Test", 8, {}, &result), 0);

  EXPECT_EQ(exec("KVL_Test", 0, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_Test", -5, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_Tes", 7, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_Testx", 9, {}, nullptr), -1);
  EXPECT_EQ(exec("KVL_T\xC9ST", 8, {}, nullptr), -1);  // 8-bit letters are not folded
  EXPECT_EQ(exec("", 1, {}, nullptr), -1);

  // A wrong count is a result, not a failure of the call.
  EXPECT_EQ(exec("KVL_ArgCount", 12, {}, &result), 0);
  EXPECT_EQ(result, kCountError);
  EXPECT_EQ(exec("KVL_For", 7, {"i", "1", "2"}, &result), 0);
  EXPECT_EQ(result, kCountError);
}

// The name in a buffer that ends at a page nobody may read: the lookup reads exactly the
// length it was given (any read past it would fault and end the test program).
TEST_F(Exports, NameIsReadNoFurtherThanItsLength) {
  const PageBeforeAGuard memory;
  std::map<std::int32_t, std::string> items;
  auto execAtPageEnd = [&](std::string_view name) {
    char* const at = memory.end() - name.size();
    std::memcpy(at, name.data(), name.size());
    ArgumentProvider params({"abc"});
    ContextProvider context(items, nullptr);
    const std::int32_t rc = plugin.module.exec(at, static_cast<std::int32_t>(name.size()), &context, &params);
    return rc == 0 ? context.result() : std::string("-1");
  };
  EXPECT_EQ(execAtPageEnd("KVL_StrLen"), "3");
  EXPECT_EQ(execAtPageEnd("kvl_strlen"), "3");
  EXPECT_EQ(execAtPageEnd("KVL_StrL"), "-1");     // a prefix of a name, no NUL after it
  EXPECT_EQ(execAtPageEnd("KVL_StrLenX"), "-1");
  EXPECT_EQ(execAtPageEnd("KVL_IsUserAdmin"), kCountError);  // the longest name (given one argument too many)...
  EXPECT_EQ(execAtPageEnd("KVL_IsUserAdminX"), "-1");  // ...and one character more finds nothing
  EXPECT_EQ(execAtPageEnd(std::string(3000, 'K')), "-1");
}

// Each macro's accepted argument counts as the macro list documents them, tried at both ends:
// one below the least and one above the most give the count error, the ends themselves do not.
TEST_F(Exports, ArgumentCountsAtBothEndsOfTheirRange) {
  constexpr int kAny = -1;
  const std::vector<std::tuple<std::string, int, int>> ranges{
      {"KVL_PlugPath", 0, kAny}, {"KVL_PlugVer", 0, kAny},    {"KVL_Test", 0, kAny},      {"KVL_ArgCount", 1, 3},
      {"KVL_ArgItem", 2, 4},     {"KVL_Const", 1, 3},         {"KVL_FirstNE", 2, kAny},   {"KVL_For", 4, 4},
      {"KVL_Until", 3, 3},       {"KVL_ClearLines", 1, 4},    {"KVL_LineBetw", 3, 5},     {"KVL_StrLen", 1, 1},
      {"KVL_StrLeft", 2, 2},     {"KVL_StrRight", 2, 2},      {"KVL_StrMid", 2, 3},       {"KVL_StrPos", 2, 3},
      {"KVL_StrCount", 2, 3},    {"KVL_StrChar", 1, kAny},    {"KVL_StrC", 1, 1},         {"KVL_StrCheck", 2, 3},
      {"KVL_StrRev", 1, 1},      {"KVL_StrDup", 2, 2},        {"KVL_StrWordCnt", 1, 1},   {"KVL_Random", 0, 2},
      {"KVL_StrIns", 2, 4},      {"KVL_StrRepl", 3, 5},       {"KVL_StrTr", 2, 4},        {"KVL_StrTrim", 1, 3},
      {"KVL_StrWrap", 1, 3},     {"KVL_Rot13", 1, 1},         {"KVL_StrItem", 3, 3},      {"KVL_StrItemCnt", 2, 2},
      {"KVL_StrLines", 1, 3},    {"KVL_StrLnCnt", 0, 1},      {"KVL_Encode", 2, kAny},    {"KVL_Decode", 2, kAny},
      {"KVL_HtmlEnc", 1, 2},     {"KVL_HtmlDec", 1, 2},       {"KVL_UrlEnc", 1, 2},       {"KVL_UrlDec", 1, 1},
      {"KVL_REIsMatch", 2, 4},   {"KVL_RERepl", 3, 4},        {"KVL_StrRERepl", 3, 4},    {"KVL_Grep", 2, 3},
      {"KVL_ReX", 2, 3},
  };
  // "v" and then empty texts: every loop ends at once with these (KVL_Until's variable is unset and so "").
  auto countError = [&](const std::string& name, int count) {
    std::vector<std::string> args(static_cast<std::size_t>(count));
    if (count > 0) args[0] = "v";
    return plugin.call(name, args) == kCountError;
  };
  for (const auto& [name, least, most] : ranges) {
    if (least > 0) {
      EXPECT_TRUE(countError(name, least - 1)) << name << " with " << least - 1;
    }
    EXPECT_FALSE(countError(name, least)) << name << " with " << least;
    EXPECT_FALSE(countError(name, most == kAny ? least + 5 : most)) << name;
    if (most != kAny) {
      EXPECT_TRUE(countError(name, most + 1)) << name << " with " << most + 1;
    }
  }
}

// A host that answers the first argument's length and then copies fewer characters
// (none at all for 0): a macro sees what was copied, whichever way it reads it.
class ShortCopyArguments : public ArgumentProvider {
 public:
  ShortCopyArguments(std::vector<std::string> args, std::int32_t copies)
      : ArgumentProvider(std::move(args)), copies_(copies) {}
  std::int32_t STDMETHODCALLTYPE GetText(std::int32_t id, char* buffer, std::int32_t size) override {
    if (id != 0 || buffer == nullptr) return ArgumentProvider::GetText(id, buffer, size);
    return copies_ == 0 ? 0 : ArgumentProvider::GetText(id, buffer, std::min(size, copies_));
  }

 private:
  std::int32_t copies_;
};

TEST_F(Exports, ArgumentsCopiedShortAreTakenAsCopied) {
  std::map<std::int32_t, std::string> items;
  auto exec = [&](const char* name, std::vector<std::string> args, std::int32_t copies) {
    ShortCopyArguments params(std::move(args), copies);
    ContextProvider context(items, nullptr);
    EXPECT_EQ(plugin.module.exec(name, static_cast<std::int32_t>(std::strlen(name)), &context, &params), 0);
    return context.result();
  };
  EXPECT_EQ(exec("KVL_Encode", {"abcdef", "B"}, 3), "YWJj");  // read into a buffer of its own
  EXPECT_EQ(exec("KVL_Encode", {"abcdef", "B"}, 0), "");
  EXPECT_EQ(exec("KVL_Decode", {"YWJjZGVm", "B"}, 4), "abc");
  EXPECT_EQ(exec("KVL_StrLen", {"abcdef"}, 3), "3");  // read as a string
  EXPECT_EQ(exec("KVL_StrLen", {"abcdef"}, 0), "0");
}

// The macros that read a whole text into storage of their own get nothing to copy for
// an empty argument: an empty message body is still a text, "^$" matches it.
TEST_F(Exports, EmptyWholeTextArgumentsAreEmptyTexts) {
  const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> cases{
      {"KVL_REIsMatch", {"", "^$"}, "1"},
      {"KVL_REIsMatch", {"", "x*"}, "1"},
      {"KVL_REIsMatch", {"", "x"}, "0"},
      {"KVL_RERepl", {"", "x*", "-"}, "-"},
      {"KVL_StrRERepl", {"", "^", "> "}, "> "},
      {"KVL_Encode", {"", "B"}, ""},
      {"KVL_Encode", {"", "Q"}, ""},
      {"KVL_Decode", {"", "B"}, ""},
      {"KVL_Decode", {"", "Q", "1"}, ""},
      {"KVL_UrlEnc", {""}, ""},
      {"KVL_UrlDec", {""}, ""},
      {"KVL_StrRepl", {"", "a", "b"}, ""},
      {"KVL_StrRepl", {"", "a", "ab", "1", "1"}, ""},
      {"KVL_Rot13", {""}, ""},
      {"KVL_QuoteAdd", {""}, "> \r\n"},  // one empty line
      {"KVL_QuoteDel", {""}, "\r\n"},
  };
  for (const auto& [name, args, expected] : cases) {
    EXPECT_EQ(plugin.call(name, args), expected) << name << " with " << args.size() << " arguments";
  }
}

TEST_F(Exports, EmptyResultIsStillWritten) {
  std::map<std::int32_t, std::string> items;
  ArgumentProvider params({"", "x"});
  ContextProvider context(items, nullptr);
  context.SetText(0, "stale", 5);
  ASSERT_EQ(plugin.module.exec("KVL_ArgItem", 11, &context, &params), 0);
  EXPECT_EQ(context.result(), "");
}

}  // namespace
