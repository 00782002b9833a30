# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# What `cmake --install` and the Debian package put where:
#
#   <libdir>/libpemra_network.so              stripped, 107 exports
#   <libdir>/.debug/libpemra_network.so.debug its debug information
#   <includedir>/pemra_network/               the public headers
#   <bindir>/pemra-monitor, pemra-printer-sim stripped, debug files in <bindir>/.debug
#   <libdir>/cmake/pemra_network/             find_package(pemra_network CONFIG)
#   <libdir>/pkgconfig/pemra_network.pc       pkg-config
#   <docdir>/README.md, LICENSE
#
# The debug files are the install component "debug", everything else "main";
# the Debian package splits along them (cmake/PemraPackage.cmake).
#
# The installed binaries are copies of the built ones with their debug
# information moved into a separate file and a .gnu_debuglink pointing at it;
# gdb looks for that file in a .debug folder beside the binary, so the pair
# works wherever the prefix is and wherever it is moved. The build tree keeps
# its unstripped binaries for the tests and for debugging in place.
#
# Nothing installed holds an absolute path: the CMake package and the
# pkg-config file find the prefix from their own location.

include(CMakePackageConfigHelpers)

set(PEMRA_STAGING_DIR "${PROJECT_BINARY_DIR}/stripped")

# Installs TARGET's file stripped, with its debug information beside it in
# DESTINATION/.debug. Runs at build time, once per change of the target.
function(pemra_install_stripped target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PROGRAM" "DESTINATION;COMPONENT" "")
  if(NOT CMAKE_OBJCOPY OR APPLE OR WIN32)
    # No ELF tools: install the binary as built.
    if(arg_PROGRAM)
      install(PROGRAMS "$<TARGET_FILE:${target}>" DESTINATION "${arg_DESTINATION}" COMPONENT ${arg_COMPONENT})
    else()
      install(FILES "$<TARGET_FILE:${target}>" DESTINATION "${arg_DESTINATION}" COMPONENT ${arg_COMPONENT})
    endif()
    return()
  endif()
  get_target_property(_file_name ${target} OUTPUT_NAME)
  if(NOT _file_name)
    set(_file_name ${target})
  endif()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "SHARED_LIBRARY")
    set(_file_name "${CMAKE_SHARED_LIBRARY_PREFIX}${_file_name}${CMAKE_SHARED_LIBRARY_SUFFIX}")
  else()
    set(_file_name "${_file_name}${CMAKE_EXECUTABLE_SUFFIX}")
  endif()
  set(_stripped "${PEMRA_STAGING_DIR}/${_file_name}")
  set(_debug "${PEMRA_STAGING_DIR}/.debug/${_file_name}.debug")
  # The debug file keeps the full symbol table and compressed DWARF; the
  # installed binary keeps only its dynamic symbols and the link (name and
  # checksum of the debug file) that gdb follows.
  add_custom_command(
    OUTPUT "${_stripped}" "${_debug}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PEMRA_STAGING_DIR}/.debug"
    COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug --compress-debug-sections=zlib
            "$<TARGET_FILE:${target}>" "${_debug}"
    COMMAND "${CMAKE_OBJCOPY}" --strip-unneeded --remove-section=.comment
            "--add-gnu-debuglink=${_debug}" "$<TARGET_FILE:${target}>" "${_stripped}"
    DEPENDS ${target}
    COMMENT "Stripping ${_file_name} for installation"
    VERBATIM)
  # Sanitizer builds are never installed: they skip the copies unless asked.
  if(PEMRA_SANITIZE)
    set(_when "")
  else()
    set(_when ALL)
  endif()
  add_custom_target(${target}_stripped ${_when} DEPENDS "${_stripped}" "${_debug}")
  if(arg_PROGRAM)
    install(PROGRAMS "${_stripped}" DESTINATION "${arg_DESTINATION}" COMPONENT ${arg_COMPONENT})
  else()
    install(FILES "${_stripped}" DESTINATION "${arg_DESTINATION}" COMPONENT ${arg_COMPONENT})
  endif()
  install(FILES "${_debug}" DESTINATION "${arg_DESTINATION}/.debug" COMPONENT debug)
endfunction()

# ---- The plug-in and its headers --------------------------------------------

pemra_install_stripped(pemra_network DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT main)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/pemra_network"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" COMPONENT main)

# ---- The tools ----------------------------------------------------------------

if(PEMRA_BUILD_TOOLS)
  foreach(_tool pemra-monitor pemra-printer-sim)
    if(TARGET ${_tool})
      pemra_install_stripped(${_tool} PROGRAM DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT main)
    endif()
  endforeach()
endif()

install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}" COMPONENT main)

# ---- CMake package --------------------------------------------------------------

set(PEMRA_CMAKE_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/pemra_network")
set(PEMRA_LIBRARY_FILE_NAME "${CMAKE_SHARED_LIBRARY_PREFIX}pemra_network${CMAKE_SHARED_LIBRARY_SUFFIX}")
# The library carries no version in its name, so its soname is its file name.
set(PEMRA_LIBRARY_SONAME "${PEMRA_LIBRARY_FILE_NAME}")
set(PEMRA_INSTALL_LIBRARY "${CMAKE_INSTALL_LIBDIR}/${PEMRA_LIBRARY_FILE_NAME}")
configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/pemra_networkConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/package/pemra_networkConfig.cmake"
  INSTALL_DESTINATION "${PEMRA_CMAKE_PACKAGE_DIR}"
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR PEMRA_INSTALL_LIBRARY)
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/package/pemra_networkConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/package/pemra_networkConfig.cmake"
              "${PROJECT_BINARY_DIR}/package/pemra_networkConfigVersion.cmake"
        DESTINATION "${PEMRA_CMAKE_PACKAGE_DIR}" COMPONENT main)

# ---- pkg-config -------------------------------------------------------------------

# The prefix is found from the .pc file's own folder (pkg-config's
# ${pcfiledir}), so the file stays right when the prefix moves.
set(_pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${_pc_dir}")
  set(PEMRA_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _pc_up "/prefix/${_pc_dir}" "/prefix")
  string(REGEX REPLACE "/$" "" _pc_up "${_pc_up}")
  set(PEMRA_PC_PREFIX "\${pcfiledir}/${_pc_up}")
endif()
foreach(_dir INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_dir}}")
    set(PEMRA_PC_${_dir} "${CMAKE_INSTALL_${_dir}}")
  else()
    set(PEMRA_PC_${_dir} "\${prefix}/${CMAKE_INSTALL_${_dir}}")
  endif()
endforeach()
configure_file("${CMAKE_CURRENT_LIST_DIR}/pemra_network.pc.in"
               "${PROJECT_BINARY_DIR}/package/pemra_network.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/package/pemra_network.pc"
        DESTINATION "${_pc_dir}" COMPONENT main)
