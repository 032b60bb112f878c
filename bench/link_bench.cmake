# Link throughput against the paced virtual drive: bench/link_bench.
if(TARGET zeb7sim)
  add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
  target_link_libraries(link_bench PRIVATE zeb7sim)
  target_compile_definitions(link_bench PRIVATE ZEB7_SIM_PATH="$<TARGET_FILE:zeb7-sim>")
  add_dependencies(link_bench zeb7-sim)
endif()
