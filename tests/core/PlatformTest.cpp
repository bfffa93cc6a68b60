// Folder and path services on the real file system; INI files are KVL_IniGet's (SystemMacrosTest).
#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/platform.h"

namespace {

using namespace kvl;

TEST(Platform, ShortPathsComeBackWithTheirLongNames) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "Korvel Long Folder Name";
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "a rather long file name.txt";
  std::ofstream(file) << "x";
  std::array<char, MAX_PATH> shortPath{};
  ASSERT_GT(GetShortPathNameA(file.string().c_str(), shortPath.data(), MAX_PATH), 0u);
  ASSERT_NE(std::string(shortPath.data()), file.string()) << "no short names on this file system";

  EXPECT_EQ(ExpandToLongPath(shortPath.data()), file.string());
  std::string shortFolder = shortPath.data();
  shortFolder.erase(shortFolder.find_last_of('\\') + 1);
  EXPECT_EQ(ExpandToLongPath(shortFolder), folder.string() + "\\");
  EXPECT_EQ(ExpandToLongPath(folder.string() + "\\missing.txt"), "");
  std::filesystem::remove_all(folder);
}

// The temporary folder itself is KVL_TempDir's (FileMacrosTest).
TEST(Platform, ThePluginsTemporaryFolderIsMadeOnce) {
  const std::string own = PluginTempFolder(false);
  EXPECT_EQ(own, GetTempFolder(false) + "KVL\\");
  EXPECT_TRUE(FolderExists(own));
  EXPECT_EQ(PluginTempFolder(false), own);  // a second call finds the folder
}

}  // namespace
