// Linux front end: the command line over a simulated machine (--machine FILE).
#include <iostream>
#include <string>
#include <vector>

#include "main/front.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tv::FrontEnd(args, std::cout, std::cerr, nullptr);
}
