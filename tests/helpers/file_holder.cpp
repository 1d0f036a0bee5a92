// A child process for the deletion tests: it opens the file named by its first argument for
// reading and writing with the share mode of its second (0 when missing: no sharing), writes the
// file named by its third argument once the file is open, and waits. It ends by itself after two
// minutes so that a test that stops early leaves nothing behind for long. Exit code 1 when the
// file cannot be opened.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const DWORD share = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0)) : 0;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  if (argc > 3) {
    HANDLE ready = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  }
  Sleep(120000);
  CloseHandle(file);
  return 0;
}
