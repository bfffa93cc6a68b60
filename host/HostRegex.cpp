#include "host/HostRegex.h"

#include <pcre.h>

namespace kvlhost {

void HostRegex::Release::operator()(real_pcre* compiled) const { pcre_free(compiled); }

std::string HostRegex::setPattern(const std::string& pattern) {
  const char* error = nullptr;
  int errorOffset = 0;
  compiled_.reset(pcre_compile(pattern.c_str(), 0, &error, &errorOffset, nullptr));
  offsets_.clear();
  if (!compiled_) return std::string(error ? error : "invalid pattern") + " at offset " + std::to_string(errorOffset);
  return {};
}

bool HostRegex::match(std::string_view subject) {
  offsets_.clear();
  subject_.assign(subject);
  if (!compiled_) return false;
  int groups = 0;
  pcre_fullinfo(compiled_.get(), nullptr, PCRE_INFO_CAPTURECOUNT, &groups);
  std::vector<int> vector(static_cast<std::size_t>(groups + 1) * 3, -1);
  const int rc = pcre_exec(compiled_.get(), nullptr, subject_.data(), static_cast<int>(subject_.size()), 0, 0,
                           vector.data(), static_cast<int>(vector.size()));
  if (rc < 0) return false;
  vector.resize(static_cast<std::size_t>(groups + 1) * 2);
  offsets_ = std::move(vector);
  return true;
}

std::string HostRegex::group(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) * 2 + 1 >= offsets_.size()) return {};
  const int start = offsets_[static_cast<std::size_t>(n) * 2];
  const int end = offsets_[static_cast<std::size_t>(n) * 2 + 1];
  if (start < 0 || end < start) return {};
  return subject_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace kvlhost
