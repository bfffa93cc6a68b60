// Broken and hostile messages: each is read without a crash, within the time stated,
// and keeps what it still holds.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "host/MessageReader.h"

namespace kvlhost {
namespace {

using Clock = std::chrono::steady_clock;
// A generous bound for one message of a few megabytes under Wine on a slow machine;
// the reader takes milliseconds for each of these.
constexpr auto kBound = std::chrono::seconds(3);

std::string ReadBadMessage(const std::string& name) {
  std::ifstream file(std::string(KVL_SOURCE_DIR) + "/tests/data/bad-messages/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Message ReadWithin(const std::string& raw, const std::string& what) {
  const auto start = Clock::now();
  Message message = ParseMessage(raw);
  EXPECT_LT(Clock::now() - start, kBound) << what;
  return message;
}

TEST(BadMessages, EveryFileOfTheFolderIsReadAndKeepsWhatItHolds) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KVL_SOURCE_DIR) + "/tests/data/bad-messages")) {
    ReadWithin(ReadBadMessage(entry.path().filename().string()), entry.path().string());
    ++files;
  }
  EXPECT_GE(files, 8);
  EXPECT_EQ(ParseMessage(ReadBadMessage("truncated-header.eml")).toAddress, "bob@exa");
  EXPECT_EQ(ParseMessage(ReadBadMessage("unterminated-encoded-word.eml")).subject,
            "Gr\xFC\xDF" "e and =?utf-8?Q?unterminated_word");
  const Message unclosed = ParseMessage(ReadBadMessage("missing-closing-boundary.eml"));
  EXPECT_EQ(unclosed.text, "The text survives.");
  ASSERT_EQ(unclosed.attachments.size(), 1u);
  EXPECT_EQ(unclosed.attachments[0].fileName, "a.pdf");
  EXPECT_EQ(ParseMessage(ReadBadMessage("bad-base64.eml")).text, "Gr\xFC\xDF" "e");
  EXPECT_EQ(ParseMessage(ReadBadMessage("bad-quoted-printable.eml")).text,
            "bad =ZZ escape, \xE4 good, softbreak, end ");  // a final "=" is a soft break
  const Message nuls = ParseMessage(ReadBadMessage("nul-bytes.eml"));
  EXPECT_EQ(nuls.subject, std::string("nul\0inside", 10));
  EXPECT_EQ(nuls.text, std::string("body\0with\0nuls\r\n", 16));
  // A multipart without a boundary has no parts (as Python's reader sees it); its body stays.
  const Message noBoundary = ParseMessage(ReadBadMessage("empty-boundary.eml"));
  EXPECT_EQ(noBoundary.text, "");
  EXPECT_EQ(noBoundary.body, "--\r\n\r\nempty boundary\r\n");
}

TEST(BadMessages, HugeAndDeepMessagesStayWithinTheirBound) {
  const std::string longLine = "Subject: " + std::string(1 << 20, 'x') + "\r\n\r\nbody";
  EXPECT_EQ(ReadWithin(longLine, "1 MB header line").subject.size(), 1u << 20);

  std::string folded = "Subject: start";
  for (int n = 0; n < 100'000; ++n) folded += "\r\n continued";
  EXPECT_EQ(ReadWithin(folded + "\r\n\r\nbody", "100 000 folded lines").subject.size(), 5 + 100'000 * 10u);

  std::string parts = "Content-Type: multipart/mixed; boundary=p\r\n\r\n";
  for (int n = 0; n < 100'000; ++n) parts += "--p\r\nContent-Type: application/x-a; name=f\r\n\r\nx\r\n";
  EXPECT_EQ(ReadWithin(parts + "--p--\r\n", "100 000 parts").attachments.size(), 100'000u);

  std::string head, tail;
  for (int n = 0; n < 10'000; ++n) {
    head += "Content-Type: multipart/mixed; boundary=b" + std::to_string(n) + "\r\n\r\n--b" + std::to_string(n) + "\r\n";
    tail += "\r\n--b" + std::to_string(9'999 - n) + "--";
  }
  const Message deep = ReadWithin(head + "\r\ninnermost" + tail, "10 000 nested multiparts");
  EXPECT_EQ(deep.warnings.size(), 1u);

  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    // Mostly printable with line ends, so that headers and boundaries form now and then.
    if (round % 2 == 0)
      for (char& c : bytes) c = "ab:; =?\r\n-\"<>()\t"[static_cast<unsigned char>(c) % 17];
    ReadWithin(bytes, "random bytes, round " + std::to_string(round));
  }
}

}  // namespace
}  // namespace kvlhost
