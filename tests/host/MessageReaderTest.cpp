#include "host/MessageReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Expected texts are ANSI (code page 1252); hex escapes are split where a letter follows.
// The fields and texts of the example messages are compared with Python's email package
// in tests/email_peers.py; here the rest: headers, body, items, attachments, line ends.
namespace kvlhost {
namespace {

std::string SourceFile(const std::string& path) {
  std::ifstream file(std::string(KVL_SOURCE_DIR) + "/" + path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string ExampleMessage(const char* name) { return SourceFile(std::string("examples/") + name); }

// A generous bound for one message of a few megabytes under Wine on a slow machine;
// the reader takes milliseconds for each message read through this.
Message ReadWithin(const std::string& raw, const std::string& what) {
  const auto start = std::chrono::steady_clock::now();
  Message message = ParseMessage(raw);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << what;
  return message;
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

bool HasOnlyCrLfLineEnds(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return false;
  return true;
}

TEST(MessageReader, ReadsTheItemsOfAMessage) {
  const std::string raw = ExampleMessage("reply.eml");
  ASSERT_FALSE(raw.empty()) << "examples/reply.eml not readable";
  const Message m = ParseMessage(raw);
  EXPECT_EQ(m.inReplyTo, "<a1b2c3@mx.example.org>");
  EXPECT_EQ(m.references, "<9f8e7d@example.org> <a1b2c3@mx.example.org>");
  // Headers unfolded but not decoded; body exactly as received.
  EXPECT_NE(m.headers.find("\r\nSubject: =?UTF-8?Q?Willkommen_im_Team_=E2=80=93_erste_Schritte?= "), std::string::npos);
  EXPECT_TRUE(m.body.starts_with("This is a multi-part message in MIME format.\r\n\r\n------=_Part_4711"));
  EXPECT_TRUE(raw.ends_with(m.body));

  const std::map<std::int32_t, std::string> items = MessageItems(Message(m));
  const std::vector<std::pair<std::int32_t, std::string>> expected{
      {218, m.fromName}, {219, m.fromAddress}, {222, m.subject}, {223, m.subject},   {235, m.messageId},
      {241, m.text},     {243, m.headers},     {254, m.body},    {265, m.inReplyTo}, {266, m.references}};
  EXPECT_EQ(items.size(), expected.size());
  for (const auto& [id, value] : expected) EXPECT_EQ(items.count(id) ? items.at(id) : "<missing>", value) << id;
}

// A text/plain part anywhere wins over an earlier text/html one; without any, the first
// text/html part that is no attachment gives the text, in its charset or its meta charset.
TEST(MessageReader, HtmlGivesTheTextOnlyWithoutAPlainPart) {
  auto alternative = [](std::string_view first, std::string_view second) {
    return WithCrLf("Content-Type: multipart/alternative; boundary=b\n\n--b\n" + std::string(first) +
                    "\n--b\n" + std::string(second) + "\n--b--\n");
  };
  const std::string html = "Content-Type: text/html; charset=iso-8859-1\n\n<p>Gr\xFC\xDF" "e</p><p>HTML</p>";
  const std::string plain = "Content-Type: text/plain\n\nplain";
  EXPECT_EQ(ParseMessage(alternative(html, plain)).text, "plain");
  EXPECT_EQ(ParseMessage(alternative(html, "Content-Type: text/html\n\nsecond")).text, "Gr\xFC\xDF" "e\r\n\r\nHTML");
  const std::string attached = "Content-Type: text/html\nContent-Disposition: attachment; filename=a.html\n\nattached";
  EXPECT_EQ(ParseMessage(alternative(attached, "Content-Type: text/html\n\n<b>body</b>")).text, "body");
  EXPECT_EQ(ParseMessage(WithCrLf("Content-Type: text/html\n\n<meta charset=\"utf-8\">caf\xC3\xA9")).text, "caf\xE9");
  // The meta element is looked for in the first 1024 bytes, past a "charset" without "=".
  auto metaAt = [](std::size_t offset) {
    const std::string meta = "<meta content='text/html; charset=utf-8'>";
    return ParseMessage(WithCrLf("Content-Type: text/html\n\n<!-- charset -->" + std::string(offset - 16, ' ') + meta +
                                 "\xC3\xA9")).text;
  };
  EXPECT_EQ(metaAt(985), "\xE9");        // "utf-8" ends at byte 1024
  EXPECT_EQ(metaAt(986), "\xC3\xA9");    // only "utf-" is seen: no charset known, read as ANSI
  EXPECT_EQ(ParseMessage(WithCrLf("Content-Type: text/html\n\ncaf\xE9")).text, "caf\xE9");
  EXPECT_TRUE(ParseMessage(WithCrLf("Content-Type: text/html\n\n<p>x</p>")).warnings.empty());
}

TEST(MessageReader, ReadsMultipartMixedWithBase64TextAndAttachment) {
  const Message m = ParseMessage(ExampleMessage("checksums.eml"));  // stored with LF line ends
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].fileName, "Best\xE4nde_M\xE4rz_2024.pdf");  // filename* wins over name
  EXPECT_EQ(m.attachments[0].size, 218u);
  EXPECT_TRUE(HasOnlyCrLfLineEnds(m.headers) && HasOnlyCrLfLineEnds(m.body) && HasOnlyCrLfLineEnds(m.text));
}

TEST(MessageReader, WalksNestedPartsDepthFirstAndListsAttachments) {
  const Message m = ParseMessage(WithCrLf(
      "Content-Type: multipart/mixed; BOUNDARY=outer\n\npreamble\n--outer\n"
      "Content-Type: text/plain; name=\"notes.txt\"\nContent-Disposition: attachment\n\nattached\n--outer space\n"
      "--outer\nContent-Type: multipart/alternative; boundary=\"outer-alt\"\n\n"
      "--outer-alt\nContent-Type: text/html\n\n<p>html</p>\n"
      "--outer-alt\nContent-Type: text/plain; Charset=iso-8859-1\nContent-Transfer-Encoding: Quoted-Printable\n\n"
      "Sch=f6ne Gr=FC=DFe, a=3Db =\nund 2 =3D 1+1, lone = stays=\n\n--outer-alt--\n"
      "--outer\nContent-Type: Image/PNG; name*0*=utf-8''%E2%82%AC; name*1=\"_price.png\"\n"
      "Content-Transfer-Encoding: base64\n\niVBO  Rw0K\nGgoA*AAA==AAAA\n"
      "--outer\nContent-Type: application/octet-stream\n\nunnamed inline part\n"
      "--outer--\nepilogue\n--outer\nContent-Type: text/plain; name=late.txt\n\nafter the end\n"));
  EXPECT_EQ(m.text, "Sch\xF6ne Gr\xFC\xDF" "e, a=b und 2 = 1+1, lone = stays");  // last "=" CR LF is soft
  ASSERT_EQ(m.attachments.size(), 2u);
  EXPECT_EQ(m.attachments[0].fileName, "notes.txt");
  EXPECT_EQ(m.attachments[0].contentType, "text/plain");
  EXPECT_EQ(m.attachments[0].size, 23u);  // "--outer space" is no delimiter
  EXPECT_EQ(m.attachments[1].fileName, "\x80_price.png");
  EXPECT_EQ(m.attachments[1].contentType, "image/png");
  EXPECT_EQ(m.attachments[1].size, 11u);  // whitespace and '*' skipped, stops at '='
}

TEST(MessageReader, DecodesEncodedWordsInSubject) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"=?iso-8859-1?q?caf=e9_au_lait?=", "caf\xE9 au lait"},
      {"=?UTF-8?Q?a?= \t =?UTF-8?Q?b?=", "ab"},
      {"=?UTF-8?Q?a?= b  =?UTF-8?Q?c?= d", "a b  c d"},
      {"Re: =?UTF-8?Q?=C3?= =?UTF-8?B?vA==?=ber", "Re: \xFC" "ber"},  // one character split over two words
      {"=?UTF-8?B?4oKs?= =?ISO-8859-1?Q?=A3?=", "\x80\xA3"},
      {"x=?utf-8*de?Q?=C3=A4?=", "x\xE4"},
      {"=?UTF-8?Q?unterminated =?UTF-8?X?x?= =??Q?x?=", "=?UTF-8?Q?unterminated =?UTF-8?X?x?= =??Q?x?="},
      {"Gr\xC3\xBC\xC3\x9F" "e roh", "Gr\xFC\xDF" "e roh"},  // raw UTF-8
      {"Caf\xE9", "Caf\xE9"},                                // raw ANSI
  };
  for (const auto& [subject, expected] : cases)
    EXPECT_EQ(ParseMessage("Subject: " + subject + "\r\n\r\n").subject, expected) << subject;
}

