# Programming and verifying a 256 KiB image into the paced virtual drive: bench/flash_bench.
if(TARGET zeb7sim AND TARGET zeb7_flashing)
  add_executable(flash_bench ${CMAKE_CURRENT_LIST_DIR}/flash_bench.cpp)
  target_link_libraries(flash_bench PRIVATE zeb7_flashing zeb7_firmware zeb7sim)
endif()
