#pragma once
// Subject and quote macros.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string SubjClean(Call& call);
std::string SubjCount(Call& call);
std::string NoSubj(Call& call);
std::string NoTo(Call& call);
std::string QuoteAdd(Call& call);
std::string QuoteDel(Call& call);

}  // namespace kvl::macros
