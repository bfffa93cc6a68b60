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
  EXPECT_EQ(EightDigitLayoutName("de"), "00000407");
  EXPECT_EQ(EightDigitLayoutName("DE-de"), "00000407");
  EXPECT_EQ(EightDigitLayoutName("lt"), "00000427");
  EXPECT_EQ(EightDigitLayoutName("USERDEFAULT"), "00000400");
  EXPECT_EQ(EightDigitLayoutName("sr-sp-latn"), "0000081a");
  // The first match wins: "am" is a culture prefix only, and the short code 0409.
  EXPECT_EQ(EightDigitLayoutName("am"), "00000409");
  EXPECT_EQ(EightDigitLayoutName("am-ET"), "0000045e");
  EXPECT_EQ(EightDigitLayoutName(" sw "), "0000041d");
  EXPECT_EQ(EightDigitLayoutName("0407"), "00000407");
  EXPECT_EQ(EightDigitLayoutName("1"), "00000001");
  EXPECT_EQ(EightDigitLayoutName("0000040C"), "0000040C");
  EXPECT_EQ(EightDigitLayoutName("100000409"), "00000409");
  EXPECT_EQ(EightDigitLayoutName("xx-YY"), "000xx-YY");
}

}  // namespace
