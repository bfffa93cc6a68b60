// A stand-in idn.dll for the tests: it exports IDNtoACE only, answers "len=" and
// the input's length, and for an input that begins with "fill" fills the whole
// buffer without a NUL and claims 1000 characters, as a faulty library might.
#include <windows.h>

#include <cstdio>
#include <cstring>

extern "C" int WINAPI IDNtoACE(const char* input, char* output) {
  if (std::strncmp(input, "fill", 4) == 0) {
    std::memset(output, 'f', 256);
    return 1000;
  }
  return std::snprintf(output, 256, "len=%u", static_cast<unsigned>(std::strlen(input)));
}
