#include "dialogs/MessageBoxRules.h"

#include <array>
#include <string>
#include <utility>

#include "core/TextUtil.h"

namespace kvl::dialogs {

namespace {
struct OptionCode {
  std::string_view code;
  std::uint32_t style;
  bool buttons;
};
constexpr std::array kOptionCodes{
    OptionCode{"iw", 0x30, false},   OptionCode{"ii", 0x40, false},   OptionCode{"iq", 0x20, false},
    OptionCode{"is", 0x10, false},   OptionCode{"ari", 2, true},      OptionCode{"o", 0, true},
    OptionCode{"oc", 1, true},       OptionCode{"rc", 5, true},       OptionCode{"yn", 4, true},
    OptionCode{"ync", 3, true},      OptionCode{"b1", 0, false},      OptionCode{"b2", 0x100, false},
    OptionCode{"b3", 0x200, false},  OptionCode{"b4", 0x300, false},  OptionCode{"ma", 0, false},
    OptionCode{"ms", 0x1000, false}, OptionCode{"mt", 0x2000, false}, OptionCode{"tm", 0x40000, false},
};
constexpr std::array<std::uint32_t, 4> kCaptionButtons{0, 0, 4, 3};  // by caption count
}  // namespace

std::uint32_t MessageBoxStyle(std::string_view options, int captionCount) {
  const std::string lowered = AsciiLowered(Trimmed(options));
  const std::string listed = std::string(",").append(lowered.empty() ? std::string_view("o") : lowered).append(",");
  std::uint32_t style = 0;
  for (const OptionCode& option : kOptionCodes) {
    if (option.buttons && captionCount > 0) continue;
    if (listed.find(std::string(",").append(option.code).append(",")) != std::string::npos) style |= option.style;
  }
  if (captionCount > 0) style |= kCaptionButtons[static_cast<std::size_t>(std::min(captionCount, 3))];
  return style;
}

std::string_view MessageBoxResult(int button, bool okGivesLetter) {
  switch (button) {
    case 1: return okGivesLetter ? "O" : "";
    case 2: return "C";
    case 3: return "A";
    case 4: return "R";
    case 5: return "I";
    case 6: return "Y";
    case 7: return "N";
    default: return "";
  }
}

}  // namespace kvl::dialogs
