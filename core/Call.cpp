#include "core/Call.h"

#include <algorithm>

#include "core/WorkBudget.h"
#include "core/ZorbelAPI.h"

namespace kvl {

std::string ReadItemText(IZRPDataProvider* provider, std::int32_t id) {
  try {
    const std::int32_t length = provider->GetText(id, nullptr, 0);
    if (length <= 0) return {};
    std::string buffer(static_cast<std::size_t>(length), '\0');
    const std::int32_t copied = provider->GetText(id, buffer.data(), length);
    if (copied <= 0) return {};
    buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), buffer.size()));
    return buffer;
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

std::int32_t Call::integer(int n) const { return params_->GetInteger(n - 1); }

std::string Call::textOr(int n, std::string_view dflt) const {
  return n <= count_ ? text(n) : std::string(dflt);
}

std::int32_t Call::integerOr(int n, std::int32_t dflt) const { return n <= count_ ? integer(n) : dflt; }

std::string Call::item(std::int32_t id) const { return ReadItemText(context_, id); }

std::string Call::process(std::string_view hostText) {
  ChargeTextBytes(hostText.size());
  context_->ProcessText(hostText.data(), static_cast<std::int32_t>(hostText.size()), 0, context_);
  std::string output = ReadItemText(context_, 0);
  ChargeTextBytes(output.size());
  return output;
}

}  // namespace kvl
