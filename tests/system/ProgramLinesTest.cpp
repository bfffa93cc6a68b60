// Command lines taken apart, window modes, and the process list as text.
#include <gtest/gtest.h>

#include "system/ProgramLines.h"

namespace {

using namespace kvl::programs;

TEST(ProgramLines, SplitsAtTheFirstBlankOutsideQuotes) {
  const auto split = [](std::string_view line) {
    const ProgramLine parts = SplitProgramLine(line);
    return parts.program + "|" + parts.parameters;
  };
  for (const auto& [line, parts] : std::vector<std::pair<std::string, std::string>>{
           {"\"C:\\Program Files\\Tool\\tool.exe\" -x file.txt", "\"C:\\Program Files\\Tool\\tool.exe\"|-x file.txt"},
           {"notepad.exe  a.txt  ", "notepad.exe|a.txt"}, {"a\"b c\"d e", "a\"b c\"d|e"}, {"notepad.exe", "notepad.exe|"},
           {"notepad.exe   ", "notepad.exe|"},   // nothing after the blank: the whole line
           {"  notepad.exe x", "notepad.exe|x"},  // leading blanks do not make an empty program
           {"\"C:\\a b\\never closed x", "\"C:\\a b\\never closed x|"}, {"", "|"}})
    EXPECT_EQ(split(line), parts) << line;
}

TEST(ProgramLines, WindowModes) {
  EXPECT_EQ(ShowModeOf("hide"), 0);
  EXPECT_EQ(ShowModeOf(" MIN "), 2);
  EXPECT_EQ(ShowModeOf("Max"), 3);
  for (const char* other : {"", "maximize", "normal", "mi n"}) EXPECT_EQ(ShowModeOf(other), 1) << other;
}

TEST(ProgramLines, InterpreterAndProcessNames) {
  EXPECT_TRUE(StartsWithInterpreter("CMD /c dir", "cmd"));
  EXPECT_TRUE(StartsWithInterpreter("cmd", "cmd"));
  EXPECT_FALSE(StartsWithInterpreter("cm", "cmd"));
  EXPECT_FALSE(StartsWithInterpreter(" cmd", "cmd"));

  const std::vector<ProcessEntry> entries{{"[IDLE]", 0}, {"System", 4}, {"NOTEPAD.EXE", 12}, {"tool", 13}};
  EXPECT_EQ(ProcessNames(entries, ", "), "[IDLE], System, NOTEPAD.EXE, tool");
  EXPECT_EQ(ProcessNames(entries, ""), "[IDLE]SystemNOTEPAD.EXEtool");
  EXPECT_EQ(ProcessNames({}, ", "), "");
  for (const char* name : {"notepad", "Notepad.exe", "TOOL"}) EXPECT_TRUE(HasProcessNamed(entries, name)) << name;
  // ".exe" is only ever added to the name looked for.
  for (const char* name : {"tool.exe", "note", ""}) EXPECT_FALSE(HasProcessNamed(entries, name)) << name;
}

}  // namespace
