#pragma once
// Bounds that keep a wrong template from exhausting the 32-bit host's memory or time.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace kvl {

// Largest result a macro hands back; anything bigger becomes the parameter-value error.
inline constexpr std::size_t kResultCap = 64u * 1024 * 1024;

// Most passes of the host-text loops (KVL_For, KVL_Until): each pass is a round trip
// through the mail client's template engine.
inline constexpr int kMaxLoopPasses = 100000;

// A path buffer of the platform's ANSI file functions (MAX_PATH), its NUL included.
inline constexpr std::size_t kPathBuffer = 260;
// Longest text the platform's ANSI functions turn into a counted UTF-16 string
// (65 534 bytes with its NUL); Wine goes on with an unset string past it and crashes.
inline constexpr std::size_t kLongestPlatformText = 32766;

// A path the platform's file functions can take: shorter than a path buffer and
// without a NUL, which would end it early (or split a list of names) at the platform.
inline bool FitsPathBuffer(std::string_view path) {
  return path.size() < kPathBuffer && path.find('\0') == std::string_view::npos;
}

// A name or value an ANSI platform call can convert whole: no NUL, not too long.
inline bool FitsPlatformText(std::string_view text) {
  return text.size() <= kLongestPlatformText && text.find('\0') == std::string_view::npos;
}

struct ResultTooLarge : std::length_error {
  ResultTooLarge() : std::length_error("result exceeds the plug-in's result cap") {}
};

// Throws ResultTooLarge when a result of `size` characters would pass the cap;
// call it before building a result whose size the arguments decide.
inline void EnsureResultFits(std::uint64_t size) {
  if (size > kResultCap) throw ResultTooLarge();
}

}  // namespace kvl
