// The plug-in's contract with the mail client, through its exports only.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "host/Providers.h"
#include "plugin/MacroList.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvlhost::ArgumentProvider;
using kvlhost::ContextProvider;

using kvltest::kCountError;
using Exports = kvltest::PluginTest;

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

// Each macro's argument counts as docs/macros.md documents them, in the order of the list the
// mail client sees ("least-most"; "least+" for any number). The table must agree, row by row
// and name by name: a test that only read the table would pass whatever count a row came to hold.
constexpr std::string_view kDocumentedCounts =
    "PlugPath 0+ PlugVer 0+ Accounts 0-2 AddrToACE 1 AddrToIDN 1 Age 1-2 AttrGet 1 AttrSet 1-2 ArgCount 1-3 "
    "ArgItem 2-4 Beep 2 ClearLines 1-4 Const 1-3 CRC32 2-3 Decode 2+ DirCreate 1 DirExist 1 DlgFolder 0-3 "
    "DlgInput 0-2 DlgOpen 0-5 DomToACE 1 DomToIDN 1 Encode 2+ Envir 1 FileAddLn 2 FileCopy 2 FileDel 1 "
    "FileExist 1 FileInfo 2 FileInUse 1 FileLines 1-4 FileLnCnt 1 FileLong 1 FileMove 2 FileName 1-2 "
    "FileOwner 1 FileShort 1 FileSize 1-2 FileTime 2-3 FirstNE 2+ For 4 FrmDlg 1-6 FrmDlgDef 0+ FrmDlgRet 0-2 "
    "Gender 0-1 GetLang 0+ GetPath 1 Grep 2-3 HdrMailer 0-1 HdrRcvTime 0-3 Host2IP 1 HtmlDec 1-2 HtmlEnc 1-2 "
    "IDNList 1 IniGet 3-4 IniSet 4 IP2Host 0-1 IsUserAdmin 0 KbdLayout 0-1 LineBetw 3-5 ListAddr 2 "
    "ListCount 1 ListName 2 MD5 2-3 MsgBox 1-7 MsgID 0-1 MultiDlg 5-7 NoSubj 0-1 NoTo 0-1 Process 1-3 "
    "Progress 5 QuoteAdd 1-2 QuoteDel 1-3 Random 0-2 RegGet 1-2 RegSet 2-3 REIsMatch 2-4 RERepl 3-4 ReX 2-3 "
    "Rot13 1 Run 1-2 RunCmd 1-3 Select 4+ SendKeys 1-2 SetClipB 1 SHA1 2-3 Sig 0 StrAttach 2 StrC 1 StrChar 1+ "
    "StrCheck 2-3 StrCount 2-3 StrDup 2 StrIns 2-4 StrItem 3 StrItemCnt 2 StrLeft 2 StrLen 1 StrLines 1-3 "
    "StrLnCnt 0-1 StrMid 2-3 StrPos 2-3 StrRepl 3-5 StrRERepl 3-4 StrRev 1 StrRight 2 StrTr 2-4 StrTrim 1-3 "
    "StrWordCnt 1 StrWrap 1-3 SubjClean 0-2 SubjCount 0-4 SysInfo 0+ TempDir 0 TempFile 0 TextDlg 3-6 "
    "TimeAdd 2-4 TimeBeats 0-1 TimeBias 0 TimeCalc 2-4 TimeDiff 1-4 TimeParse 1-3 TimeQuart 0-2 Until 3 "
    "UrlAttach 2 UrlDec 1 UrlDldFile 2 UrlEnc 1-2 XtrEMLs 0-2 XtrURLs 0-3 Test 0+";

