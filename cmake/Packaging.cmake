# SPDX-License-Identifier: LGPL-2.1-or-later
# Debian packages: "cpack -G DEB" in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr makes the runtime library, the development
# package and (from the Qt 5 build) the tools.
if(ONDRIX_QT6)
  set(ONDRIX_DEB_RUNTIME libondrix-qt6-1)
  set(ONDRIX_DEB_DEV libondrix-qt6-dev)
  set(ONDRIX_DEB_QT_DEV qt6-base-dev)
  set(CPACK_COMPONENTS_ALL runtime dev)
else()
  set(ONDRIX_DEB_RUNTIME libondrix-qt1)
  set(ONDRIX_DEB_DEV libondrix-qt-dev)
  set(ONDRIX_DEB_QT_DEV qtbase5-dev)
  set(CPACK_COMPONENTS_ALL runtime dev tools)
endif()

set(CPACK_PACKAGE_NAME ${ONDRIX_NAME})
set(CPACK_PACKAGE_VENDOR "libondrix-qt developers")
set(CPACK_PACKAGE_CONTACT "libondrix-qt developers <ondrix-qt@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Qt API to a phone's modem services")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The tools link the library of this build, not one installed on the system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/platform/vrx)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ONDRIX_DEB_RUNTIME})
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Qt API to a phone's modem services\n The shared library, its SMS codec and the QML module Ondrix.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${ONDRIX_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${ONDRIX_DEB_RUNTIME} (= ${PROJECT_VERSION}), ${ONDRIX_DEB_QT_DEV}")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Qt API to a phone's modem services: development files\n Headers, the CMake package and the pkg-config file.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ondrix-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${ONDRIX_DEB_RUNTIME} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Simulated modem daemon and command-line client\n ondrix-modemsim serves the modem daemons' D-Bus contract; ondrix\n queries and drives it. With manual pages, bash completion and the D-Bus policy.")

include(CPack)
