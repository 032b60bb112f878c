# 200 display windows of mixed classes on a paced virtual drive: bench/display_bench.
if(TARGET zeb7gui)
  add_executable(display_bench ${CMAKE_CURRENT_LIST_DIR}/display_bench.cpp)
  target_link_libraries(display_bench PRIVATE zeb7gui)
  target_compile_definitions(display_bench PRIVATE ZEB7_SIM_PATH="$<TARGET_FILE:zeb7-sim>")
  add_dependencies(display_bench zeb7-sim)
endif()
