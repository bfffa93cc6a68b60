#pragma once
// The HTML form dialog's macros: show a form, define its texts, read what it posted.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string FrmDlg(Call& call);
std::string FrmDlgDef(Call& call);
std::string FrmDlgRet(Call& call);

}  // namespace kvl::macros
