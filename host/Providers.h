#pragma once
// The host side of IZRPDataProvider: an argument provider for one macro call and
// a context provider that carries the result slot, the message's data items and
// the round trip through the template engine. Shared by kvlhost and the tests.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/ZorbelAPI.h"
#include "host/MacroRunner.h"

namespace kvlhost {

// Every method answers; none lets an exception out. A failed call answers -1 (0 for
// lengths and numbers) and leaves the result slot empty.
// Reference counting without ownership: the host keeps these objects on its
// stack; the count is there so tests can see that the plug-in balances it.
class ProviderBase : public IZRPDataProvider {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  std::int32_t STDMETHODCALLTYPE Reserved6() override { return 0; }
  std::int32_t STDMETHODCALLTYPE Reserved7() override { return 0; }
  ULONG references() const { return references_; }

 protected:
  static std::int32_t CopyOut(std::string_view text, char* buffer, std::int32_t size);

 private:
  std::atomic<ULONG> references_{1};
};

// Arguments of one macro call; GetInteger reads a signed decimal number, 0 when it is not one.
class ArgumentProvider : public ProviderBase {
 public:
  explicit ArgumentProvider(std::vector<std::string> args) : args_(std::move(args)) {}
  std::int32_t STDMETHODCALLTYPE GetText(std::int32_t id, char* buffer, std::int32_t size) override;
  std::int32_t STDMETHODCALLTYPE SetText(std::int32_t, const char*, std::int32_t) override { return 0; }
  std::int32_t STDMETHODCALLTYPE GetInteger(std::int32_t id) override;
  std::int32_t STDMETHODCALLTYPE GetCount() override { return static_cast<std::int32_t>(args_.size()); }
  std::int32_t STDMETHODCALLTYPE ProcessText(const char*, std::int32_t, std::int32_t, IZRPDataProvider*) override {
    return 0;
  }

 private:
  std::vector<std::string> args_;
};

class ContextProvider : public ProviderBase {
 public:
  ContextProvider(const std::map<std::int32_t, std::string>& items, TextProcessor processor,
                  ItemObserver itemRead = {})
      : items_(items), processor_(std::move(processor)), itemRead_(std::move(itemRead)) {}
  std::int32_t STDMETHODCALLTYPE GetText(std::int32_t id, char* buffer, std::int32_t size) override;
  std::int32_t STDMETHODCALLTYPE SetText(std::int32_t id, const char* text, std::int32_t length) override;
  std::int32_t STDMETHODCALLTYPE GetInteger(std::int32_t id) override;
  std::int32_t STDMETHODCALLTYPE GetCount() override { return 0; }
  std::int32_t STDMETHODCALLTYPE ProcessText(const char* text, std::int32_t length, std::int32_t flags,
                                             IZRPDataProvider* target) override;

  const std::string& result() const { return result_; }
  std::string takeResult() { return std::move(result_); }
  bool resultWritten() const { return resultWritten_; }

 private:
  const std::map<std::int32_t, std::string>& items_;
  TextProcessor processor_;
  ItemObserver itemRead_;
  std::string result_;
  bool resultWritten_ = false;
};

}  // namespace kvlhost
