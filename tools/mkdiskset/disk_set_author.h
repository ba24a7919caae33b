// mkdiskset: turns a medium folder into a floppy disk set (Files.id and the
// volumes Disk.1, Disk.2, ...) and checks a set against its medium by
// assembling it with SETUP.EXE's own copy engine.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace setup::tools {

// What a formatted 1.44 MB floppy offers to files: 2,847 clusters of 512.
constexpr int64_t kDefaultDiskSize = 1457664;
constexpr int64_t kClusterSize = 512;
constexpr int64_t kFloppyImageSize = 1474560;

// Runs the command line (arguments without the program name). Returns the
// process exit code: 0 success, 1 a verified set differs from its medium
// or the assembly failed, 2 bad usage or bad input (nothing written).
int RunMkdiskset(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace setup::tools
