#pragma once
// A text built from many short pieces (the stretches between matches and what
// replaces them): one buffer grown by doubling, pieces copied without a call into
// the C runtime, since under Wine such a call cost more than a short copy itself.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Limits.h"

namespace kvl {

inline char* CopyShort(char* to, const char* from, std::size_t length) {
#if defined(__SSE2__)
  for (; length >= 16; length -= 16, from += 16, to += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
  // Fixed sizes, so each copy is a move or two.
  if (length & 8) std::memcpy(to, from, 8), to += 8, from += 8;
  if (length & 4) std::memcpy(to, from, 4), to += 4, from += 4;
  if (length & 2) std::memcpy(to, from, 2), to += 2, from += 2;
  if (length & 1) *to++ = *from;
  return to;
#else
  std::memcpy(to, from, length);
  return to + length;
#endif
}

class TextBuilder {
 public:
  // `expected`: the size to start with; `most`: beyond it append throws ResultTooLarge.
  explicit TextBuilder(std::size_t expected, std::size_t most = kResultCap)
      : out_(std::min(std::max<std::size_t>(expected, 16), most), '\0'), most_(most) {}

  void append(std::string_view piece) {
    if (out_.size() - used_ < piece.size()) grow(piece.size());
    CopyShort(out_.data() + used_, piece.data(), piece.size());
    used_ += piece.size();
  }

  std::size_t size() const { return used_; }

  std::string finish() && {
    out_.resize(used_);
    return std::move(out_);
  }

 private:
  void grow(std::size_t more) {
    if (more > most_ - used_) throw ResultTooLarge();
    out_.resize(std::min(std::max(out_.size() * 2, used_ + more), most_));
  }

  std::string out_;
  std::size_t used_ = 0;
  std::size_t most_;
};

}  // namespace kvl
