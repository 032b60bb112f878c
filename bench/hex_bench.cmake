# hex_bench: reads a 16 MiB Intel HEX image into program blocks and times objcopy on the same file.
if(TARGET zeb7_firmware)
  add_executable(hex_bench ${CMAKE_CURRENT_LIST_DIR}/hex_bench.cpp)
  target_link_libraries(hex_bench PRIVATE zeb7_firmware zeb7_platform)
endif()
