#include <iostream>
#include <string>
#include <vector>

#include "tools/mkmst/run_mkmst.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return setup::tools::RunMkmst(arguments, std::cout, std::cerr);
}
