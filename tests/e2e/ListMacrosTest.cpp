// The address-list macros through the exports, on To and Cc headers as mail carries them.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

class ListMacros : public ::testing::Test {
 protected:
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

constexpr const char* kCc =
    "\"Schmidt, Anna\" <anna.schmidt@example.de>, tom.baker@example.org (Tom Baker),\r\n"
    " <support@example.com>, Team <list>";

TEST_F(ListMacros, CountsNamesAndAddresses) {
  EXPECT_EQ(plugin.call("KVL_ListCount", {kCc}), "4");
  EXPECT_EQ(plugin.call("KVL_ListCount", {""}), "0");
  EXPECT_EQ(plugin.call("KVL_ListCount", {"a@example.org,"}), "2");
  EXPECT_EQ(plugin.call("KVL_ListName", {kCc, "1"}), "Schmidt, Anna");
  EXPECT_EQ(plugin.call("KVL_ListAddr", {kCc, "1"}), "anna.schmidt@example.de");
  EXPECT_EQ(plugin.call("KVL_ListName", {kCc, "2"}), "Tom Baker");
  EXPECT_EQ(plugin.call("KVL_ListAddr", {kCc, "2"}), "tom.baker@example.org");
  EXPECT_EQ(plugin.call("KVL_ListName", {kCc, "3"}), "support@example.com");  // no name: the address
  EXPECT_EQ(plugin.call("KVL_ListName", {kCc, "4"}), "Team <list>");
  EXPECT_EQ(plugin.call("KVL_ListAddr", {kCc, "4"}), "");
  for (const char* outside : {"0", "5", "-1", "2147483647"}) {
    EXPECT_EQ(plugin.call("KVL_ListName", {kCc, outside}), "") << outside;
    EXPECT_EQ(plugin.call("KVL_ListAddr", {kCc, outside}), "") << outside;
  }
  const std::string countError = " *** ERROR: Wrong parameter count *** ";
  EXPECT_EQ(plugin.call("KVL_ListCount", {"a", "b"}), countError);
  EXPECT_EQ(plugin.call("KVL_ListAddr", {"a"}), countError);
  EXPECT_EQ(plugin.call("KVL_ListName", {"a", "1", "2"}), countError);
}

}  // namespace
