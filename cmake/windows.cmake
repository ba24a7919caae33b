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
  target_link_libraries(setup PRIVATE setupcore comctl32 comdlg32 ole32 oleaut32 uuid version)
  target_compile_options(setupcore PRIVATE -Os -ffunction-sections -fdata-sections)
endif()

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/win32/CMakeLists.txt)
  add_subdirectory(tools/win32)
endif()
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/mkdiskset/CMakeLists.txt)
  add_subdirectory(tools/mkdiskset)
endif()
