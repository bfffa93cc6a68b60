// The file macros against the real file system, in a fresh folder per test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/TestPlugin.h"

namespace {

const std::string kCountError = " *** ERROR: Wrong parameter count *** ";

class FileMacros : public ::testing::Test {
 protected:
  std::string Call(const std::string& name, const std::vector<std::string>& args = {}) {
    return plugin.call(name, args);
  }
  std::string At(const std::string& name) const { return folder.path() + name; }
  std::string Read(const std::string& name) const {
    std::ifstream in(At(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

TEST_F(FileMacros, AttributesRoundTrip) {
  folder.write("a.txt", "x");
  // Wine reports the archive bit on every file whatever was set; R, H and S are kept.
  EXPECT_EQ(Call("KVL_AttrSet", {At("a.txt"), "hr"}), "1");
  EXPECT_EQ(Call("KVL_AttrGet", {At("a.txt")}), "RAH");
  EXPECT_EQ(Call("KVL_AttrSet", {At("a.txt"), "Sa q"}), "1");
  EXPECT_EQ(Call("KVL_AttrGet", {At("a.txt")}), "AS");
  EXPECT_EQ(Call("KVL_AttrSet", {At("a.txt")}), "1");  // clears all four
  EXPECT_EQ(Call("KVL_AttrGet", {At("a.txt")}), "A");
  EXPECT_EQ(Call("KVL_AttrGet", {folder.path()}).back(), 'D');
  EXPECT_EQ(Call("KVL_AttrGet", {At("missing")}), "*");
  EXPECT_EQ(Call("KVL_AttrSet", {At("missing"), "r"}), "0");
  EXPECT_EQ(Call("KVL_AttrGet", {At("a"), "b"}), kCountError);
}

TEST_F(FileMacros, FoldersAndExistence) {
  EXPECT_EQ(Call("KVL_DirCreate", {At("a\\b\\c")}), "1");
  EXPECT_EQ(Call("KVL_DirExist", {At("a\\b\\c")}), "1");
  EXPECT_EQ(Call("KVL_FileExist", {At("a\\b\\c")}), "0");
  // The walk stops at the first empty item: a trailing backslash is harmless, a doubled one ends it.
  EXPECT_EQ(Call("KVL_DirCreate", {At("t\\u\\")}), "1");
  EXPECT_EQ(Call("KVL_DirCreate", {At("p\\\\q")}), "0");
  EXPECT_EQ(Call("KVL_DirExist", {At("p")}), "1");
  EXPECT_EQ(Call("KVL_DirExist", {At("p\\q")}), "0");
  folder.write("f.txt", "");
  EXPECT_EQ(Call("KVL_FileExist", {At("f.txt")}), "1");
  EXPECT_EQ(Call("KVL_DirExist", {At("f.txt")}), "0");
  EXPECT_EQ(Call("KVL_TempDir", {"x"}), kCountError);
  const std::string temp = Call("KVL_TempDir");
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_EQ(Call("KVL_DirExist", {temp}), "1");
  const std::string made = Call("KVL_TempFile");
  EXPECT_TRUE(made.starts_with(temp + "KVL")) << made;
  EXPECT_TRUE(made.ends_with(".tmp")) << made;
  EXPECT_EQ(Call("KVL_FileExist", {made}), "1");
  DeleteFileA(made.c_str());
}

TEST_F(FileMacros, AppendingCopyingMovingDeleting) {
  EXPECT_EQ(Call("KVL_FileAddLn", {At("log.txt"), "first"}), "1");
  EXPECT_EQ(Call("KVL_FileAddLn", {At("log.txt"), ""}), "1");
  EXPECT_EQ(Read("log.txt"), "first\r\n\r\n");
  EXPECT_EQ(Call("KVL_FileAddLn", {folder.path(), "x"}), "0");  // a folder cannot take a line
  folder.write("a.txt", "A");
  folder.write("b.txt", "B");
  EXPECT_EQ(Call("KVL_DirCreate", {At("to")}), "1");
  EXPECT_EQ(Call("KVL_FileCopy", {At("a.txt") + "|" + At("b.txt"), At("to")}), "1");
  EXPECT_EQ(Read("to\\a.txt") + Read("to\\b.txt"), "AB");
  EXPECT_EQ(Call("KVL_FileMove", {At("a.txt"), At("moved.txt")}), "1");
  EXPECT_FALSE(folder.exists("a.txt"));
  EXPECT_EQ(Read("moved.txt"), "A");
  EXPECT_EQ(Call("KVL_FileDel", {At("moved.txt") + "|" + At("b.txt")}), "1");
  EXPECT_FALSE(folder.exists("moved.txt"));
  EXPECT_FALSE(folder.exists("b.txt"));
  EXPECT_EQ(Call("KVL_FileCopy", {At("none.txt"), At("to")}), "0");
}

TEST_F(FileMacros, LinesAndCounts) {
  folder.write("l.txt", "l1\r\nl2\nl3\rdropped\nl4");
  EXPECT_EQ(Call("KVL_FileLines", {At("l.txt")}), "l1\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("l.txt"), "0", "-5"}), "l1\r\nl2\r\nl3\r\nl4\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("l.txt"), "2", "2"}), "l2\r\nl3\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("l.txt"), "4", "0"}), "l4\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("l.txt"), "5", "0"}), "");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("l.txt")}), "4");
  folder.write("oem.txt", "gr\x81n\r\n");  // "grün" in the OEM code page 437
  EXPECT_EQ(Call("KVL_FileLines", {At("oem.txt"), "1", "1", "1"}), "gr\xFCn\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("oem.txt"), "1", "1", "2"}), "gr\x81n\r\n");
  folder.write("empty.txt", "");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("empty.txt")}), "0");
  folder.write("ended.txt", "a\nb\n");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("ended.txt")}), "2");
  // A block boundary (64 KiB) inside a line and inside a CR LF.
  folder.write("big.txt", std::string(65535, 'x') + "\r\n" + std::string(70000, 'y') + "\r\nz");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("big.txt")}), "3");
  EXPECT_EQ(Call("KVL_FileLines", {At("big.txt"), "2"}), std::string(70000, 'y') + "\r\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("missing.txt")}), "");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("missing.txt")}), "");
}

