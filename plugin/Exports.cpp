// The ten entry points the mail client calls. Nothing thrown or failed inside
// the plug-in leaves through them.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/Call.h"
#include "core/Errors.h"
#include "core/Plugin.h"
#include "core/WorkBudget.h"
#include "core/ZorbelAPI.h"
#include "plugin/LargeBlocks.h"
#include "plugin/MacroList.h"

namespace {

// True when every byte of [address, address + size) lies in committed, writable memory.
// Asked of the memory manager before copying, so a bad caller buffer answers 0 instead
// of faulting (the toolchain has no structured exception handling to catch a fault).
bool IsWritableRange(void* address, std::size_t size) {
  auto* at = static_cast<char*>(address);
  char* const end = at + size;
  if (end < at) return false;
  constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(at, &region, sizeof region) != sizeof region) return false;
    if (region.State != MEM_COMMIT || !(region.Protect & kWritable) || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
      return false;
    char* const regionEnd = static_cast<char*>(region.BaseAddress) + region.RegionSize;
    if (regionEnd <= at) return false;
    at = regionEnd;
  }
  return true;
}

std::int32_t CopyToCallerBuffer(std::string_view text, char* buffer, std::int32_t size) {
  const auto length = static_cast<std::int32_t>(text.size());
  if (buffer == nullptr || size < 0) return length;
  const std::int32_t n = std::min(size, length);
  if (n <= 0) return 0;
  if (!IsWritableRange(buffer, static_cast<std::size_t>(n))) return 0;
  std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
  return n;
}

// Holds a reference on a provider for the length of one call.
class ProviderRef {
 public:
  explicit ProviderRef(IZRPDataProvider* provider) : provider_(provider) {
    if (provider_) provider_->AddRef();
  }
  ~ProviderRef() {
    if (provider_) provider_->Release();
  }
  ProviderRef(const ProviderRef&) = delete;
  ProviderRef& operator=(const ProviderRef&) = delete;

 private:
  IZRPDataProvider* provider_;
};

template <typename MakeText>
std::int32_t HandOut(char* buffer, std::int32_t size, MakeText&& makeText) {
  try {
    return CopyToCallerBuffer(makeText(), buffer, size);
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" {

std::int32_t WINAPI ZRP_GetStatus() { return 0; }

std::int32_t WINAPI ZRP_GetName(char* buffer, std::int32_t size) {
  return HandOut(buffer, size, [] { return kvl::Plugin().productName; });
}

std::int32_t WINAPI ZRP_GetVersion(char* buffer, std::int32_t size) {
  return HandOut(buffer, size, [] { return kvl::Plugin().fileVersion; });
}

std::int32_t WINAPI ZRP_GetInfo(char* buffer, std::int32_t size) {
  return HandOut(buffer, size, [] { return kvl::AboutText(kvl::MacroTable().size()); });
}

std::int32_t WINAPI ZRP_NeedConfig() { return 0; }

std::int32_t WINAPI ZRP_Setup() { return 0; }

void WINAPI ZRP_Initialize() {
  try {
    kvl::InitializePlugin();
  } catch (...) {
  }
}

void WINAPI ZRP_Finalize() {
  try {
    kvl::FinalizePlugin();
  } catch (...) {
  }
  kvl::ReleaseKeptBlocks();
}

std::int32_t WINAPI ZRP_GetMacroList(char* buffer, std::int32_t size) {
  return HandOut(buffer, size, [] { return kvl::Macros().listText(); });
}

std::int32_t WINAPI ZRP_ExecMacro(const char* name, std::int32_t nameLength, IZRPDataProvider* context,
                                  IZRPDataProvider* params) {
  try {
    const kvl::WorkBudgetScope budget;  // the outermost call opens it, nested calls share it
    ProviderRef contextRef(context);
    ProviderRef paramsRef(params);
    if (context == nullptr || params == nullptr) return -1;
    const kvl::MacroRow* row = kvl::Macros().find(name, nameLength);
    if (row == nullptr) return -1;
    kvl::Call call(context, params);
    const std::string result =
        budget.tooDeep() ? std::string(kvl::ErrNoSuccess) : kvl::RunMacro(*row, call);
    kvl::NoteTextBytes(result.size());
    context->SetText(0, result.c_str(), static_cast<std::int32_t>(result.size()));
    return 0;
  } catch (...) {
    return 0;  // a known macro whose result could not be handed back
  }
}

}  // extern "C"
