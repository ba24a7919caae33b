// mkmst: the command, callable in-process by the tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace setup::tools {

// arguments: BASE.msi LOCALIZED.msi OUT.mst. Returns 0 when OUT was
// written, 1 when the transform was refused (OUT is then neither created
// nor changed), 2 on a usage error. "--codepage PACKAGE.msi" prints the
// code page that holds every text of the package (1 when none does);
// --help and --version print to out and return 0.
int RunMkmst(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace setup::tools
