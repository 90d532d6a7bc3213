# SPDX-License-Identifier: GPL-3.0-or-later
# Shared settings of every target of the tree, applied per target.
add_library(quorvel_warnings INTERFACE)
target_compile_options(quorvel_warnings INTERFACE -Wall -Wextra)
# A fuzz build instruments everything the fuzz targets reach; undefined
# behaviour stops the run like a crash, so it is reported with its input.
if(QUORVEL_FUZZ)
  set(quorvel_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  target_compile_options(quorvel_warnings INTERFACE -fsanitize=fuzzer-no-link ${quorvel_sanitizers}
                         -fno-omit-frame-pointer)
  target_link_options(quorvel_warnings INTERFACE ${quorvel_sanitizers})
endif()

# quorvel_library(<name> [SOURCES ...] [DEPS ...])
# A static library of one folder of editor/, compiled once and linked by the
# program and the tests alike. Sources default to every *.cpp of the folder.
function(quorvel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quorvel_warnings)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# quorvel_plugin(<name> SOURCES ...): a plug-in library in bin/plugins/,
# exporting GetInterface only.
function(quorvel_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quorvel_warnings)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${QUORVEL_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Instrumented, a plug-in takes the sanitizer runtime from the program.
  if(NOT QUORVEL_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
