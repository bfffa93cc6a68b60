// The domain macros through the exports with our idn.dll, and with a stand-in library
// beside the plug-in. Texts are in the ANSI code page of en_US (1252): "\xFC" is ü.
#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

const std::string kMissing{kvl::ErrIdnMissing};

// Our idn.dll copied beside the plug-in.
class IdnMacros : public kvltest::PluginTest {
 protected:
  IdnMacros() {
    std::filesystem::copy_file(std::filesystem::path(kvlhost::DefaultPluginPath()).parent_path() / "idn.dll",
                               folder.path() + "idn.dll");
  }
};

TEST_F(IdnMacros, ConvertsSingleDomainsBothWays) {
  expectResults({
      {"KVL_DomToACE", {"\xC9" "COLE.fr"}, "xn--cole-9oa.fr"},
      // Label by label: ASCII labels keep their case, ACE labels decode in any case.
      {"KVL_DomToACE", {"B\xFC" "cher.DE."}, "xn--bcher-kva.DE."}, {"KVL_DomToIDN", {"XN--BCHER-KVA.DE"}, "b\xFC" "cher.DE"},
      {"KVL_DomToIDN", {"a..xn--bcher-kva.de"}, "a..b\xFC" "cher.de"},
      {"KVL_DomToACE", {"a..b\xFC" "cher.de"}, ""},  // an empty label has no ACE form
      {"KVL_DomToIDN", {"xn--zz.de"}, ""},           // no Punycode
      {"KVL_DomToACE", {"example.org"}, "example.org"}, {"KVL_DomToACE", {""}, ""},
      // A Cyrillic name has no form in code page 1252: empty, never a row of "?".
      {"KVL_DomToIDN", {"xn--e1afmkfd.xn--80akhbyknj4f"}, ""},
      // A label of 64 characters cannot be converted.
      {"KVL_DomToACE", {std::string(64, 'a') + "\xE4.de"}, ""},
  });
}

// The sentence's final "." and a walk that goes on after a shorter result: the examples of docs/macros.md.
TEST_F(IdnMacros, ConvertsTheDomainsOfAddressesInText) {
  // Line breaks do not end a domain; the ASCII label that they are part of stays as it is.
  EXPECT_EQ(plugin.call("KVL_AddrToACE", {"anna@m\xFCller.de\r\nNext line"}), "anna@xn--mller-kva.de\r\nNext line");
  // A "@" before a blank, a delimiter or the end, or before blanks and controls only.
  for (const std::string text : {"a@ b\xFC.de", "x@", "a@<b>", "a@\t", "a@\r\n"})
    EXPECT_EQ(plugin.call("KVL_AddrToACE", {text}), text);
  // Domains the library cannot convert keep their form: one of 256 characters (the
  // library's buffer holds 255), a label too long, a Cyrillic name outside code page 1252.
  const std::string labels = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + ".";
  const std::string ascii255 = labels + std::string(63, 'd');
  const std::string umlauts255 = labels + std::string(62, 'd') + "\xE4";  // its ACE form is longer than 255
  expectResults({{"KVL_DomToACE", {ascii255}, ascii255}, {"KVL_DomToACE", {ascii255 + "e"}, ""},
                 {"KVL_DomToACE", {umlauts255}, ""}, {"KVL_AddrToACE", {"no address here"}, "no address here"},
                 {"KVL_AddrToACE", {""}, ""}});
  for (const std::string& text : {"x@" + umlauts255 + "!", "x@" + std::string(64, 'e') + "\xE4.de",
                                  std::string("x@xn--e1afmkfd.xn--80akhbyknj4f"), "x@" + ascii255 + "e"})
    EXPECT_EQ(plugin.call("KVL_AddrToIDN", {text}), text);
}

TEST_F(IdnMacros, RebuildsAddressLists) {
  EXPECT_EQ(plugin.call("KVL_IDNList", {"Anna M\xFCller <anna@m\xFCller.de>, tom@b\xFC" "cher.de"}),
            "\"Anna M\xFCller\" <anna@xn--mller-kva.de>, \"tom@b\xFC" "cher.de\" <tom@xn--bcher-kva.de>");
  EXPECT_EQ(plugin.call("KVL_IDNList", {"\"Schmidt, Anna\" <anna@example.de>, Team <list>, (Tom) tom@example.org"}),
            "\"Schmidt, Anna\" <anna@example.de>, Team <list>, \"Tom\" <tom@example.org>");
  // Empty entries (a trailing or doubled comma) would put "" <> into the header.
  EXPECT_EQ(plugin.call("KVL_IDNList", {"a@example.org,, b@example.org,"}),
            "\"a@example.org\" <a@example.org>, \"b@example.org\" <b@example.org>");
  EXPECT_EQ(plugin.call("KVL_IDNList", {" \r\n "}), "");
}

// The stand-in exports IDNtoACE only; the plug-in's folder is searched before the
// program's folder, which holds our real idn.dll.
TEST(IdnLibrary, StandInBesideThePlugin) {
  kvltest::PluginFolder folder;
  std::filesystem::copy_file(KVL_STANDIN_IDN, folder.path() + "idn.dll");
  const std::string library = folder.path() + "idn.dll";
  {
    kvltest::LoadedPlugin plugin{folder.pluginPath()};
    EXPECT_EQ(plugin.call("KVL_DomToACE", {""}), "");
    EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);  // an empty text loads nothing
    EXPECT_EQ(plugin.call("KVL_DomToACE", {"b\xFC" "cher.de"}), "len=9");
    EXPECT_NE(GetModuleHandleA(library.c_str()), nullptr);
    EXPECT_EQ(plugin.call("KVL_DomToIDN", {"xn--bcher-kva.de"}), kMissing);
    EXPECT_EQ(plugin.call("KVL_AddrToIDN", {"a@xn--bcher-kva.de, b@c.de"}), "a@" + kMissing + ", b@" + kMissing);
    EXPECT_EQ(plugin.call("KVL_AddrToACE", {"a@b.de"}), "a@len=4");
    // 255 characters reach the library, 256 never do.
    EXPECT_EQ(plugin.call("KVL_DomToACE", {std::string(255, 'a')}), "len=255");
    EXPECT_EQ(plugin.call("KVL_DomToACE", {std::string(256, 'a')}), "");
    // A library that fills its buffer without a NUL: nothing beyond the buffer is read.
    EXPECT_EQ(plugin.call("KVL_DomToACE", {"fill"}), std::string(256, 'f'));
    plugin.module.finalize();
    EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);  // released at finalisation
  }
}

}  // namespace
