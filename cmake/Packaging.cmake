# Debian packages made by CPack from the install rules (scripts/package.sh, or cpack -G DEB in
# a built tree); configuring only writes CPack's settings, building never packages.
#
#   wlc-tools      the five programs, their manual pages, the configuration schemas and qor's
#                  bash completion (component "programs": everything cmake --install stages)
#   wlc-tools-sim  the simulators: ac_sim, mgmt_sim, the boot-environment stand-ins and the
#                  sample fleets and configuration files (component "simulators", installed
#                  only when asked for by name, so never staged for the appliance)
#
# Library dependencies come from dpkg-shlibdeps. The architecture is the build's own: armhf
# for the cross build (build-armhf/), the host's otherwise.
include(GNUInstallDirs)

set(PKG_NAME wlc-tools)
set(PKG_SIM_NAME wlc-tools-sim)
set(PKG_VERSION 1.0.0)
set(PKG_LIBEXEC ${CMAKE_INSTALL_LIBEXECDIR}/${PKG_SIM_NAME})
set(PKG_SIM_DATA ${CMAKE_INSTALL_DATADIR}/${PKG_SIM_NAME})

# --- the simulators' install rules ------------------------------------------------------------
install(TARGETS ac_sim mgmt_sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT simulators EXCLUDE_FROM_ALL)
# The stand-ins share the names of the appliance's commands: kept off PATH.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/sim/bootenv/fw_printenv ${CMAKE_SOURCE_DIR}/sim/bootenv/fw_setenv
                 ${CMAKE_SOURCE_DIR}/sim/bootenv/fw_printsys ${CMAKE_SOURCE_DIR}/sim/bootenv/fw_setsys
        DESTINATION ${PKG_LIBEXEC}/bootenv COMPONENT simulators EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/sim/bootenv/common.sh
        DESTINATION ${PKG_LIBEXEC}/bootenv COMPONENT simulators EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/sim/fleet.sample ${CMAKE_SOURCE_DIR}/sim/fleet.json
              ${CMAKE_SOURCE_DIR}/sim/cfg-ap.json ${CMAKE_SOURCE_DIR}/sim/cfg-switch.json
        DESTINATION ${PKG_SIM_DATA} COMPONENT simulators EXCLUDE_FROM_ALL)

# --- each package's copyright and changelog (packages only) ------------------------------------
set(PKG_DOC_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${PKG_DOC_OUT})
add_custom_command(OUTPUT ${PKG_DOC_OUT}/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$0\" > \"$1.tmp\" && mv \"$1.tmp\" \"$1\""
          ${CMAKE_SOURCE_DIR}/packaging/changelog ${PKG_DOC_OUT}/changelog.gz VERBATIM
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
add_custom_target(package_docs ALL DEPENDS ${PKG_DOC_OUT}/changelog.gz)
foreach(comp programs simulators)
  if(comp STREQUAL programs)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${PKG_NAME})
  else()
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${PKG_SIM_NAME})
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${PKG_DOC_OUT}/changelog.gz
          DESTINATION ${doc_dir} COMPONENT ${comp} EXCLUDE_FROM_ALL)
endforeach()

# --- CPack ---------------------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PKG_NAME})
set(CPACK_PACKAGE_VERSION ${PKG_VERSION})
set(CPACK_PACKAGE_VENDOR "wlc-tools developers")
set(CPACK_PACKAGE_CONTACT "wlc-tools developers <devel@wlc-tools.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL programs simulators)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME ${PKG_NAME})
set(CPACK_DEBIAN_SIMULATORS_PACKAGE_NAME ${PKG_SIM_NAME})
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SIMULATORS_PACKAGE_SECTION devel)
# The boot-environment stand-ins run mkenvimage and the boot-environment tools.
set(CPACK_DEBIAN_SIMULATORS_PACKAGE_DEPENDS "u-boot-tools, libubootenv-tool")
# First line the summary; CPack starts every further line with a blank.
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION
"command-line tools of the wireless LAN controller
qor is the operator's client of the access-controller daemon: status of the
controller and of its access points and switches, configuration files and
operations. tovik_ac registers the controller with the central management
server; fwimg and fwimg_ac wrap, check and unwrap firmware images; lattermark
packs switch model names and summarises switch image headers. With manual
pages, JSON Schemas of the configuration files and bash completion for qor.")
set(CPACK_COMPONENT_SIMULATORS_DESCRIPTION
"simulators of the wireless LAN controller tools' peers
ac_sim stands in for the access-controller daemon and mgmt_sim for the central
management server, both on loopback; with boot-environment stand-ins for fwimg
and sample fleets and configuration files, for trying the tools and testing
them.")
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
endif()
include(CPack)
