# Windows build (MinGW-w64): SETUP.EXE, the tests of the Win32 layer run
# under Wine, and (tests/tools) the Win32 test tools.
enable_language(RC)

# What every Win32 program of the project is built and linked with: the
# oldest API level it targets, and no DLL beyond the system's.
add_library(win32_definitions INTERFACE)
target_compile_definitions(win32_definitions INTERFACE
  WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
target_link_options(win32_definitions INTERFACE -static)

# The thin Win32 layer under the portable logic: everything of SETUP.EXE
# but WinMain.
set(WIN32_LAYER_SOURCES
  app/controller_window_win32.cpp
  app/language_dialog_win32.cpp
  floppy/progress_dialog_win32.cpp
  floppy/temp_space_dialog_win32.cpp
  floppy/worker_threads_win32.cpp
  installer/dispatch_win32.cpp
  installer/installer_mutex_win32.cpp
  support/file_system_win32.cpp
  support/lean_runtime_win32.cpp
  support/message_boxes_win32.cpp
  support/process_runner_win32.cpp
  support/system_info_win32.cpp
  support/manifest_codec_win32.cpp
  support/text_win32.cpp)
set(WIN32_SYSTEM_LIBRARIES comctl32 comdlg32 ole32 oleaut32 shell32 uuid version)

add_executable(setup WIN32 app/main_win32.cpp ${WIN32_LAYER_SOURCES} resources/setup.rc)
set_target_properties(setup PROPERTIES OUTPUT_NAME SETUP SUFFIX .EXE)
target_compile_options(setup PRIVATE -Os -ffunction-sections -fdata-sections)
target_link_options(setup PRIVATE -s -Wl,--gc-sections)
target_link_libraries(setup PRIVATE win32_definitions setupcore_exe ${WIN32_SYSTEM_LIBRARIES})
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
# Nothing asks for a type at run time (typeid, dynamic_cast): no RTTI
# tables. GCC still emits the type information of every thrown and caught
# type, which is all that matching a handler needs, base classes included;
# the Win32 layer's tests are built the same way to show it.
foreach(target setup setupcore_exe setupcore)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
endforeach()
# GCC 12's link-time optimiser crashes (internal compiler error in
# binds_to_current_def_p) on some splits of this program into partitions;
# which split it meets depends on unrelated code. One partition avoids it,
# and costs nothing at this size.
target_link_options(setup PRIVATE -flto-partition=one)
# Link-time optimisation gives functions that only run destructors on the
# way out the personality routine of its own language, C's. C++'s reads the
# same tables and treats such functions alike, so it stands in and the C
# one (with its unwind data) is not linked. 32-bit only: the 64-bit build
# unwinds by SEH, through other routines.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(setup PRIVATE -Wl,--defsym,___gcc_personality_v0=___gxx_personality_v0)
endif()
include(${PROJECT_SOURCE_DIR}/cmake/pe_postlink.cmake)

# GoogleTest from Debian's sources, built with the cross compiler for the
# test programs that run under Wine.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PUBLIC
  -include ${CMAKE_CURRENT_SOURCE_DIR}/tests/win32/gtest_notification.h)

# A test program of the Win32 layer, run under Wine: its sources with the
# whole layer and the program's own resources.
function(add_wine_test name)
  add_executable(${name} ${ARGN} ${WIN32_LAYER_SOURCES} resources/setup.rc)
  target_link_libraries(${name} PRIVATE win32_definitions setupcore gtest
    ${WIN32_SYSTEM_LIBRARIES} msi)
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
endfunction()

add_wine_test(win32_layer_test tests/win32/win32_layer_test.cpp tests/win32/win32_layer_test.rc)
add_wine_test(floppy_views_test tests/win32/floppy_views_test.cpp)
