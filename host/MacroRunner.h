#pragma once
// What the template engine needs of a plug-in: one macro call with its arguments,
// the message's data items and the round trip of host text through the engine.
// PluginModule answers it through the plug-in's exports; this header needs no windows.h.
#include <charconv>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvlhost {

struct MacroOutcome {
  std::int32_t rc = -1;               // what ZRP_ExecMacro answered
  std::string result;                 // item 0 afterwards (empty for -1)
  bool resultWritten = false;
};

// Template text in, expansion out: what the host does with ProcessText. It may throw
// (memory exhaustion included): the provider turns that into a failed call, since
// nothing may unwind into the plug-in, which has a runtime of its own.
using TextProcessor = std::function<std::string(std::string_view)>;

// Told of each message data item the plug-in reads through the context provider (not
// the result slot, item 0). It may throw; the provider keeps that from the plug-in.
using ItemObserver = std::function<void(std::int32_t)>;

class MacroRunner {
 public:
  virtual ~MacroRunner() = default;
  // Calls macro `name`; it reads `items` as the message's data items, hands template
  // text to `processor` and tells `itemRead` which items it read.
  virtual MacroOutcome run(const std::string& name, const std::vector<std::string>& args,
                           const std::map<std::int32_t, std::string>& items, TextProcessor processor,
                           ItemObserver itemRead = {}) const = 0;
};

// Reads a signed decimal number; 0 when the text is not one.
inline std::int32_t DecimalOrZero(std::string_view text) {
  std::int32_t value = 0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (error == std::errc{} && end == text.data() + text.size()) ? value : 0;
}

}  // namespace kvlhost
