# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# cmake -P script behind install.HostFindsAndLoadsTheInstalledPlugin (see
# CMakeLists.txt for the variables it is given). Any failed step ends it
# with FATAL_ERROR, which fails the test.

cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" _text ${ARGN})
  message(FATAL_ERROR "${_text}")
endfunction()

# Runs a command; on failure shows its output and fails.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    fail("${what} failed (${_rc}):\n${_out}\n${_err}")
  endif()
  set(run_output "${_out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix with space")
set(library "${prefix}/${LIBDIR}/${LIBRARY_NAME}")
set(debug_file "${prefix}/${LIBDIR}/.debug/${LIBRARY_NAME}.debug")
file(MAKE_DIRECTORY "${WORK_DIR}/empty prefix")

# ---- The install ----------------------------------------------------------------

run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

set(expected
  "${library}"
  "${debug_file}"
  "${prefix}/${INCLUDEDIR}/pemra_network/pemra_network.h"
  "${prefix}/${INCLUDEDIR}/pemra_network/machine_status.h"
  "${prefix}/${LIBDIR}/cmake/pemra_network/pemra_networkConfig.cmake"
  "${prefix}/${LIBDIR}/cmake/pemra_network/pemra_networkConfigVersion.cmake"
  "${prefix}/${LIBDIR}/pkgconfig/pemra_network.pc"
  "${prefix}/${DOCDIR}/README.md"
  "${prefix}/${DOCDIR}/LICENSE")
if(TOOLS)
  list(APPEND expected "${prefix}/${BINDIR}/pemra-monitor" "${prefix}/${BINDIR}/pemra-printer-sim")
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${file}")
    fail("not installed: ${file}")
  endif()
endforeach()

# Nothing installed may name the build tree: the package has to survive a move.
file(GLOB_RECURSE text_files "${prefix}/${LIBDIR}/cmake/*" "${prefix}/${LIBDIR}/pkgconfig/*")
foreach(file IN LISTS text_files)
  file(READ "${file}" text)
  foreach(path IN ITEMS "${BUILD_DIR}" "${prefix}")
    string(FIND "${text}" "${path}" at)
    if(NOT at EQUAL -1)
      fail("${file} holds the absolute path ${path}")
    endif()
  endforeach()
endforeach()

# ---- The installed library: stripped, linked to its debug file, the exports only

run("readelf -S" "${READELF}" -S --wide "${library}")
if(run_output MATCHES "\\.debug_[a-z]+" OR run_output MATCHES "\\.symtab")
  fail("${library} is not stripped:\n${run_output}")
endif()
if(NOT run_output MATCHES "\\.gnu_debuglink")
  fail("${library} has no .gnu_debuglink")
endif()
# readelf follows the link the way gdb does: the named file beside the
# library or in its .debug folder, taken only when its checksum matches.
run("readelf --debug-dump=links" "${READELF}" --debug-dump=links --debug-dump=follow-links "${library}"
    WORKING_DIRECTORY "${WORK_DIR}")
string(FIND "${run_output}" "Found separate debug info file: ${debug_file}\n" at)
if(at EQUAL -1)
  fail("readelf does not find ${debug_file} for ${library}:\n${run_output}")
endif()
run("readelf -S" "${READELF}" -S --wide "${debug_file}")
if(NOT run_output MATCHES "\\.debug_info" OR NOT run_output MATCHES "\\.symtab")
  fail("${debug_file} holds no debug information:\n${run_output}")
endif()
file(SIZE "${library}" library_bytes)
if(MAX_LIBRARY_BYTES GREATER 0 AND library_bytes GREATER MAX_LIBRARY_BYTES)
  fail("${library} is ${library_bytes} bytes, more than ${MAX_LIBRARY_BYTES}")
endif()

file(STRINGS "${EXPORT_LIST}" exports)
list(LENGTH exports export_count)
if(export_count EQUAL 0)
  fail("empty export list ${EXPORT_LIST}")
