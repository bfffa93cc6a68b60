#include "host/Charset.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <mlang.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/TextUtil.h"
#include "core/Win32Owners.h"

namespace kvlhost {

namespace {

// Code pages that MultiByteToWideChar does not have and our own code reads.
constexpr unsigned kUtf16Le = 1200;
constexpr unsigned kUtf16Be = 1201;
constexpr unsigned kUtf32Le = 12000;
constexpr unsigned kUtf32Be = 12001;
constexpr unsigned kIso8859_16 = 28606;
constexpr unsigned kUsAscii = 20127;

// Charset names are short ASCII tokens; longer or stranger ones are not looked up.
constexpr std::size_t kMaxNameLength = 64;
// Distinct names remembered per thread (lookups) and per process (warnings).
constexpr std::size_t kMaxRememberedNames = 256;
// Registry aliases may point at aliases; a loop among them must end.
constexpr int kMaxAliasHops = 4;

// mingw's uuid library lacks this one.
constexpr GUID kIidMultiLanguage2{0xDCCFC164, 0x2B38, 0x11D2, {0xB7, 0xEC, 0x00, 0xC0, 0x4F, 0x8F, 0x5D, 0x9A}};

std::wstring ToWide(std::string_view bytes, unsigned codePage) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

std::string FromWide(std::wstring_view wide, unsigned codePage) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int length =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr,
                      nullptr);
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// Our own decoders

void AppendCodePoint(std::wstring& out, std::uint32_t codePoint) {
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) codePoint = 0xFFFD;
  if (codePoint < 0x10000) {
    out += static_cast<wchar_t>(codePoint);
    return;
  }
  codePoint -= 0x10000;
  out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
  out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

// UTF-16 or UTF-32 in either byte order. A byte-order mark decides the order and is dropped;
// lone surrogates, values past U+10FFFF and a cut-off last unit become U+FFFD.
std::wstring UnicodeUnitsToWide(std::string_view bytes, std::size_t unitSize, bool bigEndian) {
  auto unitAt = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < unitSize; ++i)
      value = value << 8 | static_cast<unsigned char>(bytes[at + (bigEndian ? i : unitSize - 1 - i)]);
    return value;
  };
  const std::uint32_t swappedMark = unitSize == 2 ? 0xFFFE : 0xFFFE0000;
  const std::size_t whole = bytes.size() - bytes.size() % unitSize;
  std::size_t at = 0;
  if (whole > 0 && (unitAt(0) == 0xFEFF || unitAt(0) == swappedMark)) {
    bigEndian = bigEndian == (unitAt(0) == 0xFEFF);
    at = unitSize;
  }
  std::wstring out;
  out.reserve(whole / unitSize + 1);
  for (; at < whole; at += unitSize) {
    const std::uint32_t unit = unitAt(at);
    const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
    if (unitSize == 2 && highSurrogate && at + 2 < whole && unitAt(at + 2) >= 0xDC00 && unitAt(at + 2) <= 0xDFFF) {
      out += static_cast<wchar_t>(unit);
      out += static_cast<wchar_t>(unitAt(at + 2));
      at += 2;
      continue;
    }
    AppendCodePoint(out, unit);
  }
  if (whole < bytes.size()) out += L'\xFFFD';
  return out;
}

// ISO-8859-16 (Romanian and others), which no Windows code page covers: its upper half.
constexpr std::array<wchar_t, 96> kIso8859_16Upper{
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

std::wstring Iso8859_16ToWide(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0xA0 ? static_cast<wchar_t>(byte) : kIso8859_16Upper[byte - 0xA0];
  }
  return out;
}

bool IsOwnCodePage(unsigned codePage) {
  return codePage == kUtf16Le || codePage == kUtf16Be || codePage == kUtf32Le || codePage == kUtf32Be ||
         codePage == kIso8859_16;
}

std::wstring OwnCodePageToWide(std::string_view bytes, unsigned codePage) {
  if (codePage == kIso8859_16) return Iso8859_16ToWide(bytes);
  const bool wide32 = codePage == kUtf32Le || codePage == kUtf32Be;
  return UnicodeUnitsToWide(bytes, wide32 ? 4 : 2, codePage == kUtf16Be || codePage == kUtf32Be);
}

