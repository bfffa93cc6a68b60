#pragma once
// Address lists as To and Cc hold them: entries split at commas outside quotes and
// parentheses, each entry a display name and an address.
#include <string>
#include <string_view>
#include <vector>

namespace kvl::addresses {

struct AddressEntry {
  std::string name;
  std::string address;
};

// The entries of the list, in order.
std::vector<AddressEntry> ReadAddressList(std::string_view list);

// One record per entry: name, field separator, address, entry separator. The list is
// trimmed and closed by one more comma, so "a@b.c," has two entries and an empty
// list none.
std::string SplitAddressList(std::string_view list, char fieldSeparator, char entrySeparator);

// An entry's address (the run around its "@" up to "@", "<", ">", blank, double quote
// or comma) and the rest as its name, without "<>", trimmed, unquoted, unbracketed.
// `at` is the position of the entry's address "@", or npos for none.
AddressEntry SplitAddressEntry(std::string_view entry, std::size_t at);

// Field of entry n (from 1): the name for selector 1, else the address; empty when
// there is no such entry.
std::string AddressListField(std::string_view list, long long n, int selector);

}  // namespace kvl::addresses
