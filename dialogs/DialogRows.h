#pragma once
// The dialogs family's rows of the macro table: windows that ask the user.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "dialogs/ChoiceMacros.h"
#include "dialogs/DialogMacros.h"
#include "dialogs/FormMacros.h"

namespace kvl::dialogs {

inline constexpr std::array kRows{
    MacroRow{"KVL_DlgFolder", macros::DlgFolder, 0, 3},
    MacroRow{"KVL_DlgInput", macros::DlgInput, 0, 2},
    MacroRow{"KVL_DlgOpen", macros::DlgOpen, 0, 5},
    MacroRow{"KVL_FrmDlg", macros::FrmDlg, 1, 6},
    MacroRow{"KVL_FrmDlgDef", macros::FrmDlgDef, 0, kAnyCount},
    MacroRow{"KVL_FrmDlgRet", macros::FrmDlgRet, 0, 2},
    MacroRow{"KVL_MsgBox", macros::MsgBox, 1, 7},
    MacroRow{"KVL_MultiDlg", macros::MultiDlg, 5, 7},
    MacroRow{"KVL_Progress", macros::Progress, 5, 5},
    MacroRow{"KVL_Select", macros::Select, 4, kAnyCount},
    MacroRow{"KVL_TextDlg", macros::TextDlg, 3, 6},
};

}  // namespace kvl::dialogs
