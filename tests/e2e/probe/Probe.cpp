// kvl_probe.exe: a program for the program macros' tests. It appends its command line
// and the window mode it was started with to "probe-log.txt" beside itself, then does
// what its first argument says: "print TEXT" writes TEXT to standard output, "byte N"
// writes the byte N, "sleep MS TEXT" waits and then writes TEXT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  std::string folder(MAX_PATH, '\0');
  folder.resize(GetModuleFileNameA(nullptr, folder.data(), MAX_PATH));
  folder.erase(folder.find_last_of('\\') + 1);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  if (FILE* log = std::fopen((folder + "probe-log.txt").c_str(), "ab")) {
    std::fprintf(log, "%s\n%d\n", GetCommandLineA(), show);
    std::fclose(log);
  }
  const std::string action = argc > 1 ? argv[1] : "";
  if (action == "print" && argc > 2) std::fputs(argv[2], stdout);
  if (action == "byte" && argc > 2) std::fputc(std::atoi(argv[2]), stdout);
  if (action == "sleep" && argc > 3) {
    std::fputs("started ", stdout);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    std::fputs(argv[3], stdout);
  }
  return 0;
}
