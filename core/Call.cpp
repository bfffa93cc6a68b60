#include "core/Call.h"

#include <algorithm>

#include "core/WorkBudget.h"
#include "core/ZorbelAPI.h"

namespace kvl {

namespace {
// The two-step protocol: the item's length, then the host's copy into the room that
// `room(length)` gives. Answers the characters copied; 0 on any failure.
template <typename Room>
std::size_t ReadItemInto(IZRPDataProvider* provider, std::int32_t id, Room&& room) {
  const std::int32_t length = provider->GetText(id, nullptr, 0);
  if (length <= 0) return 0;
  const std::int32_t copied = provider->GetText(id, room(static_cast<std::size_t>(length)), length);
  return copied <= 0 ? 0 : static_cast<std::size_t>(std::min(copied, length));
}
}  // namespace

std::string ReadItemText(IZRPDataProvider* provider, std::int32_t id) {
  try {
    std::string buffer;
    const std::size_t copied = ReadItemInto(provider, id, [&](std::size_t length) {
      buffer.resize(length);
      return buffer.data();
    });
    buffer.resize(copied);
    return buffer;
  } catch (...) {
    return {};
  }
}

TextBuffer ReadItemBuffer(IZRPDataProvider* provider, std::int32_t id) {
  try {
    std::unique_ptr<char[]> buffer;
    const std::size_t copied = ReadItemInto(provider, id, [&](std::size_t length) {
      buffer = std::make_unique_for_overwrite<char[]>(length);
      return buffer.get();
    });
    return {std::move(buffer), copied};
  } catch (...) {
    return {};
  }
}

Call::Call(IZRPDataProvider* context, IZRPDataProvider* params)
    : context_(context), params_(params), count_(params->GetCount()) {}

std::string Call::text(int n) const {
  std::string argument = ReadItemText(params_, n - 1);
  ChargeTextBytes(argument.size());
  return argument;
}

TextBuffer Call::textBuffer(int n) const {
  TextBuffer argument = ReadItemBuffer(params_, n - 1);
  ChargeTextBytes(argument.view().size());
  return argument;
}

std::int32_t Call::integer(int n) const { return params_->GetInteger(n - 1); }

std::string Call::textOr(int n, std::string_view dflt) const {
  return n <= count_ ? text(n) : std::string(dflt);
}

std::int32_t Call::integerOr(int n, std::int32_t dflt) const { return n <= count_ ? integer(n) : dflt; }

std::optional<std::int32_t> Call::integerIfGiven(int n) const {
  if (n > count_) return std::nullopt;
  return integer(n);
}

std::string Call::textOrWhenEmpty(int n, std::string_view dflt) const {
  std::string argument = textOr(n, "");
  return argument.empty() ? std::string(dflt) : argument;
}

bool Call::flag(int n, bool whenAbsent) const { return n <= count_ ? integer(n) == 1 : whenAbsent; }

std::string Call::item(std::int32_t id) const { return ReadItemText(context_, id); }

std::string Call::process(std::string_view hostText) {
  ChargeTextBytes(hostText.size());
  context_->ProcessText(hostText.data(), static_cast<std::int32_t>(hostText.size()), 0, context_);
  std::string output = ReadItemText(context_, 0);
  ChargeTextBytes(output.size());
  return output;
}

}  // namespace kvl
