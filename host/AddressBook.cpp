#include "host/AddressBook.h"

#include <stdexcept>
#include <vector>

#include "core/TextUtil.h"

namespace kvlhost {

namespace {
// One CSV record from `at`; moves `at` past its line end. Quoted fields may span lines.
std::vector<std::string> ReadRecord(std::string_view csv, std::size_t& at) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (; at < csv.size(); ++at) {
    const char c = csv[at];
    if (quoted) {
      if (c == '"' && at + 1 < csv.size() && csv[at + 1] == '"') {
        fields.back() += '"';
        ++at;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      ++at;
      break;
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) field = std::string(kvl::Trimmed(field));
  return fields;
}
}  // namespace

AddressBook AddressBook::Parse(std::string_view csv) {
  std::size_t at = 0;
  const std::vector<std::string> header = ReadRecord(csv, at);
  int address = -1, gender = -1, country = -1, business = -1;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string name = kvl::AsciiLowered(header[i]);
    const int column = static_cast<int>(i);
    if (name == "address" || name == "email") address = column;
    else if (name == "gender") gender = column;
    else if (name == "country") country = column;
    else if (name == "buscountry") business = column;
  }
  if (address < 0) throw std::runtime_error("the address book's first line names no 'address' column");
  auto field = [](const std::vector<std::string>& record, int column) {
    return column >= 0 && static_cast<std::size_t>(column) < record.size() ? record[static_cast<std::size_t>(column)]
                                                                           : std::string();
  };
  AddressBook book;
  while (at < csv.size()) {
    const std::vector<std::string> record = ReadRecord(csv, at);
    const std::string key = kvl::AsciiLowered(field(record, address));
    if (key.empty()) continue;
    book.entries_[key] = {field(record, gender), field(record, country), field(record, business)};
  }
  return book;
}

const AddressBookEntry* AddressBook::find(std::string_view address) const {
  const auto found = entries_.find(kvl::AsciiLowered(kvl::Trimmed(address)));
  return found == entries_.end() ? nullptr : &found->second;
}

}  // namespace kvlhost
