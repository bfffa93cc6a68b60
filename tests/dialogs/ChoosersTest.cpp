// The input box, the file-open dialog and the folder browser through the exports, as
// real windows under Xvfb driven from a second thread; and their text rules.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "dialogs/ChooserRules.h"
#include "dialogs/InputBoxIds.h"
#include "tests/dialogs/WindowDriver.h"
#include "tests/e2e/TestPlugin.h"

namespace {

namespace fs = std::filesystem;
using kvltest::ControlText;
using kvltest::Press;
using Strings = std::vector<std::string>;

TEST(ChooserRules, FiltersOptionsAndSelections) {
  using namespace kvl::dialogs;
  EXPECT_EQ(FileFilterList("Text|*.txt|All|*.*"), std::string("Text\0*.txt\0All\0*.*\0\0", 20));
  EXPECT_EQ(FileDialogOptionFlags("FP"), 0x1800u);
  EXPECT_EQ(FileDialogOptionFlags("lcpf"), 0x1000u | 0x800u | 0x2000u | 0x100000u);
  EXPECT_EQ(FileDialogOptionFlags("x"), 0u);
  EXPECT_EQ(FileDialogOptionFlags("xFx"), 0x1000u);
  // One file and several in a folder come from the dialog below; here the root and offsets past the answer.
  const std::string root("C:\\\0a.txt\0b.txt\0\0", 17);
  EXPECT_EQ(JoinSelectedFiles(root, 4), "C:\\a.txt|C:\\b.txt");
  const std::string one("C:\\Mail\\a.txt\0\0", 15);
  EXPECT_EQ(JoinSelectedFiles(one, 14), "");
  EXPECT_EQ(JoinSelectedFiles(one, 100), "");
}

class Choosers : public kvltest::WindowTest {
 protected:
  Choosers() {
    fs::create_directories(files);
    for (const char* name : {"a.txt", "b c.txt", "d.log"}) std::ofstream(files / name) << name;
  }
  ~Choosers() override {
    std::error_code ignored;
    fs::remove_all(files, ignored);
  }
  std::string run(const std::string& macro, const Strings& args, const std::string& title,
                  std::function<void(HWND)> act) {
    return show(macro, args, "#32770", title, std::move(act));
  }
  const fs::path files = fs::temp_directory_path() / ("kvl choosers " + std::to_string(GetCurrentProcessId()));
};

constexpr const char* kInputTitle = "Korvel - InputBox";

TEST_F(Choosers, InputBoxShowsPromptAndDefault) {
  std::string seen;
  EXPECT_EQ(run("KVL_DlgInput", {"Your name\\nplease:", "Anna"}, kInputTitle, [&](HWND box) {
              const LONG style = GetWindowLongA(box, GWL_STYLE);
              seen = ControlText(box, KVL_INPUT_PROMPT) + "|" + ControlText(box, KVL_INPUT_EDIT) + "|" +
                     ControlText(box, KVL_INPUT_OK) + "|" + ControlText(box, KVL_INPUT_CANCEL) + "|" +
                     std::to_string((style & WS_SYSMENU) != 0) + std::to_string((style & WS_THICKFRAME) != 0) +
                     std::to_string((GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) + "|" +
                     std::to_string(SendDlgItemMessageA(box, KVL_INPUT_EDIT, EM_GETLIMITTEXT, 0, 0));
              Press(box, KVL_INPUT_OK);
            }), "Anna");
  EXPECT_EQ(seen, "Your name\nplease:|Anna|Ok|Cancel|011|1024");
  EXPECT_EQ(run("KVL_DlgInput", {}, kInputTitle, [&](HWND box) {
              seen = ControlText(box, KVL_INPUT_PROMPT) + "|" + ControlText(box, KVL_INPUT_EDIT);
              Press(box, KVL_INPUT_OK);
            }), "");
  EXPECT_EQ(seen, "Enter a string:|");
}

// Enter and Escape answer the text like "Ok"; "Cancel" and closing answer nothing.
TEST_F(Choosers, InputBoxEndings) {
  const auto typed = [](WPARAM key) {
    return [key](HWND box) {
      const HWND edit = GetDlgItem(box, KVL_INPUT_EDIT);
      SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
      SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("typed"));
      if (key != 0) {
        PostMessageA(edit, WM_KEYDOWN, key, 0);
        PostMessageA(edit, WM_KEYUP, key, 0);
      }
    };
  };
  EXPECT_EQ(run("KVL_DlgInput", {"p", "x"}, kInputTitle, typed(VK_RETURN)), "typed");
  EXPECT_EQ(run("KVL_DlgInput", {"p", "x"}, kInputTitle, typed(VK_ESCAPE)), "typed");
  EXPECT_EQ(run("KVL_DlgInput", {"p", "x"}, kInputTitle, [](HWND box) { Press(box, KVL_INPUT_CANCEL); }), "");
  EXPECT_EQ(run("KVL_DlgInput", {"p", "x"}, kInputTitle, [](HWND box) { PostMessageA(box, WM_CLOSE, 0, 0); }), "");
  // The field takes 1024 characters, not 1025.
  EXPECT_EQ(run("KVL_DlgInput", {"p", ""}, kInputTitle, [](HWND box) {
              const std::string long_(1025, 'x');
              SendDlgItemMessageA(box, KVL_INPUT_EDIT, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(long_.c_str()));
              Press(box, KVL_INPUT_OK);
            }), std::string(1024, 'x'));
}

// The file name field of the platform's dialog (a combo box in the explorer style).
void ChooseNames(HWND dialog, const std::string& names) {
  for (int id : {0x47C, 0x480}) SetDlgItemTextA(dialog, id, names.c_str());
  Press(dialog, IDOK);
}

TEST_F(Choosers, FileOpenDialogAnswersFullPaths) {
  const std::string folderPath = files.string();
  EXPECT_EQ(run("KVL_DlgOpen", {"0", "Pick a file", folderPath, "Text|*.txt|All|*.*", ""}, "Pick a file",
                [](HWND dialog) { ChooseNames(dialog, "a.txt"); }),
            folderPath + "\\a.txt");
  EXPECT_EQ(run("KVL_DlgOpen", {"1", "Pick files", folderPath}, "Pick files",
                [](HWND dialog) { ChooseNames(dialog, "\"a.txt\" \"b c.txt\""); }),
            folderPath + "\\a.txt|" + folderPath + "\\b c.txt");
  EXPECT_EQ(run("KVL_DlgOpen", {"0", "", folderPath}, "Open file...", [](HWND dialog) { Press(dialog, IDCANCEL); }), "");
}

BOOL CALLBACK FindTreeView(HWND child, LPARAM found) {
  std::array<char, 32> name{};
  GetClassNameA(child, name.data(), static_cast<int>(name.size()));
  if (std::string_view(name.data()) != WC_TREEVIEWA) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The name of the folder browser's selected tree entry ("" while there is none).
std::string SelectedFolderName(HWND browser) {
  HWND tree = nullptr;
  EnumChildWindows(browser, FindTreeView, reinterpret_cast<LPARAM>(&tree));
  const auto item = tree ? reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : nullptr;
  if (!item) return {};
  std::array<char, MAX_PATH> text{};
  TVITEMA entry{};
  entry.mask = TVIF_TEXT;
  entry.hItem = item;
  entry.pszText = text.data();
  entry.cchTextMax = static_cast<int>(text.size());
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
  return text.data();
}

// The browser has a title of its own; the preselected folder is the answer of OK.
// The browser walks to it after it shows, slower on a busy machine (once more than
// 10 s under a load of 4 on 2 cores): OK waits up to 20 s for it. Wine's browser now
// and then never walks there at all (its tree stays on the Desktop; seen once in a
// fresh prefix), so a style gets three tries: a fault in the preselection fails all.
TEST_F(Choosers, FolderBrowserPreselectsAndAnswers) {
  const std::string folderPath = files.string();
  const auto pressOk = [leaf = files.filename().string()](HWND browser) {
    kvltest::WaitUntil([&] { return SelectedFolderName(browser) == leaf; }, 20);
    Press(browser, IDOK);
  };
  for (const char* style : {"0", "1", "7"}) {
    std::string answer;
    for (int attempt = 0; attempt < 3 && answer != folderPath; ++attempt)
      answer = run("KVL_DlgFolder", {"Where to?", style, folderPath}, "", pressOk);
    EXPECT_EQ(answer, folderPath) << style;
  }
  EXPECT_EQ(run("KVL_DlgFolder", {"Where to?", "0", folderPath}, "", [](HWND browser) { Press(browser, IDCANCEL); }),
            "");
}

}  // namespace
