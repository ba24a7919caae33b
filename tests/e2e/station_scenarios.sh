# SETUP.EXE run as a service or a deployment agent runs it: on a window
# station of its own, which is not visible. No window may wait there for a
# person; each takes the answer that ends the run, and the exit code tells
# the outcome. A window that waited would hold the run until uidriver's
# time-out (exit code "timeout"). Sourced by run.sh after floppy_scenarios.sh.

scenarios+=(
  invisible_station_message
  invisible_station_language_dialog
  invisible_station_disk_prompt
)

# Message 4 takes OK.
sc_invisible_station_message() {
  make_medium - 0009
  SETUP_RUN_TIMEOUT=30 setup_run --answer --station setup-e2e
  expect_code 1603
  expect_no_dialog
}

# Three languages and none for the user: the dialog makes no choice, so
# message 8 follows (not shown either) and nothing is installed.
sc_invisible_station_language_dialog() {
  make_medium std.msi 0007 0012
  SETUP_RUN_TIMEOUT=30 setup_run --answer --station setup-e2e
  expect_code 1603
  expect_no_dialog
  expect_not_installed
}

# The prompt for the missing second disk takes Cancel: the copy fails
# (message 9, not shown) and the extraction folder is removed.
sc_invisible_station_disk_prompt() {
  have_floppy_sets || return 0
  link_medium big-set Disk.2
  snapshot_temp
  SETUP_RUN_TIMEOUT=30 setup_run --answer --station setup-e2e
  expect_code 1603
  expect_no_dialog
  expect_temp_clean
  expect_not_installed
}
