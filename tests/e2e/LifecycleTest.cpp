// Loading, initialisation and finalisation as the mail client drives them.
#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

TEST(Lifecycle, TextsAreEmptyBeforeInitialisation) {
  kvltest::PluginFolder folder;
  kvlhost::PluginModule module(folder.pluginPath(), /*initialize=*/false);
  EXPECT_EQ(module.name(), "");
  EXPECT_EQ(module.version(), "");
  EXPECT_NE(module.info().find("Version </i>"), std::string::npos);
}

TEST(Lifecycle, StartAndExitBatchFilesRunHidden) {
  kvltest::PluginFolder folder;
  const std::string started = folder.path() + "started.txt";
  const std::string ended = folder.path() + "ended.txt";
  folder.write("start.BAT", "@echo started> \"" + started + "\"\r\n");
  folder.write("exit.bat", "@echo ended> \"" + ended + "\"\r\n");
  // Blanks around the name and an upper-case extension still name the batch file.
  folder.write("KVL.ini", "[Execute]\r\nStart=  " + folder.path() + "start.BAT  \r\nExit=" + folder.path() +
                              "exit.bat\r\n");
  {
    kvlhost::PluginModule module(folder.pluginPath());
    EXPECT_TRUE(kvltest::WaitForFile(started, 20)) << "the start file did not run";
    EXPECT_FALSE(folder.exists("ended.txt"));
  }
  EXPECT_TRUE(kvltest::WaitForFile(ended, 20)) << "the exit file did not run";
}

TEST(Lifecycle, CommandsThatNameNoFileRunNothing) {
  kvltest::PluginFolder folder;
  // "cmd /c ..." is not a file name: the value can hold only a file.
  folder.write("KVL.ini", "[Execute]\r\nStart=cmd /c echo x> \"" + folder.path() + "ran.txt\"\r\nExit=missing.bat\r\n");
  { kvlhost::PluginModule module(folder.pluginPath()); }
  EXPECT_FALSE(kvltest::WaitForFile(folder.path() + "ran.txt", 1));
}

TEST(Lifecycle, ConfigurationAndVersionReachTheMacros) {
  kvltest::PluginFolder folder;
  folder.write("KVL.ini", "[Const]\r\nGreeting=Hello\\tWorld\\w\r\n");
  kvltest::LoadedPlugin plugin(folder.pluginPath());
  kvltest::ExpectResults(plugin, {
      {"KVL_PlugPath", {}, folder.path()}, {"KVL_PlugVer", {"ignored"}, "1.0.0.0"},
      {"KVL_Const", {"greeting"}, "Hello\\tWorld\\w"}, {"KVL_Const", {"Greeting", "1"}, "Hello\tWorld\r\n"},
      {"KVL_Const", {"Greeting", "2"}, "Hello\\tWorld\\w"},  // only 1 unescapes
      {"KVL_Const", {"Missing", "1", "fallback\\t"}, "fallback\t"}, {"KVL_Const", {"Missing"}, ""},
  });
}

}  // namespace