// ---------------------------------------------------------------------------------------------
// The platform's charset registry

// COM for the calling thread, uninitialised at the end only when this object initialised it.
// A thread already in another apartment keeps it (RPC_E_CHANGED_MODE); COM is usable there too.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// Names are printable ASCII without the registry's path separator.
bool IsPlausibleName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (const char c : name)
    if (c <= ' ' || c > '~' || c == '\\') return false;
  return true;
}

std::wstring Widened(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

enum class Status {
  kConvertible,
  kAscii,          // passes unchanged
  kNotConvertible, // named, but neither Windows nor MLang reads it here
  kUnknown,
};

struct Resolved {
  unsigned codePage = 0;
  Status status = Status::kUnknown;
};

struct RegistryEntry {
  unsigned codePage = 0;
  std::string alias;
};

std::optional<RegistryEntry> RegistryCharset(std::string_view name) {
  const std::wstring path = L"MIME\\Database\\Charset\\" + Widened(name);
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::nullopt;
  const kvl::UniqueHKey key(raw);
  for (const wchar_t* valueName : {L"InternetEncoding", L"Codepage"}) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && value != 0)
      return RegistryEntry{value, {}};
  }
  std::array<wchar_t, kMaxNameLength + 1> alias{};
  DWORD type = 0;
  DWORD size = sizeof(wchar_t) * kMaxNameLength;  // the last element stays the terminator
  if (RegQueryValueExW(key.get(), L"AliasForCharset", nullptr, &type, reinterpret_cast<BYTE*>(alias.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  std::string narrow;
  for (const wchar_t* c = alias.data(); *c; ++c) narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
  return RegistryEntry{0, kvl::AsciiLowered(narrow)};
}

// What the platform does not name, and the choices we keep on purpose.
std::optional<Resolved> OwnRule(std::string_view name) {
  // ASCII passes unchanged: it is part of every ANSI code page, and 8-bit bytes in
  // mislabelled mail survive.
  if (name == "us-ascii" || name == "ascii") return Resolved{0, Status::kAscii};
  // ISO-8859-1 is read as its superset 1252, as mail labelled Latin-1 often carries
  // 1252's quotes and euro sign.
  if (name == "iso-8859-1" || name == "latin1") return Resolved{1252, Status::kConvertible};
  static constexpr std::array<std::pair<std::string_view, unsigned>, 9> kOwnNames{{
      {"utf-8", CP_UTF8},
      {"utf8", CP_UTF8},
      {"utf-16", kUtf16Be},  // big-endian unless a byte-order mark says otherwise
      {"utf-16be", kUtf16Be},
      {"utf-16le", kUtf16Le},
      {"utf-32", kUtf32Be},
      {"utf-32be", kUtf32Be},
      {"utf-32le", kUtf32Le},
      {"iso-8859-16", kIso8859_16},
  }};
  for (const auto& [known, codePage] : kOwnNames)
    if (name == known) return Resolved{codePage, Status::kConvertible};
  return std::nullopt;
}

// "cp1252", "windows1252", "windows-1252", "ibm850": the number, when Windows has that code page.
unsigned NumberedCodePage(std::string_view name) {
  for (const std::string_view prefix : {"cp", "windows-", "windows", "ibm"}) {
    if (!name.starts_with(prefix)) continue;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 5) return 0;
    unsigned number = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return 0;
      number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number != 0 && IsValidCodePage(number) ? number : 0;
  }
  return 0;
}

// Code pages that neither Windows nor MLang may read, and the one that reads the same text:
// EUC-KR and EUC-JP under their Windows numbers, logical-order Hebrew as visual-order Hebrew
// (the same bytes), and GB 18030 as GBK, its two-byte part (only its rare four-byte
// sequences read wrong).
unsigned SubstituteCodePage(unsigned codePage) {
  static constexpr std::array<std::pair<unsigned, unsigned>, 4> kSubstitutes{{
      {51949, 949},
      {51932, 20932},
      {38598, 28598},
      {54936, 936},
  }};
  for (const auto& [missing, substitute] : kSubstitutes)
    if (codePage == missing && IsValidCodePage(substitute)) return substitute;
  return 0;
}

// Per thread: COM and the MLang object, created on first need and released when the thread
// ends, and the names already looked up, so a message of many parts asks the platform once.
class CharsetRegistry {
 public:
  static CharsetRegistry& ForThisThread() {
    thread_local CharsetRegistry registry;
    return registry;
  }

  Resolved Resolve(const std::string& name) {
    if (const auto cached = resolved_.find(name); cached != resolved_.end()) return cached->second;
    const Resolved resolved = Classified(Named(name, 0));
    if (resolved_.size() < kMaxRememberedNames) resolved_.emplace(name, resolved);
    return resolved;
  }

  // Converts with MLang; nullopt when it cannot.
  std::optional<std::wstring> ConvertWithMultiLanguage(std::string_view bytes, unsigned codePage) {
    IMultiLanguage2* multiLanguage = MultiLanguage();
    if (!multiLanguage || bytes.size() > UINT_MAX) return std::nullopt;
    // The input is only read; the interface just lacks the const.
    CHAR* input = const_cast<CHAR*>(bytes.data());
    DWORD mode = 0;
    UINT inputSize = static_cast<UINT>(bytes.size());
    UINT length = 0;
    if (multiLanguage->ConvertStringToUnicode(&mode, codePage, input, &inputSize, nullptr, &length) != S_OK)
      return std::nullopt;
    std::wstring wide(length, L'\0');
    mode = 0;
    inputSize = static_cast<UINT>(bytes.size());
    if (multiLanguage->ConvertStringToUnicode(&mode, codePage, input, &inputSize, wide.data(), &length) != S_OK)
      return std::nullopt;
    wide.resize(std::min<std::size_t>(length, wide.size()));
    return wide;
  }

 private:
  IMultiLanguage2* MultiLanguage() {
    if (!apartment_) {
      apartment_.emplace();
      void* object = nullptr;
      if (apartment_->usable() && SUCCEEDED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER,
                                                             kIidMultiLanguage2, &object)))
        multiLanguage_.reset(static_cast<IMultiLanguage2*>(object));
    }
    return multiLanguage_.get();
  }

  // The code page the platform or our rules give the name, before asking whether it converts.
  Resolved Named(const std::string& name, int hops) {
    if (const auto own = OwnRule(name)) return *own;
    if (const unsigned codePage = MultiLanguageCodePage(name)) return {codePage, Status::kConvertible};
    if (const auto entry = RegistryCharset(name)) {
      if (entry->codePage != 0) return {entry->codePage, Status::kConvertible};
      if (hops < kMaxAliasHops && IsPlausibleName(entry->alias)) return Named(entry->alias, hops + 1);
    }
    if (const unsigned codePage = NumberedCodePage(name)) return {codePage, Status::kConvertible};
    if (name == "euc-kr") return {949, Status::kConvertible};
    return {};
  }

  unsigned MultiLanguageCodePage(const std::string& name) {
    IMultiLanguage2* multiLanguage = MultiLanguage();
    if (!multiLanguage) return 0;
    const std::wstring wide = Widened(name);
    const kvl::UniqueBstr charset(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    MIMECSETINFO info{};
    if (!charset || multiLanguage->GetCharsetInfo(charset.get(), &info) != S_OK) return 0;
    return info.uiInternetEncoding;
  }

  Resolved Classified(Resolved named) {
    if (named.status != Status::kConvertible) return named;
    if (named.codePage == kUsAscii) return {0, Status::kAscii};
    if (Converts(named.codePage)) return named;
    if (const unsigned substitute = SubstituteCodePage(named.codePage)) return {substitute, Status::kConvertible};
    return {named.codePage, Status::kNotConvertible};
  }

  bool Converts(unsigned codePage) {
    return IsOwnCodePage(codePage) || IsValidCodePage(codePage) || ConvertWithMultiLanguage("A", codePage);
  }

  // Declared before the MLang object, so the object is released before COM ends.
  std::optional<ComApartment> apartment_;
  kvl::ComPtr<IMultiLanguage2> multiLanguage_;
  std::map<std::string, Resolved> resolved_;
};

