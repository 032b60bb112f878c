# Loading every value of the big paced drive: bench/param_download_bench.
if(TARGET zeb7sim AND TARGET zeb7_paramfiles)
  add_executable(param_download_bench ${CMAKE_CURRENT_LIST_DIR}/param_download_bench.cpp)
  target_link_libraries(param_download_bench PRIVATE zeb7core zeb7sim)
endif()
