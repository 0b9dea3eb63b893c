# ac_sim: the AC daemon simulator. Request handlers live in acsim_*.cpp, one file per
# group of requests; a new acsim_*.cpp file joins the build by itself.
file(GLOB ACSIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/acsim*.cpp)
add_executable(ac_sim ${ACSIM_SOURCES})
