#pragma once
// Owners of the platform's handles and memory, one line each: the name says what is
// owned, the deleter is the one call that gives it back. Shared by the plug-in and
// kvlhost, so neither writes a deleter of its own.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <type_traits>

namespace kvl {

// Each deleter is the one call that gives its kind back.
struct CloseHandleCall { void operator()(HANDLE handle) const { CloseHandle(handle); } };
struct RegCloseKeyCall { void operator()(HKEY key) const { RegCloseKey(key); } };
struct SysFreeStringCall { void operator()(BSTR text) const { SysFreeString(text); } };
struct CoTaskMemFreeCall { void operator()(void* memory) const { CoTaskMemFree(memory); } };
struct LocalFreeCall { void operator()(void* memory) const { LocalFree(memory); } };
struct GlobalFreeCall { void operator()(HGLOBAL block) const { GlobalFree(block); } };

// A kernel object: file, process, thread, token, event (never INVALID_HANDLE_VALUE).
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleCall>;
// An open registry key.
using UniqueHKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegCloseKeyCall>;
// A BSTR from SysAllocString*.
using UniqueBstr = std::unique_ptr<OLECHAR, SysFreeStringCall>;
// Memory the platform allocated with CoTaskMemAlloc (shell item lists, COM strings).
template <typename T>
using UniqueCoTaskMem = std::unique_ptr<T, CoTaskMemFreeCall>;
// Memory the platform allocated with LocalAlloc (FormatMessage, CommandLineToArgvW).
template <typename T>
using UniqueLocalMem = std::unique_ptr<T, LocalFreeCall>;
// A movable global memory block (the clipboard's data before it is handed over).
using UniqueGlobalMem = std::unique_ptr<std::remove_pointer_t<HGLOBAL>, GlobalFreeCall>;

// One reference to a COM object.
struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

// The clipboard once OpenClipboard succeeded (`open`), closed when this goes; the
// clipboard has no handle of its own to own.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(bool open) : open_(open) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

}  // namespace kvl
