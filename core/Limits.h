#pragma once
// Bounds that keep a wrong template from exhausting the 32-bit host's memory or time.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace kvl {

// Largest result a macro hands back; anything bigger becomes the parameter-value error.
inline constexpr std::size_t kResultCap = 64u * 1024 * 1024;

// Most passes of the host-text loops (KVL_For, KVL_Until): each pass is a round trip
// through the mail client's template engine.
inline constexpr int kMaxLoopPasses = 100000;

struct ResultTooLarge : std::length_error {
  ResultTooLarge() : std::length_error("result exceeds the plug-in's result cap") {}
};

// Throws ResultTooLarge when a result of `size` characters would pass the cap;
// call it before building a result whose size the arguments decide.
inline void EnsureResultFits(std::uint64_t size) {
  if (size > kResultCap) throw ResultTooLarge();
}

}  // namespace kvl
