#include "core/MacroTable.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>

#include "addresses/ExtractionMacros.h"
#include "addresses/HeaderMacros.h"
#include "addresses/IdnMacros.h"
#include "addresses/ListMacros.h"
#include "core/ControlMacros.h"
#include "core/Errors.h"
#include "core/Limits.h"
#include "core/TextUtil.h"
#include "core/WorkBudget.h"
#include "datetime/TimeMacros.h"
#include "dialogs/ChoiceMacros.h"
#include "dialogs/DialogMacros.h"
#include "dialogs/FormMacros.h"
#include "dialogs/TextWindows.h"
#include "mailtext/MailTextMacros.h"
#include "system/DesktopMacros.h"
#include "system/FileMacros.h"
#include "system/ProgramMacros.h"
#include "regex/RegexMacros.h"
#include "system/NetMacros.h"
#include "system/SysInfoMacros.h"
#include "system/SystemMacros.h"
#include "text/TextMacros.h"

namespace kvl {

namespace {
// Rows in the order of the macro list; macro families add theirs in place.
constexpr std::array kRows{
    MacroRow{"KVL_PlugPath", macros::PlugPath, 0, kAnyCount},
    MacroRow{"KVL_PlugVer", macros::PlugVer, 0, kAnyCount},
    MacroRow{"KVL_Accounts", macros::Accounts, 0, 2},
    MacroRow{"KVL_AddrToACE", macros::AddrToACE, 1, 1},
    MacroRow{"KVL_AddrToIDN", macros::AddrToIDN, 1, 1},
    MacroRow{"KVL_Age", macros::Age, 1, 2},
    MacroRow{"KVL_AttrGet", macros::AttrGet, 1, 1},
    MacroRow{"KVL_AttrSet", macros::AttrSet, 1, 2},
    MacroRow{"KVL_ArgCount", macros::ArgCount, 1, 3},
    MacroRow{"KVL_ArgItem", macros::ArgItem, 2, 4},
    MacroRow{"KVL_Beep", macros::Beep, 2, 2},
    MacroRow{"KVL_ClearLines", macros::ClearLines, 1, 4},
    MacroRow{"KVL_Const", macros::Const, 1, 3},
    MacroRow{"KVL_CRC32", macros::CRC32, 2, 3},
    MacroRow{"KVL_Decode", macros::Decode, 2, kAnyCount},
    MacroRow{"KVL_DirCreate", macros::DirCreate, 1, 1},
    MacroRow{"KVL_DirExist", macros::DirExist, 1, 1},
    MacroRow{"KVL_DlgFolder", macros::DlgFolder, 0, 3},
    MacroRow{"KVL_DlgInput", macros::DlgInput, 0, 2},
    MacroRow{"KVL_DlgOpen", macros::DlgOpen, 0, 5},
    MacroRow{"KVL_DomToACE", macros::DomToACE, 1, 1},
    MacroRow{"KVL_DomToIDN", macros::DomToIDN, 1, 1},
    MacroRow{"KVL_Encode", macros::Encode, 2, kAnyCount},
    MacroRow{"KVL_Envir", macros::Envir, 1, 1},
    MacroRow{"KVL_FileAddLn", macros::FileAddLn, 2, 2},
    MacroRow{"KVL_FileCopy", macros::FileCopy, 2, 2},
    MacroRow{"KVL_FileDel", macros::FileDel, 1, 1},
    MacroRow{"KVL_FileExist", macros::FileExist, 1, 1},
    MacroRow{"KVL_FileInfo", macros::FileInfo, 2, 2},
    MacroRow{"KVL_FileInUse", macros::FileInUse, 1, 1},
    MacroRow{"KVL_FileLines", macros::FileLines, 1, 4},
    MacroRow{"KVL_FileLnCnt", macros::FileLnCnt, 1, 1},
    MacroRow{"KVL_FileLong", macros::FileLong, 1, 1},
    MacroRow{"KVL_FileMove", macros::FileMove, 2, 2},
    MacroRow{"KVL_FileName", macros::FileName, 1, 2},
    MacroRow{"KVL_FileOwner", macros::FileOwner, 1, 1},
    MacroRow{"KVL_FileShort", macros::FileShort, 1, 1},
    MacroRow{"KVL_FileSize", macros::FileSize, 1, 2},
    MacroRow{"KVL_FileTime", macros::FileTime, 2, 3},
    MacroRow{"KVL_FirstNE", macros::FirstNE, 2, kAnyCount},
    MacroRow{"KVL_For", macros::For, 4, 4},
    MacroRow{"KVL_FrmDlg", macros::FrmDlg, 1, 6},
    MacroRow{"KVL_FrmDlgDef", macros::FrmDlgDef, 0, kAnyCount},
    MacroRow{"KVL_FrmDlgRet", macros::FrmDlgRet, 0, 2},
    MacroRow{"KVL_Gender", macros::Gender, 0, 1},
    MacroRow{"KVL_GetLang", macros::GetLang, 0, kAnyCount},
    MacroRow{"KVL_GetPath", macros::GetPath, 1, 1},
    MacroRow{"KVL_Grep", macros::Grep, 2, 3},
    MacroRow{"KVL_HdrMailer", macros::HdrMailer, 0, 1},
    MacroRow{"KVL_HdrRcvTime", macros::HdrRcvTime, 0, 3},
    MacroRow{"KVL_Host2IP", macros::Host2IP, 1, 1},
    MacroRow{"KVL_HtmlDec", macros::HtmlDec, 1, 2},
    MacroRow{"KVL_HtmlEnc", macros::HtmlEnc, 1, 2},
    MacroRow{"KVL_IDNList", macros::IDNList, 1, 1},
    MacroRow{"KVL_IniGet", macros::IniGet, 3, 4},
    MacroRow{"KVL_IniSet", macros::IniSet, 4, 4},
    MacroRow{"KVL_IP2Host", macros::IP2Host, 0, 1},
    MacroRow{"KVL_IsUserAdmin", macros::IsUserAdmin, 0, 0},
    MacroRow{"KVL_KbdLayout", macros::KbdLayout, 0, 1},
    MacroRow{"KVL_LineBetw", macros::LineBetw, 3, 5},
    MacroRow{"KVL_ListAddr", macros::ListAddr, 2, 2},
    MacroRow{"KVL_ListCount", macros::ListCount, 1, 1},
    MacroRow{"KVL_ListName", macros::ListName, 2, 2},
    MacroRow{"KVL_MD5", macros::MD5, 2, 3},
    MacroRow{"KVL_MsgBox", macros::MsgBox, 1, 7},
    MacroRow{"KVL_MsgID", macros::MsgID, 0, 1},
    MacroRow{"KVL_MultiDlg", macros::MultiDlg, 5, 7},
    MacroRow{"KVL_NoSubj", macros::NoSubj, 0, 1},
    MacroRow{"KVL_NoTo", macros::NoTo, 0, 1},
    MacroRow{"KVL_Process", macros::Process, 1, 3},
    MacroRow{"KVL_Progress", macros::Progress, 5, 5},
    MacroRow{"KVL_QuoteAdd", macros::QuoteAdd, 1, 2},
    MacroRow{"KVL_QuoteDel", macros::QuoteDel, 1, 3},
    MacroRow{"KVL_Random", macros::Random, 0, 2},
    MacroRow{"KVL_RegGet", macros::RegGet, 1, 2},
    MacroRow{"KVL_RegSet", macros::RegSet, 2, 3},
    MacroRow{"KVL_REIsMatch", macros::REIsMatch, 2, 4},
    MacroRow{"KVL_RERepl", macros::RERepl, 3, 4},
    MacroRow{"KVL_ReX", macros::ReX, 2, 3},
    MacroRow{"KVL_Rot13", macros::Rot13, 1, 1},
    MacroRow{"KVL_Run", macros::Run, 1, 2},
    MacroRow{"KVL_RunCmd", macros::RunCmd, 1, 3},
    MacroRow{"KVL_Select", macros::Select, 4, kAnyCount},
    MacroRow{"KVL_SendKeys", macros::SendKeys, 1, 2},
    MacroRow{"KVL_SetClipB", macros::SetClipB, 1, 1},
    MacroRow{"KVL_SHA1", macros::SHA1, 2, 3},
    MacroRow{"KVL_Sig", macros::Sig, 0, 0},
    MacroRow{"KVL_StrAttach", macros::StrAttach, 2, 2},
    MacroRow{"KVL_StrC", macros::StrC, 1, 1},
    MacroRow{"KVL_StrChar", macros::StrChar, 1, kAnyCount},
    MacroRow{"KVL_StrCheck", macros::StrCheck, 2, 3},
    MacroRow{"KVL_StrCount", macros::StrCount, 2, 3},
    MacroRow{"KVL_StrDup", macros::StrDup, 2, 2},
    MacroRow{"KVL_StrIns", macros::StrIns, 2, 4},
    MacroRow{"KVL_StrItem", macros::StrItem, 3, 3},
    MacroRow{"KVL_StrItemCnt", macros::StrItemCnt, 2, 2},
    MacroRow{"KVL_StrLeft", macros::StrLeft, 2, 2},
    MacroRow{"KVL_StrLen", macros::StrLen, 1, 1},
    MacroRow{"KVL_StrLines", macros::StrLines, 1, 3},
    MacroRow{"KVL_StrLnCnt", macros::StrLnCnt, 0, 1},
    MacroRow{"KVL_StrMid", macros::StrMid, 2, 3},
    MacroRow{"KVL_StrPos", macros::StrPos, 2, 3},
    MacroRow{"KVL_StrRepl", macros::StrRepl, 3, 5},
    MacroRow{"KVL_StrRERepl", macros::RERepl, 3, 4},
    MacroRow{"KVL_StrRev", macros::StrRev, 1, 1},
    MacroRow{"KVL_StrRight", macros::StrRight, 2, 2},
    MacroRow{"KVL_StrTr", macros::StrTr, 2, 4},
    MacroRow{"KVL_StrTrim", macros::StrTrim, 1, 3},
    MacroRow{"KVL_StrWordCnt", macros::StrWordCnt, 1, 1},
    MacroRow{"KVL_StrWrap", macros::StrWrap, 1, 3},
    MacroRow{"KVL_SubjClean", macros::SubjClean, 0, 2},
    MacroRow{"KVL_SubjCount", macros::SubjCount, 0, 4},
    MacroRow{"KVL_SysInfo", macros::SysInfo, 0, kAnyCount},
    MacroRow{"KVL_TempDir", macros::TempDir, 0, 0},
    MacroRow{"KVL_TempFile", macros::TempFile, 0, 0},
    MacroRow{"KVL_TextDlg", macros::TextDlg, 3, 6},
    MacroRow{"KVL_TimeAdd", macros::TimeAdd, 2, 4},
    MacroRow{"KVL_TimeBeats", macros::TimeBeats, 0, 1},
    MacroRow{"KVL_TimeBias", macros::TimeBias, 0, 0},
    MacroRow{"KVL_TimeCalc", macros::TimeCalc, 2, 4},
    MacroRow{"KVL_TimeDiff", macros::TimeDiff, 1, 4},
    MacroRow{"KVL_TimeParse", macros::TimeParse, 1, 3},
    MacroRow{"KVL_TimeQuart", macros::TimeQuart, 0, 2},
    MacroRow{"KVL_Until", macros::Until, 3, 3},
    MacroRow{"KVL_UrlAttach", macros::UrlAttach, 2, 2},
    MacroRow{"KVL_UrlDec", macros::UrlDec, 1, 1},
    MacroRow{"KVL_UrlDldFile", macros::UrlDldFile, 2, 2},
    MacroRow{"KVL_UrlEnc", macros::UrlEnc, 1, 2},
    MacroRow{"KVL_XtrEMLs", macros::XtrEMLs, 0, 2},
    MacroRow{"KVL_XtrURLs", macros::XtrURLs, 0, 3},
    MacroRow{"KVL_Test", macros::Test, 0, kAnyCount},
};
}  // namespace

std::span<const MacroRow> MacroTable() { return kRows; }

namespace {
// Names are looked up through a hash of their ASCII-folded letters: a call costs the
// same whatever the row, where walking 131 rows cost most of a short macro's call.
std::uint32_t FoldedNameHash(std::string_view name) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(AsciiUpper(c))) * 16777619u;
  return hash;
}

