// Linux front end: the command line over a simulated machine (--machine FILE); without a
// command, the windowed program over the recording toolkit.
#include <iostream>
#include <string>
#include <vector>

#include "main/front.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (tv::IsWindowedLine(args)) return tv::WindowedFrontEnd(args, std::cout, std::cerr);
  return tv::FrontEnd(args, std::cout, std::cerr, nullptr);
}
