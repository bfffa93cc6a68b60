#include "core/Plugin.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl {

namespace {
struct PluginState {
  TPlugin plugin;
  std::vector<std::string> filesToDelete;
  SpecialCharTable specialChars;
  FormDefinitionList formDefinitions;
  TFrmDlgParams frmDlgParams;
  TFrmDlgResult frmDlgResult;
  RuntimeLibrary idnLibrary;  // loaded on the first domain conversion
  std::uint32_t randomState = 0;
};

PluginState& State() {
  static PluginState state;
  return state;
}
}  // namespace

RuntimeLibrary& IdnLibrary() { return State().idnLibrary; }

namespace {

// Opens the file named under "Execute" (Start or Exit); only an existing file is opened.
void RunConfiguredFile(const std::string& key) {
  const std::string& folder = State().plugin.folder;
  const std::string command(Trimmed(IniReadString(folder + "KVL.ini", "Execute", key, "")));
  if (command.empty() || !FileExists(command)) return;
  const bool batch = command.size() >= 4 && AsciiLowered(command.substr(command.size() - 4)) == ".bat";
  ShellOpen(command, batch);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
}  // namespace

const TPlugin& Plugin() { return State().plugin; }
const SpecialCharTable& SpecialChars() { return State().specialChars; }
FormDefinitionList& FormDefinitions() { return State().formDefinitions; }
TFrmDlgParams& FrmDlgParams() { return State().frmDlgParams; }
TFrmDlgResult& FrmDlgResult() { return State().frmDlgResult; }

void FormDefinitionList::set(std::string_view name, std::string_view value) {
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    if (!EqualsIgnoringAsciiCase(entry->first, name)) continue;
    if (value.empty()) entries.erase(entry);
    else entry->second.assign(value);
    return;
  }
  if (!value.empty()) entries.emplace_back(std::string(name), std::string(value));
}

const std::string* FormDefinitionList::find(std::string_view name) const {
  for (const auto& entry : entries)
    if (EqualsIgnoringAsciiCase(entry.first, name)) return &entry.second;
  return nullptr;
}

void AddFileToDelete(std::string path) { State().filesToDelete.push_back(std::move(path)); }

int SpecialCharCodeOf(std::string_view entity) {
  if (entity.empty()) return -1;
  const SpecialCharTable& table = State().specialChars;
  for (int code = 0; code < 256; ++code)
    if (table[code].named == entity || table[code].numeric == entity) return code;
  return -1;
}

SpecialCharTable ParseSpecialChars(std::string_view listText) {
  SpecialCharTable table;
  ForEachLineAtAnyBreak(listText, [&table](std::string_view rawLine) {
    const std::string_view line = Trimmed(rawLine);
    const int code = ReadIntegerOr(FieldAt(line, "\t", 1), -1);
    if (code < 0 || code > 255) return;
    SpecialChar& entry = table[static_cast<std::size_t>(code)];
    entry.text = FieldAt(line, "\t", 2);
    const std::string name = FieldAt(line, "\t", 3);
    if (!name.empty()) entry.named = "&" + name + ";";
    const std::string number = FieldAt(line, "\t", 4);
    entry.numeric = "&#" + (number.empty() ? FormatInteger(code) : number) + ";";
  });
  return table;
}

std::uint32_t DrawRandom(std::uint64_t range) {
  std::uint32_t& state = State().randomState;
  state = state * 134775813u + 1u;
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);  // fits: range <= 2^32
}

void InitializePlugin() {
  PluginState& state = State();
  state.randomState = ClockSeed();
  TPlugin& plugin = state.plugin;
  plugin.folder = PluginFolder();
  const std::string file = plugin.folder + "KVL.zrp";
  plugin.productName = ReadVersionString(file, "ProductName");
  plugin.fileDescription = ReadVersionString(file, "FileDescription");
  plugin.legalNotice = ReadVersionString(file, "LegalCopyright");
  plugin.fileVersion = ReadVersionString(file, "FileVersion");
  RunConfiguredFile("Start");
  state.filesToDelete.clear();
  const std::string list = plugin.folder + "SpecialChars.lst";
  state.specialChars = FileExists(list) ? ParseSpecialChars(ReadWholeFile(list)) : SpecialCharTable{};
  state.formDefinitions = FormDefinitionList{};
  state.frmDlgParams = TFrmDlgParams{};
  state.frmDlgResult = TFrmDlgResult{};
}

void FinalizePlugin() {
  PluginState& state = State();
  try {
    RunConfiguredFile("Exit");
  } catch (...) {
    // finalisation goes on whatever the exit file did
  }
  for (const std::string& path : state.filesToDelete) DeleteFileIfExists(path);
  state.filesToDelete.clear();
  state.formDefinitions = FormDefinitionList{};
  state.frmDlgParams = TFrmDlgParams{};
  state.frmDlgResult = TFrmDlgResult{};
  state.idnLibrary = RuntimeLibrary{};
}

std::string AboutText(std::size_t macroCount) {
  const TPlugin& plugin = State().plugin;
  const std::string rule = "<hr noshade color=\"#c0c0c0\" height=\"1\">";
  std::string html;
  html += "<html><body background=\"#ffffff\"><center>"
          "<b style=\"font-family:times new roman;font-size:38pt;\">K V L</b><br>"
          "<b style=\"font-family:times new roman;font-size:24pt;\">Korvel</b><br>"
          "<i style=\"font-family:times new roman;font-size:20pt;color:#606060;\">Version ";
  html += plugin.fileVersion;
  html += "</i><br>";
  html += rule + "<br>";
  html += "The Korvel contains actually ";
  html += FormatInteger(static_cast<std::int64_t>(macroCount));
  html += " macros.<br><br>";
  html += "Please send comments, tips and suggestions to "
          "<a href=\"mailto:korvel@example.org\">korvel@example.org</a>.<br><br>";
  html += "The newest version of this plugin is available at<br>"
          "<a href=\"https://korvel.example.org/\">korvel.example.org</a>.<br><br>";
  html += rule;
  html += "<i style=\"color:#606060;\">" + plugin.legalNotice + "</i><br>";
  html += "<span style=\"color:#606060;\">E-Mail:</span>\t"
          "<a href=\"mailto:korvel@example.org\">korvel@example.org</a><br>";
  html += "<span style=\"color:#606060;\">Website:</span>\t"
          "<a href=\"https://korvel.example.org/\">korvel.example.org</a><br>";
  html += "</center></body></html>";
  return html;
}

}  // namespace kvl
