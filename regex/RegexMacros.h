#pragma once
// Regular-expression macros: matching and replacing with the plug-in's own PCRE
// binding, and line filtering and sub-pattern extraction through the host's.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string REIsMatch(Call& call);
std::string RERepl(Call& call);  // also KVL_StrRERepl
std::string Grep(Call& call);
std::string ReX(Call& call);

}  // namespace kvl::macros
