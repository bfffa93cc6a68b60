// The file macros against the real file system, in a fresh folder per test.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::kNoSuccess;

class FileMacros : public kvltest::PluginTest {
 protected:
  std::string At(const std::string& name) const { return folder.path() + name; }
  std::string Read(const std::string& name) const { return kvltest::FileText(At(name)); }
};

TEST_F(FileMacros, AttributesRoundTrip) {
  folder.write("a.txt", "x");
  // Wine reports the archive bit on every file whatever was set; R, H and S are kept.
  const std::string a = At("a.txt");
  expectResults({{"KVL_AttrSet", {a, "hr"}, "1"}, {"KVL_AttrGet", {a}, "RAH"}, {"KVL_AttrSet", {a, "Sa q"}, "1"},
                 {"KVL_AttrGet", {a}, "AS"}, {"KVL_AttrSet", {a}, "1"},  // clears all four
                 {"KVL_AttrGet", {a}, "A"}, {"KVL_AttrGet", {At("missing")}, "*"},
                 {"KVL_AttrSet", {At("missing"), "r"}, "0"}});
  EXPECT_EQ(Call("KVL_AttrGet", {folder.path()}).back(), 'D');
}

TEST_F(FileMacros, FoldersAndExistence) {
  folder.write("f.txt", "");
  expectResults({
      {"KVL_DirCreate", {At("a\\b\\c")}, "1"}, {"KVL_DirExist", {At("a\\b\\c")}, "1"},
      {"KVL_FileExist", {At("a\\b\\c")}, "0"},
      // The walk stops at the first empty item: a trailing backslash is harmless, a doubled one ends it.
      {"KVL_DirCreate", {At("t\\u\\")}, "1"}, {"KVL_DirCreate", {At("p\\\\q")}, "0"},
      {"KVL_DirExist", {At("p")}, "1"}, {"KVL_DirExist", {At("p\\q")}, "0"},
      {"KVL_FileExist", {At("f.txt")}, "1"}, {"KVL_DirExist", {At("f.txt")}, "0"},
  });
}

TEST_F(FileMacros, AppendingCopyingMovingDeleting) {
  folder.write("a.txt", "A");
  folder.write("b.txt", "B");
  expectResults({{"KVL_FileAddLn", {At("log.txt"), "first"}, "1"}, {"KVL_FileAddLn", {At("log.txt"), ""}, "1"},
                 {"KVL_FileAddLn", {folder.path(), "x"}, "0"},  // a folder cannot take a line
                 {"KVL_DirCreate", {At("to")}, "1"}, {"KVL_FileCopy", {At("a.txt") + "|" + At("b.txt"), At("to")}, "1"}});
  EXPECT_EQ(Read("log.txt") + Read("to\\a.txt") + Read("to\\b.txt"), "first\r\n\r\nAB");
  EXPECT_EQ(Call("KVL_FileMove", {At("a.txt"), At("moved.txt")}), "1");
  EXPECT_FALSE(folder.exists("a.txt"));
  EXPECT_EQ(Read("moved.txt"), "A");
  EXPECT_EQ(Call("KVL_FileDel", {At("moved.txt") + "|" + At("b.txt")}), "1");
  EXPECT_FALSE(folder.exists("moved.txt") || folder.exists("b.txt"));
  EXPECT_EQ(Call("KVL_FileCopy", {At("none.txt"), At("to")}), "0");
}

