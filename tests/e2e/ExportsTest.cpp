// The plug-in's contract with the mail client, through its exports only.
#include <windows.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>

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

TEST_F(Exports, UnwritableCallerBufferAnswersZeroInsteadOfCrashing) {
  const DWORD page = 4096;
  auto* memory = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(memory, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(memory + page, page, PAGE_NOACCESS, &old));
  auto getInfo = plugin.module.getInfo();

  // The text would run from the writable page into the protected one: nothing is written.
  char* straddling = memory + page - 4;
  std::memset(straddling, 'X', 4);
  EXPECT_EQ(getInfo(straddling, 100), 0);
  EXPECT_EQ(std::string(straddling, 4), "XXXX");

  ASSERT_TRUE(VirtualProtect(memory, page, PAGE_READONLY, &old));
  EXPECT_EQ(getInfo(memory, 10), 0);
  EXPECT_EQ(plugin.module.getMacroList()(reinterpret_cast<char*>(16), 10), 0);
  VirtualFree(memory, 0, MEM_RELEASE);
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

  // Every listed name dispatches, in any letter case.
  std::size_t start = 0;
  for (std::size_t end = list.find("\r\n"); end != std::string::npos; start = end + 2, end = list.find("\r\n", start)) {
    std::string name = list.substr(start, end - start);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(plugin.engine.callMacro(name, {}).rc, 0) << name;
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
  // Only the terminating NUL ends the name; a positive length is not a limit.
  EXPECT_EQ(exec("KVL_Test", 3, {}, &result), 0);

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

TEST_F(Exports, EmptyResultIsStillWritten) {
  std::map<std::int32_t, std::string> items;
  ArgumentProvider params({"", "x"});
  ContextProvider context(items, nullptr);
  context.SetText(0, "stale", 5);
  ASSERT_EQ(plugin.module.exec("KVL_ArgItem", 11, &context, &params), 0);
  EXPECT_EQ(context.result(), "");
}

}  // namespace