std::string NormalizedName(std::string_view charset) { return kvl::AsciiLowered(kvl::Trimmed(charset)); }

Resolved ResolveCharset(std::string_view charset) noexcept {
  try {
    const std::string name = NormalizedName(charset);
    if (!IsPlausibleName(name)) return {};
    return CharsetRegistry::ForThisThread().Resolve(name);
  } catch (...) {  // memory running out while looking up: the bytes pass unchanged
    return {};
  }
}

// ---------------------------------------------------------------------------------------------
// Warnings

thread_local const CharsetWarningScope* tWarningScope = nullptr;

// Once per name and process, to the current scope's sink.
void WarnOnce(std::string_view charset, const Resolved& resolved) noexcept {
  try {
    if (!tWarningScope) return;
    const std::string name(kvl::Trimmed(charset).substr(0, kMaxNameLength));
    {
      static std::mutex mutex;
      static std::set<std::string> warned;
      const std::lock_guard lock(mutex);
      if (warned.size() >= kMaxRememberedNames || !warned.insert(kvl::AsciiLowered(name)).second) return;
    }
    std::string message = resolved.status == Status::kUnknown
                              ? "unknown charset \"" + name + "\""
                              : "charset \"" + name + "\" (code page " + std::to_string(resolved.codePage) +
                                    ") cannot be converted here";
    tWarningScope->warn(message + ": its bytes are read in the ANSI code page");
  } catch (...) {  // a warning never stops the text
  }
}

