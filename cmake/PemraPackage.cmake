# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# The Debian packages (`make package`, or `cpack -G DEB` in a build folder),
# both installing under /usr:
#
#   pemra-network_<version>_<arch>.deb      the install component "main": the
#                                           plug-in, headers, CMake and
#                                           pkg-config files, the two tools,
#                                           README and LICENSE
#   pemra-network-dbg_<version>_<arch>.deb  the component "debug": the debug
#                                           files, for gdb
#
# The main package's Depends line is worked out by dpkg-shlibdeps from what
# the installed binaries link.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "pemra-network")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The pemra_network authors")
set(CPACK_PACKAGE_CONTACT "The pemra_network authors")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL main debug)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")

set(CPACK_DEBIAN_MAIN_PACKAGE_NAME "pemra-network")
set(CPACK_DEBIAN_MAIN_PACKAGE_SECTION "net")
set(CPACK_COMPONENT_MAIN_DESCRIPTION
"network plug-in for a 3D-printing slicer, with a terminal host
libpemra_network.so links a desktop slicer to Klipper printers on the local
network over WebSocket; the slicer loads it at run time. The package also
holds the headers a host compiles against, CMake and pkg-config files that
locate them and the library, pemra-monitor (a terminal host for watching and
managing printers) and pemra-printer-sim (a simulated printer farm).")
find_program(PEMRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PEMRA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_MAIN_PACKAGE_SHLIBDEPS ON)
else()
  # Without dpkg-dev: the run-time libraries named by hand (Debian 12).
  if(PEMRA_STATIC_DEPS)
    set(CPACK_DEBIAN_MAIN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  else()
    set(CPACK_DEBIAN_MAIN_PACKAGE_DEPENDS
        "libboost-filesystem1.74.0, libboost-log1.74.0, libboost-thread1.74.0, libc6, libgcc-s1, libsimdjson14, libstdc++6")
  endif()
endif()

set(CPACK_DEBIAN_DEBUG_PACKAGE_NAME "pemra-network-dbg")
set(CPACK_DEBIAN_DEBUG_PACKAGE_SECTION "debug")
set(CPACK_DEBIAN_DEBUG_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEBUG_PACKAGE_DEPENDS "pemra-network (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEBUG_DESCRIPTION
"debug information for pemra-network
The separate debug files of libpemra_network.so, pemra-monitor and
pemra-printer-sim, in .debug folders beside them, where gdb looks.")

include(CPack)
