#include "addresses/IdnMacros.h"

#include "addresses/Idn.h"

namespace kvl::macros {

std::string DomToACE(Call& call) { return addresses::CallIdnFunction(addresses::kIdnToAce, call.text(1)); }

std::string DomToIDN(Call& call) { return addresses::CallIdnFunction(addresses::kAceToIdn, call.text(1)); }

std::string AddrToACE(Call& call) {
  return addresses::ConvertAddressDomains(call.text(1), addresses::IdnDirection::ToAce);
}

std::string AddrToIDN(Call& call) {
  return addresses::ConvertAddressDomains(call.text(1), addresses::IdnDirection::ToUnicode);
}

std::string IDNList(Call& call) { return addresses::IdnAddressList(call.text(1)); }

}  // namespace kvl::macros
