#include "system/NetMacros.h"

#include <winsock2.h>
#include <windows.h>

#include "core/TextUtil.h"
#include "core/WorkBudget.h"

namespace kvl {

namespace {

// Longest name the resolver takes; longer or NUL-holding texts are no host names.
constexpr std::size_t kLongestHostName = 255;

// The socket library from the start of one lookup to its end.
class SocketLibrary {
 public:
  SocketLibrary() {
    WSADATA data{};
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~SocketLibrary() {
    if (started_) WSACleanup();
  }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

bool IsLookupText(std::string_view text) {
  return text.size() <= kLongestHostName && text.find('\0') == std::string_view::npos;
}

}  // namespace

std::string HostToAddress(std::string_view name) {
  if (!IsLookupText(name)) return {};
  ChargeNameLookup();
  const SocketLibrary sockets;
  if (!sockets.started()) return {};
  const hostent* host = gethostbyname(std::string(name).c_str());
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list || !host->h_addr_list[0])
    return {};
  const auto* bytes = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

std::string AddressToHost(std::string_view address) {
  const std::string dotted = Trimmed(address).empty() ? HostToAddress("") : std::string(address);
  if (dotted.starts_with("127.")) return "localhost";
  if (dotted.empty() || !IsLookupText(dotted)) return {};
  ChargeNameLookup();
  const SocketLibrary sockets;
  if (!sockets.started()) return {};
  const unsigned long binary = inet_addr(dotted.c_str());
  if (binary == INADDR_NONE && dotted != "255.255.255.255") return {};
  const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&binary), 4, AF_INET);
  return host && host->h_name ? std::string(host->h_name) : std::string();
}

namespace macros {

std::string Host2IP(Call& call) { return HostToAddress(call.text(1)); }

std::string IP2Host(Call& call) { return AddressToHost(call.textOr(1, "")); }

}  // namespace macros

}  // namespace kvl
