#pragma once
// The plug-in's process-wide state: what it knows about itself, the files to
// delete at unload, the entity table, the form definitions and the IDN library.
// Lives from InitializePlugin to FinalizePlugin; everything runs on the host's thread.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace kvl {

struct TPlugin {
  std::string productName;
  std::string fileDescription;
  std::string legalNotice;
  std::string fileVersion;
  std::string folder;  // ends in a backslash
};

struct SpecialChar {
  std::string text;     // field 2 of its line, kept as written
  std::string named;    // "&name;" or empty
  std::string numeric;  // "&#number;" or empty
};
using SpecialCharTable = std::array<SpecialChar, 256>;

// Name/value pairs of the form dialog; names and values may hold "=", so the
// separator between them is character code 1. Names compare ignoring ASCII case.
struct FormDefinitionList {
  char separator = '\x01';
  std::vector<std::pair<std::string, std::string>> entries;

  // Replaces the value of an existing name in place (keeping its first spelling) or
  // appends it; an empty value removes the name.
  void set(std::string_view name, std::string_view value);
  // The value of the name; nullptr when the list has no such name.
  const std::string* find(std::string_view name) const;
};

// The form dialog's settings; they carry over from one dialog to the next.
struct TFrmDlgParams {
  std::string caption;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool maximizeButton = false;
  bool resizable = false;
  std::string document;  // the HTML file shown
};

// What the last accepted form posted: the raw body and its decoded fields
// (names in lower case).
struct TFrmDlgResult {
  std::string postedText;
  FormDefinitionList values;
};

const TPlugin& Plugin();
const SpecialCharTable& SpecialChars();
FormDefinitionList& FormDefinitions();
TFrmDlgParams& FrmDlgParams();
TFrmDlgResult& FrmDlgResult();
// The IDN library once a conversion has loaded it; released at finalisation.
RuntimeLibrary& IdnLibrary();

// Remembers a file made for the host to attach; it is deleted at finalisation.
void AddFileToDelete(std::string path);

// Code of the first character whose named or numeric entity is `entity`; -1 if none.
int SpecialCharCodeOf(std::string_view entity);

// Reads a SpecialChars.lst text: TAB-separated code, text, name, number per line;
// lines whose code is not 0-255 are skipped.
SpecialCharTable ParseSpecialChars(std::string_view listText);

// Draws from the process-wide generator: 0 ... range - 1 (range up to 2^32).
std::uint32_t DrawRandom(std::uint64_t range);

void InitializePlugin();
void FinalizePlugin();

// The HTML About text; `macroCount` is the number of rows of the macro table.
std::string AboutText(std::size_t macroCount);

}  // namespace kvl
