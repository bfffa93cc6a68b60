// Folders, INI files, the registry and the environment through the exports, against
// the real registry, files and environment of the Wine prefix.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <array>

#include "tests/e2e/TestKey.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using Strings = std::vector<std::string>;
using kvltest::kNoSuccess;
using kvltest::kValueError;
using kvltest::TestKey;

std::string PlatformFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
  std::array<char, MAX_PATH> path{};
  return std::string(path.data(), query(path.data(), MAX_PATH)) + "\\";
}

std::string ShellFolder(int csidl) {
  std::array<char, MAX_PATH> path{};
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, path.data());
  return std::string(path.data()) + "\\";
}

class SystemMacros : public kvltest::PluginTest {
 protected:
  const std::string keyName = "Software\\KorvelTest" + std::to_string(GetCurrentProcessId());
  const std::string key = "CU\\" + keyName + "\\";
  const TestKey test{keyName};
};

TEST_F(SystemMacros, RegistryValuesRoundTripByType) {
  struct Case {
    std::string data, type;
    DWORD storedType;
    std::string stored, read;
  };
  for (const Case& c :
       std::vector<Case>{{"text", "", REG_SZ, std::string("text\0", 5), "text"},
                         {"%windir%\\x", "e", REG_EXPAND_SZ, std::string("%windir%\\x\0", 11), "%windir%\\x"},
                         {"one\r\ntwo", "M", REG_MULTI_SZ, std::string("one\0two\0\0", 9), "one\r\ntwo\r\n"},
                         {"one\ntwo\r\n", "m", REG_MULTI_SZ, std::string("one\0two\0\0", 9), "one\r\ntwo\r\n"},
                         {"-1", "d", REG_DWORD, "\xFF\xFF\xFF\xFF", "4294967295"},
                         {"4294967295", "D", REG_DWORD, "\xFF\xFF\xFF\xFF", "4294967295"},
                         {"-2147483648", "D", REG_DWORD, std::string("\0\0\0\x80", 4), "2147483648"},
                         {"$10", "D", REG_DWORD, std::string("\x10\0\0\0", 4), "16"},
                         // "DB" stores the bytes most significant first under the ordinary DWORD type.
                         {"1", "dB", REG_DWORD, std::string("\0\0\0\1", 4), "16777216"}}) {
    const Strings args = c.type.empty() ? Strings{key + "v", c.data} : Strings{key + "v", c.data, c.type};
    EXPECT_EQ(plugin.call("KVL_RegSet", args), "1") << c.data;
    EXPECT_EQ(test.raw("v"), std::make_pair(c.storedType, c.stored)) << c.data;
    EXPECT_EQ(plugin.call("KVL_RegGet", {key + "v"}), c.read) << c.data;
  }
  // Anything but a 32-bit number, and any other type, writes nothing.
  for (const char* type : {"D", "DB"})
    for (const char* data : {"4294967296", "-2147483649", "12x", "", " 1"})
      EXPECT_EQ(plugin.call("KVL_RegSet", {key + "v", data, type}), "0") << data;
  EXPECT_EQ(plugin.call("KVL_RegSet", {key + "v", "1", "SS"}), "0");
  EXPECT_EQ(plugin.call("KVL_RegGet", {key + "v"}), "16777216");
  // A final backslash names the key's default value.
  expectResults({{"KVL_RegSet", {key, "unnamed"}, "1"}, {"KVL_RegGet", {key, "none"}, "unnamed"}});
}

TEST_F(SystemMacros, RegistryFailuresGiveTheDefaultOrZero) {
  const std::string longName = "hkey_current_user\\" + keyName + "\\x", shortName = "HKCU\\" + keyName + "\\x";
  expectResults({
      {"KVL_RegGet", {"cu\\Software\\Nothing\\Here", "none"}, "none"}, {"KVL_RegGet", {key + "missing"}, ""},
      {"KVL_RegSet", {key + "New\\v", "x"}, "0"},  // keys are not created
      {"KVL_RegGet", {key + "New\\", "none"}, "none"}, {"KVL_RegSet", {longName, "long"}, "1"},
      {"KVL_RegGet", {shortName, "none"}, "none"}, {"KVL_RegSet", {shortName, "1"}, "0"},
      {"KVL_RegGet", {"CU", "none"}, "none"}, {"KVL_RegSet", {"CU", "1"}, "0"},
      {"KVL_RegGet", {"DD\\x\\y", "none"}, "none"}, {"KVL_RegGet", {"PD\\x\\y", "none"}, "none"},
      {"KVL_RegSet", {key + std::string("n\0y", 3), "1"}, "0"},  // a NUL would cut the path
  });
  EXPECT_EQ(plugin.call("KVL_RegGet", {"LM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRoot"}) + "\\",
            PlatformFolder(GetWindowsDirectoryA));
  // One backslash: a value of the root key itself.
  const std::string name = "KorvelTest" + std::to_string(GetCurrentProcessId());
  EXPECT_EQ(plugin.call("KVL_RegSet", {"CU\\" + name, "at the root"}), "1");
  EXPECT_EQ(plugin.call("KVL_RegGet", {"Cu\\" + name}), "at the root");
  EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, name.c_str()), ERROR_SUCCESS);
}