class NameIndex {
 public:
  NameIndex() {
    slots_.fill(kEmpty);
    for (std::size_t row = 0; row < kRows.size(); ++row) {
      longest_ = std::max(longest_, kRows[row].name.size());
      std::size_t at = FoldedNameHash(kRows[row].name) & kMask;
      while (slots_[at] != kEmpty) at = (at + 1) & kMask;
      slots_[at] = static_cast<std::uint8_t>(row);
    }
  }

  // The first row of that name: rows are entered in table order, so a name that two
  // rows shared would find the earlier one first.
  const MacroRow* find(std::string_view name) const {
    if (name.empty() || name.size() > longest_) return nullptr;
    for (std::size_t at = FoldedNameHash(name) & kMask; slots_[at] != kEmpty; at = (at + 1) & kMask)
      if (EqualsIgnoringAsciiCase(kRows[slots_[at]].name, name)) return &kRows[slots_[at]];
    return nullptr;
  }
  std::size_t longest() const { return longest_; }

 private:
  static constexpr std::size_t kSlots = 512;  // a quarter full: probes stay short
  static constexpr std::size_t kMask = kSlots - 1;
  static constexpr std::uint8_t kEmpty = 0xFF;
  static_assert(kRows.size() < kEmpty && kRows.size() * 3 < kSlots);
  std::array<std::uint8_t, kSlots> slots_{};
  std::size_t longest_ = 0;
};