TEST(MessageReader, ParsesFirstMailboxOfFromAndTo) {
  struct Case {
    std::string field, name, address;
  };
  const std::vector<Case> cases{
      {"\"M\\\"uller, Hans\" <hans@example.org>", "M\"uller, Hans", "hans@example.org"},
      {"Hans Meier <hans@example.org>, Eva <eva@example.org>", "Hans Meier", "hans@example.org"},
      {"hans@example.org (Hans Meier), eva@example.org", "Hans Meier", "hans@example.org"},
      {" hans@example.org ", "", "hans@example.org"},
      {"<hans@example.org> (Hans Meier)", "Hans Meier", "hans@example.org"},
      {"=?ISO-8859-1?Q?J=FCrgen_M=FCller?= <jm@example.org>", "J\xFCrgen M\xFCller", "jm@example.org"},
      {"\"=?UTF-8?Q?M=C3=BCller,_Eva?=\" <eva@example.org>", "M\xFCller, Eva", "eva@example.org"},
      {"Team: \"Lee, Kim\" <kim@example.org>, tom@example.org;", "Lee, Kim", "kim@example.org"},
      {"undisclosed-recipients:;", "", ""},
      {"Broken <no-end@example.org", "Broken", "no-end@example.org"},
  };
  for (const Case& c : cases) {
    const Message m = ParseMessage("From: " + c.field + "\nTo: " + c.field + "\n\n");
    EXPECT_EQ(m.fromName, c.name) << c.field;
    EXPECT_EQ(m.fromAddress, c.address) << c.field;
    EXPECT_EQ(m.toName, c.name) << c.field;
    EXPECT_EQ(m.toAddress, c.address) << c.field;
  }
}

