#pragma once
// Splitting a text into arguments the way a command line is split: at separator
// characters outside quotes; quote characters stay in the items.
#include <string>
#include <string_view>

namespace kvl {

// Empty separators mean one blank; empty quotes mean the double quote.
int CountArgs(std::string_view text, std::string_view separators, std::string_view quotes);
std::string ArgAt(std::string_view text, int n, std::string_view separators, std::string_view quotes);

}  // namespace kvl
