// Subject prefixes, placeholders and quote marks through the exports.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using MailTextMacros = kvltest::PluginTest;

TEST_F(MailTextMacros, SubjectPrefixChainsAreCut) {
  expectResults({
      {"KVL_SubjClean", {"RE:Meeting"}, "Meeting"}, {"KVL_SubjClean", {"Re[2]: Hello"}, "Hello"},
      {"KVL_SubjClean", {"Meeting"}, "Meeting"}, {"KVL_SubjClean", {"re:  Hello "}, "Hello "},
      // Longer words win over their own beginnings; no word boundary is needed.
      {"KVL_SubjClean", {"Antwort: Wartung: x"}, "x"}, {"KVL_SubjClean", {"Rechnung: x"}, "Rechnung: x"},
      // Five characters between word and colon are within reach, six are not.
      {"KVL_SubjClean", {"Re12345: x"}, "x"}, {"KVL_SubjClean", {"Re123456: x"}, "Re123456: x"},
      // Extra words are lowered by the locale; an empty item is no word.
      {"KVL_SubjClean", {"SV: Svar"}, "SV: Svar"}, {"KVL_SubjClean", {"SV: Svar", "SV"}, "Svar"},
      {"KVL_SubjClean", {"SV: Svar", "sv|"}, "Svar"},
      {"KVL_SubjCount", {"0", "Re: Re: Re: x"}, "3"}, {"KVL_SubjCount", {"0", "Fwd: Re: x"}, "2"},
      {"KVL_SubjCount", {"1", "Fwd: Re: x"}, "1"}, {"KVL_SubjCount", {"0", "Re: AW: Fwd: x"}, "3"},
      {"KVL_SubjCount", {"0", "Re[3]: x"}, "3"}, {"KVL_SubjCount", {"0", "Re[0]: x"}, "1"},
      {"KVL_SubjCount", {"0", "Re[x]: x"}, "1"}, {"KVL_SubjCount", {"0", "Re^2: x"}, "1"},
      {"KVL_SubjCount", {"0", "Re(2): Re [2]: x"}, "0"}, {"KVL_SubjCount", {"0", "Plain"}, "0"},
      // Extra words in argument 3 alone add to the built-in ones; argument 4 words are forwards.
      {"KVL_SubjCount", {"0", "SV: Re: x", "sv"}, "2"}, {"KVL_SubjCount", {"1", "VS: SV: x", "sv", "vs"}, "1"},
      {"KVL_SubjCount", {"0", "VS: SV: x", "sv", "vs"}, "2"},
  });
  // A blank subject is the message's.
  plugin.session.items[223] = "Fwd: From the item";
  expectResults({{"KVL_SubjClean", {"  "}, "From the item"}, {"KVL_SubjClean", {}, "From the item"}});
  plugin.session.items[223] = "";
  expectResults({{"KVL_SubjCount", {"0", ""}, ""}, {"KVL_SubjCount", {}, ""}});
}

TEST_F(MailTextMacros, PlaceholdersForMissingSubjectsAndRecipients) {
  plugin.session.items = {{222, "  FWD: "}, {223, "Fwd:"}, {218, " "}, {219, "\t"}};
  expectResults({{"KVL_NoSubj", {}, "Fwd:(ohne Betreff)"}, {"KVL_NoSubj", {" [none]"}, "Fwd: [none]"},
                 {"KVL_NoTo", {}, "(geheime Empf\xE4nger)"}, {"KVL_NoTo", {"(Bcc)"}, "(Bcc)"}});
  plugin.session.items = {{222, ""}, {223, "x"}};
  EXPECT_EQ(plugin.call("KVL_NoSubj"), "x(ohne Betreff)");
  plugin.session.items = {{222, "Fwd: x"}, {223, "Fwd: x"}, {218, " Ann "}, {219, ""}};
  expectResults({{"KVL_NoSubj", {}, "Fwd: x"}, {"KVL_NoTo", {}, " Ann "}});
  plugin.session.items = {{218, ""}, {219, "ann@example.org"}};
  EXPECT_EQ(plugin.call("KVL_NoTo"), "");
}

TEST_F(MailTextMacros, QuoteMarksAreAddedAndRemoved) {
  expectResults({
      {"KVL_QuoteAdd", {"a\r\nb"}, "> a\r\n> b\r\n"}, {"KVL_QuoteAdd", {"a\r\nb", "| "}, "| a\r\n| b\r\n"},
      {"KVL_QuoteAdd", {"a\r\n"}, "> a\r\n> \r\n"}, {"KVL_QuoteAdd", {"a\nb"}, "> a\nb\r\n"},
      {"KVL_QuoteDel", {"> > text\r\n>>text\r\nAB> text\r\ntext without marks"},
       "text\r\ntext\r\ntext\r\ntext without marks\r\n"},
      {"KVL_QuoteDel", {"a > b"}, "b\r\n"}, {"KVL_QuoteDel", {"quoted text > here"}, "quoted text > here\r\n"},
      // The first mark may start at positions 1 to the window, each further one at most
      // the window's number of characters after the one before.
      {"KVL_QuoteDel", {"12345> x"}, "x\r\n"}, {"KVL_QuoteDel", {"123456> x"}, "123456> x\r\n"},
      {"KVL_QuoteDel", {"> 12345> x"}, "x\r\n"}, {"KVL_QuoteDel", {"> 123456> x"}, "123456> x\r\n"},
      {"KVL_QuoteDel", {">\r\n> >\r\nx>", "1"}, "\r\n\r\nx>\r\n"}, {"KVL_QuoteDel", {"> x", "0"}, "> x\r\n"},
      {"KVL_QuoteDel", {"| | text", "6", "|"}, "text\r\n"}, {"KVL_QuoteDel", {">> x", "6", ">>"}, "x\r\n"},
      {"KVL_QuoteDel", {"> x", "6", ""}, "> x\r\n"},
  });
}

}  // namespace
