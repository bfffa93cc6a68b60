#include "system/SysInfoMacros.h"

#include <windows.h>
#include <lmcons.h>

#include <array>
#include <cstring>
#include <optional>

#include "core/Numbers.h"
#include "core/TextUtil.h"
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

std::string IsUserAdmin(Call&) { return UserIsAdministrator() ? "1" : "0"; }

}  // namespace macros

}  // namespace kvl
