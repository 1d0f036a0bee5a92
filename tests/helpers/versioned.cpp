// A program that exists for its version resource (versioned.rc): two string tables, the
// first in US English and the second in German, with different values. The Wine tests read
// its version strings. Run, it prints its own description and exits with 0.
#include <cstdio>

int main() {
  std::puts("Versioned test helper");
  return 0;
}
