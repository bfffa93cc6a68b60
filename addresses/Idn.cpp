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

std::string ConvertDomainsWith(std::string_view text, const std::function<std::string(std::string_view)>& convert,
                               const std::bitset<256>& leadBytes) {
  static const CharClassSet domainEnds = [] {
    CharClassSet set;
    for (char c : kDomainEnds) set.set(static_cast<unsigned char>(c));
    return set;
  }();
  // Where the character at `i` ends: two bytes for a lead byte with a byte after it.
  const auto next = [&](std::size_t i) { return i + (InClasses(leadBytes, text[i]) && i + 1 < text.size() ? 2 : 1); };
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '@') {
      i = next(i);
      continue;
    }
    const std::size_t start = i + 1;
    std::size_t end = start;
    while (end < text.size() && !InClasses(domainEnds, text[end])) end = next(end);
    i = end;  // the walk goes on right after the domain, at its end character if any
    const std::string_view domain = text.substr(start, end - start);
    if (Trimmed(domain).empty()) continue;
    const std::string converted = convert(domain);
    if (converted.empty()) continue;
    result.append(text.substr(copied, start - copied));
    result += converted;
    copied = end;
  }
  result.append(text.substr(copied));
  return result;
}

std::string ConvertAddressDomains(std::string_view text, IdnDirection direction) {
  const char* function = direction == IdnDirection::ToAce ? kIdnToAce : kAceToIdn;
  // Once the library is found missing, the other domains of this text get the error
  // without a search each (a text may hold many thousands of addresses).
  bool missing = false;
  return ConvertDomainsWith(
      text,
      [function, &missing](std::string_view domain) {
        if (missing) return std::string(ErrIdnMissing);
        std::string converted = CallIdnFunction(function, domain);
        missing = converted == ErrIdnMissing;
        return converted;
      },
      AnsiLeadBytes());
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