TEST(MessageReader, HandlesLineEndsMissingPartsAndPlainMessages) {
  const Message lf = ParseMessage("Subject: Hi\nX-Long: one\n\ttwo\r\n\nline 1\nline 2\r\n");
  EXPECT_EQ(lf.headers, "Subject: Hi\r\nX-Long: one\ttwo\r\n");
  EXPECT_EQ(lf.body, "line 1\r\nline 2\r\n");
  EXPECT_EQ(lf.text, lf.body);  // no MIME headers: the body is the text

  const Message noBody = ParseMessage("Subject:  only headers  \r\nFrom: a@b");
  EXPECT_EQ(noBody.subject, "only headers");
  EXPECT_EQ(noBody.headers, "Subject:  only headers  \r\nFrom: a@b\r\n");
  EXPECT_EQ(noBody.body, "");
  EXPECT_EQ(noBody.text, "");

  const Message base64 = ParseMessage(
      "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: BASE64\n\nZWlucwp6d2Vp\nCg=");
  EXPECT_EQ(base64.text, "eins\r\nzwei\r\n");
  EXPECT_EQ(ParseMessage("Content-Type: multipart/mixed; boundary=x\n\n--x\n\nunclosed\n").text, "unclosed\r\n");
  EXPECT_EQ(ParseMessage("Content-Type: multipart/mixed; boundary=x\n\n--x\n\none\n--x\n\ntwo\n--x--\n").text, "one");
  const std::string htmlOnly = "Content-Type: multipart/alternative; boundary=x\n\n--x\nContent-Type: text/html\n\n<p>";
  EXPECT_EQ(ParseMessage(htmlOnly + "\n--x--\n").text, "");
}

