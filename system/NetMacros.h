#pragma once
// Host names and IPv4 addresses through the platform's name resolution (Winsock 1.1).
#include <string>
#include <string_view>

#include "core/Call.h"

namespace kvl {

// The first IPv4 address of the name in dotted decimal; the empty name stands for
// this machine. Empty when it cannot be resolved.
std::string HostToAddress(std::string_view name);

// The name of a dotted-decimal IPv4 address by reverse lookup; "localhost" for any
// "127." address without a lookup; the empty or blank text stands for this
// machine's first address. Empty when the lookup fails.
std::string AddressToHost(std::string_view address);

namespace macros {
std::string Host2IP(Call& call);
std::string IP2Host(Call& call);
}  // namespace macros

}  // namespace kvl
