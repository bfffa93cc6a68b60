// The address-list splitter: quoting states, entry boundaries, names and addresses.
#include <gtest/gtest.h>

#include "addresses/AddressList.h"

namespace kvl::addresses {
namespace {

std::string Split(std::string_view list) { return SplitAddressList(list, '|', ';'); }

TEST(AddressList, CommasAndAtSignsCountOnlyOutsideQuotesAndParentheses) {
  EXPECT_EQ(Split("\"Baker, Tom\" <tom@example.org>, anna@example.de (Anna, Support)"),
            "Baker, Tom|tom@example.org;Anna, Support|anna@example.de;");
  EXPECT_EQ(Split("\"x@y\" <a@b.c>"), "x@y|a@b.c;");
  EXPECT_EQ(Split("(a@b, c) d@e.f"), "a@b, c|d@e.f;");
  // An unclosed quote takes the rest of the list, the closing comma included.
  EXPECT_EQ(Split("\"open, a@b.c"), "");
  EXPECT_EQ(Split("\"open, a@b.c\","), "open, a@b.c|;|;");
  // Empty entries count: the appended comma closes the last one.
  EXPECT_EQ(Split("a@b.c,"), "|a@b.c;|;");
  EXPECT_EQ(Split("a@b.c,,d@e.f"), "|a@b.c;|;|d@e.f;");
  EXPECT_EQ(Split("  \r\n "), "");
  EXPECT_EQ(Split(""), "");
}

TEST(AddressList, NamesLoseAnglesQuotesAndParentheses) {
  EXPECT_EQ(Split("Tom Baker <tom@example.org>"), "Tom Baker|tom@example.org;");
  EXPECT_EQ(Split("<tom@example.org>"), "|tom@example.org;");
  EXPECT_EQ(Split("\"\" <a@b.c>"), "|a@b.c;");  // "" is longer than one character
  EXPECT_EQ(Split("\" <a@b.c>"), "");  // the lone quote never closes
  EXPECT_EQ(Split("(\"Q\") a@b.c"), "\"Q\"|a@b.c;");
  EXPECT_EQ(Split("\"(P)\" a@b.c"), "P|a@b.c;");
  EXPECT_EQ(Split("Team <list>"), "Team <list>|;");
  // The address runs to "@", "<", ">", blank, double quote or comma on each side.
  EXPECT_EQ(Split("x<a@b.c>y"), "xy|a@b.c;");
  EXPECT_EQ(Split("mail:a@b.c\tz"), "|mail:a@b.c\tz;");
  EXPECT_EQ(SplitAddressEntry("no address", std::string_view::npos).name, "no address");
}

TEST(AddressList, FieldsByNumber) {
  const std::string list = "\"Baker, Tom\" <tom@example.org>, anna@example.de";
  EXPECT_EQ(AddressListField(list, 1, 1), "Baker, Tom");
  EXPECT_EQ(AddressListField(list, 1, 2), "tom@example.org");
  EXPECT_EQ(AddressListField(list, 2, 1), "");
  EXPECT_EQ(AddressListField(list, 2, 0), "anna@example.de");
  EXPECT_EQ(AddressListField(list, 0, 2), "");
  EXPECT_EQ(AddressListField(list, 3, 2), "");
  // Separator characters inside an entry do not shift the entries.
  EXPECT_EQ(ReadAddressList("a\x01" "b <x@y.z>, c@d.e").size(), 2u);
}

}  // namespace
}  // namespace kvl::addresses
