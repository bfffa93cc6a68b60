// KVL_DlgOpen and KVL_DlgFolder: the platform's file-open dialog and folder browser.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <array>
#include <memory>
#include <vector>

#include "core/Limits.h"
#include "core/TextUtil.h"
#include "dialogs/ChooserRules.h"
#include "dialogs/DialogMacros.h"
#include "dialogs/WindowHandles.h"
#include "system/FileSystem.h"
#include "core/Win32Owners.h"

namespace kvl::macros {

namespace {

constexpr DWORD kNameBufferSize = 10240;
constexpr DWORD kFileDialogRecordSize = 76;  // the record without the later fields

std::string CurrentFolder() {
  std::array<char, MAX_PATH> folder{};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder.data());
  return length > 0 && length < MAX_PATH ? std::string(folder.data(), length) : std::string();
}


int CALLBACK PreselectFolder(HWND browser, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED && folder != 0) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, folder);
  return 0;
}

}  // namespace

std::string DlgOpen(Call& call) {
  const bool several = call.flag(1);
  const std::string title = call.textOrWhenEmpty(2, "Open file...");
  const std::string folder = files::ShortPath(call.textOrWhenEmpty(3, CurrentFolder()));
  const std::string filter = dialogs::FileFilterList(call.textOrWhenEmpty(4, "All files|*.*"));
  const std::uint32_t options = dialogs::FileDialogOptionFlags(call.textOrWhenEmpty(5, "FP"));
  std::vector<char> names(kNameBufferSize + 2, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = kFileDialogRecordSize;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = names.data();
  dialog.nMaxFile = kNameBufferSize;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = options | OFN_HIDEREADONLY | OFN_EXPLORER | (several ? OFN_ALLOWMULTISELECT : 0);
  if (!GetOpenFileNameA(&dialog)) return {};
  if (!several) return std::string(names.data());
  return dialogs::JoinSelectedFiles(std::string_view(names.data(), names.size()), dialog.nFileOffset);
}

std::string DlgFolder(Call& call) {
  const std::string instruction = call.textOr(1, "");
  const int style = call.flag(2) ? 0x55 : BIF_RETURNONLYFSDIRS;
  // The browser looks the folder up through a path buffer: a longer name selects nothing.
  std::string preselected = call.textOr(3, "");
  if (!FitsPathBuffer(preselected)) preselected.clear();
  const dialogs::OleScope ole;  // the browser's new style needs OLE on this thread
  std::array<char, MAX_PATH> display{};
  BROWSEINFOA browse{};
  browse.pszDisplayName = display.data();
  browse.lpszTitle = instruction.c_str();
  browse.ulFlags = static_cast<UINT>(style);
  browse.lpfn = PreselectFolder;
  browse.lParam = preselected.empty() ? 0 : reinterpret_cast<LPARAM>(preselected.c_str());
  const UniqueCoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderA(&browse));
  if (!chosen) return {};
  std::array<char, MAX_PATH> path{};
  return SHGetPathFromIDListA(chosen.get(), path.data()) ? std::string(path.data()) : std::string();
}

}  // namespace kvl::macros