TEST_F(FileMacros, LinesAndCounts) {
  folder.write("l.txt", "l1\r\nl2\nl3\rdropped\nl4");
  folder.write("oem.txt", "gr\x81n\r\n");  // "grün" in the OEM code page 437
  folder.write("empty.txt", "");
  folder.write("ended.txt", "a\nb\n");
  // A block boundary (64 KiB) inside a line and inside a CR LF.
  folder.write("big.txt", std::string(65535, 'x') + "\r\n" + std::string(70000, 'y') + "\r\nz");
  expectResults({
      {"KVL_FileLines", {At("l.txt")}, "l1\r\n"}, {"KVL_FileLines", {At("l.txt"), "0", "-5"}, "l1\r\nl2\r\nl3\r\nl4\r\n"},
      {"KVL_FileLines", {At("l.txt"), "2", "2"}, "l2\r\nl3\r\n"}, {"KVL_FileLines", {At("l.txt"), "4", "0"}, "l4\r\n"},
      {"KVL_FileLines", {At("l.txt"), "5", "0"}, ""}, {"KVL_FileLnCnt", {At("l.txt")}, "4"},
      {"KVL_FileLines", {At("oem.txt"), "1", "1", "1"}, "gr\xFCn\r\n"},
      {"KVL_FileLines", {At("oem.txt"), "1", "1", "2"}, "gr\x81n\r\n"},
      {"KVL_FileLnCnt", {At("empty.txt")}, "0"}, {"KVL_FileLnCnt", {At("ended.txt")}, "2"},
      {"KVL_FileLnCnt", {At("big.txt")}, "3"}, {"KVL_FileLines", {At("big.txt"), "2"}, std::string(70000, 'y') + "\r\n"},
      {"KVL_FileLines", {At("missing.txt")}, ""}, {"KVL_FileLnCnt", {At("missing.txt")}, ""},
  });
}

