// How one registry path text splits into root, key path and value name.
#include <gtest/gtest.h>

#include "system/Registry.h"

namespace {

using kvl::SplitRegistryPath;

void ExpectSplit(const char* path, const char* root, const char* keyPath, const char* valueName) {
  const auto split = SplitRegistryPath(path);
  ASSERT_TRUE(split) << path;
  EXPECT_EQ(split->root, root) << path;
  EXPECT_EQ(split->keyPath, keyPath) << path;
  EXPECT_EQ(split->valueName, valueName) << path;
}

TEST(RegistryPath, RootKeyPathAndValueName) {
  ExpectSplit("CU\\Software\\Quennet\\Zorbel\\Working Directory", "CU", "Software\\Quennet\\Zorbel\\",
              "Working Directory");
  ExpectSplit("hkey_Current_user\\a\\b", "HKEY_CURRENT_USER", "a\\", "b");
  // One backslash: the root key itself; a final backslash: the key's default value.
  ExpectSplit("cu\\Value", "CU", "", "Value");
  ExpectSplit("CU\\", "CU", "", "");
  ExpectSplit("CU\\Key\\", "CU", "Key\\", "");
  ExpectSplit("CU\\Key\\\\", "CU", "Key\\\\", "");
  ExpectSplit("\\Key\\Value", "", "Key\\", "Value");
  // Nothing but the root is upper-cased; blanks stay where they are.
  ExpectSplit(" lm \\ Soft ware \\ v ", " LM ", " Soft ware \\", " v ");
}

TEST(RegistryPath, NoBackslashAddressesNothing) {
  EXPECT_FALSE(SplitRegistryPath("CU"));
  EXPECT_FALSE(SplitRegistryPath(""));
}

}  // namespace
