// The platform part of the system information: the user's groups.
#include <windows.h>

#include <memory>
#include <vector>

#include "core/Win32Owners.h"
#include "system/SystemInfo.h"

namespace kvl {

namespace {
using SidPointer = std::unique_ptr<void, decltype(&FreeSid)>;
}  // namespace

// Looks at every group of the thread's token (the process's when the thread has none),
// whatever its attributes (enabled or deny-only).
bool UserIsAdministrator() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)))
    return false;
  const UniqueHandle tokenHandle(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size < sizeof(TOKEN_GROUPS)) return false;
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return false;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID created = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &created))
    return false;
  const SidPointer administrators(created, &FreeSid);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i)
    if (EqualSid(groups->Groups[i].Sid, administrators.get())) return true;
  return false;
}

}  // namespace kvl