TEST_F(FileMacros, LinesUpToTheResultCap) {
  constexpr std::size_t kCap = 64u << 20;  // the plug-in's largest result
  folder.write("cap.txt", std::string(kCap - 2, 'c') + "\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("cap.txt")}).size(), kCap);
  folder.write("over.txt", std::string(kCap - 1, 'c') + "\n");
  EXPECT_EQ(Call("KVL_FileLines", {At("over.txt")}), kvltest::kValueError);
  EXPECT_EQ(Call("KVL_FileLnCnt", {At("over.txt")}), "1");
}

TEST_F(FileMacros, SizesIncludingFilesBeyondTwoGigabytes) {
  folder.write("m.bin", std::string(1'500'000, 'm'));
  folder.write("k.bin", std::string(1536, 'k'));
  folder.write("k2.bin", std::string(2048, 'k'));
  // 3 GiB, sparse: the size is 64-bit.
  folder.write("huge.bin", "");
  std::filesystem::resize_file(std::filesystem::path(At("huge.bin")), 3ull << 30);
  expectResults({
      {"KVL_FileSize", {At("m.bin"), "m"}, "1.43"}, {"KVL_FileSize", {At("m.bin"), "X"}, "1500000"},
      {"KVL_FileSize", {At("m.bin")}, "1500000"}, {"KVL_FileSize", {At("k.bin"), "K"}, "1.5"},
      {"KVL_FileSize", {At("k2.bin"), "k"}, "2"}, {"KVL_FileSize", {At("k2.bin"), "kb"}, "2048"},
      {"KVL_FileSize", {At("huge.bin"), "g"}, "3"}, {"KVL_FileSize", {At("huge.bin")}, "3221225472"},
      {"KVL_FileSize", {At("missing.bin")}, kNoSuccess},
  });
}

TEST_F(FileMacros, NamesTimesOwnersAndVersions) {
  const std::string note = "C:\\Data\\Mail\\note.txt";
  expectResults({
      {"KVL_FileName", {note}, "note.txt"}, {"KVL_FileName", {note, "d"}, "C:"},
      {"KVL_FileName", {note, "P"}, "C:\\Data\\Mail\\"}, {"KVL_FileName", {note, "V"}, "\\Data\\Mail\\"},
      {"KVL_FileName", {note, "f"}, "note"}, {"KVL_FileName", {note, "E"}, ".txt"},
      {"KVL_FileName", {note, "zz"}, "note.txt"}, {"KVL_FileName", {"C:\\file.txt", "v"}, "\\"},
      {"KVL_FileName", {"C:\\a.b\\noext", "E"}, ""},
      {"KVL_FileName", {"\\\\server\\share\\x.txt", "D"}, "\\\\server\\share"},
  });
  folder.write("t.txt", "x");
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char today[16];
  std::snprintf(today, sizeof today, "%02d/%02d/%04d", now.wDay, now.wMonth, now.wYear);
  EXPECT_EQ(Call("KVL_FileTime", {At("t.txt"), "a"}).find(':'), std::string::npos);  // the date alone
  EXPECT_NE(Call("KVL_FileTime", {At("t.txt"), "M"}).find(':'), std::string::npos);
  expectResults({
      {"KVL_FileTime", {At("t.txt"), " m ", "dd//mm//yyyy"}, today}, {"KVL_FileTime", {At("t.txt"), "C", "dd//mm//yyyy"}, today},
      {"KVL_FileTime", {At("t.txt"), "X"}, ""}, {"KVL_FileTime", {At("none.txt"), "M"}, ""},
      {"KVL_FileOwner", {At("none.txt")}, ""}, {"KVL_FileLong", {At("t.txt")}, At("t.txt")},
      {"KVL_FileLong", {At("none.txt")}, ""}, {"KVL_FileShort", {At("none.txt")}, ""},
      {"KVL_FileInfo", {folder.pluginPath(), "FileVersion"}, "1.0.0.0"}, {"KVL_FileInfo", {At("t.txt"), "FileVersion"}, ""},
      {"KVL_FileInUse", {At("t.txt")}, "0"}, {"KVL_FileInUse", {At("none.txt")}, "1"},
  });
  const HANDLE held = CreateFileA(At("t.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Call("KVL_FileInUse", {At("t.txt")}), "1");
  CloseHandle(held);
}

// A file whose whole path has exactly `length` characters, made through the platform's
// wide functions (which take any length): a sub-folder of the test folder and a name.
std::string FileOfPathLength(const kvltest::PluginFolder& folder, std::size_t length, const std::string& content) {
  const std::string sub = folder.path() + std::string(200 - folder.path().size(), 'd');
  std::filesystem::create_directories(sub);
  const std::string path = sub + "\\" + std::string(length - sub.size() - 1, 'f');
  std::ofstream(std::filesystem::path(path), std::ios::binary) << content;
  return path;
}

// Every path argument is refused before the platform sees it once it fills a path
// buffer (260 characters and more): the shell's file operation overran a fixed buffer
// with such paths and crashed the mail client. 259 characters still work.
TEST_F(FileMacros, PathsUpTo259CharactersReachThePlatformLongerOnesAreRefused) {
  folder.write("a.ini", "");
  for (const std::size_t length : {259u, 260u}) {
    const bool fits = length == 259;
    const std::string file = FileOfPathLength(folder, length, "[S]\r\nk=v\r\n");
    const std::string sibling = file.substr(0, file.size() - 1);  // names of the same length
    folder.write("m.txt", "m");
    std::filesystem::copy_file(folder.pluginPath(), std::filesystem::path(sibling + "v"));
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(file))) << length;
    struct Case {
      std::string macro;
      std::vector<std::string> args;
      std::string fitting, refused;
    };
    for (const Case& c : std::vector<Case>{
             {"KVL_FileExist", {file}, "1", "0"},
             {"KVL_AttrGet", {file}, "A", "*"},
             {"KVL_AttrSet", {file, "a"}, "1", "0"},
             {"KVL_FileLnCnt", {file}, "2", ""},
             {"KVL_FileLines", {file, "2"}, "k=v\r\n", ""},
             {"KVL_FileSize", {file}, "10", kNoSuccess},
             {"KVL_FileInUse", {file}, "0", "1"},
             {"KVL_FileInfo", {sibling + "v", "FileVersion"}, "1.0.0.0", ""},
             {"KVL_FileLong", {file}, file, ""},
             {"KVL_CRC32", {"FN", file, "{H}"}, "0E6A295A\r\n", "00000000\r\n"},
             {"KVL_IniGet", {file, "S", "k", "none"}, "v", "none"},
             {"KVL_IniSet", {file, "S", "n", "w"}, "", kNoSuccess},
             {"KVL_IniGet", {file, "S", "n", "none"}, "w", "none"},
             {"KVL_FileAddLn", {file, "x"}, "1", "0"},
             {"KVL_FileCopy", {file, At("copy.txt")}, "1", "0"},
             {"KVL_FileCopy", {At("a.ini"), sibling + "c"}, "1", "0"},
             {"KVL_FileMove", {At("m.txt"), sibling + "m"}, "1", "0"},
             {"KVL_DirCreate", {sibling + "d"}, "1", "0"},
             {"KVL_FileDel", {file + "|" + sibling + "c"}, "1", "0"},
         }) {
      EXPECT_EQ(Call(c.macro, c.args), fits ? c.fitting : c.refused) << c.macro << " at " << length;
    }
    EXPECT_NE(Call("KVL_FileOwner", {sibling + "m"}).empty(), fits);
    EXPECT_NE(Call("KVL_FileShort", {sibling + "m"}).empty(), fits);
    EXPECT_NE(Call("KVL_FileName", {sibling + "m", "T"}).empty(), fits);
    EXPECT_NE(Call("KVL_FileTime", {sibling + "m", "M"}).empty(), fits);
    std::filesystem::remove_all(std::filesystem::path(folder.path() + std::string(200 - folder.path().size(), 'd')));
  }
  // The lengths that crashed, as sources, targets and in a list; a NUL would cut the name.
  for (const std::string& path : {"C:\\t\\" + std::string(600, 'z'), std::string(40000, 'z')}) {
    EXPECT_EQ(Call("KVL_FileDel", {path}), "0");
    EXPECT_EQ(Call("KVL_FileCopy", {path, folder.path()}), "0");
    EXPECT_EQ(Call("KVL_FileMove", {At("a.ini"), path}), "0");
    EXPECT_EQ(Call("KVL_FileDel", {At("a.ini") + "|" + path}), "0");
    EXPECT_EQ(Call("KVL_FileInfo", {path, "FileVersion"}), "");
  }
  EXPECT_EQ(Call("KVL_FileDel", {At("a.ini") + std::string("\0", 1) + At("b")}), "0");
  EXPECT_TRUE(folder.exists("a.ini"));
}

// A name that names nothing fails the whole operation before anything is done (the
// shell's delete reported success for it); empty items are left out; wildcards and
// folders stay the shell's: every match, a folder with its contents.
TEST_F(FileMacros, ShellOperationsNeedSomethingToWorkOn) {
  folder.write("a.txt", "A");
  expectResults({{"KVL_FileDel", {At("missing.txt")}, "0"}, {"KVL_FileDel", {At("a.txt") + "|" + At("missing.txt")}, "0"},
                 {"KVL_FileMove", {At("missing.txt"), At("b.txt")}, "0"}, {"KVL_FileDel", {"|"}, "0"}});
  EXPECT_TRUE(folder.exists("a.txt"));
  folder.write("b.txt", "B");
  EXPECT_EQ(Call("KVL_FileDel", {At("a.txt") + "||" + At("b.txt") + "|"}), "1");
  EXPECT_FALSE(folder.exists("a.txt") || folder.exists("b.txt"));
  for (const char* name : {"w1.log", "w2.log", "keep.txt", "sub\\deeper\\x.txt"}) {
    std::filesystem::create_directories(std::filesystem::path(At(name)).parent_path());
    folder.write(name, "");
  }
  expectResults({{"KVL_FileDel", {At("w?.log")}, "1"}, {"KVL_FileDel", {At("*.none")}, "0"},
                 {"KVL_FileDel", {At("sub")}, "1"}});
  EXPECT_FALSE(folder.exists("w1.log") || folder.exists("w2.log") || folder.exists("sub"));
  EXPECT_TRUE(folder.exists("keep.txt"));
}

// Devices and folders open, but a read of COM1 (a serial line under Wine) or CONIN$
// waits for ever: only files on a disk are read or written, the rest answers as a
// file that cannot be read. The kinds that cannot block come first and stop the test
// at their first wrong answer, before COM1 could hang it.
TEST_F(FileMacros, DevicesAndFoldersAreNeverReadOrWritten) {
  for (const std::string& name : std::vector<std::string>{"NUL", "\\\\.\\NUL", folder.path(), "CONOUT$", "COM1", "LPT1",
                                                          "CON", "CONIN$", "\\\\.\\COM1", "COM1.txt"}) {
    // Names the platform reports as files exist, but cannot be read.
    const std::string unreadable = Call("KVL_FileExist", {name}) == "1" ? kNoSuccess : "";
    ASSERT_EQ(Call("KVL_FileLnCnt", {name}), unreadable) << name;
    ASSERT_EQ(Call("KVL_FileLines", {name}), unreadable) << name;
    ASSERT_EQ(Call("KVL_FileSize", {name}), kNoSuccess) << name;
    ASSERT_EQ(Call("KVL_FileTime", {name, "M"}), "") << name;
    ASSERT_EQ(Call("KVL_FileAddLn", {name, "x"}), "0") << name;
    ASSERT_EQ(Call("KVL_CRC32", {"FN", name, "{H}"}), "00000000\r\n") << name;
    EXPECT_EQ(Call("KVL_MD5", {"FN", name, "{H}"}), "D41D8CD98F00B204E9800998ECF8427E\r\n") << name;
    EXPECT_EQ(Call("KVL_SHA1", {"FN", name, "{H}"}), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709\r\n") << name;
    EXPECT_EQ(Call("KVL_FileInfo", {name, "FileVersion"}), "") << name;
    EXPECT_EQ(Call("KVL_UrlDldFile", {"http://127.0.0.1:1/", name}), "0") << name;
  }
  // Listed, never handed to the host to attach (the mail client would read it).
  EXPECT_EQ(Call("KVL_CRC32", {"F", "NUL|COM1|CON"}), "NUL 00000000\r\nCOM1 00000000\r\nCON 00000000\r\n");
  EXPECT_TRUE(plugin.session.attachments.empty());
}

// Random four-digit names made with create-new semantics: never a file that was there;
// no name to be had (here: no folder) is no success.
TEST_F(FileMacros, TempFilesAreNewOrNoSuccess) {
  std::array<char, MAX_PATH> saved{};
  GetEnvironmentVariableA("TMP", saved.data(), MAX_PATH);
  const std::string temp = folder.path() + "temp\\";
  std::filesystem::create_directories(temp);
  SetEnvironmentVariableA("TMP", temp.c_str());
  EXPECT_EQ(Call("KVL_TempDir"), temp);
  const std::string made = Call("KVL_TempFile");
  ASSERT_EQ(made.size(), temp.size() + 11) << made;
  EXPECT_EQ(made.substr(0, temp.size() + 3), temp + "KVL");
  EXPECT_EQ(made.find_first_not_of("0123456789ABCDEF", temp.size() + 3), temp.size() + 7) << made;
  EXPECT_TRUE(made.ends_with(".tmp"));
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(made)), 0u);
  // A name drawn again is never handed out twice: 1 500 draws of 65 536 numbers
  // repeat one with a chance of 1 - e^-17.
  std::set<std::string> names{made};
  for (int i = 0; i < 1500; ++i) names.insert(Call("KVL_TempFile"));
  EXPECT_EQ(names.size(), 1501u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp), {}), 1501);
  SetEnvironmentVariableA("TMP", (temp + "missing\\").c_str());
  EXPECT_EQ(Call("KVL_TempFile"), kNoSuccess);
  SetEnvironmentVariableA("TMP", saved.data());
}

}  // namespace
