#include "addresses/Idn.h"

#include <array>
#include <cstring>

#include "addresses/AddressList.h"
#include "core/Errors.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl::addresses {

namespace {
constexpr std::string_view kDomainEnds = "> ,<:/\\()\"*#;[]{}|@";

// The loaded library, loading it first from the plug-in's folder, then by the
// platform's search. A failed load is not remembered.
RuntimeLibrary* LoadedIdnLibrary() {
  RuntimeLibrary& library = IdnLibrary();
  if (!library.loaded()) library = RuntimeLibrary::Load(PluginFolder() + "idn.dll");
  if (!library.loaded()) library = RuntimeLibrary::Load("idn.dll");
  return library.loaded() ? &library : nullptr;
}
}  // namespace

std::string CallIdnFunction(const char* function, std::string_view text) {
  if (text.empty() || text.size() > kLongestIdnInput) return {};
  const RuntimeLibrary* library = LoadedIdnLibrary();
  if (library == nullptr) return std::string(ErrIdnMissing);
  std::array<char, 256> buffer{};
  const std::string input(text);  // NUL-terminated for the library
  const std::optional<std::int32_t> count = library->callBufferFunction(function, input.c_str(), buffer);
  if (!count) return std::string(ErrIdnMissing);
  if (*count <= 0) return {};
  // The library may forget the NUL; nothing past the buffer is read.
  const std::size_t written = strnlen(buffer.data(), buffer.size());
  return std::string(buffer.data(), std::min<std::size_t>(written, static_cast<std::size_t>(*count)));
}

std::string ConvertDomainsWith(std::string_view text, const std::function<std::string(std::string_view)>& convert) {
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', at + 1)) {
    const std::size_t start = at + 1;
    std::size_t end = text.find_first_of(kDomainEnds, start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view domain = text.substr(start, end - start);
    if (Trimmed(domain).empty()) continue;
    std::string converted = convert(domain);
    if (converted.empty()) continue;
    result.append(text.substr(copied, start - copied));
    result += converted;
    copied = end;
    at = end - 1;  // the walk goes on right after the domain
  }
  result.append(text.substr(copied));
  return result;
}

std::string ConvertAddressDomains(std::string_view text, IdnDirection direction) {
  const char* function = direction == IdnDirection::ToAce ? kIdnToAce : kAceToIdn;
  // Once the library is found missing, the other domains of this text get the error
  // without a search each (a text may hold many thousands of addresses).
  bool missing = false;
  return ConvertDomainsWith(text, [function, &missing](std::string_view domain) {
    if (missing) return std::string(ErrIdnMissing);
    std::string converted = CallIdnFunction(function, domain);
    missing = converted == ErrIdnMissing;
    return converted;
  });
}

std::string IdnAddressList(std::string_view list) {
  std::string result;
  for (const AddressEntry& entry : ReadAddressList(list)) {
    if (entry.name.empty() && entry.address.empty()) continue;
    const std::string& name = entry.name.empty() ? entry.address : entry.name;
    if (name.ends_with("<list>")) {
      result += name + ", ";
      continue;
    }
    result += '"' + name + "\" <" + ConvertAddressDomains(entry.address, IdnDirection::ToAce) + ">, ";
  }
  if (result.ends_with(", ")) result.resize(result.size() - 2);
  return result;
}

}  // namespace kvl::addresses