const NameIndex& Index() {
  static const NameIndex index;
  return index;
}
}  // namespace

const MacroRow* FindMacro(std::string_view name) { return Index().find(name); }

const MacroRow* FindMacro(const char* name, std::int32_t nameLength) {
  if (name == nullptr || nameLength <= 0) return nullptr;
  // Reads at most nameLength characters, and never more than one past the longest
  // name: a longer name matches no row however long the host says it is. A NUL
  // inside the length ends the name, for hosts that count the terminator.
  const std::size_t readable = std::min<std::size_t>(static_cast<std::size_t>(nameLength), Index().longest() + 1);
  return FindMacro(std::string_view(name, static_cast<std::size_t>(std::find(name, name + readable, '\0') - name)));
}

std::string MacroListText() {
  std::string list;
  for (const MacroRow& row : kRows) {
    list += row.name;
    list += "\r\n";
  }
  return list;
}

std::string RunMacro(const MacroRow& row, Call& call) {
  try {
    if (call.count() < row.minArgs || call.count() > row.maxArgs) return std::string(ErrParamCount);
    std::string result = row.handler(call);
    if (result.size() > kResultCap) return std::string(ErrParamValue);
    return result;
  } catch (const BudgetSpent&) {
    return std::string(ErrNoSuccess);
  } catch (const std::bad_alloc&) {
    return std::string(ErrParamValue);  // a result the 32-bit host cannot hold
  } catch (const std::length_error&) {
    return std::string(ErrParamValue);
  } catch (...) {
    return std::string(ErrNoSuccess);
  }
}

}  // namespace kvl
