#pragma once
// System macros: well-known folders, INI files, the registry and the environment.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string GetPath(Call& call);
std::string IniGet(Call& call);
std::string IniSet(Call& call);
std::string RegGet(Call& call);
std::string RegSet(Call& call);
std::string Envir(Call& call);

}  // namespace kvl::macros