TEST_F(FileMacros, LinesUpToTheResultCap) {
  constexpr std::size_t kCap = 64u << 20;  // the plug-in's largest result
  folder.write("cap.txt", std::string(kCap - 2, 'c') + "\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("cap.txt")}).size(), kCap);
  folder.write("over.txt", std::string(kCap - 1, 'c') + "\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("over.txt")}), " *** ERROR: Wrong parameter value *** ");
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("over.txt")}), "1");
}

TEST_F(FileMacros, SizesIncludingFilesBeyondTwoGigabytes) {
  folder.write("m.bin", std::string(1'500'000, 'm'));
  EXPECT_EQ(Call("KVL_FileSize", {At("m.bin"), "m"}), "1.43");
  EXPECT_EQ(Call("KVL_FileSize", {At("m.bin"), "X"}), "1500000");
  EXPECT_EQ(Call("KVL_FileSize", {At("m.bin")}), "1500000");
  folder.write("k.bin", std::string(1536, 'k'));
  EXPECT_EQ(Call("KVL_FileSize", {At("k.bin"), "K"}), "1.5");
  folder.write("k2.bin", std::string(2048, 'k'));
  EXPECT_EQ(Call("KVL_FileSize", {At("k2.bin"), "k"}), "2");
  EXPECT_EQ(Call("KVL_FileSize", {At("k2.bin"), "kb"}), "2048");
  // 3 GiB, sparse: the size is 64-bit.
  folder.write("huge.bin", "");
  std::filesystem::resize_file(std::filesystem::path(At("huge.bin")), 3ull << 30);
  EXPECT_EQ(Call("KVL_FileSize", {At("huge.bin"), "g"}), "3");
  EXPECT_EQ(Call("KVL_FileSize", {At("huge.bin")}), "3221225472");
  EXPECT_EQ(Call("KVL_FileSize", {At("missing.bin")}), " *** Action not successfully *** ");
}

TEST_F(FileMacros, NamesTimesOwnersAndVersions) {
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt"}), "note.txt");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "d"}), "C:");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "P"}), "C:\\Data\\Mail\\");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "V"}), "\\Data\\Mail\\");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "f"}), "note");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "E"}), ".txt");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\Data\\Mail\\note.txt", "zz"}), "note.txt");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\file.txt", "v"}), "\\");
  EXPECT_EQ(Call("KVL_FileName", {"C:\\a.b\\noext", "E"}), "");
  EXPECT_EQ(Call("KVL_FileName", {"\\\\server\\share\\x.txt", "D"}), "\\\\server\\share");
  folder.write("t.txt", "x");
  EXPECT_FALSE(Call("KVL_FileName", {At("t.txt"), "t"}).empty());

  SYSTEMTIME now{};
  GetLocalTime(&now);
  char today[16];
  std::snprintf(today, sizeof today, "%02d/%02d/%04d", now.wDay, now.wMonth, now.wYear);
  EXPECT_EQ(Call("KVL_FileTime", {At("t.txt"), " m ", "dd//mm//yyyy"}), today);
  EXPECT_EQ(Call("KVL_FileTime", {At("t.txt"), "C", "dd//mm//yyyy"}), today);
  EXPECT_EQ(Call("KVL_FileTime", {At("t.txt"), "a"}).find(':'), std::string::npos);  // the date alone
  EXPECT_NE(Call("KVL_FileTime", {At("t.txt"), "M"}).find(':'), std::string::npos);
  EXPECT_EQ(Call("KVL_FileTime", {At("t.txt"), "X"}), "");
  EXPECT_EQ(Call("KVL_FileTime", {At("none.txt"), "M"}), "");

  EXPECT_NE(Call("KVL_FileOwner", {At("t.txt")}), "");
  EXPECT_EQ(Call("KVL_FileOwner", {At("none.txt")}), "");
  EXPECT_EQ(Call("KVL_FileLong", {At("t.txt")}), At("t.txt"));
  EXPECT_EQ(Call("KVL_FileLong", {At("none.txt")}), "");
  EXPECT_NE(Call("KVL_FileShort", {At("t.txt")}), "");
  EXPECT_EQ(Call("KVL_FileShort", {At("none.txt")}), "");
  EXPECT_EQ(Call("KVL_FileInfo", {folder.pluginPath(), "FileVersion"}), "1.0.0.0");
  EXPECT_EQ(Call("KVL_FileInfo", {At("t.txt"), "FileVersion"}), "");

  EXPECT_EQ(Call("KVL_FileInUse", {At("t.txt")}), "0");
  EXPECT_EQ(Call("KVL_FileInUse", {At("none.txt")}), "1");
  const HANDLE held = CreateFileA(At("t.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Call("KVL_FileInUse", {At("t.txt")}), "1");
  CloseHandle(held);
}

}  // namespace
