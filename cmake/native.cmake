# Native build: unit tests and fuzz targets.
enable_testing()
find_package(GTest REQUIRED)

add_executable(unit_tests
  tests/fakes/fake_file_system.cpp
  tests/fakes/fake_floppy.cpp
  tests/fakes/fake_installer.cpp
  tests/fakes/fake_machine.cpp
  tests/fakes/fake_system.cpp
  tests/fakes/fake_ui.cpp
  tests/fakes/fake_windows.cpp
  tests/fakes/test_packages.cpp
  tests/fakes/test_pe_image.cpp
  tests/unit/busy_files_test.cpp
  tests/unit/child_process_test.cpp
  tests/unit/command_line_test.cpp
  tests/unit/disk_set_copier_test.cpp
  tests/unit/file_utils_test.cpp
  tests/unit/floppy_route_test.cpp
  tests/unit/ini_storage_test.cpp
  tests/unit/install_launch_test.cpp
  tests/unit/installer_queue_test.cpp
  tests/unit/installer_session_test.cpp
  tests/unit/messages_test.cpp
  tests/unit/mkdiskset_check_test.cpp
  tests/unit/mkdiskset_test.cpp
  tests/unit/msitransform_test.cpp
  tests/unit/pe_image_test.cpp
  tests/unit/prerequisites_test.cpp
  tests/unit/stages_test.cpp
  tests/unit/temp_space_test.cpp
  tests/unit/text_test.cpp
  tests/unit/volume_digest_test.cpp)
target_include_directories(unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
target_link_libraries(unit_tests PRIVATE setupcore tool_version GTest::gtest_main GTest::gmock)
add_test(NAME unit_tests COMMAND unit_tests --gtest_brief=1)

if(SETUP_FUZZ)
  # The code under a fuzz target is instrumented too: without it the fuzzer
  # sees no coverage of it and the sanitizers no read past a buffer in it.
  # Undefined behaviour ends the run, so that it counts as a finding. Every
  # program of the fuzz tree that links such a library needs the runtimes.
  function(instrument_for_fuzzing library)
    target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=undefined)
    target_link_options(${library} INTERFACE -fsanitize=address,undefined)
  endfunction()
  # A fuzz target: tests/fuzz/NAME.cpp over the library it fuzzes.
  function(add_fuzz_target name library)
    add_executable(${name} tests/fuzz/${name}.cpp)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined
      -fno-sanitize-recover=undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${library})
  endfunction()

  instrument_for_fuzzing(setupcore)
  add_fuzz_target(command_line_fuzz setupcore)
  add_fuzz_target(ini_storage_fuzz setupcore)
  # The manifest through the text codec of either family.
  target_sources(ini_storage_fuzz PRIVATE tests/fakes/fake_system.cpp)
  target_include_directories(ini_storage_fuzz PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  # The transform reader over transforms with arbitrary streams
  # (tools/msitransform instruments the module).
  add_fuzz_target(transform_read_fuzz msitransform)
endif()

# Makes inputs of transform_read_fuzz from real transforms (tests/fuzz/make-corpus.sh).
add_executable(transform_fuzz_input tests/fuzz/transform_fuzz_input.cpp)
target_link_libraries(transform_fuzz_input PRIVATE msitransform)

# The post-link step of SETUP.EXE, whose library the unit tests link.
add_subdirectory(tools/pe_postlink)

# Makes the seeds of pe_image_fuzz (tests/fuzz/make-corpus.sh).
add_executable(pe_fuzz_input tests/fuzz/pe_fuzz_input.cpp tests/fakes/test_pe_image.cpp)
target_include_directories(pe_fuzz_input PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)

if(SETUP_FUZZ)
  # The PE reader, which the check of a medium runs on whatever program the
  # medium holds.
  instrument_for_fuzzing(pe_image)
  add_fuzz_target(pe_image_fuzz pe_image)
endif()
