#pragma once
// What every fuzz target shares: a broken promise ends the run like a crash, so
// libFuzzer keeps the input.
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kvlfuzz {

inline void Expect(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

inline std::string_view AsText(const unsigned char* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The parts of `input` between NUL characters, at most `count`; the last takes the rest.
template <std::size_t count>
std::array<std::string_view, count> Parts(std::string_view input) {
  std::array<std::string_view, count> parts{};
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const std::size_t cut = input.find('\0');
    if (cut == std::string_view::npos) {
      parts[i] = input;
      return parts;
    }
    parts[i] = input.substr(0, cut);
    input.remove_prefix(cut + 1);
  }
  parts[count - 1] = input;
  return parts;
}

}  // namespace kvlfuzz
