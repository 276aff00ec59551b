# SPDX-License-Identifier: LGPL-2.1-or-later
# Debian packages: "cpack -G DEB" in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr. Each package has its own part of the install:
#   libondrix-qt1       the shared library            (Qt 6: libondrix-qt6-1)
#   libondrix-qt-dev    headers, CMake and pkg-config (Qt 6: libondrix-qt6-dev)
#   qml-module-ondrix   the QML module Ondrix         (Qt 6: qml6-module-ondrix)
#   ondrix-tools        the simulator and the client  (Qt 5 build only)
#   ondrix-modemsim-panel  the simulator's panel, with Qt Quick (Qt 5 build only)
#   ondrix-ofono        the daemons' interfaces from oFono (Qt 5 build only)
#   libvrx-standin      the stand-in for the platform's libvrx, for machines
#                       without one (Qt 5 build only, when it is built)
# Everything is stripped; the debug information goes to -dbgsym packages (.ddeb).
if(ONDRIX_QT6)
  set(ONDRIX_QT_MAJOR 6)
  set(ONDRIX_DEB_RUNTIME libondrix-qt6-1)
  set(ONDRIX_DEB_DEV libondrix-qt6-dev)
  set(ONDRIX_DEB_QML qml6-module-ondrix)
  set(ONDRIX_DEB_QT_DEV qt6-base-dev)
  set(CPACK_COMPONENTS_ALL runtime dev qml)
else()
  set(ONDRIX_QT_MAJOR 5)
  set(ONDRIX_DEB_RUNTIME libondrix-qt1)
  set(ONDRIX_DEB_DEV libondrix-qt-dev)
  set(ONDRIX_DEB_QML qml-module-ondrix)
  set(ONDRIX_DEB_QT_DEV qtbase5-dev)
  set(CPACK_COMPONENTS_ALL runtime dev qml tools panel ofono)
  if(TARGET vrx AND NOT VRX_LIBRARY)
    list(APPEND CPACK_COMPONENTS_ALL vrx)
  endif()
endif()
set(ONDRIX_DEB_TOOLS ondrix-tools)
set(ONDRIX_DEB_VRX libvrx-standin)
set(ONDRIX_MAINTAINER "libondrix-qt developers <maintainers@ondrix.org>")

set(CPACK_PACKAGE_NAME ${ONDRIX_NAME})
set(CPACK_PACKAGE_VENDOR "libondrix-qt developers")
set(CPACK_PACKAGE_CONTACT ${ONDRIX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ONDRIX_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ondrix.org/libondrix-qt")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# The packages link the libraries of this build, not those installed on the system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/platform/vrx)
set(ONDRIX_DEB_VERSION "${PROJECT_VERSION}-1")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ONDRIX_DEB_RUNTIME})
# The platform's libvrx, or the stand-in in its place (the build's own
# libraries have no shlibs for dpkg-shlibdeps to read).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libvrx1 | ${ONDRIX_DEB_VRX}")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Qt ${ONDRIX_QT_MAJOR} library for the phone's modem services\nSignal-driven C++ classes for the modem-services daemon of a Linux phone:\nnetwork registration, operators, signal, SIM card, supplementary services,\nUSSD, radio, cell and network time; with an SMS codec of plain C functions.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${ONDRIX_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${ONDRIX_DEB_RUNTIME} (= ${ONDRIX_DEB_VERSION}), ${ONDRIX_DEB_QT_DEV}")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "development files for the Qt ${ONDRIX_QT_MAJOR} library for the phone's modem services\nHeaders, the CMake package, the pkg-config file and the D-Bus interface\nfiles of the modem-services daemon.")