TEST(MessageReader, QuotedPrintableAtLineAndBodyEnds) {
  auto text = [](const std::string& body) {
    return ParseMessage("Content-Transfer-Encoding: quoted-printable\r\n\r\n" + body).text;
  };
  EXPECT_EQ(text("caf=E9"), "caf\xE9");  // an escape that ends the body without a line break
  EXPECT_EQ(text("caf=E"), "caf=E");
  EXPECT_EQ(text("a= \t\r\nb"), "ab");  // blanks before a soft line break
  EXPECT_EQ(text("a= b"), "a= b");
  EXPECT_EQ(text("a=  "), "a");
}

TEST(MessageReader, SurvivesMalformedAndHostileInputInLinearTime) {
  for (const char* name : {"reply.eml", "checksums.eml"}) {
    const std::string raw = ExampleMessage(name);
    for (std::size_t size = 0; size <= raw.size(); ++size) ParseMessage(std::string_view(raw).substr(0, size));
  }
  // Unclosed encoded words, quotes and brackets; nesting far beyond reason; many tiny parts.
  std::string hostile = "Subject: ";
  for (int i = 0; i < 40000; ++i) hostile += "=?a?Q?x";
  hostile += "\r\nFrom: \"" + std::string(100000, '(') + "\r\nTo: \"\"" + std::string(100000, ' ') +
             std::string(100000, ',') + std::string(100000, '<');
  hostile += "\r\nContent-Type: multipart/mixed; boundary=b0\r\n\r\n";
  for (int i = 0; i < 20000; ++i)
    hostile += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) +
               "\r\n\r\n";
  for (int i = 0; i < 40000; ++i) hostile += "--b0\r\n\r\n=\r\n";
  const Message m = ReadWithin(hostile, "hostile fields and parts");
  EXPECT_TRUE(m.subject.starts_with("=?a?Q?x=?a?Q?x"));
  EXPECT_EQ(m.text, "=");
}

TEST(MessageReader, HeaderBlocksEndWhereHeadersEnd) {
  // Without a blank line the first line that is no field or continuation begins the body.
  const Message glued = ParseMessage("Subject: Hi\r\nFrom: a@b\r\n\tc\r\nthis is body: yes\r\nmore\r\n");
  EXPECT_EQ(glued.headers, "Subject: Hi\r\nFrom: a@b\tc\r\n");
  EXPECT_EQ(glued.body, "this is body: yes\r\nmore\r\n");
  EXPECT_EQ(glued.text, glued.body);
  const Message bodyOnly = ParseMessage("Dear Sir,\r\nSubject: not a header\r\n");
  EXPECT_EQ(bodyOnly.subject, "");
  EXPECT_EQ(bodyOnly.body, "Dear Sir,\r\nSubject: not a header\r\n");
  EXPECT_EQ(ParseMessage("From a@b Sat Dec  5 08:00:00 2026\nSubject: mbox\n\nx").subject, "mbox");
  // Lone CRs end lines; a UTF-8 byte-order mark does not hide the first field.
  const Message mac = ParseMessage("\xEF\xBB\xBF" "From: Ann <ann@x.org>\rSubject: Old Mac\r\rline 1\rline 2");
  EXPECT_EQ(mac.fromAddress, "ann@x.org");
  EXPECT_EQ(mac.subject, "Old Mac");
  EXPECT_EQ(mac.text, "line 1\r\nline 2");
  // UTF-8 addresses come out in the ANSI code page like names.
  EXPECT_EQ(ParseMessage("From: J\xC3\xBCrgen <j\xC3\xBCrgen@b\xC3\xBC" "cher.de>\n\n").fromAddress,
            "j\xFCrgen@b\xFC" "cher.de");
}