TEST_F(SystemMacros, ValuesStoredByOthersKeepEveryCharacter) {
  for (const auto& [type, bytes, read] : std::vector<std::tuple<DWORD, std::string, std::string>>{
           {REG_SZ, "abc", "abc"}, {REG_SZ, std::string("abc\0", 4), "abc"}, {REG_SZ, "", ""},
           {REG_EXPAND_SZ, "%x%", "%x%"}, {REG_MULTI_SZ, std::string("a\0b", 3), "a\r\nb"},
           {REG_MULTI_SZ, std::string("a\0b\0\0", 5), "a\r\nb\r\n"},
           {REG_DWORD, "\xFF\xFF\xFF", "none"},  // a DWORD is exactly four bytes
           {REG_DWORD, "\x01\x02\x03\x04", "67305985"}, {REG_DWORD, "\x01\x02\x03\x04\x05", "none"},
           {REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04", "16909060"}, {REG_BINARY, "ab", "none"},
           {REG_QWORD, "\1\1\1\1\1\1\1\1", "none"}}) {
    test.setRaw("v", type, bytes);
    EXPECT_EQ(plugin.call("KVL_RegGet", {key + "v", "none"}), read) << type << " " << bytes;
  }
}

TEST_F(SystemMacros, IniValuesAreWrittenAndReadUpTo10239Characters) {
  const std::string ini = folder.path() + "mail.ini";
  EXPECT_EQ(plugin.call("KVL_IniSet", {ini, "Mail", "Sig", "Tom"}), "");
  expectResults({{"KVL_IniGet", {ini, "mail", "SIG"}, "Tom"}, {"KVL_IniGet", {ini, "Mail", "Other", "none"}, "none"},
                 {"KVL_IniGet", {ini, "Mail", "Other"}, ""},
                 {"KVL_IniSet", {ini + "\\no.ini", "Mail", "Sig", "Tom"}, kNoSuccess}});
  // A line break would write lines of its own into the file.
  for (const std::string& bad : Strings{"a\r\nb", "a\nb", "a\rb", std::string("a\0b", 3)}) {
    EXPECT_EQ(plugin.call("KVL_IniSet", {ini, "Mail", "Sig", bad}), kValueError);
    EXPECT_EQ(plugin.call("KVL_IniSet", {ini, bad, "Sig", "x"}) + plugin.call("KVL_IniSet", {ini, "M", bad, "x"}),
              kValueError + kValueError);
  }
  EXPECT_EQ(kvltest::FileText(ini), "[Mail]\r\nSig=Tom\r\n");
  for (const std::size_t length : {10239u, 10240u}) {
    EXPECT_EQ(plugin.call("KVL_IniSet", {ini, "S", "k", std::string(length, 'v')}), "");
    EXPECT_EQ(plugin.call("KVL_IniGet", {ini, "S", "k"}), std::string(10239, 'v')) << length;
  }
}

TEST_F(SystemMacros, EnvironmentVariablesOfAnyLength) {
  for (const std::size_t length : {1u, 260u, 32766u}) {
    SetEnvironmentVariableA("KORVEL_TEST", std::string(length, 'e').c_str());
    EXPECT_EQ(plugin.call("KVL_Envir", {"korvel_test"}), std::string(length, 'e'));
  }
  SetEnvironmentVariableA("KORVEL_TEST", nullptr);
  EXPECT_EQ(plugin.call("KVL_Envir", {"KORVEL_TEST"}) + plugin.call("KVL_Envir", {""}), "");
  EXPECT_EQ(plugin.call("KVL_Envir", {"OS"}), "Windows_NT");
}

TEST_F(SystemMacros, WellKnownFolders) {
  std::array<char, MAX_PATH> temp{};
  expectResults({
      {"KVL_GetPath", {"WinDir"}, PlatformFolder(GetWindowsDirectoryA)},
      {"KVL_GetPath", {"sysdir"}, PlatformFolder(GetSystemDirectoryA)},
      {"KVL_GetPath", {"MyTemp"}, std::string(temp.data(), GetTempPathA(MAX_PATH, temp.data()))},
      {"KVL_GetPath", {"myrecent"}, ShellFolder(CSIDL_RECENT)},
      {"KVL_GetPath", {"MYDESKTOP"}, ShellFolder(CSIDL_DESKTOPDIRECTORY)},
      {"KVL_GetPath", {"myfiles"}, ShellFolder(CSIDL_PERSONAL)}, {"KVL_GetPath", {"kvlpath"}, folder.path()},
      // Other names are values under Shell Folders; a missing one is a lone backslash.
      {"KVL_GetPath", {"AppData"}, ShellFolder(CSIDL_APPDATA)}, {"KVL_GetPath", {"no such folder"}, "\\"},
  });
}

TEST_F(SystemMacros, HostWorkingFolderFromTheRegistry) {
  EXPECT_EQ(plugin.call("KVL_GetPath", {"ZRWORK"}), "\\");
  const TestKey company("Software\\Quennet");  // removed again only when the test made it
  const TestKey host("Software\\Quennet\\Zorbel");
  SetEnvironmentVariableA("KORVEL_TEST_DRIVE", " C:\\Mail ");
  host.setRaw("Working Directory", REG_EXPAND_SZ, std::string(" %KORVEL_TEST_DRIVE%\\Work\\ ") + '\0');
  EXPECT_EQ(plugin.call("KVL_GetPath", {"zrwork"}), "C:\\Mail \\Work\\");
  host.setRaw("Working Directory", REG_SZ, "\tD:\\Zorbel\t");
  EXPECT_EQ(plugin.call("KVL_GetPath", {"ZRWORK"}), "D:\\Zorbel\\");
  SetEnvironmentVariableA("KORVEL_TEST_DRIVE", std::string(300, 'w').c_str());  // longer than a path buffer
  host.setRaw("Working Directory", REG_EXPAND_SZ, "%KORVEL_TEST_DRIVE%");
  EXPECT_EQ(plugin.call("KVL_GetPath", {"ZRWORK"}), std::string(300, 'w') + "\\");
  SetEnvironmentVariableA("KORVEL_TEST_DRIVE", nullptr);
}

// What IniSet writes reads back as written, from the file itself: a key holding "=" or
// beginning with "[", or a section holding "]", would read as another key or section.
TEST_F(SystemMacros, IniSetRefusesWhatWouldReadBackAsSomethingElse) {
  const std::string ini = folder.path() + "back.ini";
  for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
           {"S", "k=x"}, {"S", "="}, {"S", "[k"}, {"S", " \t[k]"}, {"S]x", "k"}, {"[S]", "k"}}) {
    EXPECT_EQ(plugin.call("KVL_IniSet", {ini, section, key, "v"}), kValueError) << section << " " << key;
  }
  EXPECT_FALSE(folder.exists("back.ini"));
  // Close to them but sound: "]" in a key, "[" in a section, "=" and brackets in a value.
  EXPECT_EQ(plugin.call("KVL_IniSet", {ini, "S[x", "k]", "=[v]="}), "");
  EXPECT_EQ(kvltest::FileText(ini), "[S[x]\r\nk]==[v]=\r\n");
}

