#pragma once
// A CSV address book for %ABToGender, %ABToCountry and %ABToBusCountry.
// The first line names the columns (any order, case ignored): address, gender,
// country, buscountry. Fields may be enclosed in double quotes ("" is one quote).
#include <map>
#include <string>
#include <string_view>

namespace kvlhost {

struct AddressBookEntry {
  std::string gender;
  std::string country;
  std::string businessCountry;
};

class AddressBook {
 public:
  // Throws std::runtime_error when the header names no address column.
  static AddressBook Parse(std::string_view csv);
  // The entry of an address (case ignored); null when unknown.
  const AddressBookEntry* find(std::string_view address) const;

 private:
  std::map<std::string, AddressBookEntry> entries_;
};

}  // namespace kvlhost
