#include <iostream>
#include <string>
#include <vector>

#include "tools/mkdiskset/disk_set_author.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return setup::tools::RunMkdiskset(arguments, std::cout, std::cerr);
}
