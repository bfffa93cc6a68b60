#pragma once
// Base64 on 8-bit text, one pass over the input; the bulk of a long text goes
// through processor blocks where the processor has them.
#include <string>
#include <string_view>

namespace kvl {

// Which code takes the bulk of Base64 text. Fastest: AVX2 blocks where the processor
// has them, else SSSE3 blocks, else plain code. Avx2 and Ssse3 ask for one kind of
// block (falling back to the next kind down where the processor lacks it), Plain for
// plain code always. Every path gives the same result on every input; tests compare them.
enum class Base64Path { Fastest, Plain, Ssse3, Avx2 };
bool Base64HasSsse3();
bool Base64HasAvx2();

std::string Base64Encode(std::string_view bytes, Base64Path path = Base64Path::Fastest);
// CR and LF anywhere and controls at both ends are ignored, and missing padding is
// supplied; the rest must be whole groups of the alphabet with at most two "=" at
// the end, or the result is "" (no partial output).
std::string Base64Decode(std::string_view text, Base64Path path = Base64Path::Fastest);

}  // namespace kvl
