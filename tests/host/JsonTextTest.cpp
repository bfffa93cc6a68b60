// Batch replies escape their texts by hand: byte for byte what nlohmann::json writes.
#include "host/JsonText.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace {

TEST(JsonText, EscapesAsNlohmannDoes) {
  std::string text;
  for (int c = 0; c < 0x80; ++c) text += static_cast<char>(c);
  text += "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \x7F\"\\";
  std::string escaped = "\"";
  kvlhost::AppendJsonEscaped(escaped, text);
  escaped += '"';
  EXPECT_EQ(escaped, nlohmann::json(text).dump());
  EXPECT_EQ(nlohmann::json::parse(escaped).get<std::string>(), text);
  std::string appended = "x";
  kvlhost::AppendJsonEscaped(appended, "");
  kvlhost::AppendJsonEscaped(appended, "\"\x01");
  EXPECT_EQ(appended, "x\\\"\\u0001");
}

}  // namespace