set(CPACK_DEBIAN_QML_PACKAGE_NAME ${ONDRIX_DEB_QML})
set(CPACK_DEBIAN_QML_PACKAGE_DEPENDS "${ONDRIX_DEB_RUNTIME} (= ${ONDRIX_DEB_VERSION})")
set(CPACK_COMPONENT_QML_DESCRIPTION
  "Qt ${ONDRIX_QT_MAJOR} QML module for the phone's modem services\nThe module Ondrix 1.0: the modem-services classes and the SMS counter and\ncodec for QML user interfaces.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${ONDRIX_DEB_TOOLS})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${ONDRIX_DEB_RUNTIME} (= ${ONDRIX_DEB_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "ondrix-modemsim-panel")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "simulated modem daemon and command-line client for phone developers\nondrix-modemsim serves the modem daemons' D-Bus contract on a bus, with\nscenarios, recording and a hostile mode; ondrix queries and drives the\nmodem services from the command line. Neither needs a display.")

# The panel alone pulls in Qt Quick: a headless machine takes the tools without it.
set(CPACK_DEBIAN_PANEL_PACKAGE_NAME ondrix-modemsim-panel)
set(CPACK_DEBIAN_PANEL_PACKAGE_SECTION utils)
# Its QML comes from Qt's modules.
set(CPACK_DEBIAN_PANEL_PACKAGE_DEPENDS "${ONDRIX_DEB_TOOLS} (= ${ONDRIX_DEB_VERSION}), qml-module-qtquick2, qml-module-qtquick-window2, qml-module-qtquick-controls2, qml-module-qtquick-layouts")
set(CPACK_COMPONENT_PANEL_DESCRIPTION
  "control panel of the simulated modem daemon\nondrix-modemsim-panel shows a running ondrix-modemsim and drives it:\nregistration, signal, SIM card, scenarios and the hostile mode.")

set(CPACK_DEBIAN_OFONO_PACKAGE_NAME ondrix-ofono)
set(CPACK_DEBIAN_OFONO_PACKAGE_SECTION net)
set(CPACK_DEBIAN_OFONO_PACKAGE_DEPENDS "ofono, dbus, systemd | systemd-standalone-sysusers")
set(CPACK_DEBIAN_OFONO_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/tools/ofono/data/postinst")
set(CPACK_COMPONENT_OFONO_DESCRIPTION
  "modem-services daemons' D-Bus interfaces served from oFono\nondrix-ofono serves the bus names and interfaces of the modem-services\ndaemons from oFono, so that applications made with libondrix-qt, its QML\nmodule and the ondrix command run on phones that run oFono.")

# A phone has its own libvrx1; the stand-in takes its place elsewhere.
set(CPACK_DEBIAN_VRX_PACKAGE_NAME ${ONDRIX_DEB_VRX})
set(CPACK_DEBIAN_VRX_PACKAGE_PROVIDES "libvrx1")
set(CPACK_DEBIAN_VRX_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENT_VRX_DESCRIPTION
  "stand-in for the platform's operator-information library\nFor development machines without the phone's own libvrx: country names and\ncodes of mobile networks. A phone image leaves it out.")

# The libraries' shlibs: applications need the oldest version that has what
# they use, not this one; and the dynamic linker's cache is renewed. (CPack's
# own shlibs would hold the QML plugin too, which has no soname.)
set(ONDRIX_DEB_CONTROL ${PROJECT_BINARY_DIR}/debian-control)
if(ONDRIX_QT6)
  set(ONDRIX_SONAME_BASE libondrix-qt6)
else()
  set(ONDRIX_SONAME_BASE libondrix-qt)
endif()
file(WRITE ${ONDRIX_DEB_CONTROL}/runtime/shlibs "${ONDRIX_SONAME_BASE} 1 ${ONDRIX_DEB_RUNTIME} (>= 1.0.0)\n")
file(WRITE ${ONDRIX_DEB_CONTROL}/runtime/triggers "activate-noawait ldconfig\n")
file(WRITE ${ONDRIX_DEB_CONTROL}/vrx/shlibs "libvrx 1 libvrx1\n")
file(WRITE ${ONDRIX_DEB_CONTROL}/vrx/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${ONDRIX_DEB_CONTROL}/runtime/shlibs;${ONDRIX_DEB_CONTROL}/runtime/triggers")
set(CPACK_DEBIAN_VRX_PACKAGE_CONTROL_EXTRA "${ONDRIX_DEB_CONTROL}/vrx/shlibs;${ONDRIX_DEB_CONTROL}/vrx/triggers")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every package's copyright and changelog.
set(ONDRIX_DEB_DOCS ${PROJECT_BINARY_DIR}/debian-docs)
file(MAKE_DIRECTORY ${ONDRIX_DEB_DOCS})
add_custom_command(OUTPUT ${ONDRIX_DEB_DOCS}/changelog.Debian.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${ONDRIX_DEB_DOCS}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
add_custom_target(debian-docs ALL DEPENDS ${ONDRIX_DEB_DOCS}/changelog.Debian.gz)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  foreach(component ${CPACK_COMPONENTS_ALL})
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${ONDRIX_DEB_DOCS}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
    # What lintian says that is meant, each with its reason.
    if(EXISTS ${PROJECT_SOURCE_DIR}/cmake/debian/overrides/${package})
      install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/overrides/${package}
              DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
    endif()
  endforeach()
endif()

include(CPack)
