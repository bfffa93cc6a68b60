#pragma once
// The rules of the system-information pattern and the tone macro over plain values,
// so they can be checked with any processor, version, memory size or uptime. Holds
// no windows.h types; system/SysInfoMacros.cpp reads the platform and calls them.
// UserIsAdministrator alone reads the platform itself (SystemInfo_win32.cpp).
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace kvl {

// The five-character codes of a system-information pattern, in the order they are
// replaced.
std::span<const std::string_view> SysInfoCodes();

// Replaces every code of the pattern, in any letter case, code by code in the order
// above; what one code inserts is searched by the codes after it. `valueOf` gets the
// code in lower case ("$usn$") and is asked only for codes that occur, once each.
// Throws ResultTooLarge when the text would pass the result cap.
std::string ReplaceSysInfoCodes(std::string_view pattern,
                                const std::function<std::string(std::string_view code)>& valueOf);

// "Intel" for "GenuineIntel", "AMD" for "AuthenticAMD" (any case, blanks around),
// anything else as read.
std::string ProcessorVendorName(std::string_view vendorIdentifier);

// The model family ("Pentium 4", "Athlon XP") found in a processor name such as
// "Intel(R) Pentium(R) 4 CPU 3.00GHz"; empty for other vendors and unlisted names.
std::string ProcessorModelName(std::string_view vendor, std::string_view processorName);

// "32s", "9x", "NT" for platform ids 0, 1, 2; empty otherwise.
std::string OsPlatformFamily(std::uint32_t platformId);

// The system's common name ("95 B", "XP", "Server 2003") from its version data.
std::string OsCommonName(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                         std::string_view servicePack);

// Bytes as whole MiB, nearest with halves to even, plus one (512 MiB gives "513").
std::string MemoryMiB(std::uint64_t bytes);

// One uptime code ("$sed$" ... "$sus$") from the milliseconds since start; empty for
// any other code.
std::string UptimeValue(std::string_view code, std::uint64_t milliseconds);

// The tone that is played for the requested frequency (Hz) and duration (ms):
// frequencies 0-36 become 37, negative ones and those above 32767 become 32767;
// durations are held to 0-10 000 ms so that a template cannot freeze the mail client.
struct Tone {
  std::uint32_t frequency;
  std::uint32_t duration;
};
inline constexpr std::int32_t kLongestToneMs = 10000;
Tone ToneFor(std::int32_t frequency, std::int32_t duration);

// Whether the user's access token holds the built-in Administrators group; false when
// the token cannot be read.
bool UserIsAdministrator();

}  // namespace kvl
