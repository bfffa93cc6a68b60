#pragma once
// Dialog macros that show a window on the host's thread and answer when it closes.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string DlgFolder(Call& call);
std::string DlgInput(Call& call);
std::string DlgOpen(Call& call);
std::string MsgBox(Call& call);
std::string MultiDlg(Call& call);
std::string TextDlg(Call& call);

}  // namespace kvl::macros
