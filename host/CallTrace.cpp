#include "host/CallTrace.h"

#include <charconv>

#include "core/platform.h"

namespace kvlhost {

std::string CallTrace::Shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto& leadBytes = kvl::AnsiLeadBytes();
  std::string out = "\"";
  std::size_t at = 0, characters = 0;
  for (; at < text.size() && characters < kShownCharacters; ++characters) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (leadBytes[c] && at + 1 < text.size()) {  // a two-byte character is not cut in half
      out.append(text.substr(at, 2));
      at += 2;
      continue;
    }
    ++at;
    if (c == '"' || c == '\\') out.append(1, '\\').append(1, static_cast<char>(c));
    else if (c == '\n') out.append("\\n");
    else if (c == '\r') out.append("\\r");
    else if (c == '\t') out.append("\\t");
    else if (c < ' ' || c == 0x7F) out.append("\\x").append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
    else out.append(1, static_cast<char>(c));
  }
  out.append(1, '"');
  if (at < text.size()) out.append("... (").append(std::to_string(text.size())).append(" characters)");
  return out;
}

void CallTrace::write(const std::string& text) {
  if (muted_ > 0 || lines_ > kMaxLines) return;
  if (++lines_ > kMaxLines) {
    sink_("... more than " + std::to_string(kMaxLines) + " lines of trace; the rest is left out");
    return;
  }
  sink_(std::string(2 * static_cast<std::size_t>(depth_), ' ') + text);
}

CallTrace::Scope CallTrace::enterCall(std::string_view name, std::string_view where) {
  if (muted_ > 0) {
    ++muted_;
    return Scope(this);
  }
  std::string line = "%";
  line.append(name);
  if (!where.empty()) line.append(" at ").append(where);
  write(line);
  ++depth_;
  return Scope(this);
}

void CallTrace::arguments(std::span<const MarkedText> args) {
  if (args.empty()) return;
  std::string line = "with ";
  for (std::size_t i = 0; i < args.size() && i < kShownArguments; ++i)
    line.append(i > 0 ? ", " : "").append(Shown(args[i].text));
  if (args.size() > kShownArguments)
    line.append(", ... ").append(std::to_string(args.size() - kShownArguments)).append(" more arguments");
  write(line);
}

CallTrace::Scope CallTrace::enterPass(std::uint64_t pass, std::string_view hostText) {
  // Passes after the listed ones, and everything inside them, are only counted.
  if (muted_ > 0 || pass > kListedPasses) {
    ++muted_;
    return Scope(this);
  }
  write("pass " + std::to_string(pass) + ": " + Shown(hostText));
  ++depth_;
  return Scope(this);
}

void CallTrace::callEnded(const std::string* result, std::uint64_t ownPasses, const Work& work) {
  if (ownPasses > kListedPasses) {
    const std::uint64_t more = ownPasses - kListedPasses;
    write("... " + std::to_string(more) + " more pass" + (more == 1 ? "" : "es"));
  }
  if (result == nullptr) {
    write("not a macro of the plug-in; copied unchanged");
    return;
  }
  char time[32];
  const auto end = std::to_chars(time, time + sizeof time, work.milliseconds, std::chars_format::fixed, 3).ptr;
  std::string line = "answered " + Shown(*result) + " in " + std::string(time, end) + " ms (work: ";
  if (work.passes > 0) line.append(std::to_string(work.passes)).append(work.passes == 1 ? " pass, " : " passes, ");
  write(line.append(std::to_string(work.bytes)).append(" bytes)"));
}

void CallTrace::leave() {
  if (muted_ > 0) --muted_;
  else --depth_;
}

}  // namespace kvlhost
