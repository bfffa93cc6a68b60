// The address-list macros through the exports, on To and Cc headers as mail carries them.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using ListMacros = kvltest::PluginTest;

const std::string kCc =
    "\"Schmidt, Anna\" <anna.schmidt@example.de>, tom.baker@example.org (Tom Baker),\r\n"
    " <support@example.com>, Team <list>";

TEST_F(ListMacros, CountsNamesAndAddresses) {
  expectResults({
      {"KVL_ListCount", {kCc}, "4"}, {"KVL_ListCount", {""}, "0"}, {"KVL_ListCount", {"a@example.org,"}, "2"},
      {"KVL_ListName", {kCc, "1"}, "Schmidt, Anna"}, {"KVL_ListAddr", {kCc, "1"}, "anna.schmidt@example.de"},
      {"KVL_ListName", {kCc, "2"}, "Tom Baker"}, {"KVL_ListAddr", {kCc, "2"}, "tom.baker@example.org"},
      {"KVL_ListName", {kCc, "3"}, "support@example.com"},  // no name: the address
      {"KVL_ListName", {kCc, "4"}, "Team <list>"}, {"KVL_ListAddr", {kCc, "4"}, ""},
  });
  for (const char* outside : {"0", "5", "-1", "2147483647"}) {
    EXPECT_EQ(plugin.call("KVL_ListName", {kCc, outside}) + plugin.call("KVL_ListAddr", {kCc, outside}), "") << outside;
  }
}

}  // namespace
