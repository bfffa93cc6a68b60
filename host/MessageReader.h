#pragma once
// Reads a real e-mail message (.eml, RFC 5322 with MIME) into the data the
// stand-in host hands the plug-in. All texts come out in the ANSI code page.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvlhost {

struct MessageAttachment {
  std::string fileName;     // from Content-Disposition filename or Content-Type name, decoded
  std::string contentType;  // lower case, e.g. "application/pdf"
  std::size_t size = 0;     // decoded size in bytes
};

struct Message {
  std::string fromName;      // display name of From, encoded words decoded, quotes removed
  std::string fromAddress;   // addr-spec of From, without angle brackets
  std::string toName;        // first To recipient's display name
  std::string toAddress;     // first To recipient's address
  std::string subject;       // Subject, unfolded, encoded words decoded
  std::string messageId;     // Message-ID with its angle brackets
  std::string inReplyTo;     // In-Reply-To as written (unfolded)
  std::string references;    // References as written (unfolded)
  std::string date;          // Date header as written (unfolded)
  std::string text;          // first text/plain part, transfer encoding and charset decoded, CR LF lines;
                             // without one, the text of the first text/html part (HtmlToText)
  std::string headers;       // header block: unfolded lines as received, each ended by CR LF
  std::string body;          // the whole body as received (after the blank line), CR LF lines
  std::vector<MessageAttachment> attachments;
  std::vector<std::string> warnings;  // what the reader left out, for the user (ANSI)
};

// Parses the bytes of a message; never throws for malformed input (missing parts stay empty)
// but may throw std::bad_alloc. Items longer than the plug-in's result cap are cut there,
// with a warning that names them. A message whose line ends are all CR LF is read in place.
Message ParseMessage(std::string_view raw);

// Data items of a message for the context provider: 218, 219, 222, 223, 235, 241, 243, 254, 265, 266.
std::map<std::int32_t, std::string> MessageItems(Message&& message);

// Line ends made CR LF (from CR LF, a lone LF or a lone CR) over a text that comes in
// pieces: a CR at the end of one piece may meet its LF at the start of the next.
class CrLfLineEnds {
 public:
  // Writes the piece with CR LF line ends to `out` unless it is null; answers the bytes
  // that makes. Every lone line end adds one byte, so an unchanged size means CR LF only.
  std::size_t add(std::string_view piece, char* out);

 private:
  bool afterCr_ = false;  // the last piece ended with a CR whose LF may come next
};

}  // namespace kvlhost
