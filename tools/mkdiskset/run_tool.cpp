#ifndef _WIN32
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <cerrno>

#include "tools/mkdiskset/commands.h"

namespace setup::tools {

#ifdef _WIN32
bool RunTool(const std::vector<std::string>& command, std::ostream& err) {
  err << "mkdiskset: cannot run " << command[0] << ": --images needs mtools, which the Windows "
      << "build does not start\n";
  return false;
}
#else
bool RunTool(const std::vector<std::string>& command, std::ostream& err) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    err << "mkdiskset: cannot start " << command[0] << " (install mtools)\n";
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string line;
    for (const std::string& word : command) line += word + " ";
    err << "mkdiskset: failed: " << line << "\n";
    return false;
  }
  return true;
}
#endif

}  // namespace setup::tools
