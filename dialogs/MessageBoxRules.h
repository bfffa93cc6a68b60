#pragma once
// What a message box shows and answers, as text rules: the style from option codes and
// own captions, and the result letter of the button that closed it.
#include <cstdint>
#include <string_view>

namespace kvl::dialogs {

// The style bits of the option codes ("iq,ync,b2": codes separated by commas without
// blanks, any order, any case; empty means "o"). With own captions (1 to 3) their
// number sets the buttons instead of the button codes: OK, Yes/No, Yes/No/Cancel.
std::uint32_t MessageBoxStyle(std::string_view options, int captionCount);

// "O" for OK when asked for (else empty), "C", "A", "R", "I", "Y", "N"; empty for
// anything else (0: the box did not show).
std::string_view MessageBoxResult(int button, bool okGivesLetter);

}  // namespace kvl::dialogs
