#pragma once
// Domain conversion macros: single domains, the domains of addresses in a text, and
// address lists rebuilt with ACE addresses.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string AddrToACE(Call& call);
std::string AddrToIDN(Call& call);
std::string DomToACE(Call& call);
std::string DomToIDN(Call& call);
std::string IDNList(Call& call);

}  // namespace kvl::macros
