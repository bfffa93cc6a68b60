#include "system/SysInfoMacros.h"

#include <windows.h>
#include <lmcons.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "core/Win32File.h"
#include "system/NetMacros.h"
#include "system/Registry.h"
#include "system/SystemInfo.h"

namespace kvl {

namespace {

constexpr std::string_view kProcessorKey = "LM\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0\\";
constexpr std::string_view kTimeZoneKey = "LM\\System\\CurrentControlSet\\Control\\TimeZoneInformation\\";

std::string RegistryText(std::string_view key, std::string_view valueName) {
  return RegReadByPath(std::string(key) + std::string(valueName), "");
}

std::string ProcessorName() {
  const std::string name = AsciiLowered(Trimmed(RegistryText(kProcessorKey, "ProcessorNameString")));
  return name.empty() ? AsciiLowered(Trimmed(RegistryText(kProcessorKey, "Identifier"))) : name;
}

std::string ProcessorVendor() { return ProcessorVendorName(RegistryText(kProcessorKey, "VendorIdentifier")); }

SYSTEM_INFO SystemFacts() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info;
}

// The extended status: the old one stops at 2-4 GiB.
std::optional<MEMORYSTATUSEX> MemoryStatus() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return status;
}

std::string MemoryValue(std::string_view code) {
  const auto status = MemoryStatus();
  if (!status) return {};
  if (code == "$mml$") return FormatInteger(status->dwMemoryLoad);
  if (code == "$maf$") return MemoryMiB(status->ullAvailPageFile);
  if (code == "$map$") return MemoryMiB(status->ullAvailPhys);
  if (code == "$mav$") return MemoryMiB(status->ullAvailVirtual);
  if (code == "$mtf$") return MemoryMiB(status->ullTotalPageFile);
  if (code == "$mtp$") return MemoryMiB(status->ullTotalPhys);
  return MemoryMiB(status->ullTotalVirtual);
}

std::optional<OSVERSIONINFOA> VersionFacts() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return std::nullopt;
  return version;
}

std::string VersionValue(std::string_view code) {
  const auto version = VersionFacts();
  if (!version) return {};
  const std::string_view servicePack(version->szCSDVersion, strnlen(version->szCSDVersion, sizeof version->szCSDVersion));
  if (code == "$osp$") return OsPlatformFamily(version->dwPlatformId);
  if (code == "$wcn$")
    return OsCommonName(version->dwPlatformId, version->dwMajorVersion, version->dwMinorVersion,
                        version->dwBuildNumber, servicePack);
  if (code == "$wvm$") return FormatInteger(version->dwMajorVersion);
  if (code == "$wvs$") return FormatInteger(version->dwMinorVersion);
  if (code == "$wvb$")
    return FormatInteger(version->dwPlatformId == VER_PLATFORM_WIN32_NT ? version->dwBuildNumber
                                                                        : version->dwBuildNumber & 0xFFFF);
  return std::string(servicePack);
}

template <typename Query>
std::string NameFrom(Query query) {
  std::array<char, UNLEN + 2> name{};
  DWORD size = name.size();
  if (!query(name.data(), &size)) return {};
  return std::string(name.data());
}

std::string TimeKind() {
  TIME_ZONE_INFORMATION zone{};
  switch (GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_STANDARD: return "Normalzeit";
    case TIME_ZONE_ID_DAYLIGHT: return "Sommerzeit";
    default: return {};
  }
}

using SidPointer = std::unique_ptr<void, decltype(&FreeSid)>;

}  // namespace

std::string SysInfoValue(std::string_view code) {
  if (code == "$clv$") return FormatInteger(SystemFacts().wProcessorLevel);
  if (code == "$cmn$") return ProcessorModelName(ProcessorVendor(), ProcessorName());
  if (code == "$cnr$") return FormatInteger(SystemFacts().dwNumberOfProcessors);
  if (code == "$cns$") return ProcessorName();
  if (code == "$crv$") return FormatInteger(SystemFacts().wProcessorRevision);
  if (code == "$csp$") return RegistryText(kProcessorKey, "~MHz");
  if (code == "$ctp$") return FormatInteger(SystemFacts().dwProcessorType);
  if (code == "$cvn$") return ProcessorVendor();
  if (code == "$lhn$") return AddressToHost("");
  if (code == "$lip$") return HostToAddress("");
  if (code.starts_with("$m")) return MemoryValue(code);
  if (code == "$pcn$") return NameFrom(GetComputerNameA);
  if (code == "$tdn$") return RegistryText(kTimeZoneKey, "DaylightName");
  if (code == "$tsn$") return RegistryText(kTimeZoneKey, "StandardName");
  if (code == "$tzn$") return TimeKind();
  if (code == "$usn$") return NameFrom(GetUserNameA);
  if (code == "$osp$" || code.starts_with("$w")) return VersionValue(code);
  // A 64-bit count: the 32-bit one wraps after 49.7 days.
  if (code.starts_with("$s")) return UptimeValue(code, GetTickCount64());
  return {};
}

namespace macros {

std::string SysInfo(Call& call) { return ReplaceSysInfoCodes(call.textOr(1, ""), SysInfoValue); }

// Looks at every group of the token, whatever its attributes (enabled or deny-only).
std::string IsUserAdmin(Call&) {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)))
    return "0";
  const UniqueHandle tokenHandle(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size < sizeof(TOKEN_GROUPS)) return "0";
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return "0";
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID created = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &created))
    return "0";
  const SidPointer administrators(created, &FreeSid);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i)
    if (EqualSid(groups->Groups[i].Sid, administrators.get())) return "1";
  return "0";
}

// Returns after the tone; empty.
std::string Beep(Call& call) {
  const Tone tone = ToneFor(call.integer(1), call.integer(2));
  ::Beep(tone.frequency, tone.duration);
  return {};
}

}  // namespace macros

}  // namespace kvl