// The charset of bytes about to be converted; warns when they will be read as ANSI instead.
Resolved ResolveForConversion(std::string_view charset) {
  const Resolved resolved = ResolveCharset(charset);
  if (resolved.status == Status::kUnknown || resolved.status == Status::kNotConvertible) WarnOnce(charset, resolved);
  return resolved;
}

}  // namespace

namespace {

// Texts are converted a piece at a time: the UTF-16 form of a whole 64 MiB result would
// take 128 MiB more, and most of a long text is ASCII, which needs no conversion.
constexpr std::size_t kPiece = 1u << 20;

bool IsAscii(std::string_view text) {
  unsigned char any = 0;
  for (const char c : text) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

// Hands `text` to `convert` in pieces of about kPiece bytes that end after a byte below
// `boundary`, which ends a character: below 0x80 in UTF-8 and in the double-byte code
// pages alike (it is ASCII or a trail byte; their lead bytes are all 0x81 or above).
// 0x100: a single-byte code page, cut anywhere.
template <typename Convert>
void InPieces(std::string_view text, unsigned boundary, Convert&& convert) {
  auto ends = [&](std::size_t at) { return static_cast<unsigned char>(text[at - 1]) < boundary; };
  while (!text.empty()) {
    std::size_t end = std::min(kPiece, text.size());
    if (end < text.size()) {
      std::size_t cut = end;
      while (cut > 0 && !ends(cut)) --cut;
      if (cut == 0)  // no boundary in the piece: it runs on to the next one
        for (cut = end; cut < text.size() && !ends(cut); ++cut) {
        }
      end = cut;
    }
    convert(text.substr(0, end));
    text.remove_prefix(end);
  }
}

// The ANSI code page's characters in UTF-8, made once, when it has one byte a character.
struct SingleByteTable {
  bool usable = false;
  std::array<std::array<char, 4>, 256> bytes{};
  std::array<std::uint8_t, 256> length{};
};

const SingleByteTable& AnsiTable() {
  static const SingleByteTable table = [] {
    SingleByteTable made;
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) return made;
    for (int byte = 0; byte < 256; ++byte) {
      const std::string utf8 = FromWide(ToWide(std::string(1, static_cast<char>(byte)), CP_ACP), CP_UTF8);
      if (utf8.empty() || utf8.size() > 4) return made;
      std::copy(utf8.begin(), utf8.end(), made.bytes[static_cast<std::size_t>(byte)].begin());
      made.length[static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(utf8.size());
    }
    made.usable = true;
    return made;
  }();
  return table;
}

}  // namespace

void AnsiToUtf8InPieces(std::string_view ansi, const std::function<void(std::string_view)>& take) {
  const SingleByteTable& table = AnsiTable();
  std::string piece;
  InPieces(ansi, table.usable ? 0x100 : 0x80, [&](std::string_view part) {
    if (IsAscii(part)) return take(part);
    if (!table.usable) return take(FromWide(ToWide(part, CP_ACP), CP_UTF8));
    std::size_t size = 0;
    for (const char c : part) size += table.length[static_cast<unsigned char>(c)];
    piece.resize(size + 3);  // every character writes four bytes and keeps its own
    char* to = piece.data();
    for (const char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      std::memcpy(to, table.bytes[byte].data(), 4);
      to += table.length[byte];
    }
    take(std::string_view(piece).substr(0, size));
  });
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  AnsiToUtf8InPieces(ansi, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

namespace {
thread_local LostCharacterWatch* tLostCharacterWatch = nullptr;

std::string WatchedToAnsi(std::wstring_view wide) {
  if (tLostCharacterWatch != nullptr) tLostCharacterWatch->note(wide);
  return FromWide(wide, CP_ACP);
}
}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  InPieces(utf8, 0x80, [&out](std::string_view piece) {
    if (IsAscii(piece)) out.append(piece);
    else out.append(WatchedToAnsi(ToWide(piece, CP_UTF8)));
  });
  return out;
}

std::string WideToAnsi(std::wstring_view wide) { return WatchedToAnsi(wide); }
std::string WideToUtf8(std::wstring_view wide) { return FromWide(wide, CP_UTF8); }
std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

namespace {
// Whether each UTF-16 unit has a form of its own in the ANSI code page (no default
// character, no best-fit letter): asked once per unit, the first time a text needs it.
class AnsiForms {
 public:
  bool has(wchar_t unit) {
    const auto index = static_cast<std::size_t>(unit);
    if (!known_[index]) {
      BOOL usedDefault = FALSE;
      char bytes[8];
      const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr,
                                             &usedDefault);
      has_[index] = length > 0 && !usedDefault;
      known_[index] = true;
    }
    return has_[index];
  }

 private:
  std::vector<bool> known_ = std::vector<bool>(0x10000), has_ = std::vector<bool>(0x10000);
};

bool HasAnsiForm(wchar_t unit) {
  static AnsiForms forms;
  return forms.has(unit);
}
}  // namespace

std::optional<LostCharacter> FirstLostCharacter(std::string_view utf8) {
  std::optional<LostCharacter> first;
  std::size_t count = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    std::size_t length = Utf8SequenceLength(lead);
    for (std::size_t i = 1; length != 0 && i < length; ++i)
      if (at + i >= utf8.size() || (static_cast<unsigned char>(utf8[at + i]) & 0xC0) != 0x80) length = 0;
    const std::string_view sequence = utf8.substr(at, length == 0 ? 1 : length);
    const std::wstring wide = length == 0 ? std::wstring() : ToWide(sequence, CP_UTF8);
    const bool lost = wide.empty() || wide.size() > 1 || !HasAnsiForm(wide[0]);
    if (lost && ++count == 1) {
      static const char kHex[] = "0123456789ABCDEF";
      first = LostCharacter{at, length == 0 ? std::string("byte 0x") + kHex[lead >> 4] + kHex[lead & 15]
                                            : std::string(sequence),
                            wide.empty() ? "?" : AnsiToUtf8(FromWide(wide, CP_ACP)), 0};
    }
    at += sequence.size();
  }
  if (first) first->count = count;
  return first;
}

