# Management-server simulator: the peer of tovik_ac for the demo and the integration tests.
add_executable(mgmt_sim ${CMAKE_CURRENT_LIST_DIR}/mgmt_sim.cpp)
target_link_libraries(mgmt_sim PRIVATE tovik_tea)
