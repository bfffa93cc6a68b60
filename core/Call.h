#pragma once
// One macro call as a handler sees it: its arguments (numbered from 1), the
// host's data items and the host round trip. Holds no windows.h types.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/ZorbelItems.h"

struct IZRPDataProvider;

namespace kvl {

// Text read from the host into storage of its own, not zero-filled first: a whole
// message (16 MiB and more) is then copied once and nothing else touches it.
class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(std::unique_ptr<char[]> data, std::size_t size) : data_(std::move(data)), size_(size) {}
  // Never a null pointer, even when empty: PCRE refuses a null subject of any length.
  std::string_view view() const { return {data_ ? data_.get() : "", size_}; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
};

class Call {
 public:
  Call(IZRPDataProvider* context, IZRPDataProvider* params);

  int count() const { return count_; }
  std::string text(int n) const;
  // The argument for handlers that only read it (no zero fill before the host's copy).
  TextBuffer textBuffer(int n) const;
  std::int32_t integer(int n) const;
  // The argument when it was given, else the default.
  std::string textOr(int n, std::string_view dflt) const;
  std::int32_t integerOr(int n, std::int32_t dflt) const;
  // The argument when it was given, so a handler can tell "absent" from any value.
  std::optional<std::int32_t> integerIfGiven(int n) const;
  // The argument when it was given and is not empty, else the default.
  std::string textOrWhenEmpty(int n, std::string_view dflt) const;
  // Whether the argument is exactly 1; `whenAbsent` when it was not given.
  bool flag(int n, bool whenAbsent = false) const;
  // A data item of the message being written (218 name, 223 subject, ...).
  std::string item(std::int32_t id) const;
  // Hands template text to the host and answers what its expansion produced; both
  // count against the call's work budget (throws BudgetSpent once it is spent).
  std::string process(std::string_view hostText);

 private:
  IZRPDataProvider* context_;
  IZRPDataProvider* params_;
  int count_;
};

// Reads an item by the two-step length/copy protocol; any failure reads as empty.
std::string ReadItemText(IZRPDataProvider* provider, std::int32_t id);
TextBuffer ReadItemBuffer(IZRPDataProvider* provider, std::int32_t id);

}  // namespace kvl
