// Key strings and form posts from the input: reading a key string ends, releases every
// modifier it pressed, and sends at most 65535 presses of one key per brace; a posted
// body and a form page with definitions are read without fault.
#include <cstdint>
#include <string>

#include "dialogs/FormLogic.h"
#include "system/KeyStrings.h"
#include "tests/fuzz/FuzzCheck.h"

using kvlfuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = kvlfuzz::Parts<3>(kvlfuzz::AsText(data, size));

  // Letters and digits have keys; a few characters need Shift; the rest none.
  const kvl::keys::CharToKey translate = [](char c) -> std::optional<kvl::keys::KeyCode> {
    if (c >= 'a' && c <= 'z') return kvl::keys::KeyCode{static_cast<std::uint8_t>(c - 32), 0};
    if (c >= 'A' && c <= 'Z') return kvl::keys::KeyCode{static_cast<std::uint8_t>(c), kvl::keys::kWithShift};
    if (c >= '0' && c <= '9') return kvl::keys::KeyCode{static_cast<std::uint8_t>(c), 0};
    if (c == '!' || c == '?') return kvl::keys::KeyCode{0x31, kvl::keys::kWithShift | kvl::keys::kWithCtrl};
    return std::nullopt;
  };
  bool down[256] = {};  // a second press of a held key changes nothing, one release ends it
  std::size_t events = 0;
  kvl::keys::ReadKeyString(parts[0], translate, [&](const kvl::keys::KeyAction& action) {
    if (action.kind == kvl::keys::ActionKind::KeyDown) down[action.key] = true, ++events;
    if (action.kind == kvl::keys::ActionKind::KeyUp) down[action.key] = false;
  });
  for (bool held : down) Expect(!held, "every key pressed is released");
  Expect(events <= (parts[0].size() + 1) * 65538, "at most 65535 presses per brace, with its modifiers");

  kvl::TFrmDlgResult result;
  kvl::dialogs::ReadFormPost(parts[1], result);
  Expect(result.postedText.size() <= parts[1].size() + 1, "the posted text comes from the body");
  kvl::FormDefinitionList definitions;
  definitions.set("user", parts[2]);
  const std::string page = kvl::dialogs::ExpandFormDefinitions(parts[1], definitions);
  Expect(page.size() <= parts[1].size() * (parts[2].size() + 1) + 1, "definitions grow the page by their values only");
  return 0;
}
