# Recorder upload against the paced virtual drive: bench/recorder_bench.
if(TARGET zeb7sim)
  add_executable(recorder_bench ${CMAKE_CURRENT_LIST_DIR}/recorder_bench.cpp)
  target_link_libraries(recorder_bench PRIVATE zeb7core zeb7sim)
  target_compile_definitions(recorder_bench PRIVATE ZEB7_SIM_PATH="$<TARGET_FILE:zeb7-sim>")
  add_dependencies(recorder_bench zeb7-sim)
endif()
