#include "addresses/Headers.h"

#include <algorithm>

#include "core/Limits.h"
#include "core/TextUtil.h"

namespace kvl::addresses {

namespace {
bool EndsWith(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// The rest of a trimmed header line after `prefix` (compared lower-cased), trimmed.
std::optional<std::string> AfterPrefix(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size() || AsciiLowered(line.substr(0, prefix.size())) != prefix) return std::nullopt;
  return TrimClasses(line.substr(prefix.size()), " ");
}
}  // namespace

std::string UnfoldHeaderBlock(std::string_view block) {
  std::string unfolded;
  unfolded.reserve(block.size());
  std::size_t start = 0;
  std::size_t end = block.find("\r\n");
  while (end != std::string_view::npos) {
    std::string line(block.substr(start, end - start));
    std::replace(line.begin(), line.end(), '\t', ' ');
    unfolded += Trimmed(line);
    start = end + 2;
    end = block.find("\r\n", start);
    // Only a line that is taken continues one: the text after the last CR LF is not.
    const bool continued = end != std::string_view::npos && (block[start] == ' ' || block[start] == '\t');
    unfolded += continued ? " " : "\r\n";
  }
  // One pass makes every run of blanks one blank, as repeating "two blanks to one" would.
  unfolded.erase(std::unique(unfolded.begin(), unfolded.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
                 unfolded.end());
  return unfolded;
}

std::string HeaderValue(std::string_view block, std::string_view name) {
  const std::string haystack = "\r\n" + AsciiLowered(block);
  const std::size_t at = FindText(haystack, "\r\n" + AsciiLowered(name) + ":");
  if (at == std::string::npos) return "";
  const std::size_t valueStart = at + name.size() + 1;  // in the block: the CR LF in front is not there
  const std::size_t valueEnd = block.find("\r\n", valueStart);
  if (valueEnd == std::string_view::npos) return "";
  std::string_view value = block.substr(valueStart, valueEnd - valueStart);
  std::size_t first = 0;
  while (first < value.size() && static_cast<unsigned char>(value[first]) <= 32) ++first;
  return std::string(value.substr(first));
}

std::optional<std::string> MailerName(std::string_view headerBlock) {
  std::size_t start = 0;
  for (std::size_t end; (end = headerBlock.find('\n', start)) != std::string_view::npos; start = end + 1) {
    const std::string line = TrimClasses(headerBlock.substr(start, end - start), " ");
    if (auto name = AfterPrefix(line, "x-mailer: ")) return name;
    if (auto name = AfterPrefix(line, "user-agent: ")) return name;
  }
  return std::nullopt;
}

char GuessGender(std::string_view firstName) {
  const std::string name = AsciiLowered(Trimmed(firstName));
  char gender = '1';
  // Each rule overrides the ones before it.
  if (EndsWith(name, "a") || EndsWith(name, "e") || EndsWith(name, "i")) gender = '2';
  if (EndsWith(name, "ka") || EndsWith(name, "re")) gender = '1';
  if (EndsWith(name, "ah") || EndsWith(name, "ny") || EndsWith(name, "tt")) gender = '2';
  if (EndsWith(name, "rin") || EndsWith(name, "rix")) gender = '2';
  if (EndsWith(name, "ines")) gender = '2';
  if (name.empty() || name == "familie" || name == "fam" || name == "firma" || name == "fa") gender = '0';
  return gender;
}

std::string AccountNames(std::string_view fileText, int kind, std::string_view separator) {
  const bool secondKind = kind == 1 || kind == 2;
  const bool firstKind = kind == 0 || kind == 2;
  std::string names;
  bool any = false;
  ForEachLineAtAnyBreak(fileText, [&](std::string_view line) {
    std::string_view name;
    if (line.starts_with("\\\\\\")) {
      if (!secondKind) return;
      name = line.substr(3);
    } else if (line.starts_with("\\\\")) {
      if (!firstKind) return;
      name = line.substr(2);
    } else {
      return;
    }
    EnsureResultFits(std::uint64_t(names.size()) + separator.size() + name.size());
    if (any) names += separator;
    names += name;
    any = true;
  });
  return names;
}

bool Listed(std::string_view wrappedList, std::string_view value) {
  if (value.empty()) return false;
  std::string wrapped;
  wrapped.reserve(value.size() + 2);
  wrapped.append("|").append(value).append("|");
  return FindText(wrappedList, wrapped) != std::string_view::npos;
}

bool AnyCodeListed(std::string_view wrappedList, std::string_view codes) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = codes.find(',', start);
    const std::string_view code = Trimmed(codes.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (Listed(wrappedList, code)) return true;
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
}

}  // namespace kvl::addresses