TEST(MessageReader, ParametersDigestsAndForwardedMessages) {
  // RFC 2231 boundaries (continued, encoded) and charsets.
  const Message continued = ParseMessage(
      "Content-Type: multipart/mixed; boundary*0=\"ab\"; boundary*1*=%63d\n\n--abcd\n"
      "Content-Type: text/plain; charset*=utf-8''\n\nGr\xC3\xBC\xC3\x9F" "e\n--abcd--\n");
  EXPECT_EQ(continued.text, "Gr\xFC\xDF" "e");
  // A digest's parts without a type are forwarded messages: their text, not their headers.
  const Message digest = ParseMessage(
      "Content-Type: multipart/digest; boundary=d\n\n--d\n\nFrom: a@b\nSubject: one\n\nFirst text\n"
      "--d\n\nSubject: two\n\nSecond\n--d--\n");
  EXPECT_EQ(digest.text, "First text");
  EXPECT_EQ(ParseMessage("Content-Type: multipart/mixed; boundary=d\n\n--d\n\nSubject: plain part\n--d--\n").text,
            "Subject: plain part");
  // A forwarded message is read like a part of its own, also when sent in Base64.
  const Message forwarded = ParseMessage(
      "Content-Type: multipart/mixed; boundary=m\n\n--m\nContent-Type: text/html\n\n<p>\n--m\n"
      "Content-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n"
      "U3ViamVjdDogaW5uZXIKCklubmVyIHRleHQK\n--m--\n");
  EXPECT_EQ(forwarded.text, "Inner text\r\n");
}

// Multiparts nested `levels` deep around one line of text.
std::string NestedMultiparts(int levels) {
  std::string head, tail;
  for (int n = 0; n < levels; ++n) {
    head += "Content-Type: multipart/mixed; boundary=b" + std::to_string(n) + "\n\n--b" + std::to_string(n) + "\n";
    tail += "\n--b" + std::to_string(levels - 1 - n) + "--";
  }
  return head + "\ninnermost" + tail;
}

TEST(MessageReader, DeepNestingIsReadToItsBoundAndSaysSo) {
  const Message atBound = ParseMessage(NestedMultiparts(256));
  EXPECT_EQ(atBound.text, "innermost");
  EXPECT_TRUE(atBound.warnings.empty());
  const Message beyond = ParseMessage(NestedMultiparts(257));
  EXPECT_EQ(beyond.text, "");
  ASSERT_EQ(beyond.warnings.size(), 1u);
  EXPECT_NE(beyond.warnings[0].find("256 levels"), std::string::npos);
}

TEST(MessageReader, LineEndsMadeCrLfAcrossPieces) {
  // Every way of cutting the text into two pieces gives the same bytes as one piece.
  const std::string text = "a\r\nb\nc\rd\r\r\ne\n\n\r";
  const std::string whole = "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\n\r\n";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    CrLfLineEnds counter, writer;
    const std::size_t size =
        counter.add(std::string_view(text).substr(0, cut), nullptr) + counter.add(std::string_view(text).substr(cut), nullptr);
    std::string out(size, '?');
    const std::size_t first = writer.add(std::string_view(text).substr(0, cut), out.data());
    writer.add(std::string_view(text).substr(cut), out.data() + first);
    EXPECT_EQ(out, whole) << "cut at " << cut;
  }
  EXPECT_EQ(CrLfLineEnds().add("x\r\ny\r\n", nullptr), 6u);  // CR LF only: the size stays
}

