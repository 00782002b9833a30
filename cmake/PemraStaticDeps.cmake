# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# The plug-in carries its own Boost and simdjson. A host loads it into a
# process that may hold another Boost (another version, or the same names
# linked statically and exported) or no Boost at all, so the plug-in neither
# needs those shared libraries on the machine nor binds a single one of their
# symbols through the process's global scope: everything of theirs is linked
# in and local to the library (the export map keeps only our functions).
#
# Boost: Debian's static archives (libboost-*-dev) are built position
# independent. Include before find_package(Boost): it selects them for every
# target, so the tests link the same flavour as the library (the static and
# the shared Boost.Log differ in their namespace, v2s_ against v2_).
#
# simdjson: Debian ships it as a shared library only, so it is compiled here
# from Debian's own source package, unpacked outside the tree by
# scripts/install-deps.sh (the version must be the installed header's).

option(PEMRA_STATIC_DEPS "Link Boost and simdjson into the plug-in" ON)

if(PEMRA_STATIC_DEPS)
  set(Boost_USE_STATIC_LIBS ON)
endif()

set(PEMRA_DEPS_DIR "/usr/local/src/pemra-network" CACHE PATH
    "Where scripts/install-deps.sh puts the libraries the plug-in links in")

# Call after find_package(Boost): points the static Boost targets at the
# position-independent archives built from Debian's source package.
function(pemra_use_pic_boost)
  if(NOT PEMRA_STATIC_DEPS)
    return()
  endif()
  file(GLOB _dirs LIST_DIRECTORIES true "${PEMRA_DEPS_DIR}/boost-${Boost_VERSION}*-pic")
  if(_dirs)
    list(GET _dirs 0 _dir)
  endif()
  if(NOT _dirs OR NOT EXISTS "${_dir}/done")
    message(FATAL_ERROR
      "Boost ${Boost_VERSION}'s position-independent archives are not in ${PEMRA_DEPS_DIR}: "
      "run scripts/install-deps.sh as root (it builds them from Debian's source package), "
      "or configure with -DPEMRA_STATIC_DEPS=OFF to link the shared Boost.")
  endif()
  # Every compiled Boost library the plug-in links, directly or through
  # another one; the rest of Boost it uses is headers.
  foreach(_lib log log_setup filesystem thread atomic chrono regex date_time)
    if(NOT TARGET Boost::${_lib})
      continue()
    endif()
    if(NOT EXISTS "${_dir}/lib/libboost_${_lib}.a")
      message(FATAL_ERROR "${_dir} has no libboost_${_lib}.a: rebuild it with scripts/build-bundled-deps.sh")
    endif()
    set_target_properties(Boost::${_lib} PROPERTIES IMPORTED_LOCATION_RELEASE "${_dir}/lib/libboost_${_lib}.a")
  endforeach()
  message(STATUS "Boost archives from ${_dir}")
endfunction()

# Call after find_package(simdjson): defines pemra::simdjson, what every
# simdjson user links.
function(pemra_add_simdjson)
  if(NOT PEMRA_STATIC_DEPS)
    add_library(pemra_simdjson INTERFACE)
    target_link_libraries(pemra_simdjson INTERFACE simdjson::simdjson)
    add_library(pemra::simdjson ALIAS pemra_simdjson)
    return()
  endif()
  set(PEMRA_SIMDJSON_SOURCE_DIR "/usr/local/src/pemra-network/simdjson-${simdjson_VERSION}"
      CACHE PATH "simdjson's unpacked Debian source package (scripts/install-deps.sh)")
  set(_single "${PEMRA_SIMDJSON_SOURCE_DIR}/singleheader")
  if(NOT EXISTS "${_single}/simdjson.cpp")
    message(FATAL_ERROR
      "simdjson ${simdjson_VERSION}'s source is not in ${PEMRA_SIMDJSON_SOURCE_DIR}: "
      "run scripts/install-deps.sh as root (it unpacks Debian's source package there), "
      "or configure with -DPEMRA_STATIC_DEPS=OFF to link the shared libsimdjson.")
  endif()
  # The amalgamated source beside its own header, which is the installed
  # /usr/include/simdjson.h byte for byte when the versions agree.
  file(SHA256 "${_single}/simdjson.h" _source_header)
  get_target_property(_include_dirs simdjson::simdjson INTERFACE_INCLUDE_DIRECTORIES)
  foreach(_dir IN LISTS _include_dirs)
    if(EXISTS "${_dir}/simdjson.h")
      file(SHA256 "${_dir}/simdjson.h" _installed_header)
    endif()
  endforeach()
  if(DEFINED _installed_header AND NOT _installed_header STREQUAL _source_header)
    message(FATAL_ERROR "${_single}/simdjson.h differs from the installed simdjson.h: "
                        "the source package is not the installed version's")
  endif()
  add_library(pemra_simdjson STATIC "${_single}/simdjson.cpp")
  set_target_properties(pemra_simdjson PROPERTIES POSITION_INDEPENDENT_CODE ON
                                                  CXX_VISIBILITY_PRESET hidden
                                                  VISIBILITY_INLINES_HIDDEN ON)
  # The same definitions as Debian's build of the shared library.
  target_compile_definitions(pemra_simdjson PUBLIC SIMDJSON_THREADS_ENABLED=1)
  target_include_directories(pemra_simdjson SYSTEM PUBLIC "${_single}")
  target_link_libraries(pemra_simdjson PUBLIC Threads::Threads)
  add_library(pemra::simdjson ALIAS pemra_simdjson)
endfunction()
