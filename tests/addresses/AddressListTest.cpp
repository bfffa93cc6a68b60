// The address-list splitter: quoting states, entry boundaries, names and addresses.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "addresses/AddressList.h"

namespace kvl::addresses {
namespace {

// Each list split into "name|address;" per entry.
TEST(AddressList, EntriesNamesAndAddresses) {
  for (const auto& [list, split] : std::vector<std::pair<std::string, std::string>>{
           // Commas and "@" count only outside quotes and parentheses.
           {"\"Baker, Tom\" <tom@example.org>, anna@example.de (Anna, Support)",
            "Baker, Tom|tom@example.org;Anna, Support|anna@example.de;"},
           {"\"x@y\" <a@b.c>", "x@y|a@b.c;"}, {"(a@b, c) d@e.f", "a@b, c|d@e.f;"},
           // An unclosed quote takes the rest of the list, the closing comma included.
           {"\"open, a@b.c", ""}, {"\"open, a@b.c\",", "open, a@b.c|;|;"},
           // Empty entries count: the appended comma closes the last one.
           {"a@b.c,", "|a@b.c;|;"}, {"a@b.c,,d@e.f", "|a@b.c;|;|d@e.f;"}, {"  \r\n ", ""}, {"", ""},
           // Names lose their angles, quotes and parentheses.
           {"Tom Baker <tom@example.org>", "Tom Baker|tom@example.org;"}, {"<tom@example.org>", "|tom@example.org;"},
           {"\"\" <a@b.c>", "|a@b.c;"},  // "" is longer than one character
           {"\" <a@b.c>", ""},           // the lone quote never closes
           {"(\"Q\") a@b.c", "\"Q\"|a@b.c;"}, {"\"(P)\" a@b.c", "P|a@b.c;"}, {"Team <list>", "Team <list>|;"},
           // The address runs to "@", "<", ">", blank, double quote or comma on each side.
           {"x<a@b.c>y", "xy|a@b.c;"}, {"mail:a@b.c\tz", "|mail:a@b.c\tz;"}})
    EXPECT_EQ(SplitAddressList(list, '|', ';'), split) << list;
  EXPECT_EQ(SplitAddressEntry("no address", std::string_view::npos).name, "no address");
}

TEST(AddressList, FieldsByNumber) {
  const std::string list = "\"Baker, Tom\" <tom@example.org>, anna@example.de";
  EXPECT_EQ(AddressListField(list, 1, 1), "Baker, Tom");
  EXPECT_EQ(AddressListField(list, 1, 2), "tom@example.org");
  EXPECT_EQ(AddressListField(list, 2, 0), "anna@example.de");
  EXPECT_EQ(AddressListField(list, 2, 1) + AddressListField(list, 0, 2) + AddressListField(list, 3, 2), "");
  // Separator characters inside an entry do not shift the entries.
  EXPECT_EQ(ReadAddressList("a\x01" "b <x@y.z>, c@d.e").size(), 2u);
}

}  // namespace
}  // namespace kvl::addresses