TEST(MessageReader, ItemsAreCutAtTheResultCapWithAWarning) {
  const std::size_t cap = 64u << 20;
  auto message = [](std::size_t bodySize) {
    return std::string("Subject: big\r\n\r\n").append(bodySize, 'x');
  };
  Message fits = ParseMessage(message(cap));
  EXPECT_EQ(fits.text.size(), cap);
  EXPECT_EQ(fits.body.size(), cap);
  EXPECT_TRUE(fits.warnings.empty());

  Message cut = ParseMessage(message(cap + 1));
  EXPECT_EQ(cut.text.size(), cap);
  EXPECT_EQ(cut.body.size(), cap);
  ASSERT_EQ(cut.warnings.size(), 2u);
  EXPECT_NE(cut.warnings[0].find("(item 241) is longer than 64 MiB"), std::string::npos);
  EXPECT_NE(cut.warnings[1].find("(item 254) is longer than 64 MiB"), std::string::npos);
  EXPECT_EQ(cut.subject, "big");

  // A header block past the cap keeps its first fields, cut where the cap falls.
  const std::string header = "Subject: s\r\nX-Long: " + std::string(cap, 'h') + "\r\nFrom: late@example.org\r\n\r\nbody";
  Message longHeaders = ParseMessage(header);
  EXPECT_EQ(longHeaders.subject, "s");
  EXPECT_EQ(longHeaders.fromAddress, "");
  EXPECT_EQ(longHeaders.headers.size(), cap);
  EXPECT_EQ(longHeaders.text, "body");
  ASSERT_EQ(longHeaders.warnings.size(), 1u);
  EXPECT_NE(longHeaders.warnings[0].find("(item 243)"), std::string::npos);

  // An attachment is measured, not kept: its size is what it decodes to.
  std::string attached = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: application/x-y; name=a\r\n"
                         "Content-Transfer-Encoding: base64\r\n\r\n";
  for (int line = 0; line < 1000; ++line) attached += "QUJD\r\n";
  attached += "--b--\r\n";
  const Message withAttachment = ParseMessage(attached);
  ASSERT_EQ(withAttachment.attachments.size(), 1u);
  EXPECT_EQ(withAttachment.attachments[0].size, 3000u);
}

// Broken and hostile messages: each is read without a crash, within the time stated,
// and keeps what it still holds.
Message BadMessage(const std::string& name) { return ParseMessage(SourceFile("tests/data/bad-messages/" + name)); }

TEST(BadMessages, EveryFileOfTheFolderIsReadAndKeepsWhatItHolds) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KVL_SOURCE_DIR) + "/tests/data/bad-messages")) {
    ReadWithin(SourceFile("tests/data/bad-messages/" + entry.path().filename().string()), entry.path().string());
    ++files;
  }
  EXPECT_GE(files, 8);
  EXPECT_EQ(BadMessage("truncated-header.eml").toAddress, "bob@exa");
  EXPECT_EQ(BadMessage("unterminated-encoded-word.eml").subject,
            "Gr\xFC\xDF" "e and =?utf-8?Q?unterminated_word");
  const Message unclosed = BadMessage("missing-closing-boundary.eml");
  EXPECT_EQ(unclosed.text, "The text survives.");
  ASSERT_EQ(unclosed.attachments.size(), 1u);
  EXPECT_EQ(unclosed.attachments[0].fileName, "a.pdf");
  EXPECT_EQ(BadMessage("bad-base64.eml").text, "Gr\xFC\xDF" "e");
  EXPECT_EQ(BadMessage("bad-quoted-printable.eml").text,
            "bad =ZZ escape, \xE4 good, softbreak, end ");  // a final "=" is a soft break
  const Message nuls = BadMessage("nul-bytes.eml");
  EXPECT_EQ(nuls.subject, std::string("nul\0inside", 10));
  EXPECT_EQ(nuls.text, std::string("body\0with\0nuls\r\n", 16));
  // A multipart without a boundary has no parts (as Python's reader sees it); its body stays.
  const Message noBoundary = BadMessage("empty-boundary.eml");
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

  EXPECT_EQ(ReadWithin(NestedMultiparts(10'000), "10 000 nested multiparts").warnings.size(), 1u);

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
