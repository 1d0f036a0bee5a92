// A child process for the tests that open, inspect or end another process: it sleeps until it
// is terminated. It ends by itself after two minutes so that a test that stops early leaves
// nothing behind for long.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

int main() {
  Sleep(120000);
  return 0;
}
