// The layout-name table and the rule that makes eight digits of an argument.
#include <gtest/gtest.h>

#include "system/KeyboardLayouts.h"

namespace {

using kvl::EightDigitLayoutName;

TEST(KeyboardLayouts, TableRowsAndGroupEnds) {
  const auto rows = kvl::LayoutNames();
  ASSERT_EQ(rows.size(), 259u);
  // First and last row of each group: special, culture, language, short code.
  for (const auto& [index, name, code] : std::vector<std::tuple<std::size_t, std::string, std::string>>{
           {0, "Neutral", "0000"}, {2, "SystemDefault", "0800"}, {3, "af-ZA", "0436"}, {210, "yo-NG", "046a"},
           {211, "ar", "0401"}, {245, "zh", "0004"}, {246, "am", "0409"}, {258, "sw", "041d"}}) {
    EXPECT_EQ(rows[index].name, name) << index;
    EXPECT_EQ(rows[index].code, code) << index;
  }
  for (const auto& row : rows) EXPECT_EQ(row.code.size(), 4u) << row.name;
}

TEST(KeyboardLayouts, EightDigitNames) {
  for (const auto& [argument, name] : std::vector<std::pair<std::string, std::string>>{
           {"de", "00000407"}, {"DE-de", "00000407"}, {"lt", "00000427"}, {"USERDEFAULT", "00000400"},
           {"sr-sp-latn", "0000081a"}, {" sw ", "0000041d"}, {"0407", "00000407"}, {"1", "00000001"},
           // The first match wins: "am" is a culture prefix only, and the short code 0409.
           {"am", "00000409"}, {"am-ET", "0000045e"},
           {"0000040C", "0000040C"}, {"100000409", "00000409"}, {"xx-YY", "000xx-YY"}})
    EXPECT_EQ(EightDigitLayoutName(argument), name) << argument;
}

}  // namespace
