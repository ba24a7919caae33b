# Cross-compiling for Windows with MinGW-w64 (x86_64).
set(MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