// Every row of the macro table, called by its lower-case name at both ends of its count
// range and one beyond each: exactly the counts outside it answer the count error. Macros
// that would open a window, start, look up or wait for something, or write, get those only.
TEST_F(Exports, EveryMacroRefusesExactlyTheCountsOutsideItsRange) {
  const std::set<std::string_view> outsideOnly{
      "KVL_AttrSet", "KVL_Beep",   "KVL_DirCreate", "KVL_DlgFolder", "KVL_DlgInput",  "KVL_DlgOpen",  "KVL_FileAddLn",
      "KVL_FileCopy", "KVL_FileDel", "KVL_FileMove", "KVL_FrmDlg",   "KVL_Host2IP",   "KVL_IniSet",   "KVL_IP2Host",
      "KVL_KbdLayout", "KVL_MsgBox", "KVL_MultiDlg", "KVL_Process",  "KVL_Progress",  "KVL_RegSet",   "KVL_Run",
      "KVL_RunCmd",   "KVL_SendKeys", "KVL_SetClipB", "KVL_StrAttach", "KVL_TempFile", "KVL_TextDlg",  "KVL_UrlAttach",
      "KVL_UrlDldFile"};
  std::istringstream documented{std::string(kDocumentedCounts)};
  std::string names;
  for (const kvl::MacroRow& row : kvl::MacroTable()) {
    std::string name, counts;
    documented >> name >> counts;
    const std::string range = std::to_string(row.minArgs) +
        (row.maxArgs == kvl::kAnyCount ? "+" : row.maxArgs == row.minArgs ? "" : "-" + std::to_string(row.maxArgs));
    EXPECT_EQ("KVL_" + name + " " + counts, std::string(row.name) + " " + range);
    names.append(row.name).append("\r\n");
    name = row.name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // "v" and then empty texts: every loop ends at once with these (KVL_Until's variable is unset and so "").
    auto answer = [&](int count) {
      std::vector<std::string> args(static_cast<std::size_t>(count));
      if (count > 0) args[0] = "v";
      return plugin.call(name, args);
    };
    if (row.minArgs > 0) {
      EXPECT_EQ(answer(row.minArgs - 1), kCountError) << row.name << " with " << row.minArgs - 1;
    }
    if (row.maxArgs != kvl::kAnyCount) {
      EXPECT_EQ(answer(row.maxArgs + 1), kCountError) << row.name << " with " << row.maxArgs + 1;
    }
    if (outsideOnly.contains(row.name)) continue;
    EXPECT_NE(answer(row.minArgs), kCountError) << row.name << " with " << row.minArgs;
    const int most = row.maxArgs == kvl::kAnyCount ? row.minArgs + 6 : row.maxArgs;  // an even number more: pairs fit
    EXPECT_NE(answer(most), kCountError) << row.name << " with " << most;
  }
  documented >> std::ws;
  EXPECT_TRUE(documented.eof()) << "documented macros missing from the table";
  EXPECT_EQ(plugin.module.macroList(), names);
  const std::string rows = std::to_string(kvl::MacroTable().size());
  EXPECT_NE(plugin.module.info().find("contains actually " + rows + " macros."), std::string::npos);
}

TEST_F(Exports, DispatchFoldsAsciiOnlyAndRejectsOtherNames) {
  std::map<std::int32_t, std::string> items;
  // The result, or "-1" when the call was refused (and left the result alone).
  auto exec = [&](const char* name, std::int32_t length) {
    ArgumentProvider params({"ignored"});
    ContextProvider context(items, nullptr);
    const std::int32_t rc = plugin.module.exec(name, length, &context, &params);
    EXPECT_FALSE(rc == -1 && context.resultWritten()) << name << ": -1 must leave the result alone";
    EXPECT_EQ(context.references(), 1u) << name;
    EXPECT_EQ(params.references(), 1u) << name;
    return rc == 0 ? context.result() : std::to_string(rc);
  };
  const std::string test = "*** TEST ***";
  // The length bounds the name; a NUL inside it ends the name earlier (hosts that count it);
  // 8-bit letters are not folded.
  for (const auto& [name, length, result] : std::vector<std::tuple<std::string, std::int32_t, std::string>>{
           {"kvl_test", 8, test}, {"KVL_TEST", 8, test}, {"KVL_Test", 3, "-1"}, {"KVL_Test", 7, "-1"},
           {"KVL_Test", 9, test}, {"KVL_Test", 0x7FFFFFFF, test}, {"KVL_TestKVL_Test", 8, test}, {"KVL_Test", 0, "-1"},
           {"KVL_Test", -5, "-1"}, {"KVL_Tes", 7, "-1"}, {"KVL_Testx", 9, "-1"}, {"KVL_T\xC9ST", 8, "-1"}, {"", 1, "-1"}})
    EXPECT_EQ(exec(name.c_str(), length), result) << name << " " << length;
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
  EXPECT_EQ(execAtPageEnd("KVL_IsUserAdmin"), kCountError);  // the longest name (given one argument too many)...
  EXPECT_EQ(execAtPageEnd("KVL_IsUserAdminX"), "-1");  // ...and one character more finds nothing
  EXPECT_EQ(execAtPageEnd(std::string(3000, 'K')), "-1");
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
  expectResults({
      {"KVL_REIsMatch", {"", "^$"}, "1"}, {"KVL_REIsMatch", {"", "x*"}, "1"}, {"KVL_REIsMatch", {"", "x"}, "0"},
      {"KVL_RERepl", {"", "x*", "-"}, "-"}, {"KVL_StrRERepl", {"", "^", "> "}, "> "}, {"KVL_Encode", {"", "B"}, ""},
      {"KVL_Encode", {"", "Q"}, ""}, {"KVL_Decode", {"", "B"}, ""}, {"KVL_Decode", {"", "Q", "1"}, ""},
      {"KVL_UrlEnc", {""}, ""}, {"KVL_UrlDec", {""}, ""}, {"KVL_StrRepl", {"", "a", "b"}, ""},
      {"KVL_StrRepl", {"", "a", "ab", "1", "1"}, ""}, {"KVL_Rot13", {""}, ""},
      {"KVL_QuoteAdd", {""}, "> \r\n"},  // one empty line
      {"KVL_QuoteDel", {""}, "\r\n"},
  });
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
