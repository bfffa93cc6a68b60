#pragma once
// File and folder macros: existence, attributes, shell operations, lines, sizes,
// times, owners, version strings, path forms, folders and temporary files.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string AttrGet(Call& call);
std::string AttrSet(Call& call);
std::string DirCreate(Call& call);
std::string DirExist(Call& call);
std::string FileAddLn(Call& call);
std::string FileCopy(Call& call);
std::string FileDel(Call& call);
std::string FileExist(Call& call);
std::string FileInfo(Call& call);
std::string FileInUse(Call& call);
std::string FileLines(Call& call);
std::string FileLnCnt(Call& call);
std::string FileLong(Call& call);
std::string FileMove(Call& call);
std::string FileName(Call& call);
std::string FileOwner(Call& call);
std::string FileShort(Call& call);
std::string FileSize(Call& call);
std::string FileTime(Call& call);
std::string TempDir(Call& call);
std::string TempFile(Call& call);

}  // namespace kvl::macros