namespace {
std::string WithPlaceCount(std::string message, const LostCharacter& lost) {
  if (lost.count > 1) message += "; " + std::to_string(lost.count) + " such places in all";
  return message;
}
}  // namespace

std::string LostCharacterMessage(const LostCharacter& lost) {
  return WithPlaceCount(lost.shown.starts_with("byte 0x")
                            ? lost.shown + " is no UTF-8 and becomes \"?\" (--encoding ansi reads ANSI text)"
                            : "\"" + lost.shown + "\" has no form in code page " + std::to_string(GetACP()) +
                                  " and becomes \"" + lost.becomes + "\"",
                        lost);
}

std::string AnsiLostCharacterMessage(const LostCharacter& lost) {
  const std::wstring wide = Utf8ToWide(lost.shown);
  const std::uint32_t codePoint =
      wide.size() == 2 ? 0x10000 + ((static_cast<std::uint32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00)
                       : wide.empty() ? 0xFFFD : static_cast<std::uint32_t>(wide[0]);
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
  return WithPlaceCount(std::string(name) + " has no form in code page " + std::to_string(GetACP()) +
                            " and becomes \"" + Utf8ToAnsi(lost.becomes) + "\"",
                        lost);
}

unsigned CodePageOfCharset(std::string_view charset) noexcept {
  const Resolved resolved = ResolveCharset(charset);
  return resolved.status == Status::kConvertible ? resolved.codePage : 0;
}

std::wstring CharsetToWide(std::string_view bytes, std::string_view charset) {
  if (bytes.empty()) return {};
  const Resolved resolved = ResolveForConversion(charset);
  if (resolved.status != Status::kConvertible) return ToWide(bytes, CP_ACP);
  if (IsOwnCodePage(resolved.codePage)) return OwnCodePageToWide(bytes, resolved.codePage);
  if (IsValidCodePage(resolved.codePage)) return ToWide(bytes, resolved.codePage);
  if (auto wide = CharsetRegistry::ForThisThread().ConvertWithMultiLanguage(bytes, resolved.codePage))
    return *std::move(wide);
  // MLang refuses what it cannot read to the end (a cut-off escape sequence): the text without
  // its last few bytes and a replacement character, else the bytes in the ANSI code page.
  for (std::size_t cut = 1; cut <= 3 && cut < bytes.size(); ++cut)
    if (auto wide = CharsetRegistry::ForThisThread().ConvertWithMultiLanguage(bytes.substr(0, bytes.size() - cut),
                                                                              resolved.codePage))
      return *std::move(wide) + L'\xFFFD';
  return ToWide(bytes, CP_ACP);
}

std::string CharsetToAnsi(std::string_view bytes, std::string_view charset) {
  if (bytes.empty()) return {};
  const Resolved resolved = ResolveForConversion(charset);
  if (resolved.status != Status::kConvertible || resolved.codePage == GetACP()) return std::string(bytes);
  return WideToAnsi(CharsetToWide(bytes, charset));
}

LostCharacterWatch::LostCharacterWatch() : previous_(tLostCharacterWatch) { tLostCharacterWatch = this; }
LostCharacterWatch::~LostCharacterWatch() { tLostCharacterWatch = previous_; }

void LostCharacterWatch::note(std::wstring_view converted) {
  for (std::size_t at = 0; at < converted.size(); ++at) {
    const wchar_t unit = converted[at];
    if (unit < 0x80) continue;
    // A character beyond the first 65 536 (two units) has no ANSI form.
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && at + 1 < converted.size() && converted[at + 1] >= 0xDC00 &&
                      converted[at + 1] <= 0xDFFF;
    if (!pair && HasAnsiForm(unit)) continue;
    const std::wstring_view character = converted.substr(at, pair ? 2 : 1);
    if (!first_) first_ = LostCharacter{0, WideToUtf8(character), AnsiToUtf8(FromWide(character, CP_ACP)), 0};
    ++first_->count;
    at += pair ? 1 : 0;
  }
}

CharsetWarningScope::CharsetWarningScope(std::function<void(const std::string&)> sink)
    : sink_(std::move(sink)), previous_(tWarningScope) {
  tWarningScope = this;
}

CharsetWarningScope::~CharsetWarningScope() { tWarningScope = previous_; }

void CharsetWarningScope::warn(const std::string& message) const {
  if (sink_) sink_(message);
}

}  // namespace kvlhost
