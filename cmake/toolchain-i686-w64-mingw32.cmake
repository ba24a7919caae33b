# Cross-compiling for Windows with MinGW-w64 (i686).
set(MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
