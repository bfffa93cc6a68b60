// Addresses and links listed from a text through the exports.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

const std::string kCountError = " *** ERROR: Wrong parameter count *** ";

class ExtractionMacros : public ::testing::Test {
 protected:
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

TEST_F(ExtractionMacros, AddressesOfASentence) {
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"Write to Anna@Example.COM, bob@mail.example.org now"}),
            "Anna@Example.COM\r\nbob@mail.example.org");
  // The "." that ends a sentence is no part of the domain.
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"Write to bob@mail.example.org."}), "bob@mail.example.org");
  // Duplicates stay, in order; the separator joins them and follows none.
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@bb.cc x@yy.zz a@bb.cc", "; "}), "a@bb.cc; x@yy.zz; a@bb.cc");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@bb.cc x@yy.zz", ""}), "a@bb.ccx@yy.zz");
  // Digits and "+" belong to both parts.
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"anna1@example.com, a+news@web4you.de"}), "anna1@example.com\r\na+news@web4you.de");
  // The domain needs five characters, a "." and two characters after its last ".".
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@b.cde"}), "a@b.cde");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@b.cd"}), "");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@bcd.ef"}), "a@bcd.ef");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@bcde.f"}), "");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a.b@cdefgh"}), "");
  // Each "@" ends the walks of its neighbours.
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a@b@cc.de"}), "b@cc.de");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"@example.com and anna@ and @"}), "");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"a", "b", "c"}), kCountError);
}

TEST_F(ExtractionMacros, AddressesOfTheMessageText) {
  plugin.session.items[241] = "From: anna@example.com\r\nTo: bob@example.org";
  EXPECT_EQ(plugin.call("KVL_XtrEMLs"), "anna@example.com\r\nbob@example.org");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {""}), "anna@example.com\r\nbob@example.org");
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {"", ","}), "anna@example.com,bob@example.org");
  // Only an empty text stands for the message; blanks are a text to scan.
  EXPECT_EQ(plugin.call("KVL_XtrEMLs", {" "}), "");
  plugin.session.items[241] = "";
  EXPECT_EQ(plugin.call("KVL_XtrEMLs"), "");
}

TEST_F(ExtractionMacros, LinksOfASentence) {
  // Without a prefix both schemes, in order; query strings and fragments stay whole,
  // the sentence's final "." goes.
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"See HTTP://Example.com/a?x=1&y=%20#top or https://example.org."}),
            "HTTP://Example.com/a?x=1&y=%20#top\r\nhttps://example.org");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"http://a.example http:// x https://a.example", " | "}),
            "http://a.example | http:// | https://a.example");
  // URL characters right before the prefix belong to the link; a blank ends them.
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"go x-yhttp://a.example"}), "x-yhttp://a.example");
  // A link passed as a query value is inside the outer link: listed once, whole.
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"<http://a.example/?u=https://b.example/x>"}),
            "http://a.example/?u=https://b.example/x");
  // An explicit prefix finds only itself, in any case; its own characters are not tested.
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"at WWW.example.com, www.example.org", ";", "www."}),
            "WWW.example.com;www.example.org");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"(http://a.example/x) https://b.example", ",", "http://"}), "http://a.example/x");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"x http://a.b y https://c.d", ",", ""}), "http://a.b,https://c.d");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"no links here"}), "");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"a", "b", "c", "d"}), kCountError);
}

TEST_F(ExtractionMacros, LinksOfTheMessageText) {
  plugin.session.items[241] = "Start at http://example.com/ and https://example.org/x.";
  const std::string both = "http://example.com/\r\nhttps://example.org/x";
  EXPECT_EQ(plugin.call("KVL_XtrURLs"), both);
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {""}), both);
  // Blanks and control characters stand for the message too; one other character does not.
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {" \t\r\n"}), both);
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {" x "}), "");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"", ","}), "http://example.com/,https://example.org/x");
  EXPECT_EQ(plugin.call("KVL_XtrURLs", {"", ",", "https://example.o"}), "https://example.org/x");
}

}  // namespace