endif()
list(SORT exports)
run("nm -D" "${NM}" -D --defined-only "${library}")
string(REGEX REPLACE "\n$" "" run_output "${run_output}")
string(REPLACE "\n" ";" lines "${run_output}")
set(dynamic_symbols "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND dynamic_symbols "${name}")
endforeach()
list(SORT dynamic_symbols)
if(NOT dynamic_symbols STREQUAL exports)
  set(extra ${dynamic_symbols})
  list(REMOVE_ITEM extra ${exports})
  set(missing ${exports})
  list(REMOVE_ITEM missing ${dynamic_symbols})
  fail("dynamic symbols of ${library} differ from the exports; extra: ${extra}; missing: ${missing}")
endif()

# ---- The installed terminal host finds the installed plug-in --------------------

if(TOOLS)
  run("pemra-monitor check" "${prefix}/${BINDIR}/pemra-monitor" check --log-dir "${WORK_DIR}/monitor log")
  if(NOT run_output MATCHES "plug-in ([^\n]*)\n")
    fail("pemra-monitor check printed no plug-in path:\n${run_output}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL library)
    fail("the installed pemra-monitor loaded ${CMAKE_MATCH_1}, not ${library}")
  endif()
endif()

# ---- A host project against the installed tree ----------------------------------

# Only the prefix given counts: a copy installed elsewhere on the machine
# must not stand in for the one under test.
set(only_given_prefix
  -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF
  -DCMAKE_FIND_USE_SYSTEM_ENVIRONMENT_PATH=OFF
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
  -DCMAKE_FIND_USE_CMAKE_ENVIRONMENT_PATH=OFF)

function(build_and_run_consumer how)
  set(binary_dir "${WORK_DIR}/host ${how}")
  run("configuring the host with ${how}" "${CMAKE_COMMAND}" -S "${CONSUMER_SOURCE}" -B "${binary_dir}"
      -G "${GENERATOR}" "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_BUILD_TYPE=Release
      "-DPEMRA_FIND_WITH=${how}" ${ARGN})
  run("building the host with ${how}" "${CMAKE_COMMAND}" --build "${binary_dir}")
  file(MAKE_DIRECTORY "${binary_dir}/agent home")
  run("the host built with ${how}" "${binary_dir}/pemra_host" "${EXPORT_LIST}" "${binary_dir}/agent home")
  if(NOT run_output MATCHES "loaded ([^\n]*)\n")
    fail("the host built with ${how} printed no library path:\n${run_output}")
  endif()
  # (pkg-config's paths run through the .pc file's folder: compare them resolved)
  file(REAL_PATH "${CMAKE_MATCH_1}" loaded)
  file(REAL_PATH "${library}" installed)
  if(NOT loaded STREQUAL installed)
    fail("the host built with ${how} loaded ${loaded}, not ${installed}")
  endif()
  if(NOT run_output MATCHES "resolved ${export_count} exports")
    fail("the host built with ${how} did not resolve ${export_count} exports:\n${run_output}")
  endif()
endfunction()

build_and_run_consumer(cmake "-DCMAKE_PREFIX_PATH=${prefix}" ${only_given_prefix})

set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
build_and_run_consumer(pkg-config)
unset(ENV{PKG_CONFIG_PATH})

# Without the package, configuring fails the way find_package always does.
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_SOURCE}" -B "${WORK_DIR}/host without package"
          -G "${GENERATOR}" "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DPEMRA_FIND_WITH=cmake
          "-DCMAKE_PREFIX_PATH=${WORK_DIR}/empty prefix" ${only_given_prefix}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0)
  fail("the host configured against a prefix without the package:\n${out}")
endif()
if(NOT err MATCHES "Could not find a package configuration file provided by \"pemra_network\"")
  fail("configuring without the package failed otherwise than expected:\n${err}")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "installed tree under ${prefix}: ${library_bytes}-byte plug-in, ${export_count} exports, found by CMake and pkg-config")
