# Windows build (MinGW-w64): SETUP.EXE and the Win32 test tools.
enable_language(RC)
file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS
  app/*_win32.cpp installer/*_win32.cpp support/*_win32.cpp floppy/*_win32.cpp)

if(WIN32_SOURCES)
  add_executable(setup WIN32 ${WIN32_SOURCES} resources/setup.rc)
  set_target_properties(setup PROPERTIES OUTPUT_NAME SETUP SUFFIX .EXE)
  target_compile_definitions(setup PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  target_compile_options(setup PRIVATE -Os -ffunction-sections -fdata-sections)
  target_link_options(setup PRIVATE -static -s -Wl,--gc-sections)
  target_link_libraries(setup PRIVATE setupcore_exe ole32 oleaut32 uuid)
  target_compile_options(setupcore PRIVATE -Os -ffunction-sections -fdata-sections)

  # SETUP.EXE links its own build of the core, for size. Under C++17 every
  # use of std::string links the library's complete explicit instantiation
  # (about 33 KB, which the PE linker cannot trim: its unwind tables keep
  # every member alive). C++20 drops that extern template, so each file
  # instantiates only the members it uses, and link-time optimisation
  # merges the copies. setupcore itself stays as it is for the tools that
  # link it (on i686, LTO objects and plain ones clash in one link).
  add_library(setupcore_exe STATIC ${CORE_SOURCES})
  target_include_directories(setupcore_exe PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(setupcore_exe PRIVATE -Os -ffunction-sections -fdata-sections)
  set_target_properties(setup setupcore_exe PROPERTIES CXX_STANDARD 20 INTERPROCEDURAL_OPTIMIZATION ON)
  # GCC 12's link-time optimiser crashes (internal compiler error in
  # binds_to_current_def_p) on some splits of this program into partitions;
  # which split it meets depends on unrelated code. One partition avoids it,
  # and costs nothing at this size.
  target_link_options(setup PRIVATE -flto-partition=one)
  include(${PROJECT_SOURCE_DIR}/cmake/pe_postlink.cmake)

  # The tests of the Win32 layer, run under Wine: everything of SETUP.EXE
  # but WinMain, with the program's own resources.
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/win32/win32_layer_test.cpp)
    set(WIN32_LAYER_SOURCES ${WIN32_SOURCES})
    list(FILTER WIN32_LAYER_SOURCES EXCLUDE REGEX "/main_win32\\.cpp$")
    add_executable(win32_layer_test tests/win32/win32_layer_test.cpp
      tests/win32/win32_layer_test.rc ${WIN32_LAYER_SOURCES} resources/setup.rc)
    target_compile_definitions(win32_layer_test PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
    target_link_options(win32_layer_test PRIVATE -static)
    target_link_libraries(win32_layer_test PRIVATE setupcore comctl32 ole32 oleaut32 version msi)
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/win32/floppy_views_test.cpp)
    set(FLOPPY_VIEWS_SOURCES ${WIN32_SOURCES})
    list(FILTER FLOPPY_VIEWS_SOURCES EXCLUDE REGEX "/main_win32\\.cpp$")
    add_executable(floppy_views_test tests/win32/floppy_views_test.cpp ${FLOPPY_VIEWS_SOURCES}
      resources/setup.rc)
    target_compile_definitions(floppy_views_test PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
    target_link_options(floppy_views_test PRIVATE -static)
    target_link_libraries(floppy_views_test PRIVATE setupcore comctl32 comdlg32 ole32 oleaut32 version)
  endif()
endif()

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/win32/CMakeLists.txt)
  add_subdirectory(tools/win32)
endif()
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/mkdiskset/CMakeLists.txt)
  add_subdirectory(tools/mkdiskset)
endif()
