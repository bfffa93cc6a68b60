#pragma once
// `kvlhost check`: reads a template without running it and finds what would go
// wrong when it runs: unknown macros, argument counts the plug-in refuses, calls
// and quotes left open, variables never set, and loop bodies that would be
// expanded before their loop. No I/O: text and tables in, diagnostics out.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/MacroCounts.h"

namespace kvlhost {

struct Diagnostic {
  enum class Severity { Error, Warning };
  Severity severity = Severity::Error;
  std::size_t line = 1;    // from 1
  std::size_t column = 1;  // from 1, in characters (UTF-8 sequences count once)
  std::string message;
};

struct CheckTables {
  std::span<const MacroCounts> pluginMacros;        // names and argument counts
  std::span<const std::string_view> hostMacros;     // upper case
};

// Diagnostics in the order of their positions. `utf8` counts columns in UTF-8
// characters; otherwise every byte is a character.
std::vector<Diagnostic> CheckTemplate(std::string_view text, const CheckTables& tables, bool utf8 = true);

// "FILE:LINE:COLUMN: error: MESSAGE"
std::string FormatDiagnostic(std::string_view file, const Diagnostic& diagnostic);

// The closest name of `names` to `name` ignoring case, or empty when none is close
// enough to suggest: at most 2 edits, or a third of the name's length after "KVL_".
std::string_view ClosestName(std::string_view name, std::span<const std::string_view> names);

}  // namespace kvlhost
