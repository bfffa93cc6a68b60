#include "host/Providers.h"

#include <algorithm>
#include <cstring>

namespace kvlhost {

HRESULT STDMETHODCALLTYPE ProviderBase::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IZRPDataProvider)) {
    *object = static_cast<IZRPDataProvider*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

std::int32_t ProviderBase::CopyOut(std::string_view text, char* buffer, std::int32_t size) {
  if (buffer == nullptr) return static_cast<std::int32_t>(text.size());
  const std::int32_t n = std::clamp<std::int32_t>(static_cast<std::int32_t>(text.size()), 0, std::max(size, 0));
  std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
  return n;
}

std::int32_t STDMETHODCALLTYPE ArgumentProvider::GetText(std::int32_t id, char* buffer, std::int32_t size) {
  if (id < 0 || static_cast<std::size_t>(id) >= args_.size()) return 0;
  return CopyOut(args_[static_cast<std::size_t>(id)], buffer, size);
}

std::int32_t STDMETHODCALLTYPE ArgumentProvider::GetInteger(std::int32_t id) {
  if (id < 0 || static_cast<std::size_t>(id) >= args_.size()) return 0;
  return DecimalOrZero(args_[static_cast<std::size_t>(id)]);
}

std::int32_t STDMETHODCALLTYPE ContextProvider::GetText(std::int32_t id, char* buffer, std::int32_t size) {
  if (id == 0) return CopyOut(result_, buffer, size);
  if (itemRead_) {
    try {
      itemRead_(id);
    } catch (...) {  // the read still answers; the host only loses track of it
    }
  }
  const auto found = items_.find(id);
  return found == items_.end() ? 0 : CopyOut(found->second, buffer, size);
}

std::int32_t STDMETHODCALLTYPE ContextProvider::SetText(std::int32_t id, const char* text, std::int32_t length) {
  if (id != 0) return 0;
  resultWritten_ = true;
  try {
    result_.assign(text != nullptr && length > 0 ? std::string_view(text, static_cast<std::size_t>(length))
                                                 : std::string_view());
    return 0;
  } catch (...) {
    std::string().swap(result_);
    return -1;
  }
}

std::int32_t STDMETHODCALLTYPE ContextProvider::GetInteger(std::int32_t id) {
  const auto found = items_.find(id);  // std::map::find and DecimalOrZero never throw
  return found == items_.end() ? 0 : DecimalOrZero(found->second);
}

std::int32_t STDMETHODCALLTYPE ContextProvider::ProcessText(const char* text, std::int32_t length, std::int32_t,
                                                            IZRPDataProvider* target) {
  const std::string_view hostText =
      text != nullptr && length > 0 ? std::string_view(text, static_cast<std::size_t>(length)) : std::string_view();
  std::int32_t answer = 0;
  std::string output;
  try {
    if (processor_) output = processor_(hostText);
  } catch (...) {
    answer = -1;  // the expansion failed: nothing was produced
  }
  if (target != nullptr) target->SetText(0, output.c_str(), static_cast<std::int32_t>(output.size()));
  return answer;
}

}  // namespace kvlhost
