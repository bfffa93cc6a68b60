// Message identifier, sending program, gender, signature, accounts and reply language
// through the exports, with the host's address book, regex macros, a real KVL.ini
// and a real AccOrder.CFG in the folder that the registry names.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/AddressBook.h"
#include "tests/e2e/TestKey.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::kValueError;
using kvltest::TestKey;
using HeaderMacros = kvltest::PluginTest;

// Modes 0 to 3 and the mailer of real messages: tests/header_messages.py.
TEST_F(HeaderMacros, MessageIdMailerAndSignature) {
  plugin.session.items[235] = "<1234.5678@example.org>";
  expectResults({
      {"KVL_MsgID", {}, "mid:1234.5678@example.org"}, {"KVL_MsgID", {"4"}, kValueError},
      {"KVL_MsgID", {"-1"}, kValueError}, {"KVL_Sig", {}, "-- "},
      {"KVL_HdrMailer", {}, ""}, {"KVL_HdrMailer", {"unknown"}, "unknown"},
  });
  // Three characters are the shortest identifier, two are none.
  plugin.session.items[235] = "<a>";
  EXPECT_EQ(plugin.call("KVL_MsgID", {"1"}), "a");
  plugin.session.items[235] = "<>";
  EXPECT_EQ(plugin.call("KVL_MsgID"), "");
}

TEST_F(HeaderMacros, GenderFromArgumentAddressBookOrName) {
  // No argument and no address book: the first word of the correspondent's name.
  plugin.session.items[218] = "\"Hannah Meier\"";
  EXPECT_EQ(plugin.call("KVL_Gender"), "2");
  plugin.session.items[218] = "Firma Meier GmbH";
  EXPECT_EQ(plugin.call("KVL_Gender", {" \t"}), "0");
  // The address book's answer wins when it is not blank.
  plugin.session.items[219] = "anna@example.de";
  plugin.session.addressBook = kvlhost::AddressBook::Parse(
      "address,gender\r\nanna@example.de,female\r\nblank@example.de,\" \"\r\n");
  expectResults({{"KVL_Gender", {}, "female"}, {"KVL_Gender", {"Peter"}, "1"}});
  plugin.session.items[219] = "blank@example.de";
  EXPECT_EQ(plugin.call("KVL_Gender"), "0");
}

TEST_F(HeaderMacros, AccountsFromTheHostsWorkingFolder) {
  const TestKey vendor("Software\\Quennet");
  const TestKey host("Software\\Quennet\\Zorbel");
  const std::string workingFolder = folder.path();
  host.set("Working Directory", workingFolder.substr(0, workingFolder.size() - 1));  // no final backslash
  EXPECT_EQ(plugin.call("KVL_Accounts"), "");  // no file yet
  folder.write("AccOrder.CFG", "[Order]\r\n\\\\Work\r\n\\\\\\Shared\r\n\\\\Home\r\n");
  // The kinds and their ends are the account-order rules' (HeadersTest).
  expectResults({{"KVL_Accounts", {}, "Work\r\nHome"}, {"KVL_Accounts", {"2", ";"}, "Work;Shared;Home"}});
  // A file that another program holds without sharing lists nothing.
  const HANDLE locked = CreateFileA((workingFolder + "AccOrder.CFG").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(plugin.call("KVL_Accounts", {"2"}), "");
  CloseHandle(locked);
  EXPECT_EQ(plugin.call("KVL_Accounts", {"2", "|"}), "Work|Shared|Home");
  // A file of exactly the result cap (64 MiB) is read; one character more is refused.
  std::string big = "\\\\" + std::string(64u * 1024 * 1024 - 2, 'x');
  folder.write("AccOrder.CFG", big);
  EXPECT_EQ(plugin.call("KVL_Accounts").size(), big.size() - 2);
  folder.write("AccOrder.CFG", big + "x");
  EXPECT_EQ(plugin.call("KVL_Accounts"), kValueError);
}

class ReplyLanguage : public kvltest::PluginTest {
 protected:
  void SetUp() override {
    plugin.session.items[219] = "kunde@example.at";
    plugin.session.items[241] = "Guten Tag, anbei die Rechnung.\r\n";
  }
  void table(const std::string& count, const std::string& items) {
    folder.write("KVL.ini", "[CountryLanguage]\r\nItemCount=" + count + "\r\n" + items);
  }
  void headers(const std::string& block) { plugin.session.items[243] = block; }
  void addressBook(const std::string& csv) { plugin.session.addressBook = kvlhost::AddressBook::Parse(csv); }
};

const std::string kEntries =
    "Item1=English#United Kingdom|USA#en|en-gb|en-us#\\bDear\\b\r\n"
    "Item2=Deutsch#Deutschland|\xD6sterreich|Schweiz#de|de-de|de-at#\\b(Guten Tag|Hallo)\\b\r\n"
    "Item3=Fran\xE7" "ais#France#fr|fr-fr#\\bBonjour\\b\r\n";

TEST_F(ReplyLanguage, LanguageHeadersComeFirst) {
  table("3", kEntries);
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Deutsch");  // by the pattern on the text
  headers("Subject: x\r\nX-Language: FR\r\nContent-Language: en\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang", {"ignored", "too"}), "English");  // the first entry that has either
  headers("Content-Language:\r\n  de-AT\r\n");  // folded
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Deutsch");
  headers("X-Accept-Language: it, fr-FR , de\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Deutsch");  // entry 2 has de; entry 3 never asked
  headers("X-Accept-Language: fr\r\n");
  plugin.session.items[241] = "Nothing to see.\r\n";
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Fran\xE7" "ais");
}

TEST_F(ReplyLanguage, CountryFromTheAddressBook) {
  table("3", kEntries);
  plugin.session.items[241] = "Hi\r\n";
  addressBook("address,country,buscountry\r\nkunde@example.at,\xD6STERREICH,France\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Deutsch");  // country lowered by the locale
  // Entry 1's pattern matches, and entry 2 ends the walk before its country is asked.
  plugin.session.items[241] = "Dear all,\r\n";
  addressBook("address,country\r\nkunde@example.at,Schweiz\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "English");
}

TEST_F(ReplyLanguage, PatternMatchesGiveWayOnlyToLanguageHeaders) {
  plugin.session.items[241] = "abc";
  table("1", "Item1=One###zzz\r\nItem2=Two###b\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "");  // entry 2 lies beyond ItemCount
  table("2", "Item1=One###zzz\r\nItem2=Two###b\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Two");
  table("3", "Item3=Three###c\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Three");  // missing entries match nothing
  // A match holds against the next entry's pattern, not against its language headers.
  table("2", "Item1=One###a\r\nItem2=Two##de#b\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "One");
  headers("Content-Language: de\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Two");
}

TEST_F(ReplyLanguage, CountsThatAreNoNumberReadAsZero) {
  plugin.session.items[241] = "Guten Tag";
  EXPECT_EQ(plugin.call("KVL_GetLang"), "");  // no KVL.ini at all
  for (const auto& [count, language] : std::vector<std::pair<std::string, std::string>>{
           {"two", ""}, {"-1", ""}, {"1", ""}, {"2", "Deutsch"}}) {
    table(count, kEntries);
    EXPECT_EQ(plugin.call("KVL_GetLang"), language) << count;
  }
}

TEST_F(ReplyLanguage, AHugeCountWalksTheFirstTenThousandEntries) {
  plugin.session.items[241] = "abc";
  table("2147483647", "Item10000=Last###b\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "Last");
  table("2147483647", "Item10001=Beyond###b\r\n");
  EXPECT_EQ(plugin.call("KVL_GetLang"), "");
}

}  // namespace
