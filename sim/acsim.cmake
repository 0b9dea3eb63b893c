# ac_sim: the AC daemon simulator. Request handlers live in acsim_*.cpp, one file per
# group of requests; a new acsim_*.cpp file joins the build by itself.
file(GLOB ACSIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/acsim*.cpp)
add_executable(ac_sim ${ACSIM_SOURCES})
# The status fleet is JSON, read (and for hotspot20 values written) with nlohmann-json,
# a header-only library; its package file is architecture-independent.
pkg_check_modules(NLOHMANN_JSON REQUIRED IMPORTED_TARGET nlohmann_json)
target_link_libraries(ac_sim PRIVATE PkgConfig::NLOHMANN_JSON)
