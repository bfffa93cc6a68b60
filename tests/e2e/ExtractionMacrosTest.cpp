// Addresses and links listed from a text through the exports.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using ExtractionMacros = kvltest::PluginTest;

TEST_F(ExtractionMacros, AddressesAndLinksOfASentence) {
  expectResults({
      {"KVL_XtrEMLs", {"Write to Anna@Example.COM, bob@mail.example.org now"}, "Anna@Example.COM\r\nbob@mail.example.org"},
      // Duplicates stay, in order; the separator joins them and follows none. (The address
      // and link rules themselves are tested on the extraction routines.)
      {"KVL_XtrEMLs", {"a@bb.cc x@yy.zz a@bb.cc", "; "}, "a@bb.cc; x@yy.zz; a@bb.cc"},
      {"KVL_XtrEMLs", {"a@bb.cc x@yy.zz", ""}, "a@bb.ccx@yy.zz"}, {"KVL_XtrEMLs", {"@example.com and anna@ and @"}, ""},
      // Without a prefix both schemes, in order; query strings and fragments stay whole,
      // the sentence's final "." goes.
      {"KVL_XtrURLs", {"See HTTP://Example.com/a?x=1&y=%20#top or https://example.org."},
       "HTTP://Example.com/a?x=1&y=%20#top\r\nhttps://example.org"},
      {"KVL_XtrURLs", {"http://a.example http:// x https://a.example", " | "},
       "http://a.example | http:// | https://a.example"},
      // URL characters right before the prefix belong to the link; a blank ends them.
      {"KVL_XtrURLs", {"go x-yhttp://a.example"}, "x-yhttp://a.example"},
      // A link passed as a query value is inside the outer link: listed once, whole.
      {"KVL_XtrURLs", {"<http://a.example/?u=https://b.example/x>"}, "http://a.example/?u=https://b.example/x"},
      // An explicit prefix finds only itself, in any case; its own characters are not tested.
      {"KVL_XtrURLs", {"at WWW.example.com, www.example.org", ";", "www."}, "WWW.example.com;www.example.org"},
      {"KVL_XtrURLs", {"(http://a.example/x) https://b.example", ",", "http://"}, "http://a.example/x"},
      {"KVL_XtrURLs", {"x http://a.b y https://c.d", ",", ""}, "http://a.b,https://c.d"},
      {"KVL_XtrURLs", {"no links here"}, ""},
  });
}

TEST_F(ExtractionMacros, AddressesAndLinksOfTheMessageText) {
  plugin.session.items[241] = "From: anna@example.com\r\nTo: bob@example.org";
  const std::string addresses = "anna@example.com\r\nbob@example.org";
  expectResults({{"KVL_XtrEMLs", {}, addresses}, {"KVL_XtrEMLs", {""}, addresses},
                 {"KVL_XtrEMLs", {"", ","}, "anna@example.com,bob@example.org"},
                 // Only an empty text stands for the message; blanks are a text to scan.
                 {"KVL_XtrEMLs", {" "}, ""}});
  plugin.session.items[241] = "";
  EXPECT_EQ(plugin.call("KVL_XtrEMLs"), "");

  plugin.session.items[241] = "Start at http://example.com/ and https://example.org/x.";
  const std::string both = "http://example.com/\r\nhttps://example.org/x";
  expectResults({{"KVL_XtrURLs", {}, both}, {"KVL_XtrURLs", {""}, both},
                 // Blanks and control characters stand for the message too; one other character does not.
                 {"KVL_XtrURLs", {" \t\r\n"}, both}, {"KVL_XtrURLs", {" x "}, ""},
                 {"KVL_XtrURLs", {"", ","}, "http://example.com/,https://example.org/x"},
                 {"KVL_XtrURLs", {"", ",", "https://example.o"}, "https://example.org/x"}});
}

}  // namespace
