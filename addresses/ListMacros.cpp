#include "addresses/ListMacros.h"

#include "addresses/AddressList.h"

namespace kvl::macros {

std::string ListCount(Call& call) { return std::to_string(addresses::ReadAddressList(call.text(1)).size()); }

std::string ListAddr(Call& call) { return addresses::AddressListField(call.text(1), call.integer(2), 2); }

// An entry without a name answers its address.
std::string ListName(Call& call) {
  const std::string list = call.text(1);
  const std::int32_t n = call.integer(2);
  const std::string name = addresses::AddressListField(list, n, 1);
  return name.empty() ? addresses::AddressListField(list, n, 2) : name;
}

}  // namespace kvl::macros
