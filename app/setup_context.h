// The services of the platform a run uses, and the process-wide objects
// built on them.
#pragma once

#include <atomic>

#include "floppy/disk_set_copier.h"
#include "installer/install_launch.h"
#include "installer/installer_queue.h"
#include "installer/installer_session.h"
#include "installer/prerequisites.h"
#include "support/file_utils.h"
#include "support/messages.h"
#include "support/platform.h"
#include "support/run_outcome.h"

namespace setup {

struct Services {
  FileSystem& files;
  ProcessRunner& processes;
  SystemInfo& system;
  MessageBoxes& boxes;
  StringCatalogue& catalogue;
  AutomationPlatform& automation;
  TextCodec& text;
  Clock& clock;
  InstallerMutex& installerMutex;
};

class SetupContext {
 public:
  explicit SetupContext(Services& services)
      : services(services),
        fileUtils(services.files),
        messages(services.catalogue, services.boxes, &services.system),
        engine(services.files, messages, services.text),
        session(services.automation),
        queue(services.installerMutex, services.clock, services.system),
        launcher(fileUtils, services.processes, services.system, session, messages, outcome, queue,
                 services.clock),
        prerequisites(services.system, fileUtils, launcher) {}

  Services& services;
  FileUtilities fileUtils;
  Messages messages;
  // The copy engine's state and the worker's cancel flag: once per process,
  // shared by the start-up code and the extraction worker.
  CopyEngineState engine;
  std::atomic<bool> cancelRequested{false};
  RunOutcome outcome;
  InstallerSession session;
  InstallerQueue queue;
  InstallLauncher launcher;
  Prerequisites prerequisites;
};

}  // namespace setup