// Sections, keys, values and defaults reach the profile functions up to 32 766
// characters; Wine crashed on a section or value of 32 767.
TEST_F(SystemMacros, IniTextsUpTo32766Characters) {
  const std::string ini = folder.path() + "long.ini";
  const std::string fits(32766, 's');
  const std::string over(32767, 's');
  EXPECT_EQ(plugin.call("KVL_IniSet", {ini, fits, "k", "v"}) + plugin.call("KVL_IniSet", {ini, "S", fits, "v"}), "");
  expectResults({{"KVL_IniGet", {ini, fits, "k", "none"}, "v"}, {"KVL_IniGet", {ini, "S", fits, "none"}, "v"},
                 {"KVL_IniSet", {ini, "S", "k", fits}, ""}, {"KVL_IniGet", {ini, "S", "missing", fits}, std::string(10239, 's')}});
  for (const std::string& text : {over, std::string(100000, 's')}) {
    expectResults({
        {"KVL_IniSet", {ini, text, "k", "v"}, kNoSuccess}, {"KVL_IniSet", {ini, "S", text, "v"}, kNoSuccess},
        {"KVL_IniSet", {ini, "S", "k", text}, kNoSuccess}, {"KVL_IniGet", {ini, text, "k", "none"}, "none"},
        {"KVL_IniGet", {ini, "S", text, "none"}, "none"},
        {"KVL_IniGet", {ini, "S", "k", text}, text},  // refused: the default
    });
  }
  // Names of any length: the longest the platform converts, and the ones that crashed it.
  for (const std::size_t length : {32766u, 32767u, 40000u, 100000u})
    EXPECT_EQ(plugin.call("KVL_Envir", {std::string(length, 'E')}), "") << length;
}

}  // namespace
