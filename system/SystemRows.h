#pragma once
// The system family's rows of the macro table: files, settings, programs, the desktop and the machine.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "system/DesktopMacros.h"
#include "system/FileMacros.h"
#include "system/NetMacros.h"
#include "system/ProgramMacros.h"
#include "system/SysInfoMacros.h"
#include "system/SystemMacros.h"

namespace kvl::system {

inline constexpr std::array kRows{
    MacroRow{"KVL_AttrGet", macros::AttrGet, 1, 1},
    MacroRow{"KVL_AttrSet", macros::AttrSet, 1, 2},
    MacroRow{"KVL_Beep", macros::Beep, 2, 2},
    MacroRow{"KVL_DirCreate", macros::DirCreate, 1, 1},
    MacroRow{"KVL_DirExist", macros::DirExist, 1, 1},
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
    MacroRow{"KVL_GetPath", macros::GetPath, 1, 1},
    MacroRow{"KVL_Host2IP", macros::Host2IP, 1, 1},
    MacroRow{"KVL_IniGet", macros::IniGet, 3, 4},
    MacroRow{"KVL_IniSet", macros::IniSet, 4, 4},
    MacroRow{"KVL_IP2Host", macros::IP2Host, 0, 1},
    MacroRow{"KVL_IsUserAdmin", macros::IsUserAdmin, 0, 0},
    MacroRow{"KVL_KbdLayout", macros::KbdLayout, 0, 1},
    MacroRow{"KVL_Process", macros::Process, 1, 3},
    MacroRow{"KVL_RegGet", macros::RegGet, 1, 2},
    MacroRow{"KVL_RegSet", macros::RegSet, 2, 3},
    MacroRow{"KVL_Run", macros::Run, 1, 2},
    MacroRow{"KVL_RunCmd", macros::RunCmd, 1, 3},
    MacroRow{"KVL_SendKeys", macros::SendKeys, 1, 2},
    MacroRow{"KVL_SetClipB", macros::SetClipB, 1, 1},
    MacroRow{"KVL_SysInfo", macros::SysInfo, 0, kAnyCount},
    MacroRow{"KVL_TempDir", macros::TempDir, 0, 0},
    MacroRow{"KVL_TempFile", macros::TempFile, 0, 0},
};

}  // namespace kvl::system
