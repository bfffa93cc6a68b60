#include "addresses/AddressList.h"

#include "core/TextUtil.h"

namespace kvl::addresses {

namespace {
bool EndsAddress(char c) { return c == '@' || c == '<' || c == '>' || c == ' ' || c == '"' || c == ','; }

std::string RemoveEveryEmptyAngle(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '<' && at + 1 < text.size() && text[at + 1] == '>') {
      ++at;
      continue;
    }
    out += text[at];
  }
  return out;
}

// Calls visit(entry, address "@" or npos) for every entry of the closed list.
template <typename Visit>
void ForEachEntry(std::string_view list, Visit&& visit) {
  enum class Quoting { None, Quotes, Parentheses } state = Quoting::None;
  std::size_t start = 0;
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (state == Quoting::Quotes) {
      if (c == '"') state = Quoting::None;
    } else if (state == Quoting::Parentheses) {
      if (c == ')') state = Quoting::None;
    } else if (c == '"') {
      state = Quoting::Quotes;
    } else if (c == '(') {
      state = Quoting::Parentheses;
    } else if (c == '@') {
      at = i - start;  // the last "@" outside quotes marks the entry's address
    } else if (c == ',') {
      visit(list.substr(start, i - start), at);
      start = i + 1;
      at = std::string_view::npos;
    }
  }
}
}  // namespace

AddressEntry SplitAddressEntry(std::string_view entry, std::size_t at) {
  AddressEntry result;
  std::string name;
  if (at == std::string_view::npos) {
    name = entry;
  } else {
    std::size_t left = at;
    while (left > 0 && !EndsAddress(entry[left - 1])) --left;
    std::size_t right = at + 1;
    while (right < entry.size() && !EndsAddress(entry[right])) ++right;
    result.address = entry.substr(left, right - left);
    name = std::string(entry.substr(0, left)) + std::string(entry.substr(right));
  }
  const std::string withoutAngles = RemoveEveryEmptyAngle(name);
  std::string cleaned(Trimmed(withoutAngles));
  if (cleaned.size() > 1) {
    if (cleaned.front() == '"' && cleaned.back() == '"') cleaned = cleaned.substr(1, cleaned.size() - 2);
    if (cleaned.size() >= 2 && cleaned.front() == '(' && cleaned.back() == ')')
      cleaned = cleaned.substr(1, cleaned.size() - 2);
  }
  result.name = std::move(cleaned);
  return result;
}

std::vector<AddressEntry> ReadAddressList(std::string_view list) {
  const std::string closed = std::string(Trimmed(list)) + ",";
  std::vector<AddressEntry> entries;
  if (closed == ",") return entries;
  ForEachEntry(closed, [&](std::string_view entry, std::size_t at) { entries.push_back(SplitAddressEntry(entry, at)); });
  return entries;
}

std::string SplitAddressList(std::string_view list, char fieldSeparator, char entrySeparator) {
  std::string split;
  for (const AddressEntry& entry : ReadAddressList(list))
    split.append(entry.name).append(1, fieldSeparator).append(entry.address).append(1, entrySeparator);
  return split;
}

// Read from the entries themselves, so separator characters inside a name or an
// address cannot shift the count.
std::string AddressListField(std::string_view list, long long n, int selector) {
  const std::vector<AddressEntry> entries = ReadAddressList(list);
  if (n < 1 || n > static_cast<long long>(entries.size())) return {};
  const AddressEntry& entry = entries[static_cast<std::size_t>(n - 1)];
  return selector == 1 ? entry.name : entry.address;
}

}  // namespace kvl::addresses
