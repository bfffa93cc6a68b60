#pragma once
// The host's data-provider interface, as the mail client declares it.
#include <cstdint>
#include <unknwn.h>

#include "core/ZorbelItems.h"

// {9DD91B89-A551-4180-8A81-2CCF584CD4BF}
inline constexpr IID IID_IZRPDataProvider = {
    0x9DD91B89, 0xA551, 0x4180, {0x8A, 0x81, 0x2C, 0xCF, 0x58, 0x4C, 0xD4, 0xBF}};

struct IZRPDataProvider : public IUnknown {
  // Null buffer and size 0 answer the item's length; otherwise copies at most `size` characters.
  virtual std::int32_t STDMETHODCALLTYPE GetText(std::int32_t id, char* buffer, std::int32_t size) = 0;
  virtual std::int32_t STDMETHODCALLTYPE SetText(std::int32_t id, const char* text, std::int32_t length) = 0;
  virtual std::int32_t STDMETHODCALLTYPE GetInteger(std::int32_t id) = 0;
  // Slots 6 and 7 belong to the host; the plug-in never calls them.
  virtual std::int32_t STDMETHODCALLTYPE Reserved6() = 0;
  virtual std::int32_t STDMETHODCALLTYPE Reserved7() = 0;
  virtual std::int32_t STDMETHODCALLTYPE GetCount() = 0;
  // Expands `text` as template text; afterwards item 0 of `target` holds the output.
  virtual std::int32_t STDMETHODCALLTYPE ProcessText(const char* text, std::int32_t length,
                                                     std::int32_t flags, IZRPDataProvider* target) = 0;
};
