// One machine that a run talks to: the fake services, the process-wide
// objects of a run built on them, and readers for what the run showed,
// installed and started. The test fixtures derive from it.
#pragma once

#include <string>
#include <vector>

#include "app/setup_app.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_floppy.h"
#include "fakes/fake_installer.h"
#include "fakes/fake_system.h"
#include "fakes/fake_ui.h"
#include "fakes/fake_windows.h"

namespace setup::testing {

constexpr char kMsiexec[] = "C:\\Windows\\System32\\msiexec.exe";

struct FakeMachine {
  FakeMachine()
      : installerMutex(clock),
        services{fs, processes, system, boxes, catalogue, automation, text, clock, installerMutex},
        context(services) {
    fs.AddFolder("C:\\Windows\\System32");
  }
  FakeMachine(const FakeMachine&) = delete;
  FakeMachine& operator=(const FakeMachine&) = delete;

  // Every message box as "caption: text".
  std::vector<std::string> Shown() const;
  // The arguments of every msiexec run.
  std::vector<std::string> Installs() const;
  // Every other program started, as "program|arguments".
  std::vector<std::string> BootstrapRuns() const;
  bool DatabaseOpened() const;

  FakeFileSystem fs;
  FakeProcessRunner processes;
  FakeSystemInfo system;
  RecordingMessageBoxes boxes;
  CatalogueStrings catalogue;
  FakeAutomation automation;
  FakeTextCodec text;
  FakeClock clock;
  FakeInstallerMutex installerMutex;
  Services services;
  SetupContext context;
  // The run's objects, by the names the tests use.
  FileUtilities& utils = context.fileUtils;
  Messages& messages = context.messages;
  RunOutcome& outcome = context.outcome;
  InstallerSession& session = context.session;
  InstallLauncher& launcher = context.launcher;
  Prerequisites& prerequisites = context.prerequisites;
};

// A whole run started from D:\SETUP.EXE, with or without the floppy
// route's windows.
struct FakeRun : FakeMachine {
  explicit FakeRun(bool floppyWindows)
      : threads(window, boxes),
        floppy{progress, tempSpace, threads},
        app(context, window, view, floppyWindows ? &floppy : nullptr) {
    system.modulePath = "D:\\SETUP.EXE";
  }

  // InitInstance with "D:\SETUP.EXE" and args.
  uint32_t Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), "D:\\SETUP.EXE");
    return app.InitInstance(args);
  }

  FakeControllerWindow window;
  FakeLanguageView view;
  FakeProgressView progress;
  FakeTempSpaceDialog tempSpace;
  FakeWorkerThreads threads;
  FloppyViews floppy;
  SetupApp app;
};

}  // namespace setup::testing
