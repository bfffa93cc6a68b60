// Checksums, checksum lists and attachments through the exports. Python's zlib and
// hashlib, md5sum, sha1sum and cksfv check the same macros in tests/checksum_peers.py.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/e2e/TestPlugin.h"

namespace {

constexpr const char* kCountError = " *** ERROR: Wrong parameter count *** ";
constexpr const char* kMd5OfNothing = "D41D8CD98F00B204E9800998ECF8427E";
constexpr const char* kSha1OfNothing = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> Logged(const kvlhost::TextLog& log) { return {log.begin(), log.end()}; }

class ChecksumMacros : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("x.txt", "123456789");
    folder.write("y.txt", "abc");
    x = folder.path() + "x.txt";
    y = folder.path() + "y.txt";
  }
  std::string attach(const std::string& path) { return "%ATTACHFILE=\"" + path + "\""; }

  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
  std::string x, y;
};

TEST_F(ChecksumMacros, TextModeAndModeLetters) {
  EXPECT_EQ(plugin.call("KVL_CRC32", {"S", ""}), "00000000");
  EXPECT_EQ(plugin.call("KVL_CRC32", {"", "123456789"}), "CBF43926");
  EXPECT_EQ(plugin.call("KVL_CRC32", {" \t", "a"}), "E8B7BE43");  // trimmed: empty means S
  EXPECT_EQ(plugin.call("KVL_MD5", {"s", "abc"}), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(plugin.call("KVL_MD5", {"S", ""}), kMd5OfNothing);
  EXPECT_EQ(plugin.call("KVL_SHA1", {"S", "abc"}), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(plugin.call("KVL_SHA1", {"S", ""}), kSha1OfNothing);
  // Every byte counts as itself, NUL and high codes included.
  EXPECT_EQ(plugin.call("KVL_CRC32", {"S", std::string("\0\xff", 2)}), "6CDBFD72");
  // S wins over F: the second argument is text, not a path.
  EXPECT_EQ(plugin.call("KVL_CRC32", {"fs", x}), plugin.call("KVL_CRC32", {"S", x}));
  EXPECT_EQ(plugin.call("KVL_MD5", {"X", "abc"}), "");
  EXPECT_EQ(plugin.call("KVL_MD5", {"X", "abc", "{H}"}), "");
  EXPECT_TRUE(plugin.session.processed.empty());
  // Counts: text mode exactly two, file mode two or three.
  EXPECT_EQ(plugin.call("KVL_CRC32", {"S"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_CRC32", {"S", "a", "{H}"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_SHA1", {"F", x, "{H}", "x"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_SHA1", {"F", x, "{H}"}), "F7C3BC1D808E04732ADF679965CCC34CA7AE3441\r\n");
}

TEST_F(ChecksumMacros, FileModeListsAndAttaches) {
  EXPECT_EQ(plugin.call("KVL_CRC32", {"F", x + "|" + y}), "x.txt CBF43926\r\ny.txt 352441C2\r\n");
  EXPECT_EQ(Logged(plugin.session.attachments), (std::vector<std::string>{x, y}));
  plugin.session.attachments.clear();
  EXPECT_EQ(plugin.call("KVL_MD5", {"fn", y, "{H}  {F}"}), "900150983CD24FB0D6963F7D28E17F72  y.txt\r\n");
  EXPECT_EQ(plugin.call("KVL_MD5", {"F", y}), "900150983CD24FB0D6963F7D28E17F72 *y.txt\r\n");
  plugin.session.attachments.clear();
  EXPECT_EQ(plugin.call("KVL_MD5", {"FN", y}), "900150983CD24FB0D6963F7D28E17F72 *y.txt\r\n");
  EXPECT_TRUE(plugin.session.attachments.empty());
  // Names follow the last backslash or colon; every placeholder is replaced, a
  // name holding "{H}" stays as it is.
  EXPECT_EQ(plugin.call("KVL_CRC32", {"FN", "C:nothere{H}.txt", "{F}|{F}:{H}{H}"}),
            "nothere{H}.txt|nothere{H}.txt:0000000000000000\r\n");
  // Unreadable files, folders and empty items count as no data; empty items make lines.
  EXPECT_EQ(plugin.call("KVL_MD5", {"FN", folder.path() + "missing|" + folder.path() + "|"}),
            std::string(kMd5OfNothing) + " *missing\r\n" + kMd5OfNothing + " *\r\n" + kMd5OfNothing + " *\r\n");
  EXPECT_EQ(plugin.call("KVL_MD5", {"F", ""}), "");
  // A path the host could not take between its quotes is listed, not attached.
  plugin.session.attachments.clear();
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_CRC32", {"F", "a\" %KVL_Test \"b"}), "a\" %KVL_Test \"b 00000000\r\n");
  EXPECT_TRUE(plugin.session.processed.empty());
  // A file larger than one read block, both sides of the block size.
  folder.write("block.bin", std::string(1 << 16, 'k'));
  folder.write("block1.bin", std::string((1 << 16) + 1, 'k'));
  EXPECT_EQ(plugin.call("KVL_SHA1", {"FN", folder.path() + "block.bin", "{H}"}),
            plugin.call("KVL_SHA1", {"S", std::string(1 << 16, 'k')}) + "\r\n");
  EXPECT_EQ(plugin.call("KVL_CRC32", {"FN", folder.path() + "block1.bin", "{H}"}),
            plugin.call("KVL_CRC32", {"S", std::string((1 << 16) + 1, 'k')}) + "\r\n");
}

TEST_F(ChecksumMacros, ListFilesAreWrittenAttachedAndDeletedAtUnload) {
  EXPECT_EQ(plugin.call("KVL_CRC32", {"FA", x + "|" + y}), "");
  const std::vector<std::string> attached = Logged(plugin.session.attachments);
  ASSERT_EQ(attached.size(), 3u);
  EXPECT_EQ(attached[0], x);
  EXPECT_EQ(attached[1], y);
  const std::string sfv = attached[2];
  EXPECT_TRUE(sfv.ends_with("\\KVL\\Attachments.sfv")) << sfv;
  const std::string sfvText = ReadWhole(sfv);
  EXPECT_TRUE(sfvText.starts_with("; Generated by Korvel ")) << sfvText;
  EXPECT_TRUE(sfvText.ends_with(")\r\n; (Compatible: Total Commander 7.56a)\r\nx.txt CBF43926\r\ny.txt 352441C2\r\n"))
      << sfvText;
  plugin.session.attachments.clear();
  EXPECT_EQ(plugin.call("KVL_SHA1", {"FAN", y}), "");
  ASSERT_EQ(plugin.session.attachments.size(), 1u);
  const std::string sha = plugin.session.attachments[0];
  EXPECT_EQ(ReadWhole(sha), "A9993E364706816ABA3E25717850C26C9CD0D89D *y.txt\r\n");
  EXPECT_EQ(plugin.call("KVL_MD5", {"AF", ""}), "");
  const std::string md5 = plugin.session.attachments[1];
  EXPECT_TRUE(md5.ends_with("\\Attachments.md5"));
  EXPECT_EQ(ReadWhole(md5), "");

  EXPECT_EQ(plugin.call("KVL_StrAttach", {"line 1\r\nline 2", "notes.txt"}), "1");
  const std::string notes = plugin.session.attachments[2];
  EXPECT_EQ(notes, sha.substr(0, sha.size() - 15) + "notes.txt");
  EXPECT_EQ(ReadWhole(notes), "line 1\r\nline 2");
  EXPECT_EQ(plugin.call("KVL_UrlAttach", {"https://example.org/a?b=1", "Link"}), "1");
  const std::string link = plugin.session.attachments[3];
  EXPECT_TRUE(link.ends_with("\\KVL\\Link.url"));
  EXPECT_EQ(ReadWhole(link), "[InternetShortcut]\r\nURL=https://example.org/a?b=1");

  plugin.module.finalize();
  for (const std::string& path : {sfv, sha, md5, notes, link}) EXPECT_FALSE(std::filesystem::exists(path)) << path;
  EXPECT_TRUE(std::filesystem::exists(folder.path() + "x.txt"));  // attached, not ours to delete
}

TEST_F(ChecksumMacros, AttachmentNamesStayInThePluginsFolder) {
  for (const std::string name : {"", ".", "..", "..\\up.txt", "a/b", "C:x", "x:stream", "tab\there", "CON",
                                  "nul.txt", "Com1", "lpt9.log", "CONOUT$", "aux .txt"}) {
    EXPECT_EQ(plugin.call("KVL_StrAttach", {"x", name}), "0") << name;
    EXPECT_EQ(plugin.call("KVL_UrlAttach", {"https://example.org/", name}), "0") << name;
  }
  EXPECT_TRUE(plugin.session.processed.empty());
  // Close to the refused names but plain.
  for (const std::string name : {"...txt", "con1", "COM0", "lpt10", "x.con", "a b"}) {
    EXPECT_EQ(plugin.call("KVL_StrAttach", {"x", name}), "1") << name;
  }
  // A name Windows refuses to create answers 0 and attaches nothing.
  EXPECT_EQ(plugin.call("KVL_StrAttach", {"x", "a?b"}), "0");
  EXPECT_EQ(plugin.session.attachments.size(), 6u);
  EXPECT_EQ(plugin.call("KVL_StrAttach", {"x"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_UrlAttach", {"x", "y", "z"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_UrlDldFile", {"x"}), kCountError);
  // Not a URL: nothing downloaded, nothing created.
  EXPECT_EQ(plugin.call("KVL_UrlDldFile", {"no url", folder.path() + "out.bin"}), "0");
  EXPECT_FALSE(folder.exists("out.bin"));
}

}  // namespace
