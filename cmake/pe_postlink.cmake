# What SETUP.EXE needs beyond a plain link, kept in one place:
# - a load configuration (app/load_config_win32.c);
# - a reproducible image: no time stamp in the PE header, no build folder in
#   the code (assertion texts and the like name sources relative to the tree);
# - the post-link step: the run-from-swap flags and the header checksum, set
#   by pe_postlink, a tool of this tree built for the build machine. It runs
#   as part of the link of SETUP.EXE, so anything that signs the program
#   later signs the final header.
target_sources(setup PRIVATE ${PROJECT_SOURCE_DIR}/app/load_config_win32.c)
# The symbol as the linker sees it (x86 C names take a leading underscore);
# required, so that a load configuration that went missing fails the link.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SETUP_LOAD_CONFIG_SYMBOL __load_config_used)
else()
  set(SETUP_LOAD_CONFIG_SYMBOL _load_config_used)
endif()
target_link_options(setup PRIVATE -Wl,--no-insert-timestamp
  -Wl,--require-defined=${SETUP_LOAD_CONFIG_SYMBOL})
foreach(target setup setupcore_exe)
  target_compile_options(${target} PRIVATE
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endforeach()

find_program(SETUP_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(PE_POSTLINK_SOURCES
  ${PROJECT_SOURCE_DIR}/tools/pe_postlink/main.cpp
  ${PROJECT_SOURCE_DIR}/tools/pe_postlink/pe_image.cpp)
set(PE_POSTLINK ${PROJECT_BINARY_DIR}/pe_postlink)
add_custom_command(OUTPUT ${PE_POSTLINK}
  COMMAND ${SETUP_HOST_CXX} -std=c++17 -O2 -I${PROJECT_SOURCE_DIR}
    -DSETUP_TOOLS_VERSION="${PROJECT_VERSION}" -o ${PE_POSTLINK} ${PE_POSTLINK_SOURCES}
  DEPENDS ${PE_POSTLINK_SOURCES} ${PROJECT_SOURCE_DIR}/tools/pe_postlink/pe_image.h
  COMMENT "Building pe_postlink for the build machine" VERBATIM)
add_custom_target(pe_postlink_host DEPENDS ${PE_POSTLINK})
add_dependencies(setup pe_postlink_host)
# A new pe_postlink relinks SETUP.EXE, so that the step runs again.
set_property(TARGET setup APPEND PROPERTY LINK_DEPENDS ${PE_POSTLINK})
add_custom_command(TARGET setup POST_BUILD
  COMMAND ${PE_POSTLINK} fix $<TARGET_FILE:setup>
  COMMENT "Setting the run-from-swap flags and the checksum of SETUP.EXE")

# windres does not report what the resource script includes: a changed
# manifest or icon must still rebuild the resources.
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/setup.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/resources/setup.manifest;${PROJECT_SOURCE_DIR}/resources/language.ico;${PROJECT_SOURCE_DIR}/support/catalogue_texts.inc")
