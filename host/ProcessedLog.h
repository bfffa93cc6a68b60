#pragma once
// What kvlhost keeps of the texts the plug-in handed to it, for batch replies and
// tests: the first texts in order, up to a count and a byte total, and how many
// texts and bytes were left out after them. Loops may hand over millions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvlhost {

class ProcessedLog {
 public:
  static constexpr std::size_t kMaxTexts = 1000;
  static constexpr std::size_t kMaxBytes = 1u << 20;

  // Keeps the text while it fits; once one does not, it and every later text are only counted.
  void add(std::string_view text) {
    if (leftOutTexts_ == 0 && texts_.size() < kMaxTexts && text.size() <= kMaxBytes - keptBytes_) {
      texts_.emplace_back(text);
      keptBytes_ += text.size();
      return;
    }
    ++leftOutTexts_;
    leftOutBytes_ += text.size();
  }
  void clear() { *this = ProcessedLog(); }

  const std::vector<std::string>& texts() const { return texts_; }
  std::uint64_t leftOutTexts() const { return leftOutTexts_; }
  std::uint64_t leftOutBytes() const { return leftOutBytes_; }

  // The kept texts read like the list they are.
  bool empty() const { return texts_.empty() && leftOutTexts_ == 0; }
  std::size_t size() const { return texts_.size(); }
  const std::string& operator[](std::size_t i) const { return texts_[i]; }
  const std::string& back() const { return texts_.back(); }
  auto begin() const { return texts_.begin(); }
  auto end() const { return texts_.end(); }

 private:
  std::vector<std::string> texts_;
  std::size_t keptBytes_ = 0;
  std::uint64_t leftOutTexts_ = 0;
  std::uint64_t leftOutBytes_ = 0;
};

}  // namespace kvlhost
