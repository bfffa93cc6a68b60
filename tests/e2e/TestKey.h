#pragma once
// A registry key under HKEY_CURRENT_USER for one test, removed with everything under
// it unless it was there before.
#include <windows.h>

#include <array>
#include <string>
#include <utility>

namespace kvltest {

class TestKey {
 public:
  explicit TestKey(const std::string& path) : path_(path) {
    DWORD disposition = 0;
    RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, &disposition);
    created_ = disposition == REG_CREATED_NEW_KEY;
  }
  ~TestKey() {
    RegCloseKey(key_);
    if (created_) RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  void set(const std::string& name, const std::string& text) const {
    RegSetValueExA(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  // The platform counts a NUL right after a string's bytes as its own: an X follows them.
  void setRaw(const std::string& name, DWORD type, const std::string& bytes) const {
    const std::string followed = bytes + 'X';
    RegSetValueExA(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(followed.data()),
                   static_cast<DWORD>(bytes.size()));
  }
  std::pair<DWORD, std::string> raw(const std::string& name) const {
    std::array<char, 64> bytes{};
    DWORD type = 0, size = bytes.size();
    if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size)) return {};
    return {type, std::string(bytes.data(), size)};
  }

 private:
  std::string path_;
  HKEY key_ = nullptr;
  bool created_ = false;
};

}  // namespace kvltest
