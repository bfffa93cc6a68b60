// The gallery's form letter (examples/form-letter.tpl), expanded through the plug-in
// with its three dialogs answered as a user would: a name typed, "Yes" pressed, one
// more extra ticked. The letter must equal examples/form-letter.out.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/InputBoxIds.h"
#include "dialogs/TextWindows.h"
#include "tests/dialogs/WindowDriver.h"
#include "tests/e2e/TestPlugin.h"

namespace {

std::string ReadExample(const std::string& name) { return kvltest::FileText(std::string(KVL_SOURCE_DIR) + "/examples/" + name); }

TEST(Gallery, FormLetterFromTheAnswersOfThreeDialogs) {
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
  auto name = kvltest::DriveWindow("#32770", "Korvel - InputBox", [](HWND box) {
    SetDlgItemTextA(box, KVL_INPUT_EDIT, "Ms Weber");
    kvltest::Press(box, KVL_INPUT_OK);
  });
  auto shipped = kvltest::DriveWindow("#32770", "Form letter", [](HWND box) { kvltest::Press(box, IDYES); });
  auto extras = kvltest::DriveWindow("TfrmMultiDlg", "Extras", [](HWND window) {
    kvltest::ClickListEntry(GetDlgItem(window, kvl::dialogs::kBodyControlId), 2);
    kvltest::Press(window, IDOK);
  });
  const std::string letter = plugin.expand(ReadExample("form-letter.tpl"));
  EXPECT_TRUE(name.get());
  EXPECT_TRUE(shipped.get());
  EXPECT_TRUE(extras.get());
  EXPECT_EQ(letter, ReadExample("form-letter.out"));
}

}  // namespace
